// Word wrap over injected width tables: every character is 10 pixels wide and
// the window 100 pixels, so the results do not depend on fonts.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_wrap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace wrxtest;

namespace {

class WrxWrapTest : public WrxHostTest {
 protected:
  WrxWindow* Wrapped(const std::string& text, int charWidth = 10) {
    HWND hwnd = CreateFromText(text, WRX_WORDWRAP);
    windows_.push_back(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int c = 0; c < 256; ++c) w->fonts[0].widths[c] = charWidth;
    w->resX = 96;
    w->textRect = RECT{0, 0, 100, 400};
    return w;
  }
  static std::vector<std::string> Lines(WrxWindow* w) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < w->lineCount; ++i)
      out.emplace_back(w->lines[i]->text ? w->lines[i]->text : "", size_t(w->lines[i]->length));
    return out;
  }
};

}  // namespace

TEST_F(WrxWrapTest, BreaksAtTheLastSpaceBeforeTheWidth) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"words", "aaaa bbbb cccc dddd\r\n", {"aaaa bbbb ", "cccc dddd\x15"}},
      {"a word longer than the width", "abcdefghijklmno\r\n", {"abcdefghij", "klmno\x15"}},
      {"short lines stay", "ab\r\ncd\r\n", {"ab\x15", "cd\x15"}},
      {"a page break forms its own line", std::string("ab\x0C") + "cd\r\n", {"ab", "\x0C", "cd\x15"}},
      {"a line break ends the line", std::string("ab\x0F") + "cd\r\n", {"ab\x0F", "cd\x15"}},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Wrapped(c.text);
    ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
    EXPECT_EQ(Lines(w), c.lines) << c.name;
  }
  // Wrapping again changes nothing; joining narrow lines back works too.
  WrxWindow* w = Wrapped("aaaa bbbb cccc dddd\r\n");
  WrxRewrap(w->hwnd);
  WrxRewrap(w->hwnd);
  EXPECT_EQ(Lines(w), (std::vector<std::string>{"aaaa bbbb ", "cccc dddd\x15"}));
  w->textRect.right = 300;
  WrxRewrap(w->hwnd);
  EXPECT_EQ(Lines(w), (std::vector<std::string>{"aaaa bbbb cccc dddd\x15"}));
  EXPECT_EQ(w->modified, 0) << "wrapping is no modification";
}

TEST_F(WrxWrapTest, LongParagraphsAreCutAtTheLineLimit) {
  WrxWindow* w = Wrapped("x\r\n", 0);  // nothing is ever too wide
  std::string text(5000, 'z');
  ASSERT_EQ(SetWrxLine(w->hwnd, 0, text.substr(0, 2047).c_str(), nullptr), 1);
  // Build the 5000-character paragraph over three stored lines.
  SetWrxLine(w->hwnd, 1, text.substr(0, 2047).c_str(), nullptr);
  SetWrxLine(w->hwnd, 2, (text.substr(0, 906) + "\x15").c_str(), nullptr);
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  int32_t total = 0;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    EXPECT_LE(w->lines[i]->length, WRX_MAXLINELEN) << i;
    total += w->lines[i]->length;
  }
  EXPECT_EQ(total, 5001);
  EXPECT_EQ(w->lineCount, 3);
}

TEST_F(WrxWrapTest, TheLastParagraphGetsItsEnd) {
  WrxWindow* w = Wrapped("");
  SetWrxLine(w->hwnd, 0, "no end", nullptr);
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  EXPECT_EQ(Lines(w), (std::vector<std::string>{"no end\x15"}));
  EXPECT_TRUE(w->lines[0]->flags & LF_PARAEND);
}

TEST_F(WrxWrapTest, TabsTakeTheDefaultStopsAndJustifiedLinesShareTheSlack) {
  WrxWindow* w = Wrapped("a\tb\r\n");
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_NE(w->lines[0]->info, nullptr);
  EXPECT_TRUE(w->lines[0]->info->flags & LI_TABS);
  EXPECT_EQ(w->lines[0]->info->tabCount, 1);
  EXPECT_EQ(w->lines[0]->info->tabWidths[0], 48 - 10) << "720 twips at 96 pixels per inch, from x 10";

  // "aa b cc dd": the first line "aa b cc " holds 8 characters (80 pixels)
  // and 3 spaces, the last of which ends it: 20 pixels over 2 spaces.
  w = Wrapped("aa b cc dd\r\n");
  w->paras[0].flags |= 0x800;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_EQ(Lines(w), (std::vector<std::string>{"aa b cc ", "dd\x15"}));
  ASSERT_NE(w->lines[0]->info, nullptr);
  EXPECT_TRUE(w->lines[0]->info->flags & LI_JUSTIFIED);
  int32_t extra = 0;
  for (int32_t k = 0; k < 4; ++k) extra += JustifyExtra(w, 0, k);
  EXPECT_EQ(extra, 20);
  EXPECT_EQ(w->lines[1]->info, nullptr) << "a paragraph's last line is not justified";
}

// A tab record with the given stops (twips) and kinds.
wrxfmt::WrxTabRecord TabRecord(std::vector<std::pair<int32_t, int32_t>> stops) {
  wrxfmt::WrxTabRecord r{};
  const int32_t count = int32_t(stops.size());
  memcpy(r.bytes, &count, 4);
  for (size_t k = 0; k < stops.size(); ++k) {
    memcpy(r.bytes + 4 + 4 * k, &stops[k].first, 4);
    memcpy(r.bytes + 84 + 4 * k, &stops[k].second, 4);
  }
  return r;
}

