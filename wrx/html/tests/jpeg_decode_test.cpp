// The baseline JPEG decoder against the distribution's encoder and reference
// decoder: pictures made at test time, compared pixel by pixel.
#include "wrx/html/jpeg_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/support/files.h"
#include "wrx/html/tests/picture_tools.h"

namespace {

using pictest::Rgb;

struct Encoded {
  std::string jpeg;
  Rgb reference;  // the reference decoder's pixels (accurate integer IDCT, no smoothing)
};

// Encodes a test picture with the given encoder switches and decodes it with
// the reference decoder.
Encoded Encode(const testfs::TempDir& dir, uint32_t width, uint32_t height, const std::string& switches,
               bool grey = false) {
  Encoded e;
  EXPECT_TRUE(dir.Write("in.pnm", pictest::ToPnm(pictest::TestPicture(width, height, grey), grey)));
  EXPECT_TRUE(pictest::Run("cjpeg " + switches + " -outfile " + dir.Path("a.jpg") + " " + dir.Path("in.pnm")))
      << "the encoder (package libjpeg-turbo-progs) must be installed";
  e.jpeg = dir.Read("a.jpg");
  EXPECT_TRUE(pictest::Run("djpeg -dct int -nosmooth -pnm -outfile " + dir.Path("ref.pnm") + " " + dir.Path("a.jpg")));
  EXPECT_TRUE(pictest::FromPnm(dir.Read("ref.pnm"), e.reference));
  return e;
}

html::DecodedPicture Decode(const std::string& bytes) {
  return html::JpgDecode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Offset of the first marker 0xFF code, or npos.
size_t FindMarker(const std::string& bytes, uint8_t code) {
  for (size_t i = 2; i + 1 < bytes.size(); ++i)
    if (uint8_t(bytes[i]) == 0xFF && uint8_t(bytes[i + 1]) == code) return i;
  return std::string::npos;
}

TEST(JpegDecodeTest, MatchesTheReferenceDecoder) {
  struct Case {
    const char* switches;
    uint32_t width, height;
    bool grey;
  } cases[] = {
      {"-baseline -sample 1x1 -quality 90", 64, 48, false},
      {"-baseline -sample 2x1 -quality 75", 64, 48, false},
      {"-baseline -sample 2x2 -quality 75", 64, 48, false},
      // Widths and heights that leave partial MCUs at the right and bottom.
      {"-baseline -sample 2x2 -quality 95", 37, 23, false},
      {"-baseline -sample 1x1 -quality 50", 9, 17, false},
      {"-baseline -grayscale -quality 85", 41, 30, true},
      {"-baseline -grayscale -sample 2x2 -quality 85", 33, 19, true},
      {"-baseline -sample 2x2 -restart 1 -quality 80", 70, 50, false},
      {"-baseline -sample 2x1 -restart 4B -quality 80", 70, 50, false},
      {"-baseline -quality 100", 24, 24, false},
      {"-baseline -optimize -sample 2x2", 50, 50, false},
  };
  testfs::TempDir dir("jpeg");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switches);
    const Encoded e = Encode(dir, c.width, c.height, c.switches, c.grey);
    const html::DecodedPicture got = Decode(e.jpeg);
    EXPECT_EQ(got.errorCode, 0) << got.errorText;
    Rgb pixels;
    ASSERT_TRUE(pictest::DibPixels(got.dib, pixels));
    const pictest::Difference d = pictest::Compare(pixels, e.reference);
    EXPECT_LE(d.maxDelta, 4);
    EXPECT_GE(d.psnr, 40.0);
  }
}

TEST(JpegDecodeTest, ProgressiveAndOtherFramesGiveNoPictureWithoutABox) {
  testfs::TempDir dir("jpeg");
  for (const char* switches : {"-progressive", "-arithmetic"}) {
    SCOPED_TRACE(switches);
    const html::DecodedPicture got = Decode(Encode(dir, 32, 32, switches).jpeg);
    EXPECT_TRUE(got.dib.empty());
    EXPECT_EQ(got.errorCode, 0);
  }
}

