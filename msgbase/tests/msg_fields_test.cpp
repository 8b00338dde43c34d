#include "msgbase/msg_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/text1252.h"
#include "msgbase/scan_text.h"
#include "msgbase/tests/memory_log.h"

namespace {

long BodySize(const std::string& body) {
  long n = 0;
  for (char c : body)
    if (c != '\r') ++n;
  return n;
}

// The fields of a message whose body is `body`, read in folder `folder`.
MessageFields FieldsOf(const char* folder, const std::string& body, long* left = nullptr) {
  MemoryLog log;
  log.bytes = body + "==========\nnext message must never be read\n";
  auto r = OpenReader(log);
  r->remaining = BodySize(body);
  MessageFields f;
  EXPECT_EQ(GetMessageFields(*r, FolderKindFromName(folder), f), 1);
  if (left) *left = r->remaining;
  return f;
}

struct FieldCase {
  const char* name;
  const char* folder;
  std::string body;
  const char* sender;
  const char* recipients;
  const char* subject;
  const char* messageId;
  const char* date;
  const char* summary;
};

TEST(MessageFields, HeaderCasesOfEveryService) {
  const FieldCase cases[] = {
      {"news with attribution and quotes", "net:comp.lang.c/all",
       "Path: a!b\r\nFrom: Bob Smith <bob@example.com>\r\nNewsgroups: comp.lang.c\r\n"
       "Subject: Re: pointers\r\nDate: Tue, 5 Mar 1996 14:07:33 -0500\r\n"
       "Message-ID: <abc@example.com>\r\n\r\n"
       "In article <x@y>, ann@z.com wrote:\r\n> quoted line\r\n>> older\r\n\r\nMy own text here.\r\n",
       "Bob Smith <bob@example.com>", "", "Re: pointers", "<abc@example.com>", "Tue, 5 Mar 1996 14:07:33 -0500",
       "My own text here."},
      {"mail with envelope line", "net:mail/inbox",
       "From bob@example.com Tue Mar  5 14:07:33 1996\nReturn-Path: <bob@example.com>\n"
       "From: Bob <bob@example.com>\nTo: Ann <ann@example.com>\nSubject: Lunch\nMessage-Id: <>\n\n"
       "Hi Ann,\n\nShall we meet at noon?\n",
       "Bob <bob@example.com>", "Ann <ann@example.com>", "Lunch", "", "", "Shall we meet at noon?"},
      {"mime multipart, quoted-printable part, folded boundary", "msmail:inbox/all",
       "From: a@b.c\nMime-Version: 1.0\nContent-Type: multipart/mixed;\n\tboundary=\"=_XYZ\"\nSubject: Menu\n\n"
       "This is a multi-part message in MIME format.\n--=_XYZ\nContent-Type: text/plain\n"
       "Content-Transfer-Encoding: quoted-printable\n\nCaf=E9 au lait is very =\nnice today\n--=_XYZ--\n",
       "a@b.c", "", "Menu", "", "", "This is a multi-part message in MIME format."},
      {"mime part text after a rejected preamble", "msmail:inbox/all",
       "Mime-Version: 1.0\nContent-Type: multipart/alternative; boundary=b1\n\n"
       "--b1\nContent-Type: text/plain; charset=iso-8859-1\nContent-Transfer-Encoding: quoted-printable\n\n"
       "Caf=E9 au lait is very =\nnice today\n--b1--\n",
       "", "", "", "", "", "Caf\xE9 au lait is very nice today"},
      {"base64-only body", "net:mail/inbox",
       "From: a@b.c\nSubject: Picture\nContent-Transfer-Encoding: base64\n\nSGVsbG8gd29ybGQgaGVyZQ==\n"
       "VGhpcyBpcyBub3QgYSBzdW1tYXJ5\n",
       "a@b.c", "", "Picture", "", "", ""},
      {"base64 first part stops the scan", "net:mail/inbox",
       "Mime-Version: 1.0\nContent-Type: multipart/mixed; boundary=zz\n\n--zz\n"
       "Content-Transfer-Encoding: base64\n\nSGVsbG8=\n--zz\n\nPlain second part text\n",
       "", "", "", "", "", ""},
      {"dravenet header lines", "dvn:widgets/general",
       "Fm: Ann Lee 71234,567\nTo: All\nSubj: Widget sizes\n\nDear all,\nThe large size ships in May.\n",
       "Ann Lee 71234,567", "All", "Widget sizes", "", "", "The large size ships in May."},
      {"conferencing greeting then sentence", "quorl:chat/general", "Hi Bob,\n\nThat is the sentence that counts.\n",
       "", "", "", "", "", "That is the sentence that counts."},
      {"conferencing text does not read header fields", "bix:c/t",
       "Subject line without colon space\nTo: nobody here\nPlain text follows.\n", "", "", "", "", "",
       "Subject line without colon space"},
      {"text folder entered in header mode by its first line", "quorl:chat/general",
       "From: Zed <z@q.org>\nSubject: Found\n\nActual words.\n", "Zed <z@q.org>", "", "Found", "", "", "Actual words."},
      {"local news folder starts in text mode", "local:usenet/saved", "Subject:x\nSomething said here\n", "", "", "",
       "", "", "Something said here"},
      {"header ends at a prose line", "net:mail/inbox", "From: a@b.c\nThis is prose: yes\nMore\n", "a@b.c", "", "", "",
       "", "This is prose: yes"},
      {"private marker and included message", "ccmail:inbox/all",
       "-- PRIVATE MESSAGE --\nSubject: Fwd\n\n- ----- Begin Included Message -----\nInner text ignored\n"
       "- ----- End Included Message -----\nOutside text counts.\n",
       "", "", "Fwd", "", "", "Outside text counts."},
      {"title keyword removed", "quorl:a/b", "TITLE: The real title  \n", "", "", "", "", "", "The real title"},
      {"subject keyword removed", "bix:a/b", "\nsubject: it works\n", "", "", "", "", "", "it works"},
      {"header only marker takes the subject", "net:comp.x/y",
       "Subject: Only headers\n\n*** Header Only *** fetch it\n", "", "", "Only headers", "", "", "Only headers"},
      {"composite folder takes the first line", "local:results\xFF/find", "First line is everything\r\nSecond\r\n", "",
       "", "First line is everything", "", "", "First line is everything"},
      {"quorl news header block", "quorlnews:rec.arts/all",
       "Article: 1234 of rec.arts\nFrom: pat@quorl.example (Pat Doe)\nSubject: Films\n\n"
       "pat@quorl.example (Pat Doe) writes:\n: quoted with a colon\nI liked the second one.\n",
       "pat@quorl.example (Pat Doe)", "", "Films", "", "", "I liked the second one."},
      {"delnews header block", "delnews:comp.misc/all",
       "Newsgroups: comp.misc\nFrom: lee@d.example\nSubject: Hello\nDate: 1 Apr 1997 10:00\n\n"
       "In message <a@b> lee said:\nNew text for the group.\n",
       "lee@d.example", "", "Hello", "", "1 Apr 1997 10:00", "New text for the group."},
      {"caucus conference text", "caucus:design/item", "Hello all\n\nThe draft is on the shared disk.\n", "", "", "",
       "", "", "The draft is on the shared disk."},
      {"tbbs text with replies note", "tbbs:board/general",
       "There are 2 more replies\n<G>\nNew board rules start Monday.\n", "", "", "", "", "",
       "New board rules start Monday."},
      {"long values are cut to 99", "net:mail/inbox", "Subject: " + std::string(300, 's') + "\n\nok text\n", "", "",
       nullptr, "", "", "ok text"},
  };
  for (const FieldCase& c : cases) {
    MessageFields f = FieldsOf(c.folder, c.body);
    EXPECT_STREQ(f.sender, c.sender) << c.name;
    EXPECT_STREQ(f.recipients, c.recipients) << c.name;
    if (c.subject) {
      EXPECT_STREQ(f.subject, c.subject) << c.name;
    } else {
      EXPECT_EQ(std::string(f.subject), std::string(99, 's')) << c.name;
    }
    EXPECT_STREQ(f.messageId, c.messageId) << c.name;
    EXPECT_STREQ(f.date, c.date) << c.name;
    EXPECT_STREQ(f.summary, c.summary) << c.name;
  }
}

// Header keywords are told apart by where their colon falls, in any case;
// lines that only resemble a keyword leave the fields alone.
TEST(MessageFields, HeaderKeywordsInAnyCaseAndTheirLookalikes) {
  const FieldCase cases[] = {
      {"keywords in other cases, the first of each kind counts", "net:mail/inbox",
       "FROM: A <a@b.c>\nfrom: Second <c@d.e>\nSUBJECT:  Caps  \nsubj: later\nmessage-id: <X@Y>\n"
       "DATE: 1 Apr 1997\nTO: x@y.z\n\nbody text\n",
       "A <a@b.c>", "x@y.z", "Caps", "<X@Y>", "1 Apr 1997", "body text"},
      {"lookalike keywords", "net:mail/inbox",
       "From-Address: z@z.z\nX-From: y@y.y\nSubjects: no\nMessage-Ids: <no@no>\nTo:\tTabbed\nFm:Short\n\ntext\n",
       "Short", "Tabbed", "", "", "", "text"},
      {"a blank before the colon is prose", "net:mail/inbox", "Subject : spaced\nSubject: late\n", "", "", "", "", "",
       "Subject : spaced"},
      {"an empty id gives way to the next", "net:comp.lang.c/all",
       "Message-ID: <>\nMessage-Id: <real@x>\nMessage-ID: <third@x>\n\nwords\n", "", "", "", "<real@x>", "", "words"},
      {"quoted and commented addresses are kept as written", "net:mail/inbox",
       "From: \"Doe, Jane\" (the boss) <jane@x.org>\nTo: 'Bob' <bob@y.org>, ann@z.org (Ann)\r\n"
       "Date: Sat, 29 Feb 2000 23:59:60 +1400 (odd)\n\nx y\n",
       "\"Doe, Jane\" (the boss) <jane@x.org>", "'Bob' <bob@y.org>, ann@z.org (Ann)", "", "",
       "Sat, 29 Feb 2000 23:59:60 +1400 (odd)", "x y"},
      {"keyword cases of the encoding", "net:mail/inbox",
       "Subject: Enc\nCONTENT-TRANSFER-ENCODING: BASE64\n\nSGVsbG8=\n", "", "", "Enc", "", "", ""},
      {"a longer keyword than any is no encoding", "net:mail/inbox",
       "Content-Transfer-Encodings: base64\nContent-Transfer-Encoding\xE9: base64\n\nplain words\n", "", "", "", "", "",
       "plain words"},
      {"folded type with its boundary on the next line", "net:mail/inbox",
       "MIME-VERSION: 1.0\ncontent-type: MULTIPART/mixed;\n boundary=\"b 1\"\nsubject: s\n\n--b 1\n"
       "content-transfer-encoding: Quoted-Printable\n\nSoft =\nbreak\n--b 1--\n",
       "", "", "s", "", "", "Soft break"},
      {"an eight-bit keyword is none", "net:mail/inbox",
       "Subj\xE9"
       "ct: x\nFrom: f@g.h\n\nok\n",
       "f@g.h", "", "", "", "", "ok"},
  };
  for (const FieldCase& c : cases) {
    MessageFields f = FieldsOf(c.folder, c.body);
    EXPECT_STREQ(f.sender, c.sender) << c.name;
    EXPECT_STREQ(f.recipients, c.recipients) << c.name;
    EXPECT_STREQ(f.subject, c.subject) << c.name;
    EXPECT_STREQ(f.messageId, c.messageId) << c.name;
    EXPECT_STREQ(f.date, c.date) << c.name;
    EXPECT_STREQ(f.summary, c.summary) << c.name;
  }
}

// The walk's inline text helpers give what the general ones give.
TEST(MessageFields, ScanTextMatchesTheGeneralHelpers) {
  // Every byte of the text against every ASCII prefix character, also as the
  // second character of the prefix.
  for (int p = 1; p < 128; ++p)
    for (int t = 0; t < 256; ++t) {
      const char prefix[] = {static_cast<char>(p), 0};
      const char text[] = {static_cast<char>(t), 0};
      ASSERT_EQ(StartsWithAsciiNoCase(text, prefix), StartsWithNoCase(text, prefix)) << p << " " << t;
      const char prefix2[] = {'x', static_cast<char>(p), 0};
      const char text2[] = {'X', static_cast<char>(t), 0};
      ASSERT_EQ(StartsWithAsciiNoCase(text2, prefix2), StartsWithNoCase(text2, prefix2)) << p << " " << t;
    }
  const std::string source = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (size_t length = 0; length <= 70; ++length)
    for (size_t n = 0; n <= 72; ++n) {
      const std::string text = source.substr(0, length);
      std::string expected(80, '#'), got(80, '#');
      StrCopyN(expected.data(), text.c_str(), n);
      CopyScanText(got.data(), text.c_str(), n);
      ASSERT_EQ(got, expected) << length << " " << n;
    }
  for (size_t n = 0; n <= 70; ++n) {
    std::string to(80, '#');
    CopyScanBytes(to.data() + 1, source.data(), n);
    ASSERT_EQ(to, "#" + source.substr(0, n) + std::string(79 - n, '#')) << n;
  }
  for (const char* other : {"", "a", "ab", "abc", "abd", "b"})
    EXPECT_EQ(SameScanText("abc", other), !std::strcmp("abc", other));
}

TEST(MessageFields, LinesThatAreNeverASummary) {
  const char* const rejected[] = {
      "\n",
      "> quoted",
      "| quoted",
      ": colon",
      ") paren",
      "<< arrows",
      "<G> grin",
      "<bg> big grin",
      "<VBG> x",
      ":-) smile",
      "-> arrow",
      " > indented quote",
      "In article <a@b> someone",
      "====== rule",
      "-- signature",
      "in-reply-to: x",
      "X-NO-ARCHIVE: yes",
      "Excerpts from a mail",
      "begin 644 file.zip",
      "Message text written by x",
      "From: someone else",
      "**COPIED FROM: >>> there",
      "There is 1 reply",
      "There are 3 more replies",
      "Only the header of this message was collected",
      "Only the header of this message was collected.",
      "[Mark the message for collection]",
      "Dear Bob,",
      "Hello everybody",
      "Hi Ann",
      "Yo dude",
      "Bob,",
      "Thanks;",
      "Note:",
      "On 5 Mar 1996 someone posted",
      "Ann wrote: indeed",
      "Bob writes: so",
      "^^^^ look up",
      "He said: no",
      "they say: yes",
      "in newsgroup comp.x someone",
      "In message <a@b> x",
      "wrote: at the start",
      "an essay: mine",
      "mid Sep here",
      "so Dec was cold",
  };
  for (const char* line : rejected) {
    MessageFields f = FieldsOf("net:comp.x/y", std::string("\n") + line + "\nAccepted line here.\n");
    EXPECT_STREQ(f.summary, "Accepted line here.") << line;
  }
  // Long greetings and the news-only attribution rules do not reject.
  const std::pair<const char*, const char*> accepted[] = {
      {"quorl:a/b", "Hello everybody out there, how are you?"},
      {"quorl:a/b", "Ann wrote: indeed"},
      {"quorl:a/b", "He said: no"},
  };
  // Near the attribution and date rules without meeting them.
  for (const char* line : {"He wrote it down then", "It was marked Mars today", "Jane writes well, I think", "a ^^^ b",
                           "The sayer: spoke", "in jan we go", "ends in Mar", "the Mar-5 plan"}) {
    MessageFields f = FieldsOf("net:comp.x/y", std::string("\n") + line + "\nSecond line here.\n");
    EXPECT_STREQ(f.summary, line) << line;
  }
  for (const auto& [folder, line] : accepted) {
    MessageFields f = FieldsOf(folder, std::string(line) + "\nsecond line\n");
    EXPECT_STREQ(f.summary, line) << line;
  }
  FolderKind kind = FolderKindFromName("quorl:a/b");
  kind.signatureName = "ZORK";
  MemoryLog log;
  log.bytes = "ZORK\x01 signature\nReal text\n";
  auto r = OpenReader(log);
  r->remaining = BodySize(log.bytes);
  MessageFields f;
  GetMessageFields(*r, kind, f);
  EXPECT_STREQ(f.summary, "Real text");
}

TEST(MessageFields, BodySizeBoundsTheRead) {
  // A size past the end of the log: reads to the end and stops.
  MemoryLog log;
  log.bytes = "Subject: s\n\nText\n";
  auto r = OpenReader(log);
  r->remaining = 1000000;
  MessageFields f;
  GetMessageFields(*r, FolderKindFromName("net:mail/inbox"), f);
  EXPECT_STREQ(f.summary, "Text");
  EXPECT_EQ(readmsgline(*r), 0);
  // The size counts LF but not CR, and the next message is not touched.
  long left = -1;
  FieldsOf("bix:a/b", "one\r\ntwo\r\n", &left);
  EXPECT_EQ(left, 0);
}

TEST(MessageFields, HeaderOnlyMarkerSeenOnAnyLine) {
  EXPECT_TRUE(FieldsOf("dvn:f/s", "Subj: x\n\nOnly the header of this message was collected\n").headerOnlyMarker);
  EXPECT_TRUE(FieldsOf("net:a.b/c", "Subject: x\n\nfirst\nsecond\n*** Header Only ***\n").headerOnlyMarker);
  EXPECT_FALSE(FieldsOf("net:a.b/c", "Subject: x\n\nfirst\n  *** Header Only ***\n").headerOnlyMarker);
}

TEST(MessageFields, IsHeaderLine) {
  const std::pair<const char*, bool> cases[] = {
      {"Subject:", false},
      {"Subject: hello", true},
      {"subject:\tvalue", true},
      {"From bob@example.com Tue Mar 5", true},
      {"From the desk of Bob", false},
      {"Mime-Version: 1.0", true},
      {"Received: from x", true},
      {"Newsgroups: a.b", true},
      {"Path: a!b", true},
      {"Article: 12 of comp.x", true},
      {"Return-Path: <a@b>", true},
      {"X-Mailer: something", false},
      {"Date:Tue", false},
      {"Hello: there", false},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(IsHeaderLine(line), expected) << line;
}

TEST(MessageFields, FolderKinds) {
  struct KindCase {
    const char* name;
    bool mail, news, dravenet, quorl, local, composite;
  };
  const KindCase cases[] = {
      {"net:mail/inbox", true, true, false, false, false, false},
      {"net:comp.lang.c/all", false, true, false, false, false, false},
      {"msmail:inbox/x", true, false, false, false, false, false},
      {"quorl:@ail/x", true, false, false, true, false, false},
      {"quorlnews:rec.x/all", false, true, false, false, false, false},
      {"quorl:usenet/rec.x", false, true, false, true, false, false},
      {"dvn:forum/section", false, false, true, false, false, false},
      {"local:news/saved", false, false, false, false, true, false},
      {"local:usenet/saved", false, true, false, false, true, false},
      {"bix:conf/topic", false, false, false, false, false, false},
      {"bookmarks\xFF/set", false, false, false, false, false, true},
  };
  for (const KindCase& c : cases) {
    FolderKind k = FolderKindFromName(c.name);
    EXPECT_EQ(k.mail, c.mail) << c.name;
    EXPECT_EQ(k.news, c.news) << c.name;
    EXPECT_EQ(k.dravenet, c.dravenet) << c.name;
    EXPECT_EQ(k.quorl, c.quorl) << c.name;
    EXPECT_EQ(k.local, c.local) << c.name;
    EXPECT_EQ(k.composite, c.composite) << c.name;
  }
}

}  // namespace
