#include "msgbase/import_queue.h"

#include <direct.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/user_settings.h"
#include "msgbase/tests/msgbase_test_dir.h"

namespace {

const std::string kHeader101("ZAVIDORU 1.01\n\x1a\0\0\0\0\0", 20);
const std::string kHeader100("ZAVIDORU 1.00\n\x1a\0\0\0\0\0", 20);

std::string EntryBytes(const char* path, const char* service, const char* kind, uint32_t flags) {
  ImportQueueEntry e = {};
  std::strcpy(e.path, path);
  std::strcpy(e.service, service);
  std::strcpy(e.kind, kind);
  e.flags = flags;
  return std::string(reinterpret_cast<const char*>(&e), sizeof e);
}
const std::string kTerminator(338, '\0');

// The path as the queue stores it: without the drive when it is the current one.
std::string Stored(const std::string& path) { return path.substr(2); }

struct Listed {
  std::string path, service, kind;
  uint32_t flags;
  bool operator==(const Listed&) const = default;
};

class ImportQueueFiles : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    GetCurrentDirectoryA(sizeof savedDir_, savedDir_);
    SetCurrentDirectoryA(dir_.c_str());
    g_user.importToForeground = 0;
  }
  void TearDown() override {
    SetCurrentDirectoryA(savedDir_);
    ClearImportQueue();
    DataDirTest::TearDown();
  }
  std::string MakeFile(const char* name) {
    WriteWholeFile(Path(name), "x");
    return Path(name);
  }
  std::vector<Listed> Queue() {
    EXPECT_TRUE(LockImportQueue(false));
    std::vector<Listed> out;
    for (int i = 0; i < ImportQueue.Count(); ++i) {
      auto* e = static_cast<ImportQueueEntry*>(ImportQueue.At(i));
      out.push_back({e->path, e->service, e->kind, e->flags});
    }
    ClearImportQueue();
    return out;
  }
  char savedDir_[MAX_PATH];
};

}  // namespace

TEST_F(ImportQueueFiles, QueuedFilesAreStoredInOrderAndEndWithTheTerminator) {
  std::string a = MakeFile("msw1.tmp"), b = MakeFile("msw2.tmp");
  MakeFile("~build.tmp");
  EXPECT_TRUE(ImportQueueEmpty());  // no file yet
  EXPECT_TRUE(QueueImport("NET", a.c_str(), "", IMPORT_DELETE_AFTER));
  EXPECT_TRUE(QueueImport("Local", "msw2.tmp", "inbox", 0x808));    // relative: made absolute
  EXPECT_TRUE(QueueImport("local", "~build.tmp", "build", 0xC00));  // kept as given
  EXPECT_FALSE(ImportQueueEmpty());

  EXPECT_EQ(ReadWholeFile(Path("import.dat")), kHeader101 + EntryBytes(Stored(a).c_str(), "net", "messages", 0x800) +
                                                   EntryBytes(Stored(b).c_str(), "local", "inbox", 0x808) +
                                                   EntryBytes("~build.tmp", "local", "build", 0xC00) + kTerminator);
  EXPECT_TRUE(Recorded().boxes.empty());
  EXPECT_EQ(ImportQueue.Count(), 0);  // the mirror lasts only for the operation
}

TEST_F(ImportQueueFiles, SameFileTwiceInAnyCaseIsQueuedOnce) {
  std::string a = MakeFile("msw1.tmp");
  std::string upper = a;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(QueueImport("net", a.c_str(), "", 0x800));
  EXPECT_FALSE(QueueImport("net", upper.c_str(), "other", 0));
  EXPECT_FALSE(QueueImport("net", Stored(a).c_str(), "", 0x800));
  EXPECT_EQ(Queue(), (std::vector<Listed>{{Stored(a), "net", "messages", 0x800}}));
}

TEST_F(ImportQueueFiles, DriveIsDroppedOnlyWhenItIsTheCurrentOneByteForByte) {
  std::string a = MakeFile("msw1.tmp");
  std::string lower = a;
  lower[0] = static_cast<char>(tolower(static_cast<unsigned char>(lower[0])));
  ASSERT_NE(lower[0], a[0]);
  EXPECT_TRUE(QueueImport("net", lower.c_str(), "", 0));
  // Stored with its drive, and so a different entry from the one without.
  EXPECT_EQ(Queue(), (std::vector<Listed>{{lower, "net", "messages", 0}}));
}

