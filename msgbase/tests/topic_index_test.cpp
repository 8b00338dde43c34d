#include "msgbase/topic_index.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "msgbase/tests/index_bytes.h"
#include "msgbase/tests/memory_log.h"

namespace {

struct Arrays {
  VirtualArray index{"index", sizeof(IndexRec)};
  VirtualArray logCva{"log cva", sizeof(MsgIndexRec)};
  VirtualArray synopsis{"Synopsis", sizeof(SynNode)};
  TopicIndexArrays Refs() { return {&index, &logCva, &synopsis}; }

  IndexRec Index(int i) { return *static_cast<IndexRec*>(index.At(i)); }
  MsgIndexRec Msg(int i) { return *static_cast<MsgIndexRec*>(logCva.At(i)); }
  SynNode Node(int i) { return *static_cast<SynNode*>(synopsis.At(i)); }
};

int Read(const std::string& bytes, Arrays& a, TopicIndexHeader* header = nullptr,
         const TopicIndexLimits& limits = TopicIndexLimits()) {
  MemoryLog file;
  file.bytes = bytes;
  return ReadTopicIndex(file.Source(), a.Refs(), header, limits);
}

std::string Write(Arrays& a, int32_t first, int32_t last, int order) {
  StringSink sink;
  EXPECT_EQ(1, WriteTopicIndex(sink.Sink(), a.Refs(), first, last, order));
  return sink.bytes;
}

void Fill(Arrays& a, int n) {
  for (int i = 0; i < n; ++i) {
    IndexRec r{static_cast<uint32_t>(1000 * i), static_cast<uint32_t>(125 * i), 86400 * (i + 1)};
    MsgIndexRec m{i + 1, i, static_cast<uint16_t>(i % 2 ? kMsgRead : 0)};
    a.index.Append(&r);
    a.logCva.Append(&m);
  }
}

SynNode Node(int parent, int number, int slot) {
  SynNode n{};
  n.lastInSubtree = -1;
  n.parent = parent;
  n.nextRoot = -1;
  n.previousRoot = -1;
  n.number = number;
  n.indexSlot = slot;
  n.reserved = -1;
  return n;
}

// The three messages every version's fixture describes.
const std::vector<IndexEntry> kThree = {
    {0, 0, 100, 1001, 0, kMsgRead},
    {412, 125, 200, 1002, 1001, 0},
    {980, 250, 300, 1004, 1002, kMsgKeep},
};

TEST(TopicIndex, WrittenIndexReadsBackWithItsThreadOrder) {
  Arrays a;
  Fill(a, 3);
  SynNode nodes[] = {Node(-1, 1, 0), Node(0, 2, 1), Node(1, 3, 2)};
  for (auto& n : nodes) a.synopsis.Append(&n);
  std::string bytes = Write(a, 1, 3, 4);
  ASSERT_EQ(11007, static_cast<unsigned char>(bytes[0]) | (static_cast<unsigned char>(bytes[1]) << 8));

  Arrays b;
  TopicIndexHeader h;
  ASSERT_EQ(kIndexRead, Read(bytes, b, &h));
  EXPECT_EQ(kIndexVersion11007, h.version);
  EXPECT_EQ(1, h.first);
  EXPECT_EQ(3, h.last);
  ASSERT_EQ(3, b.index.Count());
  ASSERT_EQ(3, b.logCva.Count());
  ASSERT_EQ(3, b.synopsis.Count());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0, memcmp(a.index.At(i), b.index.At(i), sizeof(IndexRec))) << i;
    EXPECT_EQ(0, memcmp(a.logCva.At(i), b.logCva.At(i), sizeof(MsgIndexRec))) << i;
    EXPECT_EQ(0, memcmp(a.synopsis.At(i), b.synopsis.At(i), sizeof(SynNode))) << i;
  }
}

