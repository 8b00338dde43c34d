// Pages and the page view over injected page tables and frames: every
// character 10 pixels wide and 20 high (base line 16), 96 pixels per inch,
// a text area of 200 x 200.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wrxtest;

namespace {

class WrxPageViewTest : public WrxHostTest {
 protected:
  WrxWindow* Window(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    return Measured(hwnd);
  }
  // A word-wrap window with printer metrics from its creation on.
  WrxWindow* PrintWindow(const std::string& text) {
    WrxArgList a = HiddenArgs(WRX_WORDWRAP);
    a.printView = 1;
    SetArgsText(a, text);
    HWND hwnd = CreateWrxWindow(&a);
    windows_.push_back(hwnd);
    return Measured(hwnd);
  }
  WrxWindow* Measured(HWND hwnd) {
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int c = 0; c < 256; ++c) w->fonts[0].widths[c] = 10;
    w->fonts[0].lineHeight = 20;
    w->fonts[0].baseLine = 16;
    w->fonts[0].extLeading = 0;
    w->resX = w->resY = w->prnResX = w->prnResY = 96;
    w->textRect = RECT{0, 0, 200, 200};
    w->linesPerWindow = 10;
    return w;
  }
  static std::string Numbered(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
  }
  static int32_t AddPara(WrxWindow* w, int32_t flags) {
    wrxfmt::WrxParaRecord p{};
    p.flags = flags;
    w->paras.push_back(p);
    return int32_t(w->paras.size()) - 1;
  }
  static void MarkDelimiter(WrxWindow* w, int32_t line, uint32_t kind) {
    ASSERT_EQ(AllocLineInfo(w, line), 1);
    w->lines[line]->info->flags = kind;
  }
  // A text frame of the page view holding lines first..last.
  static int32_t AddTextFrame(WrxWindow* w, int32_t first, int32_t last, int32_t x, int32_t y, int32_t width,
                              int32_t height, int32_t rowBase = 0) {
    const int32_t f = w->textFrameCount;
    EXPECT_EQ(InitFrameSlot(w, f), 1);
    WrxTextFrame& fr = w->textFrames[f];
    fr.firstLine = first, fr.lastLine = last;
    fr.screenX = x, fr.screenY = y, fr.screenWidth = width, fr.screenHeight = height;
    fr.rowBase = rowBase;
    w->textFrameCount = f + 1;
    return f;
  }
  static void SetParaFrameWord(WrxWindow* w, int32_t frame, int word, int32_t value) {
    memcpy(w->frames[size_t(frame)].bytes + 4 * word, &value, 4);
  }
};

}  // namespace

TEST_F(WrxPageViewTest, LinesFindTheirPagesInThePageTable) {
  WrxWindow* w = Window(Numbered(20));
  EXPECT_EQ(GetLinePage(w, 7), 0) << "before pagination everything is page 0";
  // Pages start at 0, 5, 10 (after a hard break on line 9) and 15.
  const int32_t table[] = {0, 5, ~9, 15};
  ASSERT_EQ(SetPageTable(w, table, 4), 1);
  EXPECT_EQ(w->pageTable.back(), 20) << "the entry behind the last page holds the line count";
  struct Case {
    int32_t line, page;
  } cases[] = {{0, 0}, {4, 0}, {5, 1}, {9, 1}, {10, 2}, {14, 2}, {15, 3}, {19, 3}, {25, 3}, {-3, 0}};
  for (const Case& c : cases) {
    w->currentPage = -1;
    EXPECT_EQ(GetLinePage(w, c.line), c.page) << "line " << c.line;
    EXPECT_EQ(w->currentPage, c.page) << "line " << c.line << " makes its page current";
  }
  struct Number {
    int32_t cursor, number;
  } numbers[] = {{0, 1}, {7, 3}, {9, 5}, {10, 1}, {19, 5}};
  for (const Number& n : numbers) {
    w->curLine = n.cursor;
    EXPECT_EQ(GetPageLineNumber(w), n.number) << "cursor on line " << n.cursor;
  }
  // Tables that do not describe pages are refused and the old one stays.
  const int32_t notFromZero[] = {3, 8};
  const int32_t backwards[] = {0, 8, 4};
  const int32_t beyond[] = {0, 20};
  EXPECT_EQ(SetPageTable(w, notFromZero, 2), 0);
  EXPECT_EQ(SetPageTable(w, backwards, 3), 0);
  EXPECT_EQ(SetPageTable(w, beyond, 2), 0);
  EXPECT_EQ(SetPageTable(w, table, 0), 0);
  EXPECT_EQ(w->pageCount, 4);
  EXPECT_EQ(GetLinePage(w, 12), 2);
}

