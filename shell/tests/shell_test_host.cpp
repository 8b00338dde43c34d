#include "shell/tests/shell_test_host.h"

#include <cstdio>

#include "core/appstate.h"
#include "shell/commands.h"
#include "shell/shell_state.h"
#include "shell/toolbar.h"

namespace {

LRESULT CALLBACK TestFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      FrameCommandsSeen().push_back(LOWORD(wParam));
      FrameCommand(LOWORD(wParam), lParam);
      return 0;
    case WM_SIZE:
      if (g_shell.toolbar) MoveToolbar(0, 0, LOWORD(lParam), ToolbarThickness());
      if (g_shell.mdiClient)
        MoveWindow(g_shell.mdiClient, 0, ToolbarThickness(), LOWORD(lParam), HIWORD(lParam) - ToolbarThickness(), TRUE);
      return 0;
    case WM_CLOSE: return 0;  // the tests end the frame themselves
  }
  return DefFrameProcA(window, g_shell.mdiClient, message, wParam, lParam);
}

}  // namespace

std::vector<int>& FrameCommandsSeen() {
  static std::vector<int> seen;
  return seen;
}

void CreateTestFrame() {
  g_app.instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = TestFrameProc;
  wc.hInstance = g_app.instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = "PelmoraTestFrame";
  RegisterClassA(&wc);
  g_shell.frame = CreateWindowExA(0, "PelmoraTestFrame", "Pelmora", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 760,
                                  300, nullptr, nullptr, g_app.instance, nullptr);
  CLIENTCREATESTRUCT client{};
  client.idFirstChild = 7100;
  g_shell.mdiClient = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE,
                                      0, 0, 0, 0, g_shell.frame, nullptr, g_app.instance, &client);
  g_app.mainWindow = g_shell.frame;
  ShowWindow(g_shell.frame, SW_SHOW);
  SetForegroundWindow(g_shell.frame);
  SetFocus(g_shell.frame);
  PumpTestMessages();
}

void DestroyTestFrame() {
  if (g_shell.toolbar) DestroyWindow(g_shell.toolbar);
  FreeToolbar();
  if (g_shell.frame) {
    SetMenu(g_shell.frame, nullptr);
    DestroyWindow(g_shell.frame);
  }
  g_shell = ShellWindows{};
  PumpTestMessages();
}

void PumpTestMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    CheckToolTipMessage(&msg);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
