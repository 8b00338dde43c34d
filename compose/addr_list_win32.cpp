// The list in edit, list-box and combo-box controls, its small file, and its
// services from the program's settings and the open topic.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "compose/addr_list.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "msgbase/conf_files.h"
#include "msgbase/topic_open.h"

namespace {

void SettingsDomains(const char* service, char* first, char* second, size_t size) {
  ServiceMailDomains(service, first, second, size);
}

const char* SettingsValue(const char* service, const char* key) {
  const char* v = GetServiceIniString(nullptr, service, key);
  return v ? v : "";
}

const char* LoggedInUser() { return g_app.userName; }

const char* OpenTopic() { return g_topic.log ? g_topic.openName : ""; }

bool OpenTopicMessage(long number) { return g_topic.log && scanmsg(number) != 0; }

bool NextMessageLine(char* buffer, size_t size) {
  buffer[0] = 0;
  if (g_logReader.remaining <= 0) return false;
  long n = readmsgline(g_logReader);
  if (n <= 0) return false;
  g_logReader.remaining -= n;
  CopyBounded(buffer, size, g_logReader.line, g_logReader.lineLength);
  return true;
}

enum class ControlKind { None, Edit, ListBox, ComboBox };

ControlKind KindOf(HWND control) {
  char cls[21] = "";
  if (!control || !GetClassNameA(control, cls, sizeof cls)) return ControlKind::None;
  if (lstrcmpiA(cls, "edit") == 0) return ControlKind::Edit;
  if (lstrcmpiA(cls, "listbox") == 0) return ControlKind::ListBox;
  if (lstrcmpiA(cls, "combobox") == 0) return ControlKind::ComboBox;
  return ControlKind::None;
}

}  // namespace

AddrListHooks g_addrListHooks = {SettingsDomains, SettingsValue,    LoggedInUser,
                                 OpenTopic,       OpenTopicMessage, NextMessageLine};

int CAddrList::FillControl(HWND control, const char* service, bool append) {
  ControlKind kind = KindOf(control);
  if (kind == ControlKind::None) return 1;
  if (!append) {
    if (kind == ControlKind::Edit) SetWindowTextA(control, "");
    if (kind == ControlKind::ListBox) SendMessageA(control, LB_RESETCONTENT, 0, 0);
    if (kind == ControlKind::ComboBox) SendMessageA(control, CB_RESETCONTENT, 0, 0);
  }
  bool dvn = service && lstrcmpiA(service, "dvn") == 0;
  for (int i = 0; i < Count(); ++i) {
    const char* form = FormatEntry(i, dvn);
    if (kind == ControlKind::Edit) {
      int length = GetWindowTextLengthA(control);
      SendMessageA(control, EM_SETSEL, length, length);
      if (length) SendMessageA(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(";"));
      SendMessageA(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(form));
    } else {
      SendMessageA(control, kind == ControlKind::ListBox ? LB_ADDSTRING : CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(form));
    }
  }
  return 0;
}

int CAddrList::ReadControl(HWND control, bool append) {
  ControlKind kind = KindOf(control);
  if (kind == ControlKind::None) return 1;
  if (kind == ControlKind::Edit) {
    int length = GetWindowTextLengthA(control);
    char* text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!text) return 1;
    GetWindowTextA(control, text, length + 1);
    ReadText(text, append);
    std::free(text);
    return 0;
  }
  if (!append) Clear();
  bool list = kind == ControlKind::ListBox;
  int count = static_cast<int>(SendMessageA(control, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    int length = static_cast<int>(SendMessageA(control, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0));
    if (length < 0) continue;
    char* item = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!item) return 1;
    item[0] = 0;
    SendMessageA(control, list ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    AddEntry(item, nullptr);
    std::free(item);
  }
  return 0;
}

int CAddrList::SaveToFile(const char* path) {
  // The sender forms are the user's data: written beside and moved over.
  char temp[MAX_PATH];
  TempPathBeside(path, temp, sizeof temp);
  FILE* f = CreateTempBeside(temp);
  if (!f) {
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to write '%s'.", path);
    return 1;
  }
  for (int i = 0; i < Count(); ++i) {
    AddrListEntry* e = At(i);
    if (!e) continue;
    if (e->name[0])
      std::fprintf(f, "%s\t%s\n", e->name, e->address);
    else
      std::fprintf(f, "%s\n", e->address);
  }
  bool ok = CloseTemp(f) && MoveOver(temp, path);
  if (!ok) {
    EraseFileOnce(temp);
    MsgBoxF(MB_OK | MB_ICONEXCLAMATION, "Unable to write '%s'.", path);
    return 1;
  }
  return 0;
}

int CAddrList::LoadFromFile(const char* path) {
  Clear();
  FILE* f = fopen_r(path, FO_QUIET);
  if (!f) return 0;
  char line[200];
  while (std::fgets(line, sizeof line, f)) {
    size_t n = std::strlen(line);
    bool whole = n && line[n - 1] == '\n';
    while (n && (line[n - 1] == '\r' || line[n - 1] == '\n')) line[--n] = 0;
    AddEntry(line, nullptr);
    // The rest of an overlong line is not a line of its own.
    if (!whole) {
      int c;
      while ((c = std::fgetc(f)) != EOF && c != '\n') {}
    }
  }
  fileclose(f);
  return 0;
}
