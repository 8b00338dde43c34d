// The paint cycle of a control window: how much is drawn and when, the
// window's rectangles, scroll-bar thumbs, the caret, the background and its
// picture, and the picture slots that keep unchanged segments from being drawn
// again over a background picture or beside embedded control windows.
// Everything is drawn through the window's own DC, outside WM_PAINT.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

WrxDebugProc g_debugProc = nullptr;

// Appends a line to the edit control of a "DBWin" window, when one runs.
void DefaultDebugLine(const char* line) {
  HWND dbwin = FindWindowA("DBWin", nullptr);
  HWND edit = dbwin ? GetWindow(dbwin, GW_CHILD) : nullptr;
  if (!edit) return;
  const LRESULT end = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(edit, EM_SETSEL, WPARAM(end), LPARAM(end));
  SendMessageA(edit, EM_REPLACESEL, 0, LPARAM(line));
  SendMessageA(edit, EM_REPLACESEL, 0, LPARAM("\r\n"));
  SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

int32_t ResX(const WrxWindow* w) { return w->resX ? w->resX : 96; }
int32_t ResY(const WrxWindow* w) { return w->resY ? w->resY : 96; }

bool Visible(const WrxWindow* w) { return w->hwnd && IsWindowVisible(w->hwnd); }

// Lines of the window's view that fit whole below the first screen line.
int32_t LastFittingLine(WrxWindow* w) {
  int32_t used = 0;
  int32_t line = w->firstLine;
  for (; line < w->lineCount; ++line) {
    used += GetLineHeight(w, line);
    if (used > w->textRect.bottom - w->textRect.top) break;
  }
  return std::max(w->firstLine, line - 1);
}

bool CharWaiting(WrxWindow* w) {
  MSG m;
  return PeekMessageA(&m, w->hwnd, WM_CHAR, WM_CHAR, PM_NOREMOVE | PM_NOYIELD) != 0;
}

void DrawStatusLine(WrxWindow*) {}  // the status line joins with the ruler
void DrawRuler(WrxWindow*) {}
void UpdateObjectHighlights(WrxWindow*) {}  // drawing objects join later
void RepaintOverlaps(WrxWindow* w) { w->overlapEdges = 0; }

void SetViewOrigin(WrxWindow* w) {
  SetViewportOrgEx(w->dc, 0, 0, nullptr);
  SetWindowOrgEx(w->dc, w->hOffset, w->arg.pageMode ? w->vScrollPos : 0, nullptr);
}

// Clamps the cursor and keeps it on screen outside page mode (step 5-6).
void PlaceCursorInView(WrxWindow* w) {
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  const int32_t length = w->lines[w->curLine]->length;
  if (w->arg.wordWrap)
    w->curCol = std::clamp(w->curCol, 0, std::max(0, length - 1));
  else
    w->curCol = std::clamp(w->curCol, 0, WRX_MAXLINELEN - 1);
  if (w->arg.pageMode) return;
  w->firstLine = std::clamp(w->firstLine, 0, w->lineCount - 1);
  w->curRow = w->curLine - w->firstLine;
  if (w->curRow >= w->linesPerWindow) {
    w->firstLine = w->curLine - (w->linesPerWindow - 1);
    w->paintScope = 3;
  }
  if (w->curLine < w->firstLine) {
    w->firstLine = w->curLine;
    w->paintScope = 3;
  }
  w->curRow = w->curLine - w->firstLine;
}

void FollowStretchedHighlight(WrxWindow* w) {
  if (w->selecting && w->hilight) {
    w->hlLastLine = w->curLine;
    w->hlLastCol = w->curCol;
    if (w->paintScope != 3) w->paintScope = 5;
  } else if (w->hilight && w->hlFirstLine == w->hlLastLine && (w->hilight == 1 || w->hlFirstCol == w->hlLastCol)) {
    if (w->hilight == 2) w->hilight = 0;
  }
}

void DrawPass(WrxWindow* w) {
  SetViewOrigin(w);
  HideWrxCaret(w);
  SetTextClipRgn(w);
  w->rowsDrawn = 0;
  if (w->arg.pageMode) {
    BuildScreenLines(w, (w->paintScope == 2 || w->paintScope == 6) ? w->curLine : -1);
  } else {
    int scope = w->paintScope;
    const int32_t row = w->curRow;
    if (scope == 2 && (row < 0 || row >= WRX_SCREENROWS || w->screenLines.height[row] != GetLineHeight(w, w->curLine)))
      scope = 5;
    if (scope == 2)
      DrawScreenRows(w, row, row);
    else if (scope == 5)
      DrawScreenRows(w, std::max(0, row - 1), 99);
    else
      DrawScreenRows(w, 0, 99);
  }
  ClearClipRgn(w);
}

}  // namespace

