// Command lines and handed-over switch texts of any bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "shell/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  CommandLine line;
  ParseCommandLine(text.c_str(), &line);
  HandoffSwitches handoff;
  ParseHandoffSwitches(reinterpret_cast<const char*>(data), size, &handoff);
  char link[HANDOFF_VALUE_MAX];
  std::memcpy(link, line.go, sizeof link - 1);
  link[sizeof link - 1] = 0;
  PrefixGoLink(link, sizeof link, true);
  return 0;
}
