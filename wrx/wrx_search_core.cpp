#include "wrx/wrx_search_core.h"

#include <cstring>

namespace wrxsearch {

namespace {

inline uint8_t Fold(uint8_t c, bool matchCase) { return !matchCase && c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; }

bool MatchAt(const char* text, size_t at, const char* pattern, size_t plen, bool matchCase) {
  if (matchCase) return memcmp(text + at, pattern, plen) == 0;
  for (size_t k = 0; k < plen; ++k)
    if (Fold(uint8_t(text[at + k]), false) != Fold(uint8_t(pattern[k]), false)) return false;
  return true;
}

bool WordEdges(const char* text, size_t len, size_t at, size_t plen, const Options& o) {
  if (!o.wholeWord) return true;
  if (at > 0 && !IsDelimiter(uint8_t(text[at - 1]), o)) return false;
  if (at + plen < len && !IsDelimiter(uint8_t(text[at + plen]), o)) return false;
  return true;
}

}  // namespace

bool IsDelimiter(uint8_t c, const Options& o) {
  static const char kMarks[] = {12, 20, 22, 18, 17, 16, 9};
  static const char kChars[] = " ,:<>?;'!@#$%^&*()-+=|\\/~01234567890";
  if (c == 0) return false;
  if (c == o.paraEnd || c == o.cellEnd) return true;
  return memchr(kMarks, c, sizeof kMarks) || memchr(kChars, c, sizeof kChars - 1);
}

long FindForward(const char* text, size_t len, size_t from, size_t limit, const char* pattern, size_t plen,
                 const Options& o) {
  if (plen == 0 || plen > len) return -1;
  const size_t last = len - plen;
  if (limit > last + 1) limit = last + 1;
  const uint8_t first = uint8_t(pattern[0]);
  const uint8_t other = o.matchCase ? first
                                    : (first >= 'A' && first <= 'Z'   ? uint8_t(first + 32)
                                       : first >= 'a' && first <= 'z' ? uint8_t(first - 32)
                                                                      : first);
  size_t at = from;
  while (at < limit) {
    // Skip to the next candidate first character: memchr is far faster than
    // a byte loop on long texts.
    const void* p1 = memchr(text + at, first, limit - at);
    const void* p2 = other != first ? memchr(text + at, other, limit - at) : nullptr;
    const char* hit = static_cast<const char*>(p1);
    if (p2 && (!hit || static_cast<const char*>(p2) < hit)) hit = static_cast<const char*>(p2);
    if (!hit) return -1;
    at = size_t(hit - text);
    if (MatchAt(text, at, pattern, plen, o.matchCase) && WordEdges(text, len, at, plen, o)) return long(at);
    ++at;
  }
  return -1;
}

long FindBackward(const char* text, size_t len, size_t from, size_t limit, size_t endLimit, const char* pattern,
                  size_t plen, const Options& o) {
  if (plen == 0 || plen > len) return -1;
  long found = -1;
  size_t at = from;
  while (true) {
    const long hit = FindForward(text, len, at, limit, pattern, plen, o);
    if (hit < 0 || size_t(hit) + plen > endLimit) break;
    found = hit;
    at = size_t(hit) + 1;
  }
  return found;
}

}  // namespace wrxsearch
