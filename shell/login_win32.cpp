// Log-in and the hand-off of a second start to the running instance.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "msgbase/user_folders.h"
#include "online/login_script.h"
#include "resources/shell_ids.h"
#include "shell/login.h"
#include "shell/postits.h"
#include "shell/shell_hooks.h"
#include "shell/shell_state.h"
#include "shell/startup.h"

bool g_loginFailed = false;

namespace {

// The built-in password of the user "default", kept as the user file keeps
// passwords: each byte's two halves exchanged.
const char kDefaultPasswordSwapped[] = "\x17\x57\x96\x26\x27\x56\xc6";

FILE* s_userLock = nullptr;
char s_tempDir[MAX_PATH] = "";

void NibbleSwap(const char* in, char* out, size_t size) {
  size_t i = 0;
  for (; in[i] && i + 1 < size; ++i) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    out[i] = static_cast<char>((c << 4) | (c >> 4));
  }
  out[i] = 0;
}

bool IsDefaultPassword(const char* entered) {
  char builtIn[16];
  NibbleSwap(kDefaultPasswordSwapped, builtIn, sizeof builtIn);
  return lstrcmpiA(entered, builtIn) == 0;
}

[[noreturn]] void Fail() {
  g_app.userName[0] = 0;
  g_loginFailed = true;
  AbortCommand();
}

void FindTempDirectory() {
  const char* names[] = {"TEMP", "TMP"};
  for (const char* name : names) {
    char value[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (!n || n >= sizeof value) continue;
    DWORD attributes = GetFileAttributesA(value);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      StrCopyN(s_tempDir, value, sizeof s_tempDir - 1);
      return;
    }
  }
  std::strcpy(s_tempDir, "C:\\");
}

void SetUser(const char* name, const char* password) {
  StrCopyN(g_app.userName, name, sizeof g_app.userName - 1);
  StrCopyN(g_userPassword, password, sizeof g_userPassword - 1);
}

bool TakeUserLock() {
  char path[MAX_PATH];
  UserFilePath(g_app.userName, ".usr", path, sizeof path);
  FILE* lock = openuserlock(path);
  if (!lock) return false;
  if (s_userLock) fileclose(s_userLock);
  s_userLock = lock;
  return true;
}

enum CheckResult { CHECK_OK, CHECK_WRONG, CHECK_HELD, CHECK_NO_FILE };

// The user file, its stored name and the password, then the lock.
CheckResult CheckUser(const char* name, const char* password, bool checkPassword) {
  char path[MAX_PATH];
  UserFilePath(name, ".usr", path, sizeof path);
  FILE* file = fileopen(path, _O_RDONLY | _O_BINARY, "rb", LOCK_DENY_WRITE | LOCK_QUIET);
  if (!file) return CHECK_NO_FILE;
  UserFileHead head = {};
  UserFileResult read = ReadUserFileHead(file, &head);
  fileclose(file);
  if (read != USERFILE_OK || lstrcmpiA(head.name, name) != 0) {
    msgwarnid(IDS_INCORRECT_LOGIN);
    return CHECK_WRONG;
  }
  bool passwordOk =
      lstrcmpiA(name, "default") == 0 ? IsDefaultPassword(password) : lstrcmpiA(head.password, password) == 0;
  if (checkPassword && !passwordOk) {
    msgwarnid(IDS_INCORRECT_LOGIN);
    return CHECK_WRONG;
  }
  SetUser(name, head.password);
  g_userFileName[0] = 0;
  if (TakeUserLock() || ActivateRunningInstance()) return CHECK_OK;
  g_app.userName[0] = 0;
  return CHECK_HELD;
}

// A new account from the template default.usr.
void CreateAccount(const char* name, const char* password) {
  BeginWait();
  g_settingsRebuild = false;
  SetUser("default", "quibrel");
  SetSettingsUser("default", 0);
  ReadSettings();
  UserFilePath("default", ".usr", g_userFileName, sizeof g_userFileName);
  Conferences.SetSize(0);
  if (lstrcmpiA(name, "default") != 0) g_user.userFlags |= 1;
  uint32_t flags = g_user.userFlags;
  if (FILE* probe = fopen_r(g_userFileName, FO_BINARY | FO_QUIET)) {
    fileclose(probe);
    rduconf();
    g_user.userFlags = flags;
  }
  SetUser(name, password);
  g_userFileName[0] = 0;
  SetSettingsUser(name, g_settingsSet);
  g_user.lastPostIt = static_cast<uint32_t>(PostitsPending());
  wtuconf();
  SaveSettings();
  g_settingsRebuild = true;
  EndWait();
}

