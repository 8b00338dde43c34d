#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "commkit/bp/bp_check.h"

namespace {

const uint8_t kNine[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

TEST(BpCheck, CrcsMatchPublishedCheckValues) {
  // CRC-16 with polynomial 0x1021, initial 0xFFFF, no reflection: 0x29B1.
  EXPECT_EQ(BpCheckBlock(kBpCrc16, BpCheckInitial(kBpCrc16), kNine, 9), 0x29B1);
  // X.25: the register complemented gives the published 0x906E.
  uint16_t x25 = BpCheckBlock(kBpCrcX25, BpCheckInitial(kBpCrcX25), kNine, 9);
  EXPECT_EQ(uint16_t(~x25), 0x906E);
  uint8_t t[2];
  ASSERT_EQ(BpCheckTrailer(kBpCrcX25, x25, t), 2);
  EXPECT_EQ(t[0], 0x6E);  // low byte first
  EXPECT_EQ(t[1], 0x90);
  ASSERT_EQ(BpCheckTrailer(kBpCrc16, 0x29B1, t), 2);
  EXPECT_EQ(t[0], 0x29);  // high byte first
}

TEST(BpCheck, ChecksumFoldsCarriesIntoTheLowBit) {
  // r = r << 1 with the carry folded back, then the byte added likewise.
  uint16_t r = BpCheckInitial(kBpChecksum);
  EXPECT_EQ(r, 0);
  r = BpCheckUpdate(kBpChecksum, r, 0xF0);  // 0 -> 0xF0
  EXPECT_EQ(r, 0xF0);
  r = BpCheckUpdate(kBpChecksum, r, 0x20);  // 0x1E0 -> 0xE1, + 0x20 = 0x101 -> 0x02
  EXPECT_EQ(r, 0x02);
  uint8_t t[2];
  EXPECT_EQ(BpCheckTrailer(kBpChecksum, r, t), 1);
  EXPECT_EQ(t[0], 0x02);
}

TEST(BpCheck, TrailerBringsTheRegisterToTheGoodResidue) {
  std::mt19937 rng(7);
  for (uint8_t method : {kBpCrc16, kBpCrcX25}) {
    for (int round = 0; round < 50; ++round) {
      std::vector<uint8_t> data(rng() % 300);
      for (auto& b : data) b = uint8_t(rng());
      uint16_t reg = BpCheckBlock(method, BpCheckInitial(method), data.data(), data.size());
      uint8_t t[2];
      int n = BpCheckTrailer(method, reg, t);
      uint16_t after = BpCheckBlock(method, reg, t, size_t(n));
      EXPECT_TRUE(BpCheckGood(method, after)) << int(method);
      if (!data.empty()) {  // one flipped bit is always caught
        data[rng() % data.size()] ^= uint8_t(1 << (rng() % 8));
        uint16_t bad = BpCheckBlock(method, BpCheckInitial(method), data.data(), data.size());
        EXPECT_FALSE(BpCheckGood(method, BpCheckBlock(method, bad, t, size_t(n))));
      }
    }
  }
  EXPECT_EQ(BpCheckBlock(kBpCrcX25, 0xFFFF, nullptr, 0), 0xFFFF);
}

}  // namespace
