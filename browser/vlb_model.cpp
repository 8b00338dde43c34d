#include "browser/vlb_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

void Invalidate(VlbState& s, const VlbView& v) {
  v.invalidate(v.window, 0, -1);
  s.repaintPending = 1;
}

// Adds, deletions and top changes: one invalidation until the next paint.
void MarkChanged(VlbState& s, const VlbView& v) {
  s.scrollRecompute = 1;
  if (!s.repaintPending) Invalidate(s, v);
}

void RepaintRows(VlbState& s, const VlbView& v, int32_t a, int32_t b) {
  if (a > b) std::swap(a, b);
  int32_t last = s.top + s.rowsPerPage;  // one partial row may show
  if (b < s.top || a > last) return;
  a = std::max(a, s.top);
  b = std::min(b, last);
  v.invalidate(v.window, (a - s.top) * s.rowHeight, (b - s.top + 1) * s.rowHeight);
}

void RepaintRow(VlbState& s, const VlbView& v, int32_t row) { RepaintRows(s, v, row, row); }

int32_t ScrollPosition(const VlbState& s) {
  if (!s.scaled || s.count == 0) return s.top;
  return static_cast<int32_t>(static_cast<int64_t>(s.top) * 1000 / s.count);
}

void SyncScrollPos(VlbState& s, const VlbView& v) {
  if (s.top == s.scrollTop) return;
  v.setScrollPos(v.window, ScrollPosition(s));
  s.scrollTop = s.top;
}

int32_t LastTop(const VlbState& s) { return std::max(0, s.count - s.rowsPerPage); }

void ClearBits(VlbState& s, int32_t low, int32_t high) {
  if (!s.table) return;
  low = std::max(low, 0);
  high = std::min(high, s.count - 1);
  for (int32_t r = low; r <= high; ++r) s.table[r] &= ~kVlbSelectedBit;
}

void SetBits(VlbState& s, int32_t low, int32_t high, bool on) {
  if (!s.table) return;
  low = std::max(low, 0);
  high = std::min(high, s.count - 1);
  for (int32_t r = low; r <= high; ++r) {
    if (on)
      s.table[r] |= kVlbSelectedBit;
    else
      s.table[r] &= ~kVlbSelectedBit;
  }
}

void WidenSpan(VlbState& s, int32_t row) {
  s.spanLow = std::min(s.spanLow, row);
  s.spanHigh = std::max(s.spanHigh, row);
}

// The row's place on the page: scrolled into view with a whole repaint.
void ScrollIntoView(VlbState& s, const VlbView& v, int32_t row) {
  if (row < s.top) {
    s.top = row;
    Invalidate(s, v);
  } else if (s.rowsPerPage > 0 && row > s.top + s.rowsPerPage - 1) {
    s.top = std::max(0, row - s.rowsPerPage + 1);
    Invalidate(s, v);
  }
}

// The table grows and shrinks in steps of 8192 rows: c rows with c + 1 a
// multiple of the step hold 4c + 32768 bytes.
bool ResizeTableFor(VlbState& s, int32_t c) {
  if ((c + 1) % kVlbTableStepRows != 0) return true;
  size_t bytes = static_cast<size_t>(c) * 4 + 32768;
  auto* grown = static_cast<uint32_t*>(std::realloc(s.table, bytes));
  if (!grown) return false;
  if (bytes > static_cast<size_t>(s.tableBytes))
    std::memset(reinterpret_cast<char*>(grown) + s.tableBytes, 0, bytes - s.tableBytes);
  s.table = grown;
  s.tableBytes = static_cast<int32_t>(bytes);
  return true;
}

// Room for one more row; false when the list is full or memory runs out.
bool RoomForOne(VlbState& s) {
  if (s.count + 1 >= kVlbMaxRows + 1) return false;
  if (!s.table) {
    s.table = static_cast<uint32_t*>(std::calloc(1, 32768));
    if (!s.table) return false;
    s.tableBytes = 32768;
  }
  return static_cast<size_t>(s.count + 1) * 4 <= static_cast<size_t>(s.tableBytes);
}

}  // namespace