TEST_F(WrxWrapTest, RightCentreAndDecimalStopsAlignTheTextAfterThem) {
  // 15 twips to the pixel; every character 10 pixels.
  const auto stops = TabRecord({{1200, 1}, {2400, 2}, {3600, 3}, {4500, 0}});
  struct Case {
    const char* name;
    std::string text;
    std::vector<int32_t> widths;
  } cases[] = {
      // "bb" ends at 80, "cc" is centred on 160, the point of "1.25" stands
      // at 240, "z" starts at the left stop 300.
      {"all four kinds", "a\tbb\tcc\tx1.25\tz\r\n", {50, 70, 50, 30}},
      {"text wider than the room before a right stop", "\tabcdefghij\r\n", {0}},
      {"settled at the paragraph end", "\tab\r\n", {60}},
      {"a decimal stop without a point aligns the end", "aaaaaaaaaaaaaaaaa\t12\r\n", {50}},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Wrapped(c.text);
    w->textRect.right = 400;
    w->tabs.push_back(stops);
    w->paras[0].tabId = int32_t(w->tabs.size()) - 1;
    ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
    ASSERT_EQ(w->lineCount, 1) << c.name;
    ASSERT_NE(w->lines[0]->info, nullptr) << c.name;
    const WrxLineInfo& info = *w->lines[0]->info;
    EXPECT_EQ(std::vector<int32_t>(info.tabWidths, info.tabWidths + info.tabCount), c.widths) << c.name;
  }
  WrxWindow* w = Wrapped("a\tbb\tcc\tx1.25\tz\r\n");
  w->textRect.right = 400;
  w->tabs.push_back(stops);
  w->paras[0].tabId = int32_t(w->tabs.size()) - 1;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  EXPECT_EQ(GetColumnX(w, 4, 0, 0), 80) << "after the right-aligned text";
  EXPECT_EQ(GetColumnX(w, 10, 0, 0), 240) << "the decimal point";
  EXPECT_EQ(GetColumnX(w, 14, 0, 0), 300) << "the left stop";
  EXPECT_EQ(XToColumn(w, 245, 0), 10);

  // A left indent between x and the first stop is a stop of its own.
  int32_t position = 0, type = -1;
  w->paras[0].leftIndent = 720;
  ASSERT_EQ(NextTabStop(w, 0, w->paras[0].tabId, 0, &position, &type, 1), 1);
  EXPECT_EQ(position, 48);
  EXPECT_EQ(type, 0);
  // Past the last stop: multiples of the default width from the left indent.
  ASSERT_EQ(NextTabStop(w, 0, w->paras[0].tabId, 300, &position, &type, 1), 1);
  EXPECT_EQ(position, MulDiv(720 + 6 * 720, 96, 1440));
  EXPECT_EQ(type, 0);
}

TEST_F(WrxWrapTest, TypingRewrapsOnlyWhatTheCursorLineNeeds) {
  struct Case {
    const char* name;
    int level;
    int32_t cursorLine;
    std::vector<std::string> before, after;
  } cases[] = {
      {"level 1, the line still fits: nothing moves",
       1,
       1,
       {"aaaa ", "bb\x15", "dddd eeee ffff\x15"},
       {"aaaa ", "bb\x15", "dddd eeee ffff\x15"}},
      {"level 1, the line grew too wide: its paragraph is rewrapped",
       1,
       1,
       {"aaaa bbbb ", "cccc dddd eeee\x15", "ff\x15"},
       {"aaaa bbbb ", "cccc dddd ", "eeee\x15", "ff\x15"}},
      {"level 2 stops after the cursor's paragraph",
       2,
       0,
       {"aaaa bbbb cccc\x15", "dddd eeee ffff\x15"},
       {"aaaa bbbb ", "cccc\x15", "dddd eeee ffff\x15"}},
      {"level 2 starts on the line before when it continues there",
       2,
       1,
       {"aaaa ", "bbbb cccc\x15", "dddd eeee ffff\x15"},
       {"aaaa bbbb ", "cccc\x15", "dddd eeee ffff\x15"}},
      {"level 3 takes the whole range",
       3,
       0,
       {"aaaa bbbb cccc\x15", "dddd eeee ffff\x15"},
       {"aaaa bbbb ", "cccc\x15", "dddd eeee ", "ffff\x15"}},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Wrapped("x\r\n");
    for (size_t k = 0; k < c.before.size(); ++k)
      ASSERT_EQ(SetWrxLine(w->hwnd, long(k), c.before[k].c_str(), nullptr), 1) << c.name;
    ASSERT_EQ(Lines(w), c.before) << c.name;
    for (int32_t line = 0; line < w->lineCount; ++line) SetLineFlagsFromText(w, line);
    w->curLine = c.cursorLine;
    w->curCol = 1;
    w->wrapLevel = c.level;
    ASSERT_EQ(WordWrap(w, 0, w->lineCount), 1) << c.name;
    EXPECT_EQ(Lines(w), c.after) << c.name;
    EXPECT_EQ(w->wrapLevel, 0) << "the request is consumed";
  }
}

TEST_F(WrxWrapTest, TheCursorKeepsItsPlaceInTheTextAndStaysOnScreen) {
  // Forty words of four letters, two to a line at width 100.
  std::string text;
  for (int i = 0; i < 40; ++i) text += "w" + std::to_string(100 + i) + " ";
  WrxWindow* w = Wrapped(text + "\r\n");
  w->textRect.right = 100000;  // first wrapped as one long line
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_EQ(w->lineCount, 1);
  w->curCol = 5 * 37 + 2;  // inside "w137"
  w->linesPerWindow = 5;
  w->textRect.right = 100;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_EQ(w->lineCount, 21) << "the paragraph end goes on a line of its own";
  EXPECT_EQ(w->curLine, 18);
  EXPECT_EQ(std::string(w->lines[18]->text + w->curCol, 2), "37");
  EXPECT_GE(w->curLine, w->firstLine);
  EXPECT_LT(w->curLine, w->firstLine + 5) << "the view followed the cursor";
  EXPECT_EQ(w->curRow, w->curLine - w->firstLine);
}

