// The editor's commands, field keys, typing aids, mail merge, notes, edited
// actions and dialogs, driven by messages under Wine; the dialogs are worked
// by a timer inside their modal loops, which also saves their pictures.
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <set>
#include <vector>

#include "compose/tests/editor_fixture.h"
#include "core/ini.h"
#include "tests/support/files.h"
#include "core/system_helpers.h"
#include "core/tests/ui_recorder.h"
#include "core/user_settings.h"
#include "resources/compose_ids.h"

namespace {

using editor_test::EditorWindow;
using editor_test::FileText;
using editor_test::kFolder;
using editor_test::SaveScreenOf;
using editor_test::Text;

// --- a driver for modal dialogs ------------------------------------------------

std::function<void(HWND dialog, const std::string& title)> g_drive;
std::set<HWND> g_driven;
int g_depth = 0;

BOOL CALLBACK FindEnabledDialog(HWND window, LPARAM found) {
  char name[32];
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) == "#32770" && IsWindowVisible(window) && IsWindowEnabled(window) && !g_driven.count(window))
    *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

void CALLBACK DriveTimer(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindEnabledDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || !g_drive) return;
  g_driven.insert(dialog);
  char title[200] = "";
  GetWindowTextA(dialog, title, sizeof title);
  g_drive(dialog, title);
}

INT_PTR DrivenDialogBox(HINSTANCE module, const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  UINT_PTR timer = g_depth++ == 0 ? SetTimer(nullptr, 0, 40, DriveTimer) : 0;
  INT_PTR result = DialogBoxParamA(module, name, owner, proc, param);
  if (timer) KillTimer(nullptr, timer);
  --g_depth;
  return result;
}

void Shoot(HWND dialog, const char* file) {
  testwin::PumpUntil([] { return false; }, 300);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  EXPECT_TRUE(SaveScreenOf(dialog, std::string(SCREENSHOT_DIR) + "/" + file));
}

void Click(HWND dialog, int id) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// The file dialog answers with one path.
std::string g_fileAnswer;
BOOL AnswerFileDialog(OPENFILENAMEA* dialog, bool) {
  lstrcpynA(dialog->lpstrFile, g_fileAnswer.c_str(), static_cast<int>(dialog->nMaxFile));
  dialog->lpstrFile[g_fileAnswer.size() + 1] = 0;
  return TRUE;
}

std::string g_promptAnswer;
bool AnswerPrompt(const char*, const char*, char* answer, size_t size, bool) {
  lstrcpynA(answer, g_promptAnswer.c_str(), static_cast<int>(size));
  return true;
}

class EditorCommands : public EditorWindow {
 protected:
  void SetUp() override {
    EditorWindow::SetUp();
    savedUser_ = g_user;
    savedFile_ = g_systemHelperHooks;
    savedPrompt_ = g_prompt;
    savedCompose_ = g_composeHooks;
    savedSpell_ = g_editorSpellHooks;
    g_ui.dialogBox = DrivenDialogBox;
    g_systemHelperHooks.runFileDialog = AnswerFileDialog;
    g_prompt.answer = AnswerPrompt;
    g_drive = nullptr;
    g_driven.clear();
    // The editor returns to the data directory after its file prompts, as
    // the program runs in it; the test's own directory is put back.
    GetCurrentDirectoryA(sizeof savedDirectory_, savedDirectory_);
  }
  void TearDown() override {
    g_user = savedUser_;
    g_systemHelperHooks = savedFile_;
    g_prompt = savedPrompt_;
    g_composeHooks = savedCompose_;
    g_editorSpellHooks = savedSpell_;
    g_drive = nullptr;
    SetCurrentDirectoryA(savedDirectory_);
    EditorWindow::TearDown();
  }
  // A new mail through the net service, with every field there.
  EditorState* NewNetMail(HWND* editor) {
    ImportNews();
    *editor = OpenEditor(EDITOR_MAIL, nullptr, "a@b?subject=x%20y?attach=C:\\f?service=net", 0);
    return *editor ? ActiveEditorState() : nullptr;
  }
  void Type(HWND edit, const std::string& text) {
    for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
  }
  // The blocks of an action file after their header lines.
  std::vector<std::string> Headers(const std::string& file) {
    std::vector<std::string> out;
    std::string text = FileText(file);
    for (size_t at = 0; (at = text.find(" id:\tdemo type:\tedit\r\n", at)) != std::string::npos; ++at)
      out.push_back(text.substr(at - 3, 3));
    return out;
  }
  char savedDirectory_[MAX_PATH] = "";
  UserMainSettings savedUser_;
  SystemHelperHooks savedFile_;
  PromptSeam savedPrompt_;
  ComposeHooks savedCompose_;
  EditorSpellHooks savedSpell_;
};

