#include "browser/vlb_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What the list told its window.
struct Recorded {
  std::vector<int> notes;
  int scrollMax = -1, scrollPage = -1, scrollPos = -1;
  int invalidations = 0;
  bool timer = false, captured = false;
};
Recorded* g_rec;

VlbView RecordingView() {
  VlbView v{};
  v.window = nullptr;
  v.newShell = true;
  v.invalidate = [](void*, int, int) { ++g_rec->invalidations; };
  v.update = [](void*) {};
  v.notify = [](void*, int code, int key) { g_rec->notes.push_back(code == kVlbNotifyKey ? 700 + key : code); };
  v.setScrollRange = [](void*, int max, int page) {
    g_rec->scrollMax = max;
    g_rec->scrollPage = page;
  };
  v.setScrollPos = [](void*, int pos) { g_rec->scrollPos = pos; };
  v.scrollContents = [](void*, int) {};
  v.addModeTimer = [](void*, bool on) { g_rec->timer = on; };
  v.capture = [](void*, bool on) { g_rec->captured = on; };
  v.focusParent = [](void*) {};
  return v;
}

class VlbModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_rec = &rec;
    VlbInit(s);
    s.rowHeight = 10;
    VlbSize(s, v, 100, false);  // ten rows a page
  }
  void TearDown() override { VlbFreeTable(s); }
  void Fill(int n, int mode = 2) {
    VlbModelCommand(s, v, kVlbModeSingle + (mode == 2 ? 18 : mode), 0, 0);
    for (int i = 0; i < n; ++i) ASSERT_EQ(0, VlbAddRow(s, v, 100 + i));
    VlbUpdateScrollBar(s, v);
  }
  int32_t Cmd(int op, intptr_t l = 0) { return VlbModelCommand(s, v, op, 0, l); }
  std::vector<int32_t> Selected() {
    std::vector<int32_t> rows;
    VlbSelectedRowList(s, rows);
    return rows;
  }
  Recorded rec;
  VlbState s;
  VlbView v = RecordingView();
};

TEST_F(VlbModelTest, ScrollBarIsRowNumberedUpTo30000RowsAndScaledAbove) {
  struct Case {
    int rows;
    int max;
    bool scaled;
  } cases[] = {{5, 0, false}, {30000, 29999, false}, {30001, 1000, true}};
  for (const Case& c : cases) {
    VlbReset(s, v);
    Fill(c.rows);
    EXPECT_EQ(c.max, rec.scrollMax) << c.rows;
    EXPECT_EQ(c.scaled, s.scaled != 0) << c.rows;
  }
  // The scaled thumb at 1000 shows the last page; halfway shows the middle.
  VlbScroll(s, v, kVlbThumbPosition, 1000, true);
  EXPECT_EQ(30001 - 10, Cmd(kVlbTopRow));
  VlbScroll(s, v, kVlbThumbPosition, 500, true);
  EXPECT_EQ(500 * 30, Cmd(kVlbTopRow));
  EXPECT_EQ(static_cast<int>(15000LL * 1000 / 30001), rec.scrollPos);
}

TEST_F(VlbModelTest, TableGrowsInStepsAndStopsAtTheLastRow) {
  Fill(8190);
  EXPECT_EQ(32768, s.tableBytes);
  VlbAddRow(s, v, 1);  // 8191 rows
  EXPECT_EQ(4 * 8191 + 32768, s.tableBytes);
  VlbDeleteRow(s, v, 0);  // 8190: no step
  EXPECT_EQ(4 * 8191 + 32768, s.tableBytes);
  VlbAddRow(s, v, 1);
  VlbAddRow(s, v, 1);
  VlbDeleteRow(s, v, 0);  // back to 8191: the same formula
  EXPECT_EQ(4 * 8191 + 32768, s.tableBytes);

  VlbReset(s, v);
  for (int i = 0; i < kVlbMaxRows; ++i)
    if (VlbAddRow(s, v, i) != 0) FAIL() << "add " << i << " refused";
  EXPECT_EQ(-2, VlbAddRow(s, v, 7));
  int32_t pair[2] = {0, 7};
  EXPECT_EQ(-2, Cmd(kVlbInsertRow, reinterpret_cast<intptr_t>(pair)));
  EXPECT_EQ(kVlbMaxRows, Cmd(kVlbRowCount));
  EXPECT_EQ(kVlbMaxRows - 1, Cmd(kVlbRowValue, kVlbMaxRows - 1));
}

