// The MessageBase window's folder list: an owner-drawn list box whose rows
// carry heap copies of their entry text ("0%s\t%d" service, "1%s\t%d"
// conference, "2%s\t%d" topic), freed when the row is deleted.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/browser.h"
#include "browser/mbw.h"
#include "browser/mbw_filter.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/read_state.h"
#include "msgbase/topic_open.h"

namespace {

constexpr int kMaxScanRows = 16000;

LRESULT List(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return g_mbw.list ? SendMessageA(g_mbw.list, message, wParam, lParam) : LB_ERR;
}

int RowCount() {
  LRESULT n = List(LB_GETCOUNT);
  return n == LB_ERR ? 0 : static_cast<int>(n);
}

const char* RowData(int row) {
  LRESULT data = List(LB_GETITEMDATA, row);
  return data == LB_ERR || data == 0 ? nullptr : reinterpret_cast<const char*>(data);
}

int InsertRow(int at, const char* text) {
  size_t length = std::strlen(text) + 1;
  char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length));
  if (!copy) return -1;
  std::memcpy(copy, text, length);
  LRESULT row = List(LB_INSERTSTRING, at, reinterpret_cast<LPARAM>(copy));
  if (row == LB_ERR || row == LB_ERRSPACE) {
    HeapFree(GetProcessHeap(), 0, copy);
    return -1;
  }
  return static_cast<int>(row);
}

void Pump() {
  if (g_mbw.window) PumpMessages();
}

const ConfRec* Folder(int index) {
  if (index < 0 || index >= Conferences.Count()) return nullptr;
  return static_cast<const ConfRec*>(Conferences.At(index));
}

// The row's folder index when it still names the folder the row was made for.
int RowIndex(int row, std::string* fullName = nullptr) {
  const char* data = RowData(row);
  if (!data || !data[0]) return -1;
  const char* tab = std::strchr(data, '\t');
  if (!tab) return -1;
  std::string name(data + 1, tab);
  if (fullName) *fullName = name;
  int index = std::atoi(tab + 1);
  const ConfRec* rec = Folder(index);
  if (!rec) return -1;
  char full[120];
  MbwFullName(rec->name, full, sizeof full);
  return SameText1252(full, name.c_str()) ? index : -1;
}

std::string Cut(const std::string& name, char at, bool last = false) {
  size_t p = last ? name.rfind(at) : name.find(at);
  return p == std::string::npos ? name : name.substr(0, p + 1);
}

std::string WithoutLocal(const std::string& name) {
  return _strnicmp(name.c_str(), "local:", 6) == 0 ? name.substr(6) : name;
}

std::string ServiceOf(const char* full) {
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, full);
  return key;
}

bool NoTopicRows(const std::string& service) { return service == "caucus" || service == "bix"; }

bool Shown(const ConfRec* rec) { return rec && !MbwResignFilter(rec); }

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && _strnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

void AddRow(int level, const char* full, int index) {
  char text[160];
  snprintf(text, sizeof text, "%d%s\t%d", level, full, index);
  InsertRow(-1, text);
}

// The counterpart of a folder that vanished from the list: the other kind of
// Dravenet folder with the same number, or a local or Quorl folder's twin.
bool Counterpart(std::string& name) {
  std::string service = ServiceOf(name.c_str());
  size_t slash = name.find('/');
  std::string candidate;
  if (service == "dvn" && slash != std::string::npos && slash + 1 < name.size()) {
    candidate = name;
    char& kind = candidate[slash + 1];
    if (kind == 'S' || kind == 's')
      kind = 'L';
    else if (kind == 'L' || kind == 'l')
      kind = 'S';
    else
      return false;
    size_t under = candidate.find('_', slash);
    if (under != std::string::npos) candidate.resize(under);
    for (int i = 0; i < Conferences.Count(); ++i) {
      const ConfRec* rec = Folder(i);
      if (Shown(rec) && StartsWith(rec->name, candidate)) {
        name = rec->name;
        return true;
      }
    }
    return false;
  }
  if (service != "quorl" && !service.empty() && service != "local") return false;
  size_t ff = name.find('\xFF');
  candidate = ff == std::string::npos ? name + '\xFF' : name.substr(0, ff);
  for (int i = 0; i < Conferences.Count(); ++i) {
    const ConfRec* rec = Folder(i);
    if (Shown(rec) && SameText1252(rec->name, candidate.c_str())) {
      name = rec->name;
      return true;
    }
  }
  return false;
}

