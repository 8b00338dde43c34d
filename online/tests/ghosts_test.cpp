#include "online/ghosts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

std::map<std::string, std::pair<time_t, std::string>> g_files;
const char* g_topicName = "cix:chat/general";

const char* TopicName() { return g_topicName; }
const char* DataDirectory() { return "D:\\data\\"; }
time_t FileTime(const char* path) {
  auto found = g_files.find(path);
  return found == g_files.end() ? -1 : found->second.first;
}
bool ReadFile(const char* path, std::vector<char>* bytes) {
  auto found = g_files.find(path);
  if (found == g_files.end()) return false;
  bytes->assign(found->second.second.begin(), found->second.second.end());
  return true;
}
int g_repaints = 0;
void Repaint() { g_repaints++; }

class Ghosts : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_ghostHooks;
    g_ghostHooks = {TopicName, DataDirectory, FileTime, ReadFile, Repaint};
    g_files.clear();
    g_topicName = "cix:chat/general";
  }
  void TearDown() override {
    ClearGhosts();
    g_ghostHooks = saved_;
  }
  GhostHooks saved_;
};

std::string Reply(const char* marker, const char* folder, int number, const char* flag = "bComment: y") {
  std::string body =
      "Hello\r\n;-; id:\tx type:\tscript script:\tWithdraw Message priority:\t1\r\nW\r\nchat/general\r\n7\r\n";
  return std::string(marker) + " id:\tann type:\tedit\r\nMessageStart: 1.0\r\n" + flag + "\r\nszFolders:   " + folder +
         "\r\nnComment: " + std::to_string(number) + "\r\nBody: " + std::to_string(body.size()) + "\r\n" + body +
         "\r\nMessageEnd:\r\n";
}

std::string Withdrawal(const char* folder, const char* numberLines) {
  return std::string(";-; id:\tann type:\tscript script:\tWithdraw Message priority:\t60\r\nWithdraw\r\n") + folder +
         "\r\n" + numberLines;
}

TEST_F(Ghosts, ReadsRepliesAndWithdrawalsOfBothFiles) {
  g_files["D:\\data\\cix.bsc"] = {100, Reply(";-;", "chat/general,other/topic", 5) + Reply(";#;", "chat/general", 6) +
                                           Withdrawal("chat/general", "-1\r\n9\r\n") +
                                           Reply(";-;", "chat.general", 11, "bSay: y")};
  g_files["D:\\data\\cix\\cix.bsc"] = {200, Reply(";-;", "chat.general", 8, "bReply: yes") +
                                                Withdrawal("other/topic", "12\r\n") +
                                                Withdrawal("chat/general", "5\r\n")};
  g_repaints = 0;
  RefreshGhosts();
  EXPECT_EQ(1, g_repaints);
  EXPECT_EQ(5, GhostCount());  // the held reply and the new message are none
  const struct {
    long number;
    int kind;
  } cases[] = {{5, -1}, {6, 0}, {7, 0}, {8, 2}, {9, 1}, {11, 0}, {12, 0}};
  for (const auto& c : cases) {
    if (c.kind < 0)
      EXPECT_GE(GetGhostKind(c.number), 1);  // a reply and a withdrawal: either may be found
    else
      EXPECT_EQ(c.kind, GetGhostKind(c.number)) << c.number;
  }
  int index = -1, reply = 0, withdraw = 0;
  long number = 0;
  std::string seen;
  while (NextGhost(&index, &number, &reply, &withdraw))
    seen += std::to_string(number) + (reply ? "r " : "") + (withdraw ? "w " : "");
  EXPECT_EQ(12u, seen.size()) << seen;
  EXPECT_NE(std::string::npos, seen.find("5r "));
  EXPECT_NE(std::string::npos, seen.find("5w "));
  EXPECT_NE(std::string::npos, seen.find("8r "));
  EXPECT_NE(std::string::npos, seen.find("9w "));
  EXPECT_EQ(std::string::npos, seen.find("12"));
}

TEST_F(Ghosts, ChangesAreSeenByFileTimes) {
  g_topicName = nullptr;
  EXPECT_FALSE(GhostsChanged());
  g_topicName = "cix:chat/general";
  RefreshGhosts();
  EXPECT_FALSE(GhostsChanged());
  g_files["D:\\data\\cix\\cix.bsc"] = {300, Reply(";-;", "chat/general", 3)};
  EXPECT_TRUE(GhostsChanged());
  RefreshGhosts();
  EXPECT_FALSE(GhostsChanged());
  EXPECT_EQ(2, GetGhostKind(3));
  g_topicName = "dvn:forum/topic";
  EXPECT_TRUE(GhostsChanged()) << "another service's files were never read";
  RefreshGhosts();
  EXPECT_EQ(0, GhostCount());
}

