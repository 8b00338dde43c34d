#include "core/folder_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/text1252.h"

namespace {

struct AliasGuard {
  explicit AliasGuard(const char* aliases, const char* localDir = nullptr) {
    g_folderNameSettings.serviceAliases = aliases;
    g_folderNameSettings.localDirName = localDir;
  }
  ~AliasGuard() { g_folderNameSettings = FolderNameSettings(); }
};

}  // namespace

TEST(FolderNames, SameServiceRules) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"net:comp.lang.c", "net", true},
      {"internet", "net", true},
      {"NET2:alt.test", "net", true},
      {"netnews:x/y", "net", true},
      {"fenwold:conf/topic", "net", true},  // an unknown service counts as Internet
      {"exchange:inbox/mail", "msmail", true},
      {"local2:notes/misc", "local", true},  // digits dropped, local becomes empty
      {"conf/topic", "local", true},         // no prefix: same as a local name
      {"quorl:conf/topic", "net", false},
      {"dvn:forum/sect", "net", false},
      {"local:x/y", "net", false},
      {"conf/topic", "net", false},
      {"QUORL:conf/topic", "quorl", true},
      {"quorl:conf/topic", "dvn", false},
      {"bix", "BIX", true},
      {"msmail:inbox/x", "ccmail", false},
  };
  for (const Case& c : cases) EXPECT_EQ(sameservice(c.a, c.b), c.same) << c.a << " / " << c.b;
  EXPECT_FALSE(sameservice(nullptr, "net"));
}

TEST(FolderNames, SameServiceAliasesMapOnlyTheFirstName) {
  AliasGuard aliases("compu = dvn; work=msmail,old=quorl");
  EXPECT_TRUE(sameservice("compu:forum/section", "dvn"));
  EXPECT_TRUE(sameservice("WORK:inbox/x", "msmail"));
  EXPECT_TRUE(sameservice("old:conf/topic", "quorl"));
  // An aliased service is no longer an Internet one.
  EXPECT_FALSE(sameservice("compu:forum/section", "net"));
  // The alias applies to the first argument only.
  EXPECT_FALSE(sameservice("dvn:forum/section", "compu"));
}

TEST(FolderNames, CurrentServiceFollowsTheOpenFolder) {
  EXPECT_FALSE(iscurservice("quorl"));
  g_folderNameHooks.openFolderName = [] { return "quorl:conf/topic"; };
  EXPECT_TRUE(iscurservice("quorl"));
  EXPECT_FALSE(iscurservice("dvn"));
  g_folderNameHooks.openFolderName = [] { return static_cast<const char*>(nullptr); };
  EXPECT_FALSE(iscurservice("quorl"));
  g_folderNameHooks.openFolderName = [] { return static_cast<const char*>(nullptr); };
}

TEST(FolderNames, MailNewsAndLibraryFolders) {
  struct Case {
    const char* name;
    bool mail, news, library;
  } cases[] = {
      {"net:mail/inbox", true, true, false},      {"net:MAIL", true, true, false},
      {"quorl:@ail/x", true, false, false},       {"quorl:mailbox/x", false, false, false},
      {"msmail:inbox/x", true, false, false},     {"ccmail:x", true, false, false},
      {"quorl:conf/topic", false, false, false},  {"quorlnews:comp/lang", false, true, false},
      {"delnews:alt/test", false, true, false},   {"bix:usenet/comp.lang", false, true, false},
      {"bix:@senet_misc/x", false, true, false},  {"comp.lang.c", false, false, false},  // no colon: never news
      {"dvn:forum/L3_files", false, false, true}, {"dvn:forum/l7x_y", false, false, true},
      {"dvn:forum/L3files", false, false, false},  // no "_"
      {"dvn:forum/Lx_3", false, false, false},     // no digit after L
      {"quorl:conf/L3_x", false, false, false},    // not dvn
      {"search\xff result", false, false, true},   // composite folder
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ismailfolder(c.name), c.mail) << c.name;
    EXPECT_EQ(isnewsfolder(c.name), c.news) << c.name;
    EXPECT_EQ(IsDvnLibraryFolder(c.name), c.library) << c.name;
  }
}

// ismailfolder works the name's service out once; it must answer as the
// service tests it stands for, aliases included.
TEST(FolderNames, MailFolderTestAgreesWithTheServiceTests) {
  const char* names[] = {"msmail:inbox/x",
                         "MSMAIL:a/b",
                         "ccmail:x",
                         "exchange:inbox/x",
                         "exchange2:inbox/x",
                         "work:inbox/x",
                         "mine:inbox/x",
                         "msmail",
                         "ccmail",
                         "quorl:mail/alice",
                         "net:@ail/x",
                         "quorl:conf/topic",
                         "conf/msmail:x",
                         "local:mail/carol",
                         "netmail:x/y",
                         "",
                         "msmail:",
                         ":mail"};
  for (const char* aliases : {static_cast<const char*>(nullptr), "work=msmail;mine=ccmail;msmail=quorl;exchange=dvn"}) {
    AliasGuard guard(aliases);
    for (const char* name : names) {
      const char* first = std::strchr(name, ':') ? std::strchr(name, ':') + 1 : name;
      const bool mailPart =
          std::strcspn(first, "/\\ ") == 4 && (StartsWithNoCase(first, "mail") || StartsWithNoCase(first, "@ail"));
      const bool expected = sameservice(name, "msmail") || sameservice(name, "ccmail") || mailPart;
      EXPECT_EQ(ismailfolder(name), expected) << name << " with aliases " << (aliases ? aliases : "none");
    }
  }
}

