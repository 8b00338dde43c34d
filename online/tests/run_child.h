// Starts a program and waits for it without a message loop: a test process
// has no windows whose messages would wake the program's own wait.
#pragma once
#include <windows.h>

#include <string>

inline int RunChildAndWait(const char* commandLine, int) {
  std::string line = commandLine;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0;
  WaitForSingleObject(pi.hProcess, 120000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 1;
}
