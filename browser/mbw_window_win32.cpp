// The MessageBase window ("Old Harl"): search box, folder list, buttons and
// the tab strip of filter sets; its commands and the subclassed controls.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/browser.h"
#include "browser/mbw.h"
#include "browser/mbw_filter.h"
#include "browser/message_ops.h"
#include "core/appstate.h"
#include "core/fileio.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_dirs.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "shell/commands.h"
#include "shell/commands_hooks.h"
#include "shell/menus.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"

MbwState g_mbw;

namespace {

const char kMbwClass[] = "Old Harl";

struct Button {
  int id;
  const char* caption;
  int dvTimes, minus;  // y = dvTimes * dv - minus
};
const Button kButtons[] = {
    {1, "&Open", 1, 0},
    {4276, "&Delete", 5, 3},
    {1167, "Re&join", 9, 6},
    {4121, "&Refresh", 13, 6},
    {4386, "S&ignature", 17, 6},
    {4331, "&Properties", 21, 9},
    {4502, "Modif&y Parts", 25, 9},
    {8005, "&Help", 29, 9},
};

// Commands the window hands to the frame unchanged.
const int kFrameCommands[] = {1103, 1117, 1148, 1168, 1172, 1189, 1201, 1215, 1232, 1472, 14012};

bool Quiet() { return ConferencesBusy != 0; }

int DialogUnitX() { return LOWORD(GetDialogBaseUnits()); }
int DialogUnitY() { return HIWORD(GetDialogBaseUnits()) / 2; }

LRESULT List(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return g_mbw.list ? SendMessageA(g_mbw.list, message, wParam, lParam) : LB_ERR;
}

int SelectedCount() {
  LRESULT n = List(LB_GETSELCOUNT);
  return n == LB_ERR ? 0 : static_cast<int>(n);
}

int CaretRow() {
  LRESULT row = List(LB_GETCARETINDEX);
  return row == LB_ERR || row >= List(LB_GETCOUNT) ? -1 : static_cast<int>(row);
}

void PassToFrame(int id) {
  if (g_shell.frame) SendMessageA(g_shell.frame, WM_COMMAND, id, 0);
}

void CreateBrushes() {
  if (g_mbw.faceBrush) DeleteObject(g_mbw.faceBrush);
  if (g_mbw.windowBrush) DeleteObject(g_mbw.windowBrush);
  g_mbw.faceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  g_mbw.windowBrush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
}

HFONT MakeFont(bool bold) {
  const FontTableEntry& f = g_fonts[14];  // "Mbw"
  LOGFONTA lf = {};
  if (f.font && GetObjectA(f.font, sizeof lf, &lf)) {
  } else {
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  }
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectA(&lf);
}

void FreeFonts() {
  for (HFONT* font : {&g_mbw.dialogFont, &g_mbw.boldFont, &g_mbw.normalFont}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
}

void Layout(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const int W = client.right, H = client.bottom, du = DialogUnitX(), dv = DialogUnitY();
  const bool buttons = !g_user.hideButtons;
  int right, top;
  const int column = W - 10 * du;
  if (buttons) {
    right = column - du - 2;
    top = 2 * dv + 7;
  } else {
    right = W;
    top = 2;
  }
  const int strip = 3 * dv;
  MoveWindow(g_mbw.list, 2, top, right - 4, H - top - strip - 4, FALSE);
  if (buttons) {
    MoveWindow(g_mbw.search, 7 * du, 0, right - 7 * du + 1, 2 * dv + 5, FALSE);
    ShowWindow(g_mbw.search, SW_SHOW);
  } else {
    ShowWindow(g_mbw.search, SW_HIDE);
  }
  for (const Button& b : kButtons) {
    HWND button = GetDlgItem(window, b.id);
    if (!button) continue;
    if (buttons)
      MoveWindow(button, column, b.dvTimes * dv - b.minus, 9 * du, 3 * dv, FALSE);
    else
      MoveWindow(button, 0, 0, 0, 0, FALSE);
  }
  RECT list;
  GetWindowRect(g_mbw.list, &list);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
  g_mbw.strip = {list.left, list.bottom + 2, list.right, H - 2};
  InvalidateRect(window, nullptr, TRUE);
}

bool CheckerWell() {
  const COLORREF scroll = GetSysColor(COLOR_SCROLLBAR), face = GetSysColor(COLOR_BTNFACE),
                 window = GetSysColor(COLOR_WINDOW), work = GetSysColor(COLOR_APPWORKSPACE),
                 light = GetSysColor(COLOR_BTNHIGHLIGHT);
  return scroll == face || scroll == window || (work == light && work != scroll) || work == face;
}

void FillWell(HDC dc, const RECT& r) {
  if (!CheckerWell()) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_SCROLLBAR));
    return;
  }
  WORD bits[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
  HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH brush = CreatePatternBrush(pattern);
  COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
  COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  FillRect(dc, &r, brush);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
  DeleteObject(brush);
  DeleteObject(pattern);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

struct FitContext {
  HDC dc;
  int width;
};

bool LabelFits(const char* text, void* context) {
  auto* c = static_cast<FitContext*>(context);
  SIZE size;
  GetTextExtentPoint32A(c->dc, text, static_cast<int>(std::strlen(text)), &size);
  return size.cx <= c->width;
}

void PaintStrip(HDC dc) {
  const RECT& s = g_mbw.strip;
  if (s.right <= s.left || s.bottom <= s.top) return;
  Line(dc, s.left, s.top, s.right, s.top, GetSysColor(COLOR_WINDOW));
  Line(dc, s.left, s.top + 1, s.right, s.top + 1, GetSysColor(COLOR_BTNSHADOW));
  Line(dc, s.left, s.top + 2, s.right, s.top + 2, GetSysColor(COLOR_WINDOWFRAME));
  RECT well = {s.left, s.top + 3, s.right, s.bottom};
  FillWell(dc, well);
  const int count = g_mbwFilters.count;
  if (count <= 0) return;
  const int width = (s.right - s.left) / count;
  HGDIOBJ oldFont = SelectObject(dc, g_mbw.dialogFont ? g_mbw.dialogFont : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  for (int i = 0; i < count; ++i) {
    const bool current = i == g_mbwFilters.current;
    RECT tab = {s.left + i * width, s.top + 2, i == count - 1 ? s.right : s.left + (i + 1) * width, s.bottom - 2};
    if (current) InflateRect(&tab, 0, 2), tab.top = s.top, tab.bottom = s.bottom;
    FillRect(dc, &tab, GetSysColorBrush(current ? COLOR_WINDOW : COLOR_BTNFACE));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, tab.left, tab.top - 1, tab.right, tab.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    Line(dc, tab.left + 1, tab.bottom - 2, tab.right - 1, tab.bottom - 2, GetSysColor(COLOR_BTNSHADOW));
    Line(dc, tab.left + 1, tab.top, tab.left + 1, tab.bottom - 2, GetSysColor(COLOR_BTNHIGHLIGHT));
    FitContext fit = {dc, width - 8};
    char label[40];
    ShrinkTabLabel(g_mbwFilters.sets[i].name, label, LabelFits, &fit);
    DrawTextA(dc, label, -1, &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  SetBkMode(dc, OPAQUE);
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, g_mbw.faceBrush ? g_mbw.faceBrush : GetSysColorBrush(COLOR_BTNFACE));
  const int du = DialogUnitX(), dv = DialogUnitY();
  if (!g_user.hideButtons) {
    HGDIOBJ oldFont = SelectObject(dc, g_mbw.dialogFont ? g_mbw.dialogFont : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT label = {du, 3, 7 * du, 2 * dv + 3};
    DrawTextA(dc, "Sear&ch:", -1, &label, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldFont);
  }
  RECT list;
  GetWindowRect(g_mbw.list, &list);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
  RECT edge = {list.left - 2, list.top - 2, list.right + 2, client.bottom};
  DrawEdge(dc, &edge, EDGE_SUNKEN, BF_LEFT | BF_TOP | BF_RIGHT);
  PaintStrip(dc);
  EndPaint(window, &ps);
}

void ShowContextMenu(HWND window, POINT screen) {
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), "PopMBWMenu");
  if (!loaded) return;
  HMENU popup = GetSubMenu(loaded, 0);
  if (!HasRight(4)) DeleteMenu(popup, 1117, MF_BYCOMMAND);
  if (!HasRight(8)) DeleteMenu(popup, 1189, MF_BYCOMMAND);
  TidyMenu(popup);
  MbwUpdateCommands(popup);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr);
  DestroyMenu(loaded);
}

void ContextMenuAtCursor(HWND window) {
  POINT p;
  GetCursorPos(&p);
  ShowContextMenu(window, p);
}

void OnSearchChange() {
  char text[151];
  GetWindowTextA(g_mbw.search, text, sizeof text);
  if (!text[0]) return;
  StrLower1252(text);
  for (char* p = text; *p; ++p)
    if (*p == ' ') *p = '_';
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || MbwResignFilter(rec)) continue;
    char name[sizeof rec->name + 1];
    lstrcpynA(name, rec->name, sizeof name);
    StrLower1252(name);
    for (char* p = name; *p; ++p)
      if (*p == ' ') *p = '_';
    if (std::strstr(name, text)) {
      MbwSelectFolder(rec->name);
      MbwUpdateCommands(nullptr);
      return;
    }
  }
}