TEST(FolderNames, FirstAndDropPart) {
  struct Case {
    const char* name;
    const char* first;
    const char* dropped;
  } cases[] = {
      {"conf/topic", "conf", "topic"}, {"conf\\topic", "conf", ""},  // droppart does not split at a backslash
      {"two words", "two", "words"},   {"single", "single", ""},    {"a/b/c", "a", "b/c"},
  };
  for (const Case& c : cases) {
    char first[32], dropped[32];
    std::strcpy(first, c.name);
    std::strcpy(dropped, c.name);
    EXPECT_STREQ(firstpart(first), c.first) << c.name;
    EXPECT_STREQ(droppart(dropped), c.dropped) << c.name;
  }
}

TEST(FolderNames, FixNameCaseDisplayForms) {
  struct Case {
    const char* name;
    const char* shown;
  } cases[] = {
      {"quorlnews:comp/lang_ii", "Quorlnews:Comp.Lang II"},
      {"quorl:pelmora/help_desk", "Quorl:Pelmora/Help Desk"},
      {"dvn:us!forum/sect_iii", "Dvn:Forum/Sect III"},
      {"quorl:o'brien/x-ray", "Quorl:O'brien/X-Ray"},
      {"quorl:conf/topic/.hidden", "Quorl:Conf/Topic"},
      {"bix:bm\xff"
       "set_iv",
       "Bix:Bmset IV"},
      {"quorl:\xe9t\xe9/caf\xe9", "Quorl:\xc9t\xe9/Caf\xe9"},
  };
  for (const Case& c : cases) {
    char name[64];
    std::strcpy(name, c.name);
    EXPECT_STREQ(FixNameCase(name), c.shown) << c.name;
  }
}

TEST(FolderNames, LocalFolderNames) {
  struct Case {
    const char* localDir;
    const char* name;
    const char* stored;
  } cases[] = {
      {nullptr, "local:notes/misc", "local\\notes\\misc"},
      {"", "local:verylongname/another long one", "local\\verylong\\another_"},
      {nullptr, "local:a..b/c!!d", "local\\a_b\\c_d"},
      {"mine", "x:one\\two", "mine\\one\\two"},
      {nullptr, "local:only", "local\\only\\"},
      {"old_.x", "local:a/b\r\n", "old.x\\a\\b"},  // "_" before "." dropped; a line end ends the name
  };
  for (const Case& c : cases) {
    AliasGuard settings(nullptr, c.localDir);
    char name[64];
    std::strcpy(name, c.name);
    EXPECT_STREQ(MakeLocalFolderName(name, sizeof name), c.stored) << c.name;
  }
  // The result never runs past the caller's buffer.
  char small[8] = "l:ab/cd";
  MakeLocalFolderName(small, sizeof small);
  EXPECT_STREQ(small, "local\\a");
}

TEST(FolderNames, Extensions) {
  struct Case {
    const char* name;
    const char* ext;
    const char* withInd;
    const char* stripped;
  } cases[] = {
      {"c:\\data\\topic.log", ".log", "c:\\data\\topic.ind", "c:\\data\\topic"},
      {"c:\\da.ta\\topic", "", "c:\\da.ta\\topic.ind", "c:\\da.ta\\topic"},
      {"name.tar.gz", ".gz", "name.tar.ind", "name.tar"},
      {"plain", "", "plain.ind", "plain"},
  };
  for (const Case& c : cases) {
    char name[64];
    std::strcpy(name, c.name);
    EXPECT_STREQ(fileext(name), c.ext) << c.name;
    EXPECT_STREQ(stripext(name), c.stripped) << c.name;
    EXPECT_STREQ(setindext(name, sizeof name), c.withInd) << c.name;
  }
  char tight[8] = "abc.d";
  setext(tight, ".longer", sizeof tight);
  EXPECT_STREQ(tight, "abc.lon");
}

TEST(FolderNames, NibbleSwapRoundTripsAndNeverMakesZero) {
  char all[256];
  for (int i = 1; i < 256; ++i) all[i - 1] = static_cast<char>(i);
  all[255] = 0;
  char copy[256];
  std::memcpy(copy, all, sizeof all);
  nibbleswap(copy);
  EXPECT_EQ(std::strlen(copy), 255u);
  EXPECT_EQ(static_cast<unsigned char>(copy[0x12 - 1]), 0x21);
  nibbleswap(copy);
  EXPECT_EQ(std::memcmp(copy, all, sizeof all), 0);
}
