#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "browser/browser.h"
#include "browser/browser_layout.h"
#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/debuglog.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "shell/commands_hooks.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/window_classes.h"

namespace {

const char kBrowserClass[] = "Lindle Cask";
const char kPaneBarClass[] = "Cask Reserve";
constexpr int kBarHeight = 24;
constexpr unsigned kDefaultInfoFields = 0x80 | 0x01 | 0x02 | 0x08;

HWND NoView(HWND) { return nullptr; }
void NoShowMessage(HWND, long) {}

long g_lastEmptyNotice = -2;
int g_previousZoomMode = 0;  // the message for which "This folder is empty" was last set

void SetPaneText(const char* text) {
  if (g_browser.paneBar) SetWindowTextA(g_browser.paneBar, text);
}

// The window title: the folder's name, news folders written with dots.
void BrowserTitle(char* out, size_t size) {
  if (!g_topic.openName[0]) {
    lstrcpynA(out, "Message Window", static_cast<int>(size));
    return;
  }
  char name[100];
  lstrcpynA(name, g_topic.openName, sizeof name);
  if (isnewsfolder(name) && !ismailfolder(name)) {
    if (char* tail = std::strstr(name, "/.")) std::memmove(tail, tail + 2, std::strlen(tail + 2) + 1);
    for (char* p = name; *p; ++p)
      if (*p == '/') *p = '.';
  }
  lstrcpynA(out, name, static_cast<int>(size));
}

void DestroyPanes() {
  for (HWND* pane : {&g_browser.list, &g_browser.paneBar, &g_browser.view}) {
    if (*pane) DestroyWindow(*pane);
    *pane = nullptr;
  }
}

// The first unread message of the first thread that has one; -1 none.
int FirstUnreadNode() {
  const std::vector<SynNode>& nodes = CopyOfSynopsis();
  if (nodes.empty()) return -1;
  const bool threads = MessageOrder == kOrderThreads || MessageOrder == kOrderUnreadOnly;
  auto unread = [](const SynNode& n) {
    auto* rec = static_cast<MsgIndexRec*>(LogCva.At(n.indexSlot));
    return rec && !(rec->flags & kMsgRead);
  };
  int root = 0;
  for (long steps = 0; steps < kMaxLinkSteps; ++steps) {
    int node = root;
    for (long inner = 0; inner < kMaxLinkSteps; ++inner) {
      if (unread(nodes[node])) return threads ? node : root;
      node = nodes[node].next;
      if (node == root || node < 0 || node >= static_cast<int>(nodes.size())) break;
    }
    root = nodes[root].nextRoot;
    if (root <= 0 || root >= static_cast<int>(nodes.size())) break;
  }
  return -1;
}

// The view is a pane of the browser; a view made as a window of its own is
// turned into a child, so it moves and closes with the browser.
void AdoptView(HWND view) {
  if (!view) return;
  LONG_PTR style = GetWindowLongPtrA(view, GWL_STYLE);
  if (style & WS_CHILD) return;
  style &= ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU);
  SetWindowLongPtrA(view, GWL_STYLE, style | WS_CHILD);
  SetParent(view, g_browser.window);
}

bool CurrentOfTopic() { return g_browser.open; }
HWND BrowserWindowOfShell() { return g_browser.window; }
HWND ThreadListOfShell() { return g_browser.list; }
void SelectMessageOfShell(long number, const char* folder, int show) { SelectMessage(number, folder, show); }
int OrderOfBrowser() { return MessageOrder; }

}  // namespace

BrowserViewHooks g_browserViewHooks = {NoView, NoShowMessage};
float g_splitRatio = 0.35f;

BOOL RegisterBrowserClasses(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = BrowserFrameProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kBrowserClass;
  BOOL ok = RegisterClassA(&wc) != 0;
  wc.lpfnWndProc = PaneBarProc;
  wc.lpszClassName = kPaneBarClass;
  wc.style = CS_DBLCLKS;
  ok = (RegisterClassA(&wc) != 0) && ok;
  return RegisterVlbClass(instance) && ok;
}

bool BrowsingVirtualFolder() { return g_browser.composite; }

