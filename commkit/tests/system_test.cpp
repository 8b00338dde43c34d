// Heap blocks, files, paths and time-outs of the toolbox's system services.
#include <gtest/gtest.h>

#include <string.h>

#include "fake_client.h"
#include "internal.h"

namespace {
int g_customAllocs, g_customFrees;
void* ZRTAPI CustomAlloc(uint32_t size) {
  ++g_customAllocs;
  void* block = malloc(size);
  if (block) memset(block, 0xCC, size);  // ZrtMemAlloc must zero it
  return block;
}
void ZRTAPI CustomRelease(void* block) {
  ++g_customFrees;
  free(block);
}
}  // namespace

TEST(Memory, DefaultBlockHasTheWholeRequestedSizeZeroed) {
  // 70000 is past 16 bits: the block must not shrink to 4464 bytes.
  for (uint32_t size : {1u, 4464u, 65535u, 65536u, 70000u, 300000u}) {
    auto* block = static_cast<uint8_t*>(ZrtMemAlloc(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_GE(GlobalSize(GlobalHandle(block)), size) << size;
    bool allZero = true;
    for (uint32_t i = 0; i < size; ++i) allZero &= block[i] == 0;
    EXPECT_TRUE(allZero) << size;
    memset(block, 0xAB, size);  // the whole block is ours to write
    void* pointer = block;
    ZrtMemFree(&pointer);
    EXPECT_EQ(pointer, nullptr);
  }
  void* none = nullptr;
  ZrtMemFree(&none);
  ZrtMemFree(nullptr);
}

TEST(Memory, RegisteredAllocatorServesThisProcessUntilCleared) {
  EXPECT_EQ(ZrtSetAllocator(nullptr, CustomRelease), 0);
  EXPECT_EQ(ZrtSetAllocator(CustomAlloc, nullptr), 0);
  g_customAllocs = g_customFrees = 0;
  ASSERT_EQ(ZrtSetAllocator(CustomAlloc, CustomRelease), 1);
  ASSERT_EQ(ZrtSetAllocator(CustomAlloc, CustomRelease), 1);  // replaces, no second node
  char* copy = StrDup("hello");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "hello");
  auto* block = static_cast<uint8_t*>(ZrtMemAlloc(70000));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[69999], 0);
  ZrtMemFree(reinterpret_cast<void**>(&copy));
  void* pointer = block;
  ZrtMemFree(&pointer);
  EXPECT_EQ(g_customAllocs, 2);
  EXPECT_EQ(g_customFrees, 2);
  ZrtClearAllocator();
  ZrtClearAllocator();  // nothing left to clear
  char* again = StrDup("x");
  ZrtMemFree(reinterpret_cast<void**>(&again));
  EXPECT_EQ(g_customAllocs, 2);
  EXPECT_EQ(StrDup(nullptr), nullptr);
}

TEST(Paths, MakePathAddBackslashAndSplitPath) {
  struct Case {
    const char *directory, *name, *joined;
  };
  const Case joins[] = {
      {"C:", "a.txt", "C:a.txt"}, {"C:\\x", "a.txt", "C:\\x\\a.txt"}, {"C:\\x\\", "a.txt", "C:\\x\\a.txt"},
      {"", "a.txt", "a.txt"},     {nullptr, "a.txt", "a.txt"},
  };
  for (const Case& c : joins) {
    char out[64] = "junk";
    EXPECT_EQ(MakePath(out, c.directory, c.name), 1);
    EXPECT_STREQ(out, c.joined) << (c.directory ? c.directory : "(none)");
  }
  EXPECT_EQ(MakePath(nullptr, "C:", "a"), 0);

  struct Backslash {
    const char *in, *out;
  };
  const Backslash backslashes[] = {{"C:\\x", "C:\\x\\"}, {"C:\\x\\", "C:\\x\\"}, {"C:", "C:"}, {"", ""}};
  for (const Backslash& b : backslashes) {
    char path[32];
    strcpy(path, b.in);
    AddBackslash(path);
    EXPECT_STREQ(path, b.out);
  }

  struct Split {
    const char *path, *directory, *name;
    int result;
  };
  const Split splits[] = {
      {"C:\\dir\\file.ext", "C:\\dir\\", "file.ext", 1},
      {"file.ext", "", "file.ext", 0},
      {"C:file", "C:", "file", 1},
      {"dir\\", "dir\\", "", 1},
  };
  for (const Split& s : splits) {
    char directory[64] = "junk", name[64] = "junk";
    EXPECT_EQ(SplitPath(s.path, directory, name), s.result) << s.path;
    EXPECT_STREQ(directory, s.directory) << s.path;
    EXPECT_STREQ(name, s.name) << s.path;
  }
  char directory[8] = "junk", name[8] = "junk";
  EXPECT_EQ(SplitPath(nullptr, directory, name), 0);
  EXPECT_STREQ(directory, "");
  EXPECT_STREQ(name, "");
  EXPECT_EQ(SplitPath("a\\b", nullptr, nullptr), 1);
}

