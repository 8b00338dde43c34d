#include "browser/link_target.h"

#include <cstdlib>
#include <cstring>

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
