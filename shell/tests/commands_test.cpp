// The dispatcher, menus, command states and toolbar driven by messages on a
// small MDI frame under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/rights.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/tests/ui_recorder.h"
#include "core/user_settings.h"
#include "shell/commands.h"
#include "shell/commands_hooks.h"
#include "shell/commands_table.h"
#include "shell/menus.h"
#include "shell/shell_state.h"
#include "shell/tests/shell_test_host.h"
#include "tests/support/window_fixture.h"
#include "shell/toolbar.h"

namespace {

std::vector<std::string>& OperationsRun() {
  static std::vector<std::string> run;
  return run;
}

class ShellCommands : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dir_ = MakeTempDir("cmds");
    std::snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s", dir_.c_str());
    std::snprintf(g_main.messagePath, sizeof g_main.messagePath, "%s", dir_.c_str());
    std::snprintf(g_app.userName, sizeof g_app.userName, "tester");
    g_user.fullMenus = 1;
    g_userRights = UserRights{};
    g_commandHooks = kCommandHookDefaults;
    OperationsRun().clear();
    FrameCommandsSeen().clear();
    for (auto& f : g_favourites) f[0] = 0;
    for (auto& b : g_bookSetNames) b[0] = 0;
    ForgetServiceDirScan();
    CreateTestFrame();
  }
  void TearDown() override {
    DestroyTestFrame();
    g_commandHooks = kCommandHookDefaults;
    g_userRights = UserRights{};
    ForgetServiceDirScan();
    UiTest::TearDown();
  }
  // A service directory holds the service's configuration file.
  void AddService(const char* key) {
    CreateDirectoryA((dir_ + key).c_str(), nullptr);
    std::string config = dir_ + key + "\\" + key + ".cnf";
    if (FILE* f = std::fopen(config.c_str(), "w")) std::fclose(f);
    ForgetServiceDirScan();
  }
  std::string dir_;
};

// Every item of a menu, "id text" by id, walking the pop-ups.
void Dump(HMENU menu, std::vector<std::pair<int, std::string>>& out) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[256] = "";
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    if (HMENU sub = GetSubMenu(menu, i)) {
      out.push_back({-1, text});
      Dump(sub, out);
    } else {
      out.push_back({static_cast<int>(GetMenuItemID(menu, i)), text});
    }
  }
}
std::set<int> MenuIds(HMENU menu) {
  std::vector<std::pair<int, std::string>> items;
  Dump(menu, items);
  std::set<int> ids;
  for (auto& item : items) ids.insert(item.first);
  return ids;
}
std::string TextOf(HMENU menu, int id) {
  char text[256] = "";
  GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
  return text;
}
std::string Titles(HMENU menu) {
  std::string titles;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64];
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    titles += std::string(text) + ";";
  }
  return titles;
}

TEST_F(ShellCommands, MenusFollowRightsServicesAndTheMenuSet) {
  AddService("quorl");
  AddService("local");
  g_userRights.word = 0x10020;
  LoadMainMenu();
  std::set<int> user = MenuIds(g_shell.mainMenu);
  for (int id : {1117, 1189, 1103, 1115}) EXPECT_FALSE(user.count(id)) << id;
  EXPECT_TRUE(user.count(1101));
  EXPECT_EQ(Titles(g_shell.mainMenu), "&File;&Edit;&View;&Goto;&Message;&Special;&Tools;&Window;&Help;");

  g_userRights.administratorMode = true;
  LoadMainMenu();
  std::set<int> admin = MenuIds(g_shell.mainMenu);
  for (int id : {1117, 1189, 1103, 1115, 1184}) EXPECT_TRUE(admin.count(id)) << id;
  EXPECT_FALSE(admin.count(1101));

  g_user.fullMenus = 0;
  LoadMainMenu();
  std::set<int> shortSet = MenuIds(g_shell.mainMenu);
  EXPECT_LT(shortSet.size(), admin.size());
  EXPECT_FALSE(shortSet.count(1468));
  EXPECT_TRUE(shortSet.count(1733));
}

TEST_F(ShellCommands, WithoutDravenetQuorlAndLocalTheSpecialMenuGoes) {
  AddService("net");
  LoadMainMenu();
  EXPECT_EQ(Titles(g_shell.mainMenu), "&File;&Edit;&View;&Goto;&Message;&Tools;&Window;&Help;");
  EXPECT_EQ(ExpectedMenuTitles(), Titles(g_shell.mainMenu));
}

