// The page view: the page table that pagination fills, the frames of the
// pages on view with their rows in the screen-line table, and which page and
// which frame hold a line.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

// A page that follows a hard break stores the complement of the break line,
// whose magnitude is again the page's first line.
int32_t EntryFirstLine(int32_t entry) {
  if (entry >= 0) return entry;
  const int64_t magnitude = -int64_t(entry);
  return magnitude > INT32_MAX ? INT32_MAX : int32_t(magnitude);
}

bool IsDelimiterLine(const WrxWindow* w, int32_t line) {
  const WrxLineInfo* info = w->lines[line]->info;
  return info && (info->flags & (LI_HEADER | LI_FOOTER));
}

// Frames whose table would pass this many records are refused: no page view
// needs them, and the size stays far from overflowing.
constexpr int32_t kMaxTextFrames = 100000;

}  // namespace

bool IsHdrFtrLine(const WrxWindow* w, int32_t line) {
  if (line < 0 || line >= w->lineCount) return false;
  const int32_t p = w->lines[line]->para;
  return p >= 0 && size_t(p) < w->paras.size() && (w->paras[size_t(p)].flags & 0x3000);
}

int SetPageTable(WrxWindow* w, const int32_t* firstLines, int32_t pages) {
  if (!w->pageTableCapacity) w->pageTableCapacity = std::max<int32_t>(2500, w->arg.maxLines / 20);
  if (!firstLines || pages < 1 || pages > w->pageTableCapacity || firstLines[0] != 0) return 0;
  for (int32_t p = 1; p < pages; ++p) {
    const int32_t first = EntryFirstLine(firstLines[p]);
    if (first < EntryFirstLine(firstLines[p - 1]) || first >= w->lineCount) return 0;
  }
  try {
    w->pageTable.assign(firstLines, firstLines + pages);
    w->pageTable.push_back(w->lineCount);
  } catch (const std::bad_alloc&) {
    w->pageTable.clear();
    w->pageCount = 0;
    return WrxErrorBox(w, 108, "SetPageTable");
  }
  w->pageCount = pages;
  w->currentPage = std::clamp(w->currentPage, 0, pages - 1);
  return 1;
}

int32_t PageFirstLine(const WrxWindow* w, int32_t page) {
  if (w->pageCount <= 0 || page <= 0) return 0;
  if (page >= w->pageCount) return w->lineCount;
  return std::min(EntryFirstLine(w->pageTable[size_t(page)]), w->lineCount);
}

int32_t PageLastLine(const WrxWindow* w, int32_t page) {
  const int32_t first = PageFirstLine(w, page);
  const int32_t next = page + 1 < w->pageCount ? PageFirstLine(w, page + 1) : w->lineCount;
  return std::max(first, next - 1);
}

int32_t PageOfLine(const WrxWindow* w, int32_t line) {
  if (w->pageCount <= 0 || line < 0) return 0;
  if (line >= w->lineCount) return w->pageCount - 1;
  // The last page whose first line is not beyond the line.
  int32_t low = 0, high = w->pageCount - 1;
  while (low < high) {
    const int32_t mid = low + (high - low + 1) / 2;
    if (PageFirstLine(w, mid) <= line)
      low = mid;
    else
      high = mid - 1;
  }
  return low;
}

namespace {

int32_t FirstFrameHolding(const WrxWindow* w, int32_t line) {
  for (int32_t f = 0; f < w->textFrameCount; ++f) {
    const WrxTextFrame& fr = w->textFrames[f];
    if (!fr.noText && fr.firstLine <= line && line <= fr.lastLine) return f;
  }
  return -1;
}

}  // namespace

int32_t GetLinePage(WrxWindow* w, int32_t line) {
  int32_t page;
  if (w->pageCount <= 0) {
    page = 0;
  } else if (w->hdrFtrEdit && IsHdrFtrLine(w, line) && FirstFrameHolding(w, line) >= 0) {
    // A header or footer shows on every page: the one being edited is here.
    page = std::clamp(w->currentPage, 0, w->pageCount - 1);
  } else {
    page = PageOfLine(w, line);
  }
  w->currentPage = page;
  return page;
}

int32_t GetPageLineNumber(WrxWindow* w) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  auto aside = [w](int32_t k) { return IsHdrFtrLine(w, k) || IsDelimiterLine(w, k); };
  if (w->hdrFtrEdit && aside(line)) {
    // Counted within its own header or footer, from the line after its delimiter.
    if (IsDelimiterLine(w, line)) return 1;
    int32_t number = 1;
    for (int32_t k = line; k > 0 && !IsDelimiterLine(w, k - 1) && IsHdrFtrLine(w, k - 1); --k) ++number;
    return number;
  }
  int32_t number = 0;
  for (int32_t k = PageFirstLine(w, PageOfLine(w, line)); k <= line; ++k)
    if (!w->hdrFtrEdit || !aside(k)) ++number;
  return std::max(number, 1);
}

