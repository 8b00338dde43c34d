// Fixed-size records of the open topic: the index, the number index, the
// thread order and the thread file. Stored little-endian and packed; every
// message-base file reads and writes them as they stand.
#pragma once
#include <cstdint>

#pragma pack(push, 1)

// One message of "index", in log order.
struct IndexRec {
  uint32_t logOffset;  // offset of the message's separator line in the topic log
  uint32_t thrOffset;  // offset of its ThreadRecord in the .thr file
  int32_t date;        // seconds since 1970; 0 when the message has no date
};
static_assert(sizeof(IndexRec) == 12);

// Flags of MsgIndexRec.
enum : uint16_t {
  kMsgRead = 0x0001,
  kMsgMarkedForDeletion = 0x0002,
  kMsgMissing = 0x0004,
  kMsgKeep = 0x0008,
  kMsgByUser = 0x0080,
  kMsgConcernsUser = 0x0100,
  kMsgHeaderOnly = 0x0800,
  kMsgUnreadLock = 0x1000,
};

// One message of "log cva", sorted by number; slot i matches slot i of "index".
struct MsgIndexRec {
  int32_t number;
  int32_t commentTo;  // number of the message this one comments on; 0 none
  uint16_t flags;
};
static_assert(sizeof(MsgIndexRec) == 10);

// One node of the thread order "Synopsis". A thread's nodes form a circular
// list in display order (the root's previous is the thread's last node); the
// roots form a second ring through nextRoot/previousRoot, node 0 first. The
// message base only stores the nodes; the browser gives them their meaning.
// The index reader still checks the first two links under their older names.
struct SynNode {
  union {
    int32_t next;
    int32_t lastInSubtree;
  };
  union {
    int32_t previous;
    int32_t parent;
  };
  int32_t nextRoot;
  int32_t previousRoot;
  int32_t level;  // 0 for a root
  int32_t number;
  int32_t indexSlot;  // the message's slot in "log cva" and "index"
  union {
    int32_t rowCacheSlot;  // the thread list's cache row; -1 none
    int32_t reserved;
  };
  uint16_t flags;  // kSyn* bits
};
static_assert(sizeof(SynNode) == 34);

// Flags of SynNode.
enum : uint16_t {
  kSynInvolved = 0x0001,    // the user wrote in the thread
  kSynIgnored = 0x0002,     // the thread is ignored
  kSynBookmarked = 0x0004,  // in the current bookmark set
  kSynReplyQueued = 0x0008,
  kSynCancelQueued = 0x0010,
  kSynGroup = 0x0020,  // a member of the group list wrote in the thread
};

// One record of the thread file. Both fields are NUL-padded and, in scrambled
// folders, stored nibble-swapped.
struct ThreadRecord {
  char author[25];
  char subject[100];
};
static_assert(sizeof(ThreadRecord) == 125);

#pragma pack(pop)

// Index file versions: the newest is written, all four are read.
enum : uint16_t {
  kIndexVersion11004 = 11004,
  kIndexVersion11005 = 11005,
  kIndexVersion11006 = 11006,
  kIndexVersion11007 = 11007,
};