TEST_F(WrxWrapTest, LineFlagsTellOfFootnoteMarksAndNumberedParagraphs) {
  WrxWindow* w = Wrapped("aaaa bbbb cccc\r\n");
  w->textRect.right = 1000;
  const int mark = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, 0x400, 0, 0xFFFFFF, 0, 0);
  ASSERT_GT(mark, 0);
  std::vector<unsigned char> ids(14, 0);
  ids[12] = static_cast<unsigned char>(mark);
  SetWrxLine(w->hwnd, 0, "aaaa bbbb cccc", ids.data());
  w->textRect.right = 100;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  ASSERT_EQ(w->lineCount, 2);
  EXPECT_FALSE(w->lines[0]->flags & LF_FOOTNOTE);
  EXPECT_TRUE(w->lines[1]->flags & LF_FOOTNOTE) << "the line that holds the mark";
  EXPECT_FALSE(w->lines[0]->flags & LF_NUMBERED);
  w->paras[0].numbering = 0x600;
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  EXPECT_TRUE(w->lines[0]->flags & LF_NUMBERED);
  EXPECT_TRUE(w->lines[1]->flags & LF_NUMBERED);
}

TEST_F(WrxWrapTest, FieldTextIsBoxedOnEveryLineItReaches) {
  // The box allowance is 40 twips: 3 pixels at 96 pixels per inch.
  struct Case {
    const char* name;
    std::string text;
    size_t fieldFrom, fieldTo;  // the field text's characters
    std::vector<std::string> lines;
    std::vector<std::vector<uint8_t>> boxes;  // per line, empty = none
  } cases[] = {
      {"a field inside a line", "abFIELDcd", 2, 7, {"abFIELDcd\x15"}, {{0, 0, 1, 0, 0, 0, 2, 0, 0, 0}}},
      {"a field cut by the wrap is closed and opened again",
       "aaaa bbbb cccc",
       0,
       14,
       {"aaaa bbbb ", "cccc\x15"},
       {{1, 0, 0, 0, 0, 0, 0, 0, 0, 2}, {1, 0, 0, 0, 2}}},
      {"no field, no boxes", "plain", 0, 0, {"plain\x15"}, {{}}},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Wrapped("x\r\n");
    const int field = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, 0x2000, 0, 0xFFFFFF, 0, 0);
    ASSERT_GT(field, 0);
    for (int ch = 0; ch < 256; ++ch) w->fonts[field].widths[ch] = 10;
    std::vector<unsigned char> ids(c.text.size(), 0);
    for (size_t k = c.fieldFrom; k < c.fieldTo; ++k) ids[k] = static_cast<unsigned char>(field);
    ASSERT_EQ(SetWrxLine(w->hwnd, 0, c.text.c_str(), ids.data()), 1);
    ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
    ASSERT_EQ(Lines(w), c.lines) << c.name;
    for (size_t line = 0; line < c.boxes.size(); ++line) {
      const WrxLineInfo* info = w->lines[line]->info;
      std::vector<uint8_t> got;
      if (info && info->charFlags) got.assign(info->charFlags, info->charFlags + info->charFlagCount);
      EXPECT_EQ(got, c.boxes[line]) << c.name << " line " << line;
    }
  }
  // The boxes take room beside their characters, and a point inside a box
  // belongs to the character it stands beside.
  WrxWindow* w = Wrapped("x\r\n");
  const int field = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, 0x2000, 0, 0xFFFFFF, 0, 0);
  for (int ch = 0; ch < 256; ++ch) w->fonts[field].widths[ch] = 10;
  const unsigned char ids[] = {0, 0, uint8_t(field), uint8_t(field), 0};
  SetWrxLine(w->hwnd, 0, "abFFc", ids);
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  EXPECT_EQ(GetColumnX(w, 2, 0, 0), 23) << "after the left box";
  EXPECT_EQ(GetColumnX(w, 3, 0, 0), 33);
  EXPECT_EQ(GetColumnX(w, 4, 0, 0), 46) << "after the right box";
  EXPECT_EQ(GetColumnX(w, 2, 0, 1), 28) << "the middle of the character, boxes aside";
  EXPECT_EQ(XToColumn(w, 21, 0), 2);
  EXPECT_EQ(XToColumn(w, 44, 0), 3);
  EXPECT_EQ(XToColumn(w, 46, 0), 4);
}

TEST_F(WrxWrapTest, ColumnsAndPixelsMapBothWays) {
  struct Case {
    const char* name;
    std::string text;
    DWORD paraFlags;
    int32_t leftIndent;  // twips
  } cases[] = {
      {"plain", "The quick fox\r\n", 0, 0},
      {"tabs", "a\tbb\tccc\td\r\n", 0, 0},
      {"indented", "indent me\r\n", 0, 1440},
      {"justified", "aa b cc dd ee f\r\n", 0x800, 0},
  };
  for (const Case& c : cases) {
    WrxWindow* w = Wrapped(c.text);
    for (int ch = 0; ch < 256; ++ch) w->fonts[0].widths[ch] = 3 + ch % 7;  // uneven widths
    w->paras[0].flags |= c.paraFlags;
    w->paras[0].leftIndent = c.leftIndent;
    ASSERT_EQ(WrxRewrap(w->hwnd), 1);
    for (int32_t line = 0; line < w->lineCount; ++line) {
      const int32_t length = w->lines[line]->length;
      for (int32_t col = 0; col < length; ++col) {
        const int32_t left = GetColumnX(w, col, line, 0);
        const int32_t right = GetColumnX(w, col + 1, line, 0);
        ASSERT_LT(left, right) << c.name << " " << line << "," << col;
        EXPECT_EQ(XToColumn(w, left, line), col) << c.name << " left edge of " << col;
        EXPECT_EQ(XToColumn(w, right - 1, line), col) << c.name << " right edge of " << col;
        const int32_t middle = GetColumnX(w, col, line, 1);
        EXPECT_EQ(XToColumn(w, middle, line), col) << c.name << " middle of " << col;
      }
      EXPECT_EQ(XToColumn(w, 5000, line), length - 1) << "beyond the end: the last column";
      EXPECT_EQ(XToColumn(w, -5, line), 0);
    }
    EXPECT_EQ(GetColumnX(w, -1, 0, 0), MulDiv(c.leftIndent, 96, 1440));
    EXPECT_EQ(GetColumnX(w, 0, w->lineCount, 0), 0) << "a line beyond the document";
  }
}

