#include "core/help.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/ui_seams.h"

namespace {

DWORD g_stack[11] = {};
int g_depth = 0;
WORD g_lastMenuItem = 0;
bool g_mainHelpOpened = false;
bool g_mapHelpOpened = false;

void HelpFile(char* out, size_t size, bool map) {
  char dir[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, dir, sizeof dir);
  if (char* slash = std::strrchr(dir, '\\')) *slash = 0;
  std::snprintf(out, size, "%s%s", dir, map ? "\\rdmap32.hlp" : "\\pl32.hlp");
}

}  // namespace

BOOL ShowHelp(long context, const char* key) {
  bool map = context == HELPCTX_MAP_CONTENTS;
  char file[MAX_PATH + 16];
  HelpFile(file, sizeof file, map);
  (map ? g_mapHelpOpened : g_mainHelpOpened) = true;
  if (context == HELPCTX_MENU_ITEM)
    context = g_lastMenuItem;
  else if (context == HELPCTX_STACK)
    context = static_cast<long>(g_stack[g_depth]);

  UINT command;
  ULONG_PTR data = 0;
  switch (context) {
    case HELPCTX_FINDER: command = HELP_FINDER; break;
    case HELPCTX_KEY:
      command = HELP_KEY;
      data = reinterpret_cast<ULONG_PTR>(key);
      break;
    case HELPCTX_MAP_CONTENTS: command = HELP_CONTENTS; break;
    case HELPCTX_PARTIAL_KEY:
      command = HELP_PARTIALKEY;
      data = reinterpret_cast<ULONG_PTR>(key);
      break;
    default:
      command = HELP_CONTEXT;
      data = static_cast<ULONG_PTR>(context);
      if (std::getenv("HLPTRACE")) MsgBoxF(MB_OK, "Help Context = %d", static_cast<int>(context));
  }
  return g_ui.winHelp(g_app.mainWindow, file, command, data);
}

void PushHelpContext(DWORD context) {
  if (g_depth < 10) g_stack[++g_depth] = context;
}

void PopHelpContext() {
  if (g_depth > 0) --g_depth;
}

void ClearHelpWindowContext() { g_stack[0] = 0; }

void HelpMenuSelect(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_MENUSELECT) g_lastMenuItem = LOWORD(wParam);
}

void CloseHelp() {
  char file[MAX_PATH + 16];
  if (g_mainHelpOpened) {
    HelpFile(file, sizeof file, false);
    g_ui.winHelp(g_app.mainWindow, file, HELP_QUIT, 0);
  }
  if (g_mapHelpOpened) {
    HelpFile(file, sizeof file, true);
    g_ui.winHelp(g_app.mainWindow, file, HELP_QUIT, 0);
  }
  g_mainHelpOpened = g_mapHelpOpened = false;
}
