// Typing and the editing keys: characters in insert and overtype mode, Enter,
// Backspace, Delete and Tab, splitting, joining, inserting and deleting
// lines, and the guards that decide whether a position may change.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxCursorCol = WRX_MAXLINELEN - 1;

DWORD StyleAt(WrxWindow* w, int32_t line, int32_t col) { return w->fonts[GetCharFont(w, line, col)].style; }

bool HdrFtrBlocked(WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  if (l->info && (l->info->flags & (LI_HEADER | LI_FOOTER))) return true;
  if (w->arg.pageMode && !w->hdrFtrEdit && l->para >= 0 && size_t(l->para) < w->paras.size() &&
      (w->paras[size_t(l->para)].flags & (PF_HEADER | PF_FOOTER)))
    return true;
  return false;
}

// Whether any of the n bytes at p is a or b, eight bytes at a time.
bool HasEitherByte(const uint8_t* p, size_t n, uint8_t a, uint8_t b) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const uint64_t pa = kOnes * a, pb = kOnes * b;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x;
    memcpy(&x, p + i, 8);
    const uint64_t xa = x ^ pa, xb = x ^ pb;
    // A zero byte in xa or xb is a byte equal to a or b.
    if (((xa - kOnes) & ~xa & kHighs) | ((xb - kOnes) & ~xb & kHighs)) return true;
  }
  for (; i < n; ++i)
    if (p[i] == a || p[i] == b) return true;
  return false;
}

// Rewraps the paragraph around a changed line and repaints.
void AfterEdit(WrxWindow* w, int32_t line) {
  if (w->arg.wordWrap) WordWrap(w, std::max(0, line - 1), 3);
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (w->curLine < w->firstLine) w->firstLine = w->curLine;
  w->curRow = w->curLine - w->firstLine;
  if (line < w->staleLine) w->staleLine = line;
  PaintWrx(w);
}

}  // namespace

int IsProtectedPos(WrxWindow* w, int32_t line, int32_t col) {
  if (line < 0 || line >= w->lineCount) return 0;
  if (HdrFtrBlocked(w, line)) return 1;
  const WrxLine* l = w->lines[line];
  if (col < 0 || col >= l->length) return 0;
  const DWORD style = StyleAt(w, line, col);
  if (style & (0x200 | 0x400 | 0x1000)) return 1;
  if ((style & 0x800) && col > 0 && (StyleAt(w, line, col - 1) & 0x400) &&
      !(col + 1 < l->length && (StyleAt(w, line, col + 1) & 0x800)))
    return 1;
  const uint8_t c = uint8_t(l->text[col]);
  if (c == w->cellEnd || c == WRX_ROWEND) return 1;
  if (l->cell && c == w->paraEnd && col == l->length - 1 &&
      (line + 1 >= w->lineCount || w->lines[line + 1]->cell != l->cell))
    return 1;
  return 0;
}

WrxStyleMask MakeStyleMask(WrxWindow* w, DWORD bits) {
  WrxStyleMask mask;
  for (int id = 0; id < 256; ++id) {
    mask.hit[id] = (w->fonts[id < w->fontCount ? id : 0].style & bits) != 0;
    mask.any = mask.any || mask.hit[id];
  }
  return mask;
}

bool LineHasStyle(WrxWindow* w, const WrxStyleMask& mask, int32_t line, int32_t from, int32_t to) {
  if (!mask.any) return false;
  const WrxLine* l = w->lines[line];
  from = std::max(from, 0), to = std::min(to, l->length);
  if (from >= to) return false;
  if (IsSharedIds(l)) return mask.hit[SharedId(l)];
  const uint8_t* ids = IdArray(l);
  for (int32_t c = from; c < to; ++c)
    if (mask.hit[ids[c]]) return true;
  return false;
}