TEST_F(WrxWrapTest, TextWithLineBreaksSavesEveryWrappedLine) {
  WrxWindow* w = Wrapped("aaaa bbbb cccc dddd\r\nshort\r\n");
  w->arg.saveType = 2;
  ASSERT_EQ(WrxSave(w, nullptr), 1);
  EXPECT_EQ(BufferBytes(w->hwnd), "aaaa bbbb \r\ncccc dddd\r\nshort\r\n");
  w->arg.saveType = 1;
  ASSERT_EQ(WrxSave(w, nullptr), 1);
  EXPECT_EQ(BufferBytes(w->hwnd), "aaaa bbbb cccc dddd\r\nshort\r\n") << "plain text joins a paragraph's lines";
}

TEST_F(WrxWrapTest, RunningOutOfMemoryKeepsTheText) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "word" + std::to_string(i) + " more words here\r\n";
  auto joined = [](WrxWindow* w) {
    std::string all;
    for (int32_t i = 0; i < w->lineCount; ++i)
      all.append(w->lines[i]->text ? w->lines[i]->text : "", size_t(w->lines[i]->length));
    return all;
  };
  struct Restore {
    ~Restore() { SetPlainWordWrap(false); }
  } restore;
  // Lines in blocks of their own (as the plain way leaves them) need new
  // blocks when the wrap cuts them.
  for (long budget : {0L, 3L, 17L, 40L}) {
    WrxWindow* w = Wrapped(text);
    w->textRect.right = 1000;
    SetPlainWordWrap(true);
    ASSERT_EQ(WrxRewrap(w->hwnd), 1);
    SetPlainWordWrap(false);
    w->textRect.right = 100;
    const std::string before = joined(w);
    WrxFailAllocationsAfter(budget);
    const int result = WrxRewrap(w->hwnd);
    WrxFailAllocationsAfter(-1);
    EXPECT_EQ(result, 0) << budget;
    EXPECT_EQ(joined(w), before) << "budget " << budget;
    EXPECT_EQ(WrxRewrap(w->hwnd), 1);
    EXPECT_EQ(joined(w), before);
  }
  EXPECT_EQ(g_errors.back(), 108);
  // Lines that lie in the document's bytes are cut where they lie: joining
  // them into fewer lines needs no memory at all.
  WrxWindow* w = Wrapped(text);
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  const std::string before = joined(w);
  w->textRect.right = 1000;
  WrxFailAllocationsAfter(0);
  const int result = WrxRewrap(w->hwnd);
  WrxFailAllocationsAfter(-1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(w->lineCount, 30);
  EXPECT_EQ(joined(w), before);
}

namespace {

// Everything a wrapped line holds that drawing, editing and saving read.
std::string LineSnapshot(WrxWindow* w, int32_t i) {
  const WrxLine* l = w->lines[i];
  std::ostringstream out;
  // Whether the text lies in a block of its own or in one shared with the
  // lines around it (unterminated, as the document's bytes) is the store's
  // business; nothing reads past a line's length.
  const bool ownBlock = !(l->flags & LF_ARENATEXT);
  out << std::string(l->text ? l->text : "", size_t(l->length)) << '|' << l->length << " flags "
      << (l->flags & ~uint32_t(LF_ARENATEXT)) << " para " << l->para << (IsSharedIds(l) ? " shared " : " ids ");
  if (l->text && ownBlock) out << (l->text[l->length] == 0 ? "" : "unterminated ");
  for (int32_t k = 0; k < l->length; ++k) out << GetCharFont(w, i, k) << ',';
  if (const WrxLineInfo* info = l->info) {
    out << " info " << info->flags << ' ' << info->tabCount << ' ' << info->justifyExtra << ' '
        << info->justifyRemainder << ' ' << info->justifySpaces << ' ' << info->justifySpacesBeforeTab << ' '
        << info->gapColumn << " tabs";
    for (int32_t t : info->tabWidths) out << ' ' << t;
    out << " boxes";
    for (int32_t k = 0; info->charFlags && k < info->charFlagCount; ++k) out << ' ' << int(info->charFlags[k]);
  }
  return out.str();
}

}  // namespace

// Paragraphs of every length, empty ones and breaks among them, so that
// batches of paragraphs gain and lose lines together.
std::string ManyParagraphs() {
  std::string text;
  const char* words[] = {"a ", "bb ", "ccc ", "dddd ", "eeeeeeeeeeee ", "\t", "f\x0F"};
  for (int p = 0; p < 60; ++p) {
    for (int k = 0; k < (p * 7) % 23; ++k) text += words[(p + k * 3) % 7];
    text += p % 11 == 5 ? "\x0C\r\n" : "\r\n";
  }
  return text;
}

// Words of every length from 1 to 19, so that spaces fall at every place of
// a group of eight, with a '!' after a space, letters above 127 and a word
// longer than any line among them.
std::string EveryWordLength() {
  std::string text;
  for (int p = 0; p < 6; ++p) {
    for (int k = 0; k < 40; ++k) {
      const int length = 1 + (k * 7 + p) % 19;
      text += std::string(size_t(length), char('a' + k % 26));
      text += k % 9 == 4 ? " !" : k % 13 == 6 ? "\xE9\xFC " : " ";
    }
    if (p == 3) text += std::string(70, 'w');
    text += "\r\n";
  }
  return text;
}

