// The one step of a prune that changes a folder for good: the folder's
// archive stretch appended and its pruned log put in place of the old one,
// journalled so that a process stopped at any point leaves either the old log
// with the archive as it was, or the new log with the stretch in the archive
// once. Portable: every file operation comes through a table.
#pragma once
#include <cstddef>
#include <string>

struct PruneFileOps {
  bool (*exists)(const std::string& path);
  long long (*length)(const std::string& path);  // -1 when missing
  // Creates or replaces the file with the bytes, flushed to disk.
  bool (*writeSynced)(const std::string& path, const std::string& bytes);
  bool (*readAll)(const std::string& path, std::string* out, size_t limit);
  // Appends the whole of `from` to `to` (created when missing), flushed.
  bool (*appendSynced)(const std::string& to, const std::string& from);
  // Puts `from` in the place of `to` in one step (`to` may exist).
  bool (*moveOver)(const std::string& from, const std::string& to);
  bool (*remove)(const std::string& path);
  bool (*cutBack)(const std::string& path, long long length);
  // A test's point to stop the process at; the default does nothing.
  void (*dieAt)(const char* point);
};

// The work files beside the logs: "prune.tmp" (the kept messages),
// "prune.arc" (the folder's archive stretch), "prune.jnl".
struct PruneWorkFiles {
  std::string kept, stretch, journal;
};

struct PruneCommit {
  std::string log;       // the folder's log
  std::string folder;    // its folder name
  std::string archive;   // empty: nothing is archived
  bool dormant = false;  // the folder goes: the caller deletes it after the commit
};

// The journal's text and back; false for anything that is not a whole journal.
std::string FormatPruneJournal(const PruneCommit& commit, long long archiveLength);
bool ParsePruneJournal(const std::string& text, PruneCommit* commit, long long* archiveLength);

enum class PruneCommitResult {
  kDone,           // the stretch is archived and (unless dormant) the new log in place
  kJournalFailed,  // nothing changed
  kArchiveFailed,  // nothing changed: the archive is as it was
  kReplaceFailed,  // nothing changed: the old log and its index stand
};

// Journal, archive append, index set aside as ".ond", log replaced. The
// caller then finishes (the new index, a dormant folder's deletion) and calls
// EndPruneCommit.
PruneCommitResult CommitPrunedFolder(const PruneFileOps& ops, const PruneWorkFiles& work, const PruneCommit& commit);
void EndPruneCommit(const PruneFileOps& ops, const PruneWorkFiles& work);

// What a stopped pass left: undone when it had not replaced the log (the
// archive cut back, the index put back), else reported as committed so the
// caller finishes it. The work files are gone afterwards, unless the
// archive could not be cut back (then `stuck`).
struct PruneRecovery {
  bool found = false;
  bool committed = false;
  bool stuck = false;
  PruneCommit commit;
};
PruneRecovery RecoverPruneCommit(const PruneFileOps& ops, const PruneWorkFiles& work);

// The log path with another extension (".ind", ".ond").
std::string PathWithExtension(const std::string& path, const char* extension);
