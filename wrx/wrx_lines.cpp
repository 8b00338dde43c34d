// The line store: the line-pointer array, line records and their text and
// font ids, marker lines, and absolute positions.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

void LowerStaleLine(WrxWindow* w, int32_t line) {
  if (line < 0) line = 0;
  if (line < w->staleLine) w->staleLine = line;
}

}  // namespace

bool IsMarkerChar(const WrxWindow* w, uint8_t c) {
  for (const uint8_t* m = w->markers; *m; ++m)
    if (*m == c) return true;
  return false;
}

int ExpandLineArray(WrxWindow* w, int32_t needed) {
  if (w->arg.maxLines > 0 && needed > w->arg.maxLines) return 0;
  if (w->lineCapacity > needed) return 1;
  int32_t capacity = std::max(w->lineCapacity + w->lineCapacity / 4, needed + 1);
  if (w->arg.maxLines > 0 && capacity > w->arg.maxLines) capacity = w->arg.maxLines;
  void* p = OurRealloc(w->lines, (long(capacity) + 1) * long(sizeof(WrxLine*)));
  if (!p) return 0;
  w->lines = static_cast<WrxLine**>(p);
  for (int32_t i = w->lineCapacity; i <= capacity; ++i) w->lines[i] = nullptr;
  w->lineCapacity = capacity;
  return 1;
}

int ExpandTable(long recordSize, void** table, int32_t* capacity, int32_t newCapacity, int32_t maximum) {
  int32_t target = newCapacity >= 0 ? newCapacity : *capacity + *capacity / 3;
  if (target > maximum) target = maximum;
  if (target <= *capacity) return 0;
  void* p = OurAlloc((long(target) + 1) * recordSize + 1);
  if (!p) return 0;
  if (*table) {
    FarMove(*table, p, (long(*capacity) + 1) * recordSize);
    OurFree(*table);
  }
  *table = p;
  *capacity = target;
  return 1;
}

int InitLine(WrxWindow* w, int32_t line) {
  if (!AllocLinePtr(w, line)) return 0;
  WrxLine* l = w->lines[line];
  l->fontIds = MakeSharedIds(0);
  l->height = 12 * DeviceResY(w) / 72;
  const WrxLine* prev = line > 0 ? w->lines[line - 1] : (line + 1 < w->lineCount ? w->lines[line + 1] : nullptr);
  if (prev) {
    l->para = prev->para < int32_t(std::max<size_t>(w->paras.size(), 1)) ? prev->para : 0;
    l->cell = prev->cell < int32_t(std::max<size_t>(w->cells.size(), 1)) ? prev->cell : 0;
    l->frame = prev->frame < int32_t(std::max<size_t>(w->frames.size(), 1)) ? prev->frame : 0;
  }
  return 1;
}

int FreeLine(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  if (!l) return 1;
  ReleaseLineText(l);
  if (!IsSharedIds(l)) free(IdArray(l));
  if (l->info && (l->info->flags & LI_SECTBREAK)) w->sectionsStale = 1;
  FreeLineInfo(w, line);
  return FreeLinePtr(w, line);
}

void FreeAllLines(WrxWindow* w) {
  // Undo steps may hold text in the document's bytes, and their positions
  // mean nothing in another document.
  ReleaseUndo(w);
  // Every record goes at once, so the slabs go whole instead of record by
  // record through the pool.
  for (int32_t i = 0; i < w->lineCount; ++i) {
    WrxLine* l = w->lines[i];
    if (!l) continue;
    ReleaseLineText(l);
    if (!IsSharedIds(l)) free(IdArray(l));
    if (l->info) {
      if (l->info->flags & LI_SECTBREAK) w->sectionsStale = 1;
      FreeLineInfo(w, i);
    }
    w->lines[i] = nullptr;
  }
  w->lineCount = 0;
  w->poolCount = 0;
  w->spares.clear();
  for (WrxLine* slab : w->slabs) free(slab);
  w->slabs.clear();
  w->slabLeft = 0;
  w->slabNext = nullptr;
  ReleaseTextArenas(w);
}

void ReleaseLineText(WrxLine* l) {
  if (!(l->flags & LF_ARENATEXT))
    free(l->text);
  else if (l->arena && --l->arena->lines == 0)
    free(l->arena);
  l->text = nullptr;
  l->arena = nullptr;
  l->flags &= ~LF_ARENATEXT;
}