// Some 40 KB of paragraphs of every length: more than a rewrap stores in
// blocks of their own.
std::string LargeDocument() {
  std::string text;
  for (int p = 0; p < 300; ++p) {
    for (int k = 0; k < (p * 13) % 41; ++k) text += std::string(size_t(1 + (p + k) % 9), char('a' + k % 26)) + ' ';
    text += "\r\n";
  }
  return text;
}

// The usual rewrap adds up runs of plain characters at once, stores a batch
// of paragraphs at once, cuts lines that lie one after another where they
// lie, writes over the buffers of the lines it replaces and gives a line of
// one font a shared id; the plain way steps through every character and
// stores each paragraph on its own into fresh buffers. Both
// must leave every line the same, through a series of widths that makes
// lines longer and shorter and paragraphs gain and lose lines.
TEST_F(WrxWrapTest, TheUsualWrapLeavesWhatThePlainWrapLeaves) {
  struct Doc {
    const char* name;
    std::string text;
    bool mixedFonts, justified;
    int otherStyle = 0;  // of the second font
    int run = 3;         // characters a font keeps in the first paragraph
    // Lines first stored in blocks of their own (by the plain way at a wide
    // width) rather than left in the document's bytes.
    bool ownBlocks = false;
    // The fonts' widths: every character as wide (10 and 17 pixels), or
    // widths of every size from none up, or those with one letter wider
    // than any line.
    enum Widths { kEven, kEverySize, kOneHuge } widths = kEven;
  } docs[] = {
      {"words", "aaaa bbbb cccc dddd eeee ffff gggg hhhh\r\nii jj kk\r\nl\r\n", false, false},
      {"tabs", "a\tbb\tccc dddd\teeeee ffff gg\thh\r\n\tx\r\n", false, false},
      {"a long word", std::string(300, 'x') + " yy zz " + std::string(45, 'q') + "\r\n", false, false},
      {"empty lines", "\r\n\r\nab cd ef gh\r\n\r\n", false, false},
      {"break codes",
       "ab\x0C"
       "cd ef\x0F"
       "gh ij kl mn\x0F\x0F"
       "op\r\nqr\x0C\r\n",
       false, false},
      {"a marked line",
       "ab cd\x0E"
       "ef gh ij kl mn op\r\n",
       false, false},
      {"mixed fonts", "aaaa bbbb cccc dddd eeee ffff\r\ngg hh ii jj kk ll mm nn\r\n", true, false},
      {"field text", "aaaa bbbb cccc dddd eeee ffff\r\ngg hh ii jj kk ll mm nn\r\n", true, false, 0x2000},
      {"justified", "aa b cc dd eee f gg hhhh i jj\r\nkk ll\r\n", false, true},
      {"many paragraphs", ManyParagraphs(), false, false},
      {"every word length", EveryWordLength(), false, false},
      {"long runs of two fonts", EveryWordLength(), true, false, 0, 11},
      {"every word length justified", EveryWordLength(), false, true},
      {"lines in blocks of their own", EveryWordLength(), false, false, 0, 3, true},
      {"lines of two fonts in blocks of their own", EveryWordLength(), true, false, 0, 11, true},
      // Enough text for the first rewrap to gather it into one shared block,
      // which the later ones cut where it lies.
      {"a large document in blocks of their own", LargeDocument(), false, false, 0, 3, true},
      {"a large document", LargeDocument(), false, false},
      // Characters of different widths: runs added up two at a time must
      // find the same place where a line fills as one at a time, and the
      // same spaces before it.
      {"widths of every size", EveryWordLength(), false, false, 0, 3, false, Doc::kEverySize},
      {"widths of every size, justified", EveryWordLength(), false, true, 0, 3, false, Doc::kEverySize},
      {"widths of every size, fonts that change within words", EveryWordLength(), true, false, 0, 3, false,
       Doc::kEverySize},
      {"widths of every size, long runs of two fonts, justified", EveryWordLength(), true, true, 0, 11, false,
       Doc::kEverySize},
      {"widths of every size, tabs and breaks", ManyParagraphs(), false, true, 0, 3, false, Doc::kEverySize},
      {"widths of every size, a large document", LargeDocument(), false, true, 0, 3, true, Doc::kEverySize},
      {"a letter wider than any line", EveryWordLength(), false, true, 0, 3, false, Doc::kOneHuge},
      {"a letter wider than any line, two fonts", EveryWordLength(), true, false, 0, 11, false, Doc::kOneHuge},
  };
  struct Restore {
    ~Restore() { SetPlainWordWrap(false); }
  } restore;
  auto setWidths = [](WrxFont& f, Doc::Widths kind, int even, int seed) {
    for (int ch = 0; ch < 256; ++ch) {
      if (kind == Doc::kEven)
        f.widths[ch] = even;
      else
        f.widths[ch] = ch % 11 == 0 ? 0 : 3 + (ch * seed) % 29;
    }
    if (kind == Doc::kOneHuge) f.widths[uint8_t('q')] = 40000;
  };
  for (const Doc& d : docs) {
    WrxWindow* both[2];
    for (int way = 0; way < 2; ++way) {
      WrxWindow* w = Wrapped(d.text);
      both[way] = w;
      setWidths(w->fonts[0], d.widths, 10, 37);
      if (d.justified) w->paras[0].flags |= 0x800;
      if (d.mixedFonts) {
        const int wide = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, d.otherStyle, 0, 0xFFFFFF, 0, 0);
        ASSERT_GT(wide, 0);
        setWidths(w->fonts[wide], d.widths, 17, 13);
        // The second paragraph in one other font, the first in both by turns.
        for (int32_t line = 0; line < 2; ++line) {
          std::string text(w->lines[line]->text, size_t(w->lines[line]->length));
          std::vector<unsigned char> ids(text.size(), uint8_t(wide));
          for (size_t k = 0; line == 0 && k < ids.size(); ++k) ids[k] = (k / size_t(d.run)) % 2 ? uint8_t(wide) : 0;
          ASSERT_EQ(SetWrxLine(w->hwnd, line, text.c_str(), ids.data()), 1) << d.name;
        }
      }
      if (d.ownBlocks) {
        SetPlainWordWrap(true);
        w->textRect.right = 100000;
        ASSERT_EQ(WrxRewrap(w->hwnd), 1) << d.name;
      }
    }
    // Three times at a width in a row: the usual way stamps the lines it
    // stores once a width repeats, and passes by the ones left unchanged the
    // next time.
    const long passedBy = WordWrapLinesPassedBy();
    for (int32_t width : {100, 100, 100, 60, 170, 170, 170, 100, 30, 1000, 1000, 1000, 100}) {
      std::vector<std::string> got[2];
      for (int way = 0; way < 2; ++way) {
        SetPlainWordWrap(way == 0);
        WrxWindow* w = both[way];
        w->textRect.right = width;
        ASSERT_EQ(WrxRewrap(w->hwnd), 1) << d.name;
        for (int32_t i = 0; i < w->lineCount; ++i) got[way].push_back(LineSnapshot(w, i));
        std::ostringstream state;
        state << "cursor " << w->curLine << ':' << w->curCol << " first " << w->firstLine << " stale " << w->staleLine
              << " wrapped " << w->linesWrapped << " input " << w->wrapInput;
        for (const auto& sec : w->sections) state << " section " << sec.firstLine << '-' << sec.lastLine;
        got[way].push_back(state.str());
      }
      EXPECT_EQ(got[1], got[0]) << d.name << " at width " << width;
    }
    EXPECT_GT(WordWrapLinesPassedBy(), passedBy) << d.name;
  }
}

