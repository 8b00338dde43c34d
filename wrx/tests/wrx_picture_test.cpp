// Pictures between their forms: packed DIBs, device bitmaps for displays of
// 8, 24 and 32 bits, and metafiles carried as blocks of their bits.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wrxtest;

namespace {

int g_depth = 32;
int TestDepth(HDC) { return g_depth; }

// Colours of a test picture, top row first.
COLORREF Expected(int bits, int x, int y) {
  if (bits <= 8) {
    const int index = (x + 2 * y) % (1 << bits);
    return RGB(index * 37 % 256, index * 91 % 256, 255 - index);
  }
  return RGB(x * 30, y * 70 + 5, (x * y * 13) & 0xFF);
}

// A packed DIB of the test picture, its rows stored bottom-up or top-down.
std::vector<uint8_t> MakePacked(int bits, int width, int height, bool topDown, uint32_t clrUsed = 0) {
  const uint32_t colours = bits <= 8 ? (clrUsed ? clrUsed : 1u << bits) : clrUsed;
  const size_t stride = wrxdib::RowBytes(width, bits);
  std::vector<uint8_t> d(40 + 4 * colours + stride * size_t(height), 0);
  wrxdib::Put32(&d[0], 40);
  wrxdib::Put32(&d[4], uint32_t(width));
  wrxdib::Put32(&d[8], uint32_t(topDown ? -height : height));
  wrxdib::Put16(&d[12], 1);
  wrxdib::Put16(&d[14], uint16_t(bits));
  wrxdib::Put32(&d[32], clrUsed);
  for (uint32_t i = 0; i < colours && bits <= 8; ++i) {
    const COLORREF c = RGB(i * 37 % 256, i * 91 % 256, 255 - i);
    d[40 + 4 * i] = GetBValue(c), d[41 + 4 * i] = GetGValue(c), d[42 + 4 * i] = GetRValue(c);
  }
  uint8_t* pixels = d.data() + 40 + 4 * colours;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + stride * size_t(topDown ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const COLORREF c = Expected(bits, x, y);
      if (bits <= 8) {
        const int index = (x + 2 * y) % (1 << bits);
        const int perByte = 8 / bits, shift = 8 - bits * (x % perByte + 1);
        row[x / perByte] |= uint8_t(index << shift);
      } else {
        uint8_t* p = row + x * (bits / 8);
        p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
      }
    }
  }
  return d;
}

// The colours of a stored picture, top row first.
std::vector<COLORREF> Decode(const WrxPictData& p) {
  const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(p.info.data());
  const int width = h->biWidth, height = std::abs(h->biHeight), bits = h->biBitCount;
  const size_t stride = wrxdib::RowBytes(width, bits);
  const uint8_t* table = p.info.data() + 40;
  std::vector<COLORREF> out;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = p.image.data() + stride * size_t(h->biHeight < 0 ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) {
      if (bits <= 8) {
        const int perByte = 8 / bits, shift = 8 - bits * (x % perByte + 1);
        const int index = (row[x / perByte] >> shift) & ((1 << bits) - 1);
        const uint8_t* q = table + 4 * index;
        out.push_back(RGB(q[2], q[1], q[0]));
      } else {
        const uint8_t* q = row + x * (bits / 8);
        out.push_back(RGB(q[2], q[1], q[0]));
      }
    }
  }
  return out;
}

HGLOBAL ToGlobal(const void* data, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  memcpy(GlobalLock(h), data, size);
  GlobalUnlock(h);
  return h;
}

std::string BlockBytes(HGLOBAL block) {
  const size_t n = MetafileBlockBytes(block);
  std::string s(static_cast<const char*>(GlobalLock(block)), n);
  GlobalUnlock(block);
  return s;
}

HMETAFILE SmallMetafile() {
  HDC mdc = CreateMetaFileA(nullptr);
  SetWindowExtEx(mdc, 100, 50, nullptr);
  Rectangle(mdc, 5, 5, 60, 40);
  MoveToEx(mdc, 0, 0, nullptr);
  LineTo(mdc, 99, 49);
  return CloseMetaFile(mdc);
}

