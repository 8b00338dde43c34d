// Compressed lexicons (.clx): a read-only main dictionary whose segments (the
// words of one two-letter start) are loaded on demand within a memory budget.
#pragma once
#include <cstdint>

#include "spell/clex_format.h"
#include "spell/suggest.h"

struct CLexSegment {
  uint32_t offset;
  uint32_t size;
  uint8_t* data;  // none while not loaded
  uint32_t lastUse;
  uint8_t first;
  uint8_t second;
  uint8_t checks;  // checks since the segment was loaded, until it is indexed or refused
  uint16_t indexCharSet;
  uint32_t* index;  // the decoded words of a loaded segment, hashed; none if refused
  uint32_t indexMask;
  uint32_t indexBytes;
};

struct CLex {
  uint16_t smallWordCount;
  uint8_t smallWords[kClxMaxSmallWords][2];
  CLexSegment* segments;
  uint16_t segmentCount;
  uint16_t segmentsFrom[257];  // the first segment whose first letter is at least the index
  uint32_t budget;             // bytes still free for segments when limited
  uint8_t limited;             // a budget was given (0 at open means unlimited)
  uint32_t useCounter;
  uint16_t language;
  char fragmentsA[kClxFragmentsA][kClxFragmentSize];
  char fragmentsB[kClxFragmentsB][kClxFragmentSize];
  char path[260];
  uint32_t segmentReads;  // segments read from the file so far
  // Checks look words up in an index of each loaded segment (1, the default
  // set by CLex_Open) or decode the segment each time (0). Both answer alike;
  // an index only takes budget that is free, so it never costs a read.
  uint8_t indexSegments;
};

// The suggestion level that starts at 1 and goes on while nothing is offered.
constexpr uint16_t kCLexLevelAuto = 0xFFFF;

int16_t CLex_GetInfo(const char* path, int16_t* type, int16_t* language);
int16_t CLex_Open(const char* path, uint32_t budget, CLex* lex);
void CLex_Close(CLex* lex);
int16_t CLex_Check(const char* word, uint16_t charSet, bool exact, CLex* lex);
int16_t CLex_Suggest(uint16_t level, const char* word, uint16_t charSet, ScoreFunction score, SuggestList& list,
                     CLex* lex);
int16_t loadSeg(CLex* lex, uint16_t segment);
