// Brings a window to the front, lets the display catch up and saves it with
// its children as a PNG in the shared screenshot directory.
#pragma once
#include <windows.h>

#include <string>

#include "tests/support/window_fixture.h"

namespace browsertest {

inline bool SaveScreenArea(HWND window, const std::string& name) {
  SetForegroundWindow(window);
  for (int i = 0; i < 20; ++i) {
    testwin::PumpPending();
    Sleep(10);
  }
  return testwin::SaveWindowPng(window, testwin::ScreenshotDirectory() + name);
}

}  // namespace browsertest
