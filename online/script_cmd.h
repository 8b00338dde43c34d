// A script command for the outbasket of a folder's service.
#pragma once

// Switches to the service's settings, hands the command to the service's
// script-command builder and restores the settings it found. 2 when the
// action was queued; 0 for no command text or no builder.
int AddFolderScriptCmd(const char* service, const char* folderName, const char* command);
