// The window procedure driven by real messages: mouse presses place the
// cursor and drag a selection, link text reports 2726 to the host, keys
// become commands only through an accelerator table, help mode, the caret.
// Metrics are injected: characters 10 pixels wide, lines 20 high.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace wrxtest;

namespace {

struct LinkSeen {
  UINT code = 0;
  std::string linkCode, text;
  int32_t activation = -1;
  HWND window = nullptr;
};
std::vector<LinkSeen> g_links;
LRESULT g_linkAnswer = 0;

LRESULT CALLBACK RecordLink(HWND, UINT msg, WPARAM, LPARAM lp) {
  if (msg == WRXN_LINK) {
    const auto* rec = reinterpret_cast<const WrxLinkRec*>(lp);
    g_links.push_back(LinkSeen{msg, rec->code, rec->text, rec->activation, rec->window});
    return g_linkAnswer;
  }
  return 0;
}

struct HelpCall {
  std::string file;
  UINT command;
  ULONG_PTR data;
};
std::vector<HelpCall> g_help;

BOOL RecordHelp(HWND, const char* file, UINT command, ULONG_PTR data) {
  g_help.push_back(HelpCall{file, command, data});
  return TRUE;
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

class WrxProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRecords();
    g_links.clear();
    g_help.clear();
    g_linkAnswer = 0;
    SetWrxHelpProc(RecordHelp);
  }
  void TearDown() override {
    SetWrxHelpProc(nullptr);
    for (HWND hwnd : windows_) {
      SetWrxModify(hwnd, 0);
      CloseWrx(hwnd, 0);
    }
    EXPECT_TRUE(g_boxes.empty());
  }
  WrxWindow* Window(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    Inject(w);
    return w;
  }
  static void Inject(WrxWindow* w) {
    for (int id = 0; id < w->fontCount; ++id) {
      if (!w->fonts[id].widths) continue;
      for (int c = 0; c < 256; ++c) w->fonts[id].widths[c] = 10;
      w->fonts[id].lineHeight = 20;
      w->fonts[id].baseLine = 16;
      w->fonts[id].extLeading = 0;
    }
    w->resX = w->resY = 96;
    w->textRect = RECT{0, 0, 300, 200};
    w->linesPerWindow = 10;
  }
  // "see CODEclick here end": CODE hidden, "click here" link text.
  WrxWindow* LinkWindow() {
    WrxWindow* w = Window("x\r\n");
    const int hidden = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, 0x40, 0, 0xFFFFFF, 0, 0);
    const int link = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, 0x4100, RGB(0, 0, 255), 0xFFFFFF, 0, 0);
    EXPECT_GT(hidden, 0);
    EXPECT_GT(link, 0);
    const std::string text = "see CODEclick here end";
    std::vector<unsigned char> ids(text.size(), 0);
    for (size_t k = 4; k < 8; ++k) ids[k] = static_cast<unsigned char>(hidden);
    for (size_t k = 8; k < 18; ++k) ids[k] = static_cast<unsigned char>(link);
    EXPECT_EQ(SetWrxLine(w->hwnd, 0, text.c_str(), ids.data()), 1);
    Inject(w);
    SetWrxNotifyProc(w->hwnd, RecordLink);
    return w;
  }
  std::vector<HWND> windows_;
};

}  // namespace

