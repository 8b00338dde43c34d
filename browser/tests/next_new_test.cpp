#include "browser/next_new.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Topic {
  std::vector<MsgIndexRec> records;
  ReplyStack stack;
  long position = 0;
  std::string walk;
  // Reads on as the browser does: each message found is marked read.
  void Walk(int steps) {
    for (int i = 0; i < steps; ++i) {
      NextReplyResult r = NextReplyIn(records.data(), static_cast<int>(records.size()), position, records.back().number,
                                      true, 0x0007, stack);
      if (r.noMoreReplies) walk += "| ";
      if (r.number == 0) {
        walk += "end";
        return;
      }
      records[r.slot].flags |= kMsgRead;
      position = r.position;
      walk += std::to_string(r.number) + " ";
    }
  }
};

TEST(NextReply, WalksDownAThreadThenBackUpThenSaysNoMoreReplies) {
  // 1 <- 2 <- 3 <- 4, 1 <- 5; 6 a thread of its own; 7 replies to 3.
  Topic t;
  t.records = {{1, 0, kMsgRead}, {2, 1, 0}, {3, 2, 0}, {4, 3, 0}, {5, 1, 0}, {6, 0, 0}, {7, 3, 0}};
  t.position = 1;
  t.Walk(10);
  EXPECT_EQ("2 3 4 7 5 | 6 | end", t.walk);
}

TEST(NextReply, AnUnreadPositionIsTheAnswerAndNumberOrderReadsOn) {
  std::vector<MsgIndexRec> records = {{10, 0, kMsgRead}, {11, 10, 0}, {12, 0, 0x0004}, {13, 0, 0}};
  ReplyStack stack;
  EXPECT_EQ(11, NextReplyIn(records.data(), 4, 11, 13, true, 0x0007, stack).number);
  NextReplyResult r = NextReplyIn(records.data(), 4, 12, 13, false, 0x0007, stack);
  EXPECT_EQ(12, r.number) << "without the read bit the position itself is the answer";
  records[2].flags |= kMsgRead;
  EXPECT_EQ(13, NextReplyIn(records.data(), 4, 12, 13, false, 0x0007, stack).number);
  records[3].flags |= kMsgRead;
  r = NextReplyIn(records.data(), 4, 13, 13, false, 0x0007, stack);
  EXPECT_EQ(0, r.number);
  EXPECT_EQ(13, r.position);
  // A number missing from the index is not read as an unread message.
  EXPECT_EQ(0, NextReplyIn(records.data(), 4, 99, 13, false, 0x0007, stack).number);
}

TEST(NextReply, DeepThreadsKeepTheStackBounded) {
  std::vector<MsgIndexRec> records;
  records.push_back({1, 0, kMsgRead});
  for (long n = 2; n <= 700; ++n) records.push_back({static_cast<int32_t>(n), static_cast<int32_t>(n - 1), 0});
  ReplyStack stack;
  long position = 1;
  for (int i = 0; i < 699; ++i) {
    NextReplyResult r = NextReplyIn(records.data(), 700, position, 700, true, 0x0007, stack);
    ASSERT_EQ(position + 1, r.number);
    records[r.slot].flags |= kMsgRead;
    position = r.number;
  }
  EXPECT_LT(stack.numbers.size(), static_cast<size_t>(kReplyStackSize));
}

TEST(NextFolder, ChoosesByConferenceThenDisplayOrderAndLockedFoldersLast) {
  std::vector<FolderChoice> folders = {
      {"net:a/one", 3, 0, 0, false},      // 0
      {"net:b/two", 2, 0, 5, false},      // 1
      {"net:b/three", 4, 32, 0, false},   // 2 left with locked messages
      {"net:c/four", 1, 0, 2, false},     // 3
      {"net:c/hidden", 9, 0, 1, true},    // 4
      {"net:d/skip", 9, 1, 1, false},     // 5
      {"net:d/locked", 1, 32, 0, false},  // 6
  };
  struct Case {
    const char* prefix;
    bool same;
    int left;
    int chosen;
    bool clears;
  } cases[] = {
      {"net:b/", true, -1, 1, false},   // the same conference first
      {"net:b/", false, -1, 3, false},  // smallest non-zero display order
      {"net:x/", true, -1, 3, false},   // no folder there: the full walk
  };
  for (const Case& c : cases) {
    NextFolderResult r = ChooseNextFolder(folders, c.prefix, c.same, c.left);
    EXPECT_EQ(c.chosen, r.index) << c.prefix << c.same;
    EXPECT_EQ(c.clears, r.clearLocked);
  }
  for (int i : {0, 1, 3}) folders[i].waiting = 0;
  EXPECT_EQ(2, ChooseNextFolder(folders, "", false, -1).index) << "the first locked folder";
  NextFolderResult r = ChooseNextFolder(folders, "", false, 3);
  EXPECT_EQ(6, r.index) << "the locked folder after the one left comes first";
  EXPECT_TRUE(r.clearLocked);
  folders[2].waiting = folders[6].waiting = 0;
  EXPECT_EQ(-1, ChooseNextFolder(folders, "", false, 3).index);
}

TEST(NextFolder, AnOrderOfZeroGivesWayToALaterOrderedFolder) {
  std::vector<FolderChoice> folders = {{"a:x/1", 1, 0, 0, false}, {"a:x/2", 1, 0, 0, false}, {"a:x/3", 1, 0, 7, false}};
  EXPECT_EQ(2, ChooseNextFolder(folders, "", false, -1).index);
  folders[2].order = 0;
  EXPECT_EQ(0, ChooseNextFolder(folders, "", false, -1).index);
  folders[0].order = -1;  // a new folder's "no order"
  folders[1].order = 4;
  EXPECT_EQ(1, ChooseNextFolder(folders, "", false, -1).index);
}

}  // namespace
