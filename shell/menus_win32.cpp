// Building the main menu: load a set, delete what does not apply, expand the
// placeholders, tidy, check the titles, refresh the texts, install.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_dirs.h"
#include "core/user_settings.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"
#include "resources/menus_ids.h"
#include "shell/commands.h"
#include "shell/commands_hooks.h"
#include "shell/menus.h"
#include "shell/menus_model.h"
#include "shell/shell_state.h"

MenuState g_menuState;

namespace {

bool TopicOpen() { return g_topic.log != nullptr; }

// A pop-up's state holds its item count in the high byte, so test for a pop-up first.
bool IsSeparator(HMENU menu, int position) {
  return !GetSubMenu(menu, position) && (GetMenuState(menu, position, MF_BYPOSITION) & MF_SEPARATOR);
}

void DeleteAll(HMENU menu, int id) {
  while (DeleteMenu(menu, id, MF_BYCOMMAND)) {}
}
void DeleteEach(HMENU menu, std::initializer_list<int> ids) {
  for (int id : ids) DeleteAll(menu, id);
}

HMENU LoadMenuSet() {
  HMODULE module = StringModule();
  if (!g_user.fullMenus) return LoadMenuA(module, "PL_SHORT");
  if (g_menuState.testMenuSet) {
    char name[32];
    std::snprintf(name, sizeof name, "PL_TEST%d", g_menuState.testMenuSet);
    if (HMENU test = LoadMenuA(module, name)) return test;
  }
  return LoadMenuA(module, "PL_FULL");
}

// Items that do not apply to the active window, the services and the rights.
void DeleteInapplicableItems(HMENU menu) {
  ActiveChild child = g_commandHooks.ActiveChildKind();
  if (!TopicOpen() && !g_commandHooks.MessageBaseOpen()) DeleteAll(menu, 1700);
  if (child == ActiveChild::Editor) {
    DeleteEach(menu, {1147, 1225, 1224, 1223, 1219, 1174, 1176, 1872, 1469});
  } else {
    if (child != ActiveChild::AddressBook && child != ActiveChild::Browser) DeleteAll(menu, 1316);
    if (child != ActiveChild::AddressBook && child != ActiveChild::MessageBase && child != ActiveChild::Browser &&
        child != ActiveChild::BookmarkManager)
      DeleteAll(menu, 1317);
    DeleteEach(menu, {1875, 2010, 1318, 1315, 1996, 1120, 1166, 1312, 1449, 1764, 1715, 1240});
  }
  bool dvn = HaveDvn(), quorl = HaveQuorl(), local = HaveLocal(), net = HaveNet();
  if (!dvn && !quorl && !local) DeleteEach(menu, {1158, 1691, 1140, 1230});
  if (!dvn && !quorl) DeleteEach(menu, {1766, 1796, 1196, 1203});
  if (!dvn && !quorl && !net) DeleteAll(menu, 1326);
  if (!net && !dvn) DeleteAll(menu, 1157);
  if (!dvn) DeleteAll(menu, 1146);
  if (!net && !dvn && !quorl) DeleteEach(menu, {1856, 1721, 1858, 1857, 1998, 1997, 1724});
  if (!iscurservice("quorl")) DeleteEach(menu, {1200, 1487});
  if (!g_commandHooks.PgpSetUp()) DeleteAll(menu, 1764);
  if (!HasRight(RIGHT_ADMINISTRATOR))
    DeleteEach(menu, {1723, 1184, 1235, 1115, 1210, 1135, 1144, 1326, 1004});
  else
    DeleteAll(menu, 1101);
  if (!HasRight(RIGHT_MODERATOR)) DeleteEach(menu, {1180, 1874});
  if (!HasRight(RIGHT_REVIEW)) DeleteAll(menu, 1201);
  if (!HasRight(RIGHT_PRUNE)) DeleteAll(menu, 1189);
  if (!HasRight(RIGHT_REINDEX)) DeleteAll(menu, 1117);
  if (!HasRight(RIGHT_RECONSTRUCT)) DeleteAll(menu, 1196);
  if (!HasRight(RIGHT_IMPORT)) DeleteAll(menu, 1003);
  if (!HasRight(RIGHT_SUBSCRIBE)) DeleteEach(menu, {1231, 1203});
  if (!HasRight(RIGHT_CONNECT)) DeleteEach(menu, {1103, 1888});
  if (!HasRight(RIGHT_CANCEL)) DeleteAll(menu, 1236);
  if (!HasRight(RIGHT_KEEP_DELETE)) DeleteEach(menu, {1224, 1223});
}

bool TitlesMatch(HMENU menu) {
  const char* expected = ExpectedMenuTitles();
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char title[41];
    GetMenuStringA(menu, i, title, sizeof title, MF_BYPOSITION);
    const char* end = std::strchr(expected, ';');
    if (!end) return false;
    if (std::strlen(title) != static_cast<size_t>(end - expected) || std::strncmp(title, expected, end - expected) != 0)
      return false;
    expected = end + 1;
  }
  return *expected == 0;
}

