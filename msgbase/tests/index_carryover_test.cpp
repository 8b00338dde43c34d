#include "msgbase/index_carryover.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msgbase/tests/index_bytes.h"
#include "msgbase/tests/memory_log.h"

namespace {

struct Arrays {
  VirtualArray index{"index", sizeof(IndexRec)};
  VirtualArray logCva{"log cva", sizeof(MsgIndexRec)};
  TopicIndexArrays Refs() { return {&index, &logCva, nullptr}; }
  std::vector<uint16_t> Flags() {
    std::vector<uint16_t> out;
    for (int i = 0; i < logCva.Count(); ++i) out.push_back(static_cast<MsgIndexRec*>(logCva.At(i))->flags);
    return out;
  }
};

IndexEntry Entry(int32_t number, uint16_t flags) {
  return IndexEntry{static_cast<uint32_t>(number) * 100, static_cast<uint32_t>(number) * 125, 0, number, 0, flags};
}

// The rebuilt index: messages 10..14 with their read bits and nothing else.
const std::vector<IndexEntry> kRebuilt = {Entry(10, 0x0001), Entry(11, 0), Entry(12, 0x0001), Entry(13, 0),
                                          Entry(14, 0x0080)};

CarryOverResult Carry(const std::string& index, const std::string* older, Arrays& a, int* carried = nullptr,
                      TopicIndexHeader* header = nullptr) {
  MemoryLog indexFile, olderFile;
  indexFile.bytes = index;
  LogSource olderSource;
  if (older) {
    olderFile.bytes = *older;
    olderSource = olderFile.Source();
  }
  return CarryIndexMarks(indexFile.Source(), older ? &olderSource : nullptr, a.Refs(), header, carried);
}

TEST(IndexCarryOver, MarksOfEveryOlderVersionReachTheRebuiltIndex) {
  // The older file knew message 9 (pruned since) and 15 (beyond the range),
  // and lacks 13; it also holds read bits and other flags that stay behind.
  const std::vector<IndexEntry> older = {Entry(9, 0x0002),  Entry(10, 0x0008 | 0x0001), Entry(11, 0x0002 | 0x1000),
                                         Entry(12, 0x0010), Entry(14, 0x0004 | 0x0080), Entry(15, 0x0008)};
  const std::vector<uint16_t> expected = {0x0001 | 0x0008, 0x0002, 0x0001 | 0x0010, 0, 0x0080};
  struct Case {
    uint16_t version;
    bool wideCount;
  };
  for (Case c : {Case{11004, false}, Case{11005, false}, Case{11005, true}, Case{11006, false}, Case{11007, false},
                 Case{11007, true}}) {
    SCOPED_TRACE(testing::Message() << c.version << (c.wideCount ? " wide" : ""));
    Arrays a;
    std::string old = IndexFile(c.version, 9, 15, older, nullptr, c.wideCount);
    int carried = -1;
    TopicIndexHeader header;
    ASSERT_EQ(CARRYOVER_OK, Carry(IndexFile(11007, 10, 14, kRebuilt, nullptr, true), &old, a, &carried, &header));
    EXPECT_EQ(expected, a.Flags());
    EXPECT_EQ(3, carried);
    EXPECT_EQ(10, header.first);
    EXPECT_EQ(14, header.last);
    EXPECT_EQ(5, a.index.Count());
  }
}

TEST(IndexCarryOver, OlderFilesThatAreNoIndexCarryNothing) {
  const std::string rebuilt = IndexFile(11007, 10, 14, kRebuilt, nullptr, true);
  std::string older = IndexFile(11005, 10, 14, {Entry(10, 0x0002)});
  const std::vector<uint16_t> untouched = {0x0001, 0, 0x0001, 0, 0x0080};
  std::string truncated = older.substr(0, older.size() - 3);
  std::string wildCount = older;
  wildCount[10] = '\x7f';  // 127 records in a file of one
  struct Case {
    const char* what;
    std::string bytes;
    CarryOverResult result;
  };
  const Case cases[] = {
      {"text file", "hello, world\r\n", CARRYOVER_OLDER_UNKNOWN},
      {"version 10000", IndexFile(10000, 10, 14, {Entry(10, 0x0002)}), CARRYOVER_OLDER_UNKNOWN},
      {"version 11008", IndexFile(11008, 10, 14, {Entry(10, 0x0002)}), CARRYOVER_OLDER_UNKNOWN},
      {"empty", "", CARRYOVER_OLDER_UNKNOWN},
      {"truncated", truncated, CARRYOVER_OLDER_DAMAGED},
      {"count beyond the file", wildCount, CARRYOVER_OLDER_DAMAGED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Arrays a;
    int carried = -1;
    EXPECT_EQ(c.result, Carry(rebuilt, &c.bytes, a, &carried));
    EXPECT_EQ(untouched, a.Flags()) << "the index as read, nothing carried";
    EXPECT_EQ(0, carried);
  }
}

TEST(IndexCarryOver, AnUnreadableIndexIsSaidAndNoOlderFileIsNeeded) {
  Arrays a;
  std::string older = IndexFile(11005, 10, 14, {Entry(10, 0x0002)});
  std::string rebuilt = IndexFile(11007, 10, 14, kRebuilt, nullptr, true);
  EXPECT_EQ(CARRYOVER_INDEX_UNREADABLE, Carry(rebuilt.substr(0, 40), &older, a));
  EXPECT_EQ(0, a.logCva.Count());
  EXPECT_EQ(CARRYOVER_OK, Carry(rebuilt, nullptr, a));
  EXPECT_EQ(5, a.logCva.Count());
}

}  // namespace
