// Runs the import program on a data directory built here, then reads the
// result back the way the program does: conf.ww, logopen, the log reader.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
  const char* kind = "messages";
};

class Import32Test : public TopicFixture {
 protected:
  void Queue(const std::vector<Queued>& files) {
    VirtualArray queue("q", sizeof(ImportQueueEntry));
    for (const Queued& q : files) {
      ImportQueueEntry e = {};
      lstrcpynA(e.path, Path(q.file.c_str()).c_str(), sizeof e.path);
      lstrcpynA(e.service, q.service, sizeof e.service);
      lstrcpynA(e.kind, q.kind, sizeof e.kind);
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
  // Starts the program on the data directory: named on its command line, or
  // (inDir) as its current directory, as the program starts it.
  PROCESS_INFORMATION Start(const std::string& args = "", bool inDir = false) {
    std::string command = "import32.exe " + (inDir ? args : "\"" + dir_ + "\" " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(IMPORT32_EXE, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        inDir ? dir_.c_str() : nullptr, &si, &pi))
      pi.hProcess = nullptr;
    return pi;
  }
  static DWORD Finish(PROCESS_INFORMATION pi) {
    if (!pi.hProcess) return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }
  DWORD Run(const std::string& args = "", bool inDir = false) { return Finish(Start(args, inDir)); }
  // A run that ends itself hard at the named point, as a kill would.
  DWORD RunDyingAt(const char* point) {
    SetEnvironmentVariableA("IMPORT32_TEST_DIE_AT", point);
    DWORD code = Run();
    SetEnvironmentVariableA("IMPORT32_TEST_DIE_AT", nullptr);
    return code;
  }
  bool QueueEmpty() {
    std::string dat = ReadWholeFile(Path("import.dat"));
    return dat.size() > static_cast<size_t>(IMPORT_QUEUE_HEADER_BYTES) && dat[IMPORT_QUEUE_HEADER_BYTES] == '\0';
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
  WriteWholeFile(Path("chat.log"), SeparatorMessage("quorl:news/chat", 7, "old", kDate, "Earlier\n"));
  WriteWholeFile(Path("chat.ind"), "stale");

  WriteWholeFile(Path("local.tmp"),
                 NewFolderPragma("notes", "mine") +
                     ImportMessageText({"notes/mine", 0, "alice", kDate, 0}, "Shopping\r\nmilk\r\n"));
  WriteWholeFile(Path("bad.tmp"), "==========\r\nnot a header at all\r\n----------\r\n");
  WriteWholeFile(Path("batch.tmp"),
                 ImportMessageText({"quorl:news/chat", 0, "bob", kDate, 0}, "First topic\r\nbody one\r\n") +
                     ImportMessageText({"quorl:news/chat", 0, "carol", kDate, 8}, "Re: First topic\r\nagreed\r\n"));
  // A withdrawal of the local message, and a news batch for a new group.
  WriteWholeFile(Path("withdraw.tmp"), WithdrawalText({"notes/mine", 1, "alice", kDate, 0}, false));
  WriteWholeFile(Path("news.tmp"),
                 NewFolderPragma("comp.test", "all") +
                     ImportMessageText({"net:comp.test/all", 0, "eve@x.org", kDate, 0}, "Asking\r\nquestion\r\n") +
                     ImportMessageText({"net:comp.test/all", 0, "fay@x.org", kDate, 1}, "Re: Asking\r\nanswer\r\n") +
                     ImportMessageText({"net:comp.test/all", 0, "gus@x.org", kDate, 1},
                                       "Re: Asking\r\nOnly the header of this message was collected\r\n"));
  Queue({{"local.tmp", "local", IMPORT_DELETE_AFTER},
         {"bad.tmp", "quorl", IMPORT_DELETE_AFTER},
         {"batch.tmp", "quorl", 0},
         {"withdraw.tmp", "local", IMPORT_DELETE_AFTER},
         {"news.tmp", "net", 0}});

  ASSERT_EQ(Run(), 0u);

  // The queue is empty: its terminating record comes right after the header.
  std::string dat = ReadWholeFile(Path("import.dat"));
  ASSERT_GT(dat.size(), static_cast<size_t>(IMPORT_QUEUE_HEADER_BYTES));
  EXPECT_EQ(dat[IMPORT_QUEUE_HEADER_BYTES], '\0');

  EXPECT_FALSE(FileExists(Path("local.tmp")));  // asked to be deleted
  EXPECT_TRUE(FileExists(Path("batch.tmp")));
  EXPECT_TRUE(FileExists(Path("bad.tmp")));  // malformed: kept for a look
  EXPECT_TRUE(FileExists(Path("confnew.ww")));
  EXPECT_FALSE(FileExists(Path("chat.ind")));
  std::string report = ReadWholeFile(Path("import.log"));
  EXPECT_NE(report.find("local.tmp: 1 messages imported"), std::string::npos) << report;
  EXPECT_NE(report.find("bad.tmp: not imported"), std::string::npos) << report;
  EXPECT_NE(report.find("batch.tmp: 2 messages imported"), std::string::npos) << report;
  EXPECT_NE(report.find("news.tmp: 3 messages imported"), std::string::npos) << report;

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
    uint16_t flags;  // read bits aside
  };
  const Want wants[] = {
      {"notes/mine", 1, "alice", " ** Withdrawn by author            ** ", 0, 0},
      {"quorl:news/chat", 7, "old", "Earlier", 0, 0},
      {"quorl:news/chat", 8, "bob", "First topic", 0, 0},
      {"quorl:news/chat", 9, "carol", "Re: First topic", 8, 0},
      {"net:comp.test/all", 1, "eve@x.org", "Asking", 0, 0},
      {"net:comp.test/all", 2, "fay@x.org", "Re: Asking", 1, 0},
      {"net:comp.test/all", 3, "gus@x.org", "Re: Asking", 1, kMsgHeaderOnly},
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
    EXPECT_EQ(hdr->flags & ~kMsgRead, w.flags);
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
  WriteWholeFile(
      Path("secret.log"),
      Scramble(SeparatorMessage("quorl:news/secret", 3, "dave", kDate, "Oops\nsent too soon\n") +
               SeparatorMessage("quorl:news/secret", 4, "erin", kDate, "Re: Oops\nsaw it\n", "Comment to 3.")));
  WriteWholeFile(Path("erase.tmp"),
                 WithdrawalText({"quorl:news/secret", 3, "dave", kDate, 0}, false) +
                     ImportMessageText({"quorl:news/secret", 0, "fred", kDate, 4}, "Re: Oops\r\nme too\r\n"));
  Queue({{"erase.tmp", "quorl", 0}});

  // The program reads the open topic's log while the import writes it.
  HANDLE reader = CreateFileA(Path("secret.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_EQ(Run(), 0u) << ReadWholeFile(Path("import.log"));
  CloseHandle(reader);
  EXPECT_FALSE(FileExists(Path("secret.log.imo")));
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

TEST_F(Import32Test, DamagedQueueAndEntriesThatCanNeverBeReadAreReportedAndTheRestImported) {
  WriteConf({MakeConf("quorl:news/chat", "chat.log", 0, 0)});
  for (const char* name : {"one.tmp", "two.tmp"})
    WriteWholeFile(Path(name), ImportMessageText({"quorl:news/chat", 0, name, kDate, 0}, "Hello\r\n"));
  CreateDirectoryA(Path("sub").c_str(), nullptr);
  Queue({{"sub", "quorl", 0}, {"import.dat", "quorl", 0}, {"one.tmp", "quorl", 0}});
  // Then an entry whose path has lost its end, and a good one behind it.
  std::string dat = ReadWholeFile(Path("import.dat"));
  dat.resize(dat.size() - sizeof(ImportQueueEntry));
  ImportQueueEntry broken = {}, two = {};
  std::memset(broken.path, 'p', sizeof broken.path);
  lstrcpynA(two.path, Path("two.tmp").c_str(), sizeof two.path);
  lstrcpynA(two.service, "quorl", sizeof two.service);
  lstrcpynA(two.kind, "messages", sizeof two.kind);
  dat.append(reinterpret_cast<const char*>(&broken), sizeof broken);
  dat.append(reinterpret_cast<const char*>(&two), sizeof two);
  const std::string damaged = dat + "cut";
  WriteWholeFile(Path("import.dat"), damaged);

  ASSERT_EQ(Run(), 0u);
  std::string report = ReadWholeFile(Path("import.log"));
  EXPECT_NE(report.find("import.dat: damaged"), std::string::npos) << report;
  EXPECT_NE(report.find("sub: not imported: it is a directory"), std::string::npos) << report;
  EXPECT_NE(report.find("not imported: it is the import program's own import.dat"), std::string::npos) << report;
  EXPECT_NE(report.find("one.tmp: 1 messages imported"), std::string::npos) << report;
  EXPECT_NE(report.find("two.tmp: 1 messages imported"), std::string::npos) << report;
  EXPECT_EQ(ReadWholeFile(Path("import.bad")), damaged);
  EXPECT_TRUE(QueueEmpty());
  ASSERT_EQ(rdconf(0), 1);
  ConfRec* rec = Record("quorl:news/chat");
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->last, 2);
}

TEST_F(Import32Test, ImpossibleRangesInTheFolderListAreRepairedOrRefused) {
  WriteConf({MakeConf("quorl:news/negative", "neg.log", 0, -5), MakeConf("quorl:news/backwards", "back.log", 20, 10),
             MakeConf("quorl:news/top", "top.log", 1, 2147483647)});
  std::vector<Queued> queue;
  for (const char* folder : {"quorl:news/negative", "quorl:news/backwards", "quorl:news/top"}) {
    std::string file = std::string(folder + 11) + ".tmp";
    WriteWholeFile(Path(file.c_str()), ImportMessageText({folder, 0, "gina", kDate, 0}, "Hello\r\n"));
    queue.push_back({file, "quorl", 0});
  }
  Queue(queue);
  ASSERT_EQ(Run(), 0u);
  std::string report = ReadWholeFile(Path("import.log"));
  EXPECT_NE(report.find("folder quorl:news/negative had the impossible range 0 to -5"), std::string::npos) << report;
  EXPECT_NE(report.find("folder quorl:news/backwards had the impossible range 20 to 10"), std::string::npos) << report;
  EXPECT_NE(report.find("top.tmp: not imported: folder quorl:news/top is full"), std::string::npos) << report;
  ASSERT_EQ(rdconf(0), 1);
  EXPECT_EQ(Record("quorl:news/negative")->first, 1);
  EXPECT_EQ(Record("quorl:news/negative")->last, 1);
  EXPECT_EQ(ReadLog(*Record("quorl:news/negative")).count(1), 1u);
  EXPECT_EQ(Record("quorl:news/backwards")->first, 11);
  EXPECT_EQ(Record("quorl:news/backwards")->last, 11);
  EXPECT_EQ(Record("quorl:news/top")->last, 2147483647);
  EXPECT_FALSE(FileExists(Path("top.log")));
}

// A batch whose import is killed at each point in turn and then run again:
// every message lands exactly once, with the numbers an unbroken run gives.
TEST_F(Import32Test, AKilledImportLosesAndRepeatsNothing) {
  // Where the first run dies, and where the run that undoes it dies too.
  struct Kill {
    const char* point;
    const char* thenAt;
  };
  const Kill kills[] = {{"journal", nullptr}, {"rewritten", nullptr}, {"swap", nullptr},      {"append", nullptr},
                        {"flushed", nullptr}, {"conf", nullptr},      {"committed", nullptr}, {"removed", nullptr},
                        {"swap", "undoing"},  {"conf", "undoing"}};
  for (const Kill& kill : kills) {
    const char* point = kill.point;
    SCOPED_TRACE(std::string(point) + (kill.thenAt ? std::string(" then ") + kill.thenAt : ""));
    Recorded().boxes.clear();
    WriteConf({MakeConf("quorl:news/chat", "chat.log", 7, 8)});
    WriteWholeFile(Path("chat.log"),
                   SeparatorMessage("quorl:news/chat", 7, "dave", kDate, "Oops\nsent too soon\n") +
                       SeparatorMessage("quorl:news/chat", 8, "erin", kDate, "Re: Oops\nsaw it\n", "Comment to 7."));
    // The first file withdraws a message (the topic's log is rewritten) and
    // starts a new folder (its log is appended to); the second adds to both.
    WriteWholeFile(Path("one.tmp"),
                   NewFolderPragma("notes", "mine") + WithdrawalText({"quorl:news/chat", 7, "dave", kDate, 0}, false) +
                       ImportMessageText({"quorl:news/chat", 0, "bob", kDate, 8}, "Re: Oops\r\nbob\r\n") +
                       ImportMessageText({"quorl:notes/mine", 0, "al", kDate, 0}, "List\r\nmilk\r\n") +
                       ImportMessageText({"quorl:notes/mine", 0, "cy", kDate, 1}, "Re: List\r\neggs\r\n"));
    WriteWholeFile(Path("two.tmp"),
                   ImportMessageText({"quorl:news/chat", 0, "fred", kDate, 9}, "Re: Oops\r\nfred\r\n") +
                       ImportMessageText({"quorl:notes/mine", 0, "gus", kDate, 0}, "Other\r\ngus\r\n"));
    Queue({{"one.tmp", "quorl", IMPORT_DELETE_AFTER}, {"two.tmp", "quorl", 0}});

    EXPECT_EQ(RunDyingAt(point), 99u);
    if (kill.thenAt) {
      EXPECT_EQ(RunDyingAt(kill.thenAt), 99u);
    }
    ASSERT_EQ(Run(), 0u) << ReadWholeFile(Path("import.log"));

    EXPECT_TRUE(QueueEmpty());
    EXPECT_FALSE(FileExists(Path("one.tmp")));
    EXPECT_TRUE(FileExists(Path("two.tmp")));
    EXPECT_FALSE(FileExists(Path("import.jnl")));
    EXPECT_FALSE(FileExists(Path("chat.log.imo")));
    EXPECT_FALSE(FileExists(Path("chat.log.imp")));
    EXPECT_FALSE(FileExists(Path("chat.log.imo.tmp")));
    ASSERT_EQ(rdconf(0), 1);
    struct Want {
      const char* folder;
      long first, last;
      std::vector<std::pair<long, std::string>> messages;  // number, author
    };
    const Want wants[] = {
        {"quorl:news/chat", 7, 10, {{7, "dave"}, {8, "erin"}, {9, "bob"}, {10, "fred"}}},
        {"quorl:notes/mine", 1, 3, {{1, "al"}, {2, "cy"}, {3, "gus"}}},
    };
    for (const Want& w : wants) {
      SCOPED_TRACE(w.folder);
      ConfRec* rec = Record(w.folder);
      ASSERT_TRUE(rec);
      EXPECT_EQ(rec->first, w.first);
      EXPECT_EQ(rec->last, w.last);
      // Read the way the program reads: each number once, the whole log parsed.
      auto seen = ReadLog(*rec);
      ASSERT_EQ(seen.size(), w.messages.size());
      for (auto& [number, author] : w.messages) EXPECT_EQ(seen[number].author, author);
      lstrcpynA(g_topic.openName, w.folder, sizeof g_topic.openName);
      ASSERT_EQ(logopen(), 1);
      EXPECT_EQ(LogCva.Count(), static_cast<int>(w.messages.size()));
      logclose();
    }
    EXPECT_EQ(ReadLog(*Record("quorl:news/chat"))[7].subject, " ** Withdrawn by author            ** ");
    EXPECT_EQ(ReadLog(*Record("quorl:notes/mine"))[2].parent, 1);
    EXPECT_TRUE(Recorded().boxes.empty());

    // Next round starts from nothing.
    logclose();
    Conferences.SetSize(0);
    for (const char* name : {"conf.ww", "chat.log", "two.tmp", "import.dat", "import.log", "chat.ind"})
      DeleteFileA(Path(name).c_str());
    DeleteFileA(Path("quorl\\notes\\mine").c_str());
    DeleteFileA(Path("quorl\\notes\\mine.ind").c_str());
    DeleteFileA(Path("quorl\\notes\\mine.thr").c_str());
    DeleteFileA(Path("chat.thr").c_str());
  }
}

// The program finds the running import by its windows and asks it to stop;
// it stops without leaving half a file behind, and the next run takes it.
TEST_F(Import32Test, StopsCleanlyWhenAskedThroughItsWindow) {
  WriteConf({MakeConf("quorl:news/chat", "chat.log", 0, 0)});
  WriteWholeFile(Path("one.tmp"), ImportMessageText({"quorl:news/chat", 0, "al", kDate, 0}, "Hello\r\n"));
  Queue({{"one.tmp", "quorl", 0}});
  // While another instance holds the conference list, the import waits for it.
  HANDLE held =
      CreateFileA(Path("conf.ww").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PROCESS_INFORMATION pi = Start();
  ASSERT_TRUE(pi.hProcess);
  HWND window = nullptr;
  char item[128] = "", title[128] = "";
  for (int i = 0; i < 600 && !(window && std::strlen(item) >= 3); ++i) {
    Sleep(100);
    window = FindWindowA("MsgImport", nullptr);
    if (window) GetDlgItemTextA(window, 4292, item, sizeof item);
  }
  if (!window) {
    TerminateProcess(pi.hProcess, 1);  // ours: don't leave it waiting
    Finish(pi);
    CloseHandle(held);
    FAIL() << "no window of class MsgImport";
  }
  EXPECT_NE(std::string(item).find("one.tmp"), std::string::npos) << item;
  GetWindowTextA(window, title, sizeof title);
  EXPECT_NE(std::string(title).find('%'), std::string::npos) << title;
  EXPECT_TRUE(FindWindowA("PLCheckClass", nullptr));
  PostMessageA(window, WM_COMMAND, 2, 0);
  EXPECT_EQ(Finish(pi), 0u);
  CloseHandle(held);

  EXPECT_FALSE(FindWindowA("MsgImport", nullptr));
  EXPECT_FALSE(QueueEmpty());
  EXPECT_FALSE(FileExists(Path("chat.log")));
  EXPECT_FALSE(FileExists(Path("import.jnl")));

  ASSERT_EQ(Run(), 0u);
  EXPECT_TRUE(QueueEmpty());
  ASSERT_EQ(rdconf(0), 1);
  ConfRec* rec = Record("quorl:news/chat");
  ASSERT_TRUE(rec);
  auto seen = ReadLog(*rec);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[1].author, "al");
}

// A topic whose index was found inconsistent comes back as a copy of its log
// queued as "build": it is rebuilt in number order and import.ok says so.
TEST_F(Import32Test, BuildRebuildsAHandedBackTopic) {
  WriteConf({MakeConf("quorl:news/other", "other.log", 0, 0)});
  CreateDirectoryA(Path("quorl").c_str(), nullptr);
  CreateDirectoryA(Path("quorl\\news").c_str(), nullptr);
  WriteWholeFile(Path("quorl\\news\\chat.tmp"),
                 SeparatorMessage("quorl:news/chat", 5, "eve", kDate, "Five\nfirst copy\n") + "stray text\r\n" +
                     SeparatorMessage("quorl:news/chat", 3, "cy", kDate, "Three\nthree\n") +
                     SeparatorMessage("quorl:news/chat", 5, "eve", kDate, "Five\nlater copy\n") +
                     SeparatorMessage("quorl:news/chat", 4, "di", kDate, "Four\nfour\n", "Comment to 3."));
  Queue({{"quorl\\news\\chat.tmp", "quorl", 0x00000C00, "build"}});
  WriteWholeFile(Path("import.ok"), "");  // left from an earlier rebuild

  ASSERT_EQ(Run("build", true), 0u) << ReadWholeFile(Path("import.log"));
  EXPECT_TRUE(FileExists(Path("import.ok"))) << ReadWholeFile(Path("import.log"));
  EXPECT_FALSE(FileExists(Path("quorl\\news\\chat.tmp")));
  EXPECT_TRUE(QueueEmpty());
  ASSERT_EQ(rdconf(0), 1);
  ConfRec* rec = Record("quorl:news/chat");
  ASSERT_TRUE(rec);
  EXPECT_STREQ(rec->baseName, "quorl\\news\\chat");
  EXPECT_EQ(rec->first, 3);
  EXPECT_EQ(rec->last, 5);
  // In number order, the later copy of 5 kept.
  std::string log = ReadWholeFile(Path("quorl\\news\\chat"));
  size_t three = log.find("#3,"), four = log.find("#4,"), five = log.find("#5,");
  EXPECT_LT(three, four);
  EXPECT_LT(four, five);
  EXPECT_EQ(log.find("first copy"), std::string::npos);
  auto seen = ReadLog(*rec);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[4].parent, 3);
  lstrcpynA(g_topic.openName, rec->name, sizeof g_topic.openName);
  ASSERT_EQ(logopen(), 1);
  EXPECT_EQ(LogCva.Count(), 3);
  logclose();

  // A copy whose log has come back meanwhile is not built over it.
  WriteWholeFile(Path("quorl\\news\\chat.tmp"), SeparatorMessage("quorl:news/chat", 6, "fay", kDate, "Six\nsix\n"));
  Queue({{"quorl\\news\\chat.tmp", "quorl", 0x00000C00, "build"}});
  ASSERT_EQ(Run("build", true), 0u);
  EXPECT_FALSE(FileExists(Path("import.ok")));
  EXPECT_TRUE(FileExists(Path("quorl\\news\\chat.tmp")));
  EXPECT_NE(ReadWholeFile(Path("import.log")).find("chat.tmp: not imported"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(Path("quorl\\news\\chat")), log);
}

// Pastes, rethreads, single-line headers and saved news reach their folders
// with the numbers the program expects.
TEST_F(Import32Test, PastesRethreadsAndSavedBatchesLandWhereTheyBelong) {
  WriteConf({MakeConf("quorl:news/chat", "chat.log", 1, 2), MakeConf("notes/keep", "keep.log", 1, 1)});
  WriteWholeFile(Path("chat.log"), SeparatorMessage("quorl:news/chat", 1, "al", kDate, "One\none\n") +
                                       SeparatorMessage("quorl:news/chat", 2, "bo", kDate, "Two\ntwo\n"));
  WriteWholeFile(Path("keep.log"), SeparatorMessage("notes/keep", 1, "me", kDate, "Mine\nmine\n"));
  // Copied messages as the copy buffer holds them (log headers, sizes
  // without CR); the second comments on the first.
  std::string copied =
      "==========\r\nquorl:news/chat #1, from al, 8 chars, Mon\r\n----------\r\nOne\r\none\r\n"
      "==========\r\nquorl:news/chat #2, from bo, 8 chars, Mon\r\nComment to 1.\r\n----------\r\n"
      "Two\r\ntwo\r\n";
  WriteWholeFile(Path("paste.tmp"), "#pragma overridenumber=yes\r\n#pragma override=notes/keep\r\n\r\n" + copied);
  WriteWholeFile(Path("asis.tmp"), "#pragma override=notes/keep\r\n\r\n" + copied);
  // Message 2 made a root again, in its own single-line form.
  WriteWholeFile(Path("thread.tmp"),
                 "#pragma thread=no\r\n>>>quorl:news/chat 2 bo(8)10Dec26 14:00\r\nTwo\r\ntwo\r\n\r\n");
  std::string article = "From: Cy <cy@example.org>\nNewsgroups: comp.misc\nSubject: hi\n\nhello\n";
  WriteWholeFile(Path("news.tmp"),
                 "#pragma newfolder=bench.group01/all\r\n#! rnews " + std::to_string(article.size()) + "\n" + article);
  Queue({{"paste.tmp", "local", 0}, {"asis.tmp", "local", 0}, {"thread.tmp", "quorl", 0}, {"news.tmp", "net", 0}});

  ASSERT_EQ(Run(), 0u);
  EXPECT_TRUE(QueueEmpty());
  ASSERT_EQ(rdconf(0), 1);
  auto keep = ReadLog(*Record("notes/keep"));
  ASSERT_EQ(keep.size(), 5u);
  EXPECT_EQ(keep[1].author, "me");  // never overwritten by a paste
  EXPECT_EQ(keep[2].author, "al");
  EXPECT_EQ(keep[3].author, "bo");
  EXPECT_EQ(keep[3].parent, 2);     // follows its parent's new number
  EXPECT_EQ(keep[4].author, "al");  // 1 was taken: the next number
  EXPECT_EQ(keep[5].author, "bo");
  EXPECT_EQ(keep[5].parent, 1);  // kept as stated
  auto chat = ReadLog(*Record("quorl:news/chat"));
  ASSERT_EQ(chat.size(), 2u);
  EXPECT_EQ(chat[2].parent, 0);
  EXPECT_EQ(chat[2].subject, "Two");
  ConfRec* news = Record("net:comp/misc");
  ASSERT_TRUE(news);
  // New logs lie where a rebuild of the message base looks for them.
  EXPECT_STREQ(news->baseName, "net\\comp\\misc");
  ConfRec* made = Record("net:bench.group01/all");
  ASSERT_TRUE(made);
  EXPECT_STREQ(made->baseName, "net\\bench_group01\\all");
  auto articles = ReadLog(*news);
  ASSERT_EQ(articles.size(), 1u);
  EXPECT_EQ(articles[1].author, "cy@example.org");
  for (const char* folder : {"notes/keep", "quorl:news/chat", "net:comp/misc"}) {
    SCOPED_TRACE(folder);
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1);
    logclose();
  }
}

// Two imports never work on one data directory at once: a second start
// leaves the queue to the one running.
TEST_F(Import32Test, ASecondStartLeavesTheQueueToTheFirst) {
  WriteConf({MakeConf("quorl:news/chat", "chat.log", 0, 0)});
  WriteWholeFile(Path("one.tmp"), ImportMessageText({"quorl:news/chat", 0, "al", kDate, 0}, "Hello\r\n"));
  Queue({{"one.tmp", "quorl", 0}});
  HANDLE running = CreateFileA(Path("import.lck").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run(), 0u);
  EXPECT_FALSE(QueueEmpty());
  EXPECT_FALSE(FileExists(Path("chat.log")));
  CloseHandle(running);
  ASSERT_EQ(Run(), 0u);
  EXPECT_TRUE(QueueEmpty());
  EXPECT_TRUE(FileExists(Path("chat.log")));
}

// A file that fails part way through its writing leaves nothing of itself
// behind and stays queued; once the trouble is gone it imports whole, with
// the same numbers.
TEST_F(Import32Test, AFailedWriteUndoesTheWholeFile) {
  WriteConf({MakeConf("quorl:news/chat", "chat.log", 7, 7)});
  const std::string before = SeparatorMessage("quorl:news/chat", 7, "old", kDate, "Earlier\n");
  WriteWholeFile(Path("chat.log"), before);
  const std::string confBefore = ReadWholeFile(Path("conf.ww"));
  WriteWholeFile(Path("one.tmp"), ImportMessageText({"quorl:news/chat", 0, "al", kDate, 0}, "First\r\n") +
                                      ImportMessageText({"quorl:notes/mine", 0, "bo", kDate, 0}, "Second\r\n"));
  Queue({{"one.tmp", "quorl", IMPORT_DELETE_AFTER}});
  // A file where the new folder's directory must go: its log can't be made.
  CreateDirectoryA(Path("quorl").c_str(), nullptr);
  WriteWholeFile(Path("quorl\\notes"), "in the way");

  EXPECT_EQ(Run(), 1u);
  std::string report = ReadWholeFile(Path("import.log"));
  EXPECT_NE(report.find("one.tmp: stopped: "), std::string::npos) << report;
  EXPECT_NE(report.find("nothing of it kept"), std::string::npos) << report;
  EXPECT_EQ(ReadWholeFile(Path("chat.log")), before);
  EXPECT_EQ(ReadWholeFile(Path("conf.ww")).substr(0, confBefore.size()), confBefore);
  EXPECT_FALSE(QueueEmpty());
  EXPECT_TRUE(FileExists(Path("one.tmp")));
  EXPECT_FALSE(FileExists(Path("import.jnl")));

  DeleteFileA(Path("quorl\\notes").c_str());
  ASSERT_EQ(Run(), 0u);
  EXPECT_TRUE(QueueEmpty());
  EXPECT_FALSE(FileExists(Path("one.tmp")));
  ASSERT_EQ(rdconf(0), 1);
  auto chat = ReadLog(*Record("quorl:news/chat"));
  ASSERT_EQ(chat.size(), 2u);
  EXPECT_EQ(chat[8].author, "al");
  ConfRec* mine = Record("quorl:notes/mine");
  ASSERT_TRUE(mine);
  EXPECT_EQ(ReadLog(*mine)[1].author, "bo");
}

// The next queued file is read while one is written: what it holds, and
// what becomes of it, are the same as when it is read in its turn.
TEST_F(Import32Test, AFileReadAheadImportsAsInItsTurn) {
  const std::string hello = ImportMessageText({"quorl:news/chat", 0, "al", kDate, 0}, "Hello\r\n");
  const std::string again = ImportMessageText({"quorl:news/chat", 0, "bo", kDate, 0}, "Again\r\n");
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, std::string>> files;
    std::vector<Queued> queue;
    bool blockNewFolder;  // the first file's new folder can't be made: its import fails
    DWORD code;
    std::vector<const char*> reported;
    std::vector<std::string> authors;  // of quorl:news/chat, in number order
    bool queueEmpty;
  };
  const Case cases[] = {
      {"the same file queued twice, deleted after the first",
       {{"one.tmp", hello}},
       {{"one.tmp", "quorl", IMPORT_DELETE_AFTER}, {"one.tmp", "quorl", 0}},
       false,
       0,
       {"one.tmp: 1 messages imported", "one.tmp: can't read the file"},
       {"al"},
       true},
      {"a damaged file next, then a good one",
       {{"one.tmp", hello}, {"bad.tmp", "==========\r\nno header\r\n"}, {"two.tmp", again}},
       {{"one.tmp", "quorl", 0}, {"bad.tmp", "quorl", 0}, {"two.tmp", "quorl", 0}},
       false,
       0,
       {"one.tmp: 1 messages imported", "bad.tmp: not imported", "two.tmp: 1 messages imported"},
       {"al", "bo"},
       true},
      {"the first file fails: the one read ahead waits for the next run",
       {{"one.tmp", hello + ImportMessageText({"quorl:notes/mine", 0, "cy", kDate, 0}, "Mine\r\n")},
        {"two.tmp", again}},
       {{"one.tmp", "quorl", 0}, {"two.tmp", "quorl", IMPORT_DELETE_AFTER}},
       true,
       1,
       {"one.tmp: stopped: "},
       {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteConf({MakeConf("quorl:news/chat", "chat.log", 0, 0)});
    for (auto& [name, text] : c.files) WriteWholeFile(Path(name), text);
    Queue(c.queue);
    if (c.blockNewFolder) {
      CreateDirectoryA(Path("quorl").c_str(), nullptr);
      WriteWholeFile(Path("quorl\\notes"), "in the way");
    }
    EXPECT_EQ(Run(), c.code);
    std::string report = ReadWholeFile(Path("import.log"));
    for (const char* line : c.reported) EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    EXPECT_EQ(QueueEmpty(), c.queueEmpty);
    EXPECT_FALSE(FileExists(Path("import.jnl")));
    ASSERT_EQ(rdconf(0), 1);
    std::vector<std::string> authors;
    for (auto& [number, seen] : ReadLog(*Record("quorl:news/chat"))) authors.push_back(seen.author);
    EXPECT_EQ(authors, c.authors);
    if (c.blockNewFolder) {
      // The file read ahead is still there, whole, and imports once the way is clear.
      EXPECT_EQ(ReadWholeFile(Path("two.tmp")), again);
      DeleteFileA(Path("quorl\\notes").c_str());
      ASSERT_EQ(Run(), 0u) << ReadWholeFile(Path("import.log"));
      EXPECT_TRUE(QueueEmpty());
      EXPECT_FALSE(FileExists(Path("two.tmp")));
      ASSERT_EQ(rdconf(0), 1);
      authors.clear();
      for (auto& [number, seen] : ReadLog(*Record("quorl:news/chat"))) authors.push_back(seen.author);
      EXPECT_EQ(authors, (std::vector<std::string>{"al", "bo"}));
    }
    Conferences.SetSize(0);
    for (const char* name : {"conf.ww", "chat.log", "chat.ind", "import.dat", "import.log", "one.tmp", "bad.tmp",
                             "two.tmp", "quorl\\notes\\mine", "quorl\\notes\\mine.ind"})
      DeleteFileA(Path(name).c_str());
    RemoveDirectoryA(Path("quorl\\notes").c_str());
    RemoveDirectoryA(Path("quorl").c_str());
  }
}

}  // namespace