TEST(Paths, InternalHelpers) {
  char directory[64] = "";
  PathDirectory(directory, "plain.txt");
  EXPECT_STREQ(directory, ".\\");
  PathDirectory(directory, "C:\\a\\b.txt");
  EXPECT_STREQ(directory, "C:\\a\\");

  struct Case {
    const char *path, *result;
  };
  const Case cases[] = {{"x.scr", ".\\x.scr"}, {"d\\x.scr", "d\\x.scr"}, {"C:x", "C:x"}, {"\\x", ".\\\\x"}};
  for (const Case& c : cases) {
    char* made = PathWithDir(c.path);
    EXPECT_STREQ(made, c.result) << c.path;
    ZrtMemFree(reinterpret_cast<void**>(&made));
  }

  uint32_t error = 0;
  char* script = SessionScriptPath("C:\\scripts", "D:\\old\\logon.scr", &error);
  EXPECT_STREQ(script, "C:\\scripts\\logon.scr");
  EXPECT_GE(GlobalSize(GlobalHandle(script)), 261u);
  ZrtMemFree(reinterpret_cast<void**>(&script));
  script = SessionScriptPath("", "D:\\old\\logon.scr", &error);
  EXPECT_STREQ(script, "D:\\old\\logon.scr");
  ZrtMemFree(reinterpret_cast<void**>(&script));
  std::string longName(600, 'n');
  script = SessionScriptPath("C:\\s", longName.c_str(), &error);
  ASSERT_NE(script, nullptr);
  EXPECT_LT(strlen(script), 261u);
  ZrtMemFree(reinterpret_cast<void**>(&script));
  EXPECT_EQ(error, 0u);

  char code[4];
  PlatformCode(code);
  EXPECT_EQ(code[0], 'W');
  EXPECT_EQ(strlen(code), 3u);
}

TEST(Files, OpenModesAccessAndSharing) {
  TempDir dir;
  std::string name = dir.File("data.bin");
  HANDLE created = ZrtFileCreate(name.c_str());
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ZrtFileWrite(created, "abcdef", 6), 6);
  EXPECT_EQ(ZrtFileClose(created), 0);

  struct Case {
    uint16_t mode;
    bool opens, canRead, canWrite, atEnd, othersMayRead;
  };
  const Case cases[] = {
      {0x0001, true, false, true, false, false},   {0x0002, true, true, false, false, false},
      {0x0003, true, true, true, false, false},    {0x0105, true, false, true, true, false},
      {0x0007, true, true, true, true, false},     {0x0802, true, true, false, false, true},
      {0x0202, true, true, false, false, true},    {0x0004, false, false, false, false, false},
      {0x0006, false, false, false, false, false}, {0x0000, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    HANDLE file = ZrtFileOpen(name.c_str(), c.mode);
    ASSERT_EQ(file != INVALID_HANDLE_VALUE, c.opens) << std::hex << c.mode;
    if (!c.opens) continue;
    EXPECT_EQ(ZrtFileTell(file), c.atEnd ? 6 : 0) << std::hex << c.mode;
    char byte;
    ZrtFileSeek(file, 0, 0);
    EXPECT_EQ(ZrtFileRead(file, &byte, 1) == 1, c.canRead) << std::hex << c.mode;
    HANDLE other =
        CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other != INVALID_HANDLE_VALUE, c.othersMayRead) << std::hex << c.mode;
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    ZrtFileClose(file);
  }
  EXPECT_EQ(ZrtFileOpen(dir.File("missing").c_str(), 0x0002), INVALID_HANDLE_VALUE);
}

