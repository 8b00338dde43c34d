#include "msgbase/service_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msgbase/tests/conf_test_util.h"

namespace {

std::vector<std::string>& StatusTexts() {
  static std::vector<std::string> texts;
  return texts;
}

class ServiceConfigLines : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocServiceConfig());
    ResetScriptCommands();
    g_hconf.forumFirstKind = g_hconf.forumOtherKind = false;
    g_hconf.qLine = false;
    g_hconfContext = {false, false, false, [](const char* text) { StatusTexts().push_back(text); }};
    StatusTexts().clear();
  }
  void TearDown() override {
    FreeServiceConfig();
    g_hconfContext = {false, false, false, nullptr};
  }
  const ScriptCommand& Last() { return g_hconf.commands[g_hconf.commandCount - 1]; }
};

TEST(ServiceConfigDecoding, LineEscapes) {
  struct Case {
    const char* line;
    const char* decoded;
  } cases[] = {
      {"abc\\x20\n", "abc "},       {"a\\nb\n", "a\nb"},  {"a\\\\b\n", "a\\b"},
      {"end\\\n", "end"},           {"\\q\\x\n", "qx"},   {"\\x20 inside\n", "x20 inside"},
      {"no newline", "no newline"}, {"crlf\r\n", "crlf"}, {"\n", ""},
  };
  for (const Case& c : cases) {
    char text[64];
    std::strcpy(text, c.line);
    hconfpath(text);
    EXPECT_STREQ(text, c.decoded) << c.line;
  }
}

TEST_F(ServiceConfigLines, ScriptCommandsAreSplitIntoTheirParts) {
  struct Case {
    const char* line;
    bool kept;
    int32_t number;
    const char* menuName;
    const char* keyword;
    const char* text;
  } cases[] = {
      {"Y5'&Mail\\tCtrl+M' MAIL send %s\n", true, 5, "&Mail\tCtrl+M", "MAIL", "send %s"},
      {"Y'-'\n", true, 0, "-", "", ""},
      {"Y'.Section'\n", true, 0, ".Section", "", ""},
      {"Y'Name' KEY\n", false, 0, "", "", ""},
      {"Y'Name' KEY   \n", false, 0, "", "", ""},
      {"A-12 NEG  text\\nmore\n", true, -12, "", "NEG", "text\nmore"},
      {"B'x' ABCDEFGHIJKLMNOP long keyword\n", true, 0, "x", "ABCDEFGHIJK", "long keyword"},
      {"\xc9'Accent' KEY text\n", true, 0, "Accent", "KEY", "text"},
      {"c'lower' KEY text\n", false, 0, "", "", ""},
      {"x'admin' KEY text\n", false, 0, "", "", ""},
      {"m'moderated' KEY text\n", false, 0, "", "", ""},
  };
  for (const Case& c : cases) {
    int before = g_hconf.commandCount;
    ParseScriptCommand(c.line, 0);
    ASSERT_EQ(g_hconf.commandCount, before + (c.kept ? 1 : 0)) << c.line;
    if (!c.kept) continue;
    const ScriptCommand& cmd = Last();
    EXPECT_EQ(cmd.number, c.number) << c.line;
    EXPECT_EQ(cmd.capital, 1) << c.line;
    EXPECT_STREQ(cmd.menuName, c.menuName) << c.line;
    EXPECT_STREQ(cmd.keyword, c.keyword) << c.line;
    EXPECT_STREQ(cmd.text, c.text) << c.line;
    EXPECT_STREQ(g_hconf.menu[before].text, c.keyword);
    EXPECT_EQ(g_hconf.menu[before].id, before + 1);
    EXPECT_EQ(g_hconf.menu[before + 1].id, 0) << "end pair";
  }
  std::string longName = "Y'" + std::string(80, 'n') + "' K t\n";
  ParseScriptCommand(longName.c_str(), 0);
  EXPECT_EQ(std::strlen(Last().menuName), 59u);
}

TEST_F(ServiceConfigLines, AdministratorAndModeratorLinesNeedTheirCondition) {
  ParseScriptCommand("x'admin' ADM text\n", 1);  // forced
  EXPECT_EQ(g_hconf.commandCount, 1);
  EXPECT_EQ(Last().capital, 0);
  g_hconfContext.administratorMode = true;
  ParseScriptCommand("x'admin' ADM2 text\n", 0);
  g_hconfContext.moderatedFolder = true;
  ParseScriptCommand("m'mod' MOD text\n", 0);
  EXPECT_EQ(g_hconf.commandCount, 3);
  EXPECT_STREQ(Last().keyword, "MOD");
}