void ReleaseTextArenas(WrxWindow* w) {
  for (char* arena : w->textArenas) free(arena);
  w->textArenas.clear();
}

int ShiftLines(WrxWindow* w, int32_t line, int32_t count, char mode) {
  if (count <= 0) return 1;
  if (mode == 'D') {
    line = std::clamp(line, 0, w->lineCount);
    count = std::min(count, w->lineCount - line);
    for (int32_t i = line; i < line + count; ++i) FreeLine(w, i);
    FarMove(w->lines + line + count, w->lines + line, long(w->lineCount - line - count) * long(sizeof(WrxLine*)));
    w->lineCount -= count;
    for (int32_t i = w->lineCount; i < w->lineCount + count; ++i) w->lines[i] = nullptr;
    LowerStaleLine(w, line - 1);
    AdjustSectionLines(w, line, -count);
    if (w->lineCount == 0) {
      w->lineCount = 1;
      if (!InitLine(w, 0)) return 0;
    }
    // The cursor and the view never point past the text.
    if (w->curLine >= w->lineCount) {
      w->curLine = w->lineCount - 1;
      w->curCol = w->lines[w->curLine] ? w->lines[w->curLine]->length : 0;
    }
    if (w->firstLine >= w->lineCount) w->firstLine = w->lineCount - 1;
    return 1;
  }
  const int32_t at = mode == 'A' ? line + 1 : line;
  if (at < 0 || at > w->lineCount || w->lineCount + count > w->lineCapacity) return 0;
  FarMove(w->lines + at, w->lines + at + count, long(w->lineCount - at) * long(sizeof(WrxLine*)));
  for (int32_t i = at; i < at + count; ++i) w->lines[i] = nullptr;
  w->lineCount += count;
  for (int32_t i = at; i < at + count; ++i) {
    if (!InitLine(w, i)) {
      // Take the opened slots out again; the document stays as it was.
      for (int32_t k = at; k < i; ++k) FreeLine(w, k);
      FarMove(w->lines + at + count, w->lines + at, long(w->lineCount - at - count) * long(sizeof(WrxLine*)));
      w->lineCount -= count;
      return 0;
    }
  }
  LowerStaleLine(w, mode == 'A' ? line + 1 : line);
  AdjustSectionLines(w, at - 1, count);
  return 1;
}

int InsertDeleteLines(WrxWindow* w, int32_t line, int32_t count) {
  if (count > 0) {
    if (!ExpandLineArray(w, w->lineCount + count)) {
      if (w->arg.maxLines <= 0) return 0;
      count = w->arg.maxLines - w->lineCount;
      if (count <= 0 || !ExpandLineArray(w, w->lineCount + count)) return 0;
    }
    if (!ShiftLines(w, line, count, 'B')) return 0;
  } else if (count < 0) {
    int32_t from = std::max(0, line + count);
    if (!ShiftLines(w, from, line - from, 'D')) return 0;
  }
  w->wrapInput += count;
  return 1;
}

// Resizes a line's text (and its per-character font ids). Running out of
// memory fails the edit and leaves the line as it was.
int LineAlloc(WrxWindow* w, int32_t line, int32_t oldLength, int32_t newLength) {
  WrxLine* l = w->lines[line];
  ++w->modified;
  if (newLength < 0) newLength = 0;
  if (!IsSharedIds(l) && newLength != oldLength) {
    void* ids = sReAlloc(IdArray(l), newLength + 2);
    if (!ids) return WrxErrorBox(w, 108, "LineAlloc");
    l->fontIds = reinterpret_cast<uintptr_t>(ids);
  }
  if (newLength == 0) {
    ReleaseLineText(l);
    FreeLineInfo(w, line);
  } else if (l->flags & LF_ARENATEXT) {
    // Arena text is followed by the next line's bytes: shorter fits where it
    // is, longer moves to a heap block of its own.
    if (newLength > oldLength) {
      char* text = static_cast<char*>(sAlloc(newLength + 2));
      if (!text) return WrxErrorBox(w, 108, "LineAlloc");
      memcpy(text, l->text, size_t(oldLength));
      text[newLength] = 0;
      ReleaseLineText(l);
      l->text = text;
    }
  } else if (newLength != oldLength || !l->text) {
    char* text = static_cast<char*>(l->text ? sReAlloc(l->text, newLength + 2) : sAlloc(newLength + 2));
    if (!text) return WrxErrorBox(w, 108, l->text ? "LineAlloc" : "LineAlloc a");
    l->text = text;
    l->text[newLength] = 0;
  }
  l->length = newLength;
  return 1;
}

