// What the shell calls in subsystems that are built elsewhere: one table of
// plain functions, each named after the owning function, with a default that
// does the least the caller needs. The lead wires the real ones.
#pragma once
#include <windows.h>

struct ConfRec;

struct ShellHooks {
  // Message base maintenance.
  void (*rebuildMessageBase)();  // RebuildMessageBase
  void (*pruneMessageBase)();    // PruneMessageBase
  // Browser and navigation.
  bool (*browserOpen)();  // the browser window exists
  HWND (*browserWindow)();
  HWND (*threadList)();
  void (*closeBrowser)();                                        // CloseBrowser
  LRESULT (*paintThreadRow)(UINT message, LPARAM item);          // PaintThreadRow
  void (*showMvwMenu)(HWND window, POINT point);                 // ShowMvwMenu
  void (*showBookmarkMenu)(HWND window, POINT point, int flag);  // ShowBookmarkMenu
  void (*loadStateIcons)();                                      // LoadStateIcons
  void (*freeStateIcons)();                                      // FreeStateIcons
  void (*readMbwFilters)();                                      // ReadMbwFilters
  bool (*mbwSelectFilterSet)(const char* name);                  // MbwSelectFilterSet
  bool (*folderFilter)(const ConfRec* rec);                      // MbwFolderFilter
  void (*nextNewMessage)();                                      // NextNewMessage
  void (*openMbw)();                                             // OpenMbw
  HWND (*mbwWindow)();
  void (*mbwFillList)();                      // MbwFillList
  void (*mbwSelectFolder)(const char* name);  // MbwSelectFolder
  void (*updateFolderView)();                 // UpdateFolderView
  void (*fillThreadList)();                   // FillThreadList
  bool (*threadListRefillPending)();
  void (*selectMessage)(long number, const char* folder, int flag);  // SelectMessage
  int (*currentBookmarkSet)();                                       // CurrentBookmarkSet
  const char* (*bookmarkSetName)(int set);
  void (*selectBookmarkSet)(int set);  // SelectBookmarkSet
  void (*loadBookmarks)();             // LoadBookmarks
  void (*saveBookmarks)();             // SaveBookmarks
  const char* (*curFolderName)();      // CurFolderName
  bool (*browsingComposite)();         // the browser shows a composite folder
  // Reading and composing.
  void (*followLink)(const char* link);      // FollowLink
  void (*newMessage)(const char* text);      // NewMessage
  void (*replyToMessage)(const char* text);  // ReplyToMessage
  void (*replyByMail)(const char* text);     // ReplyByMail
  void (*newMailTo)(const char* address);    // NewMailTo
  void (*openAddressBook)();                 // OpenAddressBook
  HWND (*addressBookWindow)();
  HWND (*activeEditorWindow)();                 // ActiveEditorWindow
  bool (*editorWordWrap)(HWND editor);          // EditorWordWrap
  void (*loadForumNames)(const char* service);  // LoadForumNames
  bool (*loadMapi)();                           // LoadMapi
  bool (*loadMapiVim)();                        // LoadMapiVim
  void (*unloadMapi)();
  void (*unloadMapiVim)();
  // Outbasket and connections.
  void (*connect)(int command, const char* services, long count);  // Connect
  void (*optimiseDials)(const char* target);                       // OptimiseDials
  void (*openConnectWindow)(int flag);                             // OpenConnectWindow
  bool (*terminalSession)();                                       // a terminal connection runs
  int (*terminalState)();                                          // the connection animation state
  bool (*ghostsChanged)();                                         // GhostsChanged
  void (*refreshGhosts)();                                         // RefreshGhosts
  // Service directories and subscriptions.
  void (*loadModeratedList)(int flag);  // LoadModeratedList
  void (*rescanServiceDirs)();          // the "/sync" rescan
  // Add-on tools and keyboard macros.
  bool (*checkTrap)(int command, LPARAM lParam);  // CheckTrap: true when a tool took it
  void (*genericCall)(int flags, int event);      // GenericCall
  bool (*macroPlaying)();
  bool (*macroRecording)();
  bool (*macroLoaded)();
  void (*playMacroFile)(const char* path);  // PlayMacroFile
  void (*rebuildAddonBitmaps)();
  // Small windows.
  void (*openPortraitWindow)();  // the author picture window
  HWND (*portraitWindow)();
  void (*showTipOfTheDay)();
  void (*writeProtocolRegistrations)();
  void (*setToolbarState)(int command, bool enabled);  // SetToolbarState
  void (*repaintToolbar)();
  void (*layoutToolbar)();
  // Long tasks of others: no poll or command runs meanwhile.
  bool (*longTaskRunning)();
  bool (*rethreading)();
};
extern ShellHooks g_shellHooks;
