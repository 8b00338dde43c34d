#include "browser/browser.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser/bookmarks.h"
#include "browser/tests/screen_area.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/topic_open.h"
#include "core/text1252.h"
#include "core/tests/ui_recorder.h"
#include "shell/commands_hooks.h"
#include "shell/shell_state.h"
#include "msgbase/message_ops.h"
#include "wrx/wrx.h"
#include "core/ui_seams.h"

namespace {

const char kNews[] = "net:comp.test/all";
const char kEmpty[] = "net:comp.empty/all";
const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";

std::string Message(long number, long parent, const char* author, const char* subject) {
  std::string body = std::string("From: ") + author + "\nSubject: " + subject + "\n\nText.\n";
  return SeparatorMessage(kNews, number, author, kDate, body, parent ? "Comment to " + std::to_string(parent) : "");
}

// Three threads; 1, 2 and 4 will be read.
std::string Topic() {
  return Message(1, 0, "ann@x.org", "Welcome") + Message(2, 1, "bob@x.org", "Re: Welcome") +
         Message(3, 0, "cy@x.org", "Pictures") + Message(4, 3, "dee@x.org", "Re: Pictures") +
         Message(5, 4, "eve@x.org", "Re: Pictures") + Message(6, 0, "fay@x.org", "Lunch");
}

std::vector<long> g_shown;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefFrameProcA(window, g_shell.mdiClient, message, wParam, lParam);
}

class BrowserWindowTest : public TopicFixture {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterBrowserClasses(instance);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = "BrowserTestFrame";
    RegisterClassA(&wc);
  }
  void SetUp() override {
    TopicFixture::SetUp();
    AddFolder(kNews, "news.log", 0);
    AddFolder(kEmpty, "empty.log", 0);
    g_browser = BrowserState();
    g_shown.clear();
    g_browserViewHooks.show = [](HWND, long number) { g_shown.push_back(number); };
    frame_ = CreateWindowA("BrowserTestFrame", "Frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 760,
                           560, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    CLIENTCREATESTRUCT ccs = {nullptr, 1000};
    g_shell.frame = frame_;
    g_shell.mdiClient = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 740, 500,
                                      frame_, nullptr, GetModuleHandleA(nullptr), &ccs);
    g_windowPlacements[kBrowserPlacementSlot] = {0, 0, 700, 460, 0};
    g_user.readingMode = kOrderThreads;
    InstallBrowserHooks();
  }
  void TearDown() override {
    logclose();
    if (g_browser.window) DestroyWindow(g_browser.window);
    DestroyWindow(frame_);
    g_shell = ShellWindows();
    g_browser = BrowserState();
    TopicFixture::TearDown();
  }
  void WriteTopic(const char* file, const std::string& log) { WriteWholeFile(Path(file), log); }
  // Opens the folder once to build its index, marks messages read, and
  // opens it again the way a user does.
  void OpenWithRead(const char* folder, const std::vector<long>& read) {
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(1, logopen());
    for (int i = 0; i < LogCva.Count(); ++i) {
      auto* rec = static_cast<MsgIndexRec*>(LogCva.At(i));
      for (long n : read)
        if (rec->number == n) rec->flags |= kMsgRead;
    }
    CloseBrowser();
    browse();
  }
  std::vector<long> Rows() {
    std::vector<long> out;
    LRESULT count = VlbCommand(g_browser.list, kVlbRowCount, 0, 0);
    for (int row = 0; row < count; ++row) {
      SynNode n;
      ReadSynNode(static_cast<int>(VlbCommand(g_browser.list, kVlbRowValue, 0, row)), &n);
      out.push_back(n.number);
    }
    return out;
  }
  HWND frame_ = nullptr;
};