TEST_F(ShellCommands, ListItemsCarryTheirNumbersAndShortcuts) {
  std::snprintf(g_favourites[9], sizeof g_favourites[9], "quorl:chat/general");
  std::snprintf(g_favourites[0], sizeof g_favourites[0], "quorl:news/today");
  std::snprintf(g_bookSetNames[9], sizeof g_bookSetNames[9], "Later");
  for (int i = 0; i < 21; ++i) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%smacro%02d.kbd", dir_.c_str(), i);
    FILE* f = std::fopen(name, "w");
    std::fputs("x", f);
    std::fclose(f);
  }
  LoadMainMenu();
  HMENU menu = g_shell.mainMenu;
  EXPECT_EQ(TextOf(menu, 1486).substr(0, 4), "&10 ");
  EXPECT_NE(TextOf(menu, 1486).find("\tCtrl+10"), std::string::npos);
  EXPECT_EQ(TextOf(menu, 1808), "1&0 Later\tAlt+0");
  EXPECT_EQ(TextOf(menu, 1885), "&10 quorl:chat/general");
  EXPECT_EQ(TextOf(menu, 1886), "&Any Folder...");
  EXPECT_EQ(TextOf(menu, 1283), "&More Macros...");
  EXPECT_FALSE(TextOf(menu, 1264).empty());
  EXPECT_TRUE(TextOf(menu, 1478).empty());  // empty favourite slots make no item
  for (int i = 0; i < 21; ++i) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%smacro%02d.kbd", dir_.c_str(), i);
    DeleteFileA(name);
  }
}

// The ids that reach the frame: the full menu with every item, the frame's
// accelerator tables and the glyph table.
std::set<int> FrameCommandIds() {
  std::set<int> ids;
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "PL_FULL");
  for (int id : MenuIds(menu))
    if (id > 0 && (id < 1796 || id > 1798) && id != 1819 && id != 1821 && id != 1887) ids.insert(id);
  DestroyMenu(menu);
  for (const char* table : {"GlobalAcc", "MyAccelerators", "FlistAcc"}) {
    HACCEL accel = LoadAcceleratorsA(GetModuleHandleA(nullptr), table);
    EXPECT_NE(accel, nullptr) << table;
    ACCEL keys[100];
    int n = CopyAcceleratorTableA(accel, keys, 100);
    for (int i = 0; i < n; ++i) ids.insert(keys[i].cmd);
  }
  int glyphs[400];
  int n = ToolbarGlyphIds(glyphs, 400);
  for (int i = 0; i < n; ++i)
    if (!IsRetiredToolbarId(glyphs[i]) && glyphs[i] != TOOLBAR_SEPARATOR) ids.insert(glyphs[i]);
  return ids;
}

TEST_F(ShellCommands, EveryCommandHasAHandlerOrSaysWhyNot) {
  g_userRights.administratorMode = true;
  LoadMainMenu();
  int refused = 0;
  for (int id : FrameCommandIds()) {
    const CommandRow* row = FindCommandRow(id);
    ASSERT_NE(row, nullptr) << id;
    if (!row->available) continue;  // runs here, or forwards to a window when there is one
    Recorded().status.clear();
    FrameCommand(id, 0);
    if (CommandAvailable(id)) continue;
    ASSERT_FALSE(Recorded().status.empty()) << id;
    EXPECT_NE(Recorded().status.back().find("not available yet"), std::string::npos) << id;
    ++refused;
  }
  EXPECT_GT(refused, 100);
  // A refused command is disabled in the menu as well.
  UpdateCommandStates();
  EXPECT_TRUE(GetMenuState(g_shell.mainMenu, 1002, MF_BYCOMMAND) & MF_GRAYED);
  g_commandHooks.OpenAddressBook = [] { OperationsRun().push_back("OpenAddressBook"); };
  UpdateCommandStates();
  EXPECT_FALSE(GetMenuState(g_shell.mainMenu, 1002, MF_BYCOMMAND) & MF_GRAYED);
  FrameCommand(1002, 0);
  EXPECT_EQ(OperationsRun(), std::vector<std::string>{"OpenAddressBook"});
}

