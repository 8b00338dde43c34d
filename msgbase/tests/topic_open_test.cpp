#include "msgbase/topic_open.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/index_bytes.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/read_state.h"
#include "msgbase/topic_index.h"

namespace {

const char kNews[] = "net:comp.lang.c/all";
const char kChat[] = "quorl:chat/general";
const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";
constexpr int32_t kDateSeconds = 826052853;

struct Listed {
  int32_t number, parent;
  uint16_t flags;
  int32_t date;
  std::string author, subject;
  bool operator==(const Listed&) const = default;
};
void PrintTo(const Listed& l, std::ostream* os) {
  *os << "{" << l.number << ", parent " << l.parent << ", flags " << l.flags << ", date " << l.date << ", '" << l.author
      << "', '" << l.subject << "'}";
}

std::string NewsLog() {
  return SeparatorMessage(kNews, 10, "bob@example.com", kDate,
                          "From: Bob <bob@example.com>\nSubject: Pointers\n\nQuestion text.\n") +
         "a stray line between messages\n" +
         SeparatorMessage(kNews, 11, "ann@x.org", kDate,
                          "From: Ann <ann@x.org>\nSubject: Re: Pointers\n\n"
                          "Only the header of this message was collected\n",
                          "Comment to 10") +
         SeparatorMessage(kNews, 12, "zed@x.org", kDate, "From: Zed <zed@x.org>\nSubject: Other\n\nMy answer.\n");
}

// What a correct open of NewsLog lists, read bits aside.
const std::vector<Listed> kNewsListing = {
    {10, 0, 0, kDateSeconds, "bob@example.com", "Pointers"},
    {11, 10, kMsgHeaderOnly, kDateSeconds, "ann@x.org", ""},  // a comment lists its summary line
    {12, 0, 0, kDateSeconds, "zed@x.org", "Other"},
};

int g_browseCalls = 0;
int g_throwOnBrowse = 0;  // browse calls that meet a missing message
void Browse() {
  ++g_browseCalls;
  if (g_throwOnBrowse > 0) {
    --g_throwOnBrowse;
    getmsghdr(5000, 0);
  }
}

class TopicOpenTest : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    g_browseCalls = 0;
    g_throwOnBrowse = 0;
    g_topicOpenHooks.browse = Browse;
    AddFolder(kNews, "clc.log", 0);
    AddFolder(kChat, "chat.log", CONF_SCRAMBLED);
  }
  ConfRec* Record(const char* name) {
    for (int i = 0; i < Conferences.Count(); ++i) {
      auto* rec = static_cast<ConfRec*>(Conferences.At(i));
      if (!lstrcmpiA(rec->name, name)) return rec;
    }
    return nullptr;
  }
  int Open(const char* name) {
    lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
    return logopen();
  }
  bool Rebuilt() const {
    auto& s = Recorded().status;
    return std::find(s.begin(), s.end(), "Recreating .ind file") != s.end();
  }
  // The open topic as the browser would list it, read bits left out.
  std::vector<Listed> Listing(bool scrambled) {
    std::vector<Listed> out;
    std::string thrPath = std::string(g_topic.logPath);
    thrPath = thrPath.substr(0, thrPath.rfind('.')) + ".thr";
    FILE* thr = std::fopen(thrPath.c_str(), "rb");
    EXPECT_NE(thr, nullptr);
    for (int i = 0; i < LogCva.Count(); ++i) {
      MsgIndexRec m = *static_cast<MsgIndexRec*>(LogCva.At(i));
      IndexRec x = *static_cast<IndexRec*>(IndexArray.At(i));
      ThreadRecord t = {};
      if (thr) ReadThreadRecord(StdioSource(thr), x.thrOffset, scrambled, &t);
      char author[26], subject[101];
      ThreadRecordText(t, author, subject);
      out.push_back({m.number, m.commentTo, static_cast<uint16_t>(m.flags & ~kMsgRead), x.date, author, subject});
    }
    if (thr) std::fclose(thr);
    return out;
  }
  std::vector<IndexEntry> Entries() {
    std::vector<IndexEntry> out;
    for (int i = 0; i < LogCva.Count(); ++i) {
      MsgIndexRec m = *static_cast<MsgIndexRec*>(LogCva.At(i));
      IndexRec x = *static_cast<IndexRec*>(IndexArray.At(i));
      out.push_back({x.logOffset, x.thrOffset, x.date, m.number, m.commentTo, m.flags});
    }
    return out;
  }
};

