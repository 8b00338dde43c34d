// Typing and the editing keys through WM_CHAR and commands on real windows,
// and undo taking back what they did.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <string>

using namespace wrxtest;

namespace {

std::vector<UINT> g_beeps;
void RecordBeep(UINT type) { g_beeps.push_back(type); }

class WrxEditTest : public WrxHostTest {
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
  HWND Make(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    if (style & WRX_WORDWRAP) WrxRewrap(hwnd);
    return hwnd;
  }
  static void Type(HWND hwnd, const std::string& text) {
    for (char c : text) SendMessageA(hwnd, WM_CHAR, WPARAM(uint8_t(c)), 0);
  }
  static std::string All(HWND hwnd) {
    std::string s;
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int32_t i = 0; i < w->lineCount; ++i) s += LineText(hwnd, i) + "|";
    return s;
  }
};

}  // namespace

TEST_F(WrxEditTest, TypingPadsOvertypesAndUndoesAsOneGroup) {
  HWND hwnd = Make("abcd\r\nnext\r\n");
  GetWrxWindow(hwnd)->curCol = 10;
  Type(hwnd, "X");
  EXPECT_EQ(LineText(hwnd, 0), "abcd      X") << "columns 4-9 padded";
  SetWrxCursorPos(hwnd, 1, 0, 0);
  Type(hwnd, "abc");
  EXPECT_EQ(LineText(hwnd, 1), "abcnext");
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(LineText(hwnd, 1), "next") << "\"abc\" goes at once";
  SendMessageA(hwnd, WM_COMMAND, 639, 0);  // overtype
  SetWrxCursorPos(hwnd, 1, 1, 0);
  Type(hwnd, "EX");
  EXPECT_EQ(LineText(hwnd, 1), "nEXt");
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(LineText(hwnd, 1), "next");
  // Escape beeps; a page-break character is dropped silently.
  Type(hwnd, "\x1b\x0c");
  EXPECT_EQ(g_beeps.size(), 1u);
  EXPECT_EQ(LineText(hwnd, 1), "next");
}

TEST_F(WrxEditTest, EnterBackspaceAndDeleteSplitAndJoinLines) {
  HWND hwnd = Make("  indented line\r\nsecond\r\n");
  SetWrxCursorPos(hwnd, 0, 10, 0);
  Type(hwnd, "\r");  // the new line starts under the indent
  EXPECT_EQ(All(hwnd), "  indented|   line|second|");
  Type(hwnd, "\b");  // column 0 joins with the line above, dropping leading blanks
  EXPECT_EQ(All(hwnd), "  indentedline|second|");
  SetWrxCursorPos(hwnd, 0, 0, 0);
  Type(hwnd, "\b");
  EXPECT_EQ(All(hwnd), "  indentedline|second|") << "nothing before line 0, column 0";
  SetWrxCursorPos(hwnd, 0, 14, 0);
  SendMessageA(hwnd, WM_COMMAND, 606, 0);  // Delete at the end joins the next line
  EXPECT_EQ(All(hwnd), "  indentedlinesecond|");
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(All(hwnd), "  indentedline|second|");
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(All(hwnd), "  indented line|second|") << "back to the start";
}

TEST_F(WrxEditTest, WrappedParagraphsJoinAndATwoParagraphDeleteUndoesWithItsFormatting) {
  HWND hwnd = Make("first para\r\nsecond para\r\nthird\r\n", WRX_WORDWRAP);
  WrxWindow* w = GetWrxWindow(hwnd);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_TRUE(SetWrxParaFlags(hwnd, PF_CENTRED, 1, 0));
  const int32_t centred = w->lines[1]->para;
  const std::string before = All(hwnd);
  SelectWrxText(hwnd, 0, 3, 1, 6, 0);
  SendMessageA(hwnd, WM_CHAR, 'Z', 0);  // typing replaces the block
  EXPECT_EQ(LineText(hwnd, 0), "firZ para\x15");
  SendMessageA(hwnd, WM_COMMAND, 638, 0);
  EXPECT_EQ(All(hwnd), before);
  EXPECT_EQ(w->lines[1]->para, centred) << "the paragraph keeps its record";
  // Backspace at a paragraph's start joins it with the one before.
  SetWrxCursorPos(hwnd, 2, 0, 0);
  Type(hwnd, "\b");
  EXPECT_EQ(LineText(hwnd, 1), "second parathird\x15");
  // Delete on the last character of the text does nothing.
  const int32_t last = w->lineCount - 1;
  SetWrxCursorPos(hwnd, last, w->lines[last]->length - 1, 0);
  SendMessageA(hwnd, WM_COMMAND, 606, 0);
  EXPECT_EQ(LineText(hwnd, last).back(), '\x15');
}

TEST_F(WrxEditTest, ProtectedTextBeepsAndTheStoreKeepsTwentySteps) {
  HWND hwnd = Make("locked text\r\nfree\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  const int locked = SetWrxFont(hwnd, -1, 1, "Arial", 12, 0x200, 0, 0xFFFFFF, 0, 0);
  unsigned char ids[6] = {uint8_t(locked), uint8_t(locked), uint8_t(locked),
                          uint8_t(locked), uint8_t(locked), uint8_t(locked)};
  SetWrxLine(hwnd, 0, "locked text", ids);
  SetWrxCursorPos(hwnd, 0, 3, 0);
  SendMessageA(hwnd, WM_COMMAND, 639, 0);  // overtype on a protected character
  Type(hwnd, "x");
  SendMessageA(hwnd, WM_COMMAND, 639, 0);
  SetWrxCursorPos(hwnd, 0, 3, 0);
  Type(hwnd, "\b");
  EXPECT_EQ(LineText(hwnd, 0), "locked text");
  EXPECT_EQ(g_beeps.size(), 2u);
  EXPECT_TRUE(w->undo.empty());
  // 21 deletions keep the newest 20.
  SetWrxCursorPos(hwnd, 1, 0, 0);
  Type(hwnd, std::string(21, 'q'));
  for (int i = 0; i < 21; ++i) {
    SetWrxCursorPos(hwnd, 1, 0, 0);
    SendMessageA(hwnd, WM_COMMAND, 606, 0);
  }
  EXPECT_EQ(w->undo.size(), 20u);
  SetWrxFlags(hwnd, WRXF_SILENT);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Undo(w), 1);
  EXPECT_EQ(LineText(hwnd, 1), std::string(20, 'q') + "free");
  EXPECT_EQ(Undo(w), 0);
  EXPECT_EQ(g_errors.back(), 38);
}
