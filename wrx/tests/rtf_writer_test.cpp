#include "wrx/rtf_tokenizer.h"
#include "wrx/rtf_writer.h"

#include <gtest/gtest.h>

#include <iterator>
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

namespace {

// A document made from a seed: fonts of every kind (faces differing only in
// case, scripts, pictures, colours), paragraphs with stops, bullets and
// borders, a table row, sections, and lines of plain runs, escapes, high
// bytes, control codes and words long enough to break output lines.
struct SeededDoc {
  wrxrtf::Document d;
  std::vector<std::string> texts;
  std::vector<std::vector<uint8_t>> ids;

  explicit SeededDoc(uint32_t seed) {
    uint32_t s = seed * 2654435761u + 1;
    auto next = [&s](uint32_t n) {
      s = s * 1664525u + 1013904223u;
      return (s >> 8) % n;
    };
    static const char* const kFaces[] = {"Arial", "arial", "Times New Roman", "Symbol", "Courier New", ""};
    static const uint32_t kStyles[] = {0, 2, 4, 1, 0x100, 8, 64, 0x200, 16, 32, 2 | 4, 2 | 16};
    const int fonts = 1 + int(next(7));
    for (int k = 0; k < fonts; ++k) {
      wrxrtf::Font f;
      f.inUse = next(8) != 0;
      f.picture = k > 0 && next(9) == 0;
      f.face = kFaces[next(6)];
      f.pitchFamily = uint8_t(next(6) << 4 | 2);
      f.pointSize = 8 + int32_t(next(4)) * 2;
      f.style = kStyles[next(12)];
      f.text = next(3) ? 0 : 0x0000FFu << (8 * next(3));
      f.back = next(4) ? 0xFFFFFF : 0x00FF00;
      d.fonts.push_back(f);
    }
    d.paras.push_back(wrxfmt::WrxParaRecord{});
    for (int k = 0; k < 3; ++k) {
      wrxfmt::WrxParaRecord p{};
      static const int32_t kFlags[] = {0x0001, 0x0002, 0x0800,          0x0400,          0x0004,
                                       0x0008, 0x00F0, 0x0030 | 0x0100, 0x0040 | 0x0200, 0x4000 | 0x8000};
      p.flags = kFlags[next(10)] | (next(3) ? 0 : kFlags[next(10)]);
      p.leftIndent = int32_t(next(4)) * 360, p.rightIndent = int32_t(next(3)) * 180;
      p.firstIndent = int32_t(next(5)) * 180 - 360;
      p.spaceBefore = int32_t(next(3)) * 60, p.spaceAfter = int32_t(next(3)) * 60;
      p.lineSpacing = next(3) ? 0 : 300;
      p.shading = next(4) ? 0 : 1000;
      p.tabId = int32_t(next(3));
      d.paras.push_back(p);
    }
    d.tabs.push_back(wrxpara::WrxTab{});
    for (int k = 0; k < 2; ++k) {
      wrxpara::WrxTab t{};
      for (int stop = 0; stop < 1 + int(next(4)); ++stop)
        wrxpara::SetStop(t, 720 * (stop + 1) + int32_t(next(300)), int32_t(next(4)), uint8_t(next(5)));
      d.tabs.push_back(t);
    }
    d.rows.resize(2);
    d.cells.resize(3);
    d.rows[1].inUse = 1, d.rows[1].firstCell = 1, d.rows[1].gap = 108, d.rows[1].left = int32_t(next(200));
    d.rows[1].flags = int32_t(next(3)), d.rows[1].minHeight = int32_t(next(2)) * 400;
    for (int c = 1; c <= 2; ++c) {
      wrxfmt::WrxCellRecord& cell = d.cells[size_t(c)];
      cell.inUse = 1, cell.row = 1, cell.next = c == 1 ? 2 : -1, cell.width = 1500 + int32_t(next(1000));
      cell.borderSides = int32_t(next(16)), cell.borderWidths[0] = 15, cell.borderWidths[2] = 30;
      cell.shading = int32_t(next(3)) * 10;
    }
    for (int k = 0; k < 2; ++k) {
      wrxrtf::Section x;
      x.left = 0.5f + float(next(8)) * 0.13f, x.right = 1.0f + float(next(5)) * 0.071f;
      x.columns = 1 + int32_t(next(3)), x.continuous = next(2) != 0;
      d.sections.push_back(x);
    }
    d.background = next(3) ? 0xFFFFFF : 0xC0C0C0;
    for (int c = 1; c <= 2; ++c) d.cells[size_t(c)].colour = int32_t(d.background);  // as the control makes cells
    d.wordWrap = next(5) != 0;
    static const char* const kPieces[] = {"plain words ",   "x",    "{braces}", "back\\slash", "caf\xE9 ",
                                          "\x93quoted\x94", "\x96", "\t",       "\x0C",        "\x0E",
                                          "\x0F",           "\x16", "  ",       "\x01\x1F",    "\xFF\x80"};
    const int lines = 3 + int(next(40));
    for (int k = 0; k < lines; ++k) {
      std::string text;
      std::vector<uint8_t> fontIds;
      const int kind = int(next(12));
      if (kind == 0) {
        text = "\x14";  // a section break line
      } else if (kind == 1) {
        text = next(2) ? "\x10" : "\x11";
      } else {
        const int pieces = int(next(kind == 2 ? 400 : 12));
        for (int p = 0; p < pieces; ++p) {
          const std::string piece = kPieces[next(next(3) ? 2 : 15)];
          const uint8_t id = uint8_t(next(4) ? fontIds.empty() ? 0 : fontIds.back() : next(uint32_t(fonts)));
          text += piece;
          fontIds.insert(fontIds.end(), piece.size(), id);
        }
        const int end = int(next(6));
        text += end == 0 ? "\x13" : end == 1 ? "\x12" : "\x15";
        fontIds.push_back(uint8_t(next(uint32_t(fonts))));
      }
      if (fontIds.size() < text.size()) fontIds.resize(text.size(), 0);
      texts.push_back(text);
      ids.push_back(fontIds);
    }
    for (size_t k = 0; k < texts.size(); ++k) {
      wrxrtf::Line l;
      l.text = texts[k].data(), l.length = int32_t(texts[k].size()), l.ids = ids[k].data();
      l.para = int32_t(next(5)) % 4;
      l.cell = next(6) == 0 ? 1 + int32_t(next(2)) : 0;
      d.lines.push_back(l);
    }
    d.picture = [](wrxrtf::Output& o, int id) {
      o.Open();
      o.Word("pict");
      o.Word("picw", id * 100);
      for (int b = 0; b < 300 * id; ++b) o.Hex(uint8_t(b * 37));
      o.Close();
    };
    if (next(4) == 0) {
      d.block = true;
      d.firstLine = int32_t(next(uint32_t(lines)));
      d.lastLine = d.firstLine + int32_t(next(uint32_t(lines - d.firstLine)));
      d.firstCol = int32_t(next(8)), d.lastCol = int32_t(next(30));
    }
  }
};

// Long lines whose font changes every few characters between fonts that
// differ in many ways at once, so that runs of control words meet the place
// where output lines break.
struct SwitchingDoc {
  wrxrtf::Document d;
  std::vector<std::string> texts;
  std::vector<std::vector<uint8_t>> ids;

