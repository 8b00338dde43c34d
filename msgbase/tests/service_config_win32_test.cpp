#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/folder_names.h"
#include "core/rights.h"
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
    g_folderNameHooks.openFolderName = [] { return s_openFolder; };
    menuBuilds_ = 0;
    g_serviceConfigHooks.rebuildMainMenu = [] { ++menuBuilds_; };
    lstrcpynA(g_app.userName, "alice", sizeof g_app.userName);
    CreateDirectoryA(Path("dvn").c_str(), nullptr);
  }
  void TearDown() override {
    FreeServiceConfig();
    g_folderNameHooks.openFolderName = [] { return static_cast<const char*>(nullptr); };
    g_serviceConfigHooks.rebuildMainMenu = [] {};
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

// Sets a file's write time, e.g. some minutes back, as a file installed
// some time before the program started would have.
void SetWriteTime(const std::string& path, FILETIME when) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
  CloseHandle(h);
}
FILETIME SecondsAgo(int seconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG t = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
                static_cast<ULONGLONG>(seconds) * 10000000ull;
  return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}
FILETIME WriteTimeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// Everything a load leaves for its callers, gathered to compare two loads.
struct LoadedConfig {
  std::vector<std::string> commands;  // keyword, number, capital, menu name, text
  std::vector<std::string> menu;
  std::vector<std::string> slots;
  int intVariant;
  bool forumFirstKind, forumOtherKind;
  std::string loadedService;

  static LoadedConfig Now() {
    LoadedConfig c;
    for (int i = 0; i < g_hconf.commandCount; ++i) {
      const ScriptCommand& s = g_hconf.commands[i];
      c.commands.push_back(std::string(s.keyword) + "|" + std::to_string(s.number) + "|" + std::to_string(s.capital) +
                           "|" + s.menuName + "|" + s.text);
    }
    for (int i = 0; i <= g_hconf.commandCount; ++i)
      c.menu.push_back(std::string(g_hconf.menu[i].text) + "|" + std::to_string(g_hconf.menu[i].id));
    for (int i = 0; i < HCONF_SLOTS; ++i) c.slots.push_back(g_hconf.slots[i]);
    c.intVariant = g_hconf.intVariant;
    c.forumFirstKind = g_hconf.forumFirstKind;
    c.forumOtherKind = g_hconf.forumOtherKind;
    c.loadedService = g_hconf.loadedService;
    return c;
  }
  bool operator==(const LoadedConfig&) const = default;
};

std::string Keywords() {
  std::string out;
  for (int i = 0; i < g_hconf.commandCount; ++i)
    out += std::string(out.empty() ? "" : " ") + g_hconf.commands[i].keyword;
  return out;
}

// A topic's close loads the empty configuration, its next open the service's
// again: what that second load gives must be what reading the files gives.
class ServiceConfigReload : public ServiceConfigFiles {
 protected:
  void SetUp() override {
    ServiceConfigFiles::SetUp();
    s_openFolder = "dvn:forum/S1_Chat";
    Install("dvn\\dvnint.cnf", ServiceFile("A'Int' INT int text\nx'Admin' ADM admin text\nA'Two (voze)' TWO t\n"));
    Install("dvn\\dvn.cnf", ServiceFile("A'Plain' PLAIN plain text\n"));
    Install("special.cnf", "S'Site' SITE site text\nbXBanner\n");
    Install("dvn\\forum.nam", "Forum\nTopic list\n");
  }
  void TearDown() override {
    g_userRights.administratorMode = false;
    ServiceConfigFiles::TearDown();
  }

 public:
  using DataDirTest::Path;
  // Written a while ago, as installed files are.
  void Install(const char* name, const std::string& bytes, int secondsAgo = 600) {
    WriteWholeFile(Path(name), bytes);
    SetWriteTime(Path(name), SecondsAgo(secondsAgo));
  }

 protected:
  // Closes and opens again, as the topic open does.
  int Reload(const char* service = "dvn", int force = 0) {
    EXPECT_EQ(rdhconf("", 0), 1);
    EXPECT_EQ(g_hconf.commandCount, 0);
    return rdhconf(service, force);
  }
};

