// B-protocol packet engine: framing, quoting, the receive state table, the
// send window and negotiation.
#include "commkit/bp/bp_engine.h"

#include <algorithm>
#include <cstring>

#include "commkit/bp/bp_check.h"

namespace {

const BpSystem& S() { return BpSys(); }
constexpr size_t kLinkBytes = sizeof(void*);

// Characters quoted from the start: ETX, ENQ, DLE, XON, XOFF, NAK and 30.
constexpr uint8_t kInitialQuoted[] = {3, 5, 16, 17, 19, 21, 30};

void ResetQuoteTable(BpEngine* e) {
  std::memset(e->quoteTable, 0, sizeof e->quoteTable);
  for (uint8_t c : kInitialQuoted) e->quoteTable[c] |= 1;
}

bool MustQuote(const BpEngine* e, uint8_t c) {
  // Framing characters are quoted whatever the table says; a table without
  // them would let data end a packet early.
  if (c == DLE || c == ETX || c == ENQ) return true;
  if (c == kBpTrailer && e->method == kBpCrcX25) return true;
  if (c < 32) return e->quoteMode == 3 || (e->quoteTable[c] & 0x01);
  if (c >= 128 && c < 160) return e->quoteMode == 3 || (e->quoteTable[c - 128] & 0x10);
  return false;
}

void Out(BpEngine* e, uint8_t b) {
  if (e->port && S().port.bufferByte) S().port.bufferByte(e->port, b);
}

void OutQuoted(BpEngine* e, uint8_t c) {
  if (MustQuote(e, c)) {
    Out(e, DLE);
    Out(e, uint8_t(c < 32 ? c + 64 : c - 32));
  } else {
    Out(e, c);
  }
}

uint8_t Unquote(uint8_t q) { return uint8_t(q < 96 ? q & 0x9F : (q + 128) & 0x9F); }

// Writes the port's output buffer. A port that keeps refusing is given up on
// after a bounded time instead of being retried for ever.
bool Flush(BpEngine* e) {
  if (!e->port || !S().port.flushBuffer) return true;
  uint32_t deadline = BpDeadline(30000);
  for (long tries = 0; tries < 100000; ++tries) {
    if (S().port.flushBuffer(e->port)) return true;
    int err = S().port.getError ? S().port.getError(e->port) : 0;
    if (err != 0 && err != kPortErrSend) break;
    if (BpPassed(deadline)) break;
  }
  e->error = kBpErrLost;
  return false;
}

void ArmAckDeadline(BpEngine* e, unsigned dataLength) {
  uint32_t speed = e->port && S().port.getSpeed ? S().port.getSpeed(e->port) : 0;
  if (speed < 300) speed = 2400;
  uint32_t bytesPerSecond = speed / 10;
  uint32_t seconds = std::max<uint32_t>(2 * dataLength / bytesPerSecond, 30);
  e->ackDeadline = BpDeadline(seconds * 1000);
  e->ackArmed = 1;
}

void Transmit(BpEngine* e, uint16_t seq, const uint8_t* data, unsigned length) {
  uint8_t seqChar = uint8_t('0' + seq);
  e->sendCheck = BpCheckInitial(e->method);
  Out(e, DLE);
  Out(e, 'B');
  Out(e, seqChar);
  e->sendCheck = BpCheckUpdate(e->method, e->sendCheck, seqChar);
  for (unsigned i = 0; i < length; ++i) {
    e->sendCheck = BpCheckUpdate(e->method, e->sendCheck, data[i]);
    OutQuoted(e, data[i]);
  }
  Out(e, ETX);
  e->sendCheck = BpCheckUpdate(e->method, e->sendCheck, ETX);
  uint8_t check[2];
  int n = BpCheckTrailer(e->method, e->sendCheck, check);
  for (int i = 0; i < n; ++i) OutQuoted(e, check[i]);
  if (e->method == kBpCrcX25) Out(e, kBpTrailer);
  Flush(e);
  ArmAckDeadline(e, length);
}

void SendAck(BpEngine* e) {
  const uint8_t ack[2] = {DLE, uint8_t('0' + e->recvSeq)};
  BpSendSignal(e, ack, 2);
}

void SendNak(BpEngine* e) {
  if (++e->nakRetries > e->retryLimit) e->error = kBpErrProtocol;
  BpNotify(e->window, 1025, 0);
  const uint8_t nak = NAK;
  BpSendSignal(e, &nak, 1);
}

void SendEnq(BpEngine* e) {
  if (++e->enqRetries > e->retryLimit) e->error = kBpErrProtocol;
  int count = e->state < 9 ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    Out(e, ENQ);
    if (e->method == kBpCrcX25) Out(e, kBpTrailer);
  }
  Flush(e);
  BpNotify(e->window, 1026, 0);
  e->ackDeadline = BpDeadline(30000);
  e->ackArmed = 1;
  e->options |= kOptEnqAnswerAwaited;
  if (e->state == 0) e->state = 9;
}