  // With `notes`, the fonts mark footnotes and their texts.
  explicit SwitchingDoc(uint32_t seed, bool notes = false) {
    uint32_t s = seed * 40503u + 7;
    auto next = [&s](uint32_t n) {
      s = s * 1103515245u + 12345u;
      return (s >> 10) % n;
    };
    static const char* const kFaces[] = {"Arial", "Times New Roman", "Courier New"};
    static const uint32_t kStyles[] = {0, 2 | 4 | 1, 8 | 64, 0x100 | 0x200, 16 | 2, 32 | 4};
    static const uint32_t kNoteStyles[] = {0, 0x400, 0x800 | 2, 0x1000, 0x800, 0x400 | 16};
    for (int k = 0; k < 6; ++k) {
      wrxrtf::Font f;
      f.inUse = true;
      f.face = kFaces[k % 3];
      f.pointSize = 9 + 3 * k;
      f.style = notes ? kNoteStyles[k] : kStyles[k];
      f.text = uint32_t(k) * 0x203040u;
      f.back = k % 2 ? 0xFFFFFF : 0xE0E0E0;
      d.fonts.push_back(f);
    }
    d.paras.push_back(wrxfmt::WrxParaRecord{});
    d.tabs.push_back(wrxpara::WrxTab{});
    for (int line = 0; line < 4; ++line) {
      std::string text;
      std::vector<uint8_t> fontIds;
      while (text.size() < 3000) {
        const size_t run = 1 + next(5);
        const uint8_t id = uint8_t(next(6));
        for (size_t k = 0; k < run; ++k) {
          text += next(6) ? char('a' + next(26)) : ' ';
          fontIds.push_back(id);
        }
      }
      text += "\x15";
      fontIds.push_back(0);
      texts.push_back(text);
      ids.push_back(fontIds);
    }
    for (size_t k = 0; k < texts.size(); ++k) {
      wrxrtf::Line l;
      l.text = texts[k].data(), l.length = int32_t(texts[k].size()), l.ids = ids[k].data();
      d.lines.push_back(l);
    }
  }
};

uint64_t Fnv(const std::string& s) {
  uint64_t h = 14695981039346656037ull;
  for (char c : s) h = (h ^ uint8_t(c)) * 1099511628211ull;
  return h;
}

}  // namespace

