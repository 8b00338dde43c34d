#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"
#include "tests/support/png.h"

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

// The picture is what a viewer reads back: signature, size, the stored
// rows behind each filter byte, and sums a reader checks.
TEST(Png, StoresTheRowsAReaderExpects) {
  testfs::TempDir dir("png");
  std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_TRUE(testfs::WritePng(dir.Path("p.png"), 2, 2, rgb));
  EXPECT_FALSE(testfs::WritePng(dir.Path("bad.png"), 3, 2, rgb));
  std::string png = dir.Read("p.png");
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x02\0\0\0\x02", 8));
  // IHDR's CRC over "IHDR" and its 13 bytes.
  EXPECT_EQ(png.substr(29, 4), std::string("\xfd\xd4\x9a\x73", 4));
  size_t idat = png.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  // zlib header, one final stored block of 14 bytes, the rows, Adler-32.
  std::string stored = png.substr(idat + 4, 2 + 5 + 14 + 4);
  std::string rows("\0\x01\x02\x03\x04\x05\x06\0\x07\x08\x09\x0a\x0b\x0c", 14);
  EXPECT_EQ(stored.substr(0, 7), std::string("\x78\x01\x01\x0e\x00\xf1\xff", 7));
  EXPECT_EQ(stored.substr(7, 14), rows);
  EXPECT_EQ(stored.substr(21, 4), std::string("\x01\x8f\x00\x4f", 4));
  EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}