void ResendEnq(BpEngine* e) {
  if (++e->nakRetries > e->retryLimit) e->error = kBpErrProtocol;
  Out(e, ENQ);
  if (e->method == kBpCrcX25) Out(e, kBpTrailer);
  Flush(e);
  BpNotify(e->window, 1025, 0);
  e->state = 9;
}

void AckLast(BpEngine* e) {
  SendAck(e);
  // An ENQ inside a packet means the sender gave that packet up.
  if (e->state >= 1 && e->state <= 8) e->state = 0;
}

void ToIdleClearing(BpEngine* e) {
  e->state = 0;
  e->error = 0;
}

void CheckStall(BpEngine* e) {
  e->state = 1;
  if (e->outstanding && e->sinceSend > e->windowSize + 2) {
    e->error = kBpErrTimeout;
    e->sinceSend = 0;
  }
}

void WaitSignal(BpEngine* e) {
  if (e->outstanding) {
    e->ackDeadline = BpDeadline(30000);
    e->ackArmed = 1;
  }
  e->state = 0;
}

void StartPacket(BpEngine* e) {
  e->state = 2;
  e->recvCheck = BpCheckInitial(e->method);
  if (e->ringReady >= kBpSlots) {  // nobody takes the packets: let it be sent again
    e->error = kBpErrRecvFull;
    e->state = 0;
    return;
  }
  BpSlot& slot = e->ring[e->ringFill];
  if (!slot.buffer) slot.buffer = BpGetBuffer(e);
  if (!slot.buffer) {
    e->error = kBpErrMemory;
    e->state = 0;
  }
}

void Sequence(BpEngine* e, uint8_t c) {
  e->recvCheck = BpCheckUpdate(e->method, e->recvCheck, c);
  BpSlot& slot = e->ring[e->ringFill];
  slot.seq = uint16_t(c - '0');
  slot.length = 0;
  e->state = 3;
}

void Data(BpEngine* e, uint8_t b) {
  BpSlot& slot = e->ring[e->ringFill];
  if (slot.length < e->packetSize && slot.length < kBpMaxPacketSize) {
    e->recvCheck = BpCheckUpdate(e->method, e->recvCheck, b);
    slot.buffer[slot.length++] = b;
  } else {
    e->state = 0;
    SendNak(e);
  }
}

