// Tables: rows and cells as records (rows link into tables, cells into
// rows) and as lines of text that carry a cell id, each cell closed by a
// cell-end line and each row by a row-end line. Inserting tables, splitting
// and deleting cells, moving from cell to cell, automatic column widths and
// the repair of the records from the lines.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kCellMargin = 60;
constexpr int32_t kRowGap = 60;
constexpr int32_t kEdgeSlack = 60;       // twips within which two cell edges agree
constexpr int32_t kMaxFitColumns = 100;  // columns the automatic widths track
constexpr int32_t kFitAllowance = 180;

bool ValidRow(const WrxWindow* w, int32_t row) {
  return row > 0 && size_t(row) < w->rows.size() && w->rows[size_t(row)].inUse;
}

bool ValidCell(const WrxWindow* w, int32_t cell) {
  return cell > 0 && size_t(cell) < w->cells.size() && w->cells[size_t(cell)].inUse;
}

bool IsCellEndLine(const WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  return l->length > 0 && uint8_t(l->text[l->length - 1]) == w->cellEnd;
}

bool IsRowEndLine(const WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  return l->length == 1 && uint8_t(l->text[0]) == WRX_ROWEND;
}

void MarkInfo(WrxWindow* w, int32_t line, uint32_t flag) {
  if (AllocLineInfo(w, line)) w->lines[line]->info->flags |= flag;
}

// The cells of a row in link order (bounded, so a damaged chain cannot loop).
std::vector<int32_t> RowCells(const WrxWindow* w, int32_t row) {
  std::vector<int32_t> cells;
  if (!ValidRow(w, row)) return cells;
  for (int32_t c = w->rows[size_t(row)].firstCell; ValidCell(w, c) && cells.size() < w->cells.size();
       c = w->cells[size_t(c)].next)
    cells.push_back(c);
  return cells;
}

// The first and last line holding a cell id (-1 when none).
void CellLines(const WrxWindow* w, int32_t cell, int32_t* first, int32_t* last) {
  *first = *last = -1;
  for (int32_t i = 0; i < w->lineCount; ++i)
    if (w->lines[i]->cell == cell) {
      if (*first < 0) *first = i;
      *last = i;
    }
}

// Cells of one row laid side by side from x 0.
void Relink(WrxWindow* w, int32_t row, const std::vector<int32_t>& cells) {
  wrxfmt::WrxRowRecord& r = w->rows[size_t(row)];
  r.firstCell = cells.empty() ? -1 : cells.front();
  r.lastCell = cells.empty() ? -1 : cells.back();
  int32_t x = 0;
  for (size_t k = 0; k < cells.size(); ++k) {
    wrxfmt::WrxCellRecord& c = w->cells[size_t(cells[k])];
    c.row = row;
    c.previous = k ? cells[k - 1] : -1;
    c.next = k + 1 < cells.size() ? cells[k + 1] : -1;
    c.x = x;
    x += c.width;
  }
}

int32_t TextWidthTwips(WrxWindow* w, int32_t line) {
  const int32_t px = GetLineTextWidth(w, line);
  return std::max(1, MulDiv(px, 1440, std::max(1, DeviceResX(w))));
}

}  // namespace

int32_t NewRowSlot(WrxWindow* w) {
  if (w->rows.empty()) w->rows.push_back(wrxfmt::WrxRowRecord{});
  w->rows[0].inUse = 1;
  for (size_t i = 1; i < w->rows.size(); ++i)
    if (!w->rows[i].inUse) {
      w->rows[i] = wrxfmt::WrxRowRecord{};
      return int32_t(i);
    }
  try {
    if (w->rows.size() == w->rows.capacity()) w->rows.reserve(w->rows.size() + w->rows.size() / 2 + 1);
    w->rows.push_back(wrxfmt::WrxRowRecord{});
  } catch (...) {
    return -1;
  }
  return int32_t(w->rows.size() - 1);
}

