// Small text rules of the HTML reader: entities, tag attributes, lengths and
// the geometry of a horizontal rule. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace html {

// The Windows-1252 character of an entity name ("eacute", "#233", "#x2019"),
// or -1 when the name means nothing (the entity then stays as typed).
int EntityCharacter(const char* name, size_t length);

// The value of the attribute named name (any case) in a tag's attribute
// text: 0 when it does not occur as an attribute, 1 with the value (empty
// for an attribute without "="). Quoted values may hold blanks and ">".
int HtmlGetAttr(const std::string& tagText, const char* name, std::string& value);
// The value at the start of text (after blanks): a quoted run, or up to the
// next blank. 1 when a quote opened or the value is not empty.
int HtmlGetAttrValue(const std::string& text, std::string& value);
// Hexadecimal digits of the first length characters; others keep their place.
uint32_t HtmlHexValue(const char* text, size_t length);

// An HTML length in twips: "12pt", "1in", "10mm", "2cm", "3pi", "2em",
// "96px" or a bare number of pixels at dotsPerInch. A trailing "%" sets
// *percent and gives the number itself (when percent is null it is taken as
// pixels).
int HtmlToTwips(const std::string& text, int dotsPerInch, bool* percent = nullptr);

// The paragraph words of a horizontal rule.
struct RuleParagraph {
  int left = 0, right = 0, firstLine = 0, lineSpacing = 0, shading = 0;
  uint32_t flags = 0;
};
// width >= 0 is a percentage of the text width, < 0 a length of -width
// twips; size 0 is a thin rule, > 0 twips, < 0 points; alignment 1024 left,
// 2 right, other centred.
RuleParagraph HtmlRuleIndents(int textWidthPixels, int dotsPerInch, int width, int size, int alignment);

}  // namespace html
