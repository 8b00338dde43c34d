// Paragraph frames and line-shaped drawing objects as geometry: the slot
// table, the end points of a line object, the gap a frame cuts into the
// lines beside it, and the box sides a paragraph border shows on a line.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Words of a paragraph-frame record (0-based index of the 32-bit word).
enum FrameWord : int {
  FW_INUSE = 0,
  FW_X = 1,
  FW_Y = 2,
  FW_YREL = 3,
  FW_WIDTH = 4,
  FW_BORDER = 5,
  FW_HEIGHT = 7,
  FW_DISTANCE = 8,
  FW_PAGE = 9,
  FW_FLAGS = 10,
  FW_DIRECTION = 12,  // a line object's direction: 0 vertical, 1 horizontal, 2 falling, 3 rising
};

constexpr int32_t kLineObject = 0x100;
constexpr int32_t kDrawingObject = 0x380;
constexpr int32_t kXFromPage = 0x01;

void SetWord(wrxfmt::WrxFrameRecord& r, int word, int32_t value) { memcpy(r.bytes + 4 * word, &value, 4); }

int32_t WordOf(const wrxfmt::WrxFrameRecord& r, int word) {
  int32_t v;
  memcpy(&v, r.bytes + 4 * word, 4);
  return v;
}

bool ValidFrame(const WrxWindow* w, int32_t frame) { return frame > 0 && size_t(frame) < w->frames.size(); }

}  // namespace

int32_t FrameWordValue(const WrxWindow* w, int32_t frame, int word) {
  return ValidFrame(w, frame) ? WordOf(w->frames[size_t(frame)], word) : 0;
}

int GetParaFrameSlot(WrxWindow* w) {
  if (w->frames.empty()) {
    w->frames.assign(1, wrxfmt::WrxFrameRecord{});
    SetWord(w->frames[0], FW_INUSE, 1);  // slot 0 is reserved
  }
  if (w->reclaimIds) {
    // Frames that no line refers to any more are free again.
    std::vector<uint8_t> used(w->frames.size(), 0);
    for (int32_t line = 0; line < w->lineCount; ++line) {
      const int32_t f = w->lines[line]->frame;
      if (f > 0 && size_t(f) < used.size()) used[size_t(f)] = 1;
    }
    for (size_t f = 1; f < w->frames.size(); ++f)
      if (!used[f]) SetWord(w->frames[f], FW_INUSE, 0);
  }
  for (size_t f = 1; f < w->frames.size(); ++f)
    if (!WordOf(w->frames[f], FW_INUSE)) {
      w->frames[f] = wrxfmt::WrxFrameRecord{};
      return int(f);
    }
  if (int(w->frames.size()) >= wrxfmt::kMaxParaFrames) {
    WrxErrorBox(w, 110, "GetParaFrameSlot");
    return -1;
  }
  try {
    if (w->frames.size() == w->frames.capacity())
      w->frames.reserve(std::min<size_t>(wrxfmt::kMaxParaFrames, w->frames.size() + w->frames.size() / 2 + 1));
    w->frames.push_back(wrxfmt::WrxFrameRecord{});
  } catch (const std::bad_alloc&) {
    WrxErrorBox(w, 108, "GetParaFrameSlot");
    return -1;
  }
  return int(w->frames.size()) - 1;
}

int GetLineObjectRect(WrxWindow* w, int32_t frame, int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2) {
  if (!ValidFrame(w, frame)) return 0;
  const wrxfmt::WrxFrameRecord& r = w->frames[size_t(frame)];
  if (!(WordOf(r, FW_FLAGS) & kLineObject)) return 1;
  const int32_t x = WordOf(r, FW_X), y = WordOf(r, FW_Y);
  const int32_t right = x + WordOf(r, FW_WIDTH), bottom = y + WordOf(r, FW_HEIGHT);
  switch (WordOf(r, FW_DIRECTION)) {
    case 0: *x1 = x, *y1 = y, *x2 = x, *y2 = bottom; break;
    case 1: *x1 = x, *y1 = y, *x2 = right, *y2 = y; break;
    case 3: *x1 = x, *y1 = bottom, *x2 = right, *y2 = y; break;
    default: *x1 = x, *y1 = y, *x2 = right, *y2 = bottom; break;
  }
  return 1;
}

int SetLineObjectRect(WrxWindow* w, int32_t frame, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!ValidFrame(w, frame)) return 0;
  wrxfmt::WrxFrameRecord& r = w->frames[size_t(frame)];
  if (!(WordOf(r, FW_FLAGS) & kLineObject)) return 1;
  if (x1 > x2) std::swap(x1, x2), std::swap(y1, y2);
  int32_t direction;
  if (y1 == y2)
    direction = 1;
  else if (x1 == x2)
    direction = 0;
  else
    direction = y1 < y2 ? 2 : 3;
  const int32_t top = std::min(y1, y2);
  // The anchored position moves with the page position.
  SetWord(r, FW_YREL, WordOf(r, FW_YREL) + top - WordOf(r, FW_Y));
  SetWord(r, FW_X, x1);
  SetWord(r, FW_Y, top);
  SetWord(r, FW_WIDTH, x2 - x1);
  SetWord(r, FW_HEIGHT, std::max(y1, y2) - top);
  SetWord(r, FW_DIRECTION, direction);
  return 1;
}

