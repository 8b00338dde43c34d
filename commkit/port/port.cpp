// The port object: opening through its driver row, byte I/O through the
// receive and output buffers, waits that keep the client alive, accessors.
#include "port.h"
#include "driver_winsock.h"

#include <stdlib.h>
#include <string.h>

namespace {
#define kNoHandle INVALID_HANDLE_VALUE
const char kDefaultHostName[] = "gateway.dravenet.com";

const PortDriverRow* Driver(PortObject* port) { return PortDriverFor(port->driverKind); }

bool IsOpen(const PortObject* port) { return port && port->handle != kNoHandle; }

// Every byte function starts clean and refuses a closed port.
bool BeginIo(PortObject* port) {
  if (!port) return false;
  port->error = 0;
  if (!IsOpen(port)) {
    port->error = kErrPortNotOpen;
    return false;
  }
  return true;
}

void ReportRawBlock(PortObject* port, const void* data, uint16_t count, int sent) {
  if (!(port->logFlags & 1)) return;
  if (count == 0) {
    if (port->emptyReadReported) return;
    port->emptyReadReported = 1;
  } else {
    port->emptyReadReported = 0;
  }
  NoticeBlock block = {uintptr_t(data), uintptr_t(sent), count, port};
  SendMessageA(port->client, WM_USER, kNoticeRawBlock, LPARAM(&block));
}

// Checks the speed against the speed list; 14400 and 28800 run at the next
// standard rate.
bool CheckSpeed(PortObject* port, int32_t* speed) {
  uint16_t count = 0;
  ChoiceRow* rows = ChoiceList(port, 2, &count);
  bool found = false;
  for (uint16_t i = 0; rows && i < count; ++i) found |= atol(rows[i].text) == *speed;
  void* block = rows;
  ZrtMemFree(&block);
  if (!found) {
    port->error = kErrInvalidSpeed;
    return false;
  }
  if (*speed == 14400) *speed = 19200;
  if (*speed == 28800) *speed = 38400;
  return true;
}

bool StopsWait(uint32_t error, uint32_t a, uint32_t b, uint32_t c) { return error == a || error == b || error == c; }

char* DupField(const char* field) { return StrDup(field); }
}  // namespace

const PortDriverRow* PortDriverFor(int32_t kind) {
  switch (kind) {
    case kDriverSerial: return &g_serialDriver;
    case kDriverForwarded: return &g_forwardedDriver;
    case kDriverWinsock: return &g_winsockDriver;
    default: return nullptr;
  }
}

int32_t PortDriverKindFor(const PortObject* port, int index) {
  if (port && port->forwarded) return kDriverForwarded;
  if (index == kPortIndexWinsock) return kDriverWinsock;
  if (index >= 0 && index < kPortIndexWinsock) return kDriverSerial;
  return kDriverInvalid;
}

void PortSendKeepAlive(PortObject* port) {
  if (!port->quiet) ClientPing(port->client);
}

PortObject* ZRTAPI PortCreate(HWND client) {
  auto* port = static_cast<PortObject*>(ZrtMemAlloc(sizeof(PortObject)));
  if (!port) return nullptr;
  port->client = client;
  port->handle = kNoHandle;
  port->savedHandle = kNoHandle;
  port->logFile = kNoHandle;
  port->keepFirstFour = 1;
  memset(port->logLine, ' ', sizeof port->logLine);
  port->externalCommHandle = kNoHandle;
  return port;
}

void ZRTAPI PortDestroy(PortObject* port) {
  if (!port) return;
  // A port destroyed while open would keep its device held until the
  // process ends.
  PortClose(port);
  if (port->logFile != kNoHandle) CloseHandle(port->logFile);
  ZrtMemFree(reinterpret_cast<void**>(&port->logFileName));
  ZrtMemFree(reinterpret_cast<void**>(&port->pendingErrorText));
  PortLogMemoryFree(port);
  void* block = port;
  ZrtMemFree(&block);
}

void ZRTAPI PortSetWindow(PortObject* port, HWND client, uint32_t) {
  if (port) port->client = client;
}

