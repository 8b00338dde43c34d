// What the QVX link runs on inside the toolbox: the client's message loop
// while a read waits for the busy flag, the toolbox's yield, the debugger
// output and the port's quiet flag.
#include "commkit/qvx/qvx_link.h"
#include "port/port.h"

namespace {
void DispatchMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
void DebugOutput(const char* text) { OutputDebugStringA(text); }
void SetPortQuiet(void* port, int quiet) {
  if (port) static_cast<PortObject*>(port)->quiet = quiet;
}
}  // namespace

void QvxUseToolbox() { g_qvxHooks = QvxHooks{DispatchMessages, WaitYield, DebugOutput, SetPortQuiet}; }
