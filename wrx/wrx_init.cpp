// Creation of a control window: the class, the block with its defaults and
// tables, the device context and fonts, and the teardown that undoes it.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>
#include <new>

int g_wrxWindowCount = 0;
WrxSlot g_wrxSlots[WRX_SLOTS];
int g_wrxSlotsUsed = 0;

namespace {

HINSTANCE g_instance = nullptr;
bool g_classRegistered = false;
const char kClassName[] = "Wrx32Class";

bool IsOwnClass(HWND hwnd) {
  char name[19 + 1] = "";
  GetClassNameA(hwnd, name, 19);
  return lstrcmpiA(name, kClassName) == 0;
}

void BuildDefaultArgList(WrxArgList* a, HWND hwnd, const CREATESTRUCTA* cs) {
  memset(a, 0, sizeof *a);
  const DWORD style = cs->style;
  a->x = cs->x, a->y = cs->y, a->width = cs->cx, a->height = cs->cy;
  a->wordWrap = (style & WRX_WORDWRAP) != 0;
  a->printView = (style & WRX_PRINTVIEW) != 0;
  a->pageMode = (style & WRX_PAGEMODE) != 0;
  a->pageViewOption = (style & WRX_PAGEVIEW) != 0;
  a->statusLine = (style & WRX_STATUSLINE) != 0;
  a->menu = cs->hMenu && !(style & WS_CHILD);
  a->hScroll = (style & WRX_HSCROLL) != 0;
  a->vScroll = (style & WRX_VSCROLL) != 0;
  a->ruler = (style & WRX_RULER) != 0;
  a->toolbar = (style & WRX_TOOLBAR) != 0;
  a->border = (style & WRX_BORDER) != 0;
  a->readOnly = (style & WRX_READONLY) != 0;
  a->initialLine = 1;
  a->inputKind = 'B';
  if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
    strncpy(a->fileName, cs->lpszName, sizeof a->fileName - 1);
  }
  a->lineDelimiter = 13;
  a->saveType = (style & WRX_SAVERTF) ? 3 : 4;
  a->instance = cs->hInstance;
  a->parent = cs->hwndParent;
  a->window = hwnd;
  a->style = style;
  strcpy(a->typeface, "Arial");
  a->pointSize = 12;
}

void SetWrxDefaults(WrxWindow* w) {
  w->lineCount = 1;
  w->lineCapacity = 200;
  w->maxLineLength = WRX_MAXLINELEN;
  w->rememberedX = -1;
  w->paintScope = 0;
  w->paintOn = 1;
  w->rewrapState = 3;
  w->inputFont = -1;
  w->reservedFont = -1;
  w->matching = 1;
  w->reclaimIds = 1;
  w->fontCapacity = 25;
  w->defTabWidth = 720;
  w->editStyle = -1;
  w->backColor = 0xFFFFFF;
  w->statusBack = 0xAFAFAF;
  w->statusText = 0x080808;
  w->linkStyleMask = 0x100;
  w->linkColor = 0;
  w->linkDoubleClick = 1;
  w->protectedMarked = 1;
  w->caretOnProtected = 1;
  w->gridLines = 1;
  w->rulerSnap = 1;
  w->zoom = 100;
  w->paperWidth = 8.5f;
  w->paperHeight = 11.0f;
  w->paraEnd = WRX_PARAEND;
  w->cellEnd = WRX_CELLEND;
  const uint8_t markers[7] = {12, 20, 22, 18, 17, 16, 0};
  memcpy(w->markers, markers, sizeof markers);
  memset(w->accelEnabled, 1, sizeof w->accelEnabled);
  w->flags = g_wrxSharedFlags;
  w->staleLine = 0;
  w->insertMode = 1;
  w->anchorValid = 1;
  w->pageOverlap = 1;
  w->thumbV = w->thumbH = -1;
  w->tallLine = -1;
  w->mouseEdge = ' ';
  w->paintScope = 3;
  w->searchFlags = 16;
}

