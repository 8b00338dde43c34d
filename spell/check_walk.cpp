// The walk through one text of a spell check: the engine finds the words,
// this decides which of them reach the user.
#include "spell/check_walk.h"

#include <cstring>

namespace {

int16_t MoveOn(CheckWalk& walk) {
  SORN_NextBlockWord(g_sorn.session, walk.block);
  return NextSpellingQuestion(walk);
}

}  // namespace

int16_t BeginCheckWalk(CheckWalk& walk, char* buffer, uint32_t length, uint32_t size, uint32_t options) {
  walk = CheckWalk();
  walk.text = buffer;
  walk.options = options;
  walk.block = SORN_OpenBlock(g_sorn.session, buffer, length, size, 0);
  return walk.block;
}

void EndCheckWalk(CheckWalk& walk) {
  if (walk.block >= 0) SORN_CloseBlock(g_sorn.session, walk.block);
  walk.block = -1;
}

uint32_t WalkCursor(const CheckWalk& walk) {
  uint32_t cursor = 0;
  SORN_GetBlockInfo(g_sorn.session, walk.block, nullptr, nullptr, &cursor, nullptr);
  return cursor;
}

uint32_t WalkLength(const CheckWalk& walk) {
  uint32_t length = 0;
  SORN_GetBlockInfo(g_sorn.session, walk.block, &length, nullptr, nullptr, nullptr);
  return length;
}

int16_t NextSpellingQuestion(CheckWalk& walk) {
  for (;;) {
    walk.word[0] = walk.replacement[0] = 0;
    int16_t result = SORN_CheckBlock(g_sorn.session, walk.block, walk.options, walk.word, walk.replacement);
    if (result < 0 || result == SORN_END_OF_BLOCK) return walk.result = result;
    if ((walk.options & kSpellSkipQuoted) && IsQuotedWord(walk.text, WalkLength(walk), WalkCursor(walk))) {
      if (SORN_NextBlockWord(g_sorn.session, walk.block) < 0) return walk.result = SORN_END_OF_BLOCK;
      continue;
    }
    if (result & SORN_AUTOCHANGE) {
      int16_t replaced = SORN_ReplaceBlockWord(g_sorn.session, walk.block, walk.replacement);
      if (replaced < 0) return walk.result = replaced;
      walk.changed = true;
      // Past the replacement, so that a pair list that maps back and forth
      // cannot keep the walk on one word.
      if (SORN_NextBlockWord(g_sorn.session, walk.block) < 0) return walk.result = SORN_END_OF_BLOCK;
      continue;
    }
    return walk.result = result;
  }
}

int16_t IgnoreOnce(CheckWalk& walk) { return MoveOn(walk); }

int16_t IgnoreAll(CheckWalk& walk) {
  int16_t added = SORN_AddToLex(g_sorn.session, g_sorn.tempIgnore, walk.word, nullptr);
  if (added < 0 && added != SORN_EXISTS) return added;
  return MoveOn(walk);
}

int16_t ReplaceOnce(CheckWalk& walk, const char* changeTo) {
  if (!changeTo || !changeTo[0]) return DeleteWord(walk);
  int16_t replaced = SORN_ReplaceBlockWord(g_sorn.session, walk.block, changeTo);
  if (replaced < 0) return replaced;
  walk.changed = true;
  // Remembered as a suggestion for the rest of the message.
  SORN_AddToLex(g_sorn.session, g_sorn.tempSuggest, walk.word, changeTo);
  return MoveOn(walk);
}

int16_t ReplaceAll(CheckWalk& walk, const char* changeTo) {
  if (!changeTo || !changeTo[0]) return DeleteWord(walk);
  int16_t added = SORN_AddToLex(g_sorn.session, g_sorn.tempChange, walk.word, changeTo);
  if (added < 0 && added != SORN_EXISTS) return added;
  int16_t replaced = SORN_ReplaceBlockWord(g_sorn.session, walk.block, changeTo);
  if (replaced < 0) return replaced;
  walk.changed = true;
  return MoveOn(walk);
}

int16_t DeleteWord(CheckWalk& walk) {
  int16_t deleted = SORN_DelBlockWord(g_sorn.session, walk.block);
  if (deleted < 0 && deleted != SORN_NOT_FOUND) return deleted;
  walk.changed = true;
  // The cursor already stands on the word after the deleted one.
  return NextSpellingQuestion(walk);
}

int16_t AddToDictionary(SpellDictionary which, const char* word, const char* changeTo,
                        const SpellOpenSettings& settings) {
  bool pair = which != DICT_IGNORE;
  if (pair && (!changeTo || !changeTo[0])) return SORN_NEED_REPLACEMENT;
  int16_t& id = UserDictionaryId(which);
  bool openedHere = id < 0;
  if (openedHere && OpenUserDictionary(which, settings) < 0) {
    id = -1;
    return SORN_OPEN_FAILED;
  }
  int16_t added = SORN_AddToLex(g_sorn.session, id, word, pair ? changeTo : nullptr);
  // AutoCorrect stays out of the check itself: the editor corrects as the
  // user types.
  if (openedHere) CloseUserDictionary(which);
  return added < 0 && added != SORN_EXISTS ? added : 0;
}
