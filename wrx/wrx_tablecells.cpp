// Which cells a table operation applies to, the lookups between neighbouring
// rows, the row and cell formats (height, position, borders, shading, the
// cell grid), and the cells the HTML reader adds one by one.
#include "wrx/wrx.h"
#include "wrx/wrx_tables.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int32_t kEdgeSlack = 60;  // twips within which two cell edges agree
constexpr int32_t kCellMargin = 60;
constexpr int32_t kRowGap = 60;
constexpr int32_t kAutomaticWidth = 1000;
constexpr int32_t kMaxBorder = 720;

bool EdgesAgree(int32_t a, int32_t b) { return std::abs(a - b) <= kEdgeSlack; }

int32_t CursorCell(const WrxWindow* w) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t cell = w->lines[line]->cell;
  return TableCellValid(w, cell) ? cell : 0;
}

// The highlight's lines in text order, or the cursor's line.
void OperationLines(const WrxWindow* w, int32_t* first, int32_t* last) {
  if (w->hilight) {
    *first = std::clamp(std::min(w->hlFirstLine, w->hlLastLine), 0, w->lineCount - 1);
    *last = std::clamp(std::max(w->hlFirstLine, w->hlLastLine), 0, w->lineCount - 1);
  } else {
    *first = *last = std::clamp(w->curLine, 0, w->lineCount - 1);
  }
}

// Flag 2 on the cells of other rows of the table that line up with a marked
// cell's right edge.
void ExtendToColumns(WrxWindow* w) {
  std::vector<int32_t> marked;
  for (size_t c = 1; c < w->cells.size(); ++c)
    if (w->cells[c].inUse && (w->cells[c].flags & 1)) marked.push_back(int32_t(c));
  for (int32_t c : marked) {
    const int32_t edge = GetCellEndX(w, c);
    for (int32_t r : TableRows(w, w->cells[size_t(c)].row)) {
      if (r == w->cells[size_t(c)].row) continue;
      for (int32_t other : TableRowCells(w, r))
        if (EdgesAgree(GetCellEndX(w, other), edge)) w->cells[size_t(other)].flags |= 2;
    }
  }
}

void ExtendToRows(WrxWindow* w) {
  std::vector<int32_t> rows;
  for (size_t c = 1; c < w->cells.size(); ++c)
    if (w->cells[c].inUse && (w->cells[c].flags & 1)) rows.push_back(w->cells[c].row);
  for (int32_t r : rows)
    for (int32_t c : TableRowCells(w, r)) w->cells[size_t(c)].flags |= 2;
}

// The rows a row-format change applies to: the highlight's (or the cursor's)
// or the whole table of the cursor.
std::vector<int32_t> RowsConcerned(WrxWindow* w, int wholeTable) {
  std::vector<int32_t> rows;
  const int32_t cell = CursorCell(w);
  if (!cell) return rows;
  if (wholeTable) return TableRows(w, w->cells[size_t(cell)].row);
  int32_t first, last;
  OperationLines(w, &first, &last);
  for (int32_t i = first; i <= last; ++i) {
    const int32_t c = w->lines[i]->cell;
    if (TableCellValid(w, c) && TableRowValid(w, w->cells[size_t(c)].row) &&
        std::find(rows.begin(), rows.end(), w->cells[size_t(c)].row) == rows.end())
      rows.push_back(w->cells[size_t(c)].row);
  }
  return rows;
}

// The table-format commands need pagination (print view until the page
// layout is built) and the cursor in a cell.
WrxWindow* TableWindow(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !w->arg.printView || !CursorCell(w)) return nullptr;
  return w;
}

// The scope numbers of the host calls (1 cells, 2 columns, 3 rows, 4 table)
// or the dialog's own answers.
int MarkScope(int scope) {
  switch (scope) {
    case 1: return kTableScopeCells;
    case 2: return kTableScopeColumns;
    case 3: return kTableScopeRows;
    case 4: return kTableScopeTable;
    case kTableScopeCells:
    case kTableScopeColumns:
    case kTableScopeRows:
    case kTableScopeTable: return scope;
    default: return 0;
  }
}

