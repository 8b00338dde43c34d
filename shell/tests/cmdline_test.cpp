#include "shell/cmdline.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct UserCase {
  const char* line;
  const char* name;
  const char* password;
};

TEST(CommandLine, UserPart) {
  const UserCase cases[] = {
      {"demo secret", "demo", "secret"},
      {"Demo Secret /nowin", "demo", "secret"},
      {"demo/2 secret /nowin", "demo/2", "secret"},
      {"demo", "demo", ""},
      {"", "", ""},
      {"/nowin", "", ""},
      {"demo two words ", "demo", "two words"},
      {"demo /name=Other secret", "demo", ""},
  };
  for (const UserCase& c : cases) {
    CommandLine line;
    ParseCommandLine(c.line, &line);
    EXPECT_STREQ(line.userName, c.name) << c.line;
    EXPECT_STREQ(line.password, c.password) << c.line;
  }
}

TEST(CommandLine, NameCutsTheBufferAndAltReadsItsNumber) {
  CommandLine line;
  ParseCommandLine("demo /nowin /name=My Reader /prune", &line);
  EXPECT_STREQ(line.programName, "My Reader /prune");
  EXPECT_TRUE(line.noWindows);
  EXPECT_FALSE(line.prune) << "behind /name= nothing is seen";

  ParseCommandLine("demo /name=Other /nowin", &line);
  EXPECT_FALSE(line.noWindows);

  ParseCommandLine("demo /name=0123456789012345678901234567890123456789", &line);
  EXPECT_EQ(std::string(line.programName).size(), 30u);

  ParseCommandLine("demo x /alt12", &line);
  EXPECT_EQ(line.testMenu, 12);
}

TEST(CommandLine, CutAt199BeforeAnySwitch) {
  std::string raw = "demo secret " + std::string(181, 'x') + "/nowin";
  ASSERT_EQ(raw.size(), 199u);
  CommandLine line;
  ParseCommandLine(raw.c_str(), &line);
  EXPECT_TRUE(line.noWindows);
  raw.insert(12, "x");
  ParseCommandLine(raw.c_str(), &line);
  EXPECT_FALSE(line.noWindows) << "the switch's last letter lies beyond 199";
}

TEST(CommandLine, NobmpIsReadOnTheUncutLine) {
  CommandLine line;
  std::string raw = "demo secret " + std::string(200, 'x') + " /nobmp";
  ParseCommandLine(raw.c_str(), &line);
  EXPECT_TRUE(line.noBitmap);
  ParseCommandLine("demo /name=x /NoBmp", &line);
  EXPECT_TRUE(line.noBitmap);
  ParseCommandLine("demo", &line);
  EXPECT_FALSE(line.noBitmap);
}

struct FlagCase {
  const char* line;
  bool noWindows, unattended, prune, build, sync, time, readMail, readNews, scheduler;
};

TEST(CommandLine, Flags) {
  const FlagCase cases[] = {
      {"demo x /NoWin", true, false, false, false, false, false, false, false, false},
      {"sched sched /prune", true, true, true, false, false, false, false, false, true},
      {"demo x /BUILD /sync /time", true, true, false, true, true, true, false, false, false},
      {"demo x /readmail", false, false, false, false, false, false, true, false, false},
      {"demo x /READMAIL /ReadNews", false, false, false, false, false, false, false, false, false},
      {"demo x /readnews", false, false, false, false, false, false, false, true, false},
      {"Sched Sched", false, false, false, false, false, false, false, false, true},
  };
  for (const FlagCase& c : cases) {
    CommandLine line;
    ParseCommandLine(c.line, &line);
    EXPECT_EQ(line.noWindows, c.noWindows) << c.line;
    EXPECT_EQ(line.unattended, c.unattended) << c.line;
    EXPECT_EQ(line.prune, c.prune) << c.line;
    EXPECT_EQ(line.build, c.build) << c.line;
    EXPECT_EQ(line.sync, c.sync) << c.line;
    EXPECT_EQ(line.time, c.time) << c.line;
    EXPECT_EQ(line.readMail, c.readMail) << c.line;
    EXPECT_EQ(line.readNews, c.readNews) << c.line;
    EXPECT_EQ(line.scheduler, c.scheduler) << c.line;
  }
}

struct ComposeCase {
  const char* line;
  ComposeKind kind;
  const char* text;
  bool noWindows;
};

TEST(CommandLine, ComposeSwitchesInTheirOrder) {
  const ComposeCase cases[] = {
      {"demo x /post=quorl:chat/main /reply=5", COMPOSE_POST, "quorl:chat/main /reply=5", false},
      {"demo x /mailto=mailto:bob@example.com /reply=5", COMPOSE_MAILTO, "bob@example.com /reply=5", false},
      // A switch inside an earlier value is part of that value.
      {"demo x /reply=5 /mailto=bob@example.com", COMPOSE_REPLY, "5 /mailto=bob@example.com", false},
      {"demo x /MAILTO=MAILTO:bob@example.com", COMPOSE_MAILTO, "bob@example.com", false},
      {"demo x /replybymail=all", COMPOSE_REPLY_BY_MAIL, "all", false},
      {"demo x /reply=", COMPOSE_REPLY, "", false},
      // A value runs to the end of the line; a switch inside it is no switch.
      {"demo x /reply=x /nowin", COMPOSE_REPLY, "x /nowin", false},
      {"demo x /nowin /reply=x", COMPOSE_REPLY, "x", true},
      {"demo x", COMPOSE_NONE, "", false},
  };
  for (const ComposeCase& c : cases) {
    CommandLine line;
    ParseCommandLine(c.line, &line);
    EXPECT_EQ(line.compose, c.kind) << c.line;
    EXPECT_STREQ(line.composeText, c.text) << c.line;
    EXPECT_EQ(line.noWindows, c.noWindows) << c.line;
  }
}

