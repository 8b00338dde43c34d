#include "msgbase/msgbase_stats.h"

#include <cstdio>

namespace {
uint32_t Le(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
}  // namespace

bool ReadIndexHead(const unsigned char* bytes, size_t size, IndexHead* head) {
  *head = IndexHead();
  if (!bytes || size < 12) return false;
  head->first = static_cast<int32_t>(Le(bytes + 2, 4));
  head->last = static_cast<int32_t>(Le(bytes + 6, 4));
  uint32_t count = Le(bytes + 10, 2);
  if (count == 0xFFFF) {
    if (size < 16) return false;
    count = Le(bytes + 12, 4);
  }
  head->count = count;
  return true;
}

uint64_t CountedFolderBytes(uint64_t bytes) { return bytes < 1025 ? 1024 : bytes; }

std::string StatsLine(const char* name, uint32_t first, uint32_t last, uint32_t messages, uint64_t countedBytes) {
  char line[160];
  std::snprintf(line, sizeof line, "%s\t%lu\t%lu\t%u\t%u", name ? name : "", static_cast<unsigned long>(first),
                static_cast<unsigned long>(last), messages, static_cast<unsigned>(countedBytes / 1024));
  return line;
}