void AppendFavourites(HMENU menu) {
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  for (int n = 1; n <= FAVOURITE_COUNT; ++n) {
    if (!g_favourites[n - 1][0]) continue;
    char name[FAVOURITE_MAX + 1];
    std::snprintf(name, sizeof name, "%s", g_favourites[n - 1]);
    FixNameCase(name);
    char text[160];
    FavouriteItemText(n, name, text, sizeof text);
    AppendMenuA(menu, MF_STRING, 1476 + n, text);
  }
}

void AppendSendTo(HMENU menu) {
  bool any = false;
  for (int n = 1; n <= FAVOURITE_COUNT; ++n) {
    if (!g_favourites[n - 1][0]) continue;
    char text[160];
    std::snprintf(text, sizeof text, "&%d %s", n, g_favourites[n - 1]);
    AppendMenuA(menu, MF_STRING, 1875 + n, text);
    any = true;
  }
  if (any) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, 1886, loadstr(IDS_ANY_FOLDER));
}

struct ScriptWalk {
  HMENU menu;
  HMENU into;
};

void AddScriptStep(const ScriptMenuStep& step, void* context) {
  ScriptWalk& walk = *static_cast<ScriptWalk*>(context);
  switch (step.kind) {
    case ScriptMenuStep::Separator: AppendMenuA(walk.into, MF_SEPARATOR, 0, nullptr); break;
    case ScriptMenuStep::Popup: {
      HMENU popup = CreatePopupMenu();
      AppendMenuA(walk.menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), step.text);
      walk.into = popup;
      break;
    }
    case ScriptMenuStep::Item: AppendMenuA(walk.into, MF_STRING, step.id, step.text); break;
  }
}

}  // namespace

const char* ExpectedMenuTitles() {
  if (HaveDvn() || HaveQuorl() || HaveLocal()) return "&File;&Edit;&View;&Goto;&Message;&Special;&Tools;&Window;&Help;";
  return "&File;&Edit;&View;&Goto;&Message;&Tools;&Window;&Help;";
}

void AppendServiceScripts(HMENU menu) {
  if (!TopicOpen() || !g_user.fullMenus || iscurservice("net")) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  if (iscurservice("local") && g_commandHooks.CanModerateTopic()) {
    char text[80];
    std::snprintf(text, sizeof text, "&%s", loadstr(IDS_MODIFY_MODERATORS_FLIST));
    AppendMenuA(menu, MF_STRING, 1177, text);
    return;
  }
  const char* lines[MAX_SCRIPT_COMMANDS];
  int count = g_hconf.commandCount < MAX_SCRIPT_COMMANDS ? g_hconf.commandCount : MAX_SCRIPT_COMMANDS;
  for (int i = 0; i < count; ++i) lines[i] = g_hconf.commands[i].menuName;
  ScriptWalk walk{menu, menu};
  WalkScriptMenu(lines, count, AddScriptStep, &walk);
}

