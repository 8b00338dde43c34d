// Message operations under Wine: Fetch Full Message's action lines on disk,
// withdrawing a request, Send To and Paste through the import queue, a copy
// as import text, and the pane bar's buttons of composite folders.
#include "browser/message_ops.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/command_dialogs.h"
#include "browser/rethread.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/appstate.h"
#include "core/rights.h"
#include "core/system_helpers.h"
#include "core/tests/ui_recorder.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/message_ops.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/memory_log.h"
#include "msgbase/tests/topic_fixture.h"
#include "msgbase/topic_log.h"
#include "msgbase/topic_open.h"
#include "resources/browser_ids.h"
#include "shell/commands_hooks.h"
#include "shell/shell_state.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/window_fixture.h"
#include "wrx/wrx.h"

namespace {

const char kDate[] = "Tue, 5 Mar 1996 14:07:33 -0500";

std::string Msg(const char* folder, long number, long parent, const std::string& headers) {
  return SeparatorMessage(folder, number, "ann", kDate, headers + "Subject: s" + std::to_string(number) + "\n\nText.\n",
                          parent ? "Comment to " + std::to_string(parent) + "." : "");
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefFrameProcA(window, g_shell.mdiClient, message, wParam, lParam);
}

std::deque<std::function<void(HWND)>>& Drivers() {
  static std::deque<std::function<void(HWND)>> drivers;
  return drivers;
}
BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char name[16];
  GetClassNameA(window, name, sizeof name);
  if (!lstrcmpA(name, "#32770") && IsWindowVisible(window) && IsWindowEnabled(window))
    *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}
void CALLBACK DriveTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || Drivers().empty()) return;
  KillTimer(nullptr, id);
  auto driver = Drivers().front();
  Drivers().pop_front();
  driver(dialog);
}
INT_PTR DrivenDialogBox(HINSTANCE module, const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  SetTimer(nullptr, 0, 50, DriveTimer);
  return DialogBoxParamA(module, name, owner, proc, param);
}

std::vector<std::string> g_started;

class MessageOpsTest : public TopicFixture {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterBrowserClasses(instance);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.lpszClassName = "MessageOpsFrame";
    RegisterClassA(&wc);
  }
  void SetUp() override {
    TopicFixture::SetUp();
    g_browser = BrowserState();
    lstrcpynA(g_app.userName, "tester", sizeof g_app.userName);
    frame_ = CreateWindowA("MessageOpsFrame", "Frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 760,
                           560, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    CLIENTCREATESTRUCT ccs = {nullptr, 1000};
    g_shell.frame = frame_;
    g_shell.mdiClient = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 740, 500,
                                      frame_, nullptr, GetModuleHandleA(nullptr), &ccs);
    g_windowPlacements[kBrowserPlacementSlot] = {0, 0, 700, 460, 0};
    g_user.readingMode = kOrderThreads;
    g_user.movementModeF = 0;
    InstallBrowserHooks();
    savedImport_ = g_importProgram;
    g_started.clear();
    g_importProgram.start = [](const char* line, UINT) -> UINT {
      g_started.push_back(line);
      return 33;
    };
  }
  void TearDown() override {
    Drivers().clear();
    g_importProgram = savedImport_;
    logclose();
    if (g_browser.window) DestroyWindow(g_browser.window);
    DestroyWindow(frame_);
    g_shell = ShellWindows();
    g_browser = BrowserState();
    TopicFixture::TearDown();
  }
  void Open(const char* folder, const char* file, const std::string& log, uint32_t flags = 0) {
    AddFolder(folder, file, flags);
    WriteWholeFile(Path(file), log);
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(1, logopen());
    CloseBrowser();
    browse();
    RECT r = {};
    GetClientRect(g_browser.window, &r);
    ASSERT_TRUE(g_browser.open) << g_browser.window << " " << r.right << "x" << r.bottom << " " << g_shell.mdiClient;
  }
  void OfferFetch(bool on) {
    ASSERT_TRUE(AllocServiceConfig());
    lstrcpynA(g_hconf.slots[HCONF_H], on ? "yes" : "", HCONF_SLOT_SIZE);
  }
  uint16_t FlagsOf(long number) {
    const int slot = findmsgidx(static_cast<int32_t>(number));
    return slot >= 0 ? static_cast<MsgIndexRec*>(LogCva.At(slot))->flags : 0;
  }
  // The first row, then the second with Shift as a user clicks it.
  static void SelectTheFirstTwoRows() {
    VlbCommand(g_browser.list, kVlbSelectRow, 0, 0);
    SendMessageA(g_browser.list, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT,
                 MAKELPARAM(5, VlbStateOf(g_browser.list)->rowHeight + 2));
    SendMessageA(g_browser.list, WM_LBUTTONUP, 0, 0);
  }
  std::vector<ImportQueueEntry> Queue() {
    std::vector<ImportQueueEntry> out;
    if (!LockImportQueue(false)) return out;
    for (int i = 0; i < ImportQueue.Count(); ++i)
      if (auto* e = static_cast<ImportQueueEntry*>(ImportQueue.At(i))) out.push_back(*e);
    ClearImportQueue();
    return out;
  }
  HWND frame_ = nullptr;
  ImportProgramSeam savedImport_;
};

