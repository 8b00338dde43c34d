// The browser window: an MDI child ("Lindle Cask") holding the thread list,
// the pane bar ("Cask Reserve") and the message view of the open folder.
#pragma once
#include <windows.h>

#include <cstdint>

#include "browser/browser_state.h"

constexpr int kPaneBarId = 4307;
constexpr int kBrowserPlacementSlot = 10;

BOOL RegisterBrowserClasses(HINSTANCE instance);
void browse();
void CloseBrowser();
HWND OpenBrowserWindow();
LRESULT CALLBACK BrowserFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The strip of column captions above the thread list.
int BrowserHeaderHeight();
// The split bar between list and view follows the mouse in whole lines until
// the button is released (Esc keeps the last place); a column divider
// follows it between `lowerBound` and the list's width (Esc puts it back).
void DragSplitter();
void DragColumnDivider(uint32_t* divider, int lowerBound);
// Files written for viewing: remembered (10 at most), then deleted by the
// user's rules when the thread list is filled again, or only forgotten.
void AddViewedFile(const char* path);
void PurgeViewedFiles();
void ClearViewedFiles();
// The link last acted on (the Open, Print and Copy Shortcut commands use it).
const char* BrowserLinkBuffer();
LRESULT CALLBACK PaneBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void LayoutBrowser(LPARAM size);
void ShowCurrentMessage();
// The information bar text of a message: pieces of the field flags, values
// between two 0xFE marks; out holds `size` bytes.
void BuildInfoBar(char* out, size_t size, long number, unsigned fields);
bool BrowsingVirtualFolder();
// Zoom modes: 0 list and view, 1 list only, 2 view only; the commands
// 1736, 1734 and 1735 choose them.
void SetZoomMode(int mode);
int ZoomModeOfCommand(int command);  // -1 for another command
bool ViewHasFocus();
// Whether the message view has highlighted text; that text, cut to size - 1
// bytes (false, with out empty, without one).
bool ViewCanCopy();
bool GetViewSelText(char* out, int size);
void ToggleBrowserFocus();
// Copies the selected messages of the thread list to the clipboard (text,
// "500_MESSAGE", "500_MESSAGE_LINK"); with cut, marks them for deletion.
// The number of messages copied.
int CopyMessagesToClipboard(int cut);

// The mark commands on the thread list's selection (Ctrl: whole threads;
// Shift: keep the read state), each followed by its movement setting when
// one row was marked. Results: rows marked.
int MarkReadCommand();
int MarkUnreadCmd();
int MarkDeleteCmd();
int MarkKeepCmd();
int MarkUnreadLockCmd();
int MarkBookmarkCmd();
int MarkIgnoreCmd();
// The move after a mark by "Movement Mode <letter>": 0 stay, 1 down one,
// 2 next thread, 3 next unread here, 4 next unread anywhere. 0 when the list
// or the folder is gone.
int AdvanceAfterMark(char letter);
void ThreadListPageUp();
void ThreadListPageDown();
// The thread list's keys before the list box sees them: 0 handled, 1 left
// to the list.
int ThreadListKey(int key);
LRESULT CALLBACK ThreadListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SubclassThreadList(HWND list);

struct MarkHooks {
  bool (*canModerateTopic)(const char* folder);  // CanModerateTopic
};
extern MarkHooks g_markHooks;

// The next unread message: a reply in the thread (the new position, 0 when
// none: "No more replies in thread."), else the next folder with new
// messages ("No new messages"); the companion of a folder (a Dravenet
// section and its library, a topic and its file list).
long NextReply();
// Goes to a message: number 0 asks for one ("Goto Message Number"), or with
// a message id offers to collect it; a number the folder lacks may be
// followed to a forum's other section or collected from the service.
void GotoMessage(long number, const char* messageId);
void NextNewMessage();
void GotoFolder(const char* name);
// Set when a folder was switched to: the next folder is sought in its
// conference first.
extern bool g_sameConferenceFirst;

// The context menus at a client point of a window, and how each is adjusted
// to the browser's state before it is shown.
void ShowMvwMenu(HWND window, POINT point);
void ShowThreadMenu(HWND window, POINT point);
void ShowZoomMenu(HWND window, POINT point);
void PrepareMvwMenu(HMENU menu);
void PrepareThreadMenu(HMENU menu);
void PrepareZoomMenu(HMENU menu);

// Follows a link: "pl:folder" and "PL://folder#number" open the folder and
// select the message; any other link is logged and nothing is run.
void FollowLink(const char* url);

// Puts the browser into the tables that call it: the message base's
// (g_topicOpenHooks), the shell's (g_shellHooks, g_windowClassProcs) and the
// thread list's. Start-up runs it once, before the classes are registered.
void InstallBrowserHooks();
// The browser's operations and questions in the dispatcher's table.
void InstallBrowserCommands();

// The message view as a pane: its subclass, and how often "acronyms.lst"
// was read (it is read again only when it changes).
LRESULT CALLBACK MessageViewSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SubclassMessageView(HWND view);
long AcronymFileReads();
// Toggles "Fixed Font" and makes the view again, showing the message anew.
void RecreateMessageView();

// Folder names for other windows: the folder the user works on (the
// MessageBase window's single selection while it is active, else the open
// folder; empty before start-up ends) and the folder of the selected line
// ("local" when none and a folder is open).
const char* CurFolderName();
const char* SelFolderName();
// The status bar's counts: unread messages in shown folders and in mail.
void UpdateFolderView();
// The sibling section of the open Dravenet forum whose index holds the
// number; empty when none does (a damaged index is passed over).
const char* FindMessageSection(long number);
// The number a folder's ".id" file gives for a message id, searching the
// folders whose names begin with `folder`, which becomes the name of the
// folder it was found in; 0 when none.
long FindMsgIdNumber(char* folder, size_t size, const char* messageId);

// The pane bar's text (tests read it).
const char* PaneBarText();

// The message view until the reading subsystem provides it: creating it in
// the browser and showing a message in it.
struct BrowserViewHooks {
  HWND (*create)(HWND browser);
  void (*show)(HWND view, long number);
};
extern BrowserViewHooks g_browserViewHooks;
// The browser's share of the height for the list.
extern float g_splitRatio;
