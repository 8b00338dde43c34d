// What the rest of the program calls of composing (Win32): the local road of
// a finished message and the editor's entry points.
#pragma once
#include <windows.h>

#include <cstdio>

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
// The user's notes: in an editor on "<user>.not", or in the notes program
// when "Multi Notes" is on.
HWND OpenNotes();
// An editor on a queued action's block lines and body (both handed back on
// OK or Hold), or on a block saved in an open file.
HWND OpenEditorOnAction(CStrList* lines, char** body);
HWND OpenEditorOnBlock(FILE* file);
// The services a new mail can go through, for a list or combo box.
void FillServiceList(HWND control);

// Text into an editor's body: at the very start, or in place of the
// selection; the caret behind it and scrolled into view.
void EditorInsertText(HWND editor, const char* text, bool atStart);
void EditorCaretToTop(HWND editor);
// A file's text at the caret (lone LFs made CR LF): 0, or 1 when it cannot
// be read.
int InsertTextFile(HWND editor, const char* path);
// The body into a new file: 0, or 1 when it cannot be created.
int SaveEditText(HWND editor, const char* path);
// The Signature dialog of the selected folders or the open topic.
void SignatureDialog();
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

// What the editor tells other parts when it hands something over; no-ops
// until those parts exist.
struct ComposeHooks {
  // An edited outbasket action's lines and body were rewritten (Hold or OK).
  void (*actionEdited)(bool hold);
  // The resume edited in mode 24 is to be sent.
  void (*queuePutResume)();
  // Runs the notes program's command line (WinExec by default).
  UINT (*runNotesProgram)(const char* commandLine);
  // The outbasket window whose queued action is being edited (its control
  // 4246 names the editor's Hold button); null when none is open.
  HWND (*outbasketWindow)();
};
extern ComposeHooks g_composeHooks;
