// The browser window's own procedure: the caption strip over the thread list
// with its column dividers, the split bar drag, cursors, the links clicked in
// the message view, and the files written for viewing.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/browser.h"
#include "browser/message_ops.h"
#include "browser/link_target.h"
#include "browser/thread_list.h"
#include "browser/vlb.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "shell/commands_hooks.h"
#include "shell/status_bar.h"
#include "wrx/wrx.h"

namespace {

constexpr int kViewedFiles = 10;
char g_viewed[kViewedFiles][260];
char g_linkBuffer[4200];
HWND g_lastFocus = nullptr;

int LineHeight() {
  VlbState* s = g_browser.list ? VlbStateOf(g_browser.list) : nullptr;
  return s && s->rowHeight > 0 ? s->rowHeight : 16;
}

// The three divider positions, in the list's co-ordinates (the list sits 2
// pixels in from the window's left edge).
uint32_t* const kDividers[] = {&g_user.threadNumber, &g_user.threadFrom, &g_user.threadSubject};

const int kDividerDefaults[] = {64, 172, 324};

// A divider the settings leave at 0 stands where the rows are painted.
int DividerX(int i) { return (*kDividers[i] ? static_cast<int>(*kDividers[i]) : kDividerDefaults[i]) + 2; }

// The divider under x (hit zone 2 pixels left, 4 right); -1 none. The later
// two only outside composite folders.
int DividerAt(int x) {
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && g_browser.composite) break;
    if (x >= DividerX(i) - 2 && x <= DividerX(i) + 4) return i;
  }
  return -1;
}

std::string Caption(int id, const char* fallback) {
  char text[64];
  if (LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text) > 0) return text;
  return fallback;
}

void CaptionAt(HDC dc, const std::string& text, int left, int right, int height) {
  RECT r = {left + 4, 0, right - 2, height};
  if (r.right > r.left) DrawTextA(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void Raised(HDC dc, int x, int top, int bottom) {
  RECT r = {x - 1, top + 2, x + 1, bottom - 2};
  DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT);
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  if (g_browser.open) {
    const int header = BrowserHeaderHeight();
    if (header > 0 && g_browser.zoomMode != 2) {
      RECT strip = {0, 0, client.right, header};
      FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &strip, EDGE_RAISED, BF_RECT);
      HGDIOBJ old = SelectObject(dc, g_browser.threadFont ? g_browser.threadFont : GetStockObject(DEFAULT_GUI_FONT));
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetBkMode(dc, OPAQUE);
      CaptionAt(dc, Caption(14118, "Flags"), 0, DividerX(0), header);
      if (!g_browser.composite) {
        const bool library = IsDvnLibraryFolder(g_topic.openName);
        CaptionAt(dc, library ? Caption(14115, "Filename") : Caption(14114, "Author"), DividerX(1), DividerX(2),
                  header);
        CaptionAt(dc, Caption(14119, "Summary"), DividerX(2), client.right, header);
      } else {
        CaptionAt(dc, Caption(14119, "Summary"), DividerX(0), client.right, header);
      }
      for (int i = 0; i < 3; ++i)
        if (i == 0 || !g_browser.composite) Raised(dc, DividerX(i), 0, header);
      SelectObject(dc, old);
    }
    if (g_browser.paneBar && IsWindowVisible(g_browser.paneBar)) {
      RECT bar;
      GetWindowRect(g_browser.paneBar, &bar);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
      RECT edge = {0, bar.top - 2, client.right, bar.bottom + 2};
      DrawEdge(dc, &edge, EDGE_RAISED, BF_TOP | BF_BOTTOM);
    }
  } else {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  }
  EndPaint(window, &ps);
}

void RepaintPanes() {
  for (HWND pane : {g_browser.window, g_browser.list, g_browser.paneBar, g_browser.view})
    if (pane) RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

// The drags take only keyboard and mouse messages, so timers and paints
// wait until the drag ends.
bool NextDragMessage(MSG* msg) {
  for (;;) {
    if (PeekMessageA(msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
        PeekMessageA(msg, nullptr, WM_MOUSEFIRST, WM_MOUSEWHEEL, PM_REMOVE))
      return true;
    if (!g_browser.window || !IsWindow(g_browser.window)) return false;
    WaitMessage();
  }
}

void BeginDrag(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  ClipCursor(&r);
  SetCapture(window);
  SetCursor(LoadCursor(nullptr, IDC_SIZENS));
}

void EndDrag() {
  ReleaseCapture();
  ClipCursor(nullptr);
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  PumpMessages();
  SaveSettings();
}

void OnLinkCommand(int id) {
  switch (id) {
    case 4333:
      DebugLogF("WRX_LINK: url='%s'\n", g_linkBuffer);
      FollowLink(g_linkBuffer);
      break;
    case 4116:
      // Printing a linked document waits for the printing commands; it
      // opens the link like Open meanwhile.
      FollowLink(g_linkBuffer);
      break;
    case 14766:
      if (OpenClipboard(g_browser.window)) {
        EmptyClipboard();
        const size_t length = std::strlen(g_linkBuffer) + 1;
        if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length)) {
          std::memcpy(GlobalLock(block), g_linkBuffer, length);
          GlobalUnlock(block);
          if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
        }
        CloseClipboard();
      }
      break;
    default: break;
  }
}

