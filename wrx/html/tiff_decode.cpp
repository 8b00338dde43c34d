// TIFF: the header, the directory chain, the strips and their four
// compressions, placed into a bottom-up DIB.
#include "wrx/html/tiff_decode.h"

#include <cstring>
#include <memory>
#include <vector>

namespace html {

const FaxCode kFaxCodes[kFaxCodeCount] = {
    {0, 0x35, 8, 0x37, 10},     {1, 0x7, 6, 0x2, 3},        {2, 0x7, 4, 0x3, 2},        {3, 0x8, 4, 0x2, 2},
    {4, 0xB, 4, 0x3, 3},        {5, 0xC, 4, 0x3, 4},        {6, 0xE, 4, 0x2, 4},        {7, 0xF, 4, 0x3, 5},
    {8, 0x13, 5, 0x5, 6},       {9, 0x14, 5, 0x4, 6},       {10, 0x7, 5, 0x4, 7},       {11, 0x8, 5, 0x5, 7},
    {12, 0x8, 6, 0x7, 7},       {13, 0x3, 6, 0x4, 8},       {14, 0x34, 6, 0x7, 8},      {15, 0x35, 6, 0x18, 9},
    {16, 0x2A, 6, 0x17, 10},    {17, 0x2B, 6, 0x18, 10},    {18, 0x27, 7, 0x8, 10},     {19, 0xC, 7, 0x67, 11},
    {20, 0x8, 7, 0x68, 11},     {21, 0x17, 7, 0x6C, 11},    {22, 0x3, 7, 0x37, 11},     {23, 0x4, 7, 0x28, 11},
    {24, 0x28, 7, 0x17, 11},    {25, 0x2B, 7, 0x18, 11},    {26, 0x13, 7, 0xCA, 12},    {27, 0x24, 7, 0xCB, 12},
    {28, 0x18, 7, 0xCC, 12},    {29, 0x2, 8, 0xCD, 12},     {30, 0x3, 8, 0x68, 12},     {31, 0x1A, 8, 0x69, 12},
    {32, 0x1B, 8, 0x6A, 12},    {33, 0x12, 8, 0x6B, 12},    {34, 0x13, 8, 0xD2, 12},    {35, 0x14, 8, 0xD3, 12},
    {36, 0x15, 8, 0xD4, 12},    {37, 0x16, 8, 0xD5, 12},    {38, 0x17, 8, 0xD6, 12},    {39, 0x28, 8, 0xD7, 12},
    {40, 0x29, 8, 0x6C, 12},    {41, 0x2A, 8, 0x6D, 12},    {42, 0x2B, 8, 0xDA, 12},    {43, 0x2C, 8, 0xDB, 12},
    {44, 0x2D, 8, 0x54, 12},    {45, 0x4, 8, 0x55, 12},     {46, 0x5, 8, 0x56, 12},     {47, 0xA, 8, 0x57, 12},
    {48, 0xB, 8, 0x64, 12},     {49, 0x52, 8, 0x65, 12},    {50, 0x53, 8, 0x52, 12},    {51, 0x54, 8, 0x53, 12},
    {52, 0x55, 8, 0x24, 12},    {53, 0x24, 8, 0x37, 12},    {54, 0x25, 8, 0x38, 12},    {55, 0x58, 8, 0x27, 12},
    {56, 0x59, 8, 0x28, 12},    {57, 0x5A, 8, 0x58, 12},    {58, 0x5B, 8, 0x59, 12},    {59, 0x4A, 8, 0x2B, 12},
    {60, 0x4B, 8, 0x2C, 12},    {61, 0x32, 8, 0x5A, 12},    {62, 0x33, 8, 0x66, 12},    {63, 0x34, 8, 0x67, 12},
    {64, 0x1B, 5, 0xF, 10},     {128, 0x12, 5, 0xC8, 12},   {192, 0x17, 6, 0xC9, 12},   {256, 0x37, 7, 0x5B, 12},
    {320, 0x36, 8, 0x33, 12},   {384, 0x37, 8, 0x34, 12},   {448, 0x64, 8, 0x35, 12},   {512, 0x65, 8, 0x6C, 13},
    {576, 0x68, 8, 0x6D, 13},   {640, 0x67, 8, 0x4A, 13},   {704, 0xCC, 9, 0x4B, 13},   {768, 0xCD, 9, 0x4C, 13},
    {832, 0xD2, 9, 0x4D, 13},   {896, 0xD3, 9, 0x72, 13},   {960, 0xD4, 9, 0x73, 13},   {1024, 0xD5, 9, 0x74, 13},
    {1088, 0xD6, 9, 0x75, 13},  {1152, 0xD7, 9, 0x76, 13},  {1216, 0xD8, 9, 0x77, 13},  {1280, 0xD9, 9, 0x52, 13},
    {1344, 0xDA, 9, 0x53, 13},  {1408, 0xDB, 9, 0x54, 13},  {1472, 0x98, 9, 0x55, 13},  {1536, 0x99, 9, 0x5A, 13},
    {1600, 0x9A, 9, 0x5B, 13},  {1664, 0x18, 6, 0x64, 13},  {1728, 0x9B, 9, 0x65, 13},  {1792, 0x8, 11, 0x8, 11},
    {1856, 0xC, 11, 0xC, 11},   {1920, 0xD, 11, 0xD, 11},   {1984, 0x12, 12, 0x12, 12}, {2048, 0x13, 12, 0x13, 12},
    {2112, 0x14, 12, 0x14, 12}, {2176, 0x15, 12, 0x15, 12}, {2240, 0x16, 12, 0x16, 12}, {2304, 0x17, 12, 0x17, 12},
    {2368, 0x1C, 12, 0x1C, 12}, {2432, 0x1D, 12, 0x1D, 12}, {2496, 0x1E, 12, 0x1E, 12}, {2560, 0x1F, 12, 0x1F, 12},
};

namespace {

constexpr int kMaxDirectories = 64;

enum Tag : uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kPlanarConfiguration = 284,
  kPredictor = 317,
  kTileWidth = 322,
  kTileOffsets = 324,
  kColorMap = 320,
};

// Where a tag's values are: inline in the entry or at an offset.
struct Field {
  bool present = false;
  uint16_t type = 0;
  uint32_t count = 0;
  size_t at = 0;  // offset of the first value in the input
};

// The 13-bit lookup of the modified Huffman codes of one colour: run + 1 and
// code length, 0 where no code starts with those bits.
struct FaxLookup {
  uint16_t run[1 << 13];
  uint8_t length[1 << 13];
};

const FaxLookup& FaxTable(bool black) {
  static const std::unique_ptr<FaxLookup[]> tables = [] {
    std::unique_ptr<FaxLookup[]> t(new FaxLookup[2]());
    for (const FaxCode& c : kFaxCodes)
      for (int colour = 0; colour < 2; ++colour) {
        const int len = colour ? c.blackLength : c.whiteLength;
        const int code = colour ? c.blackCode : c.whiteCode;
        const int spread = 13 - len;
        for (int fill = 0; fill < (1 << spread); ++fill) {
          t[colour].run[(code << spread) | fill] = uint16_t(c.run + 1);
          t[colour].length[(code << spread) | fill] = uint8_t(len);
        }
      }
    return t;
  }();
  return tables[black ? 1 : 0];
}

struct Decoder {
  const uint8_t* data = nullptr;
  size_t size = 0;
  uint64_t maxDibBytes = 0;
  bool bigEndian = false;
  DecodedPicture out;

