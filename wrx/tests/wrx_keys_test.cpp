// Keys, cursor motion and selection, driven as a user drives them: key
// presses through the control's key table, commands, mouse and scroll-bar
// messages.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace wrxtest;

namespace {

void SetKeys(std::initializer_list<int> down) {
  BYTE keys[256] = {};
  for (int k : down) keys[k] = 0x80;
  SetKeyboardState(keys);
}

void Press(HWND hwnd, int key) {
  SendMessageA(hwnd, WM_KEYDOWN, WPARAM(key), 1);
  SendMessageA(hwnd, WM_KEYUP, WPARAM(key), 1 | (1u << 30) | (1u << 31));
}

void Command(HWND hwnd, int id) { SendMessageA(hwnd, WM_COMMAND, WPARAM(id), 0); }

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

class WrxKeysTest : public WrxHostTest {
 protected:
  void TearDown() override {
    SetKeys({});
    WrxHostTest::TearDown();
  }
  WrxWindow* Window(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    EXPECT_NE(hwnd, nullptr);
    windows_.push_back(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    return w;
  }
  static std::string Lines(int count, const char* stem = "line") {
    std::string text;
    for (int k = 0; k < count; ++k) text += std::string(stem) + " " + std::to_string(k) + "\r\n";
    return text;
  }
};

TEST_F(WrxKeysTest, MotionsAtTheEdgesOfLinesAndText) {
  struct Case {
    const char* name;
    DWORD style;
    int32_t line, col;  // start
    int command;
    int32_t wantLine, wantCol;
  } cases[] = {
      {"right at the paragraph mark of a wrapped line", WRX_WORDWRAP, 0, 3, 605, 1, 0},
      {"right at column 2045 stays", 0, 0, 2045, 605, 0, 2045},
      {"right past the end without wrap pads", 0, 0, 3, 605, 0, 4},
      {"left at column 0 without wrap stays", 0, 1, 0, 604, 1, 0},
      {"left at column 0 with wrap goes up", WRX_WORDWRAP, 1, 0, 604, 0, 3},
      {"ctrl+left at the start stays", 0, 0, 0, 621, 0, 0},
      {"ctrl+left goes to the word start", 0, 2, 9, 621, 2, 6},
      {"ctrl+right goes to the next word", 0, 2, 0, 620, 2, 6},
      {"ctrl+right at the end stays on the last line", 0, 2, 6, 620, 2, 8},
      {"end with wrap stops on the paragraph mark", WRX_WORDWRAP, 0, 0, 611, 0, 3},
      {"end without wrap goes past the text", 0, 2, 0, 611, 2, 9},
      {"ctrl+down on the last line goes to its end", 0, 2, 0, 716, 2, 9},
      {"ctrl+up at column 3 goes to column 0", 0, 1, 3, 715, 1, 0},
      {"home", 0, 1, 2, 610, 1, 0},
      {"ctrl+end", 0, 0, 0, 613, 2, 9},
      {"ctrl+home", 0, 2, 4, 612, 0, 0},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Window("abc\r\nde\r\nword1 two", c.style);
    ASSERT_EQ(w->lineCount, 3);
    w->curLine = c.line, w->curCol = c.col;
    Command(w->hwnd, c.command);
    EXPECT_EQ(w->curLine, c.wantLine) << c.name;
    EXPECT_EQ(w->curCol, c.wantCol) << c.name;
  }
}

TEST_F(WrxKeysTest, PagesJumpsAndTheDesiredColumn) {
  WrxWindow* w = Window(Lines(100));
  const int32_t rows = w->linesPerWindow;
  ASSERT_GT(rows, 3);
  Command(w->hwnd, 601);
  EXPECT_EQ(w->firstLine, rows - 1) << "a page keeps one line of overlap";
  EXPECT_EQ(w->curLine, rows - 1);
  Command(w->hwnd, 600);
  EXPECT_EQ(w->firstLine, 0);
  EXPECT_EQ(w->curLine, 0);
  // A key press with the last line already shown does nothing.
  WrxWindow* small = Window(Lines(3));
  small->curLine = 1;
  SendMessageA(small->hwnd, WM_COMMAND, MAKEWPARAM(601, 1), 0);
  EXPECT_EQ(small->curLine, 1);
  EXPECT_EQ(small->firstLine, 0);
  // JumpToLine clamps to the document.
  EXPECT_EQ(JumpToLine(w, 0), 1);
  EXPECT_EQ(w->curLine, 0);
  EXPECT_EQ(JumpToLine(w, 5000), 1);
  EXPECT_EQ(w->curLine, 99);
  EXPECT_LE(w->firstLine, 99);
  EXPECT_GE(w->firstLine + w->linesPerWindow, 99);
  // Up and down keep the x where they started, over a shorter line.
  WrxWindow* d = Window("abcdefgh\r\nab\r\nabcdefgh\r\n");
  d->curLine = 0, d->curCol = 6;
  Command(d->hwnd, 603);
  EXPECT_EQ(d->curLine, 1);
  Command(d->hwnd, 603);
  EXPECT_EQ(d->curLine, 2);
  EXPECT_EQ(d->curCol, 6) << "the column comes back after the short line";
  // Moving below the last row scrolls by one line.
  w->curLine = w->firstLine = 0;
  for (int k = 0; k < rows; ++k) Command(w->hwnd, 603);
  EXPECT_EQ(w->curLine, rows);
  EXPECT_EQ(w->firstLine, 1);
}

TEST_F(WrxKeysTest, ShiftAndMouseSelection) {
  WrxWindow* w = Window("hello world\r\nsecond line\r\nthird\r\n");
  HWND hwnd = w->hwnd;
  // Shift+Right twice through the key table, then Shift released.
  SetKeys({VK_SHIFT});
  Press(hwnd, VK_RIGHT);
  Press(hwnd, VK_RIGHT);
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlFirstCol, 0);
  EXPECT_EQ(w->hlLastCol, 2);
  SetKeys({});
  SendMessageA(hwnd, WM_KEYUP, VK_SHIFT, 0);
  EXPECT_EQ(w->selecting, 0);
  char* text = GetWrxSelText(hwnd);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "he");
  WrxMemFree(text);
  // A motion without Shift drops the block.
  Press(hwnd, VK_DOWN);
  EXPECT_EQ(w->hilight, 0);
  EXPECT_EQ(w->curLine, 1);
  // Shift+Ctrl+End selects to the end of the text.
  SetKeys({VK_SHIFT, VK_CONTROL});
  Press(hwnd, VK_END);
  SetKeys({});
  SendMessageA(hwnd, WM_KEYUP, VK_SHIFT, 0);
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlLastLine, 2);
  // A mouse drag from line 1 back to line 0.
  const int32_t y0 = CalcLineY(w, 0) + 2, y1 = CalcLineY(w, 1) + 2;
  const int32_t x1 = w->textRect.left + GetColumnX(w, 4, 1, 0) + 1;
  const int32_t x0 = w->textRect.left + GetColumnX(w, 2, 0, 0) + 1;
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(x1, y1));
  EXPECT_EQ(w->hilight, 0) << "a press drops the block";
  SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, Point(x0, y0));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(x0, y0));
  text = GetWrxSelText(hwnd);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "llo world\r\nseco") << "from the press back to the pointer";
  WrxMemFree(text);
  // Shift+click extends it.
  const int32_t x2 = w->textRect.left + GetColumnX(w, 3, 2, 0) + 1, y2 = CalcLineY(w, 2) + 2;
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, Point(x2, y2));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(x2, y2));
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlLastLine, 2);
  // A double click selects a word with its trailing blank.
  const int32_t xw = w->textRect.left + GetColumnX(w, 1, 0, 0) + 1;
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(xw, y0));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(xw, y0));
  SendMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(xw, y0));
  text = GetWrxSelText(hwnd);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "hello ");
  WrxMemFree(text);
  // The line block toggle: start, stop extending, remove.
  DeselectWrxText(hwnd, 0);
  Command(hwnd, 622);
  EXPECT_EQ(w->hilight, 1);
  EXPECT_EQ(w->selecting, 1);
  Command(hwnd, 622);
  EXPECT_EQ(w->selecting, 0);
  Command(hwnd, 622);
  EXPECT_EQ(w->hilight, 0);
}

