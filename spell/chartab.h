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

// Class bits of a byte in a character set (sets out of range read set 0).
uint8_t CharClass(uint16_t charSet, unsigned char c);
// The small unaccented base letter of a letter, 0 for a non-letter.
unsigned char FoldChar(uint16_t charSet, unsigned char c);
// A capital's small letter and the reverse by the class table; other bytes unchanged.
unsigned char ToSmall(uint16_t charSet, unsigned char c);
unsigned char ToCapital(uint16_t charSet, unsigned char c);

inline bool IsApostrophe(unsigned char c) { return c == 0x27 || c == 0x92; }

// Byte-wise, unsigned; the difference of the first differing bytes.
int lexstrcmp(const char* a, const char* b);
// As lexstrcmp after turning the capitals of the character set into small letters.
int lexstricmp(const char* a, const char* b, uint16_t charSet);
// A heap copy (malloc); none when memory is short.
char* lexstrdup(const char* text);
