// The main menu: built from a menu set for the current window, services,
// rights and settings, with its lists of scripts, macros, tools, favourites
// and scheduled jobs.
#pragma once
#include <windows.h>

struct MenuState {
  bool justRebuilt = false;
  int testMenuSet = 0;  // the test switch's number: PL_TEST%d instead of PL_FULL
  char macroSlots[20][261] = {};
};
extern MenuState g_menuState;

int RefreshMenuTexts(HMENU menu);
int ExpandMenuPlaceholders(HMENU menu);
void AppendServiceScripts(HMENU menu);
void AppendMacroMenu(HMENU menu);
void AppendSchedulerJobs(HMENU menu);
int TidyMenu(HMENU menu);
int CheckPopupsEnabled(HMENU menu);
void DestroyMenuTree(HMENU menu);
// "&Special" is there when a Dravenet, Quorl or local service is installed.
const char* ExpectedMenuTitles();
// The text of a frame-menu item, "&" removed and cut at a tab when asked.
bool MenuItemText(HMENU menu, int id, char* out, int size, bool cutAtTab);
