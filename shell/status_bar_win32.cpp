// The status bar "Quillon".
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "shell/commands.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/splash.h"
#include "shell/status_bar.h"

StatusCounts g_statusCounts;
unsigned long g_statusFolderFlags = 0;
long g_jpegImageSize = 0;
bool g_importWaiting = false;

namespace {

enum : int {
  STATUS_TEXT_MAX = 149,
  CELL_WIDTH = 29,
  TIMER_CLEAR = 1,
  CLEAR_AFTER_MS = 10000,
  MAX_PARTS = 16,
};

struct Part {
  int left, right, command;
};

struct StatusBarState {
  char text[STATUS_TEXT_MAX + 1] = "";
  bool textShown = false;  // the text view, not the icons
  int height = 22;
  SIZE digitCell = {40, 16};
  Part parts[MAX_PARTS] = {};
  int partCount = 0;
  int animation = 0;  // import animation frame, 0 idle
  int progress = 0;   // reported percentage, 0 none
  bool terminalShown = false;
};
StatusBarState s_bar;

HFONT BarFont() {
  static HFONT font = nullptr;
  if (!font) font = CreateDialogFont();
  return font;
}

void AddPart(int left, int right, int command) {
  if (s_bar.partCount >= MAX_PARTS) return;
  s_bar.parts[s_bar.partCount++] = {left, right, command};
}

void DrawNamedBitmap(HDC dc, const char* name, int x, int y) {
  HBITMAP bitmap = LoadBitmapA(g_app.instance, name);
  if (!bitmap) return;
  DrawBitmapAt(dc, bitmap, x, y);
  DeleteObject(bitmap);
}

void EtchedLine(HDC dc, int x, int top, int bottom) {
  RECT line = {x, top, x + 2, bottom};
  DrawEdge(dc, &line, EDGE_ETCHED, BF_LEFT);
}

void DrawCell(HDC dc, int* x, int height, const char* bitmap, int command) {
  if (bitmap) DrawNamedBitmap(dc, bitmap, *x + 6, (height - 16) / 2);
  if (command) AddPart(*x, *x + CELL_WIDTH, command);
  *x += CELL_WIDTH;
  EtchedLine(dc, *x - 2, 2, height - 2);
}

void DrawTextAt(HDC dc, const char* text, RECT rect) {
  DrawTextA(dc, text, -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
}

// The number after the last blank of the import program's title.
int ImportPercentage() {
  HWND import = FindWindowA("MsgImport", nullptr);
  if (!import) return -1;
  char title[128] = "";
  GetWindowTextA(import, title, sizeof title);
  const char* blank = std::strrchr(title, ' ');
  return std::atoi(blank ? blank + 1 : title);
}

void DrawMiddleField(HDC dc, int left, int right, int height) {
  int x = left + 2;
  if (g_shellHooks.terminalSession()) {
    char name[16];
    std::snprintf(name, sizeof name, "pl_anim%d", g_shellHooks.terminalState());
    DrawNamedBitmap(dc, name, x, (height - 16) / 2);
    x += 40;
  }
  if (!s_bar.animation && !s_bar.progress) {
    DrawNamedBitmap(dc, "bmkflag", x, (height - 16) / 2);
    int set = g_shellHooks.currentBookmarkSet();
    char text[128];
    std::snprintf(text, sizeof text, "[%d] %s", set + 1, g_shellHooks.bookmarkSetName(set));
    DrawTextAt(dc, text, {x + 20, 0, right - 2, height});
    AddPart(left, right, 1109);
    return;
  }
  DrawNamedBitmap(dc, s_bar.animation ? "impflag" : "viewflag", x, (height - 16) / 2);
  int percentage = s_bar.animation ? ImportPercentage() : s_bar.progress;
  if (percentage < 0) percentage = s_bar.progress;
  if (percentage < 0) percentage = 0;
  if (percentage > 100) percentage = 100;
  int room = (right - left) - (g_shellHooks.terminalSession() ? 75 : 35);
  if (room <= 0) return;
  RECT bar = {x + 20, height / 2 - 4, x + 20 + room * percentage / 100, height / 2 + 4};
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 128));
  for (int block = bar.left; block < bar.right; block += 8) {
    RECT one = {block, bar.top, block + 6 < bar.right ? block + 6 : bar.right, bar.bottom};
    FillRect(dc, &one, blue);
  }
  DeleteObject(blue);
}

