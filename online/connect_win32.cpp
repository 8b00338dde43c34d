// Connect: one service after another, its actions gathered, written as the
// engine's script, the engine run, what it confirmed removed, its report
// queued for the import program.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/folder_names.h"
#include "core/ini.h"
#include "core/resstr.h"
#include "core/rights.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/system_helpers.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/message_text.h"
#include "msgbase/service_config.h"
#include "online/connect.h"
#include "online/connect_files.h"
#include "online/ghosts.h"
#include "online/outbasket.h"
#include "shell/child_process.h"
#include "shell/frame.h"
#include "shell/commands_hooks.h"
#include "shell/shell_hooks.h"

char g_pendingServices[4096] = "";
bool g_connectionRunning = false;

namespace {

int DefaultRunAndWait(const char* commandLine, int showState) { return RunAndWait(commandLine, showState); }
bool NoAbort(const char*) { return false; }
bool ReviewOk(const char*) { return true; }
void NoService(const char*) {}
void NoStep(const char*) {}

}  // namespace

ConnectHooks g_connectHooks = {DefaultRunAndWait, NoAbort, NoAbort, ReviewOk, NoService, NoService, NoStep};

namespace {

struct RunState {
  char runList[4096] = "";
  char savedScreenSaver[4096] = "";
  bool exitAfter = false;
};

std::string DataPath(const std::string& name) { return std::string(g_app.dataDir) + name; }

void Note(const char* text) {
  char expanded[1024];
  snprintf(expanded, sizeof expanded, "%s", text);
  ExpandTextMacros(expanded, sizeof expanded);
  msgwarn(expanded);
}

// A failure of a command-line run reaches the user as a message of the
// information folder.
void SchedulerNotice(const char* text) {
  char path[MAX_PATH];
  if (!pendingtmpname(path, sizeof path)[0]) return;
  FILE* file = fopen(path, "wb");
  if (!file) return;
  std::string block = SchedulerNoticeBlock(text);
  bool ok = fwrite(block.data(), 1, block.size(), file) == block.size();
  if (fclose(file) != 0 || !ok) return;
  QueueImport("local", path, "messages", 2176);
  RunImportProgram();
}

void Refuse(const char* text) {
  if (g_app.unattended)
    SchedulerNotice(text);
  else
    Note(text);
}

void AppendLine(FILE* file, const std::string& text) { fwrite(text.data(), 1, text.size(), file); }

bool IniFlag(const char* service, const char* key) {
  char ini[MAX_PATH], section[64];
  IniFilePath("fenwold.ini", ini, sizeof ini);
  snprintf(section, sizeof section, "Service %s", service);
  return GetPrivateProfileIntA(section, key, 0, ini) != 0;
}

// Collections a run adds for the Internet and Dravenet services.
void AddCollections(const char* service) {
  std::string append = ServiceDir(service) + service + ".bsc";
  FILE* out = fopen_alock(append.c_str(), FO_QUIET);
  if (!out) return;
  if (strcmp(service, "net") == 0 && IniFlag(service, "Nntp Enabled")) {
    FILE* in = fopen((ServiceDir(service) + "confs.sel").c_str(), "r");
    char line[1025];
    while (in && fgets(line, sizeof line, in)) {
      line[strcspn(line, "\r\n")] = 0;
      char* text = line;
      while (*text == ' ') text++;
      char* blank = strchr(text, ' ');
      char* second = blank ? strchr(blank + 1, ' ') : nullptr;
      if (!second) continue;
      *blank = 0;
      const char* rest = second + 1;
      if (rest[0] == 'd') continue;
      char entry[2400];
      snprintf(entry, sizeof entry,
               ";-; id:\t%s type:\tscript script:\tCollect newsgroup priority:\t90 #:\t%s #:\t%s\n"
               "GetGroupArticles\n%s\n%s\n",
               g_app.userName, text, rest, text, rest);
      AppendLine(out, entry);
    }
    if (in) fclose(in);
  } else if (strcmp(service, "dvn") == 0) {
    FILE* in = fopen((ServiceDir(service) + "confs.clt").c_str(), "r");
    char line[4096];
    while (in && fgets(line, sizeof line, in)) AppendLine(out, line);
    if (in) fclose(in);
  }
  fileclose(out);
}

// Earlier "Fetch Mail" entries go (one fetch is enough), then a new one is
// queued when the service fetches mail.
void RenewFetchMail(const char* service) {
  std::string path = DataPath(std::string(service) + ".bsc"), bytes;
  if (ReadBytes(path, &bytes)) {
    std::string kept;
    bool keep = true;
    size_t pos = 0;
    bool changed = false;
    while (pos < bytes.size()) {
      size_t end = bytes.find('\n', pos);
      end = end == std::string::npos ? bytes.size() : end + 1;
      std::string line = bytes.substr(pos, end - pos);
      if (line.compare(0, 8, ";-; id:\t") == 0 || line.compare(0, 8, ";#; id:\t") == 0)
        keep = line.find("script:\tFetch Mail") == std::string::npos;
      if (keep)
        kept += line;
      else
        changed = true;
      pos = end;
    }
    if (changed) WriteReplacing(path, kept);
  }
  if (IniFlag(service, "Fetchmail") || IniFlag(service, "Smtp Rx Enabled") || IniFlag(service, "Pop3 Enabled") ||
      IniFlag(service, "Imap Enabled")) {
    FILE* out = fopen_alock((ServiceDir(service) + service + ".bsc").c_str(), FO_QUIET);
    if (out) {
      fprintf(out, ";-; id:\t%s type:\tscript script:\tFetch Mail priority:\t-0\nFetchMail\n", g_app.userName);
      fileclose(out);
    }
  }
}

std::string ServiceDisplayName(const char* service) {
  if (strcmp(service, "dvn") == 0) return "Dravenet";
  char name[64];
  StrCopyN(name, service, sizeof name - 1);
  strlwr_ascii(name);
  FixNameCase(name);
  return name;
}

std::string EngineCommandLine(int mode, const char* service, long number, const char* suffix) {
  char ini[MAX_PATH];
  IniFilePath("fenwold.ini", ini, sizeof ini);
  std::string iniText = strchr(ini, ' ') ? std::string("\"") + ini + "\"" : std::string(ini);
  const char* sched = g_app.unattended ? " /SCHED" : "";
  char line[2048];
  if (strcmp(service, "net") == 0) {
    snprintf(line, sizeof line, "%sinet%s.exe %s /INI=%s /USER=%s%s%s", g_main.exePathExpanded, "32", service,
             iniText.c_str(), g_app.userName, sched, suffix);
  } else {
    // Users carry no numeric id here: the "/UID=" part stays empty.
    char uid[40] = "";
    if (strcmp(service, "dvn") == 0) strcat(uid, " /QVX");
    snprintf(line, sizeof line, "%sterm%s.exe %s %s%ld /INI=%s /USER=%s%s%s%s", g_main.exePathExpanded, "32", service,
             mode == ConnectManual ? "manual " : "", number, iniText.c_str(), g_app.userName, sched, uid, suffix);
  }
  return line;
}

void BackupAndErase(const std::string& path) {
  if (!FileThere(path)) return;
  BackupGeneration(path.c_str());
  DeleteFileA(path.c_str());
}

// Steps 10 to 31 for one service; false ends the run.
bool RunService(int mode, const char* service, long number) {
  DebugLogF("Connect(): servname='%s'\n", service);
  if (strcmp(service, "fax") == 0) {
    Refuse("%PROGRAM% currently only supports the sending of faxes.\n\nPlease use MS Mail to receive faxes.");
    return false;
  }
  if (strcmp(service, "msmail") == 0 || strcmp(service, "ccmail") == 0) {
    DebugLogF("Connect(): %s has no mail system here\n", service);
    return true;
  }
  if (!rdhconf(service, 0)) return false;
  LoadServiceSettings(service);
  if (strcmp(service, "net") != 0 && !g_service.name[0]) {
    Refuse("Service name and password have not been setup correctly");
    return false;
  }
  // Before any entry moves: what a killed run left is finished first, so
  // the engine's numbers still meet the entries they were given for.
  RecoverConnectFiles(service);
  if (mode != ConnectManual) g_connectHooks.addShowAndJobs(service);
  if (mode == ConnectInteractive && (strcmp(service, "dvn") == 0 || strcmp(service, "net") == 0))
    AddCollections(service);
  if (strcmp(service, "dvn") == 0 || strcmp(service, "quorl") == 0 || strcmp(service, "net") == 0)
    RenewFetchMail(service);
  if (g_connectHooks.callPreProcess(service)) return false;
  if (mode != ConnectManual) SortActions(service);
  if (mode != ConnectManual && g_user.reviewBeforeConnect && !g_app.unattended && !(GetKeyState(VK_SHIFT) & 0x8000) &&
      (!g_pendingServices[0] || (g_main.reserved & 4)) && !g_connectHooks.review(service))
    return false;
  // Two runs never rewrite the same action files.
  if (!TakeConnectLock()) {
    Refuse(g_app.unattended ? "Sorry, unable to connect whilst a user is reviewing the outbasket."
                            : "Another connection or review may be in progress.\n\nPlease try again when it has "
                              "finished.");
    return false;
  }
  g_connectHooks.step("locked");
  SetCurrentDirectoryA(g_app.dataDir);
  if (!g_app.unattended && DiskFree() < 2048000.0 && !askyesno("You are running low on disk space;\nContinue ?")) {
    ReleaseConnectLock();
    return false;
  }
  // Actions queued since the sort join the end of the file.
  ActionList merged;
  LoadOutbasketFile(&merged, service);
  std::string bsc = DataPath(std::string(service) + ".bsc");
  BackupGeneration(bsc.c_str());
  SplitActionFile(bsc.c_str(), true);
  g_connectHooks.step("split");

  std::string dir = ServiceDir(service), reply;
  if (mode != ConnectManual) ReadBytes(bsc, &reply);
  if (!reply.empty() && reply.back() != '\n') reply += "\r\n";
  rdhconf(service, 0);
  const char* quit = g_hconf.slots ? g_hconf.slots[mode == ConnectActionsOnly ? HCONF_N : HCONF_Q] : "";
  if (mode != ConnectManual && quit[0]) reply += std::string(";-; id:\tend\r\n") + quit + "\r\n";
  if (!WriteReplacing(dir + "reply.bsc", reply)) {
    Refuse("Can't create REPLY.BSC");
    SplitActionFile(bsc.c_str(), false);
    ReleaseConnectLock();
    return false;
  }
  g_connectionRunning = true;
  PumpMessages();
  LoadServiceSettings(service);
  int built = BuildReplyScript(service, mode != ConnectActionsOnly);
  g_connectHooks.step("script");
  char suffix[20] = "";
  DialShareSuffix(suffix, service, g_pendingServices);
  std::string commandLine = EngineCommandLine(mode, service, number, suffix);
  DebugLogF("Connect(): Execute '%s'\n", commandLine.c_str());
  if (built) {
    g_connectHooks.runAndWait(commandLine.c_str(), g_app.unattended ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
  } else {
    DebugLogF("Connect(): no engine script for %s; the engine is not started\n", service);
  }
  g_connectHooks.step("engine");

  std::string report = DataPath(std::string(service) + ".rep");
  bool aborted = g_app.cancelTask;
  if (aborted && FileThere(report)) {
    FILE* file = fopen(report.c_str(), "ab");
    if (file) {
      char when[64] = "";
      time_t now = time(nullptr);
      if (struct tm* t = localtime(&now)) strftime(when, sizeof when, "%a, %d %b %Y %H:%M:%S", t);
      fprintf(file, "%s connection Aborted by user at %s\r\n!end\r\n", ServiceDisplayName(service).c_str(), when);
      fclose(file);
    }
  }
  if (FileThere(report)) QueueImport(service, report.c_str(), "messages", 2176);
  PumpMessages();
  g_connectHooks.step("report");
  // What the engine confirmed went out, even when an add-on aborts now.
  bool postAbort = g_connectHooks.callPostProcess(service);
  ApplySuccessLog(service);
  g_connectHooks.step("applied");
  RefreshGhosts();
  BackupAndErase(dir + service + ".log");
  BackupAndErase(dir + service + ".msg");
  if (strcmp(service, "net") == 0) DeleteOldDatFiles(service);
  BackupAndErase(DataPath(std::string(service) + ".log"));
  SplitActionFile(bsc.c_str(), false);
  DeleteFileA((dir + "reply.bsc").c_str());
  g_connectionRunning = false;
  ReleaseConnectLock();
  g_connectHooks.step("done");
  if (postAbort) {
    Note("Warning!\n\nAn external %PROGRAM% tool has aborted your connection.");
    return false;
  }
  return true;
}

// Takes the done service off the pending list's head; false when the run
// has no next service.
bool NextService(RunState* run) {
  char* list = g_pendingServices;
  char* semi = strchr(list, ';');
  if (!list[0] || !semi || !semi[1]) {
    list[0] = 0;
    return false;
  }
  memmove(list, semi + 1, strlen(semi + 1) + 1);
  if (SameText1252(list, "close")) {
    list[0] = 0;
    run->exitAfter = true;
    return false;
  }
  DebugLogF("Connect(): Start\n");
  return true;
}

void EndSteps(RunState* run) {
  bool virusPerService = strstr(g_main.virus, "%s") != nullptr;
  if (g_main.virus[0] && !virusPerService)
    g_connectHooks.runAndWait(g_main.virus, IsIconic(g_app.mainWindow) ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
  std::string list = std::string(run->runList) + ";";
  size_t pos = 0;
  while (pos < list.size()) {
    size_t semi = list.find(';', pos);
    std::string service = list.substr(pos, semi - pos);
    pos = semi + 1;
    if (service.empty() || SameText1252(service.c_str(), "close")) break;
    if (virusPerService) {
      std::string command = g_main.virus;
      command.replace(command.find("%s"), 2, service);
      g_connectHooks.runAndWait(command.c_str(), IsIconic(g_app.mainWindow) ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
    }
    g_connectHooks.refreshFolderInfo(service.c_str());
    if (!ImportQueueEmpty()) RunImportProgram();
  }
  ReleaseConnectLock();
  if (run->exitAfter && g_app.mainWindow) PostMessageA(g_app.mainWindow, WM_CLOSE, 0, 0);
}

}  // namespace

void Connect(int mode, const char* services, long connectionNumber) {
  if (!services) return;
  RunState run;
  // A list of services is run as the pending list.
  bool fromList = strcmp(services, "*") == 0 || strchr(services, ';') != nullptr;
  if (fromList && strcmp(services, "*") != 0) StrCopyN(g_pendingServices, services, sizeof g_pendingServices - 1);
  StrCopyN(run.runList, fromList ? g_pendingServices : services, sizeof run.runList - 1);
  GetPrivateProfileStringA("boot", "scrnsave.exe", "", run.savedScreenSaver, sizeof run.savedScreenSaver, "system.ini");
  WritePrivateProfileStringA("boot", "scrnsave.exe", "none", "system.ini");
  for (;;) {
    if (g_connectionRunning || !services[0]) break;
    if (!HasRight(1) && !IsSchedulerInstance()) break;
    char service[10];
    const char* source = fromList ? g_pendingServices : services;
    size_t n = strcspn(source, ";");
    if (n > 8) n = 8;
    memcpy(service, source, n);
    service[n] = 0;
    strlwr_ascii(service);
    if (!service[0]) break;
    BeginWait();
    bool go = RunService(mode, service, connectionNumber);
    EndWait();
    if (!go || !fromList || !NextService(&run)) break;
  }
  // Put back as found: a key that was not there goes again.
  WritePrivateProfileStringA("boot", "scrnsave.exe", run.savedScreenSaver[0] ? run.savedScreenSaver : nullptr,
                             "system.ini");
  EndSteps(&run);
}

void InstallConnectHooks() {
  // Until the Connect window exists, the command connects every service.
  g_commandHooks.PostConnectRequest = [] {
    if (g_app.mainWindow) PostMessageA(g_app.mainWindow, MSG_CONNECT, 0, 0);
  };
  g_commandHooks.TerminalConnectionRuns = [] { return g_connectionRunning; };
  g_commandHooks.CountServices = [] {
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(g_app.dataDir) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      char name[MAX_PATH];
      StrCopyN(name, found.cFileName, sizeof name - 1);
      strlwr_ascii(name);
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name[0] != '.' && strcmp(name, "local") != 0 &&
          IsServiceDir(name))
        count++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
  };
  g_shellHooks.optimiseDials = [](const char* list) {
    // The shell hands its own pending list; it is reordered in place.
    OptimiseDials(const_cast<char*>(list));
  };
  g_shellHooks.connect = [](int command, const char* services, long count) {
    if (strcmp(services, "*") == 0) StrCopyN(g_pendingServices, ConnectList(), sizeof g_pendingServices - 1);
    Connect(command, services, count);
  };
}
