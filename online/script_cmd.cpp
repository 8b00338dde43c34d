#include "online/script_cmd.h"

#include <windows.h>

#include "core/settings.h"
#include "msgbase/message_ops.h"

int AddFolderScriptCmd(const char* service, const char* folderName, const char* command) {
  // A resign that edits only local lists sets no command: nothing goes out.
  if (!command || !command[0] || !service || !service[0] || !folderName) return 0;
  ServiceSettings saved = g_service;
  LoadServiceSettings(service);
  int result = g_messageOpsHooks.makeScriptCmd ? g_messageOpsHooks.makeScriptCmd(command) : 0;
  g_service = saved;
  return result;
}
