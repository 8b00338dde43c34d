#include "msgbase/del_resign_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DelResignRules, ConferenceNamesCoverTheirTopicsOnly) {
  EXPECT_EQ(SplitSelection(" quorl:chat  quorl:x/y "), (std::vector<std::string>{"quorl:chat", "quorl:x/y"}));
  EXPECT_TRUE(FolderCovers("quorl:chat", "QUORL:Chat/general"));
  EXPECT_FALSE(FolderCovers("quorl:chat", "quorl:chatter/x"));
  EXPECT_FALSE(FolderCovers("quorl:chat", "quorl:chat"));
  EXPECT_TRUE(FolderCovers("quorl:chat/general", "quorl:chat/GENERAL"));
  EXPECT_FALSE(FolderCovers("quorl:chat/general", "quorl:chat/general2"));
}

TEST(DelResignRules, ResignByService) {
  struct Case {
    const char* name;
    bool moderate;
    ResignKind kind;
    const char* command;
  } cases[] = {
      {"quorl:chat/general", true, ResignKind::kScriptCommand, "rresign chat/general"},
      {"quorl:usenet_comp/lang.c", true, ResignKind::kScriptCommand, "useresign comp.lang.c"},
      {"dvn:usenet/alt.test", true, ResignKind::kScriptCommand, "useresign alt.test"},
      {"dvn:forum/S1_talk", true, ResignKind::kMessageSections, ""},
      {"dvn:forum/L1_files", true, ResignKind::kNone, ""},
      {"net:comp.lang/c", true, ResignKind::kConfsSel, ""},
      {"local:notes/todo", true, ResignKind::kNone, ""},
      {"quorl:mail/ann", true, ResignKind::kNone, ""},
      {"quorlnews:x/y", true, ResignKind::kNone, ""},
      {"quorl:chat/general", false, ResignKind::kNone, ""},
  };
  for (const Case& c : cases) {
    ResignPlan plan = PlanResign(c.name, c.moderate);
    EXPECT_EQ(plan.kind, c.kind) << c.name;
    EXPECT_EQ(plan.command, c.command) << c.name;
  }
}

TEST(DelResignRules, ConfsSelLineChangesInPlace) {
  struct Case {
    const char* line;
    const char* group;
    bool changed;
    const char* after;
  } cases[] = {
      {"comp.lang.c f\r\n", "comp.lang.c", true, "comp.lang.c d\r\n"},
      {"rec.arts h\r\n", "REC.ARTS", true, "rec.arts d\r\n"},
      {"comp.lang.c f\r\n", "comp.lang", false, "comp.lang.c f\r\n"},
      {"alt.test d\r\n", "alt.test", false, "alt.test d\r\n"},
  };
  for (const Case& c : cases) {
    std::string line = c.line;
    EXPECT_EQ(MarkConfsSelLine(line.data(), c.group), c.changed) << c.line;
    EXPECT_EQ(line, c.after);
  }
}

}  // namespace
