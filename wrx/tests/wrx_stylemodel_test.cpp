#include "wrx/wrx_stylemodel.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wrxstyle;

namespace {

WrxStyle Item(const char* face, int32_t size, int32_t style, int32_t text = 0, int32_t back = 0xFFFFFF) {
  WrxStyle s{};
  s.inUse = 1;
  s.kind = kCharStyle;
  strncpy(s.face, face, 31);
  s.pointSize = size, s.style = style, s.textColor = text, s.backColor = back;
  return s;
}

FontAttrs Font(const char* face, int32_t size, int32_t style, int32_t text = 0, int32_t back = 0xFFFFFF) {
  FontAttrs f{};
  strncpy(f.face, face, 31);
  f.pointSize = size, f.style = style, f.textColor = text, f.backColor = back;
  return f;
}

const Defaults kDefaults{"Times", 10, 0xFFFFFF};

}  // namespace

// Attributes that came from the old style (or the window's defaults) take the
// new style's; those set by hand stay.
TEST(WrxStyleModel, MergeFontKeepsWhatWasSetByHand) {
  const WrxStyle code = Item("Courier", 9, 0, 0x800000);
  const WrxStyle strong = Item("", 0, 2);
  const WrxStyle heading = Item("Arial", 14, 2 | 4);
  struct Case {
    const char* what;
    FontAttrs font;
    WrxStyle from, to;
    FontAttrs want;
  } cases[] = {
      {"face from the old style", Font("Courier", 9, 0, 0x800000), code, heading, Font("Arial", 14, 6)},
      {"face set by hand", Font("Verdana", 9, 1, 0x800000), code, heading, Font("Verdana", 14, 7)},
      {"size set by hand", Font("Courier", 20, 0), code, heading, Font("Arial", 20, 6)},
      {"default face, style without face", Font("Times", 10, 2), strong, code, Font("Courier", 9, 0, 0x800000)},
      {"back to no face", Font("Courier", 9, 0, 0x800000), code, strong, Font("Times", 10, 2)},
      {"hand colour stays", Font("Times", 10, 0, 0x0000FF), strong, code, Font("Courier", 9, 0, 0x0000FF)},
      {"hand background stays", Font("Times", 10, 0, 0, 0x00FF00), strong, heading, Font("Arial", 14, 6, 0, 0x00FF00)},
  };
  for (const Case& c : cases) {
    FontAttrs f = c.font;
    MergeStyleFont(f, c.from, c.to, kDefaults);
    EXPECT_STREQ(f.face, c.want.face) << c.what;
    EXPECT_EQ(f.pointSize, c.want.pointSize) << c.what;
    EXPECT_EQ(f.style, c.want.style) << c.what;
    EXPECT_EQ(f.textColor, c.want.textColor) << c.what;
    EXPECT_EQ(f.backColor, c.want.backColor) << c.what;
  }
}

TEST(WrxStyleModel, MergeFontNeverAddsPictureFootnoteOrFieldBits) {
  FontAttrs f = Font("Times", 10, 0);
  WrxStyle bad = Item("", 0, 0x80 | 0x2000 | 0x400 | 0x800 | 2);
  MergeStyleFont(f, Item("", 0, 0), bad, kDefaults);
  EXPECT_EQ(f.style, 2);
}

TEST(WrxStyleModel, MergeParaChangesOnlyValuesOfTheOldStyle) {
  wrxfmt::WrxParaRecord para0{};
  para0.flags = 0x400;
  WrxStyle body{}, quote{};
  body.leftIndent = 0, body.spaceAfter = 120, body.flags = 0x400;
  quote.leftIndent = 720, quote.rightIndent = 720, quote.spaceAfter = 240, quote.flags = 0x800, quote.tabId = 3;
  quote.shading = 500;

  wrxfmt::WrxParaRecord p{};
  p.flags = 0x400 | 0x1000 | 0x8;  // header text with a bullet set by hand
  p.spaceAfter = 120;
  p.firstIndent = 360;  // by hand
  MergeStylePara(p, body, quote, para0);
  EXPECT_EQ(p.leftIndent, 720);
  EXPECT_EQ(p.rightIndent, 720);
  EXPECT_EQ(p.firstIndent, 360) << "an indent set by hand stays";
  EXPECT_EQ(p.spaceAfter, 240);
  EXPECT_EQ(p.shading, 500);
  EXPECT_EQ(p.tabId, 3);
  EXPECT_EQ(p.flags, 0x800 | 0x1000 | 0x8) << "alignment follows the style, header and bullet stay";

  p.leftIndent = 1440;  // set by hand under the quote style
  MergeStylePara(p, quote, body, para0);
  EXPECT_EQ(p.leftIndent, 1440);
  EXPECT_EQ(p.rightIndent, 0);
  EXPECT_EQ(p.spaceAfter, 120);
  EXPECT_EQ(p.flags, 0x400 | 0x1000 | 0x8);
}

TEST(WrxStyleModel, NamesAndSlots) {
  std::vector<wrxfmt::WrxStyleRecord> table(5);
  WrxStyle normal{};
  normal.inUse = 1;
  SetName(normal, "Normal");
  table[0] = ToRecord(normal);
  WrxStyle quote = normal;
  SetName(quote, "Block Quote");
  table[3] = ToRecord(quote);
  EXPECT_EQ(FindByName(table, "block QUOTE"), 3);
  EXPECT_EQ(FindByName(table, "Block"), -1);
  EXPECT_EQ(FindByName(table, nullptr), -1);
  EXPECT_EQ(FreeSlot(table), 2) << "slots 0 and 1 are never handed out";
  table[2] = ToRecord(quote), table[4] = ToRecord(quote);
  EXPECT_EQ(FreeSlot(table), -1);

  const std::string longName(100, 'x');
  SetName(quote, longName.c_str());
  EXPECT_EQ(strlen(quote.name), 63u);
  EXPECT_EQ(strlen(FromRecord(ToRecord(quote)).name), 63u);
}

TEST(WrxStyleModel, ResetTakesOffTheParagraphStyle) {
  WrxStyle heading = Item("Arial", 14, 2, 0x80);
  FontAttrs f = Font("Arial", 14, 2 | 4, 0x80);
  ResetToDefaults(f, heading, kDefaults);
  EXPECT_STREQ(f.face, "Times");
  EXPECT_EQ(f.pointSize, 10);
  EXPECT_EQ(f.style, 4);
  EXPECT_EQ(f.textColor, 0);
}
