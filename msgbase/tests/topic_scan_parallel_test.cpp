#include "msgbase/topic_scan_parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "core/small_text.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/parallel_walk.h"

namespace {

int NoZone() { return 0; }

class ParallelScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedZone_ = g_clockHooks.localZoneOffset;
    // The local zone is asked of the C library, which is not safe on
    // several threads at once in every runtime: the tests fix it.
    g_clockHooks.localZoneOffset = NoZone;
  }
  void TearDown() override { g_clockHooks.localZoneOffset = savedZone_; }
  int (*savedZone_)() = nullptr;
};

ScanOptions OptionsFor(const char* folder) {
  ScanOptions o;
  o.folderName = folder;
  o.kind = FolderKindFromName(folder);
  o.identity = "me@home.org";
  o.nameList = "Poster*;Zed_*";
  return o;
}

// Compares the walk on several threads with the one-thread walk over the
// log, plain and scrambled, with pieces of each size (so the cuts fall in
// headers, bodies, long lines and CR runs) and two thread counts.
void ExpectSameWalks(const std::string& name, const std::string& log, const char* folder = "net:comp.lang.c/all",
                     std::vector<long> pieceSizes = {1, 2, 3, 5, 16, 61, 200, 1024, 4096}) {
  const ScanOptions options = OptionsFor(folder);
  for (bool scrambled : {false, true}) {
    const std::string bytes = scrambled ? Scramble(log) : log;
    const std::vector<std::string> expected = OneThreadWalk(bytes, options, scrambled);
    for (long piece : pieceSizes) {
      // At most a few thousand pieces: each costs a worker's start.
      piece = std::max(piece, static_cast<long>(bytes.size() / 2000));
      for (int threads : {2, 4}) {
        SharedLog shared(bytes);
        const std::vector<std::string> found = ParallelWalk(shared, options, scrambled, threads, piece);
        ASSERT_EQ(found, expected) << name << (scrambled ? ", scrambled" : "") << ", pieces of " << piece << ", "
                                   << threads << " threads";
        if (bytes.size() > static_cast<size_t>(piece)) {
          EXPECT_GT(shared.opens.load(), 0) << name;
        }
      }
    }
  }
}

std::string News(long number, const std::string& text, const std::string& comment = "", long size = -1) {
  std::string body = "From: Poster " + std::to_string(number % 7) + " <p" + std::to_string(number % 7) +
                     "@example.com>\r\nSubject: " + (comment.empty() ? "" : "Re: ") + "Topic " +
                     std::to_string(number % 11) + "\r\nMessage-ID: <" + std::to_string(number) +
                     "@example.com>\r\n\r\n" + text;
  return SeparatorMessage("net:comp.lang.c/all", number, "p@example.com", "Tue, 5 Mar 1996 14:07:33 -0500", body,
                          comment, size);
}

