#include "tests/support/process.h"

#include <windows.h>

namespace testproc {

long RunAndWait(const char* exe, const std::string& commandLine, const char* dir) {
  std::string line = commandLine;  // CreateProcess may write into it
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return long(code);
}

}  // namespace testproc
