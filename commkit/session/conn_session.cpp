// The connection session: creation, the settings accessors, sending and
// waiting on the line, the connection state in dranet.ini and the script
// glue. The logon itself (connect, negotiate, log off) is in conn_logon.cpp.
#include "commkit/session/conn_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "commkit/session/encodings.h"

namespace {

constexpr size_t kCaptureSize = 2048;
constexpr char kStateSection[] = "Connection State";
char g_statusBuffer[256];

void* NoPort(void*) { return nullptr; }
void NoPortDestroy(void*) {}
void NoSetWindow(void*, void*) {}
int NotOpen(void*) { return 0; }
int NoOpen(void*, const PortSettings*) { return 0; }
void NoAction(void*) {}
uint16_t NoStatus(void*) { return 0; }
int Yes(void*) { return 1; }
void NoControl(void*, int) {}
void NoSettings(void*, const PortSettings*) {}
const char* NoName(void*) { return ""; }
void NoLogFile(void*, const char*) {}
void NoMemoryLog(void*, uint32_t) {}
void NoMemoryLogFile(void*, const char*) {}
void DelayByClock(void* window, int seconds) {
  uint32_t deadline = BpDeadline(uint32_t(seconds) * 1000);
  while (!BpPassed(deadline)) {
    BpNotify(window, 513, 0);
    g_qvxHooks.yield();
  }
}
void NoIniGet(const char*, const char*, const char* fallback, char* buffer, int size) {
  if (size > 0) std::snprintf(buffer, size_t(size), "%s", fallback ? fallback : "");
}
int NoIniSet(const char*, const char*, const char*) { return 0; }
void DefaultPlatform(char out[4]) { std::memcpy(out, "W40", 4); }
int NoLoad(ConnSession*, const char*) { return 0; }
void LinkYield() { g_qvxHooks.yield(); }

SessionHooks MakeDefaultHooks() {
  return SessionHooks{
      NoPort,       NoPortDestroy, NoSetWindow, NotOpen,         NoOpen,      NoAction,           NoAction,
      NoStatus,     Yes,           Yes,         NotOpen,         NoControl,   NoControl,          NotOpen,
      NoSettings,   NoName,        NoLogFile,   NotOpen,         NoMemoryLog, NoMemoryLogFile,    NoAction,
      DelayByClock, NoIniGet,      NoIniSet,    DefaultPlatform, NoLoad,      ScriptStdioFiles(), LinkYield};
}
}  // namespace
SessionHooks DefaultSessionHooks() { return MakeDefaultHooks(); }
SessionHooks g_sessionHooks = MakeDefaultHooks();
namespace {

const SessionHooks& H() { return g_sessionHooks; }

void CopyCut(char* destination, size_t width, const char* text) {
  if (!text) text = "";
  size_t n = std::min(std::strlen(text), width - 1);
  std::memcpy(destination, text, n);
  destination[n] = 0;
}

char* Dup(ConnSession* s, const char* text) {
  char* copy = BpStrDup(text ? text : "");
  if (!copy && s) s->error = kConnErrMemory;
  return copy;
}

// The bytes of one send pass through the hidden-text filter: a doubled 0xFF
// toggles a stretch that reaches the line but not the data log.
struct HiddenFilter {
  ConnSession* s;
  int state = 0;  // 0 plain, 1 held 0xFF, 2 hidden, 3 held 0xFF while hidden
  bool paused = false;
  bool stopped = false;

