// The host calls of the control that belong to the block itself: closing,
// buffers and files, the cursor, the field record, lines and text.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

int GetLineSection(WrxWindow* w, int32_t line) {
  if (!w->arg.wordWrap || w->sections.size() < 2) return 0;
  for (size_t i = 1; i < w->sections.size(); ++i) {
    const auto& s = w->sections[i];
    if (s.inUse && s.firstLine <= line && line <= s.lastLine) return int(i);
  }
  return 0;
}

namespace {

constexpr int kFieldSize = 4416;
constexpr int kMaxSetLength = 2047;
constexpr UINT kDeferredUpdate = 1034;

void Repaint(WrxWindow* w, int repaint) {
  if (repaint) PaintWrx(w);
}

uint8_t LastUsableId(WrxWindow* w, const WrxLine* l, int32_t line) {
  if (l->length == 0) return 0;
  int id = GetCharFont(w, line, l->length - 1);
  return (w->fonts[id].style & wrxfmt::kPictureStyle) ? 0 : uint8_t(id);
}

bool FontInUse(WrxWindow* w, int id) { return id >= 0 && id < w->fontCount && w->fonts[id].inUse; }

// Replaces a line's text (and, where given, its font ids). New characters
// beyond the old length take the id of the old last character.
int ReplaceLineText(WrxWindow* w, int32_t line, const char* text, int32_t length, const uint8_t* ids) {
  WrxLine* l = w->lines[line];
  const int32_t old = l->length;
  const uint8_t fill = LastUsableId(w, l, line);
  uint8_t* codes = OpenFontCodes(w, line);
  if (!codes || !LineAlloc(w, line, old, length)) {
    CompactFontCodes(w, line);
    return 0;
  }
  codes = IdArray(l);
  if (length > 0) memcpy(l->text, text, size_t(length));
  for (int32_t i = old; i < length; ++i) codes[i] = fill;
  if (ids)
    for (int32_t i = 0; i < length; ++i)
      if (FontInUse(w, ids[i])) codes[i] = ids[i];
  CompactFontCodes(w, line);
  SetLineFlagsFromText(w, line);
  if (line < w->staleLine) w->staleLine = line;
  return 1;
}

// Appends text at the end of the last line, starting a new line after each
// line end; characters take font id `font` and new lines paragraph `para`.
int AppendText(WrxWindow* w, const char* text, int font, int32_t para) {
  const char* p = text;
  std::vector<char> buffer;
  auto flush = [&](bool newLine) -> bool {
    const int32_t line = w->lineCount - 1;
    WrxLine* l = w->lines[line];
    const int32_t old = l->length;
    const int32_t add = int32_t(buffer.size());
    if (add > 0) {
      if (!OpenFontCodes(w, line) || !LineAlloc(w, line, old, old + add)) return false;
      memcpy(l->text + old, buffer.data(), size_t(add));
      memset(IdArray(l) + old, font, size_t(add));
      CompactFontCodes(w, line);
      SetLineFlagsFromText(w, line);
    }
    buffer.clear();
    if (!newLine) return true;
    if (!ExpandLineArray(w, w->lineCount + 1) || !ShiftLines(w, w->lineCount - 1, 1, 'A')) return false;
    w->lines[w->lineCount - 1]->para = para;
    return true;
  };
  const int32_t room = w->maxLineLength;
  for (; *p; ++p) {
    const uint8_t c = uint8_t(*p);
    if (c == 13 && p[1] == 10) {
      if (w->arg.wordWrap) buffer.push_back(char(w->paraEnd));
      ++p;
      if (!flush(true)) return 0;
      continue;
    }
    buffer.push_back(char(c));
    if (c == w->paraEnd || c == w->cellEnd || c == WRX_LINEBREAK ||
        w->lines[w->lineCount - 1]->length + int32_t(buffer.size()) >= room) {
      if (!flush(true)) return 0;
    }
  }
  return flush(false) ? 1 : 0;
}

}  // namespace

DWORD SetWrxFlags(HWND hwnd, DWORD flags) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  DWORD old = w->flags;
  w->flags = flags;
  return old;
}

