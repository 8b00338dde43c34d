// Re-threading the current message onto another parent, or making it a root.
#pragma once
#include <windows.h>

void ReThreadMessages();
// The dialog alone: -1 cancelled, 0 a root, or the new parent's number.
long AskReThread(long number);
INT_PTR CALLBACK ReThreadProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
