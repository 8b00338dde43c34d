// The composer's Win32 side under Wine: recipient lists in real controls, the
// edit control's soft breaks, and local messages that import32.exe takes into
// the topics.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "compose/addr_list.h"
#include "compose/compose.h"
#include "compose/message_block.h"
#include "core/appstate.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_queue_file.h"
#include "msgbase/import_text.h"
#include "msgbase/tests/topic_fixture.h"
#include "tests/support/process.h"

namespace {

std::string ReadAll(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "";
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  std::fclose(f);
  return out;
}

std::vector<ImportQueueEntry> Queued(const std::string& path) {
  std::vector<ImportQueueEntry> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  VirtualArray queue("q", sizeof(ImportQueueEntry));
  ReadImportQueue(f, queue);
  std::fclose(f);
  for (int i = 0; i < queue.Count(); ++i) out.push_back(*static_cast<ImportQueueEntry*>(queue.At(i)));
  return out;
}

HWND Control(const char* cls, DWORD style) {
  return CreateWindowExA(0, cls, "", WS_POPUP | style, 0, 0, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr),
                         nullptr);
}

UINT NoStart(const char*, UINT) { return 33; }

class ComposeLocal : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    saved_ = g_importProgram;
    g_importProgram.start = NoStart;
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
  }
  void TearDown() override {
    g_importProgram = saved_;
    TopicFixture::TearDown();
  }
  void RunImport() { ASSERT_NE(testproc::RunAndWait(IMPORT32_EXE, "import32.exe \"" + dir_ + "\""), -1); }
  // The bodies of the messages of a folder, read through the message base.
  std::vector<std::string> Messages(const char* folder) {
    std::vector<std::string> out;
    logclose();
    if (rdconf(0) != 1) return out;
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    if (logopen() != 1) return out;
    for (long n = g_topic.first; n <= g_topic.last; ++n) {
      if (!scanmsg(n)) continue;
      std::string text;
      while (g_logReader.remaining > 0) {
        long k = readmsgline(g_logReader);
        if (k <= 0) break;
        g_logReader.remaining -= k;
        text.append(g_logReader.line, g_logReader.lineLength);
      }
      out.push_back(text);
    }
    return out;
  }
  void EmptyConfList() {
    VirtualArray list("l", sizeof(ConfRec));
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, list, 0));
    std::fclose(f);
  }
  ImportProgramSeam saved_;
};

TEST(AddrListControls, FillAndReadBackThroughEditListAndComboControls) {
  CAddrList list;
  list.Parse("Ann Lee <ann@x.com>; bob@y.org", false);
  for (const char* cls : {"EDIT", "LISTBOX", "COMBOBOX"}) {
    HWND c = Control(cls, cls[0] == 'C' ? CBS_DROPDOWNLIST : cls[0] == 'E' ? ES_AUTOHSCROLL : 0);
    ASSERT_TRUE(c) << cls;
    EXPECT_EQ(list.FillControl(c, "net", false), 0);
    EXPECT_EQ(list.FillControl(c, "net", true), 0);
    CAddrList back;
    EXPECT_EQ(back.ReadControl(c, false), 0);
    ASSERT_EQ(back.Count(), 4) << cls;
    EXPECT_STREQ(back.At(0)->name, cls[0] == 'E' ? "Ann Lee" : "");
    EXPECT_STREQ(back.At(1)->address, "bob@y.org");
    DestroyWindow(c);
  }
  HWND edit = Control("EDIT", ES_AUTOHSCROLL);
  list.FillControl(edit, "net", false);
  char text[200];
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_STREQ(text, "Ann Lee <ann@x.com>;bob@y.org");
  DestroyWindow(edit);

  HWND button = Control("BUTTON", 0);
  SetWindowTextA(button, "keep");
  EXPECT_EQ(list.FillControl(button, "net", false), 1);
  EXPECT_EQ(list.ReadControl(button, false), 1);
  GetWindowTextA(button, text, sizeof text);
  EXPECT_STREQ(text, "keep");
  EXPECT_EQ(list.Count(), 2);
  DestroyWindow(button);
}