TEST_F(EditorCommands, AMailToParameterStringFillsTheFields) {
  HWND editor;
  EditorState* s = NewNetMail(&editor);
  ASSERT_TRUE(s);
  EXPECT_EQ(Text(s->toEdit), "a@b");
  EXPECT_EQ(Text(s->subjectEdit), "x y");
  ASSERT_EQ(s->Attachments.count(), 1);
  EXPECT_STREQ(s->Attachments.get(0), "C:\\f");
  EXPECT_EQ(Text(s->attachPane), "1 Attached File");
  EXPECT_TRUE(s->serviceBox);
  // Originator adds the current message's sender to a mail's recipients.
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3017, BN_CLICKED), 0);
  EXPECT_EQ(Text(s->toEdit), "a@b;Lee, Ann <ann@example.org>");
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3017, BN_CLICKED), 0);
  EXPECT_EQ(Text(s->toEdit), "a@b;Lee, Ann <ann@example.org>") << "no repeat";
  SetForegroundWindow(frame_);
  RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  testwin::PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(SaveScreenOf(frame_, std::string(SCREENSHOT_DIR) + "/editor_mail.bmp"));
}

TEST_F(EditorCommands, MailMergeWritesOneEntryPerLineWithEveryPlaceholderReplaced) {
  testfs::WriteWholeFile(Path("people.csv"), "ann@x.org,Ann,\"12,50\"\r\n\r\nbob@x.org,Bob,3\r\ncat@x.org,Cat,4");
  for (bool hold : {false, true}) {
    SCOPED_TRACE(hold ? "Hold" : "OK");
    DeleteFileA(Path("net\\net.bsc").c_str());
    HWND editor;
    EditorState* s = NewNetMail(&editor);
    ASSERT_TRUE(s);
    lstrcpynA(s->szMergeFile, Path("people.csv").c_str(), sizeof s->szMergeFile);
    SetWindowTextA(s->toEdit, "%1%");
    SetWindowTextA(s->subjectEdit, "For %2%");
    std::string body = "Dear %2%, %2% owes %3%.\r\n" + std::string(5000, 'x');
    SetWindowTextA(s->bodyEdit, body.c_str());
    SendMessageA(editor, WM_COMMAND, MAKEWPARAM(hold ? 1315 : 3004, BN_CLICKED), 0);
    ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); }));
    std::string file = Path("net\\net.bsc");
    std::vector<std::string> heads = Headers(file);
    ASSERT_EQ(heads.size(), 3u) << FileText(file);
    for (const std::string& h : heads) EXPECT_EQ(h, hold ? ";#;" : ";-;");
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_TRUE(f);
    const char* expected[][3] = {{"ann@x.org", "For Ann", "Dear Ann, Ann owes 12,50."},
                                 {"bob@x.org", "For Bob", "Dear Bob, Bob owes 3."},
                                 {"cat@x.org", "For Cat", "Dear Cat, Cat owes 4."}};
    char line[256];
    for (auto& e : expected) {
      ASSERT_TRUE(std::fgets(line, sizeof line, f));  // the header line
      EditorState back;
      ASSERT_EQ(ReadDraft(&back, f, nullptr, nullptr), 0);
      ASSERT_EQ(back.To.Count(), 1);
      EXPECT_STREQ(back.To.At(0)->address, e[0]);
      EXPECT_STREQ(back.szSubject, e[1]);
      ASSERT_TRUE(back.bodyText);
      std::string got = back.bodyText;
      EXPECT_EQ(got.rfind(e[2], 0), 0u) << got.substr(0, 60);
      EXPECT_GE(got.size(), 5000u) << "the body was cut";
    }
    std::fclose(f);
  }
}

