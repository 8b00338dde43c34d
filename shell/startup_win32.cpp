// WinMain's steps in their order, and the clean-up after the loop.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/topic_open.h"
#include "resources/shell_ids.h"
#include "browser/browser.h"
#include "compose/compose.h"
#include "spell/spell_front_win32.h"
#include "browser/mbw.h"
#include "msgbase/maintenance.h"
#include "online/connect.h"
#include "online/ghosts.h"
#include "online/outbasket_window.h"
#include "online/script_cmd.h"
#include "compose/message_view.h"
#include "wrx/wrx.h"
#include "browser/thread_list.h"
#include "browser/browser_state.h"
#include "shell/commands_hooks.h"
#include "shell/progress_bar.h"
#include "shell/tab_ctrl.h"
#include "shell/window_classes.h"
#include "wrx/html/html.h"
#include "core/ui_seams.h"
#include "shell/commands.h"
#include "shell/frame.h"
#include "shell/login.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"
#include "wrx/html/html.h"

CommandLine g_commandLine;
AcceleratorTables g_accelerators;

namespace {

bool s_ctl3d = false;
HMODULE s_ctl3dLibrary = nullptr;
BOOL(WINAPI* s_ctl3dUnregister)(HINSTANCE) = nullptr;
bool s_mapiBound = false, s_mapiVimBound = false;

HACCEL LoadTable(const char* name) { return LoadAcceleratorsA(StringModule(), name); }

void ShowTimeZone() {
  _tzset();
  time_t now = time(nullptr);
  char gmt[64] = "", local[64] = "";
  if (struct tm* t = gmtime(&now)) strftime(gmt, sizeof gmt, "%a, %d %b %Y %H:%M", t);
  if (struct tm* t = localtime(&now)) strftime(local, sizeof local, "%a, %d %b %Y %H:%M", t);
  WarnBoxF("_daylight=%d\n_timezone=%ld\n_tzname[0]=%s\n_tzname[1]=%s\ngmt=%s\nlocal=%s", _daylight, _timezone,
           _tzname[0], _tzname[1], gmt, local);
}

// The go target as a link: a news reference resolved to its folder, "pl:" in front.
void GoLink(char* link, size_t size) {
  ResolveNewsLink(link);
  PrefixGoLink(link, size, true);
}

void SelectFilterSet(const char* first) {
  if (!g_shellHooks.mbwSelectFilterSet(first) && !g_shellHooks.mbwSelectFilterSet("Messages"))
    g_shellHooks.mbwSelectFilterSet("All");
}

void OpenInitialWindows(int showState) {
  bool minimised = showState == SW_SHOWMINIMIZED || showState == SW_SHOWMINNOACTIVE || showState == SW_MINIMIZE;
  if (g_user.addressBookOpen) g_shellHooks.openAddressBook();
  if (g_user.portraitWindow) g_shellHooks.openPortraitWindow();
  if (g_user.connectWindow) g_shellHooks.openConnectWindow(0);
  if (!minimised) {
    g_shellHooks.readMbwFilters();
    if (g_commandLine.readMail)
      SelectFilterSet("Mail");
    else if (g_commandLine.readNews)
      SelectFilterSet("News");
    for (int i = 0; i < Conferences.Count(); ++i) {
      auto* rec = static_cast<ConfRec*>(Conferences.At(i));
      if (!rec) continue;
      if (g_shellHooks.folderFilter(rec))
        rec->flags |= CONF_FILTERED;
      else
        rec->flags &= ~CONF_FILTERED;
    }
    if (!g_commandLine.hasGo) g_shellHooks.nextNewMessage();
  }
  if (g_user.messagebaseWindow) g_shellHooks.openMbw();
  if (g_commandLine.hasGo) {
    char link[CMDLINE_MAX + 8];
    StrCopyN(link, g_commandLine.go, sizeof link - 4);
    GoLink(link, sizeof link);
    g_shellHooks.followLink(link);
  }
  HWND browser = g_shellHooks.browserWindow();
  if (!minimised && browser && g_shell.mdiClient)
    SendMessageA(g_shell.mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(browser), 0);
  switch (g_commandLine.compose) {
    case COMPOSE_POST: g_shellHooks.newMessage(g_commandLine.composeText); break;
    case COMPOSE_REPLY_BY_MAIL: g_shellHooks.replyByMail(g_commandLine.composeText); break;
    case COMPOSE_REPLY: g_shellHooks.replyToMessage(g_commandLine.composeText); break;
    case COMPOSE_MAILTO:
      if (g_commandLine.composeText[0]) g_shellHooks.newMailTo(g_commandLine.composeText);
      break;
    case COMPOSE_NONE: break;
  }
  if (g_user.maximisedMdi && g_shell.mdiClient) {
    HWND active = reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDIGETACTIVE, 0, 0));
    if (active) SendMessageA(g_shell.mdiClient, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(active), 0);
  }
}

