#include "core/fileio.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/tests/ui_recorder.h"

namespace {

std::string HelperPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *std::strrchr(path, '\\') = 0;
  return std::string(path) + "\\filehold.exe";
}

void Touch(const std::string& path, const char* text = "x") {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs(text, f);
  std::fclose(f);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Starts the holder and waits until it really holds the file.
PROCESS_INFORMATION HoldInOtherProcess(const std::string& path, int ms, const char* mode) {
  std::string command = "\"" + HelperPath() + "\" \"" + path + "\" " + std::to_string(ms) + " " + mode;
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  EXPECT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  // A loaded machine may take seconds to start the other process; the hold
  // only begins once it has the file.
  bool held = false;
  for (int i = 0; i < 1500 && !held; ++i) {
    int fd = _sopen(path.c_str(), _O_RDONLY, _SH_DENYNO, 0);
    held = fd < 0 && errno == EACCES;
    if (fd >= 0) _close(fd);
    if (!held) Sleep(20);
  }
  EXPECT_TRUE(held) << "the other process never held " << path;
  return pi;
}

void Reap(PROCESS_INFORMATION& pi) {
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

class FileIo : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dir_ = MakeTempDir("fileio");
    std::strcpy(g_app.dataDir, dir_.c_str());
  }
  std::string dir_;
};

}  // namespace

TEST_F(FileIo, ShareModesFromLockBits) {
  std::string path = dir_ + "shared.dat";
  Touch(path);
  struct Case {
    int lock;
    bool otherCanRead;
    bool otherCanWrite;
  } cases[] = {
      {0, true, true},
      {LOCK_DENY_WRITE, true, false},
      {LOCK_DENY_READ, false, true},
      {LOCK_EXCLUSIVE, false, false},
  };
  for (auto& c : cases) {
    FILE* f = fileopen(path.c_str(), _O_RDONLY | _O_BINARY, "rb", c.lock);
    ASSERT_NE(f, nullptr) << c.lock;
    int r = _sopen(path.c_str(), _O_RDONLY, _SH_DENYNO, 0);
    EXPECT_EQ(r >= 0, c.otherCanRead) << c.lock;
    if (r >= 0) _close(r);
    int w = _sopen(path.c_str(), _O_WRONLY, _SH_DENYNO, 0);
    EXPECT_EQ(w >= 0, c.otherCanWrite) << c.lock;
    if (w >= 0) _close(w);
    fileclose(f);
  }
  EXPECT_EQ(OpenFileCount(), 0);
}

TEST_F(FileIo, WaitsForAnotherProcessToLetGo) {
  std::string path = dir_ + "conf.ww";
  Touch(path);
  auto holder = HoldInOtherProcess(path, 2500, "excl");
  DWORD start = GetTickCount();
  FILE* f = fopen_rw(path.c_str(), FO_BINARY);
  DWORD waited = GetTickCount() - start;
  ASSERT_NE(f, nullptr);
  fileclose(f);
  Reap(holder);
  EXPECT_GE(waited, 1000u);  // it had to retry
  EXPECT_TRUE(Recorded().boxes.empty());
  ASSERT_FALSE(Recorded().status.empty());
  EXPECT_EQ(Recorded().status.back(), "");  // the status text is cleared
}

TEST_F(FileIo, TemporaryOpenOfAHeldFileFailsAtOnceAndKeepsIt) {
  std::string path = dir_ + "held.tmp";
  Touch(path);
  auto holder = HoldInOtherProcess(path, 1500, "excl");
  DWORD start = GetTickCount();
  EXPECT_EQ(fopen_rtemp(path.c_str(), 0), nullptr);
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_TRUE(Recorded().boxes.empty());
  Reap(holder);
  EXPECT_TRUE(Exists(path));
}

TEST_F(FileIo, MissingFilesAreQuiet) {
  std::string path = dir_ + "missing.txt";
  EXPECT_EQ(fopen_r(path.c_str(), 0), nullptr);
  EXPECT_TRUE(Recorded().boxes.empty());
  EXPECT_EQ(filetime(path.c_str()), static_cast<time_t>(-1));
  EXPECT_EQ(filesize(path.c_str()), 0);
}

TEST_F(FileIo, TableGrowsPastAHundredStreamsAndClosesThemAll) {
  std::vector<FILE*> streams;
  for (int i = 0; i < 105; ++i) {
    std::string path = dir_ + "f" + std::to_string(i) + ".tmp";
    FILE* f = fopen_wtemp(path.c_str(), 0);
    ASSERT_NE(f, nullptr) << i;
    streams.push_back(f);
  }
  EXPECT_EQ(OpenFileCount(), 105);
  for (FILE* f : streams) fileclose(f);
  EXPECT_EQ(OpenFileCount(), 0);
  EXPECT_TRUE(Recorded().boxes.empty());
  for (int i = 0; i < 105; ++i) EXPECT_FALSE(Exists(dir_ + "f" + std::to_string(i) + ".tmp")) << i;
}

TEST_F(FileIo, ClosingTwiceIsReported) {
  std::string path = dir_ + "twice.txt";
  FILE* f = fopen_w(path.c_str(), 0);
  ASSERT_NE(f, nullptr);
  fileclose(f);
  EXPECT_TRUE(Recorded().boxes.empty());
  fileclose(f);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Internal error: attempting to close file twice");
  fileclose(nullptr);
  EXPECT_EQ(Recorded().boxes.size(), 1u);
}

