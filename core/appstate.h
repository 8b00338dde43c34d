// Program-wide state that the core services read. The shell owns and sets it;
// core only reads it, so the lower layers need no knowledge of the windows.
#pragma once
#include <windows.h>

struct AppState {
  bool fatalError = false;  // a command was abandoned through the fatal-error guard
  bool cancelTask = false;  // the user cancelled the running long task
  bool quitSeen = false;    // WM_QUIT was taken from the queue
  bool pumping = false;     // PumpMessages is dispatching
  bool debugLog = false;    // [Main] "Debug Log"
  bool beep = false;        // beep before warning boxes
  bool britishEnglish = false;
  char userName[64] = "";
  char dataDir[MAX_PATH] = "";  // with a trailing backslash
  char programName[31] = "Pelmora";
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  HWND modalOwner = nullptr;  // progress window of a running long task
  HWND splashWindow = nullptr;
  DWORD splashShownAt = 0;
  int busyCount = 0;
  // Start-up and the frame.
  bool noWindows = false;        // no initial windows, tips or start-up macro
  bool unattended = false;       // "/prune", "/build", a connection: shutdown asks nothing
  bool frameReady = false;       // no command runs and no close is taken before
  bool startupComplete = false;  // the initial windows exist
  bool aborted = false;          // the fatal-error guard was reached; stays set
  bool abortPending = false;     // caught at one of our window procedures, not yet rethrown
  char switches[200] = "";       // the command line before it was cut to the user part
};

extern AppState g_app;

// The fatal-error guard: AbortCommand throws it; it never crosses the
// system's frames. Each of our window and dialog procedures catches it and
// records it (ending its dialog); our code throws it again once the system
// call that ran the procedure returns, up to the frame's command boundary or
// start-up.
struct CommandAbort {};
inline void NoteAbortCaught() { g_app.abortPending = true; }
inline void ThrowIfAbortPending() {
  if (!g_app.abortPending) return;
  g_app.abortPending = false;
  throw CommandAbort();
}
using WindowBody = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
template <WindowBody Body>
LRESULT CALLBACK GuardedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return Body(window, message, wParam, lParam);
  } catch (const CommandAbort&) {
    NoteAbortCaught();
    return 0;
  }
}
// Runs a dialog procedure under the guard: an abort ends the dialog (with 0).
INT_PTR GuardedDialogCall(DLGPROC proc, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

inline bool IsSchedulerInstance() { return lstrcmpiA(g_app.userName, "sched") == 0; }
