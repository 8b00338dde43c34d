// The log walk on one thread and on several over the same bytes, each
// written down as one line per message and per notice, in the order the
// caller met them: for the tests and the fuzz target that compare the two.
#pragma once
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/topic_scan.h"
#include "msgbase/topic_scan_parallel.h"

// A log in memory that hands out sources of its own to the workers.
struct SharedLog {
  explicit SharedLog(const std::string& text) : bytes(text) {}
  const std::string& bytes;
  size_t workerBytes = std::string::npos;  // the end the workers' sources see
  long failFrom = -1;                      // a read reaching this offset fails
  bool refuseOpens = false;
  std::atomic<int> opens{0};

  struct Source {
    const SharedLog* log;
    size_t size;
    long position = 0;
  };
  static long Read(void* context, char* buffer, size_t size) {
    auto* s = static_cast<Source*>(context);
    if (s->log->failFrom >= 0 && s->position + static_cast<long>(size) > s->log->failFrom) return -1;
    const long left = static_cast<long>(s->size) - s->position;
    if (left <= 0) return 0;
    const long n = left < static_cast<long>(size) ? left : static_cast<long>(size);
    std::memcpy(buffer, s->log->bytes.data() + s->position, static_cast<size_t>(n));
    s->position += n;
    return n;
  }
  static long Seek(void* context, long offset) {
    if (offset < 0) return -1;
    static_cast<Source*>(context)->position = offset;
    return offset;
  }
  static LogSource SourceOf(Source* s) {
    LogSource source;
    source.context = s;
    source.read = Read;
    source.seek = Seek;
    return source;
  }
  static bool Open(void* context, LogSource* source) {
    auto* log = static_cast<SharedLog*>(context);
    if (log->refuseOpens) return false;
    ++log->opens;
    *source = SourceOf(new Source{log, std::min(log->workerBytes, log->bytes.size())});
    return true;
  }
  static void Close(void*, LogSource* source) { delete static_cast<Source*>(source->context); }
  LogSourceOpener Opener() {
    LogSourceOpener opener;
    opener.context = this;
    opener.open = Open;
    opener.close = Close;
    return opener;
  }
};

inline std::vector<std::string>* g_walkEvents = nullptr;

inline void NoteBox(const char* text) { g_walkEvents->push_back(std::string("box: ") + text); }
inline void NoteStatus(const char* text) { g_walkEvents->push_back(std::string("status: ") + text); }

inline std::string DescribeMessage(long number, long parent, uint32_t offset, time_t date, uint16_t flags,
                                   const ThreadRecord& thread, const char* subject, const char* messageId) {
  return std::to_string(number) + " " + std::to_string(parent) + " @" + std::to_string(offset) + " " +
         std::to_string(static_cast<long long>(date)) + " " + std::to_string(flags) + " |" +
         std::string(thread.author, strnlen(thread.author, sizeof thread.author)) + "|" +
         std::string(thread.subject, strnlen(thread.subject, sizeof thread.subject)) + "|" + subject + "|" + messageId;
}

inline void NoteScanned(void* context, const ScannedMessage& m) {
  static_cast<std::vector<std::string>*>(context)->push_back(DescribeMessage(
      m.number, m.parent, m.logOffset, m.date, m.flags, m.thread, m.fields.subject, m.fields.messageId));
}

inline void NoteRecord(void* context, const ScanRecord& m) {
  static_cast<std::vector<std::string>*>(context)->push_back(
      DescribeMessage(m.number, m.parent, m.logOffset, m.date, m.flags, m.thread, m.subject, m.messageId));
}

inline std::unique_ptr<LogReader> SharedReader(SharedLog::Source& source, bool scrambled) {
  auto reader = std::make_unique<LogReader>();
  LogReaderOpen(*reader, SharedLog::SourceOf(&source), scrambled);
  reader->notices.box = NoteBox;
  reader->notices.status = NoteStatus;
  return reader;
}

inline std::vector<std::string> OneThreadWalk(const std::string& bytes, const ScanOptions& options, bool scrambled,
                                              long failFrom = -1) {
  SharedLog log(bytes);
  log.failFrom = failFrom;
  SharedLog::Source source{&log, bytes.size()};
  auto reader = SharedReader(source, scrambled);
  std::vector<std::string> events;
  g_walkEvents = &events;
  ScanTopicLog(*reader, options, NoteScanned, &events);
  g_walkEvents = nullptr;
  return events;
}

// threads and pieceBytes as ParallelScanSetup takes them.
inline std::vector<std::string> ParallelWalk(SharedLog& log, const ScanOptions& options, bool scrambled, int threads,
                                             long pieceBytes) {
  SharedLog::Source source{&log, log.bytes.size()};
  auto reader = SharedReader(source, scrambled);
  ParallelScanSetup setup;
  setup.opener = log.Opener();
  setup.logSize = static_cast<long>(log.bytes.size());
  setup.threads = threads;
  setup.pieceBytes = pieceBytes;
  std::vector<std::string> events;
  g_walkEvents = &events;
  const long found = ScanTopicLogParallel(*reader, options, setup, NoteRecord, &events);
  g_walkEvents = nullptr;
  long messages = 0;
  for (const std::string& e : events) messages += e.rfind("box: ", 0) != 0 && e.rfind("status: ", 0) != 0;
  if (found != messages) events.push_back("count given " + std::to_string(found));
  return events;
}
