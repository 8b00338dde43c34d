// The control's commands 600-741: one table gives each command's guard, the
// conditions under which it is enabled and when it shows checked; commands
// whose work has not joined the control yet are refused without effect.
#include "wrx/wrx_block.h"
#include "wrx/wrx_tables.h"

#include <algorithm>
#include <cstring>

namespace {

// Conditions that must all hold for a command to be enabled.
enum Need : uint64_t {
  N_EDITABLE = 1ull << 0,  // writable and no style being edited
  N_WRITABLE = 1ull << 1,
  N_WRAP = 1ull << 2,
  N_NOWRAP = 1ull << 3,
  N_NOT_FOOTNOTE = 1ull << 4,
  N_LINE_BLOCK = 1ull << 5,
  N_HIGHLIGHT = 1ull << 6,
  N_INPUT_FILE = 1ull << 7,
  N_PASTE = 1ull << 8,       // the clipboard holds what a paste takes
  N_LINK_PASTE = 1ull << 9,  // ... or what the object linking hook takes
  N_UNDO = 1ull << 10,
  N_PRINTER = 1ull << 11,
  N_PARA_FORMAT = 1ull << 12,  // word wrap and no character style being edited
  N_PRINT_VIEW = 1ull << 13,
  N_PAGE_MODE = 1ull << 14,
  N_PAGE_VIEW = 1ull << 15,
  N_CLOSE = 1ull << 16,
  N_PROTECTION_OFF = 1ull << 17,
  N_NO_STYLE_EDIT = 1ull << 18,
  N_HAS_TABS = 1ull << 19,
  N_COLUMNS = 1ull << 20,  // the section has 2 or more columns
  N_HDRFTR_VIEW_OFF = 1ull << 21,
  N_PICTURE = 1ull << 22,  // the cursor character is a picture
  N_IN_CELL = 1ull << 23,
  N_TABLE_START = 1ull << 24,  // no paragraph frame, not a cell-end or row-end line
  N_IN_FRAME = 1ull << 25,
  N_DRAW_FRAME = 1ull << 26,  // the frame is a drawing object
  N_NO_HDRFTR_PARA = 1ull << 27,
  N_LINKED = 1ull << 28,  // a picture with a linked object
  N_POS_EDITABLE = 1ull << 29,
  N_NEVER = 1ull << 30,
};

// When a command shows checked.
enum Check : uint8_t {
  C_NONE,
  C_STYLE,
  C_PARA_FLAG,
  C_LEFT_INDENT,
  C_RIGHT_INDENT,
  C_FIRST_INDENT,
  C_PAGE_MODE,
  C_HDRFTR_EDIT,
  C_HDRFTR_SHOWN,
  C_RULER,
  C_TOOLBAR,
  C_STATUS,
  C_HIDDEN_SHOWN,
  C_PROTECTION,
  C_BORDERS,
  C_BREAK_LINES,
  C_GRID,
  C_TRACKING,
  C_PREVIEW,
  C_PAGE_NUMBER,
  C_SPACING,
  C_FOOTNOTE_SHOWN,
  C_RULER_SNAP,
  C_BULLET,
  C_STYLE_EDIT,
  C_CHAR_STYLE,
  C_PARA_STYLE,
  C_ZOOM,
  C_BACKGROUND,
  C_PAGE_VIEW,
  C_CHAR14,
};

enum Action : uint8_t {
  A_NONE,  // no work of its own here yet: refused
  A_SAVE,
  A_CLOSE,
  A_CHAR_STYLE,  // toggle the style bits in `bits`
  A_PLAIN,
  A_TOGGLE_RULER,
  A_TOGGLE_TOOLBAR,
  A_TOGGLE_STATUS,
  A_TOGGLE_HIDDEN,
  A_TOGGLE_PROTECTION,
  A_TOGGLE_BREAKS,
  A_TOGGLE_GRID,
  A_TOGGLE_TRACKING,
  A_TOGGLE_SNAP,
  A_HELP_INDEX,
  A_PAGE_NUMBER,
  A_BACKGROUND,
  A_MOTION,     // keys and cursor motion
  A_PARA_FLAG,  // toggle the paragraph flags in `bits`
  A_LEFT_INDENT,
  A_RIGHT_INDENT,
  A_HANGING_INDENT,
  A_NORMAL_PARA,
  A_CLEAR_TABS,
  A_BULLET,
  A_SEARCH_NEXT,
  A_SEARCH_PREV,
  A_CUT,
  A_COPY,
  A_PASTE,
  A_DELETE,
  A_TAB,
  A_LINE_BELOW,
  A_LINE_ABOVE,
  A_DELETE_LINE,
  A_SPLIT,
  A_JOIN,
  A_UNDO,
  A_INSERT_MODE,
  A_MARK,
  A_STYLE_EDIT,
  A_SELECT_CHAR_STYLE,
  A_SELECT_PARA_STYLE,
  A_PAGE_MODE,
  A_HDRFTR_EDIT,
  A_HDRFTR_VIEW,
  A_FOOTNOTE_VIEW,
  A_PAGE_BREAK,
  A_COLUMN_BREAK,
  A_SECTION_BREAK,
  A_BLOCK_COPY,
  A_BLOCK_MOVE,
  A_TABLE,
  A_EDIT_PICTURE,
  A_SPLIT_CELL,
  A_DELETE_CELLS,
  A_INSERT_ROW,
  A_MERGE_CELLS,
  A_INSERT_COLUMN,
};

struct CommandRow {
  uint16_t id;
  bool writeGuard;  // W: ignored in a read-only window
  bool wrapGuard;   // ignored in word-wrap mode
  uint64_t needs;
  Check check;
  uint32_t bits;  // style bits or paragraph flags for the check and the action
  Action action;
};

constexpr uint64_t kAs615 = N_EDITABLE | N_NOWRAP | N_NOT_FOOTNOTE;
constexpr uint64_t kAs632 = N_EDITABLE | N_NOT_FOOTNOTE;
constexpr uint64_t kAs695 = N_EDITABLE | N_PRINT_VIEW | N_IN_CELL;
constexpr uint64_t kAs718 = N_EDITABLE | N_NOT_FOOTNOTE | N_PRINT_VIEW;
constexpr uint64_t kAs735 = N_EDITABLE | N_WRAP | N_PAGE_MODE | N_IN_FRAME;

const CommandRow kCommands[] = {
    {600, false, false, 0, C_NONE, 0, A_MOTION},
    {601, false, false, 0, C_NONE, 0, A_MOTION},
    {602, false, false, 0, C_NONE, 0, A_MOTION},
    {603, false, false, 0, C_NONE, 0, A_MOTION},
    {604, false, false, 0, C_NONE, 0, A_MOTION},
    {605, false, false, 0, C_NONE, 0, A_MOTION},
    {606, true, false, 0, C_NONE, 0, A_DELETE},
    {608, false, false, 0, C_NONE, 0, A_TAB},
    {614, false, false, 0, C_NONE, 0, A_TAB},
    {609, false, false, 0, C_NONE, 0, A_MOTION},
    {610, false, false, 0, C_NONE, 0, A_MOTION},
    {611, false, false, 0, C_NONE, 0, A_MOTION},
    {612, false, false, 0, C_NONE, 0, A_MOTION},
    {613, false, false, 0, C_NONE, 0, A_MOTION},
    {615, true, true, kAs615, C_NONE, 0, A_LINE_BELOW},
    {616, true, true, kAs615, C_NONE, 0, A_LINE_ABOVE},
    {617, true, false, N_EDITABLE | N_NOT_FOOTNOTE, C_NONE, 0, A_DELETE_LINE},
    {618, true, true, kAs615, C_NONE, 0, A_SPLIT},
    {619, true, true, kAs615, C_NONE, 0, A_JOIN},
    {620, false, false, 0, C_NONE, 0, A_MOTION},
    {621, false, false, 0, C_NONE, 0, A_MOTION},
    {622, false, false, 0, C_NONE, 0, A_MOTION},
    {623, true, false, N_EDITABLE | N_LINE_BLOCK, C_NONE, 0, A_BLOCK_COPY},
    {624, true, false, N_EDITABLE | N_LINE_BLOCK, C_NONE, 0, A_BLOCK_MOVE},
    {625, false, false, N_EDITABLE, C_NONE, 0, A_MOTION},
    {626, true, false, N_EDITABLE | N_INPUT_FILE, C_NONE, 0, A_NONE},
    {627, true, false, N_EDITABLE | N_INPUT_FILE, C_NONE, 0, A_NONE},
    {628, true, false, N_EDITABLE | N_HIGHLIGHT, C_NONE, 0, A_CUT},
    {629, false, false, N_HIGHLIGHT, C_NONE, 0, A_COPY},
    {630, true, false, N_EDITABLE | N_POS_EDITABLE | N_NOT_FOOTNOTE | N_PASTE, C_NONE, 0, A_PASTE},
    {631, true, false, N_EDITABLE | N_WRAP | N_POS_EDITABLE | N_NOT_FOOTNOTE | N_LINK_PASTE, C_NONE, 0, A_NONE},
    {693, true, false, N_EDITABLE | N_NOT_FOOTNOTE, C_NONE, 0, A_NONE},
    {632, true, false, kAs632, C_NONE, 0, A_NONE},
    {633, false, false, 0, C_NONE, 0, A_NONE},
    {634, false, false, 0, C_NONE, 0, A_SEARCH_NEXT},
    {635, false, false, 0, C_NONE, 0, A_SEARCH_PREV},
    {636, true, false, N_EDITABLE, C_NONE, 0, A_NONE},
    {637, false, false, 0, C_NONE, 0, A_HELP_INDEX},
    {638, true, false, N_EDITABLE | N_UNDO, C_NONE, 0, A_UNDO},
    {639, true, false, 0, C_NONE, 0, A_INSERT_MODE},
    {640, true, false, N_EDITABLE, C_NONE, 0, A_SAVE},
    {641, true, false, N_EDITABLE | N_INPUT_FILE, C_NONE, 0, A_NONE},
    {642, false, false, N_CLOSE, C_NONE, 0, A_CLOSE},
    {643, false, false, N_PRINTER, C_NONE, 0, A_NONE},
    {644, false, false, N_EDITABLE, C_NONE, 0, A_NONE},
    {645, false, false, N_PRINTER, C_NONE, 0, A_NONE},
    {646, false, false, 0, C_NONE, 0, A_NONE},
    {647, true, false, N_WRITABLE, C_NONE, 0, A_PLAIN},
    {648, true, false, N_WRITABLE, C_STYLE, 0x02, A_CHAR_STYLE},
    {649, true, false, N_WRITABLE, C_STYLE, 0x01, A_CHAR_STYLE},
    {650, true, false, N_WRITABLE, C_STYLE, 0x04, A_CHAR_STYLE},
    {651, true, false, N_WRITABLE, C_STYLE, 0x08, A_CHAR_STYLE},
    {652, true, false, N_WRITABLE, C_STYLE, 0x10, A_CHAR_STYLE},
    {653, true, false, N_WRITABLE, C_STYLE, 0x20, A_CHAR_STYLE},
    {687, true, false, N_WRITABLE, C_STYLE, 0x40, A_CHAR_STYLE},
    {688, true, false, N_WRITABLE, C_STYLE, 0x100, A_CHAR_STYLE},
    {689, true, false, N_WRITABLE | N_PROTECTION_OFF, C_STYLE, 0x200, A_CHAR_STYLE},
    {725, true, false, N_WRITABLE | N_NO_STYLE_EDIT, C_STYLE, 0x2000, A_CHAR_STYLE},
    {654, true, false, N_WRITABLE, C_NONE, 0, A_NONE},
    {711, true, false, N_WRITABLE, C_NONE, 0, A_NONE},
    {655, true, false, N_WRITABLE, C_NONE, 0, A_NONE},
    {656, true, false, N_PARA_FORMAT, C_NONE, 0, A_NORMAL_PARA},
    {657, true, false, N_PARA_FORMAT, C_PARA_FLAG, 0x0001, A_PARA_FLAG},
    {658, true, false, N_PARA_FORMAT, C_PARA_FLAG, 0x0002, A_PARA_FLAG},
    {661, true, false, N_PARA_FORMAT, C_PARA_FLAG, 0x0004, A_PARA_FLAG},
    {663, true, false, N_PARA_FORMAT, C_PARA_FLAG, 0x0800, A_PARA_FLAG},
    {723, true, false, N_PARA_FORMAT, C_PARA_FLAG, 0x4000, A_PARA_FLAG},
    {724, true, false, N_PARA_FORMAT, C_PARA_FLAG, 0x8000, A_PARA_FLAG},
    {659, true, false, N_PARA_FORMAT, C_LEFT_INDENT, 0, A_LEFT_INDENT},
    {660, true, false, N_PARA_FORMAT, C_RIGHT_INDENT, 0, A_RIGHT_INDENT},
    {662, true, false, N_PARA_FORMAT, C_FIRST_INDENT, 0, A_HANGING_INDENT},
    {666, true, false, N_PARA_FORMAT | N_HAS_TABS, C_NONE, 0, A_NONE},
    {667, true, false, N_PARA_FORMAT | N_HAS_TABS, C_NONE, 0, A_CLEAR_TABS},
    {670, true, false, N_EDITABLE | N_WRAP | N_NOT_FOOTNOTE, C_NONE, 0, A_PAGE_BREAK},
    {671, false, false, N_EDITABLE | N_WRAP | N_PRINT_VIEW, C_NONE, 0, A_NONE},
    {672, true, false, N_EDITABLE | N_NOT_FOOTNOTE | N_PRINT_VIEW | N_HDRFTR_VIEW_OFF, C_NONE, 0, A_SECTION_BREAK},
    {673, false, false, N_EDITABLE, C_NONE, 0, A_NONE},
    {674, false, false, N_PRINT_VIEW, C_PAGE_MODE, 0, A_PAGE_MODE},
    {675, true, false, N_EDITABLE | N_NOT_FOOTNOTE | N_PRINT_VIEW | N_COLUMNS, C_NONE, 0, A_COLUMN_BREAK},
    {676, false, false, N_PRINT_VIEW, C_HDRFTR_EDIT, 0, A_HDRFTR_EDIT},
    {677, false, false, N_EDITABLE, C_HDRFTR_SHOWN, 0, A_HDRFTR_VIEW},
    {680, false, false, 0, C_RULER, 0, A_TOGGLE_RULER},
    {681, false, false, 0, C_TOOLBAR, 0, A_TOGGLE_TOOLBAR},
    {682, false, false, 0, C_STATUS, 0, A_TOGGLE_STATUS},
    {685, true, false, N_EDITABLE | N_NOT_FOOTNOTE | N_PICTURE, C_NONE, 0, A_EDIT_PICTURE},
    {686, false, false, N_EDITABLE, C_HIDDEN_SHOWN, 0, A_TOGGLE_HIDDEN},
    {690, true, false, N_EDITABLE, C_PROTECTION, 0, A_TOGGLE_PROTECTION},
    {691, true, false, N_PARA_FORMAT, C_BORDERS, 0, A_NONE},
    {692, false, false, N_EDITABLE | N_WRAP, C_BREAK_LINES, 0, A_TOGGLE_BREAKS},
    {694, true, false, N_EDITABLE | N_NOT_FOOTNOTE | N_PRINT_VIEW | N_TABLE_START, C_NONE, 0, A_TABLE},
    {695, true, false, kAs695, C_NONE, 0, A_INSERT_ROW},
    {696, true, false, kAs695, C_NONE, 0, A_SPLIT_CELL},
    {697, true, false, kAs695, C_NONE, 0, A_MERGE_CELLS},
    {698, true, false, kAs695, C_NONE, 0, A_DELETE_CELLS},
    {699, false, false, N_PAGE_MODE, C_GRID, 0, A_TOGGLE_GRID},
    {700, true, false, kAs695, C_NONE, 0, A_NONE},
    {701, true, false, kAs695, C_NONE, 0, A_NONE},
    {702, true, false, kAs695, C_NONE, 0, A_NONE},
    {703, true, false, kAs695, C_NONE, 0, A_NONE},
    {704, true, false, kAs695, C_NONE, 0, A_INSERT_COLUMN},
    {710, false, false, 0, C_TRACKING, 0, A_TOGGLE_TRACKING},
    {715, false, false, 0, C_NONE, 0, A_MOTION},
    {716, false, false, 0, C_NONE, 0, A_MOTION},
    {717, false, false, N_PRINTER, C_PREVIEW, 0, A_NONE},
    {718, true, false, kAs718, C_NONE, 0, A_NONE},
    {719, true, false, N_EDITABLE | N_NOT_FOOTNOTE, C_PAGE_NUMBER, 0, A_PAGE_NUMBER},
    {720, true, false, N_PARA_FORMAT, C_SPACING, 0, A_NONE},
    {721, true, false, N_EDITABLE | N_NOT_FOOTNOTE | N_NO_HDRFTR_PARA, C_NONE, 0, A_NONE},
    {722, false, false, N_EDITABLE | N_PAGE_VIEW, C_FOOTNOTE_SHOWN, 0, A_FOOTNOTE_VIEW},
    {726, true, false, kAs718, C_NONE, 0, A_NONE},
    {727, true, false, N_EDITABLE | N_NOT_FOOTNOTE | N_LINKED, C_NONE, 0, A_NONE},
    {728, true, false, N_EDITABLE, C_RULER_SNAP, 0, A_TOGGLE_SNAP},
    {729, true, false, N_PARA_FORMAT, C_BULLET, 0, A_BULLET},
    {730, true, false, N_WRITABLE, C_STYLE_EDIT, 0, A_STYLE_EDIT},
    {731, true, false, N_WRITABLE | N_NO_STYLE_EDIT, C_CHAR_STYLE, 0, A_SELECT_CHAR_STYLE},
    {732, true, false, N_WRITABLE | N_NO_STYLE_EDIT, C_PARA_STYLE, 0, A_SELECT_PARA_STYLE},
    {733, false, false, 0, C_ZOOM, 0, A_NONE},
    {734, true, false, N_PARA_FORMAT, C_NONE, 0, A_NONE},
    {735, true, false, kAs735, C_NONE, 0, A_NONE},
    {736, true, false, kAs735 | N_DRAW_FRAME, C_NONE, 0, A_NONE},
    {737, false, false, 0, C_BACKGROUND, 0, A_BACKGROUND},
    {738, true, false, kAs632, C_NONE, 0, A_NONE},
    {739, false, false, N_PRINT_VIEW, C_PAGE_VIEW, 0, A_NONE},
    {740, true, false, N_EDITABLE | N_POS_EDITABLE, C_CHAR14, 0, A_MARK},
    {741, false, false, N_EDITABLE | N_NEVER, C_NONE, 0, A_NONE},
};

const CommandRow* FindCommand(int id) {
  for (const CommandRow& row : kCommands)
    if (row.id == id) return &row;
  return nullptr;
}

const WrxFont& CursorFont(WrxWindow* w) {
  const WrxLine* l = w->lines[w->curLine];
  return w->fonts[w->curCol < l->length ? GetCharFont(w, w->curLine, w->curCol) : GetCurrentFont(w)];
}

uint8_t CursorChar(WrxWindow* w) {
  const WrxLine* l = w->lines[w->curLine];
  return w->curCol < l->length ? uint8_t(l->text[w->curCol]) : 0;
}

const wrxfmt::WrxParaRecord* CursorPara(WrxWindow* w) {
  const int32_t p = w->lines[w->curLine]->para;
  return p >= 0 && size_t(p) < w->paras.size() ? &w->paras[size_t(p)] : nullptr;
}

int32_t FrameFlags(WrxWindow* w, int32_t frame) {
  if (frame <= 0 || size_t(frame) >= w->frames.size()) return 0;
  int32_t flags;
  memcpy(&flags, w->frames[size_t(frame)].bytes + 40, 4);
  return flags;
}

bool Holds(WrxWindow* w, Need need) {
  const bool writable = !w->arg.readOnly;
  const WrxLine* line = w->lines[w->curLine];
  switch (need) {
    case N_EDITABLE: return writable && w->editStyle < 0;
    case N_WRITABLE: return writable;
    case N_WRAP: return w->arg.wordWrap != 0;
    case N_NOWRAP: return !w->arg.wordWrap;
    case N_NOT_FOOTNOTE: return !(CursorFont(w).style & (0x800 | 0x1000));
    case N_LINE_BLOCK: return w->hilight == 1;
    case N_HIGHLIGHT: return w->hilight != 0;
    case N_INPUT_FILE: return w->arg.inputKind == 'F';
    case N_PASTE:
      return IsClipboardFormatAvailable(CF_TEXT) ||
             (w->arg.wordWrap && (IsClipboardFormatAvailable(RegisterClipboardFormatA("Rich Text Format")) ||
                                  IsClipboardFormatAvailable(CF_BITMAP) || IsClipboardFormatAvailable(CF_DIB) ||
                                  IsClipboardFormatAvailable(CF_METAFILEPICT)));
    case N_LINK_PASTE:
      return IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_BITMAP) ||
             IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_METAFILEPICT) ||
             IsClipboardFormatAvailable(RegisterClipboardFormatA("Rich Text Format")) ||
             IsClipboardFormatAvailable(RegisterClipboardFormatA("OwnerLink")) ||
             IsClipboardFormatAvailable(RegisterClipboardFormatA("ObjectLink"));
    case N_UNDO: return !w->undo.empty();
    case N_PRINTER: return false;  // no printer is bound so far
    case N_PARA_FORMAT: return w->arg.wordWrap && w->editStyle < 0;
    case N_PRINT_VIEW: return w->arg.printView != 0;
    case N_PAGE_MODE: return w->arg.pageMode != 0;
    case N_PAGE_VIEW: return w->arg.pageViewOption != 0;
    case N_CLOSE: return w->arg.closeAllowed != 0;
    case N_PROTECTION_OFF: return !w->protection;
    case N_NO_STYLE_EDIT: return w->editStyle < 0;
    case N_HAS_TABS: return CursorPara(w) && CursorPara(w)->tabId != 0;
    case N_COLUMNS: return w->sections[0].columns >= 2;
    case N_HDRFTR_VIEW_OFF: return !w->hdrFtrShown;
    case N_PICTURE: return CursorFont(w).style & wrxfmt::kPictureStyle;
    case N_IN_CELL:
      return line->cell != 0 ||
             (w->hilight == 2 &&
              ((w->hlFirstLine >= 0 && w->hlFirstLine < w->lineCount && w->lines[w->hlFirstLine]->cell) ||
               (w->hlLastLine >= 0 && w->hlLastLine < w->lineCount && w->lines[w->hlLastLine]->cell)));
    case N_TABLE_START: return line->frame == 0 && !(line->info && (line->info->flags & (LI_CELLEND | LI_ROWEND)));
    case N_IN_FRAME: return line->frame != 0;
    case N_DRAW_FRAME: return (FrameFlags(w, line->frame) & 0x380) != 0;
    case N_NO_HDRFTR_PARA: return !(CursorPara(w) && (CursorPara(w)->flags & 0x3000));
    case N_LINKED: {
      const WrxFont& f = CursorFont(w);
      return (f.style & wrxfmt::kPictureStyle) && f.pict && (!f.pict->object.empty() || !f.pict->linkName.empty());
    }
    case N_POS_EDITABLE: return !(w->protection && (CursorFont(w).style & 0x200));
    case N_NEVER: return false;
  }
  return true;
}

