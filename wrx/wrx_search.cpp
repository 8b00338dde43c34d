// Finding a string in a window's text, forward or backward, across line ends.
#include "wrx/wrx_block.h"
#include "wrx/wrx_search_core.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The text of `line` followed by as many later lines as a match beginning
// in it could reach (no line-end characters between them).
void JoinFrom(WrxWindow* w, int32_t line, size_t plen, std::string& out) {
  out.clear();
  const WrxLine* l = w->lines[line];
  if (l->length) out.append(l->text, size_t(l->length));
  const size_t want = size_t(l->length) + plen;
  for (int32_t k = line + 1; k < w->lineCount && out.size() < want; ++k) {
    const WrxLine* n = w->lines[k];
    if (n->length) out.append(n->text, std::min(size_t(n->length), want - out.size()));
  }
}

// Where a match of `plen` characters from (line, col) ends (exclusive).
void MatchEnd(WrxWindow* w, int32_t line, int32_t col, size_t plen, int32_t* endLine, int32_t* endCol) {
  long rest = long(plen);
  while (line < w->lineCount - 1 && col + rest > w->lines[line]->length) {
    rest -= w->lines[line]->length - col;
    ++line, col = 0;
  }
  *endLine = line, *endCol = int32_t(col + rest);
}

}  // namespace

int WrxSearch(WrxWindow* w, const char* text, char mode, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
  if (!text || !*text) return 0;
  const size_t plen = strlen(text);
  wrxsearch::Options o;
  o.matchCase = (w->searchFlags & 16) != 0;
  o.wholeWord = (w->searchFlags & 32) != 0;
  o.paraEnd = w->paraEnd, o.cellEnd = w->cellEnd;
  const int32_t last = w->lineCount - 1;
  auto clampCol = [](int32_t c) { return std::clamp(c, 0, WRX_MAXLINELEN - 1); };
  std::string joined;
  int32_t foundLine = -1, foundCol = 0;
  if (mode == 'E' || mode == 'F' || mode == 'R') {
    int32_t sl = 0, sc = 0, el = last, ec = std::max(0, w->lines[last]->length - 1);
    if (mode == 'F') sl = w->curLine, sc = w->curCol;
    if (mode == 'R') sl = l1, sc = c1, el = l2, ec = c2;
    sl = std::clamp(sl, 0, last), el = std::clamp(el, 0, last);
    sc = clampCol(sc), ec = clampCol(ec);
    for (int32_t line = sl; line <= el && foundLine < 0; ++line) {
      JoinFrom(w, line, plen, joined);
      size_t limit = size_t(w->lines[line]->length);
      if (line == el) limit = std::min<long>(long(limit), std::max<long>(0, long(ec) - long(plen) + 2));
      const long hit =
          wrxsearch::FindForward(joined.data(), joined.size(), line == sl ? size_t(sc) : 0, limit, text, plen, o);
      if (hit >= 0) foundLine = line, foundCol = int32_t(hit);
    }
  } else if (mode == 'B' || mode == 'S') {
    int32_t sl = w->curLine, sc = w->curCol, el = 0, ec = 0;
    if (mode == 'S') sl = l2, sc = c2, el = l1, ec = c1;
    sl = std::clamp(sl, 0, last), el = std::clamp(el, 0, last);
    sc = clampCol(sc), ec = clampCol(ec);
    for (int32_t line = sl; line >= el && foundLine < 0; --line) {
      JoinFrom(w, line, plen, joined);
      const size_t limit = size_t(w->lines[line]->length);
      const size_t endLimit = line == sl ? size_t(sc) + 1 : joined.size();
      const long hit = wrxsearch::FindBackward(joined.data(), joined.size(), line == el ? size_t(ec) : 0, limit,
                                               endLimit, text, plen, o);
      if (hit >= 0) foundLine = line, foundCol = int32_t(hit);
    }
  } else {
    return 0;
  }
  if (foundLine < 0) return 0;
  w->curLine = foundLine, w->curCol = foundCol;
  if (w->searchFlags & 1) {
    int32_t endLine, endCol;
    MatchEnd(w, foundLine, foundCol, plen, &endLine, &endCol);
    w->hilight = 2;
    w->hlFirstLine = foundLine, w->hlFirstCol = foundCol, w->hlLastLine = endLine, w->hlLastCol = endCol;
    JumpToLine(w, foundLine + 1);
    w->curCol = foundCol;
    PaintWrx(w);
  }
  return 1;
}

