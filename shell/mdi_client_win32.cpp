// The MDI client's subclass, the default child procedure and what the frame
// does to all children alike.
#include "core/appstate.h"
#include "core/resstr.h"
#include "core/user_settings.h"
#include "shell/commands.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"

namespace {

LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!g_shell.mdiClientPrevProc) return DefWindowProcA(window, message, wParam, lParam);
  return CallWindowProcA(g_shell.mdiClientPrevProc, window, message, wParam, lParam);
}

LRESULT OnMdiCreate(HWND window, WPARAM wParam, LPARAM lParam) {
  auto* create = reinterpret_cast<MDICREATESTRUCTA*>(lParam);
  if (create && create->style == 0) {
    create->style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW;
    HWND first = GetWindow(window, GW_CHILD);
    if (first && IsZoomed(first)) create->style |= WS_MAXIMIZE;
  }
  g_shell.childBeingCreated = true;
  g_shell.menuChangeRequested = false;
  LRESULT result = CallPrevious(window, WM_MDICREATE, wParam, lParam);
  g_shell.childBeingCreated = false;
  if (g_shell.menuChangeRequested) LoadMainMenu();
  return result;
}

LRESULT OnMdiDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  ShowWindow(reinterpret_cast<HWND>(wParam), SW_HIDE);
  LRESULT result = CallPrevious(window, WM_MDIDESTROY, wParam, lParam);
  LoadMainMenu();
  return result;
}

LRESULT MdiClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (LOWORD(lParam) != HTCLIENT) break;
      RestoreCursor();
      return 1;
    case WM_DESTROY: g_shell.mdiClient = nullptr; return 0;
    case WM_RBUTTONUP: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      g_shellHooks.showMvwMenu(window, point);
      return 0;
    }
    case WM_MDICREATE: return OnMdiCreate(window, wParam, lParam);
    case WM_MDIDESTROY: return OnMdiDestroy(window, wParam, lParam);
  }
  return CallPrevious(window, message, wParam, lParam);
}

// Windows with an owner among the client's children are icon titles.
HWND FirstUnownedChild(HWND after) {
  HWND child = after ? GetWindow(after, GW_HWNDNEXT) : GetWindow(g_shell.mdiClient, GW_CHILD);
  while (child && GetWindow(child, GW_OWNER)) child = GetWindow(child, GW_HWNDNEXT);
  return child;
}

}  // namespace

LRESULT CALLBACK MdiClientSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<MdiClientProc>(window, message, wParam, lParam);
}

LRESULT DefChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MDIACTIVATE) LoadMainMenu();
  return DefMDIChildProcA(window, message, wParam, lParam);
}

void CloseAllChildren() {
  if (!g_shell.mdiClient) return;
  // A child that will not go would keep this going for ever: stop when the
  // first child stays the same after its close.
  HWND last = nullptr;
  while (g_shell.mdiClient) {
    HWND child = FirstUnownedChild(nullptr);
    if (!child || child == last) break;
    last = child;
    SendMessageA(child, WM_CLOSE, 0, 0);
    if (IsWindow(child)) break;
  }
}

int QueryCloseChildren() {
  if (!g_shell.mdiClient) return 1;
  for (HWND child = FirstUnownedChild(nullptr); child; child = FirstUnownedChild(child))
    if (!SendMessageA(child, WM_QUERYENDSESSION, 0, 0)) return 0;
  return 1;
}

void LayoutFrameBars() {
  if (!g_shell.frame) return;
  RECT client;
  GetClientRect(g_shell.frame, &client);
  if (g_shell.toolbar) {
    if (g_shell.toolbarShown) {
      InvalidateRect(g_shell.toolbar, nullptr, TRUE);
      BringWindowToTop(g_shell.toolbar);
    } else {
      g_shell.toolbarHeight = g_shell.toolbarWidth = 0;
    }
    ShowWindow(g_shell.toolbar, g_shell.toolbarShown ? SW_SHOWNORMAL : SW_HIDE);
    g_shellHooks.layoutToolbar();
  }
  if (!g_shell.statusBar) return;
  if (g_user.statusBar) {
    int height = StatusBarHeight();
    MoveWindow(g_shell.statusBar, 0, client.bottom - height, client.right, height, TRUE);
  } else {
    MoveWindow(g_shell.statusBar, 0, 0, 0, 0, TRUE);
  }
}
