// Pruning: the settings and the prune list, the days of each folder, and the
// pass that rewrites the logs, archives what it drops and removes dormant
// folders.
//
// A log is never without its messages: the kept messages go to prune.tmp,
// the dropped ones to prune.arc; then prune.jnl records the archive's length
// before the folder's stretch is appended, the stretch is appended, and
// prune.tmp replaces the log in one move. A pass that finds prune.jnl beside
// a prune.tmp died before the move: the archive is cut back to its recorded
// length and the log stands as it was. Without prune.tmp the move was done and
// the archive holds the stretch once.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/small_text.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "msgbase/conf_files.h"
#include "msgbase/index_carryover.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "msgbase/prune_commit.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "resources/msgbase_ids.h"

PruneSettings g_pruneSettings;
std::vector<PruneEntry> g_pruneList;

namespace {

constexpr char kPruneTemp[] = "prune.tmp";
constexpr char kPruneArchiveStretch[] = "prune.arc";
constexpr char kPruneJournal[] = "prune.jnl";
// Dormant folders deleted by a pass whose folder list is not yet written.
constexpr char kPruneDeleted[] = "prune.del";
constexpr size_t kMaxPruneListBytes = 4 << 20;

FILE* s_pruneLock = nullptr;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

long long FileLength(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A file written whole and flushed to disk, or false.
bool WriteFileSynced(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file);
  return CloseHandle(file) && ok;
}

bool ReadSmallFile(const std::string& path, std::string* out, size_t limit) {
  out->clear();
  FILE* file = fopen_rlock(path.c_str(), FO_BINARY | FO_QUIET);
  if (!file) return false;
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && out->size() <= limit) out->append(buffer, n);
  bool ok = !std::ferror(file) && out->size() <= limit;
  fileclose(file);
  return ok;
}

IniKey* PruneTable() {
  static char days[kIniStringValue];
  static uint32_t purge, firstPrune, sequence;
  static char fileName[kIniStringValue];
  static IniKey table[] = {
      {"Default Days", days, INI_STRING, 0},     {"Purge", &purge, INI_FLAG, 0},
      {"First Prune", &firstPrune, INI_FLAG, 0}, {"Filename", fileName, INI_STRING, 0},
      {"Sequence", &sequence, INI_UNSIGNED, 0},  {"", nullptr, 0, 0},
  };
  return table;
}

// ---- the commit of one folder, through the journalled step ----

bool RemoveFile(const std::string& path) { return EraseFileOnce(path.c_str()) != 0; }

bool ReadAllLimited(const std::string& path, std::string* out, size_t limit) { return ReadSmallFile(path, out, limit); }

// Appends under an exclusive open, as only one pass may write an archive.
bool AppendSynced(const std::string& to, const std::string& from) {
  int fd = _sopen(to.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  FILE* out = _fdopen(fd, "ab");
  if (!out) {
    _close(fd);
    return false;
  }
  FILE* in = std::fopen(from.c_str(), "rb");
  bool ok = in != nullptr;
  std::vector<char> buffer(1 << 16);
  size_t n;
  while (ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
    ok = std::fwrite(buffer.data(), 1, n, out) == n;
  if (in) {
    ok = ok && !std::ferror(in);
    std::fclose(in);
  }
  ok = ok && std::fflush(out) == 0 && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out))));
  return std::fclose(out) == 0 && ok;
}

bool MoveFileOver(const std::string& from, const std::string& to) { return MoveOver(from.c_str(), to.c_str()); }

bool CutFileBack(const std::string& path, long long length) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER to;
  to.QuadPart = length;
  bool ok = SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && SetEndOfFile(file) && FlushFileBuffers(file);
  return CloseHandle(file) && ok;
}

const PruneFileOps& Ops() {
  static const PruneFileOps ops = {Exists,       FileLength, WriteFileSynced, ReadAllLimited, AppendSynced,
                                   MoveFileOver, RemoveFile, CutFileBack,     DieAt};
  return ops;
}

PruneWorkFiles WorkFiles() { return {DataFile(kPruneTemp), DataFile(kPruneArchiveStretch), DataFile(kPruneJournal)}; }

