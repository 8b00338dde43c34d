// Host-initiated B-protocol file transfer ("TD"/"TU") with resume, and the
// plain receive of a stream of data packets.
#pragma once
#include <cstddef>
#include <cstdint>

#include "commkit/bp/bp_engine.h"

constexpr unsigned kBpNameSize = 64;  // at most 63 characters of the host's name

struct BpTransfer {
  BpEngine* engine;
  uint16_t status;   // 0, an error, 1040 after a "+" exchange, or a failure letter
  uint8_t failCode;  // the host's failure letter
  char* failText;    // the host's failure text (owned)
  int file;          // -1 for none
  char* name;        // kBpNameSize bytes while a transfer runs
  void* window;
  void* port;
};

struct BpReceiver {
  BpEngine* engine;
  uint16_t length;  // data bytes of the current packet
  uint16_t status;
  uint8_t* data;    // data of the current packet, after its type byte
  uint8_t* packet;  // the current packet buffer
  void* window;
  void* port;
};

// Notice 1028 (and 1035/1036): the client may replace the name and answers.
struct BpNameQuery {
  char* name;
  int32_t asking;
  int32_t answer;
  BpTransfer* transfer;
};

// Notices 1039 (read) and 1040 (write). A count left above 65535 lets the
// toolbox do the file access itself.
struct BpFileHook {
  uint8_t* buffer;
  int32_t handle;
  int32_t count;
  BpEngine* engine;
};

// Makes a host-supplied file name safe to use in the download directory:
// only its last component, no "..", no device names, no reserved characters.
void BpSafeHostName(const char* hostName, char* out, size_t outSize);
