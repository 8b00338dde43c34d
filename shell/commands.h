// The main frame's command dispatcher, main menu, command states and toolbar:
// what the frame calls for every command and change of situation.
#pragma once
#include <windows.h>

// Runs one menu, toolbar or accelerator command; the frame sets the idle flag
// and help context around it.
void FrameCommand(int id, LPARAM lParam);
// Builds and installs the main menu for the current window, services and
// rights, then refreshes the command states.
void LoadMainMenu();
// Sets the enabled state of every command (menu items and toolbar buttons).
void UpdateCommandStates();
// Creates the toolbar window (child of g_shell.frame) and frees it again.
void CreateToolbar();
void FreeToolbar();
