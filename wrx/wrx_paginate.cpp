// Host entries beside the page layout: repagination and placing a picture or
// object character. Until the page layout is built, repagination rewraps.
#include "wrx/wrx_block.h"

#include <algorithm>

int InsertObjectChar(WrxWindow* w, int fontId, int repaint) {
  if (fontId <= 0 || fontId >= w->fontCount || !w->fonts[fontId].inUse ||
      !(w->fonts[fontId].style & wrxfmt::kPictureStyle))
    return 0;
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  WrxLine* l = w->lines[line];
  const int32_t col = std::clamp(w->curCol, 0, l->length);
  if (l->length + 1 > WRX_MAXLINELEN) return WrxErrorBox(w, 88, "WrxInsertObjectId");
  if (!ExpandFontCodes(w, line) || !AdjustFontCodes(w, line, col, 1, 'I')) {
    CompactFontCodes(w, line);
    return 0;
  }
  l = w->lines[line];
  l->text[col] = '_';
  IdArray(l)[col] = uint8_t(fontId);
  CompactFontCodes(w, line);
  SetLineFlagsFromText(w, line);
  w->curLine = line;
  w->curCol = col + 1;
  if (line < w->staleLine) w->staleLine = line;
  if (w->arg.wordWrap) WordWrap(w, line, 1);
  if (repaint) PaintWrx(w);
  return 1;
}

int WrxInsertObjectId(HWND hwnd, int fontId, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return InsertObjectChar(w, fontId, repaint);
}

int WrxRepaginate(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (!w->arg.wordWrap) return 0;
  const int ok = WordWrap(w, 0, w->lineCount);
  if (repaint) PaintWrx(w);
  return w->arg.printView ? 1 : ok;
}
