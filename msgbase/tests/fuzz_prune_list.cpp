// Feeds arbitrary bytes to the conf.pru reader; what it accepts must write
// back to text that reads the same, and assigns days to a few folders.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "msgbase/prune_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<PruneEntry> entries;
  if (!ParsePruneList(text, &entries)) return 0;
  std::vector<PruneEntry> again;
  if (!ParsePruneList(FormatPruneList(entries), &again)) std::abort();
  PruneFolder folders[] = {{"quorl:chat/general", 0}, {"dvn:forum/L1_x", 0}, {"net:mail/bob", 0}, {"local:a/b", 0}};
  AssignFolderDays(entries, 30, folders, 4);
  struct tm when = {};
  when.tm_year = 126;
  for (const PruneEntry& e : entries) BuildArchiveName(e.name, when, e.name, e.days, 8);
  return 0;
}
