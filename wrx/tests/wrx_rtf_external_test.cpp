// Documents saved as RTF for readers of other programs: each fixture is read
// by the control, written by its writer into "rtf_external/NAME.rtf", and its
// paragraph texts (UTF-8, white space folded) into NAME.txt, one a line.
// check_rtf_external.sh then has pandoc and unrtf read the files.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <string>

using namespace wrxtest;

namespace {

// Windows-1252 as UTF-8.
std::string ToUtf8(uint8_t c) {
  static const uint16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                   0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
  const unsigned u = c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c;
  std::string s;
  if (u < 0x80) {
    s.push_back(char(u));
  } else if (u < 0x800) {
    s.push_back(char(0xC0 | (u >> 6)));
    s.push_back(char(0x80 | (u & 63)));
  } else {
    s.push_back(char(0xE0 | (u >> 12)));
    s.push_back(char(0x80 | ((u >> 6) & 63)));
    s.push_back(char(0x80 | (u & 63)));
  }
  return s;
}

struct Fixture {
  const char* name;
  const char* rtf;
};

const Fixture kFixtures[] = {
    {"emphasis",
     "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}\\f0\\fs24 Plain {\\b bold} and {\\i italic} "
     "words.\\par Second {\\ul underlined} {\\f1\\fs32 larger} paragraph.\\par}"},
    {"tabs", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\tx2000 Name\\tab Value\\par One\\tab Two\\tab Three\\par}"},
    {"accents", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Caf\\'e9 na\\'efve \\'fcber \\'c5ngstr\\'f6m\\par}"},
    {"quotes",
     "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 \\'91single\\'92 \\'93double\\'94 \\'95 bullet \\'96 en \\'97 "
     "em\\par braces \\{ and \\} and a backslash \\\\\\par}"},
    {"table",
     "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Before the table.\\par"
     "\\trowd\\trgaph108\\cellx3000\\cellx6000\\pard\\intbl Name\\cell Value\\cell\\row"
     "\\trowd\\trgaph108\\cellx3000\\cellx6000\\pard\\intbl Apples\\cell Seven\\cell\\row"
     "\\pard After the table.\\par}"},
    {"footnote",
     "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 A sentence with a note{\\super\\chftn}{\\*\\footnote\\pard\\plain"
     "{\\super\\chftn} The note itself.} and the rest of it.\\par Second paragraph.\\par}"},
};

}  // namespace

TEST_F(WrxHostTest, DocumentsAreSavedAsRtfForOtherReaders) {
  CreateDirectoryA("rtf_external", nullptr);
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.name);
    HWND hwnd = CreateFromText(f.rtf, WRX_WORDWRAP);
    windows_.push_back(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    std::string rtf;
    ASSERT_TRUE(RtfDocumentBytes(w, 0, rtf));
    std::string text, paragraph, notes;
    auto endParagraph = [&] {
      while (!paragraph.empty() && paragraph.back() == ' ') paragraph.pop_back();
      while (!paragraph.empty() && paragraph.front() == ' ') paragraph.erase(0, 1);
      if (!paragraph.empty()) text += paragraph + "\n";
      paragraph.clear();
    };
    for (int32_t i = 0; i < w->lineCount; ++i) {
      const WrxLine* l = w->lines[i];
      for (int32_t c = 0; c < l->length; ++c) {
        const uint8_t ch = uint8_t(l->text[c]);
        const DWORD style = w->fonts[GetCharFont(w, i, c)].style;
        if (style & 0x1400) {
          // Readers show a note's mark and number their own way: the texts on
          // either side are looked for apart, and the note's text on its own.
          endParagraph();
        } else if (style & 0x800) {
          if (!(style & 16)) notes.push_back(char(ch));
        } else if (ch == w->paraEnd || ch == w->cellEnd || ch == WRX_ROWEND) {
          endParagraph();
        } else if (ch == ' ' || ch == WRX_TAB) {
          if (!paragraph.empty() && paragraph.back() != ' ') paragraph.push_back(' ');
        } else {
          paragraph += ToUtf8(ch);
        }
      }
    }
    endParagraph();
    if (!notes.empty()) {
      paragraph = notes;
      endParagraph();
    }
    ASSERT_FALSE(text.empty());
    if (std::string(f.name) == "footnote") {
      EXPECT_NE(rtf.find("\\footnote"), std::string::npos);
      EXPECT_EQ(text, "A sentence with a note\nand the rest of it.\nSecond paragraph.\nThe note itself.\n");
    }
    if (std::string(f.name) == "table") {
      EXPECT_NE(rtf.find("\\cellx"), std::string::npos);
      EXPECT_NE(text.find("Apples\nSeven\n"), std::string::npos) << text;
      // A row's cells side by side: a reader that nests or splits the table
      // does not show them so.
      text += "Name Value\nApples Seven\n";
    }
    WriteFileBytes(std::string("rtf_external/") + f.name + ".rtf", rtf);
    WriteFileBytes(std::string("rtf_external/") + f.name + ".txt", text);
  }
}
