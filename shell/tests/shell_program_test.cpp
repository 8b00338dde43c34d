// pl32.exe as a user starts it: log-in and the user lock, the hand-off to a
// running instance, the sign-in dialog's three attempts, unattended jobs and
// the shutdown trace. Each test starts the real program on a small data
// directory of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/virtual_array.h"
#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"
#include "tests/support/files.h"
#include "tests/support/window_fixture.h"

namespace {

using testfs::ReadWholeFile;
using testwin::WindowsPath;

void WriteText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(testfs::WriteWholeFile(path, text)) << path;
}

struct FoundWindow {
  DWORD process;
  const char* className;
  std::string titlePart;
  HWND found;
};

BOOL CALLBACK FindOfProcess(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<FoundWindow*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  char className[64] = "", title[256] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  if (search->className && std::strcmp(className, search->className) != 0) return TRUE;
  if (std::string(title).find(search->titlePart) == std::string::npos) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WindowOf(DWORD process, const char* className, const std::string& titlePart) {
  FoundWindow search = {process, className, titlePart, nullptr};
  EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// An answered dialog may stay up a while under load; counting it again
// would answer the next one before it is there.
void WaitUntilGone(HWND window, HANDLE process) {
  for (int i = 0; i < 200 && IsWindow(window) && IsWindowVisible(window); ++i) {
    if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return;
    Sleep(50);
  }
}

BOOL CALLBACK FindStatic(HWND child, LPARAM lParam) {
  auto* text = reinterpret_cast<std::string*>(lParam);
  char buffer[512] = "";
  GetWindowTextA(child, buffer, sizeof buffer);
  *text += buffer;
  return TRUE;
}

std::string TextOfChildren(HWND window) {
  std::string text;
  EnumChildWindows(window, FindStatic, reinterpret_cast<LPARAM>(&text));
  return text;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char unique[MAX_PATH];
    GetTempFileNameA(temp, "pls", 0, unique);
    DeleteFileA(unique);
    root_ = std::string(unique) + "\\";
    program_ = root_ + "program\\";
    data_ = root_ + "data\\";
    CreateDirectoryA(root_.c_str(), nullptr);
    CreateDirectoryA(program_.c_str(), nullptr);
    CreateDirectoryA(data_.c_str(), nullptr);
    CreateDirectoryA((data_ + "quorl").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(WindowsPath(PL32_EXE).c_str(), (program_ + "pl32.exe").c_str(), FALSE));
    WriteText(program_ + "fenwold.ini", "[Fenwold]\r\nPath=" + data_ + "\r\n");
    WriteText(data_ + "fenwold.ini", "[Main]\r\nDebug Log=1\r\nNew Users=0\r\n");
    WriteText(data_ + "quorl\\quorl.cnf", "; quorl\r\n");
    WriteText(data_ + "security.ww", "demo 0x1\r\n");
    WriteText(data_ + "demo.ini", "[Main]\r\nStatus Bar=1\r\nTip Of The Day=0\r\nWarn On Replys=0\r\n");

    VirtualArray list("conf", sizeof(ConfRec));
    ConfRec rec = {};
    std::strcpy(rec.name, "quorl:chat/main");
    std::strcpy(rec.baseName, "quorl\\chat\\main");
    rec.first = rec.last = 0;
    list.Append(&rec);
    FILE* conf = std::fopen((data_ + "conf.ww").c_str(), "wb");
    ASSERT_TRUE(conf);
    ASSERT_TRUE(WriteConfList(conf, list, 0));
    std::fclose(conf);
    FILE* user = std::fopen((data_ + "demo.usr").c_str(), "wb");
    ASSERT_TRUE(user);
    ASSERT_TRUE(WriteUserFolders(user, list, "demo", "secret"));
    std::fclose(user);

    // The trace lies in the root of the data directory's drive.
    logPath_ = data_.substr(0, 3) + "debug.txt";
    logStart_ = ReadWholeFile(logPath_).size();
  }

  void TearDown() override {
    for (PROCESS_INFORMATION& p : started_) {
      if (WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(p.hProcess, 99);
      CloseHandle(p.hProcess);
      CloseHandle(p.hThread);
    }
  }

  PROCESS_INFORMATION Start(const std::string& args) {
    std::string command = "\"" + program_ + "pl32.exe\" " + args;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA start = {sizeof start};
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, program_.c_str(), &start, &process));
    started_.push_back(process);
    return process;
  }

  HWND WaitForFrame(const PROCESS_INFORMATION& process, const char* title) {
    for (int i = 0; i < 300; ++i) {
      if (HWND frame = WindowOf(process.dwProcessId, "PL", title)) return frame;
      if (WaitForSingleObject(process.hProcess, 0) != WAIT_TIMEOUT) return nullptr;
      Sleep(100);
    }
    return nullptr;
  }

  DWORD WaitForExit(const PROCESS_INFORMATION& process, DWORD ms = 30000) {
    if (WaitForSingleObject(process.hProcess, ms) != WAIT_OBJECT_0) return 12345;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
  }

  std::string NewLog() {
    std::string all = ReadWholeFile(logPath_);
    return all.size() > logStart_ ? all.substr(logStart_) : std::string();
  }

  std::string root_, program_, data_, logPath_;
  size_t logStart_ = 0;
  std::vector<PROCESS_INFORMATION> started_;
};

