#include "wrx/rtf_writer.h"
#include "wrx/short_copy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <strings.h>

namespace wrxrtf {

namespace {

constexpr size_t kSoftBreak = 682;
constexpr size_t kHardBreak = 2046;
constexpr int kMaxColours = 200;

}  // namespace

namespace {

uint64_t Load8(const void* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

constexpr uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7F7F7F7F7F7F7F7Full, kHigh = 0x8080808080808080ull;

// The high bit of each byte of v that is not zero.
uint64_t OtherBytes(uint64_t v) { return (((v & kLow7) + kLow7) | v) & kHigh; }

// High bits marking the bytes of v that are not printable characters free of
// escaping (32-126 but for \ { }). Exact up to the first one marked (a borrow
// may mark bytes after it), which is all a scan for a run's end needs.
uint64_t NotPlain(uint64_t v) {
  const uint64_t below = (v - kOnes * 32) & ~v & kHigh;
  const uint64_t above = (((v & kLow7) + kOnes) | v) & kHigh;
  auto has = [v](uint8_t c) { return ~OtherBytes(v ^ (kOnes * c)) & kHigh; };
  return below | above | has('\\') | has('{') | has('}');
}

void CopyBytes(char* to, const char* from, size_t count) {
  if (count >= 256)
    memcpy(to, from, count);
  else
    CopyShort(to, from, count);
}

}  // namespace

void Output::Reserve(size_t bytes) {
  if (bytes > capacity_) Grow(bytes - size_);
}

void Output::Grow(size_t count) {
  const size_t capacity = std::max(capacity_ * 2, size_ + count + 64);
  std::unique_ptr<char[]> bigger(new char[capacity]);
  if (size_) memcpy(bigger.get(), buffer_.get(), size_);
  buffer_ = std::move(bigger);
  capacity_ = capacity;
}

void Output::Add(const char* s, size_t count) {
  Room(count);
  CopyBytes(buffer_.get() + size_, s, count);
  size_ += count;
}

void Output::FlushLine() {
  Add("\r\n", 2);
  lineStart_ = passed_ + size_;
}

void Output::Pass() {
  if (!failed_ && size_ && !(*sink_)(buffer_.get(), size_)) failed_ = true;
  passed_ += size_;
  size_ = 0;
}

void Output::Put(char c, bool breakable) {
  const size_t length = Column();
  if ((breakable && length >= kSoftBreak) || length >= kHardBreak) FlushLine();
  Room(1);
  buffer_[size_++] = c;
}

void Output::Append(const char* s, size_t count) {
  // As Put would place them one by one, the first breakable.
  const size_t length = Column();
  if (length < kSoftBreak && length + count < kHardBreak) {
    Add(s, count);
    return;
  }
  Put(s[0], true);
  for (size_t k = 1; k < count; ++k) Put(s[k], false);
}

void Output::Text(uint8_t c) {
  const bool blank = c == ' ';
  if (pendingSpace_) {
    pendingSpace_ = false;
    Put(' ', false);
  }
  switch (c) {
    case '\\':
    case '{':
    case '}': {
      const char pair[2] = {'\\', char(c)};
      Append(pair, 2);
      return;
    }
    case 14: Append("\\~", 2); return;
    case 9: Word("tab"); return;
    case 12: Word("page"); return;
    case 22: Word("column"); return;
    default: break;
  }
  if (c > 127 || c < 32) {
    // Other readers take raw high bytes in other code pages: always escape.
    static const char kDigits[] = "0123456789abcdef";
    const char escape[4] = {'\\', '\'', kDigits[c >> 4], kDigits[c & 15]};
    Append(escape, 4);
    return;
  }
  Put(char(c), blank);
}

void Output::PlainText(const char* text, size_t count) {
  if (count && pendingSpace_) {
    pendingSpace_ = false;
    Put(' ', false);
  }
  // As Put would place them one by one, where only a blank may break a line
  // past the soft limit.
  while (count) {
    const size_t length = Column();
    if (length >= kHardBreak) {
      FlushLine();
      continue;
    }
    if (length < kSoftBreak) {
      const size_t n = std::min(count, kSoftBreak - length);
      Add(text, n);
      text += n, count -= n;
      continue;
    }
    if (*text == ' ') {
      FlushLine();
      Add(" ", 1);
      ++text, --count;
      continue;
    }
    const void* blank = memchr(text, ' ', count);
    const size_t word = blank ? size_t(static_cast<const char*>(blank) - text) : count;
    const size_t n = std::min(word, kHardBreak - length);
    Add(text, n);
    text += n, count -= n;
  }
}

namespace {

constexpr size_t kWordRoom = 40;

// "\word" into `buffer`, returning its length; 0 for a word too long for it.
size_t PutWord(char* buffer, const char* word) {
  size_t n = 0;
  buffer[n++] = '\\';
  for (const char* p = word; *p; ++p) {
    if (n == kWordRoom) return 0;
    buffer[n++] = *p;
  }
  return n;
}

}  // namespace

void Output::Word(const char* word) {
  pendingSpace_ = false;
  char buffer[kWordRoom + 24];
  if (const size_t n = PutWord(buffer, word)) {
    Append(buffer, n);
  } else {
    Put('\\', true);
    for (const char* p = word; *p; ++p) Put(*p, false);
  }
  pendingSpace_ = true;
}

void Output::Word(const char* word, long param) {
  pendingSpace_ = false;
  // By hand: the C library's formatting is slow where it matters here.
  char buffer[kWordRoom + 24];
  size_t n = PutWord(buffer, word);
  const bool alone = n == 0;
  if (alone) {
    // A word too long for the buffer goes first; its number follows.
    Word(word);
    pendingSpace_ = false;
  }
  char digits[24];
  int count = 0;
  unsigned long v = param < 0 ? 0ul - static_cast<unsigned long>(param) : static_cast<unsigned long>(param);
  do {
    digits[count++] = char('0' + v % 10);
    v /= 10;
  } while (v);
  if (param < 0) buffer[n++] = '-';
  while (count > 0) buffer[n++] = digits[--count];
  if (alone)
    for (size_t k = 0; k < n; ++k) Put(buffer[k], false);
  else
    Append(buffer, n);
  pendingSpace_ = true;
}

void Output::Open() {
  pendingSpace_ = false;
  Put('{', true);
  ++depth_;
}

void Output::Close() {
  pendingSpace_ = false;
  Put('}', true);
  if (depth_ > 0) --depth_;
}

void Output::Hex(uint8_t b) {
  static const char kDigits[] = "0123456789abcdef";
  // The blank ends a control word before the data.
  if (pendingSpace_) Put(' ', false);
  pendingSpace_ = false;
  if (Column() >= kSoftBreak) FlushLine();
  Put(kDigits[b >> 4], false);
  Put(kDigits[b & 15], false);
}

void Output::Raw(const char* s) {
  pendingSpace_ = false;
  for (const char* p = s; *p; ++p) Put(*p, *p == '\\' || *p == '{' || *p == '}');
}

void Output::Words(const std::string& bytes, int opens) {
  if (bytes.empty()) return;
  pendingSpace_ = false;
  if (Column() + bytes.size() < kSoftBreak)
    Add(bytes.data(), bytes.size());
  else
    for (char c : bytes) Put(c, c == '\\' || c == '{');
  depth_ += opens;
  pendingSpace_ = true;
}

std::string Output::Take() {
  std::string bytes(buffer_.get() ? buffer_.get() : "", size_);
  size_ = 0;
  passed_ = lineStart_ = 0;
  return bytes;
}

std::string Output::Finish() {
  while (depth_ > 0) Close();
  if (Column() > 0) FlushLine();
  if (sink_) Pass();
  std::string bytes(buffer_.get() ? buffer_.get() : "", size_);
  size_ = 0;
  return bytes;
}

namespace {

const char* FamilyWord(uint8_t pitchFamily) {
  switch (pitchFamily & 0xF0) {
    case 0x10: return "froman";
    case 0x20: return "fswiss";
    case 0x30: return "fmodern";
    case 0x40: return "fscript";
    case 0x50: return "fdecor";
    default: return "fnil";
  }
}

// What a run's font puts in force. Faces that differ only in case share a
// key; no face at all has key -1.
struct CharState {
  int32_t faceKey = -1;
  uint8_t family = 0;
  int32_t size = 0;
  uint32_t style = 0, text = 0, back = 0;
};

class Writer {
 public:
  Writer(const Document& d, const Sink& sink, size_t chunk) : d_(d), out_(sink, chunk) {
    out_.Reserve(chunk + (64 << 10));
  }

