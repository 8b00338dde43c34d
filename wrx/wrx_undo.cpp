// The undo store: up to 20 steps of deleted, inserted and overtyped text,
// taken back a group at a time. A deleted range keeps its characters, font
// ids and the paragraph ids of its lines, so undoing restores it exactly.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace {
constexpr size_t kMaxUndo = 20;

void AddIds(std::vector<WrxIdRun>& runs, uint8_t id, uint32_t count) {
  if (count == 0) return;
  if (!runs.empty() && runs.back().id == id)
    runs.back().count += count;
  else
    runs.push_back({count, id});
}

std::vector<uint8_t> ExpandIds(const std::vector<WrxIdRun>& runs) {
  std::vector<uint8_t> ids;
  for (const WrxIdRun& r : runs) ids.insert(ids.end(), r.count, r.id);
  return ids;
}

void OwnText(WrxUndoRecord& r, const char* text, size_t count) {
  if (count == 0) return;
  if (!r.pieces.empty()) {
    if (r.pieces.back().lent) r.pieces.push_back({nullptr, 0});
    r.pieces.back().length += uint32_t(count);
  }
  r.text.append(text, count);
}

void LendText(WrxUndoRecord& r, const char* text, size_t count) {
  if (count == 0) return;
  if (r.pieces.empty() && !r.text.empty()) r.pieces.push_back({nullptr, uint32_t(r.text.size())});
  WrxUndoPiece* last = r.pieces.empty() ? nullptr : &r.pieces.back();
  if (last && last->lent && last->lent + last->length == text)
    last->length += uint32_t(count);
  else
    r.pieces.push_back({text, uint32_t(count)});
}

// A step's characters in one piece.
std::string StepText(const WrxUndoRecord& r) {
  if (r.pieces.empty()) return r.text;
  std::string text;
  size_t owned = 0, total = 0;
  for (const WrxUndoPiece& p : r.pieces) total += p.length;
  text.reserve(total);
  for (const WrxUndoPiece& p : r.pieces) {
    if (p.lent) {
      text.append(p.lent, p.length);
    } else {
      text.append(r.text, owned, p.length);
      owned += p.length;
    }
  }
  return text;
}

}  // namespace

int SaveUndo(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2, char kind) {
  if (kind == 'D') return SaveDeleteUndo(w, l1, c1, l2, c2, 0, -1);
  if (w->undoBusy) return 1;
  if (w->undo.size() >= kMaxUndo) DropOldestUndo(w);
  l1 = std::clamp(l1, 0, w->lineCount - 1);
  l2 = std::clamp(l2, 0, w->lineCount - 1);
  WrxUndoRecord r;
  r.kind = kind;
  r.group = w->undoGroup;
  r.start = RowColToAbs(w, l1, std::max(0, c1));
  r.end = c2 < 0 ? RowColToAbs(w, l2, 0) : RowColToAbs(w, l2, c2);
  try {
    if (kind == 'R') {
      const WrxLine* l = w->lines[l1];
      const bool inside = c1 >= 0 && c1 < l->length;
      r.text.push_back(inside ? l->text[c1] : ' ');
      AddIds(r.ids, inside ? uint8_t(GetCharFont(w, l1, c1)) : 0, 1);
    }
    w->undo.push_back(std::move(r));
  } catch (...) {
    return WrxErrorBox(w, 108, "SaveUndo");
  }
  return 1;
}

