#include "compose/editor_state.h"

#include <cstdlib>
#include <cstring>

EditorState::EditorState() {
  bInsert = 1;
  bWordWrap = 1;
  bSendToSelf = 1;
  bMime = 1;
  nWrapChars = 72;
  std::strcpy(szImportance, "Normal");
  std::strcpy(szSensitivity, "Normal");
}

EditorState::~EditorState() { std::free(bodyText); }
