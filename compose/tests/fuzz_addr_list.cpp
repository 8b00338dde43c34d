// Arbitrary bytes as typed recipient text or as a message's header lines,
// then every list operation; entries must never be empty or overlong.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/addr_list.h"

namespace {
std::string g_text;
size_t g_at = 0;
const char* g_topic = "dvn:forum/one";
void Domains(const char* service, char* first, char* second, size_t size) {
  snprintf(first, size, "%s", strcmp(service, "dvn") == 0 ? "@dv.example" : "@q.example");
  snprintf(second, size, "%s", strcmp(service, "dvn") == 0 ? "@f.dv.example" : "@qs.example");
}
const char* Setting(const char*, const char*) { return "me"; }
const char* User() { return "me"; }
const char* Topic() { return g_topic; }
bool Open(long) {
  g_at = 0;
  return true;
}
bool Line(char* buffer, size_t size) {
  if (g_at >= g_text.size()) return false;
  size_t end = g_text.find('\n', g_at);
  end = end == std::string::npos ? g_text.size() : end + 1;
  size_t n = end - g_at < size - 1 ? end - g_at : size - 1;
  memcpy(buffer, g_text.data() + g_at, n);
  buffer[n] = 0;
  g_at = end;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  g_addrListHooks = {Domains, Setting, User, Topic, Open, Line};
  g_text.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (memchr(g_text.data(), 0, g_text.size())) g_text.resize(strlen(g_text.c_str()));
  const char* services[] = {"net", "dvn", "quorl", "local"};
  const char* service = services[data[0] & 3];
  g_topic = data[0] & 4 ? "dvn:forum/one" : "net:comp/lang";
  CAddrList list, other;
  if (data[0] & 8)
    list.FromReplyHeaders(1, data[0] & 16 ? "From:" : "To:", service, false);
  else
    list.Parse(g_text.c_str(), false);
  other.ReadText(g_text.c_str(), false);
  list.QualifyAddresses(services[(data[0] >> 5) & 3], service);
  list.RemoveDuplicates(nullptr);
  list.RemoveDuplicates(&other);
  list.RemoveOwnAddresses(service);
  char joined[4096];
  list.JoinDisplay(joined, sizeof joined);
  for (int i = 0; i < list.Count(); ++i) {
    AddrListEntry* e = list.At(i);
    if (!e->address[0] || strlen(e->address) > 100 || strlen(e->name) > 100) abort();
    if (strpbrk(e->address, "\r\n") || strpbrk(e->name, "\r\n")) abort();
  }
  return 0;
}
