// Feeds arbitrary stored "Buttons" values and script menu lines to the
// toolbar list reader, the layout and the menu text builders.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/menus_model.h"
#include "shell/toolbar_model.h"

namespace {
void Ignore(const ScriptMenuStep&, void*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string value(reinterpret_cast<const char*>(data),
                    size < size_t{TOOLBAR_BUTTONS_VALUE_MAX} ? size : size_t{TOOLBAR_BUTTONS_VALUE_MAX});
  value = value.c_str();  // as GetPrivateProfileString gives it: up to the first zero
  int list[TOOLBAR_MAX_ROWS];
  ParseToolbarButtons(value.c_str(), list);
  char stored[TOOLBAR_MAX_ROWS * 12];
  FormatToolbarButtons(list, stored, sizeof stored);
  ToolbarRect rects[TOOLBAR_MAX_ROWS];
  LayoutToolbarButtons(list, {size % 2 == 0, size % 3 == 0, true}, rects);

  // The same bytes as script menu lines, one per line.
  std::vector<std::string> lines;
  std::string line;
  for (char c : value) {
    if (c == '\n') {
      lines.push_back(line.substr(0, 59));
      line.clear();
    } else {
      line += c;
    }
  }
  lines.push_back(line.substr(0, 59));
  std::vector<const char*> pointers;
  for (const std::string& l : lines) pointers.push_back(l.c_str());
  WalkScriptMenu(pointers.data(), static_cast<int>(pointers.size()), Ignore, nullptr);
  char letters[32] = "";
  char out[80];
  PickMnemonic(value.c_str(), letters, out, sizeof out);
  char text[81];
  std::snprintf(text, sizeof text, "%s", value.c_str());
  SwapFileListWords(text, sizeof text, size % 2 == 0);
  return 0;
}
