// Sections and the view switches, and the sizing of pictures on the screen.
#include "wrx/wrx_block.h"

#include <algorithm>

int SetPictSize(WrxWindow* w, int id, int32_t height, int32_t width) {
  if (id < 0 || id >= w->fontCount) return 0;
  WrxFont& f = w->fonts[id];
  if (!(f.style & wrxfmt::kPictureStyle)) return 0;
  height = std::max(0, height), width = std::max(0, width);
  if (!f.widths) {
    f.widths = static_cast<int32_t*>(sAlloc(256 * 4));
    if (!f.widths) return WrxErrorBox(w, 108, "SetPictSize");
  }
  for (int c = 0; c < 256; ++c) f.widths[c] = width;
  f.lineHeight = height;
  const int mode = f.pict ? f.pict->alignMode : 0;
  if (mode == 1)
    f.baseLine = height / 2;
  else if (mode == 2)
    f.baseLine = std::min(height, w->fonts[0].lineHeight);
  else
    f.baseLine = height;
  return 1;
}
