// What the B-protocol code runs on inside the toolbox: the port object's
// byte functions, files by Win32 handle, notices to the client window, the
// tick clock, the toolbox heap and its string table.
#include "port/port.h"

#include "commkit/bp/bp_system.h"

namespace {
PortObject* AsPort(void* port) { return static_cast<PortObject*>(port); }

int BufferByte(void* port, uint8_t byte) { return PortBufferByte(AsPort(port), byte); }
int FlushBuffer(void* port) { return PortFlushBuffer(AsPort(port)); }
int GetChar(void* port) { return PortGetChar(AsPort(port)); }
int WaitChar(void* port, int seconds) {
  // A negative wait would mean "until the client stops it"; the protocol's
  // waits are always bounded.
  if (seconds < 0) seconds = 0;
  if (seconds > 32767) seconds = 32767;
  return PortWaitChar(AsPort(port), int16_t(seconds));
}
int GetError(void* port) { return PortGetError(AsPort(port)); }
uint32_t GetSpeed(void* port) {
  int32_t speed = SettingsGetSpeed(PortGetSettings(AsPort(port)));
  return speed > 0 ? uint32_t(speed) : 0;
}
int IsQuiet(void* port) { return port && AsPort(port)->quiet; }
int PollClient(void* port) { return PortPollClient(AsPort(port)); }
void SetClientWindow(void* port, void* window) { PortSetWindow(AsPort(port), static_cast<HWND>(window), 0); }
char* ErrorText(void* port) { return PortErrorText(AsPort(port)); }

// Handles travel as ints with -1 for none; a handle that would not survive
// the round trip is refused rather than confused with "none".
HANDLE AsHandle(int file) { return file < 0 ? INVALID_HANDLE_VALUE : HANDLE(intptr_t(file)); }
int FromHandle(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) return -1;
  intptr_t value = intptr_t(file);
  if (value < 0 || value > INT32_MAX) {
    ZrtFileClose(file);
    return -1;
  }
  return int(value);
}

int FileOpen(const char* name, int mode) { return FromHandle(ZrtFileOpen(name, uint16_t(mode))); }
int FileCreate(const char* name) { return FromHandle(ZrtFileCreate(name)); }
int FileExists(const char* name) { return ZrtFileExists(name); }
// The handle functions move at most 65535 bytes a call.
int FileRead(int file, void* buffer, unsigned count) {
  unsigned done = 0;
  while (done < count) {
    uint16_t part = uint16_t(count - done > 0xFFFF ? 0xFFFF : count - done);
    int got = ZrtFileRead(AsHandle(file), static_cast<uint8_t*>(buffer) + done, part);
    if (got < 0) return -1;
    done += unsigned(got);
    if (got < part) break;
  }
  return int(done);
}
int FileWrite(int file, const void* buffer, unsigned count) {
  unsigned done = 0;
  while (done < count) {
    uint16_t part = uint16_t(count - done > 0xFFFF ? 0xFFFF : count - done);
    int put = ZrtFileWrite(AsHandle(file), static_cast<const uint8_t*>(buffer) + done, part);
    if (put < 0) return -1;
    done += unsigned(put);
    if (put < part) break;
  }
  return int(done);
}
long FileSize(int file) { return ZrtFileSize(AsHandle(file)); }
int FileSeekEnd(int file) { return ZrtFileSeek(AsHandle(file), 0, 2); }
int FileClose(int file) { return ZrtFileClose(AsHandle(file)); }
int FileRemove(const char* name) { return ZrtFileDelete(name) ? 1 : 0; }

intptr_t Notify(void* window, unsigned code, intptr_t lParam) {
  if (!window) return 0;
  return SendMessageA(static_cast<HWND>(window), WM_USER, code, lParam);
}
uint32_t Ticks() { return GetTickCount(); }
void* MemAlloc(size_t size) { return ZrtMemAlloc(uint32_t(size)); }
void MemFree(void* block) { ZrtMemFree(&block); }
int LoadText(unsigned id, char* buffer, int size) { return ZrtLoadStr(id, buffer, size); }
}  // namespace

void BpUseToolbox() {
  BpSystem system{};
  system.port = BpPortOps{BufferByte, FlushBuffer, GetChar,    WaitChar,        GetError,
                          GetSpeed,   IsQuiet,     PollClient, SetClientWindow, ErrorText};
  system.file =
      BpFileOps{FileOpen, FileCreate, FileExists, FileRead, FileWrite, FileSize, FileSeekEnd, FileClose, FileRemove};
  system.notify = Notify;
  system.ticks = Ticks;
  system.memAlloc = MemAlloc;
  system.memFree = MemFree;
  system.loadText = LoadText;
  BpSetSystem(system);
}
