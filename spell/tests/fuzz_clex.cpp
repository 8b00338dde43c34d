// Feeds arbitrary bytes to the compressed-lexicon reader as a .clx file:
// opening, exact and case-free checks, and suggestions at every level must
// refuse damage cleanly and never read outside what they loaded.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "spell/clex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = (std::filesystem::temp_directory_path() / ("fuzz-clex-" +
                                                                             std::to_string(
#if defined(_WIN32)
                                                                                 0
#else
                                                                                 ::getpid()
#endif
                                                                                 ) +
                                                                             ".clx"))
                                      .string();
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  for (uint32_t budget : {0u, 64u * 1024u}) {
    CLex lex;
    if (CLex_Open(path.c_str(), budget, &lex) == 0) {
      for (const char* w : {"abc", "ABCD", "ab", "a", "the", "theirs", "zzzz", "Ex"}) {
        CLex_Check(w, 0, true, &lex);
        CLex_Check(w, 0, false, &lex);
      }
      SuggestList list;
      if (SuggestListInit(list, 8)) {
        CLex_Suggest(kCLexLevelAuto, "teh", 0, WordSimilarity, list, &lex);
        CLex_Suggest(0, "abd", 0, AnagramScore, list, &lex);
        SuggestListFree(list);
      }
    }
    CLex_Close(&lex);
  }
  return 0;
}
