// What the maintenance passes share: hooks and their defaults, the running
// mark, status lines, unattended answers and data-directory paths.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "msgbase/maintenance.h"
#include "msgbase/maintenance_internal.h"
#include "msgbase/reindex_rules.h"
#include "msgbase/topic_open.h"

namespace {

bool s_running = false;

// The program's own directory holds the helper programs.
bool RunProgramAndWait(const char* commandLine) {
  char module[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
  if (length == 0 || length >= sizeof module) return false;
  if (char* slash = std::strrchr(module, '\\')) slash[1] = 0;
  char command[MAX_PATH * 2];
  std::snprintf(command, sizeof command, "\"%s%s", module, commandLine);
  // The quote closes after the program's name.
  if (char* blank = std::strchr(command + std::strlen(module) + 1, ' ')) {
    std::memmove(blank + 1, blank, std::strlen(blank) + 1);
    *blank = '"';
  } else {
    std::strcat(command, "\"");
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, g_app.dataDir, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) PumpMessages();
  CloseHandle(process.hProcess);
  return true;
}

void NoSections(const char*) {}
void NoDeath(const char*) {}

}  // namespace

MaintenanceHooks g_maintenanceHooks = {RunProgramAndWait, NoSections, NoDeath};

bool MaintenanceRunning() { return s_running; }

namespace {
bool (*s_outerLongOperation)() = nullptr;
bool RunningOrOuter() { return s_running || s_outerLongOperation(); }
}  // namespace

MaintenanceRun::MaintenanceRun() : savedHook(g_messageBaseHooks.longOperation) {
  s_running = true;
  // Until the shell points the test at us, the open topic must still learn of
  // the run; whatever else counts as a long operation still does.
  if (savedHook != MaintenanceRunning && savedHook != RunningOrOuter) {
    s_outerLongOperation = savedHook;
    g_messageBaseHooks.longOperation = RunningOrOuter;
  }
}

MaintenanceRun::~MaintenanceRun() {
  s_running = false;
  g_messageBaseHooks.longOperation = savedHook;
}

void DieAt(const char* point) { g_maintenanceHooks.dieAt(point); }

std::string DataFile(const char* name) { return std::string(g_app.dataDir) + name; }

std::string FolderLog(const char* baseName) {
  char base[31] = {};
  std::memcpy(base, baseName, strnlen(baseName, 30));
  if (!IsSafeBaseName(base)) return "";
  return DataFile(base);
}

void PrintStatusLine(const char* text) {
  DebugLogF("%s", text);
  if (g_ui.statusPrint) g_ui.statusPrint(text);
}

bool AskUnlessUnattended(const char* question, bool unattendedAnswer) {
  if (g_app.unattended) {
    DebugLogF("Unattended: \"%s\" taken as %s\n", question, unattendedAnswer ? "Yes" : "No");
    return unattendedAnswer;
  }
  char text[1024];
  lstrcpynA(text, question, sizeof text - 64);
  ExpandTextMacros(text, sizeof text);
  return askyesno(text);
}

void NoteUnlessUnattended(const char* text) {
  if (g_app.unattended) {
    DebugLogF("Unattended: %s\n", text);
    return;
  }
  char expanded[1024];
  lstrcpynA(expanded, text, sizeof expanded - 64);
  ExpandTextMacros(expanded, sizeof expanded);
  msgwarn(expanded);
}

int OpenFolderTopic(const char* name) {
  if (g_topic.log) logclose();
  lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
  return logopen();
}

bool InScope(const ConfRec& rec, int scope) {
  switch (scope) {
    case kScopeAll: return true;
    case kScopeCurrent: return g_topic.openName[0] && SameText1252(rec.name, g_topic.openName);
    default: {
      if (rec.selected) return true;
      const char* selection = g_messageBaseHooks.selection();
      if (!selection) return false;
      std::string list = selection;
      size_t at = 0;
      while (at < list.size()) {
        size_t end = list.find(' ', at);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(at, end - at);
        at = end + 1;
        if (name.empty()) continue;
        if (SameText1252(rec.name, name.c_str())) return true;
        if (name.find('/') == std::string::npos && std::strlen(rec.name) > name.size() &&
            rec.name[name.size()] == '/' && !_strnicmp(rec.name, name.c_str(), name.size()))
          return true;
      }
      return false;
    }
  }
}
