// Runs the import program on a data directory built here, then reads the
// result back the way the program does: conf.ww, logopen, the log reader.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <string>

#include "msgbase/import_queue_file.h"
#include "msgbase/import_text.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/topic_fixture.h"

namespace {

constexpr char kDate[] = "Thu, 10 Dec 2026 14:00";

struct Queued {
  std::string file;
  const char* service;
  uint32_t flags;
};

class Import32Test : public TopicFixture {
 protected:
  void Queue(const std::vector<Queued>& files) {
    VirtualArray queue("q", sizeof(ImportQueueEntry));
    for (const Queued& q : files) {
      ImportQueueEntry e = {};
      lstrcpynA(e.path, Path(q.file.c_str()).c_str(), sizeof e.path);
      lstrcpynA(e.service, q.service, sizeof e.service);
      lstrcpynA(e.kind, "messages", sizeof e.kind);
      e.flags = q.flags;
      queue.Append(&e);
    }
    FILE* f = std::fopen(Path("import.dat").c_str(), "w+b");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteImportQueue(f, queue));
    std::fclose(f);
  }
  void WriteConf(const std::vector<ConfRec>& recs) {
    VirtualArray list("l", sizeof(ConfRec));
    for (const ConfRec& r : recs) list.Append(&r);
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, list, 0));
    std::fclose(f);
  }
  DWORD Run() {
    std::string command = std::string("import32.exe \"") + dir_ + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(IMPORT32_EXE, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }
  ConfRec* Record(const char* name) {
    for (int i = 0; i < Conferences.Count(); ++i) {
      auto* rec = static_cast<ConfRec*>(Conferences.At(i));
      if (!lstrcmpiA(rec->name, name)) return rec;
    }
    return nullptr;
  }
  // Every message of a log as the reader parses it: number -> header and first body line.
  struct Seen {
    std::string author;
    long parent;
    std::string subject;
  };
  std::map<long, Seen> ReadLog(const ConfRec& rec) {
    MemoryLog log;
    log.bytes = ReadWholeFile(Path(rec.baseName));
    auto reader = OpenReader(log, (rec.flags & CONF_SCRAMBLED) != 0);
    std::map<long, Seen> out;
    while (readmsgline(*reader) > 0) {
      MessageHeader h;
      long n = IsMessageStart(*reader, &h);
      if (!n) continue;
      std::string author = h.author;
      if (!author.empty() && author.back() == ',') author.pop_back();
      readmsgline(*reader);
      std::string first(reader->line, reader->lineLength);
      while (!first.empty() && (first.back() == '\n' || first.back() == '\r')) first.pop_back();
      out[n] = {author, h.parent, first};
    }
    return out;
  }
};

TEST_F(Import32Test, QueuedFilesLandInTheirTopicsInOrder) {
  // An existing topic with one message; the batch continues its numbering.
  ConfRec chat = MakeConf("quorl:news/chat", "chat.log", 7, 7);
  WriteConf({chat});
  WriteWholeFile(Path("chat.log"),
                 SeparatorMessage("quorl:news/chat", 7, "old", kDate, "Earlier\n"));
  WriteWholeFile(Path("chat.ind"), "stale");

  WriteWholeFile(Path("local.tmp"), NewFolderPragma("notes", "mine") +
                                        ImportMessageText({"notes/mine", 0, "alice", kDate, 0}, "Shopping\r\nmilk\r\n"));
  WriteWholeFile(Path("bad.tmp"), "==========\r\nnot a header at all\r\n----------\r\n");
  WriteWholeFile(Path("batch.tmp"),
                 ImportMessageText({"quorl:news/chat", 0, "bob", kDate, 0}, "First topic\r\nbody one\r\n") +
                     ImportMessageText({"quorl:news/chat", 0, "carol", kDate, 8}, "Re: First topic\r\nagreed\r\n"));
  Queue({{"local.tmp", "local", IMPORT_DELETE_AFTER}, {"bad.tmp", "quorl", IMPORT_DELETE_AFTER},
         {"batch.tmp", "quorl", 0}});

  ASSERT_EQ(Run(), 0u);

  // The queue is empty: its terminating record comes right after the header.
  std::string dat = ReadWholeFile(Path("import.dat"));
  ASSERT_GT(dat.size(), static_cast<size_t>(IMPORT_QUEUE_HEADER_BYTES));
  EXPECT_EQ(dat[IMPORT_QUEUE_HEADER_BYTES], '\0');

  EXPECT_FALSE(FileExists(Path("local.tmp")));  // asked to be deleted
  EXPECT_TRUE(FileExists(Path("batch.tmp")));
  EXPECT_TRUE(FileExists(Path("bad.tmp")));     // malformed: kept for a look
  EXPECT_TRUE(FileExists(Path("confnew.ww")));
  EXPECT_FALSE(FileExists(Path("chat.ind")));
  std::string report = ReadWholeFile(Path("import.log"));
  EXPECT_NE(report.find("local.tmp: 1 messages imported"), std::string::npos) << report;
  EXPECT_NE(report.find("bad.tmp: not imported"), std::string::npos) << report;
  EXPECT_NE(report.find("batch.tmp: 2 messages imported"), std::string::npos) << report;

  ASSERT_EQ(rdconf(0), 1);
  ConfRec* mine = Record("notes/mine");
  ASSERT_TRUE(mine);
  EXPECT_EQ(mine->first, 1);
  EXPECT_EQ(mine->last, 1);
  ConfRec* news = Record("quorl:news/chat");
  ASSERT_TRUE(news);
  EXPECT_EQ(news->first, 7);
  EXPECT_EQ(news->last, 9);

  struct Want {
    const char* folder;
    long number;
    const char* author;
    const char* subject;
    long parent;
  };
  const Want wants[] = {
      {"notes/mine", 1, "alice", "Shopping", 0},
      {"quorl:news/chat", 7, "old", "Earlier", 0},
      {"quorl:news/chat", 8, "bob", "First topic", 0},
      {"quorl:news/chat", 9, "carol", "Re: First topic", 8},
  };
  for (const Want& w : wants) {
    SCOPED_TRACE(std::string(w.folder) + " #" + std::to_string(w.number));
    ConfRec* rec = Record(w.folder);
    ASSERT_TRUE(rec);
    lstrcpynA(g_topic.openName, w.folder, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1) << (Recorded().boxes.empty() ? std::string("no box") : Recorded().boxes.back());
    MsgIndexRec* hdr = getmsghdr(w.number, 1);
    ASSERT_TRUE(hdr);
    EXPECT_EQ(hdr->number, w.number);
    EXPECT_EQ(hdr->commentTo, w.parent);
    logclose();
    auto seen = ReadLog(*rec);
    ASSERT_TRUE(seen.count(w.number));
    EXPECT_EQ(seen[w.number].author, w.author);
    EXPECT_EQ(seen[w.number].subject, w.subject);
  }
}