HWND OpenBrowserWindow() {
  char title[120];
  BrowserTitle(title, sizeof title);
  const WindowPlacement& p = g_windowPlacements[kBrowserPlacementSlot];
  const bool remembered = p.left != -1 && p.width > 0;
  MDICREATESTRUCTA create = {kBrowserClass,
                             title,
                             GetModuleHandleA(nullptr),
                             remembered ? p.left : CW_USEDEFAULT,
                             remembered ? p.top : CW_USEDEFAULT,
                             remembered ? p.width : CW_USEDEFAULT,
                             remembered ? p.height : CW_USEDEFAULT,
                             WS_CLIPCHILDREN,
                             0};
  if (!g_shell.mdiClient) return nullptr;
  return reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
}

void LayoutBrowser(LPARAM size) {
  if (!g_browser.window) return;
  RECT client;
  GetClientRect(g_browser.window, &client);
  if (size) client.right = LOWORD(size), client.bottom = HIWORD(size);
  VlbState* s = g_browser.list ? VlbStateOf(g_browser.list) : nullptr;
  BrowserLayoutInput in = {client.right,        client.bottom,         g_browser.zoomMode,
                           g_browser.composite, g_splitRatio,          s ? s->rowHeight : 16,
                           kBarHeight,          BrowserHeaderHeight(), IsZoomed(g_browser.window) != 0};
  BrowserLayout l = ComputeBrowserLayout(in);
  g_splitRatio = l.ratio;
  g_browser.listRows = l.halfPage * 2;
  if (g_browser.list) MoveWindow(g_browser.list, l.list.x, l.list.y, l.list.width, l.list.height, TRUE);
  if (g_browser.paneBar) MoveWindow(g_browser.paneBar, l.bar.x, l.bar.y, l.bar.width, l.bar.height, TRUE);
  if (g_browser.view) MoveWindow(g_browser.view, l.view.x, l.view.y, l.view.width, l.view.height, TRUE);
  if (g_browser.list) {
    LRESULT caret = VlbCommand(g_browser.list, kVlbCaret, 0, 0);
    VlbCommand(g_browser.list, kVlbSetTopRow, 0, caret > l.halfPage ? caret - l.halfPage : 0);
  }
}

