// Word wrap: paragraphs are gathered into a parse buffer and broken again
// into lines at the width that applies (window, page, column, cell or frame),
// measuring on the way tab stops (left, right, centre, decimal), justified
// spaces, the boxes of field text and markers. Widths are screen widths.
// With printer metrics (print view) lines also flow around the paragraph
// frames of their page and get their heights in formatting-device pixels.
#include "wrx/wrx_block.h"
#include "wrx/wrx_wrap.h"
#include "wrx/short_copy.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

bool g_plainWordWrap = false;
long g_linesPassedBy = 0;

// A paragraph's characters, gathered line by line without a runtime call
// per line. Where the lines' texts already lie one after another in a shared
// block, the bytes are read where they lie instead (borrowed).
class TextBytes {
 public:
  void clear() { size_ = 0, borrowed_ = nullptr; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool borrowed() const { return borrowed_ != nullptr; }
  const char* data() const { return borrowed_ ? borrowed_ : bytes_.get(); }
  char operator[](size_t k) const { return data()[k]; }
  char back() const { return data()[size_ - 1]; }
  void push_back(char c) { Append(&c, 1); }
  // Only into an empty buffer.
  void Borrow(const char* from, size_t count) { borrowed_ = from, size_ = count; }
  // Whether `from` lies right after the borrowed bytes, which it may lengthen.
  bool Continues(const char* from) const { return borrowed_ && from == borrowed_ + size_; }
  void Lengthen(size_t count) { size_ += count; }
  void Append(const char* from, size_t count) {
    if (borrowed_) {
      // Gathered after all: the borrowed bytes are copied first.
      const char* before = borrowed_;
      const size_t length = size_;
      borrowed_ = nullptr, size_ = 0;
      Append(before, length);
    }
    if (size_ + count > capacity_) {
      const size_t capacity = std::max(2 * capacity_, size_ + count + 4096);
      std::unique_ptr<char[]> bigger(new char[capacity]);
      if (size_) memcpy(bigger.get(), bytes_.get(), size_);
      bytes_ = std::move(bigger);
      capacity_ = capacity;
    }
    CopyShort(bytes_.get() + size_, from, count);
    size_ += count;
  }

 private:
  std::unique_ptr<char[]> bytes_;
  const char* borrowed_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

// A rewrap of many paragraphs keeps a gap of empty slots in the line array
// between the lines it has stored and the lines it has still to read, so
// that a batch that adds or removes lines moves only its own lines instead
// of every line after it. The lines before `at_` lie where the document
// numbers them, the others `size_` slots further on; the wrap reads every
// line through Line(). The document outside the pass never sees the gap:
// error reports are held while it is open (a message box would paint from
// the array) and it closes on every way out of the pass.
class LineGap {
 public:
  explicit LineGap(WrxWindow* w) : w_(w) {}
  LineGap(const LineGap&) = delete;
  LineGap& operator=(const LineGap&) = delete;
  ~LineGap() { Close(); }

  WrxLine* Line(int32_t k) const { return w_->lines[k < at_ ? k : k + size_]; }
  WrxLine* operator[](int32_t k) const { return Line(k); }
  // The lines from the first one still to read on, indexed as the document
  // numbers them: one array for the loops that read only those.
  WrxLine* const* Unread() const { return w_->lines + size_; }

  // Lines from `first` (the first line still to read) that stay as they are
  // cross the gap to the stored side.
  void PassBy(int32_t first, int32_t count) {
    if (size_ == 0) return;
    WrxLine** lines = w_->lines;
    memmove(lines + first, lines + first + size_, size_t(count) * sizeof *lines);
    std::fill(lines + first + count, lines + first + count + size_, nullptr);
    at_ = first + count;
  }

  // Stands for InsertDeleteLines after a batch read from `line` on: its
  // `consumed` lines become `produced`, taking new slots from the gap or
  // giving the ones left over to it, with the same effects on the count, the
  // sections, the stale line, the cursor and the first line shown. `toRead`
  // is about how many lines the pass has still to read, for the room the gap
  // opens with. False when memory ran out, with the document as it was.
  bool Store(int32_t line, int32_t consumed, int32_t produced, int32_t toRead) {
    if (size_ == 0) at_ = line;
    const int32_t change = produced - consumed;
    if (change > size_ && !Widen(change, toRead)) return false;
    PassBy(line, consumed);
    at_ = line + consumed;
    consumedSoFar_ += consumed;
    producedSoFar_ += produced;
    if (change > 0) {
      if (!Open(change)) return false;
    } else if (change < 0) {
      Remove(line + produced, -change);
    }
    w_->wrapInput += change;
    return true;
  }

  // Puts the lines still to read back after the stored ones.
  void Close() {
    if (size_ > 0) {
      WrxLine** lines = w_->lines;
      memmove(lines + at_, lines + at_ + size_, size_t(w_->lineCount - at_) * sizeof *lines);
      std::fill(lines + w_->lineCount, lines + w_->lineCount + size_, nullptr);
      size_ = 0;
    }
    if (holding_) {
      holding_ = false;
      ReleaseErrorReports();
    }
  }

 private:
  void Hold() {
    if (!holding_) HoldErrorReports(), holding_ = true;
  }

  // Makes the gap at least `need` slots, with room for as many more lines as
  // the pass has made so far per line read (a quarter at least), so that it
  // seldom needs widening again.
  bool Widen(int32_t need, int32_t toRead) {
    Hold();
    const int64_t read = std::max<int64_t>(1, consumedSoFar_);
    const int64_t grown = std::max<int64_t>(0, producedSoFar_ - consumedSoFar_);
    const int64_t rest = std::max<int64_t>(0, toRead);
    const double expected = double(rest) * double(grown) / double(read) * 1.25;
    const int64_t room = std::min(4 * rest, std::max(rest / 4, int64_t(std::min(expected, 1e15))));
    const int64_t wanted = std::min<int64_t>(need + room + 64, INT32_MAX / 2 - w_->lineCount);
    const int held = HeldErrorReports();
    int32_t size = int32_t(wanted);
    if (size < need || !ExpandLineArray(w_, w_->lineCount + size)) {
      // Without the room, as the per-batch move would have grown the array.
      DropHeldErrorReports(held);
      size = need;
      if (!ExpandLineArray(w_, w_->lineCount + size)) return false;
    }
    WrxLine** lines = w_->lines;
    memmove(lines + at_ + size, lines + at_ + size_, size_t(w_->lineCount - at_) * sizeof *lines);
    std::fill(lines + at_ + size_, lines + at_ + size, nullptr);
    size_ = size;
    return true;
  }

  // As ShiftLines opens `count` lines at `at_`, from the gap.
  bool Open(int32_t count) {
    const int32_t at = at_;
    w_->lineCount += count;
    for (int32_t i = at; i < at + count; ++i) {
      if (!InitLine(w_, i)) {
        for (int32_t k = at; k < i; ++k) FreeLine(w_, k);
        w_->lineCount -= count;
        return false;
      }
    }
    at_ += count;
    size_ -= count;
    if (at < w_->staleLine) w_->staleLine = at;
    AdjustSectionLines(w_, at - 1, count);
    return true;
  }

  // As ShiftLines deletes `count` lines from `from` (just before `at_`),
  // their slots joining the gap instead of the lines after them moving.
  void Remove(int32_t from, int32_t count) {
    Hold();
    for (int32_t i = from; i < from + count; ++i) FreeLine(w_, i);
    at_ = from;
    size_ += count;
    w_->lineCount -= count;
    if (std::max(0, from - 1) < w_->staleLine) w_->staleLine = std::max(0, from - 1);
    AdjustSectionLines(w_, from, -count);
    if (w_->lineCount == 0) {
      Close();
      w_->lineCount = 1;
      if (!InitLine(w_, 0)) return;
    }
    if (w_->curLine >= w_->lineCount) {
      w_->curLine = w_->lineCount - 1;
      const WrxLine* l = Line(w_->curLine);
      w_->curCol = l ? l->length : 0;
    }
    if (w_->firstLine >= w_->lineCount) w_->firstLine = w_->lineCount - 1;
  }

  WrxWindow* w_;
  int32_t at_ = 0, size_ = 0;
  int64_t consumedSoFar_ = 0, producedSoFar_ = 0;
  bool holding_ = false;
};

struct WrapBuffer {
  TextBytes text;
  WrxTextArena* arena = nullptr;  // of borrowed text; null for the document's bytes
  std::vector<uint8_t> ids;       // filled only when the fonts differ
  const uint8_t* idp = nullptr;   // the font id of each character
  bool oneFont = false;
  int32_t input = 0;  // last source line consumed
  int32_t para = 0, cell = 0, frame = 0;
  int32_t section = 0;
  bool endOfDocument = false;
};

// One output line, as positions into the parse buffer.
struct WrapLine {
  // The tab widths past the line's count are never read: left unset, which
  // spares clearing them for every line.
  WrapLine() {}
  size_t start = 0, length = 0;
  uint32_t flags = 0;
  uint32_t infoFlags = 0;
  int32_t tabCount = 0;
  int32_t tabWidths[20];
  int32_t justifyExtra = 0, justifyRemainder = 0, spaces = 0, spacesBeforeTab = 0;
  bool boxed = false;                    // holds field text drawn in boxes
  int32_t gapColumn = -1, gapWidth = 0;  // x jumps over a frame before this character
  int32_t blockHeight = 0;
  int32_t height = -1;  // device pixels; -1 = not measured (no printer metrics)
};

constexpr DWORD kFieldStyle = 0x2000;
constexpr int32_t kBoxAllowanceTwips = 40;

int32_t Pixels(WrxWindow* w, int32_t twips) { return MulDiv(twips, w->resX ? w->resX : 96, 1440); }

int32_t CharWidth(WrxWindow* w, uint8_t id, uint8_t c) {
  const WrxFont& f = w->fonts[id < w->fontCount ? id : 0];
  return f.widths ? f.widths[c] : 0;
}

bool EndsFill(const WrxWindow* w, uint8_t c) {
  return c == w->paraEnd || c == WRX_ROWEND || c == w->cellEnd || c == WRX_PAGEBREAK || c == WRX_HEADERDELIM ||
         c == WRX_FOOTERDELIM;
}

int32_t Capacity(const WrxWindow* w) { return std::max(w->wrapBufSize, 2 * WRX_MAXLINELEN + 2048); }

// One font id over and over, for the paragraphs of a pass that are in one
// font: their ids need not be gathered. One buffer per id, never moved, so
// that every paragraph of a batch may point into it.
class SameIds {
 public:
  explicit SameIds(const WrxWindow* w) : size_(size_t(Capacity(w)) + WRX_MAXLINELEN + 2) {}
  // Null when `count` is more than a buffer holds.
  const uint8_t* Get(uint8_t id, size_t count) {
    if (count > size_) return nullptr;
    if (buffers_[id].empty()) buffers_[id].assign(size_, id);
    return buffers_[id].data();
  }

 private:
  size_t size_;
  std::vector<uint8_t> buffers_[256];
};

// `lines` from `first` on, as LineGap::Unread gives them.
void FillWrapBuffer(WrxWindow* w, WrxLine* const* lines, int32_t first, int32_t count, WrapBuffer& b, SameIds& same) {
  b.text.clear();
  b.arena = nullptr;
  b.ids.clear();
  // The paragraph's one font so far, -1 before the first character, -2 once
  // it has two and its ids are gathered.
  int32_t oneId = -1;
  auto gatherFromHere = [&](size_t textBefore) {
    if (oneId >= 0) b.ids.assign(textBefore, uint8_t(oneId));
    oneId = -2;
  };
  b.para = b.cell = b.frame = 0;
  b.section = 0;
  b.input = first;
  int32_t line = first;
  for (; line < w->lineCount && count >= 1 && int32_t(b.text.size()) <= Capacity(w) - WRX_MAXLINELEN; ++line, --count) {
    const WrxLine* l = lines[line];
    if (l->length > 0 && !b.text.empty() &&
        (uint8_t(l->text[0]) == WRX_HEADERDELIM || uint8_t(l->text[0]) == WRX_FOOTERDELIM))
      break;
    if (l->length > 0) {
      const size_t before = b.text.size();
      // A wrapped paragraph's lines lie one after another in their block,
      // and a loaded one is a line of the document's bytes.
      const bool shared = !g_plainWordWrap && (l->flags & LF_ARENATEXT);
      if (shared && b.text.empty()) {
        b.text.Borrow(l->text, size_t(l->length));
        b.arena = l->arena;
      } else if (shared && l->arena == b.arena && b.text.Continues(l->text)) {
        b.text.Lengthen(size_t(l->length));
      } else {
        b.text.Append(l->text, size_t(l->length));
      }
      if (IsSharedIds(l)) {
        const uint8_t id = SharedId(l) < w->fontCount ? SharedId(l) : 0;
        if (oneId == -1) oneId = id;
        if (oneId != id) gatherFromHere(before);
        if (oneId == -2) b.ids.insert(b.ids.end(), size_t(l->length), id);
      } else {
        gatherFromHere(before);
        const uint8_t* ids = IdArray(l);
        b.ids.insert(b.ids.end(), ids, ids + l->length);
      }
    }
    b.para = l->para, b.cell = l->cell, b.frame = l->frame;
    b.input = line;
    const uint8_t last = l->length ? uint8_t(l->text[l->length - 1]) : 0;
    if (last == WRX_SECTBREAK && l->info && (l->info->flags & LI_SECTBREAK)) {
      b.section = l->info->section;
      break;
    }
    if (l->length && EndsFill(w, last)) break;
  }
  b.endOfDocument = b.input >= w->lineCount - 1;
  if (b.endOfDocument && (b.text.empty() || uint8_t(b.text.back()) != w->paraEnd)) {
    uint8_t id = oneId >= 0 ? uint8_t(oneId) : b.ids.empty() ? 0 : b.ids.back();
    if (id >= w->fontCount || (w->fonts[id].style & wrxfmt::kPictureStyle)) id = 0;
    if (oneId == -1) oneId = id;
    if (oneId != id) gatherFromHere(b.text.size());
    b.text.push_back(char(w->paraEnd));
    if (oneId == -2) b.ids.push_back(id);
  }
  b.oneFont = oneId >= 0;
  b.idp = b.oneFont ? same.Get(uint8_t(oneId), b.text.size()) : b.ids.data();
  if (!b.idp) {
    b.ids.assign(b.text.size(), uint8_t(oneId));
    b.idp = b.ids.data();
  }
}

}  // namespace

namespace {

// The stops of a tab record: count, positions (twips) and kinds.
struct TabStops {
  int32_t count = 0;
  int32_t positions[20] = {};
  int32_t kinds[20] = {};
};

TabStops ReadTabStops(const WrxWindow* w, int32_t tabId) {
  TabStops t;
  if (tabId <= 0 || size_t(tabId) >= w->tabs.size()) return t;
  const uint8_t* bytes = w->tabs[size_t(tabId)].bytes;
  memcpy(&t.count, bytes, 4);
  t.count = std::clamp(t.count, 0, 20);
  memcpy(t.positions, bytes + 4, sizeof t.positions);
  memcpy(t.kinds, bytes + 84, sizeof t.kinds);
  for (int32_t& k : t.kinds) k = std::clamp(k, 0, 3);
  return t;
}

}  // namespace

int NextTabStop(WrxWindow* w, int32_t para, int32_t tabId, int32_t x, int32_t* position, int32_t* type, int screen) {
  (void)screen;  // the screen is the formatting device until printers join
  const int32_t res = w->resX ? w->resX : 96;
  const int32_t xTwips = MulDiv(x + 1, 1440, res);
  const int32_t left = para >= 0 && size_t(para) < w->paras.size() ? w->paras[size_t(para)].leftIndent : 0;
  const TabStops t = ReadTabStops(w, tabId);
  for (int32_t k = 0; k < t.count; ++k) {
    if (left > xTwips && left < t.positions[k]) {
      *position = MulDiv(left, res, 1440);
      *type = 0;
      return 1;
    }
    if (t.positions[k] > xTwips) {
      *position = MulDiv(t.positions[k], res, 1440);
      *type = t.kinds[k];
      return 1;
    }
  }
  *position = NextDefaultStop(w, left, x);
  *type = 0;
  return 1;
}

int32_t NextDefaultStop(WrxWindow* w, int32_t leftIndent, int32_t x) {
  const int32_t res = w->resX ? w->resX : 96;
  const int32_t xTwips = MulDiv(x + 1, 1440, res);
  const int32_t step = w->defTabWidth > 0 ? w->defTabWidth : 720;
  int32_t stop = leftIndent;
  if (stop <= xTwips) stop = leftIndent + ((xTwips - leftIndent) / step + 1) * step;
  return MulDiv(stop, res, 1440);
}

namespace {

// Per-font and per-character tables of a wrap pass, built once so that the
// inner loop takes one lookup per character.
struct WrapTables {
  enum : uint8_t { K_MARKER = 1, K_TAB = 2, K_SPACE = 4, K_ENDS = 8, K_LINEMARK = 16 };
  uint8_t kind[256] = {};  // what a character needs beyond its width
  bool fieldFont[256] = {};
  uint32_t fontLineFlags[256] = {};  // what a character of the font adds to its line's flags
  uint32_t fontInfoFlags[256] = {};  // ... and to its information flags
  bool anyFontLineFlags = false;
  const int32_t* widths[256] = {};
  // Whether eight characters at a time may be added up before the width is
  // checked: the font has no negative widths, and only characters below a
  // blank need more than their width (a space aside).
  bool eightAtOnce[256] = {};

