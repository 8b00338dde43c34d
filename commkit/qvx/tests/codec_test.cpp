#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "commkit/qvx/qvx_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Out {
  uint8_t buffer[4096];
  qvx::Writer w;
  Out() { qvx::Begin(w, buffer, sizeof buffer); }
  Bytes bytes() const { return Bytes(buffer, buffer + w.length); }
};

// The 6-bit codes of an encoded text, as characters 32-95.
std::string Codes(const Bytes& bytes) {
  std::string codes;
  qvx::Reader r;
  qvx::BeginRead(r, bytes.data(), uint16_t(bytes.size()));
  uint32_t bits = 0;
  int have = 0;
  for (;;) {
    if (have < 6) {
      if (r.position >= r.length) break;
      bits |= uint32_t(r.data[r.position++]) << have;
      have += 8;
    }
    codes += char((bits & 63) + 32);
    bits >>= 6;
    have -= 6;
  }
  return codes;
}

Bytes Text6(const char* text, bool eightBit = false) {
  Out out;
  qvx::WriteText6(out.w, text, eightBit);
  return out.bytes();
}

std::string Decode6(const Bytes& bytes, uint16_t* error = nullptr, uint16_t* used = nullptr) {
  qvx::Reader r;
  qvx::BeginRead(r, bytes.data(), uint16_t(bytes.size()));
  std::string text = qvx::ReadText6(r);
  if (error) *error = r.error;
  if (used) *used = r.position;
  return text;
}

TEST(QvxNumbers, ShortNumbersAndWidths) {
  struct Case {
    uint16_t value;
    Bytes bytes;
  } cases[] = {{0, {0}}, {127, {0x7F}}, {128, {0x80, 0x01}}, {300, {0xAC, 0x02}}, {32767, {0xFF, 0xFF}}};
  for (const auto& c : cases) {
    Out out;
    qvx::WriteShortNumber(out.w, c.value);
    EXPECT_EQ(out.bytes(), c.bytes) << c.value;
    qvx::Reader r;
    qvx::BeginRead(r, c.bytes.data(), uint16_t(c.bytes.size()));
    EXPECT_EQ(qvx::ReadShortNumber(r), c.value);
    EXPECT_EQ(r.error, 0);
  }
  Out out;
  qvx::WriteLong24(out.w, 0x123456);
  qvx::WriteLong(out.w, 0xA1B2C3D4);
  qvx::WriteWord(out.w, 0xBEEF);
  EXPECT_EQ(out.bytes(), (Bytes{0x56, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xEF, 0xBE}));
  Bytes b = out.bytes();
  qvx::Reader r;
  qvx::BeginRead(r, b.data(), uint16_t(b.size()));
  EXPECT_EQ(qvx::ReadLong24(r), 0x123456u);
  EXPECT_EQ(qvx::ReadLong(r), 0xA1B2C3D4u);
  EXPECT_EQ(qvx::ReadWord(r), 0xBEEF);
  EXPECT_EQ(qvx::ReadByte(r), 0);
  EXPECT_EQ(r.error, qvx::kErrUnderflow);
}

TEST(QvxNumbers, ShortNumberThatWouldLoseItsTopBitIsRefused) {
  Out out;
  qvx::WriteShortNumber(out.w, 32768);
  EXPECT_EQ(out.w.error, qvx::kErrOverflow);
  EXPECT_EQ(out.w.length, 0);
}

TEST(QvxNumbers, WriterDropsBytesPastItsCapacity) {
  uint8_t small[3];
  qvx::Writer w;
  qvx::Begin(w, small, sizeof small);
  qvx::WriteLong(w, 0x01020304);
  EXPECT_EQ(w.length, 3);
  EXPECT_EQ(w.error, qvx::kErrOverflow);
}

