// The connection session over a simulated line: its accessors, sending with
// the escapes and the hidden-text filter, waiting for patterns, the host
// protocol's negotiation, and a whole logon against the stand-in host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commkit/bp/tests/sim_line.h"
#include "commkit/session/conn_session.h"
#include "commkit/session/tests/standin_logon.h"
#include "standins/qvxhost/qvx_host.h"
#include "tests/support/files.h"

namespace {

struct FakePort {
  bool open = false;
  int breaks = 0;
  std::vector<int> logControls;
  bool logging = true;
  double delayed = 0;
};
FakePort* g_port;
SimLine* g_sim;
std::map<std::string, std::string> g_ini;

void* PortCreate(void*) { return &g_sim->end[0]; }
void PortDestroy(void*) {}
void PortSetWindow(void*, void*) {}
int PortIsOpen(void*) { return g_port->open; }
int PortOpen(void*, const PortSettings*) {
  g_port->open = true;
  return 1;
}
void PortClose(void*) { g_port->open = false; }
void PortBreak(void*) { ++g_port->breaks; }
uint16_t ModemStatus(void*) { return 2; }
int Yes(void*) { return 1; }
int No(void*) { return 0; }
int Logging(void*) { return g_port->logging; }
void LogControl(void*, int mode) { g_port->logControls.push_back(mode); }
void CarrierWatch(void*, int) {}
void ApplySettings(void*, const PortSettings*) {}
const char* Name(void*) { return "COM1"; }
void LogFile(void*, const char*) {}
void MemoryLog(void*, uint32_t) {}
void MemoryLogFile(void*, const char*) {}
void Delay(void*, int seconds) {
  g_port->delayed += seconds;
  g_sim->now += seconds * 1000.0;
}
std::string Key(const char* section, const char* key) { return std::string(section) + "/" + (key ? key : ""); }
void IniGet(const char* section, const char* key, const char* fallback, char* buffer, int size) {
  auto it = g_ini.find(Key(section, key));
  std::snprintf(buffer, size_t(size), "%s", it == g_ini.end() ? fallback : it->second.c_str());
}
int IniSet(const char* section, const char* key, const char* value) {
  if (!key) {
    for (auto it = g_ini.begin(); it != g_ini.end();)
      it = it->first.rfind(std::string(section) + "/", 0) == 0 ? g_ini.erase(it) : std::next(it);
  } else if (!value) {
    g_ini.erase(Key(section, key));
  } else {
    g_ini[Key(section, key)] = value;
  }
  return 1;
}
void Platform(char out[4]) { std::memcpy(out, "WN4", 4); }
int Load(ConnSession*, const char*) { return 0; }
void Idle() {}

struct Session : ::testing::Test {
  SimLine line;
  SimClient client;
  FakePort port;
  ConnSession* s = nullptr;
  std::unique_ptr<QvxHost> host;
  std::function<void()> peer;  // a scripted host, when there is no QvxHost
  std::string heard;           // what reached the host's end
  testfs::TempDir dir{"session"};