struct FolderCase {
  const char* name;
  const char* file;
  bool scrambled;
};

TEST_F(TopicOpenTest, MissingIndexIsRebuiltAndTheNextOpenUsesIt) {
  for (FolderCase c : {FolderCase{kNews, "clc", false}, FolderCase{kChat, "chat", true}}) {
    SCOPED_TRACE(c.name);
    Recorded() = UiRecord{};
    g_browseCalls = 0;
    std::string log = NewsLog();
    std::string stored = c.scrambled ? Scrambled(log) : log;
    WriteWholeFile(Path((std::string(c.file) + ".log").c_str()), stored);

    ASSERT_EQ(Open(c.name), 1);
    EXPECT_TRUE(Rebuilt());
    EXPECT_EQ(g_browseCalls, 1);
    EXPECT_EQ(g_topic.first, 10);
    EXPECT_EQ(g_topic.last, 12);
    std::vector<Listed> expected = kNewsListing;
    if (c.scrambled) expected[1].flags = 0;  // only news and Dravenet folders keep the header-only mark
    EXPECT_EQ(Listing(c.scrambled), expected);
    EXPECT_EQ(scanmsg(11), 1);
    EXPECT_EQ(scanmsg(13), 0);
    logclose();
    EXPECT_EQ(g_topic.log, nullptr);

    std::string index = ReadWholeFile(Path((std::string(c.file) + ".ind").c_str()));
    ASSERT_GE(index.size(), 2u);
    EXPECT_EQ(static_cast<uint8_t>(index[0]) | (static_cast<uint8_t>(index[1]) << 8), 11007);
    EXPECT_EQ(FileExists(Path((std::string(c.file) + ".id").c_str())), !c.scrambled)
        << "news folders keep a message-id list";

    Recorded() = UiRecord{};
    ASSERT_EQ(Open(c.name), 1);
    EXPECT_FALSE(Rebuilt());
    EXPECT_EQ(Listing(c.scrambled), expected);
    logclose();
    EXPECT_EQ(ReadWholeFile(Path((std::string(c.file) + ".log").c_str())), stored) << "the log is only read";
    EXPECT_TRUE(Recorded().boxes.empty());
  }
}

TEST_F(TopicOpenTest, EveryIndexVersionOpensWithoutRebuild) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  std::vector<IndexEntry> entries = Entries();
  logclose();
  for (IndexEntry& e : entries) e.flags &= ~kMsgRead;
  for (uint16_t version : {11004, 11005, 11006, 11007}) {
    SCOPED_TRACE(version);
    WriteWholeFile(Path("clc.ind"), IndexFile(version, 10, 12, entries));
    Recorded() = UiRecord{};
    ASSERT_EQ(Open(kNews), 1);
    EXPECT_FALSE(Rebuilt());
    std::vector<Listed> expected = kNewsListing;
    if (version != 11007)
      for (Listed& l : expected) l.date = 0;
    EXPECT_EQ(Listing(false), expected);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(static_cast<IndexRec*>(IndexArray.At(i))->thrOffset, 125u * i);
    logclose();
  }
}

