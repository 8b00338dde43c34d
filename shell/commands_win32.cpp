// FrameCommand: one table from command id to the operation that owns it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_lookup.h"
#include "core/help.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/import_queue.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"
#include "resources/menus_ids.h"
#include "shell/broadcast.h"
#include "shell/child_process.h"
#include "shell/commands.h"
#include "shell/commands_hooks.h"
#include "shell/commands_table.h"
#include "shell/menus.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/window_classes.h"

namespace {

int s_currentCommand = 0;
char s_selectionText[81] = "";

CommandHooks& H() { return g_commandHooks; }
bool TopicOpen() { return g_topic.log != nullptr; }
ActiveChild Child() { return H().ActiveChildKind(); }

void Forward(HWND window, int id, LPARAM lParam) {
  if (window) SendMessageA(window, WM_COMMAND, id, lParam);
}
void ToEditor(int id, LPARAM lParam) { Forward(H().ActiveEditorWindow(), id, lParam); }
HWND ActiveMdiChild() {
  return g_shell.mdiClient ? reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDIGETACTIVE, 0, 0)) : nullptr;
}
void ToActiveChild(int id, LPARAM lParam) { Forward(ActiveMdiChild(), id, lParam); }

void FillSelectionText() {
  s_selectionText[0] = 0;
  if (H().ViewCanCopy()) H().GetViewSelText(s_selectionText, 80);
  s_selectionText[80] = 0;
}

// After log-in or log-out as administrator: the service's rules and the menu
// follow the new rights.
void AfterAdministratorChange() {
  SetMainTitle();
  if (TopicOpen()) {
    char service[16] = "";
    const char* colon = std::strchr(g_topic.openName, ':');
    if (colon && colon - g_topic.openName < static_cast<int>(sizeof service)) {
      std::memcpy(service, g_topic.openName, colon - g_topic.openName);
      service[colon - g_topic.openName] = 0;
      LoadFolderConf(service);
    }
  }
  LoadMainMenu();
  RepaintStatusBar();
}

void CurrentService(char* out, size_t size) {
  out[0] = 0;
  const char* name = TopicOpen() ? g_topic.openName : H().CurFolderName();
  const char* colon = name ? std::strchr(name, ':') : nullptr;
  if (!colon) return;
  size_t n = static_cast<size_t>(colon - name);
  if (n >= size) n = size - 1;
  std::memcpy(out, name, n);
  out[n] = 0;
}

const char* FolderForQueue() { return TopicOpen() || H().MessageBaseOpen() ? H().CurFolderName() : ""; }

// Next Unread Message: in the open topic, else through the folders.
void NextUnread(int, LPARAM) {
  H().PushHistory();
  if (TopicOpen() && H().TopicHasUnread()) {
    H().SelectMessageAt(3);
    return;
  }
  logclose();
  if (H().ImportWaiting() && ImportQueueEmpty()) RefreshFolders();
  H().NextNewMessage();
  if (!TopicOpen()) {
    setstatusid(IDS_NO_NEW_MESSAGES);
    g_topicOpenHooks.closeBrowser();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
  }
}

