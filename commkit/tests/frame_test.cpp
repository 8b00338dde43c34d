// The frame's texts: string loading, error texts of a port, choice lists,
// the version text, the 32-bit window property and the dialler-abort flag.
#include <gtest/gtest.h>

#include <string.h>

#include "fake_client.h"
#include "port/port.h"

namespace {
std::string Take(char* text) {
  if (!text) return "(none)";
  std::string copy = text;
  ZrtMemFree(reinterpret_cast<void**>(&text));
  return copy;
}
}  // namespace

TEST(Strings, ZrtLoadStrTable) {
  struct Case {
    unsigned id;
    const char* text;
  };
  const Case cases[] = {
      {512, "Out of memory"},
      {523, "Lost connection to Dravenet"},
      {590, "Winsock error: Attempt to connect was forcefully rejected"},
      {576, "Winsock error: "},
      {620, "Winsock error: #10024"},
      {616, "Winsock error: #10004"},
      {647, "Winsock error: #11004"},
      {660, "COM5"},
      {668, "WINSOCK"},
      {682, "115200"},
      {721, "1.5"},
      {754, "Dial-Up Networking"},
      {569, "NETWORK: No ports matched"},
      {999, ""},
  };
  for (const Case& c : cases) {
    char buffer[100];
    int length = ZrtLoadStr(c.id, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, c.text) << c.id;
    EXPECT_EQ(length, int(strlen(c.text))) << c.id;
  }
  // A small buffer keeps the number and never overruns.
  char small[12];
  memset(small, 'x', sizeof small);
  int length = ZrtLoadStr(620, small, 12);
  EXPECT_EQ(length, int(strlen(small)));
  EXPECT_LT(length, 12);
  EXPECT_NE(strstr(small, "#10024"), nullptr);
  char tiny[4];
  ZrtLoadStr(620, tiny, sizeof tiny);
  EXPECT_LT(strlen(tiny), sizeof tiny);

  EXPECT_EQ(Take(LoadStrDup(520)), "Port not open");
  EXPECT_EQ(Take(LoadStrDup(999)), "(none)");
}

TEST(Strings, WinsockErrorTableMapsBothWays) {
  EXPECT_EQ(WinsockErrorToId(10061), 590);
  EXPECT_EQ(WinsockErrorToId(10047), 594);
  EXPECT_EQ(WinsockErrorToId(12345), 0);
  for (int id = 616; id <= 647; ++id) {
    int error = WinsockIdToError(id);
    ASSERT_NE(error, 0) << id;
    EXPECT_EQ(WinsockErrorToId(error), id);
  }
}

TEST(Strings, VersionText) { EXPECT_EQ(Take(VersionText()), "Dravenet Connection Toolbox, Apr  9 1997 11:09:36"); }

TEST(PortErrorText, TextsByError) {
  struct Case {
    uint32_t error;
    const char* portName;
    uint32_t tapiResult;
    const char* text;
    uint32_t errorAfter;
  };
  std::string longName(80, 'N');
  const Case cases[] = {
      {0, "COM1", 0, "(none)", 0},
      {700, "COM1", 0, "(none)", 700},
      {511, "COM1", 0, "(none)", 511},
      {520, "COM1", 0, "Port not open", 0},
      {513, "COM9", 0, "Invalid port name: COM9", 0},
      {513, "", 0, "Invalid port name", 0},
      {522, "COM3", 0, "COM3 already open", 0},
      {522, "", 0, "Port already open", 0},
      {594, "", 0, "Winsock error: WSOCK32.DLL not found", 0},
      {590, "", 0, "Winsock error: Attempt to connect was forcefully rejected", 0},
      {620, "", 0, "Winsock error: #10024", 0},
      {544, "", 0x80000048, "TAPI: the operation failed", 0},
      {544, "", 0x80001234, "TAPI: error 0x80001234", 0},
      {527, "", 0, "Connection aborted by user", 0},
  };
  for (const Case& c : cases) {
    PortObject* port = PortCreate(nullptr);
    strcpy(port->settings.portName, c.portName);
    port->error = c.error;
    port->tapiLastResult = c.tapiResult;
    EXPECT_EQ(Take(PortErrorText(port)), c.text) << c.error;
    EXPECT_EQ(port->error, c.errorAfter) << c.error;
    if (c.error == 544) {
      EXPECT_EQ(port->tapiLastResult, 0u);
    }
    PortDestroy(port);
  }
  EXPECT_EQ(PortErrorText(nullptr), nullptr);

  // An 80-character port name is formatted in full, never overrunning.
  PortObject* port = PortCreate(nullptr);
  memcpy(port->settings.portName, longName.c_str(), 81);
  port->error = 513;
  EXPECT_EQ(Take(PortErrorText(port)), "Invalid port name: " + longName);
  port->error = 522;
  EXPECT_EQ(Take(PortErrorText(port)), longName + " already open");

  // A pending text is given out once, as it is.
  port->pendingErrorText = StrDup("Winsock error: host said no");
  port->error = 577;
  EXPECT_EQ(Take(PortErrorText(port)), "Winsock error: host said no");
  EXPECT_EQ(port->pendingErrorText, nullptr);
  EXPECT_EQ(Take(PortErrorText(port)), "Winsock error: Bad address");
  PortDestroy(port);
}

