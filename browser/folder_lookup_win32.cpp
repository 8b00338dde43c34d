// What other windows ask the browser about folders: the current and selected
// folder names, the status bar's counts, and finding a message in the other
// sections of a Dravenet forum or by its message id.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/browser.h"
#include "browser/mbw.h"
#include "core/appstate.h"
#include "core/folder_names.h"
#include "core/paths.h"
#include "core/text1252.h"
#include "msgbase/conf_list.h"
#include "msgbase/read_state.h"
#include "msgbase/topic_index.h"
#include "msgbase/topic_open.h"
#include "shell/commands_hooks.h"
#include "shell/shell_state.h"
#include "shell/status_bar.h"

namespace {

bool MbwActive() {
  return g_mbw.window && g_shell.mdiClient &&
         reinterpret_cast<HWND>(SendMessageA(g_shell.mdiClient, WM_MDIGETACTIVE, 0, 0)) == g_mbw.window;
}

std::string BaseName(const ConfRec& rec) {
  return std::string(rec.baseName, strnlen(rec.baseName, sizeof rec.baseName));
}

bool FolderFile(const ConfRec& rec, const char* extension, char* out) {
  const std::string base = BaseName(rec);
  if (base.empty() || !JoinPath(out, MAX_PATH, {g_app.dataDir, base.c_str()})) return false;
  setext(out, extension, MAX_PATH);
  return true;
}

// True when the folder's index lists the number; a damaged or missing index
// simply does not.
bool IndexHolds(const ConfRec& rec, long number) {
  char path[MAX_PATH];
  if (!FolderFile(rec, ".ind", path)) return false;
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  VirtualArray index("section index", 12);
  VirtualArray numbers("section log cva", 10, CompareMsgNumbers);
  TopicIndexArrays arrays;
  arrays.index = &index;
  arrays.logCva = &numbers;
  arrays.logCvaByNumber = true;
  TopicIndexHeader header;
  const bool read = ReadTopicIndex(StdioSource(file), arrays, &header) == kIndexRead;
  std::fclose(file);
  if (!read) return false;
  MsgIndexRec key = {static_cast<int32_t>(number), 0, 0};
  const int slot = numbers.Find(&key);
  auto* entry = slot >= 0 ? static_cast<const MsgIndexRec*>(numbers.At(slot)) : nullptr;
  return entry && entry->number == number;
}

bool IsMailName(const char* name) {
  const char* part = std::strchr(name, ':');
  part = part ? part + 1 : name;
  size_t length = std::strcspn(part, "/\\ ");
  return (length == 4 && (_strnicmp(part, "mail", 4) == 0 || _strnicmp(part, "@ail", 4) == 0)) ||
         sameservice(name, "msmail") || sameservice(name, "ccmail");
}

}  // namespace

const char* CurFolderName() {
  static char name[100];
  name[0] = 0;
  if (!g_commandHooks.StartupFinished()) return name;
  if (MbwActive()) {
    RefreshMbw();
    const char* selected = MbwSelectedFolders();
    if (selected[0] && !std::strchr(selected, ' ')) lstrcpynA(name, selected, sizeof name);
  } else if (g_browser.open) {
    lstrcpynA(name, g_topic.openName, sizeof name);
  }
  return name;
}

const char* SelFolderName() {
  static char name[100];
  name[0] = 0;
  if (MbwActive()) {
    LRESULT caret = SendMessageA(g_mbw.list, LB_GETCARETINDEX, 0, 0);
    if (caret != LB_ERR && SendMessageA(g_mbw.list, LB_GETSELCOUNT, 0, 0) > 0)
      lstrcpynA(name, MbwRowFolder(static_cast<int>(caret)).c_str(), sizeof name);
  } else {
    lstrcpynA(name, g_topic.openName, sizeof name);
  }
  if (!name[0] && g_topic.log) lstrcpynA(name, "local", sizeof name);
  return name;
}

void UpdateFolderView() {
  long total = 0, mail = 0;
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || (rec->flags & CONF_RESIGNED)) continue;
    if (g_topicOpenHooks.resignFilter(rec)) continue;
    long waiting = rec->waiting > 0 ? rec->waiting : 0;
    if (g_topic.log && SameText1252(rec->name, g_topic.openName)) {
      UnreadCountOptions options;
      options.folderName = g_topic.openName;
      options.last = g_topic.last;
      waiting = countunread(LogCva, options, nullptr);
    }
    total += waiting;
    if (IsMailName(rec->name)) mail += waiting;
  }
  g_statusCounts.total = total;
  g_statusCounts.mail = mail;
  g_statusCounts.topic = g_browser.open ? LogCva.Count() : -1;
  RepaintStatusBar();
}

const char* FindMessageSection(long number) {
  static char found[100];
  found[0] = 0;
  const char* slash = std::strchr(g_topic.openName, '/');
  if (!slash || (slash[1] != 'S' && slash[1] != 's') || slash[2] < '0' || slash[2] > '9') return found;
  const std::string forum(g_topic.openName, static_cast<size_t>(slash + 1 - g_topic.openName));
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || !StartsWithNoCase(rec->name, forum.c_str())) continue;
    if (IndexHolds(*rec, number)) {
      lstrcpynA(found, rec->name, sizeof found);
      break;
    }
  }
  return found;
}

long FindMsgIdNumber(char* folder, size_t size, const char* messageId) {
  if (!folder || !messageId || !messageId[0]) return 0;
  const std::string prefix = folder;
  const size_t idLength = std::strlen(messageId);
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec || !StartsWithNoCase(rec->name, prefix.c_str())) continue;
    char path[MAX_PATH];
    if (!FolderFile(*rec, ".id", path)) continue;
    FILE* file = std::fopen(path, "rb");
    if (!file) continue;
    char line[200];
    long number = 0;
    while (std::fgets(line, sizeof line, file)) {
      if (std::strncmp(line, messageId, idLength) != 0) continue;
      const char* digits = line + idLength;
      while (*digits == ' ' || *digits == '\t') ++digits;
      if (*digits < '0' || *digits > '9') continue;
      number = std::strtol(digits, nullptr, 10);
      break;
    }
    std::fclose(file);
    if (number > 0) {
      lstrcpynA(folder, rec->name, static_cast<int>(size));
      return number;
    }
  }
  return 0;
}
