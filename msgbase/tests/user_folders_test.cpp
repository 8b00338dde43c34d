#include "msgbase/user_folders.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/folder_names.h"
#include "msgbase/tests/conf_test_util.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(FolderOrder, PairsCompareByTheFolderRules) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      // A forum's library folders after its section folders.
      {"dvn:forum/S1_Chat", "dvn:forum/L1_Files", -1},
      {"DVN:forum/l2_files", "dvn:forum/S9_Chat", 1},
      // "L" without a digit and "_" is an ordinary name.
      {"dvn:forum/Lounge", "dvn:forum/S1_Chat", -1},
      // Section numbers 10 to 29 after the single digits.
      {"dvn:forum/S2_a", "dvn:forum/S9_a", -1},
      {"dvn:forum/S9_a", "dvn:forum/S10_a", -1},
      {"dvn:forum/S10_a", "dvn:forum/S29_a", -1},
      // Names without a service key first; keys compare without case.
      {"local/x", "quorl:a/b", -1},
      {"QUORL:a/b", "quorl:a/b", 0},
      {"bix:z/z", "quorl:a/a", -1},
      {"quorl:Conf/Topic", "quorl:conf/topic", 0},
      {"quorl:conf/a", "quorl:conf/b", -1},
      // A composite folder (0xFF) moves its first character after the "/".
      {"quorl:a/\xff"
       "b",
       "quorl:a/z", 1},
      // "_" at the start of a part never reaches outside the name.
      {"_", "a", -1},
      {"q:_x", "q:_y", -1},
      {"q:/_", "q:/_", 0},
      {"a_", "a_", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareFolderNames(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareFolderNames(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(FolderOrder, SectionsSortTwoNineTenAndLibrariesLast) {
  std::vector<std::string> names = {"dvn:forum/S10_Ten", "dvn:forum/L1_Lib", "dvn:forum/S2_Two", "dvn:forum/S9_Nine"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareFolderNames(a.c_str(), b.c_str()) < 0; });
  EXPECT_EQ(names, (std::vector<std::string>{"dvn:forum/S2_Two", "dvn:forum/S9_Nine", "dvn:forum/S10_Ten",
                                             "dvn:forum/L1_Lib"}));
}

TEST(FolderOrder, LongNamesAreComparedWithinTheirFirstHundredCharacters) {
  std::string a = "quorl:" + std::string(200, 'a') + "/x";
  std::string b = "quorl:" + std::string(200, 'a') + "/y";
  EXPECT_EQ(CompareFolderNames(a.c_str(), b.c_str()), 0);
  ConfRec left = MakeConf("quorl:a/b", "x"), right = MakeConf("quorl:a/c", "y");
  EXPECT_LT(CompareConfEntries(&left, &right), 0);
  EXPECT_EQ(CompareConfEntries(nullptr, &right), 0);
}

// ---- The file --------------------------------------------------------------

std::string Swapped(const char* text) {
  char field[USERFILE_FIELD + 1] = {};
  std::strncpy(field, text, USERFILE_FIELD);
  nibbleswap(field);
  return std::string(field, USERFILE_FIELD);
}

std::string UserFileV2(const char* name, const char* password, const std::vector<OldConfRec>& recs) {
  std::string out("Version2.00");
  out.resize(USERFILE_FIELD, '\0');
  out += Swapped(name) + Swapped(password);
  PutLe(out, static_cast<uint32_t>(recs.size()), 2);
  for (const OldConfRec& r : recs) out.append(reinterpret_cast<const char*>(&r), sizeof r);
  return out;
}

TEST(UserFile, VersionTwoReadsAndWritesBackAsVersionFive) {
  std::vector<OldConfRec> old = {MakeOldConf("quorl:a/one", "q1.log", 4, -1, 2),
                                 MakeOldConf("quorl:a/two", "q2.log", 5, 0x20, 3)};
  FILE* f = StreamOf(UserFileV2("alice", "secret", old));
  VirtualArray list("u", sizeof(ConfRec), CompareConfEntries);
  UserFileHead head = {};
  ASSERT_EQ(ReadUserFolders(f, list, &head), USERFILE_OK);
  std::fclose(f);
  EXPECT_EQ(head.version, USERFILE_VERSION_2);
  EXPECT_STREQ(head.name, "alice");
  EXPECT_STREQ(head.password, "secret");
  auto recs = RecordsOf(list);
  ASSERT_EQ(recs.size(), 2u);
  ConfRec expected;
  ConvertOldConfRec(old[0], &expected);
  EXPECT_EQ(std::memcmp(&recs[0], &expected, sizeof expected), 0);
  EXPECT_EQ(+recs[0].flags, 0xFFFFFFFFu);

  FILE* out = std::tmpfile();
  ASSERT_TRUE(WriteUserFolders(out, list, "alice", "secret"));
  std::string bytes = ContentsOf(out);
  EXPECT_EQ(bytes.substr(0, 12), std::string("Version5.00\0", 12));
  EXPECT_EQ(bytes.substr(20, 20), Swapped("alice"));
  EXPECT_EQ(bytes.size(), 64u + 2 * sizeof(ConfRec));
  std::rewind(out);
  VirtualArray again("u2", sizeof(ConfRec), CompareConfEntries);
  UserFileHead head5 = {};
  ASSERT_EQ(ReadUserFolders(out, again, &head5), USERFILE_OK);
  std::fclose(out);
  EXPECT_EQ(head5.version, USERFILE_VERSION_5);
  EXPECT_STREQ(head5.password, "secret");
  auto back = RecordsOf(again);
  ASSERT_EQ(back.size(), recs.size());
  for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(std::memcmp(&back[i], &recs[i], sizeof(ConfRec)), 0);
}

TEST(UserFile, UnknownVersionsAndDamagedFilesAreRefused) {
  FILE* good = std::tmpfile();
  VirtualArray one("u", sizeof(ConfRec), CompareConfEntries);
  ConfRec rec = MakeConf("quorl:a/b", "x");
  one.Append(&rec);
  one.Append(&rec);
  ASSERT_TRUE(WriteUserFolders(good, one, "bob", "pw"));
  std::string v5 = ContentsOf(good);
  std::fclose(good);
  std::string v3 = v5;
  v3[7] = '3';
  std::string countTooBig = v5;
  countTooBig[60] = 3;
  struct Case {
    const char* what;
    std::string bytes;
    UserFileResult expected;
  } cases[] = {
      {"other version text", v3, USERFILE_BAD_VERSION},
      {"no version text", std::string(100, '\0'), USERFILE_BAD_VERSION},
      {"head cut short", v5.substr(0, 50), USERFILE_CORRUPT},
      {"count missing", v5.substr(0, 62), USERFILE_CORRUPT},
      {"count beyond the records", countTooBig, USERFILE_CORRUPT},
      {"record cut short", v5.substr(0, v5.size() - 3), USERFILE_CORRUPT},
      {"old version short of its count", UserFileV2("a", "b", {MakeOldConf("q:a/b", "x", 1, 0, 0)}).substr(0, 100),
       USERFILE_CORRUPT},
  };
  for (const Case& c : cases) {
    VirtualArray list("u", sizeof(ConfRec), CompareConfEntries);
    FILE* f = StreamOf(c.bytes);
    UserFileHead head = {};
    EXPECT_EQ(ReadUserFolders(f, list, &head), c.expected) << c.what;
    EXPECT_EQ(list.Count(), 0) << c.what;
    std::fclose(f);
  }
}

// ---- The merge -------------------------------------------------------------

struct MergeFixture : ::testing::Test {
  VirtualArray user{"user", sizeof(ConfRec), CompareConfEntries};
  VirtualArray conf{"conf", sizeof(ConfRec), CompareConfEntries};
  UserMergeContext context = {"alice", 0, false, nullptr};
  static inline std::vector<std::string> s_userFiles;
  static inline std::vector<std::string> s_moderated;
  static inline bool s_long = false;

  void SetUp() override {
    s_userFiles = {"bob"};
    s_moderated.clear();
    s_long = false;
    context.hasUserFile = [](const char* name) {
      return std::find(s_userFiles.begin(), s_userFiles.end(), name) != s_userFiles.end();
    };
    g_messageBaseHooks.isModeratedTopic = [](const char* name) {
      return std::find(s_moderated.begin(), s_moderated.end(), name) != s_moderated.end();
    };
    g_messageBaseHooks.longOperation = [] { return s_long; };
  }
  void TearDown() override { g_messageBaseHooks = kDefaultMessageBaseHooks; }

  void Add(VirtualArray& list, const ConfRec& rec) { list.Append(&rec); }
  const ConfRec* Find(const char* name) {
    for (int i = 0; i < user.Count(); ++i) {
      auto* rec = static_cast<const ConfRec*>(user.At(i));
      if (!std::strcmp(rec->name, name)) return rec;
    }
    return nullptr;
  }
  UserMergeResult Merge() { return MergeUserFolders(user, conf, user, context); }
};

TEST_F(MergeFixture, MatchedFoldersTakeTheListsNumbersAndKeepTheUsersBits) {
  ConfRec mine = MakeConf("quorl:conf/one", "old.log", 1, 10, CONF_VISITED | 0x40 | 0x0100);
  mine.readMark = 8;
  mine.order = 4;
  Add(user, mine);
  ConfRec same = MakeConf("quorl:conf/one", "new.log", 2, 15, CONF_SCRAMBLED | CONF_RESIGNED | 0x0400);
  Add(conf, same);
  ConfRec unchanged = MakeConf("quorl:conf/two", "two.log", 1, 5, 0);
  Add(conf, unchanged);
  ConfRec mineTwo = unchanged;
  mineTwo.flags = CONF_VISITED;
  Add(user, mineTwo);

  UserMergeResult r = Merge();
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(r.added);
  const ConfRec* one = Find("quorl:conf/one");
  ASSERT_TRUE(one);
  EXPECT_EQ(+one->first, 2);
  EXPECT_EQ(+one->last, 15);
  EXPECT_STREQ(one->baseName, "new.log");
  EXPECT_EQ(+one->readMark, 8);
  EXPECT_EQ(+one->order, 4);
  // The list's bits outside 0x661 and the filter bit; the user's own 0x661
  // bits, less "visited" because the range moved.
  EXPECT_EQ(+one->flags, CONF_SCRAMBLED | 0x40u | CONF_FILTERED);
  EXPECT_EQ(Find("quorl:conf/two")->flags, CONF_VISITED | CONF_FILTERED);
}

TEST_F(MergeFixture, NewFoldersJoinBesideJoinedTopicsAndVanishedOnesGo) {
  Add(user, MakeConf("quorl:conf/one", "one.log"));
  Add(user, MakeConf("quorl:gone/topic", "gone.log"));
  ConfRec noBase = MakeConf("quorl:conf/zzz", "");
  Add(user, noBase);
  Add(conf, MakeConf("quorl:other/topic", "other.log", 5, 9));
  Add(conf, MakeConf("quorl:conf/one", "one.log"));
  Add(conf, MakeConf("quorl:conf/two", "two.log", 3, 8));
  Add(conf, MakeConf("quorl:service", "svc.log"));  // not a folder

  UserMergeResult r = Merge();
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.changed);
  EXPECT_TRUE(r.added);
  EXPECT_EQ(NamesOf(user), (std::vector<std::string>{"quorl:conf/one", "quorl:conf/two", "quorl:other/topic"}));
  const ConfRec* two = Find("quorl:conf/two");
  EXPECT_EQ(two->flags & CONF_RESIGNED, 0u) << "joined: another topic of its conference is joined";
  EXPECT_EQ(+two->readMark, 2);
  EXPECT_EQ(+two->waiting, 5);
  EXPECT_EQ(+two->order, -1);
  EXPECT_EQ(+two->userInfo, 0u);
  EXPECT_EQ(Find("quorl:other/topic")->flags & CONF_RESIGNED, CONF_RESIGNED) << "added but skipped";
}

TEST_F(MergeFixture, JoinRulesFollowTheUsersSettings) {
  struct Case {
    uint32_t userFlags;
    bool noAutoJoin;
    uint32_t expectedSkip;
  } cases[] = {{0, false, 0}, {0, true, CONF_RESIGNED}, {1, true, 0}};
  for (const Case& c : cases) {
    user.SetSize(0);
    conf.SetSize(0);
    Add(user, MakeConf("quorl:conf/one", "one.log"));
    Add(conf, MakeConf("quorl:conf/one", "one.log"));
    Add(conf, MakeConf("quorl:conf/two", "two.log"));
    context.userFlags = c.userFlags;
    context.noAutoJoinTopic = c.noAutoJoin;
    ASSERT_TRUE(Merge().ok);
    ASSERT_TRUE(Find("quorl:conf/two"));
    EXPECT_EQ(Find("quorl:conf/two")->flags & CONF_RESIGNED, c.expectedSkip) << c.userFlags << c.noAutoJoin;
  }
}

TEST_F(MergeFixture, MembershipFoldersMailAndModeratedTopics) {
  Add(user, MakeConf("quorl:joined/one", "j1.log"));
  Add(user, MakeConf("quorl:mail/bob", "mb.log"));  // someone else's, with their own folder file
  Add(conf, MakeConf("quorl:joined/one", "j1.log"));
  for (const char* name :
       {"quorl:joined/members", "quorl:closed/members", "quorl:closed/moderated", "quorl:mail/alice", "quorl:mail/bob",
        "quorl:mail/carol", "local:mail/carol", "msmail:alice/inbox", "msmail:bob/inbox"})
    Add(conf, MakeConf(name, "x.log", 1, 3, CONF_NEEDS_MEMBERSHIP));
  s_moderated = {"quorl:closed/moderated"};

  UserMergeResult r = Merge();
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.changed);
  auto names = NamesOf(user);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"msmail:alice/inbox", "quorl:closed/moderated", "quorl:joined/members",
                                             "quorl:joined/one", "quorl:mail/alice", "quorl:mail/carol"}));
  EXPECT_EQ(Find("quorl:closed/moderated")->flags & CONF_RESIGNED, 0u);
}

