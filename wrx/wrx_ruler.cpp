// The ruler's mouse: a click sets a tab stop of the cursor's paragraph, or
// takes away the stop under it.
#include "wrx/wrx_block.h"
#include "wrx/wrx_paramodel.h"

#include <algorithm>

int RulerClick(WrxWindow* w, UINT message, int x) {
  if (!w->arg.wordWrap) return 0;
  const int32_t res = w->resX > 0 ? w->resX : 96;
  int32_t position = MulDiv(x - w->textRect.left + w->hOffset, 1440, res);
  if (w->rulerSnap) position = wrxpara::RoundToMultiple(position, (w->flags & 2) ? 71 : 90);
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const int kind = (message != WM_LBUTTONDOWN ? 1 : 0) + (shift ? 2 : 0);
  const int32_t p = w->lines[std::clamp(w->curLine, 0, w->lineCount - 1)]->para;
  const int32_t tabId = p >= 0 && size_t(p) < w->paras.size() ? w->paras[size_t(p)].tabId : 0;
  if (tabId > 0 && size_t(tabId) < w->tabs.size()) {
    const wrxpara::WrxTab t = wrxpara::TabFromRecord(w->tabs[size_t(tabId)]);
    for (int k = 0; k < t.count; ++k)
      if (std::abs(t.positions[k] - position) <= 44) return WrxClearTab(w->hwnd, t.positions[k], 1);
  }
  if (position <= 0) return 0;
  return WrxSetTab(w->hwnd, kind, position, 1);
}
