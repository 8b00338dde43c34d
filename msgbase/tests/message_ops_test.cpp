#include "msgbase/message_ops.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/rights.h"
#include "msgbase/change_detect.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/topic_open.h"

namespace {

const char kLocal[] = "local:notes/general";
const char kNews[] = "net:comp.lang.c/all";
const char kTerm[] = "dvn:forum/topic";
const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";

std::string LocalLog() {
  return SeparatorMessage(kLocal, 1, "ann", kDate, "Mine.\n") +
         SeparatorMessage(kLocal, 2, "bob", kDate, "His reply.\n", "Comment to 1");
}

std::string NewsLog() {
  return SeparatorMessage(kNews, 5, "ann@x.org", kDate,
                          "From: Ann <ann@x.org>\nNewsgroups: comp.lang.c\nSubject: A long\n subject\n"
                          "Message-ID: <5@x.org>\n\nX-Not: body\nText.\n") +
         SeparatorMessage(kNews, 6, "bob@y.org", kDate, "From: bob@y.org (Bob)\nMessage-ID: <6@y.org>\n\nText.\n");
}

struct Recorder {
  std::vector<std::string> scriptCommands;
  std::vector<std::string> started;
  std::string actionFile, cancelFormat;
};
Recorder& Rec() {
  static Recorder r;
  return r;
}

class MessageOpsTest : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    Rec() = Recorder{};
    g_topic = OpenTopicState();
    g_topicOpenHooks = kDefaultTopicOpenHooks;
    g_hconf.warned = true;
    savedProgram_ = g_importProgram;
    g_importProgram.start = [](const char* line, UINT) -> UINT {
      Rec().started.push_back(line);
      return 33;
    };
    g_messageOpsHooks = kDefaultMessageOpsHooks;
    g_messageOpsHooks.makeScriptCmd = [](const char* command) {
      Rec().scriptCommands.push_back(command);
      return 2;
    };
    g_messageOpsHooks.actionFile = []() { return Rec().actionFile.c_str(); };
    g_messageOpsHooks.cancelFormat = []() { return Rec().cancelFormat.c_str(); };
    g_messageOpsHooks.ownAddress = [](char* out, size_t size) { lstrcpynA(out, "ann@x.org", int(size)); };
    Rec().actionFile = Path("dvn.bsc");
    lstrcpynA(g_app.userName, "ann", sizeof g_app.userName);
    g_userRights = UserRights{};
    Conferences.SetSize(0);
    AddFolder(kLocal, "notes.log");
    AddFolder(kNews, "clc.log");
    AddFolder(kTerm, "term.log");
    WriteWholeFile(Path("notes.log"), LocalLog());
    WriteWholeFile(Path("clc.log"), NewsLog());
    WriteWholeFile(Path("term.log"), SeparatorMessage(kTerm, 9, "ann", kDate, "Text.\n"));
  }
  void TearDown() override {
    logclose();
    g_topic = OpenTopicState();
    CurrentFolder.Detach();
    Conferences.SetSize(0);
    g_messageOpsHooks = kDefaultMessageOpsHooks;
    g_importProgram = savedProgram_;
    g_userRights = UserRights{};
    g_app.userName[0] = 0;
    DataDirTest::TearDown();
  }
  void AddFolder(const char* name, const char* base) {
    ConfRec rec = MakeConf(name, base, 0, 0, 0);
    rec.readMark = 0;
    rec.waiting = 0;
    Conferences.Append(&rec);
  }
  int Open(const char* name) {
    lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
    return logopen();
  }
  // The import text of each queued file.
  std::vector<ImportQueueEntry> Queue() {
    std::vector<ImportQueueEntry> out;
    LockImportQueue(false);
    for (int i = 0; i < ImportQueue.Count(); ++i) {
      auto* e = static_cast<ImportQueueEntry*>(ImportQueue.At(i));
      if (!e->path[0]) break;
      out.push_back(*e);
    }
    return out;
  }
  ImportProgramSeam savedProgram_;
};

