#include "msgbase/topic_log.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "msgbase/tests/line_walks.h"
#include "msgbase/tests/memory_log.h"

namespace {

std::vector<std::string> g_boxes;
std::vector<std::string> g_status;
void RecordBox(const char* text) { g_boxes.push_back(text); }
void RecordStatus(const char* text) { g_status.push_back(text); }

class TopicLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    g_status.clear();
  }
  std::unique_ptr<LogReader> Open(MemoryLog& log, bool scrambled = false) {
    auto r = OpenReader(log, scrambled);
    r->notices.box = RecordBox;
    r->notices.status = RecordStatus;
    return r;
  }
  // Every line of the log with its count.
  std::vector<std::pair<long, std::string>> AllLines(LogReader& r) {
    std::vector<std::pair<long, std::string>> lines;
    for (long n; (n = readmsgline(r)) > 0;) lines.emplace_back(n, r.line);
    return lines;
  }
};

TEST_F(TopicLogTest, LinesAreSplitCountedAndCleaned) {
  MemoryLog log;
  log.bytes = std::string(5000, 'x') + "\n" + std::string("\tA") + '\0' + "B\r\n" + "last line without LF";
  auto r = Open(log);
  auto lines = AllLines(*r);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].first, 4095);
  EXPECT_EQ(lines[0].second, std::string(4095, 'x'));
  EXPECT_EQ(lines[1].first, 906);  // the rest of the long line and its LF
  EXPECT_EQ(lines[2].first, 5);    // CR is not counted
  EXPECT_EQ(lines[2].second, " A B\r\n");
  EXPECT_EQ(lines[3].second, "last line without LF");
  EXPECT_EQ(readmsgline(*r), 0);
  EXPECT_TRUE(g_boxes.empty());
}

// The line rules byte by byte, as the reader's copying in runs must give them.
std::vector<std::pair<long, std::string>> LinesByTheRules(const std::string& bytes) {
  std::vector<std::pair<long, std::string>> lines;
  std::string line;
  long count = 0, crs = 0;
  for (char ch : bytes) {
    if (ch == '\r') {
      if (crs < 4096) ++crs, line += '\r';
      continue;
    }
    if (ch == '\0' || ch == '\t') ch = ' ';
    line += ch;
    if (ch == '\n' || ++count >= kMaxLineCount) {
      lines.emplace_back(ch == '\n' ? count + 1 : count, line);
      line.clear();
      count = crs = 0;
    }
  }
  if (count) lines.emplace_back(count, line);
  return lines;
}

TEST_F(TopicLogTest, LinesCopiedInRunsFollowTheRulesByteByByte) {
  // Runs of ordinary bytes of every length about the copy's 16-byte steps
  // and the line limit, bytes above 127, control bytes and CRs between them,
  // read whole and in reads that put block edges everywhere.
  std::mt19937 random(17);
  for (int round = 0; round < 30; ++round) {
    std::string bytes;
    while (bytes.size() < 40000) {
      const int kind = static_cast<int>(random() % 10);
      const size_t run = kind == 0 ? 4080 + random() % 40 : random() % 70;
      for (size_t i = 0; i < run; ++i)
        bytes += static_cast<char>(kind == 1 ? 0x80 + random() % 128 : 'a' + random() % 26);
      const char controls[] = {'\n', '\n', '\r', '\t', '\0', '\x0e', '\x01'};
      bytes += controls[random() % sizeof controls];
    }
    const auto expected = LinesByTheRules(bytes);
    for (size_t maxRead : {size_t(0), size_t(8192), size_t(4099), size_t(17)}) {
      MemoryLog log;
      log.bytes = bytes;
      log.maxRead = maxRead;
      auto r = Open(log);
      ASSERT_EQ(AllLines(*r), expected) << "round " << round << ", reads of " << maxRead;
    }
  }
}

TEST_F(TopicLogTest, RunsOfCarriageReturnsNeverOverrunTheLine) {
  for (size_t run : {size_t(4095), size_t(8192), size_t(100000)}) {
    MemoryLog log;
    log.bytes = "a" + std::string(run, '\r') + "b\n" + std::string(run, '\r') + "\nnext\n";
    auto r = Open(log);
    auto lines = AllLines(*r);
    ASSERT_EQ(lines.size(), 3u) << run;
    EXPECT_EQ(lines[0].first, 3) << run;  // a, b, LF
    EXPECT_EQ(lines[0].second.front(), 'a');
    EXPECT_EQ(lines[0].second.substr(lines[0].second.size() - 2), "b\n");
    EXPECT_LE(lines[0].second.size(), sizeof r->line - 1);
    EXPECT_EQ(lines[1].first, 1);
    EXPECT_EQ(lines[2].second, "next\n");
  }
}

