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