TEST_F(MessageOpsTest, GetHeaderFieldReadsTheOpenTopicsMessage) {
  ASSERT_EQ(Open(kNews), 1);
  struct Case {
    long number;
    const char* field;
    bool whole;
    int found;
    const char* value;
  } cases[] = {
      {5, "newsgroups", false, 1, "comp.lang.c"},
      {5, "Subject", false, 1, "A long subject"},
      {5, "X-Not", false, 0, ""},
      {5, "X-Not", true, 1, "body"},
      {6, "From", false, 1, "bob@y.org (Bob)"},
      {7, "From", false, 0, ""},
  };
  for (const Case& c : cases) {
    char out[64];
    EXPECT_EQ(GetHeaderField(c.number, c.field, out, sizeof out, c.whole), c.found) << c.number << c.field;
    EXPECT_STREQ(out, c.value) << c.number << c.field;
  }
}

TEST_F(MessageOpsTest, LocalWithdrawalIsQueuedAsImportText) {
  ASSERT_EQ(Open(kLocal), 1);
  struct Case {
    long number;
    bool cancelRight;
    int result;
    const char* body;
  } cases[] = {
      {1, false, 1, " ** Withdrawn by author            ** \r\n"},
      {2, false, 0, nullptr},
      {2, true, 1, " ** Withdrawn by administrator     ** \r\n"},
  };
  for (const Case& c : cases) {
    g_userRights.word = c.cancelRight ? RIGHT_CANCEL : 0;
    Recorded().boxes.clear();
    ASSERT_TRUE(LockImportQueue(true));
    ClearImportQueue();
    ASSERT_TRUE(SaveImportQueue());
    EXPECT_EQ(EraseMessage(c.number), c.result) << c.number;
    auto queue = Queue();
    if (!c.body) {
      EXPECT_TRUE(queue.empty());
      ASSERT_EQ(Recorded().boxes.size(), 1u);
      EXPECT_EQ(Recorded().boxes[0], "You cannot cancel other users messages");
      continue;
    }
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_STREQ(queue[0].service, "local");
    EXPECT_STREQ(queue[0].kind, "messages");
    EXPECT_EQ(queue[0].flags, 0x00000800u);
    std::string text = ReadWholeFile(queue[0].path);
    std::string head = "==========\r\n" + std::string(kLocal) + " #" + std::to_string(c.number) + ", from " +
                       (c.number == 1 ? "ann" : "bob") + ", 40 chars, ";
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_EQ(text.find("Comment to 1.\r\n") != std::string::npos, c.number == 2) << text;
    EXPECT_NE(text.find(std::string("----------\r\n") + c.body + "\r\n"), std::string::npos) << text;
    EXPECT_EQ(Recorded().boxes.back(), "Message " + std::to_string(c.number) + " will be cancelled");
  }
  EXPECT_FALSE(Rec().started.empty());
}

TEST_F(MessageOpsTest, TerminalCancelFormatIsNeverAPrintfFormat) {
  ASSERT_EQ(Open(kTerm), 1);
  Rec().cancelFormat = "CANCEL %s%s%ld %n %s %x %%";
  EXPECT_EQ(EraseMessage(9), 1);
  EXPECT_EQ(ReadWholeFile(Rec().actionFile),
            ";-; id:\tann type:\tscript script:\tCancel message priority:\t60 #:\tdvn:forum/topic #:\t9\n"
            "CANCEL dvn:forum/topic-9 %n %s %x %\n");
  Rec().actionFile = Path("missing\\dvn.bsc");
  EXPECT_EQ(EraseMessage(9), 0);
  EXPECT_EQ(Recorded().boxes.back(), "Can't open '" + Rec().actionFile + "'");
}

TEST_F(MessageOpsTest, TerminalCancelFormatComesFromTheServiceFileByDefault) {
  ASSERT_EQ(Open(kTerm), 1);
  g_messageOpsHooks.cancelFormat = nullptr;
  ASSERT_TRUE(AllocServiceConfig());
  lstrcpynA(g_hconf.slots[HCONF_Z], "KILL %s%s%ld", HCONF_SLOT_SIZE);
  EXPECT_EQ(EraseMessage(9), 1);
  EXPECT_NE(ReadWholeFile(Rec().actionFile).find("\nKILL dvn:forum/topic-9\n"), std::string::npos);
  g_hconf.slots[HCONF_Z][0] = '\0';
}

