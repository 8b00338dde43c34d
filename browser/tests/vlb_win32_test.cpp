#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "browser/tests/screen_area.h"
#include "browser/vlb.h"

namespace {

constexpr int kListId = 2000;
constexpr int kRowHeight = 16;
constexpr int kRows = 40;

std::vector<int> g_codes;  // notification codes the host received

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kListId) g_codes.push_back(HIWORD(lParam));
  return DefWindowProcA(window, message, wParam, lParam);
}

void RowText(int row, int32_t value, char* text, int size) { snprintf(text, size, "row %d: value %d", row, value); }

class VlbWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterVlbClass(instance));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "VlbTestHost";
    RegisterClassA(&wc);
  }
  void SetUp() override {
    g_codes.clear();
    host_ = CreateWindowA("VlbTestHost", "List", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 500, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
    list_ =
        CreateWindowA("VLBCLASS", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER, 0, 0, 300, kRows * kRowHeight + 2,
                      host_, reinterpret_cast<HMENU>(kListId), GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(list_);
    SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), kRowHeight);
    SizeToRows(kRows);
    VlbCommand(list_, kVlbSetTextCallback, 0, reinterpret_cast<LPARAM>(RowText));
    VlbCommand(list_, kVlbModeMultiple, 0, 0);
  }
  void TearDown() override { DestroyWindow(host_); }
  // Makes the client area exactly `rows` rows high.
  void SizeToRows(int rows) {
    RECT window, client;
    GetWindowRect(list_, &window);
    GetClientRect(list_, &client);
    int extra = (window.bottom - window.top) - client.bottom;
    MoveWindow(list_, 0, 0, 300, rows * kRowHeight + extra, TRUE);
  }
  void Fill(int n) {
    for (int i = 0; i < n; ++i) ASSERT_EQ(0, VlbCommand(list_, kVlbAddRow, 0, 1000 + i));
    Paint();
  }
  void Paint() { UpdateWindow(list_); }
  void Key(int vk) { SendMessageA(list_, WM_KEYDOWN, vk, 0); }
  SCROLLINFO Scroll() {
    SCROLLINFO info = {sizeof info, SIF_ALL};
    GetScrollInfo(list_, SB_VERT, &info);
    return info;
  }
  LRESULT Cmd(UINT op, LPARAM l = 0) { return VlbCommand(list_, op, 0, l); }
  HWND host_ = nullptr, list_ = nullptr;
};

TEST_F(VlbWindowTest, ScrollBarRowNumberedUpTo30000AndScaledAbove) {
  EXPECT_EQ(kRows, Cmd(kVlbRowsPerPage));
  Fill(30000);
  EXPECT_EQ(29999, Scroll().nMax);
  EXPECT_EQ(static_cast<UINT>(kRows), Scroll().nPage);
  Fill(1);
  EXPECT_EQ(1000, Scroll().nMax);
  SendMessageA(list_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 1000), 0);
  EXPECT_EQ(30001 - kRows, Cmd(kVlbTopRow)) << "thumb 1000 shows the last page";
}

TEST_F(VlbWindowTest, TheAddAfterTheLastPossibleRowFails) {
  for (int i = 0; i < kVlbMaxRows; ++i)
    if (VlbCommand(list_, kVlbAddRow, 0, i) != 0) FAIL() << "add " << i << " refused";
  EXPECT_EQ(-2, Cmd(kVlbAddRow, 5));
  EXPECT_EQ(kVlbMaxRows, Cmd(kVlbRowCount));
}

TEST_F(VlbWindowTest, SelectAllThenCountAndList) {
  Fill(120);
  g_codes.clear();
  Cmd(kVlbSelectAll);
  EXPECT_EQ(120, Cmd(kVlbSelectedCount));
  EXPECT_EQ(std::vector<int>{kVlbNotifySelChange}, g_codes);
  HGLOBAL block = reinterpret_cast<HGLOBAL>(Cmd(kVlbSelectedRows));
  ASSERT_EQ(120u * 4, GlobalSize(block));
  auto* rows = static_cast<int32_t*>(GlobalLock(block));
  for (int i = 0; i < 120; ++i) EXPECT_EQ(i, rows[i]);
  GlobalUnlock(block);
  GlobalFree(block);
  Cmd(kVlbReset);
  EXPECT_EQ(-1, Cmd(kVlbSelectedRows));
}

// Keys, clicks and the scroll bar on a list of 100 rows, 40 a page.
TEST_F(VlbWindowTest, KeysClicksAndScrollingByMessages) {
  Fill(100);
  struct Step {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int caret, top;
  } steps[] = {
      {"click row 3", WM_LBUTTONDOWN, 0, MAKELPARAM(5, 3 * kRowHeight + 2), 3, 0},
      {"release", WM_LBUTTONUP, 0, 0, 3, 0},
      {"page down", WM_KEYDOWN, VK_NEXT, 0, 43, 40},
      {"page down again: to the last page", WM_KEYDOWN, VK_NEXT, 0, 63, 60},
      {"page down on the last page: last row", WM_KEYDOWN, VK_NEXT, 0, 99, 60},
      {"home", WM_KEYDOWN, VK_HOME, 0, 0, 0},
      {"thumb track does not move the top", WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 30), 0, 0, 0},
      {"thumb release does", WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 30), 0, 0, 30},
      {"line down", WM_VSCROLL, SB_LINEDOWN, 0, 0, 31},
      {"page up", WM_VSCROLL, SB_PAGEUP, 0, 0, 0},
  };
  for (const Step& s : steps) {
    SendMessageA(list_, s.message, s.wParam, s.lParam);
    Paint();
    EXPECT_EQ(s.caret, Cmd(kVlbCaret)) << s.name;
    EXPECT_EQ(s.top, Cmd(kVlbTopRow)) << s.name;
  }
  EXPECT_EQ(0, Scroll().nPos);
}

TEST_F(VlbWindowTest, NotificationsReachTheParent) {
  Fill(5);
  SetFocus(list_);
  g_codes.clear();
  SendMessageA(list_, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 2));
  SendMessageA(list_, WM_LBUTTONUP, 0, 0);
  SendMessageA(list_, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 2));
  SendMessageA(list_, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 10 * kRowHeight));  // below the last row
  SendMessageA(list_, WM_KEYDOWN, VK_RIGHT, 0);
  // A press hands the focus to the parent first, as the browser's panes expect.
  EXPECT_EQ((std::vector<int>{kVlbNotifyLostFocus, kVlbNotifySelChange, kVlbNotifyDoubleClick, kVlbNotifyKey}),
            g_codes);
}

TEST_F(VlbWindowTest, PaintsRowsThroughTheTextCallback) {
  Fill(60);
  Cmd(kVlbSelectRow, 2);
  SendMessageA(list_, WM_KEYDOWN, VK_DOWN, 0);
  SetFocus(list_);
  CreateDirectoryA("screenshots", nullptr);
  EXPECT_TRUE(browsertest::SaveScreenArea(host_, "vlb_list.png"));
  // The selected row is painted in the highlight colour.
  HDC dc = GetDC(list_);
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), GetPixel(dc, 250, 3 * kRowHeight + kRowHeight / 2));
  EXPECT_NE(GetSysColor(COLOR_HIGHLIGHT), GetPixel(dc, 250, 5 * kRowHeight + kRowHeight / 2));
  ReleaseDC(list_, dc);
}

}  // namespace
