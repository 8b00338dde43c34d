#include "msgbase/side_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/index_bytes.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/topic_index.h"
#include "msgbase/topic_open.h"

namespace {

const char kNews[] = "net:comp.lang.c/all";
const char kChat[] = "quorl:chat/general";
const char kOpen[] = "quorl:open/topic";
const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";

std::string SideLog(const char* folder) {
  return SeparatorMessage(folder, 10, "bob@example.com", kDate,
                          "From: Bob <bob@example.com>\nSubject: Pointers\n\nQuestion text.\n") +
         SeparatorMessage(folder, 11, "ann@x.org", kDate, "From: Ann <ann@x.org>\nSubject: Re: Pointers\n\nYes.\n",
                          "Comment to 10") +
         SeparatorMessage(folder, 12, "zed@x.org", kDate, "From: Zed <zed@x.org>\nSubject: Other\n\nMy answer.\n");
}

std::string OpenLog() {
  return SeparatorMessage(kOpen, 500, "kim@x.org", kDate, "From: Kim <kim@x.org>\nSubject: Open one\n\nHello.\n") +
         SeparatorMessage(kOpen, 501, "lee@x.org", kDate, "From: Lee <lee@x.org>\nSubject: Open two\n\nHi.\n");
}

void NoBrowse() {}

struct Summary {
  int result;
  std::string author, subject;
  bool operator==(const Summary&) const = default;
};
void PrintTo(const Summary& s, std::ostream* os) {
  *os << "{" << s.result << ", '" << s.author << "', '" << s.subject << "'}";
}

Summary SummaryOf(CFolder& folder, long number) {
  char author[CFolder::kAuthorSize] = "x";
  char subject[CFolder::kSubjectSize] = "x";
  int result = folder.GetSummary(number, author, sizeof author, subject, sizeof subject);
  return {result, author, subject};
}

// The open topic as a reader of it would notice a change.
struct TopicSnapshot {
  std::string openName, logPath;
  long first, last, readMark;
  FILE* log;
  void* currentFolder;
  std::vector<std::string> records;
  bool operator==(const TopicSnapshot&) const = default;
};

TopicSnapshot Snapshot() {
  TopicSnapshot s{g_topic.openName, g_topic.logPath, g_topic.first,         g_topic.last,
                  g_topic.readMark, g_topic.log,     CurrentFolder.element, {}};
  for (int i = 0; i < LogCva.Count(); ++i) {
    std::string r(static_cast<const char*>(LogCva.At(i)), sizeof(MsgIndexRec));
    r.append(static_cast<const char*>(IndexArray.At(i)), sizeof(IndexRec));
    s.records.push_back(r);
  }
  return s;
}

class SideFolderTest : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    g_topicOpenHooks.browse = NoBrowse;
    AddFolder(kNews, "clc.log", 0);
    AddFolder(kChat, "chat.log", CONF_SCRAMBLED);
    AddFolder(kOpen, "open.log", 0);
  }
  int OpenTopic(const char* name) {
    lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
    return logopen();
  }
  // Writes a folder's log and has the topic open build its index and thread
  // file, then closes it again.
  void MakeFolder(const char* name, const char* base, bool scrambled) {
    std::string log = SideLog(name);
    WriteWholeFile(Path((std::string(base) + ".log").c_str()), scrambled ? Scrambled(log) : log);
    ASSERT_EQ(OpenTopic(name), 1);
    logclose();
    ASSERT_TRUE(FileExists(Path((std::string(base) + ".ind").c_str())));
  }
  std::vector<std::string> FolderFiles(const char* base) {
    std::vector<std::string> out;
    for (const char* ext : {".log", ".ind", ".thr", ".id"})
      out.push_back(ReadWholeFile(Path((std::string(base) + ext).c_str())));
    return out;
  }
};

const std::vector<Summary> kSideSummaries = {
    {1, "bob@example.com", "Pointers"},
    {1, "ann@x.org", "Yes."},  // a comment shows its summary line
    {1, "zed@x.org", "Other"},
};

