// Program-wide settings of fenwold.ini: section Main, the per-service sections
// "Service %s" and the Mailing Lists section.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/ini.h"

// The program's version as stored in [Main] Version (the first 4 characters
// of "5.50 build 311").
constexpr char kSettingsVersion[] = "5.50";

struct MainSettings {
  char messagePath[260];
  char exePath[260];
  char version[kIniStringValue];
  uint32_t allReview;
  uint32_t localMail;
  uint32_t networkNames;
  uint32_t newUsers;
  uint32_t openModerators;
  uint32_t protectReadOnly;
  uint32_t closeImport;
  uint32_t importIdle;
  uint32_t stopImport;
  uint32_t inheritKeep;
  uint32_t inheritDelete;
  uint32_t autoScrollMessages;
  uint32_t threadTimeout;
  uint32_t sortByDate;
  char aliases[kIniStringValue];
  uint32_t autoDownload;
  uint32_t debugLog;
  uint32_t pollPeriod;
  uint32_t replyBackups;
  char virus[kIniStringValue];
  char timezone[kIniStringValue];
  char addons[kIniStringValue];
  uint32_t reserved;  // bit word read by the browser, bookmark sets and connections

  // Set by InitDefaults from what was read.
  char messagePathExpanded[260];
  char exePathExpanded[260];
  // On unless bit 0x200 of reserved is set; read by the thread list's painting
  // and the message-base window's splitter.
  bool reservedDisplaySwitch;
};
extern MainSettings g_main;
extern IniKey g_mainTable[];

// The "Service %s" settings of the service loaded last.
struct ServiceSettings {
  char name[kIniStringValue];
  char pass[kIniStringValue];
  char groupNames[kIniStringValue];
  char personalAddress[kIniStringValue];  // a second address that is also the user's
  uint32_t skipDuplicates;
  uint32_t threadMailBySubject;
  uint32_t threadBySubject;
  uint32_t threadMicrosoftMail;
  uint32_t keepOwnMessages;
  char forumFile[260];
  char nntpKillfile[kIniStringValue];
  char realName[kIniStringValue];      // net; apart from the user's own Real Name
  char emailAddress[kIniStringValue];  // net; apart from the user's own Email Address
  uint32_t setOptions;
  char mailName[kIniStringValue];
  char lastMailName[kIniStringValue];
};
extern ServiceSettings g_service;
extern IniKey g_serviceTable[];
extern IniKey g_netServiceTable[];
extern IniKey g_dvnServiceTable[];
extern IniKey g_tbbsServiceTable[];

void InitDefaults();
void InitVersion();
const char* TimeZoneAbbrev();
// The abbreviation for a zone name and its total bias in minutes (west of
// Greenwich positive); out holds 64 bytes.
void FormatTimeZoneAbbrev(const char* zoneName, long totalBias, char* out, size_t size);
void LoadServiceSettings(const char* serviceKey);
// The service's mail domains ("Mail Domains": up to two, blank-separated) as
// the message base needs them: the Quorl domains removed from recipients and
// the Dravenet domain that marks a rewritable Message-ID. Each out holds 256.
void ServiceMailDomains(const char* serviceKey, char* first, char* second, size_t size);
void SaveServiceSettings(const char* serviceKey);
const char* MailingListsName(const char* key);
void SetMailingListsName(const char* key, const char* name);
