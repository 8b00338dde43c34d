// Reader and writer of the topic index and the thread file. Every count and
// offset in an index is checked before use: a damaged index is rebuilt from
// the log, so the reader's only job on bad input is to say so and leave the
// arrays empty.
#include "msgbase/topic_index.h"

#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kWideCount = 0xFFFF;

// Sequential reads that either deliver every byte asked for or fail.
class Input {
 public:
  explicit Input(const LogSource& source) : source_(source) {}

  bool Bytes(void* data, size_t size) {
    auto* out = static_cast<char*>(data);
    while (size > 0) {
      if (!source_.read) return false;
      long got = source_.read(source_.context, out, size);
      if (got <= 0 || static_cast<size_t>(got) > size) return false;
      out += got;
      size -= static_cast<size_t>(got);
    }
    return true;
  }
  bool U16(uint16_t* value) {
    unsigned char b[2];
    if (!Bytes(b, 2)) return false;
    *value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool U32(uint32_t* value) {
    unsigned char b[4];
    if (!Bytes(b, 4)) return false;
    *value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  // True at a clean end of the file (nothing more to read).
  bool AtEnd() {
    if (peeked_) return false;
    if (!source_.read) return true;
    long got = source_.read(source_.context, &peek_, 1);
    if (got == 1) {
      peeked_ = true;
      return false;
    }
    return true;
  }
  // Like U16, but after AtEnd may have taken the first byte.
  bool U16AfterPeek(uint16_t* value) {
    if (!peeked_) return U16(value);
    unsigned char high;
    if (!Bytes(&high, 1)) return false;
    peeked_ = false;
    *value = static_cast<uint16_t>(static_cast<unsigned char>(peek_) | (high << 8));
    return true;
  }

 private:
  LogSource source_;
  char peek_ = 0;
  bool peeked_ = false;
};

uint32_t LoadU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void StoreU32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// Reads n stored records of storedSize bytes into the array, one chunk at a
// time, turning each into an element with convert(stored, element, slot). The
// array grows only as bytes arrive, so a hostile count costs no more memory
// than the file holds.
template <class Convert>
bool ReadRecords(Input& in, VirtualArray& array, uint32_t n, size_t storedSize, Convert convert) {
  array.SetSize(0, true);
  if (n > static_cast<uint32_t>(INT_MAX)) return false;
  const int perChunk = array.PerChunk();
  const size_t elementSize = static_cast<size_t>(array.ElementSize());
  std::vector<unsigned char> stored;
  int done = 0;
  for (int chunk = 0; done < static_cast<int>(n); ++chunk) {
    int m = static_cast<int>(n) - done;
    if (m > perChunk) m = perChunk;
    stored.resize(static_cast<size_t>(m) * storedSize);
    if (!in.Bytes(stored.data(), stored.size())) return false;
    // Growing the array costs work per chunk already held; doubling keeps
    // the total linear while never asking for more than twice what arrived.
    if (done + m > array.Count()) {
      int64_t grown = static_cast<int64_t>(array.Count()) * 2;
      if (grown < done + m) grown = done + m;
      if (grown > static_cast<int64_t>(n)) grown = n;
      if (!array.SetSize(static_cast<int>(grown))) return false;
    }
    VirtualArrayBuffer* buffer = array.ChunkBuffer(chunk);
    if (!buffer) return false;
    for (int j = 0; j < m; ++j)
      if (!convert(stored.data() + j * storedSize, buffer->data + j * elementSize, done + j)) return false;
    done += m;
  }
  if (array.Count() != done && !array.SetSize(done)) return false;
  // An array kept in order by its compare function must know whether the
  // file gave it that order.
  if (array.Compare())
    for (int i = 1; i < done && array.CheckOrderAt(i); i += 2) {}
  return true;
}

// Reads n records whose stored form is the element's own (every field
// little-endian, as the target keeps them) straight into the array's chunks,
// then checks each chunk where it lies with check(data, count, firstSlot);
// the array grows as bytes arrive, as above. One read per chunk, no copy.
template <class Check>
bool ReadRecordsInPlace(Input& in, VirtualArray& array, uint32_t n, Check check) {
  array.SetSize(0, true);
  if (n > static_cast<uint32_t>(INT_MAX)) return false;
  const int perChunk = array.PerChunk();
  const size_t elementSize = static_cast<size_t>(array.ElementSize());
  int done = 0;
  for (int chunk = 0; done < static_cast<int>(n); ++chunk) {
    int m = static_cast<int>(n) - done;
    if (m > perChunk) m = perChunk;
    if (done + m > array.Count()) {
      int64_t grown = static_cast<int64_t>(array.Count()) * 2;
      if (grown < done + m) grown = done + m;
      if (grown > static_cast<int64_t>(n)) grown = n;
      if (!array.SetSize(static_cast<int>(grown))) return false;
    }
    const size_t bytes = static_cast<size_t>(m) * elementSize;
    VirtualArrayBuffer* buffer = array.ChunkBufferToFill(chunk, bytes);
    if (!buffer || !in.Bytes(buffer->data, bytes) || !check(buffer->data, m, done)) return false;
    done += m;
  }
  if (array.Count() != done && !array.SetSize(done)) return false;
  return true;
}

// A count in stored-array form: a u16, or 0xFFFF and a u32.
bool ReadStoredCount(Input& in, uint16_t shortCount, uint32_t* n) {
  if (shortCount != kWideCount) {
    *n = shortCount;
    return true;
  }
  return in.U32(n);
}

// The older bodies' count: an i16, or -1 and a u32.
bool ReadOldCount(Input& in, uint32_t* n) {
  uint16_t raw;
  if (!in.U16(&raw)) return false;
  int16_t count = static_cast<int16_t>(raw);
  if (count == -1) return in.U32(n) && *n > 0 && *n <= static_cast<uint32_t>(INT_MAX);
  if (count <= 0) return false;
  *n = static_cast<uint32_t>(count);
  return true;
}

struct IndexChecks {
  const TopicIndexLimits& limits;
  bool Fits(const IndexRec& r) const {
    if (limits.logSize >= 0 && static_cast<int64_t>(r.logOffset) >= limits.logSize) return false;
    if (limits.thrSize >= 0 &&
        static_cast<int64_t>(r.thrOffset) + static_cast<int64_t>(sizeof(ThreadRecord)) > limits.thrSize)
      return false;
    return true;
  }
  // The same test over a run of stored records, without a branch per record.
  bool AllFit(const unsigned char* data, int count) const {
    const int64_t logEnd = limits.logSize >= 0 ? limits.logSize : INT64_MAX;
    const int64_t lastThr =
        limits.thrSize >= 0 ? limits.thrSize - static_cast<int64_t>(sizeof(ThreadRecord)) : INT64_MAX;
    bool bad = false;
    for (int j = 0; j < count; ++j, data += sizeof(IndexRec)) {
      const int64_t logOffset = LoadU32(data), thrOffset = LoadU32(data + 4);
      bad |= logOffset >= logEnd;
      bad |= thrOffset > lastThr;
    }
    return !bad;
  }
};

// "log cva" is searched by number, so numbers must rise from slot to slot.
bool ReadLogCva(Input& in, VirtualArray& logCva, uint32_t n, bool orderedByNumber) {
  int32_t previous = INT32_MIN;
  bool firstSlot = true;
  auto rising = [&](const unsigned char* element) {
    MsgIndexRec r;
    std::memcpy(&r, element, sizeof r);
    if (!firstSlot && r.number <= previous) return false;
    firstSlot = false;
    previous = r.number;
    return true;
  };
  if (logCva.ElementSize() == sizeof(MsgIndexRec)) {
    bool ok = ReadRecordsInPlace(in, logCva, n, [&](const unsigned char* data, int count, int) {
      bool bad = false;
      int32_t before = previous;
      for (int j = 0; j < count; ++j, data += sizeof(MsgIndexRec)) {
        int32_t number = static_cast<int32_t>(LoadU32(data));
        bad |= !firstSlot && number <= before;
        firstSlot = false;
        before = number;
      }
      previous = before;
      return !bad;
    });
    if (!ok) return false;
    // Rising numbers are the order of an array kept by number; any other
    // order the array keeps is checked.
    if (logCva.Compare() && !orderedByNumber) {
      const int count = logCva.Count(), perChunk = logCva.PerChunk();
      VirtualArrayCompare compare = logCva.Compare();
      for (int start = 0; start < count; start += perChunk) {
        const int m = count - start < perChunk ? count - start : perChunk;
        VirtualArrayBuffer* buffer = logCva.ChunkBuffer(start / perChunk);
        if (!buffer) return false;
        for (int j = 1; j < m; ++j)
          if (compare(buffer->data + (j - 1) * sizeof(MsgIndexRec), buffer->data + j * sizeof(MsgIndexRec)) > 0)
            logCva.CheckOrderAt(start + j);
        if (start > 0) logCva.CheckOrderAt(start);
      }
    }
    return true;
  }
  return ReadRecords(in, logCva, n, sizeof(MsgIndexRec), [&](const unsigned char* stored, unsigned char* element, int) {
    if (!rising(stored)) return false;
    std::memcpy(element, stored, sizeof(MsgIndexRec));
    return true;
  });
}

// The thread order is dropped, not the index, when it does not hold together:
// every link must name a node, every slot a message.
bool ReadSynopsis(Input& in, VirtualArray& synopsis, int indexCount) {
  synopsis.SetSize(0, true);
  if (in.AtEnd()) return true;
  uint16_t shortCount;
  uint32_t n;
  if (!in.U16AfterPeek(&shortCount) || !ReadStoredCount(in, shortCount, &n)) return false;
  if (n == 0) return true;
  if (n > static_cast<uint32_t>(INT_MAX)) return false;
  const int64_t nodes = n;
  auto isNode = [&](int32_t v) { return v >= -1 && v < nodes; };
  return ReadRecords(in, synopsis, n, sizeof(SynNode), [&](const unsigned char* stored, unsigned char* element, int) {
    SynNode node;
    std::memcpy(&node, stored, sizeof node);
    if (!isNode(node.lastInSubtree) || !isNode(node.parent) || !isNode(node.nextRoot) || !isNode(node.previousRoot) ||
        node.indexSlot < -1 || node.indexSlot >= indexCount)
      return false;
    std::memcpy(element, &node, sizeof node);
    return true;
  });
}

int ReadBody(Input& in, const TopicIndexArrays& arrays, uint16_t version, const TopicIndexLimits& limits) {
  VirtualArray& index = *arrays.index;
  IndexChecks checks{limits};
  uint32_t n = 0;
  bool hasSynopsis = false;
  switch (version) {
    case kIndexVersion11007: {
      uint16_t shortCount;
      if (!in.U16(&shortCount) || !ReadStoredCount(in, shortCount, &n) || n == 0) return kIndexNeedsRebuild;
      auto fits = [&](const unsigned char* stored) {
        IndexRec r;
        std::memcpy(&r, stored, sizeof r);
        return checks.Fits(r);
      };
      bool ok =
          index.ElementSize() == sizeof(IndexRec)
              ? ReadRecordsInPlace(
                    in, index, n, [&](const unsigned char* data, int count, int) { return checks.AllFit(data, count); })
              : ReadRecords(in, index, n, sizeof(IndexRec),
                            [&](const unsigned char* stored, unsigned char* element, int) {
                              if (!fits(stored)) return false;
                              std::memcpy(element, stored, sizeof(IndexRec));
                              return true;
                            });
      if (!ok) return kIndexNeedsRebuild;
      hasSynopsis = true;
      break;
    }
    case kIndexVersion11006:
    case kIndexVersion11005: {
      if (!ReadOldCount(in, &n)) return kIndexNeedsRebuild;
      bool ok = ReadRecords(in, index, n, 8, [&](const unsigned char* stored, unsigned char* element, int) {
        IndexRec r{LoadU32(stored), LoadU32(stored + 4), 0};
        if (!checks.Fits(r)) return false;
        std::memcpy(element, &r, sizeof r);
        return true;
      });
      if (!ok) return kIndexNeedsRebuild;
      hasSynopsis = version == kIndexVersion11006;
      break;
    }
    case kIndexVersion11004: {
      uint16_t raw;
      if (!in.U16(&raw) || static_cast<int16_t>(raw) <= 0) return kIndexNeedsRebuild;
      n = raw;
      // The thread file of this version has one record per message in log order.
      bool ok = ReadRecords(in, index, n, 4, [&](const unsigned char* stored, unsigned char* element, int slot) {
        IndexRec r{LoadU32(stored), static_cast<uint32_t>(slot) * static_cast<uint32_t>(sizeof(ThreadRecord)), 0};
        if (!checks.Fits(r)) return false;
        std::memcpy(element, &r, sizeof r);
        return true;
      });
      uint32_t skipped;
      if (!ok || !in.U32(&skipped)) return kIndexNeedsRebuild;
      break;
    }
    default: return kIndexNeedsRebuild;  // unknown version: nothing of it can be trusted
  }
  if (!ReadLogCva(in, *arrays.logCva, n, arrays.logCvaByNumber)) return kIndexNeedsRebuild;
  if (arrays.synopsis && (!hasSynopsis || !ReadSynopsis(in, *arrays.synopsis, static_cast<int>(n))))
    arrays.synopsis->SetSize(0, true);
  return kIndexRead;
}

// Writes the array's bytes as they stand, one chunk at a time.
bool WriteRecords(const ByteSink& sink, VirtualArray& array) {
  int64_t left = static_cast<int64_t>(array.Count()) * array.ElementSize();
  for (int k = 0; k < array.ChunkCount() && left > 0; ++k) {
    VirtualArrayBuffer* buffer = array.ChunkBuffer(k);
    if (!buffer) return false;
    size_t bytes = static_cast<size_t>(left < array.ChunkBytes() ? left : array.ChunkBytes());
    if (!sink.write(sink.context, buffer->data, bytes)) return false;
    left -= static_cast<int64_t>(bytes);
  }
  return true;
}

bool WriteStoredArray(const ByteSink& sink, VirtualArray& array) {
  unsigned char head[6] = {0xFF, 0xFF};
  StoreU32(head + 2, static_cast<uint32_t>(array.Count()));
  return sink.write(sink.context, head, sizeof head) && WriteRecords(sink, array);
}

void SwapNibbles(unsigned char* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((bytes[i] << 4) | (bytes[i] >> 4));
}

// Zeroes everything after a field's terminator.
void ClearPadding(char* field, size_t size) {
  size_t len = strnlen(field, size);
  std::memset(field + len, 0, size - len);
}

long StdioRead(void* context, char* buffer, size_t size) {
  auto* stream = static_cast<FILE*>(context);
  size_t got = fread(buffer, 1, size, stream);
  if (got == 0 && ferror(stream)) return -1;
  return static_cast<long>(got);
}

long StdioSeek(void* context, long offset) {
  if (offset < 0 || fseek(static_cast<FILE*>(context), offset, SEEK_SET) != 0) return -1;
  return offset;
}

bool StdioWrite(void* context, const void* data, size_t size) {
  return fwrite(data, 1, size, static_cast<FILE*>(context)) == size;
}

// The header's range is what the open topic and conf.ww take over, and the
// next import numbers from its last: it must be a possible range, and every
// record of the index must lie inside it.
bool RangeCoversRecords(const TopicIndexHeader& h, VirtualArray& logCva) {
  if (h.first < 0 || h.first > h.last || h.last > kMaxMessageNumber) return false;
  for (int i = 0; i < logCva.Count(); ++i) {
    const auto* r = static_cast<const MsgIndexRec*>(logCva.At(i));
    if (!r || r->number < h.first || r->number > h.last) return false;
  }
  return true;
}

}  // namespace

LogSource StdioSource(FILE* stream) {
  LogSource source;
  source.context = stream;
  source.read = StdioRead;
  source.seek = StdioSeek;
  return source;
}

ByteSink StdioSink(FILE* stream) {
  ByteSink sink;
  sink.context = stream;
  sink.write = StdioWrite;
  return sink;
}

int ReadTopicIndex(const LogSource& source, const TopicIndexArrays& arrays, TopicIndexHeader* header,
                   const TopicIndexLimits& limits) {
  if (!arrays.index || !arrays.logCva) return kIndexNeedsRebuild;
  arrays.index->SetSize(0, true);
  arrays.logCva->SetSize(0, true);
  if (arrays.synopsis) arrays.synopsis->SetSize(0, true);
  Input in(source);
  TopicIndexHeader h;
  uint32_t first = 0, last = 0;
  int result = kIndexNeedsRebuild;
  if (in.U16(&h.version) && in.U32(&first) && in.U32(&last)) {
    h.first = static_cast<int32_t>(first);
    h.last = static_cast<int32_t>(last);
    result = ReadBody(in, arrays, h.version, limits);
    if (result == kIndexRead && !RangeCoversRecords(h, *arrays.logCva)) result = kIndexNeedsRebuild;
  }
  if (result != kIndexRead) {
    arrays.index->SetSize(0, true);
    arrays.logCva->SetSize(0, true);
    if (arrays.synopsis) arrays.synopsis->SetSize(0, true);
  }
  if (header) *header = h;
  return result;
}

int WriteTopicIndex(const ByteSink& sink, const TopicIndexArrays& arrays, int32_t first, int32_t last,
                    int messageOrder) {
  if (!sink.write || !arrays.index || !arrays.logCva) return 0;
  if (arrays.index->Count() != arrays.logCva->Count()) return 0;
  unsigned char head[10];
  head[0] = static_cast<unsigned char>(kIndexVersion11007 & 0xFF);
  head[1] = static_cast<unsigned char>(kIndexVersion11007 >> 8);
  StoreU32(head + 2, static_cast<uint32_t>(first));
  StoreU32(head + 6, static_cast<uint32_t>(last));
  if (!sink.write(sink.context, head, sizeof head)) return 0;
  if (!WriteStoredArray(sink, *arrays.index) || !WriteRecords(sink, *arrays.logCva)) return 0;
  const bool threaded = messageOrder == 4 || messageOrder == 5;
  if (arrays.synopsis && arrays.synopsis->Count() > 0 && threaded && !WriteStoredArray(sink, *arrays.synopsis))
    return 0;
  return 1;
}

int ReadThreadRecord(const LogSource& thr, uint32_t offset, bool scrambled, ThreadRecord* record) {
  std::memset(record, 0, sizeof *record);
  if (!thr.seek || offset > static_cast<uint32_t>(LONG_MAX) - sizeof(ThreadRecord)) return 0;
  if (thr.seek(thr.context, static_cast<long>(offset)) != static_cast<long>(offset)) return 0;
  ThreadRecord stored;
  Input in(thr);
  if (!in.Bytes(&stored, sizeof stored)) return 0;
  if (scrambled) SwapNibbles(reinterpret_cast<unsigned char*>(&stored), sizeof stored);
  *record = stored;
  return 1;
}

int WriteThreadRecord(const ByteSink& sink, const ThreadRecord& record, bool scrambled) {
  if (!sink.write) return 0;
  ThreadRecord stored = record;
  ClearPadding(stored.author, sizeof stored.author);
  ClearPadding(stored.subject, sizeof stored.subject);
  if (scrambled) SwapNibbles(reinterpret_cast<unsigned char*>(&stored), sizeof stored);
  return sink.write(sink.context, &stored, sizeof stored) ? 1 : 0;
}

ThreadRecord MakeThreadRecord(const char* author, const char* subject) {
  ThreadRecord r = {};
  if (author) std::memcpy(r.author, author, strnlen(author, sizeof r.author));
  if (subject) std::memcpy(r.subject, subject, strnlen(subject, sizeof r.subject));
  return r;
}

void ThreadRecordText(const ThreadRecord& record, char author[26], char subject[101]) {
  size_t a = strnlen(record.author, sizeof record.author);
  std::memcpy(author, record.author, a);
  author[a] = 0;
  size_t s = strnlen(record.subject, sizeof record.subject);
  std::memcpy(subject, record.subject, s);
  subject[s] = 0;
}
