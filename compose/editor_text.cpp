#include "compose/editor_text.h"

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <cstring>

#include "core/folder_names.h"
#include "core/text1252.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && i + 2 <= text.size() - 1 + 0) {
      int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0 && (hi || lo)) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool TakeKey(const std::string& token, const char* key, std::string* value) {
  size_t n = std::strlen(key);
  if (token.size() < n || !StartsWithNoCase(token.c_str(), key)) return false;
  *value = token.substr(n);
  return true;
}

bool IsBlankOrBreak(char c) { return c == ' ' || c == '\r' || c == '\n'; }

void ReplaceAllNoCase(std::string& text, const char* macro, const std::string& value) {
  size_t n = std::strlen(macro);
  size_t at = 0;
  for (;;) {
    const char* found = stristr(text.c_str() + at, macro);
    if (!found) return;
    size_t pos = static_cast<size_t>(found - text.c_str());
    text.replace(pos, n, value);
    at = pos + value.size();
  }
}

bool ContainsNoCase(const std::string& text, const char* macro) { return stristr(text.c_str(), macro) != nullptr; }

int CompareWord(const char* a, const char* b, bool exact) {
  if (exact) return std::strcmp(a, b);
  for (;; ++a, ++b) {
    int x = ToLower1252(static_cast<unsigned char>(*a)), y = ToLower1252(static_cast<unsigned char>(*b));
    if (x != y || !x) return x - y;
  }
}

}  // namespace

EditorParams ParseEditorParams(const char* text) {
  EditorParams p;
  std::string all = text ? text : "";
  size_t q = all.find('?');
  p.recipients = all.substr(0, q);
  if (q == std::string::npos) return p;
  // Every escape is decoded, "%22" as the quote it stands for.
  std::string rest = Decode(all.substr(q + 1));
  size_t start = 0;
  for (;;) {
    size_t end = rest.find('?', start);
    std::string token = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string v;
    if (TakeKey(token, "subject=", &v))
      p.subject = v, p.hasSubject = true;
    else if (TakeKey(token, "name=", &v))
      p.name = v, p.hasName = true;
    else if (TakeKey(token, "number=", &v))
      p.number = v, p.hasNumber = true;
    else if (TakeKey(token, "service=", &v))
      p.service = v, p.hasService = true;
    else if (TakeKey(token, "filename=", &v))
      p.fileNames.push_back(v);
    else if (TakeKey(token, "attach=", &v))
      p.attachments.push_back(v);
    else if (TakeKey(token, "folder=", &v))
      p.folder = v, p.hasFolder = true;
    else if (TakeKey(token, "inreplyto=", &v))
      p.inReplyTo = v, p.hasInReplyTo = true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return p;
}

std::string QuotedText(const char* text, bool bracketStyle) {
  std::string t = text ? text : "";
  size_t a = 0, b = t.size();
  while (a < b && IsBlankOrBreak(t[a])) ++a;
  while (b > a && IsBlankOrBreak(t[b - 1])) --b;
  if (a == b) return "";
  t = t.substr(a, b - a);
  std::string out = bracketStyle ? "<< " : "> ";
  for (char c : t) {
    if (c == '\r') continue;
    if (c == '\n')
      out += bracketStyle ? "\r\n" : "\r\n> ";
    else
      out += c;
  }
  if (bracketStyle) {
    while (!out.empty() && IsBlankOrBreak(out.back())) out.pop_back();
    out += " >>\r\n\r\n";
  } else {
    out += "\r\n>\r\n";
  }
  return out;
}

std::string WithoutSignature(const std::string& text) {
  static const char* const kMarks[] = {
      "\r\n-- \r\n", "\r\n----------------------- Internet Header --------------------------------\r\n"};
  std::string t = text;
  for (const char* mark : kMarks) {
    size_t at = t.rfind(mark);
    if (at != std::string::npos && at != 0) t.erase(at);
  }
  return t;
}

int LongestLine(const char* text) {
  int longest = 0, column = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\n') {
      longest = std::max(longest, column);
      column = 0;
    } else if (*p != '\r') {
      ++column;
    }
  }
  return std::max(longest, column);
}

void WrapText(char* text, int width) {
  if (!text || width <= 0) return;
  int column = 0;
  char* p = text;
  while (*p) {
    // A token: a run of white space, then a run of other characters.
    char* start = p;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
      if (*p == '\r' || *p == '\n') break;
      ++p;
    }
    if (*p == '\r' || *p == '\n') {
      while (*p == '\r' || *p == '\n') ++p;
      column = 0;
      continue;
    }
    while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') ++p;
    int length = static_cast<int>(p - start);
    if (column + length >= width) {
      if (start[0] == ' ' || start[0] == '\t') {
        *start = '\n';
        column = length - 1;
      } else {
        column = length;
      }
    } else {
      column += length;
    }
  }
}

