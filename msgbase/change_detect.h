// What others changed in the shared data directory, learnt from file times,
// and the start of the message-import program.
#pragma once
#include <windows.h>

#include <cstdint>
#include <ctime>

// Time of the open topic's log as logopen (and logchanged) last saw it.
extern time_t g_logTime;
// Time of moderate.ww as the moderator list reader last saw it.
extern time_t g_moderateTime;

// 1 when confnew.ww's time differs from the one the user folder merge kept;
// keeps saying so until the user's folders are read again.
int confchanged();
// 1 once for each change of the open topic's log; 0 with no topic open.
int logchanged();
// 1 when moderate.ww's time differs from the one the moderator reader kept.
int modchanged();

// Starts the import program unless it runs. Returns its window or module when
// it already runs, else the start result (reported when it failed).
uintptr_t RunImportProgram();

// The program start; tests record the command line instead.
struct ImportProgramSeam {
  UINT (*start)(const char* commandLine, UINT show);
};
extern ImportProgramSeam g_importProgram;
