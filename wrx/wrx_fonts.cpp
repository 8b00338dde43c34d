// The font table of a control window, the process-wide cache of GDI fonts,
// per-line font ids, and the host calls that set fonts and character styles.
#include "wrx/wrx_block.h"
#include "wrx/wrx_styles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kCacheSize = 500;

struct FontCacheEntry {
  int32_t uses;
  HFONT font;
  LOGFONTA lf;
};

FontCacheEntry* g_cache = nullptr;
int g_cacheCount = 0;  // entries ever used

bool SameLogFont(const LOGFONTA& a, const LOGFONTA& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
         a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
         a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
         a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision && a.lfQuality == b.lfQuality &&
         a.lfPitchAndFamily == b.lfPitchAndFamily && lstrcmpiA(a.lfFaceName, b.lfFaceName) == 0;
}

bool SameAttributes(const WrxFont& f, const char* face, int size, DWORD style, COLORREF text, COLORREF back, int kind) {
  return strncmp(f.face, face, 31) == 0 && f.pointSize == size && f.style == style && f.textColor == text &&
         f.backColor == back && f.kind == kind;
}

void CopyFace(char* dest, const char* face) {
  // The last byte of the face is the pitch-and-family byte: keep it.
  const char pitch = dest[31];
  strncpy(dest, face ? face : "", 31);
  dest[31] = pitch;
}

void MarkChanged(WrxWindow* w) {
  w->paintScope = 0;  // whole window
  w->staleLine = 0;
}

}  // namespace

int GetFontCache(const LOGFONTA* lf) {
  if (!g_cache) {
    g_cache = static_cast<FontCacheEntry*>(OurAlloc(long(sizeof(FontCacheEntry)) * kCacheSize));
    if (!g_cache) return -1;
  }
  int freeSlot = -1;
  for (int i = 0; i < g_cacheCount; ++i) {
    if (g_cache[i].font && SameLogFont(g_cache[i].lf, *lf)) {
      ++g_cache[i].uses;
      return i;
    }
    if (!g_cache[i].font && freeSlot < 0) freeSlot = i;
  }
  if (freeSlot < 0) {
    if (g_cacheCount >= kCacheSize) return -1;
    freeSlot = g_cacheCount++;
  }
  HFONT font = CreateFontIndirectA(lf);
  if (!font) return -1;
  g_cache[freeSlot].font = font;
  g_cache[freeSlot].lf = *lf;
  g_cache[freeSlot].uses = 1;
  return freeSlot;
}

void PurgeFontCache() {
  if (!g_cache) return;
  for (int i = 0; i < g_cacheCount; ++i)
    if (g_cache[i].font && g_cache[i].uses <= 0) {
      DeleteObject(g_cache[i].font);
      g_cache[i].font = nullptr;
      g_cache[i].uses = 0;
    }
}

void ReleaseFontCache() {
  if (!g_cache) return;
  for (int i = 0; i < g_cacheCount; ++i)
    if (g_cache[i].font) DeleteObject(g_cache[i].font);
  OurFree(g_cache);
  g_cache = nullptr;
  g_cacheCount = 0;
}

int FontCacheUseCount(int index) {
  return g_cache && index >= 0 && index < g_cacheCount && g_cache[index].font ? g_cache[index].uses : 0;
}

int FontCacheEntries() {
  int n = 0;
  for (int i = 0; g_cache && i < g_cacheCount; ++i) n += g_cache[i].font != nullptr;
  return n;
}

void ReleaseFontHandle(WrxWindow* w, int id) {
  WrxFont& f = w->fonts[id];
  if (!f.font) return;
  if (w->dc) SelectObject(w->dc, GetStockObject(SYSTEM_FONT));
  if (f.cacheIndex >= 0) {
    if (g_cache && f.cacheIndex < g_cacheCount) --g_cache[f.cacheIndex].uses;
  } else {
    DeleteObject(f.font);
  }
  f.font = nullptr;
  f.cacheIndex = -1;
}