TEST_F(FileIo, UserLockFileBesideTheUserFileOrInTheDataDirectory) {
  std::string sub = dir_ + "users\\";
  CreateDirectoryA(sub.c_str(), nullptr);
  FILE* a = openuserlock((sub + "jane.usr").c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(Exists(sub + "jane.ulk"));
  FILE* again = openuserlock((sub + "jane.usr").c_str());
  EXPECT_EQ(again, nullptr);  // the user is already active
  FILE* b = openuserlock("bob.usr");
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(Exists(dir_ + "bob.ulk"));
  fileclose(a);
  fileclose(b);
  EXPECT_FALSE(Exists(sub + "jane.ulk"));
  EXPECT_FALSE(Exists(dir_ + "bob.ulk"));
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(FileIo, TimesOfFilesPatternsAndDirectories) {
  std::string a = dir_ + "stamp.txt";
  Touch(a, "12345");
  const time_t t = filetime(a.c_str());
  ASSERT_NE(t, static_cast<time_t>(-1));
  // A name with wild cards gives the time of the first file it matches.
  EXPECT_EQ(filetime((dir_ + "stamp.t?t").c_str()), t);
  EXPECT_EQ(filetime((dir_ + "*.txt").c_str()), t);
  EXPECT_EQ(filetime((dir_ + "*.none").c_str()), static_cast<time_t>(-1));
  // A directory has a time; named with a closing backslash it has none, as
  // callers that test for a file's presence have always been told.
  std::string sub = dir_ + "timed";
  ASSERT_EQ(makedir(sub.c_str()), 0);
  EXPECT_NE(filetime(sub.c_str()), static_cast<time_t>(-1));
  EXPECT_EQ(filetime((sub + "\\").c_str()), static_cast<time_t>(-1));
  EXPECT_EQ(filetime((dir_ + "gone.txt").c_str()), static_cast<time_t>(-1));

  // A stamp tells a file's change of size or time, and its absence.
  const FileStamp first = FileStamp::Of(a.c_str());
  EXPECT_TRUE(first.present);
  EXPECT_EQ(first.sizeLow, 5u);
  EXPECT_TRUE(FileStamp::Of(a.c_str()) == first);
  EXPECT_FALSE(first.Settled()) << "written just now";
  Touch(a, "123456");
  EXPECT_FALSE(FileStamp::Of(a.c_str()) == first);
  FileStamp gone = FileStamp::Of((dir_ + "gone.txt").c_str());
  EXPECT_FALSE(gone.present);
  EXPECT_TRUE(gone.Settled());
  FileStamp old = first;
  old.written.dwHighDateTime -= 1;  // about seven minutes earlier
  EXPECT_TRUE(old.Settled());
}

TEST_F(FileIo, EraseRenameDirectoriesAndTimes) {
  std::string a = dir_ + "a.txt", b = dir_ + "b.txt";
  Touch(a, "12345");
  EXPECT_EQ(filesize(a.c_str()), 5);
  time_t t = filetime(a.c_str());
  EXPECT_NE(t, static_cast<time_t>(-1));
  EXPECT_LE(std::abs(static_cast<long>(t - time(nullptr))), 120L);
  EXPECT_EQ(filerename(a.c_str(), b.c_str()), 0);
  EXPECT_EQ(EraseFile(b.c_str()), 0);
  EXPECT_EQ(EraseFile(b.c_str()), -1);
  std::string d = dir_ + "sub";
  EXPECT_EQ(makedir(d.c_str()), 0);
  EXPECT_EQ(changedir(d.c_str()), 0);
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof cwd, cwd);
  EXPECT_EQ(lstrcmpiA(cwd, d.c_str()), 0);
  EXPECT_EQ(changedir(dir_.c_str()), 0);  // trailing backslash removed
  EXPECT_EQ(removedir(d.c_str()), 0);
}

TEST_F(FileIo, NormalisePathTable) {
  char out[MAX_PATH];
  EXPECT_EQ(NormalisePath("C:\\Data\\CONF.WW", out, sizeof out), 0);
  EXPECT_STREQ(out, "c:\\data\\conf.ww");

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  EXPECT_EQ(NormalisePath("\\Pelmora\\X", out, sizeof out), 0);
  EXPECT_EQ(out[0], static_cast<char>(tolower(self[0])));
  EXPECT_STREQ(out + 1, ":\\pelmora\\x");

  char computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &size));
  std::string own = std::string("\\\\") + computer + "\\share\\dir\\file.txt";
  EXPECT_EQ(NormalisePath(own.c_str(), out, sizeof out), 0);
  EXPECT_STREQ(out, "\\dir\\file.txt");

  auto saved = g_fileIoHooks.getNetConnection;
  g_fileIoHooks.getNetConnection = [](const char* local, char* remote, DWORD*) -> DWORD {
    if (local[0] != 'Q') return ERROR_NOT_CONNECTED;
    lstrcpyA(remote, "\\\\FILESERVER\\Mail");
    return NO_ERROR;
  };
  EXPECT_EQ(NormalisePath("\\\\fileserver\\mail\\Users\\x.usr", out, sizeof out), 0);
  EXPECT_STREQ(out, "q:\\users\\x.usr");
  EXPECT_EQ(NormalisePath("\\\\other\\share\\y", out, sizeof out), 0);
  EXPECT_STREQ(out, "\\\\other\\share\\y");
  g_fileIoHooks.getNetConnection = saved;

  // Too long for the caller's buffer, or for any path: nothing, never a cut
  // path that names another file.
  char small[8];
  EXPECT_EQ(NormalisePath("C:\\data\\conf.ww", small, sizeof small), 1);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(NormalisePath("C:\\x", small, sizeof small), 0);
  EXPECT_STREQ(small, "c:\\x");
  std::string huge = "C:\\" + std::string(MAX_PATH, 'a');
  EXPECT_EQ(NormalisePath(huge.c_str(), out, sizeof out), 1);
  EXPECT_STREQ(out, "");
}
