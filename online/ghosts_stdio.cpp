// The ghosts' defaults off Windows: no data directory of the program's own.
#include "core/folder_names.h"
#include "online/ghosts.h"

namespace {
const char* OpenTopicName() { return OpenFolderNameOrNull(); }
const char* NoDataDirectory() { return ""; }
void NoRepaint() {}
}  // namespace

GhostHooks g_ghostHooks = {OpenTopicName, NoDataDirectory, GhostFileTime, GhostReadFile, NoRepaint};
