// Drawing the rows of a control window: the screen-line table, each row as
// runs of one font with its colours and highlight, tabs with their leaders,
// justified spaces, marks, bullets, labelled break lines, pictures, paragraph
// boxes and frame borders. Coordinates are the DC's logical ones: the window
// origin carries the scroll offsets, so a row's x is its mapping x plus the
// text rectangle's left.
#include "wrx/wrx_block.h"
#include "wrx/wrx_paramodel.h"
#include "wrx/wrx_tables.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kShownParaEnd = 182, kShownCellEnd = 164, kShownLineBreak = 171;
constexpr uint8_t kBulletChar = 183;
constexpr COLORREF kBlack = RGB(0, 0, 0);

struct RowGeometry {
  int32_t line;
  int32_t top, height;    // the row's band, spacing included
  int32_t before, after;  // paragraph spacing inside the band
  int32_t baseLine;       // below top + before
  int32_t right;          // right limit of drawing
  int32_t left;           // left edge of the frame
};

const WrxFont& FontOf(const WrxWindow* w, int id) { return w->fonts[id >= 0 && id < w->fontCount ? id : 0]; }

const wrxfmt::WrxParaRecord* ParaOf(const WrxWindow* w, int32_t line) {
  const int32_t p = w->lines[line]->para;
  return p >= 0 && size_t(p) < w->paras.size() ? &w->paras[size_t(p)] : nullptr;
}

int32_t TwipsX(const WrxWindow* w, int32_t twips) { return MulDiv(twips, w->resX ? w->resX : 96, 1440); }

void SelectRunFont(WrxWindow* w, HDC dc, int id) {
  const WrxFont& f = FontOf(w, id);
  if ((f.style & wrxfmt::kPictureStyle) || !f.font) return;
  if (!w->run.dcKnown || w->run.selected != f.font) {
    SelectObject(dc, f.font);
    w->run.selected = f.font;
  }
}

void FillBand(WrxWindow* w, HDC dc, const RECT& r, COLORREF colour) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  if (!w->run.dcKnown || w->run.back != colour) {
    SetBkColor(dc, colour);
    w->run.back = colour;
  }
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
}

void Line(HDC dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// A pen in the text colour, for decorations; callers restore and delete it.
HPEN TextPen(WrxWindow* w, int style = PS_SOLID, int width = 1) { return CreatePen(style, width, w->run.text); }

bool IsLabelMarker(uint8_t c) {
  return c == WRX_PAGEBREAK || c == WRX_FOOTERDELIM || c == WRX_HEADERDELIM || c == WRX_ROWEND || c == WRX_SECTBREAK ||
         c == WRX_COLBREAK;
}

// The label a break line carries, null when it shows none; `dotted` for the
// header and footer delimiters, `shorter` for lines 360 twips shorter.
const char* BreakLabel(const WrxWindow* w, uint8_t marker, bool* dotted, bool* shorter, bool* drawn) {
  *dotted = marker == WRX_HEADERDELIM || marker == WRX_FOOTERDELIM;
  *shorter = marker == WRX_COLBREAK || marker == WRX_ROWEND;
  *drawn = true;
  const bool writable = !w->arg.readOnly;
  switch (marker) {
    case WRX_PAGEBREAK:
      if (!writable || (w->arg.pageMode && !w->breakLinesShown)) return nullptr;
      return "Page Break";
    case WRX_COLBREAK: return writable ? "Column Break" : nullptr;
    case WRX_SECTBREAK: return writable ? "Section Break" : nullptr;
    case WRX_HEADERDELIM: return "Page Header";
    case WRX_FOOTERDELIM: return "Page Footer";
    case WRX_ROWEND:
      if (w->arg.pageMode) *drawn = false;
      return w->arg.pageMode ? nullptr : "Row Break";
  }
  return nullptr;
}

}  // namespace

void ResetRunState(WrxWindow* w) {
  w->run = WrxRunState{};
  w->run.fontId = -1;
}

int32_t PictureWidth(WrxWindow* w, int fontId) {
  const WrxFont& f = FontOf(w, fontId);
  return f.pict ? MulDiv(f.pict->width, w->resX ? w->resX : 96, 72) : 0;
}

int32_t PictureHeight(WrxWindow* w, int fontId) {
  const WrxFont& f = FontOf(w, fontId);
  return f.pict ? MulDiv(f.pict->height, w->resY ? w->resY : 96, 72) : 0;
}

