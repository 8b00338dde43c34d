#include "online/engine_script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "online/action_file.h"

namespace {

char Lower(char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); }

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); i++)
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsNoCase(a, b); }

// Line walking over a byte range: each line without its LF and one CR.
struct Lines {
  std::string_view text;
  size_t pos = 0;
  bool next(std::string_view* line, size_t* lineStart = nullptr) {
    if (pos >= text.size()) return false;
    if (lineStart) *lineStart = pos;
    size_t newline = text.find('\n', pos);
    size_t end = newline == std::string_view::npos ? text.size() : newline;
    *line = text.substr(pos, end - pos);
    pos = newline == std::string_view::npos ? text.size() : newline + 1;
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    return true;
  }
};

bool IsHeader(std::string_view line) { return IsActionHeader(line.data(), line.size()); }

// "Body: n" at the start of a line: n when it is all digits and the n bytes
// after this line are followed by a line end and "MessageEnd:", as the
// action file reader demands; else -1.
long long CountedBody(std::string_view file, std::string_view line, size_t afterLine) {
  if (!StartsNoCase(line, "Body: ")) return -1;
  std::string_view digits = line.substr(6);
  if (digits.empty() || digits.size() > 10) return -1;
  for (char c : digits)
    if (!isdigit(static_cast<unsigned char>(c))) return -1;
  unsigned long long length = strtoull(std::string(digits).c_str(), nullptr, 10);
  if (length > file.size() - afterLine) return -1;
  std::string_view rest = file.substr(afterLine + length);
  if (rest.substr(0, 2) == "\r\n")
    rest.remove_prefix(2);
  else if (rest.substr(0, 1) == "\n")
    rest.remove_prefix(1);
  else
    return -1;
  return StartsNoCase(rest, "MessageEnd:") ? static_cast<long long>(length) : -1;
}

// --- message blocks --------------------------------------------------------

struct Address {
  std::string name, address;
};

struct MessageBlock {
  bool faxing = false, mailing = false, say = false, reply = false, comment = false, news = false, receipt = false,
       mime = false, sendAsShown = false, sendToSelf = false;
  std::string references, customHeaders, folders, subject, faxName, faxNumber, realName, email, importance, sensitivity;
  std::vector<Address> to, cc, bcc;
  std::vector<std::string> attachments;
  std::string_view body;  // in the action file's bytes
  bool hasBody = false;
};

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char c = text[++i];
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

Address ReadAddress(std::string_view value) {
  size_t tab = value.find('\t');
  if (tab == std::string_view::npos) return {"", std::string(value)};
  return {std::string(value.substr(0, tab)), std::string(value.substr(tab + 1))};
}

