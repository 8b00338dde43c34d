// Character tables of the spell engine (one 256-byte page per character set;
// set 0 is Windows-1252) and the string helpers every lexicon shares.
#pragma once
#include <cstdint>

enum : uint8_t {
  kClassLetter = 1,
  kClassDigit = 2,
  kClassPunct = 4,
  kClassWhite = 8,
  kClassSmall = 16,
  kClassCapital = 32,
  kClassVowel = 64,
};

constexpr int kCharSetCount = 10;

struct CharTables {
  uint8_t cls[256];
  unsigned char fold[256];
};

// The Windows-1252 page, built at compile time. Every character set shares
// it: the program opens sessions with set 0 only.
extern const CharTables kWindows1252Tables;

// Class bits of a byte in a character set.
inline uint8_t CharClass(uint16_t, unsigned char c) { return kWindows1252Tables.cls[c]; }
// The small unaccented base letter of a letter, 0 for a non-letter.
inline unsigned char FoldChar(uint16_t, unsigned char c) { return kWindows1252Tables.fold[c]; }
// A capital's small letter and the reverse by the class table; other bytes unchanged.
inline unsigned char ToSmall(uint16_t charSet, unsigned char c) {
  return (CharClass(charSet, c) & kClassCapital) ? static_cast<unsigned char>(c + 32) : c;
}
inline unsigned char ToCapital(uint16_t charSet, unsigned char c) {
  // 0xDF and 0xFF have no capital form in this page.
  if (c == 0xDF || c == 0xFF) return c;
  return (CharClass(charSet, c) & kClassSmall) ? static_cast<unsigned char>(c - 32) : c;
}

inline bool IsApostrophe(unsigned char c) { return c == 0x27 || c == 0x92; }

// Byte-wise, unsigned; the difference of the first differing bytes.
int lexstrcmp(const char* a, const char* b);
// As lexstrcmp after turning the capitals of the character set into small letters.
int lexstricmp(const char* a, const char* b, uint16_t charSet);
// A heap copy (malloc); none when memory is short.
char* lexstrdup(const char* text);