// The usual way cuts a paragraph's lines where its text lies when the lines
// lie one after another, in the document's bytes or in a block that many
// lines share and that goes with the last of them. Through rewraps and
// edits each block must count exactly the lines in it (else it is freed
// under a line, or never), and the text must stay what it was.
TEST_F(WrxWrapTest, ASharedBlockCountsTheLinesInIt) {
  WrxWindow* w = Wrapped(LargeDocument());
  // First in blocks of their own, so that the next rewrap gathers them.
  w->textRect.right = 100000;
  SetPlainWordWrap(true);
  ASSERT_EQ(WrxRewrap(w->hwnd), 1);
  SetPlainWordWrap(false);
  auto joined = [w] {
    std::string all;
    for (int32_t i = 0; i < w->lineCount; ++i)
      all.append(w->lines[i]->text ? w->lines[i]->text : "", size_t(w->lines[i]->length));
    return all;
  };
  // The blocks the lines lie in, each checked against its count.
  auto blocks = [w](const char* step) {
    std::map<const WrxTextArena*, int32_t> lines;
    for (int32_t i = 0; i < w->lineCount; ++i)
      if ((w->lines[i]->flags & LF_ARENATEXT) && w->lines[i]->arena) ++lines[w->lines[i]->arena];
    for (const auto& [block, count] : lines) EXPECT_EQ(block->lines, count) << step;
    return lines.size();
  };
  // A line in the middle of a paragraph.
  auto inside = [](WrxWindow* w) {
    int32_t i = w->lineCount / 2;
    while (w->lines[i]->flags & LF_PARAEND) ++i;
    return i;
  };
  struct Step {
    const char* name;
    int32_t width;
    void (*change)(WrxWindow* w, int32_t line);
  } steps[] = {
      {"gathered", 100, nullptr},
      {"a narrower width", 60, nullptr},
      {"a wider width", 170, nullptr},
      {"a character overtyped in place", 100, [](WrxWindow* w, int32_t line) { w->lines[line]->text[0] = 'Z'; }},
      {"a line set longer", 60,
       [](WrxWindow* w, int32_t line) {
         const std::string text = std::string(w->lines[line]->text, size_t(w->lines[line]->length)) + "more ";
         SetWrxLine(w->hwnd, line, text.c_str(), nullptr);
       }},
      {"a line set shorter", 170,
       [](WrxWindow* w, int32_t line) {
         const std::string text(w->lines[line]->text + 1, size_t(w->lines[line]->length - 1));
         SetWrxLine(w->hwnd, line, text.c_str(), nullptr);
       }},
      {"lines deleted", 100, [](WrxWindow* w, int32_t line) { ShiftLines(w, line, 3, 'D'); }},
      {"back to a width seen before", 60, nullptr},
  };
  struct Restore {
    ~Restore() { SetPlainWordWrap(false); }
  } restore;
  size_t before = 0;
  for (const Step& step : steps) {
    if (step.change) step.change(w, inside(w));
    const std::string text = joined();
    w->textRect.right = step.width;
    ASSERT_EQ(WrxRewrap(w->hwnd), 1) << step.name;
    EXPECT_EQ(joined(), text) << step.name;
    const size_t now = blocks(step.name);
    if (!step.change && before) {
      EXPECT_EQ(now, before) << step.name << ": cut where they lie, nothing gathered anew";
    }
    EXPECT_GT(now, 0u) << step.name;
    before = now;
  }
}

