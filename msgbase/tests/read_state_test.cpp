#include "msgbase/read_state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "msgbase/conf_list.h"
#include "msgbase/tests/memory_log.h"

namespace {

struct Msg {
  int32_t number;
  int32_t commentTo;
  uint16_t flags;
};

struct Topic {
  VirtualArray logCva{"log cva", sizeof(MsgIndexRec)};
  explicit Topic(const std::vector<Msg>& messages) {
    for (const Msg& m : messages) {
      MsgIndexRec r{m.number, m.commentTo, m.flags};
      logCva.Append(&r);
    }
  }
  uint16_t Flags(int slot) { return static_cast<MsgIndexRec*>(logCva.At(slot))->flags; }
};

bool IgnoreListed(void* context, long number) { return static_cast<std::set<long>*>(context)->count(number) > 0; }

TEST(ReadState, ReadMarkRoundTripsThroughTheReadBits) {
  // 1, 2, 3 and 5 read: the folder closes with read mark 3 and reopens with
  // only 4 and 5 unread.
  Topic t({{1, 0, kMsgRead}, {2, 0, kMsgRead}, {3, 0, kMsgRead | kMsgKeep}, {4, 0, 0}, {5, 0, kMsgRead}});
  long mark = ReadMarkFromReadBits(t.logCva, 1, 5);
  EXPECT_EQ(3, mark);
  MarkReadUpTo(t.logCva, mark);
  EXPECT_EQ(kMsgRead | kMsgKeep, t.Flags(2));  // other bits stay
  EXPECT_EQ(0, t.Flags(4));
  UnreadCountOptions options;
  EXPECT_EQ(2, countunread(t.logCva, options, nullptr));

  MarkReadUpTo(t.logCva, 0);  // nothing read
  EXPECT_EQ(5, countunread(t.logCva, options, nullptr));
  MarkReadUpTo(t.logCva, 5);
  EXPECT_EQ(0, countunread(t.logCva, options, nullptr));
}

TEST(ReadState, ReadMarkAtCloseFromTheFlags) {
  const uint16_t R = kMsgRead, D = kMsgMarkedForDeletion, M = kMsgMissing;
  struct Case {
    const char* what;
    std::vector<Msg> messages;
    long mark;
  } cases[] = {
      {"nothing read", {{10, 0, 0}, {11, 0, R}}, 9},
      {"all read", {{10, 0, R}, {11, 0, R}}, 12},
      {"the second message the first unread", {{10, 0, R}, {11, 0, 0}, {12, 0, R}}, 10},
      {"deleted and missing count as read", {{10, 0, D}, {11, 0, M}, {12, 0, 0}}, 11},
      {"unread lock does not stop the mark", {{10, 0, R | kMsgUnreadLock}, {11, 0, kMsgKeep}}, 10},
      {"empty topic", {}, 12},
  };
  for (const Case& c : cases) {
    Topic t(c.messages);
    EXPECT_EQ(c.mark, ReadMarkFromReadBits(t.logCva, 10, 12)) << c.what;
  }
}

TEST(ReadState, WhatCountsAsUnread) {
  struct Case {
    uint16_t flags;
    bool unread;
  } cases[] = {
      {0, true},
      {kMsgRead, false},
      {kMsgMarkedForDeletion, false},
      {kMsgMissing, false},
      {kMsgKeep | kMsgByUser | kMsgHeaderOnly, true},
      {kMsgRead | kMsgUnreadLock, true},
      {kMsgMarkedForDeletion | kMsgUnreadLock, true},
  };
  for (const Case& c : cases) {
    Topic t({{10, 0, c.flags}});
    EXPECT_EQ(c.unread ? 1 : 0, countunread(t.logCva, UnreadCountOptions(), nullptr)) << c.flags;
  }
  Topic t({{10, 0, 0}, {11, 0, 0}, {12, 0, kMsgRead}});
  std::set<long> ignored = {11};
  UnreadCountOptions options;
  options.isIgnored = IgnoreListed;
  options.ignoredContext = &ignored;
  EXPECT_EQ(1, countunread(t.logCva, options, nullptr));
  options.folderName =
      "Bookmarks\xff"
      "1";  // composite folders count nothing
  EXPECT_EQ(0, countunread(t.logCva, options, nullptr));
}

TEST(ReadState, RecomputedReadMarkStopsBeforeTheFirstUnread) {
  const uint16_t R = kMsgRead;
  struct Case {
    const char* what;
    std::vector<Msg> messages;
    long readMark;
  } cases[] = {
      {"all read", {{1, 0, R}, {2, 0, R}, {4, 0, R}}, 9},
      {"first unread later", {{1, 0, R}, {2, 0, R}, {4, 0, 0}, {7, 0, 0}}, 2},
      {"the second message the first unread", {{1, 0, R}, {2, 0, 0}, {4, 0, R}}, 1},
      {"the first message unread", {{1, 0, 0}, {2, 0, R}, {4, 0, R}}, 0},
      {"first and a later one unread", {{1, 0, 0}, {2, 0, R}, {4, 0, 0}}, 0},
      {"empty topic", {}, 9},
  };
  for (const Case& c : cases) {
    Topic t(c.messages);
    UnreadCountOptions options;
    options.recomputeReadMark = true;
    options.last = 9;
    long mark = -5;
    countunread(t.logCva, options, &mark);
    EXPECT_EQ(c.readMark, mark) << c.what;
    // Without the option the mark is left alone.
    options.recomputeReadMark = false;
    long untouched = -5;
    countunread(t.logCva, options, &untouched);
    EXPECT_EQ(-5, untouched) << c.what;
  }
}

struct Asked {
  std::string question;
  bool answer = false;
  int times = 0;
};

bool Confirm(void* context, const char* question) {
  auto* asked = static_cast<Asked*>(context);
  asked->question = question;
  ++asked->times;
  return asked->answer;
}

TEST(ReadState, MarkAllReadAsksUnlessTheQuietCommand) {
  struct Case {
    int command;
    bool answer;
    int result;
    int questions;
  } cases[] = {{1174, false, 0, 1}, {1174, true, 1, 1}, {kMarkAllReadWithoutAsking, false, 1, 0}};
  for (const Case& c : cases) {
    Topic t({{1, 0, 0}, {2, 0, kMsgUnreadLock}, {3, 0, kMsgMarkedForDeletion}});
    Asked asked;
    asked.answer = c.answer;
    MarkAllReadRequest request;
    request.command = c.command;
    request.folderName = "quorl:pelmora/chat";
    request.confirm = Confirm;
    request.confirmContext = &asked;
    EXPECT_EQ(c.result, MarkAllRead(&t.logCva, request)) << c.command;
    EXPECT_EQ(c.questions, asked.times);
    if (c.questions) {
      EXPECT_EQ("Mark all messages in quorl:pelmora/chat as read?", asked.question);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c.result == 1, (t.Flags(i) & kMsgRead) != 0) << c.command << " slot " << i;
  }
  MarkAllReadRequest request;  // no topic open
  request.command = kMarkAllReadWithoutAsking;
  EXPECT_EQ(1, MarkAllRead(nullptr, request));
}

TEST(ReadState, ThreadRootFollowsParentsAndEndsOnLoops) {
  Topic t({{1, 0, 0},
           {2, 1, 0},
           {3, 2, 0},
           {4, 50, 0},  // parent not in the folder
           {5, -1, 0},  // comment to an unknown message
           {6, 7, 0},   // parent is a stand-by record
           {7, 0, kMsgMissing},
           {8, 8, 0},   // its own parent
           {9, 11, 0},  // 9 -> 11 -> 10 -> 12 -> 11: a tail into a loop
           {10, 12, 0},
           {11, 10, 0},
           {12, 11, 0},
           {13, 3, kMsgRead}});
  struct Case {
    long number;
    long root;
  } cases[] = {{1, 1},   {3, 1}, {13, 1}, {4, 4},   {5, 5},   {6, 6},  {7, 7},
               {99, 99}, {8, 8}, {9, 10}, {10, 10}, {11, 10}, {12, 10}};
  for (const Case& c : cases) EXPECT_EQ(c.root, ThreadRoot(t.logCva, c.number)) << c.number;
}

TEST(ReadState, OwnMessages) {
  struct Case {
    const char* what;
    OwnMessageQuery query;
    int own;
  } cases[] = {
      {"not readable", {false, false, "!ann", "", "", ""}, 0},
      {"Dravenet You", {true, true, "You", "", "Ann Smith", ""}, 1},
      {"Dravenet settings name", {true, true, "Ann Smith", "", "Ann Smith", ""}, 1},
      {"Dravenet other", {true, true, "Bob", "ann@x.example", "Ann Smith", "ann@x.example"}, 0},
      {"Dravenet no name set", {true, true, "", "", "", ""}, 0},
      {"local author mark", {true, false, "!ann", "", "", ""}, 1},
      {"address in From", {true, false, "ann", "Ann <ANN@Mail.Example>", "", "ann@mail.example"}, 1},
      {"address elsewhere", {true, false, "bob", "bob@mail.example", "", "ann@mail.example"}, 0},
      {"no address set", {true, false, "bob", "bob@mail.example", "", ""}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.own, IsOwnMessage(c.query)) << c.what;
}

TEST(ReadState, OwnAddressByService) {
  OwnAddressDomains domains{"quorl.example", "bix.example"};
  struct Case {
    const char* folder;
    const char* name;
    const char* address;
    const char* expect;
  } cases[] = {
      {"quorl:pelmora/chat", "ann", "ann@home.example", "ann@quorl.example"},
      {"bix:tools/main", "ann", "ann@home.example", "ann@bix.example"},
      {"net:comp.lang.c", "ann", "ann@home.example", "ann@home.example"},
      {"quorl:pelmora/chat", "", "ann@home.example", ""},
  };
  for (const Case& c : cases) {
    char out[100];
    MakeOwnAddress(c.folder, c.name, c.address, domains, out, sizeof out);
    EXPECT_STREQ(c.expect, out) << c.folder;
  }
  char small[8];
  MakeOwnAddress("net:a", "", "someone@far.example", domains, small, sizeof small);
  EXPECT_STREQ("someone", small);
}

std::vector<int32_t> Order(const std::string& file, const std::vector<const char*>& names) {
  VirtualArray conferences("Conferences", sizeof(ConfRec));
  for (const char* name : names) {
    ConfRec r = {};
    snprintf(r.name, sizeof r.name, "%s", name);
    r.order = 99;
    conferences.Append(&r);
  }
  MemoryLog odr;
  odr.bytes = file;
  LoadFolderOrder(odr.Source(), conferences);
  std::vector<int32_t> orders;
  for (int i = 0; i < conferences.Count(); ++i) orders.push_back(static_cast<ConfRec*>(conferences.At(i))->order);
  return orders;
}

TEST(FolderOrder, PatternLinesNumberFoldersInTurn) {
  std::vector<const char*> folders = {
      "local:notes/misc",   "net:comp.lang.c",           "quorl:pelmora/chat",        "net:mail/inbox",
      "quorl:pelmora/bugs", "dvn:Cooking_Forum/Recipes", "quorlnews:pelmora/announce"};
  // Quorl first, then Internet, then the rest in list order.
  EXPECT_EQ((std::vector<int32_t>{5, 3, 1, 4, 2, 6, 7}), Order("quorl:*\r\nnet:*\r\n", folders));
  struct Case {
    const char* what;
    std::string file;
    std::vector<int32_t> orders;
  } cases[] = {
      {"no lines", "", {1, 2, 3, 4, 5, 6, 7}},
      {"blank and empty lines", "\n   \r\n\t\n", {1, 2, 3, 4, 5, 6, 7}},
      {"case, leading blanks, blanks as _", "  DVN:cooking forum/*\n", {2, 3, 4, 5, 6, 1, 7}},
      {"news names use a dot",
       "quorlnews:pelmora/*\nnet:comp.lang.*\nnet:mail/*\nquorlnews:pelmora.*\n",
       {4, 1, 5, 2, 6, 7, 3}},
      {"first matching line wins", "*:pelmora/bugs\nquorl:*\n", {3, 4, 2, 5, 1, 6, 7}},
      {"last line without a line end", "quorl:*", {3, 4, 1, 5, 2, 6, 7}},
      {"the rest of an overlong line is no pattern",
       std::string(4095, '#') + "local:*\nquorl:*\n",
       {3, 4, 1, 5, 2, 6, 7}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.orders, Order(c.file, folders)) << c.what;
}

TEST(FolderOrder, PathTakesTheUserFilesStem) {
  char out[260];
  ASSERT_TRUE(FolderOrderPath("c:\\pelmora\\ann.usr", out, sizeof out));
  EXPECT_STREQ("c:\\pelmora\\ann.odr", out);
  EXPECT_FALSE(FolderOrderPath("c:\\pelmora.d\\ann", out, sizeof out));
  EXPECT_FALSE(FolderOrderPath("c:\\pelmora\\ann.usr", out, 10));
}

}  // namespace
