// Keys and the mouse of a control window: cursor motion through the lines,
// scrolling, selection with Shift and the mouse, the mouse cursor's shape,
// the cursor anchor kept across scroll-bar scrolling, and a few string
// routines. Every motion ends with a repaint; page-mode motions move by lines
// until page-mode scrolling joins.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

WrxBeepProc g_beepProc = nullptr;

constexpr int32_t kMaxColumn = WRX_MAXLINELEN - 1;  // 2045

int32_t Length(const WrxWindow* w, int32_t line) { return w->lines[line]->length; }

uint8_t CharAt(const WrxWindow* w, int32_t line, int32_t col) {
  const WrxLine* l = w->lines[line];
  return col >= 0 && col < l->length ? uint8_t(l->text[col]) : 0;
}

bool IsBlank(uint8_t c) { return c == ' ' || c == WRX_TAB; }

// The last column a motion may reach on a line.
int32_t EndColumn(const WrxWindow* w, int32_t line) {
  const int32_t n = std::min(Length(w, line), kMaxColumn);
  return w->arg.wordWrap ? std::max(0, n - 1) : n;
}

int32_t DesiredX(WrxWindow* w) {
  if (w->rememberedX < 0) w->rememberedX = GetColumnX(w, w->curCol, w->curLine, 0);
  return w->rememberedX;
}

int32_t ColumnAtX(WrxWindow* w, int32_t line, int32_t x) {
  int32_t col = XToColumn(w, x, line);
  const int32_t length = Length(w, line);
  if (!w->arg.wordWrap && x >= GetColumnX(w, length, line, 0)) {
    // Past the end of an unwrapped line: columns of blanks of font 0.
    const int32_t space = std::max(1, w->fonts[0].widths ? w->fonts[0].widths[uint8_t(' ')] : 1);
    col = length + (x - GetColumnX(w, length, line, 0)) / space;
  }
  if (w->arg.wordWrap) col = std::clamp(col, 0, std::max(0, length - 1));
  return std::clamp(col, 0, kMaxColumn);
}

void Repaint(WrxWindow* w, int scope) {
  // The block's end follows the cursor (the paint does it too, but a window
  // off the screen is not painted).
  if (w->selecting && w->hilight) w->hlLastLine = w->curLine, w->hlLastCol = w->curCol;
  if (w->paintScope != 3) w->paintScope = scope;
  w->paintByCommand = 1;
  PaintWrx(w);
}

// The line that is on the last row the window shows whole.
int32_t LastShownLine(WrxWindow* w) {
  int32_t used = 0, line = w->firstLine;
  for (; line < w->lineCount; ++line) {
    used += GetLineHeight(w, line);
    if (used > std::max<int32_t>(w->textRect.bottom - w->textRect.top, 1)) break;
  }
  return std::clamp(line - 1, w->firstLine, w->lineCount - 1);
}

void SetFirstLine(WrxWindow* w, int32_t first) {
  first = std::clamp(first, 0, w->lineCount - 1);
  if (first != w->firstLine) w->paintScope = 3;
  w->firstLine = first;
  w->curRow = w->curLine - w->firstLine;
}

// Keeps the cursor line inside the window by scrolling one line at a time.
void FollowCursor(WrxWindow* w) {
  if (w->curLine < w->firstLine)
    SetFirstLine(w, w->curLine);
  else if (w->curLine - w->firstLine >= w->linesPerWindow)
    SetFirstLine(w, w->curLine - w->linesPerWindow + 1);
  w->curRow = w->curLine - w->firstLine;
}

bool StepForward(const WrxWindow* w, int32_t& line, int32_t& col) {
  if (col + 1 < Length(w, line)) return ++col, true;
  if (line + 1 >= w->lineCount) return false;
  ++line, col = 0;
  return true;
}

bool Shifted() { return GetKeyState(VK_SHIFT) < 0; }

HINSTANCE CursorModule() { return GetModuleHandleA(nullptr); }

}  // namespace

WrxBeepProc SetWrxBeepProc(WrxBeepProc proc) {
  WrxBeepProc old = g_beepProc;
  g_beepProc = proc;
  return old;
}