class WrxPictureTest : public WrxHostTest {
 protected:
  void SetUp() override {
    WrxHostTest::SetUp();
    g_wrxPictureHooks.displayBits = TestDepth;
    hwnd_ = CreateFromText("x\r\n");
    windows_.push_back(hwnd_);
    w_ = GetWrxWindow(hwnd_);
  }
  void TearDown() override {
    g_wrxPictureHooks = kDefaultWrxPictureHooks;
    g_depth = 32;
    WrxHostTest::TearDown();
  }
  int Extract(const std::vector<uint8_t>& packed) {
    HGLOBAL h = ToGlobal(packed.data(), packed.size());
    const int id = ExtractDIB(w_, h);
    GlobalFree(h);
    return id;
  }
  int PicturesInUse() const {
    int n = 0;
    for (int id = 0; id < w_->fontCount; ++id)
      if (w_->fonts[id].inUse && (w_->fonts[id].style & 128)) ++n;
    return n;
  }
  HWND hwnd_ = nullptr;
  WrxWindow* w_ = nullptr;
};

}  // namespace

TEST_F(WrxPictureTest, DibToDeviceBitmapAndBackKeepsEveryPixel) {
  const int width = 7, height = 3;  // odd: rows are padded
  for (int depth : {24, 32})
    for (int bits : {1, 4, 8, 24, 32})
      for (bool topDown : {false, true}) {
        SCOPED_TRACE(std::to_string(bits) + " bits at depth " + std::to_string(depth) +
                     (topDown ? ", top-down" : ", bottom-up"));
        g_depth = depth;
        const int id = Extract(MakePacked(bits, width, height, topDown));
        ASSERT_GT(id, 0);
        const WrxPictData& p = *w_->fonts[id].pict;
        ASSERT_NE(p.bitmap.handle, nullptr);
        EXPECT_EQ(p.colours, bits <= 8 ? 1u << bits : 0u);
        EXPECT_TRUE(p.palette.empty()) << "no own palette off 8-bit displays";
        std::vector<COLORREF> expected;
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x) expected.push_back(Expected(bits, x, y));
        EXPECT_EQ(Decode(p), expected) << "the stored DIB";
        const int back = Bitmap2DIB(w_, p.bitmap.handle);
        ASSERT_GT(back, 0);
        EXPECT_EQ(Decode(*w_->fonts[back].pict), expected) << "read back from the device bitmap";
        FreeFontEntry(w_, back), InitFontEntry(w_, back);
        FreeFontEntry(w_, id), InitFontEntry(w_, id);
      }
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(WrxPictureTest, TrueColourOnAnEightBitDisplayGetsItsOwnPaletteFromACopy) {
  g_depth = 8;
  // 300 distinct colours after the cut to 4 bits per component.
  const int width = 300;
  std::vector<uint8_t> packed = MakePacked(24, width, 1, false);
  uint8_t* row = packed.data() + 40;
  for (int x = 0; x < width; ++x)
    row[3 * x] = uint8_t((x % 16) << 4 | 0x0F), row[3 * x + 1] = uint8_t((x / 16 % 16) << 4),
            row[3 * x + 2] = uint8_t((x / 256) << 4 | 0x07);
  const std::vector<uint8_t> bitsBefore(row, row + wrxdib::RowBytes(width, 24));
  const int id = Extract(packed);
  ASSERT_GT(id, 0);
  const WrxPictData& p = *w_->fonts[id].pict;
  EXPECT_EQ(p.palette.size(), 236u);
  EXPECT_EQ(p.image, bitsBefore) << "the picture keeps its own colours";
  // A picture with a colour table needs no palette of its own.
  const int indexed = Extract(MakePacked(8, 5, 5, false));
  ASSERT_GT(indexed, 0);
  EXPECT_TRUE(w_->fonts[indexed].pict->palette.empty());
  EXPECT_EQ(w_->fonts[indexed].pict->colours, 256u);
}

TEST_F(WrxPictureTest, PackedDibHeadersAreSizedByBitsAndColoursUsed) {
  struct Case {
    int bits;
    uint32_t clrUsed;
    size_t info;
    uint32_t colours;
  } cases[] = {
      {1, 0, 48, 2}, {4, 0, 104, 16}, {8, 0, 1064, 256}, {8, 3, 52, 3}, {24, 0, 40, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.clrUsed) + " used");
    const int id = Extract(MakePacked(c.bits, 3, 2, false, c.clrUsed));
    ASSERT_GT(id, 0);
    EXPECT_EQ(w_->fonts[id].pict->info.size(), c.info);
    EXPECT_EQ(w_->fonts[id].pict->colours, c.colours);
  }
  // A 1-bit picture 3 pixels wide without an image size: 4 bytes a row.
  const int id = Extract(MakePacked(1, 3, 5, false));
  ASSERT_GT(id, 0);
  EXPECT_EQ(w_->fonts[id].pict->image.size(), 20u);
}

