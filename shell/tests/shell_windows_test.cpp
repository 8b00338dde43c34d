// The shell's windows driven by messages in this process: the frame and its
// layouts, close and poll, the status bar and status window, broadcasts,
// post-it notes, the About box and sign-in dialog, the fatal-error guard
// inside a dialog inside a command, and the child-process starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"
#include "online/login_script.h"
#include "shell/broadcast.h"
#include "shell/child_process.h"
#include "shell/frame.h"
#include "shell/login.h"
#include "shell/postits.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/splash.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"
#include "tests/support/files.h"
#include "tests/support/window_fixture.h"

namespace {

using testfs::ReadWholeFile;
using testwin::WindowsPath;

std::string ShotPath(const char* name) { return WindowsPath(SHOT_DIR) + "\\" + name; }

void WriteText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(testfs::WriteWholeFile(path, text)) << path;
}
void AppendText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(testfs::AppendToFile(path, text)) << path;
}

void Pump(int ms) {
  DWORD end = GetTickCount() + ms;
  MSG msg;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

std::vector<std::string> g_boxes;
int g_boxAnswer = IDNO;
int RecordBox(HWND, const char* text, const char*, UINT) {
  g_boxes.push_back(text);
  return g_boxAnswer;
}

// One frame for the whole suite: classes register once per process.
class ShellWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_app.instance = GetModuleHandleA(nullptr);
    LoadResourceDll(g_app.instance);
    g_ui.messageBox = RecordBox;
    char temp[MAX_PATH], unique[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    GetTempFileNameA(temp, "plw", 0, unique);
    DeleteFileA(unique);
    s_data = std::string(unique) + "\\";
    CreateDirectoryA(s_data.c_str(), nullptr);
    for (const char* service : {"quorl", "dvn", "net", "local"}) {
      CreateDirectoryA((s_data + service).c_str(), nullptr);
      WriteText(s_data + service + "\\" + service + ".cnf", "; test\r\n");
    }
    WriteText(s_data + "fenwold.ini", "[Main]\r\nPoll Period=0\r\n");
    WriteText(s_data + "demo.ini", "[Main]\r\nStatus Bar=1\r\nShow Post Its=1\r\nWarn On Replys=1\r\n");
    VirtualArray list("conf", sizeof(ConfRec));
    const char* names[] = {"quorl:chat/main", "quorl:chat/old"};
    for (const char* name : names) {
      ConfRec rec = {};
      std::strcpy(rec.name, name);
      std::snprintf(rec.baseName, sizeof rec.baseName, "quorl\\chat\\%s", std::strrchr(name, '/') + 1);
      list.Append(&rec);
    }
    FILE* conf = std::fopen((s_data + "conf.ww").c_str(), "wb");
    WriteConfList(conf, list, 0);
    std::fclose(conf);
    FILE* user = std::fopen((s_data + "demo.usr").c_str(), "wb");
    WriteUserFolders(user, list, "demo", "secret");
    std::fclose(user);
    std::strcpy(g_app.dataDir, s_data.c_str());

    ASSERT_TRUE(RegisterWindowClasses(g_app.instance));
    ASSERT_TRUE(CreateFrameWindow(false));
    ASSERT_TRUE(CreateStatusWindows());
    LoginUser("demo", "secret");
    g_user.showPostIts = 1;
    g_user.statusBar = 1;
    ShowWindow(g_shell.frame, SW_SHOWNORMAL);
    MoveWindow(g_shell.frame, 0, 0, 800, 560, TRUE);
    SetMainTitle();
    g_app.frameReady = true;
    Pump(200);
  }

  void SetUp() override {
    g_boxes.clear();
    g_boxAnswer = IDNO;
  }

  static std::string s_data;
};
std::string ShellWindows::s_data;

TEST_F(ShellWindows, FrameIsTitledForTheUserWithClientAndStatusBar) {
  char title[64] = "";
  GetWindowTextA(g_shell.frame, title, sizeof title);
  EXPECT_STREQ(title, "Pelmora:demo");
  EXPECT_TRUE(UserLoggedIn());
  RECT client, mdi, bar;
  GetClientRect(g_shell.frame, &client);
  GetWindowRect(g_shell.mdiClient, &mdi);
  GetWindowRect(g_shell.statusBar, &bar);
  EXPECT_EQ(bar.bottom - bar.top, StatusBarHeight());
  EXPECT_EQ(bar.right - bar.left, client.right);
  EXPECT_EQ(g_shell.toolbarHeight + (mdi.bottom - mdi.top) + (bar.bottom - bar.top), client.bottom);
  EXPECT_TRUE(testwin::SaveWindowPng(g_shell.frame, ShotPath("shell_frame.png")));
}

