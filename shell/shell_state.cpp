#include "shell/shell_state.h"

ShellWindows g_shell;