int32_t NewCellSlot(WrxWindow* w, int allowSweep) {
  if (w->cells.empty()) w->cells.push_back(wrxfmt::WrxCellRecord{});
  w->cells[0].inUse = 1;
  auto fresh = [w](size_t i) {
    w->cells[i] = wrxfmt::WrxCellRecord{};
    w->cells[i].colour = int32_t(w->backColor);
    w->cells[i].rowSpan = w->cells[i].columnSpan = 1;
    w->cells[i].firstLine = w->cells[i].lastLine = -1;
    return int32_t(i);
  };
  for (size_t i = 1; i < w->cells.size(); ++i)
    if (!w->cells[i].inUse) return fresh(i);
  if (allowSweep) {
    // Cells no line refers to any more are free again.
    std::vector<char> used(w->cells.size(), 0);
    for (int32_t i = 0; i < w->lineCount; ++i)
      if (w->lines[i]->cell > 0 && size_t(w->lines[i]->cell) < used.size()) used[size_t(w->lines[i]->cell)] = 1;
    for (size_t i = 1; i < w->cells.size(); ++i)
      if (!used[i] && !ValidRow(w, w->cells[i].row)) return fresh(i);
  }
  try {
    if (w->cells.size() == w->cells.capacity()) w->cells.reserve(w->cells.size() + w->cells.size() / 2 + 1);
    w->cells.push_back(wrxfmt::WrxCellRecord{});
  } catch (...) {
    return -1;
  }
  return fresh(w->cells.size() - 1);
}

int TableInsert(WrxWindow* w, int rows, int columns, int repaint) {
  if (rows < 1 || columns < 1 || rows > 1000 || columns > 100) return 0;
  int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  WrxLine* l = w->lines[line];
  if (l->cell || (l->info && (l->info->flags & (LI_CELLEND | LI_ROWEND | 64)))) return 0;
  if (line > 0 && l->length > 0 && (w->fonts[GetCharFont(w, line, 0)].style & 0x200) &&
      (w->fonts[GetCharFont(w, line - 1, std::max(0, w->lines[line - 1]->length - 1))].style & 0x200)) {
    WrxBeep(w);
    return 0;
  }
  if (line > 0) {
    // The table starts on a line of its own.
    WrxLine* above = w->lines[line - 1];
    const uint8_t last = above->length ? uint8_t(above->text[above->length - 1]) : 0;
    if (above->length && last != w->paraEnd && last != w->cellEnd && last != WRX_ROWEND) {
      const char pe = char(w->paraEnd);
      int id = GetCharFont(w, line - 1, above->length - 1);
      if (w->fonts[id].style & wrxfmt::kPictureStyle) id = 0;
      InsertInLine(w, line - 1, above->length, &pe, 1, nullptr, uint8_t(id));
    }
  }
  const int32_t width = std::max(1, TextWidthTwips(w, line) / columns);
  if (!ExpandLineArray(w, w->lineCount + (columns + 1) * rows)) return 1;
  ReleaseUndo(w);
  const int font = GetCurrentFont(w);
  const int32_t para = w->lines[line]->para;
  const int32_t first = line;
  int32_t previousRow = -1;
  for (int r = 0; r < rows; ++r) {
    const int32_t row = NewRowSlot(w);
    if (row < 0) break;
    wrxfmt::WrxRowRecord& rr = w->rows[size_t(row)];
    rr.inUse = 1, rr.previous = previousRow, rr.next = -1, rr.firstCell = rr.lastCell = -1, rr.gap = kRowGap;
    if (previousRow > 0) w->rows[size_t(previousRow)].next = row;
    previousRow = row;
    int32_t previousCell = -1, x = 0;
    for (int c = 0; c < columns; ++c) {
      const int32_t cell = NewCellSlot(w, 0);
      if (cell < 0) break;
      wrxfmt::WrxCellRecord& cc = w->cells[size_t(cell)];
      cc.inUse = 1, cc.row = row, cc.width = width, cc.margin = kCellMargin, cc.x = x;
      cc.previous = previousCell, cc.next = -1;
      x += width;
      if (previousCell > 0) w->cells[size_t(previousCell)].next = cell;
      if (w->rows[size_t(row)].firstCell <= 0) w->rows[size_t(row)].firstCell = cell;
      w->rows[size_t(row)].lastCell = cell;
      previousCell = cell;
      InsertMarkerLine(w, line, w->cellEnd, font, para, LI_CELLEND, cell);
      ++line;
    }
    InsertMarkerLine(w, line, WRX_ROWEND, font, para, LI_ROWEND, previousCell);
    ++line;
  }
  w->curLine = first, w->curCol = 0;
  w->hilight = 0;
  ++w->modified;
  if (first < w->staleLine) w->staleLine = std::max(0, first - 1);
  if (rows * columns > 300) return WrxRepaginate(w->hwnd, repaint), 1;
  if (repaint) PaintWrx(w);
  return 1;
}

