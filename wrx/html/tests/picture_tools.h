// Fixtures for the decoder tests: test pictures written as PPM/PGM, the
// distribution's command-line tools run on them, and DIB pixel access.
// Native only: the tools are Linux programs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pictest {

// An RGB picture, rows top-down, three bytes a pixel.
struct Rgb {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  const uint8_t* At(uint32_t x, uint32_t y) const { return &pixels[(size_t(y) * width + x) * 3]; }
};

// A picture with smooth ramps, hard edges and fine detail, so that every
// stage of a decoder shows in its pixels.
Rgb TestPicture(uint32_t width, uint32_t height, bool grey);
std::string ToPnm(const Rgb& picture, bool grey);
// Reads a binary P5/P6 file (grey becomes three equal samples).
bool FromPnm(const std::string& bytes, Rgb& picture);

// Runs a shell command line; true when it exits with 0.
bool Run(const std::string& commandLine);

// The DIB's pixel (x, y), y counted from the top, as red, green, blue.
bool DibPixels(const std::vector<uint8_t>& dib, Rgb& picture);

struct Difference {
  int maxDelta = 0;
  double psnr = 0;  // 99 when equal
};
Difference Compare(const Rgb& a, const Rgb& b);

}  // namespace pictest
