#include "msgbase/import_text.h"

#include <gtest/gtest.h>

TEST(ImportText, MessageFormStatesTheBodyLengthAndTheParent) {
  std::string body = "Hello\r\nworld\r\n";
  struct Case {
    ImportMessage message;
    const char* expected;
  } cases[] = {
      {{"local:notes/general", 0, "alice", "Thu, 10 Dec 2026 13:05", 0},
       "==========\r\nlocal:notes/general #0, from alice, 14 chars, Thu, 10 Dec 2026 13:05\r\n----------\r\n"
       "Hello\r\nworld\r\n"},
      {{"net:comp.lang/c", 12, "bob", "Mon, 01 Feb 2027 09:30", 7},
       "==========\r\nnet:comp.lang/c #12, from bob, 14 chars, Mon, 01 Feb 2027 09:30\r\nComment to 7.\r\n"
       "----------\r\nHello\r\nworld\r\n"},
      // A line break in a header field would start a header line of its own.
      {{"local:a/b", 0, "eve\r\n==========", "d", 0},
       "==========\r\nlocal:a/b #0, from eve  ==========, 14 chars, d\r\n----------\r\nHello\r\nworld\r\n"},
  };
  for (auto& c : cases) EXPECT_EQ(ImportMessageText(c.message, body), c.expected);
}

TEST(ImportText, WithdrawalBodyIsTheFortyCharactersTheHeaderStates) {
  ImportMessage m{"local:notes/general", 42, "alice", "Thu, 10 Dec 2026 13:05", 40};
  EXPECT_EQ(WithdrawalText(m, false),
            "==========\r\nlocal:notes/general #42, from alice, 40 chars, Thu, 10 Dec 2026 13:05\r\n"
            "Comment to 40.\r\n----------\r\n ** Withdrawn by author            ** \r\n\r\n");
  m.commentTo = 0;
  EXPECT_EQ(WithdrawalText(m, true),
            "==========\r\nlocal:notes/general #42, from alice, 40 chars, Thu, 10 Dec 2026 13:05\r\n"
            "----------\r\n ** Withdrawn by administrator     ** \r\n\r\n");
}

TEST(ImportText, DateHasEnglishNamesWhateverTheLocale) {
  std::tm when = {};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 3;
  when.tm_wday = 4;
  when.tm_hour = 7;
  when.tm_min = 5;
  EXPECT_EQ(ImportDate(when), "Thu, 03 Dec 2026 07:05");
}

TEST(ImportText, BlocksAndDirectives) {
  struct Case {
    std::string got;
    const char* expected;
  } cases[] = {
      {DroppedTextBlock("local:notes/general", "C:\\docs\\a.txt", "line 1\r\nline 2"),
       "!start local:notes/general File\r\nImported-from: FILE://C:\\docs\\a.txt\r\n\r\nline 1\r\nline 2\r\n!end\r\n"},
      {DroppedTextBlock("local:notes/general", "", "only"), "!start local:notes/general File\r\nonly\r\n!end\r\n"},
      {DroppedFileBlockHead("local:notes/general", "pic.gif", "C:\\docs\\pic.gif") + "begin 644 pic.gif\r\nend\r\n" +
           DroppedFileBlockEnd(),
       "!start local:notes/general pic.gif\r\nImported-from: FILE://C:\\docs\\pic.gif\r\n\r\npic.gif\r\n"
       "begin 644 pic.gif\r\nend\r\n!end\r\n"},
      {SchedulerNoticeBlock("net connection Aborted by user at 10:00\n"),
       "!start actions/information Scheduler\nnet connection Aborted by user at 10:00\n!end\n"},
      {AdminReportBlock("Users", "3 users\n"), "!start actions/admin Users\n3 users\n!end\n"},
      {ImportPragma("service", "local"), "#pragma service=local\r\n"},
      {ImportPragma("thread", "no"), "#pragma thread=no\r\n"},
      {ImportPragma("override", "net:comp/c"), "#pragma override=net:comp/c\r\n"},
      {ImportPragma("overridenumber", "yes"), "#pragma overridenumber=yes\r\n"},
      {NewFolderPragma("local:notes", "ideas"), "#pragma newfolder=local:notes/ideas\r\n"},
  };
  for (auto& c : cases) EXPECT_EQ(c.got, c.expected);
}
