// Feeds arbitrary bytes to the service configuration reader as a service
// file, as special.cnf and as a forum name list.
#include <cstdint>
#include <cstdio>

#include "msgbase/service_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::tmpfile();
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  AllocServiceConfig();
  ResetScriptCommands();
  g_hconf.forumFirstKind = g_hconf.forumOtherKind = false;
  g_hconfContext = {size % 2 == 0, size % 3 == 0, size % 5 == 0, nullptr};
  std::rewind(file);
  ReadForumKind(file);
  std::rewind(file);
  ReadServiceConfigLines(file, static_cast<int>(size & 1));
  std::rewind(file);
  ReadScriptCommandLines(file, 0);
  std::fclose(file);
  FreeServiceConfig();
  return 0;
}
