// The logon: a whole connection (login script, dialler results, alternate
// connections), the host protocol's negotiation, and the ways a connection
// ends (logoff, hang-up, disconnect, closing the link).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commkit/session/conn_session.h"
#include "commkit/session/encodings.h"

namespace {

constexpr char kConnectInfo[] = "Connect_Info";
constexpr char kFailureLog[] = ".\\failure.log";
constexpr uint32_t kMemoryLogSize = 20000;
// A WINSOCK negotiation that fails is tried again, but not without end.
constexpr int kMaxNegotiations = 3;
// The Ostrel gateway's own account, used when no mailbox number is set.
constexpr char kOstrelDefaultAccount[] = "70006,101";
constexpr uint8_t kEsc = 27, kEnq = 5;

const SessionHooks& H() { return g_sessionHooks; }

void CopyCut(char* destination, size_t width, const char* text) {
  if (!text) text = "";
  size_t n = std::min(std::strlen(text), width - 1);
  std::memcpy(destination, text, n);
  destination[n] = 0;
}

bool SameNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? char(*a - 32) : *a;
    char y = *b >= 'a' && *b <= 'z' ? char(*b - 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

std::string PortNameOf(ConnSession* s) { return s->settings.port.portName; }

void WriteFailureLog(ConnSession* s) { H().memoryLogToFile(s->port, kFailureLog); }

bool PutText(ConnSession* s, const std::string& text) {
  for (char c : text)
    if (!BpSys().port.bufferByte(s->port, uint8_t(c))) return false;
  return BpSys().port.flushBuffer(s->port) != 0;
}

int PromptField(ConnSession* s, char* field, size_t width, unsigned promptId, int hidden, int number) {
  if (!field[0]) {
    std::string prompt = ScriptText(promptId);
    if (!prompt.empty()) {
      std::vector<char> buffer(width + 1, 0);
      ConnPrompt record{uint16_t(width - 1), prompt.c_str(), buffer.data(), nullptr, hidden, number};
      BpNotify(s->window, kNoticePrompt, reinterpret_cast<intptr_t>(&record));
      CopyCut(field, width, buffer.data());
    }
  }
  return field[0] != 0;
}

struct ConnectionList {
  std::vector<std::string> names;
  std::vector<bool> tried;
  bool loaded = false;
};

bool TryAlternateConnection(ConnSession* s, ConnectionList* list) {
  if (s->settings.connectionType == 3 || !list || !list->loaded) return false;
  const char* alternate = s->settings.alternateName;
  if (!alternate[0] || SameNoCase(alternate, "[None]")) return false;
  for (size_t i = 0; i < list->names.size(); ++i) {
    if (!SameNoCase(list->names[i].c_str(), alternate) || list->tried[i]) continue;
    ConnSettings saved = s->settings;
    std::string name = alternate;
    if (!H().loadConnection(s, name.c_str())) return false;
    if (s->ostrelMode) {
      std::memcpy(s->settings.userId, saved.userId, sizeof saved.userId);
      std::memcpy(s->settings.password, saved.password, sizeof saved.password);
      std::memcpy(s->settings.hostCommand, saved.hostCommand, sizeof saved.hostCommand);
    }
    list->tried[i] = true;
    return true;
  }
  return false;
}

int ReadInfoInt(const char* key) {
  char text[32];
  H().iniGet(kConnectInfo, key, "0", text, sizeof text);
  return std::atoi(text);
}

}  // namespace

uint16_t LogonSeconds(uint16_t option) {
  if (option == 0) return 120;
  if (option < 120) return 90;
  return option;
}

void BuildEscIAnswer(ConnSession* s, const char* application, char* out, size_t size) {
  if (size) out[0] = 0;
  if (!application || !*application) return;
  std::string text(application);
  size_t first = text.find(':');
  size_t second = first == std::string::npos ? std::string::npos : text.find(':', first + 1);
  std::string a = first == std::string::npos ? "#NOSPEC" : text.substr(0, first);
  std::string b = second == std::string::npos ? "" : text.substr(first + 1, second - first - 1);
  size_t lastColon = second != std::string::npos ? second : first;
  size_t comma = text.find(',', lastColon == std::string::npos ? 0 : lastColon + 1);
  std::string last = comma == std::string::npos ? "" : text.substr(comma + 1);
  char platform[4];
  H().platformCode(platform);
  std::string answer = a + ":" + b + ":" + platform + "," + last;
  char tail[96];
  std::snprintf(tail, sizeof tail, "%s%sAP,PB,LA%d,CH1,CO%d,+", answer.back() == ',' ? "" : ",",
                PortNameOf(s) == "WINSOCK" ? "MS," : "", int(s->settings.languageId), int(s->settings.countryId));
  answer += tail;
  std::snprintf(out, size, "%s", answer.c_str());
}

void ApplyWinsockChoice(ConnSession* s, int alternate) {
  ConnSettings& c = s->settings;
  if (alternate) c.alternatePort = 1;
  if ((c.commTypeWinsock || PortNameOf(s) == "WINSOCK") && c.alternatePort && c.winsockCommType[0])
    CopyCut(c.port.portName, sizeof c.port.portName, c.winsockCommType);
  if (PortNameOf(s) == "WINSOCK") {
    c.connectionType = 2;
    CopyCut(c.networkName, sizeof c.networkName, "Internet");
  }
}

int PromptCredentials(ConnSession* s) {
  std::string stop;
  bool stopAtHost = s->script->GetString("%StopAtHost", &stop) == 0 && stop == "1";
  if (!stopAtHost) {
    if (!PromptField(s, s->settings.userId, sizeof s->settings.userId, 998, 0, 0)) {
      s->error = kConnErrUserId;
      return 0;
    }
    if (!PromptField(s, s->settings.password, sizeof s->settings.password, 999, 1, 1)) {
      s->error = kConnErrPassword;
      return 0;
    }
  }
  s->script->SetString(ScriptText(817), s->settings.userId);
  s->script->SetSecret(ScriptText(818), s->settings.password);
  return 1;
}

int LoadScriptVariables(ConnSession* s) {
  ScriptContext& v = *s->script;
  ConnSettings& c = s->settings;
  char number[16];
  v.SetString(ScriptText(817), c.userId);
  v.SetSecret(ScriptText(818), c.password);
  v.SetString(ScriptText(841), c.hostCommand);
  std::snprintf(number, sizeof number, "%d", int(c.port.speed));
  v.SetString(ScriptText(819), number);
  v.SetString(ScriptText(820), c.port.portName);
  v.SetString(ScriptText(853), "");
  v.SetString(ScriptText(821), c.phone);
  v.SetInt(ScriptText(824), int16_t(c.retries));
  v.SetString(ScriptText(842), s->scriptDirectory);
  v.SetInt(ScriptText(825), int16_t(c.connectionType));
  const struct {
    unsigned id;
    const char* text;
  } modem[] = {{827, c.modemPrefix},  {828, c.modemReset},   {838, c.modemInit},    {829, c.modemTone},
               {830, c.modemPulse},   {831, c.modemHangup},  {832, c.modemSuffix},  {833, c.modemEscape},
               {834, c.modemAck},     {835, c.modemSuccess}, {836, c.modemFailure}, {839, c.modemUserId},
               {840, c.modemPassword}};
  for (const auto& m : modem) v.SetString(ScriptText(m.id), m.text);
  v.SetString(ScriptText(837), c.speaker ? "ON" : "OFF");
  v.SetString(ScriptText(851), c.errorCorrection ? c.modemECOn : "");
  v.SetString(ScriptText(852), c.compression ? c.modemDCOn : "");
  v.SetString("%BreakChar", "^\\");
  if (PortNameOf(s) == "WINSOCK") {
    Block* challenge = BlockRandom(0);
    char* text = challenge ? BlockToBase64(challenge, 76) : nullptr;
    BlockFree(challenge);
    if (!text) {
      s->error = kConnErrMemory;
      return 0;
    }
    v.SetString(ScriptText(854), text);
    BpSys().memFree(text);
  }
  // The network's number from the script's own list; a script without lists
  // leaves it to the script.
  std::string script = s->sessionName ? s->sessionName : "";
  if (script.find_first_of("\\/:") == std::string::npos) script = s->scriptDirectory + script;
  std::vector<ScriptNetworkEntry> networks;
  int direct = 0;
  int listError = ScriptReadNetworkList(H().scriptFiles, script, &networks, &direct);
  if (listError == 0) {
    bool found = false;
    for (const ScriptNetworkEntry& n : networks) {
      if (n.name == c.networkName) {
        v.SetInt(ScriptText(823), int16_t(n.number));
        found = true;
        break;
      }
    }
    if (!found && ScriptText(849) == c.networkName) {
      c.connectionType = 2;
      v.SetInt(ScriptText(823), int16_t(direct));
      found = true;
    }
    if (!found) {
      s->error = kConnErrNetwork;
      return 0;
    }
  } else {
    v.SetInt(ScriptText(823), 0);
  }
  return 1;
}

int ConnNegotiate(ConnSession* s, const char* escI) {
  std::vector<uint16_t> numbers;
  numbers.reserve(255);
  ConnStatusText(s, ScriptText(850).c_str());
  uint16_t seconds = LogonSeconds(s->settings.logonTimeout);
  if (s->qvx) s->qvx->timeoutSeconds = seconds;
  const char escBracket[] = {char(kEsc), '[', '>', 0};
  const char escI_[] = {char(kEsc), 'I', 0};
  const char enq[] = {char(kEnq), 0};
  const char* patterns[] = {escBracket, escI_, enq};
  auto stopWith = [&](uint32_t error) {
    s->error = error;
    if (error == kConnErrEscI || error == kConnErrCapability) PutText(s, "#\r");
    return 0;
  };
  for (;;) {
    int16_t got = ConnWaitFor(s, 3, uint16_t(seconds * 10), patterns);
    if (got < 0) return stopWith(kConnErrAborted);
    if (got == 0) return stopWith(kConnErrNoProtocol);
    if (got == 2) {
      ConnSendChecked(s, escI ? escI : "");
      continue;
    }
    if (got == 3) {
      SendCtrlString(s, "^P++^P0");
      continue;
    }
  readNumbers:
    numbers.assign(1, 0);
    int end = 0;
    for (;;) {
      int c = BpSys().port.waitChar(s->port, 10);
      if (c == kBpNoChar) return stopWith(kConnErrPort);
      c &= 0x7F;
      if (c >= '0' && c <= '9') {
        numbers.back() = uint16_t(numbers.back() * 10 + (c - '0'));
      } else if (c == ';') {
        if (numbers.size() > 254) return stopWith(kConnErrEscI);
        numbers.push_back(0);
      } else {
        end = c;
        break;
      }
    }
    if (end == 'q') {
      if (numbers.size() != 1) return stopWith(kConnErrEscI);
      std::string reply = "#";
      bool known = true;
      if (numbers[0] == 0) {
        for (uint16_t i = 0; i < s->capabilityCount; ++i) {
          const uint8_t* e = s->capabilities + 3 * i;
          if (i) reply += ",";
          reply += std::to_string(unsigned(e[0] | e[1] << 8));
        }
      } else if (ConnHasCapability(s, numbers[0])) {
        reply += std::to_string(numbers[0]);
      } else {
        known = false;
      }
      if (!PutText(s, reply + "\r")) return stopWith(kConnErrPort);
      s->error = known ? 0u : uint32_t(kConnErrCapability);
      continue;
    }
    if (end != 'p') continue;
    if (numbers.size() > 2) return stopWith(kConnErrEscI);
    uint16_t capability = numbers[0], second = numbers.size() > 1 ? numbers[1] : 0;
    if (capability != second) return stopWith(kConnErrEscI);
    if (!ConnHasCapability(s, capability)) return stopWith(kConnErrCapability);
    if (!H().portIs8N1(s->port) && !H().portSetup8N1(s->port)) return stopWith(kConnErrSetPort);
    uint8_t mode = 255;
    for (uint16_t i = 0; i < s->capabilityCount; ++i) {
      const uint8_t* e = s->capabilities + 3 * i;
      if (uint16_t(e[0] | e[1] << 8) == capability) mode = e[2];
    }
    BpNotify(s->window, kNoticeLinkStarting, 0);
    int result = QvxStart(s->qvx, s->port, uint8_t(capability), mode);
    if (s->qvx->error) s->error = kConnErrQvx;
    switch (result) {
      case kQvxStartRefused: continue;
      case kQvxStartUp:
        s->error = 0;
        BpNotify(s->window, kNoticeLinkUp, 0);
        s->state = 2;
        return 1;
      case kQvxStartHostQuery: goto readNumbers;
      case kQvxStartAborted: return stopWith(kConnErrAborted);
      case kQvxStartNoTransport: BpNotify(s->window, kNoticeLinkUp, 0); return stopWith(kConnErrConnect);
      case kQvxStartLost: return stopWith(kConnErrConnect);
      default: return stopWith(kConnErrNoProtocol);
    }
  }
}

void ConnHangUp(ConnSession* s, const char* script) {
  H().portSetCarrierWatch(s->port, 0);
  if (!H().portIsOpen(s->port)) return;
  if (script && *script && RunLoginScript(s, script, nullptr) == 0 && s->script->exitCode == 0) {
    H().portClose(s->port);
    return;
  }
  ConnSettings& c = s->settings;
  if (c.connectionType == 2) {
    for (int i = 0; i < 3; ++i) {
      if (i) H().delaySeconds(s->window, 1);
      H().portBreak(s->port);
    }
    H().portClose(s->port);
    return;
  }
  ConnStatusText(s, ScriptText(847).c_str());
  const char* patterns[] = {c.modemAck, "CARRIER LOST", "DISCONNECT", c.modemFailure};
  bool escape = c.modemEscape[0] != 0;
  for (int round = 0; round < 2; ++round) {
    if (escape) {
      H().delaySeconds(s->window, 3);
      SendCtrlString(s, c.modemEscape);
      int got = ConnWaitFor(s, 4, 50, patterns);
      if (got >= 2) break;
    }
    H().delaySeconds(s->window, 1);
    SendCtrlString(s, c.modemPrefix);
    SendCtrlString(s, c.modemHangup);
    SendCtrlString(s, c.modemSuffix);
    int got = ConnWaitFor(s, 3, 50, patterns);
    if (got != 0 || round == 1) {
      H().delaySeconds(s->window, 1);
      break;
    }
    escape = true;
  }
  H().portClose(s->port);
}

int ConnLogoff(ConnSession* s, int hangUp, int closePort, const char* logoffScript) {
  if (!H().portIsOpen(s->port)) {
    s->error = kConnErrConnect;
    s->state = 0;
    return 0;
  }
  ConnSettings& c = s->settings;
  uint32_t savedType = c.connectionType;
  char savedNetwork[sizeof c.networkName];
  std::memcpy(savedNetwork, c.networkName, sizeof savedNetwork);
  uint32_t savedError = s->error;
  if (PortNameOf(s) == "WINSOCK") {
    c.connectionType = 2;
    CopyCut(c.networkName, sizeof c.networkName, "Internet");
  }
  if (!s->logoffCommand || !*s->logoffCommand) ConnSetLogoffCommand(s, "/LOG\r");
  ConnStatusText(s, ScriptText(846).c_str());
  bool active = s->qvx && s->qvx->active;
  if (active && H().portUsesCarrier(s->port) && !(H().portModemStatus(s->port) & 2)) {
    s->qvx->active = 0;
    active = false;
  }
  bool direct = c.connectionType == 2;
  bool ended = false;
  if (!s->capabilityCount || !active) {
    if (s->error == kConnErrAborted) {
      if (direct) {
        for (int i = 0; i < 3; ++i) {
          if (i) H().delaySeconds(s->window, 1);
          H().portBreak(s->port);
        }
        H().portClose(s->port);
        s->error = 0;
      } else {
        ConnHangUp(s, nullptr);
      }
      s->state = 0;
      ended = true;
    } else if (s->state != 3) {
      SendRawString(s, s->logoffCommand);
      if (!logoffScript) {
        const char* patterns[] = {"User ID:", "Host Name:"};
        s->state = ConnWaitFor(s, 2, 50, patterns) > 0 ? 3 : 0;
      }
    }
  } else {
    QvxStop(s->qvx, 1);
    QvxBpClose(&s->qvx->link);
    if (!logoffScript) {
      const char escI[] = {char(kEsc), 'I', 0};
      const char* patterns[] = {"Host Name:", escI};
      int got = ConnWaitFor(s, 2, 50, patterns);
      if (got == 2) {
        ConnSendChecked(s, "#ZRTEX:1D,PB,AP,+");
        SendRawString(s, "/off\r");
        got = ConnWaitFor(s, 1, 50, patterns);
      }
      if (got > 0) {
        s->state = 3;
        if (direct) {
          hangUp = 0;
          s->error = 0;
        }
      } else {
        hangUp = 1;
      }
    }
  }
  if (!ended) {
    if (!hangUp) {
      if (logoffScript && *logoffScript) {
        BpNotify(s->window, kNoticeLinkStarting, 0);
        RunLoginScript(s, logoffScript, nullptr);
        BpNotify(s->window, kNoticeLinkUp, 0);
      }
      if (closePort) {
        H().portClose(s->port);
        s->state = 0;
      }
    } else {
      ConnHangUp(s, nullptr);
      s->state = 0;
    }
  }
  if (savedError) s->error = savedError;
  c.connectionType = savedType;
  std::memcpy(c.networkName, savedNetwork, sizeof savedNetwork);
  return 1;
}

int BP_CALL ConnDisconnect(ConnSession* s, const char* logoffScript) {
  if (!s) return 0;
  if (s->state == 0) {
    if (H().portIsOpen(s->port)) H().portClose(s->port);
    return 1;
  }
  int32_t savedMode = s->statusMode;
  s->statusMode = 3;
  ConnLogoff(s, 1, 1, logoffScript);
  H().portSetCarrierWatch(s->port, 0);
  s->statusMode = savedMode;
  ConnStateClear();
  return s->error == 0;
}

int BP_CALL ConnCloseLink(ConnSession* s, int alsoDisconnect) {
  if (!s || !s->capabilityCount || !s->qvx || !s->qvx->active) return 0;
  QvxStop(s->qvx, 1);
  if (H().portIsOpen(s->port) && s->settings.connectionType != 2) {
    SendCtrlString(s, s->settings.modemEscape);
    SendCtrlString(s, s->settings.modemPrefix);
    SendCtrlString(s, s->settings.modemHangup);
    SendCtrlString(s, s->settings.modemSuffix);
    H().portClose(s->port);
    if (alsoDisconnect) ConnDisconnect(s, nullptr);
  }
  return 1;
}

namespace {

void FillModemDefaults(ConnSettings& c) {
  CopyCut(c.modemInit, sizeof c.modemInit, "AT&FATS0=0 Q0 V1 &C1&D2^M");
  CopyCut(c.modemSuccess, sizeof c.modemSuccess, "CONNECT");
  CopyCut(c.modemFailure, sizeof c.modemFailure, "NO CARRIER");
  CopyCut(c.modemAck, sizeof c.modemAck, "OK");
  CopyCut(c.modemTone, sizeof c.modemTone, "DT");
  CopyCut(c.modemPulse, sizeof c.modemPulse, "DP");
  CopyCut(c.modemEscape, sizeof c.modemEscape, "+++");
  CopyCut(c.modemHangup, sizeof c.modemHangup, "H0");
  CopyCut(c.modemSuffix, sizeof c.modemSuffix, "^M");
  CopyCut(c.modemECOn, sizeof c.modemECOn, "&I1");
  CopyCut(c.modemFlow, sizeof c.modemFlow, "None");
  CopyCut(c.modemDial, sizeof c.modemDial, "Tone");
  CopyCut(c.modemName, sizeof c.modemName, "Hayes");
  c.speaker = 1;
}

// Step 9 of a connection: what the dialler and the script said.
enum class Outcome { kConnected, kCancelled, kFailed, kScriptFailed };

}  // namespace

int BP_CALL ConnConnect(ConnSession* s, const char* name, uint16_t count, const uint8_t* table, const char* application,
                        const char* dataLog) {
  if (!s) return 0;
  int32_t savedMode = s->statusMode;
  s->statusMode = 0;
  auto fail = [&](bool writeLog) {
    if (writeLog) WriteFailureLog(s);
    s->statusMode = savedMode;
    return 0;
  };
  if (!s->script || !s->port) {
    s->error = kConnErrParameters;
    return fail(false);
  }
  s->abortFlag = 0;
  s->scriptError = 0;
  ConnSettings& c = s->settings;
  H().portSetLogFile(s->port, dataLog);
  for (const char* key : {"Cancelled", "Event_Text", "Script_Err", "Dialer_Err"})
    H().iniSet(kConnectInfo, key, nullptr);
  H().iniSet(kConnectInfo, "Display_Con_Exceptions", "1");

  ConnectionList list;
  if (s->iniFile && s->iniFile[0] && c.alternateName[0]) {
    list.names.push_back(c.connectionName);
    list.tried.push_back(true);
    list.loaded = true;
  }
  std::string firstConnection = c.connectionName;

  if (s->state == 1 || s->state == 2) {
    ConnLogoff(s, 0, 0, nullptr);
    H().portSetCarrierWatch(s->port, 0);
  }
  bool fallback = false;
  uint32_t realType = c.connectionType;
  if (s->state == 3) {
    c.connectionType = 2;
    fallback = true;
  }
  if (!c.modemAck[0]) FillModemDefaults(c);
  H().memoryLogStart(s->port, kMemoryLogSize);

  for (int negotiation = 0;; ++negotiation) {
    char escI[512] = {};
    for (;;) {
      char savedPort[sizeof c.port.portName];
      std::memcpy(savedPort, c.port.portName, sizeof savedPort);
      if (c.useWinsock) CopyCut(c.port.portName, sizeof c.port.portName, "WINSOCK");
      char savedNetwork[sizeof c.networkName];
      std::memcpy(savedNetwork, c.networkName, sizeof savedNetwork);
      uint32_t savedType = c.connectionType;
      ApplyWinsockChoice(s, int(c.alternatePort));
      H().portApplySettings(s->port, &c.port);

      BuildEscIAnswer(s, application, escI, sizeof escI);
      if (application && *application) {
        std::string app(application);
        size_t colon = app.find(':');
        s->script->SetString(
            ScriptText(856),
            app.size() > 1 ? app.substr(1, colon == std::string::npos ? std::string::npos : colon - 1) : "");
      }
      s->error = 0;
      BpSys().memFree(s->sessionName);
      s->sessionName = BpStrDup(name ? name : "");
      if (!LoadScriptVariables(s)) return fail(true);
      if (!PromptCredentials(s)) {
        s->error = kConnErrCredentials;
        return fail(true);
      }
      int result = RunLoginScript(s, name, escI);
      if (fallback) {
        c.connectionType = realType;
        LoadScriptVariables(s);
      }
      c.connectionType = savedType;
      std::memcpy(c.networkName, savedNetwork, sizeof savedNetwork);
      std::memcpy(c.port.portName, savedPort, sizeof savedPort);

      if (result == kScriptNoMemory) s->error = kConnErrMemory;
      if (s->error != kConnErrMemory) {
        BpSys().memFree(s->capabilities);
        s->capabilities = nullptr;
        s->capabilityCount = 0;
        if (count && table) {
          s->capabilities = static_cast<uint8_t*>(BpSys().memAlloc(size_t(count) * 3));
          if (!s->capabilities) {
            s->error = kConnErrMemory;
          } else {
            std::memcpy(s->capabilities, table, size_t(count) * 3);
            s->capabilityCount = count;
          }
        }
      }
      if (s->error == kConnErrMemory) {
        H().portClose(s->port);
        s->state = 0;
        return fail(true);
      }

      // What a dialler left in dranet.ini.
      Outcome outcome = Outcome::kFailed;
      bool decided = false;
      char event[501];
      H().iniGet(kConnectInfo, "Event_Text", "", event, sizeof event);
      bool scriptErrFailure = false;
      if (ReadInfoInt("Dialer_Err")) {
        s->error = kConnErrAborted;
        decided = true;
      } else if (ReadInfoInt("Cancelled")) {
        outcome = Outcome::kCancelled;
        decided = true;
      } else if (ReadInfoInt("Script_Err")) {
        outcome = Outcome::kFailed;
        scriptErrFailure = true;
        result = kScriptRanOut;
        decided = true;
      }
      if (event[0] && !decided) {
        BpSys().memFree(s->eventText);
        s->eventText = BpStrDup(event);
        s->error = kConnErrConnect;
        decided = true;
      }
      H().iniSet(kConnectInfo, "Display_Con_Exceptions", nullptr);
      H().iniSet(kConnectInfo, "Dialer_Err", nullptr);
      H().iniSet(kConnectInfo, nullptr, nullptr);
      if (!decided && result == kScriptRanOut) {
        uint8_t exitCode = s->script->exitCode;
        outcome = exitCode == 0 ? Outcome::kConnected : exitCode == 2 ? Outcome::kCancelled : Outcome::kFailed;
      }

      if (s->error == 0 && result == kScriptRanOut) {
        if (outcome == Outcome::kConnected) {
          s->state = 1;
          BpNotify(s->window, kNoticeConnected, 0);
          break;
        }
        if (outcome == Outcome::kCancelled) {
          s->error = kConnErrCancelled;
          fallback = false;
          H().iniSet(kConnectInfo, "Cancelled", "1");
        } else {
          int32_t initDone = 1;
          std::string text;
          if (s->script->GetInt("%_init", &initDone) == 0 && initDone == 0) {
            s->scriptError = uint16_t(BpSys().port.getError(s->port));
            char* portText = BpSys().port.errorText ? BpSys().port.errorText(s->port) : nullptr;
            if (portText) text = portText;
            BpSys().memFree(portText);
          } else {
            s->script->GetString(ScriptText(816), &text);
            int32_t code = 0;
            if (s->script->GetInt("%ErrorCode", &code) == 0) s->scriptError = uint16_t(code);
          }
          s->error = kConnErrConnect;
          if (!text.empty()) {
            ConnStatusText(s, text.c_str());
            if (!s->eventText) s->eventText = BpStrDup(text.c_str());
            H().iniSet(kConnectInfo, "Event_Text", text.c_str());
          }
        }
      } else if (s->error == 0 || result != kScriptRanOut) {
        switch (result) {
          case kScriptFailed: {
            char* text = ScriptErrorText(s);
            if (text) {
              ConnStatusText(s, text);
              H().iniSet(kConnectInfo, "Event_Text", text);
              s->script->errorText = text;
              BpSys().memFree(text);
            }
            s->error = kConnErrScript;
            break;
          }
          case kScriptBadFile: s->error = kConnErrScriptFile; break;
          case kScriptReadError: s->error = kConnErrReadScript; break;
          default:
            if (!s->error) s->error = kConnErrScript;
            break;
        }
      }

      // A failed attempt.
      int32_t code = 0;
      if (s->script->GetInt("%ErrorCode", &code) == 0) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", int(code));
        H().iniSet(kConnectInfo, "Script_Err", text);
      }
      s->state = 3;
      uint32_t error = s->error;
      ConnDisconnect(s, nullptr);
      if (fallback && !scriptErrFailure) {
        fallback = false;
        continue;
      }
      s->error = error;
      if (error == kConnErrCancelled || error == kConnErrAborted || scriptErrFailure ||
          !TryAlternateConnection(s, &list)) {
        if (list.loaded && firstConnection != c.connectionName) H().loadConnection(s, firstConnection.c_str());
        return fail(true);
      }
      std::string shown = ScriptText(848);
      if (c.connectionName[0]) shown += std::string(" ") + c.connectionName;
      ConnStatusText(s, shown.c_str());
      ApplyWinsockChoice(s, int(c.alternatePort));
      H().delaySeconds(s->window, 2);
    }

    // Connected.
    if (c.connectionType == 2) {
      H().portSetCarrierWatch(s->port, 0);
    } else {
      H().portSetCarrierWatch(s->port, H().portUsesCarrier(s->port) && (H().portModemStatus(s->port) & 2));
    }
    uint16_t capabilities = s->capabilityCount;
    std::string ppp;
    if (s->script->GetString(ScriptText(855), &ppp) == 0 && !ppp.empty()) {
      H().portSetup8N1(s->port);
      capabilities = 0;
    } else {
      s->error = 0;
    }
    if (capabilities && !ConnNegotiate(s, escI)) {
      uint32_t error = s->error;
      ConnDisconnect(s, nullptr);
      s->error = error;
      WriteFailureLog(s);
      if (SameNoCase(c.port.portName, "WINSOCK") && error != kConnErrAborted && negotiation + 1 < kMaxNegotiations)
        continue;
      s->statusMode = savedMode;
      return 0;
    }
    s->statusMode = savedMode;
    H().memoryLogDrop(s->port);
    return 1;
  }
}

