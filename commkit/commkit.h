// commkit.dll: what the toolbox exports (reached by ordinal, see exports.h)
// and the records it shares with its client.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "port/port_settings.h"

#define ZRTAPI __stdcall

// Notices go to the client window as WM_USER with the code in wParam.
enum : UINT {
  kNoticeAskStop = 512,
  kNoticeKeepAlive = 513,
  kNoticeRawBlock = 514,
  kNoticeLogLine = 515,
  kNoticeFwdClose = 517,
  kNoticeFwdOpen = 518,
  kNoticeFwdSetup = 519,
  kNoticeFwdProbe = 520,
  kNoticeFwdModemStatus = 521,
  kNoticeFwdWrite = 522,
  kNoticeFwdBreak = 523,
  kNoticeFwdFlow = 524,
  kNoticeFwdRead = 525,
  kNoticeFwdDetach = 526,
  kNoticeFwdPurge = 527,
};

// Port error numbers (also the ids of their texts).
enum : uint32_t {
  kErrOutOfMemory = 512,
  kErrInvalidPortName = 513,
  kErrSending = 514,
  kErrReceiving = 515,
  kErrInvalidSpeed = 516,
  kErrInvalidParity = 517,
  kErrPortNotOpen = 520,
  kErrLogFile = 521,
  kErrPortInUse = 522,
  kErrLostConnection = 523,
  kErrUserAbort = 527,
  kErrTapi = 544,
};

#pragma pack(push, 1)
// One row of a choice list: text and the row's place in the unfiltered list.
struct ChoiceRow {
  char text[80];
  uint16_t item;
};
#pragma pack(pop)
static_assert(sizeof(ChoiceRow) == 82);

// Four-word block that lParam points to for the forwarded driver's notices
// and for the raw-block and log-line notices.
struct NoticeBlock {
  // Words that may carry a pointer are as wide as one, which on the
  // clients' i686 is 32 bits.
  uintptr_t word0;
  uintptr_t argument;
  uint32_t value;
  struct PortObject* port;
};
#if !defined(_WIN64)  // the notice layout is the i686 clients'; a 64-bit test build differs
static_assert(sizeof(NoticeBlock) == 16);
#endif

struct PortObject;
typedef void*(ZRTAPI* ZrtAllocFn)(uint32_t size);
typedef void(ZRTAPI* ZrtReleaseFn)(void* block);

