// The command lists of the options dialog's Toolbar page: which commands are
// offered, and how each is drawn (glyph and name).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/resstr.h"
#include "core/folder_names.h"
#include "core/user_settings.h"
#include "shell/menus.h"
#include "shell/shell_state.h"
#include "shell/toolbar.h"

namespace {

void AddId(HWND list, int id) { SendMessageA(list, LB_ADDSTRING, 0, id); }

void AddMenuLevel(HWND list, HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      AddMenuLevel(list, sub);
      continue;
    }
    int id = static_cast<int>(GetMenuItemID(menu, i));
    if (id < 1 || (id >= 7100 && id <= 7200) || (id >= 1489 && id <= 1689) || id == 1786 || id == 1787) continue;
    if ((id & 0xF000) == 0xF000) continue;
    AddId(list, id == 1785 ? 1719 : id);
  }
}

void ItemText(int id, char* text, size_t size) {
  text[0] = 0;
  if (id >= 1264 && id <= 1282) {
    const char* path = g_menuState.macroSlots[id - 1264];
    const char* file = std::strrchr(path, '\\');
    std::snprintf(text, size, "%s", file ? file + 1 : path);
    if (char* dot = std::strrchr(text, '.')) *dot = 0;
  } else if (id >= 1477 && id <= 1486) {
    std::snprintf(text, size, "%s", g_favourites[id - 1477]);
  } else if (id >= 1876 && id <= 1885) {
    std::snprintf(text, size, "Send to %s", g_favourites[id - 1876]);
  } else if ((id >= 1013 && id <= 1098) || (id >= 1489 && id <= 1689)) {
    MenuItemText(g_shell.mainMenu, id, text, static_cast<int>(size), true);
  } else {
    std::snprintf(text, size, "%s", loadstr(id));
  }
}

}  // namespace

void AddMenuCommands(HWND list, HMENU menu) {
  AddId(list, TOOLBAR_SEPARATOR);
  if (menu) AddMenuLevel(list, menu);
  for (int id : {1179, 1178, 1472, 1734, 1735, 1736}) AddId(list, id);
  for (int id = 1241; id <= 1250; ++id) AddId(list, id);
  AddId(list, 1177);
  if (iscurservice("dvn"))
    for (int id = 1740; id <= 1744; ++id) AddId(list, id);
}

void DrawCommandItem(const DRAWITEMSTRUCT* item) {
  if (item->itemID == static_cast<UINT>(-1)) return;
  int id = static_cast<int>(item->itemData);
  HDC dc = item->hDC;
  RECT r = item->rcItem;
  bool selected = item->itemState & ODS_SELECTED;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_WINDOWTEXT : COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_WINDOW : COLOR_WINDOWTEXT));
  if (id != TOOLBAR_SEPARATOR) {
    HBITMAP glyph = LoadToolbarGlyph(ToolbarGlyphName(id), false, false);
    DrawButtonFace(dc, glyph, r.left + 2, r.top + 2, false, true);
    if (glyph) DeleteObject(glyph);
  }
  char text[128];
  ItemText(id, text, sizeof text);
  RECT textRect = {r.left + (g_toolbarSettings.large ? 48 : 30), r.top, r.right, r.bottom};
  DrawTextA(dc, text, -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}