TEST_F(WrxProcTest, AMousePressPlacesTheCursorAndADragSelects) {
  WrxWindow* w = Window("hello world\r\nsecond line\r\nthird");
  HWND hwnd = w->hwnd;
  struct Case {
    int x, y;
    int32_t line, col;
  } cases[] = {
      {35, 25, 1, 3},  // inside the fourth character of line 1
      {0, 0, 0, 0},
      {500, 5, 0, 11},  // beyond the end of the text: after its last character
      {15, 500, 2, 1},  // below the text: the last line
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(c.x, c.y)), 0);
    SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(c.x, c.y));
    EXPECT_EQ(w->curLine, c.line) << c.x << "," << c.y;
    EXPECT_EQ(w->curCol, c.col) << c.x << "," << c.y;
    EXPECT_EQ(w->hilight, 0) << "a click alone selects nothing";
  }
  // A drag backwards from line 1 to line 0: the block runs from the press
  // (its begin) to the pointer (its end).
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(45, 25));
  SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, Point(25, 5));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(25, 5));
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlFirstLine, 1);
  EXPECT_EQ(w->hlFirstCol, 4);
  EXPECT_EQ(w->hlLastLine, 0);
  EXPECT_EQ(w->hlLastCol, 2);
  EXPECT_EQ(w->curLine, 0);
  // Moving without the button held selects nothing more.
  SendMessageA(hwnd, WM_MOUSEMOVE, 0, Point(95, 45));
  EXPECT_EQ(w->hlLastLine, 0);
  // A double click selects the word under the pointer.
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(75, 5));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(75, 5));
  SendMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(75, 5));
  EXPECT_EQ(w->hilight, 2);
  EXPECT_EQ(w->hlFirstCol, 6);
  EXPECT_EQ(w->hlLastCol, 11);
}

TEST_F(WrxProcTest, LinkTextReportsItsCodeAndTextToTheHost) {
  WrxWindow* w = LinkWindow();
  HWND hwnd = w->hwnd;
  const int onLink = 125, onPlain = 205;  // columns 12 and 20
  // Right-button release on the link: activation 0.
  SendMessageA(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, Point(onLink, 5));
  EXPECT_EQ(SendMessageA(hwnd, WM_RBUTTONUP, 0, Point(onLink, 5)), 0) << "the host did not take it";
  ASSERT_EQ(g_links.size(), 1u);
  EXPECT_EQ(g_links[0].linkCode, "CODE");
  EXPECT_EQ(g_links[0].text, "click here");
  EXPECT_EQ(g_links[0].activation, 0);
  EXPECT_EQ(g_links[0].window, hwnd);
  // Taken by the host: the release answers 1.
  g_linkAnswer = 1;
  SendMessageA(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, Point(onLink, 5));
  EXPECT_EQ(SendMessageA(hwnd, WM_RBUTTONUP, 0, Point(onLink, 5)), 1);
  // Plain text reports nothing.
  SendMessageA(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, Point(onPlain, 5));
  SendMessageA(hwnd, WM_RBUTTONUP, 0, Point(onPlain, 5));
  EXPECT_EQ(g_links.size(), 2u);

  // Activation by double click (the default): a press alone says nothing,
  // the double click reports activation 1 and selects no word.
  g_links.clear();
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(onLink, 5));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(onLink, 5));
  EXPECT_TRUE(g_links.empty());
  SendMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(onLink, 5));
  ASSERT_EQ(g_links.size(), 1u);
  EXPECT_EQ(g_links[0].activation, 1);
  EXPECT_EQ(w->hilight, 0);

  // Without it a left press reports at once and starts no selection.
  g_links.clear();
  w->linkDoubleClick = 0;
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(onLink, 5));
  SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, Point(onPlain, 5));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(onPlain, 5));
  ASSERT_EQ(g_links.size(), 1u);
  EXPECT_EQ(g_links[0].activation, 1);
  EXPECT_EQ(w->hilight, 0);
}

LRESULT CALLBACK CloseOnLink(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg == WRXN_LINK) DestroyWindow(hwnd);
  return 0;
}

