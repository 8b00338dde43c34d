// Deleting and resigning folders: the Delete/Resign command and its dialog,
// the deletion of a folder's files, the newsgroup list edit, and the small
// folder routines of the folder tree and the service lists.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/small_text.h"
#include "core/rights.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "msgbase/del_resign_rules.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "msgbase/message_ops.h"
#include "msgbase/message_text.h"
#include "msgbase/reindex_rules.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "online/script_cmd.h"
#include "resources/msgbase_ids.h"

namespace {

const char* const kFolderExtensions[] = {".ind", ".thr", ".fli", ".fil", ".ond", ".id", ".mod", ".fdr", ".dir"};

// The dialog's choices, kept between uses.
bool s_hide = false, s_delete = false, s_resign = false;

bool CanModerate(const char* name) { return HasRight(RIGHT_ADMINISTRATOR) || g_messageOpsHooks.canModerateTopic(name); }

std::string ShownName(const char* name) {
  char shown[101];
  lstrcpynA(shown, name, sizeof shown);
  if (isnewsfolder(shown)) strtr(shown, '/', '.');
  FixNameCase(shown);
  return shown;
}

// Removes `dir` and then its parents up to (not including) `top` while empty.
void RemoveEmptyDirsUpTo(std::string dir, const std::string& top) {
  while (dir.size() > top.size() && RemoveDirectoryA(dir.c_str())) {
    size_t slash = dir.find_last_of('\\');
    if (slash == std::string::npos) break;
    dir.erase(slash);
  }
}

void DeleteUserInfoFiles(const char* baseName) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(DataFile("*.ui").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    std::string top = DataFile(found.cFileName);
    std::string file = top + "\\" + baseName;
    if (DeleteFileA(file.c_str())) RemoveEmptyDirsUpTo(file.substr(0, file.find_last_of('\\')), top);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void DeleteFolderFiles(const ConfRec& rec, bool withUserInfo) {
  char base[31] = {};
  std::memcpy(base, rec.baseName, strnlen(rec.baseName, 30));
  std::string log = FolderLog(base);
  if (log.empty()) {
    DebugLogF("DeleteFolder: '%s' names a file outside the data directory; its files stay\n", base);
    return;
  }
  EraseFileOnce(log.c_str());
  for (const char* extension : kFolderExtensions) {
    char path[MAX_PATH];
    lstrcpynA(path, log.c_str(), sizeof path);
    setext(path, extension, sizeof path);
    EraseFileOnce(path);
  }
  size_t slash = log.find_last_of('\\');
  std::string dir = log.substr(0, slash);
  if (dir.size() + 1 > std::strlen(g_app.dataDir) && RemoveDirectoryA(dir.c_str()) && !sameservice(rec.name, "dvn"))
    EraseFileOnce((dir + ".NAM").c_str());
  if (withUserInfo) DeleteUserInfoFiles(base);
}

// ---- the dialog ----

INT_PTR CALLBACK DelResignProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      for (const std::string& name : SplitSelection(reinterpret_cast<const char*>(lParam)))
        SendDlgItemMessageA(dialog, IDC_DELRESIGN_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(ShownName(name.c_str()).c_str()));
      CheckDlgButton(dialog, IDC_DELRESIGN_HIDE, s_hide || s_delete ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, IDC_DELRESIGN_DELETE, s_delete ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, IDC_DELRESIGN_RESIGN, s_resign ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_DELRESIGN_DELETE:
          // Deleting hides too.
          if (IsDlgButtonChecked(dialog, IDC_DELRESIGN_DELETE)) CheckDlgButton(dialog, IDC_DELRESIGN_HIDE, BST_CHECKED);
          return TRUE;
        case IDOK:
          s_delete = IsDlgButtonChecked(dialog, IDC_DELRESIGN_DELETE) == BST_CHECKED;
          s_hide = s_delete || IsDlgButtonChecked(dialog, IDC_DELRESIGN_HIDE) == BST_CHECKED;
          s_resign = IsDlgButtonChecked(dialog, IDC_DELRESIGN_RESIGN) == BST_CHECKED;
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

HINSTANCE ResourceModule() { return g_app.instance ? g_app.instance : GetModuleHandleA(nullptr); }

std::string CurrentSelection() {
  const char* selection = g_messageBaseHooks.selection();
  return selection ? selection : "";
}

void ResignFolder(const char* name) {
  ResignPlan plan = PlanResign(name, CanModerate(name));
  switch (plan.kind) {
    case ResignKind::kNone: break;
    case ResignKind::kScriptCommand: AddFolderScriptCmd(plan.service.c_str(), name, plan.command.c_str()); break;
    case ResignKind::kMessageSections: g_maintenanceHooks.editMessageSections(name); break;
    case ResignKind::kConfsSel: UnsubscribeConfsSel(plan.service.c_str(), name); break;
  }
}

}  // namespace

int FolderExists(const char* service, const char* name) {
  char wanted[120];
  std::snprintf(wanted, sizeof wanted, "%s:%s", service, name);
  if (char* dot = std::strchr(wanted + std::strlen(service) + 1, '.')) *dot = '/';
  size_t length = std::strlen(wanted);
  for (int i = 0; i < Conferences.Count(); ++i) {
    const char* folder = static_cast<ConfRec*>(Conferences.At(i))->name;
    if (SameText1252(folder, wanted)) return 1;
    if (std::strlen(folder) > length && folder[length] == '/' && !_strnicmp(folder, wanted, length)) return 1;
  }
  return 0;
}

void DeleteFolder(const char* name, bool withUserInfo) {
  BeginWait();
  const bool exact = std::strchr(name, '/') != nullptr;
  bool matched = false;
  for (int i = 0; i < Conferences.Count();) {
    ConfRec rec = *static_cast<ConfRec*>(Conferences.At(i));
    if (!FolderCovers(name, rec.name)) {
      ++i;
      continue;
    }
    matched = true;
    if (g_topic.log && SameText1252(g_topic.openName, rec.name)) logclose();
    DropPruneFolder(rec.name);
    DeleteFolderFiles(rec, withUserInfo);
    CurrentFolder.Detach();
    Conferences.RemoveAt(i);
    if (exact) break;
  }
  if (!matched) {
    const char* colon = std::strchr(name, ':');
    if (sameservice(name, "dvn") && colon && !std::strchr(colon, '/') && IsSafeBaseName(colon + 1)) {
      EraseFileOnce((DataFile("dvn\\") + (colon + 1) + ".NAM").c_str());
    } else {
      char text[160];
      std::snprintf(text, sizeof text, "No folder '%s'", name);
      msgnote(text);
    }
  }
  EndWait();
}

int UnsubscribeConfsSel(const char* service, const char* folderName) {
  char group[120];
  lstrcpynA(group, folderName, sizeof group);
  MakeUsenetName(group);
  char path[MAX_PATH];
  JoinPath(path, sizeof path, {g_app.dataDir, service, "confs.sel"});
  FILE* file = fopen_rw(path, FO_BINARY | FO_QUIET);
  if (!file) {
    char text[300];
    lstrcpynA(text,
              "%PROGRAM% is unable to unsubscribe from the folder(s) at this time.\n\n"
              "Please use the Message|Subscribe/Unsubscribe action later.",
              sizeof text - 64);
    ExpandTextMacros(text, sizeof text);
    msgwarn(text);
    return 0;
  }
  std::vector<char> line(4097);
  for (;;) {
    long start = std::ftell(file);
    if (!std::fgets(line.data(), static_cast<int>(line.size()), file)) break;
    if (!MarkConfsSelLine(line.data(), group)) continue;
    // Same length: the line goes back where it was.
    size_t length = std::strlen(line.data());
    std::fseek(file, start, SEEK_SET);
    bool ok = std::fwrite(line.data(), 1, length, file) == length && std::fflush(file) == 0;
    fileclose(file);
    return ok ? 1 : 0;
  }
  fileclose(file);
  return 0;
}

void DoDelResign() {
  g_messageBaseHooks.refreshList();
  std::string selection = CurrentSelection();
  std::vector<std::string> names = SplitSelection(selection.c_str());
  if (names.empty()) return;
  for (const std::string& n : names) {
    if (n.find(':') == std::string::npos || n.back() == ':') {
      if (!AskUnlessUnattended("You have selected an entire service to resign or delete.\n\n"
                               "Are you sure you want to do that?",
                               false))
        return;
      break;
    }
  }
  if (g_ui.dialogBox(ResourceModule(), "DelResign", g_app.mainWindow, DelResignProc,
                     reinterpret_cast<LPARAM>(selection.c_str())) != IDOK)
    return;
  BeginWait();
  char remembered[100];
  lstrcpynA(remembered, g_topic.openName, sizeof remembered);
  bool closedOpen = false;
  if (s_hide || s_delete) {
    for (const std::string& n : names) {
      for (int i = 0; i < Conferences.Count(); ++i) {
        auto* rec = static_cast<ConfRec*>(Conferences.At(i));
        if (!FolderCovers(n.c_str(), rec->name)) continue;
        rec->flags |= CONF_RESIGNED;
        if (g_topic.log && SameText1252(g_topic.openName, rec->name)) {
          logclose();
          closedOpen = true;
        }
      }
    }
    wtuconf();
  }
  if (s_delete) {
    if (!rdconf(1)) {
      rduconf();
      EndWait();
      return;
    }
  }
  if (s_delete || s_resign) {
    for (const std::string& n : names) {
      if (s_resign) ResignFolder(n.c_str());
      if (s_delete && CanModerate(n.c_str())) DeleteFolder(n.c_str(), true);
    }
  }
  if (s_delete) {
    wtconf();
    rduconf();
  }
  if (closedOpen) {
    g_messageBaseHooks.refreshFolders();
  } else if (remembered[0] && !g_topic.log && !s_delete) {
    SwitchTopic(remembered);
  }
  g_topicOpenHooks.updateFolderView();
  EndWait();
}

void DrawFolderNode(HDC dc, int x, int y, bool closed, bool conference) {
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, x, y + 3, x + 9, y + 12);
  MoveToEx(dc, x + 8, y + 7, nullptr);
  LineTo(dc, x + 16, y + 7);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  MoveToEx(dc, x + 2, y + 7, nullptr);
  LineTo(dc, x + 7, y + 7);
  if (closed) {
    MoveToEx(dc, x + 4, y + 5, nullptr);
    LineTo(dc, x + 4, y + 10);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  const char* name = conference ? (closed ? "cfolder" : "copenfold") : (closed ? "nfolder" : "nopenfold");
  HBITMAP bitmap = LoadBitmapA(ResourceModule(), name);
  if (!bitmap) return;
  BITMAP info;
  GetObject(bitmap, sizeof info, &info);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(dc, x + 15, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
}

void FillServiceCombo(HWND combo, const char* service) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(DataFile("*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == '.') continue;
      char key[MAX_PATH];
      lstrcpynA(key, found.cFileName, sizeof key);
      StrLower1252(key);
      if (std::strlen(key) > 8 || !IsServiceDir(key)) continue;
      if (!std::strcmp(key, "local") || !std::strcmp(key, "delnews") || !std::strcmp(key, "quorlnews") ||
          !std::strcmp(key, "msmail") || !std::strcmp(key, "ccmail"))
        continue;
      char section[64];
      std::snprintf(section, sizeof section, "Service %s", key);
      if (!std::strcmp(key, "net") && !GetIniBool(section, "Nntp Enabled")) continue;
      char shown[MAX_PATH];
      lstrcpynA(shown, key, sizeof shown);
      FixNameCase(shown);
      char entry[MAX_PATH + 32];
      if (std::strcmp(key, "net")) {
        bool conferences = !std::strcmp(key, "quorl") || !std::strcmp(key, "bix");
        std::snprintf(entry, sizeof entry, "%s%s", shown, conferences ? " (Conferences)" : " (Forums)");
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
      }
      if (!std::strcmp(key, "quorl") || !std::strcmp(key, "net")) {
        std::snprintf(entry, sizeof entry, "%s (Newsgroups)", shown);
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  char key[MAX_PATH] = "";
  if (service && service[0]) {
    lstrcpynA(key, service, sizeof key);
  } else {
    std::string selection = CurrentSelection();
    const char* from = !selection.empty() ? selection.c_str() : g_topic.log ? g_topic.openName : "";
    lstrcpynA(key, from, sizeof key);
    key[std::strcspn(key, ": ")] = 0;
  }
  FixNameCase(key);
  char wanted[MAX_PATH + 32];
  if (sameservice(key, "net"))
    std::snprintf(wanted, sizeof wanted, "%s (Newsgroups)", key);
  else if (sameservice(key, "dvn"))
    std::snprintf(wanted, sizeof wanted, "%s (Forums)", key);
  else
    std::snprintf(wanted, sizeof wanted, "%s (Conferences)", key);
  LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wanted));
  SendMessageA(combo, CB_SETCURSEL, at == CB_ERR ? 0 : at, 0);
}
