// The B-protocol rows of commkit.dll's export table.
#include "commkit/bp/bp_exports.h"

#define BP_EXPORT(fn, ord) \
  { #fn, ord, reinterpret_cast < void*>(&fn) }

const BpExportEntry kBpExports[] = {
    BP_EXPORT(BpFreeBuffers, 90),
    BP_EXPORT(BpGetBuffer, 91),
    BP_EXPORT(BpPutBuffer, 92),
    BP_EXPORT(BpNegotiate, 93),
    BP_EXPORT(BpCreate, 94),
    BP_EXPORT(BpSetWindow, 95),
    BP_EXPORT(BpInit, 96),
    BP_EXPORT(BpReset, 97),
    BP_EXPORT(BpGetBuffer, 98),
    BP_EXPORT(BpTakePacket, 99),
    BP_EXPORT(BpSendWait, 100),
    BP_EXPORT(BpRestart, 101),
    BP_EXPORT(BpRelease, 102),
    BP_EXPORT(BpSendFailure, 103),
    BP_EXPORT(BpSendPacket, 104),
    BP_EXPORT(BpCheckAckTimer, 105),
    BP_EXPORT(BpFeed, 106),
    BP_EXPORT(BpFailureText, 107),
    BP_EXPORT(BpQueueReset, 112),
    BP_EXPORT(BpQueueFree, 113),
    BP_EXPORT(BpQueueFeed, 114),
    BP_EXPORT(BpQueueSend, 115),
    BP_EXPORT(BpQueueCount, 116),
    BP_EXPORT(BpQueueFirstLength, 117),
    BP_EXPORT(BpQueueTake, 118),
    BP_EXPORT(BpErrorText, 119),
    BP_EXPORT(BpTransferCreate, 130),
    BP_EXPORT(BpTransferFree, 131),
    BP_EXPORT(BpTransferRun, 132),
    BP_EXPORT(BpTransferReadPacket, 133),
    BP_EXPORT(BpTransferEngine, 134),
    BP_EXPORT(BpTransferDone, 135),
    BP_EXPORT(BpSetPacketSize, 136),
    BP_EXPORT(BpReceiverRun, 140),
    BP_EXPORT(BpReceiverCreate, 141),
    BP_EXPORT(BpReceiverFree, 142),
    BP_EXPORT(QvxBpStart, 220),
    BP_EXPORT(QvxBpSend, 221),
    BP_EXPORT(QvxBpReceive, 222),
    BP_EXPORT(QvxBpClose, 223),
    BP_EXPORT(QvxBpSetVersion, 224),
    BP_EXPORT(QvxBpSetWindow, 225),
    BP_EXPORT(QvxBpErrorText, 228),
};

const size_t kBpExportCount = sizeof kBpExports / sizeof kBpExports[0];
