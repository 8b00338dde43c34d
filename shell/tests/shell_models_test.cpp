#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/menus_model.h"
#include "shell/toolbar_model.h"

namespace {

std::vector<int> Parse(const char* value) {
  int list[TOOLBAR_MAX_ROWS];
  ParseToolbarButtons(value, list);
  std::vector<int> out;
  for (int i = 0; i < TOOLBAR_MAX_ROWS && list[i]; ++i) out.push_back(list[i]);
  return out;
}

TEST(ToolbarButtons, StoredListsLoadRenamedWithoutRetiredIds) {
  struct Case {
    const char* value;
    std::vector<int> expected;
  } cases[] = {
      {"1191 1257 1100", {1147, 1257}},
      {"1192 1182", {1188, 1182, 1257}},
      {"1100 1102 1765", {1257}},  // only retired ids: an empty toolbar with a separator
      {"1182 x 1103", {1182, 1103, 1257}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.value), c.expected) << c.value;
  std::vector<int> defaults = Parse("");
  ASSERT_EQ(defaults.size(), 18u);
  EXPECT_EQ(defaults.front(), 1182);
  EXPECT_EQ(defaults.back(), 1257);
}

TEST(ToolbarButtons, AnOverlongValueIsCappedWithRoomForTheEndMark) {
  std::string value;
  for (int i = 0; i < 400; ++i) value += "1182 ";
  int list[TOOLBAR_MAX_ROWS + 8];
  for (int& v : list) v = -7;
  ParseToolbarButtons(value.c_str(), list);
  int n = 0;
  while (n < TOOLBAR_MAX_ROWS && list[n]) ++n;
  EXPECT_EQ(n, TOOLBAR_MAX_ROWS - 1);
  EXPECT_EQ(list[n - 1], TOOLBAR_SEPARATOR);
  EXPECT_EQ(list[TOOLBAR_MAX_ROWS], -7);  // nothing written past the table
}

TEST(ToolbarButtons, StoredFormRoundTrips) {
  int list[TOOLBAR_MAX_ROWS];
  ParseToolbarButtons("1182 1257 1103", list);
  char out[64];
  FormatToolbarButtons(list, out, sizeof out);
  EXPECT_STREQ(out, "1182 1257 1103 1257");
  EXPECT_EQ(Parse(out), Parse("1182 1257 1103"));
}

TEST(ToolbarLayout, ButtonsAndSeparatorsAdvanceByTheirSize) {
  const int list[] = {1182, 1257, 1103, 0};
  ToolbarRect r[TOOLBAR_MAX_ROWS];
  ASSERT_EQ(LayoutToolbarButtons(list, {false, false, true}, r), 3);
  EXPECT_EQ(r[0].left, 4);
  EXPECT_EQ(r[0].top, 4);
  EXPECT_EQ(r[1].left, 28);
  EXPECT_EQ(r[2].left, 40);
  EXPECT_EQ(r[2].right - r[2].left, 24);
  LayoutToolbarButtons(list, {true, true, false}, r);  // vertical, large
  EXPECT_EQ(r[0].left, 3);
  EXPECT_EQ(r[0].top, 3);
  EXPECT_EQ(r[1].top - r[0].top, 31);
  EXPECT_EQ(r[2].top - r[1].top, 11);
  const int two[] = {1182, 1103, 0};
  LayoutToolbarButtons(two, {true, true, true}, r);
  EXPECT_EQ(r[1].top - r[0].top, 31);
}

TEST(ToolbarGlyphs, TableNamesEveryRowAndFallsBackToSpare) {
  int ids[400];
  EXPECT_EQ(ToolbarGlyphIds(ids, 400), 184);
  EXPECT_STREQ(ToolbarGlyphName(1147), "tfile");
  EXPECT_STREQ(ToolbarGlyphName(1250), "t10");
  EXPECT_STREQ(ToolbarGlyphName(1885), "tsend0");
  EXPECT_STREQ(ToolbarGlyphName(1257), "tblank");
  EXPECT_STREQ(ToolbarGlyphName(4242), "tspare");
}

struct Collected {
  std::vector<std::string> texts;
  std::vector<int> ids;
};

void Collect(const ScriptMenuStep& step, void* context) {
  auto& c = *static_cast<Collected*>(context);
  const char* kinds[] = {"item:", "sep:", "popup:"};
  c.texts.push_back(std::string(kinds[step.kind]) + step.text);
  c.ids.push_back(step.id);
}

TEST(ScriptMenu, MnemonicsSkipTheFixedLettersAndUsedOnes) {
  const char* lines[] = {"Download Ultra Report", "Read Mail", "-", "Dud", "-Extras", "Dud", "Drum", ".", "Ignored"};
  Collected c;
  WalkScriptMenu(lines, 9, Collect, &c);
  std::vector<std::string> expected = {
      "item:D&ownload Ultra Report", "item:R&ead Mail", "sep:", "item:Dud", "popup:&Extras", "item:&Dud", "item:D&rum"};
  EXPECT_EQ(c.texts, expected);
  EXPECT_EQ(c.ids.front(), 1489);
  EXPECT_EQ(c.ids.back(), 1489 + 6);
}

TEST(MenuTexts, TenthFavouriteAndBookmarkSet) {
  char text[100];
  FavouriteItemText(10, "quorl:chat/general", text, sizeof text);
  EXPECT_STREQ(text, "&10 quorl:chat/general\tCtrl+10");
  BookmarkSetItemText("&%d %s\tAlt+%d", 10, "Later", text, sizeof text);
  EXPECT_STREQ(text, "1&0 Later\tAlt+0");
  BookmarkSetItemText("&%d %s\tAlt+%d", 3, "Work", text, sizeof text);
  EXPECT_STREQ(text, "&3 Work\tAlt+3");
}

TEST(MenuTexts, FileListItemFollowsTheFolderKind) {
  char text[81] = "Goto &Current FileList";
  SwapFileListWords(text, sizeof text, true);
  EXPECT_STREQ(text, "Goto &Current Message Topic");
  SwapFileListWords(text, sizeof text, false);
  EXPECT_STREQ(text, "Goto &Current FileList");
  EXPECT_FALSE(MenuTextsDiffer("&File", "&FILE"));
  EXPECT_TRUE(MenuTextsDiffer("&File", "&Files"));
}

}  // namespace

