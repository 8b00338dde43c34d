// The B-protocol code on the toolbox's own services: its export rows, its
// texts, and the port, file and notice functions it is handed at start-up.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "commkit/bp/bp_engine.h"
#include "commkit/qvx/qvx_link.h"
#include "commkit/session/conn_session.h"
#include "commkit/session/encodings.h"
#include "exports.h"
#include "fake_client.h"
#include "port/driver_winsock.h"
#include "port/port.h"

namespace {
struct TableRow {
  unsigned ordinal;
  const char* name;
  void* function;
};
#define COMMKIT_ROW(ordinal, name, bytes) {ordinal, #name, reinterpret_cast<void*>(&name)},
const TableRow kTable[] = {COMMKIT_EXPORTS(COMMKIT_ROW)};
#undef COMMKIT_ROW

bool IsBpName(const char* name) { return strncmp(name, "Bp", 2) == 0 || strncmp(name, "QvxBp", 5) == 0; }

std::string Take(char* text) {
  if (!text) return "(none)";
  std::string copy = text;
  ZrtMemFree(reinterpret_cast<void**>(&text));
  return copy;
}
}  // namespace

TEST(BpExports, EveryRowOfTheLibraryIsInTheDllTableAndNoOther) {
  size_t bpRows = 0;
  for (const TableRow& row : kTable) bpRows += IsBpName(row.name);
  EXPECT_EQ(bpRows, kBpExportCount);
  for (size_t i = 0; i < kBpExportCount; ++i) {
    const BpExportEntry& bp = kBpExports[i];
    const TableRow* found = nullptr;
    for (const TableRow& row : kTable)
      if (row.ordinal == bp.ordinal) found = &row;
    ASSERT_NE(found, nullptr) << bp.ordinal << " " << bp.name;
    EXPECT_STREQ(found->name, bp.name) << bp.ordinal;
    EXPECT_EQ(found->function, bp.function) << bp.ordinal;
  }
}

TEST(BpServices, StringTableTextsAreTheLibrarysTexts) {
  for (unsigned id = 1024; id <= 1042; ++id) {
    char text[100];
    ZrtLoadStr(id, text, sizeof text);
    const char* builtIn = BpErrorString(id);
    EXPECT_STREQ(text, builtIn ? builtIn : "") << id;
  }
}

TEST(BpServices, ErrorTextComesFromThePortOrTheStringTable) {
  BpUseToolbox();
  FakeClient client;
  PortObject* port = PortCreate(client.window);
  PortSetForwarded(port, 1);
  ASSERT_EQ(PortOpen(port, "COM2", 9600, 8, "None", 0, 0, 0, nullptr), 1);
  BpEngine* e = BpCreate();
  ASSERT_TRUE(BpInit(e, client.window, 1, port));
  struct Case {
    uint16_t engineError;
    uint32_t portError;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, "(none)"},
      {1033, 0, "Remote is not responding"},
      {1041, 0, "Host aborted transfer"},
      {1040, 0, "(none)"},
      {1042, 0, "(none)"},
      {1028, kErrLostConnection, "Lost connection to Dravenet"},
  };
  for (const Case& c : cases) {
    e->error = c.engineError;
    port->error = c.portError;
    EXPECT_EQ(Take(BpErrorText(e)), c.text) << c.engineError << " " << c.portError;
  }
  BpDestroy(e);
  PortDestroy(port);
}