void OpenCaretRow() {
  const int caret = CaretRow();
  if (caret < 0 && SelectedCount() > 0) return;
  if (g_mbw.search) SetWindowTextA(g_mbw.search, "");
  if (SelectedCount() == 0) {
    NextNewMessage();
    return;
  }
  std::string name = MbwRowFolder(caret);
  if (!name.empty()) MbwOpenFolder(name.c_str(), (GetKeyState(VK_SHIFT) & 0x8000) != 0);
}

void CollapseCaret() {
  const int caret = CaretRow();
  const int level = MbwRowLevel(caret);
  if (level == 0) {
    MbwExpand(caret, false);
    return;
  }
  if (level < 0) return;
  int parent = caret;
  while (parent > 0 && MbwRowLevel(parent) >= level) --parent;
  if (MbwRowLevel(parent) != level - 1) return;
  MbwExpand(parent, false);
  List(LB_SETSEL, FALSE, -1);
  List(LB_SETSEL, TRUE, parent);
  List(LB_SETCARETINDEX, parent, FALSE);
}

void ExpandCaret() {
  const int caret = CaretRow();
  const int level = MbwRowLevel(caret);
  std::string full = MbwRowText(caret);
  if (level == 2 || (level == 1 && _strnicmp(full.c_str() + 1, "caucus:", 7) == 0)) {
    OpenCaretRow();
    return;
  }
  if (level >= 0 && MbwRowLevel(caret + 1) <= level) MbwExpand(caret, true);
}

