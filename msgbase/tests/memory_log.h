// A topic log held in memory, for the reader tests and the fuzz target.
#pragma once
#include <cstring>
#include <memory>
#include <string>

#include "msgbase/topic_log.h"

struct MemoryLog {
  std::string bytes;
  long position = 0;
  bool failReads = false;
  size_t maxRead = 0;  // most bytes one read returns; 0 no limit

  static long Read(void* context, char* buffer, size_t size) {
    auto* log = static_cast<MemoryLog*>(context);
    if (log->failReads) return -1;
    if (log->maxRead && size > log->maxRead) size = log->maxRead;
    long left = static_cast<long>(log->bytes.size()) - log->position;
    if (left <= 0) return 0;
    long n = left < static_cast<long>(size) ? left : static_cast<long>(size);
    std::memcpy(buffer, log->bytes.data() + log->position, static_cast<size_t>(n));
    log->position += n;
    return n;
  }
  static long Seek(void* context, long offset) {
    auto* log = static_cast<MemoryLog*>(context);
    if (offset < 0) return -1;
    log->position = offset;
    return offset;
  }
  LogSource Source() {
    LogSource s;
    s.context = this;
    s.read = Read;
    s.seek = Seek;
    return s;
  }
};

// The reader is large (three header-sized buffers); keep it off the stack.
inline std::unique_ptr<LogReader> OpenReader(MemoryLog& log, bool scrambled = false) {
  auto reader = std::make_unique<LogReader>();
  LogReaderOpen(*reader, log.Source(), scrambled);
  return reader;
}

// Scrambled folders store each byte with its halves exchanged.
inline std::string Scramble(std::string text) {
  for (char& c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    c = static_cast<char>((u << 4) | (u >> 4));
  }
  return text;
}

// One message in the separator form, as the import program writes it. The
// size is the body's length without CR characters unless given.
inline std::string SeparatorMessage(const std::string& folder, long number, const std::string& author,
                                    const std::string& date, const std::string& body,
                                    const std::string& commentLine = "", long size = -1) {
  if (size < 0) {
    size = 0;
    for (char c : body)
      if (c != '\r') ++size;
  }
  std::string m = "==========\n" + folder + " #" + std::to_string(number) + ", from " + author + ", " +
                  std::to_string(size) + " chars, " + date + "\n";
  if (!commentLine.empty()) m += commentLine + "\n";
  m += "----------\n" + body;
  return m;
}
