// clxpack: builds a compressed lexicon from a word list.
//   clxpack WORDLIST OUTPUT.clx [LANGUAGE]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "spell/tools/clx_pack.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: clxpack WORDLIST OUTPUT.clx [LANGUAGE]\n");
    return 2;
  }
  uint16_t language = argc > 3 ? static_cast<uint16_t>(atoi(argv[3])) : 1033;
  ClxPackStats stats;
  std::string error;
  if (!ClxPackFile(argv[1], argv[2], language, stats, error)) {
    fprintf(stderr, "clxpack: %s\n", error.c_str());
    return 1;
  }
  printf("clxpack: %u words (%u small) in %u segments, largest %u bytes; %u left out\n", stats.words, stats.smallWords,
         stats.segments, stats.largestSegment, stats.skipped);
  return 0;
}