TEST(Files, ReadSeekEofSizeExistsDelete) {
  TempDir dir;
  std::string name = dir.File("f.txt");
  HANDLE file = ZrtFileCreate(name.c_str());
  ZrtFileWrite(file, "0123456789", 10);
  ZrtFileClose(file);
  file = ZrtFileOpen(name.c_str(), 0x0003);
  EXPECT_EQ(ZrtFileSize(file), 10);
  EXPECT_EQ(ZrtFileEof(file), 0);
  EXPECT_EQ(ZrtFileTell(file), 0);  // the peek moved back
  EXPECT_EQ(ZrtFileSeek(file, -3, 2), 1);
  char buffer[8] = {};
  EXPECT_EQ(ZrtFileRead(file, buffer, 8), 3);
  EXPECT_STREQ(buffer, "789");
  EXPECT_EQ(ZrtFileEof(file), 1);
  EXPECT_EQ(ZrtFileSeek(file, 2, 1), 1);
  EXPECT_EQ(ZrtFileSeek(file, 0, 3), 0);
  EXPECT_EQ(ZrtFileRead(file, nullptr, 1), -1);
  ZrtFileClose(file);

  HANDLE none = INVALID_HANDLE_VALUE;
  EXPECT_EQ(ZrtFileEof(none), 1);
  EXPECT_EQ(ZrtFileRead(none, buffer, 1), -1);
  EXPECT_EQ(ZrtFileWrite(none, buffer, 1), -1);
  EXPECT_EQ(ZrtFileTell(none), -1);
  EXPECT_EQ(ZrtFileSeek(none, 0, 0), 0);
  EXPECT_EQ(ZrtFileClose(none), -1);
  EXPECT_EQ(ZrtFileSize(none), -1);

  EXPECT_EQ(ZrtFileExists(name.c_str()), 1);
  EXPECT_EQ(ZrtFileExists(nullptr), 0);
  EXPECT_NE(ZrtFileDelete(name.c_str()), 0);
  EXPECT_EQ(ZrtFileExists(name.c_str()), 0);
  EXPECT_EQ(ZrtFileDelete(nullptr), 0);
}

TEST(Time, DeadlinesAndClientKeepAlive) {
  EXPECT_EQ(TimeoutPassed(TimeoutStart(0)), 1);
  EXPECT_EQ(TimeoutPassed(TimeoutStart(600)), 0);
  // A deadline across the tick counter's wrap still counts as ahead.
  EXPECT_EQ(TimeoutPassed(GetTickCount() + 0x7FFFFF00u), 0);
  EXPECT_EQ(TimeoutPassed(GetTickCount() - 5), 1);

  FakeClient client;
  ClientPing(client.window);
  EXPECT_EQ(client.notices[kNoticeKeepAlive], 1);
  EXPECT_EQ(ClientDelay(client.window, 1), 1);
  EXPECT_GE(client.notices[kNoticeKeepAlive], 2);
}

TEST(Time, UtcOffsetMatchesTheSystemClocks) {
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  GetLocalTime(&local);
  FILETIME utcFile, localFile;
  SystemTimeToFileTime(&utc, &utcFile);
  SystemTimeToFileTime(&local, &localFile);
  auto ticks = [](FILETIME f) { return (int64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  int64_t minutes = (ticks(localFile) - ticks(utcFile)) / 600000000;
  long offset = UtcOffsetMinutes();
  EXPECT_LE(labs(offset - long(minutes)), 1);
}

TEST(Time, LongWaitsKeepTheirFullLength) {
  // 7000 seconds are 70000 units, past the 16 bits of TimeoutStart.
  uint32_t ahead = DeadlineIn(70000) - GetTickCount();
  EXPECT_GE(ahead, 6999000u);
  EXPECT_LE(ahead, 7000000u);
}
