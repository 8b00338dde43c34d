// Feeds arbitrary documents to the native-format reader the way the control
// loads a file: text lines up to the marker line, then the formatting section.
// Whatever the reader accepted must write back and read again the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wrx/wrx_format.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_wrx_format: the re-read document differs: %s\n", what);
  std::abort();
}

// A table the reader did not reach is empty and the writer puts the default
// entry in its place; every table that was read must come back as it was.
template <typename Record>
bool SameRecords(const std::vector<Record>& a, const std::vector<Record>& b) {
  if (a.empty()) return true;
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Record)) == 0;
}

// The writer derives the lengths from the picture's parts, clears the spare
// bytes and stores object type 3 as 0; everything else must come back.
bool SameFontMeaning(wrxfmt::WrxFontRecord a, wrxfmt::WrxFontRecord b) {
  for (wrxfmt::WrxFontRecord* r : {&a, &b}) {
    r->objectSize = r->linkNameLength = 0;
    std::memset(r->zero, 0, sizeof r->zero);
    if (r->objectType == 3) r->objectType = 0;
  }
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A line's font ids, one per character whether stored shared or not.
std::vector<uint8_t> LineIds(const wrxfmt::Formatting& f, const wrxfmt::LineFormat& line, int32_t length) {
  if (line.shared) return std::vector<uint8_t>(static_cast<size_t>(length > 0 ? length : 0), line.sharedId);
  std::vector<uint8_t> ids;
  for (int32_t i = 0; i < line.length && line.idOffset + i < f.idPool.size(); ++i)
    ids.push_back(f.idPool[line.idOffset + i]);
  return ids;
}

void Compare(const wrxfmt::Formatting& a, const wrxfmt::Formatting& b, const std::vector<int32_t>& lengths) {
  if (a.lines.size() != b.lines.size()) Fail("line count");
  for (size_t i = 0; i < a.lines.size(); ++i) {
    const wrxfmt::LineFormat &x = a.lines[i], &y = b.lines[i];
    if (x.para != y.para || x.cell != y.cell || x.frame != y.frame) Fail("a line's paragraph, cell or frame");
    if (LineIds(a, x, lengths[i]) != LineIds(b, y, lengths[i])) Fail("a line's font ids");
  }
  if (a.fonts.size() != b.fonts.size()) Fail("font count");
  for (size_t i = 0; i < a.fonts.size(); ++i) {
    const wrxfmt::FontEntry &x = a.fonts[i], &y = b.fonts[i];
    if (x.inUse != y.inUse) Fail("a font's use");
    if (!x.inUse) continue;
    if (std::memcmp(&x.rec, &y.rec, sizeof x.rec) != 0 && !SameFontMeaning(x.rec, y.rec)) Fail("a font record");
    if (x.linkName != y.linkName || x.pictHeight != y.pictHeight || x.pictWidth != y.pictWidth || x.image != y.image ||
        x.info != y.info || x.object != y.object)
      Fail("a font's picture or object");
  }
  if (!SameRecords(a.paras, b.paras)) Fail("the paragraph table");
  if (!SameRecords(a.tabs, b.tabs)) Fail("the tab table");
  if (!SameRecords(a.sections, b.sections)) Fail("the section table");
  if (!SameRecords(a.rows, b.rows)) Fail("the row table");
  if (!SameRecords(a.cells, b.cells)) Fail("the cell table");
  if (!SameRecords(a.frames, b.frames)) Fail("the frame table");
  if (!SameRecords(a.styles, b.styles)) Fail("the style table");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int fromBuffer = 0; fromBuffer < 2; ++fromBuffer) {
    std::vector<int32_t> lengths;
    wrxfmt::TextSplit split =
        wrxfmt::SplitTextSection(data, size, fromBuffer != 0, 13, [&](const char*, size_t n, bool) {
          lengths.push_back(static_cast<int32_t>(n));
          return true;
        });
    if (!split.markerMet) continue;
    wrxfmt::Formatting fmt;
    const bool whole = wrxfmt::DecodeFormatting(data + split.end, size - split.end, lengths, fmt) == 0;
    if (fmt.lines.size() != lengths.size() || fmt.fonts.empty()) continue;
    std::vector<uint8_t> out;
    wrxfmt::EncodeFormatting(fmt, out);
    wrxfmt::Formatting again;
    int error = wrxfmt::DecodeFormatting(out.data(), out.size(), lengths, again);
    // A document read whole must come back whole and the same; one read in
    // part is written with defaults in place of what was not reached.
    if (!whole) continue;
    if (error != 0) Fail("the written section has errors");
    Compare(fmt, again, lengths);
  }
  return 0;
}