  explicit WrapTables(const WrxWindow* w) {
    static const int32_t kNoWidths[256] = {};
    bool nonNegative[256] = {};
    for (int id = 0; id < std::min(w->fontCount, 256); ++id) {
      const int32_t* v = w->fonts[id].widths;
      nonNegative[id] = !v || std::all_of(v, v + 256, [](int32_t width) { return width >= 0; });
    }
    for (int id = 0; id < 256; ++id) {
      const WrxFont& f = w->fonts[id < w->fontCount ? id : 0];
      widths[id] = f.widths ? f.widths : kNoWidths;
      eightAtOnce[id] = nonNegative[id < w->fontCount ? id : 0];
      fieldFont[id] = (f.style & kFieldStyle) != 0;
      if (f.style & 0x400) fontLineFlags[id] |= LF_FOOTNOTE;
      if ((f.style & wrxfmt::kPictureStyle) && f.pictAlign == 2) fontLineFlags[id] |= LF_PICTREGION;
      if (f.kind == 1 && !(f.style & wrxfmt::kPictureStyle)) fontInfoFlags[id] |= LI_AUTONUMBER;
      anyFontLineFlags |= (fontLineFlags[id] | fontInfoFlags[id]) != 0;
    }
    for (const uint8_t* m = w->markers; *m; ++m) kind[*m] |= K_MARKER;
    kind[w->paraEnd] |= K_ENDS;
    kind[w->cellEnd] |= K_ENDS;
    kind[WRX_LINEBREAK] |= K_ENDS;
    kind[WRX_TAB] |= K_TAB;
    kind[uint8_t(' ')] |= K_SPACE;
    kind[WRX_LINEMARK] |= K_LINEMARK;
    bool quietAbove = true;
    for (int c = 32; c < 256; ++c) quietAbove &= kind[c] == 0 || (c == ' ' && kind[c] == K_SPACE);
    if (!quietAbove) std::fill(std::begin(eightAtOnce), std::end(eightAtOnce), false);
  }

