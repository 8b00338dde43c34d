// Feeds arbitrary "security.ww" contents to the rights reader.
#include "core/rights.h"

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::tmpfile();
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::rewind(file);
  ReadUserRightsFrom(file, "joe");
  std::rewind(file);
  ReadUserRightsFrom(file, "");
  std::fclose(file);
  return 0;
}
