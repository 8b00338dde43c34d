#include "standins/import/import_journal.h"

#include <gtest/gtest.h>

namespace {

Journal Sample() {
  Journal j;
  j.committed = true;
  j.entryFlags = 0x880;
  j.entrySize = 123456789012LL;
  j.entryHash = 0xDEADBEEF;
  j.messages = 42;
  j.entryPath = "\\data\\msw 12.tmp";
  j.logs.push_back({false, 1000, 0x1234, "C:\\data\\quorl\\news\\chat"});
  j.logs.push_back({true, -1, 0, "C:\\data\\net\\comp\\lang"});
  j.folders.push_back({true, 3, 90, 7, "quorl\\news\\chat", "quorl:news/chat"});
  j.folders.push_back({false, 0, 0, 0, "local\\notes\\mine", "notes/mine"});
  return j;
}

TEST(ImportJournal, ReadsBackWhatWasWritten) {
  Journal in = Sample(), out;
  ASSERT_TRUE(ParseJournal(FormatJournal(in), &out));
  EXPECT_EQ(out.committed, in.committed);
  EXPECT_EQ(out.entryFlags, in.entryFlags);
  EXPECT_EQ(out.entrySize, in.entrySize);
  EXPECT_EQ(out.entryHash, in.entryHash);
  EXPECT_EQ(out.messages, in.messages);
  EXPECT_EQ(out.entryPath, in.entryPath);
  ASSERT_EQ(out.logs.size(), 2u);
  EXPECT_EQ(out.logs[0].length, 1000);
  EXPECT_EQ(out.logs[0].tailHash, 0x1234u);
  EXPECT_TRUE(out.logs[1].rewrite);
  EXPECT_EQ(out.logs[1].length, -1);
  EXPECT_EQ(out.logs[1].path, "C:\\data\\net\\comp\\lang");
  ASSERT_EQ(out.folders.size(), 2u);
  EXPECT_EQ(out.folders[0].last, 90);
  EXPECT_EQ(out.folders[0].waiting, 7);
  EXPECT_FALSE(out.folders[1].existed);
  EXPECT_EQ(out.folders[1].name, "notes/mine");
}

TEST(ImportJournal, AnythingButAWholeJournalIsRefused) {
  std::string whole = FormatJournal(Sample());
  Journal out;
  EXPECT_FALSE(ParseJournal(whole.substr(0, whole.size() - 5), &out));  // no "end"
  EXPECT_FALSE(ParseJournal("", &out));
  std::string badState = whole;
  badState.replace(badState.find("committed"), 9, "maybe");
  EXPECT_FALSE(ParseJournal(badState, &out));
  std::string badNumber = whole;
  badNumber.replace(badNumber.find("\t1000\t"), 6, "\tlots\t");
  EXPECT_FALSE(ParseJournal(badNumber, &out));
}

}  // namespace