void WrxBeep(WrxWindow*) {
  (g_beepProc ? g_beepProc : [](UINT type) { MessageBeep(type); })(0);
}

int BeginShiftSelect(WrxWindow* w) {
  if (w->pictureSelected && w->hilight) w->hilight = 0;
  if (Shifted()) {
    if (w->hilight != 2) {
      w->hilight = 2;
      w->hlFirstLine = w->hlLastLine = w->curLine;
      w->hlFirstCol = w->hlLastCol = w->curCol;
    }
    w->selecting = 1;
  } else if (w->hilight == 2) {
    w->hilight = 0;
    w->selecting = 0;
    w->paintScope = 3;
  }
  w->pictureSelected = 0;
  w->inputFont = -1;
  return 1;
}

int EndShiftSelect(WrxWindow* w) {
  w->selecting = 0;
  if (w->hilight == 2) {
    AdjustBlockToCells(w);
    if (w->hilight == 2 && w->hlFirstLine == w->hlLastLine && w->hlFirstCol == w->hlLastCol) {
      w->hilight = 0;
      Repaint(w, 3);
    }
  }
  return 1;
}

int CursorUp(WrxWindow* w) {
  const int32_t x = DesiredX(w);
  if (w->curLine == 0) return 1;
  --w->curLine;
  FollowCursor(w);
  w->curCol = ColumnAtX(w, w->curLine, x);
  w->motion = 2;
  return 1;
}

int CursorDown(WrxWindow* w) {
  const int32_t x = DesiredX(w);
  if (w->curLine + 1 >= w->lineCount) return 1;
  ++w->curLine;
  FollowCursor(w);
  w->curCol = ColumnAtX(w, w->curLine, x);
  w->motion = 1;
  return 1;
}

int CursorLeft(WrxWindow* w) {
  w->rememberedX = -1;
  w->motion = 2;
  if (w->curCol > 0) {
    w->curCol = std::min(w->curCol - 1, kMaxColumn);
    return 1;
  }
  if (!w->arg.wordWrap || w->curLine == 0) return 1;
  --w->curLine;
  w->curCol = std::max(0, Length(w, w->curLine) - 1);
  FollowCursor(w);
  return 1;
}

int CursorRight(WrxWindow* w) {
  w->rememberedX = -1;
  w->motion = 1;
  if (w->curCol >= kMaxColumn) return 1;
  if (!w->arg.wordWrap) {
    ++w->curCol;
    return 1;
  }
  const int32_t length = Length(w, w->curLine);
  if (w->curCol + 1 < length) {
    ++w->curCol;
  } else if (w->curLine + 1 < w->lineCount) {
    ++w->curLine;
    w->curCol = 0;
    FollowCursor(w);
  } else if (length > 0 && CharAt(w, w->curLine, length - 1) != w->paraEnd) {
    w->curCol = length;  // after the last character of the document
  }
  return 1;
}

int LineBegin(WrxWindow* w) {
  w->rememberedX = -1;
  w->curCol = 0;
  w->motion = 2;
  return 1;
}

int LineEnd(WrxWindow* w) {
  w->rememberedX = -1;
  if (Length(w, w->curLine) == 0) return 1;
  w->curCol = EndColumn(w, w->curLine);
  w->motion = 1;
  return 1;
}

int CtrlUp(WrxWindow* w) {
  if (w->curCol > 0) {
    w->curCol = 0;
    w->motion = 2;
    return 1;
  }
  return CursorUp(w);
}

int CtrlDown(WrxWindow* w) {
  w->rememberedX = -1;
  w->motion = 1;
  if (w->curLine + 1 < w->lineCount) {
    ++w->curLine;
    w->curCol = 0;
    FollowCursor(w);
  } else {
    w->curCol = EndColumn(w, w->curLine);
  }
  return 1;
}

int FileBegin(WrxWindow* w) {
  w->rememberedX = -1;
  w->curCol = 0;
  w->motion = 2;
  int32_t line = 1;
  if (w->arg.pageMode && !w->hdrFtrEdit)
    while (line <= w->lineCount && IsHdrFtrLine(w, line - 1)) ++line;
  return JumpToLine(w, line);
}

