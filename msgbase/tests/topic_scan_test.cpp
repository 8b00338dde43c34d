#include "msgbase/topic_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "core/text1252.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/parallel_walk.h"

namespace {

struct Found {
  long number, parent;
  uint32_t offset;
  long size;
  time_t date;
  std::string dateText, author, subject;
  uint16_t flags;
};

void Collect(void* context, const ScannedMessage& m) {
  static_cast<std::vector<Found>*>(context)->push_back(
      {m.number, m.parent, m.logOffset, m.size, m.date, m.dateText, m.thread.author, m.thread.subject, m.flags});
}

// Dates in the tests are plain numbers of seconds.
time_t NumberDate(const char* text) { return static_cast<time_t>(std::atol(text)); }

std::vector<std::string> g_boxes;
void RecordBox(const char* text) { g_boxes.push_back(text); }

int g_zone = 0;
int FixedZone() { return g_zone; }

// The walk on several threads, with pieces small enough that the cuts fall
// in headers and bodies, finds what the walk on one thread finds.
void ExpectSameOnThreads(const std::string& bytes, const ScanOptions& options, bool scrambled) {
  // The local zone is asked of the C library, not safe on several threads
  // at once in every runtime: the same zone, fixed.
  int (*zone)() = g_clockHooks.localZoneOffset;
  g_zone = zone();
  g_clockHooks.localZoneOffset = FixedZone;
  const std::vector<std::string> expected = OneThreadWalk(bytes, options, scrambled);
  for (long piece : {7L, 300L}) {
    SharedLog shared(bytes);
    const long bytesPerPiece = std::max(piece, static_cast<long>(bytes.size() / 400));
    EXPECT_EQ(ParallelWalk(shared, options, scrambled, 3, bytesPerPiece), expected) << "pieces of " << bytesPerPiece;
  }
  g_clockHooks.localZoneOffset = zone;
}

std::vector<Found> Walk(MemoryLog& log, ScanOptions options, bool scrambled = false) {
  auto r = OpenReader(log, scrambled);
  r->notices.box = RecordBox;
  std::vector<Found> found;
  long n = ScanTopicLog(*r, options, Collect, &found);
  EXPECT_EQ(n, static_cast<long>(found.size()));
  ExpectSameOnThreads(log.bytes, options, scrambled);
  return found;
}

ScanOptions OptionsFor(const char* folder) {
  ScanOptions o;
  o.folderName = folder;
  o.kind = FolderKindFromName(folder);
  return o;
}

class TopicScanTest : public ::testing::Test {
 protected:
  void SetUp() override { g_boxes.clear(); }
};

TEST_F(TopicScanTest, ConferencingLogListsEveryMessage) {
  std::string m1 = SeparatorMessage("quorl:chat/general", 1, "ann", "1000", "Welcome to the topic.\r\n");
  std::string m2 =
      SeparatorMessage("quorl:chat/general", 2, "bob", "2000", "Hi Ann,\r\n\r\nGlad to be here.\r\n", "Comment to 1");
  std::string m3 = ">>>quorl:chat/general 3 cy(10)5Mar96 14:07 c2\nShort one\n";
  std::string m4 = SeparatorMessage("quorl:chat/general", 4, "dee", "", "No date.\n", "Comment to 0");
  MemoryLog log;
  log.bytes = m1 + "stray line between messages\n" + m2 + m3 + m4;
  ScanOptions o = OptionsFor("quorl:chat/general");
  o.parseDate = NumberDate;
  auto found = Walk(log, o);
  ASSERT_EQ(found.size(), 4u);
  const uint32_t offsets[] = {0, uint32_t(m1.size() + 28), uint32_t(m1.size() + 28 + m2.size()),
                              uint32_t(m1.size() + 28 + m2.size() + m3.size())};
  const long parents[] = {0, 1, 2, -1};
  const char* authors[] = {"ann", "bob", "cy", "dee"};
  const char* subjects[] = {"", "Glad to be here.", "Short one", ""};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(found[i].number, i + 1);
    EXPECT_EQ(found[i].offset, offsets[i]) << i;
    EXPECT_EQ(found[i].parent, parents[i]) << i;
    EXPECT_EQ(found[i].author, authors[i]) << i;
    EXPECT_EQ(found[i].subject, subjects[i]) << i;
    EXPECT_EQ(found[i].flags, 0) << i;
  }
  EXPECT_EQ(found[0].date, 1000);
  EXPECT_EQ(found[1].date, 2000);
  EXPECT_EQ(found[2].dateText, "05-Mar-1996 14:07");
  EXPECT_EQ(found[3].date, 0);
  EXPECT_EQ(found[0].size, 22);
  // The scrambled form of the same log walks the same.
  MemoryLog scrambled;
  scrambled.bytes = Scramble(log.bytes);
  auto again = Walk(scrambled, o, true);
  ASSERT_EQ(again.size(), found.size());
  for (size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(again[i].offset, found[i].offset);
    EXPECT_EQ(again[i].subject, found[i].subject);
  }
}

