#include "wrx/rtf_tokenizer.h"
#include "wrx/rtf_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A one-font document of the given lines (each with one font id per char).
struct Doc {
  wrxrtf::Document d;
  std::vector<std::string> texts;
  std::vector<std::vector<uint8_t>> ids;
  Doc() {
    wrxrtf::Font f;
    f.inUse = true, f.face = "Arial", f.pitchFamily = 0x22, f.pointSize = 12;
    d.fonts.push_back(f);
    f.style = 2;
    d.fonts.push_back(f);
    f.style = 16;
    d.fonts.push_back(f);
    d.paras.push_back(wrxfmt::WrxParaRecord{});
    d.tabs.push_back(wrxpara::WrxTab{});
  }
  void Add(const std::string& text, const std::vector<uint8_t>& fontIds = {}, int32_t para = 0) {
    texts.push_back(text);
    ids.push_back(fontIds.empty() ? std::vector<uint8_t>(text.size(), 0) : fontIds);
  }
  std::string Write() {
    d.lines.clear();
    for (size_t k = 0; k < texts.size(); ++k) {
      wrxrtf::Line l;
      l.text = texts[k].data(), l.length = int32_t(texts[k].size()), l.ids = ids[k].data();
      d.lines.push_back(l);
    }
    return wrxrtf::Write(d);
  }
};

std::vector<std::string> Tokens(const std::string& rtf) {
  rtf::Tokenizer t(reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size());
  std::vector<std::string> out;
  for (rtf::Token k = t.Next(); k.kind != rtf::TokenKind::kEnd && k.kind != rtf::TokenKind::kError; k = t.Next()) {
    if (k.kind == rtf::TokenKind::kControl)
      out.push_back("\\" + k.word + (k.hasParam ? std::to_string(k.param) : ""));
    else if (k.kind == rtf::TokenKind::kText)
      out.push_back(std::string(1, char(k.byte)));
    else
      out.push_back(k.kind == rtf::TokenKind::kGroupOpen ? "{" : "}");
  }
  return out;
}

std::string Strip(std::string s) {
  std::string out;
  for (char c : s)
    if (c != '\r' && c != '\n') out.push_back(c);
  return out;
}

}  // namespace

TEST(RtfWriter, WordsTextAndEscapes) {
  Doc doc;
  doc.Add(std::string("a bold{b}\\ caf\xE9 x2\x15"), {0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0});
  const std::string rtf = Strip(doc.Write());
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}", 0), 0u) << rtf;
  EXPECT_NE(rtf.find("\\b bold\\b0 "), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\{b\\}\\\\ caf\\'e9 x"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("{\\super 2}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\par"), std::string::npos);
  EXPECT_EQ(rtf.back(), '}');
  int depth = 0;
  for (const std::string& t : Tokens(rtf)) depth += t == "{" ? 1 : t == "}" ? -1 : 0;
  EXPECT_EQ(depth, 0);
}

TEST(RtfWriter, LongParagraphsBreakOnlyWhereTheReaderDoesNotCare) {
  Doc doc;
  std::string text;
  std::vector<uint8_t> ids;
  for (int k = 0; k < 900; ++k) {
    const std::string word = k % 7 ? "word " : "x{y}\xE8 ";
    text += word;
    for (size_t c = 0; c < word.size(); ++c) ids.push_back(k % 5 == 0 ? 1 : 0);
  }
  text += "\x15";
  ids.push_back(0);
  doc.Add(text, ids);
  const std::string rtf = doc.Write();
  size_t start = 0, lines = 0;
  while (start < rtf.size()) {
    const size_t end = rtf.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 2048u);
    start = end + 2;
    ++lines;
  }
  EXPECT_GT(lines, 3u);
  // Taking the line ends out changes no token: no word or hex pair was cut.
  const auto broken = Tokens(rtf);
  const auto whole = Tokens(Strip(rtf));
  EXPECT_EQ(broken, whole);
}

TEST(RtfWriter, ParagraphWordsTabsAndBlocks) {
  Doc doc;
  wrxfmt::WrxParaRecord p{};
  p.leftIndent = 720, p.firstIndent = -360, p.flags = 0x0001 | 0x00F0 | 0x0200 | 0x4000 | 0x0008, p.shading = 2500;
  p.spaceBefore = 120, p.tabId = 1;
  doc.d.paras.push_back(p);
  wrxpara::WrxTab t{};
  wrxpara::SetStop(t, 1440, 1, 1);
  wrxpara::SetStop(t, 2880, 3, 0);
  doc.d.tabs.push_back(t);
  doc.Add("one\ttwo\x15", {}, 0);
  doc.d.lines.clear();
  doc.texts.push_back("next\x15");
  doc.ids.push_back(std::vector<uint8_t>(5, 0));
  std::string rtf = doc.Write();
  // Give the second line the formatted paragraph.
  doc.d.lines[1].para = 1;
  rtf = Strip(wrxrtf::Write(doc.d));
  EXPECT_NE(rtf.find("\\pard\\tqr\\tldot\\tx1440\\tqdec\\tx2880"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\box\\brdrw30\\brdrs\\fi-360\\li720\\sb120\\qc\\keep\\shading2500"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\pnlvlblt"), std::string::npos);
  EXPECT_NE(rtf.find("one\\tab two"), std::string::npos) << rtf;
  // A block inside one paragraph carries no paragraph words.
  doc.d.block = true;
  doc.d.firstLine = doc.d.lastLine = 0;
  doc.d.firstCol = 1, doc.d.lastCol = 3;
  rtf = Strip(wrxrtf::Write(doc.d));
  EXPECT_EQ(rtf.find("\\pard"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("ne}"), std::string::npos) << rtf;
}

TEST(RtfWriter, FootnotesAreGroupsAfterTheirMarks) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<uint32_t> styles;  // per character
    const char* expected;
  } cases[] = {
      {"a one-character mark", "a1n b", {0, 0x400, 0x800, 0, 0}, "a{1{\\footnote n}} b"},
      {"a two-character mark", "a1n2b", {0, 0x400, 0x800, 0x1000, 0}, "a{1{\\footnote n}2}b"},
      {"a note left open at the end", "a1n", {0, 0x400, 0x800}, "a{1{\\footnote n}}"},
      // What the note set ends with its group: no \b0 is needed after it.
      {"a bold note", "1nx", {0x400, 0x800 | 2, 0}, "1{\\footnote\\b n}}\\f0\\fs24 x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Doc doc;
    std::vector<uint8_t> ids;
    for (uint32_t style : c.styles) {
      size_t k = 0;
      while (k < doc.d.fonts.size() && doc.d.fonts[k].style != style) ++k;
      if (k == doc.d.fonts.size()) {
        wrxrtf::Font f = doc.d.fonts[0];
        f.style = style;
        doc.d.fonts.push_back(f);
      }
      ids.push_back(uint8_t(k));
    }
    doc.Add(c.text, ids);
    const std::string rtf = Strip(doc.Write());
    EXPECT_NE(rtf.find(c.expected), std::string::npos) << rtf;
    int depth = 0;
    for (const std::string& t : Tokens(rtf)) depth += t == "{" ? 1 : t == "}" ? -1 : 0;
    EXPECT_EQ(depth, 0);
  }
}