TEST_F(MessageOpsTest, NewsCancelOnlyForTheUsersOwnArticles) {
  Rec().actionFile = Path("net.bsc");
  ASSERT_EQ(Open(kNews), 1);
  EXPECT_EQ(EraseMessage(6), 0);
  EXPECT_EQ(Recorded().boxes.back(), "You cannot cancel other users messages");
  EXPECT_FALSE(FileExists(Rec().actionFile));
  EXPECT_EQ(EraseMessage(5), 1);
  EXPECT_EQ(ReadWholeFile(Rec().actionFile),
            ";-; id:\tann type:\tscript script:\tCancel message priority:\t60 #:\tcomp.lang.c #:\tAnn <ann@x.org>"
            " #:\tann@x.org #:\t<5@x.org>\n"
            "CancelArticle\ncomp.lang.c\nAnn <ann@x.org>\nann@x.org\n<5@x.org>\n");
}

TEST_F(MessageOpsTest, OtherFoldersGoThroughTheOutbasket) {
  const char kChat[] = "quorl:chat/general";
  const char kLibrary[] = "dvn:forum/l1_files";
  const char kComposite[] = "dvn:forum/all\xff";
  struct Case {
    const char* folder;
    const char* body;
    int scriptResult;
    int answer;
    int result;
    const char* command;
    const char* box;
  } cases[] = {
      {kChat, "Text.\n", 2, IDOK, 1, "withdraw", "Message 3 will be cancelled"},
      {kChat, "Text.\n", 0, IDOK, 0, "withdraw", nullptr},
      {kLibrary, "file.zip 1200 bytes\n", 2, IDOK, 0, nullptr, "Deleting files from library lists is not supported."},
      {kComposite, "file.zip 1200 bytes\n", 2, IDYES, 1, "modera file.zip", "Do you want to erase 'file.zip' ?"},
      {kComposite, "file.zip 1200 bytes\n", 2, IDNO, 0, nullptr, "Do you want to erase 'file.zip' ?"},
  };
  static int scriptResult;
  g_messageOpsHooks.makeScriptCmd = [](const char* command) {
    Rec().scriptCommands.push_back(command);
    return scriptResult;
  };
  for (const Case& c : cases) {
    logclose();
    Conferences.SetSize(0);
    AddFolder(c.folder, "other.log");
    WriteWholeFile(Path("other.log"), SeparatorMessage(c.folder, 3, "bob", kDate, c.body));
    DeleteFileA(Path("other.ind").c_str());
    ASSERT_EQ(Open(c.folder), 1) << c.folder;
    scriptResult = c.scriptResult;
    Rec().scriptCommands.clear();
    Recorded().boxes.clear();
    Recorded().answer = c.answer;
    EXPECT_EQ(EraseMessage(3), c.result) << c.folder;
    EXPECT_EQ(Rec().scriptCommands, c.command ? std::vector<std::string>{c.command} : std::vector<std::string>{})
        << c.folder;
    EXPECT_EQ(Recorded().boxes, c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{}) << c.folder;
  }
}

TEST_F(MessageOpsTest, WriteBatchMessageInEachForm) {
  FILE* batch = std::fopen(Path("batch.txt").c_str(), "wb");
  ASSERT_NE(batch, nullptr);
  g_batchFile = batch;
  ASSERT_EQ(Open(kNews), 1);
  WriteBatchMessage(6, false);
  WriteBatchMessage(99, false);  // not in the topic: nothing
  WriteBatchMessage(6, true);
  g_batchFile = nullptr;
  std::fclose(batch);
  const std::string body = "From: bob@y.org (Bob)\nMessage-ID: <6@y.org>\n\nText.\n";
  std::string crlf;
  for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ReadWholeFile(Path("batch.txt")), "#! rnews " + std::to_string(body.size()) + "\r\n" + body + "\n" +
                                                  "==========\r\n" + kNews + " #6, from bob@y.org, " +
                                                  std::to_string(body.size()) + " chars, " + kDate +
                                                  "\r\n----------\r\n" + crlf + "\r\n");
}

}  // namespace