void VlbInit(VlbState& s) {
  std::memset(&s, 0, sizeof s);
  s.scrollTop = -1;
  s.smooth = 1;
}

void VlbFreeTable(VlbState& s) {
  std::free(s.table);
  s.table = nullptr;
  s.tableBytes = 0;
}

int VlbAddRow(VlbState& s, const VlbView& v, uint32_t value) {
  if (!RoomForOne(s)) return -2;
  s.table[s.count] = value;
  ++s.count;
  if (!ResizeTableFor(s, s.count)) {
    --s.count;
    return -2;
  }
  MarkChanged(s, v);
  return 0;
}

int VlbInsertRow(VlbState& s, const VlbView& v, int32_t row, uint32_t value) {
  if (row < 0 || row > s.count) return -1;
  if (!RoomForOne(s)) return -2;
  std::memmove(s.table + row + 1, s.table + row, static_cast<size_t>(s.count - row) * 4);
  s.table[row] = value;
  ++s.count;
  if (!ResizeTableFor(s, s.count)) {
    std::memmove(s.table + row, s.table + row + 1, static_cast<size_t>(s.count - 1 - row) * 4);
    --s.count;
    return -2;
  }
  VlbClearSelection(s, v, true);
  s.caret = row;
  if (row <= s.top) ++s.top;
  MarkChanged(s, v);
  return 0;
}

int VlbDeleteRow(VlbState& s, const VlbView& v, int32_t row) {
  if (s.count == 0) return -1;
  if (row < 0 || row >= s.count) return -1;  // callers pass rows of the list; anything else is refused
  std::memmove(s.table + row, s.table + row + 1, static_cast<size_t>(s.count - row - 1) * 4);
  --s.count;
  s.table[s.count] = 0;
  ResizeTableFor(s, s.count);  // a failed shrink keeps the larger block
  if ((row == s.caret || s.caret >= s.count) && s.caret > 0) --s.caret;
  VlbClearSelection(s, v, true);
  MarkChanged(s, v);
  return 0;
}

void VlbReset(VlbState& s, const VlbView& v) {
  VlbFreeTable(s);
  VlbEndAddMode(s, v);
  if (s.captured) v.capture(v.window, false);
  s.count = s.top = s.caret = s.mode = s.hasSelection = 0;
  s.rangeLow = s.rangeHigh = s.spanLow = s.spanHigh = s.reversed = 0;
  s.addMode = s.addValue = s.captured = s.toggled = 0;
  s.scrollRecompute = 1;
  Invalidate(s, v);
  v.notify(v.window, kVlbNotifyCleared, 0);
}

void VlbSetMode(VlbState& s, const VlbView& v, int mode) {
  VlbClearSelection(s, v, true);
  s.mode = mode;
  s.top = s.caret = 0;
  v.setScrollPos(v.window, 0);
  s.scrollTop = 0;
  s.scrollRecompute = 1;
  Invalidate(s, v);
}

int VlbSetTop(VlbState& s, const VlbView& v, int32_t row) {
  if (row < 0 || row >= s.count) return -1;
  s.top = row;
  VlbUpdateScrollBar(s, v);
  Invalidate(s, v);
  return 0;
}

int VlbSetCaret(VlbState& s, const VlbView& v, int32_t row) {
  if (row < 0 || row >= s.count) return -1;
  RepaintRow(s, v, s.caret);
  s.caret = row;
  VlbClearSelection(s, v, true);
  RepaintRow(s, v, row);
  return 0;
}

int32_t VlbSelectedCount(const VlbState& s) {
  if (s.mode != 2) return s.hasSelection ? s.rangeHigh - s.rangeLow + 1 : 0;
  int32_t n = 0;
  if (!s.table) return 0;
  for (int32_t r = std::max(0, s.spanLow); r <= s.spanHigh && r < s.count; ++r)
    if (s.table[r] & kVlbSelectedBit) ++n;
  return n;
}

