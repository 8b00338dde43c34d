// The user's own settings: the Main options of the user INI file, bookmark
// set names, find history, favourites, window positions, fonts, and the
// per-service address, quoting and real-name tables.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/ini.h"

// Section "Main" (or "Main/N") of the user INI file, in table order.
struct UserMainSettings {
  uint32_t alwaysInternetQuote;
  uint32_t dvnQuoteBrackets;
  uint32_t dvnQuoteReversed;
  uint32_t avoidHtml;
  uint32_t singleClick;
  char defaultMailService[kIniStringValue];
  uint32_t checkDefaultMailAndNews;
  char defaultOpenPath[kIniStringValue];
  uint32_t fontStyles;
  char deleteAttachments[kIniStringValue];
  uint32_t warnBeforeOverwrite;
  char autoSendAsShown[kIniStringValue];
  uint32_t mime;
  uint32_t highlightQuotes;
  uint32_t autoCloseConnect;
  uint32_t reviewBeforeConnect;
  uint32_t importToForeground;
  uint32_t alwaysRefreshUnread;
  uint32_t statusBar;
  uint32_t userFlags;
  uint32_t readingMode;
  char messageFile[kIniStringValue];
  uint32_t noFormat;
  char handle[kIniStringValue];
  uint32_t fixedFont;
  uint32_t faxNoCoverSheet;
  uint32_t fullMenus;
  uint32_t addressBookOpen;
  uint32_t addressBookSort;
  uint32_t addressBookEmail;
  uint32_t addressBookNotes;
  uint32_t addressBookPrivate;
  uint32_t addressBookSortFirst;
  uint32_t sound;
  uint32_t currentBookSet;
  uint32_t showBookmarkWindow;
  char startupMacro[kIniStringValue];
  char windowRatio[kIniStringValue];
  uint32_t noComments;
  uint32_t portraitWindow;
  uint32_t messagebaseWindow;
  uint32_t connectWindow;
  uint32_t messagebaseStyle;
  uint32_t messagebaseUnread;
  uint32_t showPostIts;
  uint32_t lastPostIt;
  uint32_t editorTabSize;
  uint32_t autoIndent;
  uint32_t rightMargin;
  uint32_t wordWrap;
  uint32_t autoComplete;
  uint32_t warnOnReplys;
  char lastFolder[kIniStringValue];
  uint32_t noAutoJoinTopic;
  uint32_t threadNumber;
  uint32_t threadFrom;
  uint32_t threadSubject;
  uint32_t reviewActions;
  uint32_t reviewOptions;
  uint32_t informationBarFlags;
  char printerMargin[kIniStringValue];
  uint32_t tipOfTheDay;
  uint32_t autoSpellcheck;
  uint32_t actionsOnly;
  uint32_t maximisedMdi;
  uint32_t keepFocus;
  uint32_t movementModeB;
  uint32_t movementModeD;
  uint32_t movementModeF;
  uint32_t movementModeI;
  uint32_t movementModeK;
  uint32_t movementModeL;
  uint32_t headerMode;
  uint32_t autoDecode;
  uint32_t multiPart;
  uint32_t decodeUnreadOnly;
  uint32_t viewInline;
  uint32_t saveImages;
  uint32_t saveFiles;
  uint32_t dictionaryOptions;
  uint32_t dictionary1;
  uint32_t dictionary2;
  uint32_t dictionary3;
  uint32_t dictionary4;
  char lastAttachment[kIniStringValue];
  uint32_t shellExecute;
  char decodePath[kIniStringValue];
  char pgpProgram[kIniStringValue];
  char pgpUserId[kIniStringValue];
  uint32_t appendOnly;
  uint32_t deleteAfter;
  uint32_t reviewTimeout;
  uint32_t hideDeleted;
  uint32_t mbwState;
  uint32_t hideButtons;
  uint32_t oldMvw;
  uint32_t newsgroupReplyTypes;
  uint32_t findForward;
  uint32_t findBookmark;
  uint32_t findEmptyBookmark;
  uint32_t findOpenBookmark;
  uint32_t findHeader;
  uint32_t findBody;
  uint32_t mfmEmptyBookmark;
  uint32_t mfmDirect;
  uint32_t mfmAll;
  uint32_t mfmSet;
  uint32_t hideBookmarkButtons;
  uint32_t subscribeTab;
  uint32_t subscribeRecent;
  uint32_t subscribeRecentDays;
  uint32_t subscribeFull;
  uint32_t subscribeLast;
  uint32_t subscribeLastDays;
  uint32_t subscribeExpand;
};
extern UserMainSettings g_user;
extern IniKey g_userMainTable[];

