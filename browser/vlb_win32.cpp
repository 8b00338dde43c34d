#include <windows.h>

#include <vector>

#include "browser/vlb.h"
#include "core/resstr.h"
#include "core/user_settings.h"

namespace {

const char kVlbClassName[] = "VLBCLASS";
const LPCSTR kStateProperty = MAKEINTATOM(1);
constexpr UINT_PTR kAddModeTimer = 1;
constexpr int kTextBufferSize = 512;

// The list last looked up: owners call VlbCommand in long runs on one list,
// and a property lookup costs a trip to the window system each time.
HWND g_lastWindow;
VlbState* g_lastState;

// One text buffer for every list: filled and drawn within one row's paint.
char g_rowText[kTextBufferSize];

bool DefaultIsNewShell() {
  OSVERSIONINFOA info = {sizeof info};
  if (!GetVersionExA(&info)) return true;
  return info.dwPlatformId == 1 || info.dwMajorVersion >= 4;
}

COLORREF DefaultThreadBackground() {
  const FontTableEntry& e = g_fonts[0];
  return e.face[0] ? e.backColour : GetSysColor(COLOR_WINDOW);
}

HWND Win(void* w) { return static_cast<HWND>(w); }

void ViewInvalidate(void* w, int topPixel, int bottomPixel) {
  RECT r;
  GetClientRect(Win(w), &r);
  r.top = topPixel;
  if (bottomPixel >= 0) r.bottom = bottomPixel;
  InvalidateRect(Win(w), &r, FALSE);
}
void ViewUpdate(void* w) { UpdateWindow(Win(w)); }
void ViewNotify(void* w, int code, int key) {
  HWND list = Win(w);
  HWND parent = GetParent(list);
  if (!parent) return;
  WORD low = code == kVlbNotifyKey ? static_cast<WORD>(key) : LOWORD(reinterpret_cast<UINT_PTR>(list));
  SendMessageA(parent, WM_COMMAND, static_cast<WPARAM>(GetWindowLongPtrA(list, GWLP_ID)), MAKELPARAM(low, code));
}
void ViewScrollRange(void* w, int max, int page) {
  SCROLLINFO info = {sizeof info};
  info.fMask = SIF_RANGE | (max > 0 ? SIF_PAGE : 0);
  info.nMin = 0;
  info.nMax = max;
  info.nPage = static_cast<UINT>(page);
  SetScrollInfo(Win(w), SB_VERT, &info, TRUE);
}
void ViewScrollPos(void* w, int pos) { SetScrollPos(Win(w), SB_VERT, pos, TRUE); }
void ViewScrollContents(void* w, int dy) {
  ScrollWindow(Win(w), 0, dy, nullptr, nullptr);
  UpdateWindow(Win(w));
}
void ViewTimer(void* w, bool on) {
  if (on)
    SetTimer(Win(w), kAddModeTimer, 250, nullptr);
  else
    KillTimer(Win(w), kAddModeTimer);
}
void ViewCapture(void* w, bool on) {
  if (on)
    SetCapture(Win(w));
  else if (GetCapture() == Win(w))
    ReleaseCapture();
}
void ViewFocusParent(void* w) { FocusIfActive(GetParent(Win(w))); }

VlbView ViewOf(HWND window) {
  return VlbView{window,        g_vlbHooks.isNewShell(), ViewInvalidate, ViewUpdate,  ViewNotify,     ViewScrollRange,
                 ViewScrollPos, ViewScrollContents,      ViewTimer,      ViewCapture, ViewFocusParent};
}

// Character height plus external leading of the font on this window.
int RowHeightOf(HWND window, HFONT font) {
  HDC dc = GetDC(window);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  if (old) SelectObject(dc, old);
  ReleaseDC(window, dc);
  return tm.tmHeight + tm.tmExternalLeading;
}

void SendOwnSize(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.right, r.bottom));
}

