// The current folder's user-information file.
#include <windows.h>

#include <cstring>

#include "core/fileio.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/appstate.h"
#include "msgbase/conf_files.h"
#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"
#include "msgbase/user_info.h"

namespace {
ConfRec* OpenFolder() { return CurrentFolder.Bound() ? static_cast<ConfRec*>(CurrentFolder.element) : nullptr; }

bool IsAddressFolder(const char* name) { return !_strnicmp(name, "CSI:", 4) || !_strnicmp(name, "x400:", 5); }

// "<Message Path><stem>.ui" and the file of the folder inside it.
bool UserInfoPaths(const ConfRec& folder, char* dir, char* file) {
  UserFilePath(g_app.userName, ".ui", dir, MAX_PATH);
  char base[sizeof folder.baseName + 1] = {};
  std::memcpy(base, folder.baseName, strnlen(folder.baseName, sizeof folder.baseName));
  // The base name is relative to the data directory and may name a
  // subdirectory; it must not lead out of the user's directory.
  if (!base[0] || base[0] == '\\' || base[0] == '/' || std::strchr(base, ':') || std::strstr(base, "..")) return false;
  return JoinPath(file, MAX_PATH, {dir, base});
}

// Makes the user's directory and any subdirectory the file's name holds.
void MakeDirectoriesFor(const char* dir, const char* file) {
  makedir(dir);
  char partial[MAX_PATH];
  for (const char* p = file + std::strlen(dir) + 1; (p = std::strpbrk(p, "\\/")) != nullptr; ++p) {
    size_t n = static_cast<size_t>(p - file);
    if (n >= sizeof partial) return;
    std::memcpy(partial, file, n);
    partial[n] = 0;
    makedir(partial);
  }
}
}  // namespace

void ReadUserInfo() {
  ConfRec* folder = OpenFolder();
  if (!folder) return;
  char dir[MAX_PATH], path[MAX_PATH];
  FILE* file = UserInfoPaths(*folder, dir, path) ? fopen_r(path, FO_BINARY | FO_QUIET) : nullptr;
  if (!file) {
    folder->flags &= ~CONF_HAS_USER_INFO;
    return;
  }
  UserInfoResult result = ApplyUserInfo(file, LogCva, folder->first, folder->last);
  fileclose(file);
  if (result != USERINFO_OK) {
    WarnBoxF("Your read marks in '%s' are damaged and were not used; the folder's shared read state applies.", path);
    folder->flags &= ~CONF_HAS_USER_INFO;
    return;
  }
  folder->flags |= CONF_HAS_USER_INFO;
  folder->userInfo = 0;
}

int WriteUserInfo() {
  ConfRec* folder = OpenFolder();
  if (!folder || IsAddressFolder(folder->name)) return 0;
  char dir[MAX_PATH], path[MAX_PATH], temp[MAX_PATH];
  if (!UserInfoPaths(*folder, dir, path)) return 0;
  MakeDirectoriesFor(dir, path);  // made with the first file; already there afterwards
  std::snprintf(temp, sizeof temp, "%s~", path);
  FILE* file = CreateTempBeside(temp);
  bool ok = file && WriteUserInfoRecords(file, LogCva, folder->first, folder->last);
  if (file) ok = CloseTemp(file) && ok;
  ok = ok && MoveOver(temp, path);
  if (!ok) {
    EraseFileOnce(temp);
    WarnBoxF("Unable to write '%s'", path);
    return 0;
  }
  folder->flags |= CONF_HAS_USER_INFO;
  return 1;
}
