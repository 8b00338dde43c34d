// The on-disk layout of a compressed lexicon (.clx), shared by the reader and
// the packer. Integers are little-endian and are read byte by byte, so the
// reader does not depend on the host's byte order.
#pragma once
#include <cstdint>

constexpr uint32_t kClxVersion = 0x57000402;
constexpr uint32_t kClxHeaderSize = 2806;
constexpr uint32_t kClxMaxSmallWords = 1024;  // exclusive
constexpr int kClxFragmentsA = 26;            // codes 6 to 31
constexpr int kClxFragmentsB = 256;           // code 4 then an index
constexpr int kClxFragmentSize = 9;           // at most 8 characters and a zero
constexpr int kClxMaxWord = 63;

// Byte codes of an encoded word.
enum : uint8_t {
  kClxEnd = 0,
  kClxRepeatPrevious = 1,  // continue after the whole previous word
  kClxKeep = 2,            // then n: keep n more characters of the previous word
  kClxRepeatLessOne = 3,   // continue after the previous word less its last character
  kClxFragmentB = 4,       // then k: fragment k of table B
  kClxWordStart = 5,       // skipped where a word starts
  kClxFirstFragmentA = 6,
  kClxLastFragmentA = 31,
};

#pragma pack(push, 1)
struct ClxFileHeader {
  uint8_t unused[256];
  uint8_t version[4];
  uint8_t smallWordCount[2];
  uint8_t segmentCount[2];
  uint8_t language[2];
  uint8_t reserved[2];
  char fragmentsA[kClxFragmentsA][kClxFragmentSize];
  char fragmentsB[kClxFragmentsB][kClxFragmentSize];
};
static_assert(sizeof(ClxFileHeader) == kClxHeaderSize, "compressed lexicon header is 2806 bytes");

struct ClxSegmentHeader {
  uint8_t offset[4];
  uint8_t size[4];
  uint8_t first;
  uint8_t second;
};
static_assert(sizeof(ClxSegmentHeader) == 10, "segment header is 10 bytes");

struct ClxSubBlockHeader {
  uint8_t size[4];  // bytes of encoded words that follow this header
  uint8_t third;
  uint8_t unused;
};
static_assert(sizeof(ClxSubBlockHeader) == 6, "sub-block header is 6 bytes");
#pragma pack(pop)

inline uint16_t ClxU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ClxU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void ClxPut16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
inline void ClxPut32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
