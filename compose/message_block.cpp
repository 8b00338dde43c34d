#include "compose/message_block.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/small_text.h"
#include "core/text1252.h"

namespace {

constexpr size_t kLineMax = 4096;

const char* YesNo(int32_t flag) { return flag ? "yes" : "no"; }

// A one-line value without its line breaks: a subject or name holding CR or
// LF would otherwise start a line of its own in the block.
std::string OneLine(const char* text) {
  std::string s;
  for (const char* p = text; *p; ++p)
    if (*p != '\r' && *p != '\n') s += *p;
  return s;
}

struct FlagKey {
  const char* key;
  int32_t EditorState::*field;
};

// File order of the flags.
const FlagKey kFlags[] = {
    {"bWordWrap:", &EditorState::bWordWrap},
    {"bFaxing:", &EditorState::bFaxing},
    {"bReply:", &EditorState::bReply},
    {"bMailing:", &EditorState::bMailing},
    {"bSay:", &EditorState::bSay},
    {"bComment:", &EditorState::bComment},
    {"bDvnSay:", &EditorState::bDvnSay},
    {"bDvnComment:", &EditorState::bDvnComment},
    {"bNews:", &EditorState::bNews},
    {"bReceipt:", &EditorState::bReceipt},
    {"bMime:", &EditorState::bMime},
    {"bSendAsShown:", &EditorState::bSendAsShown},
    {"bSendToSelf:", &EditorState::bSendToSelf},
};

struct TextKey {
  const char* key;
  char* (*field)(EditorState*);
  size_t size;
  bool escaped;
};

#define TEXT_FIELD(member) [](EditorState* s) -> char* { return s->member; }, sizeof(EditorState::member)
const TextKey kTexts[] = {
    {"szService:", TEXT_FIELD(szService), false},
    {"szReferences:", TEXT_FIELD(szReferences), true},
    {"szFolders:", TEXT_FIELD(szFolders), false},
    {"szSubject:", TEXT_FIELD(szSubject), false},
    {"szFaxName:", TEXT_FIELD(szFaxName), false},
    {"szFaxNumber:", TEXT_FIELD(szFaxNumber), false},
    {"szRealname:", TEXT_FIELD(szRealname), false},
    {"szEmail:", TEXT_FIELD(szEmail), false},
    {"szImportance:", TEXT_FIELD(szImportance), false},
    {"szSensitivity:", TEXT_FIELD(szSensitivity), false},
    {"szCustomHeaders:", TEXT_FIELD(szCustomHeaders), true},
};
#undef TEXT_FIELD

// The lines of the block without the list lines, body and end: in the file's
// order, or with bReply before bFaxing in the list's.
void HeadLines(EditorState* s, bool listOrder, std::string* lines, size_t count) {
  size_t n = 0;
  auto add = [&](const std::string& line) {
    if (n < count) lines[n++] = line;
  };
  add("MessageStart: 1.0");
  auto flag = [&](int i) { add(std::string(kFlags[i].key) + " " + YesNo(s->*kFlags[i].field)); };
  flag(0);
  if (listOrder) {
    flag(2);
    flag(1);
  } else {
    flag(1);
    flag(2);
  }
  for (int i = 3; i < 13; ++i) flag(i);
  add("nWrapChars: " + std::to_string(s->nWrapChars));
  add("nType: " + std::to_string(s->nType));
  add("nComment: " + std::to_string(static_cast<long>(s->nComment)));
  for (const TextKey& t : kTexts) {
    const char* value = t.field(s);
    add(std::string(t.key) + " " + (t.escaped ? std::string(EscapeLine(value)) : OneLine(value)));
  }
}
constexpr size_t kHeadLines = 1 + 13 + 3 + 11;

void ListLines(CAddrList& list, const char* label, CStrList* out) {
  for (int i = 0; i < list.Count(); ++i) {
    AddrListEntry* e = list.At(i);
    if (!e) continue;
    char line[300];
    if (e->name[0])
      std::snprintf(line, sizeof line, "%s: %s\t%s", label, e->name, e->address);
    else
      std::snprintf(line, sizeof line, "%s: %s", label, e->address);
    out->add(line);
  }
}

void SetText(char* field, size_t size, const char* value) { StrCopyN(field, value, size - 1); }

// Key and value of a block line; false when it has no ':'.
bool SplitLine(const char* line, std::string* key, const char** value) {
  const char* colon = std::strchr(line, ':');
  if (!colon) return false;
  key->assign(line, static_cast<size_t>(colon - line + 1));
  const char* v = colon + 1;
  while (*v == ' ' || *v == '\t') ++v;
  *value = v;
  return true;
}

enum class LineResult { Go, End, Body };

LineResult ApplyLine(EditorState* s, const char* line) {
  std::string key;
  const char* value;
  if (!SplitLine(line, &key, &value)) return LineResult::Go;
  for (const FlagKey& f : kFlags)
    if (SameText1252(key.c_str(), f.key)) {
      s->*f.field = value[0] == 'y';
      return LineResult::Go;
    }
  if (SameText1252(key.c_str(), "nWrapChars:")) {
    s->nWrapChars = std::atoi(value);
    s->wrapWidth = s->nWrapChars * s->charWidth;
  } else if (SameText1252(key.c_str(), "nType:")) {
    s->nType = std::atoi(value);
  } else if (SameText1252(key.c_str(), "nComment:")) {
    s->nComment = static_cast<int32_t>(std::strtol(value, nullptr, 10));
  } else if (SameText1252(key.c_str(), "To:")) {
    std::string v(value);
    s->To.AddEntry(&v[0], nullptr);
  } else if (SameText1252(key.c_str(), "CC:")) {
    std::string v(value);
    s->Cc.AddEntry(&v[0], nullptr);
  } else if (SameText1252(key.c_str(), "BCC:")) {
    std::string v(value);
    s->Bcc.AddEntry(&v[0], nullptr);
  } else if (SameText1252(key.c_str(), "Attachments:")) {
    s->Attachments.add(value);
  } else if (SameText1252(key.c_str(), "Body:")) {
    return LineResult::Body;
  } else if (SameText1252(key.c_str(), "MessageEnd:")) {
    return LineResult::End;
  } else {
    for (const TextKey& t : kTexts)
      if (SameText1252(key.c_str(), t.key)) {
        SetText(t.field(s), t.size, t.escaped ? UnescapeLine(value) : value);
        break;
      }
  }
  return LineResult::Go;
}

// One line of the file without its CR and LF, cut to 4096 bytes; false at
// the end of the file.
bool ReadBlockLine(FILE* file, std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (c != '\r' && line->size() < kLineMax) *line += static_cast<char>(c);
  }
  return any;
}