TEST_F(WrxProcTest, AHostThatClosesTheWindowOnALinkLeavesNothingBehind) {
  for (UINT click : {UINT(WM_LBUTTONDBLCLK), UINT(WM_RBUTTONUP), UINT(WM_LBUTTONDOWN)}) {
    WrxWindow* w = LinkWindow();
    HWND hwnd = w->hwnd;
    SetWrxNotifyProc(hwnd, CloseOnLink);
    if (click == WM_LBUTTONDOWN) w->linkDoubleClick = 0;
    if (click == WM_RBUTTONUP)
      SendMessageA(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, Point(125, 5));
    else if (click == WM_LBUTTONDBLCLK)
      SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(125, 5));
    EXPECT_EQ(SendMessageA(hwnd, click, 0, Point(125, 5)), 0) << click;
    EXPECT_FALSE(IsWindow(hwnd)) << click;
    windows_.pop_back();
  }
}

TEST_F(WrxProcTest, TheLinkTestFollowsTheWindowsMaskAndColour) {
  WrxWindow* w = Window("x\r\n");
  struct Case {
    DWORD style;
    COLORREF colour;
    int32_t mask;
    COLORREF linkColour;
    int isLink;
  } cases[] = {
      {0x4000, RGB(0, 0, 255), 0x100, 0, 0},  // the mask's bit is missing
      {0x4100, RGB(0, 0, 255), 0x100, 0, 1}, {0x0100, RGB(0, 0, 255), 0x100, 0, 0},
      {0x0100, RGB(0, 0, 0), 0x100, 0, 1},    // the link colour
      {0x0180, RGB(0, 0, 255), 0x100, 0, 1},  // an object with all the mask's bits
      {0x4000, RGB(0, 0, 255), 0, 0, 1},      // no mask: the hyperlink bit decides
      {0x0000, RGB(0, 0, 255), 0, 0, 0},
  };
  for (const Case& c : cases) {
    w->linkStyleMask = c.mask;
    w->linkColor = c.linkColour;
    w->fonts[0].style = c.style;
    w->fonts[0].textColor = c.colour;
    EXPECT_EQ(IsLinkFont(w, 0), c.isLink) << std::hex << c.style << " mask " << c.mask;
  }
  w->fonts[0].style = 0;
}

TEST_F(WrxProcTest, KeysBecomeCommandsOnlyThroughAnAcceleratorTable) {
  WrxWindow* w = Window("one\r\ntwo\r\n");
  HWND hwnd = w->hwnd;
  EXPECT_EQ(SendMessageA(hwnd, WM_GETDLGCODE, 0, 0), 133);
  EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, VK_F5, 0), 0);
  EXPECT_EQ(w->hilight, 0) << "no table: a key does nothing";

  ACCEL keys[] = {{FVIRTKEY, VK_F5, 625}};
  HACCEL table = CreateAcceleratorTableA(keys, 1);
  ASSERT_NE(table, nullptr);
  w->accel = table;
  EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, VK_F5, 0), 1) << "translated";
  EXPECT_EQ(w->hilight, 2) << "select all ran";
  EXPECT_EQ(w->lastCommand, 625);

  // A command whose accelerator is switched off is refused and the key is
  // left to the default handling.
  w->hilight = 0;
  w->accelEnabled[625 - 600] = 0;
  EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, VK_F5, 0), 0);
  EXPECT_EQ(w->hilight, 0);
  // The same command from a menu still runs.
  SendMessageA(hwnd, WM_COMMAND, 625, 0);
  EXPECT_EQ(w->hilight, 2);
  w->accel = nullptr;
  DestroyAcceleratorTable(table);
}