TEST_F(TopicScanTest, MailAndNewsFlags) {
  std::string news1 = SeparatorMessage("net:comp.lang.c/all", 10, "bob@example.com", "Tue, 5 Mar 1996 14:07:33 -0500",
                                       "From: Bob <bob@example.com>\nSubject: Pointers\n\nQuestion text.\n");
  std::string news2 = SeparatorMessage("net:comp.lang.c/all", 11, "me@home.org", "2",
                                       "From: Me <me@home.org>\nSubject: Re: Pointers\n\n"
                                       "Only the header of this message was collected\n",
                                       "Comment to 10");
  std::string news3 = SeparatorMessage("net:comp.lang.c/all", 12, "zed@x.org", "3",
                                       "From: Zed Smith <zed@x.org>\nSubject: Other\n\nMy answer.\n");
  MemoryLog log;
  log.bytes = news1 + news2 + news3;
  ScanOptions o = OptionsFor("net:comp.lang.c/all");
  o.identity = "me@home.org";
  o.nameList = "Zed_*";
  auto found = Walk(log, o);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].flags, 0);
  EXPECT_EQ(found[0].subject, "Pointers");
  EXPECT_EQ(found[0].date, 826052853);  // 5 Mar 1996 19:07:33 UTC
  EXPECT_EQ(found[1].flags, kMsgByUser | kMsgHeaderOnly);
  EXPECT_EQ(found[2].flags, kMsgConcernsUser);

  // The information folder never counts as header-only.
  MemoryLog info;
  info.bytes = SeparatorMessage("net:actions/information", 1, "x", "", "*** Header Only ***\n");
  EXPECT_EQ(Walk(info, OptionsFor("net:actions/information"))[0].flags, 0);

  // Mail to the user shows the recipient, marked with "!".
  std::string mail =
      SeparatorMessage("net:mail/inbox", 5, "me@home.org", "",
                       "From: Me <me@home.org>\nTo: \"Ann Example\" <me@home.org>\nSubject: Note\n\nhi\n");
  std::string mail2 = SeparatorMessage("net:mail/inbox", 6, "ann@x.org", "",
                                       "From: Ann <ann@x.org>\nTo: Bob <bob@x.org>\nSubject: Note\n\nhi\n");
  MemoryLog mails;
  mails.bytes = mail + mail2;
  ScanOptions mo = OptionsFor("net:mail/inbox");
  mo.identity = "me@home.org";
  auto inbox = Walk(mails, mo);
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(inbox[0].author, "!Ann Example");
  EXPECT_EQ(inbox[0].flags, kMsgByUser);
  EXPECT_EQ(inbox[1].author, "ann@x.org");

  // Quorl mail: the service's domains leave the recipient, and the identity
  // at the primary domain is the user.
  std::string quorl = SeparatorMessage("quorl:mail/in", 7, "jdoe@quorl.example", "",
                                       "From: jdoe@quorl.example\nTo: pal@quorl.example\nSubject: q\n\nx\n");
  MemoryLog q;
  q.bytes = quorl;
  ScanOptions qo = OptionsFor("quorl:mail/in");
  qo.identity = "jdoe";
  qo.quorlMailDomains[0] = "quorl.example";
  qo.quorlMailDomains[1] = "mail.quorl.example";
  auto qf = Walk(q, qo);
  ASSERT_EQ(qf.size(), 1u);
  EXPECT_EQ(qf[0].flags, kMsgByUser);
}

