// Baseline JPEG: markers, Huffman tables, entropy-coded scans with restarts,
// an accurate separable integer inverse DCT and nearest-sample chroma.
#include "wrx/html/jpeg_decode.h"

#include <cstring>
#include <memory>
#include <vector>

namespace html {
namespace {

// Natural (row-major) index of each coefficient in the file's zig-zag order;
// 16 extra entries catch a run that overshoots the block.
constexpr uint8_t kZigZag[64 + 16] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
                                      40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
                                      29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
                                      47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

constexpr int kLookBits = 9;

// No coefficient of 8-bit samples exceeds 2048 plus half a quantiser step;
// anything past this limit is corrupt data, clamped so the IDCT cannot overflow.
constexpr int32_t kCoefLimit = 4096;
inline int32_t ClampCoef(int64_t v) { return v < -kCoefLimit ? -kCoefLimit : v > kCoefLimit ? kCoefLimit : int32_t(v); }

struct HuffTable {
  bool defined = false;
  uint8_t symbols[256] = {};
  int32_t maxCode[18] = {};  // largest code of each length, -1 when none
  int32_t valOffset[17] = {};
  // Codes of up to kLookBits bits resolved by one lookup: length << 8 | symbol.
  uint16_t look[1 << kLookBits] = {};
  // AC codes whose coefficient bits fit the lookup too: value << 8 | run << 4
  // | bits used, 0 when the slow path must decode it.
  int16_t fastAc[1 << kLookBits] = {};
};

struct Component {
  int id = 0;
  int h = 1, v = 1;
  int quant = 0;
  int dcTable = 0, acTable = 0;
  int predictor = 0;
  // The component's samples of one row of MCUs.
  std::vector<uint8_t> plane;
  size_t planeStride = 0;
  std::vector<uint32_t> columnOf;  // image column -> plane column
};

struct Decoder {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  uint64_t maxDibBytes = 0;
  DecodedPicture out;

  uint16_t quant[16][64] = {};  // zig-zag order, as stored
  bool quantDefined[16] = {};
  HuffTable dc[4], ac[4];

  bool haveFrame = false;
  uint32_t width = 0, height = 0;
  int componentCount = 0;
  Component comp[3];
  int hMax = 1, vMax = 1;
  uint32_t mcuWidth = 8, mcuHeight = 8, mcusPerRow = 0, mcuRows = 0;
  uint32_t restartInterval = 0;
  bool decodedAny = false;

  // Bit reader: bits are taken from the top of the buffer.
  uint64_t bits = 0;
  int count = 0;
  int fake = 0;        // zero bits supplied after a marker, at the bottom
  uint8_t marker = 0;  // marker met inside entropy-coded data, 0 while none

  int32_t colourCrR[256], colourCbB[256], colourCbG[256], colourCrG[256];
  int16_t redTerm[256], blueTerm[256];
  uint8_t rangeLimit[1024];  // value + 384 -> value clamped to 0-255

  bool Fail(int code, const char* text) {
    out.errorCode = code;
    out.errorText = text;
    return false;
  }

  bool Read16(uint32_t& v) {
    if (size - pos < 2) return Fail(10, "Error Jpgf file positioning(JpgGetOffsetBytes)");
    v = uint32_t(data[pos]) << 8 | data[pos + 1];
    pos += 2;
    return true;
  }

  // Segment of length bytes (after the length word) that must lie in the input.
  bool SegmentLength(size_t& length) {
    uint32_t n;
    if (!Read16(n)) return false;
    if (n < 2 || n - 2 > size - pos) return Fail(10, "Error Jpgf file positioning(JpgGetOffsetBytes)");
    length = n - 2;
    return true;
  }

  void Fill() {
    while (count <= 56) {
      uint32_t byte = 0;
      if (marker == 0 && pos < size) {
        byte = data[pos];
        if (byte == 0xFF) {
          size_t next = pos + 1;
          while (next < size && data[next] == 0xFF) ++next;
          if (next < size && data[next] == 0) {
            pos = next + 1;
          } else {
            // A marker (or the end of the input): remembered, left for the
            // marker loop, and zero bits stand in for what follows.
            marker = next < size ? data[next] : 0xD9;
            pos = next - 1;
            byte = 0;
            fake += 8;
          }
        } else {
          ++pos;
        }
      } else {
        if (marker == 0) marker = 0xD9;  // the input ended inside the scan
        fake += 8;
      }
      bits |= uint64_t(byte) << (56 - count);
      count += 8;
    }
  }

