// wrxview.exe as a user starts it: a formatted RTF document in its window,
// captured from the screen and saved as a screenshot.
#include "wrx/tests/wrx_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace wrxtest;

namespace {

const char kDocument[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}{\\colortbl;\\red0\\green0\\blue160;"
    "\\red160\\green0\\blue0;}"
    "\\pard\\qc\\f1\\fs36\\cf1\\b Pelmora rich text\\par"
    "\\pard\\plain\\fs24 A plain paragraph in the default face, with {\\i italic}, {\\b bold} and {\\ul underlined} "
    "words that run long enough to wrap onto a second row of the window.\\par"
    "\\pard\\li720\\ri720\\cf2 An indented paragraph in red.\\par"
    "\\pard\\qr Right aligned\\par"
    "\\pard\\tx2000 Name\\tab Value\\par}";

// A viewer left running after a failed check would hold the test's output
// open, and the run would wait for it until its time-out.
struct ChildGuard {
  PROCESS_INFORMATION pi{};
  ~ChildGuard() {
    if (!pi.hProcess) return;
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

HWND FindView(DWORD processId) {
  // A loaded machine can take many seconds to show a new process's window.
  for (int tries = 0; tries < 1200; ++tries) {
    HWND found = nullptr;
    for (HWND w = FindWindowExA(nullptr, nullptr, "WrxView", nullptr); w;
         w = FindWindowExA(nullptr, w, "WrxView", nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == processId && IsWindowVisible(w)) found = w;
    }
    if (found) return found;
    Sleep(50);
  }
  return nullptr;
}

// Starts wrxview with the command line and places its window at the top left
// in the given size; null when it could not be started or shown.
HWND StartView(ChildGuard& child, std::string command, int width, int height) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child.pi))
    return nullptr;
  HWND frame = FindView(child.pi.dwProcessId);
  if (frame) SetWindowPos(frame, HWND_TOPMOST, 0, 0, width, height, SWP_SHOWWINDOW);
  return frame;
}

// Paragraph formatting as a reader sees it: a header group, centred, indented,
// bordered and shaded paragraphs, tab columns and a bulleted list.
const char kParagraphs[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}{\\colortbl;\\red0\\green0\\blue160;}"
    "{\\header\\pard\\qr\\f1\\fs18 Pelmora report, page header\\par}"
    "\\pard\\qc\\f1\\fs32\\b\\cf1 Centred title\\par"
    "\\pard\\plain\\li1440\\ri720\\fs22 An indented paragraph, a full inch in from the left and half an inch from "
    "the right, long enough to wrap.\\par"
    "\\pard\\box\\brdrs\\fs22 A paragraph inside a box border.\\par"
    "\\pard\\shading2500\\fs22 A shaded paragraph at twenty-five percent.\\par"
    "\\pard\\tqr\\tldot\\tx3600\\tqc\\tx5200\\fs22\\b Item\\tab Amount\\tab Note\\par\\plain"
    "\\pard\\tqr\\tldot\\tx3600\\tqc\\tx5200\\fs22 Paper\\tab 12.50\\tab weekly\\par"
    "\\pard\\tqr\\tldot\\tx3600\\tqc\\tx5200\\fs22 Postage\\tab 3.05\\tab daily\\par"
    "{\\pntext\\'95\\tab}\\pard\\li720\\fi-360{\\*\\pn\\pnlvlblt{\\pntxtb\\'95}}\\fs22 First bullet\\par"
    "{\\pntext\\'95\\tab}\\pard\\li720\\fi-360{\\*\\pn\\pnlvlblt{\\pntxtb\\'95}}\\fs22 Second bullet\\par}";

// Starts wrxview on `document` and saves its client area as `shot`.
Pixels ShowAndCapture(const char* document, const char* shot, int width, int height) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "wrxview_" + std::to_string(GetCurrentProcessId()) + shot + ".rtf";
  FILE* f = fopen(file.c_str(), "wb");
  if (!f) return Pixels{};
  fputs(document, f);
  fclose(f);
  std::string command =
      "wrxview.exe --size " + std::to_string(width) + "x" + std::to_string(height) + " \"" + file + "\"";
  ChildGuard child;
  HWND frame = StartView(child, command, width, height);
  Pixels pixels;
  if (frame) {
    Sleep(700);  // its first paint
    HWND control = GetWindow(frame, GW_CHILD);
    if (control) {
      RECT r;
      GetClientRect(control, &r);
      MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
      pixels = CaptureScreen(r);
      SavePng(ScreenshotPath(shot), pixels);
    }
    PostMessageA(frame, WM_CLOSE, 0, 0);
    WaitForSingleObject(child.pi.hProcess, 10000);
  }
  DeleteFileA(file.c_str());
  return pixels;
}

