#include <gtest/gtest.h>
#include <windows.h>

#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/thread_ids.h"

namespace {

using ThreadIdFiles = DataDirTest;

TEST_F(ThreadIdFiles, LoadChangeAndSaveInOrder) {
  WriteWholeFile(Path("lib.tid"), "30\n10\n-5\n");
  ASSERT_EQ(LoadThreadIds(Path("lib.tid").c_str()), 1);
  ThreadIdSet(20, 1);
  ThreadIdSet(30, 0);
  ASSERT_EQ(SaveThreadIds(), 1);
  EXPECT_EQ(ThreadIds.Count(), 0);
  EXPECT_EQ(ReadWholeFile(Path("lib.tid")), "-5\n10\n20\n");
  EXPECT_FALSE(FileExists(Path("lib.new")));
  ASSERT_EQ(LoadThreadIds(Path("lib.tid").c_str()), 1);
  ThreadIds.SetSize(0);
  ASSERT_EQ(SaveThreadIds(), 1);
  EXPECT_EQ(ReadWholeFile(Path("lib.tid")), "");
}

TEST_F(ThreadIdFiles, MissingAndDamagedFiles) {
  EXPECT_EQ(LoadThreadIds(Path("none.tid").c_str()), 0);
  EXPECT_TRUE(Recorded().boxes.empty());
  EXPECT_EQ(ThreadIds.Count(), 0);

  WriteWholeFile(Path("bad.tid"), "1\nnot a number\n");
  EXPECT_EQ(LoadThreadIds(Path("bad.tid").c_str()), 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("damaged"), std::string::npos);
  // The damaged file is not replaced by what is left in memory.
  ThreadIdSet(7, 1);
  EXPECT_EQ(SaveThreadIds(), 0);
  EXPECT_EQ(ReadWholeFile(Path("bad.tid")), "1\nnot a number\n");
  ThreadIds.SetSize(0);
}

}  // namespace
