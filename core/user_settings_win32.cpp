#include "core/user_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/password_scramble.h"
#include "core/paths.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/text1252.h"

UserMainSettings g_user;
IniKey g_userMainTable[] = {
    {"Always Internet Quote", &g_user.alwaysInternetQuote, INI_FLAG, 0},
    {"DVN <<>> Quote", &g_user.dvnQuoteBrackets, INI_FLAG, 0},
    {"DVN >><< Quote", &g_user.dvnQuoteReversed, INI_FLAG, 0},
    {"Avoid Html", &g_user.avoidHtml, INI_FLAG, 0},
    {"Single Click", &g_user.singleClick, INI_FLAG, 0},
    {"Default Mail Service", g_user.defaultMailService, INI_STRING, 0},
    {"Check Default Mail and News", &g_user.checkDefaultMailAndNews, INI_FLAG, 0},
    {"Default Open Path", g_user.defaultOpenPath, INI_STRING, 0},
    {"Font Styles", &g_user.fontStyles, INI_FLAG, 0},
    {"Delete Attachments", g_user.deleteAttachments, INI_STRING, 0},
    {"Warn Before Overwrite", &g_user.warnBeforeOverwrite, INI_UNSIGNED, 0},
    {"Auto Send As Shown", g_user.autoSendAsShown, INI_STRING, 0},
    {"MIME", &g_user.mime, INI_FLAG, 0},
    {"Highlight Quotes", &g_user.highlightQuotes, INI_FLAG, 0},
    {"Auto Close Connect", &g_user.autoCloseConnect, INI_FLAG, 0},
    {"Review Before Connect", &g_user.reviewBeforeConnect, INI_FLAG, 0},
    {"Import To Foreground", &g_user.importToForeground, INI_FLAG, 0},
    {"Always Refresh Unread", &g_user.alwaysRefreshUnread, INI_FLAG, 0},
    {"Status Bar", &g_user.statusBar, INI_FLAG, 0},
    {"User Flags", &g_user.userFlags, INI_UNSIGNED, 0},
    {"Reading Mode", &g_user.readingMode, INI_UNSIGNED, 0},
    {"Message File", g_user.messageFile, INI_STRING, 0},
    {"No Format", &g_user.noFormat, INI_FLAG, 0},
    {"Handle", g_user.handle, INI_STRING, 0},
    {"Fixed Font", &g_user.fixedFont, INI_FLAG, 0},
    {"FAX No Cover Sheet", &g_user.faxNoCoverSheet, INI_FLAG, 0},
    {"Full Menus", &g_user.fullMenus, INI_FLAG, 0},
    {"Address Book Open", &g_user.addressBookOpen, INI_FLAG, 0},
    {"Address Book Sort", &g_user.addressBookSort, INI_FLAG, 0},
    {"Address Book Email", &g_user.addressBookEmail, INI_UNSIGNED, 0},
    {"Address Book Notes", &g_user.addressBookNotes, INI_UNSIGNED, 0},
    {"Address Book Private", &g_user.addressBookPrivate, INI_FLAG, 0},
    {"Address Book Sort First", &g_user.addressBookSortFirst, INI_FLAG, 0},
    {"Sound", &g_user.sound, INI_FLAG, 0},
    {"Current Book Set", &g_user.currentBookSet, INI_ULONG, 0},
    {"Show Bookmark Window", &g_user.showBookmarkWindow, INI_FLAG, 0},
    {"Startup Macro", g_user.startupMacro, INI_STRING, 0},
    {"Window Ratio", g_user.windowRatio, INI_STRING, 0},
    {"No Comments", &g_user.noComments, INI_FLAG, 0},
    {"Portrait Window", &g_user.portraitWindow, INI_FLAG, 0},
    {"MessageBase Window", &g_user.messagebaseWindow, INI_FLAG, 0},
    {"Connect Window", &g_user.connectWindow, INI_FLAG, 0},
    {"MessageBase Style", &g_user.messagebaseStyle, INI_UNSIGNED, 0},
    {"MessageBase Unread", &g_user.messagebaseUnread, INI_FLAG, 0},
    {"Show Post Its", &g_user.showPostIts, INI_FLAG, 0},
    {"Last Post It", &g_user.lastPostIt, INI_ULONG, 0},
    {"Editor Tab Size", &g_user.editorTabSize, INI_UNSIGNED, 0},
    {"Auto Indent", &g_user.autoIndent, INI_FLAG, 0},
    {"Right Margin", &g_user.rightMargin, INI_UNSIGNED, 0},
    {"Word Wrap", &g_user.wordWrap, INI_FLAG, 0},
    {"Auto Complete", &g_user.autoComplete, INI_FLAG, 0},
    {"Warn On Replys", &g_user.warnOnReplys, INI_FLAG, 0},
    {"Last Folder", g_user.lastFolder, INI_STRING, 0},
    {"No Auto Join Topic", &g_user.noAutoJoinTopic, INI_FLAG, 0},
    {"Thread Number", &g_user.threadNumber, INI_UNSIGNED, 0},
    {"Thread From", &g_user.threadFrom, INI_UNSIGNED, 0},
    {"Thread Subject", &g_user.threadSubject, INI_UNSIGNED, 0},
    {"Review Actions", &g_user.reviewActions, INI_UNSIGNED, 0},
    {"Review Options", &g_user.reviewOptions, INI_UNSIGNED, 0},
    {"Information Bar Flags", &g_user.informationBarFlags, INI_UNSIGNED, 0},
    {"Printer Margin", g_user.printerMargin, INI_STRING, 0},
    {"Tip Of The Day", &g_user.tipOfTheDay, INI_FLAG, 0},
    {"Auto Spellcheck", &g_user.autoSpellcheck, INI_FLAG, 0},
    {"Actions Only", &g_user.actionsOnly, INI_FLAG, 0},
    {"Maximised MDI", &g_user.maximisedMdi, INI_FLAG, 0},
    {"Keep Focus", &g_user.keepFocus, INI_FLAG, 0},
    {"Movement Mode B", &g_user.movementModeB, INI_UNSIGNED, 0},
    {"Movement Mode D", &g_user.movementModeD, INI_UNSIGNED, 0},
    {"Movement Mode F", &g_user.movementModeF, INI_UNSIGNED, 0},
    {"Movement Mode I", &g_user.movementModeI, INI_UNSIGNED, 0},
    {"Movement Mode K", &g_user.movementModeK, INI_UNSIGNED, 0},
    {"Movement Mode L", &g_user.movementModeL, INI_UNSIGNED, 0},
    {"Header Mode", &g_user.headerMode, INI_UNSIGNED, 0},
    {"Auto Decode", &g_user.autoDecode, INI_FLAG, 0},
    {"Multi Part", &g_user.multiPart, INI_FLAG, 0},
    {"Decode Unread Only", &g_user.decodeUnreadOnly, INI_FLAG, 0},
    {"View Inline", &g_user.viewInline, INI_FLAG, 0},
    {"Save Images", &g_user.saveImages, INI_FLAG, 0},
    {"Save Files", &g_user.saveFiles, INI_FLAG, 0},
    {"Dictionary Options", &g_user.dictionaryOptions, INI_ULONG, 0},
    {"Dictionary 1", &g_user.dictionary1, INI_UNSIGNED, 0},
    {"Dictionary 2", &g_user.dictionary2, INI_UNSIGNED, 0},
    {"Dictionary 3", &g_user.dictionary3, INI_UNSIGNED, 0},
    {"Dictionary 4", &g_user.dictionary4, INI_UNSIGNED, 0},
    {"Last Attachment", g_user.lastAttachment, INI_STRING, 0},
    {"Shell Execute", &g_user.shellExecute, INI_FLAG, 0},
    {"Decode Path", g_user.decodePath, INI_STRING, 0},
    {"Pgp Program", g_user.pgpProgram, INI_STRING, 0},
    {"Pgp User Id", g_user.pgpUserId, INI_STRING, 0},
    {"Append Only", &g_user.appendOnly, INI_FLAG, 0},
    {"Delete After", &g_user.deleteAfter, INI_FLAG, 0},
    {"Review Timeout", &g_user.reviewTimeout, INI_UNSIGNED, 0},
    {"Hide Deleted", &g_user.hideDeleted, INI_FLAG, 0},
    {"MBW State", &g_user.mbwState, INI_UNSIGNED, 0},
    {"Hide Buttons", &g_user.hideButtons, INI_FLAG, 0},
    {"Old MVW", &g_user.oldMvw, INI_FLAG, 0},
    {"Newsgroup reply types", &g_user.newsgroupReplyTypes, INI_UNSIGNED, 0},
    {"Find Forward", &g_user.findForward, INI_FLAG, 0},
    {"Find Bookmark", &g_user.findBookmark, INI_FLAG, 0},
    {"Find Empty Bookmark", &g_user.findEmptyBookmark, INI_FLAG, 0},
    {"Find Open Bookmark", &g_user.findOpenBookmark, INI_FLAG, 0},
    {"Find Header", &g_user.findHeader, INI_FLAG, 0},
    {"Find Body", &g_user.findBody, INI_FLAG, 0},
    {"MfM Empty Bookmark", &g_user.mfmEmptyBookmark, INI_FLAG, 0},
    {"MfM Direct", &g_user.mfmDirect, INI_FLAG, 0},
    {"MfM All", &g_user.mfmAll, INI_FLAG, 0},
    {"MfM Set", &g_user.mfmSet, INI_UNSIGNED, 0},
    {"Hide Bookmark Buttons", &g_user.hideBookmarkButtons, INI_FLAG, 0},
    {"Subscribe Tab", &g_user.subscribeTab, INI_UNSIGNED, 0},
    {"Subscribe Recent", &g_user.subscribeRecent, INI_UNSIGNED, 0},
    {"Subscribe Recent Days", &g_user.subscribeRecentDays, INI_UNSIGNED, 0},
    {"Subscribe Full", &g_user.subscribeFull, INI_FLAG, 0},
    {"Subscribe Last", &g_user.subscribeLast, INI_FLAG, 0},
    {"Subscribe Last Days", &g_user.subscribeLastDays, INI_FLAG, 0},
    {"Subscribe Expand", &g_user.subscribeExpand, INI_FLAG, 0},
    {"", nullptr, 0, 0},
};

