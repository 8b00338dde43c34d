// Start-up, the main loop and shutdown.
#pragma once
#include <windows.h>

#include "shell/cmdline.h"

// The whole program: WinMain's steps, the loop and the clean-up.
int RunProgram(HINSTANCE instance, const char* commandLine, int showState);
bool InitControlsAndAccelerators();
void ReadDataPath();
void ShutdownCleanup();
// Abandons the running command (or start-up) through the fatal-error guard.
[[noreturn]] void AbortCommand();

// The command line as start-up read it.
extern CommandLine g_commandLine;

// The 18 accelerator tables, by name.
struct AcceleratorTables {
  HACCEL modFlist, my, subscribe, flist, global, msgEd, nonmodal, status, review, bmk, connect, addr, sched, join,
      butJoin, res, view, ctrlTab;
};
extern AcceleratorTables g_accelerators;

// The main loop's parts.
int RunMessageLoop();
bool PreTranslateAppMessage(MSG* msg);
void RefreshFolders();
void NextFocus(bool forward);
bool IsRefreshing();

// File List and Library List windows: at most 8.
enum : int { MODELESS_ROWS = 8 };
struct ModelessRow {
  HWND window;
  LPARAM data;
};
extern ModelessRow g_modelessWindows[MODELESS_ROWS];