void InitFontEntry(WrxWindow* w, int id) {
  WrxFont& f = w->fonts[id];
  int32_t* widths = f.widths;
  char pitch = f.face[31];
  memset(&f, 0, sizeof f);
  f.widths = widths;
  f.face[31] = pitch;
  f.cacheIndex = -1;
  f.attribute = 1;
  f.backColor = w->backColor;
}

void FreeFontEntry(WrxWindow* w, int id) {
  ReleaseFontHandle(w, id);
  if (w->fonts[id].pict && w->fonts[id].pict->control && IsWindow(w->fonts[id].pict->control))
    DestroyWindow(w->fonts[id].pict->control);
  delete w->fonts[id].pict;
  w->fonts[id].pict = nullptr;
  w->fonts[id].inUse = 0;
}

int ExpandFontTable(WrxWindow* w, int32_t count) {
  if (count > WRX_MAXFONTS) count = WRX_MAXFONTS;
  if (count <= w->fontCapacity) return 1;
  void* table = w->fonts;
  if (!ExpandTable(sizeof(WrxFont), &table, &w->fontCapacity, count, WRX_MAXFONTS)) return 0;
  w->fonts = static_cast<WrxFont*>(table);
  return 1;
}

int ExpandFontCodes(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  if (!IsSharedIds(l)) return 1;
  uint8_t* ids = static_cast<uint8_t*>(sAlloc(l->length + 2));
  if (!ids) return 0;
  memset(ids, SharedId(l), size_t(l->length) + 2);
  l->fontIds = reinterpret_cast<uintptr_t>(ids);
  return 1;
}

uint8_t* OpenFontCodes(WrxWindow* w, int32_t line) {
  return ExpandFontCodes(w, line) ? IdArray(w->lines[line]) : nullptr;
}

void CloseFontCodes(WrxWindow* w, int32_t line) { CompactFontCodes(w, line); }

void CompactFontCodes(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  if (IsSharedIds(l)) return;
  uint8_t* ids = IdArray(l);
  if (w->arg.wordWrap) {
    if (l->length == 0) {
      free(ids);
      l->fontIds = MakeSharedIds(0);
      return;
    }
    if (l->info || (l->flags & LF_MARKED)) return;
  } else if (l->length > 0 && memchr(l->text, WRX_TAB, size_t(l->length))) {
    return;
  }
  for (int32_t i = 1; i < l->length; ++i)
    if (ids[i] != ids[0]) return;
  uint8_t id = l->length ? ids[0] : 0;
  free(ids);
  l->fontIds = MakeSharedIds(id);
}

int GetCharFont(WrxWindow* w, int32_t line, int32_t col) {
  if (line < 0 || line >= w->lineCount) return 0;
  const WrxLine* l = w->lines[line];
  if (col < 0 || col >= l->length) return IsSharedIds(l) ? SharedId(l) : (l->length ? IdArray(l)[l->length - 1] : 0);
  int id = IsSharedIds(l) ? SharedId(l) : IdArray(l)[col];
  return id < w->fontCount ? id : 0;
}

int MeasureCharWidths(WrxWindow* w, HDC dc, int id, int forScreen) {
  WrxFont& f = w->fonts[id];
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  const bool raster = GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY;
  if (!raster || (tm.tmPitchAndFamily & TMPF_TRUETYPE)) {
    INT widths[256];
    if (!GetCharWidthA(dc, 0, 255, widths)) return 0;
    for (int c = 0; c < 256; ++c) f.widths[c] = widths[c] - tm.tmOverhang;
  } else {
    char ten[10];
    for (int c = 1; c < 256; ++c) {
      memset(ten, c, sizeof ten);
      SIZE s;
      GetTextExtentPoint32A(dc, ten, 10, &s);
      f.widths[c] = (s.cx - tm.tmOverhang + 5) / 10;
    }
    f.widths[0] = 0;
  }
  f.widths[w->paraEnd] = f.widths[182];
  f.widths[w->cellEnd] = f.widths[164];
  f.widths[WRX_LINEBREAK] = f.widths[171];
  f.widths[WRX_LINEMARK] = f.widths[' '];
  return 1;
}

