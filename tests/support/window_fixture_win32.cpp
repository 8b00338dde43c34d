#include "tests/support/window_fixture.h"

#include <cstdint>
#include <cstring>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/png.h"

namespace testwin {

void PumpPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool SaveWindowBitmap(HWND window, const std::string& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    // A window drawn into our bitmap does not depend on being on top.
    if (!PrintWindow(window, memory, 0)) BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
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

bool SaveWindowPng(HWND window, const std::string& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint8_t> rgb;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    rgb.resize(static_cast<size_t>(width) * height * 3);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t* from = static_cast<const uint8_t*>(bits) + y * stride + x * 3;
        uint8_t* to = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        to[0] = from[2];  // the bitmap holds blue, green, red
        to[1] = from[1];
        to[2] = from[0];
      }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return !rgb.empty() && testfs::WritePng(path, width, height, rgb);
}

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string ScreenshotDirectory() {
  const char* dir = std::getenv("PELMORA_SCREENSHOTS");
  std::string path = dir && *dir ? dir : ".";
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

namespace {
struct DialogSearch {
  const char* titlePart;
  HWND found;
};
BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  char name[16] = "", title[256] = "";
  if (!GetClassNameA(window, name, sizeof name) || std::strcmp(name, "#32770") != 0) return TRUE;
  GetWindowTextA(window, title, sizeof title);
  if (search->titlePart && !std::strstr(title, search->titlePart)) return TRUE;
  search->found = window;
  return FALSE;
}
}  // namespace

HWND FindThreadDialog(const char* titlePart) {
  DialogSearch search{titlePart, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace testwin