TEST_F(BrowserWindowTest, OpeningSelectsTheFirstUnreadMessageOfTheFirstThreadThatHasOne) {
  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {1, 2, 3});
  ASSERT_TRUE(g_browser.open);
  ASSERT_TRUE(IsWindow(g_browser.window));
  char title[100];
  GetWindowTextA(g_browser.window, title, sizeof title);
  EXPECT_STREQ("net:comp.test.all", title);
  EXPECT_EQ(4, g_browser.currentMessage) << "thread 3 has the first unread message, 4";
  EXPECT_EQ((std::vector<long>{1, 2, 3, 4, 5, 6}), Rows());
  ShowCurrentMessage();
  ASSERT_FALSE(g_shown.empty());
  EXPECT_EQ(4, g_shown.back()) << "the view shows the selected message";
  const std::string bar = PaneBarText();
  EXPECT_NE(std::string::npos, bar.find("message  \xFE"
                                        "4\xFE"))
      << bar;
  EXPECT_NE(std::string::npos, bar.find("from  \xFE"
                                        "dee@x.org\xFE"))
      << bar;
  RECT barRect;
  GetWindowRect(g_browser.paneBar, &barRect);
  EXPECT_TRUE(IsWindowVisible(g_browser.paneBar));
  UpdateWindow(g_browser.paneBar);
  {
    HDC dc = GetDC(g_browser.paneBar);
    int dark = 0;
    for (int x = 0; x < 400; ++x)
      for (int y = 0; y < 24; ++y) dark += GetPixel(dc, x, y) == RGB(0, 0, 0);
    ReleaseDC(g_browser.paneBar, dc);
    EXPECT_GT(dark, 20) << "the information text is drawn";
  }
  CreateDirectoryA("screenshots", nullptr);
  EXPECT_TRUE(browsertest::SaveScreenArea(frame_, "browser.png"));

  // Everything read: the last row.
  OpenWithRead(kNews, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(6, g_browser.currentMessage);
  EXPECT_EQ(5, VlbCommand(g_browser.list, kVlbCaret, 0, 0));
}

TEST_F(BrowserWindowTest, AnEmptyFolderSaysSo) {
  WriteTopic("empty.log", "");
  OpenWithRead(kEmpty, {});
  ASSERT_TRUE(g_browser.open);
  EXPECT_STREQ("This folder is empty", PaneBarText());
  EXPECT_TRUE(g_shown.empty());
}

TEST_F(BrowserWindowTest, AStoredOrderOfZeroOpensAsRootsOnlyAndClosingTakesThePanesDown) {
  WriteTopic("news.log", Topic());
  g_user.readingMode = 0;
  OpenWithRead(kNews, {});
  EXPECT_EQ(kOrderRootsOnly, MessageOrder);
  EXPECT_EQ((std::vector<long>{1, 3, 6}), Rows());
  logclose();
  EXPECT_FALSE(g_browser.open);
  EXPECT_EQ(nullptr, g_browser.list);
}

TEST_F(BrowserWindowTest, OrderCommandsRebuildTheListAroundTheCurrentMessage) {
  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {});
  SelectMessage(5, kNews, 1);
  SetMessageOrder(1792);
  EXPECT_EQ(kOrderReverseChronological, MessageOrder);
  EXPECT_EQ((std::vector<long>{6, 5, 4, 3, 2, 1}), Rows());
  EXPECT_EQ(5, g_browser.currentMessage);
  SetMessageOrder(1789);
  EXPECT_EQ((std::vector<long>{1, 3, 4, 5, 6}), Rows()) << "roots only, with 5's thread opened to show it";
  EXPECT_EQ(5, g_browser.currentMessage);
}

TEST_F(BrowserWindowTest, OwnLinksOpenTheFolderAtTheMessageAndOthersRunNothing) {
  WriteTopic("news.log", Topic());
  WriteTopic("empty.log", "");
  FollowLink("PL://net:comp.test/all#5");
  ASSERT_TRUE(g_browser.open);
  EXPECT_STREQ(kNews, g_topic.openName);
  EXPECT_EQ(5, g_browser.currentMessage);
  FollowLink("pl:net:comp.test/all#2");
  EXPECT_EQ(2, g_browser.currentMessage) << "the same folder stays open";
  FollowLink("http://example.com/");
  FollowLink("pl:net:comp.test/all#x");
  EXPECT_STREQ(kNews, g_topic.openName);
  EXPECT_EQ(2, g_browser.currentMessage);
  FollowLink("pl:net:comp.empty/all");
  EXPECT_STREQ(kEmpty, g_topic.openName);
  EXPECT_STREQ("This folder is empty", PaneBarText());
}

std::string ClipboardFormat(const char* name) {
  UINT format = name ? RegisterClipboardFormatA(name) : CF_TEXT;
  std::string out;
  if (!OpenClipboard(nullptr)) return out;
  if (HANDLE h = GetClipboardData(format)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) out = p;
    GlobalUnlock(h);
  }
  CloseClipboard();
  return out;
}

