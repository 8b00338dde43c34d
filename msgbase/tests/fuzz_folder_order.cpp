// Feeds arbitrary order files to LoadFolderOrder: every folder must end with
// its own order number, 1 to the number of folders.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "msgbase/read_state.h"
#include "msgbase/tests/memory_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kFolders[] = {"local:notes/misc", "net:comp.lang.c", "quorl:pelmora/chat",
                                         "net:mail/inbox", "dvn:Cooking_Forum/Recipes", "quorlnews:pelmora/announce",
                                         "Bookmarks\xff" "1"};
  const int n = sizeof kFolders / sizeof kFolders[0];
  FolderOrderItem items[n];
  for (int i = 0; i < n; ++i) items[i].name = kFolders[i];
  MemoryLog odr;
  odr.bytes.assign(reinterpret_cast<const char*>(data), size);
  LoadFolderOrder(odr.Source(), items, n);
  std::vector<bool> seen(n + 1, false);
  for (const FolderOrderItem& item : items) {
    if (item.order < 1 || item.order > n || seen[item.order]) abort();
    seen[item.order] = true;
  }
  return 0;
}
