#include "msgbase/msgid_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The text a list writes.
std::string SavedTextOf(MessageIdList& list) {
  FILE* f = std::tmpfile();
  EXPECT_EQ(MsgIdListSave(list, f), 1);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  std::fclose(f);
  return text;
}

class MsgIdListTest : public ::testing::Test {
 protected:
  VirtualArray ids{"msgid", sizeof(MsgIdEntry), CompareMsgIdKeys};
  VirtualArray subjects{"subject", sizeof(MsgIdEntry), CompareMsgIdKeys};
  MessageIdList list;
  void SetUp() override {
    list.msgid = &ids;
    list.subject = &subjects;
    MsgIdListOpen(list, nullptr);
  }
  std::string SavedText() { return SavedTextOf(list); }
  void OpenText(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fputs(text.c_str(), f);
    std::rewind(f);
    EXPECT_EQ(MsgIdListOpen(list, f), 1);
    std::fclose(f);
  }
};

TEST_F(MsgIdListTest, HighestNumberWins) {
  MsgIdListAdd(list, "<a@x>", "Topic", 10, 1000);
  MsgIdListAdd(list, "<A@X>", "topic", 7, 2000);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<a@x>"), 10);
  EXPECT_EQ(MsgIdListFindSubject(list, "TOPIC"), 10);
  MsgIdListAdd(list, "<a@x>", "Topic", 12, 3000);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<a@x>"), 12);
  EXPECT_EQ(SavedText(), "<a@x> 12,3000\n[Topic] 12\n");
  EXPECT_EQ(ids.Count(), 0);
  EXPECT_EQ(subjects.Count(), 0);
}

TEST_F(MsgIdListTest, ExpiryDropsOldMessageIdsOnly) {
  const long day = 86400, newest = 1000 * day;
  MsgIdListAdd(list, "<new@x>", "", 1, newest);
  MsgIdListAdd(list, "<44@x>", "", 2, newest - 44 * day);
  MsgIdListAdd(list, "<46@x>", "Old subject", 3, newest - 46 * day);
  MsgIdListAdd(list, "<nodate@x>", "", 4, 0);
  EXPECT_EQ(SavedText(), "<44@x> 2,82598400\n<new@x> 1,86400000\n<nodate@x> 4\n[Old subject] 3\n");
  list.expiryDays = 0;
  MsgIdListAdd(list, "<46@x>", "", 3, newest - 46 * day);
  EXPECT_EQ(SavedText(), "<46@x> 3\n");
}

TEST_F(MsgIdListTest, SubjectsAndRewrites) {
  list.dravenetMailDomain = "dravenet.example";
  MsgIdListAdd(list, "<mid_ABC123@dravenet.example>", "<No Subject>", 5, 0);
  MsgIdListAdd(list, "<x_y@elsewhere.org>", "== No Subject ==", 6, 0);
  MsgIdListAdd(list, "", "a subject with spaces", 7, 0);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<ABC123>"), 5);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<mid_ABC123@dravenet.example>"), 5);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<x_y@elsewhere.org>"), 6);
  EXPECT_EQ(subjects.Count(), 1);
  std::string text = SavedText();
  EXPECT_EQ(text, "<ABC123> 5\n<x_y@elsewhere.org> 6\n[a subject with spaces] 7\n");
  // Read back: split at the last blank, so the subject keeps its blanks.
  OpenText(text);
  EXPECT_EQ(MsgIdListFindSubject(list, "a subject with spaces"), 7);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<ABC123>"), 5);
}

