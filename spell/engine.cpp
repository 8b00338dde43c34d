#include "spell/engine.h"

#include <cstdlib>
#include <cstring>

#include "spell/chartab.h"
#include "spell/spellfile.h"

namespace {

Session* g_sessions[SORN_MAX_SESSIONS];

constexpr int16_t kRefused = -100;  // internal: a word found in an exclude lexicon

Session* CheckSession(int16_t id, const char* caller) {
  Session* s = SessionOf(id);
  if (!s) timelog("%s: bad session id %hd", caller, id);
  return s;
}

LexRecord* CheckLex(Session* s, int16_t id, const char* caller) {
  LexRecord* lex = (id >= 0 && id < SORN_MAX_LEXICONS) ? s->lexicons[id] : nullptr;
  if (!lex) timelog("%s: bad lex id %hd", caller, id);
  return lex;
}

Block* CheckBlockId(Session* s, int16_t id, const char* caller) {
  Block* b = (id >= 0 && id < SORN_MAX_BLOCKS) ? s->blocks[id] : nullptr;
  if (!b && caller) timelog("%s: bad block id %hd", caller, id);
  return b;
}

int FreeLexSlot(Session* s) {
  for (int i = 0; i < SORN_MAX_LEXICONS; ++i)
    if (!s->lexicons[i]) return i;
  return -1;
}

void FreeLex(LexRecord* lex) {
  if (!lex) return;
  if (lex->clex) CLex_Close(lex->clex);
  if (lex->tlex) TLex_Close(lex->tlex);
  free(lex->clex);
  free(lex->tlex);
  free(lex);
}

// check1Lex: one lexicon's answer for a word.
int16_t CheckOneLex(Session* s, LexRecord* lex, const char* word, bool exact, char* replacement) {
  if (lex->kind == SORN_FORMAT_COMPRESSED) {
    int16_t rc = CLex_Check(word, s->charSet, exact, lex->clex);
    return rc;
  }
  int16_t rc = TLex_Check(lex->tlex, word, s->charSet, exact, replacement, SORN_WORD_SIZE);
  if (rc < 0) return rc;
  switch (lex->type) {
    case SORN_LEX_CHANGE: return SORN_AUTOCHANGE;
    case SORN_LEX_ACCEPT: return SORN_OK;
    case SORN_LEX_SUGGEST: return SORN_SUGGESTED;
    case SORN_LEX_EXCLUDE: return kRefused;
    default: timelog("check1Lex: bad lex type %hd", lex->type); return SORN_BAD_FORMAT;
  }
}

int16_t AskLexicons(Session* s, const char* word, bool exact, char* replacement) {
  for (LexRecord* lex : s->lexicons) {
    if (!lex) continue;
    int16_t rc = CheckOneLex(s, lex, word, exact, replacement);
    if (rc == SORN_NOT_FOUND) continue;
    return rc == kRefused ? SORN_NOTFOUND : rc;
  }
  return SORN_NOTFOUND;
}

bool Found(int16_t rc) { return rc == SORN_OK || rc == SORN_AUTOCHANGE || rc == SORN_SUGGESTED; }

bool IsCapital(uint16_t cs, unsigned char c) { return CharClass(cs, c) & kClassCapital; }
bool IsSmall(uint16_t cs, unsigned char c) { return CharClass(cs, c) & kClassSmall; }

bool AllCapitals(uint16_t cs, const char* w) {
  bool any = false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(w); *p; ++p) {
    uint8_t k = CharClass(cs, *p);
    if (k & kClassSmall) return false;
    if (k & kClassCapital) any = true;
  }
  return any;
}

bool MixedCase(uint16_t cs, const char* word) {
  const unsigned char* w = reinterpret_cast<const unsigned char*>(word);
  size_t n = strlen(word);
  for (size_t i = 1; i < n; ++i) {
    if (!IsCapital(cs, w[i])) continue;
    if (IsSmall(cs, w[i - 1]) || (i + 1 < n && IsSmall(cs, w[i + 1]))) return true;
  }
  return false;
}