int CloseWrx(HWND hwnd, int save) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const bool writable = !w->arg.readOnly;
  if (w->modified > 0 && writable) {
    if (save) {
      if (!WrxSave(w, w->arg.fileName)) return 0;
    } else {
      int answer = WrxAsk(w, 127, "", MB_YESNOCANCEL);
      if (answer == IDCANCEL) return 0;
      if (answer == IDNO) NotifyHost(w, WRXN_SAVEDECLINED, WPARAM(hwnd), 0);
      if (answer == IDYES && !WrxSave(w, w->arg.fileName)) return 0;
    }
  }
  NotifyHost(w, WRXN_CLOSING, WPARAM(hwnd), 0);
  TearDownWrx(w, false);
  return 1;
}

WrxNotifyProc GetWrxMsgCallback(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? w->notify2 : nullptr;
}

int SetWrxNotifyProc(HWND hwnd, WrxNotifyProc proc) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  w->notify = proc;
  return 1;
}

int SetWrxDefTabWidth(HWND hwnd, int twips, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  int old = w->defTabWidth;
  w->defTabWidth = twips;
  Repaint(w, repaint);
  return old;
}

int WrxAllocOutBuf(HWND hwnd, long size) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || size < 0) return 0;
  if (w->outBuf) {
    GlobalUnlock(w->outBuf);
    GlobalFree(w->outBuf);
    w->outBuf = nullptr;
    w->outPtr = nullptr;
  }
  w->outBuf = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(size) + 1);
  if (!w->outBuf) return 0;
  w->outPtr = GlobalLock(w->outBuf);
  return w->outPtr != nullptr;
}

void* WrxGetOutBuf(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? w->outPtr : nullptr;
}

int SetWrxBuffer(HWND hwnd, HGLOBAL buffer, long size, const char* title, int keep) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const char oldKind = w->arg.inputKind;
  if (oldKind != 'B') {
    w->arg.inputKind = 'B';
    w->arg.bufferHandle = nullptr;
    w->arg.bufferSize = 0;
    w->arg.lineDelimiter = 13;
  }
  HCURSOR cursor = SetCursor(w->busyCursor);
  ResetWrxDocument(w);
  if (w->arg.bufferHandle && w->arg.bufferHandle != buffer) GlobalFree(w->arg.bufferHandle);
  w->arg.bufferHandle = buffer;
  w->arg.bufferSize = size;
  const int ok = WrxRead(w, nullptr);
  if (!keep || (oldKind == 'F')) {
    // The caller keeps its buffer unless it handed it over, also after a
    // failed load.
    if (keep && oldKind == 'F' && buffer) GlobalFree(buffer);
    w->arg.bufferHandle = nullptr;
    w->arg.bufferSize = 0;
  }
  if (ok && title) SetWindowTextA(hwnd, title);
  SetCursor(cursor);
  w->arg.inputKind = oldKind;
  PaintWrx(w);
  return ok;
}

int ReadWrxFile(HWND hwnd, const char* fileName) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  bool readOnlyFile = false;
  if (fileName && *fileName) {
    // A file that can only be read loads read-only rather than not at all.
    HANDLE h = CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      h = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) return 0;
      readOnlyFile = true;
    }
    CloseHandle(h);
  }
  const char oldKind = w->arg.inputKind;
  if (oldKind != 'F' && w->arg.bufferHandle) {
    GlobalFree(w->arg.bufferHandle);
    w->arg.bufferHandle = nullptr;
    w->arg.bufferSize = 0;
  }
  HCURSOR cursor = SetCursor(w->busyCursor);
  ResetWrxDocument(w);
  strncpy(w->arg.fileName, fileName ? fileName : "", sizeof w->arg.fileName - 1);
  w->arg.fileName[sizeof w->arg.fileName - 1] = 0;
  w->arg.readOnly = w->hostReadOnly || readOnlyFile;
  w->arg.inputKind = 'F';
  const int ok = WrxRead(w, w->arg.fileName);
  w->arg.inputKind = oldKind;
  SetCursor(cursor);
  PaintWrx(w);
  return ok;
}

