#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/folder_names.h"
#include "core/user_settings.h"
#include "msgbase/conf_files.h"
#include "msgbase/conf_list.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/user_folders.h"

namespace {

std::string Swapped(const char* text) {
  char field[USERFILE_FIELD + 1] = {};
  std::strncpy(field, text, USERFILE_FIELD);
  nibbleswap(field);
  return std::string(field, USERFILE_FIELD);
}

std::string UserFile(const char* version, const char* name, const char* password, const std::vector<OldConfRec>& old,
                     const std::vector<ConfRec>& current = {}) {
  std::string out(version);
  out.resize(USERFILE_FIELD, '\0');
  out += Swapped(name) + Swapped(password);
  if (!std::strcmp(version, "Version2.00")) {
    PutLe(out, static_cast<uint32_t>(old.size()), 2);
    for (const OldConfRec& r : old) out.append(reinterpret_cast<const char*>(&r), sizeof r);
  } else {
    PutLe(out, static_cast<uint32_t>(current.size()), 4);
    for (const ConfRec& r : current) out.append(reinterpret_cast<const char*>(&r), sizeof r);
  }
  return out;
}

class UserFolders : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    lstrcpynA(g_app.userName, "alice", sizeof g_app.userName);
    g_userFileName[0] = 0;
    g_user.userFlags = 0;
    g_user.noAutoJoinTopic = 0;
    WriteWholeFile(Path("conf.ww"), CurrentConfFile({MakeConf("quorl:conf/one", "one.log", 1, 20),
                                                     MakeConf("quorl:conf/two", "two.log", 1, 5),
                                                     MakeConf("quorl:other/t", "other.log", 1, 3)}));
  }
  void TearDown() override {
    Conferences.SetSize(0);
    g_app.userName[0] = 0;
    DataDirTest::TearDown();
  }
  std::string OldUserFile() {
    OldConfRec one = MakeOldConf("quorl:conf/one", "one.log", 9, 0x40, 3);
    one.readMark = 10;
    return UserFile("Version2.00", "alice", "pw", {one, MakeOldConf("quorl:gone/x", "gone.log", 1, 0, 0)});
  }
};

TEST_F(UserFolders, LogInMergesWritesAndReadsBackEqual) {
  const std::string original = OldUserFile();
  WriteWholeFile(Path("alice.usr"), original);
  ASSERT_EQ(rduconf(), 1);
  EXPECT_TRUE(Recorded().boxes.empty());
  EXPECT_STREQ(g_userPassword, "pw");
  ASSERT_EQ(NamesOf(Conferences), (std::vector<std::string>{"quorl:conf/one", "quorl:conf/two", "quorl:other/t"}));
  auto* one = static_cast<ConfRec*>(Conferences.At(0));
  EXPECT_EQ(+one->readMark, 10);
  EXPECT_EQ(+one->last, 20);
  EXPECT_EQ(+one->order, 3);
  EXPECT_EQ(static_cast<ConfRec*>(Conferences.At(1))->flags & CONF_RESIGNED, 0u);
  EXPECT_EQ(static_cast<ConfRec*>(Conferences.At(2))->flags & CONF_RESIGNED, CONF_RESIGNED);

  ASSERT_EQ(wtuconf(), 1);
  EXPECT_EQ(ReadWholeFile(Path("alice.bak")), original) << "the file read at log-in is the backup";
  const std::string first = ReadWholeFile(Path("alice.usr"));
  EXPECT_EQ(first.substr(0, 11), "Version5.00");
  EXPECT_FALSE(FileExists(Path("alice.new")));
  auto written = RecordsOf(Conferences);
  for (const ConfRec& rec : written) EXPECT_EQ(rec.userInfo, static_cast<uint32_t>(rec.last)) << rec.name;

  Conferences.SetSize(0);
  ASSERT_EQ(rduconf(), 1);
  auto back = RecordsOf(Conferences);
  ASSERT_EQ(back.size(), written.size());
  for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(std::memcmp(&back[i], &written[i], sizeof(ConfRec)), 0) << i;

  ASSERT_EQ(wtuconf(), 1);
  EXPECT_EQ(ReadWholeFile(Path("alice.bak")), first) << "writing twice keeps the first version as the backup";
}

TEST_F(UserFolders, UnreadableFilesAreReportedAndChangeNothing) {
  std::string good = OldUserFile();
  struct Case {
    const char* what;
    std::string bytes;
    const char* saying;
  } cases[] = {
      {"unknown version", UserFile("Version3.00", "alice", "pw", {}, {MakeConf("quorl:conf/one", "one.log")}),
       "version"},
      {"truncated", good.substr(0, good.size() - 20), "damaged"},
      {"head only", good.substr(0, 30), "damaged"},
  };
  for (const Case& c : cases) {
    WriteWholeFile(Path("alice.usr"), c.bytes);
    Conferences.SetSize(0);
    ConfRec kept = MakeConf("quorl:kept/t", "k.log");
    Conferences.Append(&kept);
    Recorded().boxes.clear();
    EXPECT_EQ(rduconf(), 0) << c.what;
    ASSERT_EQ(Recorded().boxes.size(), 1u) << c.what;
    EXPECT_NE(Recorded().boxes[0].find(c.saying), std::string::npos) << Recorded().boxes[0];
    EXPECT_EQ(NamesOf(Conferences), (std::vector<std::string>{"quorl:kept/t"})) << c.what;
    EXPECT_EQ(ReadWholeFile(Path("alice.usr")), c.bytes) << c.what;
    EXPECT_FALSE(FileExists(Path("alice.bak"))) << c.what;
  }
}

