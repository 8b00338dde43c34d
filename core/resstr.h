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

// The answer comes back cut to answerSize (at most 79 characters are typed);
// a buffer of one byte or none gets nothing and the prompt is not shown.
bool askstrwnd(const char* caption, const char* prompt, char* answer, size_t answerSize);
bool askstr(const char* prompt, char* answer, size_t answerSize);
bool paskstr(const char* prompt, char* answer, size_t answerSize);
bool askstrnoowner(const char* prompt, char* answer, size_t answerSize);
bool paskstrnoowner(const char* prompt, char* answer, size_t answerSize);
template <size_t N>
bool askstrwnd(const char* caption, const char* prompt, char (&answer)[N]) {
  return askstrwnd(caption, prompt, answer, N);
}
template <size_t N>
bool askstr(const char* prompt, char (&answer)[N]) {
  return askstr(prompt, answer, N);
}
template <size_t N>
bool paskstr(const char* prompt, char (&answer)[N]) {
  return paskstr(prompt, answer, N);
}
template <size_t N>
bool askstrnoowner(const char* prompt, char (&answer)[N]) {
  return askstrnoowner(prompt, answer, N);
}
template <size_t N>
bool paskstrnoowner(const char* prompt, char (&answer)[N]) {
  return paskstrnoowner(prompt, answer, N);
}

INT_PTR LocaliseDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void DlgInitHook3d(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void DlgInitHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CentreDialog(HWND parent, HWND dialog);
void SetDialogFont(HFONT font);
// The 3-D controls library, once bound by start-up.
// The 3-D control library's dialog calls; start-up binds them when the
// library loads, else they do nothing.
struct Ctl3dHooks {
  BOOL(WINAPI* subclassDialog)(HWND dialog, DWORD types);
  HBRUSH(WINAPI* ctlColor)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};
extern Ctl3dHooks g_ctl3dHooks;
extern const Ctl3dHooks kNoCtl3dHooks;

void BeginWait();
void EndWait();
void RestoreCursor();
void CloseSplash();
HWND FocusIfActive(HWND window);
void ShowWindowQuiet(HWND window, int command);