enum : int {
  BOOK_SET_COUNT = 20,
  BOOK_NAME_MAX = 79,
  FIND_HISTORY_COUNT = 20,
  FIND_HISTORY_MAX = 4095,
  FAVOURITE_COUNT = 10,
  FAVOURITE_MAX = 99,
  WINDOW_KIND_COUNT = 25,  // kinds 0 to 24; kind 0 has no saved position
  FONT_ENTRY_COUNT = 24,
};
// Window kinds with a default position of their own.
enum : int { WINDOW_MESSAGE = 10, WINDOW_STATUS = 11, WINDOW_MAIN = 12, WINDOW_MESSAGE_BASE = 16 };

// Reserved (program settings) bit that keeps bookmark sets unnamed.
constexpr uint32_t kReservedNamedSets = 0x800;

extern char g_bookSetNames[BOOK_SET_COUNT][kIniStringValue];  // at most 79 characters used
extern char g_findHistory[FIND_HISTORY_COUNT][FIND_HISTORY_MAX + 1];
extern char g_favourites[FAVOURITE_COUNT][kIniStringValue];  // at most 99 characters used

struct WindowPlacement {
  int left, top, width, height, show;
};
extern WindowPlacement g_windowPlacements[WINDOW_KIND_COUNT];

struct FontTableEntry {
  char face[64];   // empty: the item has no font
  int32_t size;    // points
  uint32_t style;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  uint32_t textColour;
  uint32_t backColour;
  HFONT font;
};
extern FontTableEntry g_fonts[FONT_ENTRY_COUNT];
extern const char* const kAppearanceKeys[FONT_ENTRY_COUNT];

// Lexicon names the spell checker opens.
struct SpellLexiconNames {
  char autocorrect[MAX_PATH];
  char ignore[MAX_PATH];
  char suggest[MAX_PATH];
};
extern SpellLexiconNames g_spellLexicons;

// The per-service tables of the user INI file (section "Service %s").
struct ServiceAddress {
  char emailAddress[kIniStringValue];
  char realName[kIniStringValue];
  char popAccount[kIniStringValue];
  char popPassword[kIniStringValue];  // plain in memory, scrambled in the file
};
extern ServiceAddress g_serviceAddress;
extern IniKey g_serviceAddressTable[];
struct ServiceQuoting {
  char attribution[kIniStringValue];
  uint32_t copyOnly;
};
extern ServiceQuoting g_serviceQuoting;
extern IniKey g_serviceQuotingTable[];
extern char g_serviceRealName[kIniStringValue];
extern IniKey g_serviceRealNameTable[];

// The logged-in user's INI file ("%.8s.ini") and settings set (0: none).
extern char g_userIniName[16];
extern int g_settingsSet;
// Cuts a log-in name at "/" and returns the set number after it (0 without).
int SplitSettingsSet(char* loginName);
// Names the user INI file and set for the logged-in user (g_app.userName).
void SetSettingsUser(const char* userName, int settingsSet);
// "Main", or "Main/N" in settings set N; out holds 64 bytes.
void SettingsSection(const char* base, char* out, size_t size);

// Pane ratio of the message-base window, kept between 0.1 and 0.9.
extern double g_windowRatio;

// What the frame tells the placement defaults; the shell keeps it current.
struct FrameLayout {
  bool largeButtons;    // toolbar with large buttons (37 pixels, else 29)
  int statusBarHeight;  // counted when Status Bar is on
  bool secondBarShown;
  int secondBarHeight;
};
extern FrameLayout g_frameLayout;

// Screen metrics behind the default window positions; tests give their own.
struct ScreenMetrics {
  int width, height;  // the screen
  int captionHeight;
  int frameWidth, frameHeight;
  int menuHeight;
};
struct ScreenHooks {
  void (*metrics)(ScreenMetrics* out);  // GetSystemMetrics by default
};
extern ScreenHooks g_screenHooks;

// Work that belongs to the shell, run by ReadSettings: the toolbar settings
// (after the appearance entries) and the rebuild of toolbar, fonts and
// command states at the end. By default there is no such work.
struct UserSettingsHooks {
  void (*readToolbarSettings)();
  void (*rebuild)();
};
extern UserSettingsHooks g_userSettingsHooks;
extern const UserSettingsHooks kDefaultUserSettingsHooks;
// Cleared by callers that read another user's settings only for the values.
extern bool g_settingsRebuild;

void ReadSettings();
void WriteMainItem();
void WriteSettings(bool whole);
void SaveSettings();
void WriteFavourites();
void WindowKindName(int kind, char* out, size_t size);
void ReadWindowPlacements(int kind);
void WriteWindowPlacements(int kind);
void ReadAppearance(const char* iniName, int settingsSet);
bool ReadServiceSettings(const char* serviceKey);
void WriteServiceAddress(const char* serviceKey);
bool ReadServiceAddress(const char* serviceKey);
void WriteServiceTable(const char* serviceKey, IniKey* table);
const char* ReadServiceQuoting(const char* serviceKey, uint32_t* copyOnly);
const char* ReadServiceRealName(const char* serviceKey);
void WriteServiceRealName(const char* serviceKey);
