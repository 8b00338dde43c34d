#include "online/outbasket_order.h"

#include "core/text1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

void AddScript(ActionList* list, const char* service, const char* title, int priority, std::vector<const char*> lines,
               bool held = false) {
  OutbasketAction action = NewActionRecord(service);
  StrCopyN(action.title, title, sizeof action.title - 1);
  action.priority = priority;
  action.held = held;
  for (const char* line : lines) action.lines->add(line);
  DescribeAction(&action);
  list->records.push_back(action);
}

void AddMessage(ActionList* list, const char* service, std::vector<const char*> lines) {
  OutbasketAction action = NewActionRecord(service);
  action.edit = 1;
  for (const char* line : lines) action.lines->add(line);
  DescribeAction(&action);
  list->records.push_back(action);
}

// The live records' descriptions in list order, headings as "[svc]".
std::vector<std::string> Shown(const ActionList& list) {
  std::vector<std::string> out;
  for (const OutbasketAction& action : list.records) {
    if (action.dropped) continue;
    out.push_back(action.heading ? std::string("[") + action.service + "]"
                                 : std::string(action.held ? "held " : "") + action.description);
  }
  return out;
}

TEST(OutbasketOrder, Descriptions) {
  ActionList list;
  AddScript(&list, "cix", "Download messages", 90, {"Download", "chat/general", "50"});
  EXPECT_STREQ("Download messages, chat/general, 50", list.records[0].description);
  AddMessage(&list, "cix",
             {"MessageStart: 1.0", "bComment: y", "szFolders: chat/general", "szSubject: Hi", "To: ann\tAnn Smith",
              "Attachments: a.txt", "Attachments: b.txt"});
  EXPECT_STREQ("Reply To Message", list.records[1].title);
  EXPECT_STREQ("Reply To Message,chat/general Subj:Hi To:ann Attachments:2", list.records[1].description);
  AddMessage(&list, "cix", {"bMailing: y", "szReferences: 123", "szFaxName: Office"});
  EXPECT_STREQ("Post New Mail,#123 Office Attachments:", list.records[2].description);
  // A long script stops before the argument that would not fit.
  std::string big(300, 'x');
  AddScript(&list, "cix", "Long", 1, {"Cmd", big.c_str(), big.c_str()});
  EXPECT_EQ("Long, " + big, std::string(list.records[3].description));
}

TEST(OutbasketOrder, SortsAndMergesAsTheOutbasketSendsThem) {
  ActionList list;
  list.records.push_back(NewHeadingRow("dvn"));
  AddScript(&list, "dvn", "Download messages", 90, {"Download", "zebra", "10"});
  AddScript(&list, "dvn", "Download messages", 90, {"Download", "apple", "10"});
  AddScript(&list, "dvn", "Set High Message Number", 30, {"SetHigh", "zebra", "5"});
  AddMessage(&list, "dvn", {"bMailing: y", "szSubject: mail"});
  AddScript(&list, "dvn", "Download messages", 90, {"Download", "ZEBRA", "20"}, true);
  AddScript(&list, "dvn", "Fetch Mail", 0, {"Fetch"});
  AddScript(&list, "dvn", "Download messages", 90, {"Download", "zebra", "30"});
  list.records.push_back(NewHeadingRow("cix"));
  AddScript(&list, "cix", "Fetch Mail", -0, {"Fetch"});
  OrderActions(&list);
  const std::vector<std::string> expected = {
      "[cix]",
      "Fetch Mail",
      "[dvn]",
      "Fetch Mail",
      "Post New Mail,Subj:mail To: Attachments:",
      "Download messages, apple, 10",
      "Set High Message Number, zebra, 5",
      "held Download messages, zebra, 30",
  };
  EXPECT_EQ(expected, Shown(list));
}

TEST(OutbasketOrder, NetAndQuorlRanks) {
  ActionList list;
  list.records.push_back(NewHeadingRow("quorl"));
  AddMessage(&list, "quorl", {"bSay: y", "szFolders: local/news"});
  AddMessage(&list, "quorl", {"bSay: y", "szFolders: quorl:usenet_comp"});
  AddScript(&list, "quorl", "Collect newsgroup", 90, {"Collect", "comp.lang.c"});
  list.records.push_back(NewHeadingRow("net"));
  AddScript(&list, "net", "Collect newsgroup", 90, {"Collect", "alt.test"});
  AddMessage(&list, "net", {"bMailing: y", "szSubject: first"});
  AddScript(&list, "net", "Fetch Mail", 0, {"Fetch"});
  OrderActions(&list);
  const std::vector<std::string> expected = {
      "[net]",
      "Fetch Mail",
      "Post New Mail,Subj:first To: Attachments:",
      "Collect newsgroup, alt.test",
      "[quorl]",
      "Post New Message,quorl:usenet_comp # To: Attachments:",
      "Collect newsgroup, comp.lang.c",
      "Post New Message,local/news # To: Attachments:",
  };
  EXPECT_EQ(expected, Shown(list));
}

