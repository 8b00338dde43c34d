// What the B-protocol code needs from the rest of the toolbox: the port, the
// client window, the clock, memory and files. The DLL frame fills one
// BpSystem with its port functions; tests and benchmarks fill it with a
// simulated line. Nothing here includes <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define BP_CALL __stdcall
#else
#define BP_CALL
#endif

// A character read result meaning "nothing arrived".
constexpr int kBpNoChar = 65535;

// Port error codes the protocol reacts to.
constexpr int kPortErrSend = 514;
constexpr int kPortErrLost = 523;

struct BpPortOps {
  int (*bufferByte)(void* port, uint8_t byte);  // 1 or 0
  int (*flushBuffer)(void* port);               // 1 when everything was written
  int (*getChar)(void* port);                   // byte or kBpNoChar, no waiting
  int (*waitChar)(void* port, int seconds);     // byte or kBpNoChar
  int (*getError)(void* port);                  // last port error, 0 for none
  uint32_t (*getSpeed)(void* port);             // line speed in bits per second
  int (*isQuiet)(void* port);                   // waits send no keep-alive notice
  int (*pollClient)(void* port);                // non-zero: the client asks to stop
  void (*setClientWindow)(void* port, void* window);
  char* (*errorText)(void* port);  // owned text (BpSystem::memFree) or null
};

// Files by handle, -1 for none; names are the client's or sanitised host names.
struct BpFileOps {
  int (*open)(const char* name, int mode);  // mode 2 read, 3 read and write
  int (*create)(const char* name);          // created anew, emptied if it exists
  int (*exists)(const char* name);
  int (*read)(int handle, void* buffer, unsigned count);         // count or -1
  int (*write)(int handle, const void* buffer, unsigned count);  // count or -1
  long (*size)(int handle);                                      // or -1
  int (*seekEnd)(int handle);                                    // 1 or 0
  int (*close)(int handle);
  int (*remove)(const char* name);
};

struct BpSystem {
  BpPortOps port;
  BpFileOps file;
  // SendMessage(window, WM_USER, code, lParam) in the DLL.
  intptr_t (*notify)(void* window, unsigned code, intptr_t lParam);
  uint32_t (*ticks)();             // milliseconds, wrapping
  void* (*memAlloc)(size_t size);  // zero-filled
  void (*memFree)(void* block);
  // Text of a message id into the buffer, its length or 0; when absent or
  // without the text, the built-in English texts serve.
  int (*loadText)(unsigned id, char* buffer, int size);
};

// The system in force; starts with stdio files, calloc/free and no port.
const BpSystem& BpSys();
void BpSetSystem(const BpSystem& system);
// Stdio-backed files, usable by any system.
BpFileOps BpStdioFileOps();

// Client notices.
intptr_t BpNotify(void* window, unsigned code, intptr_t lParam);
// Keep-alive (513) unless the port is quiet.
void BpPing(void* window, void* port);

char* BpStrDup(const char* text);
// Deadlines on the system clock; compared as signed so wrap-around is harmless.
uint32_t BpDeadline(uint32_t milliseconds);
bool BpPassed(uint32_t deadline);
