#include "msgbase/prune_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PruneDays, ReadsTheStoredFormsOfTheSpecialValues) {
  struct Case {
    const char* text;
    int32_t days;
  } cases[] = {{"30", 30},    {"-1", -1},         {"65535", -1}, {"4294967295", -1}, {"-2", -2},
               {"65534", -2}, {"4294967294", -2}, {"0", 0},      {" 12", 12},        {"junk", 0}};
  for (const Case& c : cases) EXPECT_EQ(ParsePruneDays(c.text), c.days) << c.text;
}

TEST(PruneList, ReadsWritesAndRefusesALineWithoutDays) {
  std::vector<PruneEntry> entries;
  ASSERT_TRUE(ParsePruneList("quorl:chat 30\r\n\n!mail -1\nquorl:chat/general -2\n", &entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_STREQ(entries[1].name, "!mail");
  EXPECT_EQ(entries[2].days, -2);
  EXPECT_EQ(FormatPruneList(entries), "quorl:chat 30\n!mail -1\nquorl:chat/general -2\n");

  EXPECT_TRUE(RemovePruneEntry(entries, "QUORL:CHAT"));
  EXPECT_EQ(FindPruneEntry(entries, "quorl:chat"), nullptr);
  EXPECT_EQ(FormatPruneList(entries), "!mail -1\nquorl:chat/general -2\n");
  PruneEntry* added = AddPruneEntry(entries, "!MAIL", 99);
  EXPECT_EQ(added->days, -1);  // the existing entry, unchanged

  for (const char* bad : {"only_a_name\n", "quorl:chat thirty\n", "ok 1\nbroken\n"}) {
    EXPECT_FALSE(ParsePruneList(bad, &entries)) << bad;
    EXPECT_TRUE(entries.empty());
  }
  std::string longName(150, 'x');
  EXPECT_FALSE(ParsePruneList(longName + " 3\n", &entries));
}

std::vector<int32_t> Assign(const std::string& pru, int32_t defaultDays, std::vector<const char*> names) {
  std::vector<PruneEntry> entries;
  EXPECT_TRUE(ParsePruneList(pru, &entries));
  std::vector<PruneFolder> folders;
  for (const char* n : names) folders.push_back({n, 0});
  AssignFolderDays(entries, defaultDays, folders.data(), folders.size());
  std::vector<int32_t> days;
  for (const PruneFolder& f : folders) days.push_back(f.days);
  return days;
}

TEST(AssignFolderDays, ExactOverPrefixFirstPrefixWinsThenDefaults) {
  // The exact topic entry stands after the conference prefix and still wins;
  // "quorl:chatter" is not covered by "quorl:chat" (a "/" is appended).
  EXPECT_EQ(Assign("quorl:chat 10\nquorl:chat/general -2\nquorl:chat 20\n", 30,
                   {"quorl:chat/general", "quorl:chat/other", "quorl:chatter/x"}),
            (std::vector<int32_t>{-2, 10, 30}));
  // Library and mail defaults; a dvn entry for "/Libraries" covers the "/L" folders.
  EXPECT_EQ(Assign("!libraries -1\n!mail 5\n", 30, {"dvn:forum/L1_files", "quorl:mail/ann", "quorl:x/y"}),
            (std::vector<int32_t>{-1, 5, 30}));
  EXPECT_EQ(Assign("dvn:forum/Libraries 4\ndvn:forum/Messages 6\n", 30,
                   {"dvn:forum/L1_files", "dvn:forum/S2_talk", "dvn:other/L1_x"}),
            (std::vector<int32_t>{4, 6, 30}));
  // A local folder's entry carries its service prefix; the folder name does not.
  EXPECT_EQ(Assign("LOCAL:notes 3\n", 30, {"notes/todo"}), (std::vector<int32_t>{3}));
}

TEST(ArchiveName, TokensAnyCaseAndFourDigitYear) {
  struct tm when = {};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 7;
  EXPECT_EQ(BuildArchiveName("arc\\%s-%F-%t-%d%M%y-%Y-%n.txt", when, "quorl:my.conf/a-b;c", 12),
            "arc\\quorl-my_conf-a_b_c-07Mar26-2026-12.txt");
  EXPECT_EQ(BuildArchiveName("%S_%c_%T", when, "quorlnews:averylongconference/averylongtopic", 0, 8),
            "quorlnew_averylon_averylon");
  // No service prefix: local. A part never adds a directory or a parent.
  EXPECT_EQ(BuildArchiveName("%s\\%c\\%t", when, "notes/../x", 0), "local\\notes\\___x");
  EXPECT_EQ(BuildArchiveName("100%% %q%", when, "a:b/c", 0), "100%% %q%");
}

TEST(CalendarDays, ConsecutiveAcrossYearEndsAndLeapYears) {
  EXPECT_EQ(CalendarDayNumber(1900, 1, 1), 0);
  EXPECT_EQ(CalendarDayNumber(1996, 12, 31) + 1, CalendarDayNumber(1997, 1, 1));
  EXPECT_EQ(CalendarDayNumber(2000, 2, 28) + 2, CalendarDayNumber(2000, 3, 1));
  EXPECT_EQ(CalendarDayNumber(2026, 1, 1) - CalendarDayNumber(2025, 1, 1), 365);
  EXPECT_EQ(CalendarDayNumber(2025, 1, 1) - CalendarDayNumber(2024, 1, 1), 366);
}

int32_t AgeIsNumberTimesTen(void* context, size_t slot) {
  auto* records = static_cast<const MsgIndexRec*>(context);
  return records[slot].number * 10;
}

TEST(ThreadAges, EveryMessageTakesItsThreadsNewestAge) {
  // Threads: 1 <- 3 <- 6 ; 2 <- 4 ; 5 (missing newest of its own thread); 7 comments on
  // a message before the topic's first (so it is a top); 8 loops with 9.
  std::vector<MsgIndexRec> recs = {{1, 0, 0}, {2, 0, 0}, {3, 1, 0}, {4, 2, 0}, {5, 0, kMsgMissing},
                                   {6, 3, 0}, {7, 0, 0}, {8, 9, 0}, {9, 8, 0}, {10, 1000, 0}};
  recs[6].commentTo = -5;
  auto ages = ComputeThreadAges(recs.data(), recs.size(), 1, AgeIsNumberTimesTen, recs.data());
  EXPECT_EQ(ages, (std::vector<int32_t>{60, 40, 60, 40, 0, 60, 70, 90, 90, 100}));
}

int32_t CountCalls(void* context, size_t) {
  ++*static_cast<int*>(context);
  return 1;
}

TEST(ThreadAges, ALongChainAsksOneAge) {
  std::vector<MsgIndexRec> chain;
  for (int32_t n = 1; n <= 50000; ++n) chain.push_back({n, n - 1, 0});
  int calls = 0;
  auto ages = ComputeThreadAges(chain.data(), chain.size(), 1, CountCalls, &calls);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ages.front(), 1);
}

}  // namespace

