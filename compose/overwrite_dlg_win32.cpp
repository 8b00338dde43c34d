// The "OVERWRITE" dialog: asked before a saved attachment replaces a file.
#include <cstdio>
#include <string>

#include "compose/message_view.h"
#include "core/resstr.h"
#include "core/ui_seams.h"
#include "resources/view_ids.h"

namespace {

struct OverwriteState {
  const char* path;
  bool never;
};

void OnInitDialog(HWND dialog, OverwriteState* state) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  char format[300];
  GetDlgItemTextA(dialog, IDC_OVERWRITE_TEXT, format, sizeof format);
  std::string text = format;
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, state->path);
  SetDlgItemTextA(dialog, IDC_OVERWRITE_TEXT, text.c_str());
}

void OnCommand(HWND dialog, int id) {
  auto* state = reinterpret_cast<OverwriteState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  int answer = id == IDC_OVERWRITE ? 1 : id == IDC_OVERWRITE_SAVEAS ? 2 : id == IDCANCEL ? 3 : 0;
  if (!answer || !state) return;
  state->never = IsDlgButtonChecked(dialog, IDC_OVERWRITE_NEVER) == BST_CHECKED;
  EndDialog(dialog, answer);
}

}  // namespace

INT_PTR CALLBACK OverwriteDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog, reinterpret_cast<OverwriteState*>(lParam)); return TRUE;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); return TRUE;
  }
  return FALSE;
}

int AskOverwrite(HWND owner, const char* path, bool* never) {
  OverwriteState state{path, false};
  INT_PTR answer =
      g_ui.dialogBox(StringModule(), "OVERWRITE", owner, OverwriteDlgProc, reinterpret_cast<LPARAM>(&state));
  *never = state.never;
  return answer >= 1 && answer <= 3 ? static_cast<int>(answer) : 3;
}