TEST_F(ProgramTest, LogsInHoldsTheLockAndClosesWithItsTrace) {
  PROCESS_INFORMATION first = Start("demo secret /nowin /NOBMP");
  HWND frame = WaitForFrame(first, "Pelmora:demo");
  ASSERT_TRUE(frame) << NewLog();
  char title[64] = "";
  GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "Pelmora:demo");
  EXPECT_NE(GetFileAttributesA((data_ + "demo.ulk").c_str()), INVALID_FILE_ATTRIBUTES);
  HANDLE held = CreateFileA((data_ + "demo.ulk").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(held, INVALID_HANDLE_VALUE) << "the running instance holds the user's lock";
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  EXPECT_TRUE(FindWindowExA(frame, nullptr, "MDIClient", nullptr) ||
              FindWindowExA(frame, nullptr, "mdiclient", nullptr));
  EXPECT_TRUE(FindWindowExA(frame, nullptr, "Quillon", nullptr));

  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(first), 0u);
  std::string log = NewLog();
  // The frame is destroyed inside its close: WM_DESTROY's lines come before the last close line.
  const char* lines[] = {"DOWN: WindProc - WM_CLOSE #1",   "DOWN: WindProc - WM_DESTROY #1",
                         "DOWN: WindProc - WM_DESTROY #5", "DOWN: WindProc - WM_CLOSE #8",
                         "DOWN: End of message loop",      "DOWN: End of program"};
  size_t at = 0;
  for (const char* line : lines) {
    size_t found = log.find(line, at);
    EXPECT_NE(found, std::string::npos) << line;
    if (found != std::string::npos) at = found;
  }
  EXPECT_EQ(GetFileAttributesA((data_ + "demo.ulk").c_str()), INVALID_FILE_ATTRIBUTES) << "the lock goes at the end";
}

TEST_F(ProgramTest, ASecondStartHandsItsSwitchesToTheRunningInstance) {
  PROCESS_INFORMATION first = Start("demo secret /nowin /NOBMP");
  HWND frame = WaitForFrame(first, "Pelmora:demo");
  ASSERT_TRUE(frame);
  PROCESS_INFORMATION second = Start("demo secret /go=pl:quorl:chat/main /NOBMP");
  EXPECT_EQ(WaitForExit(second), 0u) << "the second start ends after the hand-off";
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_NE(NewLog().find("WM_COPYDATA: go='pl:quorl:chat/main'"), std::string::npos) << NewLog();
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(first), 0u);
}