bool OnlyLettersAndApostrophes(uint16_t cs, const char* word) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(word); *p; ++p)
    if (!(CharClass(cs, *p) & kClassLetter) && !IsApostrophe(*p)) return false;
  return true;
}

// A run-together word: cut into the longest known prefix, again and again.
int16_t CheckRunTogether(Session* s, const char* word, uint32_t options, char* replacement) {
  const char* rest = word;
  int16_t last = SORN_NOTFOUND;
  char piece[SORN_WORD_SIZE];
  while (*rest) {
    size_t n = strlen(rest);
    if (n > SORN_WORD_SIZE - 1) n = SORN_WORD_SIZE - 1;
    bool found = false;
    for (; n > 0 && !found; --n) {
      memcpy(piece, rest, n);
      piece[n] = 0;
      int16_t rc = CheckLexicons(s, piece, options, replacement);
      if (rc < 0) return rc;
      if (Found(rc)) {
        found = true;
        last = rc;
        rest += n;
        break;
      }
    }
    if (!found) return SORN_NOTFOUND;
  }
  return last;
}

// A word cut at the separators (hyphens and/or apostrophes); every part known.
int16_t CheckParts(Session* s, const char* word, uint32_t options, char* replacement) {
  bool hyphens = options & SORN_OPT_HYPHEN_PARTS, apostrophes = options & SORN_OPT_APOSTROPHE_PARTS;
  auto isCut = [&](unsigned char c) { return (hyphens && c == '-') || (apostrophes && IsApostrophe(c)); };
  const unsigned char* w = reinterpret_cast<const unsigned char*>(word);
  bool anyCut = false;
  for (const unsigned char* p = w; *p; ++p) anyCut |= isCut(*p);
  if (!anyCut) return SORN_NOTFOUND;
  int16_t last = SORN_NOTFOUND;
  char part[SORN_WORD_SIZE];
  const unsigned char* p = w;
  while (*p) {
    size_t n = 0;
    while (p[n] && !isCut(p[n])) ++n;
    if (n > 0) {
      size_t copy = n < SORN_WORD_SIZE - 1 ? n : SORN_WORD_SIZE - 1;
      memcpy(part, p, copy);
      part[copy] = 0;
      int16_t rc = CheckLexicons(s, part, options, replacement);
      if (rc < 0) return rc;
      if (!Found(rc)) return SORN_NOTFOUND;
      last = rc;
    }
    p += n;
    if (*p) ++p;
  }
  return last;
}

}  // namespace

Session* SessionOf(int16_t id) { return (id >= 0 && id < SORN_MAX_SESSIONS) ? g_sessions[id] : nullptr; }

int16_t CheckLexicons(Session* s, const char* word, uint32_t options, char* replacement) {
  bool exact = options & SORN_OPT_EXACT_CASE;
  int16_t rc = AskLexicons(s, word, exact, replacement);
  if (!exact || rc != SORN_NOTFOUND) return rc;
  const unsigned char first = static_cast<unsigned char>(word[0]);
  if (IsCapital(s->charSet, first)) {
    char lowered[SORN_WORD_SIZE];
    StripPossessive(word, s->charSet, 0, lowered);
    lowered[0] = static_cast<char>(ToSmall(s->charSet, first));
    rc = AskLexicons(s, lowered, true, replacement);
    if (rc != SORN_NOTFOUND) return rc;
  }
  if (AllCapitals(s->charSet, word)) rc = AskLexicons(s, word, false, replacement);
  return rc;
}

