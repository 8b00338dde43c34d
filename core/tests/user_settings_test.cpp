#include "core/user_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/tests/core_util_test_dir.h"

namespace {

int g_screenWidth = 800, g_screenHeight = 600;
void TestScreen(ScreenMetrics* out) {
  out->width = g_screenWidth;
  out->height = g_screenHeight;
  out->captionHeight = 19;
  out->frameWidth = 4;
  out->frameHeight = 4;
  out->menuHeight = 19;
}

// A logged-in user in a fresh data directory, with no rebuild of the shell.
class UserSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    snprintf(g_app.userName, sizeof g_app.userName, "joe");
    SetSettingsUser("joe", 0);
    g_screenHooks.metrics = TestScreen;
    g_userSettingsHooks = kDefaultUserSettingsHooks;
    g_main.reserved = 0;
    g_main.allReview = 0;
    g_frameLayout = FrameLayout();
  }
  void TearDown() override {
    g_screenHooks.metrics = savedMetrics_;
    g_app.userName[0] = 0;
    g_userIniName[0] = 0;
    g_settingsSet = 0;
    g_userRights = UserRights();
  }
  std::string Section(const char* section, const char* key) {
    char value[4096];
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, dir_.File("joe.ini").c_str());
    return value;
  }
  UtilTestDir dir_;
  void (*savedMetrics_)(ScreenMetrics*) = g_screenHooks.metrics;
};

}  // namespace

TEST(SettingsSet, LoginNameSplitsAtTheSlash) {
  struct Case {
    const char* login;
    const char* name;
    int set;
  } cases[] = {{"joe/2", "joe", 2}, {"joe", "joe", 0}, {"ann/x", "ann", 0}, {"a/12", "a", 12}};
  for (const Case& c : cases) {
    char name[64];
    std::strcpy(name, c.login);
    EXPECT_EQ(SplitSettingsSet(name), c.set) << c.login;
    EXPECT_STREQ(name, c.name) << c.login;
  }
  SetSettingsUser("longusername", 3);
  EXPECT_STREQ(g_userIniName, "longuser.ini");
  char section[64];
  SettingsSection("Main", section, sizeof section);
  EXPECT_STREQ(section, "Main/3");
  SetSettingsUser("joe", 0);
  SettingsSection("Favourites", section, sizeof section);
  EXPECT_STREQ(section, "Favourites");
}

TEST_F(UserSettingsTest, SetTwoKeepsItsOwnMainAndSharesHistoryAndBookNames) {
  dir_.Write("joe.ini",
             "[Main]\r\nSound=NO\r\nBookName 1=Work\r\nRight Margin=60\r\n"
             "[Main/2]\r\nSound=YES\r\nRight Margin=80\r\nCurrent Book Set=1\r\n"
             "[Find History]\r\nHistory 1=needle\r\n"
             "[Favourites]\r\nFavourite 1=quorl:plain/set\r\n"
             "[Favourites/2]\r\nFavourite 2=quorl:set/two\r\n");
  SetSettingsUser("joe", 2);
  ReadSettings();
  EXPECT_EQ(g_user.sound, 1u);
  EXPECT_EQ(g_user.rightMargin, 80u);
  EXPECT_STREQ(g_bookSetNames[0], "Work");
  EXPECT_STREQ(g_bookSetNames[1], "Bookmark Set 2");
  EXPECT_STREQ(g_findHistory[0], "needle");
  EXPECT_STREQ(g_favourites[0], "");
  EXPECT_STREQ(g_favourites[1], "quorl:set/two");
  EXPECT_EQ(g_user.currentBookSet, 2u);

  g_user.rightMargin = 66;
  std::strcpy(g_findHistory[1], "second");
  SaveSettings();
  EXPECT_EQ(Section("Main/2", "Right Margin"), "66");
  EXPECT_EQ(Section("Main", "Right Margin"), "60");
  EXPECT_EQ(Section("Find History", "History 2"), "second");
  EXPECT_EQ(Section("Main", "BookName 1"), "Work");
  EXPECT_EQ(Section("Main/2", "BookName 1"), "<missing>");

  SetSettingsUser("joe", 0);
  ReadSettings();
  EXPECT_EQ(g_user.sound, 0u);
  EXPECT_EQ(g_user.rightMargin, 60u);
  EXPECT_STREQ(g_findHistory[1], "second");
  EXPECT_STREQ(g_favourites[0], "quorl:plain/set");
}

