// The toolbar window (class "Quenby Gold"): settings, layout, painting with
// cached glyphs, the mouse rules, and the command states it shows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/user_settings.h"
#include "shell/commands.h"
#include "shell/commands_hooks.h"
#include "shell/commands_table.h"
#include "shell/menus.h"
#include "shell/shell_state.h"
#include "shell/toolbar.h"

ToolbarSettings g_toolbarSettings;

namespace {
void ForgetToolbarImage();
}
int* g_toolbarButtons = nullptr;
ToolbarButton* g_toolbarRows = nullptr;
bool g_toolbarCommand = false;

namespace {

const char kToolbarClass[] = "Quenby Gold";

struct ToolbarWindowState {
  int tipped = -1;  // row whose tip shows
  int held = -1;    // row pressed by the left button
  bool capture = false;
};
ToolbarWindowState s_state;

// Glyphs and faces by name and look, kept until the colours or the size change.
std::map<std::string, HBITMAP>& GlyphCache() {
  static std::map<std::string, HBITMAP> cache;
  return cache;
}

void ToolbarIniPath(const char* user, char* out, size_t size) {
  const char* dir = g_app.dataDir;
  size_t n = std::strlen(dir);
  std::snprintf(out, size, "%s%s%.8s.ini", dir, n && dir[n - 1] != '\\' ? "\\" : "", user);
}

bool EnsureTables() {
  if (!g_toolbarButtons) {
    g_toolbarButtons = static_cast<int*>(std::calloc(TOOLBAR_MAX_ROWS, sizeof(int)));
    if (!g_toolbarButtons) return false;
    ParseToolbarButtons("", g_toolbarButtons);
    if (g_app.userName[0]) LoadToolbarSettings(g_app.userName);
  }
  if (!g_toolbarRows) {
    g_toolbarRows = static_cast<ToolbarButton*>(std::calloc(TOOLBAR_MAX_ROWS, sizeof(ToolbarButton)));
    if (!g_toolbarRows) return false;
  }
  return true;
}

int RowAt(POINT point) {
  if (!g_toolbarRows) return -1;
  for (int i = 0; i < TOOLBAR_MAX_ROWS && g_toolbarRows[i].id; ++i) {
    const ToolbarRect& r = g_toolbarRows[i].rect;
    if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) return i;
  }
  return -1;
}

bool IsButton(int row) { return row >= 0 && g_toolbarRows[row].id != TOOLBAR_SEPARATOR; }

bool FrameHasFocus() {
  HWND focus = GetFocus();
  return focus && GetAncestor(focus, GA_ROOT) == g_shell.frame;
}

void Repaint() {
  if (g_shell.toolbar) InvalidateRect(g_shell.toolbar, nullptr, FALSE);
}

bool LooksDown(const ToolbarButton& row) {
  if (row.pressed) return true;
  switch (row.id) {
    case 1734: return g_commandHooks.ZoomMode() == 1;
    case 1735: return g_commandHooks.ZoomMode() == 2;
    case 1736: return g_commandHooks.ZoomMode() == 0;
    case 1788: return g_user.readingMode == 4;
    case 1789: return g_user.readingMode == 5;
    case 1790: return g_user.readingMode == 6;
    case 1791: return g_user.readingMode == 3;
    case 1792: return g_user.readingMode == 7;
  }
  return false;
}

