// The browser's three context menus: the message view's, the thread list's
// and the zoom menu of the pane bar, each adjusted to the browser's state and
// tracked with the commands going to the main window.
#include <windows.h>

#include "browser/browser.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/user_settings.h"
#include "msgbase/topic_open.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"

namespace {

const int kFolderItems[] = {1205, 1134, 1137, 1188, 1147, 1140, 1476, 1158, 1149, 1719};
const int kOrderItems[] = {1788, 1789, 1790, 1791, 1792};
const int kZoomItems[] = {1736, 1734, 1735};  // by zoom mode 0, 1, 2

int OrderItem() {
  switch (MessageOrder) {
    case 5: return 1789;
    case 6: return 1790;
    case 3: return 1791;
    case 7: return 1792;
    default: return 1788;
  }
}

void Mark(HMENU menu, int item, bool on, bool radio, int first, int last) {
  if (radio && on)
    CheckMenuRadioItem(menu, first, last, item, MF_BYCOMMAND);
  else
    CheckMenuItem(menu, item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void MarkOrderAndZoom(HMENU menu, bool radio) {
  for (int item : kOrderItems) Mark(menu, item, item == OrderItem(), radio, 1788, 1792);
  for (int mode = 0; mode < 3; ++mode) Mark(menu, kZoomItems[mode], mode == g_browser.zoomMode, radio, 1734, 1736);
}

void Track(HWND window, POINT point, const char* resource, void (*prepare)(HMENU)) {
  if (g_browser.window && g_shell.mdiClient)
    SendMessageA(g_shell.mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(g_browser.window), 0);
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), resource);
  if (!loaded) return;
  HMENU popup = GetSubMenu(loaded, 0);
  prepare(popup);
  ClientToScreen(window, &point);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, g_shell.frame ? g_shell.frame : window, nullptr);
  DestroyMenu(loaded);
}

}  // namespace

void PrepareMvwMenu(HMENU menu) {
  if (!g_topic.log)
    for (int item : kFolderItems) EnableMenuItem(menu, item, MF_BYCOMMAND | MF_GRAYED);
  if (!HaveQuorl() && !HaveDvn()) DeleteMenu(menu, 1140, MF_BYCOMMAND);
  const int header = g_user.headerMode <= 2 ? static_cast<int>(g_user.headerMode) : 0;
  for (int mode = 0; mode < 3; ++mode) Mark(menu, 1785 + mode, mode == header, true, 1785, 1787);
}

void PrepareThreadMenu(HMENU menu) {
  const bool current = g_browser.open && g_browser.currentMessage > 0;
  EnableMenuItem(menu, 1316, MF_BYCOMMAND | (current ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, 1137, MF_BYCOMMAND | (current ? MF_ENABLED : MF_GRAYED));
  const bool messages = IsClipboardFormatAvailable(RegisterClipboardFormatA("500_MESSAGE")) != 0;
  EnableMenuItem(menu, 1317, MF_BYCOMMAND | (messages ? MF_ENABLED : MF_GRAYED));
  MarkOrderAndZoom(menu, true);
}

void PrepareZoomMenu(HMENU menu) { MarkOrderAndZoom(menu, false); }

void ShowMvwMenu(HWND window, POINT point) {
  if (g_main.reserved & 2) {
    g_shellHooks.openMbw();
    return;
  }
  Track(window, point, "PopMVWMenu", PrepareMvwMenu);
}

void ShowThreadMenu(HWND window, POINT point) { Track(window, point, "PopThreadMenu", PrepareThreadMenu); }

void ShowZoomMenu(HWND window, POINT point) { Track(window, point, "ZoomMenu", PrepareZoomMenu); }