// The counted body: read into a new buffer, or passed over when there is no
// memory for it, so that none of its lines is taken for a key.
bool ReadCountedBody(EditorState* s, FILE* file, const char* count) {
  char* end = nullptr;
  unsigned long long n = std::strtoull(count, &end, 10);
  if (end == count) return true;
  char* body = n < (1ull << 31) ? static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1)) : nullptr;
  if (!body) {
    // Skip by reading: the file may be a pipe-like stream without seeking.
    char skip[4096];
    while (n) {
      size_t want = n < sizeof skip ? static_cast<size_t>(n) : sizeof skip;
      size_t got = std::fread(skip, 1, want, file);
      if (got == 0) return false;
      n -= got;
    }
    return true;
  }
  size_t got = std::fread(body, 1, static_cast<size_t>(n), file);
  body[got] = 0;
  std::free(s->bodyText);
  s->bodyText = body;
  return true;
}

}  // namespace

void RemoveRecipientRepeats(EditorState* s) {
  s->To.RemoveDuplicates(nullptr);
  s->Cc.RemoveDuplicates(nullptr);
  s->Bcc.RemoveDuplicates(nullptr);
  s->To.RemoveDuplicates(&s->Cc);
  s->Cc.RemoveDuplicates(&s->Bcc);
  s->To.RemoveDuplicates(&s->Bcc);
}

int WriteDraft(EditorState* s, FILE* file, CStrList* list, char** body) {
  g_editorControlHooks.readFields(s);
  char* text = g_editorControlHooks.bodyWithSoftBreaks(s);
  if (!text) return 1;
  RemoveRecipientRepeats(s);
  std::string head[kHeadLines];
  if (file) {
    HeadLines(s, false, head, kHeadLines);
    for (const std::string& line : head) std::fprintf(file, "%s\r\n", line.c_str());
    s->To.WriteHeaderLines(file, "To");
    s->Cc.WriteHeaderLines(file, "CC");
    s->Bcc.WriteHeaderLines(file, "BCC");
    for (int i = 0; i < s->Attachments.count(); ++i)
      std::fprintf(file, "Attachments: %s\r\n", OneLine(s->Attachments.get(i)).c_str());
    size_t n = std::strlen(text);
    std::fprintf(file, "Body: %u\r\n", static_cast<unsigned>(n));
    std::fwrite(text, 1, n, file);
    std::fputs("\r\nMessageEnd:\r\n", file);
    std::free(text);
    return std::fflush(file) == 0 && !std::ferror(file) ? 0 : 1;
  }
  if (list) {
    list->clear();
    HeadLines(s, true, head, kHeadLines);
    for (const std::string& line : head) list->add(line.c_str());
    ListLines(s->To, "To", list);
    ListLines(s->Cc, "CC", list);
    ListLines(s->Bcc, "BCC", list);
    for (int i = 0; i < s->Attachments.count(); ++i)
      list->add(("Attachments: " + OneLine(s->Attachments.get(i))).c_str());
  }
  if (body) {
    size_t n = std::strlen(text);
    char* grown = static_cast<char*>(std::realloc(*body, n + 1));
    if (!grown) {
      std::free(text);
      return 1;
    }
    std::memcpy(grown, text, n + 1);
    *body = grown;
  }
  std::free(text);
  return 0;
}

int ReadDraft(EditorState* s, FILE* file, CStrList* list, const char* body) {
  if (!file && !list) return 1;
  std::string line;
  if (file) {
    if (!ReadBlockLine(file, &line)) return 1;
  } else {
    const char* first = list->count() ? list->get(0) : nullptr;
    if (!first) return 1;
    line = first;
  }
  if (!SameText1252(line.c_str(), "MessageStart: 1.0")) return 1;
  s->To.Clear();
  s->Cc.Clear();
  s->Bcc.Clear();
  s->Attachments.clear();
  if (file) {
    while (ReadBlockLine(file, &line)) {
      LineResult r = ApplyLine(s, line.c_str());
      if (r == LineResult::End) break;
      if (r == LineResult::Body) {
        const char* colon = std::strchr(line.c_str(), ':');
        if (!ReadCountedBody(s, file, colon + 1)) return 1;
      }
    }
    return 0;
  }
  for (int i = 1; i < list->count(); ++i) {
    const char* element = list->get(i);
    if (!element) break;
    std::string copy(element);
    if (ApplyLine(s, copy.c_str()) == LineResult::End) break;
  }
  if (body) {
    size_t n = std::strlen(body);
    char* copy = static_cast<char*>(std::malloc(n + 1));
    if (copy) {
      std::memcpy(copy, body, n + 1);
      std::free(s->bodyText);
      s->bodyText = copy;
    }
  }
  return 0;
}