// The block from the line after "MessageStart: 1.0" to the end of the span.
MessageBlock ReadMessageBlock(std::string_view span, size_t pos) {
  MessageBlock m;
  Lines lines{span, pos};
  std::string_view line;
  while (lines.next(&line)) {
    if (StartsNoCase(line, "MessageEnd:")) break;
    long long count = CountedBody(span, line, lines.pos);
    if (count >= 0) {
      m.body = span.substr(lines.pos, static_cast<size_t>(count));
      m.hasBody = true;
      break;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view key = line.substr(0, colon + 1);
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    bool yes = !value.empty() && Lower(value[0]) == 'y';
    struct Flag {
      const char* key;
      bool* flag;
    } flags[] = {{"bFaxing:", &m.faxing},        {"bMailing:", &m.mailing}, {"bSay:", &m.say},
                 {"bReply:", &m.reply},          {"bComment:", &m.comment}, {"bNews:", &m.news},
                 {"bReceipt:", &m.receipt},      {"bMime:", &m.mime},       {"bSendAsShown:", &m.sendAsShown},
                 {"bSendToSelf:", &m.sendToSelf}};
    struct Text {
      const char* key;
      std::string* text;
    } texts[] = {{"szFolders:", &m.folders},       {"szSubject:", &m.subject},        {"szFaxName:", &m.faxName},
                 {"szFaxNumber:", &m.faxNumber},   {"szRealname:", &m.realName},      {"szEmail:", &m.email},
                 {"szImportance:", &m.importance}, {"szSensitivity:", &m.sensitivity}};
    for (const Flag& f : flags)
      if (EqualNoCase(key, f.key)) *f.flag = yes;
    for (const Text& t : texts)
      if (EqualNoCase(key, t.key)) t.text->assign(value);
    if (EqualNoCase(key, "szReferences:")) m.references = Unescape(value);
    if (EqualNoCase(key, "szCustomHeaders:")) m.customHeaders = Unescape(value);
    if (EqualNoCase(key, "To:")) m.to.push_back(ReadAddress(value));
    if (EqualNoCase(key, "CC:")) m.cc.push_back(ReadAddress(value));
    if (EqualNoCase(key, "BCC:")) m.bcc.push_back(ReadAddress(value));
    if (EqualNoCase(key, "Attachments:") && !value.empty()) m.attachments.emplace_back(value);
  }
  return m;
}

std::string RemoveSoftBreaks(std::string_view text, bool makeHard) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    if (text.substr(i, 3) == "\r\r\n") {
      if (makeHard) out += "\r\n";
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

bool HasLineStarting(std::string_view headers, std::string_view key) {
  Lines lines{headers};
  std::string_view line;
  while (lines.next(&line))
    if (StartsNoCase(line, key)) return true;
  return false;
}

std::string FormatAddressDisplay(const std::string& name, const std::string& address) {
  return name.empty() ? address : name + " <" + address + ">";
}

// A display name as the Internet engines read it.
std::string DisplayName(const std::string& name, bool dravenet) {
  static const char kSpecials[] = "\"'()<>,;:\\[]";
  if (dravenet || name.find_first_of(kSpecials) == std::string::npos) return name;
  std::string out = "\"";
  for (char c : name) {
    if (strchr(kSpecials, c) && c) out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Uuencode(const std::string& name, const std::string& bytes) {
  auto enc = [](int v) { return static_cast<char>(v ? (v & 63) + 32 : '`'); };
  std::string out = "begin 644 " + name + "\r\n";
  for (size_t i = 0; i < bytes.size(); i += 45) {
    size_t n = std::min<size_t>(45, bytes.size() - i);
    out += enc(static_cast<int>(n));
    for (size_t j = 0; j < n; j += 3) {
      unsigned char b[3] = {0, 0, 0};
      for (size_t k = 0; k < 3 && j + k < n; k++) b[k] = static_cast<unsigned char>(bytes[i + j + k]);
      out += enc(b[0] >> 2);
      out += enc(((b[0] << 4) | (b[1] >> 4)) & 63);
      out += enc(((b[1] << 2) | (b[2] >> 6)) & 63);
      out += enc(b[2] & 63);
    }
    out += "\r\n";
  }
  return out + "`\r\nend\r\n";
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

class ScriptWriter {
 public:
  ScriptWriter(const char* service, const std::string& bodyPrefix, const ReplyScriptFiles& files)
      : service_(service), bodyPrefix_(bodyPrefix), files_(files) {
    dravenet_ = service_ == "dvn";
    internet_ = service_ == "net";
  }

  std::string BodyPath(long action) const {
    char name[32];
    snprintf(name, sizeof name, "msg%05ld.tmp", action);
    return bodyPrefix_ + name;
  }

  // One script entry (the header line already read); statement into out.
  // False when the action must stay out of the script.
  bool Script(std::string_view span, size_t pos, long action, std::string* out) {
    Lines lines{span, pos};
    std::string_view command;
    if (!lines.next(&command)) command = {};
    long remaining = -1;  // unbounded
    if (!command.empty() && isdigit(static_cast<unsigned char>(command[0]))) {
      remaining = 0;
      size_t i = 0;
      while (i < command.size() && isdigit(static_cast<unsigned char>(command[i]))) {
        remaining = std::min<long>(remaining * 10 + (command[i] - '0'), 100000);
        i++;
      }
      command.remove_prefix(i);
    }
    char number[24];
    snprintf(number, sizeof number, " \"%ld\"", action);
    *out += QuoteForScript(command) + number;
    // A second line of "5 ..." marks an announcement upload, sent as written.
    bool announcement = false;
    if (EqualNoCase(command, "QVXUploadAnnouncements")) {
      Lines ahead = lines;
      std::string_view first, second;
      announcement = ahead.next(&first) && ahead.next(&second) && StartsNoCase(second, "5 ");
    }
    std::string_view line;
    while (lines.next(&line)) {
      if (remaining == 1) {
        std::string body;
        const char* terminator = dravenet_ ? "/exit" : ".";
        bool first = true;
        do {
          if (!first && EqualNoCase(line, terminator)) break;
          std::string text = UnescapeBlockLine(line.data(), line.size()) + "\r\n";
          body += dravenet_ && !announcement ? EscapeAtSigns(text, true) : text;
          first = false;
        } while (lines.next(&line));
        *out += ", \"" + BodyPath(action) + "\"";
        if (!files_.writeBody(files_.context, action, body)) return false;
        break;
      }
      *out += ", \"" + QuoteForScript(line) + "\"";
      if (remaining > 1) remaining--;
    }
    *out += "\n";
    return true;
  }

  bool Message(const MessageBlock& m, long action, std::string* out) {
    if (!m.hasBody) return false;  // a message without its body never goes
    if (!(m.say || m.comment || m.mailing || m.faxing)) return true;
    std::string file;
    file.reserve(m.body.size() + m.body.size() / 32 + 512);
    if (m.mailing && m.reply && !m.references.empty()) file += "In-Reply-To: " + m.references + "\r\n";
    if (internet_ && (m.say || m.comment || m.mailing)) {
      if (!HasLineStarting(m.customHeaders, "From:"))
        file += "From: " + FormatAddressDisplay(m.realName, m.email) + "\r\n";
      if (!HasLineStarting(m.customHeaders, "Reply-To:")) file += "Reply-To: " + m.email + "\r\n";
      if (!m.mailing && !m.references.empty()) file += "References: " + m.references + "\r\n";
      if (!m.customHeaders.empty()) file += m.customHeaders + "\r\n";
    } else if ((m.mailing || m.faxing) && dravenet_ && !m.realName.empty()) {
      file += "X-PL-From: " + m.realName + "\r\n";
    }
    if (EqualNoCase(m.importance, "High")) file += "Priority: High\r\n";
    if (EqualNoCase(m.importance, "Low")) file += "Priority: Low\r\n";
    if (!file.empty()) file += "\r\n";
    if (internet_)
      file += StuffDots(m.body);
    else if (dravenet_)
      file += EscapeAtSigns(m.body, m.sendAsShown);
    else
      file += RemoveSoftBreaks(m.body, m.sendAsShown);
    file += "\r\n";
    if (m.say || m.comment) {
      for (const std::string& path : m.attachments) {
        std::string bytes;
        if (!files_.readFile(files_.context, path, &bytes)) return false;
        file += Uuencode(BaseName(path), bytes);
      }
    }
    if (!files_.writeBody(files_.context, action, file)) return false;

    std::string addressee;
    if (dravenet_ && !m.to.empty()) {
      const Address& a = m.to.front();
      addressee = !a.name.empty() && !a.address.empty() ? a.name + " [" + a.address + "]"
                  : a.name.empty()                      ? a.address
                                                        : a.name;
    }
    int flags = (m.receipt ? 1 : 0) + (EqualNoCase(m.sensitivity, "Private") ? 2 : 0);
    std::string path = BodyPath(action);
    char text[64];
    auto q = [](const std::string& s) { return "\"" + QuoteForScript(s) + "\""; };
    if (m.say || m.comment) {
      snprintf(text, sizeof text, "%s \"%ld\", ", m.say ? "Say" : "Comment", action);
      *out += text + q(m.folders) + ", ";
      if (dravenet_) *out += q(m.realName) + ", ";
      *out += q(addressee) + ", ";
      if (m.comment) *out += "\"" + (m.news ? std::string() : QuoteForScript(m.references)) + "\", ";
      snprintf(text, sizeof text, "%d, ", flags);
      *out += text + q(m.subject) + ", \"" + path + "\"\n";
      return true;
    }
    snprintf(text, sizeof text, "StartMail \"%ld\", %d, ", action, flags);
    *out += text + q(m.subject) + ", \"" + path + "\", \"" + (m.mailing && !m.mime ? "UU" : "MIME") + "\"\n";
    auto recipient = [&](const std::string& address, const std::string& name, const char* kind) {
      *out += "AddRecipient " + q(address) + ", " + q(DisplayName(name, dravenet_)) + ", \"" + kind + "\"\n";
    };
    bool selfInTo = false;
    if (m.mailing) {
      std::vector<Address> to = m.to;
      if (service_ == "quorl" && m.sendToSelf && !m.email.empty()) {
        to.push_back({m.realName, m.email});
        selfInTo = true;
      }
      std::vector<Address> unique;
      for (const Address& a : to) {
        bool seen = false;
        for (const Address& u : unique) seen = seen || EqualNoCase(u.address, a.address);
        if (!seen) unique.push_back(a);
      }
      for (const Address& a : unique) recipient(a.address, a.name, "to");
      for (const Address& a : m.cc) recipient(a.address, a.name, "cc");
      for (const Address& a : m.bcc) recipient(a.address, a.name, "bcc");
    } else {
      *out += "AddRecipient " + q(m.faxName) + ", \"FAX:" + QuoteForScript(m.faxNumber) + "\", \"to\"\n";
    }
    if (m.sendToSelf && !m.email.empty() && !selfInTo) recipient(m.email, m.realName, "bcc");
    if (m.mailing)
      for (const std::string& a : m.attachments) *out += "AddAttachment " + q(a) + ", " + q(a) + "\n";
    *out += "EndMail\n";
    return true;
  }

 private:
  std::string service_;
  std::string bodyPrefix_;
  const ReplyScriptFiles& files_;
  bool dravenet_ = false, internet_ = false;
};

}  // namespace

std::string EscapeAtSigns(std::string_view text, bool keepSoftBreaks) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t special = text.find_first_of("@\r", pos);
    if (special == std::string_view::npos) special = text.size();
    out.append(text.data() + pos, special - pos);
    pos = special;
    if (pos >= text.size()) break;
    if (text[pos] == '@') {
      out += "@@";
      pos++;
    } else if (text.substr(pos, 3) == "\r\r\n") {
      if (keepSoftBreaks) out += "@b\r\n";
      pos += 3;
    } else if (text.substr(pos, 2) == "\r\n") {
      out += "@b\r\n";
      pos += 2;
    } else {
      out += '\r';
      pos++;
    }
  }
  return out;
}

std::string StuffDots(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    out.append(text.data() + pos, end - pos);
    if (end - pos == 1 && text[pos] == '.') out += ' ';
    if (end >= text.size()) break;
    out += text[end];
    pos = end + 1;
  }
  return out;
}

std::string QuoteForScript(std::string_view text) {
  size_t cut = text.find_first_of("\r\n");
  if (cut != std::string_view::npos) text = text.substr(0, cut);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

std::vector<ActionSpan> SplitActionEntries(std::string_view file) {
  std::vector<ActionSpan> spans;
  Lines lines{file};
  std::string_view line;
  size_t start = 0;
  bool inEntry = false, message = false, firstLine = false;
  while (lines.next(&line, &start)) {
    if (IsHeader(line)) {
      if (inEntry) spans.back().end = start;
      spans.push_back({start, file.size(), line[1] == '-'});
      inEntry = true;
      firstLine = true;
      message = false;
      continue;
    }
    if (!inEntry) continue;
    if (firstLine) message = EqualNoCase(line, "MessageStart: 1.0");
    firstLine = false;
    if (message) {
      long long count = CountedBody(file, line, lines.pos);
      if (count >= 0) {
        lines.pos += static_cast<size_t>(count);
        message = false;
      }
    }
  }
  return spans;
}

ReplyScript MakeReplyScript(std::string_view replyBsc, const char* service, bool withWaitingMessages,
                            const std::string& bodyPrefix, const ReplyScriptFiles& files) {
  ReplyScript result;
  result.script = "Sub Script()\n";
  ScriptWriter writer(service, bodyPrefix, files);
  bool internet = strcmp(service, "net") == 0;
  for (const ActionSpan& span : SplitActionEntries(replyBsc)) {
    if (!span.live) continue;  // held actions never go
    long action = ++result.actions;
    std::string_view entry = replyBsc.substr(span.start, span.end - span.start);
    Lines lines{entry};
    std::string_view header, first;
    lines.next(&header);
    size_t afterHeader = lines.pos;
    bool message = lines.next(&first) && EqualNoCase(first, "MessageStart: 1.0");
    std::string statement;
    bool ok = message ? writer.Message(ReadMessageBlock(entry, lines.pos), action, &statement)
                      : writer.Script(entry, afterHeader, action, &statement);
    if (!ok) {
      result.left.push_back(action);
      continue;
    }
    if (!statement.empty()) {
      result.script += statement;
      result.written.push_back(action);
    }
    if (!internet && result.script.size() > kReplyScriptLimit) {
      result.limitReached = true;
      break;
    }
  }
  if (internet && withWaitingMessages) result.script += "GetWaitingMessages \"9999\"\n";
  result.script += "End Sub\n";
  return result;
}

std::vector<long> ReadSuccessLog(std::string_view log) {
  std::vector<long> numbers;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t newline = log.find('\n', pos);
    if (newline == std::string_view::npos) break;  // a line the engine did not finish
    std::string_view line = log.substr(pos, newline - pos);
    pos = newline + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (line.empty() || line.size() > 9) continue;
    bool digits = true;
    for (char c : line) digits = digits && isdigit(static_cast<unsigned char>(c));
    if (!digits) continue;
    long value = strtol(std::string(line).c_str(), nullptr, 10);
    if (value > 0) numbers.push_back(value);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

std::string SortedSuccessLog(std::string_view log) {
  std::string out;
  for (long n : ReadSuccessLog(log)) out += std::to_string(n) + "\n";
  return out;
}

AppliedLog ApplySuccessNumbers(std::string_view actionFile, const std::vector<long>& confirmed) {
  AppliedLog result;
  for (const ActionSpan& span : SplitActionEntries(actionFile)) {
    bool drop = false;
    if (span.live) {
      long action = ++result.lastAction;
      drop = std::binary_search(confirmed.begin(), confirmed.end(), action);
    }
    if (drop)
      result.confirmed++;
    else
      result.kept.append(actionFile.substr(span.start, span.end - span.start));
  }
  return result;
}