TEST_F(ServiceConfigReload, UnchangedFilesGiveWhatTheirFirstReadGave) {
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  const LoadedConfig first = LoadedConfig::Now();
  EXPECT_EQ(Keywords(), "SITE INT");
  EXPECT_TRUE(g_hconf.forumOtherKind);
  EXPECT_EQ(g_hconf.bLineChar, 'X');
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(Reload(), 1);
    EXPECT_TRUE(LoadedConfig::Now() == first) << round;
  }
  // Each load rebuilds the main menu, the empty one included.
  EXPECT_EQ(menuBuilds_, 7);
  // Another service between them changes nothing.
  CreateDirectoryA(Path("quorl").c_str(), nullptr);
  Install("quorl\\quorl.cnf", ServiceFile("Q'Quorl' QRL text\n"));
  ASSERT_EQ(Reload("quorl"), 1);
  EXPECT_EQ(Keywords(), "SITE QRL");
  EXPECT_STREQ(g_hconf.loadedService, "quorl");
  ASSERT_EQ(Reload(), 1);
  EXPECT_TRUE(LoadedConfig::Now() == first);
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(ServiceConfigReload, AChangedOrMovedFileIsReadAgain) {
  struct Case {
    const char* what;
    void (*change)(ServiceConfigReload&);
    const char* keywords;
    int intVariant;
  };
  const Case cases[] = {
      {"same size, new text and time",
       [](ServiceConfigReload& t) {
         t.Install("dvn\\dvnint.cnf",
                   ServiceFile("A'Int' NEW int text\nx'Admin' ADM admin text\nA'Two (voze)' TWO t\n"), 300);
       },
       "SITE NEW", 1},
      {"same size and time, new text",
       [](ServiceConfigReload& t) {
         FILETIME when = WriteTimeOf(t.Path("dvn\\dvnint.cnf"));
         WriteWholeFile(t.Path("dvn\\dvnint.cnf"),
                        ServiceFile("A'Int' NEW int text\nx'Admin' ADM admin text\nA'Two (voze)' TWO t\n"));
         SetWriteTime(t.Path("dvn\\dvnint.cnf"), when);
       },
       "SITE INT", 1},  // nothing tells it apart: the copy stands
      {"the int file removed", [](ServiceConfigReload& t) { DeleteFileA(t.Path("dvn\\dvnint.cnf").c_str()); },
       "SITE PLAIN", 0},
      {"special.cnf removed", [](ServiceConfigReload& t) { DeleteFileA(t.Path("special.cnf").c_str()); }, "INT", 1},
      {"special.cnf longer",
       [](ServiceConfigReload& t) { t.Install("special.cnf", "S'Site' SITE t\nS'More' MORE t\n", 300); },
       "SITE MORE INT", 1},
      {"the forum's name list says the other kind",
       [](ServiceConfigReload& t) { t.Install("dvn\\forum.nam", "Forum\nVoze forum\n", 300); }, "SITE INT TWO", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    ASSERT_EQ(rdhconf("dvn", 0), 1);
    ASSERT_EQ(Reload(), 1);
    ASSERT_EQ(Keywords(), "SITE INT");
    c.change(*this);
    ASSERT_EQ(Reload(), 1);
    EXPECT_EQ(Keywords(), c.keywords);
    EXPECT_EQ(g_hconf.intVariant, c.intVariant);
    // And what was read now is what the following load gives.
    const LoadedConfig now = LoadedConfig::Now();
    ASSERT_EQ(Reload(), 1);
    EXPECT_TRUE(LoadedConfig::Now() == now);
    TearDown();
  }
}

TEST_F(ServiceConfigReload, EveryLoadEndsInTheDataDirectory) {
  auto current = [] {
    char now[MAX_PATH];
    GetCurrentDirectoryA(sizeof now, now);
    return std::string(now) + "\\";
  };
  std::string elsewhere = MakeTempDir("msgbase_cwd");
  for (int round = 0; round < 3; ++round) {
    SetCurrentDirectoryA(elsewhere.c_str());
    ASSERT_EQ(round ? Reload() : rdhconf("dvn", 0), 1);
    EXPECT_EQ(current(), dir_) << round;
  }
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(current(), dir_);
}

TEST_F(ServiceConfigReload, AFileWrittenJustNowIsReadAgainWhateverItsStamp) {
  // Written now, changed again at once with its size and time kept: on
  // systems with coarse file times nothing else would tell the two apart.
  WriteWholeFile(Path("dvn\\dvnint.cnf"), ServiceFile("A'Int' ONE t\n"));
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  EXPECT_EQ(Keywords(), "SITE ONE");
  FILETIME when = WriteTimeOf(Path("dvn\\dvnint.cnf"));
  WriteWholeFile(Path("dvn\\dvnint.cnf"), ServiceFile("A'Int' TWO t\n"));
  SetWriteTime(Path("dvn\\dvnint.cnf"), when);
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "SITE TWO");
}

