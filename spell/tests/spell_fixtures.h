// Fixtures the spell tests build for themselves: scratch directories, small
// files, and compressed lexicons packed from word lists.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string Path(const std::string& name) const;

 private:
  std::string dir_;
};

void WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// The Debian word list the tests pack into a lexicon.
extern const char* const kWordListPath;
// The word list's words (Windows-1252), read once.
const std::vector<std::string>& WordList();
// Packs words into a .clx at path; fails the test on error.
void PackLexicon(const std::vector<std::string>& words, const std::string& path, uint16_t language = 1033);
