#include "browser/browser_layout.h"

float CorrectSplitRatio(float ratio) { return ratio > 0.0f && ratio <= 1.0f ? ratio : 0.35f; }

BrowserLayout ComputeBrowserLayout(const BrowserLayoutInput& in) {
  BrowserLayout out = {};
  out.ratio = CorrectSplitRatio(in.ratio);
  const bool listOnly = in.zoomMode == 1 || in.composite;
  const bool viewOnly = in.zoomMode == 2 && !in.composite;
  int strip = viewOnly ? 0 : in.stripHeight;
  int list = listOnly ? in.clientHeight : viewOnly ? 0 : static_cast<int>(in.clientHeight * out.ratio);
  const int rowHeight = in.rowHeight > 0 ? in.rowHeight : 1;
  if (in.clientWidth > 80 && in.clientHeight > 80) {
    list -= strip;
    if (listOnly) list -= in.barHeight;
    if (!listOnly && !viewOnly) list -= list % rowHeight;  // whole rows
    if (viewOnly) list = 0;
    if (list < 0) list = 0;
  }
  out.halfPage = list / rowHeight / 2;
  out.list = {2, strip, in.clientWidth - 4, list};
  out.bar = {0, list + strip, in.clientWidth + 1, in.barHeight};
  const int viewTop = in.barHeight + list + strip;
  int viewHeight = in.clientHeight - viewTop - (in.maximised ? 0 : 2);
  out.view = {3, viewTop, in.clientWidth - 5, viewHeight < 0 ? 0 : viewHeight};
  return out;
}
