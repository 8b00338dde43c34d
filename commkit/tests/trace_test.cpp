// Trace records, each appended whole to the trace file.
#include <gtest/gtest.h>

#include "fake_client.h"

TEST(Trace, RecordsAppendInTheirFormats) {
  TempDir dir;
  std::string file = dir.File("trace.log");
  const char* name = file.c_str();
  EXPECT_NE(TraceEnter(name, "conn.c", 12, "ConnOpen"), 0);
  TraceExit(name, "conn.c", 40, "ConnOpen");
  TraceString(name, "conn.c", 13, "host", "qvx");
  TraceString(name, "conn.c", 14, nullptr, "bare");
  TraceString(name, "conn.c", 15, "", "empty label");
  TraceByte(name, "b.c", 1, "ch", 'A');
  TraceByte(name, "b.c", 2, nullptr, 0xFF);
  TraceWord(name, "w.c", 3, "w", 0xFFFE);
  TraceLong(name, "l.c", 4, "n", -2);
  TraceBinary(name, "bin.c", 5, "raw", "xy", 2, 0);
  TraceBinary(name, "bin.c", 6, nullptr, "z", 1, 0);
  std::string expected =
      "Entering function ConnOpen, module: conn.c, line 12.\r\n"
      "Exiting function ConnOpen, module: conn.c, line 40.\r\n"
      "STRING: host: \"qvx\", module: conn.c, line 13.\r\n"
      "STRING: \"bare\", module: conn.c, line 14.\r\n"
      "STRING: \"empty label\", module: conn.c, line 15.\r\n"
      "BYTE: ch: char = 'A', signed = 65, unsigned = 65, hex = 0x41.  Module: b.c, line 1.\r\n"
      "BYTE: char = '\xff', signed = -1, unsigned = 255, hex = 0xFF.  Module: b.c, line 2.\r\n"
      "WORD: w: signed = -2, unsigned = 65534, hex = 0xFFFE.  Module: w.c, line 3.\r\n"
      "LONG: n: signed = -2, unsigned = 4294967294, hex = 0xFFFFFFFE.  Module: l.c, line 4.\r\n"
      "BINARY: raw: module: bin.c, line 5 (2 data bytes follow).\r\n\r\nxy\r\n"
      "BINARY: module: bin.c, line 6 (1 data byte follows).\r\n\r\nz\r\n";
  EXPECT_EQ(ReadWholeFile(file), expected);
}

TEST(Trace, BinaryInHexRowsOfSixteen) {
  TempDir dir;
  std::string file = dir.File("hex.log");
  uint8_t data[20];
  for (int i = 0; i < 20; ++i) data[i] = uint8_t(0x41 + i);
  data[1] = 0x0D;
  data[2] = 0xC1;  // low seven bits are a letter
  TraceBinary(file.c_str(), "m.c", 9, "pkt", data, 20, 1);
  std::string expected =
      "BINARY: pkt: module: m.c, line 9 (20 data bytes follow).\r\n\r\n"
      "0000    41 0D C1 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  A.ADEFGHIJKLMNOP\r\n"
      "0010    51 52 53 54                                      QRST            \r\n"
      "\r\n";
  EXPECT_EQ(ReadWholeFile(file), expected);
}

TEST(Trace, EmptyNameWritesTheDefaultFileAndMissingDirectoryFails) {
  TempDir dir;
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  SetCurrentDirectoryA(dir.path.c_str());
  TraceWord("", "d.c", 1, nullptr, 1);
  TraceWord(nullptr, "d.c", 2, nullptr, 2);
  std::string text = ReadWholeFile(dir.File("zrtdebug.log"));
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(text,
            "WORD: signed = 1, unsigned = 1, hex = 0x0001.  Module: d.c, line 1.\r\n"
            "WORD: signed = 2, unsigned = 2, hex = 0x0002.  Module: d.c, line 2.\r\n");
  EXPECT_EQ(TraceEnter(dir.File("no\\such\\t.log").c_str(), "m", 1, "f"), 0);
}
