// Control windows as a host sees them: creation, the field record, the
// cursor, closing, and the error numbers behind the silenced boxes.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace wrxtest;

namespace {

class WrxWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRecords(); }
  void TearDown() override { EXPECT_TRUE(g_boxes.empty()) << "a message box would have waited for a user"; }
};

std::unique_ptr<WrxFieldRec> Field(HWND hwnd) {
  auto f = std::make_unique<WrxFieldRec>();
  EXPECT_EQ(GetWrxField(hwnd, f.get()), 1);
  return f;
}

}  // namespace

TEST_F(WrxWindowTest, CreatesHiddenWindowsFromACreationRecord) {
  WrxArgList a = HiddenArgs(WRX_WORDWRAP);
  a.pageMode = 1;  // kept: word wrap is on
  HWND hwnd = CreateHidden(a);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ(a.window, hwnd) << "the record gets the window back";
  EXPECT_EQ(a.open, 1);
  char title[64];
  GetWindowTextA(hwnd, title, sizeof title);
  EXPECT_STREQ(title, "(UNNAMED)");
  auto f = Field(hwnd);
  EXPECT_EQ(f->size, 4416);
  EXPECT_EQ(f->lineCount, 1);
  EXPECT_EQ(f->pageMode, 1);
  EXPECT_EQ(f->printView, 1) << "page mode needs print view";
  EXPECT_EQ(f->backColor, COLORREF(0xFFFFFF));
  EXPECT_EQ(f->statusBackColor, COLORREF(0xAFAFAF));
  EXPECT_EQ(f->linkStyleMask, 0x100);
  EXPECT_EQ(f->sectionMargins[0], 1800);
  EXPECT_EQ(f->sectionMargins[2], 1440);
  EXPECT_EQ(CloseWrx(hwnd, 0), 1);
  EXPECT_FALSE(IsWindow(hwnd));
  ASSERT_FALSE(g_notices.empty());
  EXPECT_EQ(g_notices.back().code, UINT(WRXN_CLOSING));

  // Page mode without word wrap is a plain window.
  WrxArgList plain = HiddenArgs();
  plain.pageMode = 1;
  plain.pageViewOption = 1;
  hwnd = CreateHidden(plain);
  f = Field(hwnd);
  EXPECT_EQ(f->pageMode, 0);
  EXPECT_EQ(f->printView, 0);
  EXPECT_EQ(f->pageViewOption, 0);
  CloseWrx(hwnd, 0);
}

TEST_F(WrxWindowTest, RegisteringTheClassAgainKeepsItInPlace) {
  EXPECT_TRUE(RegisterWrxClass(GetModuleHandleA(nullptr)));
  WNDCLASSA wc{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "Wrx32Class", &wc));
  EXPECT_EQ(wc.style, UINT(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_GLOBALCLASS));
  EXPECT_EQ(wc.cbWndExtra, int(sizeof(LONG_PTR)));
}

