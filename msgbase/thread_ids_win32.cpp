// Loading and saving a library's .tid file.
#include <windows.h>

#include <cstring>

#include "core/fileio.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "msgbase/conf_files.h"
#include "msgbase/thread_ids.h"

namespace {
char s_fileName[260] = "";
}

int LoadThreadIds(const char* fileName) {
  ThreadIds.SetSize(0);
  StrCopyN(s_fileName, fileName ? fileName : "", sizeof s_fileName - 1);
  FILE* file = fopen_rw(s_fileName, FO_QUIET);
  if (!file) return 0;
  bool ok = ReadThreadIdLines(file, ThreadIds, PumpMessages);
  fileclose(file);
  if (!ok) {
    // Saving an empty list over it would lose the ids the file still holds.
    WarnBoxF("The thread list '%s' is damaged and was not read; it has not been changed.", s_fileName);
    s_fileName[0] = 0;
    return 0;
  }
  return 1;
}

int SaveThreadIds() {
  if (!s_fileName[0]) return 0;
  char temp[MAX_PATH];
  TempPathBeside(s_fileName, temp, sizeof temp);
  FILE* file = CreateTempBeside(temp);
  bool ok = file && WriteThreadIdLines(file, ThreadIds, PumpMessages);
  if (file) ok = CloseTemp(file) && ok;
  ok = ok && MoveOver(temp, s_fileName);
  if (!ok) {
    EraseFileOnce(temp);
    WarnBoxF("Unable to write '%s'", s_fileName);
    return 0;
  }
  ThreadIds.SetSize(0);
  return 1;
}
