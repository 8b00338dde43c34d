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

namespace {

TEST(BrowserLinkText, CodeOrTextWithItsRewrites) {
  struct Case {
    const char* code;
    const char* text;
    bool follows;
    const char* link;
  } cases[] = {
      {"", "_", false, ""},
      {"", "http://example.org/", true, "http://example.org/"},
      {"HREF=\"http://a.org/x\"", "shown", true, "http://a.org/x"},
      {"href=\"pl:net:comp/x#3\" target=\"_top\"", "", true, "pl:net:comp/x#3 target=_top"},
      {"FILE://C:\\My Files\\a.txt", "", true, "FILE://\"C:\\My Files\\a.txt\""},
      {"file://\"C:\\a b.txt\"", "", true, "file://\"C:\\a b.txt\""},
      {"PL://local:notes/demo#4", "_", true, "PL://local:notes/demo#4"},
  };
  for (const Case& c : cases) {
    char out[300] = "";
    EXPECT_EQ(c.follows, BrowserLinkText(c.code, c.text, out, sizeof out)) << c.code << "|" << c.text;
    if (c.follows) {
      EXPECT_STREQ(c.link, out);
    }
  }
  char small[8];
  EXPECT_FALSE(BrowserLinkText("http://too.long/", "", small, sizeof small));
}

TEST(SnapSplitY, WholeLinesBetweenTheHeaderAndTheBottom) {
  struct Case {
    int y, expected;
  } cases[] = {
      {100, 100},   // header 20 + 5 lines of 16
      {107, 100},   // rounds down below half a line
      {108, 116},   // and up from half a line
      {0, 36},      // at least one line below the header
      {40000, 36},  // a position above the window counts as 1
      {1000, 372},  // the lowest whole line with a line below it
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, SnapSplitY(c.y, 0, 20, 16, 400)) << c.y;
}

}  // namespace

namespace {

TEST(GotoInputNumber, TakesTheFirstNumber) {
  struct Case {
    const char* text;
    long number;
  } cases[] = {{"12 of 34", 12}, {"#0", 0}, {"", 0}, {"  #57", 57}, {"no digits", 0}, {"123456789012", 0}};
  for (const Case& c : cases) EXPECT_EQ(c.number, GotoInputNumber(c.text)) << c.text;
}

TEST(FirstHashNumber, TakesTheNumberAfterTheFirstHashThatADigitFollows) {
  struct Case {
    std::string text;
    long number;
  } cases[] = {{"See # 3 and #45, then #6", 45}, {"ends in #", 0},      {"#0 first", 0},
               {std::string("nul\0#12", 7), 12}, {"#1234567890123", 0}, {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(c.number, FirstHashNumber(c.text.data(), c.text.size())) << c.text;
  EXPECT_EQ(4, FirstHashNumber("#45", 2)) << "stops at the length";
}

}  // namespace
