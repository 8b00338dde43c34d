// Paragraph and tab commands on real windows: the paragraphs a selection
// covers, shared records, and what each command leaves alone.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_paramodel.h"

#include <gtest/gtest.h>

using namespace wrxtest;

namespace {

class WrxParaTest : public WrxHostTest {
 protected:
  HWND Make(DWORD style = WRX_WORDWRAP) {
    HWND hwnd = CreateFromText("first paragraph\r\nsecond paragraph\r\nthird paragraph\r\n", style);
    windows_.push_back(hwnd);
    WrxRewrap(hwnd);
    return hwnd;
  }
  const wrxfmt::WrxParaRecord& Para(HWND hwnd, long line) {
    WrxWindow* w = GetWrxWindow(hwnd);
    return w->paras[size_t(w->lines[line]->para)];
  }
  int ParaId(HWND hwnd, long line) { return GetWrxWindow(hwnd)->lines[line]->para; }
};

}  // namespace

TEST_F(WrxParaTest, CommandsChangeTheSelectedParagraphsAndShareRecords) {
  HWND hwnd = Make();
  SetWrxCursorPos(hwnd, 1, 3, 0);
  SendMessageA(hwnd, WM_COMMAND, 657, 0);  // centre
  EXPECT_EQ(Para(hwnd, 1).flags & (wrxpara::kCentred | wrxpara::kLeft), wrxpara::kCentred);
  EXPECT_FALSE(Para(hwnd, 0).flags & wrxpara::kCentred) << "only the cursor's paragraph";
  EXPECT_EQ(WrxMenuCheck(hwnd, 657), UINT(MF_CHECKED));
  SendMessageA(hwnd, WM_COMMAND, 657, 0);  // and off again: no alignment bit
  EXPECT_EQ(Para(hwnd, 1).flags & (wrxpara::kCentred | wrxpara::kRight | wrxpara::kJustified), 0);
  // Two paragraphs given the same values share one record; changing one
  // gives it another and leaves the other as it was.
  SelectWrxText(hwnd, 0, 2, 1, 2, 0);
  ASSERT_TRUE(SetWrxParaFlags(hwnd, wrxpara::kJustified, 1, 0));
  EXPECT_EQ(ParaId(hwnd, 0), ParaId(hwnd, 1));
  EXPECT_NE(ParaId(hwnd, 0), ParaId(hwnd, 2));
  DeselectWrxText(hwnd, 0);
  SetWrxCursorPos(hwnd, 0, 0, 0);
  ASSERT_TRUE(WrxLeftIndent(hwnd, 1, 0));
  EXPECT_EQ(Para(hwnd, 0).leftIndent, 720);
  EXPECT_EQ(Para(hwnd, 1).leftIndent, 0);
  EXPECT_TRUE(Para(hwnd, 1).flags & wrxpara::kJustified);
  // Borders, spacing and bullets through their calls.
  ASSERT_TRUE(ParaBoxParam(hwnd, wrxpara::kBorderTop, 0, "25"));
  EXPECT_EQ(Para(hwnd, 0).spaceBefore, 60);
  EXPECT_EQ(Para(hwnd, 0).shading, 2500);
  ASSERT_TRUE(SetParaSpacing(hwnd, 9000, 100, -3000, 0));
  EXPECT_EQ(Para(hwnd, 0).spaceBefore, 5000);
  EXPECT_EQ(Para(hwnd, 0).lineSpacing, -2000);
  SendMessageA(hwnd, WM_COMMAND, 729, 0);
  EXPECT_TRUE(Para(hwnd, 0).flags & wrxpara::kBullet);
  EXPECT_EQ(Para(hwnd, 0).leftIndent, 1080);
}

