// B-protocol packet engine: numbered packets with a check over a port, a
// sliding send window of up to five packets, a receive ring, ACK/NAK/ENQ
// recovery, "+" negotiation and failure packets. The caller feeds it one
// received character at a time.
#pragma once
#include <cstdint>

#include "commkit/bp/bp_exports.h"

constexpr int kBpSlots = 5;
constexpr unsigned kBpDefaultPacketSize = 1025;
constexpr unsigned kBpMaxPacketSize = 2049;
// Every buffer holds the largest packet, so a size agreed later never
// outgrows a buffer already on the free list.
constexpr unsigned kBpBufferSize = kBpMaxPacketSize + 6;

constexpr uint8_t DLE = 16, ETX = 3, ENQ = 5, NAK = 21, kBpTrailer = 30;

// Option flag bits.
enum : uint16_t {
  kOptFullDuplex = 1 << 0,
  kOptExtended = 1 << 1,
  kOptSeparateSeq = 1 << 2,
  kOptWaitAfterEnq = 1 << 3,
  kOptEnqAnswerAwaited = 1 << 4,
  kOptPlusUnacked = 1 << 5,
  kOptPendingParams = 1 << 6,
  kOptAckSeen = 1 << 7,
};

// Engine errors (the same numbers are the string-table ids).
enum : uint16_t {
  kBpErrMemory = 1024,
  kBpErrTimeout = 1025,
  kBpErrCancelled = 1026,
  kBpErrUnexpectedType = 1027,
  kBpErrProtocol = 1028,
  kBpErrLost = 1029,
  kBpErrRecvFull = 1030,
  kBpErrEmptyFailure = 1031,
  kBpErrSequence = 1032,
  kBpErrNotResponding = 1033,
  kBpErrBadType = 1034,
  kBpErrBadDirection = 1035,
  kBpErrBadTransferType = 1036,
  kBpErrResume = 1037,
  kBpErrFile = 1038,
  kBpErrSendFull = 1039,
  kBpFinished = 1040,
  kBpErrHostAborted = 1041,
  kBpErrUnknown = 1042,
};

struct BpSlot {
  uint16_t seq;
  uint16_t length;
  uint8_t* buffer;
};

struct BpEngine {
  uint16_t tag;  // 1 once created
  void* window;
  BpSlot send[kBpSlots];
  uint16_t sendNext, sendOldest, outstanding;
  BpSlot ring[kBpSlots];
  uint16_t ringFill, ringDeliver, ringReady;
  uint16_t state;
  uint16_t windowSize;
  uint16_t enqRetries, nakRetries, retryLimit;
  uint16_t packetSize, pendingPacketSize;
  uint16_t quoteMode;
  uint16_t error;
  uint8_t* freeList;
  uint16_t sendSeq, recvSeq;
  uint8_t method;
  uint16_t sendCheck, recvCheck;
  uint16_t sinceSend, lastAck, lastDelivered;
  uint8_t quoteTable[32];
  uint16_t options, pendingOptions;
  uint32_t ackDeadline;
  int ackArmed;
  uint16_t resumeLevel, negotiated16, negotiated17;
  uint16_t currentChar;
  void* port;
  uint8_t negotiatedMethod;
  uint16_t ackTimeouts;  // deadlines passed in a row without an acknowledgement
};

#pragma pack(push, 1)
// Notice 1041: the client may change the size, the window and the quote table.
struct BpNegotiationRecord {
  uint16_t packetSize;
  uint16_t window;
  uint8_t quoteTable[32];
};
static_assert(sizeof(BpNegotiationRecord) == 36);
#pragma pack(pop)

// Text of an engine error, or null for 0, 1040 and codes outside 1024-1042.
const char* BpErrorString(unsigned code);
// Releases everything and frees the engine block.
void BpDestroy(BpEngine* e);
// Transmits a signal byte sequence with the method's trailer.
void BpSendSignal(BpEngine* e, const uint8_t* bytes, int n);
// The quote answer to a host's ENQ: DLE "+" "+" (extended) then DLE digit.
void BpAnswerEnq(BpEngine* e);
