// The style sheet: named character and paragraph styles. Applying a style
// replaces the attributes that came from the previous one and keeps those
// set by hand; editing an item re-applies it to every font and paragraph
// that uses it when the edit ends.
#include "wrx/wrx_styles.h"

#include "wrx/wrx.h"

#include <algorithm>
#include <cstring>
#include <new>

using wrxstyle::WrxStyle;

namespace {

constexpr int32_t kInitialCapacity = 5;

wrxstyle::Defaults DefaultsOf(const WrxWindow* w) {
  return wrxstyle::Defaults{w->arg.typeface, w->arg.pointSize, int32_t(w->backColor)};
}

wrxstyle::FontAttrs AttrsOf(const WrxFont& f) {
  wrxstyle::FontAttrs a{};
  memcpy(a.face, f.face, sizeof a.face);
  a.pointSize = f.pointSize;
  a.style = int32_t(f.style);
  a.textColor = int32_t(f.textColor);
  a.backColor = int32_t(f.backColor);
  return a;
}

bool IsKind(const WrxWindow* w, int id, int kind) {
  if (id < 0 || size_t(id) >= w->styles.size()) return false;
  const WrxStyle s = GetStyle(w, id);
  return s.inUse && s.kind == kind;
}

int FontFromAttrs(WrxWindow* w, int hint, const WrxFont& f, const wrxstyle::FontAttrs& a, int charStyle,
                  int paraStyle) {
  const int n = FindOrAddFont(w, w->dc, hint, a.face, a.pointSize, DWORD(a.style), COLORREF(a.textColor),
                              COLORREF(a.backColor), f.kind, f.extra, charStyle, paraStyle);
  return n < 0 || n >= w->fontCount ? hint : n;
}

void PutAttrs(WrxFont& f, const wrxstyle::FontAttrs& a) {
  memcpy(f.face, a.face, sizeof f.face);
  f.pointSize = a.pointSize;
  f.style = DWORD(a.style);
  f.textColor = COLORREF(a.textColor);
  f.backColor = COLORREF(a.backColor);
}

void RefreshFont(WrxWindow* w, int id) {
  ReleaseFontHandle(w, id);
  CreateOneFont(w, w->dc, id, 1);
}

int32_t ParaStyleOfLine(const WrxWindow* w, int32_t line) {
  if (line < 0 || line >= w->lineCount) return 0;
  const int32_t p = w->lines[line]->para;
  if (p < 0 || size_t(p) >= w->paras.size()) return 0;
  const int32_t s = w->paras[size_t(p)].styleId;
  return s >= 0 && size_t(s) < w->styles.size() ? s : 0;
}

void RedefineCharStyle(WrxWindow* w, int id, const WrxStyle& snapshot) {
  const WrxStyle item = GetStyle(w, id);
  const wrxstyle::Defaults d = DefaultsOf(w);
  for (int k = 0; k < w->fontCount; ++k) {
    WrxFont& f = w->fonts[k];
    if (!f.inUse || (f.style & wrxfmt::kPictureStyle) || f.attribute != id) continue;
    const WrxStyle para = GetStyle(w, f.styleItem);
    wrxstyle::FontAttrs a = AttrsOf(f);
    wrxstyle::ResetToDefaults(a, para, d);
    wrxstyle::MergeStyleFont(a, snapshot, item, d);
    wrxstyle::MergeStyleFont(a, para, para, d);
    PutAttrs(f, a);
    RefreshFont(w, k);
  }
}

void RedefineParaStyle(WrxWindow* w, int id, const WrxStyle& snapshot) {
  WrxStyle item = GetStyle(w, id);
  if (!item.face[0]) memcpy(item.face, snapshot.face, sizeof item.face);
  if (!item.pointSize) item.pointSize = snapshot.pointSize;
  PutStyle(w, id, item);
  const wrxstyle::Defaults d = DefaultsOf(w);
  for (int k = 1; k < w->fontCount; ++k) {
    WrxFont& f = w->fonts[k];
    if (!f.inUse || (f.style & wrxfmt::kPictureStyle) || f.styleItem != id) continue;
    wrxstyle::FontAttrs a = AttrsOf(f);
    wrxstyle::MergeStyleFont(a, snapshot, item, d);
    // What the character style says wins over the paragraph style.
    const WrxStyle cs = GetStyle(w, f.attribute);
    if (cs.inUse && cs.kind == wrxstyle::kCharStyle) {
      if (cs.face[0] && !strncmp(cs.face, snapshot.face, 31)) memcpy(a.face, cs.face, sizeof a.face);
      if (cs.pointSize && cs.pointSize == snapshot.pointSize) a.pointSize = cs.pointSize;
      if (cs.textColor && cs.textColor == snapshot.textColor) a.textColor = cs.textColor;
      if (cs.backColor == snapshot.backColor) a.backColor = cs.backColor;
      a.style |= cs.style & snapshot.style;
    }
    PutAttrs(f, a);
    RefreshFont(w, k);
  }
  if (id == 0) {
    WrxFont& f0 = w->fonts[0];
    if (item.face[0]) {
      memcpy(f0.face, item.face, 31);
      f0.face[31] = 0;
      strncpy(w->arg.typeface, item.face, sizeof w->arg.typeface - 1);
      w->arg.typeface[sizeof w->arg.typeface - 1] = 0;
    }
    if (item.pointSize > 0) f0.pointSize = item.pointSize, w->arg.pointSize = item.pointSize;
    f0.style = DWORD(item.style & ~wrxstyle::kNotStyleBits);
    f0.textColor = COLORREF(item.textColor);
    w->backColor = COLORREF(item.backColor);
    f0.backColor = COLORREF(item.backColor);
    RefreshFont(w, 0);
  }
  for (size_t k = 1; k < w->paras.size(); ++k)
    if (w->paras[k].styleId == id) wrxstyle::MergeStylePara(w->paras[k], snapshot, item, w->paras[0]);
  if (id == 0 && !w->paras.empty()) {
    wrxfmt::WrxParaRecord& p = w->paras[0];
    p.leftIndent = item.leftIndent, p.rightIndent = item.rightIndent, p.firstIndent = item.firstIndent;
    p.flags = item.flags & ~wrxstyle::kNotStyleFlags;
    p.shading = item.shading;
    p.spaceBefore = item.spaceBefore, p.spaceAfter = item.spaceAfter, p.lineSpacing = item.lineSpacing;
    p.tabId = item.tabId;
  }
}

void Repaint(WrxWindow* w, int repaint) {
  if (repaint) {
    w->paintScope = 3;
    PaintWrx(w);
  } else if (w->arg.wordWrap) {
    WordWrap(w, 0, w->lineCount);
  }
}

// Starts editing item `id`: the snapshot is what the end compares against.
int BeginEdit(WrxWindow* w, int id, int repaint) {
  const WrxStyle s = GetStyle(w, id);
  w->editStyle = id;
  w->styleSnapshot = wrxstyle::ToRecord(s);
  w->styleEditPara = s.kind == wrxstyle::kParaStyle;
  w->hilight = 0;
  if (repaint) PaintWrx(w);
  return id;
}

int EndEdit(WrxWindow* w, int repaint) {
  const int id = w->editStyle;
  const WrxStyle snapshot = wrxstyle::FromRecord(w->styleSnapshot);
  if (GetStyle(w, id).kind == wrxstyle::kParaStyle)
    RedefineParaStyle(w, id, snapshot);
  else
    RedefineCharStyle(w, id, snapshot);
  w->editStyle = -1;
  w->styleEditPara = 0;
  ++w->modified;
  Repaint(w, repaint);
  return id;
}

int NewItem(WrxWindow* w, const char* name, int kind) {
  const int id = NewStyleSlot(w);
  if (id < 0) return -1;
  WrxStyle s{};
  wrxstyle::SetName(s, name);
  s.inUse = 1;
  s.kind = kind == wrxstyle::kCharStyle ? wrxstyle::kCharStyle : wrxstyle::kParaStyle;
  const bool para = s.kind == wrxstyle::kParaStyle;
  const WrxFont& f = w->fonts[GetCurrentFont(w)];
  if (para || strncmp(f.face, w->arg.typeface, 31) != 0) {
    memcpy(s.face, f.face, sizeof s.face);
  } else {
    s.face[31] = w->fonts[0].face[31];  // only the character set
  }
  if (para || f.pointSize != w->arg.pointSize) s.pointSize = f.pointSize;
  s.style = int32_t(f.style) & ~wrxstyle::kNotStyleBits;
  s.textColor = int32_t(f.textColor);
  s.backColor = int32_t(f.backColor);
  if (para) {
    const int32_t p = w->lines[std::clamp(w->curLine, 0, w->lineCount - 1)]->para;
    const wrxfmt::WrxParaRecord r = p >= 0 && size_t(p) < w->paras.size() ? w->paras[size_t(p)] : w->paras[0];
    s.leftIndent = r.leftIndent, s.rightIndent = r.rightIndent, s.firstIndent = r.firstIndent;
    s.flags = r.flags & ~wrxstyle::kNotStyleFlags;
    s.shading = r.shading;
    s.spaceBefore = r.spaceBefore, s.spaceAfter = r.spaceAfter, s.lineSpacing = r.lineSpacing;
    s.tabId = r.tabId;
  }
  s.marker |= 1;
  s.userChar = para ? 0 : 1;
  PutStyle(w, id, s);
  return id;
}

}  // namespace

