// Feeds arbitrary line bytes to an engine in every check method and takes
// whatever packets it accepts: nothing may read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "commkit/bp/bp_engine.h"
#include "commkit/bp/bp_transport.h"

namespace {

std::vector<uint8_t> g_sink;
int Buffer(void*, uint8_t b) {
  if (g_sink.size() < 65536) g_sink.push_back(b);
  return 1;
}
int Flush(void*) {
  g_sink.clear();
  return 1;
}
int NoChar(void*) { return kBpNoChar; }
int Wait(void*, int) { return kBpNoChar; }
int Zero(void*) { return 0; }
uint32_t Speed(void*) { return 9600; }
uint32_t g_now = 0;
uint32_t Ticks() { return g_now += 7; }

struct Setup {
  Setup() {
    BpSystem s{};
    s.port.bufferByte = Buffer;
    s.port.flushBuffer = Flush;
    s.port.getChar = NoChar;
    s.port.waitChar = Wait;
    s.port.getError = Zero;
    s.port.getSpeed = Speed;
    s.ticks = Ticks;
    BpSetSystem(s);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  static int port;
  if (size == 0) return 0;
  BpEngine* e = BpCreate();
  BpInit(e, nullptr, 1, &port);
  e->method = uint8_t(data[0] % 3);
  BpMessageQueue* q = BpQueueCreate(e);
  BpQueueReset(q);
  uint8_t msg[512];
  for (size_t i = 1; i < size; ++i) {
    BpQueueFeed(q, data[i]);
    if (i % 64 == 0) BpCheckAckTimer(e);
    while (BpQueueCount(q)) {
      if (BpQueueTake(q, msg, sizeof msg) > long(sizeof msg)) {
        uint8_t big[4 * kBpMaxPacketSize];
        BpQueueTake(q, big, sizeof big);
      }
    }
  }
  uint8_t out[16] = {'L', 1, 2, 3};
  BpSendPacket(e, out, 4);
  BpQueueFree(q);
  BpQueueDestroy(q);
  BpDestroy(e);
  return 0;
}