void StartConnection() {
  char target[CMDLINE_MAX + 8];
  StrCopyN(target, g_commandLine.connect, sizeof target - 7);
  int command = g_commandLine.connectAo ? 1173 : 1103;
  g_shellHooks.optimiseDials(target);
  if (!std::strchr(target, ';')) {
    g_commandLine.connect[0] = 0;
    g_shellHooks.connect(command, target, g_commandLine.connectCount);
    SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  } else {
    std::strcat(target, ";close");
    SetConnectList(target);
    g_shellHooks.connect(command, "*", 1);
  }
}

// Start-up steps 16 to 41; a throw of the guard ends start-up.
void StartupAfterGuard(int showState) {
  std::memcpy(g_app.switches, g_commandLine.switches, sizeof g_app.switches);
  g_app.noWindows = g_commandLine.noWindows;
  g_app.unattended = g_commandLine.unattended;
  if (g_commandLine.time) ShowTimeZone();
  ReadDataPath();
  if (!g_commandLine.userName[0]) {
    CloseSplash();
    LoginUser("", "");
  } else {
    LoginUser(g_commandLine.userName, g_commandLine.password);
  }
  if (!g_app.userName[0]) throw CommandAbort();

  g_app.frameReady = true;
  g_shellHooks.rebuildAddonBitmaps();
  LoadMainMenu();
  g_app.frameReady = false;
  g_shell.mainMenu = GetMenu(g_shell.frame);
  LayoutFrameBars();
  if (g_shell.toolbar && !g_shell.toolbarShown) ShowWindow(g_shell.toolbar, SW_HIDE);
  g_shellHooks.genericCall(32, 6);

  if (IsSchedulerInstance()) {
    ShowWindow(g_shell.frame, SW_SHOWMINNOACTIVE);
  } else {
    bool maximised = g_windowPlacements[WINDOW_MAIN].show == 3;
    ShowWindow(g_shell.frame, showState == SW_SHOWNORMAL && maximised ? SW_SHOWMAXIMIZED : showState);
  }
  UpdateWindow(g_shell.frame);
  SetMainTitle();

  if (g_commandLine.sync) g_shellHooks.rescanServiceDirs();
  g_shellHooks.loadForumNames("");
  if (!g_app.noWindows) OpenInitialWindows(showState);

  g_app.frameReady = true;
  while (!SetTimer(g_shell.frame, FRAME_TIMER, 1000, nullptr)) {
    if (MsgBoxF(MB_RETRYCANCEL | MB_ICONEXCLAMATION, "%s", loadstr(IDS_TOO_MANY_TIMERS)) == IDCANCEL)
      throw CommandAbort();
  }
  BeginWait();
  g_shellHooks.selectBookmarkSet(g_shellHooks.currentBookmarkSet());
  g_shellHooks.updateFolderView();
  s_mapiBound = g_shellHooks.loadMapi();
  s_mapiVimBound = g_shellHooks.loadMapiVim();
  CloseSplash();
  SetMainTitle();
  if (!IsSchedulerInstance()) g_shellHooks.writeProtocolRegistrations();
  RestoreCursor();
  HWND threadList = g_shellHooks.threadList();
  if (g_topic.log && threadList) {
    FocusIfActive(threadList);
    g_shellHooks.fillThreadList();
  } else if (!IsSchedulerInstance()) {
    FocusIfActive(g_shell.frame);
  }
  g_app.startupComplete = true;
  EndWait();
  EndWait();
  if (!g_app.unattended && HasRight(RIGHT_ADMINISTRATOR)) CheckLogSizes();
  changedir(g_app.dataDir);
  LoadMainMenu();
  g_shellHooks.repaintToolbar();
  bool job = g_commandLine.build || g_commandLine.prune || g_commandLine.hasConnect;
  if (!job && IsSchedulerInstance()) {
    msgwarnid(IDS_SCHED_USER);
    SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
  }
  if (!g_app.noWindows && !g_shellHooks.activeEditorWindow() && g_user.tipOfTheDay &&
      GetFileAttributesA("tips.txt") != INVALID_FILE_ATTRIBUTES)
    g_shellHooks.showTipOfTheDay();
  if (g_user.fullMenus && g_user.startupMacro[0] && !g_app.noWindows) {
    g_shellHooks.playMacroFile(g_user.startupMacro);
    FILE* macro = std::fopen(g_user.startupMacro, "r");
    if (macro) {
      std::fclose(macro);
    } else {
      g_user.startupMacro[0] = 0;
      WriteSettings(true);
    }
  }
  if (g_commandLine.build) g_shellHooks.rebuildMessageBase();
  if (g_commandLine.prune) g_shellHooks.pruneMessageBase();
  if (g_commandLine.hasConnect) StartConnection();
  if (g_commandLine.prune || g_commandLine.build) SendMessageA(g_shell.frame, WM_CLOSE, 0, 0);
}

