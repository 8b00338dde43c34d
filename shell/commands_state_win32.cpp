// UpdateCommandStates: the enabled state of every command, from one table of
// conditions over the situation; it drives the menu items and the toolbar.
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/rights.h"
#include "msgbase/topic_open.h"
#include "shell/commands.h"
#include "shell/commands_hooks.h"
#include "shell/commands_table.h"
#include "shell/menus.h"
#include "shell/shell_state.h"

namespace {

// What the conditions read, gathered once per refresh.
struct Situation {
  ActiveChild child;
  bool quorl, dvn, local;
  bool topicOpen, mailFolder, libraryFolder, folderNamed;
  bool editor, addressBook, connect, bookmarks, browser, messageBase, subscribe;
  bool admin, connectRight, cancel, reindex, prune, review, subscribeRight, reconstruct, import, newServices;
  bool history, moderates, dvnModerator, terminal;
  bool clipboardMessage, clipboardText;
};

Situation Gather() {
  Situation s{};
  s.child = g_commandHooks.ActiveChildKind();
  s.quorl = iscurservice("quorl");
  s.dvn = iscurservice("dvn");
  s.local = iscurservice("local");
  s.topicOpen = g_topic.log != nullptr;
  const char* folder = s.topicOpen ? g_topic.openName : "";
  s.mailFolder = s.topicOpen && ismailfolder(folder);
  s.libraryFolder = s.topicOpen && IsDvnLibraryFolder(folder);
  const char* current = g_commandHooks.CurFolderName();
  s.folderNamed = current && *current;
  s.editor = s.child == ActiveChild::Editor;
  s.addressBook = s.child == ActiveChild::AddressBook;
  s.connect = s.child == ActiveChild::Connect;
  s.bookmarks = s.child == ActiveChild::BookmarkManager;
  s.browser = s.child == ActiveChild::Browser;
  s.messageBase = s.child == ActiveChild::MessageBase;
  s.subscribe = s.child == ActiveChild::Subscribe;
  s.admin = HasRight(RIGHT_ADMINISTRATOR);
  s.connectRight = HasRight(RIGHT_CONNECT);
  s.cancel = HasRight(RIGHT_CANCEL);
  s.reindex = HasRight(RIGHT_REINDEX);
  s.prune = HasRight(RIGHT_PRUNE);
  s.review = HasRight(RIGHT_REVIEW);
  s.subscribeRight = HasRight(RIGHT_SUBSCRIBE);
  s.reconstruct = HasRight(RIGHT_RECONSTRUCT);
  s.import = HasRight(RIGHT_IMPORT);
  s.newServices = HasRight(RIGHT_MODERATOR);
  s.history = g_commandHooks.HasHistory();
  s.moderates = g_commandHooks.CanModerateTopic();
  s.dvnModerator = g_commandHooks.DvnModerator();
  s.terminal = g_commandHooks.TerminalConnectionRuns();
  static UINT messageFormat = RegisterClipboardFormatA("500_MESSAGE");
  s.clipboardMessage = IsClipboardFormatAvailable(messageFormat);
  s.clipboardText = IsClipboardFormatAvailable(CF_TEXT);
  return s;
}

struct StateRow {
  int first, last;
  bool (*enabled)(const Situation& s);
};

#define WHEN(condition) [](const Situation& s) -> bool { return condition; }

const StateRow kStates[] = {
    {1995, 1995, WHEN(s.admin)},
    {1210, 1210, WHEN(s.admin)},
    {1144, 1144, WHEN(s.admin)},
    {1723, 1723, WHEN(s.admin)},
    {1875, 1875, WHEN(s.editor&& s.clipboardMessage)},
    {2010, 2010, WHEN(s.editor&& s.clipboardText)},
    {1319, 1319,
     WHEN(s.editor || s.addressBook || s.browser || s.bookmarks || s.messageBase || s.connect || s.subscribe)},
    {1469, 1469, WHEN(s.history)},
    {1454, 1454, WHEN(s.child != ActiveChild::None)},
    {1315, 1315, WHEN(s.editor)},
    {1996, 1996, WHEN(s.editor)},
    {1120, 1120, WHEN(s.editor)},
    {1166, 1166, WHEN(s.editor)},
    {3018, 3018, WHEN(s.editor)},
    {1312, 1312, WHEN(s.editor)},
    {1449, 1449, WHEN(s.editor)},
    {1876, 1886, WHEN(s.browser || s.bookmarks)},
    {1738, 1751, WHEN(s.dvnModerator)},
    {1147, 1147, WHEN(s.browser || s.bookmarks || s.addressBook)},
    {1188, 1188, WHEN(s.editor || s.browser || s.bookmarks || s.addressBook)},
    {1140, 1140, WHEN(s.browser && (s.local || s.quorl || (s.dvn && !s.mailFolder)))},
    {1691, 1691, WHEN(s.browser && (s.local || s.quorl || (s.dvn && !s.mailFolder)))},
    {1230, 1230, WHEN(s.browser && (s.local || s.quorl || (s.dvn && !s.mailFolder)))},
    {1724, 1724, WHEN(true)},
    {1856, 1858, WHEN(s.browser && (!(s.quorl || s.dvn) || s.mailFolder))},
    {1721, 1721, WHEN(s.browser && (!(s.quorl || s.dvn) || s.mailFolder))},
    {1997, 1998, WHEN(s.browser && (!(s.quorl || s.dvn) || s.mailFolder))},
    {1476, 1476, WHEN(s.browser)},
    {1158, 1158, WHEN(s.browser)},
    {1341, 1341, WHEN(s.browser)},
    {1185, 1185, WHEN(s.browser)},
    {1157, 1157, WHEN(s.browser)},
    {1174, 1176, WHEN(s.browser)},
    {1872, 1872, WHEN(s.browser)},
    {1219, 1219, WHEN(s.browser)},
    {1225, 1225, WHEN(s.browser)},
    {1178, 1179, WHEN(s.browser)},
    {1145, 1145, WHEN(!s.terminal)},
    {1148, 1148, WHEN(s.messageBase || s.browser || s.addressBook)},
    {1238, 1238, WHEN(s.browser && !g_commandHooks.SearchRunning())},
    {1215, 1215, WHEN(s.messageBase || s.browser)},
    {1198, 1198, WHEN(s.messageBase)},
    {1205, 1205, WHEN(s.messageBase || (s.browser && (s.folderNamed || (!s.mailFolder && !s.libraryFolder))))},
    {1717, 1717, WHEN(s.browser && !s.libraryFolder)},
    {1729, 1730, WHEN(s.browser && !s.libraryFolder)},
    {1769, 1769, WHEN(s.browser && !s.libraryFolder)},
    {1134, 1134, WHEN(s.browser && !s.libraryFolder)},
    {1201, 1201, WHEN(s.review && !s.terminal)},
    {1172, 1172, WHEN(s.browser || s.messageBase)},
    {1700, 1700, WHEN(s.browser || s.messageBase)},
    {1236, 1236, WHEN(s.browser&& s.cancel && !s.mailFolder && !s.libraryFolder)},
    {1223, 1224, WHEN(s.browser&& s.moderates)},
    {1200, 1200, WHEN(s.quorl)},
    {1487, 1487, WHEN(s.quorl)},
    {1103, 1103, WHEN(s.connectRight && !s.terminal && g_commandHooks.CountServices() > 0)},
    {1888, 1888, WHEN(s.connectRight && !s.terminal && g_commandHooks.CountServices() > 0)},
    {1231, 1231, WHEN(s.subscribeRight && !s.terminal)},
    {1203, 1203, WHEN(s.subscribeRight && !s.terminal)},
    {1189, 1189, WHEN(s.prune && !s.terminal)},
    {1003, 1003, WHEN(s.import)},
    {1117, 1117, WHEN(s.reindex && !s.terminal)},
    {1196, 1196, WHEN(s.reconstruct && !s.terminal)},
    {1101, 1101, WHEN(!s.admin && !s.terminal)},
    {1184, 1184, WHEN(s.admin && !s.terminal)},
    {1177, 1177, WHEN(s.browser&& s.moderates && !s.mailFolder && (s.quorl || s.local))},
    {1180, 1180, WHEN(s.newServices)},
    {1874, 1874, WHEN(s.newServices)},
    {1004, 1004, WHEN(s.admin && !s.terminal)},
    {1326, 1326, WHEN(s.admin && !s.terminal)},
    {1235, 1235, WHEN(s.admin)},
    {1115, 1115, WHEN(s.admin)},
    {1135, 1135, WHEN(s.admin && !s.terminal)},
    {1766, 1766, WHEN(s.messageBase || (s.browser && (s.dvn || s.quorl)))},
    {1146, 1146, WHEN(s.dvn)},
};

#undef WHEN

// The clipboard commands of the frame when no editor or address book sets them.
void SetClipboardStates(const Situation& s) {
  bool threadFocus = g_commandHooks.ThreadListFocused();
  bool selected = g_commandHooks.MessageSelected();
  SetToolbarState(1137, (!threadFocus || selected) && CommandAvailable(1137));
  SetToolbarState(1240, s.history && CommandAvailable(1240));
  SetToolbarState(1317, (s.bookmarks || s.browser || s.messageBase) && s.clipboardMessage);
  SetToolbarState(1316, s.browser && threadFocus && selected && CommandAvailable(1316));
  SetToolbarState(1318, false);
}

bool StateRule(const Situation& s, int id, bool* enabled) {
  for (const StateRow& row : kStates) {
    if (id < row.first || id > row.last) continue;
    *enabled = row.enabled(s);
    return true;
  }
  return false;
}

}  // namespace