void EnsureDefaultStyles(WrxWindow* w) {
  try {
    if (w->styles.size() < 2) w->styles.resize(2, wrxfmt::WrxStyleRecord{});
  } catch (const std::bad_alloc&) {
    return;
  }
  if (!GetStyle(w, 0).inUse) {
    WrxStyle s{};
    s.inUse = 1;
    wrxstyle::SetName(s, "Normal");
    s.kind = wrxstyle::kParaStyle;
    strncpy(s.face, w->arg.typeface, 31);
    s.pointSize = w->arg.pointSize;
    s.backColor = int32_t(w->backColor);
    PutStyle(w, 0, s);
  }
  if (!GetStyle(w, 1).inUse) {
    WrxStyle s{};
    s.inUse = 1;
    wrxstyle::SetName(s, "Default Paragraph Font");
    s.kind = wrxstyle::kCharStyle;
    s.backColor = int32_t(w->backColor);
    PutStyle(w, 1, s);
  }
}

WrxStyle GetStyle(const WrxWindow* w, int id) {
  if (id < 0 || size_t(id) >= w->styles.size()) return WrxStyle{};
  return wrxstyle::FromRecord(w->styles[size_t(id)]);
}

void PutStyle(WrxWindow* w, int id, const WrxStyle& s) {
  if (id >= 0 && size_t(id) < w->styles.size()) w->styles[size_t(id)] = wrxstyle::ToRecord(s);
}

