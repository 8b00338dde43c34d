#include "spell/clex.h"

#include <cstdlib>
#include <cstring>

#include "spell/chartab.h"
#include "spell/soundtab.h"
#include "spell/spellfile.h"

namespace {

// A segment's index is one allocation: the slots (0 empty, else a hash tag
// above kIndexOffsetBits and a word's offset + 1), then the words, each its
// length and its bytes. The words are hashed by their small-letter form.
constexpr int kIndexOffsetBits = 20;
constexpr uint32_t kIndexOffsetMask = (1u << kIndexOffsetBits) - 1;
constexpr uint8_t kNoIndex = 0xFF;  // CLexSegment::checks: indexed, or refused an index, since loading

// What the decoder does with a sub-block of a given third letter.
enum SubBlockChoice { kSkip, kRead, kStop };

// Decodes the words of a loaded segment, handing each to visit(word), which
// returns false to stop. Every count and code is checked against the data;
// a malformed segment gives SORN_BAD_FORMAT.
template <typename Choose, typename Visit>
int16_t DecodeSegment(const CLex* lex, const CLexSegment& seg, Choose choose, Visit visit) {
  const uint8_t* p = seg.data;
  const uint8_t* end = seg.data + seg.size;
  // One buffer serves both words: the codes that reuse the previous word
  // only move past characters the new word has not overwritten yet.
  char word[kClxMaxWord + 1];
  int prevLen = 0;
  while (p < end) {
    if (size_t(end - p) < sizeof(ClxSubBlockHeader)) return SORN_BAD_FORMAT;
    const auto* head = reinterpret_cast<const ClxSubBlockHeader*>(p);
    uint32_t size = ClxU32(head->size);
    p += sizeof(ClxSubBlockHeader);
    if (size > size_t(end - p)) return SORN_BAD_FORMAT;
    const uint8_t* blockEnd = p + size;
    SubBlockChoice choice = choose(head->third);
    if (choice == kStop) return 0;
    if (choice == kSkip) {
      p = blockEnd;
      continue;
    }
    // Words refer back only within their own sub-block, so a lookup that
    // reads one sub-block decodes the same words as a full scan.
    prevLen = 0;
    word[0] = static_cast<char>(seg.first);
    word[1] = static_cast<char>(seg.second);
    word[2] = static_cast<char>(head->third);
    while (p < blockEnd) {
      int len = 3;
      bool atStart = true, ended = false;
      while (p < blockEnd && !ended) {
        uint8_t b = *p++;
        if (b == kClxWordStart && atStart) continue;
        atStart = false;
        if (b >= 32) {
          if (len >= kClxMaxWord) return SORN_BAD_FORMAT;
          word[len++] = static_cast<char>(b);
          if (len > prevLen) prevLen = 0;  // the previous word's rest is gone
        } else if (b == kClxEnd) {
          ended = true;
        } else if (b >= kClxFirstFragmentA || b == kClxFragmentB) {
          const char* text;
          if (b == kClxFragmentB) {
            if (p >= blockEnd) return SORN_BAD_FORMAT;
            text = lex->fragmentsB[*p++];
          } else {
            text = lex->fragmentsA[b - kClxFirstFragmentA];
          }
          for (; *text; ++text) {
            if (len >= kClxMaxWord) return SORN_BAD_FORMAT;
            word[len++] = *text;
          }
          if (len > prevLen) prevLen = 0;
        } else if (b == kClxRepeatPrevious || b == kClxRepeatLessOne) {
          int to = b == kClxRepeatPrevious ? prevLen : prevLen - 1;
          if (to < len) return SORN_BAD_FORMAT;
          len = to;
        } else if (b == kClxKeep) {
          if (p >= blockEnd) return SORN_BAD_FORMAT;
          int n = *p++;
          if (len + n > prevLen) return SORN_BAD_FORMAT;
          len += n;
        } else {
          return SORN_BAD_FORMAT;
        }
      }
      if (!ended) return SORN_BAD_FORMAT;
      word[len] = 0;
      prevLen = len;
      if (!visit(static_cast<const char*>(word))) return 0;
    }
  }
  return 0;
}

int FindSegment(const CLex* lex, uint8_t first, uint8_t second) {
  int lo = lex->segmentsFrom[first], hi = int(lex->segmentsFrom[first + 1]) - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    const CLexSegment& s = lex->segments[mid];
    int d = s.first != first ? int(s.first) - int(first) : int(s.second) - int(second);
    if (d == 0) return mid;
    if (d < 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return -1;
}

bool FindSmallWord(const CLex* lex, uint8_t first, uint8_t second) {
  int lo = 0, hi = int(lex->smallWordCount) - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    const uint8_t* s = lex->smallWords[mid];
    int d = s[0] != first ? int(s[0]) - int(first) : int(s[1]) - int(second);
    if (d == 0) return true;
    if (d < 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return false;
}

// The four case forms of a two-letter start, in the order lookups try them:
// both small; capital then small; both capital; small then capital.
void CaseVariants(uint16_t cs, uint8_t a, uint8_t b, uint8_t out[4][2]) {
  uint8_t as = ToSmall(cs, a), ac = ToCapital(cs, a), bs = ToSmall(cs, b), bc = ToCapital(cs, b);
  uint8_t forms[4][2] = {{as, bs}, {ac, bs}, {ac, bc}, {as, bc}};
  memcpy(out, forms, sizeof forms);
}

uint32_t FoldedHash(const unsigned char* w, size_t n, uint16_t cs) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ ToSmall(cs, w[i])) * 16777619u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

void DropIndex(CLex* lex, CLexSegment& seg) {
  if (seg.index) {
    free(seg.index);
    if (lex->limited) lex->budget += seg.indexBytes;
  }
  seg.index = nullptr;
  seg.indexBytes = 0;
  seg.checks = 0;
}

// Builds the index of a loaded segment when it fits in the free budget. A
// damaged segment gets none, so its checks decode it and report the damage
// exactly as before.
void BuildIndex(CLex* lex, CLexSegment& seg, uint16_t cs) {
  seg.checks = kNoIndex;
  // Decoded words take more room than their codes: a budget too short for
  // those is too short for the index, so do not decode for nothing.
  if (lex->limited && lex->budget < seg.size) return;
  size_t capacity = size_t(seg.size) * 4 + 64, used = 0;
  auto* words = static_cast<uint8_t*>(malloc(capacity));
  if (!words) return;
  uint32_t count = 0;
  bool fits = true;
  int16_t rc = DecodeSegment(
      lex, seg, [](uint8_t) { return kRead; },
      [&](const char* w) {
        size_t n = strlen(w);
        if (used + 1 + n >= kIndexOffsetMask) return fits = false;
        if (used + 1 + n > capacity) {
          capacity *= 2;
          auto* grown = static_cast<uint8_t*>(realloc(words, capacity));
          if (!grown) return fits = false;
          words = grown;
        }
        words[used] = static_cast<uint8_t>(n);
        memcpy(words + used + 1, w, n);
        used += 1 + n;
        ++count;
        return true;
      });
  uint32_t slots = 16;
  while (slots < count + count / 2) slots <<= 1;  // at most two thirds full
  size_t bytes = size_t(slots) * sizeof(uint32_t) + used;
  auto* index = rc == 0 && fits && count && (!lex->limited || bytes <= lex->budget)
                    ? static_cast<uint32_t*>(calloc(1, bytes))
                    : nullptr;
  if (index) {
    uint32_t mask = slots - 1;
    uint8_t* pool = reinterpret_cast<uint8_t*>(index + slots);
    memcpy(pool, words, used);
    for (uint32_t at = 0; at < used; at += 1u + pool[at]) {
      uint32_t h = FoldedHash(pool + at + 1, pool[at], cs);
      uint32_t i = h & mask;
      while (index[i]) i = (i + 1) & mask;
      index[i] = (h & ~kIndexOffsetMask) | (at + 1);
    }
    seg.index = index;
    seg.indexMask = mask;
    seg.indexCharSet = cs;
    seg.indexBytes = uint32_t(bytes);
    if (lex->limited) lex->budget -= seg.indexBytes;
  }
  free(words);
}

int16_t IndexLookup(const CLexSegment& seg, const char* word, size_t n, bool exact) {
  const auto* w = reinterpret_cast<const unsigned char*>(word);
  uint16_t cs = seg.indexCharSet;
  const uint8_t* pool = reinterpret_cast<const uint8_t*>(seg.index + seg.indexMask + 1);
  uint32_t h = FoldedHash(w, n, cs);
  for (uint32_t i = h & seg.indexMask;; i = (i + 1) & seg.indexMask) {
    uint32_t slot = seg.index[i];
    if (!slot) return SORN_NOT_FOUND;
    if ((slot ^ h) & ~kIndexOffsetMask) continue;
    const uint8_t* entry = pool + (slot & kIndexOffsetMask) - 1;
    if (entry[0] != n) continue;
    const uint8_t* e = entry + 1;
    if (exact) {
      if (memcmp(e, w, n) == 0) return 0;
      continue;  // the same word in other capitals may come first
    }
    size_t k = 0;
    while (k < n && ToSmall(cs, e[k]) == ToSmall(cs, w[k])) ++k;
    if (k == n) return 0;
  }
}

void FreeSegments(CLex* lex) {
  if (!lex->segments) return;
  for (uint16_t i = 0; i < lex->segmentCount; ++i) free(lex->segments[i].data), free(lex->segments[i].index);
  free(lex->segments);
  lex->segments = nullptr;
  lex->segmentCount = 0;
  memset(lex->segmentsFrom, 0, sizeof lex->segmentsFrom);
}

int16_t CheckSegment(CLex* lex, int index, const char* word, size_t length, uint16_t cs, bool exact) {
  int16_t rc = loadSeg(lex, static_cast<uint16_t>(index));
  if (rc < 0) return rc;
  CLexSegment& seg = lex->segments[index];
  if (lex->indexSegments) {
    // A segment checked once after loading (a budget that turns segments
    // over quickly) is not worth indexing; one checked again is.
    if (seg.checks < kNoIndex && ++seg.checks >= 2 && !seg.index) BuildIndex(lex, seg, cs);
    if (seg.index && seg.indexCharSet == cs) return IndexLookup(seg, word, length, exact);
  }
  uint8_t third = static_cast<uint8_t>(word[2]);
  bool found = false;
  if (exact) {
    rc = DecodeSegment(
        lex, seg, [&](uint8_t t) { return t < third    ? kSkip
                                          : t == third ? kRead
                                                       : kStop; },
        [&](const char* w) {
          int d = lexstrcmp(w, word);
          if (d == 0) found = true;
          return d < 0;
        });
  } else {
    uint8_t small = ToSmall(cs, third);
    rc = DecodeSegment(
        lex, seg, [&](uint8_t t) { return ToSmall(cs, t) == small ? kRead : kSkip; },
        [&](const char* w) {
          found = lexstricmp(w, word, cs) == 0;
          return !found;
        });
  }
  if (rc < 0) {
    timelog("CLex_Check: damaged segment %c%c in %s", seg.first, seg.second, lex->path);
    return rc;
  }
  return found ? 0 : SORN_NOT_FOUND;
}

}  // namespace

int16_t CLex_GetInfo(const char* path, int16_t* type, int16_t* language) {
  FILE* in = spellOpen(path, 0);
  if (!in) {
    timelog("CLex_GetInfo: file open(%s) failed", path);
    return SORN_OPEN_FAILED;
  }
  ClxFileHeader h;
  size_t got = spellRead(in, &h, sizeof h);
  spellClose(in);
  if (got != sizeof h || ClxU32(h.version) != kClxVersion) return SORN_BAD_FORMAT;
  *type = SORN_LEX_ACCEPT;
  *language = static_cast<int16_t>(ClxU16(h.language));
  return 0;
}

int16_t CLex_Open(const char* path, uint32_t budget, CLex* lex) {
  memset(lex, 0, sizeof *lex);
  // Segments are read later by the stored path, so it must be held whole.
  FILE* in = strlen(path) < sizeof lex->path ? spellOpen(path, 0) : nullptr;
  strncpy(lex->path, path, sizeof lex->path - 1);
  if (!in) {
    timelog("CLex_Open: file open(%s) failed", path);
    return SORN_OPEN_FAILED;
  }
  int16_t rc = 0;
  long fileSize = spellFileSize(in);
  ClxFileHeader h;
  if (spellRead(in, &h, sizeof h) != sizeof h) {
    timelog("CLex_Open: error reading index header");
    rc = SORN_BAD_FORMAT;
  } else if (ClxU32(h.version) != kClxVersion) {
    timelog("CLex_Open: unexpected lex version");
    rc = SORN_BAD_FORMAT;
  }
  if (rc == 0) {
    memcpy(lex->fragmentsA, h.fragmentsA, sizeof lex->fragmentsA);
    memcpy(lex->fragmentsB, h.fragmentsB, sizeof lex->fragmentsB);
    for (auto& f : lex->fragmentsA) f[kClxFragmentSize - 1] = 0;
    for (auto& f : lex->fragmentsB) f[kClxFragmentSize - 1] = 0;
    lex->language = ClxU16(h.language);
    lex->smallWordCount = ClxU16(h.smallWordCount);
    if (lex->smallWordCount >= kClxMaxSmallWords) {
      timelog("CLex_Open: lex contains %hu small words", lex->smallWordCount);
      lex->smallWordCount = 0;
      rc = SORN_BAD_FORMAT;
    }
  }
  if (rc == 0 && spellRead(in, lex->smallWords, 2u * lex->smallWordCount) != 2u * lex->smallWordCount) {
    timelog("CLex_Open: error reading small-words table");
    rc = SORN_BAD_FORMAT;
  }
  uint16_t segmentCount = rc == 0 ? ClxU16(h.segmentCount) : 0;
  if (rc == 0 && segmentCount > 0) {
    lex->segments = static_cast<CLexSegment*>(calloc(segmentCount, sizeof(CLexSegment)));
    if (!lex->segments) {
      timelog("CLex_Open: out of memory");
      rc = SORN_OUT_OF_MEMORY;
    } else {
      lex->segmentCount = segmentCount;
    }
  }
  for (uint16_t i = 0; rc == 0 && i < segmentCount; ++i) {
    ClxSegmentHeader sh;
    if (spellRead(in, &sh, sizeof sh) != sizeof sh) {
      timelog("CLex_Open: error reading CLexSegHeader");
      rc = SORN_SEGMENT_HEADER;
      break;
    }
    CLexSegment& s = lex->segments[i];
    s.offset = ClxU32(sh.offset);
    s.size = ClxU32(sh.size);
    s.first = sh.first;
    s.second = sh.second;
    if (budget && s.size > budget) {
      timelog("CLex_Open: segment size %ld > budget %ld", long(s.size), long(budget));
      rc = SORN_OUT_OF_MEMORY;
    } else if (fileSize < 0 || s.offset > uint64_t(fileSize) || s.size > uint64_t(fileSize) - s.offset) {
      timelog("CLex_Open: segment %hu lies past the end of %s", i, path);
      rc = SORN_BAD_FORMAT;
    }
  }
  spellClose(in);
  if (rc < 0) {
    FreeSegments(lex);
    return rc;
  }
  for (unsigned c = 0, i = 0; c <= 256; ++c) {
    while (i < lex->segmentCount && lex->segments[i].first < c) ++i;
    lex->segmentsFrom[c] = static_cast<uint16_t>(i);
  }
  lex->budget = budget;
  lex->limited = budget != 0;
  lex->useCounter = 0;
  lex->indexSegments = 1;
  return 0;
}

void CLex_Close(CLex* lex) { FreeSegments(lex); }

int16_t loadSeg(CLex* lex, uint16_t index) {
  if (index >= lex->segmentCount) return SORN_NOT_FOUND;
  ++lex->useCounter;
  CLexSegment& seg = lex->segments[index];
  if (seg.data) {
    seg.lastUse = lex->useCounter;
    return 0;
  }
  if (seg.size == 0) return -1;
  // Indexes give their room up first, so the segments held are those a
  // lexicon without indexes would hold.
  while (lex->limited && lex->budget < seg.size) {
    CLexSegment* oldestIndexed = nullptr;
    CLexSegment* oldest = nullptr;
    for (uint16_t i = 0; i < lex->segmentCount; ++i) {
      CLexSegment& s = lex->segments[i];
      if (s.index && (!oldestIndexed || s.lastUse < oldestIndexed->lastUse)) oldestIndexed = &s;
      if (s.data && (!oldest || s.lastUse < oldest->lastUse)) oldest = &s;
    }
    if (oldestIndexed) {
      DropIndex(lex, *oldestIndexed);
      continue;
    }
    if (!oldest) return SORN_OUT_OF_MEMORY;
    free(oldest->data);
    oldest->data = nullptr;
    DropIndex(lex, *oldest);
    lex->budget += oldest->size;
  }
  uint8_t* data = static_cast<uint8_t*>(malloc(seg.size));
  if (!data) {
    timelog("loadSeg: out of memory");
    return SORN_OUT_OF_MEMORY;
  }
  FILE* in = spellOpen(lex->path, 0);
  if (!in) {
    free(data);
    timelog("loadSeg: error opening %s", lex->path);
    return SORN_TEMP_OPEN_FAILED;
  }
  int16_t rc = 0;
  if (spellSeek(in, long(seg.offset)) != 0) {
    timelog("loadSeg: seek error");
    rc = SORN_BAD_FORMAT;
  } else if (spellRead(in, data, seg.size) != seg.size) {
    timelog("loadSeg: read error");
    rc = SORN_BAD_FORMAT;
  }
  spellClose(in);
  if (rc < 0) {
    free(data);
    return rc;
  }
  seg.data = data;
  seg.checks = 0;
  seg.lastUse = lex->useCounter;
  ++lex->segmentReads;
  if (lex->limited) lex->budget -= seg.size;
  return 0;
}

int16_t CLex_Check(const char* word, uint16_t cs, bool exact, CLex* lex) {
  size_t n = strlen(word);
  if (n == 0 || n > kClxMaxWord) return SORN_NOT_FOUND;
  uint8_t a = static_cast<uint8_t>(word[0]), b = static_cast<uint8_t>(word[1]);
  if (n <= 2) {
    if (exact) return FindSmallWord(lex, a, b) ? 0 : SORN_NOT_FOUND;
    uint8_t forms[4][2];
    CaseVariants(cs, a, b, forms);
    for (auto& f : forms)
      if (FindSmallWord(lex, f[0], f[1])) return 0;
    return SORN_NOT_FOUND;
  }
  if (exact) {
    int seg = FindSegment(lex, a, b);
    return seg < 0 ? SORN_NOT_FOUND : CheckSegment(lex, seg, word, n, cs, true);
  }
  uint8_t forms[4][2];
  CaseVariants(cs, a, b, forms);
  int tried[4] = {-1, -1, -1, -1};
  for (int v = 0; v < 4; ++v) {
    int seg = FindSegment(lex, forms[v][0], forms[v][1]);
    bool seen = false;
    for (int k = 0; k < v; ++k) seen |= tried[k] == seg;
    tried[v] = seg;
    if (seg < 0 || seen) continue;
    int16_t rc = CheckSegment(lex, seg, word, n, cs, false);
    if (rc != SORN_NOT_FOUND) return rc;
  }
  return SORN_NOT_FOUND;
}

int16_t CLex_Suggest(uint16_t level, const char* word, uint16_t cs, ScoreFunction score, SuggestList& list, CLex* lex) {
  const unsigned char* w = reinterpret_cast<const unsigned char*>(word);
  if (!w[0]) return 0;
  uint32_t offered = 0;
  auto offer = [&](const char* candidate) {
    int16_t s = score(word, candidate, cs);
    if (s > 0) {
      AddSuggestion(list, candidate, s, false);
      ++offered;
    }
    return true;
  };
  for (uint16_t i = 0; i < lex->smallWordCount; ++i) {
    char small[3] = {static_cast<char>(lex->smallWords[i][0]), static_cast<char>(lex->smallWords[i][1]), 0};
    if (small[0]) offer(small);
  }
  uint8_t w0 = FoldChar(cs, w[0]);
  uint8_t w1 = w[1] ? FoldChar(cs, w[1]) : 0;
  uint8_t w2 = (w[1] && w[2]) ? FoldChar(cs, w[2]) : 0;
  uint16_t lang = lex->language;
  char classW0 = SoundClass(w0, lang);
  char digraphW = w1 ? DigraphCode(w0, w1, lang) : 0;

  auto runLevel = [&](int lvl) {
    for (uint16_t i = 0; i < lex->segmentCount; ++i) {
      const CLexSegment& seg = lex->segments[i];
      uint8_t s0 = FoldChar(cs, seg.first), s1 = FoldChar(cs, seg.second);
      bool near = w0 && ((s0 == w0 && s1 == w1) || (s0 == w1 && s1 == w0) || (s0 == w0 && s1 == w2));
      char classS0 = SoundClass(s0, lang);
      bool take = false;
      switch (lvl) {
        case 0: take = near; break;
        case 1: {
          char digraphS = DigraphCode(s0, s1, lang);
          take = near || (classS0 && classS0 == classW0) || (digraphW && digraphW == classS0) ||
                 (digraphS && digraphS == classW0);
          break;
        }
        case 2: take = (w0 && s0 == w0) || (w0 && s0 == w1 && s1 == w0) || (classS0 && classS0 == classW0); break;
        default: take = true; break;
      }
      if (!take || loadSeg(lex, i) < 0) continue;
      const CLexSegment& loaded = lex->segments[i];
      if (lvl == 0) {
        DecodeSegment(
            lex, loaded, [&](uint8_t t) { return FoldChar(cs, t) == w2 ? kRead : kSkip; }, offer);
      } else {
        DecodeSegment(
            lex, loaded, [](uint8_t) { return kRead; }, offer);
      }
    }
  };

  if (level == kCLexLevelAuto) {
    // The small words always answer something; only the segments' offers
    // decide whether a wider pass is needed.
    offered = 0;
    for (int lvl = 1; lvl <= 3 && offered == 0; ++lvl) runLevel(lvl);
  } else {
    runLevel(level > 3 ? 3 : level);
  }
  return 0;
}