TEST_F(MsgIdListTest, ReadingSkipsBadLinesAndKeepsLongOnesWhole) {
  std::string longKey = "<" + std::string(300, 'k') + "@x>";
  OpenText("<good@x> 4,500\n<zero@x> 0\n<neg@x> -3,9\nnoblank\n" + longKey +
           " 9,700\n[Subj] 2\r\n<dup@x> 1\n<DUP@x> 8\n");
  EXPECT_EQ(list.newestDate, 700);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<good@x>"), 4);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<zero@x>"), 0);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<neg@x>"), 0);
  EXPECT_EQ(MsgIdListFindMessageId(list, longKey.substr(0, 199).c_str()), 9);
  EXPECT_EQ(MsgIdListFindSubject(list, "Subj"), 2);
  EXPECT_EQ(MsgIdListFindMessageId(list, "<dup@x>"), 8);
  EXPECT_EQ(ids.Count(), 3);
}

TEST_F(MsgIdListTest, ManyMessagesSettleInOneSort) {
  const int n = 20000;
  for (int i = 1; i <= n; ++i) {
    std::string id = "<" + std::to_string((i * 7919) % n) + "@x>";
    MsgIdListAdd(list, id.c_str(), ("Subject " + std::to_string(i % 500)).c_str(), i, i);
  }
  EXPECT_EQ(MsgIdListFindMessageId(list, "<0@x>"), n);
  EXPECT_EQ(ids.Count(), n);
  EXPECT_EQ(subjects.Count(), 500);
  EXPECT_EQ(MsgIdListFindSubject(list, "Subject 0"), n);
  for (int i = 1; i < ids.Count(); ++i) ASSERT_LT(CompareMsgIdKeys(ids.At(i - 1), ids.At(i)), 0);
}

TEST_F(MsgIdListTest, AddedListWritesAsTheSettledOneDoes) {
  // Keys about the comparison's word edges, sharing long beginnings,
  // differing only in case or in 1252 letters, cut at the key's length, and
  // the same key again with lower and higher numbers.
  std::vector<std::string> keys = {"<a>",
                                   "<abcdef>",
                                   "<abcdefg>",
                                   "<abcdefgh>",
                                   "<abcdefghi>",
                                   "<ABCDEFG>",
                                   "<\xe9t\xe9@x>",
                                   "<\xc9T\xc9@X>",
                                   "<" + std::string(250, 'k') + "@x>",
                                   "<" + std::string(198, 'k') + ">",
                                   "<" + std::string(197, 'k') + "@>"};
  for (int i = 0; i < 300; ++i)
    keys.push_back("<common-beginning-of-a-long-key-" + std::to_string(i * 7 % 101) + "@x>");
  auto fill = [&](MessageIdList& l) {
    long number = 1;
    for (const std::string& key : keys) {
      std::string subject = key.substr(1, key.size() % 40);
      MsgIdListAdd(l, key.c_str(), subject.c_str(), number * 37 % 1009 + 1, 86400L * (number % 50));
      ++number;
    }
  };
  fill(list);
  std::string added = SavedText();

  VirtualArray otherIds{"msgid", sizeof(MsgIdEntry), CompareMsgIdKeys};
  VirtualArray otherSubjects{"subject", sizeof(MsgIdEntry), CompareMsgIdKeys};
  MessageIdList settled;
  settled.msgid = &otherIds;
  settled.subject = &otherSubjects;
  MsgIdListOpen(settled, nullptr);
  fill(settled);
  MsgIdListFindMessageId(settled, "<a>");  // settles the additions into the arrays
  FILE* f = std::tmpfile();
  ASSERT_EQ(MsgIdListSave(settled, f), 1);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  std::fclose(f);
  EXPECT_EQ(added, text);
  EXPECT_GT(std::count(added.begin(), added.end(), '\n'), 100);
}

TEST_F(MsgIdListTest, OfEqualKeysAndNumbersTheFirstAddedStays) {
  MsgIdListAdd(list, "<same@x>", "", 5, 100);
  MsgIdListAdd(list, "<SAME@X>", "", 5, 200);
  MsgIdListAdd(list, "<Same@x>", "", 4, 300);
  EXPECT_EQ(SavedText(), "<same@x> 5,100\n");
}

}  // namespace

