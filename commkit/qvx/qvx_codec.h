// The byte encodings of QVX packets: numbers, dates, 8-bit strings and the
// 6-bit text coding. Portable: a writer appends to a bounded buffer, a reader
// walks a received packet, and neither ever steps outside its buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvx {

// QVX link errors the codec reports.
enum : uint16_t {
  kErrOverflow = 1286,
  kErrUnderflow = 1287,
};

struct Writer {
  uint8_t* data = nullptr;
  uint16_t capacity = 0;
  uint16_t length = 0;
  uint16_t error = 0;  // 1286 once anything was dropped
  // 6-bit text encoder: the partial group, the shift state, a capital held
  // back until the next character shows whether a run of capitals starts,
  // and whether the text being written comes in pieces.
  uint32_t accumulator = 0;
  uint8_t codes = 0;
  bool shift = false;
  uint8_t heldCapital = 0;
  bool inPieces = false;
};

struct Reader {
  const uint8_t* data = nullptr;
  uint16_t length = 0;  // bytes of the packet
  uint16_t position = 0;
  uint16_t error = 0;  // 1287 once a read went past the end
  uint16_t Left() const { return uint16_t(length - position); }
};

void Begin(Writer& w, uint8_t* buffer, uint16_t capacity);
void WriteByte(Writer& w, uint8_t value);
void WriteWord(Writer& w, uint16_t value);
void WriteLong(Writer& w, uint32_t value);
void WriteLong24(Writer& w, uint32_t value);
// One byte below 128, else two; a value of 32768 or more does not fit the
// two bytes the host reads and is refused with error 1286.
void WriteShortNumber(Writer& w, uint16_t value);
// day, month, year (from 1970) as one word.
void WriteDate(Writer& w, uint8_t day, uint8_t month, uint8_t year);
// Packed as the callers pass it: first field, minute, hour, day from the low
// byte of `low` up; month and year in the low and high byte of `high`.
void WriteDateTime(Writer& w, uint32_t low, uint16_t high);
// Zero-terminated 8-bit text; none is sent as the empty text.
void WriteString8(Writer& w, const char* text);
// 6-bit coded text. With `eightBit` clear, characters are reduced to 7 bits.
void WriteText6(Writer& w, const char* text, bool eightBit);
// A piece of one text; none ends the text.
void WriteText6Piece(Writer& w, const char* text, bool eightBit);

void BeginRead(Reader& r, const uint8_t* packet, uint16_t length);
uint8_t ReadByte(Reader& r);
uint16_t ReadWord(Reader& r);
uint32_t ReadLong(Reader& r);
uint32_t ReadLong24(Reader& r);
uint16_t ReadShortNumber(Reader& r);
// Three bytes: day, month, year.
void ReadDate(Reader& r, uint8_t out[3]);
// Six bytes: first field, minute, hour, day, month, year (not shifted).
void ReadDateTime(Reader& r, uint8_t out[6]);
// Text up to its end (a zero, or the 6-bit end code); a text that runs off
// the packet stops there with error 1287.
std::string ReadString8(Reader& r);
std::string ReadText6(Reader& r);

// Moves a six-byte date-time by `minutes` (|minutes| below 720; others are
// left alone), carrying through at most one day.
void ShiftDateTime(uint8_t dateTime[6], int minutes);

#pragma pack(push, 1)
// The 5-byte packed value of classes 1 and 10, unpacked.
struct Packed5 {
  int32_t flag;
  uint8_t digit;
  uint32_t number;
  uint32_t x;
  uint16_t y;
};
#pragma pack(pop)
static_assert(sizeof(Packed5) == 15, "packed value record");
Packed5 ReadPacked5(Reader& r);

}  // namespace qvx
