// Lines and pixels: line heights with paragraph spacing, the y of a line and
// the line under a point, the width a line may fill, and the routines that
// keep the view on a given line. Outside page mode the view is the run of
// lines from the first screen line down, each as high as its text; in page
// mode lines sit in the frames of the page view at their stored heights.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

int32_t ResX(const WrxWindow* w) { return w->resX ? w->resX : 96; }
int32_t ResY(const WrxWindow* w) { return w->resY ? w->resY : 96; }

const wrxfmt::WrxParaRecord* LinePara(const WrxWindow* w, int32_t line) {
  const int32_t p = w->lines[line]->para;
  return p >= 0 && size_t(p) < w->paras.size() ? &w->paras[size_t(p)] : nullptr;
}

const WrxFont& FontOf(const WrxWindow* w, int id) { return w->fonts[id >= 0 && id < w->fontCount ? id : 0]; }

// The section that holds a line (0 when no other claims it).
int LineSection(const WrxWindow* w, int32_t line) {
  for (size_t i = 1; i < w->sections.size(); ++i) {
    const wrxfmt::WrxSectionRecord& s = w->sections[i];
    if (s.inUse && s.firstLine <= line && line <= s.lastLine) return int(i);
  }
  return 0;
}

}  // namespace

int32_t DeviceResX(const WrxWindow* w) { return w->prnResX ? w->prnResX : ResX(w); }
int32_t DeviceResY(const WrxWindow* w) { return w->prnResY ? w->prnResY : ResY(w); }

int32_t GetLineTextHeight(WrxWindow* w, int32_t line, int32_t* baseOut, int32_t* leadingOut) {
  int32_t base = 0, below = 0, leading = 0;
  if (line < 0 || line >= w->lineCount) {
    const WrxFont& f = FontOf(w, 0);
    base = f.baseLine, below = f.lineHeight - f.baseLine, leading = f.extLeading;
  } else if (w->lines[line]->info && (w->lines[line]->info->flags & LI_BLOCKED)) {
    // A line blocked by a frame is as high as the frame says.
    const int32_t h = MulDiv(w->lines[line]->info->blockHeight, ResY(w), DeviceResY(w));
    if (baseOut) *baseOut = h;
    if (leadingOut) *leadingOut = 0;
    return h;
  } else if (IsSharedIds(w->lines[line])) {
    const WrxFont& f = FontOf(w, SharedId(w->lines[line]));
    base = f.baseLine, below = f.lineHeight - f.baseLine, leading = f.extLeading;
  } else {
    const WrxLine* l = w->lines[line];
    int32_t count = l->length;
    // The paragraph end does not make a line taller than its text.
    if (count > 1 && uint8_t(l->text[count - 1]) == w->paraEnd) --count;
    const uint8_t* ids = IdArray(l);
    for (int32_t k = 0; k < std::max(count, 1); ++k) {
      const WrxFont& f = FontOf(w, l->length ? ids[k] : 0);
      base = std::max(base, f.baseLine);
      below = std::max(below, f.lineHeight - f.baseLine);
      leading = std::max(leading, f.extLeading);
    }
  }
  if (baseOut) *baseOut = base;
  if (leadingOut) *leadingOut = leading;
  return base + below;
}

int CalcParaSpacing(WrxWindow* w, int32_t line, int32_t height, int32_t* before, int32_t* after, int screen) {
  *before = *after = 0;
  if (line < 0 || line >= w->lineCount || height == 0) return 1;
  const WrxLine* l = w->lines[line];
  if (l->info && (l->info->flags & LI_BLOCKED)) return 1;
  return ParaSpacingFor(w, LinePara(w, line), l->flags, height, before, after, screen);
}

int ParaSpacingFor(WrxWindow* w, const wrxfmt::WrxParaRecord* p, uint32_t lineFlags, int32_t height, int32_t* before,
                   int32_t* after, int screen) {
  *before = *after = 0;
  if (!p || height == 0) return 1;
  const int32_t res = screen ? ResY(w) : DeviceResY(w);
  if (p->flags & 4) {
    *after = height;  // double spacing
  } else if (p->lineSpacing != 0) {
    const int32_t s = MulDiv(std::abs(p->lineSpacing), res, 1440);
    if (p->lineSpacing < 0) {
      // Exact spacing: the difference is shared above and below.
      *before = (s - height) / 2;
      *after = (s - height) - *before;
    } else if (s > height) {
      *before = s - height;
    }
  }
  if (lineFlags & LF_PARAFIRST) *before += MulDiv(p->spaceBefore, res, 1440);
  if (lineFlags & LF_PARAEND) *after += MulDiv(p->spaceAfter, res, 1440);
  return 1;
}

