// The program's entry point.
#include <windows.h>

#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showState) {
  return RunProgram(instance, commandLine, showState);
}
