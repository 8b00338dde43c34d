// The RTF reader's builder: control words change the character and
// paragraph properties of the group in force, text goes into paragraphs with
// a font id per character, and the font and colour tables map the document's
// numbers to the window's fonts. Destinations the control does not keep are
// skipped whole. Numbers are clamped before use; a font number the document's
// table lacks takes the default face.
#include "wrx/rtf_tokenizer.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_styles.h"
#include "wrx/wrx_rtf_tables.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct CharProps {
  int32_t font = -1;  // the document's font number, -1 = its default
  int32_t halfPoints = 0;
  DWORD style = 0;
  int32_t colour = 0;
  int32_t unicodeSkip = 1;
  int32_t charStyle = 1;  // the window's style id; 1 = Default Paragraph Font
};

// Tab stops being collected for a paragraph: positions (twips) and kinds
// (0 left, 1 right, 2 centre, 3 decimal), in the order given.
struct TabSet {
  int32_t count = 0;
  int32_t positions[20] = {};
  int32_t kinds[20] = {};
  uint8_t leaders[20] = {};
  int32_t nextKind = 0;
  uint8_t nextLeader = 0;
};

struct GroupState {
  CharProps chars;
  wrxfmt::WrxParaRecord para{};
  TabSet tabs;
  enum Dest : uint8_t { kText, kSkip, kFontTable, kColourTable, kPicture, kStyleSheet } dest = kText;
  uint8_t closes = 0;      // the page-header (17) or page-footer (16) group this group opened
  DWORD noteBits = 0;      // 0x800 in a footnote's text, whatever \plain says
  int32_t emitted = 0;     // characters read in this group itself
  std::string heldDigits;  // of a footnote number, set when the group ends
};

struct Paragraph {
  std::string text;
  std::vector<uint8_t> ids;
  int32_t para = 0;
  int32_t cell = 0;
};

// One lookup table over the words the reader knows, in the order they are
// tried.
enum Word : uint8_t {
  W_NONE,
  W_FONTTBL,
  W_COLORTBL,
  W_SKIPDEST,
  W_FOOTNOTE,
  W_CHFTN,
  W_IGNORABLE,
  W_F,
  W_DEFF,
  W_FS,
  W_B,
  W_I,
  W_UL,
  W_ULNONE,
  W_STRIKE,
  W_V,
  W_SUPER,
  W_SUB,
  W_NOSUPERSUB,
  W_PLAIN,
  W_CF,
  W_PAR,
  W_PARD,
  W_QL,
  W_QC,
  W_QR,
  W_QJ,
  W_LI,
  W_RI,
  W_FI,
  W_SB,
  W_SA,
  W_SL,
  W_TAB,
  W_LINE,
  W_PAGE,
  W_CELL,
  W_ROW,
  W_U,
  W_UC,
  W_RED,
  W_GREEN,
  W_BLUE,
  W_EMDASH,
  W_ENDASH,
  W_LQUOTE,
  W_RQUOTE,
  W_LDBLQUOTE,
  W_RDBLQUOTE,
  W_BULLET,
  W_NBSP,
  W_HYPHEN,
  W_OPTHYPHEN,
  W_PNTEXT,
  W_SECT,
  W_TX,
  W_TQR,
  W_TQC,
  W_TQDEC,
  W_ULDB,
  W_PROTECT,
  W_BOX,
  W_BRDRT,
  W_BRDRB,
  W_BRDRL,
  W_BRDRR,
  W_BRDRDB,
  W_BRDRW,
  W_SHADING,
  W_KEEP,
  W_KEEPN,
  W_TLDOT,
  W_TLHYPH,
  W_TLUL,
  W_SLMULT,
  W_PN,
  W_PICT,
  W_PICWGOAL,
  W_PICHGOAL,
  W_PICALIGN,
  W_STYLESHEET,
  W_HEADER,
  W_FOOTER,
  W_S,
  W_CS,
};

struct WordRow {
  const char* word;
  Word id;
};

