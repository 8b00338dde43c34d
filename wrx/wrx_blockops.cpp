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
  if (w->hilight != 2 || !NormalizeBlock(w) || !ExpandBlockToFields(w)) return 0;
  const int32_t l1 = w->hlFirstLine, c1 = std::min(w->hlFirstCol, w->lines[w->hlFirstLine]->length);
  const int32_t l2 = w->hlLastLine, c2 = w->hlLastCol;
  if (l1 == l2 && c2 <= c1) {
    w->hilight = 0;
    return 1;
  }
  if (IsProtectedBlock(w, l1, c1, l2, c2)) {
    WrxErrorBox(w, 32, "Text Protection Error");
    return 0;
  }
  // The range's lines after the first go with it.
  SaveDeleteUndo(w, l1, c1, l2, c2 - 1, l1 + 1, l2);
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
  const bool whole = l2 >= w->lineCount - 1 && l1 == 0;
  // Every line goes, but the first when the block is the whole document.
  SaveDeleteUndo(w, l1, 0, l2, w->lines[l2]->length, whole ? l1 + 1 : l1, l2);
  if (!whole) {
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
  if (!w || !w->hilight) return 0;
  if (CheckHdrFtrDelete(w, 1)) return 1;
  ++w->modified;
  return w->hilight == 1 ? DeleteLineBlock(w, 1) : DeleteCharBlock(w, 1);
}

namespace {

constexpr DWORD kFieldStyles = 0x400 | 0x800 | 0x1000;

DWORD CharStyle(WrxWindow* w, int32_t line, int32_t col) { return w->fonts[GetCharFont(w, line, col)].style; }

// Steps one character back or on through the text, across line ends; false
// at the text's ends.
bool StepBack(WrxWindow* w, int32_t& line, int32_t& col) {
  while (col <= 0) {
    if (line == 0) return false;
    --line;
    col = w->lines[line]->length;
  }
  --col;
  return true;
}

bool StepOn(WrxWindow* w, int32_t& line, int32_t& col) {
  ++col;
  while (col >= w->lines[line]->length) {
    if (line + 1 >= w->lineCount) return false;
    ++line, col = 0;
  }
  return true;
}

// The first character of the run of `bits` holding (line, col).
void RunStart(WrxWindow* w, DWORD bits, int32_t& line, int32_t& col) {
  int32_t l = line, c = col;
  while (StepBack(w, l, c) && (CharStyle(w, l, c) & bits)) line = l, col = c;
}

// The position just past the run of `bits` holding (line, col).
void RunEnd(WrxWindow* w, DWORD bits, int32_t& line, int32_t& col) {
  int32_t l = line, c = col;
  while (StepOn(w, l, c) && (CharStyle(w, l, c) & bits)) line = l, col = c;
  ++col;
}

// The characters of a block with their font ids, as the insertion core takes
// them (without word wrap a line end is CR LF), and its lines' paragraphs.
struct BlockCopy {
  std::vector<int32_t> lengths;  // characters taken from each line
  std::string text;
  std::vector<uint8_t> ids;
  std::vector<int32_t> paras;
};

BlockCopy CollectBlock(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
  BlockCopy b;
  for (int32_t line = l1; line <= l2; ++line) {
    const WrxLine* l = w->lines[line];
    const int32_t from = line == l1 ? std::min(c1, l->length) : 0;
    const int32_t to = line == l2 ? std::min(c2, l->length) : l->length;
    for (int32_t c = from; c < to; ++c) {
      b.text.push_back(l->text[c]);
      b.ids.push_back(uint8_t(GetCharFont(w, line, c)));
    }
    b.lengths.push_back(std::max(0, to - from));
    b.paras.push_back(l->para);
    if (line < l2 && !w->arg.wordWrap) {
      b.text += "\r\n";
      b.ids.insert(b.ids.end(), 2, 0);
    }
  }
  return b;
}

void ShowCursorLine(WrxWindow* w) {
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t rows = std::max(1, w->linesPerWindow);
  if (w->curLine < w->firstLine || w->curLine >= w->firstLine + rows) w->firstLine = std::max(0, w->curLine - rows / 2);
  w->curRow = w->curLine - w->firstLine;
  w->hilight = 0;
}

}  // namespace