TEST_F(TopicOpenTest, DamagedIndexIsRebuiltAndTheLogLeftAlone) {
  std::string log = NewsLog();
  WriteWholeFile(Path("clc.log"), log);
  ASSERT_EQ(Open(kNews), 1);
  std::vector<IndexEntry> entries = Entries();
  logclose();
  std::string good = ReadWholeFile(Path("clc.ind"));
  std::vector<IndexEntry> pastEnd = entries;
  pastEnd[2].logOffset = static_cast<uint32_t>(log.size() + 100);
  std::vector<IndexEntry> badThread = entries;
  badThread[1].thrOffset = 125 * 40;

  struct Damage {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"cut in its header", good.substr(0, 5)},
      {"cut in its records", good.substr(0, good.size() - 7)},
      {"unknown version", IndexFile(12000, 10, 12, entries)},
      {"count past the file",
       IndexFile(11007, 10, 12, entries).replace(10, 6, std::string("\xFF\xFF\x00\x00\x10\x00", 6))},
      {"offset past the log", IndexFile(11007, 10, 12, pastEnd)},
      {"thread record past the thread file", IndexFile(11007, 10, 12, badThread)},
      {"no messages", IndexFile(11007, 10, 12, {})},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    WriteWholeFile(Path("clc.ind"), d.bytes);
    Recorded() = UiRecord{};
    ASSERT_EQ(Open(kNews), 1);
    EXPECT_TRUE(Rebuilt());
    EXPECT_EQ(Listing(false), kNewsListing);
    logclose();
    EXPECT_EQ(ReadWholeFile(Path("clc.log")), log);
    EXPECT_TRUE(Recorded().boxes.empty());
  }
}

TEST_F(TopicOpenTest, TruncatedLogsOpenWithWhatTheyHold) {
  std::string whole = NewsLog();
  std::string lastMessage =
      SeparatorMessage(kNews, 12, "zed@x.org", kDate, "From: Zed <zed@x.org>\nSubject: Other\n\nMy answer.\n");
  std::string firstTwo = whole.substr(0, whole.size() - lastMessage.size());
  struct Cut {
    const char* what;
    std::string bytes;
    long last;
  } cases[] = {
      {"size past the end", firstTwo + SeparatorMessage(kNews, 12, "zed@x.org", kDate, "Short.\n", "", 90000), 12},
      {"cut inside a header", firstTwo + lastMessage.substr(0, 30), 11},
      {"cut after the separator", firstTwo + "==========\n", 11},
      {"no final line feed", whole.substr(0, whole.size() - 1), 12},
  };
  for (const Cut& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(Path("clc.ind").c_str());
    WriteWholeFile(Path("clc.log"), c.bytes);
    ASSERT_EQ(Open(kNews), 1);
    EXPECT_EQ(g_topic.first, 10);
    EXPECT_EQ(g_topic.last, c.last);
    EXPECT_EQ(scanmsg(10), 1);
    EXPECT_EQ(scanmsg(c.last), 1);
    logclose();
    EXPECT_EQ(ReadWholeFile(Path("clc.log")), c.bytes);
  }

  // An index made from the whole log, then the log loses its last message.
  WriteWholeFile(Path("clc.log"), whole);
  DeleteFileA(Path("clc.ind").c_str());
  ASSERT_EQ(Open(kNews), 1);
  logclose();
  WriteWholeFile(Path("clc.log"), firstTwo);
  Recorded() = UiRecord{};
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(g_topic.last, 11);
  EXPECT_EQ(scanmsg(12), 0);
  EXPECT_EQ(ReadWholeFile(Path("clc.log")), firstTwo);
}

TEST_F(TopicOpenTest, ReadMarkIsReconciledAndKeptAtClose) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  logclose();
  struct Mark {
    int32_t stored;
    int unreadAfter;  // read bits after the open
    int32_t keptAtClose;
  } cases[] = {{9, 3, 9}, {12, 0, 12}, {11, 1, 11}, {500, 0, 12}, {3, 3, 9}};
  for (const Mark& m : cases) {
    SCOPED_TRACE(m.stored);
    Record(kNews)->readMark = m.stored;
    ASSERT_EQ(Open(kNews), 1);
    int unread = 0;
    for (int i = 0; i < LogCva.Count(); ++i) unread += !(static_cast<MsgIndexRec*>(LogCva.At(i))->flags & kMsgRead);
    EXPECT_EQ(unread, m.unreadAfter);
    logclose();
    EXPECT_EQ(Record(kNews)->readMark, m.keptAtClose);
    EXPECT_EQ(Record(kNews)->waiting, m.unreadAfter);
  }
}