// Puts right what a pass that was stopped dead left behind. With `finish`
// (the folder list loaded) a committed folder is also brought to its end:
// the new log's index with the old marks, or the dormant folder's deletion.
void RecoverStoppedPrune(bool finish = false) {
  PruneRecovery r = RecoverPruneCommit(Ops(), WorkFiles());
  if (r.stuck) {
    WarnBoxF("Can't restore '%s' after an interrupted prune", r.commit.archive.c_str());
    return;
  }
  if (!r.found) return;
  DebugLogF("Prune: the interrupted pass over %s was %s\n", r.commit.log.c_str(), r.committed ? "complete" : "undone");
  if (!r.committed || !finish) return;
  if (r.commit.dormant) {
    DeleteFolder(r.commit.folder.c_str(), true);
  } else if (Exists(PathWithExtension(r.commit.log, ".ond")) && OpenFolderTopic(r.commit.folder.c_str())) {
    logclose();
    ConvertIndexFile(PathWithExtension(r.commit.log, ".ind").c_str(), PathWithExtension(r.commit.log, ".ond").c_str());
  }
}

// ---- the archive ----

// The folder's archive name: the full one, or the shorter one when the full
// one will not open. Empty (reported) when neither does.
std::string ArchivePath(const ConfRec& rec) {
  time_t now = std::time(nullptr);
  struct tm local = *std::localtime(&now);
  std::string name;
  for (size_t cut : {static_cast<size_t>(0), static_cast<size_t>(8)}) {
    name = BuildArchiveName(g_pruneSettings.fileName, local, rec.name, g_pruneSettings.sequence, cut);
    if (name.size() < 2 || (name[1] != ':' && name[0] != '\\')) name = DataFile(name.c_str());
    int fd = _sopen(name.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      _close(fd);
      return name;
    }
  }
  WarnBoxF("Can't open '%s'", name.c_str());
  return "";
}

// ---- the open topic's messages as bytes of its log ----

struct MessageExtents {
  std::vector<uint32_t> offsets;  // sorted
  long long logLength = 0;
  // The bytes of the message at `offset`: up to the next message's start.
  uint32_t EndOf(uint32_t offset) const {
    auto next = std::upper_bound(offsets.begin(), offsets.end(), offset);
    return next == offsets.end() ? static_cast<uint32_t>(logLength) : *next;
  }
};

struct FolderPass {
  FILE* log = nullptr;
  bool scrambled = false;
  MessageExtents extents;
  FILE* kept = nullptr;     // prune.tmp
  FILE* dropped = nullptr;  // prune.arc, when this folder archives
  const char* folder = "";  // for the stretch's service line, written before its first message
  bool headed = false;
  bool ok = true;
};

void ServiceHeader(FILE* file, const char* name);

bool ReadMessageBytes(FolderPass& pass, int slot, std::string* out) {
  auto* index = static_cast<IndexRec*>(IndexArray.At(slot));
  uint32_t start = index->logOffset;
  uint32_t end = pass.extents.EndOf(start);
  if (end <= start || end > pass.extents.logLength) return false;
  out->resize(end - start);
  if (std::fseek(pass.log, static_cast<long>(start), SEEK_SET) != 0) return false;
  if (std::fread(&(*out)[0], 1, out->size(), pass.log) != out->size()) return false;
  // A message that ends the log without a line end gets one, stored as the log stores it.
  char last = out->back();
  if (pass.scrambled) last = static_cast<char>(((last & 0x0F) << 4) | ((last >> 4) & 0x0F));
  if (last != '\n') *out += pass.scrambled ? std::string("\xD0\xA0", 2) : std::string("\r\n");
  return true;
}

void CopyTo(FILE* file, FolderPass& pass, const std::string& bytes) {
  if (file && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) pass.ok = false;
}

// KeepMessage: 1 when the message went to prune.tmp. A message that should
// stay but cannot be read stops the folder's prune, which then changes nothing.
int KeepMessageAt(FolderPass& pass, int slot) {
  std::string bytes;
  if (!ReadMessageBytes(pass, slot, &bytes)) {
    pass.ok = false;
    return 0;
  }
  CopyTo(pass.kept, pass, bytes);
  return 1;
}