int SetWrxMargins(HWND hwnd, int left, int right, int top, int bottom, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  auto& s = w->sections[size_t(GetLineSection(w, w->curLine))];
  if (left >= 0) s.leftMargin = float(left) / 1440.0f;
  if (right >= 0) s.rightMargin = float(right) / 1440.0f;
  if (top >= 0) s.topMargin = float(top) / 1440.0f;
  if (bottom >= 0) s.bottomMargin = float(bottom) / 1440.0f;
  ++w->modified;
  Repaint(w, repaint);
  return 1;
}

int SetWrxPaintFlag(HWND hwnd, int on) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  w->paintOn = on ? 1 : 0;
  return 1;
}

int GetWrxReadOnly(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  return w ? w->arg.readOnly : 0;
}

int SetWrxModify(HWND hwnd, int flag) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (flag == 0) {
    w->modified = 0;
    w->firstModifyNotified = 0;
  } else {
    ++w->modified;
  }
  return 1;
}

int WrxInsertString(HWND hwnd, const char* text, int fontId, int paraId, int repaint) {
  return InsertWrxText(hwnd, text, fontId, paraId, -1, -1, repaint);
}

int InsertWrxText(HWND hwnd, const char* text, int fontId, int paraId, int cellId, int frameId, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !text || !*text) return 0;
  const int32_t limit = w->arg.wordWrap ? (WRX_MAXLINELEN + 2) / 3 : WRX_MAXLINELEN - 2;
  int32_t n = 0, crs = 0, markers = 0;
  uint32_t flags = 0;
  for (; n < limit && text[n]; ++n) {
    const uint8_t c = uint8_t(text[n]);
    if (c == 13) ++crs;
    if (c == w->paraEnd || c == w->cellEnd || c == WRX_LINEBREAK) ++markers;
    if (c == w->cellEnd) flags |= LF_FOOTNOTE;  // 16
    if (c == WRX_ROWEND) flags |= LF_KEEP;      // 32
  }
  const bool atNul = text[n] == 0;
  const uint8_t last = n > 0 ? uint8_t(text[n - 1]) : 0;
  const bool crlfAtEnd = n >= 2 && text[n - 2] == 13 && text[n - 1] == 10;
  const bool fast = atNul && crs + markers <= 1 &&
                    (crs + markers == 0 || (crs == 1 && crlfAtEnd) ||
                     (markers == 1 && (last == w->paraEnd || last == w->cellEnd || last == WRX_LINEBREAK)));
  const bool paraOk = paraId >= 0 && size_t(paraId) < w->paras.size();
  if (fast) {
    // A line array that cannot grow is a failure the caller must see.
    if (!ExpandLineArray(w, w->lineCount + 1)) return WrxErrorBox(w, 88, "InsertWrxText");
    const int32_t line = w->lineCount;
    if (!ShiftLines(w, line, 1, 'B')) return 0;
    int32_t length = n;
    std::string copy(text, size_t(n));
    if (crlfAtEnd) {
      copy.resize(size_t(n - 2));
      if (w->arg.wordWrap) copy.push_back(char(w->paraEnd));
      length = int32_t(copy.size());
    }
    WrxLine* l = w->lines[line];
    if (length > 0 && !LineAlloc(w, line, 0, length)) {
      ShiftLines(w, line, 1, 'D');
      return 0;
    }
    if (length > 0) memcpy(l->text, copy.data(), size_t(length));
    const int id = FontInUse(w, fontId) ? fontId : (FontInUse(w, w->inputFont) ? w->inputFont : 0);
    l->fontIds = MakeSharedIds(uint8_t(id));
    if (paraOk) l->para = paraId;
    if (cellId >= 0 && size_t(cellId) < w->cells.size()) l->cell = cellId;
    if (frameId >= 0 && size_t(frameId) < w->frames.size()) l->frame = frameId;
    SetLineFlagsFromText(w, line);
    l->flags |= flags;
  } else {
    WrxLine* lastLine = w->lines[w->lineCount - 1];
    const int32_t savedCell = lastLine->cell, savedFrame = lastLine->frame;
    const int32_t savedLine = w->curLine, savedRow = w->curRow, savedCol = w->curCol, savedFont = w->inputFont;
    if (cellId >= 0 && size_t(cellId) < w->cells.size()) lastLine->cell = cellId;
    if (frameId >= 0 && size_t(frameId) < w->frames.size()) lastLine->frame = frameId;
    const int id = FontInUse(w, fontId) ? fontId : (FontInUse(w, w->inputFont) ? w->inputFont : 0);
    w->curLine = w->lineCount - 1;
    w->curCol = lastLine->length;
    const int ok = AppendText(w, text, id, paraOk ? paraId : lastLine->para);
    lastLine = w->lines[w->lineCount - 1];
    lastLine->cell = savedCell;
    lastLine->frame = savedFrame;
    w->curLine = savedLine, w->curRow = savedRow, w->curCol = savedCol, w->inputFont = savedFont;
    if (!ok) return 0;
  }
  if (repaint) {
    w->linesPerWindow =
        std::max<int32_t>(1, (w->textRect.bottom - w->textRect.top) / std::max<int32_t>(1, w->fonts[0].lineHeight));
    PaintWrx(w);
  }
  return 1;
}

