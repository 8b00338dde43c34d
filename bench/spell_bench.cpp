// Spell engine speed beside hunspell's library, both built from the same word
// list (packed into our lexicon, and written as a hunspell dictionary without
// affixes) and called in this process on the same text, measured in one run:
//   - checking a 100,000-word English text: words per second with each
//     dictionary in memory (the text checked a second time), the time from
//     nothing (opening our lexicon or loading hunspell's dictionary, and the
//     first check), and the words each flags (which must be the same, or the
//     run fails);
//   - suggestions for 1,000 misspellings: median and 99th-percentile latency;
//   - resident memory while checking at the budgets "unlimited", one segment, 64 KB.
// Nothing built at start is kept.
//   spell_bench [WORDLIST] [TEXT...]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "spell/clex.h"
#include "spell/engine.h"
#include "spell/sorn.h"
#include "spell/tools/clx_pack.h"

#ifdef SPELL_BENCH_HUNSPELL
#include <hunspell/hunspell.hxx>
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// English prose (the licence texts every Debian system carries), repeated to
// 100,000 words, as one Windows-1252 text.
std::string BuildText(const std::vector<std::string>& sources, size_t wantWords) {
  std::string prose;
  for (const std::string& p : sources) {
    std::string t, converted;
    t = ReadAll(p);
    if (Utf8To1252(t, converted)) prose += converted + "\n";
  }
  std::string text;
  size_t words = 0;
  std::istringstream in(prose);
  std::string token;
  while (words < wantWords) {
    if (!(in >> token)) {
      in.clear();
      in.str(prose);
      continue;
    }
    text += token;
    text += (++words % 12) ? ' ' : '\n';
  }
  return text;
}

struct Percentiles {
  double median, p99;
};

Percentiles Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return {0, 0};
  return {v[v.size() / 2], v[std::min(v.size() - 1, size_t(v.size() * 0.99))]};
}

unsigned char Lower1252(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

bool IsWordLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0x8A ||
         c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
}

// The text's words as the engine sees them: what stands between white
// space, "/" and ":", less the punctuation around it (a closing apostrophe
// stays). A word
// with any character other than a letter or an apostrophe inside (a number,
// "de-facto", "www.example.org") is passed over, as the engine passes it
// when told to accept such words.
template <typename F>
void ForEachWord(const std::string& text, F&& word) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  auto isSpace = [](unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == ':';
  };
  auto isWordChar = [](unsigned char c) { return IsWordLetter(c) || (c >= '0' && c <= '9'); };
  size_t i = 0;
  while (i < n) {
    while (i < n && isSpace(p[i])) ++i;
    size_t start = i;
    while (i < n && !isSpace(p[i])) ++i;
    size_t end = i;
    while (start < end && !isWordChar(p[start])) ++start;
    while (end > start && !isWordChar(p[end - 1]) && !(p[end - 1] == '\'' && end - 1 > start)) --end;
    if (start == end) continue;
    bool lettersOnly = true;
    for (size_t k = start; k < end && lettersOnly; ++k) lettersOnly = IsWordLetter(p[k]) || p[k] == '\'';
    if (lettersOnly) word(text.data() + start, end - start);
  }
}

#ifdef SPELL_BENCH_HUNSPELL
// The word list as a hunspell dictionary: no affixes, the same words; a
// capitalised word also in small letters, as the engine's lexicon accepts it
// (a word in capitals only stays as it is in both).
bool WriteHunspellDictionary(std::vector<std::string> words, const std::string& stem) {
  size_t listed = words.size();
  for (size_t i = 0; i < listed; ++i) {
    std::string lower = words[i];
    for (char& c : lower) c = static_cast<char>(Lower1252(static_cast<unsigned char>(c)));
    bool capitalised =
        lower.size() > 1 && lower[0] != words[i][0] && lower.compare(1, std::string::npos, words[i], 1) == 0;
    if (capitalised) words.push_back(lower);
  }
  std::ofstream aff(stem + ".aff", std::ios::binary), dic(stem + ".dic", std::ios::binary);
  aff << "SET ISO8859-1\nTRY esianrtolcdugmphbyfvkwzESIANRTOLCDUGMPHBYFVKWZ'\n";
  size_t count = 0;
  for (const std::string& w : words)
    if (!w.empty() && w.find('/') == std::string::npos) ++count;
  dic << count << "\n";
  for (const std::string& w : words)
    if (!w.empty() && w.find('/') == std::string::npos) dic << w << "\n";
  return bool(aff) && bool(dic);
}

struct HunspellRun {
  double seconds = 0;
  std::vector<std::string> flagged;
};

