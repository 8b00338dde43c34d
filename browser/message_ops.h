// Operations on messages of the open folder that reach the outbasket or the
// import program: fetching full messages, cancelling, relinking a broken
// thread, copying messages into another folder, Send To and Paste.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

// Fetch Full Message on the thread list's selection (whole threads): the
// first message decides between requesting and withdrawing. Offered only
// while FetchFullMessageOffered holds.
void FetchFullMessage();
bool FetchFullMessageOffered();
// Erases the current message through the outbasket unless a cancel is
// queued already; never in mail folders.
void CancelMessage();
void RelinkThread();
// A message of the open folder: its header line and the lines after it, as
// the log reader returns them. False when it cannot be found.
bool ReadMessageText(long number, std::string& text, std::string* header = nullptr);
// Writes one message of the open folder as import text for `destination`
// (a folder name without service prefix). False when it cannot be read or
// a write fails.
bool CopyMessageAsImport(FILE* out, long number, const char* destination);

// The copy of messages this program made last (their text), kept for Paste.
void KeepMessageCopy(const std::string& text, const std::string& references);
// True when the clipboard holds the copy this program made last.
bool ClipboardHoldsOwnCopy();
// Pastes the copied messages into `folder` through the import program;
// renumber -1 asks, 0 keeps the numbers, 1 appends after the last.
// False when nothing was queued.
bool PasteMessages(const char* folder, int renumber);

// Send To: without a name the "SendToAny" dialog asks for one.
void SendToAnyFolder(const char* name);
INT_PTR CALLBACK SendToAnyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The answer to a chosen name: empty when accepted, else the refusal.
std::string SendToRefusal(const std::string& name);

// The pane bar's buttons in a composite folder (on its creation).
void CreatePaneBarButtons(HWND bar);

// The browser's message operations in the dispatcher's table.
void InstallMessageOpsCommands();
