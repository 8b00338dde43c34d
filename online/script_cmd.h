// Script commands of a service: MakeScriptCmd turns one command text into a
// script action in the service's append file, for the current folder and
// message; AddFolderScriptCmd does the same for a folder that need not be
// open. Win32.
#pragma once
#include <string>
#include <vector>

#include "online/script_template.h"

// What the builder reads of the program and asks of the user. The defaults
// read the open topic and ask through the program's prompts.
struct ScriptCmdHooks {
  // The current folder's name with its service key; "" when none.
  const char* (*currentFolder)();
  // The current message of that folder; 0 when none.
  long (*currentMessage)();
  // Fills the prompted values (argument slots, the section, the message
  // text) under the command's title; false when the user cancels.
  bool (*askParameters)(const char* title, const std::vector<ScriptPrompt>& prompts, ScriptArgs* args,
                        std::string* section, std::string* message);
};
extern ScriptCmdHooks g_scriptCmdHooks;
extern const ScriptCmdHooks kDefaultScriptCmdHooks;

// 0 the command is not in the service's table; 1 nothing was written (the
// user cancelled, or the reason was shown); 2 the action was queued.
int MakeScriptCmd(const char* command);

// MakeScriptCmd with the folder made current for the call; the previous
// folder, its service's settings and configuration come back afterwards.
int AddFolderScriptCmd(const char* service, const char* folderName, const char* command);

// Entries go to this action file instead of the service's append file until
// it is set back to null (the scheduler's job files).
void SetScriptCmdTarget(const char* path);

// Puts MakeScriptCmd where the message base and the dispatcher call it.
void InstallScriptCmdHooks();
