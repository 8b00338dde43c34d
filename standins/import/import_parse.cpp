#include "standins/import/import_parse.h"

#include <cctype>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace {

constexpr long kMaxNumber = 99999999;  // the log reader rejects this and above
constexpr size_t kMaxFolder = 100;
constexpr size_t kMaxAuthor = 199;
constexpr size_t kMaxDate = 90;
constexpr size_t kMaxHeaderBlock = 8000;  // the reader's header block holds 8192

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The log's header reads the author as one word.
std::string OneWord(std::string_view text, size_t limit) {
  std::string out;
  for (char c : Trim(text)) {
    if (out.size() >= limit) break;
    out += (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0) ? '_' : c;
  }
  return out;
}

std::string Clip(std::string_view text, size_t limit) {
  text = Trim(text);
  return std::string(text.substr(0, limit));
}

bool ValidFolder(const std::string& folder) {
  size_t slash = folder.find('/');
  if (slash == std::string::npos || slash + 1 >= folder.size() || folder.size() > kMaxFolder) return false;
  for (char c : folder)
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0) return false;
  return true;
}

// Lines end at LF; the CRs before it are not part of the line.
struct Cursor {
  std::string_view text;
  size_t pos = 0;
  bool Next(std::string_view* line) {
    if (pos >= text.size()) return false;
    size_t end = text.find('\n', pos);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view l = text.substr(pos, end - pos);
    while (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    *line = l;
    pos = next;
    return true;
  }
  std::string_view Peek() const {
    Cursor copy = *this;
    std::string_view line;
    return copy.Next(&line) ? line : std::string_view();
  }
};

bool ParseDigits(std::string_view text, size_t* at, long* value) {
  size_t start = *at;
  long v = 0;
  while (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at]))) {
    if (v > kMaxNumber * 10L) return false;
    v = v * 10 + (text[*at] - '0');
    ++*at;
  }
  if (*at == start) return false;
  *value = v;
  return true;
}

// "folder #number, from author, size chars, date" (the "from " may be
// missing). The author is everything up to the ", size" that follows it, so
// a name with blanks is read whole and stored as one word.
bool ParseHeaderLine(std::string_view line, ImportedMessage* m, long* size) {
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return false;
  m->folder = std::string(line.substr(0, blank));
  size_t at = blank;
  if (line.compare(at, 2, " #") != 0) return false;
  at += 2;
  if (!ParseDigits(line, &at, &m->number) || m->number >= kMaxNumber) return false;
  if (line.compare(at, 2, ", ") != 0) return false;
  at += 2;
  if (line.compare(at, 5, "from ") == 0) at += 5;
  size_t authorStart = at;
  for (size_t comma = line.find(", ", authorStart); comma != std::string_view::npos;
       comma = line.find(", ", comma + 1)) {
    size_t digits = comma + 2;
    long value = 0;
    if (comma == authorStart || !ParseDigits(line, &digits, &value)) continue;
    if (digits < line.size() && line[digits] != ' ') continue;
    m->author = OneWord(line.substr(authorStart, comma - authorStart), kMaxAuthor);
    *size = value;
    // A count filled in afterwards is padded with blanks.
    size_t chars = digits;
    while (chars < line.size() && line[chars] == ' ') ++chars;
    m->date = line.compare(chars, 7, "chars, ") == 0 ? Clip(line.substr(chars + 7), kMaxDate) : std::string();
    return !m->author.empty();
  }
  return false;
}

