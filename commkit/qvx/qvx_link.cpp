// The QVX link: start-up line, packets, the link-control functions handled
// while a reply is awaited or the link is polled or held, and the link's
// errors and notices.
#include "commkit/qvx/qvx_link.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "commkit/qvx/qvx_internal.h"

namespace {

void NoMessages() {}
void NoYield() {}
void NoDebugOutput(const char*) {}
void NoQuiet(void*, int) {}
}  // namespace
const QvxHooks kDefaultQvxHooks{NoMessages, NoYield, NoDebugOutput, NoQuiet};
QvxHooks g_qvxHooks = kDefaultQvxHooks;
namespace {

const BpSystem& S() { return BpSys(); }

constexpr uint8_t ACK = 6, ESC = 27;

const char* const kErrorTexts[] = {
    "Out of memory",
    "Protocol timed out",
    "Application requested abort",
    "Application requested immediate abort",
    "Unexpected protocol packet received",
    "Protocol transport error",
    "Packet overflow detected",
    "Packet underflow detected",
    "Failure packet detected",
};

uint32_t Now() { return S().ticks ? S().ticks() : 0; }

int GetChar(void* port) { return port && S().port.getChar ? S().port.getChar(port) : kBpNoChar; }
int PortError(void* port) { return port && S().port.getError ? S().port.getError(port) : 0; }

bool Flush(void* port) { return port && S().port.flushBuffer && S().port.flushBuffer(port); }

// A character written and pushed out, retried until `seconds` pass.
bool PutCharWait(void* port, uint8_t c, int seconds) {
  if (!port || !S().port.bufferByte) return false;
  uint32_t deadline = BpDeadline(uint32_t(seconds) * 1000);
  if (!S().port.bufferByte(port, c)) return false;
  while (!Flush(port)) {
    if (BpPassed(deadline) || PortError(port) == kPortErrLost) return false;
    g_qvxHooks.yield();
  }
  return true;
}

bool WriteText(void* port, const char* text) {
  if (!port || !S().port.bufferByte) return false;
  for (const char* p = text; *p; ++p)
    if (!S().port.bufferByte(port, uint8_t(*p))) return false;
  return Flush(port);
}

int PollAbort(BpLinkSession* link) {
  auto* s = static_cast<QvxSession*>(link->owner);
  return s ? QvxPollClient(s) : 0;
}
void Idle(BpLinkSession*) { g_qvxHooks.yield(); }

bool IsNoticeFunction(uint8_t function) {
  switch (function) {
    case 215:
    case 218:
    case 220:
    case 222:
    case 236:
    case 240:
    case 245: return true;
    default: return false;
  }
}

// An unsolicited packet of the notice class, or class 1's function 50.
bool DeliverUnsolicited(QvxSession* s) {
  if (s->packetClass == s->noticeClass && IsNoticeFunction(s->packetFunction)) {
    if (s->callback)
      s->callback(s);
    else
      QvxNotify(s, 1287, s->packetFunction);
    return true;
  }
  if (s->packetClass == 1 && s->packetFunction == 50) {
    QvxNotify(s, 1295, 0);
    return true;
  }
  return false;
}

// Keep-alive from the host: the client sees the running count and may stop.
bool CountKeepAlive(QvxSession* s) {
  uint32_t count = ++s->keepAlives;
  QvxNotify(s, 1285, reinterpret_cast<intptr_t>(&count));
  if (count) return true;
  s->error = kQvxErrImmediateAbort;
  return false;
}

void NotifyOutOfTurn(QvxSession* s, uint8_t referred, int32_t* answer) {
  char* text = QvxGetString(s);
  QvxTextNotice notice{text, referred, 0};
  QvxNotify(s, 1283, reinterpret_cast<intptr_t>(&notice));
  *answer = notice.answer;
  BpSys().memFree(text);
}

void NotifyFunction28(QvxSession* s) {
  uint8_t byte = QvxGetByte(s);
  char* text = QvxGetString(s);
  QvxTextNotice notice{text, byte, 0};
  QvxNotify(s, 1284, reinterpret_cast<intptr_t>(&notice));
  BpSys().memFree(text);
}

void GoInactive(QvxSession* s, intptr_t why) {
  s->active = 0;
  QvxNotify(s, 1282, why);
}

bool RestartTransport(QvxSession* s) {
  QvxSendAck(s, s->packetClass, 12);
  QvxBpClose(&s->link);
  s->active = 0;
  s->link.error = 0;
  if (!QvxBpStart(&s->link)) {
    s->error = kQvxErrTransport;
    return false;
  }
  s->active = 1;
  QvxNotify(s, 1289, 0);
  return true;
}

enum class Step { kSuccess, kFail, kGoOn };

// One control function (below 32) received while awaiting reply P to
// request R; `wait` is the next receive's wait, changed by a restart.
Step AwaitControl(QvxSession* s, uint8_t& cls, uint8_t& request, uint8_t& reply, int& wait) {
  uint8_t function = s->packetFunction;
  switch (function) {
    case 1:
    case 4:
    case 5: {
      s->referredFunction = QvxGetByte(s);
      if (function == reply && s->referredFunction == request) return Step::kSuccess;
      if (function == 4) {
        int32_t answer = 0;
        NotifyOutOfTurn(s, s->referredFunction, &answer);
        if (answer) return Step::kGoOn;
      }
      s->error = kQvxErrUnexpected;
      return Step::kFail;
    }
    case 2:
      QvxReadFailure(s);
      if (s->referredFunction != reply) QvxNotifyFailure(s);
      return Step::kFail;
    case 3: GoInactive(s, 1); return Step::kFail;
    case 6: QvxAnswerQuery(s); return Step::kGoOn;
    case 7: GoInactive(s, 2); return Step::kFail;
    case 8: {
      QvxAnswer8(s);
      // The wait goes on from where it was.
      uint32_t left = s->deadline - Now();
      wait = int32_t(left) > 0 ? int((left + 999) / 1000) : 0;
      return Step::kGoOn;
    }
    case 11:
      if (reply == 11) return Step::kSuccess;
      GoInactive(s, 0);
      return Step::kFail;
    case 12:
      if (!RestartTransport(s)) return Step::kFail;
      wait = s->timeoutSeconds * 8;
      return Step::kGoOn;
    case 16: return CountKeepAlive(s) ? Step::kGoOn : Step::kFail;
    case 19: QvxReadNotice19(s); return Step::kGoOn;
    case 20: {
      int choice = QvxRunHostMenu(s);
      if (choice == 3) {
        // The host is asked for the session again; its acknowledgement is
        // the reply now awaited.
        if (!QvxSendControl(s, cls, 11, nullptr, 0)) return Step::kFail;
        request = 11;
        reply = 1;
        return Step::kGoOn;
      }
      if (choice == 4 || choice == 5) {
        QvxStop(s, choice == 5);
        return Step::kSuccess;
      }
      return Step::kGoOn;
    }
    case 22: QvxAnswerListQuery(s); return Step::kGoOn;
    case 28: NotifyFunction28(s); return Step::kGoOn;
    case 29: QvxNotify(s, 1288, s->packetClass); return Step::kGoOn;
    default:
      if (function == reply) return Step::kSuccess;
      s->error = kQvxErrUnexpected;
      return Step::kFail;
  }
}

int AwaitLoop(QvxSession* s, uint8_t cls, uint8_t request, uint8_t reply) {
  int wait = s->timeoutSeconds;
  for (;;) {
    s->linkState = 1;
    s->deadline = Now() + uint32_t(wait) * 1000;
    if (!QvxReceivePacket(s, wait)) return 0;
    wait = s->timeoutSeconds;
    if (s->packetFunction >= 32) {
      if (s->packetClass == cls && s->packetFunction == reply) return 1;
      if (DeliverUnsolicited(s)) continue;
      s->error = kQvxErrUnexpected;
      return 0;
    }
    switch (AwaitControl(s, cls, request, reply, wait)) {
      case Step::kSuccess: return 1;
      case Step::kFail: return 0;
      case Step::kGoOn: break;
    }
  }
}

void PollControl(QvxSession* s) {
  switch (s->packetFunction) {
    case 2:
      QvxReadFailure(s);
      QvxNotifyFailure(s);
      break;
    case 3: GoInactive(s, 1); break;
    case 4: {
      s->referredFunction = QvxGetByte(s);
      int32_t answer = 0;
      NotifyOutOfTurn(s, s->referredFunction, &answer);
      if (!answer) s->reparse = 1;
      break;
    }
    case 5: QvxNotify(s, 1282, 3); break;
    case 6: QvxAnswerQuery(s); break;
    case 7: GoInactive(s, 2); break;
    case 8: QvxAnswer8(s); break;
    case 11: QvxNotify(s, 1282, 0); break;
    case 19: QvxReadNotice19(s); break;
    case 20: {
      int choice = QvxRunHostMenu(s);
      if (choice == 3) {
        if (QvxSendControl(s, s->packetClass, 11, nullptr, 0)) AwaitLoop(s, s->packetClass, 11, 1);
      } else if (choice == 4 || choice == 5) {
        QvxStop(s, choice == 5);
      }
      break;
    }
    case 22: QvxAnswerListQuery(s); break;
    case 28: NotifyFunction28(s); break;
    default: s->reparse = 1; break;
  }
}

char* TextOfCode(uint16_t code) {
  char buffer[256] = {};
  if (S().loadText && S().loadText(code, buffer, sizeof buffer) > 0) return BpStrDup(buffer);
  if (code >= 1280 && code <= 1288) return BpStrDup(kErrorTexts[code - 1280]);
  return nullptr;
}

}  // namespace