int16_t CheckWord(uint32_t options, Session* s, const char* original, char* replacement) {
  uint16_t cs = s->charSet;
  bool mixed = MixedCase(cs, original);
  char word[SORN_WORD_SIZE];
  StripPossessive(original, cs, options, word);
  if (!word[0]) return SORN_OK;
  strcpy(replacement, original);
  const unsigned char first = static_cast<unsigned char>(word[0]);
  if ((options & SORN_OPT_ACCEPT_CAPITALISED) && IsCapital(cs, first)) return SORN_OK;
  if ((options & SORN_OPT_ACCEPT_MIXED) && mixed) return SORN_OK;
  if ((options & SORN_OPT_ACCEPT_NONLETTER) && !OnlyLettersAndApostrophes(cs, word)) return SORN_OK;
  if ((options & SORN_OPT_ACCEPT_ALLCAPS) && AllCapitals(cs, word)) return SORN_OK;

  int16_t result = SORN_OK;
  if (options >= SORN_OPT_LOOKUP) {
    char found[SORN_WORD_SIZE] = {0};
    result = CheckLexicons(s, word, options, found);
    if (result == SORN_NOTFOUND && (options & SORN_OPT_RUN_TOGETHER))
      result = CheckRunTogether(s, word, options, found);
    if (result == SORN_NOTFOUND && (options & (SORN_OPT_HYPHEN_PARTS | SORN_OPT_APOSTROPHE_PARTS)))
      result = CheckParts(s, word, options, found);
    if (result < 0) return result;
    if (result & (SORN_AUTOCHANGE | SORN_SUGGESTED)) {
      AddPossessive(original, found, cs);
      strcpy(replacement, found);
    }
  }
  // Only a word that starts with a small letter wants a capital (not "1st").
  if ((options & SORN_OPT_SENTENCE_CAPITAL) && IsSmall(cs, first)) {
    result |= SORN_CAPITALISE;
    replacement[0] = static_cast<char>(ToCapital(cs, static_cast<unsigned char>(replacement[0])));
  }
  if ((options & SORN_OPT_REPORT_MIXED) && mixed) {
    result |= SORN_MIXEDCASE;
    for (char* p = replacement; *p; ++p) *p = static_cast<char>(ToSmall(cs, static_cast<unsigned char>(*p)));
    if (IsCapital(cs, static_cast<unsigned char>(original[0])))
      replacement[0] = static_cast<char>(ToCapital(cs, static_cast<unsigned char>(replacement[0])));
  }
  if ((options & SORN_OPT_MARK_LETTERS_ONLY) && (result & SORN_NOTFOUND) && OnlyLettersAndApostrophes(cs, word))
    result |= SORN_LETTERS_ONLY;
  return result;
}

int16_t SuggestWords(Session* s, const char* original, uint16_t level, uint32_t options, SuggestList& list) {
  char word[SORN_WORD_SIZE];
  StripPossessive(original, s->charSet, options, word);
  if (!word[0]) return 0;
  ScoreFunction functions[2] = {nullptr, nullptr};
  if (options & SORN_OPT_SUGGEST_TYPING) functions[0] = WordSimilarity;
  if (options & SORN_OPT_SUGGEST_ANAGRAM) functions[1] = AnagramScore;
  for (LexRecord* lex : s->lexicons) {
    if (!lex) continue;
    for (ScoreFunction f : functions) {
      if (!f) continue;
      if (lex->kind == SORN_FORMAT_COMPRESSED)
        CLex_Suggest(level, word, s->charSet, f, list, lex->clex);
      else
        TLex_Suggest(lex->tlex, word, s->charSet, f, list);
    }
  }
  if (options & SORN_OPT_SUGGEST_SPLIT) {
    size_t n = strlen(word);
    char left[SORN_WORD_SIZE], right[SORN_WORD_SIZE], joined[2 * SORN_WORD_SIZE + 1], scratch[SORN_WORD_SIZE];
    for (size_t cut = 1; cut < n; ++cut) {
      memcpy(left, word, cut);
      left[cut] = 0;
      strcpy(right, word + cut);
      if (CheckLexicons(s, left, options, scratch) != SORN_OK || CheckLexicons(s, right, options, scratch) != SORN_OK)
        continue;
      snprintf(joined, sizeof joined, "%s %s", left, right);
      if (strlen(joined) > SORN_WORD_SIZE - 1) continue;
      AddSuggestion(list, joined, WordSimilarity(word, joined, s->charSet), false);
    }
  }
  return 0;
}

