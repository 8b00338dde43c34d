// The browser's command dialogs: forum sections, remote search, service
// directories and favourite places.
#include "browser/command_dialogs.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/message_actions.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_dirs.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "online/script_cmd.h"
#include "resources/browser_ids.h"
#include "shell/commands.h"
#include "shell/shell_state.h"

namespace {

HINSTANCE Module() { return g_app.instance ? g_app.instance : GetModuleHandleA(nullptr); }

std::string DlgText(HWND dialog, int id) {
  char text[4097] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// --- Sections ------------------------------------------------------------------

struct SectionsRun {
  std::string* sections;
  std::string forum;
};

void OnSectionsInit(HWND dialog, SectionsRun* run) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
  HWND list = GetDlgItem(dialog, IDC_SECTIONS_LIST);
  LoadListBox(list, run->forum.c_str(), "Message Sections Available");
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char item[200] = "";
    if (SendMessageA(list, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof item)) continue;
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
    if (SectionChosen(*run->sections, SectionNumberOfItem(item))) SendMessageA(list, LB_SETSEL, TRUE, i);
  }
}

void OnSectionsOk(HWND dialog) {
  auto* run = reinterpret_cast<SectionsRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  HWND list = GetDlgItem(dialog, IDC_SECTIONS_LIST);
  std::vector<long> numbers;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (SendMessageA(list, LB_GETSEL, i, 0) <= 0) continue;
    char item[200] = "";
    if (SendMessageA(list, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof item)) continue;
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
    numbers.push_back(SectionNumberOfItem(item));
  }
  if (run) *run->sections = SectionsText(numbers);
  EndDialog(dialog, 1);
}

// --- Remote search ---------------------------------------------------------------

struct SearchRun {
  std::string folder;  // the folder searched, with its service
  std::string result;  // the action lines, once OK was pressed
};

std::string CurrentMessageLine(const char* field, bool person) {
  const long number = g_browser.currentMessage;
  if (!g_topic.log || number <= 0 || !scanmsg(number)) return "";
  for (long guard = 0; g_logReader.remaining >= 1 && guard < 100000; ++guard) {
    const long n = readmsgline(g_logReader);
    if (n <= 0) break;
    g_logReader.remaining -= n;
    const std::string line(g_logReader.line, g_logReader.lineLength);
    if (line == "\n" || line == "\r\n") break;  // the end of the message's own header lines
    const std::string text = SearchTextOfLine(line, field, person);
    if (!text.empty()) return text;
  }
  return "";
}

void FillSearchText(HWND dialog, int radio) {
  const char* field = radio == IDC_SEARCH_TO ? "To: " : radio == IDC_SEARCH_SUBJECT ? "Subject: " : "From: ";
  SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, CurrentMessageLine(field, radio != IDC_SEARCH_SUBJECT).c_str());
}

void OnSearchInit(HWND dialog, SearchRun* run) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
  SetDlgItemTextA(dialog, IDC_SEARCH_SECTIONS, SectionOfFolder(WithoutServiceKey(run->folder.c_str())).c_str());
  CheckRadioButton(dialog, IDC_SEARCH_FROM, IDC_SEARCH_SUBJECT, IDC_SEARCH_FROM);
  SendDlgItemMessageA(dialog, IDC_SEARCH_TEXT, EM_LIMITTEXT, 4096, 0);
  FillSearchText(dialog, IDC_SEARCH_FROM);
  char selected[81];
  GetViewSelText(selected, sizeof selected);
  if (selected[0]) SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, selected);
  HWND combo = GetDlgItem(dialog, IDC_SEARCH_LIMIT);
  for (const char* name : kSearchLimitNames) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void OnSearchOk(HWND dialog) {
  auto* run = reinterpret_cast<SearchRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!run) return;
  int limit = static_cast<int>(SendDlgItemMessageA(dialog, IDC_SEARCH_LIMIT, CB_GETCURSEL, 0, 0));
  if (limit < 0 || limit > 9) limit = 0;
  const char* by = IsDlgButtonChecked(dialog, IDC_SEARCH_TO) == BST_CHECKED        ? "4"
                   : IsDlgButtonChecked(dialog, IDC_SEARCH_SUBJECT) == BST_CHECKED ? "2"
                                                                                   : "3";
  run->result = RemoteSearchLines(g_app.userName, ForumOf(WithoutServiceKey(run->folder.c_str())),
                                  DlgText(dialog, IDC_SEARCH_SECTIONS), kSearchLimitCodes[limit], by,
                                  DlgText(dialog, IDC_SEARCH_TEXT));
  EndDialog(dialog, IDOK);
}

void OnSearchBrowse(HWND dialog) {
  auto* run = reinterpret_cast<SearchRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  std::string sections = DlgText(dialog, IDC_SEARCH_SECTIONS);
  const std::string forum = run ? ForumOf(WithoutServiceKey(run->folder.c_str())) : "";
  if (ChooseForumSections(&sections, forum.c_str())) SetDlgItemTextA(dialog, IDC_SEARCH_SECTIONS, sections.c_str());
}

// --- Favourites -------------------------------------------------------------------

