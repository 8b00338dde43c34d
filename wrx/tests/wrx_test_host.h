// A small host for control windows in tests, after the message view: a
// hidden top-level window that owns the controls and records every
// notification they send it. Message boxes never show: the box seam records
// them, and every reported error code is observed.
#pragma once

#include "wrx/wrx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wrxtest {

struct Notice {
  UINT code;
  WPARAM wp;
};

struct Box {
  std::string text, title;
};

extern std::vector<Notice> g_notices;
extern std::vector<int> g_errors;            // every reported code
extern std::vector<std::string> g_routines;  // and its routine
extern std::vector<Box> g_boxes;             // error boxes that would have shown
extern std::vector<Box> g_questions;         // questions put to the user
extern int g_answer;                         // and the answer they get (No)

HWND HostWindow();
void ResetRecords();

// A creation record for a hidden child of the host with the given options.
WrxArgList HiddenArgs(DWORD controlStyle = 0);
HWND CreateHidden(WrxArgList& args);
HWND CreateFromText(const std::string& text, DWORD controlStyle = 0, char delimiter = 13);
// Hands the text to the window the record makes, as its document buffer.
void SetArgsText(WrxArgList& a, const std::string& text);

std::string TempDir();
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string LineText(HWND hwnd, long line);
std::string BufferBytes(HWND hwnd);  // the document buffer a window holds

// A test that makes control windows: records start empty, and every window
// the test made is closed unmodified at the end with no box shown.
class WrxHostTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRecords(); }
  void TearDown() override {
    for (HWND hwnd : windows_)
      if (IsWindow(hwnd)) {
        SetWrxModify(hwnd, 0);
        CloseWrx(hwnd, 0);
      }
    EXPECT_TRUE(g_boxes.empty());
  }
  std::vector<HWND> windows_;
};

}  // namespace wrxtest