void FinishFormatChange(WrxWindow* w, int dropSlots, int repaint) {
  for (size_t c = 1; c < w->cells.size(); ++c) w->cells[c].flags &= ~3;
  ReleaseUndo(w);
  ++w->modified;
  if (dropSlots) ClearPictSlots(w, 0);
  if (repaint) PaintWrx(w);
}

}  // namespace

void SetCellLineRanges(WrxWindow* w) {
  for (auto& c : w->cells) c.firstLine = c.lastLine = -1;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const int32_t c = w->lines[i]->cell;
    if (!TableCellValid(w, c) || IsRowEndLine(w, i)) continue;
    wrxfmt::WrxCellRecord& cell = w->cells[size_t(c)];
    if (cell.firstLine < 0) cell.firstLine = i;
    cell.lastLine = i;
  }
}

int MarkTableCells(WrxWindow* w, int scope) {
  if (w->cells.size() < 2 || w->lineCount < 1) return 0;
  for (auto& c : w->cells) c.flags &= ~3;
  bool any = false;
  if (scope == kTableScopeTable) {
    const int32_t cell = CursorCell(w);
    if (!cell) return 0;
    for (int32_t r : TableRows(w, w->cells[size_t(cell)].row))
      for (int32_t c : TableRowCells(w, r)) w->cells[size_t(c)].flags |= 1, any = true;
    return any ? 1 : 0;
  }
  int32_t first, last;
  OperationLines(w, &first, &last);
  for (int32_t i = first; i <= last; ++i) {
    const int32_t c = w->lines[i]->cell;
    if (TableCellValid(w, c)) w->cells[size_t(c)].flags |= 1, any = true;
  }
  if (!any) {
    const int32_t cell = CursorCell(w);
    if (!cell) return 0;
    w->cells[size_t(cell)].flags |= 1;
  }
  if (scope == kTableScopeColumns) ExtendToColumns(w);
  if (scope == kTableScopeRows) ExtendToRows(w);
  return 1;
}

int32_t GetCellEndX(const WrxWindow* w, int32_t cell) {
  if (!TableCellValid(w, cell) || !TableRowValid(w, w->cells[size_t(cell)].row)) return 0;
  const int32_t row = w->cells[size_t(cell)].row;
  int32_t x = w->rows[size_t(row)].left;
  for (int32_t c : TableRowCells(w, row)) {
    x += w->cells[size_t(c)].width;
    if (c == cell) return x;
  }
  return 0;
}

namespace {

int32_t FindAlignedCell(const WrxWindow* w, int32_t cell, bool below) {
  if (!TableCellValid(w, cell) || !TableRowValid(w, w->cells[size_t(cell)].row)) return -1;
  const int32_t edge = GetCellEndX(w, cell);
  int32_t row = w->cells[size_t(cell)].row;
  for (size_t guard = 0; guard < w->rows.size(); ++guard) {
    row = below ? w->rows[size_t(row)].next : w->rows[size_t(row)].previous;
    if (!TableRowValid(w, row)) break;
    for (int32_t c : TableRowCells(w, row))
      if (EdgesAgree(GetCellEndX(w, c), edge)) return c;
  }
  return -1;
}

}  // namespace

int32_t FindCellBelow(const WrxWindow* w, int32_t cell) { return FindAlignedCell(w, cell, true); }
int32_t FindCellAbove(const WrxWindow* w, int32_t cell) { return FindAlignedCell(w, cell, false); }

int32_t CellAboveByIndex(const WrxWindow* w, int32_t cell, int strict) {
  if (!TableCellValid(w, cell)) return -1;
  const int32_t row = w->cells[size_t(cell)].row;
  if (!TableRowValid(w, row)) return -1;
  const std::vector<int32_t> mine = TableRowCells(w, row);
  const std::vector<int32_t> above = TableRowCells(w, w->rows[size_t(row)].previous);
  if (above.empty()) return -1;
  const size_t index = size_t(std::find(mine.begin(), mine.end(), cell) - mine.begin());
  const int32_t found = above[std::min(index, above.size() - 1)];
  if (strict) {
    const wrxfmt::WrxCellRecord &a = w->cells[size_t(found)], &b = w->cells[size_t(cell)];
    if (!EdgesAgree(a.x, b.x) || !EdgesAgree(a.width, b.width)) return -1;
  }
  return found;
}