TEST_F(WrxPageViewTest, HeaderAndFooterEditingKeepsThePageAndCountsItsOwnLines) {
  // 0 header delimiter, 1-2 header, 3 delimiter, 4 footer delimiter, 5 footer,
  // 6 delimiter, then body lines 7-19; pages start at 0 and 12.
  WrxWindow* w = Window(Numbered(20));
  w->arg.pageMode = w->arg.printView = 1;
  const int32_t header = AddPara(w, 0x1000), footer = AddPara(w, 0x2000);
  for (int32_t line = 0; line <= 3; ++line) w->lines[line]->para = header;
  for (int32_t line = 4; line <= 6; ++line) w->lines[line]->para = footer;
  MarkDelimiter(w, 0, LI_HEADER);
  MarkDelimiter(w, 3, LI_HEADER);
  MarkDelimiter(w, 4, LI_FOOTER);
  MarkDelimiter(w, 6, LI_FOOTER);
  const int32_t table[] = {0, 12};
  ASSERT_EQ(SetPageTable(w, table, 2), 1);
  // The view shows page 1 only: its header frame and its body.
  AddTextFrame(w, 1, 2, 0, 0, 200, 40);
  AddTextFrame(w, 12, 19, 0, 40, 200, 160);
  w->hdrFtrEdit = 1;
  w->currentPage = 1;
  EXPECT_EQ(GetLinePage(w, 2), 1) << "a header line on view keeps the current page";
  EXPECT_EQ(GetLinePage(w, 5), 0) << "the footer is not on view: its own page";
  w->currentPage = 1;
  w->hdrFtrEdit = 0;
  EXPECT_EQ(GetLinePage(w, 2), 0) << "outside header/footer editing the page table decides";

  w->hdrFtrEdit = 1;
  struct Case {
    int32_t cursor, editing, number;
  } cases[] = {
      {2, 1, 2},   // the second header line
      {5, 1, 1},   // the first footer line
      {8, 1, 2},   // body: the header and footer groups are left out
      {8, 0, 9},   // not editing: every line counts
      {14, 1, 3},  // page 1 holds no header lines
  };
  for (const Case& c : cases) {
    w->curLine = c.cursor;
    w->hdrFtrEdit = c.editing;
    EXPECT_EQ(GetPageLineNumber(w), c.number) << "cursor " << c.cursor << " editing " << c.editing;
  }
}

TEST_F(WrxPageViewTest, EachPageOnViewGivesItsOwnHeaderFrame) {
  // 0 delimiter, 1 header line, 2 delimiter, body 3-12; pages start at 0 and 8.
  WrxWindow* w = Window(Numbered(13));
  EXPECT_EQ(GetLineFrameId(w, 4), 0) << "outside page mode every line is in frame 0";
  w->arg.pageMode = w->arg.printView = 1;
  EXPECT_EQ(GetLineFrameId(w, 4), -1) << "page mode without frames";
  const int32_t header = AddPara(w, 0x1000);
  for (int32_t line = 0; line <= 2; ++line) w->lines[line]->para = header;
  MarkDelimiter(w, 0, LI_HEADER);
  MarkDelimiter(w, 2, LI_HEADER);
  const int32_t table[] = {0, 8};
  ASSERT_EQ(SetPageTable(w, table, 2), 1);
  for (int32_t line = 0; line < 13; ++line) w->lines[line]->height = 20;
  const int32_t header0 = AddTextFrame(w, 1, 1, 0, 0, 200, 30);
  const int32_t body0 = AddTextFrame(w, 3, 7, 0, 30, 200, 200);
  const int32_t header1 = AddTextFrame(w, 1, 1, 0, 300, 200, 30);
  const int32_t body1 = AddTextFrame(w, 8, 12, 0, 330, 200, 200);
  EXPECT_EQ(GetLineFrameId(w, 5), body0);
  EXPECT_EQ(GetLineFrameId(w, 9), body1);
  w->curLine = 5, w->currentPage = 0;
  EXPECT_EQ(GetLineFrameId(w, 1), header0);
  EXPECT_EQ(CalcLineY(w, 1), 0);
  EXPECT_EQ(CalcLineY(w, 0), 0) << "a header delimiter stands at the header's first line";
  EXPECT_EQ(CalcLineY(w, 2), 0) << "the closing delimiter at its last line";
  w->curLine = 10, w->currentPage = 1;
  EXPECT_EQ(GetLineFrameId(w, 1), header1);
  EXPECT_EQ(CalcLineY(w, 1), 300);
  w->curLine = 5;  // the current page is not the cursor's: the last header on view
  EXPECT_EQ(GetLineFrameId(w, 1), header1);
}

