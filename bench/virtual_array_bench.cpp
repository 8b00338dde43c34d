// Speed of the virtual array against the standard containers, measured side
// by side in one run: sort, sort with a pool of 3 buffers (chunks swap to
// disk), binary search and sorted insertion.
// Usage: virtual_array_bench [records] [lookups] [inserts]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "core/virtual_array.h"

namespace {

struct Record {
  uint32_t key;
  uint32_t a;
  uint32_t b;
};
static_assert(sizeof(Record) == 12);

// Not inlined into the std::sort baseline below: the array only ever sees it
// through a pointer.
__attribute__((noinline)) int CompareRecord(const void* x, const void* y) {
  uint32_t p = static_cast<const Record*>(x)->key, q = static_cast<const Record*>(y)->key;
  return p < q ? -1 : p > q ? 1 : 0;
}
// The plain way: a comparison the compiler sees and inlines.
auto Less = [](const Record& x, const Record& y) { return x.key < y.key; };

uint64_t g_memoryLimit = 0;
VirtualArrayHooks g_platform;
uint64_t Memory() { return g_memoryLimit ? g_memoryLimit : g_platform.physicalMemory(); }
void PrintError(const char* text) { fprintf(stderr, "error: %s\n", text); }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Fill(VirtualArray& array, const std::vector<Record>& records) {
  array.SetSize(0);
  array.SetSize(static_cast<int>(records.size()));
  for (size_t i = 0; i < records.size(); i += array.PerChunk()) {
    size_t n = std::min<size_t>(array.PerChunk(), records.size() - i);
    memcpy(array.At(static_cast<int>(i)), &records[i], n * sizeof(Record));
  }
}

// Whole records: the sort keeps equal keys in their order, so its result is
// the stable one.
bool SameAs(VirtualArray& array, const std::vector<Record>& stable) {
  if (array.Count() != static_cast<int>(stable.size())) return false;
  for (size_t i = 0; i < stable.size(); ++i)
    if (memcmp(array.At(static_cast<int>(i)), &stable[i], sizeof(Record)) != 0) return false;
  return true;
}

// Best of three, each on a fresh copy of the unsorted records.
double TimeArraySort(VirtualArray& array, const std::vector<Record>& records, const std::vector<Record>& stable,
                     bool* ok) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    Fill(array, records);
    auto start = std::chrono::steady_clock::now();
    array.Sort(CompareRecord);
    best = std::min(best, Seconds(start));
  }
  *ok = SameAs(array, stable);
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? atoi(argv[1]) : 1000000;
  const int lookups = argc > 2 ? atoi(argv[2]) : 1000000;
  const int inserts = argc > 3 ? atoi(argv[3]) : 100000;
  g_platform = g_virtualArrayHooks;
  g_virtualArrayHooks.physicalMemory = Memory;
  g_virtualArrayHooks.showError = PrintError;

  std::mt19937 rng(20261210);
  std::vector<Record> input(records);
  for (int i = 0; i < records; ++i) input[i] = {static_cast<uint32_t>(rng()), static_cast<uint32_t>(i), 0};

  double stdSort = 1e9;
  std::vector<Record> sorted;
  for (int round = 0; round < 3; ++round) {
    sorted = input;
    auto start = std::chrono::steady_clock::now();
    std::sort(sorted.begin(), sorted.end(), Less);
    stdSort = std::min(stdSort, Seconds(start));
  }

  // The same sort calling the array's compare function, which no sort of an
  // opaque record can inline.
  double stdSortSameCompare = 1e9;
  for (int round = 0; round < 3; ++round) {
    std::vector<Record> copy = input;
    auto start = std::chrono::steady_clock::now();
    std::sort(copy.begin(), copy.end(), [](const Record& x, const Record& y) { return CompareRecord(&x, &y) < 0; });
    stdSortSameCompare = std::min(stdSortSameCompare, Seconds(start));
  }

  std::vector<Record> stable = input;
  std::stable_sort(stable.begin(), stable.end(), Less);

  VirtualArray unbounded("bench", sizeof(Record), CompareRecord);
  bool okUnbounded = false, okPool = false;
  double arraySort = TimeArraySort(unbounded, input, stable, &okUnbounded);
  int unboundedBuffers = unbounded.BufferCount();

  g_memoryLimit = 1;  // the pool stays at 3 buffers
  VirtualArray pooled("bench pool", sizeof(Record), CompareRecord);
  double pooledSort = TimeArraySort(pooled, input, stable, &okPool);
  int pooledBuffers = pooled.BufferCount();
  pooled.SetSize(0);
  g_memoryLimit = 0;

  printf("records: %d x %d bytes, %d chunks of %d\n", records, static_cast<int>(sizeof(Record)), unbounded.ChunkCount(),
         unbounded.PerChunk());
  printf("std::sort                       %8.1f ms\n", stdSort * 1000);
  printf("std::sort, compare function     %8.1f ms  ratio %.2f\n", stdSortSameCompare * 1000,
         stdSortSameCompare / stdSort);
  printf("VirtualArray::Sort (%3d buffers) %8.1f ms  ratio %.2f  (goal <= 1.5; %.2f of the same-compare sort)%s\n",
         unboundedBuffers, arraySort * 1000, arraySort / stdSort, arraySort / stdSortSameCompare,
         okUnbounded ? "" : "  WRONG ORDER");
  printf("VirtualArray::Sort (%3d buffers) %8.1f ms  ratio %.2f  (goal <= 4)%s\n", pooledBuffers, pooledSort * 1000,
         pooledSort / stdSort, okPool ? "" : "  WRONG ORDER");

  // Lookups of keys that are present, in random order.
  std::vector<Record> probes(lookups);
  for (int i = 0; i < lookups; ++i) probes[i] = sorted[rng() % records];
  long checksum = 0;
  auto start = std::chrono::steady_clock::now();
  for (const Record& p : probes) checksum += std::lower_bound(sorted.begin(), sorted.end(), p, Less) - sorted.begin();
  double stdSearch = Seconds(start);
  long arrayChecksum = 0;
  start = std::chrono::steady_clock::now();
  for (const Record& p : probes) arrayChecksum += unbounded.BinarySearch(&p);
  double arraySearch = Seconds(start);
  printf("std::lower_bound x %d          %8.1f ms\n", lookups, stdSearch * 1000);
  printf("VirtualArray::BinarySearch x %d %8.1f ms  ratio %.2f%s\n", lookups, arraySearch * 1000,
         arraySearch / stdSearch, checksum == arrayChecksum ? "" : "  (positions differ on equal keys)");

  // Sorted insertion of new keys into the sorted million.
  std::vector<Record> fresh(inserts);
  for (int i = 0; i < inserts; ++i) fresh[i] = {static_cast<uint32_t>(rng()), 0, 1};
  std::vector<Record> vector = sorted;
  start = std::chrono::steady_clock::now();
  for (const Record& r : fresh) {
    auto at = std::lower_bound(vector.begin(), vector.end(), r, Less);
    if (at == vector.end() || at->key != r.key) vector.insert(at, r);
  }
  double stdInsert = Seconds(start);
  start = std::chrono::steady_clock::now();
  for (const Record& r : fresh) unbounded.InsertSorted(&r);
  double arrayInsert = Seconds(start);
  printf("lower_bound + vector::insert x %d %8.1f ms\n", inserts, stdInsert * 1000);
  printf("VirtualArray::InsertSorted x %d  %8.1f ms  ratio %.2f%s\n", inserts, arrayInsert * 1000,
         arrayInsert / stdInsert, unbounded.Count() == static_cast<int>(vector.size()) ? "" : "  COUNT DIFFERS");
  return okUnbounded && okPool ? 0 : 1;
}
