// Arbitrary bytes through the editor's text rules: the parameter string, the
// mail-merge fields and placeholders, tabs, line ends, the caret rules and the
// autocorrect list; results must stay within their text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compose/editor_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string c = text.c_str();  // the rules take C strings
  ParseEditorParams(c.c_str());
  bool quoted = false;
  std::vector<std::string> fields = SplitMergeLine(c.c_str(), &quoted);
  if (fields.empty() || fields.size() > 10) std::abort();
  for (const std::string& f : fields)
    if (f.size() > 199) std::abort();
  ReplaceMergeFields(c, fields);
  IsSafeBoilerplateName(c.c_str());
  std::string expanded = ExpandTabs(c.c_str(), 1 + static_cast<int>(size % 9));
  if (expanded.find('\t') != std::string::npos) std::abort();
  std::string crlf = LineFeedsToCrLf(c);
  for (size_t i = 0; i < crlf.size(); ++i)
    if (crlf[i] == '\n' && (i == 0 || crlf[i - 1] != '\r')) std::abort();
  for (size_t caret = 0; caret <= c.size(); caret += 1 + c.size() / 16) {
    if (caret + DeleteWordRightLength(c.c_str(), c.size(), caret) > c.size()) std::abort();
    long letter = SentenceCapital(c.c_str(), caret);
    if (letter >= static_cast<long>(caret)) std::abort();
    size_t blanks = 0;
    AutoIndentBreak(c.c_str(), caret, &blanks);
    if (caret + blanks > c.size()) std::abort();
  }
  AutoCorrectList list;
  if (list.Load(text.data(), text.size()) && size > 0) {
    char buffer[64 + 64 + 256] = {};
    size_t n = c.size() < 63 ? c.size() : 63;
    std::memcpy(buffer, c.data(), n);
    list.CorrectWord(buffer, static_cast<int>(n), size % 2 == 0);
  }
  return 0;
}
