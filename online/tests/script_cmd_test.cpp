// The command-to-action builder over a fixture folder and message: what each
// template writes to the service's append file, the refusals that write
// nothing, and the folder and configuration AddFolderScriptCmd puts back.
#include "online/script_cmd.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/topic_open.h"

namespace {

const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";

// The commands of the fixture's Quorl service, one per line of its .cnf.
const char kQuorlCommands[] =
    "Q0'Read Number' readnum ReadNum\\n%c\\n%d\\n\n"
    "Q50'Fetch file' fdl GetFile\\n%a\\n%a\\n\n"
    "Q0'Mail download' mailfdl MailGet\\n%a\\n%a\\n\n"
    "Q0'Mail Directory' maildir MailDir\\n\n"
    "Q0'File list' flist FileList\\n%c\\n\n"
    "Q0'Ask quoted' askq AskQ\\n%a'Send now?'\\n\n"
    "Q0'Ask' ask Ask\\n%a\\n%1\\n\n"
    "Q0'About' about About\\n%c %e %l %L %n %t\\n%h\\n%w\\n%i %I\\n\n"
    "Q0'Who' who Who\\n%w\\n\n"
    "Q0'Upload' upload Upload\\n%F\\n\n"
    "Q0'Withdraw Message' withdraw Withdraw\\n%c\\n%d\\n\n"
    "Q-30'Note' note Note\\n%a\\n%m\\n\n"
    "Q90'Download messages' dl Download\\n%c\\n%u\\n\n"
    "Q0'Bare' bare Bare %c\n";

struct Prompted {
  std::vector<ScriptPrompt> prompts;
  std::string title;
  bool cancel = false;
};
Prompted& Asked() {
  static Prompted p;
  return p;
}

class ScriptCmdTest : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    Asked() = Prompted{};
    lstrcpynA(g_app.userName, "ann", sizeof g_app.userName);
    CreateDirectoryA(Path("quorl").c_str(), nullptr);
    CreateDirectoryA(Path("net").c_str(), nullptr);
    WriteWholeFile(Path("quorl\\quorl.cnf"), std::string("h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\n") + kQuorlCommands);
    WriteWholeFile(Path("net\\net.cnf"), "h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\nQ0'Net only' netonly NetOnly\\n\n");
    WriteWholeFile(Path("fenwold.ini"), "[Service quorl]\r\nName=annq\r\n");
    AddFolder("quorl:chat/general", "quorl\\general.log", 0);
    AddFolder("quorl:mail/inbox", "quorl\\inbox.log", 0);
    WriteWholeFile(Path("quorl\\general.log"),
                   SeparatorMessage("quorl:chat/general", 1, "bob", kDate, "First line here\nsecond\n") +
                       SeparatorMessage("quorl:chat/general", 2, "carl", kDate, "Reply.\n", "Comment to 1"));
    WriteWholeFile(Path("quorl\\inbox.log"),
                   SeparatorMessage("quorl:mail/inbox", 7, "dora", kDate,
                                    "From: Dora <dora@mail.quorl.com>\nSubject: hi\n\nHello.\n"));
    message_ = 0;
    s_message = &message_;
    hooks_ = g_scriptCmdHooks;
    g_scriptCmdHooks.currentMessage = [] { return *s_message; };
    g_scriptCmdHooks.askParameters = [](const char* title, const std::vector<ScriptPrompt>& prompts, ScriptArgs* args,
                                        std::string* section, std::string* message) {
      Asked().prompts = prompts;
      Asked().title = title;
      if (Asked().cancel) return false;
      for (const ScriptPrompt& p : prompts) {
        if (p.kind == 'm' || p.kind == 'M')
          *message = "line one\r\n;-; id:\tnot a header\r\nline three";
        else if (p.slot >= 0)
          args->args[p.slot] = p.kind == 'a' ? "y" : "42";
        else
          *section = "sec";
      }
      return true;
    };
  }
  void TearDown() override {
    g_scriptCmdHooks = hooks_;
    SetScriptCmdTarget(nullptr);
    ResetScriptCommands();
    g_hconf.loadedService[0] = 0;
    TopicFixture::TearDown();
  }
  void Open(const char* folder, long message) {
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1);
    message_ = message;
    ASSERT_EQ(rdhconf("quorl", 1), 1);
  }
  std::string Queued() { return ReadWholeFile(Path("quorl\\quorl.bsc")); }
  std::string Notices() {
    std::string all;
    for (const std::string& s : Recorded().status) all += s + "|";
    for (const std::string& s : Recorded().boxes) all += s + "|";
    return all;
  }

  long message_ = 0;
  static long* s_message;
  ScriptCmdHooks hooks_;
};
long* ScriptCmdTest::s_message = nullptr;

