// The HTML reader's own baseline JPEG decoder: bytes in, a 24-bit DIB out.
// Portable (no Windows headers); JpgRead wraps it for the control.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wrx/html/dib.h"

namespace html {

// Decodes a baseline sequential JPEG (Huffman, 8-bit samples, 1 to 3
// components) into a 24-bit bottom-up DIB. Frames other than SOF0
// (progressive, extended, lossless, arithmetic) give no picture and no box.
// A fault inside the entropy-coded data stops the decode with an error and
// keeps what was decoded so far; anything refused earlier gives no picture.
// maxDibBytes caps the picture's size.
DecodedPicture JpgDecode(const uint8_t* data, size_t size, uint64_t maxDibBytes = kMaxDibBytes);

}  // namespace html
