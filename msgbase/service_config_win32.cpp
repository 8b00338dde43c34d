// Finding, caching and reading a service's configuration files.
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_keys.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"

void (*g_rebuildMainMenu)() = nullptr;

namespace {
enum : uint32_t { FOLDER_MODERATED = 0x0008 };

void RebuildMenu() {
  if (g_rebuildMainMenu) g_rebuildMainMenu();
}

const ConfRec* OpenFolder() {
  return CurrentFolder.Bound() ? static_cast<const ConfRec*>(CurrentFolder.element) : nullptr;
}

// The open folder's forum: its name up to the first "/", backslash or blank,
// without the service prefix, cut to 8 characters.
void ForumStem(char* out) {
  out[0] = 0;
  const char* name = g_openFolderName ? g_openFolderName() : nullptr;
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
  const char* name = g_openFolderName ? g_openFolderName() : nullptr;
  g_hconfContext.administratorMode = g_userRights.administratorMode;
  g_hconfContext.moderatedFolder = folder && (folder->flags & FOLDER_MODERATED);
  g_hconfContext.delnewsFolder = name && sameservice(name, "delnews");
  g_hconfContext.status = setstatus;
}

void ShowCantOpen(const char* path) {
  char text[MAX_PATH + 160];
  std::snprintf(text, sizeof text, "Can't open '%s'\n\nPlease check that you have correctly installed %%PROGRAM%%",
                path);
  ExpandTextMacros(text);
  msgnote(text);
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
  g_hconf.forumFirstKind = g_hconf.forumOtherKind = false;
  if (sameservice(service, "dvn")) {
    char forum[9], path[MAX_PATH];
    ForumStem(forum);
    std::snprintf(path, sizeof path, "%s%s\\%s.nam", dir, service, forum);
    if (FILE* names = fopen_r(path, FO_QUIET)) {
      ReadForumKind(names);
      fileclose(names);
    } else {
      g_hconf.forumOtherKind = true;
    }
  }

  if (lstrcmpiA(g_app.userName, "special") != 0) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%sspecial.cnf", dir);
    if (FILE* special = fopen_r(path, FO_QUIET)) {
      std::rewind(special);
      ReadScriptCommandLines(special, force);
      fileclose(special);
    }
  }

  char intName[9], first[MAX_PATH], second[MAX_PATH];
  std::snprintf(intName, sizeof intName, "%sint", service);
  std::snprintf(first, sizeof first, "%s%s\\%s.cnf", dir, service, intName);
  std::snprintf(second, sizeof second, "%s%s\\%s.cnf", dir, service, service);
  g_hconf.intVariant = 1;
  FILE* file = fopen_r(first, FO_QUIET);
  if (!file) {
    g_hconf.intVariant = 0;
    file = fopen_r(second, FO_QUIET);
  }
  if (!file) {
    if (!g_hconf.warned) ShowCantOpen(first);
    g_hconf.warned = true;
    g_hconf.cacheValid = false;   // a later try may find the file installed
    EndWait();
    return 0;
  }
  ReadServiceConfigLines(file, force);
  fileclose(file);

  char serviceDir[MAX_PATH];
  std::snprintf(serviceDir, sizeof serviceDir, "%s%s", dir, service);
  changedir(serviceDir);
  StrCopyN(g_hconf.loadedService, service, sizeof g_hconf.loadedService - 1);
  char dataDir[MAX_PATH];
  StrCopyN(dataDir, dir, sizeof dataDir - 1);
  size_t n = std::strlen(dataDir);
  if (n > 1 && (dataDir[n - 1] == '\\' || dataDir[n - 1] == '/')) dataDir[n - 1] = 0;
  changedir(dataDir);
  EndWait();
  RebuildMenu();
  DebugLogF("rdhconf('%s'): finished\n", service);
  return 1;
}

int LoadFolderConf(const char* service) {
  if (service) return rdhconf(service, 0);
  const char* name = g_openFolderName ? g_openFolderName() : nullptr;
  if (!name) return rdhconf("", 0);
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, name);
  return rdhconf(key, 0);
}
