#include "spell/chartab.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned char BaseLetterOf(unsigned c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c);
  unsigned small = (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c;
  if (small >= 0xE0 && small <= 0xE6) return 'a';
  if (small == 0xE7) return 'c';
  if (small >= 0xE8 && small <= 0xEB) return 'e';
  if (small >= 0xEC && small <= 0xEF) return 'i';
  if (small == 0xF1) return 'n';
  if ((small >= 0xF2 && small <= 0xF6) || small == 0xF8) return 'o';
  if (small >= 0xF9 && small <= 0xFC) return 'u';
  if (small == 0xFD || small == 0xFF) return 'y';
  if (c == 0xDF) return 's';
  if (small == 0xF0 || small == 0xFE) return static_cast<unsigned char>(small);  // eth, thorn
  return 0;
}

constexpr CharTables BuildTables() {
  CharTables t{};
  for (unsigned c = 0; c < 256; ++c) {
    uint8_t k = 0;
    bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    bool small = (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7);
    if (capital) k = kClassLetter | kClassCapital;
    if (small) k = kClassLetter | kClassSmall;
    if (k) {
      unsigned char base = BaseLetterOf(c);
      t.fold[c] = base;
      if (base == 'a' || base == 'e' || base == 'i' || base == 'o' || base == 'u') k |= kClassVowel;
    } else if (c >= '0' && c <= '9') {
      k = kClassDigit;
    } else if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      k = kClassWhite;
    } else if ((c > 0x20 && c < 0x7F) || c == 0x7F || (c >= 0x92 && c <= 0x9C) || (c >= 0xA1 && c <= 0xBF) ||
               c == 0xD7 || c == 0xF7) {
      k = kClassPunct;
    }
    t.cls[c] = k;
  }
  return t;
}

}  // namespace

constinit const CharTables kWindows1252Tables = BuildTables();

int lexstrcmp(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  while (*p && *p == *q) ++p, ++q;
  return int(*p) - int(*q);
}

int lexstricmp(const char* a, const char* b, uint16_t charSet) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (;; ++p, ++q) {
    unsigned char x = ToSmall(charSet, *p), y = ToSmall(charSet, *q);
    if (x != y || !x) return int(x) - int(y);
  }
}

char* lexstrdup(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy) memcpy(copy, text, n);
  return copy;
}