void ArchiveAt(FolderPass& pass, int slot) {
  std::string bytes;
  if (!pass.dropped || !ReadMessageBytes(pass, slot, &bytes)) return;
  if (!pass.headed) ServiceHeader(pass.dropped, pass.folder);
  pass.headed = true;
  CopyTo(pass.dropped, pass, bytes);
}

int32_t AgeOfSlot(void*, size_t slot) {
  return static_cast<int32_t>(msgage(static_cast<MsgIndexRec*>(LogCva.At(static_cast<int>(slot)))->number));
}

bool HasServicePrefix(const char* name) { return std::strchr(name, ':') != nullptr; }

std::string ServiceKeyOf(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? std::string(name, colon) : std::string("local");
}

FILE* CreateExclusive(const std::string& path) {
  int fd = _sopen(path.c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FILE* file = _fdopen(fd, "w+b");
  if (!file) _close(fd);
  return file;
}

bool CloseSynced(FILE* file) {
  bool ok = std::fflush(file) == 0 && !std::ferror(file) &&
            FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
  return std::fclose(file) == 0 && ok;
}

void ServiceHeader(FILE* file, const char* name) {
  std::fprintf(file, "\r\n#pragma service=%s\r\n", HasServicePrefix(name) ? ServiceKeyOf(name).c_str() : "local");
}

enum class Commit { Done, Failed };

// Appends the folder's archive stretch and puts prune.tmp in the place of the
// log (or, dormant, readies the folder's deletion), journalled.
Commit CommitFolder(const ConfRec& rec, const std::string& logPath, bool archiving, bool dormant) {
  PruneCommit commit;
  commit.log = logPath;
  commit.folder = rec.name;
  commit.dormant = dormant;
  if (archiving && FileLength(DataFile(kPruneArchiveStretch)) > 0) {
    commit.archive = ArchivePath(rec);
    if (commit.archive.empty()) {
      RecoverStoppedPrune();
      return Commit::Failed;
    }
  }
  switch (CommitPrunedFolder(Ops(), WorkFiles(), commit)) {
    case PruneCommitResult::kDone: return Commit::Done;
    case PruneCommitResult::kJournalFailed: WarnBoxF("Can't open '%s'", DataFile(kPruneJournal).c_str()); break;
    case PruneCommitResult::kArchiveFailed: WarnBoxF("Can't write '%s'", commit.archive.c_str()); break;
    case PruneCommitResult::kReplaceFailed:
      WarnBoxF("Can't rename '%s' to '%s'", DataFile(kPruneTemp).c_str(), logPath.c_str());
      break;
  }
  RecoverStoppedPrune();
  return Commit::Failed;
}

void FinishCommit() { EndPruneCommit(Ops(), WorkFiles()); }

bool DiskHasRoomFor(long long bytes) {
  ULARGE_INTEGER free;
  if (!GetDiskFreeSpaceExA(g_app.dataDir, &free, nullptr, nullptr)) return true;
  return static_cast<long long>(free.QuadPart) >= bytes;
}

void DisplayName(const char* name, char* out, size_t size) {
  char shown[101];
  lstrcpynA(shown, name, sizeof shown);
  if (isnewsfolder(shown)) strtr(shown, '/', '.');
  FixNameCase(shown);
  std::string doubled;
  for (const char* p = shown; *p; ++p) {
    doubled += *p;
    if (*p == '&') doubled += '&';
  }
  lstrcpynA(out, doubled.c_str(), static_cast<int>(size));
}

// The pass over one folder; false ends the pass.
bool PruneOneFolder(int& i, int32_t days, bool archiving, long* removed, int marked, int* done, DWORD started) {
  ConfRec rec = *static_cast<ConfRec*>(Conferences.At(i));
  std::string service = ServiceKeyOf(rec.name);
  LoadServiceSettings(service.c_str());
  ++*done;
  if (std::strchr(rec.name, '\xFF')) return true;
  char shown[220];
  DisplayName(rec.name, shown, sizeof shown);
  ScanSetText(IDC_SCAN_FOLDER, shown);
  PumpMessages();
  if (days == kPruneNever) return true;

  char line[400];
  std::string logPath = FolderLog(rec.baseName);
  long long logLength = logPath.empty() ? -1 : FileLength(logPath);
  if (logLength < 0) {
    std::snprintf(line, sizeof line, "Can't open file for %s: skipped\r\n", rec.name);
    PrintStatusLine(line);
    return true;
  }
  if (!DiskHasRoomFor(logLength)) {
    std::snprintf(line, sizeof line, "%s - insufficient disk space: skipped\r\n", rec.name);
    PrintStatusLine(line);
    return true;
  }
  g_topic.exclusiveOpen = true;
  if (!OpenFolderTopic(rec.name) || !g_topic.log) {
    g_topic.exclusiveOpen = false;
    std::snprintf(line, sizeof line,
                  "Unable to prune messages from %s because another user is accessing the folder\r\n", rec.name);
    PrintStatusLine(line);
    return true;
  }
  // Work: anything marked for deletion, or, for a folder pruned by age, an old first message.
  const int count = LogCva.Count();
  bool work = false;
  if (g_topic.first <= g_topic.last && count > 0) {
    for (int s = 0; s < count && !work; ++s) {
      auto* m = static_cast<MsgIndexRec*>(LogCva.At(s));
      work = (m->flags & kMsgMarkedForDeletion) && !(m->flags & kMsgMissing);
    }
    if (!work && days >= 0) work = msgage(static_cast<MsgIndexRec*>(LogCva.At(0))->number) >= days;
  }
  if (!work) {
    logclose();
    return true;
  }

  FolderPass pass;
  pass.log = g_topic.log;
  pass.scrambled = (rec.flags & CONF_SCRAMBLED) != 0;
  pass.extents.logLength = _filelengthi64(_fileno(g_topic.log));
  for (int s = 0; s < IndexArray.Count(); ++s)
    pass.extents.offsets.push_back(static_cast<IndexRec*>(IndexArray.At(s))->logOffset);
  std::sort(pass.extents.offsets.begin(), pass.extents.offsets.end());
  pass.kept = CreateExclusive(DataFile(kPruneTemp));
  if (!pass.kept) {
    WarnBoxF("Can't open '%s'", DataFile(kPruneTemp).c_str());
    logclose();
    return false;
  }
  bool archive = archiving && !pass.scrambled;
  if (archive) {
    pass.dropped = CreateExclusive(DataFile(kPruneArchiveStretch));
    pass.folder = rec.name;
    if (!pass.dropped) pass.ok = false;
  }

  std::vector<MsgIndexRec> records(static_cast<size_t>(count));
  for (int s = 0; s < count; ++s) records[s] = *static_cast<MsgIndexRec*>(LogCva.At(s));
  std::vector<int32_t> ages = ComputeThreadAges(records.data(), records.size(), g_topic.first, AgeOfSlot, nullptr);
  std::vector<PruneAction> plan =
      PlanPrune(records.data(), ages.data(), records.size(), g_topic.last, HasServicePrefix(rec.name), days);
  int kept = 0;
  for (int s = 0; s < count && pass.ok; ++s) {
    if ((s & 63) == 0) PumpMessages();
    if (plan[s] == PruneAction::kKeep)
      kept += KeepMessageAt(pass, s);
    else if (plan[s] == PruneAction::kArchive)
      ArchiveAt(pass, s);
  }
  DieAt("scan");
  *removed += std::max(count - kept, 0);
  bool written = CloseSynced(pass.kept) && pass.ok;
  if (pass.dropped) written = CloseSynced(pass.dropped) && written;
  logclose();
  if (!written) {
    WarnBoxF("Can't write '%s'", DataFile(kPruneTemp).c_str());
    RecoverStoppedPrune();
    return false;
  }

  if (CommitFolder(rec, logPath, archive, false) == Commit::Failed) return false;
  FinishCommit();

  // The new log's index, with the marks of the old one carried over.
  if (OpenFolderTopic(rec.name)) {
    if (g_topic.first > g_topic.last) g_topic.first = g_topic.last = 0;
    logclose();
  }
  char index[MAX_PATH], older[MAX_PATH];
  lstrcpynA(index, logPath.c_str(), sizeof index);
  setext(index, ".ind", sizeof index);
  lstrcpynA(older, logPath.c_str(), sizeof older);
  setext(older, ".ond", sizeof older);
  ConvertIndexFile(index, older);

  // A dormant folder: one message, older than the folder keeps, not kept.
  auto* now = static_cast<ConfRec*>(Conferences.At(i));
  if (!g_app.cancelTask && g_pruneSettings.purge && days >= 0 && now->first == now->last && FileLength(logPath) >= 0 &&
      OpenFolderTopic(rec.name)) {
    bool dormant = false;
    if (LogCva.Count() == 1) {
      auto* only = static_cast<MsgIndexRec*>(LogCva.At(0));
      dormant = msgage(only->number) > days && !(only->flags & kMsgKeep);
      if (dormant && archive) {
        FolderPass one;
        one.log = g_topic.log;
        one.extents.logLength = _filelengthi64(_fileno(g_topic.log));
        one.extents.offsets.push_back(static_cast<IndexRec*>(IndexArray.At(0))->logOffset);
        one.dropped = CreateExclusive(DataFile(kPruneArchiveStretch));
        one.folder = rec.name;
        if (one.dropped) {
          ArchiveAt(one, 0);
          dormant = CloseSynced(one.dropped) && one.ok;
        } else {
          dormant = false;
        }
      }
    }
    logclose();
    if (dormant) {
      if (CommitFolder(rec, logPath, archive, true) == Commit::Failed) return false;
      std::snprintf(line, sizeof line, "Removing '%s'\r\n", rec.name);
      PrintStatusLine(line);
      DeleteFolder(rec.name, true);
      std::string deleted;
      ReadSmallFile(DataFile(kPruneDeleted), &deleted, 1 << 20);
      WriteFileSynced(DataFile(kPruneDeleted), deleted + rec.name + "\r\n");
      FinishCommit();
      --i;  // the list shrank
    }
  }

  std::snprintf(line, sizeof line, "%ld messages removed", *removed);
  ScanSetText(IDC_SCAN_MESSAGE, line);
  ScanShowElapsed(started);
  ScanSetProgress(*done, marked);
  return true;
}

}  // namespace