int IsProtectedBlock(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
  // Most lines hold none of the styles or characters that protect text;
  // only the others are looked at a character at a time.
  const WrxStyleMask guarded = MakeStyleMask(w, 0x200 | 0x400 | 0x800 | 0x1000);
  for (int32_t line = l1; line <= l2; ++line) {
    const WrxLine* l = w->lines[line];
    const int32_t from = line == l1 ? c1 : 0, to = line == l2 ? std::min(c2, l->length) : l->length;
    if (from >= to) continue;
    if (HdrFtrBlocked(w, line)) return 1;
    bool plain = !l->cell && !LineHasStyle(w, guarded, line, from, to);
    if (plain) {
      const int32_t lo = std::max(from, 0), end = std::min(to, l->length);
      plain = end <= lo ||
              !HasEitherByte(reinterpret_cast<const uint8_t*>(l->text) + lo, size_t(end - lo), w->cellEnd, WRX_ROWEND);
    }
    if (plain) continue;
    for (int32_t c = from; c < to; ++c)
      if (IsProtectedPos(w, line, c)) return 1;
  }
  return 0;
}

int IsEditablePos(WrxWindow* w, int32_t line, int32_t col) {
  if (line < 0 || line >= w->lineCount) return 0;
  const WrxLine* l = w->lines[line];
  if (col >= l->length) return w->arg.wordWrap ? 0 : 1;
  if (HdrFtrBlocked(w, line)) return 0;
  if (l->info && (l->info->flags & LI_ROWEND)) return 0;
  if ((StyleAt(w, line, col) & 0x200) && col > 0 && (StyleAt(w, line, col - 1) & 0x200)) return 0;
  return 1;
}

int InsertChar(WrxWindow* w, uint8_t c) {
  if (c != w->paraEnd && IsMarkerChar(w, c)) return 1;
  if (c == 27) return WrxBeep(w), 0;
  int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (HdrFtrBlocked(w, line)) return WrxBeep(w), 0;
  WrxLine* l = w->lines[line];
  bool overtype = !w->insertMode && w->curCol < l->length;
  if (overtype) {
    if (StyleAt(w, line, w->curCol) & 0x200) return WrxBeep(w), 0;
    if (uint8_t(l->text[w->curCol]) == w->paraEnd) overtype = false;
  }
  int font = w->inputFont >= 0 && w->inputFont < w->fontCount && w->fonts[w->inputFont].inUse ? w->inputFont
                                                                                              : GetCurrentFont(w);
  if (w->fonts[font].style & 0x200) {
    font = GetCharFont(w, line, w->curCol);
    if (w->fonts[font].style & (0x200 | 0x400 | 0x1000)) return WrxBeep(w), 0;
  }
  if (((l->flags & LF_MARKER) && !(l->flags & LF_PARAEND) && c != w->paraEnd) || (l->flags & LF_NUMBERED))
    return WrxBeep(w), 0;
  if (w->fonts[font].style & wrxfmt::kPictureStyle) font = 0;
  if (w->hilight == 2) {
    // Its repaint closes the deletion's undo group, which the typing joins.
    if (!DeleteCharBlock(w, 1)) return 0;
    line = std::clamp(w->curLine, 0, w->lineCount - 1);
    l = w->lines[line];
  }
  --w->undoGroup;
  const int32_t col = std::min(w->curCol, kMaxCursorCol);
  const char ch = char(c);
  if (!overtype && col < l->length) {
    if (l->length >= WRX_MAXLINELEN) return 1;
    if (!InsertInLine(w, line, col, &ch, 1, nullptr, uint8_t(font))) return 0;
    SaveUndo(w, line, col, line, col, 'I');
  } else {
    if (IsProtectedPos(w, line, col)) return WrxBeep(w), 0;
    if (col >= l->length) {
      // Typing past the end pads with blanks in the last character's font.
      int pad = l->length ? GetCharFont(w, line, l->length - 1) : 0;
      if (w->fonts[pad].style & (0x200 | wrxfmt::kPictureStyle)) pad = 0;
      const std::string gap(size_t(col - l->length), ' ');
      if (!gap.empty() && !InsertInLine(w, line, l->length, gap.data(), int32_t(gap.size()), nullptr, uint8_t(pad)))
        return 0;
      if (!InsertInLine(w, line, col, &ch, 1, nullptr, uint8_t(font))) return 0;
      SaveUndo(w, line, col, line, col, 'I');
    } else {
      SaveUndo(w, line, col, line, col, 'R');
      if (!ExpandFontCodes(w, line)) return 0;
      l->text[col] = ch;
      IdArray(l)[col] = uint8_t(font);
      CompactFontCodes(w, line);
      SetLineFlagsFromText(w, line);
    }
  }
  w->curLine = line;
  w->curCol = std::min(col + 1, kMaxCursorCol);
  w->inputFont = -1;
  w->pictureSelected = 0;
  ++w->modified;
  AfterEdit(w, line);
  return 1;
}

