#include "browser/acronyms.h"

#include <gtest/gtest.h>

namespace {

TEST(Acronyms, LooksUpWordsCaseSensitivelyAndTheLaterLineWins) {
  const std::string file =
      "FAQ\tFrequently asked questions\r\n"
      "IMHO in my humble opinion\r\n"
      "faq lower case\r\n"
      "EMPTY   \r\n"
      "FAQ Asked again and again\r\n"
      "FAQS plural\n" +
      std::string("LONG ") + std::string(300, 'x');
  struct Case {
    const char* word;
    std::string text;
  } cases[] = {
      {"FAQ", "Asked again and again"},
      {"faq", "lower case"},
      {"IMHO", "in my humble opinion"},
      {"EMPTY", ""},
      {"FA", ""},
      {"", ""},
      {"LONG", std::string(195, 'x')},  // lines are read up to 200 characters
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, LookupAcronym(file, c.word)) << c.word;
}

}  // namespace