// A macro's picture: the macro file's name with ".BMP" for ".KBD".
HBITMAP MacroBitmap(int id) {
  const char* path = g_menuState.macroSlots[id - 1264];
  if (!*path) return nullptr;
  char bmp[MAX_PATH];
  std::snprintf(bmp, sizeof bmp, "%s", path);
  char* dot = std::strrchr(bmp, '.');
  if (!dot || lstrcmpiA(dot, ".KBD") != 0) return nullptr;
  std::strcpy(dot, ".BMP");
  return static_cast<HBITMAP>(LoadImageA(nullptr, bmp, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

// A copy of a bitmap resource's header, colour table and bits.
BITMAPINFOHEADER* CopyBitmapResource(HINSTANCE instance, const char* name) {
  HRSRC found = FindResourceA(instance, name, MAKEINTRESOURCEA(2));
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(instance, found);
  DWORD size = SizeofResource(instance, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size < sizeof(BITMAPINFOHEADER)) return nullptr;
  auto* copy = static_cast<BITMAPINFOHEADER*>(std::malloc(size));
  if (!copy) return nullptr;
  std::memcpy(copy, data, size);
  if (copy->biSize != sizeof(BITMAPINFOHEADER) || copy->biBitCount > 8 || copy->biWidth <= 0 || copy->biWidth > 256 ||
      copy->biHeight == 0 || std::abs(copy->biHeight) > 256) {
    std::free(copy);
    return nullptr;
  }
  return copy;
}

int ColourCount(const BITMAPINFOHEADER* info) {
  return info->biClrUsed ? static_cast<int>(info->biClrUsed) : 1 << info->biBitCount;
}

HBITMAP RenderDib(const BITMAPINFOHEADER* info) {
  RGBQUAD* table = reinterpret_cast<RGBQUAD*>(const_cast<BITMAPINFOHEADER*>(info) + 1);
  const void* bits = table + ColourCount(info);
  int width = info->biWidth, height = std::abs(info->biHeight);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, bits, reinterpret_cast<const BITMAPINFO*>(info),
                DIB_RGB_COLORS, SRCCOPY);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

HBITMAP LoadMapped(HINSTANCE instance, const char* name, const COLORREF (*map)[2], int rows) {
  BITMAPINFOHEADER* info = CopyBitmapResource(instance, name);
  if (!info) return nullptr;
  RGBQUAD* table = reinterpret_cast<RGBQUAD*>(info + 1);
  int count = ColourCount(info) < 16 ? ColourCount(info) : 16;
  // Map through a copy so a colour mapped once is not mapped again.
  RGBQUAD original[16];
  std::memcpy(original, table, count * sizeof(RGBQUAD));
  for (int r = 0; r < rows; ++r)
    for (int i = 0; i < count; ++i)
      if (RGB(original[i].rgbRed, original[i].rgbGreen, original[i].rgbBlue) == map[r][0]) {
        table[i].rgbRed = GetRValue(map[r][1]);
        table[i].rgbGreen = GetGValue(map[r][1]);
        table[i].rgbBlue = GetBValue(map[r][1]);
      }
  HBITMAP bitmap = RenderDib(info);
  std::free(info);
  return bitmap;
}

HBITMAP CachedGlyph(const char* name, bool disabled) {
  std::string key = std::string(disabled ? "-" : "+") + name;
  auto& cache = GlyphCache();
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  HBITMAP glyph = LoadToolbarGlyph(name, disabled, false);
  if (!glyph) glyph = LoadToolbarGlyph("tspare", disabled, false);
  cache[key] = glyph;
  return glyph;
}

HBITMAP CachedFace(bool pressed) {
  const char* name = g_toolbarSettings.large ? (pressed ? "l95down" : "l95up") : (pressed ? "w95down" : "w95up");
  std::string key = std::string("=") + name;
  auto& cache = GlyphCache();
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  HBITMAP face = LoadSysColorBitmap(g_app.instance, name, true);
  cache[key] = face;
  return face;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (!bitmap) return;
  BITMAP info;
  GetObject(bitmap, sizeof info, &info);
  // One source context for every glyph: making one per button costs more than the copies.
  static HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, int colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colour));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void SendButtonCommand(int id) {
  if (!g_shell.toolbar || g_app.fatalError) return;
  if (!FrameHasFocus()) SetActiveWindow(g_shell.frame);
  g_toolbarCommand = true;
  SendMessageA(g_shell.frame, WM_COMMAND, id, 0);
  g_toolbarCommand = false;
}

void ClearPressed() {
  for (int i = 0; i < TOOLBAR_MAX_ROWS && g_toolbarRows[i].id; ++i) g_toolbarRows[i].pressed = 0;
}

void OnMouseMove(HWND window, POINT point) {
  if (s_state.held >= 0) {
    int row = RowAt(point);
    g_toolbarRows[s_state.held].pressed = row == s_state.held && g_toolbarRows[row].enabled;
    Repaint();
    return;
  }
  if (!FrameHasFocus()) return;
  int row = RowAt(point);
  POINT screen = point;
  ClientToScreen(window, &screen);
  HWND under = WindowFromPoint(screen);
  if (IsButton(row) && (under == g_shell.frame || under == window)) {
    if (row != s_state.tipped) {
      ShowCommandTip(g_toolbarRows[row].id, screen);
      s_state.tipped = row;
      SetCapture(window);
      s_state.capture = true;
    }
  } else {
    s_state.tipped = -1;
    if (s_state.capture) ReleaseCapture();
    s_state.capture = false;
    RemoveToolTip();
  }
  Repaint();
}

void OnLeftDown(HWND window, POINT point) {
  if (!g_commandHooks.StartupFinished()) return;
  RemoveToolTip();
  ClearPressed();
  RECT client;
  GetClientRect(window, &client);
  if (PtInRect(&client, point)) {
    int row = RowAt(point);
    if (IsButton(row)) {
      if (g_toolbarRows[row].enabled) {
        g_toolbarRows[row].pressed = 1;
        s_state.held = row;
        SetCapture(window);
        s_state.capture = true;
      } else {
        MessageBeep(0);
      }
    }
  }
  Repaint();
}

void OnLeftUp(HWND window, POINT point) {
  int held = s_state.held;
  s_state.held = -1;
  ClearPressed();
  if (s_state.capture) ReleaseCapture();
  s_state.capture = false;
  s_state.tipped = -1;
  if (held >= 0 && RowAt(point) == held && g_toolbarRows[held].enabled) {
    int id = g_toolbarRows[held].id;
    bool modeButton = (id >= 1734 && id <= 1736) || (id >= 1788 && id <= 1792);
    if (!modeButton) UpdateWindow(window);
    SendButtonCommand(id);
  }
  Repaint();
}

void OnRightUp(HWND window, POINT point) {
  if (!g_commandHooks.StartupFinished()) return;
  int row = RowAt(point);
  if (IsButton(row)) {
    ShowHelp(g_toolbarRows[row].id, nullptr);
    return;
  }
  HMENU menu = LoadMenuA(StringModule(), "PopToolbarMenu");
  if (!menu) return;
  POINT screen = point;
  ClientToScreen(window, &screen);
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, g_shell.frame, nullptr);
  DestroyMenu(menu);
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, canvas);
  PaintToolbar(memory, client.right, client.bottom);
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(canvas);
  DeleteDC(memory);
  EndPaint(window, &paint);
}

