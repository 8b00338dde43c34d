// Packed device-independent bitmaps as the picture decoders give them: a
// 40-byte info header, the palette and bottom-up rows, in one block of bytes.
// Portable: the header is written little-endian field by field.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace html {

constexpr size_t kDibHeaderSize = 40;
// No picture of a message is allowed more than this (pixels and bytes), so a
// hostile header cannot ask for more memory than a 32-bit process has.
constexpr uint64_t kMaxDibBytes = 160u << 20;

// A decoded picture: the DIB bytes (empty when there is none) and, when the
// decoder refused or stopped, the error code and text for the reader's box.
struct DecodedPicture {
  std::vector<uint8_t> dib;
  int errorCode = 0;           // 0: no box to show
  const char* errorText = "";  // also set for refusals shown without a box
};

// Row stride of a DIB row of width pixels at bits per pixel, a multiple of 4.
inline uint64_t DibStride(uint32_t width, uint32_t bits) { return (uint64_t(width) * bits + 31) / 32 * 4; }

// Allocates a zeroed DIB with its header and a palette of paletteEntries
// (RGBQUAD, zero); false when the size exceeds maxBytes.
bool MakeDib(std::vector<uint8_t>& dib, uint32_t width, uint32_t height, uint32_t bits, uint32_t paletteEntries,
             uint64_t maxBytes);

// Offset of the first pixel byte (header + palette) of a DIB made by MakeDib.
size_t DibBitsOffset(const std::vector<uint8_t>& dib);

}  // namespace html