const WordRow kWords[] = {
    {"fonttbl", W_FONTTBL},
    {"colortbl", W_COLORTBL},
    {"stylesheet", W_STYLESHEET},
    {"info", W_SKIPDEST},
    {"pict", W_PICT},
    {"object", W_SKIPDEST},
    {"header", W_HEADER},
    {"footer", W_FOOTER},
    {"headerl", W_SKIPDEST},
    {"headerr", W_SKIPDEST},
    {"headerf", W_SKIPDEST},
    {"footerl", W_SKIPDEST},
    {"footerr", W_SKIPDEST},
    {"footerf", W_SKIPDEST},
    {"fldinst", W_SKIPDEST},
    {"listtable", W_SKIPDEST},
    {"listoverridetable", W_SKIPDEST},
    {"filetbl", W_SKIPDEST},
    {"revtbl", W_SKIPDEST},
    {"xmlnstbl", W_SKIPDEST},
    {"themedata", W_SKIPDEST},
    {"colorschememapping", W_SKIPDEST},
    {"latentstyles", W_SKIPDEST},
    {"datastore", W_SKIPDEST},
    {"generator", W_SKIPDEST},
    {"footnote", W_FOOTNOTE},
    {"chftn", W_CHFTN},
    {"*", W_IGNORABLE},
    {"f", W_F},
    {"deff", W_DEFF},
    {"fs", W_FS},
    {"b", W_B},
    {"i", W_I},
    {"ul", W_UL},
    {"uld", W_UL},
    {"uldb", W_ULDB},
    {"ulw", W_UL},
    {"ulnone", W_ULNONE},
    {"strike", W_STRIKE},
    {"v", W_V},
    {"super", W_SUPER},
    {"sub", W_SUB},
    {"nosupersub", W_NOSUPERSUB},
    {"plain", W_PLAIN},
    {"cf", W_CF},
    {"par", W_PAR},
    {"pard", W_PARD},
    {"ql", W_QL},
    {"qc", W_QC},
    {"qr", W_QR},
    {"qj", W_QJ},
    {"li", W_LI},
    {"ri", W_RI},
    {"fi", W_FI},
    {"sb", W_SB},
    {"sa", W_SA},
    {"sl", W_SL},
    {"tab", W_TAB},
    {"line", W_LINE},
    {"page", W_PAGE},
    {"cell", W_CELL},
    {"row", W_ROW},
    {"u", W_U},
    {"uc", W_UC},
    {"red", W_RED},
    {"green", W_GREEN},
    {"blue", W_BLUE},
    {"emdash", W_EMDASH},
    {"endash", W_ENDASH},
    {"lquote", W_LQUOTE},
    {"rquote", W_RQUOTE},
    {"ldblquote", W_LDBLQUOTE},
    {"rdblquote", W_RDBLQUOTE},
    {"bullet", W_BULLET},
    {"~", W_NBSP},
    {"_", W_HYPHEN},
    {"-", W_OPTHYPHEN},
    {"pntext", W_PNTEXT},
    {"sect", W_SECT},
    {"tx", W_TX},
    {"tqr", W_TQR},
    {"tqc", W_TQC},
    {"tqdec", W_TQDEC},
    {"protect", W_PROTECT},
    {"box", W_BOX},
    {"brdrt", W_BRDRT},
    {"brdrb", W_BRDRB},
    {"brdrl", W_BRDRL},
    {"brdrr", W_BRDRR},
    {"brdrdb", W_BRDRDB},
    {"brdrw", W_BRDRW},
    {"shading", W_SHADING},
    {"keep", W_KEEP},
    {"keepn", W_KEEPN},
    {"tldot", W_TLDOT},
    {"tlhyph", W_TLHYPH},
    {"tlul", W_TLUL},
    {"slmult", W_SLMULT},
    {"pn", W_PN},
    {"picwgoal", W_PICWGOAL},
    {"pichgoal", W_PICHGOAL},
    {"kqpicalign", W_PICALIGN},
    {"s", W_S},
    {"cs", W_CS},
};

Word Lookup(const std::string& word) {
  static const std::unordered_map<std::string, Word> table = [] {
    std::unordered_map<std::string, Word> m;
    for (const WordRow& r : kWords) m.emplace(r.word, r.id);  // the first row of a word wins
    return m;
  }();
  const auto it = table.find(word);
  return it == table.end() ? W_NONE : it->second;
}

// A Unicode character as a Windows-1252 byte, 0 when it has none.
uint8_t From1252(int32_t u) {
  if (u >= 0 && u < 128) return uint8_t(u);
  if (u >= 160 && u < 256) return uint8_t(u);
  static const struct {
    int32_t u;
    uint8_t b;
  } kMap[] = {{0x20AC, 128}, {0x201A, 130}, {0x0192, 131}, {0x201E, 132}, {0x2026, 133}, {0x2020, 134}, {0x2021, 135},
              {0x02C6, 136}, {0x2030, 137}, {0x0160, 138}, {0x2039, 139}, {0x0152, 140}, {0x017D, 142}, {0x2018, 145},
              {0x2019, 146}, {0x201C, 147}, {0x201D, 148}, {0x2022, 149}, {0x2013, 150}, {0x2014, 151}, {0x02DC, 152},
              {0x2122, 153}, {0x0161, 154}, {0x203A, 155}, {0x0153, 156}, {0x017E, 158}, {0x0178, 159}};
  for (const auto& m : kMap)
    if (m.u == u) return m.b;
  return 0;
}

class Reader {
 public:
  Reader(WrxWindow* w, const uint8_t* data, size_t size) : w_(w), in_(data, size) {}

  // Reads the document into paragraphs; false when it is no RTF.
  bool Read() {
    rtf::Token t = in_.Next();
    if (t.kind != rtf::TokenKind::kGroupOpen) return false;
    t = in_.Next();
    if (t.kind != rtf::TokenKind::kControl || t.word != "rtf") return false;
    // Paragraphs start from the window's default paragraph.
    GroupState base;
    base.para = w_->paras.empty() ? wrxfmt::WrxParaRecord{} : w_->paras[0];
    defaultPara_ = base.para;
    stack_.push_back(base);
    stack_.push_back(base);
    for (;;) {
      t = in_.Next();
      switch (t.kind) {
        case rtf::TokenKind::kEnd: Finish(); return true;  // missing braces: what was read stays
        case rtf::TokenKind::kError:
          WrxErrorBox(w_, 6, "GetRtfWord");
          Finish();
          return true;
        case rtf::TokenKind::kGroupOpen:
          stack_.push_back(stack_.back());
          stack_.back().closes = 0;
          stack_.back().emitted = 0;
          break;
        case rtf::TokenKind::kGroupClose:
          if (Top().dest == GroupState::kFontTable && !fontName_.empty()) EndFontName();
          if (Top().dest == GroupState::kPicture && stack_.size() == pictDepth_) EndPicture();
          if (Top().dest == GroupState::kStyleSheet) EndStyle();
          if (Top().closes) MarkerLine(Top().closes, DelimiterPara(Top().closes));
          if (!Top().heldDigits.empty()) EndNoteNumber();
          {
            const int32_t inner = Top().emitted;
            stack_.pop_back();
            if (!stack_.empty()) Top().emitted += inner;
          }
          if (stack_.size() <= 1) {
            Finish();
            return true;
          }
          break;
        case rtf::TokenKind::kBinary: break;  // data of a picture or object we do not keep
        case rtf::TokenKind::kText: Text(t.byte); break;
        case rtf::TokenKind::kControl: Control(t); break;
      }
    }
  }