int16_t SORN_OpenSession() {
  int slot = -1;
  for (int i = 0; i < SORN_MAX_SESSIONS && slot < 0; ++i)
    if (!g_sessions[i]) slot = i;
  if (slot < 0) {
    timelog("SORN_OpenSession: too many sessions");
    return SORN_TOO_MANY_SESSIONS;
  }
  Session* s = static_cast<Session*>(calloc(1, sizeof(Session)));
  if (!s) {
    timelog("SORN_OpenSession: out of memory");
    return SORN_OUT_OF_MEMORY;
  }
  s->charSet = 0;
  s->language = 1033;
  s->options = SORN_OPT_DEFAULT;
  g_sessions[slot] = s;
  timelog("SORN_OpenSession: session opened");
  return static_cast<int16_t>(slot);
}

int16_t SORN_CloseSession(int16_t id) {
  Session* s = CheckSession(id, "SORN_CloseSession");
  if (!s) return SORN_BAD_SESSION;
  for (LexRecord*& lex : s->lexicons) FreeLex(lex), lex = nullptr;
  for (Block*& b : s->blocks) {
    if (b) BlockClose(b);
    free(b);
    b = nullptr;
  }
  free(s);
  g_sessions[id] = nullptr;
  timelog("SORN_CloseSession: Session %hd closed", id);
  return 0;
}

int16_t SORN_OpenLex(int16_t id, const char* path, uint32_t budget) {
  Session* s = CheckSession(id, "SORN_OpenLex");
  if (!s) return SORN_BAD_SESSION;
  int slot = FreeLexSlot(s);
  if (slot < 0) {
    timelog("SORN_OpenLex: too many lexicons");
    return SORN_TOO_MANY_LEXICONS;
  }
  if (!path || !*path) {
    timelog("SORN_OpenLex: file open error; file=");
    return SORN_OPEN_FAILED;
  }
  LexRecord* lex = static_cast<LexRecord*>(calloc(1, sizeof(LexRecord)));
  if (!lex) return SORN_OUT_OF_MEMORY;
  int16_t type = 0, language = 0, rc = 0;
  if (CLex_GetInfo(path, &type, &language) == 0) {
    lex->kind = SORN_FORMAT_COMPRESSED;
    lex->clex = static_cast<CLex*>(calloc(1, sizeof(CLex)));
    rc = lex->clex ? CLex_Open(path, budget, lex->clex) : SORN_OUT_OF_MEMORY;
  } else if ((rc = TLex_GetInfo(path, &type, &language)) == 0) {
    lex->kind = SORN_FORMAT_TEXT;
    lex->tlex = static_cast<TLex*>(calloc(1, sizeof(TLex)));
    rc = lex->tlex ? TLex_Open(path, lex->tlex) : SORN_OUT_OF_MEMORY;
    if (rc == 0) type = static_cast<int16_t>(lex->tlex->type), language = lex->tlex->language;
  }
  if (rc < 0) {
    FreeLex(lex);
    return rc;
  }
  lex->type = type;
  lex->language = static_cast<uint16_t>(language);
  s->lexicons[slot] = lex;
  timelog("SORN_OpenLex: %s opened; id=%hd", path, static_cast<int16_t>(slot));
  return static_cast<int16_t>(slot);
}

