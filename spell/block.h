// Text blocks: a run of text that the engine walks word by word, replacing
// and deleting words in place.
#pragma once
#include <cstdint>

#include "spell/sorn.h"

struct Block {
  char* text;
  uint32_t length;
  uint32_t bufferSize;
  uint32_t cursor;  // offset of the current word
  uint16_t atSentenceStart;
  char previousWord[SORN_WORD_SIZE];
  uint32_t previousOffset;
  uint16_t ownsCopy;
  uint16_t charSet;
};

int16_t BlockOpen(Block* block, char* text, uint32_t length, uint32_t bufferSize, bool copy, uint16_t charSet);
void BlockClose(Block* block);
// The word at the cursor (at most 63 characters) and the bytes it spans; -3 at the end.
int16_t BlockReadWord(const Block* block, char* word, uint32_t* span);
int16_t BlockNextWord(Block* block);
// BlockNextWord for a caller that has just read the word at the cursor.
int16_t BlockPassWord(Block* block, const char* word, uint32_t span);
int16_t BlockReplaceWord(Block* block, const char* word);
int16_t BlockDeleteWord(Block* block);
// Words from the start of the text up to the cursor.
uint32_t BlockWordCount(const Block* block);
// The word at the cursor repeats the word before it.
bool BlockIsDoubled(const Block* block, const char* word, bool exactCase);