bool Enabled(WrxWindow* w, const CommandRow& row) {
  for (uint64_t bit = 1; bit <= N_NEVER; bit <<= 1)
    if ((row.needs & bit) && !Holds(w, Need(bit))) return false;
  return true;
}

bool Checked(WrxWindow* w, const CommandRow& row) {
  const wrxfmt::WrxParaRecord* p = CursorPara(w);
  switch (row.check) {
    case C_NONE: return false;
    case C_STYLE: return (w->fonts[GetCurrentFont(w)].style & row.bits) == row.bits;
    case C_PARA_FLAG: return p && (p->flags & int32_t(row.bits));
    case C_LEFT_INDENT: return p && p->leftIndent > 0;
    case C_RIGHT_INDENT: return p && p->rightIndent > 0;
    case C_FIRST_INDENT: return p && p->firstIndent != 0;
    case C_PAGE_MODE: return w->arg.pageMode;
    case C_HDRFTR_EDIT: return w->hdrFtrEdit;
    case C_HDRFTR_SHOWN: return w->hdrFtrShown;
    case C_RULER: return w->arg.ruler;
    case C_TOOLBAR: return w->arg.toolbar;
    case C_STATUS: return w->arg.statusLine;
    case C_HIDDEN_SHOWN: return w->hiddenShown;
    case C_PROTECTION: return w->protection;
    case C_BORDERS: return p && (p->flags & 0xF0);
    case C_BREAK_LINES: return w->breakLinesShown;
    case C_GRID: return w->gridLines && w->arg.pageMode;
    case C_TRACKING: return w->trackPointer;
    case C_PREVIEW: return w->preview != 0;
    case C_PAGE_NUMBER: return CursorFont(w).kind == 1 && !(CursorFont(w).style & wrxfmt::kPictureStyle);
    case C_SPACING: return p && (p->spaceBefore || p->spaceAfter || p->lineSpacing);
    case C_FOOTNOTE_SHOWN: return w->footnoteShown;
    case C_RULER_SNAP: return w->rulerSnap;
    case C_BULLET: return p && (p->flags & 8);
    case C_STYLE_EDIT: return w->editStyle >= 0;
    case C_CHAR_STYLE: return w->fonts[GetCurrentFont(w)].attribute > 1;
    case C_PARA_STYLE: return p && p->styleId != 0;
    case C_ZOOM: return w->zoom != 100;
    case C_BACKGROUND: return w->backgroundPicture != 0;
    case C_PAGE_VIEW: return w->arg.pageMode && w->arg.pageViewOption;
    case C_CHAR14: return CursorChar(w) == WRX_LINEMARK;
  }
  return false;
}