TEST_F(WrxPageViewTest, FrameSlotsGrowBy20ThenBy50AndKeepWhatTheyHold) {
  WrxWindow* w = Window("text\r\n");
  EXPECT_EQ(w->textFrameCapacity, 1) << "one slot without pages";
  memset(w->textFrames, 0x5A, sizeof(WrxTextFrame));
  ASSERT_EQ(InitFrameSlot(w, 0), 1);
  const WrxTextFrame& f = w->textFrames[0];
  EXPECT_EQ(f.firstLine, 0);
  EXPECT_EQ(f.noText, 0);
  EXPECT_EQ(f.width, 9999);
  EXPECT_EQ(f.screenWidth, 9999);
  EXPECT_EQ(f.height, w->winRect.bottom - w->winRect.top);
  EXPECT_EQ(f.screenHeight, f.height);
  EXPECT_EQ(f.background, w->backColor);
  std::vector<int32_t> capacities;
  for (int step = 0; step < 7; ++step) {
    ASSERT_EQ(InitFrameSlot(w, w->textFrameCapacity), 1);
    w->textFrames[w->textFrameCapacity - 1].firstLine = step;  // something to keep
    capacities.push_back(w->textFrameCapacity);
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{21, 41, 61, 81, 101, 151, 201}));
  EXPECT_EQ(w->textFrames[100].firstLine, 4) << "growing keeps the slots laid out";
  ASSERT_EQ(InitFrameSlot(w, 450), 1) << "a slot far beyond grows the table as often as needed";
  EXPECT_EQ(w->textFrameCapacity, 451);
  EXPECT_EQ(InitFrameSlot(w, -1), 0);

  // A window with pages starts with room for 1500 and grows by 50.
  WrxWindow* paged = PrintWindow("text\r\n");
  EXPECT_EQ(paged->textFrameCapacity, 1500);
  ASSERT_EQ(InitFrameSlot(paged, 1500), 1);
  EXPECT_EQ(paged->textFrameCapacity, 1550);
  ASSERT_EQ(InitFrameSlot(paged, 1550), 1);
  EXPECT_EQ(paged->textFrameCapacity, 1600);

  // No memory: 0, and the table is as it was.
  paged->textFrames[1599].firstLine = 77;
  WrxFailAllocationsAfter(0);
  EXPECT_EQ(InitFrameSlot(paged, 1600), 0);
  WrxFailAllocationsAfter(-1);
  EXPECT_EQ(paged->textFrameCapacity, 1600);
  EXPECT_EQ(paged->textFrames[1599].firstLine, 77);
  EXPECT_FALSE(g_errors.empty());
  EXPECT_EQ(g_errors.back(), 108);
}

