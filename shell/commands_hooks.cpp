// The default operations: each refuses the command being dispatched, so an
// operation of a subsystem not built yet says so instead of doing nothing.
#include "shell/commands_hooks.h"

#include <cstdio>
#include <cstring>

#include "core/resstr.h"
#include "resources/menus_ids.h"

namespace {

#define PELMORA_REFUSING_OPERATION(result, name, params, args) \
  result Unavailable##name params {                            \
    RefuseNotAvailable(CurrentCommand());                      \
    return result();                                           \
  }
PELMORA_COMMAND_OPERATIONS(PELMORA_REFUSING_OPERATION)
#undef PELMORA_REFUSING_OPERATION

#define PELMORA_NEUTRAL_QUERY(result, name, params, neutral) \
  result Neutral##name params { return neutral; }
PELMORA_COMMAND_QUERIES(PELMORA_NEUTRAL_QUERY)
#undef PELMORA_NEUTRAL_QUERY

// "Reindex Folders" from the command's description, or its number.
void CommandName(int id, char* out, size_t size) {
  const char* text = id > 0 ? loadstr(id) : "";
  if (!text || !*text) {
    std::snprintf(out, size, "Command %d", id);
    return;
  }
  size_t n = 0;
  for (const char* p = text; *p && *p != '\t' && n + 1 < size; ++p)
    if (*p != '&') out[n++] = *p;
  while (n && (out[n - 1] == '.' || out[n - 1] == ' ')) --n;
  out[n] = 0;
}

void RefuseWith(int textId, int id) {
  char name[96];
  CommandName(id, name, sizeof name);
  char text[200];
  std::snprintf(text, sizeof text, loadstr(textId), name);
  setstatus(text);
}

}  // namespace

const CommandHooks kCommandHookDefaults = {
#define PELMORA_DEFAULT_OPERATION(result, name, params, args) Unavailable##name,
    PELMORA_COMMAND_OPERATIONS(PELMORA_DEFAULT_OPERATION)
#undef PELMORA_DEFAULT_OPERATION
#define PELMORA_DEFAULT_QUERY(result, name, params, neutral) Neutral##name,
        PELMORA_COMMAND_QUERIES(PELMORA_DEFAULT_QUERY)
#undef PELMORA_DEFAULT_QUERY
};

CommandHooks g_commandHooks = kCommandHookDefaults;

void RefuseNotAvailable(int id) { RefuseWith(IDS_COMMAND_NOT_AVAILABLE, id); }
void RefuseNoRight(int id) { RefuseWith(IDS_COMMAND_NO_RIGHT, id); }