  bool failed() const { return out_.failed(); }

  std::string Run() {
    out_.Open();
    out_.Word("rtf", 1);
    out_.Word("ansi");
    FontTable();
    ColourTable();
    States();
    const Section first = d_.sections.empty() ? Section{} : d_.sections[0];
    out_.Word("margl", Twips(first.left));
    out_.Word("margr", Twips(first.right));
    out_.Word("margt", Twips(first.top));
    out_.Word("margb", Twips(first.bottom));
    SectionWords(first);
    out_.Word("plain");
    current_ = -1;
    const int32_t last = std::min<int32_t>(d_.block ? d_.lastLine : LineCount() - 1, LineCount() - 1);
    const int32_t from = d_.block ? std::max(0, d_.firstLine) : 0;
    // A block within one paragraph takes the formatting where it lands.
    bool paraWords = !d_.block || BlockHasParaEnd(from, last);
    int32_t section = 0;
    for (int32_t i = from; i <= last; ++i) {
      const Line l = LineAt(i);
      int32_t c0 = 0, c1 = l.length;
      if (d_.block && i == from) c0 = std::clamp(d_.firstCol, 0, l.length);
      if (d_.block && i == last) c1 = std::clamp(d_.lastCol, c0, l.length);
      if (l.length == 1 && uint8_t(l.text[0]) == 20) {
        out_.Word("sect");
        ++section;
        SectionWords(size_t(section) < d_.sections.size() ? d_.sections[size_t(section)] : Section{});
        havePara_ = false;
        continue;
      }
      if (l.length == 1 && (uint8_t(l.text[0]) == 16 || uint8_t(l.text[0]) == 17)) continue;
      if (l.cell > 0 && RowOf(l.cell) != openRow_) {
        CloseScripts();
        RowDefinition(RowOf(l.cell));
        havePara_ = false;
      }
      if (paraWords && (!havePara_ || l.para != para_ || l.cell != cell_)) {
        CloseScripts();
        ParaWords(l);
      }
      for (int32_t c = c0; c < c1; ++c) {
        const uint8_t ch = uint8_t(l.text[c]);
        const int id = l.ids ? l.ids[c] : 0;
        if (id != current_) CharWords(id);
        if (IsPlain(ch) && !FontAt(id).picture) {
          // A run of one font that needs no escaping goes out at once.
          int32_t end = c + 1;
          const uint64_t sameId = kOnes * uint8_t(id);
          while (l.ids && end + 8 <= c1) {
            const uint64_t stops = NotPlain(Load8(l.text + end)) | OtherBytes(Load8(l.ids + end) ^ sameId);
            if (stops) {
              end += int32_t(__builtin_ctzll(stops) >> 3);
              break;
            }
            end += 8;
          }
          while (end < c1 && IsPlain(uint8_t(l.text[end])) && (l.ids ? l.ids[end] : 0) == id) ++end;
          out_.PlainText(l.text + c, size_t(end - c));
          c = end - 1;
          continue;
        }
        if (ch == d_.paraEnd) {
          out_.Word("par");
        } else if (ch == d_.cellEnd) {
          out_.Word("cell");
        } else if (ch == 15) {
          out_.Word("line");
        } else if (ch == 18) {
          out_.Word("intbl");
          out_.Word("row");
          openRow_ = 0;
        } else if (size_t(id) < d_.fonts.size() && d_.fonts[size_t(id)].picture) {
          if (d_.picture) d_.picture(out_, id);
        } else {
          out_.Text(ch);
        }
      }
      if (!d_.wordWrap && i < last) out_.Word("par");
      out_.Drain();
      if (out_.failed()) break;
    }
    CloseScripts();
    while (!noteStates_.empty()) {
      out_.Close();
      noteStates_.pop_back();
    }
    if (openRow_) {
      // A block that ends inside a row still closes it.
      out_.Word("kqtblend");
      out_.Word("cell");
      out_.Word("row");
    }
    return out_.Finish();
  }