  std::vector<Paragraph> paragraphs;

 private:
  int32_t noteNumber_ = 0;  // footnotes numbered so far
  GroupState& Top() { return stack_.back(); }

  void Text(uint8_t c) {
    GroupState& g = Top();
    if (g.dest == GroupState::kSkip) return;
    if (skipChars_ > 0) {
      --skipChars_;
      return;
    }
    if (g.dest == GroupState::kFontTable) {
      if (c == ';')
        EndFontName();
      else if (fontName_.size() < 31)
        fontName_.push_back(char(c));
      return;
    }
    if (g.dest == GroupState::kPicture) {
      PictureDigit(c);
      return;
    }
    if (g.dest == GroupState::kStyleSheet) {
      if (c == ';')
        EndStyle();
      else if (styleName_.size() < 63 && c >= ' ')
        styleName_.push_back(char(c));
      return;
    }
    if (g.dest == GroupState::kColourTable) {
      if (c == ';') {
        colours_.push_back(pendingColour_);
        pendingColour_ = 0;
      }
      return;
    }
    Emit(c);
  }

  // The footnote's text follows; the character before it is its mark.
  void BeginFootnote(GroupState& g) {
    g.noteBits = 0x800;
    g.chars.style &= ~DWORD(0x1000);
    if (paragraphs.empty() || ended_ || paragraphs.back().ids.empty()) return;
    uint8_t& id = paragraphs.back().ids.back();
    if (id >= w_->fontCount) return;
    const WrxFont f = w_->fonts[id];
    if (f.style & (wrxfmt::kPictureStyle | 0x1C00)) return;
    const std::string face(f.face, strnlen(f.face, sizeof f.face));
    const int mark = FindOrAddFont(w_, w_->dc, -1, face.c_str(), f.pointSize, f.style | 0x400, f.textColor, f.backColor,
                                   0, 0, f.attribute, f.styleItem);
    if (mark > 0 && mark < WRX_MAXFONTS) id = uint8_t(mark);
    // A group holding only the mark before the note is a marker of ours: what
    // follows the note in it is the rest of the marker.
    if (stack_.size() >= 4) {
      GroupState& markGroup = stack_[stack_.size() - 2];
      if (markGroup.emitted == 1 && !markGroup.noteBits) markGroup.noteBits = 0x1000;
    }
  }

  // In a footnote's text, the note's number; in the text, the next number:
  // its first digit now, the others when the group ends.
  void NoteNumber(GroupState& g) {
    if (g.noteBits || (g.chars.style & 0x1000)) {
      for (char c : std::to_string(std::max(1, noteNumber_))) Emit(uint8_t(c));
      return;
    }
    const std::string digits = std::to_string(++noteNumber_);
    Emit(uint8_t(digits[0]));
    g.heldDigits += digits.substr(1);
    g.chars.style |= 0x1000;
  }

  void EndNoteNumber() {
    GroupState& g = Top();
    g.noteBits = 0;
    g.chars.style |= 0x1000;
    for (char c : g.heldDigits) Emit(uint8_t(c));
    g.heldDigits.clear();
  }

  void EndFontName() {
    while (!fontName_.empty() && fontName_.back() == ' ') fontName_.pop_back();
    if (fontNumber_ >= 0) faces_[fontNumber_] = fontName_;
    fontName_.clear();
  }

  void Emit(uint8_t c) {
    Paragraph& p = Current();
    if (p.text.size() >= size_t(WRX_MAXLINELEN - 2)) {
      // A paragraph longer than a line continues on the next one.
      const int32_t cell = p.cell;
      paragraphs.push_back(Paragraph{});
      paragraphs.back().para = -1;
      paragraphs.back().cell = cell;
    }
    Paragraph& q = Current();
    q.text.push_back(char(c));
    q.ids.push_back(uint8_t(FontId()));
    ++Top().emitted;
  }

  Paragraph& Current() {
    if (paragraphs.empty() || ended_) {
      paragraphs.push_back(Paragraph{});
      paragraphs.back().para = -1;
      paragraphs.back().cell = tables_.TextCell();
      ended_ = false;
    }
    return paragraphs.back();
  }

  // The end of a cell merged into `cell`: text read since that cell's end
  // joins it, and the cell then ends after that text.
  void MergedCellEnd(int32_t cell) {
    size_t k = paragraphs.size();
    while (k > 0 && paragraphs[k - 1].cell == cell &&
           (paragraphs[k - 1].text.empty() || uint8_t(paragraphs[k - 1].text.back()) != w_->cellEnd))
      --k;
    if (k == 0 || paragraphs[k - 1].cell != cell) return;
    const size_t after = paragraphs.size() - k;
    if (after == 0 || (after == 1 && !ended_ && paragraphs.back().text.empty())) return;
    paragraphs[k - 1].text.back() = char(w_->paraEnd);
    Current().cell = cell;
    EndParagraph(w_->cellEnd);
  }