bool Accept(BpEngine* e) {
  BpSlot& slot = e->ring[e->ringFill];
  uint16_t expected = uint16_t((e->recvSeq + 1) % 10);
  if (slot.seq == expected || (slot.length > 0 && slot.buffer[0] == 'F')) {
    e->recvSeq = slot.seq;
    if (!(e->options & kOptSeparateSeq)) e->sendSeq = slot.seq;
    e->lastDelivered = slot.seq;
    e->ringFill = uint16_t((e->ringFill + 1) % kBpSlots);
    e->ringReady++;
    e->sinceSend++;
    e->nakRetries = 0;
    return true;
  }
  // A packet we already have (the current one, or one of the window behind
  // it, sent again after a lost acknowledgement) is acknowledged again; a
  // NAK would only make the sender repeat its whole window once more.
  uint16_t behind = uint16_t((e->recvSeq + 10 - slot.seq) % 10);
  if (behind < kBpSlots) {
    SendAck(e);
    return false;
  }
  e->error = kBpErrProtocol;
  SendNak(e);
  return false;
}

bool Check1(BpEngine* e, uint8_t b) {
  if (e->method == kBpChecksum) {
    e->state = 0;
    if (b == e->recvCheck) return Accept(e);
    SendNak(e);
    return false;
  }
  e->recvCheck = BpCheckUpdate(e->method, e->recvCheck, b);
  e->state = 7;
  return false;
}

bool Check2(BpEngine* e, uint8_t b) {
  e->recvCheck = BpCheckUpdate(e->method, e->recvCheck, b);
  e->state = 0;
  if (BpCheckGood(e->method, e->recvCheck)) return Accept(e);
  SendNak(e);
  return false;
}

void Retransmit(BpEngine* e) {
  for (uint16_t i = 0; i < e->outstanding; ++i) {
    const BpSlot& slot = e->send[(e->sendOldest + i) % kBpSlots];
    Transmit(e, slot.seq, slot.buffer, slot.length);
  }
}

void Adopt(BpEngine* e) {
  e->method = e->negotiatedMethod;
  if (e->pendingPacketSize >= 129 && e->pendingPacketSize != e->packetSize) e->packetSize = e->pendingPacketSize;
  uint16_t transient = e->options & kOptEnqAnswerAwaited;
  e->options =
      uint16_t((e->pendingOptions & ~(kOptPendingParams | kOptPlusUnacked | kOptWaitAfterEnq | kOptEnqAnswerAwaited)) |
               transient);
  e->pendingOptions = 0;
  e->quoteMode = 4;
}

void Acknowledgement(BpEngine* e, uint16_t a) {
  e->pendingOptions |= kOptAckSeen;
  e->state = 0;
  if ((e->options & kOptEnqAnswerAwaited) && a == e->lastAck) {
    e->options &= uint16_t(~kOptEnqAnswerAwaited);
    e->options |= kOptAckSeen;
    Retransmit(e);
    return;
  }
  e->lastAck = a;
  for (uint16_t k = 0; k < e->outstanding; ++k) {
    uint16_t slotIndex = uint16_t((e->sendNext + 2 * kBpSlots - 1 - k) % kBpSlots);
    if (e->send[slotIndex].seq != a) continue;
    uint16_t released = uint16_t(e->outstanding - k);
    for (uint16_t i = 0; i < released; ++i) {
      BpSlot& s = e->send[(e->sendOldest + i) % kBpSlots];
      BpPutBuffer(e, s.buffer);
      s.buffer = nullptr;
    }
    e->sendOldest = uint16_t((slotIndex + 1) % kBpSlots);
    e->outstanding = k;
    e->enqRetries = 0;
    e->ackTimeouts = 0;
    e->options &= uint16_t(~kOptWaitAfterEnq);
    if (e->pendingOptions & kOptPendingParams) Adopt(e);
    return;
  }
}

// The quote level of a character for the short form of "+" packets.
int QuoteLevel(int c) {
  if (c < 32) {
    if (c == 0) return 1;
    if (c == 3 || c == 5 || c == 16 || c == 17 || c == 19 || c == 21) return 0;
    return 3;
  }
  if (c == 145 || c == 147) return 2;
  return 3;
}