TEST_F(VlbModelTest, SelectAllCountsAndListsEveryRow) {
  Fill(25);
  Cmd(kVlbSelectAll);
  EXPECT_EQ(25, Cmd(kVlbSelectedCount));
  std::vector<int32_t> rows = Selected();
  ASSERT_EQ(25u, rows.size());
  for (int i = 0; i < 25; ++i) EXPECT_EQ(i, rows[i]);
  EXPECT_EQ(kVlbNotifySelChange, rec.notes.back());
  // Values never show the selected bit.
  EXPECT_EQ(103, Cmd(kVlbRowValue, 3));
  EXPECT_EQ(4, Cmd(kVlbFindValue, 104));
}

// Keys on a list of 25 rows with ten rows a page.
TEST_F(VlbModelTest, KeysMoveTheCaretAsTheTableSays) {
  struct Case {
    const char* name;
    int startCaret, startTop, key;
    int caret, top;
  } cases[] = {
      {"page up on the first page goes to row 0", 4, 0, kVlbKeyPageUp, 0, 0},
      {"page up scrolls by a page", 17, 12, kVlbKeyPageUp, 7, 2},
      {"page down on the last page goes to the last row", 18, 15, kVlbKeyPageDown, 24, 15},
      {"page down moves by a page", 8, 3, kVlbKeyPageDown, 18, 13},
      {"page down near the end stops at the last page", 8, 6, kVlbKeyPageDown, 17, 15},
      {"page down from the top", 2, 0, kVlbKeyPageDown, 12, 10},
      {"end", 3, 0, kVlbKeyEnd, 24, 15},
      {"home", 20, 15, kVlbKeyHome, 0, 0},
      {"down below the page scrolls one", 9, 0, kVlbKeyDown, 10, 1},
      {"up above the top scrolls to it", 5, 5, kVlbKeyUp, 4, 4},
      {"up on row 0 stays", 0, 0, kVlbKeyUp, 0, 0},
  };
  Fill(25);
  for (const Case& c : cases) {
    VlbSelectRow(s, v, c.startCaret, true, false);
    s.top = c.startTop;
    VlbKey(s, v, c.key, false);
    EXPECT_EQ(c.caret, s.caret) << c.name;
    EXPECT_EQ(c.top, s.top) << c.name;
    EXPECT_EQ(std::vector<int32_t>{c.caret}, Selected()) << c.name;
  }
}

TEST_F(VlbModelTest, EmptyListSwallowsKeysAndOtherKeysGoToTheParent) {
  Fill(0);
  rec.notes.clear();
  for (int key : {static_cast<int>(kVlbKeyDown), 0x25, 0x41}) VlbKey(s, v, key, false);
  EXPECT_TRUE(rec.notes.empty());
  VlbAddRow(s, v, 1);
  VlbKey(s, v, 0x25, false);
  VlbKey(s, v, kVlbKeyF8, false);
  EXPECT_EQ((std::vector<int>{700 + 0x25, 700 + kVlbKeyF8}), rec.notes);
}

TEST_F(VlbModelTest, ShiftExtendsFromTheAnchorBothWays) {
  Fill(25);
  VlbSelectRow(s, v, 5, true, false);
  VlbKey(s, v, kVlbKeyDown, true);
  VlbKey(s, v, kVlbKeyDown, true);
  EXPECT_EQ((std::vector<int32_t>{5, 6, 7}), Selected());
  for (int i = 0; i < 4; ++i) VlbKey(s, v, kVlbKeyUp, true);
  EXPECT_EQ((std::vector<int32_t>{3, 4, 5}), Selected());
  EXPECT_EQ(1, s.reversed);
  EXPECT_EQ(3, Cmd(kVlbSelectedCount));
}

