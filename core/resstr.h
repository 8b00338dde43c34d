// Resource strings with text macros, message boxes, status notices, prompts and
// the hooks every dialog of the program runs.
#pragma once
#include <windows.h>
#include <cstddef>

HMODULE LoadResourceDll(HINSTANCE instance);
void FreeResourceDll();
HMODULE StringModule();

const char* loadstr(int id);
// Expands %PROGRAM% and the spellings in a buffer of size bytes; a result
// that would not fit is cut.
void ExpandTextMacros(char* text, size_t size);

void msgwarn(const char* text);
void msgwarnid(int id);
void msgnote(const char* text);
void msgnoteid(int id);
bool askyesno(const char* text);
bool askyesnoid(int id);
int askyesnocancel(const char* text);
int askyesnocancelid(int id);
void setstatus(const char* text);
void setstatusid(int id);
int MsgBoxF(UINT style, const char* format, ...);
int WarnBoxF(const char* format, ...);

// Answer buffers hold at least 79 bytes.
bool askstrwnd(const char* caption, const char* prompt, char* answer);
bool askstr(const char* prompt, char* answer);
bool paskstr(const char* prompt, char* answer);
bool askstrnoowner(const char* prompt, char* answer);
bool paskstrnoowner(const char* prompt, char* answer);

INT_PTR LocaliseDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void DlgInitHook3d(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void DlgInitHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CentreDialog(HWND parent, HWND dialog);
void SetDialogFont(HFONT font);
// The 3-D controls library, once bound by start-up.
void SetCtl3dHooks(BOOL(WINAPI* subclass)(HWND, DWORD), HBRUSH(WINAPI* ctlColor)(HWND, UINT, WPARAM, LPARAM));

void BeginWait();
void EndWait();
void RestoreCursor();
void CloseSplash();
HWND FocusIfActive(HWND window);
void ShowWindowQuiet(HWND window, int command);
