#include "core/password_scramble.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
std::string Scramble(const std::string& plain) {
  char out[300];
  ScrambleIniPassword(plain.c_str(), out, sizeof out);
  return out;
}
std::string Unscramble(const std::string& stored) {
  char out[300];
  UnscrambleIniPassword(stored.c_str(), out, sizeof out);
  return out;
}
}  // namespace

TEST(PasswordScramble, KnownForms) {
  struct Case {
    const char* plain;
    const char* stored;
  } cases[] = {
      {"", "$"},
      // '!' + 'K' - 33 = 'K'; '~' + 'E' - 33 = 162, less 94 = 'D'.
      {"!~", "$KD"},
      // A blank passes unchanged but uses up its key letter.
      {"a b", "$- /"},
      // The eleventh character uses the first key letter again.
      {"!!!!!!!!!!!", "$KELPAVRONUK"},
      {"\x7f\x01\xe9", "$\x7f\x01\xe9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Scramble(c.plain), c.stored) << c.plain;
    EXPECT_EQ(Unscramble(c.stored), c.plain) << c.plain;
  }
}

TEST(PasswordScramble, EveryPrintablePasswordRoundTrips) {
  std::string all;
  for (int c = 32; c <= 126; ++c) all += static_cast<char>(c);
  for (size_t start = 0; start < all.size(); ++start) {
    std::string plain = all.substr(start) + all.substr(0, start);
    std::string stored = Scramble(plain);
    ASSERT_EQ(stored.size(), plain.size() + 1);
    ASSERT_EQ(stored[0], '$');
    for (char c : stored.substr(1)) ASSERT_TRUE((c >= 33 && c <= 126) || c == ' ');
    ASSERT_EQ(Unscramble(stored), plain) << start;
  }
}

TEST(PasswordScramble, OlderAndPlainForms) {
  EXPECT_EQ(Unscramble(""), "");
  EXPECT_EQ(Unscramble("secret"), "secret");
  // The older form: c + 32 - key, plus 95 below 32.
  EXPECT_EQ(Unscramble("!KE"), "  ");
  EXPECT_EQ(Unscramble("!k"), "@");
  EXPECT_EQ(Unscramble("!*"), "^");  // 42 + 32 - 75 is below 32: plus 95
}

TEST(PasswordScramble, ABufferTooSmallGetsNothingAndNothingPastIt) {
  struct {
    char out[4];
    char guard[4];
  } b;
  std::memset(&b, '#', sizeof b);
  EXPECT_TRUE(ScrambleIniPassword("ab", b.out, sizeof b.out));  // "$" + 2 + NUL fits exactly
  EXPECT_EQ(std::strlen(b.out), 3u);
  EXPECT_FALSE(ScrambleIniPassword("abc", b.out, sizeof b.out));
  EXPECT_STREQ(b.out, "");
  EXPECT_TRUE(UnscrambleIniPassword("$KE", b.out, sizeof b.out));
  EXPECT_FALSE(UnscrambleIniPassword("long", b.out, sizeof b.out));
  EXPECT_STREQ(b.out, "");
  EXPECT_FALSE(UnscrambleIniPassword("$KELP", b.out, sizeof b.out));
  EXPECT_EQ(std::string(b.guard, 4), "####");
}