TEST_F(VlbModelTest, CtrlClickTogglesAndAPlainDragReplacesTheToggledRows) {
  Fill(25);
  VlbButtonDown(s, v, 25, true, false, false);  // row 2
  VlbButtonUp(s, v);
  VlbButtonDown(s, v, 55, true, true, false);  // Ctrl: row 5 joins
  VlbButtonUp(s, v);
  VlbButtonDown(s, v, 75, true, true, false);  // row 7
  VlbButtonUp(s, v);
  EXPECT_EQ((std::vector<int32_t>{2, 5, 7}), Selected());
  VlbButtonDown(s, v, 75, true, true, false);  // row 7 toggled off
  VlbButtonUp(s, v);
  EXPECT_EQ((std::vector<int32_t>{2, 5}), Selected());

  VlbButtonDown(s, v, 85, true, false, false);  // plain press on 8, drag to 9
  EXPECT_TRUE(rec.captured);
  VlbMouseMove(s, v, 95);
  VlbButtonUp(s, v);
  EXPECT_FALSE(rec.captured);
  EXPECT_EQ((std::vector<int32_t>{8, 9}), Selected());
}

TEST_F(VlbModelTest, RightClickKeepsAMultipleSelection) {
  Fill(25);
  VlbSelectRow(s, v, 2, true, false);
  VlbSelectRow(s, v, 4, false, false);
  VlbButtonDown(s, v, 35, false, false, false);  // row 3, already selected
  EXPECT_EQ((std::vector<int32_t>{2, 3, 4}), Selected());
  VlbButtonDown(s, v, 95, false, false, false);  // row 9
  EXPECT_EQ((std::vector<int32_t>{9}), Selected());
}

TEST_F(VlbModelTest, DraggingBelowTheListKeepsScrolling) {
  Fill(25);
  VlbButtonDown(s, v, 5, true, false, false);
  // Below the window: the row past the page is selected, scrolled into view,
  // and the window is asked to repeat the move.
  EXPECT_TRUE(VlbMouseMove(s, v, 105));
  EXPECT_EQ(10, s.caret);
  EXPECT_EQ(1, s.top);
  EXPECT_TRUE(VlbMouseMove(s, v, 105));
  EXPECT_EQ(2, s.top);
  // Above the window: negative y rounds to the row above the top.
  EXPECT_TRUE(VlbMouseMove(s, v, -1));
  EXPECT_EQ(1, s.caret);
  EXPECT_EQ(1, s.top);
  EXPECT_EQ((std::vector<int32_t>{0, 1}), Selected());
  VlbMouseMove(s, v, -1);
  EXPECT_FALSE(VlbMouseMove(s, v, -1)) << "row 0 is on the page: nothing more to scroll";
}

TEST_F(VlbModelTest, AddModeMovesTheCaretWithoutTheSelection) {
  Fill(25);
  VlbSelectRow(s, v, 1, true, false);
  VlbKey(s, v, kVlbKeyF8, true);
  EXPECT_TRUE(rec.timer);
  EXPECT_EQ(1, Cmd(kVlbAddMode));
  VlbKey(s, v, kVlbKeyDown, false);
  VlbKey(s, v, kVlbKeyDown, false);
  VlbKey(s, v, kVlbKeySpace, false);
  EXPECT_EQ(3, s.caret);
  EXPECT_EQ((std::vector<int32_t>{1, 3}), Selected());
  VlbKey(s, v, kVlbKeyF8, true);
  EXPECT_FALSE(rec.timer);
  EXPECT_EQ(0, Cmd(kVlbAddMode));
}

