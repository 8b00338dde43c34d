// Search, replace and saving as RTF in a hidden rich-text control, each beside
// a plain operation over the same bytes in the same run: a missing string
// against a memchr/memcmp scan (goal: within 5x), replacing 1,000 and 10,000
// hits (the time grows with the hits, not hits x document), a 1 MB block
// deleted with its undo step and a 5 MB formatted document saved as RTF, each
// against writing as many bytes (goal: 4x). "delete" runs the delete alone.
#include "wrx/wrx.h"
#include "wrx/wrx_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "bench/bench_clock.h"

namespace {

template <typename Run>
double Best(Run&& run) {
  double fastest = 1e9;
  for (int i = 0; i < 3; ++i) {
    const double t0 = Now();
    run();
    fastest = std::min(fastest, Now() - t0);
  }
  return fastest;
}

void Report(const char* what, double control, double raw) {
  std::printf("%-36s %8.4f s   plain %8.4f s   ratio %6.2f\n", what, control, raw, raw > 0 ? control / raw : 0.0);
}

std::string Document(size_t bytes, int hits) {
  std::string text;
  const char* words[] = {"message ", "conference ", "topic ", "reply ", "the ", "of ", "offline ", "reader "};
  int placed = 0;
  for (unsigned i = 0; text.size() < bytes; ++i) {
    std::string line;
    for (unsigned k = 0; line.size() < 64; ++k) line += words[(i * 7 + k * 3) % 8];
    if (placed < hits && i % 7 == 0) line += "needle ", ++placed;
    text += line + "\r\n";
  }
  return text;
}

HWND Load(HINSTANCE instance, const std::string& text) {
  WrxArgList a{};
  a.width = 600, a.height = 400, a.initialLine = 1, a.inputKind = 'B', a.lineDelimiter = 13, a.saveType = 4;
  a.instance = instance;
  a.style = WRX_HIDDEN;
  strcpy(a.typeface, "Arial");
  a.pointSize = 12;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(h), text.data(), text.size());
  GlobalUnlock(h);
  a.bufferHandle = h;
  a.bufferSize = int32_t(text.size());
  return CreateWrxWindow(&a);
}

}  // namespace

