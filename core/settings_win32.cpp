// Program settings of fenwold.ini.
#include "core/settings.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/text1252.h"

MainSettings g_main;
ServiceSettings g_service;

IniKey g_mainTable[] = {
    {"Message Path", g_main.messagePath, INI_STRING, 0},
    {"Exe Path", g_main.exePath, INI_STRING, 0},
    {"Version", g_main.version, INI_STRING, 0},
    {"All Review", &g_main.allReview, INI_FLAG, 0},
    {"Local Mail", &g_main.localMail, INI_FLAG, 0},
    {"Network Names", &g_main.networkNames, INI_FLAG, 0},
    {"New Users", &g_main.newUsers, INI_FLAG, 0},
    {"Open Moderators", &g_main.openModerators, INI_FLAG, 0},
    {"Protect Read Only", &g_main.protectReadOnly, INI_FLAG, 0},
    {"Close Import", &g_main.closeImport, INI_FLAG, 0},
    {"Import Idle", &g_main.importIdle, INI_UNSIGNED, 0},
    {"Stop Import", &g_main.stopImport, INI_FLAG, 0},
    {"Inherit Keep", &g_main.inheritKeep, INI_FLAG, 0},
    {"Inherit Delete", &g_main.inheritDelete, INI_FLAG, 0},
    {"Auto Scroll Messages", &g_main.autoScrollMessages, INI_FLAG, 0},
    {"Thread Timeout", &g_main.threadTimeout, INI_UNSIGNED, 0},
    {"Sort By Date", &g_main.sortByDate, INI_FLAG, 0},
    {"Aliases", g_main.aliases, INI_STRING, 0},
    {"Auto Download", &g_main.autoDownload, INI_FLAG, 0},
    {"Debug Log", &g_main.debugLog, INI_FLAG, 0},
    {"Poll Period", &g_main.pollPeriod, INI_UNSIGNED, 0},
    {"Reply Backups", &g_main.replyBackups, INI_UNSIGNED, 0},
    {"Virus", g_main.virus, INI_STRING, 0},
    {"Timezone", g_main.timezone, INI_STRING, 0},
    {"Addons", g_main.addons, INI_STRING, 0},
    {"Reserved", &g_main.reserved, INI_ULONG, 0},
    {"", nullptr, 0, 0},
};

IniKey g_serviceTable[] = {
    {"Name", g_service.name, INI_STRING, 0},
    {"Pass", g_service.pass, INI_STRING, 0},
    {"Group Names", g_service.groupNames, INI_STRING, 0},
    {"Personal Address", g_service.personalAddress, INI_STRING, 0},
    {"Skip Duplicates", &g_service.skipDuplicates, INI_FLAG, 0},
    {"Thread Mail By Subject", &g_service.threadMailBySubject, INI_FLAG, 0},
    {"Thread By Subject", &g_service.threadBySubject, INI_FLAG, 0},
    {"Thread Microsoft Mail", &g_service.threadMicrosoftMail, INI_FLAG, 0},
    {"Keep Own Messages", &g_service.keepOwnMessages, INI_FLAG, 0},
    {"", nullptr, 0, 0},
};

IniKey g_netServiceTable[] = {
    {"Forum File", g_service.forumFile, INI_STRING, 0},
    {"Nntp Killfile", g_service.nntpKillfile, INI_STRING, 0},
    {"Real Name", g_service.realName, INI_STRING, 0},
    {"Email Address", g_service.emailAddress, INI_STRING, 0},
    {"", nullptr, 0, 0},
};

IniKey g_dvnServiceTable[] = {
    {"Forum File", g_service.forumFile, INI_STRING, 0},
    {"Set Options", &g_service.setOptions, INI_FLAG, 0},
    {"Mail Name", g_service.mailName, INI_STRING, 0},
    {"", nullptr, 0, 0},
};

IniKey g_tbbsServiceTable[] = {
    {"Last Mail Name", g_service.lastMailName, INI_STRING, 0},
    {"", nullptr, 0, 0},
};

