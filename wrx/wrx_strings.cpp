// Small shared helpers of the control and the host call that extracts,
// finds or replaces text by absolute character position.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>

int WrxFindText(HWND hwnd, char* text, const char* replace, int flags, long start, long* position, long* length) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  w->searchFlags = flags;
  if (flags & 8) {
    if (!text || !position) return 0;
    int32_t l1, c1, l2, c2;
    AbsToRowCol(w, start, &l1, &c1);
    AbsToRowCol(w, *position, &l2, &c2);
    long n = 0;
    if (l1 < l2 || (l1 == l2 && c1 <= c2 && start <= *position)) {
      for (int32_t line = l1; line <= l2; ++line) {
        const WrxLine* l = w->lines[line];
        const int32_t from = line == l1 ? c1 : 0;
        const int32_t to = line == l2 ? std::min(c2, l->length - 1) : l->length - 1;
        for (int32_t c = from; c <= to && c < l->length; ++c) text[n++] = l->text[c];
      }
    }
    text[n] = 0;
    if (length) *length = n;
    return 1;
  }
  if (flags & 4) {
    (void)replace;
    return 0;  // replacing comes with the editing core
  }
  if (flags & 2) {
    if (!text || !*text) return 0;
    const int32_t savedLine = w->curLine, savedCol = w->curCol;
    int32_t l1, c1;
    AbsToRowCol(w, start, &l1, &c1);
    const int32_t last = w->lineCount - 1;
    const int found = WrxSearch(w, text, 'R', l1, c1, last, std::max(0, w->lines[last]->length - 1));
    if (found && position) *position = RowColToAbs(w, w->curLine, w->curCol);
    if (!found || !(flags & 1)) w->curLine = savedLine, w->curCol = savedCol;
    return found;
  }
  return 0;
}
