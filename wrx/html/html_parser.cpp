// One pass over the document: characters become pending text in the format of
// the innermost open element; tags open and close elements, each container
// element a group copied from the one around it.
#include "wrx/html/html_parser.h"

#include <cstdio>
#include <cstring>

#include "wrx/html/html_text.h"

namespace html {
namespace {

constexpr size_t kMaxTagText = 2048;
constexpr size_t kMaxTitle = 127;

struct Group {
  int style = 0;
  uint32_t bits = 0;
  uint32_t colour = 0;
  ParaWords para;
  int listKind = 0, listLevel = 0, itemNumber = 0, listGroup = -1;
  bool pre = false, inAnchor = false, link = false;
};

bool Blank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
bool Letter(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Cut(const std::string& s, size_t n) { return s.size() > n ? s.substr(0, n) : s; }

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int Bounded(const std::string& text, int fallback, int low, int high) {
  if (text.empty()) return fallback;
  long v = 0;
  size_t i = 0;
  while (i < text.size() && Blank(uint8_t(text[i]))) ++i;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, any = true)
    if (v < 1000000) v = v * 10 + (text[i] - '0');
  if (!any) return fallback;
  return v < low ? low : v > high ? high : int(v);
}

class Parser {
 public:
  Parser(const uint8_t* data, size_t size, const HtmlOutput& out, const ReaderSettings& settings, FormTable& forms)
      : d_(data), n_(size), out_(out), s_(settings), forms_(forms), groups_(kMaxGroups) {}

  ReadResult Run() {
    while (!stop_ && pos_ < n_) {
      const uint8_t c = d_[pos_];
      if (c == '<' && pos_ + 1 < n_ && (d_[pos_ + 1] == '/' || d_[pos_ + 1] == '!' || Letter(d_[pos_ + 1]))) {
        ReadTag();
      } else if (c == '&') {
        ReadEntity();
      } else {
        ++pos_;
        TextChar(c);
      }
    }
    if (!Flush()) result_.completed = false;
    if (stop_) result_.completed = false;
    return result_;
  }

 private:
  Group& G() { return groups_[current_]; }

  // --- text -------------------------------------------------------------

  void TextChar(uint8_t c) {
    if (G().pre) {
      if (c == '\r') return;
      if (c == '\n') {
        EndParagraph(true);
        return;
      }
      Append(c);
      return;
    }
    if (Blank(c)) {
      // Runs of white space are one blank, and no paragraph starts with one.
      if (lastBlank_ || StartOfParagraph()) return;
      Append(' ');
      lastBlank_ = true;
      return;
    }
    Append(c);
  }

  bool StartOfParagraph() const {
    if (!textOutput_ || openField_ != -1) return false;
    return pending_.empty() ? (paraStart_ || lineBreak_) : uint8_t(pending_.back()) == kParaChar;
  }

  void ReadEntity() {
    size_t end = pos_ + 1;
    while (end < n_ && end - pos_ <= 19 && (Letter(d_[end]) || (d_[end] >= '0' && d_[end] <= '9') || d_[end] == '#'))
      ++end;
    if (end < n_ && d_[end] == ';') {
      const int c = EntityCharacter(reinterpret_cast<const char*>(d_ + pos_ + 1), end - pos_ - 1);
      if (c >= 0) {
        pos_ = end + 1;
        Append(uint8_t(c));
        return;
      }
    }
    ++pos_;
    Append('&');  // not an entity: stays as typed
  }

  void Append(uint8_t c) {
    // Control characters are the control's own codes (paragraph, page and
    // section breaks...): none comes from the page but the tab.
    if (c < 32 && c != '\t') return;
    if (c != ' ') lastBlank_ = false;
    if (!textOutput_) {
      if (collected_.size() < kMaxPendingText) collected_ += char(c);
      return;
    }
    if (openField_ >= 0) {
      FormField& f = forms_.fields[openField_];
      if (f.kind == kTextArea) {
        const size_t limit = size_t(f.lengthLimit > 0 ? f.lengthLimit - 1 : 0);
        if (c == kParaChar) {
          if (f.value.size() + 2 <= limit) f.value += "\r\n";
        } else if (f.value.size() < limit) {
          f.value += char(c);
        }
      } else if (openOption_ >= 0 && c != kParaChar) {
        std::string& t = f.options[openOption_].text;
        if (t.size() < 256 && !(c == ' ' && t.empty())) t += char(c);
      }
      return;
    }
    if (openField_ == -2) return;  // a field that is not made takes its text along
    pending_ += char(c);
    // A word longer than a run is written in pieces, not dropped.
    if (pending_.size() >= kMaxPendingText) Flush();
  }

