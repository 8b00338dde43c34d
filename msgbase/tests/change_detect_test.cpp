#include "msgbase/change_detect.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/user_folders.h"

namespace {

// Moves a file's time by whole minutes, so no test depends on the clock.
void ShiftTime(const std::string& path, int minutes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME t;
  GetFileTime(h, nullptr, nullptr, &t);
  ULARGE_INTEGER v = {{t.dwLowDateTime, t.dwHighDateTime}};
  v.QuadPart += static_cast<ULONGLONG>(minutes) * 60 * 10000000;
  t.dwLowDateTime = v.LowPart;
  t.dwHighDateTime = v.HighPart;
  SetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);
}

class ChangeDetection : public DataDirTest {
 protected:
  void TearDown() override {
    CurrentFolder.Detach();
    Conferences.SetSize(0);
    DataDirTest::TearDown();
  }
};

struct StartRecord {
  std::vector<std::string> lines;
  std::vector<UINT> shows;
  UINT result = 33;
};
StartRecord& Started() {
  static StartRecord record;
  return record;
}

class ImportProgramStart : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    Started() = StartRecord{};
    saved_ = g_importProgram;
    g_importProgram.start = [](const char* line, UINT show) {
      Started().lines.push_back(line);
      Started().shows.push_back(show);
      return Started().result;
    };
    lstrcpynA(g_app.userName, "Ann Smith", sizeof g_app.userName);
  }
  void TearDown() override {
    g_importProgram = saved_;
    g_app.userName[0] = 0;
    DataDirTest::TearDown();
  }
  std::string ProgramDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *(std::strrchr(path, '\\') + 1) = 0;
    return path;
  }
  ImportProgramSeam saved_;
};

}  // namespace

TEST_F(ChangeDetection, MarkerTestsReportUntilTheirReaderTakesTheNewTime) {
  struct Case {
    const char* file;
    int (*test)();
    void (*remember)(time_t);
  } cases[] = {
      {"confnew.ww", confchanged, [](time_t t) { g_userMergeConfnewTime = t; }},
      {"moderate.ww", modchanged, [](time_t t) { g_moderateTime = t; }},
  };
  for (auto& c : cases) {
    std::string path = Path(c.file);
    c.remember(-1);
    EXPECT_EQ(c.test(), 0) << c.file;  // missing, and remembered as missing
    WriteWholeFile(path, "");
    EXPECT_EQ(c.test(), 1) << c.file;
    EXPECT_EQ(c.test(), 1) << c.file;  // until the reader runs
    c.remember(filetime(path.c_str()));
    EXPECT_EQ(c.test(), 0) << c.file;
    ShiftTime(path, 5);
    EXPECT_EQ(c.test(), 1) << c.file;
    c.remember(filetime(path.c_str()));
    DeleteFileA(path.c_str());
    EXPECT_EQ(c.test(), 1) << c.file;  // gone counts as a change too
  }
}

TEST_F(ChangeDetection, LogChangeIsReportedOnceForTheOpenTopic) {
  EXPECT_EQ(logchanged(), 0);  // no topic open
  WriteWholeFile(Path("topic.log"), "");
  ConfRec rec = MakeConf("quorl:conf/topic", "topic.log");
  Conferences.Append(&rec);
  CurrentFolder.Seek(Conferences, 0);
  g_logTime = filetime(Path("topic.log").c_str());
  EXPECT_EQ(logchanged(), 0);
  ShiftTime(Path("topic.log"), 3);
  EXPECT_EQ(logchanged(), 1);
  EXPECT_EQ(logchanged(), 0);
  EXPECT_EQ(g_logTime, filetime(Path("topic.log").c_str()));
}

TEST_F(ImportProgramStart, CommandLineQuotesTheUserAndFollowsTheSetting) {
  g_user.importToForeground = 0;
  RunImportProgram();
  g_user.importToForeground = 1;
  RunImportProgram();
  std::string expected = ProgramDir() + "import32.exe \"Ann Smith\"";
  EXPECT_EQ(Started().lines, (std::vector<std::string>{expected, expected}));
  EXPECT_EQ(Started().shows, (std::vector<UINT>{SW_SHOWMINNOACTIVE, SW_SHOWNORMAL}));
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(ImportProgramStart, StartResultsBelow32OtherThan16AreReported) {
  struct Case {
    UINT result;
    bool reported;
  } cases[] = {{33, false}, {32, false}, {16, false}, {2, true}, {0, true}, {31, true}};
  for (auto& c : cases) {
    Recorded().boxes.clear();
    Started().result = c.result;
    EXPECT_EQ(RunImportProgram(), c.result);
    if (!c.reported) {
      EXPECT_TRUE(Recorded().boxes.empty()) << c.result;
      continue;
    }
    ASSERT_EQ(Recorded().boxes.size(), 1u) << c.result;
    EXPECT_EQ(Recorded().boxes[0],
              "WinExec(" + ProgramDir() + "import32.exe \"Ann Smith\") error " + std::to_string(c.result));
  }
}

TEST_F(ImportProgramStart, RunningImportProgramIsNotStartedAgain) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PLCheckClass";
  RegisterClassA(&wc);
  HWND running = CreateWindowA("PLCheckClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(RunImportProgram(), reinterpret_cast<uintptr_t>(running));
  EXPECT_TRUE(Started().lines.empty());
  DestroyWindow(running);
}
