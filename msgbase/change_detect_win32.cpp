#include "msgbase/change_detect.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"

time_t g_logTime = -1;
time_t g_moderateTime = -1;

ImportProgramSeam g_importProgram = {
    [](const char* commandLine, UINT show) -> UINT { return WinExec(commandLine, show); },
};

namespace {

std::string DataPath(const char* name) { return std::string(g_app.dataDir) + name; }

// The program's directory with its trailing backslash.
std::string ProgramDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  size_t slash = dir.rfind('\\');
  return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

}  // namespace

int confchanged() {
  std::string path = DataPath("confnew.ww");
  time_t now = filetime(path.c_str());
  if (static_cast<long long>(now) == g_userMergeConfnewTime) return 0;
  DebugLogF("confchanged(): fn='%s', new=%ld, before=%ld\n", path.c_str(), static_cast<long>(now),
            static_cast<long>(g_userMergeConfnewTime));
  return 1;
}

int logchanged() {
  if (!CurrentFolder.Bound()) return 0;
  auto* folder = static_cast<const ConfRec*>(CurrentFolder.element);
  char base[sizeof folder->baseName + 1] = "";
  std::memcpy(base, folder->baseName, sizeof folder->baseName);
  std::string path = DataPath(base);
  time_t now = filetime(path.c_str());
  if (now == g_logTime) return 0;
  DebugLogF("logchanged(): fn='%s', new=%ld, before=%ld\n", path.c_str(), static_cast<long>(now),
            static_cast<long>(g_logTime));
  g_logTime = now;
  return 1;
}

int modchanged() {
  std::string path = DataPath("moderate.ww");
  time_t now = filetime(path.c_str());
  if (now == g_moderateTime) return 0;
  DebugLogF("modchanged(): fn='%s', new=%ld, before=%ld\n", path.c_str(), static_cast<long>(now),
            static_cast<long>(g_moderateTime));
  return 1;
}

uintptr_t RunImportProgram() {
  if (HWND window = FindWindowA("PLCheckClass", nullptr)) return reinterpret_cast<uintptr_t>(window);
  for (const char* name : {"IMPORT", "IMPORT.EXE", "IMPORT32.EXE"})
    if (HMODULE module = GetModuleHandleA(name)) return reinterpret_cast<uintptr_t>(module);

  // The user name is quoted so that a name with blanks reaches the import
  // program as one argument; a quote of its own could not be passed on.
  std::string user;
  for (const char* c = g_app.userName; *c; ++c)
    if (*c != '"') user += *c;
  char commandLine[MAX_PATH + 128];
  std::snprintf(commandLine, sizeof commandLine, "%simport%s.exe \"%s\"", ProgramDir().c_str(), "32", user.c_str());
  UINT result = g_importProgram.start(commandLine, g_user.importToForeground ? SW_SHOWNORMAL : SW_SHOWMINNOACTIVE);
  if (result < 32 && result != 16) WarnBoxF("WinExec(%s) error %d", commandLine, static_cast<int>(result));
  return result;
}
