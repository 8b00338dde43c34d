// Sections of a document: which lines each section covers, where its header
// and footer groups stand, and keeping those numbers right as lines come and
// go. Portable: it works on the lines' break marks, not on the line store.
#pragma once

#include "wrx/wrx_format.h"

#include <cstdint>
#include <vector>

namespace wrxsect {

// Information flags of a line that the sections look at.
enum : uint32_t { kSectionBreak = 2, kHeaderDelim = 0x100, kFooterDelim = 0x200 };

// A section's page layout beside its section record.
struct WrxSectionPage {
  int32_t prevSection = -1;
  int32_t hdrFirst = -1, hdrLast = -1, ftrFirst = -1, ftrLast = -1;
  float pageHeight = 11.0f, pageWidth = 8.5f;  // inches
};

// One line as the sections see it: its information flags and, on a section
// break, the number of the section it closes.
struct LineMark {
  uint32_t flags = 0;
  int32_t section = 0;
};

struct RecalcResult {
  bool layoutChanged = false;     // a section's first or last line moved
  int32_t staleLine = INT32_MAX;  // the first line whose layout is stale
};

// Rebuilds the sections' line ranges and header/footer groups from the
// lines. A break naming a section the table lacks (or section 0) closes no
// section: its lines stay with the section that follows. `pages` grows to
// the table's size.
RecalcResult Recalc(std::vector<wrxfmt::WrxSectionRecord>& sections, std::vector<WrxSectionPage>& pages,
                    const std::vector<LineMark>& lines);

// `count` lines were inserted (negative: deleted) at `line`: the line
// numbers beyond it move; section 0 ends at `lastLine`.
void AdjustLines(std::vector<wrxfmt::WrxSectionRecord>& sections, std::vector<WrxSectionPage>& pages, int32_t line,
                 int32_t count, int32_t lastLine);

}  // namespace wrxsect
