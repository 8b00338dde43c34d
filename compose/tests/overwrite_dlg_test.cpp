// The "OVERWRITE" dialog under Wine: a timer inside its modal loop reads the
// text, ticks the check box, saves a screenshot and presses a button.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "compose/message_view.h"
#include "core/tests/ui_recorder.h"
#include "resources/view_ids.h"

namespace {

struct Script {
  int button = 0;
  bool tick = false;
  std::string text;
  std::string caption;
  bool shot = false;
};
Script g_script;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char name[32];
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) == "#32770") *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

void SaveShot(HWND window, const char* path) {
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER bi{sizeof bi, w, h, 1, 24, BI_RGB};
  std::vector<char> pixels(((w * 3 + 3) & ~3) * h);
  GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  BITMAPFILEHEADER bf{0x4D42, static_cast<DWORD>(sizeof bf + sizeof bi + pixels.size()), 0, 0, sizeof bf + sizeof bi};
  if (FILE* f = std::fopen(path, "wb")) {
    std::fwrite(&bf, sizeof bf, 1, f);
    std::fwrite(&bi, sizeof bi, 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void CALLBACK Drive(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  KillTimer(nullptr, timer);
  char text[400];
  GetDlgItemTextA(dialog, IDC_OVERWRITE_TEXT, text, sizeof text);
  g_script.text = text;
  GetWindowTextA(dialog, text, sizeof text);
  g_script.caption = text;
  if (g_script.tick) SendDlgItemMessageA(dialog, IDC_OVERWRITE_NEVER, BM_CLICK, 0, 0);
  if (g_script.shot) {
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveShot(dialog, SCREENSHOT_DIR "/overwrite_dialog.bmp");
  }
  SendDlgItemMessageA(dialog, g_script.button, BM_CLICK, 0, 0);
}

class OverwriteDialogTest : public UiTest {};

TEST_F(OverwriteDialogTest, ButtonsAndTheCheckBoxGiveTheAnswer) {
  struct Case {
    int button;
    bool tick;
    int answer;
  } cases[] = {{IDC_OVERWRITE, false, 1}, {IDC_OVERWRITE_SAVEAS, true, 2}, {IDCANCEL, true, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    g_script = Script{c.button, c.tick, "", "", c.button == IDC_OVERWRITE_SAVEAS};
    SetTimer(nullptr, 0, 50, Drive);
    bool never = !c.tick;
    EXPECT_EQ(AskOverwrite(nullptr, "C:\\saved\\photo.gif", &never), c.answer);
    EXPECT_EQ(never, c.tick);
    EXPECT_EQ(g_script.text, "File 'C:\\saved\\photo.gif' already exists!");
  }
}

}  // namespace