TEST_F(WrxPictureTest, ShortAndLyingPackedDibsAreRefusedAndLeaveNoPicture) {
  SetWrxFlags(hwnd_, WRXF_SILENT);
  std::vector<uint8_t> good = MakePacked(8, 10, 10, false);
  auto with = [&good](size_t at, uint32_t value) {
    std::vector<uint8_t> d = good;
    wrxdib::Put32(&d[at], value);
    return d;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
  } cases[] = {
      {"cut inside the bits", std::vector<uint8_t>(good.begin(), good.end() - 10)},
      {"cut inside the colour table", std::vector<uint8_t>(good.begin(), good.begin() + 300)},
      {"a header of 3 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 3)},
      {"a huge width", with(4, 0x7FFFFFFF)},
      {"a huge height", with(8, 0x40000000)},
      {"more colours than the bits allow", with(32, 1000)},
      {"an unknown header size", with(0, 7)},
  };
  const int before = PicturesInUse();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_errors.clear();
    EXPECT_EQ(Extract(c.block), -1);
    EXPECT_EQ(g_errors, std::vector<int>{24});
    EXPECT_EQ(PicturesInUse(), before);
  }
}

TEST_F(WrxPictureTest, MetafileBlocksKeepTheirBytesAndLyingOnesAreKept) {
  HGLOBAL first = MetafileToBlock(SmallMetafile());
  ASSERT_NE(first, nullptr);
  const std::string bytes = BlockBytes(first);
  ASSERT_GT(bytes.size(), 18u);
  EXPECT_GE(GlobalSize(first), bytes.size() + 1);
  HMETAFILE again = MetafileFromBlock(first);
  ASSERT_NE(again, nullptr);
  HGLOBAL second = MetafileToBlock(again);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(BlockBytes(second), bytes);
  GlobalFree(second);

  struct Case {
    const char* what;
    std::string block;
  } cases[] = {
      {"a size past the block",
       [&] {
         std::string s = bytes;
         wrxdib::Put32(reinterpret_cast<uint8_t*>(&s[6]), 0x7FFFFFFF);
         return s;
       }()},
      {"cut to 10 bytes", bytes.substr(0, 10)},
      {"no metafile header", std::string(bytes.size(), 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HGLOBAL h = ToGlobal(c.block.data(), c.block.size());
    EXPECT_EQ(MetafileFromBlock(h), nullptr);
    // Still the caller's, unchanged.
    const char* p = static_cast<const char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, c.block.size()), c.block);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
  }
}

TEST_F(WrxPictureTest, DibToMetafileDrawsThePictureAndLeavesItADib) {
  const int width = 7, height = 3;
  const int id = Extract(MakePacked(24, width, height, false));
  ASSERT_GT(id, 0);
  const std::vector<uint8_t> image = w_->fonts[id].pict->image;
  HMETAFILE mf = DibToMetafile(w_, id);
  ASSERT_NE(mf, nullptr);
  EXPECT_EQ(w_->fonts[id].kind, 0);
  EXPECT_EQ(w_->fonts[id].pict->image, image);
  // Played at its own size, it gives the picture's pixels.
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP section = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, section);
  PlayMetaFile(mem, mf);
  GdiFlush();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t px = static_cast<const uint32_t*>(bits)[y * width + x];
      const COLORREF got = RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
      EXPECT_EQ(got, Expected(24, x, y)) << x << "," << y;
    }
  SelectObject(mem, old);
  DeleteObject(section);
  DeleteDC(mem);
  DeleteMetaFile(mf);
}