TEST_F(ShellWindows, ToolbarLayoutsAndTheSmallSizeThatChangesNothing) {
  HWND toolbar =
      CreateWindowA("static", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, g_shell.frame, nullptr, g_app.instance, nullptr);
  g_shell.toolbar = toolbar;
  g_shell.toolbarShown = true;
  struct Case {
    bool left, large;
    int toolbarHeight, toolbarWidth;
  };
  const Case cases[] = {{false, false, 29, 0}, {false, true, 37, 0}, {true, false, 0, 32}, {true, true, 0, 38}};
  for (const Case& c : cases) {
    g_shell.toolbarAtLeft = c.left;
    g_shell.largeButtons = c.large;
    SendMessageA(g_shell.frame, WM_SIZE, SIZE_RESTORED, MAKELPARAM(600, 400));
    RECT bar, mdi;
    GetClientRect(toolbar, &bar);
    GetWindowRect(g_shell.mdiClient, &mdi);
    MapWindowPoints(nullptr, g_shell.frame, reinterpret_cast<POINT*>(&mdi), 2);
    if (c.left) {
      EXPECT_EQ(bar.right, c.toolbarWidth);
      EXPECT_EQ(mdi.left, c.toolbarWidth);
    } else {
      EXPECT_EQ(bar.bottom, c.toolbarHeight);
      EXPECT_EQ(mdi.top, c.toolbarHeight);
    }
  }
  RECT before;
  GetWindowRect(g_shell.mdiClient, &before);
  SendMessageA(g_shell.frame, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 400));
  RECT after;
  GetWindowRect(g_shell.mdiClient, &after);
  EXPECT_TRUE(EqualRect(&before, &after)) << "100 pixels or less leaves the layout";
  g_shell.toolbar = nullptr;
  g_shell.toolbarShown = false;
  DestroyWindow(toolbar);
  RECT client;
  GetClientRect(g_shell.frame, &client);
  SendMessageA(g_shell.frame, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

TEST_F(ShellWindows, StatusTextIsCutAndSameTextKeepsItsTimer) {
  std::string longText(200, 'x');
  SetStatusText(longText.c_str());
  EXPECT_EQ(std::strlen(StatusBarText()), 149u);
  EXPECT_TRUE(StatusBarShowsText());
  SetStatusText("");
  EXPECT_FALSE(StatusBarShowsText());
}

TEST_F(ShellWindows, ClosingAsksAboutTheOutbasketAndYesConnects) {
  WriteText(s_data + "quorl.bsc", ";-; id:\tdemo type:\tedit\r\nMessageStart: 1.0\r\n");
  WriteText(s_data + "dvn\\dvn.bsc", "x script:\tCancel message priority:\t60\n");
  WriteText(s_data + "net\\net.bsc", ";-; id:\tdemo\nx script:\tFetch Mail priority:\t5\n");
  g_boxAnswer = IDCANCEL;
  SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_NE(g_boxes[0].find("There are items in your outbasket for dvn and quorl."), std::string::npos) << g_boxes[0];
  EXPECT_TRUE(IsWindow(g_shell.frame)) << "Cancel keeps the program";

  g_boxes.clear();
  g_boxAnswer = IDYES;
  SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(g_shell.frame));
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, g_shell.frame, MSG_CONNECT, MSG_CONNECT, PM_REMOVE)) << "Yes posts 33273";
  EXPECT_EQ(msg.wParam, 1u);
  DeleteFileA((s_data + "quorl.bsc").c_str());
  DeleteFileA((s_data + "dvn\\dvn.bsc").c_str());
  DeleteFileA((s_data + "net\\net.bsc").c_str());
}

bool g_terminal = false;
bool Terminal() { return g_terminal; }

TEST_F(ShellWindows, CloseIsRefusedBeforeStartUpDuringACommandAndInATerminalSession) {
  g_user.warnOnReplys = 0;
  g_app.frameReady = false;
  SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(g_shell.frame));
  g_app.frameReady = true;
  g_frame.idle = false;
  SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(g_shell.frame));
  g_frame.idle = true;
  g_shellHooks.terminalSession = Terminal;
  g_terminal = true;
  SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(g_shell.frame));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_NE(g_boxes[0].find("You are in a terminal session."), std::string::npos);
  g_terminal = false;
  g_user.warnOnReplys = 1;
}

