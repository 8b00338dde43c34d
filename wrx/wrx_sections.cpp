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

namespace {

bool IsDelimiter(const WrxWindow* w, int32_t line, uint8_t delim) {
  const WrxLine* l = w->lines[line];
  return l->length == 1 && uint8_t(l->text[0]) == delim;
}

// The line's information flags as the sections read them: the delimiter
// lines' flags come from their text.
wrxsect::LineMark MarkOf(const WrxWindow* w, int32_t line) {
  wrxsect::LineMark m;
  const WrxLine* l = w->lines[line];
  if (l->info) {
    m.flags = l->info->flags & (LI_SECTBREAK | LI_HEADER | LI_FOOTER);
    m.section = l->info->section;
  }
  if (IsDelimiter(w, line, WRX_HEADERDELIM)) m.flags |= LI_HEADER;
  if (IsDelimiter(w, line, WRX_FOOTERDELIM)) m.flags |= LI_FOOTER;
  return m;
}

void EnsurePages(WrxWindow* w) {
  if (w->sectionPages.size() < w->sections.size()) w->sectionPages.resize(w->sections.size());
}

// The paragraph of a new header or footer group: the cursor's, with the one
// flag and without the other.
int32_t GroupPara(WrxWindow* w, int kind) {
  const int32_t cur = w->lines[std::clamp(w->curLine, 0, w->lineCount - 1)]->para;
  wrxfmt::WrxParaRecord p = cur >= 0 && size_t(cur) < w->paras.size() ? w->paras[size_t(cur)] : w->paras[0];
  p.flags &= ~(PF_HEADER | PF_FOOTER);
  p.flags |= kind == 256 ? PF_HEADER : PF_FOOTER;
  return FindOrAddPara(w, cur, p);
}

bool HasGroup(const WrxWindow* w, int section, int kind) {
  if (size_t(section) >= w->sectionPages.size()) return false;
  const wrxsect::WrxSectionPage& p = w->sectionPages[size_t(section)];
  return kind == 256 ? p.hdrFirst >= 0 : p.ftrFirst >= 0;
}

void Repaginate(WrxWindow* w) {
  if (w->lineCount < 5000) WrxRepaginate(w->hwnd, 0);
}

// Deletes lines [first, first + count) and keeps the cursor and a block on
// the text they pointed at.
void DeleteGroup(WrxWindow* w, int32_t first, int32_t count) {
  auto shift = [&](int32_t& line) {
    if (line >= first + count)
      line -= count;
    else if (line >= first)
      line = first;
  };
  shift(w->curLine);
  if (w->hilight) shift(w->hlFirstLine), shift(w->hlLastLine);
  ShiftLines(w, first, count, 'D');
  w->curLine = std::clamp(w->curLine, 0, w->lineCount - 1);
  w->curCol = std::min(w->curCol, w->lines[w->curLine]->length);
}

}  // namespace

int RecalcSections(WrxWindow* w) {
  if (!w->arg.wordWrap) return 0;
  std::vector<wrxsect::LineMark> marks(size_t(w->lineCount));
  for (int32_t k = 0; k < w->lineCount; ++k) marks[size_t(k)] = MarkOf(w, k);
  const int32_t before = w->pageBreakMark;
  const wrxsect::RecalcResult r = wrxsect::Recalc(w->sections, w->sectionPages, marks);
  if (r.layoutChanged) {
    w->pageBreakMark = -1;
    if (r.staleLine < w->staleLine) w->staleLine = r.staleLine;
  }
  w->sectionsStale = 0;
  return before != w->pageBreakMark;
}

void AdjustSectionLines(WrxWindow* w, int32_t from, int32_t count) {
  EnsurePages(w);
  wrxsect::AdjustLines(w->sections, w->sectionPages, from, count, w->lineCount - 1);
  w->sectionsStale = 1;
}

