#include "wrx/wrx_dib.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace wrxdib {

namespace {

// Larger pictures than this are refused before any allocation: no screen
// shows them and their sizes would only come from a lying header.
constexpr int32_t kMaxSide = 32768;
constexpr size_t kMaxBits = size_t(256) << 20;

// The header part: fills out.info and the geometry, and the offset just past
// the colour table in `tableEnd`.
int ParseHeader(const uint8_t* data, size_t size, size_t& tableEnd, size_t& bitsNeeded, Dib& out) {
  if (size < 4) return kDibTruncated;
  const uint32_t hs = Get32(data);
  out.info.clear();
  if (hs == kCoreHeaderSize) {
    if (size < kCoreHeaderSize) return kDibTruncated;
    const int32_t width = Get16(data + 4), height = Get16(data + 6);
    const int bits = Get16(data + 10);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return kDibBadHeader;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return kDibBadHeader;
    const uint32_t colours = bits <= 8 ? 1u << bits : 0;
    tableEnd = kCoreHeaderSize + 3 * size_t(colours);
    if (tableEnd > size) return kDibTruncated;
    out.info.assign(kInfoHeaderSize + 4 * size_t(colours), 0);
    uint8_t* h = out.info.data();
    Put32(h, kInfoHeaderSize);
    Put32(h + 4, uint32_t(width));
    Put32(h + 8, uint32_t(height));
    Put16(h + 12, 1);
    Put16(h + 14, uint16_t(bits));
    Put32(h + 32, colours);
    for (uint32_t c = 0; c < colours; ++c) memcpy(h + kInfoHeaderSize + 4 * c, data + kCoreHeaderSize + 3 * c, 3);
    out.width = width, out.height = height, out.bitCount = bits;
    bitsNeeded = RowBytes(width, bits) * size_t(height);
    return bitsNeeded ? kDibOk : kDibBadHeader;
  }
  if (hs < kInfoHeaderSize || hs > 1024) return kDibBadHeader;
  if (size < hs) return kDibTruncated;
  const int32_t width = int32_t(Get32(data + 4));
  const int32_t rawHeight = int32_t(Get32(data + 8));
  const int bits = Get16(data + 14);
  const uint32_t compression = Get32(data + 16);
  const uint32_t sizeImage = Get32(data + 20);
  uint32_t clrUsed = Get32(data + 32);
  if (width <= 0 || width > kMaxSide || rawHeight == 0 || rawHeight < -kMaxSide || rawHeight > kMaxSide)
    return kDibBadHeader;
  const int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;
  switch (bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: return kDibBadHeader;
  }
  const bool rle = compression == 1 || compression == 2;
  if (compression > 3 || (compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
      (compression == 3 && bits != 16 && bits != 32) || (rle && rawHeight < 0))
    return kDibBadHeader;
  if (bits <= 8 && clrUsed > (1u << bits)) return kDibBadHeader;
  if (clrUsed > 256) return kDibBadHeader;
  const uint32_t colours = ColourCount(bits, clrUsed);
  const bool masks = compression == 3;
  size_t at = hs;
  if (masks && hs == kInfoHeaderSize) {
    if (size < at + 12) return kDibTruncated;
    at += 12;
  }
  tableEnd = at + 4 * size_t(colours);
  if (tableEnd > size) return kDibTruncated;
  out.info.assign(kInfoHeaderSize + (masks ? 12 : 0) + 4 * size_t(colours), 0);
  uint8_t* h = out.info.data();
  memcpy(h, data, kInfoHeaderSize);
  Put32(h, kInfoHeaderSize);
  Put32(h + 32, colours);
  if (masks) memcpy(h + kInfoHeaderSize, data + kInfoHeaderSize, 12);
  if (colours) memcpy(h + kInfoHeaderSize + (masks ? 12 : 0), data + at, 4 * size_t(colours));
  out.width = width, out.height = height, out.bitCount = bits;
  if (rle) {
    bitsNeeded = sizeImage;
  } else {
    bitsNeeded = RowBytes(width, bits) * size_t(height);
    Put32(h + 20, uint32_t(bitsNeeded));
  }
  return bitsNeeded && bitsNeeded <= kMaxBits ? kDibOk : kDibBadHeader;
}

}  // namespace

size_t RowBytes(int32_t width, int bitCount) {
  if (width <= 0 || bitCount <= 0 || width > kMaxSide) return 0;
  return ((size_t(width) * size_t(bitCount) + 31) / 32) * 4;
}

uint32_t ColourCount(int bitCount, uint32_t clrUsed) {
  if (clrUsed) return clrUsed;
  return bitCount <= 8 ? 1u << bitCount : 0;
}

int ParsePackedDib(const uint8_t* data, size_t size, Dib& out) {
  size_t tableEnd = 0, need = 0;
  const int rc = ParseHeader(data, size, tableEnd, need, out);
  if (rc != kDibOk) return rc;
  if (size - tableEnd < need) return kDibTruncated;
  out.bits.assign(data + tableEnd, data + tableEnd + need);
  return kDibOk;
}

int ParseBmpFile(const uint8_t* data, size_t size, Dib& out) {
  if (size < kFileHeaderSize) return kDibTruncated;
  if (data[0] != 'B' || data[1] != 'M') return kDibNotBmp;
  const uint32_t offset = Get32(data + 10);
  size_t tableEnd = 0, need = 0;
  const int rc = ParseHeader(data + kFileHeaderSize, size - kFileHeaderSize, tableEnd, need, out);
  if (rc != kDibOk) return rc;
  if (offset < kFileHeaderSize + tableEnd || offset >= size) return kDibBadOffset;
  if (size - offset < need) return kDibTruncated;
  out.bits.assign(data + offset, data + offset + need);
  return kDibOk;
}

std::vector<uint8_t> PackDib(const Dib& dib) {
  std::vector<uint8_t> packed(dib.info);
  packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
  return packed;
}

bool ParsePlaceable(const uint8_t* data, size_t size, Placeable& out) {
  if (size < kPlaceableSize || Get32(data) != kPlaceableKey) return false;
  out.left = int16_t(Get16(data + 6));
  out.top = int16_t(Get16(data + 8));
  out.right = int16_t(Get16(data + 10));
  out.bottom = int16_t(Get16(data + 12));
  out.unitsPerInch = Get16(data + 14);
  return out.right > out.left && out.bottom > out.top && out.unitsPerInch > 0;
}

size_t MetafileBytes(const uint8_t* data, size_t size) {
  if (size < 18) return 0;
  const uint16_t type = Get16(data), headerWords = Get16(data + 2);
  const size_t bytes = size_t(Get32(data + 6)) * 2;
  if ((type != 1 && type != 2) || headerWords != 9 || bytes < 18 || bytes > size) return 0;
  return bytes;
}

std::vector<PaletteEntry> BuildOwnPalette(const uint8_t* bits, size_t size, int32_t width, int32_t height) {
  std::vector<PaletteEntry> table;
  const size_t stride = RowBytes(width, 24);
  if (!bits || width <= 0 || height <= 0 || !stride || size / stride < size_t(height)) return table;
  table.reserve(kOwnPaletteEntries);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = bits + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* px = row + size_t(x) * 3;
      const uint8_t blue = px[0] & 0xF0, green = px[1] & 0xF0, red = px[2] & 0xF0;
      size_t found = table.size(), least = 0;
      for (size_t i = 0; i < table.size(); ++i) {
        const PaletteEntry& e = table[i];
        if (e.red == red && e.green == green && e.blue == blue) {
          found = i;
          break;
        }
        if (e.uses < table[least].uses) least = i;
      }
      if (found == table.size()) {
        const PaletteEntry fresh{red, green, blue, 0, 0};
        if (table.size() < kOwnPaletteEntries)
          table.push_back(fresh);
        else
          found = least, table[least] = fresh;
      }
      ++table[found].uses;
      std::swap(table[found], table[0]);  // the colour just seen is looked at first next time
    }
  }
  for (size_t i = 0; i < table.size(); ++i)
    for (size_t j = i + 1; j < table.size(); ++j)
      if (table[j].uses > table[i].uses) std::swap(table[i], table[j]);
  return table;
}

}  // namespace wrxdib