LRESULT CALLBACK ToolbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_MOUSEMOVE: OnMouseMove(window, point); return 0;
    case WM_LBUTTONDOWN: OnLeftDown(window, point); return 0;
    case WM_LBUTTONUP: OnLeftUp(window, point); return 0;
    case WM_LBUTTONDBLCLK:
      if (!IsButton(RowAt(point))) g_commandHooks.DoOptions(1);
      return 0;
    case WM_RBUTTONUP: OnRightUp(window, point); return 0;
    case WM_SETCURSOR: SetCursor(LoadCursor(nullptr, IDC_ARROW)); return TRUE;
    case WM_SYSCOLORCHANGE:
      FlushToolbarGlyphs();
      Repaint();
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: OnPaint(window); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterToolbarClass() {
  WNDCLASSA existing;
  if (GetClassInfoA(g_app.instance, kToolbarClass, &existing)) return true;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ToolbarProc;
  wc.hInstance = g_app.instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kToolbarClass;
  return RegisterClassA(&wc) != 0;
}

}  // namespace

void LoadToolbarSettings(const char* user) {
  if (!EnsureTables()) return;
  char ini[MAX_PATH + 16];
  ToolbarIniPath(user, ini, sizeof ini);
  g_toolbarSettings.shown = GetPrivateProfileIntA("Tools", "Toolbar", 1, ini) != 0;
  g_toolbarSettings.totempole = GetPrivateProfileIntA("Tools", "Totempole", 0, ini) != 0;
  g_toolbarSettings.tips = GetPrivateProfileIntA("Tools", "Tips", 1, ini) != 0;
  g_toolbarSettings.large = GetPrivateProfileIntA("Tools", "Large Buttons", 0, ini) != 0;
  char value[TOOLBAR_BUTTONS_VALUE_MAX + 1];
  GetPrivateProfileStringA("Tools", "Buttons", "", value, sizeof value, ini);
  ParseToolbarButtons(value, g_toolbarButtons);
  g_frameLayout.largeButtons = g_toolbarSettings.large;
  g_shell.largeButtons = g_toolbarSettings.large;
  g_shell.toolbarAtLeft = g_toolbarSettings.totempole;
  FlushToolbarGlyphs();
  if (g_shell.toolbar && g_toolbarRows) {
    LayoutToolbar();
    Repaint();
  }
}