// The service's name list marks a message by its author, its sender's name
// or its sender's address, with the patterns as MatchNameList reads them.
TEST_F(TopicScanTest, NameListsMarkWhatMatchNameListMatches) {
  const char* const lists[] = {
      "Zed_*", "nobody;Zed?Smith", ";;zed@x.org;", "*@X.ORG", "[a-c]*;Dee", "pat_doe", "Q*", "", "jane", "*Jane*"};
  struct Sender {
    const char* author;
    const char* from;
  };
  const Sender senders[] = {
      {"zed@x.org", "Zed Smith <zed@x.org>"},
      {"ann@y.org", "\"Doe, Jane\" (the boss) <jane@x.org>"},
      {"pat@q.example", "pat@q.example (Pat_Doe)"},
      {"dee", "Dee"},
      {"cy@z.org", "=?iso-8859-1?q?Cy_Young?= <cy@z.org>"},
      {"Quentin", ""},
  };
  // Patterns and names longer than MatchNameList's 511 characters are cut.
  const std::string longLists[] = {std::string(600, 'z') + ";" + std::string(520, '*') + "x", std::string(600, '*')};
  std::vector<const char*> allLists(std::begin(lists), std::end(lists));
  for (const std::string& l : longLists) allLists.push_back(l.c_str());
  for (const char* list : allLists) {
    MemoryLog log;
    for (size_t i = 0; i < std::size(senders); ++i) {
      std::string body = std::string(senders[i].from[0] ? "From: " : "") + senders[i].from + "\nSubject: s\n\nx\n";
      log.bytes += SeparatorMessage("net:comp.lang.c/all", static_cast<long>(i + 1), senders[i].author, "", body);
    }
    ScanOptions o = OptionsFor("net:comp.lang.c/all");
    o.nameList = list;
    auto found = Walk(log, o);
    ASSERT_EQ(found.size(), std::size(senders)) << list;
    for (size_t i = 0; i < std::size(senders); ++i) {
      char name[100], address[100];
      ParseAddress(senders[i].from, name, sizeof name, address, sizeof address);
      const bool expected = MatchNameList(senders[i].author, list) || (name[0] && MatchNameList(name, list)) ||
                            (address[0] && MatchNameList(address, list));
      EXPECT_EQ((found[i].flags & kMsgConcernsUser) != 0, expected) << list << " / " << senders[i].from;
    }
  }
}