void ToggleButtons(HWND window) {
  g_user.hideButtons = !g_user.hideButtons;
  Layout(window);
  InvalidateRect(g_mbw.list, nullptr, TRUE);
  SaveSettings();
}

bool OnCommand(HWND window, int id, int code) {
  if (Quiet()) return false;
  for (int frameId : kFrameCommands)
    if (id == frameId) {
      PassToFrame(id);
      return true;
    }
  switch (id) {
    case 1: OpenCaretRow(); break;
    case 2: SendMessageA(window, WM_CLOSE, 0, 0); break;
    case 1259:
    case 1260: PassToFrame(id); break;
    case 1167:
      if (COMMAND_HOOK_SET(ShowUnjoined)) g_commandHooks.ShowUnjoined();
      break;
    case 1317:
      if (SelectedCount() > 0 && CaretRow() >= 0) {
        const std::string row = MbwRowText(CaretRow());
        PasteMessages(row.substr(1, row.find('\t') - 1).c_str(), -1);
      }
      break;
    case 1319:
      List(LB_SETSEL, TRUE, -1);
      MbwUpdateCommands(nullptr);
      break;
    case 1450: CollapseCaret(); break;
    case 1451: ExpandCaret(); break;
    case 1784: ContextMenuAtCursor(window); break;
    case 3010:
    case 3016: NextFocus(id == 3010); break;
    case kMbwListId:
      if (code == LBN_SELCHANGE) MbwUpdateCommands(nullptr);
      if (code == LBN_DBLCLK) {
        if (g_mbw.ignoreNextDoubleClick)
          g_mbw.ignoreNextDoubleClick = false;
        else
          MbwOpenEntry(g_mbw.list, CaretRow());
      }
      break;
    case kMbwSearchId:
      if (code == EN_CHANGE) OnSearchChange();
      break;
    case 4121:
      if (SelectedCount() > 0 && COMMAND_HOOK_SET(RequestLibraryList)) {
        RefreshMbw();
        for (int i = 0; i < Conferences.Count(); ++i) {
          auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
          if (rec && rec->selected) g_commandHooks.RequestLibraryList(rec->name, 1);
        }
      }
      break;
    case 4276:
      if (COMMAND_HOOK_SET(DoDelResign)) PassToFrame(1198);
      break;
    case 4386:
      if (COMMAND_HOOK_SET(SignatureDialog)) g_commandHooks.SignatureDialog();
      break;
    case 4403: {
      HWND focus = GetFocus();
      int focusId = focus && GetParent(focus) == window ? GetDlgCtrlID(focus) : 0;
      bool onButton = false;
      for (const Button& b : kButtons) onButton = onButton || b.id == focusId;
      if (onButton)
        SendMessageA(window, WM_COMMAND, focusId, 0);
      else
        OpenCaretRow();
      break;
    }
    case 4405:
      if (!g_user.hideButtons) SetFocus(g_mbw.search);
      break;
    case 4387:
    case 4388: {
      const int n = g_mbwFilters.count;
      if (n > 0) MbwChangeSet((g_mbwFilters.current + (id == 4388 ? 1 : n - 1)) % n);
      break;
    }
    case 5953: ToggleButtons(window); break;
    default: return false;
  }
  return true;
}

