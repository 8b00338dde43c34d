// The rebuild mode ("build" on the command line): the topics a rebuild of
// the message base handed back are imported to the logs they came from, and
// import.ok says that every one of them was.
#include <windows.h>

#include <cstring>
#include <string>

#include "msgbase/conf_list.h"
#include "standins/import/import32.h"

namespace import32 {

// The path of the log a rebuilt topic gets: where the handed-back copy came
// from, relative to the data directory.
bool RebuildTarget(const std::string& copyPath, std::string* baseName) {
  std::string path = copyPath;
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of('\\');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
  std::string dir = g_dir;
  auto strip = [&](const std::string& prefix) {
    if (path.size() > prefix.size() && !_strnicmp(path.c_str(), prefix.c_str(), prefix.size())) {
      *baseName = path.substr(prefix.size());
      return true;
    }
    return false;
  };
  bool inside = strip(dir) || (dir.size() > 2 && dir[1] == ':' && strip(dir.substr(2)));
  return inside && !baseName->empty() && baseName->size() < sizeof(ConfRec::baseName);
}

void BeginBuildMode() {
  if (g_buildMode) DeleteFileA(DataFile("import.ok").c_str());
}

// import.ok tells the rebuild that its topic was rebuilt.
void EndBuildMode() {
  if (g_buildMode && g_buildsDone > 0 && g_buildsFailed == 0) Touch("import.ok");
}

}  // namespace import32