int CreateOneFont(WrxWindow* w, HDC dc, int id, int forScreen) {
  WrxFont& f = w->fonts[id];
  if (f.style & wrxfmt::kPictureStyle) return 1;
  if (!f.widths) {
    f.widths = static_cast<int32_t*>(sAlloc(256 * 4));
    if (!f.widths) return 0;
  }
  ReleaseFontHandle(w, id);
  // The window's own resolution carries its zoom.
  const int resY = dc == w->dc && w->resY > 0 ? w->resY : GetDeviceCaps(dc, LOGPIXELSY);
  int height = MulDiv(f.pointSize, resY, 72);
  const bool script = (f.style & (16 | 32)) != 0;
  if (script) {
    height = (height + 1) / 2;
    if (f.pointSize <= 14) height = height * 5 / 4;
  }
  LOGFONTA lf{};
  lf.lfHeight = -height;
  lf.lfWeight = (f.style & 2) ? 700 : 400;
  lf.lfItalic = (f.style & 4) ? 1 : 0;
  lf.lfUnderline = (f.style & 1) ? 1 : 0;
  lf.lfStrikeOut = (f.style & 8) ? 1 : 0;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfPitchAndFamily = uint8_t(f.face[31]);
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  memcpy(lf.lfFaceName, f.face, strnlen(f.face, LF_FACESIZE - 1));
  f.cacheIndex = GetFontCache(&lf);
  if (f.cacheIndex >= 0) {
    f.font = g_cache[f.cacheIndex].font;
  } else {
    f.font = CreateFontIndirectA(&lf);
  }
  if (!f.font) return 0;
  HGDIOBJ old = SelectObject(dc, f.font);
  if (!old) return 0;
  TEXTMETRICA tm;
  if (!GetTextMetricsA(dc, &tm) || tm.tmAscent == 0) {
    SelectObject(dc, old);
    return 0;
  }
  if (!f.face[31]) f.face[31] = char(tm.tmPitchAndFamily);
  f.extLeading = tm.tmExternalLeading;
  MeasureCharWidths(w, dc, id, forScreen);
  f.flags = tm.tmOverhang >= 2 ? 1 : 0;
  if (script) {
    const double r = double(height) / tm.tmHeight * 1.5;
    f.lineHeight = height;
    f.baseLine =
        (f.style & 16) ? int32_t(tm.tmAscent * r + 0.999999) : int32_t(tm.tmAscent * r - (r - 1) * tm.tmHeight);
    if (f.lineHeight < f.baseLine) f.lineHeight = f.baseLine;
  } else {
    f.lineHeight = tm.tmHeight + tm.tmExternalLeading;
    f.baseLine = tm.tmAscent;
  }
  if (f.style & 0x2000) {
    f.boxAllowance = MulDiv(40, GetDeviceCaps(dc, LOGPIXELSX), 1440);
    f.lineHeight += 7 * f.boxAllowance / 4;
    f.baseLine += f.boxAllowance;
  }
  if (IsHiddenStyle(w, f.style)) {
    f.lineHeight = f.baseLine = 0;
    memset(f.widths, 0, 256 * 4);
  }
  SelectObject(dc, old);
  return 1;
}

int RecreateFonts(WrxWindow* w, HDC dc) {
  int ok = 1;
  for (int id = 0; id < w->fontCount; ++id) {
    WrxFont& f = w->fonts[id];
    if (!f.inUse) continue;
    if (!CreateOneFont(w, dc, id, 1)) {
      char text[80];
      snprintf(text, sizeof text, "Font: %s, Point Size: %d", f.face, f.pointSize);
      WrxErrorBox(w, 42, text);
      ok = 0;
    }
  }
  return ok;
}

