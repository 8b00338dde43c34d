// Style-sheet items and the pure rules of applying a style: which attributes
// of a font or paragraph came from the old style (and so take the new one's)
// and which were set by hand (and stay). Portable.
#pragma once

#include "wrx/wrx_format.h"

#include <cstdint>
#include <vector>

namespace wrxstyle {

constexpr int kCharStyle = 1;
constexpr int kParaStyle = 2;
constexpr int kFirstFreeSlot = 2;           // 0 "Normal" and 1 "Default Paragraph Font" are fixed
constexpr int32_t kNotStyleBits = 0x3C80;   // picture, protection, footnote, field and link bits
constexpr int32_t kNotStyleFlags = 0x3000;  // header and footer text

#pragma pack(push, 1)
struct WrxStyle {
  int32_t inUse;
  char name[64];
  int32_t kind;
  char face[32];      // the last byte is the character set; empty = not set by the style
  int32_t pointSize;  // 0 = not set
  int32_t style;
  int32_t textColor;  // 0 = automatic
  int32_t backColor;
  int32_t leftIndent, rightIndent, firstIndent;  // twips
  int32_t flags;
  int32_t shading;
  int32_t spaceBefore, spaceAfter, lineSpacing;
  int32_t tabId;
  int32_t marker;    // bit 1: made by the edit command
  int32_t userChar;  // 1: a character style made by the edit command
  int32_t unused42;
  int32_t rtfNumber;  // its number in the stylesheet it was read from
  int32_t unused44[5];
};
#pragma pack(pop)
static_assert(sizeof(WrxStyle) == 192);

WrxStyle FromRecord(const wrxfmt::WrxStyleRecord& r);
wrxfmt::WrxStyleRecord ToRecord(const WrxStyle& s);

// The attributes of a font entry that styles touch.
struct FontAttrs {
  char face[32];
  int32_t pointSize;
  int32_t style;
  int32_t textColor;
  int32_t backColor;
};

// What the window uses where a style sets nothing.
struct Defaults {
  const char* face;
  int32_t pointSize;
  int32_t backColor;
};

// The item's name, cut to 63 characters.
void SetName(WrxStyle& s, const char* name);
// The first in-use item of that name (any case, any kind), -1 when none.
int FindByName(const std::vector<wrxfmt::WrxStyleRecord>& table, const char* name);
// The first free slot from 2 on, -1 when every slot is in use.
int FreeSlot(const std::vector<wrxfmt::WrxStyleRecord>& table);

// Replaces in `f` the attributes that came from `oldItem` by those of
// `newItem`; attributes set by hand stay.
void MergeStyleFont(FontAttrs& f, const WrxStyle& oldItem, const WrxStyle& newItem, const Defaults& d);
// The same for a paragraph record; `para0` is the window's paragraph 0.
void MergeStylePara(wrxfmt::WrxParaRecord& p, const WrxStyle& oldItem, const WrxStyle& newItem,
                    const wrxfmt::WrxParaRecord& para0);
// Resets to the defaults the attributes of `f` that equal those of the
// paragraph style `paraStyle`.
void ResetToDefaults(FontAttrs& f, const WrxStyle& paraStyle, const Defaults& d);

}  // namespace wrxstyle