TEST(OutbasketOrder, DuplicateRules) {
  ActionList list;
  AddScript(&list, "cix", "Download messages", 90, {"Download", "chat", "10"});  // 0
  AddScript(&list, "CIX", "download messages", 90, {"Download", "CHAT", "99"});  // 1: same folder
  AddScript(&list, "cix", "Download roots", 90, {"Roots", "chat", "10"});        // 2: other title
  AddScript(&list, "cix", "Join", 10, {"Join", "chat"});                         // 3
  AddScript(&list, "cix", "Join", 10, {"JOIN", "Chat"});                         // 4: same lines
  AddScript(&list, "cix", "Join", 10, {"Join", "chat", "x"});                    // 5: more lines
  AddScript(&list, "dvn", "Join", 10, {"Join", "chat"});                         // 6: other service
  AddMessage(&list, "cix", {"bSay: y"});                                         // 7
  AddMessage(&list, "cix", {"bSay: y"});                                         // 8
  AddScript(&list, "cix", "Empty", 1, {});                                       // 9
  AddScript(&list, "cix", "Other", 2, {});                                       // 10
  const struct {
    int i, j;
    bool same;
  } cases[] = {{1, 0, true},  {2, 0, false}, {4, 3, true},  {5, 3, false},
               {6, 3, false}, {8, 7, false}, {10, 9, true}, {3, 0, false}};
  for (const auto& c : cases) EXPECT_EQ(c.same, IsDuplicateAction(&list, c.i, c.j)) << c.i << "," << c.j;
}

TEST(OutbasketOrder, MergeMatchesEveryPairRule) {
  // The keyed merge against the rule applied to every pair, on a mixed set.
  const char* titles[] = {"Download messages", "Download roots", "Join", "Collect newsgroup"};
  const char* folders[] = {"a", "B", "b"};
  auto fill = [&](ActionList* list) {
    for (int n = 0; n < 60; n++) {
      std::string count = std::to_string(n % 2);
      AddScript(list, n % 5 ? "cix" : "dvn", titles[n % 4], 10, {"Cmd", folders[n % 3], count.c_str()}, n % 7 == 0);
    }
  };
  ActionList list, pairwise;
  fill(&list);
  fill(&pairwise);
  OrderActions(&list);
  for (int i = 0; i < 60; i++) MakeSortKey(&pairwise.records[i], i);
  auto lower = [](const char* text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
  };
  std::stable_sort(
      pairwise.records.begin(), pairwise.records.end(),
      [&](const OutbasketAction& a, const OutbasketAction& b) { return lower(a.sortKey) < lower(b.sortKey); });
  for (int i = 1; i < 60; i++)
    for (int j = 0; j < i; j++)
      if (IsDuplicateAction(&pairwise, i, j)) {
        pairwise.records[i].held = pairwise.records[i].held || pairwise.records[j].held;
        pairwise.records[j].dropped = 1;
      }
  int dropped = 0;
  for (int i = 0; i < 60; i++) {
    ASSERT_STREQ(pairwise.records[i].sortKey, list.records[i].sortKey);
    EXPECT_EQ(pairwise.records[i].dropped, list.records[i].dropped) << i;
    EXPECT_EQ(pairwise.records[i].held, list.records[i].held) << i;
    dropped += list.records[i].dropped;
  }
  EXPECT_GT(dropped, 10);
}

TEST(OutbasketOrder, KeysStayInOrderPastTenThousand) {
  ActionList list;
  list.records.push_back(NewHeadingRow("cix"));
  for (int n = 0; n < 10005; n++) {
    std::string folder = std::to_string(n);
    AddScript(&list, "cix", "Resign", 10, {"Resign", "same", folder.c_str()});
  }
  OrderActions(&list);
  EXPECT_STREQ("Resign, same, 9999", list.records[10000].description);
  EXPECT_STREQ("Resign, same, 10000", list.records[10001].description);
}

}  // namespace
