#include "core/paths.h"

#include <gtest/gtest.h>

#include <string>

TEST(JoinPath, OneSeparatorBetweenParts) {
  struct Case {
    std::initializer_list<const char*> parts;
    const char* joined;
  } cases[] = {
      {{"C:\\data\\", "import.dat"}, "C:\\data\\import.dat"},
      {{"C:\\data", "import.dat"}, "C:\\data\\import.dat"},
      {{"C:\\data\\", "dvn", "dvn.cnf"}, "C:\\data\\dvn\\dvn.cnf"},
      {{"C:", "x"}, "C:x"},
      {{"data/", "x"}, "data/x"},
      {{"", "import.dat"}, "import.dat"},
      {{"C:\\data\\", nullptr, "", "x"}, "C:\\data\\x"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    char out[64] = "junk";
    EXPECT_TRUE(JoinPath(out, sizeof out, c.parts)) << c.joined;
    EXPECT_STREQ(out, c.joined);
  }
}

TEST(JoinPath, RefusesWhatDoesNotFit) {
  // Exactly full (with its terminator) fits; one byte more, at a part or at
  // the added separator, is refused with nothing left in the buffer.
  char out[8];
  EXPECT_TRUE(JoinPath(out, sizeof out, {"abc", "def"}));
  EXPECT_STREQ(out, "abc\\def");
  EXPECT_FALSE(JoinPath(out, sizeof out, {"abc", "defg"}));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(JoinPath(out, sizeof out, {"abcdefg", "x"}));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(JoinPath(out, sizeof out, {"abcdefgh"}));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(JoinPath(out, 0, {"a"}));
}