TEST_F(BrowserWindowTest, CopyPutsTextReferencesAndLinksOnTheClipboard) {
  std::string withId = SeparatorMessage(kNews, 1, "ann@x.org", kDate,
                                        "From: ann@x.org\nSubject: Hello\nMessage-ID: <abc@x.org>\n\nFirst line.\n");
  WriteTopic("news.log", withId + Message(2, 1, "bob@x.org", "Re: Hello"));
  OpenWithRead(kNews, {});
  VlbCommand(g_browser.list, kVlbSelectAll, 0, 0);
  EXPECT_EQ(2, CopyMessagesToClipboard(0));
  EXPECT_EQ("PL:net:comp.test/all#1\nPL:net:comp.test/all#2\n", ClipboardFormat("500_MESSAGE"));
  EXPECT_EQ("PL:net:comp.test/all#<abc@x.org> PL:net:comp.test/all#2 ", ClipboardFormat("500_MESSAGE_LINK"));
  const std::string text = ClipboardFormat(nullptr);
  EXPECT_NE(std::string::npos, text.find("First line.\r\n")) << text;
  for (int i = 0; i < LogCva.Count(); ++i)
    EXPECT_FALSE(static_cast<MsgIndexRec*>(LogCva.At(i))->flags & kMsgMarkedForDeletion) << "copy marks nothing";

  // A Quorl folder names its messages by number; a cut marks them.
  const char kChat[] = "quorl:chat/general";
  AddFolder(kChat, "chat.log", 0);
  WriteTopic("chat.log", SeparatorMessage(kChat, 7, "ann", kDate, "Hello.\n"));
  FollowLink("pl:quorl:chat/general#7");
  ASSERT_STREQ(kChat, g_topic.openName);
  EXPECT_EQ(1, CopyMessagesToClipboard(1));
  EXPECT_EQ("quorl:chat/general:7 ", ClipboardFormat("500_MESSAGE_LINK"));
  EXPECT_TRUE(static_cast<MsgIndexRec*>(LogCva.At(0))->flags & kMsgMarkedForDeletion);
}

uint16_t FlagsOf(long number) {
  int slot = findmsgidx(static_cast<int32_t>(number));
  return slot >= 0 ? static_cast<MsgIndexRec*>(LogCva.At(slot))->flags : 0;
}