WrxDebugProc SetWrxDebugProc(WrxDebugProc proc) {
  WrxDebugProc old = g_debugProc;
  g_debugProc = proc;
  return old;
}

void DBWinPrintf(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  (g_debugProc ? g_debugProc : DefaultDebugLine)(line);
}

void PaintWrx(WrxWindow* w) {
  // Steps recorded between two repaint requests form one undo group, drawn
  // or not.
  ++w->undoGroup;
  if (!w->paintOn || !w->hwnd || !w->dc || !w->open || w->lineCount < 1) return;
  if (w->preview) return;  // the preview draws itself
  // A window not on the screen is laid out and drawn when it is shown (its
  // WM_PAINT refreshes it).
  if (!Visible(w)) return;
  const bool byCommand = w->paintByCommand != 0;
  w->paintByCommand = 0;
  if (w->fontsStale) {
    RecreateFonts(w, w->dc);
    w->fontsStale = 0;
  }
  if (w->paintScope == 7 || (w->backgroundPicture && w->paintScope == 3 && !w->slotsActive)) {
    ClearPictSlots(w, 1);
    if (w->paintScope == 7) w->paintScope = 3;
  }
  SkipHiddenAtCursor(w);
  const int startScope = w->paintScope;
  // Each repeat moves the first line down by one; the document bounds it.
  for (int32_t pass = 0; pass <= w->lineCount; ++pass) {
    const int32_t rows = w->linesPerWindow + 10;
    if (w->arg.wordWrap && w->rewrapState != 0) {
      if (!byCommand && CharWaiting(w))
        w->deferredWrap = 1;
      else
        WordWrap(w, w->firstLine, rows);
    }
    PlaceCursorInView(w);
    FollowStretchedHighlight(w);
    UpdateObjectHighlights(w);
    ++w->paintGeneration;
    DrawPass(w);
    DrawStatusLine(w);
    ShowWrxCaret(w);
    if (w->rulerPending || startScope == 3) DrawRuler(w);
    w->rulerPending = 0;
    SetScrollBarPos(w);
    SetCaretToCursor(w);
    RepaintOverlaps(w);
    w->paintScope = 3;
    w->rewrapState = 3;
    w->slotsActive = 1;
    w->lastPaintLine = w->curLine, w->lastPaintCol = w->curCol, w->lastPaintPage = w->currentPage;
    w->lastPaintY = CalcLineY(w, w->curLine);
    w->motion = 0;
    if (w->clipRgn) DeleteObject(w->clipRgn);
    w->clipRgn = nullptr;
    ++w->paintPasses;
    if (w->arg.pageMode || w->curLine <= LastFittingLine(w) || w->firstLine >= w->curLine) break;
    ++w->firstLine;
    w->curRow = w->curLine - w->firstLine;
  }
}

int WrxRefreshWindow(HWND hwnd, int erase) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (erase) EraseWrxClient(w);
  if (w->fontsStale) {
    RecreateFonts(w, w->dc);
    w->fontsStale = 0;
  }
  SetWrxGeometry(w);
  if (!w->arg.pageMode && w->curRow >= w->linesPerWindow) {
    w->curRow = w->linesPerWindow - 1;
    w->firstLine = std::max(0, w->curLine - w->curRow);
  }
  ClearPictSlots(w, 1);
  PaintWrx(w);
  return 1;
}

