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

// Opens an editor in a mode (1 post, 2 reply, 3 mail, 4 reply by mail, 5 fax,
// ...); the new window, or 0 when none was made or the creation closed it.
HWND OpenEditor(int mode, const char* subject, const char* parameters, int flag);
HWND ActiveEditorWindow();
EditorState* ActiveEditorState();
WNDPROC EditorClassProcedure();

// The editor's entry points, as the browser and the frame call them.
HWND ReplyToMessage(const char* parameters);
HWND NewMessage(const char* parameters);
HWND NewMailTo(const char* subject, const char* parameters);
HWND ReplyByMail(const char* parameters);
HWND NewFax(const char* parameters);
// Puts the editor's functions into the shell's and the dispatcher's tables.
void InstallComposeHooks();

// The body edit's typing aids and the status panes they refresh.
void SubclassBodyEdit(EditorState* state);
void RefreshEditorStatus(EditorState* state);
// Frees the autocorrect list so that the next word reads it again.
void ReloadAutoCorrect();

// The signature for a folder name (falling back to its conference and its
// service) into out (320 bytes); SaveSig stores one (an empty text removes
// it), under the open topic's name when name is empty.
const char* GetSig(const char* name, char* out);
void SaveSig(const char* name, const char* text);
// The signature a new message ends with, macros replaced; empty for none.
const char* Tagline(bool mail);

// The spelling front end the editor's Spell Check (1449) calls; the spell
// module fills it at start-up. checkEditor returns 0 when nothing was checked.
struct EditorSpellHooks {
    int (*checkEditor)(HWND editor);
};
extern EditorSpellHooks g_editorSpellHooks;