void OnCreate(HWND window) {
  BeginWait();
  g_mbw.window = window;
  CreateBrushes();
  g_mbw.dialogFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  g_mbw.dialogFont = CreateDialogFont();
  g_mbw.boldFont = MakeFont(true);
  g_mbw.normalFont = MakeFont(false);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  g_mbw.search = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_TABSTOP, 0,
                                 0, 10, 10, window, reinterpret_cast<HMENU>(kMbwSearchId), instance, nullptr);
  g_mbw.list = CreateWindowExA(0, "LISTBOX", "",
                               WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_NOTIFY | LBS_EXTENDEDSEL |
                                   LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                               0, 0, 10, 10, window, reinterpret_cast<HMENU>(kMbwListId), instance, nullptr);
  SendMessageA(g_mbw.search, WM_SETFONT, reinterpret_cast<WPARAM>(g_mbw.dialogFont), 0);
  for (const Button& b : kButtons) {
    HWND button = CreateWindowA("BUTTON", b.caption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 10, 10,
                                window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_mbw.dialogFont), 0);
  }
  g_mbw.editProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(g_mbw.search, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MbwEditProc)));
  g_mbw.listProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(g_mbw.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MbwListProc)));
  MbwUpdateCommands(nullptr);
  Layout(window);
  MbwFillList();
  if (!g_user.messagebaseWindow) {
    g_user.messagebaseWindow = 1;
    SaveSettings();
  }
  EndWait();
  SetFocus(g_mbw.list);
  DragAcceptFiles(window, TRUE);
}

