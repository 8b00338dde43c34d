// Search and replace commands on real windows.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace wrxtest;

namespace {

class WrxSearchTest : public WrxHostTest {
 protected:
  HWND Make(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    SetWrxFlags(hwnd, WRXF_SILENT);
    return hwnd;
  }
};

}  // namespace

TEST_F(WrxSearchTest, FindsAcrossLinesByCaseAndWord) {
  HWND hwnd = Make("the band ABC\r\nstarts here, an end\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_TRUE(SearchParam(hwnd, "abc", 'E', 0));
  EXPECT_EQ(w->curLine, 0);
  EXPECT_EQ(w->curCol, 9);
  ASSERT_TRUE(SearchParam(hwnd, "an", 'E', 32));
  EXPECT_EQ(w->curLine, 1) << "not inside band";
  EXPECT_EQ(w->curCol, 13);
  ASSERT_TRUE(SearchParam(hwnd, "ABCst", 'E', 16)) << "a match runs into the next line";
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlLastLine, 1);
  EXPECT_EQ(w->hlLastCol, 2);
  // Forward from the last match finds nothing more: the box, the cursor kept.
  w->hilight = 0;
  SetWrxCursorPos(hwnd, 1, 15, 0);
  EXPECT_EQ(SearchParam(hwnd, "end", 'F', 0), 1);
  EXPECT_EQ(WrxSearchAgain(w, true), 0);
  EXPECT_EQ(g_errors.back(), 97);
  EXPECT_EQ(g_routines.back(), "End of Forward Search");
  EXPECT_EQ(w->curCol, 16);
  EXPECT_EQ(WrxSearchAgain(w, false), 0);
  EXPECT_EQ(g_routines.back(), "End of Backward Search");
  char out[64];
  ASSERT_TRUE(ExpandCaretCodes(w, "a^pb^t^^^x", out));
  EXPECT_STREQ(out,
               "a\x15"
               "b\t^^x");
}

TEST_F(WrxSearchTest, ReplacesSkipsProtectedTextAndUndoesWhole) {
  HWND hwnd = Make("a cat, a cat\r\nlocked cat\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  const int locked = SetWrxFont(hwnd, -1, 1, "Arial", 12, 0x200, 0, 0xFFFFFF, 0, 0);
  unsigned char ids[12];
  memset(ids, locked, sizeof ids);
  SetWrxLine(hwnd, 1, "locked cat", ids);
  EXPECT_EQ(ReplaceParam(hwnd, "cat", "horse", 0, 0), 2);
  EXPECT_EQ(LineText(hwnd, 0), "a horse, a horse");
  EXPECT_EQ(LineText(hwnd, 1), "locked cat");
  ASSERT_EQ(Undo(w), 1);
  EXPECT_EQ(LineText(hwnd, 0), "a cat, a cat") << "every replacement goes back";
  // In a block: only inside it.
  SelectWrxText(hwnd, 0, 7, 0, 12, 0);
  EXPECT_EQ(ReplaceParam(hwnd, "cat", "dog", 0, 1), 1);
  EXPECT_EQ(LineText(hwnd, 0), "a cat, a dog");
  // A replacement that would pass the longest line is skipped and reported.
  const std::string longLine = "x" + std::string(2040, 'y');
  SetWrxLine(hwnd, 0, longLine.c_str(), nullptr);
  EXPECT_EQ(ReplaceParam(hwnd, "x", "0123456789", 0, 0), 0);
  EXPECT_EQ(LineText(hwnd, 0), longLine);
  EXPECT_NE(std::find(g_errors.begin(), g_errors.end(), 85), g_errors.end());
}

TEST_F(WrxSearchTest, UndoAfterAReplaceRestoresTheTextOrHasNothingToUndo) {
  HWND hwnd = Make("one two\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  // Typing before the replacement: an Undo after it must not replay the
  // typing's positions over the replaced text.
  SetWrxCursorPos(hwnd, 0, 0, 0);
  for (char c : std::string("typed ")) SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(c)), 0);
  ASSERT_EQ(LineText(hwnd, 0), "typed one two");
  EXPECT_EQ(ReplaceParam(hwnd, "o", "OO", 0, 0), 2);
  EXPECT_EQ(LineText(hwnd, 0), "typed OOne twOO");
  ASSERT_EQ(Undo(w), 1);
  EXPECT_EQ(LineText(hwnd, 0), "typed one two");
  g_errors.clear();
  EXPECT_EQ(Undo(w), 0) << "the typing before it is not undone over other text";
  EXPECT_EQ(LineText(hwnd, 0), "typed one two");
  EXPECT_EQ(g_errors.back(), 38);
  // More replacements than the store holds: none can be undone, and Undo
  // says so instead of undoing a part.
  SetWrxLine(hwnd, 0, "a a a a a a a a a a a a a a a", nullptr);
  EXPECT_EQ(ReplaceParam(hwnd, "a", "bb", 0, 0), 15);
  const std::string replaced = LineText(hwnd, 0);
  g_errors.clear();
  EXPECT_EQ(Undo(w), 0);
  EXPECT_EQ(LineText(hwnd, 0), replaced);
  ASSERT_FALSE(g_errors.empty());
  EXPECT_EQ(g_errors.back(), 38);
  // Asked one by one, the accepted ones go back together.
  SetWrxLine(hwnd, 0, "ab ab ab", nullptr);
  g_answer = IDYES;
  EXPECT_EQ(ReplaceParam(hwnd, "ab", "X", 1, 0), 3);
  ASSERT_EQ(Undo(w), 1);
  EXPECT_EQ(LineText(hwnd, 0), "ab ab ab");
}

TEST_F(WrxSearchTest, AskingBeforeEachReplacement) {
  HWND hwnd = Make("ab ab ab\r\n");
  g_answer = IDNO;
  EXPECT_EQ(ReplaceParam(hwnd, "ab", "X", 1, 0), 0) << "every answer No";
  EXPECT_EQ(LineText(hwnd, 0), "ab ab ab");
  EXPECT_EQ(g_questions.size(), 3u);
  EXPECT_EQ(g_questions[0].text, "Replace This String?");
  g_answer = IDYES;
  EXPECT_EQ(ReplaceParam(hwnd, "ab", "X", 1, 0), 3);
  EXPECT_EQ(LineText(hwnd, 0), "X X X");
  g_answer = IDCANCEL;
  SetWrxLine(hwnd, 0, "ab ab", nullptr);
  EXPECT_EQ(ReplaceParam(hwnd, "ab", "X", 1, 0), 0);
  EXPECT_EQ(LineText(hwnd, 0), "ab ab");
}