int SelectWrxText(HWND hwnd, long line1, int col1, long line2, int col2, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  int32_t l1 = int32_t(line1), c1 = col1, l2 = int32_t(line2), c2 = col2;
  if (c1 < 0) AbsToRowCol(w, line1, &l1, &c1);
  if (c2 < 0) AbsToRowCol(w, line2, &l2, &c2);
  w->hilight = 2;
  w->hlFirstLine = l1, w->hlFirstCol = c1, w->hlLastLine = l2, w->hlLastCol = c2;
  w->selecting = 0;
  Repaint(w, repaint);
  return 1;
}

int DeselectWrxText(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  w->hilight = 0;
  Repaint(w, repaint);
  return 1;
}

int SetWrxCursorPos(HWND hwnd, long line, int col, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  int32_t l = int32_t(std::clamp<long>(line, INT32_MIN, INT32_MAX)), c = col;
  if (col < 0) AbsToRowCol(w, line, &l, &c);
  if (l >= w->lineCount) {
    l = w->lineCount - 1;
    c = std::max(0, w->lines[l]->length - (w->arg.wordWrap ? 1 : 0));
  } else if (l < 0) {
    l = 0, c = 0;
  }
  c = std::clamp(c, 0, w->lines[l]->length);
  if (l - w->firstLine < 0 || l - w->firstLine >= w->linesPerWindow)
    w->firstLine = std::max(0, l - w->linesPerWindow / 2);
  w->curLine = l;
  w->curCol = c;
  w->curRow = l - w->firstLine;
  if (repaint) {
    PaintWrx(w);
    PostMessageA(hwnd, kDeferredUpdate, 0, 0);
  }
  return 1;
}

int GetWrxCursorPos(HWND hwnd, long* line, int* col) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !line || !col) return 0;
  if (*col == -1) {
    *line = RowColToAbs(w, w->curLine, w->curCol);
  } else {
    *line = w->curLine;
    *col = w->curCol;
  }
  return 1;
}

int WrxPosToLineCol(HWND hwnd, long position, long* line, int* col) {
  WrxWindow* w = GetWrxWindow(hwnd);
  int32_t l = 0, c = 0;
  if (w) AbsToRowCol(w, position, &l, &c);
  if (line) *line = l;
  if (col) *col = c;
  return w ? 1 : 0;
}

