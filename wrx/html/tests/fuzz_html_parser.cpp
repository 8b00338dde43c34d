// Fuzz target: the whole reader over any bytes ends, writes no run longer
// than the pending-text limit, and keeps its tables within their bounds.
#include <cstdlib>

#include "wrx/html/html_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  html::HtmlOutput out = html::NullHtmlOutput();
  out.text = [](void*, const std::string& run, const html::RunFormat& f) {
    if (run.empty() || (run.size() > html::kMaxPendingText && !(f.bits & html::kHidden))) abort();
    if (f.style < 0 || f.style > 19) abort();
    return true;
  };
  out.picture = [](void*, const html::PictureRequest& r, bool& placed) {
    placed = r.src.size() % 2 == 0;
    return true;
  };
  out.field = [](void*, const html::FormTable& t, int index) {
    if (index < 0 || size_t(index) >= t.fields.size()) abort();
    return t.fields[index].name.size() < 60;
  };
  html::FormTable forms;
  html::ReaderSettings settings;
  settings.readOnly = size % 2 == 0;
  html::HtmlParse(data, size, out, settings, forms);
  if (forms.forms.size() > size_t(html::kMaxForms) || forms.fields.size() > size_t(html::kMaxFields)) abort();
  // A second read into the same control keeps to the same bounds.
  html::HtmlParse(data, size, out, settings, forms);
  if (forms.forms.size() > size_t(html::kMaxForms) || forms.fields.size() > size_t(html::kMaxFields)) abort();
  return 0;
}