  // The widths of two printable ASCII characters at once, indexed by the two
  // bytes as they lie in memory, less kPairBase: half the lookups of one at a
  // time, and lookups are what adding up a line waits on. Made the first
  // time a font's run asks, so that a short rewrap (typing) pays only for
  // the fonts it meets; null when a width does not fit.
  static constexpr size_t kPairBase = 0x2020;
  const uint16_t* Pairs(uint8_t id) const {
    if (!pairsMade[id]) MakePairs(id);
    return pairs[id].get();
  }

 private:
  mutable std::unique_ptr<uint16_t[]> pairs[256];
  mutable bool pairsMade[256] = {};

  void MakePairs(uint8_t id) const {
    pairsMade[id] = true;
    const int32_t* v = widths[id];
    for (int c = 0x20; c < 0x80; ++c)
      if (v[c] < 0 || v[c] > 0x7FFF) return;
    pairs[id].reset(new (std::nothrow) uint16_t[0x7F7F - kPairBase + 1]);
    uint16_t* p = pairs[id].get();
    if (!p) return;
    for (int second = 0x20; second < 0x80; ++second)
      for (int first = 0x20; first < 0x80; ++first)
        p[size_t(second << 8 | first) - kPairBase] = uint16_t(v[first] + v[second]);
  }
};

inline uint32_t Load16(const uint8_t* p) {
  uint16_t v;
  memcpy(&v, p, 2);
  return v;
}

// Whether any of eight bytes is below a blank.
inline bool AnyBelowBlank(uint64_t v) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  return ((v - kOnes * 0x20) & ~v & kHigh) != 0;
}

// The blanks among `count` bytes, 16 at a time.
__attribute__((target("sse2"))) int32_t CountSpaces(const uint8_t* p, size_t count) {
  const __m128i blank = _mm_set1_epi8(' '), zero = _mm_setzero_si128();
  int32_t spaces = 0;
  size_t k = 0;
  while (k + 16 <= count) {
    // A byte lane counts to 255 at most before the lanes are added up.
    const size_t stop = std::min(count & ~size_t(15), k + 255 * 16);
    __m128i lanes = zero;
    for (; k < stop; k += 16)
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)), blank));
    const __m128i sums = _mm_sad_epu8(lanes, zero);
    spaces += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
  if (k < count && count >= 16) {
    // The bytes left, as the end of a whole 16 less the ones counted.
    static const uint8_t kLast[32] = {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                      0,    0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + count - 16));
    const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLast + (count - k)));
    const __m128i sums = _mm_sad_epu8(_mm_sub_epi8(zero, _mm_and_si128(_mm_cmpeq_epi8(tail, blank), keep)), zero);
    return spaces + _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
  for (; k < count; ++k) spaces += p[k] == ' ';
  return spaces;
}

