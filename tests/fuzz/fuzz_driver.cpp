// Replays every file of the given corpus directories through a fuzz target,
// then feeds it seeded mutations of those files. Repeatable: a run is named by
// its seed and number, and an input that fails is saved as a reproducer file
// that the program replays when given it as its only input.
//
//   fuzz_x [--runs=N] [--seed=N] [--max-seconds=N] [--save=DIR] corpus-dir-or-file...
//
// --runs is the number of mutations (0 when not given); --max-seconds stops the
// mutations earlier once that much time has passed, so a long run outside CI
// can be given a budget (--runs=-1 with a budget runs until the budget ends).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Offered by the sanitizer run-time: called before it ends the process.
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*callback)(void));

namespace {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Mutate(std::vector<uint8_t>& v, std::mt19937& rng) {
  int steps = 1 + rng() % 8;
  for (int i = 0; i < steps; ++i) {
    switch (rng() % 6) {
      case 0:
        if (!v.empty()) v[rng() % v.size()] ^= uint8_t(1u << (rng() % 8));
        break;
      case 1:
        if (!v.empty()) v[rng() % v.size()] = uint8_t(rng());
        break;
      case 2: v.insert(v.begin() + (v.empty() ? 0 : rng() % (v.size() + 1)), uint8_t(rng())); break;
      case 3:
        if (!v.empty()) v.erase(v.begin() + rng() % v.size());
        break;
      case 4:
        if (!v.empty()) v.resize(rng() % v.size());
        break;
      case 5: {  // duplicate a slice, which grows counts and nesting
        if (v.size() < 2) break;
        size_t a = rng() % v.size(), n = 1 + rng() % std::min<size_t>(64, v.size() - a);
        std::vector<uint8_t> slice(v.begin() + a, v.begin() + a + n);
        v.insert(v.begin() + rng() % (v.size() + 1), slice.begin(), slice.end());
        break;
      }
    }
  }
}

// The input in hand and where it goes if the target dies on it. Written by
// the failure path with plain system calls only, as it may run in a signal
// handler.
struct InHand {
  const std::vector<uint8_t>* input = nullptr;
  char path[4096] = "";
  const char* description = "";
} g_inHand;

void WriteText(const char* text) {
  ssize_t ignored = write(2, text, std::strlen(text));
  (void)ignored;
}

void SaveInputInHand() {
  static volatile sig_atomic_t saved = 0;
  if (saved || !g_inHand.input) return;
  saved = 1;
  int fd = open(g_inHand.path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    const uint8_t* p = g_inHand.input->data();
    size_t left = g_inHand.input->size();
    while (left > 0) {
      ssize_t n = write(fd, p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<size_t>(n);
    }
    close(fd);
  }
  WriteText("\nfuzz: failed on ");
  WriteText(g_inHand.description);
  WriteText("; the input is saved as ");
  WriteText(g_inHand.path);
  WriteText(" (give that file as the only argument to replay it)\n");
}

void OnFatalSignal(int signal) {
  SaveInputInHand();
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void Run(const std::vector<uint8_t>& input) {
  g_inHand.input = &input;
  LLVMFuzzerTestOneInput(input.data(), input.size());
  g_inHand.input = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 0;
  unsigned long seed = 12345;
  double maxSeconds = 0;
  std::string saveDir = ".";
  std::vector<std::vector<uint8_t>> corpus;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--runs=", 7) == 0) {
      runs = std::atol(argv[i] + 7);
      continue;
    }
    if (std::strncmp(argv[i], "--seed=", 7) == 0) {
      seed = std::strtoul(argv[i] + 7, nullptr, 10);
      continue;
    }
    if (std::strncmp(argv[i], "--max-seconds=", 14) == 0) {
      maxSeconds = std::atof(argv[i] + 14);
      continue;
    }
    if (std::strncmp(argv[i], "--save=", 7) == 0) {
      saveDir = argv[i] + 7;
      continue;
    }
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (auto& e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file()) {
          corpus.push_back(ReadWholeFile(e.path()));
          names.push_back(e.path().string());
        }
    } else if (std::filesystem::is_regular_file(p)) {
      corpus.push_back(ReadWholeFile(p));
      names.push_back(p.string());
    } else {
      std::fprintf(stderr, "fuzz: no such corpus file or directory: %s\n", argv[i]);
      return 2;
    }
  }
  if (corpus.empty()) {
    corpus.push_back({});
    names.push_back("(empty input)");
  }
  std::string target = std::filesystem::path(argv[0]).filename().string();

  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(SaveInputInHand);
  for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(s, OnFatalSignal);

  std::string description;
  for (size_t i = 0; i < corpus.size(); ++i) {
    description = "corpus file " + names[i];
    g_inHand.description = description.c_str();
    std::snprintf(g_inHand.path, sizeof g_inHand.path, "%s/crash-%s-corpus-%zu", saveDir.c_str(), target.c_str(), i);
    Run(corpus[i]);
  }

  std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
  const auto start = std::chrono::steady_clock::now();
  long done = 0;
  for (long r = 0; runs < 0 || r < runs; ++r) {
    if (maxSeconds > 0 && (r & 63) == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= maxSeconds)
      break;
    std::vector<uint8_t> v = corpus[rng() % corpus.size()];
    Mutate(v, rng);
    description = "mutation run " + std::to_string(r) + " of seed " + std::to_string(seed);
    g_inHand.description = description.c_str();
    std::snprintf(g_inHand.path, sizeof g_inHand.path, "%s/crash-%s-seed%lu-run%ld", saveDir.c_str(), target.c_str(),
                  seed, r);
    Run(v);
    ++done;
    if (runs < 0 && maxSeconds <= 0) break;  // no bound given: one round only
  }
  std::printf("fuzz: %zu corpus inputs, %ld mutations of seed %lu, no failure\n", corpus.size(), done, seed);
  return 0;
}
