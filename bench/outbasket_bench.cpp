// The outbasket's ordering over 1,000, 10,000 and 50,000 actions (a tenth of
// them messages with 4-64 KB bodies, a fifth repeating an earlier request):
// the file read, every action described, the list sorted, the duplicates
// merged and the file written again, against one plain pass in the same run
// that reads the same bytes, sorts their lines with std::sort and writes
// them. Then the ghosts of 10,000 queued actions rebuilt. Prints the ratios
// and the growth per action; checks its own results.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "online/action_file.h"
#include "online/ghosts.h"
#include "bench/bench_files.h"
#include "online/outbasket_order.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct Fixture {
  std::string bytes;
  int distinct = 0;      // actions left after the merge
  size_t bodyBytes = 0;  // of the messages, which all stay
};

Fixture MakeFile(int actions) {
  std::mt19937 random(11);
  Fixture f;
  int scripts = 0;
  for (int i = 0; i < actions; i++) {
    if (i % 10 == 0) {
      std::string body(4096 + random() % (60 * 1024), 'x');
      for (size_t j = 70; j < body.size(); j += 72) body[j] = '\n';
      f.bytes += ";-; id:\tann type:\tedit\r\nMessageStart: 1.0\r\nbComment: yes\r\nszFolders: chat/t" +
                 std::to_string(i % 97) + "\r\nnComment: " + std::to_string(i) + "\r\nszSubject: Subject " +
                 std::to_string(i) + "\r\nBody: " + std::to_string(body.size()) + "\r\n" + body + "\r\nMessageEnd:\r\n";
      f.bodyBytes += body.size();
      f.distinct++;
      continue;
    }
    // Every fifth action asks again for an earlier script's folder.
    bool repeat = i % 5 == 1 && scripts > 0;
    int folder = repeat ? static_cast<int>(random() % scripts) : scripts++;
    f.bytes += ";-; id:\tann type:\tscript script:\tDownload messages priority:\t90 #:\tchat/t" +
               std::to_string(folder) + "\r\nDownload\r\nchat/t" + std::to_string(folder) + "\r\n" +
               std::to_string(random() % 500) + "\r\n";
    if (!repeat) f.distinct++;
  }
  return f;
}

// The plain pass: the same bytes read, their lines sorted, written out.
void PlainPass(const std::string& from, const std::string& to) {
  std::string bytes = ReadAll(from);
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size() - 1;
    lines.emplace_back(bytes.data() + start, end + 1 - start);
    start = end + 1;
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  out.reserve(bytes.size());
  for (std::string_view line : lines) out.append(line);
  WriteAll(to, out);
}

// Load, describe, sort, merge and save, as SortActions does for one service.
bool OrderPass(const std::string& from, const std::string& to, const Fixture& f) {
  std::string bytes = ReadAll(from);
  ActionList list;
  list.records.push_back(NewHeadingRow("quorl"));
  ParseActionFile(bytes.data(), bytes.size(), "quorl", &list);
  for (OutbasketAction& a : list.records) DescribeAction(&a);
  OrderActions(&list);
  std::string out = WriteActionFile(list, "quorl");
  if (!WriteAll(to, out)) return false;
  int kept = 0;
  size_t bodies = 0;
  for (const OutbasketAction& a : list.records) {
    if (a.heading || a.dropped) continue;
    kept++;
    if (a.edit) bodies += a.textLength;
  }
  if (kept != f.distinct || bodies != f.bodyBytes) {
    std::printf("FAILED: %d actions kept of %d, %zu body bytes of %zu\n", kept, f.distinct, bodies, f.bodyBytes);
    return false;
  }
  return true;
}

std::string g_dir;
const char* OpenTopic() { return "quorl:chat/t5"; }
const char* DataDir() { return g_dir.c_str(); }
void NoRepaint() {}

}  // namespace

int main() {
  g_dir = (std::filesystem::temp_directory_path() / "outbasket_bench").string() + "/";
  std::filesystem::create_directories(g_dir);
  std::printf("%8s %9s %10s %10s %7s %12s\n", "actions", "MB", "plain ms", "order ms", "ratio", "us/action");
  double firstPerAction = 0, lastPerAction = 0;
  for (int actions : {1000, 10000, 50000}) {
    Fixture f = MakeFile(actions);
    std::string path = g_dir + "quorl.bsc";
    WriteAll(path, f.bytes);
    double plain = 1e9, order = 1e9;
    int rounds = actions > 10000 ? 1 : 3;
    for (int round = 0; round < rounds; round++) {
      auto t = Clock::now();
      PlainPass(path, g_dir + "plain.bsc");
      plain = std::min(plain, Seconds(t));
      t = Clock::now();
      if (!OrderPass(path, g_dir + "ordered.bsc", f)) return 1;
      order = std::min(order, Seconds(t));
    }
    double perAction = order / actions * 1e6;
    if (actions == 1000) firstPerAction = perAction;
    lastPerAction = perAction;
    std::printf("%8d %9.1f %10.2f %10.2f %7.2f %12.2f\n", actions, f.bytes.size() / 1048576.0, plain * 1000,
                order * 1000, order / plain, perAction);
  }
  std::printf("ratio goal: within 10; growth per action 1k -> 50k: %.2f (near 1 is linear)\n",
              lastPerAction / firstPerAction);

  // Ghosts: 10,000 queued actions in the outbasket file of the open topic's service.
  Fixture f = MakeFile(10000);
  WriteAll(g_dir + "quorl.bsc", f.bytes);
  g_ghostHooks.openTopicName = OpenTopic;
  g_ghostHooks.dataDirectory = DataDir;
  g_ghostHooks.refreshGhostRows = NoRepaint;
  double ghosts = 1e9;
  for (int round = 0; round < 3; round++) {
    auto t = Clock::now();
    RefreshGhosts();
    ghosts = std::min(ghosts, Seconds(t));
  }
  if (GhostCount() != 1000) {
    std::printf("FAILED: %d ghosts of 1000\n", GhostCount());
    return 1;
  }
  std::printf("RefreshGhosts, 10000 actions: %.2f ms (goal: under 50)\n", ghosts * 1000);
  std::filesystem::remove_all(g_dir);
  return 0;
}
