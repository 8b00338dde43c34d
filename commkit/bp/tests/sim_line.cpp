#include "commkit/bp/tests/sim_line.h"

#include <algorithm>
#include <cstdio>

namespace {

SimLine* g_line = nullptr;

SimEnd* End(void* port) { return static_cast<SimEnd*>(port); }

int BufferByte(void* port, uint8_t b) {
  End(port)->out.push_back(b);
  return 1;
}

int FlushBuffer(void* port) {
  SimEnd* e = End(port);
  if (e->refuseWrites) {
    e->error = kPortErrSend;
    return 0;
  }
  e->error = 0;
  if (!e->out.empty()) {
    e->bytesWritten += e->out.size();
    e->line->Write(e->side, std::move(e->out));
    e->out.clear();
  }
  return 1;
}

int GetChar(void* port) {
  SimEnd* e = End(port);
  e->error = 0;
  if (e->lost) {
    e->error = kPortErrLost;
    return kBpNoChar;
  }
  if (e->in.empty()) e->line->Step(e->side);
  if (e->in.empty()) return kBpNoChar;
  uint8_t c = e->in.front();
  e->in.pop_front();
  return c;
}

int WaitChar(void* port, int seconds) {
  SimEnd* e = End(port);
  double deadline = e->line->now + seconds * 1000.0;
  for (;;) {
    int c = GetChar(port);
    if (c != kBpNoChar || e->error == kPortErrLost) return c;
    if (e->line->now >= deadline) return kBpNoChar;
  }
}

int GetError(void* port) { return End(port)->error; }
uint32_t GetSpeed(void* port) { return End(port)->speed; }
int IsQuiet(void* port) { return End(port)->quiet; }
int PollClient(void*) { return 0; }
void SetClientWindow(void*, void*) {}
char* ErrorText(void*) { return nullptr; }

uint32_t SimTicks() { return g_line ? uint32_t(uint64_t(g_line->now)) : 0; }

intptr_t SimNotify(void* window, unsigned code, intptr_t lParam) {
  return window ? static_cast<SimClient*>(window)->On(code, lParam) : 0;
}

bool IsDataPacket(const std::vector<uint8_t>& b) { return b.size() > 3 && b[0] == 16 && b[1] == 'B'; }

}  // namespace

SimLine::SimLine() {
  for (int i = 0; i < 2; ++i) {
    end[i].line = this;
    end[i].side = i;
  }
}

void SimLine::Write(int from, std::vector<uint8_t> bytes) {
  int to = 1 - from;
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<std::vector<uint8_t>> units;
  if (faultsOn) {
    bool data = IsDataPacket(bytes);
    if (u(rng) < faults.drop) {
      ++dropped;
      return;
    }
    if (!data && u(rng) < faults.ackLoss) {
      ++acksLost;
      return;
    }
    if (data && u(rng) < faults.corrupt) {
      // Somewhere in the body, never the frame start.
      size_t at = 3 + rng() % (bytes.size() - 3);
      bytes[at] ^= uint8_t(1 + rng() % 255);
      ++corrupted;
    }
    units.push_back(bytes);
    if (u(rng) < faults.duplicate) {
      units.push_back(bytes);
      ++duplicated;
    }
    if (!holding[from] && u(rng) < faults.reorder) {
      holding[from] = true;
      held[from] = std::move(units.back());
      units.pop_back();
      ++reordered;
      if (units.empty()) return;
    } else if (holding[from]) {
      units.push_back(std::move(held[from]));
      holding[from] = false;
    }
  } else {
    units.push_back(std::move(bytes));
  }
  for (auto& b : units) {
    double start = std::max(now, lineFreeAt[to]);
    double wire = bitsPerSecond > 0 ? b.size() * 10.0 * 1000.0 / bitsPerSecond : 0;
    lineFreeAt[to] = start + wire;
    flight[to].push_back(SimUnit{start + wire + latencyMs, std::move(b)});
  }
}

void SimLine::Deliver() {
  for (int to = 0; to < 2; ++to) {
    while (!flight[to].empty() && flight[to].front().deliverAt <= now) {
      auto& b = flight[to].front().bytes;
      end[to].in.insert(end[to].in.end(), b.begin(), b.end());
      flight[to].pop_front();
    }
  }
}

bool SimLine::InFlight() const { return !flight[0].empty() || !flight[1].empty(); }