  int RealBits() const { return count - fake; }

  uint32_t GetBits(int n) {
    if (count < n) Fill();
    const uint32_t v = uint32_t(bits >> (64 - n));
    Consume(n);
    return v;
  }

  void Consume(int n) {
    bits <<= n;
    count -= n;
    if (fake > count) fake = count;
  }

  static int Extend(uint32_t v, int s) { return v < (1u << (s - 1)) ? int(v) - (1 << s) + 1 : int(v); }

  // Next Huffman symbol, or -1 when no code of the table matches.
  int DecodeSymbol(const HuffTable& t) {
    if (count < 16) Fill();
    const uint16_t quick = t.look[bits >> (64 - kLookBits)];
    if (quick != 0) {
      Consume(quick >> 8);
      return quick & 0xFF;
    }
    for (int len = kLookBits + 1; len <= 16; ++len) {
      const int32_t code = int32_t(bits >> (64 - len));
      if (code <= t.maxCode[len]) {
        Consume(len);
        const int index = t.valOffset[len] + code;
        return (index >= 0 && index < 256) ? t.symbols[index] : -1;
      }
    }
    return -1;
  }

  bool ReadQuantTables() {
    size_t length;
    if (!SegmentLength(length)) return false;
    const size_t end = pos + length;
    while (pos < end) {
      const int pq = data[pos] >> 4, tq = data[pos] & 15;
      const size_t need = 1 + (pq ? 128 : 64);
      if (pq > 1 || end - pos < need) return Fail(10, "Invalid JPEG file");
      ++pos;
      for (int k = 0; k < 64; ++k) {
        quant[tq][k] = pq ? uint16_t(data[pos] << 8 | data[pos + 1]) : data[pos];
        pos += pq ? 2 : 1;
      }
      quantDefined[tq] = true;
    }
    return true;
  }

  bool ReadHuffTables() {
    size_t length;
    if (!SegmentLength(length)) return false;
    const size_t end = pos + length;
    while (pos < end) {
      if (end - pos < 17) return Fail(10, "Invalid JPEG file");
      const int tc = data[pos] >> 4, th = data[pos] & 15;
      if (tc > 1 || th > 3) return Fail(14, "Too many Huffman tables in the JPEG image");
      int counts[17] = {};
      int total = 0;
      for (int len = 1; len <= 16; ++len) total += counts[len] = data[pos + len];
      pos += 17;
      if (total > 256 || end - pos < size_t(total)) return Fail(10, "Invalid JPEG file");
      HuffTable& t = tc == 0 ? dc[th] : ac[th];
      t = HuffTable();
      std::memcpy(t.symbols, data + pos, total);
      pos += total;
      // Canonical codes, shortest first; a table whose codes overflow their
      // length is refused rather than decoded ambiguously.
      int32_t code = 0;
      int k = 0;
      for (int len = 1; len <= 16; ++len) {
        t.valOffset[len] = k - code;
        for (int i = 0; i < counts[len]; ++i, ++k, ++code) {
          if (code >= (1 << len)) return Fail(10, "Invalid JPEG file");
          if (len <= kLookBits) {
            const int spread = kLookBits - len;
            for (int fill = 0; fill < (1 << spread); ++fill)
              t.look[(code << spread) | fill] = uint16_t(len << 8 | t.symbols[k]);
          }
        }
        t.maxCode[len] = counts[len] ? code - 1 : -1;
        code <<= 1;
      }
      t.maxCode[17] = 0x7fffffff;
      for (int i = 0; i < (1 << kLookBits); ++i) {
        const int len = t.look[i] >> 8, rs = t.look[i] & 0xFF, run = rs >> 4, magnitude = rs & 15;
        if (len == 0 || magnitude == 0 || len + magnitude > kLookBits) continue;
        const int raw = (i >> (kLookBits - len - magnitude)) & ((1 << magnitude) - 1);
        const int value = Extend(uint32_t(raw), magnitude);
        if (value >= -128 && value <= 127) t.fastAc[i] = int16_t(value * 256 + (run << 4) + len + magnitude);
      }
      t.defined = true;
    }
    return true;
  }

