// Rows and cells of RTF tables, built while the reader reads.
#include "wrx/wrx_rtf_tables.h"
#include "wrx/wrx_tables.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int32_t kDefaultGap = 60;
constexpr int32_t kMerged = 64;  // the cell flag of a cell merged with the one to its left
}  // namespace

int32_t RtfTables::StartRow(const wrxfmt::WrxRowRecord* model) {
  if (failed_) return 0;
  const int32_t row = NewRowSlot(w_, 0);  // rows come before their lines
  if (row < 0) {
    WrxErrorBox(w_, 112, "CopyRtfRow");
    failed_ = true;
    return 0;
  }
  wrxfmt::WrxRowRecord& r = w_->rows[size_t(row)];
  if (model) r = *model;
  r.inUse = 1;
  r.firstCell = r.lastCell = -1;
  if (!model) r.gap = kDefaultGap;
  r.previous = previousRow_;
  r.next = -1;
  if (previousRow_ > 0 && size_t(previousRow_) < w_->rows.size()) w_->rows[size_t(previousRow_)].next = row;
  row_ = row;
  cells_.clear();
  cellIndex_ = reuseIndex_ = 0;
  reuse_ = false;
  edge_ = r.left;
  nextCell_ = wrxfmt::WrxCellRecord{};
  return row;
}

int32_t RtfTables::AddCell(int32_t rightEdge) {
  const int32_t cell = NewCellSlot(w_, 0);
  if (cell < 0) {
    WrxErrorBox(w_, 101, "RtfRead");
    failed_ = true;
    return 0;
  }
  wrxfmt::WrxRowRecord& r = w_->rows[size_t(row_)];
  wrxfmt::WrxCellRecord& c = w_->cells[size_t(cell)];
  const int32_t colour = c.colour;
  c = nextCell_;
  c.inUse = 1;
  c.row = row_;
  c.colour = colourSet_ ? nextCell_.colour : colour;
  c.rowSpan = c.columnSpan = 1;
  c.firstLine = c.lastLine = -1;
  c.margin = std::clamp(r.gap, 0, 1440);
  c.x = edge_ - r.left;
  c.width = std::max(1, rightEdge - edge_);
  edge_ = std::max(edge_ + 1, rightEdge);
  c.previous = cells_.empty() ? -1 : cells_.back();
  c.next = -1;
  if (!cells_.empty()) w_->cells[size_t(cells_.back())].next = cell;
  if (r.firstCell <= 0) r.firstCell = cell;
  r.lastCell = cell;
  cells_.push_back(cell);
  nextCell_ = wrxfmt::WrxCellRecord{};
  colourSet_ = false;
  side_ = -1;
  return cell;
}

bool RtfTables::Word(const std::string& word, bool hasParam, int32_t param) {
  const int32_t p = hasParam ? param : 0;
  if (word == "trowd") {
    // A second definition inside a row that is not ended updates its cells.
    if (row_ && !cells_.empty()) {
      reuse_ = true;
      reuseIndex_ = 0;
      edge_ = w_->rows[size_t(row_)].left;
    } else if (!row_) {
      StartRow(nullptr);
    }
    return true;
  }
  if (word == "cellx") {
    if (!row_) {
      if (!havePending_) {
        if (!failed_) WrxErrorBox(w_, 6, "RtfRead");
        failed_ = true;
        return true;
      }
      StartRow(&pendingRow_);
    }
    if (!row_) return true;
    const int32_t right = std::clamp(p, -31680, 31680);
    if (reuse_) {
      if (reuseIndex_ < cells_.size()) {
        wrxfmt::WrxCellRecord& c = w_->cells[size_t(cells_[reuseIndex_++])];
        c.x = edge_ - w_->rows[size_t(row_)].left;
        c.width = std::max(1, right - edge_);
      }
      edge_ = std::max(edge_ + 1, right);
      return true;
    }
    AddCell(right);
    return true;
  }
  wrxfmt::WrxRowRecord* r = row_ ? &w_->rows[size_t(row_)] : nullptr;
  if (word == "trgaph") {
    if (r) r->gap = std::clamp(p, 0, 1440);
    return true;
  }
  if (word == "trleft") {
    if (r && cells_.empty()) r->left = edge_ = std::clamp(p, 0, 31680);
    return true;
  }
  if (word == "trqc" || word == "trqr") {
    if (r) r->flags = (r->flags & ~3) | (word == "trqc" ? 1 : 2);
    return true;
  }
  if (word == "trrh") {
    if (r) r->minHeight = std::min(std::abs(p), 31680);
    return true;
  }
  if (word == "trhdr" || word == "trkeep" || word == "intbl" || word == "kqtblend") return true;
  if (word == "clbrdrt" || word == "clbrdrb" || word == "clbrdrl" || word == "clbrdrr") {
    side_ = word == "clbrdrt" ? 0 : word == "clbrdrb" ? 1 : word == "clbrdrl" ? 2 : 3;
    nextCell_.borderSides |= 1 << side_;
    nextCell_.borderWidths[side_] = 15;
    return true;
  }
  if (word == "brdrw" && side_ >= 0) {
    nextCell_.borderWidths[side_] = std::clamp(p, 0, 1440);
    return false;  // paragraph borders read it too
  }
  if (word == "clshdng") {
    nextCell_.shading = std::clamp(p / 100, 0, 100);
    return true;
  }
  if (word == "clcfpat" || word == "clcbpat") {
    // The shading's colour; the background pattern colour is what other
    // writers give a filled cell.
    if (colours_ && p > 0 && size_t(p) < colours_->size()) {
      nextCell_.colour = int32_t((*colours_)[size_t(p)] & 0xFFFFFF);
      colourSet_ = true;
    }
    return true;
  }
  if (word == "clmrg") {
    nextCell_.flags |= kMerged;
    return true;
  }
  return false;
}

