// The RTF writer against the control's own reader: a formatted document goes
// out and comes back with the same characters, fonts and paragraph records,
// and a second round writes the same bytes.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"
#include "wrx/wrx_dib.h"
#include "wrx/wrx_paramodel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace wrxtest;

namespace {

class WrxRtfWriteTest : public WrxHostTest {
 protected:
  HWND Load(const std::string& bytes) {
    HWND hwnd = CreateFromText(bytes, WRX_WORDWRAP);
    windows_.push_back(hwnd);
    return hwnd;
  }
  // A red 24-bit DIB of the size given, pasted from a handle at a column of
  // the first line; its picture id.
  static int PasteRedDib(HWND hwnd, int width, int height, int column) {
    const size_t row = wrxdib::RowBytes(width, 24);
    std::string dib(40 + row * size_t(height), '\0');
    auto* p = reinterpret_cast<uint8_t*>(&dib[0]);
    wrxdib::Put32(p, 40), wrxdib::Put32(p + 4, uint32_t(width)), wrxdib::Put32(p + 8, uint32_t(height));
    wrxdib::Put16(p + 12, 1), wrxdib::Put16(p + 14, 24);
    for (size_t k = 40; k < dib.size(); k += 3) p[k + 2 < dib.size() ? k + 2 : k] = 255;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    memcpy(GlobalLock(h), dib.data(), dib.size());
    GlobalUnlock(h);
    SetWrxCursorPos(hwnd, 0, column, 0);
    const int id = WrxPastePicture(hwnd, CF_DIB, h, 0, 0, 1);
    GlobalFree(h);
    return id;
  }
  static std::string Rtf(HWND hwnd) {
    std::string out;
    EXPECT_TRUE(RtfDocumentBytes(GetWrxWindow(hwnd), 0, out));
    return out;
  }
};

struct CharView {
  std::string face;
  int size;
  DWORD style;
  COLORREF colour;
  bool operator==(const CharView& o) const {
    return _stricmp(face.c_str(), o.face.c_str()) == 0 && size == o.size && style == o.style && colour == o.colour;
  }
};

// Every character with its font's attributes, and each line's paragraph
// record (alignment "none" read as left) and tab stops, by value.
std::string Describe(HWND hwnd) {
  WrxWindow* w = GetWrxWindow(hwnd);
  std::string s;
  for (int32_t i = 0; i < w->lineCount; ++i) {
    const WrxLine* l = w->lines[i];
    for (int32_t c = 0; c < l->length; ++c) {
      const WrxFont& f = w->fonts[GetCharFont(w, i, c)];
      char buf[128];
      if (f.style & 128) {
        snprintf(buf, sizeof buf, "[pict %dx%d]", f.pict ? f.pict->width : 0, f.pict ? f.pict->height : 0);
      } else {
        snprintf(buf, sizeof buf, "%c<%s,%d,%lx,%06lx>", l->text[c] < 32 ? '#' : l->text[c], f.face, f.pointSize,
                 (unsigned long)f.style, (unsigned long)f.textColor);
      }
      s += buf;
    }
    wrxfmt::WrxParaRecord p = w->paras[size_t(l->para)];
    if (!(p.flags & (PF_CENTRED | PF_RIGHT | PF_JUSTIFIED))) p.flags |= PF_LEFT;
    const wrxpara::WrxTab t = p.tabId > 0 ? wrxpara::TabFromRecord(w->tabs[size_t(p.tabId)]) : wrxpara::WrxTab{};
    char buf[256];
    snprintf(buf, sizeof buf, " |para %d %d %d %x %d %d %d %d tabs", p.leftIndent, p.rightIndent, p.firstIndent,
             p.flags, p.shading, p.spaceBefore, p.spaceAfter, p.lineSpacing);
    s += buf;
    for (int k = 0; k < t.count; ++k)
      s += " " + std::to_string(t.positions[k]) + "/" + std::to_string(t.kinds[k]) + "/" + std::to_string(t.leaders[k]);
    s += "\n";
  }
  return s;
}

}  // namespace

TEST_F(WrxRtfWriteTest, AFormattedDocumentComesBackTheSameAndWritesStably) {
  HWND hwnd = Load(
      "Plain start, bold and italic\r\ncentred {braces} \\ back\r\ntabs\tand\tstops\r\n"
      "accents \xE9\xE8 quotes \x93q\x94 dashes \x96\x97\r\nlast\r\n");
  WrxWindow* w = GetWrxWindow(hwnd);
  WrxRewrap(hwnd);
  const int bold = SetWrxFont(hwnd, -1, 1, "Arial", 12, 2, 0, 0xFFFFFF, 0, 0);
  const int italic = SetWrxFont(hwnd, -1, 1, "Times New Roman", 16, 4 | 1, 0x0000FF, 0xFFFFFF, 0, 0);
  const int super = SetWrxFont(hwnd, -1, 1, "Courier New", 10, 16 | 0x100 | 0x200, 0x008000, 0xFFFFFF, 0, 0);
  ASSERT_GT(bold, 0);
  unsigned char ids[64];
  const std::string l0 = LineText(hwnd, 0);
  for (size_t c = 0; c < l0.size(); ++c) ids[c] = c >= 13 && c < 17 ? bold : c >= 22 ? italic : 0;
  ids[12] = uint8_t(super);
  SetWrxLine(hwnd, 0, l0.c_str(), ids);
  SetWrxCursorPos(hwnd, 1, 0, 0);
  SetWrxParaFlags(hwnd, PF_CENTRED | PF_BORDERSIDES | PF_BORDERTHICK | PF_KEEP, 1, 0);
  SetParaShading(hwnd, 1500, 0);
  SetWrxCursorPos(hwnd, 2, 0, 0);
  SetTabParam(hwnd, 1, 2880, 1, 0);
  SetTabParam(hwnd, 3, 4320, 0, 0);
  SetWrxParaIndent(hwnd, 360, 180, -180, 0);
  SetWrxCursorPos(hwnd, 3, 0, 0);
  WrxParaBullet(hwnd, 1, 0);
  SetParaSpacing(hwnd, 120, 240, -300, 0);
  SetWrxCursorPos(hwnd, 4, 0, 0);
  SetWrxParaFlags(hwnd, PF_DOUBLESPACE | PF_JUSTIFIED, 1, 0);
  SetWrxCursorPos(hwnd, 4, 2, 0);
  ASSERT_EQ(FootnoteParam(hwnd, "1", "A note", 16, 0), 1);
  WrxRewrap(hwnd);
  const std::string first = Rtf(hwnd);
  EXPECT_NE(first.find("{\\footnote{\\super 1} A note}}"), std::string::npos) << first;
  HWND second = Load(first);
  WrxRewrap(second);
  EXPECT_EQ(Describe(second), Describe(hwnd)) << first;
  const std::string again = Rtf(second);
  HWND third = Load(again);
  WrxRewrap(third);
  EXPECT_EQ(Rtf(third), again) << "a second round writes the same bytes";
  (void)w;
}

