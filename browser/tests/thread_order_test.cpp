#include "browser/thread_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/virtual_array.h"
#include "msgbase/conf_list.h"

namespace {

std::vector<std::string> g_log;
int g_diskFull = 0;
std::vector<long> g_ignoredRoots;
std::vector<long> g_bookmarked;

ThreadOrderServices Services() {
  ThreadOrderServices s;
  s.ghostKind = [](long number) { return number == 13 ? 2 : number == 14 ? 1 : 0; };
  s.inCurrentSet = [](long number) {
    for (long b : g_bookmarked)
      if (b == number) return true;
    return false;
  };
  s.isIgnored = [](long number) {
    for (long r : g_ignoredRoots)
      if (r == number) return true;
    return false;
  };
  s.threadRoot = [](long number) {
    // Follows the parents as the headers would.
    for (int guard = 0; guard < 100; ++guard) {
      long parent = 0;
      for (int i = 0; i < LogCva.Count(); ++i) {
        auto* r = static_cast<MsgIndexRec*>(LogCva.At(i));
        if (r->number == number) parent = r->commentTo;
      }
      if (parent <= 0) return number;
      number = parent;
    }
    return number;
  };
  s.authorFlags = [](int) -> uint16_t { return 0; };
  s.debugLog = [](const char* text) { g_log.push_back(text); };
  s.diskFull = [] { ++g_diskFull; };
  return s;
}

struct Msg {
  int32_t number, commentTo;
  uint16_t flags;
};

class ThreadOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogCva.SetSize(0);
    Synopsis.SetSize(0);
    g_log.clear();
    g_diskFull = 0;
    g_ignoredRoots.clear();
    g_bookmarked.clear();
  }
  void TearDown() override {
    LogCva.SetSize(0);
    Synopsis.SetSize(0);
  }
  void Index(const std::vector<Msg>& messages) {
    LogCva.SetSize(0);
    for (const Msg& m : messages) {
      MsgIndexRec r{m.number, m.commentTo, m.flags};
      LogCva.Append(&r);
    }
  }
  SynNode Node(int i) {
    SynNode n{};
    EXPECT_TRUE(ReadSynNode(i, &n));
    return n;
  }
  uint16_t Flags(int slot) { return static_cast<MsgIndexRec*>(LogCva.At(slot))->flags; }
  // Every node in display order, "level:number", threads in root order.
  std::string Display() {
    std::string out;
    if (Synopsis.Count() == 0) return out;
    int root = 0;
    int guard = 0;
    do {
      int node = root;
      do {
        SynNode n = Node(node);
        out += (out.empty() ? "" : " ") + std::to_string(n.level) + ":" + std::to_string(n.number);
        node = n.next;
      } while (node != root && ++guard < 1000);
      root = Node(root).nextRoot;
    } while (root != 0 && ++guard < 1000);
    return out;
  }
  int Scan(uint16_t mask = 0, bool kept = false) {
    FirstShown f = FindFirstShown(mask);
    return ScanThreadOrder(Services(), f.slot, mask, kept);
  }
};

TEST_F(ThreadOrderTest, ThreadsAsTheEdgeCasesSay) {
  struct Case {
    const char* name;
    std::vector<Msg> index;
    uint16_t mask;
    std::string display;
  } cases[] = {
      {"two replies to one message: the second after all replies to the first",
       {{10, 0, 0}, {11, 10, 0}, {12, 10, 0}, {13, 11, 0}, {14, 0, 0}, {15, 13, 0}},
       0,
       "0:10 1:11 2:13 3:15 1:12 0:14"},
      {"a reply whose parent is older than the first shown message is a root",
       {{10, 0, kMsgRead}, {11, 10, 0}, {12, 11, 0}},
       kMsgRead,
       "0:11 1:12"},
      {"a reply to a hidden (read) parent is a root; read messages get no node and stay read",
       {{10, 0, 0}, {11, 10, kMsgRead}, {12, 11, 0}, {13, 10, 0}},
       kMsgRead,
       "0:10 1:13 0:12"},
      {"a reply to a deleted parent with Hide Deleted is a root",
       {{10, 0, 0}, {11, 10, kMsgMarkedForDeletion}, {12, 11, 0}},
       kMsgMarkedForDeletion,
       "0:10 0:12"},
      {"every message hidden: the first message starts the order all the same",
       {{10, 0, kMsgRead}, {11, 10, kMsgRead}},
       kMsgRead,
       "0:10"},
      {"a reply to a missing message is a root", {{10, 0, 0}, {12, 11, 0}}, 0, "0:10 0:12"},
      {"a message commenting on itself is a root", {{10, 0, 0}, {11, 11, 0}}, 0, "0:10 0:11"},
  };
  for (const Case& c : cases) {
    Synopsis.SetSize(0);
    Index(c.index);
    ASSERT_EQ(1, Scan(c.mask)) << c.name;
    EXPECT_EQ(c.display, Display()) << c.name;
    for (size_t i = 0; i < c.index.size(); ++i)
      EXPECT_EQ(c.index[i].flags, Flags(static_cast<int>(i))) << c.name << ": hidden entries keep their flags";
  }
}

