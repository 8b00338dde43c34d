#include "core/ini.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/tests/ini_test_dir.h"

namespace {

struct Targets {
  char text[kIniStringValue] = "default text";
  uint32_t number = 77;
  uint32_t flag = 1;
  uint32_t wide = 5;
};

TEST(IniTable, ReadsEachTypeAndKeepsDefaultsOfMissingKeys) {
  TestDataDir dir;
  const std::string longValue(300, 'a');
  const std::string cut(249, 'a');  // what a string row can hold
  struct Case {
    const char* stored;  // null: key absent
    uint32_t type;
    const char* expectText;
    uint32_t expectNumber;
    bool found;
  } cases[] = {
      {"hello world", INI_STRING, "hello world", 0, true},
      {longValue.c_str(), INI_STRING, cut.c_str(), 0, true},
      {nullptr, INI_STRING, "default text", 0, false},
      {"~", INI_STRING, "default text", 0, false},
      {"42", INI_UNSIGNED, nullptr, 42, true},
      {"42abc", INI_UNSIGNED, nullptr, 42, true},
      {"-5", INI_UNSIGNED, nullptr, 0, true},
      {"\" 7\"", INI_UNSIGNED, nullptr, 0, true},  // a leading blank survives only in quotes
      {"x9", INI_UNSIGNED, nullptr, 0, true},
      {"4294967295", INI_ULONG, nullptr, 4294967295u, true},
      {"~", INI_UNSIGNED, nullptr, 77, false},
      {"yes", INI_FLAG, nullptr, 1, true},
      {"YES", INI_FLAG, nullptr, 1, true},
      {"1", INI_FLAG, nullptr, 1, true},
      {"On", INI_FLAG, nullptr, 0, true},
      {"true", INI_FLAG, nullptr, 0, true},
      {"NO", INI_FLAG, nullptr, 0, true},
  };
  std::string file = "[Test]\r\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    if (cases[i].stored) file += "Key" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
  dir.Write("table.ini", file);

  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    Targets t;
    t.flag = 77;
    std::string key = "Key" + std::to_string(i);
    void* target = c.type == INI_STRING ? static_cast<void*>(t.text) : &t.number;
    if (c.type == INI_FLAG) target = &t.flag;
    IniKey table[] = {{key.c_str(), target, c.type, 1}, {"", nullptr, 0, 0}};
    EXPECT_EQ(readini("table.ini", "Test", table), 0);
    EXPECT_EQ(table[0].found, c.found ? 1u : 0u) << i;
    if (c.type == INI_STRING) {
      EXPECT_STREQ(t.text, c.expectText) << i;
    } else {
      EXPECT_EQ(*static_cast<uint32_t*>(target), c.expectNumber) << i << " " << (c.stored ? c.stored : "-");
    }
  }
}

