// Feeds two arbitrary files to the carry-over: the first two bytes give the
// length of the index, the rest is the older file. Whatever it carries may
// only add the carried marks to the index as read alone.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "msgbase/index_carryover.h"
#include "msgbase/tests/memory_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t split = static_cast<size_t>(data[0] | (data[1] << 8));
  data += 2;
  size -= 2;
  if (split > size) split = size;
  MemoryLog indexFile, olderFile, plainFile;
  indexFile.bytes.assign(reinterpret_cast<const char*>(data), split);
  plainFile.bytes = indexFile.bytes;
  olderFile.bytes.assign(reinterpret_cast<const char*>(data) + split, size - split);

  VirtualArray index("index", sizeof(IndexRec)), logCva("log cva", sizeof(MsgIndexRec));
  VirtualArray plainIndex("index", sizeof(IndexRec)), plainLogCva("log cva", sizeof(MsgIndexRec));
  LogSource older = olderFile.Source();
  int carried = 0;
  CarryOverResult result = CarryIndexMarks(indexFile.Source(), &older, {&index, &logCva, nullptr}, nullptr, &carried);
  int plain = ReadTopicIndex(plainFile.Source(), {&plainIndex, &plainLogCva, nullptr}, nullptr);
  if ((result == CARRYOVER_INDEX_UNREADABLE) != (plain != kIndexRead)) abort();
  if (result == CARRYOVER_INDEX_UNREADABLE) return 0;
  if (logCva.Count() != plainLogCva.Count() || index.Count() != plainIndex.Count()) abort();
  if (result != CARRYOVER_OK && carried != 0) abort();
  int changed = 0;
  for (int i = 0; i < logCva.Count(); ++i) {
    MsgIndexRec a, b;
    std::memcpy(&a, logCva.At(i), sizeof a);
    std::memcpy(&b, plainLogCva.At(i), sizeof b);
    if (a.number != b.number || a.commentTo != b.commentTo) abort();
    if ((a.flags & ~kCarriedMarks) != (b.flags & ~kCarriedMarks) || (a.flags & b.flags) != b.flags) abort();
    if (a.flags != b.flags) ++changed;
  }
  if (changed > carried) abort();
  return 0;
}