 private:
  int32_t LineCount() const { return d_.lineAt ? d_.lineCount : int32_t(d_.lines.size()); }
  Line LineAt(int32_t i) const { return d_.lineAt ? d_.lineAt(i) : d_.lines[size_t(i)]; }

  static bool IsPlain(uint8_t c) {
    static const struct Table {
      bool plain[256];
      Table() : plain() {
        for (int c = 32; c < 127; ++c) plain[c] = c != '\\' && c != '{' && c != '}';
      }
    } kTable;
    return kTable.plain[c];
  }

  int32_t RowOf(int32_t cell) const {
    if (cell <= 0 || size_t(cell) >= d_.cells.size() || !d_.cells[size_t(cell)].inUse) return 0;
    const int32_t row = d_.cells[size_t(cell)].row;
    return row > 0 && size_t(row) < d_.rows.size() && d_.rows[size_t(row)].inUse ? row : 0;
  }

  // trowd and a cellx per cell of the row (its right edge from the row's left
  // position), with the cells' borders and shading.
  void RowDefinition(int32_t row) {
    openRow_ = row;
    if (!row) return;
    const wrxfmt::WrxRowRecord& r = d_.rows[size_t(row)];
    out_.Word("trowd");
    if ((r.flags & 3) == 1) out_.Word("trqc");
    if ((r.flags & 3) == 2) out_.Word("trqr");
    out_.Word("trgaph", r.gap);
    out_.Word("trleft", r.left);
    if (r.minHeight > 0) out_.Word("trrh", r.minHeight);
    long edge = r.left;
    size_t guard = 0;
    for (int32_t c = r.firstCell; c > 0 && size_t(c) < d_.cells.size() && guard++ < d_.cells.size();
         c = d_.cells[size_t(c)].next) {
      const wrxfmt::WrxCellRecord& cell = d_.cells[size_t(c)];
      static const char* const kSides[] = {"clbrdrt", "clbrdrb", "clbrdrl", "clbrdrr"};
      for (int side = 0; side < 4; ++side)
        if (cell.borderSides & (1 << side)) {
          out_.Word(kSides[side]);
          out_.Word("brdrs");
          out_.Word("brdrw", cell.borderWidths[side]);
        }
      if (cell.shading > 0) out_.Word("clshdng", long(cell.shading) * 100);
      if ((uint32_t(cell.colour) & 0xFFFFFF) != (d_.background & 0xFFFFFF))
        out_.Word("clcfpat", ColourIndex(uint32_t(cell.colour)));
      if (cell.flags & 64) out_.Word("clmrg");
      edge += cell.width;
      out_.Word("cellx", edge);
    }
  }