  RunFormat Format() {
    RunFormat f;
    const Group& g = G();
    f.style = g.style;
    f.bits = g.bits;
    f.colour = g.colour;
    f.distinct = g.inAnchor;
    f.para = g.para;
    if ((g.para.kind & kKindInForm) && !s_.readOnly) f.para.shading = 7400;
    return f;
  }

  bool Write(const std::string& run, const RunFormat& format) {
    if (run.empty()) return true;
    if (!out_.text(out_.context, run, format)) {
      stop_ = true;
      return false;
    }
    const uint8_t last = uint8_t(run.back());
    paraStart_ = last == kParaChar || ((last == 18 || last == 19) && !G().pre);
    lineBreak_ = last == 15;
    return true;
  }

  bool Flush() {
    if (pending_.empty() || stop_) return !stop_;
    std::string run;
    run.swap(pending_);
    return Write(run, Format());
  }

  // Ends the paragraph with the paragraph character; unless forced, not
  // when the last text already ended one.
  void EndParagraph(bool force) {
    if (!textOutput_ || openField_ != -1) return;
    if (!force && StartOfParagraph()) return;
    pending_ += char(kParaChar);
    Flush();
  }

  // --- tags --------------------------------------------------------------

  void ReadTag() {
    if (n_ - pos_ >= 4 && std::memcmp(d_ + pos_, "<!--", 4) == 0) {
      // A comment runs to "-->", whatever it holds.
      size_t i = pos_ + 4;
      while (i + 2 < n_ && !(d_[i] == '-' && d_[i + 1] == '-' && d_[i + 2] == '>')) ++i;
      pos_ = i + 2 < n_ ? i + 3 : n_;
      return;
    }
    size_t i = pos_ + 1;
    std::string raw;
    while (i < n_ && d_[i] != '>') {
      if (raw.size() < kMaxTagText) raw += Blank(d_[i]) ? ' ' : char(d_[i]);
      ++i;
    }
    pos_ = i < n_ ? i + 1 : n_;
    size_t start = 0;
    while (start < raw.size() && raw[start] == ' ') ++start;
    size_t nameEnd = start;
    while (nameEnd < raw.size() && raw[nameEnd] != ' ') ++nameEnd;
    std::string name = raw.substr(start, nameEnd - start);
    std::string attrs = raw.substr(nameEnd);
    while (!attrs.empty() && attrs.front() == ' ') attrs.erase(0, 1);
    while (!attrs.empty() && attrs.back() == ' ') attrs.pop_back();
    if (!name.empty() && name.back() == '/') name.pop_back();  // <br/>
    const bool closing = !name.empty() && name[0] == '/';
    if (closing) name.erase(0, 1);
    for (char& c : name) c = Lower(c);
    word_ = name;
    closing_ = closing;
    Tag(name, attrs, closing);
    if (!closing && (name == "script" || name == "style")) SkipTo(name);
  }

  // Script and style bodies are not text to show.
  void SkipTo(const std::string& name) {
    const std::string end = "</" + name;
    for (size_t i = pos_; i + end.size() <= n_; ++i) {
      size_t k = 0;
      while (k < end.size() && Lower(char(d_[i + k])) == end[k]) ++k;
      if (k == end.size()) {
        pos_ = i;
        return;
      }
    }
    pos_ = n_;
  }

  bool Push() {
    if (current_ + 1 >= kMaxGroups) {
      result_.errorCode = 1;
      result_.errorText = "Ran out of Group Table for HTML data (GetHtmlWord).";
      stop_ = true;
      return false;
    }
    groups_[current_ + 1] = groups_[current_];
    ++current_;
    return true;
  }

  void Pop() {
    if (current_ > 0) --current_;
  }

  static uint32_t Alignment(const std::string& value) {
    if (SameText(value, "right")) return 0x0002;
    if (SameText(value, "center")) return 0x0001;
    if (SameText(value, "justify")) return 0x0800;
    return 0x0400;
  }
  static constexpr uint32_t kAlignBits = 0x0001 | 0x0002 | 0x0400 | 0x0800;

  void SetKindField(uint32_t& kind, int shift, uint32_t value) {
    kind = (kind & ~(7u << shift)) | ((value & 7u) << shift);
  }

