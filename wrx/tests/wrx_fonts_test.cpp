// The font table, its compaction, and the font cache shared by all windows.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wrxtest;

namespace {

class WrxFontsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRecords(); }
  void TearDown() override { EXPECT_TRUE(g_boxes.empty()); }
};

int AddFont(HWND hwnd, int size, DWORD style = 0, int keepMatching = 1) {
  return SetWrxFont(hwnd, -1, keepMatching, "Arial", size, style, 0, 0xFFFFFF, 0, 0);
}

}  // namespace

TEST_F(WrxFontsTest, EqualRequestsShareAnIdAndStylesToggleCleanly) {
  HWND hwnd = CreateFromText("plain text here\r\n");
  const int bold = AddFont(hwnd, 12, 2);
  EXPECT_EQ(AddFont(hwnd, 12, 2), bold) << "an equal entry is found, not added";
  EXPECT_NE(AddFont(hwnd, 12, 2, 0), bold) << "without matching a new entry is made";
  EXPECT_EQ(SetWrxFont(hwnd, WRX_MAXFONTS, 1, "Arial", 12, 0, 0, 0, 0, 0), -1);

  SelectWrxText(hwnd, 0, 0, 0, 5, 0);
  ASSERT_EQ(WrxSetCharStyle(hwnd, 2, 1, 0), 1);
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 0), bold) << "bold on existing bold text reuses its id";
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 6), 0);
  ASSERT_EQ(WrxSetCharStyle(hwnd, 32, 1, 0), 1);  // subscript
  ASSERT_EQ(WrxSetCharStyle(hwnd, 16, 1, 0), 1);  // superscript clears it
  DWORD style = 0;
  GetWrxFontInfo(hwnd, GetWrxCharFont(hwnd, 0, 1), nullptr, nullptr, &style);
  EXPECT_EQ(style, DWORD(2 | 16));
  ASSERT_EQ(SetWrxPointSize(hwnd, 20, 0), 1);
  ASSERT_EQ(SetWrxFontFace(hwnd, "Courier New", 0), 1);
  char face[32];
  int size = 0;
  GetWrxFontInfo(hwnd, GetWrxCharFont(hwnd, 0, 4), face, &size, &style);
  EXPECT_STREQ(face, "Courier New");
  EXPECT_EQ(size, 20);
  EXPECT_EQ(style, DWORD(2 | 16));
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 5), 0) << "the block ends before column 5";

  // Without a block the change goes to the font of the next typed
  // character, which starts from the font at the cursor.
  DeselectWrxText(hwnd, 0);
  SetWrxCursorPos(hwnd, 0, 8, 0);
  WrxSetCharStyle(hwnd, 4, 1, 0);
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_GE(w->inputFont, 0);
  EXPECT_EQ(w->fonts[w->inputFont].style, DWORD(4));
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 8), 0) << "the text itself is unchanged";
  CloseWrx(hwnd, 0);
}

TEST_F(WrxFontsTest, MeasuresSuperscriptSmallerAndHiddenTextAsNothing) {
  HWND hwnd = CreateFromText("x\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  const int normal = AddFont(hwnd, 10);
  const int super = AddFont(hwnd, 10, 16);
  const int hidden = AddFont(hwnd, 10, 64);
  EXPECT_GT(w->fonts[normal].widths['W'], 0);
  EXPECT_LT(w->fonts[super].lineHeight, w->fonts[normal].lineHeight);
  EXPECT_EQ(w->fonts[hidden].widths['W'], 0);
  EXPECT_EQ(w->fonts[hidden].lineHeight, 0);
  EXPECT_EQ(w->fonts[normal].widths[WRX_PARAEND], w->fonts[normal].widths[182]);
  // Metric-compatible faces: Arial is wider than Courier New for 'W' but
  // narrower for 'i' at the same size.
  const int mono = SetWrxFont(hwnd, -1, 1, "Courier New", 10, 0, 0, 0xFFFFFF, 0, 0);
  EXPECT_EQ(w->fonts[mono].widths['i'], w->fonts[mono].widths['W']);
  EXPECT_LT(w->fonts[normal].widths['i'], w->fonts[normal].widths['W']);
  CloseWrx(hwnd, 0);
}

TEST_F(WrxFontsTest, TheTableCompactsAtTheTwoHundredAndFiftyFourthFont) {
  HWND hwnd = CreateFromText("abc\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  // 252 distinct fonts; the text uses two of them, and 5 is defined twice.
  std::vector<int> ids;
  for (int i = 1; i < WRX_MAXFONTS; ++i) ids.push_back(AddFont(hwnd, i + 4, 0, 0));
  ASSERT_EQ(w->fontCount, WRX_MAXFONTS);
  const int duplicate = SetWrxFont(hwnd, 200, 0, "Arial", 5 + 4, 0, 0, 0xFFFFFF, 0, 0);  // same as id 5
  ASSERT_EQ(duplicate, 200);
  unsigned char used[3] = {uint8_t(ids[9]), 200, uint8_t(ids[9])};
  ASSERT_EQ(SetWrxLine(hwnd, 0, "abc", used), 1);
  const int next = AddFont(hwnd, 400);
  ASSERT_GT(next, 0);
  EXPECT_EQ(w->fontCount, WRX_MAXFONTS);
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 0), ids[9]);
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 1), 5) << "a duplicate is folded into its first id";
  int inUse = 0;
  for (int id = 0; id < w->fontCount; ++id) inUse += w->fonts[id].inUse != 0;
  EXPECT_EQ(inUse, 4) << "default, the two used, and the new one";

  // All 253 distinct and used: nothing can be freed.
  std::string text(WRX_MAXFONTS, 'x');
  std::vector<unsigned char> all(WRX_MAXFONTS);
  for (int i = 0; i < WRX_MAXFONTS - inUse; ++i) ASSERT_GE(AddFont(hwnd, 600 + i, 0, 0), 0);
  for (int id = 0; id < WRX_MAXFONTS; ++id) all[size_t(id)] = uint8_t(id);
  ASSERT_EQ(SetWrxLine(hwnd, 0, text.c_str(), all.data()), 1);
  EXPECT_EQ(AddFont(hwnd, 999), -1);
  EXPECT_EQ(GetWrxLastError(nullptr, 0), 106);
  CloseWrx(hwnd, 0);
}

TEST_F(WrxFontsTest, TwoWindowsShareOneCachedFont) {
  HWND a = CreateFromText("a\r\n");
  HWND b = CreateFromText("b\r\n");
  WrxWindow* wa = GetWrxWindow(a);
  WrxWindow* wb = GetWrxWindow(b);
  ASSERT_GE(wa->fonts[0].cacheIndex, 0);
  EXPECT_EQ(wa->fonts[0].cacheIndex, wb->fonts[0].cacheIndex);
  EXPECT_EQ(wa->fonts[0].font, wb->fonts[0].font);
  const int index = wa->fonts[0].cacheIndex;
  const int uses = FontCacheUseCount(index);
  EXPECT_GE(uses, 2);
  const int entries = FontCacheEntries();
  const int fa = AddFont(a, 17, 4);
  const int fb = AddFont(b, 17, 4);
  EXPECT_EQ(wa->fonts[fa].font, wb->fonts[fb].font);
  EXPECT_EQ(FontCacheEntries(), entries + 1);
  CloseWrx(a, 0);
  EXPECT_EQ(FontCacheUseCount(index), uses - 1);
  CloseWrx(b, 0);
}