TEST_F(MessageOpsTest, FetchFullMessageWritesEachFormAndWithdrawsWithoutWriting) {
  struct Case {
    const char* folder;
    const char* key;
    const char* headers;
    const char* expected;
  } cases[] = {
      {"quorl:mail/demo", "quorl", "Message-ID: <m2@x>\n",
       ";-; id:\ttester type:\tscript script:\tFetch mail message priority:\t50 #:\tmail/demo #:\t<m2@x> #:\t2 "
       "#:\t1\r\nGetMailMessage\r\nmail/demo\r\n<m2@x>\r\n2\r\n1\r\n"},
      {"dvn:forum/S3_talk", "dvn", "Thread-Id: 4242\n",
       ";-; id:\ttester type:\tscript script:\tFetch full message priority:\t30 #:\tforum #:\t2\r\n"
       "FetchThread\r\nforum\r\n2\r\n"},
      {"net:comp.test/all", "net", "Message-ID: <n2@x>\n",
       ";-; id:\ttester type:\tscript script:\tFetch full message priority:\t50 #:\tcomp.test.all #:\t<n2@x> #:\t2 "
       "#:\t1 #:\tcomp.test/all\r\nGetMessage\r\ncomp.test.all\r\n<n2@x>\r\n2\r\n1\r\ncomp.test/all\r\n"},
      {"dvn:forum/L3_files", "dvn", "",
       ";-; id:\ttester type:\tscript script:\tRefresh Library List priority:\t40 #:\tforum #:\t2 #:\t #:\t #:\t "
       "#:\t #:\t #:\t #:\t #:\t #:\ty "
       "#:\tn\r\nNewSearchLibrary\r\nforum\r\n2\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\ny\r\nn\r\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    CreateDirectoryA(Path(c.key).c_str(), nullptr);
    const std::string bsc = Path((std::string(c.key) + "\\" + c.key + ".bsc").c_str());
    DeleteFileA(bsc.c_str());
    const std::string file = "f" + std::to_string(n++) + ".log";
    Open(c.folder, file.c_str(), Msg(c.folder, 1, 0, "") + Msg(c.folder, 2, 1, c.headers));
    OfferFetch(true);
    ASSERT_EQ(1, SelectMessage(2, g_browser.folder, 1));
    FetchFullMessage();
    EXPECT_EQ(c.expected, ReadWholeFile(bsc));
    EXPECT_EQ(0x0010 | kMsgRead, FlagsOf(2) & (0x0010 | kMsgRead));
    if (std::string(c.headers).find("Thread-Id") != std::string::npos) {
      EXPECT_EQ("4242\n", ReadWholeFile(Path(("f" + std::to_string(n - 1) + ".tid").c_str())).substr(0, 5));
    }
    // Already requested: the request is withdrawn, nothing written.
    SelectMessage(2, g_browser.folder, 1);
    FetchFullMessage();
    EXPECT_EQ(c.expected, ReadWholeFile(bsc));
    EXPECT_FALSE(FlagsOf(2) & 0x0010);
    logclose();
  }
  // Not offered without the service's "h" entry, nor in a special folder.
  Open("quorl:mail/other", "o.log", Msg("quorl:mail/other", 1, 0, ""));
  OfferFetch(false);
  EXPECT_FALSE(FetchFullMessageOffered());
  OfferFetch(true);
  EXPECT_TRUE(FetchFullMessageOffered());
  g_topic.openFlags |= 0x800;
  EXPECT_FALSE(FetchFullMessageOffered());
  g_topic.openFlags &= ~0x800u;
}

TEST_F(MessageOpsTest, SendToRefusesBadNamesForbiddenFoldersAndUnknownServices) {
  AddFolder("quorl:chat/general", "a.log", 0);
  AddFolder("quorl:chat/secret", "b.log", 6);
  const struct {
    const char* name;
    const char* refusal;  // its start, "" accepted
  } cases[] = {
      {"quorl:chat", "You have entered an invalid folder name."},
      {"chat/x:y", "You have entered an invalid folder name."},
      {"quorl:chat/secret", "You have attempted to write to a folder that you are not allowed in."},
      {"nowhere:a/b", "Invalid service name."},
      {"quorl:chat/new", ""},
      {"local:any/thing", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(0u, SendToRefusal(c.name).find(c.refusal)) << c.name << ": " << SendToRefusal(c.name);
}

TEST_F(MessageOpsTest, SendToPastesTheSelectionThroughTheImportQueue) {
  const char kFrom[] = "notes/demo";
  AddFolder("notes/other", "other.log", 0);
  Open(kFrom, "demo.log", Msg(kFrom, 1, 0, "") + Msg(kFrom, 2, 1, "") + Msg(kFrom, 3, 0, ""));
  g_ui.dialogBox = DrivenDialogBox;
  Drivers().push_back([](HWND d) {
    SetDlgItemTextA(d, IDC_SENDTO_NAME, "chat");  // no "/": refused, the dialog stays
    SendMessageA(d, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(d));
    ASSERT_FALSE(Recorded().boxes.empty());
    EXPECT_EQ(0u, Recorded().boxes.back().find("You have entered an invalid folder name."));
    SetDlgItemTextA(d, IDC_SENDTO_NAME, "local:notes/other");
    CheckDlgButton(d, IDC_SENDTO_APPEND, BST_CHECKED);
    testwin::PumpPending();
    EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "send_to_any.png"));
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  SelectTheFirstTwoRows();
  SendToAnyFolder(nullptr);
  const std::vector<ImportQueueEntry> queue = Queue();
  ASSERT_EQ(1u, queue.size());
  EXPECT_STREQ("local", queue[0].service);
  EXPECT_EQ(0x800u, queue[0].flags);
  const std::string pasted = ReadWholeFile(queue[0].path);
  EXPECT_EQ(0u, pasted.find("#pragma overridenumber=yes\r\n#pragma override=notes/other\r\n\r\n")) << pasted;
  EXPECT_NE(std::string::npos, pasted.find("notes/demo #1")) << pasted;
  EXPECT_NE(std::string::npos, pasted.find("notes/demo #2")) << pasted;
  EXPECT_EQ(std::string::npos, pasted.find("notes/demo #3")) << "only the two selected";
  EXPECT_EQ(1u, g_started.size());
  DeleteFileA(Path("import.dat").c_str());

  // Another program's copy on the clipboard is not pasted as ours.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 32);
  lstrcpyA(static_cast<char*>(GlobalLock(block)), "PL:other#1\n");
  GlobalUnlock(block);
  SetClipboardData(RegisterClipboardFormatA("500_MESSAGE"), block);
  CloseClipboard();
  Recorded().boxes.clear();
  EXPECT_FALSE(PasteMessages("local:notes/other", 0));
  EXPECT_TRUE(Queue().empty());
  EXPECT_FALSE(Recorded().boxes.empty()) << "the user is told to copy again";
}

TEST_F(MessageOpsTest, ACopyForAnotherFolderCarriesTheNoteAndItsCount) {
  const char kFrom[] = "notes/demo";
  Open(kFrom, "demo.log", Msg(kFrom, 5, 0, ""));
  FILE* out = std::tmpfile();
  ASSERT_TRUE(CopyMessageAsImport(out, 5, "notes/other"));
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  const std::string note = "\r\n[This message was copied from PL://notes/demo#5]\r\n";
  ASSERT_GE(text.size(), note.size());
  EXPECT_EQ(note, text.substr(text.size() - note.size()));
  EXPECT_EQ(std::string::npos, text.find("notes/demo #5")) << text;
  EXPECT_NE(std::string::npos, text.find("notes/other #5")) << text;
  // "Subject: s5\n\nText.\n" is 19 characters; the note's, less its first line end, are added.
  EXPECT_NE(std::string::npos, text.find(", " + std::to_string(19 + note.size() - 2) + " chars, ")) << text;
  EXPECT_EQ(std::string::npos, text.find("\n\n")) << "every line end is CR LF";
}

TEST_F(MessageOpsTest, CompositeFoldersGetThePaneBarButtons) {
  Open("quorl:chat/general", "c.log", Msg("quorl:chat/general", 1, 0, ""), 0x0008);
  g_markHooks.canModerateTopic = [](const char*) { return true; };
  g_browser.composite = true;
  HWND bar = CreateWindowA("Cask Reserve", "", WS_CHILD | WS_VISIBLE, 0, 0, 600, 32, g_browser.window, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  for (int id : {1140, 1766, 1285, 1177}) EXPECT_TRUE(GetDlgItem(bar, id)) << id;
  char caption[32];
  GetWindowTextA(GetDlgItem(bar, 1285), caption, sizeof caption);
  EXPECT_STREQ("Er&ase", caption);
  DestroyWindow(bar);
  g_markHooks.canModerateTopic = [](const char*) { return false; };
  bar = CreateWindowA("Cask Reserve", "", WS_CHILD, 0, 0, 600, 32, g_browser.window, nullptr, GetModuleHandleA(nullptr),
                      nullptr);
  EXPECT_TRUE(GetDlgItem(bar, 1140));
  EXPECT_FALSE(GetDlgItem(bar, 1285)) << "only for a topic the user may moderate";
  DestroyWindow(bar);
  g_browser.composite = false;
  bar = CreateWindowA("Cask Reserve", "", WS_CHILD, 0, 0, 600, 32, g_browser.window, nullptr, GetModuleHandleA(nullptr),
                      nullptr);
  EXPECT_FALSE(GetDlgItem(bar, 1140));
  DestroyWindow(bar);
}

}  // namespace

namespace {

std::string Field(HWND dialog, int id) {
  char text[64] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

TEST_F(MessageOpsTest, ReThreadRefusesLaterParentsAndQueuesTheNewHeader) {
  const char kFolder[] = "notes/demo";
  std::string log;
  for (long n = 48; n <= 51; ++n) log += Msg(kFolder, n, n == 50 ? 12 : 0, n == 50 ? "See #7 too.\n" : "");
  Open(kFolder, "demo.log", log);
  ASSERT_EQ(1, SelectMessage(50, g_browser.folder, 1));
  // 50 and 51 are refused naming 49; the dialog stays; 49 is taken.
  Drivers().push_back([](HWND d) {
    EXPECT_EQ("7", Field(d, IDC_RETHREAD_NUMBER)) << "the first #number of the text";
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_RETHREAD_ROOT));
    for (const char* typed : {"50", "51"}) {
      Recorded().boxes.clear();
      SetDlgItemTextA(d, IDC_RETHREAD_NUMBER, typed);
      EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_RETHREAD_THREAD)) << "typing chooses a parent";
      SendMessageA(d, WM_COMMAND, IDOK, 0);
      ASSERT_FALSE(Recorded().boxes.empty());
      EXPECT_EQ("You can only re-attach this message to message numbers 1 to 49.", Recorded().boxes.back());
    }
    SetDlgItemTextA(d, IDC_RETHREAD_NUMBER, "49");
    testwin::PumpPending();
    EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "rethread.png"));
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  SetTimer(nullptr, 0, 50, DriveTimer);
  ReThreadMessages();
  std::vector<ImportQueueEntry> queue = Queue();
  ASSERT_EQ(1u, queue.size());
  EXPECT_STREQ("local", queue[0].service);
  EXPECT_EQ(2048u, queue[0].flags);
  std::string text = ReadWholeFile(queue[0].path);
  EXPECT_EQ(0u, text.find("#pragma thread=no\r\n==========\r\nnotes/demo #50, from ann,")) << text;
  EXPECT_NE(std::string::npos, text.find("\r\nComment to 49.\r\n----------\r\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("Comment to 12")) << text;
  EXPECT_EQ(49, getmsghdr(50, 1)->commentTo);
  EXPECT_EQ(50, g_browser.currentMessage) << "the message is selected again";
  DeleteFileA(Path("import.dat").c_str());

  // Clicking an earlier message offers it; a root drops the comment line.
  Drivers().push_back([](HWND d) {
    SelectMessage(48, g_browser.folder, 1);
    testwin::PumpUntil([&] { return Field(d, IDC_RETHREAD_NUMBER) == "48"; }, 2000);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_RETHREAD_THREAD));
    CheckRadioButton(d, IDC_RETHREAD_ROOT, IDC_RETHREAD_THREAD, IDC_RETHREAD_ROOT);
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  SelectMessage(50, g_browser.folder, 1);
  SetTimer(nullptr, 0, 50, DriveTimer);
  ReThreadMessages();
  queue = Queue();
  ASSERT_EQ(1u, queue.size());
  text = ReadWholeFile(queue[0].path);
  EXPECT_NE(std::string::npos, text.find(" chars, Tue, 5 Mar 1996 14:07:33 -0500\r\n----------\r\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("Comment to")) << text;
  EXPECT_EQ(0, getmsghdr(50, 1)->commentTo);
}

// A message view whose text is "See 49 and Bob Smith.", with `selected`
// characters from `at` highlighted (none when 0).
int g_selectAt = 0, g_selectLength = 0;
HWND SelectingView(HWND browser) {
  const std::string text = "See 49 and Bob Smith.\r\n";
  WrxArgList a = {};
  a.width = 300;
  a.height = 100;
  a.initialLine = 1;
  a.inputKind = 'B';
  a.lineDelimiter = 13;
  a.instance = GetModuleHandleA(nullptr);
  a.parent = browser;
  a.style = WS_CHILD | WRX_READONLY;
  a.readOnly = 1;
  lstrcpynA(a.typeface, "Arial", sizeof a.typeface);
  a.pointSize = 10;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(h), text.data(), text.size());
  GlobalUnlock(h);
  a.bufferHandle = h;
  a.bufferSize = static_cast<int32_t>(text.size());
  HWND view = CreateWrxWindow(&a);
  if (view && g_selectLength) SelectWrxText(view, 0, g_selectAt, 0, g_selectAt + g_selectLength, 0);
  return view;
}

TEST_F(MessageOpsTest, ReThreadAndRemoteSearchStartFromTheViewsSelection) {
  RegisterWrxClass(GetModuleHandleA(nullptr));
  const BrowserViewHooks savedView = g_browserViewHooks;
  g_browserViewHooks.create = SelectingView;
  char savedIni[sizeof g_userIniName];
  lstrcpynA(savedIni, g_userIniName, sizeof savedIni);
  SetSettingsUser("tester", 0);
  const char kForum[] = "dvn:forum/S3_talk";
  CreateDirectoryA(Path("dvn").c_str(), nullptr);
  std::string log;
  for (long n = 48; n <= 50; ++n) log += Msg(kForum, n, 0, n == 50 ? "From: Carl [carl]\nSee #7.\n" : "");
  struct Case {
    int at, length;  // the view's selection
    bool shortForm;  // the user's setting
    const char* number;
    const char* description;  // its start
    const char* search;
  } cases[] = {
      {4, 2, false, "49", "#50 from ann", "49"},
      {0, 0, true, "7", "#50", "carl"},
      {11, 9, true, "Bob Smith", "#50", "Bob Smith"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search);
    g_selectAt = c.at;
    g_selectLength = c.length;
    WriteWholeFile(Path("tester.ini"),
                   std::string("[Main]\r\nReThread Short Form=") + (c.shortForm ? "YES" : "NO") + "\r\n");
    Conferences.SetSize(0);
    Open(kForum, "s3.log", log);
    ASSERT_EQ(1, SelectMessage(50, g_browser.folder, 1));
    char shared[4] = "";
    EXPECT_EQ(c.length != 0, g_commandHooks.ViewCanCopy());
    EXPECT_EQ(c.length != 0, g_commandHooks.GetViewSelText(shared, sizeof shared));
    EXPECT_EQ(std::string(c.search).substr(0, c.length ? 3 : 0), shared) << "cut to the buffer";
    Drivers().push_back([&c](HWND d) {
      EXPECT_EQ(c.number, Field(d, IDC_RETHREAD_NUMBER));
      const std::string description = Field(d, IDC_RETHREAD_MESSAGE);
      EXPECT_EQ(0u, description.find(c.description)) << description;
      if (!c.shortForm) {
        EXPECT_NE(std::string::npos, description.find("chars")) << description;
      } else {
        EXPECT_EQ(c.description, description);
      }
      if (c.shortForm && c.length) {
        testwin::PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "rethread_short.png"));
        EXPECT_EQ(c.number, Field(d, IDC_RETHREAD_NUMBER)) << "after pumping";
      }
      SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    SetTimer(nullptr, 0, 50, DriveTimer);
    ReThreadMessages();
    EXPECT_TRUE(Queue().empty()) << "cancelled";
    g_ui.dialogBox = DrivenDialogBox;
    Drivers().push_back([&c](HWND d) {
      EXPECT_EQ(c.search, Field(d, IDC_SEARCH_TEXT));
      EXPECT_EQ("3", Field(d, IDC_SEARCH_SECTIONS));
      if (c.shortForm && c.length) {
        testwin::PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "dvn_search_selection.png"));
      }
      SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    RemoteSearch();
    logclose();
  }
  lstrcpynA(g_userIniName, savedIni, sizeof g_userIniName);
  g_browserViewHooks = savedView;
}

// The whole way: the import program takes the queued text and the reopened
// folder shows the message under its new parent, or as a root.
class ImportRoundTripTest : public MessageOpsTest {
 protected:
  void RunImport() { ASSERT_NE(testproc::RunAndWait(IMPORT32_EXE, "import32.exe \"" + dir_ + "\""), -1); }
  void Import(const std::string& text) {
    WriteWholeFile(Path("seed.tmp"), text);
    ASSERT_TRUE(QueueImport("local", Path("seed.tmp").c_str(), "messages", 0));
    RunImport();
  }
  void Reopen(const char* folder) {
    CloseBrowser();
    logclose();
    Conferences.SetSize(0);
    ASSERT_EQ(1, rdconf(0));
    lstrcpynA(g_topic.openName, folder, sizeof g_topic.openName);
    ASSERT_EQ(1, logopen()) << ReadWholeFile(Path("import.log"));
    browse();
    ASSERT_TRUE(g_browser.open);
  }
  // "level:number" in display order, threads in root order.
  static std::string Display() {
    std::string out;
    const std::vector<SynNode>& nodes = CopyOfSynopsis();
    if (nodes.empty()) return out;
    int root = 0, guard = 0;
    do {
      int node = root;
      do {
        const SynNode& n = nodes[static_cast<size_t>(node)];
        out += (out.empty() ? "" : " ") + std::to_string(n.level) + ":" + std::to_string(n.number);
        node = n.next;
      } while (node != root && node >= 0 && node < static_cast<int>(nodes.size()) && ++guard < 1000);
      root = nodes[static_cast<size_t>(root)].nextRoot;
    } while (root > 0 && root < static_cast<int>(nodes.size()) && ++guard < 1000);
    return out;
  }
  void EmptyConfList() {
    VirtualArray empty("l", sizeof(ConfRec));
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, empty, 0));
    std::fclose(f);
  }
  // A new folder "general/<topic>" with messages 1 to n, each "Message N.".
  static std::string Seed(const std::string& topic, const std::vector<long>& parents) {
    const std::string folder = "general/" + topic;
    std::string seed = NewFolderPragma("general", topic);
    for (size_t i = 0; i < parents.size(); ++i) {
      const long n = static_cast<long>(i) + 1;
      seed += ImportMessageText({folder, n, "ann", "Thu, 10 Dec 2026 14:00", parents[i]},
                                "Message " + std::to_string(n) + ".\r\n");
    }
    return seed;
  }
  static std::string Body(long number) {
    std::string text;
    if (!scanmsg(number)) return text;
    while (g_logReader.remaining > 0) {
      const long k = readmsgline(g_logReader);
      if (k <= 0) break;
      g_logReader.remaining -= k;
      text.append(g_logReader.line, g_logReader.lineLength);
    }
    return text;
  }
  static void Choose(const char* parent) {
    Drivers().push_back([parent](HWND d) {
      if (parent) {
        SetDlgItemTextA(d, IDC_RETHREAD_NUMBER, parent);
      } else {
        CheckRadioButton(d, IDC_RETHREAD_ROOT, IDC_RETHREAD_THREAD, IDC_RETHREAD_ROOT);
      }
      SendMessageA(d, WM_COMMAND, IDOK, 0);
    });
    SetTimer(nullptr, 0, 50, DriveTimer);
  }
};

TEST_F(ImportRoundTripTest, TheReopenedFolderShowsTheNewParent) {
  const char kFolder[] = "general/chat";
  EmptyConfList();
  Import(Seed("chat", {0, 1, 0, 3}));
  Reopen(kFolder);
  ASSERT_EQ("0:1 1:2 0:3 1:4", Display());

  struct Step {
    long message;
    const char* parent;  // null: a root
    long commentTo;
    const char* display;
  } steps[] = {
      {4, "2", 2, "0:1 1:2 2:4 0:3"},
      {2, nullptr, 0, "0:1 0:2 1:4 0:3"},
      {3, "1", 1, "0:1 1:3 0:2 1:4"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.message);
    ASSERT_EQ(1, SelectMessage(step.message, g_browser.folder, 1));
    Choose(step.parent);
    ReThreadMessages();
    ASSERT_EQ(1u, g_started.size()) << "the import program is started";
    g_started.clear();
    RunImport();
    Reopen(kFolder);
    EXPECT_EQ(step.display, Display()) << ReadWholeFile(Path("import.log"));
    MsgIndexRec* rec = getmsghdr(step.message, 1);
    ASSERT_TRUE(rec);
    EXPECT_EQ(step.commentTo, rec->commentTo);
    EXPECT_EQ(g_topic.last, 4) << "re-threading adds no message";
    const std::string text = Body(step.message);
    EXPECT_NE(std::string::npos, text.find("Message " + std::to_string(step.message) + ".")) << text;
  }
}

// What Relink queues: messages copied as import text for a folder that
// lacks them. The import program must take the raised counts and the note.
TEST_F(ImportRoundTripTest, CopiesAsImportTextLandWithTheirNoteAndNumbers) {
  EmptyConfList();
  Import(Seed("chat", {0, 1, 2}) + Seed("other", {0}));
  Reopen("general/chat");
  char path[MAX_PATH] = "";
  ASSERT_TRUE(pendingtmpname(path, sizeof path)[0]);
  FILE* out = std::fopen(path, "wb");
  ASSERT_TRUE(out);
  EXPECT_TRUE(CopyMessageAsImport(out, 2, "general/other"));
  EXPECT_TRUE(CopyMessageAsImport(out, 3, "general/other"));
  std::fclose(out);
  ASSERT_TRUE(QueueImport("local", path, "messages", 2048));
  RunImport();
  Reopen("general/other");
  EXPECT_EQ("0:1 1:2 2:3", Display()) << ReadWholeFile(Path("import.log"));
  for (long n : {2L, 3L}) {
    const std::string body = Body(n);
    EXPECT_NE(std::string::npos, body.find("Message " + std::to_string(n) + ".")) << body;
    EXPECT_NE(std::string::npos,
              body.find("[This message was copied from PL://general/chat#" + std::to_string(n) + "]"))
        << body;
  }
}

TEST_F(ImportRoundTripTest, CopiesOfOneLineMessagesLandWithTheirNote) {
  EmptyConfList();
  Import(Seed("other", {0}));
  ASSERT_EQ(1, rdconf(0));
  AddFolder("general/lines", "lines.log", 0);
  WriteWholeFile(Path("lines.log"),
                 ">>>general/lines 1 ann(11)12Mar96 10:00\r\nMessage 1.\r\n"
                 ">>>general/lines 2 bob(11)12Mar96 10:05 c1\r\nMessage 2.\r\n");
  lstrcpynA(g_topic.openName, "general/lines", sizeof g_topic.openName);
  ASSERT_EQ(1, logopen());
  char path[MAX_PATH] = "";
  ASSERT_TRUE(pendingtmpname(path, sizeof path)[0]);
  FILE* out = std::fopen(path, "wb");
  ASSERT_TRUE(out);
  EXPECT_TRUE(CopyMessageAsImport(out, 2, "general/other"));
  std::fclose(out);
  ASSERT_TRUE(QueueImport("local", path, "messages", 2048));
  RunImport();
  Reopen("general/other");
  EXPECT_EQ("0:1 1:2", Display()) << ReadWholeFile(Path("import.log"));
  const std::string body = Body(2);
  EXPECT_NE(std::string::npos, body.find("Message 2.")) << body;
  EXPECT_NE(std::string::npos, body.find("[This message was copied from PL://general/lines#2]")) << body;
}

TEST_F(ImportRoundTripTest, SendToAppendsTheSelectedThreadRenumberedInTheOtherFolder) {
  EmptyConfList();
  Import(Seed("chat", {0, 1, 0}) + Seed("other", {0, 0}));
  Reopen("general/chat");
  g_ui.dialogBox = DrivenDialogBox;
  Drivers().push_back([](HWND d) {
    SetDlgItemTextA(d, IDC_SENDTO_NAME, "local:general/other");
    CheckDlgButton(d, IDC_SENDTO_APPEND, BST_CHECKED);
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  SelectTheFirstTwoRows();
  SendToAnyFolder(nullptr);
  ASSERT_EQ(1u, g_started.size());
  RunImport();
  Reopen("general/other");
  EXPECT_EQ("0:1 0:2 0:3 1:4", Display()) << ReadWholeFile(Path("import.log"));
  EXPECT_NE(std::string::npos, Body(3).find("Message 1.")) << Body(3);
  EXPECT_NE(std::string::npos, Body(4).find("Message 2.")) << Body(4);
  EXPECT_NE(std::string::npos, Body(1).find("Message 1.")) << "the folder's own messages stay";
  Reopen("general/chat");
  EXPECT_EQ("0:1 1:2 0:3", Display()) << "the original folder is unchanged";
}

}  // namespace

namespace {

TEST_F(MessageOpsTest, RemoteSearchWritesTheLimitCodeAndTheChosenSections) {
  const char kForum[] = "dvn:forum/S3_talk";
  CreateDirectoryA(Path("dvn").c_str(), nullptr);
  Open(kForum, "s3.log", Msg(kForum, 1, 0, "From: Bob Smith [bob]\nTo: ann\n"));
  AddFolder("dvn:forum/S5_news", "s5.log", 0);
  ASSERT_EQ(1, SelectMessage(1, g_browser.folder, 1));
  g_ui.dialogBox = DrivenDialogBox;
  Drivers().push_back([](HWND d) {
    EXPECT_EQ("3", Field(d, IDC_SEARCH_SECTIONS));
    EXPECT_EQ("bob", Field(d, IDC_SEARCH_TEXT)) << "the author's last word";
    SendMessageA(GetDlgItem(d, IDC_SEARCH_SUBJECT), BM_CLICK, 0, 0);
    EXPECT_EQ("s1", Field(d, IDC_SEARCH_TEXT));
    SendDlgItemMessageA(d, IDC_SEARCH_LIMIT, CB_SETCURSEL, 1, 0);  // "Unread only"
    // Browse: the sections of the forum, 3 chosen; 5 is added.
    Drivers().push_back([](HWND s) {
      HWND list = GetDlgItem(s, IDC_SECTIONS_LIST);
      ASSERT_EQ(2, SendMessageA(list, LB_GETCOUNT, 0, 0));
      const LRESULT s3 = SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>("S3_talk"));
      const LRESULT s5 = SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>("S5_news"));
      EXPECT_GT(SendMessageA(list, LB_GETSEL, s3, 0), 0) << "the section in the field starts chosen";
      EXPECT_EQ(0, SendMessageA(list, LB_GETSEL, s5, 0));
      SendMessageA(list, LB_SETSEL, TRUE, s5);
      testwin::PumpPending();
      EXPECT_TRUE(testwin::SaveWindowPng(s, testwin::ScreenshotDirectory() + "msg_lists_sel.png"));
      SendMessageA(s, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(d, WM_COMMAND, IDC_SEARCH_BROWSE, 0);
    EXPECT_EQ("3 5", Field(d, IDC_SEARCH_SECTIONS));
    testwin::PumpPending();
    EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "dvn_search.png"));
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  RemoteSearch();
  const std::string bsc = Path("dvn\\dvn.bsc");
  EXPECT_EQ(
      ";-; id:\ttester type:\tscript script:\tRemote Search priority:\t60 #:\tforum #:\t3 5 #:\tu #:\t2 #:\ts1\r\n"
      "SearchForMessages\r\nforum\r\n3 5\r\nu\r\n2\r\ns1\r\n",
      ReadWholeFile(bsc));
  DeleteFileA(bsc.c_str());
  Drivers().push_back([](HWND d) {
    SendDlgItemMessageA(d, IDC_SEARCH_LIMIT, CB_SETCURSEL, 9, 0);  // "Last month"
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  RemoteSearch();
  EXPECT_NE(std::string::npos, ReadWholeFile(bsc).find("#:\t3 #:\t31 #:\t3 #:\tbob\r\n"));
}

TEST_F(MessageOpsTest, FavouritesOfferTheFoldersAndKeepTheChoices) {
  AddFolder("quorl:chat/general", "a.log", 0);
  AddFolder("quorl:chat/gone", "b.log", 1);  // resigned: not offered
  AddFolder("notes/demo", "c.log", 0);
  lstrcpynA(g_favourites[0], "quorl:chat/general", sizeof g_favourites[0]);
  g_favourites[1][0] = 0;
  g_ui.dialogBox = DrivenDialogBox;
  Drivers().push_back([](HWND d) {
    HWND first = GetDlgItem(d, IDC_FAVE_FIRST);
    EXPECT_EQ(3, SendMessageA(first, CB_GETCOUNT, 0, 0)) << "<None> and two folders";
    char text[100] = "";
    GetWindowTextA(first, text, sizeof text);
    EXPECT_STREQ("quorl:chat/general", text);
    HWND second = GetDlgItem(d, IDC_FAVE_FIRST + 1);
    GetWindowTextA(second, text, sizeof text);
    EXPECT_STREQ("<None>", text);
    SendMessageA(second, CB_SETCURSEL, 2, 0);
    SendMessageA(GetDlgItem(d, IDC_FAVE_FIRST + 2), CB_SETCURSEL, 0, 0);
    testwin::PumpPending();
    EXPECT_TRUE(testwin::SaveWindowPng(d, testwin::ScreenshotDirectory() + "faves.png"));
    SendMessageA(d, WM_COMMAND, IDOK, 0);
  });
  EditFavourites();
  EXPECT_STREQ("quorl:chat/general", g_favourites[0]);
  EXPECT_STREQ("notes/demo", g_favourites[1]);
  EXPECT_STREQ("", g_favourites[2]) << "<None> is stored empty";
  g_favourites[0][0] = g_favourites[1][0] = 0;
}

TEST_F(MessageOpsTest, ServiceDirectoriesLeaveOutTheListedAndHiddenOnes) {
  for (const char* dir : {"quorl", "net", ".hidden", "%temp", "dvn"}) {
    CreateDirectoryA(Path(dir).c_str(), nullptr);
    WriteWholeFile(Path((std::string(dir) + "\\" + dir + ".cnf").c_str()), "");
  }
  HWND combo = CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 100, 100, frame_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  ScanNetFolders(combo, "net;", false);
  std::vector<std::string> names;
  for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
    char text[64] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    names.push_back(text);
  }
  for (const std::string& n : names) {
    EXPECT_NE("net", n);
    EXPECT_NE('.', n[0]);
    EXPECT_NE('%', n[0]);
  }
  EXPECT_EQ(2u, names.size()) << (names.empty() ? "" : names[0]);

  // A restricted list: the directories only with the right; the user's own
  // Internet account whenever it is set up, and the caller's loaded address
  // settings left alone.
  char savedIni[sizeof g_userIniName];
  lstrcpynA(savedIni, g_userIniName, sizeof savedIni);
  SetSettingsUser("tester", 0);
  struct Case {
    unsigned long rights;
    const char* account;  // null: no Internet settings
    const char* expected;
  } cases[] = {
      {RIGHTS_DEFAULT, nullptr, ""},
      {RIGHTS_DEFAULT, "jdoe", "net:jdoe"},
      {RIGHT_ADMINISTRATOR, nullptr, "Dvn Net Quorl"},
      {RIGHT_ADMINISTRATOR, "jdoe", "Dvn Net net:jdoe Quorl"},
  };
  const UserRights savedRights = g_userRights;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    g_userRights.word = c.rights;
    DeleteFileA(Path("tester.ini").c_str());
    if (c.account)
      WriteWholeFile(Path("tester.ini"), std::string("[Service net]\r\nPop Account=") + c.account + "\r\n");
    lstrcpynA(g_serviceAddress.popAccount, "kept", sizeof g_serviceAddress.popAccount);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    ScanNetFolders(combo, "", true);
    std::string listed;
    for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
      char text[64] = "";
      SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      listed += (listed.empty() ? "" : " ") + std::string(text);
    }
    EXPECT_EQ(c.expected, listed);
    EXPECT_STREQ("kept", g_serviceAddress.popAccount);
  }
  g_userRights = savedRights;
  g_serviceAddress = ServiceAddress();
  lstrcpynA(g_userIniName, savedIni, sizeof g_userIniName);
  DestroyWindow(combo);
}

}  // namespace

namespace {

std::vector<std::string> g_queued;
int g_ghostKind = 0;

TEST_F(MessageOpsTest, CancelQueuesOnceAndRelinkFindsOrCollectsTheParent) {
  const char kChat[] = "quorl:chat/general";
  g_messageOpsHooks.makeScriptCmd = [](const char* command) {
    g_queued.push_back(command);
    return 2;
  };
  const BrowserHooks savedBrowserHooks = g_browserHooks;
  g_browserHooks.getGhostKind = [](long) { return g_ghostKind; };
  // 3 comments on 2, which the folder lacks; 4 comments on 1.
  Open(kChat, "chat.log", Msg(kChat, 1, 0, "") + Msg(kChat, 3, 2, "") + Msg(kChat, 4, 1, ""));
  ASSERT_EQ(1, SelectMessage(3, g_browser.folder, 1));
  g_queued.clear();
  g_ghostKind = 1;  // a cancel is queued already
  CancelMessage();
  EXPECT_TRUE(g_queued.empty());
  g_ghostKind = 0;
  CancelMessage();
  EXPECT_EQ((std::vector<std::string>{"withdraw"}), g_queued);
  EXPECT_TRUE(FlagsOf(3) & kMsgRead);

  // The parent is here: the move is made.
  ASSERT_EQ(1, SelectMessage(4, g_browser.folder, 1));
  RelinkThread();
  EXPECT_EQ(1, g_browser.currentMessage);
  // The parent is missing: a Quorl folder offers to collect it.
  ASSERT_EQ(1, SelectMessage(3, g_browser.folder, 1));
  Recorded().answer = IDYES;
  Recorded().boxes.clear();
  RelinkThread();
  ASSERT_FALSE(Recorded().boxes.empty());
  EXPECT_EQ("Collect original message from Service ?", Recorded().boxes.back());
  logclose();

  // A local folder only says so, and a mail folder never cancels.
  const char kLocal[] = "notes/demo";
  Open(kLocal, "demo.log", Msg(kLocal, 1, 0, "") + Msg(kLocal, 3, 2, ""));
  ASSERT_EQ(1, SelectMessage(3, g_browser.folder, 1));
  Recorded().boxes.clear();
  RelinkThread();
  const std::string said = Recorded().boxes.empty() ? "" : Recorded().boxes.back();
  bool inStatus = false;
  for (const std::string& s : Recorded().status) inStatus = inStatus || s == "Message not found!";
  EXPECT_TRUE(said == "Message not found!" || inStatus);
  logclose();
  const char kMail[] = "quorl:mail/in";
  Open(kMail, "mail.log", Msg(kMail, 1, 0, ""));
  ASSERT_EQ(1, SelectMessage(1, g_browser.folder, 1));
  g_queued.clear();
  CancelMessage();
  EXPECT_TRUE(g_queued.empty());
  g_messageOpsHooks = MessageOpsHooks();
  g_browserHooks = savedBrowserHooks;
}

}  // namespace
