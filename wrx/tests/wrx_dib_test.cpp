#include "wrx/wrx_dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace wrxdib;

namespace {

// A BMP file with a 40-byte header (or a 12-byte core header) and zeroed bits.
std::vector<uint8_t> MakeBmp(int width, int height, int bits, bool core = false, int32_t offsetDelta = 0,
                             size_t cutBits = 0) {
  const uint32_t colours = bits <= 8 ? 1u << bits : 0;
  const size_t header = core ? 12 : 40;
  const size_t table = colours * (core ? 3 : 4);
  const size_t bitsSize = RowBytes(width, bits) * size_t(height);
  std::vector<uint8_t> f(14 + header + table + bitsSize - cutBits, 0);
  f[0] = 'B', f[1] = 'M';
  Put32(&f[2], uint32_t(f.size()));
  Put32(&f[10], uint32_t(int64_t(14 + header + table) + offsetDelta));
  uint8_t* h = &f[14];
  Put32(h, uint32_t(header));
  if (core) {
    Put16(h + 4, uint16_t(width)), Put16(h + 6, uint16_t(height)), Put16(h + 8, 1), Put16(h + 10, uint16_t(bits));
  } else {
    Put32(h + 4, uint32_t(width)), Put32(h + 8, uint32_t(height)), Put16(h + 12, 1), Put16(h + 14, uint16_t(bits));
  }
  for (uint32_t c = 0; c < colours; ++c) h[header + c * (core ? 3 : 4)] = uint8_t(c);
  return f;
}

}  // namespace

TEST(WrxDib, BmpFilesOfEveryDepthGiveTheirSizesAndTables) {
  struct Case {
    int bits;
    bool core;
    size_t infoSize;
  } cases[] = {
      {1, false, 48}, {4, false, 104}, {8, false, 1064}, {24, false, 40},
      {1, true, 48},  {4, true, 104},  {8, true, 1064},  {24, true, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + (c.core ? " core" : " info"));
    const auto file = MakeBmp(13, 7, c.bits, c.core);
    Dib dib;
    ASSERT_EQ(ParseBmpFile(file.data(), file.size(), dib), kDibOk);
    EXPECT_EQ(dib.width, 13);
    EXPECT_EQ(dib.height, 7);
    EXPECT_EQ(dib.info.size(), c.infoSize);
    EXPECT_EQ(Get32(dib.info.data()), 40u);
    EXPECT_EQ(dib.bits.size(), RowBytes(13, c.bits) * 7);
    if (c.bits == 4) {
      // Core entries are widened: the second colour's blue byte stays 1.
      EXPECT_EQ(dib.info[40 + 4], 1);
      EXPECT_EQ(dib.info[40 + 7], 0);
    }
  }
}

TEST(WrxDib, LyingAndTruncatedFilesFailBeforeAllocating) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int error;
  } cases[] = {
      {"no BM",
       [] {
         auto f = MakeBmp(4, 4, 24);
         f[0] = 'X';
         return f;
       }(),
       kDibNotBmp},
      {"bits cut", MakeBmp(16, 16, 24, false, 0, 10), kDibTruncated},
      {"offset inside the header", MakeBmp(4, 4, 8, false, -100), kDibBadOffset},
      {"offset past the file", MakeBmp(4, 4, 8, false, 1 << 20), kDibBadOffset},
      {"huge height",
       [] {
         auto f = MakeBmp(4, 4, 24);
         Put32(&f[22], 0x7FFFFFFF);
         return f;
       }(),
       kDibBadHeader},
      {"height claims more rows",
       [] {
         auto f = MakeBmp(4, 4, 24);
         Put32(&f[22], 4000);
         return f;
       }(),
       kDibTruncated},
      {"bit count 7",
       [] {
         auto f = MakeBmp(4, 4, 8);
         Put16(&f[28], 7);
         return f;
       }(),
       kDibBadHeader},
      {"colour table past the end",
       [] {
         auto f = MakeBmp(4, 4, 8);
         f.resize(14 + 40 + 100);
         return f;
       }(),
       kDibTruncated},
      {"header size 5000",
       [] {
         auto f = MakeBmp(4, 4, 24);
         Put32(&f[14], 5000);
         return f;
       }(),
       kDibBadHeader},
      {"too many colours",
       [] {
         auto f = MakeBmp(4, 4, 4);
         Put32(&f[14 + 32], 300);
         return f;
       }(),
       kDibBadHeader},
      {"short file header", std::vector<uint8_t>{'B', 'M', 0}, kDibTruncated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Dib dib;
    EXPECT_EQ(ParseBmpFile(c.file.data(), c.file.size(), dib), c.error);
    EXPECT_TRUE(dib.bits.empty());
  }
}

