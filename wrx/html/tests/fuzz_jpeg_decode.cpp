// Fuzz target: any bytes decode or fail without reading outside them, and a
// picture that comes back is a whole DIB of its header's size.
#include <cstdlib>

#include "wrx/html/jpeg_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small cap keeps each run fast; the cap is part of what is tested.
  const html::DecodedPicture p = html::JpgDecode(data, size, 4u << 20);
  if (!p.dib.empty()) {
    const uint32_t w = p.dib[4] | p.dib[5] << 8 | p.dib[6] << 16 | uint32_t(p.dib[7]) << 24;
    const uint32_t h = p.dib[8] | p.dib[9] << 8 | p.dib[10] << 16 | uint32_t(p.dib[11]) << 24;
    if (p.dib.size() != 40 + html::DibStride(w, 24) * h || p.dib.size() > (4u << 20)) abort();
  }
  return 0;
}