// "Comment to %ld" or "This is a comment to message %ld"; a stated 0 names
// no message of its own and is kept out.
bool ParseCommentLine(std::string_view line, long* parent) {
  size_t at;
  if (StartsWith(line, "Comment to"))
    at = 10;
  else if (StartsWith(line, "This is a comment to message"))
    at = 28;
  else
    return false;
  while (at < line.size() && line[at] == ' ') ++at;
  long value = 0;
  if (!ParseDigits(line, &at, &value)) return false;
  *parent = value < kMaxNumber ? value : 0;
  return true;
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// ">>>folder number author(size)dMonyy hh:mm [cParent]"
bool ParseSingleLine(std::string_view line, ImportedMessage* m, long* size) {
  if (!StartsWith(line, ">>>") || line.size() > 1000) return false;
  std::string rest(line.substr(3));
  char folder[101] = "", author[201] = "", dateToken[21] = "", fifth[10] = "";
  long number = 0;
  if (std::sscanf(rest.c_str(), "%100s %ld %200s %20s %9s", folder, &number, author, dateToken, fifth) < 4)
    return false;
  if (number < 0 || number >= kMaxNumber) return false;
  char* open = std::strchr(author, '(');
  if (!open) return false;
  *open = 0;
  long stated = std::strtol(open + 1, nullptr, 10);
  *size = stated < 0 ? 0 : stated;
  m->folder = folder;
  m->number = number;
  m->author = OneWord(author, kMaxAuthor);
  if (m->author.empty()) return false;
  if (fifth[0] == 'c') {
    std::string digits;
    for (const char* p = fifth + 1; *p && digits.size() < 10; ++p)
      if (std::isdigit(static_cast<unsigned char>(*p))) digits += *p;
    long parent = std::strtol(digits.c_str(), nullptr, 10);
    m->commentTo = parent > 0 && parent < kMaxNumber ? parent : 0;
  }
  const char* close = std::strchr(rest.c_str(), ')');
  int day = 0, year = 0, hour = 0, minute = 0;
  char month[4] = "";
  if (close && std::sscanf(close + 1, "%2d%3[A-Za-z]%2d %d:%d", &day, month, &year, &hour, &minute) == 5) {
    for (int i = 0; i < 12; ++i) {
      if (!StartsWithNoCase(month, kMonths[i]) || std::strlen(month) != 3) continue;
      year += year < 70 ? 2000 : 1900;
      char text[64];
      std::snprintf(text, sizeof text, "%02d %s %04d %02d:%02d", day % 100, kMonths[i], year % 10000, hour % 100,
                    minute % 100);
      m->date = text;
    }
  }
  return true;
}

bool IsSeparator(std::string_view line) { return line.size() >= 9 && line.find_first_not_of('=') >= 9; }

// Whether the text at pos starts an element of import text (blank lines
// before it passed over), or is the end.
bool AtElementStart(std::string_view text, size_t pos, bool logForm) {
  while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
  if (pos >= text.size()) return true;
  Cursor c{text, pos};
  std::string_view line;
  c.Next(&line);
  ImportedMessage scratch;
  long size = 0;
  if (IsSeparator(line)) {
    // A bad header after it is reported by its own parse.
    std::string_view header;
    return !logForm || (c.Next(&header) && ParseHeaderLine(header, &scratch, &size));
  }
  if (StartsWith(line, ">>>")) return !logForm || ParseSingleLine(line, &scratch, &size);
  if (logForm) return false;
  // "begin ": an attachment the editor put after the body it counted.
  return StartsWith(line, "#pragma ") || StartsWith(line, "!start ") || StartsWith(line, "#! rnews ") ||
         StartsWith(line, "Memo #") || StartsWith(line, "begin ");
}

// Where a body of the stated size that starts at pos ends. Import text states
// a body's bytes; a message in the log's form (a rethread, a paste, a saved
// batch) states its characters without CR. The one that lands on the next
// element (or the end) is the right one.
// Where size characters other than CR, from pos, end; npos when the text
// runs out first. Runs between CRs are skipped whole.
size_t EndByChars(std::string_view text, size_t pos, long size) {
  size_t wanted = static_cast<size_t>(size), counted = 0, at = pos;
  while (counted < wanted) {
    size_t cr = text.find('\r', at);
    size_t run = (cr == std::string_view::npos ? text.size() : cr) - at;
    if (counted + run >= wanted) return at + (wanted - counted);
    if (cr == std::string_view::npos) return std::string_view::npos;
    counted += run;
    at = cr + 1;
  }
  return at;
}

bool BodyEnd(std::string_view text, size_t pos, long size, bool logForm, size_t* end) {
  size_t left = text.size() - pos;
  size_t byBytes = static_cast<size_t>(size) <= left ? pos + static_cast<size_t>(size) : std::string_view::npos;
  if (logForm) {
    size_t byChars = EndByChars(text, pos, size);
    *end = byChars != std::string_view::npos ? byChars : text.size();
    return true;
  }
  // An end between the CR and the LF of one line end is no end.
  auto fits = [&](size_t end) {
    if (end == std::string_view::npos) return false;
    if (end > pos && end < text.size() && text[end - 1] == '\r' && text[end] == '\n') return false;
    return AtElementStart(text, end, false);
  };
  if (fits(byBytes)) {
    *end = byBytes;
    return true;
  }
  size_t byChars = EndByChars(text, pos, size);
  if (fits(byChars)) {
    *end = byChars;
    return true;
  }
  // A count that runs a line end past the end of the file still means all of it.
  if (byBytes == std::string_view::npos && byChars == std::string_view::npos && static_cast<size_t>(size) <= left + 2) {
    *end = text.size();
    return true;
  }
  // Ending on a line of its own, the body is taken as stated; what follows
  // it is then judged by itself.
  if (byBytes != std::string_view::npos && (byBytes == pos || text[byBytes - 1] == '\n')) {
    *end = byBytes;
    return true;
  }
  return false;
}

// Values of a mail or news header in a body, up to its first empty line.
struct BodyHeaders {
  std::string from, date, newsgroups;
};
BodyHeaders ReadBodyHeaders(std::string_view body) {
  BodyHeaders out;
  Cursor c{body};
  std::string_view line;
  while (c.Next(&line) && !line.empty()) {
    if (StartsWithNoCase(line, "From:") && out.from.empty())
      out.from = std::string(Trim(line.substr(5)));
    else if (StartsWithNoCase(line, "Date:") && out.date.empty())
      out.date = Clip(line.substr(5), kMaxDate);
    else if (StartsWithNoCase(line, "Newsgroups:") && out.newsgroups.empty())
      out.newsgroups = std::string(Trim(line.substr(11)));
  }
  return out;
}

// The address of a "From:" value, which the log's one-word author can hold.
std::string AuthorFromAddress(std::string_view from) {
  size_t open = from.find('<');
  if (open != std::string_view::npos) {
    size_t close = from.find('>', open);
    if (close != std::string_view::npos && close > open + 1)
      return OneWord(from.substr(open + 1, close - open - 1), kMaxAuthor);
  }
  from = Trim(from);
  size_t blank = from.find_first_of(" \t");
  std::string word = OneWord(from.substr(0, blank), kMaxAuthor);
  return word.empty() ? "Unknown" : word;
}

// A newsgroup "a.b.c" is the folder "a/b.c", the reverse of the news name
// the program makes from a folder.
std::string NewsFolder(std::string_view service, std::string_view newsgroups) {
  newsgroups = Trim(newsgroups);
  std::string_view group = newsgroups.substr(0, newsgroups.find_first_of(", \t"));
  if (group.empty()) return {};
  size_t dot = group.find('.');
  std::string name = dot == std::string_view::npos || dot + 1 >= group.size() || dot == 0
                         ? std::string(group) + "/" + std::string(group)
                         : std::string(group.substr(0, dot)) + "/" + std::string(group.substr(dot + 1));
  return ServiceFolderName(service, name);
}

std::string MailFolder(std::string_view service, std::string_view kind) {
  std::string name = kind.find('/') != std::string_view::npos ? std::string(kind) : "mail/" + std::string(kind);
  return ServiceFolderName(service, name);
}

class Parser {
 public:
  Parser(std::string_view text, const ImportParseOptions& options)
      : options_(options), service_(options.service), cursor_{text} {}

  ImportFile Run() {
    std::string_view line;
    while (out_.error.empty()) {
      if (!cursor_.Next(&line)) break;
      if (line.empty()) continue;
      size_t before = out_.messages.size();
      Element(line);
      if (urgent_ && out_.messages.size() > before) {
        out_.messages[before].urgent = true;
        urgent_ = false;
      }
    }
    if (!out_.error.empty()) {
      out_.messages.clear();
      out_.newFolders.clear();
    }
    return std::move(out_);
  }

 private:
  // One element of the text from its first line: a message, a block, a
  // batch or a pragma.
  void Element(std::string_view line) {
    if (IsSeparator(line) && SeparatorMessage()) return;
    if (StartsWith(line, ">>>") && SingleLineMessage(line)) return;
    if (!out_.error.empty()) return;
    if (options_.logForm) return;  // not a message: passed over
    if (StartsWith(line, "#pragma "))
      Pragma(line.substr(8));
    else if (StartsWith(line, "!start "))
      Block(line.substr(7));
    else if (StartsWith(line, "#! rnews "))
      Batch(line, true);
    else if (StartsWith(line, "Memo #"))
      Batch(line, false);
    else
      Fail("unexpected line \"" + std::string(line.substr(0, 80)) + "\"");
  }

  void Fail(std::string text) {
    if (out_.error.empty()) out_.error = std::move(text);
  }

  // The folder a message lands in: the paste's folder when one is set.
  bool Place(ImportedMessage& m) {
    std::string stated = ServiceFolderName(service_, m.folder);
    m.folder = override_.empty() ? stated : override_;
    if (!ValidFolder(m.folder)) {
      Fail("bad folder \"" + m.folder.substr(0, 80) + "\"");
      return false;
    }
    if (!override_.empty()) {
      long original = m.number;
      if (renumber_) {
        m.number = 0;
        auto parent = pasted_.find({stated, m.commentTo});
        if (m.commentTo && parent != pasted_.end()) {
          m.parentIndex = parent->second;
        } else if (stated != m.folder) {
          m.commentTo = 0;  // its parent's number means nothing in this folder
        }
      } else {
        m.neverReplace = true;
      }
      if (original) pasted_[{stated, original}] = static_cast<int>(out_.messages.size());
    }
    return true;
  }

  bool TakeBody(ImportedMessage& m, long size) {
    size_t end = 0;
    if (!BodyEnd(cursor_.text, cursor_.pos, size, options_.logForm, &end)) {
      Fail(static_cast<size_t>(size) > cursor_.text.size() - cursor_.pos
               ? "message body shorter than its stated length"
               : "message body does not end where its length says");
      return false;
    }
    m.body = cursor_.text.substr(cursor_.pos, end - cursor_.pos);
    cursor_.pos = end;
    return true;
  }

  bool SeparatorMessage() {
    ImportedMessage m;
    long size = 0;
    std::string_view header;
    size_t headerStart = cursor_.pos;
    if (!cursor_.Next(&header) || !ParseHeaderLine(header, &m, &size)) {
      if (options_.logForm) {
        cursor_.pos = headerStart;
        return false;
      }
      Fail(header.empty() ? "message without a header line"
                          : "bad header line \"" + std::string(header.substr(0, 80)) + "\"");
      return false;
    }
    std::string_view line;
    bool first = true, ended = false;
    size_t headerBytes = header.size();
    while (cursor_.Next(&line)) {
      headerBytes += line.size() + 2;
      if (headerBytes > kMaxHeaderBlock) break;
      if (!line.empty() && line[0] == '-') {
        ended = true;
        break;
      }
      if (first && ParseCommentLine(line, &m.commentTo)) {
        first = false;
        continue;
      }
      first = false;
      if (!line.empty()) m.extraHeader += std::string(line) + "\r\n";
    }
    if (!ended) {
      if (options_.logForm) {
        cursor_.pos = headerStart;
        return false;
      }
      Fail("header without its end line");
      return false;
    }
    if (!TakeBody(m, size) || !Place(m)) return false;
    TakeAttachments(m);
    out_.messages.push_back(std::move(m));
    return true;
  }

  // The editor appends a message's attachments uuencoded after the body it
  // counted; they belong to the message.
  void TakeAttachments(ImportedMessage& m) {
    if (options_.logForm) return;
    for (;;) {
      Cursor look = cursor_;
      std::string_view line;
      while (look.Next(&line) && line.empty()) {}
      if (!StartsWith(line, "begin ") || line.size() < 10) return;
      std::string attachment = std::string(line) + "\r\n";
      bool ended = false;
      while (look.Next(&line)) {
        attachment += std::string(line) + "\r\n";
        if (line == "end") {
          ended = true;
          break;
        }
      }
      if (!ended) return;  // judged as text of its own
      if (!m.ownsBody) {
        m.ownedBody = std::string(m.body);
        m.ownsBody = true;
      }
      if (!m.ownedBody.empty() && m.ownedBody.back() != '\n') m.ownedBody += "\r\n";
      m.ownedBody += attachment;
      cursor_ = look;
    }
  }

  bool SingleLineMessage(std::string_view line) {
    ImportedMessage m;
    long size = 0;
    if (!ParseSingleLine(line, &m, &size)) {
      if (!options_.logForm) Fail("bad header line \"" + std::string(line.substr(0, 80)) + "\"");
      return false;
    }
    if (!TakeBody(m, size) || !Place(m)) return false;
    out_.messages.push_back(std::move(m));
    return true;
  }

  void Pragma(std::string_view rest) {
    size_t eq = rest.find('=');
    std::string_view name = Trim(rest.substr(0, eq));
    std::string value(eq == std::string_view::npos ? std::string_view() : Trim(rest.substr(eq + 1)));
    if (name == "service") {
      if (value.empty() || value.size() > 9) return Fail("bad service \"" + value.substr(0, 80) + "\"");
      service_ = value;
    } else if (name == "newfolder") {
      std::string folder = ServiceFolderName(service_, value);
      if (!ValidFolder(folder)) return Fail("bad new folder \"" + value.substr(0, 80) + "\"");
      out_.newFolders.push_back(folder);
    } else if (name == "override") {
      std::string folder = ServiceFolderName(service_, value);
      if (!ValidFolder(folder)) return Fail("bad folder \"" + value.substr(0, 80) + "\"");
      override_ = folder;
    } else if (name == "overridenumber") {
      renumber_ = StartsWithNoCase(value, "y");
    } else if (name == "urgent") {
      urgent_ = StartsWithNoCase(value, "y");
    }
    // "thread=no": messages are written as they come; nothing threads them
    // here. Names this program does not know steer nothing.
  }

  void Block(std::string_view rest) {
    size_t blank = rest.find(' ');
    ImportedMessage m;
    m.folder = std::string(rest.substr(0, blank));
    m.author = blank == std::string_view::npos ? "" : OneWord(rest.substr(blank + 1), kMaxAuthor);
    if (m.author.empty()) m.author = "Import";
    m.date = std::string(options_.now);
    m.ownsBody = true;
    std::string_view line;
    bool ended = false;
    while (cursor_.Next(&line)) {
      if (line == "!end") {
        ended = true;
        break;
      }
      m.ownedBody.append(line.data(), line.size());
      m.ownedBody += "\r\n";
    }
    if (!ended) return Fail("block without \"!end\"");
    if (!Place(m)) return;
    out_.messages.push_back(std::move(m));
  }

  // A message saved from a folder: "#! rnews size" (news) or "Memo #n
  // (size)" (mail). Its folder comes from the entry's kind, or for news
  // from its newsgroup; author and date from its own header.
  void Batch(std::string_view line, bool news) {
    ImportedMessage m;
    size_t at = news ? 9 : 6;
    long size = 0;
    if (!news) {
      long number = 0;
      if (!ParseDigits(line, &at, &number) || line.compare(at, 2, " (") != 0) return Fail("bad memo line");
      at += 2;
    }
    if (!ParseDigits(line, &at, &size)) return Fail(news ? "bad rnews line" : "bad memo line");
    if (!TakeBody(m, size)) return;
    BodyHeaders headers = ReadBodyHeaders(m.body);
    m.author = AuthorFromAddress(headers.from);
    m.date = headers.date;
    if (news && options_.kind.find('/') == std::string_view::npos) {
      m.folder = NewsFolder(service_, headers.newsgroups);
      if (m.folder.empty()) return Fail("news article without a newsgroup");
    } else {
      m.folder = MailFolder(service_, options_.kind);
    }
    if (!Place(m)) return;
    out_.messages.push_back(std::move(m));
  }

  const ImportParseOptions& options_;
  std::string service_;
  std::string override_;
  bool renumber_ = false;
  bool urgent_ = false;                                 // the next message is urgent
  std::map<std::pair<std::string, long>, int> pasted_;  // (stated folder, number) -> message
  Cursor cursor_;
  ImportFile out_;
};

}  // namespace

std::string ServiceFolderName(std::string_view service, std::string_view name) {
  bool local = service.size() == 5 && StartsWithNoCase(service, "local");
  if (service.empty() || local || name.find(':') != std::string_view::npos) return std::string(name);
  return std::string(service) + ":" + std::string(name);
}

ImportFile ParseImportText(std::string_view text, const ImportParseOptions& options) {
  return Parser(text, options).Run();
}

size_t CountCarriageReturns(std::string_view text) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const char* p = text.data();
  size_t n = text.size(), count = 0, i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    uint64_t x = word ^ (kOnes * '\r');
    // The top bit of each byte of x that is not zero; the rest are CRs.
    uint64_t nonzero = (((x & kLow7) + kLow7) | x) & ~kLow7;
    count += static_cast<size_t>(((~nonzero & ~kLow7) >> 7) * kOnes >> 56);
  }
  for (; i < n; ++i) count += p[i] == '\r';
  return count;
}
