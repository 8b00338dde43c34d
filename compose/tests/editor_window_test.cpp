// The editor window driven by messages: a reply to a news message imported by
// import32.exe, sent to the outbasket and read back; the checks before
// sending; a screenshot of the reply.
#include "compose/tests/editor_fixture.h"

namespace {

using editor_test::EditorWindow;
using editor_test::FileText;
using editor_test::kFolder;
using editor_test::SaveScreenOf;
using editor_test::Text;

TEST_F(EditorWindow, ReplyQuotesTheMessageAndOkAppendsABlockToTheOutbasket) {
  ImportNews();
  HWND editor = ReplyToMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->nType, EDITOR_REPLY);
  EXPECT_TRUE(s->bNews);
  EXPECT_STREQ(s->szFolders, "comp.test.all");
  EXPECT_STREQ(s->szReferences, "<m1@example.org>");
  EXPECT_EQ(Text(s->subjectEdit), "Re: Bread recipes");
  std::string body = Text(s->bodyEdit);
  EXPECT_EQ(
      body.rfind("In article <m1@example.org>, Ann Lee wrote:\r\n> Knead the dough.\r\n> Let it rise.\r\n>\r\n", 0), 0u)
      << body;
  EXPECT_EQ(Text(s->statusPane[1]), "INS");
  EXPECT_EQ(Text(s->statusPane[2]), "WRAP");
  SendMessageA(s->bodyEdit, EM_SETSEL, -1, -1);
  SendMessageA(s->bodyEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("Thanks, it works."));
  SetForegroundWindow(frame_);
  RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  testwin::PumpUntil([] { return false; }, 500);
  EXPECT_TRUE(SaveScreenOf(frame_, std::string(SCREENSHOT_DIR) + "/editor_reply.bmp"));

  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3004, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); })) << "the editor stays open";
  std::string bsc = FileText(Path("net\\net.bsc"));
  std::string head = ";-; id:\tdemo type:\tedit\r\n";
  ASSERT_EQ(bsc.rfind(head, 0), 0u) << bsc;
  EditorState back;
  FILE* f = std::fopen(Path("net\\net.bsc").c_str(), "rb");
  std::fseek(f, static_cast<long>(head.size()), SEEK_SET);
  ASSERT_EQ(ReadDraft(&back, f, nullptr, nullptr), 0);
  std::fclose(f);
  EXPECT_EQ(back.nType, EDITOR_REPLY);
  EXPECT_STREQ(back.szSubject, "Re: Bread recipes");
  ASSERT_TRUE(back.bodyText);
  EXPECT_NE(std::string(back.bodyText).find("> Let it rise.\r\n>\r\nThanks, it works."), std::string::npos);
}

TEST_F(EditorWindow, HoldWritesAHeldEntryAndChecksStopBadSends) {
  ImportNews();
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->nType, EDITOR_POST);
  // No subject: refused, the editor stays.
  SetWindowTextA(s->bodyEdit, "Hello all");
  Recorded().boxes.clear();
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(1315, BN_CLICKED), 0);
  testwin::PumpPending();
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "You cannot post a message without a subject.");
  EXPECT_TRUE(IsWindow(editor));
  SetWindowTextA(s->subjectEdit, "Greetings");
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(1315, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); }));
  EXPECT_EQ(FileText(Path("net\\net.bsc")).rfind(";#; id:\tdemo type:\tedit\r\nMessageStart: 1.0\r\n", 0), 0u);

  // Local mail to someone with no user file.
  HWND mail = OpenEditor(EDITOR_MAIL, nullptr, "nobody?subject=x%20y?attach=C:\\f?service=local", 0);
  ASSERT_TRUE(mail);
  s = ActiveEditorState();
  EXPECT_EQ(Text(s->subjectEdit), "x y");
  EXPECT_EQ(s->Attachments.count(), 1);
  SetWindowTextA(s->bodyEdit, "hi");
  Recorded().boxes.clear();
  SendMessageA(mail, WM_COMMAND, MAKEWPARAM(3004, BN_CLICKED), 0);
  testwin::PumpPending();
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "There is no local mail user called 'nobody'; Please re-edit the message");
  EXPECT_TRUE(IsWindow(mail));
}