TEST_F(WrxKeysTest, ADragBelowTheWindowScrollsToTheEndAndStops) {
  WrxArgList a = HiddenArgs();
  a.style = WS_POPUP | WS_VISIBLE;
  a.width = 300, a.height = 120;
  const std::string text = Lines(200);
  SetArgsText(a, text);
  HWND hwnd = CreateWrxWindow(&a);
  ASSERT_NE(hwnd, nullptr);
  windows_.push_back(hwnd);
  WrxWindow* w = GetWrxWindow(hwnd);
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 5));
  SetKeys({VK_LBUTTON});
  // Far below the window: the view pages down until the last line.
  SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, Point(10, 400));
  SetKeys({});
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(10, 400));
  EXPECT_EQ(w->curLine, 199);
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlFirstLine, 0);
  EXPECT_EQ(w->hlLastLine, 199);
  EXPECT_GE(w->firstLine + w->linesPerWindow, 199);
  // With the button up, a move outside scrolls one step at most.
  w->firstLine = w->curLine = 0;
  w->hilight = 0;
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 5));
  SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, Point(10, 130));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(10, 130));
  EXPECT_LT(w->curLine, 20);
}

TEST_F(WrxKeysTest, ScrollBarsKeepTheCursorForTheNextKey) {
  WrxWindow* w = Window(Lines(100), WRX_VSCROLL);
  w->curLine = 2, w->curCol = 1;
  SendMessageA(w->hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageA(w->hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_GT(w->firstLine, 2);
  // The next key acts at the old cursor position.
  Command(w->hwnd, 605);
  EXPECT_EQ(w->curLine, 2);
  EXPECT_EQ(w->curCol, 2);
  // Page Down after scrolling continues from the scrolled view.
  SendMessageA(w->hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  const int32_t first = w->firstLine;
  Command(w->hwnd, 601);
  EXPECT_GT(w->firstLine, first);
  // The thumb: the first line in percent of the lines.
  SendMessageA(w->hwnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 50), 0);
  EXPECT_EQ(w->curLine, 50);
}

TEST_F(WrxKeysTest, StringRoutines) {
  EXPECT_EQ(FindChar("", 'a'), nullptr);
  const char* s = "abcabc";
  EXPECT_EQ(FindChar(s, 'c'), s + 2);
  EXPECT_EQ(FindChar(s, 'z'), nullptr);
  char upper[] = "Mixed caps 1-z";
  EXPECT_STREQ(StrUpperCase(upper), "MIXED CAPS 1-Z");
  struct Case {
    int decimals;
    double value;
    const char* want;
  } cases[] = {{2, 1.5, "1.50"}, {2, 0.999, "1.00"}, {2, 0.25, ".25"},       {0, 0.4, ""},
               {0, 7.0, "7"},    {1, -2.25, "-2.3"}, {3, 12.0005, "12.001"}, {2, 9.996, "10.00"}};
  for (const Case& c : cases) {
    char buffer[32];
    EXPECT_STREQ(FormatDecimal(c.decimals, buffer, sizeof buffer, c.value), c.want) << c.value;
  }
  char tiny[4];
  FormatDecimal(3, tiny, sizeof tiny, 123.456);
  EXPECT_EQ(strlen(tiny), 3u) << "the buffer's size bounds the text";
}

}  // namespace

TEST_F(WrxKeysTest, TypingQueuedAfterAnAcceleratorIsKept) {
  WrxWindow* w = Window("xyz\r\n");
  HWND hwnd = w->hwnd;
  ACCEL keys[] = {{FVIRTKEY, VK_F5, 606}};  // F5 deletes the character at the cursor
  HACCEL table = CreateAcceleratorTableA(keys, 1);
  ASSERT_NE(table, nullptr);
  w->accel = table;
  SetWrxCursorPos(hwnd, 0, 0, 0);
  const LPARAM f5 = 1 | (0x3F << 16), a = 1 | (0x1E << 16), b = 1 | (0x30 << 16);
  // The key's own character (same scan code) follows it; the user's typing
  // follows that.
  PostMessageA(hwnd, WM_KEYDOWN, VK_F5, f5);
  PostMessageA(hwnd, WM_CHAR, '?', f5);
  PostMessageA(hwnd, WM_CHAR, 'a', a);
  PostMessageA(hwnd, WM_KEYUP, VK_F5, f5 | (1u << 30) | (1u << 31));
  PostMessageA(hwnd, WM_CHAR, 'b', b);
  MSG m;
  while (PeekMessageA(&m, hwnd, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  EXPECT_EQ(LineText(hwnd, 0), "abyz");
  // A character that is no follow-up of the key, straight after it, stays.
  SetWrxCursorPos(hwnd, 0, 0, 0);
  PostMessageA(hwnd, WM_KEYDOWN, VK_F5, f5);
  PostMessageA(hwnd, WM_CHAR, 'c', a);
  while (PeekMessageA(&m, hwnd, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  EXPECT_EQ(LineText(hwnd, 0), "cbyz");
  w->accel = nullptr;
  DestroyAcceleratorTable(table);
}
