// The import journal "import.jnl": what one queued file's import is about to
// change, written before the first byte of it goes to a log, so that a run
// that dies part way can be undone (pending) or finished (committed) by the
// next one. Text, one record a line, fields separated by TAB, the free text
// (a path or a name) last. Portable.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct JournalLog {
  bool rewrite = false;   // rewritten through "<log>.imp"; the old one kept as "<log>.imo"
  long length = -1;       // before the import; -1 when the log did not exist
  uint32_t tailHash = 0;  // of its last bytes before the import (appends only)
  std::string path;       // absolute
};

struct JournalFolder {
  bool existed = false;  // false: the import made the folder
  long first = 0, last = 0, waiting = 0;
  std::string baseName;
  std::string name;
};

struct Journal {
  bool committed = false;  // every byte is on disk; only the queue and tidying remain
  uint32_t entryFlags = 0;
  long long entrySize = 0;
  uint32_t entryHash = 0;  // identifies the queued file's bytes: tells it from a later file of that name
  long messages = 0;       // how many the import wrote, for the report
  std::string entryPath;   // as queued
  std::vector<JournalLog> logs;
  std::vector<JournalFolder> folders;
};

std::string FormatJournal(const Journal& journal);
// False for text that is not a whole journal (no "end" record, a bad field).
bool ParseJournal(std::string_view text, Journal* journal);

// FNV-1a, 32 bits; chained by passing the previous value.
uint32_t HashBytes(const void* data, size_t size, uint32_t seed = 2166136261u);
