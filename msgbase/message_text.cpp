#include "msgbase/message_text.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/text1252.h"

namespace {

// Appends one byte while room remains for it and the terminator.
struct BoundedOut {
  char* buffer;
  size_t size;
  size_t length = 0;
  bool Put(char c) {
    if (length + 1 >= size) return false;
    buffer[length++] = c;
    buffer[length] = 0;
    return true;
  }
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Copies text with comments and quoted parts taken out; the commas that are
// left separate the addresses.
std::string WithoutCommentsAndQuotes(const char* text) {
  std::string out;
  int depth = 0;
  bool quoted = false;
  for (const char* p = text; *p; ++p) {
    if (quoted) {
      if (*p == '"') quoted = false;
      continue;
    }
    if (*p == '(') {
      ++depth;
      continue;
    }
    if (depth > 0) {
      if (*p == ')') --depth;
      continue;
    }
    if (*p == '"') {
      quoted = true;
      continue;
    }
    out += *p;
  }
  return out;
}

bool AtOwnDomain(const char* address, const char* ownDomains) {
  const char* at = std::strrchr(address, '@');
  if (!at || !ownDomains) return false;
  std::string domain = at + 1;
  while (!domain.empty() && IsBlank(domain.back())) domain.pop_back();
  const char* p = ownDomains;
  while (*p) {
    const char* end = std::strchr(p, ';');
    size_t n = end ? size_t(end - p) : std::strlen(p);
    std::string one(p, n);
    if (!one.empty() && SameText1252(one.c_str(), domain.c_str())) return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

}  // namespace

char BareAddress(const char* address, char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  if (!address) return 0;
  BoundedOut out{buffer, size};
  if (const char* open = std::strchr(address, '<')) {
    const char* close = std::strchr(open + 1, '>');
    if (!close) return 0;
    for (const char* p = open + 1; p < close; ++p)
      if (!out.Put(*p)) break;
    return buffer[0];
  }
  int depth = 0;
  for (const char* p = address; *p; ++p) {
    if (*p == '(') {
      ++depth;
      continue;
    }
    if (depth > 0) {
      if (*p == ')') --depth;
      continue;
    }
    if (*p == '"') continue;
    if (!out.Put(*p)) break;
  }
  return buffer[0];
}

char* ShortenAddressList(const char* list, char* buffer, size_t size, const char* ownDomains) {
  if (!buffer || size == 0) return buffer;
  buffer[0] = 0;
  if (!list) return buffer;
  // The joined list stays below 4086 characters whatever the buffer.
  const size_t limit = size < 4086 ? size : 4086;
  std::string plain = WithoutCommentsAndQuotes(list);
  std::string joined;
  size_t start = 0;
  while (start <= plain.size()) {
    size_t comma = plain.find(',', start);
    if (comma == std::string::npos) comma = plain.size();
    std::string item = plain.substr(start, comma - start);
    start = comma + 1;
    char bare[1024];
    BareAddress(item.c_str(), bare, sizeof bare);
    strtrim(bare);
    if (!bare[0]) continue;
    if (AtOwnDomain(bare, ownDomains)) *std::strrchr(bare, '@') = 0;
    std::string next = joined.empty() ? std::string(bare) : joined + ", " + bare;
    if (next.size() >= limit) break;
    joined = std::move(next);
  }
  std::memcpy(buffer, joined.c_str(), joined.size() + 1);
  return buffer;
}

char* MakeUsenetName(char* name) {
  if (!name) return name;
  if (char* colon = std::strchr(name, ':')) std::memmove(name, colon + 1, std::strlen(colon + 1) + 1);
  while (char* dotted = std::strstr(name, "/.")) std::memmove(dotted, dotted + 2, std::strlen(dotted + 2) + 1);
  if (char* slash = std::strchr(name, '/')) *slash = '.';
  if (std::strncmp(name, "usenet_", 7) == 0) {
    while (char* prefix = std::strstr(name, "usenet_")) std::memmove(prefix, prefix + 7, std::strlen(prefix + 7) + 1);
  }
  return name;
}

int FindHeaderField(std::string_view message, const char* field, char* buffer, size_t size, bool whole) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  if (!field) return 0;
  const size_t fieldLength = std::strlen(field);
  size_t pos = 0;
  auto nextLine = [&](std::string_view& line) {
    if (pos >= message.size()) return false;
    size_t end = message.find('\n', pos);
    end = end == std::string_view::npos ? message.size() : end + 1;
    line = message.substr(pos, end - pos);
    pos = end;
    return true;
  };
  auto withoutLineEnd = [](std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
  };
  std::string_view line;
  while (nextLine(line)) {
    if (!whole && line.size() < 4) return 0;
    if (line.size() <= fieldLength || line[fieldLength] != ':') continue;
    std::string name(line.substr(0, fieldLength));
    if (!SameText1252(name.c_str(), field)) continue;
    std::string_view value = withoutLineEnd(line.substr(fieldLength + 1));
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    BoundedOut out{buffer, size};
    // A stray CR inside a value must not start a new line where the value is
    // written out (action files).
    auto plain = [](char c) { return c == '\r' ? ' ' : c; };
    for (char c : value)
      if (!out.Put(plain(c))) break;
    size_t before = pos;
    while (nextLine(line) && !line.empty() && IsBlank(line[0])) {
      std::string_view more = withoutLineEnd(line);
      if (out.length + more.size() >= size) break;
      for (char c : more) out.Put(plain(c));
      before = pos;
    }
    pos = before;
    strtrim(buffer);
    return 1;
  }
  return 0;
}

std::string BatchMessageText(BatchForm form, std::string_view logHeader, std::string_view body, long number,
                             long length) {
  std::string out;
  std::string rest(body);
  char head[64];
  switch (form) {
    case BatchForm::Memo:
      std::snprintf(head, sizeof head, "Memo #%ld (%ld)\r\n", number, length);
      out = head;
      break;
    case BatchForm::Rnews:
      std::snprintf(head, sizeof head, "#! rnews %ld\r\n", length);
      out = head;
      break;
    case BatchForm::Log: rest = std::string(logHeader) + rest; break;
  }
  const bool bareLineFeeds = form == BatchForm::Rnews;
  out.reserve(out.size() + rest.size() + rest.size() / 16 + 2);
  for (char c : rest) {
    if (c == '\r') continue;
    if (c == '\n' && !bareLineFeeds) out += '\r';
    out += c;
  }
  out += bareLineFeeds ? "\n" : "\r\n";
  return out;
}

std::string CancelLine(std::string_view format, std::string_view folder, long number) {
  const std::string_view strings[2] = {folder, "-"};
  int nextString = 0;
  bool numberUsed = false;
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    if (format[j] == 'l' && j + 1 < format.size()) ++j;
    if (format[j] == 's' && nextString < 2) {
      out += strings[nextString++];
      i = j;
    } else if (format[j] == 'd' && !numberUsed) {
      out += std::to_string(number);
      numberUsed = true;
      i = j;
    } else {
      out += c;  // anything else is plain text
    }
  }
  return out;
}

std::string ActionSideFile(const std::string& path, char letter) {
  if (path.empty()) return path;
  std::string side = path;
  side.back() = letter;
  return side;
}

int SplitActionFile(const char* path, bool split) {
  if (!path || !path[0]) return 0;
  const std::string action = path;
  const std::string heldBack = ActionSideFile(action, 'd');
  if (heldBack == action) return 0;
  char line[4096];
  std::error_code error;
  if (!split) {
    FILE* in = std::fopen(heldBack.c_str(), "rb");
    if (!in) return 0;
    FILE* out = std::fopen(action.c_str(), "ab");
    if (!out) {
      std::fclose(in);
      return 0;
    }
    bool ok = true;
    size_t n;
    while ((n = std::fread(line, 1, sizeof line, in)) > 0)
      if (std::fwrite(line, 1, n, out) != n) ok = false;
    if (std::ferror(in)) ok = false;
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    // A failed append keeps the held-back entries where they are.
    if (!ok) return 0;
    std::remove(heldBack.c_str());
    return 1;
  }
  const std::string kept = ActionSideFile(action, 't');
  if (kept == action) return 0;
  FILE* in = std::fopen(action.c_str(), "rb");
  if (!in) return 0;
  FILE* keptOut = std::fopen(kept.c_str(), "wb");
  // Appended, so entries held back by an earlier split are never lost.
  FILE* heldOut = keptOut ? std::fopen(heldBack.c_str(), "ab") : nullptr;
  if (!heldOut) {
    std::fclose(in);
    if (keptOut) {
      std::fclose(keptOut);
      std::remove(kept.c_str());
    }
    return 0;
  }
  const long heldBefore = std::ftell(heldOut);
  FILE* current = keptOut;
  bool ok = true;
  bool lineStart = true;
  while (std::fgets(line, sizeof line, in)) {
    size_t n = std::strlen(line);
    // Only the beginning of a line chooses the output; a longer line's
    // remaining pieces follow it.
    if (lineStart) {
      if (std::strncmp(line, ";-; id:\t", 8) == 0)
        current = keptOut;
      else if (std::strncmp(line, ";#; id:\t", 8) == 0)
        current = heldOut;
    }
    lineStart = n > 0 && line[n - 1] == '\n';
    if (std::fwrite(line, 1, n, current) != n) ok = false;
  }
  if (std::ferror(in)) ok = false;
  std::fclose(in);
  if (std::fclose(keptOut) != 0) ok = false;
  if (std::fclose(heldOut) != 0) ok = false;
  if (ok) {
    std::filesystem::rename(kept, action, error);
    if (!error) return 1;
  }
  // Leave everything as it was: the action file untouched, the held-back file
  // cut back to its earlier length (gone when it was new).
  std::remove(kept.c_str());
  if (heldBefore == 0)
    std::remove(heldBack.c_str());
  else if (heldBefore > 0)
    std::filesystem::resize_file(heldBack, std::uintmax_t(heldBefore), error);
  return 0;
}