void OnDestroy(HWND window) {
  if (g_mbw.window != window) return;
  if (g_mbw.faceBrush) DeleteObject(g_mbw.faceBrush);
  if (g_mbw.windowBrush) DeleteObject(g_mbw.windowBrush);
  FreeFonts();
  g_mbw = MbwState();
}

void OnMeasureItem(MEASUREITEMSTRUCT* measure) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, g_mbw.boldFont ? g_mbw.boldFont : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int height = tm.tmHeight + tm.tmExternalLeading;
  measure->itemHeight = height < 16 ? 16 : height;
}

void OnDeleteItem(const DELETEITEMSTRUCT* item) {
  if (item->CtlID == kMbwListId && item->itemData)
    HeapFree(GetProcessHeap(), 0, reinterpret_cast<void*>(item->itemData));
}

void OnTabClick(int x, int y) {
  const RECT& s = g_mbw.strip;
  const int count = g_mbwFilters.count;
  if (count <= 0 || x < s.left || x >= s.right || y < s.top || y >= s.bottom) return;
  int tab = (x - s.left) / ((s.right - s.left) / count);
  if (tab >= count) tab = count - 1;
  if (tab != g_mbwFilters.current) MbwChangeSet(tab);
}

void SavePlacement(HWND window) {
  if (!IsIconic(window)) SaveWindowState(window, IsZoomed(window) ? 3 : 1, WINDOW_MESSAGE_BASE, false);
}

}  // namespace

void ReadMbwFilters() {
  char iniPath[MAX_PATH] = "", fileName[32];
  snprintf(fileName, sizeof fileName, "%.8s.ini", g_app.userName);
  IniFilePath(fileName, iniPath, sizeof iniPath);
  char normalised[MAX_PATH];
  if (NormalisePath(iniPath, normalised, sizeof normalised) == 0) lstrcpynA(iniPath, normalised, sizeof iniPath);
  static char section[kMbwSectionBytes];
  DWORD length = GetPrivateProfileSectionA("MBW", section, sizeof section, iniPath);
  g_mbwFilters.current = static_cast<int>(g_user.mbwState);
  g_mbwFilters.defaultDepth = static_cast<int>(g_user.messagebaseStyle);
  LoadMbwFilterSets(g_mbwFilters, section, length, HaveQuorl() || HaveDvn());
  g_user.mbwState = static_cast<uint32_t>(g_mbwFilters.current);
}

bool MbwChangeSet(int index) {
  if (g_mbw.guard || Quiet() || index < 0 || index >= g_mbwFilters.count) return false;
  g_mbw.guard = true;
  g_mbwFilters.current = index;
  g_user.mbwState = static_cast<uint32_t>(index);
  if (g_mbw.window) {
    InvalidateRect(g_mbw.window, &g_mbw.strip, FALSE);
    PumpMessages();
    MbwFillList();
    PumpMessages();
  }
  g_topicOpenHooks.updateFolderView();
  PumpMessages();
  SaveSettings();
  g_mbw.guard = false;
  return true;
}

bool MbwSelectFilterSet(const char* name) {
  if (g_mbw.guard) return false;
  OpenMbw();
  int index = FindMbwFilterSet(g_mbwFilters, name);
  if (index < 0) return false;
  return MbwChangeSet(index);
}

void MbwOpenFolder(const char* name, bool gotoFolder) {
  if (gotoFolder)
    GotoFolder(name);
  else
    SwitchTopic(name);
}

