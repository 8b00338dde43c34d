// Arbitrary header lines, folder names and fields: an action line never
// holds more line breaks than its form, and the header rewrites stay bounded.
#include <cstdint>
#include <string>

#include "browser/message_actions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const size_t a = in.find('\n');
  const std::string header = in.substr(0, a);
  const std::string rest = a == std::string::npos ? "" : in.substr(a + 1);
  const size_t b = rest.find('\n');
  const std::string source = rest.substr(0, b);
  const std::string dest = b == std::string::npos ? "" : rest.substr(b + 1);
  std::string note;
  const std::string line = ImportHeaderLine(header, source, dest, source, 5, &note);
  if (line.size() > header.size() + dest.size() + 32) __builtin_trap();
  for (long parent : {0L, 49L}) {
    const std::string rethreaded = RethreadHeader(in, parent);
    if (rethreaded.size() > in.size() + 40) __builtin_trap();
    if (in.compare(0, 3, ">>>") == 0 && rethreaded.compare(0, 3, ">>>") != 0) __builtin_trap();
  }
  ValidSendToName(CleanFolderName(in));
  FetchRequest r;
  r.user = header;
  r.folder = source;
  r.messageId = dest;
  for (FetchKind k : {FetchKind::kMail, FetchKind::kDravenet, FetchKind::kNews, FetchKind::kLibraryList}) {
    r.kind = k;
    int breaks = 0;
    for (char c : FetchActionLines(r)) breaks += c == '\n';
    if (breaks > 14) __builtin_trap();
  }
  return 0;
}
