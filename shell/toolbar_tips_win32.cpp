// The toolbar's tip pop-up (class "Haskel Dark") and the texts it shows.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/user_settings.h"
#include "shell/menus.h"
#include "shell/shell_state.h"
#include "shell/toolbar.h"

namespace {

const char kTipClass[] = "Haskel Dark";
constexpr UINT kTipTimer = 1;
constexpr UINT kTipLifetime = 4000;

HWND s_tip = nullptr;
char s_tipText[256] = "";

HFONT TipFont() {
  static HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  return font;
}

bool IsNewShell() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS || version.dwMajorVersion >= 4;
}

void PaintTip(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT r;
  GetClientRect(window, &r);
  HBRUSH back = IsNewShell() ? GetSysColorBrush(COLOR_INFOBK) : CreateSolidBrush(RGB(255, 255, 127));
  FillRect(dc, &r, back);
  if (!IsNewShell()) DeleteObject(back);
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  SetPixel(dc, 0, 0, shadow);
  SetPixel(dc, r.right - 1, 0, shadow);
  SetPixel(dc, 0, r.bottom - 1, shadow);
  SetPixel(dc, r.right - 1, r.bottom - 1, shadow);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsNewShell() ? GetSysColor(COLOR_INFOTEXT) : RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(dc, TipFont());
  DrawTextA(dc, s_tipText, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  EndPaint(window, &paint);
}

LRESULT CALLBACK TipWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: SetTimer(window, kTipTimer, kTipLifetime, nullptr); return 0;
    case WM_TIMER: DestroyWindow(window); return 0;
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return 0;
    case WM_PAINT: PaintTip(window); return 0;
    case WM_DESTROY:
      if (s_tip == window) s_tip = nullptr;
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterTipClass() {
  WNDCLASSA existing;
  if (GetClassInfoA(g_app.instance, kTipClass, &existing)) return true;
  WNDCLASSA wc{};
  wc.lpfnWndProc = TipWindowProc;
  wc.hInstance = g_app.instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kTipClass;
  return RegisterClassA(&wc) != 0;
}

bool FrameHasFocus() {
  HWND focus = GetFocus();
  return focus && GetAncestor(focus, GA_ROOT) == g_shell.frame;
}

// A menu text up to its tab, without "&".
void PlainMenuText(int id, char* out, size_t size) {
  MenuItemText(g_shell.mainMenu, id, out, static_cast<int>(size), true);
}

// The n-th bookmark set that has a name.
const char* NamedBookSet(int n) {
  for (int i = 0; i < BOOK_SET_COUNT; ++i)
    if (g_bookSetNames[i][0] && --n == 0) return g_bookSetNames[i];
  return "";
}

}  // namespace

HWND ToolTipWindow() { return s_tip; }

// The tip's text for a command (empty: no tip).
void CommandTipText(int id, char* text, size_t size) {
  text[0] = 0;
  if (id <= 0 || id == TOOLBAR_SEPARATOR) return;
  if (id >= 1264 && id <= 1282) {
    const char* path = g_menuState.macroSlots[id - 1264];
    const char* file = std::strrchr(path, '\\');
    std::snprintf(text, size, "%s", file ? file + 1 : path);
    char* dot = std::strrchr(text, '.');
    if (dot && lstrcmpiA(dot, ".KBD") == 0) *dot = 0;
    CharLowerA(text);
    if (*text) *text = static_cast<char>(toupper(static_cast<unsigned char>(*text)));
  } else if (id >= 1241 && id <= 1250) {
    std::snprintf(text, size, "%s", NamedBookSet(id - 1240));
  } else if (id >= 1477 && id <= 1486) {
    std::snprintf(text, size, "%s", g_favourites[id - 1477]);
  } else if (id >= 1876 && id <= 1885) {
    std::snprintf(text, size, "Send to %s", g_favourites[id - 1876]);
  } else if (id >= 1859 && id <= 1868) {
    char section[32];
    std::snprintf(section, sizeof section, "Scheduler Job%d", id - 1858);
    const char* title = GetIniString(section, "Title");
    std::snprintf(text, size, "%s", title ? title : "");
  } else if (id >= 1013 && id <= 1098) {
    PlainMenuText(id, text, size);
  } else {
    bool glyph = std::strcmp(ToolbarGlyphName(id), "tspare") != 0;
    std::snprintf(text, size, "%s", loadstr(glyph && g_toolbarSettings.tips ? id + 10000 : id));
  }
}

void ShowCommandTip(int id, POINT point) {
  char text[256];
  CommandTipText(id, text, sizeof text);
  if (!g_toolbarSettings.tips) {
    setstatus(text);
    return;
  }
  if (!*text) {
    RemoveToolTip();
    return;
  }
  ShowToolTip(text, point.x, point.y);
}

void ShowToolTip(const char* text, int x, int y) {
  RemoveToolTip();
  if (!FrameHasFocus() || !RegisterTipClass()) return;
  std::snprintf(s_tipText, sizeof s_tipText, "%s", text);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, TipFont());
  SIZE extent{};
  GetTextExtentPoint32A(dc, s_tipText, static_cast<int>(std::strlen(s_tipText)), &extent);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int width = extent.cx + 5, height = extent.cy + 4;
  int top = y + 12;
  int screenRight = GetSystemMetrics(SM_CXSCREEN);
  int left = x;
  if (left + width > screenRight - 4) left = screenRight - 4 - width;
  s_tip = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kTipClass, "", WS_POPUP, left, top,
                          width, height, g_shell.frame, nullptr, g_app.instance, nullptr);
  if (s_tip) ShowWindow(s_tip, SW_SHOWNOACTIVATE);
}

void RemoveToolTip() {
  if (s_tip) DestroyWindow(s_tip);
  s_tip = nullptr;
}

void CheckToolTipMessage(const MSG* msg) {
  if (!s_tip) return;
  bool key = msg->message >= 256 && msg->message <= 264;
  bool click = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST && msg->message != WM_MOUSEMOVE;
  HWND frame = g_shell.frame;
  bool away = !frame || !IsWindowVisible(frame) || IsIconic(frame) || !IsWindowEnabled(frame) || !FrameHasFocus();
  if (!key && !click && !away) return;
  RemoveToolTip();
  if (GetCapture() == g_shell.toolbar) ReleaseCapture();
}