namespace {

char g_loadedService[9];

void CopyText(char* dest, size_t size, const char* text) { snprintf(dest, size, "%s", text); }

// Empty or relative ("." first) becomes the data directory; then lower case
// and a trailing backslash, and the expanded copy beside it.
void CorrectPath(char* path, size_t size, char* expanded, size_t expandedSize) {
  if (!path[0] || path[0] == '.') CopyText(path, size, g_app.dataDir);
  StrLower1252(path);
  size_t n = strlen(path);
  if ((n == 0 || path[n - 1] != '\\') && n + 1 < size) {
    path[n] = '\\';
    path[n + 1] = '\0';
  }
  NormalisePath(path, expanded, expandedSize);
}

// The first 8 characters of a service key, lower-cased.
void ServiceKey(const char* key, char* out) {
  StrCopyN(out, key ? key : "", 8);
  StrLower1252(out);
}

// Internet services and aliases share the net table.
IniKey* OwnServiceTable(const char* key) {
  if (sameservice(key, "net")) return g_netServiceTable;
  if (sameservice(key, "dvn")) return g_dvnServiceTable;
  if (sameservice(key, "tbbs")) return g_tbbsServiceTable;
  return nullptr;
}

void ServiceSection(const char* key, char* out, size_t size) { snprintf(out, size, "Service %s", key); }

}  // namespace

void InitDefaults() {
  MainSettings& m = g_main;
  CopyText(m.messagePath, sizeof m.messagePath, g_app.dataDir);
  CopyText(m.exePath, sizeof m.exePath, g_app.dataDir);
  CopyText(m.version, sizeof m.version, kSettingsVersion);
  m.allReview = 0;
  m.localMail = 1;
  m.networkNames = 0;
  m.newUsers = 1;
  m.openModerators = 0;
  m.protectReadOnly = 0;
  m.closeImport = 1;
  m.importIdle = 5;
  m.stopImport = 0;
  m.inheritKeep = 0;
  m.inheritDelete = 0;
  m.autoScrollMessages = 0;
  m.threadTimeout = 45;
  m.sortByDate = 1;
  m.aliases[0] = '\0';
  m.autoDownload = 1;
  m.debugLog = 0;
  m.pollPeriod = 10;
  m.replyBackups = 5;
  m.virus[0] = '\0';
  CopyText(m.timezone, sizeof m.timezone, TimeZoneAbbrev());
  m.addons[0] = '\0';
  m.reserved = 0;

  readmainini("Main", g_mainTable);

  CorrectPath(m.messagePath, sizeof m.messagePath, m.messagePathExpanded, sizeof m.messagePathExpanded);
  CorrectPath(m.exePath, sizeof m.exePath, m.exePathExpanded, sizeof m.exePathExpanded);

  if (strncmp(m.version, kSettingsVersion, 4) != 0) {
    CopyText(m.version, sizeof m.version, kSettingsVersion);
    if (!m.messagePath[0]) CopyText(m.messagePath, sizeof m.messagePath, m.messagePathExpanded);
    if (!m.exePath[0]) CopyText(m.exePath, sizeof m.exePath, m.exePathExpanded);
    writemainini("Main", g_mainTable);
  }
  m.reservedDisplaySwitch = (m.reserved & 0x200) == 0;
  g_folderNameSettings.serviceAliases = m.aliases;
  g_app.debugLog = m.debugLog != 0;
}

void InitVersion() {
  CopyText(g_main.version, sizeof g_main.version, kSettingsVersion);
  writemainini("Main", g_mainTable);
}

void FormatTimeZoneAbbrev(const char* zoneName, long totalBias, char* out, size_t size) {
  static const char* const kNames[][2] = {
      {"GMT Standard Time", "GMT"},      {"Eastern Standard Time", "EST"},  {"Central Standard Time", "CST"},
      {"Mountain Standard Time", "MST"}, {"Pacific Standard Time", "PST"},  {"Eastern Daylight Time", "EDT"},
      {"Central Daylight Time", "CDT"},  {"Mountain Daylight Time", "MDT"}, {"Pacific Daylight Time", "PDT"},
  };
  char name[64];
  StrCopyN(name, zoneName, 50);
  for (const auto& pair : kNames) strrepl(name, pair[0], pair[1]);
  if (strlen(name) == 3) {
    CopyText(out, size, name);
    return;
  }
  long minutes = totalBias < 0 ? -totalBias : totalBias;
  snprintf(out, size, "%c%02ld%02ld", totalBias < 0 ? '+' : '-', minutes / 60, minutes % 60);
}