int TableParam(HWND hwnd, int rows, int columns, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (rows < 0) rows = 3, columns = 2;  // the dialog's defaults until the dialogs exist
  return TableInsert(w, rows, columns, repaint);
}

int InsertTableRow(WrxWindow* w, int above, int repaint) {
  const int32_t cursorCell = w->lines[std::clamp(w->curLine, 0, w->lineCount - 1)]->cell;
  if (!ValidCell(w, cursorCell)) return 0;
  int32_t model = w->cells[size_t(cursorCell)].row;
  if (!ValidRow(w, model)) return 0;
  if (!above) {
    size_t guard = 0;
    while (ValidRow(w, w->rows[size_t(model)].next) && guard++ < w->rows.size()) model = w->rows[size_t(model)].next;
  }
  const std::vector<int32_t> cells = RowCells(w, model);
  if (cells.empty()) return 0;
  int32_t first = -1, unused = -1, rowEnd = -1;
  CellLines(w, cells.front(), &first, &unused);
  for (int32_t i = std::max(0, first); i < w->lineCount && rowEnd < 0; ++i)
    if (IsRowEndLine(w, i) && w->lines[i]->cell == cells.back()) rowEnd = i;
  if (first < 0 || rowEnd < 0) return 0;
  if (!ExpandLineArray(w, w->lineCount + int32_t(cells.size()) + 1)) return 0;
  const int32_t row = NewRowSlot(w);
  if (row < 0) return 0;
  wrxfmt::WrxRowRecord copy = w->rows[size_t(model)];
  copy.firstCell = copy.lastCell = -1;
  if (above) {
    copy.previous = w->rows[size_t(model)].previous;
    copy.next = model;
    if (ValidRow(w, copy.previous)) w->rows[size_t(copy.previous)].next = row;
    w->rows[size_t(model)].previous = row;
  } else {
    copy.previous = model;
    copy.next = -1;
    w->rows[size_t(model)].next = row;
  }
  w->rows[size_t(row)] = copy;
  ReleaseUndo(w);
  int32_t line = above ? first : rowEnd + 1;
  const int32_t firstNew = line;
  const int32_t para = w->lines[first]->para;
  std::vector<int32_t> added;
  for (int32_t c : cells) {
    const int32_t cell = NewCellSlot(w, 0);
    if (cell < 0) break;
    w->cells[size_t(cell)] = w->cells[size_t(c)];
    w->cells[size_t(cell)].firstLine = w->cells[size_t(cell)].lastLine = -1;
    w->cells[size_t(cell)].flags &= ~3;
    added.push_back(cell);
    InsertMarkerLine(w, line++, w->cellEnd, GetCurrentFont(w), para, LI_CELLEND, cell);
  }
  if (added.empty()) return 0;
  Relink(w, row, added);
  InsertMarkerLine(w, line, WRX_ROWEND, GetCurrentFont(w), para, LI_ROWEND, added.back());
  if (above && w->curLine >= firstNew) w->curLine += int32_t(added.size()) + 1;
  ++w->modified;
  if (firstNew < w->staleLine) w->staleLine = std::max(0, firstNew - 1);
  if (repaint) PaintWrx(w);
  return 1;
}

int WrxInsertRow(HWND hwnd, int above, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? InsertTableRow(w, above, repaint) : 0;
}