HWND OpenChild(const char* title) {
  MDICREATESTRUCTA create = {};
  create.szClass = "Frostmere";
  create.szTitle = title;
  create.hOwner = g_app.instance;
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  return reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
}

TEST_F(ShellWindows, NewChildrenFollowAMaximisedFirstChildAndAllCloseTogether) {
  HWND first = OpenChild("first");
  ASSERT_TRUE(first);
  HWND second = OpenChild("second");
  EXPECT_FALSE(IsZoomed(second));
  SendMessageA(g_shell.mdiClient, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(second), 0);
  HWND third = OpenChild("third");
  EXPECT_TRUE(IsZoomed(third)) << "the first child is maximised, so the new one is too";
  EXPECT_TRUE(IsActiveChildMaximized(g_shell.mdiClient));
  SendMessageA(g_shell.mdiClient, WM_MDIRESTORE, reinterpret_cast<WPARAM>(third), 0);
  ShowWindow(first, SW_MINIMIZE);
  CloseAllChildren();
  EXPECT_FALSE(GetWindow(g_shell.mdiClient, GW_CHILD)) << "minimised children close too";
  EXPECT_FALSE(g_shell.statusWindow);
}

TEST_F(ShellWindows, NextFocusWrapsAndSkipsButtonsFromAnEdit) {
  HWND parent = CreateWindowA("static", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 100, g_shell.frame, nullptr,
                              g_app.instance, nullptr);
  HWND edit1 = CreateWindowA("edit", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent, nullptr, g_app.instance, nullptr);
  HWND button =
      CreateWindowA("button", "b", WS_CHILD | WS_VISIBLE, 60, 0, 50, 20, parent, nullptr, g_app.instance, nullptr);
  HWND label =
      CreateWindowA("static", "s", WS_CHILD | WS_VISIBLE, 120, 0, 50, 20, parent, nullptr, g_app.instance, nullptr);
  HWND edit2 =
      CreateWindowA("edit", "", WS_CHILD | WS_VISIBLE, 180, 0, 50, 20, parent, nullptr, g_app.instance, nullptr);
  SetForegroundWindow(g_shell.frame);
  SetFocus(edit1);
  NextFocus(true);
  EXPECT_EQ(GetFocus(), edit2) << "from an edit the button and the label are passed over";
  NextFocus(true);
  EXPECT_EQ(GetFocus(), edit1) << "from the last control to the first";
  SetFocus(button);
  NextFocus(false);
  EXPECT_EQ(GetFocus(), edit1);
  SetFocus(edit1);
  NextFocus(false);
  EXPECT_EQ(GetFocus(), edit2);
  (void)label;
  DestroyWindow(parent);
}

TEST_F(ShellWindows, PollPeriodDecidesWhichTicksPoll) {
  struct Case {
    unsigned period;
    int ticks, polls;
  };
  for (const Case& c : {Case{0, 6, 6}, Case{5, 12, 2}}) {
    g_main.pollPeriod = c.period;
    g_frame.pollNow = false;
    g_frame.pollCounter = 0;
    int before = g_frame.polls;
    for (int i = 0; i < c.ticks; ++i) SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);
    EXPECT_EQ(g_frame.polls - before, c.polls) << c.period;
  }
  g_frame.pollCounter = 0;
  int before = g_frame.polls;
  SendMessageA(g_shell.frame, MSG_POLL_NOW, 0, 0);
  SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);
  EXPECT_EQ(g_frame.polls - before, 1) << "33171 polls at the next tick";
  g_main.pollPeriod = 0;
}

FILETIME FileTimeFromNow(int seconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value;
  value.LowPart = now.dwLowDateTime;
  value.HighPart = now.dwHighDateTime;
  value.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ull;
  return {value.LowPart, value.HighPart};
}

