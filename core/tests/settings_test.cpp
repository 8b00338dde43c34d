#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/tests/ini_test_dir.h"
#include "core/text1252.h"

namespace {

std::string Lower(std::string s) {
  StrLower1252(s.data());
  return s;
}

TEST(MainSettings, DefaultsWhenTheFileIsMissingAndNothingWritten) {
  TestDataDir dir;
  InitDefaults();
  EXPECT_STREQ(g_main.messagePath, Lower(dir.path()).c_str());
  EXPECT_STREQ(g_main.exePath, Lower(dir.path()).c_str());
  EXPECT_STREQ(g_main.version, "5.50");
  EXPECT_EQ(g_main.localMail, 1u);
  EXPECT_EQ(g_main.newUsers, 1u);
  EXPECT_EQ(g_main.closeImport, 1u);
  EXPECT_EQ(g_main.importIdle, 5u);
  EXPECT_EQ(g_main.threadTimeout, 45u);
  EXPECT_EQ(g_main.sortByDate, 1u);
  EXPECT_EQ(g_main.autoDownload, 1u);
  EXPECT_EQ(g_main.pollPeriod, 10u);
  EXPECT_EQ(g_main.replyBackups, 5u);
  EXPECT_EQ(g_main.allReview, 0u);
  EXPECT_EQ(g_main.reserved, 0u);
  EXPECT_TRUE(g_main.reservedDisplaySwitch);
  EXPECT_STREQ(g_main.timezone, TimeZoneAbbrev());
  EXPECT_FALSE(dir.Exists("fenwold.ini"));
}

TEST(MainSettings, CurrentVersionIsLeftAloneAndPathsCorrected) {
  TestDataDir dir;
  const std::string file =
      "[Main]\r\nVersion=5.50 build 311\r\nMessage Path=.\\\r\nExe Path=C:\\Programs\\PELMORA\r\n"
      "Poll Period=30\r\nReserved=512\r\nAll Review=YES\r\n";
  dir.Write("fenwold.ini", file);
  InitDefaults();
  EXPECT_STREQ(g_main.messagePath, Lower(dir.path()).c_str());
  EXPECT_STREQ(g_main.exePath, "c:\\programs\\pelmora\\");
  EXPECT_STREQ(g_main.exePathExpanded, "c:\\programs\\pelmora\\");
  EXPECT_EQ(g_main.pollPeriod, 30u);
  EXPECT_EQ(g_main.allReview, 1u);
  EXPECT_FALSE(g_main.reservedDisplaySwitch);
  EXPECT_EQ(dir.Read("fenwold.ini"), file);  // not rewritten
}

TEST(MainSettings, AnOlderVersionIsRewrittenWhole) {
  TestDataDir dir;
  dir.Write("fenwold.ini", "[Main]\r\nVersion=5.00\r\nMessage Path=.\\\r\nThread Timeout=60\r\n");
  InitDefaults();
  std::string raw = dir.Read("fenwold.ini");
  EXPECT_NE(raw.find("Version=5.50"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Message Path=" + Lower(dir.path())), std::string::npos) << raw;
  EXPECT_NE(raw.find("Thread Timeout=60"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Poll Period=10"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Local Mail=YES"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Reserved=0"), std::string::npos) << raw;

  // InitVersion writes the table as it stands.
  g_main.pollPeriod = 99;
  InitVersion();
  EXPECT_NE(dir.Read("fenwold.ini").find("Poll Period=99"), std::string::npos);
}

TEST(TimeZone, NamesAndOffsets) {
  struct Case {
    const char* name;
    long bias;
    const char* expected;
  } cases[] = {
      {"Eastern Standard Time", 300, "EST"},
      {"Pacific Daylight Time", 420, "PDT"},
      {"GMT Standard Time", 0, "GMT"},
      {"Nowhere Time", 60, "-0100"},
      {"Nowhere Time", -60, "+0100"},
      {"Nowhere Time", -330, "+0530"},
      {"", 0, "-0000"},
      {"UTC", 0, "UTC"},
  };
  for (const Case& c : cases) {
    char out[64];
    FormatTimeZoneAbbrev(c.name, c.bias, out, sizeof out);
    EXPECT_STREQ(out, c.expected) << c.name << " " << c.bias;
  }
  const char* live = TimeZoneAbbrev();
  size_t n = strlen(live);
  EXPECT_TRUE(n == 3 || (n == 5 && (live[0] == '+' || live[0] == '-'))) << live;
}

TEST(ServiceSettings, LoadsBaseAndOwnTablesAndCachesANamedAccount) {
  TestDataDir dir;
  dir.Write("fenwold.ini",
            "[Service dvn]\r\nName=alice\r\nMail Name=Alice A\r\nSet Options=YES\r\nThread By Subject=NO\r\n"
            "[Service net]\r\nReal Name=Bob B\r\nEmail Address=bob@example.net\r\n"
            "[Service tbbs]\r\nLast Mail Name=carol\r\nReal Name=not read here\r\n");
  LoadServiceSettings("DVN");
  EXPECT_STREQ(g_service.name, "alice");
  EXPECT_STREQ(g_service.mailName, "Alice A");
  EXPECT_EQ(g_service.setOptions, 1u);
  EXPECT_EQ(g_service.threadBySubject, 0u);
  EXPECT_EQ(g_service.threadMailBySubject, 1u);
  EXPECT_STREQ(g_service.forumFile, (dir.path() + "dvn\\confs.sel").c_str());

  // Same service with an account name: the file is not read again.
  dir.Write("fenwold.ini", "[Service dvn]\r\nName=changed\r\n");
  LoadServiceSettings("dvn");
  EXPECT_STREQ(g_service.name, "alice");

  // Without an account name every load reads the file.
  dir.Write("fenwold.ini",
            "[Service net]\r\nReal Name=Bob B\r\n[Service tbbs]\r\nLast Mail Name=carol\r\nReal Name=no\r\n");
  LoadServiceSettings("net");
  EXPECT_STREQ(g_service.realName, "Bob B");
  EXPECT_STREQ(g_service.mailName, "");
  dir.Write("fenwold.ini",
            "[Service net]\r\nReal Name=Bob C\r\n[Service tbbs]\r\nLast Mail Name=carol\r\nReal Name=no\r\n");
  LoadServiceSettings("net");
  EXPECT_STREQ(g_service.realName, "Bob C");

  LoadServiceSettings("tbbs");
  EXPECT_STREQ(g_service.lastMailName, "carol");
  EXPECT_STREQ(g_service.realName, "");  // net's key, not tbbs's

  // An Internet service of another name reads the net table from its own section.
  dir.Write("fenwold.ini", "[Service mailhub]\r\nReal Name=Erin\r\n");
  LoadServiceSettings("MailHub");
  EXPECT_STREQ(g_service.realName, "Erin");
}

// Sets a file's write time some seconds back, as for a file written before
// the program started.
void WrittenSecondsAgo(const std::string& path, int seconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG t = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
                static_cast<ULONGLONG>(seconds) * 10000000ull;
  FILETIME when = {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
  CloseHandle(h);
}

TEST(ServiceSettings, AnUnnamedAccountIsReadAgainWhenItsFileOrItsSettingsChanged) {
  TestDataDir dir;
  dir.Write("fenwold.ini", "[Service net]\r\nReal Name=Bob B\r\n[Service tbbs]\r\nLast Mail Name=carol\r\n");
  WrittenSecondsAgo(dir.File("fenwold.ini"), 600);
  LoadServiceSettings("net");
  ASSERT_STREQ(g_service.realName, "Bob B");
  ASSERT_STREQ(g_service.name, "");

  // Settings changed in memory: the load gives the file's again.
  snprintf(g_service.realName, sizeof g_service.realName, "only in memory");
  g_service.skipDuplicates = 1;
  LoadServiceSettings("net");
  EXPECT_STREQ(g_service.realName, "Bob B");
  EXPECT_EQ(g_service.skipDuplicates, 0u);

  // The file changed, its size kept.
  dir.Write("fenwold.ini", "[Service net]\r\nReal Name=Bob C\r\n[Service tbbs]\r\nLast Mail Name=carol\r\n");
  WrittenSecondsAgo(dir.File("fenwold.ini"), 300);
  LoadServiceSettings("net");
  EXPECT_STREQ(g_service.realName, "Bob C");

  // Another service between two loads.
  LoadServiceSettings("tbbs");
  EXPECT_STREQ(g_service.realName, "");
  EXPECT_STREQ(g_service.lastMailName, "carol");
  LoadServiceSettings("net");
  EXPECT_STREQ(g_service.realName, "Bob C");
  EXPECT_STREQ(g_service.lastMailName, "");

  // Another data directory with a file of the same size and time.
  TestDataDir other;
  other.Write("fenwold.ini", "[Service net]\r\nReal Name=Bob D\r\n[Service tbbs]\r\nLast Mail Name=carol\r\n");
  HANDLE h =
      CreateFileA(dir.File("fenwold.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME when;
  GetFileTime(h, nullptr, nullptr, &when);
  CloseHandle(h);
  h = CreateFileA(other.File("fenwold.ini").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &when);
  CloseHandle(h);
  LoadServiceSettings("net");
  EXPECT_STREQ(g_service.realName, "Bob D");
  EXPECT_STREQ(g_service.forumFile, (other.path() + "net\\confs.sel").c_str());
}

TEST(ServiceSettings, SaveWritesTheServiceSection) {
  TestDataDir dir;
  LoadServiceSettings("quorl");
  snprintf(g_service.name, sizeof g_service.name, "dave");
  g_service.keepOwnMessages = 1;
  snprintf(g_service.realName, sizeof g_service.realName, "only for net");
  SaveServiceSettings("quorl");
  SaveServiceSettings("");
  std::string raw = dir.Read("fenwold.ini");
  EXPECT_NE(raw.find("[Service quorl]"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Name=dave"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Keep Own Messages=YES"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("only for net"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("[Service ]"), std::string::npos) << raw;
}

TEST(MailingLists, SetGetAndRemove) {
  TestDataDir dir;
  EXPECT_STREQ(MailingListsName("list@example.org"), "");
  SetMailingListsName("list@example.org", "Example list");
  EXPECT_STREQ(MailingListsName("list@example.org"), "Example list");
  SetMailingListsName("list@example.org", "");
  EXPECT_STREQ(MailingListsName("list@example.org"), "");
  EXPECT_EQ(dir.Read("fenwold.ini").find("list@example.org"), std::string::npos);
}

}  // namespace