  void Put(uint8_t b) {
    if (!stopped && !BpSys().port.bufferByte(s->port, b)) stopped = true;
  }
  void Feed(uint8_t b) {
    if (stopped) return;
    switch (state) {
      case 0:
        if (b == 0xFF)
          state = 1;
        else
          Put(b);
        break;
      case 1:
        if (b == 0xFF) {
          state = 2;
          if (H().portLogging(s->port)) {
            BpSys().port.flushBuffer(s->port);
            H().portLogControl(s->port, 2);
            paused = true;
          }
        } else {
          Put(0xFF);
          Put(b);
          state = 0;
        }
        break;
      case 2:
        if (b == 0xFF)
          state = 3;
        else
          Put(b);
        break;
      default:
        if (b == 0xFF) {
          BpSys().port.flushBuffer(s->port);
          if (paused) H().portLogControl(s->port, 1);
          paused = false;
          state = 0;
        } else {
          Put(0xFF);
          Put(b);
          state = 2;
        }
        break;
    }
  }
  void Flush() { BpSys().port.flushBuffer(s->port); }
  ~HiddenFilter() {
    if (paused) H().portLogControl(s->port, 1);
  }
};

std::string WithoutHidden(const char* text) {
  std::string out;
  bool hidden = false;
  for (size_t i = 0; text[i]; ++i) {
    if (uint8_t(text[i]) == 0xFF && uint8_t(text[i + 1]) == 0xFF) {
      hidden = !hidden;
      ++i;
      continue;
    }
    if (!hidden) out += text[i];
  }
  return out;
}

uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 32) : c; }

// The session's side of the login-script host table.
ConnSession* Session(void* context) { return static_cast<ConnSession*>(context); }

int ScriptWait(void* context, const char* const* patterns, int count, uint16_t units, std::string* scanned) {
  ConnSession* s = Session(context);
  int got = ConnWaitFor(s, uint16_t(count), units, patterns);
  if (s->capture) scanned->assign(s->capture, s->captureCount);
  return got;
}

void ScriptSend(void* context, int kind, const std::string& text) {
  ConnSession* s = Session(context);
  switch (kind) {
    case kScriptSendRaw: SendRawString(s, text.c_str()); break;
    case kScriptSendChecked: ConnSendChecked(s, text.c_str()); break;
    case kScriptSendControl: SendCtrlString(s, text.c_str()); break;
    default: ConnStatusText(s, text.c_str()); break;
  }
}

struct ClientPortBlock {
  uintptr_t unused0, unused1;
  uint32_t answer;
  ConnSession* session;
};

int ScriptInit(void* context, const std::string& portName, long speed) {
  ConnSession* s = Session(context);
  if (H().portIsClientOwned(s->port)) {
    if (H().portIsOpen(s->port)) {
      ClientPortBlock block{0, 0, 0, s};
      BpNotify(s->window, kNoticeClientPort, reinterpret_cast<intptr_t>(&block));
      if (block.answer == 0) {
        H().portClose(s->port);
        s->error = kConnErrCancelled;
        return -1;
      }
      return 1;
    }
  }
  PortSettings settings = s->settings.port;
  CopyCut(settings.portName, sizeof settings.portName, portName.c_str());
  if (speed > 0) settings.speed = int32_t(speed);
  return H().portOpen(s->port, &settings) ? 1 : 0;
}

void ScriptReset(void* context) { H().portClose(Session(context)->port); }
int ScriptPoll(void* context) { return ConnCheckAbort(Session(context)) ? 1 : 0; }

struct CommandBlock {
  ConnSession* session;
  uintptr_t unused;
  const char* text;
};
void ScriptCommand(void* context, const std::string& text) {
  ConnSession* s = Session(context);
  CommandBlock block{s, 0, text.c_str()};
  BpNotify(s->window, kNoticeScriptCommand, reinterpret_cast<intptr_t>(&block));
}
void ScriptKey(void* context, const uint8_t key[16]) { std::memcpy(Session(context)->sessionKey, key, 16); }

ScriptHost HostFor(ConnSession* s) {
  return ScriptHost{s,          ScriptWait,    ScriptSend, ScriptInit,     ScriptReset,
                    ScriptPoll, ScriptCommand, ScriptKey,  H().scriptFiles};
}

}  // namespace

// Accessors.

