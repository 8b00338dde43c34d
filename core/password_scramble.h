// The form in which every settings file stores a password: "$" and the
// printable characters shifted by a cyclic key. Portable.
#pragma once

// out needs strlen(plain) + 2 bytes.
void ScrambleIniPassword(const char* plain, char* out);
// Reads the "$" form, the older "!" form, and plain values (copied as they
// are); out needs strlen(stored) + 1 bytes.
void UnscrambleIniPassword(const char* stored, char* out);