// Reindex and prune from the command line run without questions: their
// answers are the ones that change nothing.
void RebuildFromStartup() { RebuildMessageBase(!g_app.unattended); }
void PruneFromStartup() { PruneMessageBase(!g_app.unattended); }

void RebuildCommand() { RebuildMessageBase(true); }
void PruneCommand(int interactive) { PruneMessageBase(interactive != 0); }

void InstallMaintenanceHooks() {
  g_shellHooks.rebuildMessageBase = RebuildFromStartup;
  g_shellHooks.pruneMessageBase = PruneFromStartup;
  g_commandHooks.RebuildMessageBase = RebuildCommand;
  g_commandHooks.PruneMessageBase = PruneCommand;
  g_commandHooks.SetPruneDialog = SetPrune;
  g_commandHooks.DoDelResign = DoDelResign;
  g_commandHooks.DoShowStats = ShowStats;
  g_ui.statusPrint = StatusPrint;
  g_messageBaseHooks.longOperation = MaintenanceRunning;
}

// The outbasket's queued replies and withdrawals show against the messages
// of the open topic.
int GhostKindOfBrowser(long number) { return GetGhostKind(number); }
bool NextGhostOfBrowser(int* position, long* number, bool* reply, bool* cancel) {
  int isReply = 0, isWithdraw = 0;
  if (!NextGhost(position, number, &isReply, &isWithdraw)) return false;
  *reply = isReply != 0;
  *cancel = isWithdraw != 0;
  return true;
}

void InstallOutbasketHooks() {
  InstallGhostHooks();
  InstallConnectHooks();
  g_ghostHooks.refreshGhostRows = RefreshGhostRows;
  g_browserHooks.getGhostKind = GhostKindOfBrowser;
  g_browserHooks.nextGhost = NextGhostOfBrowser;
  InstallOutbasketWindow();
  g_scriptCmdHooks.currentMessage = [] { return g_browser.currentMessage; };
}

// The rich-text control's diagnostics go to the debug log.
void WrxDebugLine(const char* line) { DebugLogF("%s", line); }

// The browser's message pane is the message view on a rich-text control.
HWND CreateBrowserView(HWND browser) { return ResetMessageView(browser); }
void ShowInBrowserView(HWND view, long number) {
  if (view && number > 0) BuildMessageDisplay(view, false, false, number, false, false);
}

void InstallCommandParts() {
  g_browserViewHooks.create = CreateBrowserView;
  g_browserViewHooks.show = ShowInBrowserView;
  SetWrxDebugProc(WrxDebugLine);
  g_windowClassProcs.registerProgressBar = [](HINSTANCE instance) -> BOOL { return RegisterProgressBar(instance); };
  g_windowClassProcs.registerTabControl = [](HINSTANCE instance) -> BOOL { return TabCtrlModule(instance); };
  g_windowClassProcs.htmlInit = [](HINSTANCE instance) -> BOOL { return HtmlInit(instance); };
}