  void Tag(const std::string& name, const std::string& attrs, bool closing) {
    if (!textOutput_ && name != "head" && name != "title" && name != "base" && name != "body") return;
    if (name != "p" && name != "br" && !Flush()) return;
    std::string v;
    const auto attr = [&](const char* n) { return HtmlGetAttr(attrs, n, v) != 0; };

    if (name == "head") {
      textOutput_ = closing;
    } else if (name == "title") {
      if (!closing) {
        titleOutput_ = textOutput_;
        textOutput_ = false;
        collected_.clear();
        inTitle_ = true;
      } else if (inTitle_) {
        inTitle_ = false;
        std::string t = collected_;
        while (!t.empty() && Blank(uint8_t(t.back()))) t.pop_back();
        while (!t.empty() && Blank(uint8_t(t.front()))) t.erase(0, 1);
        result_.title = Cut(t, kMaxTitle);
        out_.hostText(out_.context, 3274, result_.title);
        textOutput_ = titleOutput_;
      }
    } else if (name == "base") {
      if (!closing && attr("HREF")) out_.hostText(out_.context, 3279, v);
    } else if (name == "body") {
      if (closing) return;
      if (textOutput_ && !paraStart_) EndParagraph(false);
      textOutput_ = true;
      if (attr("BACKGROUND") && !v.empty()) out_.background(out_.context, v);
    } else if (name == "p") {
      EndParagraph(true);
      G().para.kind &= ~kKindListItem;
      if (closing) {
        G().para.flags &= ~(0x0001u | 0x0002u | 0x0800u);
      } else if (attr("ALIGN")) {
        G().para.flags = (G().para.flags & ~kAlignBits) | Alignment(v);
      }
    } else if (name == "br") {
      if (!closing) EndParagraph(true);
    } else if (name == "div") {
      if (!closing) EndParagraph(false);
    } else if (name == "center") {
      EndParagraph(false);
      if (!closing) {
        if (Push()) G().para.flags |= 0x0001;
      } else {
        Pop();
      }
    } else if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '7') {
      EndParagraph(false);
      if (closing) {
        Pop();
        return;
      }
      if (!Push()) return;
      const int n = name[1] - '0';
      Group& g = G();
      g.style = n;
      g.bits = 0;
      g.para.flags = 0;
      SetKindField(g.para.kind, 6, uint32_t(n));
      if (attr("ALIGN")) g.para.flags = Alignment(v);
    } else if (name == "pre" || name == "blockquote" || name == "address") {
      EndParagraph(false);
      if (closing) {
        Pop();
        return;
      }
      if (!Push()) return;
      Group& g = G();
      if (name == "pre") {
        g.pre = true;
        g.style = 12;
        g.para.placement |= 4;
        SetKindField(g.para.kind, 9, 4);
      } else if (name == "blockquote") {
        g.style = 9;
        g.para.leftIndent += 600;
        SetKindField(g.para.kind, 9, 1);
      } else {
        g.style = 8;
        SetKindField(g.para.kind, 9, 2);
      }
    } else if (name == "hr") {
      if (!closing) Rule(attrs);
    } else if (name == "ol" || name == "ul" || name == "menu" || name == "dir" || name == "dl") {
      EndParagraph(false);
      if (closing) {
        Pop();
        return;
      }
      if (!Push()) return;
      static const struct {
        const char* name;
        int kind, field, style;
      } kLists[] = {{"ol", 1, 1, 0}, {"ul", 2, 2, 0}, {"menu", 3, 4, 10}, {"dir", 4, 3, 11}, {"dl", 5, 5, 0}};
      for (const auto& l : kLists)
        if (name == l.name) {
          Group& g = G();
          g.listKind = l.kind;
          g.listLevel = g.listLevel < 7 ? g.listLevel + 1 : 7;
          SetKindField(g.para.kind, 3, uint32_t(l.field));
          SetKindField(g.para.kind, 0, uint32_t(g.listLevel));
          g.para.leftIndent = g.listLevel * 300 + (l.kind == 5 ? 0 : 300);
          g.para.firstIndent = 0;
          g.style = l.style;
          g.itemNumber = 1;
          g.listGroup = current_;
        }
    } else if (name == "li" || name == "dt" || name == "dd") {
      if (!closing) Item(name);
    } else if (name == "b" || name == "strong" || name == "dfn" || name == "i" || name == "em" || name == "cite" ||
               name == "u" || name == "strike" || name == "s" || name == "sup" || name == "sub") {
      const uint32_t bit = name == "i" || name == "em" || name == "cite" ? kItalic
                           : name == "u"                                 ? kUnderline
                           : name == "strike" || name == "s"             ? kStrike
                           : name == "sup"                               ? kSuper
                           : name == "sub"                               ? kSub
                                                                         : kBold;
      if (closing)
        G().bits &= ~bit;
      else
        G().bits |= bit;
    } else if (name == "tt" || name == "code" || name == "var" || name == "kbd" || name == "samp" || name == "tr" ||
               name == "hv" || name == "font") {
      if (closing) {
        Pop();
        return;
      }
      if (!Push()) return;
      static const struct {
        const char* name;
        int style;
      } kStyles[] = {{"tt", 19}, {"code", 13}, {"var", 14}, {"kbd", 15}, {"samp", 16}, {"tr", 17}, {"hv", 18}};
      for (const auto& st : kStyles)
        if (name == st.name) G().style = st.style;
      if (name == "font" && attr("COLOR")) G().colour = Colour(v);
    } else if (name == "a") {
      Anchor(attrs, closing);
    } else if (name == "form") {
      EndParagraph(false);
      if (closing) {
        Pop();
        form_ = -1;
        return;
      }
      if (!Push()) return;
      form_ = -1;
      if (int(forms_.forms.size()) < kMaxForms) {
        Form f;
        f.post = attr("METHOD") && !SameText(v, "GET");
        if (attr("ACTION")) f.action = Cut(v, 99);
        forms_.forms.push_back(f);
        form_ = int(forms_.forms.size()) - 1;
      }
      G().para.kind |= kKindInForm;
    } else if (name == "input") {
      if (!closing) Input(attrs);
    } else if (name == "textarea" || name == "select") {
      if (!closing)
        OpenField(name, attrs);
      else
        CloseField();
    } else if (name == "option") {
      if (!closing) Option(attrs);
    } else if (name == "img") {
      if (!closing) Image(attrs, -1);
    }
  }

