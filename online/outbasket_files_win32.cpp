#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/fileio.h"
#include "core/service_dirs.h"
#include "core/text1252.h"
#include "msgbase/conf_files.h"
#include "online/outbasket.h"
#include "online/outbasket_order.h"

namespace {

struct ConnectLock {
  char path[MAX_PATH] = "";
  FILE* file = nullptr;
};
ConnectLock g_connectLock;

std::string OutbasketPath(const char* service) { return std::string(g_app.dataDir) + service + ".bsc"; }
std::string AppendPath(const char* service) { return std::string(g_app.dataDir) + service + "\\" + service + ".bsc"; }

bool ReadWhole(FILE* file, std::vector<char>* bytes) {
  char block[4096];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
  return !ferror(file);
}

// Whether the file's last byte ends a line (or the file is empty or absent),
// so an appended entry's header starts a line of its own.
bool EndsWithLineEnd(const char* path) {
  FILE* file = fopen_r(path, FO_BINARY | FO_QUIET);
  if (!file) return true;
  bool ends = true;
  if (fseek(file, -1, SEEK_END) == 0) ends = fgetc(file) == '\n';
  fileclose(file);
  return ends;
}

// Moves the append file's entries to the end of the outbasket file. The
// append file goes only once every byte is written.
void MergeAppendFile(const char* service) {
  std::string outbasketPath = OutbasketPath(service), appendPath = AppendPath(service);
  bool needLineEnd = !EndsWithLineEnd(outbasketPath.c_str());
  FILE* outbasket = fopen_alock(outbasketPath.c_str(), FO_BINARY | FO_QUIET);
  if (!outbasket) return;
  FILE* append = fopen_rlock(appendPath.c_str(), FO_BINARY | FO_QUIET);
  if (!append) {
    fileclose(outbasket);
    return;
  }
  bool ok = !needLineEnd || fwrite("\r\n", 1, 2, outbasket) == 2;
  char block[4096];
  size_t got;
  while (ok && (got = fread(block, 1, sizeof block, append)) > 0) ok = fwrite(block, 1, got, outbasket) == got;
  ok = ok && !ferror(append) && fflush(outbasket) == 0 && !ferror(outbasket);
  fileclose(append);
  fileclose(outbasket);
  if (ok)
    EraseFile(appendPath.c_str());
  else
    DebugLogF("outbasket: could not merge %s; it stays\n", appendPath.c_str());
}

bool IsServiceTaken(const char* name) {
  static const char* const kLeftOut[] = {"local", "delnews", "quorlnews", "msmail", "ccmail"};
  for (const char* left : kLeftOut)
    if (SameText1252(name, left)) return false;
  return IsServiceDir(name);
}

// The service directories of the data directory, in directory order.
std::vector<std::string> ServicesTaken(const char* filter) {
  std::vector<std::string> services;
  if (filter && *filter) {
    services.push_back(filter);
    return services;
  }
  WIN32_FIND_DATAA found;
  std::string pattern = std::string(g_app.dataDir) + "*.*";
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return services;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == '.') continue;
    if (strlen(found.cFileName) > 9 || !IsServiceTaken(found.cFileName)) continue;
    char key[10];
    StrCopyN(key, found.cFileName, sizeof key - 1);
    strlwr_ascii(key);
    services.push_back(key);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return services;
}

}  // namespace

void AppendAction(const char* service, const char* title, int priority, const char* command, const char* arg1,
                  const char* arg2, const char* arg3, const char* arg4) {
  const char* args[4] = {arg1, arg2, arg3, arg4};
  std::string entry = FormatScriptEntry(g_app.userName, title, priority, command ? command : "", args);
  FILE* file = fopen_alock(AppendPath(service).c_str(), 0);
  if (!file) return;
  bool ok = fwrite(entry.data(), 1, entry.size(), file) == entry.size() && fflush(file) == 0;
  fileclose(file);
  if (!ok) DebugLogF("outbasket: could not queue \"%s\" for %s\n", title ? title : "", service);
}