namespace {

// The list written straight from its additions against the same additions
// settled into the arrays (after every one when settleEach, so none is
// merged with the one before), over sets of keys that take the fast path's
// different turns.
enum class Settle { never, atEnd, each };
std::string SaveAfterAdding(const std::vector<std::pair<std::string, long>>& adds, Settle settle) {
  VirtualArray ids{"msgid", sizeof(MsgIdEntry), CompareMsgIdKeys};
  VirtualArray subjects{"subject", sizeof(MsgIdEntry), CompareMsgIdKeys};
  MessageIdList list;
  list.msgid = &ids;
  list.subject = &subjects;
  MsgIdListOpen(list, nullptr);
  long date = 0;
  for (const auto& [key, number] : adds) {
    date += 40000;
    MsgIdListAdd(list, ("<" + key + ">").c_str(), key.c_str(), number, date);
    if (settle == Settle::each) MsgIdListFindSubject(list, "");
  }
  if (settle == Settle::atEnd) MsgIdListFindSubject(list, "");
  return SavedTextOf(list);
}

TEST(MsgIdListAddedPath, WritesWhatTheSettledListWrites) {
  using Adds = std::vector<std::pair<std::string, long>>;
  Adds inOrder, reversed, shuffled, sharedBeginning, manyBlocks, shorterInUsedBlocks;
  for (int i = 0; i < 200; ++i) inOrder.push_back({"k" + std::to_string(1000 + i), i + 1});
  reversed.assign(inOrder.rbegin(), inOrder.rend());
  for (int i = 0; i < 200; ++i) shuffled.push_back({"k" + std::to_string(1000 + i * 37 % 200), i * 53 % 97 + 1});
  for (int i = 0; i < 200; ++i)
    sharedBeginning.push_back({"a-long-beginning-every-key-shares-" + std::to_string(i * 13 % 50), i % 7 + 1});
  sharedBeginning.push_back({"a-long-beginning", 3});  // ends inside what the others share
  sharedBeginning.push_back({"a-long-beginning-every-key-shares-", 4});
  // More key bytes than one block holds, with repeats far apart.
  for (int i = 0; i < 30000; ++i)
    manyBlocks.push_back({"id-" + std::to_string(i * 7919 % 20011) + "@site.example", i * 31 % 1000 + 1});
  // Then shorter keys in the blocks the list before filled and gave back.
  for (int i = 0; i < 40000; ++i) shorterInUsedBlocks.push_back({std::to_string(i * 7 % 9001), i % 13 + 1});
  const struct {
    const char* name;
    Adds adds;
  } cases[] = {
      {"in order", inOrder},
      {"reversed", reversed},
      {"shuffled with repeats", shuffled},
      {"adjacent repeats",
       {{"same", 5}, {"same", 9}, {"same", 9}, {"same", 2}, {"SAME", 9}, {"other", 1}, {"same", 9}}},
      {"repeats only in case", {{"Case", 3}, {"CASE", 3}, {"case", 4}, {"cAsE", 4}}},
      {"keys ending in the head", {{"abcdefg", 1}, {"ABCDEFG", 2}, {"abcdefgh", 3}, {"abcdef", 4}, {"a", 5}, {"", 6}}},
      {"1252 letters", {{"\xe9t\xe9", 1}, {"\xc9T\xc9", 2}, {"ete", 3}, {"\xe9t\xe9z", 4}}},
      {"shared beginning", sharedBeginning},
      {"keys cut at their length", {{std::string(250, 'k'), 1}, {std::string(198, 'k') + "x", 2}, {"k", 3}}},
      {"across key blocks", manyBlocks},
      {"shorter keys in used blocks", shorterInUsedBlocks},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string added = SaveAfterAdding(c.adds, Settle::never);
    EXPECT_EQ(added, SaveAfterAdding(c.adds, c.adds.size() > 1000 ? Settle::atEnd : Settle::each));
    EXPECT_FALSE(added.empty());
  }
}

}  // namespace