int ZRTAPI PortProbe(PortObject* port, int index) {
  const PortDriverRow* driver = PortDriverFor(PortDriverKindFor(port, index));
  return driver ? driver->probe(port, index) : 0;
}

int ZRTAPI PortAttachHandle(PortObject* port, const char* name, HANDLE handle) {
  if (!port) return 0;
  uint16_t index = ChoiceIndex(port, name, 1, kPortIndexCount);
  if (index < kPortIndexCount && !PortProbe(port, index)) index = kPortIndexCount;
  if (index == kPortIndexCount) port->error = kErrInvalidPortName;
  port->settings.portIndex = index;
  port->driverKind = PortDriverKindFor(port, index);
  if (port->driverKind == kDriverInvalid) port->error = kErrInvalidPortName;
  port->handle = handle;
  return port->error == 0;
}

int ZRTAPI PortOpen(PortObject* port, const char* name, int32_t speed, int32_t dataBits, const char* parity,
                    int32_t stopBits, int32_t flow, int32_t carrier, const char* logFile) {
  if (!port) return 0;
  if (IsOpen(port)) {
    port->error = kErrPortInUse;
    return 0;
  }
  if (!logFile || !*logFile) port->logState = kLogNone;
  port->readPosition = port->readFill = 0;
  port->bytesSent = port->bytesReceived = 0;
  port->error = 0;

  PortSettings& settings = port->settings;
  CopyBounded(settings.portName, sizeof settings.portName, name);
  CopyBounded(settings.parityName, sizeof settings.parityName, parity);
  settings.speed = speed;
  settings.dataBits = dataBits;
  settings.stopBits = stopBits;
  settings.flowControl = flow;
  settings.carrierDetect = carrier;
  settings.carrierWatch = 0;

  uint16_t parityIndex = ChoiceIndex(port, parity, 4, 5);
  if (parityIndex == 5 && !port->error) port->error = kErrInvalidParity;
  settings.parityIndex = parityIndex == 5 ? 0 : parityIndex;
  if (!port->error) PortAttachHandle(port, name, kNoHandle);
  if (port->error) return 0;

  const PortDriverRow* driver = Driver(port);
  if (!driver) {
    port->error = kErrInvalidPortName;
    return 0;
  }
  if (!CheckSpeed(port, &speed)) {
    port->handle = kNoHandle;
    return 0;
  }
  settings.speed = speed;
  if (!driver->open(port, name, speed, dataBits, parity, stopBits, flow, carrier)) {
    port->handle = kNoHandle;
    return 0;
  }
  if (logFile && *logFile) PortLogOpen(port, logFile);
  return 1;
}

int ZRTAPI PortOpenWithSettings(PortObject* port, const PortSettings* settings, const char* logFile) {
  if (!port || !settings) return 0;
  PortSettings copy = *settings;
  port->settings = copy;
  return PortOpen(port, copy.portName, copy.speed, copy.dataBits, copy.parityName, copy.stopBits, copy.flowControl,
                  copy.carrierDetect, logFile);
}

int ZRTAPI PortSetup(PortObject* port, int32_t speed, int32_t dataBits, const char* parity, int32_t stopBits,
                     int32_t flow, int32_t carrier) {
  if (!BeginIo(port)) return 0;
  if (!CheckSpeed(port, &speed)) return 0;
  uint16_t parityIndex = ChoiceIndex(port, parity, 4, 5);
  if (parityIndex == 5) port->error = kErrInvalidParity;
  if (!Driver(port)->setup(port, speed, dataBits, parity, stopBits, flow, carrier)) return 0;
  PortSettings& settings = port->settings;
  CopyBounded(settings.parityName, sizeof settings.parityName, parity);
  if (parityIndex != 5) settings.parityIndex = parityIndex;
  settings.speed = speed;
  settings.dataBits = dataBits;
  settings.stopBits = stopBits;
  settings.flowControl = flow;
  settings.carrierDetect = carrier;
  return 1;
}