TEST_F(EditorWindow, FollowupToPosterTurnsTheReplyIntoMailToTheAuthor) {
  ImportNews("Followup-To: poster\r\n");
  Recorded().answer = IDYES;
  HWND editor = ReplyToMessage(nullptr);
  ASSERT_TRUE(editor);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("has Followup-To: set"), std::string::npos);
  EditorState* s = ActiveEditorState();
  EXPECT_EQ(s->nType, EDITOR_REPLY_BY_MAIL);
  EXPECT_TRUE(s->bReply && s->bMailing && !s->bNews);
  EXPECT_EQ(Text(s->toEdit), "Lee, Ann <ann@example.org>");
  EXPECT_EQ(Text(editor), "Replying by mail");
  EXPECT_STREQ(s->szReferences, "<m1@example.org>");
}

TEST_F(EditorWindow, SignaturesFallBackToTheServiceAndEndANewMessage) {
  ImportNews();
  SaveSig("net", "-- \r\nAnn, C:\\new\\table");
  SaveSig("net:other/group", "other");
  char sig[320];
  EXPECT_STREQ(GetSig(kFolder, sig), "-- \r\nAnn, C:\\new\\table");
  EXPECT_STREQ(GetSig("net:other/group", sig), "other");
  SaveSig("net:other/group", "");
  EXPECT_STREQ(GetSig("net:other/group", sig), "-- \r\nAnn, C:\\new\\table");
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  EXPECT_EQ(Text(s->bodyEdit), "\r\n-- \r\nAnn, C:\\new\\table");
  DWORD start = 1, end = 1;
  SendMessageA(s->bodyEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
}

TEST_F(EditorWindow, TypedWordsAreAutocorrectedAndThePanesFollowTheCaret) {
  ImportNews();
  FILE* f = std::fopen(Path("autocorr.tlx").c_str(), "wb");
  std::fputs("LEX 1 2 2\r\nadn:and\r\nteh:the\r\n", f);
  std::fclose(f);
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  SetWindowTextA(s->bodyEdit, "");
  SetFocus(s->bodyEdit);
  for (char c : std::string("teh cat adn dog.")) SendMessageA(s->bodyEdit, WM_CHAR, static_cast<unsigned char>(c), 0);
  EXPECT_EQ(Text(s->bodyEdit), "the cat and dog.");
  // Overwrite mode replaces the character after the caret.
  SendMessageA(editor, WM_COMMAND, 1990, 0);
  SendMessageA(s->bodyEdit, EM_SETSEL, 4, 4);
  SendMessageA(s->bodyEdit, WM_CHAR, 'b', 0);
  EXPECT_EQ(Text(s->bodyEdit), "the bat and dog.");
  SendMessageA(s->bodyEdit, WM_KEYUP, VK_RIGHT, 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return Text(s->statusPane[0]) == "1:6"; }, 4000)) << Text(s->statusPane[0]);
  EXPECT_EQ(Text(s->statusPane[1]), "OVR");
  SendMessageA(editor, WM_COMMAND, 1990, 0);
  // The list is read again after the reload command.
  f = std::fopen(Path("autocorr.tlx").c_str(), "wb");
  std::fputs("LEX 1 2 1\r\ncta:cat\r\n", f);
  std::fclose(f);
  SendMessageA(editor, WM_COMMAND, 1472, 0);
  int end = GetWindowTextLengthA(s->bodyEdit);
  SendMessageA(s->bodyEdit, EM_SETSEL, end, end);
  for (char c : std::string(" cta teh ")) SendMessageA(s->bodyEdit, WM_CHAR, static_cast<unsigned char>(c), 0);
  EXPECT_EQ(Text(s->bodyEdit), "the bat and dog. cat teh ");
}

}  // namespace