TEST(TopicIndex, ThreadOrderIsStoredOnlyForThreadedOrders) {
  struct Case {
    int order;
    bool nodes;
    bool stored;
  } cases[] = {{3, true, false}, {4, true, true}, {5, true, true}, {6, true, false}, {4, false, false}};
  for (const Case& c : cases) {
    Arrays a;
    Fill(a, 2);
    if (c.nodes) {
      SynNode n = Node(-1, 1, 0);
      a.synopsis.Append(&n);
    }
    std::string bytes = Write(a, 1, 2, c.order);
    EXPECT_EQ(10 + 6 + 2 * 12 + 2 * 10 + (c.stored ? 6 + 34 : 0), static_cast<int>(bytes.size())) << c.order;
    Arrays b;
    ASSERT_EQ(kIndexRead, Read(bytes, b));
    EXPECT_EQ(c.stored ? 1 : 0, b.synopsis.Count()) << c.order;
  }
}

TEST(TopicIndex, EveryVersionReadsTheSameMessages) {
  struct Case {
    uint16_t version;
    bool wideCount;
    bool keepsThreadOffset;
    bool keepsDate;
    bool readsSynopsis;
  } cases[] = {
      {11004, false, false, false, false}, {11005, false, true, false, false}, {11005, true, true, false, false},
      {11006, false, true, false, true},   {11006, true, true, false, true},   {11007, false, true, true, true},
      {11007, true, true, true, true},
  };
  std::vector<SynNode> nodes = {Node(-1, 1001, 0), Node(0, 1002, 1)};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << (c.wideCount ? " wide" : ""));
    Arrays a;
    TopicIndexHeader h;
    ASSERT_EQ(kIndexRead, Read(IndexFile(c.version, 1001, 1004, kThree, &nodes, c.wideCount), a, &h));
    EXPECT_EQ(c.version, h.version);
    EXPECT_EQ(1001, h.first);
    EXPECT_EQ(1004, h.last);
    ASSERT_EQ(3, a.index.Count());
    ASSERT_EQ(3, a.logCva.Count());
    for (int i = 0; i < 3; ++i) {
      const IndexEntry& e = kThree[i];
      EXPECT_EQ(e.logOffset, a.Index(i).logOffset);
      // The oldest version keeps one thread record per message in log order.
      EXPECT_EQ(c.keepsThreadOffset ? e.thrOffset : 125u * i, a.Index(i).thrOffset);
      EXPECT_EQ(c.keepsDate ? e.date : 0, a.Index(i).date);
      EXPECT_EQ(e.number, a.Msg(i).number);
      EXPECT_EQ(e.commentTo, a.Msg(i).commentTo);
      EXPECT_EQ(e.flags, a.Msg(i).flags);
    }
    EXPECT_EQ(c.readsSynopsis ? 2 : 0, a.synopsis.Count());
  }
}

TEST(TopicIndex, OldestVersionGivesThreadOffsetsInSteps) {
  // Offsets as the fixture states them are ignored for this version.
  std::vector<IndexEntry> entries = {{10, 999, 5, 1, 0, 0}, {20, 999, 5, 2, 0, 0}, {30, 999, 5, 3, 0, 0}};
  Arrays a;
  ASSERT_EQ(kIndexRead, Read(IndexFile(11004, 1, 3, entries), a));
  EXPECT_EQ(0u, a.Index(0).thrOffset);
  EXPECT_EQ(125u, a.Index(1).thrOffset);
  EXPECT_EQ(250u, a.Index(2).thrOffset);
  EXPECT_EQ(0, a.Index(2).date);
}