HunspellRun HunspellCheck(Hunspell& h, const std::string& text) {
  HunspellRun run;
  auto start = Clock::now();
  std::string word;
  ForEachWord(text, [&](const char* p, size_t n) {
    word.assign(p, n);
    if (h.spell(word)) return;
    // A closing apostrophe: the word without it, as the engine tries it too.
    if (n > 1 && p[n - 1] == '\'') {
      word.pop_back();
      if (h.spell(word)) return;
    }
    run.flagged.push_back(word);
  });
  run.seconds = Seconds(start, Clock::now());
  return run;
}
#endif

// Misspellings made from list words by one edit (swap, drop, double, change),
// none of which is itself in the lexicon.
std::vector<std::string> MakeMisspellings(const std::vector<std::string>& words, CLex* lex, size_t count,
                                          std::vector<std::string>& intended) {
  std::mt19937 rng(20261210);
  std::vector<std::string> out;
  while (out.size() < count) {
    const std::string& w = words[rng() % words.size()];
    if (w.size() < 4 || w.size() > 14 || w.find('\'') != std::string::npos) continue;
    bool plain = true;
    for (unsigned char c : w) plain &= c >= 'a' && c <= 'z';
    if (!plain) continue;
    std::string m = w;
    size_t i = 1 + rng() % (m.size() - 2);
    switch (rng() % 4) {
      case 0: std::swap(m[i], m[i + 1]); break;
      case 1: m.erase(i, 1); break;
      case 2: m.insert(i, 1, m[i]); break;
      case 3: m[i] = static_cast<char>('a' + rng() % 26); break;
    }
    if (m == w || CLex_Check(m.c_str(), 0, false, lex) == 0) continue;
    out.push_back(m);
    intended.push_back(w);
  }
  return out;
}

// Words with digits or other non-letters are not words to either checker.
constexpr uint32_t kCheckOptions = SORN_OPT_ACCEPT_NONLETTER;

struct CheckRun {
  double seconds = 0, openSeconds = 0;  // the first check after opening, and the opening
  double againSeconds = 0;              // the same text checked again in the same session
  size_t words = 0, flagged = 0;
  std::vector<std::string> flaggedWords;
  uint32_t lexiconBytes = 0;  // segment data and indexes the lexicon holds at the end
};

// Walks the whole text through SORN_CheckBlock; the words it stops at.
std::vector<std::string> CheckPass(int16_t session, std::vector<char>& buffer, size_t length) {
  std::vector<std::string> flagged;
  int16_t block = SORN_OpenBlock(session, buffer.data(), uint32_t(length), uint32_t(buffer.size()), 0);
  char word[SORN_WORD_SIZE], replacement[SORN_WORD_SIZE];
  for (;;) {
    int16_t rc = SORN_CheckBlock(session, block, kCheckOptions, word, replacement);
    if (rc == SORN_END_OF_BLOCK || rc < 0) break;
    flagged.push_back(word);
    if (SORN_NextBlockWord(session, block) < 0) break;
  }
  SORN_CloseBlock(session, block);
  return flagged;
}

// A fresh session: open the lexicon, check the text (reading and indexing
// the segments it needs), then check it again with those held.
CheckRun CheckText(const std::string& clx, uint32_t budget, const std::string& text) {
  CheckRun run;
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(text.size() + 1);
  auto openStart = Clock::now();
  int16_t session = SORN_OpenSession();
  int16_t lex = SORN_OpenLex(session, clx.c_str(), budget);
  run.openSeconds = Seconds(openStart, Clock::now());
  if (session < 0 || lex < 0) {
    fprintf(stderr, "spell_bench: cannot open %s (%d)\n", clx.c_str(), lex);
    exit(1);
  }
  auto start = Clock::now();
  run.flaggedWords = CheckPass(session, buffer, text.size());
  run.seconds = Seconds(start, Clock::now());
  start = Clock::now();
  std::vector<std::string> again = CheckPass(session, buffer, text.size());
  run.againSeconds = Seconds(start, Clock::now());
  if (again != run.flaggedWords) {
    fprintf(stderr, "spell_bench: checking the text again flags other words\n");
    exit(1);
  }
  run.flagged = run.flaggedWords.size();
  int16_t block = SORN_OpenBlock(session, buffer.data(), uint32_t(text.size()), uint32_t(buffer.size()), 0);
  uint32_t wordsSeen = 0;
  while (SORN_NextBlockWord(session, block) == 0) {}
  SORN_GetBlockInfo(session, block, nullptr, nullptr, nullptr, &wordsSeen);
  run.words = wordsSeen + 1;
  const CLex* c = SessionOf(session)->lexicons[lex]->clex;
  for (uint16_t i = 0; i < c->segmentCount; ++i)
    if (c->segments[i].data) run.lexiconBytes += c->segments[i].size + c->segments[i].indexBytes;
  run.lexiconBytes += uint32_t(sizeof(CLex) + c->segmentCount * sizeof(CLexSegment));
  SORN_CloseSession(session);
  return run;
}

}  // namespace

