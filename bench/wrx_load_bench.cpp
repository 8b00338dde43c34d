// Loads and saves a 20 MB document in a hidden rich-text control, beside
// plain reads and writes of the same bytes in the same run, and prints the
// ratios (the goal for loading: within 3x the raw read).
#include "wrx/wrx.h"
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "bench/bench_clock.h"

namespace {

bool RawWrite(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(h) && ok;
}

size_t RawRead(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  std::vector<char> buffer(GetFileSize(h, nullptr));
  DWORD got = 0;
  ReadFile(h, buffer.data(), DWORD(buffer.size()), &got, nullptr);
  CloseHandle(h);
  return got;
}

void Report(const char* what, double control, double raw) {
  std::printf("%-34s %8.3f s   raw %8.3f s   ratio %6.2f\n", what, control, raw, raw > 0 ? control / raw : 0.0);
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWrxClass(instance);
  SetWrxSharedFlags(WRXF_SILENT);
  char tempDir[MAX_PATH];
  GetTempPathA(MAX_PATH, tempDir);
  const std::string text = std::string(tempDir) + "wrxbench.txt";
  const std::string native = std::string(tempDir) + "wrxbench.kvq";

  std::string bytes;
  bytes.reserve(21 << 20);
  const char* words[] = {"message ", "conference ", "topic ", "reply ", "the ", "of ", "offline ", "reader "};
  for (unsigned i = 0; bytes.size() < (20u << 20); ++i) {
    std::string line;
    for (unsigned k = 0; line.size() < 64; ++k) line += words[(i * 7 + k * 3) % 8];
    bytes += line;
    bytes += "\r\n";
  }
  std::printf("document: %zu bytes\n", bytes.size());

  // Each figure is the best of three runs, so a busy machine disturbs both
  // sides of a ratio alike.
  auto best = [](auto&& run) {
    double fastest = 1e9;
    for (int i = 0; i < 3; ++i) {
      const double t0 = Now();
      run();
      fastest = std::min(fastest, Now() - t0);
    }
    return fastest;
  };
  const double rawWrite = best([&] { RawWrite(text, bytes); });
  const double rawRead = best([&] { RawRead(text); });
  size_t lines = 0;
  Report("split lines only (memory)", best([&] {
           lines = 0;
           wrxfmt::SplitTextSection(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false, 13,
                                    [&lines](const char*, size_t, bool) { return ++lines != 0; });
         }),
         rawRead);

  WrxArgList a{};
  a.width = 600, a.height = 400, a.initialLine = 1, a.inputKind = 'F', a.lineDelimiter = 13, a.saveType = 4;
  a.instance = instance;
  a.style = WRX_HIDDEN;
  strcpy(a.typeface, "Arial");
  a.pointSize = 12;
  HWND hwnd = CreateWrxWindow(&a);
  WrxWindow* w = GetWrxWindow(hwnd);

  Report("load plain text (file)", best([&] { ReadWrxFile(hwnd, text.c_str()); }), rawRead);
  std::printf("  lines: %d\n", int(w->lineCount));

  w->arg.saveType = 0;
  Report("save native (file)", best([&] { WrxSave(w, native.c_str()); }), rawWrite);
  size_t nativeSize = 0;
  const double rawReadNative = best([&] { nativeSize = RawRead(native); });
  Report("load native (file)", best([&] { ReadWrxFile(hwnd, native.c_str()); }), rawReadNative);
  std::printf("  native bytes: %zu\n", nativeSize);

  w->arg.saveType = 1;
  Report("save plain text (file)", best([&] { WrxSave(w, text.c_str()); }), rawWrite);

  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  memcpy(GlobalLock(h), bytes.data(), bytes.size());
  GlobalUnlock(h);
  std::vector<char> copy(bytes.size());
  const double rawCopy = best([&] { memcpy(copy.data(), bytes.data(), bytes.size()); });
  Report("load plain text (buffer) vs copy", best([&] { SetWrxBuffer(hwnd, h, long(bytes.size()), nullptr, 0); }),
         rawCopy);
  GlobalFree(h);

  SetWrxModify(hwnd, 0);
  CloseWrx(hwnd, 0);
  DeleteFileA(text.c_str());
  DeleteFileA(native.c_str());
  DeleteFileA((std::string(tempDir) + "wrxbench.BU").c_str());
  return 0;
}
