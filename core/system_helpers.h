// Small system functions: scratch names in the pending directory, free disk
// space, working-set trimming, the wheel setting, progress callbacks and the
// three file dialogs.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <cstddef>

#include "resources/resource.h"

// A free name "<Message Path>pending\msw%05d.tmp" (the directory is made when
// missing). Empty when no free name was found or it does not fit size bytes.
char* pendingtmpname(char* out, size_t size);
double DiskFree();
void TrimWorkingSet();
int GetWheelScrollLines();
void FreeLib(HMODULE module);
int SendDlgUser0(HWND dialog, int item, WPARAM value);
int SendDlgUser2(HWND dialog, int item, WPARAM value);

// path: in, the initial path; out, the chosen file (256 characters). True when
// a file was chosen.
bool PromptOpenFileName(HWND owner, const char* title, char* path, const char* filter, bool hook);
bool PromptAttachFileName(HWND owner, const char* title, char* path);
bool PromptSaveFileName(HWND owner, const char* title, char* path, const char* filter, const char* defaultExtension);

// The controls of the "FILEOPEN" template are in resources/resource.h.
// The hook of the "FILEOPEN" template: hides "&Erase After" and offers the
// MIME / Uuencode choice (kept in the MIME setting) when the Internet service
// is installed.
UINT_PTR CALLBACK FileOpenHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// runFileDialog runs a file dialog and returns what GetOpenFileName or
// GetSaveFileName would; tests replace it.
struct SystemHelperHooks {
  BOOL (*runFileDialog)(OPENFILENAMEA* dialog, bool save);
};
extern SystemHelperHooks g_systemHelperHooks;