TEST_F(EditorCommands, ABlankPostToGoesToAllAndHoldIsHeld) {
  ImportNews();
  CreateDirectoryA(Path("dvn").c_str(), nullptr);
  HWND editor = OpenEditor(EDITOR_POST, nullptr, "?folder=dvn:cooking/bread", 0);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s->toEdit) << "a dvn post has a To field";
  EXPECT_EQ(SendMessageA(s->subjectEdit, EM_GETLIMITTEXT, 0, 0), 24);
  EXPECT_EQ(SendMessageA(s->bodyEdit, EM_GETLIMITTEXT, 0, 0), 9800);
  SetWindowTextA(s->subjectEdit, "Sourdough");
  SetWindowTextA(s->bodyEdit, "Who has a starter?");
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3004, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); }));
  std::string bsc = FileText(Path("dvn\\dvn.bsc"));
  ASSERT_EQ(bsc.rfind(";-; id:\tdemo type:\tedit\r\n", 0), 0u) << bsc;
  EXPECT_NE(bsc.find("\r\nTo: All\r\n"), std::string::npos) << bsc;
}

TEST_F(EditorCommands, EditCommandsWorkOnTheFocusedEdit) {
  ImportNews();
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  struct Case {
    int command;
    DWORD caret;
    const char* text;
    DWORD caretAfter;
  } cases[] = {
      {1994, 0, "two\r\nthree, four", 0},      // the word and the blank after it
      {1994, 7, "one twothree, four", 7},      // the line break
      {1994, 14, "one two\r\nthreefour", 14},  // a run of punctuation and blanks
      {1991, 10, "one two\r\n", 9},            // the caret's line
      {1992, 12, "one two\r\nthree, four", 9},
      {1993, 2, "one two\r\nthree, four", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    SetWindowTextA(s->bodyEdit, "one two\r\nthree, four");
    SetFocus(s->bodyEdit);
    SendMessageA(s->bodyEdit, EM_SETSEL, c.caret, c.caret);
    SendMessageA(editor, WM_COMMAND, c.command, 0);
    EXPECT_EQ(Text(s->bodyEdit), c.text);
    DWORD start = 0, end = 0;
    SendMessageA(s->bodyEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, c.caretAfter);
  }
  // In a one-line field: the caret to its ends, a clear empties it.
  SetWindowTextA(s->subjectEdit, "a subject");
  SetFocus(s->subjectEdit);
  SendMessageA(editor, WM_COMMAND, 1993, 0);
  DWORD start = 0;
  SendMessageA(s->subjectEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  EXPECT_EQ(start, 9u);
  SendMessageA(editor, WM_COMMAND, 1991, 0);
  EXPECT_EQ(Text(s->subjectEdit), "");
}

TEST_F(EditorCommands, WordWrapRecreatesTheBodyKeepingItsText) {
  ImportNews();
  HWND editor = NewMessage(nullptr);
  EditorState* s = ActiveEditorState();
  std::string text = "A long line " + std::string(300, 'w') + "\r\nsecond";
  SetWindowTextA(s->bodyEdit, text.c_str());
  SendMessageA(s->bodyEdit, EM_SETSEL, 5, 9);
  for (int round = 0; round < 2; ++round) {
    SendMessageA(editor, WM_COMMAND, 1715, 0);
    bool wrapping = round == 1;
    EXPECT_EQ(s->bWordWrap != 0, wrapping);
    EXPECT_EQ((GetWindowLongA(s->bodyEdit, GWL_STYLE) & WS_HSCROLL) != 0, !wrapping);
    EXPECT_EQ(Text(s->bodyEdit), text);
    EXPECT_EQ(Text(s->statusPane[2]), wrapping ? "WRAP" : "");
    EXPECT_EQ(SendMessageA(s->bodyEdit, EM_GETLIMITTEXT, 0, 0), 2048000);
    DWORD start = 0, end = 0;
    SendMessageA(s->bodyEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 5u);
    EXPECT_EQ(end, 9u);
  }
  // The new body is subclassed: overwrite mode still works in it.
  SendMessageA(editor, WM_COMMAND, 1990, 0);
  SendMessageA(s->bodyEdit, EM_SETSEL, 0, 0);
  SendMessageA(s->bodyEdit, WM_CHAR, 'a', 0);
  EXPECT_EQ(Text(s->bodyEdit).substr(0, 6), "a long");
}

TEST_F(EditorCommands, FieldKeysSentenceCapitalsAndIndentation) {
  HWND editor;
  EditorState* s = NewNetMail(&editor);
  ASSERT_TRUE(s);
  // Enter in To drops a trailing ';' and moves to the next field.
  SetWindowTextA(s->toEdit, "ann@x.org;");
  SetFocus(s->toEdit);
  SendMessageA(s->toEdit, WM_CHAR, '\r', 0);
  EXPECT_EQ(Text(s->toEdit), "ann@x.org");
  EXPECT_EQ(GetFocus(), s->ccEdit);

  g_user.dictionaryOptions = 0x4000000 | 0x2000000;  // capitals on, autocorrect off
  struct Case {
    const char* typed;
    const char* shown;
  } cases[] = {
      {"end. word ", "End. Word "},
      {"end.word ", "End.word "},
      {"is it? yes!", "Is it? Yes!"},
  };
  for (const Case& c : cases) {
    SetWindowTextA(s->bodyEdit, "");
    Type(s->bodyEdit, c.typed);
    EXPECT_EQ(Text(s->bodyEdit), c.shown);
  }
  // The subject has the aids too; address fields do not.
  SetWindowTextA(s->subjectEdit, "");
  Type(s->subjectEdit, "hello there");
  EXPECT_EQ(Text(s->subjectEdit), "Hello there");
  SetWindowTextA(s->ccEdit, "");
  Type(s->ccEdit, "bob@x.org, ");
  EXPECT_EQ(Text(s->ccEdit), "bob@x.org, ");
  g_user.dictionaryOptions = 0x2000000;

  g_user.autoIndent = 1;
  SetWindowTextA(s->bodyEdit, "  \tindented  rest");
  SendMessageA(s->bodyEdit, EM_SETSEL, 11, 11);
  SendMessageA(s->bodyEdit, WM_CHAR, '\r', 0);
  EXPECT_EQ(Text(s->bodyEdit), "  \tindented\r\n  \trest");
}

TEST_F(EditorCommands, BoilerplatesInsertedFilesDropsAndAddedRecipients) {
  HWND editor;
  EditorState* s = NewNetMail(&editor);
  ASSERT_TRUE(s);
  SetWindowTextA(s->bodyEdit, "Thanks for writing.");
  Recorded().boxes.clear();
  g_promptAnswer = "..\\outside";
  SendMessageA(editor, WM_COMMAND, 1996, 0);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("cannot be a boilerplate name"), std::string::npos);
  EXPECT_EQ(GetFileAttributesA(Path("outside.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  g_promptAnswer = "thanks";
  SendMessageA(editor, WM_COMMAND, 1996, 0);
  EXPECT_EQ(FileText(Path("Boilerplates\\thanks.txt")), "Thanks for writing.");

  SetWindowTextA(s->bodyEdit, "");
  g_fileAnswer = Path("Boilerplates\\thanks.txt");
  SendMessageA(editor, WM_COMMAND, 1120, 0);
  EXPECT_EQ(Text(s->bodyEdit), "Thanks for writing.");

  // Two dropped files go in, in their order, with lone LFs made CR LF.
  testfs::WriteWholeFile(Path("one.txt"), "first\nline\n");
  testfs::WriteWholeFile(Path("two.txt"), "second");
  SetWindowTextA(s->bodyEdit, "");
  std::string names = Path("one.txt") + '\0' + Path("two.txt") + '\0' + '\0';
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), names.data(), names.size());
  GlobalUnlock(drop);
  SendMessageA(editor, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  EXPECT_EQ(Text(s->bodyEdit), "first\r\nline\r\nsecond");

  // The address book's answer goes to the field it names.
  SendMessageA(editor, 33170, 3002, reinterpret_cast<LPARAM>("Bob <bob@x.org>"));
  EXPECT_NE(Text(s->ccEdit).find("bob@x.org"), std::string::npos) << Text(s->ccEdit);
  EXPECT_EQ(Text(s->toEdit), "a@b");

  // Spell Check goes to the spelling front end.
  static HWND checked;
  checked = nullptr;
  g_editorSpellHooks.checkEditor = [](HWND w) {
    checked = w;
    return 1;
  };
  SendMessageA(editor, WM_COMMAND, 1449, 0);
  EXPECT_EQ(checked, editor);
}

TEST_F(EditorCommands, NotesOpenInTheEditorOrInTheNotesProgram) {
  ImportNews();
  testfs::WriteWholeFile(Path("demo.not"), "my notes\n");
  HWND editor = OpenNotes();
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  EXPECT_TRUE(s->bPlainFile);
  EXPECT_FALSE(s->holdButton);
  EXPECT_EQ(Text(s->bodyEdit), "my notes\r\n");
  SetWindowTextA(s->bodyEdit, "new notes");
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3004, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); }));
  EXPECT_EQ(FileText(Path("demo.not")), "new notes");

  WriteIniString("Main", "Multi Notes", "Yes");
  static std::string command;
  g_composeHooks.runNotesProgram = [](const char* line) -> UINT {
    command = line;
    return 33;
  };
  EXPECT_FALSE(OpenNotes());
  std::string tail = "polyed.exe\" \"" + Path("demo.not") + "\"";
  ASSERT_GT(command.size(), tail.size());
  EXPECT_EQ(command[0], '"');
  EXPECT_EQ(command.substr(command.size() - tail.size()), tail) << command;
}

