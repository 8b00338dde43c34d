#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/appstate.h"
#include "core/settings.h"
#include "online/outbasket.h"

namespace {

std::string ReadAll(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  std::string bytes;
  char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  fclose(file);
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file) << path;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Script(const char* id, const char* title, const char* folder) {
  return std::string(";-; id:\t") + id + " type:\tscript script:\t" + title + " priority:\t90 #:\t" + folder +
         "\r\nDownload\r\n" + folder + "\r\n";
}

class OutbasketFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    dir_ = std::string(temp) + "pl_outbasket_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir_.c_str(), nullptr);
    for (const char* service : {"cix", "dvn", "local"}) {
      CreateDirectoryA((dir_ + service).c_str(), nullptr);
      WriteAll(dir_ + service + "\\" + service + ".cnf", "");
    }
    snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s", dir_.c_str());
    snprintf(g_main.messagePath, sizeof g_main.messagePath, "%s", dir_.c_str());
    snprintf(g_app.userName, sizeof g_app.userName, "ann");
  }
  void TearDown() override {
    ReleaseConnectLock();
    std::string command = "cmd /c rmdir /s /q \"" + dir_.substr(0, dir_.size() - 1) + "\" >nul 2>nul";
    system(command.c_str());
  }
  std::string dir_;
};

TEST_F(OutbasketFiles, QueuedActionsMoveToTheEndOfTheOutbasketFile) {
  std::string old = Script("bob", "Download messages", "chat/old");
  WriteAll(dir_ + "cix.bsc", old);
  AppendAction("cix", "Download messages", 90, "Download", "chat/new", nullptr, nullptr, nullptr);
  AppendAction("cix", "Join", 10, "Join", "chat/new", nullptr, "x", nullptr);
  ASSERT_TRUE(Exists(dir_ + "cix\\cix.bsc"));
  EXPECT_TRUE(HasNewActions("", nullptr));

  ActionList list;
  EXPECT_EQ(3, LoadOutbasketFile(&list, "cix"));
  EXPECT_FALSE(Exists(dir_ + "cix\\cix.bsc"));
  EXPECT_FALSE(HasNewActions("", nullptr));
  std::string merged = ReadAll(dir_ + "cix.bsc");
  EXPECT_EQ(0u, merged.find(old));
  EXPECT_NE(std::string::npos,
            merged.find("script:\tJoin priority:\t10 #:\tchat/new #:\tx\r\nJoin\r\nchat/new\r\nx\r\n"));
  EXPECT_STREQ("ann", list.records[1].id);
  EXPECT_STREQ("Join, chat/new, x", list.records[2].description);

  // Rewriting what was read gives the same file.
  ASSERT_TRUE(SaveOutbasketFile(&list, "cix"));
  EXPECT_EQ(merged, ReadAll(dir_ + "cix.bsc"));
  EXPECT_FALSE(Exists(dir_ + "cix.new"));
}

TEST_F(OutbasketFiles, SortActionsOrdersAndMergesEachService) {
  WriteAll(dir_ + "cix.bsc", Script("a", "Download messages", "zebra") + Script("a", "Download messages", "apple"));
  WriteAll(dir_ + "cix\\cix.bsc", Script("a", "Download messages", "ZEBRA"));
  WriteAll(dir_ + "dvn\\dvn.bsc", ";#; id:\ta type:\tscript script:\tFetch Mail priority:\t-0\r\nFetch\r\n");
  WriteAll(dir_ + "local.bsc", Script("a", "never", "taken"));
  SortActions("");
  EXPECT_EQ(Script("a", "Download messages", "apple") + Script("a", "Download messages", "ZEBRA"),
            ReadAll(dir_ + "cix.bsc"));
  EXPECT_EQ(";#; id:\ta type:\tscript script:\tFetch Mail priority:\t0\r\nFetch\r\n", ReadAll(dir_ + "dvn.bsc"));
  EXPECT_EQ(Script("a", "never", "taken"), ReadAll(dir_ + "local.bsc"));

  COutbasket outbasket("", nullptr);
  outbasket.Load();
  ASSERT_EQ(5u, outbasket.list.records.size());  // two headings, three actions
  EXPECT_STREQ("cix", outbasket.list.records[0].service);
  EXPECT_EQ(1u, outbasket.list.records[0].heading);
  EXPECT_EQ(1u, outbasket.list.records[3].heading);
}

TEST_F(OutbasketFiles, ConnectLockIsHeldWhileOpen) {
  ASSERT_EQ(1, TakeConnectLock());
  EXPECT_TRUE(Exists(dir_ + "connect.lck"));
  EXPECT_EQ(1, TakeConnectLock()) << "this instance takes its own lock again";
  ReleaseConnectLock();
  EXPECT_FALSE(Exists(dir_ + "connect.lck"));
}

TEST_F(OutbasketFiles, AKillDuringASaveLeavesAWholeFile) {
  // Large enough that a rewrite takes a while.
  std::string a, b, body(4000, 'x');
  for (int n = 0; n < 1500; n++) {
    a += Script("a", "Download messages", ("folder/a" + std::to_string(n)).c_str());
    a += ";-; id:\ta type:\tedit\r\nMessageStart: 1.0\r\nBody: 4000\r\n" + body + "\r\nMessageEnd:\r\n";
  }
  for (int n = 0; n < 1000; n++) b += Script("b", "Join", ("folder/b" + std::to_string(n)).c_str());
  WriteAll(dir_ + "a.txt", a);
  WriteAll(dir_ + "b.txt", b);
  WriteAll(dir_ + "cix.bsc", a);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string saver = self;
  saver = saver.substr(0, saver.find_last_of('\\') + 1) + "outbasket_saver.exe";
  ASSERT_TRUE(Exists(saver)) << saver;
  int seenB = 0;
  for (int round = 0; round < 8; round++) {
    std::string command =
        "\"" + saver + "\" \"" + dir_.substr(0, dir_.size() - 1) + "\" \"" + dir_ + "a.txt\" \"" + dir_ + "b.txt\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    // Once it is rewriting, kill it at a different moment each round.
    DeleteFileA((dir_ + "saving").c_str());
    for (int wait = 0; wait < 400 && !Exists(dir_ + "saving"); wait++) Sleep(25);
    Sleep(3 + 7 * round);
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string now = ReadAll(dir_ + "cix.bsc");
    EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    seenB += now == b;
  }
  EXPECT_GT(seenB, 0) << "the saver never rewrote the file";
}

}  // namespace