// ---- settings and the prune list ----

void ReadPruneSettings() {
  IniKey* table = PruneTable();
  std::snprintf(static_cast<char*>(table[0].target), kIniStringValue, "30");
  *static_cast<uint32_t*>(table[1].target) = 0;
  *static_cast<uint32_t*>(table[2].target) = 1;
  static_cast<char*>(table[3].target)[0] = 0;
  *static_cast<uint32_t*>(table[4].target) = 0;
  readmainini("Prune", table);
  g_pruneSettings.defaultDays = ParsePruneDays(static_cast<char*>(table[0].target));
  g_pruneSettings.purge = *static_cast<uint32_t*>(table[1].target) != 0;
  g_pruneSettings.firstPrune = *static_cast<uint32_t*>(table[2].target) != 0;
  lstrcpynA(g_pruneSettings.fileName, static_cast<char*>(table[3].target), sizeof g_pruneSettings.fileName);
  g_pruneSettings.sequence = *static_cast<uint32_t*>(table[4].target);
}

bool WritePruneSettings() {
  IniKey* table = PruneTable();
  std::snprintf(static_cast<char*>(table[0].target), kIniStringValue, "%d", g_pruneSettings.defaultDays);
  *static_cast<uint32_t*>(table[1].target) = g_pruneSettings.purge;
  *static_cast<uint32_t*>(table[2].target) = g_pruneSettings.firstPrune;
  lstrcpynA(static_cast<char*>(table[3].target), g_pruneSettings.fileName, kIniStringValue);
  *static_cast<uint32_t*>(table[4].target) = g_pruneSettings.sequence;
  writemainini("Prune", table);
  return true;
}

