// The HTML reader's TIFF decoder: bytes in, a 1-, 4-, 8- or 24-bit DIB out.
// Portable (no Windows headers); TifRead wraps it for the control.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wrx/html/dib.h"

namespace html {

// Decodes a TIFF (either byte order; bilevel, grey, RGB or palette; no
// compression, CCITT modified Huffman, LZW or PackBits) into a bottom-up DIB.
// What it cannot show rightly (predictors, planar configuration 2, tiles,
// other sample layouts) is refused with the unsupported message. A fault in
// a strip keeps the rows decoded so far.
DecodedPicture TifDecode(const uint8_t* data, size_t size, uint64_t maxDibBytes = kMaxDibBytes);

// PackBits: a control byte c of 0..127 copies the next c + 1 bytes, -127..-1
// repeats the next byte 1 - c times, -128 does nothing. Calls put(byte) for
// each byte; false when put asks to stop (returns false).
template <typename Put>
bool UnpackBits(const uint8_t* data, size_t size, Put put) {
  size_t i = 0;
  while (i < size) {
    const int c = int8_t(data[i++]);
    if (c >= 0) {
      for (int k = 0; k <= c && i < size; ++k)
        if (!put(data[i++])) return false;
    } else if (c != -128) {
      if (i >= size) break;
      const uint8_t b = data[i++];
      for (int k = 0; k < 1 - c; ++k)
        if (!put(b)) return false;
    }
  }
  return true;
}

// One row of the ITU-T T.4 modified Huffman code table.
struct FaxCode {
  uint32_t run;
  uint16_t whiteCode;
  uint8_t whiteLength;
  uint16_t blackCode;
  uint8_t blackLength;
};
constexpr int kFaxCodeCount = 104;
// Terminating codes 0-63, make-up codes 64-1728, extended make-up codes
// 1792-2560 (the same for both colours).
extern const FaxCode kFaxCodes[kFaxCodeCount];

}  // namespace html
