// Loads arbitrary bytes as a stored array into arrays of several element
// sizes, then exercises the loaded array.
#include "core/virtual_array.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {
int CompareFirstByte(const void* a, const void* b) {
  return *static_cast<const unsigned char*>(a) - *static_cast<const unsigned char*>(b);
}
void Quiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_virtualArrayHooks.showError = Quiet;
  FILE* f = tmpfile();
  if (!f) return 0;
  fwrite(data, 1, size, f);
  for (int elementSize : {1, 4, 160}) {
    rewind(f);
    VirtualArray a("fuzz", elementSize, CompareFirstByte);
    if (a.Load(f)) {
      for (int i = 0; i < a.Count(); i += 97) a.At(i);
      unsigned char key[160] = {0x40};
      a.InsertSorted(key);
      a.Sort();
      if (a.Count()) a.RemoveAt(a.Count() / 2);
    }
  }
  fclose(f);
  return 0;
}
