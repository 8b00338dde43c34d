// Feeds arbitrary text to the date parser, the subject cleaner, the escapes
// and the header-parameter reader.
#include "core/small_text.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // up to the first zero, as the callers pass it
  g_clockHooks.localZoneOffset = [] { return 0; };
  ParseDate(text.c_str());
  char reply[200];
  StripReplyPrefix(text.c_str(), reply, sizeof reply);
  std::string escaped = EscapeLine(text.c_str());
  if (escaped.size() < ESCAPED_LINE_MAX / 2 && text.size() < ESCAPED_LINE_MAX / 2 &&
      std::string(UnescapeLine(escaped.c_str())) != text)
    __builtin_trap();
  UnescapeLine(text.c_str());
  size_t half = text.size() / 2;
  std::string name = text.substr(half);
  std::string line = text.substr(0, half);
  char out[80];
  GetHeaderParam(line.c_str(), name.c_str(), out, sizeof out);
  FindLinePrefix(name.c_str(), line.c_str());
  return 0;
}
