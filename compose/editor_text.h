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
// The text cut at its last signature line ("-- ") and at the last header
// block appended after the body, whichever comes first.
std::string WithoutSignature(const std::string& text);
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
// The first letter made upper case; a name with no lower-case letter then
// gets capital initials (and '_' becomes a blank).
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

// --- editing rules of the editor window ------------------------------------

// The fields of one mail-merge data line: at most 10 of at most 199
// characters, split at ',' outside quotes; '"' switches quoting and is
// dropped, and the quoting state carries on into the next line.
std::vector<std::string> SplitMergeLine(const char* line, bool* quoted);
// Every "%n%" placeholder (n from 1 to 10) replaced by field n (empty when
// the line has fewer fields), in one pass: a field's own text is never
// scanned again.
std::string ReplaceMergeFields(const std::string& text, const std::vector<std::string>& fields);

// A boilerplate name stays inside the boilerplate directory: not empty, no
// "\", "/", ":" or "..".
bool IsSafeBoilerplateName(const char* name);

// Every TAB made blanks up to the next multiple of tabSize columns, counted
// from the last CR or LF.
std::string ExpandTabs(const char* text, int tabSize);
// Each LF not preceded by CR becomes CR LF.
std::string LineFeedsToCrLf(const std::string& text);

// How many characters "delete word right" removes at caret: a line break
// (two characters), a word with the blanks and punctuation after it, or a
// run of blanks and punctuation. 0 at the end of the text.
size_t DeleteWordRightLength(const char* text, size_t length, size_t caret);
// The offset of the letter that a sentence-capital rule makes upper case
// when a separator is typed at caret, or -1 for none.
long SentenceCapital(const char* text, size_t caret);
// The text that automatic indentation puts in place of Enter at caret (CR LF
// and the blanks and TABs that begin the caret's line); *blanksAfter gets the
// number of blanks behind the caret that it replaces.
std::string AutoIndentBreak(const char* text, size_t caret, size_t* blanksAfter);