void VlbSelectedRowList(const VlbState& s, std::vector<int32_t>& rows) {
  rows.clear();
  if (s.mode != 2) {
    if (s.hasSelection)
      for (int32_t r = s.rangeLow; r <= s.rangeHigh; ++r) rows.push_back(r);
    return;
  }
  if (!s.table) return;
  for (int32_t r = std::max(0, s.spanLow); r <= s.spanHigh && r < s.count; ++r)
    if (s.table[r] & kVlbSelectedBit) rows.push_back(r);
}

int VlbSetValue(VlbState& s, int32_t row, uint32_t value) {
  if (row < 0 || row >= s.count) return -1;
  s.table[row] = (s.table[row] & kVlbSelectedBit) | (value & ~kVlbSelectedBit);
  return 0;
}

int32_t VlbValue(const VlbState& s, int32_t row) {
  if (row < 0 || row >= s.count) return -1;
  return static_cast<int32_t>(s.table[row] & ~kVlbSelectedBit);
}

int32_t VlbCaretResult(const VlbState& s) {
  if (s.mode != 0) return s.caret;
  return s.hasSelection ? s.rangeLow : -1;
}

int32_t VlbFind(const VlbState& s, uint32_t value) {
  for (int32_t r = 0; r < s.count; ++r)
    if ((s.table[r] & ~kVlbSelectedBit) == value) return r;
  return -1;
}

void VlbSelectAll(VlbState& s, const VlbView& v) {
  if (s.count == 0) return;
  s.rangeLow = s.spanLow = 0;
  s.rangeHigh = s.spanHigh = s.count - 1;
  SetBits(s, 0, s.count - 1, true);
  s.hasSelection = 1;
  s.toggled = 1;
  s.addValue = 1;
  RepaintRows(s, v, s.top, s.top + s.rowsPerPage);
  v.notify(v.window, kVlbNotifySelChange, 0);
}

bool VlbRowSelected(const VlbState& s, int32_t row) {
  if (row < 0 || row >= s.count) return false;
  if (s.mode == 2) return (s.table[row] & kVlbSelectedBit) != 0;
  return s.hasSelection && row >= s.rangeLow && row <= s.rangeHigh;
}

int32_t VlbModelCommand(VlbState& s, const VlbView& v, int op, uintptr_t wParam, intptr_t lParam) {
  const auto row = static_cast<int32_t>(lParam);
  auto pair = [&](int i) { return reinterpret_cast<const int32_t*>(lParam)[i]; };
  switch (op) {
    case kVlbModeSingle: VlbSetMode(s, v, 0); return 0;
    case kVlbModeRange: VlbSetMode(s, v, 1); return 0;
    case kVlbModeMultiple: VlbSetMode(s, v, 2); return 0;
    case kVlbAddRow: return VlbAddRow(s, v, static_cast<uint32_t>(lParam));
    case kVlbReset: VlbReset(s, v); return 0;
    case kVlbDeleteRow: return VlbDeleteRow(s, v, row);
    case kVlbInsertRow: return lParam ? VlbInsertRow(s, v, pair(0), static_cast<uint32_t>(pair(1))) : -1;
    case kVlbSetTopRow: return VlbSetTop(s, v, row);
    case kVlbSetCaretRow: return VlbSetCaret(s, v, row);
    case kVlbSelectedCount: return VlbSelectedCount(s);
    case kVlbSetRowValue: return lParam ? VlbSetValue(s, pair(0), static_cast<uint32_t>(pair(1))) : -1;
    case kVlbRowValue: return VlbValue(s, row);
    case kVlbCaret: return VlbCaretResult(s);
    case kVlbSelectRow: VlbSelectRow(s, v, row, true, false); return 0;
    case kVlbFindValue: return VlbFind(s, static_cast<uint32_t>(lParam));
    case kVlbFindAndSelect: {
      int32_t found = VlbFind(s, static_cast<uint32_t>(lParam));
      if (found >= 0) VlbSelectRow(s, v, found, true, false);
      return found;
    }
    case kVlbSmoothScroll: s.smooth = wParam != 0; return 0;
    case kVlbTopRow: return s.top;
    case kVlbRowCount: return s.count;
    case kVlbSelectAll: VlbSelectAll(s, v); return 0;
    case kVlbAddMode: return s.addMode;
    case kVlbRowsPerPage: return s.rowsPerPage;
    default: return -1;
  }
}

