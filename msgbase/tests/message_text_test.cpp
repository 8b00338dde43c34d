#include "msgbase/message_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(BareAddress, ReducesEachFormToTheAddress) {
  struct Case {
    const char* in;
    const char* out;
    char first;
  } cases[] = {
      {"Joe Bloggs <joe@example.com>", "joe@example.com", 'j'},
      {"joe@example.com (Joe Bloggs)", "joe@example.com ", 'j'},
      {"\"Joe\" joe@example.com", "Joe joe@example.com", 'J'},
      {"a@b (outer (inner) still) c", "a@b  c", 'a'},
      {"Joe <joe@example.com", "", 0},
      {"", "", 0},
      {"(only a comment)", "", 0},
  };
  for (const Case& c : cases) {
    char out[64];
    EXPECT_EQ(BareAddress(c.in, out, sizeof out), c.first) << c.in;
    EXPECT_STREQ(out, c.out) << c.in;
  }
}

TEST(BareAddress, NeverWritesPastTheBuffer) {
  char out[8];
  std::memset(out, 'x', sizeof out);
  BareAddress("<abcdefghijklmnop>", out, 6);
  EXPECT_STREQ(out, "abcde");
  EXPECT_EQ(out[6], 'x');
  BareAddress("abcdefghijklmnop", out, 6);
  EXPECT_STREQ(out, "abcde");
}

TEST(ShortenAddressList, JoinsBareAddresses) {
  struct Case {
    const char* in;
    const char* domains;
    const char* out;
  } cases[] = {
      {"Joe <joe@a.com>, ann@b.com (Ann), \"Smith, Bob\" <bob@c.com>", nullptr, "joe@a.com, ann@b.com, bob@c.com"},
      {" , ,x@y", nullptr, "x@y"},
      {"Pat <pat@quorl.example>, sam@QUORL.example, kim@else.example", "other.example;quorl.example",
       "pat, sam, kim@else.example"},
      {"", nullptr, ""},
  };
  for (const Case& c : cases) {
    char out[256];
    EXPECT_STREQ(ShortenAddressList(c.in, out, sizeof out, c.domains), c.out) << c.in;
  }
}

TEST(ShortenAddressList, StopsBeforeTheLimitAtAWholeAddress) {
  std::string list;
  for (int i = 0; i < 1000; ++i) list += "user" + std::to_string(i) + "@example.com, ";
  static char out[8192];
  ShortenAddressList(list.c_str(), out, sizeof out, nullptr);
  size_t n = std::strlen(out);
  EXPECT_LT(n, 4086u);
  EXPECT_GT(n, 4000u);
  EXPECT_EQ(std::string(out).substr(n - 12), "@example.com");
  char small[20];
  ShortenAddressList(list.c_str(), small, sizeof small, nullptr);
  EXPECT_STREQ(small, "user0@example.com");
}

TEST(MakeUsenetName, TurnsFolderNamesIntoGroups) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"net:usenet_comp/lang", "comp.lang"},
      {"net:comp/lang", "comp.lang"},
      {"net:comp/lang/.c", "comp.langc"},
      {"net:alt/binaries/pictures", "alt.binaries/pictures"},
      {"comp/usenet_x", "comp.usenet_x"},
      {"usenet_a/usenet_b", "a.b"},
      {"plain", "plain"},
  };
  for (const Case& c : cases) {
    char name[64];
    std::strcpy(name, c.in);
    EXPECT_STREQ(MakeUsenetName(name), c.out) << c.in;
  }
}

const char kMessage[] =
    "==== net:comp/lang #12 from joe (40)\r\n"
    "From: Joe <joe@example.com>\r\n"
    "Subject: a long\r\n"
    "  folded subject\r\n"
    "newsgroups:  comp.lang  \r\n"
    "X-Cr: a\rb\r\n"
    "\r\n"
    "Body-Field: not a header\r\n"
    "Text\n";

TEST(FindHeaderField, FindsFieldsOfTheHeaderOnly) {
  struct Case {
    const char* field;
    bool whole;
    int found;
    const char* value;
  } cases[] = {
      {"from", false, 1, "Joe <joe@example.com>"},
      {"Subject", false, 1, "a long  folded subject"},
      {"Newsgroups", false, 1, "comp.lang"},
      {"X-Cr", false, 1, "a b"},
      {"Body-Field", false, 0, ""},
      {"Body-Field", true, 1, "not a header"},
      {"Missing", true, 0, ""},
      {"Subj", false, 0, ""},
  };
  for (const Case& c : cases) {
    char out[64];
    EXPECT_EQ(FindHeaderField(kMessage, c.field, out, sizeof out, c.whole), c.found) << c.field;
    EXPECT_STREQ(out, c.value) << c.field;
  }
}

