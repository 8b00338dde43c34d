#include "compose/wrx_link.h"

#include "core/debuglog.h"

#include <shellapi.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

void LogToDebugLog(const char* line) { DebugLogF("%s", line); }

int OpenWithShell(HWND owner, const char* address) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

// "scheme:" with a scheme of two or more letters (one letter is a drive).
bool HasScheme(const char* s) {
  size_t n = 0;
  while (isalpha(static_cast<unsigned char>(s[n])) || s[n] == '+' || s[n] == '-' || s[n] == '.') ++n;
  return n >= 2 && s[n] == ':';
}

}  // namespace

WrxLinkHooks g_wrxLinkHooks = {LogToDebugLog, OpenWithShell};

void WrxLinkAddress(const WrxLinkRec* link, char* address, size_t size) {
  if (!size) return;
  char target[sizeof link->code];
  const char* source = link->code[0] ? link->code : link->text;
  snprintf(target, sizeof target, "%.*s", int(strnlen(source, sizeof link->code - 1)), source);
  // A field code names its target in quotes.
  const char* start = target;
  while (*start == ' ') ++start;
  if (_strnicmp(start, "HYPERLINK", 9) == 0) {
    const char* open = strchr(start, '"');
    const char* close = open ? strchr(open + 1, '"') : nullptr;
    if (open && close) {
      memmove(target, open + 1, size_t(close - open - 1));
      target[close - open - 1] = 0;
      start = target;
    } else {
      start += 9;
      while (*start == ' ') ++start;
    }
  }
  snprintf(address, size, "%s%s", HasScheme(start) ? "" : "FILE://", start);
}

LRESULT WRX_LINK(HWND control, const WrxLinkRec* link) {
  char line[2200];
  if (link->code[0]) {
    snprintf(line, sizeof line, "WRX_LINK: code='%.2049s'", link->code);
    g_wrxLinkHooks.logLine(line);
  }
  char address[2100];
  WrxLinkAddress(link, address, sizeof address);
  snprintf(line, sizeof line, "WRX_LINK: url='%s'", address);
  g_wrxLinkHooks.logLine(line);
  g_wrxLinkHooks.open(GetParent(control), address);
  return 1;
}

LRESULT HostNotifyAnswers(HWND, UINT, WPARAM, LPARAM) { return 0; }

LRESULT CALLBACK MessageViewNotify(HWND control, UINT code, WPARAM wp, LPARAM lp) {
  if (code == WRXN_LINK) return WRX_LINK(control, reinterpret_cast<const WrxLinkRec*>(lp));
  return HostNotifyAnswers(control, code, wp, lp);
}
