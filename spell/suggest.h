// Ranked suggestion lists and the scores that rank them.
#pragma once
#include <cstdint>

#include "spell/sorn.h"

struct SuggestEntry {
  char word[SORN_WORD_SIZE];
  int16_t score;
  uint16_t refused;
};

// Kept in descending order of score; equal scores keep their arrival order.
struct SuggestList {
  SuggestEntry* entries = nullptr;
  uint16_t count = 0;
  uint16_t maxCount = 0;
};

bool SuggestListInit(SuggestList& list, uint16_t maxCount);
void SuggestListFree(SuggestList& list);
// Offers a word; refused marks a word that must not be shown (an excluded word).
void AddSuggestion(SuggestList& list, const char* word, int16_t score, bool refused);

// A score function: percentage likeness of a candidate to the word.
typedef int16_t (*ScoreFunction)(const char* word, const char* candidate, uint16_t charSet);

int16_t WordSimilarity(const char* word, const char* candidate, uint16_t charSet);
int16_t AnagramScore(const char* word, const char* candidate, uint16_t charSet);

// Copies at most 63 characters; with SORN_OPT_POSSESSIVE a trailing "'s" is
// dropped, and of a trailing "s'" only the apostrophe (either apostrophe).
void StripPossessive(const char* word, uint16_t charSet, uint32_t options, char* out);
// Gives the candidate (in place, SORN_WORD_SIZE bytes) the word's case and possessive.
void AddPossessive(const char* word, char* candidate, uint16_t charSet);