TEST(WrxDib, PackedDibRoundTripsAndChecksItsBlock) {
  const auto file = MakeBmp(5, 3, 8);
  Dib dib;
  ASSERT_EQ(ParseBmpFile(file.data(), file.size(), dib), kDibOk);
  const auto packed = PackDib(dib);
  Dib again;
  ASSERT_EQ(ParsePackedDib(packed.data(), packed.size(), again), kDibOk);
  EXPECT_EQ(again.info, dib.info);
  EXPECT_EQ(again.bits, dib.bits);
  Dib cut;
  EXPECT_EQ(ParsePackedDib(packed.data(), packed.size() - 1, cut), kDibTruncated);
  EXPECT_EQ(ParsePackedDib(packed.data(), 30, cut), kDibTruncated);
}

TEST(WrxDib, PlaceableMetafileHeaderAndBodySize) {
  std::vector<uint8_t> f(22 + 18, 0);
  Put32(&f[0], kPlaceableKey);
  Put16(&f[10], 1440), Put16(&f[12], 720), Put16(&f[14], 1440);
  Placeable p;
  ASSERT_TRUE(ParsePlaceable(f.data(), f.size(), p));
  EXPECT_EQ(p.right, 1440);
  EXPECT_EQ(p.bottom, 720);
  uint8_t* body = &f[22];
  Put16(body, 1), Put16(body + 2, 9), Put32(body + 6, 9);
  EXPECT_EQ(MetafileBytes(body, 18), 18u);
  Put32(body + 6, 1000);  // claims more than the file holds
  EXPECT_EQ(MetafileBytes(body, 18), 0u);
  Put32(&f[0], 0x12345678);
  EXPECT_FALSE(ParsePlaceable(f.data(), f.size(), p));
  EXPECT_FALSE(ParsePlaceable(f.data(), 21, p));
}

namespace {

// 24-bit rows (blue, green, red), padded to 4 bytes.
std::vector<uint8_t> TrueColourRows(const std::vector<uint32_t>& rgb, int32_t width) {
  const size_t stride = wrxdib::RowBytes(width, 24);
  const int32_t height = int32_t(rgb.size()) / width;
  std::vector<uint8_t> bits(stride * size_t(height));
  for (size_t i = 0; i < rgb.size(); ++i) {
    uint8_t* p = bits.data() + (i / size_t(width)) * stride + (i % size_t(width)) * 3;
    p[0] = uint8_t(rgb[i]), p[1] = uint8_t(rgb[i] >> 8), p[2] = uint8_t(rgb[i] >> 16);
  }
  return bits;
}

}  // namespace

TEST(WrxDib, OwnPaletteCutsColoursKeepsTheMostUsedAndLeavesThePixelsAlone) {
  // Two shades that cut to one colour count together; the most used first.
  std::vector<uint32_t> pixels = {0x102030, 0x1F2F3F, 0x102030, 0xFF0000, 0x00FF00};
  std::vector<uint8_t> bits = TrueColourRows(pixels, 5);
  const std::vector<uint8_t> before = bits;
  auto table = wrxdib::BuildOwnPalette(bits.data(), bits.size(), 5, 1);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].red, 0x10);
  EXPECT_EQ(table[0].green, 0x20);
  EXPECT_EQ(table[0].blue, 0x30);
  EXPECT_EQ(table[0].uses, 3u);
  EXPECT_EQ(bits, before) << "the picture keeps its own colours";

  // 300 distinct colours: the table stops at 236 and the newest colours
  // replace the least used; a colour seen often stays.
  pixels.clear();
  for (int i = 0; i < 50; ++i) pixels.push_back(0xF0F0F0);
  for (uint32_t i = 0; i < 300; ++i) pixels.push_back(((i % 16) << 4) | (((i / 16) % 16) << 12) | ((i / 256) << 20));
  bits = TrueColourRows(pixels, 35);
  table = wrxdib::BuildOwnPalette(bits.data(), bits.size(), 35, 10);
  ASSERT_EQ(table.size(), wrxdib::kOwnPaletteEntries);
  EXPECT_EQ(table[0].red, 0xF0);
  EXPECT_EQ(table[0].uses, 50u);
  uint32_t total = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    total += table[i].uses;
    if (i) {
      EXPECT_LE(table[i].uses, table[i - 1].uses) << "sorted by use";
    }
  }
  EXPECT_EQ(total, 50u + 235u) << "each colour that gave way took its count with it";
  const bool lastKept = std::any_of(table.begin(), table.end(), [](const wrxdib::PaletteEntry& e) {
    return e.red == 0x10 && e.green == ((299 / 16) % 16) << 4 && e.blue == (299 % 16) << 4;
  });
  EXPECT_TRUE(lastKept) << "the newest colour has a place";

  // Bits too short for the rows give no table.
  EXPECT_TRUE(wrxdib::BuildOwnPalette(bits.data(), 10, 35, 10).empty());
}
