// The per-window block of the rich-text control and the routines inside the
// control that take it first. Not for hosts: they use wrx.h.
#pragma once

#include "wrx/wrx.h"
#include "wrx/wrx_dib.h"
#include "wrx/wrx_format.h"
#include "wrx/wrx_sectionmodel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Control and marker codes stored in line text.
enum : uint8_t {
  WRX_PARAEND = 21,
  WRX_CELLEND = 19,
  WRX_LINEBREAK = 15,
  WRX_PAGEBREAK = 12,
  WRX_COLBREAK = 22,
  WRX_SECTBREAK = 20,
  WRX_ROWEND = 18,
  WRX_HEADERDELIM = 17,
  WRX_FOOTERDELIM = 16,
  WRX_LINEMARK = 14,
  WRX_TAB = 9,
};

// Line flags.
enum : uint32_t {
  LF_PARAEND = 1,
  LF_MARKER = 2,
  LF_PARAFIRST = 4,
  LF_PICTREGION = 8,
  LF_FOOTNOTE = 16,
  LF_KEEP = 32,
  LF_MARKED = 64,
  LF_LINEBREAK = 128,
  LF_NUMBERED = 0x100,
  LF_ARENATEXT = 0x80000000,  // the text lives in a block shared with other lines, not its own heap block
};

// Paragraph flag word.
enum : int32_t {
  PF_CENTRED = 0x0001,
  PF_RIGHT = 0x0002,
  PF_DOUBLESPACE = 0x0004,
  PF_BULLET = 0x0008,
  PF_BORDERTOP = 0x0010,
  PF_BORDERBOTTOM = 0x0020,
  PF_BORDERLEFT = 0x0040,
  PF_BORDERRIGHT = 0x0080,
  PF_BORDERSIDES = 0x00F0,
  PF_BORDERDOUBLE = 0x0100,
  PF_BORDERTHICK = 0x0200,
  PF_LEFT = 0x0400,
  PF_JUSTIFIED = 0x0800,
  PF_HEADER = 0x1000,
  PF_FOOTER = 0x2000,
  PF_KEEP = 0x4000,
  PF_KEEPNEXT = 0x8000,
};
// Paragraph placement word: the paragraph is not broken into lines.
constexpr int32_t PP_UNWRAPPED = 4;

// The first-line indent that applies (twips): a bulleted paragraph hangs its
// bullet, so a negative indent does not move its text.
inline int32_t EffectiveFirstIndent(const wrxfmt::WrxParaRecord& p) {
  return (p.flags & PF_BULLET) && p.firstIndent < 0 ? 0 : p.firstIndent;
}

// Line information flags.
enum : uint32_t {
  LI_TABS = 1,
  LI_SECTBREAK = 2,
  LI_PAGEBREAK = 4,
  LI_COLBREAK = 8,
  LI_CELLEND = 16,
  LI_ROWEND = 32,
  LI_JUSTIFIED = 128,
  LI_HEADER = 0x100,
  LI_FOOTER = 0x200,
  LI_FRAMEGAP = 0x400,  // the line jumps over a frame (printer metrics)
  LI_BLOCKED = 0x800,   // a frame left no room: an empty line as high as blockHeight
  LI_AUTONUMBER = 0x1000,
};

struct WrxLineInfo {
  uint32_t flags;
  int32_t tabCount;
  int32_t tabWidths[20];
  int32_t section;
  int32_t justifyRemainder, justifyExtra, justifySpaces, justifySpacesBeforeTab;
  int32_t charFlagCount;
  uint8_t* charFlags;
  // Around frames: the character before which x jumps over the frame and by
  // how much (screen pixels); the height of a blocked line (device pixels).
  int32_t gapColumn, gapWidth;
  int32_t blockHeight;
};

// A block of many wrapped lines' texts, released with its last line.
struct WrxTextArena {
  int32_t lines;
};

struct WrxLine {
  // A block of its own of length + 2 bytes, or with LF_ARENATEXT `length`
  // bytes in a shared block, unterminated; null when empty.
  char* text;
  uintptr_t fontIds;  // array pointer, or 0xFFFF in the low half and the shared id in the third byte
  int32_t length;
  WrxLineInfo* info;
  int32_t para;
  int32_t height;           // formatting-device pixels (0 = not measured)
  int32_t pageY, pageWord;  // y on its page (device pixels), set by the page layout
  int32_t cell;
  int32_t frame;
  uint32_t flags;
  WrxTextArena* arena;  // with LF_ARENATEXT: the wrap arena, or null for the load arena
  // Set by word wrap on the first line of what it wrapped together: a digest
  // of those lines and of everything their wrap depended on, so that a
  // rewrap that would leave them as they are can pass them by. 0 = none.
  uint64_t wrapStamp;
};

inline bool IsSharedIds(const WrxLine* l) { return (l->fontIds & 0xFFFF) == 0xFFFF; }
inline uint8_t SharedId(const WrxLine* l) { return uint8_t(l->fontIds >> 16); }
inline uintptr_t MakeSharedIds(uint8_t id) { return 0xFFFF | (uintptr_t(id) << 16); }
inline uint8_t* IdArray(const WrxLine* l) { return reinterpret_cast<uint8_t*>(l->fontIds); }

// Picture payload of a font entry whose style has the picture bit.
// A picture's device bitmap, deleted with the picture.
struct WrxGdiBitmap {
  HBITMAP handle = nullptr;
  WrxGdiBitmap() = default;
  WrxGdiBitmap(const WrxGdiBitmap&) = delete;
  WrxGdiBitmap& operator=(const WrxGdiBitmap&) = delete;
  ~WrxGdiBitmap() { Reset(nullptr); }
  void Reset(HBITMAP h) {
    if (handle) DeleteObject(handle);
    handle = h;
  }
};

