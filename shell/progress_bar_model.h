// The segmented progress bar's geometry, without windows. Portable.
#pragma once

struct ProgressBlock {
  int left, right;  // within the inner area, from its left edge
};
// The filled width of an inner area: position past the range is full, and a
// range of 0 counts as 1.
int ProgressFillWidth(int innerWidth, int position, int range);
// The blocks that fill width: pitch equal to the inner height, gaps of a fifth
// of it (at least 1 pixel), the last block cut at the filled width. Returns the
// number written (at most max).
int ProgressBlocks(int filledWidth, int innerHeight, ProgressBlock* blocks, int max);
