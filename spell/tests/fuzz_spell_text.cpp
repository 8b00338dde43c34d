// Feeds arbitrary bytes to the text side of the engine: as a .tlx file that
// is opened, changed and saved, and as a block of text that is checked word by
// word with every option, its words replaced and deleted along the way.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "spell/sorn.h"
#include "spell/tlex.h"
#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

std::string ScratchPath(const char* name) {
#if defined(_WIN32)
  int id = 0;
#else
  int id = ::getpid();
#endif
  return (std::filesystem::temp_directory_path() / (std::to_string(id) + "-" + name)).string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string lexPath = ScratchPath("fuzz-words.tlx");
  FILE* f = fopen(lexPath.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);

  int16_t session = SORN_OpenSession();
  if (session < 0) return 0;
  int16_t lex = SORN_OpenLex(session, lexPath.c_str(), 0);
  if (lex >= 0) {
    uint32_t imageSize = 0;
    SORN_GetLexInfo(session, lex, &imageSize, nullptr, nullptr, nullptr);
    std::vector<char> image(imageSize + 1);
    SORN_GetLex(session, lex, image.data(), uint32_t(image.size()));
    SORN_AddToLex(session, lex, "fuzzword", "replacement");
    SORN_DelFromLex(session, lex, "fuzzword");
  }
  int16_t pairs = SORN_CreateLex(session, nullptr, SORN_LEX_CHANGE, 1033);
  SORN_AddToLex(session, pairs, "teh", "the");

  std::vector<char> text(data, data + size);
  text.resize(size + 128);
  int16_t block = SORN_OpenBlock(session, text.data(), uint32_t(size), uint32_t(text.size()), 0);
  const uint32_t options = 0x1FFFF ^ 0x1 ^ 0x2 ^ 0x4 ^ 0x8;
  char word[SORN_WORD_SIZE], replacement[SORN_WORD_SIZE];
  for (int step = 0; block >= 0 && step < 2000; ++step) {
    int16_t rc = SORN_CheckBlock(session, block, options, word, replacement);
    if (rc == SORN_END_OF_BLOCK || rc < 0) break;
    char suggestions[1025];
    int16_t scores[16];
    if (step < 4) SORN_Suggest(session, word, 0xFFFF, suggestions, sizeof suggestions, scores, 16);
    if (step % 3 == 0) SORN_ReplaceBlockWord(session, block, replacement);
    if (step % 7 == 6) {
      SORN_DelBlockWord(session, block);
      continue;
    }
    if (SORN_NextBlockWord(session, block) < 0) break;
  }
  uint32_t words = 0;
  SORN_GetBlockInfo(session, block, nullptr, nullptr, nullptr, &words);
  SORN_CloseSession(session);
  return 0;
}