// Whatever the damage, the arrays end empty and take new entries again, and
// nothing of an earlier topic survives.
TEST(TopicIndex, DamagedIndexAsksForRebuildAndLeavesArraysEmpty) {
  std::vector<IndexEntry> unordered = {kThree[1], kThree[0]};
  std::vector<IndexEntry> equalNumbers = {kThree[0], kThree[0]};
  std::string hugeCount = IndexFile(11007, 1001, 1004, kThree, nullptr, true);
  hugeCount.replace(12, 4, std::string("\xff\xff\xff\x7f", 4));
  std::string negativeWide = IndexFile(11006, 1001, 1004, kThree, nullptr, true);
  negativeWide.replace(12, 4, std::string("\x00\x00\x00\x80", 4));
  std::string negativeOld = IndexFile(11005, 1001, 1004, kThree);
  negativeOld.replace(10, 2, std::string("\xfe\xff", 2));
  struct Case {
    const char* what;
    std::string bytes;
    TopicIndexLimits limits;
  } cases[] = {
      {"empty file", "", {}},
      {"header only", IndexFile(11007, 1001, 1004, kThree).substr(0, 10), {}},
      {"unknown version above", IndexFile(11008, 1001, 1004, kThree), {}},
      {"unknown version below", IndexFile(11003, 1001, 1004, kThree), {}},
      {"no messages 11007", IndexFile(11007, 0, 0, {}), {}},
      {"no messages 11004", IndexFile(11004, 0, 0, {}), {}},
      {"no messages 11006", IndexFile(11006, 0, 0, {}), {}},
      {"negative count", negativeOld, {}},
      {"count past the file", hugeCount, {}},
      {"negative wide count", negativeWide, {}},
      {"numbers out of order", IndexFile(11007, 1001, 1004, unordered), {}},
      {"numbers repeated", IndexFile(11005, 1001, 1004, equalNumbers), {}},
      {"log offset past the log", IndexFile(11007, 1001, 1004, kThree), {980, -1}},
      {"thread record past the file", IndexFile(11006, 1001, 1004, kThree), {-1, 374}},
      {"11004 offset past the log", IndexFile(11004, 1001, 1004, kThree), {500, -1}},
      // Ranges the open would hand on to conf.ww and the next import.
      {"last at the largest 32-bit number", IndexFile(11007, 1001, 2147483647, kThree), {}},
      {"last past the largest message number", IndexFile(11007, 1001, 100000000, kThree), {}},
      {"first above last", IndexFile(11007, 1004, 1001, kThree), {}},
      {"negative first", IndexFile(11007, -5, 1004, kThree), {}},
      {"first above a record", IndexFile(11007, 1002, 1004, kThree), {}},
      {"last below a record", IndexFile(11006, 1001, 1003, kThree), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Arrays a;
    ASSERT_EQ(kIndexRead, Read(IndexFile(11007, 1001, 1004, kThree), a));
    EXPECT_EQ(kIndexNeedsRebuild, Read(c.bytes, a, nullptr, c.limits));
    EXPECT_EQ(0, a.index.Count());
    EXPECT_EQ(0, a.logCva.Count());
    EXPECT_EQ(0, a.synopsis.Count());
    MsgIndexRec m{7, 0, 0};
    EXPECT_EQ(1, a.logCva.Append(&m));
    EXPECT_EQ(7, a.Msg(0).number);
  }
  // The same limits that reject the files above pass a topic that fits them.
  Arrays a;
  EXPECT_EQ(kIndexRead, Read(IndexFile(11006, 1001, 1004, kThree), a, nullptr, {981, 375}));
}

TEST(TopicIndex, EveryTruncationOfEveryVersionAsksForRebuild) {
  for (uint16_t version : {11004, 11005, 11006, 11007}) {
    std::string whole = IndexFile(version, 1001, 1004, kThree);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      Arrays a;
      EXPECT_EQ(kIndexNeedsRebuild, Read(whole.substr(0, cut), a)) << version << " cut at " << cut;
      EXPECT_EQ(0, a.logCva.Count());
    }
  }
}

TEST(TopicIndex, DamagedThreadOrderIsDroppedButIndexKept) {
  std::vector<SynNode> good = {Node(-1, 1001, 0), Node(0, 1002, 1)};
  std::vector<SynNode> badParent = {Node(-1, 1001, 0), Node(2, 1002, 1)};
  std::vector<SynNode> badSlot = {Node(-1, 1001, 0), Node(0, 1002, 3)};
  std::string truncated = IndexFile(11007, 1001, 1004, kThree, &good);
  truncated.pop_back();
  std::string oneByte = IndexFile(11007, 1001, 1004, kThree) + std::string(1, '\xff');
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"link past the nodes", IndexFile(11007, 1001, 1004, kThree, &badParent)},
      {"slot past the index", IndexFile(11006, 1001, 1004, kThree, &badSlot)},
      {"truncated node", truncated},
      {"one stray byte", oneByte},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Arrays a;
    SynNode old = Node(-1, 5, 0);
    a.synopsis.Append(&old);
    ASSERT_EQ(kIndexRead, Read(c.bytes, a));
    EXPECT_EQ(3, a.logCva.Count());
    EXPECT_EQ(0, a.synopsis.Count());
  }
}