TEST_F(TopicLogTest, ScrambledLogReadsLikeThePlainOne) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + " of the log\r\n";
  text += std::string("with a NUL") + '\0' + " inside\n";
  MemoryLog plain, scrambled;
  plain.bytes = text;
  scrambled.bytes = Scramble(text);
  auto a = Open(plain);
  auto b = Open(scrambled, true);
  auto linesA = AllLines(*a);
  EXPECT_EQ(linesA, AllLines(*b));
  EXPECT_EQ(linesA.back().second, "with a NUL  inside\n");
}

TEST_F(TopicLogTest, SeekAndTellFollowTheBytes) {
  MemoryLog log;
  for (int i = 0; i < 3000; ++i) log.bytes += "row " + std::to_string(i) + "\n";
  auto r = Open(log);
  for (long offset : {0L, 5L, 8191L, 8192L, 8193L, 20000L}) {
    ASSERT_GE(msgseek(*r, offset), 0) << offset;
    EXPECT_EQ(msgtell(*r), offset);
    size_t expectedEnd = log.bytes.find('\n', static_cast<size_t>(offset));
    readmsgline(*r);
    EXPECT_EQ(r->line, log.bytes.substr(static_cast<size_t>(offset), expectedEnd - offset + 1)) << offset;
  }
  EXPECT_EQ(msgseek(*r, -1), -1);
  // Past the end: nothing to read, no report.
  EXPECT_GE(msgseek(*r, 10000000), 0);
  EXPECT_EQ(readmsgline(*r), 0);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(TopicLogTest, ReadErrorIsReportedOnceAndReturnsNothing) {
  MemoryLog log;
  log.bytes = "text\n";
  log.failReads = true;
  auto r = Open(log);
  EXPECT_EQ(readmsgline(*r), 0);
  EXPECT_EQ(readmsgline(*r), 0);
  EXPECT_EQ(msgseek(*r, 0), -1);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], "Unable to read message file.  Possible index file error.");
  log.failReads = false;
  ASSERT_EQ(msgseek(*r, 0), 0);
  EXPECT_EQ(readmsgline(*r), 5);
  // Reading works again, so a later failure is reported again.
  log.failReads = true;
  msgseek(*r, 100000);
  EXPECT_EQ(g_boxes.size(), 2u);
}

TEST_F(TopicLogTest, NoLogOpenReadsNothing) {
  LogReader* r = new LogReader();
  EXPECT_EQ(readmsgline(*r), 0);
  EXPECT_EQ(msgtell(*r), 0);
  EXPECT_EQ(msgseek(*r, 0), -1);
  delete r;
}

struct StartCase {
  const char* name;
  std::string log;
  long number;  // 0: not a message start
  long parent;
  long size;
  const char* author;
  const char* folder;
};

