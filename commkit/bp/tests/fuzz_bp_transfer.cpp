// Plays arbitrary bytes as the host's side of the line into a file transfer,
// a plain receive or the start of the message link, with an in-memory file
// system: hostile requests, names, sizes and packets must stay in bounds.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>

#include "commkit/bp/bp_transfer.h"
#include "commkit/bp/bp_transport.h"

namespace {

const uint8_t* g_data;
size_t g_size, g_at;
uint8_t g_flags;
uint32_t g_now;

int Buffer(void*, uint8_t) { return 1; }
int Flush(void*) { return 1; }
int Next(void*) { return g_at < g_size ? g_data[g_at++] : kBpNoChar; }
int Wait(void* p, int) { return Next(p); }
int Zero(void*) { return 0; }
uint32_t Speed(void*) { return 2400; }
uint32_t Ticks() { return g_now += 10; }

uint8_t g_file[3000];
long g_fileAt;
int Open(const char* name, int) { return name && name[0] ? 3 : -1; }
int Create(const char* name) { return Open(name, 0); }
int Exists(const char*) { return g_flags & 1; }
int Read(int, void* buffer, unsigned count) {
  long n = std::min<long>(count, long(sizeof g_file) - g_fileAt);
  std::memcpy(buffer, g_file + g_fileAt, size_t(n));
  g_fileAt += n;
  return int(n);
}
int Write(int, const void*, unsigned count) { return int(count); }
long Size(int) { return sizeof g_file; }
int SeekEnd(int) { return 1; }
int Close(int) { return 0; }
int Remove(const char*) { return 1; }

intptr_t Notice(void*, unsigned code, intptr_t lParam) {
  if ((code == 1035 || code == 1036) && (g_flags & 2)) reinterpret_cast<BpNameQuery*>(lParam)->answer = 1;
  if (code == 1038) return g_flags & 4;
  return 0;
}

struct Setup {
  Setup() {
    BpSystem s{};
    s.port = BpPortOps{Buffer, Flush, Next, Wait, Zero, Speed, Zero, Zero, nullptr, nullptr};
    s.file = BpFileOps{Open, Create, Exists, Read, Write, Size, SeekEnd, Close, Remove};
    s.notify = Notice;
    s.ticks = Ticks;
    BpSetSystem(s);
    for (size_t i = 0; i < sizeof g_file; ++i) g_file[i] = uint8_t(i * 31);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  static int window, port;
  if (size < 1) return 0;
  g_flags = data[0];
  g_data = data + 1;
  g_size = size - 1;
  g_at = 0;
  g_fileAt = 0;
  switch ((g_flags >> 3) & 3) {
    case 0:
    case 1: {
      BpTransfer* t = BpTransferCreate(&window, 1, &port);
      for (int run = 0; run < 4 && g_at < g_size; ++run) BpTransferRun(t);
      BpTransferFree(t);
      break;
    }
    case 2: {
      BpReceiver* r = BpReceiverCreate(&window, 1, &port);
      BpReceiverRun(r);
      BpReceiverFree(r);
      break;
    }
    default: {
      BpLinkSession s{};
      s.window = &window;
      s.port = &port;
      s.timeoutSeconds = 60;
      if (QvxBpStart(&s)) {
        uint8_t buf[600];
        while (g_at < g_size && QvxBpReceive(&s, buf, sizeof buf, 1) >= 0) {}
      }
      QvxBpClose(&s);
      break;
    }
  }
  return 0;
}
