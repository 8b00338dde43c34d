#include "browser/message_actions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string LowerText(std::string text) {
  for (char& c : text) c = Lower(c);
  return text;
}

std::string Num(long n) { return std::to_string(n); }
std::string Unsigned(long n) { return std::to_string(static_cast<unsigned long>(n)); }

}  // namespace

std::string ActionField(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r' && c != '\n' && c != '\t') out += c;
  return out;
}

std::string ForumOf(const std::string& folder) { return folder.substr(0, folder.find('/')); }

std::string DottedGroup(const std::string& folder) {
  std::string out = folder;
  for (size_t at; (at = out.find("/.")) != std::string::npos;) out.erase(at, 2);
  for (char& c : out)
    if (c == '/') c = '.';
  return out;
}

std::string OriginOfNewsgroups(const std::string& key, const std::string& groups) {
  std::string group = groups.substr(0, groups.find(','));
  const size_t dot = group.find('.');
  if (dot != std::string::npos) group[dot] = '/';
  return key + ":" + group;
}

std::string FetchActionLines(const FetchRequest& r) {
  const std::string id = ActionField(r.user);
  const std::string folder = ActionField(r.folder);
  const std::string messageId = ActionField(r.messageId);
  const std::string head = ";-; id:\t" + id + " type:\tscript script:\t";
  switch (r.kind) {
    case FetchKind::kMail:
      return head + "Fetch mail message priority:\t50 #:\t" + folder + " #:\t" + messageId + " #:\t" +
             Unsigned(r.number) + " #:\t" + Unsigned(r.commentTo) + "\n" + "GetMailMessage\n" + folder + "\n" +
             messageId + "\n" + Unsigned(r.number) + "\n" + Unsigned(r.commentTo) + "\n";
    case FetchKind::kDravenet: {
      // Every other request names its priority here; so does this one.
      const std::string forum = ForumOf(folder);
      return head + "Fetch full message priority:\t30 #:\t" + forum + " #:\t" + Num(r.number) + "\n" + "FetchThread\n" +
             forum + "\n" + Num(r.number) + "\n";
    }
    case FetchKind::kNews: {
      const std::string group = DottedGroup(folder);
      return head + "Fetch full message priority:\t50 #:\t" + group + " #:\t" + messageId + " #:\t" +
             Unsigned(r.number) + " #:\t" + Unsigned(r.commentTo) + " #:\t" + folder + "\n" + "GetMessage\n" + group +
             "\n" + messageId + "\n" + Unsigned(r.number) + "\n" + Unsigned(r.commentTo) + "\n" + folder + "\n";
    }
    case FetchKind::kLibraryList: {
      const std::string forum = ForumOf(folder);
      return head + "Refresh Library List priority:\t40 #:\t" + forum + " #:\t" + Num(r.number) +
             " #:\t #:\t #:\t #:\t #:\t #:\t #:\t #:\t #:\ty #:\tn\n" + "NewSearchLibrary\n" + forum + "\n" +
             Num(r.number) + "\n\n\n\n\n\n\n\n\ny\nn\n";
    }
  }
  return "";
}

std::string ImportHeaderLine(const std::string& header, const std::string& source, const std::string& destination,
                             const std::string& openFolder, long number, std::string* note) {
  std::string line = header;
  for (size_t i = 0; i < line.size() && line[i] != ' '; ++i) line[i] = Lower(line[i]);
  if (!source.empty()) {
    const size_t at = LowerText(line).find(LowerText(source));
    if (at != std::string::npos) line.replace(at, source.size(), destination);
  }
  note->clear();
  if (LowerText(source) == LowerText(destination)) return line;
  *note = "\r\n[This message was copied from PL://" + openFolder + "#" + Num(number) + "]\r\n";
  // The count names the characters of the body, which the note lengthens.
  if (line.compare(0, 3, ">>>") == 0) {
    // The one-line form states it in brackets after the author.
    const size_t open = line.find('(');
    const size_t close = open == std::string::npos ? std::string::npos : line.find(')', open);
    if (close == std::string::npos || close == open + 1 || close - open > 11) return line;
    for (size_t i = open + 1; i < close; ++i)
      if (line[i] < '0' || line[i] > '9') return line;
    const long count = std::strtol(line.c_str() + open + 1, nullptr, 10) + static_cast<long>(note->size()) - 2;
    line.replace(open + 1, close - open - 1, Num(count));
    return line;
  }
  const size_t at = line.find(" chars, ");
  if (at == std::string::npos) return line;
  size_t start = at;
  while (start > 0 && line[start - 1] >= '0' && line[start - 1] <= '9') --start;
  if (start == at || start < 2 || line.compare(start - 2, 2, ", ") != 0) return line;
  const long count = std::strtol(line.c_str() + start, nullptr, 10) + static_cast<long>(note->size()) - 2;
  line.replace(start, at - start, Num(count));
  return line;
}

