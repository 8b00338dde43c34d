#include "shell/menus_model.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

void Replace(char* text, size_t size, const char* from, const char* to) {
  char* at = std::strstr(text, from);
  if (!at) return;
  char rest[256];
  std::snprintf(rest, sizeof rest, "%s", at + std::strlen(from));
  size_t head = static_cast<size_t>(at - text);
  std::snprintf(at, size - head, "%s%s", to, rest);
}

}  // namespace

char* PickMnemonic(const char* text, char* letters, char* out, size_t outSize) {
  if (!outSize) return out;
  const char* pick = nullptr;
  for (const char* p = text; *p && *p != '\t'; ++p) {
    if (IsLetter(*p) && !std::strchr(letters, Upper(*p))) {
      pick = p;
      break;
    }
  }
  size_t n = 0;
  for (const char* p = text; *p && n + 1 < outSize; ++p) {
    if (p == pick && n + 2 < outSize) out[n++] = '&';
    out[n++] = *p;
  }
  out[n] = 0;
  size_t used = std::strlen(letters);
  if (pick && used < 26) {
    letters[used] = Upper(*pick);
    letters[used + 1] = 0;
  }
  return out;
}

void WalkScriptMenu(const char* const* lines, int count, void (*step)(const ScriptMenuStep&, void*), void* context) {
  char itemLetters[32] = "DUR";  // the fixed items of the same menu
  char titleLetters[32] = "";
  for (int i = 0; i < count; ++i) {
    const char* line = lines[i] ? lines[i] : "";
    if (std::strcmp(line, ".") == 0) break;
    ScriptMenuStep s{};
    s.id = 1489 + i;
    if (std::strcmp(line, "-") == 0) {
      s.kind = ScriptMenuStep::Separator;
    } else if (line[0] == '-') {
      s.kind = ScriptMenuStep::Popup;
      PickMnemonic(line + 1, titleLetters, s.text, sizeof s.text);
      itemLetters[0] = 0;
    } else {
      s.kind = ScriptMenuStep::Item;
      PickMnemonic(line, itemLetters, s.text, sizeof s.text);
    }
    step(s, context);
  }
}

void BookmarkSetItemText(const char* format, int n, const char* name, char* out, size_t outSize) {
  std::snprintf(out, outSize, format, n, name, n % 10);
  if (std::strncmp(out, "&10", 3) == 0 && outSize > 3) {
    out[0] = '1';
    out[1] = '&';
    out[2] = '0';
  }
}

void FavouriteItemText(int n, const char* name, char* out, size_t outSize) {
  std::snprintf(out, outSize, "&%d %s\tCtrl+%d", n, name, n);
}

void SwapFileListWords(char* text, size_t size, bool inListFolder) {
  if (inListFolder) {
    Replace(text, size, "FileList", "Message Topic");
    Replace(text, size, "LibraryList", "Message Section");
  } else {
    Replace(text, size, "Message Topic", "FileList");
    Replace(text, size, "Message Section", "LibraryList");
  }
}

void MacroItemText(int n, const char* dir, const char* file, char* out, size_t outSize) {
  std::snprintf(out, outSize, "&%d %s%s", n, dir, file);
}

bool MenuTextsDiffer(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (Upper(*a) != Upper(*b)) return true;
  return *a != *b;
}
