#include "msgbase/reindex_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(LogKind, OnlyConferenceDirectoriesAndLogExtensions) {
  struct Case {
    const char* dir;
    const char* name;
    LogKind kind;
  } cases[] = {
      {"quorl\\chat", "general", kPlainLog},
      {"quorl\\chat", "general.R", kPlainLog},
      {"quorl\\chat", "general.C", kScrambledLog},
      {"quorl\\chat", "general.rc", kScrambledLog},
      {"quorl\\chat", "general.txt", kNotALog},
      {"quorl\\chat", "general.ind", kNotALog},
      {"quorl", "general", kNotALog},
      {"quorl\\chat\\deeper", "general", kNotALog},
      {"%temp\\chat", "general", kNotALog},
      {"quorl\\%x", "general", kNotALog},
      {"quorl\\my.ui", "general", kNotALog},
      {"", "general", kNotALog},
  };
  for (const Case& c : cases) EXPECT_EQ(LogKindOf(c.dir, c.name), c.kind) << c.dir << " " << c.name;
}

TEST(LogKind, EntryBecomesFolderName) {
  EXPECT_EQ(FolderNameOfEntry("QUORL\\Chat\\General.c"), "quorl:chat/general");
  EXPECT_EQ(FolderNameOfEntry("net\\comp.lang\\all"), "net:comp.lang/all");
}

TEST(SafeBaseName, NothingOutsideTheDataDirectory) {
  for (const char* good : {"quorl\\chat\\general", "net\\a.b\\c.R", "x"}) EXPECT_TRUE(IsSafeBaseName(good)) << good;
  for (const char* bad : {"", "..\\x", "quorl\\..\\..\\x", "c:\\windows\\x", "\\root", "quorl\\\\x", "a\\.\\b",
                          "a/../b", "quorl\\. .\\x"})
    EXPECT_FALSE(IsSafeBaseName(bad)) << bad;
}

TEST(CheckIndex, FirstFaultIsReported) {
  std::vector<MsgIndexRec> sound = {{1, 0, 0}, {2, 1, 0}, {5, 2, 0}};
  EXPECT_EQ(CheckIndexRecords(sound.data(), sound.size(), 1, 5), "");
  std::vector<MsgIndexRec> order = {{1, 0, 0}, {4, 1, 0}, {3, 1, 0}};
  EXPECT_EQ(CheckIndexRecords(order.data(), order.size(), 1, 3),
            "Index error: message 3 is earlier than message 4 in the file\r\n");
  std::vector<MsgIndexRec> comment = {{1, 0, 0}, {2, 2, 0}};
  EXPECT_EQ(CheckIndexRecords(comment.data(), comment.size(), 1, 2),
            "Index error: message 2 claims to be a comment to message 2\r\n");
  EXPECT_EQ(CheckIndexRecords(sound.data(), sound.size(), 0, 5), "Index error 2: 0 1\r\n");
  EXPECT_EQ(CheckIndexRecords(sound.data(), sound.size(), 1, 9), "Index error 3: 9 5\r\n");
}

}  // namespace
