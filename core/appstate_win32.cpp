#include "core/appstate.h"

#include "core/debuglog.h"
#include "core/ui_seams.h"

AppState g_app;

static int WINAPI_MessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  return MessageBoxA(owner, text, caption, style);
}

INT_PTR GuardedDialogCall(DLGPROC proc, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return proc(dialog, message, wParam, lParam);
  } catch (const CommandAbort&) {
    NoteAbortCaught();
    EndDialog(dialog, 0);
    return TRUE;
  }
}

namespace {

// Every dialog runs its procedure through the guard: the real procedure and
// its parameter travel in the creation parameter and then in a property.
struct GuardedDialog {
  DLGPROC proc;
  LPARAM param;
};
const char kGuardProp[] = "PelmoraDlgGuard";

INT_PTR CALLBACK GuardingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* guard = reinterpret_cast<GuardedDialog*>(lParam);
    SetPropA(dialog, kGuardProp, guard);
    return GuardedDialogCall(guard->proc, dialog, message, wParam, guard->param);
  }
  auto* guard = static_cast<GuardedDialog*>(GetPropA(dialog, kGuardProp));
  if (!guard) return FALSE;
  if (message == WM_NCDESTROY) RemovePropA(dialog, kGuardProp);
  return GuardedDialogCall(guard->proc, dialog, message, wParam, lParam);
}

}  // namespace

static INT_PTR DefaultDialogBox(HINSTANCE module, const char* templateName, HWND owner, DLGPROC proc, LPARAM param) {
  GuardedDialog guard = {proc, param};
  INT_PTR result = DialogBoxParamA(module, templateName, owner, GuardingDialogProc, reinterpret_cast<LPARAM>(&guard));
  ThrowIfAbortPending();
  return result;
}

static void NoStatusBar(const char*) {}

static BOOL DefaultWinHelp(HWND window, const char* file, UINT command, ULONG_PTR data) {
  return WinHelpA(window, file, command, data);
}

static void StatusPrintToLog(const char* text) { DebugLogF("%s", text); }

UiSeams g_ui = {WINAPI_MessageBox, DefaultDialogBox, NoStatusBar, DefaultWinHelp, StatusPrintToLog};
PromptSeam g_prompt = {nullptr};