bool FolderShown(const std::string& name) {
  for (int i = 0; i < Conferences.Count(); ++i) {
    const ConfRec* rec = Folder(i);
    if (rec && SameText1252(rec->name, name.c_str())) return Shown(rec);
  }
  return false;
}

int FindRowByKey(const std::string& key, bool prefix) {
  const int rows = RowCount();
  for (int row = 0; row < rows; ++row) {
    const char* data = RowData(row);
    if (!data) continue;
    const char* tab = std::strchr(data, '\t');
    std::string before(data, tab ? tab : data + std::strlen(data));
    if (prefix ? StartsWith(before, key) : SameText1252(before.c_str(), key.c_str())) return row;
  }
  return -1;
}

std::string g_selectedFolders;

int VisibleRows() {
  RECT r;
  GetClientRect(g_mbw.list, &r);
  int h = MbwRowHeight();
  return h > 0 ? r.bottom / h : 0;
}

}  // namespace

int MbwRowLevel(int row) {
  const char* data = RowData(row);
  return data && data[0] >= '0' && data[0] <= '2' ? data[0] - '0' : -1;
}

std::string MbwRowText(int row) {
  const char* data = RowData(row);
  return data ? data : "";
}

std::string MbwRowFolder(int row) {
  std::string full;
  const char* data = RowData(row);
  if (!data || !data[0]) return "";
  const char* tab = std::strchr(data, '\t');
  full.assign(data + 1, tab ? tab : data + std::strlen(data));
  return WithoutLocal(full);
}

int MbwRowHeight() {
  LRESULT h = List(LB_GETITEMHEIGHT, 0);
  return h == LB_ERR || h <= 0 ? 16 : static_cast<int>(h);
}

void MbwFillList() {
  if (!g_mbw.list) return;
  std::string remembered;
  LRESULT caret = List(LB_GETCARETINDEX);
  if (caret != LB_ERR && caret >= 0) remembered = MbwRowFolder(static_cast<int>(caret));
  SendMessageA(g_mbw.list, WM_SETREDRAW, FALSE, 0);
  List(LB_RESETCONTENT);
  std::string service = "~", conference = "~";
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<ConfRec*>(Conferences.At(i));
    if (!rec) continue;
    if (MbwFolderFilter(rec))
      rec->flags |= CONF_FILTERED;
    else
      rec->flags &= ~CONF_FILTERED;
    const int depth = g_mbwFilters.workingDepth;
    if (MbwResignFilter(rec)) continue;
    char full[120];
    MbwFullName(rec->name, full, sizeof full);
    const std::string key = ServiceOf(full);
    if (!StartsWith(full, service)) AddRow(0, full, i);
    if (depth > 0 && !StartsWith(full, conference)) AddRow(1, full, i);
    if (depth > 1 && !NoTopicRows(key)) AddRow(2, full, i);
    service = key + ":";
    conference = Cut(full, '/');
    // A long list keeps the program answering; the guard refuses any click
    // that would start a second fill meanwhile.
    Pump();
    if (!g_mbw.list) return;
  }
  if (!remembered.empty()) {
    if (!FolderShown(remembered)) Counterpart(remembered);
    MbwSelectFolder(remembered.c_str());
  }
  SendMessageA(g_mbw.list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(g_mbw.list, nullptr, TRUE);
}

