// Host interface of the rich-text control (window class "Wrx32Class").
// Every function takes the control's window handle first and returns 0 (or
// null) for a handle that is no control window, leaving error 129 as the
// last error. Lines and columns are 0-based.
#pragma once

#include <windows.h>

#include <cstdint>

// Layouts that hold pointers or handles are fixed for the i686 program; a
// 64-bit test build checks only the others.
#if defined(_WIN64)
#define WRX_ABI32_SIZE(type, bytes) static_assert(sizeof(type) > 0)
#else
#define WRX_ABI32_SIZE(type, bytes) static_assert(sizeof(type) == (bytes))
#endif
#pragma pack(push, 1)
// The creation record a host fills and passes to CreateWrxWindow.
struct WrxArgList {
  int32_t x, y, width, height;
  int32_t maxLines;  // 0 = unlimited
  int32_t wordWrap;
  int32_t printView;
  int32_t pageMode;
  int32_t pageViewOption;
  int32_t statusLine;
  int32_t menu;
  int32_t hScroll;
  int32_t vScroll;
  int32_t ruler;
  int32_t toolbar;
  int32_t closeAllowed;
  int32_t border;
  int32_t readOnly;
  int32_t initialLine;  // 1-based
  char inputKind;       // 'F' file, 'B' memory buffer
  char fileName[131];
  HGLOBAL bufferHandle;
  int32_t bufferSize;
  char lineDelimiter;  // 13 = lines end with CR LF
  char padding[3];
  int32_t saveType;  // 0 native, 1 text, 2 text with line breaks, 3 RTF, 4 as loaded
  HINSTANCE instance;
  HWND parent;
  HWND window;  // written back at creation
  DWORD style;
  char typeface[28];
  int32_t pointSize;
  int32_t open;  // written back as 1 once created
  int32_t modified;
};
WRX_ABI32_SIZE(WrxArgList, 280);

// The record through which a host reads and sets a window's state at a line.
struct WrxFieldRec {
  int32_t size;  // must hold 4416
  int32_t cursorColumn;
  int32_t paintOn;
  int32_t rewrapState;
  int32_t cursorRow;
  int32_t firstLine;
  int32_t cursorLine;
  COLORREF backColor;
  COLORREF statusBackColor;
  COLORREF statusTextColor;
  int32_t highlightKind;
  int32_t highlightFirstColumn, highlightLastColumn, highlightFirstLine, highlightLastLine;
  int32_t selecting;
  char text[2048];
  unsigned char fontIds[2048];
  int32_t paragraphId;
  int32_t lineLength;
  int32_t lineOperation;  // 0 none, 1 replace cursor line, 2 insert before, 3 insert after
  int32_t reclaimIds;
  int32_t protectedMarked;
  int32_t linkByDoubleClick;
  int32_t caretOnProtected;
  int32_t linkStyleMask;
  COLORREF linkColor;
  int32_t rulerSnap;
  int32_t htmlEditing;
  int32_t cellGridLines;
  HWND window;
  HDC dc;
  RECT textRect;
  RECT innerTextRect;
  int32_t lineCount;
  int32_t pointerLine;
  int32_t limitWord;
  int32_t paragraphCount, fontCount, styleCount;
  int32_t charsPerLine;
  int32_t linesPerWindow;
  int32_t horizontalOffset;
  int32_t pointerColumn;
  int32_t modified;
  int32_t wordWrap;
  int32_t leftIndent, rightIndent, firstIndent;
  int32_t paragraphFlags;
  int32_t tabId;
  int32_t cellId;
  int32_t paragraphWord10;
  int32_t frameId;
  int32_t spaceBefore, spaceAfter, lineSpacing;
  int32_t paragraphStyleId;
  int32_t paragraphWord15;
  int32_t section;
  int32_t sectionMargins[4];  // left, right, top, bottom (twips)
  int32_t sectionColumns;
  int32_t currentPage, pageCount;
  int32_t pointerX, pointerY;
  int32_t printView, pageMode, pageViewOption;
  int32_t breakLinesShown;
  int32_t hiddenTextShown;
  int32_t controlId;
  int32_t frameFlags;
};
WRX_ABI32_SIZE(WrxFieldRec, 4416);

