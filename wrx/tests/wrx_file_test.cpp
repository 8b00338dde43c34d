// Loading and saving documents: plain text and the native format, files and
// memory buffers, backups, and documents that are not what they claim.
#include "wrx/tests/wrx_test_host.h"
#include "wrx/wrx_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace wrxtest;

namespace {

class WrxFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRecords();
    dir_ = TempDir();
  }
  void TearDown() override {
    EXPECT_TRUE(g_boxes.empty());
    for (HWND hwnd : windows_)
      if (IsWindow(hwnd)) CloseWrx(hwnd, 0);
  }
  std::string Path(const std::string& name) { return dir_ + "\\" + name; }
  HWND OpenFile(const std::string& path, DWORD style = 0, int saveType = 4) {
    WrxArgList a = HiddenArgs(style);
    a.inputKind = 'F';
    strncpy(a.fileName, path.c_str(), sizeof a.fileName - 1);
    a.saveType = saveType;
    HWND hwnd = CreateHidden(a);
    windows_.push_back(hwnd);
    return hwnd;
  }
  HWND OpenBuffer(const std::string& bytes, DWORD style = 0, char delimiter = 13) {
    HWND hwnd = CreateFromText(bytes, style, delimiter);
    windows_.push_back(hwnd);
    return hwnd;
  }
  std::string dir_;
  std::vector<HWND> windows_;
};

// A formatted document built through the host calls.
void FillFormatted(HWND hwnd) {
  const int bold = SetWrxFont(hwnd, -1, 1, "Times New Roman", 14, 2, 0x0000FF, 0xFFFFFF, 0, 0);
  const int mono = SetWrxFont(hwnd, -1, 1, "Courier New", 9, 0, 0, 0xFFFFFF, 0, 0);
  unsigned char ids[12] = {0, 0, 0, 0, 0, 0, uint8_t(bold), uint8_t(bold), uint8_t(bold), uint8_t(bold), 0, 0};
  SetWrxLine(hwnd, 0, "Plain, bold.", ids);
  SetWrxLine(hwnd, 1, "all mono", nullptr);
  unsigned char monoIds[8];
  memset(monoIds, mono, sizeof monoIds);
  SetWrxLine(hwnd, 1, "all mono", monoIds);
  SetWrxLine(hwnd, 2, "tab\there", nullptr);
  SetWrxMargins(hwnd, 720, -1, 2880, -1, 0);
}

}  // namespace

TEST_F(WrxFileTest, PlainTextFilesRoundTripByteForByte) {
  struct Case {
    const char* name;
    DWORD style;
    std::string bytes;
  } cases[] = {
      {"plain", 0, "first line\r\n\r\nthird \xE9t\xE9\r\n"},
      {"word wrap", WRX_WORDWRAP, "a paragraph\r\nanother one\r\n\r\n"},
      {"control characters", 0, std::string("tab\there\x01\x7F\xFF\r\n")},
  };
  for (const Case& c : cases) {
    const std::string path = Path(std::string(c.name) + ".txt");
    WriteFileBytes(path, c.bytes);
    HWND hwnd = OpenFile(path, c.style);
    ASSERT_NE(hwnd, nullptr) << c.name;
    WrxWindow* w = GetWrxWindow(hwnd);
    EXPECT_EQ(w->plainText, 1) << c.name;
    ASSERT_EQ(WrxSave(w, path.c_str()), 1) << c.name;
    EXPECT_EQ(ReadFileBytes(path), c.bytes) << c.name;
    EXPECT_EQ(ReadFileBytes(Path(std::string(c.name) + ".BU")), c.bytes) << "the old file is the backup";
  }
  // In word-wrap mode every text line became a paragraph.
  HWND hwnd = OpenFile(Path("word wrap.txt"), WRX_WORDWRAP);
  EXPECT_EQ(LineText(hwnd, 0), "a paragraph\x15");
  EXPECT_EQ(LineText(hwnd, 2), "\x15");
}

