// The dispatcher's table: for each command id (or run of ids) the right it
// needs, its handler and whether the operation behind it exists yet.
#pragma once
#include <windows.h>

struct CommandRow {
  int first, last;      // the ids the row covers
  unsigned long right;  // 0: none needed
  void (*handler)(int id, LPARAM lParam);
  bool (*available)();  // null: handled here, always available
};

// The row of an id; null for ids that go to DefFrameProc.
const CommandRow* FindCommandRow(int id);
// Every row, for the command states.
const CommandRow* CommandRows(int* count);
// Whether the user holds the right a command needs (the administrator has all).
bool MayRunCommand(int id);
// Whether the operation behind the command exists.
bool CommandAvailable(int id);
// Sets the enabled state of a command's menu item and toolbar buttons.
void SetToolbarState(int id, bool enabled);
// Stores the header mode and shows the current message in it again.
void SetHeaderMode(int mode);
