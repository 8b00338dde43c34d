// The tabbed-dialog control "FTTabCtrl": pages are copies of their templates'
// controls in the owning dialog; switching pages hides one set and shows another.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/appstate.h"
#include "shell/tab_ctrl.h"
#include "shell/tab_ctrl_layout.h"

namespace {

const char kTabClass[] = "FTTabCtrl";
HFONT s_classFont = nullptr;

struct TabPage {
  int controlCount = 0;
  RECT tab{}, label{};
  WORD* ids = nullptr;
  char* title = nullptr;
};

struct TabCtrlState {
  int current = -1;
  int tabWidth = 0, tabHeight = 0;
  int stripHeight = 0;
  int pageCount = 0;
  int rows = 0;
  int renumbered = 0;
  HWND window = nullptr;
  HWND owner = nullptr;
  bool disabledLook = false;
  RECT strip{}, page{}, self{};
  HFONT font = nullptr;
  TabPage* pages[TAB_MAX_PAGES] = {};
};

// The classes a page's controls may have, with the procedures they had.
const char* const kPageClasses[] = {"edit", "listbox", "combobox", "button", "static"};
WNDPROC s_savedProcs[5] = {};

TabCtrlState* State(HWND window) { return reinterpret_cast<TabCtrlState*>(GetWindowLongPtrA(window, 0)); }

int ClassIndex(HWND control) {
  char name[32];
  GetClassNameA(control, name, sizeof name);
  for (int i = 0; i < 5; ++i)
    if (lstrcmpiA(name, kPageClasses[i]) == 0) return i;
  return -1;
}

void StepPage(HWND tab, int step);

LRESULT CALLBACK PageControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  int kind = ClassIndex(control);
  WNDPROC saved = kind >= 0 ? s_savedProcs[kind] : nullptr;
  bool tabKey = (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) &&
                (wParam == VK_TAB || wParam == '\t') && GetKeyState(VK_CONTROL) < 0;
  if (tabKey) {
    if (message == WM_KEYDOWN)
      if (HWND tab = GetDlgItem(GetParent(control), TAB_CONTROL_ID)) StepPage(tab, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    return 0;
  }
  return saved ? CallWindowProcA(saved, control, message, wParam, lParam)
               : DefWindowProcA(control, message, wParam, lParam);
}

void Subclass(HWND control) {
  int kind = ClassIndex(control);
  if (kind < 0) return;
  WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
  if (old == PageControlProc) return;
  if (!s_savedProcs[kind]) s_savedProcs[kind] = old;
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PageControlProc));
}

void ShowPage(TabCtrlState* s, int index, int show) {
  if (index < 0 || index >= s->pageCount) return;
  TabPage* page = s->pages[index];
  for (int i = 0; i < page->controlCount; ++i)
    if (HWND control = GetDlgItem(s->owner, page->ids[i])) ShowWindow(control, show);
}

void InvalidateStrip(TabCtrlState* s) { InvalidateRect(s->window, nullptr, TRUE); }

void Layout(TabCtrlState* s) {
  RECT client;
  GetClientRect(s->window, &client);
  TabRect rects[TAB_MAX_PAGES];
  s->rows = LayoutTabRows(client.right, s->tabWidth, s->tabHeight, s->pageCount, rects);
  s->stripHeight = s->rows * s->tabHeight;
  for (int i = 0; i < s->pageCount; ++i) {
    RECT& tab = s->pages[i]->tab;
    tab = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    s->pages[i]->label = {tab.left + 5, tab.top + 5, tab.right - 5, tab.bottom - 5};
  }
  s->strip = {0, 0, client.right, s->stripHeight};
  s->page = {0, s->stripHeight, client.right, client.bottom};
  InvalidateStrip(s);
}

// A user's change of page: asked first, told after.
bool ChangePage(TabCtrlState* s, int index) {
  if (index == s->current || index < 0 || index >= s->pageCount) return false;
  HWND owner = s->owner;
  WPARAM id = GetDlgCtrlID(s->window);
  if (!SendMessageA(owner, WM_COMMAND, MAKEWPARAM(id, TAB_CHANGING), reinterpret_cast<LPARAM>(s->window))) return false;
  ShowPage(s, s->current, SW_HIDE);
  s->current = index;
  ShowPage(s, s->current, SW_SHOW);
  InvalidateStrip(s);
  SendMessageA(owner, WM_COMMAND, MAKEWPARAM(id, TAB_CHANGED), reinterpret_cast<LPARAM>(s->window));
  return true;
}

