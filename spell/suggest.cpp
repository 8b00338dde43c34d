#include "spell/suggest.h"

#include <cstdlib>
#include <cstring>

#include "spell/chartab.h"
#include "spell/soundtab.h"

bool SuggestListInit(SuggestList& list, uint16_t maxCount) {
  list.count = 0;
  list.maxCount = maxCount;
  list.entries = nullptr;
  if (maxCount == 0) return true;
  list.entries = static_cast<SuggestEntry*>(calloc(maxCount, sizeof(SuggestEntry)));
  return list.entries != nullptr;
}

void SuggestListFree(SuggestList& list) {
  free(list.entries);
  list.entries = nullptr;
  list.count = list.maxCount = 0;
}

void AddSuggestion(SuggestList& list, const char* word, int16_t score, bool refused) {
  if (list.maxCount == 0) return;
  // A word offered again keeps its first place, but a refusal always sticks.
  for (uint16_t i = 0; i < list.count; ++i) {
    if (strcmp(list.entries[i].word, word) == 0) {
      if (refused) list.entries[i].refused = 1;
      return;
    }
  }
  if (list.count == list.maxCount && score <= list.entries[list.count - 1].score) return;
  uint16_t at = 0;
  while (at < list.count && list.entries[at].score >= score) ++at;
  uint16_t last = list.count < list.maxCount ? list.count : list.maxCount - 1;
  memmove(&list.entries[at + 1], &list.entries[at], (last - at) * sizeof(SuggestEntry));
  SuggestEntry& e = list.entries[at];
  strncpy(e.word, word, SORN_WORD_SIZE - 1);
  e.word[SORN_WORD_SIZE - 1] = 0;
  e.score = score;
  e.refused = refused ? 1 : 0;
  if (list.count < list.maxCount) ++list.count;
}

namespace {

unsigned char Key(uint16_t cs, unsigned char c) {
  unsigned char f = FoldChar(cs, c);
  return f ? f : c;
}

bool IsVowel(uint16_t cs, unsigned char c) { return (CharClass(cs, c) & kClassVowel) != 0; }

}  // namespace

int16_t WordSimilarity(const char* word, const char* candidate, uint16_t cs) {
  const unsigned char* w = reinterpret_cast<const unsigned char*>(word);
  const unsigned char* c = reinterpret_cast<const unsigned char*>(candidate);
  int32_t wl = static_cast<int32_t>(strlen(word));
  int32_t cl = static_cast<int32_t>(strlen(candidate));
  int32_t base = wl ? 100 * wl : 1;
  int32_t diff = wl > cl ? wl - cl : cl - wl;
  if (diff > wl / 2) return 0;
  // 32-bit throughout: 100 x a long word's length times 100 overflows 16 bits.
  int32_t s = base;
  int32_t i = 0, j = 0;
  while (i < wl && j < cl && s > 0) {
    unsigned char wc = w[i], cc = c[j];
    if (Key(cs, wc) == Key(cs, cc)) {
      bool wSmall = CharClass(cs, wc) & kClassSmall, cSmall = CharClass(cs, cc) & kClassSmall;
      if (wSmall != cSmall) s -= 1;
      if (ToSmall(cs, wc) != ToSmall(cs, cc)) s -= 5;
      ++i, ++j;
    } else if (i + 1 < wl && Key(cs, cc) == Key(cs, w[i + 1])) {
      if (j + 1 < cl && Key(cs, c[j + 1]) == Key(cs, wc)) {
        s -= 50;
        i += 2, j += 2;
      } else {
        s -= 40;
        i += 2, j += 1;
      }
    } else if (j + 1 < cl && Key(cs, c[j + 1]) == Key(cs, wc)) {
      s -= 40;
      i += 1, j += 2;
    } else {
      s -= (IsVowel(cs, wc) == IsVowel(cs, cc)) ? 50 : 100;
      ++i, ++j;
    }
  }
  s -= 40 * ((wl - i) + (cl - j));
  if (s < 0) s = 0;
  return static_cast<int16_t>(s * 100 / base);
}

int16_t AnagramScore(const char* word, const char* candidate, uint16_t) {
  char k1[SORN_WORD_SIZE * 2], k2[SORN_WORD_SIZE * 2];
  SoundKey(word, k1, sizeof k1);
  SoundKey(candidate, k2, sizeof k2);
  if (strcmp(k1, k2) != 0) return 0;
  int counts1[256] = {0}, counts2[256] = {0};
  int32_t total = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(word); *p; ++p) ++counts1[*p], ++total;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(candidate); *p; ++p) ++counts2[*p], ++total;
  if (total == 0) return 0;
  int32_t t = total;
  for (int b = 0; b < 255; ++b)
    if (counts1[b] != counts2[b]) --t;
  return static_cast<int16_t>(100 * t / total);
}

namespace {

bool IsS(unsigned char c) { return c == 's' || c == 'S'; }

// "'s" ("cat's", "James's"); the plural's "s'" ("parties'") is only an
// apostrophe added to the word, so only the apostrophe counts as its ending.
size_t PossessiveLength(const char* w, size_t n) {
  if (n < 2) return 0;
  unsigned char a = static_cast<unsigned char>(w[n - 2]), b = static_cast<unsigned char>(w[n - 1]);
  if (IsApostrophe(a) && IsS(b)) return 2;
  if (IsS(a) && IsApostrophe(b)) return 1;
  return 0;
}

}  // namespace

void StripPossessive(const char* word, uint16_t, uint32_t options, char* out) {
  size_t n = strnlen(word, SORN_WORD_SIZE - 1);
  memcpy(out, word, n);
  out[n] = 0;
  if (options & SORN_OPT_POSSESSIVE) out[n - PossessiveLength(out, n)] = 0;
}

void AddPossessive(const char* word, char* candidate, uint16_t cs) {
  const unsigned char* w = reinterpret_cast<const unsigned char*>(word);
  unsigned char* c = reinterpret_cast<unsigned char*>(candidate);
  bool sameApartFromCase = lexstricmp(word, candidate, cs) == 0;
  bool startsSmall = CharClass(cs, w[0]) & kClassSmall;
  if (!(sameApartFromCase && startsSmall)) {
    bool anyLetter = false, allCapitals = true;
    for (const unsigned char* p = w; *p; ++p) {
      uint8_t k = CharClass(cs, *p);
      if (k & kClassLetter) {
        anyLetter = true;
        if (!(k & kClassCapital)) allCapitals = false;
      }
    }
    if (anyLetter && allCapitals) {
      for (unsigned char* p = c; *p; ++p) *p = ToCapital(cs, *p);
    } else if (CharClass(cs, w[0]) & kClassCapital) {
      c[0] = ToCapital(cs, c[0]);
    }
  }
  size_t n = strlen(word);
  size_t ending = PossessiveLength(word, n);
  if (!ending) return;
  size_t m = strlen(candidate);
  bool hasIt = ending == 2 ? PossessiveLength(candidate, m) != 0 : m && IsApostrophe(c[m - 1]);
  if (hasIt || m + ending > SORN_WORD_SIZE - 1) return;
  memcpy(c + m, w + n - ending, ending);
  c[m + ending] = 0;
}