bool Printable(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (*p <= ' ' || *p == 0x7f) return false;
  return true;
}

// Self-registration: an ID and a password; false when the user gave up.
bool RegisterNewUser(char* name, char* password) {
  for (;;) {
    char id[80] = "";
    if (!askstrnoowner(loadstr(IDS_CHOOSE_ID), id) || !id[0]) return false;
    if (!Printable(id)) {
      msgwarnid(IDS_PRINTABLE_ONLY);
      continue;
    }
    if (_strnicmp(id, "fenwold", 7) == 0) {
      msgwarnid(IDS_RESERVED_NAME);
      continue;
    }
    char path[MAX_PATH];
    UserFilePath(id, ".usr", path, sizeof path);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
      msgwarnid(IDS_SAME_STEM);
      continue;
    }
    StrCopyN(name, id, 40);
    break;
  }
  if (lstrcmpiA(name, "default") == 0) {
    std::strcpy(password, "quibrel");
    return true;
  }
  for (;;) {
    char answer[80] = "";
    if (!paskstrnoowner(loadstr(IDS_CHOOSE_PASSWORD), answer)) return false;
    if (!answer[0]) {
      msgwarnid(IDS_MUST_DEFINE_PASSWORD);
      continue;
    }
    if (!Printable(answer)) {
      msgwarnid(IDS_PRINTABLE_ONLY);
      continue;
    }
    StrCopyN(password, answer, 40);
    return true;
  }
}

int CountUsers() {
  char pattern[MAX_PATH];
  UserFilePath("*", ".usr", pattern, sizeof pattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (lstrcmpiA(found.cFileName, "default.usr") != 0 && lstrcmpiA(found.cFileName, "sched.usr") != 0) ++count;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

bool AdminFileExists() {
  char path[MAX_PATH];
  UserFilePath("admin", ".usr", path, sizeof path);
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// A user file still in its 2.00 form is kept as .bak before this version
// writes it in its own.
void KeepOldUserFile() {
  if (!g_app.userName[0] || !g_userPassword[0]) return;
  char path[MAX_PATH], backup[MAX_PATH];
  UserFilePath(g_app.userName, ".usr", path, sizeof path);
  UserFilePath(g_app.userName, ".bak", backup, sizeof backup);
  FILE* file = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!file) return;
  UserFileHead head = {};
  bool old = ReadUserFileHead(file, &head) == USERFILE_OK && head.version == USERFILE_VERSION_2;
  fileclose(file);
  if (old) CopyFileA(path, backup, FALSE);
}

void PrepareMessageBase() {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%sconf.ww", g_app.dataDir);
  bool newBase = false;
  FILE* conf = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!conf) {
    conf = fopen_w(path, FO_BINARY | FO_QUIET);
    newBase = true;
  }
  if (conf) fileclose(conf);

  char ini[MAX_PATH], build[21] = "";
  std::snprintf(ini, sizeof ini, "%sfenwold.ini", g_app.dataDir);
  GetPrivateProfileStringA("Fenwold", "Build", "", build, sizeof build, ini);
  if (lstrcmpiA(build, "yes") == 0) {
    WritePrivateProfileStringA("Fenwold", "Build", nullptr, ini);
    newBase = true;
  }

  if (!rdconf(0) && !newBase) {
    msgwarnid(IDS_SYSTEM_FOLDER_FILE);
    Fail();
  }
  g_shellHooks.loadModeratedList(0);
  if (Conferences.Count() == 0 || newBase) {
    // Unattended ("/build", "/prune") no box may wait: an empty folder list is
    // taken as a fresh installation, which changes nothing.
    bool freshInstall = true;
    if (!newBase && g_app.unattended)
      DebugLog("Login: empty folder list taken as a fresh installation (unattended)\n");
    else if (!newBase)
      freshInstall = askyesnoid(IDS_FRESH_INSTALL) != 0;
    if (newBase || !freshInstall) {
      setstatusid(IDS_REINDEXING);
      g_app.userName[0] = 0;
      g_userFileName[0] = 0;
      g_shellHooks.rebuildMessageBase();
      rdconf(0);
      setstatus("");
      if (Conferences.Count() == 0) Fail();
    }
    g_shellHooks.genericCall(0xFFFF, 4);  // every installed tool
  }
}

}  // namespace