TEST_F(ShellWindows, ChangedFolderListIsReadAgainOrWaitsForTheImport) {
  g_user.alwaysRefreshUnread = 1;
  g_frame.pollNow = true;
  SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);  // settles what was changed before
  SetStatusText("");
  WriteText(s_data + "confnew.ww", "changed");
  HANDLE marker =
      CreateFileA((s_data + "confnew.ww").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME later = FileTimeFromNow(5);
  SetFileTime(marker, nullptr, nullptr, &later);
  CloseHandle(marker);
  g_frame.pollNow = true;
  SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);
  EXPECT_STREQ(StatusBarText(), "The folder list has been updated");
  EXPECT_FALSE(g_importWaiting);

  // With the option off, the bar's import cell says that new messages wait.
  g_user.alwaysRefreshUnread = 0;
  later = FileTimeFromNow(10);
  marker =
      CreateFileA((s_data + "confnew.ww").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(marker, nullptr, nullptr, &later);
  CloseHandle(marker);
  g_frame.pollNow = true;
  SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);
  EXPECT_TRUE(g_importWaiting);
  g_importWaiting = false;
  g_user.alwaysRefreshUnread = 1;
  SetStatusText("");
}

TEST_F(ShellWindows, ImportAnimationRunsWhileTheImportProgramWorks) {
  // The import program's window class, as the status bar looks for it.
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = g_app.instance;
  wc.lpszClassName = "MsgImport";
  RegisterClassA(&wc);
  HWND import = CreateWindowA("MsgImport", "Message Import 40%", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              g_app.instance, nullptr);
  HWND item = CreateWindowA("static", "chat.tmp", WS_CHILD, 0, 0, 10, 10, import, reinterpret_cast<HMENU>(4292),
                            g_app.instance, nullptr);
  std::vector<int> frames;
  for (int i = 0; i < 7; ++i) {
    PollImportTool();
    frames.push_back(ImportAnimationFrame());
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 4, 5, 1, 2}));
  EXPECT_TRUE(testwin::SaveWindowPng(g_shell.statusBar, ShotPath("shell_status_bar_import.png")));
  SetWindowTextA(item, "ab");
  PollImportTool();
  EXPECT_EQ(ImportAnimationFrame(), 0) << "fewer than 3 characters: the import is idle";
  DestroyWindow(import);
  PollImportTool();
  EXPECT_EQ(ImportAnimationFrame(), 0);
}

TEST_F(ShellWindows, BroadcastsShowNewLinesAndObeyControlLines) {
  std::string path = s_data + "broadcst.txt";
  WriteText(path, "older line\n.shutdown\n");
  ResetBroadcastPosition();
  PollBroadcasts();
  EXPECT_FALSE(g_shell.statusWindow) << "lines older than the instance are not shown";
  AppendText(path, "hello everybody\n.zap demo2\n" + std::string(90, 'a') + ".shutdown\n");
  PollBroadcasts();
  ASSERT_TRUE(g_shell.statusWindow);
  char text[1024] = "";
  GetDlgItemTextA(g_shell.statusWindow, 4060, text, sizeof text);
  EXPECT_NE(std::strstr(text, "hello everybody"), nullptr);
  EXPECT_NE(std::strstr(text, ".zap demo2"), nullptr);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, g_shell.frame, WM_COMMAND, WM_COMMAND, PM_NOREMOVE))
      << "no exit for another user or a later piece";
  EXPECT_TRUE(testwin::SaveWindowPng(g_shell.frame, ShotPath("shell_status_window.png")));

  AppendText(path, ".zap DEMO\n");
  PollBroadcasts();
  ASSERT_TRUE(PeekMessageA(&msg, g_shell.frame, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(msg.wParam), 1145);
  SendMessageA(g_shell.statusWindow, WM_CLOSE, 0, 0);
}