int SetRunColours(WrxWindow* w, HDC dc, int kind, int fontId) {
  const WrxFont& f = FontOf(w, fontId);
  COLORREF back = f.backColor;
  COLORREF text = f.textColor;
  const int asked = kind;
  if (kind == 'P') {
    back = w->backColor;
    kind = 'T';
  }
  const int32_t shading = w->run.shading;
  // A shaded cell shows through wherever the text has no background of its own.
  if (w->run.cellShaded && back == w->backColor && (kind == 'T' || kind == 'H')) back = w->run.cellShade;
  if (kind == 'T') {
    const bool dim = (w->protection && w->protectedMarked && (f.style & 0x200)) ||
                     (w->hdrFtrEdit && !w->hdrFtrShown && w->run.para >= 0 && size_t(w->run.para) < w->paras.size() &&
                      (w->paras[size_t(w->run.para)].flags & (PF_HEADER | PF_FOOTER))) ||
                     w->editStyle >= 0;
    if (dim) text ^= 0x4F4F4F;
  } else if (kind == 'H') {
    text ^= 0xFFFFFF;
    back ^= 0xFFFFFF;
  } else if (kind == 'S') {
    text = w->statusText;
    back = w->statusBack;
  } else {
    text = COLORREF(kind);
  }
  if (shading > 0 && (kind == 'T' || kind == 'H')) {
    const int32_t g = std::min<int32_t>(255, shading * 255 / 10000);
    const COLORREF grey = RGB(g, g, g);
    text ^= grey;
    back = back == w->backColor ? (grey ^ 0xFFFFFF) : (back ^ grey);
  }
  if (f.extra > 0) {
    text ^= 0x3F3F3F;
    back ^= 0x3F3F3F;
  }
  text &= 0xFFFFFF;
  back &= 0xFFFFFF;
  if (!w->run.dcKnown || w->run.text != text) SetTextColor(dc, text);
  if (!w->run.dcKnown || w->run.back != back) SetBkColor(dc, back);
  const int mode = (w->backgroundPicture > 0 && back == w->backColor) ? TRANSPARENT : OPAQUE;
  if (!w->run.dcKnown || w->run.bkMode != mode) SetBkMode(dc, mode);
  w->run.text = text;
  w->run.back = back;
  w->run.bkMode = mode;
  w->run.transparent = mode == TRANSPARENT;
  w->run.fontId = fontId;
  w->run.kind = asked;
  w->run.valid = true;
  w->run.dcKnown = true;
  return 1;
}

int DrawBreakLabel(WrxWindow* w, const char* label, int32_t x, int32_t y, int32_t width, HPEN pen) {
  HDC dc = w->dc;
  HFONT font = (w->zoom > 50 && w->rulerFont) ? w->rulerFont : FontOf(w, 0).font;
  HGDIOBJ oldFont = SelectObject(dc, font);
  w->run.selected = nullptr;  // the run font must be selected again
  SIZE size{0, 0};
  if (label) GetTextExtentPoint32A(dc, label, int(strlen(label)), &size);
  const int32_t middle = y;
  const int32_t labelX = x + (width - size.cx) / 2;
  HPEN linePen = pen ? pen : static_cast<HPEN>(GetStockObject(BLACK_PEN));
  HGDIOBJ oldPen = SelectObject(dc, linePen);
  if (label) {
    Line(dc, x, middle, labelX - 2, middle);
    Line(dc, labelX + size.cx + 2, middle, x + width, middle);
    SetTextColor(dc, kBlack);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, labelX, middle - size.cy / 2, label, int(strlen(label)));
    w->run.valid = false;
    w->run.dcKnown = false;
  } else {
    Line(dc, x, middle, x + width, middle);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
  return 1;
}

int DrawParaBox(WrxWindow* w, HDC dc, const RECT* rect, int outer) {
  const uint32_t flags = w->run.boxFlags;
  if (!(flags & PF_BORDERSIDES)) return 1;
  const int32_t u = std::max(1, MulDiv(1, w->resY ? w->resY : 96, 72));
  const int32_t wd = (flags & PF_BORDERTHICK) ? 2 * u : u;
  int32_t a = u, b = wd;
  if (flags & PF_BORDERDOUBLE) {
    if (outer)
      a = u, b = u + 2 * wd;
    else
      a = wd + 2 * u, b = wd;
  }
  HPEN pen = CreatePen(PS_SOLID, wd, kBlack);
  if (!pen) return 0;
  HGDIOBJ old = SelectObject(dc, pen);
  const int32_t left = w->run.boxLeft - b + wd, right = w->run.boxRight - wd + b;
  const int32_t top = rect->top + a, bottom = rect->bottom - (a + u);
  if (flags & 0x01) Line(dc, left, top, right, top);
  if (flags & 0x02) Line(dc, left, bottom, right, bottom);
  if ((flags & PF_BORDERLEFT) && left >= rect->left && left < rect->right)
    Line(dc, left, rect->top, left, rect->bottom);
  if ((flags & PF_BORDERRIGHT) && right >= rect->left && right < rect->right)
    Line(dc, right, rect->top, right, rect->bottom);
  SelectObject(dc, old);
  DeleteObject(pen);
  if ((flags & PF_BORDERDOUBLE) && outer) DrawParaBox(w, dc, rect, 0);
  return 1;
}

