// Lines and pixels over injected metrics: every character 10 pixels wide and
// 20 high (base line 16), 96 pixels per inch, a text area of 100 x 200.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wrxtest;

namespace {

class WrxGeometryTest : public WrxHostTest {
 protected:
  WrxWindow* Window(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int c = 0; c < 256; ++c) w->fonts[0].widths[c] = 10;
    w->fonts[0].lineHeight = 20;
    w->fonts[0].baseLine = 16;
    w->fonts[0].extLeading = 0;
    w->resX = w->resY = 96;
    w->textRect = RECT{0, 0, 100, 200};
    w->linesPerWindow = 10;
    return w;
  }
  static std::string Numbered(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
  }
};

}  // namespace

TEST_F(WrxGeometryTest, ParagraphSpacingIsAddedWhereTheParagraphSaysSo) {
  // "aaaa bbbb cccc" wraps into a first and a last line of one paragraph.
  struct Case {
    const char* name;
    int32_t textHeight, flags, lineSpacing, spaceBefore, spaceAfter;
    int32_t firstBefore, firstAfter, lastBefore, lastAfter;
  } cases[] = {
      {"plain", 20, 0, 0, 0, 0, 0, 0, 0, 0},
      {"exact 12 points around 12-pixel text: shared above and below", 12, 0, -240, 0, 0, 2, 2, 2, 2},
      {"at least 24 points: the rest above", 20, 0, 480, 0, 0, 12, 0, 12, 0},
      {"at most the text height adds nothing", 20, 0, 150, 0, 0, 0, 0, 0, 0},
      {"double spacing", 20, 4, 0, 0, 0, 0, 20, 0, 20},
      {"space before the first and after the last line", 20, 0, 0, 300, 150, 20, 0, 0, 10},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Window("aaaa bbbb cccc\r\n", WRX_WORDWRAP);
    w->fonts[0].lineHeight = c.textHeight;
    w->fonts[0].baseLine = c.textHeight - 4;
    w->paras[0].flags = c.flags;
    w->paras[0].lineSpacing = c.lineSpacing;
    w->paras[0].spaceBefore = c.spaceBefore;
    w->paras[0].spaceAfter = c.spaceAfter;
    ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
    ASSERT_EQ(w->lineCount, 2) << c.name;
    int32_t before = -1, after = -1;
    GetLineParaSpacing(w, 0, 0, &before, &after, 1);
    EXPECT_EQ(before, c.firstBefore) << c.name;
    EXPECT_EQ(after, c.firstAfter) << c.name;
    GetLineParaSpacing(w, 1, 0, &before, &after, 1);
    EXPECT_EQ(before, c.lastBefore) << c.name;
    EXPECT_EQ(after, c.lastAfter) << c.name;
    EXPECT_EQ(GetLineHeight(w, 0), c.textHeight + c.firstBefore + c.firstAfter) << c.name;
    EXPECT_EQ(CalcLineY(w, 1), GetLineHeight(w, 0)) << c.name;
  }
}

TEST_F(WrxGeometryTest, TheTallestFontOfALineGivesItsHeight) {
  WrxWindow* w = Window("ab\r\n");
  const int big = SetWrxFont(w->hwnd, -1, 0, "Arial", 30, 0, 0, 0xFFFFFF, 0, 0);
  ASSERT_GT(big, 0);
  w->fonts[big].lineHeight = 40;
  w->fonts[big].baseLine = 30;
  w->fonts[big].extLeading = 3;
  const unsigned char ids[] = {0, static_cast<unsigned char>(big)};
  ASSERT_EQ(SetWrxLine(w->hwnd, 0, "ab", ids), 1);
  int32_t base = 0, leading = 0;
  EXPECT_EQ(GetLineTextHeight(w, 0, &base, &leading), 40);
  EXPECT_EQ(base, 30);
  EXPECT_EQ(leading, 3);
  EXPECT_EQ(GetLineTextHeight(w, 7, &base, &leading), 20) << "beyond the document: the default font";
}

