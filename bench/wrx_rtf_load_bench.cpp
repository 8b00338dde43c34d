// Loads a 5 MB RTF document (several fonts and sizes, bold and italic runs,
// tab stops, a style sheet) in a hidden rich-text control, saves it as native
// and, in the same run, loads the native file of the same content; prints
// both times and their ratio (the goal: RTF within 5x of native), without and
// with word wrap.
#include "wrx/wrx.h"
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include "bench/bench_clock.h"

namespace {

std::string MakeRtf(size_t size) {
  std::string r =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}{\\f2\\fmodern Courier "
      "New;}}\r\n{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue160;}\r\n"
      "{\\stylesheet{\\fs24 Normal;}{\\s1\\sb240\\sa60\\f1\\fs32\\b heading 1;}{\\s2\\li720\\i quote;}"
      "{\\*\\cs10 \\additive Default Paragraph Font;}{\\*\\cs11 \\additive\\f2\\fs20 code;}}\r\n";
  r.reserve(size + 4096);
  const char* words[] = {"message", "conference", "topic", "reply", "the", "of", "offline", "reader", "caf\\'e9"};
  for (unsigned p = 0; r.size() < size; ++p) {
    switch (p % 4) {
      case 0: r += "\\pard\\plain\\s1\\sb240\\sa60\\f1\\fs32\\b Heading "; break;
      case 1: r += "\\pard\\plain\\tx1440\\tqr\\tx4320\\tqc\\tx6480\\fs24 "; break;
      case 2: r += "\\pard\\plain\\s2\\li720\\i\\fs24 "; break;
      default: r += "\\pard\\plain\\qj\\fs20 "; break;
    }
    for (unsigned k = 0; k < 40; ++k) {
      const unsigned n = p * 13 + k * 7;
      if (n % 11 == 0) r += "{\\b ";
      if (n % 13 == 0) r += "{\\i\\cf1 ";
      if (n % 17 == 0) r += "{\\cs11\\f2\\fs20 ";
      r += words[n % 9];
      if (n % 17 == 0) r += "}";
      if (n % 13 == 0) r += "}";
      if (n % 11 == 0) r += "}";
      r += (p % 4 == 1 && k % 10 == 9) ? "\\tab " : " ";
    }
    r += "\\par\r\n";
  }
  r += "}";
  return r;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(h) && ok;
}

// A digest of the document as loaded: its text and font attributes.
unsigned long long Digest(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  unsigned long long h = 1469598103934665603ull;
  auto mix = [&h](unsigned long long v) { h = (h ^ v) * 1099511628211ull; };
  for (int32_t line = 0; line < w->lineCount; ++line) {
    const WrxLine* l = w->lines[line];
    for (int32_t c = 0; c < l->length; ++c) {
      const WrxFont& f = w->fonts[GetCharFont(w, line, c)];
      mix(uint8_t(l->text[c]));
      mix(f.style * 131 + f.pointSize);
    }
  }
  return h;
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWrxClass(instance);
  SetWrxSharedFlags(WRXF_SILENT);
  char tempDir[MAX_PATH];
  GetTempPathA(MAX_PATH, tempDir);
  const std::string rtfPath = std::string(tempDir) + "wrxrtfbench.rtf";
  const std::string nativePath = std::string(tempDir) + "wrxrtfbench.kvq";
  const std::string rtf = MakeRtf(5u << 20);
  if (!WriteAll(rtfPath, rtf)) return std::printf("cannot write %s\n", rtfPath.c_str()), 1;
  std::printf("RTF document: %zu bytes\n", rtf.size());

  auto best = [](auto&& run) {
    double fastest = 1e9;
    for (int i = 0; i < 3; ++i) {
      const double t0 = Now();
      run();
      fastest = std::min(fastest, Now() - t0);
    }
    return fastest;
  };
  int failures = 0;
  for (const bool wrap : {false, true}) {
    WrxArgList a{};
    a.width = 800, a.height = 600, a.initialLine = 1, a.inputKind = 'F', a.lineDelimiter = 13;
    a.instance = instance;
    a.style = WRX_HIDDEN | (wrap ? WRX_WORDWRAP : 0);
    strcpy(a.typeface, "Arial");
    a.pointSize = 12;
    HWND hwnd = CreateWrxWindow(&a);
    WrxWindow* w = GetWrxWindow(hwnd);
    const double rtfTime = best([&] { ReadWrxFile(hwnd, rtfPath.c_str()); });
    const int32_t rtfLines = w->lineCount;
    const unsigned long long rtfDigest = Digest(hwnd);
    w->arg.saveType = 0;
    if (!WrxSave(w, nativePath.c_str())) ++failures, std::printf("saving native failed\n");
    const double nativeTime = best([&] { ReadWrxFile(hwnd, nativePath.c_str()); });
    const bool same = w->lineCount == rtfLines && Digest(hwnd) == rtfDigest;
    if (!same) ++failures;
    std::printf("%-18s RTF %7.3f s   native %7.3f s   ratio %5.2f   lines %d, styles %zu%s\n",
                wrap ? "with word wrap" : "without word wrap", rtfTime, nativeTime,
                nativeTime > 0 ? rtfTime / nativeTime : 0.0, int(rtfLines), w->styles.size(),
                same ? "" : "   (the native load differs!)");
    SetWrxModify(hwnd, 0);
    CloseWrx(hwnd, 0);
  }
  DeleteFileA(rtfPath.c_str());
  DeleteFileA(nativePath.c_str());
  DeleteFileA((std::string(tempDir) + "wrxrtfbench.BU").c_str());
  return failures ? 1 : 0;
}