TEST_F(UserSettingsTest, DefaultsAndNamedSetMode) {
  g_app.britishEnglish = true;
  ReadSettings();
  g_app.britishEnglish = false;
  EXPECT_EQ(g_user.dictionary1, 2057u);
  EXPECT_EQ(g_user.dictionaryOptions, 75614084u);
  EXPECT_EQ(g_user.readingMode, 4u);
  EXPECT_STREQ(g_user.messageFile, "message.txt");
  EXPECT_STREQ(g_user.printerMargin, "1080 1080 1080 1080");
  EXPECT_EQ(g_user.singleClick, 1u);
  EXPECT_EQ(g_user.mime, 0u);
  EXPECT_STREQ(g_spellLexicons.autocorrect, "autocorr.tlx");
  EXPECT_STREQ(g_bookSetNames[19], "Bookmark Set 20");
  EXPECT_DOUBLE_EQ(g_windowRatio, 0.5);
  EXPECT_FALSE(dir_.Exists("joe.ini"));  // reading writes nothing

  g_main.reserved = kReservedNamedSets;
  ReadSettings();
  EXPECT_STREQ(g_bookSetNames[0], "");
}

TEST_F(UserSettingsTest, ReadSettingsReadsRightsAndRunsTheShellHooks) {
  dir_.Write("security.ww", "default 0x8001\r\njoe 255\r\n");
  static int toolbarReads, rebuilds;
  toolbarReads = rebuilds = 0;
  g_userSettingsHooks.readToolbarSettings = [] { ++toolbarReads; };
  g_userSettingsHooks.rebuild = [] { ++rebuilds; };
  ReadSettings();
  EXPECT_EQ(g_userRights.word, 255u);
  EXPECT_EQ(toolbarReads, 1);
  EXPECT_EQ(rebuilds, 1);
  g_settingsRebuild = false;
  ReadSettings();
  g_settingsRebuild = true;
  EXPECT_EQ(rebuilds, 1);

  // The rights switches of the program settings reach HasRight.
  g_main.allReview = 1;
  g_userRights.word = 0;
  EXPECT_TRUE(HasRight(RIGHT_REVIEW));
  g_main.allReview = 0;
  EXPECT_FALSE(HasRight(RIGHT_REVIEW));
}

TEST_F(UserSettingsTest, WindowRatioIsKeptInRange) {
  struct Case {
    const char* stored;
    double ratio;
  } cases[] = {{"0.300000", 0.3}, {"0.95", 0.9}, {"0.05", 0.1}, {"junk", 0.5}, {"7", 0.5}};
  for (const Case& c : cases) {
    dir_.Write("joe.ini", std::string("[Main]\r\nWindow Ratio=") + c.stored + "\r\n");
    ReadSettings();
    EXPECT_DOUBLE_EQ(g_windowRatio, c.ratio) << c.stored;
  }
  g_windowRatio = 0.25;
  WriteSettings(false);
  EXPECT_EQ(Section("Main", "Window Ratio"), "0.250000");
}

TEST_F(UserSettingsTest, MainWindowDefaultsAtBothScreenSizes) {
  g_screenWidth = 800;
  g_screenHeight = 600;
  ReadWindowPlacements(WINDOW_MAIN);
  WindowPlacement p = g_windowPlacements[WINDOW_MAIN];
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.width, 800);  // as wide as the screen
  EXPECT_EQ(p.height, 600 - 19 - 8);
  EXPECT_EQ(p.top, 0);  // centred above the top: moved onto the screen
  EXPECT_EQ(p.show, 0);

  g_screenWidth = 1600;
  g_screenHeight = 1200;
  ReadWindowPlacements(WINDOW_MAIN);
  p = g_windowPlacements[WINDOW_MAIN];
  EXPECT_EQ(p.width, 1024);
  EXPECT_EQ(p.height, 768);
  EXPECT_EQ(p.left, (1600 - 1024) / 2);
  EXPECT_EQ(p.top, (1200 - 19 - 8 - 768) / 2 - 19 - 8);

  // The panes share the same width: a third for the message base.
  g_frameLayout.statusBarHeight = 20;
  g_user.statusBar = 1;
  ReadWindowPlacements(WINDOW_MESSAGE_BASE);
  ReadWindowPlacements(WINDOW_MESSAGE);
  const int chrome = 2 * 4 + 19 + 19 + 29 + 20;
  EXPECT_EQ(g_windowPlacements[WINDOW_MESSAGE_BASE].width, 1024 / 3);
  EXPECT_EQ(g_windowPlacements[WINDOW_MESSAGE_BASE].height, 768 - chrome - 3);
  EXPECT_EQ(g_windowPlacements[WINDOW_MESSAGE].left, 1024 / 3);
  EXPECT_EQ(g_windowPlacements[WINDOW_MESSAGE].width, 2 * 1024 / 3 - 8 - 3);
  ReadWindowPlacements(WINDOW_STATUS);
  EXPECT_EQ(g_windowPlacements[WINDOW_STATUS].left, 300);
  EXPECT_EQ(g_windowPlacements[WINDOW_STATUS].width, CW_USEDEFAULT);
}

