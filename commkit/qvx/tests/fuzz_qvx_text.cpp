// Arbitrary bytes as a 6-bit coded text must decode within the packet, and
// arbitrary text must come back unchanged through the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "commkit/qvx/qvx_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) size = 4096;
  qvx::Reader r;
  qvx::BeginRead(r, data, uint16_t(size));
  while (r.position < r.length && !r.error) qvx::ReadText6(r);

  std::string text;
  for (size_t i = 0; i < size && text.size() < 1000; ++i)
    if (data[i]) text += char(data[i]);
  static uint8_t buffer[4096];
  qvx::Writer w;
  qvx::Begin(w, buffer, sizeof buffer);
  qvx::WriteText6(w, text.c_str(), true);
  if (w.error) abort();
  qvx::BeginRead(r, buffer, w.length);
  if (qvx::ReadText6(r) != text || r.position != w.length || r.error) abort();
  return 0;
}
