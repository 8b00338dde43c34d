#include "browser/link_target.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text1252.h"

bool ParseProgramLink(const char* url, LinkTarget* out) {
  if (!url || (url[0] != 'p' && url[0] != 'P') || (url[1] != 'l' && url[1] != 'L') || url[2] != ':') return false;
  const char* name = url + 3;
  if (name[0] == '/' && name[1] == '/') name += 2;
  const char* hash = std::strrchr(name, '#');
  const size_t length = hash ? static_cast<size_t>(hash - name) : std::strlen(name);
  if (length == 0 || length >= sizeof out->folder) return false;
  long number = 0;
  if (hash) {
    char* end = nullptr;
    number = std::strtol(hash + 1, &end, 10);
    if (end == hash + 1 || *end || number <= 0) return false;
  }
  std::memcpy(out->folder, name, length);
  out->folder[length] = 0;
  out->number = number;
  return true;
}

bool BrowserLinkText(const char* code, const char* text, char* out, size_t size) {
  std::string link;
  if (!code || !code[0]) {
    if (!text || std::strcmp(text, "_") == 0) return false;
    link = text;
  } else {
    link = code;
    if (StartsWithNoCase(link.c_str(), "href=\"")) {
      link.erase(0, 6);
      link.erase(std::remove(link.begin(), link.end(), '"'), link.end());
    }
  }
  if (StartsWithNoCase(link.c_str(), "FILE://") && (link.size() == 7 || link[7] != '"'))
    link = link.substr(0, 7) + "\"" + link.substr(7) + "\"";
  if (link.empty() || link.size() + 1 > size) return false;
  std::memcpy(out, link.c_str(), link.size() + 1);
  return true;
}

int SnapSplitY(int y, int top, int headerHeight, int lineHeight, int clientHeight) {
  if (lineHeight <= 0) lineHeight = 1;
  if (y > 32000) y = 1;  // a position above the window
  int offset = ((y - top - headerHeight) + lineHeight / 2) / lineHeight * lineHeight;
  y = top + offset + headerHeight;
  if (y < top + headerHeight + lineHeight) y = top + headerHeight + lineHeight;
  // The lowest whole line that leaves a line below it.
  const int lowest = top + headerHeight + (clientHeight - lineHeight - top - headerHeight) / lineHeight * lineHeight;
  if (y > lowest) y = lowest;
  return y;
}

long FirstHashNumber(const char* text, size_t length) {
  for (size_t i = 0; i + 1 < length; ++i)
    if (text[i] == '#' && text[i + 1] >= '0' && text[i + 1] <= '9') {
      long number = 0;
      for (size_t at = i + 1; at < length && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (number > 99999999) return 0;
        number = number * 10 + (text[at] - '0');
      }
      return number;
    }
  return 0;
}

long GotoInputNumber(const char* text) {
  if (!text) return 0;
  while (*text && (*text < '0' || *text > '9')) ++text;
  long number = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (number > 99999999) return 0;  // no folder holds such a number
    number = number * 10 + (*text - '0');
  }
  return number;
}