TEST_F(ParallelScanTest, TrickyLogsWalkAsOnOneThread) {
  const std::string header = "==========\nnet:comp.lang.c/all #77, from z@x, 5 chars, 1\n----------\nabcd\n";
  // A header just under the header buffer's limit: kept, with its warning.
  std::string warnedHeader = "==========\nnet:comp.lang.c/all #40, from w@x, 6 chars, 1\n";
  while (warnedHeader.size() < 8150) warnedHeader += "X-Pad: padding text\n";
  warnedHeader += "----------\nwarn\n";
  // One past it: the parse fails after the warning was shown.
  std::string failedHeader = "==========\nnet:comp.lang.c/all #41, from w@x, 6 chars, 1\n";
  while (failedHeader.size() < 10000) failedHeader += "X-Pad: padding text\n";
  failedHeader += "-\nfail\n";
  std::string longLine = std::string(4095, 'L');
  struct Case {
    const char* name;
    std::string log;
  };
  const Case cases[] = {
      {"empty", ""},
      {"one message", News(1, "text\r\n")},
      {"separator lines in bodies", News(1, "a\r\n" + header + "b\r\n") + News(2, header + header) + header},
      {"size too short", News(1, "line one\r\nline two\r\n" + header, "", 4) + News(2, "x\r\n")},
      {"size too long", News(1, "x\r\n", "", 300) + News(2, "y\r\n") + News(3, "z\r\n") + News(4, "w\r\n")},
      {"size past the end", News(1, "x\r\n") + News(2, "y\r\n", "", 99999999)},
      // The line limit splits a line so its second part is a separator.
      {"long lines", News(1, longLine + "==========\r\n" + longLine + longLine + "x\r\n") + longLine +
                         header.substr(0, 11) + header.substr(11) + News(2, "after\r\n")},
      {"CR runs", News(1, std::string(9000, '\r') + "\n" + std::string(5000, '\r') + "x\r\n") +
                      std::string(20000, '\r') + "\n" + News(2, "y\r\n")},
      {"NULs", News(1, std::string("a\0b\0\0==========\n", 17)) + std::string(30, '\0') + "\n" + News(2, "z\n")},
      {"truncated last message", News(1, "x\r\n") + News(2, "only part of it", "", 500)},
      {"truncated inside a header", News(1, "x\r\n") + "==========\nnet:comp.lang.c/all #2, from b, 5 chars, d\n"},
      {">>> headers", ">>>net:comp.lang.c/all 3 cy(10)5Mar96 14:07 c2\nShort one\n" + News(4, "x\n") +
                          ">>>net:comp.lang.c/all 5 cy(3)5Mar96 14:07\nab\n>>>bad\n"},
      {"kept header with a warning", News(1, "x\r\n") + warnedHeader + News(2, "y\r\n") + warnedHeader},
      {"failed header with a warning", News(1, "x\r\n") + failedHeader + News(3, "z\r\n")},
      {"header-only notices", News(1, "Only the header of this message was collected\r\n") +
                                  News(2, longLine + "*** Header Only ***\n") + News(3, "x\n")},
      {"separators only", "==========\n==========\n>>>\n=========\n"},
  };
  for (const Case& c : cases) ExpectSameWalks(c.name, c.log);
  // Mail folders make their own thread records from the recipients.
  ExpectSameWalks("mail",
                  SeparatorMessage("net:mail/inbox", 5, "me@home.org", "",
                                   "From: Me <me@home.org>\nTo: \"Ann\" <me@home.org>\nSubject: Note\n\nhi\n") +
                      SeparatorMessage("net:mail/inbox", 6, "ann@x.org", "2",
                                       "From: Ann <ann@x.org>\nTo: Bob <bob@x.org>\nSubject: Note\n\nhi\n"),
                  "net:mail/inbox");
}

// Generated logs: messages of every length mixed with damage, so pieces of
// every size meet (or fail to meet) everywhere.
TEST_F(ParallelScanTest, GeneratedLogsWalkAsOnOneThread) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::mt19937 random(seed);
    auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    std::string log;
    for (long i = 1; i <= 120; ++i) {
      std::string text;
      for (unsigned k = below(30); k > 0; --k) {
        switch (below(12)) {
          case 0: text += "==========\r\n"; break;
          case 1: text += "net:comp.lang.c/all #9, from q@x, 3 chars, 2\r\n----------\r\n"; break;
          case 2: text += std::string(4090 + below(10), 'L') + "==========\n"; break;
          case 3: text += std::string(below(3000), '\r') + "\n"; break;
          case 4: text += "> quoted\r\n"; break;
          case 5: text += "*** Header Only ***\r\n"; break;
          default: text += std::string(below(90), 'a' + static_cast<char>(below(26))) + "\r\n"; break;
        }
      }
      const unsigned form = below(10);
      if (form == 0)
        log += News(i, text, "", static_cast<long>(below(400)));  // a wrong size
      else if (form == 1)
        log += ">>>net:comp.lang.c/all " + std::to_string(i) + " z(" + std::to_string(below(50)) + ")5Mar96 14:07 c" +
               std::to_string(i - 1) + "\n" + text;
      else if (form == 2)
        log += text;  // lines between messages
      else
        log += News(i, text, i % 3 ? "Comment to " + std::to_string(i - 1) : "");
    }
    if (below(2)) log.resize(log.size() - below(300));  // cut off inside the last message
    ExpectSameWalks("seed " + std::to_string(seed), log, "net:comp.lang.c/all", {7, 97, 1000, 40000});
  }
}

