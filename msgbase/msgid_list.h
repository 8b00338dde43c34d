// The per-folder lists that map each Message-ID, and each subject, to the
// highest message number that carried it, kept in the folder's ".id" file.
// The index rebuild fills them; the browser looks messages up in them.
// Portable: the caller opens the file (with its share lock) and passes the stream.
#pragma once
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "core/virtual_array.h"

#pragma pack(push, 1)
// One element of "msgid" (key a Message-ID, "<...>") or "subject" (key a
// subject in square brackets).
struct MsgIdEntry {
  char key[200];
  int32_t number;
  int32_t date;  // seconds since 1970; 0 none
};
#pragma pack(pop)
static_assert(sizeof(MsgIdEntry) == 208);

// Case-insensitive comparison of the keys: the order of both arrays.
int CompareMsgIdKeys(const void* a, const void* b);

// Entries added since the arrays were last settled, packed: a rebuild adds a
// short key or two per message, and the arrays' 208-byte records would cost
// ten times the memory and a sort of large records. Keys go into blocks that
// never move and entries into a deque, so growing copies nothing: on the
// target every page first touched is costly.
struct MsgIdAdditions {
  struct Entry {
    uint32_t key;  // where the key is (see Key)
    int32_t number;
    int32_t date;
  };
  static constexpr size_t kBlockSize = 1 << 18;
  std::vector<std::unique_ptr<char[]>> blocks;  // terminated keys, one after another
  size_t used = 0;                              // bytes of the last block in use
  std::deque<Entry> entries;
  const char* Key(uint32_t at) const { return blocks[at / kBlockSize].get() + at % kBlockSize; }
  // Stores a key of n bytes (n < kBlockSize) and a terminator: where it is.
  uint32_t Store(const char* key, size_t n);
  void Clear() {
    blocks.clear();
    used = 0;
    entries.clear();
  }
};

struct MessageIdList {
  VirtualArray* msgid = nullptr;    // elements MsgIdEntry, compare CompareMsgIdKeys
  VirtualArray* subject = nullptr;  // the same
  int32_t newestDate = 0;           // newest date read or added
  int expiryDays = 45;              // 0 keeps every entry
  // The Dravenet service's mail domain: a Message-ID holding "_" and it is
  // stored in its short form. Empty turns the rewrite off.
  const char* dravenetMailDomain = "";
  void (*pump)() = nullptr;  // called every 1000 lines or entries
  bool settled = true;       // both arrays sorted and free of duplicate keys, nothing added
  MsgIdAdditions addedIds, addedSubjects;
};

// Empties both arrays and reads the file's entries (stream null: nothing to
// read, 0). Lines are "key number" or "key number,date", split at the last blank.
int MsgIdListOpen(MessageIdList& list, FILE* stream);
// Adds a message: its Message-ID (when not empty) and its subject with reply
// prefixes already stripped (unless empty or a no-subject marker). A key
// already present keeps the higher number.
int MsgIdListAdd(MessageIdList& list, const char* messageId, const char* subject, long number, long date);
// Writes both lists (Message-IDs older than the expiry period before the
// newest date are dropped) and empties them: 1, or 0 when the stream is null
// or a write fails.
int MsgIdListSave(MessageIdList& list, FILE* stream);
// The number stored for a Message-ID, or for a subject (without brackets); 0 none.
long MsgIdListFindMessageId(MessageIdList& list, const char* messageId);
long MsgIdListFindSubject(MessageIdList& list, const char* subject);
