// Where a run's time goes, for the benchmark: each stage's seconds and how
// often it ran, and each kind of sync, written as "name<TAB>seconds<TAB>count"
// lines to the file IMPORT32_STATS names at the end of the run. Without that
// variable nothing is written; the clock costs the same either way.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "standins/import/import32.h"

namespace import32 {

namespace {

struct Slot {
  double seconds = 0;
  long count = 0;
};

const char* const kStageNames[] = {"recover",      "queue read", "map",     "parse",        "read-ahead wait",
                                   "conf read",    "plan",       "journal", "log append",   "log writes",
                                   "index delete", "conf save",  "postits", "queue remove", "finish",
                                   "entry delete", "close logs"};
const char* const kSyncNames[] = {"sync journal", "sync conf", "sync queue", "sync log"};
static_assert(sizeof kStageNames / sizeof *kStageNames == static_cast<size_t>(Stage::Count));
static_assert(sizeof kSyncNames / sizeof *kSyncNames == static_cast<size_t>(SyncKind::Count));

Slot g_stages[static_cast<size_t>(Stage::Count)];
Slot g_syncs[static_cast<size_t>(SyncKind::Count)];
double g_started = 0;

}  // namespace

double ClockSeconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

StageTimer::~StageTimer() {
  Slot& slot = g_stages[static_cast<size_t>(stage_)];
  slot.seconds += ClockSeconds() - start_;
  ++slot.count;
}

bool Commit(int fd, SyncKind kind) {
  double start = ClockSeconds();
  bool ok = _commit(fd) == 0;
  Slot& slot = g_syncs[static_cast<size_t>(kind)];
  slot.seconds += ClockSeconds() - start;
  ++slot.count;
  return ok;
}

void StatsStart() { g_started = ClockSeconds(); }

// The clock readings at the start and end of WinMain let the benchmark tell
// the process's start and exit from its work.
void StatsWrite() {
  char path[MAX_PATH] = "";
  DWORD n = GetEnvironmentVariableA("IMPORT32_STATS", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  FILE* f = std::fopen(path, "wb");
  if (!f) return;
  std::fprintf(f, "main start\t%.6f\t0\r\n", g_started);
  for (size_t i = 0; i < static_cast<size_t>(Stage::Count); ++i)
    std::fprintf(f, "%s\t%.6f\t%ld\r\n", kStageNames[i], g_stages[i].seconds, g_stages[i].count);
  for (size_t i = 0; i < static_cast<size_t>(SyncKind::Count); ++i)
    std::fprintf(f, "%s\t%.6f\t%ld\r\n", kSyncNames[i], g_syncs[i].seconds, g_syncs[i].count);
  std::fprintf(f, "main end\t%.6f\t0\r\n", ClockSeconds());
  std::fclose(f);
}

}  // namespace import32
