// Carrying the deletion and keep marks of an older index file over into a
// rebuilt one, and reading a folder's index without opening the topic.
// CarryIndexMarks is portable; the file operations need the file layer.
#pragma once
#include <cstdint>

#include "core/virtual_array.h"
#include "msgbase/topic_index.h"

// The marks an older index hands on: marked for deletion, keep, and 0x0010.
constexpr uint16_t kCarriedMarks = 0x001A;

enum CarryOverResult : int {
  CARRYOVER_OK = 0,            // the marks of the older file are in the arrays
  CARRYOVER_OLDER_UNKNOWN,     // the older file is of no index version: nothing to carry
  CARRYOVER_OLDER_DAMAGED,     // an index version, but truncated or corrupt
  CARRYOVER_INDEX_UNREADABLE,  // the index itself could not be read
};

// Reads the index into arrays.index and arrays.logCva (header set) and, when
// older is given, ORs the carried marks of each of its messages numbered
// first..last into the message of the same number. Only CARRYOVER_OK and
// CARRYOVER_OLDER_UNKNOWN leave arrays worth writing back. *carried counts
// the messages that received marks.
CarryOverResult CarryIndexMarks(const LogSource& index, const LogSource* older, const TopicIndexArrays& arrays,
                                TopicIndexHeader* header, int* carried = nullptr);

// Win32 builds only.
// The current folder's index into "index" and "log cva", its range into the
// folder's record: 1, or 0 (arrays empty) when it is missing, of version
// 11006 or unknown, or damaged.
int ReadIndexFile();
// Carries the marks of olderFile into indexFile, rewrites indexFile through a
// temporary file beside it and erases olderFile: 1. A missing older file
// changes nothing (1). A damaged index or older file, or a failed write, is
// reported and leaves both files as they were (0).
int ConvertIndexFile(const char* indexFile, const char* olderFile);
// At log-in: the unread counts of the user's folders with news since they
// were last seen, from their index and user-information files.
void LoadUserInfo();
// After the user's list gained folders: the order file numbered again.
void ApplyUserFolderOrder();
// Points the message base's log-in hooks at the two functions above.
void InstallUserInfoHooks();
