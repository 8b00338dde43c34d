// The B-protocol functions of commkit.dll: engine, message transport, file
// transfer and plain receive, under their export names and argument lists,
// plus the table (name, ordinal, function) the DLL frame adds to its exports.
#pragma once
#include <cstddef>
#include <cstdint>

#include "commkit/bp/bp_system.h"

struct BpEngine;
struct BpMessageQueue;
struct BpTransfer;
struct BpReceiver;
struct BpLinkSession;

extern "C" {

// Packet engine.
BpEngine* BP_CALL BpCreate();                                                                    // 94
int BP_CALL BpInit(BpEngine* e, void* window, int extendedAllowed, void* port);                  // 96
void BP_CALL BpSetPacketSize(BpEngine* e, unsigned size);                                        // 136
void BP_CALL BpReset(BpEngine* e);                                                               // 97
void BP_CALL BpSetWindow(BpEngine* e, void* window, int alsoPort);                               // 95
void BP_CALL BpRestart(BpEngine* e);                                                             // 101
int BP_CALL BpFeed(BpEngine* e, int c);                                                          // 106
int BP_CALL BpTakePacket(BpEngine* e, int ack, uint16_t* length, uint8_t** packet);              // 99
int BP_CALL BpSendPacket(BpEngine* e, const uint8_t* bytes, unsigned length);                    // 104
int BP_CALL BpSendFailure(BpEngine* e, int code, const char* text);                              // 103
void BP_CALL BpSendWait(BpEngine* e);                                                            // 100
void BP_CALL BpCheckAckTimer(BpEngine* e);                                                       // 105
void BP_CALL BpNegotiate(BpEngine* e, uint8_t* packet, unsigned length);                         // 93
uint8_t* BP_CALL BpGetBuffer(BpEngine* e);                                                       // 91, 98
void BP_CALL BpPutBuffer(BpEngine* e, uint8_t* buffer);                                          // 92
void BP_CALL BpFreeBuffers(BpEngine* e);                                                         // 90
void BP_CALL BpRelease(BpEngine* e);                                                             // 102
char* BP_CALL BpFailureText(BpEngine* e, int errorFlag, unsigned length, const uint8_t* bytes);  // 107
char* BP_CALL BpErrorText(BpEngine* e);                                                          // 119

// Message transport.
int BP_CALL BpQueueReset(BpMessageQueue* q);                                        // 112
int BP_CALL BpQueueFree(BpMessageQueue* q);                                         // 113
int BP_CALL BpQueueFeed(BpMessageQueue* q, int c);                                  // 114
int BP_CALL BpQueueSend(BpMessageQueue* q, const uint8_t* bytes, unsigned length);  // 115
int BP_CALL BpQueueCount(BpMessageQueue* q);                                        // 116
int BP_CALL BpQueueFirstLength(BpMessageQueue* q);                                  // 117
long BP_CALL BpQueueTake(BpMessageQueue* q, uint8_t* buffer, unsigned size);        // 118

int BP_CALL QvxBpStart(BpLinkSession* s);                                                      // 220
int BP_CALL QvxBpSend(BpLinkSession* s, const uint8_t* bytes, unsigned length);                // 221
long BP_CALL QvxBpReceive(BpLinkSession* s, uint8_t* buffer, unsigned size, int waitSeconds);  // 222
void BP_CALL QvxBpClose(BpLinkSession* s);                                                     // 223
void BP_CALL QvxBpSetVersion(BpLinkSession* s);                                                // 224
void BP_CALL QvxBpSetWindow(BpLinkSession* s, void* window, int alsoEngine);                   // 225
char* BP_CALL QvxBpErrorText(BpLinkSession* s);                                                // 228

// File transfer.
BpTransfer* BP_CALL BpTransferCreate(void* window, int extendedAllowed, void* port);  // 130
void BP_CALL BpTransferFree(BpTransfer* t);                                           // 131
int BP_CALL BpTransferRun(BpTransfer* t);                                             // 132
int BP_CALL BpTransferReadPacket(BpTransfer* t, uint16_t* length, uint8_t** packet);  // 133
BpEngine* BP_CALL BpTransferEngine(BpTransfer* t);                                    // 134
int BP_CALL BpTransferDone(BpTransfer* t);                                            // 135

// Plain receive.
int BP_CALL BpReceiverRun(BpReceiver* r);                                             // 140
BpReceiver* BP_CALL BpReceiverCreate(void* window, int extendedAllowed, void* port);  // 141
void BP_CALL BpReceiverFree(BpReceiver* r);                                           // 142

}  // extern "C"

struct BpExportEntry {
  const char* name;
  unsigned ordinal;
  void* function;
};
extern const BpExportEntry kBpExports[];
extern const size_t kBpExportCount;