std::string SwapLastFirst(const std::string& name) {
  size_t comma = name.find(',');
  if (comma == std::string::npos) return name;
  size_t first = name.find_first_not_of(" \t", comma + 1);
  std::string after = first == std::string::npos ? "" : name.substr(first);
  std::string before = name.substr(0, comma);
  while (!before.empty() && before.back() == ' ') before.pop_back();
  return after + " " + before;
}

char* NameCase(char* name) {
  if (!name || !name[0]) return name;
  name[0] = static_cast<char>(ToUpper1252(static_cast<unsigned char>(name[0])));
  for (const char* p = name; *p; ++p)
    if (IsLower1252(static_cast<unsigned char>(*p))) return name;
  for (char* p = name; *p; ++p) *p = static_cast<char>(ToLower1252(static_cast<unsigned char>(*p)));
  return FixNameCase(name);
}

std::string ExpandAttribution(const char* templ, const AttributionFields& f) {
  std::string t;
  for (const char* p = templ ? templ : ""; *p; ++p) {
    if (p[0] == '\\' && p[1] == 'r') {
      ++p;
    } else if (p[0] == '\\' && p[1] == 'n') {
      t += "\r\n";
      ++p;
    } else {
      t += *p;
    }
  }
  bool hasFirst = ContainsNoCase(t, "%FIRSTNAME%");
  std::string conference = f.folder.substr(0, f.folder.find('/'));
  size_t slash = f.folder.find('/');
  std::string topic = slash == std::string::npos ? "" : f.folder.substr(slash + 1);
  if (f.dvn) std::replace(topic.begin(), topic.end(), '_', ' ');
  ReplaceAllNoCase(t, "%NUMBER%", std::to_string(f.number));
  ReplaceAllNoCase(t, "%FORUM%", conference);
  ReplaceAllNoCase(t, "%CONFERENCE%", conference);
  ReplaceAllNoCase(t, "%SECTION%", topic);
  ReplaceAllNoCase(t, "%TOPIC%", topic);
  ReplaceAllNoCase(t, "%MESSAGEID%", f.messageId);
  ReplaceAllNoCase(t, "%USERNAME%", f.from);
  char name[512], address[512];
  ParseAddress(f.from.c_str(), name, sizeof name, address, sizeof address);
  std::string real = SwapLastFirst(name);
  if (hasFirst && !f.firstNameOverride.empty()) real = f.firstNameOverride;
  char cased[512];
  StrCopyN(cased, real.c_str(), sizeof cased - 1);
  NameCase(cased);
  real = cased;
  ReplaceAllNoCase(t, "%REALNAME%", real);
  std::string first = real.substr(0, real.find(' '));
  if (!hasFirst && real.empty()) return "";
  ReplaceAllNoCase(t, "%FIRSTNAME%", first);
  ReplaceAllNoCase(t, "%EMAIL%", address);
  ReplaceAllNoCase(t, "%DATE%", f.date);
  ReplaceAllNoCase(t, "%NEWSGROUP%", f.newsgroup);
  return t;
}

std::string EncodeSignature(const char* text) {
  std::string out;
  const char* t = text ? text : "";
  bool leadingBlank = t[0] == ' ';
  for (const char* p = t; *p && out.size() < 319; ++p) {
    std::string piece;
    if (*p == '\\')
      piece = "\\\\";
    else if (*p == '\r')
      piece = "\\r";
    else if (*p == '\n')
      piece = "\\n";
    else if (*p == ' ' && leadingBlank)
      piece = "\\x20";
    else
      piece = std::string(1, *p);
    if (out.size() + piece.size() > 319) break;
    out += piece;
  }
  return out;
}

std::string DecodeSignature(const char* stored) {
  std::string out;
  for (const char* p = stored ? stored : ""; *p; ++p) {
    if (p[0] == '\\' && p[1] == '\\') {
      out += '\\';
      ++p;
    } else if (p[0] == '\\' && p[1] == 'r') {
      out += '\r';
      ++p;
    } else if (p[0] == '\\' && p[1] == 'n') {
      out += '\n';
      ++p;
    } else if (std::strncmp(p, "\\x20", 4) == 0) {
      out += ' ';
      p += 3;
    } else {
      out += *p;
    }
  }
  return out;
}

bool AutoCorrectList::Load(const char* text, size_t size) {
  entries_.clear();
  loaded_ = false;
  std::string all(text ? text : "", text ? size : 0);
  size_t lineEnd = all.find('\n');
  std::string header = all.substr(0, lineEnd);
  char marker[64];
  int language = 0, type = 0, count = 0;
  if (std::sscanf(header.c_str(), "%63s %d %d %d", marker, &language, &type, &count) != 4 || count < 0) return false;
  // Never more entries than the file has lines: a header count is no
  // licence to allocate.
  size_t at = lineEnd == std::string::npos ? all.size() : lineEnd + 1;
  while (at < all.size() && static_cast<int>(entries_.size()) < count) {
    size_t end = all.find('\n', at);
    std::string line = all.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? all.size() : end + 1;
    if (line.size() > 199) line.resize(199);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;  // no entry of its own
    AutoCorrectEntry e{};
    StrCopyN(e.word, line.substr(0, colon).c_str(), 63);
    StrCopyN(e.replacement, line.substr(colon + 1).c_str(), 63);
    entries_.push_back(e);
  }
  loaded_ = true;
  return true;
}