int AdjustFontCodes(WrxWindow* w, int32_t line, int32_t col, int32_t count, char mode) {
  if (line < 0 || line >= w->lineCount || count <= 0) return 0;
  WrxLine* l = w->lines[line];
  const bool wasShared = IsSharedIds(l);
  if (wasShared && !ExpandFontCodes(w, line)) return 0;
  const int32_t old = l->length;
  int ok = 1;
  if (mode == 'D') {
    col = std::clamp(col, 0, old);
    count = std::min(count, old - col);
    for (int32_t i = col; i < col + count; ++i)
      if (uint8_t(l->text[i]) == WRX_SECTBREAK) w->sectionsStale = 1;
    FarMove(l->text + col + count, l->text + col, old - col - count);
    FarMove(IdArray(l) + col + count, IdArray(l) + col, old - col - count);
    ok = LineAlloc(w, line, old, old - count);
  } else {
    int32_t at = std::clamp(mode == 'A' ? col + 1 : col, 0, old);
    if (old + count > WRX_MAXLINELEN + 1 || !LineAlloc(w, line, old, old + count)) {
      ok = 0;
    } else {
      uint8_t* ids = IdArray(l);
      FarMove(l->text + at, l->text + at + count, old - at);
      FarMove(ids + at, ids + at + count, old - at);
      uint8_t fill = at < old ? ids[at + count] : (at > 0 ? ids[at - 1] : 0);
      FarMemSet(ids + at, fill, count);
      FarMemSet(l->text + at, ' ', count);
    }
  }
  if (wasShared) CompactFontCodes(w, line);
  LowerStaleLine(w, line);
  return ok;
}

long RowColToAbs(WrxWindow* w, int32_t line, int32_t col) {
  const int extra = w->arg.wordWrap ? 0 : 2;
  line = std::clamp(line, 0, w->lineCount - 1);
  long pos = 0;
  for (int32_t i = 0; i < line; ++i) pos += w->lines[i]->length + extra;
  const int32_t length = w->lines[line]->length;
  if (col > length) col = length + extra - 1;
  if (col < 0) col = 0;
  return pos + col;
}

void AbsToRowCol(WrxWindow* w, long pos, int32_t* line, int32_t* col) {
  const int extra = w->arg.wordWrap ? 0 : 2;
  if (pos < 0) pos = 0;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const long n = w->lines[i]->length + extra;
    if (pos < n) {
      *line = i;
      *col = int32_t(pos);
      return;
    }
    pos -= n;
  }
  *line = w->lineCount - 1;
  *col = std::max(0, w->lines[*line]->length + extra - 1);
}

int PutLineEnd(WrxWindow* w, int index, char* text, uint8_t* fonts) {
  if (fonts) {
    uint8_t id = index > 0 ? fonts[index - 1] : 0;
    if (id >= w->fontCount || (w->fonts[id].style & wrxfmt::kPictureStyle)) id = 0;
    fonts[index] = fonts[index + 1] = id;
  }
  text[index] = 13;
  text[index + 1] = 10;
  return index + 2;
}

int IsHiddenStyle(WrxWindow* w, DWORD style) {
  return ((style & 64) && !w->hiddenShown) || ((style & 0x800) && !w->footnoteShown);
}

void SetLineFlagsFromText(WrxWindow* w, int32_t line) {
  WrxLine* l = w->lines[line];
  uint32_t flags = l->flags & (LF_KEEP | LF_PICTREGION | LF_FOOTNOTE | LF_NUMBERED | LF_ARENATEXT);
  if (l->length > 0) {
    const uint8_t last = uint8_t(l->text[l->length - 1]);
    if (last == w->paraEnd || last == w->cellEnd) flags |= LF_PARAEND;
    if (last == WRX_LINEBREAK) flags |= LF_LINEBREAK;
    if (l->length == 1 && IsMarkerChar(w, last)) flags |= LF_MARKER;
    if (memchr(l->text, WRX_LINEMARK, size_t(l->length))) flags |= LF_MARKED;
  }
  if (line == 0 || (w->lines[line - 1]->flags & (LF_PARAEND | LF_MARKER))) flags |= LF_PARAFIRST;
  l->flags = flags;
}

