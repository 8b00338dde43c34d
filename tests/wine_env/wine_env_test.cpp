// The prefix every Windows test runs in: a second service manager in it made
// the first window call of each process wait about 10 s for the RPC service.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

int CountProcesses(const char* exeName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, exeName) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// Seconds from CreateProcess until the child's window has painted, or a
// negative value when it never did within 30 s. The child is closed after.
double SecondsToFirstWindow() {
  std::string command = std::string("\"") + WINE_START_CHILD_EXE + "\"";
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION process = {};
  Clock::time_point begin = Clock::now();
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
    return -1;
  char title[64];
  std::snprintf(title, sizeof title, "wine start %lu", process.dwProcessId);
  double seconds = -1;
  HWND window = nullptr;
  while (std::chrono::duration<double>(Clock::now() - begin).count() < 30) {
    window = FindWindowA("PelmoraWineStart", title);
    if (window) {
      seconds = std::chrono::duration<double>(Clock::now() - begin).count();
      break;
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_TIMEOUT) break;
    Sleep(1);
  }
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return seconds;
}

TEST(WineEnv, OneServiceManagerRuns) {
  // The tests' own process has started it by now.
  EXPECT_EQ(CountProcesses("services.exe"), 1);
}

TEST(WineEnv, WindowedProgramStartsWithinTwoSeconds) {
  // Each of three starts: the wait came and went with the manager a process
  // reached, so one slow start in three is the fault showing.
  for (int i = 0; i < 3; ++i) {
    double seconds = SecondsToFirstWindow();
    ASSERT_GE(seconds, 0) << "the child's window never appeared";
    EXPECT_LE(seconds, 2.0) << "start " << i + 1 << " took " << seconds << " s";
  }
}

}  // namespace
