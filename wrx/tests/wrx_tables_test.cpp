// Tables on real control windows: inserting, splitting and deleting cells,
// moving from cell to cell, automatic widths, the repair of rows from their
// lines, and tables read from and written as RTF.
#include "wrx/tests/wrx_pixels.h"
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace wrxtest;

namespace {

std::vector<UINT> g_beeps;
void RecordBeep(UINT type) { g_beeps.push_back(type); }

class WrxTablesTest : public WrxHostTest {
 protected:
  void SetUp() override {
    WrxHostTest::SetUp();
    g_beeps.clear();
    SetWrxBeepProc(RecordBeep);
  }
  void TearDown() override {
    SetWrxBeepProc(nullptr);
    WrxHostTest::TearDown();
  }
  // A visible page-view window 520 pixels wide at the screen's corner, for
  // the tests that look at what is drawn; no caret in the picture.
  HWND MakeShown(const std::string& text, int height) {
    WrxArgList a = HiddenArgs(WRX_WORDWRAP);
    a.style = WS_POPUP | WS_VISIBLE | WRX_WORDWRAP;
    a.x = 0, a.y = 0, a.width = 520, a.height = height;
    SetArgsText(a, text);
    HWND hwnd = CreateWrxWindow(&a);
    if (!hwnd) return nullptr;
    windows_.push_back(hwnd);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, a.width, a.height, SWP_SHOWWINDOW);
    SetFocus(nullptr);
    GetWrxWindow(hwnd)->arg.printView = 1;
    WrxRewrap(hwnd);
    return hwnd;
  }
  HWND Make(const std::string& text) {
    HWND hwnd = CreateFromText(text, WRX_WORDWRAP);
    windows_.push_back(hwnd);
    GetWrxWindow(hwnd)->arg.printView = 1;
    WrxRewrap(hwnd);
    return hwnd;
  }
  // The lines as text with their cell ids: "text@cell|".
  static std::string Cells(HWND hwnd) {
    std::string s;
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int32_t i = 0; i < w->lineCount; ++i) {
      std::string t = LineText(hwnd, i);
      for (char& c : t)
        if (c == '\x13')
          c = '#';
        else if (c == '\x12')
          c = 'R';
        else if (c == '\x15')
          c = '/';
      s += t + "@" + std::to_string(w->lines[i]->cell) + "|";
    }
    return s;
  }
  // The cells of a row in link order.
  static std::vector<int32_t> RowCells(WrxWindow* w, int32_t row) {
    std::vector<int32_t> out;
    for (int32_t c = w->rows[size_t(row)].firstCell; c > 0 && out.size() < 500; c = w->cells[size_t(c)].next)
      out.push_back(c);
    return out;
  }
  static int32_t RowOfLine(WrxWindow* w, int32_t line) { return w->cells[size_t(w->lines[line]->cell)].row; }
};

}  // namespace