struct WrxPictData {
  std::string linkName;
  int32_t height = 0, width = 0;
  int32_t wordA = 0, wordB = 0, objectType = 0, alignMode = 0;
  std::vector<uint8_t> image, info, object;
  int32_t screenX = 0, screenY = 0;  // the last drawing, relative to the text area
  HWND control = nullptr;            // an embedded control's window
  // Made from the DIB for the display (wrx_picture_win32.cpp).
  WrxGdiBitmap bitmap;
  uint32_t colours = 0;  // 0 for true colour
  std::vector<wrxdib::PaletteEntry> palette;
};

// One undo step: its kind, the range's absolute positions (end inclusive),
// its group, and for a deletion the characters, font ids and line paragraphs.
// The ids are kept as runs: a large block of few fonts takes little memory.
struct WrxIdRun {
  uint32_t count;
  uint8_t id;
};
// A deleted block's characters may stay where the loaded document holds them
// (lines the deletion freed), instead of being copied.
struct WrxUndoPiece {
  const char* lent;  // null: the next `length` bytes of the step's `text`
  uint32_t length;
};
struct WrxUndoRecord {
  char kind = 0;
  long start = 0, end = 0;
  int32_t group = 0;
  std::string text;
  std::vector<WrxUndoPiece> pieces;  // empty when `text` holds every character
  std::vector<WrxIdRun> ids;         // one id per character
  std::vector<int32_t> paras;
};

struct WrxFont {
  HFONT font;
  int32_t cacheIndex;  // -1 = private font
  char face[32];
  int32_t pointSize;
  COLORREF textColor, backColor;
  int32_t attribute, styleItem;
  int32_t pictAlign;
  WrxPictData* pict;
  int32_t lineHeight, baseLine, boxAllowance;
  DWORD style;
  int32_t inUse;
  int32_t* widths;  // 256 screen widths
  int32_t kind;
  int32_t extra;
  int32_t flags;
  int32_t extLeading;
};

#pragma pack(push, 1)
// One area of the page view (header, column, cell, paragraph frame, drawing
// object or filler). Positions are printer units while the layout runs and
// screen pixels after it; the page view's frames are the current page and
// its neighbour.
struct WrxTextFrame {
  int32_t noText;  // 1: holds no lines
  int32_t firstLine, lastLine;
  int32_t pageX;    // x offset of the frame's page in the view
  int32_t originY;  // y origin of the frame's page in the view
  int32_t x, y;
  int32_t screenX, screenY;
  int32_t width, height;
  int32_t laidHeight;
  int32_t screenWidth, screenHeight;
  int32_t rowBase;  // entry of the first line in the screen-line table
  int32_t section;
  int32_t borderSides;      // 1 top, 2 bottom, 4 left, 8 right
  int32_t borderWidths[4];  // twips: top, bottom, left, right
  int32_t endsAtBreak;
  int32_t row, cell;
  int32_t spaceAbove, spaceBelow, spaceLeft, spaceRight;
  int32_t cellFlags;
  int32_t paraFrame;  // paragraph frame or drawing object (0 none)
  int32_t flags;      // 1 last column of its section, 8 line or rectangle object, 16 unfilled
  uint32_t background;
};
static_assert(sizeof(WrxTextFrame) == 128);
#pragma pack(pop)

// Per screen row: top (document pixels), height and x offset (the frame's
// left plus indents and alignment). A page-view frame's rows start at its
// rowBase.
constexpr int WRX_SCREENROWS = 2000;
struct ScreenLineTable {
  int32_t top[WRX_SCREENROWS];
  int32_t height[WRX_SCREENROWS];
  int32_t x[WRX_SCREENROWS];
};

// One segment drawn while picture slots are active (over a background picture
// or beside embedded control windows): an unchanged segment is not drawn
// again, and a changed one gets back the pixels it covered.
struct PictSlot {
  int32_t inUse;
  std::string chars;
  int32_t count;
  int32_t x, y;
  RECT rect;
  COLORREF text, back;
  int32_t fontId;
  uint32_t boxFlags;
  int32_t para;
  int32_t inlineGap;
  uint32_t generation;
  HBITMAP saved;  // the screen under the rectangle, when drawn transparently
};
constexpr int WRX_MAXPICTSLOTS = 100;

// What the run drawing last set on the window DC, so that each is set only
// when it changes.
struct WrxRunState {
  int32_t x;
  int32_t fontId;
  HFONT selected;
  COLORREF text, back;
  int32_t bkMode;
  int32_t kind;  // colour kind the colours were set for
  bool valid;
  int32_t para;
  int32_t shading;  // hundredths of a percent
  bool cellShaded;  // the row's table cell is shaded: its background is cellShade
  COLORREF cellShade;
  uint32_t boxFlags;
  int32_t boxLeft, boxRight;
  int32_t spaceBefore, spaceAfter;
  int32_t baseLine;  // the row's base line below its top
  int32_t bulletPending, bulletX;
  int32_t transparent;
  int32_t opaqueRight;  // the last run's background reaches this x (0: its own width)
  int32_t opaqueDone;   // and was drawn so
  bool dcKnown;         // text, back, bkMode and selected are what the DC holds
};

constexpr int WRX_MAXFONTS = 253;
constexpr int WRX_MAXLINELEN = 2046;
constexpr int WRX_LINEPOOL = 150;

struct WrxWindow {
  WrxArgList arg;  // the creation record, kept under the same names

