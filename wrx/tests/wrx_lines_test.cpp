// The line store and the memory layer under it.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace wrxtest;

namespace {

class WrxLinesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRecords(); }
  void TearDown() override {
    WrxFailAllocationsAfter(-1);
    for (HWND hwnd : windows_) CloseWrx(hwnd, 0);
    EXPECT_TRUE(g_boxes.empty());
  }
  WrxWindow* Make(const std::string& text, DWORD style = 0, int maxLines = 0) {
    WrxArgList a = HiddenArgs(style);
    a.maxLines = maxLines;
    HWND hwnd = CreateHidden(a);
    windows_.push_back(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    if (!text.empty()) {
      HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size());
      memcpy(GlobalLock(h), text.data(), text.size());
      GlobalUnlock(h);
      EXPECT_EQ(SetWrxBuffer(hwnd, h, long(text.size()), nullptr, 0), 1);
      GlobalFree(h);
    }
    return w;
  }
  std::vector<std::string> Lines(WrxWindow* w) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < w->lineCount; ++i)
      out.emplace_back(w->lines[i]->text ? w->lines[i]->text : "", size_t(w->lines[i]->length));
    return out;
  }
  std::vector<HWND> windows_;
};

}  // namespace

TEST_F(WrxLinesTest, InsertingAndDeletingLinesKeepsAtLeastOne) {
  WrxWindow* w = Make("a\r\nb\r\nc\r\n");
  ASSERT_EQ(InsertDeleteLines(w, 1, 2), 1);
  EXPECT_EQ(Lines(w), (std::vector<std::string>{"a", "", "", "b", "c"}));
  ASSERT_EQ(InsertDeleteLines(w, 3, -2), 1);  // the two lines before line 3
  EXPECT_EQ(Lines(w), (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(ShiftLines(w, 0, 3, 'D'), 1);
  ASSERT_EQ(w->lineCount, 1);
  EXPECT_EQ(w->lines[0]->length, 0);
  EXPECT_TRUE(IsSharedIds(w->lines[0]));
  EXPECT_EQ(SharedId(w->lines[0]), 0);
  ASSERT_EQ(ShiftLines(w, 0, 1, 'A'), 1);
  EXPECT_EQ(w->lineCount, 2);
}

TEST_F(WrxLinesTest, AMaximumLineCountCutsInsertions) {
  WrxWindow* w = Make("", 0, 10);
  ASSERT_EQ(InsertDeleteLines(w, 0, 7), 1);
  EXPECT_EQ(w->lineCount, 8);
  ASSERT_EQ(InsertDeleteLines(w, 0, 5), 1) << "cut to what the maximum allows";
  EXPECT_EQ(w->lineCount, 10);
  EXPECT_EQ(InsertDeleteLines(w, 0, 1), 0);
  EXPECT_EQ(w->lineCount, 10);
}

TEST_F(WrxLinesTest, AbsolutePositionsCountLineEndsOnlyWithoutWordWrap) {
  struct Case {
    DWORD style;
    int32_t line, col;
    long pos;
  } cases[] = {
      {0, 0, 0, 0},
      {0, 1, 1, 5},
      {0, 0, 99, 3},  // past the end: the implicit LF
      {WRX_WORDWRAP, 1, 1, 4},
      {WRX_WORDWRAP, 0, 99, 2},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Make("ab\r\ncd\r\n", c.style);
    EXPECT_EQ(RowColToAbs(w, c.line, c.col), c.pos) << c.style << " " << c.line << "," << c.col;
    int32_t line = -1, col = -1;
    AbsToRowCol(w, 1000, &line, &col);
    EXPECT_EQ(line, 1) << "beyond the document: the last line";
  }
  WrxWindow* w = Make("ab\r\ncd\r\n");
  int32_t line, col;
  AbsToRowCol(w, 5, &line, &col);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(col, 1);
}

TEST_F(WrxLinesTest, CharactersMoveWithTheirFontIds) {
  WrxWindow* w = Make("abcd\r\n");
  HWND hwnd = w->hwnd;
  int bold = SetWrxFont(hwnd, -1, 1, "Arial", 12, 2, 0, 0xFFFFFF, 0, 0);
  unsigned char ids[4] = {0, uint8_t(bold), uint8_t(bold), 0};
  ASSERT_EQ(SetWrxLine(hwnd, 0, "abcd", ids), 1);
  ASSERT_EQ(AdjustFontCodes(w, 0, 1, 2, 'B'), 1);  // opens two at column 1
  memcpy(w->lines[0]->text + 1, "XY", 2);
  unsigned char got[6];
  ASSERT_EQ(GetWrxLine(hwnd, 0, nullptr, 0, got, 6), 6);
  EXPECT_EQ(LineText(hwnd, 0), "aXYbcd");
  EXPECT_EQ(got[1], bold) << "new characters take the id that follows the gap";
  EXPECT_EQ(got[3], bold);
  ASSERT_EQ(AdjustFontCodes(w, 0, 0, 4, 'D'), 1);
  EXPECT_EQ(LineText(hwnd, 0), "cd");
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 0), bold);
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 1), 0);
  // A line whose characters share one id keeps it once.
  ASSERT_EQ(SetWrxLine(hwnd, 0, "same", nullptr), 1);
  unsigned char all[4] = {uint8_t(bold), uint8_t(bold), uint8_t(bold), uint8_t(bold)};
  SetWrxLine(hwnd, 0, "same", all);
  EXPECT_TRUE(IsSharedIds(w->lines[0]));
  EXPECT_EQ(SharedId(w->lines[0]), bold);
}

