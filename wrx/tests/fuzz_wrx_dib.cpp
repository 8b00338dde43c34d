// Any bytes as a BMP file, a packed DIB and a placeable metafile: parsing
// never reads outside the bytes, and what parses packs back the same.
#include "wrx/wrx_dib.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wrxdib::Dib dib;
  if (wrxdib::ParseBmpFile(data, size, dib) == wrxdib::kDibOk) {
    const auto packed = wrxdib::PackDib(dib);
    wrxdib::Dib again;
    if (wrxdib::ParsePackedDib(packed.data(), packed.size(), again) != wrxdib::kDibOk || again.bits != dib.bits)
      abort();
  }
  wrxdib::Dib packed;
  wrxdib::ParsePackedDib(data, size, packed);
  wrxdib::Placeable p;
  if (wrxdib::ParsePlaceable(data, size, p)) wrxdib::MetafileBytes(data + 22, size - 22);
  return 0;
}
