#include "browser/name_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NameText, MakeSafeFileName) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Net:Comp.Lang C/All", "net_comp.lang c_all"},
      {"a*b?c\"d<e>f|g\\h", "a_b_c_d_e_f_g_h"},
      {"keep $%'-_@~`!()^#&. these", "keep $%'-_@~`!()^#&. these"},
      {"del\x7F", "del\x7F"},
      {"\xC9t\xE9", "\xE9t\xE9"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string name = c.in;
    MakeSafeFileName(name.data());
    EXPECT_EQ(c.out, name) << c.in;
  }
}

TEST(NameText, HasUpperCase) {
  EXPECT_TRUE(HasUpperCase("John_Smith"));
  EXPECT_TRUE(HasUpperCase("\xC9"));
  EXPECT_FALSE(HasUpperCase("john_smith@x.org"));
  EXPECT_FALSE(HasUpperCase(""));
}

}  // namespace