// Files with a restart interval whose markers are where the interval says,
// too early or missing: DRI is rewritten in a file made with markers every
// 3 MCUs.
TEST(JpegDecodeTest, RestartMarkersMustFollowEachInterval) {
  testfs::TempDir dir("jpeg");
  const Encoded e = Encode(dir, 64, 64, "-baseline -sample 1x1 -restart 3B");
  const size_t dri = FindMarker(e.jpeg, 0xDD);
  ASSERT_NE(dri, std::string::npos);
  struct Case {
    int interval;
    int code;
    const char* text;
  } cases[] = {
      {3, 0, ""},
      {4, 14, "Misplaced restart marker found!"},
      {2, 14, "Restart marker missing(JpgReadImage a)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    std::string jpeg = e.jpeg;
    jpeg[dri + 5] = char(c.interval);
    const html::DecodedPicture got = Decode(jpeg);
    EXPECT_EQ(got.errorCode, c.code);
    EXPECT_STREQ(got.errorText, c.text);
    // Stopped decodes keep the MCUs read before the fault.
    Rgb pixels;
    ASSERT_TRUE(pictest::DibPixels(got.dib, pixels));
    for (int c2 = 0; c2 < 3; ++c2) EXPECT_NEAR(pixels.At(0, 0)[c2], e.reference.At(0, 0)[c2], 4);
    if (c.code == 0) {
      EXPECT_LE(pictest::Compare(pixels, e.reference).maxDelta, 4);
    }
  }
}

TEST(JpegDecodeTest, HostileFilesAreRefusedCleanly) {
  testfs::TempDir dir("jpeg");
  const std::string good = Encode(dir, 48, 40, "-baseline -sample 2x2").jpeg;
  const size_t sof = FindMarker(good, 0xC0), sos = FindMarker(good, 0xDA), dht = FindMarker(good, 0xC4);
  ASSERT_NE(sof, std::string::npos);
  struct Case {
    const char* name;
    std::function<void(std::string&)> change;
    int code;  // -1: any error, the test only wants no crash and no picture
    bool picture;
  } cases[] = {
      {"not a JPEG", [](std::string& j) { j[1] = 0; }, 10, false},
      {"empty", [](std::string& j) { j.clear(); }, 10, false},
      {"precision 12", [&](std::string& j) { j[sof + 4] = 12; }, 10, false},
      {"sampling 5", [&](std::string& j) { j[sof + 11] = 0x51; }, 10, false},
      {"sampling 0", [&](std::string& j) { j[sof + 11] = 0x02; }, 10, false},
      {"zero width", [&](std::string& j) { j[sof + 7] = j[sof + 8] = 0; }, 10, false},
      {"four components", [&](std::string& j) { j[sof + 9] = 4; }, 10, false},
      {"too large", [&](std::string& j) { j[sof + 5] = j[sof + 6] = j[sof + 7] = j[sof + 8] = char(0xFF); }, 10, false},
      {"selector not in the frame", [&](std::string& j) { j[sos + 5] = 9; }, 10, false},
      {"table not defined", [&](std::string& j) { j[sos + 6] = 0x33; }, 10, false},
      {"Huffman table id 5", [&](std::string& j) { j[dht + 4] = 0x05; }, 14, false},
      {"scan before the frame", [&](std::string& j) { j[sof + 1] = char(0xC8); }, 10, false},
      {"segment past the end", [&](std::string& j) { j.resize(sof + 6); }, 10, false},
      {"truncated data", [&](std::string& j) { j.resize(sos + (j.size() - sos) / 2); }, 0, true},
      {"garbage data",
       [&](std::string& j) {
         for (size_t i = sos + 20; i < j.size() - 2; ++i) j[i] = char(i * 7);
       },
       -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string jpeg = good;
    c.change(jpeg);
    const html::DecodedPicture got = Decode(jpeg);
    if (c.code >= 0) {
      EXPECT_EQ(got.errorCode, c.code) << got.errorText;
    }
    EXPECT_EQ(!got.dib.empty(), c.picture);
  }
}

}  // namespace
