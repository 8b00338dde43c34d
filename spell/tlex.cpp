#include "spell/tlex.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "spell/chartab.h"
#include "spell/spellfile.h"

namespace {

constexpr uint32_t kGrowBy = 32;

void FreeEntries(TLex* lex) {
  for (uint32_t i = 0; i < lex->count; ++i) {
    free(lex->entries[i].word);
    free(lex->entries[i].replacement);
  }
  free(lex->entries);
  lex->entries = nullptr;
  lex->count = lex->capacity = 0;
}

bool HasFile(const TLex* lex) { return lex->path[0] != 0; }

bool Grow(TLex* lex) {
  if (lex->count < lex->capacity) return true;
  void* more = realloc(lex->entries, (lex->capacity + kGrowBy) * sizeof(TLexEntry));
  if (!more) {
    timelog("growLex: out of memory");
    return false;
  }
  lex->entries = static_cast<TLexEntry*>(more);
  lex->capacity += kGrowBy;
  return true;
}

bool IsPairType(uint16_t type) { return type == SORN_LEX_CHANGE || type == SORN_LEX_SUGGEST; }

// The four header tokens (each read up to 9 characters); false when any is missing.
bool ParseHeader(const char* line, int* language, int* type) {
  char t1[10], t2[10], t3[10], t4[10];
  if (sscanf(line, "%9s %9s %9s %9s", t1, t2, t3, t4) != 4) return false;
  *language = atoi(t2);
  *type = atoi(t3);
  return true;
}

// A path the record cannot hold whole would have later saves land elsewhere.
bool PathFits(const TLex* lex, const char* path) { return !path || strlen(path) < sizeof lex->path; }

void StorePath(TLex* lex, const char* path) {
  strncpy(lex->path, path ? path : "", sizeof lex->path - 1);
  lex->path[sizeof lex->path - 1] = 0;
}

// Binary search: the index of the word, or -1 with *place the first entry not smaller.
long Find(const TLex* lex, const char* word, uint32_t* place) {
  uint32_t lo = 0, hi = lex->count;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (lexstrcmp(lex->entries[mid].word, word) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (place) *place = lo;
  return (lo < lex->count && lexstrcmp(lex->entries[lo].word, word) == 0) ? long(lo) : -1;
}

// Locks the file and reloads it; the lock is held on success.
int16_t LockAndSync(TLex* lex, const char* caller, SpellLock& lock) {
  if (!spellLock(lex->path, lock)) {
    timelog("%s: can't lock %s", caller, lex->path);
    return SORN_WRITE_FAILED;
  }
  int16_t rc = syncLexFile(lex);
  if (rc < 0) spellUnlock(lock);
  return rc;
}

}  // namespace

int16_t loadLexFile(FILE* file, TLex* lex) {
  FreeEntries(lex);
  std::string line;
  if (!spellReadLine(file, line)) {
    // An empty file holds no words; only a file that cannot be read fails.
    if (ferror(file)) {
      timelog("loadLexFile: read error");
      return SORN_BAD_FORMAT;
    }
    lex->language = 1033;  // as a file without a header
    lex->type = SORN_LEX_ACCEPT;
    lex->noHeader = 1;
    return 0;
  }
  int language = 0, type = 0;
  if (line[0] == '#' && ParseHeader(line.c_str(), &language, &type)) {
    if (type < 0 || type > 3) {
      timelog("loadLexFile: bad sentinel line: %s", line.c_str());
      return SORN_BAD_FORMAT;
    }
    lex->language = static_cast<int16_t>(language);
    lex->type = static_cast<uint16_t>(type);
    lex->noHeader = 0;
  } else {
    lex->language = 1033;
    lex->type = SORN_LEX_ACCEPT;
    lex->noHeader = 1;
    if (spellSeek(file, 0) != 0) {
      timelog("loadLexFile: read error");
      return SORN_BAD_FORMAT;
    }
  }
  while (spellReadLine(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string word = line, replacement;
    bool hasReplacement = false;
    if (IsPairType(lex->type)) {
      size_t colon = line.find(':');
      if (colon != std::string::npos) {
        word = line.substr(0, colon);
        replacement = line.substr(colon + 1);
        hasReplacement = true;
      }
    }
    if (word.empty()) continue;
    if (!Grow(lex)) {
      FreeEntries(lex);
      return SORN_OUT_OF_MEMORY;
    }
    TLexEntry& e = lex->entries[lex->count];
    e.word = lexstrdup(word.c_str());
    e.replacement = hasReplacement ? lexstrdup(replacement.c_str()) : nullptr;
    if (!e.word || (hasReplacement && !e.replacement)) {
      free(e.word);
      free(e.replacement);
      timelog("growLex: out of memory");
      FreeEntries(lex);
      return SORN_OUT_OF_MEMORY;
    }
    ++lex->count;
  }
  if (ferror(file)) {
    timelog("loadLexFile: read error");
    FreeEntries(lex);
    return SORN_BAD_FORMAT;
  }
  std::stable_sort(lex->entries, lex->entries + lex->count,
                   [](const TLexEntry& a, const TLexEntry& b) { return lexstrcmp(a.word, b.word) < 0; });
  return 0;
}

int16_t saveLexFile(TLex* lex) {
  std::string temp;
  FILE* out = spellCreateTemp(lex->path, temp);
  if (!out) {
    timelog("saveLexFile: error opening %s", temp.empty() ? lex->path : temp.c_str());
    return SORN_TEMP_OPEN_FAILED;
  }
  bool ok = true;
  if (!lex->noHeader) {
    char header[64];
    snprintf(header, sizeof header, "%cLID %04hd %hd %lu", '#', lex->language, static_cast<int16_t>(lex->type),
             static_cast<unsigned long>(lex->count));
    ok = spellWriteLine(out, header) >= 0;
  }
  std::string line;
  for (uint32_t i = 0; ok && i < lex->count; ++i) {
    line = lex->entries[i].word;
    if (IsPairType(lex->type) && lex->entries[i].replacement) {
      line += ':';
      line += lex->entries[i].replacement;
    }
    ok = spellWriteLine(out, line.c_str()) >= 0;
  }
  if (fflush(out) != 0) ok = false;
  if (fclose(out) != 0) ok = false;
  if (!ok || spellReplaceFile(temp.c_str(), lex->path) != 0) {
    timelog("saveLexFile: file write err");
    remove(temp.c_str());
    return SORN_WRITE_FAILED;
  }
  lex->fileTime = spellFileTime(lex->path);
  return 0;
}

int16_t syncLexFile(TLex* lex) {
  // File times count whole seconds, so two writers within one second would
  // miss each other's changes: the file is always read again under the lock.
  FILE* in = spellOpen(lex->path, 3);
  if (!in) {
    timelog("syncLexFile: file open error; file=%s", lex->path);
    return SORN_OPEN_FAILED;
  }
  uint16_t type = lex->type;
  int16_t rc = loadLexFile(in, lex);
  spellClose(in);
  if (rc < 0) return rc;
  lex->type = type;  // the record keeps the type it was opened with
  lex->fileTime = spellFileTime(lex->path);
  return 0;
}

int16_t TLex_Open(const char* path, TLex* lex) {
  memset(lex, 0, sizeof *lex);
  if (!PathFits(lex, path)) {
    timelog("TLex_Open: file open error; file=%s", path);
    return SORN_OPEN_FAILED;
  }
  SpellLock lock;
  bool locked = spellLock(path, lock);
  FILE* in = spellOpen(path, 3);
  if (!in) {
    if (locked) spellUnlock(lock);
    timelog("TLex_Open: file open error; file=%s", path);
    return SORN_OPEN_FAILED;
  }
  StorePath(lex, path);
  lex->fileTime = spellFileTime(path);
  int16_t rc = loadLexFile(in, lex);
  spellClose(in);
  if (locked) spellUnlock(lock);
  return rc;
}

int16_t TLex_Create(const char* path, int16_t type, int16_t language, TLex* lex) {
  memset(lex, 0, sizeof *lex);
  if (!PathFits(lex, path)) {
    timelog("TLex_Create: file open(%s) error", path);
    return SORN_OPEN_FAILED;
  }
  if (path && *path) {
    if (spellFileExists(path)) {
      timelog("TLex_Create: %s exists", path);
      return SORN_EXISTS;
    }
    FILE* out = spellOpen(path, 4);
    if (!out) {
      timelog("TLex_Create: file open(%s) error", path);
      return SORN_OPEN_FAILED;
    }
    char header[64];
    snprintf(header, sizeof header, "%cLID %04hd %hd %d", '#', language, type, 0);
    bool ok = spellWriteLine(out, header) >= 0;
    if (fclose(out) != 0) ok = false;
    if (!ok) {
      timelog("TLex_Create: file open(%s) error", path);
      remove(path);
      return SORN_WRITE_FAILED;
    }
  }
  lex->type = static_cast<uint16_t>(type);
  lex->language = language;
  lex->fileTime = static_cast<uint32_t>(time(nullptr));
  StorePath(lex, path);
  return 0;
}

int16_t TLex_GetInfo(const char* path, int16_t* type, int16_t* language) {
  FILE* in = spellOpen(path, 3);
  if (!in) {
    timelog("TLex_GetInfo: open error; file=%s", path);
    return SORN_OPEN_FAILED;
  }
  std::string line;
  bool got = spellReadLine(in, line);
  bool failed = ferror(in) != 0;
  spellClose(in);
  if (failed) {
    timelog("TLex_GetInfo: read error");
    return SORN_BAD_FORMAT;
  }
  if (!got || line[0] != '#') {
    *language = 1033;
    *type = SORN_LEX_ACCEPT;
    return 0;
  }
  int lang = 0, t = 0;
  if (!ParseHeader(line.c_str(), &lang, &t)) {
    timelog("TLex_GetInfo: bad sentinel line: %s", line.c_str());
    return SORN_BAD_FORMAT;
  }
  *language = static_cast<int16_t>(lang);
  *type = static_cast<int16_t>(t);
  return 0;
}

int16_t TLex_Check(TLex* lex, const char* word, uint16_t charSet, bool exact, char* replacement,
                   uint32_t replacementSize) {
  if (lex->count == 0) return SORN_NOT_FOUND;
  long at = -1;
  if (exact) {
    at = Find(lex, word, nullptr);
  } else {
    for (uint32_t i = 0; i < lex->count && at < 0; ++i)
      if (lexstricmp(lex->entries[i].word, word, charSet) == 0) at = long(i);
  }
  if (at < 0) return SORN_NOT_FOUND;
  if (replacement && replacementSize > 0) {
    const char* r = lex->entries[at].replacement ? lex->entries[at].replacement : "";
    strncpy(replacement, r, replacementSize - 1);
    replacement[replacementSize - 1] = 0;
  }
  return 0;
}

int16_t TLex_Add(TLex* lex, const char* word, const char* replacement) {
  if (!word || !*word) return SORN_NEED_REPLACEMENT;
  if (!IsPairType(lex->type)) replacement = nullptr;
  // A line break (or, in a pair, a colon in the word) would read back as
  // different entries.
  bool pairs = IsPairType(lex->type);
  if (strpbrk(word, pairs ? "\r\n:" : "\r\n") || (replacement && strpbrk(replacement, "\r\n"))) {
    timelog("TLex_Add: %s cannot be stored", word);
    return SORN_BAD_FORMAT;
  }
  if (TLex_Check(lex, word, 0, true, nullptr, 0) == 0) return 0;
  SpellLock lock;
  if (HasFile(lex)) {
    int16_t rc = LockAndSync(lex, "TLex_Add", lock);
    if (rc < 0) return rc;
  }
  uint32_t place = 0;
  int16_t rc = 0;
  if (Find(lex, word, &place) < 0) {
    char* w = lexstrdup(word);
    char* r = replacement ? lexstrdup(replacement) : nullptr;
    if (!w || (replacement && !r) || !Grow(lex)) {
      if (!w || (replacement && !r)) timelog("growLex: out of memory");
      free(w);
      free(r);
      rc = SORN_OUT_OF_MEMORY;
    } else {
      memmove(&lex->entries[place + 1], &lex->entries[place], (lex->count - place) * sizeof(TLexEntry));
      lex->entries[place].word = w;
      lex->entries[place].replacement = r;
      ++lex->count;
      if (HasFile(lex)) rc = saveLexFile(lex);
    }
  }
  if (HasFile(lex)) spellUnlock(lock);
  return rc;
}

int16_t TLex_Delete(TLex* lex, const char* word) {
  SpellLock lock;
  if (HasFile(lex)) {
    int16_t rc = LockAndSync(lex, "TLex_Delete", lock);
    if (rc < 0) return rc;
  }
  int16_t rc = 0;
  long at = lex->count ? Find(lex, word, nullptr) : -1;
  if (lex->count == 0) {
    rc = SORN_NOT_FOUND;
  } else if (at < 0) {
    timelog("TLex_Delete: %s not found", word);
    rc = SORN_NOT_FOUND;
  } else {
    free(lex->entries[at].word);
    free(lex->entries[at].replacement);
    memmove(&lex->entries[at], &lex->entries[at + 1], (lex->count - at - 1) * sizeof(TLexEntry));
    --lex->count;
    if (HasFile(lex)) rc = saveLexFile(lex);
  }
  if (HasFile(lex)) spellUnlock(lock);
  return rc;
}

int16_t TLex_Clear(TLex* lex) {
  FreeEntries(lex);
  if (!HasFile(lex)) return 0;
  SpellLock lock;
  if (!spellLock(lex->path, lock)) {
    timelog("TLex_Clear: can't lock %s", lex->path);
    return SORN_WRITE_FAILED;
  }
  int16_t rc = saveLexFile(lex);
  spellUnlock(lock);
  return rc;
}

void TLex_Close(TLex* lex) { FreeEntries(lex); }

int16_t TLex_GetImageSize(TLex* lex, uint32_t* size) {
  uint32_t total = 1;
  for (uint32_t i = 0; i < lex->count; ++i) {
    total += static_cast<uint32_t>(strlen(lex->entries[i].word)) + 1;
    if (lex->entries[i].replacement) total += static_cast<uint32_t>(strlen(lex->entries[i].replacement)) + 1;
  }
  *size = total;
  return 0;
}

int16_t TLex_GetImage(TLex* lex, char* buffer, uint32_t size) {
  uint32_t need = 0;
  TLex_GetImageSize(lex, &need);
  if (!buffer || need > size) {
    timelog("TLex_GetImage: bufer too small");
    return SORN_BUFFER_TOO_SMALL;
  }
  char* p = buffer;
  for (uint32_t i = 0; i < lex->count; ++i) {
    size_t n = strlen(lex->entries[i].word);
    memcpy(p, lex->entries[i].word, n);
    p += n;
    if (lex->entries[i].replacement) {
      *p++ = ':';
      n = strlen(lex->entries[i].replacement);
      memcpy(p, lex->entries[i].replacement, n);
      p += n;
    }
    *p++ = 0;
  }
  *p = 0;
  return static_cast<int16_t>(lex->count > 0x7FFF ? 0x7FFF : lex->count);
}

int16_t TLex_Suggest(TLex* lex, const char* word, uint16_t charSet, ScoreFunction score, SuggestList& list) {
  if (lex->type == SORN_LEX_ACCEPT || lex->type == SORN_LEX_EXCLUDE) {
    for (uint32_t i = 0; i < lex->count; ++i) {
      int16_t s = score(word, lex->entries[i].word, charSet);
      if (s > 0) AddSuggestion(list, lex->entries[i].word, s, lex->type == SORN_LEX_EXCLUDE);
    }
    return 0;
  }
  long at = Find(lex, word, nullptr);
  if (at >= 0 && lex->entries[at].replacement) AddSuggestion(list, lex->entries[at].replacement, 99, false);
  return 0;
}