int32_t MatchingNeighbourCell(const WrxWindow* w, int32_t cell, int below) {
  if (!TableCellValid(w, cell)) return 0;
  const int32_t row = w->cells[size_t(cell)].row;
  if (!TableRowValid(w, row)) return 0;
  const int32_t other = below ? w->rows[size_t(row)].next : w->rows[size_t(row)].previous;
  if (!TableRowValid(w, other)) return 0;
  const wrxfmt::WrxRowRecord &a = w->rows[size_t(row)], &b = w->rows[size_t(other)];
  if (a.left != b.left || (a.flags & 3) != (b.flags & 3)) return 0;
  const std::vector<int32_t> mine = TableRowCells(w, row), theirs = TableRowCells(w, other);
  if (mine.size() != theirs.size()) return 0;
  int32_t found = 0;
  for (size_t k = 0; k < mine.size(); ++k) {
    if (!EdgesAgree(GetCellEndX(w, mine[k]), GetCellEndX(w, theirs[k]))) return 0;
    if (mine[k] == cell) found = theirs[k];
  }
  return found;
}

int ToggleCellGrid(WrxWindow* w) {
  if (!w->arg.pageMode) return 0;
  w->gridLines = !w->gridLines;
  ClearPictSlots(w, 0);
  PaintWrx(w);
  return 1;
}

int RowHeightParam(HWND hwnd, int height, int wholeTable, int repaint) {
  WrxWindow* w = TableWindow(hwnd);
  if (!w || height < 0) return 0;  // asking needs the dialog
  const std::vector<int32_t> rows = RowsConcerned(w, wholeTable == kTableScopeWholeTable || wholeTable == 1);
  if (rows.empty()) return 0;
  for (int32_t r : rows) w->rows[size_t(r)].minHeight = std::min(height, 31680);
  FinishFormatChange(w, 0, repaint);
  return 1;
}

int RowPositionParam(HWND hwnd, int alignment, int wholeTable, int repaint) {
  WrxWindow* w = TableWindow(hwnd);
  if (!w) return 0;
  // 0 asks with the dialog, whose buttons 892-894 stand for left, centre
  // and right.
  if (alignment >= 892 && alignment <= 894)
    alignment -= 892;
  else if (alignment != 1 && alignment != 2)
    return 0;
  const std::vector<int32_t> rows = RowsConcerned(w, wholeTable == kTableScopeWholeTable || wholeTable == 1);
  if (rows.empty()) return 0;
  for (int32_t r : rows) {
    w->rows[size_t(r)].flags = (w->rows[size_t(r)].flags & ~3) | alignment;
    w->rows[size_t(r)].left = 0;
  }
  FinishFormatChange(w, 0, repaint);
  return 1;
}

int CellBorderParam(HWND hwnd, int scope, int top, int bottom, int left, int right, int repaint) {
  WrxWindow* w = TableWindow(hwnd);
  const int mark = MarkScope(scope);
  if (!w || !mark || !MarkTableCells(w, mark)) return 0;
  const int widths[4] = {top, bottom, left, right};
  for (size_t c = 1; c < w->cells.size(); ++c) {
    wrxfmt::WrxCellRecord& cell = w->cells[c];
    if (!cell.inUse || !(cell.flags & 3)) continue;
    for (int side = 0; side < 4; ++side) {
      if (widths[side] < 0) continue;  // a blank field keeps the cells' widths
      cell.borderWidths[side] = std::min(widths[side], kMaxBorder);
      if (widths[side] > 0)
        cell.borderSides |= 1 << side;
      else
        cell.borderSides &= ~(1 << side);
    }
  }
  FinishFormatChange(w, 1, repaint);
  return 1;
}

