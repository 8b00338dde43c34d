// The rights file of the message directory.
#include <windows.h>

#include <cstdio>

#include "core/fileio.h"
#include "core/rights.h"
#include "core/settings.h"

unsigned long ReadUserRights(const char* userName) {
  char path[2 * MAX_PATH];
  snprintf(path, sizeof path, "%ssecurity.ww", g_main.messagePath);
  // A missing file is not an error: everybody has the default rights.
  if (filetime(path) == static_cast<time_t>(-1)) return RIGHTS_DEFAULT;
  FILE* file = fopen_r(path, 0);
  if (!file) return RIGHTS_DEFAULT;
  unsigned long word = ReadUserRightsFrom(file, userName);
  fileclose(file);
  return word;
}