int SaveDeleteUndo(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2, int32_t goneFirst, int32_t goneLast) {
  if (w->undoBusy) return 1;
  if (w->undo.size() >= kMaxUndo) DropOldestUndo(w);
  l1 = std::clamp(l1, 0, w->lineCount - 1);
  l2 = std::clamp(l2, 0, w->lineCount - 1);
  WrxUndoRecord r;
  r.kind = 'D';
  r.group = w->undoGroup;
  r.start = RowColToAbs(w, l1, std::max(0, c1));
  r.end = c2 < 0 ? RowColToAbs(w, l2, 0) : RowColToAbs(w, l2, c2);
  // Whether a line's text lies in the loaded document and goes with the
  // deletion: nothing writes to it afterwards, and the document's bytes last
  // as long as the store (FreeAllLines empties it first).
  auto lendable = [&](int32_t line) {
    const WrxLine* l = w->lines[line];
    return line >= goneFirst && line <= goneLast && (l->flags & LF_ARENATEXT) && !l->arena;
  };
  try {
    // A block is sized once and taken a line at a time.
    size_t copied = 0;
    for (int32_t line = l1; line <= l2; ++line)
      if (!lendable(line)) copied += size_t(w->lines[line]->length) + 2;
    r.text.reserve(copied);
    r.paras.reserve(size_t(l2 - l1 + 1));
    for (int32_t line = l1; line <= l2; ++line) {
      const WrxLine* l = w->lines[line];
      const bool lend = lendable(line);
      const int32_t from = line == l1 ? std::max(0, c1) : 0;
      const int32_t to = line == l2 ? std::min(c2, l->length - 1) : l->length - 1;
      if (to >= from) {
        const size_t count = size_t(to - from + 1);
        if (lend)
          LendText(r, l->text + from, count);
        else
          OwnText(r, l->text + from, count);
        // An id past the font table reads as the default font.
        auto known = [w](uint8_t id) { return id < w->fontCount ? id : uint8_t(0); };
        if (IsSharedIds(l)) {
          AddIds(r.ids, known(SharedId(l)), uint32_t(count));
        } else {
          const uint8_t* ids = IdArray(l);
          for (int32_t c = from; c <= to; ++c) AddIds(r.ids, known(ids[c]), 1);
        }
      }
      r.paras.push_back(l->para);
      // Without word wrap a range through a line's end takes the line end.
      if (!w->arg.wordWrap && (line < l2 || c2 >= l->length) && line < w->lineCount - 1) {
        int id = l->length ? GetCharFont(w, line, l->length - 1) : 0;
        if (w->fonts[id].style & wrxfmt::kPictureStyle) id = 0;
        // The line end the text was read with still lies before the next
        // line's text.
        const WrxLine* next = w->lines[line + 1];
        const bool loaded = (next->flags & LF_ARENATEXT) && !next->arena;
        if (lend && loaded && l->length > 0 && next->text == l->text + l->length + 2 && l->text[l->length] == '\r' &&
            l->text[l->length + 1] == '\n')
          LendText(r, l->text + l->length, 2);
        else
          OwnText(r, "\r\n", 2);
        AddIds(r.ids, uint8_t(id), 2);
      }
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
  bool stopped = false;
  while (!stopped && !w->undo.empty() && w->undo.back().group == group) {
    WrxUndoRecord r = std::move(w->undo.back());
    w->undo.pop_back();
    int32_t line, col;
    AbsToRowCol(w, r.start, &line, &col);
    firstTouched = std::min(firstTouched, line);
    w->hilight = 0;
    w->curLine = line, w->curCol = col;
    switch (r.kind) {
      case 'D': {
        std::vector<uint8_t> ids;
        std::string text;
        try {
          ids = ExpandIds(r.ids);
          text = StepText(r);
        } catch (const std::bad_alloc&) {
          // The step stays in the store (its slot is still there) and the
          // undo stops after the steps already taken back.
          w->undo.push_back(std::move(r));
          WrxErrorBox(w, 108, "Undo");
          stopped = true;
          break;
        }
        InsertTextAt(w, text.data(), int32_t(text.size()), ids.data(), &r.paras, 1);
        break;
      }
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
          IdArray(l)[col] = r.ids.empty() ? 0 : r.ids[0].id;
          CompactFontCodes(w, line);
          SetLineFlagsFromText(w, line);
        }
        break;
      }
      default: break;
    }
    if (stopped) break;
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
