// Next unread reply, next folder with new messages and the companion folder,
// over the open topic and the conference list.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/next_new.h"
#include "browser/thread_list.h"
#include "core/folder_names.h"
#include "core/resstr.h"
#include "core/service_keys.h"
#include "core/text1252.h"
#include "core/ui_seams.h"
#include "core/appstate.h"
#include "msgbase/conf_list.h"
#include "msgbase/topic_open.h"
#include "shell/commands_hooks.h"

bool g_sameConferenceFirst = false;

namespace {

ReplyStack g_replies;
std::string g_replyTopic;

std::vector<MsgIndexRec> TopicRecords() {
  std::vector<MsgIndexRec> out;
  out.reserve(LogCva.Count());
  for (int i = 0; i < LogCva.Count(); ++i)
    if (auto* rec = static_cast<const MsgIndexRec*>(LogCva.At(i))) out.push_back(*rec);
  return out;
}

int FolderIndex(const char* name) {
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (rec && SameText1252(rec->name, name)) return i;
  }
  return -1;
}

std::string ConferencePrefix(const char* name) {
  std::string prefix(name, std::strcspn(name, "/\\ "));
  return prefix.empty() ? prefix : prefix + "/";
}

bool Hidden(const ConfRec* rec) { return g_topicOpenHooks.resignFilter(rec); }

// Opens a folder by name, as the move to it.
void OpenFolder(const char* name) { SwitchTopic(name); }

bool FolderExists(const std::string& name, bool prefix, std::string* found) {
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (!rec) continue;
    if (prefix ? StartsWithNoCase(rec->name, name.c_str()) : SameText1252(rec->name, name.c_str())) {
      *found = rec->name;
      return true;
    }
  }
  return false;
}

}  // namespace

long NextReply() {
  if (!g_topic.log) return 0;
  if (g_replyTopic != g_topic.openName) {
    g_replies.Clear();
    g_replyTopic = g_topic.openName;
  }
  std::vector<MsgIndexRec> records = TopicRecords();
  const bool threaded = MessageOrder == 4 || MessageOrder == 5 || MessageOrder == 3;
  NextReplyResult r = NextReplyIn(records.data(), static_cast<int>(records.size()), g_browser.currentMessage,
                                  g_topic.last, threaded, 0x0007, g_replies);
  if (r.noMoreReplies) g_ui.setStatusText("No more replies in thread.");
  if (r.number && !g_browser.open && r.slot >= 0)
    if (auto* rec = static_cast<MsgIndexRec*>(LogCva.At(r.slot))) rec->flags |= kMsgRead;
  if (r.number && g_browser.open) SelectMessage(r.number, g_browser.folder, 1);
  return r.number;
}

void NextNewMessage() {
  if (Conferences.Count() == 0) return;
  g_browserHooks.pushHistory(g_browser.folder, g_browser.currentMessage);
  int left = -1;
  std::string prefix;
  if (g_topic.log) {
    if (g_browser.open && g_browser.currentMessage < g_topic.first && g_topic.first > 0) {
      SelectMessage(g_topic.first, g_browser.folder, 1);
      return;
    }
    if (NextReply()) return;
    left = FolderIndex(g_topic.openName);
    prefix = ConferencePrefix(g_topic.openName);
    bool locked = false;
    for (int i = 0; i < LogCva.Count() && !locked; ++i)
      if (auto* rec = static_cast<const MsgIndexRec*>(LogCva.At(i))) locked = (rec->flags & kMsgUnreadLock) != 0;
    if (locked && left >= 0)
      if (auto* rec = static_cast<ConfRec*>(Conferences.At(left))) rec->flags |= CONF_VISITED;
    logclose();
  } else {
    prefix = ConferencePrefix(g_topic.previousName[0] ? g_topic.previousName : g_topic.openName);
  }
  std::vector<FolderChoice> folders;
  for (int i = 0; i < Conferences.Count(); ++i) {
    auto* rec = static_cast<const ConfRec*>(Conferences.At(i));
    folders.push_back(rec ? FolderChoice{rec->name, rec->waiting, rec->flags, rec->order, Hidden(rec)}
                          : FolderChoice{"", 0, 1, 0, true});
  }
  NextFolderResult choice = ChooseNextFolder(folders, prefix.c_str(), g_sameConferenceFirst, left);
  if (!choice.samePassTaken) g_sameConferenceFirst = false;
  if (choice.index < 0) {
    UpdateFolderView();
    g_ui.setStatusText("No new messages");
    return;
  }
  auto* rec = static_cast<ConfRec*>(Conferences.At(choice.index));
  if (!rec) return;
  if (choice.clearLocked) rec->flags &= ~CONF_VISITED;
  char name[sizeof rec->name];
  lstrcpynA(name, rec->name, sizeof name);
  lstrcpynA(g_topic.openName, name, sizeof g_topic.openName);
  logopen();
}

void GotoFolder(const char* name) {
  char folder[120];
  if (name && name[0])
    lstrcpynA(folder, name, sizeof folder);
  else if (g_topic.log)
    lstrcpynA(folder, g_topic.openName, sizeof folder);
  else
    return;
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, folder);
  std::string found;
  if (sameservice(folder, "dvn")) {
    const char* slash = std::strchr(folder, '/');
    const char* under = slash ? std::strchr(slash, '_') : nullptr;
    const char kind = slash ? slash[1] : 0;
    if (under && (kind == 'S' || kind == 's' || kind == 'L' || kind == 'l') && slash[2] >= '0' && slash[2] <= '9') {
      std::string target(folder, static_cast<size_t>(under + 1 - folder));
      const size_t at = static_cast<size_t>(slash + 1 - folder);
      target[at] = (kind == 'S' || kind == 's') ? 'L' : 'S';
      if (FolderExists(target, true, &found)) return OpenFolder(found.c_str());
      if (kind == 'S' || kind == 's')
        g_commandHooks.RequestLibraryList(target.c_str(), 0);
      else
        msgwarn("There is no message section to switch to");
      return;
    }
    if (FolderExists(folder, false, &found)) return OpenFolder(found.c_str());
    msgwarn("There is no message section to switch to");
    return;
  }
  if (key[0] && !sameservice(folder, "quorl") && !sameservice(folder, "local")) return;
  std::string companion;
  const bool composite = std::strchr(folder, '\xFF') != nullptr;
  const bool mail = ismailfolder(folder);
  const std::string service = key[0] ? std::string(key) + ":" : "";
  if (!composite)
    companion = mail ? (key[0] ? service + "mail/directory\xFF" : "mail/" + std::string(g_app.userName) + "\xFF")
                     : std::string(folder) + "\xFF";
  else if (mail)
    companion = key[0] ? service + "mail/messages" : "mail/" + std::string(g_app.userName);
  else
    companion.assign(folder, static_cast<size_t>(std::strchr(folder, '\xFF') - folder));
  if (FolderExists(companion, false, &found)) return OpenFolder(found.c_str());
  g_commandHooks.RequestLibraryList(folder, 0);
}