  // Window and device.
  HWND hwnd;
  HDC dc;
  HFONT statusFont, rulerFont;
  int32_t statusHeight, rulerHeight;
  int32_t charHeight, extLeading, avgCharWidth;
  int32_t resX, resY;
  HPEN dotPens[2];
  HCURSOR busyCursor;
  HACCEL accel;

  // View.
  int32_t firstLine, curLine, curCol, curRow, linesPerWindow, hOffset;
  RECT textRect, winRect;
  int32_t paintOn;
  int32_t paintScope;
  int32_t rewrapState;
  int32_t wrapLevel;
  int32_t currentPage;            // 0 until pages are laid out
  int32_t preview;                // print preview is showing
  float paperWidth, paperHeight;  // inches
  int32_t backgroundPicture,
      backgroundMode;  // font id of the picture (0 none); 1 stretched       // pending wrap: 1 the cursor line only, 2 from the line before it, 3 the range
  int32_t rememberedX;
  int32_t zoom;

  // Text.
  WrxLine** lines;
  int32_t lineCount, lineCapacity;
  WrxLine* pool[WRX_LINEPOOL];
  int32_t poolCount;
  // Line records come from slabs, released with the window; records beyond
  // the pool wait in `spares`.
  std::vector<WrxLine*> slabs;
  std::vector<WrxLine*> spares;
  WrxLine* slabNext;
  int32_t slabLeft;
  // The bytes of a loaded document, which its lines' texts point into;
  // released when the whole document goes.
  std::vector<char*> textArenas;
  // The width word wrap last wrapped at: it stamps the lines it stores only
  // when the width repeats, so that resizing does not pay for stamps.
  int32_t wrapWidth;
  uint8_t paraEnd, cellEnd;
  uint8_t markers[7];
  int32_t maxLineLength;
  int32_t staleLine;
  int32_t sectionsStale;
  int32_t wrapInput;

  // Fonts.
  WrxFont* fonts;
  int32_t fontCapacity, fontCount, reservedFont, inputFont;
  int32_t matching;  // new requests may match existing entries
  int32_t reclaimIds;

  // Formatting tables owned by later layers, carried as records.
  std::vector<wrxfmt::WrxParaRecord> paras;
  int32_t paraCapacity;   // grows by half when full
  int32_t paraNoShare;    // the next FindOrAddPara adds without searching
  int32_t paraExhausted;  // error 109 was reported
  int32_t searchFlags;    // 1 highlight, 16 match case, 32 whole word
  std::string searchText;
  char searchDirection;
  std::vector<WrxUndoRecord> undo;
  int32_t undoGroup, undoBusy;
  std::vector<wrxfmt::WrxTabRecord> tabs;
  std::vector<wrxfmt::WrxSectionRecord> sections;
  std::vector<wrxsect::WrxSectionPage> sectionPages;  // beside each section
  int32_t pageBreakMark;                              // -1 when a section's lines moved since pages were laid out
  std::vector<wrxfmt::WrxRowRecord> rows;
  std::vector<wrxfmt::WrxCellRecord> cells;
  std::vector<wrxfmt::WrxFrameRecord> frames;
  std::vector<wrxfmt::WrxStyleRecord> styles;

  // Selection.
  int32_t hilight, hlFirstLine, hlFirstCol, hlLastLine, hlLastCol, selecting;

  // Colours and options.
  COLORREF backColor, statusBack, statusText, linkColor;
  int32_t linkStyleMask, linkDoubleClick, protectedMarked, caretOnProtected, gridLines, rulerSnap, htmlEditing;
  int32_t defTabWidth;
  int32_t hiddenShown, footnoteShown, breakLinesShown;
  int32_t hdrFtrShown, hdrFtrEdit;
  int32_t protection;    // style 0x200 protects text
  int32_t trackPointer;  // cursor shape and link clicks without the focus
  int32_t caretShown, caretCreate, caretHeight;
  int32_t helpMode;
  int32_t translating, refused;  // accelerator translation in progress, its command refused
  UINT lastMsg;
  int32_t lastCommand;
  int32_t pointerReleased;
  int32_t anchorLine, anchorCol;  // where a mouse selection started
  int32_t controlId;              // the embedded form control that sent the last command
  UINT_PTR paginationTimer;

  // Pages and the page view. The page table holds the first line of each
  // page (the complement of the break line after a hard break) and, behind
  // the last page, the line count.
  std::vector<int32_t> pageTable;
  int32_t pageCount;  // 0 until pages are laid out
  int32_t pageTableCapacity;
  WrxTextFrame* textFrames;  // global memory
  int32_t standInFrames;     // the frames are the stand-in layout's, made again on each full paint
  int32_t textFrameCount, textFrameCapacity;
  ScreenLineTable screenLines;
  int32_t vScrollPos;        // page mode: document pixels above the window
  int32_t cursorOffset;      // page mode: the cursor line's top in the window
  int32_t prnResX, prnResY;  // the formatting device (the screen without a printer)

  // Word-wrap work buffers, sized from the screen.
  HGLOBAL wrapBuf[2];
  void* wrapPtr[2];
  int32_t wrapBufSize, wrapLineLimit;

  // Editing and host binding.
  int32_t modified, firstModifyNotified;
  int32_t editStyle;
  int32_t styleEditPara;                 // the edited item is a paragraph style
  wrxfmt::WrxStyleRecord styleSnapshot;  // the edited item as it was when the edit began
  WrxNotifyProc notify;
  WrxNotifyProc notify2;
  int32_t foreign;
  uint8_t accelEnabled[200];
  HGLOBAL outBuf;
  void* outPtr;
  HGLOBAL rtfBuf;  // the document as RTF (RtfWrite mode 1), apart from the output buffer
  long rtfSize;
  DWORD flags;  // window flag word
  int32_t creating, open, closing;
  int32_t hostReadOnly;  // the creation record's read-only word