char g_bookSetNames[BOOK_SET_COUNT][kIniStringValue];
char g_findHistory[FIND_HISTORY_COUNT][FIND_HISTORY_MAX + 1];
char g_favourites[FAVOURITE_COUNT][kIniStringValue];
WindowPlacement g_windowPlacements[WINDOW_KIND_COUNT];
FontTableEntry g_fonts[FONT_ENTRY_COUNT];
const char* const kAppearanceKeys[FONT_ENTRY_COUNT] = {
    "Thread",           "Thread Involved", "Thread Group",    "Thread Ignored", "Current",
    "Current Involved", "Current Group",   "Current Ignored", "Infobar",        "Mvw",
    "Mvw Fixed",        "Mvw Url",         "Mvw Quoted",      "Mvw Highlight",  "Mbw",
    "Mbw Files",        "Mbw Info",        "Editor",          "Printer",        "Terminal",
    "Tool Tips",        "Review",          "Addressbook",     "Subscribe"};
SpellLexiconNames g_spellLexicons;

ServiceAddress g_serviceAddress;
IniKey g_serviceAddressTable[] = {
    {"Email Address", g_serviceAddress.emailAddress, INI_STRING, 0},
    {"Real Name", g_serviceAddress.realName, INI_STRING, 0},
    {"Pop Account", g_serviceAddress.popAccount, INI_STRING, 0},
    {"Pop Password", g_serviceAddress.popPassword, INI_STRING, 0},
    {"", nullptr, 0, 0},
};
ServiceQuoting g_serviceQuoting;
IniKey g_serviceQuotingTable[] = {
    {"Attribution", g_serviceQuoting.attribution, INI_STRING, 0},
    {"Copy Only", &g_serviceQuoting.copyOnly, INI_FLAG, 0},
    {"", nullptr, 0, 0},
};
char g_serviceRealName[kIniStringValue];
IniKey g_serviceRealNameTable[] = {
    {"Real Name", g_serviceRealName, INI_STRING, 0},
    {"", nullptr, 0, 0},
};

