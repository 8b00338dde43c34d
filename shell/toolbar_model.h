// The toolbar's button list and layout, without windows: the stored list
// format, the retired ids, and where each button goes. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

enum : int {
  TOOLBAR_MAX_ROWS = 300,  // the end mark included
  TOOLBAR_SEPARATOR = 1257,
  TOOLBAR_BUTTONS_VALUE_MAX = 1499,  // characters of the stored "Buttons" value
};

// The list used when the user has none; ends with 0.
extern const int kDefaultToolbarButtons[];

bool IsRetiredToolbarId(int id);
// 1191 and 1192 were renamed.
int CurrentToolbarId(int id);

// Fills list (TOOLBAR_MAX_ROWS entries) from a stored "Buttons" value: the
// defaults when value is empty; otherwise its ids, renamed and without the
// retired ones, a separator added when the last is not one, then the 0 end.
// At most TOOLBAR_MAX_ROWS - 1 ids are kept, so the end mark always fits.
void ParseToolbarButtons(const char* value, int* list);
// The stored form: "%u " per id, the trailing blank removed.
void FormatToolbarButtons(const int* list, char* out, size_t outSize);

struct ToolbarRect {
  int32_t left, top, right, bottom;
};
struct ToolbarLayoutOptions {
  bool vertical;  // Totempole
  bool large;     // Large Buttons
  bool newShell;  // the Windows 95 shell puts the first row a pixel lower
};
// Places the buttons of list (up to its 0 end, at most TOOLBAR_MAX_ROWS rows);
// returns the number of rows placed.
int LayoutToolbarButtons(const int* list, const ToolbarLayoutOptions& options, ToolbarRect* rects);

// The glyph table's bitmap name for a command; "tspare" when it has none.
const char* ToolbarGlyphName(int id);
// The ids of the glyph table in order; returns how many were written.
int ToolbarGlyphIds(int* out, int size);
