// Table services shared by the table commands, the RTF reader's table part
// and the page view: record checks, row walks, cell marking for an
// operation, and the lookups between neighbouring rows.
#pragma once

#include "wrx/wrx_block.h"

#include <vector>

// Scopes of the table dialogs: the whole table, the selected cells, whole
// columns, whole rows, and a row-format change over the whole table.
constexpr int kTableScopeTable = 942;
constexpr int kTableScopeCells = 889;
constexpr int kTableScopeColumns = 887;
constexpr int kTableScopeRows = 888;
constexpr int kTableScopeWholeTable = 891;

bool TableRowValid(const WrxWindow* w, int32_t row);
bool TableCellValid(const WrxWindow* w, int32_t cell);
bool IsCellEndLine(const WrxWindow* w, int32_t line);
bool IsRowEndLine(const WrxWindow* w, int32_t line);
// The cells of a row in link order (bounded, so a damaged chain cannot loop).
std::vector<int32_t> TableRowCells(const WrxWindow* w, int32_t row);
// The rows of the table that holds `row`, first to last.
std::vector<int32_t> TableRows(const WrxWindow* w, int32_t row);
// Links the cells of a row in this order, laid side by side from x 0.
void RelinkRowCells(WrxWindow* w, int32_t row, const std::vector<int32_t>& cells);

// Every cell's first and last line (the row-end line not counted); -1 when
// no line holds the cell.
void SetCellLineRanges(WrxWindow* w);
// Flags 1 on the cells of the highlight (or the cursor's cell), extended by
// flag 2 to whole columns (887) or rows (888); 942 marks the cursor's whole
// table. 0 when no cell is concerned.
int MarkTableCells(WrxWindow* w, int scope);

int32_t GetCellEndX(const WrxWindow* w, int32_t cell);
// The first cell of the following (preceding) rows of the table whose right
// edge lies within 60 twips of this cell's; -1 when none.
int32_t FindCellBelow(const WrxWindow* w, int32_t cell);
int32_t FindCellAbove(const WrxWindow* w, int32_t cell);
// The cell of the previous row at the same place in the row (its last when
// that row is shorter); strict: -1 unless x and width agree within 60 twips.
int32_t CellAboveByIndex(const WrxWindow* w, int32_t cell, int strict);
// The cell of the next (below) or previous row at the same place when both
// rows line up cell for cell; 0 otherwise.
int32_t MatchingNeighbourCell(const WrxWindow* w, int32_t cell, int below);

int MergeTableCells(WrxWindow* w);
int InsertTableColumn(WrxWindow* w, int fromSelection, int wholeColumns, int repaint);
int ToggleCellGrid(WrxWindow* w);

// Page view: each text frame that holds table lines is cut into a frame for
// the text before, a row frame and a frame per cell for every row, and a
// frame for the text after; fills the screen-line offsets of the new
// frames. Returns the count of frames to draw after `drawable`.
int32_t PlaceTableFrames(WrxWindow* w, int32_t drawable);
// CheckTableStructure; `reading`: a document is being read in, and every
// line takes the cell of the cell-end or row-end line that closes its run.
int RepairTables(WrxWindow* w, bool reading);
// The colour a cell's shading paints its background, false when the cell is
// not shaded: a percentage over the window background is a grey, over a
// colour of its own that colour scaled; a colour without a percentage is
// used as it is.
bool CellShadeColour(const WrxWindow* w, int32_t cell, COLORREF* colour);