char g_userIniName[16];
int g_settingsSet;
double g_windowRatio = 0.5;
FrameLayout g_frameLayout;
namespace {
void NoShellWork() {}
}  // namespace
const UserSettingsHooks kDefaultUserSettingsHooks = {NoShellWork, NoShellWork};
UserSettingsHooks g_userSettingsHooks = kDefaultUserSettingsHooks;
bool g_settingsRebuild = true;

namespace {

void CopyText(char* dest, size_t size, const char* text) { snprintf(dest, size, "%s", text); }

void SystemScreenMetrics(ScreenMetrics* out) {
  out->width = GetSystemMetrics(SM_CXSCREEN);
  out->height = GetSystemMetrics(SM_CYSCREEN);
  out->captionHeight = GetSystemMetrics(SM_CYCAPTION);
  out->frameWidth = GetSystemMetrics(SM_CXFRAME);
  out->frameHeight = GetSystemMetrics(SM_CYFRAME);
  out->menuHeight = GetSystemMetrics(SM_CYMENU);
}

// In the file 32768 stands for the system's default placement.
constexpr int kStoredDefault = 32768;

void SetMainDefaults() {
  UserMainSettings& u = g_user;
  std::memset(&u, 0, sizeof u);
  u.dvnQuoteBrackets = 1;
  u.singleClick = 1;
  u.checkDefaultMailAndNews = 1;
  u.fontStyles = 1;
  u.warnBeforeOverwrite = 1;
  u.highlightQuotes = 1;
  u.autoCloseConnect = 1;
  u.reviewBeforeConnect = 1;
  u.alwaysRefreshUnread = 1;
  u.statusBar = 1;
  u.userFlags = 1;
  u.readingMode = 4;
  CopyText(u.messageFile, sizeof u.messageFile, "message.txt");
  u.fullMenus = 1;
  u.addressBookEmail = 170;
  u.addressBookNotes = 340;
  u.sound = 1;
  u.currentBookSet = 2;
  u.noComments = 1;
  u.messagebaseWindow = 1;
  u.messagebaseStyle = 2;
  u.showPostIts = 1;
  u.editorTabSize = 4;
  u.autoIndent = 1;
  u.rightMargin = 72;
  u.wordWrap = 1;
  u.autoComplete = 1;
  u.threadNumber = 64;
  u.threadFrom = 172;
  u.threadSubject = 324;
  u.reviewActions = 50;
  u.reviewOptions = 150;
  u.informationBarFlags = 115;
  CopyText(u.printerMargin, sizeof u.printerMargin, "1080 1080 1080 1080");
  u.tipOfTheDay = 1;
  u.autoSpellcheck = 1;
  u.movementModeD = 1;
  u.movementModeF = 1;
  u.movementModeI = 1;
  u.movementModeK = 1;
  u.movementModeL = 1;
  u.headerMode = 1;
  u.autoDecode = 1;
  u.multiPart = 1;
  u.viewInline = 1;
  u.saveImages = 1;
  u.saveFiles = 1;
  u.dictionaryOptions = 75614084;
  u.shellExecute = 1;
  u.appendOnly = 1;
  u.hideButtons = 1;
  u.findForward = 1;
  u.findOpenBookmark = 1;
  u.findHeader = 1;
  u.findBody = 1;
  u.mfmDirect = 1;
  u.mfmAll = 1;
  u.subscribeRecent = 100;
  u.subscribeRecentDays = 5;
  u.subscribeFull = 1;
  u.subscribeLast = 1;
  u.dictionary1 = g_app.britishEnglish ? 2057 : 1033;
}

// The user INI file in the data directory; out: MAX_PATH bytes.
void UserIniPath(char* out, size_t size) { IniFilePath(g_userIniName, out, size); }

// Window positions live beside the message base.
void PlacementIniPath(char* out, size_t size) {
  const char* dir = g_main.messagePathExpanded[0] ? g_main.messagePathExpanded : g_main.messagePath;
  if (!dir[0]) {
    UserIniPath(out, size);
    return;
  }
  char joined[2 * MAX_PATH];
  JoinPath(joined, sizeof joined, {dir, g_userIniName});
  if (strlen(joined) >= size) joined[0] = 0;  // a cut path would name some other file
  CopyText(out, size, joined);
}

void ServiceSection(const char* key, char* out, size_t size) { snprintf(out, size, "Service %s", key); }

void ReadBookSetNames() {
  for (auto& name : g_bookSetNames) name[0] = 0;
  IniKey table[BOOK_SET_COUNT + 1];
  char keys[BOOK_SET_COUNT][16];
  for (int i = 0; i < BOOK_SET_COUNT; ++i) {
    snprintf(keys[i], sizeof keys[i], "BookName %d", i + 1);
    table[i] = {keys[i], g_bookSetNames[i], INI_STRING, 0};
  }
  table[BOOK_SET_COUNT] = {"", nullptr, 0, 0};
  readini(g_userIniName, "Main", table);
  for (auto& name : g_bookSetNames) name[BOOK_NAME_MAX] = 0;
}

void WriteBookSetNames() {
  IniKey table[BOOK_SET_COUNT + 1];
  char keys[BOOK_SET_COUNT][16];
  for (int i = 0; i < BOOK_SET_COUNT; ++i) {
    snprintf(keys[i], sizeof keys[i], "BookName %d", i + 1);
    g_bookSetNames[i][BOOK_NAME_MAX] = 0;
    table[i] = {keys[i], g_bookSetNames[i], INI_STRING, 0};
  }
  table[BOOK_SET_COUNT] = {"", nullptr, 0, 0};
  writeini(g_userIniName, "Main", table);
}

// Find History entries are longer than a table row can carry.
void ReadFindHistory() {
  char path[MAX_PATH];
  UserIniPath(path, sizeof path);
  for (int i = 0; i < FIND_HISTORY_COUNT; ++i) {
    char key[16];
    snprintf(key, sizeof key, "History %d", i + 1);
    GetPrivateProfileStringA("Find History", key, "", g_findHistory[i], sizeof g_findHistory[i], path);
  }
}

void WriteFindHistory() {
  char path[MAX_PATH];
  UserIniPath(path, sizeof path);
  for (int i = 0; i < FIND_HISTORY_COUNT; ++i) {
    char key[16];
    snprintf(key, sizeof key, "History %d", i + 1);
    WritePrivateProfileStringA("Find History", key, g_findHistory[i], path);
  }
}

void FavouritesTable(IniKey* table, char (*keys)[16]) {
  for (int i = 0; i < FAVOURITE_COUNT; ++i) {
    snprintf(keys[i], 16, "Favourite %d", i + 1);
    table[i] = {keys[i], g_favourites[i], INI_STRING, 0};
  }
  table[FAVOURITE_COUNT] = {"", nullptr, 0, 0};
}

void ReadFavourites() {
  for (auto& favourite : g_favourites) favourite[0] = 0;
  IniKey table[FAVOURITE_COUNT + 1];
  char keys[FAVOURITE_COUNT][16];
  FavouritesTable(table, keys);
  char section[64];
  SettingsSection("Favourites", section, sizeof section);
  readini(g_userIniName, section, table);
  for (auto& favourite : g_favourites) favourite[FAVOURITE_MAX] = 0;
}

void WriteAppearance() {
  char path[MAX_PATH], section[64];
  UserIniPath(path, sizeof path);
  SettingsSection("Appearance", section, sizeof section);
  for (int i = 0; i < FONT_ENTRY_COUNT; ++i) {
    const FontTableEntry& e = g_fonts[i];
    char value[128];
    snprintf(value, sizeof value, "<%s> %d %d %lu %lu", e.face, static_cast<int>(e.size), static_cast<int>(e.style),
             static_cast<unsigned long>(e.textColour), static_cast<unsigned long>(e.backColour));
    WritePrivateProfileStringA(section, kAppearanceKeys[i], value, path);
  }
}

void BindSettingsSwitches() {
  g_folderNameSettings.serviceAliases = g_main.aliases;
  g_userRights.allReview = &g_main.allReview;
  g_userRights.openModerators = &g_main.openModerators;
}

}  // namespace