TEST_F(WrxFileTest, TheBackupReplacesTheExtensionOrIsAppended) {
  struct Case {
    const char* name;
    const char* backup;
  } cases[] = {{"letter.txt", "letter.BU"}, {"notes", "notes.BU"}, {"a.b.long", "a.b.long.BU"}, {"x.c", "x.BU"}};
  for (const Case& c : cases) {
    const std::string path = Path(c.name);
    WriteFileBytes(path, "old\r\n");
    WriteFileBytes(Path(c.backup), "older backup\r\n");
    HWND hwnd = OpenFile(path);
    SetWrxLine(hwnd, 0, "new", nullptr);
    ASSERT_EQ(WrxSave(GetWrxWindow(hwnd), path.c_str()), 1) << c.name;
    EXPECT_EQ(ReadFileBytes(path), "new\r\n") << c.name;
    EXPECT_EQ(ReadFileBytes(Path(c.backup)), "old\r\n") << c.name;
  }
}

TEST_F(WrxFileTest, NativeDocumentsRoundTripWithTheirFormatting) {
  for (DWORD style : {DWORD(0), DWORD(WRX_WORDWRAP)}) {
    const std::string first = Path("doc1.kvq"), second = Path("doc2.kvq");
    HWND hwnd = OpenBuffer("", style);
    FillFormatted(hwnd);
    WrxWindow* w = GetWrxWindow(hwnd);
    w->arg.inputKind = 'F';
    w->arg.saveType = 0;
    ASSERT_EQ(WrxSave(w, first.c_str()), 1);
    w->arg.inputKind = 'B';

    HWND loaded = OpenFile(first, style);
    ASSERT_NE(loaded, nullptr);
    WrxWindow* lw = GetWrxWindow(loaded);
    EXPECT_EQ(lw->plainText, 0);
    EXPECT_EQ(LineText(loaded, 0), "Plain, bold.");
    EXPECT_EQ(LineText(loaded, 2), "tab\there");
    const int bold = GetWrxCharFont(loaded, 0, 7);
    char face[32];
    int size = 0;
    DWORD bits = 0;
    ASSERT_EQ(GetWrxFontInfo(loaded, bold, face, &size, &bits), 1);
    EXPECT_STREQ(face, "Times New Roman");
    EXPECT_EQ(size, 14);
    EXPECT_EQ(bits, DWORD(2));
    EXPECT_EQ(GetWrxCharFont(loaded, 0, 0), 0);
    EXPECT_EQ(GetWrxCharFont(loaded, 0, 10), 0);
    auto field = std::make_unique<WrxFieldRec>();
    GetWrxField(loaded, field.get());
    EXPECT_EQ(field->sectionMargins[0], 720);
    EXPECT_EQ(field->sectionMargins[2], 2880);
    ASSERT_EQ(WrxSave(lw, second.c_str()), 1) << "save type 4 keeps a formatted document native";
    EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(first)) << "style " << style;
    EXPECT_EQ(ReadFileBytes(first).substr(0, 14), "Plain, bold.\r\n") << "the text comes first";
  }
}

TEST_F(WrxFileTest, BuffersKeepTheirLineEnds) {
  struct Case {
    const char* name;
    std::string bytes;
    char delimiter;
    DWORD style;
    std::vector<std::string> lines;
  } cases[] = {
      {"CR LF", "one\r\ntwo\r\n", 13, 0, {"one", "two"}},
      {"bare CR", "one\rtwo\r\rfour\r", 13, 0, {"one", "two", "", "four"}},
      {"bare CR, word wrap", "one\rtwo\r", 13, WRX_WORDWRAP, {"one\x15", "two\x15"}},
      {"other delimiter", "a|b|", '|', 0, {"a", "b"}},
  };
  for (const Case& c : cases) {
    HWND hwnd = OpenBuffer(c.bytes, c.style, c.delimiter);
    ASSERT_NE(hwnd, nullptr) << c.name;
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(LineText(hwnd, long(i)), c.lines[i]) << c.name << " " << i;
    EXPECT_EQ(LineText(hwnd, long(c.lines.size())), "<none>") << c.name;
    ASSERT_EQ(WrxSave(GetWrxWindow(hwnd), nullptr), 1) << c.name;
    EXPECT_EQ(BufferBytes(hwnd), c.bytes) << c.name;
  }
  // A native document in a bare-CR buffer.
  HWND hwnd = OpenBuffer("x\r", WRX_WORDWRAP);
  FillFormatted(hwnd);
  WrxWindow* w = GetWrxWindow(hwnd);
  w->arg.saveType = 0;
  ASSERT_EQ(WrxSave(w, nullptr), 1);
  const std::string native = BufferBytes(hwnd);
  EXPECT_EQ(native.find("\r\n"), std::string::npos);
  HWND again = OpenBuffer(native, WRX_WORDWRAP);
  EXPECT_EQ(LineText(again, 1), "all mono");
  EXPECT_GT(GetWrxCharFont(again, 1, 0), 0);
  WrxWindow* aw = GetWrxWindow(again);
  aw->arg.saveType = 0;
  ASSERT_EQ(WrxSave(aw, nullptr), 1);
  EXPECT_EQ(BufferBytes(again), native);
}