#define CONN_DEFINE_TEXT(Name, member, dupOrdinal, setOrdinal, kind)                               \
  char* BP_CALL ConnDup##Name(ConnSession* s) { return s ? Dup(s, s->settings.member) : nullptr; } \
  void BP_CALL ConnSet##Name(ConnSession* s, const char* text) {                                   \
    if (!s || (kind == 1 && !text)) return;                                                        \
    if (kind == 2 && (!text || !*text)) text = ".\\";                                              \
    CopyCut(s->settings.member, sizeof s->settings.member, text);                                  \
  }
#define CONN_DEFINE_NUMBER(Name, member, type, getOrdinal, setOrdinal)              \
  type BP_CALL ConnGet##Name(ConnSession* s) { return s ? s->settings.member : 0; } \
  void BP_CALL ConnSet##Name(ConnSession* s, type value) {                          \
    if (s) s->settings.member = value;                                              \
  }
CONN_TEXT_ACCESSORS(CONN_DEFINE_TEXT)
CONN_NUMBER_ACCESSORS(CONN_DEFINE_NUMBER)

void* BP_CALL ConnGetStatusOwner(ConnSession* s) { return s ? s->statusOwner : nullptr; }
void BP_CALL ConnSetStatusOwner(ConnSession* s, void* window) {
  if (s) s->statusOwner = window;
}
int32_t BP_CALL ConnGetStatusMode(ConnSession* s) { return s ? s->statusMode : 0; }
void BP_CALL ConnSetStatusMode(ConnSession* s, int32_t mode) {
  if (s) s->statusMode = mode;
}
void BP_CALL ConnSetDialogFlag(ConnSession* s, uint32_t value) {
  if (s) s->settings.dialogFlag = value;
}
void BP_CALL ConnSetClientFlag(ConnSession* s, int32_t value) {
  if (s) s->clientFlag = value;
}

char* BP_CALL ConnDupLogoffCommand(ConnSession* s) { return Dup(s, s && s->logoffCommand ? s->logoffCommand : ""); }

int BP_CALL ConnSetLogoffCommand(ConnSession* s, const char* text) {
  if (!s) return 0;
  char* copy = BpStrDup(text ? text : "");
  if (!copy) {
    s->error = kConnErrMemory;
    return 0;
  }
  BpSys().memFree(s->logoffCommand);
  s->logoffCommand = copy;
  return 1;
}

int BP_CALL ConnGetOstrelWords(ConnSession* s, uint16_t* mail, uint16_t* enabled) {
  if (!s || !mail || !enabled) return 0;
  *mail = uint16_t(s->settings.ostrelForMail);
  *enabled = uint16_t(s->settings.ostrelEnabled);
  return 1;
}

void BP_CALL ConnSetOstrelWords(ConnSession* s, uint16_t mail, uint16_t enabled) {
  if (!s) return;
  s->settings.ostrelForMail = mail;
  s->settings.ostrelEnabled = enabled;
}

PortSettings* BP_CALL ConnPortSettings(ConnSession* s) { return s ? &s->settings.port : nullptr; }
void* BP_CALL ConnGetPort(ConnSession* s) { return s ? s->port : nullptr; }
QvxSession* BP_CALL ConnGetQvx(ConnSession* s) { return s ? s->qvx : nullptr; }
uint16_t BP_CALL ConnGetError(ConnSession* s) { return s ? uint16_t(s->error) : 0; }

void BP_CALL ConnSetWindow(ConnSession* s, void* window, int alsoChildren) {
  if (!s) return;
  s->window = window;
  if (!alsoChildren) return;
  if (s->qvx) {
    s->qvx->window = window;
    QvxBpSetWindow(&s->qvx->link, window, 1);
  }
  H().portSetWindow(s->port, window);
}

char* BP_CALL ConnDialupNumber(ConnSession* s, int digitsOnly) {
  if (!s || s->settings.port.connectMethod != 2) return nullptr;
  std::string number;
  for (const char* p = s->settings.phone; *p; ++p)
    if (!digitsOnly || (*p >= '0' && *p <= '9')) number += *p;
  return Dup(s, number.c_str());
}

