#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"

TEST(TempDir, HoldsFilesAndGoesWithThem) {
  std::string kept;
  {
    testfs::TempDir dir("support");
    kept = dir.path();
    ASSERT_TRUE(testfs::FileExists(kept));
    std::string bytes("a\0b\r\n", 5);
    ASSERT_TRUE(dir.MakeDir("sub"));
    ASSERT_TRUE(dir.Write("sub/file.bin", bytes));
    EXPECT_EQ(dir.Read("sub/file.bin"), bytes);
    testfs::TempDir other("support");
    EXPECT_NE(other.path(), dir.path());
  }
  EXPECT_FALSE(testfs::FileExists(kept));
  EXPECT_EQ(testfs::ReadWholeFile(kept + "missing"), "");
}