bool LockPruneList() {
  if (s_pruneLock) return true;
  std::string path = DataFile("confpru.lck");
  int fd = _sopen(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _SH_DENYRW, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  s_pruneLock = _fdopen(fd, "r+b");
  if (!s_pruneLock) _close(fd);
  return s_pruneLock != nullptr;
}

void UnlockPruneList() {
  if (!s_pruneLock) return;
  std::fclose(s_pruneLock);
  s_pruneLock = nullptr;
  EraseFileOnce(DataFile("confpru.lck").c_str());
}

bool ReadPruneList() {
  g_pruneList.clear();
  std::string text;
  std::string path = DataFile("conf.pru");
  if (!Exists(path)) return true;
  if (!ReadSmallFile(path, &text, kMaxPruneListBytes) || !ParsePruneList(text, &g_pruneList)) {
    NoteUnlessUnattended("There is a format error in CONF.PRU");
    return false;
  }
  return true;
}

bool WritePruneList() {
  std::string path = DataFile("conf.pru");
  std::string text = FormatPruneList(g_pruneList);
  if (text.empty()) {
    EraseFileOnce(path.c_str());
    return true;
  }
  std::string temp = DataFile("confpru.new");
  EraseFileOnce(temp.c_str());
  FILE* file = CreateTempBeside(temp.c_str());
  bool ok = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file) ok = CloseTemp(file) && ok;
  ok = ok && MoveOver(temp.c_str(), path.c_str());
  if (!ok) {
    EraseFileOnce(temp.c_str());
    WarnBoxF("Unable to write '%s'", path.c_str());
  }
  return ok;
}