// The usual way passes by paragraphs that a wrap at the same width left and
// nothing changed since. Whatever changed, in the lines or in what their wrap
// reads, the rewrap must come out as the plain way's from the same state.
TEST_F(WrxWrapTest, ARewrapAfterAChangeMatchesThePlainWrap) {
  const std::string text = "aaaa bbbb cccc dddd\r\nee ff gg hh ii\r\njj kk\r\n";
  struct Case {
    const char* name;
    void (*change)(WrxWindow* w);
  } cases[] = {
      {"a character overtyped in place, as wide as a word", [](WrxWindow* w) { w->lines[0]->text[1] = 'W'; }},
      {"a paragraph end overtyped in place joins two paragraphs",
       [](WrxWindow* w) {
         WrxLine* l = w->lines[w->lineCount - 2];
         l->text[l->length - 1] = ' ';
       }},
      {"a line's text set anew, as long as before",
       [](WrxWindow* w) { SetWrxLine(w->hwnd, 1, "cccc zzzz\x15", nullptr); }},
      {"a character in a wider font",
       [](WrxWindow* w) {
         const int wide = SetWrxFont(w->hwnd, -1, 0, "Arial", 12, 0, 0, 0xFFFFFF, 0, 0);
         for (int ch = 0; ch < 256; ++ch) w->fonts[wide].widths[ch] = 17;
         const std::string line(w->lines[0]->text, size_t(w->lines[0]->length));
         std::vector<unsigned char> ids(line.size(), 0);
         ids[0] = uint8_t(wide);
         SetWrxLine(w->hwnd, 0, line.c_str(), ids.data());
       }},
      {"a font's widths", [](WrxWindow* w) { w->fonts[0].widths[uint8_t('e')] = 25; }},
      {"a paragraph's indent", [](WrxWindow* w) { w->paras[0].leftIndent = 300; }},
      {"a paragraph justified", [](WrxWindow* w) { w->paras[0].flags |= 0x800; }},
      {"the tab width", [](WrxWindow* w) { w->defTabWidth = 1440; }},
      // A paragraph whose lines no longer lie one after another.
      {"a line set longer", [](WrxWindow* w) { SetWrxLine(w->hwnd, 0, "aaaa bbbb ccc ", nullptr); }},
      {"a line set shorter", [](WrxWindow* w) { SetWrxLine(w->hwnd, 0, "aaa bbbb ", nullptr); }},
      // Stamps hold only the low bits of the width beside their digest.
      {"a width 65,536 pixels wider", [](WrxWindow* w) { w->textRect.right += 65536; }},
  };
  struct Restore {
    ~Restore() { SetPlainWordWrap(false); }
  } restore;
  for (const Case& c : cases) {
    std::vector<std::string> got[2];
    std::vector<std::string> before;
    for (int way = 0; way < 2; ++way) {
      SetPlainWordWrap(way == 0);
      WrxWindow* w = Wrapped(text);
      w->fonts[0].widths[uint8_t('W')] = 40;
      ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
      // A line with a tab, whose width the line keeps.
      SetWrxLine(w->hwnd, w->lineCount - 1, "a\tb\x15", nullptr);
      ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;  // stamps, the width repeating
      const long passedBy = WordWrapLinesPassedBy();
      ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
      if (way == 1) {
        EXPECT_EQ(WordWrapLinesPassedBy() - passedBy, w->lineCount) << c.name << ": nothing changed, nothing wrapped";
        for (int32_t i = 0; i < w->lineCount; ++i) before.push_back(LineSnapshot(w, i));
      }
      c.change(w);
      ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
      for (int32_t i = 0; i < w->lineCount; ++i) got[way].push_back(LineSnapshot(w, i));
    }
    EXPECT_EQ(got[1], got[0]) << c.name;
    EXPECT_NE(got[1], before) << c.name << ": the change shows in the lines";
  }
}

namespace {

// The text of a long document: some 160 KB of paragraphs, which a rewrap
// stores in several batches.
std::string LongText() {
  std::string text;
  for (int copy = 0; copy < 4; ++copy) text += LargeDocument();
  return text;
}

// Breaks end three sections inside a long document, sections 1 and 2 get a header and a footer,
// and row ends (kept lines) stand between paragraphs.
void MakeLongDocument(WrxWindow* w) {
  ASSERT_GT(w->lineCount, 1000);
  for (int32_t section : {1, 2, 3}) {
    const int32_t at = section * w->lineCount / 4;
    if (w->sections.size() <= size_t(section)) w->sections.resize(size_t(section) + 1);
    InitSection(w, section);
    ASSERT_EQ(InsertMarkerLine(w, at, WRX_SECTBREAK, 0, 0, LI_SECTBREAK, -1), 1);
    w->lines[at]->info->section = section;
  }
  for (int32_t at : {40, w->lineCount / 3, w->lineCount - 20}) {
    ASSERT_EQ(InsertMarkerLine(w, at, WRX_ROWEND, 0, 0, LI_ROWEND, -1), 1);
    w->lines[at]->flags |= LF_KEEP;
  }
  RecalcSections(w);
  ASSERT_EQ(CreateHdrFtr(w, 256, 1), 1);
  ASSERT_EQ(CreateHdrFtr(w, 512, 2), 1);
  RecalcSections(w);
}

// What a pass leaves besides the lines: cursor, view, stale line, counts,
// sections and their header and footer entries.
std::string WrapState(WrxWindow* w) {
  std::ostringstream state;
  state << "cursor " << w->curLine << ':' << w->curCol << " first " << w->firstLine << " stale " << w->staleLine
        << " wrapped " << w->linesWrapped << " input " << w->wrapInput << " count " << w->lineCount;
  for (const auto& sec : w->sections) state << " section " << sec.firstLine << '-' << sec.lastLine;
  for (const auto& p : w->sectionPages)
    state << " page " << p.hdrFirst << '-' << p.hdrLast << ' ' << p.ftrFirst << '-' << p.ftrLast;
  return state.str();
}

}  // namespace