TEST_F(WrxPictureTest, MetafileFailuresSayWhatWentWrong) {
  // A clipboard metafile picture whose memory is gone.
  HGLOBAL gone = GlobalAlloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, sizeof(METAFILEPICT));
  GlobalDiscard(gone);
  EXPECT_EQ(WrxPastePicture(hwnd_, CF_METAFILEPICT, gone, 0, 0, 0), 0);
  // A placeable metafile whose body is of an unknown version.
  HGLOBAL block = MetafileToBlock(SmallMetafile());
  std::string body = BlockBytes(block);
  GlobalFree(block);
  body[4] = 0x01;  // version 0x100
  std::string file(22, '\0');
  wrxdib::Put32(reinterpret_cast<uint8_t*>(&file[0]), wrxdib::kPlaceableKey);
  wrxdib::Put16(reinterpret_cast<uint8_t*>(&file[10]), 100);
  wrxdib::Put16(reinterpret_cast<uint8_t*>(&file[12]), 50);
  wrxdib::Put16(reinterpret_cast<uint8_t*>(&file[14]), 1440);
  const std::string name = TempDir() + "\\odd_version.wmf";
  WriteFileBytes(name, file + body);
  EXPECT_EQ(WrxMetafileFromFile(hwnd_, name.c_str(), 0, 0), 0);
  DeleteFileA(name.c_str());
  const std::vector<int> codes{50, 11, 56};
  const std::vector<std::string> routines{"Clipboard", "WrxPastePicture", "WrxMetafileFromFile"};
  EXPECT_EQ(g_errors, codes);
  EXPECT_EQ(g_routines, routines);
  EXPECT_STREQ(WrxErrorText(50), "Could Not Obtain Buffer Lock.");
  EXPECT_STREQ(WrxErrorText(51), "Error accessing meta file data");
  EXPECT_STREQ(WrxErrorText(56), "Error recreating meta file");
  GlobalFree(gone);
}

TEST_F(WrxPictureTest, PictureSizeAndAlignmentAtTheCursor) {
  SetWrxFlags(hwnd_, WRXF_SILENT);
  const int id = Extract(MakePacked(24, 40, 20, false));
  ASSERT_GT(id, 0);
  SetWrxCursorPos(hwnd_, 0, 0, 0);
  ASSERT_EQ(InsertObjectChar(w_, id, 0), 1);
  SetWrxCursorPos(hwnd_, 0, 0, 0);
  const WrxPictData& p = *w_->fonts[id].pict;
  struct Case {
    int width, height, alignment;
    int result;
    int32_t points[2];  // width, height after
    int alignmentAfter;
  } cases[] = {
      {100, 50, 1, 1, {72, 36}, 1},     // an inch by half an inch
      {-1, 200, -1, 1, {72, 144}, 1},   // one side kept
      {9, 50, 0, 0, {72, 144}, 1},      // below a tenth of an inch
      {100, 1501, 0, 0, {72, 144}, 1},  // above fifteen inches
      {100, 100, 3, 0, {72, 144}, 1},   // no such alignment
      {1500, 10, 2, 1, {1080, 7}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + std::to_string(c.alignment));
    const long modified = w_->modified;
    EXPECT_EQ(EditPictureParam(hwnd_, c.width, c.height, c.alignment), c.result);
    EXPECT_EQ(p.width, c.points[0]);
    EXPECT_EQ(p.height, c.points[1]);
    EXPECT_EQ(p.alignMode, c.alignmentAfter);
    EXPECT_EQ(w_->modified, modified + c.result);
    if (c.result) {
      EXPECT_EQ(w_->fonts[id].widths['_'], MulDiv(c.points[0], w_->resX, 72)) << "screen width";
      EXPECT_EQ(w_->fonts[id].lineHeight, MulDiv(c.points[1], w_->resY, 72)) << "screen height";
    }
  }
  // Anywhere but on a picture, nothing changes.
  SetWrxCursorPos(hwnd_, 0, 1, 0);
  EXPECT_EQ(EditPictureParam(hwnd_, 200, 200, 0), 0);
  EXPECT_EQ(p.width, 1080);
}