int InsertReturn(WrxWindow* w, int shift) {
  if (w->arg.wordWrap) {
    const int32_t line = w->curLine;
    const WrxLine* l = w->lines[line];
    if (shift && !(w->curCol == 0 && l->length > 0)) return InsertChar(w, WRX_LINEBREAK);
    return InsertChar(w, w->paraEnd);
  }
  const WrxLine* l = w->lines[w->curLine];
  int32_t indent = 0;
  while (indent < l->length && l->text[indent] == ' ') ++indent;
  indent = std::min(indent, w->curCol);
  return WrxSplitLine(w, indent);
}

int BackSpace(WrxWindow* w) {
  if (w->hilight == 2) return DeleteCharBlock(w, 1);
  if (w->hilight == 1) return DeleteLineBlock(w, 1);
  if (w->curCol == 0 && w->curLine == 0) return 1;
  if (w->curCol == 0) {
    const int32_t prev = w->curLine - 1;
    w->curLine = prev;
    w->curCol = w->lines[prev]->length;
    if (!w->arg.wordWrap) return WrxJoinLine(w);
  }
  const int32_t line = w->curLine;
  const WrxLine* l = w->lines[line];
  if (w->curCol > l->length) {
    --w->curCol;
    PaintWrx(w);
    return 1;
  }
  const int32_t col = w->curCol - 1;
  if (col < 0) return 1;
  if (IsProtectedPos(w, line, col)) return WrxBeep(w), 0;
  SaveUndo(w, line, col, line, col, 'D');
  AdjustFontCodes(w, line, col, 1, 'D');
  SetLineFlagsFromText(w, line);
  w->curCol = col;
  ++w->modified;
  AfterEdit(w, line);
  return 1;
}

int DelChar(WrxWindow* w) {
  if (w->hilight == 2) return DeleteCharBlock(w, 1);
  if (w->hilight == 1) return DeleteLineBlock(w, 1);
  const int32_t line = w->curLine;
  const WrxLine* l = w->lines[line];
  if (w->curCol >= l->length) return w->arg.wordWrap ? 1 : WrxJoinLine(w);
  if (w->arg.wordWrap && line == w->lineCount - 1 && w->curCol >= l->length - 1 &&
      uint8_t(l->text[l->length - 1]) == w->paraEnd)
    return 1;
  if (IsProtectedPos(w, line, w->curCol)) return WrxBeep(w), 0;
  SaveUndo(w, line, w->curCol, line, w->curCol, 'D');
  AdjustFontCodes(w, line, w->curCol, 1, 'D');
  SetLineFlagsFromText(w, line);
  ++w->modified;
  AfterEdit(w, line);
  return 1;
}

int WrxInsertTab(WrxWindow* w, int command) {
  (void)command;
  if (w->arg.readOnly || w->htmlEditing) return 0;
  // In a table Tab moves to the next cell.
  if (w->lines[std::clamp(w->curLine, 0, w->lineCount - 1)]->cell && GoNextCell(w)) return 1;
  return InsertChar(w, WRX_TAB);
}

int ToggleInsertMode(WrxWindow* w) {
  w->insertMode = !w->insertMode;
  return 1;
}

