// Stored passwords, blocks, Base64 and MD5; the Base64 and MD5 vectors come
// from coreutils' base64 and md5sum, run on the test's own data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "commkit/session/encodings.h"

namespace {

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  pclose(pipe);
  return out;
}

std::string WriteTemp(const uint8_t* data, size_t n) {
  char name[] = "/tmp/pelmora_encXXXXXX";
  int fd = mkstemp(name);
  FILE* f = fdopen(fd, "wb");
  if (n) fwrite(data, 1, n, f);
  fclose(f);
  return name;
}

std::string Hex(const uint8_t* d, size_t n) {
  std::string s;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    snprintf(two, sizeof two, "%02x", d[i]);
    s += two;
  }
  return s;
}

std::string Take(char* text) {
  std::string s = text ? text : "(none)";
  BpSys().memFree(text);
  return s;
}

TEST(Passwords, RoundTripAndLengths) {
  const char* cases[] = {"", "a", "secret", "Pass word 23 characters", "exactly24characterslong!"};
  for (const char* password : cases) {
    char hex[49], back[25];
    PasswordToHex(password, hex);
    EXPECT_EQ(strlen(hex), 48u);
    for (char c : std::string(hex)) EXPECT_TRUE(isdigit(c) || (c >= 'A' && c <= 'F')) << hex;
    PasswordFromHex(hex, back);
    EXPECT_STREQ(back, password);
  }
  char hex[49], back[25];
  PasswordToHex("this password is longer than the field", hex);
  PasswordFromHex(hex, back);
  EXPECT_STREQ(back, "this password is longer ");
  // A text shorter than 48 digits is refused, not read past its end.
  PasswordFromHex("", back);
  EXPECT_STREQ(back, "");
  std::string cut = std::string(hex).substr(0, 47);
  PasswordFromHex(cut.c_str(), back);
  EXPECT_STREQ(back, "");
  // Scrambling is its own inverse.
  uint8_t field[kPasswordField] = {'x', 'y'}, copy[kPasswordField];
  memcpy(copy, field, sizeof field);
  ZrtScramblePassword(field);
  EXPECT_NE(memcmp(field, copy, sizeof field), 0);
  ZrtScramblePassword(field);
  EXPECT_EQ(memcmp(field, copy, sizeof field), 0);
}

TEST(Blocks, CheckByteIsTheFoldedOnesComplementSum) {
  struct Case {
    std::vector<uint8_t> data;
    uint8_t check;
  } cases[] = {
      {{}, 0xFF},
      {{0x01}, 0xFE},
      {{0x01, 0x02}, uint8_t(~(0x01 + 0x02))},  // 0x0201 folds to 0x03
      {{0xFF, 0xFF, 0x01}, uint8_t(~0x01)},     // 0xFFFF + 1 carries back in: 0x0001
      {{0x80, 0x80}, uint8_t(~0x01)},           // 0x8080 folds to 0x100, then 0x01
  };
  for (const auto& c : cases) {
    Block* b = BlockFromBytes(c.data.data(), uint16_t(c.data.size()));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(BlockCheck(b), c.check) << Hex(c.data.data(), c.data.size());
    EXPECT_EQ(b->data[b->length], c.check);
    BlockFree(b);
  }
  uint8_t ab[2] = {'a', 'b'};
  Block* a = BlockFromBytes(ab, 1);
  Block* b = BlockFromBytes(ab + 1, 1);
  Block* both = BlockConcat(a, b);
  Block* whole = BlockFromBytes(ab, 2);
  EXPECT_EQ(both->length, 2);
  EXPECT_EQ(memcmp(both->data, whole->data, 3), 0);
  Block* zero = BlockNew(5);
  EXPECT_EQ(zero->data[0], 0);
  EXPECT_EQ(zero->data[5], 0xFF);
  for (Block* x : {a, b, both, whole, zero}) BlockFree(x);
}

TEST(Blocks, RandomBlocksComeFromTheCryptographicSource) {
  static int calls;
  calls = 0;
  EncodingHooks saved = g_encodingHooks;
  g_encodingHooks = EncodingHooks{[](uint8_t* buffer, size_t n) {
    ++calls;
    memset(buffer, 0x5A, n);
    return true;
  }};
  Block* b = BlockRandom(1234);
  ASSERT_NE(b, nullptr);
  EXPECT_GT(calls, 64);
  EXPECT_EQ(b->length, 0x5A5A5A % 513);
  g_encodingHooks = saved;
  for (int i = 0; i < 50; ++i) {
    Block* r = BlockRandom(0);
    ASSERT_NE(r, nullptr);
    EXPECT_GE(r->length, 64);
    EXPECT_LE(r->length, 512);
    for (unsigned k = 0; k < r->length; ++k) EXPECT_LT(r->data[k], 255);
    BlockFree(r);
  }
  BlockFree(b);
}