int InitFrameSlot(WrxWindow* w, int32_t index) {
  if (index < 0 || index >= kMaxTextFrames) return 0;
  if (index >= w->textFrameCapacity) {
    int32_t capacity = w->textFrameCapacity;
    while (capacity <= index) capacity += capacity < 100 ? 20 : 50;
    const long bytes = long(capacity) * long(sizeof(WrxTextFrame));
    void* p = w->textFrames ? OurRealloc(w->textFrames, bytes) : OurAlloc(bytes);
    if (!p) return 0;
    w->textFrames = static_cast<WrxTextFrame*>(p);
    w->textFrameCapacity = capacity;
  }
  WrxTextFrame& f = w->textFrames[index];
  memset(&f, 0, sizeof f);
  f.width = f.screenWidth = 9999;
  f.height = f.screenHeight = w->winRect.bottom - w->winRect.top;
  f.background = w->backColor;
  return 1;
}

void FreeTextFrames(WrxWindow* w) {
  OurFree(w->textFrames);
  w->textFrames = nullptr;
  w->textFrameCount = w->textFrameCapacity = 0;
  w->standInFrames = 0;
}

namespace {

// Lines the stand-in frame holds: few enough that their rows, and those of
// the cell frames a table is cut into, fit the screen-line table.
constexpr int32_t kStandInLines = 600;

}  // namespace

int LayOutStandInFrames(WrxWindow* w) {
  if (!w->arg.pageMode || w->pageCount > 0 || w->lineCount < 1) return 0;
  if (w->textFrameCount > 0 && !w->standInFrames) return 0;
  const int32_t cursor = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t first = std::clamp(cursor - kStandInLines / 2, 0, std::max(0, w->lineCount - kStandInLines));
  const int32_t last = std::min(w->lineCount - 1, first + kStandInLines - 1);
  if (!InitFrameSlot(w, 0)) return 0;
  int32_t y = w->textRect.top, height = 0;
  for (int32_t k = 0; k < first; ++k) y += GetLineHeight(w, k);
  for (int32_t k = first; k <= last; ++k) height += GetLineHeight(w, k);
  WrxTextFrame& f = w->textFrames[0];
  f.firstLine = first, f.lastLine = last;
  f.screenY = f.y = y;
  f.screenWidth = f.width = std::max<int32_t>(1, w->textWidth);
  // The last lines' frame reaches the window's bottom, which shows the background.
  const int32_t viewBottom = w->vScrollPos + w->textRect.bottom;
  f.screenHeight = f.height = last == w->lineCount - 1 ? std::max(height, viewBottom - y) : height;
  f.flags = 1;  // reaches the window's right edge
  w->textFrameCount = 1;
  w->standInFrames = 1;
  return 1;
}

int32_t FrameTop(const WrxTextFrame& f) { return f.screenY + f.originY; }
int32_t FrameTextTop(const WrxTextFrame& f) { return FrameTop(f) + f.spaceAbove; }
int32_t FrameLeft(const WrxTextFrame& f) { return f.pageX + f.screenX; }

int32_t LineYInFrame(WrxWindow* w, int32_t frame, int32_t line) {
  const WrxTextFrame& f = w->textFrames[frame];
  int32_t y = FrameTextTop(f);
  for (int32_t k = std::max(f.firstLine, 0); k < line && k < w->lineCount; ++k) y += GetLineHeight(w, k);
  return y;
}

int32_t GetLineFrameId(WrxWindow* w, int32_t line) {
  if (!w->arg.pageMode) return 0;
  if (line < 0 || line >= w->lineCount) return -1;
  if (!IsHdrFtrLine(w, line)) return FirstFrameHolding(w, line);
  // Every page on view shows the header. On the cursor's page its own
  // header is meant: the last one that starts above that page's last line
  // (frames go in page order); else the last one on view.
  bool bounded = false;
  int32_t pageBottom = 0;
  if (w->currentPage == PageOfLine(w, w->curLine)) {
    const int32_t last = PageLastLine(w, w->currentPage);
    const int32_t f = IsHdrFtrLine(w, last) ? -1 : FirstFrameHolding(w, last);
    if (f >= 0) {
      bounded = true;
      pageBottom = LineYInFrame(w, f, last);
    }
  }
  int32_t found = -1;
  for (int32_t f = 0; f < w->textFrameCount; ++f) {
    const WrxTextFrame& fr = w->textFrames[f];
    if (fr.noText || line < fr.firstLine || line > fr.lastLine) continue;
    if (bounded && FrameTop(fr) >= pageBottom) continue;
    found = f;
  }
  return found;
}

namespace {

// The line's row in the screen-line table, -1 when it has none.
int32_t ScreenRow(WrxWindow* w, int32_t line) {
  const int32_t f = GetLineFrameId(w, line);
  if (f < 0 || f >= w->textFrameCount) return -1;
  const WrxTextFrame& fr = w->textFrames[f];
  if (fr.noText || line < fr.firstLine || line > fr.lastLine) return -1;
  const int64_t row = int64_t(fr.rowBase) + (line - fr.firstLine);
  return row >= 0 && row < WRX_SCREENROWS ? int32_t(row) : -1;
}

}  // namespace

int32_t GetScreenLineX(WrxWindow* w, int32_t line) {
  const int32_t row = ScreenRow(w, line);
  return row < 0 ? 0 : w->screenLines.x[row];
}

int32_t GetScreenLineEntry(WrxWindow* w, int32_t line) {
  const int32_t row = ScreenRow(w, line);
  return row < 0 ? 0 : w->screenLines.height[row];
}
