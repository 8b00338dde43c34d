#include "core/debuglog.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "core/fileio.h"
#include "core/tests/ui_recorder.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteSize(const std::string& path, long size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (size > 0) {
    std::fseek(f, size - 1, SEEK_SET);
    std::fputc('x', f);
  }
  std::fclose(f);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The log lives in the root of the current drive: these tests run on C:, the
// throw-away drive of the test prefix.
class DebugLogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    GetCurrentDirectoryA(sizeof saved_, saved_);
    CreateDirectoryA("C:\\pltest", nullptr);
    SetCurrentDirectoryA("C:\\pltest");
    DeleteFileA("C:\\debug.txt");
    dir_ = MakeTempDir("log");
    std::strcpy(g_app.dataDir, dir_.c_str());
  }
  void TearDown() override {
    g_app.debugLog = false;
    DeleteFileA("C:\\debug.txt");
    SetCurrentDirectoryA(saved_);
    UiTest::TearDown();
  }
  char saved_[MAX_PATH];
  std::string dir_;
};

}  // namespace

TEST_F(DebugLogTest, OffWritesNothing) {
  g_app.debugLog = false;
  DebugLog("nothing\n");
  DebugLogF("nothing %d\n", 1);
  EXPECT_FALSE(Exists("C:\\debug.txt"));
}

TEST_F(DebugLogTest, LineFormatAndFixedLocation) {
  g_app.debugLog = true;
  DebugLog("first line\n");
  DebugLogF("value=%d, %s\n", 42, "text");
  std::string where = DebugLogPath();
  EXPECT_EQ(lstrcmpiA(where.c_str(), "C:\\debug.txt"), 0);
  // Moving to another drive later does not move the log.
  SetCurrentDirectoryA(dir_.c_str());
  DebugLog("third\n");
  std::string log = ReadAll("C:\\debug.txt");
  std::regex line(R"((\d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d:\d\d) (.*))");
  std::istringstream lines(log);
  std::string l;
  std::vector<std::string> texts;
  while (std::getline(lines, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, line)) << l;
    EXPECT_EQ(m[1].length(), 20);
    texts.push_back(m[3]);
  }
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "first line");
  EXPECT_EQ(texts[1], "value=42, text");
  EXPECT_EQ(texts[2], "third");
}

TEST_F(DebugLogTest, LineIsLostSilentlyWhileTheLogIsHeld) {
  g_app.debugLog = true;
  DebugLog("before\n");
  int fd = _sopen("C:\\debug.txt", _O_WRONLY, _SH_DENYRW, 0);
  ASSERT_GE(fd, 0);
  DebugLog("while held\n");
  _close(fd);
  EXPECT_EQ(ReadAll("C:\\debug.txt").find("while held"), std::string::npos);
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(DebugLogTest, LargeReportFilesAreOfferedAboveTheirThreshold) {
  g_app.debugLog = false;
  WriteSize("C:\\debug.txt", 5000000);
  WriteSize(dir_ + "import.log", 1000001);
  WriteSize(dir_ + "postits.log", 1000000);
  Recorded().answer = IDYES;
  CheckLogSizes();
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("'IMPORT.LOG'"), std::string::npos);
  EXPECT_FALSE(Exists(dir_ + "import.log"));
  EXPECT_TRUE(Exists("C:\\debug.txt"));
  EXPECT_TRUE(Exists(dir_ + "postits.log"));

  WriteSize("C:\\debug.txt", 5000001);
  Recorded().answer = IDNO;
  CheckLogSizes();
  ASSERT_EQ(Recorded().boxes.size(), 2u);
  EXPECT_NE(Recorded().boxes[1].find("'DEBUG.TXT'"), std::string::npos);
  EXPECT_TRUE(Exists("C:\\debug.txt"));  // the user said No
  EXPECT_EQ(OpenFileCount(), 0);
}