  uint32_t Colour(const std::string& value) {
    uint32_t c;
    if (SameText(value, "red"))
      c = 0x0000FF;
    else if (SameText(value, "green"))
      c = 0x008000;
    else if (SameText(value, "blue"))
      c = 0xFF0000;
    else {
      const std::string hex = !value.empty() && value[0] == '#' ? value.substr(1) : value;
      const uint32_t r = hex.size() >= 2 ? HtmlHexValue(hex.c_str(), 2) : 0;
      const uint32_t g = hex.size() >= 4 ? HtmlHexValue(hex.c_str() + 2, 2) : 0;
      const uint32_t b = hex.size() >= 6 ? HtmlHexValue(hex.c_str() + 4, 2) : 0;
      c = r | g << 8 | b << 16;
    }
    // Text in the page's own colour would not show.
    if (c == s_.pageColour) c = c == 0 ? 0xFFFFFF : 0;
    return c;
  }

  void Rule(const std::string& attrs) {
    EndParagraph(false);
    std::string v;
    int size = 0;
    if (HtmlGetAttr(attrs, "SIZE", v)) size = HtmlToTwips(v, s_.dotsPerInchX);
    int width = 100;
    if (HtmlGetAttr(attrs, "WIDTH", v)) {
      bool percent = false;
      const int t = HtmlToTwips(v, s_.dotsPerInchY, &percent);
      if (percent) {
        width = t < 0 ? 0 : t > 100 ? 100 : t;
      } else {
        const int textTwips = s_.textWidthPixels * 1440 / (s_.dotsPerInchX > 0 ? s_.dotsPerInchX : 96);
        width = -(t < 0 ? 0 : t > textTwips ? textTwips : t);
      }
    }
    int alignment = 0;
    if (HtmlGetAttr(attrs, "ALIGN", v)) alignment = SameText(v, "left") ? 1024 : SameText(v, "right") ? 2 : 0;
    const RuleParagraph r = HtmlRuleIndents(s_.textWidthPixels, s_.dotsPerInchX, width, size, alignment);
    RunFormat f = Format();
    f.para.leftIndent = r.left;
    f.para.rightIndent = r.right;
    f.para.firstIndent = r.firstLine;
    f.para.lineSpacing = r.lineSpacing;
    f.para.shading = r.shading;
    f.para.flags = r.flags;
    SetKindField(f.para.kind, 9, 3);
    Write(std::string(1, char(kParaChar)), f);
  }

