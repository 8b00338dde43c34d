// The QVX link on the toolbox's own services: its error texts come from the
// string table, and its waits run the client's messages.
#include <gtest/gtest.h>

#include <string>

#include "commkit/qvx/qvx_link.h"
#include "internal.h"

namespace {

TEST(QvxServices, ErrorTextsComeFromTheStringTable) {
  BpUseToolbox();
  QvxUseToolbox();
  const char* texts[] = {"Out of memory",
                         "Protocol timed out",
                         "Application requested abort",
                         "Application requested immediate abort",
                         "Unexpected protocol packet received",
                         "Protocol transport error",
                         "Packet overflow detected",
                         "Packet underflow detected",
                         "Failure packet detected"};
  QvxSession* s = QvxCreate(nullptr);
  ASSERT_NE(s, nullptr);
  for (unsigned code = 1280; code <= 1288; ++code) {
    char text[100] = {};
    ZrtLoadStr(code, text, sizeof text);
    EXPECT_STREQ(text, texts[code - 1280]) << code;
    s->error = uint16_t(code);
    char* got = QvxErrorText(s);
    EXPECT_STREQ(got, texts[code - 1280]) << code;
    ZrtMemFree(reinterpret_cast<void**>(&got));
    EXPECT_EQ(QvxGetError(s), 0);
  }
  QvxDestroy(s);
}

LRESULT CALLBACK ClearBusy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 7) reinterpret_cast<QvxSession*>(lParam)->busy = 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(QvxServices, BusyWaitRunsTheClientsMessagesUntilTheFlagClears) {
  BpUseToolbox();
  QvxUseToolbox();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ClearBusy;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "QvxBusyTest";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("QvxBusyTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  QvxSession* s = QvxCreate(window);
  s->busy = 1;
  PostMessageA(window, WM_USER + 7, 0, reinterpret_cast<LPARAM>(s));
  DWORD start = GetTickCount();
  EXPECT_TRUE(QvxSafeToRead(s));
  EXPECT_LT(GetTickCount() - start, 5000u);
  QvxDestroy(s);
  DestroyWindow(window);
}

}  // namespace
