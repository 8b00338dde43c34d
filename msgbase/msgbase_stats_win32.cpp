// The statistics dialog: every folder of conf.ww with its numbers, message
// count and disk use, the totals, and the list saved or printed.
#include <windows.h>

#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/small_text.h"
#include "core/system_helpers.h"
#include "core/ui_seams.h"
#include "msgbase/conf_list.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "resources/msgbase_ids.h"

namespace {

const char* const kCountedExtensions[] = {".ind", ".thr", ".id", ".fil", ".mod"};

long long FileLength(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string WithExtension(const std::string& path, const char* extension) {
  char out[MAX_PATH];
  lstrcpynA(out, path.c_str(), sizeof out);
  setext(out, extension, sizeof out);
  return out;
}

IndexHead ReadHead(const std::string& index) {
  IndexHead head;
  FILE* file = std::fopen(index.c_str(), "rb");
  if (!file) return head;
  unsigned char bytes[16];
  size_t n = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  ReadIndexHead(bytes, n, &head);
  return head;
}

// ---- the dialog ----

struct StatsDialog {
  std::vector<std::string> lines;
  StatsTotals totals;
};

StatsDialog* StateOf(HWND dialog) { return reinterpret_cast<StatsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void OnInit(HWND dialog, StatsDialog* state) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  for (int control : {IDC_STATS_TOTAL_FOLDERS, IDC_STATS_TOTAL_SIZE, IDC_STATS_TOTAL_MESSAGES})
    ShowWindow(GetDlgItem(dialog, control), SW_HIDE);
  EnableWindow(GetDlgItem(dialog, IDC_STATS_PRINT), FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_STATS_SAVE), FALSE);
  FillStats(&state->lines, &state->totals);
  HWND list = GetDlgItem(dialog, IDC_STATS_LIST);
  for (const std::string& line : state->lines)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  // The statics' own texts are the formats.
  char format[128], text[160];
  GetDlgItemTextA(dialog, IDC_STATS_TOTAL_FOLDERS, format, sizeof format);
  std::snprintf(text, sizeof text, format, state->totals.folders);
  SetDlgItemTextA(dialog, IDC_STATS_TOTAL_FOLDERS, text);
  ShowWindow(GetDlgItem(dialog, IDC_STATS_TOTAL_FOLDERS), SW_SHOW);
  GetDlgItemTextA(dialog, IDC_STATS_TOTAL_SIZE, format, sizeof format);
  std::snprintf(text, sizeof text, format, static_cast<unsigned long>(state->totals.bytes / 1024));
  SetDlgItemTextA(dialog, IDC_STATS_TOTAL_SIZE, text);
  ShowWindow(GetDlgItem(dialog, IDC_STATS_TOTAL_SIZE), SW_SHOW);
  GetDlgItemTextA(dialog, IDC_STATS_TOTAL_MESSAGES, format, sizeof format);
  std::snprintf(text, sizeof text, format, state->totals.messages);
  SetDlgItemTextA(dialog, IDC_STATS_TOTAL_MESSAGES, text);
  ShowWindow(GetDlgItem(dialog, IDC_STATS_TOTAL_MESSAGES), SW_SHOW);
  EnableWindow(GetDlgItem(dialog, IDC_STATS_PRINT), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_STATS_SAVE), TRUE);
}

// The left edge of a header static, in the list's client coordinates.
int ColumnOf(HWND dialog, HWND list, int header, bool right) {
  RECT rect;
  GetWindowRect(GetDlgItem(dialog, header), &rect);
  POINT point = {right ? rect.right : rect.left, rect.top};
  ScreenToClient(list, &point);
  return point.x;
}

