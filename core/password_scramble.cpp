#include "core/password_scramble.h"

namespace {
const char kKey[] = "KELPAVRONU";
constexpr int kKeyLength = 10;
}  // namespace

void ScrambleIniPassword(const char* plain, char* out) {
  *out++ = '$';
  int position = 0;
  for (const char* p = plain ? plain : ""; *p; ++p) {
    int c = static_cast<signed char>(*p);
    if (c >= 33 && c != 127) {
      c = c + kKey[position] - 33;
      if (c > 126) c -= 94;
    }
    *out++ = static_cast<char>(c);
    position = (position + 1) % kKeyLength;
  }
  *out = 0;
}

void UnscrambleIniPassword(const char* stored, char* out) {
  if (!stored) stored = "";
  // "$" is the current form, "!" the older one with its own bounds.
  int low, span;
  if (*stored == '$') {
    low = 33;
    span = 94;
  } else if (*stored == '!') {
    low = 32;
    span = 95;
  } else {
    while ((*out++ = *stored++)) {}
    return;
  }
  int position = 0;
  for (const char* p = stored + 1; *p; ++p) {
    int c = static_cast<signed char>(*p);
    if (c >= low && c != 127) {
      c = c + low - kKey[position];
      if (c < low) c += span;
    }
    *out++ = static_cast<char>(c);
    position = (position + 1) % kKeyLength;
  }
  *out = 0;
}