ScreenHooks g_screenHooks = {SystemScreenMetrics};

int SplitSettingsSet(char* loginName) {
  char* slash = std::strchr(loginName, '/');
  if (!slash) return 0;
  *slash = 0;
  long n = std::strtol(slash + 1, nullptr, 10);
  return n > 0 && n < 100000 ? static_cast<int>(n) : 0;
}

void SetSettingsUser(const char* userName, int settingsSet) {
  snprintf(g_userIniName, sizeof g_userIniName, "%.8s.ini", userName ? userName : "");
  g_settingsSet = settingsSet;
}

void SettingsSection(const char* base, char* out, size_t size) {
  if (g_settingsSet)
    snprintf(out, size, "%s/%d", base, g_settingsSet);
  else
    snprintf(out, size, "%s", base);
}

void WindowKindName(int kind, char* out, size_t size) {
  static const char* const kNames[WINDOW_KIND_COUNT] = {
      "",        "Say",           "Comment",      "Mail",          "Reply",          "Fax",     "Edit",
      "Address", "Viewer",        "Review",       "Message",       "Status",         "Main",    "Scheduler",
      "Headers", "Portrait",      "Message Base", "Bookmark List", "Moderate Flist", "Billing", "Resumes",
      "Connect", "Spell Checker", "Subscribe",    "Resume Edit"};
  if (kind >= 1 && kind < WINDOW_KIND_COUNT)
    snprintf(out, size, "%s", kNames[kind]);
  else
    snprintf(out, size, "%d", kind);
}

