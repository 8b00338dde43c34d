// Cut, copy and paste through the real clipboard between control windows of
// one process.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <string>

using namespace wrxtest;

namespace {

class WrxClipboardTest : public WrxHostTest {
 protected:
  HWND Make(const std::string& text, DWORD style = WRX_WORDWRAP) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    if (style & WRX_WORDWRAP) WrxRewrap(hwnd);
    return hwnd;
  }
  static std::string ClipboardText() {
    std::string s;
    if (!OpenClipboard(nullptr)) return "<closed>";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
      s = static_cast<const char*>(GlobalLock(h));
      GlobalUnlock(h);
    }
    CloseClipboard();
    return s;
  }
  static void PutText(const char* text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    strcpy(static_cast<char*>(GlobalLock(h)), text);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
  }
};

}  // namespace

TEST_F(WrxClipboardTest, CopiedTextLosesOnlyItsFinalLineEnd) {
  struct Case {
    const char* what;
    long l1;
    int c1;
    long l2;
    int c2;
    const char* expected;
  } cases[] = {
      {"ab and its paragraph end", 0, 0, 0, 3, "ab"},
      {"two whole paragraphs", 0, 0, 1, 4, "ab\r\ncdx"},
      {"inside a word", 1, 1, 1, 2, "d"},
  };
  HWND hwnd = Make("ab\r\ncdx\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SelectWrxText(hwnd, c.l1, c.c1, c.l2, c.c2, 0);
    SendMessageA(hwnd, WM_COMMAND, 629, 0);
    EXPECT_EQ(ClipboardText(), c.expected);
  }
}

TEST_F(WrxClipboardTest, PastingPrefersRtfAndKeepsFontsAndParagraphs) {
  HWND from = Make("plain bold\r\ncentred line\r\n");
  const int bold = SetWrxFont(from, -1, 1, "Arial", 14, 2, 0, 0xFFFFFF, 0, 0);
  unsigned char ids[16] = {0, 0, 0, 0, 0, 0, uint8_t(bold), uint8_t(bold), uint8_t(bold), uint8_t(bold), uint8_t(bold)};
  SetWrxLine(from, 0, "plain bold\x15", ids);
  SetWrxCursorPos(from, 1, 0, 0);
  SetWrxParaFlags(from, PF_CENTRED, 1, 0);
  SelectWrxText(from, 0, 0, 1, 13, 0);
  SendMessageA(from, WM_COMMAND, 629, 0);
  HWND to = Make("xy\r\n");
  SetWrxCursorPos(to, 0, 1, 0);
  SendMessageA(to, WM_COMMAND, 630, 0);
  WrxWindow* w = GetWrxWindow(to);
  EXPECT_EQ(LineText(to, 0), "xplain bold\x15");
  EXPECT_EQ(LineText(to, 1).substr(0, 12), "centred line");
  const WrxFont& f = w->fonts[GetCharFont(w, 0, 7)];
  EXPECT_EQ(f.style & 2, 2u);
  EXPECT_EQ(f.pointSize, 14);
  EXPECT_TRUE(w->paras[size_t(w->lines[1]->para)].flags & PF_CENTRED);
  // The paste is one undo step.
  SetWrxFlags(to, WRXF_SILENT);
  ASSERT_EQ(Undo(w), 1);
  EXPECT_EQ(LineText(to, 0), "xy\x15");
  // Text alone pastes as text; a cut removes what it copied.
  PutText("one\r\ntwo");
  SetWrxCursorPos(to, 0, 0, 0);
  SendMessageA(to, WM_COMMAND, 630, 0);
  EXPECT_EQ(LineText(to, 0), "one\x15");
  EXPECT_EQ(LineText(to, 1), "twoxy\x15");
  SelectWrxText(to, 1, 0, 1, 3, 0);
  SendMessageA(to, WM_COMMAND, 628, 0);
  EXPECT_EQ(ClipboardText(), "two");
  EXPECT_EQ(LineText(to, 1), "xy\x15");
}

TEST_F(WrxClipboardTest, NothingUsableIsErrorElevenAndALoneBitmapPastesAsAPicture) {
  HWND hwnd = Make("text\r\n");
  SetWrxFlags(hwnd, WRXF_SILENT);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(CopyFromClipboard(GetWrxWindow(hwnd), 0), 0);
  EXPECT_EQ(g_errors.back(), 11);
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 20, 10);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_BITMAP, bmp);
  CloseClipboard();
  SetWrxCursorPos(hwnd, 0, 0, 0);
  EXPECT_EQ(CopyFromClipboard(GetWrxWindow(hwnd), 0), 1);
  WrxWindow* w = GetWrxWindow(hwnd);
  EXPECT_TRUE(w->fonts[GetCharFont(w, 0, 0)].style & 128);
  EXPECT_EQ(LineText(hwnd, 0), "_text\x15");
}
