#include "wrx/html/tests/picture_tools.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pictest {

Rgb TestPicture(uint32_t width, uint32_t height, bool grey) {
  Rgb p;
  p.width = width;
  p.height = height;
  p.pixels.resize(size_t(width) * height * 3);
  uint32_t noise = 12345;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      noise = noise * 1103515245 + 12345;
      uint8_t* d = &p.pixels[(size_t(y) * width + x) * 3];
      const bool box = (x / 13 + y / 11) % 3 == 0;
      d[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
      d[1] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
      d[2] = box ? 230 : uint8_t(40 + ((noise >> 16) & 31));
      if (grey) d[0] = d[1] = d[2] = uint8_t((d[0] + d[1] + d[2]) / 3);
    }
  return p;
}

std::string ToPnm(const Rgb& picture, bool grey) {
  std::string out = std::string(grey ? "P5\n" : "P6\n") + std::to_string(picture.width) + " " +
                    std::to_string(picture.height) + "\n255\n";
  if (!grey) return out + std::string(picture.pixels.begin(), picture.pixels.end());
  for (size_t i = 0; i < picture.pixels.size(); i += 3) out += char(picture.pixels[i]);
  return out;
}

bool FromPnm(const std::string& bytes, Rgb& picture) {
  int fields[3];
  size_t pos = 2;
  if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return false;
  for (int& f : fields) {
    while (pos < bytes.size() && (bytes[pos] == ' ' || bytes[pos] == '\n' || bytes[pos] == '\r' || bytes[pos] == '\t'))
      ++pos;
    f = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9') f = f * 10 + (bytes[pos++] - '0');
  }
  ++pos;
  const bool grey = bytes[1] == '5';
  picture.width = fields[0];
  picture.height = fields[1];
  const size_t n = size_t(picture.width) * picture.height;
  if (bytes.size() < pos + n * (grey ? 1 : 3)) return false;
  picture.pixels.resize(n * 3);
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) picture.pixels[i * 3 + c] = uint8_t(bytes[pos + (grey ? i : i * 3 + c)]);
  return true;
}

bool Run(const std::string& commandLine) { return std::system(commandLine.c_str()) == 0; }

bool DibPixels(const std::vector<uint8_t>& dib, Rgb& picture) {
  if (dib.size() < 40) return false;
  auto get32 = [&](size_t at) { return uint32_t(dib[at] | dib[at + 1] << 8 | dib[at + 2] << 16 | dib[at + 3] << 24); };
  const uint32_t width = get32(4), height = get32(8), bits = dib[14] | dib[15] << 8, colours = get32(32);
  const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
  const size_t start = 40 + size_t(colours) * 4;
  if (dib.size() < start + stride * height) return false;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(size_t(width) * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = &dib[start + (height - 1 - y) * stride];
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* d = &picture.pixels[(size_t(y) * width + x) * 3];
      if (bits == 24) {
        d[0] = row[x * 3 + 2];
        d[1] = row[x * 3 + 1];
        d[2] = row[x * 3];
        continue;
      }
      const uint32_t index = (row[x * bits / 8] >> (8 - bits - (x * bits) % 8)) & ((1u << bits) - 1);
      if (index >= colours) return false;
      const uint8_t* q = &dib[40 + index * 4];
      d[0] = q[2];
      d[1] = q[1];
      d[2] = q[0];
    }
  }
  return true;
}

Difference Compare(const Rgb& a, const Rgb& b) {
  Difference d;
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) {
    d.maxDelta = 999;
    return d;
  }
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const int delta = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    if (delta > d.maxDelta) d.maxDelta = delta;
    sum += double(delta) * delta;
  }
  const double mse = a.pixels.empty() ? 0 : sum / a.pixels.size();
  d.psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
  return d;
}

}  // namespace pictest
