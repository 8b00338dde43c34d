// Every form of import text the program writes, and the saved-message forms
// that come back through the queue, read into the messages they hold.
#include "standins/import/import_parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>

#include "msgbase/import_text.h"

namespace {

constexpr char kDate[] = "Thu, 10 Dec 2026 14:00";

// The bodies point into the text, so every text parsed here is kept.
std::deque<std::string> g_texts;

ImportFile Parse(const std::string& input, const char* service = "quorl", const char* kind = "messages",
                 bool logForm = false) {
  const std::string& text = g_texts.emplace_back(input);
  ImportParseOptions options;
  options.service = service;
  options.kind = kind;
  options.now = "Fri, 11 Dec 2026 09:30";
  options.logForm = logForm;
  return ParseImportText(text, options);
}

TEST(ImportParse, EveryWriterOfTheProgramReadsBack) {
  struct Case {
    const char* name;
    std::string text;
    const char* service;
    const char* folder;
    const char* author;
    std::string body;
    long number;
    long commentTo;
  };
  const std::string uu = "begin 644 a.bin\r\n#86)C\r\n`\r\nend\r\n";
  const Case cases[] = {
      {"message", ImportMessageText({"quorl:news/chat", 0, "bob", kDate, 12}, "Hi\r\nthere\r\n"), "quorl",
       "quorl:news/chat", "bob", "Hi\r\nthere\r\n", 0, 12},
      {"author with blanks", ImportMessageText({"notes/mine", 0, "Ann Smith", kDate, 0}, "x\r\n"), "local",
       "notes/mine", "Ann_Smith", "x\r\n", 0, 0},
      {"withdrawal", WithdrawalText({"notes/mine", 7, "ann", kDate, 3}, true), "local", "notes/mine", "ann",
       " ** Withdrawn by administrator     ** \r\n", 7, 3},
      {"dropped text", DroppedTextBlock("notes/mine", "C:\\a b.txt", "line one\r\nline two"), "local", "notes/mine",
       "File", "Imported-from: FILE://C:\\a b.txt\r\n\r\nline one\r\nline two\r\n", 0, 0},
      {"dropped file", DroppedFileBlockHead("notes/mine", "a b.bin", "") + uu + DroppedFileBlockEnd(), "local",
       "notes/mine", "a_b.bin", "a b.bin\r\n" + uu, 0, 0},
      {"scheduler notice", SchedulerNoticeBlock("net connection Aborted by user at now\n"), "local",
       "actions/information", "Scheduler", "net connection Aborted by user at now\r\n", 0, 0},
      {"admin report", AdminReportBlock("Users report", "ann\nbob\n"), "local", "actions/admin", "Users_report",
       "ann\r\nbob\r\n", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImportFile f = Parse(c.text, c.service);
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.messages.size(), 1u);
    const ImportedMessage& m = f.messages[0];
    EXPECT_EQ(m.folder, c.folder);
    EXPECT_EQ(m.author, c.author);
    EXPECT_EQ(std::string(m.Body()), c.body);
    EXPECT_EQ(m.number, c.number);
    EXPECT_EQ(m.commentTo, c.commentTo);
    EXPECT_FALSE(m.date.empty());
  }
}

// Writers elsewhere in the program: the editor (character count, attachments
// after the body), the mail collector (attachment lines counted), a message
// joined from parts (LF lines, count padded with blanks), a mailing (memo).
TEST(ImportParse, EditorCollectorAndMailingFormsRead) {
  std::string editor =
      "==========\r\nnotes/mine #0, from Ann_Smith, 22 chars, Thu\r\nComment to 3.\r\n----------\r\n"
      "Subject: Hi\r\n\r\nbody\r\ntext\r\n\r\nbegin 644 a.bin\r\n#86)C\r\n`\r\nend\r\n";
  ImportFile f = Parse(editor, "local");
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].commentTo, 3);
  EXPECT_EQ(std::string(f.messages[0].Body()),
            "Subject: Hi\r\n\r\nbody\r\ntext\r\nbegin 644 a.bin\r\n#86)C\r\n`\r\nend\r\n");

  std::string collected =
      "==========\r\nmail/ann #0, from Bo_Lee, 31 chars, Thu\r\n----------\r\n"
      "Attachment: C:\\x (x)\r\nHello Ann\r\n\r\n";
  f = Parse(collected + collected, "msmail");
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[1].folder, "msmail:mail/ann");
  EXPECT_EQ(std::string(f.messages[1].Body()), "Attachment: C:\\x (x)\r\nHello Ann");

  std::string joined =
      "==========\nnet:alt/bin #0, from cy, 12         chars, Thu, 10 Dec 2026 14:00\n----------\n"
      "part1\npart2\n";
  f = Parse(joined, "net");
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].date, "Thu, 10 Dec 2026 14:00");
  EXPECT_EQ(std::string(f.messages[0].Body()), "part1\npart2\n");

  std::string memo = "From: ann\r\nTo: bob\r\n\r\nhi\r\n";
  char head[32];
  std::snprintf(head, sizeof head, "Memo #0 (%010u)\r\n", static_cast<unsigned>(memo.size() + 22 - 21));
  f = Parse(head + memo, "local", "bob");
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].folder, "mail/bob");
  EXPECT_EQ(std::string(f.messages[0].Body()), memo);
}