TEST(ChoiceList, KindsRowsAndRefusals) {
  struct Case {
    int kind;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {1,
       {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "TELEPHONY", "INT 14", "NCSI", "NASI",
        "WINSOCK"}},
      {2, {"300", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600", "115200"}},
      {3, {"7", "8"}},
      {4, {"None", "Odd", "Even", "Mark", "Space"}},
      {5, {"1", "1.5"}},
  };
  for (const Case& c : cases) {
    uint16_t count = 99;
    ChoiceRow* rows = ChoiceList(nullptr, c.kind, &count);
    ASSERT_NE(rows, nullptr) << c.kind;
    ASSERT_EQ(count, c.texts.size()) << c.kind;
    for (uint16_t i = 0; i < count; ++i) {
      EXPECT_EQ(rows[i].text, c.texts[i]) << c.kind;
      EXPECT_EQ(rows[i].item, i) << c.kind;
    }
    void* block = rows;
    ZrtMemFree(&block);
  }
  for (int refused : {-1, 6, 8, 100}) {
    uint16_t count = 99;
    EXPECT_EQ(ChoiceList(nullptr, refused, &count), nullptr) << refused;
    EXPECT_EQ(count, 0) << refused;
  }
}

TEST(ChoiceList, AvailablePortsAndMethodsFilterRows) {
  FakeClient client;
  PortObject* port = PortCreate(client.window);
  // Forwarded, every probe goes to the client, which says present.
  PortSetForwarded(port, 1);
  PortSetKeepFirstFour(port, 0);
  uint16_t count = 0;
  ChoiceRow* rows = ChoiceList(port, 0, &count);
  EXPECT_EQ(count, 13);
  EXPECT_EQ(client.notices[kNoticeFwdProbe], 13);
  ZrtMemFree(reinterpret_cast<void**>(&rows));

  client.handleForwarded = false;  // nothing answers: only the kept four remain
  PortSetKeepFirstFour(port, 1);
  rows = ChoiceList(port, 0, &count);
  ASSERT_EQ(count, 4);
  EXPECT_STREQ(rows[3].text, "COM4");
  EXPECT_EQ(rows[3].item, 3);
  ZrtMemFree(reinterpret_cast<void**>(&rows));

  // Methods: the default always, the dialler only with the service's winsock library.
  TempDir service;
  WritePrivateProfileStringA("General", "Dranet", service.path.c_str(), "dranet.ini");
  rows = ChoiceList(port, 7, &count);
  ASSERT_GE(count, 1);
  EXPECT_STREQ(rows[0].text, "Default WINSOCK");
  for (uint16_t i = 0; i < count; ++i) EXPECT_NE(rows[i].item, 1);
  ZrtMemFree(reinterpret_cast<void**>(&rows));
  CreateDirectoryA(service.File("qbr").c_str(), nullptr);
  std::string library = service.File("qbr\\WSOCK32.DLL");
  HANDLE file = ZrtFileCreate(library.c_str());
  ZrtFileClose(file);
  rows = ChoiceList(port, 7, &count);
  ASSERT_GE(count, 2);
  EXPECT_STREQ(rows[1].text, "Dravenet Dialer");
  EXPECT_EQ(rows[1].item, 1);
  ZrtMemFree(reinterpret_cast<void**>(&rows));
  DeleteFileA(library.c_str());
  RemoveDirectoryA(service.File("qbr").c_str());
  WritePrivateProfileStringA("General", nullptr, nullptr, "dranet.ini");
  PortDestroy(port);
}

TEST(ChoiceList, ChoiceIndexMatchesWithoutCaseBelowTheLimit) {
  struct Case {
    const char* text;
    int kind;
    uint16_t limit, index;
  };
  const Case cases[] = {
      {"even", 4, 5, 2},  {"SPACE", 4, 5, 4},  {"Parity", 4, 5, 5},    {"Space", 4, 4, 4},
      {"com5", 1, 13, 4}, {"COM9", 1, 13, 13}, {"winsock", 1, 13, 12}, {nullptr, 4, 5, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChoiceIndex(nullptr, c.text, c.kind, c.limit), c.index) << (c.text ? c.text : "-");
  PortObject* port = PortCreate(nullptr);
  EXPECT_EQ(ChoiceIndex(port, "x", 6, 9), 9);  // the list cannot be made
  EXPECT_EQ(port->error, 512u);
  PortDestroy(port);
}

TEST(WindowProperty, ThirtyTwoBitsInTwoHalves) {
  FakeClient client;
  HWND window = client.window;
  EXPECT_EQ(SetProp32(window, "Conn", 0x00012345), 1);
  EXPECT_EQ(uintptr_t(GetPropA(window, "Conn")), 0x2345u);
  EXPECT_EQ(uintptr_t(GetPropA(window, "ConnHI")), 0x0001u);
  EXPECT_EQ(GetProp32(window, "Conn"), 0x00012345u);
  EXPECT_EQ(SetProp32(window, "Conn", 0xFFFF0000u), 1);
  EXPECT_EQ(GetProp32(window, "Conn"), 0xFFFF0000u);
  EXPECT_NE(RemoveProp32(window, "Conn"), 0);
  EXPECT_EQ(GetPropA(window, "Conn"), nullptr);
  EXPECT_EQ(GetPropA(window, "ConnHI"), nullptr);
  EXPECT_EQ(GetProp32(window, "Conn"), 0u);
  // A name longer than any fixed buffer still works and stays apart.
  std::string longName(200, 'p');
  EXPECT_EQ(SetProp32(window, longName.c_str(), 0x7FFF8001u), 1);
  EXPECT_EQ(GetProp32(window, longName.c_str()), 0x7FFF8001u);
  RemoveProp32(window, longName.c_str());
  EXPECT_EQ(SetProp32(nullptr, "Conn", 1), 0);
}

TEST(DialerAbort, SetThenTakeOnce) {
  DialerAbortTake();
  EXPECT_NE(DialerAbortSet(), 0);
  EXPECT_EQ(DialerAbortTake(), 1);
  EXPECT_EQ(DialerAbortTake(), 0);
}