TEST_F(BrowserWindowTest, MarksToggleFromTheFirstMessageAndMoveByTheirSetting) {
  WriteTopic("news.log", Topic());
  g_user.movementModeD = 2;
  g_user.movementModeK = 1;
  OpenWithRead(kNews, {});
  SelectMessage(1, kNews, 1);
  EXPECT_EQ(1, MarkDeleteCmd());
  EXPECT_TRUE(FlagsOf(1) & kMsgMarkedForDeletion);
  EXPECT_TRUE(FlagsOf(1) & kMsgRead);
  EXPECT_EQ(3, g_browser.currentMessage) << "Movement Mode D = 2: the next thread";
  EXPECT_EQ((std::vector<long>{1, 3, 4, 5, 6}), Rows()) << "the marked thread is collapsed";

  // Two rows: both marked, the caret stays; the first decides the direction.
  VlbCommand(g_browser.list, kVlbSelectRow, 0, 0);
  SendMessageA(g_browser.list, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT,
               MAKELPARAM(5, VlbStateOf(g_browser.list)->rowHeight + 2));
  SendMessageA(g_browser.list, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(2, MarkDeleteCmd());
  EXPECT_EQ(1, VlbCommand(g_browser.list, kVlbCaret, 0, 0));
  EXPECT_FALSE(FlagsOf(1) & kMsgMarkedForDeletion) << "1 was marked: the command clears";
  EXPECT_FALSE(FlagsOf(3) & kMsgMarkedForDeletion);

  // Keep moves down one; Unread never moves.
  SelectMessage(4, kNews, 1);
  MarkKeepCmd();
  EXPECT_TRUE(FlagsOf(4) & kMsgKeep);
  EXPECT_EQ(5, g_browser.currentMessage);
  MarkUnreadCmd();
  EXPECT_EQ(5, g_browser.currentMessage);
  EXPECT_FALSE(FlagsOf(5) & kMsgRead);

  // Bookmark and ignore through the bookmark table.
  SelectMessage(6, kNews, 1);
  g_user.movementModeB = 0;
  MarkBookmarkCmd();
  EXPECT_TRUE(IsBookmarkedInSet(6));
  EXPECT_EQ(6, g_browser.currentMessage);

  // Moderated folders refuse delete and keep and say so.
  g_topic.openFlags |= 0x0008;
  EXPECT_EQ(0, MarkDeleteCmd());
  ASSERT_FALSE(Recorded().status.empty());
  g_topic.openFlags &= ~0x0008u;
}

TEST_F(BrowserWindowTest, NextUnreadWithNoneLeftClosesTheBrowser) {
  WriteTopic("news.log", Topic());
  g_user.movementModeK = 4;
  OpenWithRead(kNews, {1, 2, 3, 4, 5, 6});
  HWND browser = g_browser.window;
  SelectMessage(2, kNews, 1);
  MarkKeepCmd();
  EXPECT_NE(Recorded().status.end(), std::find(Recorded().status.begin(), Recorded().status.end(), "No new messages"));
  EXPECT_FALSE(IsWindow(browser));
  EXPECT_FALSE(g_browser.open);
  EXPECT_EQ(nullptr, g_topic.log);
}

TEST_F(BrowserWindowTest, PaneKeysShiftTheTreeExpandAndPage) {
  WriteTopic("news.log", Topic());
  g_user.readingMode = kOrderRootsOnly;
  OpenWithRead(kNews, {});
  struct Step {
    const char* name;
    int key;
    bool ctrl;
    int offset;
    std::vector<long> rows;
  } steps[] = {
      {"Ctrl+Left at 0 changes nothing", VK_LEFT, true, 0, {1, 3, 6}},
      {"Ctrl+Right shifts the tree", VK_RIGHT, true, 1, {1, 3, 6}},
      {"Right expands the collapsed thread", VK_RIGHT, false, 1, {1, 2, 3, 6}},
  };
  SelectMessage(1, kNews, 1);
  for (const Step& s : steps) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = s.ctrl ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(g_browser.list, WM_KEYDOWN, s.key, 0);
    EXPECT_EQ(s.offset, g_browser.levelOffset) << s.name;
    EXPECT_EQ(s.rows, Rows()) << s.name;
  }
  g_browser.levelOffset = 99;
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(g_browser.list, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(99, g_browser.levelOffset) << "Ctrl+Right at 99 changes nothing";
  // Without a view, Page Down moves the caret; on the last page to the last row.
  SendMessageA(g_browser.list, WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_EQ(3, VlbCommand(g_browser.list, kVlbCaret, 0, 0));
  EXPECT_EQ(6, g_browser.currentMessage);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
}

TEST_F(BrowserWindowTest, ZoomModesLayThePanesOut) {
  WriteTopic("news.log", Topic());
  g_browserViewHooks.create = [](HWND browser) {
    return CreateWindowA("STATIC", "view", WS_CHILD | WS_BORDER, 0, 0, 10, 10, browser, nullptr, nullptr, nullptr);
  };
  OpenWithRead(kNews, {});
  auto height = [](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return r.bottom - r.top;
  };
  RECT client;
  GetClientRect(g_browser.window, &client);
  struct Case {
    int command;
    bool listShown, viewShown;
  } cases[] = {{1734, true, false}, {1735, false, true}, {1736, true, true}};
  for (const Case& c : cases) {
    SetZoomMode(ZoomModeOfCommand(c.command));
    EXPECT_EQ(c.listShown, height(g_browser.list) > 0) << c.command;
    EXPECT_EQ(c.viewShown, height(g_browser.view) > 2) << c.command;
    EXPECT_EQ(c.command == 1735, ViewHasFocus()) << c.command;
  }
  EXPECT_EQ(0, height(g_browser.list) % VlbStateOf(g_browser.list)->rowHeight) << "mixed mode: whole rows";
  EXPECT_EQ(-1, ZoomModeOfCommand(1737));
  g_browserViewHooks.create = [](HWND) -> HWND { return nullptr; };
}

}  // namespace

namespace {

std::string Section(const char* folder, long first, long last) {
  std::string log;
  for (long n = first; n <= last; ++n) log += SeparatorMessage(folder, n, "ann", kDate, "Subject: s\n\nText.\n", "");
  return log;
}

TEST_F(BrowserWindowTest, OtherSectionsAndMessageIdsAreFoundAndDamagedFilesPassedOver) {
  const char* kTalk = "dvn:forum/S1_talk";
  const char* kBroken = "dvn:forum/S2_broken";
  const char* kMore = "dvn:forum/S3_more";
  AddFolder(kTalk, "s1.log", 0);
  AddFolder(kBroken, "s2.log", 0);
  AddFolder(kMore, "s3.log", 0);
  AddFolder("dvn:other/S1_x", "o1.log", 0);
  WriteTopic("s1.log", Section(kTalk, 1, 3));
  WriteTopic("s2.log", Section(kBroken, 20, 21));
  WriteTopic("s3.log", Section(kMore, 10, 12));
  for (const char* folder : {kMore, kBroken, kTalk}) {  // each gets its index
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(1, logopen());
    logclose();
  }
  WriteTopic("s2.ind", std::string("\x07\x00garbage that is no index", 26));
  lstrcpynA(g_topic.openName, kTalk, sizeof g_topic.openName);
  ASSERT_EQ(1, logopen());
  EXPECT_STREQ(kMore, FindMessageSection(11));
  EXPECT_STREQ(kTalk, FindMessageSection(2));
  EXPECT_STREQ("", FindMessageSection(20)) << "the damaged index is passed over";
  EXPECT_STREQ("", FindMessageSection(99));

  WriteTopic("s2.id", "<a@x>\t5\r\n");
  WriteTopic("s3.id", "<zz@x> 7\r\n<a@x> 12\r\n<b@x>\t\r\n");
  char folder[100] = "dvn:forum/";
  EXPECT_EQ(0, FindMsgIdNumber(folder, sizeof folder, "<b@x>")) << "no number after the id";
  EXPECT_EQ(5, FindMsgIdNumber(folder, sizeof folder, "<a@x>"));
  EXPECT_STREQ(kBroken, folder);
  char other[100] = "dvn:forum/S3";
  EXPECT_EQ(12, FindMsgIdNumber(other, sizeof other, "<a@x>"));
  EXPECT_STREQ(kMore, other);
  char none[100] = "dvn:other/";
  EXPECT_EQ(0, FindMsgIdNumber(none, sizeof none, "<a@x>"));
  EXPECT_STREQ("dvn:other/", none);
}

TEST_F(BrowserWindowTest, CommandsAreInstalledAndAskAboutTheBrowser) {
  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {1});
  EXPECT_TRUE(COMMAND_HOOK_SET(MarkReadCommand));
  EXPECT_TRUE(COMMAND_HOOK_SET(SetZoomMode));
  EXPECT_TRUE(g_commandHooks.BrowserOpen());
  EXPECT_TRUE(g_commandHooks.TopicHasUnread());
  g_commandHooks.SetZoomMode(1);
  EXPECT_EQ(1, g_commandHooks.ZoomMode());
  g_commandHooks.SetZoomMode(0);
  EXPECT_STREQ(kNews, SelFolderName());
}

TEST_F(BrowserWindowTest, AcronymTipsReadTheirFileOnlyWhenItChanges) {
  WriteTopic("acronyms.lst", "FAQ frequently asked\r\n");
  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {});
  ASSERT_TRUE(g_browser.view == nullptr || IsWindow(g_browser.view));
  HWND view = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 50, 50, g_browser.window, nullptr, nullptr, nullptr);
  SubclassMessageView(view);
  const long before = AcronymFileReads();
  for (int i = 0; i < 5; ++i) SendMessageA(view, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_LE(AcronymFileReads() - before, 1) << "five moves, at most one read";
  Sleep(20);
  WriteTopic("acronyms.lst", "FAQ frequently asked questions\r\n");
  SendMessageA(view, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(AcronymFileReads() - before, 2) << "a changed file is read again";
  EXPECT_EQ(0, SendMessageA(view, WM_PASTE, 0, 0));
  DestroyWindow(view);
}

}  // namespace