int16_t SORN_CreateLex(int16_t id, const char* path, int16_t type, uint16_t language) {
  Session* s = CheckSession(id, "SORN_CreateLex");
  if (!s) return SORN_BAD_SESSION;
  if (type < 0 || type > 3) {
    timelog("SORN_CreateLex: bad lex type %hd", type);
    return SORN_BAD_FORMAT;
  }
  int slot = FreeLexSlot(s);
  if (slot < 0) {
    timelog("SORN_CreateLex: too many lexicons");
    return SORN_TOO_MANY_LEXICONS;
  }
  LexRecord* lex = static_cast<LexRecord*>(calloc(1, sizeof(LexRecord)));
  TLex* t = static_cast<TLex*>(calloc(1, sizeof(TLex)));
  if (!lex || !t) {
    free(lex);
    free(t);
    return SORN_OUT_OF_MEMORY;
  }
  int16_t rc = TLex_Create(path, type, static_cast<int16_t>(language), t);
  if (rc < 0) {
    free(lex);
    free(t);
    return rc;
  }
  lex->kind = SORN_FORMAT_TEXT;
  lex->type = type;
  lex->language = language;
  lex->tlex = t;
  s->lexicons[slot] = lex;
  timelog("SORN_CreateLex: %s created; id=%hd", (path && *path) ? path : "temp. lex", static_cast<int16_t>(slot));
  return static_cast<int16_t>(slot);
}

int16_t SORN_CloseLex(int16_t id, int16_t lexId) {
  Session* s = CheckSession(id, "SORN_CloseLex");
  if (!s) return SORN_BAD_SESSION;
  LexRecord* lex = CheckLex(s, lexId, "SORN_CloseLex");
  if (!lex) return SORN_BAD_LEXICON;
  FreeLex(lex);
  s->lexicons[lexId] = nullptr;
  timelog("SORN_CloseLex: %hd closed", lexId);
  return 0;
}

int16_t SORN_AddToLex(int16_t id, int16_t lexId, const char* word, const char* replacement) {
  Session* s = CheckSession(id, "SORN_AddToLex");
  if (!s) return SORN_BAD_SESSION;
  LexRecord* lex = CheckLex(s, lexId, "SORN_AddToLex");
  if (!lex) return SORN_BAD_LEXICON;
  if (lex->kind != SORN_FORMAT_TEXT) {
    timelog("SORN_AddToLex: read only lex");
    return SORN_READ_ONLY;
  }
  bool pairs = lex->type == SORN_LEX_CHANGE || lex->type == SORN_LEX_SUGGEST;
  if (!word || !*word || (pairs && (!replacement || !*replacement))) {
    timelog("SORN_AddToLex: need word and replacement");
    return SORN_NEED_REPLACEMENT;
  }
  char stripped[SORN_WORD_SIZE];
  StripPossessive(word, s->charSet, s->options, stripped);
  if (!stripped[0]) return SORN_NEED_REPLACEMENT;
  return TLex_Add(lex->tlex, stripped, pairs ? replacement : nullptr);
}

int16_t SORN_DelFromLex(int16_t id, int16_t lexId, const char* word) {
  Session* s = CheckSession(id, "SORN_DelFromLex");
  if (!s) return SORN_BAD_SESSION;
  LexRecord* lex = CheckLex(s, lexId, "SORN_DelFromLex");
  if (!lex) return SORN_BAD_LEXICON;
  if (lex->kind != SORN_FORMAT_TEXT) {
    timelog("SORN_DelFromLex: read only lex");
    return SORN_READ_ONLY;
  }
  return TLex_Delete(lex->tlex, word ? word : "");
}

int16_t SORN_ClearLex(int16_t id, int16_t lexId) {
  Session* s = CheckSession(id, "SORN_ClearLex");
  if (!s) return SORN_BAD_SESSION;
  LexRecord* lex = CheckLex(s, lexId, "SORN_ClearLex");
  if (!lex) return SORN_BAD_LEXICON;
  if (lex->kind != SORN_FORMAT_TEXT) {
    timelog("SORN_ClearLex: read only lex");
    return SORN_READ_ONLY;
  }
  return TLex_Clear(lex->tlex);
}

