// Deleting ranges and highlighted blocks of text.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

int InsertInLine(WrxWindow* w, int32_t line, int32_t col, const char* text, int32_t count, const uint8_t* ids,
                 uint8_t fill) {
  if (count <= 0) return 1;
  WrxLine* l = w->lines[line];
  col = std::clamp(col, 0, l->length);
  if (l->length + count > WRX_MAXLINELEN + 1) return 0;
  if (!ExpandFontCodes(w, line)) return WrxErrorBox(w, 108, "InsertInLine");
  const int32_t old = l->length;
  if (!LineAlloc(w, line, old, old + count)) {
    CompactFontCodes(w, line);
    return 0;
  }
  uint8_t* codes = IdArray(l);
  memmove(l->text + col + count, l->text + col, size_t(old - col));
  memmove(codes + col + count, codes + col, size_t(old - col));
  memcpy(l->text + col, text, size_t(count));
  if (ids)
    memcpy(codes + col, ids, size_t(count));
  else
    memset(codes + col, fill, size_t(count));
  for (int32_t i = col; i < col + count; ++i)
    if (codes[i] >= w->fontCount || !w->fonts[codes[i]].inUse) codes[i] = 0;
  CompactFontCodes(w, line);
  SetLineFlagsFromText(w, line);
  if (line < w->staleLine) w->staleLine = line;
  return 1;
}

int SplitLineAt(WrxWindow* w, int32_t line, int32_t col) {
  if (!ExpandLineArray(w, w->lineCount + 1)) return 0;
  WrxLine* l = w->lines[line];
  col = std::clamp(col, 0, l->length);
  const int32_t tail = l->length - col;
  std::string text(l->text ? l->text + col : "", size_t(tail));
  std::vector<uint8_t> ids(static_cast<size_t>(tail));
  for (int32_t i = 0; i < tail; ++i) ids[size_t(i)] = uint8_t(GetCharFont(w, line, col + i));
  if (!ShiftLines(w, line, 1, 'A')) return 0;
  l = w->lines[line];
  WrxLine* n = w->lines[line + 1];
  n->para = l->para, n->cell = l->cell, n->frame = l->frame;
  if (tail > 0) {
    if (!InsertInLine(w, line + 1, 0, text.data(), tail, ids.data(), 0)) {
      ShiftLines(w, line + 1, 1, 'D');
      return 0;
    }
    AdjustFontCodes(w, line, col, tail, 'D');
  }
  SetLineFlagsFromText(w, line);
  SetLineFlagsFromText(w, line + 1);
  // Block ends below the split move down with their text.
  if (w->hilight) {
    if (w->hlFirstLine > line) ++w->hlFirstLine;
    if (w->hlLastLine > line) ++w->hlLastLine;
  }
  return 1;
}

int DeleteRange(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
  const int32_t last = w->lineCount - 1;
  l1 = std::clamp(l1, 0, last), l2 = std::clamp(l2, 0, last);
  if (l2 < l1 || (l2 == l1 && c2 <= c1)) return 1;
  c1 = std::clamp(c1, 0, w->lines[l1]->length);
  // Past a line's end (without word wrap) the line end goes too.
  if (c2 > w->lines[l2]->length) {
    if (l2 < last)
      ++l2, c2 = 0;
    else
      c2 = w->lines[l2]->length;
  }
  if (l1 == l2) {
    if (c2 > c1) AdjustFontCodes(w, l1, c1, c2 - c1, 'D');
    SetLineFlagsFromText(w, l1);
  } else {
    WrxLine* end = w->lines[l2];
    const int32_t tail = end->length - c2;
    std::string text(end->text ? end->text + c2 : "", size_t(std::max(0, tail)));
    std::vector<uint8_t> ids(size_t(std::max(0, tail)));
    for (int32_t i = 0; i < tail; ++i) ids[size_t(i)] = uint8_t(GetCharFont(w, l2, c2 + i));
    const int32_t cut = w->lines[l1]->length - c1;
    if (cut > 0) AdjustFontCodes(w, l1, c1, cut, 'D');
    ShiftLines(w, l1 + 1, l2 - l1, 'D');
    if (tail > 0) InsertInLine(w, l1, c1, text.data(), tail, ids.data(), 0);
    SetLineFlagsFromText(w, l1);
    if (l1 + 1 < w->lineCount) SetLineFlagsFromText(w, l1 + 1);
  }
  if (l1 < w->staleLine) w->staleLine = l1;
  ++w->modified;
  return 1;
}

int NormalizeBlock(WrxWindow* w) {
  if (!w->hilight) return 0;
  const int32_t last = w->lineCount - 1;
  if (w->hlFirstLine > w->hlLastLine || (w->hlFirstLine == w->hlLastLine && w->hlFirstCol > w->hlLastCol)) {
    std::swap(w->hlFirstLine, w->hlLastLine);
    std::swap(w->hlFirstCol, w->hlLastCol);
  }
  w->hlFirstLine = std::clamp(w->hlFirstLine, 0, last);
  w->hlLastLine = std::clamp(w->hlLastLine, 0, last);
  w->hlFirstCol = std::max(0, w->hlFirstCol);
  w->hlLastCol = std::max(0, w->hlLastCol);
  return 1;
}

int DeleteCharBlock(WrxWindow* w, int repaint) {
  if (w->hilight != 2 || !NormalizeBlock(w)) return 0;
  const int32_t l1 = w->hlFirstLine, c1 = std::min(w->hlFirstCol, w->lines[w->hlFirstLine]->length);
  const int32_t l2 = w->hlLastLine, c2 = w->hlLastCol;
  if (l1 == l2 && c2 <= c1) {
    w->hilight = 0;
    return 1;
  }
  for (int32_t line = l1; line <= l2; ++line) {
    const WrxLine* l = w->lines[line];
    const int32_t from = line == l1 ? c1 : 0, to = line == l2 ? std::min(c2, l->length) : l->length;
    for (int32_t c = from; c < to; ++c)
      if (IsProtectedPos(w, line, c)) {
        WrxErrorBox(w, 32, "Text Protection Error");
        return 0;
      }
  }
  SaveUndo(w, l1, c1, l2, c2 - 1, 'D');
  DeleteRange(w, l1, c1, l2, c2);
  w->hilight = 0;
  w->curLine = l1, w->curCol = c1;
  if (w->arg.wordWrap) WordWrap(w, std::max(0, l1 - 1), 3);
  if (repaint) PaintWrx(w);
  return 1;
}

int DeleteLineBlock(WrxWindow* w, int repaint) {
  if (w->hilight != 1 || !NormalizeBlock(w)) return 0;
  const int32_t l1 = w->hlFirstLine, l2 = w->hlLastLine;
  SaveUndo(w, l1, 0, l2, w->lines[l2]->length, 'D');
  if (l2 < w->lineCount - 1 || l1 > 0) {
    ShiftLines(w, l1, l2 - l1 + 1, 'D');
  } else {
    DeleteRange(w, 0, 0, l2, w->lines[l2]->length);
  }
  ++w->modified;
  w->hilight = 0;
  w->curLine = std::min(l1, w->lineCount - 1), w->curCol = 0;
  if (w->arg.wordWrap) WordWrap(w, std::max(0, w->curLine - 1), 3);
  if (repaint) PaintWrx(w);
  return 1;
}

int WrxDeleteBlock(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  ++w->modified;
  return w->hilight == 1 ? DeleteLineBlock(w, 1) : DeleteCharBlock(w, 1);
}