TEST(FindHeaderField, KeepsTheValueWithinTheBuffer) {
  char out[12];
  ASSERT_EQ(FindHeaderField(kMessage, "From", out, sizeof out, false), 1);
  EXPECT_STREQ(out, "Joe <joe@ex");
  // A continuation that would not fit is left out whole.
  char subject[12];
  ASSERT_EQ(FindHeaderField(kMessage, "Subject", subject, sizeof subject, false), 1);
  EXPECT_STREQ(subject, "a long");
}

TEST(BatchMessageText, WritesEachForm) {
  const char header[] = "==========\nmail #7, from ann, 9 chars, date\n----------\n";
  const char body[] = "Hi\nthere\r\n";
  struct Case {
    BatchForm form;
    const char* out;
  } cases[] = {
      {BatchForm::Memo, "Memo #7 (11)\r\nHi\r\nthere\r\n\r\n"},
      {BatchForm::Rnews, "#! rnews 11\r\nHi\nthere\n\n"},
      {BatchForm::Log, "==========\r\nmail #7, from ann, 9 chars, date\r\n----------\r\nHi\r\nthere\r\n\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(BatchMessageText(c.form, header, body, 7, 11), c.out) << int(c.form);
}

TEST(CancelLine, SubstitutesOnlyItsOwnTokens) {
  struct Case {
    const char* format;
    const char* out;
  } cases[] = {
      {"CANCEL %s%s%ld", "CANCEL conf/topic-42"},
      {"del %s %d 100%%", "del conf/topic 42 100%"},
      {"%s %s %s %n %x %ld %ld %", "conf/topic - %s %n %x 42 %ld %"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CancelLine(c.format, "conf/topic", 42), c.out) << c.format;
}

class ActionFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("msgops_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    action = (dir / "net.bsc").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  static void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path dir;
  std::string action;
};

TEST_F(ActionFileTest, SplitHoldsBackAndJoinRestores) {
  const std::string ready1 = ";-; id:\tann type:\tedit\r\nline\r\n";
  const std::string held = ";#; id:\tann type:\tedit\r\nwaiting\r\n";
  const std::string ready2 = ";-; id:\tann type:\tscript script:\tCancel message priority:\t60 #:\tx #:\t3\n";
  Write(action, ready1 + held + ready2);
  ASSERT_EQ(SplitActionFile(action.c_str(), true), 1);
  EXPECT_EQ(Read(action), ready1 + ready2);
  EXPECT_EQ(Read((dir / "net.bsd").string()), held);
  EXPECT_FALSE(std::filesystem::exists(dir / "net.bst"));

  ASSERT_EQ(SplitActionFile(action.c_str(), false), 1);
  EXPECT_EQ(Read(action), ready1 + ready2 + held);
  EXPECT_FALSE(std::filesystem::exists(dir / "net.bsd"));
}

TEST_F(ActionFileTest, SplitAgainKeepsEarlierHeldEntries) {
  Write(action, ";#; id:\ta\r\nfirst\r\n");
  ASSERT_EQ(SplitActionFile(action.c_str(), true), 1);
  Write(action, ";-; id:\tb\r\n;#; id:\tc\r\nsecond\r\n");
  ASSERT_EQ(SplitActionFile(action.c_str(), true), 1);
  EXPECT_EQ(Read((dir / "net.bsd").string()), ";#; id:\ta\r\nfirst\r\n;#; id:\tc\r\nsecond\r\n");
  EXPECT_EQ(Read(action), ";-; id:\tb\r\n");
}

TEST_F(ActionFileTest, LongLinesStayWithTheirEntry) {
  std::string longLine(9000, 'z');
  std::string text = ";#; id:\ta\r\n" + longLine + ";-; id:\tnot a start\r\n";
  Write(action, text);
  ASSERT_EQ(SplitActionFile(action.c_str(), true), 1);
  EXPECT_EQ(Read((dir / "net.bsd").string()), text);
  EXPECT_EQ(Read(action), "");
}

TEST_F(ActionFileTest, MissingFilesChangeNothing) {
  EXPECT_EQ(SplitActionFile(action.c_str(), true), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "net.bsd"));
  EXPECT_FALSE(std::filesystem::exists(dir / "net.bst"));
  Write(action, "x\r\n");
  EXPECT_EQ(SplitActionFile(action.c_str(), false), 0);
  EXPECT_EQ(Read(action), "x\r\n");
}

}  // namespace
