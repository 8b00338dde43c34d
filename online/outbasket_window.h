// The outbasket window "Marrowfold" (Win32): every queued action of the
// services under a heading row per service, to hold, release, delete and
// edit; also the preview a connection shows before it sends.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "online/action_file.h"

// Control and command ids of the window.
enum : int {
  kReviewList = 4084,
  kReviewEdit = 4060,
  kReviewDelete = 4054,
  kReviewHold = 4246,
  kReviewHelp = 4078,
  kReviewCollapse = 1450,
  kReviewExpand = 1451,
  kReviewSelectAll = 1319,
  kReviewNextControl = 3010,
  kReviewPreviousControl = 3016,
  kReviewEnterKey = 4403,
  kReviewMarkChanged = 5812,
};

// What the window needs of other windows. The defaults: no message editor
// (editing a queued message is refused until InstallOutbasketEditor), the MDI
// client of the frame, no message-base selection.
struct OutbasketWindowHooks {
  // Opens a message editor on a queued message. When the editor sends, the
  // record's lines and body are rewritten and the window gets command 5812
  // (argument 1 for the editor's Hold button); the window waits until the
  // editor is gone. Null when none opened.
  HWND (*editMessage)(HWND owner, OutbasketAction* action);
  HWND (*mdiClient)();
  // The folder selected in the message-base window; "" when none.
  const char* (*selectedFolder)();
};
extern OutbasketWindowHooks g_outbasketWindowHooks;
extern const OutbasketWindowHooks kDefaultOutbasketWindowHooks;

// Opens the window over the services (one when service is set) or a fixed
// action file. An open window is sent OK (Cancel when its last review ended
// with OK) and closes instead. In preview it returns once the window has
// gone, true when it ended with OK.
bool Review(const char* service, const char* fixedFile, int preview);
HWND OutbasketWindow();
LRESULT CALLBACK OutbasketWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The context menu of the window at a screen point.
void PopReviewMenu(HWND window, POINT screen);

// The window's list as it stands, for the tests that drive it.
ActionList* OutbasketWindowList();

// Puts the window's procedure into the class table and Review where the
// dispatcher and the connection call it; installs the editor below too.
void InstallOutbasketWindow();
// Edits queued messages in the program's message editor, through its
// action-editing entry and hooks.
void InstallOutbasketEditor();