// Creation.

ConnSession* BP_CALL ConnCreate(void* window) {
  auto* s = static_cast<ConnSession*>(BpSys().memAlloc(sizeof(ConnSession)));
  if (!s) return nullptr;
  s->window = window;
  s->qvx = QvxCreate(window);
  s->script = new (std::nothrow) ScriptContext();
  s->capture = static_cast<char*>(BpSys().memAlloc(kCaptureSize + 1));
  if (!s->qvx || !s->script || !s->capture) {
    QvxDestroy(s->qvx);
    delete s->script;
    BpSys().memFree(s->capture);
    BpSys().memFree(s);
    return nullptr;
  }
  s->port = H().portCreate(window);
  ConnSettings& c = s->settings;
  std::memset(&c.port, 0, sizeof c.port);
  CopyCut(c.port.portName, sizeof c.port.portName, "COM1");
  CopyCut(c.port.parityName, sizeof c.port.parityName, "None");
  c.port.speed = 9600;
  c.port.dataBits = 8;
  c.port.stopBits = 1;
  c.port.connectTimeout = 20;
  CopyCut(c.directory, sizeof c.directory, ".\\");
  CopyCut(c.networkName, sizeof c.networkName, "Dravenet");
  CopyCut(c.alternateName, sizeof c.alternateName, "[None]");
  c.languageId = 1;
  c.retries = 3;
  c.logonTimeout = 120;
  s->qvx->timeoutSeconds = 120;
  s->statusMode = 3;
  s->settingsView = c.phone;
  return s;
}

void BP_CALL ConnDestroy(ConnSession* s) {
  if (!s) return;
  BpSys().memFree(s->capabilities);
  QvxDestroy(s->qvx);
  H().portDestroy(s->port);
  delete s->script;
  BpSys().memFree(s->iniFile);
  BpSys().memFree(s->sessionName);
  BpSys().memFree(s->logoffCommand);
  BpSys().memFree(s->capture);
  BpSys().memFree(s->eventText);
  BpSys().memFree(s);
}

// Sending.

void SendRawString(ConnSession* s, const char* text) {
  if (!s || !text) return;
  HiddenFilter filter{s};
  for (const char* p = text; *p; ++p) filter.Feed(uint8_t(*p));
  filter.Flush();
}

void SendCtrlString(ConnSession* s, const char* text) {
  if (!s || !text) return;
  HiddenFilter filter{s};
  for (const char* p = text; *p && !filter.stopped; ++p) {
    uint8_t c = uint8_t(*p);
    if (c == '~') {
      filter.Flush();
      H().delaySeconds(s->window, 1);
      continue;
    }
    if (c != '^') {
      filter.Feed(c);
      continue;
    }
    uint8_t next = uint8_t(*++p);
    if (next == 0) break;
    if (next == '\\') {
      filter.Flush();
      H().portBreak(s->port);
      H().delaySeconds(s->window, 1);
    } else if (next >= 64 && next <= 122 && next != '^') {
      filter.Feed(uint8_t(next - 64 > 31 ? next - 96 : next - 64));
    } else {
      filter.Feed(next);
    }
  }
  filter.Flush();
}

void BP_CALL ConnSendChecked(ConnSession* s, const char* text) {
  if (!s || !text) return;
  SendRawString(s, text);
  uint16_t sum = 0;
  for (const char* p = text; *p; ++p) sum = uint16_t(sum + uint8_t(*p));
  char digits[8];
  std::snprintf(digits, sizeof digits, "%u", unsigned(sum));
  SendRawString(s, digits);
}

void ConnStatusText(ConnSession* s, const char* text) {
  if (!s || !text) return;
  std::string shown = WithoutHidden(text);
  BpNotify(s->window, kNoticeStatusText, reinterpret_cast<intptr_t>(shown.c_str()));
  ConnStateSetStatus(s, shown.c_str());
}