TEST_F(VlbModelTest, ThumbTrackingLeavesTheTopUntilRelease) {
  Fill(100);
  VlbScroll(s, v, kVlbThumbTrack, 40, true);
  EXPECT_EQ(0, Cmd(kVlbTopRow));
  VlbScroll(s, v, kVlbThumbPosition, 40, true);
  EXPECT_EQ(40, Cmd(kVlbTopRow));
}

TEST_F(VlbModelTest, RowOperationsAndTheirRefusals) {
  Fill(30);
  s.top = 10;
  int32_t pair[2] = {5, 999};
  EXPECT_EQ(0, Cmd(kVlbInsertRow, reinterpret_cast<intptr_t>(pair)));
  EXPECT_EQ(11, s.top) << "rows at or above the top keep the visible rows in place";
  EXPECT_EQ(5, s.caret);
  EXPECT_EQ(999, Cmd(kVlbRowValue, 5));
  pair[0] = 32;
  EXPECT_EQ(-1, Cmd(kVlbInsertRow, reinterpret_cast<intptr_t>(pair)));

  VlbSelectRow(s, v, 7, true, false);
  Cmd(kVlbDeleteRow, 7);
  EXPECT_EQ(6, s.caret) << "the deleted caret row hands the caret to the row above";
  VlbSelectRow(s, v, 0, true, false);
  Cmd(kVlbDeleteRow, 0);
  EXPECT_EQ(0, s.caret);

  EXPECT_EQ(0, Cmd(kVlbSetCaretRow, 0)) << "row 0 is a row like any other";
  EXPECT_EQ(-1, Cmd(kVlbSetCaretRow, 30));
  EXPECT_EQ(-1, Cmd(kVlbSetTopRow, 30));
  EXPECT_EQ(-1, Cmd(kVlbRowValue, -1));
  EXPECT_EQ(-1, Cmd(kVlbUnused33772));
  EXPECT_EQ(-1, Cmd(kVlbUnused33790));

  pair[0] = 3;
  pair[1] = 77;
  VlbSelectRow(s, v, 3, true, false);
  Cmd(kVlbSetRowValue, reinterpret_cast<intptr_t>(pair));
  EXPECT_EQ(77, Cmd(kVlbRowValue, 3));
  EXPECT_TRUE(VlbRowSelected(s, 3)) << "a new value keeps the selected bit";
  EXPECT_EQ(3, Cmd(kVlbFindAndSelect, 77));

  rec.notes.clear();
  Cmd(kVlbReset);
  EXPECT_EQ(0, s.mode) << "a reset leaves the list in mode 0";
  EXPECT_EQ(0, Cmd(kVlbRowCount));
  EXPECT_EQ(std::vector<int>{kVlbNotifyCleared}, rec.notes);
  EXPECT_EQ(-1, Cmd(kVlbDeleteRow, 0));
}

TEST_F(VlbModelTest, DoubleClickBelowTheLastRowSendsNothing) {
  Fill(3);
  rec.notes.clear();
  VlbDoubleClick(s, v, 45);
  EXPECT_TRUE(rec.notes.empty());
  VlbDoubleClick(s, v, 25);
  EXPECT_EQ(std::vector<int>{kVlbNotifyDoubleClick}, rec.notes);
}

TEST_F(VlbModelTest, SingleAndRangeModesReportTheirSelection) {
  Fill(20, 0);
  EXPECT_EQ(-1, Cmd(kVlbCaret));
  VlbSelectRow(s, v, 4, true, false);
  VlbKey(s, v, kVlbKeyDown, true);  // mode 0: Shift just moves the one row
  EXPECT_EQ(1, Cmd(kVlbSelectedCount));
  EXPECT_EQ(5, Cmd(kVlbCaret));
  Fill(20, 1);
  VlbSelectRow(s, v, 4, true, false);
  VlbKey(s, v, kVlbKeyDown, true);
  VlbKey(s, v, kVlbKeyDown, true);
  EXPECT_EQ(3, Cmd(kVlbSelectedCount));
  EXPECT_EQ(6, Cmd(kVlbCaret));
}

}  // namespace
