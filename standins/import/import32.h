// What the parts of the message-import program share: its state, the small
// file helpers, the conf.ww editing, the journal, the window thread and the
// rebuild mode. Only import32's own files include it.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "msgbase/conf_list.h"
#include "standins/import/import_journal.h"

namespace import32 {

constexpr int kCommandForeground = 4481;  // QueueImport's wake-up
constexpr int kProgressItem = 4292;       // the status bar's animation reads it
constexpr size_t kWriteChunk = 1 << 20;
constexpr size_t kTailBytes = 256;
constexpr char kTitle[] = "Message Import";

extern std::string g_dir;         // data directory, ending in a backslash
extern std::atomic<bool> g_stop;  // set by the window thread
extern bool g_buildMode;
extern int g_buildsDone, g_buildsFailed;
extern std::atomic<HWND> g_window;  // set once the windows exist
extern std::string g_dieAt;         // test hook: the point at which to end the process hard

// Where a run's time goes, for the benchmark (import32_stats.cpp).
enum class Stage {
  Recover,
  QueueRead,
  Map,
  Parse,
  AheadWait,
  ConfRead,
  Plan,
  Journal,
  Append,
  LogWrites,
  IndexDelete,
  ConfSave,
  Postits,
  QueueRemove,
  Finish,
  EntryDelete,
  CloseLogs,
  Count
};
enum class SyncKind { Journal, Conf, Queue, Log, Count };

std::string DataFile(const char* name);
// Tests stop the program dead at a named point, as a crash or a kill would.
void DieAt(const char* point);
std::string Lower(std::string text);
bool Exists(const std::string& path);
long long SizeOf(const std::string& path);

// Small file helpers (import32.cpp).
void AppendReport(const std::string& line);
bool WriteAll(FILE* f, const char* bytes, size_t size);
bool Durable(FILE* f, SyncKind kind);
bool ReadSmallFile(const std::string& path, std::string* out);
// Written beside the old file and then put in its place, so a reader finds
// the old or the new one whole.
bool ReplaceFileWith(const std::string& path, const std::string& bytes, SyncKind kind);
void Touch(const char* name);
std::string IndexPathOf(const std::string& logPath);
// A queued path: "~" stands for the data directory.
std::string EntryFile(const char* queued);
uint32_t HashOfFile(const std::string& path, bool* readable);
// The hash of the last bytes of a log before length.
bool TailHash(FILE* f, long length, uint32_t* hash);
bool CopyInto(const std::string& source, const std::string& target);
void CloseLog(const std::string& path);
// Under the queue's lock: removes the first entry with this path; with
// onlyIfHash, only while the file is still the one queued.
bool RemoveEntry(const char* path, const uint32_t* onlyIfHash = nullptr);

// The windows (import32_window.cpp): MsgImport and PLCheckClass on a thread
// of their own.
void StartWindowThread(HINSTANCE instance, int show);
// Names the file being imported and the figure of the progress bar.
void ShowProgress(const std::string& file, int percent);

// conf.ww, held and edited (import32_folders.cpp).
struct ConfFile {
  FILE* file = nullptr;
  uint32_t header = 0;
  std::vector<ConfRec> recs;
  std::string original;                  // the bytes as read, put back if a write fails
  std::map<std::string, size_t> byName;  // lower-case name -> recs index

  ~ConfFile() { Close(); }
  void Close();
  // Held open, unshared, until Close: the lock every writer of conf.ww takes.
  bool Open(std::string* error);
  ConfRec* Find(const std::string& name);
  ConfRec* Add(const ConfRec& rec);
  void Remove(const std::string& name);
  // One write of the whole list: a kill can't leave half of it.
  bool Write(const std::string& bytes);
  bool Save();
};
std::string BaseNameOf(const ConfRec& rec);
// A new folder's log lies where a rebuild of the message base looks for it.
std::string NewBaseName(ConfFile& conf, const std::string& folder);
bool MakeDirectories(const std::string& baseName);
// A folder's range from conf.ww before numbering from it: false when the
// folder is full; an impossible range is repaired with a line in import.log.
bool RepairRange(ConfRec& rec);

// The journal (import32_journal.cpp).
std::string JournalPath();
bool WriteJournal(const Journal& journal);
// Undoes what a journal's import wrote.
bool RollBack(const Journal& j, bool restoreConf);
std::string FileNameOf(const std::string& path);
// After the entry has left the queue.
void Finish(const Journal& j);
// At start: a journal left behind means the last run died inside a file.
bool Recover();

// The stages' clock.
double ClockSeconds();
class StageTimer {
 public:
  explicit StageTimer(Stage stage) : stage_(stage), start_(ClockSeconds()) {}
  ~StageTimer();
  StageTimer(const StageTimer&) = delete;
  StageTimer& operator=(const StageTimer&) = delete;

 private:
  Stage stage_;
  double start_;
};
// _commit, counted by kind.
bool Commit(int fd, SyncKind kind);
void StatsStart();
// To the file IMPORT32_STATS names, when it names one.
void StatsWrite();

// The rebuild mode, "build" on the command line (import32_build.cpp).
bool RebuildTarget(const std::string& copyPath, std::string* baseName);
void BeginBuildMode();
void EndBuildMode();

}  // namespace import32
