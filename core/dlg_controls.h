// Moving a dialog control's contents (edit, list box, combo box) into a
// string list and back, so a dialog's entries survive between openings.
#pragma once
#include <windows.h>

#include "core/str_list.h"

// Both return 1 and change nothing for a control of another class, else 0.
int SaveDlgControls(CStrList& list, HWND control, bool append);
int RestoreDlgControls(CStrList& list, HWND control, bool append);