TEST_F(SideFolderTest, ReadsAnotherFolderWhileATopicIsOpenAndLeavesTheTopicAlone) {
  struct Case {
    const char* name;
    const char* base;
    bool scrambled;
  };
  for (Case c : {Case{kNews, "clc", false}, Case{kChat, "chat", true}}) {
    SCOPED_TRACE(c.name);
    MakeFolder(c.name, c.base, c.scrambled);
    std::vector<std::string> files = FolderFiles(c.base);
    WriteWholeFile(Path("open.log"), OpenLog());
    ASSERT_EQ(OpenTopic(kOpen), 1);
    TopicSnapshot before = Snapshot();
    ASSERT_EQ(before.records.size(), 2u);

    {
      CFolder folder;
      ASSERT_NE(folder.Open(c.name), 0);
      EXPECT_STREQ(folder.Name(), c.name);
      std::vector<Summary> got;
      for (long n : {10, 11, 12}) got.push_back(SummaryOf(folder, n));
      EXPECT_EQ(got, kSideSummaries);
      for (long n : {9, 13, 500, 501}) {
        EXPECT_EQ(SummaryOf(folder, n), (Summary{0, "", ""})) << n;
        EXPECT_FALSE(folder.HasMessage(n)) << n;
      }
      for (long n : {10, 11, 12}) EXPECT_TRUE(folder.HasMessage(n)) << n;
      EXPECT_EQ(Snapshot(), before) << "while the side folder is open";
    }

    EXPECT_EQ(Snapshot(), before) << "after the side folder is gone";
    EXPECT_EQ(scanmsg(501), 1);
    EXPECT_EQ(scanmsg(10), 0);
    logclose();
    EXPECT_EQ(FolderFiles(c.base), files) << "the side folder's files are only read";
    EXPECT_TRUE(Recorded().boxes.empty());
  }
}

TEST_F(SideFolderTest, FolderNotInTheListAndCloseLeaveNothingToFind) {
  MakeFolder(kNews, "clc", false);
  CFolder folder;
  EXPECT_EQ(folder.Open("net:no.such/group"), 0);
  EXPECT_STREQ(folder.Name(), "");
  EXPECT_FALSE(folder.HasMessage(10));
  EXPECT_EQ(SummaryOf(folder, 10), (Summary{0, "", ""}));

  ASSERT_NE(folder.Open(kNews), 0);
  EXPECT_TRUE(folder.HasMessage(10));
  folder.Close();
  EXPECT_STREQ(folder.Name(), "");
  for (long n : {10, 11, 12}) {
    EXPECT_FALSE(folder.HasMessage(n));
    EXPECT_EQ(SummaryOf(folder, n).result, 0);
  }
  // Reopening after a close, and opening over an open folder, read afresh.
  ASSERT_NE(folder.Open(kNews), 0);
  ASSERT_NE(folder.Open(kNews), 0);
  EXPECT_EQ(SummaryOf(folder, 12), kSideSummaries[2]);
  // Short buffers get cut texts and nothing past their ends.
  struct {
    char text[4];
    char guard[8];
  } author, subject;
  std::memset(author.guard, 'G', sizeof author.guard);
  std::memset(subject.guard, 'G', sizeof subject.guard);
  EXPECT_EQ(folder.GetSummary(12, author.text, sizeof author.text, subject.text, sizeof subject.text), 1);
  EXPECT_STREQ(author.text, "zed");
  EXPECT_STREQ(subject.text, "Oth");
  EXPECT_EQ(std::string(author.guard, 8) + std::string(subject.guard, 8), std::string(16, 'G'));
  // A folder closed by the other's open: the scrambled one has no files.
  ASSERT_NE(folder.Open(kChat), 0);
  EXPECT_FALSE(folder.HasMessage(12));
}

TEST_F(SideFolderTest, MissingOrUnusableIndexFindsNothingAndChangesNoFile) {
  MakeFolder(kNews, "clc", false);
  std::string log = ReadWholeFile(Path("clc.log"));
  std::string good = ReadWholeFile(Path("clc.ind"));
  std::vector<IndexEntry> entries;
  {
    ASSERT_EQ(OpenTopic(kNews), 1);
    for (int i = 0; i < LogCva.Count(); ++i) {
      MsgIndexRec m = *static_cast<MsgIndexRec*>(LogCva.At(i));
      IndexRec x = *static_cast<IndexRec*>(IndexArray.At(i));
      entries.push_back({x.logOffset, x.thrOffset, x.date, m.number, m.commentTo, m.flags});
    }
    logclose();
  }
  ASSERT_EQ(entries.size(), 3u);
  std::vector<IndexEntry> pastLog = entries;
  pastLog[2].logOffset = static_cast<uint32_t>(log.size() + 100);
  std::vector<IndexEntry> unordered = entries;
  std::swap(unordered[0].number, unordered[2].number);

  struct Damage {
    const char* what;
    bool present;
    std::string bytes;
  } cases[] = {
      {"missing", false, ""},
      {"empty", true, ""},
      {"cut in its header", true, good.substr(0, 5)},
      {"cut in its records", true, good.substr(0, good.size() - 7)},
      {"unknown version", true, IndexFile(12000, 10, 12, entries)},
      {"older version, left for the topic's open to convert", true, IndexFile(11006, 10, 12, entries)},
      {"count past the file", true,
       IndexFile(11007, 10, 12, entries).replace(10, 6, std::string("\xFF\xFF\x00\x00\x10\x00", 6))},
      {"offset past the log", true, IndexFile(11007, 10, 12, pastLog)},
      {"numbers out of order", true, IndexFile(11007, 10, 12, unordered)},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    DeleteFileA(Path("clc.ind").c_str());
    if (d.present) WriteWholeFile(Path("clc.ind"), d.bytes);
    std::vector<std::string> files = FolderFiles("clc");
    CFolder folder;
    ASSERT_NE(folder.Open(kNews), 0);
    for (long n : {10, 11, 12}) {
      EXPECT_FALSE(folder.HasMessage(n)) << n;
      EXPECT_EQ(SummaryOf(folder, n), (Summary{0, "", ""})) << n;
    }
    folder.Close();
    EXPECT_EQ(FolderFiles("clc"), files);
    EXPECT_EQ(FileExists(Path("clc.ind")), d.present) << "the side reader never makes an index";
  }
  EXPECT_TRUE(Recorded().boxes.empty());

  // The newest version written by hand reads like the one the topic wrote.
  WriteWholeFile(Path("clc.ind"), IndexFile(11007, 10, 12, entries));
  CFolder folder;
  ASSERT_NE(folder.Open(kNews), 0);
  EXPECT_EQ(SummaryOf(folder, 10), kSideSummaries[0]);
}