// A second start while the first instance is closing (here held at its
// question about the outbasket): the closing instance would take the
// switches and then end, losing the start. The new start comes up itself
// once the old one is gone.
TEST_F(ProgramTest, ASecondStartWhileTheFirstClosesComesUpItself) {
  WriteText(data_ + "demo.ini", "[Main]\r\nStatus Bar=1\r\nTip Of The Day=0\r\nWarn On Replys=1\r\n");
  WriteText(data_ + "quorl\\quorl.bsc", ";-; id:\tdemo type:\tedit\r\nQueued\r\n");
  PROCESS_INFORMATION first = Start("demo secret /nowin /NOBMP");
  HWND frame = WaitForFrame(first, "Pelmora:demo");
  ASSERT_TRUE(frame) << NewLog();
  PostMessageA(frame, WM_CLOSE, 0, 0);
  HWND question = nullptr;
  for (int i = 0; i < 300 && !question; ++i) {
    Sleep(100);
    HWND box = WindowOf(first.dwProcessId, "#32770", "");
    if (box && TextOfChildren(box).find("items in your outbasket") != std::string::npos) question = box;
  }
  ASSERT_TRUE(question) << NewLog();

  PROCESS_INFORMATION second = Start("demo secret /readnews /nowin /NOBMP");
  for (int i = 0; i < 600 && NewLog().find("WM_COPYDATA") == std::string::npos; ++i) {
    if (WaitForSingleObject(second.hProcess, 0) != WAIT_TIMEOUT) break;
    Sleep(100);
  }
  PostMessageA(question, WM_COMMAND, IDNO, 0);
  EXPECT_EQ(WaitForExit(first), 0u);
  HWND secondFrame = WaitForFrame(second, "Pelmora:demo");
  ASSERT_TRUE(secondFrame) << "the second start was lost\n" << NewLog();
  EXPECT_NE(NewLog().find("WM_COPYDATA: refused while closing"), std::string::npos) << NewLog();
  DeleteFileA((data_ + "quorl\\quorl.bsc").c_str());
  PostMessageA(secondFrame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(second), 0u);
}

TEST_F(ProgramTest, ThreeWrongPasswordsInTheSignInDialogEndWithZero) {
  PROCESS_INFORMATION process = Start("/NOBMP");
  int dialogs = 0, boxes = 0;
  std::string others;
  for (int i = 0; i < 600 && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; ++i) {
    Sleep(100);
    // One lookup per round: the sign-in dialog may come up between two
    // lookups, and answering it as a message box would cancel the sign-in.
    HWND dialog = WindowOf(process.dwProcessId, "#32770", "");
    if (!dialog) continue;
    char title[256] = "";
    GetWindowTextA(dialog, title, sizeof title);
    if (std::strstr(title, "Sign In")) {
      SetDlgItemTextA(dialog, 4102, "demo");
      SetDlgItemTextA(dialog, 4108, "wrong");
      ++dialogs;
    } else if (TextOfChildren(dialog).find("Incorrect login") != std::string::npos) {
      ++boxes;
    } else {
      others += std::string(title) + ": " + TextOfChildren(dialog) + "\n";
    }
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    WaitUntilGone(dialog, process.hProcess);
  }
  EXPECT_EQ(WaitForExit(process, 1000), 0u);
  EXPECT_EQ(dialogs, 3) << others;
  EXPECT_EQ(boxes, 3) << others;
  EXPECT_EQ(others, "");
}

TEST_F(ProgramTest, BuildAndPruneRunUnattendedAndEnd) {
  for (const char* job : {"/build", "/prune"}) {
    PROCESS_INFORMATION process = Start(std::string("demo secret ") + job + " /NOBMP");
    EXPECT_EQ(WaitForExit(process), 0u) << job;
    EXPECT_NE(NewLog().rfind("DOWN: End of program"), std::string::npos) << job;
    logStart_ = ReadWholeFile(logPath_).size();
  }
}

}  // namespace