inline uint64_t Load8(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

// The height of a new line in device pixels, as pagination will stack it.
int32_t MeasureWrapLine(WrxWindow* w, const LineGap& lines, const WrapBuffer& b, const WrapLine& line,
                        const wrxfmt::WrxParaRecord* para, int32_t slot) {
  if (line.infoFlags & LI_BLOCKED) return line.blockHeight;
  const int32_t screenY = w->resY ? w->resY : 96, deviceY = DeviceResY(w);
  const uint8_t last = uint8_t(b.text[line.start + line.length - 1]);
  if (line.length == 1 && IsMarkerChar(w, last)) {
    if (last != WRX_PAGEBREAK && last != WRX_SECTBREAK && last != WRX_COLBREAK) return 0;
    // Break lines are drawn as labels as high as a line of the default font.
    if (w->arg.pageMode) return MulDiv(w->fonts[0].lineHeight, deviceY, screenY);
  }
  if (line.length == 1 && para && (para->flags & 0x3000) && !w->hdrFtrShown) {
    // The empty line of a header or footer that is not shown takes no room.
    auto isDelimiter = [w, &lines](int32_t k) {
      const WrxLine* l = k >= 0 && k < w->lineCount ? lines.Line(k) : nullptr;
      return l && l->length > 0 && (uint8_t(l->text[0]) == WRX_HEADERDELIM || uint8_t(l->text[0]) == WRX_FOOTERDELIM);
    };
    if (isDelimiter(slot - 1) && isDelimiter(b.input + 1)) return 0;
  }
  int32_t base = 0, below = 0, leading = 0;
  size_t count = line.length;
  if (count > 1 && last == w->paraEnd) --count;
  for (size_t k = line.start; k < line.start + count; ++k) {
    const WrxFont& f = w->fonts[b.idp[k] < w->fontCount ? b.idp[k] : 0];
    base = std::max(base, f.baseLine);
    below = std::max(below, f.lineHeight - f.baseLine - f.extLeading);
    leading = std::max(leading, f.extLeading);
  }
  const int32_t text = MulDiv(base + below + leading, deviceY, screenY);
  int32_t before = 0, after = 0;
  ParaSpacingFor(w, para, line.flags, text, &before, &after, 0);
  return text + before + after;
}

void WrapParseBuffer(WrxWindow* w, const LineGap& lines, const WrapTables& t, const WrapBuffer& b,
                     bool firstOfParagraph, int32_t firstOutput, std::vector<WrapLine>& out) {
  out.clear();
  const wrxfmt::WrxParaRecord* para =
      b.para >= 0 && size_t(b.para) < w->paras.size() ? &w->paras[size_t(b.para)] : nullptr;
  const int32_t left = para ? para->leftIndent : 0;
  const int32_t right = para ? Pixels(w, para->rightIndent) : 0;
  const int32_t firstIndent = para ? EffectiveFirstIndent(*para) : 0;
  const bool justify = para && (para->flags & PF_JUSTIFIED);
  const bool keepUnwrapped = para && (para->placement & PP_UNWRAPPED);
  const int32_t tabId = para ? para->tabId : 0;
  const int32_t width = GetLineTextWidth(w, b.input) - right;
  const size_t size = b.text.size();
  // Printer metrics: lines are measured for the page, and body text flows
  // around the frames of its page, from where the first line stood.
  const bool printerMetrics = w->arg.printView != 0;
  const bool aroundFrames = printerMetrics && b.frame == 0 && b.cell == 0 && w->frames.size() > 1;
  const int32_t screenX = w->resX ? w->resX : 96, deviceX = DeviceResX(w);
  const int32_t firstSlot = std::clamp(firstOutput, 0, w->lineCount - 1);
  const int32_t page = aroundFrames ? PageOfLine(w, firstSlot) : 0;
  const int32_t section = aroundFrames ? GetLineSection(w, firstSlot) : 0;
  int32_t pageY = lines.Line(firstSlot)->pageY;
  size_t pos = 0;
  bool paraStart = firstOfParagraph;
  const uint32_t numbered = IsNumberedParaKind(w, b.para) ? LF_NUMBERED : 0;
  const uint8_t* kind = t.kind;
  const bool* fieldFont = t.fieldFont;
  const uint8_t* text = reinterpret_cast<const uint8_t*>(b.text.data());
  const uint8_t* ids = b.idp;
  auto widthsOf = [&t](uint8_t id) -> const int32_t* { return t.widths[id]; };
  enum : uint8_t {
    K_MARKER = WrapTables::K_MARKER,
    K_TAB = WrapTables::K_TAB,
    K_SPACE = WrapTables::K_SPACE,
    K_ENDS = WrapTables::K_ENDS,
    K_LINEMARK = WrapTables::K_LINEMARK,
  };
  const int32_t firstStartX = Pixels(w, left + firstIndent), startXAfter = Pixels(w, left);
  const int32_t box = Pixels(w, kBoxAllowanceTwips);
  while (pos < size) {
    // Made where it is kept: a line is large, for its tab widths.
    WrapLine& line = out.emplace_back();
    line.start = pos;
    const int32_t startX = paraStart ? firstStartX : startXAfter;
    int32_t x = startX;
    int32_t lineWidth = width;
    int32_t gapAt = 0, gapEnd = 0;
    bool gapPending = false, besideFrame = false;
    if (aroundFrames) {
      const int32_t slot = firstOutput + int32_t(out.size()) - 1;
      const int32_t known = slot < w->lineCount ? lines.Line(slot)->height : 0;
      const int32_t height = known > 0 ? known : MulDiv(w->fonts[0].lineHeight, DeviceResY(w), w->resY ? w->resY : 96);
      const RECT r{MulDiv(startX, deviceX, screenX), pageY, MulDiv(width, deviceX, screenX),
                   pageY + std::max(1, height)};
      int32_t gapStart = 0, gapWidth = 0, blocked = 0;
      FrameGapAt(w, page, section, &r, &gapStart, &gapWidth, &blocked);
      if (blocked > 0) {
        // No room beside the frame: an empty line as high as the frame.
        line.infoFlags = LI_BLOCKED;
        line.blockHeight = blocked;
        line.height = blocked;
        pageY += blocked;
        continue;
      }
      if (gapWidth > 0) {
        besideFrame = true;
        gapAt = MulDiv(gapStart, screenX, deviceX);
        gapEnd = MulDiv(gapStart + gapWidth, screenX, deviceX);
        if (gapEnd >= width)
          lineWidth = gapAt;  // a frame at the right edge narrows the line
        else
          gapPending = true;
      }
    }
    // A right, centre or decimal tab whose width waits for its text.
    struct PendingTab {
      int32_t slot, stop, type, sum;
      bool seenPoint;
    } pending{-1, 0, 0, 0, false};
    // Gives the pending tab its width and returns it (0 when none waits).
    auto settle = [&](int32_t atX, int32_t endingWidth) -> int32_t {
      if (pending.slot < 0) return 0;
      const int32_t xNow = atX - endingWidth;
      const int32_t sum = pending.sum - (pending.type == 1 ? 0 : std::min(endingWidth, pending.sum));
      int32_t width = pending.stop - xNow;
      if (pending.type == 2) width += sum / 2;
      if (pending.type == 3) width += sum;
      width = std::max(0, width);
      line.tabWidths[pending.slot] = width;
      pending.slot = -1;
      return width;
    };
    bool endedByMarker = false;
    bool inField = false;
    size_t breakAt = 0;  // 0 = no break opportunity yet
    int32_t spacesAtBreak = 0, tabsAtBreak = 0, xAtBreak = x;
    size_t i = pos;
    // Back to the last break opportunity; a gap past it is not on the line.
    auto backToBreak = [&] {
      i = breakAt;
      x = xAtBreak;
      line.spaces = spacesAtBreak;
      line.tabCount = tabsAtBreak;
      if (line.gapColumn >= int32_t(i - pos)) line.gapColumn = -1, line.gapWidth = 0;
    };
    const size_t cap = std::min(size, pos + WRX_MAXLINELEN);
    for (; i < size; ++i) {
      if (!g_plainWordWrap && !gapPending && pending.slot < 0 && fieldFont[ids[i]] == inField) {
        // A run of one font's letters and spaces, with nothing else to
        // watch: only widths to add up and break places to note. It stops
        // where the general steps below have more to do.
        const uint8_t runId = ids[i];
        const int32_t* widths = widthsOf(runId);
        const int32_t limit = keepUnwrapped ? INT32_MAX : lineWidth;
        if (t.eightAtOnce[runId] && !(x >= limit && i > pos)) {
          // Eight at a time while none needs a look of its own and the line
          // does not fill: only the widths are added up. The spaces and the
          // last break place are found once the run ends, from what it
          // passed: noting them for every eight cost as much as the widths.
          const uint64_t sameId = 0x0101010101010101ull * runId;
          const uint16_t* pairs = t.Pairs(runId);
          const size_t runStart = i;
          // Where the line ends when it fills among eight characters, and
          // the x there (0 = it did not fill).
          size_t cutAt = 0;
          int32_t cutX = 0;
          while (i + 8 <= cap) {
            const uint64_t v = Load8(text + i);
            // Printable ASCII (the high bits clear, nothing below a blank)
            // is added up by pairs where the font has them. A paragraph in
            // one font needs no look at its ids.
            const bool odd = ((v | (v - 0x2020202020202020ull)) & 0x8080808080808080ull) != 0;
            if ((odd && AnyBelowBlank(v)) || (!b.oneFont && Load8(ids + i) != sameId)) break;
            // Summed as a tree rather than one after another, so that the
            // additions do not wait on each other.
            const uint8_t* c = text + i;
            int32_t nx;
            if (pairs && !odd) {
              nx = x + ((pairs[Load16(c) - WrapTables::kPairBase] + pairs[Load16(c + 2) - WrapTables::kPairBase]) +
                        (pairs[Load16(c + 4) - WrapTables::kPairBase] + pairs[Load16(c + 6) - WrapTables::kPairBase]));
            } else {
              const int32_t q1 = widths[c[0]] + widths[c[1]], q3 = widths[c[2]] + widths[c[3]];
              const int32_t q5 = widths[c[4]] + widths[c[5]], q7 = widths[c[6]] + widths[c[7]];
              nx = x + ((q1 + q3) + (q5 + q7));
            }
            if (nx >= limit) {
              // The line fills among these, before the first character
              // that starts at the width or beyond, as one step at a time
              // would find it.
              const int32_t w0 = widths[c[0]], w2 = widths[c[2]], w4 = widths[c[4]], w6 = widths[c[6]];
              const int32_t p1 = w0 + widths[c[1]], q3 = w2 + widths[c[3]];
              const int32_t q5 = w4 + widths[c[5]];
              const int32_t p3 = p1 + q3, p5 = p3 + q5;
              const int32_t xs[8] = {x + w0, x + p1, x + p1 + w2, x + p3, x + p3 + w4, x + p5, x + p5 + w6, nx};
              int k = 1;
              while (xs[k - 1] < limit) ++k;
              cutAt = i + size_t(k);
              cutX = xs[k - 1];
              break;
            }
            x = nx;
            i += 8;
          }
          // The last space of what the run added up is a break place, with
          // the x after it: back from the end, a word at most as a rule.
          const size_t end = cutAt ? cutAt : i;
          size_t k = end;
          int32_t xBreak = cutAt ? cutX : x;
          while (k > runStart && text[k - 1] != ' ') xBreak -= widths[text[--k]];
          if (k > runStart) {
            const int32_t count = CountSpaces(text + runStart, end - runStart);
            spacesAtBreak = line.spaces + count - 1;  // the break uncounts its own space
            line.spaces += count;
            tabsAtBreak = line.tabCount;
            breakAt = k;
            xAtBreak = xBreak;
          }
          if (cutAt) {
            if (breakAt > pos) {
              backToBreak();
            } else {
              i = cutAt;
              x = cutX;
            }
            break;
          }
        }
        for (; i < cap && ids[i] == runId && !(x >= limit && i > pos); ++i) {
          const uint8_t c = text[i];
          if (kind[c] == K_SPACE) {
            x += widths[c];
            spacesAtBreak = line.spaces++;
            tabsAtBreak = line.tabCount;
            xAtBreak = x;
            breakAt = i + 1;
          } else if (kind[c] == 0) {
            x += widths[c];
          } else {
            break;
          }
        }
        if (i >= size) break;
      }
      const uint8_t c = text[i];
      const uint8_t id = ids[i];
      const uint8_t k = kind[c];
      if (k & K_MARKER) {
        if (i == pos)
          ++i;  // a marker forms a line by itself
        else
          endedByMarker = true;
        break;
      }
      const bool atCap = int32_t(i - pos) >= WRX_MAXLINELEN;
      if (atCap || (!keepUnwrapped && x >= lineWidth && i > pos)) {
        if (breakAt > pos) {
          backToBreak();
          break;
        }
        if (atCap || c != w->paraEnd) break;  // a paragraph end still goes on the line
      }
      if (gapPending && (x >= gapAt || (!(k & K_TAB) && x + widthsOf(id)[c] > gapAt))) {
        // The character would run into the frame: it goes after it.
        line.gapColumn = int32_t(i - pos);
        line.gapWidth = std::max(0, gapEnd - x);
        x += line.gapWidth;
        gapPending = false;
      }
      if (k & K_TAB) {
        x += settle(x, 0);
        int32_t stop = 0, type = 0;
        NextTabStop(w, b.para, tabId, x, &stop, &type, 1);
        const int32_t slot = line.tabCount < 20 ? line.tabCount++ : 19;
        if (type == 0) {
          line.tabWidths[slot] = std::max(0, stop - x);
          x += line.tabWidths[slot];
        } else {
          // Right, centre and decimal stops wait for the text that follows.
          line.tabWidths[slot] = 0;
          pending = {slot, stop, type, 0, false};
        }
        line.spacesBeforeTab = line.spaces;
      } else {
        const int32_t cw = widthsOf(id)[c];
        x += cw;
        // Entering or leaving field text adds the room of its box.
        const bool field = fieldFont[id];
        if (field != inField) {
          x += box;
          line.boxed = true;
          inField = field;
        }
        if (pending.slot >= 0) {
          if (pending.type == 3 && c == '.') pending.seenPoint = true;
          if (pending.type == 2 || (pending.type == 3 && pending.seenPoint)) pending.sum += cw;
        }
      }
      if (!k) continue;
      if (k & K_LINEMARK) line.flags |= LF_MARKED;
      if (k & (K_SPACE | K_TAB)) {
        spacesAtBreak = line.spaces;  // the break uncounts its own space
        if (k & K_SPACE) ++line.spaces;
        tabsAtBreak = line.tabCount;
        xAtBreak = x;
        breakAt = i + 1;
      }
      if (k & K_ENDS) {
        ++i;
        break;
      }
    }
    if (i == pos) i = pos + 1;  // a line never stays empty
    line.length = i - pos;
    const uint8_t last = uint8_t(b.text[i - 1]);
    if (endedByMarker)
      x += settle(x, 0);
    else if (last == w->paraEnd || last == w->cellEnd)
      x += settle(x, widthsOf(ids[i - 1])[last]);
    if (last == w->paraEnd || last == w->cellEnd) line.flags |= LF_PARAEND;
    if (last == WRX_LINEBREAK) line.flags |= LF_LINEBREAK;
    if (paraStart) line.flags |= LF_PARAFIRST;
    line.flags |= numbered;
    if (t.anyFontLineFlags)
      for (size_t k = pos; k < i; ++k) {
        line.flags |= t.fontLineFlags[ids[k]];
        line.infoFlags |= t.fontInfoFlags[ids[k]];
      }
    if (line.length == 1 && IsMarkerChar(w, last)) {
      line.flags |= LF_MARKER;
      switch (last) {
        case WRX_SECTBREAK: line.infoFlags |= LI_SECTBREAK; break;
        case WRX_PAGEBREAK: line.infoFlags |= LI_PAGEBREAK; break;
        case WRX_COLBREAK: line.infoFlags |= LI_COLBREAK; break;
        case WRX_ROWEND: line.infoFlags |= LI_ROWEND; break;
        case WRX_HEADERDELIM: line.infoFlags |= LI_HEADER; break;
        case WRX_FOOTERDELIM: line.infoFlags |= LI_FOOTER; break;
      }
    }
    if (last == w->cellEnd) line.infoFlags |= LI_CELLEND;
    if (line.tabCount > 0) line.infoFlags |= LI_TABS;
    if (line.gapColumn >= 0) line.infoFlags |= LI_FRAMEGAP;
    if (line.boxed) {
      // Only lines that still hold field text after a break keep the mark.
      line.boxed = false;
      for (size_t k = line.start; k < line.start + line.length && !line.boxed; ++k)
        line.boxed = (w->fonts[ids[k] < w->fontCount ? ids[k] : 0].style & kFieldStyle) != 0;
    }
    // Justification spreads the slack over the spaces after the last tab.
    const int32_t n = line.spaces - line.spacesBeforeTab;
    const int32_t slack = width - x;
    if (justify && !besideFrame && !(line.flags & (LF_PARAEND | LF_MARKER)) && slack > 0 && n > 0) {
      line.infoFlags |= LI_JUSTIFIED;
      line.justifyExtra = slack / n;
      line.justifyRemainder = slack - line.justifyExtra * n;
    }
    if (printerMetrics) {
      line.height = MeasureWrapLine(w, lines, b, line, para, firstOutput + int32_t(out.size()) - 1);
      pageY += line.height;
    }
    paraStart = (line.flags & (LF_PARAEND | LF_MARKER)) != 0;
    pos = i;
  }
}

// A wrapped line made ready in memory of its own, so that a pass that runs
// out of memory stops before it has touched the document. A line whose
// paragraph was borrowed where it lies keeps its text there, and holds its
// share of that block from here on, so that the lines it replaces cannot
// free it. A line that will take the place of an old line at least as long
// writes over the old line's buffers instead, and a line of one font keeps
// no font array: nothing to allocate, and nothing that can fail.
struct PreparedLine {
  char* text = nullptr;
  uint8_t* ids = nullptr;
  WrxLineInfo* info = nullptr;
  WrxTextArena* arena = nullptr;  // holds the text
  bool inBlock = false;           // the text lies in a shared block
  bool borrowed = false;          // ... the one it was read from
  bool reuseText = false, reuseIds = false, sharedIds = false;
  uint8_t sharedId = 0;
  uint32_t kept = 0;  // LF_KEEP of the paragraph's own line whose place it takes
};

// The lines of a batch at least this large keep their texts in one arena:
// one heap block instead of one per line. Smaller rewraps (typing) keep a
// block per line, so that a few lines left over never hold a large arena.
constexpr size_t kArenaFrom = 16 << 10;

void FreePrepared(std::vector<PreparedLine>& prepared, WrxTextArena* arena) {
  free(arena);
  for (PreparedLine& p : prepared) {
    if (p.borrowed) {
      if (p.arena && --p.arena->lines == 0) free(p.arena);
    } else if (!p.inBlock) {
      free(p.text);
    }
    free(p.ids);
    if (p.info) free(p.info->charFlags);
    free(p.info);
  }
  prepared.clear();
}

// Whether all `count` bytes equal the first.
bool AllSame(const uint8_t* p, size_t count) {
  if (count == 0) return true;
  const uint64_t first = 0x0101010101010101ull * p[0];
  size_t k = 0;
  for (; k + 8 <= count; k += 8)
    if (Load8(p + k) != first) return false;
  for (; k < count; ++k)
    if (p[k] != p[0]) return false;
  return true;
}

// `arena` (with `next`, where the next text goes) holds the text when given.
bool PrepareLine(WrxWindow* w, const WrapBuffer& b, const WrapLine& wl, const WrxLine* old, PreparedLine& p,
                 WrxTextArena* arena, char*& next) {
  const int32_t length = int32_t(wl.length);
  const bool needInfo = wl.infoFlags || wl.boxed;
  if (!g_plainWordWrap && length > 0) {
    // As CompactFontCodes would leave it: one font and nothing that needs
    // each character's font.
    const uint8_t* ids = b.idp + wl.start;
    if (!needInfo && !(wl.flags & LF_MARKED) && (b.oneFont || AllSame(ids, size_t(length)))) {
      p.sharedIds = true;
      p.sharedId = ids[0];
    }
    const bool roomy = old && old->length >= length;
    p.borrowed = b.text.borrowed();
    p.reuseText = !p.borrowed && !arena && roomy && old->text && !(old->flags & LF_ARENATEXT);
    p.reuseIds = roomy && !p.sharedIds && !IsSharedIds(old) && IdArray(old);
  }
  if (p.borrowed) {
    p.inBlock = true;
    p.arena = b.arena;
    p.text = const_cast<char*>(b.text.data()) + wl.start;
    if (p.arena) ++p.arena->lines;
  } else if (arena) {
    // One after another, as they were read, so that the next rewrap of the
    // paragraph borrows them.
    p.inBlock = true;
    p.arena = arena;
    p.text = next;
    next += length;
  } else if (!p.reuseText) {
    p.text = static_cast<char*>(sAlloc(length + 2));
  }
  if (!p.sharedIds && !p.reuseIds) p.ids = static_cast<uint8_t*>(sAlloc(length + 2));
  if (needInfo) p.info = static_cast<WrxLineInfo*>(sAlloc(sizeof(WrxLineInfo)));
  if ((!p.reuseText && !p.text) || (!p.sharedIds && !p.reuseIds && !p.ids) || (needInfo && !p.info)) return false;
  if (p.text && !p.borrowed) {
    CopyShort(p.text, b.text.data() + wl.start, size_t(length));
    if (!p.inBlock) p.text[length] = 0;
  }
  if (p.ids) {
    memcpy(p.ids, b.idp + wl.start, size_t(length));
    p.ids[length] = p.ids[length + 1] = length ? p.ids[length - 1] : 0;
  }
  if (p.info) {
    memset(p.info, 0, sizeof *p.info);
    p.info->flags = wl.infoFlags;
    p.info->tabCount = (wl.flags & LF_MARKER) ? 0 : wl.tabCount;
    memcpy(p.info->tabWidths, wl.tabWidths, sizeof(int32_t) * size_t(std::clamp(p.info->tabCount, 0, 20)));
    p.info->section = (wl.infoFlags & LI_SECTBREAK) ? b.section : 0;
    p.info->justifyExtra = wl.justifyExtra;
    p.info->justifyRemainder = wl.justifyRemainder;
    p.info->justifySpaces = wl.spaces;
    p.info->justifySpacesBeforeTab = wl.spacesBeforeTab;
    p.info->gapColumn = wl.gapColumn;
    p.info->gapWidth = wl.gapWidth;
    p.info->blockHeight = wl.blockHeight;
    if (wl.boxed) {
      // 1 marks the first and 2 the last character of each run of field text.
      p.info->charFlags = static_cast<uint8_t*>(sAlloc(length + 1));
      if (!p.info->charFlags) return false;
      memset(p.info->charFlags, 0, size_t(length) + 1);
      p.info->charFlagCount = length;
      auto isField = [&](int32_t k) {
        const uint8_t id = b.idp[wl.start + size_t(k)];
        return (w->fonts[id < w->fontCount ? id : 0].style & kFieldStyle) != 0;
      };
      for (int32_t k = 0; k < length; ++k) {
        if (!isField(k)) continue;
        if (k == 0 || !isField(k - 1)) p.info->charFlags[k] |= 1;
        if (k == length - 1 || !isField(k + 1)) p.info->charFlags[k] |= 2;
      }
    }
  }
  return true;
}

// Puts a prepared line into a slot; nothing here can fail.
void CommitLine(WrxWindow* w, int32_t slot, const WrapBuffer& b, const WrapLine& wl, PreparedLine& p) {
  WrxLine* l = w->lines[slot];
  const size_t length = wl.length;
  if (p.reuseText) {
    memcpy(l->text, b.text.data() + wl.start, length);
    l->text[length] = 0;
  } else {
    // A borrowed block's share was taken when the line was made ready.
    ReleaseLineText(l);
    l->text = p.text;
    if (p.arena && !p.borrowed) ++p.arena->lines;
    l->arena = p.arena;
  }
  if (p.reuseIds) {
    uint8_t* ids = IdArray(l);
    memcpy(ids, b.idp + wl.start, length);
    ids[length] = ids[length + 1] = ids[length - 1];
  } else {
    if (!IsSharedIds(l)) free(IdArray(l));
    l->fontIds = p.sharedIds ? MakeSharedIds(p.sharedId) : reinterpret_cast<uintptr_t>(p.ids);
  }
  FreeLineInfo(w, slot);
  l->info = p.info;
  l->length = int32_t(length);
  l->flags = wl.flags | p.kept | (p.inBlock ? LF_ARENATEXT : 0);
  l->para = b.para;
  l->cell = b.cell;
  l->frame = b.frame;
  if (wl.height >= 0) l->height = wl.height;
  l->wrapStamp = 0;
  p = PreparedLine{};
  CompactFontCodes(w, slot);
}

}  // namespace

