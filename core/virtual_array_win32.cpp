// Platform services of the virtual array on Windows: the private swap file
// "msw%05d.tmp" (no sharing, temporary, deleted when closed), the warning box
// and the machine's physical memory.
#include "core/virtual_array.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/resstr.h"

namespace {

void ShowError(const char* text) { msgwarn(text); }

void* CreateSwap() {
  char path[MAX_PATH];
  VirtualArray::CreateTempFile(path);
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool Seek(HANDLE file, int32_t pos) {
  return pos >= 0 && SetFilePointer(file, pos, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool ReadSwap(void* file, int32_t pos, void* data, size_t bytes) {
  DWORD done = 0;
  return Seek(file, pos) && ReadFile(file, data, static_cast<DWORD>(bytes), &done, nullptr) && done == bytes;
}

bool WriteSwap(void* file, int32_t pos, const void* data, size_t bytes) {
  DWORD done = 0;
  return Seek(file, pos) && WriteFile(file, data, static_cast<DWORD>(bytes), &done, nullptr) && done == bytes;
}

int64_t SwapSize(void* file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

void CloseSwap(void* file) { CloseHandle(file); }

uint64_t PhysicalMemory() {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

VirtualArrayHooks g_virtualArrayHooks = {ShowError, CreateSwap, ReadSwap,      WriteSwap,
                                         SwapSize,  CloseSwap,  PhysicalMemory};

void VirtualArray::CreateTempFile(char* out) {
  char dir[MAX_PATH] = "";
  DWORD n = GetEnvironmentVariableA("TEMP", dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) n = GetEnvironmentVariableA("TMP", dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) {
    if (IsDirectory("c:\\"))
      lstrcpynA(dir, "c:\\", sizeof dir);
    else
      lstrcpynA(dir, g_app.dataDir, sizeof dir);
  }
  CreateDirectoryA(dir, nullptr);  // may exist already
  size_t length = strlen(dir);
  if (length == 0 || dir[length - 1] != '\\') {
    if (length + 1 < sizeof dir) lstrcatA(dir, "\\");
  }
  // rand() gives at most 32768 distinct names; give up on a full directory
  // with the last name drawn (the create then fails and is reported).
  for (int attempt = 0; attempt < 100000; ++attempt) {
    snprintf(out, MAX_PATH, "%smsw%05d.tmp", dir, rand());
    if (GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES) break;
  }
  DebugLogF("creating virtual array file: %s\n", out);
}