extern "C" {
// Frame
int ZRTAPI WEP(int reserved);
ChoiceRow* ZRTAPI ChoiceList(PortObject* port, int kind, uint16_t* count);
char* ZRTAPI PortErrorText(PortObject* port);
char* ZRTAPI VersionText();
int ZRTAPI DialerAbortTake();
int ZRTAPI DialerAbortSet();
uint32_t ZRTAPI GetProp32(HWND window, const char* name);
int ZRTAPI SetProp32(HWND window, const char* name, uint32_t value);
int ZRTAPI RemoveProp32(HWND window, const char* name);
int ZRTAPI ZrtLoadStr(unsigned id, char* buffer, int size);

// System services
void ZRTAPI ZrtNoOp();
int ZRTAPI ZrtFileEof(HANDLE file);
int ZRTAPI ZrtFileRead(HANDLE file, void* buffer, uint16_t count);
int ZRTAPI ZrtFileWrite(HANDLE file, const void* buffer, uint16_t count);
long ZRTAPI ZrtFileTell(HANDLE file);
int ZRTAPI ZrtFileSeek(HANDLE file, long offset, int origin);
HANDLE ZRTAPI ZrtFileOpen(const char* name, uint16_t mode);
HANDLE ZRTAPI ZrtFileCreate(const char* name);
int ZRTAPI ZrtFileClose(HANDLE file);
long ZRTAPI ZrtFileSize(HANDLE file);
int ZRTAPI ZrtFileExists(const char* name);
int ZRTAPI ZrtFileDelete(const char* name);
int ZRTAPI MakePath(char* destination, const char* directory, const char* name);
void ZRTAPI AddBackslash(char* path);
int ZRTAPI SplitPath(const char* path, char* directory, char* name);
uint32_t ZRTAPI TimeoutStart(uint16_t units);
int ZRTAPI TimeoutPassed(uint32_t deadline);
LRESULT ZRTAPI ClientPing(HWND client);
int ZRTAPI ClientDelay(HWND client, uint16_t seconds);
long ZRTAPI UtcOffsetMinutes();
void* ZRTAPI ZrtMemAlloc(uint32_t size);
void ZRTAPI ZrtMemFree(void** block);
char* ZRTAPI StrDup(const char* text);
int ZRTAPI ZrtSetAllocator(ZrtAllocFn alloc, ZrtReleaseFn release);
void ZRTAPI ZrtClearAllocator();

// Port object
PortObject* ZRTAPI PortCreate(HWND client);
void ZRTAPI PortDestroy(PortObject* port);
void ZRTAPI PortSetWindow(PortObject* port, HWND client, uint32_t ignored);
void ZRTAPI PortClose(PortObject* port);
uint16_t ZRTAPI PortGetChar(PortObject* port);
int ZRTAPI PortDetach(PortObject* port, int mode);
int ZRTAPI PortOpen(PortObject* port, const char* name, int32_t speed, int32_t dataBits, const char* parity,
                    int32_t stopBits, int32_t flow, int32_t carrier, const char* logFile);
int ZRTAPI PortSetup(PortObject* port, int32_t speed, int32_t dataBits, const char* parity, int32_t stopBits,
                     int32_t flow, int32_t carrier);
int ZRTAPI PortProbe(PortObject* port, int index);
int ZRTAPI PortIsOpen(PortObject* port);
int ZRTAPI PortPutChar(PortObject* port, int byte);
uint16_t ZRTAPI PortWrite(PortObject* port, const void* buffer, uint16_t count);
void ZRTAPI PortBreak(PortObject* port);
void ZRTAPI PortSetFlow(PortObject* port, int32_t flow);
uint16_t ZRTAPI PortRead(PortObject* port, void* buffer, uint16_t maximum);
int ZRTAPI PortPollClient(PortObject* port);
uint16_t ZRTAPI PortWaitChar(PortObject* port, int16_t seconds);
int ZRTAPI PortPutCharWait(PortObject* port, int byte, int16_t seconds);
uint32_t ZRTAPI PortGetClientValue(PortObject* port);
uint32_t ZRTAPI PortSetClientValue(PortObject* port, uint32_t value);
void ZRTAPI SettingsDefault(PortSettings* settings);
int ZRTAPI PortOpenWithSettings(PortObject* port, const PortSettings* settings, const char* logFile);
uint16_t ZRTAPI PortGetLogFlags(PortObject* port);
void ZRTAPI PortSetLogFlags(PortObject* port, uint16_t flags);
uint16_t ZRTAPI PortModemStatus(PortObject* port);
void ZRTAPI PortPurge(PortObject* port, int mode);
int ZRTAPI PortLogOpen(PortObject* port, const char* fileName);
uint16_t ZRTAPI PortAvailable(PortObject* port);
void ZRTAPI PortSetForwarded(PortObject* port, int forwarded);
uint16_t ZRTAPI PortGetError(PortObject* port);
int ZRTAPI PortHasCall(PortObject* port);
PortSettings* ZRTAPI PortGetSettings(PortObject* port);
void ZRTAPI PortLogControl(PortObject* port, int mode);
uint32_t ZRTAPI PortBytesReceived(PortObject* port);
uint32_t ZRTAPI PortBytesSent(PortObject* port);
void ZRTAPI SettingsSetPortName(PortSettings* settings, const char* text);
void ZRTAPI SettingsSetParity(PortSettings* settings, const char* text);
void ZRTAPI SettingsSetSpeed(PortSettings* settings, int32_t value);
void ZRTAPI SettingsSetDataBits(PortSettings* settings, int32_t value);
void ZRTAPI SettingsSetStopBits(PortSettings* settings, int32_t value);
void ZRTAPI SettingsSetFlow(PortSettings* settings, int32_t value);
char* ZRTAPI SettingsGetPortName(PortSettings* settings);
char* ZRTAPI SettingsGetParity(PortSettings* settings);
int32_t ZRTAPI SettingsGetSpeed(PortSettings* settings);
int32_t ZRTAPI SettingsGetDataBits(PortSettings* settings);
int32_t ZRTAPI SettingsGetStopBits(PortSettings* settings);
int32_t ZRTAPI SettingsGetFlow(PortSettings* settings);
int32_t ZRTAPI PortGetLogState(PortObject* port);
int32_t ZRTAPI SettingsGetCarrier(PortSettings* settings);
void ZRTAPI SettingsSetCarrier(PortSettings* settings, int32_t value);
int32_t ZRTAPI PortGetKeepFirstFour(PortObject* port);
void ZRTAPI PortSetKeepFirstFour(PortObject* port, int32_t value);
int ZRTAPI PortAttachHandle(PortObject* port, const char* name, HANDLE handle);
int32_t ZRTAPI SettingsGetMethod(PortSettings* settings);
void ZRTAPI SettingsSetMethod(PortSettings* settings, int32_t value);
void ZRTAPI SettingsSetDunEntry(PortSettings* settings, const char* text);
char* ZRTAPI SettingsGetDunEntry(PortSettings* settings);
char* ZRTAPI SettingsGetWinsockDescription(PortSettings* settings);
char* ZRTAPI SettingsGetHostName(PortSettings* settings);
void ZRTAPI SettingsSetHostName(PortSettings* settings, const char* text);
char* ZRTAPI SettingsGetHostAddress(PortSettings* settings);
void ZRTAPI SettingsSetHostAddress(PortSettings* settings, const char* text);
uint8_t ZRTAPI SettingsGetConnectTimeout(PortSettings* settings);
void ZRTAPI SettingsSetConnectTimeout(PortSettings* settings, uint8_t seconds);
uint16_t ZRTAPI SettingsGetTcpPort(PortSettings* settings);
void ZRTAPI SettingsSetTcpPort(PortSettings* settings, uint16_t port);

// Trace log
int ZRTAPI TraceEnter(const char* file, const char* module, int line, const char* function);
int ZRTAPI TraceExit(const char* file, const char* module, int line, const char* function);
int ZRTAPI TraceString(const char* file, const char* module, int line, const char* label, const char* text);
int ZRTAPI TraceBinary(const char* file, const char* module, int line, const char* label, const void* data,
                       uint16_t count, int hex);
int ZRTAPI TraceByte(const char* file, const char* module, int line, const char* label, uint8_t value);
int ZRTAPI TraceWord(const char* file, const char* module, int line, const char* label, uint16_t value);
int ZRTAPI TraceLong(const char* file, const char* module, int line, const char* label, int32_t value);
}