void OpenMbw() {
  if (g_mbw.window && IsWindow(g_mbw.window)) {
    FocusIfActive(g_mbw.window);
    if (IsIconic(g_mbw.window)) ShowWindow(g_mbw.window, SW_RESTORE);
    return;
  }
  if (!g_shell.mdiClient) return;
  ReadMbwFilters();
  const WindowPlacement& p = g_windowPlacements[WINDOW_MESSAGE_BASE];
  const bool saved = p.width > 0 && p.height > 0 && p.left != -1;
  // A placement made for a larger frame would leave the tabs below its edge.
  RECT area;
  GetClientRect(g_shell.mdiClient, &area);
  int height = saved ? p.height : 320;
  if (saved && p.top >= 0 && area.bottom > 100 && p.top + height > area.bottom) height = area.bottom - p.top;
  MDICREATESTRUCTA create = {kMbwClass,
                             "MessageBase",
                             GetModuleHandleA(nullptr),
                             saved ? p.left : CW_USEDEFAULT,
                             saved ? p.top : CW_USEDEFAULT,
                             saved ? p.width : 400,
                             height,
                             WS_CLIPCHILDREN,
                             0};
  HWND window =
      reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  if (!window) return;
  if (g_topic.log && g_topic.openName[0]) MbwSelectFolder(g_topic.openName);
  if (g_shell.frame) LoadMainMenu();
}

void MbwUpdateCommands(HMENU menu) {
  if (!g_mbw.window) return;
  const int selected = SelectedCount();
  const int caret = CaretRow();
  auto set = [&](int id, bool on) {
    if (HWND button = GetDlgItem(g_mbw.window, id)) EnableWindow(button, on);
    if (menu) EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  if (menu) CheckMenuItem(menu, 5953, MF_BYCOMMAND | (g_user.hideButtons ? MF_UNCHECKED : MF_CHECKED));
  set(1, selected == 1);
  // Folder Properties and Modify Participants have no dialogs in the program
  // yet: disabled rather than doing nothing when pressed.
  set(4331, false);
  set(4502, false);
  set(1317, caret >= 0 && IsClipboardFormatAvailable(RegisterClipboardFormatA("500_MESSAGE")));
  set(4121, selected >= 1 && COMMAND_HOOK_SET(RequestLibraryList));
  set(4276, selected >= 1 && COMMAND_HOOK_SET(DoDelResign));
  set(1167, COMMAND_HOOK_SET(ShowUnjoined));
  set(4386, COMMAND_HOOK_SET(SignatureDialog));
  const bool connected = g_commandHooks.TerminalConnectionRuns();
  set(1189, HasRight(8) && !connected);
  set(1117, HasRight(4) && !connected);
}

LRESULT CALLBACK MbwWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(window); break;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && g_mbw.list) Layout(window);
      SavePlacement(window);
      break;
    case WM_MOVE: SavePlacement(window); break;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETMINMAXINFO: reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = 26 * DialogUnitX(); break;
    case WM_LBUTTONUP: OnTabClick(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return 0;
    case WM_RBUTTONUP: {
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ClientToScreen(window, &p);
      ShowContextMenu(window, p);
      return 0;
    }
    case WM_MEASUREITEM: OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)); return TRUE;
    case WM_DRAWITEM: MbwDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam), window); return TRUE;
    case WM_DELETEITEM: OnDeleteItem(reinterpret_cast<DELETEITEMSTRUCT*>(lParam)); return TRUE;
    case WM_CTLCOLORLISTBOX:
      SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(g_mbw.windowBrush);
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(g_mbw.faceBrush);
    case WM_WININICHANGE:
    case WM_DISPLAYCHANGE: CreateBrushes(); break;
    case WM_COMMAND:
      if (OnCommand(window, LOWORD(wParam), HIWORD(wParam))) return 0;
      break;
    case WM_DROPFILES: MbwDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_DESTROY: OnDestroy(window); break;
    default: break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MbwEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND parent = GetParent(window);
  switch (message) {
    case WM_CHAR:
      if (wParam == '\t' || wParam == '\r') return 0;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        SendMessageA(parent, WM_COMMAND, GetKeyState(VK_SHIFT) & 0x8000 ? 3016 : 3010, 0);
        return 0;
      }
      if (wParam == VK_RETURN) {
        SendMessageA(parent, WM_COMMAND, 1, 0);
        return 0;
      }
      break;
    case WM_RBUTTONUP: {
      if (g_shell.mdiClient) SendMessageA(g_shell.mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(parent), 0);
      SetFocus(window);
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ClientToScreen(window, &p);
      ShowContextMenu(parent, p);
      return 0;
    }
    default: break;
  }
  return CallWindowProcA(g_mbw.editProc, window, message, wParam, lParam);
}

