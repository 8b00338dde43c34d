// The control's native document format: the text section, the formatting
// section and the trailing information block. Portable (no Win32): it takes
// bytes and gives records, so the control and the fuzzers share one reader.
// All integers in the format are little-endian; the records below are read
// and written byte for byte on x86.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wrxfmt {

constexpr int kMaxFontIds = 253;
constexpr int kFileInfoSize = 602;
constexpr int kFormatVersion = 12;
constexpr int kMaxLineLength = 2046;
constexpr int kMaxTabRecords = 300;
constexpr int kMaxParaFrames = 2000;
constexpr uint8_t kTableMarker = 191;
constexpr uint8_t kOldTableMarker = 190;
constexpr uint8_t kInfoLead = 0xBA;
constexpr uint8_t kInfoParen = '(';
constexpr uint8_t kParaEndChar = 21;
constexpr uint8_t kCellEndChar = 19;
constexpr int kPictureStyle = 128;
// The line that separates the text from the formatting section.
constexpr char kMarkerLine[] = "~`!@#$%^&*()-+|=-WxCfMt";

// Error codes of the control's error table that the reader can report.
enum ReadError : int {
  kErrNone = 0,
  kErrCharFormatMissing = 8,
  kErrTabTableMissing = 35,
  kErrCellTableMissing = 5,
  kErrStyleTableMissing = 34,
  kErrRowTableMissing = 36,
  kErrSectionTableMissing = 41,
  kErrInfoMissing = 77,
  kErrInfoSignature = 78,
  kErrFontTableIncomplete = 79,
  kErrNotNative = 92,
  kErrParaFormatMissing = 119,
  kErrParaTableMissing = 120,
  kErrFrameTableMissing = 121,
};

#pragma pack(push, 1)
struct WrxFontRecord {
  int32_t style;
  int32_t pointSize;
  char face[32];  // the last byte is the pitch-and-family byte
  int32_t pictAlign;
  int32_t textColor;
  int32_t pictWordA;
  int32_t pictWordB;
  int32_t objectType;
  int32_t objectSize;
  int32_t backColor;
  int32_t kind;
  int32_t pictAlignMode;
  int32_t extra;
  int32_t attribute;
  int32_t styleItem;
  int32_t linkNameLength;  // length + 1 of the linked file name, 0 = none
  uint8_t zero[8];
};
static_assert(sizeof(WrxFontRecord) == 100);

struct WrxParaRecord {
  int32_t leftIndent, rightIndent, firstIndent;  // twips
  int32_t flags;
  int32_t tabId;
  int32_t cellWord;
  int32_t shading;    // word 10
  int32_t placement;  // word 11: 1 in a paragraph frame, 2 in a table cell
  int32_t spaceBefore, spaceAfter, lineSpacing;
  int32_t numbering;  // word 15
  int32_t styleId;
  uint8_t zero[20];
};
static_assert(sizeof(WrxParaRecord) == 72);

struct WrxSectionRecord {
  int32_t inUse;
  float leftMargin, rightMargin, topMargin, bottomMargin;  // inches
  int32_t columns;
  float columnSpace;
  int32_t firstLine, lastLine;
  int32_t orientation;
  int32_t continuous;
  uint8_t pageSettings[24];
};
static_assert(sizeof(WrxSectionRecord) == 68);