int WrxOnPaint(WrxWindow* w) {
  PAINTSTRUCT ps;
  BeginPaint(w->hwnd, &ps);
  EndPaint(w->hwnd, &ps);
  w->rulerPending = 1;
  return WrxRefreshWindow(w->hwnd, 0);
}

int WrxSetHostData(HWND hwnd, HACCEL table) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  w->trackPointer = 1;
  if (table) w->accel = table;
  ExpandLineArray(w, w->lineCapacity + 2);
  return 1;
}

int SetWrxGeometry(WrxWindow* w) {
  GetClientRect(w->hwnd, &w->winRect);
  const RECT client = w->winRect;
  const int32_t lineHeight = std::max<int32_t>(1, w->charHeight + w->extLeading);
  w->screenColumns = std::max<int32_t>(1, (client.right - client.left) / std::max<int32_t>(1, w->avgCharWidth) - 1);
  int32_t rows = (client.bottom - client.top) / lineHeight;
  if (w->arg.statusLine) --rows;
  w->linesPerWindow = std::max<int32_t>(1, rows);
  RECT text = client;
  if (w->arg.border && w->resX && w->resY) {
    const int32_t dx = MulDiv(75, w->resX, 1440), dy = MulDiv(75, w->resY, 1440);
    InflateRect(&text, -dx, -dy);
  }
  if (w->arg.statusLine) text.bottom -= w->statusHeight + 6;
  if (text.bottom < text.top) text.bottom = text.top;
  if (text.right < text.left) text.right = text.left;
  w->textRect = text;
  w->textWidth = std::max<int32_t>(0, text.right - text.left - 1);
  w->textHeight = text.bottom - text.top;
  if (!w->arg.pageMode && w->textFrameCapacity > 0) {
    WrxTextFrame& f = w->textFrames[0];
    f.width = f.height = 9999;
    f.screenHeight = w->textHeight;
  }
  if (w->dc) SetViewOrigin(w);
  if (w->backgroundPicture > 0 && w->backgroundMode == 1 && w->backgroundPicture < w->fontCount &&
      w->fonts[w->backgroundPicture].pict) {
    w->fonts[w->backgroundPicture].pict->height = MulDiv(w->textHeight, 72, ResY(w));
    w->fonts[w->backgroundPicture].pict->width = MulDiv(w->textWidth, 72, ResX(w));
  }
  return 1;
}

int SetScrollBarPos(WrxWindow* w) {
  if (!w->hwnd) return 1;
  if (w->arg.vScroll) {
    int32_t pos = 0;
    if (w->arg.pageMode) {
      int32_t total = 0;
      for (int32_t f = 0; f < w->textFrameCount; ++f)
        total = std::max(total, FrameTop(w->textFrames[f]) + w->textFrames[f].screenHeight);
      pos = total > 0 ? int32_t(std::min<int64_t>(100, int64_t(w->vScrollPos) * 100 / total)) : 0;
    } else if (w->lineCount > 1) {
      pos = w->firstLine >= w->lineCount - 1 ? 100 : int32_t(int64_t(w->firstLine) * 100 / w->lineCount);
    }
    pos = std::clamp(pos, 0, 100);
    if (pos != w->thumbV) {
      w->thumbV = pos;
      SetScrollPos(w->hwnd, SB_VERT, pos, TRUE);
    }
  }
  if (w->arg.hScroll) {
    int32_t pos = 0;
    int32_t widest = 0;
    const int32_t last = std::min(w->lineCount - 1, w->firstLine + w->linesPerWindow);
    for (int32_t line = w->firstLine; line <= last; ++line) widest = std::max(widest, GetLineWidth(w, line, 0, 1));
    if (w->hOffset > 0) {
      if (widest > w->textWidth + w->hOffset)
        pos = int32_t(int64_t(w->hOffset) * 100 / std::max<int32_t>(1, widest - w->textWidth));
      else
        pos = 100;
    }
    pos = std::clamp(pos, 0, 100);
    if (pos != w->thumbH) {
      w->thumbH = pos;
      SetScrollPos(w->hwnd, SB_HORZ, pos, TRUE);
    }
  }
  return 1;
}