TEST_F(EditorCommands, AQueuedActionIsEditedAndHandedBack) {
  ImportNews();
  EditorState source;
  source.nType = EDITOR_POST;
  source.bSay = source.bNews = 1;
  lstrcpynA(source.szService, "net", sizeof source.szService);
  lstrcpynA(source.szFolders, "comp.test.all", sizeof source.szFolders);
  lstrcpynA(source.szSubject, "Queued", sizeof source.szSubject);
  source.bodyText = _strdup("old body");
  CStrList lines;
  char* body = nullptr;
  ASSERT_EQ(WriteDraft(&source, nullptr, &lines, &body), 0);
  static bool heldBack;
  static int calls;
  calls = 0;
  g_composeHooks.actionEdited = [](bool hold) {
    heldBack = hold;
    ++calls;
  };
  HWND editor = OpenEditorOnAction(&lines, &body);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  EXPECT_TRUE(s->bEditAction);
  EXPECT_EQ(Text(s->subjectEdit), "Queued");
  EXPECT_EQ(Text(s->bodyEdit), "old body");
  SetWindowTextA(s->bodyEdit, "new body");
  SetWindowTextA(s->subjectEdit, "Queued again");
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(1315, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); }));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(heldBack);
  ASSERT_TRUE(body);
  EXPECT_STREQ(body, "new body");
  EditorState back;
  ASSERT_EQ(ReadDraft(&back, nullptr, &lines, body), 0);
  EXPECT_STREQ(back.szSubject, "Queued again");
  std::free(body);
  EXPECT_EQ(GetFileAttributesA(Path("net\\net.bsc").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was queued anew";
}

TEST_F(EditorCommands, OptionsAndNewFromSetTheSenderAndHeaders) {
  HWND editor;
  EditorState* s = NewNetMail(&editor);
  ASSERT_TRUE(s);
  g_drive = [](HWND dialog, const std::string& title) {
    if (title == "New From") {
      SetDlgItemTextA(dialog, IDC_NEWFROM_NAME, "Ann Lee");
      SetDlgItemTextA(dialog, IDC_NEWFROM_ADDRESS, "ann@home.org");
      Click(dialog, IDOK);
    } else if (title == "Message Options") {
      if (!g_driven.count(reinterpret_cast<HWND>(1))) {
        g_driven.insert(reinterpret_cast<HWND>(1));
        g_driven.erase(dialog);  // come back after New From
        SetDlgItemTextA(dialog, IDC_OPTIONS_HEADERS, "X-Mailer-Note: test\r\n");
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OPTIONS_NEWFROM, BN_CLICKED), 0);
        return;
      }
      Shoot(dialog, "editor_options.bmp");
      Click(dialog, IDOK);
    }
  };
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(4331, BN_CLICKED), 0);
  EXPECT_STREQ(s->szRealname, "Ann Lee");
  EXPECT_STREQ(s->szEmail, "ann@home.org");
  EXPECT_STREQ(s->szCustomHeaders, "X-Mailer-Note: test");
  EXPECT_EQ(Text(s->statusPane4), "CUSTOM");
  EXPECT_NE(FileText(Path("demo.frm")).find("ann@home.org"), std::string::npos);
  EXPECT_TRUE(s->bChanged);
}

