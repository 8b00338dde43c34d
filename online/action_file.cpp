#include "online/action_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/text1252.h"

namespace {

const char kLiveHeader[] = ";-; id:\t";
const char kHeldHeader[] = ";#; id:\t";
constexpr size_t kHeaderPrefix = 8;

// One line of the file: its bytes with the line end, and the length without it.
struct Line {
  const char* text = nullptr;
  size_t size = 0;     // with the line end
  size_t content = 0;  // without CR and LF at its end
};

class LineCursor {
 public:
  LineCursor(const char* data, size_t size) : data_(data), size_(size) {}
  bool next(Line* line) {
    if (pos_ >= size_) return false;
    const char* start = data_ + pos_;
    const void* newline = memchr(start, '\n', size_ - pos_);
    size_t length = newline ? static_cast<size_t>(static_cast<const char*>(newline) - start) + 1 : size_ - pos_;
    pos_ += length;
    line->text = start;
    line->size = length;
    size_t content = length;
    while (content > 0 && (start[content - 1] == '\n' || start[content - 1] == '\r')) content--;
    line->content = content;
    return true;
  }
  size_t pos() const { return pos_; }
  void seek(size_t pos) { pos_ = pos < size_ ? pos : size_; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  const char* data_;
  size_t size_;
  size_t pos_ = 0;
};

bool StartsWithNoCase(const char* text, size_t size, const char* prefix) {
  size_t n = strlen(prefix);
  if (size < n) return false;
  for (size_t i = 0; i < n; i++) {
    if (ToLower1252(static_cast<unsigned char>(text[i])) != ToLower1252(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

bool EqualsNoCase(const char* text, size_t size, const char* word) {
  return size == strlen(word) && StartsWithNoCase(text, size, word);
}

bool IsBlockTerminator(const char* text, size_t size) {
  return EqualsNoCase(text, size, ".") || EqualsNoCase(text, size, "/exit");
}

bool NeedsBlockEscape(const char* text, size_t size) {
  return IsBlockTerminator(text, size) || (size > 0 && text[0] == '.') || IsActionHeader(text, size);
}

// A decimal count at the start of text, clamped; digits only.
long LeadingNumber(const char* text, size_t size) {
  long value = 0;
  for (size_t i = 0; i < size && isdigit(static_cast<unsigned char>(text[i])); i++) {
    value = value * 10 + (text[i] - '0');
    if (value > 0x7fffffff / 10) return 0x7fffffff / 10;
  }
  return value;
}

char* CopyBytes(const char* bytes, size_t size) {
  char* copy = static_cast<char*>(malloc(size + 1));
  if (!copy) return nullptr;
  if (size) memcpy(copy, bytes, size);
  copy[size] = 0;
  return copy;
}

// Adds a line to the list; a line longer than a line may be goes in pieces,
// so nothing of it is lost.
void AddLine(ActionLines* lines, const char* text, size_t size) {
  do {
    size_t n = size < kActionLineMax ? size : kActionLineMax;
    lines->add(text, n);
    text += n;
    size -= n;
  } while (size > 0);
}

void Problem(std::string* problems, int entry, const char* what) {
  if (!problems) return;
  char text[200];
  snprintf(text, sizeof text, "Entry %d: %s\n", entry, what);
  *problems += text;
}

// The body of an edit entry whose "Body:" line starts at bodyLine. Returns
// false when the count does not match the bytes that follow (the caller keeps
// what is there instead).
bool ReadCountedBody(LineCursor& cursor, const Line& bodyLine, OutbasketAction* action) {
  const char* value = bodyLine.text + 6;
  size_t valueSize = bodyLine.content - 6;
  if (valueSize == 0 || valueSize > 10) return false;
  for (size_t i = 0; i < valueSize; i++)
    if (!isdigit(static_cast<unsigned char>(value[i]))) return false;
  unsigned long long length = strtoull(std::string(value, valueSize).c_str(), nullptr, 10);
  size_t start = cursor.pos();
  size_t left = cursor.size() - start;
  if (length > left) return false;
  const char* after = cursor.data() + start + length;
  size_t afterSize = left - length;
  size_t lineEnd = 0;
  if (afterSize >= 2 && after[0] == '\r' && after[1] == '\n')
    lineEnd = 2;
  else if (afterSize >= 1 && after[0] == '\n')
    lineEnd = 1;
  else
    return false;
  if (!StartsWithNoCase(after + lineEnd, afterSize - lineEnd, "MessageEnd:")) return false;
  action->text = CopyBytes(cursor.data() + start, length);
  action->textLength = action->text ? static_cast<uint32_t>(length) : 0;
  cursor.seek(start + length + lineEnd);
  Line end;
  cursor.next(&end);  // the "MessageEnd:" line
  return true;
}

// A body whose count is wrong: everything up to the next entry, without the
// closing "MessageEnd:" line and the line end before it.
void KeepUncountedBody(LineCursor& cursor, OutbasketAction* action) {
  size_t start = cursor.pos();
  size_t end = start;
  Line line;
  size_t lineStart = start;
  while (cursor.next(&line)) {
    if (IsActionHeader(line.text, line.size)) {
      cursor.seek(lineStart);
      break;
    }
    lineStart = cursor.pos();
    end = cursor.pos();
  }
  const char* body = cursor.data() + start;
  size_t length = end - start;
  // Drop a closing "MessageEnd:" line and the line end the writer puts before it.
  size_t lastEnd = length;
  while (lastEnd > 0 && (body[lastEnd - 1] == '\n' || body[lastEnd - 1] == '\r')) lastEnd--;
  size_t lastStart = lastEnd;
  while (lastStart > 0 && body[lastStart - 1] != '\n') lastStart--;
  if (StartsWithNoCase(body + lastStart, lastEnd - lastStart, "MessageEnd:")) {
    length = lastStart;
    if (length >= 1 && body[length - 1] == '\n') length--;
    if (length >= 1 && body[length - 1] == '\r') length--;
  }
  action->text = CopyBytes(body, length);
  action->textLength = action->text ? static_cast<uint32_t>(length) : 0;
}

void AppendText(std::string* out, const char* text) { out->append(text); }

// A value fit for a header field: no TAB, CR, LF or NUL.
std::string HeaderSafe(const std::string& text) {
  std::string value = text;
  for (char& c : value)
    if (c == '\t' || c == '\r' || c == '\n' || c == 0) c = ' ';
  return value;
}
std::string HeaderSafe(const char* text) { return HeaderSafe(std::string(text ? text : "")); }

}  // namespace

bool IsActionHeader(const char* text, size_t size) {
  return size >= kHeaderPrefix &&
         (memcmp(text, kLiveHeader, kHeaderPrefix) == 0 || memcmp(text, kHeldHeader, kHeaderPrefix) == 0);
}

bool ReadHeaderField(const char* header, const char* key, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = 0;
  const char* found = strstr(header, key);
  if (!found) return false;
  const char* value = found + strlen(key);
  const char* end = value;
  while (*end && *end != '\t' && *end != '\r' && *end != '\n') end++;
  if (*end == '\t') {
    const char* blank = end;
    while (blank > value && blank[-1] != ' ') blank--;
    if (blank > value) end = blank - 1;  // the blank that introduces the next key
  }
  size_t n = static_cast<size_t>(end - value);
  if (n > size - 1) n = size - 1;
  memcpy(out, value, n);
  out[n] = 0;
  return true;
}

void FreeActionRecord(OutbasketAction* action) {
  free(action->text);
  delete action->lines;
  memset(action, 0, sizeof *action);
}

OutbasketAction NewActionRecord(const char* service) {
  OutbasketAction action;
  memset(&action, 0, sizeof action);
  StrCopyN(action.service, service ? service : "", sizeof action.service - 1);
  action.lines = new ActionLines;
  return action;
}

ActionList::~ActionList() { clear(); }

void ActionList::clear() {
  for (OutbasketAction& action : records) FreeActionRecord(&action);
  records.clear();
}

std::string EscapeBlockLine(const char* line, size_t length) {
  std::string out;
  if (NeedsBlockEscape(line, length)) out += '.';
  out.append(line, length);
  return out;
}

std::string UnescapeBlockLine(const char* line, size_t length) {
  if (length > 0 && line[0] == '.' && NeedsBlockEscape(line + 1, length - 1)) return std::string(line + 1, length - 1);
  return std::string(line, length);
}

int ParseActionFile(const char* data, size_t size, const char* service, ActionList* list, std::string* problems) {
  LineCursor cursor(data, size);
  Line line;
  bool have = cursor.next(&line);
  int entries = 0;
  size_t skipped = 0;
  while (have) {
    if (!IsActionHeader(line.text, line.size)) {
      if (line.content > 0) skipped++;
      have = cursor.next(&line);
      continue;
    }
    entries++;
    OutbasketAction action = NewActionRecord(service);
    // Header fields sit at the front; a header longer than a line is read whole.
    std::string header(line.text, line.content < 65536 ? line.content : 65536);
    action.held = line.text[1] == '#';
    ReadHeaderField(header.c_str(), "id:\t", action.id, sizeof action.id);
    ReadHeaderField(header.c_str(), "script:\t", action.title, sizeof action.title);
    char priority[20];
    ReadHeaderField(header.c_str(), "priority:\t", priority, sizeof priority);
    action.priority = static_cast<int32_t>(strtol(priority, nullptr, 10));
    char type[20];
    ReadHeaderField(header.c_str(), "type:\t", type, sizeof type);
    action.edit = strcmp(type, "edit") == 0;

    have = cursor.next(&line);
    long counted = -1;
    if (have && !action.edit && line.content > 0 && isdigit(static_cast<unsigned char>(line.text[0])))
      counted = LeadingNumber(line.text, line.content);
    bool bodyRead = false;
    long added = 0;
    while (have && !IsActionHeader(line.text, line.size)) {
      if (action.edit && StartsWithNoCase(line.text, line.content, "Body: ")) {
        if (!ReadCountedBody(cursor, line, &action)) {
          KeepUncountedBody(cursor, &action);
          action.held = 1;
          Problem(problems, entries, "the message body does not match its length; the message is kept held");
        }
        bodyRead = true;
        have = cursor.next(&line);
        break;
      }
      AddLine(action.lines, line.text, line.content);
      added++;
      have = cursor.next(&line);
      if (counted >= 0 && added >= (counted > 0 ? counted : 1)) break;
    }
    if (counted >= 0 && have && !IsActionHeader(line.text, line.size)) {
      std::string block;
      while (have && !IsActionHeader(line.text, line.size)) {
        if (IsBlockTerminator(line.text, line.content)) {
          have = cursor.next(&line);
          break;
        }
        block += UnescapeBlockLine(line.text, line.content);
        block.append(line.text + line.content, line.size - line.content);
        have = cursor.next(&line);
      }
      action.text = CopyBytes(block.data(), block.size());
      action.textLength = action.text ? static_cast<uint32_t>(block.size()) : 0;
    }
    if (action.edit && !bodyRead) {
      action.held = 1;
      Problem(problems, entries, "the message has no body; the message is kept held");
    }
    list->records.push_back(action);
  }
  if (skipped && problems) {
    char text[100];
    snprintf(text, sizeof text, "%zu lines outside any entry were ignored\n", skipped);
    *problems += text;
  }
  return entries;
}

void WriteActionEntry(OutbasketAction& action, std::string* out) {
  char text[200];
  snprintf(text, sizeof text, ";%c; id:\t", action.held ? '#' : '-');
  AppendText(out, text);
  *out += HeaderSafe(action.id);
  *out += ' ';
  int count = action.lines ? action.lines->count() : 0;
  if (action.edit) {
    AppendText(out, "type:\tedit\r\n");
  } else {
    AppendText(out, "type:\tscript script:\t");
    *out += HeaderSafe(action.title);
    snprintf(text, sizeof text, " priority:\t%d", static_cast<int>(action.priority));
    AppendText(out, text);
    for (int i = 1; i < count; i++) {
      AppendText(out, " #:\t");
      *out += HeaderSafe(action.lines->line(i));
    }
    AppendText(out, "\r\n");
  }
  for (int i = 0; i < count; i++) {
    *out += action.lines->line(i);
    AppendText(out, "\r\n");
  }
  if (action.edit) {
    snprintf(text, sizeof text, "Body: %u\r\n", static_cast<unsigned>(action.textLength));
    AppendText(out, text);
    if (action.text) out->append(action.text, action.textLength);
    AppendText(out, "\r\nMessageEnd:\r\n");
  } else if (action.text) {
    const char* block = action.text;
    size_t left = action.textLength;
    while (left > 0) {
      const char* newline = static_cast<const char*>(memchr(block, '\n', left));
      size_t size = newline ? static_cast<size_t>(newline - block) + 1 : left;
      size_t content = size;
      while (content > 0 && (block[content - 1] == '\n' || block[content - 1] == '\r')) content--;
      *out += EscapeBlockLine(block, content);
      if (content < size && block[size - 1] == '\n')
        out->append(block + content, size - content);
      else
        AppendText(out, "\r\n");
      block += size;
      left -= size;
    }
    AppendText(out, strcmp(action.service, "dvn") == 0 ? "/exit\r\n" : ".\r\n");
  }
}

std::string WriteActionFile(ActionList& list, const char* service) {
  std::string out;
  for (OutbasketAction& action : list.records) {
    if (action.heading || action.dropped || !SameText1252(action.service, service)) continue;
    WriteActionEntry(action, &out);
  }
  return out;
}

std::string FormatScriptEntry(const char* userId, const char* title, int priority, const char* command,
                              const char* const args[4]) {
  std::string out = ";-; id:\t" + HeaderSafe(userId) + " type:\tscript script:\t" + HeaderSafe(title);
  char text[40];
  snprintf(text, sizeof text, " priority:\t%d", priority);
  out += text;
  for (int i = 0; i < 4; i++)
    if (args[i]) out += " #:\t" + HeaderSafe(args[i]);
  out += "\n" + HeaderSafe(command) + "\n";
  for (int i = 0; i < 4; i++)
    if (args[i]) out += HeaderSafe(args[i]) + "\n";
  return out;
}
