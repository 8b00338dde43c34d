// B-protocol message transport: messages of "M" and "L" packets, and the
// start and close of the link's engine.
#pragma once
#include <cstdint>

#include "commkit/bp/bp_engine.h"

struct BpQueueEntry {
  uint16_t length;
  BpQueueEntry* next;
  uint8_t* buffer;
};

struct BpMessageQueue {
  BpEngine* engine;
  BpQueueEntry* first;
  BpQueueEntry* last;
  uint8_t complete;
};

// The part of the QVX session that the transport reads and writes; the
// link layer keeps one of these and hands it to the QvxBp functions.
struct BpLinkSession {
  void* window;
  void* port;
  uint16_t timeoutSeconds;
  uint16_t blockSize;  // 0: engine default
  uint16_t transportVersion;
  int32_t linkState;  // 2 while holding
  uint16_t error;     // 1280-1288
  BpEngine* engine;
  BpMessageQueue* queue;
  // The client's abort query; sets the session error itself when it aborts.
  int (*pollAbort)(BpLinkSession* session);
  void* owner;
  // Runs while a receive has nothing to read, so the wait can give the core
  // away; none keeps polling.
  void (*idle)(BpLinkSession* session);
};

// QVX link errors used by the transport.
enum : uint16_t {
  kQvxErrMemory = 1280,
  kQvxErrTimeout = 1281,
  kQvxErrAbort = 1282,
  kQvxErrTransport = 1285,
  kQvxErrOverflow = 1286,
};

BpMessageQueue* BpQueueCreate(BpEngine* engine);
void BpQueueDestroy(BpMessageQueue* q);
// Reads one character and feeds it; checks the acknowledgement deadline and
// asks the client (notice 1037). False when the send should stop.
bool BpQueuePump(BpMessageQueue* q, int waitSeconds);