void SaveToolbarSettings(const char* user) {
  if (!g_toolbarButtons) return;
  char ini[MAX_PATH + 16];
  ToolbarIniPath(user, ini, sizeof ini);
  WritePrivateProfileStringA("Tools", "Toolbar", g_toolbarSettings.shown ? "1" : "0", ini);
  WritePrivateProfileStringA("Tools", "Totempole", g_toolbarSettings.totempole ? "1" : "0", ini);
  WritePrivateProfileStringA("Tools", "Tips", g_toolbarSettings.tips ? "1" : "0", ini);
  WritePrivateProfileStringA("Tools", "Large Buttons", g_toolbarSettings.large ? "1" : "0", ini);
  char value[TOOLBAR_MAX_ROWS * 6 + 1];
  FormatToolbarButtons(g_toolbarButtons, value, sizeof value);
  WritePrivateProfileStringA("Tools", "Buttons", value, ini);
}

void ReadToolbarSettingsOfUser() { LoadToolbarSettings(g_app.userName); }

void LayoutToolbar() {
  if (!EnsureTables()) return;
  ToolbarRect rects[TOOLBAR_MAX_ROWS];
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  ToolbarLayoutOptions options{g_toolbarSettings.totempole, g_toolbarSettings.large,
                               version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS || version.dwMajorVersion >= 4};
  int n = LayoutToolbarButtons(g_toolbarButtons, options, rects);
  for (int i = 0; i < n; ++i) g_toolbarRows[i] = {g_toolbarButtons[i], 0, 1, rects[i]};
  if (n < TOOLBAR_MAX_ROWS) g_toolbarRows[n].id = 0;
}

int ToolbarThickness() { return g_toolbarSettings.large ? 37 : 29; }

void CreateToolbar() {
  // The settings of whoever logs in later are read through the user settings.
  g_userSettingsHooks.readToolbarSettings = ReadToolbarSettingsOfUser;
  if (!EnsureTables() || !g_shell.frame) return;
  if (!RegisterToolbarClass()) return;
  g_shell.toolbar = CreateWindowExA(0, kToolbarClass, "TBX2", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                    g_shell.frame, nullptr, g_app.instance, nullptr);
  if (!g_shell.toolbar) return;
  LayoutToolbar();
  ShowWindow(g_shell.toolbar, SW_SHOW);
  UpdateWindow(g_shell.toolbar);
}

void FreeToolbar() {
  std::free(g_toolbarButtons);
  std::free(g_toolbarRows);
  g_toolbarButtons = nullptr;
  g_toolbarRows = nullptr;
  g_shell.toolbar = nullptr;
  FlushToolbarGlyphs();
}

void MoveToolbar(int x, int y, int width, int height) {
  if (g_shell.toolbar) MoveWindow(g_shell.toolbar, x, y, width, height, TRUE);
}

bool ToolbarHasZoomButtons() {
  if (!g_toolbarButtons) return false;
  for (int i = 0; i < TOOLBAR_MAX_ROWS && g_toolbarButtons[i]; ++i)
    if (g_toolbarButtons[i] >= 1734 && g_toolbarButtons[i] <= 1736) return true;
  return false;
}

