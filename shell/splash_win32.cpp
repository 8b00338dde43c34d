#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/text1252.h"
#include "resources/shell_ids.h"
#include "shell/splash.h"

void SplashPicturePath(const char* programPath, char* out) {
  char path[MAX_PATH];
  StrCopyN(path, programPath, sizeof path - 5);
  StrLower1252(path);
  strrepl(path, "32.exe", ".exe");
  strrepl(path, ".exe", ".bmp");
  std::strcpy(out, path);
}

namespace {

LRESULT OnSplashCreate(HWND window) {
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof program);
  char picture[MAX_PATH];
  SplashPicturePath(program, picture);
  if (GetFileAttributesA(picture) == INVALID_FILE_ATTRIBUTES) return -1;
  auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, picture, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!bitmap) return -1;
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - info.bmWidth / 2;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - info.bmHeight / 2;
  MoveWindow(window, x, y, info.bmWidth, info.bmHeight, FALSE);
  HWND child = CreateWindowA("static", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, info.bmWidth, info.bmHeight, window,
                             nullptr, g_app.instance, nullptr);
  SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  ShowWindowQuiet(window, SW_SHOW);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  UpdateWindow(window);
  return 0;
}

LRESULT SplashProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: return OnSplashCreate(window) < 0 ? -1 : result;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      break;
    }
    case WM_DESTROY: {
      HWND child = GetWindow(window, GW_CHILD);
      if (child) DeleteObject(reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0)));
      break;
    }
  }
  return result;
}

void PaintNamedBitmap(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  char name[41] = "";
  GetWindowTextA(window, name, sizeof name);
  auto bitmap = static_cast<HBITMAP>(LoadImageA(g_app.instance, name, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  if (bitmap) {
    DrawBitmapAt(dc, bitmap, 0, 0);
    DeleteObject(bitmap);
  }
  EndPaint(window, &ps);
}

LRESULT BitmapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PaintNamedBitmap(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DlgInitHook(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG: {
      char text[128] = "";
      GetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text, 85);
      strrepl(text, "%VERSION%", "5.50 build 311");
      SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
      char build[64];
      std::snprintf(build, sizeof build, "(Last build  %s)", "Wed Apr 26 14:25:28 2000");
      SetDlgItemTextA(dialog, IDC_ABOUT_BUILD, build);
      return 1;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
      return 1;
  }
  return 0;
}

}  // namespace

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<SplashProc>(window, message, wParam, lParam);
}

LRESULT CALLBACK BitmapWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedWndProc<BitmapProc>(window, message, wParam, lParam);
}

void DrawBitmapAt(HDC dc, HBITMAP bitmap, int x, int y) {
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SetMapMode(memory, GetMapMode(dc));
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  POINT size = {info.bmWidth, info.bmHeight};
  DPtoLP(dc, &size, 1);
  POINT origin = {0, 0};
  DPtoLP(memory, &origin, 1);
  BitBlt(dc, x, y, size.x, size.y, memory, origin.x, origin.y, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedDialogCall(AboutProc, dialog, message, wParam, lParam);
}
