// Signatures: per folder, conference or service in the user's settings file,
// and the tagline a new message ends with.
#include <windows.h>

#include <cstring>
#include <ctime>
#include <string>

#include "compose/compose.h"
#include "compose/editor_text.h"
#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/service_keys.h"
#include "core/settings.h"
#include "core/text1252.h"
#include "msgbase/topic_open.h"

namespace {

void UserIniPath(char* path) {
  char name[16];
  std::snprintf(name, sizeof name, "%.8s.ini", g_app.userName);
  IniFilePath(name, path, MAX_PATH);
}

std::string ReadSig(const char* key) {
  char path[MAX_PATH], value[320] = "";
  UserIniPath(path);
  GetPrivateProfileStringA("Signatures", key, "", value, sizeof value, path);
  return value;
}

void ReplaceAll(std::string& text, const char* macro, const std::string& value) {
  size_t n = std::strlen(macro), at = 0;
  for (;;) {
    const char* found = stristr(text.c_str() + at, macro);
    if (!found) return;
    size_t pos = static_cast<size_t>(found - text.c_str());
    text.replace(pos, n, value);
    at = pos + value.size();
  }
}

std::string WindowsVersionText() {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(&v)) return "Unknown Windows type";
  char text[64];
  if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    return v.dwMajorVersion == 4 && v.dwMinorVersion == 0 ? "Win95" : "Win98";
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return "Unknown Windows type";
  if (v.dwMajorVersion == 5)
    std::snprintf(text, sizeof text, "Windows 2000 build %ld", static_cast<long>(v.dwBuildNumber));
  else
    std::snprintf(text, sizeof text, "WinNT%ld build %ld", static_cast<long>(v.dwMajorVersion),
                  static_cast<long>(v.dwBuildNumber));
  return text;
}

}  // namespace

const char* GetSig(const char* name, char* out) {
  char key[260];
  StrCopyN(key, name ? name : "", sizeof key - 1);
  DebugLogF("GetSig(%s)\n", key);
  std::string value = ReadSig(key);
  if (value.empty()) {
    if (char* slash = std::strchr(key, '/')) *slash = 0;
    value = ReadSig(key);
  }
  if (value.empty()) {
    char service[SERVICE_KEY_MAX + 1] = "";
    getservice(service, name);
    value = ReadSig(service[0] ? service : "local");
  }
  StrCopyN(out, DecodeSignature(value.c_str()).c_str(), 319);
  return out;
}

void SaveSig(const char* name, const char* text) {
  const char* key = name && name[0] ? name : (g_topic.log ? g_topic.openName : "");
  if (!key[0]) return;
  char path[MAX_PATH];
  UserIniPath(path);
  std::string stored = EncodeSignature(text);
  WritePrivateProfileStringA("Signatures", key, stored.empty() ? nullptr : stored.c_str(), path);
}

const char* Tagline(bool mail) {
  static char out[1024];
  char name[260] = "";
  const char* topic = g_topic.log ? g_topic.openName : "";
  char service[SERVICE_KEY_MAX + 1] = "";
  getservice(service, topic);
  if (mail) {
    if (!service[0])
      std::snprintf(name, sizeof name, "mail/%s", g_app.userName);
    else if (!ismailfolder(topic))
      std::snprintf(name, sizeof name, "%s:mail/messages", service);
    else
      StrCopyN(name, topic, sizeof name - 1);
  } else {
    StrCopyN(name, topic, sizeof name - 1);
  }
  out[0] = 0;
  if (!name[0]) return out;
  char sig[320];
  std::string text = GetSig(name, sig);
  if (text.empty()) return out;
  char date[64] = "";
  time_t now = std::time(nullptr);
  if (struct tm* local = std::localtime(&now)) std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M", local);
  if (sameservice(service, "net")) {
    std::strcat(date, " ");
    StrCatN(date, TimeZoneAbbrev(), sizeof date - 1 - std::strlen(date));
  }
  ReplaceAll(text, "%VERSION%", "Pelmora 1.0");
  ReplaceAll(text, "%OS%", WindowsVersionText());
  ReplaceAll(text, "%DATETIME%", date);
  StrCopyN(out, text.c_str(), sizeof out - 1);
  return out;
}