namespace {

TEST_F(BrowserWindowTest, NextNewMessageReadsRepliesThenPicksFoldersByConferenceAndOrder) {
  const char* kHere = "net:comp.test/all";
  WriteTopic("news.log", Topic());
  const char* kOther = "net:comp.test/other";
  const char* kFar = "net:zz.far/all";
  const char* kNear = "net:aa.near/all";
  AddFolder(kNear, "near.log", 0);
  AddFolder(kOther, "other.log", 0);
  AddFolder(kFar, "far.log", 0);
  WriteTopic("near.log", Section(kNear, 1, 1));
  WriteTopic("other.log", Section(kOther, 1, 1));
  WriteTopic("far.log", Section(kFar, 1, 1));
  WriteTopic("empty.log", "");
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<ConfRec*>(Conferences.At(i));
    rec->waiting = 1;
    if (std::string(rec->name) == kFar) rec->order = 1;
    if (std::string(rec->name) == kNear) rec->order = 2;
  }
  InstallBrowserHooks();
  OpenWithRead(kHere, {1, 2, 4, 5, 6});
  ASSERT_EQ(3, g_browser.currentMessage);
  SelectMessage(1, kHere, 1);
  g_sameConferenceFirst = true;
  std::string walk;
  for (int step = 0; step < 6 && g_topic.log; ++step) {
    NextNewMessage();
    if (!g_topic.log) break;
    walk += std::string(g_topic.openName) + "#" + std::to_string(g_browser.currentMessage) + " ";
    const int slot = findmsgidx(static_cast<int32_t>(g_browser.currentMessage));  // the user reads it
    if (slot >= 0) static_cast<MsgIndexRec*>(LogCva.At(slot))->flags |= kMsgRead;
    auto* rec = static_cast<ConfRec*>(Conferences.At(0));
    for (int i = 0; i < Conferences.Count(); ++i) {
      rec = static_cast<ConfRec*>(Conferences.At(i));
      if (SameText1252(rec->name, g_topic.openName)) rec->waiting = 0;
    }
    g_sameConferenceFirst = step == 0;  // only the first switch keeps to the conference
  }
  EXPECT_EQ("net:comp.test/all#3 net:comp.test/other#1 net:zz.far/all#1 net:aa.near/all#1 net:comp.empty/all#0 ", walk)
      << "unread 3 first, the same conference, then by display order";
  EXPECT_EQ("No new messages", Recorded().status.back());
}

