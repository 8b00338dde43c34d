// The outbasket window driven by messages in this process: two services'
// actions under their headings, folding, hold and release, delete, editing a
// script action and a queued message, OK and the close question, actions
// that arrive while it is open, and the preview that continues by itself.
#include "online/outbasket_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "online/outbasket.h"
#include "resources/online_ids.h"
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
  }

  void SetUp() override {
    Ui() = Seen{};
    savedUi_ = g_ui;
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

}  // namespace
