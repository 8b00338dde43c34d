// Saves what the screen shows of a window, children included, as a 24-bit
// BMP in the shared screenshot directory. The shared fixture prints the
// window itself, which under Wine leaves out its child windows; the browser's
// windows are mostly children, so their pictures are read off the screen.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/window_fixture.h"

namespace browsertest {

inline bool SaveScreenArea(HWND window, const std::string& name) {
  SetForegroundWindow(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // Let the display catch up with the window before reading it back.
  for (int i = 0; i < 20; ++i) {
    testwin::PumpPending();
    Sleep(10);
  }
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const DWORD imageSize = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    const std::string path = testwin::ScreenshotDirectory() + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    ok = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
         std::fwrite(bits, 1, imageSize, out) == imageSize;
    if (out && std::fclose(out) != 0) ok = false;
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace browsertest
