// The dial-up networking binding (loaded when first used, so the program runs
// where dial-up networking is missing) and the dial sharing of a run.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/ini.h"
#include "core/password_scramble.h"
#include "core/text1252.h"
#include "online/connect.h"
#include "online/dial_share.h"

namespace {

constexpr DWORD kConnectionEntrySize = 412;  // one listed connection
constexpr DWORD kStatusSize = 160;
constexpr DWORD kConnectedState = 0x2000;

DialShareState g_dialShare;

std::string IniValue(const char* section, const char* key) {
  char ini[MAX_PATH], value[4096] = "";
  IniFilePath("fenwold.ini", ini, sizeof ini);
  GetPrivateProfileStringA(section, key, "", value, sizeof value, ini);
  return value;
}

bool ServiceDialSettings(const char* service, DialSettings* out) {
  char section[64];
  if (lstrcmpiA(service, "net") == 0)
    snprintf(section, sizeof section, "Service %s", service);
  else
    snprintf(section, sizeof section, "Comms %s 1", service);
  out->rasDial = atoi(IniValue(section, "Ras Dial").c_str());
  out->entry = IniValue(section, "Ras Entry");
  out->user = IniValue(section, "Ras Username");
  return true;
}

}  // namespace

CRasApi g_rasApi;

int CRasApi::Load() {
  if (module) return 1;
  HMODULE loaded = LoadLibraryA("RASAPI32.DLL");
  if (reinterpret_cast<uintptr_t>(loaded) < 32) return 0;
  module = loaded;
  auto get = [&](const char* name) { return GetProcAddress(module, name); };
  dial = get("RasDialA");
  hangUp = get("RasHangUpA");
  getConnectStatus = reinterpret_cast<StatusProc>(get("RasGetConnectStatusA"));
  getErrorString = get("RasGetErrorStringA");
  enumConnections = reinterpret_cast<EnumConnectionsProc>(get("RasEnumConnectionsA"));
  enumEntries = reinterpret_cast<EnumEntriesProc>(get("RasEnumEntriesA"));
  getEntryDialParams = reinterpret_cast<DialParamsProc>(get("RasGetEntryDialParamsA"));
  return dial && hangUp && getConnectStatus && getErrorString && enumConnections && enumEntries ? 1 : 0;
}

void CRasApi::Release() {
  if (module) FreeLibrary(module);
  *this = CRasApi();
}

DWORD CRasApi::GetConnectStatus(void* connection, void* status) {
  return getConnectStatus ? getConnectStatus(connection, status) : 0;
}
DWORD CRasApi::EnumConnections(void* buffer, DWORD* size, DWORD* count) {
  return enumConnections ? enumConnections(buffer, size, count) : 0;
}
DWORD CRasApi::EnumEntries(const char* reserved, const char* phonebook, void* buffer, DWORD* size, DWORD* count) {
  return enumEntries ? enumEntries(reserved, phonebook, buffer, size, count) : 0;
}
DWORD CRasApi::GetEntryDialParams(const char* phonebook, void* params, BOOL* passwordFound) {
  return getEntryDialParams ? getEntryDialParams(phonebook, params, passwordFound) : 635;
}

int AlreadyConnected() {
  g_rasApi.Load();
  alignas(8) unsigned char connections[4 * kConnectionEntrySize] = {};
  *reinterpret_cast<DWORD*>(connections) = kConnectionEntrySize;
  DWORD size = sizeof connections, count = 0;
  DWORD error = g_rasApi.EnumConnections(connections, &size, &count);
  DebugLogF("AlreadyConnected(): dwErr=0x%lx, dwConnections=%ld\n", static_cast<unsigned long>(error),
            static_cast<long>(count));
  if (error != 0 || count == 0) return 0;
  alignas(8) unsigned char status[kStatusSize] = {};
  *reinterpret_cast<DWORD*>(status) = kStatusSize;
  void* handle = *reinterpret_cast<void**>(connections + sizeof(DWORD));
  if (g_rasApi.GetConnectStatus(handle, status) != 0) return 0;
  return (*reinterpret_cast<DWORD*>(status + sizeof(DWORD)) & kConnectedState) ? 1 : 0;
}

void OptimiseDials(char* list) {
  if (!list || !list[0]) {
    g_dialShare.sharingAllowed = false;
    return;
  }
  DebugLogF("OptimiseDials() before AlreadyConnected\n");
  bool connected = AlreadyConnected() != 0;
  DebugLogF("OptimiseDials() after AlreadyConnected\n");
  g_dialShare.sharingAllowed = !connected;
  g_dialShare.lineKept = false;
  std::string ordered = OptimiseDialList(list, connected, ServiceDialSettings);
  StrCopyN(list, ordered.c_str(), strlen(list));  // the same services: never longer
  DebugLogF("OptimiseDials() = '%s'\n", list);
}

void DialShareSuffix(char* out, const char* service, const char* list) {
  std::string suffix = DialShareSuffixFor(&g_dialShare, service, list ? list : "", ServiceDialSettings);
  strcpy(out, suffix.c_str());
}

void SyncRasDialParams(const char* service, const char* entry) {
  char ini[MAX_PATH], section[64];
  IniFilePath("fenwold.ini", ini, sizeof ini);
  snprintf(section, sizeof section, "Service %s", service);
  WritePrivateProfileStringA(section, "Ras Entry", entry, ini);
  if (!GetPrivateProfileIntA(section, "Ras Dial", 0, ini)) return;
  CRasApi own;
  own.Load();
  // The dial parameters record: size, entry name, phone number, callback
  // number, user name, password, domain; only the names below are read.
  alignas(8) unsigned char params[1052] = {};
  *reinterpret_cast<DWORD*>(params) = sizeof params;
  StrCopyN(reinterpret_cast<char*>(params + 4), entry, 256);
  BOOL passwordFound = FALSE;
  if (own.GetEntryDialParams(nullptr, params, &passwordFound) == 0) {
    const char* user = reinterpret_cast<const char*>(params + 4 + 257 + 129 + 129);
    const char* password = user + 257;
    if (user[0]) WritePrivateProfileStringA(section, "Ras Username", user, ini);
    if (passwordFound && password[0]) {
      char scrambled[1024];
      ScrambleIniPassword(password, scrambled, sizeof scrambled);
      WritePrivateProfileStringA(section, "Ras Password", scrambled, ini);
    }
  }
  own.Release();
}
