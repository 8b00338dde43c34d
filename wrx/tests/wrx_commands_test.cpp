// Commands 600-741 as a host's menu sees them, and what sending them does.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wrxtest;

namespace {

class WrxCommandsTest : public WrxHostTest {
 protected:
  HWND Make(DWORD style, char inputKind = 'B', int closeAllowed = 0, const std::string& text = "text\r\n") {
    WrxArgList a = HiddenArgs(style);
    a.inputKind = inputKind;
    a.closeAllowed = closeAllowed;
    a.printView = (style & WRX_PRINTVIEW) != 0;
    HGLOBAL h = nullptr;
    if (inputKind == 'B') {
      h = GlobalAlloc(GMEM_MOVEABLE, text.size());
      memcpy(GlobalLock(h), text.data(), text.size());
      GlobalUnlock(h);
      a.bufferHandle = h;
      a.bufferSize = int32_t(text.size());
    }
    HWND hwnd = CreateHidden(a);
    windows_.push_back(hwnd);
    return hwnd;
  }
};

bool Grayed(HWND hwnd, int command) { return WrxMenuEnable(hwnd, command) == MF_GRAYED; }
bool Checked(HWND hwnd, int command) { return WrxMenuCheck(hwnd, command) == MF_CHECKED; }

}  // namespace

TEST_F(WrxCommandsTest, TheTableGivesEachWindowItsMenuStates) {
  HWND wrap = Make(WRX_WORDWRAP);
  HWND plain = Make(0);
  HWND readOnly = Make(WRX_WORDWRAP | WRX_READONLY);
  HWND file = Make(0, 'F', 1);
  struct Case {
    const char* name;
    HWND hwnd;
    int command;
    bool grayed;
  } cases[] = {
      {"open a line: word wrap has none", wrap, 615, true},
      {"open a line without word wrap", plain, 615, false},
      {"delete the line", wrap, 617, false},
      {"delete the line, read-only", readOnly, 617, true},
      {"copy without a highlight", wrap, 629, true},
      {"undo with an empty store", wrap, 638, true},
      {"bold", wrap, 648, false},
      {"bold, read-only", readOnly, 648, true},
      {"paragraph formatting needs word wrap", plain, 657, true},
      {"paragraph formatting", wrap, 657, false},
      {"open a file in a buffer window", wrap, 627, true},
      {"open a file in a file window", file, 627, false},
      {"close when not allowed", wrap, 642, true},
      {"close when allowed", file, 642, false},
      {"page mode needs print view", wrap, 674, true},
      {"the ruler is always available", readOnly, 680, false},
      {"object linking is never available", wrap, 741, true},
      {"movement is never grayed", readOnly, 600, false},
      {"not a command", wrap, 607, false},
  };
  for (const Case& c : cases) EXPECT_EQ(Grayed(c.hwnd, c.command), c.grayed) << c.name;
  EXPECT_EQ(WrxMenuEnable(HostWindow(), 615), UINT(MF_ENABLED)) << "no control window";
}

TEST_F(WrxCommandsTest, CommandsRunUnlessGuardedAndTheUpdateFollows) {
  HWND hwnd = Make(WRX_WORDWRAP);
  EXPECT_FALSE(Checked(hwnd, 648));
  SendMessageA(hwnd, WM_COMMAND, 625, 0);  // select all
  SendMessageA(hwnd, WM_COMMAND, 648, 0);  // bold
  EXPECT_TRUE(Checked(hwnd, 648));
  DWORD style = 0;
  GetWrxFontInfo(hwnd, GetWrxCharFont(hwnd, 0, 0), nullptr, nullptr, &style);
  EXPECT_EQ(style, DWORD(2));
  SendMessageA(hwnd, WM_COMMAND, 648, 0);
  EXPECT_FALSE(Checked(hwnd, 648));
  // The first change notifies the host once, with EN_CHANGE after it.
  ASSERT_EQ(g_notices.size(), 2u);
  EXPECT_EQ(g_notices[0].code, UINT(WRXN_FIRSTMODIFY));
  EXPECT_EQ(g_notices[1].code, UINT(WM_COMMAND));
  EXPECT_EQ(HIWORD(g_notices[1].wp), EN_CHANGE);
  SetWrxModify(hwnd, 0);
  SetWrxLine(hwnd, 0, "again", nullptr);
  SendMessageA(hwnd, 1034, 0, 0);
  SendMessageA(hwnd, 1034, 0, 0);
  EXPECT_EQ(g_notices.size(), 4u) << "after SetWrxModify(0) the next change notifies again, once";

  EXPECT_FALSE(Checked(hwnd, 680));
  SendMessageA(hwnd, WM_COMMAND, 680, 0);
  EXPECT_TRUE(Checked(hwnd, 680));

  // A read-only window ignores guarded commands.
  HWND readOnly = Make(WRX_WORDWRAP | WRX_READONLY);
  SendMessageA(readOnly, WM_COMMAND, 625, 0);
  SendMessageA(readOnly, WM_COMMAND, 648, 0);
  EXPECT_EQ(GetWrxCharFont(readOnly, 0, 0), 0);

  // Close, when the record allows it.
  HWND closable = Make(0, 'F', 1);
  SendMessageA(closable, WM_COMMAND, 642, 0);
  EXPECT_FALSE(IsWindow(closable));
}