void SetToolbarState(int id, bool enabled) {
  bool changed = false;
  if (g_toolbarRows)
    for (int i = 0; i < TOOLBAR_MAX_ROWS && g_toolbarRows[i].id; ++i)
      if (g_toolbarRows[i].id == id && g_toolbarRows[i].enabled != static_cast<int32_t>(enabled)) {
        g_toolbarRows[i].enabled = enabled;
        changed = true;
      }
  if (g_shell.mainMenu) EnableMenuItem(g_shell.mainMenu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  if (changed) Repaint();
}

HBITMAP LoadSysColorBitmap(HINSTANCE instance, const char* name, bool mapWhite) {
  const COLORREF map[4][2] = {{RGB(0, 0, 0), GetSysColor(COLOR_BTNTEXT)},
                              {RGB(128, 128, 128), GetSysColor(COLOR_BTNSHADOW)},
                              {RGB(192, 192, 192), GetSysColor(COLOR_BTNFACE)},
                              {RGB(255, 255, 255), GetSysColor(COLOR_BTNHIGHLIGHT)}};
  return LoadMapped(instance, name, map, mapWhite ? 4 : 3);
}

HBITMAP CreateDisabledBitmap(HINSTANCE instance, const char* name) {
  BITMAPINFOHEADER* info = CopyBitmapResource(instance, name);
  if (!info) return nullptr;
  int width = info->biWidth, height = std::abs(info->biHeight);
  std::free(info);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF cyan = RGB(0, 255, 255), white = RGB(255, 255, 255), light = RGB(192, 192, 192);
  const COLORREF black = RGB(0, 0, 0);
  // Every colour the glyph may hold, mapped to the pass's two colours.
  auto pass = [&](COLORREF background, COLORREF ink) {
    COLORREF map[16][2];
    const COLORREF all[16] = {black,
                              RGB(128, 0, 0),
                              RGB(0, 128, 0),
                              RGB(128, 128, 0),
                              RGB(0, 0, 128),
                              RGB(128, 0, 128),
                              RGB(0, 128, 128),
                              light,
                              RGB(128, 128, 128),
                              RGB(255, 0, 0),
                              RGB(0, 255, 0),
                              RGB(255, 255, 0),
                              RGB(0, 0, 255),
                              RGB(255, 0, 255),
                              cyan,
                              white};
    for (int i = 0; i < 16; ++i) {
      bool clear = all[i] == cyan || all[i] == white || all[i] == light;
      map[i][0] = all[i];
      map[i][1] = clear ? background : ink;
    }
    return LoadMapped(instance, name, map, 16);
  };
  HBITMAP highlight = pass(face, white), mask = pass(white, black), ink = pass(black, shadow);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen), source = CreateCompatibleDC(screen);
  HBITMAP result = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ oldDc = SelectObject(dc, result);
  HBRUSH brush = CreateSolidBrush(face);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  HGDIOBJ oldSource = SelectObject(source, highlight);
  BitBlt(dc, 1, 1, width - 1, height - 1, source, 0, 0, SRCCOPY);
  SelectObject(source, mask);
  BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCAND);
  SelectObject(source, ink);
  BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCPAINT);
  SelectObject(source, oldSource);
  SelectObject(dc, oldDc);
  DeleteDC(source);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  DeleteObject(highlight);
  DeleteObject(mask);
  DeleteObject(ink);
  return result;
}

HBITMAP LoadToolbarGlyph(const char* name, bool disabled, bool mapWhite) {
  HINSTANCE instance = g_app.instance;
  if (g_toolbarSettings.large) {
    char large[16];
    std::snprintf(large, sizeof large, "l%.8s", name);
    HBITMAP glyph = disabled ? CreateDisabledBitmap(instance, large) : LoadSysColorBitmap(instance, large, mapWhite);
    if (glyph) return glyph;
  }
  return disabled ? CreateDisabledBitmap(instance, name) : LoadSysColorBitmap(instance, name, mapWhite);
}

void DrawButtonFace(HDC dc, HBITMAP glyph, int x, int y, bool pressed, bool raised) {
  if (pressed || raised) DrawBitmap(dc, CachedFace(pressed), x, y);
  int offset = pressed ? 3 : 2;
  DrawBitmap(dc, glyph, x + offset, y + offset);
}

void FlushToolbarGlyphs() {
  ForgetToolbarImage();
  for (auto& entry : GlyphCache())
    if (entry.second) DeleteObject(entry.second);
  GlyphCache().clear();
}