TEST_F(WrxFileTest, ReadsAVersionTwoDocument) {
  // Text with the shown forms of the paragraph end (182) and cell end (164),
  // one-byte font-id counts, four-byte paragraph ids, and the older record
  // sizes of that version.
  std::string d = "Hello\xB6\r\nx\xA4y\r\n";
  d += wrxfmt::kMarkerLine;
  d += "\r\n";
  auto i32 = [&d](int32_t v) { d.append(reinterpret_cast<const char*>(&v), 4); };
  d += '\x01', d += '\x00';                            // line 0: shared id 0
  d += '\x03', d += '\x01', d += '\x00', d += '\x01';  // line 1: ids 1, 0, 1
  d += char(wrxfmt::kTableMarker), d += '\x02';
  for (int id = 0; id < 2; ++id) {
    wrxfmt::WrxFontRecord rec = wrxfmt::EmptyFontRecord();
    strcpy(rec.face, id ? "Courier New" : "Arial");
    rec.pointSize = id ? 10 : 12;
    rec.style = id ? 4 : 0;
    rec.backColor = 0xFFFFFF;
    d.append(reinterpret_cast<const char*>(&rec), sizeof rec);
  }
  d += char(wrxfmt::kTableMarker);
  i32(0), i32(0);
  d += char(wrxfmt::kTableMarker);
  i32(1);
  for (int k = 0; k < 10; ++k) i32(k == 0 ? 360 : k == 3 ? 0x001 : 0);
  auto table = [&](int32_t n, size_t size) {
    d += char(wrxfmt::kTableMarker);
    i32(n);
    d.append(size * size_t(n), '\0');
  };
  table(1, 164), table(1, 68), table(1, 80), table(1, 88), table(1, 48), table(1, 192);
  d += char(wrxfmt::kInfoLead);
  std::string info(wrxfmt::kFileInfoSize, '\0');
  info[0] = char(wrxfmt::kInfoLead), info[1] = '(', info[2] = 2;
  d += info;
  const std::string path = Path("old.kvq");
  WriteFileBytes(path, d);

  HWND hwnd = OpenFile(path, WRX_WORDWRAP, 1);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(LineText(hwnd, 0), "Hello\x15");
  EXPECT_EQ(LineText(hwnd, 1), "x\x13y");
  EXPECT_EQ(GetWrxCharFont(hwnd, 1, 0), 1);
  EXPECT_EQ(GetWrxCharFont(hwnd, 1, 1), 0);
  char face[32];
  ASSERT_EQ(GetWrxFontInfo(hwnd, 1, face, nullptr, nullptr), 1);
  EXPECT_STREQ(face, "Courier New");
  auto field = std::make_unique<WrxFieldRec>();
  GetWrxField(hwnd, field.get());
  EXPECT_EQ(field->leftIndent, 360);
  EXPECT_TRUE(g_errors.empty()) << g_errors.front();
  // Saved as text: the paragraph ends become line ends again.
  const std::string text = Path("old.txt");
  ASSERT_EQ(WrxSave(GetWrxWindow(hwnd), text.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(text), "Hello\r\nx\x13y");
}

TEST_F(WrxFileTest, HostileNativeDocumentsAreRefusedWithoutLosingTheText) {
  HWND source = OpenBuffer("", WRX_WORDWRAP);
  FillFormatted(source);
  WrxWindow* sw = GetWrxWindow(source);
  sw->arg.saveType = 0;
  ASSERT_EQ(WrxSave(sw, nullptr), 1);
  const std::string good = BufferBytes(source);
  const size_t format = good.find(wrxfmt::kMarkerLine) + sizeof wrxfmt::kMarkerLine - 1 + 2;
  const size_t fontTable = format + (4 + 12) + (4 + 1) + (4 + 1);  // ids of the three lines
  struct Case {
    const char* name;
    size_t offset;
    std::string bytes;
    int error;
  } cases[] = {
      {"font-id count beyond the line", format, std::string("\xFF\xFF\xFF\x7F", 4), 8},
      {"font count above 253", fontTable + 1, "\xFE", 79},
      {"old font layout", fontTable, "\xBE", 79},
      {"paragraph id beyond the table", 0, "", 92},  // patched below
      {"truncated style table", 0, "", 34},
  };
  for (Case c : cases) {
    std::string d = good;
    if (std::string(c.name) == "paragraph id beyond the table") {
      const size_t lineIds = fontTable + 2 + 3 * sizeof(wrxfmt::WrxFontRecord);
      ASSERT_EQ(uint8_t(d[lineIds]), wrxfmt::kTableMarker);
      int32_t bad = 5000;
      memcpy(&d[lineIds + 1], &bad, 4);
    } else if (std::string(c.name) == "truncated style table") {
      d.erase(d.size() - wrxfmt::kFileInfoSize - 40, 40);
    } else {
      d.replace(c.offset, c.bytes.size(), c.bytes);
    }
    ResetRecords();
    HWND hwnd = OpenBuffer(d, WRX_WORDWRAP);
    ASSERT_NE(hwnd, nullptr) << c.name;
    EXPECT_EQ(LineText(hwnd, 0), "Plain, bold.") << c.name;
    EXPECT_EQ(LineText(hwnd, 2), "tab\there") << c.name;
    ASSERT_FALSE(g_errors.empty()) << c.name;
    EXPECT_EQ(g_errors.back(), c.error) << c.name;
    WrxWindow* w = GetWrxWindow(hwnd);
    for (int32_t i = 0; i < w->lineCount; ++i) {
      EXPECT_LT(size_t(w->lines[i]->para), w->paras.size()) << c.name;
      for (int32_t col = 0; col < w->lines[i]->length; ++col) EXPECT_LT(GetCharFont(w, i, col), w->fontCount);
    }
  }
}

TEST_F(WrxFileTest, ReadOnlyFilesLoadReadOnlyAndMissingOnesDoNotLoad) {
  // Another program holds the file and lets others only read it.
  const std::string path = Path("locked.txt");
  WriteFileBytes(path, "cannot change me\r\n");
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  HWND hwnd = OpenBuffer("other\r\n");
  ASSERT_EQ(ReadWrxFile(hwnd, path.c_str()), 1);
  EXPECT_EQ(LineText(hwnd, 0), "cannot change me");
  EXPECT_EQ(GetWrxReadOnly(hwnd), 1);
  HWND direct = OpenFile(path);
  ASSERT_NE(direct, nullptr);
  EXPECT_EQ(GetWrxReadOnly(direct), 1);
  CloseHandle(holder);

  EXPECT_EQ(ReadWrxFile(hwnd, Path("missing.txt").c_str()), 0);
  EXPECT_EQ(LineText(hwnd, 0), "cannot change me") << "a failed load keeps the document";

  // Creation asks whether to make a missing file; a silenced window cannot
  // ask, so the answer is No and no window is made.
  EXPECT_EQ(OpenFile(Path("missing.txt")), nullptr);
  ASSERT_EQ(g_questions.size(), 1u);
  EXPECT_EQ(g_questions[0].text, "File Does Not Exist, Create a New File?");
  g_answer = IDYES;
  HWND created = OpenFile(Path("new.txt"));
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(LineText(created, 0), "");
}