  void EndParagraph(uint8_t mark) {
    Paragraph& p = Current();
    p.text.push_back(char(mark));
    p.ids.push_back(uint8_t(FontId()));
    const int32_t para = ParaId(WithTabs(Top()));
    // Every line of the paragraph takes the formatting at its mark.
    for (size_t k = paragraphs.size(); k-- > 0;) {
      if (paragraphs[k].para >= 0 && k + 1 != paragraphs.size()) break;
      paragraphs[k].para = para;
    }
    ended_ = true;
  }

  void MarkerLine(uint8_t marker, int32_t para = 0) {
    if (!paragraphs.empty() && !ended_ && !paragraphs.back().text.empty()) EndParagraph(w_->paraEnd);
    Paragraph p;
    p.text.assign(1, char(marker));
    p.ids.assign(1, 0);
    p.para = para;
    paragraphs.push_back(p);
    ended_ = true;
  }

  // The paragraph record with the id of its tab stops' record, found or added
  // (at most 300 records; beyond them the paragraph keeps none).
  wrxfmt::WrxParaRecord WithTabs(const GroupState& g) {
    wrxfmt::WrxParaRecord r = g.para;
    if (g.tabs.count == 0) return r;
    wrxfmt::WrxTabRecord t{};
    memcpy(t.bytes, &g.tabs.count, 4);
    memcpy(t.bytes + 4, g.tabs.positions, sizeof g.tabs.positions);
    memcpy(t.bytes + 84, g.tabs.kinds, sizeof g.tabs.kinds);
    memcpy(t.bytes + 164, g.tabs.leaders, sizeof g.tabs.leaders);
    for (size_t k = 1; k < w_->tabs.size(); ++k)
      if (!memcmp(w_->tabs[k].bytes, t.bytes, sizeof t.bytes)) {
        r.tabId = int32_t(k);
        return r;
      }
    if (w_->tabs.empty()) w_->tabs.push_back(wrxfmt::WrxTabRecord{});
    if (w_->tabs.size() >= size_t(wrxfmt::kMaxTabRecords)) {
      if (!tabsFull_) WrxErrorBox(w_, 115, "FindOrAddTab");
      tabsFull_ = true;
      return r;
    }
    w_->tabs.push_back(t);
    r.tabId = int32_t(w_->tabs.size() - 1);
    return r;
  }

  // A delimiter line's paragraph: the default one with the group's flag.
  int32_t DelimiterPara(uint8_t delim) {
    wrxfmt::WrxParaRecord r = defaultPara_;
    r.flags = (r.flags & ~(PF_HEADER | PF_FOOTER)) | (delim == WRX_HEADERDELIM ? PF_HEADER : PF_FOOTER);
    return ParaId(r);
  }

  int32_t ParaId(const wrxfmt::WrxParaRecord& in) {
    // A border needs room between the text and its line.
    wrxfmt::WrxParaRecord r = in;
    if ((r.flags & PF_BORDERTOP) && r.spaceBefore < 60) r.spaceBefore = 60;
    if ((r.flags & PF_BORDERBOTTOM) && r.spaceAfter < 40) r.spaceAfter = 40;
    if ((r.flags & PF_BORDERLEFT) && r.leftIndent < 60) r.leftIndent = 60;
    if ((r.flags & PF_BORDERRIGHT) && r.rightIndent < 60) r.rightIndent = 60;
    for (size_t k = 0; k < w_->paras.size(); ++k)
      if (!memcmp(&w_->paras[k], &r, sizeof r)) return int32_t(k);
    if (w_->paras.size() >= 30000) return 0;
    w_->paras.push_back(r);
    return int32_t(w_->paras.size() - 1);
  }

  int FontId() {
    CharProps c = Top().chars;
    c.style |= Top().noteBits;
    const int32_t number = c.font >= 0 ? c.font : defaultFont_;
    // Runs of text keep their properties: the last answer usually holds.
    const int32_t paraStyleNow = Top().para.styleId;
    if (lastFont_.id >= 0 && lastFont_.number == number && lastFont_.halfPoints == c.halfPoints &&
        lastFont_.style == c.style && lastFont_.colour == c.colour && lastFont_.charStyle == c.charStyle &&
        lastFont_.paraStyle == paraStyleNow && lastFont_.facesSeen == faces_.size() &&
        lastFont_.coloursSeen == colours_.size())
      return lastFont_.id;
    lastFont_ = LastFont{number,       c.halfPoints,  c.style,         c.colour,           c.charStyle,
                         paraStyleNow, faces_.size(), colours_.size(), FontIdOf(c, number)};
    return lastFont_.id;
  }

  int FontIdOf(const CharProps& c, int32_t number) {
    const auto face = faces_.find(number);
    const char* name = face != faces_.end() && !face->second.empty() ? face->second.c_str() : w_->arg.typeface;
    const int32_t size = c.halfPoints > 0 ? std::clamp(c.halfPoints / 2, 1, 1638) : w_->fonts[0].pointSize;
    const COLORREF colour =
        c.colour > 0 && size_t(c.colour) < colours_.size() ? colours_[size_t(c.colour)] : w_->fonts[0].textColor;
    const int32_t paraStyle = Top().para.styleId;
    const std::string key = std::string(name) + '\0' + std::to_string(size) + '/' + std::to_string(c.style) + '/' +
                            std::to_string(colour) + '/' + std::to_string(c.charStyle) + '/' +
                            std::to_string(paraStyle);
    const auto it = fontIds_.find(key);
    if (it != fontIds_.end()) return it->second;
    int id = FindOrAddFont(w_, w_->dc, -1, name, size, c.style, colour, w_->fonts[0].backColor, 0, 0, c.charStyle,
                           paraStyle);
    if (id < 0 || id >= WRX_MAXFONTS) id = 0;
    fontIds_.emplace(key, id);
    return id;
  }

