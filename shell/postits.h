// Post-it notes: urgent messages the import program lists in postits.log.
#pragma once
#include <windows.h>

long PostitsPending();
int PollPostits();
LRESULT CALLBACK PostitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Opens a note window for one line of postits.log.
HWND OpenPostitWindow(const char* line);
