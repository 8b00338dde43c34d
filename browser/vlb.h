// VLBCLASS, the virtual list box: a list of 32-bit row values that the owner
// paints through a callback. Owners reach its operations through VlbCommand.
#pragma once
#include <windows.h>

#include <cstdint>

#include "browser/vlb_model.h"

// Writes the row's text, zero-terminated, into a buffer of `size` bytes.
typedef void (*VlbTextCallback)(int row, int32_t value, char* text, int size);
// Draws the whole row; the colours of a selected row are already set.
typedef void (*VlbDrawCallback)(HWND list, int id, int row, int32_t value, HDC dc, const RECT* rect,
                                BOOL caretWithFocus, BOOL selected);

BOOL RegisterVlbClass(HINSTANCE instance);
LRESULT CALLBACK flVLBProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT VlbCommand(HWND window, UINT operation, WPARAM wParam, LPARAM lParam);

// Appends many rows as 33773 would one at a time: 0, or -2 at the first row
// that does not fit (the rows before it stay); -1 without a list.
LRESULT VlbAppendRows(HWND window, const int32_t* values, int count);

// The list's state (tests and the thread list read it); null without one.
VlbState* VlbStateOf(HWND window);

// What the list asks of the shell; IsNewShell decides the scroll range.
struct VlbHooks {
  bool (*isNewShell)();
  // Background colour of the "Thread" appearance entry.
  COLORREF (*threadBackground)();
};
extern VlbHooks g_vlbHooks;