  bool ReadFrame() {
    size_t length;
    if (!SegmentLength(length)) return false;
    if (haveFrame) return Fail(10, "Invalid JPEG file");
    if (length < 6) return Fail(10, "Invalid JPEG file");
    const uint8_t* p = data + pos;
    if (p[0] != 8) return Fail(10, "This JPEG image not supported (precision)");
    height = uint32_t(p[1]) << 8 | p[2];
    width = uint32_t(p[3]) << 8 | p[4];
    componentCount = p[5];
    if (componentCount < 1 || componentCount > 3) return Fail(10, "This JPEG image not supported (components)");
    if (length < 6 + 3 * size_t(componentCount) || width == 0 || height == 0) return Fail(10, "Invalid JPEG file");
    for (int c = 0; c < componentCount; ++c) {
      Component& k = comp[c];
      k.id = p[6 + 3 * c];
      k.h = p[7 + 3 * c] >> 4;
      k.v = p[7 + 3 * c] & 15;
      k.quant = p[8 + 3 * c] & 15;
      if (k.h < 1 || k.h > 4 || k.v < 1 || k.v > 4) return Fail(10, "This JPEG image not supported (sampling)");
      for (int other = 0; other < c; ++other)
        if (comp[other].id == k.id) return Fail(10, "Invalid JPEG file");
    }
    pos += length;
    // One component is never interleaved: its data units are single blocks.
    if (componentCount == 1) comp[0].h = comp[0].v = 1;
    hMax = vMax = 1;
    for (int c = 0; c < componentCount; ++c) {
      if (comp[c].h > hMax) hMax = comp[c].h;
      if (comp[c].v > vMax) vMax = comp[c].v;
    }
    mcuWidth = 8 * hMax;
    mcuHeight = 8 * vMax;
    mcusPerRow = (width + mcuWidth - 1) / mcuWidth;
    mcuRows = (height + mcuHeight - 1) / mcuHeight;
    if (!MakeDib(out.dib, width, height, 24, 0, maxDibBytes))
      return Fail(10, "Error allocating DIB memory(JpgReadImageGroup)");
    for (int c = 0; c < componentCount; ++c) {
      Component& k = comp[c];
      k.planeStride = size_t(mcusPerRow) * k.h * 8;
      k.plane.assign(k.planeStride * k.v * 8, 0);
      k.columnOf.resize(width);
      for (uint32_t x = 0; x < width; ++x) k.columnOf[x] = uint32_t(uint64_t(x) * k.h / hMax);
    }
    haveFrame = true;
    return true;
  }

  bool ReadRestartInterval() {
    size_t length;
    if (!SegmentLength(length)) return false;
    if (length < 2) return Fail(10, "Invalid JPEG file");
    restartInterval = uint32_t(data[pos]) << 8 | data[pos + 1];
    pos += length;
    return true;
  }

