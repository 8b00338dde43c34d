// The frame's title, window placements, the session's release at the end and
// the small drawing helpers the frame and dialogs share.
#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "shell/commands.h"
#include "shell/login.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"

namespace {
bool s_titleSetForUser = false;
}

void MainTitleFor(const char* userName, char* out, size_t size) {
  StrCopyN(out, loadstr(5755), size - 1);
  if (!userName || !userName[0]) return;
  if (lstrcmpiA(userName, "user") == 0 || lstrcmpiA(userName, "dvn") == 0 || lstrcmpiA(userName, "admin") == 0) return;
  StrCatN(out, ":", size - 1 - std::strlen(out));
  StrCatN(out, userName, size - 1 - std::strlen(out));
}

void SetMainTitle() {
  if (g_shell.frame && !s_titleSetForUser) {
    char title[200];
    MainTitleFor(g_app.userName, title, sizeof title);
    SetWindowTextA(g_shell.frame, title);
    if (UserLoggedIn()) s_titleSetForUser = true;
  }
  HWND browser = g_shellHooks.browserWindow();
  if (g_topic.log && browser) {
    char name[128];
    StrCopyN(name, g_topic.openName, sizeof name - 1);
    FixNameCase(name);
    SetWindowTextA(browser, name);
  }
}

void SaveWindowState(HWND window, int state, int slot, bool onlyState) {
  if (slot < 0 || slot >= WINDOW_KIND_COUNT || !window) return;
  WindowPlacement& place = g_windowPlacements[slot];
  if (onlyState) {
    if (state == 2)
      place.show = 3;
    else if (state == 1)
      place.show = 2;
    return;
  }
  if (IsZoomed(window) || IsIconic(window)) return;
  RECT rect;
  GetWindowRect(window, &rect);
  HWND parent = GetParent(window);
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  place.left = rect.left == CW_USEDEFAULT ? 0 : rect.left;
  place.top = rect.top == CW_USEDEFAULT ? 0 : rect.top;
  place.width = rect.right - rect.left;
  place.height = rect.bottom - rect.top;
  place.show = 1;
}

void ReleaseSession() {
  g_app.fatalError = true;
  bool topicWasOpen = g_topic.log != nullptr;
  logclose();
  if (UserLoggedIn()) {
    if (!topicWasOpen || g_shellHooks.longTaskRunning()) wtuconf();
    WriteSettings(true);
    g_shellHooks.saveBookmarks();
  }
  if (UserLoggedIn()) ReleaseUserLock();
  FreeToolbar();
  g_app.userName[0] = 0;
  g_shellHooks.loadBookmarks();
}

HFONT CreateDialogFont() {
  HDC dc = GetDC(nullptr);
  int height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
}

HFONT CreateSmallFont() {
  HDC dc = GetDC(nullptr);
  int height = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
}

namespace {
void Line(HDC dc, int x1, int y1, int x2, int y2, int colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colour));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}
void Edges(HDC dc, const RECT* r, bool inner) {
  Line(dc, r->left, r->bottom - 1, r->left, r->top, COLOR_BTNSHADOW);
  Line(dc, r->left, r->top, r->right - 1, r->top, COLOR_BTNSHADOW);
  Line(dc, r->right - 1, r->top, r->right - 1, r->bottom - 1, COLOR_BTNHIGHLIGHT);
  Line(dc, r->right - 1, r->bottom - 1, r->left, r->bottom - 1, COLOR_BTNHIGHLIGHT);
  Line(dc, r->right - 2, r->top + 1, r->right - 2, r->bottom - 2, COLOR_BTNFACE);
  Line(dc, r->right - 2, r->bottom - 2, r->left + 1, r->bottom - 2, COLOR_BTNFACE);
  if (!inner) return;
  Line(dc, r->left + 1, r->bottom - 2, r->left + 1, r->top + 1, COLOR_WINDOWFRAME);
  Line(dc, r->left + 1, r->top + 1, r->right - 2, r->top + 1, COLOR_WINDOWFRAME);
}
}  // namespace

void Draw3dLine(HDC dc, const RECT* rect) { Edges(dc, rect, true); }
void Draw3dBorder(HDC dc, const RECT* rect) { Edges(dc, rect, false); }

void Draw3dFrameAround(HDC dc, HWND parent, HWND control) {
  if (!control) return;
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  InflateRect(&r, 2, 2);
  Draw3dLine(dc, &r);
}

void Draw3dGroupBox(HDC dc, const RECT* rect, int x, int rightLimit, int stringId, bool withLine) {
  if (x > rect->right) return;
  if (withLine) {
    Line(dc, x, rect->top, x, rect->bottom, COLOR_BTNSHADOW);
    Line(dc, x + 1, rect->top, x + 1, rect->bottom, COLOR_WINDOWFRAME);
    Line(dc, x + 2, rect->top, x + 2, rect->bottom, COLOR_BTNHIGHLIGHT);
  }
  RECT text = {x + 4, rect->top, rightLimit, rect->bottom};
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  DrawTextA(dc, loadstr(stringId), -1, &text, DT_SINGLELINE | DT_VCENTER);
}

int TextWidth(HDC dc, const char* text) {
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
  return size.cx;
}
