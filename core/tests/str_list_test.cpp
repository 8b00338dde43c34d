#include "core/str_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(StrList, AddFormatWriteAndClear) {
  CStrList list;
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.add("first"), 0);
  EXPECT_EQ(list.add(""), 0);
  EXPECT_EQ(list.addf("To: %s", "ann@example.com"), 0);
  EXPECT_EQ(list.addf("Body: %ld", 1234L), 0);
  ASSERT_EQ(list.count(), 4);
  EXPECT_STREQ(list.get(0), "first");
  EXPECT_STREQ(list.get(1), "");
  EXPECT_STREQ(list.get(2), "To: ann@example.com");
  EXPECT_STREQ(list.get(3), "Body: 1234");
  EXPECT_EQ(list.get(4), nullptr);
  EXPECT_EQ(list.get(-1), nullptr);

  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(list.write(file, "Line"), 0);
  std::rewind(file);
  char text[256] = "";
  size_t n = std::fread(text, 1, sizeof text - 1, file);
  text[n] = 0;
  std::fclose(file);
  EXPECT_STREQ(text, "Line: first\r\nLine: \r\nLine: To: ann@example.com\r\nLine: Body: 1234\r\n");

  list.clear();
  EXPECT_EQ(list.count(), 0);
  list.add("again");
  EXPECT_STREQ(list.get(0), "again");
}

TEST(StrList, LongLinesAreCutNeverOverrun) {
  CStrList list;
  std::string longLine(10000, 'x');
  list.add(longLine.c_str());
  list.addf("%s", longLine.c_str());
  list.add(std::string(CStrList::kLineMax, 'y').c_str());
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(std::string(list.get(0)), std::string(CStrList::kLineMax, 'x'));
  EXPECT_EQ(std::string(list.get(1)), std::string(CStrList::kLineMax, 'x'));
  EXPECT_EQ(std::string(list.get(2)), std::string(CStrList::kLineMax, 'y'));
}

TEST(StrList, ManyLinesKeepTheirOrderAcrossChunks) {
  CStrList list;
  for (long i = 0; i < 200; ++i) list.addf("line %ld", i);
  ASSERT_EQ(list.count(), 200);
  for (int i : {0, 14, 15, 16, 99, 199}) EXPECT_EQ(std::string(list.get(i)), "line " + std::to_string(i)) << i;
}