  Field fields[16];
  uint32_t width = 0, height = 0, bitsPerSample = 1, samplesPerPixel = 1, compression = 1, photometric = 1;
  uint32_t rowsPerStrip = 0, planar = 1, predictor = 1;
  bool tiled = false;

  // Output position.
  uint8_t* bits = nullptr;
  uint64_t stride = 0, rowBytes = 0;
  uint32_t bitsPerPixel = 0, row = 0;
  uint64_t column = 0;

  bool Fail(int code, const char* text) {
    out.errorCode = code;
    out.errorText = text;
    return false;
  }

  uint32_t U16(size_t at) const {
    return bigEndian ? uint32_t(data[at]) << 8 | data[at + 1] : data[at] | uint32_t(data[at + 1]) << 8;
  }
  uint32_t U32(size_t at) const { return bigEndian ? U16(at) << 16 | U16(at + 2) : U16(at) | U16(at + 2) << 16; }
  static uint32_t TypeSize(uint16_t type) {
    switch (type) {
      case 1:
      case 2:
      case 6:
      case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
      case 3:
      case 8: return 2;  // SHORT, SSHORT
      case 4:
      case 9: return 4;  // LONG, SLONG
      default: return 0;
    }
  }

  Field* Slot(uint16_t tag) {
    static const uint16_t kTags[] = {kImageWidth,      kImageLength,         kBitsPerSample,   kCompression,
                                     kPhotometric,     kStripOffsets,        kSamplesPerPixel, kRowsPerStrip,
                                     kStripByteCounts, kPlanarConfiguration, kPredictor,       kColorMap};
    for (size_t i = 0; i < sizeof kTags / sizeof kTags[0]; ++i)
      if (kTags[i] == tag) return &fields[i];
    return nullptr;
  }
  Field& Get(uint16_t tag) { return *Slot(tag); }

