// A simulated duplex line for the B-protocol tests and benchmarks: two port
// ends, a simulated clock, an optional bit rate and latency, and faults
// (drop, duplicate, reorder, corrupt, lost acknowledgements). Writes are
// delivered as units (one flushed output buffer each), which is how the
// engine writes packets and signals.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <vector>

#include "commkit/bp/bp_system.h"

struct SimFaults {
  double drop = 0, duplicate = 0, reorder = 0, corrupt = 0, ackLoss = 0;
};

struct SimLine;

struct SimEnd {
  SimLine* line = nullptr;
  int side = 0;
  std::vector<uint8_t> out;  // the port's output buffer
  std::deque<uint8_t> in;    // arrived, not yet read
  int error = 0;
  uint32_t speed = 115200;
  bool quiet = false;
  bool lost = false;          // reads fail with "connection lost"
  bool refuseWrites = false;  // every flush fails with a send error
  uint64_t bytesWritten = 0;
  std::function<void()> onIdle;  // runs the other side when this end waits
};

struct SimUnit {
  double deliverAt;
  std::vector<uint8_t> bytes;
};

struct SimLine {
  SimEnd end[2];
  double now = 0;            // milliseconds
  double bitsPerSecond = 0;  // 0: no rate limit
  double latencyMs = 0;
  double idleStepMs = 100;  // clock step when nothing is on the way
  SimFaults faults;
  bool faultsOn = false;
  std::mt19937 rng{4242};
  std::deque<SimUnit> flight[2];  // towards end 0 and end 1
  double lineFreeAt[2] = {0, 0};
  bool holding[2] = {false, false};
  std::vector<uint8_t> held[2];
  long dropped = 0, duplicated = 0, reordered = 0, corrupted = 0, acksLost = 0;
  // Bounds of one test's line: an engine that keeps waiting past them has
  // stalled. The line then says so on the error output and is cut, so every
  // wait ends and the test fails at once instead of hanging until its
  // time-out.
  long steps = 0;
  long maxSteps = 20000000;
  double maxSimulatedMs = 6.0 * 3600 * 1000;
  double maxRealSeconds = 120;
  bool stalled = false;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  SimLine();
  void Write(int fromSide, std::vector<uint8_t> bytes);
  // Delivers what is due; advances the clock when the waiting end has nothing.
  void Step(int waitingSide);
  void Deliver();
  bool InFlight() const;
};

// The simulated line in force: the port ops, clock and notices below use it.
void SimInstall(SimLine* line);
SimLine* SimCurrent();
BpPortOps SimPortOps();

// A client window: notices go to its handler and are counted.
struct SimClient {
  std::function<intptr_t(unsigned code, intptr_t lParam)> handler;
  std::vector<unsigned> notices;
  intptr_t On(unsigned code, intptr_t lParam);
  int Count(unsigned code) const;
};

struct BpEngine;

// The host's side of the line, driven by events: it opens with ENQ, takes a
// "+" packet as the host does (adopting the lower values at once), and sends
// queued packets through its window whenever the other end waits.
struct HostPeer {
  SimEnd* port = nullptr;
  SimClient client;
  BpEngine* e = nullptr;
  std::deque<std::vector<uint8_t>> outbox;     // packets to send, in order
  std::vector<std::vector<uint8_t>> messages;  // complete "M"/"L" messages
  std::vector<uint8_t> assembling;
  // Raw packets other than "+", "M" and "L"; return false to stop reading.
  std::function<void(const uint8_t* packet, size_t length)> onPacket;
  std::function<void()> beforeSend;  // a script's turn, after the input was read
  bool fullDuplex = true;

  explicit HostPeer(SimEnd* end);
  ~HostPeer();
  void Start();  // ENQ, as at the start of the link
  void Step();
  void QueueMessage(const std::vector<uint8_t>& message);
  // In shared-sequence mode a packet from the other side acknowledges ours.
  void ReleaseAll();
};
