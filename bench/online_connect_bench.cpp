// The engine script and the success log over 10,000 prepared actions (a
// tenth of them messages with 4-64 KB bodies), each against one plain pass
// in the same run that reads the same file line by line and writes every
// line to a new file. The script's run reads the file, writes the script
// and a body file per message; the log's run reads both and writes the
// kept actions. Prints the ratios; checks its own results.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "online/engine_script.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string MakeFile(int actions) {
  std::mt19937 random(7);
  std::string out;
  for (int i = 0; i < actions; i++) {
    if (i % 10 == 0) {
      std::string body(4096 + random() % (60 * 1024), 'x');
      for (size_t j = 70; j < body.size(); j += 72) body[j] = '\n';
      out +=
          ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbSay: yes\r\nszFolders: chat/general\r\nszSubject: "
          "Subject " +
          std::to_string(i) + "\r\nBody: " + std::to_string(body.size()) + "\r\n" + body + "\r\nMessageEnd:\r\n";
    } else {
      out += ";-; id:\tann type:\tscript script:\tDownload priority:\t90 #:\tchat/t" + std::to_string(i) +
             "\r\nDownload\r\nchat/t" + std::to_string(i) + "\r\n";
    }
  }
  return out;
}

std::string g_dir;

// One plain pass: the file read line by line and every line written out.
size_t PlainPass(const std::string& from, const std::string& to) {
  FILE* in = std::fopen(from.c_str(), "rb");
  FILE* out = std::fopen(to.c_str(), "wb");
  size_t lines = 0;
  static char line[4096];
  while (in && out && std::fgets(line, sizeof line, in)) {
    std::fputs(line, out);
    lines++;
  }
  if (in) std::fclose(in);
  if (out) std::fclose(out);
  return lines;
}

bool WriteBody(void*, long action, const std::string& bytes) {
  return WriteAll(g_dir + "msg" + std::to_string(action) + ".tmp", bytes);
}
bool ReadFile(void*, const std::string&, std::string*) { return false; }

}  // namespace

int main() {
  const int kActions = 10000;
  g_dir = (std::filesystem::temp_directory_path() / "online_connect_bench").string() + "/";
  std::filesystem::create_directories(g_dir);
  std::string file = MakeFile(kActions);
  std::string replyPath = g_dir + "reply.bsc", bscPath = g_dir + "svc.bsc";
  WriteAll(replyPath, file);
  WriteAll(bscPath, file);
  std::string log;
  for (int i = 1; i <= kActions; i += 2) log += std::to_string(i) + "\n";
  WriteAll(g_dir + "success.log", log);
  double plain = 1e9, script = 1e9, apply = 1e9;
  for (int round = 0; round < 3; round++) {
    auto t = Clock::now();
    PlainPass(replyPath, g_dir + "copy.bsc");
    plain = std::min(plain, Seconds(t));

    ReplyScriptFiles files{nullptr, WriteBody, ReadFile};
    t = Clock::now();
    ReplyScript r = MakeReplyScript(ReadAll(replyPath), "net", true, g_dir, files);
    bool written = WriteAll(g_dir + "reply.ebs", r.script);
    script = std::min(script, Seconds(t));
    if (!written || r.actions != kActions || r.written.size() != static_cast<size_t>(kActions)) {
      std::printf("FAILED: script wrote %zu of %d actions\n", r.written.size(), kActions);
      return 1;
    }

    t = Clock::now();
    AppliedLog applied = ApplySuccessNumbers(ReadAll(bscPath), ReadSuccessLog(ReadAll(g_dir + "success.log")));
    written = WriteAll(g_dir + "badcmds.bsc", applied.kept);
    apply = std::min(apply, Seconds(t));
    if (!written || applied.confirmed != kActions / 2 || applied.lastAction != kActions) {
      std::printf("FAILED: %ld confirmed of %ld\n", applied.confirmed, applied.lastAction);
      return 1;
    }
  }
  std::filesystem::remove_all(g_dir);
  std::printf("%d actions, %.1f MB\n", kActions, file.size() / 1048576.0);
  std::printf("plain pass          %8.2f ms\n", plain * 1000);
  std::printf("engine script       %8.2f ms  ratio %.2f (goal: within 5)\n", script * 1000, script / plain);
  std::printf("success log applied %8.2f ms  ratio %.2f (goal: within 5)\n", apply * 1000, apply / plain);
  return 0;
}