TEST_F(ShellCommands, PostedCommandsNeedTheirRights) {
  g_userRights.word = 0x10020;
  g_commandHooks.RebuildMessageBase = [] { OperationsRun().push_back("RebuildMessageBase"); };
  g_commandHooks.MakeScriptCmd = [](const char*) {
    OperationsRun().push_back("MakeScriptCmd");
    return 2;
  };
  g_prompt.answer = [](const char*, const char*, char* answer, size_t, bool) {
    std::snprintf(answer, 8, "kill");
    return true;
  };
  for (int id : {1117, 1446, 1859, 1223}) PostMessageA(g_shell.frame, WM_COMMAND, id, 0);
  PumpTestMessages();
  g_prompt.answer = nullptr;
  EXPECT_TRUE(OperationsRun().empty());
  ASSERT_EQ(Recorded().status.size(), 4u);
  EXPECT_EQ(Recorded().status[0], "Reindex Folders: you lack the right for it");
  EXPECT_EQ(GetFileAttributesA((dir_ + "usrlock").c_str()), INVALID_FILE_ATTRIBUTES);

  g_userRights.word |= RIGHT_REINDEX;
  PostMessageA(g_shell.frame, WM_COMMAND, 1117, 0);
  PumpTestMessages();
  EXPECT_EQ(OperationsRun(), std::vector<std::string>{"RebuildMessageBase"});
}

TEST_F(ShellCommands, CyclesAndModesWrap) {
  g_user.headerMode = 1;
  std::vector<int> modes;
  for (int i = 0; i < 3; ++i) {
    FrameCommand(1719, 0);
    modes.push_back(g_user.headerMode);
  }
  EXPECT_EQ(modes, (std::vector<int>{2, 0, 1}));
  static int zoom = 0;
  static std::vector<int> zooms;
  zooms.clear();
  g_commandHooks.ZoomMode = [] { return zoom; };
  g_commandHooks.SetZoomMode = [](int mode) {
    zoom = mode;
    zooms.push_back(mode);
  };
  for (int i = 0; i < 3; ++i) FrameCommand(1737, 0);
  EXPECT_EQ(zooms, (std::vector<int>{1, 2, 0}));
  // The order in force already does nothing; another is stored.
  static int recreated = 0;
  g_commandHooks.BrowserOpen = [] { return true; };
  g_commandHooks.RecreateBrowser = [] { ++recreated; };
  g_user.readingMode = 4;
  FrameCommand(1788, 0);
  EXPECT_EQ(recreated, 0);
  FrameCommand(1790, 0);
  EXPECT_EQ(g_user.readingMode, 6u);
  EXPECT_EQ(recreated, 1);
}

