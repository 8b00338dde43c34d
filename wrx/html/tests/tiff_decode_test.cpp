// The TIFF decoder against the distribution's TIFF tools: pictures made at
// test time in every compression and byte order, compared pixel for pixel;
// and small hand-built files for what the tools never write.
#include "wrx/html/tiff_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/files.h"
#include "wrx/html/tests/picture_tools.h"

namespace {

using pictest::Rgb;

html::DecodedPicture Decode(const std::string& bytes) {
  return html::TifDecode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The reference pixels of a TIFF: the library's RGBA conversion, read back
// as a PPM by the imaging module.
Rgb Reference(const testfs::TempDir& dir, const std::string& name) {
  EXPECT_TRUE(pictest::Run("tiff2rgba -c none " + dir.Path(name) + " " + dir.Path("rgba.tif")))
      << "the TIFF tools (package libtiff-tools) must be installed";
  EXPECT_TRUE(
      pictest::Run("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                   "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2], 'PPM')\" " +
                   dir.Path("rgba.tif") + " " + dir.Path("ref.ppm")))
      << "the imaging module (package python3-pil) must be installed";
  Rgb out;
  EXPECT_TRUE(pictest::FromPnm(dir.Read("ref.ppm"), out));
  return out;
}

// Writes the test picture as an uncompressed TIFF in the imaging module's
// mode: "RGB", "L" (grey), "P" (palette) or "1" (bilevel); extra is passed to
// its save call.
void MakeSource(const testfs::TempDir& dir, const std::string& mode, const std::string& name,
                const std::string& extra = "", uint32_t width = 45) {
  ASSERT_TRUE(dir.Write("src.ppm", pictest::ToPnm(pictest::TestPicture(width, 29, false), false)));
  ASSERT_TRUE(
      pictest::Run("/usr/bin/python3 -c \"import sys; from PIL import Image; im = "
                   "Image.open(sys.argv[1]); im = im.quantize(16) if sys.argv[3] == 'P' else "
                   "im.convert(sys.argv[3]); im.save(sys.argv[2]" +
                   extra + ")\" " + dir.Path("src.ppm") + " " + dir.Path(name) + " " + mode));
}

TEST(TiffDecodeTest, MatchesTheLibraryInEveryCompressionAndByteOrder) {
  testfs::TempDir dir("tiff");
  const char* copies[] = {"-c none",         "-c packbits",         "-c lzw",         "-c lzw -r 3",
                          "-c none -B -r 4", "-c packbits -L -r 5", "-c lzw -B -r 7", "-c packbits -B"};
  for (const char* mode : {"RGB", "L", "P", "1"}) {
    MakeSource(dir, mode, "src.tif");
    for (const char* copy : copies) {
      SCOPED_TRACE(std::string(mode) + " " + copy);
      ASSERT_TRUE(pictest::Run(std::string("tiffcp ") + copy + " " + dir.Path("src.tif") + " " + dir.Path("a.tif")));
      const html::DecodedPicture got = Decode(dir.Read("a.tif"));
      EXPECT_EQ(got.errorCode, 0) << got.errorText;
      Rgb pixels;
      ASSERT_TRUE(pictest::DibPixels(got.dib, pixels));
      EXPECT_EQ(pictest::Compare(pixels, Reference(dir, "a.tif")).maxDelta, 0);
    }
  }
}

// Modified Huffman (compression 2), which the copying tool cannot write; the
// wide picture has runs that take the make-up and extended make-up codes.
TEST(TiffDecodeTest, DecodesModifiedHuffmanBilevelPictures) {
  testfs::TempDir dir("tiff");
  for (uint32_t width : {45u, 2600u}) {
    SCOPED_TRACE(width);
    MakeSource(dir, "1", "fax.tif", ", compression='tiff_ccitt'", width);
    const html::DecodedPicture got = Decode(dir.Read("fax.tif"));
    EXPECT_EQ(got.errorCode, 0) << got.errorText;
    Rgb pixels;
    ASSERT_TRUE(pictest::DibPixels(got.dib, pixels));
    EXPECT_EQ(pictest::Compare(pixels, Reference(dir, "fax.tif")).maxDelta, 0);
  }
  // Long runs of both colours: extended make-up codes.
  ASSERT_TRUE(
      pictest::Run("/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.new('1', (2600, 4), 1); "
                   "[im.putpixel((x, 1), 0) for x in range(1900, 2590)]; "
                   "[im.putpixel((x, 2), 0) for x in range(2000)]; "
                   "im.save(sys.argv[1], compression='tiff_ccitt')\" " +
                   dir.Path("runs.tif")));
  Rgb pixels;
  ASSERT_TRUE(pictest::DibPixels(Decode(dir.Read("runs.tif")).dib, pixels));
  EXPECT_EQ(pictest::Compare(pixels, Reference(dir, "runs.tif")).maxDelta, 0);
}

