// A trivial windowed program: one window with an edit field that takes the
// focus (which brings up the input method, the first call that waited on a
// missing service), painted once; its title then names the process, so the
// starter knows the window is up.
#include <windows.h>

#include <cstdio>

namespace {

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_WINDOW));
  EndPaint(window, &ps);
  char title[64];
  std::snprintf(title, sizeof title, "wine start %lu", GetCurrentProcessId());
  SetWindowTextA(window, title);
}

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnPaint(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ChildProc;
  wc.hInstance = instance;
  wc.lpszClassName = "PelmoraWineStart";
  if (!RegisterClassA(&wc)) return 1;
  HWND window =
      CreateWindowA("PelmoraWineStart", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 120, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  HWND edit =
      CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 150, 24, window, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  SetFocus(edit);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