int GetWrxFieldAt(HWND hwnd, WrxFieldRec* f, long lineArg) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !f) return 0;
  const int32_t line = lineArg < 0 || lineArg >= w->lineCount ? w->curLine : int32_t(lineArg);
  if (w->hilight == 0) w->hlFirstLine = w->hlFirstCol = w->hlLastLine = w->hlLastCol = 0;
  if (w->hilight == 1) w->hlFirstCol = w->hlLastCol = 0;
  memset(f, 0, sizeof *f);
  f->size = kFieldSize;
  f->cursorColumn = w->curCol;
  f->paintOn = w->paintOn;
  f->rewrapState = w->arg.wordWrap ? w->rewrapState : 0;
  f->cursorRow = w->curLine - w->firstLine;
  f->firstLine = w->firstLine;
  f->cursorLine = w->curLine;
  f->backColor = w->backColor;
  f->statusBackColor = w->statusBack;
  f->statusTextColor = w->statusText;
  f->highlightKind = w->hilight;
  f->highlightFirstColumn = w->hlFirstCol, f->highlightLastColumn = w->hlLastCol;
  f->highlightFirstLine = w->hlFirstLine, f->highlightLastLine = w->hlLastLine;
  f->selecting = w->selecting;
  const WrxLine* l = w->lines[line];
  const int32_t length = std::min(l->length, kMaxSetLength);
  if (length > 0) memcpy(f->text, l->text, size_t(length));
  for (int32_t i = 0; i < length; ++i) f->fontIds[i] = uint8_t(GetCharFont(w, line, i));
  const uint8_t fill = LastUsableId(w, l, line);
  for (int32_t i = length; i < int32_t(sizeof f->fontIds); ++i) f->fontIds[i] = fill;
  f->paragraphId = l->para;
  f->lineLength = length;
  f->reclaimIds = w->reclaimIds;
  f->protectedMarked = w->protectedMarked;
  f->linkByDoubleClick = w->linkDoubleClick;
  f->caretOnProtected = w->caretOnProtected;
  f->linkStyleMask = w->linkStyleMask;
  f->linkColor = w->linkColor;
  f->rulerSnap = w->rulerSnap;
  f->htmlEditing = w->htmlEditing;
  f->cellGridLines = w->gridLines;
  f->window = w->hwnd;
  f->dc = w->dc;
  f->textRect = w->textRect;
  f->innerTextRect = w->textRect;
  if (w->arg.border) {
    const int dx = MulDiv(75, w->resX, 1440), dy = MulDiv(75, w->resY, 1440);
    InflateRect(&f->innerTextRect, -dx, -dy);
  }
  f->lineCount = w->lineCount;
  f->limitWord = 200;
  f->paragraphCount = int32_t(w->paras.size());
  f->fontCount = w->fontCount;
  f->styleCount = int32_t(w->styles.size());
  f->charsPerLine =
      std::max<int32_t>(1, (w->textRect.right - w->textRect.left) / std::max<int32_t>(1, w->avgCharWidth) - 1);
  f->linesPerWindow = w->linesPerWindow;
  f->horizontalOffset = w->hOffset;
  f->modified = w->modified;
  f->wordWrap = w->arg.wordWrap;
  if (l->para >= 0 && size_t(l->para) < w->paras.size()) {
    const auto& p = w->paras[size_t(l->para)];
    f->leftIndent = p.leftIndent, f->rightIndent = p.rightIndent, f->firstIndent = p.firstIndent;
    f->paragraphFlags = p.flags;
    f->tabId = p.tabId;
    f->paragraphWord10 = p.shading;
    f->spaceBefore = p.spaceBefore, f->spaceAfter = p.spaceAfter, f->lineSpacing = p.lineSpacing;
    f->paragraphStyleId = p.styleId;
    f->paragraphWord15 = p.numbering;
  }
  f->cellId = l->cell;
  f->frameId = l->frame;
  f->section = GetLineSection(w, line);
  const auto& s = w->sections[size_t(f->section)];
  f->sectionMargins[0] = int32_t(lround(s.leftMargin * 1440.0));
  f->sectionMargins[1] = int32_t(lround(s.rightMargin * 1440.0));
  f->sectionMargins[2] = int32_t(lround(s.topMargin * 1440.0));
  f->sectionMargins[3] = int32_t(lround(s.bottomMargin * 1440.0));
  f->sectionColumns = s.columns;
  f->currentPage = 1;
  f->pageCount = 1;
  f->printView = w->arg.printView, f->pageMode = w->arg.pageMode, f->pageViewOption = w->arg.pageViewOption;
  f->breakLinesShown = w->breakLinesShown;
  f->hiddenTextShown = w->hiddenShown;
  f->controlId = -1;
  return 1;
}

