// The main loop, the pre-translation of keys, the folder refresh and the
// focus walk of the MDI windows.
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "resources/shell_ids.h"
#include "shell/toolbar.h"
#include "shell/commands.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/startup.h"

ModelessRow g_modelessWindows[MODELESS_ROWS];

namespace {

bool s_refreshing = false;

bool Translate(HWND window, HACCEL table, MSG* msg) {
  return window && table && TranslateAcceleratorA(window, table, msg);
}

bool IsFocusOrChildOf(HWND focus, HWND window) {
  return window && focus && (focus == window || GetParent(focus) == window);
}

bool CtrlOrAlt() { return (GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_MENU) & 0x8000); }

bool TitleIs(HWND window, const char* title) {
  char text[64] = "";
  if (window) GetWindowTextA(window, text, sizeof text);
  return window && std::strcmp(text, title) == 0;
}

bool IsClass(HWND window, const char* name) {
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  return lstrcmpiA(className, name) == 0;
}

bool PreTranslateSeam(MSG* msg) { return PreTranslateAppMessage(msg); }

}  // namespace

bool IsRefreshing() { return s_refreshing; }

bool PreTranslateAppMessage(MSG* msg) {
  CheckToolTipMessage(msg);
  const AcceleratorTables& a = g_accelerators;
  HWND frame = g_shell.frame;
  HWND focus = GetFocus();
  if (focus) {
    for (const ModelessRow& row : g_modelessWindows) {
      if (!row.window || (row.window != focus && row.window != GetParent(focus))) continue;
      if (Translate(row.window, a.nonmodal, msg) || Translate(frame, a.global, msg)) return true;
    }
    HWND parent = GetParent(focus);
    if (TitleIs(parent, "ReThread Messages")) {
      if (Translate(parent, a.ctrlTab, msg) || IsDialogMessageA(parent, msg)) return true;
    }
  }
  if (FindWindowA(nullptr, "ReThread Messages") && Translate(frame, a.ctrlTab, msg)) return true;
  HWND editor = g_shellHooks.activeEditorWindow();
  if (editor && Translate(editor, a.msgEd, msg)) return true;

  struct Row {
    HWND window;
    HACCEL table;
    bool global;
    int plainKeysControl;
  };
  const Row rows[] = {
      {g_shellHooks.mbwWindow(), g_user.hideButtons ? a.join : a.butJoin, true, 4098},
      {nullptr, a.subscribe, false, 14673},  // the subscribe window, when its owner provides it
      {g_shellHooks.addressBookWindow(), a.addr, false, 0},
      {nullptr, a.connect, false, 0},
      {nullptr, a.sched, true, 0},
      {nullptr, a.res, false, 0},
      {nullptr, a.bmk, true, 0},
      {nullptr, a.modFlist, true, 0},
      {nullptr, a.review, true, 0},
      {g_shell.statusWindow, a.status, false, 0},
  };
  for (const Row& row : rows) {
    if (!IsFocusOrChildOf(focus, row.window)) continue;
    if (row.plainKeysControl && GetDlgCtrlID(focus) == row.plainKeysControl && !CtrlOrAlt()) return false;
    if (Translate(row.window, row.table, msg)) return true;
    if (row.global && Translate(frame, a.global, msg)) return true;
  }
  HWND browser = g_shellHooks.browserWindow();
  if (g_shellHooks.threadList() && focus && (focus == browser || IsChild(browser, focus))) {
    if (Translate(frame, a.my, msg) || Translate(frame, a.global, msg)) return true;
    if (g_shellHooks.browsingComposite() && Translate(frame, a.flist, msg)) return true;
  }
  if (g_shell.mdiClient && TranslateMDISysAccel(g_shell.mdiClient, msg)) return true;
  if (focus && focus == g_shell.mdiClient && Translate(frame, a.global, msg)) return true;
  HWND portrait = g_shellHooks.portraitWindow();
  if (focus && focus == portrait && Translate(portrait, a.global, msg)) return true;
  return false;
}

int RunMessageLoop() {
  g_fileIoHooks.preTranslateMessage = PreTranslateSeam;
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  MSG msg = {};
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    if (!PreTranslateAppMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    // A guard caught at a window procedure outside any command ends here.
    g_app.abortPending = false;
    MSG peek;
    if (!g_app.aborted && g_shellHooks.threadListRefillPending() && !PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE))
      g_shellHooks.fillThreadList();
    if (g_app.quitSeen) break;
  }
  return static_cast<int>(msg.wParam);
}

void RefreshFolders() {
  HWND focus = GetFocus();
  HWND threadList = g_shellHooks.threadList();
  bool listHadFocus = focus && focus == threadList;
  BeginWait();
  s_refreshing = true;
  g_app.quitSeen = true;  // no nested dispatch meanwhile
  bool logChanged = logchanged() != 0;
  bool topicOpen = g_topic.log != nullptr;
  char openName[100] = "";
  std::memcpy(openName, g_topic.openName, sizeof openName);
  if (topicOpen)
    logclose();
  else
    wtuconf();
  rduconf();
  if (topicOpen) SwitchTopic(openName);
  g_shellHooks.updateFolderView();
  if (g_shellHooks.mbwWindow()) {
    g_shellHooks.mbwFillList();
    if (g_topic.log) g_shellHooks.mbwSelectFolder(g_topic.openName);
  }
  EndWait();
  setstatusid(logChanged ? IDS_FOLDER_UPDATED : IDS_FOLDER_LIST_UPDATED);
  g_app.quitSeen = false;
  s_refreshing = false;
  if (focus && IsWindow(focus) && (listHadFocus || IsChild(g_shellHooks.browserWindow(), focus))) FocusIfActive(focus);
  UpdateCommandStates();
}

void NextFocus(bool forward) {
  HWND focus = GetFocus();
  if (!focus) return;
  char className[49] = "";
  GetClassNameA(focus, className, sizeof className);
  bool takeButtons = lstrcmpiA(className, "button") == 0 || lstrcmpiA(className, "listbox") == 0 ||
                     lstrcmpiA(className, "combobox") == 0 || lstrcmpiA(className, "VLBCLASS") == 0;
  HWND parent = GetParent(focus);
  HWND candidate = focus;
  for (;;) {
    HWND next = GetWindow(candidate, forward ? GW_HWNDNEXT : GW_HWNDPREV);
    if (!next) next = GetWindow(parent ? GetWindow(parent, GW_CHILD) : candidate, forward ? GW_HWNDFIRST : GW_HWNDLAST);
    candidate = next;
    if (!candidate || candidate == focus) break;
    RECT client;
    GetClientRect(candidate, &client);
    if (IsClass(candidate, "static") || !IsWindowEnabled(candidate) || !IsWindowVisible(candidate) || client.right == 0)
      continue;
    if (!takeButtons && IsClass(candidate, "button")) continue;
    break;
  }
  if (!candidate) return;
  FocusIfActive(candidate);
}
