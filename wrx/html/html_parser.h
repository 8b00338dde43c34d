// The HTML reader's single pass: tags and words in, formatted runs,
// paragraphs, anchors, pictures and form fields out through HtmlOutput.
// Portable: the Win32 side's output puts them into a control window.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace html {

constexpr uint8_t kParaChar = 21;  // the control's paragraph end
constexpr int kMaxGroups = 200;
constexpr size_t kMaxPendingText = 1024;
constexpr int kMaxForms = 50;
constexpr int kMaxFields = 400;
constexpr int kMaxOptions = 1000;
constexpr size_t kMaxTextAreaText = 32000;

// Bits of the paragraph kind word.
constexpr uint32_t kKindInForm = 0x1000, kKindListItem = 0x2000, kKindTerm = 0x4000;
// Character style bits of the control.
constexpr uint32_t kUnderline = 1, kBold = 2, kItalic = 4, kStrike = 8, kSuper = 16, kSub = 32, kHidden = 64;

struct ParaWords {
  int spaceBefore = 0, spaceAfter = 0, lineSpacing = 0, leftIndent = 0, firstIndent = 0, rightIndent = 0;
  int shading = 0;
  uint32_t flags = 0;      // 0x0001 centred, 0x0002 right, 0x0400 left, 0x0800 justified; rule borders
  uint32_t placement = 0;  // 4: preformatted
  uint32_t kind = 0;       // list level, list kind, heading level, block kind, form, item, term
  bool Any() const {
    return spaceBefore || spaceAfter || lineSpacing || leftIndent || firstIndent || rightIndent || shading || flags ||
           placement || kind;
  }
};

// How a run of text looks: one of the 20 styles, extra character bits, a
// colour, and whether it is a link's text.
struct RunFormat {
  int style = 0;
  uint32_t bits = 0;
  uint32_t colour = 0;    // COLORREF
  bool distinct = false;  // inside an anchor: a font of its own
  ParaWords para;
};

enum FieldKind : uint32_t {
  kText = 0,
  kRadio = 1,
  kSubmit = 2,
  kReset = 3,
  kTextArea = 4,
  kCheckBox = 5,
  kHiddenField = 6,
  kPassword = 7,
  kImageField = 8,
  kList = 9
};

struct FormOption {
  bool selected = false;
  std::string value, text;
};

struct FormField {
  FieldKind kind = kText;
  std::string name;  // at most 59 characters
  int form = 0;
  bool checked = false;
  bool hasValue = false;
  std::string value;  // VALUE, or a text area's initial text
  int size = 40;      // characters; visible rows of a list
  int lengthLimit = 0;
  int rows = 3, cols = 40;
  int clickX = 0, clickY = 0;
  bool multiple = false;
  std::vector<FormOption> options;
  std::string src, alt;  // image fields
};

struct Form {
  bool post = false;
  std::string action;  // at most 99 characters
};

// The forms and fields of one control, kept from read to read until it closes.
struct FormTable {
  std::vector<Form> forms;
  std::vector<FormField> fields;
};

// An img (or an image field, or the body background) the output may place.
struct PictureRequest {
  std::string src, alt;
  int alignment = 0;  // 0 bottom, 1 middle, 2 top
  bool imageMap = false;
  bool link = false;
  int fieldIndex = -1;  // an image field's index
  RunFormat format;
};

// Where the reader's results go. Every member is set (a default table does
// nothing); a false answer from text, picture or field stops the read.
struct HtmlOutput {
  void* context;
  // A run of text (may end with the paragraph character 21) in a format.
  bool (*text)(void* context, const std::string& run, const RunFormat& format);
  // The title (3274), a base address (3279), an anchor's HREF (3280).
  void (*hostText)(void* context, int message, const std::string& text);
  // A picture; false when there is none (the reader then writes the ALT text).
  bool (*picture)(void* context, const PictureRequest& request, bool& placed);
  void (*background)(void* context, const std::string& name);
  // Field index of the form table, to make as a control; false stops the read.
  bool (*field)(void* context, const FormTable& forms, int index);
  // A field made earlier whose state changed (a radio button unchecked).
  void (*resetField)(void* context, const FormTable& forms, int index);
};

struct ReaderSettings {
  uint32_t linkColour = 0xFF0000;
  uint32_t linkBits = 1;
  uint32_t pageColour = 0xFFFFFF;
  bool readOnly = true;
  int textWidthPixels = 600;
  int dotsPerInchX = 96, dotsPerInchY = 96;
};

struct ReadResult {
  bool completed = true;  // false: the read stopped early
  int errorCode = 0;      // for the box; 0 none
  std::string errorText;
  bool aborted = false;    // a field or picture step failed: "Read aborted"
  std::string diagnostic;  // the position line for the debug output
  std::string title;
};

// Reads a whole document. forms holds the control's form table.
ReadResult HtmlParse(const uint8_t* data, size_t size, const HtmlOutput& out, const ReaderSettings& settings,
                     FormTable& forms);

// An output that does nothing (for the members a caller leaves alone).
HtmlOutput NullHtmlOutput();

}  // namespace html
