// The statistics of the message base: one line per folder with its numbers,
// message count and disk use, and the totals. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The head of a topic index: the range and the element count of its index
// array. False when the bytes are too few.
struct IndexHead {
  int32_t first = 0;
  int32_t last = 0;
  uint32_t count = 0;
};
bool ReadIndexHead(const unsigned char* bytes, size_t size, IndexHead* head);

// A folder's files as counted: anything up to 1 K counts as 1 K.
uint64_t CountedFolderBytes(uint64_t bytes);

// "%s\t%lu\t%lu\t%u\t%u": name, first, last, messages, size in K.
std::string StatsLine(const char* name, uint32_t first, uint32_t last, uint32_t messages, uint64_t countedBytes);

struct StatsTotals {
  int folders = 0;
  uint64_t bytes = 0;
  long messages = 0;
  void Add(uint64_t countedBytes, uint32_t folderMessages) {
    ++folders;
    bytes += countedBytes;
    messages += static_cast<long>(folderMessages);
  }
};