TEST_F(Ghosts, EntriesEndAtTheNextHeader) {
  // A withdrawal cut short, and a reply without its end: the next entry still counts.
  std::string file =
      ";-; id:\tann type:\tscript script:\tCancel Message priority:\t60\r\nCancel\r\n" +
      std::string(";-; id:\tann type:\tedit\r\nbComment: y\r\nszFolders: chat/general\r\nnComment: 4\r\n") +
      Withdrawal("chat/general", "6\r\n");
  std::vector<GhostEntry> ghosts;
  ParseBscEntries(file.data(), file.size(), "cix", &ghosts);
  ASSERT_EQ(2u, ghosts.size());
  EXPECT_STREQ("cix:chat/general", ghosts[0].topic);
  EXPECT_EQ(4u, ghosts[0].number);
  EXPECT_EQ(1u, ghosts[0].reply);
  EXPECT_EQ(6u, ghosts[1].number);
  EXPECT_EQ(1u, ghosts[1].withdraw);
}

// Reading a real file passes over message bodies and finds the same ghosts as
// reading all its bytes.
TEST(GhostFiles, BodiesPassedOverGiveTheSameGhosts) {
  auto reply = [](const std::string& marker, const std::string& body, const std::string& count) {
    return marker +
           " id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbComment: yes\r\nszFolders: chat/general\r\n"
           "nComment: 7\r\nBody: " +
           count + "\r\n" + body + "\r\nMessageEnd:\r\n";
  };
  std::string trap = "x\r\n;-; id:\tann type:\tscript script:\tWithdraw Message\r\nWithdraw\r\nchat/general\r\n9\r\n";
  std::string big(100000, 'b');
  const std::string cases[] = {
      reply(";-;", trap, std::to_string(trap.size())),
      reply(";#;", trap, std::to_string(trap.size())) + reply(";-;", "ok", "2"),
      // A count past the end: the lines after it are read as lines.
      reply(";-;", trap, "999999"),
      // "Body:" after the message ended, or in a script, is no count.
      ";-; id:\tann type:\tedit\r\nMessageEnd:\r\nBody: 500\r\n" + trap,
      ";-; id:\tann type:\tscript script:\tX\r\nBody: 500\r\n" + trap,
      // Only entries that can be ghosts are kept: a cancellation among others.
      ";-; id:\tann type:\tscript script:\tDownload messages priority:\t90\r\nDownload\r\nchat/general\r\n"
      ";-; id:\tann type:\tscript script:\tCancel Message priority:\t60\r\nCancel\r\nchat/general\r\n-x\r\n12\r\n"
      ";#; id:\tann type:\tscript script:\tWithdraw Message\r\nWithdraw\r\nchat/general\r\n13\r\n" +
          reply(";-;", "ok", "2"),
      std::string(";-; id:\tann type:\tedit\r\nbReply: y\r\nszFolders: chat.other\r\nnComment: 3\r\nbody:   ") +
          std::to_string(big.size()) + "\r\n" + big + "\r\nMessageEnd:\r\n" + trap + std::string("\0tail", 5),
  };
  std::string path = ::testing::TempDir() + "ghosts_read.bsc";
  auto key = [](const std::vector<GhostEntry>& ghosts) {
    std::string out;
    for (const GhostEntry& g : ghosts)
      out +=
          std::string(g.topic) + "#" + std::to_string(g.number) + (g.reply ? "r" : "") + (g.withdraw ? "w" : "") + " ";
    return out;
  };
  for (const std::string& text : cases) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    std::vector<char> bytes;
    ASSERT_TRUE(GhostReadFile(path.c_str(), &bytes));
    std::vector<GhostEntry> raw, read;
    ParseBscEntries(text.data(), text.size(), "cix", &raw);
    ParseBscEntries(bytes.data(), bytes.size(), "cix", &read);
    EXPECT_EQ(key(read), key(raw)) << text.substr(0, 200);
    EXPECT_FALSE(raw.empty());
  }
  std::vector<char> bytes;
  GhostReadFile(path.c_str(), &bytes);
  EXPECT_LT(bytes.size(), 1000u) << "the big body was passed over";
  remove(path.c_str());
  EXPECT_FALSE(GhostReadFile(path.c_str(), &bytes));
}

}  // namespace
