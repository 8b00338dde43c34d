// The outbasket window driven by messages in this process: two services'
// actions under their headings, folding, hold and release, delete, editing a
// script action and a queued message (in the real message editor too), OK
// and the close question, actions that arrive while it is open, and the
// preview that continues by itself and keeps the open folder's marks fresh.
#include "online/outbasket_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "compose/compose.h"
#include "core/appstate.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/topic_open.h"
#include "online/ghosts.h"
#include "online/outbasket.h"
#include "resources/online_ids.h"
#include "shell/shell_state.h"
#include "tests/support/files.h"
#include "tests/support/window_fixture.h"

namespace {

using testfs::ReadWholeFile;
using testwin::PumpPending;
using testwin::PumpUntil;

std::string Script(const char* held, const char* title, const char* command, const char* arg) {
  return std::string(";") + held + "; id:\tann type:\tscript script:\t" + title + " priority:\t90 #:\t" + arg + "\r\n" +
         command + "\r\n" + arg + "\r\n";
}

std::string Reply(const char* folder, long number, const char* body) {
  std::string text = body;
  return ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbComment: yes\r\nszFolders: " + std::string(folder) +
         "\r\nszSubject: About it\r\nszReferences: " + std::to_string(number) +
         "\r\nBody: " + std::to_string(text.size()) + "\r\n" + text + "\r\nMessageEnd:\r\n";
}

std::string Mail(const char* to, const char* body) {
  std::string text = body;
  return ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbMailing: yes\r\nszSubject: Hello\r\nTo: " +
         std::string(to) + "\r\nBody: " + std::to_string(text.size()) + "\r\n" + text + "\r\nMessageEnd:\r\n";
}

struct Seen {
  std::vector<std::string> boxes;
  int answer = IDYES;
  std::string selectedFolder;
  std::vector<std::string> labels;  // of the script edit, as shown
};
Seen& Ui() {
  static Seen seen;
  return seen;
}

int RecordBox(HWND, const char* text, const char*, UINT) {
  Ui().boxes.push_back(text);
  return Ui().answer;
}

// The script edit, shown modeless: the test reads its labels, types into its
// first line and presses OK, the way a user would.
INT_PTR TypeIntoDialog(HINSTANCE module, const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  HWND dialog = CreateDialogParamA(module, name, owner, proc, param);
  if (!dialog) return IDCANCEL;
  for (int k = 0; k < 12; k++) {
    HWND label = GetDlgItem(dialog, IDC_SCRIPT_LABEL + k);
    if (!(GetWindowLongA(label, GWL_STYLE) & WS_VISIBLE)) continue;
    char text[80];
    GetWindowTextA(label, text, sizeof text);
    Ui().labels.push_back(text);
  }
  SetWindowTextA(GetDlgItem(dialog, IDC_SCRIPT_LINE), "comp.changed");
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  DestroyWindow(dialog);
  return IDOK;
}

HWND g_client = nullptr;
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefFrameProcA(window, g_client, message, wParam, lParam);
}

class OutbasketWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_app.instance = GetModuleHandleA(nullptr);
    LoadResourceDll(g_app.instance);
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = g_app.instance;
    frameClass.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
    frameClass.lpszClassName = "OutbasketTestFrame";
    RegisterClassA(&frameClass);
    WNDCLASSA review = {};
    review.style = CS_DBLCLKS;
    review.lpfnWndProc = OutbasketWndProc;
    review.cbWndExtra = sizeof(LONG_PTR);
    review.hInstance = g_app.instance;
    review.hCursor = LoadCursor(nullptr, IDC_ARROW);
    review.lpszClassName = "Marrowfold";
    RegisterClassA(&review);
    s_frame = CreateWindowA("OutbasketTestFrame", "Outbasket", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                            720, 420, nullptr, nullptr, g_app.instance, nullptr);
    CLIENTCREATESTRUCT client = {nullptr, 100};
    s_client = CreateWindowA("MDICLIENT", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 700, 380, s_frame, nullptr,
                             g_app.instance, &client);
    WNDCLASSA editor = {};
    editor.lpfnWndProc = EditorClassProcedure();
    editor.hInstance = g_app.instance;
    editor.hCursor = LoadCursor(nullptr, IDC_ARROW);
    editor.lpszClassName = "Bramblewick";
    RegisterClassA(&editor);
  }

  void SetUp() override {
    Ui() = Seen{};
    savedUi_ = g_ui;
    savedCompose_ = g_composeHooks;
    g_shell.mdiClient = s_client;
    g_ui.messageBox = RecordBox;
    g_ui.dialogBox = TypeIntoDialog;
    g_outbasketWindowHooks.mdiClient = [] { return s_client; };
    g_outbasketWindowHooks.selectedFolder = [] { return Ui().selectedFolder.c_str(); };
    g_userRights.administratorMode = true;
    g_main.allReview = 0;
    g_user.reviewTimeout = 0;
    lstrcpynA(g_app.userName, "ann", sizeof g_app.userName);
    char temp[MAX_PATH], unique[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    GetTempFileNameA(temp, "plo", 0, unique);
    DeleteFileA(unique);
    dir_ = std::string(unique) + "\\";
    CreateDirectoryA(dir_.c_str(), nullptr);
    lstrcpynA(g_app.dataDir, dir_.c_str(), sizeof g_app.dataDir);
    lstrcpynA(g_main.messagePath, dir_.c_str(), sizeof g_main.messagePath);
    for (const char* service : {"quorl", "net"}) {
      CreateDirectoryA((dir_ + service).c_str(), nullptr);
      Write(std::string(service) + "\\" + service + ".cnf",
            "h1\nh2\nh3\nh4\nh5\nh6\nh7\nh8\nU90'Download messages' dl Download\\n%c'Newsgroup'\\n%a\\n\n");
    }
    Write("quorl.bsc", Reply("chat/general", 12, "Quite right.") +
                           Script("#", "Download messages", "Download", "chat/general") +
                           Script("-", "Download headers", "Headers", "chat/other"));
    Write("net\\net.bsc",
          Mail("Bob\tbob@y.org", "Hi Bob.") + Script("-", "Download messages", "Download", "comp.test"));
  }

  void TearDown() override {
    if (HWND window = OutbasketWindow()) {
      Ui().answer = IDNO;
      SendMessageA(window, WM_CLOSE, 0, 0);
    }
    PumpPending();
    g_ui = savedUi_;
    g_composeHooks = savedCompose_;
    g_shell.mdiClient = nullptr;
    g_outbasketWindowHooks = kDefaultOutbasketWindowHooks;
    g_userRights.administratorMode = false;
    ReleaseConnectLock();
  }

  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(testfs::WriteWholeFile(dir_ + name, text)) << name;
  }
  std::string Read(const std::string& name) { return ReadWholeFile(dir_ + name); }

  HWND Open() {
    EXPECT_TRUE(Review("", nullptr, 0));
    HWND window = OutbasketWindow();
    EXPECT_TRUE(window);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    PumpPending();
    return window;
  }
  HWND List() { return GetDlgItem(OutbasketWindow(), kReviewList); }
  // The rows as the user reads them: headings as "[svc]", actions by description.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    ActionList* list = OutbasketWindowList();
    int count = static_cast<int>(SendMessageA(List(), LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; row++) {
      const OutbasketAction& a = list->records[SendMessageA(List(), LB_GETITEMDATA, row, 0)];
      rows.push_back(a.heading ? std::string("[") + a.service + "]" : std::string(a.description));
    }
    return rows;
  }
  int RowOf(const std::string& text) {
    std::vector<std::string> rows = Rows();
    for (size_t i = 0; i < rows.size(); i++)
      if (rows[i].find(text) != std::string::npos) return static_cast<int>(i);
    ADD_FAILURE() << "no row " << text;
    return -1;
  }
  void Select(std::vector<int> rows) {
    SendMessageA(List(), LB_SETSEL, FALSE, -1);
    for (int row : rows) SendMessageA(List(), LB_SETSEL, TRUE, row);
    SendMessageA(OutbasketWindow(), WM_COMMAND, MAKEWPARAM(kReviewList, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(List()));
  }
  void Command(int id) { SendMessageA(OutbasketWindow(), WM_COMMAND, id, 0); }
  bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(OutbasketWindow(), id)) != 0; }
  std::string Caption(int id) {
    char text[64];
    GetWindowTextA(GetDlgItem(OutbasketWindow(), id), text, sizeof text);
    return text;
  }
  POINT RowPoint(int row, int x) {
    RECT r;
    SendMessageA(List(), LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    return {x, (r.top + r.bottom) / 2};
  }

  static HWND s_frame, s_client;
  std::string dir_;
  UiSeams savedUi_;
  ComposeHooks savedCompose_;
};
HWND OutbasketWindowTest::s_frame = nullptr;
HWND OutbasketWindowTest::s_client = nullptr;

