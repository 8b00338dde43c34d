#include "shell/shell_hooks.h"

#include "core/resstr.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "resources/shell_ids.h"

namespace {

void Nothing() {}
bool No() { return false; }
HWND NoWindow() { return nullptr; }
bool NoWindowFlag(HWND) { return false; }
void NoText(const char*) {}
bool NoFilterSet(const char*) { return false; }
bool EveryFolder(const ConfRec*) { return true; }
LRESULT NoRow(UINT, LPARAM) { return 0; }
void NoMenu(HWND, POINT) {}
void NoBookmarkMenu(HWND, POINT, int) {}
// The user's settings know the current set and the sets' names.
int CurrentSet() { return g_user.currentBookSet < BOOK_SET_COUNT ? static_cast<int>(g_user.currentBookSet) : 0; }
const char* SetName(int set) { return set >= 0 && set < BOOK_SET_COUNT ? g_bookSetNames[set] : ""; }
void NoSet(int) {}
const char* NoFolder() { return ""; }
void NoSelect(long, const char*, int) {}
void NoFlag(int) {}
int NoState() { return 0; }
bool NoTrap(int, LPARAM) { return false; }
void NoCall(int, int) {}
void NoToolbarState(int, bool) {}
// Connections are not built yet: say so instead of pretending.
void RefuseConnect(int, const char*, long) { setstatusid(IDS_CONNECT_REFUSED); }

}  // namespace

ShellHooks g_shellHooks = {
    Nothing,         // rebuildMessageBase
    Nothing,         // pruneMessageBase
    No,              // browserOpen
    NoWindow,        // browserWindow
    NoWindow,        // threadList
    Nothing,         // closeBrowser
    NoRow,           // paintThreadRow
    NoMenu,          // showMvwMenu
    NoBookmarkMenu,  // showBookmarkMenu
    Nothing,         // loadStateIcons
    Nothing,         // freeStateIcons
    Nothing,         // readMbwFilters
    NoFilterSet,     // mbwSelectFilterSet
    EveryFolder,     // folderFilter
    Nothing,         // nextNewMessage
    Nothing,         // openMbw
    NoWindow,        // mbwWindow
    Nothing,         // mbwFillList
    NoText,          // mbwSelectFolder
    Nothing,         // updateFolderView
    Nothing,         // fillThreadList
    No,              // threadListRefillPending
    NoSelect,        // selectMessage
    CurrentSet,      // currentBookmarkSet
    SetName,         // bookmarkSetName
    NoSet,           // selectBookmarkSet
    Nothing,         // loadBookmarks
    Nothing,         // saveBookmarks
    NoFolder,        // curFolderName
    No,              // browsingComposite
    NoText,          // followLink
    NoText,          // newMessage
    NoText,          // replyToMessage
    NoText,          // replyByMail
    NoText,          // newMailTo
    Nothing,         // openAddressBook
    NoWindow,        // addressBookWindow
    NoWindow,        // activeEditorWindow
    NoWindowFlag,    // editorWordWrap
    NoText,          // loadForumNames
    No,              // loadMapi
    No,              // loadMapiVim
    Nothing,         // unloadMapi
    Nothing,         // unloadMapiVim
    RefuseConnect,   // connect
    NoText,          // optimiseDials
    NoFlag,          // openConnectWindow
    No,              // terminalSession
    NoState,         // terminalState
    No,              // ghostsChanged
    Nothing,         // refreshGhosts
    NoFlag,          // loadModeratedList
    Nothing,         // rescanServiceDirs
    NoTrap,          // checkTrap
    NoCall,          // genericCall
    No,              // macroPlaying
    No,              // macroRecording
    No,              // macroLoaded
    NoText,          // playMacroFile
    Nothing,         // rebuildAddonBitmaps
    Nothing,         // openPortraitWindow
    NoWindow,        // portraitWindow
    Nothing,         // showTipOfTheDay
    Nothing,         // writeProtocolRegistrations
    NoToolbarState,  // setToolbarState
    Nothing,         // repaintToolbar
    Nothing,         // layoutToolbar
    No,              // longTaskRunning
    No,              // rethreading
};
