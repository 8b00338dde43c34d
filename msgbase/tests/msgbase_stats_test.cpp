#include "msgbase/msgbase_stats.h"

#include <gtest/gtest.h>

namespace {

TEST(Stats, IndexHeadInBothCountForms) {
  const unsigned char narrow[] = {0xFF, 0x2A, 3, 0, 0, 0, 9, 0, 0, 0, 7, 0};
  IndexHead head;
  ASSERT_TRUE(ReadIndexHead(narrow, sizeof narrow, &head));
  EXPECT_EQ(head.first, 3);
  EXPECT_EQ(head.last, 9);
  EXPECT_EQ(head.count, 7u);
  const unsigned char wide[] = {0xFF, 0x2A, 1, 0, 0, 0, 0x40, 0x42, 0x0F, 0, 0xFF, 0xFF, 0x40, 0x42, 0x0F, 0};
  ASSERT_TRUE(ReadIndexHead(wide, sizeof wide, &head));
  EXPECT_EQ(head.count, 1000000u);
  EXPECT_FALSE(ReadIndexHead(wide, 13, &head));
  EXPECT_FALSE(ReadIndexHead(narrow, 11, &head));
}

TEST(Stats, SmallFoldersCountAsOneKAndTotalsAddUp) {
  EXPECT_EQ(StatsLine("quorl:chat/general", 1, 10, 10, CountedFolderBytes(10)), "quorl:chat/general\t1\t10\t10\t1");
  EXPECT_EQ(CountedFolderBytes(0), 1024u);
  EXPECT_EQ(CountedFolderBytes(1025), 1025u);
  StatsTotals totals;
  totals.Add(CountedFolderBytes(0), 0);  // a folder whose files are missing still counts
  totals.Add(CountedFolderBytes(4096), 12);
  EXPECT_EQ(totals.folders, 2);
  EXPECT_EQ(totals.bytes / 1024, 5u);
  EXPECT_EQ(totals.messages, 12);
}

}  // namespace
