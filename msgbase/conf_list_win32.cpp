// conf.ww on disk: the readers with their held file, and the writers.
#include <io.h>
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "msgbase/conf_files.h"
#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"

namespace {
struct HeldList {
  FILE* file = nullptr;
  bool held = false;
  bool damaged = false;  // the last read met a damaged file: writing it back would lose folders
};
HeldList s_conferences;
HeldList s_puva;
uint32_t s_header = 0;  // conf.ww's header word, written back as read

void DataPath(const char* name, char* out) { JoinPath(out, MAX_PATH, {g_app.dataDir, name}); }

void ReportDamaged(const char* path) {
  WarnBoxF("The folder list '%s' is damaged and was not read; it has not been changed.", path);
}

void ReleaseHold(HeldList& list) {
  if (list.file) fileclose(list.file);
  list.file = nullptr;
  list.held = false;
}

// Reads conf.ww into `array`; shared by both readers. Returns the opened
// stream (held or to be closed by the caller), or null.
FILE* OpenList(const char* path, int mode, bool quiet) {
  int flags = FO_BINARY | (quiet ? FO_QUIET : 0);
  return mode == 1 ? fopen_rw(path, flags) : fopen_rlock(path, flags);
}
}  // namespace

namespace {
// Rows of the message-base window hold indices into the list, so every read
// of it refills the window, whether or not the read succeeded.
int ConferencesReread(int result) {
  g_messageBaseHooks.fillList();
  return result;
}
}  // namespace

int rdconf(int mode) {
  DebugLog("rdconf: start\n");
  g_userFoldersMerged = false;
  if (mode == -1) {
    ReleaseHold(s_conferences);
    mode = 0;
  }
  if (s_conferences.held) {
    msgwarn("Error: attempting to lock twice");
    return 0;
  }
  InitDefaults();
  char path[MAX_PATH];
  DataPath("conf.ww", path);
  ConferencesBusy = 1;
  FILE* file = OpenList(path, mode, true);
  if (file && mode == 1) {
    s_conferences.file = file;
    s_conferences.held = true;
  }
  CurrentFolder.Detach();
  Conferences.SetSize(0);
  if (!file) {
    s_conferences.held = false;
    ConferencesBusy = 0;
    DebugLog("rdconf: end\n");
    return ConferencesReread(0);
  }
  std::fseek(file, 0, SEEK_SET);
  uint32_t header = 0;
  ConfFileResult result = ReadConfList(file, Conferences, &header);
  if (result != CONFFILE_OK) {
    // Nothing may be written back from a list that was not read whole.
    if (mode == 1)
      ReleaseHold(s_conferences);
    else
      fileclose(file);
    s_conferences.damaged = true;
    ConferencesBusy = 0;
    ReportDamaged(path);
    DebugLog("rdconf: end\n");
    return ConferencesReread(0);
  }
  s_header = header;
  s_conferences.damaged = false;
  // The limit itself is a full list, not too many: a rebuild fills it exactly.
  if (Conferences.Count() > MAX_CONFERENCES) msgwarn("Too many folders!");
  for (int i = 0; i < Conferences.Count();) {
    ConfRec* rec = static_cast<ConfRec*>(Conferences.At(i));
    if (!rec) break;
    if (PassesFolderFilter(*rec))
      rec->flags |= CONF_FILTERED;
    else
      rec->flags &= ~CONF_FILTERED;
    if (!ConfRecUsable(*rec))
      Conferences.RemoveAt(i);
    else
      ++i;
  }
  if (mode != 1) fileclose(file);
  ConferencesBusy = 0;
  DebugLog("rdconf: end\n");
  return ConferencesReread(1);
}

int wtconf() {
  DebugLog("wtconf: start\n");
  char path[MAX_PATH];
  DataPath("conf.ww", path);
  if (s_conferences.damaged) {
    ReleaseHold(s_conferences);
    ReportDamaged(path);
    DebugLog("wtconf: end\n");
    return 0;
  }
  SortConfList(Conferences);
  ConferencesBusy = 1;
  bool ok = s_conferences.file ? RewriteHeldConfList(s_conferences.file, path, Conferences, s_header)
                               : ReplaceConfList(path, Conferences, s_header);
  ReleaseHold(s_conferences);
  ConferencesBusy = 0;
  if (!ok) {
    WarnBoxF("Unable to write '%s'", path);
    DebugLog("wtconf: end\n");
    return 0;
  }
  char marker[MAX_PATH];
  DataPath("confnew.ww", marker);
  if (FILE* touch = fopen_w(marker, FO_BINARY)) fileclose(touch);
  DebugLog("wtconf: end\n");
  return 1;
}

int rdconfpuva(int mode) {
  if (mode == -1) {
    ReleaseHold(s_puva);
    mode = 0;
  }
  if (s_puva.held) {
    msgwarn("Error: attempting to lock twice");
    return 0;
  }
  char path[MAX_PATH];
  DataPath("conf.ww", path);
  FILE* file = OpenList(path, mode, true);
  if (file && mode == 1) {
    s_puva.file = file;
    s_puva.held = true;
  }
  ConfPuva.SetSize(0);
  if (!file) {
    s_puva.held = false;
    WarnBoxF("Can't open '%s'", path);
    return 0;
  }
  std::fseek(file, 0, SEEK_SET);
  ConfFileResult result = ReadConfList(file, ConfPuva, nullptr);
  if (result != CONFFILE_OK) {
    if (mode == 1)
      ReleaseHold(s_puva);
    else
      fileclose(file);
    s_puva.damaged = true;
    ReportDamaged(path);
    return 0;
  }
  s_puva.damaged = false;
  for (int i = 0; i < ConfPuva.Count();) {
    ConfRec* rec = static_cast<ConfRec*>(ConfPuva.At(i));
    if (!rec) break;
    if (!rec->name[0] || !std::strchr(rec->name, '/'))
      ConfPuva.RemoveAt(i);
    else
      ++i;
  }
  if (mode != 1) fileclose(file);
  return 1;
}

int wtconfpuva() {
  char path[MAX_PATH];
  DataPath("conf.ww", path);
  if (s_puva.damaged) {
    ReleaseHold(s_puva);
    ReportDamaged(path);
    return 0;
  }
  SortConfList(ConfPuva);
  bool ok = s_puva.file ? RewriteHeldConfList(s_puva.file, path, ConfPuva, s_header)
                        : ReplaceConfList(path, ConfPuva, s_header);
  ReleaseHold(s_puva);
  if (!ok) {
    WarnBoxF("Unable to write '%s'", path);
    return 0;
  }
  char marker[MAX_PATH];
  DataPath("confnew.ww", marker);
  if (FILE* touch = fopen_w(marker, FO_BINARY)) fileclose(touch);
  return 1;
}
