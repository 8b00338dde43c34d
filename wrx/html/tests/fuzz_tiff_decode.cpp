// Fuzz target: any bytes decode or fail without reading outside them, and a
// picture that comes back is a whole DIB of its header's size.
#include <cstdlib>

#include "wrx/html/tiff_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const html::DecodedPicture p = html::TifDecode(data, size, 4u << 20);
  if (!p.dib.empty()) {
    const uint32_t w = p.dib[4] | p.dib[5] << 8 | p.dib[6] << 16 | uint32_t(p.dib[7]) << 24;
    const uint32_t h = p.dib[8] | p.dib[9] << 8 | p.dib[10] << 16 | uint32_t(p.dib[11]) << 24;
    const uint32_t bits = p.dib[14], colours = p.dib[32] | p.dib[33] << 8;
    if (p.dib.size() != 40 + colours * 4 + html::DibStride(w, bits) * h || p.dib.size() > (4u << 20)) abort();
  }
  return 0;
}