void MbwExpand(int row, bool expand) {
  const int level = MbwRowLevel(row);
  if (level != 0 && level != 1) return;
  RECT client;
  GetClientRect(g_mbw.window, &client);
  const LONG units = GetDialogBaseUnits();
  int perPage = (client.bottom - 5 * (HIWORD(units) / 2 + 1)) / MbwRowHeight();
  if (RowCount() <= perPage) perPage = 0;
  const bool expanded = MbwRowLevel(row + 1) > level;
  if (expanded == expand) return;
  SendMessageA(g_mbw.list, WM_SETREDRAW, FALSE, 0);
  if (!expand) {
    while (MbwRowLevel(row + 1) > level) List(LB_DELETESTRING, row + 1);
  } else {
    std::string full;
    const char* data = RowData(row);
    const char* tab = data ? std::strchr(data, '\t') : nullptr;
    if (tab) full.assign(data + 1, tab);
    const std::string prefix = Cut(full, level == 0 ? ':' : '/');
    std::string last = "~";
    int at = row + 1;
    for (int i = 0; i < Conferences.Count() && tab; ++i) {
      const ConfRec* rec = Folder(i);
      if (!Shown(rec)) continue;
      char name[120];
      MbwFullName(rec->name, name, sizeof name);
      if (!StartsWith(name, prefix)) continue;
      if (level == 0 && StartsWith(name, Cut(last, '/'))) continue;
      if (level == 1 && SameText1252(name, last.c_str())) continue;
      if (level == 1 && NoTopicRows(ServiceOf(name))) break;
      char text[160];
      snprintf(text, sizeof text, "%d%s\t%d", level + 1, name, i);
      if (InsertRow(at, text) < 0) break;
      ++at;
      last = name;
    }
  }
  if (perPage && RowCount() <= perPage) List(LB_SETTOPINDEX, 0);
  SendMessageA(g_mbw.list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(g_mbw.list, nullptr, TRUE);
}

void MbwOpenEntry(HWND list, int row) {
  const int level = MbwRowLevel(row);
  if (level < 0) return;
  std::string full;
  RowIndex(row, &full);
  if (level == 2 || (level == 1 && ServiceOf(full.c_str()) == "caucus")) {
    if (g_mbw.search) SetWindowTextA(g_mbw.search, "");
    std::string name = MbwRowFolder(row);
    MbwOpenFolder(name.c_str(), (GetKeyState(VK_SHIFT) & 0x8000) != 0);
    return;
  }
  MbwExpand(row, MbwRowLevel(row + 1) <= level);
}

void MbwSelectFolder(const char* name) {
  if (!g_mbw.list || ConferencesBusy || !name || !name[0]) return;
  // A folder the set hides changes nothing, not even the place left.
  std::string wanted;
  for (int i = 0; i < Conferences.Count(); ++i) {
    const ConfRec* rec = Folder(i);
    if (rec && SameText1252(rec->name, name)) {
      if (!Shown(rec)) return;
      wanted = rec->name;
      break;
    }
  }
  if (wanted.empty()) return;
  // Tidy the place left: its conference (or service) closes again when the
  // depth shows it closed and the new folder lies elsewhere.
  if (g_mbw.previousFolder[0]) {
    int old = FindRowByKey(std::string("2") + g_mbw.previousFolder, false);
    if (old < 0) {
      char key[130];
      MbwFullName(g_mbw.previousFolder, key + 1, sizeof key - 1);
      key[0] = '2';
      old = FindRowByKey(key, false);
    }
    char oldFull[120], newFull[120];
    MbwFullName(g_mbw.previousFolder, oldFull, sizeof oldFull);
    MbwFullName(name, newFull, sizeof newFull);
    if (old >= 0 && g_mbwFilters.workingDepth < 2 &&
        !SameText1252(Cut(oldFull, '/').c_str(), Cut(newFull, '/').c_str())) {
      int conference = old;
      while (conference > 0 && MbwRowLevel(conference) != 1) --conference;
      if (MbwRowLevel(conference) == 1) MbwExpand(conference, false);
    }
  }
  char full[120];
  MbwFullName(wanted.c_str(), full, sizeof full);
  const std::string service = ServiceOf(full);
  const std::string key = (NoTopicRows(service) ? "1" : "2") + std::string(full);
  int row = FindRowByKey(key, false);
  if (row < 0) {
    int conference = FindRowByKey("1" + Cut(full, '/'), true);
    if (conference >= 0) {
      MbwExpand(conference, true);
      row = FindRowByKey(key, false);
    }
  }
  if (row < 0) {
    int serviceRow = FindRowByKey("0" + Cut(full, ':'), true);
    if (serviceRow >= 0) {
      MbwExpand(serviceRow, true);
      row = FindRowByKey(key, false);
      if (row < 0) {
        int conference = FindRowByKey("1" + Cut(full, '/'), true);
        if (conference >= 0) {
          MbwExpand(conference, true);
          row = FindRowByKey(key, false);
        }
      }
    }
  }
  if (row < 0) return;
  List(LB_SETSEL, FALSE, -1);
  List(LB_SETSEL, TRUE, row);
  List(LB_SETCARETINDEX, row, FALSE);
  const int half = (VisibleRows() - 1) / 2;
  const int top = static_cast<int>(List(LB_GETTOPINDEX));
  if (row - top > half) List(LB_SETTOPINDEX, row > half ? row - half : 0);
  lstrcpynA(g_mbw.previousFolder, wanted.c_str(), sizeof g_mbw.previousFolder);
  MbwUpdateCommands(nullptr);
}

int RefreshMbw() {
  for (int i = 0; i < Conferences.Count(); ++i)
    if (auto* rec = static_cast<ConfRec*>(Conferences.At(i))) rec->selected = 0;
  int result = 0;
  const int rows = RowCount();
  for (int row = 0; row < rows; ++row) {
    if (List(LB_GETSEL, row) <= 0) continue;
    ++result;
    const int level = MbwRowLevel(row);
    std::string full;
    const char* data = RowData(row);
    const char* tab = data ? std::strchr(data, '\t') : nullptr;
    if (!tab) continue;
    full.assign(data + 1, tab);
    uint8_t mark = 1;
    if (level == 0) {
      full = Cut(full, ':');
      mark = 2;
      result = -1000000;
    } else if (level == 1) {
      full = Cut(full, '/');
      mark = 2;
    }
    if (isnewsfolder(full.c_str()) || !MbwAllSet()) mark = 1;
    const bool wholeLocal = level == 0 && SameText1252(full.c_str(), "local:");
    const std::string name = WithoutLocal(full);
    for (int i = 0; i < Conferences.Count(); ++i) {
      auto* rec = static_cast<ConfRec*>(Conferences.At(i));
      if (!Shown(rec)) continue;
      bool hit;
      if (wholeLocal) {
        hit = ServiceOf(rec->name).empty() || ServiceOf(rec->name) == "local";
      } else if (level == 2) {
        hit = SameText1252(rec->name, name.c_str());
      } else {
        hit = StartsWith(rec->name, name);
      }
      if (hit) rec->selected |= mark;
    }
  }
  // The list grows as far as the selection goes: a cut list would leave
  // chosen folders out of whatever command reads it.
  g_selectedFolders.clear();
  std::string lastConference;
  for (int i = 0; i < Conferences.Count(); ++i) {
    const ConfRec* rec = Folder(i);
    if (!rec || !rec->selected) continue;
    std::string piece = rec->name;
    if (rec->selected & 2) {
      if (std::strchr(rec->name, '/')) {
        piece = Cut(rec->name, '/');
        if (SameText1252(piece.c_str(), lastConference.c_str())) continue;
        lastConference = piece;
      }
    }
    if (!g_selectedFolders.empty()) g_selectedFolders += ' ';
    g_selectedFolders += piece;
  }
  return result < 0 ? -1 : result;
}

const char* MbwSelectedFolders() { return g_selectedFolders.c_str(); }

void MbwTreeLine(HDC dc, int x1, int y1, int x2, int y2) {
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  if (x1 == x2) {
    if (y1 > y2) std::swap(y1, y2);
    for (int y = y1; y < y2; y += 2) SetPixel(dc, x1, y, shadow);
  } else if (y1 == y2) {
    if (x1 > x2) std::swap(x1, x2);
    for (int x = x1; x < x2; x += 2) SetPixel(dc, x, y1, shadow);
  } else {
    HPEN pen = CreatePen(PS_SOLID, 1, shadow);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void MbwRepaintList() {
  ++g_mbw.countGeneration;
  if (!g_mbw.list || !g_app.userName[0] || !g_user.messagebaseUnread || ConferencesBusy) return;
  RECT r;
  GetClientRect(g_mbw.list, &r);
  if (g_mbw.countColumnLeft > 0) r.left = g_mbw.countColumnLeft;
  InvalidateRect(g_mbw.list, &r, FALSE);
}