  // Value index of a field, when it lies in the input.
  bool Value(const Field& f, uint32_t index, uint32_t& v) const {
    const uint32_t s = TypeSize(f.type);
    if (!f.present || s == 0 || index >= f.count) return false;
    const size_t at = f.at + size_t(index) * s;
    if (at > size || size - at < s) return false;
    v = s == 1 ? data[at] : s == 2 ? U16(at) : U32(at);
    return true;
  }
  uint32_t ValueOr(uint16_t tag, uint32_t fallback) const {
    uint32_t v;
    return Value(const_cast<Decoder*>(this)->Get(tag), 0, v) ? v : fallback;
  }

  bool ReadHeader(size_t& firstDirectory) {
    if (size < 8) return Fail(10, "Unexpected End of TIF File");
    if (data[0] == 'M' || data[0] == 'I') {
      bigEndian = data[0] == 'M';
    } else if (data[1] == 'I' || data[1] == 'M') {
      bigEndian = false;
    } else {
      return Fail(10, "Invalid TIFF format");
    }
    if (U16(2) != 42) return Fail(10, "Invalid TIFF version");
    firstDirectory = U32(4);
    return true;
  }

  bool ReadDirectories(size_t offset) {
    size_t seen[kMaxDirectories];
    int directories = 0;
    while (offset != 0) {
      // A chain that comes back to a directory already read (or runs on
      // without end) stops there.
      for (int i = 0; i < directories; ++i)
        if (seen[i] == offset) return true;
      if (directories == kMaxDirectories) return true;
      seen[directories++] = offset;
      if (offset > size || size - offset < 2) return Fail(10, "Unexpected End of TIF File");
      const uint32_t entries = U16(offset);
      if ((size - offset - 2) / 12 < entries) return Fail(10, "Unexpected End of TIF File");
      for (uint32_t e = 0; e < entries; ++e) {
        const size_t at = offset + 2 + size_t(e) * 12;
        const uint16_t tag = uint16_t(U16(at));
        if (tag >= kTileWidth && tag <= 325) tiled = true;
        Field* f = Slot(tag);
        if (!f) continue;
        f->present = true;
        f->type = uint16_t(U16(at + 2));
        f->count = U32(at + 4);
        const uint64_t bytes = uint64_t(TypeSize(f->type)) * f->count;
        f->at = bytes <= 4 ? at + 8 : U32(at + 8);
      }
      const size_t next = offset + 2 + size_t(entries) * 12;
      if (size - next < 4) return Fail(10, "Unexpected End of TIF File");
      offset = U32(next);
    }
    return true;
  }

  // Stores one decoded byte at the current row and column; false once the
  // picture is full.
  bool Put(uint8_t b) {
    if (row >= height) return false;
    uint8_t* r = bits + (height - 1 - row) * stride;
    if (bitsPerPixel == 24) {
      const uint64_t within = column % 3;
      r[column - within + 2 - within] = b;  // red, green, blue become blue, green, red
    } else {
      r[column] = b;
    }
    if (++column == rowBytes) {
      column = 0;
      ++row;
    }
    return row < height;
  }