// Records owned by later layers; the reader carries them whole.
struct WrxTabRecord {
  uint8_t bytes[184];
};
// A table row; slot 0 of the row table is never handed out.
struct WrxRowRecord {
  int32_t inUse;
  int32_t tableWidth;           // twips, 0 = the window's width
  int32_t firstCell, lastCell;  // 0 or -1 = none
  int32_t reserved;
  int32_t height;          // pixels, from the page layout
  int32_t previous, next;  // -1 = first, last row of its table
  int32_t left;            // twips from the text's left edge
  int32_t flags;           // bits 0-1 alignment (1 centre, 2 right)
  int32_t gap;             // twips
  int32_t further[8];
  int32_t minHeight;  // twips, 0 = automatic
};
// A table cell; slot 0 of the cell table is never handed out.
struct WrxCellRecord {
  int32_t inUse;
  int32_t row;
  int32_t next, previous;   // -1 = last, first in the row
  int32_t x, width;         // twips, x from the row's left position
  int32_t borderSides;      // 1 top, 2 bottom, 4 left, 8 right
  int32_t borderWidths[4];  // top, bottom, left, right (twips)
  int32_t margin;
  int32_t reserved;
  int32_t firstLine, lastLine;  // -1 until computed
  int32_t shading;              // percent
  int32_t flags;                // 1 and 2 selected, 8 automatic width, 16 and 64 merged, 32 and 128 HTML
  int32_t rowSpan, columnSpan;
  int32_t colour;
  int32_t further[3];
};
struct WrxFrameRecord {
  uint8_t bytes[86];
};
struct WrxStyleRecord {
  uint8_t bytes[192];
};
static_assert(sizeof(WrxTabRecord) == 184 && sizeof(WrxRowRecord) == 80 && sizeof(WrxCellRecord) == 92);
static_assert(sizeof(WrxFrameRecord) == 86 && sizeof(WrxStyleRecord) == 192);

struct WrxFileInfo {
  uint8_t lead;     // 0xBA
  uint8_t paren;    // '('
  uint8_t version;  // 12 when written
  uint8_t reserved[599];
};
static_assert(sizeof(WrxFileInfo) == kFileInfoSize);
#pragma pack(pop)

struct FontEntry {
  WrxFontRecord rec{};
  bool inUse = false;
  std::string linkName;                   // linked picture file
  int32_t pictHeight = 0, pictWidth = 0;  // points
  std::vector<uint8_t> image, info, object;
};

// Per-line formatting: the font ids (one shared id, or one per character)
// and the paragraph, cell and frame ids.
struct LineFormat {
  bool shared = true;
  uint8_t sharedId = 0;
  uint32_t idOffset = 0;  // into Formatting::idPool when not shared
  int32_t length = 0;     // ids in the pool when not shared
  int32_t para = 0, cell = 0, frame = 0;
};

struct Formatting {
  int version = kFormatVersion;
  std::vector<LineFormat> lines;
  std::vector<uint8_t> idPool;
  std::vector<FontEntry> fonts;  // index = font id
  // A table left empty was not read: the window keeps its own.
  std::vector<WrxParaRecord> paras;
  std::vector<WrxTabRecord> tabs;
  std::vector<WrxSectionRecord> sections;
  std::vector<WrxRowRecord> rows;
  std::vector<WrxCellRecord> cells;
  std::vector<WrxFrameRecord> frames;
  std::vector<WrxStyleRecord> styles;
  WrxFileInfo info{};
};

// The information block at the end of a document. Returns false (and a
// block with version 0) when the document is not native.
bool ReadFileInfo(const uint8_t* data, size_t size, WrxFileInfo& info);

// Reads the formatting section `data` (everything after the marker line, up
// to the document's end) for lines of the given lengths. Returns the first
// error code met (0 when clean); what was read before stays in `out`, with
// every id checked against the tables it names.
int DecodeFormatting(const uint8_t* data, size_t size, const std::vector<int32_t>& lineLengths, Formatting& out);

// Appends the formatting section and the information block (version 12).
// The line ids of `in` must already be compact.
void EncodeFormatting(const Formatting& in, std::vector<uint8_t>& out);

// Splits the text section into lines as the control reads it.
//  - buffer (`fromBuffer`): lines end at `delimiter`; with delimiter 13 a CR
//    LF pair is one line end unless the first CR of the buffer stands alone,
//    in which case the buffer uses bare CR (`crlf` becomes false);
//  - file: lines end at CR LF only.
// A line never holds more than kMaxLineLength - 2 characters; a longer one
// continues on the next line without a line end. `onLine`(text, length,
// ended) returns false to stop. Stops after the marker line, setting
// `markerMet`. Returns the offset just past the last consumed byte.
struct TextSplit {
  size_t end = 0;
  bool markerMet = false;
  bool crlf = true;
};
TextSplit SplitTextSection(const uint8_t* data, size_t size, bool fromBuffer, uint8_t delimiter,
                           const std::function<bool(const char*, size_t, bool)>& onLine);

// An empty font record as a free slot is written.
WrxFontRecord EmptyFontRecord();

}  // namespace wrxfmt
