// The block and the composer read an editor's fields from its controls.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/message_block.h"
#include "compose/outgoing.h"
#include "core/fileio.h"

namespace {

void ReadFields(EditorState* s) {
  if (s->subjectEdit) GetWindowTextA(s->subjectEdit, s->szSubject, sizeof s->szSubject);
  if (s->toEdit && !s->bFaxing) s->To.ReadControl(s->toEdit, false);
  if (s->ccEdit && !s->bFaxing) s->Cc.ReadControl(s->ccEdit, false);
  if (s->bccEdit) s->Bcc.ReadControl(s->bccEdit, false);
}

char* BodyWithSoftBreaks(EditorState* s) {
  if (!s->bodyEdit) {
    const char* text = s->bodyText ? s->bodyText : "";
    size_t n = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(n + 1));
    if (copy) std::memcpy(copy, text, n + 1);
    return copy;
  }
  // The control's own soft-break mode is not there on every system (Wine
  // leaves it out), so the wrap points come from its line table.
  int length = GetWindowTextLengthA(s->bodyEdit);
  std::string plain(static_cast<size_t>(length) + 1, '\0');
  plain.resize(static_cast<size_t>(GetWindowTextA(s->bodyEdit, &plain[0], length + 1)));
  int lines = static_cast<int>(SendMessageA(s->bodyEdit, EM_GETLINECOUNT, 0, 0));
  std::string shown;
  shown.reserve(plain.size() + static_cast<size_t>(lines) * 3);
  for (int i = 0; i < lines; ++i) {
    long start = static_cast<long>(SendMessageA(s->bodyEdit, EM_LINEINDEX, i, 0));
    long next = i + 1 < lines ? static_cast<long>(SendMessageA(s->bodyEdit, EM_LINEINDEX, i + 1, 0))
                              : static_cast<long>(plain.size());
    if (start < 0 || next < start || static_cast<size_t>(next) > plain.size()) {
      shown = plain;
      break;
    }
    shown.append(plain, static_cast<size_t>(start), static_cast<size_t>(next - start));
    if (i + 1 < lines && (shown.empty() || shown.back() != '\n')) shown += "\r\r\n";
  }
  char* text = static_cast<char*>(std::malloc(shown.size() + 1));
  if (text) std::memcpy(text, shown.c_str(), shown.size() + 1);
  return text;
}

}  // namespace

EditorControlHooks g_editorControlHooks = {ReadFields, BodyWithSoftBreaks};
OutgoingHooks g_outgoingHooks = {PumpMessages};
