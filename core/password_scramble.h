// The form in which every settings file stores a password: "$" and the
// printable characters shifted by a cyclic key. Portable.
#pragma once
#include <cstddef>

// out needs strlen(plain) + 2 bytes; when it is smaller, out is left empty and
// the result is false.
bool ScrambleIniPassword(const char* plain, char* out, size_t outSize);
// Reads the "$" form, the older "!" form, and plain values (copied as they
// are); out needs strlen(stored) + 1 bytes, else it is left empty (false).
bool UnscrambleIniPassword(const char* stored, char* out, size_t outSize);
