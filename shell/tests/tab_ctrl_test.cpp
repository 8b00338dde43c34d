// FTTabCtrl on a test dialog of the tests' own resources, driven by messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <vector>

#include "core/appstate.h"
#include "shell/tab_ctrl.h"
#include "shell/tests/shell_test_host.h"
#include "tests/support/window_fixture.h"

namespace {

std::vector<WORD>& Notifications() {
  static std::vector<WORD> seen;
  return seen;
}
bool g_veto = false;

INT_PTR CALLBACK HostProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && LOWORD(wParam) == TAB_CONTROL_ID) {
    Notifications().push_back(HIWORD(wParam));
    if (HIWORD(wParam) == TAB_CHANGING) SetWindowLongPtrA(dialog, DWLP_MSGRESULT, g_veto ? 0 : 1);
    return TRUE;
  }
  return FALSE;
}

class TabCtrl : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = GetModuleHandleA(nullptr);
    g_app.instance = module_;
    static bool registered = TabCtrlModule(module_);
    ASSERT_TRUE(registered);
    dialog_ = CreateDialogParamA(module_, "TABHOST", nullptr, HostProc, 0);
    ASSERT_NE(dialog_, nullptr);
    tab_ = GetDlgItem(dialog_, TAB_CONTROL_ID);
    ASSERT_NE(tab_, nullptr);
    Notifications().clear();
    g_veto = false;
  }
  void TearDown() override {
    DestroyWindow(dialog_);
    PumpTestMessages();
  }
  LRESULT Add(const char* name) {
    return SendMessageA(tab_, TAB_ADD_PAGE, reinterpret_cast<WPARAM>(module_), reinterpret_cast<LPARAM>(name));
  }
  LRESULT Count() { return SendMessageA(tab_, TAB_PAGE_COUNT, 0, 0); }
  LRESULT Current() { return SendMessageA(tab_, TAB_CURRENT_PAGE, 0, 0); }
  HINSTANCE module_;
  HWND dialog_ = nullptr, tab_ = nullptr;
};

TEST_F(TabCtrl, PagesAddUpToTwentyAndRefuseClashes) {
  EXPECT_EQ(Add("TABPAGE1"), 0);
  EXPECT_EQ(Add("TABPAGE2"), 1);
  EXPECT_EQ(Add("TABDUP"), -3);  // 5001 is on the first page already
  EXPECT_EQ(Add("TABNOPLACE"), -2);
  EXPECT_EQ(SendMessageA(tab_, TAB_ADD_PAGE, 0, 0), 0);
  for (int i = 2; i < TAB_MAX_PAGES; ++i) EXPECT_EQ(Add("TABEMPTY"), i);
  EXPECT_EQ(Add("TABEMPTY"), -1);
  EXPECT_EQ(Count(), TAB_MAX_PAGES);
  EXPECT_EQ(SendMessageA(tab_, TAB_FIND_PAGE, 0, reinterpret_cast<LPARAM>("toolbar")), 1);
  char title[32];
  EXPECT_EQ(SendMessageA(tab_, TAB_GET_TITLE, 0, reinterpret_cast<LPARAM>(title)), 1);
  EXPECT_STREQ(title, "General");
  // Every unnamed static got an id of its own.
  std::set<int> ids;
  int statics = 0;
  for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    int id = GetDlgCtrlID(child);
    if (id > 60000) {
      ++statics;
      ids.insert(id);
    }
  }
  EXPECT_EQ(statics, 4 + (TAB_MAX_PAGES - 2));
  EXPECT_EQ(static_cast<int>(ids.size()), statics);
  EXPECT_TRUE(Notifications().empty());
}

TEST_F(TabCtrl, KeysWrapAndAVetoKeepsThePage) {
  Add("TABPAGE1");
  Add("TABPAGE2");
  Add("TABEMPTY");
  EXPECT_EQ(Current(), 0);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_, 5001)));
  SendMessageA(tab_, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(Notifications(), (std::vector<WORD>{TAB_CHANGING, TAB_CHANGED}));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_, 5001)));
  SendMessageA(tab_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Current(), 0);
  Notifications().clear();
  g_veto = true;
  SendMessageA(tab_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Current(), 0);
  EXPECT_EQ(Notifications(), std::vector<WORD>{TAB_CHANGING});
  Notifications().clear();
  EXPECT_EQ(SendMessageA(tab_, TAB_SELECT_PAGE, 1, 0), 1);
  EXPECT_EQ(Current(), 1);
  EXPECT_TRUE(Notifications().empty());
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_, 5002)));
  EXPECT_EQ(SendMessageA(tab_, TAB_SELECT_PAGE, 7, 0), 0);
  EXPECT_EQ(SendMessageA(tab_, TAB_REMOVE_PAGE, 2, 0), 1);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Current(), 1);
  UpdateWindow(dialog_);
  PumpTestMessages();
  EXPECT_TRUE(testwin::SaveWindowPng(dialog_, "shell_tab_ctrl.png"));
}

TEST_F(TabCtrl, ClickingATabChangesPage) {
  Add("TABPAGE1");
  Add("TABPAGE2");
  int height = static_cast<int>(SendMessageA(tab_, TAB_GET_HEIGHT, 0, 0));
  int width = static_cast<int>(SendMessageA(tab_, TAB_GET_WIDTH, 0, 0));
  SendMessageA(tab_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(width + width / 2, height / 2));
  EXPECT_EQ(Current(), 1);
  SendMessageA(tab_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(width / 2, height * 5));  // the page, not a tab
  EXPECT_EQ(Current(), 1);
}

}  // namespace
