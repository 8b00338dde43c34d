// Finding, caching and reading a service's configuration files.
#include <windows.h>

#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_keys.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"

namespace {
void NoMenu() {}
}  // namespace

ServiceConfigHooks g_serviceConfigHooks = {NoMenu};

namespace {
enum : uint32_t { FOLDER_MODERATED = 0x0008 };

void RebuildMenu() { g_serviceConfigHooks.rebuildMainMenu(); }

const ConfRec* OpenFolder() {
  return CurrentFolder.Bound() ? static_cast<const ConfRec*>(CurrentFolder.element) : nullptr;
}

// The open folder's forum: its name up to the first "/", backslash or blank,
// without the service prefix, cut to 8 characters.
void ForumStem(char* out) {
  out[0] = 0;
  const char* name = OpenFolderNameOrNull();
  if (!name) return;
  const char* colon = std::strchr(name, ':');
  const char* start = colon ? colon + 1 : name;
  size_t n = std::strcspn(start, "/\\ ");
  if (n > 8) n = 8;
  std::memcpy(out, start, n);
  out[n] = 0;
}

void SetContextFromProgram() {
  const ConfRec* folder = OpenFolder();
  const char* name = OpenFolderNameOrNull();
  g_hconfContext.administratorMode = g_userRights.administratorMode;
  g_hconfContext.moderatedFolder = folder && (folder->flags & FOLDER_MODERATED);
  g_hconfContext.delnewsFolder = name && sameservice(name, "delnews");
  g_hconfContext.status = setstatus;
}

// The parts of the block a read leaves behind that it does not start afresh:
// a read's outcome depends on them, so they belong to its inputs as well.
struct CarriedState {
  char bLineChar = 0;
  char bLineText[BLINE_TEXT_SIZE] = "";
  bool qLine = false;
  bool forumFirstKind = false, forumOtherKind = false;

  static CarriedState Now() {
    CarriedState c;
    c.bLineChar = g_hconf.bLineChar;
    std::memcpy(c.bLineText, g_hconf.bLineText, sizeof c.bLineText);
    c.qLine = g_hconf.qLine;
    c.forumFirstKind = g_hconf.forumFirstKind;
    c.forumOtherKind = g_hconf.forumOtherKind;
    return c;
  }
  void Restore() const {
    g_hconf.bLineChar = bLineChar;
    std::memcpy(g_hconf.bLineText, bLineText, sizeof bLineText);
    g_hconf.qLine = qLine;
    g_hconf.forumFirstKind = forumFirstKind;
    g_hconf.forumOtherKind = forumOtherKind;
  }
  bool operator==(const CarriedState& o) const {
    return bLineChar == o.bLineChar && std::memcmp(bLineText, o.bLineText, sizeof bLineText) == 0 && qLine == o.qLine &&
           forumFirstKind == o.forumFirstKind && forumOtherKind == o.forumOtherKind;
  }
};

// Every file a read looked at, in the order it looked, and what the read
// depended on besides; two reads with equal inputs give equal results.
struct ReadInputs {
  enum { kNames, kSpecial, kFirst, kSecond, kFiles };
  std::string service;
  std::string paths[kFiles];  // empty: not looked at
  FileStamp stamps[kFiles];
  int force = 0;
  bool administratorMode = false, moderatedFolder = false, delnewsFolder = false;
  CarriedState before;

