#include "core/password_scramble.h"

#include <cstring>

namespace {
const char kKey[] = "KELPAVRONU";
constexpr int kKeyLength = 10;
}  // namespace

bool ScrambleIniPassword(const char* plain, char* out, size_t outSize) {
  if (!out || !outSize) return false;
  if (!plain) plain = "";
  // A cut password would be a wrong one: nothing rather than part.
  if (std::strlen(plain) + 2 > outSize) {
    *out = 0;
    return false;
  }
  *out++ = '$';
  int position = 0;
  for (const char* p = plain; *p; ++p) {
    int c = static_cast<signed char>(*p);
    if (c >= 33 && c != 127) {
      c = c + kKey[position] - 33;
      if (c > 126) c -= 94;
    }
    *out++ = static_cast<char>(c);
    position = (position + 1) % kKeyLength;
  }
  *out = 0;
  return true;
}

bool UnscrambleIniPassword(const char* stored, char* out, size_t outSize) {
  if (!out || !outSize) return false;
  if (!stored) stored = "";
  if (std::strlen(stored) + 1 > outSize) {
    *out = 0;
    return false;
  }
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
    return true;
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
  return true;
}
