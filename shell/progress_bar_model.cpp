#include "shell/progress_bar_model.h"

int ProgressFillWidth(int innerWidth, int position, int range) {
  if (innerWidth <= 0 || position <= 0) return 0;
  if (range < 1) range = 1;
  if (position > range) position = range;
  return static_cast<int>(static_cast<long long>(innerWidth) * position / range);
}

int ProgressBlocks(int filledWidth, int innerHeight, ProgressBlock* blocks, int max) {
  if (innerHeight < 1) innerHeight = 1;
  int gap = innerHeight / 5;
  if (gap < 1) gap = 1;
  int n = 0;
  for (int x = 0; x < filledWidth && n < max; x += innerHeight) {
    int right = x + innerHeight - gap;
    if (right > filledWidth) right = filledWidth;
    if (right <= x) right = x + 1;
    blocks[n++] = {x, right};
  }
  return n;
}
