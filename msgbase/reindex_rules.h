// Which files of the data directory are topic logs, the folder a log holds,
// the checks of a rebuilt index, and the paths maintenance may touch.
// Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "msgbase/records.h"

enum LogKind : int {
  kNotALog = 0,
  kPlainLog = 1,      // no extension or ".R"
  kScrambledLog = 2,  // ".C" or ".RC"
};

// A file met by the walk, by its directory relative to the data directory
// ("service\conference") and its name: a log only inside a conference
// directory of a service directory, with a log's extension.
LogKind LogKindOf(const char* relativeDir, const char* fileName);
LogKind LogKindOfExtension(const char* fileName);

// "service\conference\topic[.ext]" lower-cased into the folder name
// "service:conference/topic": logs that differ only in their extension hold
// the same folder.
std::string FolderNameOfEntry(const char* entry);

// A base name that stays inside the data directory: relative, no drive, no
// ".." part, no empty part.
bool IsSafeBaseName(const char* baseName);

// The index of a rebuilt topic, walked in number order: the first fault as
// the status line the rebuild reports, or empty when sound.
std::string CheckIndexRecords(const MsgIndexRec* records, size_t count, long folderFirst, long folderLast);