TEST_F(TopicLogTest, MessageStartsAndHeaders) {
  const std::string body = "Body text\n";
  const StartCase cases[] = {
      {"separator form", SeparatorMessage("quorl:conf/topic", 12, "jdoe", "12-Mar-1996 14:05", body), 12, 0, 10, "jdoe",
       "quorl:conf/topic"},
      {"comment to", SeparatorMessage("quorl:conf/topic", 13, "jdoe", "x", body, "Comment to 12"), 13, 12, 10, "jdoe",
       "quorl:conf/topic"},
      {"long comment line", SeparatorMessage("bix:c/t", 14, "ann", "x", body, "This is a comment to message 9"), 14, 9,
       10, "ann", "bix:c/t"},
      {"comment to 0 is an unknown parent", SeparatorMessage("bix:c/t", 15, "ann", "x", body, "Comment to 0"), 15, -1,
       10, "ann", "bix:c/t"},
      {"number 0 becomes -1", SeparatorMessage("bix:c/t", 0, "ann", "x", body), -1, 0, 10, "ann", "bix:c/t"},
      {"pattern without from", "=========\nnet:news/comp.lang #7, bob, 10 chars, date\n-\n" + body, 7, 0, 10, "bob",
       "net:news/comp.lang"},
      {"nine equals is enough", "=========\nnet:a/b #3, from x, 1 chars, d\n-\n" + body, 3, 0, 1, "x", "net:a/b"},
      {"single-line form", ">>>quorl:conf/topic 44 jdoe(120)5Mar96 14:07 c40\n" + body, 44, 40, 120, "jdoe",
       "quorl:conf/topic"},
      {"single-line form, no parent", ">>>quorl:conf/topic 45 jdoe(12)15Mar01 9:07\n" + body, 45, 0, 12, "jdoe",
       "quorl:conf/topic"},
      {"eight equals is not a start", "========\nnet:a/b #3, from x, 1 chars, d\n-\n", 0, 0, 0, "", ""},
      {"folder without slash", SeparatorMessage("quorl:conf", 5, "jdoe", "d", body), 0, 0, 0, "", ""},
      {"folder ending in slash", SeparatorMessage("quorl:conf/", 5, "jdoe", "d", body), 0, 0, 0, "", ""},
      {"empty author", "==========\nquorl:c/t #5, from , 10 chars, d\n-\n" + body, 0, 0, 0, "", ""},
      {"number 99999999 rejected", SeparatorMessage("quorl:c/t", 99999999, "jdoe", "d", body), 0, 0, 0, "", ""},
      {"negative number rejected", SeparatorMessage("quorl:c/t", -4, "jdoe", "d", body), 0, 0, 0, "", ""},
      {"single line with three fields", ">>>quorl:c/t 44 jdoe(120)\n", 0, 0, 0, "", ""},
      {"header line garbage", "==========\nnothing useful here\n-\n", 0, 0, 0, "", ""},
      {"log ends in the separator", "==========", 0, 0, 0, "", ""},
      {"log ends inside the header", "==========\nquorl:c/t #5, from a, 10 chars, d\nComment to 4\n", 0, 0, 0, "", ""},
      {"plain text", "Hello\n", 0, 0, 0, "", ""},
  };
  for (const StartCase& c : cases) {
    MemoryLog log;
    log.bytes = c.log;
    auto r = Open(log);
    ASSERT_GT(readmsgline(*r), 0) << c.name;
    std::string first = r->line;
    long afterFirst = msgtell(*r);
    MessageHeader h;
    long number = IsMessageStart(*r, &h);
    EXPECT_EQ(number, c.number) << c.name;
    if (number) {
      EXPECT_EQ(h.parent, c.parent) << c.name;
      EXPECT_EQ(h.size, c.size) << c.name;
      EXPECT_EQ(r->remaining, c.size) << c.name;
      EXPECT_STREQ(h.author, c.author) << c.name;
      EXPECT_STREQ(h.folder, c.folder) << c.name;
      // The reader stands on the body, and the line holds the whole header.
      EXPECT_EQ(r->line, log.bytes.substr(0, log.bytes.size() - body.size())) << c.name;
      readmsgline(*r);
      EXPECT_EQ(r->line, body) << c.name;
    } else {
      EXPECT_EQ(r->line, first) << c.name;
      EXPECT_EQ(msgtell(*r), afterFirst) << c.name;
    }
  }
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(TopicLogTest, DatesOfBothForms) {
  MemoryLog log;
  log.bytes = ">>>quorl:conf/topic 44 jdoe(120)5Mar96 14:07 c40\n" +
              SeparatorMessage("quorl:c/t", 5, "a", "Tue, 5 Mar 1996 14:07:33 -0500", "");
  auto r = Open(log);
  readmsgline(*r);
  MessageHeader h;
  ASSERT_EQ(IsMessageStart(*r, &h), 44);
  EXPECT_STREQ(h.dateText, "05-Mar-1996 14:07");
  for (const char* line : {">>>q:c/t 1 a(1)5Mar69 1:02", ">>>q:c/t 1 a(1)5Mar70 1:02"}) {
    MemoryLog one;
    one.bytes = std::string(line) + "\n";
    auto r1 = Open(one);
    readmsgline(*r1);
    MessageHeader h1;
    ASSERT_EQ(IsMessageStart(*r1, &h1), 1);
    EXPECT_EQ(h1.year, line[19] == '6' ? 2069 : 1970);
  }
  readmsgline(*r);
  ASSERT_EQ(IsMessageStart(*r, &h), 5);
  EXPECT_STREQ(h.dateText, "Tue, 5 Mar 1996 14:07:33 -0500");
}

TEST_F(TopicLogTest, OversizedHeaderIsCorruptAndWarnsOnce) {
  std::string header = "==========\nquorl:conf/topic #31, from jdoe, 5 chars, d\n";
  for (int i = 0; header.size() < 10 * 1024; ++i) header += "X-Filler-" + std::to_string(i) + ": padding padding\n";
  MemoryLog log;
  log.bytes = header + "-\nbody\n";
  for (bool quiet : {false, true}) {
    g_boxes.clear();
    auto r = Open(log);
    r->suppressHeaderWarning = quiet;
    readmsgline(*r);
    MessageHeader h;
    EXPECT_EQ(IsMessageStart(*r, &h), 0);
    EXPECT_STREQ(r->line, "==========\n");
    if (quiet) {
      EXPECT_TRUE(g_boxes.empty());
    } else {
      ASSERT_EQ(g_boxes.size(), 1u);
      EXPECT_EQ(g_boxes[0], "\nCorrupted header in message 31\n");
    }
  }
}

TEST_F(TopicLogTest, HeaderJustBelowTheLimitStillParses) {
  std::string header = "==========\nquorl:conf/topic #32, from jdoe, 5 chars, d\n";
  while (header.size() < 8150) header += "X: y\n";
  MemoryLog log;
  log.bytes = header + "-\nbody\n";
  auto r = Open(log);
  readmsgline(*r);
  MessageHeader h;
  EXPECT_EQ(IsMessageStart(*r, &h), 32);
  // Large enough to warn, small enough to be a header.
  EXPECT_EQ(g_boxes.size(), 1u);
}

}  // namespace