// A rewrap over many batches stores them through a gap in the line array
// rather than moving the lines after each batch. Wherever the first line
// shown and the cursor stand, and whether the lines grow or shrink in
// number, it must leave what the plain way leaves, sections and all.
TEST_F(WrxWrapTest, ALongRewrapLeavesWhatThePlainWrapLeaves) {
  struct Case {
    const char* name;
    int firstLineShown;  // in 1000ths of the document
    int cursorLine;      // likewise
  } cases[] = {
      {"at the top", 0, 0},
      {"the first line shown halfway, the cursor far down", 500, 990},
      {"the first line shown near the end", 995, 999},
  };
  struct Restore {
    ~Restore() { SetPlainWordWrap(false); }
  } restore;
  for (const Case& c : cases) {
    WrxWindow* both[2];
    for (int way = 0; way < 2; ++way) {
      WrxWindow* w = Wrapped(LongText());
      both[way] = w;
      MakeLongDocument(w);
      if (HasFailure()) return;
      w->firstLine = int32_t(int64_t(w->lineCount - 1) * c.firstLineShown / 1000);
      w->curLine = int32_t(int64_t(w->lineCount - 1) * c.cursorLine / 1000);
      w->curCol = 0;
    }
    for (int32_t width : {100, 60, 170, 170, 170, 30, 1000, 100}) {
      std::vector<std::string> got[2];
      for (int way = 0; way < 2; ++way) {
        SetPlainWordWrap(way == 0);
        WrxWindow* w = both[way];
        w->textRect.right = width;
        ASSERT_EQ(WrxRewrap(w->hwnd), 1) << c.name;
        for (int32_t i = 0; i < w->lineCount; ++i) got[way].push_back(LineSnapshot(w, i));
        got[way].push_back(WrapState(w));
      }
      ASSERT_EQ(got[1].size(), got[0].size()) << c.name << " at width " << width;
      for (size_t i = 0; i < got[0].size(); ++i)
        ASSERT_EQ(got[1][i], got[0][i]) << c.name << " at width " << width << ", line " << i;
    }
  }
}

namespace {

WrxWindow* g_watched = nullptr;
WrxErrorObserver g_nextObserver = nullptr;
int g_reportsWithHoles = 0;

// A report may show a message box, whose message loop paints the window:
// its lines must be whole then.
void WatchArray(int code, const char* routine) {
  if (g_watched)
    for (int32_t i = 0; i < g_watched->lineCount; ++i)
      if (!g_watched->lines[i]) {
        ++g_reportsWithHoles;
        break;
      }
  if (g_nextObserver) g_nextObserver(code, routine);
}

}  // namespace

// Running out of memory anywhere in a long rewrap, one that adds lines or
// one that removes them, leaves the document whole (every line where it
// was, the sections' numbers right) and reports only once it is; a rewrap
// after that leaves what the plain way leaves.
TEST_F(WrxWrapTest, RunningOutOfMemoryInALongRewrapLeavesTheDocumentWhole) {
  struct Restore {
    ~Restore() {
      SetPlainWordWrap(false);
      WrxFailAllocationsAfter(-1);
      SetWrxErrorObserver(g_nextObserver);
      g_watched = nullptr;
    }
  } restore;
  g_nextObserver = SetWrxErrorObserver(WatchArray);
  struct Case {
    const char* name;
    int32_t from, to;  // widths
  } cases[] = {{"lines added", 170, 30}, {"lines removed", 30, 1000}};
  for (const Case& c : cases) {
    WrxWindow* plain = Wrapped(LongText());
    MakeLongDocument(plain);
    if (HasFailure()) return;
    SetPlainWordWrap(true);
    plain->textRect.right = c.to;
    ASSERT_EQ(WrxRewrap(plain->hwnd), 1);
    SetPlainWordWrap(false);
    std::vector<std::string> expected;
    for (int32_t i = 0; i < plain->lineCount; ++i) expected.push_back(LineSnapshot(plain, i));
    int failed = 0, failedLate = 0;
    for (long budget : {0L, 1L, 2L, 4L, 8L, 16L, 24L, 32L, 48L}) {
      WrxWindow* w = Wrapped(LongText());
      MakeLongDocument(w);
      if (HasFailure()) return;
      w->textRect.right = c.from;
      ASSERT_EQ(WrxRewrap(w->hwnd), 1);
      auto joined = [w] {
        std::string all;
        for (int32_t i = 0; i < w->lineCount; ++i)
          if (w->lines[i]) all.append(w->lines[i]->text ? w->lines[i]->text : "", size_t(w->lines[i]->length));
        return all;
      };
      const std::string before = joined();
      const int32_t linesBefore = w->lineCount;
      g_watched = w;
      g_reportsWithHoles = 0;
      w->textRect.right = c.to;
      WrxFailAllocationsAfter(budget);
      const int result = WrxRewrap(w->hwnd);
      WrxFailAllocationsAfter(-1);
      g_watched = nullptr;
      failed += result == 0;
      // Part of the document rewrapped before memory ran out.
      failedLate += result == 0 && w->lineCount != linesBefore;
      const std::string where = std::string(c.name) + ", budget " + std::to_string(budget);
      EXPECT_EQ(g_reportsWithHoles, 0) << where;
      for (int32_t i = 0; i < w->lineCount; ++i) ASSERT_NE(w->lines[i], nullptr) << where << ", line " << i;
      for (int32_t i = w->lineCount; i <= w->lineCapacity; ++i)
        ASSERT_EQ(w->lines[i], nullptr) << where << ", slot " << i;
      EXPECT_EQ(joined(), before) << where;
      EXPECT_EQ(RecalcSections(w), 0) << where << ": the sections' numbers were right";
      ASSERT_EQ(WrxRewrap(w->hwnd), 1) << where;
      std::vector<std::string> got;
      for (int32_t i = 0; i < w->lineCount; ++i) got.push_back(LineSnapshot(w, i));
      EXPECT_EQ(got, expected) << where;
    }
    EXPECT_GT(failedLate, 0) << c.name << ": memory ran out inside the rewrap";
  }
  EXPECT_EQ(g_errors.back(), 108);
}
