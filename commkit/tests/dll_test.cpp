// commkit.dll as a client sees it: loaded by name, every export found by its
// ordinal, WEP also by name, and calls made through the ordinals alone.
#include <gtest/gtest.h>

#include <string.h>

#include "commkit.h"
#include "exports.h"

namespace {
struct Library : ::testing::Test {
  HMODULE dll = nullptr;
  void SetUp() override {
    dll = LoadLibraryA("commkit.dll");
    ASSERT_NE(dll, nullptr);
  }
  void TearDown() override { FreeLibrary(dll); }
  template <class Fn>
  Fn At(int ordinal) {
    return reinterpret_cast<Fn>(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)));
  }
};

struct Row {
  int ordinal;
  const char* name;
};
#define COMMKIT_ROW(ordinal, name, bytes) {ordinal, #name},
const Row kRows[] = {COMMKIT_EXPORTS(COMMKIT_ROW)};
#undef COMMKIT_ROW

LRESULT CALLBACK EchoLine(HWND window, UINT message, WPARAM code, LPARAM lParam) {
  if (message != WM_USER) return DefWindowProcA(window, message, code, lParam);
  auto* block = reinterpret_cast<NoticeBlock*>(lParam);
  if (code == kNoticeFwdOpen || code == kNoticeFwdProbe) block->value = 1;
  if (code == kNoticeFwdRead) {
    memcpy(reinterpret_cast<void*>(uintptr_t(block->argument)), "OK", 2);
    block->value = 2u << 16;
  }
  return 0;
}
}  // namespace

TEST_F(Library, EveryOrdinalOfTheTableResolvesAndNoOther) {
  for (const Row& row : kRows)
    EXPECT_NE(GetProcAddress(dll, MAKEINTRESOURCEA(row.ordinal)), nullptr) << row.ordinal << " " << row.name;
  for (int missing : {17, 45, 63, 89, 108, 137, 143, 165, 229, 1161})
    EXPECT_EQ(At<FARPROC>(missing), nullptr) << missing;
  // Only WEP has a name.
  auto wep = reinterpret_cast<int(ZRTAPI*)(int)>(GetProcAddress(dll, "WEP"));
  ASSERT_NE(wep, nullptr);
  EXPECT_EQ(wep, At<decltype(wep)>(1));
  EXPECT_EQ(wep(0), 1);
  EXPECT_EQ(GetProcAddress(dll, "PortOpen"), nullptr);
  EXPECT_EQ(GetProcAddress(dll, "StrDup"), nullptr);
}

TEST_F(Library, CallsByOrdinal) {
  auto strDup = At<char*(ZRTAPI*)(const char*)>(62);
  auto memFree = At<void(ZRTAPI*)(void**)>(61);
  auto loadStr = At<int(ZRTAPI*)(unsigned, char*, int)>(1160);
  auto versionText = At<char*(ZRTAPI*)()>(75);
  char* copy = strDup("abc");
  EXPECT_STREQ(copy, "abc");
  memFree(reinterpret_cast<void**>(&copy));
  EXPECT_EQ(copy, nullptr);
  char text[80];
  EXPECT_EQ(loadStr(620, text, sizeof text), 21);
  EXPECT_STREQ(text, "Winsock error: #10024");
  char* version = versionText();
  EXPECT_STREQ(version, "Dravenet Connection Toolbox, Apr  9 1997 11:09:36");
  memFree(reinterpret_cast<void**>(&version));

  // A forwarded port through the ordinals, with this test as its client.
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = EchoLine;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "CommkitDllTestClient";
  RegisterClassA(&windowClass);
  HWND client = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  auto create = At<PortObject*(ZRTAPI*)(HWND)>(2);
  auto destroy = At<void(ZRTAPI*)(PortObject*)>(3);
  auto setForwarded = At<void(ZRTAPI*)(PortObject*, int)>(83);
  auto open =
      At<int(ZRTAPI*)(PortObject*, const char*, int32_t, int32_t, const char*, int32_t, int32_t, int32_t, const char*)>(
          8);
  auto waitChar = At<uint16_t(ZRTAPI*)(PortObject*, int16_t)>(19);
  auto getError = At<uint16_t(ZRTAPI*)(PortObject*)>(84);
  auto errorText = At<char*(ZRTAPI*)(PortObject*)>(71);
  PortObject* port = create(client);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(open(port, "COM9", 9600, 8, "None", 0, 0, 0, nullptr), 0);
  EXPECT_EQ(getError(port), 513);
  char* why = errorText(port);
  EXPECT_STREQ(why, "Invalid port name: COM9");
  memFree(reinterpret_cast<void**>(&why));
  setForwarded(port, 1);
  ASSERT_EQ(open(port, "COM3", 9600, 8, "None", 0, 0, 0, nullptr), 1);
  EXPECT_EQ(waitChar(port, 0), 'O');
  EXPECT_EQ(waitChar(port, 0), 'K');
  destroy(port);
  DestroyWindow(client);
}
