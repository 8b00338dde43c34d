// Host-initiated file transfer and plain receive over a B-protocol engine.
#include "commkit/bp/bp_transfer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "commkit/bp/bp_check.h"

namespace {

const BpSystem& S() { return BpSys(); }

int WaitChar(void* port, int seconds) {
  return port && S().port.waitChar ? S().port.waitChar(port, seconds) : kBpNoChar;
}
int PortError(void* port) { return port && S().port.getError ? S().port.getError(port) : 0; }

intptr_t AskWord(void* window, unsigned code) {
  int32_t word = 0;
  BpNotify(window, code, reinterpret_cast<intptr_t>(&word));
  return word;
}

// Reads the next packet, waiting up to `seconds` for each character.
// 0 for a packet, -1 for a silent line, -2 for a lost connection.
int ReadPacketRaw(BpEngine* e, int seconds, int ack, uint16_t* length, uint8_t** packet) {
  for (;;) {
    if (e->ringReady) {
      BpTakePacket(e, ack, length, packet);
      return 0;
    }
    int c = WaitChar(e->port, seconds);
    if (c == kBpNoChar) return PortError(e->port) == kPortErrLost ? -2 : -1;
    BpFeed(e, c);
    BpCheckAckTimer(e);
  }
}

void CloseFile(BpTransfer* t) {
  if (t->file >= 0) S().file.close(t->file);
  t->file = -1;
}

// The reason goes to the client with notice 1027 and, as a letter, to the
// host; the engine itself is left with 1028 (the transfer failed) and the
// transfer's status with the letter.
void Fail(BpTransfer* t, uint16_t error, char letter) {
  BpEngine* e = t->engine;
  e->error = error;
  const char* text = BpErrorString(error);
  BpNotify(t->window, 1027, reinterpret_cast<intptr_t>(text));
  if (letter) BpSendFailure(e, letter, text);
  e->error = kBpErrProtocol;
  t->status = letter ? uint16_t(uint8_t(letter)) : error;
  CloseFile(t);
}

bool ReadFailed(BpTransfer* t, int result) {
  if (result == 0) return false;
  BpEngine* e = t->engine;
  t->status = kBpErrNotResponding;
  BpNotify(t->window, 1027, reinterpret_cast<intptr_t>(BpErrorString(kBpErrNotResponding)));
  e->error = result == -2 ? kBpErrLost : kBpErrTimeout;
  return true;
}

// Read and write hooks: the client may do the file access itself.
int FileHook(BpTransfer* t, unsigned code, uint8_t* buffer, unsigned count) {
  BpFileHook hook{buffer, t->file, int32_t(count + 65536), t->engine};
  BpNotify(t->window, code, reinterpret_cast<intptr_t>(&hook));
  if (hook.count > 65535) {
    if (t->file < 0) return -1;
    return code == 1039 ? S().file.read(t->file, buffer, count) : S().file.write(t->file, buffer, count);
  }
  return hook.count;
}

void TypeNotices(BpTransfer* t, bool binary, int direction) {
  BpNotify(t->window, 1032, binary ? 1 : 0);
  BpNotify(t->window, 1033, direction);
  BpNotify(t->window, 1034, t->engine->method);
}

// Waits until every sent packet is acknowledged.
bool DrainAcks(BpEngine* e, int seconds) {
  while (e->outstanding) {
    int c = WaitChar(e->port, seconds);
    if (c == kBpNoChar) return false;
    BpFeed(e, c);
    BpCheckAckTimer(e);
  }
  return true;
}

// The name the host gave, unless the client replaced it: kept inside the
// download directory.
void FinalName(BpTransfer* t, const char* hostName) {
  if (std::strncmp(t->name, hostName, kBpNameSize) != 0) {
    t->name[kBpNameSize - 1] = 0;
    return;
  }
  BpSafeHostName(hostName, t->name, kBpNameSize);
}

bool Resume(BpTransfer* t, bool binary) {
  BpEngine* e = t->engine;
  TypeNotices(t, binary, 4);
  e->sendCheck = BpCheckInitial(e->method);
  uint16_t reg = e->sendCheck;
  long total = 0;
  uint8_t block[kBpMaxPacketSize];
  unsigned piece = std::max<unsigned>(e->packetSize, 2) - 1;
  uint32_t keepAlive = BpDeadline(3000);
  for (;;) {
    int n = FileHook(t, 1039, block, piece);
    if (n < 0) {
      Fail(t, kBpErrFile, 'I');
      return false;
    }
    if (n == 0) break;
    n = std::min<int>(n, int(piece));
    reg = BpCheckBlock(e->method, reg, block, size_t(n));
    total += n;
    if (AskWord(t->window, 1024)) {
      Fail(t, kBpErrCancelled, 'A');
      return false;
    }
    BpNotify(t->window, 1030, n);
    if (BpPassed(keepAlive)) {  // a long check must not let the host time out
      BpSendWait(e);
      BpPing(t->window, t->port);
      keepAlive = BpDeadline(3000);
    }
  }
  e->sendCheck = reg;
  char text[48];
  std::snprintf(text, sizeof text, "Tr%ld %u", total, unsigned(reg));
  if (!BpSendPacket(e, reinterpret_cast<const uint8_t*>(text), unsigned(std::strlen(text))) || !DrainAcks(e, 15)) {
    Fail(t, kBpErrResume, 0);
    return false;
  }
  S().file.seekEnd(t->file);
  TypeNotices(t, binary, 2);
  return true;
}

void CancelDownload(BpTransfer* t) {
  Fail(t, kBpErrCancelled, 'A');
  BpEngine* e = t->engine;
  for (;;) {
    int c = WaitChar(e->port, 15);
    if (c == kBpNoChar) return;
    if (BpFeed(e, c) && e->state == 0) return;
  }
}

int Download(BpTransfer* t, bool binary, const char* hostName) {
  BpEngine* e = t->engine;
  BpNameQuery query{t->name, 1, 0, t};
  BpNotify(t->window, 1028, reinterpret_cast<intptr_t>(&query));
  FinalName(t, hostName);
  bool resume = false;
  if (!t->name[0]) {
    Fail(t, kBpErrFile, 'C');
    return 0;
  }
  if (S().file.exists(t->name)) {
    query.answer = 0;
    BpNotify(t->window, e->resumeLevel == 2 ? 1035 : 1036, reinterpret_cast<intptr_t>(&query));
    t->name[kBpNameSize - 1] = 0;
    if (query.answer == 2) {
      Fail(t, kBpErrCancelled, 'C');
      return 0;
    }
    resume = query.answer == 1 && e->resumeLevel == 2;
  }
  t->file = resume ? S().file.open(t->name, 3) : S().file.create(t->name);
  if (t->file < 0) {
    Fail(t, kBpErrFile, 'C');
    return 0;
  }
  query.asking = 0;
  BpNotify(t->window, 1028, reinterpret_cast<intptr_t>(&query));
  t->name[kBpNameSize - 1] = 0;

  if (resume) {
    if (!Resume(t, binary)) return 0;
  } else {
    const uint8_t ack[2] = {DLE, uint8_t('0' + e->recvSeq)};
    BpSendSignal(e, ack, 2);
    TypeNotices(t, binary, 0);
  }

  for (;;) {
    if (AskWord(t->window, 1024)) {
      CancelDownload(t);
      return 0;
    }
    uint16_t length = 0;
    uint8_t* packet = nullptr;
    if (ReadFailed(t, ReadPacketRaw(e, 15, 1, &length, &packet))) {
      CloseFile(t);
      return 0;
    }
    int type = length ? packet[0] : -1;
    int sub = length > 1 ? packet[1] : -1;
    int result = -1;  // -1: go on
    if (type == 'F') {
      Fail(t, kBpErrProtocol, 0);
      result = 0;
    } else if (type == 'N') {
      unsigned n = length - 1u;
      int written = n ? FileHook(t, 1040, packet + 1, n) : 0;
      if (written < int(n)) {
        Fail(t, kBpErrFile, 'I');
        result = 0;
      } else {
        BpNotify(t->window, 1030, intptr_t(n));
      }
    } else if (type == 'T' && sub == 'C') {
      CloseFile(t);
      result = 1;
    } else if (type == 'T' && sub == 'I') {
      // A text from the fourth byte, then the size in decimal digits.
      unsigned i = 3;
      while (i < length && packet[i]) ++i;
      ++i;
      long long size = 0;
      for (int digits = 0; i < length && digits < 19 && std::isdigit(packet[i]); ++i, ++digits)
        size = size * 10 + (packet[i] - '0');
      BpNotify(t->window, 1029, intptr_t(size));
    } else if (type == 'T' && sub == 'f') {
      CloseFile(t);
      S().file.remove(t->name);
      t->file = S().file.create(t->name);
      if (t->file < 0) {
        Fail(t, kBpErrFile, 'C');
        result = 0;
      } else {
        TypeNotices(t, binary, 0);
      }
    } else {
      Fail(t, kBpErrBadType, 'N');
      result = 0;
    }
    BpPutBuffer(e, packet);
    if (result >= 0) return result;
  }
}

// Sends one packet, taking in the host's acknowledgements meanwhile. A
// failure packet from the host ends the upload.
bool UploadSend(BpTransfer* t, const uint8_t* bytes, unsigned length) {
  BpEngine* e = t->engine;
  for (;;) {
    if (e->ringReady) {
      uint16_t n = 0;
      uint8_t* packet = nullptr;
      BpTakePacket(e, 1, &n, &packet);
      if (n && packet[0] == 'F') {
        t->status = kBpErrHostAborted;
        t->failCode = n > 1 ? packet[1] : 0;
        S().memFree(t->failText);
        t->failText = BpFailureText(e, 0, n, packet);
        BpPutBuffer(e, packet);
        return false;
      }
      BpPutBuffer(e, packet);
    }
    if (BpSendPacket(e, bytes, length)) return true;
    if (e->error != kBpErrSendFull && !(e->options & kOptWaitAfterEnq)) {
      e->error = kBpErrProtocol;
      return false;
    }
    int c = WaitChar(e->port, 15);
    if (c == kBpNoChar) {
      e->error = kBpErrProtocol;
      return false;
    }
    BpFeed(e, c);
    BpCheckAckTimer(e);
  }
}

int Upload(BpTransfer* t, bool binary, const char* hostName) {
  BpEngine* e = t->engine;
  TypeNotices(t, binary, 1);
  BpNameQuery query{t->name, 1, 1, t};
  BpNotify(t->window, 1028, reinterpret_cast<intptr_t>(&query));
  FinalName(t, hostName);
  query.asking = 0;
  BpNotify(t->window, 1028, reinterpret_cast<intptr_t>(&query));
  t->name[kBpNameSize - 1] = 0;
  t->file = S().file.open(t->name, 2);
  if (t->file < 0) {
    Fail(t, kBpErrFile, 'M');
    return 0;
  }
  BpNotify(t->window, 1029, intptr_t(S().file.size(t->file)));
  const uint8_t ack[2] = {DLE, uint8_t('0' + e->recvSeq)};
  BpSendSignal(e, ack, 2);

  uint8_t packet[kBpMaxPacketSize];
  unsigned piece = std::max<unsigned>(e->packetSize, 2) - 1;
  for (;;) {
    packet[0] = 'N';
    int n = FileHook(t, 1039, packet + 1, piece);
    if (n < 0) {
      Fail(t, kBpErrFile, 'I');
      return 0;
    }
    if (n < 1) break;
    n = std::min<int>(n, int(piece));
    if (!UploadSend(t, packet, unsigned(n) + 1)) {
      if (t->status != kBpErrHostAborted) Fail(t, kBpErrProtocol, 0);
      CloseFile(t);
      return 0;
    }
    if (AskWord(t->window, 1024)) {
      Fail(t, kBpErrCancelled, 'A');
      return 0;
    }
    BpNotify(t->window, 1031, n);
  }
  CloseFile(t);
  const uint8_t done[2] = {'T', 'C'};
  if (!UploadSend(t, done, 2)) {
    e->error = kBpErrProtocol;
    BpNotify(t->window, 1027, reinterpret_cast<intptr_t>(BpErrorString(kBpErrProtocol)));
    return 0;
  }
  return DrainAcks(e, 15) ? 1 : 0;
}

bool IsDeviceName(const char* name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
  char base[16] = {};
  size_t n = 0;
  while (name[n] && name[n] != '.' && name[n] != ' ' && n < sizeof base - 1) {
    base[n] = char(std::toupper(uint8_t(name[n])));
    ++n;
  }
  if (name[n] && name[n] != '.' && name[n] != ' ') return false;  // longer than any device
  for (const char* d : kDevices)
    if (std::strcmp(base, d) == 0) return true;
  if (n == 4 && (std::strncmp(base, "COM", 3) == 0 || std::strncmp(base, "LPT", 3) == 0) && base[3] >= '0' &&
      base[3] <= '9')
    return true;
  return false;
}

}  // namespace