// The composer relies on the edit control marking its wrap points as
// CR CR LF when asked, and on hard breaks staying CR LF.
TEST(EditControl, FormatLinesShowsSoftBreaksAsTwoCarriageReturns) {
  HWND edit = Control("EDIT", ES_MULTILINE | ES_AUTOVSCROLL | WS_VISIBLE);
  ASSERT_TRUE(edit);
  SetWindowPos(edit, nullptr, 0, 0, 120, 200, SWP_NOMOVE | SWP_NOZORDER);
  SetWindowTextA(edit, "alpha beta gamma delta epsilon zeta eta theta\r\nnext");
  EditorState s;
  s.bodyEdit = edit;
  char* text = g_editorControlHooks.bodyWithSoftBreaks(&s);
  ASSERT_TRUE(text);
  std::string shown = text;
  free(text);
  EXPECT_NE(shown.find("\r\r\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("theta\r\nnext"), std::string::npos) << shown;
  char plain[200];
  GetWindowTextA(edit, plain, sizeof plain);
  EXPECT_EQ(std::string(plain).find("\r\r\n"), std::string::npos);
  DestroyWindow(edit);
  // The control takes the longest body an editor allows.
  edit = Control("EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_HSCROLL);
  SendMessageA(edit, EM_SETLIMITTEXT, 2048000, 0);
  std::string line(62, 'x');
  line += "\r\n";
  std::string big;
  while (big.size() + line.size() <= 2048000) big += line;
  big.append(2048000 - big.size(), 'y');
  SetWindowTextA(edit, big.c_str());
  EXPECT_EQ(GetWindowTextLengthA(edit), 2048000);
  DestroyWindow(edit);
}

TEST_F(ComposeLocal, MailGoesOnceToEachRecipientAndTheSendersCopyListsBcc) {
  EmptyConfList();
  EditorState s;
  std::strcpy(s.szService, "local");
  s.nType = EDITOR_MAIL;
  s.bMailing = 1;
  std::strcpy(s.szSubject, "Lunch");
  s.To.Parse("bob; demo", false);
  s.Cc.Parse("carl; BOB", false);
  s.Bcc.Parse("dora", false);
  std::string body(1000 - 200, 'b');
  s.bodyText = strdup("Meet at noon.");
  ASSERT_EQ(ComposeOutgoing(&s), 0);
  std::vector<ImportQueueEntry> queued = Queued(Path("import.dat"));
  ASSERT_EQ(queued.size(), 4u);
  const char* kinds[] = {"bob", "carl", "dora", "demo"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_STREQ(queued[i].kind, kinds[i]);
    EXPECT_STREQ(queued[i].service, "local");
    EXPECT_EQ(queued[i].flags, 0x800u);
    std::string text = ReadAll(queued[i].path);
    EXPECT_EQ(text.rfind("Memo #0 (", 0), 0u);
    EXPECT_EQ(std::to_string(text.size() - 21), std::to_string(std::stoul(text.substr(9, 10))));
    bool own = i == 3;
    EXPECT_EQ(text.find("Bcc:") != std::string::npos, own) << text;
    EXPECT_NE(text.find("To: bob\r\nCc: carl\r\n"), std::string::npos) << text;
  }
  RunImport();
  std::vector<std::string> bob = Messages("mail/bob");
  ASSERT_EQ(bob.size(), 1u) << ReadAll(Path("import.log"));
  EXPECT_NE(bob[0].find("Meet at noon."), std::string::npos);
  EXPECT_EQ(bob[0].find("Bcc:"), std::string::npos);
  ASSERT_EQ(Messages("mail/dora").size(), 1u);
  std::vector<std::string> own = Messages("mail/demo");
  ASSERT_EQ(own.size(), 1u);
  EXPECT_NE(own[0].find("Bcc: dora"), std::string::npos);
}

TEST_F(ComposeLocal, ThousandByteMemoCarriesItsCountAndAMissingAttachmentStopsTheSend) {
  EmptyConfList();
  EditorState s;
  std::strcpy(s.szService, "local");
  s.bMailing = 1;
  s.bSendToSelf = 0;
  s.To.Parse("bob", false);
  // Head of this memo: the date and id vary in length, so size the body to it.
  s.bodyText = strdup("x");
  ASSERT_EQ(ComposeOutgoing(&s), 0);
  std::vector<ImportQueueEntry> queued = Queued(Path("import.dat"));
  ASSERT_EQ(queued.size(), 1u);
  size_t small = ReadAll(queued[0].path).size();
  DeleteFileA(Path("import.dat").c_str());
  DeleteFileA(queued[0].path);
  std::free(s.bodyText);
  s.bodyText = strdup(std::string(1000 - small + 1, 'x').c_str());
  ASSERT_EQ(ComposeOutgoing(&s), 0);
  queued = Queued(Path("import.dat"));
  ASSERT_EQ(queued.size(), 1u);
  std::string text = ReadAll(queued[0].path);
  ASSERT_EQ(text.size(), 1000u);
  EXPECT_EQ(text.rfind("Memo #0 (0000000979)\r\n", 0), 0u);

  DeleteFileA(Path("import.dat").c_str());
  s.Attachments.add(Path("no such file.txt").c_str());
  Recorded().boxes.clear();
  EXPECT_EQ(ComposeOutgoing(&s), 1);
  EXPECT_TRUE(Queued(Path("import.dat")).empty());
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("no such file.txt"), std::string::npos);
}

TEST_F(ComposeLocal, CommentToALocalFolderLandsUnderItsParent) {
  EmptyConfList();
  // The folder with one message, through the import program.
  std::string text = NewFolderPragma("general", "chat") +
                     ImportMessageText({"general/chat", 0, "ann", "Thu, 10 Dec 2026 14:00", 0}, "First post\r\n");
  FILE* f = std::fopen(Path("seed.tmp").c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  ASSERT_TRUE(QueueImport("local", Path("seed.tmp").c_str(), "messages", 0));
  RunImport();
  ASSERT_EQ(Messages("general/chat").size(), 1u) << ReadAll(Path("import.log"));
  logclose();

  EditorState s;
  std::strcpy(s.szService, "local");
  std::strcpy(s.szFolders, "general/chat");
  s.bComment = 1;
  s.nComment = 1;
  std::strcpy(s.szSubject, "Re: First");
  s.bodyText = strdup("I agree.\r\r\nWith this.");
  ASSERT_EQ(ComposeOutgoing(&s), 0);
  std::vector<ImportQueueEntry> queued = Queued(Path("import.dat"));
  ASSERT_EQ(queued.size(), 1u);
  std::string form = ReadAll(queued[0].path);
  EXPECT_NE(form.find(", 18 chars, "), std::string::npos) << form;
  EXPECT_NE(form.find("Comment to 1.\r\n----------\r\nI agree.With this.\r\n"), std::string::npos) << form;
  RunImport();
  ASSERT_EQ(Messages("general/chat").size(), 2u) << ReadAll(Path("import.log"));
  MsgIndexRec* rec = getmsghdr(g_topic.last, 1);
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->commentTo, 1);
}

}  // namespace
