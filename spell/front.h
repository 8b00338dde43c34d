// The spelling front end's portable half: the program's one engine session
// with its dictionaries, the language table, and the walk through a text
// that decides which word the user is asked about next. The dialogs around
// it are in the *_win32 files.
#pragma once
#include <cstddef>
#include <cstdint>

// Bits of the user's spelling options word that the front end keeps for
// itself; the rest goes to the engine as the check options.
constexpr uint32_t kSpellSkipQuoted = 0x800000;
constexpr uint32_t kSpellNoAutoCorrect = 0x2000000;

constexpr int kMainLexiconMax = 10;
constexpr int kMainLexiconNameMax = 12;

// The user's dictionaries, as the combo of the check dialog and EditLexicon
// number them.
enum SpellDictionary : int { DICT_AUTOCORRECT = 0, DICT_IGNORE = 1, DICT_SUGGESTION = 2 };

// The text lexicon and the compressed lexicon of one language; null for an
// id the program has no lexicons for.
struct SpellLanguageFiles {
  uint16_t language;
  const char* textLexicon;
  const char* compressedLexicon;
};
const SpellLanguageFiles* SpellLanguage(uint32_t language);

// The main lexicons of the chosen languages in order (ids without lexicons
// are passed over), at most 10; returns the count.
int BuildMainLexiconList(const uint32_t* languages, int count, char names[kMainLexiconMax][kMainLexiconNameMax + 1]);

// The seams of the portable half: where the session's progress is logged.
struct SpellFrontHooks {
  void (*debugLog)(const char* text);
};
extern SpellFrontHooks g_spellFrontHooks;

// The program's session: -1 for whatever is not open.
struct SpellSessionIds {
  int16_t session = -1;
  int16_t tempChange = -1;
  int16_t tempIgnore = -1;
  int16_t tempSuggest = -1;
  int16_t autoCorrect = -1;
  int16_t ignore = -1;
  int16_t suggest = -1;
  int16_t main[kMainLexiconMax] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};
extern SpellSessionIds g_sorn;

// What opening the session needs: the options word, the language of the
// temporary lexicons, the dictionaries' and main lexicons' paths.
struct SpellOpenSettings {
  uint32_t options = 0;
  uint16_t language = 1033;
  const char* autoCorrectPath = "autocorr.tlx";
  const char* ignorePath = "ignore.tlx";
  const char* suggestPath = "suggest.tlx";
  char mainNames[kMainLexiconMax][kMainLexiconNameMax + 1] = {};
  int mainCount = 0;
};

bool SpellSessionOpen();
// 0 when open (or already open); else the failing step's negative code, with
// what was opened left open for closeSORN.
int16_t OpenSpellSession(const SpellOpenSettings& settings);
void closeSORN();
// Opens a user dictionary into its id (created with its type when missing).
int16_t OpenUserDictionary(SpellDictionary which, const SpellOpenSettings& settings);
void CloseUserDictionary(SpellDictionary which);
int16_t& UserDictionaryId(SpellDictionary which);

// A subject is checked unless it is a reply ("Re:") or a binary mail.
bool SubjectIsChecked(const char* subject);
// A word at offset is quoted when its line begins with "> " or the text
// before it opens more "<<" than it closes with ">>".
bool IsQuotedWord(const char* text, size_t length, size_t offset);
// How many of the suggestions (scores in order, best first) are listed: at
// least 50, not more than 20 below the first, at most 16.
int SelectSuggestions(const int16_t* scores, int count);
