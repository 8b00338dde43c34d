// Connections end to end under Wine: actions queued in two services leave
// through our engine program, what it confirmed leaves the outbasket, and
// its report reaches the folders through our import program. Then the same
// with the engine failing, files locked and runs killed at every step: each
// action is confirmed once or still queued, and nothing is sent twice.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "core/rights.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/tests/topic_fixture.h"
#include "online/connect.h"
#include "online/outbasket.h"
#include "online/tests/run_child.h"

namespace {

constexpr char kDate[] = "Thu, 10 Dec 2026 14:00";

std::string Dir(const char* exe) {
  std::string path = exe;
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string Post(const char* folder, const char* body) {
  std::string text = body;
  return ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbSay: yes\r\nszFolders: " + std::string(folder) +
         "\r\nszSubject: subject\r\nBody: " + std::to_string(text.size()) + "\r\n" + text + "\r\nMessageEnd:\r\n";
}

std::string Mail(const char* to, const char* body) {
  std::string text = body;
  return ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbMailing: yes\r\nszSubject: subject\r\nTo: " +
         std::string(to) + "\r\nBody: " + std::to_string(text.size()) + "\r\n" + text + "\r\nMessageEnd:\r\n";
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

std::vector<std::string> s_importStarts;

class ConnectTest : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    // Like the runs of a program left alone: no question waits on anyone.
    g_hconf.warned = false;
    lstrcpynA(g_app.userName, "ann", sizeof g_app.userName);
    lstrcpynA(g_main.exePathExpanded, Dir(TERM32_EXE).c_str(), sizeof g_main.exePathExpanded);
    g_main.replyBackups = 2;
    g_user.reviewBeforeConnect = 0;
    g_userRights.administratorMode = true;
    s_importStarts.clear();
    savedImport_ = g_importProgram;
    g_importProgram.start = [](const char* line, UINT) -> UINT {
      s_importStarts.push_back(line);
      return 33;
    };
    hooks_ = g_connectHooks;
    g_connectHooks.runAndWait = RunChildAndWait;
    WriteWholeFile(Path("fenwold.ini"), "[Main]\r\nMessage Path=" + dir_ + "\r\nExe Path=" + Dir(TERM32_EXE) +
                                            "\r\n[Service quorl]\r\nName=ann\r\n");
    MakeDir("host");
    for (const char* service : {"quorl", "net"}) {
      MakeDir(service);
      MakeDir((std::string("host\\") + service).c_str());
      MakeDir((std::string("host\\") + service + "\\waiting").c_str());
    }
    WriteWholeFile(Path("quorl\\quorl.cnf"), "h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\nqBye\nnQuit\n");
    WriteWholeFile(Path("net\\net.cnf"), "h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\n");
  }
  void TearDown() override {
    g_connectHooks = hooks_;
    g_importProgram = savedImport_;
    g_userRights.administratorMode = false;
    ReleaseConnectLock();
    TopicFixture::TearDown();
  }
  void MakeDir(const char* name) { CreateDirectoryA(Path(name).c_str(), nullptr); }
  void Queue(const char* service, const std::string& entries) {
    std::string path = Path(service) + "\\" + service + ".bsc";
    WriteWholeFile(path, ReadWholeFile(path) + entries);
  }
  void Steer(const char* service, const std::string& control) {
    WriteWholeFile(Path("host\\") + service + "\\engine.ctl", control);
  }
  std::string Sent(const char* service) { return ReadWholeFile(Path("host\\") + service + "\\sent.log"); }
  std::string Outbasket(const char* service) { return ReadWholeFile(Path(service) + ".bsc"); }

  ImportProgramSeam savedImport_;
  ConnectHooks hooks_;
};

TEST_F(ConnectTest, RepliesLeaveAndNewMessagesArrive) {
  Queue("quorl", Post("chat/general", "first post") + Post("chat/general", "second post"));
  Queue("net", Post("comp.test", "news post") + Mail("Bob\tbob@y.org", "a mail"));
  Steer("quorl", "confirm=1,3\n");
  Steer("net", "confirm=2\n");
  WriteWholeFile(Path("host\\quorl\\waiting\\1.txt"),
                 NewFolderPragma("chat", "general") +
                     ImportMessageText({"quorl:chat/general", 0, "bob", kDate, 0}, "From the host\r\nhello ann\r\n"));

  Connect(ConnectInteractive, "quorl;net", 1);

  // What was confirmed went once; the rest waits in the outbasket.
  EXPECT_EQ(Count(Sent("quorl"), "first post"), 1);
  EXPECT_EQ(Count(Sent("net"), "a mail"), 1);
  EXPECT_EQ(Count(Outbasket("quorl"), "second post"), 1);
  EXPECT_EQ(Count(Outbasket("quorl"), "first post"), 0);
  EXPECT_EQ(Count(Outbasket("net"), "news post"), 1);
  EXPECT_EQ(Count(Outbasket("net"), "a mail"), 0);
  EXPECT_FALSE(FileExists(Path("quorl\\quorl.bsc")));
  EXPECT_FALSE(FileExists(Path("quorl\\reply.bsc")));
  EXPECT_FALSE(FileExists(Path("quorl\\reply.ebs")));
  EXPECT_FALSE(FileExists(Path("quorl\\msg00001.tmp")));
  EXPECT_TRUE(FileExists(Path("backup\\quorl001.bsc")));
  EXPECT_TRUE(FileExists(Path("backup\\net001.bsc")));
  EXPECT_FALSE(FileExists(Path("connect.lck")));
  // The engines were given the command lines of the run.
  std::string engines = ReadWholeFile(Path("host\\engine.log"));
  EXPECT_NE(engines.find("quorl 1 /INI="), std::string::npos) << engines;
  EXPECT_NE(engines.find("net /INI="), std::string::npos) << engines;
  EXPECT_NE(engines.find("/USER=ann"), std::string::npos) << engines;
  // The quit command ended the Quorl script, after the two posts.
  EXPECT_EQ(Count(Sent("quorl"), "Bye \"3\""), 1) << Sent("quorl");

  // The report is queued once and the import program started.
  LockImportQueue(false);
  int reports = 0;
  for (int i = 0; i < ImportQueue.Count(); i++) {
    auto* e = static_cast<ImportQueueEntry*>(ImportQueue.At(i));
    std::string queued = e->path;
    if (queued.size() > 9 && lstrcmpiA(queued.c_str() + queued.size() - 10, "\\quorl.rep") == 0) {
      reports++;
      EXPECT_STREQ(e->kind, "messages");
      EXPECT_EQ(e->flags, 2176u);
    }
  }
  EXPECT_EQ(reports, 1);
  ClearImportQueue();
  ASSERT_FALSE(s_importStarts.empty());

  // Our import program puts the new message into its folder.
  // Started in the data directory, as the program starts it, from the
  // data's drive: the queue names its files without a drive.
  ASSERT_TRUE(CopyFileA(IMPORT32_EXE, Path("import32.exe").c_str(), FALSE));
  std::string command = "import32.exe ann";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(Path("import32.exe").c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             dir_.c_str(), &si, &pi));
  WaitForSingleObject(pi.hProcess, 60000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(rdconf(0), 1) << ReadWholeFile(Path("import.log"));
  lstrcpynA(g_topic.openName, "quorl:chat/general", sizeof g_topic.openName);
  ASSERT_EQ(logopen(), 1);
  MsgIndexRec* first = getmsghdr(1, 1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->number, 1);

  // The next run sends what waited, and only that.
  Steer("quorl", "confirm=all\n");
  Steer("net", "confirm=all\n");
  Connect(ConnectInteractive, "quorl;net", 1);
  EXPECT_EQ(Count(Sent("quorl"), "first post"), 1);
  EXPECT_EQ(Count(Sent("quorl"), "second post"), 1);
  EXPECT_EQ(Count(Sent("net"), "news post"), 1);
  EXPECT_EQ(Count(Sent("net"), "a mail"), 1);
  EXPECT_EQ(Outbasket("quorl"), "");
  EXPECT_EQ(Outbasket("net"), "");
}

TEST_F(ConnectTest, HeldActionsStayAndManualRunsSendNothing) {
  Queue("quorl", Post("chat/general", "live one") +
                     ";#; id:\tann type:\tscript script:\tHeld thing priority:\t50\r\nHeldCommand\r\n");
  Connect(ConnectManual, "quorl", 1);
  EXPECT_EQ(Sent("quorl"), "");
  std::string engines = ReadWholeFile(Path("host\\engine.log"));
  EXPECT_NE(engines.find("quorl manual 1 /INI="), std::string::npos) << engines;
  Connect(ConnectInteractive, "quorl", 1);
  EXPECT_EQ(Count(Sent("quorl"), "live one"), 1);
  EXPECT_EQ(Count(Sent("quorl"), "HeldCommand"), 0);
  EXPECT_EQ(Count(Outbasket("quorl"), ";#; id:\tann type:\tscript script:\tHeld thing"), 1);
  EXPECT_EQ(Count(Outbasket("quorl"), "live one"), 0);
}

// Each failure of the engine or of the files: whatever happened, the next
// good run leaves every action sent exactly once.
TEST_F(ConnectTest, FailuresNeitherLoseNorRepeatActions) {
  struct Case {
    const char* name;
    const char* control;         // the first run's engine
    const char* blockBody;       // a directory in the way of this body file
    bool lockOutbasket;          // the outbasket file is held while the log is applied
    std::vector<int> sentFirst;  // posts that went in the first run
  } cases[] = {
      {"engine dies at once", "die=start\n", nullptr, false, {}},
      {"engine dies after one, log torn", "die=1\ntorn=yes\n", nullptr, false, {1}},
      {"garbage log", "confirm=none\nextra=abc,,-1,99,2x\n", nullptr, false, {}},
      {"unsorted repeated log", "confirm=1,3\norder=reverse\nrepeat=yes\n", nullptr, false, {1, 3}},
      {"body file cannot be made", "confirm=all\n", "quorl\\msg00002.tmp", false, {1, 3}},
      {"outbasket locked while applying", "confirm=1\n", nullptr, true, {1}},
      {"log cannot be applied (badcmds blocked)", "confirm=2\n", "quorl\\badcmds.bsc", false, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"quorl.bsc", "quorl.bsd", "quorl\\success.log", "quorl\\reply.ebs", "quorl\\success.don",
                             "host\\quorl\\sent.log", "quorl.rep"})
      DeleteFileA(Path(name).c_str());
    Queue("quorl",
          Post("chat/general", "post one") + Post("chat/general", "post two") + Post("chat/general", "post three"));
    Steer("quorl", c.control);
    if (c.blockBody) MakeDir(c.blockBody);
    static HANDLE s_held;
    static std::string s_path;
    s_path = Path("quorl.bsc");
    s_held = nullptr;
    // The lock lasts until the file layer says it is waiting on it.
    if (c.lockOutbasket) {
      g_connectHooks.step = [](const char* name) {
        if (std::string(name) == "report")
          s_held = CreateFileA(s_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      };
      g_ui.setStatusText = [](const char* text) {
        if (s_held && std::string(text).find("Lock error") == 0) {
          CloseHandle(s_held);
          s_held = nullptr;
        }
      };
    }
    Connect(ConnectInteractive, "quorl", 1);
    if (s_held) CloseHandle(s_held);
    g_connectHooks.step = hooks_.step;
    if (c.blockBody) RemoveDirectoryA(Path(c.blockBody).c_str());
    const char* posts[] = {"post one", "post two", "post three"};
    std::string sent = Sent("quorl");
    for (int i = 1; i <= 3; i++) {
      bool went = std::find(c.sentFirst.begin(), c.sentFirst.end(), i) != c.sentFirst.end();
      EXPECT_EQ(Count(sent, posts[i - 1]), went ? 1 : 0) << posts[i - 1] << "\n" << sent;
    }
    Steer("quorl", "confirm=all\n");
    Connect(ConnectInteractive, "quorl", 1);
    sent = Sent("quorl");
    for (const char* post : posts) EXPECT_EQ(Count(sent, post), 1) << post << "\n" << sent;
    EXPECT_EQ(Outbasket("quorl"), "");
  }
}

// A run ended hard at each point of its way: the next run finishes what it
// left, and every action goes exactly once.
TEST_F(ConnectTest, KilledRunsNeitherLoseNorRepeatActions) {
  const char* points[] = {"locked",        "split",           "script",      "engine",  "report",
                          "apply-written", "apply-committed", "apply-moved", "applied", "done"};
  for (const char* point : points) {
    SCOPED_TRACE(point);
    for (const char* name : {"quorl.bsc", "quorl.bsd", "host\\quorl\\sent.log", "quorl.rep"})
      DeleteFileA(Path(name).c_str());
    Queue("quorl", Post("chat/general", "post one") + Post("chat/general", "post two") +
                       ";#; id:\tann type:\tscript script:\tHeld priority:\t5\r\nHeldCommand\r\n" +
                       Post("chat/general", "post three"));
    Steer("quorl", "confirm=1,3\n");
    // No backslash before a closing quote: it would escape the quote.
    std::string data = dir_.substr(0, dir_.size() - 1), programs = Dir(TERM32_EXE);
    programs.pop_back();
    std::string command = "connect_runner.exe \"" + data + "\" \"" + programs + "\" " + point;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(
        CreateProcessA(CONNECT_RUNNER_EXE, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 9u) << "the run did not reach " << point;

    Steer("quorl", "confirm=all\n");
    Connect(ConnectInteractive, "quorl", 1);
    std::string sent = Sent("quorl");
    for (const char* post : {"post one", "post two", "post three"})
      EXPECT_EQ(Count(sent, post), 1) << post << "\n" << sent;
    EXPECT_EQ(Count(sent, "HeldCommand"), 0);
    EXPECT_EQ(Outbasket("quorl"), ";#; id:\tann type:\tscript script:\tHeld priority:\t5\r\nHeldCommand\r\n");
  }
}

}  // namespace