TEST(ImportParse, PragmasSteerWhatFollows) {
  std::string text = NewFolderPragma("notes", "new_one") + ImportPragma("service", "net") +
                     ImportMessageText({"usenet_comp/lang", 0, "al", kDate, 0}, "a\r\n") +
                     ImportPragma("thread", "no") + ImportPragma("unknown", "whatever") +
                     ImportMessageText({"quorl:news/chat", 4, "bo", kDate, 0}, "b\r\n");
  ImportFile f = Parse(text, "local");
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.newFolders.size(), 1u);
  EXPECT_EQ(f.newFolders[0], "notes/new_one");
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[0].folder, "net:usenet_comp/lang");
  EXPECT_EQ(f.messages[1].folder, "quorl:news/chat");
  EXPECT_EQ(f.messages[1].number, 4);
}

TEST(ImportParse, PastedMessagesFollowTheirFolderAndNumbering) {
  // Two messages as the copy buffer holds them: log headers, CR LF lines,
  // sizes in characters without CR; the second comments on the first.
  std::string copied =
      "==========\r\nquorl:news/chat #20, from bob, 6 chars, Mon\r\n----------\r\nfirst\r\n"
      "==========\r\nquorl:news/chat #21, from cy, 7 chars, Mon\r\nComment to 20.\r\n----------\r\n"
      "second\r\n"
      "==========\r\nquorl:news/chat #22, from di, 6 chars, Mon\r\nComment to 5.\r\n----------\r\n"
      "third\r\n";
  ImportFile renumbered = Parse("#pragma overridenumber=yes\r\n#pragma override=notes/paste\r\n\r\n" + copied, "local");
  ASSERT_EQ(renumbered.error, "");
  ASSERT_EQ(renumbered.messages.size(), 3u);
  for (const ImportedMessage& m : renumbered.messages) {
    EXPECT_EQ(m.folder, "notes/paste");
    EXPECT_EQ(m.number, 0);
  }
  EXPECT_EQ(renumbered.messages[1].parentIndex, 0);
  EXPECT_EQ(renumbered.messages[2].commentTo, 0);  // its parent stayed behind in another folder
  EXPECT_EQ(std::string(renumbered.messages[1].Body()), "second\r\n");

  ImportFile kept = Parse("#pragma override=notes/paste\r\n\r\n" + copied, "local");
  ASSERT_EQ(kept.error, "");
  ASSERT_EQ(kept.messages.size(), 3u);
  EXPECT_EQ(kept.messages[0].number, 20);
  EXPECT_TRUE(kept.messages[0].neverReplace);
  EXPECT_EQ(kept.messages[1].commentTo, 20);
}

TEST(ImportParse, RethreadAndSingleLineFormsKeepTheirNumbers) {
  std::string text =
      "#pragma thread=no\r\n"
      "==========\r\nquorl:news/chat #9, from bob, 13 chars, Mon\r\nComment to 4.\r\nX-Extra: kept\r\n----------\r\n"
      "Hi\r\nthere all\r\n\r\n"
      ">>>quorl:news/chat 10 cy(6)9Dec26 13:05 c9\r\nhello\r\n";
  ImportFile f = Parse(text);
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[0].number, 9);
  EXPECT_EQ(f.messages[0].commentTo, 4);
  EXPECT_EQ(f.messages[0].extraHeader, "X-Extra: kept\r\n");
  // 13 bytes and 13 characters both end on a line: the bytes are taken; the
  // line end the log needs is put back when it is written.
  EXPECT_EQ(std::string(f.messages[0].Body()), "Hi\r\nthere all");
  EXPECT_EQ(f.messages[1].number, 10);
  EXPECT_EQ(f.messages[1].author, "cy");
  EXPECT_EQ(f.messages[1].commentTo, 9);
  EXPECT_EQ(f.messages[1].date, "09 Dec 2026 13:05");
  EXPECT_EQ(std::string(f.messages[1].Body()), "hello\r\n");
}

TEST(ImportParse, SavedNewsAndMailBatchesFindTheirFolders) {
  std::string article1 =
      "From: Al Bee <al@example.org>\nNewsgroups: comp.lang.c,comp.misc\nDate: Mon, 7 Dec 2026\n"
      "Subject: ptr\n\nbody one\n";
  std::string article2 = "From: cy@example.org (Cy)\nNewsgroups: misc\nSubject: x\n\nbody two\n";
  std::string news = "#! rnews " + std::to_string(article1.size()) + "\n" + article1 + "\n" + "#! rnews " +
                     std::to_string(article2.size()) + "\n" + article2 + "\n";
  ImportFile f = Parse(news, "net");
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[0].folder, "net:comp/lang.c");
  EXPECT_EQ(f.messages[0].author, "al@example.org");
  EXPECT_EQ(f.messages[0].date, "Mon, 7 Dec 2026");
  EXPECT_EQ(std::string(f.messages[0].Body()), article1);
  EXPECT_EQ(f.messages[1].folder, "net:misc/misc");
  EXPECT_EQ(f.messages[1].author, "cy@example.org");

  std::string memo = "From: Di\r\nSubject: lunch\r\n\r\nnoon?\r\n";  // 31 characters without CR
  ImportFile mail = Parse("Memo #4 (31)\r\n" + memo + "\r\n", "msmail", "inbox");
  ASSERT_EQ(mail.error, "");
  ASSERT_EQ(mail.messages.size(), 1u);
  EXPECT_EQ(mail.messages[0].folder, "msmail:mail/inbox");
  EXPECT_EQ(mail.messages[0].author, "Di");
  EXPECT_EQ(mail.messages[0].number, 0);
  EXPECT_EQ(std::string(mail.messages[0].Body()), memo);
}