TEST_F(WrxTablesTest, ATableOnAnUnendedLineEndsItAndOpensCellAndRowEndLines) {
  HWND hwnd = Make("before\r\nafter\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  uint8_t ids[7] = {};
  SetWrxLine(hwnd, 0, "before", ids);  // no paragraph end
  SetWrxCursorPos(hwnd, 1, 0, 0);
  const int32_t textWidth = MulDiv(GetLineTextWidth(w, 1), 1440, DeviceResX(w));
  ASSERT_EQ(TableParam(hwnd, 3, 2, 0), 1);
  EXPECT_EQ(Cells(hwnd).substr(0, 10), "before/@0|");
  // Six cell-end lines and three row-end lines, then the text that was there.
  int32_t line = 1;
  int32_t previousRow = -1;
  for (int r = 0; r < 3; ++r) {
    const int32_t row = RowOfLine(w, line);
    EXPECT_EQ(w->rows[size_t(row)].previous, previousRow);
    if (previousRow > 0) {
      EXPECT_EQ(w->rows[size_t(previousRow)].next, row);
    }
    const std::vector<int32_t> cells = RowCells(w, row);
    ASSERT_EQ(cells.size(), 2u);
    for (int c = 0; c < 2; ++c, ++line) {
      EXPECT_EQ(LineText(hwnd, line), "\x13");
      EXPECT_EQ(w->lines[line]->cell, cells[size_t(c)]);
      EXPECT_TRUE(w->lines[line]->info->flags & LI_CELLEND);
      EXPECT_EQ(w->cells[size_t(cells[size_t(c)])].width, textWidth / 2);
      EXPECT_EQ(w->cells[size_t(cells[size_t(c)])].x, c * (textWidth / 2));
    }
    EXPECT_EQ(LineText(hwnd, line), "\x12");
    EXPECT_EQ(w->lines[line]->cell, cells[1]) << "the row end carries the last cell";
    EXPECT_TRUE(w->lines[line]->info->flags & LI_ROWEND);
    ++line;
    previousRow = row;
  }
  EXPECT_EQ(LineText(hwnd, line), "after\x15");
  EXPECT_EQ(w->lines[line]->cell, 0);
  EXPECT_EQ(w->curLine, 1);
  // A table cannot start inside another.
  EXPECT_EQ(TableParam(hwnd, 2, 2, 0), 0);
}

TEST_F(WrxTablesTest, OnlyTablesOfMoreThanThreeHundredCellsRepaginate) {
  struct Case {
    int rows, columns;
    bool repaginates;
  };
  for (const Case& c : {Case{10, 30, false}, Case{20, 20, true}}) {
    SCOPED_TRACE(c.rows * c.columns);
    HWND hwnd = Make("text\r\n");
    WrxWindow* w = GetWrxWindow(hwnd);
    const long wrapped = w->linesWrapped;
    ASSERT_EQ(TableParam(hwnd, c.rows, c.columns, 0), 1);
    EXPECT_EQ(w->lineCount, c.rows * (c.columns + 1) + 1);
    EXPECT_EQ(w->linesWrapped - wrapped >= w->lineCount, c.repaginates);
  }
}

TEST_F(WrxTablesTest, SplittingACellHalvesItAndTheNewCellTakesTheRemainder) {
  HWND hwnd = Make("text\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 1, 2, 0), 1);
  const int32_t first = w->lines[0]->cell, second = w->lines[1]->cell;
  w->cells[size_t(first)].width = 360;
  w->cells[size_t(second)].width = 361;
  const std::string before = Cells(hwnd);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  SendMessageA(hwnd, WM_COMMAND, 696, 0);
  EXPECT_EQ(g_beeps.size(), 1u) << "360 twips cannot be split";
  EXPECT_EQ(Cells(hwnd), before);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  SendMessageA(hwnd, WM_COMMAND, 696, 0);
  const std::vector<int32_t> cells = RowCells(w, w->cells[size_t(second)].row);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(w->cells[size_t(cells[1])].width, 180);
  EXPECT_EQ(w->cells[size_t(cells[2])].width, 181);
  EXPECT_EQ(w->cells[size_t(cells[2])].x, w->cells[size_t(cells[1])].x + 180);
  EXPECT_EQ(LineText(hwnd, 2), "\x13");
  EXPECT_EQ(w->lines[2]->cell, cells[2]);
  EXPECT_EQ(w->lines[3]->cell, cells[2]) << "the row end moves to the new last cell";
  EXPECT_EQ(w->rows[size_t(w->cells[size_t(second)].row)].lastCell, cells[2]);
}

TEST_F(WrxTablesTest, DeletingARowsOnlyCellTakesTheRowEndAndFreesTheRow) {
  HWND hwnd = Make("text\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 2, 2, 0), 1);
  // Row 1: delete one cell of two, then the last one.
  const int32_t row = RowOfLine(w, 0);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  SendMessageA(hwnd, WM_COMMAND, 698, 0);
  ASSERT_EQ(RowCells(w, row).size(), 1u);
  EXPECT_EQ(w->cells[size_t(RowCells(w, row)[0])].x, 0) << "the cells that stay are laid from the left again";
  EXPECT_EQ(Cells(hwnd).substr(0, 2), "#@");
  SetWrxCursorPos(hwnd, 0, 0, 0);
  SendMessageA(hwnd, WM_COMMAND, 698, 0);
  EXPECT_EQ(w->rows[size_t(row)].inUse, 0);
  const int32_t next = RowOfLine(w, 0);
  EXPECT_NE(next, row);
  EXPECT_EQ(w->rows[size_t(next)].previous, -1) << "the second row is now the table's first";
  EXPECT_EQ(w->lineCount, 4);
}

TEST_F(WrxTablesTest, NewRowsCopyTheirModelAboveTheCursorOrAfterTheTable) {
  HWND hwnd = Make("text\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 2, 3, 0), 1);
  const int32_t top = RowOfLine(w, 0), bottom = RowOfLine(w, 4);
  w->cells[size_t(w->lines[5]->cell)].width = 777;  // the bottom row's middle cell
  SetWrxCursorPos(hwnd, 5, 0, 0);
  SendMessageA(hwnd, WM_COMMAND, 695, 0);  // above the cursor's row
  ASSERT_EQ(w->lineCount, 13);
  const int32_t middle = RowOfLine(w, 4);
  EXPECT_NE(middle, bottom);
  EXPECT_EQ(w->rows[size_t(top)].next, middle);
  EXPECT_EQ(w->rows[size_t(middle)].next, bottom);
  EXPECT_EQ(w->rows[size_t(bottom)].previous, middle);
  EXPECT_EQ(w->cells[size_t(w->lines[5]->cell)].width, 777) << "the cells copy the cursor row's";
  EXPECT_EQ(LineText(hwnd, 7), "\x12");
  EXPECT_EQ(w->lines[9]->cell, w->lines[w->curLine]->cell) << "the cursor stays in its cell";
  // After the table's last row.
  ASSERT_EQ(WrxInsertRow(hwnd, 0, 0), 1);
  const int32_t last = RowOfLine(w, 12);
  EXPECT_EQ(w->rows[size_t(bottom)].next, last);
  EXPECT_EQ(w->rows[size_t(last)].next, -1);
  EXPECT_EQ(LineText(hwnd, 15), "\x12");
  EXPECT_EQ(LineText(hwnd, 16), "text\x15");
}

TEST_F(WrxTablesTest, TabSelectsTheNextCellsText) {
  HWND hwnd = Make("text\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 2, 2, 0), 1);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  SendMessageA(hwnd, WM_CHAR, 'x', 0);
  SendMessageA(hwnd, WM_CHAR, 'y', 0);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  SendMessageA(hwnd, WM_CHAR, '\t', 0);
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlFirstLine, 1);
  EXPECT_EQ(w->hlLastCol, 2) << "the cell's text without its end mark";
  // From the row's last cell Tab goes over the row end to the next row.
  SendMessageA(hwnd, WM_CHAR, '\t', 0);
  EXPECT_EQ(w->curLine, 3);
  EXPECT_EQ(w->hilight, 0) << "an empty cell only takes the cursor";
  EXPECT_EQ(LineText(hwnd, 1), "xy\x13") << "Tab typed nothing";
}

TEST_F(WrxTablesTest, FittedColumnsTakeTheirMaximaWhenTheyFitAndShareTheRestWhenNot) {
  HWND hwnd = Make("text\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 1, 2, 0), 1);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  for (char c : std::string("aa bbbb cc")) SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(c)), 0);
  const int32_t left = w->lines[0]->cell, right = w->lines[1]->cell;
  w->cells[size_t(left)].flags |= 8;  // automatic width
  w->cells[size_t(right)].width = 1000;
  int32_t lo = 0, hi = 0;
  MeasureCellText(w, left, &lo, &hi);
  ASSERT_GT(lo, 0);
  ASSERT_GT(hi, lo) << "the widest word is narrower than the paragraph";
  struct Case {
    int32_t available;
    int32_t leftWidth;
  };
  const int32_t minSum = lo + 180 + 1000, maxSum = hi + 180 + 1000;
  const int32_t between = (minSum + maxSum) / 2;
  const Case cases[] = {
      {maxSum + 5000, hi + 180},  // wide: the maxima
      {minSum - 10, lo + 180},    // narrower than the minima: the minima
      {between, lo + 180 + int32_t(long(hi - lo) * ((between - minSum) * 9 / 10) / (hi - lo))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.available);
    FitTableColumns(w, c.available);
    EXPECT_EQ(w->cells[size_t(left)].width, c.leftWidth);
    EXPECT_EQ(w->cells[size_t(right)].width, 1000);
    EXPECT_EQ(w->cells[size_t(right)].x, c.leftWidth);
  }
  // A row of 120 cells: the columns past 100 keep their widths.
  HWND wide = Make("text\r\n");
  WrxWindow* v = GetWrxWindow(wide);
  ASSERT_EQ(TableParam(wide, 1, 100, 0), 1);
  const int32_t row = RowOfLine(v, 0);
  for (int32_t c : RowCells(v, row)) v->cells[size_t(c)].width = 2000;
  for (int k = 0; k < 20; ++k) {
    SetWrxCursorPos(wide, 99 + k, 0, 0);
    ASSERT_EQ(WrxSplitCell(v), 1);
    v->cells[size_t(v->lines[100 + k]->cell)].width = 2000;
  }
  ASSERT_EQ(RowCells(v, row).size(), 120u);
  EXPECT_EQ(WrxFitTableColumns(wide), 1);
  for (int32_t c : RowCells(v, row)) EXPECT_GE(v->cells[size_t(c)].width, 1);
}

TEST_F(WrxTablesTest, TheStructureCheckPutsBackMissingRowEnds) {
  HWND hwnd = Make("text\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 2, 2, 0), 1);
  // Both row ends lost, as after pasting rows without them.
  ShiftLines(w, 5, 1, 'D');
  ShiftLines(w, 2, 1, 'D');
  ASSERT_EQ(w->lineCount, 5);
  CheckTableStructure(w);
  EXPECT_EQ(w->lineCount, 7);
  EXPECT_EQ(LineText(hwnd, 2), "\x12");
  EXPECT_EQ(LineText(hwnd, 5), "\x12");
  EXPECT_EQ(w->lines[5]->cell, w->lines[4]->cell);
  const int32_t first = RowOfLine(w, 0), second = RowOfLine(w, 3);
  EXPECT_EQ(w->rows[size_t(first)].next, second);
  EXPECT_EQ(w->rows[size_t(second)].previous, first);

  // A row end right after a cell's text: the cell gets its cell end back, and
  // the row end names it.
  HWND other = Make("text\r\n");
  WrxWindow* v = GetWrxWindow(other);
  ASSERT_EQ(TableParam(other, 1, 2, 0), 1);  // a#, b#, R
  SetWrxCursorPos(other, 1, 0, 0);
  for (char c : std::string("words")) SendMessageA(other, WM_CHAR, WPARAM(uint8_t(c)), 0);
  const int32_t a = v->lines[0]->cell, b = v->lines[1]->cell;
  SetWrxLine(other, 1, "words\x15", nullptr);  // b's mark lost: its text runs into the row end
  CheckTableStructure(v);
  EXPECT_EQ(Cells(other), "#@" + std::to_string(a) + "|words/@" + std::to_string(b) + "|#@" + std::to_string(b) +
                              "|R@" + std::to_string(b) + "|text/@0|");
  SetWrxModify(other, 0);
}

TEST_F(WrxTablesTest, TheStructureCheckGivesEachLineTheCellItsRunEndsIn) {
  // "text", then cells a and b of one row (a's text line, its cell-end line,
  // b's cell-end line, the row end), then "after".
  struct Case {
    const char* name;
    int32_t line;    // the line whose cell is changed first
    int32_t cell;    // to this (0: the other cell, -1: a freed cell)
    bool reading;    // a document is being read in
    int32_t expect;  // its cell afterwards (0 none, 1 a, 2 b)
  } cases[] = {
      {"a line below the row end leaves the table", 5, 1, false, 0},
      {"a line whose cell is gone joins the cell its run ends in", 1, -1, false, 1},
      {"a line of another cell keeps it outside reading", 1, 0, false, 2},
      {"and takes its run's cell while reading", 1, 0, true, 1},
  };
  for (const Case& c : cases) {
    HWND hwnd = Make("text\r\nafter\r\n");
    WrxWindow* w = GetWrxWindow(hwnd);
    SetWrxCursorPos(hwnd, 1, 0, 0);
    ASSERT_EQ(TableParam(hwnd, 1, 2, 0), 1);
    SetWrxCursorPos(hwnd, 1, 0, 0);
    for (char ch : std::string("ab\r")) SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(ch)), 0);
    const int32_t a = w->lines[1]->cell, b = w->lines[3]->cell;
    ASSERT_EQ(Cells(hwnd), "text/@0|ab/@" + std::to_string(a) + "|#@" + std::to_string(a) + "|#@" + std::to_string(b) +
                               "|R@" + std::to_string(b) + "|after/@0|")
        << c.name;
    int32_t cell = c.cell == 1 ? a : c.cell == 0 ? b : 0;
    if (c.cell == -1) {
      // A cell record no other line uses, then freed.
      const int32_t spare = NewCellSlot(w, 0);
      w->cells[size_t(spare)].inUse = 0;
      cell = spare;
    }
    w->lines[c.line]->cell = cell;
    RepairTables(w, c.reading);
    const int32_t expected = c.expect == 1 ? a : c.expect == 2 ? b : 0;
    EXPECT_EQ(w->lines[c.line]->cell, expected) << c.name;
    EXPECT_EQ(w->lines[2]->cell, a) << c.name << ": the markers keep theirs";
    SetWrxModify(hwnd, 0);
  }
}

TEST_F(WrxTablesTest, FullRecordTablesTakeBackSlotsNoLineUsesBeforeGrowingByHalf) {
  HWND hwnd = Make("one\r\ntwo\r\nthree\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(TableParam(hwnd, 2, 2, 0), 1);  // lines 1-6
  const int32_t firstRow = w->cells[size_t(w->lines[1]->cell)].row;
  const int32_t secondRow = w->cells[size_t(w->lines[4]->cell)].row;
  ASSERT_EQ(w->rows[size_t(firstRow)].next, secondRow);
  // The second row's lines go (as a block deletion leaves it): its records
  // stay in use until a full table needs them.
  ShiftLines(w, 4, 3, 'D');
  w->rows.shrink_to_fit();
  w->cells.shrink_to_fit();
  const size_t rows = w->rows.size(), cells = w->cells.size();
  ASSERT_EQ(w->rows.capacity(), rows);
  ASSERT_EQ(w->cells.capacity(), cells);
  SetWrxCursorPos(hwnd, w->lineCount - 1, 0, 0);
  ASSERT_EQ(TableParam(hwnd, 1, 2, 0), 1);
  const int32_t newRow = w->cells[size_t(w->lines[w->lineCount - 4]->cell)].row;
  EXPECT_EQ(newRow, secondRow) << "the row no line used is taken again";
  EXPECT_EQ(w->rows.size(), rows);
  EXPECT_EQ(w->cells.size(), cells) << "so are its cells";
  EXPECT_EQ(w->rows[size_t(firstRow)].next, -1) << "the first table no longer leads into the new one";
  EXPECT_EQ(w->rows[size_t(newRow)].previous, -1);
  // Every slot in use: the table grows by half.
  const size_t full = w->cells.size();
  w->cells.shrink_to_fit();
  ASSERT_EQ(w->cells.capacity(), full);
  const int32_t grown = NewCellSlot(w, 1);
  EXPECT_EQ(size_t(grown), full);
  EXPECT_EQ(w->cells.capacity(), full + full / 2 + 1);
  EXPECT_EQ(uint32_t(w->cells[size_t(grown)].colour), uint32_t(w->backColor));
  w->cells[size_t(grown)].inUse = 0;
  SetWrxModify(hwnd, 0);
}

namespace {

// A Markdown table as pandoc writes it (`pandoc -f markdown -t rtf -s`).
const char kPandocTable[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 \\fswiss Helvetica;}{\\f1 \\fmodern Courier;}}\n"
    "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\n"
    "\\widowctrl\\hyphauto\n\n"
    "{\n\\trowd \\trgaph120\n\\clbrdrb\\brdrs\\cellx4320\\clbrdrb\\brdrs\\cellx8640\n\\trkeep\\intbl\n{\n"
    "{{\\pard\\intbl \\ql \\f0 \\sa0 \\li0 \\fi0 A\\par}\n\\cell}\n"
    "{{\\pard\\intbl \\ql \\f0 \\sa0 \\li0 \\fi0 B\\par}\n\\cell}\n}\n\\intbl\\row}\n"
    "{\n\\trowd \\trgaph120\n\\cellx4320\\cellx8640\n\\trkeep\\intbl\n{\n"
    "{{\\pard\\intbl \\ql \\f0 \\sa0 \\li0 \\fi0 1\\par}\n\\cell}\n"
    "{{\\pard\\intbl \\ql \\f0 \\sa0 \\li0 \\fi0 2\\par}\n\\cell}\n}\n\\intbl\\row}\n"
    "{\\pard \\ql \\f0 \\sa180 \\li0 \\fi0 after\\par}\n}\n";

}  // namespace

TEST_F(WrxTablesTest, RtfTablesReadAsRowsAndCellsAndWriteBackTheSame) {
  HWND hwnd = Make("x\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(RtfRead(w, 1, reinterpret_cast<const uint8_t*>(kPandocTable), sizeof kPandocTable - 1), 1);
  WrxRewrap(hwnd);
  const std::string expected = "A/@1|#@1|B/@2|#@2|R@2|1/@3|#@3|2/@4|#@4|R@4|after/@0|";
  EXPECT_EQ(Cells(hwnd), expected);
  const int32_t first = w->cells[1].row, second = w->cells[3].row;
  EXPECT_EQ(RowCells(w, first), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(RowCells(w, second), (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(w->rows[size_t(first)].next, second);
  EXPECT_EQ(w->cells[1].width, 4320);
  EXPECT_EQ(w->cells[2].x, 4320);
  EXPECT_EQ(w->cells[2].width, 4320);
  EXPECT_EQ(w->cells[1].borderSides, 2) << "the bottom border";
  EXPECT_EQ(w->rows[size_t(first)].gap, 120);

  // Written and read again: the same lines, cells and widths; written again:
  // the same bytes.
  std::string once, twice;
  ASSERT_TRUE(RtfDocumentBytes(w, 4 - 4, once));
  EXPECT_NE(once.find("\\trowd"), std::string::npos);
  EXPECT_NE(once.find("\\cellx8640"), std::string::npos);
  HWND copy = Make("y\r\n");
  WrxWindow* v = GetWrxWindow(copy);
  ASSERT_EQ(RtfRead(v, 1, reinterpret_cast<const uint8_t*>(once.data()), once.size()), 1);
  WrxRewrap(copy);
  EXPECT_EQ(Cells(copy), expected);
  EXPECT_EQ(v->cells[2].width, 4320);
  EXPECT_EQ(v->cells[1].borderSides, 2);
  ASSERT_TRUE(RtfDocumentBytes(v, 0, twice));
  EXPECT_EQ(twice, once);
}

TEST_F(WrxTablesTest, APandocTableReadsAsRowsOfCells) {
  std::string path = std::string("Z:") + PANDOC_RTF_DIR + "/tables.rtf";
  std::replace(path.begin(), path.end(), '/', '\\');
  const std::string rtf = ReadFileBytes(path);
  if (rtf.empty()) GTEST_SKIP() << "no pandoc";
  HWND hwnd = Make("x\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(RtfRead(w, 1, reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size()), 1);
  WrxRewrap(hwnd);
  // Three rows of two cells, each cell its text and its cell end, each row
  // closed by its row end; the text around the table in no cell.
  std::string shape;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const int32_t c = w->lines[i]->cell;
    shape += IsRowEndLine(w, i) ? "R" : IsCellEndLine(w, i) ? "#" : c ? "t" : "-";
  }
  EXPECT_EQ(shape.substr(0, 1), "-");
  EXPECT_NE(shape.find("t#t#Rt#t#Rt#t#R"), std::string::npos) << shape;
  std::vector<int32_t> rows;
  for (int32_t i = 0; i < w->lineCount; ++i)
    if (IsRowEndLine(w, i)) rows.push_back(RowOfLine(w, i));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(w->rows[size_t(rows[0])].next, rows[1]);
  EXPECT_EQ(w->rows[size_t(rows[2])].previous, rows[1]);
  for (int32_t row : rows) {
    const std::vector<int32_t> cells = RowCells(w, row);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(w->cells[size_t(cells[0])].width, 4320);
    EXPECT_EQ(w->cells[size_t(cells[1])].x, 4320);
  }
  std::string texts;
  for (int32_t i = 0; i < w->lineCount; ++i)
    if (w->lines[i]->cell && !IsRowEndLine(w, i)) texts += LineText(hwnd, i).substr(0, 5) + "|";
  EXPECT_NE(texts.find("Name"), std::string::npos) << texts;
  EXPECT_NE(texts.find("12.50"), std::string::npos) << texts;
  EXPECT_NE(texts.find("Ink"), std::string::npos) << texts;
}

TEST_F(WrxTablesTest, ACellWithoutARowStopsTheReadAndKeepsWhatWasRead) {
  HWND hwnd = Make("x\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  const char rtf[] = "{\\rtf1 before\\par\\cellx100 A\\cell\\row after\\par}";
  ASSERT_EQ(RtfRead(w, 1, reinterpret_cast<const uint8_t*>(rtf), sizeof rtf - 1), 1);
  EXPECT_EQ(g_errors.back(), 6);
  EXPECT_EQ(LineText(hwnd, 0).substr(0, 6), "before");
  for (int32_t i = 0; i < w->lineCount; ++i) EXPECT_EQ(w->lines[i]->cell, 0);
}

namespace {

// Widths of a row's cells, left to right, and their x positions.
std::vector<int32_t> Widths(WrxWindow* w, int32_t row) {
  std::vector<int32_t> out;
  for (int32_t c = w->rows[size_t(row)].firstCell; c > 0 && out.size() < 500; c = w->cells[size_t(c)].next)
    out.push_back(w->cells[size_t(c)].width);
  return out;
}

void Highlight(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
  w->hilight = 2, w->hlFirstLine = l1, w->hlFirstCol = c1, w->hlLastLine = l2, w->hlLastCol = c2;
}

}  // namespace

// A 2 x 3 table whose cells hold "a".."f" with widths 1000, 2000, 3000.
class WrxTableEditTest : public WrxTablesTest {
 protected:
  HWND Table() {
    HWND hwnd = Make("end\r\n");
    WrxWindow* w = GetWrxWindow(hwnd);
    EXPECT_EQ(TableParam(hwnd, 2, 3, 0), 1);
    const char* texts = "abc def";
    for (int32_t line : {6, 5, 4, 2, 1, 0}) {
      SetWrxCursorPos(hwnd, line, 0, 0);
      SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(texts[line])), 0);
    }
    for (int32_t line : {0, 1, 2, 4, 5, 6}) w->cells[size_t(w->lines[line]->cell)].width = 1000 * (line % 4 + 1);
    CheckTableStructure(w);  // x from the widths
    return hwnd;
  }
};

TEST_F(WrxTableEditTest, MergingJoinsTheHighlightedCellsOfOneRowIntoTheLast) {
  struct Case {
    const char* name;
    int32_t l1, c1, l2, c2;
    bool merges;
    std::string lines;
    std::vector<int32_t> firstRow;
  };
  const std::string untouched = "a#@1|b#@2|c#@3|R@3|d#@4|e#@5|f#@6|R@6|end/@0|";
  const Case cases[] = {
      {"two of three", 0, 0, 1, 1, true, "a/@2|b#@2|c#@3|R@3|d#@4|e#@5|f#@6|R@6|end/@0|", {3000, 3000}},
      {"the whole row", 0, 1, 2, 0, true, "a/@3|b/@3|c#@3|R@3|d#@4|e#@5|f#@6|R@6|end/@0|", {6000}},
      {"across two rows", 1, 0, 4, 1, false, untouched, {1000, 2000, 3000}},
      {"inside one cell", 0, 0, 0, 1, false, untouched, {1000, 2000, 3000}},
      {"backward", 1, 1, 0, 0, true, "a/@2|b#@2|c#@3|R@3|d#@4|e#@5|f#@6|R@6|end/@0|", {3000, 3000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND hwnd = Table();
    WrxWindow* w = GetWrxWindow(hwnd);
    ASSERT_EQ(Cells(hwnd), untouched);
    const int32_t row = w->cells[1].row;
    Highlight(w, c.l1, c.c1, c.l2, c.c2);
    SendMessageA(hwnd, WM_COMMAND, 697, 0);
    EXPECT_EQ(Cells(hwnd), c.lines);
    EXPECT_EQ(Widths(w, row), c.firstRow);
    EXPECT_EQ(w->cells[size_t(w->rows[size_t(row)].firstCell)].x, 0);
    EXPECT_EQ(w->cells[size_t(w->rows[size_t(row)].firstCell)].previous, -1);
    EXPECT_EQ(w->cells[1].inUse, c.merges ? 0 : 1);
    EXPECT_EQ(Widths(w, w->cells[4].row), (std::vector<int32_t>{1000, 2000, 3000})) << "the other row keeps its cells";
  }
  // Nothing highlighted: nothing to merge.
  HWND hwnd = Table();
  SetWrxCursorPos(hwnd, 0, 0, 0);
  EXPECT_EQ(WrxMergeCells(hwnd), 0);
}

TEST_F(WrxTableEditTest, ColumnsGoBeforeTheSelectedCellsOrAfterTheLastAndKeepTheirWidths) {
  struct Case {
    const char* name;
    int32_t selectLine;  // -1: no highlight
    std::string lines;
    std::vector<int32_t> widths;  // of both rows
  };
  const Case cases[] = {
      {"at the start", 0, "#@7|a#@1|b#@2|c#@3|R@3|#@8|d#@4|e#@5|f#@6|R@6|end/@0|", {1000, 1000, 2000, 3000}},
      {"in the middle", 1, "a#@1|#@7|b#@2|c#@3|R@3|d#@4|#@8|e#@5|f#@6|R@6|end/@0|", {1000, 2000, 2000, 3000}},
      {"at the end", -1, "a#@1|b#@2|c#@3|#@7|R@7|d#@4|e#@5|f#@6|#@8|R@8|end/@0|", {1000, 2000, 3000, 3000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND hwnd = Table();
    WrxWindow* w = GetWrxWindow(hwnd);
    const int32_t first = w->cells[1].row, second = w->cells[4].row;
    SetWrxCursorPos(hwnd, 5, 0, 0);  // in "e"
    if (c.selectLine >= 0) Highlight(w, c.selectLine, 0, c.selectLine, 1);
    SendMessageA(hwnd, WM_COMMAND, 704, 0);
    // The new cells' ids depend on the order they were made in; compare
    // against the case with the ids as the table gives them.
    std::string lines = Cells(hwnd);
    const int32_t a = w->lines[c.selectLine == 0 ? 0 : c.selectLine == 1 ? 1 : 3]->cell;
    if (a == 8) {
      for (char& ch : lines)
        if (ch == '7')
          ch = '8';
        else if (ch == '8')
          ch = '7';
    }
    EXPECT_EQ(lines, c.lines);
    for (int32_t row : {first, second}) {
      EXPECT_EQ(Widths(w, row), c.widths);
      int32_t x = 0;
      for (int32_t cell = w->rows[size_t(row)].firstCell; cell > 0; cell = w->cells[size_t(cell)].next) {
        EXPECT_EQ(w->cells[size_t(cell)].x, x);
        EXPECT_EQ(w->cells[size_t(cell)].row, row);
        x += w->cells[size_t(cell)].width;
      }
    }
    EXPECT_EQ(LineText(hwnd, w->curLine), "e\x13") << "the cursor stays in its cell";
  }
}

TEST_F(WrxTableEditTest, BordersShadingHeightAndPositionGoToTheCellsAndRowsOfTheirScope) {
  HWND hwnd = Table();
  WrxWindow* w = GetWrxWindow(hwnd);
  auto sides = [w](std::initializer_list<int32_t> cells) {
    std::vector<int32_t> out;
    for (int32_t c : cells) out.push_back(w->cells[size_t(c)].borderSides);
    return out;
  };
  SetWrxCursorPos(hwnd, 1, 0, 0);  // cell 2, the middle column
  ASSERT_EQ(CellBorderParam(hwnd, 4, 15, 15, 15, 15, 0), 1);
  EXPECT_EQ(sides({1, 2, 3, 4, 5, 6}), (std::vector<int32_t>(6, 15))) << "the whole table";
  ASSERT_EQ(CellBorderParam(hwnd, 2, 0, -1, 30, -1, 0), 1);
  EXPECT_EQ(sides({1, 2, 3, 4, 5, 6}), (std::vector<int32_t>{15, 14, 15, 15, 14, 15})) << "the column: top cleared";
  EXPECT_EQ(w->cells[5].borderWidths[2], 30);
  EXPECT_EQ(w->cells[5].borderWidths[1], 15) << "a negative width keeps the cell's";
  ASSERT_EQ(CellShadingParam(hwnd, 3, 25, 0), 1);
  for (int32_t c : {1, 2, 3}) EXPECT_EQ(w->cells[size_t(c)].shading, 25) << "the row";
  for (int32_t c : {4, 5, 6}) EXPECT_EQ(w->cells[size_t(c)].shading, 0);
  EXPECT_EQ(CellShadingParam(hwnd, 0, 25, 0), 0) << "scope 0 asks, and there is no dialog";
  ASSERT_EQ(RowHeightParam(hwnd, 500, 0, 0), 1);
  EXPECT_EQ(w->rows[size_t(w->cells[1].row)].minHeight, 500);
  EXPECT_EQ(w->rows[size_t(w->cells[4].row)].minHeight, 0);
  w->rows[size_t(w->cells[4].row)].left = 200;
  ASSERT_EQ(RowPositionParam(hwnd, 893, 891, 0), 1);  // centred, whole table
  for (int32_t c : {1, 4}) {
    EXPECT_EQ(w->rows[size_t(w->cells[size_t(c)].row)].flags & 3, 1);
    EXPECT_EQ(w->rows[size_t(w->cells[size_t(c)].row)].left, 0);
  }
  for (int32_t c = 1; c <= 6; ++c) EXPECT_EQ(w->cells[size_t(c)].flags & 3, 0) << "no marks left behind";
  // Outside a table nothing is changed.
  SetWrxCursorPos(hwnd, 8, 0, 0);
  EXPECT_EQ(CellBorderParam(hwnd, 4, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(sides({1}), (std::vector<int32_t>{15}));
}

TEST_F(WrxTableEditTest, DeletingAColumnTakesTheLinedUpCellsOfEveryRow) {
  HWND hwnd = Table();
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(DeleteCellsParam(hwnd, 2, 0), 1);
  EXPECT_EQ(Cells(hwnd), "a#@1|c#@3|R@3|d#@4|f#@6|R@6|end/@0|");
  EXPECT_EQ(Widths(w, w->cells[1].row), (std::vector<int32_t>{1000, 3000}));
  // The last column: the row ends move to the cells that now end the rows.
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(DeleteCellsParam(hwnd, 2, 0), 1);
  EXPECT_EQ(Cells(hwnd), "a#@1|R@1|d#@4|R@4|end/@0|");
}

TEST_F(WrxTableEditTest, NeighbourLookupsFollowTheCellEdges) {
  HWND hwnd = Table();
  WrxWindow* w = GetWrxWindow(hwnd);
  EXPECT_EQ(GetCellEndX(w, 2), 3000);
  EXPECT_EQ(GetCellEndX(w, 99), 0);
  EXPECT_EQ(FindCellBelow(w, 2), 5);
  EXPECT_EQ(FindCellAbove(w, 6), 3);
  EXPECT_EQ(FindCellBelow(w, 5), -1) << "the last row";
  EXPECT_EQ(MatchingNeighbourCell(w, 2, 1), 5);
  EXPECT_EQ(MatchingNeighbourCell(w, 5, 0), 2);
  EXPECT_EQ(CellAboveByIndex(w, 5, 1), 2);
  // The second row's middle cell 100 twips wider: edges no longer agree.
  w->cells[5].width += 100;
  CheckTableStructure(w);
  EXPECT_EQ(FindCellBelow(w, 2), -1);
  EXPECT_EQ(FindCellBelow(w, 3), -1);
  EXPECT_EQ(FindCellBelow(w, 1), 4) << "the first column still lines up";
  EXPECT_EQ(MatchingNeighbourCell(w, 2, 1), 0);
  EXPECT_EQ(CellAboveByIndex(w, 5, 0), 2);
  EXPECT_EQ(CellAboveByIndex(w, 5, 1), -1) << "strict: the widths differ";
  EXPECT_EQ(CellAboveByIndex(w, 2, 0), -1) << "no row above";
}

TEST_F(WrxTableEditTest, AddedCellsTakeTheirModelsRecordAndTheGivenFormats) {
  HWND hwnd = Make("x\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  const int32_t first = WrxAddTableCell(hwnd, 1, 0, 1, 100, 300, 0, 10, 15, 0, 0, 30, 1, 1, 32);
  ASSERT_GT(first, 0);
  const wrxfmt::WrxCellRecord& a = w->cells[size_t(first)];
  EXPECT_EQ(a.width, 1000) << "no width: automatic";
  EXPECT_EQ(a.flags, 8 | 32);
  EXPECT_EQ(a.x, 100);
  EXPECT_EQ(a.borderSides, 4 | 2);
  EXPECT_EQ(w->rows[size_t(a.row)].flags & 3, 1);
  EXPECT_EQ(w->rows[size_t(a.row)].minHeight, 300);
  const int32_t second = WrxAddTableCell(hwnd, 0, first, 0, 0, 0, 2000, 0, 0, 0, 0, 0, 0, 0, 0);
  ASSERT_GT(second, 0);
  EXPECT_EQ(w->cells[size_t(second)].x, 1100);
  EXPECT_EQ(w->cells[size_t(second)].flags, 16 | 64) << "spans below 1 continue merged cells";
  EXPECT_EQ(w->cells[size_t(second)].rowSpan, 1);
  EXPECT_EQ(w->rows[size_t(a.row)].lastCell, second);
  EXPECT_EQ(WrxAddTableCell(hwnd, 0, first, 0, 0, 0, 2000, 0, 0, 0, 0, 0, 1, 1, 0), 0) << "not the row's last cell";
  const int32_t below = WrxAddTableCell(hwnd, 1, second, 0, 0, 0, 500, 0, 0, 0, 0, 0, 1, 1, 0);
  ASSERT_GT(below, 0);
  EXPECT_EQ(w->rows[size_t(a.row)].next, w->cells[size_t(below)].row);
  EXPECT_EQ(w->rows[size_t(w->cells[size_t(below)].row)].previous, a.row);
  EXPECT_EQ(w->cells[size_t(below)].x, 0);
  EXPECT_EQ(WrxAddTableCell(hwnd, 1, first, 0, 0, 0, 500, 0, 0, 0, 0, 0, 1, 1, 0), 0) << "not the table's last row";
}

TEST_F(WrxTableEditTest, ABlockLeavingACellTakesWholeRows) {
  HWND hwnd = Table();
  WrxWindow* w = GetWrxWindow(hwnd);
  Highlight(w, 1, 0, 5, 1);  // from "b" into "e"
  AdjustBlockToCells(w);
  EXPECT_EQ(w->hlFirstLine, 0);
  EXPECT_EQ(w->hlFirstCol, 0);
  EXPECT_EQ(w->hlLastLine, 8) << "the line after the second row's end";
  Highlight(w, 5, 1, 1, 0);  // the same, backward
  AdjustBlockToCells(w);
  EXPECT_EQ(w->hlLastLine, 0);
  EXPECT_EQ(w->hlFirstLine, 8);
  Highlight(w, 1, 1, 8, 2);  // from "b" out of the table
  AdjustBlockToCells(w);
  EXPECT_EQ(w->hlFirstLine, 0);
  EXPECT_EQ(w->hlLastLine, 8);
  EXPECT_EQ(w->hlLastCol, 2) << "the end outside the table stays";
  Highlight(w, 1, 0, 1, 1);  // inside one cell: kept
  AdjustBlockToCells(w);
  EXPECT_EQ(w->hlFirstLine, 1);
  EXPECT_EQ(w->hlLastLine, 1);
}

TEST_F(WrxTablesTest, MergedRtfCellsFoldIntoTheCellBeforeThemAndWriteBackAsOne) {
  struct Case {
    const char* rtf;
    std::string lines;
  };
  const Case cases[] = {
      {"{\\rtf1\\trowd\\cellx1000\\clmrg\\cellx3000\\cellx5000 A\\cell\\cell C\\cell\\row after\\par}",
       "A#@1|C#@3|R@3|after/@0|"},
      {"{\\rtf1\\trowd\\cellx1000\\clmrg\\cellx3000\\cellx5000 A\\cell B\\cell C\\cell\\row after\\par}",
       "A/@1|B#@1|C#@3|R@3|after/@0|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rtf);
    HWND hwnd = Make("x\r\n");
    WrxWindow* w = GetWrxWindow(hwnd);
    ASSERT_EQ(RtfRead(w, 1, reinterpret_cast<const uint8_t*>(c.rtf), strlen(c.rtf)), 1);
    EXPECT_EQ(Cells(hwnd), c.lines);
    EXPECT_EQ(RowCells(w, w->cells[1].row), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(w->cells[1].width, 3000);
    EXPECT_EQ(w->cells[3].x, 3000);
    EXPECT_EQ(w->cells[2].inUse, 0);
    std::string once;
    ASSERT_TRUE(RtfDocumentBytes(w, 0, once));
    EXPECT_NE(once.find("\\cellx3000\\cellx5000"), std::string::npos);
    HWND copy = Make("y\r\n");
    ASSERT_EQ(RtfRead(GetWrxWindow(copy), 1, reinterpret_cast<const uint8_t*>(once.data()), once.size()), 1);
    std::string again = c.lines;  // a fresh window numbers the cells 1 and 2
    for (size_t at = again.find("@3"); at != std::string::npos; at = again.find("@3")) again[at + 1] = '2';
    EXPECT_EQ(Cells(copy), again);
  }
  // A cell that continues the one to its left is written merged, and read
  // back as one cell with both texts.
  HWND hwnd = Make("x\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(TableParam(hwnd, 1, 3, 0), 1);
  for (int32_t line : {2, 1, 0}) {
    SetWrxCursorPos(hwnd, line, 0, 0);
    SendMessageA(hwnd, WM_CHAR, WPARAM('p' + line), 0);
  }
  w->cells[size_t(w->lines[1]->cell)].flags |= 64;
  const int32_t left = w->cells[size_t(w->lines[0]->cell)].width, middle = w->cells[size_t(w->lines[1]->cell)].width;
  std::string bytes;
  ASSERT_TRUE(RtfDocumentBytes(w, 0, bytes));
  EXPECT_NE(bytes.find("\\clmrg"), std::string::npos);
  HWND copy = Make("y\r\n");
  WrxWindow* v = GetWrxWindow(copy);
  ASSERT_EQ(RtfRead(v, 1, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 1);
  EXPECT_EQ(Cells(copy), "p/@1|q#@1|r#@3|R@3|x/@0|");
  EXPECT_EQ(v->cells[1].width, left + middle);
}

namespace {

void PumpMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

}  // namespace

// A table in page view: each cell a frame of its own beside the others of its
// row, a merged cell as wide as the cells it took in, and the borders drawn.
TEST_F(WrxTablesTest, PageViewShowsCellsSideBySideWithAMergedCell) {
  HWND hwnd = MakeShown("Before the table\r\nAfter the table\r\n", 240);
  ASSERT_NE(hwnd, nullptr);
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(TableParam(hwnd, 3, 3, 0), 1);
  // Lines 1-12: three rows of three cells; the cells named by row and column.
  const char* names[] = {"Merged A1", "", "C1", "A2", "B2", "C2", "A3", "B3", "C3"};
  for (int k = 8; k >= 0; --k) {
    const int32_t line = 1 + (k / 3) * 4 + k % 3;
    SetWrxCursorPos(hwnd, line, 0, 0);
    for (const char* p = names[k]; *p; ++p) SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(*p)), 0);
  }
  for (size_t c = 1; c < w->cells.size(); ++c) w->cells[c].width = 2000;
  CheckTableStructure(w);
  w->hilight = 2, w->hlFirstLine = 1, w->hlFirstCol = 0, w->hlLastLine = 2, w->hlLastCol = 0;
  SendMessageA(hwnd, WM_COMMAND, 697, 0);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(CellBorderParam(hwnd, 4, 15, 15, 15, 15, 0), 1);
  WrxRewrap(hwnd);
  const int32_t merged = w->lines[1]->cell;
  ASSERT_EQ(w->cells[size_t(merged)].width, 4000);

  // The page view with one text frame holding every line, as pagination lays
  // out a page.
  w->arg.pageMode = 1;
  ASSERT_EQ(InitFrameSlot(w, 0), 1);
  WrxTextFrame& page = w->textFrames[0];
  page.firstLine = 0, page.lastLine = w->lineCount - 1;
  page.screenX = 10, page.screenY = 4, page.screenWidth = 480, page.screenHeight = 220;
  w->textFrameCount = 1;
  PumpMessages();
  WrxRefreshWindow(hwnd, 1);
  GdiFlush();
  const Pixels shot = CaptureClient(hwnd);
  EXPECT_TRUE(SavePng(ScreenshotPath("wrx_table_pageview.png"), shot));

  // A frame per cell, laid from the page frame's left edge.
  std::vector<const WrxTextFrame*> cells;
  for (int32_t f = 0; f < w->textFrameCount; ++f)
    if (w->textFrames[f].cell) cells.push_back(&w->textFrames[f]);
  ASSERT_EQ(cells.size(), 8u);
  const int32_t unit = MulDiv(2000, w->resX, 1440), twoUnits = MulDiv(4000, w->resX, 1440);
  EXPECT_EQ(cells[0]->cell, merged);
  EXPECT_EQ(cells[0]->screenWidth, twoUnits);
  EXPECT_EQ(cells[1]->screenX, 10 + twoUnits);
  EXPECT_EQ(cells[3]->screenX, 10 + unit) << "the second row's middle cell";
  EXPECT_EQ(cells[2]->screenY, cells[0]->screenY + cells[0]->screenHeight) << "rows one under the other";
  EXPECT_EQ(&w->textFrames[GetLineFrameId(w, 5)], cells[2]) << "the second row's first cell holds its line";
  // A point in a cell finds that cell's line, whatever the cells beside it.
  EXPECT_EQ(YToLine(w, FrameLeft(*cells[1]) + 5, FrameTop(*cells[1]) + 3), 3) << "C1";
  EXPECT_EQ(YToLine(w, FrameLeft(*cells[4]) + 5, FrameTop(*cells[4]) + 3), 7) << "C2";
  // The text of each cell starts inside it; the merged cell's row has no
  // border where the second column begins, the rows below have one.
  const int32_t left = w->textRect.left + 10;
  const int32_t rowOneMiddle = FrameTop(*cells[0]) + cells[0]->screenHeight / 2;
  const int32_t rowTwoMiddle = FrameTop(*cells[2]) + cells[2]->screenHeight / 2;
  auto column = [&](int32_t x, int32_t y) { return shot.Count(RECT{x - 1, y - 2, x + 1, y + 2}, 0x000000); };
  EXPECT_EQ(column(left + unit, rowOneMiddle), 0);
  EXPECT_GT(column(left + unit, rowTwoMiddle), 0);
  EXPECT_GT(column(left + twoUnits, rowOneMiddle), 0);
  EXPECT_GT(
      shot.CountOther(RECT{left + twoUnits + 4, FrameTop(*cells[1]) + 2, left + twoUnits + unit - 4, rowOneMiddle + 6},
                      0xFFFFFF),
      10)
      << "C1 drawn in its cell";
  // Without borders the cell grid still shows where cells end, until it is
  // switched off (command 699).
  ASSERT_EQ(CellBorderParam(hwnd, 4, 0, 0, 0, 0, 0), 1);
  ASSERT_TRUE(w->gridLines);
  const RECT edge{left + twoUnits - 1, rowOneMiddle - 2, left + twoUnits + 1, rowOneMiddle + 2};
  WrxRefreshWindow(hwnd, 1);
  GdiFlush();
  EXPECT_GT(CaptureClient(hwnd).Count(edge, 0x000000), 0) << "the grid";
  SendMessageA(hwnd, WM_COMMAND, 699, 0);
  EXPECT_FALSE(w->gridLines);
  WrxRefreshWindow(hwnd, 1);
  GdiFlush();
  EXPECT_EQ(CaptureClient(hwnd).Count(edge, 0x000000), 0) << "neither borders nor grid";
  w->arg.pageMode = 0;
}

namespace {

// What every table must keep after any edit: each line names a cell in use
// that its row links; a cell's lines end in a cell-end line and a row's in a
// row-end line carrying the row's last cell; cells lie side by side from x 0.
std::string StructureFault(WrxWindow* w) {
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const int32_t c = w->lines[i]->cell;
    if (!c) continue;
    const std::string at = " at line " + std::to_string(i);
    if (!TableCellValid(w, c) || !TableRowValid(w, w->cells[size_t(c)].row)) return "a free cell or row" + at;
    const std::vector<int32_t> cells = TableRowCells(w, w->cells[size_t(c)].row);
    if (std::find(cells.begin(), cells.end(), c) == cells.end()) return "a cell its row does not link" + at;
    if (IsRowEndLine(w, i)) {
      if (cells.back() != c) return "a row end without the row's last cell" + at;
      continue;
    }
    if (i + 1 >= w->lineCount || !w->lines[i + 1]->cell) return "a row without its row end" + at;
    if (w->lines[i + 1]->cell != c && !IsCellEndLine(w, i)) return "a cell without its cell end" + at;
  }
  for (size_t r = 1; r < w->rows.size(); ++r) {
    int32_t x = 0;
    for (int32_t c : w->rows[r].inUse ? TableRowCells(w, int32_t(r)) : std::vector<int32_t>{}) {
      if (w->cells[size_t(c)].x != x) return "cells not side by side in row " + std::to_string(r);
      x += w->cells[size_t(c)].width;
    }
  }
  return "";
}

}  // namespace

TEST_F(WrxTablesTest, ShadedCellsFillInBothViewsAndKeepTheirShadingThroughRtf) {
  HWND hwnd = MakeShown("Before\r\nAfter\r\n", 200);
  ASSERT_NE(hwnd, nullptr);
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(TableParam(hwnd, 1, 2, 0), 1);
  const int32_t left = w->lines[1]->cell, right = w->lines[2]->cell;
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(CellShadingParam(hwnd, 889, 25, 0), 1);  // the cursor's cell at 25 percent
  w->cells[size_t(right)].colour = int32_t(RGB(0, 0, 200));
  for (size_t c = 1; c < w->cells.size(); ++c) w->cells[c].width = 2880;
  CheckTableStructure(w);
  WrxRewrap(hwnd);

  COLORREF colour = 0;
  struct Case {
    int32_t shading;
    COLORREF own;
    bool shaded;
    COLORREF expected;
  } cases[] = {
      {0, w->backColor, false, 0},
      {25, w->backColor, true, RGB(192, 192, 192)},
      {100, w->backColor, true, RGB(0, 0, 0)},
      {0, RGB(0, 0, 200), true, RGB(0, 0, 200)},
      {50, RGB(0, 0, 200), true, RGB(0, 0, 100)},
      {300, w->backColor, true, RGB(0, 0, 0)},  // past 100 counts as 100
  };
  const wrxfmt::WrxCellRecord saved = w->cells[size_t(left)];
  for (const Case& c : cases) {
    w->cells[size_t(left)].shading = c.shading, w->cells[size_t(left)].colour = int32_t(c.own);
    EXPECT_EQ(CellShadeColour(w, left, &colour), c.shaded) << c.shading;
    if (c.shaded) {
      EXPECT_EQ(colour, c.expected) << c.shading;
    }
  }
  EXPECT_FALSE(CellShadeColour(w, 0, &colour)) << "no cell";
  w->cells[size_t(left)] = saved;

  // Normal view: the shaded cell's line; page view (one page laid out by
  // itself): the whole cell, beside a cell in its own colour.
  const COLORREF grey = RGB(192, 192, 192);
  WrxRefreshWindow(hwnd, 1);
  GdiFlush();
  Pixels shot = CaptureClient(hwnd);
  EXPECT_TRUE(SavePng(ScreenshotPath("wrx_table_shading_normal.png"), shot));
  const int32_t top = w->screenLines.top[1] + 2;
  ASSERT_EQ(Cells(hwnd), "Before/@0|#@" + std::to_string(left) + "|#@" + std::to_string(right) + "|R@" +
                             std::to_string(right) + "|After/@0|");
  EXPECT_GT(shot.Count(RECT{0, top, shot.width, top + 10}, 0xC0C0C0), 200) << "the shaded line in normal view";
  w->arg.pageMode = 1;
  WrxRefreshWindow(hwnd, 1);
  GdiFlush();
  shot = CaptureClient(hwnd);
  EXPECT_TRUE(SavePng(ScreenshotPath("wrx_table_shading.png"), shot));
  const int32_t f1 = GetLineFrameId(w, 1), f2 = GetLineFrameId(w, 2);
  ASSERT_GE(f1, 0);
  ASSERT_GE(f2, 0);
  auto inside = [&](const WrxTextFrame& f) {
    const int32_t x = w->textRect.left + FrameLeft(f), y = FrameTop(f);
    return RECT{x + 2, y + 2, x + f.screenWidth - 2, y + f.screenHeight - 2};
  };
  const RECT cell1 = inside(w->textFrames[f1]), cell2 = inside(w->textFrames[f2]);
  const int area1 = (cell1.right - cell1.left) * (cell1.bottom - cell1.top);
  const int area2 = (cell2.right - cell2.left) * (cell2.bottom - cell2.top);
  ASSERT_GT(area1, 100);
  EXPECT_GT(shot.Count(cell1, grey & 0xFFFFFF), area1 * 9 / 10) << "the shaded cell, edge to edge";
  EXPECT_GT(shot.Count(cell2, 0x0000C8), area2 * 9 / 10) << "the coloured cell";
  w->arg.pageMode = 0;

  // Written as shading and colour, read back the same.
  std::string bytes;
  ASSERT_TRUE(RtfDocumentBytes(w, 0, bytes));
  EXPECT_NE(bytes.find("\\clshdng2500"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\\clcfpat"), std::string::npos) << bytes;
  HWND copy = Make("y\r\n");
  WrxWindow* v = GetWrxWindow(copy);
  ASSERT_EQ(RtfRead(v, 1, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 1);
  const int32_t readLeft = v->lines[1]->cell, readRight = v->lines[2]->cell;
  EXPECT_NE(readLeft, readRight);
  ASSERT_TRUE(TableCellValid(v, readLeft) && TableCellValid(v, readRight));
  EXPECT_EQ(v->cells[size_t(readLeft)].shading, 25);
  EXPECT_EQ(uint32_t(v->cells[size_t(readLeft)].colour), uint32_t(v->backColor));
  EXPECT_EQ(uint32_t(v->cells[size_t(readRight)].colour), uint32_t(RGB(0, 0, 200)));
  // Another writer's background pattern colour is the cell's colour too.
  const char other[] =
      "{\\rtf1{\\colortbl;\\red0\\green128\\blue0;}\\trowd\\clcbpat1\\cellx2000\\cellx4000\\intbl A\\cell "
      "B\\cell\\row}";
  ASSERT_EQ(RtfRead(v, 1, reinterpret_cast<const uint8_t*>(other), sizeof other - 1), 1);
  EXPECT_EQ(uint32_t(v->cells[size_t(v->lines[0]->cell)].colour), uint32_t(RGB(0, 128, 0)));
  EXPECT_EQ(uint32_t(v->cells[size_t(v->lines[2]->cell)].colour), uint32_t(v->backColor));
}

TEST_F(WrxTablesTest, RandomEditsKeepTablesWholeInTheTextTheRtfAndThePageView) {
  std::mt19937 random(7);
  HWND copy = Make("x\r\n");
  for (int round = 0; round < 40; ++round) {
    HWND hwnd = Make("one\r\ntwo\r\nthree\r\n");
    WrxWindow* w = GetWrxWindow(hwnd);
    SetWrxCursorPos(hwnd, 1, 0, 0);
    ASSERT_EQ(TableParam(hwnd, 1 + int(random() % 4), 1 + int(random() % 4), 0), 1);
    for (int step = 0; step < 30; ++step) {
      const int32_t l1 = int32_t(random() % uint32_t(w->lineCount)), l2 = int32_t(random() % uint32_t(w->lineCount));
      SetWrxCursorPos(hwnd, l1, 0, 0);
      auto block = [&](int32_t endCol) { Highlight(w, l1, 0, l2, endCol); };
      const int op = int(random() % 8);
      switch (op) {
        case 0: block(0), MergeTableCells(w); break;
        case 1: InsertTableColumn(w, 0, int(random() % 2), 0); break;
        case 2: block(0), InsertTableColumn(w, 1, int(random() % 2), 0); break;
        case 3: DeleteTableCells(w, 1 + int(random() % 3)); break;
        case 4: block(1), DeleteTableCells(w, 2); break;
        case 5: WrxSplitCell(w); break;
        case 6: InsertTableRow(w, int(random() % 2), 0); break;
        case 7: SendMessageA(hwnd, WM_CHAR, 'z', 0); break;
      }
      w->hilight = 0;
      const std::string trace =
          "round " + std::to_string(round) + ", step " + std::to_string(step) + ", edit " + std::to_string(op) + ": ";
      ASSERT_EQ(StructureFault(w), "") << trace;
      if (step % 5 == 0) {
        std::string bytes;
        ASSERT_TRUE(RtfDocumentBytes(w, 0, bytes));
        ASSERT_EQ(RtfRead(GetWrxWindow(copy), 1, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 1);
        ASSERT_EQ(StructureFault(GetWrxWindow(copy)), "") << trace << "read back";
      }
      if (step % 3 == 0) {
        // The page view puts every line of a cell in that cell's frame.
        w->arg.pageMode = 1;
        ASSERT_EQ(InitFrameSlot(w, 0), 1);
        w->textFrames[0].firstLine = 0, w->textFrames[0].lastLine = w->lineCount - 1;
        w->textFrames[0].screenWidth = 500, w->textFrames[0].screenHeight = 3000;
        w->textFrameCount = 1;
        const int32_t drawable = PlaceTableFrames(w, 1);
        for (int32_t i = 0; i < w->lineCount; ++i) {
          if (IsRowEndLine(w, i)) continue;
          int holders = 0;
          for (int32_t f = 0; f < w->textFrameCount; ++f) {
            const WrxTextFrame& fr = w->textFrames[f];
            if (fr.noText || i < fr.firstLine || i > fr.lastLine) continue;
            ++holders;
            EXPECT_EQ(fr.cell, w->lines[i]->cell) << trace << "line " << i;
          }
          ASSERT_EQ(holders, 1) << trace << "line " << i;
        }
        EXPECT_EQ(PlaceTableFrames(w, drawable), drawable) << "a second paint cuts nothing more";
        w->arg.pageMode = 0;
      }
    }
    SetWrxModify(hwnd, 0);
    CloseWrx(hwnd, 0);
    windows_.pop_back();
  }
}

// In page mode without pages, a click into an empty cell puts the cursor in
// that cell, before its cell mark, and typing fills it.
TEST_F(WrxTablesTest, AClickIntoACellOfThePageViewTypesIntoThatCell) {
  const std::string text = "Title line\r\nPlain words here.\r\n";
  WrxArgList a = HiddenArgs(WRX_WORDWRAP);
  a.style = WS_POPUP | WS_VISIBLE | WRX_WORDWRAP | WRX_PRINTVIEW | WRX_PAGEMODE;
  a.printView = a.pageMode = 1;
  a.x = 0, a.y = 0, a.width = 440, a.height = 300;
  SetArgsText(a, text);
  HWND hwnd = CreateWrxWindow(&a);
  ASSERT_NE(hwnd, nullptr);
  windows_.push_back(hwnd);
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, a.width, a.height, SWP_SHOWWINDOW);
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  SendMessageA(hwnd, WM_COMMAND, 694, 0);  // 3 rows of 2 cells before "Plain words"
  PumpMessages();
  WrxRefreshWindow(hwnd, 1);
  const int32_t target = 8;  // the last row's second cell: its cell-end line
  ASSERT_TRUE(IsCellEndLine(w, target));
  const int32_t f = GetLineFrameId(w, target);
  ASSERT_GE(f, 0);
  const WrxTextFrame& cell = w->textFrames[f];
  ASSERT_EQ(cell.cell, w->lines[target]->cell) << "the cell is a frame of its own";
  const int32_t x = w->textRect.left + FrameLeft(cell) + cell.screenWidth / 2 - w->hOffset;
  const int32_t y = FrameTop(cell) + 4 - w->vScrollPos;
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  EXPECT_EQ(w->curLine, target);
  EXPECT_EQ(w->curCol, 0) << "before the cell mark, not past it into the row end";
  for (char c : std::string("in a cell")) SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(c)), 0);
  EXPECT_EQ(LineText(hwnd, target), "in a cell\x13");
  EXPECT_EQ(LineText(hwnd, target + 2), "Plain words here.\x15");
  SetWrxModify(hwnd, 0);
}
