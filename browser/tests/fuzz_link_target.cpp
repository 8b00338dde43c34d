// Arbitrary link text: our parser takes it or leaves it, and what it takes
// names a folder that fits.
#include <cstdint>
#include <cstring>
#include <string>

#include "browser/link_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string url(reinterpret_cast<const char*>(data), size);
  LinkTarget t;
  if (ParseProgramLink(url.c_str(), &t) && (std::strlen(t.folder) == 0 || std::strlen(t.folder) >= sizeof t.folder))
    __builtin_trap();
  char link[64];
  const size_t half = url.size() / 2;
  std::string code = url.substr(0, half), text = url.substr(half);
  if (BrowserLinkText(code.c_str(), text.c_str(), link, sizeof link) && std::strlen(link) >= sizeof link)
    __builtin_trap();
  if (FirstHashNumber(url.data(), url.size()) < 0) __builtin_trap();
  return 0;
}