TEST_F(WrxPictureTest, BmpFilesMadeByImageMagickLoadWithTheirSizesAndShortOnesFail) {
  const std::string dir = MAGICK_BMP_DIR;
  if (GetFileAttributesA((dir + "/BMP3_24.bmp").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no ImageMagick pictures";
  SetWrxFlags(hwnd_, WRXF_SILENT);
  for (const char* form : {"BMP2", "BMP3"})
    for (int bits : {1, 4, 8, 24}) {
      const std::string name = dir + "/" + form + "_" + std::to_string(bits) + ".bmp";
      SCOPED_TRACE(name);
      const std::string bytes = ReadFileBytes(name);
      ASSERT_GT(bytes.size(), 54u);
      // What ImageMagick made: the header form and bit count asked for.
      const auto* head = reinterpret_cast<const uint8_t*>(bytes.data());
      const bool core = wrxdib::Get32(head + 14) == 12;
      EXPECT_EQ(core, std::string(form) == "BMP2");
      EXPECT_EQ(wrxdib::Get16(head + (core ? 24 : 28)), bits);
      const int id = WrxPictureFromFile(hwnd_, name.c_str(), 0, 0);
      ASSERT_GT(id, 0);
      const WrxPictData& p = *w_->fonts[id].pict;
      const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(p.info.data());
      EXPECT_EQ(info->biWidth, 37);
      EXPECT_EQ(std::abs(info->biHeight), 23);
      EXPECT_EQ(info->biSize, 40u) << "core headers are widened";
      EXPECT_EQ(p.width, MulDiv(37, 72, w_->resX));
      // Drawn through the display's bitmap: the black bar left, white at the
      // top right, blue at the bottom right.
      ASSERT_NE(p.bitmap.handle, nullptr);
      const int back = Bitmap2DIB(w_, p.bitmap.handle);
      ASSERT_GT(back, 0);
      const std::vector<COLORREF> px = Decode(*w_->fonts[back].pict);
      ASSERT_EQ(px.size(), size_t(37 * 23));
      EXPECT_EQ(px[2 * 37 + 3], RGB(0, 0, 0));
      EXPECT_GT(GetRValue(px[0 * 37 + 30]), 200);
      if (bits > 1) {
        EXPECT_GT(GetBValue(px[22 * 37 + 30]), GetRValue(px[22 * 37 + 30]) + 100);
      }
      // The same file cut short fails and makes no picture.
      const std::string cut = TempDir() + "\\cut.bmp";
      WriteFileBytes(cut, bytes.substr(0, bytes.size() - 20));
      const int before = PicturesInUse();
      g_errors.clear();
      EXPECT_EQ(WrxPictureFromFile(hwnd_, cut.c_str(), 0, 0), 0);
      EXPECT_EQ(g_errors, std::vector<int>{1});
      EXPECT_EQ(PicturesInUse(), before);
      DeleteFileA(cut.c_str());
    }
}

TEST_F(WrxPictureTest, ClipboardMetafilePicturesTakeTheirSizeFromTheMappingMode) {
  SetWrxFlags(hwnd_, WRXF_SILENT);
  struct Case {
    const char* what;
    LONG mm, x, y;
    int32_t width, height;  // pixels; 0: no picture
  } cases[] = {
      {"2500 anisotropic units are an inch", MM_ANISOTROPIC, 2500, 1250, w_->resX, w_->resY / 2},
      {"text mode extents are pixels", MM_TEXT, 40, 20, 40, 20},
      {"an isotropic picture has no size", MM_ISOTROPIC, 2500, 2500, 0, 0},
      {"a zero extent", MM_ANISOTROPIC, 0, 2500, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HDC mdc = CreateMetaFileA(nullptr);
    SetWindowExtEx(mdc, 10, 10, nullptr);
    HGDIOBJ old = SelectObject(mdc, GetStockObject(BLACK_BRUSH));
    Rectangle(mdc, 0, 0, 10, 10);
    SelectObject(mdc, old);
    HMETAFILE mf = CloseMetaFile(mdc);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    *static_cast<METAFILEPICT*>(GlobalLock(h)) = METAFILEPICT{c.mm, c.x, c.y, mf};
    GlobalUnlock(h);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_METAFILEPICT, h), nullptr);
    CloseClipboard();
    g_errors.clear();
    SetWrxCursorPos(hwnd_, 0, 0, 0);
    const std::string before = LineText(hwnd_, 0);
    CopyFromClipboard(w_, 0);
    const int id = GetCharFont(w_, 0, 0);
    if (!c.width) {
      EXPECT_EQ(LineText(hwnd_, 0), before);
      EXPECT_EQ(g_errors, std::vector<int>{11});
      continue;
    }
    ASSERT_TRUE(w_->fonts[id].style & 128);
    const WrxPictData& p = *w_->fonts[id].pict;
    const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(p.info.data());
    EXPECT_EQ(info->biWidth, c.width);
    EXPECT_EQ(std::abs(info->biHeight), c.height);
    // The metafile was drawn: its black fills the picture.
    const std::vector<COLORREF> px = Decode(p);
    EXPECT_EQ(px[size_t(c.height / 2) * size_t(c.width) + size_t(c.width / 2)], RGB(0, 0, 0));
    EXPECT_TRUE(g_errors.empty());
  }
}
