// The per-folder lists that map each Message-ID, and each subject, to the
// highest message number that carried it, kept in the folder's ".id" file.
// The index rebuild fills them; the browser looks messages up in them.
// Portable: the caller opens the file (with its share lock) and passes the stream.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
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
// ten times the memory and a sort of large records. Each entry is its number,
// its date and its terminated key, one after another in blocks that never
// move, so growing copies nothing and no other memory is touched per entry:
// on the target every page first touched is costly.
struct MsgIdAdditions {
  static constexpr size_t kBlockSize = 1 << 18;
  static constexpr size_t kHead = 8;  // number and date before the key
  std::vector<std::unique_ptr<char[]>> blocks;
  std::vector<size_t> blockUsed;  // bytes in use of each block
  size_t count = 0;               // entries
  uint32_t last = 0;              // where the newest entry is, when count
  const char* Key(uint32_t at) const { return blocks[at / kBlockSize].get() + at % kBlockSize + kHead; }
  int32_t Number(uint32_t at) const { return Field(at, 0); }
  int32_t Date(uint32_t at) const { return Field(at, 4); }
  void SetNumberAndDate(uint32_t at, int32_t number, int32_t date);
  // Stores an entry with a key of n bytes (n + kHead < kBlockSize): where it is.
  uint32_t Store(const char* key, size_t n, int32_t number, int32_t date);
  // Calls visit(at) for every entry in the order they were added.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (size_t b = 0; b < blocks.size(); ++b) {
      const char* block = blocks[b].get();
      for (size_t at = 0; at < blockUsed[b];) {
        visit(static_cast<uint32_t>(b * kBlockSize + at));
        const char* key = block + at + kHead;
        size_t n = 0;
        while (key[n]) ++n;
        at += kHead + n + 1;
      }
    }
  }
  // Empties the additions; their blocks are kept for the next list's (up to
  // a bound), as a rebuild that runs again would otherwise touch every page
  // afresh.
  void Clear();

 private:
  int32_t Field(uint32_t at, size_t offset) const {
    int32_t value;
    std::memcpy(&value, blocks[at / kBlockSize].get() + at % kBlockSize + offset, sizeof value);
    return value;
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