  void Item(const std::string& name) {
    EndParagraph(false);
    Group& g = G();
    const int list = g.listGroup >= 0 && g.listGroup <= current_ ? g.listGroup : current_;
    g.para.kind |= kKindListItem;
    if (name == "li") {
      for (int i = list; i <= current_; ++i) {
        groups_[i].para.firstIndent = -300;
        groups_[i].para.kind = (groups_[i].para.kind & ~kKindTerm) | kKindListItem;
      }
      if (s_.readOnly && g.listKind >= 1 && g.listKind <= 4) {
        char mark[24];
        if (g.listKind == 1)
          std::snprintf(mark, sizeof mark, " %d.\t", groups_[list].itemNumber);
        else
          std::snprintf(mark, sizeof mark, " \x95\t");
        Write(mark, Format());
      }
      if (groups_[list].itemNumber < 1000000) ++groups_[list].itemNumber;
    } else if (name == "dt") {
      g.para.kind |= kKindTerm;
      g.para.firstIndent = 0;
    } else {
      g.para.kind &= ~kKindTerm;
      for (int i = list; i <= current_; ++i) {
        groups_[i].para.firstIndent = 0;
        groups_[i].bits &= ~kBold;
      }
    }
  }

  void Anchor(const std::string& attrs, bool closing) {
    if (closing) {
      if (G().inAnchor) Pop();
      return;
    }
    if (G().inAnchor) Pop();
    if (!Push()) return;
    // The tag's text, hidden, is the code the control hands back with a click
    // and what an in-page jump searches for.
    if (!attrs.empty()) {
      RunFormat hidden = Format();
      hidden.bits |= kHidden;
      if (!Write(attrs, hidden)) return;
    }
    std::string v;
    if (HtmlGetAttr(attrs, "HREF", v)) {
      out_.hostText(out_.context, 3280, v);
      G().colour = s_.linkColour;
      G().bits |= s_.linkBits;
      G().link = true;
    }
    G().inAnchor = true;
  }

  // A new field of the open form; -1 when the tables are full or no form is open.
  int NewField(FieldKind kind, const std::string& attrs) {
    if (form_ < 0 || int(forms_.fields.size()) >= kMaxFields) return -1;
    FormField f;
    f.kind = kind;
    f.form = form_;
    std::string v;
    if (HtmlGetAttr(attrs, "NAME", v)) f.name = Cut(v, 59);
    if (HtmlGetAttr(attrs, "VALUE", v)) {
      f.hasValue = true;
      f.value = Cut(v, kMaxTextAreaText);
    }
    f.checked = HtmlGetAttr(attrs, "CHECKED", v) != 0;
    forms_.fields.push_back(f);
    return int(forms_.fields.size()) - 1;
  }

  bool MakeField(int index) {
    if (!out_.field(out_.context, forms_, index)) {
      Abort();
      return false;
    }
    return true;
  }

  void Abort() {
    char line[200];
    std::snprintf(line, sizeof line, "pos: %ld, control: %d, beg group: %d, end group: %d, word: %.40s, word len: %d",
                  long(pos_), 1, closing_ ? 0 : 1, closing_ ? 1 : 0, word_.c_str(), int(word_.size()));
    result_.aborted = true;
    result_.diagnostic = line;
    stop_ = true;
  }

  void Input(const std::string& attrs) {
    std::string type;
    HtmlGetAttr(attrs, "TYPE", type);
    static const struct {
      const char* name;
      FieldKind kind;
    } kTypes[] = {{"password", kPassword}, {"checkbox", kCheckBox},  {"radio", kRadio},     {"submit", kSubmit},
                  {"reset", kReset},       {"hidden", kHiddenField}, {"image", kImageField}};
    FieldKind kind = kText;
    for (const auto& t : kTypes)
      if (SameText(type, t.name)) kind = t.kind;
    const int index = NewField(kind, attrs);
    if (index < 0) return;
    FormField& f = forms_.fields[index];
    std::string v;
    f.size = Bounded(HtmlGetAttr(attrs, "SIZE", v) ? v : "", 40, 1, 200);
    f.lengthLimit = Bounded(HtmlGetAttr(attrs, "MAXLENGTH", v) ? v : "", 0, 0, 32000);
    if (kind == kRadio) {
      // One checked button per name in a form: a later CHECKED wins, and the
      // first of a name is checked when none is.
      bool other = false;
      for (int i = 0; i < index; ++i) {
        FormField& o = forms_.fields[i];
        if (o.kind != kRadio || o.form != f.form || o.name != f.name || !o.checked) continue;
        if (f.checked) {
          o.checked = false;
          out_.resetField(out_.context, forms_, i);
        } else {
          other = true;
        }
      }
      if (!other) f.checked = true;
    }
    if (kind == kImageField) {
      HtmlGetAttr(attrs, "SRC", f.src);
      HtmlGetAttr(attrs, "ALT", f.alt);
      Image(attrs, index);
      return;
    }
    MakeField(index);
  }