TEST_F(WrxWindowTest, AWindowCreatedWithoutARecordTakesTheDefaults) {
  HWND hwnd = CreateWindowExA(0, "Wrx32Class", "", WS_CHILD | WRX_WORDWRAP, 0, 0, 300, 200, HostWindow(), nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(hwnd, nullptr);
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(w->arg.typeface, "Arial");
  EXPECT_EQ(w->arg.pointSize, 12);
  EXPECT_EQ(w->arg.inputKind, 'B');
  EXPECT_EQ(w->arg.saveType, 4);
  EXPECT_EQ(w->arg.wordWrap, 1);
  char face[32];
  int size = 0;
  ASSERT_EQ(GetWrxFontInfo(hwnd, 0, face, &size, nullptr), 1);
  EXPECT_STREQ(face, "Arial");
  EXPECT_EQ(size, 12);
  DestroyWindow(hwnd);
  EXPECT_EQ(GetWrxWindow(hwnd), nullptr);
}

TEST_F(WrxWindowTest, EveryHostCallRefusesAHandleThatIsNoControl) {
  HWND notControl = HostWindow();
  WrxFieldRec* f = new WrxFieldRec{};
  long line = 0;
  int col = 0;
  char text[8];
  struct Case {
    const char* name;
    long result;
  } cases[] = {
      {"CloseWrx", CloseWrx(notControl, 0)},
      {"SetWrxBuffer", SetWrxBuffer(notControl, nullptr, 0, nullptr, 0)},
      {"ReadWrxFile", ReadWrxFile(notControl, "x")},
      {"SetWrxMargins", SetWrxMargins(notControl, 1, 1, 1, 1, 0)},
      {"InsertWrxText", InsertWrxText(notControl, "a", 0, 0, 0, 0, 0)},
      {"SetWrxCursorPos", SetWrxCursorPos(notControl, 0, 0, 0)},
      {"GetWrxCursorPos", GetWrxCursorPos(notControl, &line, &col)},
      {"GetWrxField", GetWrxField(notControl, f)},
      {"SetWrxField", SetWrxField(notControl, f)},
      {"GetWrxLine", GetWrxLine(notControl, 0, text, sizeof text, nullptr, 0) + 1},
      {"SetWrxLine", SetWrxLine(notControl, 0, "a", nullptr)},
      {"GetWrxSelText", long(reinterpret_cast<intptr_t>(GetWrxSelText(notControl)))},
      {"GetWrxWordAt", long(reinterpret_cast<intptr_t>(GetWrxWordAt(notControl, 0)))},
      {"WrxAllocOutBuf", WrxAllocOutBuf(notControl, 10)},
      {"SetWrxFont", SetWrxFont(notControl, -1, 0, "Arial", 10, 0, 0, 0, 0, 0) + 1},
      {"GetWrxCharFont", GetWrxCharFont(notControl, 0, 0)},
      {"null handle", GetWrxReadOnly(nullptr)},
  };
  delete f;
  for (const Case& c : cases) EXPECT_EQ(c.result, 0) << c.name;
  EXPECT_EQ(GetWrxLastError(nullptr, 0), 129);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(WrxWindowTest, TheFieldRecordRoundTripsALineAndRefusesAWrongSize) {
  HWND hwnd = CreateFromText("first\r\nsecond\r\nthird\r\n");
  int bold = SetWrxFont(hwnd, -1, 1, "Arial", 12, 2, 0, 0xFFFFFF, 0, 0);
  ASSERT_GT(bold, 0);
  auto f = Field(hwnd);
  EXPECT_STREQ(f->text, "first");
  EXPECT_EQ(f->lineLength, 5);
  EXPECT_EQ(f->fontIds[7], 0) << "ids past the end repeat the last character's";

  struct Case {
    int operation;
    int cursorLine;
    std::vector<std::string> lines;
  } cases[] = {
      {1, 1, {"first", "NEW", "third"}},
      {2, 1, {"first", "NEW", "NEW", "third"}},
      {3, 0, {"first", "NEW", "NEW", "NEW", "third"}},
  };
  for (const Case& c : cases) {
    f = Field(hwnd);
    f->cursorLine = c.cursorLine;
    f->lineOperation = c.operation;
    strcpy(f->text, "NEW");
    f->lineLength = 3;
    f->fontIds[0] = uint8_t(bold);
    f->fontIds[1] = 250;  // names no font: becomes the default
    f->fontIds[2] = 0;
    ASSERT_EQ(SetWrxField(hwnd, f.get()), 1);
    std::vector<std::string> lines;
    for (long i = 0; i < long(c.lines.size()); ++i) lines.push_back(LineText(hwnd, i));
    EXPECT_EQ(lines, c.lines) << "operation " << c.operation;
    EXPECT_EQ(LineText(hwnd, long(c.lines.size())), "<none>");
  }
  unsigned char ids[3];
  ASSERT_EQ(GetWrxLine(hwnd, 1, nullptr, 0, ids, 3), 3);
  EXPECT_EQ(ids[0], bold);
  EXPECT_EQ(ids[1], 0);

  // A record of another size changes nothing and reports 130.
  f = Field(hwnd);
  f->size = 4412;
  f->cursorLine = 4;
  f->lineOperation = 1;
  EXPECT_EQ(SetWrxField(hwnd, f.get()), 0);
  EXPECT_EQ(GetWrxLastError(nullptr, 0), 130);
  EXPECT_EQ(g_errors.back(), 130);
  EXPECT_EQ(g_routines.back(), "SetWrxField");
  EXPECT_EQ(Field(hwnd)->cursorLine, 0);
  EXPECT_EQ(LineText(hwnd, 4), "third");
  CloseWrx(hwnd, 0);
}

TEST_F(WrxWindowTest, SetWrxFieldClampsTheCursorAndMovesColoursWithTheBackground) {
  HWND hwnd = CreateFromText("a\r\nb\r\n");
  int white = SetWrxFont(hwnd, -1, 1, "Arial", 12, 0, 0x0000FF, 0xFFFFFF, 0, 0);
  auto f = Field(hwnd);
  f->cursorLine = 99;
  f->cursorColumn = -4;
  f->backColor = 0x0000FF;
  ASSERT_EQ(SetWrxField(hwnd, f.get()), 1);
  f = Field(hwnd);
  EXPECT_EQ(f->cursorLine, 1);
  EXPECT_EQ(f->cursorColumn, 0);
  EXPECT_EQ(f->backColor, COLORREF(0x0000FF));
  COLORREF text = 0, back = 0;
  ASSERT_EQ(GetWrxFontColors(hwnd, white, &text, &back), 1);
  EXPECT_EQ(back, COLORREF(0x0000FF)) << "the background follows the window's";
  EXPECT_EQ(text, COLORREF(0xFFFFFF)) << "text in the new background colour takes the old one";
  CloseWrx(hwnd, 0);
}

TEST_F(WrxWindowTest, CursorPositionsClampAndConvertAbsolutePositions) {
  struct Case {
    DWORD style;
    long line;
    int col;
    long wantLine;
    int wantCol;
  } cases[] = {
      {0, 1, 2, 1, 2},
      {0, 9, 0, 2, 5},             // beyond the text: end of the last line
      {WRX_WORDWRAP, 9, 0, 2, 5},  // before the paragraph end
      {0, -3, 7, 0, 0},
      {0, 1, 99, 1, 3},
  };
  struct Abs {
    DWORD style;
    long pos;
    long line;
    int col;
  };
  for (const Case& c : cases) {
    HWND hwnd = CreateFromText("ab\r\nxyz\r\nlast!\r\n", c.style);
    ASSERT_EQ(SetWrxCursorPos(hwnd, c.line, c.col, 0), 1);
    long line = 0;
    int col = 0;
    GetWrxCursorPos(hwnd, &line, &col);
    EXPECT_EQ(line, c.wantLine) << c.line << "," << c.col << " style " << c.style;
    EXPECT_EQ(col, c.wantCol) << c.line << "," << c.col << " style " << c.style;
    CloseWrx(hwnd, 0);
  }
  // Absolute positions: lines count their CR LF without word wrap, and their
  // stored paragraph end with it.
  for (const Abs& a : {Abs{0, 6, 1, 2}, Abs{WRX_WORDWRAP, 6, 1, 3}, Abs{0, 4, 1, 0}}) {
    HWND hwnd = CreateFromText("ab\r\nxyz\r\nlast!\r\n", a.style);
    SetWrxCursorPos(hwnd, a.pos, -1, 0);
    long line = 0;
    int col = 0;
    GetWrxCursorPos(hwnd, &line, &col);
    EXPECT_EQ(line, a.line) << a.pos;
    EXPECT_EQ(col, a.col) << a.pos;
    col = -1;  // asks for the absolute position
    GetWrxCursorPos(hwnd, &line, &col);
    EXPECT_EQ(line, a.pos);
    CloseWrx(hwnd, 0);
  }
}

TEST_F(WrxWindowTest, CloseAsksBeforeLosingChangesAndNotifies) {
  HWND hwnd = CreateFromText("text\r\n");
  SetWrxLine(hwnd, 0, "changed", nullptr);
  g_answer = IDCANCEL;
  EXPECT_EQ(CloseWrx(hwnd, 0), 0);
  EXPECT_TRUE(IsWindow(hwnd));
  ASSERT_EQ(g_questions.size(), 1u);
  EXPECT_EQ(g_questions[0].text, "File Modified. Do You Wish to Save the Modifications?");
  EXPECT_EQ(g_questions[0].title, "");
  g_answer = IDNO;
  EXPECT_EQ(CloseWrx(hwnd, 0), 1);
  ASSERT_EQ(g_notices.size(), 2u);
  EXPECT_EQ(g_notices[0].code, UINT(WRXN_SAVEDECLINED));
  EXPECT_EQ(g_notices[1].code, UINT(WRXN_CLOSING));

  // Closing with save writes a modified buffer back before the window goes.
  hwnd = CreateFromText("kept\r\n");
  SetWrxLine(hwnd, 0, "saved", nullptr);
  WrxWindow* w = GetWrxWindow(hwnd);
  EXPECT_EQ(CloseWrx(hwnd, 1), 1);
  (void)w;
}

TEST_F(WrxWindowTest, SilencedErrorsLeaveTheirCodeAndRoutine) {
  // A document longer than the window may hold: the rest is skipped.
  WrxArgList a = HiddenArgs();
  a.maxLines = 3;
  std::string text;
  for (int i = 0; i < 10; ++i) text += "line\r\n";
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size());
  memcpy(GlobalLock(h), text.data(), text.size());
  GlobalUnlock(h);
  a.bufferHandle = h;
  a.bufferSize = long(text.size());
  HWND hwnd = CreateHidden(a);
  ASSERT_NE(hwnd, nullptr);
  char routine[32];
  EXPECT_EQ(GetWrxLastError(routine, sizeof routine), 86);
  EXPECT_STREQ(routine, "WrxRead");
  EXPECT_EQ(Field(hwnd)->lineCount, 3);
  // Appending past the limit is refused with 88.
  EXPECT_EQ(SetWrxLine(hwnd, 3, "more", nullptr), 0);
  EXPECT_EQ(GetWrxLastError(routine, sizeof routine), 88);
  EXPECT_STREQ(routine, "SetWrxLine");
  EXPECT_EQ(InsertWrxText(hwnd, "x\r\n", 0, -1, -1, -1, 0), 0) << "no room: a failure, not a silent 1";
  EXPECT_EQ(GetWrxLastError(nullptr, 0), 88);
  CloseWrx(hwnd, 0);
}

TEST_F(WrxWindowTest, AnUnsilencedErrorWithoutARoutineIsTitledError) {
  HWND hwnd = CreateFromText("x\r\n");
  auto f = Field(hwnd);
  f->reclaimIds = 0;
  SetWrxField(hwnd, f.get());
  for (int i = 1; i < WRX_MAXFONTS; ++i) ASSERT_GT(SetWrxFont(hwnd, -1, 0, "Arial", 6 + i, 0, 0, 0xFFFFFF, 0, 0), 0);
  SetWrxFlags(hwnd, 0);
  EXPECT_EQ(SetWrxFont(hwnd, -1, 0, "Arial", 300, 0, 0, 0xFFFFFF, 0, 0), -1);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].title, "Error");
  EXPECT_EQ(g_boxes[0].text, "Ran Out of Font/Picture/Object Table");
  g_boxes.clear();
  CloseWrx(hwnd, 0);
}