void StepPage(HWND tab, int step) {
  TabCtrlState* s = State(tab);
  if (!s || s->pageCount == 0) return;
  int next = (s->current + step + s->pageCount) % s->pageCount;
  ChangePage(s, next);
}

INT_PTR CALLBACK SilentPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Ids are 16-bit: an unnamed static's -1 reads as 65535.
int ControlId(HWND control) { return GetDlgCtrlID(control) & 0xFFFF; }

bool IdInDialog(HWND dialog, int id) { return id != 65535 && GetDlgItem(dialog, id) != nullptr; }

LRESULT CopyPageControls(TabCtrlState* s, HINSTANCE module, const char* templateName) {
  if (!module || !templateName) return 0;
  if (s->pageCount >= TAB_MAX_PAGES) return -1;
  if (s->pageCount == 0)
    for (HWND child = GetWindow(s->owner, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (child != s->window) Subclass(child);
  HWND pageDialog = CreateDialogParamA(module, templateName, s->owner, SilentPageProc, 0);
  if (!pageDialog) return -1;
  int ownId = GetDlgCtrlID(s->window);
  HWND placeholder = GetDlgItem(pageDialog, ownId);
  if (!placeholder) {
    DestroyWindow(pageDialog);
    return -2;
  }
  int count = 0;
  for (HWND child = GetWindow(pageDialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == placeholder) continue;
    if (IdInDialog(s->owner, ControlId(child))) {
      DestroyWindow(pageDialog);
      return -3;
    }
    ++count;
  }
  auto* page = new (std::nothrow) TabPage;
  if (!page) {
    DestroyWindow(pageDialog);
    return -1;
  }
  char caption[256] = "";
  GetWindowTextA(pageDialog, caption, sizeof caption);
  page->title = _strdup(caption);
  page->ids = static_cast<WORD*>(std::calloc(count ? count : 1, sizeof(WORD)));
  RECT holder;
  GetWindowRect(placeholder, &holder);
  MapWindowPoints(nullptr, pageDialog, reinterpret_cast<POINT*>(&holder), 2);
  bool listWithScroll = lstrcmpiA(caption, "Toolbar") == 0 || lstrcmpiA(caption, "Read Order") == 0;
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(s->owner, WM_GETFONT, 0, 0));
  HWND after = s->window;
  bool failed = !page->title || !page->ids;
  for (HWND child = GetWindow(pageDialog, GW_CHILD); child && !failed; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == placeholder) continue;
    int id = ControlId(child);
    if (id == 65535) id = 65535 - ++s->renumbered;
    char className[64], text[512];
    GetClassNameA(child, className, sizeof className);
    GetWindowTextA(child, text, sizeof text);
    DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)) & ~WS_VISIBLE;
    DWORD exStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE)) | WS_EX_NOPARENTNOTIFY;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, pageDialog, reinterpret_cast<POINT*>(&r), 2);
    int height = r.bottom - r.top;
    if (lstrcmpiA(className, "edit") == 0) style |= WS_BORDER;
    if (lstrcmpiA(className, "combobox") == 0) {
      style |= WS_VSCROLL;
      RECT dropped;
      if (SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)))
        height = dropped.bottom - dropped.top;
    }
    if (lstrcmpiA(className, "listbox") == 0) style |= WS_VSCROLL | (listWithScroll ? WS_HSCROLL : 0);
    int x = s->self.left + s->page.left + (r.left - holder.left);
    int y = s->self.top + s->page.top + (r.top - holder.top);
    HWND copy = CreateWindowExA(exStyle, className, text, style, x, y, r.right - r.left, height, s->owner,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
    if (!copy) {
      failed = true;
      break;
    }
    page->ids[page->controlCount++] = static_cast<WORD>(id);
    Subclass(copy);
    SendMessageA(copy, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(copy, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = copy;
  }
  DestroyWindow(pageDialog);
  if (failed) {
    for (int i = 0; i < page->controlCount; ++i) DestroyWindow(GetDlgItem(s->owner, page->ids[i]));
    std::free(page->ids);
    std::free(page->title);
    delete page;
    return -1;
  }
  int index = s->pageCount++;
  s->pages[index] = page;
  Layout(s);
  if (index == 0) {
    s->current = 0;
    ShowPage(s, 0, SW_SHOW);
  }
  return index;
}

void FreePage(TabPage* page) {
  std::free(page->ids);
  std::free(page->title);
  delete page;
}

LRESULT RemovePage(TabCtrlState* s, int index) {
  if (index < 0 || index >= s->pageCount) return 0;
  TabPage* page = s->pages[index];
  for (int i = 0; i < page->controlCount; ++i)
    if (HWND control = GetDlgItem(s->owner, page->ids[i])) DestroyWindow(control);
  FreePage(page);
  for (int i = index; i + 1 < s->pageCount; ++i) s->pages[i] = s->pages[i + 1];
  s->pages[--s->pageCount] = nullptr;
  if (s->current >= s->pageCount)
    s->current = s->pageCount - 1;
  else if (s->current > index)
    --s->current;
  ShowPage(s, s->current, SW_SHOW);
  Layout(s);
  return 1;
}

LRESULT SelectPage(TabCtrlState* s, int index) {
  if (index < 0 || index >= s->pageCount) return 0;
  ShowPage(s, s->current, SW_HIDE);
  s->current = index;
  ShowPage(s, index, SW_SHOW);
  InvalidateStrip(s);
  return 1;
}

void DrawTab(HDC dc, TabCtrlState* s, int index, bool current) {
  TabPage* page = s->pages[index];
  RECT t = page->tab;
  if (current) InflateRect(&t, 2, 0), t.top -= 2;
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  RECT fill = {t.left + 1, t.top + 1, t.right - 1, t.bottom + (current ? 1 : 0)};
  FillRect(dc, &fill, face);
  HPEN white = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  HPEN black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ old = SelectObject(dc, white);
  MoveToEx(dc, t.left, t.bottom, nullptr);
  LineTo(dc, t.left, t.top + 2);
  LineTo(dc, t.left + 2, t.top);
  LineTo(dc, t.right - 2, t.top);
  SelectObject(dc, black);
  LineTo(dc, t.right, t.top + 2);
  LineTo(dc, t.right, t.bottom);
  SelectObject(dc, shadow);
  MoveToEx(dc, t.right - 1, t.top + 2, nullptr);
  LineTo(dc, t.right - 1, t.bottom);
  SelectObject(dc, old);
  DeleteObject(white);
  DeleteObject(black);
  DeleteObject(shadow);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, current && s->font ? s->font : s_classFont);
  RECT label = page->label;
  if (current) OffsetRect(&label, 0, -1);
  if (s->disabledLook) {
    RECT embossed = label;
    OffsetRect(&embossed, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextA(dc, page->title, -1, &embossed, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  } else {
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  }
  DrawTextA(dc, page->title, -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (current && GetFocus() == s->window) {
    RECT focus = label;
    InflateRect(&focus, 2, 1);
    DrawFocusRect(dc, &focus);
  }
  SelectObject(dc, oldFont);
  // Later tabs are drawn under the earlier ones.
  ExcludeClipRect(dc, t.left, t.top, t.right + 1, t.bottom + 1);
}

void Paint(TabCtrlState* s) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(s->window, &paint);
  RECT page = s->page;
  FillRect(dc, &page, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &page, EDGE_RAISED, BF_RECT);
  if (s->current >= 0) DrawTab(dc, s, s->current, true);
  for (int i = 0; i < s->pageCount; ++i)
    if (i != s->current) DrawTab(dc, s, i, false);
  EndPaint(s->window, &paint);
}

int TabAt(TabCtrlState* s, POINT point) {
  if (!PtInRect(&s->strip, point)) return -1;
  if (s->current >= 0 && PtInRect(&s->pages[s->current]->tab, point)) return s->current;
  for (int i = 0; i < s->pageCount; ++i)
    if (PtInRect(&s->pages[i]->tab, point)) return i;
  return -1;
}

LRESULT CALLBACK TabCtrlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TabCtrlState* s = State(window);
  switch (message) {
    case WM_NCCREATE: {
      auto* state = new (std::nothrow) TabCtrlState;
      if (!state) return FALSE;
      LONG base = GetDialogBaseUnits();
      state->tabWidth = LOWORD(base) * 42 / 4;
      state->tabHeight = HIWORD(base) * 12 / 8;
      state->window = window;
      SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(state));
      reinterpret_cast<CREATESTRUCTA*>(lParam)->dwExStyle |= WS_EX_TRANSPARENT;
      break;
    }
    case WM_CREATE: {
      s->owner = GetParent(window);
      GetWindowRect(window, &s->self);
      MapWindowPoints(nullptr, s->owner, reinterpret_cast<POINT*>(&s->self), 2);
      Layout(s);
      return 0;
    }
    case WM_NCDESTROY:
      if (s) {
        for (int i = 0; i < s->pageCount; ++i) FreePage(s->pages[i]);
        delete s;
        SetWindowLongPtrA(window, 0, 0);
      }
      break;
    case TAB_ADD_PAGE:
      return CopyPageControls(s, reinterpret_cast<HINSTANCE>(wParam), reinterpret_cast<const char*>(lParam));
    case TAB_REMOVE_PAGE: return RemovePage(s, static_cast<int>(wParam));
    case TAB_FIND_PAGE:
      for (int i = 0; i < s->pageCount; ++i)
        if (lParam && lstrcmpiA(s->pages[i]->title, reinterpret_cast<const char*>(lParam)) == 0) return i;
      return -1;
    case TAB_PAGE_COUNT: return s->pageCount;
    case TAB_CURRENT_PAGE: return s->current;
    case TAB_SELECT_PAGE: return SelectPage(s, static_cast<int>(wParam));
    case TAB_TITLE_LENGTH: return static_cast<int>(wParam) < s->pageCount ? lstrlenA(s->pages[wParam]->title) : 0;
    case TAB_GET_TITLE:
      if (static_cast<int>(wParam) >= s->pageCount || !lParam) return 0;
      lstrcpyA(reinterpret_cast<char*>(lParam), s->pages[wParam]->title);
      return 1;
    case TAB_GET_WIDTH: return s->tabWidth;
    case TAB_GET_HEIGHT: return s->tabHeight;
    case TAB_SET_WIDTH:
      s->tabWidth = static_cast<int>(wParam);
      Layout(s);
      return 0;
    case TAB_SET_HEIGHT:
      s->tabHeight = static_cast<int>(wParam);
      Layout(s);
      return 0;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateStrip(s);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateStrip(s); return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(window);
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      int tab = TabAt(s, point);
      if (tab >= 0) ChangePage(s, tab);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_LEFT || (wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) < 0))
        StepPage(window, -1);
      else if (wParam == VK_RIGHT || (wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0))
        StepPage(window, 1);
      return 0;
    case WM_ENABLE:
      s->disabledLook = !wParam;
      InvalidateStrip(s);
      return 0;
    case WM_PAINT: Paint(s); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterTabCtrlClass() {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_GLOBALCLASS;
  wc.lpfnWndProc = TabCtrlProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = g_app.instance ? g_app.instance : GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kTabClass;
  if (!RegisterClassA(&wc)) return false;
  HDC screen = GetDC(nullptr);
  int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  s_classFont = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, VARIABLE_PITCH | FF_SWISS,
                            "MS Sans Serif");
  return true;
}

void UnregisterTabCtrlClass() {
  UnregisterClassA(kTabClass, g_app.instance ? g_app.instance : GetModuleHandleA(nullptr));
  if (s_classFont) DeleteObject(s_classFont);
  s_classFont = nullptr;
}

bool TabCtrlModule(HINSTANCE instance) {
  if (!g_app.instance) g_app.instance = instance;
  if (RegisterTabCtrlClass()) return true;
  UnregisterTabCtrlClass();
  return false;
}
