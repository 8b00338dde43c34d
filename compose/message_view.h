// The message view on the rich-text control: building the display of a
// message of the open topic, its fonts, and the control itself.
#pragma once
#include <windows.h>

#include <cstddef>

#include "compose/mime_walker.h"

// What the view asks of Parts built elsewhere. The defaults are the least
// that shows a message: lines go in as plain text (control characters as
// blanks), HTML cannot be read, RTF goes in as it stands, pictures are not
// placed (the notice stays), and the host data is not attached.
struct MessageViewHooks {
  // MarkupMessageText: styles one line and marks its links.
  void (*markupMessageText)(HWND control, const char* line, bool noColonQuotes);
  // HtmlRead: reads an HTML file into the control; false when it fails.
  bool (*htmlRead)(HWND control, const char* path);
  // InsertWrxRtf: inserts RTF text at the end.
  void (*insertWrxRtf)(HWND control, const char* text, size_t size);
  // HtmlAttach and WrxSetHostData ("ViewAcc") on a new view control.
  void (*attachHost)(HWND control, HWND parent);
  // Places a saved picture or shortcut ("View Inline"); true when the
  // attachment notice is to be left out.
  bool (*placePicture)(HWND control, const char* path);
  // The message that follows in the view's order (thread or number order);
  // 0 after the last. Split postings are looked for in this order.
  long (*nextInViewOrder)(long number);
  // The "OVERWRITE" question (1 overwrite, 2 save as, 3 cancel; never is
  // "&Never ask this again"); AskOverwrite by default.
  int (*askOverwrite)(const char* path, bool* never);
};
extern MessageViewHooks g_messageViewHooks;

// Shared state of the view: the files saved during the current display, the
// status bar's progress and cancel flag, and the "So&urce" flag.
extern SavedNames g_savedNames;
extern int g_viewProgress;
extern bool g_viewCancel;
extern bool g_viewSource;

void BuildMessageDisplay(HWND control, bool noColonQuotes, bool ownHeader, long number, bool append, bool copy);
void SetMessageFonts(HWND control, bool print);
HWND ResetMessageView(HWND parent);

// "File '%s' already exists!" through the "OVERWRITE" dialog (owned by
// owner): 1 overwrite, 2 save as, 3 cancel; never is "&Never ask this again".
int AskOverwrite(HWND owner, const char* path, bool* never);
INT_PTR CALLBACK OverwriteDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
