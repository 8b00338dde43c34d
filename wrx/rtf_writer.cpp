#include "wrx/rtf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace wrxrtf {

namespace {

constexpr size_t kSoftBreak = 682;
constexpr size_t kHardBreak = 2046;
constexpr int kMaxColours = 200;

}  // namespace

void Output::FlushLine() {
  out_ += "\r\n";
  lineStart_ = out_.size();
}

void Output::Put(char c, bool breakable) {
  const size_t length = out_.size() - lineStart_;
  if ((breakable && length >= kSoftBreak) || length >= kHardBreak) FlushLine();
  out_.push_back(c);
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
    case '}':
      Put('\\', true);
      Put(char(c), false);
      return;
    case 14:
      Put('\\', true);
      Put('~', false);
      return;
    case 9: Word("tab"); return;
    case 12: Word("page"); return;
    case 22: Word("column"); return;
    default: break;
  }
  if (c > 127 || c < 32) {
    // Other readers take raw high bytes in other code pages: always escape.
    static const char kDigits[] = "0123456789abcdef";
    Put('\\', true);
    Put('\'', false);
    Put(kDigits[c >> 4], false);
    Put(kDigits[c & 15], false);
    return;
  }
  Put(char(c), blank);
}

void Output::PlainText(const char* text, size_t count) {
  if (count && pendingSpace_) {
    pendingSpace_ = false;
    Put(' ', false);
  }
  while (count) {
    // Whole while the line stays short of a break; past that, character by
    // character, so that a line breaks only before a blank.
    const size_t length = out_.size() - lineStart_;
    if (length + count < kSoftBreak) {
      out_.append(text, count);
      return;
    }
    Put(*text, *text == ' ');
    ++text, --count;
  }
}

void Output::Word(const char* word) {
  pendingSpace_ = false;
  Put('\\', true);
  for (const char* p = word; *p; ++p) Put(*p, false);
  pendingSpace_ = true;
}

void Output::Word(const char* word, long param) {
  Word(word);
  pendingSpace_ = false;
  // By hand: the C library's formatting is slow where it matters here.
  char digits[24];
  int n = 0;
  unsigned long v = param < 0 ? 0ul - static_cast<unsigned long>(param) : static_cast<unsigned long>(param);
  do {
    digits[n++] = char('0' + v % 10);
    v /= 10;
  } while (v);
  if (param < 0) Put('-', false);
  while (n > 0) Put(digits[--n], false);
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
  if (out_.size() - lineStart_ >= kSoftBreak) FlushLine();
  Put(kDigits[b >> 4], false);
  Put(kDigits[b & 15], false);
}

void Output::Raw(const char* s) {
  pendingSpace_ = false;
  for (const char* p = s; *p; ++p) Put(*p, *p == '\\' || *p == '{' || *p == '}');
}

std::string Output::Finish() {
  while (depth_ > 0) Close();
  if (out_.size() > lineStart_) FlushLine();
  return std::move(out_);
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

struct CharState {
  std::string face;
  uint8_t family = 0;
  int32_t size = 0;
  uint32_t style = 0, text = 0, back = 0;
};

class Writer {
 public:
  explicit Writer(const Document& d) : d_(d) {
    size_t bytes = 0;
    for (const Line& l : d.lines) bytes += size_t(l.length) + 2;
    out_.Reserve(bytes + bytes / 2 + 4096);
  }

  std::string Run() {
    out_.Open();
    out_.Word("rtf", 1);
    out_.Word("ansi");
    FontTable();
    ColourTable();
    const Section first = d_.sections.empty() ? Section{} : d_.sections[0];
    out_.Word("margl", Twips(first.left));
    out_.Word("margr", Twips(first.right));
    out_.Word("margt", Twips(first.top));
    out_.Word("margb", Twips(first.bottom));
    SectionWords(first);
    out_.Word("plain");
    current_ = -1;
    const int32_t last =
        std::min<int32_t>(d_.block ? d_.lastLine : int32_t(d_.lines.size()) - 1, int32_t(d_.lines.size()) - 1);
    const int32_t from = d_.block ? std::max(0, d_.firstLine) : 0;
    // A block within one paragraph takes the formatting where it lands.
    bool paraWords = !d_.block || BlockHasParaEnd(from, last);
    int32_t section = 0;
    for (int32_t i = from; i <= last; ++i) {
      const Line& l = d_.lines[size_t(i)];
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
      if (cell.flags & 64) out_.Word("clmrg");
      edge += cell.width;
      out_.Word("cellx", edge);
    }
  }

  static long Twips(float inches) { return std::lround(double(inches) * 1440.0); }

  bool BlockHasParaEnd(int32_t from, int32_t last) const {
    if (!d_.wordWrap) return from != last;
    for (int32_t i = from; i <= last; ++i) {
      const Line& l = d_.lines[size_t(i)];
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

  void CharWords(int id) {
    CloseScripts();
    CharState a;
    if (current_ < 0) {
      a.back = d_.background;
      if (havePlain_ == false) out_.Word("plain");
    } else {
      a = state_;
    }
    havePlain_ = false;
    const Font& f = FontAt(id);
    FootnoteBraces(f.picture ? 0 : f.style, a);
    CharState b;
    b.face = f.picture ? FontAt(0).face : f.face;
    b.family = f.picture ? FontAt(0).pitchFamily : f.pitchFamily;
    b.size = f.picture ? FontAt(0).pointSize : f.pointSize;
    b.style = f.picture ? 0 : f.style;
    b.text = f.text & 0xFFFFFF;
    b.back = f.back & 0xFFFFFF;
    if (strcasecmp(a.face.c_str(), b.face.c_str()) != 0 || a.family != b.family) out_.Word("f", id);
    if (a.text != b.text) out_.Word("cf", ColourIndex(b.text));
    if (a.back != b.back) out_.Word("cb", ColourIndex(b.back));
    if (a.size != b.size) out_.Word("fs", long(b.size) * 2);
    static const struct {
      uint32_t bit;
      const char* word;
    } kBits[] = {{2, "b"}, {1, "ul"}, {0x100, "uldb"}, {4, "i"}, {64, "v"}, {8, "strike"}, {0x200, "protect"}};
    for (const auto& k : kBits)
      if ((a.style ^ b.style) & k.bit) {
        if (b.style & k.bit)
          out_.Word(k.word);
        else
          out_.Word(k.word, 0);
      }
    state_ = b;
    current_ = id;
    if (b.style & 48) {
      out_.Open();
      out_.Word((b.style & 16) ? "super" : "sub");
      scriptOpen_ = true;
      // The group ends with its run: the next run starts from what was in
      // force outside it.
      state_.style &= ~48u;
    }
  }

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
  int current_ = -1;
  bool scriptOpen_ = false;
  bool havePara_ = false;
  bool havePlain_ = true;
  int32_t para_ = 0, cell_ = 0;
  int32_t openRow_ = 0;  // the row whose definition was written last
};

}  // namespace

std::string Write(const Document& d) { return Writer(d).Run(); }

}  // namespace wrxrtf
