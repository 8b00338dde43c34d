// Platform services of the virtual array for host builds: an anonymous stdio
// temporary file, errors on stderr, and a machine of ample memory.
#include "core/virtual_array.h"

#include <cstdlib>
#include <cstring>

namespace {

void ShowError(const char* text) { fprintf(stderr, "%s\n", text); }

void* CreateSwap() { return tmpfile(); }

bool ReadSwap(void* file, int32_t pos, void* data, size_t bytes) {
  FILE* f = static_cast<FILE*>(file);
  return pos >= 0 && fseek(f, pos, SEEK_SET) == 0 && fread(data, 1, bytes, f) == bytes;
}

bool WriteSwap(void* file, int32_t pos, const void* data, size_t bytes) {
  FILE* f = static_cast<FILE*>(file);
  return pos >= 0 && fseek(f, pos, SEEK_SET) == 0 && fwrite(data, 1, bytes, f) == bytes && fflush(f) == 0;
}

int64_t SwapSize(void* file) {
  FILE* f = static_cast<FILE*>(file);
  if (fseek(f, 0, SEEK_END) != 0) return -1;
  return ftell(f);
}

void CloseSwap(void* file) { fclose(static_cast<FILE*>(file)); }

uint64_t PhysicalMemory() { return uint64_t(4) << 30; }

}  // namespace

VirtualArrayHooks g_virtualArrayHooks = {ShowError, CreateSwap, ReadSwap,      WriteSwap,
                                         SwapSize,  CloseSwap,  PhysicalMemory};

void VirtualArray::CreateTempFile(char* out) {
  const char* dir = getenv("TEMP");
  if (!dir || !*dir) dir = getenv("TMP");
  if (!dir || !*dir) dir = "/tmp";
  snprintf(out, 260, "%.240s/msw%05d.tmp", dir, rand() % 100000);
}