void VlbUpdateScrollBar(VlbState& s, const VlbView& v) {
  int max = 0;
  if (s.count > kVlbScaledAbove) {
    max = 1000;
    s.scaled = 1;
  } else {
    s.scaled = 0;
    if (s.count > s.rowsPerPage) max = v.newShell ? s.count - 1 : s.count - s.rowsPerPage;
  }
  v.setScrollRange(v.window, max, max > 0 ? s.rowsPerPage : 0);
  if (s.top > LastTop(s)) s.top = LastTop(s);
  if (s.top < 0) s.top = 0;
  v.setScrollPos(v.window, ScrollPosition(s));
  s.scrollTop = s.top;
}

int VlbScroll(VlbState& s, const VlbView& v, int code, int pos, bool repaint) {
  const int32_t old = s.top, n = s.count, p = s.rowsPerPage;
  int32_t top = old;
  switch (code) {
    case kVlbLineUp:
      if (old > 0) top = old - 1;
      break;
    case kVlbLineDown:
      if (old < n - p) top = old + 1;
      break;
    case kVlbPageUp:
      if (old > 0) top = std::max(0, old - p);
      break;
    case kVlbPageDown:
      if (old != n - p && n > p) top = old >= n - 2 * p ? n - p : old + p;
      break;
    case kVlbThumbPosition:
    case kVlbThumbTrack:
      if (s.scaled) {
        top = pos * (n / 1000);
        if (pos == 1000 || top > n - p) top = n - p;
      } else {
        top = pos;
      }
      top = std::clamp(top, 0, LastTop(s));
      break;
    default: return 0;
  }
  if (code == kVlbThumbTrack) {
    // Painting only: the top changes when the thumb is released.
    if (top != old) {
      s.top = top;
      Invalidate(s, v);
      v.update(v.window);
      s.top = old;
      Invalidate(s, v);
    }
    return 0;
  }
  const int delta = top - old;
  if (delta == 0) return 0;
  s.top = top;
  if (s.smooth && (code == kVlbLineUp || code == kVlbLineDown)) {
    v.scrollContents(v.window, -delta * s.rowHeight);
    v.setScrollPos(v.window, ScrollPosition(s));
    s.scrollTop = s.top;
    return delta;
  }
  SyncScrollPos(s, v);
  if (repaint) {
    Invalidate(s, v);
    v.update(v.window);
  }
  return delta;
}

