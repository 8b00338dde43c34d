#include "browser/next_new.h"

#include <cstring>

#include "core/text1252.h"

namespace {

// A reply to `parent` after slot `from` that is unread; -1 none.
int UnreadReply(const MsgIndexRec* records, int count, long parent, int from, uint16_t readMask) {
  for (int i = from; i < count; ++i)
    if (records[i].commentTo == parent && !(records[i].flags & readMask)) return i;
  return -1;
}

int SlotOf(const MsgIndexRec* records, int count, long number) {
  int low = 0, high = count - 1;
  while (low <= high) {
    int mid = (low + high) / 2;
    if (records[mid].number == number) return mid;
    if (records[mid].number < number)
      low = mid + 1;
    else
      high = mid - 1;
  }
  return -1;
}

// The first slot whose number is above `number`.
int SlotAfter(const MsgIndexRec* records, int count, long number) {
  int i = 0;
  while (i < count && records[i].number <= number) ++i;
  return i;
}

NextReplyResult Found(const MsgIndexRec* records, int slot) {
  NextReplyResult r;
  r.slot = slot;
  r.number = records[slot].number;
  r.position = r.number;
  return r;
}

}  // namespace

NextReplyResult NextReplyIn(const MsgIndexRec* records, int count, long position, long last, bool threaded,
                            uint16_t readMask, ReplyStack& stack) {
  NextReplyResult none;
  none.position = last;
  if (count <= 0) return none;
  const int here = SlotOf(records, count, position);
  if (here >= 0 && !(records[here].flags & kMsgRead)) return Found(records, here);
  if (!threaded) {
    for (int i = here >= 0 ? here : SlotAfter(records, count, position); i < count; ++i)
      if (!(records[i].flags & readMask)) return Found(records, i);
    return none;
  }
  if (stack.numbers.empty() && here >= 0 && records[here].commentTo > 0) {
    // Rebuild the ancestors, oldest first, bounded against loops.
    std::vector<long> chain;
    long parent = records[here].commentTo;
    while (parent >= records[0].number && chain.size() < kReplyStackSize - 1) {
      chain.insert(chain.begin(), parent);
      int slot = SlotOf(records, count, parent);
      if (slot < 0) break;
      parent = records[slot].commentTo;
      if (parent >= chain.front()) break;
    }
    stack.numbers = chain;
  }
  long current = position;
  for (;;) {
    int from = here >= 0 && current == position ? here + 1 : SlotAfter(records, count, current);
    int reply = UnreadReply(records, count, current, from, readMask);
    if (reply >= 0) {
      if (stack.numbers.size() < kReplyStackSize - 1) stack.numbers.push_back(current);
      return Found(records, reply);
    }
    if (stack.numbers.empty()) break;
    current = stack.numbers.back();
    stack.numbers.pop_back();
  }
  for (int i = 0; i < count; ++i)
    if (!(records[i].flags & readMask)) {
      NextReplyResult r = Found(records, i);
      r.noMoreReplies = true;
      return r;
    }
  none.noMoreReplies = true;
  return none;
}

NextFolderResult ChooseNextFolder(const std::vector<FolderChoice>& folders, const char* prefix,
                                  bool sameConferenceFirst, int leftIndex) {
  NextFolderResult result;
  const int n = static_cast<int>(folders.size());
  if (sameConferenceFirst && prefix && prefix[0]) {
    for (int i = 0; i < n; ++i) {
      const FolderChoice& f = folders[i];
      if (f.waiting > 0 && !(f.flags & (1 | 32)) && !f.hidden && StartsWithNoCase(f.name, prefix)) {
        result.index = i;
        result.samePassTaken = true;
        return result;
      }
    }
  }
  int candidate = -1, firstLocked = -1, lockedAfterLeft = -1;
  for (int i = 0; i < n; ++i) {
    const FolderChoice& f = folders[i];
    if (f.waiting <= 0 || (f.flags & 1) || f.hidden) continue;
    if (f.flags & 32) {
      if (firstLocked < 0) firstLocked = i;
      if (lockedAfterLeft < 0 && leftIndex >= 0 && i > leftIndex) lockedAfterLeft = i;
      continue;
    }
    // New folders carry -1: any order below 1 is none.
    if (candidate < 0 || (f.order > 0 && (folders[candidate].order <= 0 || f.order < folders[candidate].order)))
      candidate = i;
  }
  if (candidate >= 0) {
    result.index = candidate;
    return result;
  }
  result.index = lockedAfterLeft >= 0 ? lockedAfterLeft : firstLocked;
  result.clearLocked = result.index >= 0;
  return result;
}
