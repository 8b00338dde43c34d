// Paragraph and tab-stop records and the pure rules the formatting commands
// apply to them: alignment exclusivity, border room, indent steps and limits,
// bullets, and setting and clearing stops. Portable.
#pragma once

#include "wrx/wrx_format.h"

#include <cstdint>

namespace wrxpara {

constexpr int32_t kMaxIndent = 5760;
constexpr int kMaxStops = 20;

// Paragraph flag bits the rules look at.
enum : int32_t {
  kCentred = 0x0001,
  kRight = 0x0002,
  kDouble = 0x0004,
  kBullet = 0x0008,
  kBorderTop = 0x0010,
  kBorderBottom = 0x0020,
  kBorderLeft = 0x0040,
  kBorderRight = 0x0080,
  kBorderBits = 0x03F0,
  kLeft = 0x0400,
  kJustified = 0x0800,
  kHeader = 0x1000,
  kFooter = 0x2000,
};

#pragma pack(push, 1)
// A tab record: the count, positions (twips, ascending), kinds (0 left, 1
// right, 2 centre, 3 decimal) and leader bytes (0 none, 1 dots, 2 hyphens, 4
// underline).
struct WrxTab {
  int32_t count;
  int32_t positions[kMaxStops];
  int32_t kinds[kMaxStops];
  uint8_t leaders[kMaxStops];
};
#pragma pack(pop)
static_assert(sizeof(WrxTab) == 184);

WrxTab TabFromRecord(const wrxfmt::WrxTabRecord& r);  // count clamped to 0..20
wrxfmt::WrxTabRecord TabToRecord(const WrxTab& t);
bool SameTabs(const WrxTab& a, const WrxTab& b);  // only the first `count` stops count

// Sets one stop: within 30 twips of an existing stop it overwrites that stop,
// else it is inserted in order. False when the record already holds 20.
bool SetStop(WrxTab& t, int32_t position, int32_t kind, uint8_t leader);
// Removes every stop within 45 twips of `position`; returns how many.
int ClearStops(WrxTab& t, int32_t position);

// The flag rule of SetWrxParaFlags for one record: bits set or cleared, the
// other alignment bits (and the other of header/footer) cleared with them,
// border indents and spacing made room for. `breakLine` is a line holding a
// break, cell or row end, which can be neither header nor footer.
void ApplyParaFlags(wrxfmt::WrxParaRecord& p, int32_t bits, bool on, bool breakLine);
// The next left indent of an indent step: to the next tab stop, else to the
// next multiple of the default width, within 0..5760.
int32_t StepLeftIndent(int32_t left, const WrxTab& tabs, int32_t defaultWidth, bool increase);
// The three indents after a ruler drag (changes in twips), limited and, with
// snap (90 or 71 twips; 0 none), rounded.
void ChangeIndents(wrxfmt::WrxParaRecord& p, int32_t dLeft, int32_t dRight, int32_t dFirst, int32_t snap);
void NormalPara(wrxfmt::WrxParaRecord& p);
void SetBullet(wrxfmt::WrxParaRecord& p, bool on);
int32_t RoundToMultiple(int32_t value, int32_t step);  // halves away from zero

}  // namespace wrxpara