TEST_F(TopicScanTest, DamagedLogsNeverCrashAndKeepWhatIsGood) {
  std::string good = SeparatorMessage("bix:c/t", 1, "ann", "", "Text one.\n");
  std::string bigHeader = "==========\nbix:c/t #2, from bob, 5 chars, d\n";
  while (bigHeader.size() < 10 * 1024) bigHeader += "X-Pad: some padding text here\n";
  bigHeader += "-\nbody\n";
  std::string after = SeparatorMessage("bix:c/t", 3, "cy", "", "Text three.\n");
  struct DamageCase {
    const char* name;
    std::string log;
    std::vector<long> numbers;
    size_t boxes;
  };
  const DamageCase cases[] = {
      {"truncated inside a header", good + "==========\nbix:c/t #2, from bob, 5 chars, d\nComment to", {1}, 0},
      {"truncated inside a body",
       good + SeparatorMessage("bix:c/t", 2, "bob", "", "Only part of the bo", "", 500),
       {1, 2},
       0},
      {"size past the end of the file", SeparatorMessage("bix:c/t", 1, "ann", "", "Text.\n", "", 99999999), {1}, 0},
      {"size swallowing the next separator", SeparatorMessage("bix:c/t", 1, "ann", "", "x\n", "", 40) + after, {1}, 0},
      {"header of 10 KB", good + bigHeader + after, {1, 3}, 1},
      {"bare CR runs",
       good + std::string(20000, '\r') + "\n" +
           SeparatorMessage("bix:c/t", 3, "cy", "", "a" + std::string(9000, '\r') + "b\n") + after,
       {1, 3, 3},
       0},
      {"last message without final LF", good + SeparatorMessage("bix:c/t", 2, "bob", "", "no LF"), {1, 2}, 0},
      {"empty log", "", {}, 0},
      {"separators only", "==========\n==========\n>>>\n", {}, 0},
  };
  for (const DamageCase& c : cases) {
    g_boxes.clear();
    MemoryLog log;
    log.bytes = c.log;
    auto found = Walk(log, OptionsFor("bix:c/t"));
    std::vector<long> numbers;
    for (const Found& f : found) numbers.push_back(f.number);
    EXPECT_EQ(numbers, c.numbers) << c.name;
    EXPECT_EQ(g_boxes.size(), c.boxes) << c.name;
  }
}

}  // namespace

namespace {

int NoZone() { return 0; }

TEST_F(TopicScanTest, DatesOfEveryForm) {
  int (*savedZone)() = g_clockHooks.localZoneOffset;
  g_clockHooks.localZoneOffset = NoZone;
  const std::pair<std::string, time_t> cases[] = {
      {SeparatorMessage("bix:c/t", 1, "a", "Tue, 5 Mar 1996 14:07:33 -0500", "x\n"), 826052853},
      {SeparatorMessage("bix:c/t", 1, "a", "12-Mar-1996 14:05", "x\n"), 826639500},
      {SeparatorMessage("bix:c/t", 1, "a", "3/12/96 14:05", "x\n"), 826639500},
      {">>>bix:c/t 1 a(2)12Mar96 14:05\nx\n", 826639500},
      {SeparatorMessage("bix:c/t", 1, "a", "", "x\n"), 0},
  };
  for (const auto& [text, expected] : cases) {
    MemoryLog log;
    log.bytes = text;
    auto found = Walk(log, OptionsFor("bix:c/t"));
    ASSERT_EQ(found.size(), 1u) << text;
    EXPECT_EQ(found[0].date, expected) << text;
  }
  g_clockHooks.localZoneOffset = savedZone;
}

}  // namespace