int DrawPicture(WrxWindow* w, HDC dc, int fontId, int32_t x, int32_t y, int32_t count) {
  const WrxFont& f = FontOf(w, fontId);
  const int32_t width = PictureWidth(w, fontId), height = PictureHeight(w, fontId);
  if (!f.pict || width <= 0 || height <= 0) return 1;
  WrxPictData& p = *f.pict;
  POINT origin{};
  GetWindowOrgEx(dc, &origin);
  p.screenX = x - origin.x - w->textRect.left;
  p.screenY = y - origin.y - w->textRect.top;
  if (f.kind == 2) {
    // An embedded control shows itself where its character stands.
    if (p.control && !w->offScreen) {
      SetWindowPos(p.control, nullptr, x - origin.x, y - origin.y, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
      return 1;
    }
  }
  const bool dib = f.kind == 0 && p.info.size() >= sizeof(BITMAPINFOHEADER) && !p.image.empty();
  for (int32_t k = 0; k < count; ++k) {
    const int32_t at = x + k * width;
    if (dib) {
      const auto* info = reinterpret_cast<const BITMAPINFO*>(p.info.data());
      const LONG bw = info->bmiHeader.biWidth, bh = std::abs(info->bmiHeader.biHeight);
      const int bits = info->bmiHeader.biBitCount;
      const size_t stride = ((size_t(std::max<LONG>(bw, 0)) * size_t(bits) + 31) / 32) * 4;
      const DWORD compression = info->bmiHeader.biCompression;
      const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
      if (bw > 0 && bh > 0 && bits > 0 &&
          (rle ? info->bmiHeader.biSizeImage <= p.image.size() : stride * size_t(bh) <= p.image.size())) {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, at, y, width, height, 0, 0, bw, bh, p.image.data(), info, DIB_RGB_COLORS, SRCCOPY);
        continue;
      }
    }
    // A picture we cannot show stands as its outline.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, at, y, at + width, y + height);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
  }
  return 1;
}

