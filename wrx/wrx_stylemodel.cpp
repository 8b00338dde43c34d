#include "wrx/wrx_stylemodel.h"

#include <cctype>
#include <cstring>

namespace wrxstyle {

namespace {

bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int x = tolower(uint8_t(*a)), y = tolower(uint8_t(*b));
    if (x != y) return false;
    if (!x) return true;
  }
}

// Faces compare by name only: the last byte is the character set.
bool SameFace(const char* a, const char* b) { return strncmp(a, b, 31) == 0; }

// The last byte, the character set, stays.
void CopyFace(char* to, const char* from) {
  const size_t n = strnlen(from, 30);
  memcpy(to, from, n);
  memset(to + n, 0, 31 - n);
}

}  // namespace

WrxStyle FromRecord(const wrxfmt::WrxStyleRecord& r) {
  WrxStyle s;
  memcpy(&s, r.bytes, sizeof s);
  s.name[63] = 0;
  return s;
}

wrxfmt::WrxStyleRecord ToRecord(const WrxStyle& s) {
  wrxfmt::WrxStyleRecord r;
  memcpy(r.bytes, &s, sizeof r.bytes);
  return r;
}

void SetName(WrxStyle& s, const char* name) {
  memset(s.name, 0, sizeof s.name);
  if (name) strncpy(s.name, name, 63);
}

int FindByName(const std::vector<wrxfmt::WrxStyleRecord>& table, const char* name) {
  if (!name) return -1;
  for (size_t k = 0; k < table.size(); ++k) {
    const WrxStyle s = FromRecord(table[k]);
    if (s.inUse && SameName(s.name, name)) return int(k);
  }
  return -1;
}

int FreeSlot(const std::vector<wrxfmt::WrxStyleRecord>& table) {
  for (size_t k = kFirstFreeSlot; k < table.size(); ++k)
    if (!FromRecord(table[k]).inUse) return int(k);
  return -1;
}

void MergeStyleFont(FontAttrs& f, const WrxStyle& oldItem, const WrxStyle& newItem, const Defaults& d) {
  const bool fontHasDefault = SameFace(f.face, d.face);
  const bool faceTaken = (oldItem.face[0] && SameFace(f.face, oldItem.face)) || fontHasDefault;
  if (faceTaken) CopyFace(f.face, newItem.face[0] ? newItem.face : d.face);
  if ((oldItem.pointSize && f.pointSize == oldItem.pointSize) || f.pointSize == d.pointSize)
    f.pointSize = newItem.pointSize ? newItem.pointSize : d.pointSize;
  f.style = (f.style & ~oldItem.style) | (newItem.style & ~kNotStyleBits);
  if (f.textColor == oldItem.textColor || f.textColor == 0) f.textColor = newItem.textColor;
  if (f.backColor == oldItem.backColor || f.backColor == d.backColor) f.backColor = newItem.backColor;
}

void MergeStylePara(wrxfmt::WrxParaRecord& p, const WrxStyle& oldItem, const WrxStyle& newItem,
                    const wrxfmt::WrxParaRecord& para0) {
  auto take = [](int32_t& value, int32_t oldValue, int32_t newValue, int32_t base) {
    if (value == oldValue || (oldValue == 0 && value == base)) value = newValue;
  };
  take(p.leftIndent, oldItem.leftIndent, newItem.leftIndent, para0.leftIndent);
  take(p.rightIndent, oldItem.rightIndent, newItem.rightIndent, para0.rightIndent);
  take(p.firstIndent, oldItem.firstIndent, newItem.firstIndent, para0.firstIndent);
  take(p.shading, oldItem.shading, newItem.shading, para0.shading);
  take(p.spaceBefore, oldItem.spaceBefore, newItem.spaceBefore, para0.spaceBefore);
  take(p.spaceAfter, oldItem.spaceAfter, newItem.spaceAfter, para0.spaceAfter);
  take(p.lineSpacing, oldItem.lineSpacing, newItem.lineSpacing, para0.lineSpacing);
  take(p.tabId, oldItem.tabId, newItem.tabId, para0.tabId);
  p.flags = (p.flags & ~(oldItem.flags & ~kNotStyleFlags)) | (newItem.flags & ~kNotStyleFlags);
}

void ResetToDefaults(FontAttrs& f, const WrxStyle& paraStyle, const Defaults& d) {
  if (paraStyle.face[0] && SameFace(f.face, paraStyle.face)) CopyFace(f.face, d.face);
  if (paraStyle.pointSize && f.pointSize == paraStyle.pointSize) f.pointSize = d.pointSize;
  f.style &= ~paraStyle.style;
  if (f.textColor == paraStyle.textColor) f.textColor = 0;
  if (f.backColor == paraStyle.backColor) f.backColor = d.backColor;
}

}  // namespace wrxstyle