  static long Twips(float inches) { return std::lround(double(inches) * 1440.0); }

  bool BlockHasParaEnd(int32_t from, int32_t last) const {
    if (!d_.wordWrap) return from != last;
    for (int32_t i = from; i <= last; ++i) {
      const Line l = LineAt(i);
      const int32_t c0 = i == from ? d_.firstCol : 0, c1 = i == last ? d_.lastCol : l.length;
      for (int32_t c = std::max(0, c0); c < std::min(c1, l.length); ++c)
        if (uint8_t(l.text[c]) == d_.paraEnd || uint8_t(l.text[c]) == d_.cellEnd) return true;
    }
    return false;
  }

  const Font& FontAt(int id) const {
    static const Font kNone;
    return size_t(id) < d_.fonts.size() ? d_.fonts[size_t(id)] : kNone;
  }

  void FontTable() {
    out_.Open();
    out_.Word("fonttbl");
    const Font& def = FontAt(0);
    for (size_t id = 0; id < d_.fonts.size(); ++id) {
      const Font& f = d_.fonts[id];
      const bool usable = f.inUse && !f.picture && !f.face.empty();
      out_.Open();
      out_.Word("f", long(id));
      out_.Word(FamilyWord(usable ? f.pitchFamily : def.pitchFamily));
      const std::string& face = usable ? f.face : def.face;
      for (char c : face) out_.Text(uint8_t(c));
      out_.Text(';');
      out_.Close();
    }
    out_.Close();
  }