void EndStartup() {
  RestoreCursor();
  g_app.aborted = true;
  FreeToolbar();
  if (g_shell.frame && IsWindow(g_shell.frame)) DestroyWindow(g_shell.frame);
  FreeResourceDll();
}

void TopicOpenAbort() { AbortCommand(); }

}  // namespace

[[noreturn]] void AbortCommand() {
  RestoreCursor();
  g_app.aborted = true;
  throw CommandAbort();
}

bool InitControlsAndAccelerators() {
  std::srand(static_cast<unsigned>(time(nullptr)) & 0xFFFF);
  if (!IsNewShell()) {
    s_ctl3dLibrary = LoadLibraryA("CTL3D32.DLL");
    if (s_ctl3dLibrary) {
      using Register = BOOL(WINAPI*)(HINSTANCE);
      auto reg = reinterpret_cast<Register>(GetProcAddress(s_ctl3dLibrary, "Ctl3dRegister"));
      auto autoSubclass = reinterpret_cast<Register>(GetProcAddress(s_ctl3dLibrary, "Ctl3dAutoSubclass"));
      s_ctl3dUnregister = reinterpret_cast<Register>(GetProcAddress(s_ctl3dLibrary, "Ctl3dUnregister"));
      s_ctl3d = reg && autoSubclass;
      if (s_ctl3d) {
        reg(g_app.instance);
        autoSubclass(g_app.instance);
        using Subclass = decltype(Ctl3dHooks::subclassDialog);
        using Colour = decltype(Ctl3dHooks::ctlColor);
        if (auto subclass = reinterpret_cast<Subclass>(GetProcAddress(s_ctl3dLibrary, "Ctl3dSubclassDlg")))
          g_ctl3dHooks.subclassDialog = subclass;
        if (auto colour = reinterpret_cast<Colour>(GetProcAddress(s_ctl3dLibrary, "Ctl3dCtlColorEx")))
          g_ctl3dHooks.ctlColor = colour;
      }
    }
  }
  AcceleratorTables& a = g_accelerators;
  a.modFlist = LoadTable("ModFlistAcc");
  a.my = LoadTable("MyAccelerators");
  a.subscribe = LoadTable("SubscribeAcc");
  a.flist = LoadTable("FlistAcc");
  a.global = LoadTable("GlobalAcc");
  a.msgEd = LoadTable("MsgEd");
  a.nonmodal = LoadTable("Nonmodal");
  a.status = LoadTable("Status");
  a.review = LoadTable("ReviewAcc");
  a.bmk = LoadTable("BmkAcc");
  a.connect = LoadTable("ConnectAcc");
  a.addr = LoadTable("AddrAcc");
  a.sched = LoadTable("SchedAcc");
  a.join = LoadTable("JoinAcc");
  a.butJoin = LoadTable("ButJoinAcc");
  a.res = LoadTable("ResAcc");
  a.view = LoadTable("ViewAcc");
  a.ctrlTab = LoadTable("CtrlTabAcc");
  return true;
}

void ReadDataPath() {
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof program);
  char dir[MAX_PATH], ini[MAX_PATH + 16];
  char* slash = std::strrchr(program, '\\');
  if (slash) {
    slash[1] = 0;
    StrCopyN(dir, program, sizeof dir - 1);
    std::snprintf(ini, sizeof ini, "%sfenwold.ini", dir);
  } else {
    GetCurrentDirectoryA(sizeof dir, dir);
    size_t n = std::strlen(dir);
    if (n && dir[n - 1] != '\\' && n + 1 < sizeof dir) std::strcat(dir, "\\");
    std::strcpy(ini, ".\\fenwold.ini");
  }
  char path[MAX_PATH + 4] = "";
  GetPrivateProfileStringA("Fenwold", "Path", dir, path, MAX_PATH, ini);
  size_t n = std::strlen(path);
  if (n && path[n - 1] != '\\') std::strcat(path, "\\");
  if (path[0] == '\\' && path[1] != '\\') {
    char rooted[MAX_PATH + 4];
    std::snprintf(rooted, sizeof rooted, "%.2s%s", dir, path);
    StrCopyN(path, rooted, MAX_PATH);
  }
  StrCopyN(g_app.dataDir, path, sizeof g_app.dataDir - 1);
  changedir(g_app.dataDir);
}

