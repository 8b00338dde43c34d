// Spell engine speed beside hunspell (en_US), measured in one run:
//   - checking a 100,000-word English text: words per second;
//   - suggestions for 1,000 misspellings: median and 99th-percentile latency;
//   - resident memory while checking at the budgets "unlimited", one segment, 64 KB.
// The lexicon is packed from the Debian word list at start; nothing is kept.
//   spell_bench [WORDLIST] [TEXT...]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "spell/clex.h"
#include "spell/engine.h"
#include "spell/sorn.h"
#include "spell/tools/clx_pack.h"

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

// Runs hunspell with the given arguments, the input file on stdin and output
// discarded; wall time and peak resident memory (KB).
bool RunHunspell(const std::vector<std::string>& args, const std::string& input, double* seconds, long* maxRssKb,
                 size_t* outputLines) {
  std::string outPath = fs::temp_directory_path() / "spell_bench_hunspell.out";
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(input.c_str(), O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("hunspell"));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp("hunspell", argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return false;
  *seconds = Seconds(start, Clock::now());
  *maxRssKb = usage.ru_maxrss;
  if (outputLines) {
    std::ifstream o(outPath);
    std::string line;
    *outputLines = 0;
    while (std::getline(o, line)) ++*outputLines;
  }
  fs::remove(outPath);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// hunspell -a as a conversation: one word out, its answer back, timed each.
// The answer line "& word n offset: first, second, ..." as its suggestions.
std::vector<std::string> ParseHunspellAnswer(const char* line) {
  std::vector<std::string> out;
  const char* colon = line[0] == '&' ? strchr(line, ':') : nullptr;
  if (!colon) return out;
  std::string rest(colon + 1);
  size_t at = 0;
  while (at < rest.size()) {
    size_t comma = rest.find(',', at);
    std::string item = rest.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    while (!item.empty() && (item[0] == ' ')) item.erase(0, 1);
    while (!item.empty() && (item.back() == '\n' || item.back() == ' ')) item.pop_back();
    if (!item.empty()) out.push_back(item);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return out;
}

bool HunspellSuggestLatency(const std::vector<std::string>& words, std::vector<double>& latencies,
                            std::vector<std::vector<std::string>>& answers) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) || pipe(fromChild)) return false;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    execlp("hunspell", "hunspell", "-a", "-d", "en_US", "-i", "ISO-8859-1", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  FILE* to = fdopen(toChild[1], "w");
  FILE* from = fdopen(fromChild[0], "r");
  char line[8192];
  if (!fgets(line, sizeof line, from)) return false;  // the banner
  for (const std::string& w : words) {
    auto start = Clock::now();
    fprintf(to, "^%s\n", w.c_str());
    fflush(to);
    bool answered = false;
    answers.emplace_back();
    while (fgets(line, sizeof line, from)) {
      if (line[0] == '\n') {
        answered = true;
        break;
      }
      if (answers.back().empty()) answers.back() = ParseHunspellAnswer(line);
    }
    if (!answered) break;
    latencies.push_back(Seconds(start, Clock::now()));
  }
  fclose(to);
  fclose(from);
  int status = 0;
  waitpid(pid, &status, 0);
  return latencies.size() == words.size();
}

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

struct CheckRun {
  double seconds = 0, openSeconds = 0;
  size_t words = 0, flagged = 0;
  uint32_t lexiconBytes = 0; // segment data the lexicon holds at the end
};

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
  int16_t block = SORN_OpenBlock(session, buffer.data(), uint32_t(text.size()), uint32_t(buffer.size()), 0);
  auto start = Clock::now();
  char word[SORN_WORD_SIZE], replacement[SORN_WORD_SIZE];
  for (;;) {
    int16_t rc = SORN_CheckBlock(session, block, 0, word, replacement);
    if (rc == SORN_END_OF_BLOCK || rc < 0) break;
    ++run.flagged;
    if (SORN_NextBlockWord(session, block) < 0) break;
  }
  run.seconds = Seconds(start, Clock::now());
  uint32_t wordsSeen = 0;
  SORN_GetBlockInfo(session, block, nullptr, nullptr, nullptr, &wordsSeen);
  run.words = wordsSeen + 1;
  const CLex* c = SessionOf(session)->lexicons[lex]->clex;
  for (uint16_t i = 0; i < c->segmentCount; ++i)
    if (c->segments[i].data) run.lexiconBytes += c->segments[i].size;
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
  if (argc == 5 && strcmp(argv[1], "--memory") == 0) return MemoryRun(uint32_t(strtoul(argv[2], nullptr, 10)), argv[3], argv[4]);
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

  // Checking speed.
  CheckText(clx, 0, text);  // warm the file cache
  CheckRun ours = CheckText(clx, 0, text);
  // hunspell's checking rate: the same text once and five times over, so
  // that its start-up (loading the dictionary) drops out of the difference.
  std::string text5Path = (work / "text5.txt").string();
  {
    std::ofstream out(text5Path, std::ios::binary);
    for (int i = 0; i < 5; ++i) out << text << "\n";
  }
  double hunOnce = 1e9, hunFive = 1e9;
  long hunRss = 0;
  size_t hunFlagged = 0, ignored = 0;
  const std::vector<std::string> hunArgs = {"-l", "-d", "en_US", "-i", "ISO-8859-1"};
  bool haveHunspell = true;
  // Best of three for each, so that neither side pays for a cold cache.
  for (int round = 0; round < 3 && haveHunspell; ++round) {
    double t = 0;
    haveHunspell = RunHunspell(hunArgs, textPath, &t, &hunRss, &hunFlagged);
    hunOnce = std::min(hunOnce, t);
    haveHunspell = haveHunspell && RunHunspell(hunArgs, text5Path, &t, &hunRss, &ignored);
    hunFive = std::min(hunFive, t);
    CheckRun again = CheckText(clx, 0, text);
    if (again.seconds < ours.seconds) ours = again;
  }
  printf("\nchecking %zu words\n", ours.words);
  printf("  engine:   %.3f s checking (opening took %.4f s), %.0f words/s, %zu reported\n", ours.seconds,
         ours.openSeconds, ours.words / ours.seconds, ours.flagged);
  if (haveHunspell) {
    double hunCheck = std::max(1e-6, (hunFive - hunOnce) / 4);
    printf("  hunspell: %.3f s for the text, %.3f s for five times it; %.0f words/s checking, %zu reported\n",
           hunOnce, hunFive, ours.words / hunCheck, hunFlagged);
    printf("  ratio (engine / hunspell words per second): %.2f\n", (ours.words / ours.seconds) / (ours.words / hunCheck));
  } else {
    printf("  hunspell: not available\n");
  }

  // Suggestions.
  CLex probe;
  if (CLex_Open(clx.c_str(), 0, &probe) != 0) return 1;
  std::vector<std::string> list;
  {
    std::ifstream in(wordList);
    std::string line, w;
    while (std::getline(in, line))
      if (Utf8To1252(line, w)) list.push_back(w);
  }
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
  printf("  engine:   median %.3f ms, 99th percentile %.3f ms, %zu with suggestions; intended word first %zu, listed %zu\n",
         o.median * 1e3, o.p99 * 1e3, hits, ourFirst, ourListed);
  std::vector<double> hunLatency;
  std::vector<std::vector<std::string>> hunAnswers;
  if (haveHunspell && HunspellSuggestLatency(typos, hunLatency, hunAnswers)) {
    Percentiles h = Summarise(hunLatency);
    size_t hunFirst = 0, hunListed = 0;
    for (size_t i = 0; i < hunAnswers.size(); ++i) {
      for (size_t r = 0; r < hunAnswers[i].size(); ++r) {
        if (hunAnswers[i][r] == intended[i]) {
          ++hunListed;
          if (r == 0) ++hunFirst;
          break;
        }
      }
    }
    printf("  hunspell: median %.3f ms, 99th percentile %.3f ms; intended word first %zu, listed %zu\n", h.median * 1e3,
           h.p99 * 1e3, hunFirst, hunListed);
    printf("  ratio (hunspell / engine median latency): %.2f\n", h.median / o.median);
  }

  // Resident memory at three budgets, each in a fresh process.
  printf("\nmemory while checking the text, each budget in a fresh process (which also holds the text)\n");
  struct Budget {
    const char* name;
    uint32_t bytes;
  } budgets[] = {{"unlimited", 0}, {"one segment", stats.largestSegment}, {"64 KB", 64 * 1024}};
  for (const Budget& b : budgets) {
    // A fresh process per budget, so no memory freed by earlier runs is reused.
    std::string command = fs::read_symlink("/proc/self/exe").string() + " --memory " + std::to_string(b.bytes) + " " + clx + " " + textPath;
    FILE* child = popen(command.c_str(), "r");
    char report[256] = {0};
    if (child && fgets(report, sizeof report, child)) printf("  %-12s %s", b.name, report);
    if (child) pclose(child);
  }
  if (haveHunspell) printf("  %-12s %6ld KB peak for the whole process\n", "hunspell", hunRss);

  fs::remove_all(work);
  return 0;
}