bool ConnCheckAbort(ConnSession* s) {
  if (s->abortFlag) return false;
  if (s->oneShotAbort) {
    s->oneShotAbort = 0;
    return true;
  }
  int32_t answer = 0;
  BpNotify(s->window, kNoticeAbortQuestion, reinterpret_cast<intptr_t>(&answer));
  if (answer == 0) return false;
  s->abortFlag = 1;
  return true;
}

int16_t BP_CALL ConnWaitFor(ConnSession* s, uint16_t count, uint16_t units, const char* const* patterns) {
  if (!s) return 0;
  if (!H().portIsOpen(s->port)) {
    s->error = kConnErrCommPort;
    return 0;
  }
  // Each pattern keeps how much of it the text so far ends with; a mismatch
  // falls back along the pattern's own borders, so overlapping starts are
  // never lost ("AAB" is found in "AAAB").
  struct Matcher {
    std::string text;
    std::vector<size_t> border;
    size_t matched = 0;
  };
  std::vector<Matcher> m(patterns ? count : 0);
  for (size_t i = 0; i < m.size(); ++i) {
    for (const char* p = patterns[i] ? patterns[i] : ""; *p; ++p) m[i].text += char(Upper(uint8_t(*p) & 0x7F));
    const std::string& t = m[i].text;
    m[i].border.assign(t.size() + 1, 0);
    for (size_t k = 1, b = 0; k < t.size(); ++k) {
      while (b > 0 && t[k] != t[b]) b = m[i].border[b];
      if (t[k] == t[b]) ++b;
      m[i].border[k + 1] = b;
    }
  }
  s->captureCount = 0;
  if (s->capture) s->capture[0] = 0;
  uint32_t deadline = BpDeadline(uint32_t(units) * 100);
  for (;;) {
    int c = m.empty() ? kBpNoChar : BpSys().port.getChar(s->port);
    if (c == kBpNoChar) {
      if (BpPassed(deadline)) return 0;
      if (!m.empty() && BpSys().port.getError(s->port) == kPortErrLost) return 0;
      if (ConnCheckAbort(s)) return -1;
      BpPing(s->window, s->port);
      H().idleWait();
      continue;
    }
    uint8_t b = uint8_t(c & 0x7F);
    if (s->capture && s->captureCount < kCaptureSize) {
      s->capture[s->captureCount++] = char(b);
      s->capture[s->captureCount] = 0;
    }
    char u = char(Upper(b));
    for (size_t i = 0; i < m.size(); ++i) {
      Matcher& p = m[i];
      if (p.text.empty()) continue;
      while (p.matched > 0 && p.text[p.matched] != u) p.matched = p.border[p.matched];
      if (p.text[p.matched] == u) ++p.matched;
      if (p.matched == p.text.size()) return int16_t(i + 1);
    }
  }
}

int BP_CALL ConnHasCapability(ConnSession* s, uint16_t capability) {
  if (!s || !s->capabilities) return 0;
  for (uint16_t i = 0; i < s->capabilityCount; ++i) {
    const uint8_t* e = s->capabilities + 3 * i;
    if (uint16_t(e[0] | e[1] << 8) == capability) return 1;
  }
  return 0;
}

int BP_CALL ConnHaveCredentials(ConnSession* s) {
  if (!s) return 0;
  std::string stop;
  if (s->script && s->script->GetString("%StopAtHost", &stop) == 0 && stop == "1") return 1;
  return s->settings.userId[0] && s->settings.password[0];
}

void BP_CALL ConnSetState(ConnSession* s, int32_t state) {
  if (!s || (state != 1 && state != 3)) return;
  s->state = state;
  if (s->qvx) s->qvx->active = 0;
}

int BP_CALL ConnLinkState(ConnSession* s) {
  if (!s) return 0;
  if (s->state == 2 && s->qvx && s->qvx->active) return 2;
  if (s->state >= 1 && H().portIsOpen(s->port)) return 1;
  return 0;
}

