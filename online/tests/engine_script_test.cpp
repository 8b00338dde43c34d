#include "online/engine_script.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

struct Bodies {
  std::map<long, std::string> files;
  std::map<std::string, std::string> attachments;
  long failOn = -1;
};

bool WriteBody(void* context, long action, const std::string& bytes) {
  Bodies* b = static_cast<Bodies*>(context);
  if (action == b->failOn) return false;
  b->files[action] = bytes;
  return true;
}

bool ReadFile(void* context, const std::string& path, std::string* bytes) {
  Bodies* b = static_cast<Bodies*>(context);
  auto found = b->attachments.find(path);
  if (found == b->attachments.end()) return false;
  *bytes = found->second;
  return true;
}

ReplyScript Make(const std::string& bsc, const char* service, Bodies* bodies, bool waiting = true) {
  ReplyScriptFiles files{bodies, WriteBody, ReadFile};
  return MakeReplyScript(bsc, service, waiting, "D:\\svc\\", files);
}

std::string Script(const std::string& name, const std::string& command, const std::string& args = "") {
  return ";-; id:\tann type:\tscript script:\t" + name + " priority:\t50\r\n" + command + "\r\n" + args;
}

std::string Message(const std::string& fields, const std::string& body, bool held = false) {
  return std::string(held ? ";#;" : ";-;") + " id:\tann type:\tedit\r\nMessageStart: 1.0\r\n" + fields +
         "Body: " + std::to_string(body.size()) + "\r\n" + body + "\r\nMessageEnd:\r\n";
}

TEST(BodyForms, EscapeStuffAndQuote) {
  EXPECT_EQ(EscapeAtSigns("a@b\r\nc\r\r\nd", true), "a@@b@b\r\nc@b\r\nd");
  EXPECT_EQ(EscapeAtSigns("a@b\r\nc\r\r\nd", false), "a@@b@b\r\ncd");
  // A lone dot on any line, the first included, is stuffed; others stay.
  EXPECT_EQ(StuffDots(".\r\nx\r\n.\r\n.y\r\n."), ". \r\nx\r\n. \r\n.y\r\n. ");
  EXPECT_EQ(QuoteForScript("say \"hi\"   \r\nsecond"), "say \"\"hi\"\"");
}

TEST(ReplyScript, ScriptActionsCountArgumentsAndBodies) {
  std::string bsc = "junk before\r\n" + Script("Download", "Download", "chat/general\r\n") +
                    Script("Upload file", "2UploadFile", "arg one\r\nbody line\r\n..\r\nlast\r\n.\r\n") +
                    Message("bSay: yes\r\nszFolders: chat/general\r\nszSubject: Hello \"you\"\r\n", "text", true) +
                    ";-; id:\tend\r\nBye\r\n";
  Bodies bodies;
  ReplyScript r = Make(bsc, "quorl", &bodies);
  EXPECT_EQ(r.script,
            "Sub Script()\n"
            "Download \"1\", \"chat/general\"\n"
            "UploadFile \"2\", \"arg one\", \"D:\\svc\\msg00002.tmp\"\n"
            "Bye \"3\"\n"
            "End Sub\n");
  EXPECT_EQ(r.actions, 3);  // the held message is neither sent nor counted
  // The block's escaped "." line comes back as written by the user.
  EXPECT_EQ(bodies.files[2], "body line\r\n.\r\nlast\r\n");
}

TEST(ReplyScript, DravenetBodiesAndTerminator) {
  std::string bsc = Script("Upload", "2UploadFile", "name\r\nmail@host\r\n/exit\r\n") +
                    Script("Announce", "3QVXUploadAnnouncements", "x\r\n5 days\r\nkeep @ as is\r\n/exit\r\n");
  Bodies bodies;
  ReplyScript r = Make(bsc, "dvn", &bodies);
  EXPECT_EQ(bodies.files[1], "mail@@host@b\r\n");
  EXPECT_EQ(bodies.files[2], "keep @ as is\r\n");
  EXPECT_EQ(r.written, (std::vector<long>{1, 2}));
}