TEST_F(WrxLinesTest, MarkerLinesAndAutoNumbers) {
  WrxWindow* w = Make("one\r\ntwo\r\n", WRX_WORDWRAP);
  ASSERT_EQ(InsertMarkerLine(w, 1, WRX_PAGEBREAK, 0, 0, LI_PAGEBREAK, -1), 1);
  ASSERT_EQ(w->lineCount, 3);
  EXPECT_EQ(w->lines[1]->length, 1);
  EXPECT_EQ(uint8_t(w->lines[1]->text[0]), WRX_PAGEBREAK);
  EXPECT_TRUE(w->lines[1]->flags & LF_MARKER);
  ASSERT_NE(w->lines[1]->info, nullptr);
  EXPECT_EQ(w->lines[1]->info->flags, uint32_t(LI_PAGEBREAK));

  // Page-number text: "9" becomes "10" in the same font.
  HWND hwnd = w->hwnd;
  int number = SetWrxFont(hwnd, -1, 1, "Arial", 12, 0, 0, 0xFFFFFF, 1, 0);
  unsigned char ids[7] = {0, 0, 0, 0, 0, uint8_t(number), 0};
  ASSERT_EQ(SetWrxLine(hwnd, 0, "page 9.", ids), 1);
  SetWrxModify(hwnd, 0);
  ASSERT_EQ(SetAutoNumberText(w, 0, 9), 1);
  EXPECT_EQ(LineText(hwnd, 0), "page 10.");
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 6), number);
  EXPECT_EQ(GetWrxCharFont(hwnd, 0, 7), 0);
  EXPECT_EQ(w->modified, 0) << "numbering is no modification";
  ASSERT_EQ(SetAutoNumberText(w, 0, 0), 1);
  EXPECT_EQ(LineText(hwnd, 0), "page 1.");
}

TEST_F(WrxLinesTest, TheRecordPoolKeepsAHundredAndFifty) {
  WrxWindow* w = Make("");
  ASSERT_EQ(InsertDeleteLines(w, 1, 200), 1);
  w->poolCount = 0;
  ASSERT_EQ(ShiftLines(w, 1, 151, 'D'), 1);
  EXPECT_EQ(w->poolCount, WRX_LINEPOOL);
  WrxLine* reused = w->pool[WRX_LINEPOOL - 1];
  ASSERT_EQ(ShiftLines(w, 0, 1, 'A'), 1);
  EXPECT_EQ(w->lines[1], reused) << "new lines take pooled records first";
}

