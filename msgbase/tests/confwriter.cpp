// The other instance of the conference-list locking test: takes the list for
// update (waiting while another instance holds it), adds one folder and
// writes the list back. Usage: confwriter <data directory> <folder name>
#include <windows.h>

#include <cstring>

#include "core/appstate.h"
#include "core/ui_seams.h"
#include "msgbase/conf_list.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_ui.messageBox = [](HWND, const char*, const char*, UINT) { return IDOK; };
  g_ui.setStatusText = [](const char*) {};
  // The directory comes without its trailing backslash, which would quote the
  // closing quote of the command line.
  wsprintfA(g_app.dataDir, "%s\\", argv[1]);
  if (!rdconf(1)) return 3;
  ConfRec rec = {};
  std::strncpy(rec.name, argv[2], sizeof rec.name - 1);
  std::strncpy(rec.baseName, "other.log", sizeof rec.baseName - 1);
  Conferences.InsertSorted(&rec);
  return wtconf() ? 0 : 4;
}