void ShowBrowserOrNext(int, LPARAM) {
  if (H().BrowserOpen() && TopicOpen()) {
    HWND browser = H().WindowOf(ActiveChild::Browser);
    if (browser) {
      if (IsIconic(browser)) ShowWindow(browser, SW_RESTORE);
      SendMessageA(g_shell.mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(browser), 0);
    }
    return;
  }
  if (H().ImportWaiting() && ImportQueueEmpty()) RefreshFolders();
  H().NextNewMessage();
  if (!TopicOpen() && g_conferenceList && g_conferenceList->Count() > 0) {
    SmartPointer first;
    first.Get(*g_conferenceList, 0);
    char name[CONF_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s", static_cast<const char*>(first.element));
    first.Unbind();
    SwitchTopic(name);
  }
}

void MessageOrderCommand(int id, LPARAM) {
  static const int kOrders[] = {4, 5, 6, 3, 7};
  uint32_t order = kOrders[id - 1788];
  if (g_user.readingMode == order) return;
  g_user.readingMode = order;
  if (!H().BrowserOpen()) {
    PumpMessages();
    UpdateCommandStates();
    SaveSettings();
  } else {
    H().RecreateBrowser();
  }
}

void BookmarkSetCommand(int id, LPARAM) {
  H().SelectBookmarkSet(id - 1799);
  Forward(H().WindowOf(ActiveChild::BookmarkManager), 4121, 0);
  RepaintStatusBar();
}

// Service menu items, resolved by the item's text.
void ServiceMenuCommand(int id, LPARAM lParam) {
  char text[201];
  if (!MenuItemText(g_shell.mainMenu, id, text, sizeof text, false)) {
    DefFrameProcA(g_shell.frame, g_shell.mdiClient, WM_COMMAND, id, lParam);
    return;
  }
  char service[16];
  CurrentService(service, sizeof service);
  if (lstrcmpiA(text, "Modify Moderators Flist") == 0) return H().OpenModerateFileList(service);
  if (lstrcmpiA(text, "Get Conference Information") == 0) return H().MarkFolderForInfo();
  if (lstrcmpiA(text, "Search Membership") == 0) return H().SearchMembership();
  if (lstrcmpiA(text, "Remote Search") == 0) return H().RemoteSearch();
  if (lstrcmpiA(text, "View Resumes...\tCtrl+R") == 0) return H().OpenResumesWindow();
  if (lstrcmpiA(text, "Edit My Resume...") == 0) return H().ShowResume();
  for (int i = 0; i < g_hconf.commandCount && i < MAX_SCRIPT_COMMANDS; ++i) {
    if (lstrcmpiA(text, g_hconf.commands[i].menuName) != 0) continue;
    FillSelectionText();
    H().MakeScriptCmd(g_hconf.commands[i].keyword);
    return;
  }
}

void StartServiceWizard(int, LPARAM) {
  UINT result = WinExec("kestrun.exe", SW_SHOWNORMAL);
  if (result < 32 && result != 16) msgwarnid(IDS_KESTRUN_FAILED);
}

void UserScript(int, LPARAM) {
  FillSelectionText();
  char line[256];
  std::snprintf(line, sizeof line, "%s", s_selectionText);
  if (askstrwnd(loadstr(IDS_USER_SCRIPT), loadstr(IDS_USER_SCRIPT), line)) H().MakeScriptCmd(line);
}

void JoinByName(int, LPARAM) {
  FillSelectionText();
  char name[256];
  std::snprintf(name, sizeof name, "%s", s_selectionText);
  if (!askstrwnd(loadstr(IDS_JOIN_CONFERENCE), loadstr(IDS_JOIN_CONFERENCE), name)) return;
  SmartPointer folder;
  if (g_conferenceList && findconf(folder, name)) {
    folder.Unbind();
    SwitchTopic(name);
  }
}

void ZoomCommand(int id, LPARAM) {
  static const int kModes[] = {1, 0, 2};
  H().SetZoomMode(kModes[id - 1761]);
  if (Child() == ActiveChild::MessageBase) {
    Forward(H().WindowOf(ActiveChild::MessageBase), 1, 0);
  } else if (TopicOpen() && H().BrowserOpen()) {
    if (HWND browser = H().WindowOf(ActiveChild::Browser)) SetFocus(browser);
  }
}

void RefreshFileLists(int, LPARAM) {
  if (Child() == ActiveChild::MessageBase) return Forward(H().WindowOf(ActiveChild::MessageBase), 4121, 0);
  char service[16];
  CurrentService(service, sizeof service);
  H().RequestLibraryList(service, 0);
}

void Copy(int id, LPARAM lParam) {
  ActiveChild child = Child();
  if (child == ActiveChild::FileList || child == ActiveChild::LibraryList) return ToActiveChild(id, lParam);
  if (HWND editor = H().ActiveEditorWindow()) return Forward(editor, id, lParam);
  if (child == ActiveChild::AddressBook) return ToActiveChild(id, lParam);
  H().CopyCommand();
}

void Paste(int id, LPARAM lParam) {
  ActiveChild child = Child();
  if (child == ActiveChild::AddressBook || child == ActiveChild::MessageBase || child == ActiveChild::Browser ||
      child == ActiveChild::BookmarkManager)
    return ToActiveChild(id, lParam);
  ToEditor(id, lParam);
}

void ModeratorScript(int id, LPARAM) {
  static const char* const kCommands[] = {"modss",      "hold",  "fmb1",     "fmbnew",   "fma",      "delete",
                                          "forumstats", "users", "relmerge", "relmerge", "relmerge", "relmerge"};
  H().MakeScriptCmd(kCommands[id - 1740]);
}

#define OP(name) [] { return COMMAND_HOOK_SET(name); }
#define DO(call) [](int id, LPARAM lParam) { call; }

// Sorted by first id.
const CommandRow kRows[] = {
    {1001, 1001, 0, DO(H().AboutBox(GetActiveWindow())), OP(AboutBox)},
    {1002, 1002, 0, DO(H().OpenAddressBook()), OP(OpenAddressBook)},
    {1003, 1003, RIGHT_IMPORT, DO(H().ShowImportQueue()), OP(ShowImportQueue)},
    {1004, 1004, RIGHT_ADMINISTRATOR, DO(H().ShowToolManager(); LoadMainMenu()), OP(ShowToolManager)},
    {1005, 1012, 0, DO(H().CheckHotkey(id + 112)), OP(CheckHotkey)},
    {1101, 1101, 0, DO(H().ToggleAdministrator(); AfterAdministratorChange()), OP(ToggleAdministrator)},
    {1103, 1103, RIGHT_CONNECT, DO(H().OpenConnectWindow(0)), OP(OpenConnectWindow)},
    {1109, 1109, 0, DO(H().OpenBookmarkManager(1)), OP(OpenBookmarkManager)},
    {1111, 1111, 0,
     DO(H().PushHistory(); H().NextBookmarked();
        if (!TopicOpen() && g_topicOpenHooks.closeBrowser) g_topicOpenHooks.closeBrowser()),
     OP(NextBookmarked)},
    {1115, 1115, RIGHT_ADMINISTRATOR, DO(SendBroadcast()), nullptr},
    {1117, 1117, RIGHT_REINDEX, DO(H().RebuildMessageBase()), OP(RebuildMessageBase)},
    {1120, 1120, 0, DO(ToEditor(id, lParam)), nullptr},
    {1134, 1134, 0, DO(H().ReplyToMessage(nullptr)), OP(ReplyToMessage)},
    {1135, 1135, RIGHT_ADMINISTRATOR, DO(H().CommsSetup(nullptr)), OP(CommsSetup)},
    {1137, 1137, 0, DO(Copy(id, lParam)), nullptr},
    {1140, 1140, 0, DO(FillSelectionText(); H().QueueFileDownload(FolderForQueue(), "")), OP(QueueFileDownload)},
    {1141, 1141, 0, DO(H().RunFile()), OP(RunFile)},
    {1143, 1143, 0, DO(H().OpenNotes()), OP(OpenNotes)},
    {1144, 1144, RIGHT_ADMINISTRATOR, DO(H().EditUsers()), OP(EditUsers)},
    {1145, 1145, 0, DO(PostMessageA(g_shell.frame, WM_CLOSE, 0, 0)), nullptr},
    {1146, 1146, 0, DO(H().NewFax()), OP(NewFax)},
    {1147, 1147, 0, DO(H().SaveAsCommand()), OP(SaveAsCommand)},
    {1148, 1148, 0, DO(if (Child() == ActiveChild::AddressBook) ToActiveChild(id, lParam); else H().DoFind()), nullptr},
    {1149, 1149, 0, DO(H().RecreateMessageView()), OP(RecreateMessageView)},
    {1157, 1157, 0, DO(H().RefreshLibraryList()), OP(RefreshLibraryList)},
    {1158, 1158, 0, DO(H().GotoMessage()), OP(GotoMessage)},
    {1159, 1159, 0, DO(ShowHelp(HELPCTX_FINDER, nullptr)), nullptr},
    {1160, 1160, 0, DO(g_ui.winHelp(g_shell.frame, "WINHELP.HLP", 11, 0)), nullptr},
    {1162, 1162, 0, DO(H().ClearAllIgnoreFlags()), OP(ClearAllIgnoreFlags)},
    {1163, 1163, 0, DO(H().OpenMbw()), OP(OpenMbw)},
    {1166, 1166, 0, DO(ToEditor(id, lParam)), nullptr},
    {1167, 1167, 0, DO(H().ShowUnjoined()), OP(ShowUnjoined)},
    {1168, 1168, 0, DO(H().NewMailTo(nullptr)), OP(NewMailTo)},
    {1172, 1172, 0, DO(H().MarkAllRead(GetKeyState(VK_SHIFT) < 0 ? 1175 : 0)), OP(MarkAllRead)},
    {1174, 1174, 0, DO(H().MarkReadCommand()), OP(MarkReadCommand)},
    {1175, 1175, 0, DO(H().MarkAllRead(1175)), OP(MarkAllRead)},
    {1176, 1176, 0, DO(H().MarkUnreadCmd()), OP(MarkUnreadCmd)},
    {1177, 1177, 0, DO(char service[16]; CurrentService(service, sizeof service); H().OpenModerateFileList(service)),
     OP(OpenModerateFileList)},
    {1178, 1178, 0, DO(H().ThreadListKey(VK_NEXT)), OP(ThreadListKey)},
    {1179, 1179, 0, DO(H().ThreadListKey(VK_PRIOR)), OP(ThreadListKey)},
    {1180, 1180, RIGHT_MODERATOR, DO(StartServiceWizard(id, lParam)), nullptr},
    {1181, 1181, 0, DO(H().PushHistory(); NextWaitingFolder()), nullptr},
    {1182, 1182, 0, DO(NextUnread(id, lParam)), OP(NextNewMessage)},
    {1184, 1184, RIGHT_ADMINISTRATOR, DO(g_userRights.administratorMode = false; AfterAdministratorChange()), nullptr},
    {1185, 1185, 0, DO(H().PushHistory(); H().RelinkThread()), OP(RelinkThread)},
    {1186, 1186, 0, DO(H().PushHistory(); ReopenTopic()), nullptr},
    {1188, 1188, 0, DO(H().PrintActive()), OP(PrintActive)},
    {1189, 1189, RIGHT_PRUNE, DO(H().PruneMessageBase(1)), OP(PruneMessageBase)},
    {1196, 1196, RIGHT_RECONSTRUCT, DO(H().ReconstructService(1)), OP(ReconstructService)},
    {1198, 1198, 0, DO(H().DoDelResign()), OP(DoDelResign)},
    {1200, 1200, 0, DO(H().OpenResumesWindow()), OP(OpenResumesWindow)},
    {1201, 1201, RIGHT_REVIEW, DO(H().Review("", 0)), OP(Review)},
    {1203, 1203, RIGHT_SUBSCRIBE, DO(FillSelectionText(); H().MarkSelForJoining()), OP(MarkSelForJoining)},
    {1205, 1205, 0, DO(H().NewMessage(nullptr)), OP(NewMessage)},
    {1210, 1210, RIGHT_ADMINISTRATOR, DO(H().SetPruneDialog()), OP(SetPruneDialog)},
    {1215, 1215, 0, DO(H().SignatureDialog()), OP(SignatureDialog)},
    {1219, 1219, 0, DO(H().MarkBookmarkCmd()), OP(MarkBookmarkCmd)},
    {1223, 1223, RIGHT_KEEP_DELETE, DO(H().MarkDeleteCmd()), OP(MarkDeleteCmd)},
    {1224, 1224, RIGHT_KEEP_DELETE, DO(H().MarkKeepCmd()), OP(MarkKeepCmd)},
    {1225, 1225, 0, DO(H().MarkIgnoreCmd()), OP(MarkIgnoreCmd)},
    {1230, 1230, 0, DO(H().QueueFileUpload(FolderForQueue(), "")), OP(QueueFileUpload)},
    {1231, 1231, RIGHT_SUBSCRIBE, DO(H().OpenSubscribeWindow()), OP(OpenSubscribeWindow)},
    {1235, 1235, RIGHT_ADMINISTRATOR, DO(H().ShowWho()), OP(ShowWho)},
    {1236, 1236, RIGHT_CANCEL, DO(H().UpdateGhostState()), OP(UpdateGhostState)},
    {1238, 1238, 0, DO(if (Child() == ActiveChild::AddressBook) ToActiveChild(id, lParam); else H().FindAgain()),
     nullptr},
    {1240, 1240, 0, DO(if (HWND editor = H().ActiveEditorWindow()) Forward(editor, id, lParam); else H().GoBack()),
     nullptr},
    {1241, 1250, 0, DO(H().SelectBookmarkSetCmd(id)), OP(SelectBookmarkSetCmd)},
    {1259, 1259, 0, DO(H().MacroRecord()), OP(MacroRecord)},
    {1260, 1260, 0, DO(H().PlayMacroFile(nullptr)), OP(PlayMacroFile)},
    {1261, 1261, 0, DO(H().MacroLoad()), OP(MacroLoad)},
    {1262, 1262, 0, DO(H().MacroSave(); LoadMainMenu()), OP(MacroSave)},
    {1263, 1263, 0, DO(H().MacroStartup()), OP(MacroStartup)},
    {1264, 1282, 0, DO(if (g_menuState.macroSlots[id - 1264][0]) H().PlayMacroFile(g_menuState.macroSlots[id - 1264])),
     OP(PlayMacroFile)},
    {1283, 1283, 0, DO(H().MoreMacros()), OP(MoreMacros)},
    {1285, 1285, 0, DO(H().QueueFileErase("", "")), OP(QueueFileErase)},
    {1289, 1308, 0,
     DO(char path[MAX_PATH + 32]; std::snprintf(path, sizeof path, "%smacro%d.kbd", g_app.dataDir, id - 1289);
        H().PlayMacroFile(path)),
     OP(PlayMacroFile)},
    {1312, 1312, 0, DO(ToEditor(id, lParam)), nullptr},
    {1315, 1315, 0, DO(ToEditor(id, lParam)), nullptr},
    {1316, 1316, 0, DO(if (Child() == ActiveChild::Browser) H().CopyCommandAlt(); else Paste(id, lParam)), nullptr},
    {1317, 1317, 0, DO(Paste(id, lParam)), nullptr},
    {1318, 1318, 0, DO(ToEditor(id, lParam)), nullptr},
    {1319, 1319, 0, DO(ToActiveChild(id, lParam)), nullptr},
    {1324, 1324, 0, DO(H().DoShowStats()), OP(DoShowStats)},
    {1326, 1326, RIGHT_ADMINISTRATOR, DO(H().OpenSchedulerWindow()), OP(OpenSchedulerWindow)},
    {1334, 1334, 0, DO(H().MarkBookmarkSet(9)), OP(MarkBookmarkSet)},
    {1335, 1335, 0, DO(ShowHelp(HELPCTX_KEY, nullptr)), nullptr},
    {1341, 1341, 0, DO(H().ReThreadMessages()), OP(ReThreadMessages)},
    {1343, 1343, 0, DO(H().FindMessagesToMe()), OP(FindMessagesToMe)},
    {1446, 1446, RIGHT_ADMINISTRATOR, DO(UserScript(id, lParam)), OP(MakeScriptCmd)},
    {1447, 1447, 0, DO(JoinByName(id, lParam)), nullptr},
    {1449, 1449, 0, DO(ToEditor(id, lParam)), nullptr},
    {1453, 1453, 0, DO(H().DoOptions(1)), OP(DoOptions)},
    {1454, 1454, 0,
     DO(if (HWND child = ActiveMdiChild())
            SendMessageA(g_shell.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(child), 0)),
     nullptr},
    {1455, 1464, 0, DO(Forward(H().WindowOf(ActiveChild::FileList), id, lParam)), nullptr},
    {1468, 1468, 0, DO(H().PageSetup()), OP(PageSetup)},
    {1469, 1469, 0, DO(H().GoBack()), OP(GoBack)},
    {1472, 1472, 0, DO(RefreshFolders()), nullptr},
    {1476, 1476, 0, DO(H().FollowLink("", 1, nullptr)), OP(FollowLink)},
    {1477, 1486, 0, DO(if (g_favourites[id - 1477][0]) SwitchTopic(g_favourites[id - 1477])), nullptr},
    {1487, 1487, 0, DO(H().ShowResume()), OP(ShowResume)},
    {1488, 1488, 0, DO(H().ShowTips()), OP(ShowTips)},
    {1489, 1688, 0, DO(ServiceMenuCommand(id, lParam)), nullptr},
    {1691, 1691, 0, DO(H().GotoFolder()), OP(GotoFolder)},
    {1692, 1692, 0, DO(H().DoOptions(0)), OP(DoOptions)},
    {1700, 1700, 0, DO(H().ScanForAddresses()), OP(ScanForAddresses)},
    {1710, 1715, 0, DO(ToEditor(id, lParam)), nullptr},
    {1717, 1717, 0, DO(H().ForwardSelected()), OP(ForwardSelected)},
    {1719, 1719, 0, DO(SetHeaderMode(g_user.headerMode >= 2 ? 0 : g_user.headerMode + 1)), nullptr},
    {1721, 1721, 0, DO(H().MessageRulesDialog(id)), OP(MessageRulesDialog)},
    {1723, 1723, RIGHT_ADMINISTRATOR, DO(StartScheduler()), nullptr},
    {1724, 1724, 0, DO(H().MessageRulesDialog(id)), OP(MessageRulesDialog)},
    {1729, 1729, 0, DO(H().ReplyByMail("all")), OP(ReplyByMail)},
    {1730, 1730, 0, DO(H().ReplyByMail("sender")), OP(ReplyByMail)},
    {1732, 1733, 0, DO(g_user.fullMenus = id == 1733; LoadMainMenu(); SaveSettings()), nullptr},
    {1734, 1734, 0, DO(H().SetZoomMode(1)), OP(SetZoomMode)},
    {1735, 1735, 0, DO(H().SetZoomMode(2)), OP(SetZoomMode)},
    {1736, 1736, 0, DO(H().SetZoomMode(0)), OP(SetZoomMode)},
    {1737, 1737, 0,
     DO(int zoom = H().ZoomMode(); H().SetZoomMode(zoom == 0   ? 1
                                                   : zoom == 1 ? 2
                                                               : 0)),
     OP(SetZoomMode)},
    {1740, 1751, 0, DO(ModeratorScript(id, lParam)), OP(MakeScriptCmd)},
    {1760, 1760, 0, DO(H().OpenMbw()), OP(OpenMbw)},
    {1761, 1763, 0, DO(ZoomCommand(id, lParam)), OP(SetZoomMode)},
    {1764, 1764, 0, DO(H().PgpEncryptDialog()), OP(PgpEncryptDialog)},
    {1766, 1766, 0, DO(RefreshFileLists(id, lParam)), nullptr},
    {1767, 1767, 0, DO(PushHelpContext(8024); H().EditFavourites(); PopHelpContext()), OP(EditFavourites)},
    {1768, 1768, 0, DO(ShowHelp(HELPCTX_MAP_CONTENTS, nullptr)), nullptr},
    {1769, 1769, 0, DO(H().ReplyByMail(nullptr)), OP(ReplyByMail)},
    {1783, 1783, 0, DO(H().SaveBookmarks(); msgnoteid(IDS_BOOKMARKS_SAVED)), OP(SaveBookmarks)},
    {1784, 1784, 0, DO(if (HWND focus = GetFocus()) SendMessageA(focus, WM_RBUTTONUP, 0, 0)), nullptr},
    {1785, 1787, 0, DO(SetHeaderMode(id - 1785)), nullptr},
    {1788, 1792, 0, DO(MessageOrderCommand(id, lParam)), nullptr},
    {1794, 1794, 0,
     DO(g_user.highlightQuotes = !g_user.highlightQuotes; if (H().BrowserOpen()) H().NoteCurrentMessage("");
        SaveSettings()),
     nullptr},
    {1799, 1818, 0, DO(BookmarkSetCommand(id, lParam)), OP(SelectBookmarkSet)},
    {1856, 1858, 0, DO(H().MessageRulesDialog(id)), OP(MessageRulesDialog)},
    {1859, 1868, RIGHT_CONNECT, DO(H().RunSchedulerJobNow(id - 1858)), OP(RunSchedulerJobNow)},
    {1869, 1869, 0, DO(ShowBrowserOrNext(id, lParam)), OP(NextNewMessage)},
    {1870, 1870, 0, DO(H().MbwSelectFilterSet("Mail")), OP(MbwSelectFilterSet)},
    {1872, 1872, 0, DO(H().MarkUnreadLockCmd()), OP(MarkUnreadLockCmd)},
    {1874, 1874, RIGHT_MODERATOR, DO(H().NewFolder()), OP(NewFolder)},
    {1875, 1875, 0, DO(ToEditor(id, lParam)), nullptr},
    {1876, 1885, 0, DO(if (g_favourites[id - 1876][0]) H().SendToAnyFolder(g_favourites[id - 1876])),
     OP(SendToAnyFolder)},
    {1886, 1886, 0, DO(H().SendToAnyFolder(nullptr)), OP(SendToAnyFolder)},
    {1888, 1888, RIGHT_CONNECT, DO(H().PostConnectRequest()), OP(PostConnectRequest)},
    {1990, 1990, 0, DO(ToEditor(id, lParam)), nullptr},
    {1995, 1995, 0, DO(H().ProxyDialog()), OP(ProxyDialog)},
    {1996, 1996, 0, DO(ToEditor(id, lParam)), nullptr},
    {1997, 1998, 0, DO(H().MessageRulesDialog(id)), OP(MessageRulesDialog)},
    {1999, 1999, 0, DO(H().RunIdleRefresh()), OP(RunIdleRefresh)},
    {2000, 2000, 0, DO(if (H().BrowserOpen()) H().SetMessageOrder(lParam)), nullptr},
    {2010, 2010, 0, DO(ToEditor(id, lParam)), nullptr},
    {2011, 2011, 0, DO(ShowHelp(2011, nullptr)), nullptr},
    {3018, 3018, 0, DO(ToEditor(id, lParam)), nullptr},
    {7001, 7001, 0, DO(SendMessageA(g_shell.mdiClient, WM_MDITILE, 0, 0)), nullptr},
    {7002, 7002, 0, DO(SendMessageA(g_shell.mdiClient, WM_MDICASCADE, 0, 0)), nullptr},
    {7003, 7003, 0, DO(CloseAllChildren()), nullptr},
    {7004, 7004, 0, DO(SendMessageA(g_shell.mdiClient, WM_MDIICONARRANGE, 0, 0)), nullptr},
    {14003, 14003, 0, DO(H().ToggleBrowserFocus()), OP(ToggleBrowserFocus)},
    {14004, 14004, 0, DO(H().MarkReadCommand()), OP(MarkReadCommand)},
    {14006, 14006, RIGHT_KEEP_DELETE, DO(H().MarkDeleteCmd()), OP(MarkDeleteCmd)},
    {14007, 14007, 0, DO(H().MarkIgnoreCmd()), OP(MarkIgnoreCmd)},
    {14008, 14008, RIGHT_KEEP_DELETE, DO(H().MarkKeepCmd()), OP(MarkKeepCmd)},
    {14010, 14010, 0, DO(H().BrowserReply()), OP(BrowserReply)},
    {14011, 14011, 0, DO(H().BrowserReplyByMail()), OP(BrowserReplyByMail)},
    {14012, 14012, 0, DO(H().BrowserNewMessage()), OP(BrowserNewMessage)},
    {14014, 14014, 0, DO(H().ThreadListPageUp()), OP(ThreadListPageUp)},
    {14015, 14015, 0, DO(H().ThreadListPageDown()), OP(ThreadListPageDown)},
    {14016, 14016, 0, DO(H().MarkUnreadLockCmd()), OP(MarkUnreadLockCmd)},
};

#undef OP
#undef DO

}  // namespace