namespace {

// Whether typing left the cursor line in need of a rewrap: it is too wide,
// ends with a marker, or holds measured tabs or markers.
bool CursorLineNeedsWrap(WrxWindow* w) {
  const int32_t line = w->curLine;
  const WrxLine* l = w->lines[line];
  if (l->info && (l->info->flags & 0xF2F)) return true;
  const wrxfmt::WrxParaRecord* p =
      l->para >= 0 && size_t(l->para) < w->paras.size() ? &w->paras[size_t(l->para)] : nullptr;
  if (p && (p->flags & 0x3000) && l->length > 1 && l->height == 0) return true;
  if (l->length > 0 && IsMarkerChar(w, uint8_t(l->text[l->length - 1]))) return true;
  const int32_t right = p ? Pixels(w, p->rightIndent) : 0;
  // Measured from the indent, wherever the page view puts the line.
  const int32_t end = GetColumnX(w, l->length, line, 0) - GetColumnX(w, -1, line, 0) + LineStartX(w, line);
  return end > GetLineTextWidth(w, line) - right;
}

}  // namespace

namespace {

// A 64-bit digest, four lanes at a time over long runs of bytes so that it
// keeps up with memory. Not for security: it tells changed lines from the
// ones a wrap left.
class Digest {
 public:
  void Word(uint64_t v) { a_ = Round(a_, v); }
  // Four words at once, one to each lane, so that they do not wait on each
  // other.
  void Words(uint64_t v0, uint64_t v1, uint64_t v2, uint64_t v3) {
    a_ = Round(a_, v0);
    b_ = Round(b_, v1);
    c_ = Round(c_, v2);
    d_ = Round(d_, v3);
  }
  void Bytes(const void* data, size_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t k = 0;
    for (; k + 32 <= count; k += 32) {
      a_ = Round(a_, Load8(p + k));
      b_ = Round(b_, Load8(p + k + 8));
      c_ = Round(c_, Load8(p + k + 16));
      d_ = Round(d_, Load8(p + k + 24));
    }
    // Up to three words left, each to a lane of its own, then the last
    // bytes with the count, which the callers' lengths carry in full.
    if (k + 8 <= count) a_ = Round(a_, Load8(p + k)), k += 8;
    if (k + 8 <= count) b_ = Round(b_, Load8(p + k)), k += 8;
    if (k + 8 <= count) c_ = Round(c_, Load8(p + k)), k += 8;
    uint64_t tail = 0;
    if (k < count) memcpy(&tail, p + k, count - k);
    d_ = Round(d_, tail ^ uint64_t(count) << 56);
  }
  uint64_t Value() const {
    uint64_t h = Round(Round(Round(a_, b_), c_), d_);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 29);
  }

