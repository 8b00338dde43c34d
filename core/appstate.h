// Program-wide state that the core services read. The shell owns and sets it;
// core only reads it, so the lower layers need no knowledge of the windows.
#pragma once
#include <windows.h>

struct AppState {
  bool fatalError = false;   // a command was abandoned through the fatal-error guard
  bool cancelTask = false;   // the user cancelled the running long task
  bool quitSeen = false;     // WM_QUIT was taken from the queue
  bool pumping = false;      // PumpMessages is dispatching
  bool debugLog = false;     // [Main] "Debug Log"
  bool beep = false;         // beep before warning boxes
  bool britishEnglish = false;
  bool unattended = false;   // "/prune", "/build", "/connect=": no box may wait for an answer
  char userName[64] = "";
  char dataDir[MAX_PATH] = "";     // with a trailing backslash
  char programName[31] = "Pelmora";
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  HWND modalOwner = nullptr;       // progress window of a running long task
  HWND splashWindow = nullptr;
  DWORD splashShownAt = 0;
  int busyCount = 0;
};

extern AppState g_app;

inline bool IsSchedulerInstance() { return lstrcmpiA(g_app.userName, "sched") == 0; }