TEST_F(WrxPageViewTest, FramesCutAGapIntoTheLinesBesideThem) {
  WrxWindow* w = PrintWindow("text\r\n");
  const int32_t table[] = {0};
  ASSERT_EQ(SetPageTable(w, table, 1), 1);
  const int32_t frame = GetParaFrameSlot(w);
  ASSERT_GT(frame, 0);
  auto place = [&](int32_t x, int32_t width, int32_t y, int32_t height, int32_t flags, int32_t page, int32_t distance) {
    SetParaFrameWord(w, frame, 0, 1);
    SetParaFrameWord(w, frame, 1, x);
    SetParaFrameWord(w, frame, 2, y);
    SetParaFrameWord(w, frame, 4, width);
    SetParaFrameWord(w, frame, 7, height);
    SetParaFrameWord(w, frame, 8, distance);
    SetParaFrameWord(w, frame, 9, page);
    SetParaFrameWord(w, frame, 10, flags);
  };
  struct Case {
    const char* name;
    int32_t x, width, y, height, flags, page, distance;
    RECT line;
    int32_t gapStart, gapWidth, blocking;
  } cases[] = {
      {"an inch from the margin, half an inch wide", 1440, 720, 0, 1440, 0, 0, 0, {0, 0, 576, 20}, 96, 48, 0},
      {"the same place measured from the page", 1440 + 1800, 720, 0, 1440, 1, 0, 0, {0, 0, 576, 20}, 96, 48, 0},
      {"the distance from the text widens it", 1440, 720, 0, 1440, 0, 0, 180, {0, 0, 576, 20}, 84, 72, 0},
      {"a line below the frame", 1440, 720, 0, 1440, 0, 0, 0, {0, 96, 576, 116}, 0, 0, 0},
      {"a frame across the line blocks it down to its bottom", 0, 8640, 0, 1440, 0, 0, 0, {0, 40, 576, 60}, 0, 0, 56},
      {"a frame sticking out on the right is cut at the line's end",
       7200,
       2880,
       0,
       1440,
       0,
       0,
       0,
       {0, 0, 576, 20},
       480,
       96,
       0},
      {"a drawing object does not push text", 1440, 720, 0, 1440, 0x200, 0, 0, {0, 0, 576, 20}, 0, 0, 0},
      {"a frame on another page", 1440, 720, 0, 1440, 0, 1, 0, {0, 0, 576, 20}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    place(c.x, c.width, c.y, c.height, c.flags, c.page, c.distance);
    int32_t start = -1, width = -1, blocking = -1;
    EXPECT_EQ(WrapAroundFrames(w, 0, &c.line, &start, &width, &blocking), 1) << c.name;
    EXPECT_EQ(start, c.gapStart) << c.name;
    EXPECT_EQ(width, c.gapWidth) << c.name;
    EXPECT_EQ(blocking, c.blocking) << c.name;
  }
  // Lines in frames and cells, and windows without printer metrics, are not cut.
  place(1440, 720, 0, 1440, 0, 0, 0);
  const RECT line{0, 0, 576, 20};
  int32_t start, width, blocking;
  w->lines[0]->frame = frame;
  WrapAroundFrames(w, 0, &line, &start, &width, &blocking);
  EXPECT_EQ(width, 0) << "a line of the frame itself";
  w->lines[0]->frame = 0;
  w->arg.printView = 0;
  WrapAroundFrames(w, 0, &line, &start, &width, &blocking);
  EXPECT_EQ(width, 0) << "without printer metrics";
}

TEST_F(WrxPageViewTest, WrappedTextFlowsAroundAFrameAndBelowOneThatFillsTheWidth) {
  const std::string text = "aaaa bbbb cccc dddd eeee ffff gggg hhhh\r\n";
  WrxWindow* w = PrintWindow(text);
  w->arg.pageViewOption = 1;  // lines as wide as the window: 200 pixels
  const int32_t table[] = {0};
  ASSERT_EQ(SetPageTable(w, table, 1), 1);
  const int32_t frame = GetParaFrameSlot(w);
  SetParaFrameWord(w, frame, 0, 1);
  SetParaFrameWord(w, frame, 1, 1275);  // 85 pixels from the margin
  SetParaFrameWord(w, frame, 4, 600);   // 40 wide
  SetParaFrameWord(w, frame, 7, 600);   // 40 high: beside the first two lines
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_GE(w->lineCount, 3);
  for (int32_t line = 0; line < 2; ++line) {
    const WrxLine* l = w->lines[line];
    ASSERT_TRUE(l->info && (l->info->flags & LI_FRAMEGAP)) << line;
    EXPECT_EQ(l->height, 20) << line;
    for (int32_t col = 0; col < l->length - 1; ++col) {
      const int32_t left = GetColumnX(w, col, line, 0);
      EXPECT_TRUE(left + 10 <= 85 || left >= 125) << "line " << line << " column " << col << " lies in the frame";
    }
  }
  const WrxLine* first = w->lines[0];
  EXPECT_EQ(GetColumnX(w, first->info->gapColumn, 0, 0), 125) << "the text goes on right after the frame";
  EXPECT_EQ(XToColumn(w, 127, 0), first->info->gapColumn);
  EXPECT_TRUE(!w->lines[2]->info || !(w->lines[2]->info->flags & LI_FRAMEGAP)) << "below the frame";

  // A frame across the whole width: an empty line as high as the frame, then the text.
  WrxWindow* v = PrintWindow(text);
  v->arg.pageViewOption = 1;
  ASSERT_EQ(SetPageTable(v, table, 1), 1);
  const int32_t wide = GetParaFrameSlot(v);
  SetParaFrameWord(v, wide, 0, 1);
  SetParaFrameWord(v, wide, 4, 3000);  // 200 pixels
  SetParaFrameWord(v, wide, 7, 450);   // 30 high
  ASSERT_EQ(WrxRewrap(v->hwnd), 1);
  const int32_t lines = v->lineCount;
  const WrxLine* blocked = v->lines[0];
  EXPECT_EQ(blocked->length, 0);
  ASSERT_TRUE(blocked->info && (blocked->info->flags & LI_BLOCKED));
  EXPECT_EQ(blocked->height, 30);
  EXPECT_EQ(GetLineHeight(v, 0), 30);
  EXPECT_EQ(std::string(v->lines[1]->text, 5), "aaaa ");
  EXPECT_EQ(v->lines[1]->height, 20);
  ASSERT_EQ(WrxRewrap(v->hwnd), 1);
  EXPECT_EQ(v->lineCount, lines) << "wrapping again takes the empty line back and makes it again";
  EXPECT_EQ(v->lines[0]->length, 0);
}

namespace {

// A page in view: a header area over the text, then two columns, and a
// vertical line object over the upper text. Stored heights are device
// pixels at 192 per inch: 40 shows as 20.
class WrxPageModeTest : public WrxPageViewTest {
 protected:
  WrxWindow* Page() {
    WrxWindow* w = Window(Numbered(14), WRX_WORDWRAP);
    w->arg.pageMode = w->arg.printView = 1;
    w->prnResX = w->prnResY = 192;
    for (int32_t line = 0; line < w->lineCount; ++line) w->lines[line]->height = 40;
    w->lines[2]->height = 60;  // 30 on the screen
    AddTextFrame(w, 0, 0, 0, 0, 200, 5);
    w->textFrames[0].noText = 1;  // space above: no lines
    top_ = AddTextFrame(w, 0, 3, 10, 5, 200, 100, 0);
    w->textFrames[top_].spaceAbove = 5;
    left_ = AddTextFrame(w, 4, 7, 10, 110, 90, 100, 4);
    right_ = AddTextFrame(w, 8, 11, 110, 110, 90, 100, 8);
    const int32_t object = GetParaFrameSlot(w);
    SetParaFrameWord(w, object, 0, 1);
    SetParaFrameWord(w, object, 10, 0x100);  // a line
    w->lines[12]->frame = object;
    line_ = AddTextFrame(w, 12, 12, 150, 20, 0, 50, 12);
    w->textFrames[line_].paraFrame = object;
    return w;
  }
  int32_t top_ = 0, left_ = 0, right_ = 0, line_ = 0;
};

}  // namespace

TEST_F(WrxPageModeTest, LinesAndPointsMapBothWaysOverTheFramesOfAPage) {
  WrxWindow* w = Page();
  struct Case {
    int32_t line, y, x;  // y of the line's top, and an x inside its frame
  } cases[] = {
      {0, 10, 50},   {1, 30, 50},   {2, 50, 50},    {3, 80, 50},  // below the top frame's space above
      {4, 110, 50},  {5, 130, 50},  {7, 170, 50},                 // left column
      {8, 110, 150}, {9, 130, 150}, {11, 170, 150},               // right column
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetLineHeight(w, c.line), c.line == 2 ? 30 : 20) << c.line;
    EXPECT_EQ(CalcLineY(w, c.line), c.y) << c.line;
    EXPECT_EQ(YToLine(w, c.x, c.y), c.line) << c.line;
    EXPECT_EQ(YToLine(w, c.x, c.y + GetLineHeight(w, c.line) - 1), c.line) << c.line;
  }
  EXPECT_EQ(GetLineTop(w, 5), 130);
  EXPECT_EQ(GetLineFrameId(w, 13), -1) << "a line off the page view";

  struct Point {
    const char* name;
    int32_t x, y, line;
  } points[] = {
      {"on the line object", 150, 40, 12},
      {"within 60 twips of it", 153, 40, 12},
      {"farther off: the text under it", 160, 40, 1},
      {"above all text", 50, 2, 0},
      {"between the columns, level with a line", 105, 135, 5},
      {"below the page, under the right column", 150, 500, 11},
      {"below the page, under the left column", 50, 500, 7},
  };
  for (const Point& p : points) EXPECT_EQ(YToLine(w, p.x, p.y), p.line) << p.name;

  // Without a frame that holds text the cursor line is the answer.
  w->textFrameCount = 1;
  w->curLine = 6;
  EXPECT_EQ(YToLine(w, 50, 50), 6);
}

