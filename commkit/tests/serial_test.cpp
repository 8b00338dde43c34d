// The serial driver on a real line: COM<n> of the Wine prefix is a
// pseudo-terminal with the fake modem at its other end (with_fake_modem.sh).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include "fake_client.h"
#include "port/port.h"

namespace {
int ComNumber() {
  const char* value = getenv("COMMKIT_TEST_COM");
  return value ? atoi(value) : 0;
}

std::string ComName() { return "COM" + std::to_string(ComNumber()); }

// Collects what the line sends until `wanted` shows up; gives up after
// `seconds` so a broken line fails the test instead of hanging it.
std::string ReadUntil(PortObject* port, const std::string& wanted, int seconds = 10) {
  std::string got;
  uint32_t deadline = TimeoutStart(uint16_t(seconds * 10));
  while (got.find(wanted) == std::string::npos && !TimeoutPassed(deadline)) {
    uint16_t byte = PortWaitChar(port, 1);
    if (byte != 0xFFFF) got += char(byte);
  }
  return got;
}

bool Say(PortObject* port, const std::string& text) {
  return PortWrite(port, text.data(), uint16_t(text.size())) == text.size();
}

struct SerialLine : ::testing::Test {
  FakeClient client;
  PortObject* port = nullptr;
  void SetUp() override {
    if (ComNumber() <= 0) GTEST_SKIP() << "no line: run through with_fake_modem.sh";
    port = PortCreate(client.window);
    ASSERT_NE(port, nullptr);
  }
  void TearDown() override {
    if (port) {
      PortClose(port);
      PortDestroy(port);
    }
  }
  bool Open(const char* log = nullptr, int32_t flow = 0) {
    return PortOpen(port, ComName().c_str(), 9600, 8, "None", 0, flow, 0, log) == 1;
  }
};
}  // namespace

TEST_F(SerialLine, TalksToTheModemAndLogsTheData) {
  TempDir dir;
  std::string log = dir.File("line.log");
  ASSERT_TRUE(Open(log.c_str())) << PortGetError(port);
  EXPECT_EQ(PortGetSettings(port)->portIndex, ComNumber() - 1);
  ASSERT_TRUE(Say(port, "AT\r"));
  EXPECT_NE(ReadUntil(port, "OK\r\n").find("OK"), std::string::npos);
  ASSERT_TRUE(Say(port, "ATDT5551234\r"));
  EXPECT_NE(ReadUntil(port, "CONNECT 9600\r\n").find("CONNECT 9600"), std::string::npos);
  ASSERT_TRUE(Say(port, "hello over the line"));
  EXPECT_NE(ReadUntil(port, "hello over the line").find("hello over the line"), std::string::npos);
  ASSERT_TRUE(Say(port, "+++"));
  EXPECT_NE(ReadUntil(port, "OK\r\n").find("+++\r\nOK"), std::string::npos);
  ASSERT_TRUE(Say(port, "ATH0\r"));
  EXPECT_NE(ReadUntil(port, "OK\r\n").find("OK"), std::string::npos);
  ASSERT_TRUE(Say(port, "ATDT5550000\r"));
  EXPECT_NE(ReadUntil(port, "NO CARRIER\r\n").find("NO CARRIER"), std::string::npos);
  EXPECT_EQ(PortBytesSent(port), 3u + 12 + 19 + 3 + 5 + 12);
  PortBreak(port);
  PortPurge(port, 3);
  EXPECT_EQ(PortModemStatus(port) & 1, 1);
  PortClose(port);
  EXPECT_EQ(PortIsOpen(port), 0);

  std::string text = ReadWholeFile(log);
  ASSERT_GT(text.size(), 130u);
  EXPECT_EQ(text.substr(0, 62), std::string(60, ' ') + "\r\n");
  EXPECT_EQ(text.substr(62 + 8, 55), "=> 41.54.0D." + std::string(40, ' ') + "AT.");
  EXPECT_NE(text.find("<= 0D 0A 4F 4B 0D 0A"), std::string::npos);
  EXPECT_NE(text.find("..NO CARRIER.."), std::string::npos);
}

