// A copy of a few bytes done in place: the runtime's copy costs more to call
// than a short copy takes. The last word is copied where it ends, over bytes
// already copied, so that no count needs a byte at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline void CopyShort(char* to, const char* from, size_t count) {
  if (count >= 8) {
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
      uint64_t v[2];
      memcpy(v, from + k, 16);
      memcpy(to + k, v, 16);
    }
    uint64_t v;
    if (k + 8 <= count) {
      memcpy(&v, from + k, 8);
      memcpy(to + k, &v, 8);
    }
    memcpy(&v, from + count - 8, 8);
    memcpy(to + count - 8, &v, 8);
  } else if (count >= 4) {
    uint32_t first, last;
    memcpy(&first, from, 4);
    memcpy(&last, from + count - 4, 4);
    memcpy(to, &first, 4);
    memcpy(to + count - 4, &last, 4);
  } else {
    for (size_t k = 0; k < count; ++k) to[k] = from[k];
  }
}