  void OpenField(const std::string& name, const std::string& attrs) {
    CloseField();
    const int index = NewField(name == "textarea" ? kTextArea : kList, attrs);
    openField_ = index < 0 ? -2 : index;
    openOption_ = -1;
    if (index < 0) return;
    FormField& f = forms_.fields[index];
    std::string v;
    if (f.kind == kTextArea) {
      f.rows = Bounded(HtmlGetAttr(attrs, "ROWS", v) ? v : "", 3, 1, 100);
      f.cols = Bounded(HtmlGetAttr(attrs, "COLS", v) ? v : "", 40, 1, 200);
      f.lengthLimit = f.rows * f.cols + 1;
      f.value.clear();
      f.hasValue = false;
    } else {
      f.multiple = HtmlGetAttr(attrs, "MULTIPLE", v) != 0;
      f.size = Bounded(HtmlGetAttr(attrs, "SIZE", v) ? v : "", f.multiple ? 5 : 1, 1, 100);
    }
  }

  void CloseField() {
    const int index = openField_;
    openField_ = -1;
    openOption_ = -1;
    if (index >= 0) MakeField(index);
  }

  void Option(const std::string& attrs) {
    if (openField_ < 0) return;
    FormField& f = forms_.fields[openField_];
    if (f.kind != kList || int(f.options.size()) >= kMaxOptions) {
      openOption_ = -1;
      return;
    }
    FormOption o;
    std::string v;
    o.selected = HtmlGetAttr(attrs, "SELECTED", v) != 0;
    if (HtmlGetAttr(attrs, "VALUE", v)) o.value = Cut(v, 256);
    f.options.push_back(o);
    openOption_ = int(f.options.size()) - 1;
  }

  void Image(const std::string& attrs, int fieldIndex) {
    PictureRequest r;
    std::string v;
    if (HtmlGetAttr(attrs, "ALIGN", v)) r.alignment = SameText(v, "middle") ? 1 : SameText(v, "top") ? 2 : 0;
    r.imageMap = HtmlGetAttr(attrs, "ISMAP", v) != 0;
    HtmlGetAttr(attrs, "SRC", r.src);
    HtmlGetAttr(attrs, "ALT", r.alt);
    r.link = G().link || fieldIndex >= 0;
    r.fieldIndex = fieldIndex;
    r.format = Format();
    bool placed = false;
    if (!r.src.empty()) {
      if (!out_.picture(out_.context, r, placed)) {
        Abort();
        return;
      }
    }
    if (!placed)
      for (char c : Cut(r.alt, kMaxPendingText)) Append(uint8_t(c));
  }

  const uint8_t* d_;
  size_t n_;
  size_t pos_ = 0;
  const HtmlOutput& out_;
  const ReaderSettings& s_;
  FormTable& forms_;
  ReadResult result_;
  std::vector<Group> groups_;
  int current_ = 0;
  std::string pending_, collected_, word_;
  bool closing_ = false;
  bool textOutput_ = true, titleOutput_ = true, inTitle_ = false;
  bool paraStart_ = true, lineBreak_ = true, lastBlank_ = false;
  bool stop_ = false;
  int form_ = -1, openField_ = -1, openOption_ = -1;
};

bool NoText(void*, const std::string&, const RunFormat&) { return true; }
void NoHostText(void*, int, const std::string&) {}
bool NoPicture(void*, const PictureRequest&, bool& placed) {
  placed = false;
  return true;
}
void NoBackground(void*, const std::string&) {}
bool NoField(void*, const FormTable&, int) { return true; }
void NoReset(void*, const FormTable&, int) {}

}  // namespace

HtmlOutput NullHtmlOutput() { return {nullptr, NoText, NoHostText, NoPicture, NoBackground, NoField, NoReset}; }

ReadResult HtmlParse(const uint8_t* data, size_t size, const HtmlOutput& out, const ReaderSettings& settings,
                     FormTable& forms) {
  Parser p(data, size, out, settings, forms);
  return p.Run();
}

}  // namespace html