TEST_F(EditorCommands, AttachmentsDialogAddsAndRemoves) {
  HWND editor;
  EditorState* s = NewNetMail(&editor);
  ASSERT_TRUE(s);
  testfs::WriteWholeFile(Path("photo.jpg"), "jpeg");
  g_fileAnswer = Path("photo.jpg");
  g_drive = [](HWND dialog, const std::string&) {
    Click(dialog, IDC_ATTACH_ADD);
    // The first entry (C:\f) goes.
    SendDlgItemMessageA(dialog, IDC_ATTACH_LIST, LB_SETSEL, TRUE, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ATTACH_LIST, LBN_SELCHANGE), 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_ATTACH_REMOVE)));
    Click(dialog, IDC_ATTACH_REMOVE);
    Click(dialog, IDC_ATTACH_ADD);
    Shoot(dialog, "editor_attachments.bmp");
    Click(dialog, IDOK);
  };
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3026, BN_CLICKED), 0);
  ASSERT_EQ(s->Attachments.count(), 2);
  EXPECT_EQ(std::string(s->Attachments.get(0)), Path("photo.jpg"));
  EXPECT_EQ(Text(s->attachPane), "2 Attached Files");
}

TEST_F(EditorCommands, SendAsShownIsAskedOnceAndRemembered) {
  ImportNews();
  testfs::WriteWholeFile(Path("demo.not"), "a note\r\n");
  HWND editor = OpenEditor(EDITOR_MAIL, nullptr, "?service=local", 0);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_FALSE(s->bSendAsShown);
  g_user.autoSendAsShown[0] = 0;
  static int asked;
  asked = 0;
  g_drive = [](HWND dialog, const std::string&) {
    ++asked;
    Shoot(dialog, "editor_send_as_shown.bmp");
    CheckDlgButton(dialog, IDC_SENDASSHOWN_ALWAYS, BST_CHECKED);
    Click(dialog, IDOK);
  };
  SendMessageA(editor, WM_COMMAND, 1166, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(s->bSendAsShown);
  EXPECT_STREQ(g_user.autoSendAsShown, "YES");
  EXPECT_EQ(Text(s->bodyEdit).rfind("a note\r\n", 0), 0u);
}

TEST_F(EditorCommands, SignatureDialogStoresForTheOpenFolder) {
  ImportNews();
  g_drive = [](HWND dialog, const std::string& title) {
    EXPECT_EQ(title, "Signature - Net:Comp.Test.All");
    SetDlgItemTextA(dialog, IDC_SIGNATURE_TEXT, "-- \r\nAnn");
    Shoot(dialog, "editor_signature.bmp");
    Click(dialog, IDOK);
  };
  SignatureDialog();
  char sig[320];
  EXPECT_STREQ(GetSig(kFolder, sig), "-- \r\nAnn");
}

}  // namespace