bool UserLoggedIn() { return g_app.userName[0] != 0 && s_userLock != nullptr; }

void ReleaseUserLock() {
  if (!s_userLock) return;
  fileclose(s_userLock);
  s_userLock = nullptr;
}

int LoginNamedUser(const char* userName, const char* password, int checkPassword) {
  char name[64], pass[64];
  StrCopyN(name, userName, sizeof name - 1);
  StrCopyN(pass, password ? password : "", sizeof pass - 1);
  int set = SplitSettingsSet(name);
  if (set) g_settingsSet = set;
  switch (CheckUser(name, pass, checkPassword != 0)) {
    case CHECK_OK: return 1;
    case CHECK_WRONG:
    case CHECK_HELD: Fail();
    case CHECK_NO_FILE: break;
  }
  if (g_main.newUsers && !checkPassword) {
    msgnoteid(IDS_NEW_ACCOUNT);
    char path[MAX_PATH];
    UserFilePath(name, ".usr", path, sizeof path);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
      msgwarnid(IDS_SAME_STEM);
      msgwarnid(IDS_INCORRECT_LOGIN);
      Fail();
    }
    CreateAccount(name, pass);
    // The new account is held like any other, or a second start would share it.
    if (!TakeUserLock() && !ActivateRunningInstance()) Fail();
    return 1;
  }
  if (!checkPassword) msgwarnid(IDS_NO_ACCOUNT);
  msgwarnid(IDS_INCORRECT_LOGIN);
  Fail();
}

void InteractiveLogin(const char* userName) {
  CloseSplash();
  char prefill[64];
  StrCopyN(prefill, userName ? userName : "", sizeof prefill - 1);
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!ChooseLoginScript(prefill)) Fail();
    char name[64], pass[64];
    StrCopyN(name, g_app.userName, sizeof name - 1);
    StrCopyN(pass, g_userPassword, sizeof pass - 1);
    g_app.userName[0] = 0;
    strlwr_ascii(name);
    int set = SplitSettingsSet(name);
    if (set) g_settingsSet = set;
    if (std::strcmp(name, "new") != 0 || !g_main.newUsers) {
      CheckResult result = CheckUser(name, pass, true);
      if (result == CHECK_OK) return;
      if (result == CHECK_NO_FILE) msgwarnid(IDS_INCORRECT_LOGIN);
      StrCopyN(prefill, name, sizeof prefill - 1);
      continue;
    }
    if (!RegisterNewUser(name, pass)) Fail();
    CreateAccount(name, pass);
    if (TakeUserLock() || ActivateRunningInstance()) return;
    g_app.userName[0] = 0;
  }
  if (s_tempDir[0]) changedir(s_tempDir);
  Fail();
}

