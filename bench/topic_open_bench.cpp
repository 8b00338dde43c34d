// Opens a topic of news messages of about 3 KB (100,000 by default) twice:
// once without an index (the rebuild through the log walk), once with the
// index the first open wrote; each beside a plain read of the file it reads.
// The rebuild is timed with the walk on as many threads as it takes and on
// the calling thread alone, in the same rounds over the same log.
// The best of five rounds counts. The open's reload of the service
// configuration is also timed alone and shown apart, and both again with a
// service file and special.cnf in place. The open of the index is also timed
// as the first open of a fresh process (what a user meets), beside a plain
// read of the index in a fresh process; the best of three processes each.
// Usage: topic_open_bench [messages] [directory]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"
#include "msgbase/msgid_list.h"
#include "msgbase/topic_open.h"
#include "msgbase/topic_scan.h"

namespace {

const char kFolder[] = "net:comp.lang.c/all";

std::string NewsMessage(long number) {
  std::string body;
  body +=
      "From: Poster " + std::to_string(number % 977) + " <poster" + std::to_string(number % 977) + "@example.com>\r\n";
  body += "Subject: " + std::string(number % 2 ? "Re: " : "") + "Question number " + std::to_string(number / 2) +
          " about pointers\r\n";
  body += "Message-ID: <" + std::to_string(number) + "@example.com>\r\n\r\n";
  while (body.size() < 2900)
    body += "This is the text of the message, written to fill about three kilobytes of body.\r\n";
  size_t size = 0;
  for (char c : body)
    if (c != '\r') ++size;
  std::string m = "==========\r\n" + std::string(kFolder) + " #" + std::to_string(number) + ", from poster" +
                  std::to_string(number % 977) + "@example.com, " + std::to_string(size) +
                  " chars, Tue, 5 Mar 1996 14:07:33 -0500\r\n";
  if (number % 2) m += "Comment to " + std::to_string(number - 1) + "\r\n";
  return m + "----------\r\n" + body;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One read of a file: open, read it through in blocks of blockSize bytes
// (8 KB, the log reader's own, unless given), close.
double PlainRead(const std::string& path, DWORD blockSize = 8192) {
  static char buffer[1 << 16];
  if (blockSize > sizeof buffer) blockSize = sizeof buffer;
  auto start = std::chrono::steady_clock::now();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD got = 0;
  while (ReadFile(h, buffer, blockSize, &got, nullptr) && got > 0) {}
  CloseHandle(h);
  return Seconds(start);
}

// A read of the whole file into memory of its size, allocated for it: in a
// fresh process the first touch of each page costs more than the read.
double ReadIntoMemory(const std::string& path) {
  auto start = std::chrono::steady_clock::now();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD size = GetFileSize(h, nullptr);
  char* memory = static_cast<char*>(std::malloc(size ? size : 1));
  DWORD got = 0;
  bool ok = memory && ReadFile(h, memory, size, &got, nullptr) && got == size;
  CloseHandle(h);
  std::free(memory);
  return ok ? Seconds(start) : -1;
}

long ReadLog(void* context, char* buffer, size_t size) {
  DWORD got = 0;
  if (!ReadFile(static_cast<HANDLE>(context), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
  return static_cast<long>(got);
}
long SeekLog(void* context, long offset) {
  DWORD at = SetFilePointer(static_cast<HANDLE>(context), offset, nullptr, FILE_BEGIN);
  return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
}

void AddId(void* context, const ScannedMessage& m) {
  MsgIdListAdd(*static_cast<MessageIdList*>(context), m.fields.messageId, StripReplyPrefix(m.fields.subject), m.number,
               static_cast<long>(m.date));
}

// The rebuild's walk alone, through the same reader and options, with no
// records kept, or with withIds the id list filled (not saved) as well: the
// rest of the rebuild is what logopen adds.
double WalkAlone(const std::string& path, bool withIds, long* messages) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  static VirtualArray ids("msgid", sizeof(MsgIdEntry), CompareMsgIdKeys);
  static VirtualArray subjects("subject", sizeof(MsgIdEntry), CompareMsgIdKeys);
  MessageIdList list;
  list.msgid = &ids;
  list.subject = &subjects;
  MsgIdListOpen(list, nullptr);
  LogSource source;
  source.context = h;
  source.read = ReadLog;
  source.seek = SeekLog;
  static LogReader reader;
  ScanOptions options;
  options.folderName = kFolder;
  options.kind = FolderKindFromName(kFolder);
  options.identity = g_service.emailAddress;
  options.personalAddress = g_service.personalAddress;
  options.nameList = g_service.groupNames;
  auto start = std::chrono::steady_clock::now();
  LogReaderOpen(reader, source, false);
  *messages = ScanTopicLog(reader, options, withIds ? AddId : nullptr, &list);
  double s = Seconds(start);
  LogReaderClose(reader);
  CloseHandle(h);
  return s;
}

// The .ind, .thr and .id files a rebuild wrote, one after another.
std::string IndexFiles(const std::string& dir) {
  std::string all;
  for (const char* extension : {".ind", ".thr", ".id"}) {
    FILE* f = std::fopen((dir + "topic_open_bench" + extension).c_str(), "rb");
    if (!f) continue;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, n);
    std::fclose(f);
    all += '|';
  }
  return all;
}

double OpenAndClose(long* messages) {
  std::strcpy(g_topic.openName, kFolder);
  auto start = std::chrono::steady_clock::now();
  int opened = logopen();
  double s = Seconds(start);
  *messages = opened ? LogCva.Count() : -1;
  logclose();
  return s;
}

// What an open spends reloading its service's configuration: the close
// before it left the configuration of no folder.
double ConfigurationReload() {
  LoadFolderConf("");
  auto start = std::chrono::steady_clock::now();
  LoadFolderConf("net");
  double s = Seconds(start);
  LoadFolderConf("");
  return s;
}

// Puts a service file and special.cnf in place, written some minutes ago as
// installed files are, so the reload below reads what a real one does.
void InstallServiceFiles(const std::string& dir) {
  CreateDirectoryA((dir + "net").c_str(), nullptr);
  const std::string files[2][2] = {
      {dir + "net\\net.cnf",
       "h1\r\nh2\r\nh3\r\nh4\r\nh5\r\nh6\r\nh7\r\nh8\r\nA'&Fetch' FETCH fetch %c\r\nA'&Post' POST post %c\r\n"
       "x'&Admin' ADMIN admin\r\nm'&Moderate' MOD moderate %c\r\nrreply\r\nzcancel %n\r\n"},
      {dir + "special.cnf", "S'&Site' SITE site\r\n"}};
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG t = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) - 600ull * 10000000ull;
  FILETIME before = {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  for (const auto& file : files) {
    HANDLE h = CreateFileA(file[0].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    DWORD wrote = 0;
    WriteFile(h, file[1].data(), static_cast<DWORD>(file[1].size()), &wrote, nullptr);
    SetFileTime(h, nullptr, nullptr, &before);
    CloseHandle(h);
  }
}

void RemoveServiceFiles(const std::string& dir) {
  DeleteFileA((dir + "net\\net.cnf").c_str());
  DeleteFileA((dir + "special.cnf").c_str());
  RemoveDirectoryA((dir + "net").c_str());
}

// A fresh copy of this program does one thing and writes its time and the
// message count to a file: "--fresh open" logopen of the stored index,
// "--fresh read" a plain read of it, "--fresh load" a read into memory.
double FreshProcess(const std::string& dir, const char* what, long* messages) {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string result = dir + "topic_open_bench.fresh";
  DeleteFileA(result.c_str());
  // Without its last backslash, which would quote the closing quote.
  std::string command = std::string("\"") + self + "\" --fresh " + what + " \"" + dir.substr(0, dir.size() - 1) + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  double seconds = -1;
  *messages = -1;
  if (FILE* f = std::fopen(result.c_str(), "rb")) {
    if (std::fscanf(f, "%lf %ld", &seconds, messages) != 2) seconds = -1;
    std::fclose(f);
  }
  DeleteFileA(result.c_str());
  return seconds;
}

int Quiet(HWND, const char* text, const char*, UINT) {
  std::fprintf(stderr, "box: %s\n", text);
  return IDOK;
}

void UseDirectory(const std::string& dir) {
  g_ui.messageBox = Quiet;
  lstrcpynA(g_app.dataDir, dir.c_str(), sizeof g_app.dataDir);
  InitDefaults();
  g_hconf.warned = true;  // no service configuration files beside the bench's log
  ConfRec rec = {};
  std::strcpy(rec.name, kFolder);
  std::strcpy(rec.baseName, "topic_open_bench.log");
  Conferences.SetSize(0);
  Conferences.Append(&rec);
}

int FreshRun(const char* what, std::string dir) {
  dir += '\\';
  UseDirectory(dir);
  // The program has its windows before it opens a topic: the window system's
  // start in this process (about 80 ms under Wine) is not the open's.
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  long messages = 0;
  std::string ind = dir + "topic_open_bench.ind";
  double seconds = std::strcmp(what, "open") == 0   ? OpenAndClose(&messages)
                   : std::strcmp(what, "read") == 0 ? PlainRead(ind)
                                                    : ReadIntoMemory(ind);
  FILE* f = std::fopen((dir + "topic_open_bench.fresh").c_str(), "wb");
  if (!f) return 1;
  std::fprintf(f, "%.9f %ld\n", seconds, messages);
  return std::fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--fresh") == 0) return FreshRun(argv[2], argv[3]);
  long count = argc > 1 ? std::atol(argv[1]) : 100000;
  // Absolute: loading a service configuration changes the current directory.
  char full[MAX_PATH];
  if (!GetFullPathNameA(argc > 2 ? argv[2] : ".", sizeof full, full, nullptr)) return 1;
  std::string dir = full;
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  UseDirectory(dir);

  std::string log = dir + "topic_open_bench.log", ind = dir + "topic_open_bench.ind";
  FILE* out = std::fopen(log.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "cannot create %s\n", log.c_str());
    return 1;
  }
  for (long i = 1; i <= count; ++i) {
    std::string m = NewsMessage(i);
    std::fwrite(m.data(), 1, m.size(), out);
  }
  std::fclose(out);

  PlainRead(log);  // warm the file cache for both sides
  double raw = 1e9, rawLarge = 1e9, rebuild = 1e9, rawIndex = 1e9, open = 1e9, configuration = 1e9;
  double walkAlone = 1e9, walkIds = 1e9;
  double rebuildOneThread = 1e9;
  // The first round's rebuilds: the workers' blocks are fresh memory then.
  double firstOneThread = 0, firstRebuild = 0;
  RebuildTimes split, splitOneThread;
  long rebuilt = 0, rebuiltOneThread = 0, opened = 0, walked = 0, walkedIds = 0;
  bool sameFiles = true;
  for (int round = 0; round < 5; ++round) {
    DeleteFileA(ind.c_str());
    double r = PlainRead(log);
    double rl = PlainRead(log, 1 << 16);
    g_rebuildWalk.threads = 1;
    DeleteFileA(ind.c_str());
    double b1 = OpenAndClose(&rebuiltOneThread);
    if (b1 < rebuildOneThread) {
      rebuildOneThread = b1;
      splitOneThread = g_lastRebuildTimes;
    }
    const std::string oneThreadFiles = IndexFiles(dir);
    g_rebuildWalk.threads = 0;
    DeleteFileA(ind.c_str());
    double b = OpenAndClose(&rebuilt);
    if (round == 0) firstOneThread = b1, firstRebuild = b;
    if (b < rebuild) split = g_lastRebuildTimes;
    if (IndexFiles(dir) != oneThreadFiles) sameFiles = false;
    walkAlone = std::min(walkAlone, WalkAlone(log, false, &walked));
    walkIds = std::min(walkIds, WalkAlone(log, true, &walkedIds));
    if (rl < rawLarge) rawLarge = rl;
    double ri = PlainRead(ind);
    double o = OpenAndClose(&opened);
    double c = ConfigurationReload();
    if (c < configuration) configuration = c;
    if (r < raw) raw = r;
    if (b < rebuild) rebuild = b;
    if (ri < rawIndex) rawIndex = ri;
    if (o < open) open = o;
  }
  // The same reload with the service's files in place.
  InstallServiceFiles(dir);
  double installed = 1e9, installedOpen = 1e9;
  for (int round = 0; round < 5; ++round) {
    double c = ConfigurationReload();
    if (c < installed) installed = c;
    double o = OpenAndClose(&opened);
    if (o < installedOpen) installedOpen = o;
  }
  RemoveServiceFiles(dir);
  // The stored index, opened first thing in a fresh process.
  double freshOpen = 1e9, freshRead = 1e9, freshLoad = 1e9;
  long freshOpened = -1, ignored = 0;
  for (int round = 0; round < 3; ++round) {
    double o = FreshProcess(dir, "open", &freshOpened);
    double r = FreshProcess(dir, "read", &ignored);
    double l = FreshProcess(dir, "load", &ignored);
    if (o < 0 || r < 0 || l < 0 || freshOpened != count) break;
    if (l < freshLoad) freshLoad = l;
    if (o < freshOpen) freshOpen = o;
    if (r < freshRead) freshRead = r;
  }
  // One message read back from the rebuilt topic: its header names it.
  std::strcpy(g_topic.openName, kFolder);
  bool found = logopen() && scanmsg(count / 2 + 1) == 1 && g_logReader.remaining > 0;
  logclose();
  std::printf("messages: rebuilt %ld, opened %ld, first open in a fresh process %ld\n", rebuilt, opened, freshOpened);
  // The rebuild's walk reads the log in 64 KB blocks: the same reads, plainly,
  // are the like-for-like baseline; 8 KB reads (the reader's own blocks, more
  // calls) are shown beside it.
  std::printf(
      "rebuild through logopen %.3f s, plain read of the log in 64 KB reads (the walk's blocks) %.3f s: ratio %.2f "
      "(goal within 3)\n",
      rebuild, rawLarge, rawLarge > 0 ? rebuild / rawLarge : 0.0);
  std::printf("  plain read of the log in 8 KB reads %.3f s: ratio %.2f\n", raw, raw > 0 ? rebuild / raw : 0.0);
  std::printf(
      "  split of the best rebuild (walk on %d threads): walk with the records %.3f s, thread file %.4f s, id list "
      "sort and save %.4f s, index %.4f s, the rest of logopen %.4f s\n",
      split.threads, split.walk, split.threadFile, split.idList, split.index,
      rebuild - split.walk - split.threadFile - split.idList - split.index);
  std::printf(
      "rebuild with the walk on the calling thread alone %.3f s: ratio %.2f to the read; the walk on %d threads is "
      "%.2fx faster; the same files: %s\n",
      rebuildOneThread, rawLarge > 0 ? rebuildOneThread / rawLarge : 0.0, split.threads,
      rebuild > 0 ? rebuildOneThread / rebuild : 0.0, sameFiles ? "yes" : "NO");
  std::printf("  first round of the process: rebuild %.3f s on %d threads (ratio %.2f), %.3f s on one thread\n",
              firstRebuild, split.threads, rawLarge > 0 ? firstRebuild / rawLarge : 0.0, firstOneThread);
  std::printf(
      "  its split: walk with the records %.3f s, thread file %.4f s, id list sort and save %.4f s, index %.4f s\n",
      splitOneThread.walk, splitOneThread.threadFile, splitOneThread.idList, splitOneThread.index);
  std::printf(
      "  the walk alone on one thread %.3f s (ratio %.2f), with the id list filled %.3f s: the records beside the "
      "one-thread walk %.3f s, of which id list entries %.3f s\n",
      walkAlone, rawLarge > 0 ? walkAlone / rawLarge : 0.0, walkIds, splitOneThread.walk - walkAlone,
      walkIds - walkAlone);
  std::printf("logopen of the index %.4f s, plain read of the index %.4f s: ratio %.2f (goal within 2)\n", open,
              rawIndex, rawIndex > 0 ? open / rawIndex : 0.0);
  // The configuration is the service configuration layer's, read file by
  // file and key by key; shown apart so the message base's share is clear.
  std::printf("  of which reloading the service configuration %.4f s; without it ratio %.2f\n", configuration,
              rawIndex > 0 ? (open - configuration) / rawIndex : 0.0);
  std::printf(
      "with a service file installed: logopen of the index %.4f s, ratio %.2f; reloading the service "
      "configuration %.4f s\n",
      installedOpen, rawIndex > 0 ? installedOpen / rawIndex : 0.0, installed);
  std::printf(
      "first logopen of the index in a fresh process %.4f s, plain read of the index in a fresh process "
      "%.4f s: ratio %.2f (goal within 2)\n",
      freshOpen, freshRead, freshRead > 0 ? freshOpen / freshRead : 0.0);
  std::printf("  read of the index into memory of its size in a fresh process %.4f s: ratio %.2f\n", freshLoad,
              freshLoad > 0 ? freshOpen / freshLoad : 0.0);
  DeleteFileA(log.c_str());
  DeleteFileA(ind.c_str());
  DeleteFileA((dir + "topic_open_bench.thr").c_str());
  DeleteFileA((dir + "topic_open_bench.id").c_str());
  if (rebuilt != count || rebuiltOneThread != count || !sameFiles || opened != count || freshOpened != count ||
      walked != count || walkedIds != count || !found) {
    std::fprintf(stderr, "wrong result: %ld messages expected in every open, message %ld %s%s\n", count, count / 2 + 1,
                 found ? "found" : "not found",
                 sameFiles ? "" : "; the walks on one and on several threads wrote different files");
    return 1;
  }
  return 0;
}
