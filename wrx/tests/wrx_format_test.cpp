#include "wrx/wrx_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wrxfmt;

namespace {

struct Split {
  std::vector<std::string> lines;
  std::vector<bool> ended;
  TextSplit result;
};

Split SplitText(const std::string& bytes, bool fromBuffer, uint8_t delimiter = 13) {
  Split s;
  s.result = SplitTextSection(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), fromBuffer, delimiter,
                              [&](const char* p, size_t n, bool ended) {
                                s.lines.emplace_back(p, n);
                                s.ended.push_back(ended);
                                return true;
                              });
  return s;
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

// A two-line formatting set with one bold font, one picture and a paragraph
// in a frame, as a window would save it.
Formatting SampleFormatting() {
  Formatting f;
  f.fonts.resize(3);
  f.fonts[0].inUse = true;
  f.fonts[0].rec = EmptyFontRecord();
  std::strcpy(f.fonts[0].rec.face, "Arial");
  f.fonts[0].rec.pointSize = 12;
  f.fonts[1] = f.fonts[0];
  f.fonts[1].rec.style = 2;
  f.fonts[2].inUse = true;
  f.fonts[2].rec = EmptyFontRecord();
  f.fonts[2].rec.style = kPictureStyle;
  f.fonts[2].pictHeight = 72;
  f.fonts[2].pictWidth = 144;
  f.fonts[2].image = {1, 2, 3, 4, 5};
  f.fonts[2].info = {9, 8, 7};
  f.fonts[2].linkName = "C:\\PICT.BMP";
  f.lines.resize(2);
  f.lines[0].shared = false;
  f.lines[0].length = 3;
  f.idPool = {0, 1, 2};
  f.lines[1].sharedId = 1;
  f.lines[1].para = 1;
  f.lines[1].frame = 1;
  f.paras.resize(2);
  f.paras[0].flags = 0x400;
  f.paras[1].flags = 0x001;
  f.paras[1].leftIndent = 720;
  f.paras[1].placement = 1;
  f.tabs.resize(1);
  f.sections.resize(1);
  f.sections[0].inUse = 1;
  f.sections[0].leftMargin = 1.25f;
  f.rows.resize(1);
  f.cells.resize(1);
  f.frames.resize(2);
  for (auto& fr : f.frames) fr.bytes[0] = 1;
  f.styles.resize(2);
  f.info.reserved[10] = 0x5A;  // carried unchanged
  return f;
}

std::vector<uint8_t> Encode(const Formatting& f) {
  std::vector<uint8_t> out;
  EncodeFormatting(f, out);
  return out;
}

int Decode(const std::vector<uint8_t>& bytes, const std::vector<int32_t>& lengths, Formatting& out) {
  return DecodeFormatting(bytes.data(), bytes.size(), lengths, out);
}

}  // namespace

TEST(WrxTextSection, SplitsLinesAsTheControlReadsThem) {
  struct Case {
    const char* name;
    std::string bytes;
    bool fromBuffer;
    std::vector<std::string> lines;
    bool crlf;
  } cases[] = {
      {"file CR LF", "one\r\ntwo\r\n", false, {"one", "two"}, true},
      {"file keeps bare CR and LF in the line", "a\rb\nc\r\n", false, {"a\rb\nc"}, true},
      {"file last line without end", "one\r\ntwo", false, {"one", "two"}, true},
      {"buffer CR LF", "one\r\ntwo\r\n", true, {"one", "two"}, true},
      {"buffer bare CR", "one\rtwo\r", true, {"one", "two"}, false},
      {"buffer empty lines", "\r\n\r\nx\r\n", true, {"", "", "x"}, true},
  };
  for (const Case& c : cases) {
    Split s = SplitText(c.bytes, c.fromBuffer);
    EXPECT_EQ(s.lines, c.lines) << c.name;
    EXPECT_EQ(s.result.crlf, c.crlf) << c.name;
    EXPECT_FALSE(s.result.markerMet) << c.name;
  }
}

