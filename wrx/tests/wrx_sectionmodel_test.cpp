#include "wrx/wrx_sectionmodel.h"

#include <gtest/gtest.h>

using namespace wrxsect;

namespace {

// Lines from a picture: 'h' header delimiter, 'f' footer delimiter, a digit a
// break closing that section, anything else plain text.
std::vector<LineMark> Lines(const char* picture) {
  std::vector<LineMark> out;
  for (const char* c = picture; *c; ++c) {
    LineMark m;
    if (*c == 'h') m.flags = kHeaderDelim;
    if (*c == 'f') m.flags = kFooterDelim;
    if (*c >= '0' && *c <= '9') m.flags = kSectionBreak, m.section = *c - '0';
    out.push_back(m);
  }
  return out;
}

std::vector<wrxfmt::WrxSectionRecord> Table(size_t n) {
  std::vector<wrxfmt::WrxSectionRecord> t(n);
  for (auto& s : t) s.orientation = 1, s.continuous = 1;
  return t;
}

}  // namespace

TEST(WrxSectionModel, RangesAndGroupsFollowTheBreaks) {
  struct Case {
    const char* lines;
    size_t tableSize;
    // first, last, hdrFirst, hdrLast, ftrFirst, ftrLast of sections 0, 1, 2
    int32_t want[3][6];
    bool inUse1, inUse2;
  } cases[] = {
      // No breaks: section 0 covers everything.
      {"xxxx", 3, {{0, 3, -1, -1, -1, -1}}, false, false},
      // A header group in the first section, a footer in the last.
      {"hxhxx1xfxfx", 3, {{6, 10, -1, -1, 7, 9}, {0, 5, 0, 2, -1, -1}}, true, false},
      {"xx2xx1xx", 3, {{6, 7, -1, -1, -1, -1}, {3, 5, -1, -1, -1, -1}, {0, 2, -1, -1, -1, -1}}, true, true},
      // A break naming a section the table lacks (or section 0) is no break.
      {"xx7xx1xx", 3, {{6, 7, -1, -1, -1, -1}, {0, 5, -1, -1, -1, -1}}, true, false},
      {"xx0xx", 3, {{0, 4, -1, -1, -1, -1}}, false, false},
      // The same section closed twice: only the first counts.
      {"x1x1x", 3, {{2, 4, -1, -1, -1, -1}, {0, 1, -1, -1, -1, -1}}, true, false},
  };
  for (const Case& c : cases) {
    auto sections = Table(c.tableSize);
    std::vector<WrxSectionPage> pages;
    Recalc(sections, pages, Lines(c.lines));
    ASSERT_EQ(pages.size(), sections.size());
    EXPECT_TRUE(sections[0].inUse) << c.lines;
    EXPECT_EQ(bool(sections[1].inUse), c.inUse1) << c.lines;
    EXPECT_EQ(bool(sections[2].inUse), c.inUse2) << c.lines;
    for (int s = 0; s < 3; ++s) {
      if (!sections[size_t(s)].inUse) continue;
      const int32_t* w = c.want[s];
      EXPECT_EQ(sections[size_t(s)].firstLine, w[0]) << c.lines << " section " << s;
      EXPECT_EQ(sections[size_t(s)].lastLine, w[1]) << c.lines << " section " << s;
      const WrxSectionPage& p = pages[size_t(s)];
      EXPECT_EQ(p.hdrFirst, w[2]) << c.lines << " section " << s;
      EXPECT_EQ(p.hdrLast, w[3]) << c.lines << " section " << s;
      EXPECT_EQ(p.ftrFirst, w[4]) << c.lines << " section " << s;
      EXPECT_EQ(p.ftrLast, w[5]) << c.lines << " section " << s;
    }
  }
}

TEST(WrxSectionModel, ChangesAreReportedWithTheFirstStaleLine) {
  auto sections = Table(3);
  std::vector<WrxSectionPage> pages;
  RecalcResult r = Recalc(sections, pages, Lines("xx1xx2xx"));
  EXPECT_TRUE(r.layoutChanged);
  r = Recalc(sections, pages, Lines("xx1xx2xx"));
  EXPECT_FALSE(r.layoutChanged);
  EXPECT_EQ(r.staleLine, INT32_MAX);
  r = Recalc(sections, pages, Lines("xx1xxx2xx"));
  EXPECT_TRUE(r.layoutChanged);
  EXPECT_EQ(r.staleLine, 3) << "section 2 starts where it did but ends later";
  EXPECT_EQ(pages[2].prevSection, 1);
  EXPECT_EQ(pages[1].prevSection, -1);
  EXPECT_EQ(pages[0].prevSection, 2);
  // A change of orientation starts a page.
  sections[2].orientation = 2;
  Recalc(sections, pages, Lines("xx1xxx2xx"));
  EXPECT_EQ(sections[2].continuous, 0);
  EXPECT_EQ(sections[0].continuous, 0);
  EXPECT_EQ(sections[1].continuous, 1);
}

TEST(WrxSectionModel, InsertedLinesMoveWhatLiesBeyond) {
  auto sections = Table(3);
  std::vector<WrxSectionPage> pages;
  Recalc(sections, pages, Lines("xx1hxhx2xx"));
  ASSERT_EQ(sections[2].firstLine, 3);
  // Two lines above section 2's break, inside section 1.
  AdjustLines(sections, pages, 1, 2, 11);
  EXPECT_EQ(sections[1].firstLine, 0);
  EXPECT_EQ(sections[1].lastLine, 4);
  EXPECT_EQ(sections[2].firstLine, 5);
  EXPECT_EQ(sections[2].lastLine, 9);
  EXPECT_EQ(pages[2].hdrFirst, 5);
  EXPECT_EQ(pages[2].hdrLast, 7);
  EXPECT_EQ(pages[2].ftrFirst, -1) << "no group stays no group";
  EXPECT_EQ(sections[0].lastLine, 11);
  // Deleting them again, and more: nothing moves before the deleted line.
  AdjustLines(sections, pages, 1, -6, 5);
  EXPECT_EQ(sections[2].firstLine, 1);
  EXPECT_EQ(sections[1].lastLine, 1);
  EXPECT_EQ(sections[0].lastLine, 5);
}