  // Painting (wrx_paint.cpp, wrx_draw.cpp).
  std::vector<PictSlot> pictSlots;
  int32_t slotsActive;
  uint32_t paintGeneration;
  int32_t offScreen;       // drawing into a bitmap: no slots, controls as outlines
  int32_t deferredWrap;    // a paint skipped its rewrap because a character waited
  int32_t paintByCommand;  // the paint was asked for by a command, so it rewraps
  int32_t thumbV, thumbH;  // scroll-bar thumbs last set (percent)
  int32_t textWidth, textHeight, screenColumns;
  int32_t rulerPending, fontsStale;
  int32_t lastPaintLine, lastPaintCol, lastPaintPage, lastPaintY;
  int32_t motion;     // 1 and 4 forward, 2 and 3 backward, 0 none
  int32_t rowsDrawn;  // rows drawn by the last paint pass
  long paintPasses;
  long linesWrapped;  // source lines the word wrap consumed (all passes)
  HRGN clipRgn;
  int32_t overlapEdges;
  WrxRunState run;
  HPEN rulePen;

  // Keys and the mouse (wrx_keys.cpp).
  int32_t insertMode;
  int32_t mouseLine, mouseCol, mouseX, mouseY;
  char mouseEdge;  // ' ' inside, 'L', 'R', 'T', 'B' outside the text area
  long anchorPos;
  int32_t anchorPage, anchorValid;
  int32_t pageOverlap;
  int32_t tallLineOffset, tallLine;
  int32_t pictureSelected;
  int32_t caretOnFootnote;
  int32_t dragStarted;
  int32_t pressX, pressY;

  // File.
  int32_t plainText;
  int32_t crlf;
  wrxfmt::WrxFileInfo fileInfo;
};

// Memory layer (wrx_memory.cpp).
void* OurAlloc(long size);
void* OurRealloc(void* p, long size);
void OurFree(void* p);
void* sAlloc(long size);
void* sReAlloc(void* p, long size);
int AllocLinePtr(WrxWindow* w, int32_t line);
int FreeLinePtr(WrxWindow* w, int32_t line);
int AllocLineInfo(WrxWindow* w, int32_t line);
int AllocLineCharInfo(WrxWindow* w, int32_t line);
int FreeLineInfo(WrxWindow* w, int32_t line);
void FarMove(const void* src, void* dest, long count);
void FarMemSet(void* p, int byte, long count);
long RoundToMultiple(long value, long step);
void SwapInts(int32_t* a, int32_t* b);
int RangeHasParaEnd(WrxWindow* w, int32_t line1, int32_t col1, int32_t line2, int32_t col2);
int WrxErrorBox(WrxWindow* w, int code, const char* routine);
// While held, error reports are kept (the first few, in order) instead of
// shown: a message box runs a message loop, and a paint from it would read a
// line array that is not whole. Releasing gives the kept ones in order.
void HoldErrorReports();
void ReleaseErrorReports();
// How many reports are held, and forgetting those after the first `keep`
// (of an attempt that a second one made good).
int HeldErrorReports();
void DropHeldErrorReports(int keep);
int WrxAsk(WrxWindow* w, int code, const char* title, UINT type);
void WrxFatalError(const char* message);
const char* WrxErrorText(int code);
extern DWORD g_wrxSharedFlags;

// Window bookkeeping (wrx_init.cpp).
WrxWindow* GetWrxWindow(HWND hwnd);
int InitWrx(HWND hwnd, const CREATESTRUCTA* cs);
int InitSection(WrxWindow* w, int section);
void ResetWrxDocument(WrxWindow* w);
void TearDownWrx(WrxWindow* w, bool destroying);
void NotifyHost(WrxWindow* w, UINT code, WPARAM wp, LPARAM lp);
void PaintWrx(WrxWindow* w);
extern int g_wrxWindowCount;
constexpr int WRX_SLOTS = 200;
struct WrxSlot {
  int32_t inUse;
  HWND hwnd;
  WrxWindow* block;
};
extern WrxSlot g_wrxSlots[WRX_SLOTS];
extern int g_wrxSlotsUsed;

// Line store (wrx_lines.cpp).
int ExpandLineArray(WrxWindow* w, int32_t needed);
int ExpandTable(long recordSize, void** table, int32_t* capacity, int32_t newCapacity, int32_t maximum);
int InsertDeleteLines(WrxWindow* w, int32_t line, int32_t count);
int ShiftLines(WrxWindow* w, int32_t line, int32_t count, char mode);
int InitLine(WrxWindow* w, int32_t line);
int FreeLine(WrxWindow* w, int32_t line);
int LineAlloc(WrxWindow* w, int32_t line, int32_t oldLength, int32_t newLength);
int AdjustFontCodes(WrxWindow* w, int32_t line, int32_t col, int32_t count, char mode);
long RowColToAbs(WrxWindow* w, int32_t line, int32_t col);
void AbsToRowCol(WrxWindow* w, long pos, int32_t* line, int32_t* col);
int PutLineEnd(WrxWindow* w, int index, char* text, uint8_t* fonts);
int IsHiddenStyle(WrxWindow* w, DWORD style);
int InsertMarkerLine(WrxWindow* w, int32_t line, uint8_t marker, int fontId, int32_t para, uint32_t infoFlags,
                     int32_t cell);
