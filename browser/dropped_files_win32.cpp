// Files dropped on the MessageBase window: queued for the import program as
// they are, or each made the body of a new message in the caret row's folder.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "browser/browser_state.h"
#include "browser/drop_import.h"
#include "browser/mbw.h"
#include "compose/outgoing.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/service_keys.h"
#include "core/system_helpers.h"
#include "core/ui_seams.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "resources/browser_ids.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"

namespace {

// The delete box keeps its state for the run.
bool s_deleteAfterImport = false;

HINSTANCE Module() { return g_app.instance ? g_app.instance : GetModuleHandleA(nullptr); }

void OnDropInit(HWND dialog, const char* target) {
  char service[SERVICE_KEY_MAX + 2] = "";
  getservice(service, target);
  char shown[120];
  lstrcpynA(shown, service, sizeof shown);
  SetDlgItemTextA(dialog, IDC_DROP_SERVICE, FixNameCase(shown));
  lstrcpynA(shown, target, sizeof shown);
  SetDlgItemTextA(dialog, IDC_DROP_FOLDER, FixNameCase(shown));
  CheckRadioButton(dialog, IDC_DROP_MESSAGES, IDC_DROP_BODY, IDC_DROP_MESSAGES);
  CheckDlgButton(dialog, IDC_DROP_DELETE, s_deleteAfterImport ? BST_CHECKED : BST_UNCHECKED);
}

void OnDropOk(HWND dialog) {
  s_deleteAfterImport = IsDlgButtonChecked(dialog, IDC_DROP_DELETE) == BST_CHECKED;
  EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_DROP_BODY) == BST_CHECKED ? IDC_DROP_BODY : IDC_DROP_MESSAGES);
}

std::vector<std::string> DroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH] = "";
    if (DragQueryFileA(drop, i, path, sizeof path)) paths.push_back(path);
  }
  return paths;
}

// One file as a message body appended to the scratch file; false when
// nothing was written (the file is then never erased).
bool WriteBody(const char* scratch, const char* folder, const std::string& path, bool importedFrom) {
  // An unreadable file must leave no opening line behind in the scratch.
  FILE* in = fopen_r(path.c_str(), FO_BINARY | FO_QUIET);
  if (!in) return false;
  FILE* out = fopen_alock(scratch, FO_BINARY);
  if (!out) {
    fileclose(in);
    return false;
  }
  bool ok;
  if (IsDroppedTextFile(path.c_str())) {
    ok = WriteDroppedText(out, in, folder, path.c_str(), importedFrom);
    fileclose(in);
  } else {
    fileclose(in);
    ok = WriteDroppedFileHead(out, folder, path.c_str(), importedFrom) && UuencodeFile(path.c_str(), out) == 0 &&
         std::fputs("!end\r\n", out) >= 0;
  }
  ok = std::fflush(out) == 0 && ok;
  fileclose(out);
  return ok;
}

}  // namespace

INT_PTR CALLBACK DropFilesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnDropInit(dialog, reinterpret_cast<const char*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnDropOk(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

int ImportDroppedFiles(const char* target, const std::vector<std::string>& paths, int choice, bool deleteAfter) {
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, target);
  if (!key[0]) return 0;
  char folder[120];
  lstrcpynA(folder, target, sizeof folder);
  stripservice(folder);
  char scratch[MAX_PATH] = "";
  if (choice == IDC_DROP_BODY && !pendingtmpname(scratch, sizeof scratch)[0]) return 0;
  const bool importedFrom = DropWritesImportedFrom(target);
  int bodies = 0, handled = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    g_browserHooks.setStatusProgress(static_cast<int>(100 * i / paths.size()));
    const std::string& path = paths[i];
    if (choice == IDC_DROP_MESSAGES) {
      if (QueueImport(key, path.c_str(), "messages", deleteAfter ? 2048 : 0)) ++handled;
      continue;
    }
    if (!WriteBody(scratch, folder, path, importedFrom)) continue;
    ++bodies;
    ++handled;
    if (deleteAfter) EraseFile(path.c_str());
  }
  g_browserHooks.setStatusProgress(0);
  if (bodies > 0) QueueImport(key, scratch, "messages", 2048);
  RunImportProgram();
  return handled;
}

void MbwDropFiles(HDROP drop) {
  const int caret = static_cast<int>(SendMessageA(g_mbw.list, LB_GETCARETINDEX, 0, 0));
  const int selected = static_cast<int>(SendMessageA(g_mbw.list, LB_GETSELCOUNT, 0, 0));
  std::string target;
  if (caret >= 0 && selected > 0) {
    target = MbwRowText(caret);
    target = target.substr(1, target.find('\t') - 1);
  }
  char key[SERVICE_KEY_MAX + 1] = "";
  if (!target.empty()) getservice(key, target.c_str());
  if (!key[0]) {
    DragFinish(drop);
    return;
  }
  if (g_shell.frame) SetForegroundWindow(g_shell.frame);
  const int choice = static_cast<int>(
      g_ui.dialogBox(Module(), "DropFiles", g_mbw.window, DropFilesProc, reinterpret_cast<LPARAM>(target.c_str())));
  const std::vector<std::string> paths = DroppedPaths(drop);
  DragFinish(drop);
  if (choice != IDC_DROP_MESSAGES && choice != IDC_DROP_BODY) return;
  ImportDroppedFiles(target.c_str(), paths, choice, s_deleteAfterImport);
}
