// The undo store: up to 20 steps of deleted, inserted and overtyped text,
// taken back a group at a time. A deleted range keeps its characters, font
// ids and the paragraph ids of its lines, so undoing restores it exactly.
#include "wrx/wrx_block.h"

#include <algorithm>

namespace {
constexpr size_t kMaxUndo = 20;
}

int SaveUndo(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2, char kind) {
  if (w->undoBusy) return 1;
  if (w->undo.size() >= kMaxUndo) DropOldestUndo(w);
  l1 = std::clamp(l1, 0, w->lineCount - 1), l2 = std::clamp(l2, 0, w->lineCount - 1);
  WrxUndoRecord r;
  r.kind = kind;
  r.group = w->undoGroup;
  r.start = RowColToAbs(w, l1, std::max(0, c1));
  r.end = c2 < 0 ? RowColToAbs(w, l2, 0) : RowColToAbs(w, l2, c2);
  try {
    if (kind == 'D') {
      for (int32_t line = l1; line <= l2; ++line) {
        const WrxLine* l = w->lines[line];
        const int32_t from = line == l1 ? std::max(0, c1) : 0;
        const int32_t to = line == l2 ? std::min(c2, l->length - 1) : l->length - 1;
        for (int32_t c = from; c <= to; ++c) {
          r.text.push_back(l->text[c]);
          r.ids.push_back(uint8_t(GetCharFont(w, line, c)));
        }
        r.paras.push_back(l->para);
        // Without word wrap a range through a line's end takes the line end.
        if (!w->arg.wordWrap && (line < l2 || c2 >= l->length) && line < w->lineCount - 1) {
          int id = l->length ? GetCharFont(w, line, l->length - 1) : 0;
          if (w->fonts[id].style & wrxfmt::kPictureStyle) id = 0;
          r.text += "\r\n";
          r.ids.push_back(uint8_t(id));
          r.ids.push_back(uint8_t(id));
        }
      }
    } else if (kind == 'R') {
      const WrxLine* l = w->lines[l1];
      const bool inside = c1 >= 0 && c1 < l->length;
      r.text.push_back(inside ? l->text[c1] : ' ');
      r.ids.push_back(inside ? uint8_t(GetCharFont(w, l1, c1)) : 0);
    }
    w->undo.push_back(std::move(r));
  } catch (...) {
    return WrxErrorBox(w, 108, "SaveUndo");
  }
  return 1;
}

void ReleaseUndo(WrxWindow* w) { w->undo.clear(); }

void DropOldestUndo(WrxWindow* w) {
  if (!w->undo.empty()) w->undo.erase(w->undo.begin());
}

int Undo(WrxWindow* w) {
  if (w->undo.empty()) {
    WrxErrorBox(w, 38, nullptr);
    return 0;
  }
  w->undoBusy = 1;
  const int32_t group = w->undo.back().group;
  int32_t firstTouched = w->lineCount;
  while (!w->undo.empty() && w->undo.back().group == group) {
    WrxUndoRecord r = std::move(w->undo.back());
    w->undo.pop_back();
    int32_t line, col;
    AbsToRowCol(w, r.start, &line, &col);
    firstTouched = std::min(firstTouched, line);
    w->hilight = 0;
    w->curLine = line, w->curCol = col;
    switch (r.kind) {
      case 'D': InsertTextAt(w, r.text.data(), int32_t(r.text.size()), r.ids.data(), &r.paras, 1); break;
      case 'I': {
        int32_t l2, c2;
        AbsToRowCol(w, r.end + 1, &l2, &c2);
        if (r.end + 1 >= RowColToAbs(w, w->lineCount - 1, w->lines[w->lineCount - 1]->length))
          l2 = w->lineCount - 1, c2 = w->lines[l2]->length;
        DeleteRange(w, line, col, l2, c2);
        break;
      }
      case 'R': {
        WrxLine* l = w->lines[line];
        if (col < l->length && !r.text.empty() && ExpandFontCodes(w, line)) {
          l->text[col] = r.text[0];
          IdArray(l)[col] = r.ids.empty() ? 0 : r.ids[0];
          CompactFontCodes(w, line);
          SetLineFlagsFromText(w, line);
        }
        break;
      }
      default: break;
    }
    w->curLine = line, w->curCol = col;
  }
  w->undoBusy = 0;
  ++w->modified;
  if (w->arg.wordWrap && firstTouched < w->lineCount) {
    const int32_t back = std::max(0, firstTouched - 1);
    WordWrap(w, back, w->lineCount - back);
  }
  if (w->curLine >= w->lineCount) w->curLine = w->lineCount - 1;
  if (w->curLine < w->firstLine || w->curLine >= w->firstLine + std::max(1, w->linesPerWindow))
    w->firstLine = std::max(0, w->curLine - w->linesPerWindow / 2);
  w->curRow = w->curLine - w->firstLine;
  if (w->staleLine > firstTouched) w->staleLine = firstTouched;
  PaintWrx(w);
  return 1;
}