TEST_F(SideFolderTest, ThreadRecordsThatCannotBeReadGiveEmptySummaries) {
  MakeFolder(kNews, "clc", false);
  std::string thr = ReadWholeFile(Path("clc.thr"));
  ASSERT_EQ(thr.size(), 3 * sizeof(ThreadRecord));

  // The third record cut short, as by a writer stopped half way.
  WriteWholeFile(Path("clc.thr"), thr.substr(0, 2 * sizeof(ThreadRecord) + 10));
  {
    CFolder folder;
    ASSERT_NE(folder.Open(kNews), 0);
    EXPECT_EQ(SummaryOf(folder, 10), kSideSummaries[0]);
    EXPECT_EQ(SummaryOf(folder, 12), (Summary{1, "", ""}));
    EXPECT_TRUE(folder.HasMessage(12));
  }

  // A thread file removed after the open, and none at the open: the numbers
  // are still known, the summaries are not.
  WriteWholeFile(Path("clc.thr"), thr);
  {
    CFolder folder;
    ASSERT_NE(folder.Open(kNews), 0);
    EXPECT_EQ(SummaryOf(folder, 11), kSideSummaries[1]);
    ASSERT_TRUE(DeleteFileA(Path("clc.thr").c_str()));
    EXPECT_TRUE(folder.HasMessage(11));
    EXPECT_EQ(SummaryOf(folder, 11), (Summary{1, "", ""}));
  }
  {
    CFolder folder;
    ASSERT_NE(folder.Open(kNews), 0);
    EXPECT_TRUE(folder.HasMessage(11));
    EXPECT_EQ(SummaryOf(folder, 11), (Summary{0, "", ""}));
  }
  EXPECT_FALSE(FileExists(Path("clc.thr")));
}

TEST_F(SideFolderTest, AnOpenReaderDoesNotBlockAWriterOfTheFolder) {
  MakeFolder(kNews, "clc", false);
  CFolder folder;
  ASSERT_NE(folder.Open(kNews), 0);
  for (const char* ext : {".thr", ".id", ".ind"}) {
    HANDLE h = CreateFileA(Path((std::string("clc") + ext).c_str()).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << ext << " error " << GetLastError();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  // A new message arrives and the folder is opened as the topic: its index,
  // thread file and message-id list are rebuilt and replaced while the
  // reader still holds the old ones.
  std::string log = ReadWholeFile(Path("clc.log"));
  WriteWholeFile(Path("clc.log"), log + SeparatorMessage(kNews, 13, "new@x.org", kDate,
                                                         "From: New <new@x.org>\nSubject: Late\n\nLate.\n"));
  DeleteFileA(Path("clc.ind").c_str());
  ASSERT_EQ(OpenTopic(kNews), 1);
  logclose();
  EXPECT_TRUE(Recorded().boxes.empty()) << (Recorded().boxes.empty() ? "" : Recorded().boxes[0]);
  EXPECT_EQ(ReadWholeFile(Path("clc.thr")).size(), 4 * sizeof(ThreadRecord)) << "the rebuilt thread file is in place";
  EXPECT_NE(ReadWholeFile(Path("clc.id")).find("13"), std::string::npos) << "the rebuilt message-id list is in place";

  // The reader keeps the index it read; the thread records behind it are
  // gone, and it shows none rather than another message's.
  EXPECT_TRUE(folder.HasMessage(12));
  EXPECT_FALSE(folder.HasMessage(13));
  for (long n : {10, 11, 12}) EXPECT_EQ(SummaryOf(folder, n), (Summary{1, "", ""})) << n;
  // Opened again, it sees the new state.
  ASSERT_NE(folder.Open(kNews), 0);
  EXPECT_EQ(SummaryOf(folder, 13), (Summary{1, "new@x.org", "Late"}));
}

}  // namespace
