// The Prune Options dialog and its folder picker: how long each folder, each
// pattern and the defaults keep their messages, the archive name and whether
// dormant folders go.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/small_text.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "resources/msgbase_ids.h"

namespace {

HINSTANCE ResourceModule() { return g_app.instance ? g_app.instance : GetModuleHandleA(nullptr); }

// The entry a list line stands for; null for "* Default *".
PruneEntry* EntryOfLine(int line) {
  int shown = 0;
  if (line <= 0) return nullptr;
  for (PruneEntry& e : g_pruneList) {
    if (e.days == kPruneRemoved) continue;
    if (++shown == line) return &e;
  }
  return nullptr;
}

std::string DisplayName(const char* name) {
  if (SameText1252(name, kPruneMailDefault)) return kPruneMailDisplay;
  if (SameText1252(name, kPruneLibraryDefault)) return kPruneLibraryDisplay;
  char shown[101];
  lstrcpynA(shown, name, sizeof shown);
  FixNameCase(shown);
  return shown;
}

std::string StoredName(const char* shown) {
  if (!std::strcmp(shown, kPruneMailDisplay)) return kPruneMailDefault;
  if (!std::strcmp(shown, kPruneLibraryDisplay)) return kPruneLibraryDefault;
  return shown;
}

std::string DaysText(int32_t days) {
  if (days == kPruneNever) return "Never";
  if (days == kPruneDeleteOnly) return "Delete Only";
  return std::to_string(days);
}

int32_t& DaysOfLine(int line) {
  PruneEntry* e = EntryOfLine(line);
  return e ? e->days : g_pruneSettings.defaultDays;
}

int SelectedLine(HWND dialog) {
  LRESULT at = SendDlgItemMessageA(dialog, IDC_PRUNE_LIST, LB_GETCURSEL, 0, 0);
  return at == LB_ERR ? 0 : static_cast<int>(at);
}

void FillList(HWND dialog, int select) {
  HWND list = GetDlgItem(dialog, IDC_PRUNE_LIST);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  std::string line = std::string(kPruneDefaultDisplay) + "\t" + DaysText(g_pruneSettings.defaultDays);
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  for (const PruneEntry& e : g_pruneList) {
    if (e.days == kPruneRemoved) continue;
    line = DisplayName(e.name) + "\t" + DaysText(e.days);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  if (select >= count) select = count - 1;
  SendMessageA(list, LB_SETCURSEL, select < 0 ? 0 : select, 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

bool s_showing = false;  // the number field is being filled, not typed in

void ShowSelection(HWND dialog) {
  int line = SelectedLine(dialog);
  EnableWindow(GetDlgItem(dialog, IDC_PRUNE_REMOVE), line != 0);
  int32_t days = DaysOfLine(line);
  int button = days == kPruneNever        ? IDC_PRUNE_NEVER
               : days == kPruneDeleteOnly ? IDC_PRUNE_DELETE_ONLY
                                          : IDC_PRUNE_DAYS;
  CheckRadioButton(dialog, IDC_PRUNE_DAYS, IDC_PRUNE_DELETE_ONLY, button);
  s_showing = true;
  if (button == IDC_PRUNE_DAYS) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", days);
    SetDlgItemTextA(dialog, IDC_PRUNE_NUM_DAYS, text);
  } else {
    SetDlgItemTextA(dialog, IDC_PRUNE_NUM_DAYS, "");
  }
  s_showing = false;
}

void SetSelectedDays(HWND dialog, int32_t days) {
  int line = SelectedLine(dialog);
  DaysOfLine(line) = days;
  FillList(dialog, line);
}

void OnDaysTyped(HWND dialog) {
  if (s_showing) return;
  CheckRadioButton(dialog, IDC_PRUNE_DAYS, IDC_PRUNE_DELETE_ONLY, IDC_PRUNE_DAYS);
  char text[16];
  GetDlgItemTextA(dialog, IDC_PRUNE_NUM_DAYS, text, sizeof text);
  long value = std::strtol(text, nullptr, 10);
  // 0 would throw away every message; the entry keeps its value.
  if (text[0] && value != 0) SetSelectedDays(dialog, static_cast<int32_t>(value));
}

// ---- the folder picker ----

INT_PTR CALLBACK TopicsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      HWND list = GetDlgItem(dialog, IDC_TOPICS_LIST);
      auto add = [&](const std::string& name) {
        if (FindPruneEntry(g_pruneList, StoredName(name.c_str()).c_str())) return;
        if (SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str())) !=
            LB_ERR)
          return;
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
      };
      add(kPruneMailDisplay);
      add(kPruneLibraryDisplay);
      for (int i = 0; i < Conferences.Count(); ++i) {
        const ConfRec* rec = static_cast<ConfRec*>(Conferences.At(i));
        if (std::strchr(rec->name, '\xFF')) continue;
        char name[120];
        lstrcpynA(name, rec->name, 101);
        name[std::strcspn(name, "/")] = 0;
        if (!std::strchr(name, ':')) {
          char local[120];
          std::snprintf(local, sizeof local, "local:%s", name);
          lstrcpynA(name, local, sizeof name);
        }
        FixNameCase(name);
        add(name);
        if (sameservice(name, "dvn") && !stristr(name, ":actions")) {
          add(std::string(name) + "/Libraries");
          add(std::string(name) + "/Messages");
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* out = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
        HWND list = GetDlgItem(dialog, IDC_TOPICS_LIST);
        LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
        char text[128] = "";
        if (at != LB_ERR && SendMessageA(list, LB_GETTEXTLEN, at, 0) < static_cast<LRESULT>(sizeof text))
          SendMessageA(list, LB_GETTEXT, at, reinterpret_cast<LPARAM>(text));
        if (text[0] != '*') strtr(text, ' ', '_');
        *out = text;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

void OnAdd(HWND dialog) {
  std::string chosen;
  if (g_ui.dialogBox(ResourceModule(), "Topics", dialog, TopicsProc, reinterpret_cast<LPARAM>(&chosen)) != IDOK ||
      chosen.empty())
    return;
  AddPruneEntry(g_pruneList, StoredName(chosen.c_str()).c_str(), g_pruneSettings.defaultDays);
  int line = 0, at = 0;
  for (const PruneEntry& e : g_pruneList) {
    if (e.days == kPruneRemoved) continue;
    ++at;
    if (SameText1252(e.name, StoredName(chosen.c_str()).c_str())) line = at;
  }
  FillList(dialog, line);
  ShowSelection(dialog);
}

void OnRemove(HWND dialog) {
  int line = SelectedLine(dialog);
  PruneEntry* e = EntryOfLine(line);
  if (!e) return;
  e->days = kPruneRemoved;
  e->name[0] = '@';
  FillList(dialog, line);
  ShowSelection(dialog);
}

void OnInit(HWND dialog) {
  if (!LockPruneList()) {
    msgwarn("The prune options are being changed by another user.\n\nPlease try again later.");
    EndDialog(dialog, IDCANCEL);
    return;
  }
  ReadPruneList();
  ReadPruneSettings();
  int base = LOWORD(GetDialogBaseUnits());
  int stops[5];
  for (int i = 0; i < 5; ++i) stops[i] = 17 * base + 3 + 4 * i;
  SendDlgItemMessageA(dialog, IDC_PRUNE_LIST, LB_SETTABSTOPS, 5, reinterpret_cast<LPARAM>(stops));
  FillList(dialog, 0);
  ShowSelection(dialog);
  CheckDlgButton(dialog, IDC_PRUNE_PURGE, g_pruneSettings.purge ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageA(dialog, IDC_PRUNE_ARCHIVE, EM_LIMITTEXT, 260, 0);
  SetDlgItemTextA(dialog, IDC_PRUNE_ARCHIVE, g_pruneSettings.fileName);
}

void OnOk(HWND dialog) {
  g_pruneSettings.purge = IsDlgButtonChecked(dialog, IDC_PRUNE_PURGE) == BST_CHECKED;
  GetDlgItemTextA(dialog, IDC_PRUNE_ARCHIVE, g_pruneSettings.fileName, sizeof g_pruneSettings.fileName);
  WritePruneSettings();
  WritePruneList();
  UnlockPruneList();
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SetPruneProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: OnInit(dialog); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PRUNE_LIST:
          if (HIWORD(wParam) == LBN_SELCHANGE) ShowSelection(dialog);
          return TRUE;
        case IDC_PRUNE_NEVER:
          SetSelectedDays(dialog, kPruneNever);
          ShowSelection(dialog);
          return TRUE;
        case IDC_PRUNE_DELETE_ONLY:
          SetSelectedDays(dialog, kPruneDeleteOnly);
          ShowSelection(dialog);
          return TRUE;
        case IDC_PRUNE_DAYS: OnDaysTyped(dialog); return TRUE;
        case IDC_PRUNE_NUM_DAYS:
          if (HIWORD(wParam) == EN_CHANGE) OnDaysTyped(dialog);
          return TRUE;
        case IDC_PRUNE_ADD: OnAdd(dialog); return TRUE;
        case IDC_PRUNE_REMOVE: OnRemove(dialog); return TRUE;
        case IDOK: OnOk(dialog); return TRUE;
        case IDCANCEL:
          UnlockPruneList();
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void SetPrune() {
  g_ui.dialogBox(ResourceModule(), "SetPrune", g_app.mainWindow, SetPruneProc, 0);
  g_pruneList.clear();
}