void BpSafeHostName(const char* hostName, char* out, size_t outSize) {
  if (!out || outSize == 0) return;
  out[0] = 0;
  if (outSize < 3) return;
  const char* leaf = hostName ? hostName : "";
  for (const char* p = leaf; *p; ++p)
    if (*p == '/' || *p == '\\' || *p == ':') leaf = p + 1;
  size_t n = 0;
  if (IsDeviceName(leaf)) out[n++] = '_';
  for (const char* p = leaf; *p && n < outSize - 1; ++p) {
    uint8_t c = uint8_t(*p);
    bool bad = c < 32 || c == 127 || std::strchr("<>\"|?*", c);
    out[n++] = bad ? '_' : char(c);
  }
  // Trailing dots and blanks vanish on Windows; a name of dots alone is a directory.
  while (n > 0 && (out[n - 1] == '.' || out[n - 1] == ' ')) --n;
  if (n == 0) out[n++] = '_';
  out[n] = 0;
}

extern "C" {

BpTransfer* BP_CALL BpTransferCreate(void* window, int extendedAllowed, void* port) {
  auto* t = static_cast<BpTransfer*>(S().memAlloc(sizeof(BpTransfer)));
  if (!t) return nullptr;
  t->engine = BpCreate();
  if (!t->engine || !BpInit(t->engine, window, extendedAllowed, port)) {
    BpDestroy(t->engine);
    S().memFree(t);
    return nullptr;
  }
  t->file = -1;
  t->window = window;
  t->port = port;
  return t;
}

void BP_CALL BpTransferFree(BpTransfer* t) {
  if (!t) return;
  CloseFile(t);
  BpDestroy(t->engine);
  S().memFree(t->failText);
  S().memFree(t->name);
  S().memFree(t);
}

BpEngine* BP_CALL BpTransferEngine(BpTransfer* t) { return t ? t->engine : nullptr; }

int BP_CALL BpTransferReadPacket(BpTransfer* t, uint16_t* length, uint8_t** packet) {
  if (!t) return 0;
  return !ReadFailed(t, ReadPacketRaw(t->engine, 15, 1, length, packet));
}

int BP_CALL BpTransferDone(BpTransfer* t) { return t && t->status == kBpFinished; }

int BP_CALL BpTransferRun(BpTransfer* t) {
  if (!t) return 0;
  BpEngine* e = t->engine;
  e->options &= uint16_t(~kOptFullDuplex);
  e->error = 0;
  t->status = 0;
  t->file = -1;
  S().memFree(t->name);
  t->name = static_cast<char*>(S().memAlloc(kBpNameSize));
  if (!t->name) {
    e->error = kBpErrMemory;
    return 0;
  }
  BpFeed(e, DLE);
  BpFeed(e, 'B');
  uint16_t length = 0;
  uint8_t* packet = nullptr;
  // Not acknowledged yet: the answer to a download request depends on
  // whether it resumes.
  if (ReadFailed(t, ReadPacketRaw(e, 15, 0, &length, &packet))) return 0;
  int result = 0;
  int type = length ? packet[0] : -1;
  if (type == 'T') {
    int direction = length > 1 ? packet[1] : 0;
    int kind = length > 2 ? packet[2] : 0;
    if (direction != 'D' && direction != 'U') {
      Fail(t, kBpErrBadDirection, 'N');
    } else if (kind != 'A' && kind != 'B') {
      Fail(t, kBpErrBadTransferType, 'N');
    } else {
      char hostName[kBpNameSize] = {};
      unsigned n = std::min<unsigned>(length > 3 ? length - 3u : 0u, kBpNameSize - 1);
      std::memcpy(hostName, packet + 3, n);
      hostName[n] = 0;
      std::memcpy(t->name, hostName, kBpNameSize);
      BpPutBuffer(e, packet);
      packet = nullptr;
      result = direction == 'U' ? Upload(t, kind == 'B', hostName) : Download(t, kind == 'B', hostName);
    }
    BpPutBuffer(e, packet);
    CloseFile(t);
    // Ready for the next request: the re-init clears the engine's error as a
    // reset does; the reason went out with notice 1027 and stays in the status.
    BpInit(e, t->window, 1, t->port);
  } else if (type == '+') {
    const uint8_t ack[2] = {DLE, uint8_t('0' + e->recvSeq)};
    BpSendSignal(e, ack, 2);
    BpNegotiate(e, packet, length);
    BpPutBuffer(e, packet);
    if (DrainAcks(e, 15)) {
      t->status = kBpFinished;
      result = 1;
    }
  } else {
    BpPutBuffer(e, packet);
    Fail(t, kBpErrBadType, 'N');
  }
  S().memFree(t->name);
  t->name = nullptr;
  return result;
}

BpReceiver* BP_CALL BpReceiverCreate(void* window, int extendedAllowed, void* port) {
  auto* r = static_cast<BpReceiver*>(S().memAlloc(sizeof(BpReceiver)));
  if (!r) return nullptr;
  r->engine = BpCreate();
  if (!r->engine || !BpInit(r->engine, window, extendedAllowed, port)) {
    BpDestroy(r->engine);
    S().memFree(r);
    return nullptr;
  }
  r->window = window;
  r->port = port;
  return r;
}

void BP_CALL BpReceiverFree(BpReceiver* r) {
  if (!r) return;
  if (r->engine) BpPutBuffer(r->engine, r->packet);
  BpDestroy(r->engine);
  S().memFree(r);
}

int BP_CALL BpReceiverRun(BpReceiver* r) {
  if (!r) return 0;
  BpEngine* e = r->engine;
  for (;;) {
    int c = WaitChar(e->port, 10);
    if (c == kBpNoChar) return 5;
    if ((c & 0x7F) == ENQ) break;
  }
  e->options |= kOptExtended;
  BpAnswerEnq(e);
  for (;;) {
    BpPutBuffer(e, r->packet);
    r->packet = nullptr;
    r->data = nullptr;
    r->length = 0;
    uint16_t length = 0;
    int got = ReadPacketRaw(e, 10, 1, &length, &r->packet);
    if (got < 0) {
      r->status = got == -1 ? kBpErrTimeout : kBpErrLost;
      return 0;
    }
    uint8_t* p = r->packet;
    if (length == 0) {
      r->status = 3;
      return 0;
    }
    if (p[0] == '+') {
      BpNegotiate(e, p, length);
      continue;
    }
    if (p[0] == 'L' || p[0] == 'M' || p[0] == 'N') {
      if (AskWord(r->window, 1024)) {
        e->error = kBpErrCancelled;
        BpSendFailure(e, 'A', BpErrorString(kBpErrCancelled));
        r->status = 4;
        return 0;
      }
      r->data = p + 1;
      r->length = uint16_t(length - 1);
      if (!BpNotify(r->window, 1038, reinterpret_cast<intptr_t>(r))) {
        BpSendFailure(e, 'A', BpErrorString(kBpErrCancelled));
        r->status = 6;
        return 0;
      }
      continue;
    }
    if ((p[0] == 'T' && length > 1 && p[1] == 'C') || p[0] == 'z') {
      r->status = 0;
      return 1;
    }
    char* text = BpFailureText(e, 0, length, p);
    S().memFree(text);
    for (;;) {  // let the host see our failure packet before giving up
      int ch = WaitChar(e->port, 10);
      if (ch == kBpNoChar || (BpFeed(e, ch) && e->state == 0)) break;
    }
    r->status = kBpErrProtocol;
    return 0;
  }
}

}  // extern "C"