int main(int argc, char** argv) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWrxClass(instance);
  SetWrxSharedFlags(WRXF_SILENT);
  const bool deleteOnly = argc > 1 && strcmp(argv[1], "delete") == 0;

  if (!deleteOnly) {
    const std::string big = Document(10u << 20, 0);
    HWND hwnd = Load(instance, big);
    std::printf("document: %zu bytes, %d lines\n", big.size(), GetWrxWindow(hwnd)->lineCount);
    char pattern[] = "zebra crossing";
    long pos = 0, length = 0;
    int found = 1;
    const double search = Best([&] { found = WrxFindText(hwnd, pattern, nullptr, 0x12, 0, &pos, &length); });
    size_t scanHits = 0;
    const double scan = Best([&] {
      scanHits = 0;
      const char* p = big.data();
      const char* end = p + big.size();
      while ((p = static_cast<const char*>(memchr(p, 'z', size_t(end - p)))) != nullptr) {
        if (size_t(end - p) >= strlen(pattern) && memcmp(p, pattern, strlen(pattern)) == 0) ++scanHits;
        ++p;
      }
    });
    if (found || scanHits) std::printf("CHECK FAILED: the missing string was found\n");
    Report("search a missing string (10 MB)", search, scan);
    CloseWrx(hwnd, 0);

    double perHit[2] = {};
    const int counts[2] = {1000, 10000};
    for (int k = 0; k < 2; ++k) {
      const std::string text = Document(10u << 20, counts[k]);
      HWND h = Load(instance, text);
      const double t0 = Now();
      const int replaced = ReplaceParam(h, "needle", "thread", 0, 0);
      const double t = Now() - t0;
      if (replaced != counts[k]) std::printf("CHECK FAILED: %d replacements, not %d\n", replaced, counts[k]);
      perHit[k] = t / counts[k];
      std::printf("replace %5d hits in 10 MB          %8.4f s   %8.2f us per hit\n", counts[k], t, perHit[k] * 1e6);
      SetWrxModify(h, 0);
      CloseWrx(h, 0);
    }
    std::printf("per-hit cost, 10,000 against 1,000 hits: ratio %6.2f\n", perHit[1] / perHit[0]);
  }

  // A 1 MB block of many lines deleted (its undo step kept), beside writing
  // as many bytes to a file.
  {
    const std::string text = Document(4u << 20, 0);
    double deleted = 1e9;
    long blockBytes = 0;
    for (int run = 0; run < 3; ++run) {
      HWND d = Load(instance, text);
      WrxWindow* v = GetWrxWindow(d);
      int32_t last = 0;
      for (blockBytes = 0; blockBytes < (1l << 20) && last < v->lineCount - 1; ++last)
        blockBytes += v->lines[last]->length + 2;
      SelectWrxText(d, 0, 0, last, 0, 0);
      const int32_t before = v->lineCount;
      std::vector<std::string> kept;
      for (int32_t i = 0; i < v->lineCount; ++i)
        kept.emplace_back(v->lines[i]->text ? v->lines[i]->text : "", size_t(v->lines[i]->length));
      const double t0 = Now();
      WrxDeleteBlock(d);
      deleted = std::min(deleted, Now() - t0);
      if (v->lineCount != before - last || v->undo.empty())
        std::printf("CHECK FAILED: %d lines left of %d, undo %zu\n", v->lineCount, before, v->undo.size());
      // Undo (not timed) brings the block back line for line.
      const double u0 = Now();
      Undo(v);
      if (run == 0) std::printf("undo of the block took %.4f s\n", Now() - u0);
      bool same = v->lineCount == int32_t(kept.size());
      for (int32_t i = 0; same && i < v->lineCount; ++i)
        same = kept[size_t(i)] == std::string(v->lines[i]->text ? v->lines[i]->text : "", size_t(v->lines[i]->length));
      if (!same) std::printf("CHECK FAILED: undo did not restore the deleted text (%d lines)\n", v->lineCount);
      SetWrxModify(d, 0);
      CloseWrx(d, 0);
    }
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string name = std::string(dir) + "wrxbench.del";
    const std::string same(size_t(blockBytes), 'x');
    const double written = Best([&] {
      if (FILE* out = fopen(name.c_str(), "wb")) {
        fwrite(same.data(), 1, same.size(), out);
        fclose(out);
      }
    });
    DeleteFileA(name.c_str());
    Report("delete a 1 MB block with its undo", deleted, written);
  }
  if (deleteOnly) return 0;

  // 5 MB with runs in three fonts and tab stops, saved as RTF.
  const std::string five = Document(5u << 20, 0);
  HWND f = Load(instance, five);
  WrxWindow* w = GetWrxWindow(f);
  const int bold = SetWrxFont(f, -1, 1, "Arial", 12, 2, 0, 0xFFFFFF, 0, 0);
  const int italic = SetWrxFont(f, -1, 1, "Times New Roman", 14, 4, 0xFF, 0xFFFFFF, 0, 0);
  for (int32_t i = 0; i < w->lineCount; i += 3) {
    std::string line(w->lines[i]->text ? w->lines[i]->text : "", size_t(w->lines[i]->length));
    std::vector<unsigned char> ids(line.size(), 0);
    for (size_t c = 0; c < ids.size(); ++c) ids[c] = uint8_t((c / 8) % 3 == 1 ? bold : (c / 8) % 3 == 2 ? italic : 0);
    SetWrxLine(f, i, line.c_str(), ids.data());
  }
  char tempDir[MAX_PATH];
  GetTempPathA(MAX_PATH, tempDir);
  const std::string rtfName = std::string(tempDir) + "wrxbench.rtf", rawName = std::string(tempDir) + "wrxbench.raw";
  size_t rtfBytes = 0;
  std::string saved;
  const double save = Best([&] {
    w->arg.saveType = 3;
    w->arg.inputKind = 'F';
    WrxSave(w, rtfName.c_str());
    w->arg.inputKind = 'B';
  });
  {
    FILE* in = fopen(rtfName.c_str(), "rb");
    if (in) {
      fseek(in, 0, SEEK_END);
      rtfBytes = size_t(ftell(in));
      fseek(in, 0, SEEK_SET);
      saved.resize(rtfBytes);
      if (fread(saved.data(), 1, rtfBytes, in) != rtfBytes) saved.clear();
      fclose(in);
    }
  }
  const std::string same(rtfBytes, 'x');
  const double raw = Best([&] {
    FILE* out = fopen(rawName.c_str(), "wb");
    if (out) {
      fwrite(same.data(), 1, same.size(), out);
      fclose(out);
    }
  });
  if (rtfBytes < five.size()) std::printf("CHECK FAILED: the RTF file is short (%zu bytes)\n", rtfBytes);
  Report("save 5 MB formatted as RTF", save, raw);
  // The clipboard and the window's buffer take the same bytes in memory.
  std::string bytes;
  const double build = Best([&] { RtfDocumentBytes(w, 0, bytes); });
  if (bytes != saved) std::printf("CHECK FAILED: the saved file is not the RTF the document makes in memory\n");
  Report("the same RTF in memory", build, raw);
  SetWrxModify(f, 0);
  CloseWrx(f, 0);
  DeleteFileA(rtfName.c_str());
  DeleteFileA(rawName.c_str());
  std::string bu = rtfName.substr(0, rtfName.size() - 4) + ".BU";
  DeleteFileA(bu.c_str());
  return 0;
}
