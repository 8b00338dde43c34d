// Feeds arbitrary header-like text to the decoders and the address splitter.
#include "core/text1252.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back(0);
  std::vector<char> copy = text;
  DecodeEncodedWords(copy.data());
  copy = text;
  qpdecode(copy.data(), true);
  copy = text;
  Base64DecodeText(copy.data());
  char name[80], address[80];
  ParseAddress(text.data(), name, sizeof name, address, sizeof address);
  // Split the input into text and pattern for the matcher.
  size_t half = size / 2;
  std::vector<char> t(data, data + half), p(data + half, data + size);
  t.push_back(0);
  p.push_back(0);
  WildMatch(t.data(), p.data());
  MatchNameList(t.data(), p.data());
  return 0;
}