int CountNotes() {
  int notes = 0;
  for (HWND child = GetWindow(g_shell.mdiClient, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    if (std::strcmp(className, "Thrimby Bitter") == 0) ++notes;
  }
  return notes;
}

TEST_F(ShellWindows, PostitLinesOpenNotesForTheUserOnly) {
  std::string path = s_data + "postits.log";
  WriteText(path, "quorl:chat/main 3 bob\n");
  g_user.lastPostIt = 0;
  // A folder passed over, a note from the user and another's mail show nothing.
  auto* old = static_cast<ConfRec*>(Conferences.At(1));
  ASSERT_TRUE(old);
  old->flags |= CONF_RESIGNED;
  int before = CountNotes();
  AppendText(path, "quorl:chat/old 4 bob\nlocal:mail/demo 5 demo\nlocal:mail/other 6 bob\n");
  EXPECT_EQ(PollPostits(), 1);
  EXPECT_EQ(CountNotes() - before, 1);
  EXPECT_EQ(g_user.lastPostIt, static_cast<uint32_t>(ReadWholeFile(path).size()));
  EXPECT_EQ(PollPostits(), 0) << "nothing new";
  EXPECT_TRUE(testwin::SaveWindowPng(g_shell.frame, ShotPath("shell_postit.png")));

  // A log cut shorter than what was seen is read from its start.
  WriteText(path, "local:mail/demo 9 bob\n");
  EXPECT_EQ(PollPostits(), 1);
  EXPECT_EQ(CountNotes() - before, 2);
  old->flags &= ~CONF_RESIGNED;
}

TEST_F(ShellWindows, AboutBoxShowsTheVersion) {
  HWND about = CreateDialogParamA(StringModule(), "ABOUTBOX", g_shell.frame, AboutDlgProc, 0);
  ASSERT_TRUE(about);
  char text[128] = "";
  GetDlgItemTextA(about, 4024, text, sizeof text);
  EXPECT_NE(std::strstr(text, "5.50 build 311"), nullptr) << text;
  GetDlgItemTextA(about, 4051, text, sizeof text);
  EXPECT_STREQ(text, "(Last build  Wed Apr 26 14:25:28 2000)");
  ShowWindow(about, SW_SHOW);
  Pump(100);
  EXPECT_TRUE(testwin::SaveWindowPng(about, ShotPath("shell_about.png")));
  DestroyWindow(about);
}

TEST_F(ShellWindows, SplashShowsThePictureBesideTheProgramOrNothing) {
  char buffer[MAX_PATH];
  SplashPicturePath("C:\\Program Files\\Pelmora\\PL32.EXE", buffer);
  EXPECT_STREQ(buffer, "c:\\program files\\pelmora\\pl.bmp");
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  char picture[MAX_PATH];
  SplashPicturePath(program, picture);
  DeleteFileA(picture);
  EXPECT_FALSE(CreateWindowA("Halden Harbour Pride", "Pelmora", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, g_app.instance, nullptr))
      << "no picture, no splash";

  // A 96 by 48 picture of our own: a frame around a band.
  const int width = 96, height = 48, stride = width * 3;
  std::string bmp(54 + stride * height, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  bmp[26] = 1;
  bmp[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool edge = x < 3 || y < 3 || x >= width - 3 || y >= height - 3;
      size_t at = 54 + y * stride + x * 3;
      bmp[at] = static_cast<char>(edge ? 90 : 30);
      bmp[at + 1] = static_cast<char>(edge ? 40 : 160);
      bmp[at + 2] = static_cast<char>(edge ? 40 : 220);
    }
  WriteText(picture, bmp);
  HWND splash = CreateWindowA("Halden Harbour Pride", "Pelmora", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, g_app.instance, nullptr);
  ASSERT_TRUE(splash);
  RECT r;
  GetWindowRect(splash, &r);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
  EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2);
  EXPECT_TRUE(IsWindowVisible(splash));
  Pump(100);
  EXPECT_TRUE(testwin::SaveWindowPng(splash, ShotPath("shell_splash.png")));
  DestroyWindow(splash);
  DeleteFileA(picture);
}

std::vector<std::string> g_followed;
void RecordLink(const char* link) { g_followed.push_back(link); }

TEST_F(ShellWindows, FrameFollowsOnlyLinksItQueuedItself) {
  g_shellHooks.followLink = RecordLink;
  g_followed.clear();
  SendMessageA(g_shell.frame, MSG_FOLLOW_LINK, 0, reinterpret_cast<LPARAM>("pl:quorl:chat/main"));
  SendMessageA(g_shell.frame, MSG_FOLLOW_LINK, 0, 12345);
  EXPECT_TRUE(g_followed.empty()) << "a pointer or number from elsewhere is no link";
  LPARAM ticket = QueueFrameLink("pl:quorl:chat/main");
  SendMessageA(g_shell.frame, MSG_FOLLOW_LINK, 0, ticket);
  SendMessageA(g_shell.frame, MSG_FOLLOW_LINK, 0, ticket);
  ASSERT_EQ(g_followed.size(), 1u) << "a ticket is good once";
  EXPECT_EQ(g_followed[0], "pl:quorl:chat/main");

  // A second start's switches, as WM_COPYDATA brings them.
  g_followed.clear();
  const char* sent[] = {"/go=news:chat.main /readmail", "/go=news:comp.lang.c"};
  for (const char* text : sent) {
    COPYDATASTRUCT data = {0, static_cast<DWORD>(std::strlen(text) + 1), const_cast<char*>(text)};
    SendMessageA(g_shell.frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  }
  EXPECT_TRUE(g_followed.empty()) << "links are followed after the hand-off returns";
  MSG posted;
  while (PeekMessageA(&posted, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&posted);
  ASSERT_EQ(g_followed.size(), 2u);
  EXPECT_EQ(g_followed[0], "pl:quorl:chat/main") << "the newsgroup named a folder of the list";
  EXPECT_EQ(g_followed[1], "pl:comp.lang.c") << "no such folder";
  std::string tooLong = "/go=" + std::string(300, 'x');
  COPYDATASTRUCT big = {0, static_cast<DWORD>(tooLong.size() + 1), tooLong.data()};
  SendMessageA(g_shell.frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&big));
  EXPECT_EQ(g_followed.size(), 2u) << "refused";
}

TEST_F(ShellWindows, MinimisedFramePollsOnlyBroadcastsAndTheImport) {
  std::string path = s_data + "postits.log";
  WriteText(path, "");
  g_user.lastPostIt = 0;
  int before = CountNotes();
  WriteText(path, "local:mail/demo 11 bob\n");
  ShowWindow(g_shell.frame, SW_MINIMIZE);
  g_frame.pollNow = true;
  SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);
  EXPECT_EQ(CountNotes(), before);
  ShowWindow(g_shell.frame, SW_RESTORE);
  g_frame.pollNow = true;
  SendMessageA(g_shell.frame, WM_TIMER, FRAME_TIMER, 0);
  EXPECT_EQ(CountNotes(), before + 1);
}

// The sign-in dialog, answered by a timer while it runs.
std::string g_nameToType, g_passwordToType;
int g_okPresses = 0;
void CALLBACK AnswerSignIn(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = testwin::FindThreadDialog("Sign In");
  if (!dialog) return;
  if (g_okPresses == 0) testwin::SaveWindowPng(dialog, ShotPath("shell_sign_in.png"));
  SetDlgItemTextA(dialog, 4102, g_nameToType.c_str());
  // The first OK goes without a password: the dialog stays.
  SetDlgItemTextA(dialog, 4108, g_okPresses == 0 ? "" : g_passwordToType.c_str());
  ++g_okPresses;
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  if (!IsWindow(dialog)) KillTimer(nullptr, timer);
}

TEST_F(ShellWindows, SignInDialogNeedsAPasswordAndGivesTheUser) {
  char saved[64];
  std::strcpy(saved, g_app.userName);
  g_nameToType = "Demo";
  g_passwordToType = "secret";
  g_okPresses = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerSignIn);
  int result = ChooseLoginScript("");
  KillTimer(nullptr, timer);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(g_okPresses, 2);
  EXPECT_STREQ(g_app.userName, "Demo");
  EXPECT_STREQ(g_userPassword, "secret");
  std::strcpy(g_app.userName, saved);
}

