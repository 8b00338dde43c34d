// The client-forwarded line: every operation goes to the client window as a
// notice, and the client performs it on a line of its own.
#include "port.h"

#include <string.h>

namespace {
uint32_t Forward(PortObject* port, UINT code, uintptr_t argument, uint32_t value) {
  NoticeBlock block = {0, argument, value, port};
  SendMessageA(port->client, WM_USER, code, LPARAM(&block));
  return block.value;
}

// The settings record as the call would leave it, for the client to read.
void FillSettings(PortObject* port, PortSettings& copy, const char* name, int32_t speed, int32_t dataBits,
                  const char* parity, int32_t stopBits, int32_t flow, int32_t carrier) {
  copy = port->settings;
  if (name) CopyBounded(copy.portName, sizeof copy.portName, name);
  CopyBounded(copy.parityName, sizeof copy.parityName, parity);
  copy.speed = speed;
  copy.dataBits = dataBits;
  copy.stopBits = stopBits;
  copy.flowControl = flow;
  copy.carrierDetect = carrier;
}

int ForwardedOpen(PortObject* port, const char* name, int32_t speed, int32_t dataBits, const char* parity,
                  int32_t stopBits, int32_t flow, int32_t carrier) {
  PortSettings copy;
  FillSettings(port, copy, name, speed, dataBits, parity, stopBits, flow, carrier);
  uint32_t answer = Forward(port, kNoticeFwdOpen, uintptr_t(&copy), 0);
  if (answer && !port->error) {
    // The line is the client's; any value other than "closed" marks it open.
    if (port->handle == INVALID_HANDLE_VALUE) port->handle = reinterpret_cast<HANDLE>(1);
    return 1;
  }
  if (!port->error) port->error = kErrInvalidPortName;
  return 0;
}

void ForwardedClose(PortObject* port) { Forward(port, kNoticeFwdClose, 0, 0); }

int ForwardedProbe(PortObject* port, int index) {
  if (!port) return 0;
  return Forward(port, kNoticeFwdProbe, uint32_t(index), 0) != 0;
}

int ForwardedSetup(PortObject* port, int32_t speed, int32_t dataBits, const char* parity, int32_t stopBits,
                   int32_t flow, int32_t carrier) {
  PortSettings copy;
  FillSettings(port, copy, nullptr, speed, dataBits, parity, stopBits, flow, carrier);
  return Forward(port, kNoticeFwdSetup, uintptr_t(&copy), 0) != 0;
}

uint16_t ForwardedModemStatus(PortObject* port) { return uint16_t(Forward(port, kNoticeFwdModemStatus, 0, 0)); }

uint16_t ForwardedWrite(PortObject* port, const void* buffer, uint16_t count) {
  uint32_t written = uint16_t(Forward(port, kNoticeFwdWrite, uintptr_t(buffer), count));
  return uint16_t(written > count ? count : written);
}

uint16_t ForwardedRead(PortObject* port, void* buffer, uint16_t maximum) {
  uint32_t answer = Forward(port, kNoticeFwdRead, uintptr_t(buffer), maximum);
  uint32_t got = answer >> 16;
  return uint16_t(got > maximum ? maximum : got);
}

void ForwardedBreak(PortObject* port) { Forward(port, kNoticeFwdBreak, 0, 0); }

void ForwardedSetFlow(PortObject* port, int32_t flow) { Forward(port, kNoticeFwdFlow, uint32_t(flow), 0); }

int ForwardedDetach(PortObject* port, int mode) { return Forward(port, kNoticeFwdDetach, uint32_t(mode), 1) != 0; }

void ForwardedPurge(PortObject* port, int mode) { Forward(port, kNoticeFwdPurge, 0, uint32_t(mode)); }
}  // namespace

const PortDriverRow g_forwardedDriver = {
    ForwardedOpen, ForwardedClose, ForwardedProbe,   ForwardedSetup,  ForwardedModemStatus, ForwardedWrite,
    ForwardedRead, ForwardedBreak, ForwardedSetFlow, ForwardedDetach, ForwardedPurge,
};