TEST_F(WrxProcTest, HelpModeShowsTheChosenCommandsHelpInsteadOfRunningIt) {
  WrxWindow* w = Window("one\r\n");
  HWND hwnd = w->hwnd;
  // F1 held while a menu is open starts help mode and closes the menu.
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_F1] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(hwnd, WM_ENTERIDLE, MSGF_MENU, 0);
  keys[VK_F1] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(w->helpMode, 1);
  MSG posted;
  EXPECT_TRUE(PeekMessageA(&posted, hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_EQ(posted.wParam, WPARAM(VK_RETURN));

  SendMessageA(hwnd, WM_COMMAND, 625, 0);
  EXPECT_EQ(w->hilight, 0) << "the command did not run";
  ASSERT_EQ(g_help.size(), 1u);
  EXPECT_EQ(g_help[0].file, "wrx.hlp");
  EXPECT_EQ(g_help[0].command, UINT(HELP_CONTEXT));
  EXPECT_EQ(g_help[0].data, ULONG_PTR(625));
  EXPECT_EQ(w->helpMode, 0);
  // Command 637 opens the help index.
  SendMessageA(hwnd, WM_COMMAND, 637, 0);
  ASSERT_EQ(g_help.size(), 2u);
  EXPECT_EQ(g_help[1].command, UINT(HELP_INDEX));
}

TEST_F(WrxProcTest, TheCaretFollowsTheCursorWhileTheWindowHasTheFocus) {
  WrxWindow* w = Window("hello\r\nworld\r\n");
  HWND hwnd = w->hwnd;
  ShowWindow(HostWindow(), SW_SHOWNA);
  ShowWindow(hwnd, SW_SHOWNA);
  SetFocus(hwnd);
  ASSERT_EQ(GetFocus(), hwnd);
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(32, 25));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(32, 25));
  EXPECT_EQ(w->caretShown, 1);
  EXPECT_EQ(w->caretHeight, 20);
  POINT caret{};
  GetCaretPos(&caret);
  EXPECT_EQ(caret.x, 30);
  EXPECT_EQ(caret.y, 20);
  // A highlight hides it; losing the focus destroys it.
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(32, 25));
  SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, Point(5, 5));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(5, 5));
  EXPECT_EQ(w->caretShown, 0);
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(12, 5));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(12, 5));
  EXPECT_EQ(w->caretShown, 1);
  SetFocus(nullptr);
  EXPECT_EQ(w->caretShown, 0);
  ShowWindow(hwnd, SW_HIDE);

  // A read-only window has no caret.
  WrxWindow* r = Window("read only\r\n", WRX_READONLY);
  ShowWindow(r->hwnd, SW_SHOWNA);
  SetFocus(r->hwnd);
  SendMessageA(r->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(12, 5));
  SendMessageA(r->hwnd, WM_LBUTTONUP, 0, Point(12, 5));
  EXPECT_EQ(r->caretShown, 0);
  ShowWindow(r->hwnd, SW_HIDE);
  ShowWindow(HostWindow(), SW_HIDE);
}

TEST_F(WrxProcTest, ScrollBarsMoveTheFirstLine) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += "line\r\n";
  WrxWindow* w = Window(text);
  HWND hwnd = w->hwnd;
  SendMessageA(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
  SendMessageA(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(w->firstLine, 2);
  SendMessageA(hwnd, WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(w->firstLine, 1);
  SendMessageA(hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(w->firstLine, 10);
  SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 50), 0);
  EXPECT_EQ(w->curLine, MulDiv(w->lineCount, 50, 100));
  EXPECT_LE(w->firstLine, w->curLine);
  EXPECT_GT(w->firstLine + 10, w->curLine) << "the line is on screen";
  SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 100), 0);
  EXPECT_EQ(w->curLine, w->lineCount - 1);
  EXPECT_EQ(w->firstLine, w->lineCount - 1) << "the last line comes to the top";
  // Sideways only as far as the widest line shown reaches.
  SendMessageA(hwnd, WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(w->hOffset, 0);
  WrxWindow* wide = Window(std::string(100, 'w') + "\r\n");
  SendMessageA(wide->hwnd, WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_GT(wide->hOffset, 0);
  SendMessageA(wide->hwnd, WM_HSCROLL, SB_PAGELEFT, 0);
  EXPECT_EQ(wide->hOffset, 0);
  SendMessageA(wide->hwnd, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 100), 0);
  EXPECT_EQ(wide->hOffset, 1000 - 300) << "the thumb's end shows the line's end";
}

