#include "browser/mbw_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "msgbase/conf_list.h"

namespace {

// A section as the profile reader gives it: lines ended by NUL, then a NUL.
std::string Section(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + '\0';
  return out + '\0';
}

std::vector<std::string> Names(const MbwFilterTable& t) {
  std::vector<std::string> out;
  for (int i = 0; i < t.count; ++i) out.push_back(std::string(t.sets[i].name) + "=" + t.sets[i].list);
  return out;
}

TEST(MbwFilterSets, DefaultsWhenTheSectionHasNoSet) {
  MbwFilterTable t;
  LoadMbwFilterSets(t, nullptr, 0, false);
  EXPECT_EQ((std::vector<std::string>{"All=*", "Mail=*:mail/*", "News=!*:mail/*,!*:actions/information"}), Names(t));
  std::string comments = Section({";All=*", "no equals sign"});
  LoadMbwFilterSets(t, comments.data(), comments.size(), true);
  EXPECT_EQ((std::vector<std::string>{"All=*", "Messages=Messages", "File Lists=Files", "Mail=*:mail/*"}), Names(t));
}

TEST(MbwFilterSets, SkipsCommentsAndLinesWithoutEqualsAndKeepsTwenty) {
  std::vector<std::string> lines = {"; a comment=*", "bare words", "Mine=1,*:mail/*"};
  for (int i = 0; i < 21; ++i) lines.push_back("S" + std::to_string(i) + "=x" + std::to_string(i));
  std::string section = Section(lines);
  MbwFilterTable t;
  LoadMbwFilterSets(t, section.data(), section.size(), false);
  ASSERT_EQ(20, t.count);
  EXPECT_STREQ("Mine", t.sets[0].name);
  EXPECT_STREQ("1,*:mail/*", t.sets[0].list);
  EXPECT_STREQ("S18", t.sets[19].name) << "the 21st set and later are ignored";
  EXPECT_EQ(-1, FindMbwFilterSet(t, "S19"));
  EXPECT_EQ(0, FindMbwFilterSet(t, "mine"));
}

TEST(MbwFilterSets, CurrentIndexIsKeptBelowTheCount) {
  std::string section = Section({"A=*", "B=x", "C=y", "D=z"});
  MbwFilterTable t;
  t.current = 7;
  LoadMbwFilterSets(t, section.data(), section.size(), false);
  EXPECT_EQ(3, t.current);
}

TEST(MbwFilterSets, SectionWithoutFinalNulStopsAtItsLength) {
  const char bytes[] = {'A', '=', '*', 0, 'B', '=', 'x'};  // cut by the buffer
  MbwFilterTable t;
  LoadMbwFilterSets(t, bytes, sizeof bytes, false);
  ASSERT_EQ(2, t.count);
  EXPECT_STREQ("x", t.sets[1].list);
}

TEST(MbwFilterSets, ListsDecideWhichFoldersPass) {
  struct Case {
    const char* list;
    const char* folder;
    int waiting;
    bool passes;
    int depth;
  } cases[] = {
      {"*", "net:comp.x/all", 0, true, 2},
      {"Unread", "net:comp.x/all", 0, false, 2},
      {"unread", "net:comp.x/all", 3, true, 2},
      {"1,Unread", "net:comp.x/all", 3, true, 2},
      {"1,Unread", "net:comp.x/all", 0, false, 2},
      {"1,*:mail/*", "quorl:mail/inbox", 0, true, 1},
      {"1,*:mail/*", "net:comp.x/all", 0, false, 1},
      {"*:mail/*", "quorl:mail/inbox", 0, true, 2},
      {"*:mail/*,!quorl:mail/inbox", "quorl:mail/inbox", 0, false, 2},
      {"*:mail/*,!quorl:mail/inbox", "quorl:mail/sent", 0, true, 2},
      {"!*:mail/*,!*:actions/information", "quorl:mail/inbox", 0, false, 2},
      {"!*:mail/*,!*:actions/information", "quorl:actions/information", 0, false, 2},
      {"!*:mail/*,!*:actions/information", "quorl:chat/general", 0, true, 2},
      {"local:*", "notes/ideas", 0, true, 2},
      {"local:*", "net:comp.x/all", 0, false, 2},
      {"Messages", "dvn:forum/S3_talk", 0, true, 2},
      {"Messages", "dvn:forum/L3_files", 0, false, 2},
      {"Files", "dvn:forum/L3_files", 0, true, 2},
      {"Files", "dvn:forum/S3_talk", 0, false, 2},
      {"*,!Files", "dvn:forum/L3_files", 0, false, 2},
      {"*,!Messages", "dvn:forum/S3_talk", 0, false, 2},
      {"!Messages", "dvn:forum/L3_files", 0, true, 2},
      {"!Messages", "dvn:forum/S3_talk", 0, false, 2},
      {"Files,dvn:forum/L3*", "dvn:forum/S3_talk", 0, false, 2},
      {"Messages,!dvn:forum/S3*", "dvn:forum/S3_talk", 0, false, 2},
      {"1", "net:comp.x/all", 0, false, 2},                  // the last item is a pattern
      {"!*:mail/*,3,!*:x/*", "net:comp.x/all", 0, true, 3},  // a depth item inside an exclusion list
      {"3,!*:mail/*", "net:comp.x/all", 0, false, 3},        // not an exclusion list: nothing passes
  };
  for (const Case& c : cases) {
    int depth = -1;
    EXPECT_EQ(c.passes, MbwListPasses(c.list, c.folder, c.waiting, 2, &depth)) << c.list << " on " << c.folder;
    EXPECT_EQ(c.depth, depth) << c.list << " on " << c.folder;
  }
}

TEST(MbwFilterSets, ResignedSetShowsOnlyResignedFolders) {
  std::string section = Section({"All=*", "Gone=Resigned", "Gone2=1,resigned"});
  LoadMbwFilterSets(g_mbwFilters, section.data(), section.size(), false);
  ConfRec joined = {}, resigned = {};
  std::strcpy(joined.name, "net:comp.x/all");
  std::strcpy(resigned.name, "net:comp.y/all");
  resigned.flags = CONF_RESIGNED | CONF_FILTERED;
  joined.flags = CONF_FILTERED;
  g_mbwFilters.current = 0;
  EXPECT_FALSE(MbwResignFilter(&joined));
  EXPECT_TRUE(MbwResignFilter(&resigned));
  joined.flags = 0;
  EXPECT_TRUE(MbwResignFilter(&joined)) << "a folder the filter failed is hidden";
  for (int set : {1, 2}) {
    g_mbwFilters.current = set;
    EXPECT_TRUE(MbwResignFilter(&joined));
    EXPECT_FALSE(MbwResignFilter(&resigned));
  }
  g_mbwFilters = MbwFilterTable();
}

TEST(MbwFilterSets, TabLabelsShrinkByNameThenLetters) {
  struct Case {
    const char* name;
    size_t room;
    const char* label;
  } cases[] = {
      {"Libraries", 6, "Libs"}, {"Messages", 5, "Msgs"}, {"FileLists", 5, "Files"},
      {"Mail", 4, "Mail"},      {"Mail", 3, "Mai"},      {"Newsgroups", 1, "Ne"},
  };
  for (const Case& c : cases) {
    char out[40];
    ShrinkTabLabel(
        c.name, out, [](const char* text, void* room) { return std::strlen(text) <= *static_cast<size_t*>(room); },
        const_cast<size_t*>(&c.room));
    EXPECT_STREQ(c.label, out) << c.name;
  }
}

}  // namespace
