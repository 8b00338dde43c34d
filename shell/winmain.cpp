// The program's entry point: the start-up steps in their fixed order.
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/text1252.h"

namespace {

// The data directory is key Path of section Fenwold of fenwold.ini beside the
// program; by default the program's own directory.
void ReadDataDirectory() {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  char dir[MAX_PATH];
  StrCopyN(dir, program, sizeof dir - 1);
  char* slash = std::strrchr(dir, '\\');
  if (slash)
    slash[1] = 0;
  else
    std::strcpy(dir, ".\\");
  char ini[MAX_PATH + 16];
  wsprintfA(ini, "%sfenwold.ini", dir);
  char path[MAX_PATH];
  GetPrivateProfileStringA("Fenwold", "Path", dir, path, sizeof path - 1, ini);
  size_t n = std::strlen(path);
  if (n && path[n - 1] != '\\') std::strcat(path, "\\");
  StrCopyN(g_app.dataDir, path, sizeof g_app.dataDir - 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  g_app.instance = instance;
  LoadResourceDll(instance);
  ReadDataDirectory();
  changedir(g_app.dataDir);
  ClearHelpWindowContext();
  CheckLogSizes();
  DebugLog("DOWN: shutdown\n");
  CloseHelp();
  FreeResourceDll();
  return 0;
}