void SendOwnPlus(BpEngine* e, int level, uint16_t window) {
  static constexpr uint8_t kLevelCode[4] = {1, 0, 2, 3};
  uint8_t p[18] = {};
  p[0] = '+';
  p[1] = p[2] = uint8_t((e->options & kOptExtended) ? window : 0);
  p[3] = uint8_t(e->pendingPacketSize / 128);
  p[4] = kBpCrcX25;
  p[5] = kLevelCode[std::clamp(level, 0, 3)];
  p[6] = (e->options & kOptFullDuplex) ? 1 : 0;
  for (int i = 0; i < 32; ++i) {
    if (e->quoteTable[i] & 0x01) p[7 + i / 8] |= uint8_t(0x80 >> (i % 8));
    if (e->quoteTable[i] & 0x10) p[11 + i / 8] |= uint8_t(0x80 >> (i % 8));
  }
  p[15] = uint8_t(e->resumeLevel);
  p[16] = 0;
  p[17] = 1;
  e->method = kBpChecksum;
  e->quoteMode = 3;
  e->sendSeq = e->recvSeq;
  e->options &= uint16_t(~kOptPlusUnacked);
  BpSendPacket(e, p, sizeof p);
  e->options |= kOptPlusUnacked;
  e->pendingOptions |= kOptPendingParams;
}

void RestartSequence(BpEngine* e, uint16_t d) {
  e->sendSeq = e->recvSeq = d;
  e->state = 0;
  e->pendingOptions = e->options;
  e->negotiatedMethod = e->method;
  e->pendingPacketSize = e->packetSize;
  SendOwnPlus(e, 0, e->windowSize);
}

bool FailureAcknowledged(BpEngine* e, uint16_t d) {
  uint16_t current = (e->options & kOptSeparateSeq) ? e->sendSeq : e->recvSeq;
  if (d == current) {
    e->options |= kOptAckSeen;
    e->state = 0;
    return true;
  }
  e->state = 14;
  return false;
}

int EventOf(const BpEngine* e, int c) {
  if (c >= 67) return 0;
  switch (c) {
    case ETX: return 1;
    case DLE: return 2;
    case ENQ: return 3;
    case NAK: return 4;
    case 'B': return 5;
    case ';': return 6;
    case '+': return 7;
    case kBpTrailer: return e->method == kBpCrcX25 ? 9 : 0;
    default: return (c >= '0' && c <= '9') ? 8 : 0;
  }
}

const char* const kErrorTexts[] = {"Out of memory",
                                   "Protocol timeout",
                                   "Transfer cancelled",
                                   "Unexpected packet type",
                                   "Protocol error",
                                   "Connection lost",
                                   "Receive buffer full",
                                   "Empty error packet from remote",
                                   "Protocol out of sequence",
                                   "Remote is not responding",
                                   "Bad packet type",
                                   "Bad transfer direction",
                                   "Bad transfer type",
                                   "Transfer resume failure",
                                   "File error",
                                   "Send buffer full",
                                   nullptr,
                                   "Host aborted transfer",
                                   "Unknown B Protocol error"};

}  // namespace

const char* BpErrorString(unsigned code) {
  if (code < 1024 || code > 1042) return nullptr;
  return kErrorTexts[code - 1024];
}

void BpSendSignal(BpEngine* e, const uint8_t* bytes, int n) {
  for (int i = 0; i < n; ++i) Out(e, bytes[i]);
  if (e->method == kBpCrcX25) Out(e, kBpTrailer);
  Flush(e);
}

void BpAnswerEnq(BpEngine* e) {
  if (e->options & kOptExtended) {
    Out(e, DLE);
    Out(e, '+');
    Out(e, '+');
  }
  const uint8_t ack[2] = {DLE, uint8_t('0' + e->recvSeq)};
  BpSendSignal(e, ack, 2);
}

void BpDestroy(BpEngine* e) {
  if (!e) return;
  BpRelease(e);
  S().memFree(e);
}

