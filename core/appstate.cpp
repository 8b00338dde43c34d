#include "core/appstate.h"

#include "core/debuglog.h"
#include "core/ui_seams.h"

AppState g_app;

static int WINAPI_MessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  return MessageBoxA(owner, text, caption, style);
}

static INT_PTR DefaultDialogBox(HINSTANCE module, const char* templateName, HWND owner, DLGPROC proc, LPARAM param) {
  return DialogBoxParamA(module, templateName, owner, proc, param);
}

static void NoStatusBar(const char*) {}

static BOOL DefaultWinHelp(HWND window, const char* file, UINT command, ULONG_PTR data) {
  return WinHelpA(window, file, command, data);
}

static void StatusPrintToLog(const char* text) { DebugLogF("%s", text); }

UiSeams g_ui = {WINAPI_MessageBox, DefaultDialogBox, NoStatusBar, DefaultWinHelp, StatusPrintToLog};
PromptSeam g_prompt = {nullptr};