int AllocArrayMem(WrxWindow* w) {
  w->lines = static_cast<WrxLine**>(OurAlloc(long(w->lineCapacity + 1) * long(sizeof(WrxLine*))));
  if (!w->lines) return WrxErrorBox(w, 108, "AllocArrayMem");
  w->fonts = static_cast<WrxFont*>(OurAlloc(long(w->fontCapacity + 1) * long(sizeof(WrxFont))));
  if (!w->fonts) return WrxErrorBox(w, 108, "AllocArrayMem(a)");
  for (int i = 0; i <= w->fontCapacity; ++i) w->fonts[i].cacheIndex = -1;
  try {
    w->paras.reserve(200);
    w->paraCapacity = 200;
    w->tabs.reserve(300);
    w->sections.reserve(100);
    w->rows.reserve(100);
    w->cells.reserve(200);
    w->frames.reserve(50);
    w->styles.reserve(5);
  } catch (const std::bad_alloc&) {
    return WrxErrorBox(w, 108, "AllocArrayMem(a)");
  }
  // The page view's frames: room for many pages' worth when pages are laid out.
  const int32_t frames = (w->arg.printView || w->arg.pageMode) ? 1500 : 1;
  w->textFrames = static_cast<WrxTextFrame*>(OurAlloc(long(frames) * long(sizeof(WrxTextFrame))));
  if (!w->textFrames) return WrxErrorBox(w, 108, "AllocArrayMem(a)");
  w->textFrameCapacity = frames;
  return 1;
}

void BuildInitialContent(WrxWindow* w) {
  w->lineCount = 1;
  InitLine(w, 0);
  w->paras.assign(1, wrxfmt::WrxParaRecord{});
  w->paras[0].flags = 1024;
  w->sections.assign(1, wrxfmt::WrxSectionRecord{});
  InitSection(w, 0);
  w->tabs.assign(1, wrxfmt::WrxTabRecord{});
  w->rows.assign(1, wrxfmt::WrxRowRecord{});
  w->cells.assign(1, wrxfmt::WrxCellRecord{});
  w->frames.assign(1, wrxfmt::WrxFrameRecord{});
  w->frames[0].bytes[0] = 1;  // slot 0 is a reserved entry in use
  w->styles.assign(2, wrxfmt::WrxStyleRecord{});
  memset(&w->fileInfo, 0, sizeof w->fileInfo);
}

int InitWinProp(WrxWindow* w) {
  w->dc = GetDC(w->hwnd);
  if (!w->dc) return WrxErrorBox(w, 104, nullptr);
  w->resX = GetDeviceCaps(w->dc, LOGPIXELSX);
  w->resY = GetDeviceCaps(w->dc, LOGPIXELSY);
  // Without a printer the screen is the formatting device.
  w->prnResX = w->resX;
  w->prnResY = w->resY;
  for (int i = 0; i < w->fontCapacity; ++i) w->fonts[i].inUse = 0;
  w->fontCount = 1;
  InitFontEntry(w, 0);
  WrxFont& f = w->fonts[0];
  strncpy(f.face, w->arg.typeface, 31);
  f.inUse = 1;
  // The status line and ruler use the default face at 8 and 9 points.
  for (int pass = 0; pass < 2; ++pass) {
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(pass ? 9 : 8, w->resY, 72);
    lf.lfWeight = 400;
    lf.lfCharSet = ANSI_CHARSET;
    strncpy(lf.lfFaceName, w->arg.typeface, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) return WrxErrorBox(w, 42, "InitWinProp");
    (pass ? w->rulerFont : w->statusFont) = font;
    (pass ? w->rulerHeight : w->statusHeight) = -lf.lfHeight;
  }
  f.pointSize = w->arg.pointSize > 0 ? w->arg.pointSize : 12;
  if (!CreateOneFont(w, w->dc, 0, 1)) return WrxErrorBox(w, 42, "InitWinProp");
  if (!SelectObject(w->dc, f.font)) return WrxErrorBox(w, 43, "InitWinProp");
  TEXTMETRICA tm;
  if (!GetTextMetricsA(w->dc, &tm)) return WrxErrorBox(w, 75, "InitWinProp");
  w->charHeight = tm.tmHeight;
  w->extLeading = tm.tmExternalLeading;
  w->avgCharWidth = std::max<int32_t>(tm.tmAveCharWidth, 1);
  SetBkMode(w->dc, OPAQUE);
  w->busyCursor = LoadCursor(nullptr, IDC_WAIT);
  w->accel = LoadAcceleratorsA(g_instance, "WrxAccTable");
  w->dotPens[0] = CreatePen(PS_DOT, 0, 0);
  w->dotPens[1] = CreatePen(PS_DOT, 0, 0);
  if (!w->dotPens[0] || !w->dotPens[1]) return WrxErrorBox(w, 66, nullptr);
  if (w->arg.wordWrap && !w->arg.printView) w->arg.hScroll = 0;
  if (w->arg.hScroll) SetScrollRange(w->hwnd, SB_HORZ, 0, 100, FALSE);
  if (w->arg.vScroll) SetScrollRange(w->hwnd, SB_VERT, 0, 100, FALSE);
  SetWrxGeometry(w);
  RegisterClipboardFormatA("Rich Text Format");
  RegisterClipboardFormatA("Native");
  RegisterClipboardFormatA("OwnerLink");
  RegisterClipboardFormatA("ObjectLink");
  ValidateRect(w->hwnd, nullptr);
  return 1;
}