TEST(ReplyScript, MessageStatementsPerService) {
  std::string say = Message(
      "bSay: yes\r\nbReceipt: yes\r\nszFolders: chat/general\r\nszSubject: Hi\r\nszRealname: Ann "
      "Lee\r\nszEmail: ann@x.org\r\nszSensitivity: Private\r\nTo: Bob\tbob@y.org\r\n",
      ".\r\nline @ two");
  Bodies bodies;
  ReplyScript dvn = Make(say, "dvn", &bodies);
  EXPECT_EQ(dvn.script,
            "Sub Script()\nSay \"1\", \"chat/general\", \"Ann Lee\", \"Bob [bob@y.org]\", 3, \"Hi\", "
            "\"D:\\svc\\msg00001.tmp\"\nEnd Sub\n");
  EXPECT_EQ(bodies.files[1], ".@b\r\nline @@ two\r\n");
  ReplyScript net = Make(say, "net", &bodies);
  EXPECT_EQ(net.script,
            "Sub Script()\nSay \"1\", \"chat/general\", \"\", 3, \"Hi\", \"D:\\svc\\msg00001.tmp\"\n"
            "GetWaitingMessages \"9999\"\nEnd Sub\n");
  EXPECT_EQ(bodies.files[1], "From: Ann Lee <ann@x.org>\r\nReply-To: ann@x.org\r\n\r\n. \r\nline @ two\r\n");
  EXPECT_EQ(Make(say, "net", &bodies, false).script.find("GetWaitingMessages"), std::string::npos);

  std::string mail = Message(
      "bMailing: yes\r\nbMime: no\r\nbSendToSelf: yes\r\nszSubject: S\r\nszEmail: me@x.org\r\nszRealname: "
      "Me\r\nTo: Smith, John\tjs@y.org\r\nCC: cc@y.org\r\nAttachments: C:\\a.txt\r\n",
      "b");
  ReplyScript m = Make(mail, "net", &bodies, false);
  EXPECT_EQ(m.script,
            "Sub Script()\nStartMail \"1\", 0, \"S\", \"D:\\svc\\msg00001.tmp\", \"UU\"\n"
            "AddRecipient \"js@y.org\", \"\"\"Smith\\, John\"\"\", \"to\"\n"
            "AddRecipient \"cc@y.org\", \"\", \"cc\"\n"
            "AddRecipient \"me@x.org\", \"Me\", \"bcc\"\n"
            "AddAttachment \"C:\\a.txt\", \"C:\\a.txt\"\nEndMail\nEnd Sub\n");
}

TEST(ReplyScript, FailuresLeaveTheActionOut) {
  std::string bsc = Script("Upload", "2UploadFile", "a\r\nbody\r\n.\r\n") +
                    Message("bSay: yes\r\nszFolders: f\r\nAttachments: C:\\missing.bin\r\n", "x") +
                    Script("Download", "Download", "f\r\n");
  Bodies bodies;
  bodies.failOn = 1;
  ReplyScript r = Make(bsc, "quorl", &bodies);
  EXPECT_EQ(r.left, (std::vector<long>{1, 2}));
  EXPECT_EQ(r.written, (std::vector<long>{3}));
  EXPECT_EQ(r.script, "Sub Script()\nDownload \"3\", \"f\"\nEnd Sub\n");
}

TEST(ReplyScript, StopsPastTheLimitButNotForTheInternet) {
  std::string bsc;
  std::string big(20000, 'x');
  for (int i = 0; i < 5; i++)
    bsc += Script("Upload", "2UploadFile", "a\r\n" + big + "\r\n.\r\n") +
           Message("bSay: yes\r\nszFolders: f\r\nszSubject: " + big.substr(0, 15000) + "\r\n", "b");
  Bodies bodies;
  ReplyScript r = Make(bsc, "quorl", &bodies);
  EXPECT_TRUE(r.limitReached);
  EXPECT_LT(r.written.size(), 10u);
  EXPECT_GT(r.script.size(), kReplyScriptLimit);
  EXPECT_FALSE(Make(bsc, "net", &bodies).limitReached);
}

TEST(SuccessLog, NumbersThatCount) {
  EXPECT_EQ(ReadSuccessLog("3\n1\r\n3\n x \n-2\n0\n12345678901\n 2 \n7"), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(SortedSuccessLog("10\n2\n2\n"), "2\n10\n");
}

TEST(SuccessLog, KeepsWhatWasNotConfirmed) {
  std::string a1 = Script("A", "A"), a2 = Script("B", "B"),
              a3 = Message("bSay: yes\r\n", "x\r\n;-; id:\tlooks like a header\r\ny"),
              held = ";#; id:\tann type:\tscript script:\tH priority:\t1\r\nH\r\n", a4 = Script("D", "D");
  std::string file = "stray\r\n" + a1 + a2 + a3 + held + a4;
  struct Case {
    std::string log;
    std::string kept;
  } cases[] = {
      {"1\n3\n", a2 + held + a4},          {"", a1 + a2 + a3 + held + a4},
      {"3\n1\n3\n1\n", a2 + held + a4},     // unsorted, repeated
      {"4\n99\n", a1 + a2 + a3 + held},     // past the end confirms nothing
      {"1\n2\n3\n4", a3 + held + a4 + ""},  // the torn last line does not count
  };
  // The last case keeps action 4, which the torn line might have meant.
  cases[4].kept = held + a4;
  for (const Case& c : cases) {
    AppliedLog applied = ApplySuccessNumbers(file, ReadSuccessLog(c.log));
    EXPECT_EQ(applied.kept, c.kept) << c.log;
    EXPECT_EQ(applied.lastAction, 4) << c.log;
  }
}

TEST(SuccessLog, NumberingMatchesTheScript) {
  // Whatever the entries hold, action k of the script is entry k of the log.
  std::string file = Script("A", "2UploadFile", "x\r\n;-; id:\tescaped? no\r\n.\r\n") +
                     Message("bSay: yes\r\nszFolders: f\r\n", ";-; id:\tinside\r\n") + Script("C", "C");
  Bodies bodies;
  ReplyScript r = Make(file, "quorl", &bodies);
  AppliedLog applied = ApplySuccessNumbers(file, {});
  EXPECT_EQ(r.actions, applied.lastAction);
}

}  // namespace