// Saved documents must not change by a byte when the writer is made faster:
// these are the fingerprints of what it wrote before.
TEST(RtfWriter, OutputStaysByteForByte) {
  static const uint64_t kExpected[] = {
      15569565518853243261ull, 6705074338200778491ull,  3409415279353488974ull,  10365730891693496367ull,
      7894970793144720984ull,  11599568560936971843ull, 11499051061802863638ull, 15713020348917626830ull,
      16370805970254289204ull, 6879123925394673344ull,  13974443587916962765ull, 16097668335157097527ull,
      6141343063805267204ull,  2801228913160680755ull,  5386303532162992997ull,  10725575328806630424ull,
      2566546552186201618ull,  12421636406310190828ull, 7415420112800989936ull,  3676533319903234910ull,
      13492457788132809846ull, 12949572251094169906ull, 16125437683680661215ull, 2451382104096192285ull,
      12821395963440649140ull, 8224816928909161709ull,  9948505864366850598ull,  18415972935321877826ull,
      12284292058105951606ull, 7059092082238983776ull,  16800516353268457425ull, 225216747719600474ull,
      9855184793734412961ull,  10717134052855875690ull, 7763309135555298863ull,  17411008159386048177ull,
      17004737257926089920ull, 10991214399145565616ull, 4108677103423738732ull,  9030030584832561461ull,
      11685812326838041251ull, 5651063588816268619ull,  16529207311534633433ull, 14483718870330789324ull,
      696468755722845756ull,   5190524107070301091ull,  7614679100641005383ull,  3667606682880938377ull,
      11932075732811902887ull, 10913805003306825522ull, 3969951453905370962ull,  4504763673588106910ull,
      898439045796183298ull,   18266696986523863814ull, 13094313330818748293ull, 9085034141649106782ull,
      15944893870697686104ull, 11377512747509701010ull, 12602080787476500311ull, 9588909965361316157ull,
  };
  for (uint32_t seed = 0; seed < std::size(kExpected); ++seed) {
    SeededDoc doc(seed);
    EXPECT_EQ(Fnv(wrxrtf::Write(doc.d)), kExpected[seed]) << "document " << seed;
  }
}

// Written to a sink a piece at a time, the bytes are those of one piece; a
// sink that refuses stops the writing and the writer says so.
TEST(RtfWriter, PiecesMakeTheSameBytes) {
  for (uint32_t seed = 0; seed < 60; seed += 3) {
    SeededDoc doc(seed);
    const std::string whole = wrxrtf::Write(doc.d);
    for (size_t chunk : {size_t(1), size_t(7), size_t(700), size_t(1) << 20}) {
      std::string pieces;
      const wrxrtf::Sink sink = [&](const char* p, size_t n) {
        pieces.append(p, n);
        return true;
      };
      EXPECT_TRUE(wrxrtf::WriteTo(doc.d, sink, chunk));
      EXPECT_EQ(pieces, whole) << "document " << seed << " in pieces of " << chunk;
    }
    int calls = 0;
    const wrxrtf::Sink refusing = [&](const char*, size_t) { return ++calls > 1 ? false : true; };
    EXPECT_EQ(wrxrtf::WriteTo(doc.d, refusing, 1), false) << "document " << seed;
    EXPECT_EQ(calls, 2) << "document " << seed;
  }
}

TEST(RtfWriter, FontSwitchesStayByteForByte) {
  static const uint64_t kExpected[] = {
      11858434256331455739ull, 3869091894100716495ull,  12713520386206877962ull, 13532203583292594162ull,
      3401835179989140347ull,  14678367087261022887ull, 10970207007436000884ull, 14545096197222215932ull,
  };
  for (uint32_t seed = 0; seed < std::size(kExpected); ++seed) {
    SwitchingDoc doc(seed);
    EXPECT_EQ(Fnv(wrxrtf::Write(doc.d)), kExpected[seed]) << "document " << seed;
  }
}

TEST(RtfWriter, FootnoteSwitchesStayByteForByte) {
  static const uint64_t kExpected[] = {
      7996161968419611385ull,  934335003826838720ull,  11443714277685338974ull, 11299208723808935753ull,
      17226223231574060713ull, 3282862401846023681ull, 15210680175016086624ull, 8760007322661907136ull,
  };
  for (uint32_t seed = 0; seed < std::size(kExpected); ++seed) {
    SwitchingDoc doc(seed, true);
    EXPECT_EQ(Fnv(wrxrtf::Write(doc.d)), kExpected[seed]) << "document " << seed;
  }
}