TEST_F(BrowserWindowTest, GotoFolderSwapsSectionAndLibrary) {
  const char* kSection = "dvn:forum/S3_talk";
  const char* kLibrary = "dvn:forum/L3_files";
  AddFolder(kSection, "s3.log", 0);
  AddFolder(kLibrary, "l3.log", 0);
  AddFolder("dvn:forum/L4_lone", "l4.log", 0);
  WriteTopic("s3.log", Section(kSection, 1, 2));
  WriteTopic("l3.log", Section(kLibrary, 1, 2));
  WriteTopic("l4.log", Section("dvn:forum/L4_lone", 1, 1));
  GotoFolder(kSection);
  EXPECT_STREQ(kLibrary, g_topic.openName);
  GotoFolder(nullptr);
  EXPECT_STREQ(kSection, g_topic.openName);
  GotoFolder("dvn:forum/L4_lone");
  EXPECT_STREQ(kSection, g_topic.openName);
  ASSERT_FALSE(Recorded().boxes.empty());
  EXPECT_EQ("There is no message section to switch to", Recorded().boxes.back());
}

}  // namespace

namespace {

TEST_F(BrowserWindowTest, TheSplitBarMovesInWholeLinesAndEscRestoresAColumn) {
  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {});
  RECT client;
  GetClientRect(g_browser.window, &client);
  const int line = VlbStateOf(g_browser.list)->rowHeight, header = BrowserHeaderHeight();
  for (int y : {150, 157, 5, 30000}) {
    PostMessageA(g_browser.window, WM_MOUSEMOVE, 0, MAKELPARAM(100, y));
    PostMessageA(g_browser.window, WM_LBUTTONUP, 0, MAKELPARAM(100, y));
    DragSplitter();
    const int at = static_cast<int>(g_splitRatio * client.bottom + 0.5f);
    EXPECT_EQ(0, (at - header) % line) << y;
    EXPECT_GE(at, header + line) << y;
    EXPECT_LE(at, client.bottom - line) << y;
    if (y == 150) {
      EXPECT_LE(std::abs(at - 150), line / 2 + 1);
    }
  }
  g_user.threadFrom = 172;
  PostMessageA(g_browser.window, WM_MOUSEMOVE, 0, MAKELPARAM(260, 5));
  PostMessageA(g_browser.window, WM_CHAR, 27, 0);
  DragColumnDivider(&g_user.threadFrom, 80);
  EXPECT_EQ(172u, g_user.threadFrom) << "Esc puts the column back";
  PostMessageA(g_browser.window, WM_MOUSEMOVE, 0, MAKELPARAM(260, 5));
  PostMessageA(g_browser.window, WM_LBUTTONUP, 0, MAKELPARAM(262, 5));
  DragColumnDivider(&g_user.threadFrom, 80);
  EXPECT_EQ(260u, g_user.threadFrom);
  PostMessageA(g_browser.window, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
  DragColumnDivider(&g_user.threadFrom, 80);
  EXPECT_EQ(80u, g_user.threadFrom) << "never left of its lower bound";
  g_user.threadFrom = 172;
  // A press on the divider in the caption strip starts the drag.
  PostMessageA(g_browser.window, WM_CHAR, 27, 0);
  SendMessageA(g_browser.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(172 + 2 + 3, 4));
  EXPECT_EQ(172u, g_user.threadFrom);
}

TEST_F(BrowserWindowTest, LinkNotificationsFollowTheirLinks) {
  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {});
  struct Case {
    const char* code;
    const char* text;
    long message;  // the message selected afterwards
  } cases[] = {
      {"", "PL://net:comp.test/all#5", 5},
      {"", "_", 5},  // nothing happens
      {"href=\"pl:net:comp.test/all#2\"", "shown", 2},
      {"http://example.org/", "x", 2},  // logged, nothing run
  };
  for (const Case& c : cases) {
    static WrxLinkRec rec;
    rec = WrxLinkRec();
    lstrcpynA(rec.code, c.code, sizeof rec.code);
    lstrcpynA(rec.text, c.text, sizeof rec.text);
    rec.activation = 1;
    EXPECT_EQ(1, SendMessageA(g_browser.window, WRXN_LINK, 0, reinterpret_cast<LPARAM>(&rec))) << c.text;
    EXPECT_EQ(c.message, g_browser.currentMessage) << c.code << c.text;
  }
  EXPECT_STREQ("http://example.org/", BrowserLinkBuffer());
  SendMessageA(g_browser.window, WM_COMMAND, 14766, 0);  // Copy Shortcut
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE text = GetClipboardData(CF_TEXT);
  ASSERT_TRUE(text);
  EXPECT_STREQ("http://example.org/", static_cast<const char*>(GlobalLock(text)));
  GlobalUnlock(text);
  CloseClipboard();
}

