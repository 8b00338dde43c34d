// Paragraph records: finding, sharing, adding and recycling them, and the
// host call that defines one directly.
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxParaCapacity = 1000000;
constexpr int32_t kRecycleFrom = 1000;

bool SamePara(const wrxfmt::WrxParaRecord& a, const wrxfmt::WrxParaRecord& b) {
  return a.leftIndent == b.leftIndent && a.rightIndent == b.rightIndent && a.firstIndent == b.firstIndent &&
         a.flags == b.flags && a.tabId == b.tabId && a.styleId == b.styleId && a.shading == b.shading &&
         a.placement == b.placement && a.spaceBefore == b.spaceBefore && a.spaceAfter == b.spaceAfter &&
         a.lineSpacing == b.lineSpacing && a.numbering == b.numbering;
}

// A border above or below needs room between the text and its line.
void ApplyBorderSpacing(wrxfmt::WrxParaRecord& r) {
  const bool inFrame = r.placement & 1;
  if ((r.flags & PF_BORDERTOP) && !inFrame && r.spaceBefore < 60) r.spaceBefore = 60;
  if ((r.flags & PF_BORDERBOTTOM) && !inFrame && r.spaceAfter < 40) r.spaceAfter = 40;
}

int32_t Capacity(const WrxWindow* w) { return std::max<int32_t>(w->paraCapacity, int32_t(w->paras.size())); }

// The lowest id from 1 that no line uses, -1 when every one is used.
int32_t RecycledPara(WrxWindow* w) {
  std::vector<uint8_t> used(w->paras.size(), 0);
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const int32_t p = w->lines[i]->para;
    if (p >= 0 && size_t(p) < used.size()) used[size_t(p)] = 1;
  }
  for (size_t id = 1; id < used.size(); ++id)
    if (!used[id]) return int32_t(id);
  return -1;
}

}  // namespace

int FindOrAddPara(WrxWindow* w, int32_t hint, const wrxfmt::WrxParaRecord& wantedIn) {
  wrxfmt::WrxParaRecord wanted = wantedIn;
  ApplyBorderSpacing(wanted);
  if (!w->paraNoShare) {
    if (hint >= 0 && size_t(hint) < w->paras.size() && SamePara(w->paras[size_t(hint)], wanted)) return hint;
    for (size_t k = 0; k < w->paras.size(); ++k)
      if (SamePara(w->paras[k], wanted)) return int32_t(k);
  } else {
    w->paraNoShare = 0;
  }
  int32_t slot = -1;
  const int32_t count = int32_t(w->paras.size());
  if (count >= Capacity(w) && Capacity(w) >= kRecycleFrom && w->reclaimIds) slot = RecycledPara(w);
  if (slot < 0 && count >= Capacity(w)) {
    const int32_t grown = std::min(kMaxParaCapacity, Capacity(w) + Capacity(w) / 2);
    if (grown > count) w->paraCapacity = grown;
  }
  if (slot < 0 && count < Capacity(w)) {
    try {
      w->paras.push_back(wanted);
      return count;
    } catch (...) {}
  }
  if (slot < 0) {
    if (!w->paraExhausted) {
      w->paraExhausted = 1;
      WrxErrorBox(w, 109, nullptr);
    }
    return hint;
  }
  w->paras[size_t(slot)] = wanted;
  return slot;
}

int SetWrxParaFmt(HWND hwnd, int id, int share, int left, int right, int first, int tabId, int styleId, int further,
                  int shading, int placement, int before, int after, int lineSpacing, int flags) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || id >= Capacity(w)) return -1;
  wrxfmt::WrxParaRecord r{};
  r.leftIndent = left, r.rightIndent = right, r.firstIndent = first;
  r.flags = flags;
  r.tabId = tabId >= 0 && size_t(tabId) < w->tabs.size() ? tabId : 0;
  r.styleId = styleId >= 0 && size_t(styleId) < std::max<size_t>(1, w->styles.size()) ? styleId : 0;
  r.numbering = further;
  r.shading = std::clamp(shading, 0, 10000);
  r.placement = placement;
  r.spaceBefore = before, r.spaceAfter = after, r.lineSpacing = lineSpacing;
  if (id >= 0) {
    ApplyBorderSpacing(r);
    try {
      if (size_t(id) >= w->paras.size()) w->paras.resize(size_t(id) + 1, wrxfmt::WrxParaRecord{});
    } catch (...) {
      return -1;
    }
    w->paras[size_t(id)] = r;
    return id;
  }
  if (!share) w->paraNoShare = 1;
  return FindOrAddPara(w, -1, r);
}
