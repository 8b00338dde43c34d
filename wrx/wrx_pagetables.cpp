// Tables in the page view: the text frame that holds a table is cut so that
// every cell becomes a frame of its own, side by side with the other cells
// of its row, each row as high as its tallest cell; the cells bring their
// borders (and the cell grid, when shown) to the frames.
#include "wrx/wrx_tables.h"

#include <algorithm>
#include <vector>

namespace {

int32_t Px(const WrxWindow* w, int32_t twips) { return MulDiv(twips, w->resX > 0 ? w->resX : 96, 1440); }
int32_t PxY(const WrxWindow* w, int32_t twips) { return MulDiv(twips, w->resY > 0 ? w->resY : 96, 1440); }

bool InTable(const WrxWindow* w, int32_t line) { return TableCellValid(w, w->lines[line]->cell); }

// The cell's borders, and the grid when it is shown.
void CellBorders(const WrxWindow* w, WrxTextFrame& f) {
  const wrxfmt::WrxCellRecord& c = w->cells[size_t(f.cell)];
  f.borderSides = c.borderSides;
  for (int side = 0; side < 4; ++side) f.borderWidths[side] = c.borderWidths[side];
  if (w->gridLines) {
    f.borderSides |= 2 | 8;
    if (FindCellAbove(w, f.cell) < 0) f.borderSides |= 1;
    if (!TableCellValid(w, c.previous)) f.borderSides |= 4;
  }
}

WrxTextFrame Piece(const WrxTextFrame& model, int32_t first, int32_t last, int32_t y) {
  WrxTextFrame f = model;
  f.noText = 0;
  f.firstLine = first, f.lastLine = last;
  f.screenY = y;
  f.spaceAbove = 0;
  f.borderSides = 0;
  f.endsAtBreak = 0;
  f.flags &= ~2;
  return f;
}

int32_t LinesHeight(WrxWindow* w, int32_t first, int32_t last) {
  int32_t h = 0;
  for (int32_t k = first; k <= last; ++k) h += GetLineHeight(w, k);
  return h;
}

// The frames of one table row from its first line; `line` ends past the row
// (its row-end line, which no frame shows, included).
void PlaceRow(WrxWindow* w, const WrxTextFrame& page, int32_t& line, int32_t last, int32_t& y,
              std::vector<WrxTextFrame>& out) {
  const int32_t row = w->cells[size_t(w->lines[line]->cell)].row;
  const wrxfmt::WrxRowRecord& r = w->rows[size_t(row)];
  int32_t total = 0;
  for (int32_t c : TableRowCells(w, row)) total += Px(w, w->cells[size_t(c)].width);
  int32_t offset = Px(w, r.left);
  const int32_t spare = std::max(0, page.screenWidth - total - offset);
  if ((r.flags & 3) == 1) offset += spare / 2;
  if ((r.flags & 3) == 2) offset += spare;
  WrxTextFrame rowFrame = Piece(page, -1, -1, y);
  rowFrame.noText = 1;
  rowFrame.row = row;
  rowFrame.screenWidth = offset;
  rowFrame.flags &= ~1;
  out.push_back(rowFrame);
  const size_t firstCell = out.size();
  int32_t height = PxY(w, r.minHeight);
  int32_t x = page.screenX + offset;
  while (line <= last && InTable(w, line) && w->cells[size_t(w->lines[line]->cell)].row == row &&
         !IsRowEndLine(w, line)) {
    const int32_t cell = w->lines[line]->cell;
    int32_t end = line;
    while (end < last && w->lines[end + 1]->cell == cell && !IsCellEndLine(w, end) && !IsRowEndLine(w, end + 1)) ++end;
    const wrxfmt::WrxCellRecord& c = w->cells[size_t(cell)];
    WrxTextFrame f = Piece(page, line, end, y);
    f.flags &= ~1;
    f.row = row, f.cell = cell, f.cellFlags = c.flags;
    f.screenX = x;
    f.screenWidth = std::max(1, Px(w, c.width));
    f.spaceLeft = f.spaceRight = Px(w, c.margin);
    CellBorders(w, f);
    f.spaceAbove = (c.borderSides & 1) ? PxY(w, c.borderWidths[0]) : 0;
    f.background = uint32_t(c.colour);
    const int32_t bottom = (c.borderSides & 2) ? PxY(w, c.borderWidths[1]) : 0;
    // A cell continuing a merged cell above it adds no height.
    const int32_t own = (c.flags & 16) ? 0 : f.spaceAbove + LinesHeight(w, line, end) + bottom;
    height = std::max(height, own);
    out.push_back(f);
    x += f.screenWidth;
    line = end + 1;
  }
  if (line <= last && IsRowEndLine(w, line)) ++line;
  for (size_t k = firstCell; k < out.size(); ++k) out[k].screenHeight = height;
  out[firstCell - 1].screenHeight = height;
  y += height;
}

// The frames that take the place of one page frame holding a table.
std::vector<WrxTextFrame> CutFrame(WrxWindow* w, const WrxTextFrame& page) {
  std::vector<WrxTextFrame> out;
  const int32_t first = std::clamp(page.firstLine, 0, w->lineCount - 1);
  const int32_t last = std::clamp(page.lastLine, first, w->lineCount - 1);
  const int32_t bottom = page.screenY + page.screenHeight;
  int32_t y = page.screenY;
  int32_t line = first;
  while (line <= last) {
    if (!InTable(w, line)) {
      int32_t end = line;
      while (end < last && !InTable(w, end + 1)) ++end;
      WrxTextFrame f = Piece(page, line, end, y);
      if (out.empty()) f.spaceAbove = page.spaceAbove, f.borderSides = page.borderSides;
      f.screenHeight = f.spaceAbove + LinesHeight(w, line, end);
      if (end == last) {
        f.screenHeight = std::max(f.screenHeight, bottom - y);
        f.flags = page.flags, f.endsAtBreak = page.endsAtBreak;
      } else {
        f.flags &= ~1;
      }
      y += f.screenHeight;
      out.push_back(f);
      line = end + 1;
      continue;
    }
    if (out.empty()) y += page.spaceAbove;
    PlaceRow(w, page, line, last, y, out);
  }
  // A cell must not end the frames: the last frame stretches to the window's
  // right edge.
  if (out.back().cell || out.back().row) {
    WrxTextFrame filler = Piece(page, -1, -1, y);
    filler.noText = 1;
    filler.screenHeight = std::max(0, bottom - y);
    filler.flags = page.flags, filler.endsAtBreak = page.endsAtBreak;
    out.push_back(filler);
  }
  return out;
}

// The room a centred or right-aligned line leaves before its text in its
// frame: a cell's lines are aligned within the cell.
int32_t AlignmentRoom(WrxWindow* w, const WrxTextFrame& f, int32_t line) {
  const int32_t inner = f.cell ? f.screenWidth - f.spaceLeft - f.spaceRight : GetLineTextWidth(w, line);
  return AlignmentRoomWithin(w, line, inner);
}

bool HoldsTable(WrxWindow* w, const WrxTextFrame& f) {
  if (f.noText || f.cell || f.row || f.paraFrame > 0 || (f.flags & 8) || f.firstLine < 0) return false;
  const int32_t last = std::min(f.lastLine, w->lineCount - 1);
  for (int32_t k = f.firstLine; k <= last; ++k)
    if (InTable(w, k)) return true;
  return false;
}

}  // namespace

