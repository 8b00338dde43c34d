// Default services for the B-protocol code and the small helpers over them.
#include "commkit/bp/bp_system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxFiles = 16;
FILE* g_files[kMaxFiles];

FILE* FileOf(int handle) { return handle >= 0 && handle < kMaxFiles ? g_files[handle] : nullptr; }

int Adopt(FILE* f) {
  if (!f) return -1;
  for (int i = 0; i < kMaxFiles; ++i)
    if (!g_files[i]) {
      g_files[i] = f;
      return i;
    }
  std::fclose(f);
  return -1;
}

int StdioOpen(const char* name, int mode) {
  if (!name) return -1;
  if (mode == 2) return Adopt(std::fopen(name, "rb"));
  if (mode == 3) return Adopt(std::fopen(name, "r+b"));
  return -1;
}
int StdioCreate(const char* name) { return name ? Adopt(std::fopen(name, "w+b")) : -1; }
int StdioExists(const char* name) {
  FILE* f = name ? std::fopen(name, "rb") : nullptr;
  if (!f) return 0;
  std::fclose(f);
  return 1;
}
int StdioRead(int h, void* buffer, unsigned count) {
  FILE* f = FileOf(h);
  if (!f || !buffer) return -1;
  std::fseek(f, 0, SEEK_CUR);  // a read may follow a write
  size_t n = std::fread(buffer, 1, count, f);
  return std::ferror(f) ? -1 : int(n);
}
int StdioWrite(int h, const void* buffer, unsigned count) {
  FILE* f = FileOf(h);
  if (!f || !buffer) return -1;
  std::fseek(f, 0, SEEK_CUR);
  return int(std::fwrite(buffer, 1, count, f));
}
long StdioSize(int h) {
  FILE* f = FileOf(h);
  if (!f) return -1;
  long at = std::ftell(f);
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(f);
  std::fseek(f, at, SEEK_SET);
  return size;
}
int StdioSeekEnd(int h) {
  FILE* f = FileOf(h);
  return f && std::fseek(f, 0, SEEK_END) == 0 ? 1 : 0;
}
int StdioClose(int h) {
  FILE* f = FileOf(h);
  if (!f) return -1;
  g_files[h] = nullptr;
  return std::fclose(f) == 0 ? 0 : -1;
}
int StdioRemove(const char* name) { return name && std::remove(name) == 0 ? 1 : 0; }

uint32_t SteadyTicks() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
void* CallocOne(size_t n) { return std::calloc(1, n ? n : 1); }

BpSystem MakeDefault() {
  BpSystem s{};
  s.file = BpStdioFileOps();
  s.ticks = SteadyTicks;
  s.memAlloc = CallocOne;
  s.memFree = std::free;
  return s;
}

BpSystem g_system = MakeDefault();

}  // namespace

BpFileOps BpStdioFileOps() {
  return BpFileOps{StdioOpen, StdioCreate,  StdioExists, StdioRead,  StdioWrite,
                   StdioSize, StdioSeekEnd, StdioClose,  StdioRemove};
}

const BpSystem& BpSys() { return g_system; }

void BpSetSystem(const BpSystem& system) {
  g_system = system;
  BpSystem d = MakeDefault();
  if (!g_system.ticks) g_system.ticks = d.ticks;
  if (!g_system.memAlloc || !g_system.memFree) {
    g_system.memAlloc = d.memAlloc;
    g_system.memFree = d.memFree;
  }
  if (!g_system.file.open) g_system.file = d.file;
}

intptr_t BpNotify(void* window, unsigned code, intptr_t lParam) {
  return g_system.notify ? g_system.notify(window, code, lParam) : 0;
}

void BpPing(void* window, void* port) {
  if (port && g_system.port.isQuiet && g_system.port.isQuiet(port)) return;
  BpNotify(window, 513, 0);
}

char* BpStrDup(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text);
  char* copy = static_cast<char*>(g_system.memAlloc(n + 1));
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

uint32_t BpDeadline(uint32_t milliseconds) { return g_system.ticks() + milliseconds; }
bool BpPassed(uint32_t deadline) { return int32_t(g_system.ticks() - deadline) >= 0; }
