// English sound classes (languages 1033 and 2057): the likeness of words by
// sound, used to pick suggestion candidates and by the anagram score.
#pragma once
#include <cstdint>

// The class letter of a character ('a' vowels, 'b', 'c', 'd', 'e', 'f', 'j',
// 'l', 'm', 'r', 's'), 0 for the rest and for other languages.
char SoundClass(unsigned char c, uint16_t language);
// The code letter of a listed digraph ("ce" s, "ci" s, "ck" c, "dg" j, "ge" j,
// "kn" n, "ph" f, "ps" s), 0 otherwise.
char DigraphCode(unsigned char first, unsigned char second, uint16_t language);
// The sound key of a word into out (at most outSize - 1 characters).
void SoundKey(const char* word, char* out, int outSize, uint16_t language = 1033);