int LoadOutbasketFile(ActionList* list, const char* service, const char* fixedFile, std::string* problems) {
  std::string path = fixedFile && *fixedFile ? fixedFile : OutbasketPath(service);
  if (!(fixedFile && *fixedFile)) MergeAppendFile(service);
  FILE* file = fopen_rlock(path.c_str(), FO_BINARY | FO_QUIET);
  if (!file) return 0;
  std::vector<char> bytes;
  bool ok = ReadWhole(file, &bytes);
  fileclose(file);
  if (!ok || bytes.empty()) return 0;
  size_t before = list->records.size();
  std::string found;
  ParseActionFile(bytes.data(), bytes.size(), service, list, &found);
  for (size_t i = before; i < list->records.size(); i++) DescribeAction(&list->records[i]);
  if (!found.empty()) {
    DebugLogF("outbasket: %s: %s", path.c_str(), found.c_str());
    if (problems) *problems += path + ": " + found;
  }
  return static_cast<int>(list->records.size() - before);
}

bool SaveOutbasketFile(ActionList* list, const char* service, const char* fixedFile) {
  std::string path = fixedFile && *fixedFile ? fixedFile : OutbasketPath(service);
  std::string bytes = WriteActionFile(*list, service);
  char temp[MAX_PATH];
  TempPathBeside(path.c_str(), temp, sizeof temp);
  FILE* file = CreateTempBeside(temp);
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && fflush(file) == 0;
  ok = CloseTemp(file) && ok;
  ok = ok && MoveOver(temp, path.c_str());
  if (!ok) {
    EraseFileOnce(temp);
    DebugLogF("outbasket: could not rewrite %s; the old file stays\n", path.c_str());
  }
  return ok;
}

int TakeConnectLock() {
  ReleaseConnectLock();
  snprintf(g_connectLock.path, sizeof g_connectLock.path, "%sconnect.lck", g_app.dataDir);
  g_connectLock.file = fopen_wtemp(g_connectLock.path, 0);
  if (!g_connectLock.file) {
    g_connectLock.path[0] = 0;
    return 0;
  }
  return 1;
}

void ReleaseConnectLock() {
  if (g_connectLock.file) {
    fileclose(g_connectLock.file);  // the file layer erases a temporary file
    g_connectLock.file = nullptr;
    EraseFileOnce(g_connectLock.path);
  }
  g_connectLock.path[0] = 0;
}

COutbasket::COutbasket(const char* filter, const char* fixed) {
  StrCopyN(serviceFilter, filter ? filter : "", sizeof serviceFilter - 1);
  StrCopyN(fixedFile, fixed ? fixed : "", sizeof fixedFile - 1);
}

void COutbasket::Load() {
  list.clear();
  problems.clear();
  if (fixedFile[0]) {
    list.records.push_back(NewHeadingRow(serviceFilter));
    LoadOutbasketFile(&list, serviceFilter, fixedFile, &problems);
    return;
  }
  for (const std::string& service : ServicesTaken(serviceFilter)) {
    list.records.push_back(NewHeadingRow(service.c_str()));
    if (LoadOutbasketFile(&list, service.c_str(), nullptr, &problems) == 0) list.records.pop_back();
  }
  OrderActions(&list);
}

bool COutbasket::Save() {
  bool ok = true;
  for (OutbasketAction& action : list.records)
    if (action.heading) ok = SaveOutbasketFile(&list, action.service, fixedFile[0] ? fixedFile : nullptr) && ok;
  return ok;
}

bool HasNewActions(const char* serviceFilter, const char* fixedFile) {
  if (fixedFile && *fixedFile) return false;
  for (const std::string& service : ServicesTaken(serviceFilter))
    if (GetFileAttributesA(AppendPath(service.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

void SortActions(const char* serviceFilter) {
  COutbasket outbasket(serviceFilter, nullptr);
  outbasket.Load();
  if (outbasket.list.records.empty()) return;
  outbasket.Save();
}
