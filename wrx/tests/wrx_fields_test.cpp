// Page-number fields and footnotes inserted at the cursor.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace wrxtest;

namespace {

class WrxFieldsTest : public WrxHostTest {
 protected:
  HWND Window(const std::string& text, DWORD style = 0) {
    HWND hwnd = CreateFromText(text, style);
    windows_.push_back(hwnd);
    return hwnd;
  }
  // Each character of a line with the style bits of its font.
  static std::vector<std::pair<char, DWORD>> Styled(HWND hwnd, long line) {
    std::vector<std::pair<char, DWORD>> out;
    const std::string text = LineText(hwnd, line);
    for (size_t k = 0; k < text.size(); ++k) {
      DWORD style = 0;
      GetWrxFontInfo(hwnd, GetWrxCharFont(hwnd, line, int(k)), nullptr, nullptr, &style);
      out.emplace_back(text[k], style);
    }
    return out;
  }
};

}  // namespace

TEST_F(WrxFieldsTest, ThePageNumberGoesInAsAFieldAtTheCursor) {
  HWND hwnd = Window("abcd\r\n");
  SetWrxCursorPos(hwnd, 0, 2, 0);
  SendMessageA(hwnd, WM_COMMAND, 719, 0);
  EXPECT_EQ(LineText(hwnd, 0), "ab1cd");
  WrxWindow* w = GetWrxWindow(hwnd);
  EXPECT_EQ(w->fonts[GetWrxCharFont(hwnd, 0, 2)].kind, 1);
  EXPECT_EQ(w->fonts[GetWrxCharFont(hwnd, 0, 3)].kind, 0) << "the text after it keeps its font";
  EXPECT_EQ(w->curCol, 3);
  SetWrxCursorPos(hwnd, 0, 2, 0);
  EXPECT_EQ(WrxMenuCheck(hwnd, 719), UINT(MF_CHECKED)) << "the cursor stands on the field";
  SetWrxCursorPos(hwnd, 0, 0, 0);
  EXPECT_EQ(WrxMenuCheck(hwnd, 719), 0u);
  // In word wrap the line that holds the number says so in its information.
  HWND wrapped = Window("abcd\r\n", WRX_WORDWRAP);
  SetWrxCursorPos(wrapped, 0, 2, 0);
  SendMessageA(wrapped, WM_COMMAND, 719, 0);
  WrxWindow* ww = GetWrxWindow(wrapped);
  ASSERT_NE(ww->lines[0]->info, nullptr);
  EXPECT_TRUE(ww->lines[0]->info->flags & LI_AUTONUMBER);
  // A read-only window takes no field.
  HWND readOnly = Window("abcd\r\n", WRX_READONLY);
  SendMessageA(readOnly, WM_COMMAND, 719, 0);
  EXPECT_EQ(LineText(readOnly, 0), "abcd");
}

TEST_F(WrxFieldsTest, AFootnoteInsertsItsMarkItsOwnMarkAndItsText) {
  struct Case {
    const char* name;
    const char* marker;
    const char* note;
    std::vector<std::pair<char, DWORD>> inserted;
  } cases[] = {
      {"one-character mark",
       "1",
       "see",
       {{'1', 0x410}, {'1', 0x810}, {' ', 0x800}, {'s', 0x800}, {'e', 0x800}, {'e', 0x800}}},
      {"a longer mark continues after the note",
       "12",
       "n",
       {{'1', 0x410}, {'1', 0x810}, {'2', 0x810}, {' ', 0x800}, {'n', 0x800}, {'2', 0x1010}}},
      {"a mark without text", "*", "", {{'*', 0x410}}},
  };
  for (const Case& c : cases) {
    HWND hwnd = Window("abcd\r\n");
    SetWrxCursorPos(hwnd, 0, 2, 0);
    ASSERT_EQ(FootnoteParam(hwnd, c.marker, c.note, 0x10 | 0x800, 0), 1) << c.name;
    auto styled = Styled(hwnd, 0);
    ASSERT_EQ(styled.size(), 4 + c.inserted.size()) << c.name;
    const std::vector<std::pair<char, DWORD>> middle(styled.begin() + 2, styled.end() - 2);
    EXPECT_EQ(middle, c.inserted) << c.name;
    EXPECT_EQ(styled.back(), (std::pair<char, DWORD>('d', 0))) << c.name;
  }
  HWND hwnd = Window("abcd\r\n");
  EXPECT_EQ(FootnoteParam(hwnd, nullptr, "text", 0, 0), 0) << "no mark: the dialog's part";
  EXPECT_EQ(FootnoteParam(HostWindow(), "1", "x", 0, 0), 0);
  EXPECT_EQ(LineText(hwnd, 0), "abcd");
}
