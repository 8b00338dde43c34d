// Context help: one entry point to WinHelp and the window help-context stack.
#pragma once
#include <windows.h>

enum : long {
  HELPCTX_MENU_ITEM = -1,
  HELPCTX_STACK = -2,
  HELPCTX_FINDER = 0,
  HELPCTX_KEY = -3,
  HELPCTX_MAP_CONTENTS = -4,
  HELPCTX_PARTIAL_KEY = -5,
};

BOOL ShowHelp(long context, const char* key);
void PushHelpContext(DWORD context);
void PopHelpContext();
void ClearHelpWindowContext();
void HelpMenuSelect(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CloseHelp();
