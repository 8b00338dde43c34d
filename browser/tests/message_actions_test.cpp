// The texts message operations hand to the outbasket and the import program.
#include "browser/message_actions.h"

#include <gtest/gtest.h>

#include "msgbase/tests/memory_log.h"

namespace {

TEST(MessageActionsTest, FetchFormsByteForByte) {
  FetchRequest r;
  r.user = "tester";
  r.folder = "mail/inbox";
  r.messageId = "<a1@b>";
  r.number = 12;
  r.commentTo = 7;
  r.kind = FetchKind::kMail;
  EXPECT_EQ(
      ";-; id:\ttester type:\tscript script:\tFetch mail message priority:\t50 #:\tmail/inbox #:\t<a1@b> #:\t12 #:\t7\n"
      "GetMailMessage\nmail/inbox\n<a1@b>\n12\n7\n",
      FetchActionLines(r));

  r.kind = FetchKind::kDravenet;
  r.folder = "forum/S3_talk";
  EXPECT_EQ(
      ";-; id:\ttester type:\tscript script:\tFetch full message priority:\t30 #:\tforum #:\t12\n"
      "FetchThread\nforum\n12\n",
      FetchActionLines(r));

  r.kind = FetchKind::kNews;
  r.folder = "comp./.lang/c";
  EXPECT_EQ(
      ";-; id:\ttester type:\tscript script:\tFetch full message priority:\t50 #:\tcomp.lang.c #:\t<a1@b> #:\t12 "
      "#:\t7 #:\tcomp./.lang/c\n"
      "GetMessage\ncomp.lang.c\n<a1@b>\n12\n7\ncomp./.lang/c\n",
      FetchActionLines(r));

  r.kind = FetchKind::kLibraryList;
  r.folder = "forum/L3_files";
  EXPECT_EQ(
      ";-; id:\ttester type:\tscript script:\tRefresh Library List priority:\t40 #:\tforum #:\t12 #:\t #:\t #:\t "
      "#:\t #:\t #:\t #:\t #:\t #:\ty #:\tn\n"
      "NewSearchLibrary\nforum\n12\n\n\n\n\n\n\n\n\ny\nn\n",
      FetchActionLines(r));
}

TEST(MessageActionsTest, NoFieldForgesAnotherAction) {
  FetchRequest r;
  r.user = "me\r\nx";
  r.folder = "mail/in\nbox";
  r.messageId = "<a\r\n;-; id:\tevil>";
  r.number = 1;
  const std::string lines = FetchActionLines(r);
  int breaks = 0;
  for (char c : lines) breaks += c == '\n';
  EXPECT_EQ(6, breaks);
  EXPECT_EQ(std::string::npos, lines.find('\r'));
  EXPECT_NE(std::string::npos, lines.find("#:\t<a;-; id:evil> #:")) << lines;
  const std::string search = RemoteSearchLines("u", "forum", " 3 ", "u", "3", "a\nb\tc");
  EXPECT_EQ(
      ";-; id:\tu type:\tscript script:\tRemote Search priority:\t60 #:\tforum #:\t 3  #:\tu #:\t3 #:\tabc\n"
      "SearchForMessages\nforum\n 3 \nu\n3\nabc\n",
      search);
}

TEST(MessageActionsTest, FolderNameForms) {
  EXPECT_EQ("comp.lang.c", DottedGroup("comp/lang.c"));
  EXPECT_EQ("alt.binaries", DottedGroup("alt./.binaries"));
  EXPECT_EQ("forum", ForumOf("forum/S3_talk"));
  EXPECT_EQ("net:comp/lang.c", OriginOfNewsgroups("net", "comp.lang.c,alt.test"));
  EXPECT_EQ("u", std::string(kSearchLimitCodes[1]));
  EXPECT_EQ("31", std::string(kSearchLimitCodes[9]));
  EXPECT_EQ("Last month", std::string(kSearchLimitNames[9]));
}

TEST(MessageActionsTest, HeaderForAnotherFolderGetsTheNoteAndTheCount) {
  std::string note;
  EXPECT_EQ("chat/other 12, from bob, 123 chars, Mon Jan 1",
            ImportHeaderLine("Chat/General 12, from bob, 64 chars, Mon Jan 1", "chat/general", "chat/other",
                             "quorl:chat/general", 12, &note));
  EXPECT_EQ("\r\n[This message was copied from PL://quorl:chat/general#12]\r\n", note);
  EXPECT_EQ(61u, note.size()) << "the count grows by 59";
  // The same folder: no note, the count kept.
  EXPECT_EQ("Chat/General 12, from bob, 64 chars, x",
            ImportHeaderLine("CHAT/GENERAL 12, from bob, 64 chars, x", "chat/general", "Chat/General",
                             "quorl:chat/general", 12, &note));
  EXPECT_TRUE(note.empty());
  // The one-line form states its count in brackets.
  EXPECT_EQ(">>>chat/other 12 bob(123)12Mar96 10:00 c3",
            ImportHeaderLine(">>>Chat/General 12 bob(64)12Mar96 10:00 c3", "chat/general", "chat/other",
                             "quorl:chat/general", 12, &note));
  EXPECT_EQ(">>>chat/other 12 bob(x)12Mar96", ImportHeaderLine(">>>chat/general 12 bob(x)12Mar96", "chat/general",
                                                               "chat/other", "quorl:chat/general", 12, &note))
      << "no count to raise";
}

TEST(MessageActionsTest, SendToNames) {
  const struct {
    const char* name;
    bool valid;
  } cases[] = {
      {"quorl:chat/general", true},
      {"local:notes/demo", true},
      {"quorl:chat", false},  // no "/"
      {"chat/x:y", false},    // "/" before ":"
      {"a:b:c/d", false},     // second ":" first
      {"a:b/c:d", true},
      {"a:b/c/d", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, ValidSendToName(c.name)) << c.name;
  EXPECT_EQ("local:my_notes/a_b", CleanFolderName("local:my notes/a\tb"));
}

}  // namespace

namespace {

TEST(MessageActionsTest, RethreadHeaderSaysTheNewParentOrNone) {
  const std::string block = "==========\nnotes/demo #50, from ann, 9 chars, date\nComment to 12.\n----------\n";
  EXPECT_EQ("==========\nnotes/demo #50, from ann, 9 chars, date\n----------\n", RethreadHeader(block, 0));
  EXPECT_EQ("==========\nnotes/demo #50, from ann, 9 chars, date\nComment to 49.\n----------\n",
            RethreadHeader(block, 49));
  EXPECT_EQ(">>>x 1\n", RethreadHeader(">>>x 1\n", 49)) << "not a header the reader takes: left alone";
}

// The log reader reads back the parent each form was given, whatever the
// folder's name holds.
TEST(MessageActionsTest, RethreadHeadersReadBackWithTheirNewParent) {
  const std::string separator = "==========\nnotes/demo #50, from ann, 9 chars, 12 Mar 1996 10:00\n";
  struct Case {
    std::string header;
  } cases[] = {
      {separator + "Comment to 12.\n----------\n"},
      {separator + "----------\n"},
      {">>>chat/general 50 ann(9)12Mar96 10:00 c12\n"},
      {">>>dvn:forum/S3_talk 50 ann(9)12Mar96 10:00\r\n"},
      {">>>dvn:forum/S3_talk 50 ann(9)12Mar96 10:00 c12 more\n"},
  };
  for (const Case& c : cases) {
    for (long parent : {0L, 49L}) {
      SCOPED_TRACE(c.header + " to " + std::to_string(parent));
      MemoryLog log;
      log.bytes = RethreadHeader(c.header, parent) + "Some text";
      auto reader = OpenReader(log);
      ASSERT_GT(readmsgline(*reader), 0);
      MessageHeader header;
      ASSERT_EQ(50, IsMessageStart(*reader, &header)) << log.bytes;
      EXPECT_EQ(parent, header.parent < 0 ? 0 : header.parent) << log.bytes;
      EXPECT_EQ(9, header.size);
      EXPECT_STREQ("ann", header.author);
    }
  }
}

TEST(MessageActionsTest, RethreadTargetsBelowTheMessageOnly) {
  const struct {
    const char* typed;
    bool accepted;
    long parent;
  } cases[] = {{"49", true, 49}, {"1", true, 1},   {"50", false, 0}, {"51", false, 0},
               {"0", false, 0},  {"#4", false, 0}, {"", false, 0},   {"12abc", true, 12}};
  for (const auto& c : cases) {
    long parent = 0;
    EXPECT_EQ(c.accepted, RethreadTarget(c.typed, 50, &parent)) << c.typed;
    EXPECT_EQ(c.parent, parent) << c.typed;
  }
}

}  // namespace

namespace {

TEST(MessageActionsTest, SectionsAndSearchTexts) {
  EXPECT_EQ(3, SectionNumberOfItem("S3_talk"));
  EXPECT_EQ(12, SectionNumberOfItem("S12 News"));
  EXPECT_TRUE(SectionChosen("3 12", 12));
  EXPECT_TRUE(SectionChosen("3", 3));
  EXPECT_FALSE(SectionChosen("13 21", 1)) << "whole numbers only";
  EXPECT_EQ("3 12", SectionsText({3, 12}));
  EXPECT_EQ("", SectionsText({}));
  EXPECT_EQ("3", SectionOfFolder("forum/S3_talk"));
  EXPECT_EQ("", SectionOfFolder("forum"));
  EXPECT_EQ("bob", SearchTextOfLine("From: Bob Smith [bob]\n", "From: ", true));
  EXPECT_EQ("ann@x.org", SearchTextOfLine("From: ann@x.org", "From: ", true));
  EXPECT_EQ("Hello there", SearchTextOfLine("Subject: Hello there\n", "Subject: ", false));
  EXPECT_EQ("", SearchTextOfLine("To: x", "From: ", true));
}

}  // namespace
