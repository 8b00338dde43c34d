// Pictures: the splash window, the bitmap control "Granby", drawing a bitmap
// at a point, and the About box.
#pragma once
#include <windows.h>

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK BitmapWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void DrawBitmapAt(HDC dc, HBITMAP bitmap, int x, int y);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The splash picture's path for a program path: "32.exe" becomes ".exe",
// then ".exe" becomes ".bmp", lower-cased. out holds MAX_PATH bytes.
void SplashPicturePath(const char* programPath, char* out);