int WrxSplitCell(WrxWindow* w) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t cell = w->lines[line]->cell;
  if (!ValidCell(w, cell) || IsRowEndLine(w, line)) return 0;
  if (w->cells[size_t(cell)].width <= 360) return WrxBeep(w), 0;
  int32_t end = line;
  while (end < w->lineCount && w->lines[end]->cell == cell && !IsCellEndLine(w, end)) ++end;
  if (end >= w->lineCount - 1 || w->lines[end]->cell != cell) return WrxErrorBox(w, 90, "WrxSplitCell");
  const int32_t added = NewCellSlot(w, 0);
  if (added < 0) return 0;
  wrxfmt::WrxCellRecord& a = w->cells[size_t(cell)];
  wrxfmt::WrxCellRecord copy = a;
  // The new cell takes what halving leaves, so the row keeps its width.
  const int32_t half = a.width / 2;
  copy.width = a.width - half;
  a.width = half;
  copy.x = a.x + a.width;
  copy.previous = cell;
  copy.next = a.next;
  copy.firstLine = copy.lastLine = -1;
  if (ValidCell(w, a.next)) w->cells[size_t(a.next)].previous = added;
  a.next = added;
  w->cells[size_t(added)] = copy;
  if (ValidRow(w, copy.row) && w->rows[size_t(copy.row)].lastCell == cell) w->rows[size_t(copy.row)].lastCell = added;
  ReleaseUndo(w);
  InsertMarkerLine(w, end + 1, w->cellEnd, GetCharFont(w, end, w->lines[end]->length - 1), w->lines[end]->para,
                   LI_CELLEND, added);
  if (end + 2 < w->lineCount && IsRowEndLine(w, end + 2)) w->lines[end + 2]->cell = added;
  ++w->modified;
  PaintWrx(w);
  return 1;
}

int DeleteTableCells(WrxWindow* w, int scope) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t cell = w->lines[line]->cell;
  if (!ValidCell(w, cell)) return 0;
  const int32_t row = w->cells[size_t(cell)].row;
  std::vector<int32_t> doomed;
  if (scope == 3)
    doomed = RowCells(w, row);
  else
    doomed.push_back(cell);
  ReleaseUndo(w);
  for (int32_t c : doomed) {
    int32_t first, last;
    CellLines(w, c, &first, &last);
    std::vector<int32_t> left = RowCells(w, row);
    left.erase(std::remove(left.begin(), left.end(), c), left.end());
    if (first >= 0) {
      // The row's only cell takes its row-end line with it.
      if (left.empty() && last + 1 < w->lineCount && IsRowEndLine(w, last + 1)) ++last;
      const bool whole = first == 0 && last == w->lineCount - 1;
      ShiftLines(w, first, last - first + 1, 'D');
      if (whole) w->lines[0]->cell = 0;
    }
    w->cells[size_t(c)].inUse = 0;
    if (left.empty()) {
      wrxfmt::WrxRowRecord& r = w->rows[size_t(row)];
      if (ValidRow(w, r.previous)) w->rows[size_t(r.previous)].next = r.next;
      if (ValidRow(w, r.next)) w->rows[size_t(r.next)].previous = r.previous;
      r = wrxfmt::WrxRowRecord{};
      break;
    }
    Relink(w, row, left);
  }
  w->hilight = 0;
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  w->curCol = std::min(w->curCol, w->lines[w->curLine]->length);
  ++w->modified;
  if (w->staleLine > 0) w->staleLine = std::max(0, std::min(w->staleLine, w->curLine - 1));
  PaintWrx(w);
  return 1;
}

int DeleteCellsParam(HWND hwnd, int scope, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || scope < 1 || scope > 3) return 0;
  (void)repaint;
  return DeleteTableCells(w, scope);
}

