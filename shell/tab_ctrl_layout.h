// Where the tabs of the tabbed-dialog control go: rows staggered by half a
// tab, the first row lowest, next to the page. Portable.
#pragma once

struct TabRect {
  int left, top, right, bottom;
};
// Places count tabs of width w and height h in a control w pixels wide;
// returns the number of rows (the strip is rows * h high, from y = 0).
int LayoutTabRows(int controlWidth, int tabWidth, int tabHeight, int count, TabRect* tabs);