int32_t RtfTables::TextCell() {
  if (!row_) {
    previousRow_ = -1;  // text outside a row ends the table
    return 0;
  }
  if (cells_.empty()) return 0;
  if (cellIndex_ >= cells_.size()) {
    // More cells than the definition gave: one more of the last one's width.
    if (!AddCell(edge_ + w_->cells[size_t(cells_.back())].width)) return cells_.back();
  }
  size_t k = cellIndex_;
  while (k > 0 && (w_->cells[size_t(cells_[k])].flags & kMerged)) --k;
  return cells_[k];
}

bool RtfTables::CellMerged() const {
  return row_ && cellIndex_ > 0 && cellIndex_ < cells_.size() &&
         (w_->cells[size_t(cells_[cellIndex_])].flags & kMerged);
}

void RtfTables::FoldMergedCells() {
  std::vector<int32_t> kept;
  for (size_t k = 0; k < cells_.size(); ++k) {
    wrxfmt::WrxCellRecord& c = w_->cells[size_t(cells_[k])];
    if (!(c.flags & kMerged)) {
      kept.push_back(cells_[k]);
      continue;
    }
    c.flags &= ~kMerged;
    if (kept.empty()) {
      kept.push_back(cells_[k]);  // nothing before it to merge with
      continue;
    }
    w_->cells[size_t(kept.back())].width += c.width;
    c.inUse = 0;
  }
  if (kept.size() == cells_.size()) return;
  for (size_t k = 0; k < kept.size(); ++k) {
    wrxfmt::WrxCellRecord& c = w_->cells[size_t(kept[k])];
    c.previous = k ? kept[k - 1] : -1;
    c.next = k + 1 < kept.size() ? kept[k + 1] : -1;
  }
  wrxfmt::WrxRowRecord& r = w_->rows[size_t(row_)];
  r.firstCell = kept.front();
  r.lastCell = kept.back();
  cells_ = kept;
}

void RtfTables::EndCell() {
  if (row_) ++cellIndex_;
}

int32_t RtfTables::EndRow() {
  if (!row_) return 0;
  const int32_t row = row_;
  // Cells that received no text go: every cell is a run of lines.
  const size_t used = std::max<size_t>(1, std::min(cellIndex_, cells_.size()));
  for (size_t k = used; k < cells_.size(); ++k) w_->cells[size_t(cells_[k])].inUse = 0;
  if (cells_.size() > used) {
    cells_.resize(used);
    w_->cells[size_t(cells_.back())].next = -1;
    w_->rows[size_t(row)].lastCell = cells_.back();
  }
  FoldMergedCells();
  const int32_t last = cells_.empty() ? 0 : cells_.back();
  pendingRow_ = w_->rows[size_t(row)];
  pendingCells_.clear();
  for (int32_t c : cells_) pendingCells_.push_back(w_->cells[size_t(c)]);
  havePending_ = true;
  previousRow_ = row;
  row_ = 0;
  cells_.clear();
  cellIndex_ = 0;
  reuse_ = false;
  return last;
}

int FinishRtfTables(WrxWindow* w) {
  for (int32_t i = 0; i < w->lineCount; ++i) {
    WrxLine* l = w->lines[i];
    if (!l->cell || !l->length) continue;
    const uint8_t last = uint8_t(l->text[l->length - 1]);
    const uint32_t flag = last == w->cellEnd ? LI_CELLEND : (l->length == 1 && last == WRX_ROWEND) ? LI_ROWEND : 0;
    if (flag && AllocLineInfo(w, i)) l->info->flags |= flag;
  }
  return RepairTables(w, true);
}