void ReadWindowPlacements(int kind) {
  if (kind <= 0 || kind >= WINDOW_KIND_COUNT) return;
  ScreenMetrics m{};
  g_screenHooks.metrics(&m);
  const int W = m.width;
  const int H = m.height - m.captionHeight - 8;
  const int w = W < 1024 ? W : 1024;
  const int h = H < 768 ? H : 768;
  const int chrome = 2 * m.frameHeight + m.captionHeight + m.menuHeight + (g_frameLayout.largeButtons ? 37 : 29) +
                     (g_user.statusBar ? g_frameLayout.statusBarHeight : 0);
  const int paneHeight = h - chrome - 3 - (g_frameLayout.secondBarShown ? g_frameLayout.secondBarHeight : 0);

  WindowPlacement p = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 1};
  switch (kind) {
    case WINDOW_MAIN: p = {(W - w) / 2, (H - h) / 2 - m.captionHeight - 8, w, h, 0}; break;
    case WINDOW_MESSAGE_BASE: p = {0, 0, w / 3, paneHeight, 1}; break;
    case WINDOW_MESSAGE: p = {w / 3, 0, 2 * w / 3 - 2 * m.frameWidth - 3, paneHeight, 1}; break;
    case WINDOW_STATUS:
      p.left = 300;
      p.top = 300;
      break;
  }

  char path[MAX_PATH], section[64], key[32], value[128];
  PlacementIniPath(path, sizeof path);
  SettingsSection("Windows", section, sizeof section);
  WindowKindName(kind, key, sizeof key);
  GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
  WindowPlacement stored;
  // A value that does not hold all five numbers is not a position.
  if (value[0] &&
      std::sscanf(value, "%d %d %d %d %d", &stored.left, &stored.top, &stored.width, &stored.height, &stored.show) == 5)
    p = stored;

  if (p.left == kStoredDefault && p.top == kStoredDefault) {
    p.left = p.top = CW_USEDEFAULT;
  } else if (p.left == kStoredDefault || p.top == kStoredDefault) {
    p.left = p.top = 0;
  }
  if (p.width == kStoredDefault) p.width = CW_USEDEFAULT;
  if (p.height == kStoredDefault) p.height = 0;
  if (p.left < 0 && p.left != CW_USEDEFAULT) p.left = 0;
  if (p.top < 0 && p.top != CW_USEDEFAULT) p.top = 0;
  if (kind == WINDOW_MAIN && IsSchedulerInstance()) p.show = SW_SHOWMINNOACTIVE;
  g_windowPlacements[kind] = p;
}