TEST(WrxTextSection, CutsLongLinesAndStopsAtTheMarkerLine) {
  std::string longLine(5000, 'x');
  Split s = SplitText(longLine + "\r\nend\r\n" + kMarkerLine + "\r\nFORMAT", false);
  ASSERT_EQ(s.lines.size(), 4u);
  EXPECT_EQ(s.lines[0].size(), size_t(kMaxLineLength - 2));
  EXPECT_FALSE(s.ended[0]);
  EXPECT_EQ(s.lines[2].size(), 5000u - 2 * (kMaxLineLength - 2));
  EXPECT_TRUE(s.ended[2]);
  EXPECT_EQ(s.lines[3], "end");
  EXPECT_TRUE(s.result.markerMet);
  EXPECT_EQ(s.result.end, 5000u + 2 + 5 + sizeof kMarkerLine - 1 + 2);

  // A buffer with another delimiter: the marker line ends with it too.
  Split b = SplitText(std::string("a\001b\001") + kMarkerLine + "\001rest", true, 1);
  EXPECT_EQ(b.lines, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(b.result.markerMet);
  EXPECT_FALSE(b.result.crlf);
}

TEST(WrxFileInfo, OnlyTheLastBlockWithItsSignatureMakesADocumentNative) {
  WrxFileInfo info;
  std::vector<uint8_t> doc(601, 0);
  doc[0] = kInfoLead;
  doc[1] = '(';
  EXPECT_FALSE(ReadFileInfo(doc.data(), doc.size(), info)) << "601 bytes cannot hold the block";
  EXPECT_EQ(info.lead, kInfoLead);
  EXPECT_EQ(info.version, 0);
  doc.push_back(0);
  doc[2] = 9;
  ASSERT_TRUE(ReadFileInfo(doc.data(), doc.size(), info));
  EXPECT_EQ(info.version, 9);
  doc.push_back('x');  // the block must be the last 602 bytes
  EXPECT_FALSE(ReadFileInfo(doc.data(), doc.size(), info));
  doc.pop_back();
  doc[1] = 'z';  // 0xBA alone (a plain text with a '\xBA') is not enough
  EXPECT_FALSE(ReadFileInfo(doc.data(), doc.size(), info));
}

TEST(WrxNativeFormat, RoundTripsEveryTableByteForByte) {
  Formatting f = SampleFormatting();
  std::vector<uint8_t> bytes = Encode(f);
  Formatting back;
  ASSERT_EQ(Decode(bytes, {3, 5}, back), kErrNone);
  EXPECT_EQ(back.version, kFormatVersion);
  ASSERT_EQ(back.fonts.size(), 3u);
  EXPECT_EQ(back.fonts[1].rec.style, 2);
  EXPECT_EQ(back.fonts[2].image, f.fonts[2].image);
  EXPECT_EQ(back.fonts[2].info, f.fonts[2].info);
  EXPECT_EQ(back.fonts[2].linkName, f.fonts[2].linkName);
  EXPECT_EQ(back.fonts[2].pictWidth, 144);
  EXPECT_FALSE(back.lines[0].shared);
  EXPECT_EQ(back.lines[1].sharedId, 1);
  EXPECT_EQ(back.lines[1].para, 1);
  EXPECT_EQ(back.lines[1].frame, 1);
  EXPECT_EQ(back.paras[1].leftIndent, 720);
  EXPECT_EQ(back.info.reserved[10], 0x5A);
  EXPECT_EQ(Encode(back), bytes);
}

TEST(WrxNativeFormat, ReadsAVersionTwoDocument) {
  // Version 2: one-byte font-id counts per line, four-byte paragraph ids, no
  // cell or frame ids, 40-byte paragraphs, 164-byte tabs, 48-byte frames.
  std::vector<uint8_t> d;
  d.push_back(1), d.push_back(0);                  // line 0 ("hi"): shared id 0
  d.push_back(2), d.push_back(1), d.push_back(0);  // line 1 ("ab"): ids 1, 0
  d.push_back(kTableMarker);
  d.push_back(2);
  for (int id = 0; id < 2; ++id) {
    WrxFontRecord rec = EmptyFontRecord();
    rec.pointSize = 10 + id;
    std::strcpy(rec.face, "Arial");
    rec.attribute = 77;  // not stored before version 8
    d.insert(d.end(), reinterpret_cast<uint8_t*>(&rec), reinterpret_cast<uint8_t*>(&rec) + sizeof rec);
  }
  d.push_back(kTableMarker);
  PutI32(d, 0), PutI32(d, 1);
  d.push_back(kTableMarker);
  PutI32(d, 2);
  for (int p = 0; p < 2; ++p) {
    // left, right, first, flags, tab, cell word, word 10, word 11, before, after
    int32_t words[10] = {100 * p, 0, 0, p ? 0x001 : 0, 0, 0, 0, p ? 1 : 0, 0, 0};
    for (int32_t w : words) PutI32(d, w);
  }
  auto table = [&](int32_t n, size_t size) {
    d.push_back(kTableMarker);
    PutI32(d, n);
    d.insert(d.end(), size * n, 0);
  };
  table(1, 164), table(1, 68), table(1, 80), table(1, 88), table(2, 48), table(2, 192);
  d.push_back(kInfoLead);
  std::vector<uint8_t> info(kFileInfoSize, 0);
  info[0] = kInfoLead, info[1] = '(', info[2] = 2;
  d.insert(d.end(), info.begin(), info.end());

  Formatting f;
  ASSERT_EQ(Decode(d, {2, 2}, f), kErrNone);
  EXPECT_EQ(f.version, 2);
  EXPECT_TRUE(f.lines[0].shared);
  ASSERT_FALSE(f.lines[1].shared);
  EXPECT_EQ(f.idPool[f.lines[1].idOffset], 1);
  EXPECT_EQ(f.fonts[1].rec.pointSize, 11);
  EXPECT_EQ(f.fonts[1].rec.attribute, 1);
  EXPECT_EQ(f.lines[1].para, 1);
  EXPECT_EQ(f.lines[1].frame, 1) << "older documents kept the frame in the paragraph";
  EXPECT_EQ(f.paras[1].placement, 1);
  EXPECT_EQ(f.paras[0].flags, 0x400);
  EXPECT_EQ(f.sections[0].orientation, 1);
}

TEST(WrxNativeFormat, RepairsOutOfRangeIdsAndClampsCounts) {
  Formatting f = SampleFormatting();
  f.idPool = {0, 255, 2};  // 255 names no font
  f.lines[1].para = 7;     // beyond the paragraph table
  f.lines[0].cell = 3;
  f.paras[1].tabId = 40;
  f.frames.resize(2001);
  std::vector<uint8_t> bytes = Encode(f);
  Formatting back;
  EXPECT_EQ(Decode(bytes, {3, 5}, back), kErrNotNative);
  EXPECT_EQ(back.idPool[back.lines[0].idOffset + 1], 0);
  EXPECT_EQ(back.lines[1].para, 0);
  EXPECT_EQ(back.lines[0].cell, 0);
  EXPECT_EQ(back.paras[1].tabId, 0);
  EXPECT_EQ(back.frames.size(), size_t(kMaxParaFrames));
  EXPECT_EQ(back.styles.size(), 2u) << "the excess frames are skipped, the styles still read";
}

TEST(WrxNativeFormat, RefusesTruncatedAndHostileDocuments) {
  const std::vector<uint8_t> good = Encode(SampleFormatting());
  const size_t infoStart = good.size() - kFileInfoSize;
  auto withTail = [&](size_t cut) {
    // Keep the information block so the document still claims to be native.
    std::vector<uint8_t> d(good.begin(), good.begin() + cut);
    d.insert(d.end(), good.begin() + infoStart, good.end());
    return d;
  };
  Formatting f;
  for (size_t cut = 0; cut < infoStart; ++cut) {
    int err = Decode(withTail(cut), {3, 5}, f);
    EXPECT_NE(err, kErrNone) << "cut at " << cut;
    EXPECT_LE(f.fonts.size(), size_t(kMaxFontIds));
  }
  struct Case {
    const char* name;
    size_t offset;  // of a 32-bit field in the formatting section
    int32_t value;
    int error;
  } cases[] = {
      {"font-id count not the line length", 0, 2, kErrCharFormatMissing},
      {"huge font-id count", 0, 0x7FFFFFFF, kErrCharFormatMissing},
      {"negative font-id count", 0, -5, kErrCharFormatMissing},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> d = good;
    std::memcpy(d.data() + c.offset, &c.value, 4);
    EXPECT_EQ(Decode(d, {3, 5}, f), c.error) << c.name;
  }
  // A picture whose data size runs past the document.
  std::vector<uint8_t> d = good;
  const size_t fontTable = 4 + 3 + 4 + 1 + 2;  // ids of both lines, marker, count
  const size_t picture = fontTable + 2 * sizeof(WrxFontRecord) + sizeof(WrxFontRecord) + 12 + 8;
  int32_t huge = 0x10000000;
  std::memcpy(d.data() + picture, &huge, 4);
  EXPECT_EQ(Decode(d, {3, 5}, f), kErrFontTableIncomplete);
}
