// B-protocol throughput. 1) A 2 MB download between two engines over a
// simulated 115200 bit/s line with 100 ms latency each way, beside the limit
// that line, packet size and window allow. 2) 50 MB with no rate limit, in
// memory and over a loopback socket, beside a plain copy of the same bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commkit/bp/bp_check.h"
#include "commkit/bp/bp_transfer.h"
#include "commkit/bp/tests/sim_line.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::vector<uint8_t> MakeData(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 2463534242u;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = uint8_t(x);
  }
  return v;
}

uint64_t Fnv(uint64_t h, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

// The client's side: the received data is hashed instead of written.
struct Sink {
  uint64_t hash = 1469598103934665603ull;
  size_t bytes = 0;
  intptr_t method = -1;  // the check method reported for the transfer
};

intptr_t SinkNotice(Sink* sink, unsigned code, intptr_t lParam) {
  if (code == 1034) sink->method = lParam;
  if (code == 1040) {
    auto* hook = reinterpret_cast<BpFileHook*>(lParam);
    unsigned n = unsigned(hook->count - 65536);
    sink->hash = Fnv(sink->hash, hook->buffer, n);
    sink->bytes += n;
    hook->count = int32_t(n);
  }
  if (code == 1028) {
    auto* q = reinterpret_cast<BpNameQuery*>(lParam);
    std::snprintf(q->name, kBpNameSize, "%s", "bp_bench.out");
  }
  return 0;
}

// Host side of a download over the simulated line: the request, then the
// data once it is acknowledged, refilled as the window drains.
struct StreamingHost {
  HostPeer& host;
  const std::vector<uint8_t>& data;
  size_t next = 0;
  bool started = false, done = false;
  StreamingHost(HostPeer& h, const std::vector<uint8_t>& d) : host(h), data(d) {
    host.onPacket = [](const uint8_t*, size_t) {};
    host.beforeSend = [this] { Turn(); };
  }
  void Turn() {
    if (!started) {
      if (host.e->outstanding || !host.outbox.empty()) return;
      started = true;
    }
    size_t piece = host.e->packetSize - 1;
    while (host.outbox.size() < 8 && next < data.size()) {
      size_t n = std::min(piece, data.size() - next);
      std::vector<uint8_t> p{'N'};
      p.insert(p.end(), data.begin() + long(next), data.begin() + long(next + n));
      host.outbox.push_back(std::move(p));
      next += n;
    }
    if (next >= data.size() && !done) {
      host.outbox.push_back({'T', 'C'});
      done = true;
    }
  }
};

struct SimRun {
  double simSeconds = 0, wallSeconds = 0;
  bool ok = false;
  unsigned packetSize = 0, window = 0, method = 0;
};

SimRun DownloadOverSimLine(const std::vector<uint8_t>& data, double bits, double latency) {
  SimRun run;
  SimLine line;
  line.bitsPerSecond = bits;
  line.latencyMs = latency;
  line.idleStepMs = 1;
  SimInstall(&line);
  Sink sink;
  SimClient client;
  client.handler = [&](unsigned code, intptr_t lParam) { return SinkNotice(&sink, code, lParam); };
  {
    HostPeer host(&line.end[1]);
    host.fullDuplex = false;
    BpTransfer* t = BpTransferCreate(&client, 1, &line.end[0]);
    auto handOver = [&] {  // the terminal recognises DLE "B"
      host.Step();
      while (line.end[0].in.size() < 2) line.Step(0);
      line.end[0].in.erase(line.end[0].in.begin(), line.end[0].in.begin() + 2);
    };
    // The usual "+" exchange first: packet size 1025, window 4, X.25 check.
    uint8_t plus[18] = {'+', 4, 4, 8, 2, 0, 0};
    host.outbox.push_back(std::vector<uint8_t>(plus, plus + 18));
    handOver();
    BpTransferRun(t);
    host.outbox.push_back({'T', 'D', 'B', 'b', 'i', 'g'});
    StreamingHost script(host, data);
    handOver();
    double t0 = line.now;
    auto w0 = Clock::now();
    int result = BpTransferRun(t);
    run.wallSeconds = Seconds(w0, Clock::now());
    run.simSeconds = (line.now - t0) / 1000.0;
    run.ok =
        result == 1 && sink.bytes == data.size() && sink.hash == Fnv(1469598103934665603ull, data.data(), data.size());
    run.packetSize = t->engine->packetSize;
    run.window = t->engine->windowSize;
    run.method = unsigned(sink.method);
    BpTransferFree(t);
  }
  SimInstall(nullptr);
  std::remove("bp_bench.out");
  return run;
}

// What the line allows: payload per packet over the wire bytes of a packet
// (framing, expected quoting of random data, check, trailer), and at most a
// window of packets per round trip.
double LimitBytesPerSecond(double bits, double latencyMs, unsigned packetSize, unsigned window) {
  double lineBytes = bits / 10.0;
  double payload = packetSize - 1;
  double quoted = 7.0 / 256.0;  // ETX, ENQ, DLE, XON, XOFF, NAK and 30
  double wire = (payload + 1) * (1 + quoted) + 3 + 1 + 2 * (1 + quoted) + 1;
  double lineLimited = lineBytes * payload / wire;
  double packetSeconds = wire / lineBytes;
  double ackSeconds = 3 / lineBytes;
  double roundTrip = packetSeconds + 2 * latencyMs / 1000.0 + ackSeconds;
  double windowLimited = window * payload / roundTrip;
  return std::min(lineLimited, windowLimited);
}

#ifndef _WIN32
// A port on a connected socket, for the loopback run.
struct SocketPort {
  int fd = -1;
  std::vector<uint8_t> out, in;
  size_t at = 0;
  int error = 0;
};
SocketPort* SP(void* p) { return static_cast<SocketPort*>(p); }
int SockBuffer(void* p, uint8_t b) {
  SP(p)->out.push_back(b);
  return 1;
}
int SockFlush(void* p) {
  SocketPort* s = SP(p);
  size_t done = 0;
  while (done < s->out.size()) {
    ssize_t n = send(s->fd, s->out.data() + done, s->out.size() - done, 0);
    if (n <= 0) {
      s->error = kPortErrSend;
      return 0;
    }
    done += size_t(n);
  }
  s->out.clear();
  return 1;
}
int SockWait(void* p, int seconds) {
  SocketPort* s = SP(p);
  s->error = 0;
  if (s->at == s->in.size()) {
    pollfd pfd{s->fd, POLLIN, 0};
    if (poll(&pfd, 1, seconds * 1000) <= 0) return kBpNoChar;
    s->in.resize(65536);
    ssize_t n = recv(s->fd, s->in.data(), s->in.size(), 0);
    if (n <= 0) {
      s->in.clear();
      s->at = 0;
      s->error = kPortErrLost;
      return kBpNoChar;
    }
    s->in.resize(size_t(n));
    s->at = 0;
  }
  return s->in[s->at++];
}
int SockGet(void* p) { return SockWait(p, 0); }
int SockError(void* p) { return SP(p)->error; }
uint32_t SockSpeed(void*) { return 115200; }
int Zero(void*) { return 0; }

// The host's side over a socket, in its own thread: request, data, "TC".
void SocketHost(SocketPort* port, const std::vector<uint8_t>* data) {
  BpEngine* e = BpCreate();
  BpInit(e, nullptr, 1, port);
  auto pump = [&](int seconds) {
    int c = SockWait(port, seconds);
    if (c == kBpNoChar) return false;
    if (BpFeed(e, c)) {
      uint16_t n;
      uint8_t* p;
      while (BpTakePacket(e, 1, &n, &p)) BpPutBuffer(e, p);
    }
    return true;
  };
  auto send = [&](const uint8_t* b, unsigned n) {
    while (!BpSendPacket(e, b, n))
      if (!pump(15)) return false;
    return true;
  };
  const uint8_t request[] = {'T', 'D', 'B', 'b', 'i', 'g'};
  send(request, sizeof request);
  while (e->outstanding && pump(15)) {}
  std::vector<uint8_t> packet(e->packetSize);
  size_t piece = e->packetSize - 1;
  for (size_t at = 0; at < data->size(); at += piece) {
    size_t n = std::min(piece, data->size() - at);
    packet[0] = 'N';
    std::memcpy(packet.data() + 1, data->data() + at, n);
    if (!send(packet.data(), unsigned(n + 1))) break;
    while (port->at < port->in.size()) pump(0);  // take the acknowledgements already here
  }
  const uint8_t done[] = {'T', 'C'};
  send(done, 2);
  while (e->outstanding && pump(15)) {}
  BpDestroy(e);
}

struct SocketRun {
  double seconds = 0, plainSeconds = 0;
  bool ok = false;
};

SocketRun DownloadOverSocket(const std::vector<uint8_t>& data) {
  SocketRun run;
  // The plain copy: the same bytes through a socket pair, no protocol.
  {
    int sv[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
    auto t0 = Clock::now();
    std::thread writer([&] {
      size_t done = 0;
      while (done < data.size()) {
        ssize_t n = send(sv[1], data.data() + done, std::min<size_t>(65536, data.size() - done), 0);
        if (n <= 0) break;
        done += size_t(n);
      }
      shutdown(sv[1], SHUT_WR);
    });
    std::vector<uint8_t> in(65536);
    uint64_t h = 1469598103934665603ull;
    size_t total = 0;
    for (;;) {
      ssize_t n = recv(sv[0], in.data(), in.size(), 0);
      if (n <= 0) break;
      h = Fnv(h, in.data(), size_t(n));
      total += size_t(n);
    }
    writer.join();
    run.plainSeconds = Seconds(t0, Clock::now());
    close(sv[0]);
    close(sv[1]);
    if (total != data.size()) return run;
  }
  int sv[2];
  socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
  SocketPort client, host;
  client.fd = sv[0];
  host.fd = sv[1];
  BpSystem s{};
  s.port = BpPortOps{SockBuffer, SockFlush, SockGet, SockWait, SockError, SockSpeed, Zero, Zero, nullptr, nullptr};
  Sink sink;
  s.notify = [](void* w, unsigned code, intptr_t l) -> intptr_t {
    return w ? SinkNotice(static_cast<Sink*>(w), code, l) : 0;
  };
  BpSetSystem(s);
  auto t0 = Clock::now();
  std::thread hostThread(SocketHost, &host, &data);
  BpTransfer* t = BpTransferCreate(&sink, 1, &client);
  uint8_t head[2] = {};
  for (int i = 0; i < 2; ++i) head[i] = uint8_t(SockWait(&client, 15));
  int result = (head[0] == DLE && head[1] == 'B') ? BpTransferRun(t) : 0;
  hostThread.join();
  run.seconds = Seconds(t0, Clock::now());
  run.ok =
      result == 1 && sink.bytes == data.size() && sink.hash == Fnv(1469598103934665603ull, data.data(), data.size());
  BpTransferFree(t);
  close(sv[0]);
  close(sv[1]);
  std::remove("bp_bench.out");
  return run;
}
#endif

}  // namespace

int main() {
  const double bits = 115200, latency = 100;
  auto small = MakeData(2 * 1024 * 1024);
  SimRun slow = DownloadOverSimLine(small, bits, latency);
  double got = small.size() / slow.simSeconds;
  double limit = LimitBytesPerSecond(bits, latency, slow.packetSize, slow.window);
  std::printf("simulated line %.0f bit/s, %.0f ms each way; packet %u, window %u, check %u\n", bits, latency,
              slow.packetSize, slow.window, slow.method);
  std::printf("  2 MB download: %.0f bytes/s (%.1f simulated s, %s), limit %.0f bytes/s: %.1f%%\n", got,
              slow.simSeconds, slow.ok ? "intact" : "CORRUPT", limit, 100.0 * got / limit);

  auto big = MakeData(50 * 1024 * 1024);
  std::vector<uint8_t> copy(big.size());
  auto c0 = Clock::now();
  std::memcpy(copy.data(), big.data(), big.size());
  uint64_t copyHash = Fnv(1469598103934665603ull, copy.data(), copy.size());
  double copySeconds = Seconds(c0, Clock::now());
  SimRun fast = DownloadOverSimLine(big, 0, 0);
  const double mb = big.size() / 1048576.0;
  std::printf("50 MB in memory: protocol %.1f MB/s (%s), plain copy and hash %.1f MB/s (%llx): ratio %.3f\n",
              mb / fast.wallSeconds, fast.ok ? "intact" : "CORRUPT", mb / copySeconds,
              (unsigned long long)(copyHash & 0xFFFF), copySeconds / fast.wallSeconds);
#ifndef _WIN32
  SocketRun sock = DownloadOverSocket(big);
  std::printf("50 MB over a loopback socket: protocol %.1f MB/s (%s), plain socket copy %.1f MB/s: ratio %.3f\n",
              mb / sock.seconds, sock.ok ? "intact" : "CORRUPT", mb / sock.plainSeconds,
              sock.plainSeconds / sock.seconds);
#endif
  return slow.ok && fast.ok ? 0 : 1;
}