void DropPruneFolder(const char* name) {
  if (!LockPruneList()) {
    DebugLogF("DropPruneFolder: conf.pru is being edited; '%s' keeps its entry\n", name);
    return;
  }
  if (ReadPruneList() && RemovePruneEntry(g_pruneList, name)) WritePruneList();
  UnlockPruneList();
}

// ---- days ----

long msgdaynum(long number) {
  int slot = msgindex(number, 1);
  time_t date = slot >= 0 ? static_cast<IndexRec*>(IndexArray.At(slot))->date : 0;
  struct tm* local = slot >= 0 ? std::localtime(&date) : nullptr;
  if (!local) {
    char text[200];
    std::snprintf(text, sizeof text, "Message %s #%ld not found.", g_topic.openName, number);
    setstatus(text);
    return 0;
  }
  return CalendarDayNumber(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
}

long msgage(long number) {
  int slot = msgindex(number, 1);
  if (slot < 0 || static_cast<IndexRec*>(IndexArray.At(slot))->date == 0) {
    char text[200];
    std::snprintf(text, sizeof text, "Message %s #%ld has no date/time stamp - reindexing is required.",
                  g_topic.openName, number);
    setstatus(text);
    return 0;
  }
  long day = msgdaynum(number);
  if (day == 0) return 0;
  time_t now = std::time(nullptr);
  struct tm local = *std::localtime(&now);
  return CalendarDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) - day;
}

bool AssignPruneDays(std::vector<int32_t>* days) {
  ReadPruneSettings();
  if (g_pruneSettings.defaultDays == 0 &&
      !AskUnlessUnattended("You have your message prune options set to 0 days.  If you continue you will lose all "
                           "messages!\nContinue ?",
                           false))
    return false;
  if (!g_pruneSettings.fileName[0] && g_pruneSettings.firstPrune && !g_app.unattended) {
    if (!AskUnlessUnattended("You have no message prune options set.\n\nContinue anyway ?", false)) return false;
    g_pruneSettings.firstPrune = false;
    WritePruneSettings();
  }
  if (!Exists(DataFile("conf.pru"))) {
    g_pruneList.clear();
    if (!g_app.unattended && !AskUnlessUnattended("No prune options configured. OK to continue ?", false)) return false;
  } else if (!ReadPruneList()) {
    return false;
  }
  const int count = Conferences.Count();
  std::vector<PruneFolder> folders(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) folders[i].name = static_cast<ConfRec*>(Conferences.At(i))->name;
  AssignFolderDays(g_pruneList, g_pruneSettings.defaultDays, folders.data(), folders.size());
  days->resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) (*days)[i] = folders[i].days;
  return true;
}

