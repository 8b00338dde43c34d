// The "Which ?" dialogs of reindex and prune: the open folder, the folders
// selected in the message-base window, or all folders.
#include <windows.h>

#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/ui_seams.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "msgbase/topic_open.h"
#include "resources/msgbase_ids.h"

namespace {

bool WindowExists() { return g_messageBaseHooks.windowExists(); }
bool WindowActive() { return g_messageBaseHooks.windowActive(); }

// The open folder's name as a button label: "&" doubled, and a mnemonic of
// its own unless it would take the other buttons' "A" or "S".
std::string CurrentLabel() {
  char name[101];
  lstrcpynA(name, g_topic.openName, sizeof name);
  FixNameCase(name);
  std::string label;
  if (name[0] != 'A' && name[0] != 'a' && name[0] != 'S' && name[0] != 's') label = "&";
  for (const char* p = name; *p; ++p) {
    label += *p;
    if (*p == '&') label += '&';
  }
  return label;
}

void OnInit(HWND dialog) {
  int chosen = IDC_WHICH_ALL;
  if (g_topic.log) {
    SetDlgItemTextA(dialog, IDC_WHICH_CURRENT, CurrentLabel().c_str());
    chosen = IDC_WHICH_CURRENT;
  } else {
    EnableWindow(GetDlgItem(dialog, IDC_WHICH_CURRENT), FALSE);
  }
  if (!WindowExists())
    EnableWindow(GetDlgItem(dialog, IDC_WHICH_SELECTED), FALSE);
  else if (WindowActive())
    chosen = IDC_WHICH_SELECTED;
  CheckRadioButton(dialog, IDC_WHICH_CURRENT, IDC_WHICH_ALL, chosen);
}

int ChosenScope(HWND dialog) {
  if (IsDlgButtonChecked(dialog, IDC_WHICH_CURRENT) == BST_CHECKED) return kScopeCurrent;
  if (IsDlgButtonChecked(dialog, IDC_WHICH_SELECTED) == BST_CHECKED) return kScopeSelected;
  return kScopeAll;
}

INT_PTR CALLBACK WhichScopeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: OnInit(dialog); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_WHICH_CURRENT:
        case IDC_WHICH_SELECTED:
        case IDC_WHICH_ALL: CheckRadioButton(dialog, IDC_WHICH_CURRENT, IDC_WHICH_ALL, LOWORD(wParam)); return TRUE;
        case IDOK: EndDialog(dialog, ChosenScope(dialog)); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

int AskScope(const char* templateName) {
  HINSTANCE module = g_app.instance ? g_app.instance : GetModuleHandleA(nullptr);
  INT_PTR scope = g_ui.dialogBox(module, templateName, g_app.mainWindow, WhichScopeProc, 0);
  return scope == kScopeAll || scope == kScopeSelected || scope == kScopeCurrent ? static_cast<int>(scope) : 0;
}