TEST_F(UserSettingsTest, StoredPlacementsAreNormalised) {
  struct Case {
    const char* stored;
    WindowPlacement expected;
  } cases[] = {
      {"32768 32768 32768 32768 1", {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 1}},
      {"32768 40 500 400 1", {0, 0, 500, 400, 1}},
      {"-20 -5 500 400 3", {0, 0, 500, 400, 3}},
      {"10 20 30 40 1", {10, 20, 30, 40, 1}},
      {"10 20 30", {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 1}},  // not a position
  };
  for (const Case& c : cases) {
    dir_.Write("joe.ini", std::string("[Windows]\r\nMail=") + c.stored + "\r\n");
    ReadWindowPlacements(3);
    const WindowPlacement& p = g_windowPlacements[3];
    EXPECT_EQ(p.left, c.expected.left) << c.stored;
    EXPECT_EQ(p.top, c.expected.top) << c.stored;
    EXPECT_EQ(p.width, c.expected.width) << c.stored;
    EXPECT_EQ(p.height, c.expected.height) << c.stored;
    EXPECT_EQ(p.show, c.expected.show) << c.stored;
  }

  g_windowPlacements[7] = {CW_USEDEFAULT, -1, 300, CW_USEDEFAULT, 1};
  WriteWindowPlacements(7);
  EXPECT_EQ(Section("Windows", "Address"), "32768 32768 300 32768 1");
  g_windowPlacements[8] = {-1, 5, -1, 5, 1};
  WriteWindowPlacements(8);
  EXPECT_EQ(Section("Windows", "Viewer"), "<missing>");
  SetSettingsUser("joe", 2);
  WriteWindowPlacements(7);
  EXPECT_EQ(Section("Windows/2", "Address"), "32768 32768 300 32768 1");

  // The scheduler's instance starts minimised.
  snprintf(g_app.userName, sizeof g_app.userName, "sched");
  ReadWindowPlacements(WINDOW_MAIN);
  EXPECT_EQ(g_windowPlacements[WINDOW_MAIN].show, SW_SHOWMINNOACTIVE);

  char name[32];
  WindowKindName(16, name, sizeof name);
  EXPECT_STREQ(name, "Message Base");
  WindowKindName(31, name, sizeof name);
  EXPECT_STREQ(name, "31");
  // A short buffer gets a cut name and nothing beyond it is written.
  struct {
    char name[8];
    char guard[8];
  } small;
  std::memset(small.guard, 'G', sizeof small.guard);
  WindowKindName(16, small.name, sizeof small.name);
  EXPECT_STREQ(small.name, "Message");
  EXPECT_EQ(std::string(small.guard, sizeof small.guard), "GGGGGGGG");
}