TEST_F(OutbasketWindowTest, TwoServicesUnderTheirHeadingsFoldAndUnfold) {
  Ui().selectedFolder = "quorl:chat/general";
  HWND window = Open();
  char title[80];
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Review Outbasket");
  EXPECT_TRUE(GetFileAttributesA((dir_ + "connect.lck").c_str()) != INVALID_FILE_ATTRIBUTES);
  // The append file joined the outbasket file; only the current folder's service is open, and the
  // reply to the folder is selected.
  EXPECT_EQ(GetFileAttributesA((dir_ + "net\\net.bsc").c_str()), INVALID_FILE_ATTRIBUTES);
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], "[net]");
  EXPECT_EQ(rows[1], "[quorl]");
  EXPECT_NE(rows[2].find("Download messages"), std::string::npos);
  EXPECT_NE(rows[3].find("Download headers"), std::string::npos);
  EXPECT_NE(rows[4].find("Reply To Message,chat/general"), std::string::npos) << rows[4];
  EXPECT_EQ(SendMessageA(List(), LB_GETSEL, 4, 0), 1) << "the reply to the current folder is preselected";
  EXPECT_TRUE(Enabled(kReviewEdit));

  // A click in the box of the net heading opens it; the double-click that follows does not close it again.
  POINT at = RowPoint(0, 20);
  SendMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  SendMessageA(List(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  SendMessageA(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  rows = Rows();
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_NE(rows[1].find("Post New Mail"), std::string::npos) << rows[1];
  EXPECT_NE(rows[2].find("Download messages"), std::string::npos);
  PumpPending();
  EXPECT_TRUE(testwin::SaveWindowPng(s_frame, testwin::WindowsPath(SHOT_DIR) + "\\outbasket_window.png"));

  // The collapse command folds the caret's service.
  SendMessageA(List(), LB_SETCARETINDEX, 1, FALSE);
  Command(kReviewCollapse);
  EXPECT_EQ(Rows().size(), 5u);
  // A second Review of an open window closes it with OK.
  EXPECT_FALSE(Review("", nullptr, 0));
  EXPECT_FALSE(OutbasketWindow());
  EXPECT_EQ(GetFileAttributesA((dir_ + "connect.lck").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OutbasketWindowTest, HoldReleaseAndDeleteReachTheFilesOnOk) {
  Ui().selectedFolder = "quorl:chat/general";
  Open();
  // The first selected row is held: the whole selection is released.
  int held = RowOf("Download messages, chat/general"), live = RowOf("Download headers");
  Select({held, live});
  EXPECT_EQ(Caption(kReviewHold), "Re&lease");
  Command(kReviewHold);
  EXPECT_EQ(Caption(kReviewHold), "Ho&ld");
  // Holding the net heading holds every action of that service, shown or not.
  Select({RowOf("[net]")});
  Command(kReviewHold);
  Command(IDOK);
  EXPECT_FALSE(OutbasketWindow());
  std::string quorl = Read("quorl.bsc"), net = Read("net.bsc");
  EXPECT_EQ(quorl.find(";#;"), std::string::npos) << quorl;
  EXPECT_NE(quorl.find("Quite right."), std::string::npos);
  EXPECT_EQ(net.find(";-;"), std::string::npos) << net;
  EXPECT_NE(net.find(";#; id:\tann type:\tscript script:\tDownload messages"), std::string::npos) << net;

  // Delete on a heading drops its service's actions; after OK its file is empty.
  Open();
  Select({RowOf("[quorl]")});
  Ui().answer = IDYES;
  Command(kReviewDelete);
  ASSERT_EQ(Ui().boxes.size(), 1u);
  EXPECT_EQ(Ui().boxes[0], "Are you sure ?");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"[net]", "[quorl]"}));
  Command(IDOK);
  EXPECT_EQ(Read("quorl.bsc"), "");
  EXPECT_NE(Read("net.bsc").find("Hi Bob."), std::string::npos) << "another service is untouched";
}

TEST_F(OutbasketWindowTest, CloseAsksAboutChangesAndNoKeepsTheFiles) {
  std::string before = Read("quorl.bsc");
  Ui().selectedFolder = "quorl:chat/general";
  Open();
  Select({RowOf("Download headers")});
  Command(kReviewHold);
  // Cancel keeps the window; No discards.
  Ui().answer = IDCANCEL;
  Command(IDCANCEL);
  ASSERT_TRUE(OutbasketWindow());
  ASSERT_EQ(Ui().boxes.size(), 1u);
  EXPECT_NE(Ui().boxes[0].find("You have changed the contents of the outbasket."), std::string::npos);
  Ui().answer = IDNO;
  Command(IDCANCEL);
  EXPECT_FALSE(OutbasketWindow());
  EXPECT_EQ(Read("quorl.bsc"), before);
}

TEST_F(OutbasketWindowTest, ActionsQueuedWhileOpenJoinWithoutSavingPendingChanges) {
  Ui().selectedFolder = "quorl:chat/general";
  Open();
  std::string before = Read("quorl.bsc");
  Select({RowOf("Download headers")});
  Command(kReviewHold);
  AppendAction("quorl", "Refresh Library List", 40, "LibList", "chat", nullptr, nullptr, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Rows().size() == 6; }, 4000)) << "the new action shows within a second or two";
  EXPECT_GE(RowOf("Refresh Library List"), 0);
  // The pending hold is neither saved nor lost.
  EXPECT_EQ(Read("quorl.bsc").find(";#; id:\tann type:\tscript script:\tDownload headers"), std::string::npos);
  EXPECT_NE(Read("quorl.bsc").find("LibList"), std::string::npos) << "the new action reached the outbasket file";
  EXPECT_NE(before, Read("quorl.bsc"));
  Command(IDOK);
  std::string after = Read("quorl.bsc");
  EXPECT_NE(after.find(";#; id:\tann type:\tscript script:\tDownload headers"), std::string::npos) << after;
  EXPECT_NE(after.find("LibList"), std::string::npos) << after;
  EXPECT_NE(after.find("Quite right."), std::string::npos) << after;
}

