// The ghosts' defaults in the program: the data directory of the running
// instance, and the open topic's hooks.
#include "core/appstate.h"
#include "core/folder_names.h"
#include "msgbase/topic_open.h"
#include "online/ghosts.h"

namespace {
const char* OpenTopicName() { return OpenFolderNameOrNull(); }
const char* DataDirectory() { return g_app.dataDir; }
void NoRepaint() {}
}  // namespace

GhostHooks g_ghostHooks = {OpenTopicName, DataDirectory, GhostFileTime, GhostReadFile, NoRepaint};

void InstallGhostHooks() {
  g_topicOpenHooks.ghostsChanged = GhostsChanged;
  g_topicOpenHooks.refreshGhosts = RefreshGhosts;
}
