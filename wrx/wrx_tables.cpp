// Tables: rows and cells as records (rows link into tables, cells into
// rows) and as lines of text that carry a cell id, each cell closed by a
// cell-end line and each row by a row-end line. Inserting tables, splitting
// and deleting cells, moving from cell to cell, automatic column widths and
// the repair of the records from the lines.
#include "wrx/wrx_tables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kCellMargin = 60;
constexpr int32_t kRowGap = 60;
constexpr int32_t kEdgeSlack = 60;       // twips within which two cell edges agree
constexpr int32_t kMaxFitColumns = 100;  // columns the automatic widths track
constexpr int32_t kFitAllowance = 180;

// The first and last line holding a cell id (-1 when none).
void CellLines(const WrxWindow* w, int32_t cell, int32_t* first, int32_t* last) {
  *first = *last = -1;
  for (int32_t i = 0; i < w->lineCount; ++i)
    if (w->lines[i]->cell == cell) {
      if (*first < 0) *first = i;
      *last = i;
    }
}

int32_t TextWidthTwips(WrxWindow* w, int32_t line) {
  const int32_t px = GetLineTextWidth(w, line);
  return std::max(1, MulDiv(px, 1440, std::max(1, DeviceResX(w))));
}

}  // namespace

bool TableRowValid(const WrxWindow* w, int32_t row) {
  return row > 0 && size_t(row) < w->rows.size() && w->rows[size_t(row)].inUse;
}