void OnFavesInit(HWND dialog) {
  for (int i = 0; i < FAVOURITE_COUNT; ++i) {
    HWND combo = GetDlgItem(dialog, IDC_FAVE_FIRST + i);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("<None>"));
    int chosen = 0;
    for (int c = 0; c < Conferences.Count(); ++c) {
      auto* rec = static_cast<const ConfRec*>(Conferences.At(c));
      if (!rec || (rec->flags & 1)) continue;
      const int at = static_cast<int>(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rec->name)));
      if (at >= 0 && g_favourites[i][0] && !lstrcmpiA(rec->name, g_favourites[i])) chosen = at;
    }
    SendMessageA(combo, CB_SETCURSEL, chosen, 0);
  }
}

void OnFavesOk(HWND dialog) {
  for (int i = 0; i < FAVOURITE_COUNT; ++i) {
    HWND combo = GetDlgItem(dialog, IDC_FAVE_FIRST + i);
    const int at = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
    char name[kIniStringValue] = "";
    if (at > 0 && SendMessageA(combo, CB_GETLBTEXTLEN, at, 0) < static_cast<LRESULT>(sizeof name))
      SendMessageA(combo, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(name));
    lstrcpynA(g_favourites[i], name, FAVOURITE_MAX + 1);
  }
  WriteFavourites();
  if (g_shell.frame) LoadMainMenu();
  EndDialog(dialog, IDOK);
}

}  // namespace

void LoadListBox(HWND list, const char* forum, const char*) {
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  const std::string prefix = std::string("dvn:") + (forum ? forum : "") + "/";
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || _strnicmp(rec->name, prefix.c_str(), prefix.size())) continue;
    const char* section = rec->name + prefix.size();
    if ((section[0] | 0x20) == 's' && section[1] >= '0' && section[1] <= '9')
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(section));
  }
}

INT_PTR CALLBACK MsgListsSelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnSectionsInit(dialog, reinterpret_cast<SectionsRun*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnSectionsOk(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

int ChooseForumSections(std::string* sections, const char* forum) {
  std::string empty;
  SectionsRun run = {sections ? sections : &empty,
                     forum ? std::string(forum) : ForumOf(WithoutServiceKey(g_topic.openName))};
  return static_cast<int>(g_ui.dialogBox(Module(), "MsgListsSel", GetActiveWindow(), MsgListsSelProc,
                                         reinterpret_cast<LPARAM>(&run))) == 1
             ? 1
             : 0;
}

INT_PTR CALLBACK DvnSearchProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnSearchInit(dialog, reinterpret_cast<SearchRun*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnSearchOk(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        case IDC_SEARCH_BROWSE: OnSearchBrowse(dialog); return TRUE;
        case IDC_SEARCH_FROM:
        case IDC_SEARCH_TO:
        case IDC_SEARCH_SUBJECT:
          if (HIWORD(wParam) == BN_CLICKED) FillSearchText(dialog, LOWORD(wParam));
          return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

void RemoteSearch() {
  const char* folder = CurFolderName();
  if (!folder || !folder[0]) return;
  const std::string key = ServiceKeyOf(folder);
  if (!sameservice(folder, "dvn")) {
    AddFolderScriptCmd(key.c_str(), WithoutServiceKey(folder).c_str(), "rsearch");
    return;
  }
  SearchRun run;
  run.folder = folder;
  if (g_ui.dialogBox(Module(), "DvnSearch", g_app.mainWindow, DvnSearchProc, reinterpret_cast<LPARAM>(&run)) != IDOK ||
      run.result.empty())
    return;
  char path[MAX_PATH] = "";
  const std::string file = key + ".bsc";
  if (!JoinPath(path, sizeof path, {g_app.dataDir, key.c_str(), file.c_str()})) return;
  FILE* out = fopen_alock(path, FO_QUIET);
  if (!out) {
    WarnBoxF("Can't open '%s'", path);
    return;
  }
  std::fputs(run.result.c_str(), out);
  fileclose(out);
}

namespace {
// The entry a restricted list offers for the user's own Internet account;
// empty without one. The caller's loaded service settings stay as they were.
std::string OwnNetEntry() {
  const ServiceAddress kept = g_serviceAddress;
  std::string entry;
  if (ReadServiceSettings("net") && g_serviceAddress.popAccount[0])
    entry = std::string("net:") + g_serviceAddress.popAccount;
  g_serviceAddress = kept;
  return entry;
}
}  // namespace

void ScanNetFolders(HWND combo, const char* leaveOut, bool restricted) {
  const bool allowed = !restricted || HasRight(32768);
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, sizeof pattern, {g_app.dataDir, "*"})) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == '.' ||
        found.cFileName[0] == '%' || !IsServiceDir(found.cFileName))
      continue;
    char name[MAX_PATH];
    lstrcpynA(name, found.cFileName, sizeof name);
    CharLowerA(name);
    if (leaveOut && std::strstr(leaveOut, (std::string(name) + ";").c_str())) continue;
    const bool net = !lstrcmpA(name, "net");
    FixNameCase(name);
    if (allowed) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    if (net && restricted) {
      const std::string own = OwnNetEntry();
      if (!own.empty()) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(own.c_str()));
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

INT_PTR CALLBACK FavesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: OnFavesInit(dialog); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnFavesOk(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

void EditFavourites() { g_ui.dialogBox(Module(), "Faves", g_app.mainWindow, FavesProc, 0); }
