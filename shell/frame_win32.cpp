// The main frame's window procedure.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/service_dirs.h"
#include "core/service_keys.h"
#include "core/small_text.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/conf_list.h"
#include "msgbase/import_queue.h"
#include "msgbase/topic_open.h"
#include "resources/shell_ids.h"
#include "shell/broadcast.h"
#include "shell/cmdline.h"
#include "shell/commands.h"
#include "shell/frame.h"
#include "shell/login.h"
#include "shell/poll_rules.h"
#include "shell/postits.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"

FrameState g_frame;

namespace {

char s_connectList[400] = "";

// Links queued for message 33269 by this program, by ticket.
std::vector<std::string> s_pendingLinks;

bool LongTask() { return g_shellHooks.longTaskRunning() || (g_app.busyCount > 0 && g_app.modalOwner != nullptr); }

void WritePlacements() {
  if (UserLoggedIn()) WriteWindowPlacements(WINDOW_MAIN);
}

void OnCreate(HWND window) {
  HMENU menu = GetMenu(window);
  HMENU windowMenu = nullptr;
  if (menu && GetMenuItemCount(menu) >= 2) windowMenu = GetSubMenu(menu, GetMenuItemCount(menu) - 2);
  CLIENTCREATESTRUCT client = {windowMenu, FIRST_MDI_CHILD};
  g_shell.mdiClient =
      CreateWindowExA(WS_EX_CLIENTEDGE, "mdiclient", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, 0,
                      0, 0, 0, window, reinterpret_cast<HMENU>(MDI_CLIENT_ID), g_app.instance, &client);
  if (g_shell.mdiClient) {
    SetWindowPos(g_shell.mdiClient, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindowQuiet(g_shell.mdiClient, SW_SHOW);
    g_shell.mdiClientPrevProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_shell.mdiClient, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MdiClientSubclassProc)));
  }
  g_frame.font = CreateDialogFont();
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, g_frame.font);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  g_frame.lineHeight = metrics.tmHeight + metrics.tmExternalLeading + 4;
  g_frame.smallGap = (metrics.tmHeight + metrics.tmExternalLeading) / 4;
  g_frame.splitCursor = LoadCursorA(g_app.instance, "SplitCursor");
  g_frame.splitThreadCursor = LoadCursorA(g_app.instance, "SplitThread");
  g_frame.splitRatio = 0.4f;
  RECT rect;
  GetClientRect(window, &rect);
  g_frame.splitPosition = rect.bottom / 2;
  g_frame.idle = true;
  g_frame.closing = false;
}

void LayoutFrame(int width, int height) {
  if (!g_shell.statusBar || !g_shell.mdiClient || width < 101 || height < 101) return;
  int status = g_user.statusBar ? StatusBarHeight() : 0;
  int above = height - status;
  g_shell.toolbarHeight = g_shell.toolbarWidth = 0;
  if (!g_shell.toolbarShown || !g_shell.toolbar) {
    MoveWindow(g_shell.mdiClient, 0, 0, width, above, TRUE);
  } else if (!g_shell.toolbarAtLeft) {
    g_shell.toolbarHeight = g_shell.largeButtons ? 37 : 29;
    MoveWindow(g_shell.toolbar, 0, 0, width, g_shell.toolbarHeight, TRUE);
    MoveWindow(g_shell.mdiClient, 0, g_shell.toolbarHeight, width, above - g_shell.toolbarHeight, TRUE);
  } else {
    g_shell.toolbarWidth = g_shell.largeButtons ? 38 : 32;
    MoveWindow(g_shell.toolbar, 0, 0, g_shell.toolbarWidth, above, TRUE);
    MoveWindow(g_shell.mdiClient, g_shell.toolbarWidth, 0, width - g_shell.toolbarWidth, above, TRUE);
  }
  if (g_user.statusBar)
    MoveWindow(g_shell.statusBar, 0, above, width, status, TRUE);
  else
    MoveWindow(g_shell.statusBar, 0, 0, 0, 0, TRUE);
}