  bool operator==(const ReadInputs& o) const {
    if (service != o.service || force != o.force || administratorMode != o.administratorMode ||
        moderatedFolder != o.moderatedFolder || delnewsFolder != o.delnewsFolder || !(before == o.before))
      return false;
    for (int i = 0; i < kFiles; ++i)
      if (paths[i] != o.paths[i] || !(stamps[i] == o.stamps[i])) return false;
    return true;
  }
};

// The result of the last read of a service's files. Closing a topic loads the
// empty configuration and the next open loads the service again; while none
// of its files changed, the next open takes this copy instead of reading and
// parsing them all again.
struct ReadResult {
  bool valid = false;
  ReadInputs inputs;
  int result = 0;
  std::string slots[HCONF_SLOTS];
  ScriptCommand commands[MAX_SCRIPT_COMMANDS] = {};  // texts are in `texts`
  std::string texts[MAX_SCRIPT_COMMANDS];
  int commandCount = 0;
  ScriptMenuEntry menu[MAX_SCRIPT_COMMANDS + 1] = {};
  int intVariant = 0;
  CarriedState after;
};
ReadResult s_lastRead;
int s_statusNotices = 0;  // notices given while the files were parsed

void CountedStatus(const char* text) {
  ++s_statusNotices;
  setstatus(text);
}

void KeepRead(const ReadInputs& inputs, int result) {
  s_lastRead.valid = false;
  // A read that gave notices must give them again next time.
  if (s_statusNotices) return;
  s_lastRead.inputs = inputs;
  s_lastRead.result = result;
  for (int i = 0; i < HCONF_SLOTS; ++i) s_lastRead.slots[i] = g_hconf.slots[i];
  s_lastRead.commandCount = g_hconf.commandCount;
  for (int i = 0; i < g_hconf.commandCount; ++i) {
    s_lastRead.commands[i] = g_hconf.commands[i];
    s_lastRead.commands[i].text = nullptr;
    s_lastRead.texts[i] = g_hconf.commands[i].text ? g_hconf.commands[i].text : "";
  }
  std::memcpy(s_lastRead.menu, g_hconf.menu, (g_hconf.commandCount + 1) * sizeof(ScriptMenuEntry));
  s_lastRead.intVariant = g_hconf.intVariant;
  s_lastRead.after = CarriedState::Now();
  s_lastRead.valid = true;
}

// Puts the kept result back; false (nothing changed) when memory runs out.
bool RestoreRead() {
  char* texts[MAX_SCRIPT_COMMANDS] = {};
  const int count = s_lastRead.commandCount;
  for (int i = 0; i < count; ++i) {
    texts[i] = static_cast<char*>(std::malloc(s_lastRead.texts[i].size() + 1));
    if (!texts[i]) {
      for (int j = 0; j < i; ++j) std::free(texts[j]);
      return false;
    }
    std::memcpy(texts[i], s_lastRead.texts[i].c_str(), s_lastRead.texts[i].size() + 1);
  }
  for (int i = 0; i < HCONF_SLOTS; ++i)
    std::memcpy(g_hconf.slots[i], s_lastRead.slots[i].c_str(), s_lastRead.slots[i].size() + 1);
  for (int i = 0; i < count; ++i) {
    std::free(g_hconf.commands[i].text);
    g_hconf.commands[i] = s_lastRead.commands[i];
    g_hconf.commands[i].text = texts[i];
  }
  g_hconf.commandCount = count;
  std::memcpy(g_hconf.menu, s_lastRead.menu, (count + 1) * sizeof(ScriptMenuEntry));
  g_hconf.intVariant = s_lastRead.intVariant;
  if (s_lastRead.result)
    StrCopyN(g_hconf.loadedService, s_lastRead.inputs.service.c_str(), sizeof g_hconf.loadedService - 1);
  s_lastRead.after.Restore();
  return true;
}

bool AllSettled(const ReadInputs& inputs) {
  for (const FileStamp& stamp : inputs.stamps)
    if (!stamp.Settled()) return false;
  return true;
}

void ShowCantOpen(const char* path) {
  char text[MAX_PATH + 160];
  std::snprintf(text, sizeof text, "Can't open '%s'\n\nPlease check that you have correctly installed %%PROGRAM%%",
                path);
  ExpandTextMacros(text, sizeof text);
  msgnote(text);
}
// Reads the files the inputs name, as they are now; 1 when the service's own
// file was read, 0 when neither of its names could be opened.
int ReadServiceFiles(const ReadInputs& inputs, int force) {
  s_statusNotices = 0;
  g_hconfContext.status = CountedStatus;
  bool asStamped = true;  // every file opened that was there, and only those
  if (!inputs.paths[ReadInputs::kNames].empty()) {
    if (FILE* names = fopen_r(inputs.paths[ReadInputs::kNames].c_str(), FO_QUIET)) {
      ReadForumKind(names);
      fileclose(names);
      asStamped = asStamped && inputs.stamps[ReadInputs::kNames].present;
    } else {
      g_hconf.forumOtherKind = true;
      asStamped = asStamped && !inputs.stamps[ReadInputs::kNames].present;
    }
  }
  if (!inputs.paths[ReadInputs::kSpecial].empty()) {
    FILE* special = fopen_r(inputs.paths[ReadInputs::kSpecial].c_str(), FO_QUIET);
    asStamped = asStamped && (special != nullptr) == inputs.stamps[ReadInputs::kSpecial].present;
    if (special) {
      std::rewind(special);
      ReadScriptCommandLines(special, force);
      fileclose(special);
    }
  }
  g_hconf.intVariant = 1;
  FILE* file = fopen_r(inputs.paths[ReadInputs::kFirst].c_str(), FO_QUIET);
  asStamped = asStamped && (file != nullptr) == inputs.stamps[ReadInputs::kFirst].present;
  if (!file) {
    g_hconf.intVariant = 0;
    char second[MAX_PATH];
    std::string name = inputs.service + ".cnf";
    JoinPath(second, sizeof second, {g_app.dataDir, inputs.service.c_str(), name.c_str()});
    file = fopen_r(second, FO_QUIET);
    asStamped = asStamped && inputs.paths[ReadInputs::kSecond] == second &&
                (file != nullptr) == inputs.stamps[ReadInputs::kSecond].present;
  }
  int result = 0;
  if (file) {
    ReadServiceConfigLines(file, force);
    fileclose(file);
    StrCopyN(g_hconf.loadedService, inputs.service.c_str(), sizeof g_hconf.loadedService - 1);
    result = 1;
  }
  g_hconfContext.status = setstatus;
  if (asStamped && AllSettled(inputs))
    KeepRead(inputs, result);
  else
    s_lastRead.valid = false;
  g_hconf.lastReadKept = s_lastRead.valid;
  return result;
}
// Passes through the service's directory and ends in the data directory.
// A load that finds the files unchanged and the process still where the last
// load left it would end in the same place, so it skips the two changes
// (each costs more than the rest of such a load); a network path always
// takes them, as their failure is reported.
void ChangeToDataDirectory(const char* service, bool restored) {
  static std::string s_leftFor, s_leftIn;  // data directory and service; where the load left the process
  const std::string key = std::string(g_app.dataDir) + '|' + service;
  char now[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof now, now);
  const bool network = g_app.dataDir[0] == '\\' && g_app.dataDir[1] == '\\';
  if (restored && !network && length > 0 && length < sizeof now && key == s_leftFor && s_leftIn == now) return;
  const char* dir = g_app.dataDir;
  char serviceDir[MAX_PATH];
  JoinPath(serviceDir, sizeof serviceDir, {dir, service});
  changedir(serviceDir);
  char dataDir[MAX_PATH];
  StrCopyN(dataDir, dir, sizeof dataDir - 1);
  size_t n = std::strlen(dataDir);
  if (n > 1 && (dataDir[n - 1] == '\\' || dataDir[n - 1] == '/')) dataDir[n - 1] = 0;
  changedir(dataDir);
  length = GetCurrentDirectoryA(sizeof now, now);
  s_leftFor = key;
  s_leftIn = length > 0 && length < sizeof now ? now : "";
}
}  // namespace