  void InverseDct(const int32_t* in, uint8_t* outRow, size_t stride);
  bool DecodeBlock(Component& k, int32_t* coef);
  void ColourRows(uint32_t mcuRow, uint32_t mcuColumns);
  bool ReadScan();
};

// Accurate integer inverse DCT (the Loeffler-Ligtenberg-Moschytz flow graph
// with 13-bit constants), columns first then rows, samples clamped to 0-255.
// Coefficients come in clamped to +-kCoefLimit, so the column pass fits 32
// bits; the row pass works in 64 bits, as hostile blocks can overflow 32.
constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int32_t F0298 = 2446, F0390 = 3196, F0541 = 4433, F0765 = 6270, F0899 = 7373, F1175 = 9633, F1501 = 12299,
                  F1847 = 15137, F1961 = 16069, F2053 = 16819, F2562 = 20995, F3072 = 25172;

inline uint8_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : uint8_t(v); }
inline uint8_t Clamp255Wide(int64_t v) { return v < 0 ? 0 : v > 255 ? 255 : uint8_t(v); }

// One 8-point pass of the flow graph: x are the eight inputs in natural
// order, with x[0] and x[4] already scaled by the caller (the two passes scale
// them in different widths); out gets the eight sums before the final shift.
template <typename T>
inline void Idct8(T x0Scaled, T x4Scaled, T x1, T x2, T x3, T x5, T x6, T x7, T* out) {
  T z2 = x2, z3 = x6;
  T z1 = (z2 + z3) * F0541;
  T tmp2 = z1 - z3 * F1847;
  T tmp3 = z1 + z2 * F0765;
  T tmp0 = x0Scaled + x4Scaled;
  T tmp1 = x0Scaled - x4Scaled;
  const T tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  tmp0 = x7;
  tmp1 = x5;
  tmp2 = x3;
  tmp3 = x1;
  z1 = tmp0 + tmp3;
  z2 = tmp1 + tmp2;
  z3 = tmp0 + tmp2;
  T z4 = tmp1 + tmp3;
  const T z5 = (z3 + z4) * F1175;
  tmp0 *= F0298;
  tmp1 *= F2053;
  tmp2 *= F3072;
  tmp3 *= F1501;
  z1 *= -F0899;
  z2 *= -F2562;
  z3 = z3 * -F1961 + z5;
  z4 = z4 * -F0390 + z5;
  tmp0 += z1 + z3;
  tmp1 += z2 + z4;
  tmp2 += z2 + z3;
  tmp3 += z1 + z4;
  out[0] = tmp10 + tmp3;
  out[7] = tmp10 - tmp3;
  out[1] = tmp11 + tmp2;
  out[6] = tmp11 - tmp2;
  out[2] = tmp12 + tmp1;
  out[5] = tmp12 - tmp1;
  out[3] = tmp13 + tmp0;
  out[4] = tmp13 - tmp0;
}

void Decoder::InverseDct(const int32_t* in, uint8_t* outRow, size_t stride) {
  int32_t ws[64];
  for (int c = 0; c < 8; ++c) {
    const int32_t* s = in + c;
    int32_t* w = ws + c;
    if ((s[8] | s[16] | s[24] | s[32] | s[40] | s[48] | s[56]) == 0) {
      const int32_t dcval = int32_t(uint32_t(s[0]) << kPass1Bits);
      for (int r = 0; r < 8; ++r) w[8 * r] = dcval;
      continue;
    }
    // (z2 + z3) << k and (z2 - z3) << k of the even part, spread over the
    // two scaled inputs: a + b and a - b come out the same.
    const int32_t x0 = int32_t(uint32_t(s[0]) << kConstBits), x4 = int32_t(uint32_t(s[32]) << kConstBits);
    int32_t sum[8];
    Idct8<int32_t>(x0, x4, s[8], s[16], s[24], s[40], s[48], s[56], sum);
    constexpr int shift = kConstBits - kPass1Bits;
    constexpr int32_t round = 1 << (shift - 1);
    for (int r = 0; r < 8; ++r) w[8 * r] = (sum[r] + round) >> shift;
  }
  constexpr int shift = kConstBits + kPass1Bits + 3;
  constexpr int64_t round = 1 << (shift - 1);
  for (int r = 0; r < 8; ++r, outRow += stride) {
    const int32_t* w = ws + 8 * r;
    if ((w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0) {
      const uint8_t v = Clamp255(((w[0] + (1 << (kPass1Bits + 2))) >> (kPass1Bits + 3)) + 128);
      std::memset(outRow, v, 8);
      continue;
    }
    int64_t sum[8];
    Idct8<int64_t>(int64_t(w[0]) * (1 << kConstBits), int64_t(w[4]) * (1 << kConstBits), w[1], w[2], w[3], w[5], w[6],
                   w[7], sum);
    for (int i = 0; i < 8; ++i) outRow[i] = Clamp255Wide(((sum[i] + round) >> shift) + 128);
  }
}

bool Decoder::DecodeBlock(Component& k, int32_t* coef) {
  const uint16_t* q = quant[k.quant];
  int s = DecodeSymbol(dc[k.dcTable]);
  if (s < 0) return Fail(14, "Huffman symbol not found in JPEG read");
  if (s > 0) {
    if (s > 16) s = 16;  // no DC difference is wider; a corrupt symbol still reads its bits
    k.predictor = int32_t(uint32_t(k.predictor) + uint32_t(Extend(GetBits(s), s)));  // wraps, never overflows
  }
  coef[0] = ClampCoef(int64_t(k.predictor) * q[0]);
  const HuffTable& t = ac[k.acTable];
  for (int i = 1; i < 64;) {
    if (count < 16) Fill();
    const int fast = t.fastAc[bits >> (64 - kLookBits)];
    if (fast != 0) {
      Consume(fast & 15);
      i += (fast >> 4) & 15;
      if (i < 64) coef[kZigZag[i]] = ClampCoef(int64_t(fast >> 8) * q[i]);
      ++i;
      continue;
    }
    const int rs = DecodeSymbol(t);
    if (rs < 0) return Fail(14, "Huffman symbol not found in JPEG read");
    const int r = rs >> 4, size = rs & 15;
    if (size == 0) {
      if (r != 15) break;
      i += 16;
      continue;
    }
    i += r;
    const int value = Extend(GetBits(size), size);
    if (i < 64) coef[kZigZag[i]] = ClampCoef(int64_t(value) * q[i]);
    ++i;
  }
  return true;
}

// Turns the decoded part of one row of MCUs into DIB pixels.
void Decoder::ColourRows(uint32_t mcuRow, uint32_t mcuColumns) {
  const uint32_t y0 = mcuRow * mcuHeight;
  const uint32_t columns = mcuColumns * mcuWidth < width ? mcuColumns * mcuWidth : width;
  const uint64_t stride = DibStride(width, 24);
  uint8_t* bitsBase = out.dib.data() + kDibHeaderSize;
  for (uint32_t dy = 0; dy < mcuHeight && y0 + dy < height; ++dy) {
    uint8_t* dst = bitsBase + (height - 1 - (y0 + dy)) * stride;
    const Component& yc = comp[0];
    const uint8_t* yRow = yc.plane.data() + size_t(dy * yc.v / vMax) * yc.planeStride;
    if (componentCount == 1) {
      for (uint32_t x = 0; x < columns; ++x, dst += 3) dst[0] = dst[1] = dst[2] = yRow[x];
      continue;
    }
    const Component& bc = comp[1];
    const uint8_t* cbRow = bc.plane.data() + size_t(dy * bc.v / vMax) * bc.planeStride;
    const uint32_t* cbCol = bc.columnOf.data();
    const uint8_t* crRow = cbRow;  // two components: no Cr, which reads as 0 below
    const uint32_t* crCol = cbCol;
    const int32_t* crR = colourCrR;
    const int32_t* crG = colourCrG;
    static const int32_t kZero[256] = {};
    if (componentCount == 3) {
      const Component& rc = comp[2];
      crRow = rc.plane.data() + size_t(dy * rc.v / vMax) * rc.planeStride;
      crCol = rc.columnOf.data();
    } else {
      crR = crG = kZero;
    }
    const bool yFull = yc.h == hMax;
    if (yFull && componentCount == 3 && bc.h == comp[2].h && (bc.h == hMax || bc.h * 2 == hMax)) {
      // The usual layouts, chroma at full or half width. (64 Y + t) >> 6 is
      // Y + (t >> 6), so each chroma sample's terms are worked out once.
      const uint8_t* __restrict limit = rangeLimit + 384;
      const int16_t* __restrict red = redTerm;
      const int16_t* __restrict blue = blueTerm;
      const int32_t* __restrict cbGreen = colourCbG;
      const int32_t* __restrict crGreen = colourCrG;
      uint8_t* __restrict to = dst;
      if (bc.h == hMax) {
        for (uint32_t x = 0; x < columns; ++x, to += 3) {
          const int y = yRow[x];
          const uint8_t cb = cbRow[x], cr = crRow[x];
          to[0] = limit[y + blue[cb]];
          to[1] = limit[y + ((cbGreen[cb] + crGreen[cr]) >> 6)];
          to[2] = limit[y + red[cr]];
        }
        continue;
      }
      uint32_t x = 0;
      for (; x + 1 < columns; x += 2, to += 6) {
        const uint8_t cb = cbRow[x >> 1], cr = crRow[x >> 1];
        const int r = red[cr], g = (cbGreen[cb] + crGreen[cr]) >> 6, b = blue[cb];
        const int y0 = yRow[x], y1 = yRow[x + 1];
        to[0] = limit[y0 + b];
        to[1] = limit[y0 + g];
        to[2] = limit[y0 + r];
        to[3] = limit[y1 + b];
        to[4] = limit[y1 + g];
        to[5] = limit[y1 + r];
      }
      if (x < columns) {
        const uint8_t cb = cbRow[x >> 1], cr = crRow[x >> 1];
        const int y = yRow[x];
        to[0] = limit[y + blue[cb]];
        to[1] = limit[y + ((cbGreen[cb] + crGreen[cr]) >> 6)];
        to[2] = limit[y + red[cr]];
      }
      continue;
    }
    for (uint32_t x = 0; x < columns; ++x, dst += 3) {
      const int32_t y = int32_t(yRow[yFull ? x : yc.columnOf[x]]) << 6;
      const uint8_t cb = cbRow[cbCol[x]], cr = crRow[crCol[x]];
      dst[0] = Clamp255((y + colourCbB[cb]) >> 6);
      dst[1] = Clamp255((y + colourCbG[cb] + crG[cr]) >> 6);
      dst[2] = Clamp255((y + crR[cr]) >> 6);
    }
  }
}

bool Decoder::ReadScan() {
  size_t length;
  if (!SegmentLength(length)) return false;
  if (!haveFrame) return Fail(10, "JPEG scan before the frame");
  const uint8_t* p = data + pos;
  if (length < 1) return Fail(10, "Invalid JPEG file");
  const int n = p[0];
  // Every frame component must be in the scan: the MCUs interleave them all.
  if (n != componentCount || length < 4 + 2 * size_t(n)) return Fail(10, "This JPEG image not supported (scan)");
  Component* order[3] = {};
  for (int i = 0; i < n; ++i) {
    const int selector = p[1 + 2 * i], tables = p[2 + 2 * i];
    Component* k = nullptr;
    for (int c = 0; c < componentCount; ++c)
      if (comp[c].id == selector) k = &comp[c];
    for (int j = 0; j < i; ++j)
      if (order[j] == k) k = nullptr;
    if (!k) return Fail(10, "Missing JPEG component selector");
    k->dcTable = tables >> 4;
    k->acTable = tables & 15;
    if (k->dcTable > 3 || k->acTable > 3 || !dc[k->dcTable].defined || !ac[k->acTable].defined ||
        !quantDefined[k->quant])
      return Fail(10, "Missing JPEG table");
    k->predictor = 0;
    order[i] = k;
  }
  pos += length;

  bits = 0;
  count = fake = 0;
  marker = 0;
  int32_t coef[64];
  const uint32_t total = mcusPerRow * mcuRows;
  uint32_t mcu = 0, sinceRestart = 0;
  bool ok = true;
  while (mcu < total) {
    const uint32_t row = mcu / mcusPerRow, column = mcu % mcusPerRow;
    if (restartInterval && sinceRestart == restartInterval) {
      Fill();
      if (marker < 0xD0 || marker > 0xD7 || RealBits() >= 8) {
        ok = Fail(14, "Restart marker missing(JpgReadImage a)");
        break;
      }
      pos += 2;  // past the restart marker
      bits = 0;
      count = fake = 0;
      marker = 0;
      sinceRestart = 0;
      for (int i = 0; i < n; ++i) order[i]->predictor = 0;
    } else if (marker != 0 && RealBits() < 8) {
      // The data of this scan ended: a restart marker here is out of place.
      if (marker >= 0xD0 && marker <= 0xD7) ok = Fail(14, "Misplaced restart marker found!");
      break;
    }
    for (int i = 0; i < n && ok; ++i) {
      Component& k = *order[i];
      for (int by = 0; by < k.v && ok; ++by)
        for (int bx = 0; bx < k.h; ++bx) {
          std::memset(coef, 0, sizeof coef);
          if (!DecodeBlock(k, coef)) {
            ok = false;
            break;
          }
          InverseDct(coef, k.plane.data() + size_t(by) * 8 * k.planeStride + (size_t(column) * k.h + bx) * 8,
                     k.planeStride);
        }
    }
    if (!ok) break;
    decodedAny = true;
    ++mcu;
    ++sinceRestart;
    if (mcu % mcusPerRow == 0) ColourRows(row, mcusPerRow);
  }
  if (mcu % mcusPerRow != 0) ColourRows(mcu / mcusPerRow, mcu % mcusPerRow);
  return ok;
}

}  // namespace

DecodedPicture JpgDecode(const uint8_t* data, size_t size, uint64_t maxDibBytes) {
  // Large state: kept off the stack of the reader's callers.
  std::unique_ptr<Decoder> holder(new Decoder());
  Decoder& d = *holder;
  d.data = data;
  d.size = size;
  d.maxDibBytes = maxDibBytes;
  for (int i = 0; i < 256; ++i) {
    const int c = i - 128;
    d.colourCrR[i] = 90 * c;
    d.colourCrG[i] = -46 * c;
    d.colourCbG[i] = -22 * c;
    d.colourCbB[i] = 113 * c;
    d.redTerm[i] = int16_t(d.colourCrR[i] >> 6);
    d.blueTerm[i] = int16_t(d.colourCbB[i] >> 6);
  }
  for (int i = 0; i < 1024; ++i) d.rangeLimit[i] = Clamp255(i - 384);
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
    d.Fail(10, "Invalid JPEG file");
    return std::move(d.out);
  }
  d.pos = 2;
  bool ok = true;
  bool afterScan = false;
  while (ok) {
    if (afterScan) {
      // Bytes left over from the entropy-coded data are skipped to the marker.
      while (d.pos + 1 < size && !(data[d.pos] == 0xFF && data[d.pos + 1] != 0 && data[d.pos + 1] != 0xFF)) ++d.pos;
      afterScan = false;
    }
    if (size - d.pos < 2 || data[d.pos] != 0xFF) break;
    while (d.pos + 1 < size && data[d.pos + 1] == 0xFF) ++d.pos;  // fill bytes
    if (size - d.pos < 2) break;
    const uint8_t code = data[d.pos + 1];
    d.pos += 2;
    if (code == 0xD9) break;
    switch (code) {
      case 0xDB: ok = d.ReadQuantTables(); break;
      case 0xC4: ok = d.ReadHuffTables(); break;
      case 0xC0: ok = d.ReadFrame(); break;
      case 0xDD: ok = d.ReadRestartInterval(); break;
      case 0xDA:
        ok = d.ReadScan();
        afterScan = true;
        break;
      case 0xC1:
      case 0xC2:
      case 0xC3:
      case 0xC5:
      case 0xC6:
      case 0xC7:
      case 0xC9:
      case 0xCA:
      case 0xCB:
      case 0xCD:
      case 0xCE:
      case 0xCF:
        // Progressive, extended, lossless or arithmetic: not this decoder's.
        d.out.dib.clear();
        d.out.errorCode = 0;
        d.out.errorText = "This JPEG image not supported (frame type)";
        return std::move(d.out);
      case 0xD0:
      case 0xD1:
      case 0xD2:
      case 0xD3:
      case 0xD4:
      case 0xD5:
      case 0xD6:
      case 0xD7:
      case 0x01: break;  // stray markers without a length
      default: {
        size_t length;
        ok = d.SegmentLength(length);
        if (ok) d.pos += length;
      }
    }
  }
  // A refusal before any data was decoded leaves no picture, only the box.
  if (!d.decodedAny) d.out.dib.clear();
  return std::move(d.out);
}

}  // namespace html
