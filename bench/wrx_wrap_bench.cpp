// Wraps a 5 MB document (ordinary paragraphs and one 50,000-character
// paragraph without a space) at a fixed width with real fonts, and maps a
// million positions to pixels and back, beside a plain memchr line split of
// the same text in the same run.
#include "wrx/wrx.h"
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(f.QuadPart);
}

template <typename F>
double Best(F&& run) {
  double fastest = 1e9;
  for (int i = 0; i < 3; ++i) {
    const double t0 = Now();
    run();
    fastest = std::min(fastest, Now() - t0);
  }
  return fastest;
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWrxClass(instance);
  SetWrxSharedFlags(WRXF_SILENT);
  std::string text;
  const char* words[] = {"message ", "conference ", "topic ", "reply ", "the ", "of ", "offline ", "reader "};
  std::mt19937 rng(7);
  while (text.size() < (5u << 20)) {
    const int n = 20 + int(rng() % 120);
    for (int k = 0; k < n; ++k) text += words[rng() % 8];
    text += "\r\n";
    if (text.size() > (2u << 20) && text.size() < (2u << 20) + 2000) text += std::string(50000, 'x') + "\r\n";
  }
  const double mb = double(text.size()) / (1 << 20);

  size_t lines = 0;
  const double split = Best([&] {
    lines = 0;
    for (const char* p = text.data(); (p = static_cast<const char*>(memchr(p, '\n', text.data() + text.size() - p)));
         ++p)
      ++lines;
  });

  WrxArgList a{};
  a.width = 640, a.height = 480, a.initialLine = 1, a.inputKind = 'B', a.lineDelimiter = 13, a.saveType = 4;
  a.wordWrap = 1;
  a.instance = instance;
  a.style = WRX_HIDDEN | WRX_WORDWRAP;
  strcpy(a.typeface, "Arial");
  a.pointSize = 10;
  HWND hwnd = CreateWrxWindow(&a);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size());
  memcpy(GlobalLock(h), text.data(), text.size());
  GlobalUnlock(h);
  SetWrxBuffer(hwnd, h, long(text.size()), nullptr, 0);
  GlobalFree(h);
  WrxWindow* w = GetWrxWindow(hwnd);
  w->textRect = RECT{0, 0, 600, 400};
  const double wrap = Best([&] { WrxRewrap(hwnd); });
  std::printf("document: %.1f MB, %zu text lines, %d wrapped lines\n", mb, lines, int(w->lineCount));
  std::printf("memchr line split   %8.1f MB/s\n", mb / split);
  std::printf("word wrap           %8.1f MB/s   ratio %6.2f\n", mb / wrap, wrap / split);

  std::vector<std::pair<int32_t, int32_t>> positions(1000000);
  for (auto& p : positions) {
    p.first = int32_t(rng() % uint32_t(w->lineCount));
    p.second = int32_t(rng() % uint32_t(std::max(1, w->lines[p.first]->length)));
  }
  int32_t mismatches = 0;
  const double t0 = Now();
  for (const auto& p : positions) {
    const int32_t x = GetColumnX(w, p.second, p.first, 0);
    mismatches += XToColumn(w, x, p.first) != p.second;
  }
  const double mapping = Now() - t0;
  std::printf("1,000,000 positions to pixels and back: %.3f s (%.0f ns each), %d mismatches\n", mapping,
              mapping * 1e3, int(mismatches));
  SetWrxModify(hwnd, 0);
  CloseWrx(hwnd, 0);
  return 0;
}