int AllocWrapBuf(WrxWindow* w) {
  const int rows = GetSystemMetrics(SM_CYSCREEN) / std::max<int32_t>(1, w->charHeight + w->extLeading);
  const int columns = GetSystemMetrics(SM_CXSCREEN) / std::max<int32_t>(1, w->avgCharWidth);
  w->wrapLineLimit = rows + 5;
  const long long product = (long long)(rows + 2) * (columns + 2);
  w->wrapBufSize = product < 0 || product > INT32_MAX ? 20000 : int32_t(product);
  for (int i = 0; i < 2; ++i) {
    w->wrapBuf[i] = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(w->wrapBufSize));
    w->wrapPtr[i] = w->wrapBuf[i] ? GlobalLock(w->wrapBuf[i]) : nullptr;
    if (!w->wrapPtr[i]) return WrxErrorBox(w, 108, i ? "AllocWrapBuf-A" : "AllocWrapBuf");
  }
  return 1;
}

// Releases what the block holds; the window itself is left to the caller.
void FreeBlock(WrxWindow* w) {
  if (w->paginationTimer && w->hwnd) KillTimer(w->hwnd, w->paginationTimer);
  if (w->lines) {
    for (int32_t i = 0; i < w->lineCount; ++i) FreeLine(w, i);
    ReleaseTextArenas(w);
    for (WrxLine* slab : w->slabs) free(slab);
    w->slabs.clear();
    w->poolCount = 0;
    OurFree(w->lines);
  }
  if (w->fonts) {
    for (int id = 0; id < w->fontCount; ++id) {
      FreeFontEntry(w, id);
      free(w->fonts[id].widths);
    }
    OurFree(w->fonts);
  }
  FreeTextFrames(w);
  for (PictSlot& s : w->pictSlots)
    if (s.saved) DeleteObject(s.saved);
  w->pictSlots.clear();
  if (w->clipRgn) DeleteObject(w->clipRgn);
  if (w->dc) {
    SelectObject(w->dc, GetStockObject(SYSTEM_FONT));
    ReleaseDC(w->hwnd, w->dc);
  }
  for (HGLOBAL h : w->wrapBuf)
    if (h) {
      GlobalUnlock(h);
      GlobalFree(h);
    }
  if (w->statusFont) DeleteObject(w->statusFont);
  if (w->rulerFont) DeleteObject(w->rulerFont);
  for (HPEN pen : w->dotPens)
    if (pen) DeleteObject(pen);
  if (w->rtfBuf) GlobalFree(w->rtfBuf);
  w->rtfBuf = nullptr;
  if (w->outBuf) {
    GlobalUnlock(w->outBuf);
    GlobalFree(w->outBuf);
  }
  if (w->arg.inputKind == 'B' && w->arg.bufferHandle) GlobalFree(w->arg.bufferHandle);
  w->~WrxWindow();
  OurFree(w);
}

void DetachBlock(WrxWindow* w) {
  if (w->foreign) {
    for (int i = 0; i < g_wrxSlotsUsed; ++i)
      if (g_wrxSlots[i].inUse && g_wrxSlots[i].block == w) g_wrxSlots[i] = WrxSlot{};
  } else if (w->hwnd && IsWindow(w->hwnd)) {
    SetWindowLongPtrA(w->hwnd, 0, 0);
  }
}

void LastWindowGone() {
  if (--g_wrxWindowCount <= 0) {
    g_wrxWindowCount = 0;
    ReleaseFontCache();
  }
}

}  // namespace