  bool MakePicture();
  bool DecodeStrips();
  bool HuffmanStrip(const uint8_t* strip, size_t length, uint32_t rows);
  bool LzwStrip(const uint8_t* strip, size_t length);
};

bool Decoder::MakePicture() {
  width = ValueOr(kImageWidth, 0);
  height = ValueOr(kImageLength, 0);
  bitsPerSample = ValueOr(kBitsPerSample, 1);
  samplesPerPixel = ValueOr(kSamplesPerPixel, 1);
  compression = ValueOr(kCompression, 1);
  photometric = ValueOr(kPhotometric, 1);
  rowsPerStrip = ValueOr(kRowsPerStrip, 0);
  planar = ValueOr(kPlanarConfiguration, 1);
  predictor = ValueOr(kPredictor, 1);
  if (photometric > 3) return Fail(10, "This TIFF image not supported (ImageType>3)");
  // Layouts this decoder would scramble are refused rather than shown wrong.
  if (tiled || predictor != 1 || (planar != 1 && samplesPerPixel > 1))
    return Fail(10, "This TIFF image not supported (layout)");
  if (compression != 1 && compression != 2 && compression != 5 && compression != 32773)
    return Fail(10, "This TIFF image not supported (compression)");
  uint32_t palette = 0;
  if (photometric == 2) {
    uint32_t b1 = 0, b2 = 0, b3 = 0;
    const Field& f = Get(kBitsPerSample);
    if (samplesPerPixel != 3 || !Value(f, 0, b1) || !Value(f, 1, b2) || !Value(f, 2, b3) || b1 != 8 || b2 != 8 ||
        b3 != 8)
      return Fail(10, "This TIFF image not supported (unsupported Bits per Pixel)");
    bitsPerPixel = 24;
  } else {
    bitsPerPixel = bitsPerSample;
    if (samplesPerPixel != 1 || (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8))
      return Fail(10, "This TIFF image not supported (unsupported Bits per Pixel)");
    palette = 1u << bitsPerPixel;
  }
  if (compression == 2 && bitsPerPixel != 1)
    return Fail(10, "This TIFF image not supported (unsupported Bits per Pixel)");
  if (width == 0 || height == 0 || !MakeDib(out.dib, width, height, bitsPerPixel, palette, maxDibBytes))
    return Fail(10, "Error allocating DIB memory(TifReadImageGroup)");
  uint8_t* q = out.dib.data() + kDibHeaderSize;
  if (photometric == 3) {
    const Field& map = Get(kColorMap);
    for (uint32_t i = 0; i < palette; ++i) {
      uint32_t r, g, b;
      if (!Value(map, i, r) || !Value(map, palette + i, g) || !Value(map, 2 * palette + i, b)) {
        out.dib.clear();
        return Fail(10, "Error Tiff file positioning(TifGetOffsetBytes)");
      }
      q[i * 4] = uint8_t(b >> 8);
      q[i * 4 + 1] = uint8_t(g >> 8);
      q[i * 4 + 2] = uint8_t(r >> 8);
    }
  } else if (palette) {
    for (uint32_t i = 0; i < palette; ++i) {
      const uint32_t level = palette == 1 ? 255 : i * 255 / (palette - 1);
      const uint8_t v = uint8_t(photometric == 0 ? 255 - level : level);
      q[i * 4] = q[i * 4 + 1] = q[i * 4 + 2] = v;
    }
  }
  bits = out.dib.data() + DibBitsOffset(out.dib);
  stride = DibStride(width, bitsPerPixel);
  rowBytes = (uint64_t(width) * bitsPerPixel + 7) / 8;
  return true;
}

bool Decoder::HuffmanStrip(const uint8_t* strip, size_t length, uint32_t rows) {
  // Runs of the white code are 0 bits and black ones 1 bits whatever the
  // photometric value; the palette then says how a bit looks, as other
  // readers of these files show them.
  uint64_t bit = 0;
  const uint64_t totalBits = uint64_t(length) * 8;
  for (uint32_t r = 0; r < rows && row < height; ++r) {
    bit = (bit + 7) / 8 * 8;
    if (bit >= totalBits) return true;
    uint8_t* line = bits + (height - 1 - row) * stride;
    uint32_t x = 0;
    bool black = false;
    uint32_t run = 0;
    while (true) {
      if (bit >= totalBits) return Fail(10, "Error extracting image(TifHufDecompress)");
      uint32_t next13 = 0;
      for (int k = 0; k < 13; ++k) {
        const uint64_t b = bit + k;
        next13 = next13 << 1 | (b < totalBits ? (strip[b / 8] >> (7 - b % 8)) & 1 : 0);
      }
      const FaxLookup& t = FaxTable(black);
      const uint32_t code = t.run[next13];
      if (code == 0 || bit + t.length[next13] > totalBits || run + (code - 1) > width - x)
        return Fail(10, "Error extracting image(TifHufDecompress a)");
      bit += t.length[next13];
      run += code - 1;
      if (code - 1 >= 64) continue;  // a make-up code: the same colour goes on
      if (black) {
        for (uint32_t p = x; p < x + run; ++p) line[p / 8] |= uint8_t(0x80 >> (p % 8));
      }
      x += run;
      run = 0;
      black = !black;
      if (x == width) break;
    }
    ++row;
  }
  return true;
}

bool Decoder::LzwStrip(const uint8_t* strip, size_t length) {
  struct Entry {
    uint16_t prefix;
    uint8_t first, last;
    uint16_t length;
  };
  std::unique_ptr<Entry[]> table(new Entry[4096]);
  for (int i = 0; i < 256; ++i) table[i] = {0, uint8_t(i), uint8_t(i), 1};
  uint8_t string[4096];
  uint64_t bit = 0;
  const uint64_t totalBits = uint64_t(length) * 8;
  int width9 = 9, nextCode = 258, previous = -1;
  auto emit = [&](int code) {
    const int n = table[code].length;
    for (int i = n - 1, c = code; i >= 0; --i, c = table[c].prefix) string[i] = table[c].last;
    for (int i = 0; i < n; ++i)
      if (!Put(string[i])) return false;
    return true;
  };
  while (bit + width9 <= totalBits) {
    int code = 0;
    for (int k = 0; k < width9; ++k, ++bit) code = code << 1 | ((strip[bit / 8] >> (7 - bit % 8)) & 1);
    if (code == 257) break;
    if (code == 256) {
      width9 = 9;
      nextCode = 258;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      if (code > 255) return Fail(8, "Invalid LZ code encountered\n, decompression aborted\n");
      if (!emit(code)) return true;
      previous = code;
      continue;
    }
    if (code > nextCode || (code == nextCode && nextCode >= 4096))
      return Fail(8, "Invalid LZ code encountered\n, decompression aborted\n");
    if (nextCode < 4096) {
      const uint8_t first = code < nextCode ? table[code].first : table[previous].first;
      if (table[previous].length >= 4095) return Fail(8, "Invalid code encountered, decompression aborted");
      table[nextCode] = {uint16_t(previous), table[previous].first, first, uint16_t(table[previous].length + 1)};
      ++nextCode;
    }
    if (!emit(code)) return true;
    previous = code;
    // The code width grows one code early, as TIFF writers do.
    if (nextCode + 1 >= (1 << width9) && width9 < 12) ++width9;
  }
  return true;
}

bool Decoder::DecodeStrips() {
  const uint32_t perStrip = rowsPerStrip == 0 || rowsPerStrip > height ? height : rowsPerStrip;
  const uint32_t strips = (height + perStrip - 1) / perStrip;
  const Field& offsets = Get(kStripOffsets);
  const Field& counts = Get(kStripByteCounts);
  for (uint32_t s = 0; s < strips && row < height; ++s) {
    uint32_t offset, count;
    if (!Value(offsets, s, offset)) return Fail(10, "Error Tiff file positioning(TifGetOffsetBytes)");
    if (counts.present) {
      if (!Value(counts, s, count)) return Fail(10, "Error Tiff file positioning(TifGetOffsetBytes)");
    } else {
      const uint64_t whole = (uint64_t(height) * width * bitsPerPixel + 7) / 8;
      count = whole > 0xffffffffu ? 0xffffffffu : uint32_t(whole);
    }
    if (count >= 32000 && compression != 1 && compression != 32773) return Fail(10, "TIFF Strips too long");
    // A strip that runs past the input is cut at its end (a truncated file
    // keeps what it holds); one that starts outside it is refused.
    if (offset > size) return Fail(10, "Error Tiff file positioning(TifGetOffsetBytes)");
    const size_t length = count < size - offset ? count : size - offset;
    const uint8_t* strip = data + offset;
    // Each strip starts at its own first row.
    const uint64_t firstRow = uint64_t(s) * perStrip;
    if (firstRow >= height) break;
    row = uint32_t(firstRow);
    column = 0;
    switch (compression) {
      case 1:
        for (size_t i = 0; i < length; ++i)
          if (!Put(strip[i])) break;
        break;
      case 32773: UnpackBits(strip, length, [this](uint8_t b) { return Put(b); }); break;
      case 2: {
        const uint32_t rows = height - row < perStrip ? height - row : perStrip;
        if (!HuffmanStrip(strip, length, rows)) return false;
        break;
      }
      case 5:
        if (!LzwStrip(strip, length)) return false;
        break;
    }
  }
  return true;
}

}  // namespace

DecodedPicture TifDecode(const uint8_t* data, size_t size, uint64_t maxDibBytes) {
  std::unique_ptr<Decoder> holder(new Decoder());
  Decoder& d = *holder;
  d.data = data;
  d.size = size;
  d.maxDibBytes = maxDibBytes;
  size_t first = 0;
  if (!d.ReadHeader(first) || !d.ReadDirectories(first)) return std::move(d.out);
  if (!d.Get(kStripOffsets).present) return std::move(d.out);
  if (d.MakePicture()) d.DecodeStrips();
  return std::move(d.out);
}

}  // namespace html
