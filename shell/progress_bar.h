// The segmented progress bar control (class "stext") for dialogs that show a
// task's progress: WM_USER sets the range, WM_USER + 2 the position and
// WM_USER + 4 adds to it.
#pragma once
#include <windows.h>

enum : UINT { PROGRESS_SET_RANGE = WM_USER, PROGRESS_SET_POSITION = WM_USER + 2, PROGRESS_ADVANCE = WM_USER + 4 };

bool RegisterProgressBar(HINSTANCE instance);
