// The 18 state icons of the thread list, drawn here as 8 x 8 pixel maps and
// turned into bitmaps when the browser opens: stretched to the row's size,
// with magenta ('.') showing the row's background.
#include <windows.h>

#include <cstring>

#include "browser/thread_list.h"
#include "core/user_settings.h"

namespace {

struct PixelMap {
  const char* name;
  const char* rows[8];
};

// k black, w white, r red, g green, b blue, y yellow, o orange, a grey.
const PixelMap kMaps[kStateIconCount] = {
    {"folder", {"........", ".yyy....", "yyyyyyyy", "yooooooy", "yooooooy", "yooooooy", "yyyyyyyy", "........"}},
    {"openfold", {"........", ".yyy....", "yyyyyyy.", "yo......", "yoyyyyyy", "yyoooooy", "yyyyyyy.", "........"}},
    {"down", {"...bb...", "...bb...", "...bb...", "...bb...", ".bbbbbb.", "..bbbb..", "...bb...", "........"}},
    {"header", {"........", "kkkkkkkk", "k......k", "kkkkkkkk", "........", "........", "........", "........"}},
    {"unread", {"........", "..gggg..", ".gggggg.", ".gggggg.", ".gggggg.", ".gggggg.", "..gggg..", "........"}},
    {"keep", {"........", ".bbbbbb.", ".bbbbbb.", ".bb..bb.", ".bb..bb.", ".bbbbbb.", ".bbbbbb.", "........"}},
    {"pdelete", {"........", ".rr..rr.", "..rrrr..", "...rr...", "..rrrr..", ".rr..rr.", "........", "........"}},
    {"mark", {"..rrrr..", "..rrrr..", "..rrrr..", "..rrrr..", "..rrrr..", "..r..r..", "..r..r..", "........"}},
    {"ghost", {"..aaaa..", ".aaaaaa.", ".akaaka.", ".aaaaaa.", ".aaaaaa.", ".aaaaaa.", ".a.aa.a.", "........"}},
    {"withdraw", {"........", "rrrrrrrr", "r......r", "r.rrrr.r", "r......r", "rrrrrrrr", "........", "........"}},
    {"unreadt", {"........", "..gggg..", ".g....g.", ".g....g.", ".g....g.", ".g....g.", "..gggg..", "........"}},
    {"filedown", {".kkkkk..", ".kwwwkk.", ".kwwwwk.", ".kwgwwk.", ".kgggwk.", ".kwgwwk.", ".kkkkkk.", "........"}},
    {"keept", {"........", ".bbbbbb.", ".b....b.", ".b....b.", ".b....b.", ".b....b.", ".bbbbbb.", "........"}},
    {"deletet", {"........", ".r....r.", "..r..r..", "...rr...", "..r..r..", ".r....r.", "........", "........"}},
    {"keepdelt", {"........", ".bbb.r.r", ".b.b..r.", ".bbb.r.r", "........", "........", "........", "........"}},
    {"download", {".kkkkk..", ".kwwwkk.", ".kwbwwk.", ".kwbwwk.", ".kbbbwk.", ".kwbwwk.", ".kkkkkk.", "........"}},
    {"readlock", {"...kk...", "..k..k..", "..k..k..", ".oooooo.", ".oooooo.", ".oookoo.", ".oooooo.", "........"}},
    {"readlockt", {"...kk...", "..k..k..", "..k..k..", ".oooooo.", ".o....o.", ".o..k.o.", ".oooooo.", "........"}},
};

COLORREF ColourOf(char c, COLORREF background) {
  switch (c) {
    case 'k': return RGB(0, 0, 0);
    case 'w': return RGB(255, 255, 255);
    case 'r': return RGB(200, 0, 0);
    case 'g': return RGB(0, 160, 0);
    case 'b': return RGB(0, 0, 200);
    case 'y': return RGB(230, 200, 0);
    case 'o': return RGB(240, 150, 40);
    case 'a': return RGB(150, 150, 150);
    default: return background;
  }
}

HBITMAP g_icons[2][kStateIconCount];

COLORREF Background(int entry, int fallback) {
  return g_fonts[entry].face[0] ? g_fonts[entry].backColour : GetSysColor(fallback);
}

HBITMAP MakeIcon(HDC screen, const PixelMap& map, int width, int height, COLORREF background) {
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SetPixel(dc, x, y, ColourOf(map.rows[y * 8 / height][x * 8 / width], background));
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

}  // namespace

void FreeStateIcons() {
  for (auto& variant : g_icons)
    for (HBITMAP& b : variant) {
      if (b) DeleteObject(b);
      b = nullptr;
    }
}

void LoadStateIcons() {
  FreeStateIcons();
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = g_browser.threadFont ? SelectObject(screen, g_browser.threadFont) : nullptr;
  TEXTMETRICA tm;
  GetTextMetricsA(screen, &tm);
  if (old) SelectObject(screen, old);
  int width = tm.tmAveCharWidth * 2;
  if (width < 16) width = 16;
  int height = tm.tmHeight + tm.tmExternalLeading;
  if (height < 8) height = 8;
  const COLORREF backgrounds[2] = {Background(0, COLOR_WINDOW), Background(4, COLOR_HIGHLIGHT)};
  for (int v = 0; v < 2; ++v)
    for (int i = 0; i < kStateIconCount; ++i) g_icons[v][i] = MakeIcon(screen, kMaps[i], width, height, backgrounds[v]);
  ReleaseDC(nullptr, screen);
}

HBITMAP StateIconBitmap(int icon, bool selected) {
  if (icon < 0 || icon >= kStateIconCount) return nullptr;
  return g_icons[selected ? 1 : 0][icon];
}