  void AddColour(uint32_t c) {
    c &= 0xFFFFFF;
    if (colours_.size() >= size_t(kMaxColours)) return;
    if (std::find(colours_.begin(), colours_.end(), c) == colours_.end()) colours_.push_back(c);
  }

  long ColourIndex(uint32_t c) const {
    const auto it = std::find(colours_.begin(), colours_.end(), c & 0xFFFFFF);
    return it == colours_.end() ? 0 : long(it - colours_.begin());
  }

  void ColourTable() {
    colours_.push_back(0);
    for (const Font& f : d_.fonts)
      if (f.inUse) AddColour(f.text), AddColour(f.back);
    // Cell colours that are written: those other than the background.
    for (size_t c = 1; c < d_.cells.size(); ++c)
      if (d_.cells[c].inUse && ((uint32_t(d_.cells[c].colour) ^ d_.background) & 0xFFFFFF))
        AddColour(uint32_t(d_.cells[c].colour));
    out_.Open();
    out_.Word("colortbl");
    out_.Text(';');
    for (size_t k = 1; k < colours_.size(); ++k) {
      out_.Word("red", long(colours_[k] & 0xFF));
      out_.Word("green", long((colours_[k] >> 8) & 0xFF));
      out_.Word("blue", long((colours_[k] >> 16) & 0xFF));
      out_.Text(';');
    }
    out_.Close();
  }

  void SectionWords(const Section& s) {
    out_.Word("sectd");
    out_.Word("marglsxn", Twips(s.left));
    out_.Word("margrsxn", Twips(s.right));
    out_.Word("margtsxn", Twips(s.top));
    out_.Word("margbsxn", Twips(s.bottom));
    out_.Word("headery", Twips(s.top));
    out_.Word("footery", Twips(s.bottom));
    out_.Word(s.continuous ? "sbknone" : "sbkpage");
    if (s.columns > 1) {
      out_.Word("cols", s.columns);
      out_.Word("colsx", Twips(s.columnSpace));
    }
  }

  void CloseScripts() {
    if (scriptOpen_) {
      out_.Close();
      scriptOpen_ = false;
    }
  }

  void ParaWords(const Line& l) {
    havePara_ = true;
    para_ = l.para, cell_ = l.cell;
    const wrxfmt::WrxParaRecord p =
        l.para >= 0 && size_t(l.para) < d_.paras.size() ? d_.paras[size_t(l.para)] : wrxfmt::WrxParaRecord{};
    out_.Word("pard");
    if (p.tabId > 0 && size_t(p.tabId) < d_.tabs.size()) {
      const wrxpara::WrxTab& t = d_.tabs[size_t(p.tabId)];
      for (int k = 0; k < std::clamp(t.count, 0, wrxpara::kMaxStops); ++k) {
        static const char* const kKinds[] = {nullptr, "tqr", "tqc", "tqdec"};
        if (t.kinds[k] > 0 && t.kinds[k] <= 3) out_.Word(kKinds[t.kinds[k]]);
        if (t.leaders[k] == 1) out_.Word("tldot");
        if (t.leaders[k] == 2) out_.Word("tlhyph");
        if (t.leaders[k] == 4) out_.Word("tlul");
        out_.Word("tx", t.positions[k]);
      }
    }
    if (p.flags & wrxpara::kBullet) {
      long symbol = 0;
      for (size_t id = 0; id < d_.fonts.size(); ++id)
        if (d_.fonts[id].inUse && strcasecmp(d_.fonts[id].face.c_str(), "Symbol") == 0) {
          symbol = long(id);
          break;
        }
      out_.Open();
      out_.Word("pntext");
      out_.Word("pard");
      out_.Word("plain");
      out_.Word("f", symbol);
      out_.Word("fs", 20);
      out_.Text(0xB7);
      out_.Word("tab");
      out_.Close();
      out_.Open();
      out_.Raw("\\*");
      out_.Word("pn");
      out_.Word("pnlvlblt");
      out_.Word("pnf", symbol);
      out_.Word("pnhang");
      out_.Open();
      out_.Word("pntxtb");
      out_.Text(0xB7);
      out_.Close();
      out_.Close();
    }
    const int32_t sides = p.flags & 0xF0;
    if (sides) {
      auto style = [&] {
        if (p.flags & 0x200) out_.Word("brdrw", 30);
        out_.Word((p.flags & 0x100) ? "brdrdb" : "brdrs");
      };
      if (sides == 0xF0) {
        out_.Word("box");
        style();
      } else {
        static const struct {
          int32_t bit;
          const char* word;
        } kSides[] = {{0x10, "brdrt"}, {0x20, "brdrb"}, {0x40, "brdrl"}, {0x80, "brdrr"}};
        for (const auto& s : kSides)
          if (sides & s.bit) {
            out_.Word(s.word);
            style();
          }
      }
    }
    if (p.firstIndent) out_.Word("fi", p.firstIndent);
    if (p.leftIndent) out_.Word("li", p.leftIndent);
    if (p.rightIndent) out_.Word("ri", p.rightIndent);
    if (p.spaceBefore) out_.Word("sb", p.spaceBefore);
    if (p.spaceAfter) out_.Word("sa", p.spaceAfter);
    if (p.flags & wrxpara::kDouble) {
      out_.Word("sl", 480);
      out_.Word("slmult", 1);
    } else if (p.lineSpacing) {
      out_.Word("sl", p.lineSpacing);
    }
    if (p.flags & wrxpara::kRight)
      out_.Word("qr");
    else if (p.flags & wrxpara::kCentred)
      out_.Word("qc");
    else if (p.flags & wrxpara::kJustified)
      out_.Word("qj");
    else if (p.flags & wrxpara::kLeft)
      out_.Word("ql");
    if (p.flags & 0x4000) out_.Word("keep");
    if (p.flags & 0x8000) out_.Word("keepn");
    if (p.shading) out_.Word("shading", p.shading);
    out_.Word("plain");
    // After plain: some readers let plain end the paragraph's place in a table.
    if (l.cell > 0) out_.Word("intbl");
    current_ = -1;
    havePlain_ = true;
  }

