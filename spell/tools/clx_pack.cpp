#include "spell/tools/clx_pack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unordered_map>
#include <set>

#include "spell/clex_format.h"

namespace {

int Compare(const std::string& a, const std::string& b) {
  return memcmp(a.data(), b.data(), std::min(a.size(), b.size())) != 0
             ? memcmp(a.data(), b.data(), std::min(a.size(), b.size()))
             : int(a.size()) - int(b.size());
}

bool ByteOrder(const std::string& a, const std::string& b) { return Compare(a, b) < 0; }

struct Fragments {
  std::vector<std::string> a;  // codes 6-31
  std::vector<std::string> b;  // code 4, k
};

// Frequent word endings and inner pieces make the fragment tables: the best
// savings (occurrences x bytes saved) for the one-byte codes, then the next.
Fragments ChooseFragments(const std::vector<std::string>& words) {
  std::unordered_map<std::string, uint32_t> counts;
  for (const std::string& w : words) {
    for (size_t i = 3; i < w.size(); ++i)
      for (size_t n = 2; n <= 8 && i + n <= w.size(); ++n) ++counts[w.substr(i, n)];
  }
  std::vector<std::pair<uint64_t, std::string>> ranked;
  for (auto& [text, count] : counts)
    if (count >= 8) ranked.push_back({uint64_t(count) * (text.size() - 1), text});
  std::sort(ranked.begin(), ranked.end(),
            [](auto& x, auto& y) { return x.first != y.first ? x.first > y.first : x.second < y.second; });
  Fragments f;
  for (auto& r : ranked) {
    if (f.a.size() < kClxFragmentsA)
      f.a.push_back(r.second);
    else if (f.b.size() < kClxFragmentsB && r.second.size() > 2)
      f.b.push_back(r.second);
    if (f.b.size() == kClxFragmentsB) break;
  }
  return f;
}

void EncodeTail(const std::string& w, size_t from, const Fragments& f, std::vector<uint8_t>& out) {
  size_t i = from;
  while (i < w.size()) {
    size_t bestLen = 1;
    int bestCode = -1, bestIndex = -1;
    for (size_t k = 0; k < f.a.size(); ++k) {
      const std::string& s = f.a[k];
      if (s.size() > bestLen && w.compare(i, s.size(), s) == 0)
        bestLen = s.size(), bestCode = 6 + int(k), bestIndex = -1;
    }
    for (size_t k = 0; k < f.b.size(); ++k) {
      const std::string& s = f.b[k];
      if (s.size() > bestLen && s.size() > 2 && w.compare(i, s.size(), s) == 0)
        bestLen = s.size(), bestCode = kClxFragmentB, bestIndex = int(k);
    }
    if (bestCode < 0) {
      out.push_back(static_cast<uint8_t>(w[i]));
    } else {
      out.push_back(static_cast<uint8_t>(bestCode));
      if (bestIndex >= 0) out.push_back(static_cast<uint8_t>(bestIndex));
    }
    i += bestLen;
  }
}

// The encoded words of one sub-block (all begin with the same three bytes).
void EncodeSubBlock(const std::vector<std::string>& words, const Fragments& f, std::vector<uint8_t>& out) {
  std::string prev;
  for (const std::string& w : words) {
    size_t common = 0;
    while (common < prev.size() && common < w.size() && prev[common] == w[common]) ++common;
    size_t from = 3;
    if (!prev.empty() && common == prev.size()) {
      out.push_back(kClxRepeatPrevious);
      from = common;
    } else if (!prev.empty() && common + 1 == prev.size() && common > 3) {
      out.push_back(kClxRepeatLessOne);
      from = common;
    } else if (common > 3) {
      out.push_back(kClxKeep);
      out.push_back(static_cast<uint8_t>(common - 3));
      from = common;
    }
    EncodeTail(w, from, f, out);
    out.push_back(kClxEnd);
    prev = w;
  }
}

}  // namespace

