#include "shell/tab_ctrl_layout.h"

int LayoutTabRows(int controlWidth, int tabWidth, int tabHeight, int count, TabRect* tabs) {
  if (count <= 0) return 0;
  if (tabWidth < 1) tabWidth = 1;
  int row = 0, inRow = 0;
  int rowOf[64];
  int columnOf[64];
  for (int i = 0; i < count && i < 64; ++i) {
    int shift = row * tabWidth / 2;
    int right = shift + (inRow + 1) * tabWidth;
    if (inRow > 0 && right > controlWidth) {
      ++row;
      inRow = 0;
    }
    rowOf[i] = row;
    columnOf[i] = inRow++;
  }
  int rows = row + 1;
  for (int i = 0; i < count && i < 64; ++i) {
    int r = rowOf[i];
    int left = r * tabWidth / 2 + columnOf[i] * tabWidth;
    // Row r sits r rows above the page; the whole strip is then moved down.
    tabs[i] = {left, tabHeight * rows - tabHeight * (r + 1), left + tabWidth, tabHeight * rows - tabHeight * r};
  }
  return rows;
}
