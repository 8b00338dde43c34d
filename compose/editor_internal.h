// What the editor window's files share among themselves (Win32): the window's
// layout and body, its commands, dialogs and sender. Not for other modules.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "compose/editor_state.h"

enum : int {
  ID_EDITOR_BODY = 3000,
  ID_EDITOR_TO = 3001,
  ID_EDITOR_CC = 3002,
  ID_EDITOR_SUBJECT = 3003,
  ID_EDITOR_BCC = 14738,
  ID_EDITOR_SERVICE = 3029,
  // The address book's answer: recipient text for one of the address fields.
  WM_ADDRECIPIENTS = 33170,
};

EditorState* EditorStateOf(HWND window);
void LayoutEditor(EditorState* s);
// Makes the body edit in the style of bWordWrap, with its limit, tab stop
// and subclass.
void CreateBodyEdit(EditorState* s);
void SetEditorTitle(EditorState* s);
// Inserts the text quoted at the caret ("> " or bracket style).
void QuoteText(EditorState* s, const std::string& text, bool bracket);
void ShowAttachmentCount(EditorState* s);
// A control's text, trailing blanks removed.
std::string EditorFieldText(HWND edit);
// The same with the blanks kept.
std::string EditorFieldTextRaw(HWND edit);
std::string EditorBodyText(EditorState* s);

// The commands of the buttons, menus and accelerators beyond sending; false
// when the id is none of them.
bool EditorCommand(EditorState* s, int id, int code, LPARAM lParam);
void EditorDropFiles(EditorState* s, HDROP drop);
void EditorAddRecipients(EditorState* s, WPARAM field, const char* text);
void EditorPopupMenu(EditorState* s, POINT screen);
// Before text is inserted or pasted: asks or decides whether the message goes
// with its line breaks as shown.
void SendAsShownDecision(EditorState* s);
// One entry per non-empty line of the merge file, held for Hold; false when
// the data file cannot be read or a write failed.
bool WriteMergeEntries(EditorState* s, FILE* outbasket, bool hold);

// The sender's name and address for the service (and the Receipt box).
void SetSender(EditorState* s, bool refresh);
// The sender-forms file of the user: "%s%.8s.frm".
std::string SenderFormsPath();

// Dialogs.
int SendAsShownDialog(EditorState* s);
void EditOptionsDialog(EditorState* s);
void EditAttachmentsDialog(EditorState* s);

// The field edits' subclass (Enter to the next field, sentence capitals,
// overwrite mode, the status timer).
void SubclassFieldEdit(EditorState* s, HWND edit);

// The typing aids of every edit: autocorrect of the word a separator ends and
// sentence capitals (by "Dictionary Options"); overwrite mode, true when it
// typed the character itself.
void ApplyTypingAids(HWND edit, unsigned char c);
bool TypeOverwriting(EditorState* s, HWND edit, unsigned char c);
