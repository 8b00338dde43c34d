// B-protocol message transport and the link's engine start and close.
#include "commkit/bp/bp_transport.h"

#include <algorithm>
#include <cstring>

namespace {

const BpSystem& S() { return BpSys(); }

int GetChar(void* port) { return port && S().port.getChar ? S().port.getChar(port) : kBpNoChar; }
int WaitChar(void* port, int seconds) {
  return port && S().port.waitChar ? S().port.waitChar(port, seconds) : kBpNoChar;
}
int PortError(void* port) { return port && S().port.getError ? S().port.getError(port) : 0; }

void Append(BpMessageQueue* q, uint8_t* buffer, uint16_t length) {
  auto* entry = static_cast<BpQueueEntry*>(S().memAlloc(sizeof(BpQueueEntry)));
  if (!entry) {
    BpPutBuffer(q->engine, buffer);
    q->engine->error = kBpErrMemory;
    return;
  }
  entry->length = length;
  entry->buffer = buffer;
  if (q->last)
    q->last->next = entry;
  else
    q->first = entry;
  q->last = entry;
}

// Frees the packets of the first complete message.
void DropFirst(BpMessageQueue* q) {
  while (q->first) {
    BpQueueEntry* entry = q->first;
    bool last = entry->length > 0 && entry->buffer[0] == 'L';
    q->first = entry->next;
    if (!q->first) q->last = nullptr;
    BpPutBuffer(q->engine, entry->buffer);
    S().memFree(entry);
    if (last) break;
  }
  if (q->complete) q->complete--;
}

void FreeLink(BpLinkSession* s) {
  if (s->queue) {
    BpQueueFree(s->queue);
    BpQueueDestroy(s->queue);
    s->queue = nullptr;
  }
  BpDestroy(s->engine);
  s->engine = nullptr;
}

bool Aborted(BpLinkSession* s) { return s->pollAbort && s->pollAbort(s); }

void Restart(BpLinkSession* s) {
  BpRestart(s->engine);
  s->engine->retryLimit = 5;
  BpQueueReset(s->queue);
}

}  // namespace

BpMessageQueue* BpQueueCreate(BpEngine* engine) {
  auto* q = static_cast<BpMessageQueue*>(S().memAlloc(sizeof(BpMessageQueue)));
  if (q) q->engine = engine;
  return q;
}

void BpQueueDestroy(BpMessageQueue* q) {
  if (q) S().memFree(q);
}

bool BpQueuePump(BpMessageQueue* q, int waitSeconds) {
  BpEngine* e = q->engine;
  int c = WaitChar(e->port, waitSeconds);
  if (c != kBpNoChar) {
    BpQueueFeed(q, c);
  } else if (PortError(e->port) == kPortErrLost) {
    e->error = kBpErrNotResponding;
    return false;
  }
  BpCheckAckTimer(e);
  // A peer that lets the deadline pass again and again is gone; stop
  // instead of asking for ever.
  if (e->ackTimeouts > e->retryLimit || e->error == kBpErrLost) return false;
  int32_t stop = 0;
  BpNotify(e->window, 1037, reinterpret_cast<intptr_t>(&stop));
  return stop == 0;
}

