// The message block: the text form of an editor's state, from
// "MessageStart: 1.0" to "MessageEnd:", in a file (with the counted body) or
// as a string list with the body apart (an outbasket action being edited).
// Portable; the editor's controls are reached through EditorControlHooks.
#pragma once
#include <cstdio>

#include "compose/editor_state.h"

// What the block and the composer need of the editor's window. The Win32
// editor installs its functions; the defaults take the state as it is, with
// bodyText as the body.
struct EditorControlHooks {
  // Subject, To, Cc and Bcc read back from their controls into the state.
  void (*readFields)(EditorState* state);
  // The body with its soft line breaks shown (CR CR LF at every wrap point),
  // in a new malloc'd buffer; null when out of memory.
  char* (*bodyWithSoftBreaks)(EditorState* state);
};
extern EditorControlHooks g_editorControlHooks;

// Writes one block: to file when given, else into list and *body (grown to
// the body's length plus one). 0; 1 when a write to the file failed.
int WriteDraft(EditorState* state, FILE* file, CStrList* list, char** body);
// Fills the state from a block in the file, or from the list with the body
// apart (may be null). 0; 1 when the first line is not the start marker, there
// is no source, or a counted body cannot be read or skipped.
int ReadDraft(EditorState* state, FILE* file, CStrList* list, const char* body);

// The repeats of a message's recipients: within each list, then Cc entries
// that To holds, Bcc entries that Cc holds and Bcc entries that To holds.
void RemoveRecipientRepeats(EditorState* state);