// The hyperlink record passed by address with notification 2726.
struct WrxLinkRec {
  HWND window;
  char code[2050];     // the hidden text right before the link text
  char text[2050];     // the link text
  int32_t activation;  // 1 left click or double click, 0 right-button release
};
WRX_ABI32_SIZE(WrxLinkRec, 4108);
#pragma pack(pop)

// Control style bits (low word of the window style).
enum : DWORD {
  WRX_WORDWRAP = 0x0001,
  WRX_PRINTVIEW = 0x0002,
  WRX_HSCROLL = 0x0004,
  WRX_VSCROLL = 0x0008,
  WRX_STATUSLINE = 0x0010,
  WRX_RULER = 0x0020,
  WRX_BORDER = 0x0040,
  WRX_SAVERTF = 0x0080,
  WRX_ARGLIST = 0x0100,
  WRX_READONLY = 0x0200,
  WRX_PAGEMODE = 0x0400,
  WRX_TOOLBAR = 0x0800,
  WRX_HIDDEN = 0x1000,
  WRX_PAGEVIEW = 0x2000,
};

// Window flag word bits.
enum : DWORD {
  WRXF_SILENT = 0x0004,  // errors go to the last-error record, no message box
};

// Notifications sent to the host.
enum : UINT {
  WRXN_CLOSING = 2724,
  WRXN_FIRSTMODIFY = 2725,
  WRXN_LINK = 2726,
  WRXN_SAVEDECLINED = 2728,
};

typedef LRESULT(CALLBACK* WrxNotifyProc)(HWND, UINT, WPARAM, LPARAM);

BOOL RegisterWrxClass(HINSTANCE instance);
void UnloadWrx();

HWND CreateWrxWindow(WrxArgList* args);
// A window of another class that carries a control passes its WM_CREATE and
// WM_DESTROY here (the creation parameter may be a WrxArgList when its style
// has WRX_ARGLIST).
LRESULT WrxForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
int CloseWrx(HWND hwnd, int save);
// Menu states of command 600-741 for a host's menu: MF_GRAYED or MF_ENABLED,
// MF_CHECKED or 0.
UINT WrxMenuEnable(HWND hwnd, int command);
UINT WrxMenuCheck(HWND hwnd, int command);
WrxNotifyProc GetWrxMsgCallback(HWND hwnd);
int SetWrxNotifyProc(HWND hwnd, WrxNotifyProc proc);
int SetWrxDefTabWidth(HWND hwnd, int twips, int repaint);
int WrxAllocOutBuf(HWND hwnd, long size);
void* WrxGetOutBuf(HWND hwnd);
int SetWrxBuffer(HWND hwnd, HGLOBAL buffer, long size, const char* title, int keep);
int ReadWrxFile(HWND hwnd, const char* fileName);
// Rewraps the whole document (word-wrap windows); does not repaint.
int WrxRewrap(HWND hwnd);
// Makes `line` the cursor line at column 0: the first screen line with keep,
// else in the middle of the window.
int WrxGoToLine(HWND hwnd, long line, int keep);
// Inserts a footnote at the cursor: the mark, the note's own mark and its
// text (`style` gives the mark's other style bits, e.g. 16 superscript).
int FootnoteParam(HWND hwnd, const char* marker, const char* text, DWORD style, int repaint);
// Sets the background picture: a picture id of the window, 0 for none (-1
// asks for a file); mode 1 stretches it over the window.
int SetWrxBackground(HWND hwnd, int pictureId, int mode, int repaint);
int SetWrxMargins(HWND hwnd, int left, int right, int top, int bottom, int repaint);
int SetWrxPaintFlag(HWND hwnd, int on);
// Lays the window out again and repaints it (with erase: the whole client
// area is first filled with the background).
int WrxRefreshWindow(HWND hwnd, int erase);
// Installs a host's key table (null keeps the window's own) and lets the
// window track the pointer without the focus.
int WrxSetHostData(HWND hwnd, HACCEL table);
int GetWrxReadOnly(HWND hwnd);
int SetWrxModify(HWND hwnd, int flag);
int WrxInsertString(HWND hwnd, const char* text, int fontId, int paraId, int repaint);
int InsertWrxText(HWND hwnd, const char* text, int fontId, int paraId, int cellId, int frameId, int repaint);
int SelectWrxText(HWND hwnd, long line1, int col1, long line2, int col2, int repaint);
int DeselectWrxText(HWND hwnd, int repaint);
int SetWrxCursorPos(HWND hwnd, long line, int col, int repaint);
int GetWrxCursorPos(HWND hwnd, long* line, int* col);
int GetWrxField(HWND hwnd, WrxFieldRec* field);
int GetWrxFieldAt(HWND hwnd, WrxFieldRec* field, long line);
int SetWrxField(HWND hwnd, const WrxFieldRec* field);
// Copies a line: text NUL-terminated into textSize bytes, font ids (no
// terminator) into idsSize bytes; either buffer may be null. Returns the
// line's length (a longer line is cut to fit), -1 for a line out of range.
int GetWrxLine(HWND hwnd, long line, char* text, int textSize, unsigned char* ids, int idsSize);
int SetWrxLine(HWND hwnd, long line, const char* text, const unsigned char* ids);
// Inserts RTF (size < 0: up to its NUL) at a line and column; the cursor ends
// after the inserted text.
int InsertWrxRtf(HWND hwnd, const char* buffer, long size, long line, int col, int repaint);
int GetWrxFontInfo(HWND hwnd, int fontId, char* face, int* size, DWORD* style);
int GetWrxFontColors(HWND hwnd, int fontId, COLORREF* text, COLORREF* back);
int WrxPosToLineCol(HWND hwnd, long position, long* line, int* col);
// The highlighted text as a new string; free it with WrxMemFree.
char* GetWrxSelText(HWND hwnd);
// The word under a client point (x low word, y high word), in a shared buffer.
char* GetWrxWordAt(HWND hwnd, DWORD point);
int WrxMemFree(void* block);

