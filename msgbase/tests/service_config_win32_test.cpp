#include <gtest/gtest.h>
#include <windows.h>

#include "core/folder_names.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/msgbase_test_dir.h"

namespace {

const char* s_openFolder = nullptr;

class ServiceConfigFiles : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    FreeServiceConfig();
    g_hconf.warned = false;
    s_openFolder = nullptr;
    g_openFolderName = [] { return s_openFolder; };
    menuBuilds_ = 0;
    g_rebuildMainMenu = [] { ++menuBuilds_; };
    lstrcpynA(g_app.userName, "alice", sizeof g_app.userName);
    CreateDirectoryA(Path("dvn").c_str(), nullptr);
  }
  void TearDown() override {
    FreeServiceConfig();
    g_openFolderName = nullptr;
    g_rebuildMainMenu = nullptr;
    g_app.userName[0] = 0;
    char dir[MAX_PATH];
    lstrcpynA(dir, dir_.c_str(), static_cast<int>(dir_.size()));
    SetCurrentDirectoryA(dir);
    DataDirTest::TearDown();
  }
  static std::string ServiceFile(const char* commands) {
    return std::string("h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\n") + commands;
  }
  static inline int menuBuilds_ = 0;
};

TEST_F(ServiceConfigFiles, IntFormIsPreferredAndASecondReadIsSkipped) {
  WriteWholeFile(Path("dvn\\dvnint.cnf"), ServiceFile("A'Int' INT int text\n"));
  WriteWholeFile(Path("dvn\\dvn.cnf"), ServiceFile("A'Plain' PLAIN plain text\n"));
  WriteWholeFile(Path("special.cnf"), "S'Site' SITE site text\n");
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  EXPECT_EQ(g_hconf.intVariant, 1);
  ASSERT_EQ(g_hconf.commandCount, 2);
  EXPECT_STREQ(g_hconf.commands[0].keyword, "SITE");
  EXPECT_STREQ(g_hconf.commands[1].keyword, "INT");
  EXPECT_STREQ(g_hconf.slots[8], "h8");
  EXPECT_TRUE(g_hconf.forumOtherKind) << "no forum name list";
  EXPECT_EQ(menuBuilds_, 1);

  // The same service again: nothing is read.
  WriteWholeFile(Path("dvn\\dvnint.cnf"), ServiceFile("A'Changed' CHG x\n"));
  ASSERT_EQ(rdhconf("DVN", 0), 1);
  EXPECT_STREQ(g_hconf.commands[1].keyword, "INT");
  EXPECT_EQ(menuBuilds_, 1);
  // Forced, the extended flag differs, so the files are read again.
  ASSERT_EQ(rdhconf("dvn", 1), 1);
  EXPECT_STREQ(g_hconf.commands[1].keyword, "CHG");

  DeleteFileA(Path("dvn\\dvnint.cnf").c_str());
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  EXPECT_EQ(g_hconf.intVariant, 0);
  EXPECT_STREQ(g_hconf.commands[1].keyword, "PLAIN");
}

TEST_F(ServiceConfigFiles, ForumNameListChoosesTheForumKind) {
  WriteWholeFile(Path("dvn\\dvn.cnf"), ServiceFile("A'One (Ascii)' ONE t\nA'Two (voze)' TWO t\n"));
  WriteWholeFile(Path("dvn\\longforu.nam"), "Forum\nTopic list\nVoze forum\n");
  s_openFolder = "dvn:longforumname/S1_Chat";
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  EXPECT_TRUE(g_hconf.forumFirstKind);
  ASSERT_EQ(g_hconf.commandCount, 1);
  EXPECT_STREQ(g_hconf.commands[0].keyword, "TWO");
}

TEST_F(ServiceConfigFiles, MissingServiceFileIsSaidOncePerRun) {
  EXPECT_EQ(rdhconf("dvn", 0), 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Can't open '" + Path("dvn\\dvnint.cnf") +
                                     "'\n\nPlease check that you have correctly installed Pelmora");
  EXPECT_EQ(g_hconf.commandCount, 0);
  EXPECT_EQ(rdhconf("quorl", 0), 0);
  EXPECT_EQ(Recorded().boxes.size(), 1u);
  // Mail services and an empty key read nothing.
  EXPECT_EQ(rdhconf("msmail", 0), 1);
  EXPECT_EQ(rdhconf("", 0), 1);
  EXPECT_EQ(g_hconf.commandCount, 0);
}

}  // namespace