TEST_F(ScriptCmdTest, TemplatesFillFromTheFolderTheMessageAndTheArguments) {
  struct Case {
    const char* folder;
    long message;
    const char* command;
    const char* entry;  // what the append file gains
  };
  const Case cases[] = {
      {"quorl:chat/general", 2, "readnum",
       ";-; id:\tann type:\tscript script:\tRead Number #:\tchat/general #:\t2\r\nReadNum\r\nchat/general\r\n2\r\n"},
      // An internal command keeps the blanks of its arguments.
      {"quorl:chat/general", 0,
       "!fdl\xffmy file.txt\xff"
       "dest dir",
       ";-; id:\tann type:\tscript script:\tFetch file priority:\t50 #:\tmy file.txt #:\tdest dir\r\n"
       "GetFile\r\nmy file.txt\r\ndest dir\r\n"},
      // %a takes the one argument and %1 repeats it: no mismatch.
      {"quorl:chat/general", 0, "ask yes",
       ";-; id:\tann type:\tscript script:\tAsk #:\tyes #:\tyes\r\nAsk\r\nyes\r\nyes\r\n"},
      // "." alone is an empty argument.
      {"quorl:chat/general", 0, "ask .", ";-; id:\tann type:\tscript script:\tAsk #:\t #:\t\r\nAsk\r\n\r\n\r\n"},
      {"quorl:chat/general", 1, "about",
       ";-; id:\tann type:\tscript script:\tAbout #:\tchat/general #:\t2 #:\tquorl\\general.log #:\tquorl\\general #:\t"
       "chat #:\tgeneral #:\tFirst line here #:\tbob #:\tann #:\tannq\r\n"
       "About\r\nchat/general 2 quorl\\general.log quorl\\general chat general\r\nFirst line here\r\nbob\r\nann "
       "annq\r\n"},
      // In a mail folder, the author is the bare address without the service's domain.
      {"quorl:mail/inbox", 7, "withdraw",
       ";-; id:\tann type:\tscript script:\tWithdraw Message #:\tmail/inbox #:\t7\r\nWithdraw\r\nmail/inbox\r\n7\r\n"},
      {"quorl:mail/inbox", 7, "who", ";-; id:\tann type:\tscript script:\tWho #:\tdora\r\nWho\r\ndora\r\n"},
      // File-area commands of a Quorl mail folder become their mail forms.
      {"quorl:mail/inbox", 0, "flist", ";-; id:\tann type:\tscript script:\tMail Directory\r\nMailDir\r\n"},
      {"quorl:mail/inbox", 0, "fdl a.zip here",
       ";-; id:\tann type:\tscript script:\tMail download #:\ta.zip #:\there\r\nMailGet\r\na.zip\r\nhere\r\n"},
      // A missing argument is asked for.
      {"quorl:chat/general", 0, "dl",
       ";-; id:\tann type:\tscript script:\tDownload messages priority:\t90 #:\tchat/general #:\t42\r\n"
       "Download\r\nchat/general\r\n42\r\n"},
      // The message text follows the command's lines; a line that looks like a header is kept out of the headers.
      {"quorl:chat/general", 0, "note x",
       ";-; id:\tann type:\tscript script:\tNote priority:\t-30 #:\tx\r\nNote\r\nx\r\nline one\r\n"
       " ;-; id:\tnot a header\r\nline three\r\n"},
      // A template without a last line end still ends its entry, so the next header starts a line.
      {"quorl:chat/general", 0, "bare",
       ";-; id:\tann type:\tscript script:\tBare #:\tchat/general\r\nBare chat/general\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    logclose();
    DeleteFileA(Path("quorl\\quorl.bsc").c_str());
    Open(c.folder, c.message);
    EXPECT_EQ(MakeScriptCmd(c.command), 2) << Notices();
    EXPECT_EQ(Queued(), c.entry);
  }
}

TEST_F(ScriptCmdTest, RefusalsWriteNothing) {
  WriteWholeFile(Path("queued.txt"), "x");
  struct Case {
    const char* folder;  // null: no topic open
    long message;
    const char* command;
    int result;
    const char* notice;
  };
  const Case cases[] = {
      {"quorl:chat/general", 0, "nosuch", 0, ""},
      {"quorl:chat/general", 0, "ask one two", 1, "Parameter mismatch"},
      {"quorl:chat/general", 0, "readnum", 1, "No such message"},
      {"quorl:chat/general", 99, "readnum", 1, "No such message"},
      {"quorl:chat/general", 0, "upload C:\\no\\such\\file.txt", 1, "File 'C:\\no\\such\\file.txt' does not exist"},
      {nullptr, 0, "flist", 1, "You must join a folder to use that command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    logclose();
    Recorded() = UiRecord{};
    if (c.folder) {
      Open(c.folder, c.message);
    } else {
      ASSERT_EQ(rdhconf("quorl", 1), 1);
    }
    EXPECT_EQ(MakeScriptCmd(c.command), c.result);
    EXPECT_NE(Notices().find(c.notice), std::string::npos) << Notices();
    EXPECT_EQ(GetFileAttributesA(Path("quorl\\quorl.bsc").c_str()), INVALID_FILE_ATTRIBUTES);
  }
  // A cancelled prompt writes nothing either.
  Open("quorl:chat/general", 0);
  Asked().cancel = true;
  EXPECT_EQ(MakeScriptCmd("askq"), 1);
  ASSERT_EQ(Asked().prompts.size(), 1u);
  EXPECT_EQ(Asked().prompts[0].text, "Send now?");
  EXPECT_EQ(Asked().prompts[0].kind, 'a');
  EXPECT_EQ(Asked().title, "Ask quoted");
  EXPECT_EQ(GetFileAttributesA(Path("quorl\\quorl.bsc").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ScriptCmdTest, AFolderCommandRunsInThatServiceAndPutsBackTheOneBefore) {
  ASSERT_EQ(rdhconf("net", 1), 1);
  lstrcpynA(g_service.name, "netname", sizeof g_service.name);
  EXPECT_EQ(AddFolderScriptCmd("quorl", "quorl:chat/other", "flist"), 2);
  EXPECT_EQ(Queued(), ";-; id:\tann type:\tscript script:\tFile list #:\tchat/other\r\nFileList\r\nchat/other\r\n");
  EXPECT_STREQ(g_hconf.loadedService, "net");
  ASSERT_EQ(g_hconf.commandCount, 1);
  EXPECT_STREQ(g_hconf.commands[0].keyword, "netonly");
  EXPECT_STREQ(g_service.name, "netname");
  // Without a folder name the folder reads "c/t"; the previous table is back again.
  EXPECT_EQ(AddFolderScriptCmd("quorl", "", "flist"), 2);
  EXPECT_NE(Queued().find("FileList\r\nc/t\r\n"), std::string::npos);
  EXPECT_STREQ(g_hconf.commands[0].keyword, "netonly");
  // A command the service does not know gives 0, and still restores.
  EXPECT_EQ(AddFolderScriptCmd("quorl", "chat/general", "nosuch"), 0);
  EXPECT_STREQ(g_hconf.loadedService, "net");
  EXPECT_FALSE(g_topic.log) << "no topic was opened for the command";
}

TEST_F(ScriptCmdTest, ATargetFileTakesTheEntryInsteadOfTheAppendFile) {
  Open("quorl:chat/general", 0);
  SetScriptCmdTarget(Path("job1.scx").c_str());
  EXPECT_EQ(MakeScriptCmd("flist"), 2);
  EXPECT_NE(ReadWholeFile(Path("job1.scx")).find("FileList\r\nchat/general\r\n"), std::string::npos);
  EXPECT_EQ(GetFileAttributesA(Path("quorl\\quorl.bsc").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