int NewStyleSlot(WrxWindow* w) {
  EnsureDefaultStyles(w);
  const int free = wrxstyle::FreeSlot(w->styles);
  if (free >= 0) {
    w->styles[size_t(free)] = wrxfmt::WrxStyleRecord{};
    return free;
  }
  try {
    const size_t cap = std::max<size_t>(w->styles.capacity(), kInitialCapacity);
    if (w->styles.size() >= cap) w->styles.reserve(cap + cap / 2);
    w->styles.push_back(wrxfmt::WrxStyleRecord{});
  } catch (const std::bad_alloc&) {
    WrxErrorBox(w, 113, "NewStyleSlot");
    return -1;
  }
  return int(w->styles.size() - 1);
}

int ApplyStyleToFont(WrxWindow* w, int fontId, int styleId) {
  if (fontId < 0 || fontId >= w->fontCount) return fontId;
  WrxFont& f = w->fonts[fontId];
  const WrxStyle s = GetStyle(w, styleId);
  if (f.style & wrxfmt::kPictureStyle) {
    if (s.kind == wrxstyle::kParaStyle)
      f.styleItem = styleId;
    else
      f.attribute = styleId;
    return fontId;
  }
  if (!s.inUse) return fontId;
  const wrxstyle::Defaults d = DefaultsOf(w);
  wrxstyle::FontAttrs a = AttrsOf(f);
  if (s.kind == wrxstyle::kParaStyle) {
    wrxstyle::MergeStyleFont(a, GetStyle(w, f.styleItem), s, d);
    return FontFromAttrs(w, fontId, f, a, f.attribute, styleId);
  }
  wrxstyle::MergeStyleFont(a, GetStyle(w, f.attribute), s, d);
  return FontFromAttrs(w, fontId, f, a, styleId, f.styleItem);
}

