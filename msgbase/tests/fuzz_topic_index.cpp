// Feeds arbitrary bytes to the index reader. Whatever it accepts must write
// back and read again to the same arrays.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "msgbase/tests/index_bytes.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/topic_index.h"

namespace {

bool SameArray(VirtualArray& a, VirtualArray& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    std::string x(static_cast<const char*>(a.At(i)), a.ElementSize());
    if (memcmp(x.data(), b.At(i), x.size()) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VirtualArray index("index", sizeof(IndexRec));
  VirtualArray logCva("log cva", sizeof(MsgIndexRec));
  VirtualArray synopsis("Synopsis", sizeof(SynNode));
  TopicIndexArrays arrays{&index, &logCva, &synopsis};
  MemoryLog file;
  file.bytes.assign(reinterpret_cast<const char*>(data), size);
  TopicIndexLimits limits;
  if (size > 0 && (data[0] & 1)) limits = {static_cast<long>(size) * 8, static_cast<long>(size) * 64};
  TopicIndexHeader header;
  int result = ReadTopicIndex(file.Source(), arrays, &header, limits);
  if (result != kIndexRead) {
    if (index.Count() || logCva.Count() || synopsis.Count()) abort();
    return 0;
  }
  if (index.Count() == 0 || index.Count() != logCva.Count()) abort();

  StringSink sink;
  if (!WriteTopicIndex(sink.Sink(), arrays, header.first, header.last, 4)) abort();
  VirtualArray index2("index", sizeof(IndexRec));
  VirtualArray logCva2("log cva", sizeof(MsgIndexRec));
  VirtualArray synopsis2("Synopsis", sizeof(SynNode));
  TopicIndexArrays again{&index2, &logCva2, &synopsis2};
  MemoryLog copy;
  copy.bytes = sink.bytes;
  TopicIndexHeader header2;
  if (ReadTopicIndex(copy.Source(), again, &header2, limits) != kIndexRead) abort();
  if (header2.first != header.first || header2.last != header.last) abort();
  if (!SameArray(index, index2) || !SameArray(logCva, logCva2) || !SameArray(synopsis, synopsis2)) abort();
  return 0;
}