void WriteWindowPlacements(int kind) {
  if (kind <= 0 || kind >= WINDOW_KIND_COUNT) return;
  WindowPlacement p = g_windowPlacements[kind];
  if (p.show == 1 && p.left == -1 && p.width == -1) return;
  for (int* v : {&p.left, &p.top, &p.width, &p.height})
    if (*v == CW_USEDEFAULT || *v == -1) *v = kStoredDefault;
  char path[MAX_PATH], section[64], key[32], value[128];
  PlacementIniPath(path, sizeof path);
  SettingsSection("Windows", section, sizeof section);
  WindowKindName(kind, key, sizeof key);
  snprintf(value, sizeof value, "%d %d %d %d %d", p.left, p.top, p.width, p.height, p.show);
  WritePrivateProfileStringA(section, key, value, path);
}

void ReadAppearance(const char* iniName, int settingsSet) {
  // A bare user name names its INI file as the log-in does.
  char fileName[16], path[MAX_PATH], section[64];
  if (iniName && std::strchr(iniName, '.'))
    snprintf(fileName, sizeof fileName, "%s", iniName);
  else
    snprintf(fileName, sizeof fileName, "%.8s.ini", iniName ? iniName : "");
  IniFilePath(fileName, path, sizeof path);
  if (settingsSet)
    snprintf(section, sizeof section, "Appearance/%d", settingsSet);
  else
    snprintf(section, sizeof section, "Appearance");
  for (int i = 0; i < FONT_ENTRY_COUNT; ++i) {
    char value[kIniStringValue];
    GetPrivateProfileStringA(section, kAppearanceKeys[i], "", value, sizeof value, path);
    const char* close = std::strchr(value, '>');
    if (value[0] != '<' || !close) continue;
    int size = 0, style = 0;
    unsigned long text = 0, back = 0;
    const char* numbers = close[1] == ' ' ? close + 2 : close + 1;
    if (std::sscanf(numbers, "%d %d %lu %lu", &size, &style, &text, &back) != 4) continue;
    FontTableEntry& e = g_fonts[i];
    size_t faceLength = static_cast<size_t>(close - value - 1);
    if (faceLength >= sizeof e.face) faceLength = sizeof e.face - 1;
    std::memcpy(e.face, value + 1, faceLength);
    e.face[faceLength] = 0;
    e.size = size;
    e.style = static_cast<uint32_t>(style);
    e.textColour = static_cast<uint32_t>(text);
    e.backColour = static_cast<uint32_t>(back);
  }
  // These three take their style from the message text; "none" is plain.
  for (int i : {11, 12, 13})
    if (g_fonts[i].style == 0xFFFFFFFFu) g_fonts[i].style = 0;
}