  // Each font id's state, worked out once: the words between two runs come
  // from comparing these.
  void States() {
    std::vector<const std::string*> faces;
    auto keyOf = [&](const std::string& face) -> int32_t {
      if (face.empty()) return -1;
      for (size_t k = 0; k < faces.size(); ++k)
        if (strcasecmp(faces[k]->c_str(), face.c_str()) == 0) return int32_t(k);
      faces.push_back(&face);
      return int32_t(faces.size()) - 1;
    };
    const Font& first = FontAt(0);
    for (int id = 0; id < 256; ++id) {
      const Font& f = FontAt(id);
      CharState& b = states_[id];
      b.faceKey = keyOf(f.picture ? first.face : f.face);
      b.family = f.picture ? first.pitchFamily : f.pitchFamily;
      b.size = f.picture ? first.pointSize : f.pointSize;
      b.style = f.picture ? 0 : f.style;
      b.text = f.text & 0xFFFFFF;
      b.back = f.back & 0xFFFFFF;
      textIndex_[id] = ColourIndex(b.text);
      backIndex_[id] = ColourIndex(b.back);
    }
  }

  // The words from the run before (or a paragraph's start) to a run of
  // font `id` are the same every time: worked out once, then copied. Runs in
  // or next to footnotes take the long way, through the footnote groups.
  void CharWords(int id) {
    CloseScripts();
    const CharState& b = states_[id & 255];
    if (noteBits_ == 0 && (b.style & 0x1C00) == 0) {
      const int from = current_ >= 0 ? current_ : havePlain_ ? 256 : 257;
      Transition& t = transitions_[size_t(from * 31 + id) % std::size(transitions_)];
      if (t.from != from || t.to != id) {
        t.from = from, t.to = id;
        Output words;
        if (current_ < 0 && !havePlain_) words.Word("plain");
        t.opens = WordsTo(words, current_ < 0 ? Initial() : state_, id);
        t.bytes = words.Take();
      }
      out_.Words(t.bytes, t.opens);
    } else {
      CharState a = current_ < 0 ? Initial() : state_;
      if (current_ < 0 && !havePlain_) out_.Word("plain");
      FootnoteBraces(b.style, a);
      WordsTo(out_, a, id);
    }
    havePlain_ = false;
    state_ = b;
    current_ = id;
    if (state_.style & 48) {
      scriptOpen_ = true;
      // The group ends with its run: the next run starts from what was in
      // force outside it.
      state_.style &= ~48u;
    }
  }

