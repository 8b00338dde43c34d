// The action file format (".bsc"): entries of queued actions, each a header
// line (";-; id:\t..." live, ";#; id:\t..." held) followed by the action's
// lines. One reader and one writer, both over bytes in memory. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The lines of one action, without line ends. The program's string list keeps
// a 64 KB block per list, too much for one list per queued action.
class ActionLines {
 public:
  void add(const char* text) { lines_.emplace_back(text); }
  void add(const char* text, size_t size) { lines_.emplace_back(text, size); }
  int count() const { return static_cast<int>(lines_.size()); }
  // Line i, or null out of range.
  const char* get(int index) const {
    return index >= 0 && index < count() ? lines_[static_cast<size_t>(index)].c_str() : nullptr;
  }
  const std::string& line(int index) const { return lines_[static_cast<size_t>(index)]; }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

// One queued action read from a service's action file.
struct OutbasketAction {
  uint32_t held;     // the header began ";#;"
  uint32_t heading;  // a service heading row of the outbasket list; never written
  uint32_t edit;     // "type:\tedit"
  uint32_t dropped;  // deleted, or replaced by a later duplicate; never written
  int32_t priority;
  char service[10];
  char id[21];
  char description[500];
  char sortKey[100];
  char title[100];
  // Edit entry: the body; counted script entry: the text block (lines with
  // their line ends, unescaped). Owned, NUL-terminated; else null.
  char* text;
  ActionLines* lines;  // owned; null only for heading rows
  // Bytes in text (a body may hold NUL bytes).
  uint32_t textLength;
};

// Frees the record's text and lines; the record is left zeroed.
void FreeActionRecord(OutbasketAction* action);
// A zeroed record for the service with an empty line list.
OutbasketAction NewActionRecord(const char* service);

// The records of a list own their buffers; the list frees them.
class ActionList {
 public:
  ActionList() = default;
  ~ActionList();
  ActionList(const ActionList&) = delete;
  ActionList& operator=(const ActionList&) = delete;
  std::vector<OutbasketAction> records;
  void clear();
};

constexpr size_t kActionLineMax = 4095;  // longer lines are read in pieces of this size

// Whether text starts with a live or held entry header.
bool IsActionHeader(const char* text, size_t size);

// A header field's value: the text after the key up to the next TAB, CR, LF
// or end; when it stopped at a TAB, up to the last blank before it. Cut to
// size - 1 characters. False (and "") when the key is absent.
bool ReadHeaderField(const char* header, const char* key, char* out, size_t size);

// Reads every entry of an action file's bytes into records appended to list,
// marked with the service. Damaged entries are kept held with their bytes, and
// each is described in problems (one line each). Returns the entries read.
int ParseActionFile(const char* data, size_t size, const char* service, ActionList* list,
                    std::string* problems = nullptr);

// Appends one entry as it is written to an action file (CR LF line ends);
// "dvn" ends a text block with "/exit", every other service with ".".
void WriteActionEntry(OutbasketAction& action, std::string* out);
// The entries of the list that belong to the service (any case), are neither
// heading rows nor dropped, in list order.
std::string WriteActionFile(ActionList& list, const char* service);

// One plain script entry as AppendAction queues it: the header with an
// argument field per non-null argument, the command line and one line per
// non-null argument. CR, LF and TAB inside the texts become blanks, so no text
// can start or split an entry.
std::string FormatScriptEntry(const char* userId, const char* title, int priority, const char* command,
                              const char* const args[4]);

// A text block line (without its line end) as written: a line that would end
// the block or start an entry ("." , "/EXIT", a header) and any line starting
// with "." get one "." in front. The engine script writer undoes it with
// UnescapeBlockLine.
std::string EscapeBlockLine(const char* line, size_t length);
// The line with that one "." removed again; other lines unchanged.
std::string UnescapeBlockLine(const char* line, size_t length);
