#include "spell/soundtab.h"

namespace {

bool IsEnglish(uint16_t language) { return language == 1033 || language == 2057; }

unsigned char SmallAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

char SoundClass(unsigned char c, uint16_t language) {
  if (!IsEnglish(language)) return 0;
  switch (c) {
    case 'A':
    case 'I':
    case 'O':
    case 'U':
    case 'a':
    case 'e':
    case 'i':
    case 'o':
    case 'u': return 'a';
    case 'B':
    case 'P':
    case 'b':
    case 'p': return 'b';
    case 'C':
    case 'G':
    case 'K':
    case 'Q':
    case 'c':
    case 'g':
    case 'k':
    case 'q': return 'c';
    case 'D':
    case 'T':
    case 'd':
    case 't': return 'd';
    case 'E': return 'e';
    case 'F':
    case 'V':
    case 'f':
    case 'v': return 'f';
    case 'J':
    case 'j': return 'j';
    case 'L':
    case 'l': return 'l';
    case 'M':
    case 'N':
    case 'm':
    case 'n':
    case 0xD1:
    case 0xF1: return 'm';
    case 'R':
    case 'r': return 'r';
    case 'S':
    case 'X':
    case 'Z':
    case 's':
    case 'x':
    case 'z':
    case 0xC7:
    case 0xDF:
    case 0xE7: return 's';
    default: break;
  }
  if (c >= 0xC0 && c <= 0xFE && c != 0xC7 && c != 0xD0 && c != 0xD1 && c != 0xD7 && c != 0xDF && c != 0xE7 &&
      c != 0xF0 && c != 0xF1 && c != 0xF7)
    return 'a';
  return 0;
}

char DigraphCode(unsigned char first, unsigned char second, uint16_t language) {
  if (!IsEnglish(language)) return 0;
  static const char kDigraphs[][4] = {"ces", "cis", "ckc", "dgj", "gej", "knn", "phf", "pss"};
  unsigned char a = SmallAscii(first), b = SmallAscii(second);
  for (const char* d : kDigraphs)
    if (a == static_cast<unsigned char>(d[0]) && b == static_cast<unsigned char>(d[1])) return d[2];
  return 0;
}

void SoundKey(const char* word, char* out, int outSize, uint16_t language) {
  const unsigned char* w = reinterpret_cast<const unsigned char*>(word);
  int n = 0;
  char last = 0;
  for (int i = 0; w[i] && n < outSize - 1; ++i) {
    char emit = 0;
    char code = w[i + 1] ? DigraphCode(w[i], w[i + 1], language) : 0;
    if (code) {
      emit = SoundClass(static_cast<unsigned char>(code), language);
    } else {
      emit = SoundClass(w[i], language);
      if (emit == 'a' && i > 0) emit = 0;
    }
    if (emit && emit != last) {
      out[n++] = emit;
      last = emit;
    }
  }
  if (outSize > 0) out[n] = 0;
}
