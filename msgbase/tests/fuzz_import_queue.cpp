// Feeds arbitrary bytes to the import queue reader and writes back whatever
// it accepted; the written form must read again to the same entries.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "msgbase/import_queue_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::tmpfile();
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  VirtualArray queue("fuzz queue", sizeof(ImportQueueEntry));
  if (ReadImportQueue(file, queue) == IMPORTQ_OK) {
    FILE* copy = std::tmpfile();
    if (copy) {
      if (!WriteImportQueue(copy, queue)) std::abort();
      VirtualArray again("fuzz queue again", sizeof(ImportQueueEntry));
      if (ReadImportQueue(copy, again) != IMPORTQ_OK || again.Count() != queue.Count()) std::abort();
      for (int i = 0; i < queue.Count(); ++i)
        if (std::memcmp(queue.At(i), again.At(i), sizeof(ImportQueueEntry))) std::abort();
      std::fclose(copy);
    }
  }
  std::fclose(file);
  return 0;
}
