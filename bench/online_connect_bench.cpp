// The engine script and the success log over 10,000 prepared actions (a
// tenth of them messages with 4-64 KB bodies), each against one plain pass
// over the same bytes in the same run: read line by line, written out.
// Prints the ratios; checks its own results.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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

// One plain pass: every line looked at and copied to the output.
size_t PlainPass(const std::string& file, std::string* out) {
  out->clear();
  out->reserve(file.size());
  size_t lines = 0, pos = 0;
  while (pos < file.size()) {
    size_t end = file.find('\n', pos);
    end = end == std::string::npos ? file.size() : end + 1;
    out->append(file, pos, end - pos);
    lines++;
    pos = end;
  }
  return lines;
}

bool WriteBody(void* context, long, const std::string& bytes) {
  *static_cast<size_t*>(context) += bytes.size();
  return true;
}
bool ReadFile(void*, const std::string&, std::string*) { return false; }

}  // namespace

int main() {
  const int kActions = 10000;
  std::string file = MakeFile(kActions);
  std::string copy;
  double plain = 1e9, script = 1e9, apply = 1e9;
  for (int round = 0; round < 3; round++) {
    auto t = Clock::now();
    PlainPass(file, &copy);
    plain = std::min(plain, Seconds(t));

    size_t bodyBytes = 0;
    ReplyScriptFiles files{&bodyBytes, WriteBody, ReadFile};
    t = Clock::now();
    ReplyScript r = MakeReplyScript(file, "net", true, "C:\\data\\net\\", files);
    script = std::min(script, Seconds(t));
    if (r.actions != kActions || r.written.size() != static_cast<size_t>(kActions)) {
      std::printf("FAILED: script wrote %zu of %d actions\n", r.written.size(), kActions);
      return 1;
    }

    std::string log;
    for (int i = 1; i <= kActions; i += 2) log += std::to_string(i) + "\n";
    t = Clock::now();
    AppliedLog applied = ApplySuccessNumbers(file, ReadSuccessLog(log));
    apply = std::min(apply, Seconds(t));
    if (applied.confirmed != kActions / 2 || applied.lastAction != kActions) {
      std::printf("FAILED: %ld confirmed of %ld\n", applied.confirmed, applied.lastAction);
      return 1;
    }
  }
  std::printf("%d actions, %.1f MB\n", kActions, file.size() / 1048576.0);
  std::printf("plain pass          %8.2f ms\n", plain * 1000);
  std::printf("engine script       %8.2f ms  ratio %.2f\n", script * 1000, script / plain);
  std::printf("success log applied %8.2f ms  ratio %.2f\n", apply * 1000, apply / plain);
  return 0;
}