TEST(WrxViewTest, ShowsFormattedParagraphs) {
  const Pixels shot = ShowAndCapture(kParagraphs, "wrxview_paragraphs.png", 620, 420);
  ASSERT_GT(shot.width, 0);
  const RECT all{0, 0, shot.width, shot.height};
  EXPECT_GT(shot.Count(all, 0x0000A0), 20) << "the blue title";
  EXPECT_GT(shot.Count(all, 0x000000), 200) << "black text";
}

TEST(WrxViewTest, ShowsAnRtfDocument) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "wrxview_" + std::to_string(GetCurrentProcessId()) + ".rtf";
  FILE* f = fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs(kDocument, f);
  fclose(f);
  std::string command = "wrxview.exe --size 560x300 \"" + file + "\"";
  ChildGuard child;
  PROCESS_INFORMATION& pi = child.pi;
  HWND frame = StartView(child, command, 560, 300);
  ASSERT_NE(frame, nullptr);
  Sleep(700);  // its first paint
  HWND control = GetWindow(frame, GW_CHILD);
  ASSERT_NE(control, nullptr);
  RECT r;
  GetClientRect(control, &r);
  MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
  const Pixels shot = CaptureScreen(r);
  EXPECT_TRUE(SavePng(ScreenshotPath("wrxview_rtf.png"), shot));
  const RECT all{0, 0, shot.width, shot.height};
  EXPECT_GT(shot.Count(all, 0x0000A0), 20) << "the blue title";
  EXPECT_GT(shot.Count(all, 0xA00000), 20) << "the red paragraph";
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DeleteFileA(file.c_str());
}

TEST(WrxViewTest, EditsTypedTextUndoesAndSavesRtf) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "wrxedit_" + std::to_string(GetCurrentProcessId()) + ".rtf";
  FILE* f = fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 First line of the document.\\par Second line.\\par}", f);
  fclose(f);
  std::string command = "wrxview.exe --edit --size 560x300 \"" + file + "\"";
  ChildGuard child;
  PROCESS_INFORMATION& pi = child.pi;
  HWND frame = StartView(child, command, 560, 300);
  ASSERT_NE(frame, nullptr);
  HWND control = GetWindow(frame, GW_CHILD);
  ASSERT_NE(control, nullptr);
  // Typed at the start: characters, Enter, Backspace and Delete, then an
  // Undo of the last word.
  auto type = [control](const std::string& keys) {
    for (char c : keys) SendMessageA(control, WM_CHAR, WPARAM(uint8_t(c)), 0);
    // A repaint closes the undo group of what was typed.
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  };
  type("Typed words\rand moreX\b\r");
  type(" gone");
  SendMessageA(control, WM_COMMAND, 638, 0);  // " gone" goes again
  SendMessageA(control, WM_COMMAND, 606, 0);  // Delete: the F of "First"
  Sleep(700);
  RECT r;
  GetClientRect(control, &r);
  MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
  const Pixels shot = CaptureScreen(r);
  EXPECT_TRUE(SavePng(ScreenshotPath("wrxview_edit.png"), shot));
  // Posted keys are taken in their order, before the save and the close
  // posted after them.
  for (char c : std::string("posted ")) PostMessageA(control, WM_CHAR, WPARAM(uint8_t(c)), 0);
  PostMessageA(control, WM_COMMAND, 640, 0);  // save in the form it was loaded
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  std::string saved;
  if (FILE* in = fopen(file.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) saved.append(buffer, n);
    fclose(in);
  }
  // Loaded from RTF, saved as RTF.
  EXPECT_EQ(saved.rfind("{\\rtf1", 0), 0u) << saved.substr(0, 40);
  EXPECT_EQ(saved.find("~`!@#"), std::string::npos) << "no native trailer";
  const std::string& text = saved;
  EXPECT_NE(text.find("Typed words"), std::string::npos) << text;
  EXPECT_NE(text.find("and more"), std::string::npos) << text;
  EXPECT_EQ(text.find("moreX"), std::string::npos) << text;
  EXPECT_EQ(text.find("gone"), std::string::npos) << text;
  EXPECT_NE(text.find("irst line"), std::string::npos) << text;
  EXPECT_EQ(text.find("First line"), std::string::npos) << text;
  EXPECT_NE(text.find("posted irst line"), std::string::npos) << text;
  DeleteFileA(file.c_str());
  std::string backup = file.substr(0, file.size() - 4) + ".BU";
  DeleteFileA(backup.c_str());
}

// Find and replace in one of wrxview's controls, its questions answered from
// `answers`: the questions asked times 65536 plus the call's result.
LRESULT Drive(HWND frame, int control, char op, const std::string& find, const std::string& with = "",
              const std::string& answers = "") {
  std::string data = find + '\0' + with + '\0' + answers + '\0';
  COPYDATASTRUCT cd{};
  cd.dwData = ULONG_PTR(control * 256 + op);
  cd.cbData = DWORD(data.size());
  cd.lpData = &data[0];
  return SendMessageA(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cd));
}