void ReadSettings() {
  if (!g_userIniName[0]) SetSettingsUser(g_app.userName, g_settingsSet);
  BindSettingsSwitches();
  CopyText(g_spellLexicons.autocorrect, sizeof g_spellLexicons.autocorrect, "autocorr.tlx");
  CopyText(g_spellLexicons.ignore, sizeof g_spellLexicons.ignore, "ignore.tlx");
  CopyText(g_spellLexicons.suggest, sizeof g_spellLexicons.suggest, "suggest.tlx");
  SetMainDefaults();

  g_userRights.word = ReadUserRights(g_app.userName);

  char section[64];
  SettingsSection("Main", section, sizeof section);
  readini(g_userIniName, section, g_userMainTable);
  ReadBookSetNames();
  ReadFindHistory();
  ReadAppearance(g_userIniName, g_settingsSet);
  g_userSettingsHooks.readToolbarSettings();
  for (int kind = 0; kind < WINDOW_KIND_COUNT; ++kind) ReadWindowPlacements(kind);

  ReadFavourites();

  if (g_user.currentBookSet < 2) g_user.currentBookSet = 2;
  if (!(g_main.reserved & kReservedNamedSets))
    for (int i = 0; i < BOOK_SET_COUNT; ++i)
      if (!g_bookSetNames[i][0]) snprintf(g_bookSetNames[i], BOOK_NAME_MAX + 1, "Bookmark Set %d", i + 1);

  double ratio = 0;
  if (std::sscanf(g_user.windowRatio, "%lf", &ratio) != 1 || !(ratio > 0 && ratio < 1)) ratio = 0.5;
  g_windowRatio = ratio < 0.1 ? 0.1 : ratio > 0.9 ? 0.9 : ratio;
  HWND frame = g_app.mainWindow;
  const WindowPlacement& main = g_windowPlacements[WINDOW_MAIN];
  if (frame && !IsZoomed(frame) && !IsIconic(frame) && main.left != CW_USEDEFAULT && main.width != CW_USEDEFAULT)
    MoveWindow(frame, main.left, main.top, main.width, main.height, TRUE);

  if (g_settingsRebuild) g_userSettingsHooks.rebuild();
}

void WriteMainItem() {
  char section[64];
  SettingsSection("Main", section, sizeof section);
  writeini(g_userIniName, section, g_userMainTable);
  WriteBookSetNames();
}

void WriteSettings(bool whole) {
  snprintf(g_user.windowRatio, sizeof g_user.windowRatio, "%f", g_windowRatio);
  char section[64];
  SettingsSection("Main", section, sizeof section);
  writeini(g_userIniName, section, g_userMainTable);
  if (!whole) return;
  WriteBookSetNames();
  WriteAppearance();
  WriteFindHistory();
  WriteFavourites();
}

void SaveSettings() { WriteSettings(true); }

void WriteFavourites() {
  IniKey table[FAVOURITE_COUNT + 1];
  char keys[FAVOURITE_COUNT][16];
  FavouritesTable(table, keys);
  char section[64];
  SettingsSection("Favourites", section, sizeof section);
  writeini(g_userIniName, section, table);
}