// Frees ids that duplicate an earlier one or that no character uses, after
// moving every line onto the surviving ids. Returns whether any was freed.
static bool CompactFontTable(WrxWindow* w) {
  uint8_t map[WRX_MAXFONTS];
  for (int id = 0; id < w->fontCount; ++id) {
    map[id] = uint8_t(id);
    const WrxFont& f = w->fonts[id];
    if (!f.inUse || (f.style & wrxfmt::kPictureStyle)) continue;
    for (int j = 0; j < id; ++j) {
      const WrxFont& g = w->fonts[j];
      if (g.inUse && !(g.style & wrxfmt::kPictureStyle) &&
          SameAttributes(g, f.face, f.pointSize, f.style, f.textColor, f.backColor, f.kind)) {
        map[id] = uint8_t(j);
        break;
      }
    }
  }
  bool used[WRX_MAXFONTS] = {};
  used[0] = true;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    WrxLine* l = w->lines[i];
    if (IsSharedIds(l)) {
      uint8_t id = SharedId(l) < w->fontCount ? map[SharedId(l)] : 0;
      l->fontIds = MakeSharedIds(id);
      used[id] = true;
    } else {
      uint8_t* ids = IdArray(l);
      for (int32_t c = 0; c < l->length; ++c) {
        ids[c] = ids[c] < w->fontCount ? map[ids[c]] : 0;
        used[ids[c]] = true;
      }
    }
  }
  if (w->inputFont >= 0 && w->inputFont < w->fontCount) {
    w->inputFont = map[w->inputFont];
    used[w->inputFont] = true;
  }
  bool freed = false;
  for (int id = 1; id < w->fontCount; ++id) {
    if (w->fonts[id].inUse && (map[id] != id || !used[id])) {
      FreeFontEntry(w, id);
      freed = true;
    }
  }
  return freed;
}

int AddFontEntry(WrxWindow* w) {
  if (w->reservedFont >= 0) {
    int id = w->reservedFont;
    w->reservedFont = -1;
    FreeFontEntry(w, id);
    InitFontEntry(w, id);
    return id;
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (int id = 0; id < w->fontCount; ++id)
      if (!w->fonts[id].inUse) {
        FreeFontEntry(w, id);
        InitFontEntry(w, id);
        return id;
      }
    if (w->fontCount < WRX_MAXFONTS) {
      if (w->fontCount >= w->fontCapacity &&
          !ExpandFontTable(w, std::min(w->fontCapacity + w->fontCapacity / 3 + 1, WRX_MAXFONTS)))
        return -1;
      int id = w->fontCount++;
      InitFontEntry(w, id);
      return id;
    }
    if (pass > 0 || !w->reclaimIds || !CompactFontTable(w)) break;
  }
  WrxErrorBox(w, 106, nullptr);
  return -1;
}

int FindOrAddFont(WrxWindow* w, HDC dc, int hint, const char* face, int size, DWORD style, COLORREF text, COLORREF back,
                  int kind, int extra, int attribute, int styleItem) {
  if (hint >= 0 && hint < w->fontCount && (w->fonts[hint].style & wrxfmt::kPictureStyle)) return hint;
  if (w->matching) {
    if (hint >= 0 && hint < w->fontCount && w->fonts[hint].inUse) {
      const WrxFont& h = w->fonts[hint];
      if (_strnicmp(h.face, face, 31) == 0 && h.pointSize == size && h.style == style && h.textColor == text &&
          h.backColor == back && h.kind == kind && h.extra == extra && h.attribute == attribute &&
          h.styleItem == styleItem)
        return hint;
    }
    for (int id = 0; id < w->fontCount; ++id) {
      const WrxFont& f = w->fonts[id];
      if (f.inUse && !(f.style & wrxfmt::kPictureStyle) && SameAttributes(f, face, size, style, text, back, kind) &&
          f.extra == extra && f.attribute == attribute && f.styleItem == styleItem)
        return id;
    }
  } else {
    w->matching = 1;
  }
  int id = AddFontEntry(w);
  if (id < 0) return -1;
  WrxFont& f = w->fonts[id];
  CopyFace(f.face, face);
  f.pointSize = size;
  f.style = style;
  f.textColor = text;
  f.backColor = back;
  f.kind = kind;
  f.extra = extra;
  f.attribute = attribute;
  f.styleItem = styleItem;
  f.inUse = 1;
  if (!CreateOneFont(w, dc ? dc : w->dc, id, 1)) WrxErrorBox(w, 42, nullptr);
  return id;
}

