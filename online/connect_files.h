// Small file helpers the connection run shares (Win32).
#pragma once
#include <string>

// "<data><svc>\".
std::string ServiceDir(const char* service);
bool FileThere(const std::string& path);
// The whole file, read denying writers; false when it cannot be read.
bool ReadBytes(const std::string& path, std::string* bytes);
// Writes the bytes beside the file and moves them over it; false (the old
// file untouched) when any step failed.
bool WriteReplacing(const std::string& path, const std::string& bytes);
