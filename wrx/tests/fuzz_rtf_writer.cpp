// Documents made from any bytes go through the RTF writer: its output always
// closes every group, keeps lines within 2048 characters, and a line break
// never cuts a token (the reader sees the same words with the breaks taken
// out).
#include "wrx/rtf_tokenizer.h"
#include "wrx/rtf_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const std::string& rtf, int* depth) {
  rtf::Tokenizer t(reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size());
  std::vector<std::string> out;
  for (rtf::Token k = t.Next(); k.kind != rtf::TokenKind::kEnd; k = t.Next()) {
    if (k.kind == rtf::TokenKind::kError) abort();
    out.push_back(k.kind == rtf::TokenKind::kControl ? k.word + std::to_string(k.param) : std::string(1, char(k.byte)));
  }
  *depth = t.depth();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  wrxrtf::Document d;
  const int fonts = 1 + data[0] % 4;
  for (int k = 0; k < fonts; ++k) {
    wrxrtf::Font f;
    f.inUse = true, f.face = k % 2 ? "Arial" : "Times New Roman", f.pointSize = 8 + data[1] % 20;
    f.style = uint32_t(data[k % size]) * 3 & 0x37F;
    f.text = uint32_t(data[(k + 2) % size]) << 8;
    d.fonts.push_back(f);
  }
  wrxfmt::WrxParaRecord p{};
  d.paras.push_back(p);
  p.flags = data[2] | (data[3] << 8), p.leftIndent = data[1] * 10, p.tabId = 1;
  d.paras.push_back(p);
  wrxpara::WrxTab t{};
  wrxpara::SetStop(t, data[3] * 20, data[2] % 4, data[1] % 3);
  d.tabs.push_back(wrxpara::WrxTab{});
  d.tabs.push_back(t);
  std::vector<std::string> texts;
  std::vector<std::vector<uint8_t>> ids;
  std::string cur;
  std::vector<uint8_t> curIds;
  for (size_t k = 4; k < size; ++k) {
    cur.push_back(char(data[k]));
    curIds.push_back(uint8_t(data[k] % fonts));
    if (data[k] == 21 || cur.size() > 3000) {
      texts.push_back(cur), ids.push_back(curIds);
      cur.clear(), curIds.clear();
    }
  }
  texts.push_back(cur), ids.push_back(curIds);
  for (size_t k = 0; k < texts.size(); ++k) {
    wrxrtf::Line l;
    l.text = texts[k].data(), l.length = int32_t(texts[k].size()), l.ids = ids[k].data(), l.para = int32_t(k % 2);
    d.lines.push_back(l);
  }
  d.wordWrap = data[0] & 1;
  const std::string rtf = wrxrtf::Write(d);
  size_t start = 0;
  while (start < rtf.size()) {
    const size_t end = rtf.find("\r\n", start);
    if (end == std::string::npos || end - start > 2048) abort();
    start = end + 2;
  }
  std::string stripped;
  for (char c : rtf)
    if (c != '\r' && c != '\n') stripped.push_back(c);
  int depthA = 0, depthB = 0;
  if (Tokens(rtf, &depthA) != Tokens(stripped, &depthB) || depthA != 0) abort();
  return 0;
}