TEST_F(MergeFixture, NothingIsAddedDuringALongOperation) {
  Add(user, MakeConf("quorl:conf/one", "one.log"));
  Add(conf, MakeConf("quorl:conf/one", "one.log"));
  Add(conf, MakeConf("quorl:conf/two", "two.log"));
  s_long = true;
  UserMergeResult r = Merge();
  EXPECT_FALSE(r.added);
  EXPECT_EQ(NamesOf(user), (std::vector<std::string>{"quorl:conf/one"}));
}

TEST_F(MergeFixture, ListsOutOfOrderAreMergedAsIfSorted) {
  for (const char* name : {"quorl:c/t", "quorl:a/t", "quorl:b/t"}) Add(conf, MakeConf(name, "x.log"));
  for (const char* name : {"quorl:c/t", "quorl:a/t"}) Add(user, MakeConf(name, "x.log"));
  ASSERT_TRUE(MergeUserFolders(user, conf, user, context).ok);
  EXPECT_EQ(NamesOf(user), (std::vector<std::string>{"quorl:a/t", "quorl:b/t", "quorl:c/t"}));
  EXPECT_EQ(Find("quorl:b/t")->flags & CONF_RESIGNED, CONF_RESIGNED);
}

// Lists on disk are in folder order, and the merge walks them as they are;
// a list out of order is sorted first. Both must give the same list, byte for
// byte, whichever array receives it.
TEST_F(MergeFixture, ListsInOrderMergeAsTheSameListsShuffled) {
  struct Case {
    const char* what;
    std::vector<ConfRec> mine, theirs;
  };
  std::vector<Case> cases = {
      {"numbers move, folders vanish, new ones join or are skipped",
       {MakeConf("quorl:conf/one", "one.log", 1, 9, CONF_VISITED), MakeConf("quorl:conf/three", "t.log"),
        MakeConf("quorl:gone/x", "g.log"), MakeConf("quorl:zzz/nobase", "")},
       {MakeConf("quorl:conf/one", "one.log", 2, 12), MakeConf("quorl:conf/two", "two.log", 4, 8),
        MakeConf("quorl:conf/three", "t.log"), MakeConf("quorl:new/topic", "n.log"), MakeConf("quorl:service", "s.log"),
        MakeConf("quorl:conf/four", "f.log", 1, 3, CONF_NEEDS_MEMBERSHIP)}},
      {"mail, membership and moderated folders",
       {MakeConf("quorl:mail/bob", "mb.log"), MakeConf("quorl:joined/one", "j.log")},
       {MakeConf("quorl:joined/one", "j.log"), MakeConf("quorl:mail/alice", "ma.log", 1, 3, CONF_NEEDS_MEMBERSHIP),
        MakeConf("quorl:mail/bob", "mb.log"), MakeConf("quorl:mail/carol", "mc.log"),
        MakeConf("msmail:alice/inbox", "ms.log"), MakeConf("msmail:bob/inbox", "mo.log"),
        MakeConf("quorl:closed/moderated", "cm.log", 1, 3, CONF_NEEDS_MEMBERSHIP),
        MakeConf("quorl:closed/other", "co.log", 1, 3, CONF_NEEDS_MEMBERSHIP)}},
      {"the folder order is not the plain order of the names",
       {MakeConf("DVN:Forum/S2_two", "a.log"), MakeConf("dvn:forum/L1_lib", "b.log"), MakeConf("plain/x", "c.log")},
       {MakeConf("dvn:forum/s2_two", "a.log", 3, 30), MakeConf("dvn:forum/S12_twelve", "d.log"),
        MakeConf("dvn:forum/L1_lib", "b.log", 5, 6), MakeConf("dvn:forum/S3_three", "e.log"),
        MakeConf("plain/x", "c.log"), MakeConf("search\xff result/x", "f.log")}},
      {"an empty list of the user's", {}, {MakeConf("quorl:a/1", "a.log"), MakeConf("quorl:b/1", "b.log")}},
      {"an empty conf.ww", {MakeConf("quorl:a/1", "a.log"), MakeConf("quorl:b/1", "b.log")}, {}},
  };
  s_moderated = {"quorl:closed/moderated"};
  auto byFolderOrder = [](std::vector<ConfRec> list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const ConfRec& a, const ConfRec& b) { return CompareConfEntries(&a, &b) < 0; });
    return list;
  };
  auto fill = [](VirtualArray& list, const std::vector<ConfRec>& recs) {
    list.SetSize(0);
    for (const ConfRec& rec : recs) list.Append(&rec);
  };
  for (const Case& c : cases) {
    // In order, into an array of its own.
    VirtualArray out("out", sizeof(ConfRec), CompareConfEntries);
    fill(user, byFolderOrder(c.mine));
    fill(conf, byFolderOrder(c.theirs));
    UserMergeResult walked = MergeUserFolders(user, conf, out, context);
    std::vector<ConfRec> expected = RecordsOf(out);
    // Reversed, into the user's own array.
    std::vector<ConfRec> mine = byFolderOrder(c.mine), theirs = byFolderOrder(c.theirs);
    std::reverse(mine.begin(), mine.end());
    std::reverse(theirs.begin(), theirs.end());
    fill(user, mine);
    fill(conf, theirs);
    UserMergeResult sorted = MergeUserFolders(user, conf, user, context);
    ASSERT_TRUE(walked.ok && sorted.ok) << c.what;
    EXPECT_EQ(walked.changed, sorted.changed) << c.what;
    EXPECT_EQ(walked.added, sorted.added) << c.what;
    std::vector<ConfRec> got = RecordsOf(user);
    ASSERT_EQ(got.size(), expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(std::memcmp(&got[i], &expected[i], sizeof(ConfRec)), 0) << c.what << ": " << got[i].name;
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), [](const ConfRec& a, const ConfRec& b) {
      return CompareConfEntries(&a, &b) < 0;
    })) << c.what;
  }
}

// Only the tail of a list out of order: the walk has merged much of it
// before it notices, and must still give the sorted merge's list.
TEST_F(MergeFixture, AListOutOfOrderLateIsMergedAsIfSorted) {
  for (const char* name : {"quorl:a/t", "quorl:b/t", "quorl:c/t", "quorl:e/t", "quorl:d/t"})
    Add(conf, MakeConf(name, "x.log", 2, 20));
  for (const char* name : {"quorl:a/t", "quorl:c/t", "quorl:e/t", "quorl:d/t"}) Add(user, MakeConf(name, "x.log"));
  ASSERT_TRUE(Merge().ok);
  EXPECT_EQ(NamesOf(user), (std::vector<std::string>{"quorl:a/t", "quorl:b/t", "quorl:c/t", "quorl:d/t", "quorl:e/t"}));
  for (const ConfRec& rec : RecordsOf(user)) EXPECT_EQ(+rec.last, 20) << rec.name;
}

}  // namespace
