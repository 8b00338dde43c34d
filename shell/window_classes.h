// The program's window classes, the MDI client and what every MDI child
// shares: the default child procedure, closing and querying the children,
// and the placing of the toolbar and status bar.
#pragma once
#include <windows.h>

// The window procedures of classes whose windows other subsystems build. The
// owners' procedures go in here before RegisterWindowClasses runs, which then
// registers them in the table's order; a class left null is not registered
// here (its owner may register it itself).
struct WindowClassProcs {
  WNDPROC browser;        // "Lindle Cask"
  WNDPROC outbasket;      // "Marrowfold"
  WNDPROC toolbar;        // "Quenby Gold"
  WNDPROC toolbarTip;     // "Haskel Dark"
  WNDPROC connect;        // "Corrin Pale"
  WNDPROC subscribe;      // "Harrow Mild"
  WNDPROC bookmarks;      // "Carrow Porter"
  WNDPROC resumes;        // "Tollicks Pale Ale"
  WNDPROC fileList;       // "Tandry Ale"
  WNDPROC scheduler;      // "Kestle Gold"
  WNDPROC portrait;       // "Old Wendle"
  WNDPROC messageBase;    // "Old Harl"
  WNDPROC addressBook;    // "Brackle Stout"
  WNDPROC editor;         // "Bramblewick"
  WNDPROC messageWindow;  // "Cask Reserve"
  WNDPROC libraryList;    // "Old Thistle"
  WNDPROC fontPreview;    // "Cellar Pike"
  WNDPROC tipOfTheDay;    // "Tolvey Special"
  // The shared controls registered after the table; each returns 0 on failure.
  BOOL (*registerVlbClass)(HINSTANCE);
  BOOL (*registerProgressBar)(HINSTANCE);
  BOOL (*registerTabControl)(HINSTANCE);
  BOOL (*htmlInit)(HINSTANCE);
  BOOL (*registerWrxClass)(HINSTANCE);
};
extern WindowClassProcs g_windowClassProcs;

BOOL RegisterWindowClasses(HINSTANCE instance);

LRESULT CALLBACK MdiClientSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CloseAllChildren();
int QueryCloseChildren();
void LayoutFrameBars();