LRESULT OnCreate(HWND window) {
  auto* s = static_cast<VlbState*>(GlobalAlloc(GPTR, sizeof(VlbState)));
  if (!s) return -1;
  VlbInit(*s);
  SetPropA(window, kStateProperty, s);
  s->rowHeight = RowHeightOf(window, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
  InvalidateRect(window, nullptr, FALSE);
  s->repaintPending = 1;
  SendOwnSize(window);
  return 0;
}

void OnDestroy(HWND window, VlbState* s) {
  KillTimer(window, kAddModeTimer);
  if (g_lastWindow == window) g_lastWindow = nullptr, g_lastState = nullptr;
  VlbFreeTable(*s);
  RemovePropA(window, kStateProperty);
  GlobalFree(s);
}

void OnSetFont(HWND window, VlbState* s, HFONT font, int rowHeight) {
  if (font) s->font = font;
  s->rowHeight = rowHeight ? rowHeight : RowHeightOf(window, static_cast<HFONT>(s->font));
  if (s->rowHeight < 1) s->rowHeight = 1;
  if (!s->repaintPending) {
    InvalidateRect(window, nullptr, FALSE);
    s->repaintPending = 1;
  }
  SendOwnSize(window);
}

void DrawRow(HWND window, VlbState* s, HDC dc, int row, const RECT& rect, HBRUSH brush) {
  if (row >= s->count) {
    FillRect(dc, &rect, brush);
    return;
  }
  const bool selected = VlbRowSelected(*s, row);
  const bool focus = row == s->caret && GetFocus() == window;
  if (selected) {
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
  }
  const int32_t value = VlbValue(*s, row);
  if (s->drawCallback) {
    reinterpret_cast<VlbDrawCallback>(s->drawCallback)(window, static_cast<int>(GetWindowLongPtrA(window, GWLP_ID)),
                                                       row, value, dc, &rect, focus, selected);
  } else {
    g_rowText[0] = 0;
    if (s->textCallback) reinterpret_cast<VlbTextCallback>(s->textCallback)(row, value, g_rowText, sizeof g_rowText);
    g_rowText[sizeof g_rowText - 1] = 0;
    ExtTextOutA(dc, rect.left, rect.top, ETO_OPAQUE | ETO_CLIPPED, &rect, g_rowText, lstrlenA(g_rowText), nullptr);
    if (focus) DrawFocusRect(dc, &rect);
  }
  if (selected) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  }
}

// One back buffer for every list, grown to the largest client area painted.
HDC g_backDc;
HBITMAP g_backBitmap;
int g_backWidth, g_backHeight;

HDC BackBuffer(HDC screen, int width, int height) {
  if (!g_backDc) g_backDc = CreateCompatibleDC(screen);
  if (!g_backBitmap || width > g_backWidth || height > g_backHeight) {
    g_backWidth = width > g_backWidth ? width : g_backWidth;
    g_backHeight = height > g_backHeight ? height : g_backHeight;
    HBITMAP grown = CreateCompatibleBitmap(screen, g_backWidth, g_backHeight);
    SelectObject(g_backDc, grown);
    if (g_backBitmap) DeleteObject(g_backBitmap);
    g_backBitmap = grown;
  }
  return g_backDc;
}

void OnPaint(HWND window, VlbState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  HBRUSH brush = CreateSolidBrush(g_vlbHooks.threadBackground());
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  RECT client;
  GetClientRect(window, &client);
  if (!IsRectEmpty(&client)) {
    s->repaintPending = 0;
    HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
    if (s->scrollRecompute) {
      VlbView v = ViewOf(window);
      VlbUpdateScrollBar(*s, v);
      s->scrollRecompute = 0;
      InvalidateRect(window, &ps.rcPaint, FALSE);
      s->repaintPending = 1;
    } else {
      // The rows go to a back buffer first and reach the screen in one copy.
      HDC back = BackBuffer(dc, client.right, client.bottom);
      HGDIOBJ backFont = s->font ? SelectObject(back, s->font) : nullptr;
      HGDIOBJ backBrush = SelectObject(back, brush);
      SetTextColor(back, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(back, GetSysColor(COLOR_WINDOW));
      const int rows = s->rowsPerPage + (s->exactFit ? 0 : 1);
      for (int i = 0; i < rows; ++i) {
        RECT r = {client.left, i * s->rowHeight, client.right, (i + 1) * s->rowHeight};
        RECT hit;
        if (!IntersectRect(&hit, &r, &ps.rcPaint)) continue;
        DrawRow(window, s, back, s->top + i, r, brush);
      }
      const RECT& p = ps.rcPaint;
      BitBlt(dc, p.left, p.top, p.right - p.left, p.bottom - p.top, back, p.left, p.top, SRCCOPY);
      SelectObject(back, backBrush);
      if (backFont) SelectObject(back, backFont);
    }
    if (oldFont) SelectObject(dc, oldFont);
  }
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
  EndPaint(window, &ps);
}

void OnTimer(HWND window, VlbState* s) {
  if (!s->addMode || s->caret < s->top || s->caret > s->top + s->rowsPerPage) return;
  HDC dc = GetDC(window);
  RECT client;
  GetClientRect(window, &client);
  RECT r = {client.left, (s->caret - s->top) * s->rowHeight, client.right, (s->caret - s->top + 1) * s->rowHeight};
  DrawFocusRect(dc, &r);
  ReleaseDC(window, dc);
}

void OnMouseMove(HWND window, VlbState* s, UINT message, WPARAM wParam, LPARAM lParam) {
  VlbView v = ViewOf(window);
  const int y = static_cast<short>(HIWORD(lParam));
  if (!VlbMouseMove(*s, v, y)) return;
  MSG waiting;
  if (PeekMessageA(&waiting, window, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE) ||
      PeekMessageA(&waiting, window, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE))
    return;
  PostMessageA(window, message, wParam, lParam);
}

LRESULT OnSelectedRows(const VlbState& s) {
  std::vector<int32_t> rows;
  VlbSelectedRowList(s, rows);
  if (rows.empty()) return -1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, rows.size() * sizeof(int32_t));
  if (!block) return -2;
  void* p = GlobalLock(block);
  memcpy(p, rows.data(), rows.size() * sizeof(int32_t));
  GlobalUnlock(block);
  return reinterpret_cast<LRESULT>(block);
}

}  // namespace