int GetCurrentFont(WrxWindow* w) {
  int id = 0;
  if (w->inputFont >= 0 && w->inputFont < w->fontCount) {
    id = w->inputFont;
  } else if (w->hilight == 2) {
    id = GetCharFont(w, w->hlFirstLine, w->hlFirstCol);
  } else if (w->curLine > 0 || w->curCol > 0) {
    int32_t line = w->curLine;
    while (line > 0 && w->lines[line]->length == 0) --line;
    const WrxLine* l = w->lines[line];
    int32_t col = line == w->curLine ? std::min(w->curCol, l->length) - 1 : l->length - 1;
    id = GetCharFont(w, line, std::max(col, 0));
  } else {
    id = GetCharFont(w, 0, 0);
  }
  if (id >= w->fontCount || (w->fonts[id].style & wrxfmt::kPictureStyle)) id = 0;
  return id;
}

namespace {

enum class Attr { Face, Size, Style, Kind };

struct AttrChange {
  Attr what;
  const char* face;
  int value;
  DWORD bits;
  bool on;
};

// Gives the id that carries the change; the old id when none can be added.
int ApplyAttr(WrxWindow* w, int id, const AttrChange& c) {
  WrxFont& f = w->fonts[id];
  if (f.style & wrxfmt::kPictureStyle) {
    if (c.what == Attr::Style) f.style = c.on ? (f.style | c.bits) : (f.style & ~c.bits);
    return id;
  }
  char face[32];
  memcpy(face, f.face, sizeof face);
  int size = f.pointSize, kind = f.kind;
  DWORD style = f.style;
  switch (c.what) {
    case Attr::Face: CopyFace(face, c.face); break;
    case Attr::Size: size = c.value; break;
    case Attr::Kind: kind = c.value; break;
    case Attr::Style: {
      DWORD bits = c.bits & ~DWORD(wrxfmt::kPictureStyle);
      if (c.on) {
        if (bits & 16) style &= ~DWORD(32);
        if (bits & 32) style &= ~DWORD(16);
        style |= bits;
      } else {
        style &= ~bits;
      }
      break;
    }
  }
  int n =
      FindOrAddFont(w, w->dc, id, face, size, style, f.textColor, f.backColor, kind, f.extra, f.attribute, f.styleItem);
  return n < 0 ? id : n;
}

int SetCharAttrib(WrxWindow* w, const AttrChange& c, int repaint) {
  if (w->hilight == 0) {
    w->inputFont = ApplyAttr(w, GetCurrentFont(w), c);
  } else {
    int32_t l1 = w->hlFirstLine, l2 = w->hlLastLine, c1 = w->hlFirstCol, c2 = w->hlLastCol;
    if (l1 > l2 || (l1 == l2 && c1 > c2)) std::swap(l1, l2), std::swap(c1, c2);
    if (w->hilight == 1) c1 = 0, c2 = INT32_MAX;
    int16_t map[WRX_MAXFONTS];
    std::fill(map, map + WRX_MAXFONTS, int16_t(-1));
    for (int32_t line = std::max(l1, 0); line <= l2 && line < w->lineCount; ++line) {
      const int32_t from = line == l1 ? c1 : 0;
      const int32_t to = std::min(line == l2 ? c2 : INT32_MAX, w->lines[line]->length);
      if (from >= to) continue;
      uint8_t* ids = OpenFontCodes(w, line);
      if (!ids) break;
      for (int32_t col = from; col < to; ++col) {
        uint8_t id = ids[col] < w->fontCount ? ids[col] : 0;
        if (map[id] < 0) map[id] = int16_t(ApplyAttr(w, id, c));
        ids[col] = uint8_t(map[id]);
      }
      CloseFontCodes(w, line);
    }
    ++w->modified;
  }
  MarkChanged(w);
  if (repaint) PaintWrx(w);
  return 1;
}

}  // namespace