void VlbSelectRow(VlbState& s, const VlbView& v, int32_t row, bool fresh, bool toggle) {
  if (s.count == 0 || row < 0 || row >= s.count) return;
  RepaintRow(s, v, s.caret);
  if (fresh && s.mode == 2) {
    for (int32_t r = s.top; r <= s.top + s.rowsPerPage && r < s.count; ++r)
      if (s.table[r] & kVlbSelectedBit) RepaintRow(s, v, r);
    ClearBits(s, s.spanLow, s.spanHigh);
    s.hasSelection = s.rangeLow = s.rangeHigh = s.spanLow = s.spanHigh = 0;
    s.reversed = s.toggled = s.addValue = 0;
  }
  s.caret = row;
  ScrollIntoView(s, v, row);
  if (fresh) {
    RepaintRows(s, v, s.rangeLow, s.rangeHigh);
    s.rangeLow = s.rangeHigh = s.spanLow = s.spanHigh = row;
    s.reversed = 0;
    if (s.mode == 2) s.table[row] |= kVlbSelectedBit;
  } else if (toggle) {
    s.table[row] ^= kVlbSelectedBit;
    s.addValue = (s.table[row] & kVlbSelectedBit) ? 1 : 0;
    s.rangeLow = s.rangeHigh = row;
    s.reversed = 0;
    s.toggled = 1;
    if (s.hasSelection)
      WidenSpan(s, row);
    else
      s.spanLow = s.spanHigh = row;
  } else if (!s.hasSelection || s.mode == 0) {
    if (s.hasSelection)
      WidenSpan(s, row);
    else
      s.spanLow = s.spanHigh = row;
    s.rangeLow = s.rangeHigh = row;
    s.reversed = 0;
    if (s.mode == 2) s.table[row] |= kVlbSelectedBit;
  } else {
    bool cleared = false;
    if (s.mode == 2 && !s.addMode) {
      ClearBits(s, s.spanLow, s.spanHigh);
      s.spanLow = s.spanHigh = row;
      cleared = true;
    } else if (s.mode == 2) {
      ClearBits(s, s.rangeLow, s.rangeHigh);
      cleared = true;
    }
    if (cleared && s.toggled) Invalidate(s, v);
    const int32_t anchor = s.reversed ? s.rangeHigh : s.rangeLow;
    const int32_t oldFree = s.reversed ? s.rangeLow : s.rangeHigh;
    s.rangeLow = std::min(anchor, row);
    s.rangeHigh = std::max(anchor, row);
    s.reversed = row < anchor;
    RepaintRows(s, v, oldFree, row);
    RepaintRows(s, v, anchor, row);
    if (s.mode == 2) SetBits(s, s.rangeLow, s.rangeHigh, !s.addMode || s.addValue);
    if (s.rangeLow < s.spanLow)
      s.spanLow = s.rangeLow;
    else if (s.rangeHigh > s.spanHigh)
      s.spanHigh = s.rangeHigh;
  }
  s.hasSelection = 1;
  SyncScrollPos(s, v);
  v.notify(v.window, kVlbNotifySelChange, 0);
}

void VlbEndAddMode(VlbState& s, const VlbView& v) {
  if (!s.addMode) return;
  s.addMode = 0;
  v.addModeTimer(v.window, false);
  RepaintRow(s, v, s.caret);
}

void VlbClearSelection(VlbState& s, const VlbView& v, bool repaint) {
  VlbEndAddMode(s, v);
  if (!s.hasSelection) return;
  if (s.mode == 2) ClearBits(s, s.spanLow, s.spanHigh);
  s.hasSelection = s.reversed = 0;
  s.rangeLow = s.rangeHigh = s.spanLow = s.spanHigh = 0;
  if (repaint && !s.repaintPending) Invalidate(s, v);
  v.notify(v.window, kVlbNotifyCleared, 0);
}

void VlbSize(VlbState& s, const VlbView& v, int height, bool hasFocus) {
  if (hasFocus && height != 0) Invalidate(s, v);
  const int rh = std::max(1, s.rowHeight);
  s.rowsPerPage = height / rh;
  s.exactFit = height % rh == 0;
  if (height != 0) VlbUpdateScrollBar(s, v);
}

namespace {

// Moves of add mode: the caret only, the selection stays.
void MoveCaretOnly(VlbState& s, const VlbView& v, int32_t row) {
  row = std::clamp(row, 0, s.count - 1);
  RepaintRow(s, v, s.caret);
  s.caret = row;
  RepaintRow(s, v, row);
  ScrollIntoView(s, v, row);
  SyncScrollPos(s, v);
}

}  // namespace