int SetAutoNumberText(WrxWindow* w, int32_t line, int number);
int IsNumberedParaKind(WrxWindow* w, int32_t para);
bool IsMarkerChar(const WrxWindow* w, uint8_t c);
int AppendLine(WrxWindow* w, const char* text, int32_t length);
int AppendLoadedLine(WrxWindow* w, const char* text, int32_t length);
void ReleaseTextArenas(WrxWindow* w);
// Frees a line's text or gives up its share of an arena; the line is left
// without text.
void ReleaseLineText(WrxLine* l);
void FreeAllLines(WrxWindow* w);
void SetLineFlagsFromText(WrxWindow* w, int32_t line);

// Font table (wrx_fonts.cpp).
uint8_t* OpenFontCodes(WrxWindow* w, int32_t line);
void CloseFontCodes(WrxWindow* w, int32_t line);
void CompactFontCodes(WrxWindow* w, int32_t line);
int ExpandFontCodes(WrxWindow* w, int32_t line);
int GetCharFont(WrxWindow* w, int32_t line, int32_t col);
int AddFontEntry(WrxWindow* w);
int ExpandFontTable(WrxWindow* w, int32_t count);
int FindOrAddFont(WrxWindow* w, HDC dc, int hint, const char* face, int size, DWORD style, COLORREF text, COLORREF back,
                  int kind, int extra, int attribute, int styleItem);
int CreateOneFont(WrxWindow* w, HDC dc, int id, int forScreen);
int MeasureCharWidths(WrxWindow* w, HDC dc, int id, int forScreen);
void InitFontEntry(WrxWindow* w, int id);
void FreeFontEntry(WrxWindow* w, int id);
void ReleaseFontHandle(WrxWindow* w, int id);
int GetFontCache(const LOGFONTA* lf);
void PurgeFontCache();
void ReleaseFontCache();
int FontCacheUseCount(int index);
int FontCacheEntries();
int GetCurrentFont(WrxWindow* w);
int RecreateFonts(WrxWindow* w, HDC dc);

// Commands (wrx_commands.cpp).
void WrxPostCommand(WrxWindow* w, UINT msg, WPARAM wp);
LRESULT WrxCommand(WrxWindow* w, WPARAM wp);

void WrxMenuUpdate(WrxWindow* w, HMENU menu);

