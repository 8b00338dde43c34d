#include "tests/support/files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace testfs {

std::string ReadWholeFile(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  char buffer[16384];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  std::fclose(f);
  return out;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::path(path), error);
}

bool MakeDirectory(const std::string& path) {
  std::error_code error;
  return fs::create_directories(fs::path(path), error) || fs::is_directory(fs::path(path), error);
}

TempDir::TempDir(const char* tag) {
  static std::atomic<unsigned> serial{0};
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = fs::path(".");
  // The clock and a counter keep parallel test programs and repeated
  // fixtures in one program apart.
  auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path dir = base / ("pl_" + std::string(tag) + "_" + std::to_string(stamp % 1000000007ULL) + "_" +
                           std::to_string(serial++));
    if (fs::create_directory(dir, error)) {
      path_ = dir.string();
      break;
    }
  }
  if (path_.empty()) path_ = base.string();
  char separator = static_cast<char>(fs::path::preferred_separator);
  if (path_.back() != separator) path_ += separator;
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(fs::path(path_), error);
}

}  // namespace testfs