void ZRTAPI PortClose(PortObject* port) {
  if (!IsOpen(port)) return;
  if (port->logFile != kNoHandle) PortLogControl(port, 3);
  Driver(port)->close(port);
  port->handle = kNoHandle;
  port->savedHandle = kNoHandle;
  port->logState = kLogAppend;
  port->settings.carrierWatch = 0;
}

int ZRTAPI PortDetach(PortObject* port, int mode) {
  if (!port) return 0;
  if (mode == 0) {
    if (port->savedHandle == kNoHandle) {
      port->error = kErrPortNotOpen;
      return 0;
    }
    port->handle = port->savedHandle;
    port->savedHandle = kNoHandle;
    return Driver(port)->detach(port, 0);
  }
  if (!IsOpen(port)) {
    port->error = kErrPortNotOpen;
    return 0;
  }
  int result = Driver(port)->detach(port, mode);
  if (result) {
    port->savedHandle = port->handle;
    port->handle = kNoHandle;
  }
  return result;
}

int ZRTAPI PortIsOpen(PortObject* port) { return IsOpen(port); }

uint16_t ZRTAPI PortRead(PortObject* port, void* buffer, uint16_t maximum) {
  if (!BeginIo(port)) return 0;
  if (port->readPosition >= port->readFill) {
    port->readPosition = port->readFill = 0;
    uint16_t got = Driver(port)->read(port, port->receiveBuffer, kReceiveBufferSize);
    if (got > kReceiveBufferSize) got = kReceiveBufferSize;
    port->readFill = got;
    if (port->settings.carrierWatch && !(Driver(port)->modemStatus(port) & 2)) {
      port->error = kErrLostConnection;
      return 0;
    }
    PortLogBytes(port, port->receiveBuffer, got, 0);
    ReportRawBlock(port, port->receiveBuffer, got, 0);
  }
  uint16_t waiting = uint16_t(port->readFill - port->readPosition);
  uint16_t count = maximum < waiting ? maximum : waiting;
  if (count && buffer) memcpy(buffer, port->receiveBuffer + port->readPosition, count);
  port->readPosition = uint16_t(port->readPosition + count);
  port->bytesReceived += count;
  return count;
}

uint16_t ZRTAPI PortGetChar(PortObject* port) {
  uint8_t byte;
  return PortRead(port, &byte, 1) == 1 ? byte : 0xFFFF;
}

uint16_t ZRTAPI PortAvailable(PortObject* port) {
  if (!BeginIo(port)) return 0;
  if (port->readPosition >= port->readFill) PortRead(port, nullptr, 0);
  return uint16_t(port->readFill - port->readPosition);
}

uint16_t ZRTAPI PortWaitChar(PortObject* port, int16_t seconds) {
  uint16_t byte = PortGetChar(port);
  if (byte != 0xFFFF || !port) return byte;
  if (seconds >= 0) {
    uint32_t deadline = DeadlineIn(uint32_t(seconds) * 10);
    while (!TimeoutPassed(deadline)) {
      if (StopsWait(port->error, kErrReceiving, kErrPortNotOpen, kErrLostConnection)) break;
      PortSendKeepAlive(port);
      WaitYield();
      byte = PortGetChar(port);
      if (byte != 0xFFFF) return byte;
    }
    return 0xFFFF;
  }
  for (;;) {
    if (StopsWait(port->error, kErrReceiving, kErrPortNotOpen, kErrLostConnection)) break;
    if (PortPollClient(port)) break;
    WaitYield();
    byte = PortGetChar(port);
    if (byte != 0xFFFF) return byte;
  }
  return 0xFFFF;
}

uint16_t ZRTAPI PortWrite(PortObject* port, const void* buffer, uint16_t count) {
  if (!BeginIo(port)) return 0;
  if (!buffer || !count) return 0;
  uint16_t written = Driver(port)->write(port, buffer, count);
  if (written > count) written = count;
  PortLogBytes(port, static_cast<const uint8_t*>(buffer), written, 1);
  ReportRawBlock(port, buffer, written, 1);
  port->bytesSent += written;
  if (!written && port->settings.carrierWatch && !(Driver(port)->modemStatus(port) & 2)) {
    port->error = kErrLostConnection;
    return 0;
  }
  return written;
}