namespace {

using editor_test::EditorWindow;

TEST_F(EditorCommands, SelectNewsgroupsChoosesAnotherGroup) {
  ImportNews();
  AddFolder("net:comp.other/all", "other", 0);
  AddFolder("net:mail/messages", "mail", 0);
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s->bNews);
  static std::vector<std::string> offered;
  offered.clear();
  g_drive = [](HWND dialog, const std::string& title) {
    if (title == "Message Options") {
      if (!g_driven.count(reinterpret_cast<HWND>(2))) {
        g_driven.insert(reinterpret_cast<HWND>(2));
        g_driven.erase(dialog);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPTIONS_NEWSGROUPS)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPTIONS_DATASOURCE)));
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OPTIONS_NEWSGROUPS, BN_CLICKED), 0);
        return;
      }
      Click(dialog, IDOK);
      return;
    }
    // News takes one group: the list of several is gone.
    EXPECT_FALSE(GetDlgItem(dialog, IDC_GROUPS_MULTIPLE));
    HWND list = GetDlgItem(dialog, IDC_GROUPS_SINGLE);
    int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char name[100] = "";
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(name));
      offered.push_back(name);
    }
    LRESULT row =
        SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("comp.other.all"));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_GROUPS_SINGLE, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Shoot(dialog, "editor_newsgroups.bmp");
    Click(dialog, IDOK);
  };
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(4331, BN_CLICKED), 0);
  EXPECT_EQ(offered, (std::vector<std::string>{"comp.other.all", "comp.test.all"})) << "no mail folder offered";
  EXPECT_STREQ(s->szFolders, "comp.other.all");
  EXPECT_EQ(Text(editor), "Post New Message - Comp.Other.All");
}