TEST_F(UserSettingsTest, AppearanceEntries) {
  for (FontTableEntry& e : g_fonts) e = FontTableEntry{"Default", 10, 0, 1, 2, nullptr};
  dir_.Write("joe.ini",
             "[Appearance]\r\nThread=<Arial> 12 1 255 16777215\r\nEditor=Courier 10 0 0 0\r\n"
             "Mvw Url=<Times New Roman> 9 -1 4 5\r\nMvw Fixed=<Broken> x\r\n");
  ReadAppearance("joe.ini", 0);
  EXPECT_STREQ(g_fonts[0].face, "Arial");
  EXPECT_EQ(g_fonts[0].size, 12);
  EXPECT_EQ(g_fonts[0].style, 1u);
  EXPECT_EQ(g_fonts[0].textColour, 255u);
  EXPECT_EQ(g_fonts[0].backColour, 16777215u);
  EXPECT_STREQ(g_fonts[17].face, "Default");  // no angle brackets: unchanged
  EXPECT_STREQ(g_fonts[10].face, "Default");  // numbers missing: unchanged
  EXPECT_STREQ(g_fonts[11].face, "Times New Roman");
  EXPECT_EQ(g_fonts[11].style, 0u);  // "no style" reads as plain here

  g_fonts[5] = FontTableEntry{"Tahoma", 8, 2, 3, 4, nullptr};
  SetSettingsUser("joe", 4);
  SaveSettings();
  EXPECT_EQ(Section("Appearance/4", "Current Involved"), "<Tahoma> 8 2 3 4");
  for (FontTableEntry& e : g_fonts) e = FontTableEntry();
  ReadAppearance("joe", 4);
  EXPECT_STREQ(g_fonts[5].face, "Tahoma");
  EXPECT_EQ(g_fonts[5].style, 2u);
}

TEST_F(UserSettingsTest, QuotingDefaultsByService) {
  struct Case {
    const char* key;
    const char* attribution;
    uint32_t copyOnly;
  } cases[] = {
      {"dvn", "%firstname%,\\n\\n", 0},
      {"quorl", "%firstname%,\\n\\n", 0},
      {"FENWOLD", "%firstname%,\\n\\n", 0},
      {"local", "None", 1},
      {"net", "In article %messageid%, %realname% wrote:\\n", 1},
      {"bix", "In article %messageid%, %realname% wrote:\\n", 1},
  };
  for (const Case& c : cases) {
    uint32_t copyOnly = 7;
    EXPECT_STREQ(ReadServiceQuoting(c.key, &copyOnly), c.attribution) << c.key;
    EXPECT_EQ(copyOnly, c.copyOnly) << c.key;
  }
  uint32_t untouched = 7;
  EXPECT_STREQ(ReadServiceQuoting("", &untouched), "");
  EXPECT_EQ(untouched, 7u);

  dir_.Write("joe.ini", "[Service net]\r\nAttribution=%realname% said:\r\nCopy Only=NO\r\n");
  uint32_t copyOnly = 1;
  EXPECT_STREQ(ReadServiceQuoting("net", &copyOnly), "%realname% said:");
  EXPECT_EQ(copyOnly, 0u);
}

TEST_F(UserSettingsTest, ServiceAddressKeepsThePasswordScrambledOnDisk) {
  std::strcpy(g_serviceAddress.emailAddress, "joe@example.com");
  std::strcpy(g_serviceAddress.realName, "Joe Bloggs");
  std::strcpy(g_serviceAddress.popAccount, "joeb");
  std::strcpy(g_serviceAddress.popPassword, "s3cret!");
  WriteServiceAddress("net");
  EXPECT_STREQ(g_serviceAddress.popPassword, "s3cret!");  // memory stays plain
  std::string stored = Section("Service net", "Pop Password");
  EXPECT_EQ(stored[0], '$');
  EXPECT_EQ(stored.find("s3cret"), std::string::npos);

  std::memset(&g_serviceAddress, 0, sizeof g_serviceAddress);
  EXPECT_TRUE(ReadServiceSettings("net"));
  EXPECT_STREQ(g_serviceAddress.popPassword, "s3cret!");
  EXPECT_STREQ(g_serviceAddress.emailAddress, "joe@example.com");
  EXPECT_FALSE(ReadServiceSettings("dvn"));
  EXPECT_STREQ(g_serviceAddress.emailAddress, "");  // not net's address

  // The same table in fenwold.ini; a plain stored password is used as it is.
  dir_.Write("fenwold.ini", "[Service net]\r\nPop Password=plain\r\nReal Name=Shared\r\n");
  EXPECT_TRUE(ReadServiceAddress("net"));
  EXPECT_STREQ(g_serviceAddress.popPassword, "plain");
  EXPECT_STREQ(g_serviceAddress.realName, "Shared");

  WriteServiceAddress("");
  std::strcpy(g_serviceRealName, "Joseph");
  WriteServiceRealName("quorl");
  EXPECT_STREQ(ReadServiceRealName("quorl"), "Joseph");
  EXPECT_STREQ(ReadServiceRealName("bix"), "");
}