int CurrentCommand() { return s_currentCommand; }

const CommandRow* FindCommandRow(int id) {
  for (const CommandRow& row : kRows)
    if (id >= row.first && id <= row.last) return &row;
  return nullptr;
}

const CommandRow* CommandRows(int* count) {
  *count = static_cast<int>(sizeof kRows / sizeof kRows[0]);
  return kRows;
}

bool MayRunCommand(int id) {
  const CommandRow* row = FindCommandRow(id);
  return !row || !row->right || HasRight(row->right);
}

bool CommandAvailable(int id) {
  const CommandRow* row = FindCommandRow(id);
  return !row || !row->available || row->available();
}

void SetHeaderMode(int mode) {
  BeginWait();
  g_user.headerMode = mode;
  if (H().BrowserOpen()) H().NoteCurrentMessage("");
  PumpMessages();
  SaveSettings();
  EndWait();
}

void FrameCommand(int id, LPARAM lParam) {
  const CommandRow* row = FindCommandRow(id);
  if (!row) {
    DefFrameProcA(g_shell.frame, g_shell.mdiClient, WM_COMMAND, id, lParam);
    return;
  }
  int outer = s_currentCommand;
  s_currentCommand = id;
  // Keys of removed items and commands posted by other programs arrive too.
  if (row->right && !HasRight(row->right))
    RefuseNoRight(id);
  else if (row->available && !row->available())
    RefuseNotAvailable(id);
  else
    row->handler(id, lParam);
  s_currentCommand = outer;
}