bool ClxPack(const std::vector<std::string>& input, uint16_t language, std::vector<uint8_t>& image, ClxPackStats& stats,
             std::string& error) {
  stats = ClxPackStats();
  std::vector<std::string> words;
  for (const std::string& w : input) {
    bool usable = !w.empty() && w.size() <= kClxMaxWord;
    for (unsigned char c : w) usable = usable && c >= 32;
    if (usable)
      words.push_back(w);
    else
      ++stats.skipped;
  }
  std::sort(words.begin(), words.end(), ByteOrder);
  size_t before = words.size();
  words.erase(std::unique(words.begin(), words.end()), words.end());
  stats.skipped += uint32_t(before - words.size());

  std::vector<std::string> small, longer;
  for (const std::string& w : words) (w.size() <= 2 ? small : longer).push_back(w);
  if (small.size() >= kClxMaxSmallWords) {
    error = "too many words of one or two letters (" + std::to_string(small.size()) + ")";
    return false;
  }
  Fragments frags = ChooseFragments(longer);

  // Segments by the first two bytes, sub-blocks by the third; the words are
  // already in byte order, so both come out sorted.
  struct Segment {
    uint8_t first, second;
    std::vector<uint8_t> data;
  };
  std::vector<Segment> segments;
  for (size_t i = 0; i < longer.size();) {
    size_t j = i;
    while (j < longer.size() && longer[j].compare(0, 2, longer[i], 0, 2) == 0) ++j;
    Segment seg{static_cast<uint8_t>(longer[i][0]), static_cast<uint8_t>(longer[i][1]), {}};
    for (size_t k = i; k < j;) {
      size_t m = k;
      while (m < j && longer[m][2] == longer[k][2]) ++m;
      std::vector<uint8_t> encoded;
      EncodeSubBlock(std::vector<std::string>(longer.begin() + k, longer.begin() + m), frags, encoded);
      uint8_t head[6];
      ClxPut32(head, static_cast<uint32_t>(encoded.size()));
      head[4] = static_cast<uint8_t>(longer[k][2]);
      head[5] = 0;
      seg.data.insert(seg.data.end(), head, head + 6);
      seg.data.insert(seg.data.end(), encoded.begin(), encoded.end());
      k = m;
    }
    segments.push_back(std::move(seg));
    i = j;
  }
  if (segments.size() > 0xFFFF) {
    error = "too many segments";
    return false;
  }

  image.assign(kClxHeaderSize, 0);
  ClxFileHeader* h = reinterpret_cast<ClxFileHeader*>(image.data());
  ClxPut32(h->version, kClxVersion);
  ClxPut16(h->smallWordCount, static_cast<uint16_t>(small.size()));
  ClxPut16(h->segmentCount, static_cast<uint16_t>(segments.size()));
  ClxPut16(h->language, language);
  for (size_t k = 0; k < frags.a.size(); ++k) memcpy(h->fragmentsA[k], frags.a[k].c_str(), frags.a[k].size());
  for (size_t k = 0; k < frags.b.size(); ++k) memcpy(h->fragmentsB[k], frags.b[k].c_str(), frags.b[k].size());
  for (const std::string& w : small) {
    image.push_back(static_cast<uint8_t>(w[0]));
    image.push_back(w.size() > 1 ? static_cast<uint8_t>(w[1]) : 0);
  }
  size_t tableAt = image.size();
  image.resize(tableAt + 10 * segments.size());
  for (size_t s = 0; s < segments.size(); ++s) {
    uint8_t* e = image.data() + tableAt + 10 * s;
    ClxPut32(e, static_cast<uint32_t>(image.size()));
    ClxPut32(e + 4, static_cast<uint32_t>(segments[s].data.size()));
    e[8] = segments[s].first;
    e[9] = segments[s].second;
    image.insert(image.end(), segments[s].data.begin(), segments[s].data.end());
    stats.largestSegment = std::max<uint32_t>(stats.largestSegment, uint32_t(segments[s].data.size()));
  }
  stats.words = uint32_t(words.size());
  stats.smallWords = uint32_t(small.size());
  stats.segments = uint32_t(segments.size());
  return true;
}

bool Utf8To1252(const std::string& utf8, std::string& out) {
  out.clear();
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      unsigned code = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
      if (code < 0xA0 || code > 0xFF) return false;
      out.push_back(static_cast<char>(code));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool ClxPackFile(const char* wordListPath, const char* clxPath, uint16_t language, ClxPackStats& stats,
                 std::string& error) {
  std::ifstream in(wordListPath, std::ios::binary);
  if (!in) {
    error = std::string("cannot read ") + wordListPath;
    return false;
  }
  std::vector<std::string> words;
  std::string line, word;
  uint32_t unconvertible = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Utf8To1252(line, word))
      words.push_back(word);
    else
      ++unconvertible;
  }
  std::vector<uint8_t> image;
  if (!ClxPack(words, language, image, stats, error)) return false;
  stats.skipped += unconvertible;
  FILE* out = fopen(clxPath, "wb");
  if (!out) {
    error = std::string("cannot create ") + clxPath;
    return false;
  }
  bool ok = fwrite(image.data(), 1, image.size(), out) == image.size();
  if (fclose(out) != 0) ok = false;
  if (!ok) {
    error = std::string("cannot write ") + clxPath;
    remove(clxPath);
  }
  return ok;
}
