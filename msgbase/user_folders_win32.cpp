// The user folder file on disk: reading and merging at log-in, writing back.
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_files.h"
#include "msgbase/user_folders.h"

char g_userFileName[260] = "";
long long g_userMergeConfnewTime = 0;

namespace {
const char* MessagePath() { return g_main.messagePathExpanded[0] ? g_main.messagePathExpanded : g_app.dataDir; }

void InMessagePath(const char* name, char* out, size_t size) { JoinPath(out, size, {MessagePath(), name}); }

bool IsDefaultUserFile(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return lstrcmpiA(slash ? slash + 1 : path, "default.usr") == 0;
}

bool Exists(const char* path) {
  char expanded[MAX_PATH];
  NormalisePath(path, expanded, sizeof expanded);
  return GetFileAttributesA(expanded) != INVALID_FILE_ATTRIBUTES;
}

// The file form, with a clear word for each way it can be unusable.
void ReportUnreadable(const char* path, UserFileResult result) {
  if (result == USERFILE_BAD_VERSION)
    WarnBoxF("'%s' is not a user folder file of a version this program can read; it has not been changed.", path);
  else
    WarnBoxF("The user folder file '%s' is damaged and was not read; it has not been changed.", path);
}

struct Busy {
  Busy() {
    BeginWait();
    ConferencesBusy = 1;
  }
  ~Busy() {
    ConferencesBusy = 0;
    EndWait();
  }
};
}  // namespace

void UserFilePath(const char* userName, const char* extension, char* out, size_t size) {
  char stem[9] = {};
  if (userName) std::memcpy(stem, userName, strnlen(userName, 8));
  char name[32];
  std::snprintf(name, sizeof name, "%s%s", stem, extension);
  InMessagePath(name, out, size);
}

bool CheckUserFile(const char* userName) {
  if (!userName || !userName[0]) return false;
  char path[MAX_PATH];
  UserFilePath(userName, ".usr", path, sizeof path);
  FILE* file = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!file) {
    UserFilePath(userName, ".bak", path, sizeof path);
    file = fopen_r(path, FO_BINARY | FO_QUIET);
  }
  if (!file) return false;
  UserFileHead head = {};
  UserFileResult result = ReadUserFileHead(file, &head);
  fileclose(file);
  return result == USERFILE_OK && lstrcmpiA(head.name, userName) == 0;
}

int rduconf() {
  DebugLog("rduconf: start\n");
  char path[MAX_PATH];
  if (g_userFileName[0])
    StrCopyN(path, g_userFileName, sizeof path - 1);
  else
    UserFilePath(g_app.userName, ".usr", path, sizeof path);
  FILE* file = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!file) {
    if (!IsDefaultUserFile(path)) msgwarn("Can't open user folder file");
    return 0;
  }
  Busy busy;
  // Read aside first: a damaged file leaves the list in memory as it was.
  VirtualArray mine("User folders", sizeof(ConfRec), CompareConfEntries);
  UserFileHead head = {};
  UserFileResult read = ReadUserFolders(file, mine, &head);
  fileclose(file);
  if (read != USERFILE_OK) {
    ReportUnreadable(path, read);
    return 0;
  }

  char confPath[MAX_PATH], markerPath[MAX_PATH];
  InMessagePath("conf.ww", confPath, sizeof confPath);
  InMessagePath("confnew.ww", markerPath, sizeof markerPath);
  VirtualArray catalogue("conf.ww", sizeof(ConfRec), CompareConfEntries);
  bool haveCatalogue = false;
  if (FILE* conf = fopen_rlock(confPath, FO_BINARY | FO_QUIET)) {
    g_userMergeConfnewTime = static_cast<long long>(filetime(markerPath));
    ConfFileResult result = ReadConfList(conf, catalogue, nullptr);
    fileclose(conf);
    if (result == CONFFILE_OK)
      haveCatalogue = true;
    else
      WarnBoxF("The folder list '%s' is damaged and was not read; it has not been changed.", confPath);
  }

  CurrentFolder.Detach();
  UserMergeResult merged = {false, false, true};
  if (haveCatalogue) {
    DebugLog("rduconf: before merge\n");
    UserMergeContext context = {head.name[0] ? head.name : g_app.userName, g_user.userFlags,
                                g_user.noAutoJoinTopic != 0, CheckUserFile};
    // The list is refilled at every merge: its blocks stay for the next one.
    Conferences.KeepBlocksWhenEmptied(true);
    merged = MergeUserFolders(mine, catalogue, Conferences, context);
    DebugLog("rduconf: after merge\n");
  } else {
    // Without a readable conf.ww the user's folders stay as they are rather
    // than all being dropped as vanished.
    Conferences.SetSize(0);
    Conferences.SetSize(mine.Count(), true);
    for (int i = 0; i < mine.Count(); ++i) {
      const void* from = mine.At(i);
      void* to = from ? Conferences.At(i) : nullptr;
      if (to) std::memcpy(to, from, sizeof(ConfRec));
    }
    if (!Conferences.Sorted()) Conferences.Sort();
  }
  if (!merged.ok) {
    WarnBoxF("The user folder file '%s' could not be merged with the folder list.", path);
    return 0;
  }
  if (merged.added) g_messageBaseHooks.applyFolderOrder();
  if (merged.changed) {
    g_messageBaseHooks.fillList();
    if (const char* open = OpenFolderNameOrNull()) g_messageBaseHooks.selectFolder(open);
    DebugLog("rduconf: after MBW update\n");
  }

  if (head.name[0])
    StrCopyN(g_app.userName, head.name, sizeof g_app.userName - 1);
  else if (!g_app.userName[0])
    msgwarn("You're user details have become corrupted.\n\nPlease contact your vendor.");
  StrCopyN(g_userPassword, head.password, sizeof g_userPassword - 1);
  g_userFoldersMerged = true;
  g_messageBaseHooks.loadUserInfo();
  DebugLog("rduconf: end\n");
  return 1;
}

int wtuconf() {
  DebugLog("wtuconf: start\n");
  if (!g_app.userName[0]) return 0;
  Busy busy;
  char path[MAX_PATH], backup[MAX_PATH], temp[MAX_PATH];
  UserFilePath(g_app.userName, ".usr", path, sizeof path);
  DebugLogF("wtuconf(): username='%s', file='%s'\n", g_app.userName, path);
  UserFilePath(g_app.userName, ".bak", backup, sizeof backup);
  TempPathBeside(path, temp, sizeof temp);

  for (int i = 0; i < Conferences.Count(); ++i) {
    ConfRec* rec = static_cast<ConfRec*>(Conferences.At(i));
    if (rec) rec->userInfo = static_cast<uint32_t>(rec->last);
  }

  // The new file is complete and checked before the old one moves to the backup.
  FILE* file = CreateTempBeside(temp);
  bool ok = file && WriteUserFolders(file, Conferences, g_app.userName, g_userPassword);
  if (file) ok = CloseTemp(file) && ok;
  if (ok && Exists(path)) {
    if (Exists(backup)) EraseFile(backup);
    if (filerename(path, backup) != 0)
      ok = MoveOver(temp, path);  // no backup this time, but a good file
    else if (!MoveOver(temp, path)) {
      filerename(backup, path);
      ok = false;
    }
  } else if (ok) {
    ok = MoveOver(temp, path);
  }
  if (!ok) {
    EraseFileOnce(temp);
    WarnBoxF("Unable to write '%s'", path);
    return 0;
  }
  DebugLog("wtuconf: end\n");
  return 1;
}