int ApplyCharStyleToFont(WrxWindow* w, int fontId, int styleId, int, int32_t line) {
  if (fontId < 0 || fontId >= w->fontCount) return fontId;
  const WrxFont f = w->fonts[fontId];
  if (f.style & wrxfmt::kPictureStyle) return fontId;
  const wrxstyle::Defaults d = DefaultsOf(w);
  const int32_t lineStyle = ParaStyleOfLine(w, line);
  wrxstyle::FontAttrs a = AttrsOf(f);
  wrxstyle::ResetToDefaults(a, GetStyle(w, lineStyle), d);
  wrxstyle::MergeStyleFont(a, GetStyle(w, f.attribute), GetStyle(w, styleId), d);
  wrxstyle::MergeStyleFont(a, GetStyle(w, f.styleItem), GetStyle(w, lineStyle), d);
  return FontFromAttrs(w, fontId, f, a, styleId, f.styleItem);
}

int EditStyleParam(HWND hwnd, int start, const char* name, int isNew, int kind, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return -1;
  EnsureDefaultStyles(w);
  const bool named = name && *name;
  if (w->editStyle >= 0) {
    if (named && start) return -1;  // another item while one is edited
    return EndEdit(w, repaint);
  }
  if (named && !start) return -1;  // nothing to end
  if (!named) return -1;           // the dialog that asks is the caller's until the dialogs join
  int id = wrxstyle::FindByName(w->styles, name);
  if (id < 0) {
    if (!isNew) return -1;
    id = NewItem(w, name, kind);
    if (id < 0) return -1;
  }
  return BeginEdit(w, id, repaint);
}

int SelectStyleParam(HWND hwnd, int styleId, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return -1;
  if (styleId < 0) return -1;  // asked by the dialog, the caller's until the dialogs join
  EnsureDefaultStyles(w);
  if (!IsKind(w, styleId, wrxstyle::kCharStyle)) return 0;
  ReleaseUndo(w);
  ++w->modified;
  if (!w->hilight) {
    w->inputFont = ApplyCharStyleToFont(w, GetCurrentFont(w), styleId, 0, w->curLine);
  } else {
    int32_t l1 = w->hlFirstLine, l2 = w->hlLastLine, c1 = w->hlFirstCol, c2 = w->hlLastCol;
    if (l1 > l2 || (l1 == l2 && c1 > c2)) std::swap(l1, l2), std::swap(c1, c2);
    if (w->hilight == 1) c1 = 0, c2 = INT32_MAX;
    for (int32_t line = std::max(l1, 0); line <= l2 && line < w->lineCount; ++line) {
      const int32_t from = line == l1 ? c1 : 0;
      const int32_t to = std::min(line == l2 ? c2 : INT32_MAX, w->lines[line]->length);
      if (from >= to) continue;
      int16_t map[WRX_MAXFONTS];
      std::fill(map, map + WRX_MAXFONTS, int16_t(-1));
      uint8_t* ids = OpenFontCodes(w, line);
      if (!ids) break;
      for (int32_t col = from; col < to; ++col) {
        const uint8_t id = ids[col] < w->fontCount ? ids[col] : 0;
        if (map[id] < 0) map[id] = int16_t(ApplyCharStyleToFont(w, id, styleId, 0, line));
        ids[col] = uint8_t(map[id]);
      }
      CloseFontCodes(w, line);
    }
  }
  if (w->staleLine > w->curLine) w->staleLine = std::min(w->curLine, w->hilight ? w->hlFirstLine : w->curLine);
  Repaint(w, repaint);
  return 1;
}