// The memory figure of one budget, printed by a fresh copy of this program.
int MemoryRun(uint32_t budget, const std::string& clx, const std::string& textPath) {
  std::string text = ReadAll(textPath);
  CheckRun run = CheckText(clx, budget, text);
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  printf("%6ld KB peak for the whole process, %6u bytes held by the lexicon, %.0f words/s\n", usage.ru_maxrss,
         run.lexiconBytes, run.words / run.seconds);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "--memory") == 0)
    return MemoryRun(uint32_t(strtoul(argv[2], nullptr, 10)), argv[3], argv[4]);
  std::string wordList = argc > 1 ? argv[1] : "/usr/share/dict/american-english";
  std::vector<std::string> sources;
  for (int i = 2; i < argc; ++i) sources.push_back(argv[i]);
  if (sources.empty())
    for (const char* name : {"GPL-3", "GPL-2", "LGPL-2.1", "LGPL-3", "Apache-2.0", "MPL-2.0", "GFDL-1.3", "Artistic"})
      sources.push_back(std::string("/usr/share/common-licenses/") + name);

  fs::path work = fs::temp_directory_path() / ("spell_bench_" + std::to_string(getpid()));
  fs::create_directories(work);
  std::string clx = (work / "american.clx").string();
  std::string textPath = (work / "text.txt").string();
  ClxPackStats stats;
  std::string error;
  auto packStart = Clock::now();
  if (!ClxPackFile(wordList.c_str(), clx.c_str(), 1033, stats, error)) {
    fprintf(stderr, "spell_bench: %s\n", error.c_str());
    return 1;
  }
  printf("lexicon: %u words, %u segments (largest %u bytes), %ld bytes on disk, packed in %.2f s\n", stats.words,
         stats.segments, stats.largestSegment, long(fs::file_size(clx)), Seconds(packStart, Clock::now()));

  std::string text = BuildText(sources, 100000);
  {
    std::ofstream out(textPath, std::ios::binary);
    out << text;
  }

  std::vector<std::string> list;
  {
    std::ifstream in(wordList);
    std::string line, w;
    while (std::getline(in, line))
      if (Utf8To1252(line, w)) list.push_back(w);
  }

  // Checking speed: the best of four runs each, alternating. Each run starts
  // from nothing (our lexicon opened, hunspell's dictionary loaded), checks
  // the text, then checks it again with everything in memory.
  CheckText(clx, 0, text);  // warm the file cache
  CheckRun ours;
  int failures = 0;
#ifdef SPELL_BENCH_HUNSPELL
  std::string stem = (work / "bench").string();
  if (!WriteHunspellDictionary(list, stem)) {
    fprintf(stderr, "spell_bench: cannot write the hunspell dictionary\n");
    return 1;
  }
  HunspellRun hun;
  double hunLoad = 0, hunAgain = 0;
  std::unique_ptr<Hunspell> hunspell;
#endif
  for (int round = 0; round < 4; ++round) {
    CheckRun run = CheckText(clx, 0, text);
    double bestAgain = round == 0 ? run.againSeconds : std::min(ours.againSeconds, run.againSeconds);
    if (round == 0 || run.seconds < ours.seconds) ours = run;
    ours.againSeconds = bestAgain;
#ifdef SPELL_BENCH_HUNSPELL
    auto loadStart = Clock::now();
    hunspell = std::make_unique<Hunspell>((stem + ".aff").c_str(), (stem + ".dic").c_str());
    double load = Seconds(loadStart, Clock::now());
    HunspellRun first = HunspellCheck(*hunspell, text), second = HunspellCheck(*hunspell, text);
    if (first.flagged != second.flagged) {
      fprintf(stderr, "spell_bench: hunspell flags other words the second time\n");
      return 1;
    }
    if (round == 0 || load + first.seconds < hunLoad + hun.seconds) hun = first, hunLoad = load;
    hunAgain = round == 0 ? second.seconds : std::min(hunAgain, second.seconds);
#endif
  }
  printf("\nchecking %zu words (best of four runs)\n", ours.words);
  printf(
      "  engine:   checking %.4f s (%.0f words/s), %zu reported; from nothing: opening %.4f s, first check %.4f s "
      "(reads and indexes the segments)\n",
      ours.againSeconds, ours.words / ours.againSeconds, ours.flagged, ours.openSeconds, ours.seconds);
