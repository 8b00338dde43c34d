// The editor's window tests share this: the editor frame, a data directory
// with a news folder imported by import32.exe, and helpers to read windows
// and files and to save what the screen shows.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "browser/browser_state.h"
#include "compose/compose.h"
#include "compose/message_block.h"
#include "core/appstate.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/tests/topic_fixture.h"
#include "shell/shell_state.h"
#include "tests/support/editor_frame.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/window_fixture.h"

namespace editor_test {

constexpr char kFolder[] = "net:comp.test/all";

inline std::string FileText(const std::string& path) { return testfs::ReadWholeFile(path); }

inline std::string Text(HWND w) {
  if (!w) return "<none>";
  int n = GetWindowTextLengthA(w);
  std::string t(static_cast<size_t>(n) + 1, '\0');
  t.resize(static_cast<size_t>(GetWindowTextA(w, &t[0], n + 1)));
  return t;
}

// What the screen shows of a window, children included (printing a window
// draws only its own client area here).
inline bool SaveScreenOf(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  DWORD size = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + size;
  FILE* out = std::fopen(path.c_str(), "wb");
  bool ok = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 && std::fwrite(bits, 1, size, out) == size;
  if (out) std::fclose(out);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

class EditorWindow : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
    ASSERT_TRUE(host_.Create("EditorTestFrame"));
    frame_ = host_.frame();
    savedStart_ = g_importProgram;
    g_importProgram.start = [](const char*, UINT) -> UINT { return 33; };
  }
  void TearDown() override {
    g_importProgram = savedStart_;
    host_.Destroy();
    TopicFixture::TearDown();
  }
  void RunImport() { ASSERT_NE(testproc::RunAndWait(IMPORT32_EXE, "import32.exe \"" + dir_ + "\""), -1); }
  void ImportNews(const std::string& extraHeader = "") {
    VirtualArray list("l", sizeof(ConfRec));
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, list, 0));
    std::fclose(f);
    std::string text = NewFolderPragma("comp.test", "all") +
                       ImportMessageText({kFolder, 0, "ann@example.org", "Thu, 10 Dec 2026 14:00", 0},
                                         "From: \"Lee, Ann\" <ann@example.org>\r\nSubject: Bread recipes\r\n"
                                         "Message-ID: <m1@example.org>\r\nNewsgroups: comp.test.all\r\n" +
                                             extraHeader +
                                             "\r\n"
                                             "Knead the dough.\r\nLet it rise.\r\n");
    f = std::fopen(Path("seed.tmp").c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ASSERT_TRUE(QueueImport("net", Path("seed.tmp").c_str(), "messages", 0));
    RunImport();
    ASSERT_EQ(rdconf(0), 1);
    lstrcpynA(g_topic.openName, kFolder, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1) << FileText(Path("import.log"));
    g_browser.currentMessage = g_topic.first;
    CreateDirectoryA(Path("net").c_str(), nullptr);
  }
  testwin::EditorFrame host_;
  HWND frame_ = nullptr;
  ImportProgramSeam savedStart_;
};

}  // namespace editor_test
