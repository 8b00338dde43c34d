#include "browser/thread_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "browser/tests/screen_area.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "msgbase/conf_list.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/topic_open.h"

namespace {

const char kNews[] = "net:comp.test/all";
const char kChat[] = "quorl:chat/general";
const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";

struct Msg {
  long number, parent;
  const char* author;
  const char* subject;
};

std::string Log(const char* folder, const std::vector<Msg>& messages) {
  std::string log;
  for (const Msg& m : messages) {
    std::string body = std::string("From: ") + m.author + "\nSubject: " + m.subject + "\n\nText of " +
                       std::to_string(m.number) + ".\n";
    log += SeparatorMessage(folder, m.number, m.author, kDate, body,
                            m.parent ? "Comment to " + std::to_string(m.parent) : "");
  }
  return log;
}

// Five threads, replies three deep.
const std::vector<Msg> kThreads = {
    {1, 0, "ann@x.org", "Welcome"},    {2, 1, "bob@x.org", "Re: Welcome"},  {3, 2, "cy@x.org", "Re: Welcome"},
    {4, 0, "dee@x.org", "Pictures"},   {5, 1, "eve@x.org", "Re: Welcome"},  {6, 3, "ann@x.org", "Re: Welcome"},
    {7, 0, "fay@x.org", "Lunch"},      {8, 4, "gus@x.org", "Re: Pictures"}, {9, 0, "hal@x.org", "Release notes"},
    {10, 7, "ivy@x.org", "Re: Lunch"}, {11, 0, "jo@x.org", "Questions"},    {12, 11, "ann@x.org", "Re: Questions"},
};

int g_frameCommands;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kThreadListId) ThreadListNotify(HIWORD(lParam));
  return DefWindowProcA(window, message, wParam, lParam);
}