int InsertMarkerLine(WrxWindow* w, int32_t line, uint8_t marker, int fontId, int32_t para, uint32_t infoFlags,
                     int32_t cell) {
  if (!ExpandLineArray(w, w->lineCount + 1) || !ShiftLines(w, line, 1, 'B'))
    return WrxErrorBox(w, 88, "InsertMarkerLine");
  WrxLine* l = w->lines[line];
  if (!LineAlloc(w, line, 0, 1)) {
    ShiftLines(w, line, 1, 'D');
    return 0;
  }
  l->text[0] = char(marker);
  l->fontIds = MakeSharedIds(uint8_t(fontId >= 0 && fontId < w->fontCount ? fontId : 0));
  if (para >= 0) l->para = para;
  if (cell >= 0) l->cell = cell;
  SetLineFlagsFromText(w, line);
  if (marker == w->paraEnd || marker == w->cellEnd) l->flags |= LF_PARAEND;
  if (infoFlags) {
    if (!AllocLineInfo(w, line)) return 0;
    l->info->flags = infoFlags;
  }
  return 1;
}

int SetAutoNumberText(WrxWindow* w, int32_t line, int number) {
  if (line < 0 || line >= w->lineCount) return 0;
  const int32_t saved = w->modified;
  char digits[16];
  const int32_t d = snprintf(digits, sizeof digits, "%d", number + 1);
  auto isNumber = [w](int32_t ln, int32_t col) {
    int id = GetCharFont(w, ln, col);
    return w->fonts[id].kind == 1 && !(w->fonts[id].style & wrxfmt::kPictureStyle);
  };
  for (int32_t col = 0; col < w->lines[line]->length;) {
    if (!isNumber(line, col)) {
      ++col;
      continue;
    }
    int32_t end = col;
    while (end < w->lines[line]->length && isNumber(line, end)) ++end;
    const int32_t run = end - col;
    if (d > run) {
      if (!AdjustFontCodes(w, line, end, d - run, 'B')) break;
      uint8_t* ids = OpenFontCodes(w, line);
      if (ids) FarMemSet(ids + end, ids[end - 1], d - run);
      CloseFontCodes(w, line);
    } else if (d < run) {
      AdjustFontCodes(w, line, col + d, run - d, 'D');
    }
    memcpy(w->lines[line]->text + col, digits, size_t(d));
    col += d;
  }
  // A run split by wrapping leaves its tail on the next line.
  if (line + 1 < w->lineCount) {
    int32_t n = 0;
    while (n < w->lines[line + 1]->length && isNumber(line + 1, n)) ++n;
    if (n > 0) AdjustFontCodes(w, line + 1, 0, n, 'D');
  }
  w->modified = saved;
  return 1;
}

int IsNumberedParaKind(WrxWindow* w, int32_t para) {
  if (para < 0 || size_t(para) >= w->paras.size()) return 0;
  return (w->paras[size_t(para)].numbering & 0xE00) == 0x600;
}

// Adds a line at the end of the document holding `text`.
int AppendLine(WrxWindow* w, const char* text, int32_t length) {
  if (!ExpandLineArray(w, w->lineCount + 1)) return 0;
  const int32_t line = w->lineCount;
  if (!ShiftLines(w, line, 1, 'B')) return 0;
  if (length > 0) {
    const int32_t saved = w->modified;
    if (!LineAlloc(w, line, 0, length)) {
      ShiftLines(w, line, 1, 'D');
      return 0;
    }
    w->modified = saved;
    memcpy(w->lines[line]->text, text, size_t(length));
  }
  return 1;
}

// Adds a line read from a document; its text stays in the load arena.
int AppendLoadedLine(WrxWindow* w, const char* text, int32_t length) {
  // Lines arrive in order at the end, so this is InitLine without the
  // shifting: the previous line is the one to copy the ids from.
  if (!ExpandLineArray(w, w->lineCount + 1)) return 0;
  const int32_t line = w->lineCount;
  if (!AllocLinePtr(w, line)) return 0;
  WrxLine* l = w->lines[line];
  l->fontIds = MakeSharedIds(0);
  l->height = 12 * DeviceResY(w) / 72;
  if (line > 0) {
    const WrxLine* prev = w->lines[line - 1];
    l->para = prev->para;
    l->cell = prev->cell;
    l->frame = prev->frame;
  }
  if (length > 0) {
    l->text = const_cast<char*>(text);
    l->length = length;
    l->flags = LF_ARENATEXT;
  }
  ++w->lineCount;
  return 1;
}
