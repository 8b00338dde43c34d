#include "shell/poll_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(OutbasketLines, DownloadOnlyScriptsAndMarkersAreNoItems) {
  struct Case {
    const char* line;
    bool item;
  };
  const Case cases[] = {
      {";-; id:\tdemo type:\tedit\r\n", false},
      {";#; id:\tdemo type:\tscript script:\tCancel message priority:\t60\n", true},
      {"MessageStart: 1.0\n", true},
      {"x id:\tdemo type:\tscript script:\tDownload headers  priority:\t10\n", false},
      {"x script:\tFetch Mail priority:\t10\n", false},
      {"x script:\tDownload waiting messages \n", false},
      {"x script:\tdownload headers \n", true},  // the names are matched exactly
  };
  for (const Case& c : cases) EXPECT_EQ(OutbasketLineIsItem(c.line), c.item) << c.line;
}

TEST(OutbasketServices, JoinedAsTheQuestionSaysThem) {
  struct Case {
    std::vector<const char*> names;
    const char* text;
  };
  const Case cases[] = {
      {{"quorl", "dvn"}, " for quorl and dvn"},
      {{"quorl"}, " for quorl"},
      {{"Quorl", "dvn", "net"}, " for quorl, dvn and net"},
      {{"aaaaaaaaaa", "bbbbbbbbbb", "cccccccccc", "dddddddddd", "eeeee"},
       " for aaaaaaaaaa, bbbbbbbbbb, cccccccccc, dddddddddd.."},
      {{}, ""},
  };
  for (const Case& c : cases) {
    char out[128];
    JoinOutbasketServices(c.names.data(), static_cast<int>(c.names.size()), out, sizeof out);
    EXPECT_STREQ(out, c.text);
  }
}

TEST(BroadcastPieces, ControlLinesAndOwnName) {
  struct Case {
    const char* piece;
    bool first;
    const char* user;
    BroadcastAction action;
  };
  const Case cases[] = {
      {".shutdown\n", true, "demo", BROADCAST_EXIT},    {".SHUTDOWN now\n", true, "demo", BROADCAST_EXIT},
      {".shutdown\n", false, "demo", BROADCAST_SHOW},  // a later piece of a long line
      {".zap demo\n", true, "demo", BROADCAST_EXIT},    {".zap DEMO\n", true, "demo", BROADCAST_EXIT},
      {".zap demo2\n", true, "demo", BROADCAST_SHOW},   {".zap alice\n", true, "al", BROADCAST_SHOW},
      {".zap al please\n", true, "al", BROADCAST_EXIT}, {".zap al", true, "al", BROADCAST_EXIT},
      {"hello all\n", true, "demo", BROADCAST_SHOW},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyBroadcastPiece(c.piece, c.first, c.user), c.action) << c.piece;
}

bool Flags(const char* folder, unsigned long* flags) {
  if (std::strcmp(folder, "quorl:chat/main") == 0) {
    *flags = 0;
    return true;
  }
  if (std::strcmp(folder, "quorl:chat/old") == 0) {
    *flags = 1;
    return true;
  }
  return false;
}

TEST(PostitLines, WhoseNotesAreShown) {
  struct Case {
    const char* line;
    bool shown;
  };
  const Case cases[] = {
      {"local:mail/demo 7 bob", true},
      {"mail/demo 7 bob", true},
      {"local:mail/demo 7 demo", false},  // from the user
      {"local:mail/other 7 bob", false},
      {"quorl:chat/main 12 bob", true},
      {"quorl:chat/main 12 !bob", false},
      {"quorl:chat/main 12 You", false},
      {"quorl:chat/main 12 dq", false},   // the user's name on the service
      {"quorl:chat/old 12 bob", false},   // passed over (flag 0x0001)
      {"quorl:chat/none 12 bob", false},  // not in the list
      {"garbage", false},
  };
  PostitContext context = {"demo", "dq", Flags};
  for (const Case& c : cases) {
    PostitLine line;
    bool parsed = ParsePostitLine(c.line, &line);
    EXPECT_EQ(parsed && PostitConcernsUser(line, context), c.shown) << c.line;
  }
  PostitLine line;
  ASSERT_TRUE(ParsePostitLine("quorl:chat/main 12 Bob Smith\r\n", &line));
  EXPECT_STREQ(line.folder, "quorl:chat/main");
  EXPECT_STREQ(line.number, "12");
  EXPECT_STREQ(line.sender, "Bob Smith");
  EXPECT_STREQ(line.lastWord, "Smith");
}

}  // namespace