int GetWrxField(HWND hwnd, WrxFieldRec* f) { return GetWrxFieldAt(hwnd, f, -1); }

int SetWrxField(HWND hwnd, const WrxFieldRec* f) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !f) return 0;
  if (f->size != kFieldSize) return WrxErrorBox(w, 130, "SetWrxField");
  bool whole = false;
  w->paintScope = 1;  // cursor only
  w->curCol = f->cursorColumn;
  w->curLine = f->cursorLine;
  w->firstLine = f->firstLine;
  const int32_t clampedLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  whole |= clampedLine != w->curLine;
  w->curLine = clampedLine;
  int32_t first = std::clamp(w->firstLine, std::max(0, w->curLine - w->linesPerWindow + 1), w->curLine);
  whole |= first != w->firstLine;
  w->firstLine = first;
  const int32_t row = w->curLine - w->firstLine;
  whole |= row != f->cursorRow;
  w->curRow = row;
  if (w->curCol < 0) w->curCol = 0, whole = true;
  if (f->backColor != w->backColor || f->statusBackColor != w->statusBack || f->statusTextColor != w->statusText)
    whole = true;
  if (f->backColor != w->backColor) {
    const COLORREF oldBack = w->backColor, newBack = f->backColor;
    for (int id = 0; id < w->fontCount; ++id) {
      WrxFont& ft = w->fonts[id];
      if (!ft.inUse) continue;
      if (ft.backColor == oldBack) ft.backColor = newBack;
      if (ft.textColor == newBack) ft.textColor = oldBack;
    }
    w->backColor = newBack;
    if (w->hwnd) InvalidateRect(w->hwnd, nullptr, TRUE);
  }
  w->statusBack = f->statusBackColor & 0xFFFFFF;
  w->statusText = f->statusTextColor & 0xFFFFFF;
  w->linkColor = f->linkColor;
  w->rulerSnap = f->rulerSnap;
  w->htmlEditing = f->htmlEditing;
  if (f->cellGridLines != w->gridLines) whole = true;
  w->gridLines = f->cellGridLines;
  w->caretOnProtected = f->caretOnProtected;
  w->hilight = f->highlightKind;
  w->hlFirstCol = f->highlightFirstColumn, w->hlLastCol = f->highlightLastColumn;
  w->hlFirstLine = f->highlightFirstLine, w->hlLastLine = f->highlightLastLine;
  w->selecting = f->selecting;
  w->linkStyleMask = f->linkStyleMask;
  w->linkDoubleClick = f->linkByDoubleClick;
  w->protectedMarked = f->protectedMarked;
  if (f->lineOperation >= 1 && f->lineOperation <= 3) {
    int32_t line = w->curLine;
    bool ready = true;
    if (f->lineOperation > 1) {
      if (!ExpandLineArray(w, w->lineCount + 1) || !ShiftLines(w, line, 1, f->lineOperation == 2 ? 'B' : 'A'))
        ready = false;
      else if (f->lineOperation == 3)
        ++line;
    }
    if (ready) {
      const int32_t length = std::clamp(f->lineLength, 0, kMaxSetLength);
      uint8_t ids[kMaxSetLength];
      for (int32_t i = 0; i < length; ++i) ids[i] = FontInUse(w, f->fontIds[i]) ? f->fontIds[i] : 0;
      WrxLine* l = w->lines[line];
      if (!OpenFontCodes(w, line) || !LineAlloc(w, line, l->length, length)) {
        CompactFontCodes(w, line);
      } else {
        if (length > 0) memcpy(l->text, f->text, size_t(length));
        memcpy(IdArray(l), ids, size_t(length));
        CompactFontCodes(w, line);
        SetLineFlagsFromText(w, line);
      }
      // An id equal to the count would name a paragraph past the table.
      if (f->paragraphId >= 0 && size_t(f->paragraphId) < w->paras.size()) l->para = f->paragraphId;
      whole = true;
    }
  }
  w->rewrapState = f->rewrapState;
  w->reclaimIds = f->reclaimIds;
  if (f->paintOn && !w->paintOn) whole = true;
  w->paintOn = f->paintOn;
  if (whole) w->paintScope = 0;
  PaintWrx(w);
  return 1;
}