TEST_F(TopicOpenTest, CloseWritesTheIndexOnlyWhenNoOtherInstanceRewroteIt) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  logclose();
  std::string written = ReadWholeFile(Path("clc.ind"));

  // Read bits alone do not rewrite a shared index.
  Record(kNews)->readMark = 12;
  ASSERT_EQ(Open(kNews), 1);
  logclose();
  EXPECT_EQ(ReadWholeFile(Path("clc.ind")), written);

  // A change of the index is written back...
  ASSERT_EQ(Open(kNews), 1);
  g_topic.indexChanged = true;
  static_cast<MsgIndexRec*>(LogCva.At(0))->flags |= kMsgKeep;
  logclose();
  EXPECT_NE(ReadWholeFile(Path("clc.ind")), written);

  // ...unless another instance rewrote the file since this one opened it.
  ASSERT_EQ(Open(kNews), 1);
  g_topic.indexChanged = true;
  std::string theirs = IndexFile(11007, 10, 12, Entries());
  WriteWholeFile(Path("clc.ind"), theirs);
  HANDLE h = CreateFileA(Path("clc.ind").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME later;
  GetSystemTimeAsFileTime(&later);
  ULARGE_INTEGER t{{later.dwLowDateTime, later.dwHighDateTime}};
  t.QuadPart += 36000000000ull;  // an hour on
  later = {t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &later);
  CloseHandle(h);
  logclose();
  EXPECT_EQ(ReadWholeFile(Path("clc.ind")), theirs);
}

TEST_F(TopicOpenTest, MissingMessageWhileOpeningOffersRepair) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  logclose();

  Recorded() = UiRecord{};
  Recorded().answer = IDNO;
  g_throwOnBrowse = 1;
  EXPECT_EQ(Open(kNews), 0);
  EXPECT_EQ(g_topic.log, nullptr);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("has detected a problem with folder 'Net:Comp.Lang.C/All'"), std::string::npos);
  EXPECT_EQ(Recorded().boxes[0].find("%PROGRAM%"), std::string::npos);

  Recorded() = UiRecord{};
  Recorded().answer = IDYES;
  g_throwOnBrowse = 1;
  EXPECT_EQ(Open(kNews), 1);
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(Listing(false), kNewsListing);
  logclose();

  // A repair that meets the same problem again gives up instead of asking forever.
  Recorded() = UiRecord{};
  g_throwOnBrowse = 5;
  EXPECT_EQ(Open(kNews), 0);
  EXPECT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(g_topic.log, nullptr);
  EXPECT_FALSE(g_topic.guard);
}

TEST_F(TopicOpenTest, QuietLookupsOfMissingMessages) {
  WriteWholeFile(Path("clc.log"), NewsLog() + SeparatorMessage(kNews, 14, "cy@x.org", kDate, "Subject: x\n\nbody\n"));
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_EQ(msgindex(11, 1), 1);
  EXPECT_EQ(getmsghdr(12, 1)->number, 12);
  for (long missing : {13L, 9L, 15L}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(msgindex(missing, 1), -1);
    MsgIndexRec* standBy = getmsghdr(missing, 1);
    EXPECT_EQ(standBy->number, missing);
    EXPECT_EQ(standBy->flags, kMsgMissing);
    EXPECT_EQ(scanmsg(missing), 0);
  }
  EXPECT_TRUE(Recorded().boxes.empty());
  // Not quiet: reported, and the command abandoned.
  static int aborted;
  aborted = 0;
  g_topicOpenHooks.abortCommand = [] { ++aborted; };
  EXPECT_EQ(msgindex(13, 0), -1);
  EXPECT_EQ(aborted, 1);
  ASSERT_FALSE(Recorded().boxes.empty());
  EXPECT_EQ(Recorded().boxes[0], "Index File Error");
}