TEST_F(WrxPageModeTest, ColumnsTakeTheirRowsOffsetOnThePage) {
  WrxWindow* w = Page();
  w->textFrames[left_].pageX = 300;                         // the page lies right of another
  w->screenLines.x[w->textFrames[left_].rowBase + 1] = 25;  // line 5's row
  w->screenLines.height[w->textFrames[left_].rowBase + 1] = 20;
  EXPECT_EQ(GetScreenLineX(w, 5), 25);
  EXPECT_EQ(GetScreenLineEntry(w, 5), 20);
  EXPECT_EQ(GetScreenLineX(w, 13), 0) << "no frame";
  EXPECT_EQ(GetColumnX(w, -1, 5, 0), 325);
  EXPECT_EQ(GetColumnX(w, 3, 5, 0), 355);
  EXPECT_EQ(XToColumn(w, 357, 5), 3);
  EXPECT_EQ(XToColumn(w, 320, 5), 0);
  w->textFrames[left_].rowBase = WRX_SCREENROWS - 1;  // line 5 would be past the table
  EXPECT_EQ(GetScreenLineX(w, 5), 0);
  EXPECT_EQ(GetScreenLineX(w, 4), w->screenLines.x[WRX_SCREENROWS - 1]);
}

TEST_F(WrxPageModeTest, ScrollingKeepsTheCursorsPlaceInTheWindowWhileTheLineFits) {
  WrxWindow* w = Page();
  for (int32_t f = 0; f < w->textFrameCount; ++f) w->textFrames[f].originY = 1000;  // the page lower in the view
  struct Case {
    const char* name;
    int32_t offset, line;
    int32_t scroll, offsetAfter;
  } cases[] = {
      {"the offset is kept", 50, 9, 1130 - 50, 50},
      {"lowered so that the line stays in the window", 195, 9, 1130 - 180, 180},
      {"never above the window", -20, 9, 1130, 0},
      {"the top line of the page", 50, 0, 1010 - 50, 50},
  };
  for (const Case& c : cases) {
    w->cursorOffset = c.offset;
    w->vScrollPos = 0;
    EXPECT_EQ(ScrollLineIntoView(w, c.line), 1) << c.name;
    EXPECT_EQ(w->vScrollPos, c.scroll) << c.name;
    EXPECT_EQ(w->cursorOffset, c.offsetAfter) << c.name;
  }
  // Near the document's top the offset cannot pass the line's own y.
  for (int32_t f = 0; f < w->textFrameCount; ++f) w->textFrames[f].originY = 0;
  w->cursorOffset = 150;
  ScrollLineIntoView(w, 1);
  EXPECT_EQ(w->vScrollPos, 0);
  EXPECT_EQ(w->cursorOffset, 30);
  w->vScrollPos = 70;
  EXPECT_EQ(GetLineTop(w, -1), 200 + 70) << "the bottom of the text follows the scroll";
}

