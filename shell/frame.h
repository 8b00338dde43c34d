// The main frame "PL" (or "PL2" for an instance the scheduler started).
#pragma once
#include <windows.h>

enum : UINT {
  FRAME_TIMER = 4,
  MDI_CLIENT_ID = 3244,
  FIRST_MDI_CHILD = 7100,
  MSG_MACRO_ENDED = 33068,
  MSG_POLL_NOW = 33171,
  MSG_FOLLOW_LINK = 33269,
  MSG_SAVE_BOOKMARKS = 33270,
  MSG_LOAD_BOOKMARKS = 33271,
  MSG_CONNECT = 33273,
};

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool CreateFrameWindow(bool scheduler);

// A newsgroup reference made into the folder name it names, in place (the
// buffer holds at least 200 bytes).
void ResolveNewsLink(char* text);
int OutbasketHasItems(const char* path);
// Whether the service directory's action file holds items (both names tried).
bool ServiceOutbasketHasItems(const char* service);
bool IsNewShell();
bool IsWinNT();
bool IsActiveChildMaximized(HWND mdiClient);
LRESULT EditGetSel(HWND edit, WPARAM start, LPARAM end);
LRESULT EditSetSel(HWND edit, WPARAM start, LPARAM end);

// The connect list: the services of the next connection, joined by ";".
void SetConnectList(const char* services);
const char* ConnectList();

// Links that this program itself queued for message 33269: the message
// carries a ticket, never a pointer another program could choose.
LPARAM QueueFrameLink(const char* link);

// What the frame's poll and close read of its state; tests look at it.
struct FrameState {
  bool idle = true;
  bool pollNow = true;
  unsigned pollCounter = 0;
  bool helpRequest = false;
  int menuGuard = 0;
  bool childMaximised = false;
  bool shown = false;
  HFONT font = nullptr;
  int lineHeight = 0;
  int smallGap = 0;
  float splitRatio = 0.4f;
  int splitPosition = 0;
  HCURSOR splitCursor = nullptr, splitThreadCursor = nullptr;
  int polls = 0;  // polls run, for tests of the poll period
  // From the first question of a close until the frame is gone: a second
  // start's switches are refused, or they would go down with the frame.
  bool closing = false;
};
extern FrameState g_frame;