WrxWindow* GetWrxWindow(HWND hwnd) {
  WrxWindow* w = nullptr;
  if (hwnd && IsWindow(hwnd)) {
    if (IsOwnClass(hwnd)) {
      w = reinterpret_cast<WrxWindow*>(GetWindowLongPtrA(hwnd, 0));
    } else {
      for (int i = 0; i < g_wrxSlotsUsed && !w; ++i)
        if (g_wrxSlots[i].inUse && g_wrxSlots[i].hwnd == hwnd) w = g_wrxSlots[i].block;
    }
  }
  if (!w) WrxSetLastError(129, "");
  return w;
}

int InitSection(WrxWindow* w, int section) {
  wrxfmt::WrxSectionRecord& s = w->sections[size_t(section)];
  s = wrxfmt::WrxSectionRecord{};
  s.inUse = 1;
  s.leftMargin = s.rightMargin = 1.25f;
  s.topMargin = s.bottomMargin = 1.0f;
  s.columns = 1;
  s.columnSpace = 0.5f;
  s.firstLine = 0;
  s.lastLine = w->lineCount - 1;
  s.orientation = 1;
  return 1;
}

int InitWrx(HWND hwnd, const CREATESTRUCTA* cs) {
  ++g_wrxWindowCount;
  void* mem = OurAlloc(sizeof(WrxWindow));
  if (!mem) {
    LastWindowGone();
    return 0;
  }
  WrxWindow* w = new (mem) WrxWindow{};
  w->flags = g_wrxSharedFlags;
  if (IsOwnClass(hwnd)) {
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(w));
  } else {
    int slot = -1;
    for (int i = 0; i < g_wrxSlotsUsed && slot < 0; ++i)
      if (!g_wrxSlots[i].inUse) slot = i;
    if (slot < 0 && g_wrxSlotsUsed < WRX_SLOTS) slot = g_wrxSlotsUsed++;
    if (slot < 0) {
      WrxErrorBox(w, 117, "InitWrx");
      w->~WrxWindow();
      OurFree(w);
      LastWindowGone();
      return 0;
    }
    g_wrxSlots[slot] = WrxSlot{1, hwnd, w};
    w->foreign = 1;
  }
  WrxArgList* callerArgs = nullptr;
  if ((cs->style & WRX_ARGLIST) && cs->lpCreateParams) {
    callerArgs = static_cast<WrxArgList*>(cs->lpCreateParams);
    w->arg = *callerArgs;
  } else {
    BuildDefaultArgList(&w->arg, hwnd, cs);
  }
  WrxArgList& a = w->arg;
  if (!a.wordWrap) a.printView = a.pageMode = a.pageViewOption = 0;
  if (a.pageViewOption) a.pageMode = 1;
  if (a.pageMode) a.printView = 1;
  a.window = hwnd;
  if (a.inputKind != 'F') a.inputKind = 'B';
  a.fileName[sizeof a.fileName - 1] = 0;
  a.typeface[sizeof a.typeface - 1] = 0;
  w->hwnd = hwnd;
  w->hostReadOnly = a.readOnly;
  SetWrxDefaults(w);
  bool ok = AllocArrayMem(w);
  if (ok) {
    BuildInitialContent(w);
    w->creating = 1;
    ok = InitWinProp(w) && (!a.wordWrap || AllocWrapBuf(w));
    w->creating = 0;
  }
  ok = ok && WrxRead(w, a.inputKind == 'F' ? a.fileName : nullptr);
  if (!ok) {
    // Creation failed: give back everything allocated so far.
    DetachBlock(w);
    FreeBlock(w);
    LastWindowGone();
    return 0;
  }
  w->open = 1;
  a.open = 1;
  if (callerArgs) {
    callerArgs->window = hwnd;
    callerArgs->open = 1;
  }
  return 1;
}

void NotifyHost(WrxWindow* w, UINT code, WPARAM wp, LPARAM lp) {
  if (w->notify)
    w->notify(w->hwnd, code, wp, lp);
  else if (w->notify2)
    w->notify2(w->hwnd, code, wp, lp);
  else if (w->arg.parent)
    SendMessageA(w->arg.parent, code, wp, lp);
}