// The guard: an abort inside a dialog inside a command.
bool g_destroyed = false;
struct Witness {
  ~Witness() { g_destroyed = true; }
};
INT_PTR CALLBACK AbortingDialog(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) PostMessageA(dialog, WM_APP, 0, 0);
  if (message == WM_APP) AbortCommand();
  return FALSE;
}
bool TrapThatRunsADialog(int command, LPARAM) {
  if (command != 9999) return false;
  Witness witness;
  g_ui.dialogBox(StringModule(), "ABORTTEST", g_shell.frame, AbortingDialog, 0);
  ADD_FAILURE() << "the dialog's abort must not come back here";
  return true;
}

TEST_F(ShellWindows, AbortInsideADialogInsideACommandUnwindsToTheFrame) {
  // Last: the frame goes with the abandoned command.
  g_shellHooks.checkTrap = TrapThatRunsADialog;
  HWND frame = g_shell.frame;
  SendMessageA(frame, WM_COMMAND, 9999, 0);
  EXPECT_TRUE(g_destroyed);
  EXPECT_TRUE(g_app.fatalError);
  EXPECT_FALSE(IsWindow(frame)) << "the frame destroys itself, and the loop ends";
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) quit = quit || msg.message == WM_QUIT;
  EXPECT_TRUE(quit);
  EXPECT_EQ(GetFileAttributesA((s_data + "demo.ulk").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Self-registration through the sign-in dialog's "new".
std::vector<std::string> g_answers;
size_t g_nextAnswer = 0;
bool AnswerPrompt(const char*, const char*, char* answer, size_t size, bool) {
  if (g_nextAnswer >= g_answers.size()) return false;
  std::snprintf(answer, size, "%s", g_answers[g_nextAnswer++].c_str());
  return true;
}

TEST_F(ShellWindows, NewUsersRegisterWithAPrintableFreeIdAndAPassword) {
  g_main.newUsers = 1;
  g_nameToType = "new";
  g_passwordToType = "";
  g_okPresses = 0;
  g_answers = {"has blank", "fenwoldx", "demo", "newbie", "", "pw1"};
  g_nextAnswer = 0;
  g_prompt.answer = AnswerPrompt;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerSignIn);
  InteractiveLogin("");
  KillTimer(nullptr, timer);
  g_prompt.answer = nullptr;
  EXPECT_STREQ(g_app.userName, "newbie");
  EXPECT_STREQ(g_userPassword, "pw1");
  ASSERT_EQ(g_boxes.size(), 4u);
  EXPECT_NE(g_boxes[0].find("printable characters"), std::string::npos);
  EXPECT_NE(g_boxes[1].find("conflicts with a reserved"), std::string::npos);
  EXPECT_NE(g_boxes[2].find("first eight characters"), std::string::npos);
  EXPECT_NE(g_boxes[3].find("must define a password"), std::string::npos);
  EXPECT_NE(GetFileAttributesA((s_data + "newbie.usr").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((s_data + "newbie.ulk").c_str()), INVALID_FILE_ATTRIBUTES) << "held like any account";
  EXPECT_EQ(g_user.lastPostIt, static_cast<uint32_t>(ReadWholeFile(s_data + "postits.log").size()))
      << "a new user starts at the end of the notes";
  ReleaseUserLock();
  g_main.newUsers = 0;
}

class ChildProcesses : public ::testing::Test {};

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST_F(ChildProcesses, WaitingStartKeepsWindowsAliveAndCollectsErrorOutput) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string output = std::string(temp) + "childproc_err.txt";
  std::string line = "\"" + WindowsPath(CHILDPROC_EXE) + "\" 3 1500 stand-in error text";
  g_ticks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, CountTick);
  EXPECT_EQ(RunAndWaitToFile(line.c_str(), SW_HIDE, output.c_str()), 1);
  KillTimer(nullptr, timer);
  EXPECT_GE(g_ticks, 5) << "messages kept flowing while the child ran";
  EXPECT_NE(ReadWholeFile(output).find("stand-in error text"), std::string::npos);
  EXPECT_EQ(RunAndWait("\"C:\\no\\such\\program.exe\"", SW_HIDE), 0);
}