TEST_F(WrxPageViewTest, PrinterMetricLinesStoreTheirHeightsInDevicePixels) {
  // The device has 192 pixels per inch: 20-pixel text is 40 there, and 150
  // twips of space after the paragraph 20.
  const std::string text = std::string("ab\x0C") + "cd\x12" + "ef\r\n";
  WrxWindow* w = PrintWindow(text);
  w->prnResX = w->prnResY = 192;
  w->paras[0].spaceAfter = 150;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  struct Case {
    std::string text;
    int32_t height;
  } cases[] = {
      {"ab", 40}, {"\x0C", 40}, {"cd", 40}, {"\x12", 0}, {"ef\x15", 60},
  };
  ASSERT_GE(w->lineCount, 5);
  for (int32_t line = 0; line < 5; ++line) {
    const WrxLine* l = w->lines[line];
    EXPECT_EQ(std::string(l->text, size_t(l->length)), cases[line].text) << line;
    EXPECT_EQ(l->height, cases[line].height) << line;
  }
  w->arg.pageMode = 1;
  EXPECT_EQ(GetLineHeight(w, 4), 30) << "page mode shows stored heights at screen size";
  EXPECT_EQ(GetLineHeight(w, 3), 0);

  // Without printer metrics the wrap leaves heights alone.
  WrxWindow* plain = Window(text, WRX_WORDWRAP);
  plain->prnResY = 192;
  for (int32_t line = 0; line < plain->lineCount; ++line) plain->lines[line]->height = 7;
  ASSERT_EQ(WrxRewrap(plain->hwnd), 1);
  EXPECT_EQ(plain->lines[0]->height, 7);
}