TEST(QvxDates, WordsAndPackedArguments) {
  Out out;
  qvx::WriteDate(out.w, 31, 12, 29);  // 31 December 1999
  // first field 17, 45 minutes, 23 hours, 28 February 2000
  qvx::WriteDateTime(out.w, 17u | 45u << 8 | 23u << 16 | 28u << 24, uint16_t(2 | 30 << 8));
  Bytes b = out.bytes();
  ASSERT_EQ(b.size(), 6u);
  EXPECT_EQ(b[0] | b[1] << 8, 31 | 12 << 5 | 29 << 9);
  EXPECT_EQ(b[2] | b[3] << 8, 17 | 45 << 5 | 23 << 11);
  qvx::Reader r;
  qvx::BeginRead(r, b.data(), uint16_t(b.size()));
  uint8_t date[3], dt[6];
  qvx::ReadDate(r, date);
  qvx::ReadDateTime(r, dt);
  EXPECT_EQ(Bytes(date, date + 3), (Bytes{31, 12, 29}));
  EXPECT_EQ(Bytes(dt, dt + 6), (Bytes{17, 45, 23, 28, 2, 30}));
}

TEST(QvxDates, ShiftCarriesAndBorrowsAcrossDaysMonthsAndYears) {
  struct Case {
    Bytes before;
    int minutes;
    Bytes after;
  } cases[] = {
      {{0, 50, 23, 31, 12, 29}, 20, {0, 10, 0, 1, 1, 30}},   // into the new year
      {{0, 0, 1, 1, 3, 30}, -300, {0, 0, 20, 29, 2, 30}},    // back into February 2000: 29 days
      {{0, 0, 1, 1, 3, 31}, -300, {0, 0, 20, 28, 2, 31}},    // 2001: 28 days
      {{0, 0, 1, 1, 1, 30}, -300, {0, 0, 20, 31, 12, 29}},   // back into last year
      {{0, 30, 23, 28, 2, 30}, 45, {0, 15, 0, 29, 2, 30}},   // 29 February 2000 exists
      {{0, 30, 23, 28, 2, 130}, 45, {0, 15, 0, 1, 3, 130}},  // 2100 is no leap year
      {{0, 0, 12, 15, 6, 30}, 720, {0, 0, 12, 15, 6, 30}},   // 12 hours or more: left alone
      {{0, 0, 12, 15, 6, 30}, -720, {0, 0, 12, 15, 6, 30}}, {{0, 59, 10, 15, 6, 30}, 719, {0, 58, 22, 15, 6, 30}},
  };
  for (const auto& c : cases) {
    Bytes dt = c.before;
    qvx::ShiftDateTime(dt.data(), c.minutes);
    EXPECT_EQ(dt, c.after) << c.minutes;
  }
}

TEST(QvxText, CodesOfTheEscapeTable) {
  struct Case {
    const char* text;
    const char* codes;  // codes written, before the final partial group's padding
  } cases[] = {
      {"", " "},
      {"a", "A "},
      {"ab", "AB "},
      {"AB", "\\AB\\ "},
      {"A", "^A "},
      {"Ab", "^AB "},
      {"ABc", "\\AB\\C "},
      {"a b\n", "A$B% "},
      {"#$%", "^,^-^. "},
      {"\\^`{|}~", "^<^>^@^[^\\^]^^ "},
      {"\x01\x1f", "#A#_ "},
      {"\x7f", "#? "},
      {"@[]_!9", "@[]_!9 "},
  };
  for (const auto& c : cases) {
    std::string codes = Codes(Text6(c.text));
    EXPECT_EQ(codes.substr(0, std::string(c.codes).size()), c.codes) << c.text;
    EXPECT_EQ(Decode6(Text6(c.text)), c.text) << c.text;
  }
}

TEST(QvxText, TopHalfRowsInEightBitMode) {
  struct Case {
    uint8_t c;
    const char* codes;
  } cases[] = {{128, "#@@"},  {159, "#@_"}, {160, "#@?"}, {161, "^!"},  {171, "^+"},  {172, "\\["}, {173, "^="},
               {174, "\\\\"}, {175, "^/"},  {187, "^;"},  {188, "\\]"}, {190, "\\_"}, {191, "^?"},  {192, "\\@"},
               {193, "\\!"},  {223, "\\?"}, {224, "^_"},  {225, "#!"},  {254, "#>"},  {255, "#J"}};
  for (const auto& c : cases) {
    char text[2] = {char(c.c), 0};
    std::string codes = Codes(Text6(text, true));
    EXPECT_EQ(codes.substr(0, std::string(c.codes).size()), c.codes) << int(c.c);
    EXPECT_EQ(Decode6(Text6(text, true)), text) << int(c.c);
  }
  // Without the 8-bit flag the character loses its top bit.
  EXPECT_EQ(Decode6(Text6("\xC1")), "A");
}

