// The engine's session records and the checking and suggesting steps behind
// the SORN_ calls, open to the tests of this module.
#pragma once
#include <cstdint>

#include "spell/block.h"
#include "spell/clex.h"
#include "spell/sorn.h"
#include "spell/suggest.h"
#include "spell/tlex.h"

struct LexRecord {
  uint16_t kind;  // SORN_FORMAT_COMPRESSED or SORN_FORMAT_TEXT
  int16_t type;
  uint16_t language;
  CLex* clex;
  TLex* tlex;
};

struct Session {
  LexRecord* lexicons[SORN_MAX_LEXICONS];
  Block* blocks[SORN_MAX_BLOCKS];
  uint16_t charSet;
  uint16_t language;
  uint32_t options;
};

// The open session of an id, or none.
Session* SessionOf(int16_t id);

// The result of the lexicons for one word: 0 correct, 2 change, 4 suggested,
// 1 not found or refused, negative on a lexicon error.
int16_t CheckLexicons(Session* session, const char* word, uint32_t options, char* replacement);
// The check result bits for one word; the replacement gets SORN_WORD_SIZE bytes.
int16_t CheckWord(uint32_t options, Session* session, const char* word, char* replacement);
// Fills the list for a word under the given options (SORN_Suggest uses the session's).
int16_t SuggestWords(Session* session, const char* word, uint16_t level, uint32_t options, SuggestList& list);
