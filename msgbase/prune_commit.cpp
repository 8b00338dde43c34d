#include "msgbase/prune_commit.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr char kJournalMark[] = "prune journal 1";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) return {};  // a journal cut short
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

bool Committed(const PruneFileOps& ops, const PruneWorkFiles& work, const PruneCommit& commit) {
  return commit.dormant ? !ops.exists(commit.log) : !ops.exists(work.kept);
}

}  // namespace

std::string PathWithExtension(const std::string& path, const char* extension) {
  size_t slash = path.find_last_of("\\/");
  size_t dot = path.find_last_of('.');
  std::string stem =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
  return stem + extension;
}

std::string FormatPruneJournal(const PruneCommit& commit, long long archiveLength) {
  return std::string(kJournalMark) + "\r\n" + std::to_string(archiveLength) + "\r\n" + (commit.dormant ? "1" : "0") +
         "\r\n" + commit.archive + "\r\n" + commit.log + "\r\n" + commit.folder + "\r\nend\r\n";
}

bool ParsePruneJournal(const std::string& text, PruneCommit* commit, long long* archiveLength) {
  std::vector<std::string> lines = Lines(text);
  if (lines.size() != 7 || lines[0] != kJournalMark || lines[6] != "end") return false;
  char* end = nullptr;
  long long length = std::strtoll(lines[1].c_str(), &end, 10);
  if (lines[1].empty() || *end || length < 0 || (lines[2] != "0" && lines[2] != "1") || lines[4].empty()) return false;
  *archiveLength = length;
  commit->dormant = lines[2] == "1";
  commit->archive = lines[3];
  commit->log = lines[4];
  commit->folder = lines[5];
  return true;
}

PruneCommitResult CommitPrunedFolder(const PruneFileOps& ops, const PruneWorkFiles& work, const PruneCommit& commit) {
  bool archiving = !commit.archive.empty() && ops.length(work.stretch) > 0;
  long long archiveLength = archiving ? ops.length(commit.archive) : 0;
  if (archiveLength < 0) archiveLength = 0;
  PruneCommit recorded = commit;
  if (!archiving) recorded.archive.clear();
  if (!ops.writeSynced(work.journal, FormatPruneJournal(recorded, archiveLength))) {
    ops.remove(work.journal);
    return PruneCommitResult::kJournalFailed;
  }
  ops.dieAt("journal");
  if (archiving) {
    bool appended = ops.appendSynced(commit.archive, work.stretch);
    ops.dieAt("archive append");
    if (!appended) {
      RecoverPruneCommit(ops, work);
      return PruneCommitResult::kArchiveFailed;
    }
  }
  if (!commit.dormant) {
    std::string index = PathWithExtension(commit.log, ".ind"), older = PathWithExtension(commit.log, ".ond");
    ops.remove(older);
    if (ops.exists(index)) ops.moveOver(index, older);
    ops.dieAt("index move");
    if (!ops.moveOver(work.kept, commit.log)) {
      RecoverPruneCommit(ops, work);
      return PruneCommitResult::kReplaceFailed;
    }
    ops.dieAt("log replace");
  }
  return PruneCommitResult::kDone;
}

void EndPruneCommit(const PruneFileOps& ops, const PruneWorkFiles& work) {
  ops.remove(work.journal);
  ops.remove(work.stretch);
}

PruneRecovery RecoverPruneCommit(const PruneFileOps& ops, const PruneWorkFiles& work) {
  PruneRecovery recovery;
  std::string text;
  long long archiveLength = 0;
  if (ops.exists(work.journal) && ops.readAll(work.journal, &text, 4096) &&
      ParsePruneJournal(text, &recovery.commit, &archiveLength)) {
    recovery.found = true;
    recovery.committed = Committed(ops, work, recovery.commit);
    const PruneCommit& c = recovery.commit;
    if (!recovery.committed) {
      if (!c.archive.empty() && ops.length(c.archive) > archiveLength && !ops.cutBack(c.archive, archiveLength)) {
        recovery.stuck = true;  // the journal stays for the next try
        return recovery;
      }
      std::string index = PathWithExtension(c.log, ".ind"), older = PathWithExtension(c.log, ".ond");
      if (!c.dormant && !ops.exists(index) && ops.exists(older)) ops.moveOver(older, index);
    }
  }
  // A journal that never was whole was written before anything changed.
  ops.remove(work.kept);
  ops.remove(work.stretch);
  ops.remove(work.journal);
  return recovery;
}