TEST(CommandLine, GoTakesOneWordAndHidesWhatFollows) {
  CommandLine line;
  ParseCommandLine("demo secret /go=pl:quorl:chat/main /prune /connect=quorl", &line);
  EXPECT_TRUE(line.hasGo);
  EXPECT_STREQ(line.go, "pl:quorl:chat/main");
  EXPECT_FALSE(line.prune);
  EXPECT_FALSE(line.hasConnect);
  EXPECT_STREQ(line.userName, "demo");
  EXPECT_STREQ(line.password, "secret");

  char link[16] = "quorl:chat";
  PrefixGoLink(link, sizeof link, true);
  EXPECT_STREQ(link, "pl:quorl:chat");
  char upper[16] = "PL:quorl:chat";
  PrefixGoLink(upper, sizeof upper, true);
  EXPECT_STREQ(upper, "PL:quorl:chat");
  PrefixGoLink(upper, sizeof upper, false);
  EXPECT_STREQ(upper, "pl:PL:quorl:cha") << "bounded by the buffer";
}

struct ConnectCase {
  const char* line;
  bool has, ao;
  const char* target;
  long count;
};

TEST(CommandLine, Connect) {
  const ConnectCase cases[] = {
      {"sched sched /connect=quorl,3", true, false, "quorl", 3},
      {"sched sched /connect=quorl;net /nowin", true, false, "quorl;net", 1},
      {"sched sched /connectao=dvn", true, true, "dvn", 1},
      {"sched sched /connect=net /connectao=dvn", true, false, "net", 1},
      {"sched sched /connect=net /prune", false, false, "", 1},
      {"sched sched /connect=net/x", true, false, "net", 1},
  };
  for (const ConnectCase& c : cases) {
    CommandLine line;
    ParseCommandLine(c.line, &line);
    EXPECT_EQ(line.hasConnect, c.has) << c.line;
    EXPECT_EQ(line.connectAo, c.ao) << c.line;
    EXPECT_STREQ(line.connect, c.target) << c.line;
    EXPECT_EQ(line.connectCount, c.count) << c.line;
    if (c.has) {
      EXPECT_TRUE(line.noWindows && line.unattended) << c.line;
    }
  }
}

TEST(CommandLine, HandoffTextStartsAtTheFirstSlash) {
  CommandLine line;
  ParseCommandLine("demo secret /go=pl:quorl:chat/main", &line);
  EXPECT_STREQ(HandoffText(line), "/go=pl:quorl:chat/main");
  ParseCommandLine("demo secret", &line);
  EXPECT_STREQ(HandoffText(line), "");
  ParseCommandLine("demo/2 secret /readmail", &line);
  EXPECT_STREQ(HandoffText(line), "/2 secret /readmail");
}

TEST(HandoffSwitches, AppliedAsTheRunningInstanceReadsThem) {
  HandoffSwitches s;
  const char go[] = "/go=news:comp.lang.c /readmail";
  ParseHandoffSwitches(go, sizeof go, &s);
  EXPECT_TRUE(s.hasGo);
  EXPECT_STREQ(s.go, "news:comp.lang.c");
  EXPECT_FALSE(s.readMail) << "behind /go= no switch, and /go= skips the filter sets";

  const char both[] = "/readnews /readmail /post=quorl:chat/main";
  ParseHandoffSwitches(both, sizeof both, &s);
  EXPECT_TRUE(s.readMail);
  EXPECT_FALSE(s.readNews);
  EXPECT_EQ(s.compose, COMPOSE_POST);
  EXPECT_STREQ(s.composeText, "quorl:chat/main");

  const char mail[] = "/mailto=mailto:bob@example.com";
  ParseHandoffSwitches(mail, sizeof mail - 1, &s);  // no zero: the length bounds it
  EXPECT_EQ(s.compose, COMPOSE_MAILTO);
  EXPECT_STREQ(s.composeText, "bob@example.com");

  const char upper[] = "/READMAIL";
  ParseHandoffSwitches(upper, sizeof upper, &s);
  EXPECT_FALSE(s.readMail) << "plain search";
}

TEST(HandoffSwitches, TextsThatDoNotFitAreRefused) {
  HandoffSwitches s;
  std::string longText = "/post=" + std::string(400, 'a');
  ParseHandoffSwitches(longText.c_str(), longText.size() + 1, &s);
  EXPECT_TRUE(s.refused);
  EXPECT_EQ(s.compose, COMPOSE_NONE);

  std::string longGo = "/go=" + std::string(250, 'g');
  ParseHandoffSwitches(longGo.c_str(), longGo.size() + 1, &s);
  EXPECT_TRUE(s.refused);
  EXPECT_FALSE(s.hasGo);

  std::string fits = "/go=" + std::string(200, 'g');
  ParseHandoffSwitches(fits.c_str(), fits.size() + 1, &s);
  EXPECT_TRUE(s.refused) << "200 characters and the zero do not fit 200 bytes";
  fits.pop_back();
  ParseHandoffSwitches(fits.c_str(), fits.size() + 1, &s);
  EXPECT_FALSE(s.refused);
  EXPECT_TRUE(s.hasGo);
}

}  // namespace
