// Writes a picture as a PNG file with stored deflate blocks, so no image
// library is needed and a person can open what a window test saved.
// Portable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testfs {

// rgb: width * height * 3 bytes, top row first; false when the sizes do not
// agree or the file could not be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace testfs