// Paragraph records. With id >= 0 exactly that record is written (records
// between the old count and it are cleared); with id < 0 an equal record is
// found (share set) or a new one added. Returns the paragraph id, -1 for a
// bad window or an id at or beyond the table's capacity.
int SetWrxParaFmt(HWND hwnd, int id, int share, int left, int right, int first, int tabId, int styleId, int further,
                  int shading, int placement, int before, int after, int lineSpacing, int flags);

// Formatting of the selected paragraphs (word-wrap windows; 0 otherwise).
int SetWrxParaFlags(HWND hwnd, int bits, int on, int repaint);
int WrxLeftIndent(HWND hwnd, int increase, int repaint);
int WrxRightIndent(HWND hwnd, int increase, int repaint);
int WrxHangingIndent(HWND hwnd, int increase, int repaint);
// Adds signed twips to the left, right and first-line indents.
int SetWrxParaIndent(HWND hwnd, int left, int right, int first, int repaint);
int WrxNormalPara(HWND hwnd, int repaint);
int WrxParaBullet(HWND hwnd, int on, int repaint);
int SetParaShading(HWND hwnd, int value, int repaint);  // hundredths of a percent
int SetParaSpacing(HWND hwnd, int before, int after, int lineSpacing, int repaint);
// Border bits to set and to clear and a shading percentage ("" keeps it).
int ParaBoxParam(HWND hwnd, int setBits, int clearBits, const char* shadingPercent);
// Zoom in percent (25-200); returns the zoom before.
int ZoomParam(HWND hwnd, int percent);
// Tab stops of the selected paragraphs: kind 0 left, 1 right, 2 centre, 3
// decimal; leader 0 none, 1 dots, 2 hyphens, 4 underline.
int WrxSetTab(HWND hwnd, int kind, int position, int repaint);
int SetTabParam(HWND hwnd, int kind, int position, int leader, int repaint);
int WrxClearTab(HWND hwnd, int position, int repaint);
int ClearParaFlags(HWND hwnd, int repaint);  // the paragraphs keep no stops of their own

// The style sheet. EditStyleParam starts editing an item (by name; a new one
// with isNew, kind 1 character or 2 paragraph; an existing name edits that
// item) and, called again, ends the edit and re-applies the item to the text
// that uses it. Returns the item's id, -1 when nothing was started or ended.
int EditStyleParam(HWND hwnd, int start, const char* name, int isNew, int kind, int repaint);
// Puts the highlighted text (or the next typed text) under a character style,
// or the selected paragraphs under a paragraph style: 1, 0 for an id of
// another kind or not in use, -1 for a bad window or no id.
int SelectStyleParam(HWND hwnd, int styleId, int repaint);
int WrxSelectParaStyle(HWND hwnd, int styleId, int repaint);

