// Thread ages and the prune plan of one topic: a single 50,000-message chain
// (every message comments on the one before) beside the same number of
// messages in 5,000 short threads. Both must take about as long: the walk
// up a chain is not repeated per message. Prints the ratio chain / threads.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "msgbase/prune_rules.h"

namespace {

using Clock = std::chrono::steady_clock;

int32_t AgeOf(void* context, size_t slot) {
  ++*static_cast<long*>(context);
  return static_cast<int32_t>(slot % 100);
}

double Time(const std::vector<MsgIndexRec>& records, long* asked, size_t* archived) {
  auto start = Clock::now();
  std::vector<int32_t> ages = ComputeThreadAges(records.data(), records.size(), 1, AgeOf, asked);
  std::vector<PruneAction> plan =
      PlanPrune(records.data(), ages.data(), records.size(), records.back().number, true, 50);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  *archived = 0;
  for (PruneAction a : plan) *archived += a == PruneAction::kArchive;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t n = argc > 1 ? std::atoi(argv[1]) : 50000;
  std::vector<MsgIndexRec> chain, threads;
  for (int32_t k = 1; k <= n; ++k) {
    chain.push_back({k, k - 1, 0});
    threads.push_back({k, k % 10 == 1 ? 0 : k - 1, 0});
  }
  long chainAsked = 0, threadsAsked = 0;
  size_t chainArchived = 0, threadsArchived = 0;
  double best[2] = {1e9, 1e9};
  for (int round = 0; round < 5; ++round) {
    chainAsked = threadsAsked = 0;
    double c = Time(chain, &chainAsked, &chainArchived);
    double t = Time(threads, &threadsAsked, &threadsArchived);
    if (c < best[0]) best[0] = c;
    if (t < best[1]) best[1] = t;
  }
  // One age per thread; the chain is one old thread: all of it goes but the last message.
  bool ok = chainAsked == 1 && threadsAsked == (n + 9) / 10 && chainArchived == static_cast<size_t>(n - 1);
  std::printf("thread ages + plan, %d messages: chain %.4f s, %ld threads %.4f s, ratio chain/threads %.2f%s\n", n,
              best[0], threadsAsked, best[1], best[0] / best[1], ok ? "" : "  RESULTS WRONG");
  return ok ? 0 : 1;
}
