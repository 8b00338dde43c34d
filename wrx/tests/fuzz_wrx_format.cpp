// Feeds arbitrary documents to the native-format reader the way the control
// loads a file: text lines up to the marker line, then the formatting section.
#include "wrx/wrx_format.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int fromBuffer = 0; fromBuffer < 2; ++fromBuffer) {
    std::vector<int32_t> lengths;
    wrxfmt::TextSplit split = wrxfmt::SplitTextSection(
        data, size, fromBuffer != 0, 13, [&](const char*, size_t n, bool) {
          lengths.push_back(static_cast<int32_t>(n));
          return true;
        });
    if (!split.markerMet) continue;
    wrxfmt::Formatting fmt;
    wrxfmt::DecodeFormatting(data + split.end, size - split.end, lengths, fmt);
    // Whatever was accepted must write back and read again the same way.
    std::vector<uint8_t> out;
    if (fmt.lines.size() == lengths.size() && !fmt.fonts.empty()) {
      wrxfmt::EncodeFormatting(fmt, out);
      wrxfmt::Formatting again;
      wrxfmt::DecodeFormatting(out.data(), out.size(), lengths, again);
    }
  }
  return 0;
}
