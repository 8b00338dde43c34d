// One poll tick of the frame's timer with everything already seen: a
// 1,000,000-byte postits.log and a 100,000-line broadcst.txt, against one
// attribute query of each file the tick looks at, in the same run. The best
// of five rounds of 2000 ticks counts.
// Usage: shell_poll_bench [directory]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/appstate.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "shell/broadcast.h"
#include "shell/postits.h"
#include "shell/status_bar.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WriteFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string dir = argc > 1 ? argv[1] : std::string(temp) + "shell_poll_bench";
  if (dir.back() != '\\') dir += '\\';
  CreateDirectoryA(dir.c_str(), nullptr);
  std::strcpy(g_app.dataDir, dir.c_str());
  std::strcpy(g_app.userName, "demo");

  std::string postits;
  for (long n = 0; postits.size() < 1000000; ++n) postits += "quorl:chat/main " + std::to_string(n) + " someone-else\n";
  postits.resize(1000000 - 1);
  postits += "\n";
  std::string broadcasts;
  for (int n = 0; n < 100000; ++n) broadcasts += "message " + std::to_string(n) + " to everybody\n";
  const char* files[] = {"postits.log", "broadcst.txt", "confnew.ww", "moderate.ww"};
  if (!WriteFile(dir + "postits.log", postits) || !WriteFile(dir + "broadcst.txt", broadcasts) ||
      !WriteFile(dir + "confnew.ww", "") || !WriteFile(dir + "moderate.ww", "")) {
    std::fprintf(stderr, "shell_poll_bench: cannot write the files in %s\n", dir.c_str());
    return 1;
  }
  g_user.showPostIts = 1;
  g_user.lastPostIt = static_cast<uint32_t>(postits.size());
  ResetBroadcastPosition();
  PollBroadcasts();  // the first poll starts at the end: all seen

  const int kTicks = 2000;
  double best = 1e9, bestQuery = 1e9;
  int opened = 0;
  for (int round = 0; round < 5; ++round) {
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kTicks; ++i) {
      PollImportTool();
      PollBroadcasts();
      opened += PollPostits();
      confchanged();
      modchanged();
    }
    double tick = Seconds(Clock::now() - start) / kTicks;
    if (tick < best) best = tick;

    start = Clock::now();
    for (int i = 0; i < kTicks; ++i) {
      for (const char* name : files) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        GetFileAttributesExA((dir + name).c_str(), GetFileExInfoStandard, &data);
      }
    }
    double query = Seconds(Clock::now() - start) / kTicks;
    if (query < bestQuery) bestQuery = query;
  }
  if (opened != 0 || g_user.lastPostIt != postits.size()) {
    std::fprintf(stderr, "shell_poll_bench: the tick read lines it had seen\n");
    return 1;
  }
  std::printf("poll tick (everything seen): %.1f us\n", best * 1e6);
  std::printf("one attribute query of each polled file: %.1f us\n", bestQuery * 1e6);
  std::printf("ratio: %.2f (goal: within 5)\n", best / bestQuery);
  for (const char* name : files) DeleteFileA((dir + name).c_str());
  return 0;
}