int GoNextCell(WrxWindow* w) {
  int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t cell = w->lines[line]->cell;
  if (!cell) return 0;
  while (line < w->lineCount && w->lines[line]->cell == cell) ++line;
  // A row end belongs to the row's last cell: step over it too.
  while (line < w->lineCount && IsRowEndLine(w, line)) ++line;
  if (line >= w->lineCount || !w->lines[line]->cell) return 0;
  const int32_t next = w->lines[line]->cell;
  int32_t last = line;
  while (last + 1 < w->lineCount && w->lines[last + 1]->cell == next && !IsRowEndLine(w, last + 1)) ++last;
  // The cell's text without its end mark.
  const int32_t endCol = std::max(0, w->lines[last]->length - (IsCellEndLine(w, last) ? 1 : 0));
  if (last == line && endCol == 0) {
    w->hilight = 0;
  } else {
    w->hilight = 2, w->hlFirstLine = line, w->hlFirstCol = 0, w->hlLastLine = last, w->hlLastCol = endCol;
  }
  w->curLine = last, w->curCol = endCol;
  const int32_t rows = std::max(1, w->linesPerWindow);
  if (w->curLine < w->firstLine || w->curLine >= w->firstLine + rows) w->firstLine = std::max(0, w->curLine - rows / 2);
  w->curRow = w->curLine - w->firstLine;
  PaintWrx(w);
  return 1;
}

int WrxSetTableWidth(HWND hwnd, int cell, int twips) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !ValidCell(w, cell) || !ValidRow(w, w->cells[size_t(cell)].row)) return 0;
  w->rows[size_t(w->cells[size_t(cell)].row)].tableWidth = std::max(0, twips);
  return 1;
}

int MeasureCellText(WrxWindow* w, int32_t cell, int32_t* minimum, int32_t* maximum) {
  int32_t word = 0, run = 0, widestWord = 0, widestRun = 0;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const WrxLine* l = w->lines[i];
    if (l->cell != cell) continue;
    for (int32_t c = 0; c < l->length; ++c) {
      const uint8_t ch = uint8_t(l->text[c]);
      const WrxFont& f = w->fonts[GetCharFont(w, i, c)];
      if (ch == w->paraEnd || ch == w->cellEnd || ch == WRX_ROWEND) {
        widestWord = std::max(widestWord, word), widestRun = std::max(widestRun, run);
        word = run = 0;
        continue;
      }
      const int32_t px = f.widths ? f.widths[ch] : w->avgCharWidth;
      run += px;
      word = ch == ' ' ? 0 : word + px;
      widestWord = std::max(widestWord, word);
    }
  }
  widestWord = std::max(widestWord, word), widestRun = std::max(widestRun, run);
  const int32_t dpi = std::max(1, w->resX ? w->resX : 96);
  *minimum = MulDiv(widestWord, 1440, dpi);
  *maximum = MulDiv(widestRun, 1440, dpi);
  return 1;
}

int FitTableColumns(WrxWindow* w, int32_t availableDefault) {
  std::vector<char> seen(w->rows.size(), 0);
  for (size_t start = 1; start < w->rows.size(); ++start) {
    if (!w->rows[start].inUse || seen[start] || ValidRow(w, w->rows[start].previous)) continue;
    std::vector<int32_t> tableRows;
    for (int32_t r = int32_t(start); ValidRow(w, r) && !seen[size_t(r)]; r = w->rows[size_t(r)].next) {
      seen[size_t(r)] = 1;
      tableRows.push_back(r);
    }
    const int32_t available = w->rows[start].tableWidth > 0 ? w->rows[start].tableWidth : availableDefault;
    int32_t minima[kMaxFitColumns] = {}, maxima[kMaxFitColumns] = {};
    int32_t columnCount = 0;
    for (int pass = 0; pass < 2; ++pass) {  // single cells first, then spanning ones
      for (int32_t r : tableRows) {
        int32_t column = 0;
        for (int32_t c : RowCells(w, r)) {
          const wrxfmt::WrxCellRecord& cell = w->cells[size_t(c)];
          const int32_t span = std::max(1, cell.columnSpan);
          if (column >= kMaxFitColumns) break;  // further columns keep their minimum
          int32_t lo = cell.width, hi = cell.width;
          if (cell.flags & 8) {
            MeasureCellText(w, c, &lo, &hi);
            lo += kFitAllowance, hi += kFitAllowance;
          }
          const int32_t used = std::min(span, kMaxFitColumns - column);
          if (pass == 0 && span == 1) {
            minima[column] = std::max(minima[column], lo), maxima[column] = std::max(maxima[column], hi);
          } else if (pass == 1 && span > 1) {
            int32_t sumLo = 0, sumHi = 0;
            for (int32_t k = 0; k < used; ++k) sumLo += minima[column + k], sumHi += maxima[column + k];
            for (int32_t k = 0; k < used; ++k) {
              if (lo > sumLo) minima[column + k] += (lo - sumLo) / used;
              if (hi > sumHi) maxima[column + k] += (hi - sumHi) / used;
            }
          }
          column += used;
          columnCount = std::max(columnCount, column);
        }
      }
    }
    long sumMin = 0, sumMax = 0;
    for (int32_t k = 0; k < columnCount; ++k) {
      minima[k] = std::min(minima[k], available);
      maxima[k] = std::max(maxima[k], minima[k]);
      sumMin += minima[k], sumMax += maxima[k];
    }
    int32_t widths[kMaxFitColumns] = {};
    const long extra = std::max(0L, (long(available) - sumMin) * 9 / 10);
    for (int32_t k = 0; k < columnCount; ++k) {
      if (sumMin >= available)
        widths[k] = minima[k];
      else if (sumMax <= available)
        widths[k] = maxima[k];
      else
        widths[k] = minima[k] + int32_t(long(maxima[k] - minima[k]) * extra / std::max(1L, sumMax - sumMin));
    }
    for (int32_t r : tableRows) {
      int32_t column = 0, x = 0;
      for (int32_t c : RowCells(w, r)) {
        wrxfmt::WrxCellRecord& cell = w->cells[size_t(c)];
        const int32_t span = std::max(1, cell.columnSpan);
        if (column < kMaxFitColumns) {
          int32_t width = 0;
          for (int32_t k = column; k < std::min(column + span, kMaxFitColumns); ++k) width += widths[k];
          cell.width = std::max(1, width);
        }
        cell.x = x;
        x += cell.width;
        column += span;
      }
    }
  }
  w->staleLine = 0;
  return 1;
}

