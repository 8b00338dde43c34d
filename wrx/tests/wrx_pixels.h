// Pixels of windows for the painting tests: the client area captured by
// BitBlt, a reference drawn with plain GDI, and PNG files of either.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wrxtest {

struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB, top-down
  uint32_t At(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
  // Pixels of a rectangle (right and bottom excluded) that are not `colour`.
  int CountOther(const RECT& r, uint32_t colour) const;
  int Count(const RECT& r, uint32_t colour) const;
};

// The client area of a window as it is on the screen.
Pixels CaptureClient(HWND hwnd);
// A rectangle of the screen (for another process's windows).
Pixels CaptureScreen(const RECT& r);
// Saves as PNG (8-bit RGB); returns false when the file cannot be written.
bool SavePng(const std::string& path, const Pixels& p);
// Where screenshots go: $PELMORA_SCREENSHOTS, else the working directory.
std::string ScreenshotPath(const std::string& name);

}  // namespace wrxtest
