#include "msgbase/conf_list.h"

#include <gtest/gtest.h>

#include "msgbase/tests/conf_test_util.h"
#include "msgbase/user_folders.h"

namespace {

TEST(ConfListFile, OldFormReadsWidenedAndWritesBackInCurrentForm) {
  std::vector<OldConfRec> old = {MakeOldConf("quorl:alpha/one", "q\\alpha1.log", 65534, -2, -1),
                                 MakeOldConf("quorl:alpha/two", "q\\alpha2.log", 7, 0x4001, 12),
                                 MakeOldConf("dvn:forum/S1_Chat", "d\\f1.log", 0, 0, 0)};
  FILE* f = StreamOf(OldConfFile(old, 3));
  VirtualArray list("t", sizeof(ConfRec), CompareConfEntries);
  uint32_t header = 0;
  ASSERT_EQ(ReadConfList(f, list, &header), CONFFILE_OK);
  std::fclose(f);
  EXPECT_EQ(header, 0xCAFEF00Du);
  ASSERT_EQ(list.Count(), 3);
  auto recs = RecordsOf(list);
  EXPECT_STREQ(recs[0].name, "quorl:alpha/one");
  EXPECT_STREQ(recs[0].baseName, "q\\alpha1.log");
  EXPECT_EQ(+recs[0].selected, 1);
  EXPECT_EQ(+recs[0].readMark, 7);
  EXPECT_EQ(+recs[0].first, 3);
  EXPECT_EQ(+recs[0].last, 70000);
  EXPECT_EQ(+recs[0].waiting, 65534);      // unsigned 16 bits widened
  EXPECT_EQ(+recs[0].flags, 0xFFFFFFFEu);  // signed 16 bits widened with sign
  EXPECT_EQ(+recs[0].order, -1);
  EXPECT_EQ(+recs[0].userInfo, 0xA5A5A5A5u);
  EXPECT_EQ(+recs[1].flags, 0x4001u);
  EXPECT_EQ(+recs[1].order, 12);

  FILE* out = std::tmpfile();
  ASSERT_TRUE(WriteConfList(out, list, header));
  std::string bytes = ContentsOf(out);
  ASSERT_EQ(bytes.size(), 10u + 3 * sizeof(ConfRec));
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[5]), 0xFF);
  EXPECT_EQ(bytes[6], 3);

  std::rewind(out);
  VirtualArray again("t2", sizeof(ConfRec), CompareConfEntries);
  ASSERT_EQ(ReadConfList(out, again, &header), CONFFILE_OK);
  std::fclose(out);
  EXPECT_EQ(header, 0xCAFEF00Du);
  auto back = RecordsOf(again);
  ASSERT_EQ(back.size(), recs.size());
  for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(std::memcmp(&back[i], &recs[i], sizeof(ConfRec)), 0) << i;
}

TEST(ConfListFile, CountsBoundTheRecords) {
  VirtualArray list("t", sizeof(ConfRec), CompareConfEntries);
  // An empty current list, and a longer file whose tail lies past the count.
  for (auto [bytes, expected] : std::vector<std::pair<std::string, int>>{
           {CurrentConfFile({}), 0},
           {OldConfFile({}, 0), 0},
           {OldConfFile({}, -5), 0},
           {CurrentConfFile({MakeConf("a:b/c", "x"), MakeConf("a:b/d", "y")}, 0, 1), 1}}) {
    FILE* f = StreamOf(bytes);
    EXPECT_EQ(ReadConfList(f, list, nullptr), CONFFILE_OK);
    EXPECT_EQ(list.Count(), expected);
    std::fclose(f);
  }
}

TEST(ConfListFile, DamagedFilesAreRefusedAndLeaveNothingBehind) {
  std::string two = CurrentConfFile({MakeConf("a:b/c", "x"), MakeConf("a:b/d", "y")});
  std::string oldTwo = OldConfFile({MakeOldConf("a:b/c", "x", 1, 0, 0)}, 2);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"header only", std::string("\0\0\0\0\xff", 5)},
      {"marker without count", std::string("\0\0\0\0\xff\xff\x01", 7)},
      {"count beyond the records", CurrentConfFile({MakeConf("a:b/c", "x")}, 0, 2)},
      {"negative count", CurrentConfFile({MakeConf("a:b/c", "x")}, 0, 0x80000000u)},
      {"huge count", CurrentConfFile({}, 0, 0x7FFFFFFF)},
      {"last record cut short", two.substr(0, two.size() - 1)},
      {"old form short of its count", oldTwo},
  };
  for (const Case& c : cases) {
    VirtualArray list("t", sizeof(ConfRec), CompareConfEntries);
    ConfRec keep = MakeConf("a:b/old", "z");
    list.Append(&keep);
    FILE* f = StreamOf(c.bytes);
    EXPECT_EQ(ReadConfList(f, list, nullptr), CONFFILE_CORRUPT) << c.what;
    EXPECT_EQ(list.Count(), 0) << c.what;
    std::fclose(f);
  }
}

TEST(ConfListFile, UnterminatedStoredNamesStayInsideTheirFields) {
  ConfRec rec = MakeConf("a:b/c", "x");
  std::memset(rec.name, 'n', sizeof rec.name);
  std::memset(rec.baseName, 'b', sizeof rec.baseName);
  FILE* f = StreamOf(CurrentConfFile({rec}));
  VirtualArray list("t", sizeof(ConfRec), CompareConfEntries);
  ASSERT_EQ(ReadConfList(f, list, nullptr), CONFFILE_OK);
  std::fclose(f);
  auto* got = static_cast<ConfRec*>(list.At(0));
  EXPECT_EQ(std::strlen(got->name), sizeof got->name - 1);
  EXPECT_EQ(std::strlen(got->baseName), sizeof got->baseName - 1);
}

TEST(ConfListFile, UsableRecordsNeedASlashAndABaseName) {
  EXPECT_TRUE(ConfRecUsable(MakeConf("quorl:conf/topic", "x.log")));
  EXPECT_FALSE(ConfRecUsable(MakeConf("quorl:service", "x.log")));
  EXPECT_FALSE(ConfRecUsable(MakeConf("", "x.log")));
  EXPECT_FALSE(ConfRecUsable(MakeConf("quorl:conf/topic", "")));
}

TEST(GlobalArrays, LookupsByMessageNumberInBothThreadOrders) {
  LogCva.SetSize(0);
  for (int32_t n : {3, 5, 9, 12}) {
    unsigned char rec[10] = {};
    std::memcpy(rec, &n, 4);
    LogCva.Append(rec);
  }
  EXPECT_EQ(findmsgidx(9), 2);
  EXPECT_EQ(findmsgidx(3), 0);
  EXPECT_EQ(findmsgidx(4), -1);
  EXPECT_EQ(findmsgidx(13), -1);

  Synopsis.SetSize(0);
  for (int32_t n : {20, 10, 30}) {
    unsigned char node[34] = {};
    std::memcpy(node + 20, &n, 4);
    Synopsis.Append(node);
  }
  Synopsis.Sort(CompareSynNodes);
  EXPECT_EQ(findsynnode(10), 0);
  EXPECT_EQ(findsynnode(30), 2);
  // The browser's reverse chronological order: the lookup follows the array's order.
  Synopsis.Sort(CompareSynNodesReverse);
  EXPECT_EQ(findsynnode(10), 2);
  EXPECT_EQ(findsynnode(30), 0);
  EXPECT_EQ(findsynnode(25), -1);
  Synopsis.Sort(CompareSynNodes);
  LogCva.SetSize(0);
  Synopsis.SetSize(0);
}

}  // namespace