// A source that hands out one byte per call, or fails every read.
struct TrickleSource {
  std::string bytes;
  size_t position = 0;
  static long Read(void* context, char* buffer, size_t size) {
    auto* s = static_cast<TrickleSource*>(context);
    if (size == 0 || s->position >= s->bytes.size()) return 0;
    buffer[0] = s->bytes[s->position++];
    return 1;
  }
  static long Fail(void*, char*, size_t) { return -1; }
};

TEST(TopicIndex, ShortReadsAreCompletedAndReadErrorsRebuild) {
  std::vector<SynNode> nodes = {Node(-1, 1001, 0), Node(0, 1002, 1)};
  TrickleSource trickle{IndexFile(11007, 1001, 1004, kThree, &nodes, true)};
  LogSource source;
  source.context = &trickle;
  source.read = TrickleSource::Read;
  Arrays a;
  ASSERT_EQ(kIndexRead, ReadTopicIndex(source, a.Refs(), nullptr));
  EXPECT_EQ(1004, a.Msg(2).number);
  EXPECT_EQ(2, a.synopsis.Count());

  source.read = TrickleSource::Fail;
  EXPECT_EQ(kIndexNeedsRebuild, ReadTopicIndex(source, a.Refs(), nullptr));
  EXPECT_EQ(0, a.logCva.Count());
}

int CompareNodeNumbers(const void* x, const void* y) {
  int32_t a = static_cast<const SynNode*>(x)->number, b = static_cast<const SynNode*>(y)->number;
  return a < b ? -1 : a > b;
}

TEST(TopicIndex, OrderedArrayLearnsWhetherTheFileKeptItsOrder) {
  for (bool ascending : {true, false}) {
    std::vector<SynNode> nodes = {Node(-1, 1001, 0), Node(-1, 1002, 1), Node(-1, 1004, 2)};
    if (!ascending) {
      nodes[1].number = 1004;  // packed fields: assigned, not swapped by reference
      nodes[2].number = 1002;
    }
    Arrays a;
    VirtualArray ordered("Synopsis", sizeof(SynNode), CompareNodeNumbers);
    TopicIndexArrays refs{&a.index, &a.logCva, &ordered};
    MemoryLog file;
    file.bytes = IndexFile(11007, 1001, 1004, kThree, &nodes);
    ASSERT_EQ(kIndexRead, ReadTopicIndex(file.Source(), refs, nullptr));
    ASSERT_EQ(3, ordered.Count());
    EXPECT_EQ(ascending, ordered.Sorted());
  }
}

// A directory of its own for one test, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() / ("topicidx-" + std::to_string(stamp));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// The index and thread files of a topic on disk, as an open reads them: each
// message's thread record is where its index entry says.
TEST(TopicIndex, TopicFilesOnDiskGiveEachMessagesAuthorAndSubject) {
  const char* authors[] = {"Ann", "Bob", "Cy"};
  const char* subjects[] = {"First", "Re: First", "Re: Re: First"};
  for (uint16_t version : {11004, 11005, 11006, 11007}) {
    for (bool scrambled : {false, true}) {
      SCOPED_TRACE(testing::Message() << version << (scrambled ? " scrambled" : ""));
      ScratchDir dir;
      StringSink thr;
      for (int i = 0; i < 3; ++i)
        ASSERT_EQ(1, WriteThreadRecord(thr.Sink(), MakeThreadRecord(authors[i], subjects[i]), scrambled));
      ASSERT_TRUE(WriteFile(dir.File("topic.thr"), thr.bytes));
      ASSERT_TRUE(WriteFile(dir.File("topic.ind"), IndexFile(version, 1001, 1004, kThree)));

      FILE* ind = fopen(dir.File("topic.ind").c_str(), "rb");
      FILE* thrFile = fopen(dir.File("topic.thr").c_str(), "rb");
      ASSERT_TRUE(ind && thrFile);
      Arrays a;
      TopicIndexLimits limits;
      limits.thrSize = static_cast<long>(thr.bytes.size());
      EXPECT_EQ(kIndexRead, ReadTopicIndex(StdioSource(ind), a.Refs(), nullptr, limits));
      fclose(ind);
      ASSERT_EQ(3, a.index.Count());
      for (int i = 0; i < 3; ++i) {
        ThreadRecord r;
        ASSERT_EQ(1, ReadThreadRecord(StdioSource(thrFile), a.Index(i).thrOffset, scrambled, &r));
        char author[26], subject[101];
        ThreadRecordText(r, author, subject);
        EXPECT_STREQ(authors[i], author);
        EXPECT_STREQ(subjects[i], subject);
      }
      fclose(thrFile);
    }
  }
}