extern "C" {

BpEngine* BP_CALL BpCreate() {
  auto* e = static_cast<BpEngine*>(S().memAlloc(sizeof(BpEngine)));
  if (e) e->tag = 1;
  return e;
}

int BP_CALL BpInit(BpEngine* e, void* window, int extendedAllowed, void* port) {
  if (!e) return 0;
  e->window = window;
  e->port = port;
  e->state = 0;
  if (!e->windowSize) e->windowSize = 4;
  if (!e->packetSize) e->packetSize = kBpDefaultPacketSize;
  e->pendingPacketSize = e->packetSize;
  e->retryLimit = 10;
  e->enqRetries = e->nakRetries = 0;
  e->quoteMode = 4;
  e->sendSeq = e->recvSeq = 0;
  e->lastAck = e->lastDelivered = e->sinceSend = 0;
  e->method = e->negotiatedMethod = kBpChecksum;
  ResetQuoteTable(e);
  e->options = extendedAllowed ? kOptExtended : 0;
  e->pendingOptions = 0;
  e->resumeLevel = 2;
  e->ackArmed = 0;
  e->ackTimeouts = 0;
  BpReset(e);
  return e->ring[e->ringFill].buffer != nullptr;
}

void BP_CALL BpSetPacketSize(BpEngine* e, unsigned size) {
  if (!e) return;
  unsigned s = size < 2048 ? size / 128 * 128 : 2048;
  if (s < 128) s = 128;  // a packet must at least carry a type byte and data
  e->packetSize = uint16_t(s + 1);
  e->pendingPacketSize = e->packetSize;
  BpReset(e);
}

void BP_CALL BpReset(BpEngine* e) {
  if (!e) return;
  for (BpSlot& s : e->send) {
    BpPutBuffer(e, s.buffer);
    s = BpSlot{};
  }
  for (BpSlot& s : e->ring) {
    BpPutBuffer(e, s.buffer);
    s = BpSlot{};
  }
  e->sendNext = e->sendOldest = e->outstanding = 0;
  e->ringFill = e->ringDeliver = e->ringReady = 0;
  e->error = 0;
  e->ring[0].buffer = BpGetBuffer(e);
}

void BP_CALL BpSetWindow(BpEngine* e, void* window, int alsoPort) {
  if (!e) return;
  e->window = window;
  if (alsoPort && e->port && S().port.setClientWindow) S().port.setClientWindow(e->port, window);
}

void BP_CALL BpRestart(BpEngine* e) {
  if (!e) return;
  BpInit(e, e->window, (e->options & kOptExtended) != 0, e->port);
  BpAnswerEnq(e);
}

int BP_CALL BpFeed(BpEngine* e, int ch) {
  if (!e) return 0;
  uint8_t c = uint8_t(ch);
  e->currentChar = c;
  int ev = EventOf(e, c);
  if (ev == 9) return 0;  // the trailer of method 2 carries nothing
  switch (e->state) {
    case 0:
      if (ev == 2)
        CheckStall(e);
      else if (ev == 3)
        AckLast(e);
      else if (ev == 4)
        SendEnq(e);
      return 0;
    case 1:
      switch (ev) {
        case 1:
        case 4: ToIdleClearing(e); break;
        case 3: AckLast(e); break;
        case 5: StartPacket(e); break;
        case 6: WaitSignal(e); break;
        case 8: Acknowledgement(e, uint16_t(c - '0')); break;
        // A DLE before anything else is line noise; staying here would let
        // a later data digit pass for an acknowledgement.
        case 0: e->state = 0; break;
        default: break;
      }
      return 0;
    case 2:
      if (ev == 8)
        Sequence(e, c);
      else if (ev == 3)
        AckLast(e);
      else
        ToIdleClearing(e);
      return 0;
    case 3:
      if (ev == 1) {
        e->recvCheck = BpCheckUpdate(e->method, e->recvCheck, ETX);
        e->state = 5;
      } else if (ev == 2) {
        e->state = 4;
      } else if (ev == 3) {
        AckLast(e);
      } else {
        Data(e, c);
      }
      return 0;
    case 4:
      e->state = 3;
      Data(e, Unquote(c));
      return 0;
    case 5:
      if (ev == 2) {
        e->state = 6;
        return 0;
      }
      if (ev == 3) {
        AckLast(e);
        return 0;
      }
      return Check1(e, c);
    case 6: return Check1(e, Unquote(c));
    case 7:
      if (ev == 2) {
        e->state = 8;
        return 0;
      }
      return Check2(e, c);
    case 8: return Check2(e, Unquote(c));
    case 9:
      if (ev == 2)
        e->state = 10;
      else if (ev == 3)
        AckLast(e);
      else if (ev == 4)
        SendEnq(e);
      return 0;
    case 10:
      switch (ev) {
        case 1:
        case 4: ResendEnq(e); break;
        case 3: AckLast(e); break;
        case 5: StartPacket(e); break;
        case 6: WaitSignal(e); break;
        case 7: e->state = 11; break;
        case 8: Acknowledgement(e, uint16_t(c - '0')); break;
        case 0: e->state = 9; break;  // noise, as after a lone DLE when idle
        default: break;
      }
      return 0;
    case 11:
      if (ev == 3)
        AckLast(e);
      else if (ev == 1 || ev == 4)
        ToIdleClearing(e);
      else if (ev == 7)
        e->state = 12;
      else
        ResendEnq(e);
      return 0;
    case 12:
      if (ev == 3)
        AckLast(e);
      else if (ev == 1 || ev == 4)
        ToIdleClearing(e);
      else if (ev == 2)
        e->state = 13;
      else
        ResendEnq(e);
      return 0;
    case 13:
      if (ev == 3)
        AckLast(e);
      else if (ev == 1 || ev == 4)
        ToIdleClearing(e);
      else if (ev == 8)
        RestartSequence(e, uint16_t(c - '0'));
      else
        ResendEnq(e);
      return 0;
    case 14:
      if (ev == 2) e->state = 15;
      return 0;
    case 15:
      if (ev == 8) return FailureAcknowledged(e, uint16_t(c - '0'));
      e->state = 14;
      return 0;
    default: e->state = 0; return 0;
  }
}

int BP_CALL BpTakePacket(BpEngine* e, int ack, uint16_t* length, uint8_t** packet) {
  if (!e || !e->ringReady) return 0;
  BpSlot& slot = e->ring[e->ringDeliver];
  if (length) *length = slot.length;
  if (packet)
    *packet = slot.buffer;
  else
    BpPutBuffer(e, slot.buffer);
  slot.buffer = nullptr;
  e->ringDeliver = uint16_t((e->ringDeliver + 1) % kBpSlots);
  e->ringReady--;
  if (ack) SendAck(e);
  BpSlot& fill = e->ring[e->ringFill];
  if (!fill.buffer) {
    fill.buffer = BpGetBuffer(e);
    if (!fill.buffer) e->error = kBpErrMemory;
  }
  return 1;
}

int BP_CALL BpSendPacket(BpEngine* e, const uint8_t* bytes, unsigned length) {
  if (!e) return 0;
  if ((e->options & kOptWaitAfterEnq) || e->error == kBpErrLost) return 0;
  if ((e->options & kOptPlusUnacked) || e->outstanding >= e->windowSize) {
    e->error = kBpErrSendFull;
    return 0;
  }
  if (length > e->packetSize || (length && !bytes)) {
    e->error = kBpErrProtocol;
    return 0;
  }
  uint8_t* buffer = BpGetBuffer(e);
  if (!buffer) {
    e->error = kBpErrMemory;
    return 0;
  }
  e->error = 0;
  uint16_t seq;
  if (e->options & kOptSeparateSeq) {
    seq = e->sendSeq = uint16_t((e->sendSeq + 1) % 10);
  } else {
    seq = e->recvSeq = uint16_t((e->recvSeq + 1) % 10);
    e->sendSeq = seq;
  }
  if (length) std::memcpy(buffer, bytes, length);
  BpSlot& slot = e->send[e->sendNext];
  slot.seq = seq;
  slot.length = uint16_t(length);
  slot.buffer = buffer;
  e->sendNext = uint16_t((e->sendNext + 1) % kBpSlots);
  e->outstanding++;
  e->sinceSend = 0;
  Transmit(e, seq, buffer, length);
  return e->error == 0;
}

int BP_CALL BpSendFailure(BpEngine* e, int code, const char* text) {
  if (!e) return 0;
  uint8_t p[kBpMaxPacketSize];
  unsigned n = 0;
  p[n++] = 'F';
  p[n++] = uint8_t(code);
  if (text) {
    size_t len = std::min<size_t>(std::strlen(text), std::max<unsigned>(e->packetSize, 2) - 2);
    std::memcpy(p + n, text, len);
    n += unsigned(len);
  }
  uint16_t seq;
  if (e->options & kOptSeparateSeq) {
    seq = e->sendSeq = uint16_t((e->sendSeq + 1) % 10);
  } else {
    seq = e->recvSeq = uint16_t((e->recvSeq + 1) % 10);
    e->sendSeq = seq;
  }
  Transmit(e, seq, p, n);
  e->options &= uint16_t(~kOptAckSeen);
  e->state = 14;
  return e->error != kBpErrLost;
}

void BP_CALL BpSendWait(BpEngine* e) {
  if (!e) return;
  const uint8_t wait[2] = {DLE, ';'};
  BpSendSignal(e, wait, 2);
}

void BP_CALL BpCheckAckTimer(BpEngine* e) {
  if (!e || !e->outstanding || !e->ackArmed || !BpPassed(e->ackDeadline)) return;
  e->options |= kOptWaitAfterEnq;
  e->ackArmed = 0;
  e->ackTimeouts++;
  SendEnq(e);
}

void BP_CALL BpNegotiate(BpEngine* e, uint8_t* packet, unsigned length) {
  if (!e) return;
  BpNegotiationRecord rec{};
  rec.packetSize = e->pendingPacketSize ? e->pendingPacketSize : e->packetSize;
  rec.window = e->windowSize;
  std::memcpy(rec.quoteTable, e->quoteTable, 32);
  uint16_t askedSize = rec.packetSize, askedWindow = rec.window;
  BpNotify(e->window, 1041, reinterpret_cast<intptr_t>(&rec));
  uint16_t ownSize = askedSize;
  if (rec.packetSize != askedSize) {
    unsigned s = rec.packetSize / 128 * 128;
    ownSize = uint16_t(std::clamp<unsigned>(s + 1, 129, kBpMaxPacketSize));
  }
  uint16_t window = e->windowSize;
  if (rec.window != askedWindow) window = uint16_t(std::clamp<unsigned>(rec.window, 1, kBpSlots));
  std::memcpy(e->quoteTable, rec.quoteTable, 32);

  uint8_t p[18] = {};
  std::memcpy(p, packet, std::min<unsigned>(length, 18));

  uint16_t own = (e->options & kOptExtended) ? window : 1;
  unsigned blocks = std::min<unsigned>(e->packetSize / 128, p[3]);
  e->pendingPacketSize = uint16_t(std::max<unsigned>(std::min<unsigned>(128 * blocks + 1, ownSize), 129));
  uint16_t newWindow = uint16_t(std::clamp<unsigned>(std::min<unsigned>(p[2], own), 1, kBpSlots));
  e->pendingOptions = e->options;
  e->negotiatedMethod = uint8_t(std::min<unsigned>(p[4], 2));
  if ((e->options & kOptFullDuplex) && p[6]) e->pendingOptions |= kOptSeparateSeq;
  e->resumeLevel = uint16_t(std::min<unsigned>({e->resumeLevel, p[15], 2u}));
  e->negotiated16 = std::min<uint16_t>(0, p[16]);
  e->negotiated17 = std::min<uint16_t>(1, p[17]);

  int level = 0;
  if (length < 18) {
    for (int i = 0; i < 32 && level < 3; ++i) {
      if (e->quoteTable[i] & 0x01) level = std::max(level, QuoteLevel(i));
      if (e->quoteTable[i] & 0x10) level = std::max(level, QuoteLevel(128 + i));
    }
  } else {
    for (int i = 0; i < 32; ++i) {
      if (p[7 + i / 8] & (0x80 >> (i % 8))) e->quoteTable[i] |= 0x01;
      if (p[11 + i / 8] & (0x80 >> (i % 8))) e->quoteTable[i] |= 0x10;
    }
  }
  SendOwnPlus(e, level, newWindow);
  e->windowSize = newWindow;
}

uint8_t* BP_CALL BpGetBuffer(BpEngine* e) {
  if (!e) return nullptr;
  if (e->freeList) {
    uint8_t* b = e->freeList;
    std::memcpy(&e->freeList, b, sizeof(uint8_t*));
    std::memset(b, 0, kLinkBytes);
    return b;
  }
  return static_cast<uint8_t*>(S().memAlloc(kBpBufferSize));
}

void BP_CALL BpPutBuffer(BpEngine* e, uint8_t* buffer) {
  if (!e || !buffer) return;
  std::memcpy(buffer, &e->freeList, sizeof(uint8_t*));
  e->freeList = buffer;
}

void BP_CALL BpFreeBuffers(BpEngine* e) {
  if (!e) return;
  while (e->freeList) {
    uint8_t* b = e->freeList;
    std::memcpy(&e->freeList, b, sizeof(uint8_t*));
    S().memFree(b);
  }
}

void BP_CALL BpRelease(BpEngine* e) {
  if (!e) return;
  for (BpSlot& s : e->send) {
    BpPutBuffer(e, s.buffer);
    s = BpSlot{};
  }
  for (BpSlot& s : e->ring) {
    BpPutBuffer(e, s.buffer);
    s = BpSlot{};
  }
  e->outstanding = e->ringReady = 0;
  BpFreeBuffers(e);
}

char* BP_CALL BpFailureText(BpEngine* e, int errorFlag, unsigned length, const uint8_t* bytes) {
  if (!e) return nullptr;
  if (errorFlag) {
    e->error = kBpErrSequence;
    BpSendFailure(e, 'E', BpErrorString(kBpErrSequence));
    return nullptr;
  }
  if (length == 0 || !bytes) {
    e->error = kBpErrNotResponding;
    return nullptr;
  }
  if (bytes[0] != 'F') {
    e->error = kBpErrUnexpectedType;
    BpSendFailure(e, 'E', BpErrorString(kBpErrUnexpectedType));
    return nullptr;
  }
  if (length < 2) {
    e->error = kBpErrEmptyFailure;
    return nullptr;
  }
  char* text = static_cast<char*>(S().memAlloc(length));
  if (!text) return nullptr;
  std::memcpy(text, bytes + 1, length - 1);
  return text;
}

char* BP_CALL BpErrorText(BpEngine* e) {
  if (!e) return nullptr;
  if (e->port && S().port.getError && S().port.errorText && S().port.getError(e->port))
    if (char* t = S().port.errorText(e->port)) return t;
  if (e->error == 0 || e->error == kBpFinished || e->error < 1024 || e->error > 1041) return nullptr;
  char text[84];
  if (S().loadText && S().loadText(e->error, text, sizeof text) > 0) {
    text[sizeof text - 1] = 0;
    return BpStrDup(text);
  }
  return BpStrDup(BpErrorString(e->error));
}

}  // extern "C"