void SimLine::Step(int waiting) {
  ++steps;
  if (!stalled &&
      (steps > maxSteps || now > maxSimulatedMs ||
       ((steps & 4095) == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() > maxRealSeconds))) {
    stalled = true;
    std::fprintf(stderr,
                 "the simulated line was waited on %ld times over %.0f simulated seconds: the engine stalls; "
                 "the line is cut so the test ends\n",
                 steps, now / 1000);
    end[0].lost = end[1].lost = true;
  }
  Deliver();
  SimEnd& other = end[1 - waiting];
  if (other.onIdle) other.onIdle();
  Deliver();
  if (!end[waiting].in.empty()) return;
  // Nothing to read: move the clock to the next arrival, or on by a step.
  double next = -1;
  for (int to = 0; to < 2; ++to)
    if (!flight[to].empty() && (next < 0 || flight[to].front().deliverAt < next)) next = flight[to].front().deliverAt;
  if (next < 0)
    now += idleStepMs;
  else if (next > now)
    now = next;
  // A held (reordered) unit that nothing followed goes out late.
  for (int s = 0; s < 2; ++s) {
    if (holding[s] && flight[1 - s].empty()) {
      holding[s] = false;
      auto b = std::move(held[s]);
      bool saved = faultsOn;
      faultsOn = false;
      Write(s, std::move(b));
      faultsOn = saved;
    }
  }
  Deliver();
}

void SimInstall(SimLine* line) {
  g_line = line;
  BpSystem s{};
  s.port = SimPortOps();
  s.file = BpStdioFileOps();
  s.notify = SimNotify;
  s.ticks = SimTicks;
  BpSetSystem(s);
}

SimLine* SimCurrent() { return g_line; }

BpPortOps SimPortOps() {
  return BpPortOps{BufferByte, FlushBuffer, GetChar,    WaitChar,        GetError,
                   GetSpeed,   IsQuiet,     PollClient, SetClientWindow, ErrorText};
}

intptr_t SimClient::On(unsigned code, intptr_t lParam) {
  notices.push_back(code);
  return handler ? handler(code, lParam) : 0;
}

int SimClient::Count(unsigned code) const { return int(std::count(notices.begin(), notices.end(), code)); }

#include <cstring>

#include "commkit/bp/bp_engine.h"

HostPeer::HostPeer(SimEnd* end) : port(end) {
  e = BpCreate();
  BpInit(e, &client, 1, port);
  port->onIdle = [this] { Step(); };
}

HostPeer::~HostPeer() {
  port->onIdle = nullptr;
  BpDestroy(e);
}

void HostPeer::Start() {
  if (fullDuplex) e->options |= kOptFullDuplex;
  port->out.push_back(ENQ);
  port->line->Write(port->side, std::move(port->out));
  port->out.clear();
  e->state = 9;
}

void HostPeer::QueueMessage(const std::vector<uint8_t>& message) {
  size_t piece = e->packetSize - 1, offset = 0;
  do {
    size_t n = std::min(piece, message.size() - offset);
    std::vector<uint8_t> p;
    p.push_back(offset + n < message.size() ? 'M' : 'L');
    p.insert(p.end(), message.begin() + long(offset), message.begin() + long(offset + n));
    outbox.push_back(std::move(p));
    offset += n;
  } while (offset < message.size());
}

void HostPeer::ReleaseAll() {
  if (!e->outstanding) return;
  const BpSlot& newest = e->send[(e->sendNext + kBpSlots - 1) % kBpSlots];
  uint16_t saved = e->state;
  e->state = 1;
  BpFeed(e, '0' + newest.seq);
  e->state = saved;
}

void HostPeer::Step() {
  while (!port->in.empty()) {
    uint8_t c = port->in.front();
    port->in.pop_front();
    if (!BpFeed(e, c)) continue;
    uint16_t length = 0;
    uint8_t* p = nullptr;
    while (BpTakePacket(e, 1, &length, &p)) {
      if (!(e->options & kOptSeparateSeq)) ReleaseAll();
      if (length && p[0] == '+') {
        uint8_t q[18] = {};
        std::memcpy(q, p, std::min<size_t>(length, 18));
        e->method = uint8_t(std::min<int>(q[4], 2));
        unsigned size = std::max(129u, std::min<unsigned>(e->packetSize, 128u * q[3] + 1));
        e->packetSize = e->pendingPacketSize = uint16_t(size);
        unsigned w = std::min<unsigned>(q[2] ? q[2] : 1, e->windowSize);
        e->windowSize = uint16_t(std::max(1u, w));
        if (q[6] && (e->options & kOptFullDuplex)) e->options |= kOptSeparateSeq;
        e->options &= uint16_t(~kOptPlusUnacked);
        e->pendingOptions = 0;
        e->quoteMode = 4;
      } else if (length && (p[0] == 'M' || p[0] == 'L') && !onPacket) {
        assembling.insert(assembling.end(), p + 1, p + length);
        if (p[0] == 'L') {
          messages.push_back(std::move(assembling));
          assembling.clear();
        }
      } else if (onPacket) {
        onPacket(p, length);
      }
      BpPutBuffer(e, p);
    }
  }
  BpCheckAckTimer(e);
  if (beforeSend) beforeSend();
  while (!outbox.empty() && BpSendPacket(e, outbox.front().data(), unsigned(outbox.front().size()))) outbox.pop_front();
}
