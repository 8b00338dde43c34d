// FTTabCtrl, the program's tabbed-dialog control. The owning dialog adds pages
// by template name; the control copies each page's controls into the dialog
// and shows one page's set at a time.
#pragma once
#include <windows.h>

enum : UINT {
  TAB_ADD_PAGE = 0x8000,     // wParam module, lParam template name: index, -1 full or failed, -2 no
                             // placeholder, -3 an id already in the dialog
  TAB_REMOVE_PAGE = 0x8001,  // wParam index
  TAB_FIND_PAGE = 0x8002,    // lParam title
  TAB_PAGE_COUNT = 0x8003,
  TAB_CURRENT_PAGE = 0x8004,
  TAB_SELECT_PAGE = 0x8005,  // wParam index; sends no notification
  TAB_TITLE_LENGTH = 0x8006,
  TAB_GET_TITLE = 0x8007,  // wParam index, lParam buffer
  TAB_GET_WIDTH = 0x8008,
  TAB_GET_HEIGHT = 0x8009,
  TAB_SET_WIDTH = 0x800A,
  TAB_SET_HEIGHT = 0x800B,
};
// Notification codes (high word of WM_COMMAND's wParam) to the owning dialog.
enum : WORD { TAB_CHANGED = 0x800C, TAB_CHANGING = 0x800D };
enum : int { TAB_MAX_PAGES = 20, TAB_CONTROL_ID = 4391 };

bool RegisterTabCtrlClass();
void UnregisterTabCtrlClass();
// Registers the class; when that fails, leaves nothing registered.
bool TabCtrlModule(HINSTANCE instance);
