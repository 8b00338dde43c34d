// One check of a text in the program's session: finds the next word the user
// must decide on (automatic changes made and quoted words passed over on the
// way) and carries out the user's answer on the block.
#pragma once
#include <cstddef>
#include <cstdint>

#include "spell/front.h"
#include "spell/sorn.h"

struct CheckWalk {
  int16_t block = -1;
  char* text = nullptr;  // the block's buffer; changes are made in place
  uint32_t options = 0;  // the user's options word
  int16_t result = 0;    // the case shown: check bits, 64 at the end, negative on error
  char word[SORN_WORD_SIZE] = {};
  char replacement[SORN_WORD_SIZE] = {};
  bool changed = false;  // the text differs from what was handed in
};

// Opens a block over buffer (length bytes of text in size bytes) in the
// program's session; the block id or a negative code.
int16_t BeginCheckWalk(CheckWalk& walk, char* buffer, uint32_t length, uint32_t size, uint32_t options);
void EndCheckWalk(CheckWalk& walk);

// Goes on from the cursor to the next word to ask about; its result (also
// kept in walk.result): check bits, SORN_END_OF_BLOCK, or a negative code.
int16_t NextSpellingQuestion(CheckWalk& walk);

// The answers; each moves on to the next question and returns it, or a
// negative code when the answer could not be carried out (the question stays).
int16_t IgnoreOnce(CheckWalk& walk);
int16_t IgnoreAll(CheckWalk& walk);
// changeTo empty: the word is deleted.
int16_t ReplaceOnce(CheckWalk& walk, const char* changeTo);
int16_t ReplaceAll(CheckWalk& walk, const char* changeTo);
int16_t DeleteWord(CheckWalk& walk);

// Adds word to a user dictionary; pair dictionaries take changeTo as the
// replacement. SORN_NEED_REPLACEMENT when a pair dictionary gets an empty
// changeTo; another negative code when the engine refused. AutoCorrect is
// opened for the addition when the session holds it closed.
int16_t AddToDictionary(SpellDictionary which, const char* word, const char* changeTo,
                        const SpellOpenSettings& settings);

// Where the word asked about starts, and the text's length now.
uint32_t WalkCursor(const CheckWalk& walk);
uint32_t WalkLength(const CheckWalk& walk);
