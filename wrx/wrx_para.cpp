// Paragraph records: finding, sharing, adding and recycling them, and the
// host call that defines one directly.
#include "wrx/wrx_block.h"
#include "wrx/wrx_paramodel.h"
#include "wrx/wrx_styles.h"

#include <algorithm>
#include <cstdlib>
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

// ---- Paragraph and tab commands ----

namespace {

bool EndsParagraph(const WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  if (l->length == 0) return false;
  const uint8_t c = uint8_t(l->text[l->length - 1]);
  return c == w->paraEnd || c == w->cellEnd || c == WRX_FOOTERDELIM || c == WRX_HEADERDELIM || c == WRX_ROWEND;
}

bool IsBreakLine(const WrxWindow* w, int32_t line) {
  const WrxLineInfo* info = w->lines[line]->info;
  return info && (info->flags & (LI_SECTBREAK | LI_PAGEBREAK | LI_COLBREAK | LI_CELLEND | LI_ROWEND));
}

// Runs `change` on the record of every line of the selected paragraphs,
// then counts the change, marks the layout stale and repaints or rewraps.
template <typename Change>
int ParaCommand(WrxWindow* w, int repaint, Change change) {
  if (!w->arg.wordWrap) return 0;
  ReleaseUndo(w);
  if (EditingParaStyle(w)) {
    // The edited item changes, not the text.
    wrxfmt::WrxParaRecord p = EditedStylePara(w);
    if (change(p, w->curLine)) SetEditedStylePara(w, p);
    if (repaint) PaintWrx(w);
    return 1;
  }
  int32_t first, last;
  GetParaLineRange(w, &first, &last);
  for (int32_t line = first; line <= last; ++line) {
    WrxLine* l = w->lines[line];
    const int32_t hint = l->para >= 0 && size_t(l->para) < w->paras.size() ? l->para : 0;
    wrxfmt::WrxParaRecord p = w->paras[size_t(hint)];
    if (!change(p, line)) break;
    l->para = FindOrAddPara(w, hint, p);
  }
  ++w->modified;
  if (first < w->staleLine) w->staleLine = first;
  if (repaint) {
    PaintWrx(w);
  } else {
    WordWrap(w, first, last - first + 1 + 10);
  }
  return 1;
}

wrxpara::WrxTab TabOf(const WrxWindow* w, int32_t tabId) {
  if (tabId <= 0 || size_t(tabId) >= w->tabs.size()) return wrxpara::WrxTab{};
  return wrxpara::TabFromRecord(w->tabs[size_t(tabId)]);
}

int IndentCommand(HWND hwnd, int repaint, int which, int increase) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const int32_t def = w->defTabWidth > 0 ? w->defTabWidth : 720;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t) {
    if (which == 0) {
      p.leftIndent = wrxpara::StepLeftIndent(p.leftIndent, TabOf(w, p.tabId), def, increase != 0);
    } else if (which == 1) {
      p.rightIndent = std::clamp(p.rightIndent + (increase ? 720 : -720), 0, wrxpara::kMaxIndent);
    } else {
      const int32_t old = p.leftIndent;
      p.leftIndent = wrxpara::StepLeftIndent(p.leftIndent, TabOf(w, p.tabId), def, increase != 0);
      p.firstIndent += old - p.leftIndent;
    }
    return true;
  });
}

int TabCommand(HWND hwnd, int repaint, bool set, int kind, int position, int leader) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t) {
    wrxpara::WrxTab t = TabOf(w, p.tabId);
    if (set) {
      if (!wrxpara::SetStop(t, position, kind, uint8_t(leader))) {
        WrxErrorBox(w, 114, "Set Tab");
        return false;
      }
    } else if (t.count == 0 || !wrxpara::ClearStops(t, position)) {
      return true;
    }
    p.tabId = FindOrAddTab(w, p.tabId, t);
    return true;
  });
}

}  // namespace

void GetParaLineRange(WrxWindow* w, int32_t* first, int32_t* last) {
  int32_t a = w->curLine, b = w->curLine;
  if (w->hilight) {
    a = std::min(w->hlFirstLine, w->hlLastLine), b = std::max(w->hlFirstLine, w->hlLastLine);
  }
  a = std::clamp(a, 0, w->lineCount - 1), b = std::clamp(b, 0, w->lineCount - 1);
  while (a > 0 && !EndsParagraph(w, a - 1)) --a;
  while (b < w->lineCount - 1 && !EndsParagraph(w, b)) ++b;
  *first = a, *last = b;
}