int AutoCorrectList::CorrectWord(char* buffer, int wordLength, bool exactCase) const {
  if (!buffer || wordLength <= 0 || wordLength > 63 || entries_.empty()) return AUTOCORRECT_NO_CHANGE;
  char key[64];
  CopyBounded(key, sizeof key, buffer, static_cast<size_t>(wordLength));
  // The file is in the lexicon's order; a binary search over what was read.
  size_t lo = 0, hi = entries_.size();
  const AutoCorrectEntry* hit = nullptr;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    int c = CompareWord(key, entries_[mid].word, exactCase);
    if (c == 0) {
      hit = &entries_[mid];
      break;
    }
    if (c < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  if (!hit || std::strcmp(hit->replacement, key) == 0) return AUTOCORRECT_NO_CHANGE;
  size_t replacement = std::strlen(hit->replacement);
  size_t rest = std::strlen(buffer + wordLength);
  std::memmove(buffer + replacement, buffer + wordLength, rest + 1);
  std::memcpy(buffer, hit->replacement, replacement);
  return static_cast<int>(replacement) - wordLength;
}

// --- editing rules of the editor window ------------------------------------

std::vector<std::string> SplitMergeLine(const char* line, bool* quoted) {
  std::vector<std::string> fields(1);
  for (const char* p = line ? line : ""; *p; ++p) {
    if (*p == '"') {
      *quoted = !*quoted;
    } else if (*p == ',' && !*quoted) {
      if (fields.size() == 10) break;
      fields.emplace_back();
    } else if (fields.back().size() < 199) {
      fields.back() += *p;
    }
  }
  return fields;
}

std::string ReplaceMergeFields(const std::string& text, const std::vector<std::string>& fields) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      size_t j = i + 1;
      int n = 0;
      while (j < text.size() && j - i <= 2 && text[j] >= '0' && text[j] <= '9') n = n * 10 + (text[j++] - '0');
      if (j > i + 1 && j < text.size() && text[j] == '%' && n >= 1 && n <= 10) {
        if (static_cast<size_t>(n) <= fields.size()) out += fields[static_cast<size_t>(n) - 1];
        i = j;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool IsSafeBoilerplateName(const char* name) {
  if (!name || !name[0]) return false;
  return !std::strpbrk(name, "\\/:") && !std::strstr(name, "..");
}

std::string ExpandTabs(const char* text, int tabSize) {
  if (tabSize <= 0) tabSize = 1;
  std::string out;
  size_t column = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\t') {
      do {
        out += ' ';
        ++column;
      } while (column % static_cast<size_t>(tabSize));
      continue;
    }
    out += *p;
    column = *p == '\r' || *p == '\n' ? 0 : column + 1;
  }
  return out;
}

std::string LineFeedsToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

namespace {
bool IsSeparator(unsigned char c) { return c == ' ' || c == '\t' || (c < 128 && std::ispunct(c)); }
bool IsWhite(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

size_t DeleteWordRightLength(const char* text, size_t length, size_t caret) {
  if (caret >= length) return 0;
  auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  if (at(caret) == '\r' || at(caret) == '\n') return std::min<size_t>(2, length - caret);
  size_t end = caret;
  if (!IsSeparator(at(caret)))
    while (end < length && !IsSeparator(at(end)) && at(end) != '\r' && at(end) != '\n') ++end;
  while (end < length && IsSeparator(at(end))) ++end;
  return end - caret;
}

long SentenceCapital(const char* text, size_t caret) {
  auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  size_t stop = 0;
  bool found = false;
  for (size_t i = caret; i > 1; --i)
    if (at(i - 1) == '.' || at(i - 1) == '!' || at(i - 1) == '?') {
      stop = i - 1;
      found = true;
      break;
    }
  long letter = -1;
  if (found) {
    bool white = false;
    for (size_t i = stop + 1; i < caret; ++i) {
      if (IsAlnum1252(at(i))) {
        if (white) letter = static_cast<long>(i);
        break;
      }
      if (IsWhite(at(i))) white = true;
    }
  } else if (caret > 0) {
    letter = 0;
  }
  if (letter < 0 || !IsLower1252(at(static_cast<size_t>(letter)))) return -1;
  for (size_t i = static_cast<size_t>(letter); i < caret; ++i)
    if (IsWhite(at(i))) return -1;
  return letter;
}

std::string AutoIndentBreak(const char* text, size_t caret, size_t* blanksAfter) {
  size_t lineStart = caret;
  while (lineStart > 0 && text[lineStart - 1] != '\n' && text[lineStart - 1] != '\r') --lineStart;
  std::string out = "\r\n";
  for (size_t i = lineStart; i < caret && (text[i] == ' ' || text[i] == '\t'); ++i) out += text[i];
  size_t n = 0;
  while (text[caret + n] == ' ') ++n;
  *blanksAfter = n;
  return out;
}