TEST(TiffDecodeTest, TheFaxCodesOfEachColourArePrefixFree) {
  for (int colour = 0; colour < 2; ++colour)
    for (const html::FaxCode& a : html::kFaxCodes)
      for (const html::FaxCode& b : html::kFaxCodes) {
        const int la = colour ? a.blackLength : a.whiteLength, lb = colour ? b.blackLength : b.whiteLength;
        const int ca = colour ? a.blackCode : a.whiteCode, cb = colour ? b.blackCode : b.whiteCode;
        if (&a == &b || la > lb) continue;
        EXPECT_NE(cb >> (lb - la), ca) << "run " << a.run << " is a prefix of run " << b.run;
      }
}

// A little-endian TIFF built entry by entry, for what the tools never write.
struct TiffBuilder {
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  std::vector<Entry> entries;
  std::string data;  // placed after the header, at offset 8
  uint32_t nextDirectory = 0;
  bool selfLoop = false;

  uint32_t AddData(const std::string& bytes) {
    const uint32_t at = uint32_t(8 + data.size());
    data += bytes;
    if (data.size() % 2) data += '\0';
    return at;
  }
  TiffBuilder& Set(uint16_t tag, uint32_t value, uint16_t type = 4, uint32_t count = 1) {
    entries.push_back({tag, type, count, value});
    return *this;
  }
  std::string Bytes() const {
    auto le16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    auto le32 = [&](uint32_t v) { return le16(v) + le16(v >> 16); };
    const uint32_t directory = uint32_t(8 + data.size());
    std::string out = "II" + le16(42) + le32(directory) + data + le16(uint32_t(entries.size()));
    for (const Entry& e : entries) out += le16(e.tag) + le16(e.type) + le32(e.count) + le32(e.value);
    return out + le32(selfLoop ? directory : nextDirectory);
  }
};

// A 4 x 2 picture of 8-bit grey with the given strip bytes.
TiffBuilder Grey(const std::string& pixels, uint32_t compression = 1) {
  TiffBuilder b;
  const uint32_t at = b.AddData(pixels);
  b.Set(256, 4)
      .Set(257, 2)
      .Set(258, 8, 3)
      .Set(259, compression, 3)
      .Set(262, 1, 3)
      .Set(273, at)
      .Set(279, uint32_t(pixels.size()));
  return b;
}