 private:
  static uint64_t Round(uint64_t h, uint64_t v) {
    h = (h ^ v) * 0x9E3779B97F4A7C15ull;
    return (h << 31) | (h >> 33);
  }
  uint64_t a_ = 0x243F6A8885A308D3ull, b_ = 0x13198A2E03707344ull, c_ = 0xA4093822299F31D0ull,
           d_ = 0x082EFA98EC4E6C89ull;
};

// What a wrap pass reads besides the lines and their paragraph: the fonts'
// widths and kinds, the break characters, the resolution and tab defaults.
uint64_t PassDigest(const WrxWindow* w) {
  Digest d;
  d.Word(uint64_t(uint32_t(w->fontCount)) | uint64_t(uint32_t(Capacity(w))) << 32);
  for (int id = 0; id < std::min(w->fontCount, 256); ++id) {
    const WrxFont& f = w->fonts[id];
    if (f.widths) d.Bytes(f.widths, 256 * sizeof(int32_t));
    d.Word(uint64_t(uint32_t(f.style)) | uint64_t(uint32_t(f.pictAlign)) << 32);
    d.Word(uint64_t(uint32_t(f.kind)) | uint64_t(f.widths != nullptr) << 32);
  }
  d.Bytes(w->markers, sizeof w->markers);
  d.Word(uint64_t(w->paraEnd) | uint64_t(w->cellEnd) << 8 | uint64_t(uint32_t(w->resX)) << 16);
  d.Word(uint64_t(uint32_t(w->defTabWidth)));
  return d.Value();
}

// The width a stamp carries in its top bits, so that a rewrap at another
// width tells it from its own without a digest.
constexpr int kStampWidthShift = 48;

// The stamp of the lines a fill of the parse buffer would take from `first`
// (their count in `count`), wrapped from a paragraph start or not at `width`.
// It covers each line as the wrap leaves it (text, fonts, flags, what the
// line information holds) and the paragraph's record and tab stops.
// `lines` are a LineGap, or from `first` on an array as LineGap::Unread gives.
template <typename Lines>
uint64_t UnitStamp(const WrxWindow* w, const Lines& lines, uint64_t pass, int32_t first, bool paraStart, int32_t width,
                   int32_t* count) {
  Digest d;
  d.Word(pass);
  size_t size = 0;
  int32_t last = first;
  for (int32_t line = first; line < w->lineCount && int32_t(size) <= Capacity(w) - WRX_MAXLINELEN; ++line) {
    const WrxLine* l = lines[line];
    if (l->length > 0 && size > 0 && (uint8_t(l->text[0]) == WRX_HEADERDELIM || uint8_t(l->text[0]) == WRX_FOOTERDELIM))
      break;
    const size_t length = l->text && l->length > 0 ? size_t(l->length) : 0;
    d.Words(uint64_t(length) | uint64_t(l->flags & ~uint32_t(LF_KEEP | LF_ARENATEXT)) << 32,
            uint64_t(uint32_t(l->para)) | uint64_t(uint32_t(l->cell)) << 32,
            uint64_t(uint32_t(l->frame)) | uint64_t(l->info != nullptr) << 32,
            IsSharedIds(l) ? uint64_t(l->fontIds) : uint64_t(IdArray(l) != nullptr));
    d.Bytes(l->text, length);
    if (!IsSharedIds(l) && IdArray(l)) d.Bytes(IdArray(l), length);
    if (const WrxLineInfo* info = l->info) {
      d.Bytes(info, offsetof(WrxLineInfo, charFlags));
      d.Word(uint64_t(uint32_t(info->gapColumn)) | uint64_t(uint32_t(info->gapWidth)) << 32);
      d.Word(uint64_t(uint32_t(info->blockHeight)) | uint64_t(info->charFlags != nullptr) << 32);
      if (info->charFlags) d.Bytes(info->charFlags, size_t(std::max(0, info->charFlagCount)));
    }
    size += length;
    last = line;
    const uint8_t end = length ? uint8_t(l->text[length - 1]) : 0;
    if (end == WRX_SECTBREAK && l->info && (l->info->flags & LI_SECTBREAK)) break;
    if (length && EndsFill(w, end)) break;
  }
  *count = last - first + 1;
  const int32_t para = lines[last]->para;
  if (para >= 0 && size_t(para) < w->paras.size()) {
    const wrxfmt::WrxParaRecord& r = w->paras[size_t(para)];
    d.Bytes(&r, sizeof r);
    if (r.tabId > 0 && size_t(r.tabId) < w->tabs.size())
      d.Bytes(w->tabs[size_t(r.tabId)].bytes, sizeof w->tabs[0].bytes);
  }
  d.Word(uint64_t(uint32_t(*count)) | uint64_t(paraStart) << 32 | uint64_t(last >= w->lineCount - 1) << 33);
  d.Word(uint64_t(uint32_t(width)));  // the top bits hold only part of it
  const uint64_t stamp = (d.Value() & ((uint64_t(1) << kStampWidthShift) - 1)) | 1;
  return stamp | uint64_t(uint16_t(width)) << kStampWidthShift;
}

// The lines from `first` on that a rewrap would leave as they are, or 0.
// `lines` from `first` on, as LineGap::Unread gives them.
int32_t UnchangedLines(const WrxWindow* w, WrxLine* const* lines, uint64_t pass, int32_t first, bool paraStart) {
  const uint64_t stamp = lines[first]->wrapStamp;
  if (!stamp) return 0;
  // Outside print view every line has the window's width.
  const int32_t width = GetLineTextWidth(const_cast<WrxWindow*>(w), first);
  if (stamp >> kStampWidthShift != uint16_t(width)) return 0;
  int32_t count = 0;
  return UnitStamp(w, lines, pass, first, paraStart, width, &count) == stamp ? count : 0;
}

// One paragraph wrapped but not stored yet: its parse buffer, its lines, and
// how many of the document's lines it was taken from.
struct WrappedPara {
  WrapBuffer b;
  std::vector<WrapLine> lines;
  int32_t consumed = 0;
  bool paraStart = false;  // wrapped as a paragraph's start
  int32_t width = 0;       // the width it was wrapped at
};