TEST_F(WrxProcTest, PrintPreviewLeavesOnlyPagingAndItsOwnCommand) {
  WrxWindow* w = Window("one two\r\nthree\r\n");
  HWND hwnd = w->hwnd;
  w->preview = 1;
  EXPECT_EQ(WrxMenuEnable(hwnd, 600), UINT(MF_GRAYED));
  EXPECT_EQ(WrxMenuEnable(hwnd, 680), UINT(MF_GRAYED));
  EXPECT_EQ(WrxMenuCheck(hwnd, 717), UINT(MF_CHECKED));
  SendMessageA(hwnd, WM_COMMAND, 625, 0);
  EXPECT_EQ(w->hilight, 0) << "select all answers nothing";
  SendMessageA(hwnd, WM_COMMAND, 680, 0);
  EXPECT_EQ(w->arg.ruler, 0);
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(25, 25));
  SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(25, 25));
  EXPECT_EQ(w->curLine, 0) << "the mouse goes by";
  // A menu of the window shows every item grayed (a child window has no
  // menu of its own, so the update is called as WM_INITMENU would).
  HMENU menu = CreateMenu();
  AppendMenuA(menu, MF_STRING, 680, "Ruler");
  AppendMenuA(menu, MF_STRING, 625, "All");
  WrxMenuUpdate(w, menu);
  EXPECT_TRUE(GetMenuState(menu, 680, MF_BYCOMMAND) & MF_GRAYED);
  w->preview = 0;
  WrxMenuUpdate(w, menu);
  EXPECT_FALSE(GetMenuState(menu, 680, MF_BYCOMMAND) & MF_GRAYED);
  SendMessageA(hwnd, WM_COMMAND, 680, 0);
  EXPECT_EQ(w->arg.ruler, 1);
  WrxMenuUpdate(w, menu);
  EXPECT_TRUE(GetMenuState(menu, 680, MF_BYCOMMAND) & MF_CHECKED);
  DestroyMenu(menu);
}

LRESULT CALLBACK AnswerColours(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_CTLCOLOREDIT ? 77 : 0; }

TEST_F(WrxProcTest, NotificationsGoToTheInstalledProcedureElseToTheParent) {
  WrxWindow* w = LinkWindow();
  HWND hwnd = w->hwnd;
  // Without a procedure the parent hears of the link; the control is usable
  // again afterwards.
  SetWrxNotifyProc(hwnd, nullptr);
  SetWrxModify(hwnd, 0);  // no first-modification notice in between
  ResetRecords();
  SendMessageA(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, Point(125, 5));
  SendMessageA(hwnd, WM_RBUTTONUP, 0, Point(125, 5));
  ASSERT_EQ(g_notices.size(), 1u);
  EXPECT_EQ(g_notices[0].code, UINT(WRXN_LINK));
  EXPECT_EQ(g_notices[0].wp, WPARAM(hwnd));
  EXPECT_TRUE(IsWindowEnabled(hwnd));
  // Colour requests of embedded controls get the host's answer.
  SetWrxNotifyProc(hwnd, AnswerColours);
  EXPECT_EQ(SendMessageA(hwnd, WM_CTLCOLOREDIT, 0, 0), 77);

  // The background is filled with the window's own colour.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  w->backColor = RGB(10, 20, 30);
  EXPECT_EQ(SendMessageA(hwnd, WM_ERASEBKGND, WPARAM(dc), 0), 1);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(10, 20, 30));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  w->backColor = 0xFFFFFF;

  // The pointer keeps its shape over the text only with the focus or with
  // tracking switched on.
  SetFocus(nullptr);
  w->trackPointer = 1;
  EXPECT_EQ(SendMessageA(hwnd, WM_SETCURSOR, WPARAM(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
  SendMessageA(hwnd, WM_COMMAND, 710, 0);
  EXPECT_EQ(w->trackPointer, 0) << "command 710 switches tracking";
}