namespace {

TEST_F(TopicScanTest, MessagesAreFoundAgainAtTheirOffsets) {
  MemoryLog log;
  for (int i = 1; i <= 300; ++i)
    log.bytes += SeparatorMessage("bix:c/t", i * 2, "ann", "", std::string(i * 37 % 500, 'x') + "\n",
                                  i > 1 ? "Comment to " + std::to_string(i * 2 - 2) : "");
  auto found = Walk(log, OptionsFor("bix:c/t"));
  ASSERT_EQ(found.size(), 300u);
  auto r = OpenReader(log);
  // Backwards, so most seeks leave the loaded block.
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    MessageHeader h;
    ASSERT_EQ(ReadMessageStartAt(*r, static_cast<long>(it->offset), &h), it->number);
    EXPECT_EQ(h.parent, it->parent);
    EXPECT_EQ(r->remaining, it->size);
    readmsgline(*r);
    EXPECT_EQ(r->line[0], it->size > 1 ? 'x' : '\n');
  }
  // An offset inside a message, or past the end, finds nothing.
  MessageHeader h;
  EXPECT_EQ(ReadMessageStartAt(*r, static_cast<long>(found[5].offset) + 3, &h), 0);
  EXPECT_EQ(ReadMessageStartAt(*r, static_cast<long>(log.bytes.size()) + 100, &h), 0);
  EXPECT_EQ(ReadMessageStartAt(*r, -1, &h), 0);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(TopicScanTest, HeaderOnlyNoticesAreFoundWhereverTheBlocksEnd) {
  // News messages of many lengths, so notices, separators and summary lines
  // fall on every side of the reader's block edges; some bodies end without
  // a final LF before the next separator would be read.
  MemoryLog log;
  std::vector<bool> headerOnly;
  std::vector<uint32_t> offsets;
  for (int i = 1; i <= 400; ++i) {
    std::string body = "From: Poster <p@example.com>\r\nSubject: Topic " + std::to_string(i) + "\r\n\r\n";
    body += "First line of text " + std::to_string(i) + "\r\n";
    const int fill = (i * 131) % 97;
    for (int k = 0; k < fill; ++k) body += std::string(static_cast<size_t>((i * 7 + k * 13) % 90), 'f') + "\r\n";
    switch (i % 6) {
      case 0: body += "Only the header of this message was collected\r\n"; break;
      case 1: body += "*** Header Only ***\n"; break;
      case 2: body += "\tOnly the header of this message was collected\r\n"; break;  // stored as a blank first
      case 3: body += " *** Header Only ***\r\n"; break;
      // The line limit splits this line: the notice starts the second part.
      case 4: body += std::string(4095, 'L') + "*** Header Only ***\n"; break;
      default: body += "\r\r\r\r\r\r\nOnly the header of this message was collected\n"; break;
    }
    body += "last line\r\n";
    headerOnly.push_back(i % 6 != 2 && i % 6 != 3);
    offsets.push_back(static_cast<uint32_t>(log.bytes.size()));
    log.bytes += SeparatorMessage("net:comp.lang.c/all", i, "p@example.com", "", body);
  }
  for (bool scrambled : {false, true}) {
    MemoryLog copy;
    copy.bytes = scrambled ? Scramble(log.bytes) : log.bytes;
    auto found = Walk(copy, OptionsFor("net:comp.lang.c/all"), scrambled);
    ASSERT_EQ(found.size(), headerOnly.size());
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].number, static_cast<long>(i + 1));
      EXPECT_EQ(found[i].offset, offsets[i]) << i;
      EXPECT_EQ((found[i].flags & kMsgHeaderOnly) != 0, headerOnly[i]) << "message " << i + 1;
    }
  }
}

}  // namespace

