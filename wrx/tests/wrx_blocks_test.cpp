// Breaks, block copies and moves, and the checks before a block is deleted,
// on real control windows.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace wrxtest;

namespace {

class WrxBlocksTest : public WrxHostTest {
 protected:
  HWND Make(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    if (style & WRX_WORDWRAP) WrxRewrap(hwnd);
    return hwnd;
  }
  static std::string All(HWND hwnd) {
    std::string s;
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int32_t i = 0; i < w->lineCount; ++i) s += LineText(hwnd, i) + "|";
    return s;
  }
  static void LineBlock(HWND hwnd, int32_t first, int32_t last) {
    WrxWindow* w = GetWrxWindow(hwnd);
    w->hilight = 1, w->hlFirstLine = first, w->hlLastLine = last, w->hlFirstCol = w->hlLastCol = 0;
  }
  // Takes the recorded boxes, so the fixture's check at the end sees none.
  static std::vector<Box> TakeBoxes() {
    std::vector<Box> b;
    b.swap(g_boxes);
    return b;
  }
};

}  // namespace

TEST_F(WrxBlocksTest, BreaksOpenAMarkerLineAboveTheCursorAndUndoTakesOnlyThemBack) {
  struct Case {
    int command;
    uint8_t marker;
    uint32_t info;
  };
  const Case cases[] = {
      {670, WRX_PAGEBREAK, LI_PAGEBREAK}, {675, WRX_COLBREAK, LI_COLBREAK}, {672, WRX_SECTBREAK, LI_SECTBREAK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    HWND hwnd = Make("first para\r\nsecond para\r\n", WRX_WORDWRAP | WRX_PRINTVIEW);
    WrxWindow* w = GetWrxWindow(hwnd);
    const std::string before = All(hwnd);
    SetWrxCursorPos(hwnd, 1, 3, 0);
    SendMessageA(hwnd, WM_CHAR, 'x', 0);
    SetWrxCursorPos(hwnd, 1, 0, 0);
    w->arg.printView = 1;
    w->sections.front().columns = 2;  // column breaks need columns
    ASSERT_EQ(WrxMenuEnable(hwnd, c.command), UINT(MF_ENABLED));
    SendMessageA(hwnd, WM_COMMAND, c.command, 0);
    ASSERT_EQ(w->lines[1]->length, 1);
    EXPECT_EQ(uint8_t(w->lines[1]->text[0]), c.marker);
    ASSERT_NE(w->lines[1]->info, nullptr);
    EXPECT_TRUE(w->lines[1]->info->flags & c.info);
    EXPECT_EQ(w->curLine, 2) << "the cursor is on the line after the break";
    EXPECT_EQ(LineText(hwnd, 0), "first para\x15");
    // The typing before the break cannot be undone any more; the break can.
    ASSERT_EQ(w->undo.size(), 1u);
    SendMessageA(hwnd, WM_COMMAND, 638, 0);
    EXPECT_EQ(LineText(hwnd, 0), "first para\x15") << "the paragraph above stays";
    EXPECT_EQ(All(hwnd), "first para\x15|secxond para\x15|");
    (void)before;
  }
}

TEST_F(WrxBlocksTest, APageBreakInsideAParagraphEndsItFirst) {
  HWND hwnd = Make(
      "one two three four five six seven eight nine ten eleven twelve thirteen fourteen "
      "fifteen sixteen seventeen eighteen nineteen twenty twentyone twentytwo\r\n",
      WRX_WORDWRAP | WRX_PRINTVIEW);
  WrxWindow* w = GetWrxWindow(hwnd);
  MoveWindow(hwnd, 0, 0, 200, 300, FALSE);
  WrxRewrap(hwnd);
  ASSERT_GT(w->lineCount, 2);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_TRUE(InsertPageBreak(hwnd, 0));
  EXPECT_EQ(LineText(hwnd, 1), "\x15");
  EXPECT_EQ(LineText(hwnd, 2), "\x0c");
  EXPECT_EQ(w->curLine, 3);
  ASSERT_TRUE(Undo(w));
  std::string text;
  for (int32_t i = 0; i < w->lineCount; ++i) text += LineText(hwnd, i);
  EXPECT_EQ(text.find('\x0c'), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\x15'), 1);
}

TEST_F(WrxBlocksTest, BreaksAreRefusedInACellWithoutTouchingUndoAndTheSectionTableStopsAtAHundred) {
  HWND hwnd = Make("text\r\ncell\r\n", WRX_WORDWRAP | WRX_PRINTVIEW);
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  SendMessageA(hwnd, WM_CHAR, 'x', 0);
  w->lines[1]->cell = 1;
  SetWrxCursorPos(hwnd, 1, 0, 0);
  const std::string before = All(hwnd);
  EXPECT_EQ(InsertPageBreak(hwnd, 0), 0);
  EXPECT_EQ(InsertColumnBreak(hwnd, 0), 0);
  EXPECT_EQ(WrxSectBreak(hwnd, 0), 0);
  EXPECT_EQ(All(hwnd), before);
  EXPECT_EQ(w->undo.size(), 1u) << "a refused break leaves the undo store alone";
  w->lines[1]->cell = 0;

  SetWrxCursorPos(hwnd, 0, 0, 0);
  SetWrxFlags(hwnd, 0);  // the box shows
  int made = 0;
  while (WrxSectBreak(hwnd, 0)) ++made;
  EXPECT_EQ(made, 99) << "section 0 and 99 more";
  ASSERT_EQ(TakeBoxes().size(), 1u);
  EXPECT_EQ(g_errors.back(), 128);
  EXPECT_EQ(g_routines.back(), "WrxSectBreak");
  // Each new record ends at its own break line.
  for (size_t i = 1; i < w->sections.size(); ++i) {
    const int32_t line = w->sections[i].lastLine;
    ASSERT_TRUE(line >= 0 && line < w->lineCount);
    EXPECT_EQ(uint8_t(w->lines[line]->text[0]), WRX_SECTBREAK);
    EXPECT_EQ(w->lines[line]->info->section, int32_t(i));
  }
  EXPECT_GT(w->sections[0].firstLine, w->sections[1].lastLine);
  // A freed record is taken again.
  w->sections[5].inUse = 0;
  EXPECT_EQ(WrxSectBreak(hwnd, 0), 1);
  EXPECT_EQ(w->sections.size(), 100u);
}

TEST_F(WrxBlocksTest, DeletionChecksRefuseProtectedAndHeaderTextAndWidenOverFields) {
  HWND hwnd = Make("plain text\r\nsecond\r\nthird\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxFlags(hwnd, WRXF_SILENT);
  const int locked = SetWrxFont(hwnd, -1, 1, "Arial", 12, 0x200, 0, 0xFFFFFF, 0, 0);
  uint8_t ids[6] = {0, 0, 0, 0, uint8_t(locked), 0};
  SetWrxLine(hwnd, 1, "second", ids);
  SetWrxFlags(hwnd, 0);
  struct Case {
    int32_t l1, c1, l2, c2;
    int kind;
    int error;  // 0: allowed
  };
  const Case cases[] = {
      {0, 2, 1, 3, 2, 0},   // stops before the protected character
      {0, 2, 1, 5, 2, 32},  // takes it
      {2, 0, 0, 6, 2, 32},  // drawn backwards
      {0, 0, 0, 0, 1, 0},   // a line block without it
      {1, 0, 1, 0, 1, 32},  // a line block with it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.l1 << "," << c.c1 << "-" << c.l2 << "," << c.c2);
    w->hilight = c.kind, w->hlFirstLine = c.l1, w->hlFirstCol = c.c1, w->hlLastLine = c.l2, w->hlLastCol = c.c2;
    EXPECT_EQ(CheckHdrFtrDelete(w, 0), c.error ? 1 : 0);
  }
  EXPECT_TRUE(g_boxes.empty()) << "without report nothing shows";
  const std::string before = All(hwnd);
  SelectWrxText(hwnd, 0, 0, 2, 2, 0);
  EXPECT_EQ(WrxDeleteBlock(hwnd), 1);
  EXPECT_EQ(All(hwnd), before);
  auto boxes = TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "This selection contains protected text");
  EXPECT_EQ(boxes[0].title, "Text Protection Error");

  // A header delimiter line cannot go with the body text.
  AllocLineInfo(w, 2);
  w->lines[2]->info->flags |= LI_HEADER;
  w->hilight = 1, w->hlFirstLine = 2, w->hlLastLine = 2;
  EXPECT_EQ(CheckHdrFtrDelete(w, 1), 1);
  EXPECT_EQ(g_errors.back(), 91);
  TakeBoxes();
  w->lines[2]->info->flags = 0;

  // A block starting inside a footnote mark's run takes the whole mark.
  const int mark = SetWrxFont(hwnd, -1, 1, "Arial", 12, 0x800, 0, 0xFFFFFF, 0, 0);
  uint8_t markIds[5] = {0, uint8_t(mark), uint8_t(mark), uint8_t(mark), 0};
  SetWrxFlags(hwnd, WRXF_SILENT);
  SetWrxLine(hwnd, 0, "a123b", markIds);
  SetWrxFlags(hwnd, 0);
  w->hilight = 2, w->hlFirstLine = 0, w->hlFirstCol = 2, w->hlLastLine = 0, w->hlLastCol = 3;
  ASSERT_EQ(ExpandBlockToFields(w), 1);
  EXPECT_EQ(w->hlFirstCol, 1);
  EXPECT_EQ(w->hlLastCol, 4);
  w->hilight = 0;
}

TEST_F(WrxBlocksTest, CharacterBlocksCopyAndMoveToTheCursor) {
  // A three-line block copied into the middle of a line splits it and joins
  // the copy's first and last parts to its halves.
  HWND hwnd = Make("aaaa\r\nbbbb\r\ncccc\r\nXXYY\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  SelectWrxText(hwnd, 0, 2, 2, 2, 0);
  SetWrxCursorPos(hwnd, 3, 2, 0);
  w->hilight = 2, w->hlFirstLine = 0, w->hlFirstCol = 2, w->hlLastLine = 2, w->hlLastCol = 2;
  ASSERT_EQ(CopyCharBlock(w, 0), 1);
  EXPECT_EQ(All(hwnd), "aaaa|bbbb|cccc|XXaa|bbbb|ccYY|");
  EXPECT_EQ(w->hilight, 0);
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(All(hwnd), "aaaa|bbbb|cccc|XXYY|");

  // A move to a cursor inside the block does nothing.
  w->hilight = 2, w->hlFirstLine = 0, w->hlFirstCol = 1, w->hlLastLine = 1, w->hlLastCol = 2;
  SetWrxCursorPos(hwnd, 0, 3, 0);
  w->hilight = 2, w->hlFirstLine = 0, w->hlFirstCol = 1, w->hlLastLine = 1, w->hlLastCol = 2;
  EXPECT_EQ(CopyCharBlock(w, 1), 0);
  EXPECT_EQ(All(hwnd), "aaaa|bbbb|cccc|XXYY|");

  // A move within one line, to a cursor past the line's end (padded) and
  // back before the block.
  SetWrxCursorPos(hwnd, 3, 0, 0);
  w->curCol = 6;
  w->hilight = 2, w->hlFirstLine = 3, w->hlFirstCol = 0, w->hlLastLine = 3, w->hlLastCol = 2;
  ASSERT_EQ(CopyCharBlock(w, 1), 1);
  EXPECT_EQ(LineText(hwnd, 3), "YY  XX");
  SetWrxCursorPos(hwnd, 0, 0, 0);
  w->hilight = 2, w->hlFirstLine = 1, w->hlFirstCol = 1, w->hlLastLine = 1, w->hlLastCol = 3;
  ASSERT_EQ(CopyCharBlock(w, 1), 1);
  EXPECT_EQ(All(hwnd), "bbaaaa|bb|cccc|YY  XX|");
  EXPECT_EQ(w->curLine, 0);
  EXPECT_EQ(w->curCol, 0);
}

TEST_F(WrxBlocksTest, ACopyThatWouldPassTheLineLimitIsRefused) {
  const std::string longLine(2040, 'L');
  HWND hwnd = Make(longLine + "\r\nabcdefghij\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 0, 10, 0);
  SetWrxFlags(hwnd, 0);
  w->hilight = 2, w->hlFirstLine = 1, w->hlFirstCol = 0, w->hlLastLine = 1, w->hlLastCol = 10;
  EXPECT_EQ(CopyCharBlock(w, 0), 0);
  EXPECT_EQ(LineText(hwnd, 0), longLine);
  auto boxes = TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Max Line Exceeded!");
  EXPECT_EQ(boxes[0].title, "Block Size Error");
}

TEST_F(WrxBlocksTest, LineBlocksCopyAndMoveByCommand) {
  HWND hwnd = Make("one\r\ntwo\r\nthree\r\nfour\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 3, 0, 0);
  LineBlock(hwnd, 0, 1);
  SendMessageA(hwnd, WM_COMMAND, 623, 0);
  EXPECT_EQ(All(hwnd), "one|two|three|four|one|two|");
  EXPECT_EQ(w->curLine, 4);
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(All(hwnd).substr(0, 19), "one|two|three|four|");
  // The cursor inside the block: the copy goes after the block.
  HWND second = Make("one\r\ntwo\r\nthree\r\nfour\r\n");
  SetWrxCursorPos(second, 0, 0, 0);
  LineBlock(second, 0, 1);
  SendMessageA(second, WM_COMMAND, 623, 0);
  EXPECT_EQ(All(second), "one|two|one|two|three|four|");
  // A move takes the block away.
  SetWrxCursorPos(second, 5, 0, 0);
  LineBlock(second, 4, 4);
  SendMessageA(second, WM_COMMAND, 624, 0);
  EXPECT_EQ(All(second), "one|two|one|two|four|three|");
}

// A deleted block's lines are kept by the undo step where the loaded document
// holds them; edited lines and mixed fonts among them must come back exactly,
// whatever is typed next to the gap before the undo.
TEST_F(WrxBlocksTest, LargeBlockDeletesUndoToTheSameTextAndFonts) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i) + " of the loaded text\r\n";
  struct Case {
    int kind;  // 1 line block, 2 character block
    int32_t l1, c1, l2, c2;
  };
  const Case cases[] = {
      {2, 2, 3, 30, 4},  // inside lines at both ends
      {2, 0, 0, 12, 0},  // from the top to a line start
      {2, 4, 0, 40, 0},  // to the end of the text
      {1, 3, 0, 20, 0},  // whole lines
      {1, 0, 0, 40, 0},  // every line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << ": " << c.l1 << "," << c.c1 << "-" << c.l2 << "," << c.c2);
    HWND hwnd = Make(text);
    WrxWindow* w = GetWrxWindow(hwnd);
    const int bold = SetWrxFont(hwnd, -1, 1, "Arial", 12, 2, 0, 0xFFFFFF, 0, 0);
    std::vector<uint8_t> ids(LineText(hwnd, 5).size(), 0);
    for (size_t k = 3; k < 9; ++k) ids[k] = uint8_t(bold);
    SetWrxLine(hwnd, 5, LineText(hwnd, 5).c_str(), ids.data());  // its own text and mixed fonts
    SetWrxCursorPos(hwnd, 8, 2, 0);
    SendMessageA(hwnd, WM_CHAR, 'Q', 0);  // an edited line
    auto snapshot = [&] {
      std::string s;
      for (int32_t i = 0; i < w->lineCount; ++i) {
        s += LineText(hwnd, i) + "|";
        for (int32_t k = 0; k < w->lines[i]->length; ++k) s += char('0' + GetCharFont(w, i, k));
        s += "\n";
      }
      return s;
    };
    const std::string before = snapshot();
    w->undo.clear();
    w->hilight = c.kind, w->hlFirstLine = c.l1, w->hlFirstCol = c.c1;
    w->hlLastLine = std::min(c.l2, w->lineCount - 1), w->hlLastCol = c.c2;
    ASSERT_EQ(WrxDeleteBlock(hwnd), 1);
    ASSERT_LT(w->lineCount, 40);
    ASSERT_EQ(w->undo.size(), 1u);
    EXPECT_FALSE(w->undo.back().pieces.empty()) << "the loaded lines are kept where they are";
    // Typing where the block was writes into the text beside it.
    SendMessageA(hwnd, WM_CHAR, 'z', 0);
    SendMessageA(hwnd, WM_CHAR, 'y', 0);
    while (!w->undo.empty()) ASSERT_EQ(Undo(w), 1);
    EXPECT_EQ(snapshot(), before);
  }
}

TEST_F(WrxBlocksTest, ReadingTheDocumentAgainEmptiesTheUndoStore) {
  HWND hwnd = Make("one\r\ntwo\r\nthree\r\nfour\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  SelectWrxText(hwnd, 0, 1, 3, 1, 0);
  ASSERT_EQ(WrxDeleteBlock(hwnd), 1);
  ASSERT_FALSE(w->undo.empty());
  ASSERT_EQ(WrxRead(w, nullptr), 1);
  EXPECT_TRUE(w->undo.empty()) << "the step's text and positions belong to the old document";
  EXPECT_EQ(LineText(hwnd, 1), "two");
}