TEST_F(ImportQueueFiles, MissingFileIsRefusedAndTheQueueKept) {
  std::string a = MakeFile("msw1.tmp");
  ASSERT_TRUE(QueueImport("net", a.c_str(), "", 0));
  std::string before = ReadWholeFile(Path("import.dat"));
  EXPECT_FALSE(QueueImport("net", Path("gone.tmp").c_str(), "", 0));
  EXPECT_EQ(ReadWholeFile(Path("import.dat")), before);
  std::string tooLong = "~" + std::string(300, 'x');
  EXPECT_FALSE(QueueImport("net", tooLong.c_str(), "", 0));
  EXPECT_FALSE(QueueImport("net", (dir_ + std::string(300, 'y')).c_str(), "", 0));
  EXPECT_EQ(ReadWholeFile(Path("import.dat")), before);
  EXPECT_TRUE(Recorded().boxes.empty());
}

TEST_F(ImportQueueFiles, UnqueueRemovesTheEntryAndTheFileKeepsItsLength) {
  std::string a = MakeFile("msw1.tmp"), b = MakeFile("msw2.tmp");
  ASSERT_TRUE(QueueImport("net", a.c_str(), "", 0));
  ASSERT_TRUE(QueueImport("net", b.c_str(), "", 0));
  std::string before = ReadWholeFile(Path("import.dat"));

  EXPECT_FALSE(UnqueueImport(a.c_str()));  // compared as stored, not made absolute
  std::string first = Stored(a);
  for (char& c : first) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(UnqueueImport(first.c_str()));
  EXPECT_EQ(Queue(), (std::vector<Listed>{{Stored(b), "net", "messages", 0}}));
  EXPECT_TRUE(UnqueueImport(Stored(b).c_str()));

  std::string after = ReadWholeFile(Path("import.dat"));
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(0, 20), kHeader101);
  EXPECT_EQ(after[20], '\0');
  EXPECT_TRUE(ImportQueueEmpty());
  EXPECT_TRUE(Queue().empty());
}

TEST_F(ImportQueueFiles, OlderQueueKeepsItsEntriesAndIsWrittenInTheCurrentForm) {
  std::string a = MakeFile("msw1.tmp");
  WriteWholeFile(Path("import.dat"),
                 kHeader100 + EntryBytes("\\old\\msw9.tmp", "net", "messages", 0x880) + kTerminator);
  EXPECT_FALSE(ImportQueueEmpty());
  ASSERT_TRUE(QueueImport("net", a.c_str(), "", 0x800));
  EXPECT_EQ(ReadWholeFile(Path("import.dat")), kHeader101 + EntryBytes("\\old\\msw9.tmp", "net", "messages", 0x880) +
                                                   EntryBytes(Stored(a).c_str(), "net", "messages", 0x800) +
                                                   kTerminator);
}

TEST_F(ImportQueueFiles, DamagedQueueIsKeptAsideAndRebuiltFromWhatReadsWhole) {
  std::string a = MakeFile("msw1.tmp");
  std::string one = EntryBytes("\\q\\msw8.tmp", "net", "messages", 0);
  std::string two = EntryBytes("\\q\\msw9.tmp", "local", "inbox", 0x800);
  std::string noNul = one;
  std::memset(noNul.data() + 270, 'k', 64);
  std::string pathNoNul = one;
  std::memset(pathNoNul.data(), 'p', 260);
  const Listed first = {"\\q\\msw8.tmp", "net", "messages", 0}, second = {"\\q\\msw9.tmp", "local", "inbox", 0x800},
               added = {Stored(a), "net", "messages", 0};
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<Listed> queue;
  } cases[] = {
      {"short header", kHeader101.substr(0, 12), {added}},
      {"unknown header", "GARBAGE GARBAGE GARB" + one, {first, added}},
      {"cut inside an entry", kHeader101 + one + one.substr(0, 200), {first, added}},
      {"kind without its end", kHeader101 + noNul + kTerminator, {added}},
      {"path without its end between good ones",
       kHeader101 + one + pathNoNul + two + kTerminator,
       {first, second, added}},
  };
  for (auto& c : cases) {
    WriteWholeFile(Path("import.dat"), c.bytes);
    DeleteFileA(Path("import.bad").c_str());
    Recorded().boxes.clear();
    EXPECT_TRUE(QueueImport("net", a.c_str(), "", 0)) << c.what;
    EXPECT_EQ(Queue(), c.queue) << c.what;
    EXPECT_EQ(ReadWholeFile(Path("import.bad")), c.bytes) << c.what;
    ASSERT_EQ(Recorded().boxes.size(), 1u) << c.what;
    EXPECT_NE(Recorded().boxes[0].find("import.bad"), std::string::npos) << Recorded().boxes[0];
    EXPECT_TRUE(UnqueueImport(Stored(a).c_str())) << c.what;
  }
  // A second damaged queue does not overwrite the first one kept.
  WriteWholeFile(Path("import.dat"), "junk");
  EXPECT_TRUE(QueueImport("net", a.c_str(), "", 0));
  EXPECT_EQ(ReadWholeFile(Path("import1.bad")), "junk");
}

