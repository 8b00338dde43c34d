#include "core/folder_paths.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/folder_names.h"
#include "core/service_keys.h"
#include "core/text1252.h"

char* bscname(char* out, size_t size) {
  if (size == 0) return out;
  char key[SERVICE_KEY_MAX + 1] = "";
  const char* open = OpenFolderNameOrNull();
  getservice(key, open);
  char name[16];
  snprintf(name, sizeof name, "%.8s.bsc", key);
  JoinPath(out, size, {g_app.dataDir, key, name});
  return out;
}

int MakeStoredPath(char* path, size_t size) {
  auto hasDrive = [](const char* p) { return IsAlpha1252(static_cast<unsigned char>(p[0])) && p[1] == ':'; };
  if (!path || !hasDrive(path)) return 1;
  const char* dataDir = g_app.dataDir;
  if (hasDrive(dataDir) &&
      ToUpper1252(static_cast<unsigned char>(dataDir[0])) == ToUpper1252(static_cast<unsigned char>(path[0]))) {
    size_t cut = path[2] == '\\' ? 3 : 2;
    std::memmove(path, path + cut, std::strlen(path + cut) + 1);
    return 0;
  }
  if (dataDir[0] != '\\' || dataDir[1] != '\\') return 1;
  path[0] = static_cast<char>(ToUpper1252(static_cast<unsigned char>(path[0])));
  char drive[3] = {path[0], ':', 0};
  char remote[MAX_PATH];
  DWORD length = sizeof remote;
  if (GetNetConnection(drive, remote, &length) != NO_ERROR) return 1;
  remote[sizeof remote - 1] = 0;
  char joined[2 * MAX_PATH];
  snprintf(joined, sizeof joined, "%s%s", remote, path + 2);
  // A result that does not fit stays as it was rather than cut.
  if (std::strlen(joined) >= size) return 1;
  std::strcpy(path, joined);
  return 0;
}
