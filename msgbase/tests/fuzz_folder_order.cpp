// Feeds arbitrary order files to LoadFolderOrder: every folder must end with
// its own order number, 1 to the number of folders.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "msgbase/conf_list.h"
#include "msgbase/read_state.h"
#include "msgbase/tests/memory_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kFolders[] = {"local:notes/misc",
                                         "net:comp.lang.c",
                                         "quorl:pelmora/chat",
                                         "net:mail/inbox",
                                         "dvn:Cooking_Forum/Recipes",
                                         "quorlnews:pelmora/announce",
                                         "Bookmarks\xff"
                                         "1"};
  const int n = sizeof kFolders / sizeof kFolders[0];
  VirtualArray conferences("Conferences", sizeof(ConfRec));
  for (const char* name : kFolders) {
    ConfRec r = {};
    snprintf(r.name, sizeof r.name, "%s", name);
    conferences.Append(&r);
  }
  MemoryLog odr;
  odr.bytes.assign(reinterpret_cast<const char*>(data), size);
  LoadFolderOrder(odr.Source(), conferences);
  std::vector<bool> seen(n + 1, false);
  for (int i = 0; i < n; ++i) {
    int32_t order = static_cast<ConfRec*>(conferences.At(i))->order;
    if (order < 1 || order > n || seen[order]) abort();
    seen[order] = true;
  }
  return 0;
}