int WrxSelectParaStyle(HWND hwnd, int styleId, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w) return -1;
  if (styleId < 0) return -1;
  EnsureDefaultStyles(w);
  if (!w->arg.wordWrap || !IsKind(w, styleId, wrxstyle::kParaStyle)) return 0;
  const WrxStyle chosen = GetStyle(w, styleId);
  int32_t first, last;
  GetParaLineRange(w, &first, &last);
  for (int32_t line = first; line <= last; ++line) {
    WrxLine* l = w->lines[line];
    const int32_t hint = l->para >= 0 && size_t(l->para) < w->paras.size() ? l->para : 0;
    wrxfmt::WrxParaRecord p = w->paras[size_t(hint)];
    wrxstyle::MergeStylePara(p, GetStyle(w, p.styleId), chosen, w->paras[0]);
    p.styleId = styleId;
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

int EditedStyleFace(WrxWindow* w, const char* face, int repaint) {
  WrxStyle s = GetStyle(w, w->editStyle);
  strncpy(s.face, face, 30);
  s.face[30] = 0;
  PutStyle(w, w->editStyle, s);
  if (repaint) PaintWrx(w);
  return 1;
}

int EditedStyleSize(WrxWindow* w, int pointSize, int repaint) {
  WrxStyle s = GetStyle(w, w->editStyle);
  s.pointSize = pointSize;
  PutStyle(w, w->editStyle, s);
  if (repaint) PaintWrx(w);
  return 1;
}

int EditedStyleBits(WrxWindow* w, DWORD bits, int on, int repaint) {
  WrxStyle s = GetStyle(w, w->editStyle);
  bits &= ~DWORD(0x2000 | wrxfmt::kPictureStyle);
  s.style = on ? int32_t(DWORD(s.style) | bits) : int32_t(DWORD(s.style) & ~bits);
  PutStyle(w, w->editStyle, s);
  if (repaint) PaintWrx(w);
  return 1;
}

bool EditingParaStyle(const WrxWindow* w) { return w->editStyle >= 0 && w->styleEditPara; }

wrxfmt::WrxParaRecord EditedStylePara(const WrxWindow* w) {
  const WrxStyle s = GetStyle(w, w->editStyle);
  wrxfmt::WrxParaRecord p{};
  p.leftIndent = s.leftIndent, p.rightIndent = s.rightIndent, p.firstIndent = s.firstIndent;
  p.flags = s.flags;
  p.shading = s.shading;
  p.spaceBefore = s.spaceBefore, p.spaceAfter = s.spaceAfter, p.lineSpacing = s.lineSpacing;
  p.tabId = s.tabId;
  p.styleId = w->editStyle;
  return p;
}

void SetEditedStylePara(WrxWindow* w, const wrxfmt::WrxParaRecord& p) {
  WrxStyle s = GetStyle(w, w->editStyle);
  s.leftIndent = p.leftIndent, s.rightIndent = p.rightIndent, s.firstIndent = p.firstIndent;
  s.flags = p.flags & ~wrxstyle::kNotStyleFlags;
  s.shading = p.shading;
  s.spaceBefore = p.spaceBefore, s.spaceAfter = p.spaceAfter, s.lineSpacing = p.lineSpacing;
  s.tabId = p.tabId;
  PutStyle(w, w->editStyle, s);
}