void ResetWrxDocument(WrxWindow* w) {
  ReleaseUndo(w);
  FreeAllLines(w);
  w->lineCount = 1;
  InitLine(w, 0);
  w->paras.assign(1, wrxfmt::WrxParaRecord{});
  w->paras[0].flags = 1024;
  w->rows.assign(1, wrxfmt::WrxRowRecord{});
  w->cells.assign(1, wrxfmt::WrxCellRecord{});
  w->frames.assign(1, wrxfmt::WrxFrameRecord{});
  w->frames[0].bytes[0] = 1;  // slot 0 is a reserved entry in use
  w->tabs.assign(1, wrxfmt::WrxTabRecord{});
  w->sections.assign(1, wrxfmt::WrxSectionRecord{});
  InitSection(w, 0);
  w->curLine = w->curCol = w->curRow = w->firstLine = 0;
  w->hilight = 0;
  w->selecting = 0;
  w->sectionsStale = 1;
  w->modified = 0;
  w->firstModifyNotified = 0;
  w->staleLine = 0;
  for (int id = 1; id < w->fontCount; ++id) FreeFontEntry(w, id);
  w->fontCount = 1;
  w->inputFont = -1;
}

void TearDownWrx(WrxWindow* w, bool destroying) {
  HWND hwnd = w->hwnd;
  HWND parent = w->arg.parent;
  if (w->caretShown) DestroyCaret();
  HCURSOR old = (w->flags & 0x200) ? nullptr : SetCursor(w->busyCursor);
  DetachBlock(w);
  FreeBlock(w);
  if (old) SetCursor(old);
  LastWindowGone();
  if (!destroying && hwnd && IsWindow(hwnd)) {
    if (parent) SetFocus(parent);
    DestroyWindow(hwnd);
  }
}

static LRESULT CALLBACK WrxClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) return InitWrx(hwnd, reinterpret_cast<CREATESTRUCTA*>(lp)) ? 0 : -1;
  WrxWindow* w = reinterpret_cast<WrxWindow*>(GetWindowLongPtrA(hwnd, 0));
  if (!w || w->creating || !w->open) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_CLOSE:
      if (w->arg.closeAllowed) CloseWrx(hwnd, 0);
      return 0;
    case WM_QUERYENDSESSION:
      // Only a question: the session may still be cancelled, so the window
      // stays until it really ends.
      return TRUE;
    case WM_ENDSESSION:
      if (wp) CloseWrx(hwnd, 0);
      return 0;
    case WM_DESTROY:
      // Destroying a window never writes its file: saving belongs to the
      // host's close path.
      TearDownWrx(w, true);
      return 0;
  }
  return WrxWndProc(w, hwnd, msg, wp, lp);
}

BOOL RegisterWrxClass(HINSTANCE instance) {
  if (g_classRegistered) return TRUE;  // a second start-up call finds it in place
  g_instance = instance;
  WNDCLASSA wc{};
  // Each window keeps its own device context for its life.
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_GLOBALCLASS;
  wc.lpfnWndProc = WrxClassProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  g_classRegistered = RegisterClassA(&wc) != 0;
  return g_classRegistered;
}

void UnloadWrx() {
  if (g_classRegistered) UnregisterClassA(kClassName, g_instance);
  g_classRegistered = false;
}

// A window of another class that carries a control forwards its creation
// and destruction here.
LRESULT WrxForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) return InitWrx(hwnd, reinterpret_cast<CREATESTRUCTA*>(lp)) ? 0 : -1;
  if (msg == WM_DESTROY) {
    for (int i = 0; i < g_wrxSlotsUsed; ++i)
      if (g_wrxSlots[i].inUse && g_wrxSlots[i].hwnd == hwnd) {
        TearDownWrx(g_wrxSlots[i].block, true);
        break;
      }
  }
  return 0;
}

HWND CreateWrxWindow(WrxArgList* args) {
  if (!args) return nullptr;
  DWORD style = args->style | WRX_ARGLIST;
  if (style & WS_CHILD) style |= WS_CLIPSIBLINGS;
  const char* title = args->fileName[0] ? args->fileName : "(UNNAMED)";
  HWND hwnd = CreateWindowExA(0, kClassName, title, style, args->x, args->y, args->width, args->height, args->parent,
                              nullptr, g_instance, args);
  if (!hwnd) return nullptr;
  if (style & WRX_HIDDEN) return hwnd;
  if (args->initialLine > 1) SetWrxCursorPos(hwnd, args->initialLine - 1, 0, 0);
  ShowWindow(hwnd, SW_SHOW);
  if (style & WS_CHILD) BringWindowToTop(hwnd);
  return hwnd;
}
