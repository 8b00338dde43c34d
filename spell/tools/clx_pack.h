// Builds a compressed lexicon image from a word list (Windows-1252 words).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ClxPackStats {
  uint32_t words = 0;    // words packed
  uint32_t skipped = 0;  // words left out (too long, control bytes, duplicates)
  uint32_t smallWords = 0;
  uint32_t segments = 0;
  uint32_t largestSegment = 0;
};

// False (with a reason) when the list cannot be packed, e.g. 1024 small words.
bool ClxPack(const std::vector<std::string>& words, uint16_t language, std::vector<uint8_t>& image, ClxPackStats& stats,
             std::string& error);

// A UTF-8 line as Windows-1252; false when it holds a character 1252 lacks.
bool Utf8To1252(const std::string& utf8, std::string& out);

// Reads a word list (one word a line, UTF-8 or 1252) and packs it into a file.
bool ClxPackFile(const char* wordListPath, const char* clxPath, uint16_t language, ClxPackStats& stats,
                 std::string& error);
