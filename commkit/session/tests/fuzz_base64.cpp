// Any text given to the Base64 reader: a block or a status, never a read or
// write out of bounds; a block read back encodes to a text that reads again.
#include <cstdlib>
#include <cstring>
#include <string>

#include "commkit/session/encodings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // up to the first zero, as a C text
  uint32_t status = 99;
  Block* block = BlockFromBase64(text.c_str(), &status);
  if ((block != nullptr) != (status == kBase64Ok)) abort();
  if (block) {
    char* again = BlockToBase64(block, 76);
    Block* back = BlockFromBase64(again, &status);
    if (!back || back->length != block->length || memcmp(back->data, block->data, block->length + 1u)) abort();
    BlockFree(back);
    BpSys().memFree(again);
    BlockFree(block);
  }
  char out[25];
  PasswordFromHex(text.c_str(), out);
  return 0;
}
