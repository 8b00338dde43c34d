// The winsock line and the whole logon over loopback TCP against the
// stand-in host (qvxhost.exe), under the toolbox's own services.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "commkit/session/conn_session.h"
#include "commkit/session/tests/standin_logon.h"
#include "fake_client.h"
#include "internal.h"
#include "port/driver_winsock.h"
#include "port/port.h"

namespace {

const std::string kLogonScript = std::string("! Logon for the stand-in host over the Internet\n") + kStandInLogonBody;

// The first address refuses (nothing listens on 127.0.0.2), the second is
// the stand-in host.
int TwoAddresses(PortObject*, const char*, uint32_t* addresses, int maximum) {
  if (maximum < 2) return 0;
  addresses[0] = htonl(0x7F000002);
  addresses[1] = htonl(INADDR_LOOPBACK);
  return 2;
}

struct Winsock : ::testing::Test {
  FakeClient client;
  TempDir dir;
  HANDLE hostProcess = nullptr;
  int tcpPort = 0;

  void SetUp() override {
    BpUseToolbox();
    QvxUseToolbox();
    SessionUseToolbox();
    client.handleForwarded = false;
  }
  void TearDown() override {
    g_winsockHooks = kDefaultWinsockHooks;
    if (hostProcess) {
      if (WaitForSingleObject(hostProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(hostProcess, 1);
      CloseHandle(hostProcess);
    }
  }
  bool StartHost(const std::string& script) {
    std::string scriptFile = dir.File("host.script");
    FILE* f = fopen(scriptFile.c_str(), "wb");
    if (!f) return false;
    fputs(script.c_str(), f);
    fclose(f);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string exe = self;
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "..\\..\\standins\\qvxhost\\qvxhost.exe";
    std::string command =
        "\"" + exe + "\" \"" + scriptFile + "\" \"" + dir.File("host.port") + "\" \"" + dir.File("host.log") + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    hostProcess = process.hProcess;
    for (int i = 0; i < 400 && !tcpPort; ++i) {
      tcpPort = atoi(ReadWholeFile(dir.File("host.port")).c_str());
      if (!tcpPort) Sleep(50);
    }
    return tcpPort != 0;
  }
  bool HostHeard(const std::string& entry) {
    for (int i = 0; i < 100; ++i) {
      std::string log = "\n" + ReadWholeFile(dir.File("host.log"));
      if (log.find("\n" + entry + "\n") != std::string::npos) return true;
      Sleep(50);
    }
    return false;
  }
  std::string HostLog() { return ReadWholeFile(dir.File("host.log")); }

  ConnSession* NewSession() {
    ConnSession* s = ConnCreate(client.window);
    PortSettings& p = s->settings.port;
    CopyBounded(p.portName, sizeof p.portName, "WINSOCK");
    CopyBounded(p.hostName, sizeof p.hostName, "host.test");
    p.tcpPort = uint16_t(tcpPort);
    p.connectTimeout = 5;
    ConnSetUserId(s, "12345,678");
    ConnSetPassword(s, "secret");
    ConnSetUseWinsock(s, 1);
    WriteScript();
    return s;
  }
  void WriteScript() {
    FILE* f = fopen(dir.File("logon.scr").c_str(), "wb");
    fputs(kLogonScript.c_str(), f);
    fclose(f);
  }
};

const uint8_t kCapabilities[] = {5, 0, 0};

TEST_F(Winsock, LogonOverTheSecondAddressStartsTheLinkAndAHostThatHangsUpGives523) {
  ASSERT_TRUE(StartHost("logon 12345,678 secret\non 5 40 close\n"));
  g_winsockHooks = WinsockHooks{TwoAddresses};
  ConnSession* s = NewSession();
  int connected =
      ConnConnect(s, dir.File("logon.scr").c_str(), 1, kCapabilities, "PL:32:x,Pelmora", dir.File("data.log").c_str());
  ASSERT_EQ(connected, 1) << "error " << s->error << "\n" << HostLog();
  EXPECT_EQ(int(s->state), 2);
  EXPECT_TRUE(HostHeard("password ok"));
  std::string log = HostLog();
  EXPECT_NE(log.find("esci PL:32:W"), std::string::npos) << log;
  EXPECT_NE(log.find(",MS,AP,PB,LA1,CH1,CO0,+ ok"), std::string::npos) << log;
  EXPECT_TRUE(HostHeard("capabilities #5"));
  EXPECT_TRUE(HostHeard("link"));
  char address[32] = {};
  EXPECT_EQ(WinsockGetHostName(static_cast<PortObject*>(s->port), address), 1);
  EXPECT_STREQ(address, "127.0.0.1");

  // The host hangs up as it reads the request.
  QvxBeginRequest(s->qvx, 5, 40);
  QvxPutString(s->qvx, "hi");
  QvxSendRequest(s->qvx);
  auto* port = static_cast<PortObject*>(s->port);
  uint32_t error = port->error;
  DWORD start = GetTickCount();
  while (!error && GetTickCount() - start < 10000) {
    PortGetChar(port);
    error = port->error;
    if (error) break;
    WaitYield();
  }
  EXPECT_EQ(error, 523u);
  ConnDestroy(s);
}

TEST_F(Winsock, DisconnectSendsTheLogoffCommand) {
  ASSERT_TRUE(StartHost("logon 12345,678 secret\n"));
  g_winsockHooks = WinsockHooks{TwoAddresses};
  ConnSession* s = NewSession();
  ASSERT_EQ(ConnConnect(s, dir.File("logon.scr").c_str(), 0, nullptr, "PL:32:x,Pelmora", ""), 1) << s->error;
  EXPECT_EQ(int(s->state), 1);
  EXPECT_EQ(ConnDisconnect(s, nullptr), 1) << s->error;
  EXPECT_TRUE(HostHeard("logoff")) << HostLog();
  EXPECT_FALSE(PortIsOpen(static_cast<PortObject*>(s->port)));
  ConnDestroy(s);
}

TEST_F(Winsock, NamesAreLookedUpAndAnUnknownOneIsSaidSo) {
  ASSERT_TRUE(StartHost("start ack\n"));
  PortObject* port = PortCreate(client.window);
  PortSettings settings = {};
  SettingsDefault(&settings);
  CopyBounded(settings.portName, sizeof settings.portName, "WINSOCK");
  CopyBounded(settings.hostName, sizeof settings.hostName, "localhost");
  settings.tcpPort = uint16_t(tcpPort);
  settings.speed = 9600;
  settings.connectTimeout = 255;  // counts as 20 seconds
  ASSERT_EQ(PortOpenWithSettings(port, &settings, ""), 1) << port->error;
  EXPECT_TRUE(PortModemStatus(port) & 2);
  EXPECT_NE(port->settings.winsockDescription[0], 0);
  PortClose(port);
  EXPECT_EQ(PortIsOpen(port), 0);

  CopyBounded(settings.hostName, sizeof settings.hostName, "no-such-host.invalid");
  settings.connectTimeout = 1;
  EXPECT_EQ(PortOpenWithSettings(port, &settings, ""), 0);
  char* text = PortErrorText(port);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::string(text).find("no-such-host.invalid"), std::string::npos) << text;
  ZrtMemFree(reinterpret_cast<void**>(&text));
  PortDestroy(port);
}

TEST(WinsockExports, ErrorIdsAndPortsWithoutAConnection) {
  EXPECT_EQ(WinsockErrorId(590), 10061);
  EXPECT_EQ(WinsockErrorId(1), 0);
  PortObject* port = PortCreate(nullptr);
  char buffer[300];
  EXPECT_EQ(WinsockGetHostName(port, buffer), 0);
  EXPECT_EQ(port->error, 569u);
  port->error = 0;
  EXPECT_EQ(WinsockPeerIsServiceHost(port, buffer), 0);
  EXPECT_EQ(port->error, 569u);
  PortDestroy(port);
}

}  // namespace