// The section of a page's first line (0 for a bad page or without word wrap).
int WrxGetPageSection(HWND hwnd, int page);
// From (*line, *col) on, forward or backward, the first character whose style
// has (wantSet) or lacks any bit of `mask`; pictures are skipped unless the
// mask has 128. Found: the position is stored and 1 returned.
int WrxFindStyledChar(HWND hwnd, DWORD mask, int wantSet, long* line, int* col, int forward);

// Pictures and embedded controls: each is a font id whose style has bit 128.
// WrxPastePicture takes a clipboard format (CF_METAFILEPICT, CF_DIB,
// CF_BITMAP) and handle, or with neither the best picture on the clipboard;
// alignment 1 centres the picture on the base line, 2 puts its base line at
// the text height. Returns the picture id, 0 on failure.
int WrxPastePicture(HWND hwnd, UINT format, HANDLE handle, int frameId, int alignment, int insert);
// get 1 copies the linked file name into `name` (MAX_PATH bytes; "" when
// none); get 0 replaces it (empty or null removes it).
int WrxPictLinkFile(HWND hwnd, int id, int get, char* name);
// Flag (style) word, the rectangle of the last drawing (relative to the text
// area), alignment and auxiliary value of a font or picture id; any output may
// be null.
int GetWrxPictInfo(HWND hwnd, int id, DWORD* flags, RECT* rect, int* alignment, int* aux);
int SetWrxPictInfo(HWND hwnd, int id, DWORD flags, int alignment, int aux);
// Pixel sizes; a negative side is kept.
int SetWrxPictSize(HWND hwnd, int id, int width, int height);
// The picture at the cursor: width and height in hundredths of an inch (10 to
// 1500; negative keeps the side) and alignment 0-2 (negative keeps it). 0
// when the cursor character is no picture or a value is out of range.
int EditPictureParam(HWND hwnd, int width, int height, int alignment);
// A BMP or placeable WMF file (null name: asks). Returns the id, -1 when
// cancelled or the file is no picture.
int WrxInsertPictureFile(HWND hwnd, const char* fileName, int noLink, int alignment, int insert);
int WrxPictureFromFile(HWND hwnd, const char* fileName, int alignment, int insert);
int WrxMetafileFromFile(HWND hwnd, const char* fileName, int alignment, int insert);
// A child window of `className` embedded as a picture character (sizes in
// twips); the control id becomes the picture's auxiliary value. Returns the
// picture id, 0 on failure.
int WrxInsertControl(HWND hwnd, const char* className, DWORD style, int width, int height, int alignment, int controlId,
                     int insert);
// The window of an embedded control's picture id, null for none.
HWND GetWrxControlWindow(HWND hwnd, int id);

// Copies the highlight (without one, the whole text) to the clipboard as
// text and RTF.
int SelectAllCopy(HWND hwnd);
int WrxCanCopy(HWND hwnd);  // 1 when copying is possible
int WrxDeleteBlock(HWND hwnd);
// Breaks at the cursor (refused in a table cell or a header or footer);
// 100 sections at most.
int InsertPageBreak(HWND hwnd, int repaint);
int InsertColumnBreak(HWND hwnd, int repaint);
int WrxSectBreak(HWND hwnd, int repaint);
// Tables: a table of rows x columns at the cursor (rows < 0: 3 x 2);
// deleting the cursor's cell (scope 1) or row (3); the table width of a
// cell's row (twips, 0 = the window's); automatic column widths.
int TableParam(HWND hwnd, int rows, int columns, int repaint);
int DeleteCellsParam(HWND hwnd, int scope, int repaint);
// A row above the cursor's row (above != 0) or after the table's last row.
int WrxInsertRow(HWND hwnd, int above, int repaint);
int WrxSetTableWidth(HWND hwnd, int cell, int twips);
int WrxFitTableColumns(HWND hwnd);
// Merges the highlighted cells of one row into its last one; a column of
// cells before each selected cell, or after the cursor row's last cell (in
// every row of the column with whole columns).
int WrxMergeCells(HWND hwnd);
int WrxInsertColumn(HWND hwnd, int fromSelection, int wholeColumns, int repaint);
// Row and cell formats of the highlight's (or cursor's) rows and cells; scope
// 1 cells, 2 columns, 3 rows, 4 the table; a negative border width keeps it.
int RowHeightParam(HWND hwnd, int height, int wholeTable, int repaint);
int RowPositionParam(HWND hwnd, int alignment, int wholeTable, int repaint);
int CellBorderParam(HWND hwnd, int scope, int top, int bottom, int left, int right, int repaint);
int CellShadingParam(HWND hwnd, int scope, int shading, int repaint);
// Appends a cell record after `cell` (the last of its row), or with newRow a
// row after the cell's row (the table's last; cell 0 starts a table); the
// new cell, 0 when refused.
int WrxAddTableCell(HWND hwnd, int newRow, int cell, int alignment, int x, int minHeight, int width, int shading,
                    int left, int right, int top, int bottom, int rowSpan, int columnSpan, int flags);

