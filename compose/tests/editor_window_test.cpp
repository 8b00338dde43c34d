// The editor window driven by messages: a reply to a news message imported by
// import32.exe, sent to the outbasket and read back; the checks before
// sending; a screenshot of the reply.
#include <cstdlib>
#include <vector>

#include "compose/editor_internal.h"
#include "compose/tests/editor_fixture.h"
#include "core/user_settings.h"

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

// The body wraps at the wrap column, not at the window's edge, until the user
// drags the window to a new size; a quoted line longer than the column widens it.
TEST_F(EditorWindow, TheBodyWrapsAtTheWrapColumnUntilTheUserSizesTheWindow) {
  const uint32_t savedMargin = g_user.rightMargin;
  g_user.rightMargin = 20;
  ImportNews();
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s && s->bWordWrap);
  MoveWindow(editor, 0, 0, 640, 400, TRUE);
  auto formatWidth = [&] {
    RECT format = {};
    SendMessageA(s->bodyEdit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    return static_cast<int>(format.right - format.left);
  };
  auto lines = [&] { return static_cast<int>(SendMessageA(s->bodyEdit, EM_GETLINECOUNT, 0, 0)); };
  EXPECT_EQ(s->nWrapChars, 20);
  EXPECT_EQ(formatWidth(), 20 * s->charWidth);
  SetWindowTextA(s->bodyEdit, "one two three four five six seven eight");
  EXPECT_GE(lines(), 2);

  // The user's drag: the body's new width becomes the wrap width.
  RECT drag = {0, 0, 700, 400};
  SendMessageA(editor, WM_ENTERSIZEMOVE, 0, 0);
  SendMessageA(editor, WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&drag));
  MoveWindow(editor, 0, 0, 700, 400, TRUE);
  SendMessageA(editor, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_GT(s->wrapWidth, 20 * s->charWidth);
  EXPECT_EQ(formatWidth(), s->wrapWidth);
  EXPECT_EQ(lines(), 1);
  // A later size change by the program keeps the user's width.
  MoveWindow(editor, 0, 0, 900, 400, TRUE);
  EXPECT_EQ(formatWidth(), s->wrapWidth);

  s->wrapWidth = 20 * s->charWidth;
  LayoutEditor(s);
  QuoteText(s, std::string(30, 'x'), false);
  EXPECT_EQ(s->nWrapChars, 35) << "the quoted line of 32 characters and 3 more";
  EXPECT_EQ(s->wrapWidth, 35 * s->charWidth);
  EXPECT_EQ(formatWidth(), s->wrapWidth);
  g_user.rightMargin = savedMargin;
  SendMessageA(s->bodyEdit, EM_SETMODIFY, FALSE, 0);
  s->bChanged = 0;
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

// Where an editor stands, in the MDI client's coordinates.
RECT PlaceOf(HWND editor) {
  RECT r;
  GetWindowRect(editor, &r);
  MapWindowPoints(nullptr, g_shell.mdiClient, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Placed(const RECT& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
         std::to_string(r.bottom - r.top);
}

TEST_F(EditorWindow, EachModeReopensWhereItsEditorWasLastLeft) {
  ImportNews();
  const WindowPlacement statusBefore = g_windowPlacements[WINDOW_STATUS];
  HWND mail = OpenEditor(EDITOR_MAIL, nullptr, "nobody?service=local", 0);
  HWND post = OpenEditor(EDITOR_POST, nullptr, "?folder=net:comp.test/all", 0);
  ASSERT_TRUE(mail && post);
  MoveWindow(mail, 40, 30, 520, 400, TRUE);
  MoveWindow(post, 120, 90, 480, 360, TRUE);
  SendMessageA(g_shell.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(mail), 0);
  SendMessageA(g_shell.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(post), 0);

  mail = OpenEditor(EDITOR_MAIL, nullptr, "nobody?service=local", 0);
  post = OpenEditor(EDITOR_POST, nullptr, "?folder=net:comp.test/all", 0);
  ASSERT_TRUE(mail && post);
  EXPECT_EQ(Placed(PlaceOf(mail)), "40 30 520 400");
  EXPECT_EQ(Placed(PlaceOf(post)), "120 90 480 360");
  // The recipient was filled in before the window had its size: the field
  // still shows it from its start.
  HWND to = GetDlgItem(mail, 3001);
  EXPECT_EQ(Text(to), "nobody");
  EXPECT_GE(static_cast<short>(LOWORD(SendMessageA(to, EM_POSFROMCHAR, 0, 0))), 0);
  SetForegroundWindow(frame_);
  RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  testwin::PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(testwin::SaveWindowPng(frame_, std::string(SCREENSHOT_DIR) + "/editor_places.png"));

  // The places reach the user's file under the keys of their window kinds.
  const std::string savedIniName = g_userIniName;
  const int savedSet = g_settingsSet;
  SetSettingsUser("demo", 0);
  WriteWindowPlacements(EDITOR_MAIL);
  WriteWindowPlacements(EDITOR_POST);
  SetSettingsUser(savedIniName.c_str(), savedSet);
  lstrcpynA(g_userIniName, savedIniName.c_str(), sizeof g_userIniName);
  std::string ini = FileText(Path("demo.ini"));
  EXPECT_NE(ini.find("[Windows]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Mail=40 30 520 400 1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Say=120 90 480 360 1"), std::string::npos) << ini;

  // An edited action has no place of its own: it leaves the status
  // window's (kind 11) alone.
  EditorState source;
  source.nType = EDITOR_POST;
  source.bSay = source.bNews = 1;
  lstrcpynA(source.szService, "net", sizeof source.szService);
  lstrcpynA(source.szFolders, "comp.test.all", sizeof source.szFolders);
  lstrcpynA(source.szSubject, "Queued", sizeof source.szSubject);
  CStrList lines;
  char* body = nullptr;
  ASSERT_EQ(WriteDraft(&source, nullptr, &lines, &body), 0);
  HWND action =
      OpenEditor(EDITOR_EDIT_ACTION, reinterpret_cast<const char*>(&lines), reinterpret_cast<const char*>(&body), 0);
  ASSERT_TRUE(action);
  MoveWindow(action, 10, 10, 450, 350, TRUE);
  SendMessageA(g_shell.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(action), 0);
  std::free(body);
  const WindowPlacement& status = g_windowPlacements[WINDOW_STATUS];
  EXPECT_EQ(status.left, statusBefore.left);
  EXPECT_EQ(status.width, statusBefore.width);
}

TEST_F(EditorWindow, FrameCommandsGoToTheFrameAndTheWindowPaintsWithItsOwnBrushes) {
  ImportNews();
  HWND editor = OpenEditor(EDITOR_MAIL, nullptr, "nobody?service=local", 0);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s);

  // Address Book, Review Outbasket, macro record and play, PGP: the frame's.
  host_.commands().clear();
  for (int id : {1002, 1201, 1259, 1260, 1764, 1990}) SendMessageA(editor, WM_COMMAND, id, 0);
  EXPECT_EQ(host_.commands(), (std::vector<int>{1002, 1201, 1259, 1260, 1764})) << "1990 is the editor's own";
  EXPECT_TRUE(IsWindow(editor));

  // The I-beam over any of its edits, the class cursor elsewhere.
  HCURSOR beam = LoadCursor(nullptr, IDC_IBEAM), arrow = LoadCursor(nullptr, IDC_ARROW);
  for (HWND edit : {s->toEdit, s->subjectEdit, s->bodyEdit}) {
    SetCursor(arrow);
    EXPECT_TRUE(SendMessageA(editor, WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), beam);
  }
  SetCursor(arrow);
  SendMessageA(editor, WM_SETCURSOR, reinterpret_cast<WPARAM>(s->okButton), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(GetCursor(), beam);

  auto colourOf = [](HBRUSH brush) {
    LOGBRUSH b = {};
    return GetObjectA(brush, sizeof b, &b) ? b.lbColor : CLR_INVALID;
  };
  HDC dc = GetDC(editor);
  HBRUSH face = reinterpret_cast<HBRUSH>(
      SendMessageA(editor, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(s->subjectLabel)));
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(colourOf(face), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(editor, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(s->okButton))),
            face);
  HBRUSH window = reinterpret_cast<HBRUSH>(SendMessageA(editor, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), 0));
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(colourOf(window), GetSysColor(COLOR_WINDOW));
  ReleaseDC(editor, dc);
  EXPECT_NE(face, GetSysColorBrush(COLOR_BTNFACE)) << "the editor's own brush, not the shared one";

  // New system colours make new brushes; the old ones are freed, and so are
  // the last ones when the editor closes.
  SendMessageA(editor, WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(GetObjectType(face), 0u);
  EXPECT_EQ(GetObjectType(window), 0u);
  HBRUSH newFace = s->faceBrush, newWindow = s->windowBrush;
  EXPECT_EQ(colourOf(newFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(colourOf(newWindow), GetSysColor(COLOR_WINDOW));
  SendMessageA(editor, WM_DISPLAYCHANGE, 32, MAKELPARAM(760, 560));
  EXPECT_EQ(GetObjectType(newFace), 0u);
  newFace = s->faceBrush;
  newWindow = s->windowBrush;
  SendMessageA(g_shell.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(editor), 0);
  EXPECT_EQ(GetObjectType(newFace), 0u);
  EXPECT_EQ(GetObjectType(newWindow), 0u);
}

}  // namespace