#ifdef SPELL_BENCH_HUNSPELL
  printf(
      "  hunspell (library, same word list, same text): checking %.4f s (%.0f words/s), %zu reported; from "
      "nothing: loading %.4f s, first check %.4f s\n",
      hunAgain, ours.words / hunAgain, hun.flagged.size(), hunLoad, hun.seconds);
  printf("  ratio (engine / hunspell words per second, checking): %.2f (goal above 1)\n", hunAgain / ours.againSeconds);
  printf("  ratio (engine / hunspell, from nothing: opening and first check against loading and first check): %.2f\n",
         (hunLoad + hun.seconds) / (ours.openSeconds + ours.seconds));
  {
    std::vector<std::string> a = ours.flaggedWords, b = hun.flagged, onlyOurs, onlyTheirs;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyOurs));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyTheirs));
    std::vector<std::string> both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
    printf("  words flagged by both: %zu; by the engine only: %zu, by hunspell only: %zu\n", both.size(),
           onlyOurs.size(), onlyTheirs.size());
    for (size_t i = 0; i < onlyOurs.size() && i < 40; ++i) printf("    engine only: %s\n", onlyOurs[i].c_str());
    for (size_t i = 0; i < onlyTheirs.size() && i < 40; ++i) printf("    hunspell only: %s\n", onlyTheirs[i].c_str());
    // The two split a text apart at the edges (the engine passes over the
    // parts of addresses, a few apostrophes): a handful of words may differ,
    // a checker that flags or passes wrongly changes hundreds.
    if ((onlyOurs.size() + onlyTheirs.size()) * 20 > both.size()) {
      fprintf(stderr, "spell_bench: the engine and hunspell flag different words\n");
      ++failures;
    }
  }
#else
  printf("  hunspell: its library (libhunspell-dev) was not found when this was built\n");
#endif

  // Suggestions.
  CLex probe;
  if (CLex_Open(clx.c_str(), 0, &probe) != 0) return 1;
  std::vector<std::string> intended;
  std::vector<std::string> typos = MakeMisspellings(list, &probe, 1000, intended);
  CLex_Close(&probe);
  int16_t session = SORN_OpenSession();
  SORN_OpenLex(session, clx.c_str(), 0xFFFFFFFF);
  std::vector<double> ourLatency;
  size_t hits = 0, ourFirst = 0, ourListed = 0;
  char buffer[1025];
  int16_t scores[16];
  for (size_t i = 0; i < typos.size(); ++i) {
    auto start = Clock::now();
    int16_t n = SORN_Suggest(session, typos[i].c_str(), kCLexLevelAuto, buffer, sizeof buffer, scores, 16);
    ourLatency.push_back(Seconds(start, Clock::now()));
    if (n > 0) ++hits;
    int rank = 0;
    for (const char* p = buffer; n > 0 && *p; p += strlen(p) + 1, ++rank) {
      if (intended[i] == p) {
        ++ourListed;
        if (rank == 0) ++ourFirst;
        break;
      }
    }
  }
  SORN_CloseSession(session);
  Percentiles o = Summarise(ourLatency);
  printf("\nsuggestions for %zu misspellings (16 at most, level 0xFFFF)\n", typos.size());
  printf(
      "  engine:   median %.3f ms, 99th percentile %.3f ms, %zu with suggestions; intended word first %zu, listed "
      "%zu\n",
      o.median * 1e3, o.p99 * 1e3, hits, ourFirst, ourListed);
#ifdef SPELL_BENCH_HUNSPELL
  std::vector<double> hunLatency;
  size_t hunFirst = 0, hunListed = 0;
  for (size_t i = 0; i < typos.size(); ++i) {
    auto start = Clock::now();
    std::vector<std::string> answer = hunspell->suggest(typos[i]);
    hunLatency.push_back(Seconds(start, Clock::now()));
    for (size_t r = 0; r < answer.size(); ++r) {
      if (answer[r] == intended[i]) {
        ++hunListed;
        if (r == 0) ++hunFirst;
        break;
      }
    }
  }
  Percentiles h = Summarise(hunLatency);
  printf("  hunspell: median %.3f ms, 99th percentile %.3f ms; intended word first %zu, listed %zu\n", h.median * 1e3,
         h.p99 * 1e3, hunFirst, hunListed);
  printf("  ratio (hunspell / engine median latency): %.2f\n", h.median / o.median);
#endif

  // Resident memory at three budgets, each in a fresh process.
  printf("\nmemory while checking the text, each budget in a fresh process (which also holds the text)\n");
  struct Budget {
    const char* name;
    uint32_t bytes;
  } budgets[] = {{"unlimited", 0}, {"one segment", stats.largestSegment}, {"64 KB", 64 * 1024}};
  for (const Budget& b : budgets) {
    // A fresh process per budget, so no memory freed by earlier runs is reused.
    std::string command = fs::read_symlink("/proc/self/exe").string() + " --memory " + std::to_string(b.bytes) + " " +
                          clx + " " + textPath;
    FILE* child = popen(command.c_str(), "r");
    char report[256] = {0};
    if (child && fgets(report, sizeof report, child)) printf("  %-12s %s", b.name, report);
    if (child) pclose(child);
  }

  fs::remove_all(work);
  return failures ? 1 : 0;
}