int SetCaretToCursor(WrxWindow* w) {
  if (!w->caretShown) return 1;
  ShowWrxCaret(w);
  const WrxLine* l = w->lines[w->curLine];
  const int id = w->curCol < l->length ? GetCharFont(w, w->curLine, w->curCol) : 0;
  w->caretOnFootnote = (w->fonts[id].style & (0x800 | 0x1000)) != 0;
  return 1;
}

int PaintBreakOff(WrxWindow* w) {
  MSG m;
  if (PeekMessageA(&m, w->hwnd, WM_CHAR, WM_CHAR, PM_NOREMOVE | PM_NOYIELD)) return 1;
  if (PeekMessageA(&m, w->hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | PM_NOYIELD)) return 1;
  if (PeekMessageA(&m, w->hwnd, WM_LBUTTONDOWN, 0x020A, PM_NOREMOVE | PM_NOYIELD)) return 1;
  if (w->selecting && w->hilight == 2 &&
      PeekMessageA(&m, w->hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE | PM_NOYIELD))
    return 1;
  return 0;
}

int SetTextClipRgn(WrxWindow* w) {
  if (w->clipRgn) {
    SelectClipRgn(w->dc, w->clipRgn);
    return 1;
  }
  HRGN r = CreateRectRgn(w->textRect.left, w->textRect.top, w->textRect.right - 1, w->textRect.bottom);
  if (!r) return 0;
  SelectClipRgn(w->dc, r);
  DeleteObject(r);
  return 1;
}

int ClearClipRgn(WrxWindow* w) {
  SelectClipRgn(w->dc, nullptr);
  return 1;
}

int EraseWrxClient(WrxWindow* w) {
  const int saved = SaveDC(w->dc);
  SelectClipRgn(w->dc, nullptr);
  SetViewportOrgEx(w->dc, 0, 0, nullptr);
  SetWindowOrgEx(w->dc, 0, 0, nullptr);
  RECT rc;
  GetClientRect(w->hwnd, &rc);
  SetBkColor(w->dc, w->backColor);
  ExtTextOutA(w->dc, 0, 0, ETO_OPAQUE, &rc, "", 0, nullptr);
  RestoreDC(w->dc, saved);
  w->run.valid = false;
  w->run.dcKnown = false;
  return 1;
}

int SkipHiddenAtCursor(WrxWindow* w) {
  auto lineHidden = [w](int32_t line) {
    const WrxLineInfo* info = w->lines[line]->info;
    uint32_t mask = LI_HEADER | LI_FOOTER;
    if (w->arg.pageMode) mask |= 0x20 | LI_BLOCKED;
    if (info && (info->flags & mask)) return true;
    return w->arg.pageMode && !w->hdrFtrEdit && IsHdrFtrLine(w, line);
  };
  auto charHidden = [w](int32_t line, int32_t col) {
    if (w->hiddenShown && w->footnoteShown) return false;
    if (col >= w->lines[line]->length) return false;
    return IsHiddenStyle(w, w->fonts[GetCharFont(w, line, col)].style) != 0;
  };
  int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1), col = w->curCol;
  if (!lineHidden(line) && !charHidden(line, col)) return 1;
  bool forward;
  if (w->motion == 1 || w->motion == 4)
    forward = true;
  else if (w->motion == 2 || w->motion == 3)
    forward = false;
  else
    forward = RowColToAbs(w, w->curLine, w->curCol) > RowColToAbs(w, w->lastPaintLine, w->lastPaintCol);
  const int32_t startLine = line;
  for (long guard = 0; guard < 4L * 1024 * 1024; ++guard) {
    if (forward) {
      if (col + 1 < w->lines[line]->length)
        ++col;
      else if (line + 1 < w->lineCount)
        ++line, col = 0;
      else
        return 1;  // nothing shown this way: the cursor stays
    } else {
      if (col > 0)
        --col;
      else if (line > 0)
        --line, col = std::max(0, w->lines[line]->length - 1);
      else
        return 1;
    }
    if (lineHidden(line) || charHidden(line, col)) continue;
    const bool wasFirst = w->curLine == w->firstLine;
    if (line != startLine &&
        (w->lastCommand == 600 || w->lastCommand == 601 || w->lastCommand == 602 || w->lastCommand == 603 ||
         w->motion == 3 || w->motion == 4) &&
        w->rememberedX >= 0) {
      const int32_t at = XToColumn(w, w->rememberedX, line);
      if (!charHidden(line, at)) col = at;
    }
    w->curLine = line, w->curCol = col;
    if (wasFirst) w->firstLine = line;
    w->curRow = w->curLine - w->firstLine;
    return 1;
  }
  return 1;
}