  void Control(const rtf::Token& t) {
    GroupState& g = Top();
    const Word word = Lookup(t.word);
    const int32_t p = t.param;
    const bool on = !t.hasParam || p != 0;
    if (word == W_IGNORABLE) {
      ignorable_ = true;
      return;
    }
    const bool ignorable = ignorable_;
    ignorable_ = false;
    if (g.dest == GroupState::kSkip) return;
    auto setStyle = [&g](DWORD bits, bool set) {
      g.chars.style = set ? (g.chars.style | bits) : (g.chars.style & ~bits);
    };
    auto twips = [&t](int32_t low, int32_t high) { return std::clamp(t.param, low, high); };
    switch (word) {
      case W_NONE:
        if (tables_.Word(t.word, t.hasParam, p)) return;
        paraBorder_ = false;
        // An unknown destination after \* is skipped whole.
        if (ignorable) g.dest = GroupState::kSkip;
        return;
      case W_FONTTBL: g.dest = GroupState::kFontTable; return;
      case W_COLORTBL:
        g.dest = GroupState::kColourTable;
        colours_.clear();
        return;
      case W_SKIPDEST:
      case W_PNTEXT: g.dest = GroupState::kSkip; return;
      case W_FOOTNOTE: BeginFootnote(g); return;
      case W_CHFTN: NoteNumber(g); return;
      case W_IGNORABLE: return;
      case W_F:
        if (g.dest == GroupState::kFontTable) {
          if (!fontName_.empty()) EndFontName();
          fontNumber_ = p;
        } else {
          g.chars.font = p;
        }
        return;
      case W_DEFF: defaultFont_ = p; return;
      case W_FS: g.chars.halfPoints = twips(2, 3276); return;
      case W_B: setStyle(2, on); return;
      case W_I: setStyle(4, on); return;
      case W_UL: setStyle(1, on); return;
      case W_ULNONE: setStyle(1 | 0x100, false); return;
      case W_STRIKE: setStyle(8, on); return;
      case W_V: setStyle(64, on); return;
      case W_SUPER: setStyle(16, true), setStyle(32, false); return;
      case W_SUB: setStyle(32, true), setStyle(16, false); return;
      case W_NOSUPERSUB: setStyle(16 | 32, false); return;
      case W_PLAIN: g.chars = CharProps{-1, 0, 0, 0, g.chars.unicodeSkip, 1}; return;
      case W_CF: g.chars.colour = std::max(0, p); return;
      case W_PAR:
        // A footnote's text stays in its line.
        if (g.noteBits & 0x800) return Emit(' ');
        EndParagraph(w_->paraEnd);
        return;
      case W_PARD:
        paraBorder_ = false;
        {
          const int32_t inGroup = g.para.flags & (PF_HEADER | PF_FOOTER);  // a header's paragraphs stay in it
          g.para = defaultPara_;
          g.para.flags |= inGroup;
        }
        g.tabs = TabSet{};
        return;
      case W_TQR: g.tabs.nextKind = 1; return;
      case W_TQC: g.tabs.nextKind = 2; return;
      case W_TQDEC: g.tabs.nextKind = 3; return;
      case W_TX:
        // Stops in increasing order, as the wrap reads them.
        if (g.tabs.count < 20 && t.param > 0 && t.param <= 31680 &&
            (g.tabs.count == 0 || t.param > g.tabs.positions[g.tabs.count - 1])) {
          g.tabs.positions[g.tabs.count] = t.param;
          g.tabs.leaders[g.tabs.count] = g.tabs.nextLeader;
          g.tabs.kinds[g.tabs.count++] = g.tabs.nextKind;
        }
        g.tabs.nextKind = 0;
        g.tabs.nextLeader = 0;
        return;
      case W_QL: g.para.flags = (g.para.flags & ~(PF_CENTRED | PF_RIGHT | PF_JUSTIFIED)) | PF_LEFT; return;
      case W_QC: g.para.flags = (g.para.flags & ~(PF_RIGHT | PF_JUSTIFIED | PF_LEFT)) | PF_CENTRED; return;
      case W_QR: g.para.flags = (g.para.flags & ~(PF_CENTRED | PF_JUSTIFIED | PF_LEFT)) | PF_RIGHT; return;
      case W_QJ: g.para.flags = (g.para.flags & ~(PF_CENTRED | PF_RIGHT | PF_LEFT)) | PF_JUSTIFIED; return;
      case W_LI: g.para.leftIndent = twips(-31680, 31680); return;
      case W_RI: g.para.rightIndent = twips(-31680, 31680); return;
      case W_FI: g.para.firstIndent = twips(-31680, 31680); return;
      case W_SB: g.para.spaceBefore = twips(0, 31680); return;
      case W_SA: g.para.spaceAfter = twips(0, 31680); return;
      case W_SL: g.para.lineSpacing = twips(-31680, 31680); return;
      case W_TAB:
      case W_CELL: {
        const int32_t cell = tables_.TextCell();
        if (!cell) return Emit(WRX_TAB);
        if (tables_.CellMerged()) {
          MergedCellEnd(cell);
          tables_.EndCell();
          return;
        }
        Current().cell = cell;
        EndParagraph(w_->cellEnd);
        tables_.EndCell();
        return;
      }
      case W_LINE: Emit(WRX_LINEBREAK); return;
      case W_ROW: {
        const int32_t cell = tables_.EndRow();
        if (!cell) return EndParagraph(w_->paraEnd);
        MarkerLine(WRX_ROWEND);
        paragraphs.back().cell = cell;
        return;
      }
      case W_PAGE: MarkerLine(WRX_PAGEBREAK); return;
      case W_SECT: EndParagraph(w_->paraEnd); return;
      case W_U: {
        const int32_t u = p < 0 ? p + 65536 : p;
        const uint8_t b = From1252(u);
        Emit(b ? b : uint8_t('?'));
        skipChars_ = g.chars.unicodeSkip;
        return;
      }
      case W_UC: g.chars.unicodeSkip = std::clamp(p, 0, 10); return;
      case W_RED: pendingColour_ = (pendingColour_ & 0xFFFF00) | uint32_t(std::clamp(p, 0, 255)); return;
      case W_GREEN: pendingColour_ = (pendingColour_ & 0xFF00FF) | (uint32_t(std::clamp(p, 0, 255)) << 8); return;
      case W_BLUE: pendingColour_ = (pendingColour_ & 0x00FFFF) | (uint32_t(std::clamp(p, 0, 255)) << 16); return;
      case W_EMDASH: Emit(151); return;
      case W_ENDASH: Emit(150); return;
      case W_LQUOTE: Emit(145); return;
      case W_RQUOTE: Emit(146); return;
      case W_LDBLQUOTE: Emit(147); return;
      case W_RDBLQUOTE: Emit(148); return;
      case W_BULLET: Emit(149); return;
      case W_NBSP: Emit(WRX_LINEMARK); return;
      case W_HYPHEN: Emit('-'); return;
      case W_OPTHYPHEN: return;
      case W_ULDB: setStyle(0x100, on); return;
      case W_PROTECT: setStyle(0x200, on); return;
      case W_BOX: g.para.flags |= PF_BORDERSIDES, paraBorder_ = true; return;
      case W_BRDRT: g.para.flags |= PF_BORDERTOP, paraBorder_ = true; return;
      case W_BRDRB: g.para.flags |= PF_BORDERBOTTOM, paraBorder_ = true; return;
      case W_BRDRL: g.para.flags |= PF_BORDERLEFT, paraBorder_ = true; return;
      case W_BRDRR: g.para.flags |= PF_BORDERRIGHT, paraBorder_ = true; return;
      case W_BRDRDB:
        if (paraBorder_) g.para.flags |= PF_BORDERDOUBLE;
        return;
      case W_BRDRW:
        if (paraBorder_ && p >= 30) g.para.flags |= PF_BORDERTHICK;
        return;
      case W_SHADING: g.para.shading = twips(0, 10000); return;
      case W_KEEP: g.para.flags |= PF_KEEP; return;
      case W_KEEPN: g.para.flags |= PF_KEEPNEXT; return;
      case W_TLDOT: g.tabs.nextLeader = 1; return;
      case W_TLHYPH: g.tabs.nextLeader = 2; return;
      case W_TLUL: g.tabs.nextLeader = 4; return;
      case W_SLMULT:
        if (p == 1 && g.para.lineSpacing == 480) g.para.flags |= PF_DOUBLESPACE, g.para.lineSpacing = 0;
        return;
      case W_PN:
        // A bulleted paragraph's numbering group: the paragraph takes the bullet.
        if (stack_.size() >= 2) stack_[stack_.size() - 2].para.flags |= PF_BULLET;
        g.dest = GroupState::kSkip;
        return;
      case W_PICT:
        g.dest = GroupState::kPicture;
        pict_.clear();
        pictW_ = pictH_ = pictAlign_ = 0;
        pictDepth_ = stack_.size();
        return;
      case W_PICWGOAL: pictW_ = twips(0, 32767 * 20); return;
      case W_PICHGOAL: pictH_ = twips(0, 32767 * 20); return;
      case W_PICALIGN: pictAlign_ = twips(0, 2); return;
      case W_HEADER:
      case W_FOOTER: {
        // The group's text becomes a header or footer group between two
        // delimiter lines.
        const uint8_t delim = word == W_HEADER ? WRX_HEADERDELIM : WRX_FOOTERDELIM;
        g.para.flags = (g.para.flags & ~(PF_HEADER | PF_FOOTER)) | (word == W_HEADER ? PF_HEADER : PF_FOOTER);
        g.closes = delim;
        MarkerLine(delim, DelimiterPara(delim));
        return;
      }
      case W_STYLESHEET:
        EnsureDefaultStyles(w_);
        g.dest = GroupState::kStyleSheet;
        styleName_.clear();
        styleNumber_ = 0, styleKind_ = wrxstyle::kParaStyle;
        return;
      case W_S:
        if (g.dest == GroupState::kStyleSheet) {
          styleNumber_ = std::max(0, p), styleKind_ = wrxstyle::kParaStyle;
        } else {
          const auto it = paraStyles_.find(p);
          g.para.styleId = it == paraStyles_.end() ? 0 : it->second;
        }
        return;
      case W_CS:
        if (g.dest == GroupState::kStyleSheet) {
          styleNumber_ = std::max(0, p), styleKind_ = wrxstyle::kCharStyle;
        } else {
          const auto it = charStyles_.find(p);
          g.chars.charStyle = it == charStyles_.end() ? 1 : it->second;
        }
        return;
    }
  }