namespace {

// The last composed picture of the toolbar and the state it shows, so a
// repaint that changes nothing (most mouse moves) is one copy.
struct ToolbarImage {
  HDC dc = nullptr;  // holds the bitmap selected
  HBITMAP bitmap = nullptr;
  HGDIOBJ original = nullptr;
  int width = 0, height = 0;
  std::vector<int32_t> key;
};
ToolbarImage s_image;

void ForgetToolbarImage() {
  if (s_image.dc) {
    SelectObject(s_image.dc, s_image.original);
    DeleteDC(s_image.dc);
  }
  if (s_image.bitmap) DeleteObject(s_image.bitmap);
  s_image = ToolbarImage{};
}

void ImageKey(int hot, std::vector<int32_t>& key) {
  key.clear();
  key.push_back(g_toolbarSettings.large | g_toolbarSettings.totempole << 1);
  for (int i = 0; g_toolbarRows && i < TOOLBAR_MAX_ROWS && g_toolbarRows[i].id; ++i) {
    const ToolbarButton& row = g_toolbarRows[i];
    key.push_back(row.id);
    key.push_back(row.enabled | LooksDown(row) << 1 | (i == hot) << 2);
    key.push_back(row.rect.left | row.rect.top << 16);
  }
}

void ComposeToolbar(HDC dc, int width, int height, int hot) {
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  Line(dc, 0, 0, width, 0, COLOR_BTNSHADOW);
  Line(dc, 0, 1, width, 1, COLOR_BTNHIGHLIGHT);
  if (!g_toolbarRows) return;
  for (int i = 0; i < TOOLBAR_MAX_ROWS && g_toolbarRows[i].id; ++i) {
    const ToolbarButton& row = g_toolbarRows[i];
    const ToolbarRect& r = row.rect;
    if (row.id == TOOLBAR_SEPARATOR) {
      if (g_toolbarSettings.totempole) {
        int y = r.top + 5;
        Line(dc, r.left, y, r.left + (g_toolbarSettings.large ? 30 : 24), y, COLOR_BTNSHADOW);
        Line(dc, r.left, y + 1, r.left + (g_toolbarSettings.large ? 30 : 24), y + 1, COLOR_BTNHIGHLIGHT);
      } else {
        int x = r.left + 5;
        Line(dc, x, r.top, x, r.top + (g_toolbarSettings.large ? 31 : 22), COLOR_BTNSHADOW);
        Line(dc, x + 1, r.top, x + 1, r.top + (g_toolbarSettings.large ? 31 : 22), COLOR_BTNHIGHLIGHT);
      }
      continue;
    }
    HBITMAP glyph = nullptr;
    bool owned = false;
    if (row.id >= 1264 && row.id <= 1282) {
      glyph = MacroBitmap(row.id);
      owned = true;
    } else if (row.id >= 1013 && row.id <= 1098) {
      char tool[128] = "";
      if (g_shell.mainMenu) GetMenuStringA(g_shell.mainMenu, row.id, tool, sizeof tool, MF_BYCOMMAND);
      glyph = g_commandHooks.GetToolBitmap(tool);
      owned = true;
    } else {
      glyph = CachedGlyph(ToolbarGlyphName(row.id), !row.enabled);
    }
    bool down = LooksDown(row);
    DrawButtonFace(dc, glyph, r.left, r.top, down, !down && i == hot && row.enabled);
    if (owned && glyph) DeleteObject(glyph);
  }
}

}  // namespace

void PaintToolbar(HDC dc, int width, int height) {
  int hot = -1;
  if (g_shell.toolbar) {
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(g_shell.toolbar, &cursor);
    hot = RowAt(cursor);
  }
  static std::vector<int32_t> key;
  ImageKey(hot, key);
  if (!s_image.dc || s_image.width != width || s_image.height != height) {
    ForgetToolbarImage();
    s_image.dc = CreateCompatibleDC(dc);
    s_image.bitmap = CreateCompatibleBitmap(dc, width, height);
    s_image.original = SelectObject(s_image.dc, s_image.bitmap);
    s_image.width = width;
    s_image.height = height;
  }
  if (s_image.key != key) {
    ComposeToolbar(s_image.dc, width, height, hot);
    s_image.key = key;
  }
  BitBlt(dc, 0, 0, width, height, s_image.dc, 0, 0, SRCCOPY);
}