TEST_F(UserFolders, MissingFileIsQuietOnlyForTheTemplate) {
  EXPECT_EQ(rduconf(), 0);
  EXPECT_EQ(Recorded().boxes, (std::vector<std::string>{"Can't open user folder file"}));
  Recorded().boxes.clear();
  lstrcpynA(g_userFileName, Path("default.usr").c_str(), sizeof g_userFileName);
  EXPECT_EQ(rduconf(), 0);
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(UserFolders, MissingListKeepsTheUsersFolders) {
  DeleteFileA(Path("conf.ww").c_str());
  WriteWholeFile(Path("alice.usr"), OldUserFile());
  ASSERT_EQ(rduconf(), 1);
  EXPECT_EQ(NamesOf(Conferences), (std::vector<std::string>{"quorl:conf/one", "quorl:gone/x"}));
}

TEST_F(UserFolders, FailedWriteLeavesTheFileAndBackupAsTheyWere) {
  const std::string original = OldUserFile();
  WriteWholeFile(Path("alice.usr"), original);
  WriteWholeFile(Path("alice.bak"), "older");
  ASSERT_EQ(rduconf(), 1);
  ASSERT_TRUE(CreateDirectoryA(Path("alice.new").c_str(), nullptr));
  EXPECT_EQ(wtuconf(), 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Unable to write '" + Path("alice.usr") + "'");
  EXPECT_EQ(ReadWholeFile(Path("alice.usr")), original);
  EXPECT_EQ(ReadWholeFile(Path("alice.bak")), "older");
  RemoveDirectoryA(Path("alice.new").c_str());
}

TEST_F(UserFolders, EmptyStoredNameKeepsTheCurrentUserOrSaysTheDetailsAreCorrupt) {
  WriteWholeFile(Path("alice.usr"), UserFile("Version5.00", "", "", {}, {MakeConf("quorl:conf/one", "one.log")}));
  ASSERT_EQ(rduconf(), 1);
  EXPECT_STREQ(g_app.userName, "alice");
  EXPECT_TRUE(Recorded().boxes.empty());
  g_app.userName[0] = 0;
  lstrcpynA(g_userFileName, Path("alice.usr").c_str(), sizeof g_userFileName);
  ASSERT_EQ(rduconf(), 1);
  EXPECT_EQ(Recorded().boxes,
            (std::vector<std::string>{"You're user details have become corrupted.\n\nPlease contact your vendor."}));
}

TEST_F(UserFolders, CheckUserFileComparesTheStoredName) {
  WriteWholeFile(Path("alice.usr"), UserFile("Version5.00", "alice", "pw", {}, {}));
  WriteWholeFile(Path("bob.bak"), UserFile("Version2.00", "bob", "pw", {}));
  WriteWholeFile(Path("christop.usr"), UserFile("Version5.00", "christopher", "pw", {}, {}));
  WriteWholeFile(Path("dora.usr"), UserFile("Version9.00", "dora", "pw", {}, {}));
  struct Case {
    const char* name;
    bool expected;
  } cases[] = {{"alice", true},       {"ALICE", true},  {"bob", true},   {"christopher", true},
               {"christophe", false}, {"carol", false}, {"dora", false}, {"", false}};
  for (const Case& c : cases) EXPECT_EQ(CheckUserFile(c.name), c.expected) << c.name;
}

// The user file's and a list's temporary paths are refused whole when they
// do not fit the caller's buffer: a cut name would be some other file.
TEST_F(UserFolders, PathsThatDoNotFitAreLeftEmpty) {
  char full[MAX_PATH];
  UserFilePath("christopher", ".usr", full, sizeof full);
  EXPECT_EQ(std::string(full), Path("christop.usr"));
  char temp[MAX_PATH];
  TempPathBeside(full, temp, sizeof temp);
  EXPECT_EQ(std::string(temp), Path("christop.new"));
  struct {
    char path[12];
    char guard[8];
  } small;
  std::memset(small.guard, 'G', sizeof small.guard);
  UserFilePath("christopher", ".usr", small.path, sizeof small.path);
  EXPECT_STREQ(small.path, "");
  TempPathBeside("C:\\folder\\list.ww", small.path, sizeof small.path);
  EXPECT_STREQ(small.path, "");
  TempPathBeside("C:\\a\\b.ww", small.path, sizeof small.path);
  EXPECT_STREQ(small.path, "C:\\a\\b.new");
  EXPECT_EQ(std::string(small.guard, sizeof small.guard), "GGGGGGGG");
}

}  // namespace
