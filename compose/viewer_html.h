// The message view's use of the HTML reader: the set-up of a view control
// as an HTML viewer and the reading of an HTML body into it.
#pragma once
#include <windows.h>

// HtmlSetKeyColor with the view's background, then HtmlAttach to the host;
// false (and the control destroyed) when the reader cannot attach.
bool ViewerHtmlSetup(HWND control, HWND host);
// Reads the HTML file into the view's control, setting it up first when it
// is not an HTML viewer yet; false when nothing could be read.
bool ViewerHtmlRead(HWND control, const char* path);