TEST(QvxText, LengthsOfTheGroups) {
  EXPECT_EQ(Text6(""), Bytes{0});
  EXPECT_EQ(Text6("a").size(), 2u);
  EXPECT_EQ(Text6("abcde").size(), 5u);
  EXPECT_EQ(Text6("abc").size(), 3u);  // four codes: one whole group
  // The reader stops where the writer did, so fields after a text line up.
  Out out;
  qvx::WriteText6(out.w, "hello", false);
  qvx::WriteByte(out.w, 0xAA);
  uint16_t error = 0, used = 0;
  Bytes b = out.bytes();
  EXPECT_EQ(Decode6(b, &error, &used), "hello");
  EXPECT_EQ(used, b.size() - 1);
  EXPECT_EQ(error, 0);
}

TEST(QvxText, EveryTextRoundTrips) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    int n = int(rng() % 40);
    for (int i = 0; i < n; ++i) {
      // Runs of capitals, small letters and anything else, mixed.
      int kind = int(rng() % 4);
      char c = kind == 0 ? char('A' + rng() % 26) : kind == 1 ? char('a' + rng() % 26) : char(1 + rng() % 255);
      text += c;
    }
    EXPECT_EQ(Decode6(Text6(text.c_str(), true)), text);
  }
}

TEST(QvxText, PiecesMakeOneText) {
  Out pieces, whole;
  qvx::WriteText6Piece(pieces.w, "Hello W", false);
  qvx::WriteText6Piece(pieces.w, "ORLD and", false);
  qvx::WriteText6Piece(pieces.w, " more", false);
  qvx::WriteText6Piece(pieces.w, nullptr, false);
  qvx::WriteText6(whole.w, "Hello WORLD and more", false);
  EXPECT_EQ(pieces.bytes(), whole.bytes());
  EXPECT_EQ(Decode6(pieces.bytes()), "Hello WORLD and more");
}

TEST(QvxText, TruncatedTextStopsWithUnderflow) {
  Bytes b = Text6("truncated text");
  b.resize(4);
  uint16_t error = 0;
  EXPECT_EQ(Decode6(b, &error), "trunc");
  EXPECT_EQ(error, qvx::kErrUnderflow);
}

TEST(QvxStrings, EightBitStrings) {
  Out out;
  qvx::WriteString8(out.w, "");
  qvx::WriteString8(out.w, nullptr);
  qvx::WriteString8(out.w, "x\xE9");
  EXPECT_EQ(out.bytes(), (Bytes{0, 0, 'x', 0xE9, 0}));
  Bytes b = out.bytes();
  qvx::Reader r;
  qvx::BeginRead(r, b.data(), uint16_t(b.size()));
  EXPECT_EQ(qvx::ReadString8(r), "");
  EXPECT_EQ(qvx::ReadString8(r), "");
  EXPECT_EQ(qvx::ReadString8(r), "x\xE9");
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(qvx::ReadString8(r), "");
  EXPECT_EQ(r.error, qvx::kErrUnderflow);
}

TEST(QvxPacked, FiveBytePackedValue) {
  // V = 0x0ABCDEF1: flag 1, X = V >> 1.
  Bytes b = {0xF1, 0xDE, 0xBC, 0x0A, 0x5C};
  qvx::Reader r;
  qvx::BeginRead(r, b.data(), uint16_t(b.size()));
  qvx::Packed5 p = qvx::ReadPacked5(r);
  uint32_t x = (0x0ABCDEF1u >> 1) & 0x7FFFFFF;
  int32_t flag = p.flag;
  uint32_t px = p.x, number = p.number;
  uint16_t y = p.y;
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(px, x);
  EXPECT_EQ(p.digit, (x & 15) + 1);
  EXPECT_EQ(number, (x >> 4) & 0x7FFFFF);
  EXPECT_EQ(y, ((0x5C << 8) | 0x0A) >> 4);
  Bytes even = {0xF0, 0xDE, 0xBC, 0x0A, 0x5C};
  qvx::BeginRead(r, even.data(), uint16_t(even.size()));
  p = qvx::ReadPacked5(r);
  flag = p.flag;
  number = p.number;
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(p.digit, 0);
  EXPECT_EQ(number, 0u);
}

}  // namespace