void OnMove(HWND window) {
  if (!UserLoggedIn() || !g_frame.shown || IsZoomed(window) || IsIconic(window)) return;
  RECT rect;
  GetWindowRect(window, &rect);
  g_windowPlacements[WINDOW_MAIN].left = rect.left;
  g_windowPlacements[WINDOW_MAIN].top = rect.top;
  WritePlacements();
}

void OnSize(HWND window, WPARAM type, int width, int height) {
  if (UserLoggedIn() && g_frame.shown) {
    WindowPlacement& place = g_windowPlacements[WINDOW_MAIN];
    if (type == SIZE_MAXIMIZED) {
      place.show = 3;
    } else if (type != SIZE_MINIMIZED) {
      RECT rect;
      GetWindowRect(window, &rect);
      place = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 1};
    }
    WritePlacements();
  }
  if (type != SIZE_MINIMIZED) LayoutFrame(width, height);
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (g_shell.mdiClient) Draw3dFrameAround(dc, window, g_shell.mdiClient);
  EndPaint(window, &ps);
}

void OnSetCursor(HWND window) {
  POINT point;
  GetCursorPos(&point);
  ScreenToClient(window, &point);
  if (point.y > g_shell.toolbarHeight && StatusBarShowsText()) SetStatusText("");
  RestoreCursor();
}

// The switches of a second start, as WM_COPYDATA hands them over; 0 tells
// the second start that this instance is closing and it must come up itself.
LRESULT OnCopyData(const COPYDATASTRUCT* data) {
  if (g_frame.closing) {
    DebugLog("WM_COPYDATA: refused while closing\n");
    return 0;
  }
  if (!data || !data->lpData) return 1;
  HandoffSwitches switches;
  ParseHandoffSwitches(static_cast<const char*>(data->lpData), data->cbData, &switches);
  if (switches.refused) {
    DebugLog("WM_COPYDATA: switches too long, refused\n");
    return 1;
  }
  DebugLogF("WM_COPYDATA: go='%s' readmail=%d readnews=%d compose=%d '%s'\n", switches.go, switches.readMail,
            switches.readNews, static_cast<int>(switches.compose), switches.composeText);
  if (switches.hasGo) {
    char link[HANDOFF_VALUE_MAX + 4];
    StrCopyN(link, switches.go, sizeof link - 4);
    ResolveNewsLink(link);
    PrefixGoLink(link, sizeof link, false);
    // Followed after the hand-off returns: the second start waits in
    // SendMessage until then, and following may open windows and ask.
    PostMessageA(g_shell.frame, MSG_FOLLOW_LINK, 0, QueueFrameLink(link));
  } else if (switches.readMail || switches.readNews) {
    const char* first = switches.readMail ? "Mail" : "News";
    if (!g_shellHooks.mbwSelectFilterSet(first) && !g_shellHooks.mbwSelectFilterSet("Messages"))
      g_shellHooks.mbwSelectFilterSet("All");
  }
  switch (switches.compose) {
    case COMPOSE_MAILTO:
      if (switches.composeText[0]) g_shellHooks.newMailTo(switches.composeText);
      break;
    case COMPOSE_POST: g_shellHooks.newMessage(switches.composeText); break;
    case COMPOSE_REPLY_BY_MAIL: g_shellHooks.replyByMail(switches.composeText); break;
    case COMPOSE_REPLY: g_shellHooks.replyToMessage(switches.composeText); break;
    case COMPOSE_NONE: break;
  }
  return 1;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  if (id == 3010) FocusIfActive(FindWindowA(nullptr, "ReThread Messages"));
  if (!g_app.frameReady || g_app.fatalError || !g_frame.idle)
    return DefFrameProcA(window, g_shell.mdiClient, WM_COMMAND, wParam, lParam);
  if (g_frame.helpRequest) {
    g_frame.helpRequest = false;
    ShowHelp(id, nullptr);
    return 0;
  }
  g_frame.idle = false;
  PushHelpContext(id);
  try {
    if (!g_shellHooks.checkTrap(id, lParam)) FrameCommand(id, lParam);
    ThrowIfAbortPending();
  } catch (const CommandAbort&) {
    DebugLogF("Command %d abandoned\n", id);
    g_app.fatalError = true;
    g_app.abortPending = false;
    FreeToolbar();
    DestroyWindow(window);
    CurrentFolder.Detach();
    return 0;
  }
  EndWait();
  PopHelpContext();
  if (id != 1148 && id != 1238) SetStatusText("");
  g_frame.idle = true;
  return 0;
}