TEST_F(BrowserWindowTest, PurgingViewedFilesKeepsWhatTheSettingsKeep) {
  SetSettingsUser("tester", 0);
  WriteTopic("tester.ini",
             "[Main]\r\nKeep Viewed Pictures=1\r\nViewed Delete Extensions=doc; XLS\r\nKeep Viewed Files=1\r\n");
  const char* names[] = {"a.tmp", "b.jpg", "c.doc", "d.xls", "e.txt", "noext"};
  for (const char* n : names) {
    WriteTopic(n, "x");
    AddViewedFile(Path(n).c_str());
  }
  PurgeViewedFiles();
  std::string left;
  for (const char* n : names)
    if (GetFileAttributesA(Path(n).c_str()) != INVALID_FILE_ATTRIBUTES) left += std::string(n) + " ";
  EXPECT_EQ("b.jpg e.txt noext ", left);
  WriteTopic("tester.ini", "[Main]\r\n");
  AddViewedFile(Path("b.jpg").c_str());
  ClearViewedFiles();
  PurgeViewedFiles();
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("b.jpg").c_str())) << "forgotten, not deleted";
  AddViewedFile(Path("b.jpg").c_str());
  PurgeViewedFiles();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("b.jpg").c_str()));
  SetSettingsUser("", 0);
}

}  // namespace

namespace {

std::vector<std::string> g_commands;
std::string g_typed;

TEST_F(BrowserWindowTest, GotoMessageTakesTheFirstNumberAndOffersToCollect) {
  const char* kQuorl = "quorl:chat/general";
  AddFolder(kQuorl, "quorl.log", 0);
  AddFolder("notes/local", "local.log", 0);
  WriteTopic("news.log", Topic());
  WriteTopic("local.log", Section("notes/local", 1, 2));
  std::string quorl;
  for (long n = 1; n <= 4; ++n)
    quorl +=
        SeparatorMessage(kQuorl, n, "ann", kDate, n == 4 ? "Subject: s\n\nSee # 2 or #3.\n" : "Subject: s\n\nText.\n",
                         n > 1 ? "Comment to 1" : "");
  WriteTopic("quorl.log", quorl);
  g_messageOpsHooks.makeScriptCmd = [](const char* command) {
    g_commands.push_back(command);
    return 2;
  };
  g_prompt.answer = [](const char*, const char*, char* answer, size_t size, bool) {
    lstrcpynA(answer, g_typed.c_str(), static_cast<int>(size));
    return true;
  };
  Recorded().answer = IDYES;
  struct Case {
    const char* folder;
    const char* typed;
    long selected;        // the current message afterwards
    const char* box;      // what it said (box or status bar), "" nothing
    const char* command;  // queued, "" none
  } cases[] = {
      {kNews, "3 of 34", 3, "", ""},
      {kNews, "#0", 1, "Message not found!", ""},
      {kNews, "", 1, "", ""},
      {kNews, "77", 1, "", ""},  // a news folder: refilled, nothing asked
      {"notes/local", "9", 1, "Message not found!", ""},
      {kQuorl, "9", 1, "Message not found.\n\nCollect message from Service ?", "readnum chat.general 9"},
  };
  for (const Case& c : cases) {
    OpenWithRead(c.folder, {});
    SelectMessage(1, g_browser.folder, 1);
    Recorded().boxes.clear();
    Recorded().status.clear();
    g_commands.clear();
    g_typed = c.typed;
    GotoMessage(0, nullptr);
    EXPECT_EQ(c.selected, g_browser.currentMessage) << c.folder << " " << c.typed;
    std::string said = Recorded().boxes.empty() ? "" : Recorded().boxes.back();
    for (const std::string& status : Recorded().status)
      if (!status.empty() && said.empty()) said = status;
    EXPECT_EQ(c.box, said) << c.typed;
    EXPECT_EQ(c.command, g_commands.empty() ? "" : g_commands.back()) << c.typed;
  }
  // The prompt proposes the number the current message points at, if any.
  static std::string proposed;
  g_prompt.answer = [](const char*, const char*, char* answer, size_t, bool) {
    proposed = answer;
    return true;
  };
  for (long current : {4L, 1L}) {
    SelectMessage(current, g_browser.folder, 1);
    GotoMessage(0, nullptr);
    EXPECT_EQ(current == 4 ? "3" : "", proposed) << current;
    EXPECT_EQ(current == 4 ? 3 : 1, g_browser.currentMessage) << "the proposal taken as it stands";
  }
  // A message id not in the folder is collected by id.
  Recorded().boxes.clear();
  GotoMessage(0, "<abc@x>");
  ASSERT_FALSE(g_commands.empty());
  EXPECT_EQ("single chat.general <abc@x> 0 0", g_commands.back());
  g_prompt.answer = nullptr;
  g_messageOpsHooks = kDefaultMessageOpsHooks;
}

}  // namespace

