// Walks arbitrary text through the front end's check with every answer in
// turn: the walk must end, and the text must stay within its buffer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "spell/check_walk.h"
#include "spell/front.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t control = data[0];
  std::vector<char> buffer(data + 1, data + size);
  uint32_t length = static_cast<uint32_t>(buffer.size());
  buffer.resize(buffer.size() + 64 + (control & 0x3F));
  SpellOpenSettings settings;
  settings.options = kSpellNoAutoCorrect;
  settings.ignorePath = "";
  settings.suggestPath = "";
  // Temporary lexicons only: the user dictionaries have no file here.
  if (OpenSpellSession(settings) < 0 && g_sorn.tempSuggest < 0) {
    closeSORN();
    return 0;
  }
  uint32_t options = 0x481c784u ^ (control & 0x80 ? kSpellSkipQuoted : 0);
  CheckWalk walk;
  if (BeginCheckWalk(walk, buffer.data(), length, static_cast<uint32_t>(buffer.size()), options) >= 0) {
    int16_t r = NextSpellingQuestion(walk);
    for (int step = 0; r >= 0 && r != SORN_END_OF_BLOCK && step < 10000; ++step) {
      switch ((control + step) % 5) {
        case 0: r = IgnoreOnce(walk); break;
        case 1: r = IgnoreAll(walk); break;
        case 2: r = ReplaceOnce(walk, step % 2 ? "replacement words" : ""); break;
        case 3: r = ReplaceAll(walk, "x"); break;
        default: r = DeleteWord(walk); break;
      }
      if (r < 0) r = IgnoreOnce(walk);
      if (WalkLength(walk) > buffer.size()) __builtin_trap();
    }
    EndCheckWalk(walk);
  }
  closeSORN();
  return 0;
}
