// The open topic's index file (".ind") and thread file (".thr"). The index
// holds the topic's range, "index" (IndexRec, log order), "log cva"
// (MsgIndexRec, number order, slot for slot with "index") and, optionally, the
// thread order "Synopsis" (SynNode). Four versions are read, the newest is
// written. Portable: bytes come from a LogSource and go to a ByteSink, so the
// same code serves a Win32 file, a stdio stream and memory. Integers on disk
// are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/virtual_array.h"
#include "msgbase/records.h"
#include "msgbase/topic_log.h"

// Where written bytes go.
struct ByteSink {
  void* context = nullptr;
  // True only when every byte was written.
  bool (*write)(void* context, const void* data, size_t size) = nullptr;
};

// Adapters for a stdio stream opened in binary mode.
LogSource StdioSource(FILE* stream);
ByteSink StdioSink(FILE* stream);

// The three arrays the index fills; the caller owns them. The synopsis may be
// null where the thread order is not kept.
struct TopicIndexArrays {
  VirtualArray* index = nullptr;     // IndexRec
  VirtualArray* logCva = nullptr;    // MsgIndexRec
  VirtualArray* synopsis = nullptr;  // SynNode
  // The "log cva" array's own order is by message number, which the reader
  // checks as it reads; otherwise the reader checks the array's compare
  // function against every pair.
  bool logCvaByNumber = false;
};

struct TopicIndexHeader {
  uint16_t version = 0;
  int32_t first = 0;
  int32_t last = 0;
};

// What the reader can check offsets against; -1 when not known.
struct TopicIndexLimits {
  long logSize = -1;  // every logOffset lies before it
  long thrSize = -1;  // every ThreadRecord lies wholly before it
};

enum : int {
  kIndexNeedsRebuild = 0,
  kIndexRead = 1,
};

// Reads a whole index. kIndexRead: header and arrays filled (the synopsis is
// emptied when absent, damaged or from a version that has none). Otherwise
// kIndexNeedsRebuild: an unknown version, a truncated or corrupt body, a count
// that the file cannot hold, an offset out of bounds, numbers out of order, or
// no messages; every array is then empty and usable.
int ReadTopicIndex(const LogSource& source, const TopicIndexArrays& arrays, TopicIndexHeader* header,
                   const TopicIndexLimits& limits = TopicIndexLimits());

// Writes the index in the newest version. The synopsis goes with it only when
// it is non-empty and the browser's message order is 4 (threads) or 5 (roots
// only). 1 written; 0 when "index" and "log cva" differ in length (nothing is
// written) or a write fails.
int WriteTopicIndex(const ByteSink& sink, const TopicIndexArrays& arrays, int32_t first, int32_t last,
                    int messageOrder);

// The thread file: one ThreadRecord per message at the offset the index
// gives. In scrambled folders each byte is stored with its halves swapped.

// Reads the record at offset, unscrambled: 1, or 0 when it does not lie
// wholly in the file or cannot be read (the record is then zeroed).
int ReadThreadRecord(const LogSource& thr, uint32_t offset, bool scrambled, ThreadRecord* record);
// Appends one record: the bytes after each field's terminator are zeroed
// before it is stored. 1, or 0 when the write fails.
int WriteThreadRecord(const ByteSink& sink, const ThreadRecord& record, bool scrambled);
// A record from text, each field cut to its width.
ThreadRecord MakeThreadRecord(const char* author, const char* subject);
// The fields as terminated text; a full field has no terminator on disk.
void ThreadRecordText(const ThreadRecord& record, char author[26], char subject[101]);
