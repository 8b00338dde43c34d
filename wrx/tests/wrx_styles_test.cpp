// The style sheet on real windows: the fixed items, making and editing
// items, and applying them so that what was set by hand stays.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_styles.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wrxtest;

namespace {

class WrxStylesTest : public WrxHostTest {
 protected:
  HWND Make() {
    HWND hwnd = CreateFromText("alpha beta gamma\r\nsecond paragraph\r\nthird paragraph\r\n", WRX_WORDWRAP);
    windows_.push_back(hwnd);
    WrxRewrap(hwnd);
    return hwnd;
  }
  static WrxWindow* W(HWND hwnd) { return GetWrxWindow(hwnd); }
  static const WrxFont& FontAt(HWND hwnd, long line, int col) {
    return W(hwnd)->fonts[GetWrxCharFont(hwnd, line, col)];
  }
  static const wrxfmt::WrxParaRecord& Para(HWND hwnd, long line) {
    return W(hwnd)->paras[size_t(W(hwnd)->lines[line]->para)];
  }
  // Gives columns [c1, c2) of `line` a face by hand.
  static void Face(HWND hwnd, long line, int c1, int c2, const char* face) {
    SelectWrxText(hwnd, line, c1, line, c2, 0);
    ASSERT_TRUE(SetWrxFontFace(hwnd, face, 0));
    DeselectWrxText(hwnd, 0);
  }
};

}  // namespace

TEST_F(WrxStylesTest, FixedItemsAndSlots) {
  HWND hwnd = Make();
  WrxWindow* w = W(hwnd);
  EnsureDefaultStyles(w);
  ASSERT_GE(w->styles.size(), 2u);
  const wrxstyle::WrxStyle normal = GetStyle(w, 0), dpf = GetStyle(w, 1);
  EXPECT_STREQ(normal.name, "Normal");
  EXPECT_EQ(normal.kind, wrxstyle::kParaStyle);
  EXPECT_STREQ(normal.face, w->arg.typeface);
  EXPECT_EQ(normal.pointSize, w->arg.pointSize);
  EXPECT_STREQ(dpf.name, "Default Paragraph Font");
  EXPECT_EQ(dpf.kind, wrxstyle::kCharStyle);
  EXPECT_EQ(dpf.face[0], 0);

  // New items never take slots 0 and 1; a freed slot is taken again before
  // the table grows.
  ASSERT_EQ(EditStyleParam(hwnd, 1, "One", 1, 2, 0), 2);
  ASSERT_EQ(EditStyleParam(hwnd, 0, nullptr, 0, 0, 0), 2);
  ASSERT_EQ(EditStyleParam(hwnd, 1, "Two", 1, 2, 0), 3);
  ASSERT_EQ(EditStyleParam(hwnd, 0, nullptr, 0, 0, 0), 3);
  wrxstyle::WrxStyle one = GetStyle(w, 2);
  one.inUse = 0;
  PutStyle(w, 2, one);
  const size_t size = w->styles.size();
  EXPECT_EQ(NewStyleSlot(w), 2);
  EXPECT_EQ(w->styles.size(), size);
}

TEST_F(WrxStylesTest, EditStartsAndEndsAndFindsNamesInAnyCase) {
  HWND hwnd = Make();
  EXPECT_EQ(EditStyleParam(hwnd, 0, nullptr, 0, 0, 0), -1) << "ending with nothing edited";
  EXPECT_EQ(EditStyleParam(hwnd, 0, "Quote", 1, 2, 0), -1) << "a name without start ends nothing";
  EXPECT_EQ(EditStyleParam(hwnd, 1, "nORMAL", 1, 2, 0), 0) << "the existing item is edited";
  EXPECT_EQ(EditStyleParam(hwnd, 1, "Quote", 1, 2, 0), -1) << "another item while one is edited";
  EXPECT_EQ(WrxMenuCheck(hwnd, 730), UINT(MF_CHECKED));
  SendMessageA(hwnd, WM_COMMAND, 730, 0);  // ends the edit
  EXPECT_EQ(W(hwnd)->editStyle, -1);
  // Selecting without an id asks, which is the dialogs' part: nothing changes.
  EXPECT_EQ(SelectStyleParam(hwnd, -1, 0), -1);
  EXPECT_EQ(SelectStyleParam(hwnd, 0, 0), 0) << "Normal is no character style";
  EXPECT_EQ(WrxSelectParaStyle(hwnd, 1, 0), 0) << "Default Paragraph Font is no paragraph style";
  EXPECT_EQ(WrxSelectParaStyle(hwnd, 40, 0), 0);
}