TEST_F(ChildProcesses, QuitDuringTheWaitEndsItAndTheLoop) {
  std::string line = "\"" + WindowsPath(CHILDPROC_EXE) + "\" 0 3000 quit";
  g_app.quitSeen = false;
  PostQuitMessage(7);
  DWORD start = GetTickCount();
  EXPECT_EQ(RunAndWait(line.c_str(), SW_HIDE), 1);
  EXPECT_LT(GetTickCount() - start, 2500u);
  EXPECT_TRUE(g_app.quitSeen);
  g_app.quitSeen = false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

TEST_F(ChildProcesses, SchedulerGetsItsCommandLineQuoted) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string dir(program, std::strrchr(program, '\\') + 1);
  ASSERT_TRUE(CopyFileA(WindowsPath(SCHEDULER_EXE).c_str(), (dir + "plschd32.exe").c_str(), FALSE));
  std::string log = dir + "plschd32.log";
  DeleteFileA(log.c_str());
  std::strcpy(g_app.dataDir, "C:\\data dir\\");
  StartScheduler();
  std::string recorded;
  for (int i = 0; i < 100 && recorded.empty(); ++i) {
    Sleep(100);
    recorded = ReadWholeFile(log);
  }
  recorded.erase(recorded.find_last_not_of("\r\n") + 1);
  EXPECT_EQ(recorded, "\"/INI=C:\\data dir\\fenwold.ini\" /ADMINMODE=0");
}

}  // namespace