TEST_F(TopicOpenTest, SwitchAndReopenMoveBetweenTopics) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  WriteWholeFile(Path("chat.log"), Scrambled(NewsLog()));
  SwitchTopic(kNews);
  EXPECT_STREQ(g_topic.openName, kNews);
  SwitchTopic(kChat);
  EXPECT_STREQ(g_topic.openName, kChat);
  EXPECT_STREQ(g_topic.previousName, kNews);
  ASSERT_NE(g_topic.log, nullptr);

  // A switch asked for while an open runs does nothing.
  static bool nestedResult;
  g_topicOpenHooks.browse = [] {
    SwitchTopic(kNews);
    nestedResult = logopen() == 0;
  };
  SwitchTopic(kChat);
  EXPECT_TRUE(nestedResult);
  EXPECT_STREQ(g_topic.openName, kChat);
  g_topicOpenHooks.browse = Browse;

  EXPECT_EQ(ReopenTopic(), 1);
  EXPECT_STREQ(g_topic.openName, kChat);
  Recorded() = UiRecord{};
  EXPECT_EQ(ReopenTopic(), 0);
  ASSERT_FALSE(Recorded().status.empty());
  EXPECT_EQ(Recorded().status.back(), "No folder to rejoin");
}

TEST_F(TopicOpenTest, MissingLogIsReportedAndNothingStaysOpen) {
  EXPECT_EQ(Open(kNews), 0);
  EXPECT_EQ(g_topic.log, nullptr);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "Can't find message file for folder 'Net:Comp.Lang.C/All'");
  EXPECT_EQ(Open("net:no.such/folder"), 0);
  EXPECT_FALSE(g_topic.guard);
}

}  // namespace

namespace {

int g_nextNewCalls = 0;

TEST_F(TopicOpenTest, NextWaitingFolderSkipsResignedHiddenAndVisitedFolders) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  AddFolder("quorl:old/resigned", "old.log", CONF_RESIGNED);
  AddFolder("quorl:other/hidden", "hidden.log", 0);
  g_nextNewCalls = 0;
  g_topicOpenHooks.nextNewMessage = [] { ++g_nextNewCalls; };
  g_topicOpenHooks.resignFilter = [](const ConfRec* rec) { return std::strstr(rec->name, "hidden") != nullptr; };
  for (const char* name : {"quorl:old/resigned", "quorl:other/hidden"}) Record(name)->waiting = 4;

  // Only folders that are resigned or hidden wait: nothing to move to.
  Record(kNews)->readMark = 9;
  ASSERT_EQ(Open(kNews), 1);
  NextWaitingFolder();
  EXPECT_NE(g_topic.log, nullptr) << "the open topic stays open";
  EXPECT_EQ(g_nextNewCalls, 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "No messages waiting in other folders");

  // A visited folder still counts: a new cycle starts.
  Record(kChat)->waiting = 2;
  Record(kChat)->flags |= CONF_VISITED;
  NextWaitingFolder();
  EXPECT_EQ(g_topic.log, nullptr);
  EXPECT_EQ(g_nextNewCalls, 1);
  EXPECT_EQ(Record(kChat)->flags & CONF_VISITED, 0u);
  EXPECT_NE(Record(kNews)->flags & CONF_VISITED, 0u) << "the closed folder still has unread messages";

  // With no topic open it goes straight to the next new message.
  NextWaitingFolder();
  EXPECT_EQ(g_nextNewCalls, 2);
}

}  // namespace

namespace {

TEST_F(TopicOpenTest, IndexThatPointsAtTheWrongMessageIsRebuiltByTheFirstRead) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  std::vector<IndexEntry> entries = Entries();
  logclose();
  std::swap(entries[0].logOffset, entries[2].logOffset);
  WriteWholeFile(Path("clc.ind"), IndexFile(11007, 10, 12, entries));