TEST(TiffDecodeTest, HandBuiltPicturesDecode) {
  {
    SCOPED_TRACE("bilevel, white is zero: 0 bits are white");
    TiffBuilder b;
    const uint32_t at = b.AddData(std::string("\x0F\x00", 2));
    b.Set(256, 8).Set(257, 2).Set(262, 0, 3).Set(273, at).Set(279, 2);
    Rgb p;
    ASSERT_TRUE(pictest::DibPixels(Decode(b.Bytes()).dib, p));
    EXPECT_EQ(p.At(0, 0)[0], 255);
    EXPECT_EQ(p.At(7, 0)[0], 0);
    EXPECT_EQ(p.At(7, 1)[0], 255);
  }
  {
    SCOPED_TRACE("4-bit grey, rows start on a byte");
    TiffBuilder b;
    const uint32_t at = b.AddData(std::string("\x0F\xA0\xF0\x50", 4));
    b.Set(256, 3).Set(257, 2).Set(258, 4, 3).Set(262, 1, 3).Set(273, at).Set(279, 4);
    Rgb p;
    ASSERT_TRUE(pictest::DibPixels(Decode(b.Bytes()).dib, p));
    const int want[2][3] = {{0, 255, 170}, {255, 0, 85}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(p.At(x, y)[1], want[y][x]) << x << "," << y;
  }
  {
    SCOPED_TRACE("a directory chain that loops is read once");
    TiffBuilder b = Grey("abcdefgh");
    b.selfLoop = true;
    const html::DecodedPicture got = Decode(b.Bytes());
    Rgb p;
    ASSERT_TRUE(pictest::DibPixels(got.dib, p));
    EXPECT_EQ(p.At(3, 1)[0], 'h');
  }
  {
    SCOPED_TRACE("PackBits runs, copies and the no-op byte");
    const html::DecodedPicture got = Decode(Grey(std::string("\x80\xFD\x07\x03"
                                                             "abcd",
                                                             8),
                                                 32773)
                                                .Bytes());
    Rgb p;
    ASSERT_TRUE(pictest::DibPixels(got.dib, p));
    const char want[] =
        "\x07\x07\x07\x07"
        "abcd";
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p.At(i % 4, i / 4)[0], uint8_t(want[i]));
  }
}

TEST(TiffDecodeTest, HostileAndUnsupportedFilesAreRefusedCleanly) {
  struct Case {
    const char* name;
    std::string bytes;
    int code;
    const char* text;
    bool picture;
  };
  std::vector<Case> cases = {
      {"not a TIFF", std::string("XXXX\x08\0\0\0", 8), 10, "Invalid TIFF format", false},
      {"version 43", std::string("II\x2B\0\x08\0\0\0", 8), 10, "Invalid TIFF version", false},
      {"directory past the end", std::string("II\x2A\0\xF0\0\0\0", 8), 10, "Unexpected End of TIF File", false},
      {"2 bits a sample", Grey("ab").Set(258, 2, 3).Bytes(), 10,
       "This TIFF image not supported (unsupported Bits per Pixel)", false},
      {"photometric 5", Grey("abcdefgh").Set(262, 5, 3).Bytes(), 10, "This TIFF image not supported (ImageType>3)",
       false},
      {"predictor 2", Grey("abcdefgh", 5).Set(317, 2, 3).Bytes(), 10, "This TIFF image not supported (layout)", false},
      {"tiles", Grey("abcdefgh").Set(322, 16).Bytes(), 10, "This TIFF image not supported (layout)", false},
      {"planar RGB", Grey("abcdefgh").Set(277, 3, 3).Set(284, 2, 3).Set(262, 2, 3).Bytes(), 10,
       "This TIFF image not supported (layout)", false},
      {"RGB of 16 bits", Grey("abcdefgh").Set(277, 3, 3).Set(262, 2, 3).Bytes(), 10,
       "This TIFF image not supported (unsupported Bits per Pixel)", false},
      {"JPEG compression", Grey("abcdefgh", 7).Bytes(), 10, "This TIFF image not supported (compression)", false},
      {"a huge picture", Grey("abcdefgh").Set(256, 0x7FFFFFFF).Set(257, 0x7FFFFFFF).Bytes(), 10,
       "Error allocating DIB memory(TifReadImageGroup)", false},
      {"strip outside the file", Grey("abcdefgh").Set(273, 0x10000000).Bytes(), 10,
       "Error Tiff file positioning(TifGetOffsetBytes)", true},
      {"LZW code never defined", Grey(std::string("\x80\x1F\xF0\x00", 4), 5).Bytes(), 8,
       "Invalid LZ code encountered\n, decompression aborted\n", true},
      {"Huffman bits that match no code", Grey(std::string(4, '\0')).Set(258, 1, 3).Set(259, 2, 3).Bytes(), 10,
       "Error extracting image(TifHufDecompress a)", true},
      {"truncated strip", Grey("abc").Bytes(), 0, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const html::DecodedPicture got = Decode(c.bytes);
    EXPECT_EQ(got.errorCode, c.code);
    EXPECT_STREQ(got.errorText, c.text);
    EXPECT_EQ(!got.dib.empty(), c.picture);
  }
}

}  // namespace