int WrxFitTableColumns(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return FitTableColumns(w, TextWidthTwips(w, 0));
}

int CheckTableStructure(WrxWindow* w) {
  bool any = false;
  for (size_t i = 1; i < w->cells.size() && !any; ++i) any = w->cells[i].inUse != 0;
  if (!any) return 1;
  // Lines with a cell id that names no cell leave the table.
  for (int32_t i = 0; i < w->lineCount; ++i)
    if (w->lines[i]->cell && !ValidCell(w, w->lines[i]->cell)) w->lines[i]->cell = 0;
  // Row by row in line order: every cell's lines end in a cell-end line and
  // every row in a row-end line.
  int32_t i = 0;
  int32_t previousRow = -1;
  while (i < w->lineCount) {
    if (!w->lines[i]->cell) {
      previousRow = -1;
      ++i;
      continue;
    }
    const int32_t row = w->cells[size_t(w->lines[i]->cell)].row;
    std::vector<int32_t> cells;
    int32_t last = i;
    while (last < w->lineCount && w->lines[last]->cell && ValidCell(w, w->lines[last]->cell) &&
           w->cells[size_t(w->lines[last]->cell)].row == row) {
      const int32_t c = w->lines[last]->cell;
      if (cells.empty() || cells.back() != c) cells.push_back(c);
      if (IsRowEndLine(w, last)) break;
      ++last;
    }
    if (last >= w->lineCount || !IsRowEndLine(w, last) || w->lines[last]->cell != cells.back()) {
      // The row end is missing: it goes after the row's last line.
      const int32_t at = last;
      const int32_t prev = at - 1;
      if (!IsCellEndLine(w, prev)) {
        InsertMarkerLine(w, at, w->cellEnd, 0, w->lines[prev]->para, LI_CELLEND, w->lines[prev]->cell);
        last = at + 1;
      } else {
        last = at;
      }
      InsertMarkerLine(w, last, WRX_ROWEND, 0, w->lines[last - 1]->para, LI_ROWEND, cells.back());
    }
    if (ValidRow(w, row)) {
      Relink(w, row, cells);
      wrxfmt::WrxRowRecord& r = w->rows[size_t(row)];
      r.previous = previousRow;
      r.next = -1;
      if (ValidRow(w, previousRow)) w->rows[size_t(previousRow)].next = row;
      previousRow = row;
    }
    i = last + 1;
  }
  return 1;
}
