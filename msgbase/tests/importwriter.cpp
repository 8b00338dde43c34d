// The other instance of the import queue locking test: queues one file
// (waiting while another instance holds the queue).
// Usage: importwriter <data directory> <file>
#include <windows.h>

#include "core/appstate.h"
#include "core/ui_seams.h"
#include "msgbase/import_queue.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_ui.messageBox = [](HWND, const char*, const char*, UINT) { return IDOK; };
  g_ui.setStatusText = [](const char*) {};
  // The directory comes without its trailing backslash, which would quote the
  // closing quote of the command line.
  wsprintfA(g_app.dataDir, "%s\\", argv[1]);
  return QueueImport("NET", argv[2], "", IMPORT_DELETE_AFTER) ? 0 : 3;
}
