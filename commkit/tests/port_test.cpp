// The port object over the client-forwarded driver: opening, settings, byte
// I/O, waits, the output buffer and the data log.
#include <gtest/gtest.h>

#include <string.h>

#include "fake_client.h"
#include "port/port.h"

namespace {
struct ForwardedPort : ::testing::Test {
  FakeClient client;
  PortObject* port = nullptr;
  void SetUp() override {
    port = PortCreate(client.window);
    ASSERT_NE(port, nullptr);
    PortSetForwarded(port, 1);
  }
  void TearDown() override { PortDestroy(port); }
  bool Open(int32_t speed = 9600, const char* parity = "None", const char* log = nullptr, const char* name = "COM2") {
    return PortOpen(port, name, speed, 8, parity, 0, 2, 1, log) == 1;
  }
};

std::string Take(char* text) {
  std::string copy = text ? text : "(none)";
  ZrtMemFree(reinterpret_cast<void**>(&text));
  return copy;
}

// The time stamp is the one column that differs from run to run.
std::string Untimed(std::string line) {
  if (line.size() >= 8 && line[2] == ':' && line[5] == ':') line.replace(0, 8, "hh:mm:ss");
  return line;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at) + "<no CRLF>");
      break;
    }
    lines.push_back(Untimed(text.substr(at, end - at)));
    at = end + 2;
  }
  return lines;
}
}  // namespace