TEST(Blocks, Base64AndMd5MatchCoreutils) {
  std::mt19937 rng(99);
  for (int round = 0; round < 12; ++round) {
    std::vector<uint8_t> data(round == 0 ? 0 : rng() % 700);
    for (auto& byte : data) byte = uint8_t(rng());
    Block* b = BlockFromBytes(data.data(), uint16_t(data.size()));
    // MD5 of the data; Base64 of the data and its check byte.
    std::string dataFile = WriteTemp(data.data(), data.size());
    std::string withCheck = WriteTemp(b->data, b->length + 1u);
    uint8_t digest[16];
    BlockDigest(b, digest);
    EXPECT_EQ(Hex(digest, 16), RunCommand("md5sum " + dataFile).substr(0, 32));
    EXPECT_EQ(Take(BlockToBase64(b, 0)) + "\n", RunCommand("base64 -w 0 " + withCheck + "; echo"));
    std::string lines = Take(BlockToBase64(b, 76));
    for (char& c : lines) c = c == '\r' ? '\n' : c;
    EXPECT_EQ(lines + "\n", RunCommand("base64 -w 76 " + withCheck));
    uint32_t status = 99;
    Block* back = BlockFromBase64(RunCommand("base64 -w 60 " + withCheck).c_str(), &status);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(status, kBase64Ok);
    EXPECT_EQ(back->length, b->length);
    EXPECT_EQ(memcmp(back->data, b->data, b->length + 1u), 0);
    BlockFree(back);
    BlockFree(b);
    remove(dataFile.c_str());
    remove(withCheck.c_str());
  }
  Block* abc = BlockFromBytes(reinterpret_cast<const uint8_t*>("abc"), 3);
  std::string text = Take(BlockToBase64(abc, 0));
  EXPECT_EQ(text.size(), 8u);
  EXPECT_EQ(text.substr(6), "==");
  BlockFree(abc);
}

TEST(Blocks, Base64Refusals) {
  uint8_t ab[2] = {'a', 'b'};
  Block* b = BlockFromBytes(ab, 2);
  std::string good = Take(BlockToBase64(b, 0));  // 4 characters: a, b and the check byte
  ASSERT_EQ(good.size(), 4u);
  BlockFree(b);
  struct Case {
    std::string text;
    uint32_t status;
  } cases[] = {
      {good, kBase64Ok},
      {" " + good + " . ", kBase64Ok},
      {good + ".", kBase64Ok},
      {good + ". x", kBase64Malformed},
      {"YWJj", kBase64BadCheck},  // "abc": its third byte is not the check byte of "ab"
      {std::string(1004, 'A'), kBase64Malformed},
      {"YW=j", kBase64Malformed},
      {"Y===", kBase64Malformed},
      {"YQ=x", kBase64Malformed},
      {"YW\xC3\xA9", kBase64Malformed},
      {"YWJ*", kBase64Malformed},
      {"", kBase64Malformed},
  };
  for (const auto& c : cases) {
    uint32_t status = 99;
    Block* got = BlockFromBase64(c.text.c_str(), &status);
    EXPECT_EQ(status, c.status) << c.text;
    EXPECT_EQ(got != nullptr, c.status == kBase64Ok) << c.text;
    BlockFree(got);
  }
  uint32_t status = 0;
  EXPECT_EQ(BlockFromBase64(nullptr, &status), nullptr);
  EXPECT_EQ(status, kBase64NoText);
}

TEST(Md5, KnownDigests) {
  uint8_t digest[16];
  Md5(reinterpret_cast<const uint8_t*>(""), 0, digest);
  EXPECT_EQ(Hex(digest, 16), "d41d8cd98f00b204e9800998ecf8427e");
  const char* fox = "The quick brown fox jumps over the lazy dog";
  Md5(reinterpret_cast<const uint8_t*>(fox), strlen(fox), digest);
  EXPECT_EQ(Hex(digest, 16), "9e107d9d372bb6826bd81d3542a419d6");
}

}  // namespace