std::string CleanFolderName(const std::string& typed) {
  std::string out = typed;
  for (char& c : out)
    if (static_cast<unsigned char>(c) <= 32) c = '_';
  return out;
}

bool ValidSendToName(const std::string& name) {
  const size_t firstColon = name.find(':');
  const size_t firstSlash = name.find('/');
  if (firstColon != std::string::npos) {
    const size_t second = name.find(':', firstColon + 1);
    if (second != std::string::npos && (firstSlash == std::string::npos || second < firstSlash)) return false;
  }
  if (firstSlash != std::string::npos && (firstColon == std::string::npos || firstSlash < firstColon)) return false;
  size_t slashes = 0;
  for (char c : name) slashes += c == '/';
  return slashes == 1;
}

const char* const kSearchLimitCodes[10] = {"", "u", "1", "2", "3", "4", "5", "6", "7", "31"};
const char* const kSearchLimitNames[10] = {"All messages", "Unread only", "Last day",    "Last 2 days", "Last 3 days",
                                           "Last 4 days",  "Last 5 days", "Last 6 days", "Last week",   "Last month"};

std::string RemoteSearchLines(const std::string& user, const std::string& forum, const std::string& sections,
                              const std::string& limit, const std::string& searchBy, const std::string& text) {
  const std::string f = ActionField(forum), s = ActionField(sections), l = ActionField(limit),
                    b = ActionField(searchBy), t = ActionField(text);
  return ";-; id:\t" + ActionField(user) + " type:\tscript script:\tRemote Search priority:\t60 #:\t" + f + " #:\t" +
         s + " #:\t" + l + " #:\t" + b + " #:\t" + t + "\n" + "SearchForMessages\n" + f + "\n" + s + "\n" + l + "\n" +
         b + "\n" + t + "\n";
}

std::string RethreadHeader(const std::string& header, long parent) {
  if (header.compare(0, 3, ">>>") == 0) {
    // The parent is the line's fifth word, as the log reader takes it (folder,
    // number, author with size and date, time); a folder's service colon
    // comes before any time, so the words are counted, not the colons.
    const size_t end = header.find('\n');
    std::string line = header.substr(3, end == std::string::npos ? std::string::npos : end - 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t at = 0;
    for (int word = 0; word < 4; ++word) {
      at = line.find_first_not_of(" \t", at);
      if (at == std::string::npos) return header;  // not a line the reader takes
      at = line.find_first_of(" \t", at);
      if (at == std::string::npos) at = line.size();
    }
    std::string out = ">>>" + line.substr(0, at) + (parent ? " c" + Num(parent) : "") + "\n";
    if (end != std::string::npos) out += header.substr(end + 1);
    return out;
  }
  const size_t first = header.find('\n');
  const size_t second = first == std::string::npos ? std::string::npos : header.find('\n', first + 1);
  std::string out = header.substr(0, second);
  if (!out.empty() && out.back() == '\r') out.pop_back();
  out += parent ? "\nComment to " + Num(parent) + ".\n----------\n" : "\n----------\n";
  return out;
}

bool RethreadTarget(const std::string& typed, long own, long* parent) {
  if (typed.empty() || typed[0] < '0' || typed[0] > '9') return false;
  const long value = std::strtol(typed.c_str(), nullptr, 10);
  if (value < 1 || value >= own) return false;
  *parent = value;
  return true;
}

long SectionNumberOfItem(const std::string& item) {
  return item.size() > 1 ? std::strtol(item.c_str() + 1, nullptr, 10) : 0;
}

bool SectionChosen(const std::string& selection, long number) {
  return (" " + selection + " ").find(" " + Num(number) + " ") != std::string::npos;
}

std::string SectionsText(const std::vector<long>& numbers) {
  std::string out;
  for (long n : numbers) out += Num(n) + " ";
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string SectionOfFolder(const std::string& folder) {
  const size_t slash = folder.find('/');
  if (slash == std::string::npos || slash + 2 >= folder.size() + 1) return "";
  std::string digits;
  for (size_t i = slash + 2; i < folder.size() && folder[i] >= '0' && folder[i] <= '9'; ++i) digits += folder[i];
  return digits;
}

std::string SearchTextOfLine(const std::string& line, const std::string& field, bool person) {
  if (line.size() < field.size() || LowerText(line.substr(0, field.size())) != LowerText(field)) return "";
  std::string text = line.substr(field.size());
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (!person || text.find(' ') == std::string::npos) return text;
  std::string last = text.substr(text.rfind(' ') + 1);
  std::string out;
  for (char c : last)
    if (c != '[' && c != ']') out += c;
  return out;
}
