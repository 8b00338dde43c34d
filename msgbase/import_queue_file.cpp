#include "msgbase/import_queue_file.h"

#include <cstring>

namespace {

const unsigned char kHeader101[IMPORT_QUEUE_HEADER_BYTES] = {'Z', 'A', 'V', 'I',  'D',  'O', 'R', 'U', ' ', '1',
                                                             '.', '0', '1', 0x0A, 0x1A, 0,   0,   0,   0,   0};
const char kSignature100[] = "ZAVIDORU 1.00";
const size_t kSignatureBytes = 13;

bool HasNul(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

bool EntryWellFormed(const ImportQueueEntry& e) {
  return HasNul(e.path, sizeof e.path) && HasNul(e.service, sizeof e.service) && HasNul(e.kind, sizeof e.kind);
}

}  // namespace

ImportQueueVersion ImportQueueHeaderVersion(const unsigned char* header, size_t size) {
  if (size < IMPORT_QUEUE_HEADER_BYTES) return IMPORTQ_UNKNOWN;
  if (!std::memcmp(header, kHeader101, kSignatureBytes)) return IMPORTQ_101;
  if (!std::memcmp(header, kSignature100, kSignatureBytes)) return IMPORTQ_100;
  return IMPORTQ_UNKNOWN;
}

ImportQueueReadResult ReadImportQueue(FILE* stream, VirtualArray& queue) {
  queue.SetSize(0);
  if (std::fseek(stream, 0, SEEK_SET) != 0) return IMPORTQ_BAD_HEADER;
  unsigned char header[IMPORT_QUEUE_HEADER_BYTES];
  size_t got = std::fread(header, 1, sizeof header, stream);
  if (ImportQueueHeaderVersion(header, got) == IMPORTQ_UNKNOWN) return IMPORTQ_BAD_HEADER;
  ImportQueueReadResult result = IMPORTQ_OK;
  for (;;) {
    ImportQueueEntry entry;
    size_t n = std::fread(&entry, 1, sizeof entry, stream);
    if (n == 0) break;              // end of file on a record boundary
    if (entry.path[0] == 0) break;  // the terminating record; nothing else of it counts
    if (n < sizeof entry) {
      result = IMPORTQ_TRUNCATED;
      break;
    }
    if (!EntryWellFormed(entry)) {
      result = IMPORTQ_BAD_ENTRY;
      break;
    }
    if (!queue.Append(&entry)) {
      result = IMPORTQ_NO_MEMORY;
      break;
    }
  }
  if (result != IMPORTQ_OK) queue.SetSize(0);
  return result;
}

void SalvageImportQueue(FILE* stream, VirtualArray& queue, int* skipped) {
  queue.SetSize(0);
  int passedOver = 0;
  if (std::fseek(stream, IMPORT_QUEUE_HEADER_BYTES, SEEK_SET) == 0) {
    for (;;) {
      ImportQueueEntry entry;
      size_t n = std::fread(&entry, 1, sizeof entry, stream);
      if (n == 0) break;
      if (entry.path[0] == 0) break;
      if (n < sizeof entry || !EntryWellFormed(entry)) {
        ++passedOver;
        if (n < sizeof entry) break;
        continue;
      }
      if (!queue.Append(&entry)) break;
    }
  }
  if (skipped) *skipped = passedOver;
}

bool WriteImportQueue(FILE* stream, VirtualArray& queue) {
  if (std::fseek(stream, 0, SEEK_SET) != 0) return false;
  if (std::fwrite(kHeader101, 1, sizeof kHeader101, stream) != sizeof kHeader101) return false;
  for (int i = 0; i < queue.Count(); ++i) {
    const void* entry = queue.At(i);
    if (!entry || std::fwrite(entry, 1, sizeof(ImportQueueEntry), stream) != sizeof(ImportQueueEntry)) return false;
  }
  ImportQueueEntry end = {};
  if (std::fwrite(&end, 1, sizeof end, stream) != sizeof end) return false;
  return std::fflush(stream) == 0;
}