void DrawCount(HDC dc, int* x, int height, const char* bitmap, long value, int command) {
  int width = s_bar.digitCell.cx + 32;
  EtchedLine(dc, *x, 2, height - 2);
  DrawNamedBitmap(dc, bitmap, *x + 4, (height - 16) / 2);
  char text[16] = "";
  if (value != -1) std::snprintf(text, sizeof text, "%ld", value);
  DrawTextAt(dc, text, {*x + 24, 0, *x + width, height});
  if (command) AddPart(*x, *x + width, command);
  *x += width;
}

void DrawIconView(HDC dc, const RECT& client) {
  int height = client.bottom;
  int x = 2;
  bool admin = HasRight(RIGHT_ADMINISTRATOR);
  DrawCell(dc, &x, height, admin ? "adminflag" : nullptr, admin ? 1184 : 1101);
  DrawCell(dc, &x, height, (g_statusFolderFlags & 0x100) ? "filesflag" : nullptr, 0);
  DrawCell(dc, &x, height, (g_statusFolderFlags & 8) ? "modflag" : nullptr, 0);
  DrawCell(dc, &x, height, (g_statusFolderFlags & 0x10) ? "roflag" : nullptr, 0);
  char import[16];
  if (s_bar.animation)
    std::snprintf(import, sizeof import, "newmess%d", s_bar.animation);
  else
    std::strcpy(import, g_importWaiting ? "newmess" : "oldmess");
  DrawCell(dc, &x, height, import, 1472);
  const char* macro = g_shellHooks.macroPlaying() ? "playflag" : g_shellHooks.macroRecording() ? "recflag" : nullptr;
  DrawCell(dc, &x, height, macro, 0);

  int counts = 4 * (s_bar.digitCell.cx + 32);
  int middleRight = client.right - counts;
  if (middleRight - x >= 33) DrawMiddleField(dc, x, middleRight, height);
  int cx = middleRight > x ? middleRight : x;
  DrawCount(dc, &cx, height, "threadflag", g_statusCounts.thread, 0);
  DrawCount(dc, &cx, height, "topicflag", g_statusCounts.topic, 0);
  DrawCount(dc, &cx, height, "totalflag", g_statusCounts.total, 0);
  DrawCount(dc, &cx, height, "mailflag", g_statusCounts.mail, 1870);
}

void OnCreate(HWND window) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, BarFont());
  GetTextExtentPoint32A(dc, "99g999", 6, &s_bar.digitCell);
  if (s_bar.digitCell.cy > 18) s_bar.digitCell.cy = 18;
  SelectObject(dc, old);
  ReleaseDC(window, dc);
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  PaintStatusBar(window, dc);
  EndPaint(window, &ps);
}

void OnTimer(HWND window) {
  KillTimer(window, TIMER_CLEAR);
  if (!s_bar.textShown) return;
  s_bar.textShown = false;
  s_bar.text[0] = 0;
  InvalidateRect(window, nullptr, FALSE);
}

void OnDoubleClick(int x) {
  int command = 1163;
  for (int i = 0; i < s_bar.partCount; ++i)
    if (x >= s_bar.parts[i].left && x < s_bar.parts[i].right) command = s_bar.parts[i].command;
  SendMessageA(g_shell.frame, WM_COMMAND, command, 0);
}

LRESULT StatusBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_SETFOCUS:
      if (g_shell.frame) SetFocus(g_shell.frame);
      return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_TIMER:
      if (wParam == TIMER_CLEAR) OnTimer(window);
      return 0;
    case WM_MOUSEMOVE:
      if (s_bar.textShown) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDBLCLK: OnDoubleClick(static_cast<short>(LOWORD(lParam))); return 0;
    case WM_RBUTTONUP: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      g_shellHooks.showBookmarkMenu(window, point, 1);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void StatusTextSeam(const char* text) { SetStatusText(text); }

}  // namespace

