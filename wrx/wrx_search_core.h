// The matching under the control's search: case folding of A-Z only and the
// whole-word test with the control's delimiters. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wrxsearch {

struct Options {
  bool matchCase = true;
  bool wholeWord = false;
  uint8_t paraEnd = 21, cellEnd = 19;
};

bool IsDelimiter(uint8_t c, const Options& o);

// The first match of `pattern` in text[from, len) that begins before `limit`
// (an offset into text); -1 when there is none. A whole-word match needs a
// delimiter (or the text's edge) on both sides.
long FindForward(const char* text, size_t len, size_t from, size_t limit, const char* pattern, size_t plen,
                 const Options& o);
// The last match that begins in [from, limit) and ends at or before `endLimit`.
long FindBackward(const char* text, size_t len, size_t from, size_t limit, size_t endLimit, const char* pattern,
                  size_t plen, const Options& o);

}  // namespace wrxsearch