TEST_F(ForwardedPort, CreateStartsClosedWithDefaults) {
  EXPECT_EQ(PortIsOpen(port), 0);
  EXPECT_EQ(port->savedHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(PortGetKeepFirstFour(port), 1);
  EXPECT_EQ(PortGetLogState(port), 0);
  EXPECT_EQ(PortGetError(port), 0);
  uint8_t byte;
  EXPECT_EQ(PortRead(port, &byte, 1), 0);
  EXPECT_EQ(PortGetError(port), 520);
  PortClose(port);  // nothing to close
  EXPECT_EQ(client.notices[kNoticeFwdClose], 0);
}

TEST_F(ForwardedPort, OpenHandsTheClientTheSettingsAndMapsSpeeds) {
  struct Case {
    int32_t speed;
    const char* parity;
    bool opens;
    int32_t lineSpeed, parityIndex;
    uint16_t error;
  };
  const Case cases[] = {
      {9600, "None", true, 9600, 0, 0},      {14400, "even", true, 19200, 2, 0}, {28800, "ODD", true, 38400, 1, 0},
      {115200, "Space", true, 115200, 4, 0}, {2000, "None", false, 0, 0, 516},   {9600, "Parity", false, 0, 0, 517},
  };
  for (const Case& c : cases) {
    client.notices.clear();
    EXPECT_EQ(Open(c.speed, c.parity), c.opens) << c.speed << c.parity;
    EXPECT_EQ(PortGetError(port), c.error) << c.speed << c.parity;
    EXPECT_EQ(PortIsOpen(port), c.opens);
    if (!c.opens) {
      EXPECT_EQ(client.notices[kNoticeFwdOpen], 0);
      continue;
    }
    EXPECT_EQ(client.notices[kNoticeFwdOpen], 1);
    EXPECT_STREQ(client.lastSettings.portName, "COM2");
    EXPECT_STREQ(client.lastSettings.parityName, c.parity);
    EXPECT_EQ(client.lastSettings.speed, c.lineSpeed);
    EXPECT_EQ(PortGetSettings(port)->speed, c.lineSpeed);
    EXPECT_EQ(PortGetSettings(port)->parityIndex, c.parityIndex);
    EXPECT_EQ(PortGetSettings(port)->portIndex, 1);
    PortClose(port);
    EXPECT_EQ(client.notices[kNoticeFwdClose], 1);
    EXPECT_EQ(PortGetLogState(port), 4);
  }
}

TEST_F(ForwardedPort, OpenFailures) {
  EXPECT_FALSE(Open(9600, "None", nullptr, "COM9"));
  EXPECT_EQ(PortGetError(port), 513);
  client.handleForwarded = false;  // an ignored open fails as an invalid port
  EXPECT_FALSE(Open());
  EXPECT_EQ(PortGetError(port), 513);
  EXPECT_EQ(PortIsOpen(port), 0);
  client.handleForwarded = true;
  client.openAnswer = false;
  EXPECT_FALSE(Open());
  EXPECT_EQ(PortGetError(port), 513);
  EXPECT_EQ(Take(PortErrorText(port)), "Invalid port name: COM2");
}

TEST_F(ForwardedPort, ReadsGoThroughTheReceiveBuffer) {
  ASSERT_TRUE(Open());
  client.readAnswerOverride = 0x00050000;  // the client says five bytes came
  memcpy(port->receiveBuffer, "hello", 5);
  char buffer[16] = {};
  EXPECT_EQ(PortRead(port, buffer, 16), 5);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(client.lastValue, 1024u);  // the maximum in the low half
  client.readAnswerOverride = 0;

  client.Feed("abc");
  EXPECT_EQ(PortAvailable(port), 3);
  EXPECT_EQ(PortGetChar(port), 'a');
  EXPECT_EQ(PortRead(port, buffer, 1), 1);
  EXPECT_EQ(buffer[0], 'b');
  EXPECT_EQ(PortWaitChar(port, 0), 'c');
  EXPECT_EQ(PortBytesReceived(port), 8u);
  // Nothing waiting: 65535 at once, and no keep-alive for a zero wait.
  client.notices.clear();
  EXPECT_EQ(PortWaitChar(port, 0), 0xFFFF);
  EXPECT_EQ(client.notices[kNoticeKeepAlive], 0);
  // A client reporting more than the buffer holds is held to the maximum.
  client.readAnswerOverride = 0xFFFF0000;
  EXPECT_EQ(PortAvailable(port), 1024);
}

TEST_F(ForwardedPort, WaitsPollTheClientAndStop) {
  ASSERT_TRUE(Open());
  // A wait without deadline ends when the client answers "stop".
  client.stopAfterPolls = 3;
  EXPECT_EQ(PortWaitChar(port, -1), 0xFFFF);
  EXPECT_EQ(client.notices[kNoticeAskStop], 3);
  EXPECT_GE(client.notices[kNoticeKeepAlive], 2);
  // A quiet port sends no keep-alive.
  client.notices.clear();
  port->quiet = 1;
  EXPECT_EQ(PortWaitChar(port, 1), 0xFFFF);
  EXPECT_EQ(client.notices[kNoticeKeepAlive], 0);
  port->quiet = 0;
  EXPECT_EQ(PortWaitChar(port, 1), 0xFFFF);
  EXPECT_GT(client.notices[kNoticeKeepAlive], 0);
  // Writes: a byte the client will not take is retried until the client stops it.
  client.notices.clear();
  client.stopAfterPolls = 2;
  client.handleForwarded = false;
  EXPECT_EQ(PortPutCharWait(port, 'x', -1), 1);  // an ignored write counts the preset
  client.handleForwarded = true;
  EXPECT_EQ(PortPutCharWait(port, 'y', 0), 1);
  EXPECT_EQ(client.written, "y");
}

TEST_F(ForwardedPort, LostCarrierEndsReadsWhileWatched) {
  ASSERT_TRUE(Open());
  client.carrier = false;
  EXPECT_EQ(PortModemStatus(port), 1);  // bit 0 always, no carrier
  port->settings.carrierWatch = 1;
  char byte;
  EXPECT_EQ(PortRead(port, &byte, 1), 0);
  EXPECT_EQ(PortGetError(port), 523);
  EXPECT_EQ(PortWaitChar(port, 5), 0xFFFF);  // stops early on the lost line
  EXPECT_EQ(PortGetError(port), 523);
  client.carrier = true;
  EXPECT_EQ(PortModemStatus(port), 3);
}

TEST_F(ForwardedPort, OperationsReachTheClient) {
  ASSERT_TRUE(Open());
  PortBreak(port);
  EXPECT_EQ(client.notices[kNoticeFwdBreak], 1);
  PortSetFlow(port, 3);
  EXPECT_EQ(client.lastArgument, 3u);
  EXPECT_EQ(PortGetSettings(port)->flowControl, 3);
  client.Feed("zz");
  EXPECT_EQ(PortAvailable(port), 2);
  PortPurge(port, 2);
  EXPECT_EQ(client.lastValue, 2u);
  EXPECT_EQ(PortAvailable(port), 0);  // the receive buffer went too
  EXPECT_EQ(PortSetup(port, 14400, 7, "Mark", 1, 1, 0), 1);
  EXPECT_EQ(client.lastSettings.speed, 19200);
  EXPECT_EQ(PortGetSettings(port)->parityIndex, 3);
  EXPECT_EQ(PortGetSettings(port)->dataBits, 7);
  EXPECT_EQ(PortSetup(port, 2000, 7, "Mark", 1, 1, 0), 0);
  EXPECT_EQ(PortGetError(port), 516);

  // Detach keeps the handle aside; reattach brings it back.
  EXPECT_EQ(PortDetach(port, 1), 1);
  EXPECT_EQ(PortIsOpen(port), 0);
  EXPECT_EQ(PortDetach(port, 1), 0);
  EXPECT_EQ(PortGetError(port), 520);
  EXPECT_EQ(PortDetach(port, 0), 1);
  EXPECT_EQ(PortIsOpen(port), 1);
  EXPECT_EQ(PortDetach(port, 0), 0);
  EXPECT_EQ(PortGetError(port), 520);
  EXPECT_EQ(PortSetClientValue(port, 7), 0u);
  EXPECT_EQ(PortSetClientValue(port, 9), 7u);
  EXPECT_EQ(PortGetClientValue(port), 9u);
}

TEST_F(ForwardedPort, OutputBufferSendsOnePacketPerFlush) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(PortFlushBuffer(port), 1);  // nothing pending
  EXPECT_EQ(client.notices[kNoticeFwdWrite], 0);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(PortBufferByte(port, uint8_t(i)), 1);
  EXPECT_EQ(client.notices[kNoticeFwdWrite], 0);
  ASSERT_EQ(PortBufferByte(port, 0xEE), 1);  // the 2049th byte sends the first 2048
  EXPECT_EQ(client.notices[kNoticeFwdWrite], 1);
  EXPECT_EQ(client.written.size(), 2048u);
  EXPECT_EQ(PortFlushBuffer(port), 1);
  EXPECT_EQ(client.written.size(), 2049u);
  EXPECT_EQ(uint8_t(client.written.back()), 0xEE);
  EXPECT_EQ(PortBytesSent(port), 2049u);
}