void ToggleCharStyle(WrxWindow* w, DWORD bits) {
  const bool on = (w->fonts[GetCurrentFont(w)].style & bits) != bits;
  WrxSetCharStyle(w->hwnd, bits, on, 1);
}

}  // namespace

UINT WrxMenuEnable(HWND hwnd, int command) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return MF_ENABLED;
  const CommandRow* row = FindCommand(command);
  if (w->preview && command != 717) return MF_GRAYED;
  return row && !Enabled(w, *row) ? MF_GRAYED : MF_ENABLED;
}

UINT WrxMenuCheck(HWND hwnd, int command) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const CommandRow* row = FindCommand(command);
  return row && Checked(w, *row) ? MF_CHECKED : 0;
}

void WrxMenuUpdate(WrxWindow* w, HMENU menu) {
  for (const CommandRow& row : kCommands) {
    const bool enabled = Enabled(w, row) && (!w->preview || row.id == 717);
    EnableMenuItem(menu, row.id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    if (row.check != C_NONE) CheckMenuItem(menu, row.id, MF_BYCOMMAND | (Checked(w, row) ? MF_CHECKED : MF_UNCHECKED));
  }
}

void WrxPostCommand(WrxWindow* w, UINT msg, WPARAM wp) {
  if (w->preview) return;
  const int command = msg == WM_COMMAND ? LOWORD(wp) : 0;
  if (command < 600 || command > 603) w->rememberedX = -1;
  ShowWrxCaret(w);
  if (!w->firstModifyNotified && w->modified > 0 && !w->arg.readOnly) {
    w->firstModifyNotified = 1;
    if (w->notify)
      w->notify(w->hwnd, WRXN_FIRSTMODIFY, WPARAM(w->hwnd), 0);
    else if (w->notify2)
      w->notify2(w->hwnd, WRXN_FIRSTMODIFY, WPARAM(w->hwnd), 0);
    else if (w->arg.parent)
      SendMessageA(w->arg.parent, WRXN_FIRSTMODIFY, WPARAM(w->hwnd), 0);
    if (w->arg.parent)
      SendMessageA(w->arg.parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w->hwnd), EN_CHANGE), LPARAM(w->hwnd));
  }
  // Large documents paginate from a timer so that editing stays quick.
  if (w->arg.printView && w->lineCount >= 5000 && !w->paginationTimer)
    w->paginationTimer = SetTimer(w->hwnd, 9182, 5000, nullptr) ? 9182 : 0;
}

