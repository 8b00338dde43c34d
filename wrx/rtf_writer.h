// The RTF writer: a document's lines, fonts, paragraphs and tab stops as Rich
// Text Format that the control's own reader reads back. Portable: the window
// hands over a view of its tables; pictures are written by a callback.
#pragma once

#include "wrx/wrx_format.h"
#include "wrx/wrx_paramodel.h"

#include <cstdint>
#include <functional>
#include <memory>
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
  // Instead of `lines`, when set: that many lines, each given on request
  // (a large document's lines are not copied first).
  int32_t lineCount = 0;
  std::function<Line(int32_t)> lineAt;
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
  // Writes a picture character's group; null writes nothing for it. It
  // calls Output::Fail when the picture cannot be written.
  std::function<void(Output&, int fontId)> picture;
};

// Takes the output a piece at a time; false stops the writing.
using Sink = std::function<bool(const char*, size_t)>;

// The low-level writer: escapes text, keeps the space after a control word
// only where text follows, and breaks output lines past 682 characters only
// before a control word, a group or a blank (never inside a word or a hex
// pair), always before 2048.
class Output {
 public:
  Output() = default;
  // Hands what is written to `sink` whenever `chunk` bytes are waiting.
  Output(const Sink& sink, size_t chunk) : sink_(&sink), chunk_(chunk) {}
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
  // Control words (and group openings, `opens` of them) as Word and Open
  // would write them one after another.
  void Words(const std::string& bytes, int opens);
  // What was written so far, as it stands (no group closed), and no more.
  std::string Take();
  std::string Finish();  // closes open groups and returns the bytes (none with a sink)
  int depth() const { return depth_; }
  void Reserve(size_t bytes);
  // Passes the waiting bytes to the sink once there are enough of them.
  void Drain() {
    if (sink_ && size_ >= chunk_) Pass();
  }
  bool failed() const { return failed_; }
  // A part of the document could not be written: nothing more reaches the
  // sink, so a caller never keeps a document that lacks it.
  void Fail() { failed_ = true; }

 private:
  void Put(char c, bool breakable);
  void Append(const char* s, size_t count);  // where no line may break
  void FlushLine();
  void Pass();
  size_t Column() const { return passed_ + size_ - lineStart_; }
  void Room(size_t count) {
    if (size_ + count > capacity_) Grow(count);
  }
  void Grow(size_t count);
  void Add(const char* s, size_t count);  // appended as it is, no line break
  // The bytes waiting; copied by hand, since the runtime's copy costs more
  // to call than the few bytes of a word or a run take.
  std::unique_ptr<char[]> buffer_;
  size_t size_ = 0, capacity_ = 0;
  size_t passed_ = 0;     // bytes already given to the sink
  size_t lineStart_ = 0;  // counted from the first byte written
  bool pendingSpace_ = false;
  int depth_ = 0;
  const Sink* sink_ = nullptr;
  size_t chunk_ = 0;
  bool failed_ = false;
};

std::string Write(const Document& d);
// The same bytes as Write, handed to `sink` `chunk` bytes or so at a time;
// false when the sink refused them.
bool WriteTo(const Document& d, const Sink& sink, size_t chunk = size_t(256) << 10);

}  // namespace wrxrtf
