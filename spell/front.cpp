// The program's spelling session, the language table and the small decisions
// of the check that need no window.
#include "spell/front.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "spell/sorn.h"

namespace {

void NoLog(const char*) {}

void Log(const char* text) { g_spellFrontHooks.debugLog(text); }

template <typename... Args>
void LogF(const char* format, Args... args) {
  char line[400];
  std::snprintf(line, sizeof line, format, args...);
  Log(line);
}

const SpellLanguageFiles kLanguages[] = {
    {1033, "sornamc.tlx", "sornam1.clx"}, {2057, "sornbrc.tlx", "sornbr1.clx"}, {1036, "sornfr.tlx", "sornfr1.clx"},
    {1031, "sornge.tlx", "sornge1.clx"},  {1040, "sornitc.tlx", "sornit1.clx"}, {1034, "sornspc.tlx", "sornsp1.clx"},
    {1043, "sornduc.tlx", "sorndu1.clx"}, {1035, "sornfic.tlx", "sornfi1.clx"}, {1053, "sornswc.tlx", "sornsw1.clx"},
    {1027, "sorncac.tlx", "sornca1.clx"}, {1029, "sornczc.tlx", "sorncz1.clx"}, {1030, "sorndac.tlx", "sornda1.clx"},
    {1038, "sornhuc.tlx", "sornhu1.clx"}, {1044, "sornnoc.tlx", "sornno1.clx"}, {2068, "sornnoc.tlx", "sornno2.clx"},
    {1045, "sornpoc.tlx", "sornpo1.clx"}, {1046, "sornpgc.tlx", "sornpg1.clx"}, {2070, "sornpgc.tlx", "sornpg2.clx"},
    {1049, "sornruc.tlx", "sornru1.clx"},
};

const char* DictionaryPath(SpellDictionary which, const SpellOpenSettings& settings) {
  switch (which) {
    case DICT_AUTOCORRECT: return settings.autoCorrectPath;
    case DICT_IGNORE: return settings.ignorePath;
    case DICT_SUGGESTION: return settings.suggestPath;
  }
  return "";
}

int16_t DictionaryType(SpellDictionary which) {
  switch (which) {
    case DICT_AUTOCORRECT: return SORN_LEX_CHANGE;
    case DICT_IGNORE: return SORN_LEX_ACCEPT;
    case DICT_SUGGESTION: return SORN_LEX_SUGGEST;
  }
  return SORN_LEX_ACCEPT;
}

void CloseId(int16_t& id) {
  if (id >= 0) SORN_CloseLex(g_sorn.session, id);
  id = -1;
}

}  // namespace

SpellFrontHooks g_spellFrontHooks = {NoLog};
SpellSessionIds g_sorn;

const SpellLanguageFiles* SpellLanguage(uint32_t language) {
  for (const SpellLanguageFiles& entry : kLanguages)
    if (entry.language == language) return &entry;
  return nullptr;
}

int BuildMainLexiconList(const uint32_t* languages, int count, char names[kMainLexiconMax][kMainLexiconNameMax + 1]) {
  // The list is a comma-separated text first, as the settings page shows it.
  std::string list;
  for (int i = 0; i < count; ++i)
    if (const SpellLanguageFiles* files = SpellLanguage(languages[i]))
      list += std::string(files->textLexicon) + "," + files->compressedLexicon + ",";
  if (!list.empty()) list.pop_back();
  int n = 0;
  size_t start = 0;
  while (n < kMainLexiconMax && start < list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = list.substr(start, comma - start).substr(0, kMainLexiconNameMax);
    std::memcpy(names[n], name.c_str(), name.size() + 1);
    ++n;
    start = comma + 1;
  }
  return n;
}

bool SpellSessionOpen() { return g_sorn.session != -1; }

int16_t& UserDictionaryId(SpellDictionary which) {
  switch (which) {
    case DICT_AUTOCORRECT: return g_sorn.autoCorrect;
    case DICT_IGNORE: return g_sorn.ignore;
    case DICT_SUGGESTION: break;
  }
  return g_sorn.suggest;
}

int16_t OpenUserDictionary(SpellDictionary which, const SpellOpenSettings& settings) {
  int16_t& id = UserDictionaryId(which);
  if (id >= 0) return id;
  const char* path = DictionaryPath(which, settings);
  id = SORN_OpenLex(g_sorn.session, path, 0);
  if (id < 0) id = SORN_CreateLex(g_sorn.session, path, DictionaryType(which), settings.language);
  if (id < 0) LogF("Error %d opening %s\n", id, path);
  return id;
}