TEST_F(ForwardedPort, DataLogGoldenLines) {
  TempDir dir;
  std::string log = dir.File("data.log");
  ASSERT_TRUE(Open(9600, "None", log.c_str()));
  EXPECT_EQ(PortGetLogState(port), 1);
  EXPECT_EQ(PortWrite(port, "AT\r", 3), 3);
  client.Feed("OK");
  char reply[4];
  EXPECT_EQ(PortRead(port, reply, 4), 2);
  PortClose(port);
  std::vector<std::string> expected = {
      std::string(60, ' '),
      "hh:mm:ss=> 41.54.0D." + std::string(40, ' ') + "AT.",
      "hh:mm:ss<= 4F 4B " + std::string(43, ' ') + "OK",
  };
  EXPECT_EQ(Lines(ReadWholeFile(log)), expected);
  EXPECT_EQ(PortGetLogState(port), 4);

  // Reopened, the log goes on at the end of the same file; sixteen bytes to
  // a line, the continuation without a time.
  ASSERT_TRUE(Open(9600, "None", log.c_str()));
  PortWrite(port, "0123456789ABCDEFG", 17);
  PortLogControl(port, 2);  // pause: this byte is not logged
  PortWrite(port, "\xff", 1);
  PortLogControl(port, 1);
  PortWrite(port, "\x80", 1);
  PortClose(port);
  std::vector<std::string> lines = Lines(ReadWholeFile(log));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[3], std::string(60, ' '));
  EXPECT_EQ(lines[4], "hh:mm:ss=> 30.31.32.33.34.35.36.37.38.39.41.42.43.44.45.46. 0123456789ABCDEF");
  EXPECT_EQ(lines[5], std::string(11, ' ') + "47." + std::string(46, ' ') + "G");
  EXPECT_EQ(lines[6], std::string(11, ' ') + "80." + std::string(46, ' ') + ".");
}

