// The moves that may leave the open folder: the next unread reply in a
// thread and the choice of the next folder with new messages. Portable: they
// work on plain records the Win32 side copies out of the message base.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "msgbase/records.h"

constexpr int kReplyStackSize = 499;

// The ancestors being read through, kept while the topic stays open.
struct ReplyStack {
  std::vector<long> numbers;
  void Clear() { numbers.clear(); }
};

struct NextReplyResult {
  long number = 0;             // the new position; 0 nothing more to read
  int slot = -1;               // its slot, to be marked read by the caller
  bool noMoreReplies = false;  // "No more replies in thread." was due
  long position = 0;           // where the reader stands afterwards
};

// The next unread message after `position` over the topic's records in number
// order: the message itself when unread, else (threaded) a reply to it or to
// an ancestor, else the first unread message of the folder.
NextReplyResult NextReplyIn(const MsgIndexRec* records, int count, long position, long last, bool threaded,
                            uint16_t readMask, ReplyStack& stack);

struct FolderChoice {
  const char* name;
  int32_t waiting;
  uint32_t flags;  // 1 skip, 32 left with unread-locked messages
  int32_t order;   // display order; 0 or -1 none
  bool hidden;     // hidden by the MessageBase window's filter set
};

struct NextFolderResult {
  int index = -1;              // the folder chosen; -1 none
  bool clearLocked = false;    // the chosen folder's flag 32 is to be cleared
  bool samePassTaken = false;  // chosen by the same-conference pass
};

// The next folder with new messages: first in the conference of `prefix`
// when `sameConferenceFirst`, else by display order; folders left with
// unread-locked messages last, the one after `leftIndex` first.
NextFolderResult ChooseNextFolder(const std::vector<FolderChoice>& folders, const char* prefix,
                                  bool sameConferenceFirst, int leftIndex);
