// The program's top-level windows, created by the frame and read by the
// dispatcher, the menus and the toolbar.
#pragma once
#include <windows.h>

struct ShellWindows {
  HWND frame = nullptr;
  HWND mdiClient = nullptr;
  HWND statusBar = nullptr;
  HWND toolbar = nullptr;
  HMENU mainMenu = nullptr;
};
extern ShellWindows g_shell;
