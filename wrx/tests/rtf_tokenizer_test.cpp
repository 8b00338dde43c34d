// The RTF input layer: words, parameters, hex pairs, \bin data and groups.
#include "wrx/rtf_tokenizer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The tokens of an input, written out: {, }, \word(param), 'c', <bin n>, !.
std::string Tokens(const std::string& in) {
  rtf::Tokenizer t(reinterpret_cast<const uint8_t*>(in.data()), in.size());
  std::string out;
  for (int guard = 0; guard < 1000; ++guard) {
    const rtf::Token k = t.Next();
    switch (k.kind) {
      case rtf::TokenKind::kEnd: return out;
      case rtf::TokenKind::kGroupOpen: out += "{"; break;
      case rtf::TokenKind::kGroupClose: out += "}"; break;
      case rtf::TokenKind::kControl:
        out += "\\" + k.word + (k.hasParam ? "(" + std::to_string(k.param) + ")" : "");
        break;
      case rtf::TokenKind::kText: out += "'" + std::string(1, char(k.byte)) + "'"; break;
      case rtf::TokenKind::kBinary: out += "<bin " + std::to_string(k.binaryLength) + ">"; break;
      case rtf::TokenKind::kError: out += "!"; return out;
    }
  }
  return out;
}

TEST(RtfTokenizerTest, WordsParametersHexAndBinaryData) {
  struct Case {
    std::string in, want;
  } cases[] = {
      {"{\\rtf1 a}", "{\\rtf(1)'a'}"},
      {"\\fs-20x", "\\fs(-20)'x'"},
      {"\\b0\\i", "\\b(0)\\i"},
      {"\\'e9\\'4", "'\xe9''\x04'"},
      {"\\{\\}\\\\", "'{''}''\\'"},
      {"\\~\\*\\-", "\\~\\*\\-"},
      {"a\r\nb", "'a''b'"},
      {"\\\n", "\\par"},
      {"\\fs99999999999999 ", "\\fs(2147483647)"},
      {"\\li-99999999999x", "\\li(-2147483648)'x'"},
      {"\\bin3 {}\\x", "<bin 3>'x'"},
      {"\\bin100 ab", "<bin 2>"},
      {"\\bin0 x", "<bin 0>'x'"},
      {"}", "!"},
      {std::string(50, '{'), std::string(50, '{')},
      {std::string(51, '{'), std::string(50, '{') + "!"},
      {"\\", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.in), c.want) << c.in;
}

TEST(RtfTokenizerTest, PushBackAndSkippingAGroup) {
  const std::string in = "{\\info{\\title x}}tail";
  rtf::Tokenizer t(reinterpret_cast<const uint8_t*>(in.data()), in.size());
  ASSERT_EQ(t.Next().kind, rtf::TokenKind::kGroupOpen);
  const rtf::Token info = t.Next();
  EXPECT_EQ(info.word, "info");
  t.PushBack(info);
  EXPECT_EQ(t.Next().word, "info");
  t.SkipGroup();
  EXPECT_EQ(t.depth(), 0);
  const rtf::Token after = t.Next();
  EXPECT_EQ(after.kind, rtf::TokenKind::kText);
  EXPECT_EQ(after.byte, 't');
}

}  // namespace