  Recorded() = UiRecord{};
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_FALSE(Rebuilt());
  EXPECT_EQ(scanmsg(10), 1) << "the miss rebuilds the index and finds the message";
  EXPECT_TRUE(g_topic.indexChanged);
  EXPECT_EQ(Listing(false), kNewsListing);
  EXPECT_EQ(scanmsg(12), 1);
  logclose();
  EXPECT_EQ(ReadWholeFile(Path("clc.log")), NewsLog());
}

// The file's write time moved by the given number of seconds.
void ShiftFileTime(const std::string& path, long long seconds) {
  HANDLE h =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME written;
  GetFileTime(h, nullptr, nullptr, &written);
  ULARGE_INTEGER t{{written.dwLowDateTime, written.dwHighDateTime}};
  t.QuadPart += static_cast<unsigned long long>(seconds * 10000000LL);
  written = {t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
}

TEST_F(TopicOpenTest, MarksMadeAfterARebuildOfTheOpenTopicAreKeptAtClose) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  logclose();
  // The index an earlier session wrote, well before this open.
  ShiftFileTime(Path("clc.ind"), -3600);
  ASSERT_EQ(Open(kNews), 1);

  // The import program rewrote the log meanwhile: every message moved.
  WriteWholeFile(
      Path("clc.log"),
      SeparatorMessage(kNews, 9, "eve@x.org", kDate, "From: eve@x.org\nSubject: First\n\nHi.\n") + NewsLog());
  ASSERT_EQ(scanmsg(12), 1) << "the miss rebuilds the index and finds the message";
  int slot = msgindex(12, 1);
  ASSERT_GE(slot, 0);
  static_cast<MsgIndexRec*>(LogCva.At(slot))->flags |= kMsgKeep;
  logclose();

  ASSERT_EQ(Open(kNews), 1);
  EXPECT_EQ(g_topic.first, 9);
  ASSERT_GE(msgindex(12, 1), 0);
  EXPECT_TRUE(static_cast<MsgIndexRec*>(LogCva.At(msgindex(12, 1)))->flags & kMsgKeep) << "the mark was lost";
}

TEST_F(TopicOpenTest, ImpossibleRangeInTheIndexHeaderRebuilds) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  std::vector<IndexEntry> entries = Entries();
  logclose();
  WriteWholeFile(Path("clc.ind"), IndexFile(11007, 10, 2147483647, entries));
  Recorded() = UiRecord{};
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(g_topic.last, 12);
  EXPECT_EQ(Record(kNews)->last, 12) << "conf.ww would number the next import from it";
}

TEST_F(TopicOpenTest, RebuildTakesSubjectsOfAnyLength) {
  // The rebuild keeps each subject for threading by subject; a long one once
  // ran past a buffer on the stack.
  std::string subject(180, 's');
  WriteWholeFile(Path("clc.log"),
                 SeparatorMessage(kNews, 10, "bob@example.com", kDate,
                                  "From: Bob <bob@example.com>\nSubject: Re: " + subject + "\n\nText.\n"));
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_TRUE(Rebuilt());
  ASSERT_EQ(LogCva.Count(), 1);
  EXPECT_EQ(scanmsg(10), 1);
}

TEST_F(TopicOpenTest, EmptyLogOpensWithNoMessages) {
  WriteWholeFile(Path("clc.log"), "");
  Record(kNews)->readMark = 7;
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_EQ(LogCva.Count(), 0);
  EXPECT_EQ(g_topic.first, 0);
  EXPECT_EQ(g_topic.last, 0);
  EXPECT_EQ(scanmsg(1), 0);
  logclose();
  EXPECT_EQ(Record(kNews)->waiting, 0);
  EXPECT_EQ(Record(kNews)->readMark, 0);
}

}  // namespace

