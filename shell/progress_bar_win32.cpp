// The progress bar control "stext": range in window word 0, position in word 2.
#include <windows.h>

#include "shell/progress_bar.h"
#include "shell/progress_bar_model.h"

namespace {

int Word(HWND window, int offset) { return static_cast<short>(GetWindowWord(window, offset)); }

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT r;
  GetClientRect(window, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  RECT inner = {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
  int width = inner.right - inner.left, height = inner.bottom - inner.top;
  int filled = ProgressFillWidth(width, Word(window, 2), Word(window, 0));
  ProgressBlock blocks[512];
  int n = ProgressBlocks(filled, height, blocks, 512);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 127));
  for (int i = 0; i < n; ++i) {
    RECT block = {inner.left + blocks[i].left, inner.top, inner.left + blocks[i].right, inner.bottom};
    FillRect(dc, &block, blue);
  }
  DeleteObject(blue);
  EndPaint(window, &paint);
}

void Store(HWND window, int offset, int value) {
  if (value < 0) value = 0;
  if (value > 32767) value = 32767;
  SetWindowWord(window, offset, static_cast<WORD>(value));
  InvalidateRect(window, nullptr, TRUE);
}

LRESULT CALLBACK ProgressBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetWindowWord(window, 0, 100);
      SetWindowWord(window, 2, 0);
      return 0;
    case PROGRESS_SET_RANGE: Store(window, 0, static_cast<int>(wParam)); return 0;
    case PROGRESS_SET_POSITION: Store(window, 2, static_cast<int>(wParam)); return 0;
    case PROGRESS_ADVANCE: Store(window, 2, Word(window, 2) + static_cast<int>(wParam)); return 0;
    case WM_PAINT: Paint(window); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterProgressBar(HINSTANCE instance) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, "stext", &existing)) return true;
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_GLOBALCLASS;
  wc.lpfnWndProc = ProgressBarProc;
  wc.cbWndExtra = 4;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(19));
  wc.lpszClassName = "stext";
  return RegisterClassA(&wc) != 0;
}
