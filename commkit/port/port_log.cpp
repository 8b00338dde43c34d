// The port's data log: every byte sent and received, sixteen to a line, as
// hexadecimal and as characters, to a file, the client, or a memory log.
#include "port.h"

#include <ctype.h>
#include <string.h>

namespace {
constexpr int kHexColumn = 11;
constexpr int kCharColumn = 60;
constexpr int kBytesPerLine = 16;

void ClearLine(PortObject* port) {
  memset(port->logLine, ' ', kLogLineSize);
  port->logLineCount = 0;
}

bool Logging(const PortObject* port) {
  if (port->logState == kLogActive || port->logState == kLogAppend) return true;
  return port->logState != kLogPaused && (port->memoryLog || (port->logFlags & 2));
}

void StampLine(PortObject* port, int sent) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[16];
  FormatBounded(stamp, sizeof stamp, "%02d:%02d:%02d%s ", now.wHour, now.wMinute, now.wSecond, sent ? "=>" : "<=");
  memcpy(port->logLine, stamp, 11);
}

char Shown(uint8_t byte) {
  int c = byte & 0x7F;
  return (isalnum(c) || ispunct(c) || c == ' ') ? char(c) : '.';
}

void CloseLogFile(PortObject* port) {
  if (port->logFile != INVALID_HANDLE_VALUE) CloseHandle(port->logFile);
  port->logFile = INVALID_HANDLE_VALUE;
}
}  // namespace

void PortLogWriteLine(PortObject* port) {
  int length = kCharColumn + port->logLineCount;
  char line[kLogLineSize + 3];
  memcpy(line, port->logLine, size_t(length));
  line[length] = '\r';
  line[length + 1] = '\n';
  if ((port->logState == kLogActive || port->logState == kLogAppend) && port->logFile != INVALID_HANDLE_VALUE) {
    DWORD put = 0;
    if (!WriteFile(port->logFile, line, DWORD(length + 2), &put, nullptr) || put != DWORD(length + 2)) {
      CloseLogFile(port);
      port->logState = kLogClosed;
    }
  }
  line[length] = 0;
  if (port->logFlags & 2) {
    NoticeBlock block = {uintptr_t(line), 0, 0, port};
    SendMessageA(port->client, WM_USER, kNoticeLogLine, LPARAM(&block));
  }
  if (port->memoryLog && port->memoryLogSize - port->memoryLogUsed >= uint32_t(length + 1)) {
    memcpy(port->memoryLog + port->memoryLogUsed, line, size_t(length + 1));
    port->memoryLogUsed += uint32_t(length + 1);
  }
  ClearLine(port);
}

void PortLogBytes(PortObject* port, const uint8_t* bytes, uint32_t count, int sent) {
  if (!count || !Logging(port)) return;
  for (uint32_t i = 0; i < count; ++i) {
    bool turned = (port->logLineDirection != 0) != (sent != 0);
    if (turned || port->logLineCount >= kBytesPerLine) PortLogWriteLine(port);
    if (turned) {
      StampLine(port, sent);
      port->logLineDirection = sent ? 1 : 0;
    }
    static const char hex[] = "0123456789ABCDEF";
    char* cell = port->logLine + kHexColumn + 3 * port->logLineCount;
    cell[0] = hex[bytes[i] >> 4];
    cell[1] = hex[bytes[i] & 15];
    cell[2] = sent ? '.' : ' ';
    port->logLine[kCharColumn + port->logLineCount] = Shown(bytes[i]);
    ++port->logLineCount;
  }
}

int ZRTAPI PortLogOpen(PortObject* port, const char* fileName) {
  if (!port || !fileName) return 0;
  char* copy = StrDup(fileName);
  if (!copy) {
    port->error = kErrOutOfMemory;
    return 0;
  }
  ZrtMemFree(reinterpret_cast<void**>(&port->logFileName));
  port->logFileName = copy;
  CloseLogFile(port);
  HANDLE file = INVALID_HANDLE_VALUE;
  if (port->logState == kLogAppend) {
    file =
        CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) SetFilePointer(file, 0, nullptr, FILE_END);
  }
  if (file == INVALID_HANDLE_VALUE)
    file =
        CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    port->error = kErrLogFile;
    port->logState = kLogNone;
    return 0;
  }
  port->logFile = file;
  ClearLine(port);
  port->logLineDirection = 0;
  port->logState = kLogActive;
  return 1;
}

void ZRTAPI PortLogControl(PortObject* port, int mode) {
  if (!port || port->logFile == INVALID_HANDLE_VALUE) return;
  switch (mode) {
    case 1: port->logState = kLogActive; break;
    case 2:
      PortLogWriteLine(port);
      port->logState = kLogPaused;
      break;
    case 3:
      PortLogWriteLine(port);
      CloseLogFile(port);
      port->logState = kLogClosed;
      break;
    case 4: port->logState = kLogAppend; break;
  }
}

int PortLogMemory(PortObject* port, uint32_t size) {
  if (!port || !size) return 0;
  PortLogMemoryFree(port);
  port->memoryLog = static_cast<char*>(ZrtMemAlloc(size));
  if (!port->memoryLog) return 0;
  port->memoryLogSize = size;
  port->memoryLogUsed = 0;
  ClearLine(port);
  return 1;
}

int PortLogMemoryToFile(PortObject* port, const char* fileName) {
  if (!port || !port->memoryLog || !fileName) return 0;
  HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  int ok = file != INVALID_HANDLE_VALUE;
  for (uint32_t at = 0; ok && at < port->memoryLogUsed;) {
    const char* line = port->memoryLog + at;
    size_t length = strnlen(line, port->memoryLogUsed - at);
    DWORD put = 0;
    ok = WriteFile(file, line, DWORD(length), &put, nullptr) && put == length &&
         WriteFile(file, "\r\n", 2, &put, nullptr) && put == 2;
    at += uint32_t(length + 1);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  PortLogMemoryFree(port);
  return ok;
}

char* PortLogMemoryTake(PortObject* port) {
  if (!port) return nullptr;
  char* log = port->memoryLog;
  port->memoryLog = nullptr;
  port->memoryLogUsed = port->memoryLogSize = 0;
  return log;
}

void PortLogMemoryFree(PortObject* port) {
  if (!port) return;
  ZrtMemFree(reinterpret_cast<void**>(&port->memoryLog));
  port->memoryLogUsed = port->memoryLogSize = 0;
}