intptr_t QvxNotify(QvxSession* s, unsigned code, intptr_t lParam) { return BpNotify(s->window, code, lParam); }

bool QvxSendControl(QvxSession* s, uint8_t cls, uint8_t function, const uint8_t* bytes, unsigned count,
                    const char* text, bool withText) {
  if (!s) return false;
  if (!s->active || !s->link.queue) {
    s->error = kQvxErrTransport;
    return false;
  }
  uint8_t buffer[kQvxBufferSize];
  qvx::Writer w;
  qvx::Begin(w, buffer, sizeof buffer);
  qvx::WriteByte(w, cls);
  qvx::WriteByte(w, function);
  for (unsigned i = 0; i < count; ++i) qvx::WriteByte(w, bytes[i]);
  if (withText) {
    if (s->strings8)
      qvx::WriteString8(w, text);
    else
      qvx::WriteText6(w, text, s->chars8 != 0);
  }
  if (w.error) {
    s->error = w.error;
    return false;
  }
  s->sending = 1;
  int failed = QvxBpSend(&s->link, buffer, w.length);
  s->sending = 0;
  if (failed) {
    s->error = kQvxErrTimeout;
    return false;
  }
  return true;
}

char* QvxOwnedCopy(const std::string& text) {
  if (text.empty()) return nullptr;
  auto* copy = static_cast<char*>(S().memAlloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void QvxNoteReadError(QvxSession* s) {
  if (s->reader.error && !s->error) s->error = s->reader.error;
}

extern "C" {

QvxSession* BP_CALL QvxCreate(void* window) {
  auto* s = static_cast<QvxSession*>(S().memAlloc(sizeof(QvxSession)));
  if (!s) return nullptr;
  s->window = window;
  s->timeoutSeconds = 120;
  s->link.window = window;
  s->link.timeoutSeconds = 120;
  s->link.owner = s;
  s->link.pollAbort = PollAbort;
  s->link.idle = Idle;
  qvx::Begin(s->writer, s->request, kQvxBufferSize);
  qvx::BeginRead(s->reader, s->receive, 0);
  return s;
}

void BP_CALL QvxDestroy(QvxSession* s) {
  if (!s) return;
  if (s->link.engine) QvxBpClose(&s->link);
  S().memFree(s->failureText);
  S().memFree(s->class1Text);
  S().memFree(s->decodedText);
  S().memFree(s);
}

int BP_CALL QvxStart(QvxSession* s, void* port, uint8_t capability, uint8_t mode) {
  if (!s) return kQvxStartRefused;
  s->port = port;
  s->link.port = port;
  s->packetClass = capability;
  s->transportVersion = 1;
  int coding = (s->chars8 ? 2 : 0) + (s->strings8 ? 1 : 0);
  char line[64];
  std::snprintf(line, sizeof line, "#%d,%d,%d,%d,%d,%d;", capability, mode, s->transportVersion, 4, coding,
                s->startupOption);
  unsigned sum = 0;
  for (const char* p = line; *p; ++p) {
    if (!PutCharWait(port, uint8_t(*p), 10)) return kQvxStartLost;
    sum += uint8_t(*p);
  }
  char sumText[16];
  std::snprintf(sumText, sizeof sumText, "%u\r", sum);
  if (!WriteText(port, sumText)) return kQvxStartLost;

  uint32_t deadline = BpDeadline(uint32_t(s->timeoutSeconds) * 1000);
  int state = 0;
  for (;;) {
    int c = GetChar(port);
    if (c == kBpNoChar) {
      if (PortError(port) == kPortErrLost) return kQvxStartLost;
      if (BpPassed(deadline)) return kQvxStartNoAnswer;
      // The client can always end the wait, even before the host answers.
      if (QvxPollClient(s)) return kQvxStartAborted;
      g_qvxHooks.yield();
      continue;
    }
    c &= 0x7F;
    if (c == ACK && state == 0) {
      s->link.window = s->window;
      s->link.timeoutSeconds = s->timeoutSeconds;
      s->link.blockSize = s->blockSize;
      s->link.error = 0;
      s->active = QvxBpStart(&s->link);
      if (!s->active &&
          (s->link.error == kQvxErrAbort || s->error == kQvxErrAbort || s->error == kQvxErrImmediateAbort))
        return kQvxStartAborted;
      return s->active ? kQvxStartUp : kQvxStartNoTransport;
    }
    if (c == NAK && state == 0) return kQvxStartRefused;
    if (c == ESC && state == 0)
      state = 1;
    else if (c == '[' && state <= 1)
      state = 2;
    else if (c == '>' && state == 2)
      return kQvxStartHostQuery;
    else
      state = 0;
  }
}

int BP_CALL QvxPoll(QvxSession* s) {
  if (!s || s->busy) return 0;
  s->busy = 1;
  int handled = 0;
  if (QvxReceivePacket(s, 0)) {
    handled = 1;
    if (s->packetFunction >= 32) {
      if (!DeliverUnsolicited(s)) s->reparse = 1;
    } else {
      PollControl(s);
    }
  } else if (s->error == kQvxErrTimeout) {
    s->error = 0;
  }
  s->linkState = 0;
  s->busy = 0;
  return handled;
}

void BP_CALL QvxStop(QvxSession* s, int final) {
  if (!s || !s->active) return;
  QvxSendControl(s, s->packetClass, final ? 7 : 3, nullptr, 0);
  s->active = 0;
  QvxBpClose(&s->link);
}

int BP_CALL QvxSendAck(QvxSession* s, uint8_t cls, uint8_t function) { return QvxSendControl(s, cls, 1, &function, 1); }

int BP_CALL QvxSendFailure(QvxSession* s, uint8_t cls, uint8_t function, uint8_t code, const char* text) {
  uint8_t bytes[2] = {function, code};
  return QvxSendControl(s, cls, 2, bytes, 2, text, text != nullptr);
}

char* BP_CALL QvxGetPrefix(QvxSession* s) { return s ? BpStrDup(s->prefix) : nullptr; }

char* BP_CALL QvxQualifyName(QvxSession* s, const char* name) {
  if (!s || !name) return nullptr;
  std::string qualified = std::strchr(name, ':') ? std::string(name) : std::string(s->prefix) + name;
  auto* copy = static_cast<char*>(S().memAlloc(qualified.size() + 1));
  if (!copy) {
    s->error = kQvxErrMemory;
    return nullptr;
  }
  std::memcpy(copy, qualified.c_str(), qualified.size() + 1);
  return copy;
}

void BP_CALL QvxSetPrefix(QvxSession* s, const char* text) {
  if (!s || !text) return;
  size_t n = std::strlen(text);
  if (n > 3) return;
  std::memcpy(s->prefix, text, n);
  s->prefix[n] = ':';
  s->prefix[n + 1] = 0;
}

void BP_CALL QvxSetPrefixFrom(QvxSession* s, const char* text) {
  if (!s || !text) return;
  for (size_t i = 0; i < 4 && text[i]; ++i) {
    if (text[i] != ':') continue;
    std::memcpy(s->prefix, text, i + 1);
    s->prefix[i + 1] = 0;
    return;
  }
}

int BP_CALL QvxSelectClass(QvxSession* s, uint8_t cls, uint8_t a, uint8_t b, uint8_t c) {
  if (!s) return 0;
  uint8_t bytes[3] = {a, b, c};
  int sent = QvxSendControl(s, cls, 10, bytes, cls == 0 ? 3 : 1);
  s->packetClass = cls;
  if (cls == 0 && s->active) {
    s->active = 0;
    QvxBpClose(&s->link);
  }
  return sent;
}

int BP_CALL QvxRequest11(QvxSession* s, uint8_t cls) {
  if (!QvxSendControl(s, cls, 11, nullptr, 0)) return 0;
  return QvxAwaitReply(s, cls, 11, 1);
}

int BP_CALL QvxAcceptSession(QvxSession* s, uint8_t cls, uint8_t* byte, char** text) {
  if (!s) return 0;
  if (!s->active) {
    if (!PutCharWait(s->port, ACK, 10) || !PutCharWait(s->port, ACK, 10)) {
      s->error = kQvxErrTransport;
      return 0;
    }
    s->link.port = s->port;
    s->link.window = s->window;
    s->link.timeoutSeconds = s->timeoutSeconds;
    s->link.blockSize = s->blockSize;
    if (!QvxBpStart(&s->link)) {
      s->error = s->link.error ? s->link.error : uint16_t(kQvxErrTransport);
      return 0;
    }
    s->active = 1;
  }
  if (!QvxAwaitReply(s, cls, 0, 11)) {
    if (s->error == kQvxErrTimeout) s->active = 0;
    return 0;
  }
  uint8_t value = QvxGetByte(s);
  char* string = QvxGetString(s);
  if (byte) *byte = value;
  if (text)
    *text = string;
  else
    S().memFree(string);
  return QvxSendAck(s, cls, 11);
}

int BP_CALL QvxHold(QvxSession* s, uint8_t cls) {
  if (!s) return 0;
  QvxSafeToRead(s);
  if (!QvxSendControl(s, cls, 15, nullptr, 0)) return 0;
  s->linkState = 2;
  s->link.linkState = 2;
  s->busy = 1;
  int held = 0;
  int wait = std::max(1, s->timeoutSeconds / 2);
  for (;;) {
    if (!QvxReceivePacket(s, wait)) {
      if (s->error == kQvxErrAbort || s->error == kQvxErrImmediateAbort) {
        s->error = 0;
        continue;
      }
      break;
    }
    if (s->packetFunction == 1) {
      if (QvxGetByte(s) == 15) {
        held = 1;
        break;
      }
    } else if (s->packetFunction == 7) {
      GoInactive(s, 2);
      held = 1;
      break;
    } else if (s->packetFunction == 16) {
      if (!CountKeepAlive(s)) break;
    }
  }
  s->linkState = 0;
  s->link.linkState = 0;
  s->busy = 0;
  return held;
}

int BP_CALL QvxSend17(QvxSession* s, uint8_t cls, uint8_t byte) { return QvxSendControl(s, cls, 17, &byte, 1); }

int BP_CALL QvxPollClient(QvxSession* s) {
  if (!s) return 0;
  int32_t savedBusy = s->busy;
  s->busy = 1;
  bool idleAbort = s->error == kQvxErrAbort, immediateAbort = s->error == kQvxErrImmediateAbort;
  int32_t answer = 0;
  if (s->linkState == 0) {
    QvxNotify(s, 1280, reinterpret_cast<intptr_t>(&answer));
    if (answer) idleAbort = true;
  } else if (s->linkState == 1) {
    QvxNotify(s, 1281, reinterpret_cast<intptr_t>(&answer));
    if (answer) immediateAbort = true;
  }
  BpPing(s->window, s->port);
  if (immediateAbort)
    s->error = kQvxErrImmediateAbort;
  else if (idleAbort)
    s->error = kQvxErrAbort;
  s->busy = savedBusy;
  return idleAbort || immediateAbort;
}

int BP_CALL QvxReceivePacket(QvxSession* s, int waitSeconds) {
  if (!s) return 0;
  if (!s->active || !s->link.queue) {
    s->error = kQvxErrTransport;
    return 0;
  }
  if (s->sending) return 0;
  if (s->reparse) {
    s->reparse = 0;
  } else {
    g_qvxHooks.setPortQuiet(s->port, waitSeconds == 0);
    s->link.error = 0;
    s->link.linkState = s->linkState;
    long n = QvxBpReceive(&s->link, s->receive, sizeof s->receive, waitSeconds);
    g_qvxHooks.setPortQuiet(s->port, 0);
    if (n < 0) {
      if (s->error != kQvxErrAbort && s->error != kQvxErrImmediateAbort)
        s->error = s->link.error ? s->link.error : uint16_t(kQvxErrTransport);
      return 0;
    }
    s->receivedLength = uint16_t(n);
  }
  qvx::BeginRead(s->reader, s->receive, s->receivedLength);
  if (s->receivedLength < 2) {
    s->error = kQvxErrUnderflow;
    return 0;
  }
  s->packetClass = qvx::ReadByte(s->reader);
  s->packetFunction = qvx::ReadByte(s->reader);
  return 1;
}

void BP_CALL QvxAnswerQuery(QvxSession* s) {
  if (!s) return;
  uint8_t b = QvxGetByte(s);
  uint32_t flag = b & 0x80, value = b & 0x7F;
  QvxWordsNotice notice{0, (value << 16) | flag, 1, s};
  QvxNotify(s, 1286, reinterpret_cast<intptr_t>(&notice));
  uint8_t six = 6;
  if (notice.word2 || !flag) {
    QvxSendControl(s, s->packetClass, 1, &six, 1);
  } else {
    uint8_t bytes[2] = {6, 0};
    QvxSendControl(s, s->packetClass, 2, bytes, 2, "", true);
  }
}

int BP_CALL QvxAwaitReply(QvxSession* s, uint8_t cls, uint8_t request, uint8_t reply) {
  if (!s || s->error) return 0;
  QvxSafeToRead(s);
  if (s->busy) {
    s->error = kQvxErrUnexpected;
    return 0;
  }
  s->busy = 1;
  int result = AwaitLoop(s, cls, request, reply);
  s->linkState = 0;
  s->link.linkState = 0;
  s->busy = 0;
  return result;
}

void BP_CALL QvxNotifyFailure(QvxSession* s) {
  if (!s) return;
  if (s->packetClass == 3 && s->referredFunction == 137) {
    QvxNotify(s, 1290, 0);
    return;
  }
  QvxWordsNotice notice{0, s->packetClass, s->referredFunction, s};
  QvxNotify(s, 1297, reinterpret_cast<intptr_t>(&notice));
}

void BP_CALL QvxReadFailure(QvxSession* s) {
  if (!s) return;
  s->referredFunction = QvxGetByte(s);
  s->failureCode = QvxGetByte(s);
  S().memFree(s->failureText);
  s->failureText = QvxGetString(s);
  s->error = kQvxErrFailure;
}

void BP_CALL QvxReadNotice19(QvxSession* s) {
  if (!s) return;
  uint8_t b = QvxGetByte(s);
  uint32_t code = b, number = 0, value = 0;
  if (b & 0x80) {
    code = b | uint32_t(QvxGetByte(s)) << 8;
    number = QvxGetShortNumber(s);
    value = QvxGetLong(s);
  }
  QvxWordsNotice notice{number, code, value, s};
  QvxNotify(s, 1294, reinterpret_cast<intptr_t>(&notice));
}

void BP_CALL QvxAnswer8(QvxSession* s) {
  if (!s) return;
  uint8_t b = QvxGetByte(s);
  int32_t level;
  switch (b) {
    case 1:
    case 7: level = 3; break;
    case 2: level = 4; break;
    case 3:
    case 9:
    case 10: level = 2; break;
    case 6:
    case 11: level = 1; break;
    case 8: level = 0; break;
    default: level = -1; break;
  }
  QvxWordsNotice notice{0, b, uint32_t(level), s};
  QvxNotify(s, 1296, reinterpret_cast<intptr_t>(&notice));
  level = int32_t(notice.word2);
  if (level >= 1) {
    uint8_t byte = uint8_t(level);
    QvxSendControl(s, s->packetClass, 8, &byte, 1);
  } else {
    uint8_t bytes[2] = {8, 0};
    QvxSendControl(s, s->packetClass, 2, bytes, 2);
  }
}

void BP_CALL QvxSetCallback(QvxSession* s, QvxCallback callback) {
  if (s) s->callback = callback;
}

char* BP_CALL QvxErrorText(QvxSession* s) {
  if (!s || !s->error) return nullptr;
  uint16_t code = s->error;
  s->error = 0;
  s->failureCode = 0;
  if (code >= 1280 && code <= 1288 && code != kQvxErrTransport) {
    if (s->failureText) {
      char* text = s->failureText;
      s->failureText = nullptr;
      return text;
    }
    return TextOfCode(code);
  }
  if (s->link.engine) {
    if (char* text = QvxBpErrorText(&s->link)) return text;
  }
  return TextOfCode(kQvxErrTransport);
}

int BP_CALL QvxSafeToRead(QvxSession* s) {
  if (!s || !s->busy) return 1;
  g_qvxHooks.debugOutput("In PQVXSafeToRead() while it's unsafe.\n\r");
  uint32_t deadline = BpDeadline(uint32_t(s->timeoutSeconds / 5) * 1000);
  while (s->busy && !BpPassed(deadline)) {
    g_qvxHooks.dispatchMessages();
    if (s->busy) g_qvxHooks.yield();
  }
  return !s->busy;
}

// Accessors.
char* BP_CALL QvxGetClass1Text(QvxSession* s) { return s && s->class1Text ? BpStrDup(s->class1Text) : nullptr; }
uint8_t BP_CALL QvxGetPacketClass(QvxSession* s) { return s ? s->packetClass : 0; }
uint8_t BP_CALL QvxGetPacketFunction(QvxSession* s) { return s ? s->packetFunction : 0; }
void BP_CALL QvxSetNoticeClass(QvxSession* s, uint8_t cls) {
  if (s) s->noticeClass = cls;
}
uint8_t BP_CALL QvxGetNoticeClass(QvxSession* s) { return s ? s->noticeClass : 0; }
uint8_t BP_CALL QvxGetFailureCode(QvxSession* s) { return s ? s->failureCode : 0; }
void BP_CALL QvxSetTimeout(QvxSession* s, uint16_t seconds) {
  if (!s) return;
  s->timeoutSeconds = std::max<uint16_t>(seconds, 120);
  s->link.timeoutSeconds = s->timeoutSeconds;
}
uint16_t BP_CALL QvxGetTimeout(QvxSession* s) { return s ? s->timeoutSeconds : 0; }
void BP_CALL QvxSetBytesLeft(QvxSession* s, uint16_t count) {
  // Never past the packet in hand.
  if (s)
    s->reader.length = uint16_t(s->reader.position + std::min<unsigned>(count, s->receivedLength - s->reader.position));
}
uint16_t BP_CALL QvxGetBytesLeft(QvxSession* s) { return s ? s->reader.Left() : 0; }
char* BP_CALL QvxGetRest(QvxSession* s) {
  if (!s) return nullptr;
  uint16_t left = s->reader.Left();
  auto* text = static_cast<char*>(S().memAlloc(size_t(left) + 1));
  if (!text) {
    s->error = kQvxErrMemory;
    return nullptr;
  }
  if (left) std::memcpy(text, s->reader.data + s->reader.position, left);
  s->reader.position = s->reader.length;
  return text;
}
void BP_CALL QvxSetChars8(QvxSession* s, int on) {
  if (s) s->chars8 = on != 0;
}
int BP_CALL QvxGetChars8(QvxSession* s) { return s ? s->chars8 : 0; }
void BP_CALL QvxSetStrings8(QvxSession* s, int on) {
  if (s) s->strings8 = on != 0;
}
int BP_CALL QvxGetStrings8(QvxSession* s) { return s ? s->strings8 : 0; }
void BP_CALL QvxSetClientValue(QvxSession* s, uint16_t value) {
  if (s) s->clientValue = value;
}
uint16_t BP_CALL QvxGetClientValue(QvxSession* s) { return s ? s->clientValue : 0; }
void* BP_CALL QvxGetPort(QvxSession* s) { return s ? s->port : nullptr; }
void BP_CALL QvxSetEngine(QvxSession* s, BpEngine* engine) {
  if (s) s->link.engine = engine;
}
BpEngine* BP_CALL QvxGetEngine(QvxSession* s) { return s ? s->link.engine : nullptr; }
uint16_t BP_CALL QvxGetError(QvxSession* s) { return s ? s->error : uint16_t(kQvxErrMemory); }
int BP_CALL QvxHasError(QvxSession* s) { return !s || s->error; }
uint8_t BP_CALL QvxGetClass1Byte(QvxSession* s) { return s ? s->class1Byte : 0; }
uint16_t BP_CALL QvxGetBlockSize(QvxSession* s) { return s ? s->blockSize : 0; }
void BP_CALL QvxSetBlockSize(QvxSession* s, uint16_t size) {
  if (!s) return;
  s->blockSize = size;
  s->link.blockSize = size;
}
int BP_CALL QvxIsBusy(QvxSession* s) { return s ? s->busy : 0; }
void BP_CALL QvxSetPreferFunction20(QvxSession* s, int on) {
  if (s) s->preferFunction20 = on != 0;
}
int BP_CALL QvxGetPreferFunction20(QvxSession* s) { return s ? s->preferFunction20 : 0; }

}  // extern "C"
