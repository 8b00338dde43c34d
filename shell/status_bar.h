// The frame's status bar "Quillon": a transient status text or the icon view
// with the bookmark set or import progress and four counts; the status window
// "Frostmere" that long operations print to; the frame's title; the shell's
// tables made at start and freed at the end; the 3-D drawing helpers.
#pragma once
#include <windows.h>

BOOL RegisterStatusBarClass(HINSTANCE instance);
int CreateStatusWindows();
void ReleaseSession();
void SetStatusText(const char* text);
void RepaintStatusBar();
void PaintStatusBar(HWND window, HDC dc);
int StatusBarHeight();
// True while the bar shows a text rather than the icons.
bool StatusBarShowsText();
const char* StatusBarText();

// What the icon view shows; the browser and the message base keep it current.
struct StatusCounts {
  long thread = -1;  // -1: none
  long topic = -1;
  long total = 0;
  long mail = 0;
};
extern StatusCounts g_statusCounts;
// Folder flags shown by the icon view (of the open topic), 0 when none is open.
extern unsigned long g_statusFolderFlags;
// The import animation frame (0 idle, 1 to 5) and the reported progress.
int ImportAnimationFrame();
void PollImportTool();
void JpegProgress(int value);
// The image reader's size of the current image; JpegProgress acts from 16385 up.
extern long g_jpegImageSize;
// Set when the conference list changed and was not read again at once.
extern bool g_importWaiting;

LRESULT CALLBACK StatusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OpenStatusWindow();
void StatusPrint(const char* text);

void SetMainTitle();
void SaveWindowState(HWND window, int state, int slot, bool onlyState);

HFONT CreateDialogFont();
HFONT CreateSmallFont();
void Draw3dLine(HDC dc, const RECT* rect);
void Draw3dBorder(HDC dc, const RECT* rect);
void Draw3dFrameAround(HDC dc, HWND parent, HWND control);
void Draw3dGroupBox(HDC dc, const RECT* rect, int x, int rightLimit, int stringId, bool withLine);
int TextWidth(HDC dc, const char* text);
