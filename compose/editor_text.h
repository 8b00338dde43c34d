// The editor's text rules that need no window: the parameter string an
// editor opens with, quoting and wrapping, the attribution template, name
// case, signature escaping and the autocorrect list. Portable.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The pieces of an editor parameter string: "recipients?key=value?...".
struct EditorParams {
  std::string recipients;  // the text before the first '?'
  bool hasSubject = false, hasName = false, hasNumber = false, hasService = false;
  bool hasFolder = false, hasInReplyTo = false;
  std::string subject, name, number, service, folder, inReplyTo;
  std::vector<std::string> fileNames;    // "filename=": inserted into the body
  std::vector<std::string> attachments;  // "attach="
};
// Keys compare without regard to case; every "%XX" after the first '?'
// is decoded.
EditorParams ParseEditorParams(const char* text);

// The text quoted for insertion: "> " before every line and "\r\n>\r\n" at
// the end, or "<< ... >>" followed by an empty line. Empty when the text
// holds nothing but blanks and line breaks.
std::string QuotedText(const char* text, bool bracketStyle);
// Length of the longest line of a text (lines end at LF; CR not counted).
int LongestLine(const char* text);
// Word-wraps in place by turning the blank before a word that reaches the
// width into LF.
void WrapText(char* text, int width);

// The values an attribution template's macros take.
struct AttributionFields {
  long number = 0;
  std::string folder;  // service key stripped: "conference/topic"
  bool dvn = false;    // '_' in the topic part becomes a blank
  std::string messageId, from, date, newsgroup;
  std::string firstNameOverride;  // "Attribution" section value for the name, if any
};
// The attribution line from a template ("\r" removed, "\n" made CR LF),
// empty when there is none to insert.
std::string ExpandAttribution(const char* templ, const AttributionFields& fields);
// Capital initials for a name that has no lower-case letter.
char* NameCase(char* name);
// "Last, First" becomes "First Last".
std::string SwapLastFirst(const std::string& name);

// A signature as stored (at most 319 characters) and back. The backslash is
// escaped too, so a path reads back whole; old values without it still read.
std::string EncodeSignature(const char* text);
std::string DecodeSignature(const char* stored);

// The autocorrect list: "word:replacement" lines under a lexicon header.
struct AutoCorrectEntry {
  char word[64];
  char replacement[64];
};
class AutoCorrectList {
 public:
  // From the file's whole text; false (and empty) when the header does not
  // give four fields. The header's count is bounded by the lines there are.
  bool Load(const char* text, size_t size);
  void Clear() {
    entries_.clear();
    loaded_ = false;
  }
  bool Loaded() const { return loaded_; }
  size_t Count() const { return entries_.size(); }
  // 4096 when nothing changed, else the change of length; the buffer holds
  // the word at its start and must have room for 63 more characters.
  int CorrectWord(char* buffer, int wordLength, bool exactCase) const;

 private:
  std::vector<AutoCorrectEntry> entries_;
  bool loaded_ = false;
};
enum : int { AUTOCORRECT_NO_CHANGE = 4096 };
