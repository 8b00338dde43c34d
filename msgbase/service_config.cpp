#include "msgbase/service_config.h"

#include <cstdlib>
#include <cstring>

#include "core/text1252.h"

ServiceConfig g_hconf;
ServiceConfigContext g_hconfContext = {false, false, false, nullptr};

namespace {
constexpr int kHeaderSlots[8] = {0, 1, 2, 3, 4, 6, 7, 8};

void Status(const char* text) {
  if (g_hconfContext.status) g_hconfContext.status(text);
}

void SetSlot(int slot, const char* rest) {
  if (!g_hconf.slots) return;
  char* out = g_hconf.slots[slot];
  StrCopyN(out, rest, HCONF_SLOT_SIZE - 1);
  hconfpath(out);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void AddMenuEnd() { std::memset(&g_hconf.menu[g_hconf.commandCount], 0, sizeof(ScriptMenuEntry)); }
}  // namespace

bool AllocServiceConfig() {
  if (!g_hconf.slots) {
    g_hconf.slots = static_cast<char(*)[HCONF_SLOT_SIZE]>(std::calloc(HCONF_SLOTS, HCONF_SLOT_SIZE));
    if (!g_hconf.slots) return false;
  }
  for (int i = 0; i < HCONF_SLOTS; ++i) g_hconf.slots[i][0] = 0;
  return true;
}

void FreeServiceConfig() {
  std::free(g_hconf.slots);
  g_hconf.slots = nullptr;
  for (ScriptCommand& c : g_hconf.commands) {
    std::free(c.text);
    c.text = nullptr;
  }
  g_hconf.commandCount = 0;
  AddMenuEnd();
  g_hconf.cacheValid = false;
  g_hconf.lastReadKept = false;
}

void ResetScriptCommands() {
  g_hconf.commandCount = 0;
  AddMenuEnd();
  if (g_hconf.slots) g_hconf.slots[HCONF_R][0] = g_hconf.slots[HCONF_I][0] = 0;
}

void hconfpath(char* text) {
  size_t n = std::strlen(text);
  if (n && text[n - 1] == '\n') text[--n] = 0;
  if (n && text[n - 1] == '\r') text[--n] = 0;
  char* out = text;
  for (const char* p = text; *p;) {
    if (*p != '\\') {
      *out++ = *p++;
      continue;
    }
    if (!p[1]) break;  // a lone backslash at the end
    if (p[1] == 'n') {
      *out++ = '\n';
      p += 2;
    } else if (!std::strcmp(p, "\\x20")) {
      *out++ = ' ';
      p += 4;
    } else {
      *out++ = p[1];
      p += 2;
    }
  }
  *out = 0;
}

void ParseScriptCommand(const char* line, int force) {
  const unsigned char type = static_cast<unsigned char>(line[0]);
  switch (type) {
    case 'b': {
      if (!line[1]) return;
      g_hconf.bLineChar = line[1];
      const char* rest = line + 2;
      CopyBounded(g_hconf.bLineText, sizeof g_hconf.bLineText, rest, std::strcspn(rest, "\r\n"));
      return;
    }
    case 'h': SetSlot(HCONF_H, line + 1); return;
    case 'i': SetSlot(HCONF_I, line + 1); return;
    case 'n': SetSlot(HCONF_N, line + 1); return;
    case 'q':
      SetSlot(HCONF_Q, line + 1);
      g_hconf.qLine = true;
      return;
    case 'r': SetSlot(HCONF_R, line + 1); return;
    case 'z':
    case 'Z': SetSlot(HCONF_Z, line + 1); return;
    default: break;
  }
  int capital;
  if (IsUpper1252(type))
    capital = 1;
  else if (type == 'x' && (g_hconfContext.administratorMode || force))
    capital = 0;
  else if (type == 'm' && (g_hconfContext.moderatedFolder || force))
    capital = 0;
  else
    return;

  if (g_hconf.forumFirstKind && stristr(line, "(Ascii)")) return;
  if (g_hconf.forumOtherKind && stristr(line, "(Voze)")) return;
  if (g_hconf.commandCount >= MAX_SCRIPT_COMMANDS) {
    Status("Too many script commands defined.");
    return;
  }

  const char* p = line + 1;
  char digits[16];
  size_t nd = 0;
  while ((*p >= '0' && *p <= '9') || *p == '-') {
    if (nd < sizeof digits - 1) digits[nd++] = *p;
    ++p;
  }
  digits[nd] = 0;
  int32_t number = static_cast<int32_t>(std::strtol(digits, nullptr, 10));

  char menuName[SCRIPT_MENU_NAME_SIZE] = "";
  if (*p == '\'') {
    const char* end = std::strchr(p + 1, '\'');
    size_t length = end ? static_cast<size_t>(end - (p + 1)) : std::strcspn(p + 1, "\r\n");
    CopyBounded(menuName, sizeof menuName, p + 1, length);
    if (char* tab = std::strstr(menuName, "\\t")) {
      *tab = '\t';
      std::memmove(tab + 1, tab + 2, std::strlen(tab + 2) + 1);
    }
    p = end ? end + 1 : p + 1 + length;
  }
  while (IsBlank(*p)) ++p;
  char keyword[SCRIPT_KEYWORD_SIZE];
  size_t keywordLength = std::strcspn(p, " \t\r\n");
  CopyBounded(keyword, sizeof keyword, p, keywordLength);
  p += keywordLength;
  while (IsBlank(*p)) ++p;

  size_t textLength = std::strlen(p);
  char* text = static_cast<char*>(std::malloc(textLength + 1));
  if (!text) return;
  std::memcpy(text, p, textLength + 1);
  hconfpath(text);
  if (!text[0] && menuName[0] != '-' && menuName[0] != '.') {
    std::free(text);
    return;
  }
  if (g_hconfContext.delnewsFolder && (std::strstr(text, "%c") || std::strstr(text, "%n"))) {
    std::free(text);
    return;
  }

  const int index = g_hconf.commandCount;
  ScriptCommand& entry = g_hconf.commands[index];
  std::free(entry.text);
  entry.text = text;
  entry.capital = capital;
  entry.number = number;
  std::memcpy(entry.menuName, menuName, sizeof menuName);
  std::memcpy(entry.keyword, keyword, sizeof keyword);
  ScriptMenuEntry& pair = g_hconf.menu[index];
  std::memset(&pair, 0, sizeof pair);
  StrCopyN(pair.text, keyword, sizeof pair.text - 1);
  pair.id = index + 1;
  g_hconf.commandCount = index + 1;
  AddMenuEnd();
}

namespace {
// One line of at most the limit; a longer line's rest is read as the next.
bool ReadLine(FILE* stream, char* line) { return std::fgets(line, HCONF_LINE_LIMIT + 1, stream) != nullptr; }
}  // namespace

void ReadScriptCommandLines(FILE* stream, int force) {
  static char line[HCONF_LINE_LIMIT + 2];
  while (ReadLine(stream, line)) ParseScriptCommand(line, force);
}

void ReadServiceConfigLines(FILE* stream, int force) {
  static char line[HCONF_LINE_LIMIT + 2];
  for (int slot : kHeaderSlots) {
    if (!ReadLine(stream, line)) {
      Status(".CNF file format error");
      continue;
    }
    SetSlot(slot, line);
  }
  ReadScriptCommandLines(stream, force);
}

void ReadForumKind(FILE* nameList) {
  char line[262];
  for (int i = 0; i < 6 && std::fgets(line, sizeof line, nameList); ++i)
    if (StartsWithNoCase(line, "Voze forum")) g_hconf.forumFirstKind = true;
  if (!g_hconf.forumFirstKind) g_hconf.forumOtherKind = true;
}
