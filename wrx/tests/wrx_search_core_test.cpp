#include "wrx/wrx_search_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace wrxsearch;

TEST(WrxSearchCore, ForwardMatchesByCaseAndWholeWord) {
  struct Case {
    const char* text;
    const char* pattern;
    bool matchCase, wholeWord;
    long expected;
  } cases[] = {
      {"xx ABC yy", "abc", false, false, 3},
      {"xx ABC yy", "abc", true, false, -1},
      {"the band, an", "an", false, true, 10},
      {"band an,", "an", false, true, 5},
      {"an1x", "an", false, true, 0},  // a digit is a delimiter
      {"x\x15"
       "an",
       "an", false, true, 2},  // after a paragraph end
      {"abab", "bab", true, false, 1},
      {"ab", "abc", true, false, -1},
      {"\xE9t\xC9", "\xC9", false, false, 2},  // only A-Z fold
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
    Options o;
    o.matchCase = c.matchCase, o.wholeWord = c.wholeWord;
    EXPECT_EQ(FindForward(c.text, strlen(c.text), 0, strlen(c.text), c.pattern, strlen(c.pattern), o), c.expected);
  }
}

TEST(WrxSearchCore, LimitsBoundWhereAMatchMayBeginAndEnd) {
  const char* t = "ab ab ab";
  Options o;
  EXPECT_EQ(FindForward(t, 8, 1, 8, "ab", 2, o), 3);
  EXPECT_EQ(FindForward(t, 8, 0, 3, "ab", 2, o), 0);
  EXPECT_EQ(FindForward(t, 8, 1, 3, "ab", 2, o), -1);
  EXPECT_EQ(FindBackward(t, 8, 0, 8, 8, "ab", 2, o), 6);
  EXPECT_EQ(FindBackward(t, 8, 0, 8, 5, "ab", 2, o), 3);
  EXPECT_EQ(FindBackward(t, 8, 4, 8, 5, "ab", 2, o), -1);
}
