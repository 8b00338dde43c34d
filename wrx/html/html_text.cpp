#include "wrx/html/html_text.h"

#include <cstring>

namespace html {
namespace {

// The named characters 160-255, in order.
const char* const kLatin1[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// Characters of 128-159 in Windows-1252: entity name and Unicode value.
struct Extra {
  const char* name;
  uint16_t unicode;
  uint8_t code;
};
const Extra kExtras[] = {
    {"euro", 0x20AC, 0x80},   {"sbquo", 0x201A, 0x82},  {"fnof", 0x0192, 0x83},   {"bdquo", 0x201E, 0x84},
    {"hellip", 0x2026, 0x85}, {"dagger", 0x2020, 0x86}, {"Dagger", 0x2021, 0x87}, {"circ", 0x02C6, 0x88},
    {"permil", 0x2030, 0x89}, {"Scaron", 0x0160, 0x8A}, {"lsaquo", 0x2039, 0x8B}, {"OElig", 0x0152, 0x8C},
    {"Zcaron", 0x017D, 0x8E}, {"lsquo", 0x2018, 0x91},  {"rsquo", 0x2019, 0x92},  {"ldquo", 0x201C, 0x93},
    {"rdquo", 0x201D, 0x94},  {"bull", 0x2022, 0x95},   {"ndash", 0x2013, 0x96},  {"mdash", 0x2014, 0x97},
    {"tilde", 0x02DC, 0x98},  {"trade", 0x2122, 0x99},  {"scaron", 0x0161, 0x9A}, {"rsaquo", 0x203A, 0x9B},
    {"oelig", 0x0153, 0x9C},  {"zcaron", 0x017E, 0x9E}, {"Yuml", 0x0178, 0x9F},
};

bool Same(const char* name, size_t length, const char* known) {
  return std::strlen(known) == length && std::memcmp(name, known, length) == 0;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }
bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

int EntityCharacter(const char* name, size_t length) {
  if (length == 0) return -1;
  if (name[0] == '#') {
    uint32_t v = 0;
    size_t i = 1;
    const bool hex = length > 1 && (name[1] == 'x' || name[1] == 'X');
    if (hex) ++i;
    if (i == length) return -1;
    for (; i < length; ++i) {
      const char c = name[i];
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (hex && Upper(c) >= 'A' && Upper(c) <= 'F')
        digit = Upper(c) - 'A' + 10;
      else
        return -1;
      v = v * (hex ? 16 : 10) + digit;
      if (v > 0x10FFFF) return -1;
    }
    if (v >= 1 && v <= 255) return int(v);
    for (const Extra& e : kExtras)
      if (e.unicode == v) return e.code;
    return -1;
  }
  static const struct {
    const char* name;
    char c;
  } kBasic[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& b : kBasic)
    if (Same(name, length, b.name)) return uint8_t(b.c);
  for (int i = 0; i < 96; ++i)
    if (Same(name, length, kLatin1[i])) return i == 0 ? ' ' : 160 + i;
  for (const Extra& e : kExtras)
    if (Same(name, length, e.name)) return e.code;
  return -1;
}

int HtmlGetAttrValue(const std::string& text, std::string& value) {
  size_t i = 0;
  while (i < text.size() && Blank(text[i])) ++i;
  value.clear();
  if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
    const char quote = text[i];
    const size_t end = text.find(quote, i + 1);
    value = text.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    return 1;
  }
  while (i < text.size() && !Blank(text[i])) value += text[i++];
  return value.empty() ? 0 : 1;
}

int HtmlGetAttr(const std::string& tagText, const char* name, std::string& value) {
  const size_t nameLength = std::strlen(name);
  size_t i = 0;
  value.clear();
  while (i < tagText.size()) {
    while (i < tagText.size() && Blank(tagText[i])) ++i;
    const size_t start = i;
    while (i < tagText.size() && !Blank(tagText[i]) && tagText[i] != '=') ++i;
    bool match = i - start == nameLength;
    for (size_t k = 0; match && k < nameLength; ++k) match = Upper(tagText[start + k]) == Upper(name[k]);
    size_t j = i;
    while (j < tagText.size() && Blank(tagText[j])) ++j;
    if (j < tagText.size() && tagText[j] == '=') {
      const std::string rest = tagText.substr(j + 1);
      if (match) return HtmlGetAttrValue(rest, value);
      // Skip the value, quoted or not.
      ++j;
      while (j < tagText.size() && Blank(tagText[j])) ++j;
      if (j < tagText.size() && (tagText[j] == '"' || tagText[j] == '\'')) {
        const size_t end = tagText.find(tagText[j], j + 1);
        j = end == std::string::npos ? tagText.size() : end + 1;
      } else {
        while (j < tagText.size() && !Blank(tagText[j])) ++j;
      }
      i = j;
    } else {
      if (match && i > start) return 1;
      if (i == start) ++i;  // a stray "=" or quote
    }
  }
  return 0;
}

uint32_t HtmlHexValue(const char* text, size_t length) {
  uint32_t v = 0;
  for (size_t i = 0; i < length && text[i]; ++i) {
    const char c = Upper(text[i]);
    const uint32_t digit = c >= '0' && c <= '9' ? uint32_t(c - '0') : c >= 'A' && c <= 'F' ? uint32_t(c - 'A' + 10) : 0;
    v = v * 16 + digit;
  }
  return v;
}

int HtmlToTwips(const std::string& text, int dotsPerInch, bool* percent) {
  std::string t;
  for (char c : text)
    if (!Blank(c)) t += Upper(c);
  if (percent) *percent = false;
  if (dotsPerInch <= 0) dotsPerInch = 96;
  enum Unit { kPixels, kPt, kPi, kIn, kMm, kCm, kEm, kPercent } unit = kPixels;
  if (t.size() > 2) {
    static const struct {
      const char* name;
      Unit unit;
    } kUnits[] = {{"PT", kPt}, {"PI", kPi}, {"IN", kIn}, {"MM", kMm}, {"CM", kCm}, {"EM", kEm}, {"PX", kPixels}};
    for (const auto& u : kUnits)
      if (t.compare(t.size() - 2, 2, u.name) == 0) {
        unit = u.unit;
        t.resize(t.size() - 2);
        break;
      }
  }
  if (unit == kPixels && !t.empty() && t.back() == '%' && percent) unit = kPercent;
  int64_t n = 0;
  size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (negative || (!t.empty() && t[0] == '+')) ++i;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
    if (n < 1000000) n = n * 10 + (t[i] - '0');
  if (negative) n = -n;
  int64_t twips;
  switch (unit) {
    case kPt: twips = n * 20; break;
    case kPi: twips = n * 240; break;
    case kIn: twips = n * 1440; break;
    case kMm: twips = (n * 14400 + (n < 0 ? -127 : 127)) / 254; break;
    case kCm: twips = (n * 144000 + (n < 0 ? -127 : 127)) / 254; break;
    case kEm: twips = n * 240; break;
    case kPercent:
      *percent = true;
      twips = n;
      break;
    default: twips = n * 1440 / dotsPerInch; break;
  }
  return int(twips);
}

RuleParagraph HtmlRuleIndents(int textWidthPixels, int dotsPerInch, int width, int size, int alignment) {
  RuleParagraph r;
  if (dotsPerInch <= 0) dotsPerInch = 96;
  if (textWidthPixels < 0) textWidthPixels = 0;
  if (size == 0) {
    r.flags = 528;
    r.lineSpacing = -15;
  } else {
    r.shading = 8000;
    r.flags = 160;
    const int t = size > 0 ? size : (size < -1000 ? 20000 : -size * 20);
    r.lineSpacing = -(t > 20000 ? 20000 : t);
  }
  int side;
  if (width >= 0) {
    const int w = width > 100 ? 100 : width;
    side = int(int64_t(textWidthPixels) * (100 - w) / 100 / 2 * 1440 / dotsPerInch);
  } else {
    const int64_t textTwips = int64_t(textWidthPixels) * 1440 / dotsPerInch;
    const int64_t rule = -int64_t(width) < textTwips ? -int64_t(width) : textTwips;
    side = int((textTwips - rule) / 2);
  }
  r.left = r.right = side;
  if (alignment == 1024) {
    r.right += r.left;
    r.left = 0;
  } else if (alignment == 2) {
    r.left += r.right;
    r.right = 0;
  }
  return r;
}

}  // namespace html
