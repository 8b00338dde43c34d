// The browser's shared state (one browser at a time) and what it asks of the
// subsystems that come after it.
#pragma once
#include <windows.h>

// The thread list's control id in the browser.
constexpr int kThreadListId = 2000;
// The frame command that a double-click in a library or composite folder sends.
constexpr int kDownloadFileCommand = 1140;

struct BrowserState {
  bool open = false;
  bool composite = false;  // the folder name holds the byte 0xFF
  bool mailFolder = false, newsFolder = false, libraryFolder = false;
  bool numberColumn = true;
  int zoomMode = 0;       // 0 list and view, 1 list only, 2 view only
  char folder[100] = "";  // the current folder, lower-cased
  long currentMessage = 0;
  long lastShown = -1;  // -1 forces the next refresh
  bool refreshPending = false;
  HWND window = nullptr;  // the browser MDI child
  HWND list = nullptr;    // the thread list (VLBCLASS, id 2000)
  HWND paneBar = nullptr;
  HWND view = nullptr;
  HFONT threadFont = nullptr;
  int numberDigits = 2;  // 1 + the digits of the folder's last number
  int levelOffset = 0;   // the first tree level shown, 0 to 99
  int listRows = 0;      // rows the list pane shows, from the layout
};
extern BrowserState g_browser;

// "Reading Mode": 3 to 7 (anything else reads as 5).
extern int MessageOrder;

// Calls into subsystems built later. Defaults do the least: no outbasket
// ghosts, no history, no frame to send commands to.
struct BrowserHooks {
  int (*getGhostKind)(long number);  // GetGhostKind
  // NextGhost: the open topic's next ghost; false at the end. *position
  // starts at 0.
  bool (*nextGhost)(int* position, long* number, bool* reply, bool* cancel);
  void (*frameCommand)(int id);                          // FrameCommand
  void (*pushHistory)(const char* folder, long number);  // PushHistory
  void (*showCurrentMessage)();                          // ShowCurrentMessage
  void (*setStatusProgress)(int percent);                // the status bar's progress value
};
extern BrowserHooks g_browserHooks;