// Runs one command; returns the window procedure's answer.
LRESULT WrxCommand(WrxWindow* w, WPARAM wp) {
  const int command = LOWORD(wp);
  const CommandRow* row = FindCommand(command);
  if (!row) return DefWindowProcA(w->hwnd, WM_COMMAND, wp, 0);
  if ((row->writeGuard && w->arg.readOnly) || (row->wrapGuard && w->arg.wordWrap) || !Enabled(w, *row)) {
    WrxPostCommand(w, WM_COMMAND, wp);
    return 0;
  }
  switch (row->action) {
    case A_NONE: break;
    case A_SAVE: WrxSave(w, w->arg.fileName); break;
    case A_CLOSE: CloseWrx(w->hwnd, 0); return 0;  // the block is gone
    case A_CHAR_STYLE: ToggleCharStyle(w, row->bits); break;
    case A_PLAIN: {
      DWORD bits = 0x3F | 0x100 | (w->hiddenShown ? 0x40 : 0) | (w->protection ? 0 : 0x200);
      WrxSetCharStyle(w->hwnd, bits, 0, 1);
      break;
    }
    case A_TOGGLE_RULER: w->arg.ruler = !w->arg.ruler; break;
    case A_TOGGLE_TOOLBAR: w->arg.toolbar = !w->arg.toolbar; break;
    case A_TOGGLE_STATUS: w->arg.statusLine = !w->arg.statusLine; break;
    case A_TOGGLE_HIDDEN:
      w->hiddenShown = !w->hiddenShown;
      RecreateFonts(w, w->dc);
      PaintWrx(w);
      break;
    case A_TOGGLE_PROTECTION: w->protection = !w->protection; break;
    case A_TOGGLE_BREAKS:
      w->breakLinesShown = !w->breakLinesShown;
      PaintWrx(w);
      break;
    case A_TOGGLE_GRID: ToggleCellGrid(w); break;
    case A_TOGGLE_TRACKING: w->trackPointer = !w->trackPointer; break;
    case A_TOGGLE_SNAP: w->rulerSnap = !w->rulerSnap; break;
    case A_HELP_INDEX: WrxShowHelp(w->hwnd, HELP_INDEX, 0); break;
    case A_PAGE_NUMBER: InsertPageNumber(w); break;
    case A_BACKGROUND: SetWrxBackground(w->hwnd, w->backgroundPicture ? 0 : -1, 1, 1); break;
    case A_MOTION: WrxKeyCommand(w, command, HIWORD(wp) == 1); break;
    case A_PARA_FLAG: SetWrxParaFlags(w->hwnd, int(row->bits), !Checked(w, *row), 1); break;
    case A_LEFT_INDENT: WrxLeftIndent(w->hwnd, 1, 1); break;
    case A_RIGHT_INDENT: WrxRightIndent(w->hwnd, 1, 1); break;
    case A_HANGING_INDENT: WrxHangingIndent(w->hwnd, 1, 1); break;
    case A_NORMAL_PARA: WrxNormalPara(w->hwnd, 1); break;
    case A_CLEAR_TABS: ClearParaFlags(w->hwnd, 1); break;
    case A_BULLET: WrxParaBullet(w->hwnd, !Checked(w, *row), 1); break;
    case A_SEARCH_NEXT: WrxSearchAgain(w, true); break;
    case A_SEARCH_PREV: WrxSearchAgain(w, false); break;
    case A_CUT: CopyToClipboard(w, 628); break;
    case A_COPY: CopyToClipboard(w, 629); break;
    case A_PASTE: CopyFromClipboard(w, 0); break;
    case A_DELETE: DelChar(w); break;
    case A_TAB: WrxInsertTab(w, command); break;
    case A_LINE_BELOW: InsertLineBelow(w); break;
    case A_LINE_ABOVE: InsertLineAbove(w); break;
    case A_DELETE_LINE: DeleteLine(w); break;
    case A_SPLIT: WrxSplitLine(w, 0); break;
    case A_JOIN: WrxJoinLine(w); break;
    case A_UNDO: Undo(w); break;
    case A_INSERT_MODE: ToggleInsertMode(w); break;
    case A_MARK: InsertChar(w, WRX_LINEMARK); break;
    case A_STYLE_EDIT: EditStyleParam(w->hwnd, 1, nullptr, 1, 0, 1); break;
    case A_SELECT_CHAR_STYLE: SelectStyleParam(w->hwnd, -1, 1); break;
    case A_SELECT_PARA_STYLE: WrxSelectParaStyle(w->hwnd, -1, 1); break;
    case A_PAGE_MODE: TogglePageMode(w); break;
    case A_HDRFTR_EDIT: ToggleHdrFtrEdit(w); break;
    case A_HDRFTR_VIEW: ToggleHdrFtrView(w); break;
    case A_FOOTNOTE_VIEW:
      w->footnoteShown = !w->footnoteShown;
      RecreateFonts(w, w->dc);
      w->pageBreakMark = 0, w->staleLine = 0;
      PaintWrx(w);
      break;
    case A_PAGE_BREAK: InsertPageBreakAt(w, 1); break;
    case A_COLUMN_BREAK: InsertColumnBreakAt(w, 1); break;
    case A_SECTION_BREAK: WrxSectBreakAt(w, 1); break;
    case A_BLOCK_COPY: w->hilight == 1 ? CopyLineBlock(w, 0) : CopyCharBlock(w, 0); break;
    case A_TABLE: TableInsert(w, 3, 2, 1); break;
    case A_EDIT_PICTURE: EditPictureParam(w->hwnd, -1, -1, -1); break;
    case A_SPLIT_CELL: WrxSplitCell(w); break;
    case A_INSERT_ROW: InsertTableRow(w, 1, 1); break;
    case A_DELETE_CELLS: DeleteTableCells(w, 1); break;
    case A_MERGE_CELLS: MergeTableCells(w); break;
    case A_INSERT_COLUMN: InsertTableColumn(w, 1, 1, 1); break;
    case A_BLOCK_MOVE: w->hilight == 1 ? CopyLineBlock(w, 1) : CopyCharBlock(w, 1); break;
  }
  if (w->open) WrxPostCommand(w, WM_COMMAND, wp);
  return 0;
}