VlbHooks g_vlbHooks = {DefaultIsNewShell, DefaultThreadBackground};

VlbState* VlbStateOf(HWND window) {
  if (window && window == g_lastWindow) return g_lastState;
  auto* s = static_cast<VlbState*>(GetPropA(window, kStateProperty));
  if (s) g_lastWindow = window, g_lastState = s;
  return s;
}

BOOL RegisterVlbClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = flVLBProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kVlbClassName;
  return RegisterClassA(&wc) != 0;
}

LRESULT VlbCommand(HWND window, UINT operation, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window)) return 0;
  VlbState* s = VlbStateOf(window);
  if (!s || operation < kVlbSetTextCallback || operation > kVlbRowsPerPage) return -1;
  switch (operation) {
    case kVlbSetTextCallback: s->textCallback = reinterpret_cast<void*>(lParam); return 0;
    case kVlbSetDrawCallback: s->drawCallback = reinterpret_cast<void*>(lParam); return 0;
    case kVlbSelectedRows: return OnSelectedRows(*s);
    default: {
      VlbView v = ViewOf(window);
      return VlbModelCommand(*s, v, static_cast<int>(operation), wParam, lParam);
    }
  }
}

LRESULT VlbAppendRows(HWND window, const int32_t* values, int count) {
  if (!IsWindow(window)) return 0;
  VlbState* s = VlbStateOf(window);
  if (!s) return -1;
  VlbView v = ViewOf(window);
  for (int i = 0; i < count; ++i)
    if (VlbAddRow(*s, v, static_cast<uint32_t>(values[i])) != 0) return -2;
  return 0;
}

LRESULT CALLBACK flVLBProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(window);
  VlbState* s = VlbStateOf(window);
  if (!s) return DefWindowProcA(window, message, wParam, lParam);
  VlbView v = ViewOf(window);
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_DESTROY: OnDestroy(window, s); return 0;
    case WM_SIZE: VlbSize(*s, v, HIWORD(lParam), GetFocus() == window); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: VlbFocus(*s, v, message == WM_SETFOCUS); return 0;
    case WM_PAINT: OnPaint(window, s); return 0;
    case WM_ERASEBKGND: return 0;
    case WM_SETFONT: OnSetFont(window, s, reinterpret_cast<HFONT>(wParam), static_cast<int>(lParam)); return 0;
    case WM_KEYDOWN: VlbKey(*s, v, static_cast<int>(wParam), shift); return 0;
    case WM_TIMER:
      if (wParam == kAddModeTimer) OnTimer(window, s);
      return 0;
    case WM_VSCROLL: VlbScroll(*s, v, LOWORD(wParam), static_cast<short>(HIWORD(wParam)), true); return 0;
    case WM_MOUSEMOVE: OnMouseMove(window, s, message, wParam, lParam); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      VlbButtonDown(*s, v, y, message == WM_LBUTTONDOWN, (wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: VlbButtonUp(*s, v); return 0;
    case WM_LBUTTONDBLCLK: VlbDoubleClick(*s, v, y); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}