// Window procedure, caret, notifications (wrx_proc.cpp).
LRESULT WrxWndProc(WrxWindow* w, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
int WrxAccelFilter(WrxWindow* w, UINT msg, WPARAM wp, LPARAM lp, HACCEL table);
LRESULT NotifyWrxParent(WrxWindow* w, UINT msg, WPARAM wp, LPARAM lp, int disable);
LRESULT WrxLinkClicked(WrxWindow* w, int activation);
int IsLinkFont(const WrxWindow* w, int id);
void ShowWrxCaret(WrxWindow* w);
void HideWrxCaret(WrxWindow* w);
int CreateWrxCaret(WrxWindow* w, int32_t line, int32_t col);
BOOL WrxShowHelp(HWND hwnd, UINT command, ULONG_PTR data);

// Painting (wrx_paint.cpp).
int WrxOnPaint(WrxWindow* w);
int SetWrxGeometry(WrxWindow* w);
int SetScrollBarPos(WrxWindow* w);
int SetCaretToCursor(WrxWindow* w);
int PaintBreakOff(WrxWindow* w);
int SetTextClipRgn(WrxWindow* w);
int ClearClipRgn(WrxWindow* w);
int EraseWrxClient(WrxWindow* w);
int SkipHiddenAtCursor(WrxWindow* w);
int ClearPictSlots(WrxWindow* w, int repaintBackground);
int FreePictSlot(WrxWindow* w, int index, int restore);
int RecordPictSlot(WrxWindow* w, int32_t x, int32_t y, const RECT* rect, int32_t count, const char* chars);
int PaintWrxBackground(WrxWindow* w, HDC dc);
int DrawBackgroundPicture(WrxWindow* w, HDC dc, int32_t x, int32_t y);
int WrxButtonDown(WrxWindow* w, UINT msg, WPARAM wp, LPARAM lp);
void DBWinPrintf(const char* format, ...);

// Drawing rows (wrx_draw.cpp).
int BuildScreenLines(WrxWindow* w, int32_t line);
int DrawScreenRows(WrxWindow* w, int32_t firstRow, int32_t lastRow);
int DrawTextSegment(WrxWindow* w, HDC dc, int32_t x, int32_t y, const RECT* rect, const char* chars, int32_t count);
int SetRunColours(WrxWindow* w, HDC dc, int kind, int fontId);
int DrawBreakLabel(WrxWindow* w, const char* label, int32_t x, int32_t y, int32_t width, HPEN pen);
int DrawParaBox(WrxWindow* w, HDC dc, const RECT* rect, int outer);
int DrawPicture(WrxWindow* w, HDC dc, int fontId, int32_t x, int32_t y, int32_t count);
int32_t PictureWidth(WrxWindow* w, int fontId);
int32_t PictureHeight(WrxWindow* w, int fontId);
void ResetRunState(WrxWindow* w);
constexpr int WRX_MAXPICTREPEAT = 79;

// Keys and cursor motion (wrx_keys.cpp). Each returns 1 when done.
int WrxKeyCommand(WrxWindow* w, int command, int fromKey);  // -1: not a motion command
void WrxBeep(WrxWindow* w);
int BeginShiftSelect(WrxWindow* w);
int CursorUp(WrxWindow* w);
int CursorDown(WrxWindow* w);
int CursorLeft(WrxWindow* w);
int CursorRight(WrxWindow* w);
int CtrlUp(WrxWindow* w);
int CtrlDown(WrxWindow* w);
int LineBegin(WrxWindow* w);
int LineEnd(WrxWindow* w);
int FileBegin(WrxWindow* w);
int FileEnd(WrxWindow* w);
int PageUp(WrxWindow* w, int fromKey);
int PageDown(WrxWindow* w, int fromKey);
int NextWord(WrxWindow* w);
int PrevWord(WrxWindow* w);
int PrevTabChar(WrxWindow* w);
int ScrollLineUp(WrxWindow* w);
int ScrollLineDown(WrxWindow* w);
int ScrollColLeft(WrxWindow* w);
int ScrollColRight(WrxWindow* w);
int HScrollLeft(WrxWindow* w, int page);
int HScrollRight(WrxWindow* w, int page);
int HScrollTo(WrxWindow* w, char mode, int position);
int JumpToLine(WrxWindow* w, int32_t line);
int ScrollCursorIntoViewX(WrxWindow* w);
int MouseToLineCol(WrxWindow* w, LPARAM position, int pageFlag);
int SetMouseCursor(WrxWindow* w, LPARAM position, int buttonUp);
int MouseDragSelect(WrxWindow* w, WPARAM keys, LPARAM position);
int SelectWord(WrxWindow* w);
int ToggleLineBlock(WrxWindow* w);
int AdjustBlockToCells(WrxWindow* w);
int SaveCursorAnchor(WrxWindow* w);
int RestoreCursorAnchor(WrxWindow* w, int command);
int JumpParam(WrxWindow* w, int32_t line);
int SectionParam(WrxWindow* w, int columns, int columnSpace, int newPage);
int WrxVScroll(WrxWindow* w, WPARAM wp);
int WrxHScroll(WrxWindow* w, WPARAM wp);
int EndShiftSelect(WrxWindow* w);
const char* FindChar(const char* text, int c);
char* StrUpperCase(char* text);
char* FormatDecimal(int decimals, char* buffer, size_t size, double value);

// Lines and pixels (wrx_geometry.cpp).
int32_t GetLineTextHeight(WrxWindow* w, int32_t line, int32_t* base, int32_t* leading);
int CalcParaSpacing(WrxWindow* w, int32_t line, int32_t height, int32_t* before, int32_t* after, int screen);
int GetLineParaSpacing(WrxWindow* w, int32_t line, int32_t height, int32_t* before, int32_t* after, int screen);
int32_t GetLineHeight(WrxWindow* w, int32_t line);
int32_t CalcLineY(WrxWindow* w, int32_t line);
int32_t GetLineTop(WrxWindow* w, int32_t line);
int32_t YToLine(WrxWindow* w, int32_t x, int32_t y);
int ScrollLineIntoView(WrxWindow* w, int32_t line);
int32_t GetLineTextWidth(WrxWindow* w, int32_t line);
int32_t GetLineWidth(WrxWindow* w, int32_t line, int32_t startX, int keepTrailing);
int ParaSpacingFor(WrxWindow* w, const wrxfmt::WrxParaRecord* p, uint32_t lineFlags, int32_t height, int32_t* before,
                   int32_t* after, int screen);
void SyncWindowOrigin(WrxWindow* w);
int32_t DeviceResX(const WrxWindow* w);
int32_t DeviceResY(const WrxWindow* w);

// Pages and the page view (wrx_pageview.cpp).
int SetPageTable(WrxWindow* w, const int32_t* firstLines, int32_t pages);
int32_t PageFirstLine(const WrxWindow* w, int32_t page);
int32_t PageLastLine(const WrxWindow* w, int32_t page);
int32_t PageOfLine(const WrxWindow* w, int32_t line);  // no side effect
int32_t GetLinePage(WrxWindow* w, int32_t line);
int32_t GetPageLineNumber(WrxWindow* w);
int InitFrameSlot(WrxWindow* w, int32_t index);
void FreeTextFrames(WrxWindow* w);
// Until pages are laid out, page mode shows the document as one page: a
// frame of the lines around the cursor. Frames set by other means are kept.
int LayOutStandInFrames(WrxWindow* w);
int32_t GetLineFrameId(WrxWindow* w, int32_t line);
int32_t GetScreenLineX(WrxWindow* w, int32_t line);
int32_t GetScreenLineEntry(WrxWindow* w, int32_t line);
bool IsHdrFtrLine(const WrxWindow* w, int32_t line);
int32_t FrameTop(const WrxTextFrame& f);      // in the view, screen pixels
int32_t FrameTextTop(const WrxTextFrame& f);  // below the space above its text
int32_t FrameLeft(const WrxTextFrame& f);
int32_t LineYInFrame(WrxWindow* w, int32_t frame, int32_t line);

// Sections and picture sizes (wrx_sections.cpp): a picture's line height,
// base line and character widths, in screen pixels.
int SetPictSize(WrxWindow* w, int id, int32_t height, int32_t width);
// Section ranges and header/footer groups from the lines; true when the page
// layout must be redone.
int RecalcSections(WrxWindow* w);
// `count` lines were inserted (negative: deleted) after line `from`.
void AdjustSectionLines(WrxWindow* w, int32_t from, int32_t count);
int FixHdrFtrPlacement(WrxWindow* w, int repaint);
int CreateHdrFtr(WrxWindow* w, int kind, int section);  // kind 256 header, 512 footer
int TogglePageMode(WrxWindow* w);
// A click on the ruler at client x: sets a stop of the cursor's paragraph
// (left button left, right button right; with Shift centre and decimal) or
// clears the stop under it.
int RulerClick(WrxWindow* w, UINT message, int x);
int TogglePageViewFlag(WrxWindow* w);
int ToggleHdrFtrView(WrxWindow* w);
int ToggleHdrFtrEdit(WrxWindow* w);

// Pictures and embedded controls (wrx_clipboard.cpp).
int NewPictureId(WrxWindow* w);
int SizePictureForScreen(WrxWindow* w, int id);
int PictureFromDib(WrxWindow* w, std::vector<uint8_t>&& info, std::vector<uint8_t>&& bits, int32_t widthPx,
                   int32_t heightPx, int alignment, int insert, const char* routine);
int CreatePictControl(WrxWindow* w, int id);
// A metafile's bits drawn into a picture of the given pixel size; 0 when the
// bits are no metafile.
int PictureFromMetafileBits(WrxWindow* w, const uint8_t* bits, size_t size, int32_t width, int32_t height,
                            int alignment);

// Search (wrx_search.cpp): modes 'E', 'F', 'B' from the cursor or the text's
// ends, 'R' and 'S' forward and backward within a range. Uses searchFlags (1
// highlight, 16 match case, 32 whole word); moves the cursor to the match.
int WrxSearch(WrxWindow* w, const char* text, char mode, int32_t l1, int32_t c1, int32_t l2, int32_t c2);
// Commands 634 and 635: the last string again, forward or backward.
int WrxSearchAgain(WrxWindow* w, bool forward);
// ^p ^t ^^ ^+ ^- ^m ^b as the characters they stand for.
int ExpandCaretCodes(WrxWindow* w, const char* text, char* output);

// Placing a picture or object character at the cursor (wrx_paginate.cpp).
int InsertObjectChar(WrxWindow* w, int fontId, int repaint);

// Paragraph records and tab records (wrx_para.cpp).
namespace wrxpara {
struct WrxTab;
}
int FindOrAddPara(WrxWindow* w, int32_t hint, const wrxfmt::WrxParaRecord& wanted);
int FindOrAddTab(WrxWindow* w, int32_t hint, const wrxpara::WrxTab& t);
// The lines of the paragraphs the highlight covers, or of the cursor's.
void GetParaLineRange(WrxWindow* w, int32_t* first, int32_t* last);

// Undo (wrx_undo.cpp). Kinds 'D' deleted (recorded before), 'I' inserted
// (with the final range), 'R' overtyped.
int SaveUndo(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2, char kind);
// SaveUndo of a 'D' step whose caller frees lines goneFirst..goneLast right
// after, before anything else changes: their loaded text is kept where it is.
int SaveDeleteUndo(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2, int32_t goneFirst, int32_t goneLast);
// Empties the undo store: formatting changes cannot be undone.
void ReleaseUndo(WrxWindow* w);
void DropOldestUndo(WrxWindow* w);
int Undo(WrxWindow* w);

// Text changes (wrx_edit.cpp, wrx_blockops.cpp, wrx_clipboard.cpp).
// Puts `count` characters into a line at `col` (ids null: all `fill`).
int InsertInLine(WrxWindow* w, int32_t line, int32_t col, const char* text, int32_t count, const uint8_t* ids,
                 uint8_t fill);
// Moves the part of `line` from `col` onto a new line after it.
int SplitLineAt(WrxWindow* w, int32_t line, int32_t col);
// Removes the characters from (l1, c1) up to (l2, c2), exclusive; a column
// past a line's end without word wrap takes its line end too.
int DeleteRange(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2);
// Inserts text at the cursor chunk by chunk (CR LF and, with word wrap, the
// paragraph end close a line); ids per character or null, paragraph ids per
// line or null. Records one 'I' step and leaves the cursor after the text.
int InsertTextAt(WrxWindow* w, const char* text, int32_t length, const uint8_t* ids, const std::vector<int32_t>* paras,
                 int noParaEnd);
int NormalizeBlock(WrxWindow* w);
// Commands 628 (cut) and 629 (copy); 630 pastes with format 0 (RTF, else
// text, else a picture), 1 forces text.
int CopyToClipboard(WrxWindow* w, int command);
int CopyFromClipboard(WrxWindow* w, UINT format);
int DeleteCharBlock(WrxWindow* w, int repaint);
int DeleteLineBlock(WrxWindow* w, int repaint);
int IsProtectedPos(WrxWindow* w, int32_t line, int32_t col);
int IsEditablePos(WrxWindow* w, int32_t line, int32_t col);
// Which font ids, read as GetCharFont reads them, carry any of a set of style
// bits: lets a block be checked a line at a time instead of a character at a
// time.
struct WrxStyleMask {
  bool any = false;
  bool hit[256] = {};
};
WrxStyleMask MakeStyleMask(WrxWindow* w, DWORD bits);
bool LineHasStyle(WrxWindow* w, const WrxStyleMask& mask, int32_t line, int32_t from, int32_t to);
// 1 when IsProtectedPos holds for any character of the range (l1, c1) up to,
// not including, (l2, c2).
int IsProtectedBlock(WrxWindow* w, int32_t l1, int32_t c1, int32_t l2, int32_t c2);
// Typing and editing keys; each returns 1 when done, 0 when refused.
int InsertChar(WrxWindow* w, uint8_t c);
int InsertReturn(WrxWindow* w, int shift);
int BackSpace(WrxWindow* w);
int DelChar(WrxWindow* w);
int WrxInsertTab(WrxWindow* w, int command);
int ToggleInsertMode(WrxWindow* w);
int WrxSplitLine(WrxWindow* w, int32_t indent);
int WrxJoinLine(WrxWindow* w);
int InsertLineBelow(WrxWindow* w);
int InsertLineAbove(WrxWindow* w);
int DeleteLine(WrxWindow* w);

// Breaks (wrx_breaks.cpp): each opens a marker line at the cursor line.
int InsertPageBreakAt(WrxWindow* w, int repaint);
int InsertColumnBreakAt(WrxWindow* w, int repaint);
int WrxSectBreakAt(WrxWindow* w, int repaint);
// Block checks and copies (wrx_blockops.cpp). CheckHdrFtrDelete returns 1
// when the block may not be deleted.
int ExpandBlockToFields(WrxWindow* w);
int CheckHdrFtrDelete(WrxWindow* w, int report);
int CopyLineBlock(WrxWindow* w, int move);
int CopyCharBlock(WrxWindow* w, int move);

// Tables (wrx_tables.cpp). Slots come back zeroed, -1 when none can be had.
// A free row or cell slot, or -1. With the sweep allowed, when the table is
// full the slots no line uses are taken back before it grows; readers that
// build records ahead of their lines do not allow it.
int32_t NewRowSlot(WrxWindow* w, int allowSweep);
int32_t NewCellSlot(WrxWindow* w, int allowSweep);
int TableInsert(WrxWindow* w, int rows, int columns, int repaint);
int WrxSplitCell(WrxWindow* w);
// A row copying the cursor's row above it, or the table's last row after it.
int InsertTableRow(WrxWindow* w, int above, int repaint);
int DeleteTableCells(WrxWindow* w, int scope);  // 1 the cursor's cell, 3 its row
int GoNextCell(WrxWindow* w);
int MeasureCellText(WrxWindow* w, int32_t cell, int32_t* minimum, int32_t* maximum);
int FitTableColumns(WrxWindow* w, int32_t available);
// Repairs rows and cells from the lines: missing cell and row ends are
// inserted, cells relinked in line order.
int CheckTableStructure(WrxWindow* w);

// The section that holds a line (wrx_api.cpp).
int GetLineSection(WrxWindow* w, int32_t line);

// Paragraph frames and line objects (wrx_frames.cpp).
int32_t FrameWordValue(const WrxWindow* w, int32_t frame, int word);  // 0-based word of a frame record
int GetParaFrameSlot(WrxWindow* w);
int GetLineObjectRect(WrxWindow* w, int32_t frame, int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2);
int SetLineObjectRect(WrxWindow* w, int32_t frame, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int MergeParaBorders(WrxWindow* w, int32_t line);
int WrapAroundFrames(WrxWindow* w, int32_t line, const RECT* rect, int32_t* gapStart, int32_t* gapWidth,
                     int32_t* blocking);
// The frame gap of a line at a page position, for the wrap (whose new line
// takes its ids from the parse buffer); rect in device pixels.
int FrameGapAt(WrxWindow* w, int32_t page, int32_t section, const RECT* rect, int32_t* gapStart, int32_t* gapWidth,
               int32_t* blocking);

// Page-number fields and footnotes (wrx_fields.cpp).
int InsertPageNumber(WrxWindow* w);

// Word wrap (wrx_wrap.cpp).
int WordWrap(WrxWindow* w, int32_t first, int32_t count);
int32_t JustifyExtra(WrxWindow* w, int32_t line, int32_t spaceIndex);
int32_t NextDefaultStop(WrxWindow* w, int32_t leftIndent, int32_t x);
// The next tab stop after x (pixels) of a paragraph with the given tab record;
// type 0 left, 1 right, 2 centre, 3 decimal.
int NextTabStop(WrxWindow* w, int32_t para, int32_t tabId, int32_t x, int32_t* position, int32_t* type, int screen);
int32_t DefaultTabWidth(WrxWindow* w, int32_t line, int32_t tabIndex, int32_t x);
int32_t LineStartX(WrxWindow* w, int32_t line);
// The room a centred or right-aligned line leaves before its text when its
// text may take `inner` pixels; 0 for other lines.
int32_t AlignmentRoomWithin(WrxWindow* w, int32_t line, int32_t inner);
int32_t GetColumnX(WrxWindow* w, int32_t column, int32_t line, int mode);
int32_t XToColumn(WrxWindow* w, int32_t x, int32_t line);
// The x of every column of a line as drawn, xs[0..count] (count at most the
// line's length); xs[k] is where character k's room starts.
int LineColumnXs(WrxWindow* w, int32_t line, int32_t* xs, int32_t count);
// Box room before a character (field text) and the frame gap, in pixels.
int32_t ColumnLeftBox(WrxWindow* w, int32_t line, int32_t column);

// The RTF reader (wrx_rtf_read.cpp): mode 0 and 1 replace the document, mode
// 2 inserts at the cursor. Returns 0 when the bytes are no RTF.
int RtfRead(WrxWindow* w, int mode, const uint8_t* data, size_t size);

// The RTF writer (wrx_rtf_write.cpp): mode 0 a file, 1 the window's RTF
// buffer, 2 the clipboard (opened by the caller), 4 bytes only; modes 2 and
// 4 write the highlighted block.
int RtfDocumentBytes(WrxWindow* w, int mode, std::string& out);
// The same bytes handed to `sink` a large piece at a time, never held whole;
// 0 when the sink refused them or memory ran out.
int RtfDocumentTo(WrxWindow* w, int mode, const std::function<bool(const char*, size_t)>& sink);
int RtfWrite(WrxWindow* w, int mode, const char* fileName);

// Loading and saving (wrx_file.cpp).
int WrxRead(WrxWindow* w, const char* fileName);
int WrxSave(WrxWindow* w, const char* fileName);
int AttachSectionData(WrxWindow* w);
long GetDocSaveSize(WrxWindow* w);

// Test seam: fail every allocation of the memory layer after `count` more
// succeed (-1 = never).
void WrxFailAllocationsAfter(long count);
void WrxSetLastError(int code, const char* routine);
