// Feeds arbitrary bytes to the import-text reader, as a queued file and as a
// log handed back for rebuilding: whatever it accepts must be writable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "standins/import/import_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (bool logForm : {false, true}) {
    ImportParseOptions options;
    options.service = "quorl";
    options.kind = size % 2 ? "inbox" : "messages";
    options.now = "Thu, 10 Dec 2026 14:00";
    options.logForm = logForm;
    ImportFile f = ParseImportText(text, options);
    if (!f.error.empty() && !f.messages.empty()) std::abort();
    for (const ImportedMessage& m : f.messages) {
      if (m.folder.find('/') == std::string::npos || m.folder.size() > 100) std::abort();
      if (m.author.empty() || m.author.find_first_of(" \t\r\n") != std::string::npos) std::abort();
      if (m.number < 0 || m.number >= 99999999) std::abort();
      std::string_view body = m.Body();
      if (!m.ownsBody && (body.data() < text.data() || body.data() + body.size() > text.data() + text.size()))
        std::abort();
      if (m.parentIndex >= static_cast<int>(f.messages.size())) std::abort();
    }
  }
  return 0;
}
