// The three packet checks of the B protocol: an additive checksum (method 0),
// CRC-16 with polynomial 0x1021 sent high byte first (method 1) and the X.25
// CRC sent complemented, low byte first (method 2).
#pragma once
#include <cstddef>
#include <cstdint>

enum BpCheckKind : uint8_t { kBpChecksum = 0, kBpCrc16 = 1, kBpCrcX25 = 2 };

uint16_t BpCheckInitial(uint8_t method);
uint16_t BpCheckUpdate(uint8_t method, uint16_t reg, uint8_t byte);
uint16_t BpCheckBlock(uint8_t method, uint16_t reg, const uint8_t* data, size_t n);
// Bytes that go on the wire after ETX for a register; returns their count.
int BpCheckTrailer(uint8_t method, uint16_t reg, uint8_t out[2]);
// After both check bytes have entered the register (methods 1 and 2).
bool BpCheckGood(uint8_t method, uint16_t reg);
