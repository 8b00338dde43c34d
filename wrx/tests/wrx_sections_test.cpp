// Sections on real windows: ranges from break lines, lines moving them,
// header and footer groups made, removed and put in place, and the search for
// styled characters.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace wrxtest;

namespace {

class WrxSectionsTest : public WrxHostTest {
 protected:
  // A page-mode word-wrap window with printer metrics.
  WrxWindow* PageWindow(const std::string& text) {
    WrxArgList a = HiddenArgs(WRX_WORDWRAP);
    a.printView = 1;
    a.pageMode = 1;
    SetArgsText(a, text);
    HWND hwnd = CreateWrxWindow(&a);
    windows_.push_back(hwnd);
    return GetWrxWindow(hwnd);
  }
  // Puts a section break closing `section` at `line`; `inTable` adds the
  // section to the table.
  static void Break(WrxWindow* w, int32_t line, int32_t section, bool inTable = true) {
    if (inTable && w->sections.size() <= size_t(section)) w->sections.resize(size_t(section) + 1);
    if (inTable && section > 0) InitSection(w, section);
    ASSERT_EQ(InsertMarkerLine(w, line, WRX_SECTBREAK, 0, 0, LI_SECTBREAK, -1), 1);
    w->lines[line]->info->section = section;
  }
  static std::string Text(WrxWindow* w) {
    std::string all;
    for (int32_t k = 0; k < w->lineCount; ++k) all += LineText(w->hwnd, k) + "|";
    return all;
  }
};

}  // namespace

TEST_F(WrxSectionsTest, BreaksMakeSectionsThatLinesMove) {
  WrxWindow* w = PageWindow("a\r\nb\r\nc\r\nd\r\ne\r\n");
  RecalcSections(w);
  EXPECT_EQ(GetLineSection(w, 3), 0) << "one section without breaks";
  EXPECT_EQ(w->sections[0].firstLine, 0);
  EXPECT_EQ(w->sections[0].lastLine, w->lineCount - 1);

  Break(w, 2, 1);         // a b | c d e
  Break(w, 0, 7, false);  // a break naming no section of the table
  RecalcSections(w);
  EXPECT_EQ(w->sections[1].firstLine, 0);
  EXPECT_EQ(w->sections[1].lastLine, 3);
  EXPECT_EQ(GetLineSection(w, 0), 1) << "the bad break belongs to the section after it";
  EXPECT_EQ(GetLineSection(w, 4), 0);

  // Two lines inserted above the break move its section's end and section 0.
  const int32_t first0 = w->sections[0].firstLine;
  ASSERT_EQ(InsertDeleteLines(w, 1, 2), 1);
  EXPECT_EQ(w->sections[1].lastLine, 5);
  EXPECT_EQ(w->sections[0].firstLine, first0 + 2);
  EXPECT_EQ(w->sections[0].lastLine, w->lineCount - 1);
  EXPECT_EQ(RecalcSections(w), 0) << "the moved numbers were right";
}

TEST_F(WrxSectionsTest, HeaderAndFooterViewOnAndOffLeavesTheDocument) {
  WrxWindow* w = PageWindow("one\r\ntwo\r\nthree\r\nfour\r\n");
  Break(w, 2, 1);
  RecalcSections(w);
  const std::string before = Text(w);
  const int32_t lines = w->lineCount;
  SetWrxCursorPos(w->hwnd, 3, 1, 0);
  SendMessageA(w->hwnd, WM_COMMAND, 677, 0);
  ASSERT_TRUE(w->hdrFtrShown);
  EXPECT_TRUE(w->hdrFtrEdit);
  EXPECT_EQ(w->lineCount, lines + 12) << "a header and a footer for each of two sections";
  const wrxsect::WrxSectionPage& p1 = w->sectionPages[1];
  EXPECT_EQ(p1.hdrFirst, 0);
  EXPECT_EQ(p1.hdrLast, 2);
  EXPECT_EQ(p1.ftrFirst, 3);
  EXPECT_EQ(p1.ftrLast, 5);
  EXPECT_EQ(LineText(w->hwnd, 0), "\x11");
  EXPECT_EQ(LineText(w->hwnd, 1), "\x15");
  EXPECT_TRUE(w->paras[size_t(w->lines[1]->para)].flags & PF_HEADER);
  EXPECT_TRUE(w->paras[size_t(w->lines[4]->para)].flags & PF_FOOTER);
  EXPECT_EQ(w->sections[0].firstLine, 9);
  EXPECT_TRUE(w->paras[size_t(w->lines[w->curLine]->para)].flags & PF_HEADER) << "the cursor goes into its header";

  SendMessageA(w->hwnd, WM_COMMAND, 677, 0);
  EXPECT_FALSE(w->hdrFtrShown);
  EXPECT_EQ(Text(w), before);
  EXPECT_LT(w->curLine, w->lineCount);
  EXPECT_EQ(w->sections[0].firstLine, 3);

  // Off page mode the switch does nothing.
  w->arg.pageMode = 0;
  EXPECT_EQ(ToggleHdrFtrView(w), 0);
  EXPECT_EQ(Text(w), before);
}