TEST_F(WrxCommandsTest, LargeDocumentsPaginateFromATimer) {
  for (int lines : {4999, 5000}) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "x\r\n";
    HWND hwnd = Make(WRX_WORDWRAP | WRX_PRINTVIEW, 'B', 0, text);
    ASSERT_NE(hwnd, nullptr);
    SendMessageA(hwnd, WM_COMMAND, 646, 0);
    WrxWindow* w = GetWrxWindow(hwnd);
    ASSERT_EQ(w->lineCount, lines);
    EXPECT_EQ(w->paginationTimer != 0, lines >= 5000) << lines;
  }
}

BOOL NoHelp(HWND, const char*, UINT, ULONG_PTR) { return TRUE; }

TEST_F(WrxCommandsTest, EveryCommandLeavesAReadOnlyDocumentAlone) {
  SetWrxHelpProc(NoHelp);
  HWND readOnly = Make(WRX_WORDWRAP | WRX_READONLY, 'B', 0, "first line\r\nsecond line\r\n");
  WrxWindow* w = GetWrxWindow(readOnly);
  const std::string before = LineText(readOnly, 0) + "|" + LineText(readOnly, 1);
  for (int command = 600; command <= 741; ++command) {
    SendMessageA(readOnly, WM_COMMAND, WPARAM(command), 0);
    ASSERT_TRUE(IsWindow(readOnly)) << command;
    EXPECT_EQ(LineText(readOnly, 0) + "|" + LineText(readOnly, 1), before) << command;
    EXPECT_EQ(w->modified, 0) << command;
    w->hilight = 0;
  }
  // Commands with the write guard that have a grayed rule are grayed there;
  // moving about never is.
  for (int command : {606, 639}) EXPECT_EQ(WrxMenuEnable(readOnly, command), UINT(MF_ENABLED)) << command;
  for (int command : {617, 623, 628, 630, 632, 636, 638, 640, 647, 648, 655, 670, 690, 740})
    EXPECT_EQ(WrxMenuEnable(readOnly, command), UINT(MF_GRAYED)) << command;
  for (int command : {600, 601, 602, 603, 604, 605, 610, 611, 612, 613, 620, 621, 633, 646, 680, 710, 715, 716})
    EXPECT_EQ(WrxMenuEnable(readOnly, command), UINT(MF_ENABLED)) << command;

  // A writable window takes every command without a message box, and the
  // menu states answer for every id.
  HWND writable = Make(WRX_WORDWRAP, 'B', 0, "first line\r\nsecond line\r\n");
  for (int command = 600; command <= 741; ++command) {
    if (command == 642) continue;  // closing is covered elsewhere
    SendMessageA(writable, WM_COMMAND, WPARAM(command), 0);
    ASSERT_TRUE(IsWindow(writable)) << command;
    const UINT enable = WrxMenuEnable(writable, command);
    EXPECT_TRUE(enable == MF_ENABLED || enable == MF_GRAYED) << command;
    const UINT check = WrxMenuCheck(writable, command);
    EXPECT_TRUE(check == 0 || check == MF_CHECKED) << command;
  }
  EXPECT_TRUE(g_boxes.empty());
  SetWrxHelpProc(nullptr);
}
