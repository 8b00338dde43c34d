// Table rows and cells as the RTF reader meets them: row definitions
// (`trowd`, `cellx` and the row and cell words) become row and cell records,
// and the reader asks which cell the text it reads belongs to.
#pragma once

#include "wrx/wrx_block.h"

#include <string>
#include <vector>

class RtfTables {
 public:
  // `colours`: the document's colour table as it is read, for cell colours.
  explicit RtfTables(WrxWindow* w, const std::vector<COLORREF>* colours = nullptr) : w_(w), colours_(colours) {}
  // A table word: true when it was one (and has been taken).
  bool Word(const std::string& word, bool hasParam, int32_t param);
  // The cell the text read now belongs to; 0 outside a row.
  int32_t TextCell();
  // The cell text is read into now was merged with the one before it
  // (`clmrg`): its text belongs to that cell, which TextCell names.
  bool CellMerged() const;
  // `cell`: the text moves on to the row's next cell.
  void EndCell();
  // `row`: the row's last cell (its row-end line carries it), 0 when no row
  // was open.
  int32_t EndRow();
  bool failed() const { return failed_; }

 private:
  int32_t StartRow(const wrxfmt::WrxRowRecord* model);
  int32_t AddCell(int32_t rightEdge);
  // Merged cells go into the cell before them: widths added, links mended.
  void FoldMergedCells();

  WrxWindow* w_;
  const std::vector<COLORREF>* colours_;
  bool colourSet_ = false;      // the next cell's colour was given
  int32_t row_ = 0;             // the row being read, 0 none
  std::vector<int32_t> cells_;  // its cells in order
  size_t cellIndex_ = 0;        // the cell text goes to
  size_t reuseIndex_ = 0;       // a repeated definition updates the cells in order
  bool reuse_ = false;
  int32_t previousRow_ = -1;  // the table's last row read
  int32_t edge_ = 0;          // right edge of the last cell (twips)
  // Borders and shading collected for the next cell.
  int32_t side_ = -1;
  wrxfmt::WrxCellRecord nextCell_{};
  // The last row read, for a row that brings no definition of its own.
  bool havePending_ = false;
  wrxfmt::WrxRowRecord pendingRow_{};
  std::vector<wrxfmt::WrxCellRecord> pendingCells_;
  bool failed_ = false;
};

// After reading: the cell-end and row-end lines get their line flags and the
// records are checked against the lines.
int FinishRtfTables(WrxWindow* w);