void CloseUserDictionary(SpellDictionary which) { CloseId(UserDictionaryId(which)); }

int16_t OpenSpellSession(const SpellOpenSettings& settings) {
  if (SpellSessionOpen()) return 0;
  Log("openSORN: Start\n");
  g_sorn.session = SORN_OpenSession();
  Log("openSORN: After SORN_OpenSession\n");
  if (g_sorn.session < 0) {
    int16_t code = g_sorn.session;
    LogF("Error %d opening session\n", code);
    g_sorn.session = -1;
    return code;
  }
  struct Temporary {
    int16_t* id;
    int16_t type;
    const char* error;
  } temporaries[] = {{&g_sorn.tempChange, SORN_LEX_CHANGE, "Error %d opening temp change lexicon\n"},
                     {&g_sorn.tempIgnore, SORN_LEX_ACCEPT, "Error %d opening temp ignore lexicon\n"},
                     {&g_sorn.tempSuggest, SORN_LEX_SUGGEST, "Error %d opening temp suggest lexicon\n"}};
  int step = 0;
  for (Temporary& t : temporaries) {
    *t.id = SORN_CreateLex(g_sorn.session, nullptr, t.type, settings.language);
    if (*t.id < 0) {
      LogF(t.error, *t.id);
      return *t.id;
    }
    LogF("openSORN: #%d\n", ++step);
  }
  if (!(settings.options & kSpellNoAutoCorrect)) {
    int16_t id = OpenUserDictionary(DICT_AUTOCORRECT, settings);
    if (id < 0) return id;
  }
  LogF("openSORN: #%d\n", ++step);
  for (SpellDictionary which : {DICT_IGNORE, DICT_SUGGESTION}) {
    int16_t id = OpenUserDictionary(which, settings);
    if (id < 0) return id;
    LogF("openSORN: #%d\n", ++step);
  }
  for (int i = 0; i < settings.mainCount && i < kMainLexiconMax; ++i) {
    g_sorn.main[i] = SORN_OpenLex(g_sorn.session, settings.mainNames[i], 0xFFFFFFFFu);
    if (g_sorn.main[i] < 0) {
      int16_t code = g_sorn.main[i];
      LogF("Error %d opening %s\n", code, settings.mainNames[i]);
      return code;
    }
  }
  LogF("openSORN: #%d\n", ++step);
  return 0;
}

void closeSORN() {
  Log("closeSORN: start\n");
  if (SpellSessionOpen()) {
    for (int16_t& id : g_sorn.main) CloseId(id);
    CloseId(g_sorn.suggest);
    CloseId(g_sorn.ignore);
    CloseId(g_sorn.autoCorrect);
    CloseId(g_sorn.tempSuggest);
    CloseId(g_sorn.tempIgnore);
    CloseId(g_sorn.tempChange);
    SORN_CloseSession(g_sorn.session);
  }
  g_sorn = SpellSessionIds();
  Log("closeSORN: end\n");
}

bool SubjectIsChecked(const char* subject) {
  if (!subject) return false;
  if (std::strstr(subject, "binmail:")) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return !(lower(subject[0]) == 'r' && subject[0] && lower(subject[1]) == 'e' && subject[1] && subject[2] == ':');
}

bool IsQuotedWord(const char* text, size_t length, size_t offset) {
  if (offset > length) offset = length;
  size_t lineStart = offset;
  while (lineStart > 0 && text[lineStart - 1] != '\n') --lineStart;
  if (lineStart + 1 < length && text[lineStart] == '>' && text[lineStart + 1] == ' ') return true;
  // Each pair counts once: "<<<" opens one quote, not two.
  int open = 0, close = 0;
  for (size_t i = 0; i + 1 < offset;) {
    if (text[i] == '<' && text[i + 1] == '<') {
      ++open;
      i += 2;
    } else if (text[i] == '>' && text[i + 1] == '>') {
      ++close;
      i += 2;
    } else {
      ++i;
    }
  }
  return open > close;
}

int SelectSuggestions(const int16_t* scores, int count) {
  int n = 0;
  while (n < count && n < 16 && scores[n] >= 50 && scores[n] >= scores[0] - 20) ++n;
  return n;
}