TEST_F(ForwardedPort, LogLinesAndRawBlocksGoToTheClient) {
  ASSERT_TRUE(Open());
  PortSetLogFlags(port, 3);
  EXPECT_EQ(PortGetLogFlags(port), 3);
  PortWrite(port, "hi", 2);
  char buffer[4];
  PortRead(port, buffer, 4);  // empty: reported once
  PortRead(port, buffer, 4);
  client.Feed("yo");
  PortRead(port, buffer, 4);
  ASSERT_EQ(client.rawBlocks.size(), 3u);
  EXPECT_EQ(client.rawBlocks[0], std::make_pair(1, std::string("hi")));
  EXPECT_EQ(client.rawBlocks[1], std::make_pair(0, std::string()));
  EXPECT_EQ(client.rawBlocks[2], std::make_pair(0, std::string("yo")));
  // Without a log file the lines still reach the client, whole.
  ASSERT_EQ(client.logLines.size(), 2u);
  EXPECT_EQ(client.logLines[0], std::string(60, ' '));
  EXPECT_EQ(Untimed(client.logLines[1]), "hh:mm:ss=> 68.69." + std::string(43, ' ') + "hi");
}

TEST_F(ForwardedPort, MemoryLogKeepsWhatFitsAndWritesItOut) {
  ASSERT_TRUE(Open());
  ASSERT_EQ(PortLogMemory(port, 200), 1);
  PortWrite(port, "one", 3);
  client.Feed("two");
  char buffer[4];
  PortRead(port, buffer, 4);
  PortWrite(port, "three", 5);              // turning writes the received line out
  PortWrite(port, "0123456789ABCDEF", 16);  // this line does not fit any more
  PortWrite(port, "!", 1);
  TempDir dir;
  std::string out = dir.File("memory.log");
  ASSERT_EQ(PortLogMemoryToFile(port, out.c_str()), 1);
  std::vector<std::string> lines = Lines(ReadWholeFile(out));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "hh:mm:ss=> 6F.6E.65." + std::string(40, ' ') + "one");
  EXPECT_EQ(lines[2], "hh:mm:ss<= 74 77 6F " + std::string(40, ' ') + "two");
  EXPECT_EQ(port->memoryLog, nullptr);
}