TEST_F(EditorCommands, ASavedBlockReopensWithItsFields) {
  ImportNews();
  EditorState saved;
  saved.nType = EDITOR_MAIL;
  saved.bMailing = 1;
  lstrcpynA(saved.szService, "net", sizeof saved.szService);
  lstrcpynA(saved.szSubject, "Draft", sizeof saved.szSubject);
  char entry[] = "bob@x.org";
  saved.To.AddEntry(entry, nullptr);
  saved.bodyText = _strdup("line one\r\nline two");
  FILE* f = std::fopen(Path("saved.blk").c_str(), "w+b");
  ASSERT_TRUE(f);
  std::fputs("junk before\r\n", f);
  long at = std::ftell(f);
  ASSERT_EQ(WriteDraft(&saved, f, nullptr, nullptr), 0);
  std::fseek(f, at, SEEK_SET);
  HWND editor = OpenEditorOnBlock(f);
  std::fclose(f);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  EXPECT_TRUE(s->bReopened);
  EXPECT_TRUE(s->bMailing);
  EXPECT_EQ(Text(s->toEdit), "bob@x.org");
  EXPECT_EQ(Text(s->subjectEdit), "Draft");
  EXPECT_EQ(Text(s->bodyEdit), "line one\r\nline two");
  EXPECT_EQ(Text(editor), "Post New Mail");
}

TEST_F(EditorCommands, TheServiceListHoldsTheServicesThatCanSendMail) {
  ImportNews();
  MainSettings savedMain = g_main;
  lstrcpynA(g_main.messagePath, dir_.c_str(), sizeof g_main.messagePath);
  for (const char* name : {"net", "dvn", "quorlnews", "local", "tbbs"}) {
    CreateDirectoryA(Path(name).c_str(), nullptr);
    testfs::WriteWholeFile(Path(name) + "\\" + name + ".cnf", "");
  }
  WriteIniString("Service tbbs", "Mail Disabled", "Yes");
  struct Case {
    bool localMail;
    const char* gateway;
    std::vector<std::string> shown;
  } cases[] = {
      {false, nullptr, {"Dvn"}},  // net without a mail gateway, local without local mail
      {true, "smtp.example.org", {"Dvn", "Local", "Net"}},
  };
  for (const Case& c : cases) {
    g_main.localMail = c.localMail;
    WriteIniString("Service net", "Smtp Mail Gateway", c.gateway);
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_SORT, 0, 0, 100, 100, frame_, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    FillServiceList(list);
    std::vector<std::string> shown;
    for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
      char name[40] = "";
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(name));
      shown.push_back(name);
    }
    EXPECT_EQ(shown, c.shown);
    DestroyWindow(list);
  }
  g_main = savedMain;
}

}  // namespace

namespace {

using editor_test::EditorWindow;

struct MenuSeen {
  bool found = false;
  UINT cut = 0, paste = 0, wrap = 0;
  int pgp = 0;
};
MenuSeen g_menu;

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM found) {
  char name[32];
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) == "#32768" && IsWindowVisible(window)) *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

void CALLBACK ReadMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND window = nullptr;
  EnumWindows(FindMenuWindow, reinterpret_cast<LPARAM>(&window));
  if (!window) return;
  KillTimer(nullptr, timer);
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
  g_menu.found = menu != nullptr;
  g_menu.cut = GetMenuState(menu, 1316, MF_BYCOMMAND);
  g_menu.paste = GetMenuState(menu, 1317, MF_BYCOMMAND);
  g_menu.wrap = GetMenuState(menu, 1715, MF_BYCOMMAND);
  g_menu.pgp = static_cast<int>(GetMenuState(menu, 1764, MF_BYCOMMAND));
  EndMenu();
}

TEST_F(EditorCommands, TheContextMenuFollowsTheSelectionAndTheWrap) {
  ImportNews();
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  SetWindowTextA(s->bodyEdit, "some text");
  SetFocus(s->bodyEdit);
  struct Case {
    DWORD start, end;
    bool cutEnabled;
  } cases[] = {{0, 4, true}, {2, 2, false}};
  for (const Case& c : cases) {
    SendMessageA(s->bodyEdit, EM_SETSEL, c.start, c.end);
    g_menu = MenuSeen{};
    SetTimer(nullptr, 0, 50, ReadMenu);
    SendMessageA(s->bodyEdit, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    ASSERT_TRUE(g_menu.found);
    EXPECT_EQ((g_menu.cut & MF_GRAYED) == 0, c.cutEnabled);
    EXPECT_TRUE(g_menu.wrap & MF_CHECKED);
    EXPECT_EQ(g_menu.pgp, -1) << "PGP is not set up";
  }
}

}  // namespace