TEST(IniTable, WritesEveryRowAndReadsItBack) {
  TestDataDir dir;
  Targets out;
  snprintf(out.text, sizeof out.text, "\"quoted\"");
  out.number = 12;
  out.flag = 0;
  out.wide = 4000000000u;
  IniKey table[] = {{"Text", out.text, INI_STRING, 0},
                    {"Number", &out.number, INI_UNSIGNED, 0},
                    {"Flag", &out.flag, INI_FLAG, 0},
                    {"Wide", &out.wide, INI_ULONG, 0},
                    {"", nullptr, 0, 0}};
  EXPECT_EQ(writeini("round.ini", "Section", table), 0);
  std::string raw = dir.Read("round.ini");
  EXPECT_NE(raw.find("Text=\"\"quoted\"\""), std::string::npos) << raw;
  EXPECT_NE(raw.find("Flag=NO"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Wide=4000000000"), std::string::npos) << raw;

  Targets in;
  IniKey back[] = {{"Text", in.text, INI_STRING, 0},
                   {"Number", &in.number, INI_UNSIGNED, 0},
                   {"Flag", &in.flag, INI_FLAG, 0},
                   {"Wide", &in.wide, INI_ULONG, 0},
                   {"", nullptr, 0, 0}};
  readini("round.ini", "Section", back);
  EXPECT_STREQ(in.text, "\"quoted\"");
  EXPECT_EQ(in.number, 12u);
  EXPECT_EQ(in.flag, 0u);
  EXPECT_EQ(in.wide, 4000000000u);
  for (const IniKey& row : back) {
    if (row.key[0]) {
      EXPECT_EQ(row.found, 1u) << row.key;
    }
  }

  out.flag = 1;
  writeini("round.ini", "Section", table);
  EXPECT_NE(dir.Read("round.ini").find("Flag=YES"), std::string::npos);

  // A table that ends at once is neither read nor written.
  uint32_t untouched = 3;
  IniKey nullTarget[] = {
      {"Number", nullptr, INI_UNSIGNED, 0}, {"Flag", &untouched, INI_UNSIGNED, 0}, {"", nullptr, 0, 0}};
  readini("round.ini", "Section", nullTarget);
  EXPECT_EQ(nullTarget[0].found, 0u);  // skipped
  EXPECT_EQ(untouched, 0u);            // "YES" is no number

  IniKey empty[] = {{"", &out.number, INI_UNSIGNED, 0}};
  EXPECT_EQ(writeini("none.ini", "Section", empty), 0);
  EXPECT_EQ(readini("none.ini", "Section", empty), 0);
  EXPECT_FALSE(dir.Exists("none.ini"));
}

TEST(IniTable, NamesWithABackslashAreUsedAsTheyStand) {
  TestDataDir dir;
  TestDataDir other;  // now the data directory
  dir.Write("elsewhere.ini", "[S]\r\nK=there\r\n");
  other.Write("elsewhere.ini", "[S]\r\nK=data directory\r\n");
  char value[kIniStringValue] = "";
  IniKey table[] = {{"K", value, INI_STRING, 0}, {"", nullptr, 0, 0}};
  readini(dir.File("elsewhere.ini").c_str(), "S", table);
  EXPECT_STREQ(value, "there");
  readini("elsewhere.ini", "S", table);
  EXPECT_STREQ(value, "data directory");
}

// A path longer than the caller's buffer is refused whole: a cut path would
// name some other file, and nothing is written past the buffer.
TEST(IniTable, PathsThatDoNotFitAreRefused) {
  TestDataDir dir;
  char full[260];
  ASSERT_TRUE(IniFilePath("fenwold.ini", full, sizeof full));
  EXPECT_NE(std::string(full).find("fenwold.ini"), std::string::npos);
  struct {
    char path[12];
    char guard[8];
  } small;
  std::memset(small.guard, 'G', sizeof small.guard);
  EXPECT_FALSE(IniFilePath("fenwold.ini", small.path, sizeof small.path));
  EXPECT_STREQ(small.path, "");
  EXPECT_FALSE(IniFilePath("C:\\a\\long\\name.ini", small.path, sizeof small.path));
  EXPECT_EQ(std::string(small.guard, sizeof small.guard), "GGGGGGGG");
}

TEST(IniSingleKeys, ReadAndWriteFenwoldAndNamedFiles) {
  TestDataDir dir;
  dir.Write("fenwold.ini",
            "[Main]\r\nName=main value\r\nOn=yes\r\nOne=1\r\nOff=true\r\nInt=  -12abc\r\nBad=abc\r\n"
            "[Service dvn]\r\nName=service value\r\n");
  dir.Write("longname.ini", "[Main]\r\nName=named value\r\n[Service dvn]\r\nName=named service\r\n");

  EXPECT_STREQ(GetIniString("Main", "Name"), "main value");
  EXPECT_STREQ(GetIniString("Main", "Missing"), "");
  struct BoolCase {
    const char* key;
    bool expected;
  } bools[] = {{"On", true}, {"One", true}, {"Off", false}, {"Missing", false}};
  for (const BoolCase& c : bools) EXPECT_EQ(GetIniBool("Main", c.key), c.expected) << c.key;
  EXPECT_EQ(GetIniInt("Main", "Int"), -12);
  EXPECT_EQ(GetIniInt("Main", "Bad"), 0);
  EXPECT_EQ(GetIniInt("Main", "Missing"), 0);

  EXPECT_STREQ(GetNamedIniString("longnameuser", "Main", "Name"), "named value");
  EXPECT_STREQ(GetNamedIniString(nullptr, "Main", "Name"), "main value");
  EXPECT_STREQ(GetServiceIniString(nullptr, "dvn", "Name"), "service value");
  EXPECT_STREQ(GetServiceIniString("longnameuser", "dvn", "Name"), "named service");

  EXPECT_TRUE(WriteIniString("Main", "Added", "new"));
  EXPECT_STREQ(GetIniString("Main", "Added"), "new");
  EXPECT_TRUE(WriteIniLong("Main", "Big", 4000000000ul));
  EXPECT_STREQ(GetIniString("Main", "Big"), "4000000000");
  EXPECT_TRUE(WriteIniString("Main", "Name", nullptr));
  EXPECT_EQ(dir.Read("fenwold.ini").find("main value"), std::string::npos);
  EXPECT_STREQ(GetIniString("Main", "Name"), "");
}

}  // namespace
