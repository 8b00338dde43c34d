// QVX byte encodings and the 6-bit text coding.
#include "commkit/qvx/qvx_codec.h"

#include <cstring>

namespace qvx {
namespace {

constexpr uint8_t kEscControl = 35;  // control characters and the top half
constexpr uint8_t kEscShift = 92;    // shift toggles and further top-half rows
constexpr uint8_t kEscOther = 94;    // single capitals, symbols, top-half rows
constexpr uint8_t kEndCode = 32;

bool IsCapital(int c) { return c >= 'A' && c <= 'Z'; }

// Codes are characters 32-95; each takes 6 bits, four to three bytes.
void EmitCode(Writer& w, uint8_t code) {
  w.accumulator |= uint32_t((code - 32) & 63) << (6 * w.codes);
  if (++w.codes == 4) {
    WriteByte(w, uint8_t(w.accumulator));
    WriteByte(w, uint8_t(w.accumulator >> 8));
    WriteByte(w, uint8_t(w.accumulator >> 16));
    w.accumulator = 0;
    w.codes = 0;
  }
}

void Emit2(Writer& w, uint8_t a, uint8_t b) {
  EmitCode(w, a);
  EmitCode(w, b);
}

// A partial group goes out as one byte per code: 6, 12 or 18 bits.
void FlushGroup(Writer& w) {
  for (int i = 0; i < w.codes; ++i) WriteByte(w, uint8_t(w.accumulator >> (8 * i)));
  w.accumulator = 0;
  w.codes = 0;
}

void ReleaseHeldCapital(Writer& w) {
  if (!w.heldCapital) return;
  Emit2(w, kEscOther, w.heldCapital);
  w.heldCapital = 0;
}

void EncodeChar(Writer& w, int c) {
  if (w.heldCapital) {
    if (IsCapital(c)) {
      Emit2(w, kEscShift, w.heldCapital);
      w.heldCapital = 0;
      w.shift = true;
      EmitCode(w, uint8_t(c));
      return;
    }
    ReleaseHeldCapital(w);
  }
  if (c == 10) return EmitCode(w, 37);
  if (c == 32) return EmitCode(w, 36);
  if (c < 32) return Emit2(w, kEscControl, uint8_t(c + 64));
  if (c == 35 || c == 36 || c == 37) return Emit2(w, kEscOther, uint8_t(c + 9));
  if (IsCapital(c)) {
    if (w.shift)
      EmitCode(w, uint8_t(c));
    else
      w.heldCapital = uint8_t(c);
    return;
  }
  if (c >= 'a' && c <= 'z') {
    if (w.shift) {
      EmitCode(w, kEscShift);
      w.shift = false;
    }
    return EmitCode(w, uint8_t(c - 32));
  }
  if (c == 92 || c == 94 || c == 96 || (c >= 123 && c <= 126)) return Emit2(w, kEscOther, uint8_t(c - 32));
  if (c < 96) return EmitCode(w, uint8_t(c));  // 33, 34, 38-64, 91, 93, 95
  if (c == 127) return Emit2(w, kEscControl, 63);
  if (c <= 159) {
    Emit2(w, kEscControl, 64);
    return EmitCode(w, uint8_t(c - 64));
  }
  if (c == 160) {
    Emit2(w, kEscControl, 64);
    return EmitCode(w, 63);
  }
  if (c == 172) return Emit2(w, kEscShift, 91);
  if (c == 173) return Emit2(w, kEscOther, 61);
  if (c == 174) return Emit2(w, kEscShift, 92);
  if (c <= 187) return Emit2(w, kEscOther, uint8_t(c - 128));  // 161-171, 175-187
  if (c <= 190) return Emit2(w, kEscShift, uint8_t(c - 95));
  if (c == 191) return Emit2(w, kEscOther, 63);
  if (c == 192) return Emit2(w, kEscShift, 64);
  if (c <= 223) return Emit2(w, kEscShift, uint8_t(c - 160));
  if (c == 224) return Emit2(w, kEscOther, 95);
  if (c <= 254) return Emit2(w, kEscControl, uint8_t(c - 192));
  Emit2(w, kEscControl, 74);  // 255
}

void EncodeChars(Writer& w, const char* text, bool eightBit) {
  for (const char* p = text ? text : ""; *p; ++p) {
    int c = uint8_t(*p);
    if (!eightBit) c %= 128;
    // A character that reduces to 0 would end the text early; it is left out.
    if (c) EncodeChar(w, c);
  }
}

void EndText(Writer& w) {
  ReleaseHeldCapital(w);
  if (w.shift) {
    EmitCode(w, kEscShift);
    w.shift = false;
  }
  EmitCode(w, kEndCode);
  FlushGroup(w);
  w.inPieces = false;
}

// 6-bit codes read lazily, so a text uses exactly the bytes written for it.
struct CodeSource {
  Reader& r;
  uint32_t bits = 0;
  int have = 0;
  int Next() {
    if (have < 6) {
      if (r.position >= r.length) {
        r.error = kErrUnderflow;
        return -1;
      }
      bits |= uint32_t(r.data[r.position++]) << have;
      have += 8;
    }
    int code = int(bits & 63) + 32;
    bits >>= 6;
    have -= 6;
    return code;
  }
};

int DaysInMonth(int month, int year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

}  // namespace

void Begin(Writer& w, uint8_t* buffer, uint16_t capacity) {
  w = Writer{};
  w.data = buffer;
  w.capacity = capacity;
}

void WriteByte(Writer& w, uint8_t value) {
  if (w.length >= w.capacity) {
    w.error = kErrOverflow;
    return;
  }
  w.data[w.length++] = value;
}

void WriteWord(Writer& w, uint16_t value) {
  WriteByte(w, uint8_t(value));
  WriteByte(w, uint8_t(value >> 8));
}

void WriteLong(Writer& w, uint32_t value) {
  WriteWord(w, uint16_t(value));
  WriteWord(w, uint16_t(value >> 16));
}

void WriteLong24(Writer& w, uint32_t value) {
  WriteByte(w, uint8_t(value));
  WriteByte(w, uint8_t(value >> 8));
  WriteByte(w, uint8_t(value >> 16));
}

void WriteShortNumber(Writer& w, uint16_t value) {
  if (value < 128) return WriteByte(w, uint8_t(value));
  if (value >= 32768) {
    w.error = kErrOverflow;
    return;
  }
  WriteByte(w, uint8_t((value & 0x7F) | 0x80));
  WriteByte(w, uint8_t(value >> 7));
}

void WriteDate(Writer& w, uint8_t day, uint8_t month, uint8_t year) {
  WriteWord(w, uint16_t((day & 31) | (month & 15) << 5 | (year & 127) << 9));
}

void WriteDateTime(Writer& w, uint32_t low, uint16_t high) {
  uint8_t first = uint8_t(low), minute = uint8_t(low >> 8), hour = uint8_t(low >> 16), day = uint8_t(low >> 24);
  WriteWord(w, uint16_t((first & 31) | (minute & 63) << 5 | (hour & 31) << 11));
  WriteDate(w, day, uint8_t(high), uint8_t(high >> 8));
}

void WriteString8(Writer& w, const char* text) {
  for (const char* p = text ? text : ""; *p; ++p) WriteByte(w, uint8_t(*p));
  WriteByte(w, 0);
}

void WriteText6(Writer& w, const char* text, bool eightBit) {
  EncodeChars(w, text, eightBit);
  EndText(w);
}

void WriteText6Piece(Writer& w, const char* text, bool eightBit) {
  if (!text) return EndText(w);
  w.inPieces = true;
  EncodeChars(w, text, eightBit);
}

void BeginRead(Reader& r, const uint8_t* packet, uint16_t length) {
  r = Reader{};
  r.data = packet;
  r.length = packet ? length : 0;
}

uint8_t ReadByte(Reader& r) {
  if (r.position >= r.length) {
    r.error = kErrUnderflow;
    return 0;
  }
  return r.data[r.position++];
}

uint16_t ReadWord(Reader& r) {
  uint16_t low = ReadByte(r);
  return uint16_t(low | ReadByte(r) << 8);
}

uint32_t ReadLong(Reader& r) {
  uint32_t low = ReadWord(r);
  return low | uint32_t(ReadWord(r)) << 16;
}

uint32_t ReadLong24(Reader& r) {
  uint32_t value = ReadByte(r);
  value |= uint32_t(ReadByte(r)) << 8;
  return value | uint32_t(ReadByte(r)) << 16;
}

uint16_t ReadShortNumber(Reader& r) {
  uint8_t first = ReadByte(r);
  if (first < 128) return first;
  return uint16_t((first & 0x7F) | ReadByte(r) << 7);
}

void ReadDate(Reader& r, uint8_t out[3]) {
  uint16_t word = ReadWord(r);
  out[0] = word & 31;
  out[1] = (word >> 5) & 15;
  out[2] = uint8_t(word >> 9);
}

void ReadDateTime(Reader& r, uint8_t out[6]) {
  uint16_t time = ReadWord(r);
  out[0] = time & 31;
  out[1] = (time >> 5) & 63;
  out[2] = uint8_t(time >> 11);
  ReadDate(r, out + 3);
}

std::string ReadString8(Reader& r) {
  std::string text;
  for (;;) {
    if (r.position >= r.length) {
      r.error = kErrUnderflow;
      break;
    }
    uint8_t c = r.data[r.position++];
    if (!c) break;
    text += char(c);
  }
  return text;
}

std::string ReadText6(Reader& r) {
  std::string text;
  CodeSource in{r};
  bool shift = false;
  for (;;) {
    int c = in.Next();
    if (c < 0 || c == kEndCode) break;
    if (c == 36) {
      text += ' ';
    } else if (c == 37) {
      text += '\n';
    } else if (IsCapital(c)) {
      text += char(shift ? c : c + 32);
    } else if (c == kEscControl) {
      int x = in.Next();
      if (x < 0 || x == kEndCode) break;
      if (x == 74)
        text += char(255);
      else if (x >= 65)
        text += char(x - 64);
      else if (x == 63)
        text += char(127);
      else if (x == 64) {
        int y = in.Next();
        if (y < 0 || y == kEndCode) break;
        if (y >= 64)
          text += char(y + 64);
        else if (y == 63)
          text += char(160);
        // 35, 64 and a code of 33-62 stand for nothing.
      } else
        text += char(x + 192);  // 33-62
    } else if (c == kEscOther) {
      int x = in.Next();
      if (x < 0 || x == kEndCode) break;
      if (IsCapital(x))
        text += char(x);
      else if (x >= 44 && x <= 46)
        text += char(x - 9);
      else if (x == 60 || x == 62 || x == 64 || (x >= 91 && x <= 94))
        text += char(x + 32);
      else if (x == 61)
        text += char(173);
      else if (x == 63)
        text += char(191);
      else if (x == 95)
        text += char(224);
      else
        text += char(x + 128);  // 33-43, 47-59
    } else if (c == kEscShift) {
      int x = in.Next();
      if (x < 0) break;
      if (x == kEndCode) break;  // shift off at the end of the text
      if (IsCapital(x)) {
        shift = !shift;
        text += char(shift ? x : x + 32);
      } else if (x == 91)
        text += char(172);
      else if (x == 92)
        text += char(174);
      else if (x >= 93)
        text += char(x + 95);
      else if (x == 64)
        text += char(192);
      else
        text += char(x + 160);  // 33-63
    } else {
      text += char(c);
    }
  }
  return text;
}

void ShiftDateTime(uint8_t dt[6], int minutes) {
  if (minutes == 0 || minutes >= 720 || minutes <= -720) return;
  int minute = dt[1] + minutes, hour = dt[2], day = dt[3], month = dt[4], year = dt[5];
  while (minute >= 60) {
    minute -= 60;
    ++hour;
  }
  while (minute < 0) {
    minute += 60;
    --hour;
  }
  if (hour >= 24) {
    hour -= 24;
    if (++day > DaysInMonth(month, year + 1970)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  } else if (hour < 0) {
    hour += 24;
    if (--day < 1) {
      if (--month < 1) {
        month = 12;
        --year;
      }
      day = DaysInMonth(month, year + 1970);
    }
  }
  dt[1] = uint8_t(minute);
  dt[2] = uint8_t(hour);
  dt[3] = uint8_t(day);
  dt[4] = uint8_t(month);
  dt[5] = uint8_t(year);
}

Packed5 ReadPacked5(Reader& r) {
  uint8_t b[5];
  for (uint8_t& byte : b) byte = ReadByte(r);
  uint32_t v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  Packed5 p{};
  p.x = (v >> 1) & 0x7FFFFFF;
  p.flag = b[0] & 1;
  if (p.flag) {
    p.digit = uint8_t((p.x & 15) + 1);
    p.number = (p.x >> 4) & 0x7FFFFF;
  }
  p.y = uint16_t(((b[4] << 8) | b[3]) >> 4);
  return p;
}

}  // namespace qvx
