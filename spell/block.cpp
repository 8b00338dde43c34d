#include "spell/block.h"

#include <cstdlib>
#include <cstring>

#include "spell/chartab.h"
#include "spell/spellfile.h"

namespace {

bool IsWordChar(uint16_t cs, unsigned char c) {
  return (CharClass(cs, c) & (kClassLetter | kClassDigit)) || IsApostrophe(c);
}

bool IsLetterOrDigit(uint16_t cs, unsigned char c) { return CharClass(cs, c) & (kClassLetter | kClassDigit); }

const unsigned char* Text(const Block* b) { return reinterpret_cast<const unsigned char*>(b->text); }

uint32_t SkipToWord(const Block* b, uint32_t from, bool* passedPunctuation) {
  const unsigned char* t = Text(b);
  while (from < b->length && !IsLetterOrDigit(b->charSet, t[from])) {
    if (passedPunctuation && (CharClass(b->charSet, t[from]) & kClassPunct)) *passedPunctuation = true;
    ++from;
  }
  return from;
}

// Bytes of the word starting at `at` (before a trailing apostrophe is dropped).
uint32_t WordSpan(const Block* b, uint32_t at, bool* innerDot) {
  const unsigned char* t = Text(b);
  uint16_t cs = b->charSet;
  uint32_t i = at;
  while (i < b->length) {
    unsigned char c = t[i];
    if (IsWordChar(cs, c)) {
      ++i;
    } else if ((c == '.' || c == '-') && i > at && i + 1 < b->length && IsWordChar(cs, t[i - 1]) &&
               IsWordChar(cs, t[i + 1])) {
      if (c == '.') *innerDot = true;
      ++i;
    } else {
      break;
    }
  }
  return i - at;
}

}  // namespace

int16_t BlockOpen(Block* block, char* text, uint32_t length, uint32_t bufferSize, bool copy, uint16_t charSet) {
  memset(block, 0, sizeof *block);
  if (length > bufferSize || (!text && length > 0)) {
    timelog("BlockOpen: buffer too small");
    return SORN_BUFFER_TOO_SMALL;
  }
  if (copy) {
    char* own = static_cast<char*>(malloc(bufferSize ? bufferSize : 1));
    if (!own) {
      timelog("BlockOpen: out of memory");
      return SORN_OUT_OF_MEMORY;
    }
    if (length) memcpy(own, text, length);
    text = own;
    block->ownsCopy = 1;
  }
  block->text = text;
  block->length = length;
  block->bufferSize = bufferSize;
  block->charSet = charSet;
  block->atSentenceStart = 1;
  block->cursor = SkipToWord(block, 0, nullptr);
  return 0;
}

void BlockClose(Block* block) {
  if (block->ownsCopy) free(block->text);
  block->text = nullptr;
  block->ownsCopy = 0;
}

int16_t BlockReadWord(const Block* b, char* word, uint32_t* span) {
  if (b->cursor >= b->length) return SORN_NOT_FOUND;
  bool innerDot = false;
  uint32_t n = WordSpan(b, b->cursor, &innerDot);
  if (n == 0) return SORN_NOT_FOUND;
  const unsigned char* t = Text(b) + b->cursor;
  if (innerDot && b->cursor + n < b->length && t[n] == '.') ++n;  // "e.g." keeps its last full stop
  if (n >= 2 && IsApostrophe(t[n - 1]) && t[n - 2] != 's' && t[n - 2] != 'S') --n;
  uint32_t copy = n < SORN_WORD_SIZE - 1 ? n : SORN_WORD_SIZE - 1;
  if (word) {
    memcpy(word, t, copy);
    word[copy] = 0;
  }
  if (span) *span = n;
  return 0;
}

int16_t BlockNextWord(Block* b) {
  char word[SORN_WORD_SIZE];
  uint32_t span = 0;
  b->atSentenceStart = 0;
  if (BlockReadWord(b, word, &span) < 0) return SORN_NOT_FOUND;
  return BlockPassWord(b, word, span);
}

int16_t BlockPassWord(Block* b, const char* word, uint32_t span) {
  b->atSentenceStart = 0;
  bool punctuation = false;
  uint32_t next = SkipToWord(b, b->cursor + span, &punctuation);
  if (punctuation) {
    b->previousWord[0] = 0;
  } else {
    strcpy(b->previousWord, word);
    b->previousOffset = b->cursor;
  }
  b->cursor = next;
  return b->cursor < b->length ? 0 : SORN_NOT_FOUND;
}

int16_t BlockReplaceWord(Block* b, const char* word) {
  uint32_t span = 0;
  if (BlockReadWord(b, nullptr, &span) < 0) return SORN_NOT_FOUND;
  uint32_t n = static_cast<uint32_t>(strlen(word));
  uint64_t newLength = uint64_t(b->length) - span + n;
  if (newLength > b->bufferSize) {
    timelog("BlockReplaceWord: buffer too small");
    return SORN_BUFFER_TOO_SMALL;
  }
  char* at = b->text + b->cursor;
  memmove(at + n, at + span, b->length - b->cursor - span);
  memcpy(at, word, n);
  b->length = static_cast<uint32_t>(newLength);
  if (b->length < b->bufferSize) b->text[b->length] = 0;
  // A replacement that does not start a word (or is empty) must not end the walk.
  b->cursor = SkipToWord(b, b->cursor, nullptr);
  return 0;
}

int16_t BlockDeleteWord(Block* b) {
  uint32_t span = 0;
  if (BlockReadWord(b, nullptr, &span) < 0) return SORN_NOT_FOUND;
  uint32_t end = b->cursor + span;
  while (end < b->length && (CharClass(b->charSet, Text(b)[end]) & kClassWhite)) ++end;
  memmove(b->text + b->cursor, b->text + end, b->length - end);
  b->length -= end - b->cursor;
  if (b->length < b->bufferSize) b->text[b->length] = 0;
  b->cursor = SkipToWord(b, b->cursor, nullptr);
  return 0;
}

uint32_t BlockWordCount(const Block* b) {
  Block walk = *b;
  walk.cursor = SkipToWord(b, 0, nullptr);
  uint32_t count = 0;
  while (walk.cursor < b->cursor && walk.cursor < b->length) {
    uint32_t span = 0;
    if (BlockReadWord(&walk, nullptr, &span) < 0) break;
    ++count;
    walk.cursor = SkipToWord(&walk, walk.cursor + (span ? span : 1), nullptr);
  }
  return count;
}

bool BlockIsDoubled(const Block* b, const char* word, bool exactCase) {
  if (!b->previousWord[0] || b->previousOffset == b->cursor) return false;
  return exactCase ? strcmp(b->previousWord, word) == 0 : lexstricmp(b->previousWord, word, b->charSet) == 0;
}