void VlbKey(VlbState& s, const VlbView& v, int key, bool shift) {
  s.hasSelection = 1;
  if (key == kVlbKeyF8 && shift && s.mode == 2) {
    if (!s.addMode) {
      s.addMode = 1;
      v.addModeTimer(v.window, true);
      s.addValue = (s.count > 0 && s.table && (s.table[s.caret] & kVlbSelectedBit)) ? 1 : 0;
    } else {
      VlbEndAddMode(s, v);
    }
    return;
  }
  if (s.count == 0) return;
  const int32_t last = s.count - 1;
  const bool addColumn = s.addMode && !shift;
  const bool fresh = !shift && !s.addMode;
  switch (key) {
    case kVlbKeySpace:
      if (s.addMode)
        VlbSelectRow(s, v, s.caret, false, true);
      else
        VlbSelectRow(s, v, s.caret, !shift, false);
      return;
    case kVlbKeyPageUp: {
      if (addColumn) return MoveCaretOnly(s, v, s.caret - s.rowsPerPage);
      if (s.caret == 0) return;
      int delta = VlbScroll(s, v, kVlbPageUp, 0, false);
      int32_t row = delta ? std::max(0, s.caret + delta) : 0;
      VlbSelectRow(s, v, row, !shift, false);
      Invalidate(s, v);
      return;
    }
    case kVlbKeyPageDown: {
      if (addColumn) return MoveCaretOnly(s, v, s.caret + s.rowsPerPage);
      if (s.caret == last) return;
      int32_t row = last;
      if (s.count >= s.rowsPerPage) {
        int delta = VlbScroll(s, v, kVlbPageDown, 0, false);
        row = delta ? std::min(last, s.caret + delta) : last;
      }
      VlbSelectRow(s, v, row, !shift, false);
      Invalidate(s, v);
      return;
    }
    case kVlbKeyEnd:
      if (addColumn) return MoveCaretOnly(s, v, last);
      if (s.caret != last) VlbSelectRow(s, v, last, !shift, false);
      return;
    case kVlbKeyHome:
      if (addColumn) return MoveCaretOnly(s, v, 0);
      if (s.caret != 0) VlbSelectRow(s, v, 0, !shift, false);
      return;
    case kVlbKeyUp:
      if (addColumn) return MoveCaretOnly(s, v, s.caret - 1);
      if (s.caret != 0) VlbSelectRow(s, v, s.caret - 1, fresh, false);
      return;
    case kVlbKeyDown:
      if (addColumn) return MoveCaretOnly(s, v, s.caret + 1);
      if (s.caret != last) VlbSelectRow(s, v, s.caret + 1, fresh, false);
      return;
    default: v.notify(v.window, kVlbNotifyKey, key); return;
  }
}

namespace {

int32_t RowAt(const VlbState& s, int y) {
  const int rh = std::max(1, s.rowHeight);
  int q = y / rh;
  if (y < 0 && y % rh != 0) --q;  // above the window rounds to the row above
  return q + s.top;
}

}  // namespace

void VlbButtonDown(VlbState& s, const VlbView& v, int y, bool left, bool ctrl, bool shift) {
  v.focusParent(v.window);
  VlbEndAddMode(s, v);
  if (!s.captured) {
    v.capture(v.window, true);
    s.captured = 1;
  }
  const int32_t row = RowAt(s, y);
  s.lastMouseRow = row;
  if (row < 0 || row >= s.count) return;
  if (left) {
    if (s.mode == 2 && ctrl && !shift)
      VlbSelectRow(s, v, row, false, true);
    else
      VlbSelectRow(s, v, row, !shift, false);
  } else if (!(s.mode == 2 && (s.table[row] & kVlbSelectedBit))) {
    VlbSelectRow(s, v, row, true, false);
  }
}

bool VlbMouseMove(VlbState& s, const VlbView& v, int y) {
  if (!s.captured || s.count == 0) return false;
  const int32_t row = std::clamp(RowAt(s, y), 0, s.count - 1);
  const bool onPage = row >= s.top && row < s.top + s.rowsPerPage;
  if (onPage && row == s.lastMouseRow) return false;
  VlbSelectRow(s, v, row, false, false);
  v.update(v.window);
  s.lastMouseRow = row;
  return !onPage;
}

void VlbButtonUp(VlbState& s, const VlbView& v) {
  if (!s.captured) return;
  v.capture(v.window, false);
  s.captured = 0;
}

void VlbDoubleClick(VlbState& s, const VlbView& v, int y) {
  const int32_t row = RowAt(s, y);
  if (row >= 0 && row < s.count) v.notify(v.window, kVlbNotifyDoubleClick, 0);
}

void VlbFocus(VlbState& s, const VlbView& v, bool gained) {
  RepaintRow(s, v, s.caret);
  if (!gained) VlbEndAddMode(s, v);
  v.notify(v.window, gained ? kVlbNotifyGotFocus : kVlbNotifyLostFocus, 0);
}