int FileEnd(WrxWindow* w) {
  w->rememberedX = -1;
  w->motion = 1;
  w->curLine = w->lineCount - 1;
  w->curCol = EndColumn(w, w->curLine);
  const int32_t col = w->curCol;
  JumpToLine(w, w->lineCount);
  w->curCol = col;
  return 1;
}

int NextWord(WrxWindow* w) {
  w->rememberedX = -1;
  int32_t line = w->curLine, col = w->curCol;
  bool blankSeen = false;
  for (;;) {
    const int32_t l = line, c = col;
    if (!StepForward(w, line, col)) {
      line = l, col = c;
      break;
    }
    if (line != l) blankSeen = true;  // a line end separates words
    const uint8_t ch = CharAt(w, line, col);
    if (IsBlank(ch) || ch == w->paraEnd) {
      blankSeen = true;
      continue;
    }
    if (blankSeen) break;
  }
  w->curCol = col;
  w->motion = 1;
  const int32_t keep = col;
  JumpToLine(w, line + 1);
  w->curCol = keep;
  return 1;
}

int PrevWord(WrxWindow* w) {
  w->rememberedX = -1;
  w->motion = 2;
  int32_t line = w->curLine, col = w->curCol - 1;
  bool nonBlankSeen = false;
  for (;;) {
    if (col < 0) {
      if (nonBlankSeen || line == 0) {
        col = -1;
        break;
      }
      --line;
      col = Length(w, line) - 1;
      continue;
    }
    const uint8_t ch = CharAt(w, line, col);
    const bool blank = IsBlank(ch) || ch == w->paraEnd;
    if (!blank)
      nonBlankSeen = true;
    else if (nonBlankSeen)
      break;
    --col;
  }
  w->curLine = line;
  w->curCol = std::max(0, col + 1);
  FollowCursor(w);
  return 1;
}

int PrevTabChar(WrxWindow* w) {
  w->rememberedX = -1;
  const int32_t length = Length(w, w->curLine);
  int32_t col = std::clamp(w->curCol, 0, std::max(0, length - 1));
  if (CharAt(w, w->curLine, col) == WRX_TAB) --col;
  while (col > 0 && CharAt(w, w->curLine, col) != WRX_TAB) --col;
  w->curCol = std::max(0, col);
  w->motion = 2;
  return 1;
}

int PageUp(WrxWindow* w, int fromKey) {
  if (w->curLine == 0) return 1;
  const int32_t x = DesiredX(w);
  if (w->firstLine == 0) {
    w->curLine = 0;
  } else {
    const int32_t step = std::max(1, w->linesPerWindow - w->pageOverlap);
    if (w->firstLine - step < 0) {
      SetFirstLine(w, 0);
      w->curLine = std::max(0, w->curRow);
    } else {
      SetFirstLine(w, w->firstLine - step);
      w->curLine = std::max(0, w->curLine - step);
    }
  }
  w->curCol = ColumnAtX(w, w->curLine, x);
  w->curRow = w->curLine - w->firstLine;
  w->motion = 3;
  w->paintScope = 3;
  return 1;
}

int PageDown(WrxWindow* w, int fromKey) {
  const int32_t x = DesiredX(w);
  const int32_t lastShown = LastShownLine(w);
  const int32_t last = w->lineCount - 1;
  if (lastShown < last) {
    const int32_t step = std::max(1, lastShown - w->pageOverlap - w->firstLine + 1);
    SetFirstLine(w, std::min(w->firstLine + step, last));
    w->curLine = std::clamp(w->curLine + step, w->firstLine, last);
  } else if (!fromKey) {
    SetFirstLine(w, last);
    w->curLine = last;
  } else {
    return 1;
  }
  w->curCol = ColumnAtX(w, w->curLine, x);
  w->curRow = w->curLine - w->firstLine;
  w->motion = 4;
  w->paintScope = 3;
  return 1;
}

int ScrollLineUp(WrxWindow* w) {
  if (w->firstLine == 0 && w->curLine == 0) return 1;
  w->curLine = std::max(0, w->curLine - 1);
  SetFirstLine(w, w->firstLine - 1);
  if (w->arg.wordWrap) w->curCol = std::clamp(w->curCol, 0, std::max(0, Length(w, w->curLine) - 1));
  return 1;
}

