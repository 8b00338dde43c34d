#include "msgbase/thread_ids.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "msgbase/tests/conf_test_util.h"

namespace {

std::vector<int32_t> Ids(VirtualArray& list) {
  std::vector<int32_t> out;
  for (int i = 0; i < list.Count(); ++i) {
    int32_t v;
    std::memcpy(&v, list.At(i), 4);
    out.push_back(v);
  }
  return out;
}

TEST(ThreadIdList, AddsOnceRemovesWhenPresentAndOrdersAsSignedNumbers) {
  ThreadIds.SetSize(0);
  for (int32_t id : {5, 1, 9, 5, INT32_MIN, -3, 9}) EXPECT_EQ(ThreadIdSet(id, 1), 1);
  EXPECT_EQ(Ids(ThreadIds), (std::vector<int32_t>{INT32_MIN, -3, 1, 5, 9}));
  ThreadIdSet(4, 0);
  ThreadIdSet(100, 0);
  EXPECT_EQ(Ids(ThreadIds), (std::vector<int32_t>{INT32_MIN, -3, 1, 5, 9}));
  ThreadIdSet(1, 0);
  ThreadIdSet(9, 0);
  ThreadIdSet(INT32_MIN, 0);
  EXPECT_EQ(Ids(ThreadIds), (std::vector<int32_t>{-3, 5}));
  ThreadIds.SetSize(0);
}

TEST(ThreadIdFile, ReadsSortedAndWritesOneIdALine) {
  VirtualArray list("t", 4, CompareThreadIds);
  FILE* f = StreamOf("42\n-7\r\n\n2147483647\n3 \n");
  ASSERT_TRUE(ReadThreadIdLines(f, list, nullptr));
  std::fclose(f);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{-7, 3, 42, INT32_MAX}));
  FILE* out = std::tmpfile();
  ASSERT_TRUE(WriteThreadIdLines(out, list, nullptr));
  EXPECT_EQ(ContentsOf(out), "-7\n3\n42\n2147483647\n");
  std::fclose(out);
}

TEST(ThreadIdFile, LinesThatAreNotIdsRefuseTheWholeFile) {
  for (const char* bytes : {"1\nabc\n2\n", "12x\n", "99999999999\n", "-2147483649\n"}) {
    VirtualArray list("t", 4, CompareThreadIds);
    int32_t old = 5;
    list.Append(&old);
    FILE* f = StreamOf(bytes);
    EXPECT_FALSE(ReadThreadIdLines(f, list, nullptr)) << bytes;
    EXPECT_EQ(list.Count(), 0) << bytes;
    std::fclose(f);
  }
}

}  // namespace
