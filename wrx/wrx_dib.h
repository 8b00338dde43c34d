// Device-independent bitmaps as the control stores pictures: a 40-byte
// information header with its colour table ("info") and the pixel bits.
// Portable: BMP files, packed DIBs and placeable metafile headers are checked
// against the bytes they come in before anything is sized from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wrxdib {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kPlaceableSize = 22;

enum DibError : int {
  kDibOk = 0,
  kDibTruncated,  // the data end before the header, colour table or bits
  kDibBadHeader,  // unknown header size, zero or absurd sizes, bad bit count
  kDibBadOffset,  // a BMP's bits offset lies inside the headers or past the file
  kDibNotBmp,     // no "BM"
};

struct Dib {
  std::vector<uint8_t> info;  // 40-byte header + masks + colour table
  std::vector<uint8_t> bits;
  int32_t width = 0, height = 0;  // pixels (height positive)
  int bitCount = 0;
};

// Bytes of one row of pixels, rounded up to 4; 0 when it would overflow.
size_t RowBytes(int32_t width, int bitCount);
// Colour table entries a header implies (biClrUsed, else 2^bits up to 8 bits).
uint32_t ColourCount(int bitCount, uint32_t clrUsed);

// A packed DIB (header, colour table, bits) of `size` bytes. Core (12-byte)
// headers are widened to 40 bytes; larger headers are cut to 40 bytes (their
// bit-field masks kept). Returns kDibOk and the picture, else the fault.
int ParsePackedDib(const uint8_t* data, size_t size, Dib& out);
// A BMP file: "BM", a bits offset past the headers and inside the file.
int ParseBmpFile(const uint8_t* data, size_t size, Dib& out);
// The packed form of a picture (info then bits).
std::vector<uint8_t> PackDib(const Dib& dib);

struct Placeable {
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  uint16_t unitsPerInch = 0;
};
// The 22-byte header of a placeable metafile; false for another key or a
// zero box or resolution.
bool ParsePlaceable(const uint8_t* data, size_t size, Placeable& out);
// The metafile after a placeable header: its own header's size (in words)
// must fit the bytes. Returns the metafile's byte count, 0 when it lies.
size_t MetafileBytes(const uint8_t* data, size_t size);

// A true-colour picture's own palette for 8-bit displays: colours cut to 4
// bits per component, at most 236 of them, the most used first (a full
// table gives up its least-used entry to a new colour). `bits` are 24-bit
// rows padded to 4 bytes and are not changed.
constexpr size_t kOwnPaletteEntries = 236;
#pragma pack(push, 1)
struct PaletteEntry {
  uint8_t red, green, blue, zero;
  uint32_t uses;
};
static_assert(sizeof(PaletteEntry) == 8);
#pragma pack(pop)
std::vector<PaletteEntry> BuildOwnPalette(const uint8_t* bits, size_t size, int32_t width, int32_t height);

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace wrxdib