  // A picture group's hex digits, two to a byte.
  void PictureDigit(uint8_t c) {
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : -1;
    if (v < 0) return;
    if (halfByte_ < 0) {
      halfByte_ = v;
    } else {
      pict_.push_back(uint8_t(halfByte_ * 16 + v));
      halfByte_ = -1;
    }
  }

  // The picture group ended: the metafile becomes a picture character.
  void EndPicture() {
    halfByte_ = -1;
    const int32_t resX = w_->resX > 0 ? w_->resX : 96, resY = w_->resY > 0 ? w_->resY : 96;
    const int32_t width = MulDiv(pictW_, resX, 1440), height = MulDiv(pictH_, resY, 1440);
    const int id =
        pict_.empty() ? 0 : PictureFromMetafileBits(w_, pict_.data(), pict_.size(), width, height, pictAlign_);
    pict_.clear();
    if (id > 0) {
      Paragraph& p = Current();
      p.text.push_back('_');
      p.ids.push_back(uint8_t(id));
    }
  }

  // One stylesheet entry ended: it becomes an item of the window's style
  // sheet, or names one the window has ("Normal", the same name).
  void EndStyle() {
    while (!styleName_.empty() && styleName_.back() == ' ') styleName_.pop_back();
    const std::string name = styleName_;
    const int32_t number = styleNumber_, kind = styleKind_;
    styleName_.clear();
    styleNumber_ = 0, styleKind_ = wrxstyle::kParaStyle;
    if (name.empty()) return;
    const GroupState& g = Top();
    const bool para = kind == wrxstyle::kParaStyle;
    int id = para && number == 0 ? 0 : wrxstyle::FindByName(w_->styles, name.c_str());
    if (id < 0 && !styleTableFull_) {
      id = NewStyleSlot(w_);
      if (id < 0) styleTableFull_ = true;
    }
    if (id >= 2) {
      wrxstyle::WrxStyle s{};
      s.inUse = 1;
      wrxstyle::SetName(s, name.c_str());
      s.kind = kind;
      const auto face = g.chars.font >= 0 ? faces_.find(g.chars.font) : faces_.end();
      if (face != faces_.end()) strncpy(s.face, face->second.c_str(), 30);
      s.pointSize = g.chars.halfPoints > 0 ? std::clamp(g.chars.halfPoints / 2, 1, 1638) : 0;
      s.style = int32_t(g.chars.style) & ~wrxstyle::kNotStyleBits;
      s.textColor = g.chars.colour > 0 && size_t(g.chars.colour) < colours_.size()
                        ? int32_t(colours_[size_t(g.chars.colour)])
                        : 0;
      s.backColor = int32_t(w_->backColor);
      if (para) {
        s.leftIndent = g.para.leftIndent, s.rightIndent = g.para.rightIndent, s.firstIndent = g.para.firstIndent;
        s.flags = g.para.flags & ~wrxstyle::kNotStyleFlags;
        s.shading = g.para.shading;
        s.spaceBefore = g.para.spaceBefore, s.spaceAfter = g.para.spaceAfter, s.lineSpacing = g.para.lineSpacing;
      }
      s.marker = para ? 0 : 1;
      s.rtfNumber = number;
      PutStyle(w_, id, s);
    }
    if (id >= 0) (para ? paraStyles_ : charStyles_)[number] = id;
  }

