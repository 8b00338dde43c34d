// The import program's windows: MsgImport (which the program asks to come
// forward or to stop, and which shows the progress) and PLCheckClass (by
// which the program knows the import runs).
#include <windows.h>

#include <atomic>
#include <string>

#include "core/appstate.h"
#include "standins/import/import32.h"

namespace import32 {
namespace {

constexpr UINT kShowProgress = WM_APP + 1;

// The windows live on a thread of their own, so that they answer the
// program (and a request to stop) while a file is being written, and so that
// the import never waits for them.

CRITICAL_SECTION g_progressLock;
std::string g_progressItem, g_progressTitle = kTitle;
// A figure posted and not yet shown: later ones only replace the texts, so
// a fast import posts no more than the window can show.
std::atomic<bool> g_progressPosted{false};

void ApplyProgress(HWND window) {
  g_progressPosted = false;
  EnterCriticalSection(&g_progressLock);
  std::string item = g_progressItem, title = g_progressTitle;
  LeaveCriticalSection(&g_progressLock);
  SetDlgItemTextA(window, kProgressItem, item.c_str());
  SetWindowTextA(window, title.c_str());
}

void RequestStop() {
  g_stop = true;
  g_app.cancelTask = true;  // a wait for a locked file gives up at once
}

void OnCommand(int id) {
  if (id == kCommandForeground) {
    HWND window = g_window;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
  } else if (id == IDCANCEL) {
    RequestStop();
  }
}

LRESULT CALLBACK ImportWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam)); return 0;
    case WM_CLOSE: RequestStop(); return 0;
    case kShowProgress: ApplyProgress(window); return 0;
    case WM_SIZE:
      if (HWND item = GetDlgItem(window, kProgressItem)) MoveWindow(item, 8, 8, LOWORD(lParam) - 16, 20, TRUE);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The window the program looks for to tell whether the import runs; it
// passes commands on to the main window.
LRESULT CALLBACK CheckWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HWND main = g_window; message == WM_COMMAND && main) return SendMessageA(main, message, wParam, lParam);
  if (message == WM_CLOSE) {
    RequestStop();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND g_checkWindow = nullptr;

void CreateWindows(HINSTANCE instance, int show) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ImportWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "MsgImport";
  RegisterClassA(&wc);
  wc.lpfnWndProc = CheckWindowProc;
  wc.lpszClassName = "PLCheckClass";
  RegisterClassA(&wc);
  HWND window = CreateWindowA("MsgImport", kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                              CW_USEDEFAULT, CW_USEDEFAULT, 360, 90, nullptr, nullptr, instance, nullptr);
  if (!window) return;
  CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 8, 8, 330, 20, window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressItem)), instance, nullptr);
  g_checkWindow = CreateWindowA("PLCheckClass", "", WS_POPUP, 0, 0, 0, 0, window, nullptr, instance, nullptr);
  ApplyProgress(window);
  ShowWindow(window, show);
  g_window = window;
}

struct WindowStart {
  HINSTANCE instance;
  int show;
};

DWORD WINAPI WindowThread(void* parameter) {
  auto* start = static_cast<WindowStart*>(parameter);
  CreateWindows(start->instance, start->show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace

void StartWindowThread(HINSTANCE instance, int show) {
  InitializeCriticalSection(&g_progressLock);
  static WindowStart start;
  start = {instance, show};
  CloseHandle(CreateThread(nullptr, 0, WindowThread, &start, 0, nullptr));
}

// Item 4292 names the file while one is being imported (the program's
// status bar animates while it holds 3 characters or more); the title ends
// in the figure the program's progress bar shows.
void ShowProgress(const std::string& file, int percent) {
  std::string item = file.empty() ? std::string() : "Importing " + file;
  std::string title = file.empty() ? std::string(kTitle) : std::string(kTitle) + " " + std::to_string(percent) + "%";
  EnterCriticalSection(&g_progressLock);
  g_progressItem = item;
  g_progressTitle = title;
  LeaveCriticalSection(&g_progressLock);
  HWND window = g_window;
  if (window && !g_progressPosted.exchange(true) && !PostMessageA(window, kShowProgress, 0, 0))
    g_progressPosted = false;
}

}  // namespace import32
