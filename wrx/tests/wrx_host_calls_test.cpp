// Host calls the HTML reader and other hosts build on: paragraph records,
// pictures from files and memory, embedded controls, object characters and
// text by absolute position.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wrxtest;

namespace {

class WrxHostCallsTest : public WrxHostTest {};

// A 24-bit BMP of the given size, every pixel the same colour.
std::string Bmp24(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  const size_t row = wrxdib::RowBytes(width, 24);
  std::string f(14 + 40 + row * size_t(height), '\0');
  auto* p = reinterpret_cast<uint8_t*>(&f[0]);
  p[0] = 'B', p[1] = 'M';
  wrxdib::Put32(p + 2, uint32_t(f.size()));
  wrxdib::Put32(p + 10, 54);
  wrxdib::Put32(p + 14, 40);
  wrxdib::Put32(p + 18, uint32_t(width));
  wrxdib::Put32(p + 22, uint32_t(height));
  wrxdib::Put16(p + 26, 1);
  wrxdib::Put16(p + 28, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* px = p + 54 + size_t(y) * row + size_t(x) * 3;
      px[0] = b, px[1] = g, px[2] = r;
    }
  return f;
}

std::vector<uint8_t> LineIds(HWND hwnd, long line) {
  unsigned char ids[2100];
  const int n = GetWrxLine(hwnd, line, nullptr, 0, ids, sizeof ids);
  return n < 0 ? std::vector<uint8_t>() : std::vector<uint8_t>(ids, ids + n);
}

}  // namespace

TEST_F(WrxHostCallsTest, ParagraphRecordsAreWrittenSharedOrAddedOnRequest) {
  HWND hwnd = CreateFromText("one\r\ntwo\r\n", WRX_WORDWRAP);
  windows_.push_back(hwnd);
  WrxWindow* w = GetWrxWindow(hwnd);
  const size_t before = w->paras.size();
  const int a = SetWrxParaFmt(hwnd, -1, 1, 600, 0, -300, 0, 0, 0x2000, 0, 0, 0, 0, 0, PF_CENTRED);
  ASSERT_GE(a, 1);
  EXPECT_EQ(SetWrxParaFmt(hwnd, -1, 1, 600, 0, -300, 0, 0, 0x2000, 0, 0, 0, 0, 0, PF_CENTRED), a) << "shared";
  const int b = SetWrxParaFmt(hwnd, -1, 0, 600, 0, -300, 0, 0, 0x2000, 0, 0, 0, 0, 0, PF_CENTRED);
  EXPECT_NE(b, a) << "share off always adds";
  EXPECT_EQ(w->paras.size(), before + 2);
  // A border above or below gets room for its line.
  const int boxed = SetWrxParaFmt(hwnd, -1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -15, PF_BORDERTOP | PF_BORDERBOTTOM);
  EXPECT_EQ(w->paras[size_t(boxed)].spaceBefore, 60);
  EXPECT_EQ(w->paras[size_t(boxed)].spaceAfter, 40);
  // An explicit id clears the records below it and writes exactly that one.
  EXPECT_EQ(SetWrxParaFmt(hwnd, 20, 1, 100, 200, 0, 0, 0, 0, 12000, 0, 0, 0, 0, PF_RIGHT), 20);
  ASSERT_EQ(w->paras.size(), 21u);
  EXPECT_EQ(w->paras[19].flags, 0);
  EXPECT_EQ(w->paras[20].rightIndent, 200);
  EXPECT_EQ(w->paras[20].shading, 10000);
  EXPECT_EQ(SetWrxParaFmt(hwnd, 5000, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), -1) << "beyond the capacity";
  EXPECT_EQ(SetWrxParaFmt(nullptr, -1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), -1);
}

TEST_F(WrxHostCallsTest, BitmapFilesBecomePictureCharactersWithTheirSizes) {
  const std::string dir = TempDir();
  const std::string good = dir + "\\red.bmp", lying = dir + "\\lying.bmp";
  WriteFileBytes(good, Bmp24(30, 20, 255, 0, 0));
  std::string bad = Bmp24(30, 20, 255, 0, 0);
  wrxdib::Put32(reinterpret_cast<uint8_t*>(&bad[22]), 5000);  // claims 5000 rows
  WriteFileBytes(lying, bad);
  HWND hwnd = CreateFromText("ab\r\n");
  windows_.push_back(hwnd);
  SetWrxCursorPos(hwnd, 0, 1, 0);
  const int id = WrxPictureFromFile(hwnd, good.c_str(), 0, 1);
  ASSERT_GT(id, 0);
  EXPECT_EQ(LineText(hwnd, 0), "a_b");
  EXPECT_EQ(LineIds(hwnd, 0)[1], id);
  DWORD flags = 0;
  int align = -1, aux = -1;
  ASSERT_TRUE(GetWrxPictInfo(hwnd, id, &flags, nullptr, &align, &aux));
  EXPECT_TRUE(flags & 128);
  WrxWindow* w = GetWrxWindow(hwnd);
  EXPECT_EQ(w->fonts[id].lineHeight, MulDiv(MulDiv(20, 72, w->resY), w->resY, 72));
  EXPECT_TRUE(SetWrxPictInfo(hwnd, id, 128 | 0x4000, 1, 7));
  ASSERT_TRUE(GetWrxPictInfo(hwnd, id, &flags, nullptr, &align, &aux));
  EXPECT_EQ(flags, DWORD(128 | 0x4000));
  EXPECT_EQ(align, 1);
  EXPECT_EQ(aux, 7);
  EXPECT_EQ(w->fonts[id].baseLine, w->fonts[id].lineHeight / 2) << "centred on the base line";
  char name[MAX_PATH] = "x";
  EXPECT_TRUE(WrxPictLinkFile(hwnd, id, 0, const_cast<char*>(good.c_str())));
  EXPECT_TRUE(WrxPictLinkFile(hwnd, id, 1, name));
  EXPECT_EQ(std::string(name), good);
  // A header that claims more than the file holds fails cleanly.
  SetWrxFlags(hwnd, WRXF_SILENT);
  EXPECT_EQ(WrxPictureFromFile(hwnd, lying.c_str(), 0, 1), 0);
  EXPECT_EQ(g_errors.back(), 1);
  EXPECT_EQ(LineText(hwnd, 0), "a_b");
  // A text font is no object.
  EXPECT_EQ(WrxInsertObjectId(hwnd, 0, 0), 0);
  EXPECT_EQ(WrxInsertObjectId(hwnd, id, 0), 1);
  EXPECT_EQ(LineText(hwnd, 0), "a__b");
  DeleteFileA(good.c_str());
  DeleteFileA(lying.c_str());
  RemoveDirectoryA(dir.c_str());
}