void LoginUser(const char* userName, const char* password) {
  g_loginFailed = false;
  logclose();
  g_app.userName[0] = 0;
  char name[64], pass[64];
  StrCopyN(name, userName ? userName : "", sizeof name - 1);
  StrCopyN(pass, password ? password : "", sizeof pass - 1);
  g_settingsSet = SplitSettingsSet(name);
  FindTempDirectory();
  if (changedir(g_app.dataDir) != 0) {
    WarnBoxF(loadstr(IDS_CANT_CHANGE_DIR), g_app.dataDir);
    Fail();
  }
  InitDefaults();
  if (changedir(g_app.dataDir) != 0) {
    WarnBoxF(loadstr(IDS_BAD_MESSAGE_PATH), "fenwold.ini");
    Fail();
  }
  char lockPath[MAX_PATH];
  std::snprintf(lockPath, sizeof lockPath, "%susrlock", g_app.dataDir);
  FILE* maintenance =
      fileopen(lockPath, _O_RDWR | _O_CREAT | _O_BINARY, "w+b", LOCK_EXCLUSIVE | LOCK_TEMP | LOCK_QUIET);
  if (!maintenance) {
    msgwarnid(IDS_UNAVAILABLE);
    Fail();
  }
  fileclose(maintenance);

  PrepareMessageBase();

  if (g_main.networkNames && lstrcmpiA(name, "sched") != 0) {
    char windowsName[41] = "";
    DWORD size = sizeof windowsName;
    if (!GetUserNameA(windowsName, &size)) windowsName[0] = 0;
    strlwr_ascii(windowsName);
    if (windowsName[0])
      LoginNamedUser(windowsName, windowsName, 0);
    else
      InteractiveLogin("");
  } else if (name[0] && pass[0]) {
    LoginNamedUser(name, pass, 1);
  } else if (CountUsers() == 1 && AdminFileExists()) {
    LoginNamedUser("admin", pass, 1);
  } else {
    InteractiveLogin(name);
  }

  changedir(g_app.dataDir);
  SetSettingsUser(g_app.userName, g_settingsSet);
  ReadSettings();
  rduconf();
  g_shellHooks.loadBookmarks();
  if (g_user.addressBookOpen) g_shellHooks.openAddressBook();
  g_shellHooks.selectBookmarkSet(g_shellHooks.currentBookmarkSet());
  KeepOldUserFile();
  if (g_user.userFlags & 4) g_userRights.administratorMode = true;
  DebugLogF("LoginUser: '%s' logged in\n", g_app.userName);
}

bool FrameTitleMatches(const char* title, const char* wanted) {
  size_t n = std::strlen(wanted);
  if (_strnicmp(title, wanted, n) != 0) return false;
  return title[n] == 0 || std::strncmp(title + n, " - [", 4) == 0;
}

namespace {
struct RunningSearch {
  char title[201];
  HWND found;
};
}  // namespace

BOOL CALLBACK MatchRunningFrame(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<RunningSearch*>(lParam);
  char title[201] = "", className[101] = "";
  GetWindowTextA(window, title, sizeof title);
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "PL") == 0 && FrameTitleMatches(title, search->title)) search->found = window;
  return TRUE;
}

namespace {

enum HandOff { HANDED_OVER, NOT_RUNNING, CLOSING };

HandOff OfferSwitches() {
  RunningSearch search = {};
  MainTitleFor(g_app.userName, search.title, sizeof search.title);
  EnumWindows(MatchRunningFrame, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return NOT_RUNNING;
  if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
  SetForegroundWindow(search.found);
  const char* slash = std::strchr(g_app.switches, '/');
  if (!slash) return HANDED_OVER;
  COPYDATASTRUCT data = {};
  data.dwData = 0;
  data.cbData = static_cast<DWORD>(std::strlen(slash) + 1);
  data.lpData = const_cast<char*>(slash);
  // 0 when the instance refuses them while closing, or is gone before it
  // answers.
  LRESULT taken =
      SendMessageA(search.found, WM_COPYDATA, reinterpret_cast<WPARAM>(g_shell.frame), reinterpret_cast<LPARAM>(&data));
  return taken ? HANDED_OVER : CLOSING;
}

}  // namespace

bool ActivateRunningInstance() {
  if (g_shell.frame) ShowWindow(g_shell.frame, SW_HIDE);
  if (g_shell.frame) SetWindowTextA(g_shell.frame, "");
  HandOff offer = OfferSwitches();
  if (offer == HANDED_OVER) return false;
  if (offer == CLOSING) {
    // Its lock goes at its end; should the user call the close off, the
    // switches are offered again.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
      Sleep(200);
      if (TakeUserLock()) {
        DebugLog("Login: the running instance closed; this start goes on\n");
        return true;
      }
      if (OfferSwitches() == HANDED_OVER) return false;
    }
  }
  msgwarnid(IDS_ALREADY_LOGGED_ON);
  return false;
}
