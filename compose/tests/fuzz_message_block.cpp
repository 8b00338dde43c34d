// Reads arbitrary bytes as a message block, writes what was read and reads
// that again: the second state must equal the first.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/message_block.h"

namespace {
std::string Entries(CAddrList& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) out += std::string(list.At(i)->name) + "\t" + list.At(i)->address + "\n";
  return out;
}
void Check(bool ok) {
  if (!ok) abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  EditorState a;
  int r = ReadDraft(&a, in, nullptr, nullptr);
  fclose(in);
  if (r != 0) return 0;
  if (a.bodyText) a.bodyText[strlen(a.bodyText)] = 0;
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  WriteDraft(&a, out, nullptr, nullptr);
  fclose(out);
  EditorState b;
  FILE* again = fmemopen(text, length, "rb");
  Check(ReadDraft(&b, again, nullptr, nullptr) == 0);
  fclose(again);
  free(text);
  Check(a.nType == b.nType && a.nComment == b.nComment && a.bMailing == b.bMailing);
  Check(strcmp(a.szSubject, b.szSubject) == 0 || strpbrk(a.szSubject, "\r\n"));
  Check(strcmp(a.szReferences, b.szReferences) == 0 || strlen(a.szReferences) >= 4000);
  Check(Entries(a.To) == Entries(b.To));
  Check(Entries(a.Cc) == Entries(b.Cc));
  Check(Entries(a.Bcc) == Entries(b.Bcc));
  Check(strcmp(a.bodyText ? a.bodyText : "", b.bodyText ? b.bodyText : "") == 0);
  return 0;
}
