#include "wrx/tests/wrx_pixels.h"

#include <cstdio>
#include <cstdlib>

namespace wrxtest {

namespace {

uint32_t Crc(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFFu) {
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void Put32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(char((v >> s) & 0xFF));
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, uint32_t(data.size()));
  std::string body(type, 4);
  body += data;
  out += body;
  Put32(out, Crc(reinterpret_cast<const uint8_t*>(body.data()), body.size()) ^ 0xFFFFFFFFu);
}

}  // namespace

int Pixels::CountOther(const RECT& r, uint32_t colour) const {
  int n = 0;
  for (int y = std::max<int>(0, r.top); y < std::min<int>(height, r.bottom); ++y)
    for (int x = std::max<int>(0, r.left); x < std::min<int>(width, r.right); ++x) n += At(x, y) != colour;
  return n;
}

int Pixels::Count(const RECT& r, uint32_t colour) const {
  int n = 0;
  for (int y = std::max<int>(0, r.top); y < std::min<int>(height, r.bottom); ++y)
    for (int x = std::max<int>(0, r.left); x < std::min<int>(width, r.right); ++x) n += At(x, y) == colour;
  return n;
}

Pixels CaptureClient(HWND hwnd) {
  Pixels p;
  RECT rc;
  GetClientRect(hwnd, &rc);
  p.width = rc.right, p.height = rc.bottom;
  if (p.width <= 0 || p.height <= 0) return p;
  HDC window = GetDC(hwnd);
  const int saved = SaveDC(window);
  SetWindowOrgEx(window, 0, 0, nullptr);
  SetViewportOrgEx(window, 0, 0, nullptr);
  SelectClipRgn(window, nullptr);
  HDC mem = CreateCompatibleDC(window);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = p.width;
  bi.bmiHeader.biHeight = -p.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(window, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, p.width, p.height, window, 0, 0, SRCCOPY);
  GdiFlush();
  p.rgb.resize(size_t(p.width) * size_t(p.height));
  const auto* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < p.rgb.size(); ++i) p.rgb[i] = src[i] & 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  RestoreDC(window, saved);
  ReleaseDC(hwnd, window);
  return p;
}

Pixels CaptureScreen(const RECT& r) {
  Pixels p;
  p.width = r.right - r.left, p.height = r.bottom - r.top;
  if (p.width <= 0 || p.height <= 0) return p;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = p.width;
  bi.bmiHeader.biHeight = -p.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, p.width, p.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  p.rgb.resize(size_t(p.width) * size_t(p.height));
  const auto* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < p.rgb.size(); ++i) p.rgb[i] = src[i] & 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return p;
}

bool SavePng(const std::string& path, const Pixels& p) {
  std::string raw;
  for (int y = 0; y < p.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < p.width; ++x) {
      const uint32_t c = p.At(x, y);
      raw.push_back(char((c >> 16) & 0xFF));
      raw.push_back(char((c >> 8) & 0xFF));
      raw.push_back(char(c & 0xFF));
    }
  }
  // Stored deflate blocks: no compression library needed.
  std::string z("\x78\x01", 2);
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + n >= raw.size();
    z.push_back(char(last ? 1 : 0));
    z.push_back(char(n & 0xFF));
    z.push_back(char(n >> 8));
    z.push_back(char(~n & 0xFF));
    z.push_back(char((~n >> 8) & 0xFF));
    z.append(raw, at, n);
    at += n;
    if (last) break;
  }
  Put32(z, (b << 16) | a);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  Put32(header, uint32_t(p.width));
  Put32(header, uint32_t(p.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  return fclose(f) == 0 && ok;
}

std::string ScreenshotPath(const std::string& name) {
  const char* dir = getenv("PELMORA_SCREENSHOTS");
  return (dir && *dir ? std::string(dir) + "\\" : std::string()) + name;
}

}  // namespace wrxtest