void OnMenuSelect(WPARAM wParam, LPARAM lParam) {
  UINT item = LOWORD(wParam), flags = HIWORD(wParam);
  if ((flags == 0xFFFF && !lParam) || (flags & MF_POPUP)) {
    SetStatusText("");
    return;
  }
  if ((item >= 1489 && item <= 1689) || (item >= 1799 && item <= 1818)) {
    char text[81] = "";
    GetMenuStringA(reinterpret_cast<HMENU>(lParam), item, text, sizeof text, MF_BYCOMMAND);
    text[std::strcspn(text, "\t")] = 0;
    char plain[81];
    size_t n = 0;
    for (const char* p = text; *p; ++p)
      if (*p != '&') plain[n++] = *p;
    plain[n] = 0;
    SetStatusText(plain);
    return;
  }
  setstatusid(item);
}

void CheckItem(HMENU menu, UINT id, bool on) {
  if (GetMenuState(menu, id, MF_BYCOMMAND) == static_cast<UINT>(-1)) return;
  CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// A group of items with one marked: a radio mark on a new shell.
void MarkGroup(HMENU menu, UINT first, UINT last, UINT marked) {
  bool any = false;
  for (UINT id = first; id <= last; ++id) any = any || GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1);
  if (!any) return;
  if (IsNewShell() && marked >= first && marked <= last) {
    for (UINT id = first; id <= last; ++id) CheckItem(menu, id, false);
    CheckMenuRadioItem(menu, first, last, marked, MF_BYCOMMAND);
    return;
  }
  for (UINT id = first; id <= last; ++id) CheckItem(menu, id, id == marked);
}