int BP_CALL ConnConnectOstrel(ConnSession* s, const char* name, uint16_t count, const uint8_t* table,
                              const char* application, const char* dataLog) {
  if (!s) return 0;
  ConnSettings& c = s->settings;
  ConnSettings saved = c;
  if (!c.ostrelNumber[0]) CopyCut(c.ostrelNumber, sizeof c.ostrelNumber, kOstrelDefaultAccount);
  if (!PromptField(s, c.ostrelPassword, sizeof c.ostrelPassword, 1000, 1, 2)) {
    s->error = kConnErrOstrelPassword;
    return 0;
  }
  if (!PromptField(s, c.ostrelAddress, sizeof c.ostrelAddress, 1001, 0, 3)) {
    s->error = kConnErrOstrelMailbox;
    return 0;
  }
  if (!PromptField(s, c.ostrelIndividual, sizeof c.ostrelIndividual, 1002, 1, 4)) {
    s->error = kConnErrOstrelMailboxPassword;
    return 0;
  }
  CopyCut(c.userId, sizeof c.userId, c.ostrelNumber);
  CopyCut(c.password, sizeof c.password, c.ostrelPassword);
  const char* comma = std::strchr(c.ostrelNumber, ',');
  bool digitsOnly = true;
  if (comma)
    for (const char* p = comma + 1; *p; ++p)
      if (*p < '0' || *p > '9') digitsOnly = false;
  CopyCut(c.hostCommand, sizeof c.hostCommand, !comma || digitsOnly ? ";QVX*PC3" : "");
  s->ostrelMode = 1;
  int result = ConnConnect(s, name, count, table, application, dataLog);
  std::memcpy(c.userId, saved.userId, sizeof c.userId);
  std::memcpy(c.password, saved.password, sizeof c.password);
  std::memcpy(c.hostCommand, saved.hostCommand, sizeof c.hostCommand);
  std::memcpy(c.ostrelIndividual, saved.ostrelIndividual, sizeof c.ostrelIndividual);
  return result;
}