// ---- the pass ----

// Folders deleted by a pass that stopped before it wrote the folder list go
// from the list now.
void ForgetDeletedFolders() {
  std::string deleted;
  if (!Exists(DataFile(kPruneDeleted)) || !ReadSmallFile(DataFile(kPruneDeleted), &deleted, 1 << 20)) return;
  size_t at = 0;
  while (at < deleted.size()) {
    size_t end = deleted.find("\r\n", at);
    if (end == std::string::npos) break;
    std::string name = deleted.substr(at, end - at);
    at = end + 2;
    for (int i = 0; i < Conferences.Count(); ++i) {
      if (!SameText1252(static_cast<ConfRec*>(Conferences.At(i))->name, name.c_str())) continue;
      DeleteFolder(name.c_str(), true);
      break;
    }
  }
}

long PrunePass(int scope) {
  RecoverStoppedPrune(true);
  ForgetDeletedFolders();
  std::vector<char> marks;
  int marked = 0;
  for (int i = 0; i < Conferences.Count(); ++i) {
    bool mark = InScope(*static_cast<ConfRec*>(Conferences.At(i)), scope);
    marks.push_back(mark);
    marked += mark;
  }
  std::vector<int32_t> days;
  if (!AssignPruneDays(&days)) return -1;
  if (!CreateScanDialog("Removing old and deleted messages")) return -1;
  ScanSetProgress(0, marked);
  ++g_pruneSettings.sequence;
  WritePruneSettings();
  const DWORD started = GetTickCount();
  const bool archiving = g_pruneSettings.fileName[0] != 0;

  long removed = 0;
  int done = 0;
  for (int i = 0; i < Conferences.Count(); ++i) {
    if (!marks[i]) continue;
    if (g_app.cancelTask) break;
    int before = Conferences.Count();
    int at = i;
    if (!PruneOneFolder(at, days[i], archiving, &removed, marked, &done, started)) break;
    if (Conferences.Count() < before) {
      marks.erase(marks.begin() + i);
      days.erase(days.begin() + i);
      --i;
    }
  }
  DestroyScanDialog();
  g_app.cancelTask = false;
  return removed;
}

void PruneMessageBase(bool ask) {
  int scope = kScopeAll;
  if (ask) {
    scope = AskScope("WhichPrune");
    if (!scope) return;
  }
  BeginWait();
  char remembered[100];
  lstrcpynA(remembered, g_topic.openName, sizeof remembered);
  bool wasOpen = g_topic.log != nullptr;
  if (wasOpen) logclose();
  long removed = -1;
  {
    MaintenanceRun running;
    if (!rdconf(1)) {
      NoteUnlessUnattended(
          "%PROGRAM% is unable to prune messages from the messagebase at this time.\n\nPlease try again later.");
    } else {
      removed = PrunePass(scope);
      DieAt("folder-list write");
      if (wtconf()) EraseFileOnce(DataFile(kPruneDeleted).c_str());
      // Swap files a stopped program left in the work directory.
      WIN32_FIND_DATAA found;
      std::string pattern = DataFile("temp\\MSW*");
      HANDLE search = FindFirstFileA(pattern.c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        if (AskUnlessUnattended("%PROGRAM% has found some temporary files in the TEMP work directory.\n\n"
                                "Would you like %PROGRAM% to erase them ?",
                                false)) {
          do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
              EraseFileOnce(DataFile((std::string("temp\\") + found.cFileName).c_str()).c_str());
          } while (FindNextFileA(search, &found));
        }
        FindClose(search);
      }
      if (removed >= 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%ld messages removed", removed);
        if (g_app.unattended)
          DebugLogF("Prune: %s\n", text);
        else
          MsgBoxF(MB_OK | MB_ICONINFORMATION, "%s", text);
      }
    }
  }
  if (g_app.userName[0] && CheckUserFile(g_app.userName)) rduconf();
  if (wasOpen && remembered[0]) SwitchTopic(remembered);
  EndWait();
}
