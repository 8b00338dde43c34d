// Insertions that carry a meaning in their font: the page-number field and
// footnotes (the mark in the text, the note's own mark and its text).
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kFootnoteBits = 0x400 | 0x800 | 0x1000;

// The input font with its style bits replaced: `clear` off, `set` on.
int VariantOfInputFont(WrxWindow* w, DWORD clear, DWORD set, int kind) {
  const WrxFont& f = w->fonts[GetCurrentFont(w)];
  return FindOrAddFont(w, w->dc, -1, f.face, f.pointSize, (f.style & ~clear) | set, f.textColor, f.backColor,
                       kind < 0 ? f.kind : kind, f.extra, f.attribute, f.styleItem);
}

// Inserts characters at the cursor of a writable window and moves the
// cursor after them; the line keeps its limit.
int InsertAtCursor(WrxWindow* w, const std::string& text, const std::vector<uint8_t>& ids) {
  const int32_t line = w->curLine;
  WrxLine* l = w->lines[line];
  const int32_t n = int32_t(text.size());
  const int32_t old = l->length;
  const int32_t col = std::clamp(w->curCol, 0, old);
  if (n == 0 || old + n > w->maxLineLength) {
    MessageBeep(0);
    return 0;
  }
  if (!OpenFontCodes(w, line)) return 0;
  if (!LineAlloc(w, line, old, old + n)) {
    CompactFontCodes(w, line);
    return 0;
  }
  uint8_t* codes = IdArray(l);
  memmove(l->text + col + n, l->text + col, size_t(old - col));
  memmove(codes + col + n, codes + col, size_t(old - col));
  memcpy(l->text + col, text.data(), size_t(n));
  memcpy(codes + col, ids.data(), size_t(n));
  CompactFontCodes(w, line);
  SetLineFlagsFromText(w, line);
  w->curCol = col + n;
  ++w->modified;
  if (line < w->staleLine) w->staleLine = line;
  return 1;
}

void AfterInsertion(WrxWindow* w, int repaint) {
  if (w->arg.wordWrap) {
    w->wrapLevel = 2;
    WordWrap(w, w->curLine, 30);
  }
  if (repaint) PaintWrx(w);
}

}  // namespace

int InsertPageNumber(WrxWindow* w) {
  if (w->arg.readOnly) return 0;
  const int font = VariantOfInputFont(w, 0, 0, 1);
  if (font < 0) return 0;
  char number[16];
  snprintf(number, sizeof number, "%d", w->currentPage + 1);
  const std::string text(number);
  if (!InsertAtCursor(w, text, std::vector<uint8_t>(text.size(), uint8_t(font)))) return 0;
  AfterInsertion(w, 1);
  return 1;
}

int FootnoteParam(HWND hwnd, const char* marker, const char* note, DWORD style, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || w->arg.readOnly) return 0;
  // Asking for the mark and text belongs to the control's dialogs.
  if (!marker || !*marker) return 0;
  const DWORD s = style & ~kFootnoteBits;
  const std::string mark(marker);
  const std::string noteText = note ? note : "";
  std::string text;
  std::vector<uint8_t> ids;
  auto add = [&](const std::string& part, DWORD bits) -> bool {
    const int font = VariantOfInputFont(w, kFootnoteBits, bits, -1);
    if (font < 0) return false;
    text += part;
    ids.insert(ids.end(), part.size(), uint8_t(font));
    return true;
  };
  bool ok = add(mark.substr(0, 1), s | 0x400);
  if (ok && !noteText.empty()) ok = add(mark, s | 0x800) && add(" " + noteText, 0x800);
  if (ok && mark.size() > 1) ok = add(mark.substr(1), s | 0x1000);
  if (!ok || !InsertAtCursor(w, text, ids)) return 0;
  AfterInsertion(w, repaint);
  return 1;
}
