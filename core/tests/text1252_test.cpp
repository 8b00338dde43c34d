#include "core/text1252.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

TEST(Text1252, CaseMapsAndClasses) {
  EXPECT_EQ(ToUpper1252(255), 159);
  EXPECT_EQ(ToLower1252(159), 255);
  EXPECT_EQ(ToUpper1252(154), 138);
  EXPECT_EQ(ToLower1252(140), 156);
  for (int c : {247, 223, 131, 215}) EXPECT_EQ(ToUpper1252(c), c) << c;
  for (int c : {247, 223, 131, 215}) EXPECT_EQ(ToLower1252(c), c) << c;
  EXPECT_TRUE(IsAlpha1252(223));
  EXPECT_FALSE(IsUpper1252(223));
  EXPECT_FALSE(IsLower1252(223));
  EXPECT_FALSE(IsAlpha1252(215));
  EXPECT_FALSE(IsAlpha1252(247));
  EXPECT_TRUE(IsAlnum1252('7'));
  // Every cased letter round-trips through the other case.
  for (int c = 0; c < 256; ++c) {
    if (IsUpper1252(c)) {
      EXPECT_EQ(ToUpper1252(ToLower1252(c)), c) << c;
    }
    if (IsLower1252(c) && c != 131) {
      EXPECT_EQ(ToLower1252(ToUpper1252(c)), c) << c;
    }
  }
}

TEST(Text1252, SearchReplaceTrim) {
  char text[64] =
      "gr\xfc\xdf"
      "e aus k\xf6ln";
  EXPECT_EQ(stristr(text, "K\xd6LN"), text + 10);
  EXPECT_EQ(stristr("ab", "abc"), nullptr);

  char r[64] = "hello world";
  EXPECT_EQ(strrepl(r, "xyz", "abc"), 1);
  EXPECT_STREQ(r, "hello world");
  EXPECT_EQ(strrepl(r, "world", "there, everyone"), 0);
  EXPECT_STREQ(r, "hello there, everyone");
  EXPECT_EQ(strirepl(r, "HELLO", "hi"), 0);
  EXPECT_STREQ(r, "hi there, everyone");

  // Within a buffer's size: the result is cut, never written past the end.
  struct {
    const char* text;
    const char* oldText;
    const char* newText;
    const char* expected;
  } const kSized[] = {
      {"ab%X%cd", "%X%", "12345678", "ab12345"},  // the replacement itself is cut
      {"%X%tail", "%X%", "1234", "1234tai"},      // the tail is cut
      {"a%LNG%b", "%LNG%", "", "ab"},             // shrinking needs no room
      {"abc", "zz", "12345678", "abc"},           // absent: unchanged
  };
  for (const auto& c : kSized) {
    struct {
      char text[8];
      char guard[8];
    } b;
    std::memset(b.guard, 'G', sizeof b.guard);
    std::strcpy(b.text, c.text);
    strrepl(b.text, sizeof b.text, c.oldText, c.newText);
    EXPECT_STREQ(b.text, c.expected) << c.text;
    EXPECT_EQ(std::string(b.guard, sizeof b.guard), std::string(8, 'G')) << c.text;
  }

  char t[32] = "   padded  ";
  EXPECT_STREQ(strtrim(t), "padded");
  char l[32] = "\t tab";
  EXPECT_STREQ(ltrim(l), "\t tab");  // only the space character is a blank

  char dst[8];
  StrCopyN(dst, "abcdefghij", 7);
  EXPECT_STREQ(dst, "abcdefg");
  char cat[16] = "ab";
  StrCatN(cat, "cdefgh", 3);
  EXPECT_STREQ(cat, "abcde");
}