// ---- Search and replace commands ----

namespace {

void NotFound(WrxWindow* w, const char* title) { WrxErrorBox(w, 97, title); }

// Moves the cursor past a match without passing the longest line.
void StepPast(WrxWindow* w, size_t length) {
  w->curCol = std::min<int32_t>(w->curCol + int32_t(length), WRX_MAXLINELEN - 1);
}

}  // namespace

int SearchParam(HWND hwnd, const char* text, char direction, int flags) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !text || !*text) return 0;
  w->searchText.assign(text, strnlen(text, 38));
  w->searchDirection = direction == 'F' || direction == 'B' ? direction : 'E';
  w->searchFlags = 1 | (flags & (16 | 32));
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (WrxSearch(w, w->searchText.c_str(), w->searchDirection, 0, 0, 0, 0)) return 1;
  NotFound(w, "");
  return 0;
}

int WrxSearchAgain(WrxWindow* w, bool forward) {
  if (w->searchText.empty()) return 0;
  const int32_t savedCol = w->curCol;
  w->curCol = forward ? w->curCol + 1 : w->curCol - 1;
  if (w->curCol < 0) w->curCol = 0;
  w->searchFlags |= 1;
  if (WrxSearch(w, w->searchText.c_str(), forward ? 'F' : 'B', 0, 0, 0, 0)) return 1;
  w->curCol = savedCol;
  NotFound(w, forward ? "End of Forward Search" : "End of Backward Search");
  return 0;
}

int ReplaceInLine(WrxWindow* w, int32_t line, int32_t col, size_t matchLength, const std::string& with) {
  // The match may run into later lines: those characters go first.
  int32_t endLine, endCol;
  {
    long rest = long(matchLength);
    int32_t l = line, c = col;
    while (l < w->lineCount - 1 && c + rest > w->lines[l]->length) {
      rest -= w->lines[l]->length - c;
      ++l, c = 0;
    }
    endLine = l, endCol = int32_t(c + rest);
  }
  const int32_t keepId = GetCharFont(w, endLine, std::max(0, endCol - 1));
  const int32_t headLength = w->lines[line]->length;
  const int32_t newLength = line == endLine ? headLength - int32_t(matchLength) + int32_t(with.size())
                                            : col + int32_t(with.size()) + (w->lines[endLine]->length - endCol);
  if (newLength > WRX_MAXLINELEN) return 0;
  SaveUndo(w, line, col, endLine, endCol - 1, 'D');
  DeleteRange(w, line, col, endLine, endCol);
  InsertInLine(w, line, col, with.data(), int32_t(with.size()), nullptr, uint8_t(keepId));
  if (!with.empty() && SaveUndo(w, line, col, line, col, 'I') && !w->undoBusy && !w->undo.empty())
    w->undo.back().end = RowColToAbs(w, line, col) + long(with.size()) - 1;
  ++w->modified;
  return 1;
}

