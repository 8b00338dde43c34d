#include "msgbase/thread_ids.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

VirtualArray ThreadIds("threadid", 4, CompareThreadIds);

namespace {
constexpr int kLineLimit = 199;
constexpr int kPumpEvery = 250;

int32_t IdAt(const void* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
}  // namespace

int CompareThreadIds(const void* a, const void* b) {
  if (!a || !b) return 0;
  int32_t x = IdAt(a), y = IdAt(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

int ThreadIdSet(int32_t id, int add) {
  int at = ThreadIds.BinarySearch(&id);
  const bool inside = at >= 0 && at < ThreadIds.Count();
  const void* there = inside ? ThreadIds.At(at) : nullptr;
  const bool present = there && IdAt(there) == id;
  if (!add) {
    if (present) ThreadIds.RemoveAt(at);
    return 1;
  }
  if (present) return 1;
  if (inside)
    ThreadIds.InsertAt(at, &id);
  else
    ThreadIds.InsertSorted(&id);
  return 1;
}

bool ReadThreadIdLines(FILE* stream, VirtualArray& list, void (*pump)()) {
  list.SetSize(0);
  char line[kLineLimit + 2];
  int lines = 0;
  while (std::fgets(line, sizeof line, stream)) {
    if (pump && ++lines % kPumpEvery == 0) pump();
    size_t n = std::strcspn(line, "\r\n");
    line[n] = 0;
    if (!n) continue;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(line, &end, 10);
    while (*end == ' ' || *end == '\t') ++end;
    if (end == line || *end || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
      list.SetSize(0);
      return false;
    }
    int32_t id = static_cast<int32_t>(value);
    if (!list.Append(&id)) {
      list.SetSize(0);
      return false;
    }
  }
  if (std::ferror(stream)) {
    list.SetSize(0);
    return false;
  }
  list.Sort(CompareThreadIds);
  return true;
}

bool WriteThreadIdLines(FILE* stream, VirtualArray& list, void (*pump)()) {
  for (int i = 0; i < list.Count(); ++i) {
    const void* p = list.At(i);
    if (!p || std::fprintf(stream, "%ld\n", static_cast<long>(IdAt(p))) < 0) return false;
    if (pump && (i + 1) % kPumpEvery == 0) pump();
  }
  return std::fflush(stream) == 0;
}
