// The list's services where no settings or message base exist (native
// builds): no domains, no settings, no user and no message.
#include "compose/addr_list.h"

namespace {
void NoDomains(const char*, char* first, char* second, size_t) { first[0] = second[0] = 0; }
const char* NoSetting(const char*, const char*) { return ""; }
const char* NoName() { return ""; }
bool NoMessage(long) { return false; }
bool NoLine(char* buffer, size_t) {
  buffer[0] = 0;
  return false;
}
}  // namespace

AddrListHooks g_addrListHooks = {NoDomains, NoSetting, NoName, NoName, NoMessage, NoLine};