LRESULT OnLinkNotification(const WrxLinkRec* rec) {
  if (!rec) return 0;
  if (rec->code[0]) DebugLogF("WRX_LINK: code='%s'\n", rec->code);
  char link[sizeof g_linkBuffer];
  if (!BrowserLinkText(rec->code, rec->text, link, sizeof link)) return 1;
  lstrcpynA(g_linkBuffer, link, sizeof g_linkBuffer);
  if (rec->activation) {
    DebugLogF("WRX_LINK: url='%s'\n", g_linkBuffer);
    FollowLink(g_linkBuffer);
    return 1;
  }
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), "PopOpenPrint");
  if (loaded) {
    POINT p;
    GetCursorPos(&p);
    TrackPopupMenu(GetSubMenu(loaded, 0), TPM_RIGHTBUTTON, p.x, p.y, 0, g_browser.window, nullptr);
    DestroyMenu(loaded);
  }
  return 1;
}

bool OnSetCursor(HWND window, LPARAM lParam) {
  if (LOWORD(lParam) != HTCLIENT) return false;
  POINT p;
  GetCursorPos(&p);
  HWND under = WindowFromPoint(p);
  char className[16] = "";
  if (under) GetClassNameA(under, className, sizeof className);
  if (lstrcmpiA(className, "edit") == 0) {
    SetCursor(LoadCursor(nullptr, IDC_IBEAM));
    return true;
  }
  if (under != window || !g_browser.open) return false;
  ScreenToClient(window, &p);
  const bool onDivider = p.y < BrowserHeaderHeight() && DividerAt(p.x) >= 0;
  SetCursor(LoadCursor(nullptr, onDivider ? IDC_SIZEWE : IDC_ARROW));
  return true;
}

void OnLeftButtonDown(HWND window, LPARAM lParam) {
  if (IsIconic(window) || !g_browser.open || ConferencesBusy) return;
  const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  if (y >= BrowserHeaderHeight()) return;
  const int divider = DividerAt(x);
  if (divider < 0) return;
  const int lower = divider == 0 ? 16 : DividerX(divider - 1) - 2 + 16;
  if (!*kDividers[divider]) *kDividers[divider] = static_cast<uint32_t>(kDividerDefaults[divider]);
  DragColumnDivider(kDividers[divider], lower);
}

void OnSize(HWND window, WPARAM type, LPARAM size) {
  if (type != SIZE_MINIMIZED) SaveWindowState(window, type == SIZE_MAXIMIZED ? 3 : 1, kBrowserPlacementSlot, false);
  if (type == SIZE_MINIMIZED) return;
  if (LOWORD(size) > 100 && HIWORD(size) > 100 && g_browser.open) LayoutBrowser(size);
  if (size) InvalidateRect(window, nullptr, TRUE);
}

void OnSetFocus() {
  if (!g_browser.open || !g_browser.list) return;
  HWND target =
      g_lastFocus && IsWindow(g_lastFocus) && IsChild(g_browser.window, g_lastFocus) ? g_lastFocus : g_browser.list;
  FocusIfActive(target);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  switch (id) {
    case kThreadListId:
      if (g_browser.open) ThreadListNotify(HIWORD(lParam));
      return 0;
    case 1319:
      if (ViewHasFocus() && g_browser.view)
        SendMessageA(g_browser.view, WM_COMMAND, 1319, 0);
      else if (g_browser.list)
        VlbCommand(g_browser.list, kVlbSelectAll, 0, 0);
      return 0;
    case 4333:
    case 4116:
    case 14766: OnLinkCommand(id); return 0;
    case 1317:
      if (g_topic.log) PasteMessages(g_topic.openName, -1);
      return 0;
    default: break;
  }
  return DefMDIChildProcA(window, WM_COMMAND, wParam, lParam);
}

}  // namespace

int BrowserHeaderHeight() { return g_browser.zoomMode == 2 ? 0 : LineHeight() + 6; }

const char* BrowserLinkBuffer() { return g_linkBuffer; }

