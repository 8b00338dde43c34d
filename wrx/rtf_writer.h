// The RTF writer: a document's lines, fonts, paragraphs and tab stops as Rich
// Text Format that the control's own reader reads back. Portable: the window
// hands over a view of its tables; pictures are written by a callback.
#pragma once

#include "wrx/wrx_format.h"
#include "wrx/wrx_paramodel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wrxrtf {

struct Font {
  bool inUse = false;
  bool picture = false;
  std::string face;
  uint8_t pitchFamily = 0;
  int32_t pointSize = 12;
  uint32_t style = 0;
  uint32_t text = 0, back = 0xFFFFFF;
};

struct Line {
  const char* text = nullptr;
  int32_t length = 0;
  const uint8_t* ids = nullptr;  // one font id per character
  int32_t para = 0, cell = 0;
};

struct Section {
  float left = 1.25f, right = 1.25f, top = 1.0f, bottom = 1.0f;  // inches
  int32_t columns = 1;
  float columnSpace = 0.5f;
  bool continuous = false;
};

class Output;

struct Document {
  std::vector<Font> fonts;  // index = font id
  std::vector<wrxfmt::WrxParaRecord> paras;
  std::vector<wrxpara::WrxTab> tabs;
  std::vector<Section> sections;
  std::vector<Line> lines;
  // Table rows and cells, indexed by the lines' cell ids (slot 0 unused).
  std::vector<wrxfmt::WrxRowRecord> rows;
  std::vector<wrxfmt::WrxCellRecord> cells;
  uint32_t background = 0xFFFFFF;
  bool wordWrap = true;
  uint8_t paraEnd = 21, cellEnd = 19;
  // A block (first line and column to last line and column, exclusive)
  // instead of the whole document.
  bool block = false;
  int32_t firstLine = 0, firstCol = 0, lastLine = 0, lastCol = 0;
  // Writes a picture character's group; null writes nothing for it.
  std::function<void(Output&, int fontId)> picture;
};

// The low-level writer: escapes text, keeps the space after a control word
// only where text follows, and breaks output lines past 682 characters only
// before a control word, a group or a blank (never inside a word or a hex
// pair), always before 2048.
class Output {
 public:
  void Text(uint8_t c);
  // Printable characters that need no escaping (32-126 but for \ { }), as
  // Text would write them one by one.
  void PlainText(const char* text, size_t count);
  void Word(const char* word);
  void Word(const char* word, long param);
  void Open();
  void Close();
  void Hex(uint8_t b);
  void Raw(const char* s);  // written as it is (no escaping)
  std::string Finish();     // closes open groups and returns the bytes
  int depth() const { return depth_; }
  void Reserve(size_t bytes) { out_.reserve(bytes); }

 private:
  void Put(char c, bool breakable);
  void FlushLine();
  std::string out_;
  size_t lineStart_ = 0;
  bool pendingSpace_ = false;
  int depth_ = 0;
};

std::string Write(const Document& d);

}  // namespace wrxrtf
