// Replays every file of the given corpus directories through a fuzz target,
// then feeds it a fixed number of seeded mutations of those files. Repeatable,
// so a crash found in CI can be reproduced from the printed run number.
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

static std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

static void Mutate(std::vector<uint8_t>& v, std::mt19937& rng) {
  int steps = 1 + rng() % 8;
  for (int i = 0; i < steps; ++i) {
    switch (rng() % 6) {
      case 0: if (!v.empty()) v[rng() % v.size()] ^= uint8_t(1u << (rng() % 8)); break;
      case 1: if (!v.empty()) v[rng() % v.size()] = uint8_t(rng()); break;
      case 2: v.insert(v.begin() + (v.empty() ? 0 : rng() % (v.size() + 1)), uint8_t(rng())); break;
      case 3: if (!v.empty()) v.erase(v.begin() + rng() % v.size()); break;
      case 4: if (!v.empty()) v.resize(rng() % v.size()); break;
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

int main(int argc, char** argv) {
  long runs = 0;
  std::vector<std::vector<uint8_t>> corpus;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--runs=", 7) == 0) { runs = std::atol(argv[i] + 7); continue; }
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (auto& e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file()) corpus.push_back(ReadWholeFile(e.path()));
    } else if (std::filesystem::is_regular_file(p)) {
      corpus.push_back(ReadWholeFile(p));
    }
  }
  if (corpus.empty()) corpus.push_back({});
  for (auto& c : corpus) LLVMFuzzerTestOneInput(c.data(), c.size());
  std::mt19937 rng(12345);
  for (long r = 0; r < runs; ++r) {
    std::vector<uint8_t> v = corpus[rng() % corpus.size()];
    Mutate(v, rng);
    LLVMFuzzerTestOneInput(v.data(), v.size());
  }
  std::printf("fuzz: %zu corpus inputs, %ld mutations, no failure\n", corpus.size(), runs);
  return 0;
}