constexpr size_t kBatchBytes = 64 << 10;

// A section that starts or ends on a line strictly inside (from, to) would
// be moved differently by one move of the lines after `to` than by one move
// after each paragraph.
bool SectionStartsWithin(const WrxWindow* w, int32_t from, int32_t to) {
  for (const auto& s : w->sections)
    if ((s.firstLine > from && s.firstLine < to) || (s.lastLine > from && s.lastLine < to)) return true;
  return false;
}

// Stores wrapped paragraphs in the lines from `line` on, in place of the
// lines they were taken from: 0, or the error to report. Running out of
// memory leaves these paragraphs as they were. With `gapped` the lines
// taken and given go through the gap in `lines` (`toRead` as for
// LineGap::Store) instead of moving the lines after them.
int StoreBatch(WrxWindow* w, LineGap& lines, bool gapped, int32_t toRead, int32_t line, WrappedPara* paras,
               size_t count, std::vector<PreparedLine>& prepared) {
  int32_t consumed = 0, produced = 0;
  for (size_t j = 0; j < count; ++j) consumed += paras[j].consumed, produced += int32_t(paras[j].lines.size());
  prepared.assign(static_cast<size_t>(produced), PreparedLine{});
  size_t textBytes = 0;
  for (size_t j = 0; j < count; ++j)
    if (!paras[j].b.text.borrowed())
      for (const WrapLine& wl : paras[j].lines) textBytes += wl.length;
  WrxTextArena* arena = nullptr;
  char* next = nullptr;
  if (!g_plainWordWrap && textBytes >= kArenaFrom) {
    arena = static_cast<WrxTextArena*>(sAlloc(long(sizeof(WrxTextArena) + textBytes)));
    if (!arena) return 108;
    arena->lines = 0;
    next = reinterpret_cast<char*>(arena + 1);
  }
  // The first lines go where the lines they were wrapped from stood. A kept
  // mark stays with its own paragraph, as storing the paragraphs one by one
  // leaves it, rather than with whatever line takes its slot.
  for (size_t j = 0, slot = 0, from = size_t(line); j < count; from += size_t(paras[j++].consumed))
    for (size_t k = 0; k < paras[j].lines.size(); ++k) {
      const int32_t at = line + int32_t(slot);
      PreparedLine& p = prepared[slot++];
      if (!PrepareLine(w, paras[j].b, paras[j].lines[k], at < line + consumed ? lines.Line(at) : nullptr, p, arena,
                       next)) {
        FreePrepared(prepared, arena);
        return 108;
      }
      if (k < size_t(paras[j].consumed)) p.kept = lines.Line(int32_t(from + k))->flags & LF_KEEP;
    }
  if (gapped) {
    if (!lines.Store(line, consumed, produced, toRead)) {
      FreePrepared(prepared, arena);
      return 88;
    }
  } else if (produced > consumed) {
    if (!InsertDeleteLines(w, line + consumed, produced - consumed)) {
      FreePrepared(prepared, arena);
      return 88;
    }
  } else if (produced < consumed) {
    InsertDeleteLines(w, line + consumed, produced - consumed);
  }
  for (size_t j = 0, slot = 0; j < count; ++j) {
    for (const WrapLine& wl : paras[j].lines) {
      CommitLine(w, line + int32_t(slot), paras[j].b, wl, prepared[slot]);
      ++slot;
    }
    w->linesWrapped += paras[j].consumed;
  }
  return 0;
}

// Stamps the first line of each paragraph just stored from `line` on, when
// wrapping those lines again would read what this wrap read.
void StampBatch(WrxWindow* w, const LineGap& lines, uint64_t pass, int32_t line, const WrappedPara* paras,
                size_t count) {
  for (size_t j = 0; j < count; ++j) {
    const int32_t n = int32_t(paras[j].lines.size());
    const bool paraStart = line == 0 || (lines.Line(line - 1)->flags & (LF_PARAEND | LF_MARKER));
    if (n > 0 && paraStart == paras[j].paraStart && GetLineTextWidth(w, line) == paras[j].width) {
      int32_t covered = 0;
      const uint64_t stamp = UnitStamp(w, lines, pass, line, paraStart, paras[j].width, &covered);
      if (covered == n) lines.Line(line)->wrapStamp = stamp;
    }
    line += n;
  }
}

}  // namespace

int WordWrap(WrxWindow* w, int32_t first, int32_t count) {
  if (!w->arg.wordWrap) return 1;
  int level = w->wrapLevel ? w->wrapLevel : 3;
  w->wrapLevel = 0;
  first = std::clamp(first, 0, w->lineCount - 1);
  // The range always reaches the cursor line.
  if (w->curLine < first) count += first - w->curLine, first = w->curLine;
  if (first + count <= w->curLine) count = w->curLine - first + 1;
  if (level == 1) {
    if (!CursorLineNeedsWrap(w)) return 1;  // the line still fits: nothing moves
    level = 2;
  }
  if (level == 2) {
    first = w->curLine;
    if (first > 0 && !(w->lines[first - 1]->flags & (LF_PARAEND | LF_MARKER))) --first;
  }
  const int32_t savedModified = w->modified;
  // Characters from the range start to the cursor (the lines above the range
  // do not change): at level 2 the pass ends once the output has gone past
  // them.
  long cursorOffset = 0;
  for (int32_t k = first; k < w->curLine; ++k) cursorOffset += w->lines[k]->length;
  {
    // As RowColToAbs counts a column past the line's end.
    const int32_t length = w->lines[w->curLine]->length;
    cursorOffset += w->curCol > length ? length - 1 : std::max(0, w->curCol);
  }
  long charsDone = 0;
  const WrapTables tables(w);
  SameIds same(w);
  // Paragraphs are wrapped a batch at a time and their lines stored together,
  // so that a rewrap of the whole document moves the lines after a batch
  // once, not once for every paragraph. A batch stores exactly what storing
  // its paragraphs one by one would; where that is not plain (printer
  // metrics read the lines stored before, a line limit, a section that starts
  // inside), paragraphs go one at a time.
  const bool batching = !g_plainWordWrap && !w->arg.printView && w->arg.maxLines <= 0;
  // Lines that a wrap at this width left and nothing changed since are
  // passed by. Print view reads the pages around each line, so it always
  // wraps.
  const bool passingBy = !g_plainWordWrap && !w->arg.printView;
  const uint64_t pass = passingBy ? PassDigest(w) : 0;
  // Stamps cost a digest of every line stored; they pay only where the next
  // wrap is at the same width, which is likelier once a width repeats.
  const int32_t width = passingBy ? GetLineTextWidth(w, first) : 0;
  const bool stamping = passingBy && width == w->wrapWidth;
  w->wrapWidth = width;
  // A rewrap of a range (not typing) may run over many batches: their lines
  // go through a gap in the line array.
  const bool gapped = batching && level == 3;
  LineGap lines(w);
  std::vector<WrappedPara> batch;
  std::vector<PreparedLine> prepared;
  int32_t line = first, done = 0;
  while (line < w->lineCount && done < count && !(level == 2 && charsDone > cursorOffset)) {
    size_t paras = 0, bytes = 0;
    int32_t in = line, produced = 0;
    uint32_t before = line == 0 ? uint32_t(LF_PARAEND) : lines.Line(line - 1)->flags;
    while (in < w->lineCount && done < count && !(level == 2 && charsDone > cursorOffset)) {
      const bool paraStart = (before & (LF_PARAEND | LF_MARKER)) != 0;
      if (const int32_t unchanged = passingBy ? UnchangedLines(w, lines.Unread(), pass, in, paraStart) : 0) {
        if (paras > 0) break;  // the batch so far is stored first
        for (int32_t k = in; k < in + unchanged; ++k) charsDone += lines.Line(k)->length;
        lines.PassBy(in, unchanged);
        in += unchanged;
        line = in;
        done += unchanged;
        w->linesWrapped += unchanged;
        g_linesPassedBy += unchanged;
        before = lines.Line(in - 1)->flags;
        continue;
      }
      if (paras == batch.size()) batch.emplace_back();
      WrappedPara& p = batch[paras];
      FillWrapBuffer(w, lines.Unread(), in, w->lineCount - in, p.b, same);
      p.consumed = p.b.input - in + 1;
      if (paras > 0 && SectionStartsWithin(w, line, in + p.consumed)) break;
      p.paraStart = paraStart;
      p.width = GetLineTextWidth(w, p.b.input);
      WrapParseBuffer(w, lines, tables, p.b, paraStart, line + produced, p.lines);
      ++paras;
      in += p.consumed;
      done += p.consumed;
      produced += int32_t(p.lines.size());
      if (!p.lines.empty()) before = p.lines.back().flags;
      for (const WrapLine& wl : p.lines) charsDone += long(wl.length);
      bytes += p.b.text.size();
      if (!batching || bytes >= kBatchBytes) break;
    }
    // Stored together only when the lines stay above the first line shown
    // all along, as ShiftLines would otherwise move that line on the way.
    bool together = paras > 1;
    for (int32_t k = 0, lines = w->lineCount; together && k < int32_t(paras); ++k) {
      lines += int32_t(batch[size_t(k)].lines.size()) - batch[size_t(k)].consumed;
      together = lines > w->firstLine;
    }
    const int32_t toRead = std::max(0, std::min(w->lineCount - in, count - done));
    int error = 0;
    if (together) {
      error = StoreBatch(w, lines, gapped, toRead, line, batch.data(), paras, prepared);
      if (!error && stamping) StampBatch(w, lines, pass, line, batch.data(), paras);
      if (!error) line += produced;
    } else {
      for (size_t k = 0; k < paras && !error; ++k) {
        error = StoreBatch(w, lines, gapped, toRead, line, &batch[k], 1, prepared);
        if (!error && stamping) StampBatch(w, lines, pass, line, &batch[k], 1);
        if (!error) line += int32_t(batch[k].lines.size());
      }
    }
    if (error) {
      lines.Close();
      w->modified = savedModified;
      return WrxErrorBox(w, error, "WrapParseBuffer");
    }
  }
  lines.Close();
  int32_t curLine = w->lineCount - 1, curCol = std::max(0, w->lines[w->lineCount - 1]->length - 1);
  long rest = cursorOffset;
  for (int32_t k = first; k < w->lineCount; ++k) {
    if (rest < w->lines[k]->length) {
      curLine = k, curCol = int32_t(rest);
      break;
    }
    rest -= w->lines[k]->length;
  }
  w->curLine = curLine;
  w->curCol = std::min(curCol, w->lines[curLine]->length);
  // The first screen line follows a cursor that the new lines moved away.
  const int32_t rows = std::max(1, w->linesPerWindow);
  if (w->curLine < w->firstLine)
    w->firstLine = w->curLine;
  else if (w->curLine >= w->firstLine + rows)
    w->firstLine = w->curLine - rows + 1;
  w->firstLine = std::clamp(w->firstLine, 0, w->lineCount - 1);
  w->curRow = w->curLine - w->firstLine;
  w->modified = savedModified;
  if (first < w->staleLine) w->staleLine = first;
  return 1;
}

