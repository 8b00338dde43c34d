// The toolbar: a row (or column) of command buttons drawn by the program in a
// child of the frame, its glyphs, tips and the options page's command lists.
#pragma once
#include <windows.h>

#include "shell/toolbar_model.h"

struct ToolbarSettings {
  bool shown = true;       // "Toolbar"
  bool totempole = false;  // "Totempole"
  bool tips = true;        // "Tips"
  bool large = false;      // "Large Buttons"
};
extern ToolbarSettings g_toolbarSettings;

struct ToolbarButton {
  int32_t id;
  int32_t pressed;
  int32_t enabled;
  ToolbarRect rect;
};

// The button list (ids, ended by 0) and the table; null before the first load.
extern int* g_toolbarButtons;
extern ToolbarButton* g_toolbarRows;
// Set while a command from a toolbar click runs.
extern bool g_toolbarCommand;

void LoadToolbarSettings(const char* user);
void SaveToolbarSettings(const char* user);
// What ReadSettings calls for the logged-in user (g_userSettingsHooks.readToolbarSettings).
void ReadToolbarSettingsOfUser();
void MoveToolbar(int x, int y, int width, int height);
void LayoutToolbar();
bool ToolbarHasZoomButtons();
// The height (or, as the totem pole, width) the frame gives the toolbar.
int ToolbarThickness();

HBITMAP LoadSysColorBitmap(HINSTANCE instance, const char* name, bool mapWhite);
HBITMAP CreateDisabledBitmap(HINSTANCE instance, const char* name);
HBITMAP LoadToolbarGlyph(const char* name, bool disabled, bool mapWhite);
void DrawButtonFace(HDC dc, HBITMAP glyph, int x, int y, bool pressed, bool raised);
// Forgets the cached glyphs (colours or the button size changed).
void FlushToolbarGlyphs();
// Draws the toolbar into a device context of its client size.
void PaintToolbar(HDC dc, int width, int height);

void ShowCommandTip(int id, POINT point);
void ShowToolTip(const char* text, int x, int y);
void RemoveToolTip();
// In the message loop's pre-translation: ends the tip on keys, clicks and
// when the frame is no longer in front. Never consumes the message.
void CheckToolTipMessage(const MSG* msg);
HWND ToolTipWindow();

void DrawCommandItem(const DRAWITEMSTRUCT* item);
void AddMenuCommands(HWND list, HMENU menu);
void CommandTipText(int id, char* text, size_t size);