int ClearPictSlots(WrxWindow* w, int repaintBackground) {
  for (int i = 0; i < int(w->pictSlots.size()); ++i) FreePictSlot(w, i, 0);
  w->pictSlots.clear();
  w->slotsActive = 0;
  if (repaintBackground && w->dc && Visible(w)) PaintWrxBackground(w, w->dc);
  w->paintScope = 3;
  return 1;
}

int FreePictSlot(WrxWindow* w, int index, int restore) {
  if (index < 0 || index >= int(w->pictSlots.size())) return 1;
  PictSlot& s = w->pictSlots[size_t(index)];
  if (!s.inUse) return 1;
  if (restore && s.saved) {
    HDC mem = CreateCompatibleDC(w->dc);
    if (mem) {
      HGDIOBJ old = SelectObject(mem, s.saved);
      BitBlt(w->dc, s.rect.left, s.rect.top, s.rect.right - s.rect.left, s.rect.bottom - s.rect.top, mem, 0, 0,
             SRCCOPY);
      SelectObject(mem, old);
      DeleteDC(mem);
    }
  }
  if (s.fontId > 0 && s.fontId < w->fontCount && w->fonts[s.fontId].kind == 2 && w->fonts[s.fontId].pict &&
      w->fonts[s.fontId].pict->control) {
    HWND control = w->fonts[s.fontId].pict->control;
    if (IsWindow(control)) ShowWindow(control, SW_HIDE);
    if (s.rect.left < w->textRect.left) w->overlapEdges |= 1;
    if (s.rect.right > w->textRect.right) w->overlapEdges |= 2;
    if (s.rect.top < w->textRect.top) w->overlapEdges |= 4;
    if (s.rect.bottom > w->textRect.bottom) w->overlapEdges |= 8;
  }
  if (s.saved) DeleteObject(s.saved);
  s = PictSlot{};
  return 1;
}

namespace {

// Slots are needed over a background picture and beside embedded controls.
bool SlotsNeeded(const WrxWindow* w) {
  if (w->backgroundPicture > 0) return true;
  for (int id = 1; id < w->fontCount; ++id) {
    const WrxFont& f = w->fonts[id];
    if (f.inUse && (f.style & wrxfmt::kPictureStyle) && f.kind == 2 && f.pict && f.pict->control) return true;
  }
  return false;
}

bool SameSegment(const PictSlot& s, int32_t x, int32_t y, const RECT& r, int32_t count, const char* chars,
                 const WrxRunState& run) {
  return s.inUse && s.count == count && s.x == x && s.y == y && EqualRect(&s.rect, &r) && s.text == run.text &&
         s.back == run.back && s.fontId == run.fontId && s.boxFlags == run.boxFlags && s.para == run.para &&
         (count == 0 || s.chars.compare(0, std::string::npos, chars, size_t(count)) == 0);
}

bool Overlaps(const RECT& a, const RECT& b) {
  RECT i;
  return IntersectRect(&i, &a, &b) != 0;
}

}  // namespace

