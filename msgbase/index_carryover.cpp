// The older index is read with the same reader as any index, into arrays of
// its own, so every count and offset check of that reader guards it too.
#include "msgbase/index_carryover.h"

#include <cstring>

namespace {
bool IsIndexVersion(uint16_t version) { return version >= kIndexVersion11004 && version <= kIndexVersion11007; }

MsgIndexRec RecordAt(VirtualArray& array, int slot) {
  MsgIndexRec rec = {};
  if (const void* p = array.At(slot)) std::memcpy(&rec, p, sizeof rec);
  return rec;
}
}  // namespace

CarryOverResult CarryIndexMarks(const LogSource& index, const LogSource* older, const TopicIndexArrays& arrays,
                                TopicIndexHeader* header, int* carried) {
  if (carried) *carried = 0;
  TopicIndexArrays target = arrays;
  target.synopsis = nullptr;  // the rewrite keeps "index" and "log cva" only
  TopicIndexHeader head;
  if (ReadTopicIndex(index, target, &head) != kIndexRead) return CARRYOVER_INDEX_UNREADABLE;
  if (header) *header = head;
  if (!older) return CARRYOVER_OK;

  VirtualArray oldIndex("Old index", sizeof(IndexRec));
  VirtualArray oldLogCva("Old log cva", sizeof(MsgIndexRec));
  TopicIndexHeader oldHead;
  if (ReadTopicIndex(*older, TopicIndexArrays{&oldIndex, &oldLogCva, nullptr}, &oldHead) != kIndexRead)
    return IsIndexVersion(oldHead.version) ? CARRYOVER_OLDER_DAMAGED : CARRYOVER_OLDER_UNKNOWN;

  // Both number indexes rise strictly (the reader makes sure), so one walk
  // over the two pairs every older message with its namesake.
  VirtualArray& logCva = *arrays.logCva;
  const int newCount = logCva.Count();
  const int oldCount = oldLogCva.Count();
  int slot = 0;
  for (int i = 0; i < oldCount && slot < newCount; ++i) {
    const MsgIndexRec from = RecordAt(oldLogCva, i);
    if (from.number < head.first || from.number > head.last || !(from.flags & kCarriedMarks)) continue;
    MsgIndexRec to = RecordAt(logCva, slot);
    while (to.number < from.number && ++slot < newCount) to = RecordAt(logCva, slot);
    if (slot >= newCount || to.number != from.number) continue;
    auto* element = static_cast<unsigned char*>(logCva.At(slot));
    if (!element) continue;
    to.flags = static_cast<uint16_t>(to.flags | (from.flags & kCarriedMarks));
    std::memcpy(element, &to, sizeof to);
    if (carried) ++*carried;
  }
  return CARRYOVER_OK;
}
