#include "wrx/wrx_paramodel.h"

#include <gtest/gtest.h>

using namespace wrxpara;

TEST(WrxParaModel, AlignmentBitsExcludeEachOther) {
  struct Case {
    int32_t before, bits;
    bool on;
    int32_t after;
  } cases[] = {
      {kJustified, kCentred, true, kCentred},
      {kCentred, kCentred, false, 0},
      {kLeft | kBullet, kRight, true, kRight | kBullet},
      {kRight, kLeft, true, kLeft},
      {kHeader, kFooter, true, kFooter},
      {kCentred, kJustified, true, kJustified},
  };
  for (const Case& c : cases) {
    wrxfmt::WrxParaRecord p{};
    p.flags = c.before;
    ApplyParaFlags(p, c.bits, c.on, false);
    EXPECT_EQ(p.flags, c.after) << std::hex << c.before << " " << c.bits;
  }
  wrxfmt::WrxParaRecord p{};
  p.flags = kHeader;
  ApplyParaFlags(p, kCentred, true, true);
  EXPECT_EQ(p.flags, kCentred) << "a break line is never header text";
}

TEST(WrxParaModel, BordersMakeRoomAndGiveItBack) {
  wrxfmt::WrxParaRecord p{};
  ApplyParaFlags(p, kBorderTop | kBorderBottom | kBorderLeft | kBorderRight, true, false);
  EXPECT_EQ(p.spaceBefore, 60);
  EXPECT_EQ(p.spaceAfter, 40);
  EXPECT_EQ(p.leftIndent, 60);
  EXPECT_EQ(p.rightIndent, 60);
  ApplyParaFlags(p, kBorderTop | kBorderBottom | kBorderLeft | kBorderRight, false, false);
  EXPECT_EQ(p.spaceBefore, 0);
  EXPECT_EQ(p.spaceAfter, 0);
  EXPECT_EQ(p.leftIndent, 0);
  EXPECT_EQ(p.rightIndent, 0);
  // A hanging first line keeps 60 twips of room too; a frame's paragraph
  // keeps its spacing.
  wrxfmt::WrxParaRecord h{};
  h.leftIndent = 100, h.firstIndent = -100, h.placement = 1;
  ApplyParaFlags(h, kBorderLeft | kBorderTop, true, false);
  EXPECT_EQ(h.leftIndent, 160);
  EXPECT_EQ(h.spaceBefore, 0);
  wrxfmt::WrxParaRecord d{};
  d.lineSpacing = 300;
  ApplyParaFlags(d, kDouble, true, false);
  EXPECT_EQ(d.lineSpacing, 0);
}

TEST(WrxParaModel, IndentStepsFollowStopsThenTheDefaultWidth) {
  WrxTab none{};
  WrxTab stops{};
  ASSERT_TRUE(SetStop(stops, 1000, 0, 0));
  ASSERT_TRUE(SetStop(stops, 3000, 0, 0));
  struct Case {
    int32_t left;
    const WrxTab* tabs;
    bool increase;
    int32_t expected;
  } cases[] = {
      {720, &none, false, 0},      {720, &none, true, 1440},   {700, &none, true, 720},
      {0, &none, false, 0},        {5700, &none, true, 5760},  {500, &stops, true, 1000},
      {2000, &stops, false, 1000}, {3000, &stops, true, 3600}, {1000, &stops, false, 720},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StepLeftIndent(c.left, *c.tabs, 720, c.increase), c.expected) << c.left << " " << c.increase;
}

TEST(WrxParaModel, RulerIndentChangesStayInBoundsAndSnap) {
  wrxfmt::WrxParaRecord p{};
  p.leftIndent = 100;
  ChangeIndents(p, -300, 0, 300, 0);  // the left marker dragged past the margin
  EXPECT_EQ(p.leftIndent, 0);
  EXPECT_EQ(p.firstIndent, 100);
  ChangeIndents(p, 0, 9000, -9000, 0);
  EXPECT_EQ(p.rightIndent, 5760);
  EXPECT_EQ(p.firstIndent, 0) << "never before the margin";
  ChangeIndents(p, 140, -5760, 0, 90);
  EXPECT_EQ(p.leftIndent, 180);
  EXPECT_EQ(RoundToMultiple(45, 90), 90);
  EXPECT_EQ(RoundToMultiple(-45, 90), -90);
  EXPECT_EQ(RoundToMultiple(35, 71), 0);
}

TEST(WrxParaModel, StopsReplaceWithinThirtyAndClearWithinFortyFive) {
  WrxTab t{};
  ASSERT_TRUE(SetStop(t, 1440, 0, 0));
  ASSERT_TRUE(SetStop(t, 1460, 1, 1));  // 20 away: the same stop
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.kinds[0], 1);
  EXPECT_EQ(t.leaders[0], 1);
  EXPECT_EQ(t.positions[0], 1460);
  ASSERT_TRUE(SetStop(t, 1491, 2, 0));  // 31 away: a second stop
  ASSERT_TRUE(SetStop(t, 100, 9, 0));   // a bad kind becomes left
  ASSERT_EQ(t.count, 3);
  EXPECT_EQ(t.positions[0], 100);
  EXPECT_EQ(t.kinds[0], 0);
  EXPECT_EQ(ClearStops(t, 1475), 2) << "every stop within 45 twips goes";
  EXPECT_EQ(t.count, 1);
  WrxTab full{};
  for (int i = 0; i < kMaxStops; ++i) ASSERT_TRUE(SetStop(full, 100 * (i + 1), 0, 0));
  EXPECT_FALSE(SetStop(full, 5000, 0, 0));
  WrxTab a{}, b{};
  SetStop(a, 720, 0, 0);
  SetStop(b, 720, 0, 0);
  b.positions[5] = 99;  // beyond the count: not compared
  EXPECT_TRUE(SameTabs(a, b));
  EXPECT_TRUE(SameTabs(TabFromRecord(TabToRecord(b)), a));
}

TEST(WrxParaModel, NormalAndBulletKeepWhatTheyMust) {
  wrxfmt::WrxParaRecord p{};
  p.leftIndent = 700, p.firstIndent = -200, p.flags = kCentred | kBorderTop | kHeader, p.numbering = 0x600;
  p.spaceBefore = 90, p.tabId = 3;
  NormalPara(p);
  EXPECT_EQ(p.flags, kBorderTop | kHeader | kLeft);
  EXPECT_EQ(p.numbering, 0x600);
  EXPECT_EQ(p.leftIndent, 0);
  EXPECT_EQ(p.tabId, 0);
  SetBullet(p, true);
  EXPECT_EQ(p.leftIndent, 360);
  EXPECT_EQ(p.firstIndent, -360);
  SetBullet(p, true);
  EXPECT_EQ(p.leftIndent, 360) << "a second switch-on moves nothing";
  SetBullet(p, false);
  EXPECT_EQ(p.leftIndent, 0);
  EXPECT_EQ(p.firstIndent, 0);
}