int16_t SORN_GetLex(int16_t id, int16_t lexId, char* buffer, uint32_t size) {
  Session* s = CheckSession(id, "SORN_GetLex");
  if (!s) return SORN_BAD_SESSION;
  LexRecord* lex = CheckLex(s, lexId, "SORN_GetLex");
  if (!lex) return SORN_BAD_LEXICON;
  if (lex->kind != SORN_FORMAT_TEXT) {
    timelog("SORN_GetLex: unsupported action");
    return SORN_UNSUPPORTED;
  }
  return TLex_GetImage(lex->tlex, buffer, size);
}

int16_t SORN_GetLexInfo(int16_t id, int16_t lexId, uint32_t* size, uint16_t* format, int16_t* type,
                        uint16_t* language) {
  Session* s = CheckSession(id, "SORN_GetLexInfo");
  if (!s) return SORN_BAD_SESSION;
  LexRecord* lex = CheckLex(s, lexId, "SORN_GetLexInfo");
  if (!lex) return SORN_BAD_LEXICON;
  if (size) {
    *size = 0;
    if (lex->kind == SORN_FORMAT_TEXT) TLex_GetImageSize(lex->tlex, size);
  }
  if (format) *format = lex->kind;
  if (type) *type = lex->type;
  if (language) *language = lex->language;
  return 0;
}

int16_t SORN_OpenBlock(int16_t id, char* text, uint32_t length, uint32_t bufferSize, uint16_t copy) {
  Session* s = CheckSession(id, "SORN_OpenBlock");
  if (!s) return SORN_BAD_SESSION;
  int slot = -1;
  for (int i = 0; i < SORN_MAX_BLOCKS && slot < 0; ++i)
    if (!s->blocks[i]) slot = i;
  if (slot < 0) {
    timelog("SORN_OpenBlock: too many blocks");
    return SORN_TOO_MANY_BLOCKS;
  }
  Block* b = static_cast<Block*>(calloc(1, sizeof(Block)));
  if (!b) {
    timelog("SORN_OpenBlock: out of memory");
    return SORN_OUT_OF_MEMORY;
  }
  int16_t rc = BlockOpen(b, text, length, bufferSize, copy != 0, s->charSet);
  if (rc < 0) {
    free(b);
    return rc;
  }
  s->blocks[slot] = b;
  return static_cast<int16_t>(slot);
}

int16_t SORN_CloseBlock(int16_t id, int16_t blockId) {
  Session* s = CheckSession(id, "SORN_CloseBlock");
  if (!s) return SORN_BAD_SESSION;
  Block* b = CheckBlockId(s, blockId, "SORN_CloseBlock");
  if (!b) return SORN_BAD_BLOCK;
  BlockClose(b);
  free(b);
  s->blocks[blockId] = nullptr;
  return 0;
}

int16_t SORN_NextBlockWord(int16_t id, int16_t blockId) {
  Session* s = CheckSession(id, "SORN_NextBlockWord");
  if (!s) return SORN_BAD_SESSION;
  Block* b = CheckBlockId(s, blockId, "SORN_NextBlockWord");
  if (!b) return SORN_BAD_BLOCK;
  return BlockNextWord(b);
}

int16_t SORN_DelBlockWord(int16_t id, int16_t blockId) {
  Session* s = CheckSession(id, "SORN_DelBlockWord");
  if (!s) return SORN_BAD_SESSION;
  Block* b = CheckBlockId(s, blockId, "SORN_DelBlockWord");
  if (!b) return SORN_BAD_BLOCK;
  return BlockDeleteWord(b);
}

int16_t SORN_ReplaceBlockWord(int16_t id, int16_t blockId, const char* word) {
  Session* s = CheckSession(id, "SORN_ReplaceBlockWord");
  if (!s) return SORN_BAD_SESSION;
  Block* b = CheckBlockId(s, blockId, "SORN_ReplaceBlockWord");
  if (!b) return SORN_BAD_BLOCK;
  return BlockReplaceWord(b, word ? word : "");
}