void DragSplitter() {
  if (g_browser.zoomMode != 0 || g_browser.composite || !g_browser.window) return;
  HWND window = g_browser.window;
  BeginDrag(window);
  const int line = LineHeight(), header = BrowserHeaderHeight();
  MSG msg;
  while (NextDragMessage(&msg)) {
    if ((msg.message == WM_CHAR && msg.wParam == 27) || msg.message == WM_LBUTTONUP) break;
    if (msg.message != WM_MOUSEMOVE) continue;
    POINT p = {static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    if (msg.hwnd != window) MapWindowPoints(msg.hwnd, window, &p, 1);
    RECT client;
    GetClientRect(window, &client);
    const int y = SnapSplitY(p.y < 0 ? 40000 : p.y, 0, header, line, client.bottom);
    if (client.bottom > 0) g_splitRatio = static_cast<float>(y) / static_cast<float>(client.bottom);
    LayoutBrowser(0);
    RepaintPanes();
    SyncCurrentMessage();
  }
  EndDrag();
}

void DragColumnDivider(uint32_t* divider, int lowerBound) {
  if (!divider || !g_browser.window) return;
  const uint32_t start = *divider;
  HWND window = g_browser.window;
  BeginDrag(window);
  SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
  auto place = [&](const MSG& msg) {
    POINT p = {static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    if (msg.hwnd != window) MapWindowPoints(msg.hwnd, window, &p, 1);
    RECT list = {0, 0, 0, 0};
    if (g_browser.list) GetClientRect(g_browser.list, &list);
    int x = p.x - 2;
    if (x > list.right) x = list.right;
    if (x < lowerBound) x = lowerBound;
    *divider = static_cast<uint32_t>(x);
  };
  MSG msg;
  while (NextDragMessage(&msg)) {
    if (msg.message == WM_CHAR && msg.wParam == 27) {
      *divider = start;
      break;
    }
    if (msg.message == WM_MOUSEMOVE) {
      place(msg);
      RepaintPanes();
    }
    if (msg.message == WM_LBUTTONUP) {
      place(msg);
      break;
    }
  }
  EndDrag();
  RepaintPanes();
}

void AddViewedFile(const char* path) {
  if (!path || !path[0]) return;
  for (auto& entry : g_viewed)
    if (!entry[0]) {
      lstrcpynA(entry, path, sizeof entry);
      return;
    }
}

void ClearViewedFiles() {
  for (auto& entry : g_viewed) entry[0] = 0;
}

void PurgeViewedFiles() {
  char ini[MAX_PATH], extensions[256];
  if (!IniFilePath(g_userIniName, ini, sizeof ini)) return;
  GetPrivateProfileStringA("Main", "Viewed Delete Extensions", "", extensions, sizeof extensions, ini);
  const bool keepPictures = GetPrivateProfileIntA("Main", "Keep Viewed Pictures", 0, ini) != 0;
  const bool keepOthers = GetPrivateProfileIntA("Main", "Keep Viewed Files", 0, ini) != 0;
  for (auto& entry : g_viewed) {
    if (!entry[0]) continue;
    const char* slash = std::strrchr(entry, '\\');
    const char* dot = std::strrchr(slash ? slash : entry, '.');
    if (!dot) {
      entry[0] = 0;
      continue;
    }
    const char* extension = dot + 1;
    char list[256];
    lstrcpynA(list, extensions, sizeof list);
    for (char* item = std::strtok(list, ";,"); item; item = std::strtok(nullptr, ";,"))
      if (SameText1252(strtrim(item), extension)) DeleteFileA(entry);
    if (SameText1252(extension, "tmp")) {
      DeleteFileA(entry);
    } else if (SameText1252(extension, "jpg") || SameText1252(extension, "jpeg") || SameText1252(extension, "bmp")) {
      if (!keepPictures) DeleteFileA(entry);
    } else if (!keepOthers) {
      DeleteFileA(entry);
    }
    entry[0] = 0;
  }
}

LRESULT CALLBACK BrowserFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DebugLog("DOWN: WM_CLOSE start\n");
      logclose();
      DebugLog("DOWN: WM_CLOSE end\n");
      break;
    case WM_DESTROY:
      if (g_browser.window == window) {
        CloseBrowser();
        g_browser.window = nullptr;
      }
      return 0;
    case WM_MOVE:
      if (!IsIconic(window)) SaveWindowState(window, IsZoomed(window) ? 3 : 1, kBrowserPlacementSlot, false);
      break;
    case WM_SIZE: OnSize(window, wParam, lParam); break;
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_ERASEBKGND: return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(window, lParam)) return 1;
      break;
    case WM_LBUTTONDOWN: OnLeftButtonDown(window, lParam); return 0;
    case WM_RBUTTONUP: {
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ShowZoomMenu(window, p);
      return 0;
    }
    case WM_PARENTNOTIFY:
      if (LOWORD(wParam) == WM_LBUTTONDOWN || LOWORD(wParam) == WM_RBUTTONDOWN) g_lastFocus = GetFocus();
      break;
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WRXN_LINK: return OnLinkNotification(reinterpret_cast<const WrxLinkRec*>(lParam));
    default: break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}
