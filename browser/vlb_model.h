// The virtual list box's rows, selection, caret and scrolling, without the
// window: the Win32 control (vlb_win32.cpp) turns messages into these calls
// and these calls ask the window for repaints, scroll bar changes and
// notifications through a VlbView.
#pragma once
#include <cstdint>
#include <vector>

// VlbCommand operations.
enum : int {
  kVlbSetTextCallback = 33768,
  kVlbSetDrawCallback = 33769,
  kVlbModeSingle = 33770,
  kVlbModeRange = 33771,
  kVlbUnused33772 = 33772,
  kVlbAddRow = 33773,
  kVlbReset = 33774,
  kVlbDeleteRow = 33775,
  kVlbInsertRow = 33776,
  kVlbSetTopRow = 33777,
  kVlbSetCaretRow = 33778,
  kVlbSelectedCount = 33779,
  kVlbSelectedRows = 33780,
  kVlbSetRowValue = 33781,
  kVlbRowValue = 33782,
  kVlbCaret = 33783,
  kVlbSelectRow = 33784,
  kVlbFindValue = 33785,
  kVlbFindAndSelect = 33786,
  kVlbSmoothScroll = 33787,
  kVlbModeMultiple = 33788,
  kVlbTopRow = 33789,
  kVlbUnused33790 = 33790,
  kVlbRowCount = 33791,
  kVlbSelectAll = 33792,
  kVlbAddMode = 33793,
  kVlbRowsPerPage = 33794,
};

// Notification codes, in the high word of WM_COMMAND's lParam.
enum : int {
  kVlbNotifyDoubleClick = 1,
  kVlbNotifyLostFocus = 3,
  kVlbNotifyCleared = 4,
  kVlbNotifySelChange = 5,
  kVlbNotifyGotFocus = 6,
  kVlbNotifyKey = 7,
};

// Keys the list handles (virtual-key codes) and scroll codes (SB_*).
enum : int {
  kVlbKeySpace = 0x20,
  kVlbKeyPageUp = 0x21,
  kVlbKeyPageDown = 0x22,
  kVlbKeyEnd = 0x23,
  kVlbKeyHome = 0x24,
  kVlbKeyUp = 0x26,
  kVlbKeyDown = 0x28,
  kVlbKeyF8 = 0x77,
};
enum : int {
  kVlbLineUp = 0,
  kVlbLineDown = 1,
  kVlbPageUp = 2,
  kVlbPageDown = 3,
  kVlbThumbPosition = 4,
  kVlbThumbTrack = 5,
};

constexpr int32_t kVlbMaxRows = 2147482;    // an add that would reach one more fails
constexpr int32_t kVlbScaledAbove = 30000;  // more rows than this: a 0..1000 scroll bar
constexpr int32_t kVlbTableStepRows = 8192;
constexpr uint32_t kVlbSelectedBit = 0x80000000u;

// One list's state, the 29 fields in their order.
struct VlbState {
  int32_t count;
  int32_t top;
  int32_t scrollTop;  // top last given to the scroll bar; -1 none
  int32_t caret;
  int32_t mode;  // 0 single, 1 range, 2 multiple
  int32_t hasSelection;
  int32_t reversed;
  int32_t captured;
  int32_t rangeLow;
  int32_t rangeHigh;
  int32_t spanLow;
  int32_t spanHigh;
  int32_t lastMouseRow;
  int32_t scaled;
  int32_t rowHeight;
  int32_t rowsPerPage;
  int32_t exactFit;
  void* font;
  int32_t repaintPending;
  int32_t scrollRecompute;
  int32_t toggled;
  int32_t addMode;
  int32_t addValue;
  void* textCallback;
  void* drawCallback;
  void* tableHandle;
  uint32_t* table;
  int32_t tableBytes;
  int32_t smooth;
};

// What the list asks of its window. Pixel bands are client coordinates.
struct VlbView {
  void* window;
  bool newShell;  // the scroll range runs to the last row rather than the last top
  void (*invalidate)(void* window, int topPixel, int bottomPixel);  // bottom -1: to the end
  void (*update)(void* window);                                     // paint what is invalid now
  void (*notify)(void* window, int code, int key);
  void (*setScrollRange)(void* window, int max, int page);
  void (*setScrollPos)(void* window, int pos);
  void (*scrollContents)(void* window, int dy);
  void (*addModeTimer)(void* window, bool on);
  void (*capture)(void* window, bool on);
  void (*focusParent)(void* window);
};

// Table, adds and reads.
void VlbInit(VlbState& s);
void VlbFreeTable(VlbState& s);
int VlbAddRow(VlbState& s, const VlbView& v, uint32_t value);
int VlbInsertRow(VlbState& s, const VlbView& v, int32_t row, uint32_t value);
int VlbDeleteRow(VlbState& s, const VlbView& v, int32_t row);
void VlbReset(VlbState& s, const VlbView& v);
void VlbSetMode(VlbState& s, const VlbView& v, int mode);
int VlbSetTop(VlbState& s, const VlbView& v, int32_t row);
int VlbSetCaret(VlbState& s, const VlbView& v, int32_t row);
int32_t VlbSelectedCount(const VlbState& s);
void VlbSelectedRowList(const VlbState& s, std::vector<int32_t>& rows);
int VlbSetValue(VlbState& s, int32_t row, uint32_t value);
int32_t VlbValue(const VlbState& s, int32_t row);
int32_t VlbCaretResult(const VlbState& s);
int32_t VlbFind(const VlbState& s, uint32_t value);
void VlbSelectAll(VlbState& s, const VlbView& v);
bool VlbRowSelected(const VlbState& s, int32_t row);
// The operations that take plain numbers; -1 for the rest (callbacks and the
// selection list are the window's).
int32_t VlbModelCommand(VlbState& s, const VlbView& v, int op, uintptr_t wParam, intptr_t lParam);

// Scrolling and selection.
void VlbUpdateScrollBar(VlbState& s, const VlbView& v);
int VlbScroll(VlbState& s, const VlbView& v, int code, int pos, bool repaint);
void VlbSelectRow(VlbState& s, const VlbView& v, int32_t row, bool fresh, bool toggle);
void VlbClearSelection(VlbState& s, const VlbView& v, bool repaint);
void VlbEndAddMode(VlbState& s, const VlbView& v);

// Window events.
void VlbSize(VlbState& s, const VlbView& v, int height, bool hasFocus);
void VlbKey(VlbState& s, const VlbView& v, int key, bool shift);
void VlbButtonDown(VlbState& s, const VlbView& v, int y, bool left, bool ctrl, bool shift);
// True when the pointer lies beyond the page: the window re-posts the move
// (unless another move or the release waits) so the list keeps scrolling.
bool VlbMouseMove(VlbState& s, const VlbView& v, int y);
void VlbButtonUp(VlbState& s, const VlbView& v);
void VlbDoubleClick(VlbState& s, const VlbView& v, int y);
void VlbFocus(VlbState& s, const VlbView& v, bool gained);