int DrawTextSegment(WrxWindow* w, HDC dc, int32_t x, int32_t y, const RECT* rect, const char* chars, int32_t count) {
  const WrxFont& f = FontOf(w, w->run.fontId);
  if (count == 0) {
    FillBand(w, dc, *rect, w->run.back);
    return 1;
  }
  if (count == 1 && IsLabelMarker(uint8_t(chars[0]))) {
    bool dotted, shorter, drawn;
    const char* label = BreakLabel(w, uint8_t(chars[0]), &dotted, &shorter, &drawn);
    RECT band = *rect;
    band.right = w->textRect.right + w->hOffset;
    FillBand(w, dc, band, w->backColor);
    w->run.valid = false;
    if (!drawn) return 1;
    const int32_t width = band.right - rect->left - (shorter ? TwipsX(w, 360) : 0);
    DrawBreakLabel(w, label, rect->left, (rect->top + rect->bottom) / 2, width, dotted ? w->dotPens[0] : nullptr);
    return 1;
  }
  if (IsHiddenStyle(w, f.style)) return 1;
  RECT r = *rect;
  if (f.flags & 1) r.right += f.widths ? f.widths['W'] : 0;
  if (!w->offScreen && RecordPictSlot(w, x, y, &r, count, chars)) return 1;
  char shown[WRX_MAXLINELEN + 2];
  const int32_t n = std::min<int32_t>(count, WRX_MAXLINELEN);
  memcpy(shown, chars, size_t(n));
  if (w->breakLinesShown) {
    uint8_t& last = reinterpret_cast<uint8_t&>(shown[n - 1]);
    if (last == w->paraEnd)
      last = kShownParaEnd;
    else if (last == w->cellEnd)
      last = kShownCellEnd;
    else if (last == WRX_LINEBREAK)
      last = kShownLineBreak;
  }
  INT dx[WRX_MAXLINELEN + 2];
  for (int32_t k = 0; k < n; ++k) dx[k] = f.widths ? f.widths[uint8_t(shown[k])] : 0;
  SelectRunFont(w, dc, w->run.fontId);
  RECT text = r;
  if (w->run.opaqueRight > r.right) {
    // The row's rest has this run's background: one call fills it with the
    // text, spacing bands included.
    text.right = w->run.opaqueRight;
    ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &text, shown, UINT(n), dx);
    w->run.opaqueDone = 1;
  } else if (w->run.spaceBefore > 0 || w->run.spaceAfter > 0) {
    // The spacing bands take the window's background, not the run's.
    text.top = r.top + w->run.spaceBefore;
    text.bottom = r.bottom - w->run.spaceAfter;
    const COLORREF saved = w->run.back;
    FillBand(w, dc, RECT{r.left, r.top, r.right, text.top}, w->backColor);
    FillBand(w, dc, RECT{r.left, text.bottom, r.right, r.bottom}, w->backColor);
    SetBkColor(dc, saved);
    w->run.back = saved;
  }
  const UINT options = ETO_CLIPPED | (w->run.transparent ? 0 : ETO_OPAQUE);
  if (!w->run.opaqueDone) ExtTextOutA(dc, x, y, options, &text, shown, UINT(n), dx);
  // Decorations in the text colour.
  const int32_t baseY = y + f.baseLine;
  if (f.style & (0x40 | 0x800)) {
    HPEN pen = TextPen(w, PS_DOT);
    HGDIOBJ old = SelectObject(dc, pen);
    Line(dc, r.left, baseY, r.right, baseY);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  if (f.style & 0x100) {
    HPEN pen = TextPen(w);
    HGDIOBJ old = SelectObject(dc, pen);
    Line(dc, r.left, baseY, r.right, baseY);
    Line(dc, r.left, baseY + 2, r.right, baseY + 2);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  if (w->run.boxFlags & 0x03) {
    HPEN pen = TextPen(w);
    HGDIOBJ old = SelectObject(dc, pen);
    if (w->run.boxFlags & 1) Line(dc, r.left, r.top + 1, r.right, r.top + 1);
    if (w->run.boxFlags & 2) Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  if (w->run.boxFlags & PF_BORDERSIDES) DrawParaBox(w, dc, &r, 1);
  return 1;
}

namespace {

// The leader of the stop a tab at pixel x goes to: the first stop of the
// line's paragraph beyond x (0 none, 1 dots, 2 hyphens, 4 underline).
uint8_t LeaderAfter(const WrxWindow* w, int32_t line, int32_t x) {
  const int32_t p = w->lines[line]->para;
  if (p < 0 || size_t(p) >= w->paras.size()) return 0;
  const int32_t tabId = w->paras[size_t(p)].tabId;
  if (tabId <= 0 || size_t(tabId) >= w->tabs.size()) return 0;
  const wrxpara::WrxTab t = wrxpara::TabFromRecord(w->tabs[size_t(tabId)]);
  for (int k = 0; k < t.count; ++k)
    if (w->textRect.left + TwipsX(w, t.positions[k]) > x) return t.leaders[k];
  return 0;
}

// Dots or hyphens across a tab's gap, on the text's base line.
void DrawLeader(HDC dc, const RECT& gap, int32_t baseY, uint8_t leader) {
  if (leader == 4) {
    HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
    Line(dc, gap.left, baseY, gap.right, baseY);
    SelectObject(dc, old);
    return;
  }
  const char mark = leader == 2 ? '-' : '.';
  SIZE one{};
  if (!GetTextExtentPoint32A(dc, &mark, 1, &one) || one.cx <= 0) return;
  const int32_t step = one.cx * 2;
  // Aligned to the step across rows, so columns of leaders line up.
  const int32_t first = (gap.left / step + 1) * step;
  char marks[256];
  int n = 0;
  for (int32_t x = first; x + one.cx <= gap.right - one.cx && n < 256; x += step) ++n;
  if (n <= 0) return;
  memset(marks, mark, size_t(n));
  INT dx[256];
  for (int k = 0; k < n; ++k) dx[k] = step;
  const UINT align = SetTextAlign(dc, TA_BASELINE | TA_LEFT);
  ExtTextOutA(dc, first, baseY, ETO_CLIPPED, &gap, marks, UINT(n), dx);
  SetTextAlign(dc, align);
}

// Draws the columns [first, end) of a row as runs of one font (kind T, H or
// P colours); with `endOfLine` the rest of the row to the right limit too.
void DrawLineRuns(WrxWindow* w, HDC dc, const RowGeometry& g, int32_t first, int32_t end, const int32_t* xs,
                  bool endOfLine, int kind) {
  const WrxLine* l = w->lines[g.line];
  const int32_t left = w->textRect.left;
  const RECT band{0, g.top, 0, g.top + g.height};
  const WrxLineInfo* info = l->info;
  const bool justified = info && (info->flags & LI_JUSTIFIED);
  int32_t col = first;
  bool labelled = false;  // a break label spans the row to its right edge
  bool filled = false;    // the last run filled the row's rest
  while (col < end) {
    const int id = GetCharFont(w, g.line, col);
    const uint8_t c = uint8_t(l->text[col]);
    const WrxFont& f = FontOf(w, id);
    if (kind != 'N' && (!w->run.valid || w->run.fontId != id || w->run.kind != kind)) SetRunColours(w, dc, kind, id);
    const int32_t x0 = left + xs[col];
    if (c == WRX_TAB) {
      // The gap to the next stop, with its leader.
      RECT gap{x0, band.top, left + xs[col + 1], band.bottom};
      FillBand(w, dc, gap, w->run.back);
      const int32_t baseY = g.top + g.before + g.baseLine;
      if ((f.style & 1) && !IsHiddenStyle(w, f.style)) {
        HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
        Line(dc, gap.left, baseY, gap.right, baseY);
        SelectObject(dc, old);
      }
      if (const uint8_t leader = LeaderAfter(w, g.line, gap.left)) DrawLeader(dc, gap, baseY, leader);
      ++col;
      continue;
    }
    int32_t stop = col + 1;
    if (c != WRX_TAB && !(justified && c == ' ') && c != WRX_LINEMARK && !(f.style & wrxfmt::kPictureStyle) &&
        !IsLabelMarker(c)) {
      while (stop < end && GetCharFont(w, g.line, stop) == id) {
        const uint8_t d = uint8_t(l->text[stop]);
        if (d == WRX_TAB || (justified && d == ' ') || d == WRX_LINEMARK || IsLabelMarker(d)) break;
        if (ColumnLeftBox(w, g.line, stop) != 0) break;
        ++stop;
      }
    } else if (f.style & wrxfmt::kPictureStyle) {
      while (stop < end && GetCharFont(w, g.line, stop) == id) ++stop;
    }
    RECT r{x0, band.top, left + xs[stop], band.bottom};
    if (f.style & wrxfmt::kPictureStyle) {
      // Every repeat of the picture, each at its own column.
      const int32_t height = PictureHeight(w, id);
      const int32_t y = g.top + g.before + std::max(0, g.baseLine - height);
      FillBand(w, dc, r, w->run.back);
      for (int32_t k = col; k < stop; ++k) DrawPicture(w, dc, id, left + xs[k], y, 1);
      if (w->run.boxFlags & PF_BORDERSIDES) DrawParaBox(w, dc, &r, 1);
    } else {
      const int32_t y = g.top + g.before + g.baseLine - f.baseLine;
      const int32_t boxLeft = ColumnLeftBox(w, g.line, col);
      if (c == WRX_LINEMARK) {
        char blank = ' ';
        DrawTextSegment(w, dc, x0 + boxLeft, y, &r, &blank, 1);
      } else if (justified && c == ' ') {
        char blanks[4] = {' ', ' ', ' ', ' '};
        DrawTextSegment(w, dc, x0, y, &r, blanks, 1);
      } else {
        // The last run of a row on the window's background fills the row's
        // rest too.
        const bool last = endOfLine && stop >= end && kind == 'T' && w->run.shading <= 0 && f.extra <= 0 &&
                          f.backColor == w->backColor && !w->backgroundPicture && !IsLabelMarker(c) &&
                          !(w->run.boxFlags & 0x03);
        w->run.opaqueRight = last ? g.right : 0;
        w->run.opaqueDone = 0;
        DrawTextSegment(w, dc, x0 + boxLeft, y, &r, l->text + col, stop - col);
        w->run.opaqueRight = 0;
        filled = w->run.opaqueDone != 0;
        w->run.opaqueDone = 0;
        labelled = stop - col == 1 && IsLabelMarker(c);
      }
    }
    col = stop;
  }
  if (endOfLine && !labelled && !filled) {
    const int32_t x = left + xs[std::min(end, l->length)];
    if (kind != 'H') SetRunColours(w, dc, 'P', 0);
    const int32_t right = w->run.shading > 0 ? std::min(g.right, w->run.boxRight) : g.right;
    FillBand(w, dc, RECT{x, band.top, right, band.bottom}, w->run.back);
    if (right < g.right) FillBand(w, dc, RECT{right, band.top, g.right, band.bottom}, w->backColor);
  }
  // The box spans the paragraph, not only its text.
  if (endOfLine && !labelled && (w->run.boxFlags & PF_BORDERSIDES)) {
    const RECT row{left, band.top, g.right, band.bottom};
    DrawParaBox(w, dc, &row, 1);
  }
}

// Fills a row (or a part of one) with the window background.
void EraseRow(WrxWindow* w, HDC dc, int32_t x1, int32_t top, int32_t x2, int32_t height) {
  FillBand(w, dc, RECT{x1, top, x2 + 1, top + height}, w->backColor);
}

// Draws one row of text at g.top.
void DrawRow(WrxWindow* w, HDC dc, RowGeometry& g, int32_t hlBegLine, int32_t hlBegCol, int32_t hlEndLine,
             int32_t hlEndCol) {
  const WrxLine* l = w->lines[g.line];
  const int32_t frameLeft = g.left;
  if (l->info && (l->info->flags & LI_BLOCKED)) {
    EraseRow(w, dc, frameLeft, g.top, g.right, g.height);
    return;
  }
  const wrxfmt::WrxParaRecord* p = ParaOf(w, g.line);
  const int32_t textWidth = GetLineTextWidth(w, g.line);
  // What is drawn: no trailing blanks, and with word wrap no line end unless
  // marks are shown.
  int32_t count = l->length;
  if (w->arg.wordWrap && count > 0 && !w->breakLinesShown) {
    const uint8_t last = uint8_t(l->text[count - 1]);
    if (last == w->paraEnd || last == w->cellEnd || last == WRX_LINEBREAK) --count;
  }
  while (count > 0 && l->text[count - 1] == ' ') --count;
  static thread_local int32_t xs[WRX_MAXLINELEN + 2];
  LineColumnXs(w, g.line, xs, count);
  // Highlight columns of this row.
  int32_t hs = 0, he = 0;
  if (w->hilight == 1 && g.line >= hlBegLine && g.line <= hlEndLine) {
    hs = 0, he = 9999;
  } else if (w->hilight == 2 && g.line >= hlBegLine && g.line <= hlEndLine) {
    hs = g.line == hlBegLine ? hlBegCol : 0;
    he = g.line == hlEndLine ? hlEndCol : 9999;
  }
  hs = std::clamp(hs, 0, count);
  const bool toEnd = he >= 9999 || (he > count && g.line != hlEndLine);
  const int32_t heCol = std::clamp(he, hs, count);
  // The strip left of the text of a shaded paragraph. What the DC holds
  // carries over from the row before.
  const WrxRunState before = w->run;
  ResetRunState(w);
  if (before.dcKnown) {
    w->run.dcKnown = true;
    w->run.selected = before.selected, w->run.text = before.text, w->run.back = before.back;
    w->run.bkMode = before.bkMode, w->run.transparent = before.transparent;
  }
  w->run.para = l->para;
  w->run.shading = p ? std::clamp(p->shading, 0, 10000) : 0;
  w->run.cellShaded = CellShadeColour(w, l->cell, &w->run.cellShade);
  w->run.spaceBefore = g.before, w->run.spaceAfter = g.after;
  if (p) {
    w->run.boxLeft = w->textRect.left + TwipsX(w, p->leftIndent - 50);
    w->run.boxRight = w->textRect.left + textWidth - TwipsX(w, p->rightIndent) + TwipsX(w, 50);
  }
  w->run.boxFlags = 0;
  if (p && w->arg.wordWrap && (p->flags & PF_BORDERSIDES)) {
    w->run.boxFlags = uint32_t(p->flags) & (PF_BORDERLEFT | PF_BORDERRIGHT | PF_BORDERDOUBLE | PF_BORDERTHICK);
    if ((p->flags & PF_BORDERTOP) && (l->flags & LF_PARAFIRST)) w->run.boxFlags |= 0x01 | PF_BORDERTOP;
    if ((p->flags & PF_BORDERBOTTOM) && (l->flags & LF_PARAEND)) w->run.boxFlags |= 0x02 | PF_BORDERBOTTOM;
  }
  const int32_t textStart = w->textRect.left + xs[0];
  if (w->run.shading > 0) {
    SetRunColours(w, dc, 'T', 0);
    EraseRow(w, dc, frameLeft, g.top, w->run.boxLeft - 1, g.height);
    FillBand(w, dc, RECT{std::max(frameLeft, w->run.boxLeft), g.top, textStart, g.top + g.height}, w->run.back);
  } else {
    // Before the text: the cell's shading, else the background.
    const COLORREF fill = w->run.cellShaded ? w->run.cellShade : w->backColor;
    FillBand(w, dc, RECT{frameLeft, g.top, textStart, g.top + g.height}, fill);
  }
  w->run.valid = false;
  // The bullet of a bulleted paragraph's first line.
  if (p && w->arg.wordWrap && (p->flags & PF_BULLET) && p->firstIndent < 0 && (l->flags & LF_PARAFIRST)) {
    const int32_t indent = -TwipsX(w, p->firstIndent);
    int lastId = count > 0 ? GetCharFont(w, g.line, count - 1) : 0;
    const WrxFont& lf = FontOf(w, lastId);
    HFONT symbol = CreateFontA(-MulDiv(lf.pointSize, w->resY ? w->resY : 96, 72), 0, 0, 0, 400, 0, 0, 0, SYMBOL_CHARSET,
                               0, 0, 0, 0, "Symbol");
    if (symbol) {
      HGDIOBJ old = SelectObject(dc, symbol);
      const char bullet = char(kBulletChar);
      SIZE size{0, 0};
      GetTextExtentPoint32A(dc, &bullet, 1, &size);
      if (indent > size.cx) {
        SetTextColor(dc, lf.textColor);
        SetBkMode(dc, TRANSPARENT);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        TextOutA(dc, textStart - indent, g.top + g.before + g.baseLine - tm.tmAscent, &bullet, 1);
      }
      SelectObject(dc, old);
      DeleteObject(symbol);
      w->run.valid = false;
      w->run.dcKnown = false;
      w->run.selected = nullptr;
    }
  }
  DrawLineRuns(w, dc, g, 0, hs, xs, false, 'T');
  if (toEnd) {
    DrawLineRuns(w, dc, g, hs, count, xs, true, 'H');
  } else {
    DrawLineRuns(w, dc, g, hs, heCol, xs, false, 'H');
    DrawLineRuns(w, dc, g, heCol, count, xs, true, 'T');
  }
}

void NormalisedHighlight(const WrxWindow* w, int32_t* bl, int32_t* bc, int32_t* el, int32_t* ec) {
  *bl = w->hlFirstLine, *bc = w->hlFirstCol, *el = w->hlLastLine, *ec = w->hlLastCol;
  if (*bl > *el || (*bl == *el && *bc > *ec)) {
    std::swap(*bl, *el);
    std::swap(*bc, *ec);
  }
}

}  // namespace

int DrawScreenRows(WrxWindow* w, int32_t firstRow, int32_t lastRow) {
  HDC dc = w->dc;
  ResetRunState(w);
  // A picture selected by a click is not drawn as highlighted text.
  if (w->hilight == 2 && w->pictureSelected && w->hlFirstLine == w->hlLastLine &&
      std::abs(w->hlLastCol - w->hlFirstCol) == 1)
    w->hilight = 0, w->pictureSelected = 0;
  int32_t bl, bc, el, ec;
  NormalisedHighlight(w, &bl, &bc, &el, &ec);
  const int32_t frameLeft = w->textRect.left + w->hOffset;
  const int32_t right = w->textRect.right + w->hOffset;
  const int32_t bottom = w->textRect.bottom;
  int32_t y = w->textRect.top;
  for (int32_t row = 0; row < firstRow && w->firstLine + row < w->lineCount; ++row)
    y += GetLineHeight(w, w->firstLine + row);
  bool stopNext = false;
  int32_t row = firstRow;
  for (; row < WRX_SCREENROWS - 1; ++row) {
    const int32_t line = w->firstLine + row;
    if (lastRow != 99 && row > lastRow) break;
    if (line >= w->lineCount || y >= bottom) {
      if (y < bottom) EraseRow(w, dc, frameLeft, y, right, bottom - y);
      break;
    }
    RowGeometry g{};
    g.line = line;
    g.top = y;
    int32_t base = 0;
    const int32_t textHeight = GetLineTextHeight(w, line, &base, nullptr);
    CalcParaSpacing(w, line, textHeight, &g.before, &g.after, 1);
    g.height = std::max(1, textHeight + g.before + g.after);
    g.baseLine = base;
    g.right = right;
    g.left = frameLeft;
    if (row > firstRow && y + g.height > bottom) {
      if (stopNext || bottom - y <= (w->resY ? w->resY : 96) / 4) {
        EraseRow(w, dc, frameLeft, y, right, bottom - y);
        break;
      }
      stopNext = true;
    }
    w->screenLines.top[row] = y;
    w->screenLines.height[row] = g.height;
    w->screenLines.x[row] = LineStartX(w, line);
    DrawRow(w, dc, g, bl, bc, el, ec);
    ++w->rowsDrawn;
    y += g.height;
    w->screenLines.top[row + 1] = y;
  }
  ResetRunState(w);
  return 1;
}

namespace {

// Which of the four passes draws a frame: ordinary text first, then
// paragraph frames and drawing objects (the one holding the cursor last),
// then line objects on top of everything.
int FramePass(WrxWindow* w, const WrxTextFrame& fr) {
  if (fr.paraFrame <= 0) return 0;
  if (FrameWordValue(w, fr.paraFrame, 10) & 0x100) return 3;
  const bool holdsCursor = !fr.noText && w->curLine >= fr.firstLine && w->curLine <= fr.lastLine;
  return holdsCursor ? 2 : 1;
}

// A line or rectangle drawing object across its frame's rectangle.
void DrawObjectFrame(WrxWindow* w, HDC dc, const WrxTextFrame& fr) {
  const int32_t left = w->textRect.left + FrameLeft(fr), top = FrameTop(fr);
  const int32_t right = left + std::max(0, fr.screenWidth), bottom = top + std::max(0, fr.screenHeight);
  const int32_t flags = FrameWordValue(w, fr.paraFrame, 10);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  if (flags & 0x100) {
    switch (FrameWordValue(w, fr.paraFrame, 12)) {
      case 0: Line(dc, left, top, left, bottom); break;
      case 1: Line(dc, left, top, right, top); break;
      case 3: Line(dc, left, bottom, right, top); break;
      default: Line(dc, left, top, right, bottom); break;
    }
  } else if (flags & 0x200) {
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject((fr.flags & 16) ? NULL_BRUSH : WHITE_BRUSH));
    Rectangle(dc, left, top, right + 1, bottom + 1);
    SelectObject(dc, oldBrush);
  }
  SelectObject(dc, oldPen);
}

// The borders of a text frame: its sides with their widths.
void DrawFrameBorders(WrxWindow* w, HDC dc, const WrxTextFrame& fr, int32_t right) {
  if (!fr.borderSides) return;
  const int32_t left = w->textRect.left + FrameLeft(fr), top = FrameTop(fr);
  const int32_t bottom = top + std::max(0, fr.screenHeight);
  const int32_t res = w->resX > 0 ? w->resX : 96;
  auto side = [&](int bit, int index, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (!(fr.borderSides & bit)) return;
    HPEN pen = CreatePen(PS_SOLID, std::max(1, MulDiv(fr.borderWidths[index], res, 1440)), RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    Line(dc, x1, y1, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
  };
  side(1, 0, left, top, right, top);
  side(2, 1, left, bottom - 1, right, bottom - 1);
  side(4, 2, left, top, left, bottom);
  side(8, 3, right - 1, top, right - 1, bottom);
}

}  // namespace

int BuildScreenLines(WrxWindow* w, int32_t onlyLine) {
  HDC dc = w->dc;
  ResetRunState(w);
  int32_t bl, bc, el, ec;
  NormalisedHighlight(w, &bl, &bc, &el, &ec);
  const int32_t viewTop = w->vScrollPos, viewBottom = w->vScrollPos + w->textHeight;
  // Scope 6 redraws the rows of the changed range: the cursor's paragraph.
  int32_t onlyFirst = onlyLine, onlyLast = onlyLine;
  if (onlyLine >= 0 && w->paintScope == 6) GetParaLineRange(w, &onlyFirst, &onlyLast);
  if (onlyLine < 0 || w->textFrameCount == 0) LayOutStandInFrames(w);
  // Each frame's rows have their place in the table in frame order, whatever
  // pass draws it; frames past the table's end stay undrawn.
  int32_t drawable = 0;
  for (int32_t base = 0; drawable < w->textFrameCount; ++drawable) {
    WrxTextFrame& fr = w->textFrames[drawable];
    const int32_t rows = std::max(0, fr.lastLine - fr.firstLine + 1);
    if (base + rows + 2 >= WRX_SCREENROWS) {
      DBWinPrintf("Exceeded Max lines per Win!");
      break;
    }
    fr.rowBase = base;
    base += rows + 2;
  }
  drawable = PlaceTableFrames(w, drawable);
  for (int pass = 0; pass < 4; ++pass) {
    for (int32_t f = 0; f < drawable; ++f) {
      WrxTextFrame& fr = w->textFrames[f];
      if (FramePass(w, fr) != pass) continue;
      const int32_t frameTop = FrameTop(fr);
      if (frameTop > viewBottom || frameTop + fr.screenHeight < viewTop) continue;
      if ((fr.flags & 8) || (fr.noText && fr.paraFrame > 0)) {
        DrawObjectFrame(w, dc, fr);
        ResetRunState(w);
        continue;
      }
      const int32_t frameLeft = w->textRect.left + FrameLeft(fr);
      const int32_t right =
          (fr.flags & 1) || f == w->textFrameCount - 1 ? w->textRect.right + w->hOffset : frameLeft + fr.screenWidth;
      const int32_t frameBottom = frameTop + std::max(0, fr.screenHeight);
      if (fr.noText) {
        // An empty frame (beside or below a table) shows the background.
        if (onlyLine < 0 && fr.screenWidth > 0)
          FillBand(w, dc, RECT{frameLeft, frameTop, right, frameBottom}, w->backColor);
        continue;
      }
      COLORREF fill = w->backColor;
      if (fr.cell) CellShadeColour(w, fr.cell, &fill);
      if (onlyLine < 0) {
        FillBand(w, dc, RECT{frameLeft, frameTop, right, FrameTextTop(fr)}, fill);
        // Right of a row's last cell, up to the window's edge.
        if (TableCellValid(w, fr.cell) && !TableCellValid(w, w->cells[size_t(fr.cell)].next))
          FillBand(w, dc, RECT{right, frameTop, w->textRect.right + w->hOffset, frameBottom}, w->backColor);
      }
      int32_t y = FrameTextTop(fr);
      const int32_t first = std::clamp(fr.firstLine, 0, w->lineCount - 1);
      const int32_t last = std::clamp(fr.lastLine, first, w->lineCount - 1);
      for (int32_t line = first; line <= last; ++line) {
        const int32_t row = fr.rowBase + (line - first);
        RowGeometry g{};
        g.line = line;
        g.top = y;
        int32_t lineBase = 0;
        const int32_t textHeight = GetLineTextHeight(w, line, &lineBase, nullptr);
        g.height = GetLineHeight(w, line);
        CalcParaSpacing(w, line, textHeight, &g.before, &g.after, 1);
        g.baseLine = lineBase;
        g.left = frameLeft;
        g.right = right;
        w->screenLines.top[row] = y;
        w->screenLines.height[row] = g.height;
        if ((onlyLine < 0 || (line >= onlyFirst && line <= onlyLast)) && y + g.height > viewTop && y < viewBottom) {
          DrawRow(w, dc, g, bl, bc, el, ec);
          ++w->rowsDrawn;
        }
        y += g.height;
      }
      ResetRunState(w);
      if (onlyLine < 0) FillBand(w, dc, RECT{frameLeft, y, right, frameBottom}, fill);
      DrawFrameBorders(w, dc, fr, right);
      // A frame that ends a page shows the page break under it.
      if (((fr.flags & 2) || fr.endsAtBreak) && onlyLine < 0) {
        HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
        const int32_t bottom = frameTop + fr.screenHeight - 1;
        Line(dc, frameLeft, bottom, right, bottom);
        SelectObject(dc, old);
      }
    }
  }
  ResetRunState(w);
  return 1;
}
