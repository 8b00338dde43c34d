#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "shell/child_process.h"
#include "shell/shell_hooks.h"
#include "shell/startup.h"

namespace {
unsigned DefaultWinExec(const char* commandLine, unsigned show) { return WinExec(commandLine, show); }
}  // namespace

ChildProcessHooks g_childProcessHooks = {DefaultWinExec};

int RunAndWaitToFile(const char* commandLine, int showState, const char* outputFile) {
  char directory[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  STARTUPINFOA start = {sizeof start};
  start.dwFlags = STARTF_USESHOWWINDOW;
  start.wShowWindow = static_cast<WORD>(showState);
  if (showState == SW_HIDE || showState == SW_SHOWMINNOACTIVE) {
    start.dwFlags |= STARTF_USEPOSITION;
    start.dwX = start.dwY = 4000;
  }
  HANDLE output = INVALID_HANDLE_VALUE;
  if (outputFile) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    output = CreateFileA(outputFile, GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    start.dwFlags |= STARTF_USESTDHANDLES;
    start.hStdInput = nullptr;
    start.hStdOutput = nullptr;
    start.hStdError = output;
  }
  std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
  PROCESS_INFORMATION process = {};
  BOOL created = CreateProcessA(nullptr, line.data(), nullptr, nullptr, outputFile ? TRUE : FALSE,
                                NORMAL_PRIORITY_CLASS, nullptr, directory, &start, &process);
  if (!created) {
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return 0;
  }
  MSG msg;
  while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      // The main loop must end too: it sees the quit through the flag.
      g_app.quitSeen = true;
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!PreTranslateAppMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MSG peek;
    if (!g_app.fatalError && g_shellHooks.threadListRefillPending() && !PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE))
      g_shellHooks.fillThreadList();
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  return 1;
}

int RunAndWait(const char* commandLine, int showState) { return RunAndWaitToFile(commandLine, showState, nullptr); }

void SchedulerCommandLine(char* out, unsigned size) {
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof program);
  char* slash = std::strrchr(program, '\\');
  if (slash)
    slash[1] = 0;
  else
    program[0] = 0;
  // Quoted: a blank in either path must not start another program.
  std::snprintf(out, size, "\"%splschd%s.exe\" \"/INI=%s%s\" /ADMINMODE=%d", program, "32", g_app.dataDir,
                "fenwold.ini", g_userRights.administratorMode ? 1 : 0);
}

void StartScheduler() {
  char line[1024];
  SchedulerCommandLine(line, sizeof line);
  unsigned result = g_childProcessHooks.winExec(line, SW_SHOWNORMAL);
  if (result < 32 && result != 16) msgwarn("Error trying to start the Scheduler.");
}
