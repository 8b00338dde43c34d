// The record of import.dat and the file's form: a 20-byte header, the queued
// records oldest first, and a record whose first byte is 0 that ends the list.
// Portable: the Win32 queue operations and the fuzz target share it.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"

#pragma pack(push, 1)
struct ImportQueueEntry {
  char path[260];    // NUL-terminated; the first byte 0 ends the list
  char service[10];  // service key, lower case
  char kind[64];     // default folder for mail, or a job word
  uint32_t flags;    // little-endian on disk
};
static_assert(sizeof(ImportQueueEntry) == 338);
#pragma pack(pop)

enum : uint32_t { IMPORT_DELETE_AFTER = 0x00000800 };

enum : int { IMPORT_QUEUE_HEADER_BYTES = 20 };

// What the header says. Only its first 13 bytes are compared.
enum ImportQueueVersion : int { IMPORTQ_UNKNOWN = 0, IMPORTQ_100 = 100, IMPORTQ_101 = 101 };
ImportQueueVersion ImportQueueHeaderVersion(const unsigned char* header, size_t size);

enum ImportQueueReadResult : int {
  IMPORTQ_OK = 0,
  IMPORTQ_BAD_HEADER,  // short, or neither version
  IMPORTQ_TRUNCATED,   // the file ends inside a record
  IMPORTQ_BAD_ENTRY,   // a field without its NUL
  IMPORTQ_NO_MEMORY,
};

// Reads the queue from the stream's start into the array (emptied first).
// Both versions carry the same record; the list ends at the terminating
// record or at the end of the file on a record boundary. On any failure the
// array is left empty.
ImportQueueReadResult ReadImportQueue(FILE* stream, VirtualArray& queue);

// What a damaged queue still holds: every whole, well-formed entry from the
// header's end up to the terminating record, whatever the header says. Broken
// entries are passed over, as the records behind them still lie on record
// boundaries. The number passed over (a cut last record counts) goes to
// *skipped when given.
void SalvageImportQueue(FILE* stream, VirtualArray& queue, int* skipped);

// Writes the current header, every entry and the terminating record from the
// stream's start, and flushes. Bytes beyond are left as they are. False on
// any short write.
bool WriteImportQueue(FILE* stream, VirtualArray& queue);