LRESULT CALLBACK MbwListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND parent = GetParent(window);
  switch (message) {
    case WM_RBUTTONDOWN: {
      if (g_shell.mdiClient) SendMessageA(g_shell.mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(parent), 0);
      SetFocus(window);
      LRESULT hit = SendMessageA(window, LB_ITEMFROMPOINT, 0, lParam);
      int row = LOWORD(hit);
      if (!HIWORD(hit) && SendMessageA(window, LB_GETSEL, row, 0) <= 0) {
        SendMessageA(window, LB_SETSEL, FALSE, -1);
        SendMessageA(window, LB_SETSEL, TRUE, row);
        SendMessageA(window, LB_SETCARETINDEX, row, FALSE);
        MbwUpdateCommands(nullptr);
      }
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const int x = static_cast<short>(LOWORD(lParam));
      LRESULT hit = SendMessageA(window, LB_ITEMFROMPOINT, 0, lParam);
      const int row = LOWORD(hit);
      const int level = HIWORD(hit) ? -1 : MbwRowLevel(row);
      if (level >= 0 && x < 20 * (level + 1)) {
        MbwOpenEntry(window, row);
        if (level < 2 && IsWindow(window)) {
          SendMessageA(window, LB_SETSEL, FALSE, -1);
          SendMessageA(window, LB_SETSEL, TRUE, row);
          SendMessageA(window, LB_SETCARETINDEX, row, FALSE);
          MbwUpdateCommands(nullptr);
          g_mbw.ignoreNextDoubleClick = x < 40;
        }
        return 0;
      }
      break;
    }
    case WM_RBUTTONUP: {
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ClientToScreen(window, &p);
      ShowContextMenu(parent, p);
      return 0;
    }
    default: break;
  }
  return CallWindowProcA(g_mbw.listProc, window, message, wParam, lParam);
}

namespace {
bool WindowExists() { return g_mbw.window != nullptr; }
bool WindowActive() {
  return g_mbw.window && g_shell.mdiClient &&
         reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDIGETACTIVE, 0, 0)) == g_mbw.window;
}
const char* Selection() {
  RefreshMbw();
  return MbwSelectedFolders();
}
HWND MbwWindowOfShell() { return g_mbw.window; }
bool MessageBaseOpen() { return g_mbw.window != nullptr; }
void SelectFilterSetCommand(const char* name) { MbwSelectFilterSet(name); }
}  // namespace

void InstallMbwHooks() {
  g_messageBaseHooks.folderFilter = MbwFolderFilter;
  g_messageBaseHooks.fillList = MbwFillList;
  g_messageBaseHooks.selectFolder = MbwSelectFolder;
  g_messageBaseHooks.selection = Selection;
  g_messageBaseHooks.windowExists = WindowExists;
  g_messageBaseHooks.windowActive = WindowActive;
  g_messageBaseHooks.refreshList = MbwFillList;
  g_topicOpenHooks.resignFilter = MbwResignFilter;
  g_topicOpenHooks.repaintList = MbwRepaintList;
  g_shellHooks.readMbwFilters = ReadMbwFilters;
  g_shellHooks.mbwSelectFilterSet = MbwSelectFilterSet;
  g_shellHooks.folderFilter = MbwFolderFilter;
  g_shellHooks.openMbw = OpenMbw;
  g_shellHooks.mbwWindow = MbwWindowOfShell;
  g_shellHooks.mbwFillList = MbwFillList;
  g_shellHooks.mbwSelectFolder = MbwSelectFolder;
  g_commandHooks.OpenMbw = OpenMbw;
  g_commandHooks.MbwSelectFilterSet = SelectFilterSetCommand;
  g_commandHooks.MessageBaseOpen = MessageBaseOpen;
  g_windowClassProcs.messageBase = MbwWndProc;
}
