// Repaints a toolbar of 100 buttons (glyphs cached, one in three disabled)
// and copies the same area from one ready bitmap with BitBlt, in the same run,
// and prints the ratio (the goal: within 3x, and under 16 ms a repaint).
#include <windows.h>

#include <cstdio>

#include "core/appstate.h"
#include "shell/shell_state.h"
#include "shell/toolbar.h"
#include "bench/bench_clock.h"

namespace {

// The 100 buttons: every glyph-table id in turn, no separators.
void FillButtons() {
  int ids[400];
  int n = ToolbarGlyphIds(ids, 400);
  int used = 0;
  for (int i = 0; used < 100; i = (i + 1) % n)
    if (ids[i] != TOOLBAR_SEPARATOR) g_toolbarButtons[used++] = ids[i];
  g_toolbarButtons[used] = 0;
}

// The colour of a pixel of the painted toolbar, to check both ways agree.
bool SameImage(HDC a, HDC b, int width, int height) {
  for (int y = 0; y < height; y += 3)
    for (int x = 0; x < width; x += 7)
      if (GetPixel(a, x, y) != GetPixel(b, x, y)) return false;
  return true;
}

}  // namespace

int main() {
  g_app.instance = GetModuleHandleA(nullptr);
  g_app.dataDir[0] = 0;
  LoadToolbarSettings("bench");
  FillButtons();
  LayoutToolbar();
  for (int i = 0; g_toolbarRows[i].id; ++i) g_toolbarRows[i].enabled = i % 3 != 0;
  const int width = 100 * 24 + 8, height = 29;

  HDC screen = GetDC(nullptr);
  HDC painted = CreateCompatibleDC(screen), cached = CreateCompatibleDC(screen), target = CreateCompatibleDC(screen);
  HBITMAP paintedBitmap = CreateCompatibleBitmap(screen, width, height);
  HBITMAP cachedBitmap = CreateCompatibleBitmap(screen, width, height);
  HBITMAP targetBitmap = CreateCompatibleBitmap(screen, width, height);
  SelectObject(painted, paintedBitmap);
  SelectObject(cached, cachedBitmap);
  SelectObject(target, targetBitmap);
  PaintToolbar(cached, width, height);  // also fills the glyph cache
  BitBlt(target, 0, 0, width, height, cached, 0, 0, SRCCOPY);

  const int rounds = 200;
  double start = Now();
  for (int i = 0; i < rounds; ++i) PaintToolbar(target, width, height);
  GdiFlush();
  double repaint = (Now() - start) / rounds;
  start = Now();
  for (int i = 0; i < rounds; ++i) BitBlt(target, 0, 0, width, height, cached, 0, 0, SRCCOPY);
  GdiFlush();
  double copy = (Now() - start) / rounds;

  // A repaint after a change of state composes the picture again.
  start = Now();
  for (int i = 0; i < rounds; ++i) {
    g_toolbarRows[0].enabled = i % 2;
    PaintToolbar(painted, width, height);
  }
  GdiFlush();
  double recompose = (Now() - start) / rounds;
  g_toolbarRows[0].enabled = 0;
  PaintToolbar(painted, width, height);
  BitBlt(target, 0, 0, width, height, cached, 0, 0, SRCCOPY);

  bool same = SameImage(painted, cached, width, height);
  std::printf("toolbar repaint, 100 buttons   %8.3f ms\n", repaint * 1000);
  std::printf("copy of the cached bitmap      %8.3f ms\n", copy * 1000);
  std::printf("repaint after a change of state  %8.3f ms\n", recompose * 1000);
  std::printf("ratio %.2f (goal: within 3x and under 16 ms); images %s\n", copy > 0 ? repaint / copy : 0.0,
              same ? "agree" : "DIFFER");
  ReleaseDC(nullptr, screen);
  return same ? 0 : 1;
}