// Inserts one picture or object character at the cursor; 0 for an id that is
// no picture.
int WrxInsertObjectId(HWND hwnd, int fontId, int repaint);
// Lays the document out again (pages in print view); repaints on request.
int WrxRepaginate(HWND hwnd, int repaint);

// Search: direction 'E' from the top, 'F' forward or 'B' backward from the
// cursor; flags 16 match case, 32 whole word. "String Not Found" when not.
int SearchParam(HWND hwnd, const char* text, char direction, int flags);
// Replaces every match in the text (or in the highlighted block), asking
// "Replace This String?" before each with confirm. Protected text is never
// replaced; a replacement that would make a line too long is skipped and
// reported. Returns the count; the replacements undo as one step.
int ReplaceParam(HWND hwnd, const char* find, const char* with, int confirm, int inBlock);

// Text by absolute character position. flags 8: copy the characters from
// `start` through *position into `text`, the count to *length; 4: replace
// *length characters at `start` with `replace`; 2: find `text` from `start`
// (16 matches case), the match's position to *position; the cursor stays at
// the match only with 1.
int WrxFindText(HWND hwnd, char* text, const char* replace, int flags, long start, long* position, long* length);

int SetWrxFont(HWND hwnd, int id, int keepMatching, const char* face, int pointSize, DWORD style, COLORREF text,
               COLORREF back, int kind, int extra);
int SetWrxDefaultFont(HWND hwnd, const char* face, int pointSize, DWORD style, COLORREF text, int repaint);
int SetWrxFontFace(HWND hwnd, const char* face, int repaint);
int SetWrxPointSize(HWND hwnd, int pointSize, int repaint);
int WrxSetCharStyle(HWND hwnd, DWORD style, int on, int repaint);
int GetWrxCharFont(HWND hwnd, long line, int col);

// Error reporting. The window flag WRXF_SILENT (and the shared flag word for
// errors reported without a window) turns message boxes into last-error
// records. The box and an observer of every reported code are seams.
DWORD SetWrxFlags(HWND hwnd, DWORD flags);  // returns the previous flags, 0 for no window
DWORD SetWrxSharedFlags(DWORD flags);
int GetWrxLastError(char* routine, int routineSize);
typedef int (*WrxMessageBoxProc)(HWND owner, const char* text, const char* title, UINT type);
WrxMessageBoxProc SetWrxMessageBoxProc(WrxMessageBoxProc proc);  // null restores MessageBoxA
// Help of the control ("wrx.hlp"); null restores WinHelpA.
typedef BOOL (*WrxHelpProc)(HWND window, const char* file, UINT command, ULONG_PTR data);
WrxHelpProc SetWrxHelpProc(WrxHelpProc proc);
typedef void (*WrxErrorObserver)(int code, const char* routine);
// Trace lines of the control (debug lines, the readers' traces); the program
// gives its debug log. Null restores the default, which appends the line to a
// "DBWin" window when one exists and drops it otherwise.
typedef void (*WrxDebugProc)(const char* line);
WrxDebugProc SetWrxDebugProc(WrxDebugProc proc);
// A refused key or edit beeps through this; null restores MessageBeep.
typedef void (*WrxBeepProc)(UINT type);
WrxBeepProc SetWrxBeepProc(WrxBeepProc proc);
WrxErrorObserver SetWrxErrorObserver(WrxErrorObserver observer);
