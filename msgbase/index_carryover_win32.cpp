// A folder's index read outside the open topic, the carry-over of marks into
// a rebuilt index, and the log-in's refresh of the unread counts.
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/user_settings.h"
#include "msgbase/conf_files.h"
#include "msgbase/conf_list.h"
#include "msgbase/index_carryover.h"
#include "msgbase/read_state.h"
#include "msgbase/user_folders.h"
#include "msgbase/user_info.h"

namespace {
ConfRec* BoundFolder() { return CurrentFolder.Bound() ? static_cast<ConfRec*>(CurrentFolder.element) : nullptr; }

bool IsAddressFolder(const char* name) { return !_strnicmp(name, "CSI:", 4) || !_strnicmp(name, "x400:", 5); }

// The data directory joined with the folder's base name, ".ind" for its extension.
bool IndexPath(const ConfRec& folder, char* out) {
  size_t n = strnlen(folder.baseName, sizeof folder.baseName);
  if (!n) return false;
  char base[sizeof folder.baseName + 1];
  std::memcpy(base, folder.baseName, n);
  base[n] = 0;
  if (!JoinPath(out, MAX_PATH, {g_app.dataDir, base})) return false;
  setindext(out, MAX_PATH);
  return true;
}

void EmptyTopicArrays() {
  IndexArray.SetSize(0, true);
  LogCva.SetSize(0, true);
}

// The user's folder file path, the base of the order file's name.
void UserPath(char* out) {
  if (g_userFileName[0])
    lstrcpynA(out, g_userFileName, MAX_PATH);
  else
    UserFilePath(g_app.userName, ".usr", out, MAX_PATH);
}
}  // namespace

int ReadIndexFile() {
  ConfRec* folder = BoundFolder();
  EmptyTopicArrays();
  char path[MAX_PATH];
  if (!folder || !IndexPath(*folder, path)) return 0;
  FILE* file = fopen_rlock(path, FO_BINARY | FO_QUIET);
  if (!file) return 0;
  TopicIndexHeader header;
  int result = ReadTopicIndex(StdioSource(file), TopicIndexArrays{&IndexArray, &LogCva, nullptr}, &header);
  fileclose(file);
  if (result != kIndexRead || header.version == kIndexVersion11006) {
    // The folder's own open rebuilds a damaged index; here it is only noted.
    if (result != kIndexRead) DebugLogF("ReadIndexFile: '%s' is damaged and was not used\n", path);
    EmptyTopicArrays();
    return 0;
  }
  folder->first = header.first;
  folder->last = header.last;
  return 1;
}

int ConvertIndexFile(const char* indexFile, const char* olderFile) {
  FILE* older = fopen_rlock(olderFile, FO_BINARY | FO_QUIET);
  if (!older) return 1;  // nothing to carry
  FILE* index = fopen_rlock(indexFile, FO_BINARY | FO_QUIET);
  if (!index) {
    fileclose(older);
    WarnBoxF("Unable to read '%s'; the marks of '%s' were not carried over.", indexFile, olderFile);
    return 0;
  }
  VirtualArray indexArray("Carried index", sizeof(IndexRec));
  VirtualArray logCva("Carried log cva", sizeof(MsgIndexRec), CompareMsgNumbers);
  const TopicIndexArrays arrays{&indexArray, &logCva, nullptr};
  TopicIndexHeader header;
  LogSource olderSource = StdioSource(older);
  int carried = 0;
  CarryOverResult result = CarryIndexMarks(StdioSource(index), &olderSource, arrays, &header, &carried);
  fileclose(index);
  fileclose(older);
  switch (result) {
    case CARRYOVER_INDEX_UNREADABLE:
      WarnBoxF("The index '%s' is damaged or could not be read; nothing was changed.", indexFile);
      return 0;
    case CARRYOVER_OLDER_DAMAGED:
      WarnBoxF("The old index '%s' is damaged; its marks were not carried over and it was kept.", olderFile);
      return 0;
    case CARRYOVER_OLDER_UNKNOWN:
      // Of no index version: nothing in it to keep.
      EraseFile(olderFile);
      return 1;
    case CARRYOVER_OK: break;
  }

  if (carried > 0) {
    char temp[MAX_PATH];
    std::snprintf(temp, sizeof temp, "%s~", indexFile);
    FILE* out = CreateTempBeside(temp);
    bool ok = out && WriteTopicIndex(StdioSink(out), arrays, header.first, header.last, 0) == 1;
    if (out) ok = CloseTemp(out) && ok;
    ok = ok && MoveOver(temp, indexFile);
    if (!ok) {
      EraseFileOnce(temp);
      WarnBoxF("Unable to write '%s'; the marks of '%s' were not carried over and it was kept.", indexFile, olderFile);
      return 0;
    }
  }
  EraseFile(olderFile);
  return 1;
}

void LoadUserInfo() {
  g_recomputeReadMark = g_user.alwaysRefreshUnread != 0;
  if (g_messageBaseHooks.longOperation()) return;
  // The arrays it fills are the open topic's.
  if (OpenFolderNameOrNull()) return;
  for (int i = 0; i < Conferences.Count(); ++i) {
    if (!CurrentFolder.Seek(Conferences, i)) continue;
    ConfRec* folder = BoundFolder();
    if (!folder || (folder->flags & CONF_RESIGNED)) continue;
    char name[sizeof folder->name + 1];
    size_t n = strnlen(folder->name, sizeof folder->name);
    std::memcpy(name, folder->name, n);
    name[n] = 0;
    // No news since last seen: the count kept in the folder file stands.
    if (IsAddressFolder(name) || folder->userInfo == static_cast<uint32_t>(folder->last)) continue;
    if (!ReadIndexFile()) continue;
    MarkReadUpTo(LogCva, folder->readMark);
    ReadUserInfo();
    UnreadCountOptions options;
    options.folderName = name;
    options.last = folder->last;
    folder->waiting = static_cast<int32_t>(countunread(LogCva, options, nullptr));
    folder->userInfo = static_cast<uint32_t>(folder->last);
  }
  CurrentFolder.Detach();
  EmptyTopicArrays();
}

void ApplyUserFolderOrder() {
  char user[MAX_PATH], path[MAX_PATH];
  UserPath(user);
  FILE* file = FolderOrderPath(user, path, sizeof path) ? fopen_r(path, FO_QUIET) : nullptr;
  if (!file) {
    // Without an order file every folder keeps the list's own order.
    for (int i = 0; i < Conferences.Count(); ++i)
      if (auto* rec = static_cast<ConfRec*>(Conferences.At(i))) rec->order = 0;
    return;
  }
  LoadFolderOrder(StdioSource(file), Conferences);
  fileclose(file);
}

void InstallUserInfoHooks() {
  g_messageBaseHooks.loadUserInfo = LoadUserInfo;
  g_messageBaseHooks.applyFolderOrder = ApplyUserFolderOrder;
}