namespace {
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE || msg == WM_DESTROY) {
    LRESULT r = WrxForeignProc(hwnd, msg, wp, lp);
    if (msg == WM_CREATE) return r;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

TEST_F(WrxWindowTest, TheTwoHundredAndFirstForeignWindowFindsNoSlot) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ForeignProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "WrxForeignTest";
  RegisterClassA(&wc);
  std::vector<HWND> windows;
  for (int i = 0; i < WRX_SLOTS; ++i) {
    HWND hwnd = CreateWindowExA(0, "WrxForeignTest", "", WS_CHILD, 0, 0, 50, 50, HostWindow(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr) << i;
    windows.push_back(hwnd);
  }
  EXPECT_EQ(SetWrxLine(windows[5], 0, "foreign", nullptr), 1);
  EXPECT_EQ(LineText(windows[5], 0), "foreign");
  HWND extra = CreateWindowExA(0, "WrxForeignTest", "", WS_CHILD, 0, 0, 50, 50, HostWindow(), nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(extra, nullptr);
  EXPECT_EQ(GetWrxLastError(nullptr, 0), 117);
  // A freed slot serves the next window.
  DestroyWindow(windows.back());
  windows.pop_back();
  extra = CreateWindowExA(0, "WrxForeignTest", "", WS_CHILD, 0, 0, 50, 50, HostWindow(), nullptr,
                          GetModuleHandleA(nullptr), nullptr);
  EXPECT_NE(extra, nullptr);
  windows.push_back(extra);
  for (HWND hwnd : windows) DestroyWindow(hwnd);
}

TEST_F(WrxWindowTest, SelectedTextAndTheWordUnderAPoint) {
  struct Case {
    DWORD style;
    long l1;
    int c1;
    long l2;
    int c2;
    const char* want;
  } cases[] = {
      {0, 0, 6, 1, 3, "world\r\nsec"},
      {0, 1, 0, 1, 6, "second\r\n"},
      {WRX_WORDWRAP, 0, 6, 1, 3, "world\r\nsec"},
      {WRX_WORDWRAP, 1, 3, 0, 6, "world\r\nsec"},  // reversed ends are normalised
  };
  for (const Case& c : cases) {
    HWND hwnd = CreateFromText("hello world\r\nsecond\r\n", c.style);
    SelectWrxText(hwnd, c.l1, c.c1, c.l2, c.c2, 0);
    char* text = GetWrxSelText(hwnd);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.want);
    WrxMemFree(text);
    DeselectWrxText(hwnd, 0);
    EXPECT_EQ(GetWrxSelText(hwnd), nullptr);
    CloseWrx(hwnd, 0);
  }
  HWND hwnd = CreateFromText("hello <world>\r\nsecond\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  const int x = w->fonts[0].widths['h'] * 8;  // inside "<world>"
  char* word = GetWrxWordAt(hwnd, MAKELONG(x, 1));
  ASSERT_NE(word, nullptr);
  EXPECT_STREQ(word, "<world>");
  word = GetWrxWordAt(hwnd, MAKELONG(1, w->charHeight + w->extLeading + 1));
  ASSERT_NE(word, nullptr);
  EXPECT_STREQ(word, "second");
  CloseWrx(hwnd, 0);
}

TEST_F(WrxWindowTest, DestroyingOrEndingASessionNeverWritesTheFileBehindTheHostsBack) {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  const std::string path = std::string(base) + "wrxdestroy" + std::to_string(GetCurrentProcessId()) + ".txt";
  WriteFileBytes(path, "original\r\n");
  WrxArgList a = HiddenArgs();
  a.inputKind = 'F';
  strncpy(a.fileName, path.c_str(), sizeof a.fileName - 1);
  HWND hwnd = CreateHidden(a);
  ASSERT_NE(hwnd, nullptr);
  SetWrxLine(hwnd, 0, "changed", nullptr);
  EXPECT_EQ(SendMessageA(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_TRUE(IsWindow(hwnd)) << "the session may still be cancelled";
  DestroyWindow(hwnd);
  EXPECT_EQ(GetWrxWindow(hwnd), nullptr);
  EXPECT_EQ(ReadFileBytes(path), "original\r\n");
  DeleteFileA(path.c_str());
}