// The longest run of `colour` down one column of `r`, and across one row.
int LongestColumn(const Pixels& p, const RECT& r, uint32_t colour) {
  int best = 0;
  for (LONG x = r.left; x < r.right; ++x) best = std::max(best, p.Count(RECT{x, r.top, x + 1, r.bottom}, colour));
  return best;
}
int LongestRow(const Pixels& p, const RECT& r, uint32_t colour) {
  int best = 0;
  for (LONG y = r.top; y < r.bottom; ++y) best = std::max(best, p.Count(RECT{r.left, y, r.right, y + 1}, colour));
  return best;
}

TEST(WrxViewTest, PairCopiesAFormattedParagraphWithItsPictureToTheOtherControl) {
  const std::string picture = std::string(WRXDEMO_DIR) + "/picture.bmp";
  if (GetFileAttributesA(picture.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no ImageMagick picture";
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "wrxpair_" + std::to_string(GetCurrentProcessId()) + ".rtf";
  FILE* f = fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs(
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue160;}"
      "\\pard\\qc\\f0\\fs28\\b\\cf1  A centred blue title\\par"
      "\\pard\\plain\\fs22 Plain words and {\\i italic ones} beside the picture.\\par}",
      f);
  fclose(f);
  const int width = 900, height = 320;
  std::string command = "wrxview.exe --edit --pair --size " + std::to_string(width) + "x" + std::to_string(height) +
                        " --picture \"" + picture + "\" \"" + file + "\"";
  ChildGuard child;
  PROCESS_INFORMATION& pi = child.pi;
  HWND frame = StartView(child, command, width, height);
  ASSERT_NE(frame, nullptr);
  HWND left = GetDlgItem(frame, 1), right = GetDlgItem(frame, 2);
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  // Everything in the left view, copied, and pasted into the empty right one.
  SendMessageA(left, WM_COMMAND, 625, 0);
  SendMessageA(left, WM_COMMAND, 629, 0);
  SendMessageA(right, WM_COMMAND, 630, 0);
  SendMessageA(right, WM_COMMAND, 694, 0);  // a table of 3 rows and 2 columns after it
  // Found, not found (a notice), and replaced with each answer: the first "e"
  // yes, the second no, and the third ends it.
  EXPECT_EQ(Drive(frame, 2, 'F', "italic"), 1);
  EXPECT_EQ(Drive(frame, 2, 'F', "absent"), 65536 * 1 + 0) << "String Not Found, answered without a box";
  EXPECT_EQ(Drive(frame, 2, 'R', "e", "E", "YNC"), 65536 * 3 + 1);
  SendMessageA(right, WM_COMMAND, 612, 0);  // back to the top, where the picture is
  // A click into the first row's second cell, and words typed there.
  SendMessageA(right, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 90));
  SendMessageA(right, WM_LBUTTONUP, 0, MAKELPARAM(300, 90));
  for (char c : std::string("in a cell")) SendMessageA(right, WM_CHAR, WPARAM(uint8_t(c)), 0);
  // A click below the text drops the left view's highlight.
  SendMessageA(left, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
  SendMessageA(left, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  RECT r;
  GetClientRect(frame, &r);
  MapWindowPoints(frame, nullptr, reinterpret_cast<POINT*>(&r), 2);
  RECT rightHalf;
  GetWindowRect(right, &rightHalf);
  OffsetRect(&rightHalf, -r.left, -r.top);
  const RECT leftHalf{0, 0, rightHalf.left, r.bottom - r.top};
  // The page view shows the table as cells: borders down the rows and across
  // the cells, below the text, where the plain view has no such lines. A
  // loaded machine may still be painting: the screen is read again a while.
  const int textBottom = 80;
  RECT below = rightHalf;
  below.top = textBottom, below.right -= 20;  // not the scroll bar
  Pixels shot;
  int down = 0, across = 0;
  for (int tries = 0; tries < 20; ++tries) {
    Sleep(tries ? 300 : 700);
    shot = CaptureScreen(r);
    down = LongestColumn(shot, below, 0x000000), across = LongestRow(shot, below, 0x000000);
    if (down >= 30 && across >= 300 && shot.Count(rightHalf, 0x00A000) > 1500) break;
  }
  EXPECT_TRUE(SavePng(ScreenshotPath("wrxview_pair.png"), shot));
  for (const RECT& half : {leftHalf, rightHalf}) {
    EXPECT_GT(shot.Count(half, 0x00A000), 1500) << "the picture's green";
    EXPECT_GT(shot.Count(half, 0xC00000), 800) << "its red square";
    EXPECT_GT(shot.Count(half, 0x0000A0), 20) << "the blue title";
  }
  EXPECT_GE(down, 30) << "a cell border down the rows";
  EXPECT_GE(across, 300) << "a row border across the cells";
  const RECT leftBelow{0, textBottom, leftHalf.right - 20, shot.height};
  EXPECT_LT(LongestRow(shot, leftBelow, 0x000000), 50);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DeleteFileA(file.c_str());
}

}  // namespace
