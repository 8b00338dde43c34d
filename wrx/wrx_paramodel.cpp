#include "wrx/wrx_paramodel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace wrxpara {

WrxTab TabFromRecord(const wrxfmt::WrxTabRecord& r) {
  WrxTab t;
  memcpy(&t, r.bytes, sizeof t);
  t.count = std::clamp(t.count, 0, kMaxStops);
  return t;
}

wrxfmt::WrxTabRecord TabToRecord(const WrxTab& t) {
  wrxfmt::WrxTabRecord r{};
  WrxTab clean{};
  clean.count = std::clamp(t.count, 0, kMaxStops);
  for (int i = 0; i < clean.count; ++i)
    clean.positions[i] = t.positions[i], clean.kinds[i] = t.kinds[i], clean.leaders[i] = t.leaders[i];
  memcpy(r.bytes, &clean, sizeof clean);
  return r;
}

bool SameTabs(const WrxTab& a, const WrxTab& b) {
  if (a.count != b.count) return false;
  for (int i = 0; i < a.count && i < kMaxStops; ++i)
    if (a.positions[i] != b.positions[i] || a.kinds[i] != b.kinds[i] || a.leaders[i] != b.leaders[i]) return false;
  return true;
}

bool SetStop(WrxTab& t, int32_t position, int32_t kind, uint8_t leader) {
  if (kind < 0 || kind > 3) kind = 0;
  if (position < 0) position = 0;
  t.count = std::clamp(t.count, 0, kMaxStops);
  if (t.count >= kMaxStops) return false;
  int i = 0;
  while (i < t.count && t.positions[i] < position - 30) ++i;
  if (i < t.count && std::abs(t.positions[i] - position) <= 30) {
    // Close enough to be the same stop.
  } else {
    for (int k = t.count; k > i; --k) {
      t.positions[k] = t.positions[k - 1];
      t.kinds[k] = t.kinds[k - 1];
      t.leaders[k] = t.leaders[k - 1];
    }
    ++t.count;
  }
  t.positions[i] = position, t.kinds[i] = kind, t.leaders[i] = leader;
  return true;
}

int ClearStops(WrxTab& t, int32_t position) {
  if (position < 0) position = 0;
  t.count = std::clamp(t.count, 0, kMaxStops);
  int removed = 0;
  for (int i = 0; i < t.count;) {
    if (std::abs(t.positions[i] - position) < 45) {
      for (int k = i; k + 1 < t.count; ++k) {
        t.positions[k] = t.positions[k + 1];
        t.kinds[k] = t.kinds[k + 1];
        t.leaders[k] = t.leaders[k + 1];
      }
      --t.count;
      ++removed;
    } else {
      ++i;
    }
  }
  return removed;
}

void ApplyParaFlags(wrxfmt::WrxParaRecord& p, int32_t bits, bool on, bool breakLine) {
  int32_t f = on ? p.flags | bits : p.flags & ~bits;
  if (on) {
    if (bits & kLeft) f &= ~(kJustified | kCentred | kRight);
    if (bits & kCentred) f &= ~(kLeft | kJustified | kRight);
    if (bits & kRight) f &= ~(kLeft | kJustified | kCentred);
    if (bits & kJustified) f &= ~(kLeft | kCentred | kRight);
    if (bits & kHeader) f &= ~kFooter;
    if (bits & kFooter) f &= ~kHeader;
  }
  if (breakLine) f &= ~(kHeader | kFooter);
  if (bits & kBorderLeft) {
    if (on && p.firstIndent < 0) {
      if (p.leftIndent + p.firstIndent < 60) p.leftIndent += 60 - (p.leftIndent + p.firstIndent);
    } else if (on) {
      if (p.leftIndent < 60) p.leftIndent = 60;
    } else if (p.leftIndent == 60) {
      p.leftIndent = 0;
    }
    p.leftIndent = std::max(0, p.leftIndent);
  }
  if (bits & kBorderRight) {
    if (on && p.rightIndent < 60) p.rightIndent = 60;
    if (!on && p.rightIndent == 60) p.rightIndent = 0;
    p.rightIndent = std::max(0, p.rightIndent);
  }
  if (f & kDouble) p.lineSpacing = 0;
  const bool inFrame = p.placement & 1;
  if ((bits & kBorderTop) && !inFrame) {
    if (on && p.spaceBefore < 60) p.spaceBefore = 60;
    if (!on) p.spaceBefore = std::max(0, p.spaceBefore - 60);
  }
  if (bits & kBorderBottom) {
    if (on && p.spaceAfter < 40) p.spaceAfter = 40;
    if (!on && p.spaceAfter >= 40) p.spaceAfter -= 40;
  }
  p.flags = f;
}

int32_t StepLeftIndent(int32_t left, const WrxTab& tabs, int32_t defaultWidth, bool increase) {
  if (defaultWidth <= 0) defaultWidth = 720;
  int32_t next = left;
  bool found = false;
  const int count = std::clamp(tabs.count, 0, kMaxStops);
  if (increase) {
    for (int i = 0; i < count && !found; ++i)
      if (tabs.positions[i] > left) next = tabs.positions[i], found = true;
    if (!found) next = (left >= 0 ? left / defaultWidth + 1 : -((-left - 1) / defaultWidth)) * defaultWidth;
  } else {
    for (int i = count - 1; i >= 0 && !found; --i)
      if (tabs.positions[i] < left) next = tabs.positions[i], found = true;
    if (!found) next = (left > 0 ? (left - 1) / defaultWidth : -(-left / defaultWidth + 1)) * defaultWidth;
  }
  return std::clamp(next, 0, kMaxIndent);
}

int32_t RoundToMultiple(int32_t value, int32_t step) {
  if (step <= 0) return value;
  const int32_t half = step / 2;
  return value >= 0 ? (value + half) / step * step : -((-value + half) / step * step);
}

void ChangeIndents(wrxfmt::WrxParaRecord& p, int32_t dLeft, int32_t dRight, int32_t dFirst, int32_t snap) {
  int32_t left = p.leftIndent + dLeft, right = p.rightIndent + dRight, first = p.firstIndent + dFirst;
  left = std::min(left, kMaxIndent);
  if (left < 0) first += left, left = 0;
  right = std::clamp(right, 0, kMaxIndent);
  first = std::min(first, kMaxIndent);
  if (first < -left) first = -left;
  if (snap > 0) {
    left = RoundToMultiple(left, snap);
    right = RoundToMultiple(right, snap);
    first = RoundToMultiple(first, snap);
  }
  p.leftIndent = left, p.rightIndent = right, p.firstIndent = first;
}

void NormalPara(wrxfmt::WrxParaRecord& p) {
  const int32_t keep = p.numbering;
  const int32_t flags = (p.flags & (kBorderBits | kHeader | kFooter)) | kLeft;
  p = wrxfmt::WrxParaRecord{};
  p.numbering = keep;
  p.flags = flags;
}

void SetBullet(wrxfmt::WrxParaRecord& p, bool on) {
  const bool had = p.flags & kBullet;
  if (on) {
    p.flags |= kBullet;
    if (!had) p.leftIndent += 360, p.firstIndent -= 360;
  } else {
    p.flags &= ~kBullet;
    if (had) p.leftIndent -= 360, p.firstIndent += 360;
  }
  p.leftIndent = std::max(0, p.leftIndent);
  p.firstIndent = std::max(p.firstIndent, -p.leftIndent);
}

}  // namespace wrxpara
