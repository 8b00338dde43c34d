// Until the dispatcher, menus and toolbar land: commands go to the MDI system.
#include "shell/commands.h"
#include "shell/shell_state.h"

void FrameCommand(int id, LPARAM lParam) {
  DefFrameProcA(g_shell.frame, g_shell.mdiClient, WM_COMMAND, id, lParam);
}
void LoadMainMenu() {}
void UpdateCommandStates() {}
void CreateToolbar() {}
void FreeToolbar() {}
