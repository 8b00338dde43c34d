// The pane bar between the thread list and the message view: the
// information text, its values (between 0xFE marks) in the bold font.
#include <windows.h>

#include <cstring>

#include "browser/browser.h"
#include "browser/message_ops.h"
#include "shell/commands_hooks.h"
#include "shell/shell_state.h"
#include "core/user_settings.h"

namespace {

char g_paneText[600];
HFONT g_boldFont;

HFONT BoldFont(HFONT normal) {
  if (g_boldFont) return g_boldFont;
  LOGFONTA lf;
  GetObjectA(normal, sizeof lf, &lf);
  lf.lfWeight = FW_BOLD;
  g_boldFont = CreateFontIndirectA(&lf);
  return g_boldFont;
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &client, EDGE_ETCHED, BF_TOP | BF_BOTTOM);
  HFONT normal = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HGDIOBJ old = SelectObject(dc, normal);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  int x = 6;
  bool value = false;
  const char* piece = g_paneText;
  for (const char* p = g_paneText;; ++p) {
    if (*p && static_cast<unsigned char>(*p) != 0xFE) continue;
    SelectObject(dc, value ? BoldFont(normal) : normal);
    RECT r = {x, client.top, client.right, client.bottom};
    SIZE extent = {};
    const int n = static_cast<int>(p - piece);
    DrawTextA(dc, piece, n, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    GetTextExtentPoint32A(dc, piece, n, &extent);
    x += extent.cx;
    if (!*p) break;
    value = !value;
    piece = p + 1;
  }
  SelectObject(dc, old);
  EndPaint(window, &ps);
}

}  // namespace

const char* PaneBarText() { return g_paneText; }

LRESULT CALLBACK PaneBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      lstrcpynA(g_paneText, reinterpret_cast<const char*>(lParam), sizeof g_paneText);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case WM_CREATE: CreatePaneBarButtons(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_LBUTTONDOWN: DragSplitter(); return 0;
    case WM_LBUTTONDBLCLK: g_commandHooks.FollowLink("", 1, window); return 0;
    case WM_COMMAND:
      if (g_shell.frame) return SendMessageA(g_shell.frame, WM_COMMAND, wParam, lParam);
      return 0;
    case WM_KILLFOCUS:
      // The buttons do not keep the focus: the keys belong to the thread list.
      if (wParam && GetParent(reinterpret_cast<HWND>(wParam)) == window && g_browser.list) SetFocus(g_browser.list);
      return 0;
    case WM_RBUTTONUP: {
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ShowZoomMenu(window, p);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && g_browser.zoomMode == 0 && !g_browser.composite) {
        SetCursor(LoadCursor(nullptr, IDC_SIZENS));
        return TRUE;
      }
      return DefWindowProcA(window, message, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}
