#include "browser/name_text.h"

#include <cstring>

#include "core/text1252.h"

bool HasUpperCase(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (ToLower1252(*p) != *p) return true;
  return false;
}

char* MakeSafeFileName(char* name) {
  static const char kKept[] = " $%'-_@~`!()^#&.";
  for (unsigned char* p = reinterpret_cast<unsigned char*>(name); *p; ++p) {
    *p = ToLower1252(*p);
    if (*p == 127 || IsAlnum1252(*p) || std::strchr(kKept, *p)) continue;
    *p = '_';
  }
  return name;
}