namespace {

bool SameParaFormat(const WrxWindow* w, int32_t a, int32_t b) {
  const WrxLine* la = w->lines[a];
  const WrxLine* lb = w->lines[b];
  if (la->cell != lb->cell) return false;
  auto para = [w](int32_t p) -> const wrxfmt::WrxParaRecord* {
    return p >= 0 && size_t(p) < w->paras.size() ? &w->paras[size_t(p)] : nullptr;
  };
  const wrxfmt::WrxParaRecord* pa = para(la->para);
  const wrxfmt::WrxParaRecord* pb = para(lb->para);
  if (!pa || !pb) return pa == pb;
  return pa->leftIndent == pb->leftIndent && pa->rightIndent == pb->rightIndent && pa->firstIndent == pb->firstIndent &&
         (pa->flags & 0x33F0) == (pb->flags & 0x33F0);
}

}  // namespace

int MergeParaBorders(WrxWindow* w, int32_t line) {
  if (line < 0 || line >= w->lineCount) return 0;
  const int32_t p = w->lines[line]->para;
  if (p < 0 || size_t(p) >= w->paras.size()) return 0;
  const int32_t flags = w->paras[size_t(p)].flags;
  int sides = flags & (64 | 128 | 0x100 | 0x200);
  if ((flags & 16) && (line == 0 || !SameParaFormat(w, line - 1, line))) sides |= 16;
  if ((flags & 32) && (line == w->lineCount - 1 || !SameParaFormat(w, line, line + 1))) sides |= 32;
  return sides;
}

int FrameGapAt(WrxWindow* w, int32_t page, int32_t section, const RECT* rect, int32_t* gapStart, int32_t* gapWidth,
               int32_t* blocking) {
  *gapStart = *gapWidth = *blocking = 0;
  if (!w->arg.printView || !rect) return 1;
  const int32_t resX = DeviceResX(w), resY = DeviceResY(w);
  const float leftMargin =
      section >= 0 && size_t(section) < w->sections.size() ? w->sections[size_t(section)].leftMargin : 0.0f;
  int32_t low = INT32_MAX, high = INT32_MIN, lowest = INT32_MIN;
  for (size_t f = 1; f < w->frames.size(); ++f) {
    const wrxfmt::WrxFrameRecord& r = w->frames[f];
    const int32_t flags = WordOf(r, FW_FLAGS);
    if (!WordOf(r, FW_INUSE) || (flags & kDrawingObject) || WordOf(r, FW_PAGE) != page) continue;
    // Positions are twips from the left margin (or the page) and from the
    // page top; the text keeps the frame's distance from it on every side.
    int32_t x = WordOf(r, FW_X);
    if (flags & kXFromPage) x -= int32_t(leftMargin * 1440.0f + 0.5f);
    const int32_t y = WordOf(r, FW_Y);
    const int32_t distance = std::max(0, WordOf(r, FW_DISTANCE));
    const int32_t left = MulDiv(x - distance, resX, 1440);
    const int32_t right = MulDiv(x + std::max(0, WordOf(r, FW_WIDTH)) + distance, resX, 1440);
    const int32_t top = MulDiv(y - distance, resY, 1440);
    const int32_t bottom = MulDiv(y + std::max(0, WordOf(r, FW_HEIGHT)) + distance, resY, 1440);
    if (bottom <= rect->top || top >= rect->bottom) continue;
    if (right <= rect->left || left >= rect->right) continue;
    low = std::min(low, left);
    high = std::max(high, right);
    lowest = std::max(lowest, bottom);
  }
  if (low > high) return 1;
  low = std::max(low, int32_t(rect->left));
  high = std::min(high, int32_t(rect->right));
  if (low <= rect->left && high >= rect->right) {
    // No room beside the frames: the line is as high as the rest of them.
    *blocking = std::max(1, lowest - int32_t(rect->top));
    return 1;
  }
  *gapStart = low;
  *gapWidth = high - low;
  return 1;
}

int WrapAroundFrames(WrxWindow* w, int32_t line, const RECT* rect, int32_t* gapStart, int32_t* gapWidth,
                     int32_t* blocking) {
  *gapStart = *gapWidth = *blocking = 0;
  if (line < 0 || line >= w->lineCount || w->lines[line]->frame > 0 || w->lines[line]->cell > 0) return 1;
  return FrameGapAt(w, PageOfLine(w, line), GetLineSection(w, line), rect, gapStart, gapWidth, blocking);
}