void browse() {
  if (g_topic.switching) g_sameConferenceFirst = true;
  MessageOrder = NormaliseMessageOrder(static_cast<int>(g_user.readingMode));
  g_browser.composite = std::strchr(g_topic.openName, '\xFF') != nullptr;
  g_browser.mailFolder = ismailfolder(g_topic.openName);
  g_browser.newsFolder = isnewsfolder(g_topic.openName);
  g_browser.libraryFolder = IsDvnLibraryFolder(g_topic.openName);
  g_browser.numberColumn = true;
  if (!g_browser.window || !IsWindow(g_browser.window)) g_browser.window = OpenBrowserWindow();
  if (!g_browser.window) return;
  if (IsIconic(g_browser.window)) ShowWindow(g_browser.window, SW_RESTORE);
  char title[120];
  BrowserTitle(title, sizeof title);
  SetWindowTextA(g_browser.window, title);
  g_browser.threadFont = g_fonts[0].font ? g_fonts[0].font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  char digits[16];
  g_browser.numberDigits = 1 + snprintf(digits, sizeof digits, "%ld", g_topic.last);
  RECT client;
  GetClientRect(g_browser.window, &client);
  if (client.right <= 100 || client.bottom <= 100) return;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  g_browser.list = CreateWindowA("VLBCLASS", "TpBrowse", WS_CHILD | WS_VSCROLL, 0, 0, 10, 10, g_browser.window,
                                 reinterpret_cast<HMENU>(kThreadListId), instance, nullptr);
  if (!g_browser.list) return;
  VlbCommand(g_browser.list, kVlbReset, 0, 0);
  VlbCommand(g_browser.list, kVlbModeMultiple, 0, 0);
  VlbCommand(g_browser.list, kVlbSetDrawCallback, 0, reinterpret_cast<LPARAM>(PaintThreadRow));
  SendMessageA(g_browser.list, WM_SETFONT, reinterpret_cast<WPARAM>(g_browser.threadFont), 0);
  SubclassThreadList(g_browser.list);
  g_browser.paneBar = CreateWindowA("Cask Reserve", "", WS_CHILD, 0, 0, 10, kBarHeight, g_browser.window,
                                    reinterpret_cast<HMENU>(kPaneBarId), instance, nullptr);
  if (!g_browser.paneBar) {
    DestroyPanes();
    return;
  }
  g_browser.view = g_browserViewHooks.create(g_browser.window);
  AdoptView(g_browser.view);
  SubclassMessageView(g_browser.view);
  LayoutBrowser(0);
  LoadStateIcons();
  g_browser.levelOffset = 0;
  g_browser.open = true;  // the thread list paints only while the browser is open
  if (!PrepareThreadOrder()) {
    CloseBrowser();
    return;
  }
  PurgeViewedFiles();
  LoadDownloadedFiles();
  LoadQueuedDownloads();
  DebugLog("browse() before init_root()\n");
  FillThreadList();
  DebugLog("browse() after init_root()\n");
  lstrcpynA(g_browser.folder, g_topic.openName, sizeof g_browser.folder);
  CharLowerA(g_browser.folder);
  const LRESULT rows = VlbCommand(g_browser.list, kVlbRowCount, 0, 0);
  if (rows > 0) {
    int node = g_browser.composite ? 0 : FirstUnreadNode();
    SendMessageA(g_browser.list, WM_SETREDRAW, FALSE, 0);
    int row = -1;
    if (node >= 0) {
      SynNode n;
      if (ReadSynNode(node, &n) && SelectMessage(n.number, g_browser.folder, 1)) row = 0;
      DebugLog("browse() isunread==1\n");
    }
    if (row < 0) {
      DebugLog("browse() isunread==0\n");
      VlbCommand(g_browser.list, kVlbSelectRow, 0, rows - 1);
      NoteCurrentMessage(g_browser.folder);
      int half = g_browser.listRows / 2;
      VlbCommand(g_browser.list, kVlbSetTopRow, 0, rows - 1 > half ? rows - 1 - half : 0);
    }
    SendMessageA(g_browser.list, WM_SETREDRAW, TRUE, 0);
  } else {
    g_browser.currentMessage = 0;
  }
  g_browserHooks.pushHistory(g_browser.folder, g_browser.currentMessage);
  g_browser.refreshPending = true;
  g_browser.lastShown = -1;
  ShowWindow(g_browser.list, SW_SHOW);
  ShowWindow(g_browser.paneBar, SW_SHOW);
  if (g_browser.view) ShowWindow(g_browser.view, SW_SHOW);
  // Switching redraw back on made the list visible before it was shown, so
  // showing it painted nothing: paint it whole now.
  RedrawWindow(g_browser.list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  SetFocus(g_browser.list);
  if (rows == 0) ShowCurrentMessage();
  InvalidateRect(g_browser.window, nullptr, TRUE);
  DebugLog("browse() done\n");
}

void CloseBrowser() {
  if (!g_browser.open && !g_browser.list) return;
  FreeStateIcons();
  DestroyPanes();
  g_browser.open = false;
  Synopsis.SetSize(0);
  ReleaseThreadOrder();
  g_lastEmptyNotice = -2;
  if (g_browser.window) InvalidateRect(g_browser.window, nullptr, TRUE);
}

int ZoomModeOfCommand(int command) {
  switch (command) {
    case 1736: return 0;
    case 1734: return 1;
    case 1735: return 2;
    default: return -1;
  }
}

void SetZoomMode(int mode) {
  if (mode < 0 || mode > 2 || mode == g_browser.zoomMode || g_browser.composite) return;
  g_previousZoomMode = g_browser.zoomMode;
  g_browser.zoomMode = mode;
  LayoutBrowser(0);
  for (HWND pane : {g_browser.window, g_browser.list, g_browser.paneBar, g_browser.view})
    if (pane) RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void RecreateMessageView() {
  g_user.fixedFont = !g_user.fixedFont;
  if (!g_browser.open || !g_browser.window) return;
  BeginWait();
  const bool hadFocus = g_browser.view && GetFocus() == g_browser.view;
  if (g_browser.view) DestroyWindow(g_browser.view);
  g_browser.view = g_browserViewHooks.create(g_browser.window);
  AdoptView(g_browser.view);
  if (g_browser.view) {
    DragAcceptFiles(g_browser.view, FALSE);
    SubclassMessageView(g_browser.view);
    ShowWindow(g_browser.view, SW_SHOW);
    if (hadFocus) SetFocus(g_browser.view);
  }
  LayoutBrowser(0);
  g_browser.lastShown = -1;
  g_browser.refreshPending = true;
  ShowCurrentMessage();
  EndWait();
}

bool ViewHasFocus() {
  if (g_browser.composite || g_browser.zoomMode == 1) return false;
  if (g_browser.zoomMode == 2) return true;
  return g_browser.view && GetFocus() == g_browser.view;
}

void ToggleBrowserFocus() {
  HWND target = ViewHasFocus() || !g_browser.view ? g_browser.list : g_browser.view;
  if (target) FocusIfActive(target);
}

void BuildInfoBar(char* out, size_t size, long number, unsigned fields) {
  out[0] = 0;
  if (size == 0) return;
  const char mark = '\xFE';
  size_t used = 0;
  auto add = [&](const char* format, const char* text, long value) {
    if (used >= size) return;
    int n = text ? snprintf(out + used, size - used, format, mark, text, mark)
                 : snprintf(out + used, size - used, format, mark, value, mark);
    if (n > 0) used += static_cast<size_t>(n) < size - used ? n : size - used - 1;
  };
  int node = findsynnode(static_cast<int32_t>(number));
  ThreadRecord record = {};
  if (node >= 0) BuildThreadRow(reinterpret_cast<char*>(&record), node);
  for (char* p = record.author; *p; ++p)
    if (*p == '_') *p = ' ';
  if (fields & 0x80) add("%c%s%c  ", g_topic.openName, 0);
  if ((fields & 0x01) && g_browser.numberColumn) add("message  %c%ld%c  ", nullptr, number);
  if (fields & 0x102) add("from  %c%s%c  ", record.author, 0);
  if (fields & 0x08) add("subject  %c%s%c  ", record.subject, 0);
  const int slot = findmsgidx(static_cast<int32_t>(number));
  auto* rec = slot >= 0 ? static_cast<MsgIndexRec*>(LogCva.At(slot)) : nullptr;
  if ((fields & 0x40) && rec && rec->commentTo > 0) add("reply to  %c%ld%c", nullptr, rec->commentTo);
}

void ShowCurrentMessage() {
  if (!g_browser.open) return;
  if (LogCva.Count() == 0) {
    if (g_lastEmptyNotice != g_browser.currentMessage) SetPaneText("This folder is empty");
    g_lastEmptyNotice = g_browser.currentMessage;
    g_browser.refreshPending = false;
    return;
  }
  if (g_browser.currentMessage != g_browser.lastShown) {
    // Holding a key moves through the list without reading every message.
    if (GetQueueStatus(QS_KEY | QS_MOUSEBUTTON) & (QS_KEY | QS_MOUSEBUTTON)) return;
    char text[600];
    if (g_browser.composite)
      text[0] = 0;
    else
      BuildInfoBar(text, sizeof text, g_browser.currentMessage, kDefaultInfoFields);
    SetPaneText(text);
    g_browserViewHooks.show(g_browser.view, g_browser.currentMessage);
    g_browser.lastShown = g_browser.currentMessage;
  }
  g_browser.refreshPending = false;
}

// The main loop's idle step shows the message the list moved to once input
// has stopped arriving.
static bool MessageShowPending() { return g_browser.refreshPending; }

void InstallBrowserHooks() {
  InstallBrowserCommands();
  g_shellHooks.showMvwMenu = ShowMvwMenu;
  g_topicOpenHooks.nextNewMessage = NextNewMessage;
  g_shellHooks.nextNewMessage = NextNewMessage;
  g_shellHooks.curFolderName = CurFolderName;
  g_shellHooks.updateFolderView = UpdateFolderView;
  g_topicOpenHooks.updateFolderView = UpdateFolderView;
  g_shellHooks.threadListRefillPending = MessageShowPending;
  g_shellHooks.fillThreadList = ShowCurrentMessage;
  g_topicOpenHooks.messageOrder = OrderOfBrowser;
  g_topicOpenHooks.browse = browse;
  g_topicOpenHooks.closeBrowser = CloseBrowser;
  g_topicOpenHooks.browserOpen = CurrentOfTopic;
  g_browserHooks.showCurrentMessage = ShowCurrentMessage;
  g_shellHooks.browserOpen = CurrentOfTopic;
  g_shellHooks.browserWindow = BrowserWindowOfShell;
  g_shellHooks.threadList = ThreadListOfShell;
  g_shellHooks.closeBrowser = CloseBrowser;
  g_shellHooks.loadStateIcons = LoadStateIcons;
  g_shellHooks.freeStateIcons = FreeStateIcons;
  g_shellHooks.selectMessage = SelectMessageOfShell;
  g_shellHooks.browsingComposite = BrowsingVirtualFolder;
  g_shellHooks.followLink = FollowLink;
  g_windowClassProcs.browser = BrowserFrameProc;
  g_windowClassProcs.messageWindow = PaneBarProc;
  g_windowClassProcs.registerVlbClass = RegisterVlbClass;
}