TEST_F(WrxGeometryTest, LinesMapToYAndBack) {
  WrxWindow* w = Window(Numbered(30));
  for (int32_t first : {0, 3, 25}) {
    w->firstLine = first;
    for (int32_t line = 0; line < w->lineCount; ++line) {
      const int32_t y = CalcLineY(w, line);
      EXPECT_EQ(y, (line - first) * 20) << first << " " << line;
      EXPECT_EQ(YToLine(w, 5, y), line) << first << " top of " << line;
      EXPECT_EQ(YToLine(w, 5, y + 19), line) << first << " bottom of " << line;
      EXPECT_EQ(GetLineTop(w, line), y);
    }
    EXPECT_EQ(YToLine(w, 5, 100000), w->lineCount - 1) << "below the text: the last line";
  }
  EXPECT_EQ(GetLineTop(w, -1), 200) << "the bottom of the text";
}

TEST_F(WrxGeometryTest, GoingToALineCentresItOrPutsItFirst) {
  WrxWindow* w = Window(Numbered(100));
  w->linesPerWindow = 40;
  struct Case {
    long line;
    int keep;
    int32_t cursor, first;
  } cases[] = {
      {3, 0, 3, 0},                                        // too near the top to be centred
      {50, 0, 50, 30}, {50, 1, 50, 50}, {500, 1, 99, 99},  // beyond the document: the last line
      {-4, 0, 0, 0},
  };
  for (const Case& c : cases) {
    w->curCol = 3;
    ASSERT_EQ(WrxGoToLine(w->hwnd, c.line, c.keep), 1) << c.line;
    EXPECT_EQ(w->curLine, c.cursor) << c.line;
    EXPECT_EQ(w->curCol, 0) << c.line;
    EXPECT_EQ(w->firstLine, c.first) << c.line << " keep " << c.keep;
  }
  EXPECT_EQ(WrxGoToLine(HostWindow(), 1, 1), 0);
}

TEST_F(WrxGeometryTest, ScrollingALineIntoViewMovesTheFirstLineOnlyAsFarAsNeeded) {
  WrxWindow* w = Window(Numbered(30));  // ten lines of 20 fit in 200
  struct Case {
    int32_t first, line, expectFirst;
  } cases[] = {
      {0, 5, 0},    // already shown
      {0, 15, 6},   // just enough for line 15 to be the last shown
      {6, 2, 2},    // above: it becomes the first
      {0, 99, 20},  // beyond the document: the last line
  };
  for (const Case& c : cases) {
    w->firstLine = c.first;
    ASSERT_EQ(ScrollLineIntoView(w, c.line), 1);
    EXPECT_EQ(w->firstLine, c.expectFirst) << c.first << " " << c.line;
  }
}

TEST_F(WrxGeometryTest, LineWidthsLeaveOutTheParagraphEndAndTrailingBlanks) {
  WrxWindow* w = Window("ab  \r\n", WRX_WORDWRAP);
  w->textRect.right = 300;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  EXPECT_EQ(GetLineWidth(w, 0, 0, 0), 20);
  EXPECT_EQ(GetLineWidth(w, 0, 0, 1), 40);
  EXPECT_EQ(GetLineWidth(w, 5, 0, 0), 0);
  EXPECT_EQ(GetLineTextWidth(w, 0), 300);
  w->textRect.right = 20;
  EXPECT_EQ(GetLineTextWidth(w, 0), 96) << "never narrower than an inch";
}

namespace {

void SetFrameWord(WrxWindow* w, int32_t frame, int word, int32_t value) {
  memcpy(w->frames[size_t(frame)].bytes + 4 * word, &value, 4);
}

}  // namespace

TEST_F(WrxGeometryTest, FrameSlotsAreReclaimedWhenNoLineUsesThem) {
  WrxWindow* w = Window("a\r\nb\r\n");
  EXPECT_EQ(GetParaFrameSlot(w), 1) << "slot 0 is never given out";
  SetFrameWord(w, 1, 0, 1);
  w->lines[0]->frame = 1;
  EXPECT_EQ(GetParaFrameSlot(w), 2);
  SetFrameWord(w, 2, 0, 1);  // in use, yet no line refers to it
  EXPECT_EQ(GetParaFrameSlot(w), 2);
  SetFrameWord(w, 2, 0, 1);
  w->reclaimIds = 0;
  EXPECT_EQ(GetParaFrameSlot(w), 3);
  // A full table reports error 110 under the routine's name.
  while (w->frames.size() < size_t(wrxfmt::kMaxParaFrames)) w->frames.push_back(wrxfmt::WrxFrameRecord{});
  for (size_t f = 0; f < w->frames.size(); ++f) SetFrameWord(w, int32_t(f), 0, 1);
  ResetRecords();
  EXPECT_EQ(GetParaFrameSlot(w), -1);
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_EQ(g_errors[0], 110);
  EXPECT_EQ(g_routines[0], "GetParaFrameSlot");
  w->frames.resize(2);
  w->reclaimIds = 1;
}