#include "shell/progress_bar_model.h"

namespace {

TEST(ProgressBar, FillIsBoundedAndARangeOfZeroCountsAsOne) {
  struct Case {
    int position, range, width;
  } cases[] = {
      {0, 100, 0}, {50, 100, 100}, {100, 100, 200}, {500, 100, 200}, {1, 0, 200}, {0, 0, 0}, {-3, 10, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressFillWidth(200, c.position, c.range), c.width) << c.position;
}

TEST(ProgressBar, BlocksHaveTheHeightAsPitchAndTheLastIsCut) {
  ProgressBlock blocks[16];
  int n = ProgressBlocks(23, 10, blocks, 16);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(blocks[0].left, 0);
  EXPECT_EQ(blocks[0].right, 8);  // gap of a fifth of the height
  EXPECT_EQ(blocks[1].left, 10);
  EXPECT_EQ(blocks[2].left, 20);
  EXPECT_EQ(blocks[2].right, 23);
  EXPECT_EQ(ProgressBlocks(9, 3, blocks, 16), 3);
  EXPECT_EQ(blocks[0].right, 2);  // at least one pixel of gap
  EXPECT_EQ(ProgressBlocks(0, 10, blocks, 16), 0);
}

}  // namespace

#include "shell/tab_ctrl_layout.h"

namespace {

TEST(TabLayout, TabsFallIntoStaggeredRowsTheFirstNextToThePage) {
  TabRect tabs[8];
  EXPECT_EQ(LayoutTabRows(300, 60, 20, 4, tabs), 1);
  EXPECT_EQ(tabs[3].left, 180);
  EXPECT_EQ(tabs[0].top, 0);
  // Wider than half the control: one tab per row, each shifted by half a tab.
  ASSERT_EQ(LayoutTabRows(300, 160, 20, 3, tabs), 3);
  EXPECT_EQ(tabs[0].top, 40);  // the first row lowest
  EXPECT_EQ(tabs[0].bottom, 60);
  EXPECT_EQ(tabs[1].left, 80);
  EXPECT_EQ(tabs[1].top, 20);
  EXPECT_EQ(tabs[2].left, 160);
  EXPECT_EQ(tabs[2].top, 0);
  // A row always takes one tab, even one wider than the control.
  EXPECT_EQ(LayoutTabRows(100, 150, 20, 2, tabs), 2);
}

}  // namespace
