// A small MDI frame for the window tests of the dispatcher, menus and
// toolbar, until the program's own frame is there to drive.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Creates the frame and its MDI client into g_shell; its WM_COMMAND runs
// FrameCommand and records the id.
void CreateTestFrame();
void DestroyTestFrame();
std::vector<int>& FrameCommandsSeen();
// Runs every waiting message.
void PumpTestMessages();