namespace {

// The header line's fields must come out exactly as the library's formatted
// input reads the two patterns.
int LibraryScan(const char* text, char* folder, long* number, char* author, long* size) {
  int fields = std::sscanf(text, "%100s #%ld, from %200s %ld", folder, number, author, size);
  if (fields == 2) fields = std::sscanf(text, "%100s #%ld, %200s %ld", folder, number, author, size);
  return fields < 0 ? 0 : fields;
}

TEST(HeaderLineScan, ReadsAsTheFormattedInputPatterns) {
  std::vector<std::string> lines = {
      "quorl:conf/topic #12, from jdoe, 10 chars, 12-Mar-1996 14:05",
      "net:news/comp.lang #7, bob, 10 chars, date",
      "a/b #7,bob, 10",
      "a/b #7 , from x, 1",
      "a/b#7, from x, 1",
      "a/b # 7, from x, 1",
      "a/b #+7, from x, -1",
      "a/b #-, from x, 1",
      "a/b #7, fromx, 1",
      "a/b #7, from\tx,\t1",
      "a/b #7, from ",
      "a/b #7, from x,",
      "a/b #7",
      "a/b",
      "",
      "   \t  ",
      std::string(150, 'f') + " #1, from a, 2",
      "a/b #1, from " + std::string(250, 'a') + " 3",
      "a/b #99999999999999999999, from a, 2",
  };
  // Seeded variations: every line cut at every length, and with bytes changed.
  std::vector<std::string> all = lines;
  for (const std::string& line : lines)
    for (size_t cut = 0; cut < line.size(); cut += 3) all.push_back(line.substr(0, cut));
  unsigned seed = 7;
  for (int i = 0; i < 3000; ++i) {
    std::string line = lines[i % lines.size()];
    if (line.empty()) continue;
    seed = seed * 1103515245u + 12345u;
    line[(seed >> 8) % line.size()] = " #,-+0123456789fromx\t"[(seed >> 16) % 21];
    all.push_back(line);
  }
  for (const std::string& line : all) {
    char f1[101] = "", a1[201] = "", f2[101] = "", a2[201] = "";
    long n1 = 0, s1 = 0, n2 = 0, s2 = 0;
    int mine = ScanHeaderLine(line.c_str(), f1, sizeof f1, &n1, a1, sizeof a1, &s1);
    int library = LibraryScan(line.c_str(), f2, &n2, a2, &s2);
    ASSERT_EQ(mine, library) << line;
    if (mine >= 1) {
      EXPECT_STREQ(f1, f2) << line;
    }
    // Out-of-range numbers differ between C libraries; only the count matters.
    if (mine >= 2 && n1 != LONG_MAX && n1 != LONG_MIN) {
      EXPECT_EQ(n1, n2) << line;
    }
    if (mine >= 3) {
      EXPECT_STREQ(a1, a2) << line;
    }
    if (mine >= 4) {
      EXPECT_EQ(s1, s2) << line;
    }
  }
}

TEST(HeaderLineScan, CutsFieldsAtTheCallersBuffers) {
  struct {
    char folder[6];
    char guard1[4];
    char author[5];
    char guard2[4];
  } b;
  std::memset(&b, '#', sizeof b);
  long number = 0, size = 0;
  EXPECT_EQ(ScanHeaderLine("f/t #12, from someone.long, 34 chars, date", b.folder, sizeof b.folder, &number, b.author,
                           sizeof b.author, &size),
            3);  // the size no longer follows the cut author
  EXPECT_STREQ(b.folder, "f/t");
  EXPECT_STREQ(b.author, "some");
  EXPECT_EQ(ScanHeaderLine("a/very/long #1, from x, 2 chars", b.folder, sizeof b.folder, &number, b.author,
                           sizeof b.author, &size),
            1);  // as the pattern reads it: the number no longer follows
  EXPECT_STREQ(b.folder, "a/ver");
  EXPECT_EQ(std::string(b.guard1, 4), "####");
  EXPECT_EQ(std::string(b.guard2, 4), "####");
  char none[1];
  EXPECT_EQ(ScanHeaderLine("f #1, from a, 2 chars, d", none, sizeof none, &number, b.author, sizeof b.author, &size),
            0);
}

// A log of lines that are hard on a reader: candidates of every kind, CR
// runs and lone CRs, TAB and NUL first bytes, lines about the line limit,
// empty lines, chosen by seed; with final false the last line has no LF.
std::string TrickyLog(unsigned seed, size_t size, bool final) {
  static const std::string kLines[] = {
      "ordinary text of a message body\r\n",
      "Only the header of this message was collected\r\n",
      "*** Header Only ***\n",
      "==========\r\n",
      ">>>bix:c/t 5 ann(3)5Mar96 14:07\n",
      "--boundary\r\n",
      "\r\r\r\r\r\n",
      "a lone\rcarriage return\n",
      "\tOnly the header of this message was collected\n",
      std::string("\0*** Header Only ***\n", 21),
      "\n",
      "\r\n",
      "Other line beginning with O\n",
  };
  std::string log;
  while (log.size() < size) {
    seed = seed * 1103515245u + 12345u;
    unsigned pick = (seed >> 16) % 20;
    if (pick < 13) {
      log += kLines[pick];
    } else if (pick < 18) {
      static const size_t kLong[] = {4093, 4094, 4095, 4096, 5000};
      size_t n = kLong[pick - 13];
      std::string line(n, 'x');
      line[0] = (seed >> 8) & 1 ? 'O' : 'x';
      if ((seed >> 9) & 1) line[n - 2] = '\r';
      line[n - 1] = '\n';
      log += line;
    } else {
      log += std::string((seed >> 4) % 300, (seed >> 12) & 1 ? '\r' : 'y') + "\n";
    }
  }
  if (!final) log += "Only the header of this message was collected, without a line end";
  return log;
}

// Long runs of ordinary body text, where whole stretches are passed at once:
// a rare wanted line (right after a LF, or after a CR that does not end the
// line), CR runs and lone CRs inside the runs, and lines growing to the line
// limit and past it, which must be handed back whole to be split.
std::string ProseLog(unsigned seed, size_t size) {
  std::string log;
  while (log.size() < size) {
    seed = seed * 1103515245u + 12345u;
    unsigned pick = (seed >> 16) % 64;
    size_t n = 1 + (seed >> 8) % 120;
    std::string line(n, 'p');
    if (pick == 0) line[0] = 'O';
    if (pick == 1) line[0] = '=';
    if (pick == 2) line[0] = '*';
    if (pick == 3) line = "\r*** Header Only ***";
    if (pick == 4) line += std::string((seed >> 4) % 700, '\r');
    if (pick == 5) line[n / 2] = '\r';
    if (pick == 6) {
      // Split by the plain reader at the limit; the piece after it may look wanted.
      line = std::string(4030 + (seed >> 4) % 140, 'L');
      if (line.size() > 4095) line[4095] = 'O';
    }
    if (pick == 7) line = std::string((seed >> 4) % 3, '-') + "--";
    log += line + ((seed >> 12) & 1 ? "\r\n" : "\n");
  }
  return log;
}

TEST_F(TopicLogTest, LongBodiesPassedInBulkEndOnTheLinesThePlainReaderReads) {
  std::vector<std::string> logs;
  for (unsigned seed = 1; seed <= 12; ++seed) logs.push_back(ProseLog(seed, 70000 + seed * 2111));
  // A body of plain lines only, with the wanted line alone at the end, just
  // after the first block edge, and right after the step the bulk takes.
  for (size_t at : {size_t{kLogBlockSize} - 1, size_t{kLogBlockSize}, size_t{kLogBlockSize} + 1, size_t{64 * 7 + 1},
                    size_t{65536} - 1, size_t{65536}, size_t{65537}}) {
    std::string log;
    while (log.size() + 40 < at) log += "plain line of body text, all ordinary\r\n";
    log += std::string(at - log.size() - 1, 'q') + "\n";
    logs.push_back(log + "Only the header of this message was collected\r\n==========\n" + log);
  }
  // A line at the limit or just past it, after a short line of every
  // length up to a step and more: passed whole or split, as the plain reader does.
  for (size_t before = 0; before < 70; ++before)
    for (size_t bytes : {4095, 4096, 4097}) {
      std::string log = before ? std::string(before - 1, 'b') + "\n" : "";
      std::string line(bytes - 1, 'L');
      if (line.size() > 4095) line[4095] = 'O';
      logs.push_back(log + line + "\n" + std::string(200, 'c') + "\n");
    }
  for (size_t i = 0; i < logs.size(); ++i) {
    for (long blockSize : {0L, 65536L}) {
      for (const char* wanted : {"O*", "=>", "O*-", "O"}) {
        // The whole log, and bodies that end anywhere: inside a run, at a
        // line end and one character on.
        for (long size : {0L, 63L, 64L, 65L, 777L, 4159L, 8191L, 33333L, 65536L, 65600L, 100000L}) {
          MemoryLog plainLog, skippingLog;
          plainLog.bytes = skippingLog.bytes = logs[i];
          auto a = Open(plainLog);
          auto b = Open(skippingLog);
          std::vector<char> bufferA(static_cast<size_t>(blockSize) + 1), bufferB(static_cast<size_t>(blockSize) + 1);
          if (blockSize) {
            LogReaderUseBlock(*a, bufferA.data(), blockSize);
            LogReaderUseBlock(*b, bufferB.data(), blockSize);
          }
          std::string difference = CompareWalks(WalkLines(*a, nullptr, size), WalkLines(*b, wanted, size), wanted);
          ASSERT_EQ(difference, "") << "log " << i << " block " << blockSize << " wanted " << wanted << " size "
                                    << size;
        }
      }
    }
  }
}

TEST_F(TopicLogTest, SkippedLinesAreExactlyTheOnesThePlainReaderWouldPassOver) {
  std::vector<std::string> logs;
  for (unsigned seed = 1; seed <= 40; ++seed) logs.push_back(TrickyLog(seed, 30000 + seed * 517, seed % 3 != 0));
  // A wanted line starting at every place around the first block edge, and
  // separators split across it.
  for (int shift = -4; shift <= 4; ++shift) {
    std::string before(static_cast<size_t>(static_cast<long>(kLogBlockSize) + shift), 'z');
    for (size_t i = 80; i < before.size(); i += 81) before[i] = '\n';
    before.back() = '\n';
    logs.push_back(before + "Only the header of this message was collected\r\nafter\n");
    logs.push_back(before + "==========\r\nmore\n");
    logs.push_back(before + "\r\r\r\r\r\r\r\r\r\r\nend\n");
  }
  logs.push_back("");
  logs.push_back("no line end at all");
  for (size_t i = 0; i < logs.size(); ++i) {
    for (bool scrambled : {false, true}) {
      for (const char* wanted : {"O*", "=>", "O*-"}) {
        MemoryLog plainLog, skippingLog;
        plainLog.bytes = skippingLog.bytes = scrambled ? Scramble(logs[i]) : logs[i];
        auto a = Open(plainLog, scrambled);
        auto b = Open(skippingLog, scrambled);
        std::string difference = CompareWalks(WalkLines(*a, nullptr, 0), WalkLines(*b, wanted, 0), wanted);
        ASSERT_EQ(difference, "") << "log " << i << " wanted " << wanted << " scrambled " << scrambled;
        // Bodies of every size end on the same line either way.
        for (long size : {1L, 2L, 100L, 4095L, 8191L, 8192L, 8193L, 20000L}) {
          auto c = Open(plainLog, scrambled);
          auto d = Open(skippingLog, scrambled);
          difference = CompareWalks(WalkLines(*c, nullptr, size), WalkLines(*d, wanted, size), wanted);
          ASSERT_EQ(difference, "") << "log " << i << " size " << size << " wanted " << wanted;
        }
      }
    }
  }
  EXPECT_TRUE(g_boxes.empty());
}

}  // namespace
