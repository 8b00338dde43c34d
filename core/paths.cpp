
#include <cstring>

#include "core/paths.h"

bool JoinPath(char* out, size_t size, std::initializer_list<const char*> parts) {
  if (!out || size == 0) return false;
  size_t used = 0;
  for (const char* part : parts) {
    if (!part || !*part) continue;
    if (used > 0) {
      char last = out[used - 1];
      if (last != '\\' && last != '/' && last != ':') {
        if (used + 1 >= size) {
          used = size;  // too long
          break;
        }
        out[used++] = '\\';
      }
    }
    size_t n = std::strlen(part);
    if (n >= size - used) {
      used = size;  // too long
      break;
    }
    std::memcpy(out + used, part, n);
    used += n;
  }
  if (used >= size) {
    out[0] = 0;
    return false;
  }
  out[used] = 0;
  return true;
}