void SetPlainWordWrap(bool plain) { g_plainWordWrap = plain; }

long WordWrapLinesPassedBy() { return g_linesPassedBy; }

int WrxRewrap(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !w->arg.wordWrap) return 0;
  return WordWrap(w, 0, w->lineCount);
}

int32_t DefaultTabWidth(WrxWindow* w, int32_t line, int32_t tabIndex, int32_t x) {
  const WrxLineInfo* info = line >= 0 && line < w->lineCount ? w->lines[line]->info : nullptr;
  if (info && (info->flags & LI_TABS) && tabIndex >= 0 && tabIndex < info->tabCount) return info->tabWidths[tabIndex];
  const WrxLine* l = line >= 0 && line < w->lineCount ? w->lines[line] : nullptr;
  const int32_t left =
      l && l->para >= 0 && size_t(l->para) < w->paras.size() ? w->paras[size_t(l->para)].leftIndent : 0;
  return std::max(0, NextDefaultStop(w, left, x) - x);
}

int32_t LineStartX(WrxWindow* w, int32_t line) {
  const WrxLine* l = w->lines[line];
  if (l->para < 0 || size_t(l->para) >= w->paras.size()) return 0;
  const wrxfmt::WrxParaRecord& p = w->paras[size_t(l->para)];
  const int32_t first = (w->arg.wordWrap && (l->flags & LF_PARAFIRST)) ? EffectiveFirstIndent(p) : 0;
  return MulDiv(p.leftIndent + first, w->resX ? w->resX : 96, 1440);
}

namespace {

// Walks a line's characters from its start x, giving each one's width as it
// is drawn: tabs at their stored widths, justified spaces with their extra.
struct ColumnWalker {
  WrxWindow* w;
  int32_t line;
  int32_t x;
  int32_t tabIndex = 0, spaceIndex = 0;
  int32_t Width(int32_t k) {
    const WrxLine* l = w->lines[line];
    if (k >= l->length) return CharWidth(w, l->length ? uint8_t(GetCharFont(w, line, l->length - 1)) : 0, ' ');
    const uint8_t c = uint8_t(l->text[k]);
    const uint8_t id = uint8_t(GetCharFont(w, line, k));
    if (c == WRX_TAB) return DefaultTabWidth(w, line, tabIndex++, x);
    int32_t width = CharWidth(w, id, c);
    if (c == ' ' && l->info && (l->info->flags & LI_JUSTIFIED)) width += JustifyExtra(w, line, spaceIndex);
    if (c == ' ') ++spaceIndex;
    return LeftBox(k) + width + RightBox(k);
  }
  uint8_t BoxFlags(int32_t k) const {
    const WrxLineInfo* info = w->lines[line]->info;
    return info && info->charFlags && k < info->charFlagCount ? info->charFlags[k] : 0;
  }
  // What comes before a character: its box, and the frame gap when the line
  // jumps over a frame there.
  int32_t LeftBox(int32_t k) const {
    const WrxLineInfo* info = w->lines[line]->info;
    const int32_t gap = info && (info->flags & LI_FRAMEGAP) && k == info->gapColumn ? info->gapWidth : 0;
    return gap + ((BoxFlags(k) & 1) ? Pixels(w, kBoxAllowanceTwips) : 0);
  }
  int32_t RightBox(int32_t k) const { return (BoxFlags(k) & 2) ? Pixels(w, kBoxAllowanceTwips) : 0; }
};

}  // namespace

// The room a centred or right-aligned line leaves before its text when its
// text may take `inner` pixels (the window's text width, or a cell's).
int32_t AlignmentRoomWithin(WrxWindow* w, int32_t line, int32_t inner) {
  const WrxLine* l = w->lines[line];
  if (!w->arg.wordWrap || l->para < 0 || size_t(l->para) >= w->paras.size()) return 0;
  const wrxfmt::WrxParaRecord& p = w->paras[size_t(l->para)];
  if (!(p.flags & (PF_CENTRED | PF_RIGHT))) return 0;
  int32_t end = l->length;
  while (end > 0) {
    const uint8_t c = uint8_t(l->text[end - 1]);
    if (c != ' ' && c != WRX_TAB && c != w->paraEnd && c != w->cellEnd && c != WRX_LINEBREAK) break;
    --end;
  }
  ColumnWalker walk{w, line, 0};
  for (int32_t k = 0; k < end; ++k) walk.x += walk.Width(k);
  const int32_t room = inner - Pixels(w, p.rightIndent) - LineStartX(w, line) - walk.x;
  if (room <= 0) return 0;
  return (p.flags & PF_CENTRED) ? room / 2 : room;
}

namespace {

int32_t AlignmentOffset(WrxWindow* w, int32_t line) { return AlignmentRoomWithin(w, line, GetLineTextWidth(w, line)); }

// Where a line's text starts: in page mode its row of the page view (the
// frame's left, indents and alignment) on its page, else its indent and
// alignment.
int32_t ScreenStartX(WrxWindow* w, int32_t line) {
  if (w->arg.pageMode) {
    const int32_t f = GetLineFrameId(w, line);
    if (f >= 0 && f < w->textFrameCount) return w->textFrames[f].pageX + GetScreenLineX(w, line);
  }
  return LineStartX(w, line) + AlignmentOffset(w, line);
}

}  // namespace

int32_t GetColumnX(WrxWindow* w, int32_t column, int32_t line, int mode) {
  if (line < 0 || line >= w->lineCount) return 0;
  ColumnWalker walk{w, line, ScreenStartX(w, line)};
  if (column < 0) return walk.x;
  for (int32_t k = 0; k < column; ++k) walk.x += walk.Width(k);
  // At the column itself: its left box, and in mode 1 half of what lies
  // between its boxes.
  const int32_t left = walk.LeftBox(column), right = walk.RightBox(column);
  if (mode == 1)
    walk.x += left + (walk.Width(column) - left - right) / 2;
  else
    walk.x += left;
  return walk.x;
}

int LineColumnXs(WrxWindow* w, int32_t line, int32_t* xs, int32_t count) {
  if (line < 0 || line >= w->lineCount) return 0;
  count = std::clamp(count, 0, w->lines[line]->length);
  ColumnWalker walk{w, line, ScreenStartX(w, line)};
  xs[0] = walk.x;
  for (int32_t k = 0; k < count; ++k) xs[k + 1] = xs[k] + walk.Width(k);
  return 1;
}

int32_t ColumnLeftBox(WrxWindow* w, int32_t line, int32_t column) {
  if (line < 0 || line >= w->lineCount) return 0;
  ColumnWalker walk{w, line, 0};
  return walk.LeftBox(column);
}

int32_t XToColumn(WrxWindow* w, int32_t x, int32_t line) {
  if (line < 0 || line >= w->lineCount) return 0;
  const int32_t length = std::min(w->lines[line]->length, 2048);
  ColumnWalker walk{w, line, ScreenStartX(w, line)};
  int32_t rest = x - walk.x;
  for (int32_t k = 0; k < length; ++k) {
    const int32_t width = walk.Width(k);
    if (rest - width < 0) return k;
    rest -= width;
    walk.x += width;
  }
  return std::max(0, length - 1);
}

int32_t JustifyExtra(WrxWindow* w, int32_t line, int32_t spaceIndex) {
  const WrxLineInfo* info = w->lines[line]->info;
  if (!info || !(info->flags & LI_JUSTIFIED)) return 0;
  const int32_t k = spaceIndex - info->justifySpacesBeforeTab;
  if (k < 0 || spaceIndex >= info->justifySpaces) return 0;
  return info->justifyExtra + (k < info->justifyRemainder ? 1 : 0);
}