int ScrollLineDown(WrxWindow* w) {
  if (w->firstLine >= w->lineCount - 1) return 1;
  w->curLine = std::min(w->lineCount - 1, w->curLine + 1);
  SetFirstLine(w, w->firstLine + 1);
  if (w->arg.wordWrap) w->curCol = std::clamp(w->curCol, 0, std::max(0, Length(w, w->curLine) - 1));
  return 1;
}

namespace {

int32_t WidestShown(WrxWindow* w) {
  int32_t widest = 0;
  const int32_t last = std::min(w->lineCount - 1, w->firstLine + w->linesPerWindow);
  for (int32_t line = w->firstLine; line <= last; ++line) widest = std::max(widest, GetLineWidth(w, line, 0, 1));
  return widest;
}

void SetHOffset(WrxWindow* w, int32_t offset) {
  offset = std::max(0, offset);
  if (offset != w->hOffset) {
    w->hOffset = offset;
    w->paintScope = 3;
    ClearPictSlots(w, 0);
  }
}

}  // namespace

int ScrollColLeft(WrxWindow* w) {
  if (w->curCol > 0) {
    --w->curCol;
    const int id = GetCharFont(w, w->curLine, w->curCol);
    const WrxFont& f = w->fonts[id];
    SetHOffset(w, w->hOffset - (f.widths ? f.widths[CharAt(w, w->curLine, w->curCol)] : w->avgCharWidth));
  }
  return 1;
}

int ScrollColRight(WrxWindow* w) {
  const int32_t length = Length(w, w->curLine);
  int32_t width;
  if (w->curCol < length) {
    const WrxFont& f = w->fonts[GetCharFont(w, w->curLine, w->curCol)];
    width = f.widths ? f.widths[CharAt(w, w->curLine, w->curCol)] : w->avgCharWidth;
    if (!w->arg.wordWrap || w->curCol + 1 < length) ++w->curCol;
  } else {
    width = w->fonts[0].widths ? w->fonts[0].widths[uint8_t(' ')] : w->avgCharWidth;
    if (!w->arg.wordWrap) w->curCol = std::min(w->curCol + 1, kMaxColumn);
  }
  SetHOffset(w, w->hOffset + width);
  return 1;
}

int HScrollLeft(WrxWindow* w, int page) {
  if (!w->arg.wordWrap) return HScrollTo(w, page ? 'L' : 'l', 0);
  SetHOffset(w, w->hOffset - std::max(1, w->textWidth / (page ? 2 : 6)));
  return 1;
}

int HScrollRight(WrxWindow* w, int page) {
  if (!w->arg.wordWrap) return HScrollTo(w, page ? 'R' : 'r', 0);
  const int32_t limit = std::max(0, GetLineTextWidth(w, w->curLine) - w->textWidth);
  SetHOffset(w, std::min(limit, w->hOffset + std::max(1, w->textWidth / (page ? 2 : 6))));
  return 1;
}

int HScrollTo(WrxWindow* w, char mode, int position) {
  const int32_t range = WidestShown(w);
  const int32_t width = w->textRect.right - w->textRect.left;
  const int32_t half = std::max(1, width / 2);
  const int32_t em = w->fonts[0].widths ? std::max(1, w->fonts[0].widths[uint8_t('M')]) : w->avgCharWidth;
  int32_t offset = w->hOffset;
  switch (mode) {
    case 'L': offset -= half; break;
    case 'R': offset += half; break;
    case 'l': offset -= em; break;
    case 'r': offset += em; break;
    default: offset = int32_t(int64_t(range - width) * std::clamp(position, 0, 100) / 100); break;
  }
  SetHOffset(w, std::clamp(offset, 0, std::max(0, range - width)));
  return 1;
}