TEST(TopicIndex, LargeIndexCrossesChunksThroughAFile) {
  Arrays a;
  const int n = 20000;  // several chunks of every array
  Fill(a, n);
  FILE* f = tmpfile();
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(1, WriteTopicIndex(StdioSink(f), a.Refs(), 1, n, 6));
  rewind(f);
  Arrays b;
  TopicIndexHeader h;
  ASSERT_EQ(kIndexRead, ReadTopicIndex(StdioSource(f), b.Refs(), &h));
  fclose(f);
  EXPECT_EQ(n, h.last);
  ASSERT_EQ(n, b.logCva.Count());
  for (int i : {0, 5439, 5440, 6553, 6554, 13000, n - 1}) {
    EXPECT_EQ(a.Index(i).logOffset, b.Index(i).logOffset) << i;
    EXPECT_EQ(a.Index(i).date, b.Index(i).date) << i;
    EXPECT_EQ(i + 1, b.Msg(i).number) << i;
  }
}

int CompareNumbersUp(const void* x, const void* y) {
  int32_t a, b;
  std::memcpy(&a, x, 4);
  std::memcpy(&b, y, 4);
  return a < b ? -1 : a > b;
}
int CompareNumbersDown(const void* x, const void* y) { return CompareNumbersUp(y, x); }

TEST(TopicIndex, ReadInPlaceKeepsEveryCheckAcrossChunks) {
  Arrays source;
  const int n = 20000;
  Fill(source, n);
  StringSink sink;
  ASSERT_EQ(1, WriteTopicIndex(sink.Sink(), source.Refs(), 1, n, 6));
  const std::string good = sink.bytes;
  const size_t indexAt = 16, logCvaAt = indexAt + n * sizeof(IndexRec);
  struct Case {
    const char* name;
    VirtualArrayCompare compare;
    bool byNumber;
    size_t patchAt;  // 0: none
    uint32_t patchValue;
    int result;
    bool sorted;
  };
  const Case cases[] = {
      {"by number", CompareNumbersUp, true, 0, 0, kIndexRead, true},
      {"compare checked", CompareNumbersUp, false, 0, 0, kIndexRead, true},
      {"other order learnt", CompareNumbersDown, false, 0, 0, kIndexRead, false},
      // A number that falls back, in the last chunk and at a chunk's start.
      {"falls back late", CompareNumbersUp, true, logCvaAt + (n - 1) * sizeof(MsgIndexRec), 5, kIndexNeedsRebuild,
       false},
      {"falls back at edge", CompareNumbersUp, true, logCvaAt + 6528 * sizeof(MsgIndexRec), 6528, kIndexNeedsRebuild,
       false},
      // Offsets past the log and the thread file, deep in the array.
      {"log offset", CompareNumbersUp, true, indexAt + 15000 * sizeof(IndexRec), 20000000, kIndexNeedsRebuild, false},
      {"thread offset", CompareNumbersUp, true, indexAt + 5440 * sizeof(IndexRec) + 4, 125 * n, kIndexNeedsRebuild,
       false},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    if (c.patchAt) std::memcpy(&bytes[c.patchAt], &c.patchValue, 4);
    Arrays a;
    VirtualArray logCva("log cva", sizeof(MsgIndexRec), c.compare);
    TopicIndexArrays refs{&a.index, &logCva, &a.synopsis};
    refs.logCvaByNumber = c.byNumber;
    TopicIndexLimits limits;
    limits.logSize = 1000L * n;
    limits.thrSize = 125L * n;
    MemoryLog file;
    file.bytes = bytes;
    ASSERT_EQ(c.result, ReadTopicIndex(file.Source(), refs, nullptr, limits)) << c.name;
    if (c.result != kIndexRead) {
      EXPECT_EQ(0, logCva.Count()) << c.name;
      EXPECT_EQ(0, a.index.Count()) << c.name;
      continue;
    }
    ASSERT_EQ(n, logCva.Count()) << c.name;
    EXPECT_EQ(c.sorted, logCva.Sorted()) << c.name;
    EXPECT_EQ(n, static_cast<MsgIndexRec*>(logCva.At(n - 1))->number) << c.name;
    EXPECT_EQ(1000u * (n - 1), a.Index(n - 1).logOffset) << c.name;
  }
}