int GetLineParaSpacing(WrxWindow* w, int32_t line, int32_t height, int32_t* before, int32_t* after, int screen) {
  if (height == 0) {
    height = GetLineTextHeight(w, line, nullptr, nullptr);
    if (!screen) height = MulDiv(height, DeviceResY(w), ResY(w));
  }
  return CalcParaSpacing(w, line, height, before, after, screen);
}

int32_t GetLineHeight(WrxWindow* w, int32_t line) {
  if (w->arg.pageMode && line >= 0 && line < w->lineCount)
    return MulDiv(w->lines[line]->height, ResY(w), DeviceResY(w));
  const int32_t text = GetLineTextHeight(w, line, nullptr, nullptr);
  int32_t before = 0, after = 0;
  CalcParaSpacing(w, line, text, &before, &after, 1);
  return std::max(1, text + before + after);
}

namespace {

int32_t ParaFlags(const WrxWindow* w, int32_t line) {
  const wrxfmt::WrxParaRecord* p = line >= 0 && line < w->lineCount ? LinePara(w, line) : nullptr;
  return p ? p->flags : 0;
}

bool IsDrawingObject(const WrxWindow* w, int32_t paraFrame) {
  return paraFrame > 0 && FrameWordValue(w, paraFrame, 0) && (FrameWordValue(w, paraFrame, 10) & 0x380);
}

RECT FrameRect(const WrxTextFrame& f) {
  const int32_t left = FrameLeft(f), top = FrameTop(f);
  return RECT{left, top, left + f.screenWidth, top + f.screenHeight};
}

bool Holds(const RECT& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The line of a frame at y: heights are summed from its first line until
// they pass y.
int32_t LineAtY(WrxWindow* w, const WrxTextFrame& f, int32_t y) {
  const int32_t first = std::clamp(f.firstLine, 0, w->lineCount - 1);
  const int32_t last = std::clamp(f.lastLine, first, w->lineCount - 1);
  int32_t top = FrameTextTop(f);
  for (int32_t k = first; k < last; ++k) {
    top += GetLineHeight(w, k);
    if (y < top) return k;
  }
  return last;
}

int32_t PageModeYToLine(WrxWindow* w, int32_t x, int32_t y) {
  const WrxTextFrame* frames = w->textFrames;
  const int32_t count = w->textFrameCount;
  // Drawing objects lie over the text; a line-shaped one is hit near it.
  const int32_t reachX = MulDiv(60, ResX(w), 1440), reachY = MulDiv(60, ResY(w), 1440);
  for (int32_t f = 0; f < count; ++f) {
    if (!IsDrawingObject(w, frames[f].paraFrame)) continue;
    RECT r = FrameRect(frames[f]);
    if (FrameWordValue(w, frames[f].paraFrame, 10) & 0x100) InflateRect(&r, reachX, reachY);
    if (Holds(r, x, y))
      return frames[f].noText ? std::clamp(frames[f].firstLine, 0, w->lineCount - 1) : LineAtY(w, frames[f], y);
  }
  auto isText = [w, frames](int32_t f) { return !frames[f].noText && !IsDrawingObject(w, frames[f].paraFrame); };
  for (int32_t f = 0; f < count; ++f)
    if (isText(f) && Holds(FrameRect(frames[f]), x, y)) return LineAtY(w, frames[f], y);
  // Outside every frame: the frame level with the point; above the text its
  // first line; below a frame the last line of the nearest frame above the
  // point (the one under x among equals).
  int32_t firstText = -1, above = -1;
  for (int32_t f = 0; f < count; ++f) {
    if (!isText(f)) continue;
    if (firstText < 0) firstText = f;
    const RECT r = FrameRect(frames[f]);
    if (y >= r.top && y < r.bottom) return LineAtY(w, frames[f], y);
    if (r.bottom > y) continue;
    if (above < 0) {
      above = f;
      continue;
    }
    const RECT best = FrameRect(frames[above]);
    const bool underX = x >= r.left && x < r.right, bestUnderX = x >= best.left && x < best.right;
    if (r.bottom > best.bottom || (r.bottom == best.bottom && underX && !bestUnderX)) above = f;
  }
  if (firstText >= 0 && y < FrameTop(frames[firstText]))
    return std::clamp(frames[firstText].firstLine, 0, w->lineCount - 1);
  if (above >= 0) return std::clamp(frames[above].lastLine, 0, w->lineCount - 1);
  return std::clamp(w->curLine, 0, w->lineCount - 1);
}

}  // namespace

int32_t CalcLineY(WrxWindow* w, int32_t line) {
  line = std::clamp(line, 0, std::max(0, w->lineCount - 1));
  if (w->arg.pageMode) {
    // A delimiter stands where the text it closes or opens stands.
    const WrxLineInfo* info = w->lines[line]->info;
    if (info && (info->flags & (LI_HEADER | LI_FOOTER))) {
      const int32_t kind = (info->flags & LI_HEADER) ? 0x1000 : 0x2000;
      line = line + 1 < w->lineCount && (ParaFlags(w, line + 1) & kind) ? line + 1 : std::max(0, line - 1);
    }
    const int32_t f = GetLineFrameId(w, line);
    if (f >= 0) return LineYInFrame(w, f, line);
    // A line off the page view is measured as outside page mode.
  }
  int32_t y = w->textRect.top;
  if (line >= w->firstLine) {
    for (int32_t k = w->firstLine; k < line; ++k) y += GetLineHeight(w, k);
  } else {
    for (int32_t k = line; k < w->firstLine; ++k) y -= GetLineHeight(w, k);
  }
  return y;
}

int32_t GetLineTop(WrxWindow* w, int32_t line) {
  if (line == -1) {
    int32_t bottom = w->textRect.bottom + w->vScrollPos;
    if (w->arg.border) bottom += MulDiv(75, ResY(w), 1440);
    return bottom;
  }
  return CalcLineY(w, line);
}

int32_t YToLine(WrxWindow* w, int32_t x, int32_t y) {
  if (w->arg.pageMode && w->textFrameCount > 0) return PageModeYToLine(w, x, y);
  int32_t top = w->textRect.top;
  int32_t line = std::clamp(w->firstLine, 0, w->lineCount - 1);
  if (y < top) {
    while (line > 0 && y < top) top -= GetLineHeight(w, --line);
    return line;
  }
  for (; line < w->lineCount - 1; ++line) {
    top += GetLineHeight(w, line);
    if (y < top) return line;
  }
  return w->lineCount - 1;
}

int ScrollLineIntoView(WrxWindow* w, int32_t line) {
  line = std::clamp(line, 0, w->lineCount - 1);
  if (w->arg.pageMode) {
    // The cursor keeps its place in the window unless the line would leave it.
    const int32_t y = CalcLineY(w, line);
    const int32_t room = w->textRect.bottom - w->textRect.top;
    int32_t offset = std::min(w->cursorOffset, room - GetLineHeight(w, line));
    offset = std::max(std::min(offset, y), 0);
    w->cursorOffset = offset;
    const int32_t position = std::max(0, y - offset);
    if (position != w->vScrollPos) {
      w->vScrollPos = position;
      SyncWindowOrigin(w);
    }
    return 1;
  }
  const int32_t old = w->firstLine;
  if (line < w->firstLine) {
    w->firstLine = line;
  } else {
    // Lower the first screen line until the whole line fits (or it is the
    // first itself).
    const int32_t room = w->textRect.bottom - w->textRect.top;
    int32_t used = GetLineHeight(w, line);
    int32_t first = line;
    while (first > w->firstLine && used + GetLineHeight(w, first - 1) <= room) used += GetLineHeight(w, --first);
    w->firstLine = first;
  }
  w->curRow = w->curLine - w->firstLine;
  if (w->firstLine != old) PaintWrx(w);
  return 1;
}

void SyncWindowOrigin(WrxWindow* w) {
  if (w->dc) SetWindowOrgEx(w->dc, w->hOffset, w->vScrollPos, nullptr);
  ShowWrxCaret(w);
}

int32_t GetLineTextWidth(WrxWindow* w, int32_t line) {
  if (w->arg.wordWrap && w->arg.printView && line >= 0 && line < w->lineCount) {
    // A line in a table cell fills the cell inside its margins.
    const int32_t cell = w->lines[line]->cell;
    if (cell > 0 && size_t(cell) < w->cells.size()) {
      int32_t cellWord[12];
      memcpy(cellWord, &w->cells[size_t(cell)], sizeof cellWord);
      if (cellWord[0]) return std::max(1, MulDiv(cellWord[5] - 2 * cellWord[11], ResX(w), 1440));
    }
    // A line in a paragraph frame fills the frame inside its border space.
    const int32_t frame = w->lines[line]->frame;
    if (frame > 0 && FrameWordValue(w, frame, 0)) {
      const int32_t twips = FrameWordValue(w, frame, 4) - 2 * FrameWordValue(w, frame, 5);
      return std::max(1, MulDiv(twips, ResX(w), 1440));
    }
    // The page less the margins of the line's section, shared by its columns
    // (headers and footers span the page).
    const wrxfmt::WrxSectionRecord& s = w->sections[size_t(LineSection(w, line))];
    const int32_t res = ResX(w);
    int32_t width = int32_t(std::lround((w->paperWidth - s.leftMargin - s.rightMargin) * float(res)));
    if (w->arg.pageViewOption) width = w->textRect.right - w->textRect.left;
    const wrxfmt::WrxParaRecord* p = LinePara(w, line);
    if (p && (p->flags & 0x3000)) return std::max(width, 1);
    const int32_t columns = std::clamp(s.columns, 1, 100);
    const int32_t gap = int32_t(std::lround(s.columnSpace * float(res)));
    return std::max(width - (columns - 1) * gap, res) / columns;
  }
  int32_t width = w->textRect.right - w->textRect.left;
  if (w->arg.border) width -= 2 * MulDiv(75, ResX(w), 1440);
  return std::max(width, ResX(w));
}

int32_t GetLineWidth(WrxWindow* w, int32_t line, int32_t startX, int keepTrailing) {
  if (line < 0 || line >= w->lineCount) return 0;
  const WrxLine* l = w->lines[line];
  int32_t end = l->length;
  if (end > 0 && (uint8_t(l->text[end - 1]) == w->paraEnd || uint8_t(l->text[end - 1]) == w->cellEnd)) --end;
  if (!keepTrailing)
    while (end > 0 && (l->text[end - 1] == ' ' || l->text[end - 1] == WRX_TAB)) --end;
  if (end <= 0) return 0;
  (void)startX;  // tab widths are stored by the wrap, so the start x does not change them
  return GetColumnX(w, end, line, 0) - GetColumnX(w, -1, line, 0);
}

int WrxGoToLine(HWND hwnd, long line, int keep) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const int32_t target = int32_t(std::clamp<long>(line, 0, w->lineCount - 1));
  w->curLine = target;
  w->curCol = 0;
  w->hilight = 0;
  w->firstLine = keep ? target : std::max(0, target - w->linesPerWindow / 2);
  w->curRow = w->curLine - w->firstLine;
  PaintWrx(w);
  ShowWrxCaret(w);
  return 1;
}

int SetWrxBackground(HWND hwnd, int pictureId, int mode, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  // Choosing a picture file belongs to the picture dialogs.
  if (pictureId < 0) return 0;
  if (pictureId > 0 &&
      (pictureId >= w->fontCount || !w->fonts[pictureId].inUse || !(w->fonts[pictureId].style & wrxfmt::kPictureStyle)))
    return 0;
  const int previous = w->backgroundPicture;
  if (previous > 0 && previous != pictureId && previous < w->fontCount) FreeFontEntry(w, previous);
  w->backgroundPicture = pictureId;
  w->backgroundMode = mode;
  if (pictureId > 0 && mode == 1 && w->fonts[pictureId].pict) {
    // Stretched: the picture takes the size of the text area (points).
    w->fonts[pictureId].pict->height = MulDiv(w->textRect.bottom - w->textRect.top, 72, ResY(w));
    w->fonts[pictureId].pict->width = MulDiv(w->textRect.right - w->textRect.left, 72, ResX(w));
  }
  if (repaint) PaintWrx(w);
  return 1;
}