TEST_F(WrxLinesTest, TheMemoryLayerPadsAndReports) {
  unsigned char* p = static_cast<unsigned char*>(OurAlloc(0));
  ASSERT_NE(p, nullptr);
  p[0] = 0xAA;  // a usable one-byte block
  p = static_cast<unsigned char*>(OurRealloc(p, 100));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0xAA);
  OurFree(p);
  WrxFailAllocationsAfter(0);
  EXPECT_EQ(OurAlloc(10), nullptr);
  EXPECT_EQ(sAlloc(10), nullptr);
  WrxFailAllocationsAfter(-1);
  ASSERT_GE(g_errors.size(), 2u);
  EXPECT_EQ(g_errors[0], 108);
  EXPECT_EQ(g_routines[0], "OurAlloc");
  EXPECT_EQ(g_routines[1], "sAlloc");
  struct Round {
    long value, step, want;
  } rounds[] = {{44, 90, 0}, {45, 90, 90}, {-45, 90, -90}, {134, 90, 90}, {136, 90, 180}};
  for (const Round& r : rounds) EXPECT_EQ(RoundToMultiple(r.value, r.step), r.want) << r.value;
}

TEST_F(WrxLinesTest, RunningOutOfMemoryFailsTheEditAndKeepsTheDocument) {
  WrxWindow* w = Make("first line\r\nsecond line\r\n");
  HWND hwnd = w->hwnd;
  WrxFailAllocationsAfter(0);
  EXPECT_EQ(SetWrxLine(hwnd, 0, "a much longer replacement text", nullptr), 0);
  EXPECT_EQ(InsertWrxText(hwnd, "appended\r\n", 0, -1, -1, -1, 0), 0);
  WrxFailAllocationsAfter(-1);
  EXPECT_EQ(Lines(w), (std::vector<std::string>{"first line", "second line"}));
  EXPECT_NE(std::find(g_errors.begin(), g_errors.end(), 108), g_errors.end());
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(SetWrxLine(hwnd, 0, "after", nullptr), 1);
  EXPECT_EQ(LineText(hwnd, 0), "after");
}

TEST_F(WrxLinesTest, LinesGoInAndComeOutWithTheirFonts) {
  WrxWindow* w = Make("");
  HWND hwnd = w->hwnd;
  EXPECT_EQ(SetWrxLine(hwnd, 1, "appended", nullptr), 1);
  EXPECT_EQ(w->lineCount, 2);
  EXPECT_EQ(SetWrxLine(hwnd, 5, "ignored", nullptr), 1);
  EXPECT_EQ(w->lineCount, 2);
  char small[4];
  EXPECT_EQ(GetWrxLine(hwnd, 1, small, sizeof small, nullptr, 0), 8) << "the length, whatever fits";
  EXPECT_STREQ(small, "app");
  EXPECT_EQ(GetWrxLine(hwnd, 2, small, sizeof small, nullptr, 0), -1);
  std::string longText(3000, 'x');
  ASSERT_EQ(SetWrxLine(hwnd, 0, longText.c_str(), nullptr), 1);
  EXPECT_EQ(w->lines[0]->length, 2047);

  // Text insertion: whole lines take the fast path, longer text the general one.
  int italic = SetWrxFont(hwnd, -1, 1, "Arial", 12, 4, 0, 0xFFFFFF, 0, 0);
  const int32_t before = w->lineCount;
  ASSERT_EQ(InsertWrxText(hwnd, "one line\r\n", italic, -1, -1, -1, 0), 1);
  EXPECT_EQ(w->lineCount, before + 1);
  EXPECT_EQ(LineText(hwnd, before), "one line");
  EXPECT_EQ(GetWrxCharFont(hwnd, before, 0), italic);
  ASSERT_EQ(InsertWrxText(hwnd, "tail\r\nnext\r\nlast", 0, -1, -1, -1, 0), 1);
  EXPECT_EQ(LineText(hwnd, before), "one linetail");
  EXPECT_EQ(LineText(hwnd, before + 1), "next");
  EXPECT_EQ(LineText(hwnd, before + 2), "last");
  EXPECT_EQ(GetWrxCharFont(hwnd, before, 2), italic);
  EXPECT_EQ(GetWrxCharFont(hwnd, before, 9), 0);
  EXPECT_EQ(InsertWrxText(hwnd, "", 0, -1, -1, -1, 0), 0);
}
