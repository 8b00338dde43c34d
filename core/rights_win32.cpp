// The rights file of the message directory.
#include <windows.h>

#include <cstdio>

#include "core/fileio.h"
#include "core/paths.h"
#include "core/rights.h"
#include "core/settings.h"

unsigned long ReadUserRights(const char* userName) {
  char path[MAX_PATH];
  JoinPath(path, sizeof path, {g_main.messagePath, "security.ww"});
  // A missing file is not an error: everybody has the default rights.
  if (filetime(path) == static_cast<time_t>(-1)) return RIGHTS_DEFAULT;
  FILE* file = fopen_r(path, 0);
  if (!file) return RIGHTS_DEFAULT;
  unsigned long word = ReadUserRightsFrom(file, userName);
  fileclose(file);
  return word;
}