TEST_F(WrxGeometryTest, LineObjectsKeepTheirEndPoints) {
  WrxWindow* w = Window("a\r\n");
  const int32_t frame = GetParaFrameSlot(w);
  SetFrameWord(w, frame, 0, 1);
  SetFrameWord(w, frame, 10, 0x100);
  struct Case {
    const char* name;
    int32_t x1, y1, x2, y2;
    int32_t direction;
    int32_t gx1, gy1, gx2, gy2;  // as read back
  } cases[] = {
      {"horizontal", 100, 50, 400, 50, 1, 100, 50, 400, 50},
      {"vertical", 100, 300, 100, 50, 0, 100, 50, 100, 300},
      {"falling", 100, 50, 400, 300, 2, 100, 50, 400, 300},
      {"rising", 100, 300, 400, 50, 3, 100, 300, 400, 50},
      {"given right to left", 400, 300, 100, 50, 2, 100, 50, 400, 300},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SetLineObjectRect(w, frame, c.x1, c.y1, c.x2, c.y2), 1) << c.name;
    EXPECT_EQ(FrameWordValue(w, frame, 12), c.direction) << c.name;
    int32_t x1, y1, x2, y2;
    ASSERT_EQ(GetLineObjectRect(w, frame, &x1, &y1, &x2, &y2), 1);
    EXPECT_EQ((std::vector<int32_t>{x1, y1, x2, y2}), (std::vector<int32_t>{c.gx1, c.gy1, c.gx2, c.gy2})) << c.name;
  }
  // A text frame is no line: its rectangle stays.
  SetFrameWord(w, frame, 10, 0x80);
  SetFrameWord(w, frame, 1, 7);
  SetLineObjectRect(w, frame, 1, 2, 3, 4);
  EXPECT_EQ(FrameWordValue(w, frame, 1), 7);
  EXPECT_EQ(GetLineObjectRect(w, 99, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(WrxGeometryTest, ParagraphBordersMergeOverLinesOfTheSameBox) {
  WrxWindow* w = Window("a\r\nb\r\nc\r\nd\r\ne\r\n");
  wrxfmt::WrxParaRecord boxed{};
  boxed.flags = 16 | 32 | 64 | 128;
  wrxfmt::WrxParaRecord indented = boxed;
  indented.leftIndent = 720;
  w->paras = {wrxfmt::WrxParaRecord{}, boxed, boxed, indented};
  const int32_t paraOf[] = {1, 1, 2, 3, 0};
  for (int32_t line = 0; line < 5; ++line) w->lines[line]->para = paraOf[line];
  struct Case {
    int32_t line;
    int sides;
  } cases[] = {
      {0, 16 | 64 | 128},       // top of the box
      {1, 64 | 128},            // inside it
      {2, 32 | 64 | 128},       // another paragraph of the same format: still the same box
      {3, 16 | 32 | 64 | 128},  // an indent of its own makes its own box
      {4, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(MergeParaBorders(w, c.line), c.sides) << c.line;
  w->lines[2]->cell = 1;
  EXPECT_EQ(MergeParaBorders(w, 1), 32 | 64 | 128) << "a line in a cell belongs to another box";
}

TEST_F(WrxGeometryTest, LinesOfAParagraphFrameWrapAtTheFramesWidth) {
  WrxWindow* w = Window("aaa bbb ccc\r\n", WRX_WORDWRAP | WRX_PRINTVIEW);
  w->arg.printView = 1;
  const int32_t frame = GetParaFrameSlot(w);
  SetFrameWord(w, frame, 0, 1);
  SetFrameWord(w, frame, 4, 1200);  // 80 pixels wide
  SetFrameWord(w, frame, 5, 150);   // less 10 on each side
  w->lines[0]->frame = frame;
  EXPECT_EQ(GetLineTextWidth(w, 0), 60);
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_EQ(w->lineCount, 3);
  EXPECT_EQ(std::string(w->lines[0]->text, size_t(w->lines[0]->length)), "aaa ");
  for (int32_t line = 0; line < 3; ++line) EXPECT_EQ(w->lines[line]->frame, frame) << line;
  w->lines[0]->frame = w->lines[1]->frame = w->lines[2]->frame = 0;
  EXPECT_EQ(GetLineTextWidth(w, 0), 576) << "outside frames: 8.5 inches less 2 x 1.25 of margins";
}

TEST_F(WrxGeometryTest, PrintViewLinesShareThePageWithTheirColumns) {
  WrxWindow* w = Window("text\r\n", WRX_WORDWRAP | WRX_PRINTVIEW);
  w->arg.printView = 1;
  w->sections[0].leftMargin = w->sections[0].rightMargin = 1.0f;  // 6.5 inches of text
  struct Case {
    int32_t columns;
    float gap;
    int32_t paraFlags;
    int32_t width;
  } cases[] = {
      {1, 0.5f, 0, 624},
      {3, 0.5f, 0, (624 - 2 * 48) / 3},  // (6.5 - 1) / 3 inches each
      {3, 0.5f, 0x1000, 624},            // a header spans the page
      {4, 3.0f, 0, 96 / 4},              // never less than an inch to share
  };
  for (const Case& c : cases) {
    w->sections[0].columns = c.columns;
    w->sections[0].columnSpace = c.gap;
    w->paras[0].flags = c.paraFlags;
    EXPECT_EQ(GetLineTextWidth(w, 0), c.width) << c.columns << " columns, flags " << c.paraFlags;
  }
  // A line in a table cell: the cell's width less its margin on each side.
  wrxfmt::WrxCellRecord cell{};
  const int32_t words[12] = {1, 1, -1, -1, 0, 1800, 0, 0, 0, 0, 0, 60};
  memcpy(&cell, words, sizeof words);
  w->cells.push_back(cell);
  w->lines[0]->cell = int32_t(w->cells.size()) - 1;
  EXPECT_EQ(GetLineTextWidth(w, 0), 112);
  w->lines[0]->cell = 0;
  w->arg.printView = 0;
  EXPECT_EQ(GetLineTextWidth(w, 0), 100) << "without print view: the window";
}

TEST_F(WrxGeometryTest, TheBackgroundPictureIsAPictureOfTheWindowAndCanBeStretched) {
  WrxWindow* w = Window("text\r\n");
  HWND hwnd = w->hwnd;
  const int plain = SetWrxFont(hwnd, -1, 0, "Arial", 10, 0, 0, 0xFFFFFF, 0, 0);
  auto makePicture = [w]() {
    const int id = AddFontEntry(w);
    w->fonts[id].style = wrxfmt::kPictureStyle;
    w->fonts[id].inUse = 1;
    w->fonts[id].pict = new WrxPictData;
    return id;
  };
  const int first = makePicture();
  EXPECT_EQ(SetWrxBackground(hwnd, plain, 1, 0), 0) << "a font is no picture";
  EXPECT_EQ(SetWrxBackground(hwnd, 200, 1, 0), 0) << "not in use";
  EXPECT_EQ(SetWrxBackground(hwnd, -1, 1, 0), 0) << "choosing a file is the dialogs' part";
  ASSERT_EQ(SetWrxBackground(hwnd, first, 1, 0), 1);
  EXPECT_EQ(w->fonts[first].pict->width, 75) << "100 pixels at 96 per inch, in points";
  EXPECT_EQ(w->fonts[first].pict->height, 150);
  EXPECT_EQ(WrxMenuCheck(hwnd, 737), UINT(MF_CHECKED));
  // A new picture replaces the old one, whose entry is freed.
  const int second = makePicture();
  ASSERT_EQ(SetWrxBackground(hwnd, second, 0, 0), 1);
  EXPECT_FALSE(w->fonts[first].inUse);
  EXPECT_EQ(w->fonts[second].pict->width, 0) << "not stretched";
  // Command 737 removes it.
  SendMessageA(hwnd, WM_COMMAND, 737, 0);
  EXPECT_EQ(w->backgroundPicture, 0);
  EXPECT_FALSE(w->fonts[second].inUse);
  EXPECT_EQ(WrxMenuCheck(hwnd, 737), 0u);
  EXPECT_EQ(SetWrxBackground(HostWindow(), 0, 0, 0), 0);
}