int FindOrAddTab(WrxWindow* w, int32_t hint, const wrxpara::WrxTab& t) {
  if (w->tabs.empty()) w->tabs.push_back(wrxfmt::WrxTabRecord{});
  if (t.count == 0) return 0;
  for (size_t k = 0; k < w->tabs.size(); ++k)
    if (wrxpara::SameTabs(wrxpara::TabFromRecord(w->tabs[k]), t)) return int32_t(k);
  if (w->tabs.size() < size_t(wrxfmt::kMaxTabRecords)) {
    w->tabs.push_back(wrxpara::TabToRecord(t));
    return int32_t(w->tabs.size() - 1);
  }
  std::vector<uint8_t> used(w->tabs.size(), 0);
  for (const auto& p : w->paras)
    if (p.tabId > 0 && size_t(p.tabId) < used.size()) used[size_t(p.tabId)] = 1;
  for (size_t k = 1; k < used.size(); ++k)
    if (!used[k]) {
      w->tabs[k] = wrxpara::TabToRecord(t);
      return int32_t(k);
    }
  WrxErrorBox(w, 115, nullptr);
  return hint;
}

int SetWrxParaFlags(HWND hwnd, int bits, int on, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t line) {
    wrxpara::ApplyParaFlags(p, bits, on != 0, IsBreakLine(w, line));
    return true;
  });
}

int WrxLeftIndent(HWND hwnd, int increase, int repaint) { return IndentCommand(hwnd, repaint, 0, increase); }
int WrxRightIndent(HWND hwnd, int increase, int repaint) { return IndentCommand(hwnd, repaint, 1, increase); }
int WrxHangingIndent(HWND hwnd, int increase, int repaint) { return IndentCommand(hwnd, repaint, 2, increase); }

int SetWrxParaIndent(HWND hwnd, int left, int right, int first, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const int32_t snap = w->rulerSnap ? ((w->flags & 2) ? 71 : 90) : 0;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t) {
    wrxpara::ChangeIndents(p, left, right, first, snap);
    return true;
  });
}

int WrxNormalPara(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [](wrxfmt::WrxParaRecord& p, int32_t) {
    wrxpara::NormalPara(p);
    return true;
  });
}

int WrxParaBullet(HWND hwnd, int on, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t) {
    wrxpara::SetBullet(p, on != 0);
    return true;
  });
}

int SetParaShading(HWND hwnd, int value, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t) {
    p.shading = std::clamp(value, 0, 10000);
    return true;
  });
}

int SetParaSpacing(HWND hwnd, int before, int after, int lineSpacing, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [&](wrxfmt::WrxParaRecord& p, int32_t) {
    p.spaceBefore = std::clamp(before, 0, 5000);
    p.spaceAfter = std::clamp(after, 0, 5000);
    p.lineSpacing = std::clamp(lineSpacing, -2000, 2000);
    if (p.lineSpacing) p.flags &= ~wrxpara::kDouble;
    return true;
  });
}

int ParaBoxParam(HWND hwnd, int setBits, int clearBits, const char* shadingPercent) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  const bool flagsChange = setBits || clearBits;
  if (shadingPercent && *shadingPercent)
    SetParaShading(hwnd, std::clamp(atoi(shadingPercent), 0, 100) * 100, flagsChange ? 0 : 1);
  if (setBits && !clearBits) return SetWrxParaFlags(hwnd, setBits, 1, 1);
  if (clearBits && !setBits) return SetWrxParaFlags(hwnd, clearBits, 0, 1);
  if (setBits && clearBits) {
    SetWrxParaFlags(hwnd, setBits, 1, 0);
    return SetWrxParaFlags(hwnd, clearBits, 0, 1);
  }
  return 1;
}

int ZoomParam(HWND hwnd, int percent) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  if (percent < 0) return -1;  // the dialog is the caller's until the dialogs join
  percent = std::clamp(percent, 25, 200);
  const int old = w->zoom ? w->zoom : 100;
  if (percent == old) return old;
  w->zoom = percent;
  const int32_t baseX = GetDeviceCaps(w->dc, LOGPIXELSX), baseY = GetDeviceCaps(w->dc, LOGPIXELSY);
  w->resX = MulDiv(baseX, percent, 100);
  w->resY = MulDiv(baseY, percent, 100);
  RecreateFonts(w, w->dc);
  for (int id = 1; id < w->fontCount; ++id)
    if (w->fonts[id].inUse && (w->fonts[id].style & wrxfmt::kPictureStyle)) SizePictureForScreen(w, id);
  WrxRefreshWindow(hwnd, 1);
  return old;
}

int WrxSetTab(HWND hwnd, int kind, int position, int repaint) { return SetTabParam(hwnd, kind, position, 0, repaint); }

int SetTabParam(HWND hwnd, int kind, int position, int leader, int repaint) {
  if (position < 0) return 0;  // asking comes with the dialogs
  return TabCommand(hwnd, repaint, true, kind, position, leader);
}

int WrxClearTab(HWND hwnd, int position, int repaint) { return TabCommand(hwnd, repaint, false, 0, position, 0); }

int ClearParaFlags(HWND hwnd, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return 0;
  return ParaCommand(w, repaint, [](wrxfmt::WrxParaRecord& p, int32_t) {
    p.tabId = 0;
    return true;
  });
}