int ExpandBlockToFields(WrxWindow* w) {
  if (w->hilight != 2 || !NormalizeBlock(w)) return 0;
  int32_t l1 = w->hlFirstLine, c1 = w->hlFirstCol, l2 = w->hlLastLine, c2 = w->hlLastCol;
  if (c1 < w->lines[l1]->length) {
    const DWORD first = CharStyle(w, l1, c1);
    if (first & (0x800 | 0x1000)) {
      RunStart(w, first & (0x800 | 0x1000), l1, c1);
    } else if (first & 0x400) {
      RunEnd(w, 0x400, l1, c1);
      if (c1 >= w->lines[l1]->length && l1 + 1 < w->lineCount) ++l1, c1 = 0;
    }
  }
  int32_t ll = l2, lc = c2;
  if (StepBack(w, ll, lc) && (ll > l1 || (ll == l1 && lc >= c1))) {
    for (DWORD bits : {DWORD(0x400), DWORD(0x800), DWORD(0x1000)})
      if (CharStyle(w, ll, lc) & bits) RunEnd(w, bits, ll, lc), --lc;
    ++lc;
    if (ll > l2 || (ll == l2 && lc > c2)) l2 = ll, c2 = lc;
  }
  w->hlFirstLine = l1, w->hlFirstCol = c1, w->hlLastLine = l2, w->hlLastCol = c2;
  return 1;
}

int CheckHdrFtrDelete(WrxWindow* w, int report) {
  if (!NormalizeBlock(w) || (w->flags & 0x100)) return 0;
  auto refuse = [w, report](int code) {
    if (report) WrxErrorBox(w, code, "Text Protection Error");
    return 1;
  };
  const int32_t l1 = w->hlFirstLine, l2 = w->hlLastLine, last = w->lineCount - 1;
  const WrxStyleMask protectedText = MakeStyleMask(w, 0x200);
  const bool lineBlock = w->hilight == 1;
  const bool everything =
      l1 == 0 && l2 == last && (lineBlock || (w->hlFirstCol == 0 && w->hlLastCol >= w->lines[last]->length));
  if (!everything && l1 > 0 && IsHdrFtrLine(w, l1 - 1) && (lineBlock || w->hlFirstCol == 0) &&
      (lineBlock || w->hlLastCol >= w->lines[l2]->length) && !IsHdrFtrLine(w, l2)) {
    const bool beforeSection = l2 < last && w->lines[l2 + 1]->info && (w->lines[l2 + 1]->info->flags & LI_SECTBREAK);
    if (l2 == last || beforeSection) return refuse(84);
  }
  for (int32_t line = l1; line <= l2; ++line) {
    const WrxLine* l = w->lines[line];
    if (!everything && w->arg.pageMode && !w->hdrFtrEdit && IsHdrFtrLine(w, line)) return refuse(91);
    if (l->info && (l->info->flags & (LI_HEADER | LI_FOOTER))) return refuse(91);
    const int32_t from = lineBlock || line > l1 ? 0 : w->hlFirstCol;
    const int32_t to = lineBlock || line < l2 ? l->length : std::min(w->hlLastCol, l->length);
    if (LineHasStyle(w, protectedText, line, from, to)) return refuse(32);
    if (IsSharedIds(l) && l->length == 0 && (w->fonts[SharedId(l)].style & 0x200)) return refuse(32);
  }
  return 0;
}