int SetWrxFont(HWND hwnd, int id, int keepMatching, const char* face, int pointSize, DWORD style, COLORREF text,
               COLORREF back, int kind, int extra) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || id >= WRX_MAXFONTS) return -1;
  if (id < 0) {
    w->matching = keepMatching ? 1 : 0;
    int n = FindOrAddFont(w, w->dc, -1, face, pointSize, style, text, back, kind, extra, 1, 0);
    w->matching = 1;
    MarkChanged(w);
    return n;
  }
  if (id >= w->fontCapacity && !ExpandFontTable(w, id + 1)) return -1;
  for (int i = w->fontCount; i <= id; ++i) InitFontEntry(w, i);
  if (id >= w->fontCount) w->fontCount = id + 1;
  // Make the entry under its own id: take the slot over in place.
  FreeFontEntry(w, id);
  InitFontEntry(w, id);
  WrxFont& f = w->fonts[id];
  CopyFace(f.face, face);
  f.pointSize = pointSize;
  f.style = style;
  f.textColor = text;
  f.backColor = back;
  f.kind = kind;
  f.extra = extra;
  f.inUse = 1;
  if (!CreateOneFont(w, w->dc, id, 1)) WrxErrorBox(w, 42, "SetWrxFont");
  if (id == 0 && f.font) {
    SelectObject(w->dc, f.font);
    TEXTMETRICA tm;
    if (GetTextMetricsA(w->dc, &tm)) {
      w->charHeight = tm.tmHeight;
      w->extLeading = tm.tmExternalLeading;
      w->avgCharWidth = tm.tmAveCharWidth;
    }
  }
  MarkChanged(w);
  return id;
}

int SetWrxDefaultFont(HWND hwnd, const char* face, int pointSize, DWORD style, COLORREF text, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  WrxFont& f = w->fonts[0];
  ReleaseFontHandle(w, 0);
  CopyFace(f.face, face);
  f.pointSize = pointSize;
  f.style = style;
  f.textColor = text;
  f.inUse = 1;
  strncpy(w->arg.typeface, face, sizeof w->arg.typeface - 1);
  w->arg.typeface[sizeof w->arg.typeface - 1] = 0;
  w->arg.pointSize = pointSize;
  if (!CreateOneFont(w, w->dc, 0, 1)) return WrxErrorBox(w, 42, "SetWrxDefaultFont");
  MarkChanged(w);
  if (repaint) PaintWrx(w);
  return 1;
}

int SetWrxFontFace(HWND hwnd, const char* face, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !face) return 0;
  if (w->editStyle >= 0) return EditedStyleFace(w, face, repaint);
  return SetCharAttrib(w, AttrChange{Attr::Face, face, 0, 0, false}, repaint);
}

int SetWrxPointSize(HWND hwnd, int pointSize, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || pointSize <= 0) return 0;
  if (w->editStyle >= 0) return EditedStyleSize(w, pointSize, repaint);
  return SetCharAttrib(w, AttrChange{Attr::Size, nullptr, pointSize, 0, false}, repaint);
}

int WrxSetCharStyle(HWND hwnd, DWORD style, int on, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (w->editStyle >= 0) return EditedStyleBits(w, style, on, repaint);
  return SetCharAttrib(w, AttrChange{Attr::Style, nullptr, 0, style, on != 0}, repaint);
}

int GetWrxCharFont(HWND hwnd, long line, int col) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || line < 0 || line >= w->lineCount || col < 0 || col >= w->lines[line]->length) return 0;
  return GetCharFont(w, line, col);
}

int GetWrxFontInfo(HWND hwnd, int fontId, char* face, int* size, DWORD* style) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || fontId < 0 || fontId >= w->fontCount || !w->fonts[fontId].inUse) return 0;
  const WrxFont& f = w->fonts[fontId];
  if (face) {
    memcpy(face, f.face, 31);
    face[31] = 0;
  }
  if (size) *size = f.pointSize;
  if (style) *style = f.style;
  return 1;
}

int GetWrxFontColors(HWND hwnd, int fontId, COLORREF* text, COLORREF* back) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || fontId < 0 || fontId >= w->fontCount || !w->fonts[fontId].inUse) return 0;
  if (text) *text = w->fonts[fontId].textColor;
  if (back) *back = w->fonts[fontId].backColor;
  return 1;
}