  void SetUp() override {
    g_port = &port;
    g_sim = &line;
    g_ini.clear();
    SimInstall(&line);
    g_sessionHooks =
        SessionHooks{PortCreate,    PortDestroy, PortSetWindow, PortIsOpen, PortOpen,   PortClose,          PortBreak,
                     ModemStatus,   Yes,         Yes,           Logging,    LogControl, CarrierWatch,       No,
                     ApplySettings, Name,        LogFile,       No,         MemoryLog,  MemoryLogFile,      PortDestroy,
                     Delay,         IniGet,      IniSet,        Platform,   Load,       ScriptStdioFiles(), Idle};
    line.end[1].onIdle = [this] {
      while (!line.end[1].in.empty()) {
        uint8_t c = line.end[1].in.front();
        line.end[1].in.pop_front();
        heard += char(c);
        if (host) host->Feed(c);
      }
      if (host) {
        host->Tick();
        if (host->hangUp) line.end[0].lost = true;
      }
      if (peer) peer();
    };
    s = ConnCreate(&client);
    ASSERT_NE(s, nullptr);
  }
  void TearDown() override {
    ConnDestroy(s);
    line.end[1].onIdle = nullptr;
    host.reset();
    SimInstall(nullptr);
  }
  void HostSays(const std::string& text) { line.Write(1, std::vector<uint8_t>(text.begin(), text.end())); }
  void Settle() {
    for (int i = 0; i < 20; ++i) line.Step(0);
  }
  bool HostLogged(const std::string& entry) const {
    return host && std::find(host->log.begin(), host->log.end(), entry) != host->log.end();
  }
  std::string HostLog() const {
    std::string all;
    if (host)
      for (const auto& l : host->log) all += l + " | ";
    return all;
  }
};

std::string Take(char* text) {
  std::string s = text ? text : "(none)";
  BpSys().memFree(text);
  return s;
}

TEST_F(Session, EveryAccessorRoundTripsAndCutsToItsField) {
#define CHECK_TEXT(Name, member, dup, set, kind)                                                 \
  if (set) {                                                                                     \
    std::string longer(sizeof s->settings.member + 10, 'x');                                     \
    longer[0] = #Name[0];                                                                        \
    ConnSet##Name(s, longer.c_str());                                                            \
    EXPECT_EQ(Take(ConnDup##Name(s)), longer.substr(0, sizeof s->settings.member - 1)) << #Name; \
    ConnSet##Name(s, "v");                                                                       \
    EXPECT_EQ(Take(ConnDup##Name(s)), "v") << #Name;                                             \
  }
  CONN_TEXT_ACCESSORS(CHECK_TEXT)
#undef CHECK_TEXT
#define CHECK_NUMBER(Name, member, type, get, set) \
  ConnSet##Name(s, type(40000 + get));             \
  EXPECT_EQ(ConnGet##Name(s), type(40000 + get)) << #Name;
  CONN_NUMBER_ACCESSORS(CHECK_NUMBER)
#undef CHECK_NUMBER

  ConnSetPassword(s, "abcdefghijklmnopqrstuvwxyz0123");
  EXPECT_EQ(Take(ConnDupPassword(s)), "abcdefghijklmnopqrstuvwx");
  ConnSetDirectory(s, "");
  EXPECT_EQ(Take(ConnDupDirectory(s)), ".\\");
  ConnSetUserName(s, "kept");
  ConnSetUserName(s, nullptr);
  EXPECT_EQ(Take(ConnDupUserName(s)), "kept");
  ConnSetPhone(s, nullptr);
  EXPECT_EQ(Take(ConnDupPhone(s)), "");
  EXPECT_EQ(Take(ConnDupLogoffCommand(s)), "");
  EXPECT_EQ(ConnSetLogoffCommand(s, "BYE\r"), 1);
  EXPECT_EQ(Take(ConnDupLogoffCommand(s)), "BYE\r");
  uint16_t mail = 9, enabled = 9;
  ConnSetOstrelWords(s, 1, 0);
  EXPECT_EQ(ConnGetOstrelWords(s, &mail, nullptr), 0);
  EXPECT_EQ(ConnGetOstrelWords(s, &mail, &enabled), 1);
  EXPECT_EQ(mail, 1);
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(ConnPortSettings(s), &s->settings.port);
  EXPECT_EQ(ConnGetPort(s), &line.end[0]);
  ConnSetStatusMode(s, 2);
  EXPECT_EQ(ConnGetStatusMode(s), 2);
  EXPECT_EQ(ConnGetStatusOwner(nullptr), nullptr);
}

TEST_F(Session, DialupNumberOnlyForDialUpNetworking) {
  ConnSetPhone(s, "+1 (555) 010-7");
  EXPECT_EQ(ConnDialupNumber(s, 0), nullptr);
  s->settings.port.connectMethod = 2;
  EXPECT_EQ(Take(ConnDialupNumber(s, 0)), "+1 (555) 010-7");
  EXPECT_EQ(Take(ConnDialupNumber(s, 1)), "15550107");
}

TEST_F(Session, SendingWithEscapesChecksumsAndHiddenText) {
  port.open = true;
  SendCtrlString(s, "AT^M~^\\x^m^^^");
  ConnSendChecked(s, "AB");
  SendRawString(s, "x\xFF\xFFhid\xFF\xFFy\xFFz");
  Settle();
  EXPECT_EQ(heard, "AT\rx\r^AB131xhidy\xFFz");
  EXPECT_EQ(port.breaks, 1);
  EXPECT_EQ(port.delayed, 2);
  EXPECT_EQ(port.logControls, (std::vector<int>{2, 1}));  // the hidden part never reaches the data log

  std::vector<std::string> shown;
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == kNoticeStatusText) shown.push_back(reinterpret_cast<const char*>(lParam));
    return 0;
  };
  ConnStatusText(s, "x\xFF\xFFhid\xFF\xFFy");
  EXPECT_EQ(shown, (std::vector<std::string>{"xy"}));
}

TEST_F(Session, WaitForFindsOverlappingPatternsInAnyCase) {
  port.open = true;
  struct Case {
    const char* arriving;
    std::vector<const char*> patterns;
    int result;
  } cases[] = {
      {"AAAB", {"AAB"}, 1},
      {"xxuser id: ", {"Host Name:", "User ID:"}, 2},
      {"abababc", {"ababc"}, 1},
      {"nothing here", {"zzz"}, 0},
      {"\xC1"
       "BC",
       {"abc"},
       1},  // bytes are read as 7 bits
  };
  for (const Case& c : cases) {
    HostSays(c.arriving);
    EXPECT_EQ(ConnWaitFor(s, uint16_t(c.patterns.size()), 20, c.patterns.data()), c.result) << c.arriving;
    Settle();
  }
  HostSays("seen text");
  const char* none[] = {"zz"};
  ConnWaitFor(s, 1, 10, none);
  EXPECT_STREQ(s->capture, "seen text");

  client.handler = [](unsigned code, intptr_t lParam) -> intptr_t {
    if (code == kNoticeAbortQuestion) *reinterpret_cast<int32_t*>(lParam) = 1;
    return 0;
  };
  EXPECT_EQ(ConnWaitFor(s, 1, 100, none), -1);
  EXPECT_EQ(ConnWaitFor(s, 1, 5, none), 0);  // the abort was reported once

  port.open = false;
  EXPECT_EQ(ConnWaitFor(s, 1, 5, none), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrCommPort);
}

TEST_F(Session, LogonTimeoutOptions) {
  EXPECT_EQ(LogonSeconds(0), 120);
  EXPECT_EQ(LogonSeconds(1), 90);
  EXPECT_EQ(LogonSeconds(119), 90);
  EXPECT_EQ(LogonSeconds(150), 150);
}

TEST_F(Session, EscIAnswerFromTheApplicationText) {
  char out[256];
  struct Case {
    const char* application;
    const char* port;
    const char* answer;
  } cases[] = {
      {"PL:32:x,Pelmora 1.0", "COM1", "PL:32:WN4,Pelmora 1.0,AP,PB,LA1,CH1,CO0,+"},
      {"PL:32:x,", "WINSOCK", "PL:32:WN4,MS,AP,PB,LA1,CH1,CO0,+"},
      {"nocolon,tail", "COM1", "#NOSPEC::WN4,tail,AP,PB,LA1,CH1,CO0,+"},
      {"", "COM1", ""},
  };
  for (const Case& c : cases) {
    std::snprintf(s->settings.port.portName, sizeof s->settings.port.portName, "%s", c.port);
    BuildEscIAnswer(s, c.application, out, sizeof out);
    EXPECT_STREQ(out, c.answer) << c.application;
  }
}

// The host's ESC "[>" questions, answered from the capability table.
struct Negotiation : Session {
  std::string script;  // what the scripted host sends next, once
  void SetUp() override {
    Session::SetUp();
    port.open = true;
    static const uint8_t table[] = {5, 0, 1, 2, 0, 0};
    s->capabilities = static_cast<uint8_t*>(BpSys().memAlloc(sizeof table));
    std::memcpy(s->capabilities, table, sizeof table);
    s->capabilityCount = 2;
    s->settings.logonTimeout = 150;
  }
};

TEST_F(Negotiation, QueriesAreAnsweredAndTheWaitGoesOn) {
  HostSays("\x1b[>0q");
  peer = [this] {
    if (heard == "#5,2\r") {
      heard += "|";
      HostSays("\x1b[>7q");
    } else if (heard == "#5,2\r|#\r") {
      heard += "|";
      HostSays("\x1b[>5;6p");
    }
  };
  EXPECT_EQ(ConnNegotiate(s, "ESCI"), 0);
  Settle();
  EXPECT_EQ(uint32_t(s->error), kConnErrEscI);
  EXPECT_EQ(heard, "#5,2\r|#\r|#\r");
  EXPECT_EQ(unsigned(s->qvx->timeoutSeconds), 150u);
}

TEST_F(Negotiation, EscIIsAnsweredWithItsChecksumAndSilenceTimesOut) {
  HostSays("\x1bI");
  EXPECT_EQ(ConnNegotiate(s, "AB"), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrNoProtocol);
  Settle();
  EXPECT_EQ(heard, "AB131");
}

TEST_F(Negotiation, UnknownSelectionIsRefused) {
  HostSays("\x1b[>9;9p");
  EXPECT_EQ(ConnNegotiate(s, "x"), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrCapability);
  Settle();
  EXPECT_EQ(heard, "#\r");
}

TEST_F(Negotiation, SelectionStartsTheQvxLink) {
  host = std::make_unique<QvxHost>(&line.end[1]);
  HostSays("\x1b[>5;5p");
  ASSERT_EQ(ConnNegotiate(s, "x"), 1) << s->error << " " << HostLog();
  EXPECT_EQ(uint32_t(s->state), 2u);
  EXPECT_EQ(ConnLinkState(s), 2);
  EXPECT_EQ(host->log[0].substr(0, 10), "start #5,1");
}

// A login script that answers the stand-in host's prompts.
const std::string kLogonScript = std::string(
                                     "! Logon for the stand-in host\n"
                                     "!+N\nDravenetNet = 1; ! \"Dravenet\"\n!-N\n") +
                                 kStandInLogonBody;

struct Logon : Session {
  std::string scriptPath;
  const uint8_t table[6] = {5, 0, 0, 2, 0, 0};
  void SetUp() override {
    Session::SetUp();
    host = std::make_unique<QvxHost>(&line.end[1]);
    std::string error;
    ASSERT_TRUE(host->Load("logon 12345,678 secret\n", &error)) << error;
    scriptPath = dir.Path("logon.scr");
    testfs::WriteWholeFile(scriptPath, kLogonScript);
    s->settings.connectionType = 2;
    ConnSetUserId(s, "12345,678");
    ConnSetPassword(s, "secret");
  }
  int Connect(uint16_t count = 2) {
    return ConnConnect(s, scriptPath.c_str(), count, table, "PL:32:x,Pelmora", "data.log");
  }
};

TEST_F(Logon, ScriptDrivesTheHostToTheQvxStartAndDisconnectEndsTheLink) {
  ASSERT_EQ(Connect(), 1) << s->error << " " << Take(ScriptErrorText(s)) << " " << HostLog();
  EXPECT_EQ(uint32_t(s->state), 2u);
  EXPECT_TRUE(HostLogged("host DVN"));
  EXPECT_TRUE(HostLogged("user 12345,678"));
  EXPECT_TRUE(HostLogged("password ok"));
  EXPECT_TRUE(HostLogged("esci PL:32:WN4,Pelmora,AP,PB,LA1,CH1,CO0,+ ok")) << HostLog();
  EXPECT_TRUE(HostLogged("capabilities #5,2"));
  EXPECT_TRUE(HostLogged("link"));
  EXPECT_EQ(heard.find("secret\r") != std::string::npos, true);
  EXPECT_EQ(client.Count(kNoticeConnected), 1);
  EXPECT_EQ(client.Count(kNoticeLinkUp), 1);

  EXPECT_EQ(ConnDisconnect(s, nullptr), 1) << s->error;
  EXPECT_TRUE(HostLogged("stop")) << HostLog();
  EXPECT_EQ(uint32_t(s->state), 0u);
  EXPECT_FALSE(port.open);
}

TEST_F(Logon, WithoutCapabilitiesTheLogoffCommandIsSent) {
  ASSERT_EQ(Connect(0), 1) << s->error;
  EXPECT_EQ(uint32_t(s->state), 1u);
  EXPECT_EQ(ConnLinkState(s), 1);
  EXPECT_EQ(ConnDisconnect(s, nullptr), 1);
  EXPECT_NE(heard.find("/LOG\r"), std::string::npos);
  EXPECT_TRUE(HostLogged("logoff")) << HostLog();
}

TEST_F(Logon, WrongPasswordEndsInTheScriptsFailure) {
  ConnSetPassword(s, "wrong");
  // The host asks for the user id again; the script waits for the ESC-I that
  // never comes.
  EXPECT_EQ(Connect(), 0);
  EXPECT_TRUE(HostLogged("password bad"));
  EXPECT_NE(s->error, 0u);
}

TEST_F(Logon, AWinsockNegotiationThatFailsIsTriedOnlyAFewTimes) {
  host.reset();  // a host that never asks ESC-I or ESC "[>"
  testfs::WriteWholeFile(scriptPath, "ifndef %runs = 0;\n%runs = %runs + 1;\ninit %Port, 9600;\nexit 0;\n");
  std::snprintf(s->settings.port.portName, sizeof s->settings.port.portName, "WINSOCK");
  EXPECT_EQ(Connect(), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrNoProtocol);
  int32_t runs = 0;
  ASSERT_EQ(ScriptGetInt(s, "%runs", &runs), 1);
  EXPECT_EQ(runs, 3);
}

TEST_F(Logon, MissingCredentialsArePromptedFor) {
  ConnSetUserId(s, "");
  ConnSetPassword(s, "");
  std::vector<int32_t> fields;
  client.handler = [&](unsigned code, intptr_t lParam) -> intptr_t {
    if (code != kNoticePrompt) return 0;
    auto* p = reinterpret_cast<ConnPrompt*>(lParam);
    fields.push_back(int32_t{p->field});
    std::snprintf(p->buffer, p->maximum + 1u, "%s", p->field == 0 ? "12345,678" : "secret");
    return 0;
  };
  ASSERT_EQ(Connect(), 1) << s->error;
  EXPECT_EQ(fields, (std::vector<int32_t>{0, 1}));

  ConnDisconnect(s, nullptr);
  ConnSetUserId(s, "");
  client.handler = nullptr;
  EXPECT_EQ(Connect(), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrCredentials);
}

TEST_F(Logon, ScriptErrorsAndBadFilesGiveTheirErrors) {
  testfs::WriteWholeFile(scriptPath, "send 1;\nreturn;\n");
  EXPECT_EQ(Connect(), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrScript);
  EXPECT_EQ(g_ini["Connect_Info/Event_Text"], "Error in logon.scr at line 2: Gosub stack underflow");
  EXPECT_EQ(Take(SessionErrorText(s)), "Error in logon.scr at line 2: Gosub stack underflow");

  EXPECT_EQ(ConnConnect(s, dir.Path("absent.scr").c_str(), 2, table, "PL:32:x,", "data.log"), 0);
  EXPECT_EQ(uint32_t(s->error), kConnErrScriptFile);
}

// Another program's window, named in dranet.ini by its 32-bit handle.
constexpr uintptr_t kWatcher = 0x5150;
std::vector<intptr_t> g_watched;
intptr_t (*g_simNotify)(void*, unsigned, intptr_t);
intptr_t WatchingNotify(void* window, unsigned code, intptr_t lParam) {
  if (reinterpret_cast<uintptr_t>(window) != kWatcher) return g_simNotify(window, code, lParam);
  if (code == kNoticeStateChanged) g_watched.push_back(lParam);
  return 0;
}

TEST_F(Logon, ConnectionStateReachesTheNamedWindow) {
  BpSystem system = BpSys();
  g_simNotify = system.notify;
  system.notify = WatchingNotify;
  BpSetSystem(system);
  g_watched.clear();
  EXPECT_EQ(ConnStateSetStatus(s, "ignored"), 0);
  EXPECT_EQ(g_ini.count("Connection State/StatusMsg"), 0u);

  EXPECT_EQ(ConnStateSetAppWindow(s, 0), 1);
  EXPECT_EQ(g_ini["Connection State/AppHWnd"], std::to_string(reinterpret_cast<uintptr_t>(&client)));
  ConnStateSetAppWindow(s, uint32_t(kWatcher));
  EXPECT_EQ(g_ini["Connection State/AppHWnd"], std::to_string(kWatcher));
  ScriptSetInt(s, "%State", 4);
  EXPECT_EQ(ConnStateSetStatus(s, "Dialling"), 4);
  EXPECT_EQ(g_ini["Connection State/StatusMsg"], "Dialling");
  EXPECT_EQ(g_watched, (std::vector<intptr_t>{4}));
  EXPECT_EQ(Take(ConnStateGetStatus()), "Dialling");
  ConnStateClear();
  EXPECT_EQ(g_ini.count("Connection State/AppHWnd"), 0u);
  // A fresh process reads the text another one stored.
  g_ini["Connection State/StatusMsg"] = "From elsewhere";
  EXPECT_EQ(Take(ConnStateGetStatus()), "From elsewhere");
}

}  // namespace
