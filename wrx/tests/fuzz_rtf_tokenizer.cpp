// Fuzz target: any bytes tokenize to the end without reading past them, and
// the group depth never leaves 0..50.
#include "wrx/rtf_tokenizer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rtf::Tokenizer t(data, size);
  for (size_t guard = 0; guard <= 2 * size + 2; ++guard) {
    const rtf::Token k = t.Next();
    if (t.depth() < 0 || t.depth() > rtf::kMaxGroups) abort();
    if (k.kind == rtf::TokenKind::kBinary && k.binaryOffset + k.binaryLength > size) abort();
    if (k.kind == rtf::TokenKind::kEnd || k.kind == rtf::TokenKind::kError) return 0;
  }
  abort();  // every token consumes input
}