bool CellShadeColour(const WrxWindow* w, int32_t cell, COLORREF* colour) {
  if (!TableCellValid(w, cell)) return false;
  const wrxfmt::WrxCellRecord& c = w->cells[size_t(cell)];
  const int32_t percent = std::clamp(c.shading, 0, 100);
  const COLORREF own = COLORREF(c.colour) & 0xFFFFFF, back = w->backColor & 0xFFFFFF;
  if (percent == 0) {
    if (own == back) return false;
    *colour = own;
    return true;
  }
  if (own == back) {
    const int32_t g = std::clamp(255 - percent * 255 / 100, 0, 255);
    *colour = RGB(g, g, g);
  } else {
    *colour = RGB(GetRValue(own) * percent / 100, GetGValue(own) * percent / 100, GetBValue(own) * percent / 100);
  }
  return true;
}

int32_t PlaceTableFrames(WrxWindow* w, int32_t drawable) {
  if (!w->arg.pageMode || w->lineCount < 1) return drawable;
  bool cut = false;
  for (int32_t f = 0; f < w->textFrameCount && w->cells.size() > 1; ++f) {
    if (!HoldsTable(w, w->textFrames[f])) continue;
    const std::vector<WrxTextFrame> pieces = CutFrame(w, w->textFrames[f]);
    const int32_t extra = int32_t(pieces.size()) - 1;
    if (extra > 0 && !InitFrameSlot(w, w->textFrameCount + extra - 1)) return drawable;
    std::move_backward(w->textFrames + f + 1, w->textFrames + w->textFrameCount,
                       w->textFrames + w->textFrameCount + extra);
    std::copy(pieces.begin(), pieces.end(), w->textFrames + f);
    w->textFrameCount += extra;
    f += extra;
    cut = true;
  }
  if (cut) {
    // The frames' rows take their places in the screen-line table again.
    drawable = 0;
    for (int32_t base = 0; drawable < w->textFrameCount; ++drawable) {
      WrxTextFrame& fr = w->textFrames[drawable];
      const int32_t rows = std::max(0, fr.lastLine - fr.firstLine + 1);
      if (base + rows + 2 >= WRX_SCREENROWS) break;
      fr.rowBase = base;
      base += rows + 2;
    }
  }
  // Each row starts at its frame's left, inside the cell's margin; borders
  // follow the cells' records and the grid switch.
  for (int32_t f = 0; f < drawable; ++f) {
    WrxTextFrame& fr = w->textFrames[f];
    if (fr.noText || fr.firstLine < 0) continue;
    if (TableCellValid(w, fr.cell)) CellBorders(w, fr);
    const int32_t last = std::min(fr.lastLine, w->lineCount - 1);
    for (int32_t k = fr.firstLine; k <= last; ++k) {
      const int32_t row = fr.rowBase + (k - fr.firstLine);
      if (row >= 0 && row < WRX_SCREENROWS)
        w->screenLines.x[row] = fr.screenX + fr.spaceLeft + LineStartX(w, k) + AlignmentRoom(w, fr, k);
    }
  }
  return drawable;
}