  void Finish() {
    if (!paragraphs.empty() && paragraphs.back().para < 0) {
      const int32_t para = ParaId(WithTabs(Top()));
      for (size_t k = paragraphs.size(); k-- > 0 && paragraphs[k].para < 0;) paragraphs[k].para = para;
    }
    for (Paragraph& p : paragraphs)
      if (p.para < 0) p.para = 0;
  }

  WrxWindow* w_;
  rtf::Tokenizer in_;
  std::vector<GroupState> stack_;
  wrxfmt::WrxParaRecord defaultPara_{};
  std::map<int32_t, std::string> faces_;
  std::vector<COLORREF> colours_;
  std::map<std::string, int> fontIds_;
  std::string fontName_;
  int32_t fontNumber_ = -1, defaultFont_ = 0;
  uint32_t pendingColour_ = 0;
  int32_t skipChars_ = 0;
  bool ignorable_ = false;
  bool tabsFull_ = false;
  bool paraBorder_ = false;  // the last border word was a paragraph's
  std::vector<uint8_t> pict_;
  int32_t pictW_ = 0, pictH_ = 0, pictAlign_ = 0, halfByte_ = -1;
  size_t pictDepth_ = 0;
  bool ended_ = false;
  struct LastFont {
    int32_t number = 0, halfPoints = 0;
    DWORD style = 0;
    int32_t colour = 0, charStyle = 0, paraStyle = 0;
    size_t facesSeen = 0, coloursSeen = 0;
    int id = -1;
  } lastFont_;
  std::string styleName_;
  int32_t styleNumber_ = 0, styleKind_ = wrxstyle::kParaStyle;
  bool styleTableFull_ = false;
  std::map<int32_t, int> paraStyles_, charStyles_;  // the document's numbers to the window's items
  RtfTables tables_{w_, &colours_};
};