int rdhconf(const char* service, int force) {
  if (!service) service = "";
  const ConfRec* folder = OpenFolder();
  const bool extended = force || (folder && (folder->flags & FOLDER_MODERATED));
  const bool admin = g_userRights.administratorMode;
  if (g_hconf.cacheValid && lstrcmpiA(service, g_hconf.cachedService) == 0 && extended == g_hconf.cachedExtended &&
      admin == g_hconf.cachedAdmin)
    return 1;
  if (sameservice(service, "msmail") || sameservice(service, "ccmail") || g_app.fatalError) return 1;
  if (!AllocServiceConfig() && !g_hconf.slots) return 0;

  StrCopyN(g_hconf.cachedService, service, sizeof g_hconf.cachedService - 1);
  g_hconf.cachedExtended = extended;
  g_hconf.cachedAdmin = admin;
  g_hconf.cacheValid = true;
  DebugLogF("rdhconf('%s'): start\n", service);
  BeginWait();
  ResetScriptCommands();
  SetContextFromProgram();
  if (service[0]) LoadServiceSettings(service);
  if (!service[0]) {
    RebuildMenu();
    EndWait();
    return 1;
  }

  const char* dir = g_app.dataDir;
  ReadInputs inputs;
  inputs.service = service;
  inputs.force = force;
  inputs.administratorMode = g_hconfContext.administratorMode;
  inputs.moderatedFolder = g_hconfContext.moderatedFolder;
  inputs.delnewsFolder = g_hconfContext.delnewsFolder;
  g_hconf.forumFirstKind = g_hconf.forumOtherKind = false;
  if (sameservice(service, "dvn")) {
    char forum[9], name[16], path[MAX_PATH];
    ForumStem(forum);
    std::snprintf(name, sizeof name, "%s.nam", forum);
    JoinPath(path, sizeof path, {dir, service, name});
    inputs.paths[ReadInputs::kNames] = path;
  }
  inputs.before = CarriedState::Now();
  if (lstrcmpiA(g_app.userName, "special") != 0) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%sspecial.cnf", dir);
    inputs.paths[ReadInputs::kSpecial] = path;
  }
  char intName[9], name[80], first[MAX_PATH], second[MAX_PATH];
  std::snprintf(intName, sizeof intName, "%sint", service);
  std::snprintf(name, sizeof name, "%s.cnf", intName);
  JoinPath(first, sizeof first, {dir, service, name});
  std::snprintf(name, sizeof name, "%s.cnf", service);
  JoinPath(second, sizeof second, {dir, service, name});
  inputs.paths[ReadInputs::kFirst] = first;
  // Taken before the files are opened: a change made while they are read
  // then shows as a change at the next load.
  for (int i = 0; i < ReadInputs::kFiles; ++i) inputs.stamps[i] = FileStamp::Of(inputs.paths[i].c_str());
  if (!inputs.stamps[ReadInputs::kFirst].present) {
    inputs.paths[ReadInputs::kSecond] = second;
    inputs.stamps[ReadInputs::kSecond] = FileStamp::Of(second);
  }

  int result;
  bool restored = false;
  if (s_lastRead.valid && g_hconf.lastReadKept && s_lastRead.inputs == inputs && RestoreRead()) {
    result = s_lastRead.result;
    restored = true;
  } else {
    result = ReadServiceFiles(inputs, force);
  }
  if (!result) {
    if (!g_hconf.warned) ShowCantOpen(first);
    g_hconf.warned = true;
    g_hconf.cacheValid = false;  // a later try may find the file installed
    EndWait();
    return 0;
  }

  ChangeToDataDirectory(service, restored);
  EndWait();
  RebuildMenu();
  DebugLogF("rdhconf('%s'): finished\n", service);
  return 1;
}

int LoadFolderConf(const char* service) {
  if (service) return rdhconf(service, 0);
  const char* name = OpenFolderNameOrNull();
  if (!name) return rdhconf("", 0);
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, name);
  return rdhconf(key, 0);
}
