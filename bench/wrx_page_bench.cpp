// Pages down (command 601) through a 20 MB word-wrap document in two fonts (every
// third paragraph in the second) in
// a visible 1000x800 window, and in the same run draws the same rows with one
// plain ExtTextOut each. Prints the first and last pages' times and the ratio.
#include "wrx/wrx.h"
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "bench/bench_clock.h"

namespace {}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? atol(argv[1]) : 20;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWrxClass(instance);
  SetWrxSharedFlags(WRXF_SILENT);
  std::string text;
  const char* words[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"};
  for (unsigned k = 0; text.size() < size_t(megabytes) * 1024 * 1024; ++k) {
    for (int n = 0; n < 14; ++n) (text += words[(k + n * 3) % 8]) += ' ';
    text += "\r\n";
  }
  WrxArgList a{};
  a.width = 1000, a.height = 800;
  a.wordWrap = 1;
  a.initialLine = 1;
  a.inputKind = 'B';
  a.lineDelimiter = 13;
  a.saveType = 4;
  a.instance = instance;
  a.style = WS_POPUP | WS_VISIBLE | WRX_WORDWRAP;
  strcpy(a.typeface, "Arial");
  a.pointSize = 12;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(h), text.data(), text.size());
  GlobalUnlock(h);
  a.bufferHandle = h;
  a.bufferSize = int32_t(text.size());
  HWND hwnd = CreateWrxWindow(&a);
  if (!hwnd) return fprintf(stderr, "no window\n"), 1;
  WrxWindow* w = GetWrxWindow(hwnd);
  // The second font: every third paragraph in bold Times.
  const int bold = SetWrxFont(hwnd, -1, 0, "Times New Roman", 14, 2, 0, 0xFFFFFF, 0, 0);
  for (int32_t line = 0; line < w->lineCount; line += 3) {
    uint8_t* ids = OpenFontCodes(w, line);
    if (!ids) continue;
    memset(ids, bold, size_t(w->lines[line]->length));
    CloseFontCodes(w, line);
  }
  WrxRefreshWindow(hwnd, 1);
  const int pages = argc > 2 ? atoi(argv[2]) : 400;
  std::vector<double> times;
  double plainTotal = 0;
  HDC dc = GetDC(hwnd);
  long checked = 0;
  for (int p = 0; p < pages; ++p) {
    const int32_t before = w->firstLine;
    const double t0 = Now();
    SendMessageA(hwnd, WM_COMMAND, 601, 0);
    GdiFlush();
    times.push_back(Now() - t0);
    if (w->firstLine <= before) break;
    // The same rows, one ExtTextOut each, in font 0.
    const double t1 = Now();
    SelectObject(dc, w->fonts[0].font);
    int32_t y = 0;
    for (int32_t line = w->firstLine; line < w->lineCount && y < 800; ++line) {
      ExtTextOutA(dc, 0, y, ETO_OPAQUE, nullptr, w->lines[line]->text, UINT(w->lines[line]->length), nullptr);
      y += GetLineHeight(w, line);
      ++checked;
    }
    GdiFlush();
    plainTotal += Now() - t1;
  }
  // Painting alone: the last page drawn again, its rows already wrapped.
  const int repaints = 200;
  const double t2 = Now();
  for (int k = 0; k < repaints; ++k) {
    w->paintScope = 3;
    PaintWrx(w);
    GdiFlush();
  }
  const double repaint = (Now() - t2) / repaints;
  // Where a repaint's time goes: drawing the rows alone, against the same
  // rows drawn plainly; the rest is the rewrap of the rows a paint lays out.
  double drawRows = Now();
  for (int k = 0; k < repaints; ++k) {
    DrawScreenRows(w, 0, 99);
    GdiFlush();
  }
  drawRows = (Now() - drawRows) / repaints;
  ReleaseDC(hwnd, dc);
  const size_t n = times.size();
  const size_t tenth = std::max<size_t>(1, n / 10);
  double first = 0, last = 0, total = 0;
  for (size_t k = 0; k < tenth; ++k) first += times[k], last += times[n - 1 - k];
  for (double t : times) total += t;
  printf("lines %d, pages %zu, rows drawn plainly %ld\n", w->lineCount, n, checked);
  printf("page down: %.3f ms per page (first tenth %.3f ms, last tenth %.3f ms)\n", 1000 * total / double(n),
         1000 * first / double(tenth), 1000 * last / double(tenth));
  printf("plain ExtTextOut of the same rows: %.3f ms per page\n", 1000 * plainTotal / double(n));
  printf("repainting a page alone: %.3f ms (ratio to plain %.2f); drawing its rows: %.3f ms (ratio %.2f)\n",
         1000 * repaint, repaint / std::max(plainTotal / double(n), 1e-9), 1000 * drawRows,
         drawRows / std::max(plainTotal / double(n), 1e-9));
  printf("ratio page down / plain: %.2f; last / first: %.2f\n", total / std::max(plainTotal, 1e-9),
         last / std::max(first, 1e-9));
  DestroyWindow(hwnd);
  return 0;
}
