// Table-driven INI reading and writing over the profile calls.
#include "core/ini.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/text1252.h"

namespace {

const char kMainIni[] = "fenwold.ini";
// A stored value equal to this reads as missing, so the program's defaults stay.
const char kMissing[] = "~";

char g_singleKeyValue[4096];

// Leading decimal digits; anything else first (sign, blank, letter) reads as 0.
uint32_t LeadingNumber(const char* text) {
  uint64_t n = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + (*p - '0');
    if (n > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(n);
}

// "fenwold.ini", or the first 8 characters of a name and ".ini".
void NamedIniFile(const char* iniName, char* out, size_t size) {
  if (!iniName) {
    snprintf(out, size, "%s", kMainIni);
    return;
  }
  snprintf(out, size, "%.8s.ini", iniName);
}

}  // namespace

bool IniFilePath(const char* fileName, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  char normal[MAX_PATH];
  if (strchr(fileName, '\\')) {
    lstrcpynA(normal, fileName, sizeof normal);
  } else {
    char joined[2 * MAX_PATH];
    JoinPath(joined, sizeof joined, {g_app.dataDir, fileName});
    joined[MAX_PATH - 1] = '\0';
    NormalisePath(joined, normal, sizeof normal);
  }
  // A cut path would name some other file.
  if (strlen(normal) >= size) return false;
  memcpy(out, normal, strlen(normal) + 1);
  return true;
}

int readini(const char* fileName, const char* section, IniKey* table) {
  DebugLogF("readini: file %s, section %s\n", fileName, section);
  char path[MAX_PATH];
  IniFilePath(fileName, path, sizeof path);
  for (IniKey* row = table; row->key && row->key[0]; ++row) row->found = 0;
  for (IniKey* row = table; row->key && row->key[0]; ++row) {
    char value[kIniStringValue];
    GetPrivateProfileStringA(section, row->key, kMissing, value, sizeof value, path);
    if (strcmp(value, kMissing) == 0 || !row->target) continue;
    switch (row->type) {
      case INI_STRING: memcpy(row->target, value, strlen(value) + 1); break;
      case INI_UNSIGNED:
      case INI_ULONG: *static_cast<uint32_t*>(row->target) = LeadingNumber(value); break;
      case INI_FLAG:
        *static_cast<uint32_t*>(row->target) = value[0] == 'y' || value[0] == 'Y' || value[0] == '1';
        break;
      default: break;
    }
    row->found = 1;
  }
  return 0;
}

int writeini(const char* fileName, const char* section, IniKey* table) {
  DebugLogF("writeini: file %s, section %s\n", fileName, section);
  char path[MAX_PATH];
  IniFilePath(fileName, path, sizeof path);
  for (IniKey* row = table; row->key && row->key[0]; ++row) {
    if (!row->target) continue;
    char text[4096];
    switch (row->type) {
      case INI_STRING: {
        const char* s = static_cast<const char*>(row->target);
        size_t n = strlen(s);
        // The profile calls strip one pair of surrounding quotes on reading.
        if (n && s[0] == '"' && s[n - 1] == '"')
          snprintf(text, sizeof text, "\"%s\"", s);
        else
          snprintf(text, sizeof text, "%s", s);
        break;
      }
      case INI_UNSIGNED: snprintf(text, sizeof text, "%u", *static_cast<const uint32_t*>(row->target)); break;
      case INI_FLAG:
        snprintf(text, sizeof text, "%s", *static_cast<const uint32_t*>(row->target) ? "YES" : "NO");
        break;
      case INI_ULONG:
        snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(*static_cast<const uint32_t*>(row->target)));
        break;
      default: continue;
    }
    WritePrivateProfileStringA(section, row->key, text, path);
  }
  return 0;
}

int readmainini(const char* section, IniKey* table) { return readini(kMainIni, section, table); }
int writemainini(const char* section, IniKey* table) { return writeini(kMainIni, section, table); }

const char* GetIniString(const char* section, const char* key) {
  char path[MAX_PATH];
  IniFilePath(kMainIni, path, sizeof path);
  GetPrivateProfileStringA(section, key, "", g_singleKeyValue, sizeof g_singleKeyValue, path);
  return g_singleKeyValue;
}

const char* GetNamedIniString(const char* iniName, const char* section, const char* key) {
  static char value[4096];
  char name[32], path[MAX_PATH];
  NamedIniFile(iniName, name, sizeof name);
  IniFilePath(name, path, sizeof path);
  GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
  return value;
}

bool GetIniBool(const char* section, const char* key) {
  unsigned char first = ToUpper1252(static_cast<unsigned char>(GetIniString(section, key)[0]));
  return first == 'Y' || first == '1';
}

int GetIniInt(const char* section, const char* key) {
  long n = strtol(GetIniString(section, key), nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

const char* GetServiceIniString(const char* iniName, const char* service, const char* key) {
  static char value[4096];
  char name[32], path[MAX_PATH], section[64];
  NamedIniFile(iniName, name, sizeof name);
  IniFilePath(name, path, sizeof path);
  snprintf(section, sizeof section, "Service %.40s", service);
  GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
  return value;
}

int WriteIniString(const char* section, const char* key, const char* value) {
  char path[MAX_PATH];
  IniFilePath(kMainIni, path, sizeof path);
  return WritePrivateProfileStringA(section, key, value, path);
}

int WriteIniLong(const char* section, const char* key, unsigned long value) {
  char text[24];
  snprintf(text, sizeof text, "%lu", value);
  return WriteIniString(section, key, text);
}
