// Page, column and section breaks typed at the cursor: each is a marker line
// of its own, opened above the cursor line.
#include "wrx/wrx_block.h"

#include <algorithm>

namespace {

constexpr size_t kMaxSections = 100;

bool InHdrFtrPara(WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  if (l->info && (l->info->flags & (LI_HEADER | LI_FOOTER))) return true;
  return l->para >= 0 && size_t(l->para) < w->paras.size() &&
         (w->paras[size_t(l->para)].flags & (PF_HEADER | PF_FOOTER));
}

// A break is refused in a table cell and in a header or footer paragraph;
// nothing is changed (the undo store included) when it is.
bool BreakRefused(WrxWindow* w, int32_t line) { return w->lines[line]->cell != 0 || InHdrFtrPara(w, line); }

bool EndsParagraph(WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  if (!w->arg.wordWrap) return true;
  return l->length > 0 && (uint8_t(l->text[l->length - 1]) == w->paraEnd || IsMarkerChar(w, uint8_t(l->text[0])));
}

// The cursor goes to the line after the break, shown in the window.
int FinishBreak(WrxWindow* w, int32_t breakLine, int repaint) {
  w->curLine = std::min(breakLine + 1, w->lineCount - 1);
  w->curCol = 0;
  const int32_t rows = std::max(1, w->linesPerWindow);
  if (w->curLine < w->firstLine || w->curLine >= w->firstLine + rows) w->firstLine = std::max(0, w->curLine - rows / 2);
  w->curRow = w->curLine - w->firstLine;
  w->hilight = 0;
  ++w->modified;
  if (breakLine < w->staleLine) w->staleLine = std::max(0, breakLine - 1);
  if (repaint) PaintWrx(w);
  return 1;
}

}  // namespace

int InsertPageBreakAt(WrxWindow* w, int repaint) {
  int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (BreakRefused(w, line)) return 0;
  ReleaseUndo(w);
  const int font = GetCurrentFont(w);
  int32_t first = line;
  if (line == 0 || !EndsParagraph(w, line - 1)) {
    // The text above must end its paragraph before a page can begin.
    if (!InsertMarkerLine(w, line, w->paraEnd, font, w->lines[line]->para, 0, -1)) return 0;
    ++line;
  }
  if (!InsertMarkerLine(w, line, WRX_PAGEBREAK, font, w->lines[line]->para, LI_PAGEBREAK, -1)) return 0;
  // Only what was inserted is taken back by Undo: never the paragraph above.
  SaveUndo(w, first, 0, line, 0, 'I');
  return FinishBreak(w, line, repaint);
}

int InsertColumnBreakAt(WrxWindow* w, int repaint) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (BreakRefused(w, line)) return 0;
  ReleaseUndo(w);
  if (!InsertMarkerLine(w, line, WRX_COLBREAK, 0, w->lines[line]->para, LI_COLBREAK, -1)) return 0;
  SaveUndo(w, line, 0, line, 0, 'I');
  return FinishBreak(w, line, repaint);
}

int WrxSectBreakAt(WrxWindow* w, int repaint) {
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (BreakRefused(w, line) || w->hdrFtrEdit) return 0;
  if (w->sections.empty()) {
    w->sections.resize(1);
    InitSection(w, 0);
  }
  size_t slot = 0;
  for (size_t i = 1; i < w->sections.size() && !slot; ++i)
    if (!w->sections[i].inUse) slot = i;
  if (!slot) {
    if (w->sections.size() >= kMaxSections) return WrxErrorBox(w, 128, "WrxSectBreak");
    w->sections.emplace_back();
    slot = w->sections.size() - 1;
  }
  const size_t current = size_t(GetLineSection(w, line));
  ReleaseUndo(w);
  const int32_t para = line > 0 && !EndsParagraph(w, line - 1) ? w->lines[line - 1]->para : 0;
  if (!InsertMarkerLine(w, line, WRX_SECTBREAK, 0, para, LI_SECTBREAK, -1)) {
    if (slot == w->sections.size() - 1 && !w->sections[slot].inUse) w->sections.pop_back();
    return 0;
  }
  // The new record takes the text before the break with the cursor's
  // section settings; the cursor's section starts after it.
  wrxfmt::WrxSectionRecord copy = w->sections[current];
  copy.inUse = 1;
  copy.lastLine = line;
  w->sections[slot] = copy;
  w->sections[current].firstLine = line + 1;
  w->lines[line]->info->section = int32_t(slot);
  w->sectionsStale = 1;
  SaveUndo(w, line, 0, line, 0, 'I');
  return FinishBreak(w, line, repaint);
}

int InsertPageBreak(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? InsertPageBreakAt(w, repaint) : 0;
}

int InsertColumnBreak(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? InsertColumnBreakAt(w, repaint) : 0;
}

int WrxSectBreak(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? WrxSectBreakAt(w, repaint) : 0;
}