bool TableCellValid(const WrxWindow* w, int32_t cell) {
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

std::vector<int32_t> TableRowCells(const WrxWindow* w, int32_t row) {
  std::vector<int32_t> cells;
  if (!TableRowValid(w, row)) return cells;
  for (int32_t c = w->rows[size_t(row)].firstCell; TableCellValid(w, c) && cells.size() < w->cells.size();
       c = w->cells[size_t(c)].next)
    cells.push_back(c);
  return cells;
}

std::vector<int32_t> TableRows(const WrxWindow* w, int32_t row) {
  std::vector<int32_t> rows;
  if (!TableRowValid(w, row)) return rows;
  int32_t first = row;
  for (size_t guard = 0; TableRowValid(w, w->rows[size_t(first)].previous) && guard < w->rows.size(); ++guard)
    first = w->rows[size_t(first)].previous;
  for (int32_t r = first; TableRowValid(w, r) && rows.size() < w->rows.size(); r = w->rows[size_t(r)].next)
    rows.push_back(r);
  return rows;
}

void RelinkRowCells(WrxWindow* w, int32_t row, const std::vector<int32_t>& cells) {
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

namespace {

// Which rows and cells the lines still use; slot 0 always counts as used.
void UsedSlots(const WrxWindow* w, std::vector<char>* rows, std::vector<char>* cells) {
  if (rows) rows->assign(w->rows.size(), 0);
  if (cells) cells->assign(w->cells.size(), 0);
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const int32_t c = w->lines[i]->cell;
    if (c <= 0 || size_t(c) >= w->cells.size()) continue;
    if (cells) (*cells)[size_t(c)] = 1;
    const int32_t r = w->cells[size_t(c)].row;
    if (rows && r > 0 && size_t(r) < w->rows.size()) (*rows)[size_t(r)] = 1;
  }
  if (rows && !rows->empty()) (*rows)[0] = 1;
  if (cells && !cells->empty()) (*cells)[0] = 1;
}

// Rows no line uses any more are free again. Links to them from the rows
// kept are cut, so that a reused slot does not join their table.
void SweepRows(WrxWindow* w) {
  std::vector<char> used;
  UsedSlots(w, &used, nullptr);
  for (size_t i = 1; i < w->rows.size(); ++i)
    if (!used[i]) w->rows[i].inUse = 0;
  auto live = [w](int32_t r) { return r > 0 && size_t(r) < w->rows.size() && w->rows[size_t(r)].inUse; };
  for (size_t i = 1; i < w->rows.size(); ++i) {
    wrxfmt::WrxRowRecord& r = w->rows[i];
    if (!r.inUse) continue;
    if (!live(r.previous)) r.previous = -1;
    if (!live(r.next)) r.next = -1;
  }
}

// The same for cells, and the rows' first and last cells.
void SweepCells(WrxWindow* w) {
  std::vector<char> used;
  UsedSlots(w, nullptr, &used);
  for (size_t i = 1; i < w->cells.size(); ++i)
    if (!used[i]) w->cells[i].inUse = 0;
  auto live = [w](int32_t c) { return c > 0 && size_t(c) < w->cells.size() && w->cells[size_t(c)].inUse; };
  for (size_t i = 1; i < w->cells.size(); ++i) {
    wrxfmt::WrxCellRecord& c = w->cells[i];
    if (!c.inUse) continue;
    if (!live(c.previous)) c.previous = -1;
    if (!live(c.next)) c.next = -1;
  }
  for (size_t i = 1; i < w->rows.size(); ++i) {
    wrxfmt::WrxRowRecord& r = w->rows[i];
    if (!r.inUse) continue;
    if (!live(r.firstCell)) r.firstCell = -1;
    if (!live(r.lastCell)) r.lastCell = -1;
  }
}

// Room for one more record: a free slot, else (when allowed) the slots the
// lines no longer use, else the table grows by half.
template <typename Record>
int32_t FreeSlot(WrxWindow* w, std::vector<Record>& table, bool sweep, void (*sweeper)(WrxWindow*)) {
  if (table.empty()) table.push_back(Record{});
  table[0].inUse = 1;
  auto search = [&table]() -> int32_t {
    for (size_t i = 1; i < table.size(); ++i)
      if (!table[i].inUse) return int32_t(i);
    return -1;
  };
  if (const int32_t i = search(); i > 0) return i;
  // Slots past the end of the records are free too.
  if (table.size() < table.capacity()) {
    table.push_back(Record{});
    return int32_t(table.size() - 1);
  }
  if (sweep) {
    sweeper(w);
    if (const int32_t i = search(); i > 0) return i;
  }
  try {
    if (table.size() == table.capacity()) table.reserve(table.size() + table.size() / 2 + 1);
    table.push_back(Record{});
  } catch (...) {
    return -1;
  }
  return int32_t(table.size() - 1);
}

}  // namespace

int32_t NewRowSlot(WrxWindow* w, int allowSweep) {
  const int32_t i = FreeSlot(w, w->rows, allowSweep != 0, SweepRows);
  if (i > 0) w->rows[size_t(i)] = wrxfmt::WrxRowRecord{};
  return i;
}

int32_t NewCellSlot(WrxWindow* w, int allowSweep) {
  const int32_t i = FreeSlot(w, w->cells, allowSweep != 0, SweepCells);
  if (i <= 0) return i;
  wrxfmt::WrxCellRecord& c = w->cells[size_t(i)];
  c = wrxfmt::WrxCellRecord{};
  c.colour = int32_t(w->backColor);
  c.rowSpan = c.columnSpan = 1;
  c.firstLine = c.lastLine = -1;
  return i;
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
    const int32_t row = NewRowSlot(w, 1);
    if (row < 0) break;
    wrxfmt::WrxRowRecord& rr = w->rows[size_t(row)];
    rr.inUse = 1, rr.previous = previousRow, rr.next = -1, rr.firstCell = rr.lastCell = -1, rr.gap = kRowGap;
    if (previousRow > 0) w->rows[size_t(previousRow)].next = row;
    previousRow = row;
    int32_t previousCell = -1, x = 0;
    for (int c = 0; c < columns; ++c) {
      const int32_t cell = NewCellSlot(w, 1);
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
  if (!TableCellValid(w, cursorCell)) return 0;
  int32_t model = w->cells[size_t(cursorCell)].row;
  if (!TableRowValid(w, model)) return 0;
  if (!above) {
    size_t guard = 0;
    while (TableRowValid(w, w->rows[size_t(model)].next) && guard++ < w->rows.size())
      model = w->rows[size_t(model)].next;
  }
  const std::vector<int32_t> cells = TableRowCells(w, model);
  if (cells.empty()) return 0;
  int32_t first = -1, unused = -1, rowEnd = -1;
  CellLines(w, cells.front(), &first, &unused);
  for (int32_t i = std::max(0, first); i < w->lineCount && rowEnd < 0; ++i)
    if (IsRowEndLine(w, i) && w->lines[i]->cell == cells.back()) rowEnd = i;
  if (first < 0 || rowEnd < 0) return 0;
  if (!ExpandLineArray(w, w->lineCount + int32_t(cells.size()) + 1)) return 0;
  const int32_t row = NewRowSlot(w, 1);
  if (row < 0) return 0;
  wrxfmt::WrxRowRecord copy = w->rows[size_t(model)];
  copy.firstCell = copy.lastCell = -1;
  if (above) {
    copy.previous = w->rows[size_t(model)].previous;
    copy.next = model;
    if (TableRowValid(w, copy.previous)) w->rows[size_t(copy.previous)].next = row;
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
    const int32_t cell = NewCellSlot(w, 1);
    if (cell < 0) break;
    w->cells[size_t(cell)] = w->cells[size_t(c)];
    w->cells[size_t(cell)].firstLine = w->cells[size_t(cell)].lastLine = -1;
    w->cells[size_t(cell)].flags &= ~3;
    added.push_back(cell);
    InsertMarkerLine(w, line++, w->cellEnd, GetCurrentFont(w), para, LI_CELLEND, cell);
  }
  if (added.empty()) return 0;
  RelinkRowCells(w, row, added);
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
  if (!TableCellValid(w, cell) || IsRowEndLine(w, line)) return 0;
  if (w->cells[size_t(cell)].width <= 360) return WrxBeep(w), 0;
  int32_t end = line;
  while (end < w->lineCount && w->lines[end]->cell == cell && !IsCellEndLine(w, end)) ++end;
  if (end >= w->lineCount - 1 || w->lines[end]->cell != cell) return WrxErrorBox(w, 90, "WrxSplitCell");
  const int32_t added = NewCellSlot(w, 1);
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
  if (TableCellValid(w, a.next)) w->cells[size_t(a.next)].previous = added;
  a.next = added;
  w->cells[size_t(added)] = copy;
  if (TableRowValid(w, copy.row) && w->rows[size_t(copy.row)].lastCell == cell)
    w->rows[size_t(copy.row)].lastCell = added;
  ReleaseUndo(w);
  InsertMarkerLine(w, end + 1, w->cellEnd, GetCharFont(w, end, w->lines[end]->length - 1), w->lines[end]->para,
                   LI_CELLEND, added);
  if (end + 2 < w->lineCount && IsRowEndLine(w, end + 2)) w->lines[end + 2]->cell = added;
  ++w->modified;
  PaintWrx(w);
  return 1;
}

int DeleteTableCells(WrxWindow* w, int scope) {
  static const int kScopes[] = {kTableScopeCells, kTableScopeColumns, kTableScopeRows};
  if (scope < 1 || scope > 3 || !MarkTableCells(w, kScopes[scope - 1])) return 0;
  SetCellLineRanges(w);
  // Last lines first, so the ranges of the cells still to go stay right.
  std::vector<int32_t> doomed;
  for (size_t c = 1; c < w->cells.size(); ++c)
    if (w->cells[c].inUse && (w->cells[c].flags & 3) && w->cells[c].firstLine >= 0) doomed.push_back(int32_t(c));
  std::sort(doomed.begin(), doomed.end(),
            [w](int32_t a, int32_t b) { return w->cells[size_t(a)].firstLine > w->cells[size_t(b)].firstLine; });
  ReleaseUndo(w);
  int32_t firstChanged = w->lineCount;
  for (int32_t c : doomed) {
    wrxfmt::WrxCellRecord& cell = w->cells[size_t(c)];
    const int32_t row = cell.row;
    int32_t first = cell.firstLine, last = cell.lastLine;
    std::vector<int32_t> left = TableRowCells(w, row);
    left.erase(std::remove(left.begin(), left.end(), c), left.end());
    // The row's only cell takes its row-end line with it.
    if (left.empty() && last + 1 < w->lineCount && IsRowEndLine(w, last + 1)) ++last;
    const bool whole = first == 0 && last == w->lineCount - 1;
    ShiftLines(w, first, last - first + 1, 'D');
    if (whole) w->lines[0]->cell = 0;
    firstChanged = std::min(firstChanged, first);
    cell.inUse = 0;
    cell.flags &= ~3;
    if (!TableRowValid(w, row)) continue;
    if (left.empty()) {
      wrxfmt::WrxRowRecord& r = w->rows[size_t(row)];
      if (TableRowValid(w, r.previous)) w->rows[size_t(r.previous)].next = r.next;
      if (TableRowValid(w, r.next)) w->rows[size_t(r.next)].previous = r.previous;
      r = wrxfmt::WrxRowRecord{};
      continue;
    }
    RelinkRowCells(w, row, left);
    // A row end follows the row's last cell and carries its id.
    if (first < w->lineCount && IsRowEndLine(w, first) && w->lines[first]->cell == c)
      w->lines[first]->cell = left.back();
  }
  for (size_t c = 1; c < w->cells.size(); ++c) w->cells[c].flags &= ~3;
  w->hilight = 0;
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  w->curCol = std::min(w->curCol, w->lines[w->curLine]->length);
  ++w->modified;
  if (firstChanged < w->staleLine) w->staleLine = std::max(0, firstChanged - 1);
  PaintWrx(w);
  return 1;
}

int DeleteCellsParam(HWND hwnd, int scope, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !w->arg.printView) return 0;
  // The dialog's answers stand for the same scopes.
  if (scope == kTableScopeCells) scope = 1;
  if (scope == kTableScopeColumns) scope = 2;
  if (scope == kTableScopeRows) scope = 3;
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
  if (!w || !TableCellValid(w, cell) || !TableRowValid(w, w->cells[size_t(cell)].row)) return 0;
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
  // A word wider than the window breaks anyway.
  if (w->textWidth > 0) *minimum = std::min(*minimum, MulDiv(w->textWidth, 1440, dpi));
  return 1;
}

int FitTableColumns(WrxWindow* w, int32_t availableDefault) {
  std::vector<char> seen(w->rows.size(), 0);
  for (size_t start = 1; start < w->rows.size(); ++start) {
    if (!w->rows[start].inUse || seen[start] || TableRowValid(w, w->rows[start].previous)) continue;
    std::vector<int32_t> tableRows;
    for (int32_t r = int32_t(start); TableRowValid(w, r) && !seen[size_t(r)]; r = w->rows[size_t(r)].next) {
      seen[size_t(r)] = 1;
      tableRows.push_back(r);
    }
    const int32_t available = w->rows[start].tableWidth > 0 ? w->rows[start].tableWidth : availableDefault;
    int32_t minima[kMaxFitColumns] = {}, maxima[kMaxFitColumns] = {};
    int32_t columnCount = 0;
    for (int pass = 0; pass < 2; ++pass) {  // single cells first, then spanning ones
      for (int32_t r : tableRows) {
        int32_t column = 0;
        for (int32_t c : TableRowCells(w, r)) {
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
      for (int32_t c : TableRowCells(w, r)) {
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

int CheckTableStructure(WrxWindow* w) { return RepairTables(w, false); }

int RepairTables(WrxWindow* w, bool reading) {
  bool any = false;
  for (size_t i = 1; i < w->cells.size() && !any; ++i) any = w->cells[i].inUse != 0;
  for (size_t i = 1; i < w->rows.size() && !any; ++i) any = w->rows[i].inUse != 0;
  if (!any) return 1;
  // From the end up: a cell's lines run up from its cell-end (or the row's
  // row-end) line. A line in no such run leaves the table; one whose cell is
  // gone joins the cell of its run, and so does every line of the run while
  // a document is read in.
  int32_t changed = -1, runCell = 0;
  bool inRun = false;
  auto set = [w, &changed](int32_t i, int32_t cell) {
    if (w->lines[i]->cell == cell) return;
    w->lines[i]->cell = cell;
    changed = i;
  };
  for (int32_t i = w->lineCount - 1; i >= 0; --i) {
    const int32_t cell = w->lines[i]->cell;
    if (!cell) {
      inRun = false;
      continue;
    }
    const bool valid = TableCellValid(w, cell);
    if (IsCellEndLine(w, i) || IsRowEndLine(w, i)) {
      inRun = true;
      runCell = valid ? cell : 0;
      if (!valid) set(i, 0);
    } else if (!inRun) {
      set(i, 0);
    } else if ((reading || !valid) && runCell) {
      set(i, runCell);
    } else if (!valid) {
      set(i, 0);
    }
  }
  if (changed >= 0 && changed < w->staleLine) w->staleLine = changed;
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
    while (last < w->lineCount && w->lines[last]->cell && TableCellValid(w, w->lines[last]->cell) &&
           w->cells[size_t(w->lines[last]->cell)].row == row) {
      const int32_t c = w->lines[last]->cell;
      if (cells.empty() || cells.back() != c) cells.push_back(c);
      if (IsRowEndLine(w, last)) break;
      ++last;
    }
    if (last < w->lineCount && last > i && IsRowEndLine(w, last) && !IsCellEndLine(w, last - 1)) {
      // The row ends right after a cell's text: that cell is closed first,
      // and the row end names it.
      const int32_t open = w->lines[last - 1]->cell;
      InsertMarkerLine(w, last, w->cellEnd, 0, w->lines[last - 1]->para, LI_CELLEND, open);
      ++last;
      w->lines[last]->cell = open;
      if (cells.back() != open) cells.pop_back();
      if (cells.empty() || cells.back() != open) cells.push_back(open);
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
    if (TableRowValid(w, row)) {
      RelinkRowCells(w, row, cells);
      wrxfmt::WrxRowRecord& r = w->rows[size_t(row)];
      r.previous = previousRow;
      r.next = -1;
      if (TableRowValid(w, previousRow)) w->rows[size_t(previousRow)].next = row;
      previousRow = row;
    }
    i = last + 1;
  }
  return 1;
}

int MergeTableCells(WrxWindow* w) {
  if (!w->hilight) return 0;
  const int32_t first = std::clamp(std::min(w->hlFirstLine, w->hlLastLine), 0, w->lineCount - 1);
  const int32_t last = std::clamp(std::max(w->hlFirstLine, w->hlLastLine), 0, w->lineCount - 1);
  // The cells of the block, which must lie side by side in one row.
  std::vector<int32_t> cells;
  for (int32_t i = first; i <= last; ++i) {
    const int32_t c = w->lines[i]->cell;
    if (!TableCellValid(w, c) || IsRowEndLine(w, i)) return 0;
    if (cells.empty() || cells.back() != c) {
      if (!cells.empty() && w->cells[size_t(cells.back())].next != c) return 0;
      cells.push_back(c);
    }
  }
  if (cells.size() < 2) return 0;
  const int32_t row = w->cells[size_t(cells.front())].row;
  if (!TableRowValid(w, row)) return 0;
  const int32_t survivor = cells.back();
  SetCellLineRanges(w);
  const int32_t start = w->cells[size_t(cells.front())].firstLine;
  if (start < 0) return 0;
  ReleaseUndo(w);
  // Last cell first: removing a line leaves the earlier ranges as they were.
  int32_t width = w->cells[size_t(survivor)].width;
  for (size_t k = cells.size() - 1; k-- > 0;) {
    const int32_t c = cells[k];
    const int32_t end = w->cells[size_t(c)].lastLine;
    width += w->cells[size_t(c)].width;
    if (end >= 0 && IsCellEndLine(w, end)) {
      WrxLine* l = w->lines[end];
      if (l->length == 1) {
        ShiftLines(w, end, 1, 'D');
      } else {
        l->text[l->length - 1] = char(w->paraEnd);
        if (l->info) l->info->flags &= ~uint32_t(LI_CELLEND);
        SetLineFlagsFromText(w, end);
      }
    }
    w->cells[size_t(c)].inUse = 0;
    w->cells[size_t(c)].flags &= ~3;
  }
  for (int32_t i = start; i < w->lineCount; ++i) {
    if (w->lines[i]->cell == survivor) break;
    if (std::find(cells.begin(), cells.end(), w->lines[i]->cell) == cells.end()) break;
    w->lines[i]->cell = survivor;
  }
  w->cells[size_t(survivor)].width = width;
  std::vector<int32_t> kept = TableRowCells(w, row);
  if (kept.empty() || std::find(kept.begin(), kept.end(), survivor) == kept.end()) {
    // The chain began with a merged cell: rebuild it from the survivors.
    kept.clear();
    for (size_t c = 1; c < w->cells.size(); ++c)
      if (w->cells[c].inUse && w->cells[c].row == row) kept.push_back(int32_t(c));
    std::sort(kept.begin(), kept.end(),
              [w](int32_t a, int32_t b) { return w->cells[size_t(a)].x < w->cells[size_t(b)].x; });
  }
  RelinkRowCells(w, row, kept);
  w->hilight = 0;
  w->curLine = std::clamp(start, 0, w->lineCount - 1), w->curCol = 0;
  ++w->modified;
  if (start < w->staleLine) w->staleLine = std::max(0, start - 1);
  PaintWrx(w);
  return 1;
}

int InsertTableColumn(WrxWindow* w, int fromSelection, int wholeColumns, int repaint) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t cursorCell = w->lines[line]->cell;
  if (!TableCellValid(w, cursorCell) || !TableRowValid(w, w->cells[size_t(cursorCell)].row)) return 0;
  const bool before = fromSelection && w->hilight;
  if (before) {
    if (!MarkTableCells(w, wholeColumns ? kTableScopeColumns : kTableScopeCells)) return 0;
  } else {
    // After the cursor row's last cell, in each row of its column.
    for (auto& c : w->cells) c.flags &= ~3;
    const std::vector<int32_t> cells = TableRowCells(w, w->cells[size_t(cursorCell)].row);
    if (cells.empty()) return 0;
    w->cells[size_t(cells.back())].flags |= 1;
    if (wholeColumns) {
      const int32_t edge = GetCellEndX(w, cells.back());
      for (int32_t r : TableRows(w, w->cells[size_t(cursorCell)].row))
        for (int32_t c : TableRowCells(w, r))
          if (c != cells.back() && std::abs(GetCellEndX(w, c) - edge) <= kEdgeSlack) w->cells[size_t(c)].flags |= 2;
    }
  }
  SetCellLineRanges(w);
  std::vector<int32_t> marked;
  for (size_t c = 1; c < w->cells.size(); ++c)
    if (w->cells[c].inUse && (w->cells[c].flags & 3) && w->cells[c].firstLine >= 0) marked.push_back(int32_t(c));
  if (marked.empty()) return 0;
  std::sort(marked.begin(), marked.end(),
            [w](int32_t a, int32_t b) { return w->cells[size_t(a)].firstLine > w->cells[size_t(b)].firstLine; });
  if (!ExpandLineArray(w, w->lineCount + int32_t(marked.size()))) return 0;
  ReleaseUndo(w);
  int32_t firstChanged = w->lineCount;
  for (int32_t model : marked) {
    const int32_t added = NewCellSlot(w, 0);
    if (added < 0) break;
    wrxfmt::WrxCellRecord copy = w->cells[size_t(model)];
    copy.flags &= ~3;
    copy.firstLine = copy.lastLine = -1;
    w->cells[size_t(added)] = copy;
    const int32_t row = copy.row;
    std::vector<int32_t> cells = TableRowCells(w, row);
    auto at = std::find(cells.begin(), cells.end(), model);
    if (at == cells.end()) {
      w->cells[size_t(added)].inUse = 0;
      continue;
    }
    const bool wasLast = at + 1 == cells.end();
    cells.insert(before ? at : at + 1, added);
    RelinkRowCells(w, row, cells);
    const int32_t where = before ? w->cells[size_t(model)].firstLine : w->cells[size_t(model)].lastLine + 1;
    const int32_t fontLine = before ? where : where - 1;
    const int font = w->inputFont >= 0 && w->inputFont < w->fontCount ? w->inputFont : GetCharFont(w, fontLine, 0);
    if (!InsertMarkerLine(w, where, w->cellEnd, font, w->lines[fontLine]->para, LI_CELLEND, added)) break;
    // A new last cell of its row carries the row end.
    if (!before && wasLast && where + 1 < w->lineCount && IsRowEndLine(w, where + 1)) w->lines[where + 1]->cell = added;
    if (w->curLine >= where) ++w->curLine;
    firstChanged = std::min(firstChanged, where);
  }
  for (auto& c : w->cells) c.flags &= ~3;
  w->hilight = 0;  // its lines have moved
  ++w->modified;
  if (firstChanged < w->staleLine) w->staleLine = std::max(0, firstChanged - 1);
  if (repaint) PaintWrx(w);
  return 1;
}

int AdjustBlockToCells(WrxWindow* w) {
  if (!w->arg.wordWrap || w->hilight != 2) return 1;
  const int32_t anchorLine = std::clamp(w->hlFirstLine, 0, w->lineCount - 1);
  const int32_t endLine = std::clamp(w->hlLastLine, 0, w->lineCount - 1);
  const int32_t startCell = w->lines[anchorLine]->cell;
  const int32_t endCell = w->lines[endLine]->cell;
  if (!startCell || startCell == endCell) return 1;
  // The first line of a line's row and the line after its row end.
  auto rowStart = [w](int32_t line) {
    while (line > 0 && w->lines[line - 1]->cell && !IsRowEndLine(w, line - 1)) --line;
    return line;
  };
  auto afterRow = [w](int32_t line) {
    while (line < w->lineCount && w->lines[line]->cell && !IsRowEndLine(w, line)) ++line;
    return std::min(line + 1, w->lineCount - 1);
  };
  // A block leaving a cell takes whole rows at both ends.
  const bool forward = RowColToAbs(w, endLine, w->hlLastCol) >= RowColToAbs(w, anchorLine, w->hlFirstCol);
  const int32_t top = forward ? anchorLine : endLine, bottom = forward ? endLine : anchorLine;
  const int32_t from = w->lines[top]->cell ? rowStart(top) : top;
  const int32_t fromCol = w->lines[top]->cell ? 0 : (forward ? w->hlFirstCol : w->hlLastCol);
  const int32_t to = w->lines[bottom]->cell ? afterRow(bottom) : bottom;
  const int32_t toCol = w->lines[bottom]->cell ? 0 : (forward ? w->hlLastCol : w->hlFirstCol);
  if (forward) {
    w->hlFirstLine = from, w->hlFirstCol = fromCol, w->hlLastLine = to, w->hlLastCol = toCol;
  } else {
    w->hlLastLine = from, w->hlLastCol = fromCol, w->hlFirstLine = to, w->hlFirstCol = toCol;
  }
  if (w->hlFirstLine == w->hlLastLine && w->hlFirstCol == w->hlLastCol) {
    w->hilight = 0;
    PaintWrx(w);
  }
  return 1;
}
