#include "core/rights.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// A "security.ww" made by the test.
unsigned long RightsOf(const std::string& fileText, const char* user) {
  FILE* file = std::tmpfile();
  std::fputs(fileText.c_str(), file);
  std::rewind(file);
  unsigned long word = ReadUserRightsFrom(file, user);
  std::fclose(file);
  return word;
}

struct RightsGuard {
  ~RightsGuard() { g_userRights = UserRights(); }
};

}  // namespace

TEST(Rights, ReadFromSecurityFile) {
  struct Case {
    const char* file;
    const char* user;
    unsigned long word;
  } cases[] = {
      {"default 0x8001\n", "anyone", 0x8001},
      {"default 0x8001\njoe 255\n", "JOE", 255},
      {"default 0x8001\njoe 255\n", "ann", 0x8001},
      {"joe 0x20\ndefault 0x8001\n", "joe", 0x20},
      {"default 1\ndefault 2\n", "ann", 2},      // the last default wins
      {"joe 7\n", "joe smith", RIGHTS_DEFAULT},  // a name with a blank never matches
      {"", "joe", RIGHTS_DEFAULT},
      {"ann 0xFFFF\njoe\n", "joe", RIGHTS_DEFAULT},  // no number: not ann's rights
      {"ann 0xFFFF\njoe abc\n", "joe", RIGHTS_DEFAULT},
      {"default 4\r\njoe 0x10\r\n", "joe", 0x10},
  };
  for (const Case& c : cases) EXPECT_EQ(RightsOf(c.file, c.user), c.word) << c.file << " / " << c.user;
  EXPECT_EQ(ReadUserRightsFrom(nullptr, "joe"), RIGHTS_DEFAULT);
}

TEST(Rights, OverlongLineTailIsNotALine) {
  // The tail of a line beyond 199 characters must not be read as a line of
  // its own, or anybody could write themselves a rights line into a comment.
  std::string file = "note " + std::string(194, 'x') + "mallory 0xFFFFFFFF\nmallory 1\n";
  EXPECT_EQ(RightsOf(file, "mallory"), 1u);
}

TEST(Rights, HasRightHonoursModesAndSwitches) {
  RightsGuard guard;
  g_userRights.word = RIGHT_CONNECT | RIGHT_PRUNE;
  EXPECT_TRUE(HasRight(RIGHT_CONNECT));
  EXPECT_TRUE(HasRight(RIGHT_CONNECT | RIGHT_PRUNE));
  EXPECT_FALSE(HasRight(RIGHT_CONNECT | RIGHT_REINDEX));  // every bit must be held
  EXPECT_FALSE(HasRight(RIGHT_REVIEW));
  EXPECT_FALSE(HasRight(RIGHT_MODERATOR));

  unsigned allReview = 1, openModerators = 1;
  g_userRights.allReview = &allReview;
  g_userRights.openModerators = &openModerators;
  EXPECT_TRUE(HasRight(RIGHT_REVIEW));
  EXPECT_TRUE(HasRight(RIGHT_MODERATOR));
  EXPECT_TRUE(HasRight(RIGHT_OPEN_MODERATORS));
  EXPECT_FALSE(HasRight(RIGHT_ADMINISTRATOR));
  allReview = openModerators = 0;
  EXPECT_FALSE(HasRight(RIGHT_REVIEW));
  EXPECT_FALSE(HasRight(RIGHT_MODERATOR));

  g_userRights.administratorMode = true;
  for (int bit = 0; bit < 32; ++bit) EXPECT_TRUE(HasRight(1UL << bit)) << bit;
}
