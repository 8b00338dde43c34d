// Reading RTF into a window: fonts, emphasis, colours, paragraphs and their
// alignment and indents, tabs, Unicode with its fallback, insertion at the
// cursor, and hostile documents that keep what was read.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace wrxtest;

namespace {

class WrxRtfTest : public WrxHostTest {
 protected:
  WrxWindow* FromRtf(const std::string& rtf, DWORD style = WRX_WORDWRAP) {
    HWND hwnd = CreateFromText(rtf, style);
    EXPECT_NE(hwnd, nullptr);
    windows_.push_back(hwnd);
    return GetWrxWindow(hwnd);
  }
  static std::string Text(WrxWindow* w) {
    std::string all;
    for (int32_t k = 0; k < w->lineCount; ++k) all += LineText(w->hwnd, k) + "|";
    return all;
  }
  static const WrxFont& FontAt(WrxWindow* w, int32_t line, int32_t col) { return w->fonts[GetCharFont(w, line, col)]; }
};

const char kDocument[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
    "{\\colortbl;\\red255\\green0\\blue0;}"
    "{\\info{\\title hidden title}}"
    "\\pard\\qc\\f1\\fs32 Centred\\par"
    "\\pard\\li720\\fi-360 Plain {\\b bold} {\\i\\cf1 red italic}\\tab after\\par"
    "\\pard\\plain Caf\\'e9 \\u8212? \\ldblquote q\\rdblquote\\par}";

TEST_F(WrxRtfTest, ReadsFontsEmphasisColoursAndParagraphs) {
  WrxWindow* w = FromRtf(kDocument);
  ASSERT_EQ(w->lineCount, 3) << Text(w);
  EXPECT_EQ(LineText(w->hwnd, 0), "Centred\x15");
  EXPECT_EQ(LineText(w->hwnd, 1), "Plain bold red italic\tafter\x15");
  EXPECT_EQ(LineText(w->hwnd, 2), "Caf\xe9 \x97 \x93q\x94\x15") << "Windows-1252, \\u with its fallback skipped";
  EXPECT_STREQ(FontAt(w, 0, 0).face, "Arial");
  EXPECT_EQ(FontAt(w, 0, 0).pointSize, 16);
  EXPECT_EQ(FontAt(w, 1, 6).style & 2, 2u) << "bold";
  EXPECT_EQ(FontAt(w, 1, 0).style & 2, 0u);
  EXPECT_EQ(FontAt(w, 1, 11).style & 4, 4u) << "italic";
  EXPECT_EQ(FontAt(w, 1, 11).textColor, RGB(255, 0, 0));
  EXPECT_STREQ(FontAt(w, 2, 0).face, "Times New Roman") << "the default font";
  const auto& p0 = w->paras[size_t(w->lines[0]->para)];
  const auto& p1 = w->paras[size_t(w->lines[1]->para)];
  EXPECT_EQ(p0.flags & PF_CENTRED, PF_CENTRED);
  EXPECT_EQ(p1.leftIndent, 720);
  EXPECT_EQ(p1.firstIndent, -360);
  EXPECT_EQ(w->lines[2]->para, 0) << "a plain paragraph shares the default record";
}

TEST_F(WrxRtfTest, TabStopsBecomeSharedTabRecords) {
  WrxWindow* w = FromRtf(
      "{\\rtf1\\pard\\tx1440\\tqr\\tx4320 a\\tab b\\par\\pard\\tx1440\\tqr\\tx4320 c\\par"
      "\\pard\\tx720\\tx500 d\\par}");
  ASSERT_GE(w->lineCount, 3);
  const int32_t tab0 = w->paras[size_t(w->lines[0]->para)].tabId;
  EXPECT_GT(tab0, 0);
  EXPECT_EQ(w->paras[size_t(w->lines[1]->para)].tabId, tab0) << "equal stops share one record";
  int32_t stops[3];
  memcpy(stops, w->tabs[size_t(tab0)].bytes, sizeof stops);
  EXPECT_EQ(stops[0], 2);
  EXPECT_EQ(stops[1], 1440);
  EXPECT_EQ(stops[2], 4320);
  int32_t kind;
  memcpy(&kind, w->tabs[size_t(tab0)].bytes + 84 + 4, 4);
  EXPECT_EQ(kind, 1) << "right stop";
  const int32_t tab2 = w->paras[size_t(w->lines[2]->para)].tabId;
  int32_t count;
  memcpy(&count, w->tabs[size_t(tab2)].bytes, 4);
  EXPECT_EQ(count, 1) << "a stop left of the one before is dropped";
}

TEST_F(WrxRtfTest, InsertsAtTheCursor) {
  HWND hwnd = CreateFromText("before after\r\nnext\r\n", WRX_WORDWRAP);
  windows_.push_back(hwnd);
  WrxWindow* w = GetWrxWindow(hwnd);
  ASSERT_EQ(InsertWrxRtf(hwnd, "{\\rtf1 {\\b one}\\par two}", -1, 0, 7, 0), 1);
  EXPECT_EQ(LineText(hwnd, 0), "before one\x15");
  EXPECT_EQ(LineText(hwnd, 1), "twoafter\x15");
  EXPECT_EQ(LineText(hwnd, 2), "next\x15");
  EXPECT_EQ(w->curLine, 1);
  EXPECT_EQ(w->curCol, 3);
  EXPECT_EQ(w->fonts[GetCharFont(w, 0, 8)].style & 2, 2u);
  EXPECT_EQ(InsertWrxRtf(hwnd, "not rtf", -1, 0, 0, 0), 0);
}

TEST_F(WrxRtfTest, HostileDocumentsKeepWhatWasRead) {
  struct Case {
    const char* name;
    std::string rtf;
    std::string firstLine;
  } cases[] = {
      {"50 open groups", "{\\rtf1 a" + std::string(49, '{') + "b" + std::string(49, '}') + "\\par}", "ab\x15"},
      {"51 open groups: the read ends", "{\\rtf1 a" + std::string(60, '{') + "b}", "a"},
      {"missing braces", "{\\rtf1 text\\par more", "text\x15"},
      {"unknown destination", "{\\rtf1 {\\*\\unknown skipped}kept\\par}", "kept\x15"},
      {"font past the table", "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f1000 x\\par}", "x\x15"},
      {"huge numbers", "{\\rtf1\\fs99999999999999\\li-99999999999\\u99999999999 x\\par}",
       "?\x15"},  // the fallback character after \\u is skipped
      {"binary data", "{\\rtf1{\\pict\\bin5 {{{{}}after\\par}", "after\x15"},
      {"truncated font table", "{\\rtf1{\\fonttbl{\\f0 Ari", ""},
      {"truncated stylesheet", "{\\rtf1{\\stylesheet{\\s1\\b Head", ""},
      {"style numbers past any", "{\\rtf1{\\stylesheet{\\s99999999999 Big;}}\\s99999999999\\cs-5 x\\par}", "x\x15"},
      {"a header never closed", "{\\rtf1{\\header top", "\x11"},
  };
  for (const Case& c : cases) {
    WrxWindow* w = FromRtf(c.rtf);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(LineText(w->hwnd, 0), c.firstLine) << c.name;
    EXPECT_LE(w->fonts[GetCharFont(w, 0, 0)].pointSize, 1638) << c.name;
    g_boxes.clear();  // error 6 for too many groups is the box that would show
  }
  WrxWindow* w = FromRtf("{\\rtf1\\li-99999999999 x\\par}");
  EXPECT_EQ(w->paras[size_t(w->lines[0]->para)].leftIndent, -31680) << "clamped to the indent's range";
}

}  // namespace

namespace {

std::string PandocRtf(const char* name) {
  std::string path = std::string("Z:") + PANDOC_RTF_DIR + "/" + name + ".rtf";
  for (char& c : path)
    if (c == '/') c = '\\';
  return ReadFileBytes(path);
}

TEST_F(WrxRtfTest, StyleSheetBecomesItemsThatTextAndParagraphsName) {
  WrxWindow* w = FromRtf(
      "{\\rtf1{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}"
      "{\\stylesheet{\\ql \\fs20 Normal;}{\\s1\\li720\\qc\\f1\\fs28\\b heading 1;}"
      "{\\*\\cs10 \\additive Default Paragraph Font;}{\\*\\cs15 \\i\\f1 Emphasis;}}"
      "\\pard\\s1\\li720\\qc\\f1\\fs28\\b Title\\par"
      "\\pard\\plain Body {\\cs15\\i\\f1 word}\\par}");
  ASSERT_GE(w->lineCount, 2);
  int heading = -1, emphasis = -1;
  for (size_t k = 0; k < w->styles.size(); ++k) {
    char name[64];
    memcpy(name, w->styles[k].bytes + 4, 64);
    name[63] = 0;
    if (!strcmp(name, "heading 1")) heading = int(k);
    if (!strcmp(name, "Emphasis")) emphasis = int(k);
  }
  ASSERT_GE(heading, 2);
  ASSERT_GE(emphasis, 2);
  int32_t words[48];
  memcpy(words, w->styles[size_t(heading)].bytes, sizeof words);
  EXPECT_EQ(words[17], 2) << "a paragraph style";
  EXPECT_STREQ(reinterpret_cast<const char*>(&words[18]), "Arial");
  EXPECT_EQ(words[26], 14);
  EXPECT_EQ(words[27], 2) << "bold";
  EXPECT_EQ(words[30], 720);
  EXPECT_EQ(words[42], 1) << "its number in the document";
  memcpy(words, w->styles[size_t(emphasis)].bytes, sizeof words);
  EXPECT_EQ(words[17], 1) << "a character style";
  EXPECT_EQ(words[39], 1);
  EXPECT_EQ(w->paras[size_t(w->lines[0]->para)].styleId, heading);
  EXPECT_EQ(w->paras[size_t(w->lines[1]->para)].styleId, 0);
  EXPECT_EQ(FontAt(w, 0, 0).styleItem, heading) << "the font records its paragraph style";
  EXPECT_EQ(FontAt(w, 1, 5).attribute, emphasis) << "and its character style";
  EXPECT_EQ(FontAt(w, 1, 0).attribute, 1);
  char normal[64];
  memcpy(normal, w->styles[0].bytes + 4, 64);
  EXPECT_STREQ(normal, "Normal") << "\\s0 is the window's own Normal";
}

// Documents as another program writes them.
TEST_F(WrxRtfTest, PandocDocumentsOpenWithFontsEmphasisParagraphsAndLists) {
  const std::string emphasis = PandocRtf("emphasis"), lists = PandocRtf("lists");
  if (emphasis.empty() || lists.empty()) GTEST_SKIP() << "pandoc's fixtures were not made";
  WrxWindow* w = FromRtf(emphasis);
  ASSERT_EQ(w->lineCount, 4) << Text(w);
  EXPECT_EQ(LineText(w->hwnd, 0), "Title in large bold\x15");
  EXPECT_EQ(FontAt(w, 0, 0).pointSize, 18);
  EXPECT_EQ(FontAt(w, 0, 0).style & 2, 2u);
  EXPECT_STREQ(FontAt(w, 0, 0).face, "Helvetica");
  const std::string line1 = LineText(w->hwnd, 1);
  ASSERT_EQ(line1, "Plain words, italic words, bold words and code words.\x15");
  EXPECT_EQ(FontAt(w, 1, 0).style & 6, 0u);
  EXPECT_EQ(FontAt(w, 1, int(line1.find("italic"))).style & 4, 4u);
  EXPECT_EQ(FontAt(w, 1, int(line1.find("bold"))).style & 2, 2u);
  EXPECT_STREQ(FontAt(w, 1, int(line1.find("code"))).face, "Courier");
  EXPECT_EQ(w->paras[size_t(w->lines[2]->para)].leftIndent, 720) << "the quote";
  EXPECT_EQ(w->paras[size_t(w->lines[1]->para)].spaceAfter, 180);
  EXPECT_EQ(LineText(w->hwnd, 3), "Caf\xe9 \x97 \x91quoted\x92 \x93twice\x94 \x85 ? end\x15")
      << "\\u as Windows-1252, '?' where it has none, the fallback skipped";

  w = FromRtf(lists);
  const std::string text = Text(w);
  EXPECT_NE(text.find("\x95\tapple\x15|\x95\tbanana\x15|"), std::string::npos) << text;
  EXPECT_NE(text.find("1.\tone\x15|2.\ttwo\x15|"), std::string::npos) << text;
  EXPECT_NE(text.find("after the table\x15"), std::string::npos) << text;
  int32_t apple = 0;
  while (apple < w->lineCount && LineText(w->hwnd, apple).find("apple") == std::string::npos) ++apple;
  ASSERT_LT(apple, w->lineCount);
  const wrxfmt::WrxParaRecord& p = w->paras[size_t(w->lines[apple]->para)];
  EXPECT_EQ(p.leftIndent, 360);
  EXPECT_EQ(p.firstIndent, -360);
  ASSERT_GT(p.tabId, 0) << "the list's tab stop";
  int32_t stop[2];
  memcpy(stop, w->tabs[size_t(p.tabId)].bytes, sizeof stop);
  EXPECT_EQ(stop[0], 1);
  EXPECT_EQ(stop[1], 360);
}

}  // namespace

namespace {

TEST_F(WrxRtfTest, HeaderAndFooterBecomeGroupsBetweenDelimiters) {
  WrxWindow* w = FromRtf(
      "{\\rtf1{\\header\\pard\\qc Top line\\par}{\\footer{\\pard Page foot}}"
      "\\pard Body\\par}");
  ASSERT_EQ(w->lineCount, 7) << Text(w);
  EXPECT_EQ(Text(w), "\x11|Top line\x15|\x11|\x10|Page foot\x15|\x10|Body\x15|");
  for (int32_t line : {0, 1, 2}) EXPECT_TRUE(w->paras[size_t(w->lines[line]->para)].flags & PF_HEADER) << line;
  EXPECT_TRUE(w->paras[size_t(w->lines[1]->para)].flags & PF_CENTRED);
  for (int32_t line : {3, 4, 5}) EXPECT_TRUE(w->paras[size_t(w->lines[line]->para)].flags & PF_FOOTER) << line;
  EXPECT_EQ(w->paras[size_t(w->lines[6]->para)].flags & (PF_HEADER | PF_FOOTER), 0);
  RecalcSections(w);
  EXPECT_EQ(w->sectionPages[0].hdrFirst, 0);
  EXPECT_EQ(w->sectionPages[0].hdrLast, 2);
  EXPECT_EQ(w->sectionPages[0].ftrFirst, 3);
  EXPECT_EQ(w->sectionPages[0].ftrLast, 5);
}

}  // namespace
