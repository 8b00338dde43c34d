// The SORN spelling engine: sessions of lexicons and text blocks addressed by
// small ids, word checks and ranked suggestions. Every call returns a 16-bit
// result: 0 or a count or an id on success, a negative code on failure.
#pragma once
#include <cstdint>

constexpr int16_t SORN_TOO_MANY_SESSIONS = -1;
constexpr int16_t SORN_BAD_SESSION = -2;
constexpr int16_t SORN_NOT_FOUND = -3;
constexpr int16_t SORN_OPEN_FAILED = -4;
constexpr int16_t SORN_TOO_MANY_LEXICONS = -5;
constexpr int16_t SORN_BAD_FORMAT = -6;
constexpr int16_t SORN_BAD_LEXICON = -7;
constexpr int16_t SORN_BUFFER_TOO_SMALL = -8;
constexpr int16_t SORN_READ_ONLY = -9;
constexpr int16_t SORN_NEED_REPLACEMENT = -10;
constexpr int16_t SORN_OUT_OF_MEMORY = -12;
constexpr int16_t SORN_UNSUPPORTED = -13;
constexpr int16_t SORN_EXISTS = -14;
constexpr int16_t SORN_TOO_MANY_BLOCKS = -15;
constexpr int16_t SORN_BAD_BLOCK = -16;
constexpr int16_t SORN_SEGMENT_HEADER = -22;
constexpr int16_t SORN_WRITE_FAILED = -23;
constexpr int16_t SORN_TEMP_OPEN_FAILED = -24;

// Lexicon types.
constexpr int16_t SORN_LEX_CHANGE = 0;   // word with a replacement, changed automatically
constexpr int16_t SORN_LEX_ACCEPT = 1;   // plain words that are correct
constexpr int16_t SORN_LEX_SUGGEST = 2;  // word with a replacement offered as a suggestion
constexpr int16_t SORN_LEX_EXCLUDE = 3;  // plain words that are refused

// Options: the session's word, also passed to SORN_CheckBlock.
constexpr uint32_t SORN_OPT_ACCEPT_CAPITALISED = 0x1;
constexpr uint32_t SORN_OPT_ACCEPT_MIXED = 0x2;
constexpr uint32_t SORN_OPT_ACCEPT_NONLETTER = 0x4;
constexpr uint32_t SORN_OPT_ACCEPT_ALLCAPS = 0x8;
constexpr uint32_t SORN_OPT_SENTENCE_CAPITAL = 0x10;
constexpr uint32_t SORN_OPT_REPORT_MIXED = 0x20;
constexpr uint32_t SORN_OPT_MARK_LETTERS_ONLY = 0x40;
constexpr uint32_t SORN_OPT_LOOKUP = 0x80;  // any bit from here up enables the lexicon lookup
constexpr uint32_t SORN_OPT_DOUBLED = 0x100;
constexpr uint32_t SORN_OPT_EXACT_CASE = 0x200;
constexpr uint32_t SORN_OPT_HYPHEN_PARTS = 0x400;
constexpr uint32_t SORN_OPT_APOSTROPHE_PARTS = 0x800;
constexpr uint32_t SORN_OPT_RUN_TOGETHER = 0x1000;
constexpr uint32_t SORN_OPT_SUGGEST_SPLIT = 0x2000;
constexpr uint32_t SORN_OPT_SUGGEST_ANAGRAM = 0x4000;
constexpr uint32_t SORN_OPT_SUGGEST_TYPING = 0x8000;
constexpr uint32_t SORN_OPT_POSSESSIVE = 0x10000;
constexpr uint32_t SORN_OPT_DEFAULT = 0x18680;

// Check results (a bit set).
constexpr int16_t SORN_OK = 0;
constexpr int16_t SORN_NOTFOUND = 1;
constexpr int16_t SORN_AUTOCHANGE = 2;
constexpr int16_t SORN_SUGGESTED = 4;
constexpr int16_t SORN_CAPITALISE = 8;
constexpr int16_t SORN_MIXEDCASE = 16;
constexpr int16_t SORN_LETTERS_ONLY = 32;
constexpr int16_t SORN_END_OF_BLOCK = 64;
constexpr int16_t SORN_DOUBLED = 128;

// Lexicon formats reported by SORN_GetLexInfo.
constexpr uint16_t SORN_FORMAT_COMPRESSED = 0;
constexpr uint16_t SORN_FORMAT_TEXT = 1;

constexpr int SORN_MAX_SESSIONS = 16;
constexpr int SORN_MAX_LEXICONS = 16;
constexpr int SORN_MAX_BLOCKS = 4;
constexpr int SORN_WORD_SIZE = 64;  // a word of at most 63 characters and its zero

int16_t SORN_OpenSession();
int16_t SORN_CloseSession(int16_t session);

// budget: bytes of segments a compressed lexicon may hold (0: unlimited).
int16_t SORN_OpenLex(int16_t session, const char* path, uint32_t budget);
// path null or empty: a temporary lexicon that lives in memory only.
int16_t SORN_CreateLex(int16_t session, const char* path, int16_t type, uint16_t language);
int16_t SORN_CloseLex(int16_t session, int16_t lex);
int16_t SORN_AddToLex(int16_t session, int16_t lex, const char* word, const char* replacement);
int16_t SORN_DelFromLex(int16_t session, int16_t lex, const char* word);
int16_t SORN_ClearLex(int16_t session, int16_t lex);
int16_t SORN_GetLex(int16_t session, int16_t lex, char* buffer, uint32_t size);
int16_t SORN_GetLexInfo(int16_t session, int16_t lex, uint32_t* size, uint16_t* format, int16_t* type,
                        uint16_t* language);

// The text is the caller's buffer of bufferSize bytes unless copy is set.
int16_t SORN_OpenBlock(int16_t session, char* text, uint32_t length, uint32_t bufferSize, uint16_t copy);
int16_t SORN_CloseBlock(int16_t session, int16_t block);
int16_t SORN_NextBlockWord(int16_t session, int16_t block);
int16_t SORN_DelBlockWord(int16_t session, int16_t block);
int16_t SORN_ReplaceBlockWord(int16_t session, int16_t block, const char* word);
// Any out parameter may be null; the word count is counted only when asked for.
int16_t SORN_GetBlockInfo(int16_t session, int16_t block, uint32_t* length, uint32_t* bufferSize, uint32_t* cursor,
                          uint32_t* wordCount);
// word and replacement receive SORN_WORD_SIZE bytes each.
int16_t SORN_CheckBlock(int16_t session, int16_t block, uint32_t options, char* word, char* replacement);

// Suggestions for a word: zero-terminated words one after the other, one
// more zero at the end; scores[i] is the score of the i-th. Returns the count.
int16_t SORN_Suggest(int16_t session, const char* word, uint16_t level, char* buffer, uint32_t size, int16_t* scores,
                     uint16_t maxCount);