bool CommandEnabledNow(int id) {
  Situation s = Gather();
  bool enabled = true;
  StateRule(s, id, &enabled);
  return enabled && MayRunCommand(id) && CommandAvailable(id);
}

void UpdateCommandStates() {
  if (g_shell.childBeingCreated) {
    g_shell.menuChangeRequested = true;
    return;
  }
  if (g_app.fatalError) return;
  Situation s = Gather();
  if (s.editor) {
    if (HWND editor = g_commandHooks.ActiveEditorWindow())
      SendMessageA(editor, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(g_shell.mainMenu), 0);
  } else if (s.addressBook) {
    if (HWND book = g_commandHooks.WindowOf(ActiveChild::AddressBook))
      SendMessageA(book, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(g_shell.mainMenu), 0);
  } else {
    SetClipboardStates(s);
  }
  int count = 0;
  const CommandRow* rows = CommandRows(&count);
  for (int r = 0; r < count; ++r) {
    for (int id = rows[r].first; id <= rows[r].last; ++id) {
      if (id == 1137 || id == 1240 || id == 1316 || id == 1317 || id == 1318) continue;  // the clipboard group
      bool enabled = true;
      StateRule(s, id, &enabled);
      SetToolbarState(id, enabled && MayRunCommand(id) && CommandAvailable(id));
    }
  }
  if (HWND mbw = g_commandHooks.WindowOf(ActiveChild::MessageBase))
    if (HWND properties = GetDlgItem(mbw, 4331)) EnableWindow(properties, s.admin);
  g_menuState.justRebuilt = false;
  // A rebuild that still leaves a pop-up disabled must not rebuild again.
  static bool rebuilding = false;
  if (g_shell.mainMenu && g_shell.frame && !rebuilding) {
    struct Guard {
      Guard() { rebuilding = true; }
      ~Guard() { rebuilding = false; }
    } guard;
    HMENU menu = g_shell.mainMenu;
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
      if (!GetSubMenu(menu, i)) continue;
      if (GetMenuState(menu, i, MF_BYPOSITION) & (MF_DISABLED | MF_GRAYED)) {
        LoadMainMenu();
        return;
      }
    }
    CheckPopupsEnabled(menu);
  }
}
