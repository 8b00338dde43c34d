#include "commkit/bp/bp_check.h"

#include <array>

namespace {

// Most significant bit first, polynomial 0x1021.
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t r = uint16_t(i << 8);
    for (int k = 0; k < 8; ++k) r = uint16_t(r & 0x8000 ? (r << 1) ^ 0x1021 : r << 1);
    t[i] = r;
  }
  return t;
}

// Reflected polynomial 0x8408 (X.25 / HDLC).
constexpr std::array<uint16_t, 256> MakeX25Table() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t r = uint16_t(i);
    for (int k = 0; k < 8; ++k) r = uint16_t(r & 1 ? (r >> 1) ^ 0x8408 : r >> 1);
    t[i] = r;
  }
  return t;
}

constexpr auto kCrc16 = MakeCrc16Table();
constexpr auto kX25 = MakeX25Table();

}  // namespace

uint16_t BpCheckInitial(uint8_t method) { return method == kBpChecksum ? 0 : 0xFFFF; }

uint16_t BpCheckUpdate(uint8_t method, uint16_t reg, uint8_t byte) {
  switch (method) {
    case kBpCrc16: return uint16_t((reg << 8) ^ kCrc16[((reg >> 8) ^ byte) & 0xFF]);
    case kBpCrcX25: return uint16_t(kX25[(reg ^ byte) & 0xFF] ^ (reg >> 8));
    default: {
      unsigned r = unsigned(reg) << 1;
      if (r > 255) r = (r & 255) + 1;
      r += byte;
      if (r > 255) r = (r & 255) + 1;
      return uint16_t(r);
    }
  }
}

uint16_t BpCheckBlock(uint8_t method, uint16_t reg, const uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i) reg = BpCheckUpdate(method, reg, data[i]);
  return reg;
}

int BpCheckTrailer(uint8_t method, uint16_t reg, uint8_t out[2]) {
  switch (method) {
    case kBpCrc16:
      out[0] = uint8_t(reg >> 8);
      out[1] = uint8_t(reg);
      return 2;
    case kBpCrcX25: {
      uint16_t c = uint16_t(~reg);
      out[0] = uint8_t(c);
      out[1] = uint8_t(c >> 8);
      return 2;
    }
    default: out[0] = uint8_t(reg); return 1;
  }
}

bool BpCheckGood(uint8_t method, uint16_t reg) { return method == kBpCrcX25 ? reg == 0xF0B8 : reg == 0; }