TEST_F(Import32Test, KnownNumberReplacesItsMessageInAScrambledTopic) {
  ConfRec chat = MakeConf("quorl:news/secret", "secret.log", 3, 4, CONF_SCRAMBLED);
  WriteConf({chat});
  WriteWholeFile(Path("secret.log"),
                 Scramble(SeparatorMessage("quorl:news/secret", 3, "dave", kDate, "Oops\nsent too soon\n") +
                          SeparatorMessage("quorl:news/secret", 4, "erin", kDate, "Re: Oops\nsaw it\n", "Comment to 3.")));
  WriteWholeFile(Path("erase.tmp"), WithdrawalText({"quorl:news/secret", 3, "dave", kDate, 0}, false) +
                                        ImportMessageText({"quorl:news/secret", 0, "fred", kDate, 4}, "Re: Oops\r\nme too\r\n"));
  Queue({{"erase.tmp", "quorl", 0}});

  ASSERT_EQ(Run(), 0u);
  ASSERT_EQ(rdconf(0), 1);
  ConfRec* rec = Record("quorl:news/secret");
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->last, 5);
  auto seen = ReadLog(*rec);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[3].author, "dave");
  EXPECT_EQ(seen[3].subject, " ** Withdrawn by author            ** ");
  EXPECT_EQ(seen[4].subject, "Re: Oops");
  EXPECT_EQ(seen[4].parent, 3);
  EXPECT_EQ(seen[5].author, "fred");
  EXPECT_EQ(seen[5].parent, 4);

  lstrcpynA(g_topic.openName, rec->name, sizeof g_topic.openName);
  ASSERT_EQ(logopen(), 1);
  EXPECT_EQ(g_topic.first, 3);
  EXPECT_EQ(g_topic.last, 5);
  EXPECT_EQ(LogCva.Count(), 3);
}

TEST_F(Import32Test, MalformedFilesAreReportedKeptAndSkipped) {
  WriteConf({MakeConf("quorl:news/chat", "chat.log", 0, 0)});
  const std::string good = ImportMessageText({"quorl:news/chat", 0, "gina", kDate, 0}, "Fine\r\n");
  struct Bad {
    const char* file;
    std::string text;
    const char* reason;
  };
  const Bad bads[] = {
      {"short.tmp", "==========\r\nquorl:news/chat #0, from x, 500 chars, Mon\r\n----------\r\nhi\r\n",
       "shorter than its stated length"},
      {"noend.tmp", "==========\r\nquorl:news/chat #0, from x, 2 chars, Mon\r\nhi\r\n", "without its end line"},
      {"nohead.tmp", "==========\r\n", "without a header line"},
      {"block.tmp", "!start quorl:news/chat File\r\ntext\r\n", "without \"!end\""},
      {"junk.tmp", "hello\r\n", "unexpected line"},
      {"folder.tmp", "#pragma newfolder=nofolder\r\n", "bad new folder"},
  };
  std::vector<Queued> queue;
  for (const Bad& b : bads) {
    // Each bad file carries a good message first: none of a bad file is taken.
    WriteWholeFile(Path(b.file), good + b.text);
    queue.push_back({b.file, "quorl", IMPORT_DELETE_AFTER});
  }
  WriteWholeFile(Path("good.tmp"), good);
  queue.push_back({"good.tmp", "quorl", 0});
  Queue(queue);

  ASSERT_EQ(Run(), 0u);
  std::string report = ReadWholeFile(Path("import.log"));
  for (const Bad& b : bads) {
    SCOPED_TRACE(b.file);
    EXPECT_TRUE(FileExists(Path(b.file)));
    size_t at = report.find(std::string(b.file) + ": not imported: ");
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_NE(report.find(b.reason, at), std::string::npos) << report;
  }
  EXPECT_NE(report.find("good.tmp: 1 messages imported"), std::string::npos) << report;
  EXPECT_EQ(ReadWholeFile(Path("import.dat"))[IMPORT_QUEUE_HEADER_BYTES], '\0');
  ASSERT_EQ(rdconf(0), 1);
  ConfRec* rec = Record("quorl:news/chat");
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->last, 1);
  EXPECT_EQ(ReadLog(*rec).size(), 1u);
}

}  // namespace