TEST(PortSettingsRecord, DefaultsAndAccessorsCutTextsToTheirFields) {
  PortSettings settings;
  memset(&settings, 0x5A, sizeof settings);
  SettingsDefault(&settings);
  EXPECT_STREQ(settings.portName, "COM1");
  EXPECT_STREQ(settings.parityName, "None");
  EXPECT_EQ(settings.speed, 0);
  EXPECT_EQ(settings.dataBits, 8);
  EXPECT_EQ(settings.stopBits, 0);
  EXPECT_EQ(settings.flowControl, 2);
  EXPECT_EQ(settings.carrierDetect, 1);
  EXPECT_EQ(settings.connectTimeout, 20);
  EXPECT_EQ(settings.tcpPort, 0);
  EXPECT_NE(settings.hostName[0], 0);
  EXPECT_EQ(settings.hostAddress[0], 0);
  EXPECT_EQ(settings.unused2[255], 0);

  struct TextField {
    void(ZRTAPI* set)(PortSettings*, const char*);
    char*(ZRTAPI* get)(PortSettings*);
    size_t longest;
  };
  const TextField fields[] = {
      {SettingsSetPortName, SettingsGetPortName, 80},  {SettingsSetParity, SettingsGetParity, 10},
      {SettingsSetHostName, SettingsGetHostName, 256}, {SettingsSetHostAddress, SettingsGetHostAddress, 15},
      {SettingsSetDunEntry, SettingsGetDunEntry, 80},
  };
  std::string tooLong(400, 'q');
  for (const TextField& field : fields) {
    field.set(&settings, tooLong.c_str());
    char* got = field.get(&settings);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(strlen(got), field.longest);
    ZrtMemFree(reinterpret_cast<void**>(&got));
    field.set(&settings, nullptr);  // a missing text stores an empty one
    got = field.get(&settings);
    if (field.get == SettingsGetDunEntry) {
      EXPECT_EQ(got, nullptr);  // an empty entry name reads as none
    } else {
      EXPECT_STREQ(got, "");
    }
    ZrtMemFree(reinterpret_cast<void**>(&got));
  }
  // Nothing beyond the fields was touched.
  EXPECT_EQ(settings.speed, 0);
  EXPECT_EQ(settings.dataBits, 8);
  EXPECT_EQ(settings.winsockDescription[0], 0);
  EXPECT_EQ(settings.connectTimeout, 20);
  EXPECT_EQ(settings.tapiNumber[0], 0);
  EXPECT_EQ(settings.dialTapiThroughDun, 0);

  SettingsSetSpeed(&settings, 57600);
  SettingsSetDataBits(&settings, 7);
  SettingsSetStopBits(&settings, 2);
  SettingsSetFlow(&settings, 3);
  SettingsSetCarrier(&settings, 0);
  SettingsSetMethod(&settings, 1);
  SettingsSetConnectTimeout(&settings, 45);
  SettingsSetTcpPort(&settings, 4144);
  EXPECT_EQ(SettingsGetSpeed(&settings), 57600);
  EXPECT_EQ(SettingsGetDataBits(&settings), 7);
  EXPECT_EQ(SettingsGetStopBits(&settings), 2);
  EXPECT_EQ(SettingsGetFlow(&settings), 3);
  EXPECT_EQ(SettingsGetCarrier(&settings), 0);
  EXPECT_EQ(SettingsGetMethod(&settings), 1);
  EXPECT_EQ(SettingsGetConnectTimeout(&settings), 45);
  EXPECT_EQ(SettingsGetTcpPort(&settings), 4144);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&settings);
  EXPECT_EQ(bytes[92] | bytes[93] << 8 | bytes[94] << 16, 57600);  // little-endian at 92
  EXPECT_EQ(bytes[698] | bytes[699] << 8, 4144);
  EXPECT_EQ(bytes[697], 45);
}

TEST(PortLife, DestroyingAnOpenPortClosesItsLine) {
  FakeClient client;
  PortObject* port = PortCreate(client.window);
  PortSetForwarded(port, 1);
  ASSERT_EQ(PortOpen(port, "COM1", 9600, 8, "None", 0, 0, 0, nullptr), 1);
  PortDestroy(port);
  EXPECT_EQ(client.notices[kNoticeFwdClose], 1);
  PortDestroy(nullptr);
}

TEST_F(ForwardedPort, OpenWithSettingsUsesTheWholeRecord) {
  PortSettings settings;
  SettingsDefault(&settings);
  SettingsSetPortName(&settings, "com4");
  SettingsSetSpeed(&settings, 2400);
  SettingsSetParity(&settings, "Odd");
  SettingsSetHostName(&settings, "host.example");
  ASSERT_EQ(PortOpenWithSettings(port, &settings, nullptr), 1);
  EXPECT_EQ(PortGetSettings(port)->portIndex, 3);
  EXPECT_EQ(PortGetSettings(port)->parityIndex, 1);
  EXPECT_STREQ(PortGetSettings(port)->hostName, "host.example");
  EXPECT_STREQ(client.lastSettings.portName, "com4");
  EXPECT_EQ(client.lastSettings.speed, 2400);
}

TEST_F(ForwardedPort, ALogThatCannotOpenLeavesTheLineOpen) {
  TempDir dir;
  std::string log = dir.File("no\\such\\dir\\data.log");
  ASSERT_TRUE(Open(9600, "None", log.c_str()));
  EXPECT_EQ(PortGetError(port), 521);
  EXPECT_EQ(PortGetLogState(port), 0);
  EXPECT_EQ(Take(PortErrorText(port)), "Error opening log file");
  EXPECT_EQ(PortWrite(port, "AT\r", 3), 3);
  EXPECT_EQ(client.written, "AT\r");
  PortLogControl(port, 1);  // no file: nothing to resume
  EXPECT_EQ(PortGetLogState(port), 0);
}
