// Text lexicons (.tlx): small editable word lists kept in a plain text file,
// written back at once on every change.
#pragma once
#include <cstdint>
#include <cstdio>

#include "spell/suggest.h"

struct TLexEntry {
  char* word;
  char* replacement;  // none for types 1 and 3, or a pair line without ':'
};

struct TLex {
  uint16_t type;
  int16_t language;
  TLexEntry* entries;  // sorted by word (lexstrcmp)
  uint32_t count;
  uint32_t capacity;
  uint32_t fileTime;
  char path[260];  // empty: a temporary lexicon with no file
  uint8_t noHeader;
};

int16_t TLex_Open(const char* path, TLex* lex);
int16_t TLex_Create(const char* path, int16_t type, int16_t language, TLex* lex);
int16_t TLex_GetInfo(const char* path, int16_t* type, int16_t* language);
int16_t TLex_Check(TLex* lex, const char* word, uint16_t charSet, bool exact, char* replacement,
                   uint32_t replacementSize);
int16_t TLex_Add(TLex* lex, const char* word, const char* replacement);
int16_t TLex_Delete(TLex* lex, const char* word);
int16_t TLex_Clear(TLex* lex);
void TLex_Close(TLex* lex);
int16_t TLex_GetImage(TLex* lex, char* buffer, uint32_t size);
int16_t TLex_GetImageSize(TLex* lex, uint32_t* size);
int16_t TLex_Suggest(TLex* lex, const char* word, uint16_t charSet, ScoreFunction score, SuggestList& list);

int16_t loadLexFile(FILE* file, TLex* lex);
int16_t saveLexFile(TLex* lex);
// Brings the record up to the file's contents; the caller holds the lock.
int16_t syncLexFile(TLex* lex);
