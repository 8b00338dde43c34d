// The HTML reader: turns a rich-text control window into an HTML viewer.
// Win32. A host calls HtmlInit once, then per viewer HtmlSetKeyColor,
// HtmlAttach, the style and link calls and HtmlRead; HtmlExit at the end.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// The reader's messages to its host window (wParam: the control).
enum : UINT {
  HTML_TITLE = 3274,       // lParam: the title text
  HTML_PICTURE = 3276,     // lParam: the picture name (writable, MAX_PATH); answer: picture kind
  HTML_SUBMIT = 3277,      // lParam: the form number
  HTML_PICTURE_IN = 3278,  // lParam: the picture's font id
  HTML_BASE = 3279,        // lParam: the base address
  HTML_ANCHOR = 3280,      // lParam: an anchor's HREF
};
// Picture kinds a host answers HTML_PICTURE with.
enum : int { HTML_PICT_NONE = 0, HTML_PICT_BMP = 1, HTML_PICT_WMF = 3, HTML_PICT_TIFF = 4, HTML_PICT_JPEG = 5 };

#pragma pack(push, 1)
struct HtmlStyle {
  uint32_t created;
  int32_t fontId;
  char typeface[32];
  int32_t pointSize;
  uint32_t style;
  COLORREF textColor;
  COLORREF backColor;
};
#pragma pack(pop)
static_assert(sizeof(HtmlStyle) == 56, "HtmlStyle is 56 bytes");

int __stdcall HtmlInit(HINSTANCE instance);
void __stdcall HtmlExit();
int __stdcall HtmlSetKeyColor(COLORREF colour);
int __stdcall HtmlAttach(HWND control, HWND host);
int __stdcall HtmlGetStyle(HWND control, int n, char* typeface, int* size, DWORD* style, COLORREF* text,
                           COLORREF* back);
int __stdcall HtmlSetStyle(HWND control, int n, const char* typeface, int size, DWORD style, COLORREF text,
                           COLORREF back, int repaint);
int __stdcall HtmlSetLinkColors(HWND control, DWORD linkStyle, COLORREF linkColour);
// source 0 reads the named file, else size bytes of the global block memory.
// 1 when the document was read (also when the read stopped early), 0 on
// failure; no exception leaves it.
int __stdcall HtmlRead(HWND control, int source, const char* fileName, HGLOBAL memory, long size, const char* anchor);
LRESULT CALLBACK HtmlNotifyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HtmlEditSubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
int HtmlJumpToAnchor(HWND control, const char* name);
// Whether HtmlAttach made the control an HTML viewer.
bool HtmlIsAttached(HWND control);
// The link address of the last link followed: base + target + image-map suffix.
const char* HtmlLinkAddress(HWND control);
// The address the base element set (empty when none).
const char* HtmlBaseAddress(HWND control);

// The picture decoders: a packed DIB in moveable global memory, 0 on failure
// (after the reader's box, except for pictures they leave alone quietly).
HGLOBAL TifRead(HWND control, int fromMemory, const char* fileName, HGLOBAL memory, long size, HGLOBAL* dib);
HGLOBAL JpgRead(HWND control, int fromMemory, const char* fileName, HGLOBAL memory, long size, HGLOBAL* dib);

// Where the reader's boxes and diagnostic lines go; the defaults are the
// control's box seam and its debug procedure.
struct HtmlHooks {
  void (*errorBox)(const char* text, const char* caption);
  void (*debugLine)(const char* line);
};
extern HtmlHooks g_htmlHooks;
