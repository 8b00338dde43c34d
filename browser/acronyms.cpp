#include "browser/acronyms.h"

#include <cstring>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string LookupAcronym(const std::string& fileText, const std::string& word) {
  std::string found;
  if (word.empty()) return found;
  size_t at = 0;
  while (at < fileText.size()) {
    size_t end = fileText.find('\n', at);
    if (end == std::string::npos) end = fileText.size();
    std::string line = fileText.substr(at, end - at < 200 ? end - at : 200);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    size_t blank = 0;
    while (blank < line.size() && !IsBlank(line[blank])) ++blank;
    if (blank == line.size() || line.compare(0, blank, word) != 0 || blank != word.size()) continue;
    size_t text = blank;
    while (text < line.size() && IsBlank(line[text])) ++text;
    if (text < line.size()) found = line.substr(text);
  }
  return found;
}