int JumpToLine(WrxWindow* w, int32_t line) {
  line = std::clamp(line, 1, w->lineCount);
  w->curLine = line - 1;
  if (w->curLine < w->firstLine || w->curLine >= w->firstLine + w->linesPerWindow)
    SetFirstLine(w, std::max(0, w->curLine - w->linesPerWindow / 2));
  w->curRow = w->curLine - w->firstLine;
  if (w->arg.pageMode) {
    w->currentPage = std::max(0, PageOfLine(w, w->curLine));
    ScrollLineIntoView(w, w->curLine);
  }
  Repaint(w, 3);
  return 1;
}

int ScrollCursorIntoViewX(WrxWindow* w) {
  if (w->arg.wordWrap && w->hOffset == 0 && GetLineTextWidth(w, w->curLine) <= w->textWidth) return 1;
  if (!IsWindowVisible(w->hwnd) || !w->anchorValid) return 1;
  const int32_t x = GetColumnX(w, w->curCol, w->curLine, 0);
  if (x >= w->hOffset && x <= w->hOffset + w->textWidth) return 1;
  const int32_t half = std::max(1, w->textWidth / 2);
  SetHOffset(w, std::max(0, (x / half - 1) * half));
  return 1;
}

int MouseToLineCol(WrxWindow* w, LPARAM position, int pageFlag) {
  const int32_t cx = short(LOWORD(position)), cy = short(HIWORD(position));
  w->mouseX = cx, w->mouseY = cy;
  const RECT& t = w->textRect;
  if (cx < t.left)
    w->mouseEdge = 'L';
  else if (cx >= t.right)
    w->mouseEdge = 'R';
  else if (cy < t.top)
    w->mouseEdge = 'T';
  else if (cy >= t.bottom)
    w->mouseEdge = 'B';
  else
    w->mouseEdge = ' ';
  const int32_t x = std::max<int32_t>(cx, t.left) - t.left + w->hOffset;
  const int32_t y = cy + (w->arg.pageMode ? w->vScrollPos : 0);
  int32_t line = std::clamp(YToLine(w, x, y), 0, w->lineCount - 1);
  if (w->mouseEdge == ' ' && !w->arg.pageMode && line == w->lineCount - 1 &&
      y >= CalcLineY(w, line) + GetLineHeight(w, line))
    w->mouseEdge = 'B';
  int32_t col;
  const int32_t length = Length(w, line);
  if (x < GetColumnX(w, -1, line, 0)) {
    col = 0;
  } else {
    col = XToColumn(w, x, line);
    if (col < length) {
      const WrxFont& f = w->fonts[GetCharFont(w, line, col)];
      if (!(f.style & wrxfmt::kPictureStyle) && x > GetColumnX(w, col, line, 1)) ++col;
    } else {
      col = length;
    }
  }
  int32_t cap = length;
  // Not past a line's paragraph or cell mark: past a cell mark is the next cell.
  if (w->arg.wordWrap && length > 0 &&
      (CharAt(w, line, length - 1) == w->paraEnd || CharAt(w, line, length - 1) == w->cellEnd))
    cap = length - 1;
  w->mouseLine = line;
  w->mouseCol = std::clamp(col, 0, std::max(0, cap));
  return 1;
}

int SetMouseCursor(WrxWindow* w, LPARAM position, int buttonUp) {
  MouseToLineCol(w, position, 0);
  LPCSTR shape = IDC_ARROW;
  HINSTANCE module = nullptr;
  const int32_t line = w->mouseLine, col = w->mouseCol;
  const bool onChar = col < Length(w, line);
  const int id = onChar ? GetCharFont(w, line, col) : 0;
  if (!buttonUp && onChar && IsLinkFont(w, id)) {
    shape = "Hyperlink";
    module = CursorModule();
  } else if (!w->arg.readOnly && w->mouseEdge == ' ') {
    const WrxFont& f = w->fonts[id];
    if ((w->protection && (f.style & 0x200)) || (onChar && (f.style & wrxfmt::kPictureStyle)))
      shape = IDC_ARROW;
    else
      shape = IDC_IBEAM;
  }
  HCURSOR cursor = module ? LoadCursorA(module, shape) : LoadCursorA(nullptr, shape);
  if (!cursor) cursor = LoadCursorA(nullptr, module ? IDC_HAND : IDC_ARROW);
  SetCursor(cursor);
  return 1;
}