int ZRTAPI PortPutChar(PortObject* port, int byte) {
  uint8_t value = uint8_t(byte);
  return PortWrite(port, &value, 1) == 1;
}

int ZRTAPI PortPutCharWait(PortObject* port, int byte, int16_t seconds) {
  if (PortPutChar(port, byte)) return 1;
  if (!port || port->error == kErrPortNotOpen) return 0;
  if (seconds >= 0) {
    uint32_t deadline = DeadlineIn(uint32_t(seconds) * 10);
    while (!TimeoutPassed(deadline)) {
      if (StopsWait(port->error, kErrSending, kErrPortNotOpen, kErrLostConnection)) return 0;
      PortSendKeepAlive(port);
      WaitYield();
      if (PortPutChar(port, byte)) return 1;
    }
    return 0;
  }
  for (;;) {
    if (port->error == kErrPortNotOpen || PortPollClient(port)) return 0;
    WaitYield();
    if (PortPutChar(port, byte)) return 1;
  }
}

int PortBufferByte(PortObject* port, uint8_t byte) {
  if (!port) return 0;
  if (port->outputCount >= kOutputBufferSize && !PortFlushBuffer(port)) return 0;
  port->outputBuffer[port->outputCount++] = byte;
  return 1;
}

int PortFlushBuffer(PortObject* port) {
  if (!port) return 0;
  if (!port->outputCount) return 1;
  uint16_t sent = 0;
  while (sent < port->outputCount) {
    uint16_t part = PortWrite(port, port->outputBuffer + sent, uint16_t(port->outputCount - sent));
    if (!part) {
      // Keep what is not yet written at the front for the next try.
      memmove(port->outputBuffer, port->outputBuffer + sent, port->outputCount - sent);
      port->outputCount -= sent;
      return 0;
    }
    sent = uint16_t(sent + part);
  }
  port->outputCount = 0;
  return 1;
}

void ZRTAPI PortBreak(PortObject* port) {
  if (BeginIo(port)) Driver(port)->sendBreak(port);
}

void ZRTAPI PortSetFlow(PortObject* port, int32_t flow) {
  if (!BeginIo(port)) return;
  port->settings.flowControl = flow;
  Driver(port)->setFlow(port, flow);
}

void ZRTAPI PortPurge(PortObject* port, int mode) {
  if (!BeginIo(port)) return;
  if (mode == 2 || mode == 3) port->readPosition = port->readFill = 0;
  Driver(port)->purge(port, mode);
}

uint16_t ZRTAPI PortModemStatus(PortObject* port) {
  if (!BeginIo(port)) return 1;
  uint16_t status = Driver(port)->modemStatus(port);
  if (!(status & 2) && port->settings.carrierWatch) {
    if (!port->quiet) ClientDelay(port->client, 1);
    status = Driver(port)->modemStatus(port);
    if (status & 2) port->settings.carrierWatch = 0;
  }
  return uint16_t(status | 1);
}

int ZRTAPI PortPollClient(PortObject* port) {
  if (!port) return 0;
  uint32_t stop = 0;
  SendMessageA(port->client, WM_USER, kNoticeAskStop, LPARAM(&stop));
  PortSendKeepAlive(port);
  return stop != 0;
}

uint32_t ZRTAPI PortGetClientValue(PortObject* port) { return port ? port->clientValue : 0; }
uint32_t ZRTAPI PortSetClientValue(PortObject* port, uint32_t value) {
  if (!port) return 0;
  uint32_t old = port->clientValue;
  port->clientValue = value;
  return old;
}

void ZRTAPI SettingsDefault(PortSettings* settings) {
  if (!settings) return;
  memset(settings, 0, sizeof *settings);
  ZrtLoadStr(656, settings->portName, sizeof settings->portName);
  strcpy(settings->parityName, "None");
  settings->dataBits = 8;
  settings->flowControl = 2;
  settings->carrierDetect = 1;
  CopyBounded(settings->hostName, sizeof settings->hostName, kDefaultHostName);
  settings->connectTimeout = 20;
  settings->connectMethod = DunEntryCount() > 0 ? 2 : 0;
}