// Puts paragraphs into lines at `line` (replacing nothing), for a window
// without word wrap the paragraph ends taken off.
int PlaceLines(WrxWindow* w, int32_t line, const std::vector<Paragraph>& paragraphs) {
  const int32_t count = int32_t(paragraphs.size());
  if (count == 0) return 1;
  if (!ExpandLineArray(w, w->lineCount + count)) return WrxErrorBox(w, 86, "RtfRead");
  if (!ShiftLines(w, line, count, 'B')) return WrxErrorBox(w, 86, "RtfRead");
  for (int32_t k = 0; k < count; ++k) {
    const Paragraph& p = paragraphs[size_t(k)];
    std::string text = p.text;
    std::vector<uint8_t> ids = p.ids;
    if (!w->arg.wordWrap && !text.empty() && uint8_t(text.back()) == w->paraEnd) {
      text.pop_back();
      ids.pop_back();
    }
    ids.push_back(0);
    SetWrxLine(w->hwnd, line + k, text.c_str(), ids.data());
    w->lines[line + k]->para = p.para;
    w->lines[line + k]->cell = p.cell;
    SetLineFlagsFromText(w, line + k);
  }
  return 1;
}

}  // namespace

int RtfRead(WrxWindow* w, int mode, const uint8_t* data, size_t size) {
  {
    // Only a document that starts as RTF replaces the window's.
    rtf::Tokenizer probe(data, size);
    if (probe.Next().kind != rtf::TokenKind::kGroupOpen) return 0;
    const rtf::Token first = probe.Next();
    if (first.kind != rtf::TokenKind::kControl || first.word != "rtf") return 0;
  }
  if (mode != 2) ResetWrxDocument(w);
  Reader reader(w, data, size);
  if (!reader.Read()) return 0;
  if (mode != 2) {
    if (!PlaceLines(w, 0, reader.paragraphs)) return 0;
    // The empty line the reset left goes when the document brought lines.
    if (w->lineCount > 1 && reader.paragraphs.size() > 0 && w->lines[w->lineCount - 1]->length == 0)
      ShiftLines(w, w->lineCount - 1, 1, 'D');
    FinishRtfTables(w);
    w->curLine = w->curCol = w->firstLine = 0;
    w->modified = 0;
    return 1;
  }
  // Insert: the cursor's line is split and the paragraphs go between.
  const int32_t line = std::clamp(w->curLine, 0, w->lineCount - 1);
  const WrxLine* l = w->lines[line];
  const int32_t col = std::clamp(w->curCol, 0, l->length);
  std::string head(l->text ? l->text : "", size_t(col)), tail(l->text ? l->text + col : "", size_t(l->length - col));
  std::vector<uint8_t> headIds, tailIds;
  for (int32_t k = 0; k < l->length; ++k) (k < col ? headIds : tailIds).push_back(uint8_t(GetCharFont(w, line, k)));
  std::vector<Paragraph> lines = reader.paragraphs;
  if (lines.empty()) return 1;
  lines.front().text.insert(0, head);
  lines.front().ids.insert(lines.front().ids.begin(), headIds.begin(), headIds.end());
  Paragraph& last = lines.back();
  const bool lastEnded = !last.text.empty() && uint8_t(last.text.back()) == w->paraEnd;
  int32_t endLine = line + int32_t(lines.size()) - 1;
  int32_t endCol = int32_t(last.text.size());
  if (!tail.empty()) {
    if (lastEnded) {
      lines.push_back(Paragraph{tail, tailIds, l->para});
    } else {
      last.text += tail;
      last.ids.insert(last.ids.end(), tailIds.begin(), tailIds.end());
    }
  }
  if (lastEnded) ++endLine, endCol = 0;
  if (!PlaceLines(w, line, lines)) return 0;
  ShiftLines(w, line + int32_t(lines.size()), 1, 'D');  // the line that was split
  FinishRtfTables(w);
  ++w->modified;
  w->curLine = std::min(endLine, w->lineCount - 1);
  w->curCol = std::min(endCol, w->lines[w->curLine]->length);
  return 1;
}

int InsertWrxRtf(HWND hwnd, const char* buffer, long size, long line, int col, int repaint) {
  WrxWindow* w = GetWrxWindow(hwnd);
  if (!w || !buffer) return 0;
  w->curLine = int32_t(std::clamp<long>(line, 0, w->lineCount - 1));
  w->curCol = std::clamp(col, 0, w->lines[w->curLine]->length);
  const size_t bytes = size < 0 ? strlen(buffer) : size_t(size);
  const int32_t first = w->curLine;
  const long startAbs = RowColToAbs(w, w->curLine, w->curCol);
  if (!RtfRead(w, 2, reinterpret_cast<const uint8_t*>(buffer), bytes)) return 0;
  if (w->arg.wordWrap) WordWrap(w, std::max(0, first - 1), w->curLine - first + 2);
  // One undo step takes the inserted range out again.
  const long endAbs = RowColToAbs(w, w->curLine, w->curCol) - 1;
  if (endAbs >= startAbs && SaveUndo(w, first, 0, first, 0, 'I') && !w->undoBusy && !w->undo.empty()) {
    w->undo.back().start = startAbs;
    w->undo.back().end = endAbs;
  }
  w->curRow = w->curLine - w->firstLine;
  if (repaint) {
    w->paintScope = 3;
    PaintWrx(w);
  }
  return 1;
}