int WrxButtonDown(WrxWindow* w, UINT msg, WPARAM wp, LPARAM lp) {
  if (GetFocus() != w->hwnd) SetFocus(w->hwnd);
  RestoreCursorAnchor(w, 0);
  MouseToLineCol(w, lp, 1);
  const bool shift = (wp & MK_SHIFT) != 0;
  if (msg == WM_LBUTTONDOWN) {
    if (shift && w->hilight == 2) {
      w->selecting = 1;
    } else if (w->hilight) {
      w->hilight = 0;
      w->paintScope = 3;
    }
  }
  w->curLine = w->mouseLine;
  w->curCol = w->mouseCol;
  w->curRow = w->curLine - w->firstLine;
  w->rememberedX = -1;
  w->pressX = short(LOWORD(lp)), w->pressY = short(HIWORD(lp));
  w->dragStarted = 0;
  w->anchorLine = w->curLine, w->anchorCol = w->curCol;
  // A picture under the pointer is selected as one character.
  const int32_t col = w->curCol;
  if (!w->arg.readOnly && !w->hilight && col < Length(w, w->curLine)) {
    const WrxFont& f = w->fonts[GetCharFont(w, w->curLine, col)];
    if ((f.style & wrxfmt::kPictureStyle) && !w->lines[w->curLine]->frame) {
      w->hilight = 2;
      w->hlFirstLine = w->hlLastLine = w->curLine;
      w->hlFirstCol = col, w->hlLastCol = col + 1;
      w->pictureSelected = 1;
    }
  }
  Repaint(w, 2);
  return 1;
}