TEST_F(ImportQueueFiles, QueueThatCantBeWrittenIsAFailure) {
  std::string a = MakeFile("msw1.tmp");
  // A data directory that isn't there: no queue can be made in it.
  lstrcpynA(g_app.dataDir, (dir_ + "missing\\").c_str(), sizeof g_app.dataDir);
  EXPECT_FALSE(QueueImport("net", a.c_str(), "", 0));
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0].rfind("Can't open '", 0), 0u) << Recorded().boxes[0];
}

TEST_F(ImportQueueFiles, SecondLockIsRefusedAndReleasesTheFirst) {
  ASSERT_TRUE(QueueImport("net", MakeFile("msw1.tmp").c_str(), "", 0));
  ASSERT_TRUE(LockImportQueue(true));
  EXPECT_EQ(ImportQueue.Count(), 1);
  EXPECT_FALSE(LockImportQueue(true));
  EXPECT_EQ(Recorded().boxes, std::vector<std::string>{"Error: attempting to lock twice"});
  ASSERT_TRUE(LockImportQueue(true));  // the stale handle was closed
  EXPECT_TRUE(SaveImportQueue());
}

TEST_F(ImportQueueFiles, ImportProgramIsBroughtForwardOnlyWhenTheSettingIsOn) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "MsgImport";
  RegisterClassA(&wc);
  HWND importer =
      CreateWindowA("MsgImport", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(importer, nullptr);
  auto posted = [&] {
    std::vector<WPARAM> commands;
    MSG msg;
    while (PeekMessageA(&msg, importer, WM_COMMAND, WM_COMMAND, PM_REMOVE)) commands.push_back(msg.wParam);
    return commands;
  };
  std::string a = MakeFile("msw1.tmp");
  posted();
  EXPECT_TRUE(QueueImport("net", a.c_str(), "", 0));
  EXPECT_TRUE(posted().empty());
  g_user.importToForeground = 1;
  EXPECT_FALSE(QueueImport("net", a.c_str(), "", 0));  // already queued: still woken
  EXPECT_EQ(posted(), std::vector<WPARAM>{IDM_IMPORT_FOREGROUND});
  DestroyWindow(importer);
}

TEST_F(ImportQueueFiles, HeldQueueKeepsAnotherWriterWaitingAndBothEntriesSurvive) {
  std::string mine = MakeFile("mine.tmp"), theirs = MakeFile("theirs.tmp");
  ASSERT_TRUE(LockImportQueue(true));

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  *std::strrchr(exe, '\\') = 0;
  std::string command =
      "\"" + std::string(exe) + "\\importwriter.exe\" \"" + dir_.substr(0, dir_.size() - 1) + "\" \"" + theirs + "\"";
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));

  // While the queue is held the other writer can't have read it yet, so our
  // entry and its entry must both survive.
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 1500), static_cast<DWORD>(WAIT_TIMEOUT));
  ImportQueueEntry entry = {};
  lstrcpynA(entry.path, Stored(mine).c_str(), sizeof entry.path);
  lstrcpynA(entry.service, "net", sizeof entry.service);
  lstrcpynA(entry.kind, "messages", sizeof entry.kind);
  ImportQueue.Append(&entry);
  ASSERT_TRUE(SaveImportQueue());

  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 120000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Queue(), (std::vector<Listed>{{Stored(mine), "net", "messages", 0},
                                          {Stored(theirs), "net", "messages", IMPORT_DELETE_AFTER}}));
}
