// The progress dialog of a reindex or prune: folder, message, status, time
// taken and how much is complete, and a Cancel that asks "Abort ?".
#include <windows.h>

#include <cstdio>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/ui_seams.h"
#include "msgbase/maintenance_internal.h"
#include "resources/msgbase_ids.h"

namespace {

HWND s_scan = nullptr;

void OnCancel(HWND dialog) {
  if (g_app.cancelTask) return;
  char caption[64];
  lstrcpynA(caption, "%PROGRAM%", sizeof caption);
  ExpandTextMacros(caption, sizeof caption);
  if (g_ui.messageBox(dialog, "Abort ?", caption, MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) != IDYES) return;
  g_app.cancelTask = true;
  SetDlgItemTextA(dialog, IDC_SCAN_STATUS, "Aborting operation.  Please wait...");
}

void OnDestroy() {
  s_scan = nullptr;
  g_app.cancelTask = true;
}

INT_PTR CALLBACK ScanProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: g_app.cancelTask = false; return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) OnCancel(dialog);
      return TRUE;
    case WM_CLOSE: OnCancel(dialog); return TRUE;
    case WM_DESTROY: OnDestroy(); return TRUE;
    default: return FALSE;
  }
}

HINSTANCE ResourceModule() { return g_app.instance ? g_app.instance : GetModuleHandleA(nullptr); }

}  // namespace

bool CreateScanDialog(const char* title) {
  if (s_scan) DestroyWindow(s_scan);
  s_scan = CreateDialogParamA(ResourceModule(), "Scan", g_app.mainWindow, ScanProc, 0);
  if (!s_scan) return false;
  g_app.cancelTask = false;
  SetWindowTextA(s_scan, title);
  SetDlgItemTextA(s_scan, IDC_SCAN_STATUS, "Please Wait...");
  ShowWindow(s_scan, SW_SHOW);
  g_app.modalOwner = s_scan;
  return true;
}

void DestroyScanDialog() {
  bool cancelled = g_app.cancelTask;
  if (s_scan) DestroyWindow(s_scan);
  s_scan = nullptr;
  g_app.cancelTask = cancelled;  // the caller reads and clears it
  g_app.modalOwner = nullptr;
}

HWND ScanDialog() { return s_scan; }

void ScanSetText(int control, const char* text) {
  if (s_scan) SetDlgItemTextA(s_scan, control, text);
}

void ScanSetProgress(long position, long range) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld of %ld", position, range);
  ScanSetText(IDC_SCAN_COMPLETE, text);
}

void ScanShowElapsed(DWORD startTick) {
  DWORD seconds = (GetTickCount() - startTick) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", static_cast<long>(seconds / 60), static_cast<long>(seconds % 60));
  ScanSetText(IDC_SCAN_TIME, text);
}
