// The download marks of the open file-list folder: files already downloaded
// (the service's "files.ww") and files requested in its action files.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/download_lists.h"
#include "browser/thread_list.h"
#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "msgbase/topic_open.h"

namespace {

std::vector<std::string> g_downloaded, g_queued;

std::string ReadText(const char* path) {
  std::string text;
  if (FILE* f = std::fopen(path, "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

bool DvnFolder() { return sameservice(g_topic.openName, "dvn"); }
bool CompositeQuorl() { return g_browser.composite && sameservice(g_topic.openName, "quorl"); }

// The open folder as the lists name it: no service prefix, no byte 0xFF, a
// Dravenet library cut at its first "_".
std::string ListFolder() {
  char name[100];
  lstrcpynA(name, g_topic.openName, sizeof name);
  stripservice(name);
  std::string out;
  for (const char* p = name; *p; ++p)
    if (*p != '\xFF') out += *p;
  const size_t slash = out.find('/');
  if (DvnFolder() && slash != std::string::npos && (out[slash + 1] == 'L' || out[slash + 1] == 'l') &&
      out[slash + 2] >= '0' && out[slash + 2] <= '9') {
    const size_t under = out.find('_', slash);
    if (under != std::string::npos) out.resize(under);
  }
  return out;
}

// The key a row is looked up by: the number in Dravenet folders, else the
// row's file name (its summary up to the first blank).
std::string RowKey(long number) {
  if (DvnFolder()) return std::to_string(number);
  const int node = SynNodeOfMessage(number);
  ThreadRecord record = {};
  if (node < 0 || !BuildThreadRow(reinterpret_cast<char*>(&record), node)) return "";
  std::string name(record.subject, strnlen(record.subject, sizeof record.subject));
  name.erase(0, name.find_first_not_of(' '));
  return name.substr(0, name.find(' '));
}

}  // namespace

void LoadDownloadedFiles() {
  g_downloaded.clear();
  if (!DvnFolder() && !CompositeQuorl()) return;
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, g_topic.openName);
  char path[MAX_PATH];
  if (!JoinPath(path, sizeof path, {g_app.dataDir, key, "files.ww"})) return;
  g_downloaded = ReadDownloadedFiles(ReadText(path), ListFolder());
}

void LoadQueuedDownloads() {
  g_queued.clear();
  if (!DvnFolder() && !sameservice(g_topic.openName, "quorl")) return;
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, g_topic.openName);
  const std::string folder = ListFolder();
  std::string other = folder;
  const size_t slash = other.find('/');
  if (slash != std::string::npos && slash + 1 < other.size()) {
    char& kind = other[slash + 1];
    kind = (kind == 'l' || kind == 'L') ? 'S' : (kind == 's' || kind == 'S') ? 'L' : kind;
  }
  const std::string file = std::string(key) + ".bsc";
  char inService[MAX_PATH], inData[MAX_PATH];
  for (const char* path : {JoinPath(inService, sizeof inService, {g_app.dataDir, key, file.c_str()}) ? inService : "",
                           JoinPath(inData, sizeof inData, {g_app.dataDir, file.c_str()}) ? inData : ""}) {
    if (!path[0]) continue;
    std::vector<std::string> found = ReadQueuedDownloads(ReadText(path), folder, other == folder ? "" : other);
    g_queued.insert(g_queued.end(), found.begin(), found.end());
  }
}

bool IsFileDownloaded(long number) {
  if (!g_browser.libraryFolder && !g_browser.composite) return false;
  return !g_downloaded.empty() && ListHoldsName(g_downloaded, RowKey(number));
}

bool IsDownloadQueued(long number) {
  if (!DvnFolder() && !CompositeQuorl()) return false;
  return !g_queued.empty() && ListHoldsName(g_queued, RowKey(number));
}