TEST(Text1252, WildMatchTable) {
  struct Case {
    const char* text;
    const char* pattern;
    bool match;
  } cases[] = {
      {"readme.txt", "*.TXT", true},
      {"b", "[abc]", true},
      {"d", "[^abc]", true},
      {"b", "[^abc]", false},
      {"b", "[a-c]", true},
      {"B", "[a-c]", true},
      {"d", "[a-c]", false},
      {"", "*", true},
      {"", "", true},
      {"x", "", false},
      {"abc", "a?", false},
      {"ab", "a?", true},
      {"a", "a?", false},
      {"]", "[]a]", true},
      {"-", "[a\\-]", true},
      {"*", "\\*", true},
      {"x", "\\*", false},
      {"abcabd", "*abd", true},
      {"mississippi", "m*iss*ppi", true},
      {"mississippi", "m*iss*ppx", false},
      {"", "[a]", false},
      {"abc", "a**c", true},
  };
  for (auto& c : cases) EXPECT_EQ(WildMatch(c.text, c.pattern), c.match) << c.text << " ~ " << c.pattern;
}

TEST(Text1252, WildMatchManyStarsStaysFast) {
  std::string line(4096, 'a');
  std::string pattern;
  for (int i = 0; i < 60; ++i) pattern += "*a";
  pattern += "*b";  // never matches: the worst case for backtracking
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WildMatch(line.c_str(), pattern.c_str()));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  // Not a timing assertion on speed, only a guard against exponential blow-up.
  EXPECT_LT(ms, 5000);
}

TEST(Text1252, MatchNameList) {
  EXPECT_TRUE(MatchNameList("john SMITH", "John_Smith"));
  EXPECT_TRUE(MatchNameList("Mary Smithers", "nobody;*smith*"));
  EXPECT_FALSE(MatchNameList("Mary Jones", "nobody;*smith*"));
  EXPECT_FALSE(MatchNameList("", "*"));
  EXPECT_FALSE(MatchNameList("x", ""));
}

TEST(Text1252, Base64) {
  EXPECT_EQ(base64val('A'), 0);
  EXPECT_EQ(base64val('/'), 63);
  EXPECT_LT(base64val('='), 0);
  EXPECT_LT(base64val(200), 0);
  char a[32] = "SGVsbG8=";
  EXPECT_STREQ(Base64DecodeText(a), "Hello");
  char b[32] = "SGk";  // cut after the third character: two bytes
  EXPECT_STREQ(Base64DecodeText(b), "Hi");
  char c[32] = "SG!!!!";
  EXPECT_STREQ(Base64DecodeText(c), "H");
  char d[8] = "!";
  EXPECT_STREQ(Base64DecodeText(d), "");
}

TEST(Text1252, EncodedWords) {
  char q[128] = "Re: =?iso-8859-1?q?caf=E9_au_lait?= and =?iso-8859-1?Q?more?=";
  EXPECT_STREQ(DecodeEncodedWords(q), "Re: caf\xe9 au lait and =?iso-8859-1?Q?more?=");
  char b[128] = "=?utf-8?B?YV9i?=";
  EXPECT_STREQ(DecodeEncodedWords(b), "a_b");
  char open[64] = "=?iso-8859-1?Q?never closed";
  EXPECT_STREQ(DecodeEncodedWords(open), "=?iso-8859-1?Q?never closed");
  char plain[64] = "=?nothing here";
  EXPECT_STREQ(DecodeEncodedWords(plain), "=?nothing here");
  // A malformed word first stays as text and the next good one is decoded.
  struct Case {
    const char* text;
    const char* decoded;
  } cases[] = {
      {"=?x?Z?bad?= =?iso-8859-1?Q?caf=E9?=", "=?x?Z?bad?= caf\xe9"},
      {"=??Q?nocharset?= =?utf-8?B?YV9i?=", "=??Q?nocharset?= a_b"},
      {"=?x?QQ?odd?= then =?a?q?ok?=", "=?x?QQ?odd?= then ok"},
      {"=?=?a?Q?ok?=", "=?ok"},
  };
  for (const Case& c : cases) {
    char text[128];
    std::strcpy(text, c.text);
    EXPECT_STREQ(DecodeEncodedWords(text), c.decoded) << c.text;
  }
}

