// Inline forms of a few text helpers for the log walk, which runs them on
// every message of a rebuild. On the target the C library's string calls are
// calls into another module and its short copies cost more than the copying;
// these stay in line. Each gives what its general form in core/ gives.
// Portable.
#pragma once
#include <cstddef>
#include <cstring>

// Copies n bytes between buffers that do not overlap. The copies of fixed
// size compile to plain moves.
inline void CopyScanBytes(char* to, const char* from, size_t n) {
  while (n >= 16) {
    std::memcpy(to, from, 16);
    to += 16;
    from += 16;
    n -= 16;
  }
  if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

// StrCopyN: at most n characters of source, terminated, and dest[n] set to 0
// as well (dest holds n + 1 bytes).
inline void CopyScanText(char* dest, const char* source, size_t n) {
  size_t length = 0;
  while (length < n && source[length]) ++length;
  CopyScanBytes(dest, source, length);
  dest[length] = 0;
  dest[n] = 0;
}

// StartsWithNoCase for a prefix of ASCII characters: under the code page's
// case rule an ASCII letter matches only itself in either case, and every
// other character only itself.
inline bool StartsWithAsciiNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    const unsigned char c = static_cast<unsigned char>(*text), p = static_cast<unsigned char>(*prefix);
    const unsigned char lower = p | 0x20;
    if (lower >= 'a' && lower <= 'z' ? (c | 0x20) != lower : c != p) return false;
  }
  return true;
}

// strcmp(text, other) == 0.
inline bool SameScanText(const char* text, const char* other) {
  for (; *text == *other; ++text, ++other)
    if (!*text) return true;
  return false;
}