extern "C" {

int BP_CALL BpQueueReset(BpMessageQueue* q) {
  if (!q) return 0;
  while (q->first) DropFirst(q);
  q->complete = 0;
  if (q->engine) q->engine->options |= kOptFullDuplex;
  return 1;
}

int BP_CALL BpQueueFree(BpMessageQueue* q) {
  if (!q) return 0;
  while (q->first) {
    BpQueueEntry* entry = q->first;
    q->first = entry->next;
    BpPutBuffer(q->engine, entry->buffer);
    S().memFree(entry);
  }
  q->last = nullptr;
  q->complete = 0;
  return q->engine && q->engine->outstanding == 0;
}

int BP_CALL BpQueueFeed(BpMessageQueue* q, int c) {
  if (!q || !q->engine) return 0;
  BpEngine* e = q->engine;
  int complete = 0;
  if (BpFeed(e, c)) {
    uint16_t length = 0;
    uint8_t* packet = nullptr;
    if (BpTakePacket(e, 1, &length, &packet) && packet) {
      int type = length ? packet[0] : -1;
      switch (type) {
        case '+':
          BpNegotiate(e, packet, length);
          BpPutBuffer(e, packet);
          break;
        case 'F':
          BpNotify(e->window, 1025, 0);
          BpPutBuffer(e, packet);
          break;
        case 'L':
          Append(q, packet, length);
          if (q->complete < 255) q->complete++;
          complete = 1;
          break;
        case 'M': Append(q, packet, length); break;
        default:
          BpPutBuffer(e, packet);
          BpNotify(e->window, 1025, 0);
          e->error = kBpErrUnexpectedType;
          BpSendFailure(e, 'E', BpErrorString(kBpErrUnexpectedType));
          e->error = kBpErrProtocol;
          break;
      }
    }
  }
  BpPing(e->window, e->port);
  return complete;
}

int BP_CALL BpQueueSend(BpMessageQueue* q, const uint8_t* bytes, unsigned length) {
  if (!q || !q->engine || (length && !bytes)) return 0;
  BpEngine* e = q->engine;
  uint8_t packet[kBpMaxPacketSize];
  unsigned offset = 0;
  do {
    unsigned piece = std::max<unsigned>(e->packetSize, 2) - 1;
    unsigned n = std::min(piece, length - offset);
    packet[0] = offset + n < length ? 'M' : 'L';
    if (n) std::memcpy(packet + 1, bytes + offset, n);
    for (;;) {
      if (BpSendPacket(e, packet, n + 1)) {
        if (!BpQueuePump(q, 0)) return 0;
        break;
      }
      // A full window and a wait for an ENQ's answer both clear as the
      // peer acknowledges; anything else ends the send.
      if (e->error != kBpErrSendFull && !(e->options & kOptWaitAfterEnq)) return 0;
      if (e->error == kBpErrLost) return 0;
      if (!BpQueuePump(q, 2)) return 0;
    }
    offset += n;
  } while (offset < length);
  return 1;
}

int BP_CALL BpQueueCount(BpMessageQueue* q) { return q ? q->complete : 0; }

int BP_CALL BpQueueFirstLength(BpMessageQueue* q) {
  if (!q || !q->complete) return 0;
  int total = 0;
  for (BpQueueEntry* entry = q->first; entry; entry = entry->next) {
    if (entry->length) total += entry->length - 1;
    if (entry->length && entry->buffer[0] == 'L') break;
  }
  return total;
}

// Copies at most size bytes of the first complete message. A message longer
// than the buffer stays queued and its full length is returned, so the caller
// sees that it did not fit instead of losing the tail.
long BP_CALL BpQueueTake(BpMessageQueue* q, uint8_t* buffer, unsigned size) {
  if (!q || !q->complete) return -1;
  long total = BpQueueFirstLength(q);
  long copied = 0;
  for (BpQueueEntry* entry = q->first; entry && copied < long(size); entry = entry->next) {
    long n = entry->length ? entry->length - 1 : 0;
    n = std::min<long>(n, long(size) - copied);
    if (n > 0 && buffer) std::memcpy(buffer + copied, entry->buffer + 1, size_t(n));
    copied += n;
    if (entry->length && entry->buffer[0] == 'L') break;
  }
  if (total <= long(size)) DropFirst(q);
  return total;
}

int BP_CALL QvxBpStart(BpLinkSession* s) {
  if (!s) return 0;
  s->transportVersion = 1;
  s->error = kQvxErrMemory;
  if (!s->engine) {
    s->engine = BpCreate();
    if (!s->engine) return 0;
    if (s->blockSize) BpSetPacketSize(s->engine, s->blockSize);
  } else {
    BpRelease(s->engine);
  }
  s->queue = BpQueueCreate(s->engine);
  if (!s->queue) {
    FreeLink(s);
    return 0;
  }
  uint32_t perChar = uint32_t(s->timeoutSeconds) * 1000;

  // The host opens with ENQ.
  uint32_t deadline = BpDeadline(perChar);
  for (;;) {
    int c = GetChar(s->port);
    if (c != kBpNoChar) {
      if ((c & 0x7F) == ENQ) break;
      deadline = BpDeadline(perChar);
      continue;
    }
    if (BpPassed(deadline)) {
      s->error = kQvxErrTimeout;
      FreeLink(s);
      return 0;
    }
    if (Aborted(s)) {
      s->error = kQvxErrAbort;
      FreeLink(s);
      return 0;
    }
    BpPing(s->window, s->port);
  }

  BpInit(s->engine, s->window, 1, s->port);
  s->engine->retryLimit = 5;
  Restart(s);

  uint32_t overall = BpDeadline(std::min<uint32_t>(s->timeoutSeconds, 60) * 1000);
  deadline = BpDeadline(perChar);
  for (;;) {
    if (s->engine->options & kOptSeparateSeq) {
      s->error = 0;
      return 1;
    }
    if (BpPassed(overall)) break;
    int c = GetChar(s->port);
    if (c == kBpNoChar) {
      if (BpPassed(deadline)) break;
      if (Aborted(s)) {
        s->error = kQvxErrAbort;
        break;
      }
      BpPing(s->window, s->port);
      continue;
    }
    deadline = BpDeadline(perChar);
    if (c == ENQ) {
      // The host did not hear our answer and starts over: so do we, or its
      // repeated "+" packet would look like a duplicate.
      Restart(s);
      continue;
    }
    BpQueueFeed(s->queue, c);
    if (s->engine->error || !s->queue) break;
  }
  FreeLink(s);
  return 0;
}

int BP_CALL QvxBpSend(BpLinkSession* s, const uint8_t* bytes, unsigned length) {
  if (!s) return kQvxErrTimeout;
  if (!s->queue || !BpQueueSend(s->queue, bytes, length)) {
    s->error = kQvxErrTimeout;
    return kQvxErrTimeout;
  }
  return 0;
}

long BP_CALL QvxBpReceive(BpLinkSession* s, uint8_t* buffer, unsigned size, int waitSeconds) {
  if (!s) return -1;
  if (!s->queue) {
    s->error = kQvxErrTransport;
    return -1;
  }
  uint32_t deadline = BpDeadline(uint32_t(std::max(waitSeconds, 0)) * 1000);
  while (BpQueueCount(s->queue) == 0) {
    int c = GetChar(s->port);
    if (c != kBpNoChar) {
      BpQueueFeed(s->queue, c);
    } else {
      if (PortError(s->port)) {
        s->error = kQvxErrTransport;
        return -1;
      }
      if (BpPassed(deadline)) {
        s->error = kQvxErrTimeout;
        return -1;
      }
      if (Aborted(s)) return -1;
      if (s->linkState == 2 && S().port.pollClient && S().port.pollClient(s->port)) {
        s->error = kQvxErrTimeout;
        return -1;
      }
      if (s->idle) s->idle(s);
    }
    BpCheckAckTimer(s->engine);
    if (!s->queue) {
      s->error = kQvxErrTransport;
      return -1;
    }
  }
  if (Aborted(s)) return -1;
  long n = BpQueueTake(s->queue, buffer, size);
  if (n < 0) {
    s->error = kQvxErrTransport;
    return -1;
  }
  if (n > long(size)) {  // longer than any packet the link can hold
    DropFirst(s->queue);
    s->error = kQvxErrOverflow;
    return -1;
  }
  return n;
}

void BP_CALL QvxBpClose(BpLinkSession* s) {
  if (!s) return;
  if (s->queue && s->engine) {
    uint32_t deadline = BpDeadline(uint32_t(s->timeoutSeconds) * 1000);
    while (s->engine->outstanding && !BpPassed(deadline) && BpQueuePump(s->queue, 1)) {}
  }
  FreeLink(s);
}

void BP_CALL QvxBpSetVersion(BpLinkSession* s) {
  if (s) s->transportVersion = 1;
}

void BP_CALL QvxBpSetWindow(BpLinkSession* s, void* window, int alsoEngine) {
  if (!s) return;
  s->window = window;
  if (alsoEngine && s->engine) BpSetWindow(s->engine, window, 1);
}

char* BP_CALL QvxBpErrorText(BpLinkSession* s) { return s ? BpErrorText(s->engine) : nullptr; }

}  // extern "C"