namespace {

HMENU MenuOf(std::initializer_list<int> items) {
  HMENU menu = CreatePopupMenu();
  for (int id : items) AppendMenuA(menu, MF_STRING, id, "item");
  return menu;
}

UINT State(HMENU menu, int id) { return GetMenuState(menu, id, MF_BYCOMMAND); }

TEST_F(BrowserWindowTest, ContextMenusFollowTheBrowsersState) {
  HMENU mvw = MenuOf({1205, 1134, 1137, 1140, 1785, 1786, 1787});
  g_user.headerMode = 1;
  PrepareMvwMenu(mvw);
  EXPECT_TRUE(State(mvw, 1134) & MF_GRAYED) << "no folder open";
  EXPECT_EQ(static_cast<UINT>(-1), State(mvw, 1140)) << "no Quorl or Dravenet service: no download";
  EXPECT_TRUE(State(mvw, 1786) & MF_CHECKED);
  EXPECT_FALSE(State(mvw, 1785) & MF_CHECKED);
  DestroyMenu(mvw);

  WriteTopic("news.log", Topic());
  OpenWithRead(kNews, {});
  SetMessageOrder(1790);
  SetZoomMode(1);
  HMENU thread = MenuOf({1316, 1137, 1317, 1788, 1789, 1790, 1791, 1792, 1734, 1735, 1736});
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  PrepareThreadMenu(thread);
  EXPECT_FALSE(State(thread, 1137) & MF_GRAYED);
  EXPECT_TRUE(State(thread, 1317) & MF_GRAYED) << "nothing to paste";
  EXPECT_TRUE(State(thread, 1790) & MF_CHECKED);
  EXPECT_FALSE(State(thread, 1788) & MF_CHECKED);
  EXPECT_TRUE(State(thread, 1734) & MF_CHECKED);
  DestroyMenu(thread);
  HMENU zoom = MenuOf({1734, 1735, 1736, 1788, 1790});
  SetZoomMode(0);
  PrepareZoomMenu(zoom);
  EXPECT_TRUE(State(zoom, 1736) & MF_CHECKED);
  EXPECT_FALSE(State(zoom, 1734) & MF_CHECKED);
  DestroyMenu(zoom);
  g_user.headerMode = 0;
}

}  // namespace

namespace {

TEST_F(BrowserWindowTest, DownloadMarksMatchWholeNamesFromBothLists) {
  const char* kLibrary = "dvn:forum/L3_files";
  AddFolder(kLibrary, "l3.log", 0);
  WriteTopic("l3.log", Section(kLibrary, 1, 3));
  CreateDirectoryA(Path("dvn").c_str(), nullptr);
  WriteTopic("dvn\\files.ww", "forum/L3 1\r\nforum/L3 21\r\nforum/L4 3\r\n");
  WriteTopic("dvn\\dvn.bsc",
             ";-; id:\tme type:\tscript script:\tdownload file priority:\t50 #:\tforum/L3 #:\t2\r\nDownloadFile\r\n");
  OpenWithRead(kLibrary, {});
  ASSERT_TRUE(g_browser.open);
  EXPECT_TRUE(IsFileDownloaded(1));
  EXPECT_FALSE(IsFileDownloaded(2)) << "\"2\" is not \"21\"";
  EXPECT_FALSE(IsFileDownloaded(3)) << "another library's file";
  EXPECT_TRUE(IsDownloadQueued(2));
  EXPECT_FALSE(IsDownloadQueued(1));
}

}  // namespace