namespace {

TEST(PlanPrune, KeepMarksDeletionMarksAgesAndTheLastMessage) {
  using A = PruneAction;
  std::vector<MsgIndexRec> recs = {{1, 0, 0},
                                   {2, 0, kMsgKeep},
                                   {3, 0, kMsgMarkedForDeletion},
                                   {4, 0, kMsgMissing},
                                   {5, 0, 0},
                                   {6, 0, kMsgKeep | kMsgMissing},
                                   {7, 0, 0}};
  std::vector<int32_t> ages = {50, 50, 1, 1, 3, 50, 50};
  EXPECT_EQ(PlanPrune(recs.data(), ages.data(), recs.size(), 7, true, 10),
            (std::vector<A>{A::kArchive, A::kKeep, A::kArchive, A::kDrop, A::kKeep, A::kDrop, A::kKeep}));
  // Without a service prefix the last message has no special place; -1 keeps all but deletions.
  EXPECT_EQ(PlanPrune(recs.data(), ages.data(), recs.size(), 7, false, 10)[6], A::kArchive);
  EXPECT_EQ(PlanPrune(recs.data(), ages.data(), recs.size(), 7, false, -1),
            (std::vector<A>{A::kKeep, A::kKeep, A::kArchive, A::kDrop, A::kKeep, A::kDrop, A::kKeep}));
  // Everything old: the last message still stays.
  std::vector<MsgIndexRec> old = {{1, 0, 0}, {2, 0, 0}};
  std::vector<int32_t> oldAges = {99, 99};
  EXPECT_EQ(PlanPrune(old.data(), oldAges.data(), 2, 2, false, 5), (std::vector<A>{A::kArchive, A::kKeep}));
}

}  // namespace