namespace {

bool operator==(const Found& a, const Found& b) {
  return a.number == b.number && a.parent == b.parent && a.offset == b.offset && a.size == b.size && a.date == b.date &&
         a.dateText == b.dateText && a.author == b.author && a.subject == b.subject && a.flags == b.flags;
}

// The walk reads the log in large blocks; a source that returns no more
// than the reader's own block size a read gives the blocks of the plain
// reader, and small odd reads put block edges everywhere else.
TEST_F(TopicScanTest, LargeBlocksFindWhatTheReadersOwnBlocksFind) {
  auto news = [](long number, const std::string& text, const std::string& comment = "") {
    std::string body = "From: Poster <p" + std::to_string(number % 7) +
                       "@example.com>\r\nSubject: " + (comment.empty() ? "" : "Re: ") + "Topic " +
                       std::to_string(number % 11) + "\r\nMessage-ID: <" + std::to_string(number) +
                       "@example.com>\r\n\r\n" + text;
    return SeparatorMessage("net:comp.lang.c/all", number, "p@example.com", "Tue, 5 Mar 1996 14:07:33 -0500", body,
                            comment);
  };
  auto filler = [](long i) {
    std::string text;
    for (long k = 0; k < (i * 37) % 160; ++k) text += std::string(static_cast<size_t>((i + k * 7) % 83), 'a') + "\r\n";
    return text;
  };
  std::string inOrder, outOfOrder, duplicates, damaged;
  for (long i = 1; i <= 300; ++i) inOrder += news(i, filler(i) + (i % 9 == 0 ? "*** Header Only ***\r\n" : ""));
  for (long i = 1; i <= 300; ++i) outOfOrder += news((i * 113) % 307 + 1, filler(i), i % 3 ? "Comment to 5" : "");
  for (long i = 1; i <= 200; ++i) duplicates += news(i % 40 + 1, filler(i));
  for (long i = 1; i <= 200; ++i) {
    switch (i % 5) {
      case 0: damaged += "==========\nnet:comp.lang.c/all #" + std::to_string(i) + ", from p, 5 chars, d\n"; break;
      case 1: damaged += news(i, std::string(5000, '\r') + "x\r\n" + std::string(9000, 'L') + "\n"); break;
      case 2: damaged += SeparatorMessage("net:comp.lang.c/all", i, "p", "", "short\n", "", 700); break;
      default: damaged += news(i, filler(i)); break;
    }
  }
  const std::pair<const char*, std::string> logs[] = {
      {"in order", inOrder}, {"out of order", outOfOrder}, {"duplicates", duplicates}, {"damaged", damaged}};
  for (const auto& [name, bytes] : logs) {
    for (bool scrambled : {false, true}) {
      MemoryLog plain;
      plain.bytes = scrambled ? Scramble(bytes) : bytes;
      plain.maxRead = kLogBlockSize;
      const auto expected = Walk(plain, OptionsFor("net:comp.lang.c/all"), scrambled);
      EXPECT_GT(expected.size(), 30u) << name;
      for (size_t maxRead : {size_t(0), size_t(4093), size_t(100)}) {
        MemoryLog log;
        log.bytes = plain.bytes;
        log.maxRead = maxRead;
        // A reader that has a block of its own loaded, as the open before a rebuild leaves it.
        auto r = OpenReader(log, scrambled);
        ASSERT_EQ(msgseek(*r, 300), 300);
        readmsgline(*r);
        std::vector<Found> found;
        ScanTopicLog(*r, OptionsFor("net:comp.lang.c/all"), Collect, &found);
        EXPECT_EQ(msgtell(*r), static_cast<long>(bytes.size())) << name;
        // The reader's own block serves the reads after the walk.
        ASSERT_EQ(msgseek(*r, 0), 0);
        EXPECT_EQ(r->blockLength, std::min<long>(static_cast<long>(kLogBlockSize),
                                                 static_cast<long>(maxRead ? maxRead : bytes.size())));
        EXPECT_TRUE(found == expected) << name << (scrambled ? ", scrambled" : "") << ", reads of " << maxRead;
      }
    }
  }
}

}  // namespace

