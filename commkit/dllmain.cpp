// The library's entry: it keeps its instance for loading texts and hands the
// B-protocol code its services; nothing that could wait happens here.
#include "internal.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_commkitInstance = instance;
    BpUseToolbox();
    QvxUseToolbox();
    SessionUseToolbox();
  }
  return TRUE;
}
