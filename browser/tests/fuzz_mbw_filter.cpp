// An arbitrary MBW section: the table stays within its bounds, every set's
// name and list end inside their fields, and testing folders against each set
// never reads past them.
#include <cstdint>
#include <cstring>
#include <string>

#include "browser/mbw_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string section(reinterpret_cast<const char*>(data), size);
  MbwFilterTable table;
  table.current = size % 25;
  LoadMbwFilterSets(table, section.data(), section.size(), size & 1);
  if (table.count < 1 || table.count > kMaxMbwFilterSets || table.current < 0 || table.current >= table.count)
    __builtin_trap();
  const char* names[] = {"quorl:mail/in", "dvn:forum/L3_files", "notes/one", "net:comp.x/all"};
  for (int i = 0; i < table.count; ++i) {
    const MbwFilterSet& set = table.sets[i];
    if (!std::memchr(set.name, 0, sizeof set.name) || !std::memchr(set.list, 0, sizeof set.list)) __builtin_trap();
    for (const char* name : names) {
      int depth = -1;
      MbwListPasses(set.list, name, 1, 2, &depth);
      if (depth < 0 || depth > 9) __builtin_trap();
    }
  }
  return 0;
}
