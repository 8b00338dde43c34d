#include "core/debuglog.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/resstr.h"
#include "resources/resource.h"

namespace {

char g_logPath[MAX_PATH] = "";

// The root of the drive that is current now, followed by the name.
void RootOfCurrentDrive(char* out, size_t size, const char* name) {
  char dir[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof dir, dir);
  char root[4] = "";
  std::memcpy(root, dir, 3);
  root[3] = 0;
  JoinPath(out, size, {root, name});
}

// "%d %b %Y %H:%M:%S" with English month names whatever the locale.
void TimeStamp(char* out, size_t size) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t now = time(nullptr);
  struct tm* t = localtime(&now);
  if (!t) {
    out[0] = 0;
    return;
  }
  std::snprintf(out, size, "%02d %s %04d %02d:%02d:%02d", t->tm_mday, kMonths[t->tm_mon], t->tm_year + 1900, t->tm_hour,
                t->tm_min, t->tm_sec);
}

}  // namespace

void DebugLog(const char* text) {
  if (!g_app.debugLog) return;
  if (!g_logPath[0]) RootOfCurrentDrive(g_logPath, sizeof g_logPath, "debug.txt");
  // A plain open, so tracing never waits on a lock or reports a failure.
  FILE* f = std::fopen(g_logPath, "a");
  if (!f) return;
  char stamp[32];
  TimeStamp(stamp, sizeof stamp);
  std::fprintf(f, "%s %s", stamp, text ? text : "");
  std::fclose(f);
}

void DebugLogF(const char* format, ...) {
  if (!g_app.debugLog) return;  // no formatting work while tracing is off
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  DebugLog(text);
}

const char* DebugLogPath() { return g_logPath; }

void CheckLogSizes() {
  struct ReportFile {
    char path[MAX_PATH];
    long threshold;
    int question;
  } files[3];
  RootOfCurrentDrive(files[0].path, MAX_PATH, "debug.txt");
  files[0].threshold = 5000000;
  files[0].question = IDS_DEBUG_LOG_LARGE;
  JoinPath(files[1].path, MAX_PATH, {g_app.dataDir, "import.log"});
  files[1].threshold = 1000000;
  files[1].question = IDS_IMPORT_LOG_LARGE;
  JoinPath(files[2].path, MAX_PATH, {g_app.dataDir, "postits.log"});
  files[2].threshold = 1000000;
  files[2].question = IDS_POSTITS_LOG_LARGE;
  for (auto& file : files) {
    FILE* f = fopen_r(file.path, FO_BINARY | FO_QUIET);
    if (!f) continue;
    fseek(f, 0, SEEK_END);
    long length = ftell(f);
    bool erase = length >= file.threshold + 1 && askyesnoid(file.question);
    fileclose(f);
    if (erase) EraseFile(file.path);
  }
}