TEST_F(WrxStylesTest, CharacterStyleKeepsAFaceSetByHand) {
  HWND hwnd = Make();
  // "Code": a character style in Courier New, made from text in that face.
  Face(hwnd, 0, 0, 5, "Courier New");
  SetWrxCursorPos(hwnd, 0, 3, 0);
  const int code = EditStyleParam(hwnd, 1, "Code", 1, 1, 0);
  ASSERT_GE(code, 2);
  EXPECT_STREQ(GetStyle(W(hwnd), code).face, "Courier New");
  EXPECT_EQ(EditStyleParam(hwnd, 0, nullptr, 0, 0, 0), code);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  const int strong = EditStyleParam(hwnd, 1, "Strong", 1, 1, 0);
  ASSERT_GT(strong, code);
  ASSERT_TRUE(WrxSetCharStyle(hwnd, 2, 1, 0)) << "a font command changes the edited item";
  EXPECT_EQ(FontAt(hwnd, 1, 0).style & 2, 0u) << "and not the text";
  EditStyleParam(hwnd, 0, nullptr, 0, 0, 0);
  EXPECT_EQ(GetStyle(W(hwnd), strong).style, 2);

  // Line 1 all under "Code"; then "gamma"... is set by hand in Arial.
  SelectWrxText(hwnd, 1, 0, 1, 16, 0);
  ASSERT_EQ(SelectStyleParam(hwnd, code, 0), 1);
  DeselectWrxText(hwnd, 0);
  EXPECT_STREQ(FontAt(hwnd, 1, 0).face, "Courier New");
  EXPECT_EQ(FontAt(hwnd, 1, 0).attribute, code);
  SetWrxCursorPos(hwnd, 1, 3, 0);
  EXPECT_EQ(WrxMenuCheck(hwnd, 731), UINT(MF_CHECKED));
  SetWrxCursorPos(hwnd, 2, 3, 0);
  EXPECT_EQ(WrxMenuCheck(hwnd, 731), UINT(MF_UNCHECKED));
  Face(hwnd, 1, 7, 16, "Arial");
  // Now everything under "Strong": the style's face goes, the hand-set stays.
  SelectWrxText(hwnd, 1, 0, 1, 16, 0);
  ASSERT_EQ(SelectStyleParam(hwnd, strong, 0), 1);
  DeselectWrxText(hwnd, 0);
  EXPECT_STREQ(FontAt(hwnd, 1, 0).face, W(hwnd)->arg.typeface);
  EXPECT_STREQ(FontAt(hwnd, 1, 8).face, "Arial");
  EXPECT_EQ(FontAt(hwnd, 1, 0).style & 2, 2u);
  EXPECT_EQ(FontAt(hwnd, 1, 8).style & 2, 2u);
  EXPECT_EQ(FontAt(hwnd, 1, 8).attribute, strong);
}

TEST_F(WrxStylesTest, ParagraphStyleAppliesAndItsEditReachesEveryUser) {
  HWND hwnd = Make();
  WrxWindow* w = W(hwnd);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  ASSERT_TRUE(WrxLeftIndent(hwnd, 1, 0));
  ASSERT_TRUE(SetWrxParaFlags(hwnd, 0x0001, 1, 0));  // centred
  const int quote = EditStyleParam(hwnd, 1, "Quote", 1, 2, 0);
  ASSERT_GE(quote, 2);
  EditStyleParam(hwnd, 0, nullptr, 0, 0, 0);
  EXPECT_EQ(GetStyle(w, quote).leftIndent, 720);

  // Paragraph 2 has a right indent of its own.
  SetWrxCursorPos(hwnd, 2, 0, 0);
  ASSERT_TRUE(WrxRightIndent(hwnd, 1, 0));
  for (long line : {1L, 2L}) {
    SetWrxCursorPos(hwnd, line, 0, 0);
    ASSERT_EQ(WrxSelectParaStyle(hwnd, quote, 0), 1);
  }
  EXPECT_EQ(Para(hwnd, 1).leftIndent, 720);
  EXPECT_EQ(Para(hwnd, 1).flags & 0x0001, 0x0001);
  EXPECT_EQ(Para(hwnd, 2).rightIndent, 720) << "kept: set by hand";
  EXPECT_EQ(Para(hwnd, 2).styleId, quote);
  EXPECT_EQ(WrxMenuCheck(hwnd, 732), UINT(MF_CHECKED));

  // Editing the style: the paragraph commands change the item, and ending the
  // edit moves every paragraph that still has the style's value.
  const wrxfmt::WrxParaRecord before1 = Para(hwnd, 1);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_EQ(EditStyleParam(hwnd, 1, "quote", 0, 0, 0), quote);
  ASSERT_TRUE(WrxLeftIndent(hwnd, 1, 0));
  EXPECT_EQ(Para(hwnd, 1).leftIndent, before1.leftIndent) << "the text waits for the end";
  EXPECT_EQ(GetStyle(w, quote).leftIndent, 1440);
  ASSERT_EQ(EditStyleParam(hwnd, 0, nullptr, 0, 0, 0), quote);
  for (long line : {0L, 1L, 2L}) EXPECT_EQ(Para(hwnd, line).leftIndent, line == 0 ? 720 : 1440) << line;
  EXPECT_EQ(Para(hwnd, 2).rightIndent, 720);
}

TEST_F(WrxStylesTest, RedefiningNormalChangesTheWindowDefaults) {
  HWND hwnd = Make();
  WrxWindow* w = W(hwnd);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  ASSERT_EQ(EditStyleParam(hwnd, 1, "Normal", 1, 2, 0), 0);
  ASSERT_TRUE(SetWrxFontFace(hwnd, "Arial", 0));
  ASSERT_TRUE(SetWrxPointSize(hwnd, 14, 0));
  ASSERT_TRUE(SetParaSpacing(hwnd, 0, 120, 0, 0));
  ASSERT_EQ(EditStyleParam(hwnd, 0, nullptr, 0, 0, 0), 0);
  EXPECT_STREQ(w->arg.typeface, "Arial");
  EXPECT_EQ(w->arg.pointSize, 14);
  EXPECT_STREQ(w->fonts[0].face, "Arial");
  EXPECT_EQ(w->fonts[0].pointSize, 14);
  EXPECT_EQ(w->paras[0].spaceAfter, 120);
  EXPECT_EQ(Para(hwnd, 1).spaceAfter, 120) << "a paragraph under Normal follows";
}
