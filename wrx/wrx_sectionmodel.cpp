#include "wrx/wrx_sectionmodel.h"

namespace wrxsect {

RecalcResult Recalc(std::vector<wrxfmt::WrxSectionRecord>& sections, std::vector<WrxSectionPage>& pages,
                    const std::vector<LineMark>& lines) {
  RecalcResult r;
  if (sections.empty()) sections.resize(1);
  if (pages.size() < sections.size()) pages.resize(sections.size());
  for (auto& s : sections) s.inUse = 0;
  int32_t hdrFirst = -1, hdrLast = -1, ftrFirst = -1, ftrLast = -1;
  int32_t first = 0, prev = -1;
  const int32_t count = int32_t(lines.size());
  auto close = [&](int32_t s, int32_t last) {
    wrxfmt::WrxSectionRecord& rec = sections[size_t(s)];
    rec.inUse = 1;
    if (rec.firstLine != first || rec.lastLine != last) {
      r.layoutChanged = true;
      if (first < r.staleLine) r.staleLine = first;
    }
    rec.firstLine = first, rec.lastLine = last;
    if (prev >= 0 && sections[size_t(prev)].orientation != rec.orientation) rec.continuous = 0;
    WrxSectionPage& p = pages[size_t(s)];
    p.prevSection = prev;
    p.hdrFirst = hdrFirst, p.hdrLast = hdrLast, p.ftrFirst = ftrFirst, p.ftrLast = ftrLast;
    hdrFirst = hdrLast = ftrFirst = ftrLast = -1;
    prev = s;
    first = last + 1;
  };
  for (int32_t k = 0; k < count; ++k) {
    const LineMark& m = lines[size_t(k)];
    if (m.flags & kHeaderDelim) {
      if (hdrFirst < 0) hdrFirst = k;
      hdrLast = k;
    }
    if (m.flags & kFooterDelim) {
      if (ftrFirst < 0) ftrFirst = k;
      ftrLast = k;
    }
    // A break of a section the table lacks, or of one already closed, is
    // no break of its own.
    if ((m.flags & kSectionBreak) && m.section > 0 && size_t(m.section) < sections.size() &&
        !sections[size_t(m.section)].inUse)
      close(m.section, k);
  }
  close(0, count > 0 ? count - 1 : 0);
  return r;
}

void AdjustLines(std::vector<wrxfmt::WrxSectionRecord>& sections, std::vector<WrxSectionPage>& pages, int32_t line,
                 int32_t count, int32_t lastLine) {
  auto move = [&](int32_t& v) {
    if (v > line) v = v + count < line ? line : v + count;
  };
  for (size_t k = 0; k < sections.size(); ++k) {
    wrxfmt::WrxSectionRecord& s = sections[k];
    if (!s.inUse) continue;
    move(s.firstLine);
    move(s.lastLine);
    if (k < pages.size()) {
      WrxSectionPage& p = pages[k];
      for (int32_t* v : {&p.hdrFirst, &p.hdrLast, &p.ftrFirst, &p.ftrLast})
        if (*v >= 0) move(*v);
    }
  }
  if (!sections.empty()) sections[0].lastLine = lastLine;
}

}  // namespace wrxsect