namespace {

// Everything a walk gives for a message, fields included.
struct Scanned {
  long number, parent;
  uint32_t offset;
  time_t date;
  uint16_t flags;
  std::string text;
  bool operator==(const Scanned&) const = default;
};

void CollectAll(void* context, const ScannedMessage& m) {
  const MessageFields& f = m.fields;
  static_cast<std::vector<Scanned>*>(context)->push_back({m.number, m.parent, m.logOffset, m.date, m.flags,
                                                          std::string(m.dateText) + "|" + m.thread.author + "|" +
                                                              m.thread.subject + "|" + f.date + "|" + f.sender + "|" +
                                                              f.recipients + "|" + f.subject + "|" + f.messageId + "|" +
                                                              f.summary + "|" + (f.headerOnlyMarker ? "H" : "-")});
}

// The walk with its passes over unwanted lines, against the same walk when
// every read returns one byte, so no line ever lies whole in a block and each
// is read and judged one by one.
TEST_F(TopicScanTest, PassedLinesChangeNothingALineByLineWalkFinds) {
  const std::string quoted = "> quoted text of the message before\r\n>> and older\r\n>\r\n";
  const std::string bodies[] = {
      // Quoted text before the summary, after it, and filling the whole body.
      "From: Ann <ann@example.com>\r\nSubject: Re: pointers\r\n\r\n" + quoted + "My own words.\r\n" + quoted,
      "From: Ann <ann@example.com>\r\nSubject: only quotes\r\n\r\n" + quoted + quoted,
      // Folded headers, a boundary-like line inside the body, LF ends.
      "From: \"Bloggs, Joe\" (the one)\n <joe@example.com>\nSubject: folded\n\tsubject line\nContent-Type: "
      "multipart/mixed;\n boundary=\"xyz\"\nMime-Version: 1.0\n\n--xyz\nContent-Type: text/plain\n\n> quoted\n"
      "--xyz-not\nText in the part.\n--xyz\n\n> more\nOnly the header of this message was collected\n",
      // The first body line quoted, in a folder read without headers first.
      "> first line quoted\r\nFrom: not a header after it\r\nReal summary\r\n",
      // Quoted-printable text joins lines, quoted or not.
      "Subject: qp\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n> soft=\r\nbreak\r\nThe summ=\r\nary\r\n",
      // An empty body, odd dates and addresses with comments and quotes.
      "",
      "From: joe@example.com (Joe (the) Bloggs)\r\nDate: 31 Feb 1999\r\nSubject: odd date\r\n\r\n>\r\n> \r\nx\r\n",
      "From: 'Single' <s@example.com>\r\nSubject: long quote\r\n\r\n>" + std::string(5000, 'q') + "\r\nAfter it\r\n",
      // A header-only notice after quoted text, and a separator-like line in it.
      "From: a@b\r\nSubject: s\r\n\r\n" + quoted + "==========\r\n*** Header Only ***\r\n",
  };
  const char* const dates[] = {"Tue, 5 Mar 1996 14:07:33 -0500", "5-Mar-96 14:07", "", "Mar 5 1996 99:99",
                               "Sun, 31 Dec 2000 23:59:60 +1400"};
  for (const char* folder :
       {"net:comp.lang.c/all", "net:mail/inbox", "conf:local/topic", "local:x/y", "local:x\xFF/y"}) {
    std::string log;
    long number = 1;
    // Messages of every body, placed so some start, end or quote across
    // the edges of 64 KB blocks.
    for (int round = 0; round < 60; ++round) {
      for (size_t i = 0; i < std::size(bodies); ++i, ++number) {
        std::string body = bodies[i];
        for (int k = 0; k < (round * 7 + static_cast<int>(i)) % 40; ++k) body += quoted + "filler line\r\n";
        log += SeparatorMessage(folder, number, "poster@example.com", dates[number % 5], body,
                                number % 3 ? "" : "Comment to " + std::to_string(number - 1));
      }
    }
    // A truncated last message: its stated size runs past the end of the log.
    log += SeparatorMessage(folder, number, "p@x", dates[0], "From: p@x\r\n\r\n" + quoted, "", 5000);
    for (bool scrambled : {false, true}) {
      MemoryLog whole, byteByByte;
      whole.bytes = byteByByte.bytes = scrambled ? Scramble(log) : log;
      byteByByte.maxRead = 1;
      ScanOptions options = OptionsFor(folder);
      options.identity = "ann@example.com";
      options.nameList = "Poster*;joe*";
      std::vector<Scanned> fast, plain;
      auto a = OpenReader(whole, scrambled);
      auto b = OpenReader(byteByByte, scrambled);
      ScanTopicLog(*a, options, CollectAll, &fast);
      ScanTopicLog(*b, options, CollectAll, &plain);
      ASSERT_EQ(fast.size(), static_cast<size_t>(number)) << folder;
      ASSERT_EQ(fast.size(), plain.size()) << folder;
      for (size_t i = 0; i < fast.size(); ++i)
        ASSERT_TRUE(fast[i] == plain[i]) << folder << " message " << i + 1 << ":\n"
                                         << fast[i].text << "\n"
                                         << plain[i].text;
    }
  }
}

}  // namespace
