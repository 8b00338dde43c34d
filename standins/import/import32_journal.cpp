// import.jnl: what an import is about to write, so that a killed run is
// undone (logs cut back, rewritten logs restored, folder numbers put back)
// and the file imported again; a committed journal only has tidying left.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "core/fileio.h"
#include "msgbase/import_queue_file.h"
#include "standins/import/import32.h"
#include "standins/import/import_journal.h"

namespace import32 {

std::string JournalPath() { return DataFile("import.jnl"); }

bool WriteJournal(const Journal& journal) {
  return ReplaceFileWith(JournalPath(), FormatJournal(journal), SyncKind::Journal);
}

// Undoes what a journal's import wrote: each log back to its length, each
// rewritten log back to its old copy, each folder's numbers back. Only bytes
// this program appended are cut: a log that changed otherwise is left alone.
bool RollBack(const Journal& j, bool restoreConf) {
  for (const JournalLog& log : j.logs) {
    std::string temp = log.path + ".imp", old = log.path + ".imo";
    if (log.rewrite) {
      // Without a whole copy the log was never written over.
      if (Exists(old) && !CopyInto(old, log.path)) return false;
      DeleteFileA(old.c_str());
      DeleteFileA((old + ".tmp").c_str());
      DeleteFileA(temp.c_str());
    } else if (log.length < 0) {
      if (Exists(log.path) && !DeleteFileA(log.path.c_str())) return false;
    } else if (Exists(log.path)) {
      FILE* f = fileopen(log.path.c_str(), _O_RDWR | _O_BINARY, "r+b", LOCK_DENY_WRITE | LOCK_QUIET);
      if (!f) return false;
      std::fseek(f, 0, SEEK_END);
      long size = std::ftell(f);
      uint32_t hash = 0;
      bool ours = size >= log.length && TailHash(f, log.length, &hash) && hash == log.tailHash;
      bool ok = true;
      if (ours && size > log.length) ok = _chsize(_fileno(f), log.length) == 0 && Commit(_fileno(f), SyncKind::Log);
      fileclose(f);
      if (!ours) AppendReport(log.path + ": changed since the interrupted import; left as it is");
      if (!ok) return false;
    }
    DeleteFileA(IndexPathOf(log.path).c_str());
  }
  DieAt("undoing");
  if (!restoreConf) return true;
  ConfFile conf;
  std::string error;
  if (!conf.Open(&error)) return false;
  for (const JournalFolder& f : j.folders) {
    ConfRec* rec = conf.Find(f.name);
    if (!rec) continue;
    if (!f.existed) {
      if (!_stricmp(BaseNameOf(*rec).c_str(), f.baseName.c_str())) conf.Remove(f.name);
      continue;
    }
    rec->first = f.first;
    rec->last = f.last;
    rec->waiting = f.waiting;
  }
  bool saved = conf.Save();
  conf.Close();
  Touch("confnew.ww");
  return saved;
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// After the entry has left the queue: the old copies of rewritten logs go,
// and the file too when it asked to be deleted (while it still holds what
// was imported).
void Finish(const Journal& j) {
  for (const JournalLog& log : j.logs)
    if (log.rewrite) DeleteFileA((log.path + ".imo").c_str());
  if (j.entryFlags & IMPORT_DELETE_AFTER) {
    std::string path = EntryFile(j.entryPath.c_str());
    bool readable = false;
    StageTimer timer(Stage::EntryDelete);
    if (HashOfFile(path, &readable) == j.entryHash && readable) DeleteFileA(path.c_str());
  }
  DeleteFileA(JournalPath().c_str());
  AppendReport(j.entryPath + ": " + std::to_string(j.messages) + " messages imported");
}

// At start: a journal left behind means the last run died inside a file.
bool Recover() {
  DeleteFileA((JournalPath() + ".new").c_str());
  if (!Exists(JournalPath())) return true;
  std::string text;
  Journal j;
  if (!ReadSmallFile(JournalPath(), &text)) return false;
  if (!ParseJournal(text, &j)) {
    // Never written torn (it is replaced whole), so someone else's damage:
    // kept for a look, and the queue goes on.
    MoveFileExA(JournalPath().c_str(), (JournalPath() + ".bad").c_str(), MOVEFILE_REPLACE_EXISTING);
    AppendReport("import.jnl: damaged; kept as import.jnl.bad");
    return true;
  }
  if (!j.committed) {
    if (!RollBack(j, true)) return false;
    DeleteFileA(JournalPath().c_str());
    AppendReport(j.entryPath + ": interrupted import undone; importing it again");
    return true;
  }
  if (!RemoveEntry(j.entryPath.c_str(), &j.entryHash)) return false;
  Finish(j);
  return true;
}

}  // namespace import32