TEST(Text1252, QuotedPrintable) {
  char s[64] = "a=3Db=\r\nc=zz_";
  EXPECT_STREQ(qpdecode(s), "a=bc=zz_");
  char w[64] = "a_b";
  EXPECT_STREQ(qpdecode(w, true), "a b");
}

namespace {

struct AddressCase {
  const char* line;
  const char* name;
  const char* address;
};

// Each line parses to its name and address, and the first byte returned is the address's.
template <size_t N>
void ExpectParsedAddresses(const AddressCase (&cases)[N]) {
  for (const AddressCase& c : cases) {
    char name[128], address[128];
    char first = ParseAddress(c.line, name, sizeof name, address, sizeof address);
    EXPECT_STREQ(name, c.name) << c.line;
    EXPECT_STREQ(address, c.address) << c.line;
    EXPECT_EQ(first, c.address[0]) << c.line;
  }
}

}  // namespace

TEST(Text1252, ParseAddressTable) {
  const AddressCase cases[] = {
      {"Joe Bloggs <joe@example.com>", "Joe Bloggs", "joe@example.com"},
      {"\"Bloggs, Joe\" <joe@example.com>\r\n", "Bloggs, Joe", "joe@example.com"},
      {"76543,210", "", "76543,210"},
      {"Jane [76543,210]", "Jane", "76543,210"},
      {"joe@example.com (Joe Bloggs)", "Joe Bloggs", "joe@example.com"},
      {"INTERNET:joe@example.com", "", "joe@example.com"},
      {"Joe <jbloggs>", "Joe", "jbloggs"},
      {"[host]", "", "host"},
      {"plain.address", "", "plain.address"},
      {"=?iso-8859-1?Q?Ren=E9?= <rene@example.com>", "Ren\xe9", "rene@example.com"},
      {"'Single' <s@example.com>", "Single", "s@example.com"},
      {"", "", ""},
  };
  ExpectParsedAddresses(cases);
}

// The search and trims every header goes through run in line; they give
// what the plain forms built on the C library give.
TEST(Text1252, InLineSearchAndTrimsAgreeWithThePlainForms) {
  auto plainSearch = [](const char* text, const char* needle) -> const char* {
    size_t tl = std::strlen(text), nl = std::strlen(needle);
    for (size_t i = 0; i + nl <= tl; ++i) {
      size_t j = 0;
      while (j < nl &&
             ToUpper1252(static_cast<unsigned char>(text[i + j])) == ToUpper1252(static_cast<unsigned char>(needle[j])))
        ++j;
      if (j == nl) return text + i;
    }
    return nullptr;
  };
  const char* const texts[] = {"",     "a",       "Re: Re: x", "re: rE: Re: x", "xRe: Re",      "Re: Re:",
                               "aaab", "abababc", "\xe9t\xe9", "\xc9T\xc9 a",   "INTERNET:a@b", "   pad  ",
                               "ab",   "abc",     "k\xf6ln",   "\xff\x9f",      "partial Re: R"};
  const char* const needles[] = {"", "a", "ab", "abc", "Re: Re: ", "\xc9t", "\x9f\xff", "INTERNET:", "R", "x"};
  for (const char* text : texts)
    for (const char* needle : needles)
      EXPECT_EQ(stristr(text, needle), plainSearch(text, needle)) << text << "|" << needle;

  for (const char* text : {"", " ", "   ", "a", " a", "a ", "  a b  ", "\ta \t", "a\r\n  ", "  \xa0x\xa0  "}) {
    std::string expected = text;
    while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    std::string both = expected;
    both.erase(0, both.find_first_not_of(' ') == std::string::npos ? both.size() : both.find_first_not_of(' '));
    std::string left = text;
    left.erase(0, left.find_first_not_of(' ') == std::string::npos ? left.size() : left.find_first_not_of(' '));
    char r[32], l[32], t[32];
    std::strcpy(r, text);
    std::strcpy(l, text);
    std::strcpy(t, text);
    EXPECT_EQ(rtrim(r), r);
    EXPECT_EQ(std::string(r), expected) << "[" << text << "]";
    EXPECT_EQ(std::string(ltrim(l)), left) << "[" << text << "]";
    EXPECT_EQ(std::string(strtrim(t)), both) << "[" << text << "]";
  }
}