TEST_F(WrxSectionsTest, StrayHeaderGroupMovesToItsSectionStart) {
  WrxWindow* w = PageWindow("body one\r\nbody two\r\n");
  wrxfmt::WrxParaRecord h{};
  h.flags = PF_HEADER | PF_LEFT;
  const int32_t hp = FindOrAddPara(w, -1, h);
  // A header group left below the text, its closing delimiter lost.
  ASSERT_EQ(InsertMarkerLine(w, 2, WRX_PARAEND, 0, hp, 0, -1), 1);
  ASSERT_EQ(InsertMarkerLine(w, 2, WRX_PARAEND, 0, hp, 0, -1), 1);
  ASSERT_EQ(InsertMarkerLine(w, 2, WRX_HEADERDELIM, 0, hp, LI_HEADER, -1), 1);
  ASSERT_EQ(FixHdrFtrPlacement(w, 0), 1);
  EXPECT_EQ(LineText(w->hwnd, 0), "\x11");
  EXPECT_EQ(LineText(w->hwnd, 1), "\x15");
  EXPECT_EQ(LineText(w->hwnd, 2), "\x11") << "the group's last line becomes its delimiter";
  EXPECT_EQ(LineText(w->hwnd, 3), "body one\x15");
  EXPECT_EQ(w->sectionPages[0].hdrFirst, 0);
  EXPECT_EQ(w->sectionPages[0].hdrLast, 2);
}

TEST_F(WrxSectionsTest, FindStyledCharBothWays) {
  HWND hwnd = CreateFromText("plain text\r\nmore plain\r\n", WRX_WORDWRAP);
  windows_.push_back(hwnd);
  SelectWrxText(hwnd, 1, 5, 1, 7, 0);
  ASSERT_TRUE(WrxSetCharStyle(hwnd, 0x400, 1, 0));
  DeselectWrxText(hwnd, 0);
  struct Case {
    DWORD mask;
    int wantSet;
    long line;
    int col;
    int forward;
    int found;
    long wantLine;
    int wantCol;
  } cases[] = {
      {0x400, 1, 0, 0, 1, 1, 1, 5},  // the first marked character
      {0x400, 1, 1, 6, 1, 1, 1, 6},  // from a marked one, itself
      {0x400, 0, 1, 5, 1, 1, 1, 7},  // the first unmarked after the mark
      {0x400, 1, 1, 9, 0, 1, 1, 6},  // backward: the last marked
      {0x400, 1, 0, 5, 0, 0, 0, 5},  // backward from before it: none
      {0x800, 1, 0, 0, 1, 0, 0, 0},  // nothing has the bit
  };
  for (const Case& c : cases) {
    long line = c.line;
    int col = c.col;
    EXPECT_EQ(WrxFindStyledChar(hwnd, c.mask, c.wantSet, &line, &col, c.forward), c.found) << c.line << "," << c.col;
    EXPECT_EQ(line, c.wantLine) << c.line << "," << c.col;
    EXPECT_EQ(col, c.wantCol) << c.line << "," << c.col;
  }
  long line = 0;
  int col = 0;
  EXPECT_EQ(WrxFindStyledChar(HostWindow(), 0x400, 1, &line, &col, 1), 0) << "no control window";
}