namespace {

TEST_F(TopicOpenTest, RebuildKeepsTheReadMarkWhenItFitsTheNewRange) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  struct Mark {
    int32_t stored;
    int unreadAfter;
  } cases[] = {{9, 3}, {11, 1}, {12, 0}, {500, 0}, {3, 0}};
  for (const Mark& m : cases) {
    SCOPED_TRACE(m.stored);
    DeleteFileA(Path("clc.ind").c_str());
    Record(kNews)->readMark = m.stored;
    ASSERT_EQ(Open(kNews), 1);
    int unread = 0;
    for (int i = 0; i < LogCva.Count(); ++i) unread += !(static_cast<MsgIndexRec*>(LogCva.At(i))->flags & kMsgRead);
    EXPECT_EQ(unread, m.unreadAfter);
    logclose();
    EXPECT_EQ(Record(kNews)->waiting, m.unreadAfter);
  }
}

}  // namespace

namespace {

TEST_F(TopicOpenTest, ExclusiveOpenRequestIsClearedByEveryAttempt) {
  // Failing quietly: pruning reports for itself.
  g_topic.exclusiveOpen = true;
  EXPECT_EQ(Open(kNews), 0);
  EXPECT_FALSE(g_topic.exclusiveOpen);
  EXPECT_TRUE(Recorded().boxes.empty());

  WriteWholeFile(Path("clc.log"), NewsLog());
  g_topic.exclusiveOpen = true;
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_FALSE(g_topic.exclusiveOpen);
  // Others may not even read the log while it is held this way.
  HANDLE other = CreateFileA(Path("clc.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  logclose();
}

}  // namespace

namespace {

int g_ghostChecks = 0, g_ghostRefreshes = 0;
bool g_ghostsChanged = false;

// The user's own addresses and the group's names come from the service's
// settings, so a rebuild marks what the user wrote and what the group wrote.
TEST_F(TopicOpenTest, RebuildMarksInvolvementFromTheServiceSettings) {
  ASSERT_TRUE(WriteIniString("Service net", "Name", "Me"));
  ASSERT_TRUE(WriteIniString("Service net", "Email Address", "me@home.example"));
  ASSERT_TRUE(WriteIniString("Service net", "Personal Address", "bob@example.com"));
  ASSERT_TRUE(WriteIniString("Service net", "Group Names", "carol_jones;*zed*"));
  g_service = ServiceSettings{};  // settings of an earlier test are not this directory's
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  std::vector<Listed> expected = kNewsListing;
  expected[0].flags |= kMsgByUser;        // the personal address
  expected[2].flags |= kMsgConcernsUser;  // a group name
  EXPECT_EQ(Listing(false), expected);
  logclose();
  g_service = ServiceSettings{};
}

TEST_F(TopicOpenTest, CloseRecomputesTheReadMarkOnlyWithTheUsersOption) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  for (bool option : {false, true}) {
    g_recomputeReadMark = option;
    ASSERT_EQ(Open(kNews), 1);
    MarkReadUpTo(LogCva, 0);  // nothing read: the first message is the first unread
    logclose();
    EXPECT_EQ(Record(kNews)->readMark, 9) << option;
    EXPECT_EQ(Record(kNews)->waiting, 3) << option;
    EXPECT_EQ(g_topic.readMark, option ? 0 : 9) << option;
  }
  g_recomputeReadMark = false;
}

TEST_F(TopicOpenTest, OwnMessagesAreFoundByNumberFromTheirFromField) {
  ASSERT_TRUE(WriteIniString("Service net", "Email Address", "ANN@x.org"));
  g_service = ServiceSettings{};
  WriteWholeFile(Path("clc.log"), NewsLog());
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_EQ(IsOwnMessage(11), 1) << "From: Ann <ann@x.org>";
  EXPECT_EQ(IsOwnMessage(10), 0);
  EXPECT_EQ(IsOwnMessage(12), 0);
  EXPECT_EQ(IsOwnMessage(500), 0) << "not in the folder";
  EXPECT_EQ(scanmsg(12), 1) << "the reader moves on as before";
  logclose();
  g_service = ServiceSettings{};
}

TEST_F(TopicOpenTest, OpenRefreshesTheOutbasketGhostsOnlyWhenTheyChanged) {
  WriteWholeFile(Path("clc.log"), NewsLog());
  g_topicOpenHooks.ghostsChanged = [] {
    ++g_ghostChecks;
    return g_ghostsChanged;
  };
  g_topicOpenHooks.refreshGhosts = [] { ++g_ghostRefreshes; };
  for (bool changed : {false, true}) {
    g_ghostChecks = g_ghostRefreshes = 0;
    g_ghostsChanged = changed;
    ASSERT_EQ(Open(kNews), 1);
    EXPECT_EQ(g_ghostChecks, 1);
    EXPECT_EQ(g_ghostRefreshes, changed ? 1 : 0);
    logclose();
  }
}

}  // namespace

namespace {

// The rebuild's walk on several threads, with pieces small enough that the
// cuts fall in headers and bodies, writes the files a walk on one thread
// writes and tells the same notices.
TEST_F(TopicOpenTest, RebuildOnSeveralThreadsWritesWhatOneThreadWrites) {
  std::string log;
  for (long i = 1; i <= 300; ++i) {
    std::string body = "From: Poster " + std::to_string(i % 5) + " <p" + std::to_string(i % 5) +
                       "@example.com>\nSubject: " + (i % 2 ? "Re: " : "") + "Topic " + std::to_string(i % 13) +
                       "\nMessage-ID: <" + std::to_string(i) + "@example.com>\n\n";
    for (long k = 0; k < i % 9; ++k) body += std::string(static_cast<size_t>(i * k % 120), 'w') + "\n";
    if (i % 17 == 0) body += "==========\n";  // a separator line inside a body
    if (i % 23 == 0) body += "Only the header of this message was collected\n";
    log += SeparatorMessage(kNews, (i * 37) % 311 + 1, "p@example.com", kDate, body,
                            i % 3 ? "Comment to " + std::to_string(i - 1) : "", i % 29 == 0 ? 40 : -1);
    if (i == 150) {
      // A header the reader warns about and keeps.
      std::string header = "==========\n" + std::string(kNews) + " #999, from w@x, 5 chars, 1\n";
      while (header.size() < 8150) header += "X-Pad: padding text\n";
      log += header + "----------\nwarn\n";
    }
  }
  const std::string kFiles[] = {".ind", ".thr", ".id"};
  for (FolderCase c : {FolderCase{kNews, "clc", false}, FolderCase{kChat, "chat", true}}) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(Path((std::string(c.file) + ".log").c_str()), c.scrambled ? Scrambled(log) : log);
    // On one thread; on several; on several with the log held denying all
    // sharing, where no worker can open it and the calling thread walks alone.
    struct Walked {
      RebuildWalkSettings settings;
      bool exclusive;
    };
    const Walked walks[] = {{{1, 0}, false}, {{4, 97}, false}, {{4, 97}, true}};
    std::vector<std::string> written[std::size(walks)], boxes[std::size(walks)];
    for (size_t w = 0; w < std::size(walks); ++w) {
      for (const std::string& extension : kFiles) DeleteFileA(Path((c.file + extension).c_str()).c_str());
      Recorded() = UiRecord{};
      g_rebuildWalk = walks[w].settings;
      g_topic.exclusiveOpen = walks[w].exclusive;
      const int opened = Open(c.name);
      g_rebuildWalk = RebuildWalkSettings();
      ASSERT_EQ(opened, 1);
      EXPECT_TRUE(Rebuilt());
      EXPECT_EQ(g_lastRebuildTimes.threads, walks[w].settings.threads);
      logclose();
      for (const std::string& extension : kFiles)
        written[w].push_back(ReadWholeFile(Path((c.file + extension).c_str())));
      boxes[w] = Recorded().boxes;
    }
    EXPECT_GT(written[0][1].size(), 125u * 250);
    for (size_t w = 1; w < std::size(walks); ++w) {
      for (size_t f = 0; f < std::size(kFiles); ++f)
        EXPECT_TRUE(written[0][f] == written[w][f]) << kFiles[f] << " " << w;
      EXPECT_EQ(boxes[w], boxes[0]) << w;
    }
    EXPECT_EQ(boxes[0].size(), 1u) << "the damaged header's warning";
  }
}

}  // namespace