TEST_F(ServiceConfigReload, WhatTheLinesDependOnIsPartOfTheKey) {
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  ASSERT_EQ(Keywords(), "SITE INT");
  g_userRights.administratorMode = true;
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "SITE INT ADM");
  g_userRights.administratorMode = false;
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "SITE INT");
  ASSERT_EQ(Reload("dvn", 1), 1);  // forced: the administrator's lines too
  EXPECT_EQ(Keywords(), "SITE INT ADM");
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "SITE INT");
  // Another forum of the service: its own name list.
  Install("dvn\\other.nam", "Voze forum\n");
  s_openFolder = "dvn:other/S1_Chat";
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "SITE INT TWO");
  EXPECT_TRUE(g_hconf.forumFirstKind);
  // The user named special reads no special.cnf.
  s_openFolder = "dvn:forum/S1_Chat";
  lstrcpynA(g_app.userName, "special", sizeof g_app.userName);
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "INT");
  // Another data directory.
  std::string other = MakeTempDir("msgbase_other");
  CreateDirectoryA((other + "dvn").c_str(), nullptr);
  WriteWholeFile(other + "dvn\\dvn.cnf", ServiceFile("A'Else' ELSE t\n"));
  SetWriteTime(other + "dvn\\dvn.cnf", SecondsAgo(600));
  lstrcpynA(g_app.dataDir, other.c_str(), sizeof g_app.dataDir);
  ASSERT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "ELSE");
  lstrcpynA(g_app.dataDir, dir_.c_str(), sizeof g_app.dataDir);
}

TEST_F(ServiceConfigReload, ANoticeOfAReadIsGivenAtEveryRead) {
  Install("dvn\\dvnint.cnf", "h1\nh2\n");
  ASSERT_EQ(rdhconf("dvn", 0), 1);
  const size_t notices = Recorded().status.size();
  ASSERT_GT(notices, 0u);
  ASSERT_EQ(Reload(), 1);
  EXPECT_GT(Recorded().status.size(), notices);
  EXPECT_EQ(Recorded().status.back(), ".CNF file format error");
}

TEST_F(ServiceConfigReload, AMissingServiceFileIsFoundOnceInstalled) {
  DeleteFileA(Path("dvn\\dvnint.cnf").c_str());
  DeleteFileA(Path("dvn\\dvn.cnf").c_str());
  EXPECT_EQ(rdhconf("dvn", 0), 0);
  EXPECT_EQ(Reload(), 0);
  EXPECT_EQ(Keywords(), "SITE");
  EXPECT_EQ(Recorded().boxes.size(), 1u);
  Install("dvn\\dvn.cnf", ServiceFile("A'Plain' PLAIN plain text\n"));
  EXPECT_EQ(Reload(), 1);
  EXPECT_EQ(Keywords(), "SITE PLAIN");
  // The box of a missing file comes back once the warning is cleared.
  DeleteFileA(Path("dvn\\dvn.cnf").c_str());
  EXPECT_EQ(Reload(), 0);
  EXPECT_EQ(Reload(), 0);
  g_hconf.warned = false;
  EXPECT_EQ(Reload(), 0);
  EXPECT_EQ(Recorded().boxes.size(), 2u);
}

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
  EXPECT_EQ(Recorded().boxes[0],
            "Can't open '" + Path("dvn\\dvnint.cnf") + "'\n\nPlease check that you have correctly installed Pelmora");
  EXPECT_EQ(g_hconf.commandCount, 0);
  EXPECT_EQ(rdhconf("quorl", 0), 0);
  EXPECT_EQ(Recorded().boxes.size(), 1u);
  // Mail services and an empty key read nothing.
  EXPECT_EQ(rdhconf("msmail", 0), 1);
  EXPECT_EQ(rdhconf("", 0), 1);
  EXPECT_EQ(g_hconf.commandCount, 0);
}

}  // namespace
