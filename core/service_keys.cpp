#include "core/service_keys.h"

#include "core/folder_names.h"
#include "core/text1252.h"

#include <cstring>

unsigned long g_serviceFeatures = 0;

namespace {

// "CSI:" and "x400:" name mail gateways, not services.
bool IsGatewayAddress(const char* name) { return StartsWithNoCase(name, "CSI:") || StartsWithNoCase(name, "x400:"); }

// Length of the service key, or 0 when the name has no ":" within its first
// 9 characters.
size_t KeyLength(const char* name) {
  size_t n = 0;
  while (n < SERVICE_KEY_MAX && name[n] && name[n] != ':') ++n;
  return name[n] == ':' ? n : 0;
}

}  // namespace

void getservice(char* key, const char* name) {
  if (!name || IsGatewayAddress(name)) return;
  size_t n = KeyLength(name);
  std::memcpy(key, name, n);
  key[n] = 0;
}

char* stripservice(char* name) {
  if (!name || name[0] == '>' || IsGatewayAddress(name)) return name;
  // A colon further in is part of the name (an address, a subject), not a
  // key separator.
  size_t n = KeyLength(name);
  if (name[n] == ':') std::memmove(name, name + n + 1, std::strlen(name + n + 1) + 1);
  return name;
}

std::string ServiceKeyOf(const char* name) {
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, name);
  return key;
}

std::string WithoutServiceKey(const char* name) {
  std::string copy = name ? name : "";
  return stripservice(&copy[0]);
}

unsigned long ServiceFeatures(const char* key) {
  struct Row {
    const char* key;
    unsigned long mask;
  };
  static const Row kRows[] = {
      {"dvn", 0xBF9},    {"tbbs", 0x2211},  {"quorl", 0x3FC7},    {"caucus", 0x211},
      {"msmail", 0x211}, {"ccmail", 0x211}, {"quorlnews", 0x211}, {"ouc", 0x42},
      {"oud", 0x42},     {"bix", 0x741},    {"local", 0x3243},    {"remote", 0x3203},
  };
  // "net" is tried last: its comparison accepts every service name that is
  // not a known non-Internet one, which would otherwise swallow the rows
  // that follow it.
  g_serviceFeatures = 0;
  if (key) {
    bool found = false;
    for (const Row& row : kRows) {
      if (sameservice(key, row.key)) {
        g_serviceFeatures = row.mask;
        found = true;
        break;
      }
    }
    if (!found && sameservice(key, "net")) g_serviceFeatures = 0x68;
  }
  return g_serviceFeatures;
}
