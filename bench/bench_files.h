// Whole-file reads and writes for the benchmarks' fixtures and checks.
#pragma once
#include <cstdio>
#include <string>

inline std::string ReadAll(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  std::fclose(file);
  return bytes;
}

inline bool WriteAll(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