class ThreadListTest : public TopicFixture {
 protected:
  static void SetUpTestSuite() {
    RegisterVlbClass(GetModuleHandleA(nullptr));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ThreadListHost";
    RegisterClassA(&wc);
  }
  void SetUp() override {
    TopicFixture::SetUp();
    AddFolder(kNews, "news.log", 0);
    AddFolder(kChat, "chat.log", CONF_SCRAMBLED);
    g_browser = BrowserState();
    g_browserHooks.frameCommand = [](int id) { g_frameCommands += id == kDownloadFileCommand; };
    g_frameCommands = 0;
    host_ = CreateWindowA("ThreadListHost", "Thread list", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 420, nullptr,
                          nullptr, GetModuleHandleA(nullptr), nullptr);
    g_browser.list = CreateWindowA("VLBCLASS", "TpBrowse", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 620, 380, host_,
                                   reinterpret_cast<HMENU>(kThreadListId), GetModuleHandleA(nullptr), nullptr);
    g_browser.threadFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(g_browser.list, WM_SETFONT, reinterpret_cast<WPARAM>(g_browser.threadFont), 0);
    VlbCommand(g_browser.list, kVlbSetDrawCallback, 0, reinterpret_cast<LPARAM>(PaintThreadRow));
    g_browser.open = true;
    LoadStateIcons();
  }
  void TearDown() override {
    g_browser.open = false;
    DestroyWindow(host_);
    FreeStateIcons();
    ReleaseThreadOrder();
    g_browser = BrowserState();
    MessageOrder = kOrderThreads;
    TopicFixture::TearDown();
  }
  void Open(const char* folder, const char* file, const std::vector<Msg>& messages, int order, bool scrambled = false) {
    logclose();
    std::string log = Log(folder, messages);
    WriteWholeFile(Path(file), scrambled ? Scrambled(log) : log);
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(1, logopen());
    Reopen(order);
  }
  // Marks the listed messages read and every other unread.
  void Read(const std::vector<long>& numbers) {
    for (int i = 0; i < LogCva.Count(); ++i) {
      auto* rec = static_cast<MsgIndexRec*>(LogCva.At(i));
      rec->flags &= ~kMsgRead;
      for (long n : numbers)
        if (rec->number == n) rec->flags |= kMsgRead;
    }
  }
  void Reopen(int order) {
    MessageOrder = order;
    ASSERT_EQ(1, PrepareThreadOrder());
    FillThreadList();
    lstrcpynA(g_browser.folder, g_topic.openName, sizeof g_browser.folder);
  }
  std::vector<long> Rows() {
    std::vector<long> out;
    int count = static_cast<int>(VlbCommand(g_browser.list, kVlbRowCount, 0, 0));
    for (int row = 0; row < count; ++row) {
      SynNode n;
      ReadSynNode(static_cast<int>(VlbCommand(g_browser.list, kVlbRowValue, 0, row)), &n);
      out.push_back(n.number);
    }
    return out;
  }
  int RowHeight() { return VlbStateOf(g_browser.list)->rowHeight; }
  void DoubleClick(int row) {
    LPARAM at = MAKELPARAM(20, row * RowHeight() + 2);
    SendMessageA(g_browser.list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(g_browser.list, WM_LBUTTONUP, 0, at);
    SendMessageA(g_browser.list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(g_browser.list, WM_LBUTTONUP, 0, at);
  }
  HWND host_ = nullptr;
};

TEST_F(ThreadListTest, EachOrderListsItsRows) {
  struct Case {
    int order;
    std::vector<long> read;
    std::vector<long> rows;
  } cases[] = {
      {kOrderThreads, {}, {1, 2, 3, 6, 5, 4, 8, 7, 10, 9, 11, 12}},
      {kOrderRootsOnly, {}, {1, 4, 7, 9, 11}},
      {kOrderChronological, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {kOrderReverseChronological, {}, {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
      // Unread only: read parents leave their replies as roots.
      {kOrderUnreadOnly, {1, 2, 4, 9}, {3, 6, 5, 7, 10, 8, 11, 12}},
      {0, {}, {1, 4, 7, 9, 11}},  // a stored order of 0 reads as roots only
  };
  Open(kNews, "news.log", kThreads, kOrderThreads);
  for (const Case& c : cases) {
    Read(c.read);
    Reopen(c.order);
    EXPECT_EQ(c.rows, Rows()) << "order " << c.order;
  }
}

TEST_F(ThreadListTest, RootsOnlyDoubleClickExpandsAndCollapses) {
  Open(kNews, "news.log", kThreads, kOrderRootsOnly);
  DoubleClick(0);
  EXPECT_EQ((std::vector<long>{1, 2, 3, 6, 5, 4, 7, 9, 11}), Rows());
  EXPECT_EQ(1, g_browser.currentMessage);
  EXPECT_EQ(0, CurrentThreadCollapsed());
  DoubleClick(3);  // message 6, a reply: collapses to the root
  EXPECT_EQ((std::vector<long>{1, 4, 7, 9, 11}), Rows());
  EXPECT_EQ(1, g_browser.currentMessage);
  EXPECT_EQ(0, VlbCommand(g_browser.list, kVlbCaret, 0, 0));
  // A single-message thread counts as collapsed: nothing to expand.
  DoubleClick(3);
  EXPECT_EQ(9, g_browser.currentMessage);
  EXPECT_EQ((std::vector<long>{1, 4, 7, 9, 11}), Rows());
  EXPECT_EQ(1, CurrentThreadCollapsed());
  // A library folder asks for the download instead.
  g_browser.libraryFolder = true;
  DoubleClick(1);
  EXPECT_EQ(1, g_frameCommands);
  EXPECT_EQ((std::vector<long>{1, 4, 7, 9, 11}), Rows());
}

TEST_F(ThreadListTest, SelectMessageOpensItsThreadAndNextUnreadMoves) {
  Open(kNews, "news.log", kThreads, kOrderRootsOnly);
  ASSERT_EQ(1, SelectMessage(6, kNews, 1));
  EXPECT_EQ(6, g_browser.currentMessage);
  EXPECT_EQ((std::vector<long>{1, 2, 3, 6, 5, 4, 7, 9, 11}), Rows());
  EXPECT_EQ(0, SelectMessage(99, kNews, 1));

  Read({1, 2, 3, 5, 6, 4, 7, 9});
  Reopen(kOrderThreads);
  SelectMessage(1, kNews, 1);
  struct Step {
    long current;
  } steps[] = {{8}, {10}, {11}, {12}};
  for (const Step& s : steps) {
    MarkReadAndAdvance(0);
    EXPECT_EQ(s.current, g_browser.currentMessage);
  }
  EXPECT_EQ(0, CountUnreadInThread(1, true));
  EXPECT_EQ(1, CountUnreadInThread(12, true)) << "12 is current but not yet marked";
}

TEST_F(ThreadListTest, ThreadSummaryAndSelectionWalk) {
  Open(kNews, "news.log", kThreads, kOrderRootsOnly);
  for (int i = 0; i < LogCva.Count(); ++i) {
    auto* rec = static_cast<MsgIndexRec*>(LogCva.At(i));
    if (rec->number == 2) rec->flags |= kMsgKeep;
    if (rec->number == 4 || rec->number == 8) rec->flags |= kMsgMarkedForDeletion;
  }
  EXPECT_EQ(kSummarySomeKept, ThreadSummary(3));
  EXPECT_EQ(kSummaryAllDeleted | kSummarySomeDeleted, ThreadSummary(8));

  static std::vector<long> visited;
  visited.clear();
  VlbCommand(g_browser.list, kVlbSelectRow, 0, 0);
  SendMessageA(g_browser.list, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(5, 2 * RowHeight() + 2));
  SendMessageA(g_browser.list, WM_LBUTTONUP, 0, 0);
  int count = ApplyToSelection(
      [](bool, int slot, int) { visited.push_back(static_cast<MsgIndexRec*>(LogCva.At(slot))->number); }, true);
  EXPECT_EQ(2, count);
  EXPECT_EQ((std::vector<long>{1, 2, 3, 6, 5, 7, 10}), visited) << "collapsed roots stand for their threads";
}

TEST_F(ThreadListTest, RowCacheEvictsThe401stAndScrambledRowsReadRight) {
  std::vector<Msg> many;
  for (long i = 1; i <= 450; ++i) many.push_back({i, 0, "ann@x.org", "Many"});
  Open(kChat, "chat.log", many, kOrderThreads, true);
  char row[sizeof(ThreadRecord)];
  long reads = ThreadFileReads();
  for (int node = 0; node < kRowCacheRows; ++node) BuildThreadRow(row, node);
  EXPECT_EQ(reads + kRowCacheRows, ThreadFileReads());
  EXPECT_EQ(0, RowCacheSlotOf(0));
  BuildThreadRow(row, 0);
  EXPECT_EQ(reads + kRowCacheRows, ThreadFileReads()) << "a cached row is not read again";
  BuildThreadRow(row, kRowCacheRows);  // the 401st takes the first row
  EXPECT_EQ(-1, RowCacheSlotOf(0));
  BuildThreadRow(row, 0);
  EXPECT_EQ(reads + kRowCacheRows + 2, ThreadFileReads());
  auto* record = reinterpret_cast<ThreadRecord*>(row);
  EXPECT_STREQ("ann@x.org", record->author) << "the scrambled folder's record is turned back";
}

TEST_F(ThreadListTest, MissingNumbersShowTheDatabaseErrorFourTimesARun) {
  Open(kNews, "news.log", {{1, 0, "a@x", "One"}, {2, 0, "b@x", "Two"}, {4, 0, "c@x", "Four"}}, kOrderThreads);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(-1, SynNodeOfMessage(3));
  EXPECT_EQ(-1, SynNodeOfMessage(5)) << "above the last number: no error";
  ASSERT_EQ(4u, Recorded().boxes.size());
  EXPECT_NE(std::string::npos,
            Recorded().boxes[0].find("error in your message database in folder 'net:comp.test/all'"));
  EXPECT_EQ(2, SynNodeOfMessage(4));
}

TEST_F(ThreadListTest, PaintsTreeLinesIconsAndText) {
  std::vector<Msg> messages = kThreads;
  messages.push_back({13, 6, "!kim@x.org", "Re: Welcome"});
  Open(kNews, "news.log", messages, kOrderThreads);
  Read({1, 2, 4});
  for (int i = 0; i < LogCva.Count(); ++i) {
    auto* rec = static_cast<MsgIndexRec*>(LogCva.At(i));
    if (rec->number == 5) rec->flags |= kMsgKeep;
    if (rec->number == 8) rec->flags |= kMsgMarkedForDeletion;
  }
  g_browser.numberDigits = 3;
  SelectMessage(3, kNews, 0);
  VlbCommand(g_browser.list, kVlbSelectedCount, 0, 0);
  DoubleClick(9);  // collapse the third thread: it shows the folder icon
  SetFocus(g_browser.list);
  CreateDirectoryA("screenshots", nullptr);
  EXPECT_TRUE(browsertest::SaveScreenArea(host_, "thread_list.png"));
}

}  // namespace
