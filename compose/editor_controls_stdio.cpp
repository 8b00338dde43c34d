// Without windows the state is the editor: its fields as they stand and its
// body text.
#include <cstdlib>
#include <cstring>

#include "compose/message_block.h"
#include "compose/outgoing.h"

namespace {
void NoFields(EditorState*) {}
char* StateBody(EditorState* state) {
  const char* text = state->bodyText ? state->bodyText : "";
  size_t n = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}
void NoPump() {}
}  // namespace

EditorControlHooks g_editorControlHooks = {NoFields, StateBody};
OutgoingHooks g_outgoingHooks = {NoPump};
