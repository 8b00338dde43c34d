// The port object and its driver rows: what the port layer and its drivers
// share. Clients see only an opaque PortObject pointer.
#pragma once
#include "../internal.h"

enum PortDriverKind : int32_t {
  kDriverSerial = 0,
  kDriverForwarded = 1,
  kDriverWinsock = 2,
  kDriverInvalid = 3,
};

enum PortLogState : int32_t {
  kLogNone = 0,
  kLogActive = 1,
  kLogPaused = 2,
  kLogClosed = 3,
  kLogAppend = 4,
};

constexpr int kPortIndexTelephony = 8;
constexpr int kPortIndexWinsock = 12;
constexpr int kPortIndexCount = 13;
constexpr uint16_t kReceiveBufferSize = 1024;
constexpr uint16_t kOutputBufferSize = 2048;
constexpr int kLogLineSize = 82;

#pragma pack(push, 1)
struct PortObject {
  HWND client;
  uint32_t error;
  HANDLE handle;
  HANDLE savedHandle;
  PortSettings settings;
  uint8_t receiveBuffer[kReceiveBufferSize];
  uint16_t readPosition;
  uint16_t readFill;
  uint32_t bytesSent;
  uint32_t bytesReceived;
  char* logFileName;
  HANDLE logFile;
  char logLine[kLogLineSize];
  uint16_t logLineCount;
  int32_t logLineDirection;
  int32_t logState;
  uint16_t logFlags;
  int32_t driverKind;
  int32_t forwarded;
  uint32_t clientValue;
  int32_t keepFirstFour;
  int32_t emptyReadReported;
  int32_t quiet;
  // Telephony line (filled by the TAPI layer when it is present).
  uint32_t tapiLineApp;
  uint32_t tapiLine;
  uint32_t tapiDeviceCount;
  uint32_t tapiLastResult;
  int32_t tapiUserAbort;
  HANDLE externalCommHandle;
  uint32_t tapiCall;
  // Dial-up networking connection.
  uint32_t dunConnection;
  int32_t dunConnected;
  int32_t dunAutodial;
  uint16_t dunRedialCount;
  uint32_t dunLastError;
  char* memoryLog;
  uint32_t memoryLogUsed;
  uint32_t memoryLogSize;
  uint8_t outputBuffer[kOutputBufferSize];
  uint32_t outputCount;
  char* pendingErrorText;
};
#pragma pack(pop)

// One row of eleven entry points per kind of line.
struct PortDriverRow {
  int (*open)(PortObject*, const char* name, int32_t speed, int32_t dataBits, const char* parity, int32_t stopBits,
              int32_t flow, int32_t carrier);
  void (*close)(PortObject*);
  int (*probe)(PortObject*, int index);
  int (*setup)(PortObject*, int32_t speed, int32_t dataBits, const char* parity, int32_t stopBits, int32_t flow,
               int32_t carrier);
  uint16_t (*modemStatus)(PortObject*);
  uint16_t (*write)(PortObject*, const void* buffer, uint16_t count);
  uint16_t (*read)(PortObject*, void* buffer, uint16_t maximum);
  void (*sendBreak)(PortObject*);
  void (*setFlow)(PortObject*, int32_t flow);
  int (*detach)(PortObject*, int mode);
  void (*purge)(PortObject*, int mode);
};

extern const PortDriverRow g_serialDriver;
extern const PortDriverRow g_forwardedDriver;
// Rows by driver kind; a kind whose driver is not built has none.
const PortDriverRow* PortDriverFor(int32_t kind);
int32_t PortDriverKindFor(const PortObject* port, int index);

// Data log, buffering and the memory log (port_log.cpp, port.cpp).
void PortLogBytes(PortObject* port, const uint8_t* bytes, uint32_t count, int sent);
void PortLogWriteLine(PortObject* port);
int PortLogMemory(PortObject* port, uint32_t size);
int PortLogMemoryToFile(PortObject* port, const char* fileName);
char* PortLogMemoryTake(PortObject* port);
void PortLogMemoryFree(PortObject* port);
int PortBufferByte(PortObject* port, uint8_t byte);
int PortFlushBuffer(PortObject* port);
void PortSendKeepAlive(PortObject* port);