TEST_F(OutbasketWindowTest, EditingAScriptActionUsesTheTemplatesLabels) {
  Ui().selectedFolder = "net:comp.test";
  Open();
  Select({RowOf("Download messages, comp.test")});
  Command(kReviewEdit);
  EXPECT_EQ(Ui().labels, (std::vector<std::string>{"Newsgroup"}));
  EXPECT_GE(RowOf("Download messages, comp.changed"), 0);
  Command(IDOK);
  EXPECT_NE(Read("net.bsc").find("Download\r\ncomp.changed\r\n"), std::string::npos) << Read("net.bsc");
}

// A stand-in editor: its window closes once the test has tried to close the
// review, after it rewrote the queued body the way the editor does.
struct FakeEditor {
  HWND window = nullptr;
  OutbasketAction* action = nullptr;
  std::vector<std::string> boxesWhileOpen;
};
FakeEditor g_editor;

void CALLBACK EditorTimer(HWND editor, UINT, UINT_PTR, DWORD) {
  KillTimer(editor, 1);
  HWND review = OutbasketWindow();
  SendMessageA(review, WM_CLOSE, 0, 0);
  SendMessageA(review, WM_COMMAND, IDOK, 0);
  g_editor.boxesWhileOpen = Ui().boxes;
  static const char body[] = "Changed reply.";
  free(g_editor.action->text);
  g_editor.action->text = static_cast<char*>(malloc(sizeof body));
  memcpy(g_editor.action->text, body, sizeof body);
  g_editor.action->textLength = sizeof body - 1;
  SendMessageA(review, WM_COMMAND, kReviewMarkChanged, 0);
  DestroyWindow(editor);
}

