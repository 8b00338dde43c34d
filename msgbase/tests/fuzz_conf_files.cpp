// Feeds arbitrary bytes to the conf.ww and user folder file readers, and
// merges whatever they accepted.
#include <cstdint>
#include <cstdio>

#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"

static bool NoUserFile(const char*) { return false; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::tmpfile();
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  VirtualArray conf("fuzz conf", sizeof(ConfRec), CompareConfEntries);
  VirtualArray user("fuzz user", sizeof(ConfRec), CompareConfEntries);
  std::rewind(file);
  uint32_t header;
  ReadConfList(file, conf, &header);
  std::rewind(file);
  UserFileHead head;
  ReadUserFolders(file, user, &head);
  UserMergeContext context = {"fuzz", 0, false, NoUserFile};
  MergeUserFolders(user, conf, user, context);
  std::fclose(file);
  return 0;
}