TEST(TopicIndex, WriterRefusesMismatchAndReportsFailedWrites) {
  Arrays a;
  Fill(a, 3);
  MsgIndexRec extra{9, 0, 0};
  a.logCva.Append(&extra);
  StringSink sink;
  EXPECT_EQ(0, WriteTopicIndex(sink.Sink(), a.Refs(), 1, 3, 4));
  EXPECT_TRUE(sink.bytes.empty());

  Arrays b;
  Fill(b, 3);
  SynNode n = Node(-1, 1, 0);
  b.synopsis.Append(&n);
  const size_t whole = Write(b, 1, 3, 4).size();
  for (size_t limit : {size_t{0}, size_t{9}, size_t{10}, size_t{30}, whole - 1}) {
    StringSink failing;
    failing.limit = limit;
    EXPECT_EQ(0, WriteTopicIndex(failing.Sink(), b.Refs(), 1, 3, 4)) << limit;
  }
}

TEST(ThreadFile, RecordsRoundTripPlainAndScrambled) {
  for (bool scrambled : {false, true}) {
    SCOPED_TRACE(scrambled ? "scrambled" : "plain");
    ThreadRecord first = MakeThreadRecord("Ann Author", "Subject one");
    // A full field carries no terminator; text after a terminator is padding.
    ThreadRecord second = MakeThreadRecord("abcdefghijklmnopqrstuvwxyz", std::string(120, 's').c_str());
    ThreadRecord dirty = {};
    memcpy(dirty.author, "Bo\0leftover", 11);
    memcpy(dirty.subject, "Re: x\0junk", 10);
    StringSink sink;
    for (const ThreadRecord* r : {&first, &second, &dirty}) ASSERT_EQ(1, WriteThreadRecord(sink.Sink(), *r, scrambled));
    ASSERT_EQ(375u, sink.bytes.size());
    EXPECT_EQ(scrambled, sink.bytes.find("Ann Author") == std::string::npos);
    EXPECT_EQ(std::string::npos, sink.bytes.find("leftover"));
    EXPECT_EQ(std::string::npos, sink.bytes.find(scrambled ? Scramble("junk") : "junk"));

    MemoryLog file;
    file.bytes = sink.bytes;
    struct Expect {
      uint32_t offset;
      const char* author;
      std::string subject;
    } expects[] = {{0, "Ann Author", "Subject one"},
                   {125, "abcdefghijklmnopqrstuvwxy", std::string(100, 's')},
                   {250, "Bo", "Re: x"}};
    for (const Expect& e : expects) {
      ThreadRecord r;
      ASSERT_EQ(1, ReadThreadRecord(file.Source(), e.offset, scrambled, &r));
      char author[26], subject[101];
      ThreadRecordText(r, author, subject);
      EXPECT_STREQ(e.author, author);
      EXPECT_EQ(e.subject, subject);
    }
    ThreadRecord r = first;
    for (uint32_t bad : {251u, 375u, 0xFFFFFFFFu}) {
      EXPECT_EQ(0, ReadThreadRecord(file.Source(), bad, scrambled, &r)) << bad;
      EXPECT_EQ(0, r.author[0]);
    }
  }
}

}  // namespace