int GetWrxLine(HWND hwnd, long line, char* text, int textSize, unsigned char* ids, int idsSize) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || line < 0 || line >= w->lineCount) return -1;
  const WrxLine* l = w->lines[line];
  if (text && textSize > 0) {
    const int n = std::min(l->length, textSize - 1);
    if (n > 0) memcpy(text, l->text, size_t(n));
    text[n] = 0;
  }
  if (ids && idsSize > 0) {
    const int n = std::min(l->length, idsSize);
    for (int i = 0; i < n; ++i) ids[i] = uint8_t(GetCharFont(w, int32_t(line), i));
  }
  return l->length;
}

int SetWrxLine(HWND hwnd, long line, const char* text, const unsigned char* ids) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (line == w->lineCount) {
    if (!ExpandLineArray(w, w->lineCount + 1)) return WrxErrorBox(w, 88, "SetWrxLine");
    if (!ShiftLines(w, w->lineCount, 1, 'B')) return 0;
    ++w->modified;
  }
  if (line < 0 || line >= w->lineCount) return 1;
  const int32_t length = text ? int32_t(strnlen(text, kMaxSetLength)) : 0;
  return ReplaceLineText(w, int32_t(line), text, length, ids);
}

char* GetWrxSelText(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || w->hilight == 0) return nullptr;
  int32_t l1 = w->hlFirstLine, c1 = w->hlFirstCol, l2 = w->hlLastLine, c2 = w->hlLastCol;
  if (l1 > l2 || (l1 == l2 && c1 > c2)) std::swap(l1, l2), std::swap(c1, c2);
  if (l1 < 0 || l2 >= w->lineCount) return nullptr;
  if (w->hilight == 1) c1 = 0, c2 = w->lines[l2]->length;
  std::string out;
  for (int32_t line = l1; line <= l2; ++line) {
    const WrxLine* l = w->lines[line];
    const int32_t from = std::clamp(line == l1 ? c1 : 0, 0, l->length);
    const int32_t to = std::clamp(line == l2 ? c2 : l->length, from, l->length);
    if (to > from) out.append(l->text + from, size_t(to - from));
    if (w->arg.wordWrap) {
      if (to > from && to == l->length && uint8_t(l->text[to - 1]) == w->paraEnd) {
        out.pop_back();
        out += "\r\n";
      }
    } else if (line < l2 || to == l->length) {
      out += "\r\n";
    }
  }
  char* result = static_cast<char*>(sAlloc(long(out.size()) + 1));
  if (!result) return nullptr;
  memcpy(result, out.data(), out.size());
  result[out.size()] = 0;
  w->paintScope = 0;
  PaintWrx(w);
  return result;
}

char* GetWrxWordAt(HWND hwnd, DWORD point) {
  static char word[256];
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return nullptr;
  word[0] = 0;
  const int x = int(short(LOWORD(point))) - w->textRect.left + w->hOffset;
  const int y = int(short(HIWORD(point))) + w->vScrollPos;
  // The line under the point, measured as the lines are drawn.
  const int32_t line = YToLine(w, x, y);
  if (y >= CalcLineY(w, line) + GetLineHeight(w, line)) return nullptr;  // below the text
  const WrxLine* l = w->lines[line];
  if (l->length == 0) return nullptr;
  const int32_t col = XToColumn(w, x, line);
  auto wordChar = [](char c) { return IsCharAlphaNumericA(c) || c == '<' || c == '>'; };
  int32_t begin = col;
  while (begin > 0 && wordChar(l->text[begin - 1])) --begin;
  int32_t end = col;
  while (end < l->length && wordChar(l->text[end])) ++end;
  if (begin >= l->length - 1) return nullptr;
  const int32_t n = std::min<int32_t>(end - begin, int32_t(sizeof word) - 1);
  if (n <= 0) return nullptr;
  memcpy(word, l->text + begin, size_t(n));
  word[n] = 0;
  return word;
}