  // What is in force at a paragraph's start.
  CharState Initial() const {
    CharState a;
    a.back = d_.background;
    return a;
  }

  // The words that change what is in force to font `id`'s state; the
  // groups they open.
  int WordsTo(Output& o, const CharState& a, int id) const {
    const CharState& b = states_[id & 255];
    if (a.faceKey != b.faceKey || a.family != b.family) o.Word("f", id);
    if (a.text != b.text) o.Word("cf", textIndex_[id & 255]);
    if (a.back != b.back) o.Word("cb", backIndex_[id & 255]);
    if (a.size != b.size) o.Word("fs", long(b.size) * 2);
    static const struct {
      uint32_t bit;
      const char* word;
    } kBits[] = {{2, "b"}, {1, "ul"}, {0x100, "uldb"}, {4, "i"}, {64, "v"}, {8, "strike"}, {0x200, "protect"}};
    for (const auto& k : kBits)
      if ((a.style ^ b.style) & k.bit) {
        if (b.style & k.bit)
          o.Word(k.word);
        else
          o.Word(k.word, 0);
      }
    if (b.style & 48) {
      o.Open();
      o.Word((b.style & 16) ? "super" : "sub");
      return 1;
    }
    return 0;
  }

  struct Transition {
    int from = -1, to = -1;
    int opens = 0;
    std::string bytes;
  };

  // A footnote goes out as "{", its mark, "{\\footnote", its text and "}}"
  // (a mark of more characters closes the note before the rest of the mark).
  // What a closed group had set is no longer in force.
  void FootnoteBraces(uint32_t style, CharState& a) {
    const uint32_t from = noteBits_, to = style & 0x1C00;
    noteBits_ = to;
    auto close = [&](int groups) {
      for (; groups > 0 && !noteStates_.empty(); --groups) {
        out_.Close();
        a = noteStates_.back();
        noteStates_.pop_back();
      }
    };
    if ((from & 0x800) && (to & 0x1000) && !(to & 0x800))
      close(1);
    else if ((from & 0x1000) && !(from & 0x800) && !(to & 0x1800))
      close(1);
    else if ((from & 0x400) && !to)
      close(1);
    else if ((from & 0x800) && !(to & 0x1800))
      close(2);
    if (!(from & 0x400) && (to & 0x400)) {
      noteStates_.push_back(a);
      out_.Open();
    } else if ((from & 0x400) && (to & 0x800)) {
      noteStates_.push_back(a);
      out_.Open();
      out_.Word("footnote");
    }
  }

  const Document& d_;
  Output out_;
  uint32_t noteBits_ = 0;
  std::vector<CharState> noteStates_;  // in force where each open footnote group began
  std::vector<uint32_t> colours_;
  CharState state_;
  CharState states_[256];
  long textIndex_[256] = {}, backIndex_[256] = {};
  Transition transitions_[64];
  int current_ = -1;
  bool scriptOpen_ = false;
  bool havePara_ = false;
  bool havePlain_ = true;
  int32_t para_ = 0, cell_ = 0;
  int32_t openRow_ = 0;  // the row whose definition was written last
};

}  // namespace

std::string Write(const Document& d) {
  size_t bytes = 0;
  const int32_t count = d.lineAt ? d.lineCount : int32_t(d.lines.size());
  for (int32_t i = 0; i < count; ++i) bytes += size_t(d.lineAt ? d.lineAt(i).length : d.lines[size_t(i)].length) + 2;
  std::string out;
  out.reserve(bytes * 2 + 4096);  // formatting words and escapes rarely double a document
  WriteTo(d, [&out](const char* p, size_t n) {
    out.append(p, n);
    return true;
  });
  return out;
}

bool WriteTo(const Document& d, const Sink& sink, size_t chunk) {
  Writer w(d, sink, chunk);
  w.Run();
  return !w.failed();
}

}  // namespace wrxrtf