void AppendMacroMenu(HMENU menu) {
  char pattern[MAX_PATH + 8];
  std::snprintf(pattern, sizeof pattern, "%s*.kbd", g_app.dataDir);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  // 1283 is "More Macros...", so at most 19 files get items of their own.
  constexpr int kMacroItems = 19;
  int n = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (n == kMacroItems) {
      AppendMenuA(menu, MF_STRING, 1283, loadstr(IDS_MORE_MACROS));
      break;
    }
    if (n == 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    char text[MAX_PATH + 300];
    MacroItemText(n + 1, g_app.dataDir, found.cFileName, text, sizeof text);
    AppendMenuA(menu, MF_STRING, 1264 + n, text);
    std::snprintf(g_menuState.macroSlots[n], sizeof g_menuState.macroSlots[n], "%s%s", g_app.dataDir, found.cFileName);
    ++n;
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void AppendSchedulerJobs(HMENU menu) {
  if (!HasRight(RIGHT_CONNECT)) return;
  int count = GetIniInt("Scheduler Settings", "Job Count");
  if (count > 10) count = 10;
  bool any = false;
  for (int job = 1; job <= count; ++job) {
    char section[32];
    std::snprintf(section, sizeof section, "Scheduler Job%d", job);
    const char* title = GetIniString(section, "Title");
    if (!title || !*title) continue;
    if (!any) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    any = true;
    char text[300];
    std::snprintf(text, sizeof text, "&%d %s", job, title);
    AppendMenuA(menu, MF_STRING, 1858 + job, text);
  }
}

int ExpandMenuPlaceholders(HMENU menu) {
  for (int i = 0; i < GetMenuItemCount(menu);) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      ExpandMenuPlaceholders(sub);
      ++i;
      continue;
    }
    int id = static_cast<int>(GetMenuItemID(menu, i));
    void (*append)(HMENU) = nullptr;
    switch (id) {
      case IDM_PLACE_SCRIPTS: append = AppendServiceScripts; break;
      case IDM_PLACE_MACROS: append = AppendMacroMenu; break;
      case IDM_PLACE_TOOLS: append = [](HMENU m) { g_commandHooks.ToolMenuItems(m); }; break;
      case IDM_PLACE_FAVOURITES: append = AppendFavourites; break;
      case IDM_PLACE_SEND_TO: append = AppendSendTo; break;
      case IDM_PLACE_SCHEDULED_JOBS: append = AppendSchedulerJobs; break;
      default: ++i; continue;
    }
    // The placeholders close their pop-ups, so the list goes at the end.
    DeleteMenu(menu, i, MF_BYPOSITION);
    int before = GetMenuItemCount(menu);
    append(menu);
    i = before + (GetMenuItemCount(menu) - before);
  }
  return GetMenuItemCount(menu);
}

int RefreshMenuTexts(HMENU menu) {
  if (g_app.fatalError || !menu) return 0;
  int changed = 0;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char old[96] = "";
    GetMenuStringA(menu, i, old, 81, MF_BYPOSITION);
    char text[400];
    std::snprintf(text, sizeof text, "%s", old);
    HMENU sub = GetSubMenu(menu, i);
    int id = sub ? 0 : static_cast<int>(GetMenuItemID(menu, i));
    if (sub) {
      changed |= RefreshMenuTexts(sub);
      ExpandTextMacros(text, sizeof text);
    } else if (id >= 1799 && id <= 1808) {
      int n = id - 1798;
      BookmarkSetItemText(loadstr(IDS_BOOKMARK_SET_ITEM), n, g_bookSetNames[n - 1], text, 81);
    } else if (id == 1263) {
      bool set = g_commandHooks.StartupMacroSet() || g_user.startupMacro[0];
      if (set && std::strncmp(text, "Se&t Startup", 12) == 0) {
        char rest[300];
        std::snprintf(rest, sizeof rest, "%s", text + 12);
        std::snprintf(text, sizeof text, "&Clear Startup%s", rest);
      } else if (!set && std::strncmp(text, "&Clear Startup", 14) == 0) {
        char rest[300];
        std::snprintf(rest, sizeof rest, "%s", text + 14);
        std::snprintf(text, sizeof text, "Se&t Startup%s", rest);
      }
    } else if (id == 1691) {
      const char* folder = TopicOpen() ? g_topic.openName : "";
      SwapFileListWords(text, 81, IsDvnLibraryFolder(folder));
      ExpandTextMacros(text, sizeof text);
    } else if (id > 0 && (id < 1489 || id > 1688)) {
      ExpandTextMacros(text, sizeof text);
    } else {
      continue;
    }
    text[80] = 0;
    if (!MenuTextsDiffer(old, text)) continue;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    SetMenuItemInfoA(menu, i, TRUE, &info);
    changed = 1;
  }
  return changed;
}