int CellShadingParam(HWND hwnd, int scope, int shading, int repaint) {
  WrxWindow* w = TableWindow(hwnd);
  const int mark = MarkScope(scope);
  if (!w || !mark || shading < 0 || !MarkTableCells(w, mark)) return 0;
  for (size_t c = 1; c < w->cells.size(); ++c)
    if (w->cells[c].inUse && (w->cells[c].flags & 3)) w->cells[c].shading = std::min(shading, 100);
  FinishFormatChange(w, 1, repaint);
  return 1;
}

int WrxAddTableCell(HWND hwnd, int newRow, int cell, int alignment, int x, int minHeight, int width, int shading,
                    int left, int right, int top, int bottom, int rowSpan, int columnSpan, int flags) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !w->arg.printView) return 0;
  if (cell != 0 && !TableCellValid(w, cell)) return 0;
  if (cell == 0 && !newRow) return 0;
  const int32_t row = cell ? w->cells[size_t(cell)].row : 0;
  if (cell && !TableRowValid(w, row)) return 0;
  if (cell && !newRow && TableCellValid(w, w->cells[size_t(cell)].next)) return 0;  // not the row's last cell
  if (cell && newRow && TableRowValid(w, w->rows[size_t(row)].next)) return 0;      // not the table's last row
  int32_t target = row;
  if (newRow) {
    target = NewRowSlot(w, 0);  // its cells get their lines later
    if (target < 0) return 0;
    wrxfmt::WrxRowRecord& r = w->rows[size_t(target)];
    if (row) r = w->rows[size_t(row)];
    r.inUse = 1;
    r.firstCell = r.lastCell = -1;
    r.previous = row ? row : -1;
    r.next = -1;
    if (!row) r.gap = kRowGap;
    r.flags = (r.flags & ~3) | (alignment & 3);
    r.minHeight = std::max(0, minHeight);
    if (row) w->rows[size_t(row)].next = target;
  }
  const int32_t added = NewCellSlot(w, 0);
  if (added < 0) return 0;
  wrxfmt::WrxCellRecord c = w->cells[size_t(added)];
  if (cell) c = w->cells[size_t(cell)];
  if (!cell) c.margin = kCellMargin;
  c.inUse = 1;
  c.row = target;
  c.firstLine = c.lastLine = -1;
  const std::vector<int32_t> before = newRow ? std::vector<int32_t>{} : TableRowCells(w, target);
  c.x = before.empty() ? std::max(0, x) : w->cells[size_t(before.back())].x + w->cells[size_t(before.back())].width;
  c.flags = 0;
  if (width < 1) {
    c.width = kAutomaticWidth;
    c.flags |= 8;
  } else {
    c.width = width;
  }
  c.shading = std::clamp(shading, 0, 100);
  c.borderSides = 0;
  const int widths[4] = {top, bottom, left, right};
  for (int side = 0; side < 4; ++side) {
    c.borderWidths[side] = std::clamp(widths[side], 0, kMaxBorder);
    if (widths[side] > 0) c.borderSides |= 1 << side;
  }
  if (rowSpan < 1) c.flags |= 16;
  if (columnSpan < 1) c.flags |= 64;
  c.rowSpan = std::max(1, rowSpan);
  c.columnSpan = std::max(1, columnSpan);
  c.flags |= flags & ~3;
  c.previous = before.empty() ? -1 : before.back();
  c.next = -1;
  w->cells[size_t(added)] = c;
  if (!before.empty()) w->cells[size_t(before.back())].next = added;
  wrxfmt::WrxRowRecord& r = w->rows[size_t(target)];
  if (r.firstCell <= 0) r.firstCell = added;
  r.lastCell = added;
  return added;
}

int WrxMergeCells(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w && w->arg.printView ? MergeTableCells(w) : 0;
}

int WrxInsertColumn(HWND hwnd, int fromSelection, int wholeColumns, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w && w->arg.printView ? InsertTableColumn(w, fromSelection, wholeColumns, repaint) : 0;
}
