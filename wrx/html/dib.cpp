#include "wrx/html/dib.h"

namespace html {
namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}
uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

}  // namespace

bool MakeDib(std::vector<uint8_t>& dib, uint32_t width, uint32_t height, uint32_t bits, uint32_t paletteEntries,
             uint64_t maxBytes) {
  dib.clear();
  if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff) return false;
  const uint64_t image = DibStride(width, bits) * height;
  const uint64_t total = kDibHeaderSize + uint64_t(paletteEntries) * 4 + image;
  if (image > 0xffffffffu || total > maxBytes) return false;
  dib.assign(size_t(total), 0);
  uint8_t* h = dib.data();
  Put32(h, 40);
  Put32(h + 4, width);
  Put32(h + 8, height);  // positive: rows bottom-up
  Put16(h + 12, 1);
  Put16(h + 14, bits);
  Put32(h + 16, 0);
  Put32(h + 20, uint32_t(image));
  Put32(h + 32, paletteEntries);
  return true;
}

size_t DibBitsOffset(const std::vector<uint8_t>& dib) {
  if (dib.size() < kDibHeaderSize) return dib.size();
  return kDibHeaderSize + size_t(Get32(dib.data() + 32)) * 4;
}

}  // namespace html