int TidyMenu(HMENU menu) {
  for (int i = 0; i < GetMenuItemCount(menu);) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      TidyMenu(sub);
      int n = GetMenuItemCount(sub);
      if (n > 0 && IsSeparator(sub, n - 1)) DeleteMenu(sub, n - 1, MF_BYPOSITION);
      if (GetMenuItemCount(sub) == 0) {
        DeleteMenu(menu, i, MF_BYPOSITION);
        continue;
      }
      ++i;
      continue;
    }
    if (IsSeparator(menu, i) && (i == 0 || IsSeparator(menu, i - 1))) {
      DeleteMenu(menu, i, MF_BYPOSITION);
      continue;
    }
    ++i;
  }
  return GetMenuItemCount(menu);
}

int CheckPopupsEnabled(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    if (GetMenuState(menu, i, MF_BYPOSITION) & (MF_DISABLED | MF_GRAYED)) {
      LoadMainMenu();
      return 0;
    }
    if (!CheckPopupsEnabled(sub)) return 0;
  }
  return 1;
}

void DestroyMenuTree(HMENU menu) {
  if (!menu) return;
  while (GetMenuItemCount(menu) > 0) {
    if (HMENU sub = GetSubMenu(menu, 0)) {
      RemoveMenu(menu, 0, MF_BYPOSITION);
      DestroyMenuTree(sub);
    } else {
      DeleteMenu(menu, 0, MF_BYPOSITION);
    }
  }
  DestroyMenu(menu);
}

bool MenuItemText(HMENU menu, int id, char* out, int size, bool cutAtTab) {
  char text[256];
  if (!menu || GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND) <= 0) {
    if (size) out[0] = 0;
    return false;
  }
  int n = 0;
  for (const char* p = text; *p && n + 1 < size; ++p) {
    if (cutAtTab && *p == '\t') break;
    if (*p != '&') out[n++] = *p;
  }
  out[n] = 0;
  return true;
}

void LoadMainMenu() {
  // While the MDI client creates a child it rebuilds once the child is there.
  if (g_shell.childBeingCreated) {
    g_shell.menuChangeRequested = true;
    return;
  }
  if (g_app.fatalError || !g_shell.frame) return;
  HMENU menu = nullptr;
  for (int attempt = 0; attempt < 5; ++attempt) {
    menu = LoadMenuSet();
    if (!menu) return;
    DeleteInapplicableItems(menu);
    ExpandMenuPlaceholders(menu);
    TidyMenu(menu);
    if (TitlesMatch(menu) || attempt == 4) break;
    DestroyMenuTree(menu);
  }
  RefreshMenuTexts(menu);
  int count = GetMenuItemCount(menu);
  HMENU windowMenu = count >= 2 ? GetSubMenu(menu, count - 2) : nullptr;
  if (g_shell.mdiClient)
    SendMessageA(g_shell.mdiClient, WM_MDISETMENU, reinterpret_cast<WPARAM>(menu),
                 reinterpret_cast<LPARAM>(windowMenu));
  SetMenu(g_shell.frame, menu);
  if (g_shell.mdiClient) SendMessageA(g_shell.mdiClient, WM_MDIREFRESHMENU, 0, 0);
  HMENU previous = g_shell.mainMenu;
  g_shell.mainMenu = menu;
  if (previous && previous != menu) DestroyMenuTree(previous);
  g_menuState.justRebuilt = true;
  DrawMenuBar(g_shell.frame);
  UpdateCommandStates();
}
