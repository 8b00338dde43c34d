// Reindexing: the folder list and the index files rebuilt from the logs on
// disk, with the message base claimed for this instance alone.
//
// Nothing here leaves a folder without its log: the old conf.ww stays held
// and unchanged until the new list is written whole, a topic handed to the
// import program keeps its log under the ".tmp" name until the program has
// rebuilt it, and a ".tmp" whose log is gone (a rebuild stopped dead, or the
// import program failed) is put back in the log's place.
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_lookup.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "msgbase/conf_files.h"
#include "msgbase/import_queue.h"
#include "msgbase/index_carryover.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "msgbase/message_ops.h"
#include "msgbase/reindex_rules.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "resources/msgbase_ids.h"

VirtualArray Filenames("Filenames", kFilenameSize);

namespace {

constexpr int kWalkDepth = 8;
FILE* s_userLock = nullptr;
bool s_fullWarned = false;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

long long FileLength(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string WithExtension(const std::string& path, const char* extension) {
  char out[MAX_PATH];
  lstrcpynA(out, path.c_str(), sizeof out);
  setext(out, extension, sizeof out);
  return out;
}

std::string EntryAt(int slot) {
  char entry[kFilenameSize + 1] = {};
  std::memcpy(entry, Filenames.At(slot), kFilenameSize);
  return entry;
}

void WalkLevel(const std::string& top, const std::string& relative, int depth, bool (*enter)(void*, const char*),
               void (*file)(void*, const char*, const char*), void* context) {
  if (depth > kWalkDepth) return;
  WIN32_FIND_DATAA found;
  std::string pattern = top + relative + (relative.empty() ? "*" : "\\*");
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> dirs;
  do {
    if (found.cFileName[0] == '.' || found.cFileName[0] == '%') continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::string path = relative.empty() ? std::string(found.cFileName) : relative + "\\" + found.cFileName;
      if (enter(context, path.c_str())) dirs.push_back(path);
    } else {
      file(context, relative.c_str(), found.cFileName);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  for (const std::string& dir : dirs) WalkLevel(top, dir, depth + 1, enter, file, context);
}

bool EnterForLogs(void*, const char* relative) {
  if (stristr(relative, ".ui")) return false;
  if (!std::strchr(relative, '\\')) return IsServiceDir(relative);
  return true;
}

// The queue keeps a path on the current drive without its drive letter.
void UnqueueHandedCopy(const std::string& path) {
  if (UnqueueImport(path.c_str())) return;
  if (path.size() > 2 && path[1] == ':') UnqueueImport(path.substr(2).c_str());
}

// A topic's ".tmp" copy whose log is gone goes back in the log's place (the
// copy is plain, whatever the log was). True when it was put back.
bool PutBackHandedCopy(const char* relativeDir, const char* name) {
  std::string temp = DataFile((std::string(relativeDir) + "\\" + name).c_str());
  std::string log = temp.substr(0, temp.size() - 4);
  for (const char* extension : {"", ".r", ".c", ".rc"}) {
    if (Exists(log + extension)) return false;  // the import program rebuilt it, or it never left
  }
  UnqueueHandedCopy(temp);
  if (!MoveFileA(temp.c_str(), log.c_str())) return false;
  char line[MAX_PATH + 64];
  std::snprintf(line, sizeof line, "-- %s was put back from its copy\r\n", log.c_str());
  PrintStatusLine(line);
  return true;
}

// Copies handed to the import program, found by the walk and put back after it.
struct HandedCopies {
  std::vector<std::pair<std::string, std::string>> found;  // directory, name
};

void AppendEntry(const char* relativeDir, const char* name);

void TakeLog(void* context, const char* relativeDir, const char* name) {
  const char* dot = std::strrchr(name, '.');
  if (dot && SameText1252(dot, ".tmp") && LogKindOf(relativeDir, "x") != kNotALog) {
    static_cast<HandedCopies*>(context)->found.emplace_back(relativeDir, name);
    return;
  }
  AppendEntry(relativeDir, name);
}

void AppendEntry(const char* relativeDir, const char* name) {
  if (LogKindOf(relativeDir, name) == kNotALog) return;
  char entry[MAX_PATH];
  std::snprintf(entry, sizeof entry, "%s\\%s", relativeDir, name);
  StrLower1252(entry);
  if (std::strlen(entry) >= kFilenameSize) {
    char line[MAX_PATH + 64];
    std::snprintf(line, sizeof line, "File name %s is too long: skipped\r\n", entry);
    PrintStatusLine(line);
    return;
  }
  if (Filenames.Count() >= MAX_CONFERENCES) {
    if (!s_fullWarned) msgwarn("Can't process any more folders");
    s_fullWarned = true;
    return;
  }
  char element[kFilenameSize] = {};
  std::memcpy(element, entry, std::strlen(entry));
  Filenames.Append(element);
}

bool HeldByAnother(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

std::vector<std::string> OtherUsersLoggedOn() {
  std::vector<std::string> users;
  char own[9] = {};
  lstrcpynA(own, g_app.userName, sizeof own);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(DataFile("*.ulk").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return users;
  do {
    std::string stem = found.cFileName;
    stem = stem.substr(0, stem.find('.'));
    if (SameText1252(stem.c_str(), own)) continue;
    if (HeldByAnother(DataFile(found.cFileName))) {
      char lower[MAX_PATH];
      lstrcpynA(lower, stem.c_str(), sizeof lower);
      StrLower1252(lower);
      users.push_back(lower);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return users;
}

bool CopyBytes(const std::string& from, const std::string& to) {
  // Beside the target first, so an old copy stays whole until the new one is.
  std::string temp = to + "~";
  EraseFileOnce(temp.c_str());
  FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) return false;
  FILE* out = CreateTempBeside(temp.c_str());
  bool ok = out != nullptr;
  std::vector<char> buffer(1 << 16);
  size_t n;
  while (ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
    ok = std::fwrite(buffer.data(), 1, n, out) == n;
  ok = ok && !std::ferror(in);
  std::fclose(in);
  if (out) ok = CloseTemp(out) && ok;
  ok = ok && MoveOver(temp.c_str(), to.c_str());
  if (!ok) EraseFileOnce(temp.c_str());
  return ok;
}

// The slot of the folder of that name in the list, or -1.
int FolderSlot(const char* name) {
  SmartPointer found;
  if (!findconf(found, name)) return -1;
  int slot = found.Index(Conferences);
  found.Detach();
  return slot;
}

ConfRec* FindFolder(const char* name) {
  int slot = FolderSlot(name);
  return slot < 0 ? nullptr : static_cast<ConfRec*>(Conferences.At(slot));
}

void RemoveFolder(const char* name) {
  int slot = FolderSlot(name);
  if (slot < 0) return;
  CurrentFolder.Detach();
  Conferences.RemoveAt(slot);
}

void ReportCancelled() {
  // The list from before the reindex goes back, so the program can go on.
  std::string backup = DataFile("confww.bak"), list = DataFile("conf.ww");
  rdconf(-1);
  bool restored = Exists(backup) && CopyBytes(backup, list);
  if (!restored) EraseFileOnce(list.c_str());
  NoteUnlessUnattended(restored ? "Reindexing halted.\n\nThe folder list from before the reindex was put back; "
                                  "folders it does not know appear after the next Reindex."
                                : "Reindexing halted.\n\nYou must run Reindex again before continuing");
}

// One entry of "Filenames"; false when the rebuild stops.
bool RebuildEntry(int& slot, DWORD started, int total) {
  std::string entry = EntryAt(slot);
  std::string service = entry.substr(0, std::min(entry.find('\\'), static_cast<size_t>(8)));
  LoadServiceSettings(service.c_str());
  LogKind kind = LogKindOfExtension(entry.c_str());
  if (kind == kNotALog) return true;
  PumpMessages();
  ConfRec rec = {};
  std::string name = FolderNameOfEntry(entry.c_str());
  lstrcpynA(rec.name, name.c_str(), sizeof rec.name);
  std::memcpy(rec.baseName, entry.c_str(), std::min(entry.size(), sizeof rec.baseName - 1));
  rec.flags = kind == kScrambledLog ? CONF_SCRAMBLED : 0;
  rec.order = -1;
  char shown[101];
  lstrcpynA(shown, rec.name, sizeof shown);
  FixNameCase(shown);
  ScanSetText(IDC_SCAN_FOLDER, shown);

  char line[400];
  std::string log = FolderLog(rec.baseName);
  if (log.empty()) return true;
  if (ConfRec* other = FindFolder(rec.name)) {
    // Another log holds this folder: its index (the same file) stays as built.
    std::snprintf(line, sizeof line, "Files %.*s and %s both hold messages from %s\n",
                  static_cast<int>(sizeof other->baseName), other->baseName, entry.c_str(), rec.name);
    PrintStatusLine(line);
    return true;
  }
  std::string index = WithExtension(log, ".ind"), older = WithExtension(log, ".ond");
  bool oldIndex = false;
  if (Exists(index)) {
    EraseFileOnce(older.c_str());
    oldIndex = MoveFileA(index.c_str(), older.c_str()) != 0;
    DieAt("index move");
  } else if (Exists(older)) {
    oldIndex = true;  // set aside by a rebuild that was stopped: its marks are still to carry over
  }
  Conferences.InsertSorted(&rec);
  bool opened = OpenFolderTopic(rec.name) && g_topic.log;
  if (!opened || LogCva.Count() == 0) {
    if (g_topic.log) logclose();
    std::snprintf(line, sizeof line, "Message file %s contains no messages\n", entry.c_str());
    EraseFileOnce(index.c_str());
    EraseFileOnce(WithExtension(log, ".thr").c_str());
    EraseFileOnce(older.c_str());
    PrintStatusLine(line);
    RemoveFolder(rec.name);
    return true;
  }
  ConfRec* live = CheckTopicIndex();
  bool sound = live != nullptr;
  if (sound && g_messageOpsHooks.canModerateTopic(rec.name)) live->flags |= 8;
  logclose();
  if (oldIndex) ConvertIndexFile(index.c_str(), older.c_str());
  EraseFileOnce(older.c_str());
  DieAt("scan");
  if (!sound) {
    RemoveFolder(rec.name);
    if (!g_app.cancelTask) RebuildTopic(slot);
  }
  if (g_app.cancelTask) return false;
  ScanShowElapsed(started);
  ScanSetProgress(slot + 1, total);
  return true;
}

}  // namespace

// ---- claiming the base ----

int ClaimMessageBase() {
  if (HWND import = FindWindowA("MsgImport", nullptr)) {
    LockImportQueue(false);
    if (ImportQueue.Count() > 0 && !AskUnlessUnattended("Okay to shutdown message import ?", false)) return 0;
    SendMessageA(import, WM_COMMAND, 2, 0);
    DWORD until = GetTickCount() + 3000;
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
      PumpMessages();
      Sleep(50);
    }
  }
  if (s_userLock) return 1;
  s_userLock = openuserlock("usrlock");
  if (!s_userLock) {
    NoteUnlessUnattended("System is already waiting for users to log off\r\n");
    return 0;
  }
  if (!g_app.userName[0]) return 1;
  bool listed = false;
  for (;;) {
    std::vector<std::string> users = OtherUsersLoggedOn();
    if (users.empty()) return 1;
    if (!listed) {
      PrintStatusLine("Waiting for all users to log off\r\n");
      PrintStatusLine("Users currently logged on:\r\n");
      listed = true;
    }
    for (const std::string& user : users) PrintStatusLine(("  " + user + "\r\n").c_str());
    if (!AskUnlessUnattended("Continue waiting ?", false)) {
      ReleaseMessageBase();
      return 0;
    }
  }
}

void ReleaseMessageBase() {
  // Closing deletes it.
  if (s_userLock) fileclose(s_userLock);
  s_userLock = nullptr;
}

// ---- the walk ----

void WalkDataDirectory(const char* dir, bool (*enter)(void* context, const char* relativeDir),
                       void (*file)(void* context, const char* relativeDir, const char* name), void* context) {
  WalkLevel(dir, "", 0, enter, file, context);
}

void ScanForLogs() {
  s_fullWarned = false;
  HandedCopies copies;
  WalkDataDirectory(g_app.dataDir, EnterForLogs, TakeLog, &copies);
  for (const auto& [dir, name] : copies.found) {
    if (!PutBackHandedCopy(dir.c_str(), name.c_str())) continue;
    AppendEntry(dir.c_str(), name.substr(0, name.size() - 4).c_str());
  }
}

// ---- one topic ----

ConfRec* CheckTopicIndex() {
  ConfRec* rec = CurrentFolder.Bound() ? static_cast<ConfRec*>(CurrentFolder.element) : nullptr;
  if (!rec || !g_topic.log) return nullptr;
  std::vector<MsgIndexRec> records(static_cast<size_t>(LogCva.Count()));
  for (int i = 0; i < LogCva.Count(); ++i) records[i] = *static_cast<MsgIndexRec*>(LogCva.At(i));
  std::string fault = CheckIndexRecords(records.data(), records.size(), rec->first, rec->last);
  if (fault.empty()) return rec;
  char head[200];
  std::snprintf(head, sizeof head, "File %.*s has errors:\r\n", static_cast<int>(sizeof rec->baseName), rec->baseName);
  PrintStatusLine(head);
  PrintStatusLine(fault.c_str());
  return nullptr;
}

int copyfile(const char* source, const char* destination) {
  FILE* in = fopen_rlock(source, FO_BINARY | FO_QUIET);
  if (!in) return 0;
  FILE* out = fopen_w(destination, FO_BINARY | FO_QUIET);
  if (!out) {
    fileclose(in);
    return 0;
  }
  std::vector<unsigned char> buffer(8192);
  size_t n;
  bool ok = true;
  while (ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<unsigned char>((buffer[i] << 4) | (buffer[i] >> 4));
    ok = std::fwrite(buffer.data(), 1, n, out) == n;
  }
  ok = ok && !std::ferror(in) && std::fflush(out) == 0 && !std::ferror(out) &&
       FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out))));
  fileclose(in);
  fileclose(out);
  DieAt("copyfile");
  if (!ok) {
    // The source stays; a part-written destination must not pass for a copy.
    EraseFileOnce(destination);
    return 0;
  }
  EraseFileOnce(source);
  return 1;
}

void RebuildTopic(int slot) {
  std::string entry = EntryAt(slot);
  std::string log = FolderLog(entry.c_str());
  long long size = log.empty() ? -1 : FileLength(log);
  if (size < 0) return;
  ULARGE_INTEGER free;
  if (GetDiskFreeSpaceExA(g_app.dataDir, &free, nullptr, nullptr) &&
      free.QuadPart < static_cast<unsigned long long>(size) + 8192) {
    ScanSetText(IDC_SCAN_STATUS, "Not enough disk space");
    return;
  }
  char service[16];
  lstrcpynA(service, entry.substr(0, entry.find('\\')).c_str(), sizeof service);
  StrLower1252(service);
  const char* dot = std::strrchr(entry.c_str(), '.');
  bool scrambled = dot && !std::strchr(dot, '\\') && (std::strchr(dot, 'c') || std::strchr(dot, 'C'));
  std::string temp = WithExtension(log, ".tmp");
  EraseFileOnce(WithExtension(log, ".ind").c_str());
  EraseFileOnce(WithExtension(log, ".thr").c_str());
  EraseFileOnce(temp.c_str());
  bool moved = scrambled ? copyfile(log.c_str(), temp.c_str()) == 1 : MoveFileA(log.c_str(), temp.c_str()) != 0;
  if (!moved) return;
  DieAt("log move");
  wtconf();
  QueueImport(service, temp.c_str(), "build", 0x00000C00);
  EraseFileOnce(DataFile("import.ok").c_str());
  g_maintenanceHooks.runAndWait("import32.exe build");
  char line[MAX_PATH + 64];
  if (!Exists(DataFile("import.ok"))) {
    std::snprintf(line, sizeof line, "-- ERROR: file %s requires manual processing\r\n", log.c_str());
    PrintStatusLine(line);
    // The log goes back as it was, and the program is not asked again.
    if (!Exists(log)) {
      UnqueueHandedCopy(temp);
      if (scrambled)
        copyfile(temp.c_str(), log.c_str());
      else
        MoveFileA(temp.c_str(), log.c_str());
    }
  } else {
    EraseFileOnce(temp.c_str());
    PrintStatusLine("-- Errors fixed by Message Import\r\n");
  }
  rdconf(1);
}

void RestoreFolderFlags() {
  if (Conferences.Count() == 0) return;
  FILE* file = fopen_rlock(DataFile("confww.bak").c_str(), FO_BINARY | FO_QUIET);
  if (!file) return;
  VirtualArray backup("confww.bak", sizeof(ConfRec));
  uint32_t header = 0;
  ConfFileResult result = ReadConfList(file, backup, &header);
  fileclose(file);
  if (result != CONFFILE_OK) return;
  for (int i = 0; i < backup.Count(); ++i) {
    const ConfRec* old = static_cast<ConfRec*>(backup.At(i));
    char name[sizeof old->name + 1] = {};
    std::memcpy(name, old->name, strnlen(old->name, sizeof old->name));
    if (ConfRec* live = FindFolder(name)) live->flags |= old->flags & 0x998;
  }
}

// ---- the command ----

int RebuildMessageBase(bool ask) {
  CloseSplash();
  int scope = ask ? AskScope("WhichBuild") : kScopeAll;
  if (!scope) return 0;
  char remembered[100];
  lstrcpynA(remembered, g_topic.openName, sizeof remembered);
  bool wasOpen = g_topic.log != nullptr;
  if (wasOpen) logclose();
  const bool listRead = rdconf(0) != 0;
  std::vector<std::string> marked;
  for (int i = 0; i < Conferences.Count(); ++i) {
    const ConfRec* rec = static_cast<ConfRec*>(Conferences.At(i));
    if (scope != kScopeAll && InScope(*rec, scope)) marked.push_back(rec->name);
  }
  auto reopen = [&] {
    if (wasOpen && remembered[0] && !(g_app.mainWindow && IsIconic(g_app.mainWindow))) SwitchTopic(remembered);
  };
  if (!ClaimMessageBase()) {
    if (g_app.userName[0] && CheckUserFile(g_app.userName)) rduconf();
    reopen();
    return 0;
  }
  BeginWait();
  CreateScanDialog("Reindexing Message Base");
  std::string list = DataFile("conf.ww");
  bool ok = true;
  if (FileLength(list) > 10 && !CopyBytes(list, DataFile("confww.bak"))) {
    WarnBoxF("Can't write '%s'", DataFile("confww.bak").c_str());
    ok = false;
  }
  // A list that could not be read is kept in the backup; an empty one takes its place.
  if (ok && !listRead) {
    VirtualArray empty("Conferences empty", sizeof(ConfRec));
    ok = ReplaceConfList(list.c_str(), empty, 0);
  }
  ok = ok && rdconf(1);
  if (!ok) {
    DestroyScanDialog();
    ReleaseMessageBase();
    EndWait();
    reopen();
    return 0;
  }
  int result = 0;
  {
    MaintenanceRun running;
    Filenames.SetSize(0);
    if (scope == kScopeAll) {
      Conferences.SetSize(0);
      CurrentFolder.Detach();
      ScanForLogs();
    } else {
      for (const std::string& name : marked) {
        ConfRec* rec = FindFolder(name.c_str());
        if (!rec) continue;
        char element[kFilenameSize] = {};
        std::memcpy(element, rec->baseName, kFilenameSize - 1);
        Filenames.Append(element);
        RemoveFolder(name.c_str());
      }
    }
    const DWORD started = GetTickCount();
    const int total = Filenames.Count();
    ScanSetProgress(0, total);
    for (int slot = 0; slot < Filenames.Count(); ++slot)
      if (!RebuildEntry(slot, started, total)) break;
    bool cancelled = g_app.cancelTask;
    DestroyScanDialog();
    g_app.cancelTask = false;
    if (cancelled) {
      ReportCancelled();
      ReleaseMessageBase();
      EndWait();
      return 0;
    }
    RestoreFolderFlags();
    DieAt("folder-list write");
    wtconf();
    result = 1;
  }
  rdconf(0);
  if (g_app.userName[0] && CheckUserFile(g_app.userName)) rduconf();
  ReleaseMessageBase();
  g_messageBaseHooks.refreshFolders();
  EndWait();
  reopen();
  return result;
}
