// Runs one connection of quorl on a data directory and ends the process hard
// at a named point of the run, as a kill would.
// Arguments: data directory, program directory, point.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "online/connect.h"
#include "online/tests/run_child.h"

namespace {
std::string s_point;
}

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  std::string data = std::string(argv[1]) + "\\", programs = std::string(argv[2]) + "\\";
  lstrcpynA(g_app.dataDir, data.c_str(), sizeof g_app.dataDir);
  InitDefaults();
  lstrcpynA(g_main.messagePathExpanded, data.c_str(), sizeof g_main.messagePathExpanded);
  lstrcpynA(g_main.exePathExpanded, programs.c_str(), sizeof g_main.exePathExpanded);
  lstrcpynA(g_app.userName, "ann", sizeof g_app.userName);
  g_main.replyBackups = 2;
  g_user.reviewBeforeConnect = 0;
  g_userRights.administratorMode = true;
  g_app.unattended = true;
  g_importProgram.start = [](const char*, UINT) -> UINT { return 33; };
  g_connectHooks.runAndWait = RunChildAndWait;
  s_point = argv[3];
  g_connectHooks.step = [](const char* name) {
    if (s_point == name) ExitProcess(9);
  };
  Connect(ConnectInteractive, "quorl", 1);
  return 0;
}