int CopyLineBlock(WrxWindow* w, int move) {
  if (w->hilight != 1 || !NormalizeBlock(w)) return 0;
  const int32_t l1 = w->hlFirstLine, l2 = w->hlLastLine, count = l2 - l1 + 1;
  if (!ExpandLineArray(w, w->lineCount + count + 1)) return WrxErrorBox(w, 88, "Block Size Error");
  int32_t after = w->curLine >= l1 && w->curLine <= l2 ? l2 : w->curLine;
  const BlockCopy block = CollectBlock(w, l1, 0, l2, w->lines[l2]->length);
  if (!ShiftLines(w, after, count, 'A')) return WrxErrorBox(w, 88, "Block Size Error");
  size_t offset = 0;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t target = after + 1 + k;
    const size_t length = size_t(block.lengths[size_t(k)]);
    WrxLine* t = w->lines[target];
    t->para = block.paras[size_t(k)];
    if (length) InsertInLine(w, target, 0, block.text.data() + offset, int32_t(length), block.ids.data() + offset, 0);
    offset += length + (w->arg.wordWrap ? 0 : 2);
  }
  const int32_t lastNew = after + count;
  SaveUndo(w, after + 1, 0, lastNew, w->arg.wordWrap ? w->lines[lastNew]->length - 1 : w->lines[lastNew]->length + 1,
           'I');
  int32_t first = after + 1;
  if (l1 > after) w->hlFirstLine += count, w->hlLastLine += count;
  if (move) {
    const int32_t sourceFirst = w->hlFirstLine;
    DeleteLineBlock(w, 0);
    if (first > sourceFirst) first -= count;
  }
  ++w->modified;
  w->curLine = first, w->curCol = 0;
  ShowCursorLine(w);
  if (w->arg.wordWrap) WordWrap(w, std::max(0, std::min(after, l1) - 1), w->lineCount);
  PaintWrx(w);
  return 1;
}

int CopyCharBlock(WrxWindow* w, int move) {
  if (w->hilight != 2 || !NormalizeBlock(w)) return 0;
  const int32_t l1 = w->hlFirstLine, c1 = std::min(w->hlFirstCol, w->lines[w->hlFirstLine]->length);
  const int32_t l2 = w->hlLastLine, c2 = std::min(w->hlLastCol, w->lines[w->hlLastLine]->length);
  const long begin = RowColToAbs(w, l1, c1), end = RowColToAbs(w, l2, c2);
  long cursor = RowColToAbs(w, w->curLine, std::min(w->curCol, w->lines[w->curLine]->length));
  if (end <= begin || (begin <= cursor && cursor < end)) return 0;
  if (!ExpandLineArray(w, w->lineCount + (l2 - l1) + 1)) return WrxErrorBox(w, 88, "Block Size Error");
  const WrxLine* target = w->lines[w->curLine];
  const int32_t pad = std::max(0, w->curCol - target->length);
  // The lines the copy touches must stay within the line limit.
  const int32_t head = std::min(w->curCol, target->length) + pad,
                tail = target->length - std::min(w->curCol, target->length);
  const int32_t firstPart = (l1 == l2 ? c2 : w->lines[l1]->length) - c1;
  const bool tooLong = l1 == l2 ? head + firstPart + tail > WRX_MAXLINELEN
                                : head + firstPart > WRX_MAXLINELEN || c2 + tail > WRX_MAXLINELEN;
  if (tooLong) return WrxErrorBox(w, 88, "Block Size Error");
  const BlockCopy block = CollectBlock(w, l1, c1, l2, c2);
  if (pad) {
    int id = target->length ? GetCharFont(w, w->curLine, target->length - 1) : 0;
    if (w->fonts[id].style & wrxfmt::kPictureStyle) id = 0;
    const std::string blanks(size_t(pad), ' ');
    if (!InsertInLine(w, w->curLine, target->length, blanks.data(), pad, nullptr, uint8_t(id))) return 0;
    cursor = RowColToAbs(w, w->curLine, w->curCol);
  }
  const int32_t savedInput = w->inputFont;
  w->hilight = 0;
  InsertTextAt(w, block.text.data(), int32_t(block.text.size()), block.ids.data(), nullptr, 1);
  w->inputFont = savedInput;
  const long inserted = RowColToAbs(w, w->curLine, w->curCol) - cursor;
  long destination = cursor;
  if (move) {
    long b = begin, e = end;
    if (begin >= cursor) b += inserted, e += inserted;
    w->hilight = 2;
    AbsToRowCol(w, b, &w->hlFirstLine, &w->hlFirstCol);
    AbsToRowCol(w, e, &w->hlLastLine, &w->hlLastCol);
    DeleteCharBlock(w, 0);
    if (cursor > begin) destination -= end - begin;
  }
  AbsToRowCol(w, destination, &w->curLine, &w->curCol);
  ++w->modified;
  ShowCursorLine(w);
  if (w->arg.wordWrap) WordWrap(w, 0, w->lineCount);
  PaintWrx(w);
  return 1;
}