void OnInitMenu(HMENU menu) {
  if (Conferences.Count() && g_frame.menuGuard == 0) {
    ++g_frame.menuGuard;
    UpdateCommandStates();
    --g_frame.menuGuard;
  }
  HWND editor = g_shellHooks.activeEditorWindow();
  HWND address = g_shellHooks.addressBookWindow();
  HWND focus = GetFocus();
  if (editor) {
    SendMessageA(editor, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  } else if (address && focus && (focus == address || IsChild(address, focus))) {
    SendMessageA(address, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  } else {
    g_shellHooks.setToolbarState(1137, true);
    g_shellHooks.setToolbarState(1238, g_topic.log != nullptr);
  }
  if (GetMenuState(menu, 1260, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
    bool playing = g_shellHooks.macroPlaying(), recording = g_shellHooks.macroRecording();
    auto enable = [&](UINT id, bool on) { EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    enable(1259, !playing);
    enable(1261, !playing && !recording);
    enable(1263, !playing && !recording);
    bool idleMacro = !playing && !recording && g_shellHooks.macroLoaded();
    enable(1260, idleMacro);
    enable(1262, idleMacro);
  }
}

void OnInitMenuPopup(HMENU menu) {
  MarkGroup(menu, 1732, 1733, g_user.fullMenus ? 1733 : 1732);
  MarkGroup(menu, 1785, 1787, 1785 + (g_user.headerMode <= 2 ? g_user.headerMode : 0));
  int set = g_shellHooks.currentBookmarkSet();
  UINT lastSet = IsNewShell() ? 1818 : 1808;
  MarkGroup(menu, 1799, lastSet, 1799 + set);
  UINT order = 0;
  switch (g_user.readingMode) {
    case 4: order = 1788; break;
    case 5: order = 1789; break;
    case 6: order = 1790; break;
    case 3: order = 1791; break;
    case 7: order = 1792; break;
  }
  MarkGroup(menu, 1788, 1792, order);
  CheckItem(menu, 1794, g_user.highlightQuotes != 0);
  HWND editor = g_shellHooks.activeEditorWindow();
  CheckItem(menu, 1715, editor && g_shellHooks.editorWordWrap(editor));
  CheckItem(menu, 1149, !g_user.fixedFont);
}

void OnTimer(HWND window) {
  if (g_shellHooks.longTaskRunning() || g_shellHooks.rethreading()) return;
  PollImportTool();
  ++g_frame.pollCounter;
  bool due = g_frame.pollCounter > g_main.pollPeriod || g_frame.pollNow;
  if (!due || !g_frame.idle || ConferencesBusy || IsRefreshing()) return;
  g_frame.pollCounter = 0;
  ++g_frame.polls;
  PollBroadcasts();
  if (IsIconic(window)) return;
  g_frame.idle = false;
  g_frame.pollNow = false;
  PollPostits();
  if (confchanged()) {
    if (g_user.sound && !g_importWaiting) MessageBeep(MB_OK);
    if (g_user.alwaysRefreshUnread && ImportQueueEmpty()) {
      g_importWaiting = false;
      RefreshFolders();
    } else {
      g_importWaiting = true;
      RepaintStatusBar();
    }
  }
  if (modchanged()) g_shellHooks.loadModeratedList(0);
  if (g_shellHooks.ghostsChanged()) g_shellHooks.refreshGhosts();
  g_frame.idle = true;
}

// The service directories whose action files hold items (or all but local).
void CollectServices(bool onlyWithItems, std::vector<std::string>* names) {
  char pattern[MAX_PATH];
  std::snprintf(pattern, sizeof pattern, "%s*", g_app.dataDir);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (found.cFileName[0] == '.' || found.cFileName[0] == '%') continue;
    char name[MAX_PATH];
    StrCopyN(name, found.cFileName, sizeof name - 1);
    StrLower1252(name);
    if (!IsServiceDir(name)) continue;
    if (onlyWithItems ? !ServiceOutbasketHasItems(name) : std::strcmp(name, "local") == 0) continue;
    names->push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Asks about items in the outbasket; false when the close is refused.
bool CheckOutbasketOnClose(HWND window) {
  std::vector<std::string> names;
  CollectServices(true, &names);
  if (names.empty()) return true;
  std::vector<const char*> pointers;
  for (const std::string& name : names) pointers.push_back(name.c_str());
  char list[128];
  JoinOutbasketServices(pointers.data(), static_cast<int>(pointers.size()), list, sizeof list);
  char text[512];
  std::snprintf(text, sizeof text, loadstr(IDS_OUTBASKET_ITEMS), list);
  char caption[64];
  StrCopyN(caption, loadstr(IDS_PROGRAM_CAPTION), sizeof caption - 1);
  DebugLogF("WM_CLOSE: %s\n", text);
  int answer = g_ui.messageBox(GetFocus(), text, caption, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer == IDCANCEL) return false;
  if (answer == IDYES) {
    PostMessageA(window, MSG_CONNECT, 1, 0);
    return false;
  }
  return true;
}

LRESULT OnClose(HWND window) {
  DebugLog("DOWN: WindProc - WM_CLOSE #1\n");
  if (!g_app.frameReady || LongTask() || !g_frame.idle) return 0;
  if (g_shellHooks.terminalSession() && !(GetKeyState(VK_SHIFT) & 0x8000)) {
    msgwarnid(IDS_TERMINAL_SESSION);
    return 0;
  }
  g_frame.closing = true;
  bool close = QueryCloseChildren();
  if (close) {
    g_frame.childMaximised = g_shell.mdiClient && IsActiveChildMaximized(g_shell.mdiClient);
    g_user.maximisedMdi = g_frame.childMaximised;
    DebugLog("DOWN: WindProc - WM_CLOSE #2\n");
    close = !g_user.warnOnReplys || CheckOutbasketOnClose(window);
  }
  if (!close) {
    g_frame.closing = false;
    return 0;
  }
  DebugLog("DOWN: WindProc - WM_CLOSE #3\n");
  if (UserLoggedIn())
    for (int slot = 0; slot < WINDOW_KIND_COUNT; ++slot) WriteWindowPlacements(slot);
  DebugLog("DOWN: WindProc - WM_CLOSE #4\n");
  if (g_shellHooks.browserOpen()) g_shellHooks.closeBrowser();
  DebugLog("DOWN: WindProc - WM_CLOSE #5\n");
  FreeToolbar();
  DebugLog("DOWN: WindProc - WM_CLOSE #6\n");
  DebugLog("DOWN: WindProc - WM_CLOSE #7\n");
  if (HMENU menu = GetMenu(window)) {
    SetMenu(window, nullptr);
    DestroyMenu(menu);
  }
  DestroyWindow(window);
  DebugLog("DOWN: WindProc - WM_CLOSE #8\n");
  return 0;
}

void OnDestroy(HWND window) {
  DebugLog("DOWN: WindProc - WM_DESTROY #1\n");
  g_app.fatalError = true;
  if (!g_loginFailed && UserLoggedIn()) g_shellHooks.genericCall(64, 7);
  DebugLog("DOWN: WindProc - WM_DESTROY #2\n");
  CloseAllChildren();
  CloseHelp();
  DebugLog("DOWN: WindProc - WM_DESTROY #3\n");
  KillTimer(window, FRAME_TIMER);
  ReleaseSession();
  DebugLog("DOWN: WindProc - WM_DESTROY #4\n");
  g_shellHooks.freeStateIcons();
  if (g_frame.font) DeleteObject(g_frame.font);
  g_frame.font = nullptr;
  DebugLog("DOWN: WindProc - WM_DESTROY #5\n");
  if (window == g_shell.frame) g_shell.frame = nullptr;
  PostQuitMessage(0);
}

void OnConnectMessage(WPARAM wParam) {
  uint32_t review = g_user.reviewBeforeConnect;
  if (wParam == 0 || wParam == 1) g_user.reviewBeforeConnect = 0;
  if (wParam != 2) {
    s_connectList[0] = 0;
    std::vector<std::string> names;
    CollectServices(wParam == 1, &names);
    for (const std::string& name : names) {
      if (s_connectList[0]) StrCatN(s_connectList, ";", sizeof s_connectList - 1 - std::strlen(s_connectList));
      StrCatN(s_connectList, name.c_str(), sizeof s_connectList - 1 - std::strlen(s_connectList));
    }
  }
  if (s_connectList[0]) {
    StrLower1252(s_connectList);
    g_shellHooks.optimiseDials(s_connectList);
    g_shellHooks.connect(1103, s_connectList, 1);
  }
  g_user.reviewBeforeConnect = review;
}

void OnFollowLink(WPARAM wParam, LPARAM lParam) {
  if (wParam == 1) {
    if (lParam >= 0 && lParam < Conferences.Count()) {
      auto* rec = static_cast<ConfRec*>(Conferences.At(static_cast<int>(lParam)));
      if (rec) SwitchTopic(rec->name);
    }
    return;
  }
  size_t ticket = static_cast<size_t>(lParam);
  if (ticket == 0 || ticket > s_pendingLinks.size() || s_pendingLinks[ticket - 1].empty()) return;
  std::string link = s_pendingLinks[ticket - 1];
  s_pendingLinks[ticket - 1].clear();
  g_shellHooks.followLink(link.c_str());
}

LRESULT FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HelpMenuSelect(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_MOVE: OnMove(window); return 0;
    case WM_SIZE: OnSize(window, wParam, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_SHOWWINDOW:
      if (wParam) g_frame.shown = true;
      break;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_SETCURSOR: OnSetCursor(window); break;
    case WM_DRAWITEM:
    case WM_MEASUREITEM: return wParam == 2000 ? g_shellHooks.paintThreadRow(message, lParam) : 0;
    case WM_WININICHANGE:
    case WM_DISPLAYCHANGE:
      LoadMainMenu();
      if (g_shellHooks.browserOpen()) g_shellHooks.loadStateIcons();
      InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_MENUSELECT: OnMenuSelect(wParam, lParam); break;
    case WM_ENTERIDLE:
      if (wParam == MSGF_MENU && (GetKeyState(VK_F1) & 0x8000)) {
        g_frame.helpRequest = true;
        PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
      }
      break;
    case WM_INITMENU: OnInitMenu(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_RBUTTONUP: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      g_shellHooks.showMvwMenu(window, point);
      return 0;
    }
    case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_TIMER:
      if (wParam == FRAME_TIMER) OnTimer(window);
      return 0;
    case WM_CLOSE: return OnClose(window);
    case WM_QUERYENDSESSION: return QueryCloseChildren();
    case WM_DESTROY: OnDestroy(window); return 0;
    case MSG_MACRO_ENDED: RepaintStatusBar(); return 0;
    case MSG_POLL_NOW:
      g_frame.pollNow = true;
      if (HWND queue = FindWindowA(nullptr, "Import Queue")) SendMessageA(queue, WM_COMMAND, 4121, 0);
      return 0;
    case MSG_FOLLOW_LINK: OnFollowLink(wParam, lParam); return 0;
    case MSG_SAVE_BOOKMARKS: g_shellHooks.saveBookmarks(); return 0;
    case MSG_LOAD_BOOKMARKS: g_shellHooks.loadBookmarks(); return 0;
    case MSG_CONNECT: OnConnectMessage(wParam); return 0;
    case 1429: return 0;
    case 2005:
    case 2006:
    case 2008:
      if (HIWORD(lParam) == 0x500) msgwarnid(IDS_OUT_OF_MEMORY);
      return 0;
  }
  return DefFrameProcA(window, g_shell.mdiClient, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<FrameProc>(window, message, wParam, lParam);
}

bool CreateFrameWindow(bool scheduler) {
  g_shell.frame =
      CreateWindowA(scheduler ? "PL2" : "PL", g_app.programName, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, g_app.instance, nullptr);
  g_app.mainWindow = g_shell.frame;
  return g_shell.frame != nullptr;
}

void ResolveNewsLink(char* text) {
  if (std::strchr(text, '/')) return;
  if (_strnicmp(text, "news:", 5) == 0) stripservice(text);
  text[std::strcspn(text, " ")] = 0;
  strtr(text, '.', '/');
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec) continue;
    const char* colon = std::strchr(rec->name, ':');
    const char* bare = colon ? colon + 1 : rec->name;
    if (lstrcmpiA(bare, text) == 0) {
      StrCopyN(text, rec->name, 199);
      return;
    }
  }
  strtr(text, '/', '.');
}

int OutbasketHasItems(const char* path) {
  FILE* file = fopen_r(path, FO_QUIET);
  if (!file) return 0;
  std::vector<char> line(4097);
  int items = 0;
  while (std::fgets(line.data(), static_cast<int>(line.size()), file)) {
    if (OutbasketLineIsItem(line.data())) {
      items = 1;
      break;
    }
  }
  fileclose(file);
  return items;
}

bool ServiceOutbasketHasItems(const char* service) {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s%s.bsc", g_app.dataDir, service);
  if (OutbasketHasItems(path)) return true;
  std::snprintf(path, sizeof path, "%s%s\\%s.bsc", g_app.dataDir, service, service);
  if (OutbasketHasItems(path)) return true;
  // The outbasket itself names the file by the key cut to 8 characters.
  if (std::strlen(service) <= 8) return false;
  std::snprintf(path, sizeof path, "%s%s\\%.8s.bsc", g_app.dataDir, service, service);
  return OutbasketHasItems(path) != 0;
}

bool IsNewShell() {
  OSVERSIONINFOA version = {sizeof version};
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS || version.dwMajorVersion >= 4;
}

bool IsWinNT() {
  OSVERSIONINFOA version = {sizeof version};
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsActiveChildMaximized(HWND mdiClient) {
  BOOL maximised = FALSE;
  SendMessageA(mdiClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximised));
  return maximised != FALSE;
}

LRESULT EditGetSel(HWND edit, WPARAM start, LPARAM end) { return SendMessageA(edit, EM_GETSEL, start, end); }
LRESULT EditSetSel(HWND edit, WPARAM start, LPARAM end) { return SendMessageA(edit, EM_SETSEL, start, end); }

void SetConnectList(const char* services) { StrCopyN(s_connectList, services, sizeof s_connectList - 1); }
const char* ConnectList() { return s_connectList; }

LPARAM QueueFrameLink(const char* link) {
  s_pendingLinks.push_back(link ? link : "");
  return static_cast<LPARAM>(s_pendingLinks.size());
}