int CreateHdrFtr(WrxWindow* w, int kind, int section) {
  if ((kind != 256 && kind != 512) || section < 0 || size_t(section) >= w->sections.size()) return 0;
  const wrxfmt::WrxSectionRecord& s = w->sections[size_t(section)];
  const int32_t at = std::clamp(s.firstLine, 0, w->lineCount);
  const bool cursorInside = w->curLine >= at && w->curLine <= s.lastLine;
  const uint8_t delim = kind == 256 ? WRX_HEADERDELIM : WRX_FOOTERDELIM;
  const int32_t para = GroupPara(w, kind);
  for (int k = 0; k < 3; ++k) {
    const uint8_t c = k == 1 ? w->paraEnd : delim;
    const uint32_t info = k == 1 ? 0 : (kind == 256 ? LI_HEADER : LI_FOOTER);
    if (!InsertMarkerLine(w, at + k, c, 0, para, info, -1)) return 0;
  }
  if (cursorInside) {
    w->curLine = at + 1, w->curCol = 0;
  } else if (w->curLine >= at) {
    w->curLine += 3;
  }
  if (w->hilight) {
    if (w->hlFirstLine >= at) w->hlFirstLine += 3;
    if (w->hlLastLine >= at) w->hlLastLine += 3;
  }
  ++w->modified;
  RecalcSections(w);
  return 1;
}

int ToggleHdrFtrView(WrxWindow* w) {
  if (!w->arg.pageMode || !w->arg.wordWrap) return 0;
  RecalcSections(w);
  bool changed = false;
  if (!w->hdrFtrShown) {
    for (size_t s = 0; s < w->sections.size(); ++s) {
      if (!w->sections[s].inUse) continue;
      for (int kind : {512, 256})
        if (!HasGroup(w, int(s), kind)) changed |= CreateHdrFtr(w, kind, int(s)) != 0;
    }
    w->hdrFtrShown = 1;
    w->hdrFtrEdit = 1;
  } else {
    // Groups that hold nothing but their empty line go again.
    for (int32_t k = w->lineCount - 3; k >= 0; --k) {
      for (uint8_t delim : {WRX_HEADERDELIM, WRX_FOOTERDELIM}) {
        if (k + 2 < w->lineCount && IsDelimiter(w, k, delim) && IsDelimiter(w, k + 2, delim) &&
            w->lines[k + 1]->length == 1) {
          DeleteGroup(w, k, 3);
          changed = true;
          break;
        }
      }
    }
    w->hdrFtrShown = 0;
  }
  if (changed) {
    RecalcSections(w);
    Repaginate(w);
  }
  PaintWrx(w);
  return 1;
}

int ToggleHdrFtrEdit(WrxWindow* w) {
  if (!w->arg.printView || !w->arg.wordWrap) return 0;
  if (!w->hdrFtrEdit) {
    RecalcSections(w);
    const int s = GetLineSection(w, 0);
    for (int kind : {512, 256})
      if (!HasGroup(w, s, kind)) CreateHdrFtr(w, kind, s);
    w->hdrFtrEdit = 1;
  } else {
    if (w->hdrFtrShown) ToggleHdrFtrView(w);
    w->hdrFtrEdit = 0;
  }
  if (!w->arg.pageMode) return TogglePageMode(w);
  PaintWrx(w);
  return 1;
}

int TogglePageMode(WrxWindow* w) {
  if (!w->arg.printView) return 0;
  const int32_t row = w->curLine - w->firstLine;
  if (w->arg.pageMode) {
    if (w->hdrFtrEdit) {
      if (w->hdrFtrShown) ToggleHdrFtrView(w);
      w->hdrFtrEdit = 0;
    }
    w->arg.pageMode = 0;
  } else {
    w->arg.pageMode = 1;
    RecalcSections(w);
  }
  // The cursor line keeps its place in the window.
  w->firstLine = std::clamp(w->curLine - std::max(0, row), 0, w->lineCount - 1);
  WrxRepaginate(w->hwnd, 0);
  WrxRefreshWindow(w->hwnd, 1);
  return 1;
}

int TogglePageViewFlag(WrxWindow* w) {
  if (!w->arg.printView) return 0;
  if (!w->arg.pageViewOption) {
    w->arg.pageViewOption = 1;
    if (!w->arg.pageMode)
      TogglePageMode(w);
    else if (w->hdrFtrEdit)
      ToggleHdrFtrEdit(w);
  } else {
    w->arg.pageViewOption = 0;
  }
  w->staleLine = 0;
  WrxRefreshWindow(w->hwnd, 1);
  return 1;
}

