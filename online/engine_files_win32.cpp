// The engine's files: the script and its body files before the engine runs,
// the success log after it, the backups of what a run consumed. Every file a
// later run relies on is written whole beside its place and then moved over
// it, so a kill at any moment leaves either the old or the new file.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "msgbase/conf_files.h"
#include "msgbase/message_text.h"
#include "online/connect.h"
#include "online/connect_files.h"
#include "online/engine_script.h"

std::string ServiceDir(const char* service) { return std::string(g_app.dataDir) + service + "\\"; }

bool FileThere(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ReadBytes(const std::string& path, std::string* bytes) {
  bytes->clear();
  FILE* file = fopen_rlock(path.c_str(), FO_BINARY | FO_QUIET);
  if (!file) return false;
  char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes->append(block, got);
  bool ok = !ferror(file);
  fileclose(file);
  return ok;
}

bool WriteReplacing(const std::string& path, const std::string& bytes) {
  char temp[MAX_PATH];
  TempPathBeside(path.c_str(), temp, sizeof temp);
  FILE* file = CreateTempBeside(temp);
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && fflush(file) == 0;
  ok = CloseTemp(file) && ok;
  ok = ok && MoveOver(temp, path.c_str());
  if (!ok) EraseFileOnce(temp);
  return ok;
}

namespace {

struct BodyContext {
  std::string dir;
  long highest = 0;
};

bool WriteBody(void* context, long action, const std::string& bytes) {
  BodyContext* c = static_cast<BodyContext*>(context);
  char name[32];
  snprintf(name, sizeof name, "msg%05ld.tmp", action);
  std::string path = c->dir + name;
  if (action > c->highest) c->highest = action;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = fclose(file) == 0 && ok;
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

bool ReadAttachment(void*, const std::string& path, std::string* bytes) { return ReadBytes(path, bytes); }

void EraseBodyFiles(const std::string& dir, long last) {
  for (long i = 1; i <= last; i++) {
    char name[32];
    snprintf(name, sizeof name, "msg%05ld.tmp", i);
    DeleteFileA((dir + name).c_str());
  }
}

}  // namespace

int BuildReplyScript(const char* service, int withWaitingMessages) {
  std::string dir = ServiceDir(service);
  // A log left from an earlier run would confirm this run's actions.
  std::string log = dir + "success.log";
  DeleteFileA(log.c_str());
  if (FileThere(log)) {
    DebugLogF("BuildReplyScript: '%s' cannot be erased\n", log.c_str());
    return 0;
  }
  std::string reply;
  if (!ReadBytes(dir + "reply.bsc", &reply)) return 0;
  BodyContext context{dir};
  ReplyScriptFiles files{&context, WriteBody, ReadAttachment};
  ReplyScript script = MakeReplyScript(reply, service, withWaitingMessages != 0, dir, files);
  for (long left : script.left) DebugLogF("BuildReplyScript: action %ld stays queued\n", left);
  if (!WriteReplacing(dir + "reply.ebs", script.script)) {
    EraseBodyFiles(dir, context.highest);
    return 0;
  }
  if (script.limitReached && !g_app.unattended)
    msgwarn(
        "Your commands file has reached more than 50k.\n\nThe remaining actions will be continued on the "
        "following connection.");
  return 1;
}

int SortSuccessLog(const char* path) {
  std::string log;
  if (!ReadBytes(path, &log)) return 0;
  return WriteReplacing(path, SortedSuccessLog(log)) ? 1 : 0;
}

int ApplySuccessLog(const char* service) {
  std::string dir = ServiceDir(service);
  std::string logPath = dir + "success.log", bscPath = std::string(g_app.dataDir) + service + ".bsc";
  std::string log, actions;
  if (!ReadBytes(logPath, &log)) return 0;
  if (!ReadBytes(bscPath, &actions) && FileThere(bscPath)) return 0;
  AppliedLog applied = ApplySuccessNumbers(actions, ReadSuccessLog(log));
  DebugLogF("ApplySuccessLog(%s): %ld of %ld actions confirmed\n", service, applied.confirmed, applied.lastAction);
  // badcmds.bsc whole, then the log set aside as "done", then the move: a run
  // that finds "success.don" only has the move left.
  std::string bad = dir + "badcmds.bsc", done = dir + "success.don";
  FILE* file = fopen(bad.c_str(), "wb");
  if (!file) return 0;
  bool ok = fwrite(applied.kept.data(), 1, applied.kept.size(), file) == applied.kept.size();
  ok = fflush(file) == 0 && ok;
  ok = fclose(file) == 0 && ok;
  g_connectHooks.step("apply-written");
  if (!ok || !MoveOver(logPath.c_str(), done.c_str())) {
    DeleteFileA(bad.c_str());
    return 0;
  }
  g_connectHooks.step("apply-committed");
  if (!MoveOver(bad.c_str(), bscPath.c_str())) return 0;  // the next run finishes it
  g_connectHooks.step("apply-moved");
  DeleteFileA(done.c_str());
  DeleteFileA((dir + "reply.ebs").c_str());
  EraseBodyFiles(dir, applied.lastAction);
  return 1;
}

void RecoverConnectFiles(const char* service) {
  std::string dir = ServiceDir(service);
  std::string bsc = std::string(g_app.dataDir) + service + ".bsc";
  std::string done = dir + "success.don", bad = dir + "badcmds.bsc";
  if (FileThere(done)) {
    if (FileThere(bad) && !MoveOver(bad.c_str(), bsc.c_str())) return;  // try again next time
    DeleteFileA(done.c_str());
    DebugLogF("Connect(): finished applying %s's success log\n", service);
  } else if (FileThere(dir + "success.log") && FileThere(dir + "reply.ebs")) {
    DebugLogF("Connect(): applying %s's success log of an unfinished run\n", service);
    if (!ApplySuccessLog(service)) return;
  }
  DeleteFileA(bad.c_str());
  // Held actions set aside by an unfinished run go back.
  if (FileThere(bsc.substr(0, bsc.size() - 1) + "d")) SplitActionFile(bsc.c_str(), false);
  DeleteFileA((dir + "reply.bsc").c_str());
}

void BackupGeneration(const char* path) {
  DebugLogF("Backup %s\n", path ? path : "");
  if (!path || !path[0]) return;
  FILE* probe = fopen(path, "rb");
  if (!probe) return;
  fclose(probe);
  std::string dir = std::string(g_app.dataDir) + "backup";
  CreateDirectoryA(dir.c_str(), nullptr);
  const char* base = strrchr(path, '\\');
  base = base ? base + 1 : path;
  std::string name = base, stem = name, ext;
  size_t dot = name.find('.');
  if (dot != std::string::npos) {
    stem = name.substr(0, dot);
    ext = name.substr(dot);
  }
  auto generation = [&](int i) {
    char number[16];
    snprintf(number, sizeof number, "%.3d", i);
    return dir + "\\" + stem + number + ext;
  };
  int count = static_cast<int>(g_main.replyBackups);
  for (int i = count; i >= 1; i--) {
    if (i == count) {
      DeleteFileA(generation(i).c_str());
    } else {
      DeleteFileA(generation(i + 1).c_str());
      if (FileThere(generation(i))) MoveFileA(generation(i).c_str(), generation(i + 1).c_str());
    }
  }
  DeleteFileA(generation(1).c_str());
  CopyFileChunked(path, generation(1).c_str());
}

namespace {
long DayNumber(const struct tm& t) { return t.tm_yday + static_cast<long>((t.tm_year) * 365.25); }
}  // namespace

void DeleteOldDatFiles(const char* service) {
  DebugLogF("DeleteOldDatFiles(%s)\n", service);
  char section[64], value[MAX_PATH];
  snprintf(section, sizeof section, "Service %s", service);
  char ini[MAX_PATH];
  IniFilePath("fenwold.ini", ini, sizeof ini);
  int age = static_cast<int>(GetPrivateProfileIntA(section, "Archive Delete Age", -1, ini));
  DebugLogF("DeleteOldDatFiles: Archive Delete Age = %d\n", age);
  if (age < 0) return;
  GetPrivateProfileStringA(section, "Spool Path", "", value, sizeof value, ini);
  std::string path = value[0] ? value : ServiceDir(service);
  if (path.back() != '\\') path += '\\';
  DebugLogF("DeleteOldDatFiles: Path = '%s'\n", path.c_str());
  time_t now = time(nullptr);
  long today = DayNumber(*localtime(&now));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "*.dat").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  static const char* const kPrefixes[] = {"news", "bin", "pop", "imap", "smtp"};
  do {
    FILETIME local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &st);
    struct tm t = {};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_isdst = -1;
    mktime(&t);
    long fileAge = today - DayNumber(t);
    DebugLogF("DeleteOldDatFiles: filename = '%s', age = %ld\n", found.cFileName, fileAge);
    bool considered = false;
    for (const char* prefix : kPrefixes)
      considered = considered || _strnicmp(found.cFileName, prefix, strlen(prefix)) == 0;
    if (considered && fileAge > age) {
      DebugLogF("DeleteOldDatFiles: Erasing '%s'\n", found.cFileName);
      DeleteFileA((path + found.cFileName).c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}
