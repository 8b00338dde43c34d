// The MessageBase window driven by messages under Wine: filling by filter
// set and depth, expanding, selecting, marking the selection, the tab strip
// and the buttons.
#include "browser/mbw.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/mbw_filter.h"
#include "core/appstate.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/topic_open.h"
#include "shell/shell_state.h"
#include "tests/support/files.h"
#include "browser/tests/screen_area.h"
#include "tests/support/window_fixture.h"

namespace {

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefFrameProcA(window, g_shell.mdiClient, message, wParam, lParam);
}

std::vector<std::string> g_switched;

class MbwWindowTest : public TopicFixture {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = "MbwTestFrame";
    RegisterClassA(&wc);
    wc.lpfnWndProc = MbwWndProc;
    wc.lpszClassName = "Old Harl";
    RegisterClassA(&wc);
  }
  void SetUp() override {
    TopicFixture::SetUp();
    InstallMbwHooks();
    lstrcpynA(g_app.userName, "tester", sizeof g_app.userName);
    g_user.messagebaseStyle = 2;
    g_user.mbwState = 0;
    g_user.hideButtons = 0;
    g_userFoldersMerged = true;
    g_windowPlacements[WINDOW_MESSAGE_BASE] = {0, 0, 420, 360, 0};
    frame_ = CreateWindowA("MbwTestFrame", "Frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 460, 420,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    CLIENTCREATESTRUCT ccs = {nullptr, 1000};
    g_shell.frame = frame_;
    g_shell.mdiClient = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 440, 380,
                                      frame_, nullptr, GetModuleHandleA(nullptr), &ccs);
    g_switched.clear();
  }
  void TearDown() override {
    if (g_mbw.window) DestroyWindow(g_mbw.window);
    DestroyWindow(frame_);
    g_shell = ShellWindows();
    g_mbwFilters = MbwFilterTable();
    g_userFoldersMerged = false;
    TopicFixture::TearDown();
  }
  // The user's MBW section, then the window.
  void Open(const std::vector<std::string>& sets) {
    std::string ini = "[MBW]\r\n";
    for (const std::string& s : sets) ini += s + "\r\n";
    WriteWholeFile(Path("tester.ini"), ini);
    OpenMbw();
    ASSERT_TRUE(g_mbw.window);
    testwin::PumpPending();
  }
  void Add(const char* name, int waiting, uint32_t flags = 0) {
    AddFolder(name, "x.log", flags);
    static_cast<ConfRec*>(Conferences.At(Conferences.Count() - 1))->waiting = waiting;
  }
  std::vector<std::string> Rows() {
    std::vector<std::string> out;
    int n = static_cast<int>(SendMessageA(g_mbw.list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      std::string t = MbwRowText(i);
      out.push_back(t.substr(0, t.find('\t')));
    }
    return out;
  }
  std::vector<int> Selected() {
    std::vector<int> out;
    int n = static_cast<int>(SendMessageA(g_mbw.list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
      if (SendMessageA(g_mbw.list, LB_GETSEL, i, 0) > 0) out.push_back(i);
    return out;
  }
  int RowOf(const std::string& key) {
    std::vector<std::string> rows = Rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i] == key) return static_cast<int>(i);
    return -1;
  }
  void ClickList(int row, int x) {
    RECT r;
    SendMessageA(g_mbw.list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM(x, (r.top + r.bottom) / 2);
    SendMessageA(g_mbw.list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(g_mbw.list, WM_LBUTTONUP, 0, at);
  }
  void Command(int id, int code = 0) { SendMessageA(g_mbw.window, WM_COMMAND, MAKEWPARAM(id, code), 0); }
  void Demo() {
    Add("quorl:chat/general", 4);
    Add("quorl:chat/help", 1);
    Add("quorl:mail/demo", 2);
    Add("net:comp/lang.c", 3);
    Add("net:misc/test", 0);
    Add("notes/demo", 7);
    Add("dvn:forum/S3_talk", 5);
    Add("dvn:forum/L3_files", 0);
  }
  HWND frame_ = nullptr;
};

TEST_F(MbwWindowTest, DepthZeroShowsServicesAndTheExpanderOpensThem) {
  Demo();
  Open({"Top=0,*", "All=*"});
  EXPECT_EQ(
      (std::vector<std::string>{"0quorl:chat/general", "0net:comp/lang.c", "0local:notes/demo", "0dvn:forum/S3_talk"}),
      Rows());
  ClickList(0, 10);
  EXPECT_EQ((std::vector<std::string>{"0quorl:chat/general", "1quorl:chat/general", "1quorl:mail/demo",
                                      "0net:comp/lang.c", "0local:notes/demo", "0dvn:forum/S3_talk"}),
            Rows());
  ClickList(1, 30);  // the conference's expander
  EXPECT_EQ("2quorl:chat/general", Rows()[2]);
  EXPECT_EQ("2quorl:chat/help", Rows()[3]);
  ClickList(1, 30);
  EXPECT_EQ("1quorl:mail/demo", Rows()[2]) << "a second click collapses it";
  ClickList(1, 50);
  EXPECT_EQ("1quorl:mail/demo", Rows()[2]) << "beyond the expander a click only selects";
  EXPECT_EQ((std::vector<int>{1}), Selected());
}

TEST_F(MbwWindowTest, TheSelectedFolderSurvivesARefillOrGivesWayToItsCounterpart) {
  Demo();
  Open({"All=*"});
  MbwSelectFolder("net:misc/test");
  ASSERT_EQ((std::vector<int>{RowOf("2net:misc/test")}), Selected());
  MbwFillList();
  EXPECT_EQ((std::vector<int>{RowOf("2net:misc/test")}), Selected());
  MbwSelectFolder("dvn:forum/S3_talk");
  static_cast<ConfRec*>(Conferences.At(6))->flags |= CONF_RESIGNED;  // the section vanished
  MbwFillList();
  EXPECT_EQ(-1, RowOf("2dvn:forum/S3_talk"));
  EXPECT_EQ((std::vector<int>{RowOf("2dvn:forum/L3_files")}), Selected());
}

TEST_F(MbwWindowTest, SelectingAFolderInACollapsedConferenceExpandsAndCentresIt) {
  for (int c = 0; c < 40; ++c) {
    Add(("net:conf" + std::to_string(100 + c) + "/topic").c_str(), 0);
    if (c == 25) Add("net:conf125/zlast", 0);
  }
  Open({"Shallow=1,*"});
  ASSERT_EQ(-1, RowOf("2net:conf125/zlast"));
  MbwSelectFolder("net:conf125/zlast");
  const int row = RowOf("2net:conf125/zlast");
  ASSERT_GT(row, 0) << "the conference was expanded";
  EXPECT_EQ((std::vector<int>{row}), Selected());
  RECT client;
  GetClientRect(g_mbw.list, &client);
  const int visible = client.bottom / MbwRowHeight();
  const int top = static_cast<int>(SendMessageA(g_mbw.list, LB_GETTOPINDEX, 0, 0));
  EXPECT_LE(row - top, (visible - 1) / 2 + 1) << "the row is near the middle";
  EXPECT_GT(row - top, 0);
  // A folder hidden by the set cannot be selected.
  Add("net:conf150/hidden", 0, CONF_RESIGNED);
  MbwSelectFolder("net:conf150/hidden");
  EXPECT_EQ((std::vector<int>{row}), Selected());
}

TEST_F(MbwWindowTest, AWholeServiceMarksItsFoldersAndListsEachConferenceOnce) {
  Demo();
  Open({"All=*"});
  SendMessageA(g_mbw.list, LB_SETSEL, TRUE, RowOf("0quorl:chat/general"));
  EXPECT_EQ(-1, RefreshMbw());
  EXPECT_STREQ("quorl:chat/ quorl:mail/", MbwSelectedFolders());
  EXPECT_EQ(2, static_cast<ConfRec*>(Conferences.At(1))->selected);
  EXPECT_EQ(0, static_cast<ConfRec*>(Conferences.At(3))->selected);
  // News folders are taken one by one.
  SendMessageA(g_mbw.list, LB_SETSEL, FALSE, -1);
  SendMessageA(g_mbw.list, LB_SETSEL, TRUE, RowOf("0net:comp/lang.c"));
  RefreshMbw();
  EXPECT_STREQ("net:comp/lang.c net:misc/test", MbwSelectedFolders());
  SendMessageA(g_mbw.list, LB_SETSEL, FALSE, -1);
  SendMessageA(g_mbw.list, LB_SETSEL, TRUE, RowOf("0local:notes/demo"));
  RefreshMbw();
  EXPECT_STREQ("notes/", MbwSelectedFolders());
}

TEST_F(MbwWindowTest, TheSelectedFolderListHoldsEveryChosenFolder) {
  for (int i = 0; i < 5000; ++i) Add(("net:big.conference/topic.number." + std::to_string(i)).c_str(), 0);
  Open({"Net=net:*"});
  SendMessageA(g_mbw.list, LB_SETSEL, TRUE, -1);
  RefreshMbw();
  std::istringstream words(MbwSelectedFolders());
  std::string word;
  int count = 0;
  while (words >> word) ++count;
  EXPECT_EQ(5000, count);
}

TEST_F(MbwWindowTest, ARowWhoseFolderMovedDrawsOnlyItsBackgroundUntilTheRefill) {
  Demo();
  Open({"All=*"});
  ConfRec first = MakeConf("aaa:new/folder", "n.log", 0, 0, 0);
  first.waiting = 9;
  Conferences.InsertAt(0, &first);  // every row's index is now one short
  RedrawWindow(g_mbw.list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  MbwFillList();
  EXPECT_EQ("0aaa:new/folder", Rows()[0]);
  EXPECT_EQ("0quorl:chat/general", Rows()[3]);
}

TEST_F(MbwWindowTest, ReadingTheFolderListAgainRefillsTheWindow) {
  Demo();
  Open({"All=*"});
  ASSERT_EQ(1, wtconf());
  Add("aaa:new/folder", 9);
  ASSERT_EQ(1, wtconf());  // sorts the list under the window's rows
  ASSERT_EQ(1, rdconf(0));
  const int added = RowOf("0aaa:new/folder");
  ASSERT_NE(-1, added);
  const std::string row = MbwRowText(added);
  const int index = std::atoi(row.c_str() + row.find('\t') + 1);
  EXPECT_STREQ("aaa:new/folder", static_cast<ConfRec*>(Conferences.At(index))->name) << "the row names its folder";
  EXPECT_NE(-1, RowOf("0quorl:chat/general"));
  RedrawWindow(g_mbw.list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

TEST_F(MbwWindowTest, TabsWrapAndShrinkAndTheButtonsHide) {
  Demo();
  Open({"All=*", "Libraries=Files", "Mail=*:mail/*"});
  ASSERT_EQ(3, g_mbwFilters.count);
  Command(4388);
  Command(4388);
  EXPECT_EQ(2, g_mbwFilters.current);
  EXPECT_EQ((std::vector<std::string>{"0quorl:mail/demo", "1quorl:mail/demo", "2quorl:mail/demo"}), Rows());
  Command(4388);
  EXPECT_EQ(0, g_mbwFilters.current) << "Ctrl+PgDn on the last tab wraps to the first";
  Command(4387);
  EXPECT_EQ(2, g_mbwFilters.current);
  // A click on the middle tab.
  const RECT& s = g_mbw.strip;
  SendMessageA(g_mbw.window, WM_LBUTTONUP, 0, MAKELPARAM((s.left + s.right) / 2, (s.top + s.bottom) / 2));
  EXPECT_EQ(1, g_mbwFilters.current);
  // The guard refuses a set change inside a fill.
  g_mbw.guard = true;
  Command(4388);
  EXPECT_EQ(1, g_mbwFilters.current);
  g_mbw.guard = false;

  Command(5953);  // hide the buttons
  EXPECT_FALSE(IsWindowVisible(g_mbw.search));
  SetFocus(g_mbw.list);
  Command(4405);  // Alt+C
  EXPECT_EQ(g_mbw.list, GetFocus());
  Command(5953);
  EXPECT_TRUE(IsWindowVisible(g_mbw.search));
  Command(4405);
  EXPECT_EQ(g_mbw.search, GetFocus());
}

TEST_F(MbwWindowTest, SearchSelectsTheFirstMatchAndEnterOpensTheTopic) {
  Demo();
  Open({"All=*"});
  g_switched.clear();
  SetWindowTextA(g_mbw.search, "misc/t");
  EXPECT_EQ((std::vector<int>{RowOf("2net:misc/test")}), Selected());
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(g_mbw.window, 1))) << "Open follows the selection";
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(g_mbw.window, 4331))) << "Properties waits for its dialog";
  SetWindowTextA(g_mbw.search, "");
  SendMessageA(g_mbw.list, LB_SETSEL, FALSE, -1);
  SendMessageA(g_mbw.list, LB_SETSEL, TRUE, RowOf("2local:notes/demo"));
  SendMessageA(g_mbw.list, LB_SETCARETINDEX, RowOf("2local:notes/demo"), 0);
  lstrcpynA(g_topic.openName, "", sizeof g_topic.openName);
  Command(4403);  // Enter
  EXPECT_STREQ("notes/demo", g_topic.requestedName) << "the row's folder was asked for";
  // With nothing selected, Enter goes to the next folder with new messages.
  InstallBrowserHooks();
  SendMessageA(g_mbw.list, LB_SETSEL, FALSE, -1);
  Command(4403);
  EXPECT_STREQ("quorl:chat/general", g_topic.openName);
}

TEST_F(MbwWindowTest, Screenshot) {
  Demo();
  Open({"All=*", "Messages=Messages", "Libraries=Files", "Mail=*:mail/*"});
  MbwSelectFolder("quorl:chat/help");
  MbwSelectFolder("notes/demo");
  RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  testwin::PumpPending();
  EXPECT_TRUE(browsertest::SaveScreenArea(frame_, "mbw_window.png"));
}

}  // namespace
