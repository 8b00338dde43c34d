// Helpers for tests that drive windows by messages under Xvfb: dispatching
// what is queued, waiting for a condition with a bound, and saving what a
// window shows as a bitmap for a person to look at.
#pragma once
#include <windows.h>

#include <string>

namespace testwin {

// Dispatches every message queued for this thread.
void PumpPending();

// Pumps messages until done() holds or timeoutMs passes; true when it held.
// Tests fail with their own message on false rather than hang.
template <typename Condition>
bool PumpUntil(Condition done, DWORD timeoutMs = 5000) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpPending();
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

// Saves the window as it is drawn now as a 24-bit BMP file; false when the
// window has no area or the file could not be written. Convert it for
// viewing (convert shot.bmp shot.png).
bool SaveWindowBitmap(HWND window, const std::string& path);

// Saves the window as it stands on the screen now (children and windows on
// top of it included, so the test must run alone) as a PNG file that the
// file viewer shows directly; false when it has no area or the file could not
// be written.
bool SaveWindowPng(HWND window, const std::string& path);

// A path of the build tree as the program under Wine names it ("/x/y" is
// "Z:\x\y").
std::string WindowsPath(std::string path);

// This thread's dialog box (class "#32770") whose title contains titlePart
// (any title when null), or 0. Tests answer their own dialogs only: another
// program's dialog on the same display must never take the click.
HWND FindThreadDialog(const char* titlePart = nullptr);

// The directory window tests save their pictures in: PELMORA_SCREENSHOTS when
// set, else the current directory; ends with a separator.
std::string ScreenshotDirectory();

}  // namespace testwin