TEST_F(WrxParaTest, TabStopsAreSharedClearedAndLeaveTheRestAlone) {
  HWND hwnd = Make();
  SetWrxCursorPos(hwnd, 0, 0, 0);
  ASSERT_TRUE(WrxLeftIndent(hwnd, 1, 0));
  ASSERT_TRUE(WrxSetTab(hwnd, 0, 3100, 0));
  ASSERT_TRUE(WrxSetTab(hwnd, 1, 7800, 0));
  SetWrxCursorPos(hwnd, 2, 0, 0);
  ASSERT_TRUE(WrxSetTab(hwnd, 1, 7800, 0));
  ASSERT_TRUE(WrxSetTab(hwnd, 0, 3110, 0));
  const wrxpara::WrxTab t0 = wrxpara::TabFromRecord(GetWrxWindow(hwnd)->tabs[size_t(Para(hwnd, 0).tabId)]);
  ASSERT_EQ(t0.count, 2);
  ASSERT_TRUE(WrxClearTab(hwnd, 3110, 0));
  ASSERT_TRUE(WrxSetTab(hwnd, 0, 3100, 0));
  EXPECT_EQ(Para(hwnd, 2).tabId, Para(hwnd, 0).tabId) << "equal stops share a record";
  // Clearing the last stop gives the shared empty record.
  SetWrxCursorPos(hwnd, 1, 0, 0);
  ASSERT_TRUE(WrxSetTab(hwnd, 2, 500, 0));
  ASSERT_TRUE(WrxClearTab(hwnd, 530, 0));
  EXPECT_EQ(Para(hwnd, 1).tabId, 0);
  // ClearParaFlags drops the stops and nothing else.
  SetWrxCursorPos(hwnd, 0, 0, 0);
  ASSERT_TRUE(ClearParaFlags(hwnd, 0));
  EXPECT_EQ(Para(hwnd, 0).tabId, 0);
  EXPECT_EQ(Para(hwnd, 0).leftIndent, 720);
}

TEST_F(WrxParaTest, TwentyFirstStopIsRefusedAndPlainWindowsChangeNothing) {
  HWND hwnd = Make();
  SetWrxFlags(hwnd, WRXF_SILENT);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(WrxSetTab(hwnd, 0, 100 * (i + 1), 0));
  WrxSetTab(hwnd, 0, 9000, 0);
  ASSERT_FALSE(g_errors.empty());
  EXPECT_EQ(g_errors.back(), 114);
  EXPECT_EQ(g_routines.back(), "Set Tab");
  HWND plain = Make(0);
  const size_t before = GetWrxWindow(plain)->paras.size();
  EXPECT_EQ(SetWrxParaFlags(plain, wrxpara::kCentred, 1, 0), 0);
  EXPECT_EQ(WrxSetTab(plain, 0, 720, 0), 0);
  EXPECT_EQ(GetWrxWindow(plain)->paras.size(), before);
  EXPECT_EQ(ZoomParam(hwnd, 10), 100);
  EXPECT_EQ(GetWrxWindow(hwnd)->zoom, 25);
  EXPECT_EQ(ZoomParam(hwnd, 500), 25);
  EXPECT_EQ(GetWrxWindow(hwnd)->zoom, 200);
  EXPECT_EQ(ZoomParam(hwnd, 200), 200) << "the same zoom changes nothing";
  ZoomParam(hwnd, 100);
}

TEST_F(WrxParaTest, RulerClicksSetAndClearStops) {
  HWND hwnd = Make();
  WrxWindow* w = GetWrxWindow(hwnd);
  w->resX = 96;
  w->hOffset = 0;
  const int left = w->textRect.left;
  SetWrxCursorPos(hwnd, 1, 0, 0);
  auto stops = [&]() {
    const wrxpara::WrxTab t =
        Para(hwnd, 1).tabId > 0 ? wrxpara::TabFromRecord(w->tabs[size_t(Para(hwnd, 1).tabId)]) : wrxpara::WrxTab{};
    std::vector<std::pair<int32_t, int32_t>> out;
    for (int k = 0; k < t.count; ++k) out.push_back({t.positions[k], t.kinds[k]});
    return out;
  };
  using Stops = std::vector<std::pair<int32_t, int32_t>>;
  BYTE keys[256] = {};
  SetKeyboardState(keys);
  w->rulerSnap = 0;
  ASSERT_TRUE(RulerClick(w, WM_LBUTTONDOWN, left + 96));  // one inch
  ASSERT_TRUE(RulerClick(w, WM_RBUTTONDOWN, left + 192));
  EXPECT_EQ(stops(), (Stops{{1440, 0}, {2880, 1}}));
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  ASSERT_TRUE(RulerClick(w, WM_LBUTTONDOWN, left + 48));
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(stops(), (Stops{{720, 2}, {1440, 0}, {2880, 1}}));
  // A click within 44 twips of a stop takes it away.
  ASSERT_TRUE(RulerClick(w, WM_LBUTTONDOWN, left + 98));
  EXPECT_EQ(stops(), (Stops{{720, 2}, {2880, 1}}));
  // Snapping rounds to 90 twips; a click left of the text sets nothing.
  w->rulerSnap = 1;
  ASSERT_TRUE(RulerClick(w, WM_LBUTTONDOWN, left + 100));  // 1500 twips -> 1530
  EXPECT_EQ(stops(), (Stops{{720, 2}, {1530, 0}, {2880, 1}}));
  EXPECT_FALSE(RulerClick(w, WM_LBUTTONDOWN, left - 10));
  EXPECT_EQ(Para(hwnd, 0).tabId, 0) << "only the cursor's paragraph";
}
