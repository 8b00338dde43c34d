// Test seams: records message boxes, status texts and help calls instead of
// showing them, and answers boxes with a preset button.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/ui_seams.h"

struct UiRecord {
  std::vector<std::string> boxes;
  std::vector<UINT> boxStyles;
  std::vector<std::string> status;
  struct Help {
    std::string file;
    UINT command;
    ULONG_PTR data;
  };
  std::vector<Help> help;
  int answer = IDOK;
};

inline UiRecord& Recorded() {
  static UiRecord record;
  return record;
}

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorded() = UiRecord{};
    saved_ = g_ui;
    g_ui.messageBox = [](HWND, const char* text, const char*, UINT style) {
      Recorded().boxes.push_back(text);
      Recorded().boxStyles.push_back(style);
      return Recorded().answer;
    };
    g_ui.setStatusText = [](const char* text) { Recorded().status.push_back(text); };
    g_ui.winHelp = [](HWND, const char* file, UINT command, ULONG_PTR data) -> BOOL {
      Recorded().help.push_back({file, command, data});
      return TRUE;
    };
  }
  void TearDown() override { g_ui = saved_; }
  UiSeams saved_;
};

// A fresh directory under the system temp directory, removed at the end.
inline std::string MakeTempDir(const char* tag) {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  char dir[MAX_PATH];
  wsprintfA(dir, "%spl_%s_%lu_%lu\\", base, tag, GetCurrentProcessId(), GetTickCount());
  CreateDirectoryA(dir, nullptr);
  return dir;
}