TEST_F(WrxHostCallsTest, PackedDibsPasteFromAHandleAndLyingOnesFail) {
  HWND hwnd = CreateFromText("x\r\n");
  windows_.push_back(hwnd);
  SetWrxFlags(hwnd, WRXF_SILENT);
  const std::string bmp = Bmp24(8, 4, 0, 0, 255);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bmp.size() - 14);
  memcpy(GlobalLock(h), bmp.data() + 14, bmp.size() - 14);
  GlobalUnlock(h);
  const int id = WrxPastePicture(hwnd, CF_DIB, h, 0, 0, 0);
  EXPECT_GT(id, 0);
  EXPECT_EQ(LineText(hwnd, 0), "x") << "insert 0 only makes the picture";
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  wrxdib::Put32(p + 8, 100000);
  GlobalUnlock(h);
  EXPECT_EQ(WrxPastePicture(hwnd, CF_DIB, h, 0, 0, 0), 0);
  EXPECT_EQ(g_errors.back(), 11);
  GlobalFree(h);
}

TEST_F(WrxHostCallsTest, EmbeddedControlsAreChildWindowsCarryingTheirId) {
  HWND hwnd = CreateFromText("field: \r\n");
  windows_.push_back(hwnd);
  SetWrxCursorPos(hwnd, 0, 7, 0);
  const int id = WrxInsertControl(hwnd, "Edit", 0x10800080, 2880, 400, 0, 2000, 1);
  ASSERT_GT(id, 0);
  HWND edit = GetDlgItem(hwnd, 2000);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetWrxControlWindow(hwnd, id), edit);
  EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & WS_CHILD);
  // The control record keeps the style it was made with: visibility and frame
  // bits removed, a border kept.
  const auto& info = GetWrxWindow(hwnd)->fonts[id].pict->info;
  ASSERT_EQ(info.size(), 68u);
  EXPECT_EQ(wrxdib::Get32(info.data() + 60), 0x44800080u);
  EXPECT_EQ(wrxdib::Get32(info.data() + 64), 2000u);
  int aux = 0;
  ASSERT_TRUE(GetWrxPictInfo(hwnd, id, nullptr, nullptr, nullptr, &aux));
  EXPECT_EQ(aux, 2000);
  EXPECT_EQ(LineText(hwnd, 0), "field: _");
  SetWrxFlags(hwnd, WRXF_SILENT);
  EXPECT_EQ(WrxInsertControl(hwnd, "NoSuchClassHere", 0, 100, 100, 0, 2001, 1), 0);
  EXPECT_EQ(g_errors.back(), 22);
  EXPECT_EQ(LineText(hwnd, 0), "field: _");
}

TEST_F(WrxHostCallsTest, TextByAbsolutePositionIsFoundAndExtracted) {
  HWND hwnd = CreateFromText("Alpha beta\r\ngam\"ma\" delta\r\n", WRX_WORDWRAP);
  windows_.push_back(hwnd);
  WrxRewrap(hwnd);
  char text[64] = "\"MA\"";
  long pos = 0, length = 0;
  EXPECT_EQ(WrxFindText(hwnd, text, nullptr, 0x12, 0, &pos, &length), 0) << "case matters with 16";
  strcpy(text, "\"ma\"");
  ASSERT_EQ(WrxFindText(hwnd, text, nullptr, 0x12, 0, &pos, &length), 1);
  long line = 0;
  int col = 0;
  WrxPosToLineCol(hwnd, pos, &line, &col);
  EXPECT_EQ(LineText(hwnd, line).substr(size_t(col), 4), "\"ma\"");
  // From past the match nothing is found; a match may run over a line end.
  EXPECT_EQ(WrxFindText(hwnd, text, nullptr, 0x12, pos + 1, &pos, &length), 0);
  strcpy(text, "beta");
  ASSERT_EQ(WrxFindText(hwnd, text, nullptr, 2, 0, &pos, &length), 1);
  long end = pos + 3;
  char out[64];
  ASSERT_TRUE(WrxFindText(hwnd, out, nullptr, 8, pos, &end, &length));
  EXPECT_STREQ(out, "beta");
  EXPECT_EQ(length, 4);
  end = 9;
  ASSERT_TRUE(WrxFindText(hwnd, out, nullptr, 8, 10, &end, &length));
  EXPECT_STREQ(out, "");
  EXPECT_EQ(length, 0);
}