const char* TimeZoneAbbrev() {
  static char abbrev[64];
  TIME_ZONE_INFORMATION zone;
  DWORD result = GetTimeZoneInformation(&zone);
  if (result == TIME_ZONE_ID_INVALID) {
    abbrev[0] = '\0';
    return abbrev;
  }
  const WCHAR* wide = result == TIME_ZONE_ID_STANDARD ? zone.StandardName : zone.DaylightName;
  long bias = zone.Bias + (result == TIME_ZONE_ID_STANDARD ? zone.StandardBias : zone.DaylightBias);
  char name[51] = "";
  if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr)) name[50] = '\0';
  name[50] = '\0';
  FormatTimeZoneAbbrev(name, bias, abbrev, sizeof abbrev);
  return abbrev;
}

namespace {
// The settings as the last load left them, and the file they came from: a
// load of the same service while neither changed would give them again.
struct ServiceSettingsRead {
  bool valid = false;
  char key[9] = "";
  char iniPath[MAX_PATH] = "";
  char dataDir[sizeof g_app.dataDir] = "";
  FileStamp ini;
  ServiceSettings after;
};
ServiceSettingsRead s_lastServiceRead;

bool SameAsLastServiceRead(const char* key, const char* iniPath, const FileStamp& ini) {
  const ServiceSettingsRead& r = s_lastServiceRead;
  return r.valid && strcmp(r.key, key) == 0 && strcmp(r.iniPath, iniPath) == 0 &&
         strcmp(r.dataDir, g_app.dataDir) == 0 && r.ini == ini && memcmp(&r.after, &g_service, sizeof g_service) == 0;
}
}  // namespace

void LoadServiceSettings(const char* serviceKey) {
  char key[9];
  ServiceKey(serviceKey, key);
  if (strcmp(key, g_loadedService) == 0 && g_service.name[0]) return;
  char iniPath[MAX_PATH];
  IniFilePath("fenwold.ini", iniPath, sizeof iniPath);
  const FileStamp ini = FileStamp::Of(iniPath);
  if (strcmp(key, g_loadedService) == 0 && SameAsLastServiceRead(key, iniPath, ini)) return;
  CopyText(g_loadedService, sizeof g_loadedService, key);
  ServiceSettings& s = g_service;
  s.name[0] = s.pass[0] = s.groupNames[0] = s.personalAddress[0] = s.realName[0] = s.emailAddress[0] = '\0';
  s.mailName[0] = s.lastMailName[0] = '\0';
  JoinPath(s.forumFile, sizeof s.forumFile, {g_app.dataDir, key, "confs.sel"});
  s.threadBySubject = s.threadMailBySubject = s.threadMicrosoftMail = 1;
  s.skipDuplicates = s.keepOwnMessages = s.setOptions = 0;
  char section[32];
  ServiceSection(key, section, sizeof section);
  readmainini(section, g_serviceTable);
  if (IniKey* own = OwnServiceTable(key)) readmainini(section, own);
  ServiceSettingsRead& r = s_lastServiceRead;
  r.valid = ini.Settled();
  CopyText(r.key, sizeof r.key, key);
  CopyText(r.iniPath, sizeof r.iniPath, iniPath);
  CopyText(r.dataDir, sizeof r.dataDir, g_app.dataDir);
  r.ini = ini;
  memcpy(&r.after, &g_service, sizeof g_service);
}

void ServiceMailDomains(const char* serviceKey, char* first, char* second, size_t size) {
  if (size == 0) return;
  first[0] = second[0] = '\0';
  char key[9];
  ServiceKey(serviceKey, key);
  if (!key[0]) return;
  char section[32];
  ServiceSection(key, section, sizeof section);
  const char* p = GetIniString(section, "Mail Domains");
  char* out[2] = {first, second};
  for (char* o : out) {
    while (*p == ' ' || *p == '\t') ++p;
    size_t n = 0;
    while (*p && *p != ' ' && *p != '\t') {
      if (n + 1 < size) o[n++] = *p;
      ++p;
    }
    o[n] = '\0';
  }
}

void SaveServiceSettings(const char* serviceKey) {
  char key[9];
  ServiceKey(serviceKey, key);
  if (!key[0]) return;
  char section[32];
  ServiceSection(key, section, sizeof section);
  writemainini(section, g_serviceTable);
  if (IniKey* own = OwnServiceTable(key)) writemainini(section, own);
}

const char* MailingListsName(const char* key) {
  static char name[kIniStringValue];
  char path[MAX_PATH];
  IniFilePath("fenwold.ini", path, sizeof path);
  GetPrivateProfileStringA("Mailing Lists", key, "", name, sizeof name, path);
  return name;
}

void SetMailingListsName(const char* key, const char* name) {
  WriteIniString("Mailing Lists", key, name && name[0] ? name : nullptr);
}