// Addresses with comments, quotes, several brackets and odd blanks, as the
// library-based reader read them.
TEST(Text1252, ParseAddressCommentsQuotesAndBrackets) {
  const AddressCase cases[] = {
      {"  Joe   Bloggs   <joe@example.com>  \r\n", "Joe   Bloggs", "joe@example.com"},
      {"joe@example.com (Joe (the) Bloggs)", "Joe (the) Bloggs", "joe@example.com"},
      {"(Joe) joe@example.com", "", "(Joe) joe@example.com"},
      {"Joe <a@b> <c@d>", "Joe <a@b>", "c@d"},
      {"Joe > x < y@z", "", "Joe > x < y@z"},
      {"Joe <x y@z>", "Joe", "x y@z"},
      {"<@>", "", "@"},
      {"internet:Joe@Example.com", "", "Joe@Example.com"},
      {"  INTERNET:joe@example.com  ", "", "joe@example.com"},
      {"Joe Bloggs INTERNET:joe@example.com", "", "Joe Bloggs INTERNET:joe@example.com"},
      {"\"Bloggs (Joe)\" <joe@example.com>", "Bloggs (Joe)", "joe@example.com"},
      {"'Joe' 'x' <j@e>", "Joe", "j@e"},
      {"\"unterminated <j@e>", "unterminated", "j@e"},
      {"a (b) c)", "b) c", "a"},
      {"Jane Doe [76543,210]", "Jane Doe", "76543,210"},
      {"Jane Doe [host.example]", "Jane Doe", "host.example"},
      {"Joe Bloggs 76543,210", "Joe Bloggs", "76543,210"},
      {"Poster 12 <poster12@example.com>", "Poster 12", "poster12@example.com"},
      {"   ", "", ""},
      {"\r\n", "", ""},
      {"=?utf-8?B?Sm9l?= <joe@example.com>", "Joe", "joe@example.com"},
      {"Joe <joe@example.com> (comment)", "Joe  (comment)", "joe@example.com"},
      {"Joe\t<joe@example.com>", "Joe\t", "joe@example.com"},
      {"<joe@example.com>", "", "joe@example.com"},
  };
  ExpectParsedAddresses(cases);
}

TEST(Text1252, ParseAddressBoundsOutputAndHostileInput) {
  std::string longLine(1000, 'x');
  longLine += " <" + std::string(1000, 'y') + "@z>";
  char name[16], address[16];
  ParseAddress(longLine.c_str(), name, sizeof name, address, sizeof address);
  EXPECT_EQ(std::strlen(name), 15u);
  EXPECT_EQ(std::strlen(address), 15u);
  for (const char* bad : {"<", ">", "()", ")", "(", "<@>", "> <", "[", "]", " ]", "\"", "=?x?Q?"}) {
    ParseAddress(bad, name, sizeof name, address, sizeof address);
  }
}

TEST(Text1252, Uuencode) {
  std::string m61 = "M" + std::string(60, 'A');
  EXPECT_TRUE(IsUuencodeLine(m61.c_str()));
  EXPECT_TRUE(IsUuencodeLine((m61 + "\n").c_str()));
  EXPECT_TRUE(IsUuencodeLine((m61 + "\r\n").c_str()));
  EXPECT_FALSE(IsUuencodeLine((m61 + "\r").c_str()));
  std::string withBlank = m61;
  withBlank[10] = ' ';
  EXPECT_FALSE(IsUuencodeLine(withBlank.c_str()));
  EXPECT_FALSE(IsUuencodeLine(("N" + std::string(60, 'A')).c_str()));
}
