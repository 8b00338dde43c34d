// The review text of an editor's message on a rich-text control: a heading
// of folder, sender and subject, then the body as it will be sent. Win32.
#pragma once
#include <windows.h>

#include "compose/editor_state.h"

// Fills the control; 1, also when there was no memory for the body (the
// control then stays as it was).
int BuildReviewText(EditorState* state, HWND control);
