// Index files built byte by byte in each stored version, and a sink that
// collects (or refuses) what a writer produces.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "msgbase/records.h"
#include "msgbase/topic_index.h"

struct IndexEntry {
  uint32_t logOffset;
  uint32_t thrOffset;
  int32_t date;
  int32_t number;
  int32_t commentTo;
  uint16_t flags;
};

inline void PutU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

inline void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

template <class T>
void PutRecord(std::string& out, const T& record) {
  out.append(reinterpret_cast<const char*>(&record), sizeof record);
}

// An index file of the given version. wideCount stores the count in its long
// form (0xFFFF or -1, then 32 bits). Nodes are appended in stored-array form
// whatever the version, so that versions without them show they skip them.
inline std::string IndexFile(uint16_t version, int32_t first, int32_t last, const std::vector<IndexEntry>& entries,
                             const std::vector<SynNode>* nodes = nullptr, bool wideCount = false) {
  std::string out;
  PutU16(out, version);
  PutU32(out, static_cast<uint32_t>(first));
  PutU32(out, static_cast<uint32_t>(last));
  const uint32_t n = static_cast<uint32_t>(entries.size());
  if (wideCount) {
    PutU16(out, 0xFFFF);
    PutU32(out, n);
  } else {
    PutU16(out, static_cast<uint16_t>(n));
  }
  for (const IndexEntry& e : entries) {
    PutU32(out, e.logOffset);
    if (version == 11004) continue;
    PutU32(out, e.thrOffset);
    if (version == 11005 || version == 11006) continue;
    PutU32(out, static_cast<uint32_t>(e.date));
  }
  if (version == 11004) PutU32(out, 0xDEADBEEF);
  for (const IndexEntry& e : entries) PutRecord(out, MsgIndexRec{e.number, e.commentTo, e.flags});
  if (nodes) {
    PutU16(out, 0xFFFF);
    PutU32(out, static_cast<uint32_t>(nodes->size()));
    for (const SynNode& node : *nodes) PutRecord(out, node);
  }
  return out;
}

// Collects written bytes; past limit every write fails.
struct StringSink {
  std::string bytes;
  size_t limit = static_cast<size_t>(-1);

  static bool Write(void* context, const void* data, size_t size) {
    auto* sink = static_cast<StringSink*>(context);
    if (sink->bytes.size() + size > sink->limit) return false;
    sink->bytes.append(static_cast<const char*>(data), size);
    return true;
  }
  ByteSink Sink() {
    ByteSink s;
    s.context = this;
    s.write = Write;
    return s;
  }
};
