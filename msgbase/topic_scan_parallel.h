// The log walk of a rebuild on several threads. The log is cut into pieces;
// the calling thread walks the first, and each other piece is walked by a
// worker with its own source and reader from the first line start after its
// cut, while the calling thread takes the messages in log order. A piece's messages count from the first offset at
// which the walk that reached its cut (the one before it, or the calling
// thread) and the piece's own walk both stood between messages: from there
// on both read the same bytes from the same place. Where they never meet,
// the calling thread walks on by itself, so the result is the one-thread
// walk's for any log. Portable.
#pragma once
#include <cstdint>
#include <ctime>

#include "msgbase/records.h"
#include "msgbase/topic_log.h"
#include "msgbase/topic_scan.h"

// What a rebuild keeps of each message, handed over in log order. The texts
// stay valid until the callback returns.
struct ScanRecord {
  long number = 0;
  long parent = 0;  // 0 none; -1 a comment to an unknown message
  uint32_t logOffset = 0;
  time_t date = 0;
  uint16_t flags = 0;
  ThreadRecord thread = {};  // plain text
  const char* subject = "";  // the "Subject" field
  const char* messageId = "";
};

using ScanRecordCallback = void (*)(void* context, const ScanRecord& record);

// Further sources on the log being walked, one per worker.
struct LogSourceOpener {
  void* context = nullptr;
  // Another source on the same log with a position of its own; false when
  // none can be opened (the walk then uses fewer threads, or one).
  bool (*open)(void* context, LogSource* source) = nullptr;
  void (*close)(void* context, LogSource* source) = nullptr;
};

struct ParallelScanSetup {
  LogSourceOpener opener;
  long logSize = 0;  // bytes in the log as the walk begins
  // Threads that walk, the calling thread among them: 0 from the processor
  // count (at most four workers beside it), 1 the calling thread alone.
  int threads = 0;
  // Bytes per piece; 0 sizes them from the log (small logs are one piece).
  // Tests make it tiny so the cuts fall everywhere.
  long pieceBytes = 0;
};

// The threads a walk of the log would use, the calling thread among them:
// 1 when it runs on the calling thread alone.
int ParallelScanThreads(const ParallelScanSetup& setup);

// Walks the log from offset 0 to its end as ScanTopicLog does and calls
// back once per message, in log order, on the calling thread; the reader's
// notices (read errors, damaged headers) reach its notice functions there,
// as the one-thread walk would give them. Returns the number of messages.
// Not reentrant: one walk at a time.
long ScanTopicLogParallel(LogReader& reader, const ScanOptions& options, const ParallelScanSetup& setup,
                          ScanRecordCallback callback, void* context);