class ShellToolbar : public ShellCommands {
 protected:
  void WriteTools(const char* buttons, const char* tips) {
    std::string ini = dir_ + "tester.ini";
    WritePrivateProfileStringA("Tools", "Buttons", buttons, ini.c_str());
    WritePrivateProfileStringA("Tools", "Tips", tips, ini.c_str());
  }
  POINT Centre(int row) {
    const ToolbarRect& r = g_toolbarRows[row].rect;
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Click(POINT down, POINT up) {
    SendMessageA(g_shell.toolbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
    SendMessageA(g_shell.toolbar, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
    PumpTestMessages();
  }
};

TEST_F(ShellToolbar, StoredButtonsLoadAndClicksFollowTheStates) {
  WriteTools("1191 1257 1100", "0");
  LoadToolbarSettings("tester");
  CreateToolbar();
  ASSERT_NE(g_shell.toolbar, nullptr);
  ASSERT_EQ(g_toolbarRows[0].id, 1147);
  ASSERT_EQ(g_toolbarRows[1].id, 1257);
  ASSERT_EQ(g_toolbarRows[2].id, 0);
  RECT frame;
  GetClientRect(g_shell.frame, &frame);
  MoveToolbar(0, 0, frame.right, ToolbarThickness());

  SetToolbarState(1147, false);
  Click(Centre(0), Centre(0));
  EXPECT_TRUE(FrameCommandsSeen().empty());  // a disabled button beeps and sends nothing

  SetToolbarState(1147, true);
  Click(Centre(0), POINT{400, 10});
  EXPECT_TRUE(FrameCommandsSeen().empty());  // released elsewhere

  Click(Centre(0), Centre(0));
  EXPECT_EQ(FrameCommandsSeen(), std::vector<int>{1147});

  Recorded().status.clear();
  SendMessageA(g_shell.toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(Centre(0).x, Centre(0).y));
  EXPECT_EQ(ToolTipWindow(), nullptr);
  ASSERT_FALSE(Recorded().status.empty());
  EXPECT_EQ(Recorded().status.back(), "Save As...");
}

TEST_F(ShellToolbar, DefaultToolbarWithTipsAndMenuShowsAndIsSaved) {
  AddService("quorl");
  AddService("local");
  g_userRights.word = 0x10020 | RIGHT_REINDEX | RIGHT_PRUNE | RIGHT_CONNECT | RIGHT_IMPORT;
  WriteTools("", "1");
  LoadToolbarSettings("tester");
  CreateToolbar();
  RECT frame;
  GetClientRect(g_shell.frame, &frame);
  SendMessageA(g_shell.frame, WM_SIZE, 0, MAKELPARAM(frame.right, frame.bottom));
  g_commandHooks.NewMessage = [](const char*) {};
  LoadMainMenu();
  int firstButton = 0;
  SetFocus(g_shell.frame);
  SendMessageA(g_shell.toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(Centre(firstButton).x, Centre(firstButton).y));
  RedrawWindow(g_shell.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  PumpTestMessages();
  Sleep(200);
  PumpTestMessages();
  EXPECT_TRUE(testwin::SaveWindowPng(g_shell.frame, "shell_toolbar.png"));
  if (HWND tip = ToolTipWindow()) {
    char text[64];
    EXPECT_NE(GetWindowRect(tip, &frame), 0);
    (void)text;
  }
  SaveToolbarSettings("tester");
  char buttons[200];
  GetPrivateProfileStringA("Tools", "Buttons", "", buttons, sizeof buttons, (dir_ + "tester.ini").c_str());
  EXPECT_EQ(std::string(buttons).substr(0, 15), "1182 1257 1103 ");
}

TEST_F(ShellToolbar, EveryGlyphLoadsInBothSizesAndDisabled) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  int ids[400];
  int n = ToolbarGlyphIds(ids, 400);
  for (int i = 0; i < n; ++i) {
    const char* name = ToolbarGlyphName(ids[i]);
    char large[16];
    std::snprintf(large, sizeof large, "l%.8s", name);
    for (const char* each : {name, static_cast<const char*>(large)}) {
      HBITMAP normal = LoadSysColorBitmap(instance, each, false);
      HBITMAP disabled = CreateDisabledBitmap(instance, each);
      EXPECT_NE(normal, nullptr) << each;
      EXPECT_NE(disabled, nullptr) << each;
      DeleteObject(normal);
      DeleteObject(disabled);
    }
  }
  for (const char* face : {"w95up", "w95down", "l95up", "l95down", "tspare", "ltspare"}) {
    HBITMAP bitmap = LoadSysColorBitmap(instance, face, true);
    EXPECT_NE(bitmap, nullptr) << face;
    DeleteObject(bitmap);
  }
}

}  // namespace

#include "shell/progress_bar.h"

namespace {

COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

TEST_F(ShellCommands, ProgressBarFillsWithDarkBlueBlocks) {
  ASSERT_TRUE(RegisterProgressBar(GetModuleHandleA(nullptr)));
  HWND bars[3];
  for (int i = 0; i < 3; ++i)
    bars[i] = CreateWindowExA(0, "stext", "", WS_CHILD | WS_VISIBLE, 10, 40 + i * 30, 300, 20, g_shell.frame, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(bars[0], PROGRESS_SET_POSITION, 40, 0);  // of the default range 100
  SendMessageA(bars[0], PROGRESS_ADVANCE, 10, 0);
  SendMessageA(bars[1], PROGRESS_SET_RANGE, 10, 0);
  SendMessageA(bars[1], PROGRESS_SET_POSITION, 25, 0);  // past the range: full
  SendMessageA(bars[2], PROGRESS_SET_RANGE, 0, 0);
  SendMessageA(bars[2], PROGRESS_SET_POSITION, 1, 0);  // a range of 0 counts as 1
  for (HWND bar : bars) UpdateWindow(bar);
  PumpTestMessages();
  const COLORREF blue = RGB(0, 0, 127);
  EXPECT_EQ(PixelOf(bars[0], 5, 10), blue);
  EXPECT_EQ(PixelOf(bars[0], 140, 10) == blue || PixelOf(bars[0], 141, 10) == blue, true);
  EXPECT_NE(PixelOf(bars[0], 250, 10), blue);
  for (HWND bar : {bars[1], bars[2]}) {
    bool anyNearEnd = false;
    for (int x = 280; x < 297; ++x) anyNearEnd |= PixelOf(bar, x, 10) == blue;
    EXPECT_TRUE(anyNearEnd);
  }
  EXPECT_TRUE(testwin::SaveWindowPng(g_shell.frame, "shell_progress.png"));
  for (HWND bar : bars) DestroyWindow(bar);
}

}  // namespace

namespace {

TEST_F(ShellCommands, OptionsPageListsTheMenuCommands) {
  g_userRights.administratorMode = true;
  LoadMainMenu();
  HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED, 0, 0, 200, 300,
                              g_shell.frame, nullptr, GetModuleHandleA(nullptr), nullptr);
  AddMenuCommands(list, g_shell.mainMenu);
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  std::vector<int> ids;
  for (int i = 0; i < count; ++i) ids.push_back(static_cast<int>(SendMessageA(list, LB_GETITEMDATA, i, 0)));
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(ids.front(), TOOLBAR_SEPARATOR);
  auto has = [&](int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
  EXPECT_TRUE(has(1719));  // Full headers stands for the header cycle
  EXPECT_FALSE(has(1785));
  EXPECT_FALSE(has(1786));
  EXPECT_FALSE(has(7001 + 100));
  EXPECT_TRUE(has(1117));
  EXPECT_TRUE(has(1250));
  // Each entry draws its glyph and name.
  HDC dc = GetDC(list);
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_LISTBOX;
  item.itemID = 1;
  item.hDC = dc;
  item.rcItem = {0, 0, 200, 26};
  item.itemData = 1145;
  DrawCommandItem(&item);
  EXPECT_EQ(GetPixel(dc, 150, 2), GetSysColor(COLOR_WINDOW));
  ReleaseDC(list, dc);
  DestroyWindow(list);
}

}  // namespace

#include "core/folder_names.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"

namespace {

std::vector<std::string>& ScriptsQueued() {
  static std::vector<std::string> queued;
  return queued;
}

TEST_F(ShellCommands, ServiceScriptItemsRunByTheirText) {
  AddService("quorl");
  FILE* log = std::fopen((dir_ + "general.log").c_str(), "w+");
  ASSERT_NE(log, nullptr);
  g_topic.log = log;
  std::snprintf(g_topic.openName, sizeof g_topic.openName, "quorl:chat/general");
  auto savedOpen = g_folderNameHooks.openFolderName;
  g_folderNameHooks.openFolderName = [] { return static_cast<const char*>("quorl:chat/general"); };
  const char* lines[][2] = {{"Read Resumes", "resume"}, {"-", ""}, {"Download Digest", "digest"}, {".", ""}};
  g_hconf.commandCount = 4;
  for (int i = 0; i < 4; ++i) {
    std::snprintf(g_hconf.commands[i].menuName, sizeof g_hconf.commands[i].menuName, "%s", lines[i][0]);
    std::snprintf(g_hconf.commands[i].keyword, sizeof g_hconf.commands[i].keyword, "%s", lines[i][1]);
  }
  ScriptsQueued().clear();
  g_commandHooks.MakeScriptCmd = [](const char* command) {
    ScriptsQueued().push_back(command);
    return 2;
  };
  LoadMainMenu();
  EXPECT_EQ(TextOf(g_shell.mainMenu, 1489), "R&ead Resumes");  // D, U and R belong to the fixed items
  EXPECT_EQ(TextOf(g_shell.mainMenu, 1491), "D&ownload Digest");
  FrameCommand(1491, 0);
  FrameCommand(1489, 0);
  EXPECT_EQ(ScriptsQueued(), (std::vector<std::string>{"digest", "resume"}));
  Recorded().status.clear();
  FrameCommand(1600, 0);  // no such item: handed to the MDI system, nothing said
  EXPECT_TRUE(Recorded().status.empty());
  g_hconf.commandCount = 0;
  g_folderNameHooks.openFolderName = savedOpen;
  g_topic.log = nullptr;
  g_topic.openName[0] = 0;
  std::fclose(log);
  DeleteFileA((dir_ + "general.log").c_str());
}

}  // namespace
