// Reader and writer of the native document format. Every count, size and id
// read from a document is checked against the bytes present and the tables it
// names before it is used: documents come from anywhere.
#include "wrx/wrx_format.h"

#include <algorithm>
#include <cstring>

namespace wrxfmt {
namespace {

// Bounded little-endian reader over the formatting section.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t left() const { return size_ - pos_; }
  bool bytes(void* dest, size_t n) {
    if (n > left()) return false;
    if (n) std::memcpy(dest, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  bool skip(size_t n) {
    if (n > left()) return false;
    pos_ += n;
    return true;
  }
  bool u8(uint8_t& v) { return bytes(&v, 1); }
  bool i32(int32_t& v) {
    uint8_t b[4];
    if (!bytes(b, 4)) return false;
    v = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    return true;
  }
  // A stored count of records of `recordSize` bytes: never more than the
  // bytes that remain can hold, so a hostile count cannot make us allocate.
  bool count(int32_t& n, size_t recordSize) {
    if (!i32(n) || n < 0) return false;
    return recordSize == 0 || static_cast<size_t>(n) <= left() / recordSize;
  }
  bool marker(bool allowOld, bool* old = nullptr) {
    uint8_t m;
    if (!u8(m)) return false;
    if (old) *old = (m == kOldTableMarker);
    return m == kTableMarker || (allowOld && m == kOldTableMarker);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  out.push_back(uint8_t(u));
  out.push_back(uint8_t(u >> 8));
  out.push_back(uint8_t(u >> 16));
  out.push_back(uint8_t(u >> 24));
}

template <typename T>
void PutRecord(std::vector<uint8_t>& out, const T& rec) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&rec);
  out.insert(out.end(), p, p + sizeof(T));
}

void PutBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// Reads `n` records whose stored size may be shorter than ours (older
// versions); the rest of each record stays zero.
template <typename T>
bool ReadRecords(Reader& r, int32_t n, size_t storedSize, std::vector<T>& out) {
  out.assign(static_cast<size_t>(n), T{});
  for (auto& rec : out) {
    if (!r.bytes(&rec, std::min(storedSize, sizeof(T)))) return false;
    if (storedSize > sizeof(T) && !r.skip(storedSize - sizeof(T))) return false;
  }
  return true;
}

// Reads a table stored as a count and records, keeping at most `keep`
// records and skipping the excess so the tables after it stay in step.
template <typename T>
bool ReadTable(Reader& r, size_t storedSize, int32_t minCount, int32_t keep, std::vector<T>& out) {
  int32_t n;
  if (!r.marker(false) || !r.count(n, storedSize)) return false;
  int32_t kept = std::min(n, keep);
  if (!ReadRecords(r, kept, storedSize, out)) return false;
  if (!r.skip(static_cast<size_t>(n - kept) * storedSize)) return false;
  if (static_cast<int32_t>(out.size()) < minCount) out.resize(static_cast<size_t>(minCount), T{});
  return true;
}

bool ReadFontEntry(Reader& r, int version, FontEntry& f) {
  if (!r.bytes(&f.rec, sizeof f.rec)) return false;
  if (version < 8) {
    f.rec.attribute = 1;
    f.rec.styleItem = 0;
  }
  if (!(f.rec.style & kPictureStyle)) return true;
  if (f.rec.linkNameLength < 0) return false;
  if (f.rec.linkNameLength > 1) {
    size_t n = static_cast<size_t>(f.rec.linkNameLength);
    if (n > r.left()) return false;
    f.linkName.assign(n, '\0');
    if (!r.bytes(f.linkName.data(), n)) return false;
    f.linkName.resize(strnlen(f.linkName.c_str(), n));
  }
  int32_t imageSize, infoSize;
  if (!r.i32(f.pictHeight) || !r.i32(f.pictWidth) || !r.i32(imageSize) || !r.i32(infoSize)) return false;
  if (imageSize < 0 || infoSize < 0 || f.rec.objectSize < 0) return false;
  if (static_cast<size_t>(imageSize) > r.left()) return false;
  f.image.resize(static_cast<size_t>(imageSize));
  if (!r.bytes(f.image.data(), f.image.size())) return false;
  if (static_cast<size_t>(infoSize) > r.left()) return false;
  f.info.resize(static_cast<size_t>(infoSize));
  if (!r.bytes(f.info.data(), f.info.size())) return false;
  if (f.rec.objectSize > 0) {
    if (static_cast<size_t>(f.rec.objectSize) > r.left()) return false;
    f.object.resize(static_cast<size_t>(f.rec.objectSize));
    if (!r.bytes(f.object.data(), f.object.size())) return false;
  }
  return true;
}

// Paragraph records of the older layouts: the 40-byte record before
// version 5 and the three-word record of the 190 layout.
bool ReadParagraphs(Reader& r, int version, bool oldLayout, std::vector<WrxParaRecord>& out) {
  size_t stored = oldLayout ? 32 : version >= 5 ? sizeof(WrxParaRecord) : 40;
  int32_t n;
  if (!r.count(n, stored)) return false;
  out.assign(static_cast<size_t>(std::max(n, 1)), WrxParaRecord{});
  for (int32_t i = 0; i < n; ++i) {
    WrxParaRecord& p = out[static_cast<size_t>(i)];
    if (oldLayout) {
      if (!r.i32(p.leftIndent) || !r.i32(p.rightIndent) || !r.i32(p.flags) || !r.skip(20)) return false;
    } else {
      if (!r.bytes(&p, std::min(stored, sizeof p))) return false;
      if (version < 8) p.styleId = 0;
      std::memset(p.zero, 0, sizeof p.zero);
    }
  }
  for (auto& p : out)
    if (!(p.flags & (0x001 | 0x002 | 0x800))) p.flags |= 0x400;
  return true;
}

template <typename T>
int32_t ClampId(int32_t id, const std::vector<T>& table, bool& bad) {
  if (id >= 0 && static_cast<size_t>(id) < std::max<size_t>(table.size(), 1)) return id;
  bad = true;
  return 0;
}

}  // namespace

WrxFontRecord EmptyFontRecord() {
  WrxFontRecord rec{};
  rec.attribute = 1;
  return rec;
}

bool ReadFileInfo(const uint8_t* data, size_t size, WrxFileInfo& info) {
  if (size >= kFileInfoSize) {
    std::memcpy(&info, data + size - kFileInfoSize, kFileInfoSize);
    // The paren byte is checked too: a plain text whose 602nd byte from the
    // end happens to be 0xBA must not be taken for a native document.
    if (info.lead == kInfoLead && info.paren == kInfoParen) return true;
  }
  std::memset(&info, 0, sizeof info);
  info.lead = kInfoLead;
  info.paren = kInfoParen;
  info.version = 0;
  return false;
}

int DecodeFormatting(const uint8_t* data, size_t size, const std::vector<int32_t>& lineLengths, Formatting& out) {
  out = Formatting{};
  WrxFileInfo info;
  if (!ReadFileInfo(data, size, info)) return kErrNotNative;
  out.version = info.version;
  out.info = info;
  const int version = info.version;
  // The block is the document's last 602 bytes; the tables end before it.
  Reader r(data, size - kFileInfoSize);
  const size_t lineCount = lineLengths.size();
  out.lines.assign(lineCount, LineFormat{});

  // Font ids, one run per line.
  std::vector<bool> used(kMaxFontIds, false);
  used[0] = true;
  for (size_t i = 0; i < lineCount; ++i) {
    int32_t n;
    if (version < 3) {
      uint8_t b;
      if (!r.u8(b)) return kErrCharFormatMissing;
      n = b;
    } else if (!r.i32(n)) {
      return kErrCharFormatMissing;
    }
    LineFormat& lf = out.lines[i];
    const int32_t length = lineLengths[i];
    if (n == 1 || (n == 0 && length == 0)) {
      uint8_t id = 0;
      if (n == 1 && !r.u8(id)) return kErrCharFormatMissing;
      lf.shared = true;
      lf.sharedId = id >= kMaxFontIds ? 0 : id;
      used[lf.sharedId] = true;
    } else if (n == length && n > 0) {
      lf.shared = false;
      lf.length = n;
      lf.idOffset = static_cast<uint32_t>(out.idPool.size());
      if (static_cast<size_t>(n) > r.left()) return kErrCharFormatMissing;
      out.idPool.resize(out.idPool.size() + static_cast<size_t>(n));
      uint8_t* ids = out.idPool.data() + lf.idOffset;
      if (!r.bytes(ids, static_cast<size_t>(n))) return kErrCharFormatMissing;
      for (int32_t k = 0; k < n; ++k) {
        if (ids[k] >= kMaxFontIds) ids[k] = 0;
        used[ids[k]] = true;
      }
    } else {
      for (size_t k = i; k < lineCount; ++k) out.lines[k] = LineFormat{};
      out.idPool.clear();
      return kErrCharFormatMissing;
    }
  }

  // Font table. The three-word records of the oldest layout are not read.
  bool old = false;
  uint8_t fontCount;
  if (!r.marker(true, &old) || old || !r.u8(fontCount) || fontCount > kMaxFontIds) return kErrFontTableIncomplete;
  out.fonts.resize(std::max<size_t>(fontCount, 1));
  for (size_t id = 0; id < fontCount; ++id)
    if (!ReadFontEntry(r, version, out.fonts[id])) {
      out.fonts.resize(std::max<size_t>(id, 1));
      return kErrFontTableIncomplete;
    }
  bool badIds = false;
  // Ids beyond the table name nothing: they fall back to the default font.
  for (auto& lf : out.lines) {
    if (lf.shared) {
      if (lf.sharedId >= out.fonts.size()) lf.sharedId = 0, badIds = true;
    }
  }
  for (auto& id : out.idPool)
    if (id >= out.fonts.size()) id = 0, badIds = true;
  for (size_t id = 0; id < out.fonts.size(); ++id) out.fonts[id].inUse = false;
  for (auto& lf : out.lines) out.fonts[lf.shared ? lf.sharedId : 0].inUse = true;
  for (uint8_t id : out.idPool) out.fonts[id].inUse = true;
  out.fonts[0].inUse = true;

  // Per-line paragraph, cell and frame ids.
  std::vector<int32_t> paraIds(lineCount, 0), cellIds(lineCount, 0), frameIds(lineCount, 0);
  bool lineIdsRead = true;
  if (!r.marker(true)) return kErrParaFormatMissing;
  for (size_t i = 0; i < lineCount && lineIdsRead; ++i) {
    if (version < 2) {
      uint8_t b = 0;
      lineIdsRead = r.u8(b);
      paraIds[i] = b;
    } else {
      lineIdsRead = r.i32(paraIds[i]);
    }
    if (lineIdsRead && version >= 11) lineIdsRead = r.i32(cellIds[i]) && r.i32(frameIds[i]);
  }
  if (!lineIdsRead) return kErrParaFormatMissing;

  // Paragraph table.
  bool oldParas = false;
  if (!r.marker(true, &oldParas) || !ReadParagraphs(r, version, oldParas, out.paras)) {
    out.paras.clear();
    return kErrParaTableMissing;  // every line keeps paragraph 0
  }
  for (size_t i = 0; i < lineCount; ++i) {
    LineFormat& lf = out.lines[i];
    lf.para = ClampId(paraIds[i], out.paras, badIds);
    if (version < 11) {
      cellIds[i] = out.paras[static_cast<size_t>(lf.para)].cellWord;
      frameIds[i] = out.paras[static_cast<size_t>(lf.para)].placement;
    }
  }
  if (version < 11)
    for (auto& p : out.paras)
      if (p.placement) p.placement = 1;

  int error = kErrNone;
  auto finish = [&](int code) {
    // Ids are checked against whatever tables were read; a table not read
    // leaves the window's own single default entry.
    for (size_t i = 0; i < lineCount; ++i) {
      out.lines[i].cell = ClampId(cellIds[i], out.cells, badIds);
      out.lines[i].frame = ClampId(frameIds[i], out.frames, badIds);
    }
    for (auto& p : out.paras) {
      p.tabId = ClampId(p.tabId, out.tabs, badIds);
      p.styleId = ClampId(p.styleId, out.styles, badIds);
    }
    if (code == kErrNone && badIds) code = kErrNotNative;
    return code;
  };

  {
    size_t stored = version >= 8 ? sizeof(WrxTabRecord) : 164;
    if (!ReadTable(r, stored, 1, kMaxTabRecords, out.tabs)) {
      out.tabs.clear();
      for (auto& p : out.paras) p.tabId = 0;
      return finish(kErrTabTableMissing);
    }
  }
  if (!ReadTable(r, sizeof(WrxSectionRecord), 0, INT32_MAX, out.sections)) {
    out.sections.clear();
    return finish(kErrSectionTableMissing);
  }
  if (version < 8)
    for (auto& s : out.sections) s.orientation = 1;
  if (!ReadTable(r, sizeof(WrxRowRecord), 1, INT32_MAX, out.rows)) {
    out.rows.clear();
    return finish(kErrRowTableMissing);
  }
  // Cell records grew by one word in version 12.
  if (!ReadTable(r, version >= 12 ? sizeof(WrxCellRecord) : 88, 1, INT32_MAX, out.cells)) {
    out.cells.clear();
    return finish(kErrCellTableMissing);
  }
  {
    size_t stored = version >= 7 ? sizeof(WrxFrameRecord) : version >= 6 ? 68 : 48;
    if (!ReadTable(r, stored, 1, kMaxParaFrames, out.frames)) {
      out.frames.clear();
      return finish(kErrFrameTableMissing);
    }
    for (auto& f : out.frames) {
      const int32_t one = 1;
      std::memcpy(f.bytes, &one, 4);
    }
  }
  if (!ReadTable(r, sizeof(WrxStyleRecord), 0, INT32_MAX, out.styles)) {
    out.styles.clear();
    return finish(kErrStyleTableMissing);
  }
  uint8_t lead;
  if (!r.u8(lead) || lead != kInfoLead)
    error = kErrInfoMissing;
  else if (r.left() != 0)
    error = kErrInfoMissing;  // stray bytes before the block
  return finish(error);
}

void EncodeFormatting(const Formatting& in, std::vector<uint8_t>& out) {
  for (const LineFormat& lf : in.lines) {
    if (lf.shared) {
      PutI32(out, 1);
      out.push_back(lf.sharedId);
    } else {
      PutI32(out, lf.length);
      out.insert(out.end(), in.idPool.begin() + lf.idOffset, in.idPool.begin() + lf.idOffset + lf.length);
    }
  }
  out.push_back(kTableMarker);
  out.push_back(static_cast<uint8_t>(std::min<size_t>(in.fonts.size(), kMaxFontIds)));
  for (size_t id = 0; id < in.fonts.size() && id < kMaxFontIds; ++id) {
    const FontEntry& f = in.fonts[id];
    if (!f.inUse) {
      PutRecord(out, EmptyFontRecord());
      continue;
    }
    WrxFontRecord rec = f.rec;
    std::memset(rec.zero, 0, sizeof rec.zero);
    if (rec.objectType == 3) rec.objectType = 0;
    const bool picture = (rec.style & kPictureStyle) != 0;
    rec.linkNameLength = picture && !f.linkName.empty() ? static_cast<int32_t>(f.linkName.size() + 1) : 0;
    rec.objectSize = picture ? static_cast<int32_t>(f.object.size()) : 0;
    PutRecord(out, rec);
    if (!picture) continue;
    if (rec.linkNameLength > 1) out.insert(out.end(), f.linkName.c_str(), f.linkName.c_str() + f.linkName.size() + 1);
    PutI32(out, f.pictHeight);
    PutI32(out, f.pictWidth);
    PutI32(out, static_cast<int32_t>(f.image.size()));
    PutI32(out, static_cast<int32_t>(f.info.size()));
    PutBytes(out, f.image);
    PutBytes(out, f.info);
    PutBytes(out, f.object);
  }
  out.push_back(kTableMarker);
  for (const LineFormat& lf : in.lines) {
    PutI32(out, lf.para);
    PutI32(out, lf.cell);
    PutI32(out, lf.frame);
  }
  auto table = [&out](const auto& records, size_t minCount) {
    using T = typename std::decay_t<decltype(records)>::value_type;
    out.push_back(kTableMarker);
    PutI32(out, static_cast<int32_t>(std::max(records.size(), minCount)));
    for (const auto& rec : records) PutRecord(out, rec);
    for (size_t i = records.size(); i < minCount; ++i) PutRecord(out, T{});
  };
  table(in.paras, 1);
  table(in.tabs, 1);
  table(in.sections, 0);
  table(in.rows, 1);
  table(in.cells, 1);
  table(in.frames, 1);
  table(in.styles, 0);
  out.push_back(kInfoLead);
  WrxFileInfo info = in.info;
  info.lead = kInfoLead;
  info.paren = kInfoParen;
  info.version = kFormatVersion;
  PutRecord(out, info);
}

TextSplit SplitTextSection(const uint8_t* data, size_t size, bool fromBuffer, uint8_t delimiter,
                           const std::function<bool(const char*, size_t, bool)>& onLine) {
  TextSplit split;
  split.crlf = fromBuffer ? delimiter == 13 : true;
  const size_t chunk = kMaxLineLength - 2;
  const size_t markerLength = sizeof kMarkerLine - 1;
  bool first = true;
  size_t pos = 0;
  while (pos < size) {
    const size_t n = std::min(chunk, size - pos);
    const char* line = reinterpret_cast<const char*>(data + pos);
    size_t length = n, next = pos + n;
    bool ended = false;
    if (fromBuffer) {
      const void* hit = std::memchr(line, delimiter, n);
      if (hit) {
        length = static_cast<size_t>(static_cast<const char*>(hit) - line);
        next = pos + length + 1;
        ended = true;
        if (first && delimiter == 13 && (next >= size || data[next] != '\n')) split.crlf = false;
        if (split.crlf && next < size && data[next] == '\n') ++next;
      }
    } else {
      // A CR LF pair must lie wholly inside the chunk to end the line.
      size_t i = 0;
      while (i + 1 < n) {
        const void* cr = std::memchr(line + i, '\r', n - 1 - i);
        if (!cr) break;
        size_t j = static_cast<size_t>(static_cast<const char*>(cr) - line);
        if (line[j + 1] == '\n') {
          length = j;
          next = pos + j + 2;
          ended = true;
          break;
        }
        i = j + 1;
      }
    }
    first = false;
    pos = next;
    if (length == markerLength && std::memcmp(line, kMarkerLine, markerLength) == 0) {
      split.markerMet = true;
      break;
    }
    if (!onLine(line, length, ended)) break;
  }
  split.end = pos;
  return split;
}

}  // namespace wrxfmt