TEST(ImportParse, BadTextIsRefusedWhole) {
  const std::string good = ImportMessageText({"quorl:news/chat", 0, "gi", kDate, 0}, "Fine\r\n");
  struct Bad {
    std::string text;
    const char* reason;
  };
  const Bad bads[] = {
      {"==========\r\nquorl:news/chat #0, from x, 500 chars, Mon\r\n----------\r\nhi\r\n", "shorter than its stated"},
      {"==========\r\nquorl:news/chat #0, from x, 2 chars, Mon\r\n----------\r\nhello\r\n", "does not end where"},
      {"==========\r\nquorl:news/chat #0, from x, 2 chars, Mon\r\nhi\r\n", "without its end line"},
      {"==========\r\nnews #0, from x, 2 chars, Mon\r\n----------\r\nhi\r\n", "bad folder"},
      {"==========\r\nquorl:news/chat #99999999, from x, 2 chars, Mon\r\n----------\r\nhi\r\n", "bad header line"},
      {"!start quorl:news/chat File\r\ntext\r\n", "without \"!end\""},
      {"#pragma newfolder=nofolder\r\n", "bad new folder"},
      {"#! rnews 50\nFrom: a\n\n", "shorter than its stated"},
      {"#! rnews 4\nab\n\n", "without a newsgroup"},
      {"hello\r\n", "unexpected line"},
  };
  for (const Bad& b : bads) {
    SCOPED_TRACE(b.text);
    ImportFile f = Parse(good + b.text);
    EXPECT_NE(f.error.find(b.reason), std::string::npos) << f.error;
    EXPECT_TRUE(f.messages.empty());
  }
}

TEST(ImportParse, AHandedBackLogPassesOverWhatIsNoMessage) {
  std::string log =
      "garbage before\r\n"
      "==========\r\nquorl:news/chat #3, from bob, 4 chars, Mon\r\n----------\r\nabc\r\n"
      "stray line\r\n=========\r\nnot a header\r\n"
      "==========\r\nquorl:news/chat #2, from cy, 10 chars, Tue\r\n----------\r\nlast one\r\n";
  ImportFile f = Parse(log, "quorl", "build", true);
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[0].number, 3);
  EXPECT_EQ(std::string(f.messages[0].Body()), "abc\r\n");
  EXPECT_EQ(f.messages[1].number, 2);
  EXPECT_EQ(std::string(f.messages[1].Body()), "last one\r\n");  // runs out at the end: what is there
}

}  // namespace

TEST(ImportParse, UrgentMarksOnlyTheNextMessage) {
  std::string text =
      "#pragma urgent=yes\r\n>>>quorl:mail/demo 2 bob(6)10Dec26 14:00\r\nsoon\r\n\r\n"
      ">>>quorl:mail/demo 3 bob(6)10Dec26 14:01\r\nlater\r\n\r\n"
      "#pragma urgent=no\r\n>>>quorl:mail/demo 4 bob(6)10Dec26 14:02\r\nnever\r\n\r\n";
  ImportFile parsed = Parse(text);
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  ASSERT_EQ(parsed.messages.size(), 3u);
  EXPECT_TRUE(parsed.messages[0].urgent);
  EXPECT_FALSE(parsed.messages[1].urgent);
  EXPECT_FALSE(parsed.messages[2].urgent);
}

// The word-at-a-time count against a plain one, at every start and length
// over bytes that differ from CR only in the top bit or the lowest bits.
TEST(ImportParse, CarriageReturnsAreCountedAtEveryAlignment) {
  std::string text;
  const char kBytes[] = {'\r',
                         '\n',
                         'a',
                         static_cast<char>(0x8D),
                         static_cast<char>(0x0C),
                         static_cast<char>(0x0E),
                         static_cast<char>(0xFF),
                         '\0'};
  for (int i = 0; i < 300; ++i) text += kBytes[(i * 7 + i / 11) % 8];
  text += std::string(40, '\r');
  for (size_t from = 0; from < 17; ++from)
    for (size_t length = 0; from + length <= text.size(); ++length) {
      std::string_view piece(text.data() + from, length);
      size_t plain = static_cast<size_t>(std::count(piece.begin(), piece.end(), '\r'));
      ASSERT_EQ(CountCarriageReturns(piece), plain) << "from " << from << ", " << length << " bytes";
    }
}
