#include "spell/tests/spell_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "spell/tools/clx_pack.h"

namespace fs = std::filesystem;

const char* const kWordListPath = "/usr/share/dict/american-english";

ScratchDir::ScratchDir() {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path p =
      fs::temp_directory_path() / ("spelltest-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
  fs::create_directories(p);
  dir_ = p.string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string ScratchDir::Path(const std::string& name) const { return (fs::path(dir_) / name).string(); }

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  // Text files written on Windows end their lines in CR LF.
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

const std::vector<std::string>& WordList() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> list;
    std::ifstream in(kWordListPath, std::ios::binary);
    std::string line, word;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (Utf8To1252(line, word) && !word.empty()) list.push_back(word);
    }
    return list;
  }();
  return words;
}

void PackLexicon(const std::vector<std::string>& words, const std::string& path, uint16_t language) {
  std::vector<uint8_t> image;
  ClxPackStats stats;
  std::string error;
  ASSERT_TRUE(ClxPack(words, language, image, stats, error)) << error;
  WriteFileBytes(path, image);
}
