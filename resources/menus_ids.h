// Ids of the menus, toolbar and command resources. Command ids themselves are
// the numbers of the menu resources; the names below are those code refers to.
#pragma once

// Texts of the dispatcher, menus and toolbar.
#define IDS_MODIFY_MODERATORS_FLIST 1177
#define IDS_NO_NEW_MESSAGES 5212
#define IDS_BOOKMARK_SET_ITEM 5412
#define IDS_MORE_MACROS 5445
#define IDS_USER_SCRIPT 5541
#define IDS_JOIN_CONFERENCE 5542
#define IDS_COMMAND_NOT_AVAILABLE 18001
#define IDS_COMMAND_NO_RIGHT 18002
#define IDS_KESTRUN_FAILED 18003
#define IDS_BOOKMARKS_SAVED 18004
#define IDS_SEND_TO 18005
#define IDS_ANY_FOLDER 18006

// Placeholder items of the menu sets, replaced by lists when a menu is built.
#define IDM_PLACE_SCRIPTS 1796
#define IDM_PLACE_MACROS 1797
#define IDM_PLACE_TOOLS 1798
#define IDM_PLACE_FAVOURITES 1819
#define IDM_PLACE_SEND_TO 1887
#define IDM_PLACE_SCHEDULED_JOBS 1821

// The toolbar's separator, and its pop-up's Properties item.
#define IDM_TOOLBAR_SEPARATOR 1257
#define IDM_TOOLBAR_PROPERTIES 1453