bool ReadServiceSettings(const char* serviceKey) {
  if (!serviceKey || !serviceKey[0]) return false;
  // Keys this service lacks read as empty, never as the last service's.
  std::memset(&g_serviceAddress, 0, sizeof g_serviceAddress);
  char section[64];
  ServiceSection(serviceKey, section, sizeof section);
  readini(g_userIniName, section, g_serviceAddressTable);
  char plain[kIniStringValue];
  UnscrambleIniPassword(g_serviceAddress.popPassword, plain, sizeof plain);
  CopyText(g_serviceAddress.popPassword, sizeof g_serviceAddress.popPassword, plain);
  for (const IniKey* row = g_serviceAddressTable; row->key[0]; ++row)
    if (row->found) return true;
  return false;
}

namespace {
// The address table with the password row pointing at its scrambled form, so
// the plain password in memory is never changed by a write.
void WriteAddressTo(const char* fileName, const char* serviceKey) {
  char scrambled[kIniStringValue + 2];
  char plain[kIniStringValue];
  CopyText(plain, sizeof plain, g_serviceAddress.popPassword);
  ScrambleIniPassword(plain, scrambled, sizeof scrambled);
  IniKey table[] = {
      g_serviceAddressTable[0], g_serviceAddressTable[1],
      g_serviceAddressTable[2], {"Pop Password", scrambled, INI_STRING, 0},
      {"", nullptr, 0, 0},
  };
  char section[64];
  ServiceSection(serviceKey, section, sizeof section);
  writeini(fileName, section, table);
}
}  // namespace

void WriteServiceAddress(const char* serviceKey) {
  if (!serviceKey || !serviceKey[0]) return;
  WriteAddressTo(g_userIniName, serviceKey);
}

bool ReadServiceAddress(const char* serviceKey) {
  if (!serviceKey || !serviceKey[0]) return false;
  std::memset(&g_serviceAddress, 0, sizeof g_serviceAddress);
  char section[64];
  ServiceSection(serviceKey, section, sizeof section);
  readmainini(section, g_serviceAddressTable);
  char plain[kIniStringValue];
  UnscrambleIniPassword(g_serviceAddress.popPassword, plain, sizeof plain);
  CopyText(g_serviceAddress.popPassword, sizeof g_serviceAddress.popPassword, plain);
  for (const IniKey* row = g_serviceAddressTable; row->key[0]; ++row)
    if (row->found) return true;
  return false;
}

void WriteServiceTable(const char* serviceKey, IniKey* table) {
  if (!serviceKey || !serviceKey[0] || !table) return;
  char section[64];
  ServiceSection(serviceKey, section, sizeof section);
  writeini(g_userIniName, section, table);
}

const char* ReadServiceQuoting(const char* serviceKey, uint32_t* copyOnly) {
  static char attribution[kIniStringValue];
  attribution[0] = 0;
  if (!serviceKey || !serviceKey[0]) return attribution;
  // "\n" stays the two characters backslash and n: the editor expands them.
  if (sameservice(serviceKey, "dvn") || sameservice(serviceKey, "quorl") || lstrcmpiA(serviceKey, "fenwold") == 0) {
    g_serviceQuoting.copyOnly = 0;
    CopyText(g_serviceQuoting.attribution, sizeof g_serviceQuoting.attribution, "%firstname%,\\n\\n");
  } else if (sameservice(serviceKey, "local")) {
    g_serviceQuoting.copyOnly = 1;
    CopyText(g_serviceQuoting.attribution, sizeof g_serviceQuoting.attribution, "None");
  } else {
    g_serviceQuoting.copyOnly = 1;
    CopyText(g_serviceQuoting.attribution, sizeof g_serviceQuoting.attribution,
             "In article %messageid%, %realname% wrote:\\n");
  }
  char section[64];
  ServiceSection(serviceKey, section, sizeof section);
  readini(g_userIniName, section, g_serviceQuotingTable);
  CopyText(attribution, sizeof attribution, g_serviceQuoting.attribution);
  if (copyOnly) *copyOnly = g_serviceQuoting.copyOnly;
  return attribution;
}

const char* ReadServiceRealName(const char* serviceKey) {
  static char realName[kIniStringValue];
  g_serviceRealName[0] = 0;
  if (serviceKey && serviceKey[0]) {
    char section[64];
    ServiceSection(serviceKey, section, sizeof section);
    readini(g_userIniName, section, g_serviceRealNameTable);
  }
  CopyText(realName, sizeof realName, g_serviceRealName);
  return realName;
}

void WriteServiceRealName(const char* serviceKey) {
  if (!serviceKey || !serviceKey[0]) return;
  WriteServiceTable(serviceKey, g_serviceRealNameTable);
}