uint16_t ZRTAPI PortGetLogFlags(PortObject* port) { return port ? port->logFlags : 0; }
void ZRTAPI PortSetLogFlags(PortObject* port, uint16_t flags) {
  if (port) port->logFlags = flags;
}
void ZRTAPI PortSetForwarded(PortObject* port, int forwarded) {
  if (port) port->forwarded = forwarded;
}
uint16_t ZRTAPI PortGetError(PortObject* port) { return port ? uint16_t(port->error) : 0; }
int ZRTAPI PortHasCall(PortObject* port) { return port && (port->tapiCall != 0 || port->dunConnected != 0); }
PortSettings* ZRTAPI PortGetSettings(PortObject* port) { return port ? &port->settings : nullptr; }
uint32_t ZRTAPI PortBytesReceived(PortObject* port) { return port ? port->bytesReceived : 0; }
uint32_t ZRTAPI PortBytesSent(PortObject* port) { return port ? port->bytesSent : 0; }
int32_t ZRTAPI PortGetLogState(PortObject* port) { return port ? port->logState : 0; }
int32_t ZRTAPI PortGetKeepFirstFour(PortObject* port) { return port ? port->keepFirstFour : 0; }
void ZRTAPI PortSetKeepFirstFour(PortObject* port, int32_t value) {
  if (port) port->keepFirstFour = value;
}

#define SETTINGS_TEXT(getter, setter, field)                                                             \
  char* ZRTAPI getter(PortSettings* settings) { return settings ? DupField(settings->field) : nullptr; } \
  void ZRTAPI setter(PortSettings* settings, const char* text) {                                         \
    if (settings) CopyBounded(settings->field, sizeof settings->field, text);                            \
  }
SETTINGS_TEXT(SettingsGetPortName, SettingsSetPortName, portName)
SETTINGS_TEXT(SettingsGetParity, SettingsSetParity, parityName)
SETTINGS_TEXT(SettingsGetHostName, SettingsSetHostName, hostName)
SETTINGS_TEXT(SettingsGetHostAddress, SettingsSetHostAddress, hostAddress)
#undef SETTINGS_TEXT

#define SETTINGS_NUMBER(getter, setter, type, field)                                    \
  type ZRTAPI getter(PortSettings* settings) { return settings ? settings->field : 0; } \
  void ZRTAPI setter(PortSettings* settings, type value) {                              \
    if (settings) settings->field = value;                                              \
  }
SETTINGS_NUMBER(SettingsGetSpeed, SettingsSetSpeed, int32_t, speed)
SETTINGS_NUMBER(SettingsGetDataBits, SettingsSetDataBits, int32_t, dataBits)
SETTINGS_NUMBER(SettingsGetStopBits, SettingsSetStopBits, int32_t, stopBits)
SETTINGS_NUMBER(SettingsGetFlow, SettingsSetFlow, int32_t, flowControl)
SETTINGS_NUMBER(SettingsGetCarrier, SettingsSetCarrier, int32_t, carrierDetect)
SETTINGS_NUMBER(SettingsGetMethod, SettingsSetMethod, int32_t, connectMethod)
SETTINGS_NUMBER(SettingsGetConnectTimeout, SettingsSetConnectTimeout, uint8_t, connectTimeout)
SETTINGS_NUMBER(SettingsGetTcpPort, SettingsSetTcpPort, uint16_t, tcpPort)
#undef SETTINGS_NUMBER

void ZRTAPI SettingsSetDunEntry(PortSettings* settings, const char* text) {
  if (settings) CopyBounded(settings->dunEntry, sizeof settings->dunEntry, text);
}
char* ZRTAPI SettingsGetDunEntry(PortSettings* settings) {
  return settings && settings->dunEntry[0] ? StrDup(settings->dunEntry) : nullptr;
}
char* ZRTAPI SettingsGetWinsockDescription(PortSettings* settings) {
  return settings ? StrDup(settings->winsockDescription) : nullptr;
}