TEST(BpServices, PortFunctionsReachTheLine) {
  BpUseToolbox();
  const BpSystem& sys = BpSys();
  FakeClient client;
  PortObject* port = PortCreate(client.window);
  PortSetForwarded(port, 1);
  ASSERT_EQ(PortOpen(port, "COM2", 19200, 8, "None", 0, 0, 0, nullptr), 1);

  for (uint8_t b : {uint8_t(16), uint8_t('B'), uint8_t(0), uint8_t(255)}) EXPECT_EQ(sys.port.bufferByte(port, b), 1);
  EXPECT_EQ(client.written, "");  // nothing leaves before the flush
  EXPECT_EQ(sys.port.flushBuffer(port), 1);
  EXPECT_EQ(client.written, std::string("\x10"
                                        "B\0\xFF",
                                        4));

  client.Feed(
      std::string("\xFF"
                  "A",
                  2));
  EXPECT_EQ(sys.port.getChar(port), 255);  // a byte of 255 is not "nothing"
  EXPECT_EQ(sys.port.waitChar(port, 1), 'A');
  EXPECT_EQ(sys.port.getChar(port), kBpNoChar);
  EXPECT_EQ(sys.port.waitChar(port, -5), kBpNoChar);  // no endless wait
  EXPECT_EQ(sys.port.getError(port), 0);

  EXPECT_EQ(sys.port.getSpeed(port), 19200u);
  EXPECT_EQ(sys.port.isQuiet(port), 0);
  port->quiet = 1;
  EXPECT_EQ(sys.port.isQuiet(port), 1);

  client.stopAfterPolls = 1;
  EXPECT_EQ(sys.port.pollClient(port), 1);

  FakeClient other;
  sys.port.setClientWindow(port, other.window);
  EXPECT_EQ(port->client, other.window);

  port->error = kErrPortNotOpen;
  EXPECT_EQ(Take(sys.port.errorText(port)), "Port not open");
  PortDestroy(port);
}

TEST(BpServices, NoticesGoToTheClientWindow) {
  BpUseToolbox();
  FakeClient client;
  EXPECT_EQ(BpNotify(client.window, 1030, 77), 0);
  EXPECT_EQ(BpNotify(nullptr, 1031, 0), 0);
  EXPECT_EQ(client.notices[1030], 1);
  EXPECT_EQ(client.notices.count(1031), 0u);
}

TEST(BpServices, FilesByHandleAndHeapBlocks) {
  BpUseToolbox();
  const BpSystem& sys = BpSys();
  TempDir dir;
  std::string name = dir.File("down.bin");
  EXPECT_EQ(sys.file.exists(name.c_str()), 0);
  EXPECT_EQ(sys.file.open(name.c_str(), 2), -1);

  int h = sys.file.create(name.c_str());
  ASSERT_GE(h, 0);
  std::vector<uint8_t> data(70000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 13);
  // More than one handle call can carry.
  EXPECT_EQ(sys.file.write(h, data.data(), unsigned(data.size())), int(data.size()));
  EXPECT_EQ(sys.file.size(h), long(data.size()));
  EXPECT_EQ(sys.file.close(h), 0);
  EXPECT_EQ(sys.file.exists(name.c_str()), 1);
  EXPECT_EQ(ReadWholeFile(name), std::string(data.begin(), data.end()));

  // Read and write: read the start, append at the end.
  h = sys.file.open(name.c_str(), 3);
  ASSERT_GE(h, 0);
  std::vector<uint8_t> back(data.size() + 10);
  EXPECT_EQ(sys.file.read(h, back.data(), unsigned(back.size())), int(data.size()));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
  EXPECT_EQ(sys.file.seekEnd(h), 1);
  EXPECT_EQ(sys.file.write(h, "end", 3), 3);
  EXPECT_EQ(sys.file.close(h), 0);
  EXPECT_EQ(ReadWholeFile(name).size(), data.size() + 3);

  // A created file starts empty even where one existed.
  h = sys.file.create(name.c_str());
  ASSERT_GE(h, 0);
  EXPECT_EQ(sys.file.size(h), 0);
  sys.file.close(h);
  EXPECT_EQ(sys.file.remove(name.c_str()), 1);
  EXPECT_EQ(sys.file.exists(name.c_str()), 0);
  EXPECT_EQ(sys.file.remove(name.c_str()), 0);
  EXPECT_EQ(sys.file.read(-1, back.data(), 4), -1);
  EXPECT_EQ(sys.file.close(-1), -1);

  auto* block = static_cast<uint8_t*>(sys.memAlloc(64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  sys.memFree(block);
  sys.memFree(nullptr);
}
