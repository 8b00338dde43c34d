// The cost of the QVX layer over the B-protocol message transport, both over
// one local socket to the stand-in host in the same run: 1) small
// acknowledged requests per second, 2) a 10 MB reply in 2,000-byte blocks.
// The raw figures send and take the same messages through the link's
// transport directly; the QVX figures build, send, await and read them.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>
#include <vector>

#include "commkit/qvx/qvx_link.h"
#include "standins/qvxhost/qvx_host.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

constexpr long kRequests = 3000;
constexpr long kBlocks = 5243;  // 10 MB in 2,000-byte blocks
constexpr unsigned kBlockBytes = 2000;

// One end of the socket: each side (client and host thread) has its own.
struct SocketEnd {
  int fd = -1;
  std::vector<uint8_t> out;
  uint8_t in[65536];
  size_t inFill = 0, inRead = 0;
  int error = 0;
};
SocketEnd* End(void* port) { return static_cast<SocketEnd*>(port); }

int BufferByte(void* port, uint8_t b) {
  End(port)->out.push_back(b);
  return 1;
}
int FlushBuffer(void* port) {
  SocketEnd* e = End(port);
  size_t sent = 0;
  while (sent < e->out.size()) {
    ssize_t n = send(e->fd, e->out.data() + sent, e->out.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      pollfd p{e->fd, POLLOUT, 0};
      poll(&p, 1, 10);
      continue;
    }
    sent += size_t(n);
  }
  e->out.clear();
  return 1;
}
int GetChar(void* port) {
  SocketEnd* e = End(port);
  if (e->inRead == e->inFill) {
    ssize_t n = recv(e->fd, e->in, sizeof e->in, MSG_DONTWAIT);
    if (n == 0) e->error = kPortErrLost;
    if (n <= 0) return kBpNoChar;
    e->inFill = size_t(n);
    e->inRead = 0;
  }
  return e->in[e->inRead++];
}
int WaitChar(void* port, int seconds) {
  int c = GetChar(port);
  if (c != kBpNoChar) return c;
  pollfd p{End(port)->fd, POLLIN, 0};
  poll(&p, 1, seconds * 1000);
  return GetChar(port);
}
int GetError(void* port) { return End(port)->error; }
uint32_t Speed(void*) { return 0; }
int Zero(void*) { return 0; }
void NoWindow(void*, void*) {}
char* NoText(void*) { return nullptr; }
intptr_t NoNotice(void*, unsigned, intptr_t) { return 0; }
uint32_t Ticks() {
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}
void* Alloc(size_t n) { return calloc(1, n); }
void Free(void* p) { free(p); }

void HostThread(SocketEnd* end, std::atomic<bool>* stop) {
  QvxHost host(end);
  host.Load("on 5 40 send * 41 \"ok\" w:1\non 5 42 stream 5243 2000 5 43\n", nullptr);
  uint8_t chunk[65536];
  while (!stop->load()) {
    pollfd p{end->fd, POLLIN, 0};
    if (poll(&p, 1, 1) > 0) {
      ssize_t n = recv(end->fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n == 0) break;
      for (ssize_t i = 0; i < n; ++i) host.Feed(chunk[i]);
    }
    host.Tick();
  }
}

}  // namespace

int main() {
  BpSystem system{};
  system.port = BpPortOps{BufferByte, FlushBuffer, GetChar, WaitChar, GetError, Speed, Zero, Zero, NoWindow, NoText};
  system.file = BpStdioFileOps();
  system.notify = NoNotice;
  system.ticks = Ticks;
  system.memAlloc = Alloc;
  system.memFree = Free;
  BpSetSystem(system);

  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 1;
  SocketEnd client, hostEnd;
  client.fd = fds[0];
  hostEnd.fd = fds[1];
  std::atomic<bool> stop{false};
  std::thread host(HostThread, &hostEnd, &stop);

  QvxSession* s = QvxCreate(nullptr);
  if (QvxStart(s, &client, 5, 0) != kQvxStartUp) {
    std::printf("the link did not come up\n");
    stop = true;
    host.join();
    return 1;
  }
  bool ok = true;

  // 1) Small requests: the same message both ways, its reply awaited.
  uint8_t request[] = {5, 40, 0x3e, 0x9a, 0x02};  // "Hi" in the 6-bit coding
  uint8_t reply[kQvxBufferSize];
  // Rounds alternate, and the best of each counts, so warming up favours neither.
  double rawSeconds = 1e9, qvxSeconds = 1e9;
  for (int round = 0; round < 3 && ok; ++round) {
    auto r0 = Clock::now();
    for (long i = 0; i < kRequests && ok; ++i) {
      ok = QvxBpSend(&s->link, request, sizeof request) == 0 && QvxBpReceive(&s->link, reply, sizeof reply, 30) > 2 &&
           reply[1] == 41;
    }
    rawSeconds = std::min(rawSeconds, Seconds(r0, Clock::now()));
    auto q0 = Clock::now();
    for (long i = 0; i < kRequests && ok; ++i) {
      QvxBeginRequest(s, 5, 40);
      QvxPutString(s, "Hi");
      ok = QvxSendRequest(s) && QvxAwaitReply(s, 5, 40, 41);
      char* text = QvxGetString(s);
      ok = ok && text && std::strcmp(text, "ok") == 0 && QvxGetWord(s) == 1;
      Free(text);
    }
    qvxSeconds = std::min(qvxSeconds, Seconds(q0, Clock::now()));
  }
  std::printf("small requests over a local socket: B protocol %.0f/s, QVX %.0f/s: QVX costs %.1f%%\n",
              kRequests / rawSeconds, kRequests / qvxSeconds, 100.0 * (qvxSeconds - rawSeconds) / rawSeconds);

  // 2) A 10 MB reply in 2,000-byte blocks.
  uint8_t bulk[] = {5, 42};
  double seconds[2] = {1e9, 1e9};
  for (int run = 0; run < 4 && ok; ++run) {
    int qvx = run % 2;
    long blocks = 0;
    uint64_t bytes = 0;
    auto t0 = Clock::now();
    if (qvx) {
      QvxBeginRequest(s, 5, 42);
      ok = QvxSendRequest(s);
      for (; ok && blocks < kBlocks; ++blocks) {
        ok = blocks == 0 ? QvxAwaitReply(s, 5, 42, 43) : QvxReceivePacket(s, 30) && QvxGetPacketFunction(s) == 43;
        bytes += QvxGetBytesLeft(s) + 2;
      }
    } else {
      ok = QvxBpSend(&s->link, bulk, sizeof bulk) == 0;
      for (; ok && blocks < kBlocks; ++blocks) {
        long n = QvxBpReceive(&s->link, reply, sizeof reply, 30);
        ok = n == long(kBlockBytes);
        bytes += uint64_t(n);
      }
    }
    seconds[qvx] = std::min(seconds[qvx], Seconds(t0, Clock::now()));
    ok = ok && bytes == uint64_t(kBlocks) * kBlockBytes;
  }
  double mb = double(kBlocks) * kBlockBytes / 1048576.0;
  std::printf("10 MB reply in 2,000-byte blocks: B protocol %.1f MB/s, QVX %.1f MB/s: QVX costs %.1f%%\n",
              mb / seconds[0], mb / seconds[1], 100.0 * (seconds[1] - seconds[0]) / seconds[0]);
  std::printf("%s\n", ok ? "every reply intact" : "A REPLY WAS WRONG");

  QvxStop(s, 1);
  stop = true;
  host.join();
  QvxDestroy(s);
  close(fds[0]);
  close(fds[1]);
  return ok ? 0 : 1;
}
