// The other process of the kill test: runs a reindex or a prune of a data
// directory unattended, and ends itself hard at the point MAINT_DIE_AT names
// (its MAINT_DIE_COUNT-th pass there), as a crash or a kill would.
// Usage: maintrunner <data directory> reindex|prune <import program>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "msgbase/maintenance.h"
#include "msgbase/service_config.h"

namespace {

std::string g_dieAt;
int g_dieCount = 1;
std::string g_import;

void DieAtPoint(const char* point) {
  if (g_dieAt != point || --g_dieCount > 0) return;
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), 99);
}

bool RunImport(const char* commandLine) {
  std::string command = commandLine;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(g_import.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, g_app.dataDir, &si, &pi))
    return false;
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

int PrintBox(HWND, const char* text, const char*, UINT) {
  std::fprintf(stderr, "box: %s\n", text);
  return IDOK;
}

void PrintStatus(const char* text) { std::fprintf(stderr, "status: %s", text); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  char value[64] = "";
  if (GetEnvironmentVariableA("MAINT_DIE_AT", value, sizeof value) && value[0]) g_dieAt = value;
  if (GetEnvironmentVariableA("MAINT_DIE_COUNT", value, sizeof value)) g_dieCount = std::atoi(value);
  g_import = argv[3];
  std::string dir = argv[1];
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  lstrcpynA(g_app.dataDir, dir.c_str(), sizeof g_app.dataDir);
  InitDefaults();
  lstrcpynA(g_main.messagePath, dir.c_str(), sizeof g_main.messagePath);
  lstrcpynA(g_main.messagePathExpanded, dir.c_str(), sizeof g_main.messagePathExpanded);
  g_hconf.warned = true;
  g_app.unattended = true;
  g_ui.messageBox = PrintBox;
  g_ui.statusPrint = PrintStatus;
  g_maintenanceHooks.dieAt = DieAtPoint;
  g_maintenanceHooks.runAndWait = RunImport;
  if (!std::strcmp(argv[2], "reindex")) return RebuildMessageBase(false) == 1 ? 0 : 1;
  if (!std::strcmp(argv[2], "prune")) {
    PruneMessageBase(false);
    return 0;
  }
  return 2;
}
