#include "browser/link_target.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LinkTarget, OwnLinksAndOthers) {
  struct Case {
    const char* url;
    bool ours;
    const char* folder;
    long number;
  } cases[] = {
      {"pl:local:demo/general", true, "local:demo/general", 0},
      {"PL://local:demo/general#12", true, "local:demo/general", 12},
      {"Pl://net:comp.lang.c/all#3", true, "net:comp.lang.c/all", 3},
      {"pl:folder#", false, "", 0},
      {"pl:folder#12x", false, "", 0},
      {"pl:folder#-4", false, "", 0},
      {"pl:", false, "", 0},
      {"pl://", false, "", 0},
      {"http://example.com/", false, "", 0},
      {"pl", false, "", 0},
  };
  for (const Case& c : cases) {
    LinkTarget t{};
    EXPECT_EQ(c.ours, ParseProgramLink(c.url, &t)) << c.url;
    if (!c.ours) continue;
    EXPECT_STREQ(c.folder, t.folder) << c.url;
    EXPECT_EQ(c.number, t.number) << c.url;
  }
  LinkTarget t{};
  EXPECT_FALSE(ParseProgramLink(("pl:" + std::string(120, 'a')).c_str(), &t)) << "a name longer than a folder name";
}

}  // namespace