TEST_F(ThreadOrderTest, LinksFormRingsForEveryThreadAndTheRoots) {
  Index({{1, 0, 0}, {2, 1, 0}, {3, 2, 0}, {4, 0, 0}, {5, 1, 0}, {6, 0, 0}});
  ASSERT_EQ(1, Scan());
  EXPECT_EQ("0:1 1:2 2:3 1:5 0:4 0:6", Display());
  SynNode root = Node(0);
  EXPECT_EQ(4, root.previous) << "a root's previous is its thread's last node (message 5)";
  EXPECT_EQ(5, root.previousRoot) << "node 0's previous root is the last root";
  EXPECT_EQ(0, Node(5).nextRoot);
  EXPECT_EQ(-1, root.rowCacheSlot);
  EXPECT_EQ(2, Node(2).level);
  EXPECT_EQ((std::vector<std::string>{"syn_scan() before thread ordering\n", "syn_scan() before mark involvement\n",
                                      "syn_scan() after mark involvement\n"}),
            g_log);
  EXPECT_EQ(3, findsynnode(4)) << "the Synopsis is searched by number";
}

TEST_F(ThreadOrderTest, InvolvementIgnoreGroupGhostAndBookmarkFlags) {
  Index({{10, 0, 0},
         {11, 10, 0},
         {12, 11, kMsgByUser},
         {13, 0, 0},
         {14, 13, 0},
         {15, 0, 0},
         {16, 15, kMsgByGroupMember},
         {17, 0, 0}});
  g_ignoredRoots = {13};
  g_bookmarked = {17};
  ThreadOrderServices s = Services();
  s.folderHasIgnored = true;
  s.folderHasBookmarks = true;
  FirstShown f = FindFirstShown(0);
  ASSERT_EQ(1, ScanThreadOrder(s, f.slot, 0, false));
  for (int node : {0, 1, 2}) EXPECT_TRUE(Node(node).flags & kSynInvolved) << node;
  EXPECT_FALSE(Node(3).flags & kSynInvolved);
  for (int node : {3, 4}) {
    EXPECT_TRUE(Node(node).flags & kSynIgnored) << node;
    EXPECT_EQ(kMsgRead | kMsgIgnoredInView, Flags(node)) << "an ignored thread is read";
  }
  EXPECT_EQ(kSynReplyQueued, Node(3).flags & (kSynReplyQueued | kSynCancelQueued));
  EXPECT_EQ(kSynCancelQueued, Node(4).flags & (kSynReplyQueued | kSynCancelQueued));
  for (int node : {5, 6}) EXPECT_TRUE(Node(node).flags & kSynGroup) << node;
  EXPECT_EQ(kSynBookmarked, Node(7).flags);
  EXPECT_EQ(0, Node(0).flags & kSynBookmarked);
}

TEST_F(ThreadOrderTest, ChronologicalOrdersBothWays) {
  Index({{10, 0, 0}, {11, 10, kMsgRead}, {12, 10, 0}, {13, 0, kMsgRead}});
  ThreadOrderServices s = Services();
  ASSERT_EQ(1, BuildChronologicalOrder(s, 0, 0, false));
  EXPECT_EQ("0:10 0:11 0:12 0:13", Display());
  EXPECT_EQ(2, findsynnode(12));
  ASSERT_EQ(1, BuildChronologicalOrder(s, 0, 0, true));
  EXPECT_EQ("0:13 0:12 0:11 0:10", Display());
  EXPECT_EQ(1, findsynnode(12)) << "searched with the descending comparison";
  ASSERT_EQ(1, BuildChronologicalOrder(s, 0, kMsgRead, true));
  EXPECT_EQ("0:12 0:10", Display()) << "a hidden last entry is not shown";
  EXPECT_EQ(kMsgRead, Flags(3)) << "and keeps its flags";
  EXPECT_EQ(0, BuildChronologicalOrder(s, 4, 0, false)) << "first slot out of range";
}

TEST_F(ThreadOrderTest, KeptSynopsisIsNotRebuiltAndALoopStopsTheMarking) {
  Index({{1, 0, 0}, {2, 1, kMsgByUser}});
  ASSERT_EQ(1, Scan());
  // A stored thread whose links never come back to the root.
  SynNode n = Node(1);
  n.next = 1;
  WriteSynNode(1, n);
  ThreadOrderServices s = Services();
  s.localService = true;  // forces the pass on a kept order
  s.authorFlags = [](int) -> uint16_t { return 0; };
  EXPECT_EQ(1, ScanThreadOrder(s, 0, 0, true));
  EXPECT_EQ(1, Node(1).next) << "the stored order is used as it stands";
}

TEST_F(ThreadOrderTest, OrderValuesOutsideThreeToSevenReadAsRootsOnly) {
  for (int v : {0, 2, 8, -1}) EXPECT_EQ(kOrderRootsOnly, NormaliseMessageOrder(v));
  for (int v : {3, 4, 5, 6, 7}) EXPECT_EQ(v, NormaliseMessageOrder(v));
}

}  // namespace