// Connection state.

int32_t BP_CALL ConnStateSetStatus(ConnSession* s, const char* text) {
  int32_t state = 0;
  if (s && s->script) s->script->GetInt("%State", &state);
  char window[32];
  H().iniGet(kStateSection, "AppHWnd", "0", window, sizeof window);
  uintptr_t target = uintptr_t(std::strtoull(window, nullptr, 10));
  if (target == 0) return state;
  CopyCut(g_statusBuffer, sizeof g_statusBuffer, text ? text : "");
  H().iniSet(kStateSection, "StatusMsg", g_statusBuffer);
  intptr_t answer = BpNotify(reinterpret_cast<void*>(target), kNoticeStateChanged, state);
  if (s) s->oneShotAbort = answer != 0;
  return state;
}

int BP_CALL ConnStateSetAppWindow(ConnSession* s, uint32_t window) {
  uintptr_t value = window ? window : (s ? reinterpret_cast<uintptr_t>(s->window) : 0);
  char text[32];
  std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(value));
  return H().iniSet(kStateSection, "AppHWnd", text);
}

char* BP_CALL ConnStateGetStatus() {
  if (!g_statusBuffer[0]) H().iniGet(kStateSection, "StatusMsg", "", g_statusBuffer, sizeof g_statusBuffer);
  return BpStrDup(g_statusBuffer);
}

ConnSession* BP_CALL ConnSetStateFlag(ConnSession* s) {
  if (s) s->stateFlag = 1;
  return s;
}

void ConnStateClear() {
  H().iniSet(kStateSection, nullptr, nullptr);
  g_statusBuffer[0] = 0;
}

// Scripts.

int BP_CALL ScriptRun(ConnSession* s, const char* name) {
  if (!s || !s->script) return kScriptBadFile;
  if (!name || !*name) {
    s->error = kConnErrScriptFile;
    return kScriptBadFile;
  }
  std::string path(name);
  size_t slash = path.find_last_of("\\/:");
  if (slash != std::string::npos) {
    std::string directory = path.substr(0, slash + 1);
    CopyCut(s->scriptDirectory, sizeof s->scriptDirectory, directory.c_str());
    s->script->SetString("%Dir", directory);
  }
  int stop = s->script->Run(HostFor(s), s->scriptDirectory, path.substr(slash == std::string::npos ? 0 : slash + 1));
  if (stop == kScriptFailed) s->error = kConnErrScript;
  if (stop == kScriptBadFile) s->error = kConnErrScriptFile;
  return stop;
}

char* BP_CALL ScriptErrorText(ConnSession* s) {
  if (!s || !s->script || s->script->errorText.empty()) return nullptr;
  char* copy = BpStrDup(s->script->errorText.c_str());
  s->script->stopCode = kScriptRanOut;
  return copy;
}

uint8_t BP_CALL ScriptExitCode(ConnSession* s) { return s && s->script ? s->script->exitCode : 0; }

int BP_CALL ScriptSetString(ConnSession* s, const char* name, const char* text) {
  if (!s || !s->script) {
    if (s) s->error = kConnErrMemory;
    return 0;
  }
  return name && s->script->SetString(name, text ? text : "");
}

int BP_CALL ScriptSetSecret(ConnSession* s, const char* name, const char* text) {
  if (!s || !s->script) {
    if (s) s->error = kConnErrMemory;
    return 0;
  }
  return name && s->script->SetSecret(name, text ? text : "");
}

int BP_CALL ScriptSetInt(ConnSession* s, const char* name, int16_t value) {
  if (!s || !s->script) return 0;
  return name && s->script->SetInt(name, value);
}

int BP_CALL ScriptGetInt(ConnSession* s, const char* name, int32_t* value) {
  if (!s || !s->script) return 0;
  if (!name || !value) {
    s->error = kConnErrParameters;
    return 0;
  }
  int error = s->script->GetInt(name, value);
  if (error) s->error = uint32_t(error);
  return error == 0;
}

