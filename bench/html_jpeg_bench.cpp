// Decodes baseline JPEG pictures of about 1 and 12 Mpixel, 4:4:4 and 4:2:0,
// made here with libjpeg, with the HTML reader's JpgDecode and with libjpeg's
// decompressor (accurate integer DCT, no fancy upsampling) in the same run;
// checks that both give the same pixels within 4 levels and prints the ratio.
//
//   html_jpeg_bench [repeats]
#include <cstddef>
#include <cstdio>
// libjpeg's header needs size_t and FILE first.
#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wrx/html/jpeg_decode.h"

namespace {

std::vector<uint8_t> MakeJpeg(int width, int height, int hSampling, int vSampling) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  uint32_t noise = 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245 + 12345;
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(x * 255 / width);
      p[1] = uint8_t((x / 16 + y / 16) % 2 ? 200 : 40);
      p[2] = uint8_t((y * 255 / height + ((noise >> 16) & 15)) & 255);
    }
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = width;
  c.image_height = height;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 85, TRUE);
  c.comp_info[0].h_samp_factor = hSampling;
  c.comp_info[0].v_samp_factor = vSampling;
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = &rgb[size_t(c.next_scanline) * width * 3];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&c);
  free(out);
  return bytes;
}

std::vector<uint8_t> LibjpegDecode(const std::vector<uint8_t>& jpeg, int& width, int& height) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), jpeg.size());
  jpeg_read_header(&d, TRUE);
  d.dct_method = JDCT_ISLOW;
  d.do_fancy_upsampling = FALSE;
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  width = d.output_width;
  height = d.output_height;
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = &rgb[size_t(d.output_scanline) * width * 3];
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return rgb;
}

template <typename F>
double BestSeconds(int repeats, F f) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  // Both decoders in plain C: libjpeg's SIMD paths off.
  setenv("JSIMD_FORCENONE", "1", 1);
  const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  struct Case {
    const char* name;
    int width, height, h, v;
  } cases[] = {{"1 Mpixel 4:4:4", 1152, 864, 1, 1},
               {"1 Mpixel 4:2:0", 1152, 864, 2, 2},
               {"12 Mpixel 4:4:4", 4000, 3000, 1, 1},
               {"12 Mpixel 4:2:0", 4000, 3000, 2, 2}};
  bool ok = true;
  double worst = 0;
  for (const Case& c : cases) {
    const std::vector<uint8_t> jpeg = MakeJpeg(c.width, c.height, c.h, c.v);
    int w = 0, h = 0;
    const std::vector<uint8_t> reference = LibjpegDecode(jpeg, w, h);
    const html::DecodedPicture ours = html::JpgDecode(jpeg.data(), jpeg.size());
    // Same pixels within 4 levels.
    int maxDelta = 999;
    if (!ours.dib.empty() && ours.errorCode == 0) {
      maxDelta = 0;
      const size_t stride = html::DibStride(w, 24);
      for (int y = 0; y < h; ++y) {
        const uint8_t* row = &ours.dib[html::kDibHeaderSize + (h - 1 - y) * stride];
        const uint8_t* ref = &reference[size_t(y) * w * 3];
        for (int x = 0; x < w; ++x)
          for (int k = 0; k < 3; ++k)
            maxDelta = std::max(maxDelta, std::abs(int(row[x * 3 + 2 - k]) - int(ref[x * 3 + k])));
      }
    }
    if (maxDelta > 4) ok = false;
    const double libjpeg = BestSeconds(repeats, [&] {
      int ww, hh;
      LibjpegDecode(jpeg, ww, hh);
    });
    const double jpgRead = BestSeconds(repeats, [&] { html::JpgDecode(jpeg.data(), jpeg.size()); });
    const double ratio = jpgRead / libjpeg;
    worst = std::max(worst, ratio);
    std::printf("%-16s %7zu bytes  libjpeg %7.1f ms  JpgRead %7.1f ms  ratio %.2f  max difference %d\n", c.name,
                jpeg.size(), libjpeg * 1000, jpgRead * 1000, ratio, maxDelta);
  }
  std::printf("worst ratio JpgRead / libjpeg: %.2f (goal 1.5)\n", worst);
  if (!ok) std::printf("FAILED: the decoders' pixels differ by more than 4 levels\n");
  return ok ? 0 : 1;
}