int16_t SORN_GetBlockInfo(int16_t id, int16_t blockId, uint32_t* length, uint32_t* bufferSize, uint32_t* cursor,
                          uint32_t* wordCount) {
  Session* s = CheckSession(id, "SORN_GetBlockInfo");
  if (!s) return SORN_BAD_SESSION;
  Block* b = CheckBlockId(s, blockId, "SORN_GetBlockInfo");
  if (!b) return SORN_BAD_BLOCK;
  if (length) *length = b->length;
  if (bufferSize) *bufferSize = b->bufferSize;
  if (cursor) *cursor = b->cursor;
  if (wordCount) *wordCount = BlockWordCount(b);
  return 0;
}

int16_t SORN_CheckBlock(int16_t id, int16_t blockId, uint32_t options, char* word, char* replacement) {
  Session* s = CheckSession(id, "SORN_CheckBlock");
  if (!s) return SORN_BAD_SESSION;
  Block* b = CheckBlockId(s, blockId, nullptr);
  if (!b) return SORN_BAD_BLOCK;
  options |= s->options;
  char current[SORN_WORD_SIZE];
  for (;;) {
    uint32_t span = 0;
    if (BlockReadWord(b, current, &span) < 0) return SORN_END_OF_BLOCK;
    uint32_t wordOptions = b->atSentenceStart ? options : options & ~uint32_t(SORN_OPT_SENTENCE_CAPITAL);
    bool allDigits = true;
    for (const char* p = current; *p; ++p)
      allDigits &= (CharClass(s->charSet, static_cast<unsigned char>(*p)) & kClassDigit) != 0;
    int16_t result = SORN_OK;
    char found[SORN_WORD_SIZE];
    strcpy(found, current);
    if (!allDigits) {
      result = CheckWord(wordOptions, s, current, found);
      if (result < 0) return result;
      if ((options & SORN_OPT_DOUBLED) && BlockIsDoubled(b, current, options & SORN_OPT_EXACT_CASE))
        result |= SORN_DOUBLED;
    }
    if (result != SORN_OK) {
      if (word) strcpy(word, current);
      if (replacement) strcpy(replacement, found);
      return result;
    }
    if (BlockPassWord(b, current, span) < 0) return SORN_END_OF_BLOCK;
  }
}

int16_t SORN_Suggest(int16_t id, const char* word, uint16_t level, char* buffer, uint32_t size, int16_t* scores,
                     uint16_t maxCount) {
  Session* s = CheckSession(id, "SORN_Suggest");
  if (!s) return SORN_BAD_SESSION;
  char stripped[SORN_WORD_SIZE];
  StripPossessive(word ? word : "", s->charSet, s->options, stripped);
  if (!stripped[0]) {
    if (buffer && size) buffer[0] = 0;
    return 0;
  }
  SuggestList list;
  if (!SuggestListInit(list, maxCount)) {
    timelog("SORN_Suggest: out of memory");
    return SORN_OUT_OF_MEMORY;
  }
  SuggestWords(s, word, level, s->options, list);
  uint32_t used = 0;
  int16_t count = 0;
  int16_t rc = 0;
  for (uint16_t i = 0; i < list.count; ++i) {
    SuggestEntry& e = list.entries[i];
    if (e.refused) continue;
    char shown[SORN_WORD_SIZE];
    strcpy(shown, e.word);
    AddPossessive(word, shown, s->charSet);
    uint32_t n = static_cast<uint32_t>(strlen(shown)) + 1;
    if (!buffer || used + n + 1 > size) {
      timelog("SORN_Suggest: buffer too small");
      rc = SORN_BUFFER_TOO_SMALL;
      break;
    }
    memcpy(buffer + used, shown, n);
    used += n;
    if (scores) scores[count] = e.score;
    ++count;
  }
  if (buffer && used < size) buffer[used] = 0;
  SuggestListFree(list);
  return rc < 0 ? rc : count;
}