// Until pages are laid out, page mode shows one frame of the lines around
// the cursor, placed where those lines stand; a layout's own frames are kept.
TEST_F(WrxPageViewTest, WithoutPagesPageModeShowsTheLinesAroundTheCursorAsOneFrame) {
  WrxWindow* w = PrintWindow(Numbered(1000));
  WrxRewrap(w->hwnd);
  w->arg.pageMode = 1;
  for (int32_t k = 0; k < w->lineCount; ++k) w->lines[k]->height = 20;  // printer rows of 20 pixels
  struct Case {
    int32_t cursor, first, last;
  } cases[] = {{0, 0, 599}, {500, 200, 799}, {w->lineCount - 1, w->lineCount - 600, w->lineCount - 1}};
  for (const Case& c : cases) {
    w->curLine = c.cursor;
    ASSERT_EQ(LayOutStandInFrames(w), 1) << c.cursor;
    ASSERT_EQ(w->textFrameCount, 1);
    const WrxTextFrame& f = w->textFrames[0];
    EXPECT_EQ(f.firstLine, c.first) << c.cursor;
    EXPECT_EQ(f.lastLine, c.last) << c.cursor;
    EXPECT_EQ(FrameTop(f), w->textRect.top + c.first * 20) << "where its first line stands";
    EXPECT_EQ(GetLineFrameId(w, c.cursor), 0);
    EXPECT_EQ(CalcLineY(w, c.cursor), w->textRect.top + c.cursor * 20);
  }
  // Pages laid out, or frames set by other means: nothing is changed.
  const int32_t table[] = {0};
  ASSERT_EQ(SetPageTable(w, table, 1), 1);
  EXPECT_EQ(LayOutStandInFrames(w), 0);
  WrxWindow* v = PrintWindow("a\r\nb\r\n");
  v->arg.pageMode = 1;
  ASSERT_EQ(InitFrameSlot(v, 0), 1);
  v->textFrames[0].firstLine = 1, v->textFrames[0].lastLine = 1;
  v->textFrameCount = 1;
  EXPECT_EQ(LayOutStandInFrames(v), 0);
  EXPECT_EQ(v->textFrames[0].firstLine, 1);
  v->arg.pageMode = 0;
  EXPECT_EQ(LayOutStandInFrames(v), 0) << "not in page mode";
}