TEST_F(SerialLine, PortInUseAndMissingPorts) {
  // The line after ours stands for a port that another program holds.
  int busyIndex = ComNumber();
  std::string busyName = "COM" + std::to_string(busyIndex + 1);
  EXPECT_EQ(PortOpen(port, busyName.c_str(), 9600, 8, "None", 0, 0, 0, nullptr), 0);
  EXPECT_EQ(PortGetError(port), 522);
  EXPECT_EQ(PortIsOpen(port), 0);
  char* text = PortErrorText(port);
  EXPECT_STREQ(text, (busyName + " already open").c_str());
  ZrtMemFree(reinterpret_cast<void**>(&text));
  EXPECT_EQ(PortProbe(port, busyIndex), 1);  // held, but present
  // COM8 is mapped to nothing in the test prefix.
  EXPECT_EQ(PortProbe(port, 7), 0);
  EXPECT_EQ(PortOpen(port, "COM8", 9600, 8, "None", 0, 0, 0, nullptr), 0);
  EXPECT_EQ(PortGetError(port), 513);
  ASSERT_TRUE(Open());
  EXPECT_EQ(PortProbe(port, ComNumber() - 1), 1);
  uint16_t count = 0;
  PortSetKeepFirstFour(port, 0);
  ChoiceRow* rows = ChoiceList(port, 0, &count);
  bool listed = false, busyListed = false;
  for (uint16_t i = 0; i < count; ++i) {
    listed |= rows[i].item == ComNumber() - 1;
    busyListed |= rows[i].item == busyIndex;
    EXPECT_NE(rows[i].item, 7);
  }
  EXPECT_TRUE(listed);
  EXPECT_TRUE(busyListed);
  ZrtMemFree(reinterpret_cast<void**>(&rows));
}

TEST_F(SerialLine, LineSettingsReachTheDevice) {
  ASSERT_TRUE(Open(nullptr, 3));
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(port->handle, &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_TRUE(dcb.fOutX);
  EXPECT_TRUE(dcb.fInX);
  EXPECT_TRUE(dcb.fOutxCtsFlow);
  PortSetFlow(port, 0);
  ASSERT_TRUE(GetCommState(port->handle, &dcb));
  EXPECT_FALSE(dcb.fOutX);
  EXPECT_FALSE(dcb.fInX);
  EXPECT_FALSE(dcb.fOutxCtsFlow);
  // A pseudo-terminal keeps eight data bits and no parity whatever it is
  // told, so the device shows only the new speed.
  EXPECT_EQ(PortSetup(port, 28800, 8, "Even", 0, 0, 0), 1);
  ASSERT_TRUE(GetCommState(port->handle, &dcb));
  EXPECT_EQ(dcb.BaudRate, 38400u);
  EXPECT_EQ(PortGetSettings(port)->parityIndex, 2);
}

TEST_F(SerialLine, ExternalHandleIsUsedAsGivenAndLeftOpen) {
  char device[16];
  snprintf(device, sizeof device, "\\\\.\\COM%d", ComNumber());
  HANDLE line =
      CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(line, INVALID_HANDLE_VALUE);
  DCB before = {};
  before.DCBlength = sizeof before;
  GetCommState(line, &before);
  before.BaudRate = 2400;
  SetCommState(line, &before);
  port->externalCommHandle = line;
  ASSERT_TRUE(Open());
  EXPECT_EQ(port->handle, line);
  DCB after = {};
  after.DCBlength = sizeof after;
  GetCommState(line, &after);
  EXPECT_EQ(after.BaudRate, 2400u);  // its settings are not ours to change
  ASSERT_TRUE(Say(port, "AT\r"));
  EXPECT_NE(ReadUntil(port, "OK\r\n").find("OK"), std::string::npos);
  PortClose(port);
  DWORD errors = 0;
  EXPECT_TRUE(ClearCommError(line, &errors, nullptr));  // still open
  CloseHandle(line);
}