int MouseDragSelect(WrxWindow* w, WPARAM keys, LPARAM position) {
  const int32_t cx = short(LOWORD(position)), cy = short(HIWORD(position));
  if (!w->dragStarted) {
    const int32_t dx = std::abs(cx - w->pressX), dy = std::abs(cy - w->pressY);
    if (dx <= std::max(1, w->avgCharWidth / 4) && dy <= std::max(1, (w->charHeight + w->extLeading) / 8)) return 1;
    w->dragStarted = 1;
    if (!w->hilight || !w->selecting) {
      w->hilight = (keys & MK_RBUTTON) && !(keys & MK_LBUTTON) ? 1 : 2;
      w->hlFirstLine = w->anchorLine, w->hlFirstCol = w->anchorCol;
      w->hlLastLine = w->anchorLine, w->hlLastCol = w->anchorCol;
      w->selecting = 1;
    }
    SetCapture(w->hwnd);
  }
  const int button = (keys & MK_RBUTTON) && !(keys & MK_LBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  // Outside the text area the view scrolls one step per round, until another
  // mouse message waits, the button is up, or a step moves nothing.
  for (long round = 0;; ++round) {
    MouseToLineCol(w, position, 1);
    const char edge = w->mouseEdge;
    bool moved = false;
    if (edge != ' ' && edge != 0) {
      const int32_t first = w->firstLine, off = w->hOffset, line = w->curLine, col = w->curCol;
      const int32_t lineHeight = std::max<int32_t>(1, w->charHeight + w->extLeading);
      switch (edge) {
        case 'L': ScrollColLeft(w); break;
        case 'R': ScrollColRight(w); break;
        case 'T':
          if (w->textRect.top - w->mouseY >= lineHeight)
            PageUp(w, 0);
          else
            ScrollLineUp(w);
          break;
        case 'B':
          if (w->mouseY - w->textRect.bottom >= lineHeight)
            PageDown(w, 0);
          else
            ScrollLineDown(w);
          break;
      }
      moved = first != w->firstLine || off != w->hOffset || line != w->curLine || col != w->curCol;
      MouseToLineCol(w, position, 1);
    }
    w->curLine = w->mouseLine;
    w->curCol = w->mouseCol;
    FollowCursor(w);
    w->selecting = 1;
    Repaint(w, 5);
    if (edge == ' ' || edge == 0 || !moved) break;
    MSG m;
    if (PeekMessageA(&m, w->hwnd, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE | PM_NOYIELD)) break;
    if (GetKeyState(button) >= 0) break;
    if (round > w->lineCount + 100000) break;
  }
  return 1;
}

int SelectWord(WrxWindow* w) {
  const int32_t line = w->curLine;
  const int32_t length = Length(w, line);
  if (length == 0) return 0;
  auto ends = [w](uint8_t c) {
    return c == WRX_TAB || c == w->paraEnd || c == w->cellEnd || c == WRX_PAGEBREAK || c == WRX_COLBREAK ||
           c == WRX_SECTBREAK;
  };
  int32_t at = std::clamp(w->curCol, 0, length - 1);
  int32_t begin = at;
  while (begin > 0 && !IsBlank(CharAt(w, line, begin - 1))) --begin;
  int32_t end = at;
  while (end < length && !IsBlank(CharAt(w, line, end)) && !ends(CharAt(w, line, end))) ++end;
  while (end < length && CharAt(w, line, end) == ' ') ++end;
  if (line == w->lineCount - 1) end = std::min(end, std::max(0, length - 1));
  if (end <= begin) return 0;
  w->hilight = 2;
  w->hlFirstLine = w->hlLastLine = line;
  w->hlFirstCol = begin, w->hlLastCol = end;
  w->curCol = end;
  w->selecting = 0;
  Repaint(w, 3);
  return 1;
}

int ToggleLineBlock(WrxWindow* w) {
  if (w->hilight && w->selecting) {
    w->selecting = 0;
  } else if (w->hilight) {
    w->hilight = 0;
    w->paintScope = 3;
  } else {
    w->hilight = 1;
    w->hlFirstLine = w->hlLastLine = w->curLine;
    w->hlFirstCol = w->hlLastCol = 0;
    w->selecting = 1;
  }
  return 1;
}

int SaveCursorAnchor(WrxWindow* w) {
  if (w->anchorValid != 1) return 1;
  w->anchorPos = RowColToAbs(w, w->curLine, w->curCol);
  w->anchorPage = w->currentPage;
  w->anchorValid = 0;
  return 1;
}

int RestoreCursorAnchor(WrxWindow* w, int command) {
  static const int kViewCommands[] = {674, 676, 722, 681, 680, 682, 686, 692, 710, 643, 717};
  if (w->anchorValid) return 1;
  for (int c : kViewCommands)
    if (c == command) return 1;
  w->anchorValid = 1;
  if (command == 600 || command == 601 || command == 718) return 1;
  int32_t line, col;
  AbsToRowCol(w, w->anchorPos, &line, &col);
  w->curCol = col;
  JumpToLine(w, line + 1);
  w->curCol = col;
  return 1;
}

int JumpParam(WrxWindow* w, int32_t line) {
  if (line < 0) return 0;  // the dialog joins with the control's dialogs
  return JumpToLine(w, line);
}

int SectionParam(WrxWindow* w, int columns, int columnSpace, int newPage) {
  if (columns < 1) return 0;  // the dialog joins with the control's dialogs
  size_t section = 0;
  for (size_t i = 1; i < w->sections.size(); ++i)
    if (w->sections[i].inUse && w->sections[i].firstLine <= w->curLine && w->curLine <= w->sections[i].lastLine)
      section = i;
  wrxfmt::WrxSectionRecord& s = w->sections[section];
  s.columns = std::min(columns, 100);
  s.columnSpace = float(columnSpace) / 1440.0f;
  s.continuous = newPage ? 1 : 0;
  ++w->modified;
  w->sectionsStale = 1;
  if (w->arg.pageMode) {
    w->staleLine = std::min(w->staleLine, s.firstLine);
    Repaint(w, 3);
    PostMessageA(w->hwnd, 1034, 0, 0);
  }
  return 1;
}

int WrxVScroll(WrxWindow* w, WPARAM wp) {
  SaveCursorAnchor(w);
  switch (LOWORD(wp)) {
    case SB_LINEUP: ScrollLineUp(w); break;
    case SB_LINEDOWN: ScrollLineDown(w); break;
    case SB_PAGEUP: PageUp(w, 0); break;
    case SB_PAGEDOWN: PageDown(w, 0); break;
    case SB_THUMBPOSITION: {
      const int32_t p = std::clamp<int32_t>(short(HIWORD(wp)), 0, 100);
      if (p == w->thumbV) return 1;
      JumpToLine(w, int32_t(int64_t(w->lineCount) * p / 100 + 1));
      if (w->curLine == w->lineCount - 1) SetFirstLine(w, w->curLine);
      break;
    }
    case SB_ENDSCROLL: return 1;
    default: return 1;
  }
  Repaint(w, 3);
  return 1;
}

int WrxHScroll(WrxWindow* w, WPARAM wp) {
  SaveCursorAnchor(w);
  switch (LOWORD(wp)) {
    case SB_LINELEFT: HScrollLeft(w, 0); break;
    case SB_LINERIGHT: HScrollRight(w, 0); break;
    case SB_PAGELEFT: HScrollLeft(w, 1); break;
    case SB_PAGERIGHT: HScrollRight(w, 1); break;
    case SB_THUMBPOSITION: HScrollTo(w, 'T', short(HIWORD(wp))); break;
    default: return 1;
  }
  Repaint(w, 3);
  return 1;
}

int WrxKeyCommand(WrxWindow* w, int command, int fromKey) {
  const bool motion = (command >= 600 && command <= 605) || (command >= 609 && command <= 613) || command == 620 ||
                      command == 621 || command == 715 || command == 716;
  if (!motion && command != 622 && command != 625) return -1;
  if (motion && (command != 600 && command != 601 ? true : fromKey)) BeginShiftSelect(w);
  const int32_t line = w->curLine, first = w->firstLine, hilight = w->hilight;
  switch (command) {
    case 600: PageUp(w, fromKey); break;
    case 601: PageDown(w, fromKey); break;
    case 602: CursorUp(w); break;
    case 603: CursorDown(w); break;
    case 604: CursorLeft(w); break;
    case 605: CursorRight(w); break;
    case 609: PrevTabChar(w); break;
    case 610: LineBegin(w); break;
    case 611: LineEnd(w); break;
    case 612: FileBegin(w); break;
    case 613: FileEnd(w); break;
    case 620: NextWord(w); break;
    case 621: PrevWord(w); break;
    case 622: ToggleLineBlock(w); break;
    case 625:
      w->hilight = 2;
      w->hlFirstLine = w->hlFirstCol = 0;
      w->hlLastLine = w->lineCount - 1;
      w->hlLastCol = Length(w, w->lineCount - 1);
      w->selecting = 0;
      w->paintScope = 3;
      break;
    case 715: CtrlUp(w); break;
    case 716: CtrlDown(w); break;
  }
  // A plain move redraws the rows it touched; scrolling or a changed
  // highlight redraws the window.
  const int scope = (first != w->firstLine || hilight != w->hilight || w->hilight) ? 3 : (line == w->curLine ? 2 : 3);
  if (!w->selecting) ScrollCursorIntoViewX(w);
  Repaint(w, scope);
  return 1;
}

const char* FindChar(const char* text, int c) {
  if (!text || !*text) return nullptr;
  return strchr(text, c);
}

char* StrUpperCase(char* text) {
  for (char* p = text; p && *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
  return text;
}

char* FormatDecimal(int decimals, char* buffer, size_t size, double value) {
  if (!buffer || size == 0) return buffer;
  decimals = std::clamp(decimals, 0, 9);
  const bool negative = value < 0;
  value = std::fabs(value);
  long long whole = (long long)std::floor(value);
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  long long fraction = (long long)std::floor((value - double(whole)) * double(scale) + 0.5);
  if (fraction >= scale) {
    ++whole;
    fraction -= scale;
  }
  if (decimals == 0) {
    if (whole < 1)
      snprintf(buffer, size, "%s", negative ? "-" : "");
    else
      snprintf(buffer, size, "%s%lld", negative ? "-" : "", whole);
    return buffer;
  }
  char wholeText[32] = "";
  if (whole > 0) snprintf(wholeText, sizeof wholeText, "%lld", whole);
  snprintf(buffer, size, "%s%s.%0*lld", negative ? "-" : "", wholeText, decimals, fraction);
  return buffer;
}
