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
  HWND hidden = nullptr;        // "Mossgrove": the thread list keeps its position in its title
  HWND statusWindow = nullptr;  // "Status Information"
  WNDPROC mdiClientPrevProc = nullptr;
  bool childBeingCreated = false;
  bool menuChangeRequested = false;  // set by the menus while a child is being created
  HBRUSH shadowBrush = nullptr;      // button shadow, painted by the frame
  HBRUSH postitBrush = nullptr;      // background of the note windows
  int toolbarHeight = 0;             // 0 unless the toolbar is shown at the top
  int toolbarWidth = 0;              // 0 unless the toolbar is shown at the left
  bool toolbarShown = false;
  bool toolbarAtLeft = false;
  bool largeButtons = false;
};
extern ShellWindows g_shell;