int ReplaceParam(HWND hwnd, const char* find, const char* with, int confirm, int inBlock) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || w->arg.readOnly || !find || !*find) return 0;
  NormalizeBlock(w);
  if (inBlock && !w->hilight) return WrxErrorBox(w, 83, ""), 0;
  const std::string pattern(find, strnlen(find, 38));
  const std::string replacement(with ? with : "", with ? strnlen(with, 38) : 0);
  char mode = 'E';
  int32_t l1 = 0, c1 = 0, l2 = w->lineCount - 1, c2 = std::max(0, w->lines[l2]->length - 1);
  if (inBlock) {
    mode = 'R';
    l1 = w->hlFirstLine, c1 = w->hilight == 1 ? 0 : w->hlFirstCol;
    l2 = w->hlLastLine;
    c2 = w->hilight == 1 ? w->lines[l2]->length - 1 : w->hlLastCol - 1;
  }
  w->searchFlags = 16;  // matches are highlighted here, only when asking
  // Replacements are undone together; a store of other steps would replay
  // positions the replacements moved, so it is emptied first.
  ReleaseUndo(w);
  --w->undoGroup;
  int replaced = 0, skipped = 0;
  int32_t lastLine = -1, lastCol = 0;
  w->hilight = 0;
  if (mode == 'E')
    w->curLine = 0, w->curCol = 0;
  else
    w->curLine = l1, w->curCol = c1;
  for (;;) {
    const bool found = WrxSearch(w, pattern.c_str(), 'R', w->curLine, w->curCol, l2, c2);
    if (!found) break;
    const int32_t line = w->curLine, col = w->curCol;
    bool protectedText = false;
    for (size_t k = 0; k < pattern.size() && !protectedText; ++k)
      if (col + int32_t(k) < w->lines[line]->length && IsProtectedPos(w, line, col + int32_t(k))) protectedText = true;
    if (protectedText) {
      StepPast(w, pattern.size());
      continue;
    }
    if (confirm) {
      w->hilight = 2;
      w->hlFirstLine = w->hlLastLine = line, w->hlFirstCol = col, w->hlLastCol = col + int32_t(pattern.size());
      PaintWrx(w);
      --w->undoGroup;  // the repaint does not split the replacements' group
      const int answer = WrxAsk(w, 125, "", MB_YESNOCANCEL);
      w->hilight = 0;
      if (answer == IDCANCEL) break;
      if (answer == IDNO) {
        StepPast(w, pattern.size());
        continue;
      }
    }
    // Past what the store can hold the steps are not recorded: the store is
    // emptied at the end, and positions need not be counted for each hit.
    if (replaced * 2 >= 20) w->undoBusy = 1;
    const int32_t linesBefore = w->lineCount;
    const bool done = ReplaceInLine(w, line, col, pattern.size(), replacement);
    w->undoBusy = 0;
    if (!done) {
      ++skipped;  // the line would grow past its limit
      StepPast(w, pattern.size());
      continue;
    }
    ++replaced;
    // The end of the range moves with the text: a longer replacement would
    // otherwise push the last matches out of it.
    if (mode == 'E') {
      l2 = w->lineCount - 1;
      c2 = std::max(0, w->lines[l2]->length - 1);
    } else {
      l2 = std::max(line, l2 + w->lineCount - linesBefore);
      if (line == l2) c2 += int32_t(replacement.size()) - int32_t(pattern.size());
    }
    w->curLine = line, w->curCol = col;
    StepPast(w, replacement.size());
    lastLine = line, lastCol = col;
    if (mode == 'R' && (w->curLine > l2 || (w->curLine == l2 && w->curCol > c2))) break;
  }
  if (skipped) WrxErrorBox(w, 85, "ReplaceParam");
  // More replacements than the store holds cannot be undone whole: none are.
  if (replaced * 2 > 20) ReleaseUndo(w);
  if (w->arg.wordWrap) WordWrap(w, 0, w->lineCount);
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  if (!replaced) {
    NotFound(w, "");
    PaintWrx(w);
    return 0;
  }
  if (lastLine >= 0 && !w->arg.wordWrap) {
    w->hilight = 2;
    w->hlFirstLine = w->hlLastLine = lastLine;
    w->hlFirstCol = lastCol, w->hlLastCol = lastCol + int32_t(replacement.size());
  }
  PaintWrx(w);
  return replaced;
}

int ExpandCaretCodes(WrxWindow* w, const char* text, char* output) {
  if (!text || strlen(text) > 2048) return 0;
  char* o = output;
  for (const char* p = text; *p; ++p) {
    if (*p != '^' || !p[1]) {
      *o++ = *p;
      continue;
    }
    switch (p[1]) {
      case 'p': *o++ = char(w->paraEnd); break;
      case 't': *o++ = '\t'; break;
      case '^': *o++ = '^'; break;
      case '+': *o++ = char(151); break;
      case '-': *o++ = char(150); break;
      case 'm': *o++ = char(12); break;
      case 'b': *o++ = char(20); break;
      default: *o++ = '^'; continue;
    }
    ++p;
  }
  *o = 0;
  return 1;
}
