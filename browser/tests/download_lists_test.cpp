#include "browser/download_lists.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadLists, DownloadedFilesOfTheFolder) {
  const std::string files = "forum/L3 data.zip\r\nFORUM/l3 tool.exe\r\nforum/L4 other.zip\r\nbroken\r\n";
  EXPECT_EQ((std::vector<std::string>{"data.zip", "tool.exe"}), ReadDownloadedFiles(files, "forum/L3"));
  EXPECT_TRUE(ReadDownloadedFiles(files, "forum/L9").empty());
}

TEST(DownloadLists, QueuedDownloadsFromActionLines) {
  const std::string actions =
      ";-; id:\tdemo type:\tscript script:\tDownload file priority:\t50 #:\tforum/L3 #:\tbig.zip extra\r\n"
      ";#; id:\tdemo type:\tscript script:\tdownload file priority:\t50 #:\tforum/S3 #:\tnotes.txt\r\n"
      ";-; id:\tdemo type:\tscript script:\tdownload file priority:\t50 #:\tforum/L33 #:\tnot.this\r\n"
      ";-; id:\tdemo type:\tscript script:\tFetch full message #:\tforum/L3 #:\tno.zip\r\n"
      "DownloadFile\r\n";
  EXPECT_EQ((std::vector<std::string>{"big.zip", "notes.txt"}), ReadQueuedDownloads(actions, "forum/L3", "forum/S3"));
}

TEST(DownloadLists, NamesMatchWhole) {
  const std::vector<std::string> list = {"data.zip", "Tool.EXE"};
  EXPECT_TRUE(ListHoldsName(list, "tool.exe"));
  EXPECT_FALSE(ListHoldsName(list, "a.zip")) << "a name inside another does not count";
  EXPECT_FALSE(ListHoldsName(list, "data"));
}

}  // namespace
