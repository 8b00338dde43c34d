// The library's entry: it keeps its instance for loading texts and nothing more.
#include "internal.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_commkitInstance = instance;
  return TRUE;
}