TEST_F(WrxRtfWriteTest, PicturesTravelAsMetafilesAndSavingWritesRtf) {
  HWND hwnd = Load("a picture: \r\n");
  WrxRewrap(hwnd);
  ASSERT_GT(PasteRedDib(hwnd, 16, 8, 11), 0);
  const std::string rtf = Rtf(hwnd);
  EXPECT_NE(rtf.find("\\wmetafile8"), std::string::npos);
  HWND back = Load(rtf);
  WrxRewrap(back);
  EXPECT_EQ(Describe(back), Describe(hwnd));
  // Saving as RTF goes through a temporary file and leaves a document that
  // reads back.
  const std::string dir = TempDir(), name = dir + "\\saved.rtf";
  WrxWindow* w = GetWrxWindow(hwnd);
  w->arg.saveType = 3;
  w->arg.inputKind = 'F';
  ASSERT_TRUE(WrxSave(w, name.c_str()));
  w->arg.inputKind = 'B';
  const std::string saved = ReadFileBytes(name);
  EXPECT_EQ(saved, rtf);
  DeleteFileA(name.c_str());
  RemoveDirectoryA(dir.c_str());
}

// A picture that cannot become a metafile fails the write, with one box for
// it: a document saved without the picture would replace the one that has it.
TEST_F(WrxRtfWriteTest, APictureThatCannotBeWrittenFailsTheSaveAndKeepsTheOldFile) {
  HWND hwnd = Load("two pictures: \r\n");
  WrxRewrap(hwnd);
  WrxWindow* w = GetWrxWindow(hwnd);
  for (int k = 0; k < 2; ++k) {
    const int id = PasteRedDib(hwnd, 2, 2, 14);
    ASSERT_GT(id, 0);
    w->fonts[id].pict->image.clear();  // its bits lost
  }
  ResetRecords();
  std::string bytes = "untouched";
  EXPECT_FALSE(RtfDocumentBytes(w, 0, bytes));
  EXPECT_EQ(bytes, "untouched");
  EXPECT_EQ(g_errors, std::vector<int>{51}) << "one box, for the first picture";

  const std::string dir = TempDir(), name = dir + "\\kept.rtf";
  const std::string old = "{\\rtf1 the old document\\par}";
  HANDLE f = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, old.data(), DWORD(old.size()), &written, nullptr);
  CloseHandle(f);
  ResetRecords();
  w->arg.saveType = 3;
  w->arg.inputKind = 'F';
  EXPECT_FALSE(WrxSave(w, name.c_str()));
  w->arg.inputKind = 'B';
  EXPECT_EQ(ReadFileBytes(name), old);
  EXPECT_EQ(g_errors, (std::vector<int>{51, 31})) << "the picture, then the save";
  ResetRecords();
  DeleteFileA(name.c_str());
  DeleteFileA((name + ".~WX").c_str());
  RemoveDirectoryA(dir.c_str());
}

// A marker of several characters is its first character, the note, then the
// rest of the marker after the note; all of it must come back as a mark.
TEST_F(WrxRtfWriteTest, FootnoteMarkersOfSeveralCharactersComeBackAsMarks) {
  for (const char* marker : {"7", "12", "ab*"}) {
    SCOPED_TRACE(marker);
    HWND hwnd = Load("see here and on\r\nnext\r\n");
    WrxRewrap(hwnd);
    SetWrxCursorPos(hwnd, 0, 3, 0);
    ASSERT_EQ(FootnoteParam(hwnd, marker, "A note", 16, 0), 1);
    WrxRewrap(hwnd);
    const std::string rtf = Rtf(hwnd);
    HWND back = Load(rtf);
    WrxRewrap(back);
    EXPECT_EQ(Describe(back), Describe(hwnd)) << rtf;
  }
  // Text after a note in a group that held more than its mark stays text.
  HWND other = Load("{\\rtf1 {\\b ab{\\footnote n} cd}}");
  WrxRewrap(other);
  WrxWindow* w = GetWrxWindow(other);
  ASSERT_EQ(LineText(other, 0).substr(0, 3), "abn");
  EXPECT_EQ(w->fonts[GetCharFont(w, 0, 1)].style & 0x1C00, 0x400u) << "the mark";
  EXPECT_EQ(w->fonts[GetCharFont(w, 0, 2)].style & 0x1C00, 0x800u) << "the note";
  for (int32_t c = 3; c < 6; ++c) EXPECT_EQ(w->fonts[GetCharFont(w, 0, c)].style & 0x1C00, 0u) << c;
}