int WrxSplitLine(WrxWindow* w, int32_t indent) {
  const int32_t line = w->curLine;
  const WrxLine* l = w->lines[line];
  const int32_t col = std::min(w->curCol, l->length);
  const int32_t tail = l->length - col;
  if (!ExpandLineArray(w, w->lineCount + 1)) return WrxErrorBox(w, 88, "WrxSplitLine");
  if (!SplitLineAt(w, line, col)) return 0;
  int32_t added = 0;
  if (tail > 0 && indent > 0 && indent + tail < WRX_MAXLINELEN) {
    int id = GetCharFont(w, line + 1, 0);
    if (w->fonts[id].style & wrxfmt::kPictureStyle) id = 0;
    const std::string blanks(size_t(indent), ' ');
    if (InsertInLine(w, line + 1, 0, blanks.data(), indent, nullptr, uint8_t(id))) added = indent;
  }
  // The step covers the new line end and the blanks.
  if (SaveUndo(w, line, col, line, col, 'I') && !w->undoBusy && !w->undo.empty())
    w->undo.back().end = RowColToAbs(w, line + 1, added) - 1;
  w->curLine = line + 1;
  w->curCol = 0;
  if (w->lines[line + 1]->length == 0) {
    // Under the first non-blank of the nearest non-empty line above.
    for (int32_t k = line; k >= 0; --k) {
      const WrxLine* above = w->lines[k];
      if (above->length == 0) continue;
      int32_t n = 0;
      while (n < above->length && above->text[n] == ' ') ++n;
      w->curCol = n < above->length ? n : 0;
      break;
    }
  }
  ++w->modified;
  if (w->curLine >= w->firstLine + std::max(1, w->linesPerWindow)) ++w->firstLine;
  AfterEdit(w, line);
  return 1;
}

int WrxJoinLine(WrxWindow* w) {
  const int32_t line = w->curLine;
  if (line >= w->lineCount - 1) return 0;
  const WrxLine* a = w->lines[line];
  const WrxLine* b = w->lines[line + 1];
  if (a->length + b->length > WRX_MAXLINELEN) return WrxErrorBox(w, 85, "WrxJoinLine");
  int32_t skip = 0;
  while (skip < b->length && b->text[skip] == ' ') ++skip;
  const int32_t savedCol = w->curCol;
  const int32_t at = a->length;
  SaveUndo(w, line, at, line + 1, skip - 1, 'D');
  DeleteRange(w, line, at, line + 1, skip);
  w->curLine = line, w->curCol = savedCol;
  AfterEdit(w, line);
  return 1;
}

int InsertLineBelow(WrxWindow* w) {
  if (!ExpandLineArray(w, w->lineCount + 1) || !ShiftLines(w, w->curLine, 1, 'A')) return 0;
  if (w->hilight) {
    if (w->hlFirstLine > w->curLine) ++w->hlFirstLine;
    if (w->hlLastLine > w->curLine) ++w->hlLastLine;
  }
  ++w->modified;
  AfterEdit(w, w->curLine);
  return 1;
}

int InsertLineAbove(WrxWindow* w) {
  if (!ExpandLineArray(w, w->lineCount + 1) || !ShiftLines(w, w->curLine, 1, 'B')) return 0;
  if (w->hilight) {
    if (w->hlFirstLine >= w->curLine) ++w->hlFirstLine;
    if (w->hlLastLine >= w->curLine) ++w->hlLastLine;
  }
  ++w->curLine;
  if (w->curLine >= w->firstLine + std::max(1, w->linesPerWindow)) ++w->firstLine;
  ++w->modified;
  AfterEdit(w, w->curLine - 1);
  return 1;
}

int DeleteLine(WrxWindow* w) {
  const int32_t line = w->curLine;
  SaveUndo(w, line, 0, line, w->lines[line]->length, 'D');
  if (w->lineCount == 1) {
    DeleteRange(w, 0, 0, 0, w->lines[0]->length);
  } else {
    ShiftLines(w, line, 1, 'D');
  }
  if (line >= w->lineCount) w->curLine = w->lineCount - 1, w->curCol = 0;
  if (w->hilight) {
    if (w->hlFirstLine > line) --w->hlFirstLine;
    if (w->hlLastLine > line) --w->hlLastLine;
    if (w->hlLastLine < 0) w->hilight = 0;
  }
  if (w->arg.wordWrap) w->curCol = std::min(w->curCol, std::max(0, w->lines[w->curLine]->length - 1));
  ++w->modified;
  AfterEdit(w, w->curLine);
  return 1;
}