void ShutdownCleanup() {
  if (!g_app.unattended) {
    HWND import = FindWindowA("MsgImport", nullptr);
    if (import && (ImportQueueEmpty() || askyesnoid(IDS_IMPORT_BUSY))) SendMessageA(import, WM_COMMAND, 2, 0);
  }
  CurrentFolder.Detach();
  g_app.userName[0] = 0;
  FreeToolbar();
  g_shellHooks.loadBookmarks();
  ClearImportQueue();
  if (s_mapiBound) g_shellHooks.unloadMapi();
  if (s_mapiVimBound) g_shellHooks.unloadMapiVim();
  if (s_ctl3d && s_ctl3dUnregister) s_ctl3dUnregister(g_app.instance);
  g_ctl3dHooks = kNoCtl3dHooks;
  if (s_ctl3dLibrary) FreeLibrary(s_ctl3dLibrary);
  if (g_shell.postitBrush) DeleteObject(g_shell.postitBrush);
  g_shell.postitBrush = nullptr;
  HtmlExit();
}

int RunProgram(HINSTANCE instance, const char* commandLine, int showState) {
  time_t now = time(nullptr);
  if (!localtime(&now)) {
    msgwarnid(IDS_NO_DATE_TIME);
    return 0;
  }
  BeginWait();
  SetErrorMode(SetErrorMode(0) | 0x8005);
  g_app.instance = instance;
  LoadResourceDll(instance);
  OSVERSIONINFOA version = {sizeof version};
  GetVersionExA(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32s) {
    RestoreCursor();
    msgwarnid(IDS_NEEDS_WIN32);
    return 0;
  }
  RegisterClipboardFormatA("500_MESSAGE");
  RegisterClipboardFormatA("500_MESSAGE_LINK");
  ParseCommandLine(commandLine, &g_commandLine);
  if (g_commandLine.programName[0])
    StrCopyN(g_app.programName, g_commandLine.programName, sizeof g_app.programName - 1);
  g_topicOpenHooks.abortCommand = TopicOpenAbort;
  g_topicOpenHooks.setMainTitle = SetMainTitle;
  g_topicOpenHooks.repaintStatusBar = RepaintStatusBar;
  g_topicOpenHooks.updateCommandStates = UpdateCommandStates;
  InstallBrowserHooks();
  InstallComposeHooks();
  InstallSpellHooks();
  InstallMbwHooks();
  InstallMaintenanceHooks();
  InstallOutbasketHooks();
  InstallCommandParts();
  InitControlsAndAccelerators();
  if (!RegisterWindowClasses(instance)) {
    FreeResourceDll();
    return 0;
  }
  BeginWait();
  if (!g_commandLine.noBitmap) {
    g_app.splashShownAt = GetTickCount();
    g_app.splashWindow =
        CreateWindowA("Halden Harbour Pride", g_app.programName, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  }
  if (!CreateFrameWindow(g_commandLine.scheduler)) {
    FreeResourceDll();
    return 0;
  }
  SetMainTitle();
  ClearHelpWindowContext();
  if (!g_commandLine.scheduler) {
    g_shell.hidden = CreateWindowA("Mossgrove", "Mossgrove", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, g_shell.frame, nullptr,
                                   instance, nullptr);
    if (!g_shell.hidden) {
      FreeResourceDll();
      return 0;
    }
  }
  if (!CreateStatusWindows()) {
    FreeResourceDll();
    return 0;
  }

  try {
    StartupAfterGuard(showState);
  } catch (const CommandAbort&) {
    EndStartup();
    return 0;
  }

  int code = RunMessageLoop();
  DebugLog("DOWN: End of message loop\n");
  ShutdownCleanup();
  FreeResourceDll();
  DebugLog("DOWN: End of program\n");
  return code;
}