int FixHdrFtrPlacement(WrxWindow* w, int repaint) {
  if (!w->arg.wordWrap) return 0;
  w->hilight = 0;
  RecalcSections(w);
  bool moved = false;
  // From the last line up: header and footer lines below other text of their
  // section are taken out and put back at the section's start.
  int32_t k = w->lineCount - 1;
  while (k >= 0) {
    if (!IsHdrFtrLine(w, k)) {
      --k;
      continue;
    }
    int32_t first = k;
    while (first > 0 && IsHdrFtrLine(w, first - 1)) --first;
    const int section = GetLineSection(w, first);
    const int32_t start = w->sections[size_t(section)].firstLine;
    bool textAbove = false;
    for (int32_t j = start; j < first && !textAbove; ++j) textAbove = !IsHdrFtrLine(w, j);
    if (!textAbove) {
      k = first - 1;
      continue;
    }
    const int32_t count = k - first + 1;
    const bool header = (w->paras[size_t(w->lines[first]->para)].flags & PF_HEADER) != 0;
    const uint8_t delim = header ? WRX_HEADERDELIM : WRX_FOOTERDELIM;
    if (count < 2) {
      // A stray line between ordinary text of its section.
      DeleteGroup(w, first, 1);
    } else {
      // Its first and last lines become the delimiters, a delimiter inside a
      // paragraph end; the group moves to the section's start.
      std::vector<std::string> texts;
      std::vector<int32_t> paras;
      for (int32_t j = first; j <= k; ++j) {
        const WrxLine* l = w->lines[j];
        std::string t(l->text ? l->text : "", size_t(l->length));
        if (j == first || j == k)
          t.assign(1, char(delim));
        else
          for (char& c : t)
            if (uint8_t(c) == WRX_HEADERDELIM || uint8_t(c) == WRX_FOOTERDELIM) c = char(w->paraEnd);
        texts.push_back(t);
        paras.push_back(l->para);
      }
      DeleteGroup(w, first, count);
      for (int32_t j = 0; j < count; ++j) {
        const std::string& t = texts[size_t(j)];
        const bool edge = j == 0 || j == count - 1;
        if (edge) {
          InsertMarkerLine(w, start + j, delim, 0, paras[size_t(j)], header ? LI_HEADER : LI_FOOTER, -1);
        } else {
          if (!ExpandLineArray(w, w->lineCount + 1) || !ShiftLines(w, start + j, 1, 'B')) break;
          std::vector<uint8_t> ids(t.size() + 1, 0);
          SetWrxLine(w->hwnd, start + j, t.c_str(), ids.data());
          w->lines[start + j]->para = paras[size_t(j)];
          SetLineFlagsFromText(w, start + j);
        }
      }
    }
    moved = true;
    RecalcSections(w);
    k = std::min(first, w->lineCount) - 1;
  }
  if (moved) {
    RecalcSections(w);
    Repaginate(w);
  }
  w->sectionsStale = 0;
  if (repaint) PaintWrx(w);
  return 1;
}

int WrxGetPageSection(HWND hwnd, int page) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !w->arg.wordWrap || page < 0 || page >= w->pageCount || size_t(page) >= w->pageTable.size()) return 0;
  const int32_t entry = w->pageTable[size_t(page)];
  const int32_t line = entry >= 0 ? entry : (entry == INT32_MIN ? INT32_MAX : -entry);
  return GetLineSection(w, line);
}

int WrxFindStyledChar(HWND hwnd, DWORD mask, int wantSet, long* line, int* col, int forward) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !line || !col) return 0;
  auto matches = [&](int32_t l, int32_t c) {
    const DWORD style = w->fonts[GetCharFont(w, l, c)].style;
    if (wantSet) {
      if ((style & wrxfmt::kPictureStyle) && !(mask & wrxfmt::kPictureStyle)) return false;
      return (style & mask) != 0;
    }
    return (style & mask) == 0;
  };
  int32_t l = int32_t(std::clamp<long>(*line, 0, w->lineCount - 1));
  int32_t c = std::clamp(*col, 0, w->lines[l]->length);
  if (forward) {
    for (; l < w->lineCount; ++l, c = 0)
      for (; c < w->lines[l]->length; ++c)
        if (matches(l, c)) return *line = l, *col = c, 1;
  } else {
    for (c = std::min(c, w->lines[l]->length - 1);; c = --l >= 0 ? w->lines[l]->length - 1 : -1) {
      if (l < 0) break;
      for (; c >= 0; --c)
        if (matches(l, c)) return *line = l, *col = c, 1;
    }
  }
  return 0;
}