BOOL RegisterStatusBarClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = GuardedWndProc<StatusBarProc>;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "Quillon";
  return RegisterClassA(&wc) != 0;
}

int StatusBarHeight() { return s_bar.height; }
bool StatusBarShowsText() { return s_bar.textShown; }
const char* StatusBarText() { return s_bar.text; }

void SetStatusText(const char* text) {
  if (!text) text = "";
  char cut[STATUS_TEXT_MAX + 1];
  StrCopyN(cut, text, STATUS_TEXT_MAX);
  if (std::strcmp(cut, s_bar.text) != 0) {
    std::strcpy(s_bar.text, cut);
    if (cut[0]) {
      s_bar.textShown = true;
      if (g_shell.statusBar) {
        InvalidateRect(g_shell.statusBar, nullptr, FALSE);
        SetTimer(g_shell.statusBar, TIMER_CLEAR, CLEAR_AFTER_MS, nullptr);
      }
    } else {
      s_bar.textShown = false;
      if (g_shell.statusBar) InvalidateRect(g_shell.statusBar, nullptr, FALSE);
    }
  }
  if (g_shell.statusBar) UpdateWindow(g_shell.statusBar);
}

void RepaintStatusBar() {
  if (!g_shell.statusBar) return;
  InvalidateRect(g_shell.statusBar, nullptr, FALSE);
  UpdateWindow(g_shell.statusBar);
}

void PaintStatusBar(HWND window, HDC target) {
  RECT client;
  GetClientRect(window, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  HDC dc = CreateCompatibleDC(target);
  HBITMAP canvas = CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, canvas);
  HGDIOBJ oldFont = SelectObject(dc, BarFont());
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  s_bar.partCount = 0;
  if (s_bar.textShown) {
    RECT inset = {client.left + 3, client.top, client.right - 3, client.bottom};
    DrawTextAt(dc, s_bar.text, inset);
  } else {
    DrawIconView(dc, client);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(canvas);
  DeleteDC(dc);
}

int ImportAnimationFrame() { return s_bar.animation; }

void PollImportTool() {
  bool terminal = g_shellHooks.terminalSession();
  if (terminal != s_bar.terminalShown) {
    s_bar.terminalShown = terminal;
    RepaintStatusBar();
  }
  HWND import = FindWindowA("MsgImport", nullptr);
  char text[16] = "";
  if (import) GetDlgItemTextA(import, 4292, text, sizeof text);
  if (import && std::strlen(text) >= 3) {
    s_bar.animation = s_bar.animation >= 5 ? 1 : s_bar.animation + 1;
    RepaintStatusBar();
  } else if (s_bar.animation) {
    s_bar.animation = 0;
    RepaintStatusBar();
  }
}

void JpegProgress(int value) {
  if (g_jpegImageSize < 16385 || value == s_bar.progress) return;
  s_bar.progress = value;
  RepaintStatusBar();
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE))
    PeekMessageA(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE);
}

int CreateStatusWindows() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  s_bar.height = metrics.tmHeight + metrics.tmExternalLeading + 6;
  if (s_bar.height < 22) s_bar.height = 22;
  g_shell.shadowBrush = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
  RECT client;
  GetClientRect(g_shell.frame, &client);
  if (client.right > 100 && client.bottom > 100) {
    CreateToolbar();
    UpdateCommandStates();
    g_shell.toolbarShown = true;
    g_shell.statusBar = CreateWindowA("Quillon", "", WS_CHILD | WS_VISIBLE, 0, client.bottom - s_bar.height,
                                      client.right, s_bar.height, g_shell.frame, nullptr, g_app.instance, nullptr);
    if (!g_shell.statusBar) return 0;
  }
  g_ui.setStatusText = StatusTextSeam;
  return 1;
}
