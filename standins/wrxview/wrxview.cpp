// wrxview.exe: a small host window for the rich-text control, for tests and
// benchmarks. It shows the document it is given in one control filling its
// client area, read-only with the message view's keys unless "--edit".
//   wrxview [--edit] [--nowrap] [--size WxH] file
#include "wrx/wrx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND g_control = nullptr;

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      if (g_control) MoveWindow(g_control, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (g_control) SetFocus(g_control);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

int Fail(const char* text) {
  fprintf(stderr, "wrxview: %s\n", text);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool edit = false, wrap = true;
  int width = 640, height = 480;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--edit"))
      edit = true;
    else if (!strcmp(argv[i], "--nowrap"))
      wrap = false;
    else if (!strcmp(argv[i], "--size") && i + 1 < argc)
      sscanf(argv[++i], "%dx%d", &width, &height);
    else
      file = argv[i];
  }
  if (!file) return Fail("usage: wrxview [--edit] [--nowrap] [--size WxH] file");
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWrxClass(instance)) return Fail("cannot register the control");
  WNDCLASSA wc{};
  wc.lpfnWndProc = ViewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = "WrxView";
  RegisterClassA(&wc);
  HWND frame = CreateWindowExA(0, "WrxView", file, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr, instance,
                               nullptr);
  if (!frame) return Fail("cannot create the window");
  RECT client;
  GetClientRect(frame, &client);
  WrxArgList a;
  memset(&a, 0, sizeof a);
  a.width = client.right, a.height = client.bottom;
  a.wordWrap = wrap;
  a.vScroll = 1;
  a.readOnly = !edit;
  a.initialLine = 1;
  a.inputKind = 'F';
  snprintf(a.fileName, sizeof a.fileName, "%s", file);
  a.lineDelimiter = 13;
  a.saveType = 4;
  a.instance = instance;
  a.parent = frame;
  a.style = WS_CHILD | WS_VSCROLL | WRX_VSCROLL | (wrap ? WRX_WORDWRAP : 0) | (edit ? 0 : WRX_READONLY);
  strcpy(a.typeface, "Arial");
  a.pointSize = 12;
  g_control = CreateWrxWindow(&a);
  if (!g_control) return Fail("cannot open the document");
  if (!edit) WrxSetHostData(g_control, LoadAcceleratorsA(instance, "ViewAcc"));
  ShowWindow(frame, SW_SHOW);
  SetFocus(g_control);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}