// The pieces of a large log as the rebuild cuts them (no test size), with
// the processor's own thread count.
TEST_F(ParallelScanTest, AutomaticPiecesWalkAsOnOneThread) {
  std::string log;
  for (long i = 1; log.size() < (9L << 20); ++i)
    log += News(i, std::string(2000 + i % 900, 'x') + "\r\n" + (i % 50 == 0 ? "==========\r\n" : ""));
  const ScanOptions options = OptionsFor("net:comp.lang.c/all");
  const std::vector<std::string> expected = OneThreadWalk(log, options, false);
  SharedLog shared(log);
  EXPECT_EQ(ParallelWalk(shared, options, false, 0, 0), expected);
}

// A log that loses its end while the workers read it (they see it cut, the
// calling thread whole) gives no message that neither log holds, and no crash.
TEST_F(ParallelScanTest, LogCutWhileWalkedGivesOnlyItsMessages) {
  std::string log;
  for (long i = 1; i <= 300; ++i) log += News(i, std::string(i * 13 % 700, 'y') + "\r\n");
  const ScanOptions options = OptionsFor("net:comp.lang.c/all");
  const std::vector<std::string> whole = OneThreadWalk(log, options, false);
  for (size_t cut : {size_t(0), log.size() / 3, log.size() / 2 + 17, log.size() - 5}) {
    const std::vector<std::string> shortened = OneThreadWalk(log.substr(0, cut), options, false);
    for (long piece : {5L, 300L, 20000L}) {
      SharedLog shared(log);
      shared.workerBytes = cut;
      for (const std::string& m : ParallelWalk(shared, options, false, 3, piece)) {
        const bool known = std::find(whole.begin(), whole.end(), m) != whole.end() ||
                           std::find(shortened.begin(), shortened.end(), m) != shortened.end();
        EXPECT_TRUE(known) << m;
      }
    }
  }
}

// Read errors are told once, on the calling thread, as on one thread; a
// source that cannot be opened again leaves the walk to the calling thread.
TEST_F(ParallelScanTest, ReadErrorsAndMissingSourcesAreToldAsOnOneThread) {
  const std::string kReadError = "box: Unable to read message file.  Possible index file error.";
  std::string log;
  for (long i = 1; i <= 200; ++i) log += News(i, std::string(i * 7 % 300, 'y') + "\r\n");
  const ScanOptions options = OptionsFor("net:comp.lang.c/all");
  {
    // Every read fails.
    SharedLog shared(log);
    shared.failFrom = 0;
    const std::vector<std::string> found = ParallelWalk(shared, options, false, 3, 500);
    EXPECT_EQ(found, std::vector<std::string>{kReadError});
  }
  {
    // Reads fail past a point: the box is shown once, on this thread, and
    // the messages before it are the log's own, in order. (Which message
    // the failing read cuts short depends on where the blocks fall, on one
    // thread too.)
    const std::vector<std::string> whole = OneThreadWalk(log, options, false);
    SharedLog shared(log);
    shared.failFrom = static_cast<long>(log.size() / 2);
    const std::vector<std::string> found = ParallelWalk(shared, options, false, 3, 700);
    const auto box = std::find(found.begin(), found.end(), kReadError);
    ASSERT_NE(box, found.end());
    EXPECT_EQ(std::count(found.begin(), found.end(), kReadError), 1);
    EXPECT_LE(found.end() - box, 2);  // at most the message the read cut short follows
    ASSERT_LE(static_cast<size_t>(box - found.begin()), whole.size());
    EXPECT_TRUE(std::equal(found.begin(), box, whole.begin()));
  }
  {
    SharedLog shared(log);
    shared.refuseOpens = true;
    EXPECT_EQ(ParallelWalk(shared, options, false, 4, 100), OneThreadWalk(log, options, false));
  }
}

}  // namespace
