// What the rest of the program calls of composing (Win32): the local road of
// a finished message and the editor's entry points.
#pragma once
#include <windows.h>

#include "compose/editor_state.h"

// Writes a local message as import text and queues it: 0, or 1 (with the
// reason shown where the user can mend it) when nothing was queued.
int ComposeOutgoing(EditorState* state);
// szCustomHeaders from the user's "Headers" section.
void LoadCustomHeaders(EditorState* state);