TEST_F(OutbasketWindowTest, EditingAMessageWaitsForItsEditorAndRefusesToClose) {
  g_outbasketWindowHooks.editMessage = [](HWND, OutbasketAction* action) -> HWND {
    g_editor.action = action;
    g_editor.window = CreateWindowA("STATIC", "editor", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetTimer(g_editor.window, 1, 10, EditorTimer);
    return g_editor.window;
  };
  Ui().selectedFolder = "quorl:chat/general";
  Open();
  Select({RowOf("Reply To Message")});
  Command(kReviewEdit);
  ASSERT_EQ(g_editor.boxesWhileOpen.size(), 2u);
  for (const std::string& box : g_editor.boxesWhileOpen)
    EXPECT_EQ(box, "You are editing a message.  Please finish editing the message and then close the outbasket.");
  ASSERT_TRUE(OutbasketWindow());
  EXPECT_TRUE(Enabled(kReviewEdit)) << "the buttons come back once the editor is gone";
  Command(IDOK);
  std::string saved = Read("quorl.bsc");
  EXPECT_NE(saved.find("Body: 14\r\nChanged reply.\r\nMessageEnd:"), std::string::npos) << saved;
}

TEST_F(OutbasketWindowTest, RefusalsAndThePreviewThatContinuesByItself) {
  g_userRights.administratorMode = false;
  g_userRights.word = RIGHT_REVIEW;
  EXPECT_FALSE(Review("", nullptr, 0));
  ASSERT_EQ(Ui().boxes.size(), 1u);
  EXPECT_EQ(Ui().boxes[0], "Only the administrator can edit the outbasket.");
  EXPECT_FALSE(OutbasketWindow());
  g_main.allReview = 1;
  g_user.reviewTimeout = 1;
  DWORD start = GetTickCount();
  EXPECT_TRUE(Review("quorl", nullptr, 1)) << "left alone, the preview ends as OK";
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_FALSE(OutbasketWindow());
  EXPECT_EQ(GetFileAttributesA((dir_ + "connect.lck").c_str()), INVALID_FILE_ATTRIBUTES);
  g_userRights.word = RIGHTS_DEFAULT;
}

// --- A queued message in the real message editor -------------------------------

// Entries beside the edited message that must come through its edit byte for
// byte: a counted upload with a text block (one line escaped), and a held mail
// whose counted body holds lines that would end a block or start an entry.
const char kUpload[] =
    ";-; id:\tann type:\tscript script:\tUpload file priority:\t50 #:\tchat/general #:\tnotes.txt\r\n"
    "3UploadFile\r\nchat/general\r\nnotes.txt\r\nFirst line of the file\r\n..dotted line\r\n.\r\n";
std::string HeldMail() {
  std::string body = "Dear Bob,\r\n.\r\n;-; id:\tann type:\tscript script:\tX\r\nMessageEnd:\r\nBye.";
  return ";#; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbMailing: yes\r\nszSubject: Hello\r\nTo: bob\r\nBody: " +
         std::to_string(body.size()) + "\r\n" + body + "\r\nMessageEnd:\r\n";
}

// A reply as the editor queues it.
std::string QueuedReply(long number, const char* body, bool held = false) {
  std::string text = body;
  return std::string(held ? ";#;" : ";-;") +
         " id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbWordWrap: yes\r\nbComment: yes\r\nnType: 2\r\nnComment: " +
         std::to_string(number) +
         "\r\nszService: quorl\r\nszReferences: 12\r\nszFolders: chat/general\r\nszSubject: About it\r\nTo: All\r\n"
         "Body: " +
         std::to_string(text.size()) + "\r\n" + text + "\r\nMessageEnd:\r\n";
}

// What the test does in the editor once it is open (the review waits on it).
struct EditorScript {
  int button = 3004;  // OK 3004, Hold 1315, Cancel 3006
  std::string typed;
  bool selectElsewhere = false;  // change the review's selection meanwhile
  std::string shot;
  std::string holdCaption, body;
  bool opened = false;
};
EditorScript g_script;

void CALLBACK DriveEditor(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EditorState* editor = ActiveEditorState();
  if (!editor) return;
  g_script.opened = true;
  char text[256];
  GetWindowTextA(editor->holdButton, text, sizeof text);
  g_script.holdCaption = text;
  GetWindowTextA(editor->bodyEdit, text, sizeof text);
  g_script.body = text;
  int end = GetWindowTextLengthA(editor->bodyEdit);
  SendMessageA(editor->bodyEdit, EM_SETSEL, end, end);
  for (char c : g_script.typed) SendMessageA(editor->bodyEdit, WM_CHAR, static_cast<unsigned char>(c), 0);
  if (g_script.selectElsewhere) {
    HWND list = GetDlgItem(OutbasketWindow(), kReviewList);
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    SendMessageA(list, LB_SETSEL, TRUE, 0);
    SendMessageA(OutbasketWindow(), WM_COMMAND, MAKEWPARAM(kReviewList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  }
  PumpPending();
  if (!g_script.shot.empty()) testwin::SaveWindowPng(GetAncestor(editor->window, GA_ROOT), g_script.shot);
  SendMessageA(editor->window, WM_COMMAND, MAKEWPARAM(g_script.button, BN_CLICKED), 0);
}

class QueuedMessageEditTest : public OutbasketWindowTest {
 protected:
  void SetUp() override {
    OutbasketWindowTest::SetUp();
    InstallOutbasketEditor();
    g_script = EditorScript{};
  }
  void WriteQuorl(bool replyHeld) {
    Write("quorl.bsc", Script("#", "Download messages", "Download", "chat/general") + kUpload +
                           QueuedReply(12, "Quite right.", replyHeld) + HeldMail());
  }
  // Opens the review and edits the reply in the editor as the script says;
  // the review stays open.
  void EditReply() {
    Ui().selectedFolder = "quorl:chat/general";
    Open();
    Select({RowOf("Reply To Message")});
    SetTimer(nullptr, 0, 50, DriveEditor);
    Command(kReviewEdit);
    EXPECT_TRUE(g_script.opened);
    EXPECT_TRUE(OutbasketWindow());
    EXPECT_FALSE(ActiveEditorState()) << "the review waited until the editor was gone";
  }
};

TEST_F(QueuedMessageEditTest, OkAndHoldStoreTheEditAndLeaveEveryOtherEntryAsItWas) {
  struct Case {
    bool replyHeld;
    int button;
    const char* holdCaption;
    bool heldAfter;
  } cases[] = {
      {false, 3004, "Ho&ld", false},    // OK keeps it live
      {false, 1315, "Ho&ld", true},     // Hold holds it
      {true, 1315, "Re&lease", false},  // the editor's Release releases it
      {true, 3004, "Re&lease", true},   // OK keeps it held
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.holdCaption) + (c.button == 3004 ? " OK" : " Hold"));
    g_script = EditorScript{};
    g_script.button = c.button;
    g_script.typed = "\r.\r/EXIT\rMessageEnd:\rAgreed.";
    g_script.selectElsewhere = c.button == 1315;
    if (c.replyHeld && c.button == 1315) g_script.shot = testwin::WindowsPath(SHOT_DIR) + "\\outbasket_editor.png";
    WriteQuorl(c.replyHeld);
    EditReply();
    EXPECT_EQ(g_script.holdCaption, c.holdCaption);
    EXPECT_EQ(g_script.body, "Quite right.");
    ASSERT_TRUE(OutbasketWindow());
    if (c.button == 1315 && !c.replyHeld) {
      Select({RowOf("Reply To Message")});
      PumpPending();
      EXPECT_TRUE(testwin::SaveWindowPng(s_frame, testwin::WindowsPath(SHOT_DIR) + "\\outbasket_held_edit.png"));
    }
    Command(IDOK);
    std::string saved = Read("quorl.bsc");
    // Every other entry byte for byte; what is left is the edited message.
    std::string rest = saved;
    for (const std::string& other :
         {Script("#", "Download messages", "Download", "chat/general"), std::string(kUpload), HeldMail()}) {
      size_t at = rest.find(other);
      ASSERT_NE(at, std::string::npos) << other << "\n--- in ---\n" << saved;
      rest.erase(at, other.size());
    }
    const std::string body = "Quite right.\r\n.\r\n/EXIT\r\nMessageEnd:\r\nAgreed.";
    const std::string header = std::string(c.heldAfter ? ";#;" : ";-;") + " id:\tann type:\tedit\r\n";
    EXPECT_EQ(rest.substr(0, header.size()), header) << rest;
    const std::string tail = "Body: " + std::to_string(body.size()) + "\r\n" + body + "\r\nMessageEnd:\r\n";
    ASSERT_GE(rest.size(), tail.size());
    EXPECT_EQ(rest.substr(rest.size() - tail.size()), tail) << rest;
    for (const char* line : {"\r\nMessageStart: 1.0\r\n", "\r\nbComment: yes\r\n", "\r\nnType: 2\r\n",
                             "\r\nnComment: 12\r\n", "\r\nszService: quorl\r\n", "\r\nszFolders: chat/general\r\n",
                             "\r\nszSubject: About it\r\n", "\r\nszReferences: 12\r\n", "\r\nTo: All\r\n"})
      EXPECT_NE(rest.find(line), std::string::npos) << line << " in\n" << rest;

    // Read back: four entries, none damaged, the edit where it belongs.
    ActionList list;
    std::string problems;
    EXPECT_EQ(ParseActionFile(saved.data(), saved.size(), "quorl", &list, &problems), 4);
    EXPECT_EQ(problems, "");
    int edited = 0;
    for (const OutbasketAction& a : list.records)
      if (a.edit && a.text && std::string(a.text, a.textLength) == body) {
        edited++;
        EXPECT_EQ(a.held, c.heldAfter ? 1u : 0u);
      }
    EXPECT_EQ(edited, 1);
  }
}

TEST_F(QueuedMessageEditTest, ACancelledEditLeavesTheFileByteIdentical) {
  // The file as the review writes it when nothing changed.
  WriteQuorl(false);
  Open();
  Command(IDOK);
  std::string before = Read("quorl.bsc");
  g_script.button = 3006;
  g_script.typed = "\rNot this.";
  Ui().answer = IDYES;  // yes, lose the changes
  EditReply();
  Command(IDOK);
  EXPECT_EQ(Read("quorl.bsc"), before);
}

TEST_F(QueuedMessageEditTest, AMessageTheEditorCannotShowWholeIsNotOpened) {
  const std::string body("Before\0after", 12);
  Write("quorl.bsc",
        QueuedReply(12, "x").replace(QueuedReply(12, "x").find("Body: 1\r\nx"), 10, "Body: 12\r\n" + body));
  Ui().selectedFolder = "quorl:chat/general";
  Open();
  Select({RowOf("Reply To Message")});
  Command(kReviewEdit);
  EXPECT_FALSE(ActiveEditorState());
  ASSERT_EQ(Ui().boxes.size(), 1u);
  EXPECT_NE(Ui().boxes[0].find("the editor cannot show"), std::string::npos) << Ui().boxes[0];
  Command(IDOK);
  EXPECT_NE(Read("quorl.bsc").find("Body: 12\r\n" + body + "\r\nMessageEnd:"), std::string::npos);
}

// --- The preview and the open folder ---------------------------------------------

int g_ghostRepaints = 0;
int g_ghostKindDuringPreview = -1;

void CALLBACK QueueReplyMeanwhile(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  std::string reply = QueuedReply(7, "Me too.");
  FILE* f = fopen((std::string(g_app.dataDir) + "quorl\\quorl.bsc").c_str(), "ab");
  fwrite(reply.data(), 1, reply.size(), f);
  fclose(f);
}
void CALLBACK LookAndCancel(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_ghostKindDuringPreview = GetGhostKind(7);
  SendMessageA(OutbasketWindow(), WM_COMMAND, IDCANCEL, 0);
}

TEST_F(OutbasketWindowTest, ThePreviewKeepsTheOpenFoldersGhostMarksFresh) {
  GhostHooks savedGhosts = g_ghostHooks;
  g_ghostHooks.openTopicName = [] { return "quorl:chat/general"; };
  g_ghostHooks.refreshGhostRows = [] { g_ghostRepaints++; };
  InstallGhostHooks();
  RefreshGhosts();
  ASSERT_EQ(GetGhostKind(7), 0);
  g_ghostRepaints = 0;
  g_ghostKindDuringPreview = -1;
  // A reply queued while the preview waits (before its own timer looks) is
  // marked in the open folder's thread list at once.
  SetTimer(nullptr, 0, 100, QueueReplyMeanwhile);
  SetTimer(nullptr, 0, 600, LookAndCancel);
  EXPECT_FALSE(Review("quorl", nullptr, 1));
  EXPECT_FALSE(OutbasketWindow());
  EXPECT_EQ(g_ghostKindDuringPreview, 2);
  EXPECT_GE(g_ghostRepaints, 1);
  g_ghostHooks = savedGhosts;
  g_topicOpenHooks = kDefaultTopicOpenHooks;
  ClearGhosts();
}

}  // namespace