int RecordPictSlot(WrxWindow* w, int32_t x, int32_t y, const RECT* rect, int32_t count, const char* chars) {
  if (w->offScreen) return 0;
  if (!w->slotsActive || w->pictSlots.empty()) {
    if (!SlotsNeeded(w)) {
      if (!w->pictSlots.empty()) {
        for (int i = 0; i < int(w->pictSlots.size()); ++i) FreePictSlot(w, i, 0);
        w->pictSlots.clear();
        w->paintScope = 3;
      }
      return 0;
    }
  }
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  int freeIndex = -1;
  for (int i = 0; i < int(w->pictSlots.size()); ++i) {
    PictSlot& s = w->pictSlots[size_t(i)];
    if (!s.inUse) {
      if (freeIndex < 0) freeIndex = i;
      continue;
    }
    if (SameSegment(s, x, y, *rect, count, chars, w->run)) return 1;
    if (s.generation != w->paintGeneration && !s.inlineGap && (EqualRect(&s.rect, rect) || Overlaps(s.rect, *rect))) {
      FreePictSlot(w, i, w->run.transparent);
      if (freeIndex < 0 || i < freeIndex) freeIndex = i;
    }
  }
  if (freeIndex < 0) {
    if (int(w->pictSlots.size()) >= WRX_MAXPICTSLOTS) return 0;  // drawn, not recorded
    w->pictSlots.push_back(PictSlot{});
    freeIndex = int(w->pictSlots.size()) - 1;
  }
  PictSlot& s = w->pictSlots[size_t(freeIndex)];
  s.inUse = 1;
  s.chars.assign(chars ? chars : "", chars ? size_t(std::max(0, count)) : 0);
  s.count = count;
  s.x = x, s.y = y;
  s.rect = *rect;
  s.text = w->run.text, s.back = w->run.back;
  s.fontId = w->run.fontId;
  s.boxFlags = w->run.boxFlags;
  s.para = w->run.para;
  s.inlineGap = 0;
  s.generation = w->paintGeneration;
  s.saved = nullptr;
  if (w->run.transparent) {
    const int32_t width = rect->right - rect->left, height = rect->bottom - rect->top;
    HDC mem = CreateCompatibleDC(w->dc);
    HBITMAP bitmap = mem ? CreateCompatibleBitmap(w->dc, width, height) : nullptr;
    if (bitmap) {
      HGDIOBJ old = SelectObject(mem, bitmap);
      BitBlt(mem, 0, 0, width, height, w->dc, rect->left, rect->top, SRCCOPY);
      SelectObject(mem, old);
      s.saved = bitmap;
    }
    if (mem) DeleteDC(mem);
  }
  return 0;
}

int PaintWrxBackground(WrxWindow* w, HDC dc) {
  if (w->backgroundPicture <= 0 || w->backgroundPicture >= w->fontCount) return 1;
  SetViewOrigin(w);
  DrawBackgroundPicture(w, dc, w->textRect.left + w->hOffset, w->textRect.top + (w->arg.pageMode ? w->vScrollPos : 0));
  w->run.valid = false;
  w->run.dcKnown = false;
  return 1;
}

int DrawBackgroundPicture(WrxWindow* w, HDC dc, int32_t x, int32_t y) {
  const int id = w->backgroundPicture;
  if (id <= 0 || id >= w->fontCount) return 1;
  const int32_t width = std::max(1, PictureWidth(w, id)), height = std::max(1, PictureHeight(w, id));
  const int32_t right = x + w->textWidth + 1, bottom = y + w->textHeight;
  if (w->backgroundMode == 2) {
    for (int32_t row = y; row < bottom; row += height)
      for (int32_t col = x; col < right; col += width) DrawPicture(w, dc, id, col, row, 1);
    return 1;
  }
  DrawPicture(w, dc, id, x, y, 1);
  if (w->backgroundMode == 0 && dc == w->dc) {
    HBRUSH brush = CreateSolidBrush(w->backColor);
    if (brush) {
      RECT rightStrip{x + width, y, right, bottom}, belowStrip{x, y + height, x + width, bottom};
      if (rightStrip.left < rightStrip.right) FillRect(dc, &rightStrip, brush);
      if (belowStrip.top < belowStrip.bottom) FillRect(dc, &belowStrip, brush);
      DeleteObject(brush);
    }
  }
  return 1;
}