void DrawStatsLine(HWND dialog, const DRAWITEMSTRUCT* item) {
  StatsDialog* state = StateOf(dialog);
  if (!state || item->itemID == static_cast<UINT>(-1) || item->itemID >= state->lines.size()) return;
  bool selected = (item->itemState & ODS_SELECTED) != 0;
  HDC dc = item->hDC;
  FillRect(dc, &item->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  std::string line = state->lines[item->itemID];
  std::vector<std::string> fields;
  size_t at = 0;
  while (fields.size() < 5) {
    size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) break;
    at = tab + 1;
  }
  char name[120];
  lstrcpynA(name, fields[0].c_str(), sizeof name);
  if (isnewsfolder(name)) {
    while (char* dotted = std::strstr(name, "/.")) std::memmove(dotted, dotted + 2, std::strlen(dotted + 2) + 1);
    strtr(name, '/', '.');
  }
  FixNameCase(name);
  HWND list = item->hwndItem;
  RECT cell = item->rcItem;
  cell.left = ColumnOf(dialog, list, IDC_STATS_FOLDER, false);
  DrawTextA(dc, name, -1, &cell, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  const int headers[] = {IDC_STATS_FIRST, IDC_STATS_LAST, IDC_STATS_MESSAGES, IDC_STATS_SIZE};
  for (size_t i = 1; i < fields.size() && i <= 4; ++i) {
    RECT number = item->rcItem;
    number.right = ColumnOf(dialog, list, headers[i - 1], true);
    number.left = number.right - 80;
    DrawTextA(dc, fields[i].c_str(), -1, &number, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &item->rcItem);
}

void SaveLines(HWND dialog) {
  StatsDialog* state = StateOf(dialog);
  char path[MAX_PATH] = "";
  if (!PromptSaveFileName(dialog, "Save As", path, "All Files\0*.*\0", nullptr)) return;
  FILE* file = fopen_w(path, 0);
  if (!file) {
    WarnBoxF("Can't open '%s'", path);
    return;
  }
  bool ok = true;
  for (const std::string& line : state->lines) ok = std::fprintf(file, "%s\n", line.c_str()) > 0 && ok;
  ok = std::fflush(file) == 0 && ok;
  fileclose(file);
  if (!ok) WarnBoxF("Unable to write '%s'", path);
}

void PrintLines(HWND dialog) {
  StatsDialog* state = StateOf(dialog);
  PRINTDLGA print = {};
  print.lStructSize = sizeof print;
  print.hwndOwner = dialog;
  print.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
  if (!PrintDlgA(&print) || !print.hDC) return;
  HDC dc = print.hDC;
  DOCINFOA doc = {};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = "MessageBase Statistics";
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
  int pageHeight = GetDeviceCaps(dc, VERTRES);
  int tab = metrics.tmAveCharWidth * 8;
  if (StartDocA(dc, &doc) > 0) {
    int y = pageHeight;
    for (const std::string& line : state->lines) {
      if (y + lineHeight > pageHeight) {
        if (y != pageHeight) EndPage(dc);
        StartPage(dc);
        y = 0;
      }
      TabbedTextOutA(dc, 0, y, line.c_str(), static_cast<int>(line.size()), 1, &tab, 0);
      y += lineHeight;
    }
    if (y != pageHeight) EndPage(dc);
    EndDoc(dc);
  }
  DeleteDC(dc);
  if (print.hDevMode) GlobalFree(print.hDevMode);
  if (print.hDevNames) GlobalFree(print.hDevNames);
}

INT_PTR CALLBACK ShowStatsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInit(dialog, reinterpret_cast<StatsDialog*>(lParam)); return TRUE;
    case WM_MEASUREITEM: reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 16; return TRUE;
    case WM_DRAWITEM: DrawStatsLine(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: EndDialog(dialog, IDOK); return TRUE;
        case IDC_STATS_SAVE: SaveLines(dialog); return TRUE;
        case IDC_STATS_PRINT: PrintLines(dialog); return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void FillStats(std::vector<std::string>* lines, StatsTotals* totals) {
  lines->clear();
  *totals = StatsTotals();
  FILE* file = fopen_rlock(DataFile("conf.ww").c_str(), FO_BINARY | FO_QUIET);
  if (!file) return;
  BeginWait();
  VirtualArray list("Statistics", sizeof(ConfRec));
  uint32_t header = 0;
  ConfFileResult result = ReadConfList(file, list, &header);
  fileclose(file);
  if (result == CONFFILE_OK) {
    for (int i = 0; i < list.Count(); ++i) {
      const ConfRec* rec = static_cast<ConfRec*>(list.At(i));
      char name[sizeof rec->name + 1] = {};
      std::memcpy(name, rec->name, strnlen(rec->name, sizeof rec->name));
      FixNameCase(name);
      uint64_t bytes = 0;
      IndexHead head;
      std::string log = FolderLog(rec->baseName);
      if (!log.empty()) {
        long long size = FileLength(log);
        if (size > 0) bytes += static_cast<uint64_t>(size);
        for (const char* extension : kCountedExtensions) {
          std::string path = WithExtension(log, extension);
          size = FileLength(path);
          if (size > 0) bytes += static_cast<uint64_t>(size);
        }
        head = ReadHead(WithExtension(log, ".ind"));
      }
      uint64_t counted = CountedFolderBytes(bytes);
      totals->Add(counted, head.count);
      lines->push_back(
          StatsLine(name, static_cast<uint32_t>(head.first), static_cast<uint32_t>(head.last), head.count, counted));
      PumpMessages();
      if (g_app.cancelTask) break;
    }
  }
  EndWait();
}

void ShowStats() {
  StatsDialog state;
  HINSTANCE module = g_app.instance ? g_app.instance : GetModuleHandleA(nullptr);
  g_ui.dialogBox(module, "ShowStats", g_app.mainWindow, ShowStatsProc, reinterpret_cast<LPARAM>(&state));
}
