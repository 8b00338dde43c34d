// 20 topics of 5,000 messages of about 2 KB (threads of ten, of many ages) in
// a fresh data directory: a full reindex against reading the 20 logs with
// plain ReadFile calls, then a prune that drops half the threads into an
// archive against copying the logs with plain file calls. Checks that the
// reindex listed every message and that the prune halved the base.
// Usage: maintenance_bench [messages per topic]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "msgbase/conf_list.h"
#include "msgbase/maintenance.h"
#include "msgbase/service_config.h"

namespace {

constexpr int kTopics = 20;
constexpr DWORD kBuffer = 64 * 1024;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string DateDaysAgo(int days) {
  time_t when = std::time(nullptr) - static_cast<time_t>(days) * 86400;
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&when));
  return text;
}

// Thread t (of ten messages) is (7t + 150) % 200 days old (the first one old, as a pass looks at it first): about half the threads are older than 100 days.
std::string TopicLog(int topic, int messages) {
  std::string log;
  log.reserve(static_cast<size_t>(messages) * 2200);
  std::string folder = "quorl:bench/topic" + std::to_string(topic);
  for (int k = 1; k <= messages; ++k) {
    int thread = (k - 1) / 10;
    std::string body = "Subject: thread " + std::to_string(thread) + "\n\n";
    while (body.size() < 2000) body += "The text of a message of about two kilobytes, line after line.\n";
    log += "==========\n" + folder + " #" + std::to_string(k) + ", from poster" + std::to_string(k % 97) + ", " +
           std::to_string(body.size()) + " chars, " + DateDaysAgo((thread * 7 + 150) % 200) + "\n";
    if ((k - 1) % 10) log += "Comment to " + std::to_string(k - 1) + ".\n";
    log += "----------\n" + body;
  }
  return log;
}

std::string LogPath(const std::string& dir, int topic) { return dir + "quorl\\bench\\topic" + std::to_string(topic); }

long long PlainRead(const std::string& dir) {
  std::vector<char> buffer(kBuffer);
  long long total = 0;
  for (int t = 0; t < kTopics; ++t) {
    HANDLE file =
        CreateFileA(LogPath(dir, t).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n = 0;
    while (ReadFile(file, buffer.data(), kBuffer, &n, nullptr) && n) total += n;
    CloseHandle(file);
  }
  return total;
}

long long PlainCopy(const std::string& dir) {
  std::vector<char> buffer(kBuffer);
  long long total = 0;
  for (int t = 0; t < kTopics; ++t) {
    std::string from = LogPath(dir, t), to = from + ".copy";
    HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0, written = 0;
    while (ReadFile(in, buffer.data(), kBuffer, &n, nullptr) && n) {
      WriteFile(out, buffer.data(), n, &written, nullptr);
      total += written;
    }
    FlushFileBuffers(out);
    CloseHandle(in);
    CloseHandle(out);
    DeleteFileA(to.c_str());
  }
  return total;
}

long long FileBytes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Quiet(HWND, const char* text, const char*, UINT) {
  std::fprintf(stderr, "box: %s\n", text);
  return IDOK;
}

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::atoi(argv[1]) : 5000;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string dir = std::string(temp) + "pl_maint_bench_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "quorl").c_str(), nullptr);
  CreateDirectoryA((dir + "quorl\\bench").c_str(), nullptr);
  if (FILE* cnf = std::fopen((dir + "quorl\\quorl.cnf").c_str(), "wb")) std::fclose(cnf);
  long long bytes = 0;
  for (int t = 0; t < kTopics; ++t) {
    std::string log = TopicLog(t, messages);
    FILE* f = std::fopen(LogPath(dir, t).c_str(), "wb");
    std::fwrite(log.data(), 1, log.size(), f);
    std::fclose(f);
    bytes += static_cast<long long>(log.size());
  }
  lstrcpynA(g_app.dataDir, dir.c_str(), sizeof g_app.dataDir);
  InitDefaults();
  lstrcpynA(g_main.messagePath, dir.c_str(), sizeof g_main.messagePath);
  lstrcpynA(g_main.messagePathExpanded, dir.c_str(), sizeof g_main.messagePathExpanded);
  g_hconf.warned = true;
  g_app.unattended = true;
  g_ui.messageBox = Quiet;

  auto start = Clock::now();
  long long read = PlainRead(dir);
  double readSeconds = Seconds(start);
  start = Clock::now();
  int rebuilt = RebuildMessageBase(false);
  double reindexSeconds = Seconds(start);
  long total = 0;
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<ConfRec*>(Conferences.At(i));
    total += rec->last - rec->first + 1;
  }
  bool reindexOk = rebuilt == 1 && read == bytes && total == static_cast<long>(kTopics) * messages;

  FILE* ini = std::fopen((dir + "fenwold.ini").c_str(), "wb");
  std::fputs("[Prune]\r\nDefault Days=100\r\nFirst Prune=NO\r\nFilename=archive_%s.txt\r\n", ini);
  std::fclose(ini);
  start = Clock::now();
  long long copied = PlainCopy(dir);
  double copySeconds = Seconds(start);
  start = Clock::now();
  PruneMessageBase(false);
  double pruneSeconds = Seconds(start);
  long long left = 0;
  for (int t = 0; t < kTopics; ++t) left += FileBytes(LogPath(dir, t));
  long long archived = FileBytes(dir + "archive_quorl.txt");
  bool pruneOk = copied == bytes && left > bytes * 4 / 10 && left < bytes * 6 / 10 && archived + left >= bytes;

  std::printf("reindex of %d topics x %d messages (%.1f MB): %.3f s; plain read %.3f s; ratio %.2f (goal 4)%s\n",
              kTopics, messages, bytes / 1048576.0, reindexSeconds, readSeconds, reindexSeconds / readSeconds,
              reindexOk ? "" : "  RESULTS WRONG");
  std::printf("prune of half the threads into an archive: %.3f s; plain copy %.3f s; ratio %.2f (goal 3)%s\n",
              pruneSeconds, copySeconds, pruneSeconds / copySeconds, pruneOk ? "" : "  RESULTS WRONG");
  return reindexOk && pruneOk ? 0 : 1;
}