TEST_F(ServiceConfigLines, SettingLinesFillTheirSlots) {
  for (const char* line : {"bXjoin text that is longer than nineteen\n", "hlib\\x20\n", "iinfo\n", "nother\n",
                           "qafter\\nend\n", "rrr\n", "Zcancel %s\n"})
    ParseScriptCommand(line, 0);
  EXPECT_EQ(g_hconf.commandCount, 0);
  EXPECT_EQ(g_hconf.bLineChar, 'X');
  EXPECT_STREQ(g_hconf.bLineText, "join text that is l");
  EXPECT_STREQ(g_hconf.slots[HCONF_H], "lib ");
  EXPECT_STREQ(g_hconf.slots[HCONF_I], "info");
  EXPECT_STREQ(g_hconf.slots[HCONF_N], "other");
  EXPECT_STREQ(g_hconf.slots[HCONF_Q], "after\nend");
  EXPECT_TRUE(g_hconf.qLine);
  EXPECT_STREQ(g_hconf.slots[HCONF_R], "rr");
  EXPECT_STREQ(g_hconf.slots[HCONF_Z], "cancel %s");
  ResetScriptCommands();
  EXPECT_STREQ(g_hconf.slots[HCONF_R], "");
  EXPECT_STREQ(g_hconf.slots[HCONF_I], "");
  EXPECT_STREQ(g_hconf.slots[HCONF_H], "lib ");
}

TEST_F(ServiceConfigLines, ForumKindAndDelnewsFilters) {
  FILE* names = StreamOf("Forum\nline two\nVOZE FORUM here\n");
  ReadForumKind(names);
  std::fclose(names);
  EXPECT_TRUE(g_hconf.forumFirstKind);
  EXPECT_FALSE(g_hconf.forumOtherKind);
  ParseScriptCommand("A'List (ascii)' L1 list\n", 0);
  ParseScriptCommand("A'List (Voze)' L2 list\n", 0);
  EXPECT_EQ(g_hconf.commandCount, 1);
  EXPECT_STREQ(Last().keyword, "L2");

  ResetScriptCommands();
  g_hconf.forumFirstKind = false;
  names = StreamOf("1\n2\n3\n4\n5\n6\nVoze forum\n");  // past the sixth line
  ReadForumKind(names);
  std::fclose(names);
  EXPECT_FALSE(g_hconf.forumFirstKind);
  EXPECT_TRUE(g_hconf.forumOtherKind);
  ParseScriptCommand("A'List (ascii)' L1 list\n", 0);
  ParseScriptCommand("A'List (VOZE)' L2 list\n", 0);
  EXPECT_EQ(g_hconf.commandCount, 1);
  EXPECT_STREQ(Last().keyword, "L1");

  ResetScriptCommands();
  g_hconfContext.delnewsFolder = true;
  for (const char* line : {"A'a' K1 get %c\n", "A'b' K2 get %n\n", "A'c' K3 get %s\n"}) ParseScriptCommand(line, 0);
  EXPECT_EQ(g_hconf.commandCount, 1);
  EXPECT_STREQ(Last().keyword, "K3");
}

TEST_F(ServiceConfigLines, TableStopsAtTwoHundredCommandsAndReusesTexts) {
  for (int i = 0; i < MAX_SCRIPT_COMMANDS + 2; ++i) ParseScriptCommand("A'n' K text\n", 0);
  EXPECT_EQ(g_hconf.commandCount, MAX_SCRIPT_COMMANDS);
  EXPECT_EQ(StatusTexts(), (std::vector<std::string>(2, "Too many script commands defined.")));
  EXPECT_EQ(g_hconf.menu[MAX_SCRIPT_COMMANDS].id, 0);
  ResetScriptCommands();
  ParseScriptCommand("A'n' K2 other\n", 0);
  EXPECT_STREQ(g_hconf.commands[0].text, "other");
}

TEST_F(ServiceConfigLines, HeaderLinesGoToTheirSlotsAndMissingOnesAreSaid) {
  FILE* file = StreamOf("h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\nA'Go' GO go now\nrsetting\n");
  ReadServiceConfigLines(file, 0);
  std::fclose(file);
  const char* expected[HCONF_SLOTS] = {"h1", "h2", "h3", "h4", "h5", "setting", "h6", "h7", "h8"};
  for (int i = 0; i < 9; ++i) EXPECT_STREQ(g_hconf.slots[i], expected[i]) << i;
  EXPECT_EQ(g_hconf.commandCount, 1);
  EXPECT_TRUE(StatusTexts().empty());

  ResetScriptCommands();
  file = StreamOf("only\ntwo\n");
  ReadServiceConfigLines(file, 0);
  std::fclose(file);
  EXPECT_EQ(StatusTexts(), (std::vector<std::string>(6, ".CNF file format error")));
  EXPECT_EQ(g_hconf.commandCount, 0);
}

}  // namespace