char* BP_CALL ScriptGetString(ConnSession* s, const char* name) {
  if (!s || !s->script || !name) return nullptr;
  std::string text;
  int error = s->script->GetString(name, &text);
  if (error) {
    s->error = uint32_t(error);
    return nullptr;
  }
  return Dup(s, text.c_str());
}

ScriptNetwork* BP_CALL ScriptNetworkList(ConnSession* s, const char* fileName) {
  if (!s || !fileName) return nullptr;
  std::vector<ScriptNetworkEntry> entries;
  int direct = 0;
  int error = ScriptReadNetworkList(H().scriptFiles, fileName, &entries, &direct);
  if (error) {
    s->error = uint32_t(error);
    return nullptr;
  }
  s->directNetwork = direct;
  ScriptNetwork* head = nullptr;
  ScriptNetwork** tail = &head;
  for (const ScriptNetworkEntry& e : entries) {
    auto* node = static_cast<ScriptNetwork*>(BpSys().memAlloc(sizeof(ScriptNetwork)));
    char* name = node ? BpStrDup(e.name.c_str()) : nullptr;
    if (!name) {
      BpSys().memFree(node);
      ScriptFreeList(head);
      s->error = kConnErrMemory;
      return nullptr;
    }
    node->name = name;
    node->number = e.number;
    *tail = node;
    tail = &node->next;
  }
  return head;
}

char* BP_CALL ScriptFirstValue(ConnSession* s, const char* fileName) {
  if (!s || !fileName) return nullptr;
  std::vector<std::string> values;
  int error = ScriptReadValueList(H().scriptFiles, fileName, &values);
  if (error || values.empty()) {
    if (error) s->error = uint32_t(error);
    return nullptr;
  }
  return Dup(s, values[0].c_str());
}

void BP_CALL ScriptFreeList(ScriptNetwork* list) {
  while (list) {
    ScriptNetwork* next = list->next;
    BpSys().memFree(list->name);
    BpSys().memFree(list);
    list = next;
  }
}

char* BP_CALL SessionErrorText(ConnSession* s) {
  if (!s) return nullptr;
  uint32_t error = s->error;
  s->error = 0;
  if (error == 0 || error == kConnErrAborted || error == kConnErrCancelled) return nullptr;
  if (!s->lastError) s->lastError = error;
  if (error == kConnErrQvx && s->qvx && s->qvx->active) {
    s->lastError = s->qvx->error;
    return QvxErrorText(s->qvx);
  }
  int portError = s->port && BpSys().port.getError ? BpSys().port.getError(s->port) : 0;
  if (portError) {
    if ((portError >= 577 && portError <= 615) || portError == 527)
      s->lastError = uint32_t(portError);
    else if (portError >= 616)
      s->lastError = 616;
  }
  if (error >= 768 && error <= 799) {
    if (s->script && !s->script->errorText.empty()) {
      char* text = BpStrDup(s->script->errorText.c_str());
      s->script->errorText.clear();
      return text;
    }
    return BpStrDup(ScriptText(error).c_str());
  }
  return s->qvx ? QvxErrorText(s->qvx) : nullptr;
}

uint32_t BP_CALL SessionErrorCode(ConnSession* s) {
  if (!s) return 0;
  if (s->lastError == 527) return kConnErrAborted;
  if (s->lastError == 615) return 15;
  return s->lastError;
}

int RunLoginScript(ConnSession* s, const char* name, const char* escI) {
  if (!s->script) return kScriptFailed;
  s->script->SetInt("%Success", 0);
  s->script->SetInt("%Failure", 1);
  s->script->SetInt("%Cancel", 2);
  s->script->SetInt("%Fatal", 3);
  s->script->SetString(ScriptText(844), escI ? escI : "");
  return ScriptRun(s, name);
}
