// Deadlines in 100 ms units, the keep-alive notice, and the local time zone.
#include "internal.h"

#include <time.h>

void WaitYield() {
  // Wakes at once for the thread's own messages, so the client stays as
  // lively as with a busy loop while the core is free between polls.
  MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

uint32_t DeadlineIn(uint32_t units) { return GetTickCount() + units * 100; }

uint32_t ZRTAPI TimeoutStart(uint16_t units) { return DeadlineIn(units); }

int ZRTAPI TimeoutPassed(uint32_t deadline) { return int32_t(GetTickCount() - deadline) >= 0; }

LRESULT ZRTAPI ClientPing(HWND client) { return SendMessageA(client, WM_USER, kNoticeKeepAlive, 0); }

int ZRTAPI ClientDelay(HWND client, uint16_t seconds) {
  uint32_t deadline = DeadlineIn(uint32_t(seconds) * 10);
  while (!TimeoutPassed(deadline)) {
    ClientPing(client);
    WaitYield();
  }
  return 1;
}

long ZRTAPI UtcOffsetMinutes() {
  time_t now = time(nullptr);
  if (now < 0) now = 0;
  struct tm broken;
  if (gmtime_s(&broken, &now) != 0) return 0;
  broken.tm_isdst = -1;
  time_t asLocal = mktime(&broken);
  if (asLocal == time_t(-1)) return 0;
  return long((now - asLocal) / 60);
}

void PlatformCode(char out[4]) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  out[0] = 'W';
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    out[1] = 'N';
    out[2] = char('0' + version.dwMajorVersion);
  } else if (version.dwPlatformId == VER_PLATFORM_WIN32s) {
    out[1] = '3';
    out[2] = version.dwMinorVersion == 11 ? '1' : '0';
  } else {
    out[1] = char('0' + version.dwMajorVersion);
    out[2] = char('0' + version.dwMinorVersion);
  }
  out[3] = 0;
}
